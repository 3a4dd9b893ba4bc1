#pragma once
// Pixel surfaces: 32-bit device-independent bitmaps (pixels are uint32_t 0x00RRGGBB) and 1-bit monochrome
// bitmaps (stored one byte per pixel, value 0 = black or 1 = white, for fast blits).
// Rows are addressed top-down through Row(y); the memory order may be bottom-up (negative stride), which
// is how bottom-up DIB sections are represented.
#include "platform/graphics/types.h"
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace qel {

enum class TDibFormat { Color32, Mono1 };

class TDib {
public:
    // A zero-filled (black) surface. Negative sizes are treated as 0; sizes whose pixel count does not
    // fit in memory raise EOutOfResources. `bottomUp` stores row 0 last in memory (negative stride).
    TDib(int width, int height, TDibFormat format = TDibFormat::Color32, bool bottomUp = false);
    TDib(const TDib&) = delete;
    TDib& operator=(const TDib&) = delete;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    TDibFormat Format() const { return FFormat; }
    bool IsMono() const { return FFormat == TDibFormat::Mono1; }
    int BitsPerPixel() const { return IsMono() ? 1 : 32; }
    bool IsBottomUp() const { return FStride < 0; }
    TRect BoundsRect() const { return {0, 0, FWidth, FHeight}; }
    // Signed distance in bytes from row y to row y + 1.
    ptrdiff_t Stride() const { return FStride; }
    // Lowest address of the pixel memory (row Height()-1 for bottom-up surfaces), and its size in bytes.
    void* Memory() { return FMemory.data(); }
    size_t MemorySize() const { return FMemory.size(); }

    // Row access; y must be in [0, Height()).
    uint32_t* Row(int y) { return reinterpret_cast<uint32_t*>(FRow0 + y * FStride); }
    const uint32_t* Row(int y) const { return reinterpret_cast<const uint32_t*>(FRow0 + y * FStride); }
    uint8_t* MonoRow(int y) { return FRow0 + y * FStride; }
    const uint8_t* MonoRow(int y) const { return FRow0 + y * FStride; }

    // Checked single-pixel access as 0x00RRGGBB (mono pixels read as 0x000000 / 0xFFFFFF; writing a
    // colour to a mono surface stores 1 for white-ish colours by luminance). Out of range: read 0,
    // write ignored.
    uint32_t GetPixel(int x, int y) const;
    void SetPixel(int x, int y, uint32_t rgb);
    // Fills the whole surface with one 0x00RRGGBB value (mono: 0/1 by luminance).
    void Fill(uint32_t rgb);

    // Optional lock held by every drawing operation that reads or writes this surface, so that several
    // threads may draw into one framebuffer. Set it before the surface is shared between threads.
    void SetLock(std::shared_ptr<std::recursive_mutex> lock) { FLock = std::move(lock); }
    std::recursive_mutex* Lock() const { return FLock.get(); }

private:
    int FWidth = 0;
    int FHeight = 0;
    TDibFormat FFormat;
    ptrdiff_t FStride = 0;
    std::vector<uint8_t> FMemory;
    uint8_t* FRow0 = nullptr;
    std::shared_ptr<std::recursive_mutex> FLock;
};

using TDibPtr = std::shared_ptr<TDib>;

// Luminance rule used when a colour has to become a single monochrome bit (1 = white).
inline constexpr bool MonoBitOfPixel(uint32_t rgb) {
    unsigned r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
    return (r * 30 + g * 59 + b * 11) >= 128 * 100;
}

// RAII guard over the locks of up to two surfaces (null surfaces and surfaces without a lock are
// skipped; one lock shared by both is taken once; two distinct locks are taken deadlock-free).
class TSurfaceLock {
public:
    explicit TSurfaceLock(const TDib* a, const TDib* b = nullptr);
    ~TSurfaceLock();
    TSurfaceLock(const TSurfaceLock&) = delete;
    TSurfaceLock& operator=(const TSurfaceLock&) = delete;

private:
    std::recursive_mutex* FA = nullptr;
    std::recursive_mutex* FB = nullptr;
};

} // namespace qel
