#pragma once
// Colour values: COLORREF (0x00BBGGRR), TColor (COLORREF or a system-colour index with the high bit set)
// and the settable system palette. Surfaces store pixels as 0x00RRGGBB; see ColorRefToPixel.
#include "platform/core/typeinfo.h"
#include "platform/graphics/types.h"

namespace qel {

inline constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 255) | ((g & 255) << 8) | ((b & 255) << 16));
}
inline constexpr BYTE GetRValue(COLORREF c) {
    return static_cast<BYTE>(c & 255);
}
inline constexpr BYTE GetGValue(COLORREF c) {
    return static_cast<BYTE>((c >> 8) & 255);
}
inline constexpr BYTE GetBValue(COLORREF c) {
    return static_cast<BYTE>((c >> 16) & 255);
}

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
constexpr COLORREF CLR_DEFAULT = 0xFF000000;

// Surface pixel (0x00RRGGBB, bytes B,G,R,0 in memory) <-> COLORREF.
inline constexpr uint32_t ColorRefToPixel(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline constexpr COLORREF PixelToColorRef(uint32_t p) {
    return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}

// System colour indexes (GetSysColor); TColor's clXxx system colours are 0x80000000 | index.
enum : int {
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_DESKTOP = 1,
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWFRAME = 6,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10,
    COLOR_INACTIVEBORDER = 11,
    COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_3DFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_3DSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DHIGHLIGHT = 20,
    COLOR_3DHILIGHT = 20,
    COLOR_BTNHILIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
    COLOR_HOTLIGHT = 26,
    COLOR_GRADIENTACTIVECAPTION = 27,
    COLOR_GRADIENTINACTIVECAPTION = 28,
    COLOR_MENUHILIGHT = 29,
    COLOR_MENUBAR = 30,
    COLOR_MAX_INDEX = 30,
};

// Current value of a system colour (0 for an unknown index). Thread-safe.
COLORREF GetSysColor(int index);
// Sets `count` system colours at once; false (nothing changed) on bad arguments.
bool SetSysColors(int count, const int* indexes, const COLORREF* values);
// Restores the classic default palette (button face C0C0C0, shadow 808080, ...).
void ResetSysColors();
// The classic default of a system colour.
COLORREF GetDefaultSysColor(int index);

// Resolves a TColor: system colours (high bit set) through the current palette, every other value is
// returned unchanged (so clNone stays 0x1FFFFFFF); ColorToColorRef keeps only the low 24 bits.
int32_t ColorToRGB(TColor color);
inline COLORREF ColorToColorRef(TColor color) {
    return static_cast<COLORREF>(ColorToRGB(color)) & 0xFFFFFF;
}

} // namespace qel
