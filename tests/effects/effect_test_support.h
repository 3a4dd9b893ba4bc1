#pragma once
// Surfaces and test pictures shared by the effect tests.
#include <cstdint>
#include <functional>

#include "platform/graphics/memory_surface.h"

namespace qel::test {

// A 32-bit memory surface with its device context and pixel access.
class TTestSurface : public TMemorySurface {
public:
    using TMemorySurface::TMemorySurface;

    uint32_t Pixel(int x, int y) const { return Dib->Row(y)[x]; }
    void SetPixel(int x, int y, uint32_t v) { Dib->Row(y)[x] = v; }
    void Fill(const std::function<uint32_t(int, int)>& f) {
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x) Dib->Row(y)[x] = f(x, y);
    }
};

// Three pictures no pixel of which equals a pixel of another: the old picture, the new picture and the
// surroundings of the destination rectangle. None of them is black.
inline uint32_t OldPixel(int x, int y) {
    return 0x800000u | uint32_t(x & 0xFF) | (uint32_t(y & 0x7F) << 8);
}
inline uint32_t NewPixel(int x, int y) {
    return 0x008000u | (uint32_t(x & 0x7F) << 16) | uint32_t(y & 0xFF);
}
inline uint32_t BorderPixel(int x, int y) {
    return 0x400000u | uint32_t(x & 0xFF) | (uint32_t(y & 0x7F) << 8) | 0x10000u;
}
// What the source holds beyond the new picture's size: must never reach the destination.
constexpr uint32_t kBeyondPixel = 0xFFFFFFu;

} // namespace qel::test
