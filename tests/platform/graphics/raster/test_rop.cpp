// Every ternary raster operation against its truth table, on a grid of source, destination and pattern
// pixels, for BitBlt (colour and monochrome destinations) and PatBlt.
#include "test_helpers.h"
#include <random>
#include <vector>

namespace qel {
namespace {

using test::TSurface;

// Reference: evaluates the truth-table byte bit by bit.
uint32_t Reference(int rop3, uint32_t p, uint32_t s, uint32_t d) {
    uint32_t r = 0;
    for (int b = 0; b < 24; ++b) {
        const int idx = (((p >> b) & 1) << 2) | (((s >> b) & 1) << 1) | ((d >> b) & 1);
        r |= uint32_t((rop3 >> idx) & 1) << b;
    }
    return r;
}

DWORD RopCode(int rop3) {
    return DWORD(rop3) << 16;
}

constexpr int kW = 16, kH = 8;

struct TGrid {
    std::vector<uint32_t> S, D, P; // pixels 0x00RRGGBB
};

TGrid MakeGrid() {
    // Corner values (0 and all ones) plus mixed values so every (p, s, d) bit combination occurs.
    std::mt19937 rng(1234);
    TGrid g;
    const uint32_t fixed[] = {0x000000, 0xFFFFFF, 0xF0F0F0, 0x0F0F0F, 0xAA55AA, 0x55AA55, 0x123456, 0xFEDCBA};
    for (int i = 0; i < kW * kH; ++i) {
        g.S.push_back(i < 8 ? fixed[i] : rng() & 0xFFFFFF);
        g.D.push_back(i < 8 ? fixed[(i * 3) % 8] : rng() & 0xFFFFFF);
    }
    for (int i = 0; i < 64; ++i) g.P.push_back(i < 8 ? fixed[(i * 5) % 8] : rng() & 0xFFFFFF);
    return g;
}

HBRUSH PatternBrush(const std::vector<uint32_t>& p) {
    HBITMAP bmp = CreateCompatibleBitmap(nullptr, 8, 8);
    TDibPtr dib = GetBitmapDib(bmp);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) dib->Row(y)[x] = p[size_t(y * 8 + x)];
    HBRUSH b = CreatePatternBrush(bmp);
    DeleteObject(bmp); // the brush keeps its own copy
    return b;
}

TEST(RasterRop, AllTernaryOperationsOnColourSurfaces) {
    const TGrid g = MakeGrid();
    TSurface src(kW, kH), dst(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) src.Dib->Row(y)[x] = g.S[size_t(y * kW + x)];
    HBRUSH brush = PatternBrush(g.P);
    ASSERT_NE(brush, nullptr);
    SelectObject(dst.DC, brush);
    SetBrushOrgEx(dst.DC, 0, 0, nullptr);
    int failures = 0;
    for (int rop = 0; rop < 256; ++rop) {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) dst.Dib->Row(y)[x] = g.D[size_t(y * kW + x)];
        ASSERT_TRUE(BitBlt(dst.DC, 0, 0, kW, kH, src.DC, 0, 0, RopCode(rop)));
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uint32_t want = Reference(rop, g.P[size_t((y % 8) * 8 + x % 8)],
                                                g.S[size_t(y * kW + x)], g.D[size_t(y * kW + x)]);
                if (dst.Dib->Row(y)[x] != want && failures++ < 10)
                    ADD_FAILURE() << "rop " << rop << " at " << x << "," << y << ": " << std::hex
                                  << dst.Dib->Row(y)[x] << " != " << want;
            }
    }
    EXPECT_EQ(failures, 0);
    SelectObject(dst.DC, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
}

TEST(RasterRop, PatBltOperationsWithoutSource) {
    const TGrid g = MakeGrid();
    TSurface dst(kW, kH);
    HBRUSH brush = PatternBrush(g.P);
    SelectObject(dst.DC, brush);
    SetBrushOrgEx(dst.DC, 3, 5, nullptr); // phase follows the brush origin
    for (int rop = 0; rop < 256; ++rop) {
        const bool usesSrc = ((rop >> 2) & 0x33) != (rop & 0x33);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) dst.Dib->Row(y)[x] = g.D[size_t(y * kW + x)];
        if (usesSrc) {
            EXPECT_FALSE(PatBlt(dst.DC, 0, 0, kW, kH, RopCode(rop))) << rop;
            continue;
        }
        ASSERT_TRUE(PatBlt(dst.DC, 0, 0, kW, kH, RopCode(rop)));
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uint32_t p = g.P[size_t(((y - 5 + 8) % 8) * 8 + (x - 3 + 8) % 8)];
                ASSERT_EQ(dst.Dib->Row(y)[x], Reference(rop, p, 0, g.D[size_t(y * kW + x)]))
                    << rop << " " << x << "," << y;
            }
    }
    SelectObject(dst.DC, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
}

TEST(RasterRop, AllTernaryOperationsOnMonochromeSurfaces) {
    // Mono destination, mono source and a mono pattern: bits are combined directly.
    std::mt19937 rng(99);
    TSurface src(kW, kH, RGB(0, 0, 0), true), dst(kW, kH, RGB(0, 0, 0), true);
    std::vector<int> s(kW * kH), d(kW * kH), p(64);
    for (auto& v : s) v = int(rng() & 1);
    for (auto& v : d) v = int(rng() & 1);
    for (auto& v : p) v = int(rng() & 1);
    for (int i = 0; i < kW * kH; ++i) src.Dib->MonoRow(i / kW)[i % kW] = uint8_t(s[size_t(i)]);
    HBITMAP pb = CreateBitmap(8, 8, 1, 1, nullptr);
    for (int i = 0; i < 64; ++i) GetBitmapDib(pb)->MonoRow(i / 8)[i % 8] = uint8_t(p[size_t(i)]);
    HBRUSH brush = CreatePatternBrush(pb);
    DeleteObject(pb);
    SelectObject(dst.DC, brush);
    for (int rop = 0; rop < 256; ++rop) {
        for (int i = 0; i < kW * kH; ++i) dst.Dib->MonoRow(i / kW)[i % kW] = uint8_t(d[size_t(i)]);
        ASSERT_TRUE(BitBlt(dst.DC, 0, 0, kW, kH, src.DC, 0, 0, RopCode(rop)));
        for (int i = 0; i < kW * kH; ++i) {
            const int x = i % kW, y = i / kW;
            const int idx = (p[size_t((y % 8) * 8 + x % 8)] << 2) | (s[size_t(i)] << 1) | d[size_t(i)];
            ASSERT_EQ(dst.Dib->MonoRow(y)[x], (rop >> idx) & 1) << rop << " " << x << "," << y;
        }
    }
    SelectObject(dst.DC, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
}

TEST(RasterRop, Rop2TableMatchesBinaryOperations) {
    // Pen drawing through every ROP2 mode: one pixel set with SetROP2 + LineTo.
    const uint32_t pen = 0x3C5A96, dstv = 0xA5C30F;
    for (int mode = R2_BLACK; mode <= R2_WHITE; ++mode) {
        TSurface s(4, 1);
        s.Dib->Row(0)[0] = dstv;
        HPEN hp = CreatePen(PS_SOLID, 1, PixelToColorRef(pen));
        HGDIOBJ old = SelectObject(s.DC, hp);
        SetROP2(s.DC, mode);
        MoveToEx(s.DC, 0, 0, nullptr);
        LineTo(s.DC, 1, 0);
        const unsigned t = unsigned(mode - 1);
        uint32_t want = 0;
        for (int b = 0; b < 24; ++b) {
            const unsigned pb = (pen >> b) & 1, db = (dstv >> b) & 1;
            want |= uint32_t((t >> ((pb << 1) | db)) & 1) << b;
        }
        EXPECT_EQ(s.Dib->Row(0)[0], want) << "mode " << mode;
        EXPECT_EQ(ApplyRop2(mode, pen, dstv) & 0xFFFFFF, want) << "mode " << mode;
        SelectObject(s.DC, old);
        DeleteObject(hp);
    }
}

} // namespace
} // namespace qel
