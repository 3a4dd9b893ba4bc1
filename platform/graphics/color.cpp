#include "platform/graphics/color.h"
#include <array>
#include <atomic>

namespace qel {

namespace {

constexpr int kSysColorCount = COLOR_MAX_INDEX + 1;

constexpr std::array<COLORREF, kSysColorCount> kDefaultSysColors = {
    RGB(192, 192, 192), // COLOR_SCROLLBAR
    RGB(0, 128, 128),   // COLOR_BACKGROUND
    RGB(0, 0, 128),     // COLOR_ACTIVECAPTION
    RGB(128, 128, 128), // COLOR_INACTIVECAPTION
    RGB(192, 192, 192), // COLOR_MENU
    RGB(255, 255, 255), // COLOR_WINDOW
    RGB(0, 0, 0),       // COLOR_WINDOWFRAME
    RGB(0, 0, 0),       // COLOR_MENUTEXT
    RGB(0, 0, 0),       // COLOR_WINDOWTEXT
    RGB(255, 255, 255), // COLOR_CAPTIONTEXT
    RGB(192, 192, 192), // COLOR_ACTIVEBORDER
    RGB(192, 192, 192), // COLOR_INACTIVEBORDER
    RGB(128, 128, 128), // COLOR_APPWORKSPACE
    RGB(0, 0, 128),     // COLOR_HIGHLIGHT
    RGB(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    RGB(192, 192, 192), // COLOR_BTNFACE
    RGB(128, 128, 128), // COLOR_BTNSHADOW
    RGB(128, 128, 128), // COLOR_GRAYTEXT
    RGB(0, 0, 0),       // COLOR_BTNTEXT
    RGB(192, 192, 192), // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255), // COLOR_BTNHIGHLIGHT
    RGB(0, 0, 0),       // COLOR_3DDKSHADOW
    RGB(192, 192, 192), // COLOR_3DLIGHT
    RGB(0, 0, 0),       // COLOR_INFOTEXT
    RGB(255, 255, 225), // COLOR_INFOBK
    RGB(180, 180, 180), // 25 (unused)
    RGB(0, 0, 255),     // COLOR_HOTLIGHT
    RGB(16, 132, 208),  // COLOR_GRADIENTACTIVECAPTION
    RGB(181, 181, 181), // COLOR_GRADIENTINACTIVECAPTION
    RGB(0, 0, 128),     // COLOR_MENUHILIGHT
    RGB(192, 192, 192), // COLOR_MENUBAR
};

struct TSysPalette {
    std::array<std::atomic<COLORREF>, kSysColorCount> Colors;
    TSysPalette() {
        for (int i = 0; i < kSysColorCount; ++i) Colors[i].store(kDefaultSysColors[i]);
    }
};

std::array<std::atomic<COLORREF>, kSysColorCount>& SysColors() {
    static TSysPalette palette;
    return palette.Colors;
}

} // namespace

COLORREF GetDefaultSysColor(int index) {
    if (index < 0 || index >= kSysColorCount) return 0;
    return kDefaultSysColors[index];
}

COLORREF GetSysColor(int index) {
    if (index < 0 || index >= kSysColorCount) return 0;
    return SysColors()[index].load(std::memory_order_relaxed);
}

bool SetSysColors(int count, const int* indexes, const COLORREF* values) {
    if (count < 0 || (count > 0 && (!indexes || !values))) return false;
    for (int i = 0; i < count; ++i)
        if (indexes[i] < 0 || indexes[i] >= kSysColorCount) return false;
    for (int i = 0; i < count; ++i)
        SysColors()[indexes[i]].store(values[i] & 0xFFFFFF, std::memory_order_relaxed);
    return true;
}

void ResetSysColors() {
    for (int i = 0; i < kSysColorCount; ++i) SysColors()[i].store(kDefaultSysColors[i]);
}

int32_t ColorToRGB(TColor color) {
    const int32_t v = static_cast<int32_t>(color);
    if (v < 0) return static_cast<int32_t>(GetSysColor(v & 0xFF));
    return v;
}

} // namespace qel
