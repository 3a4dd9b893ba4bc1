// Block transfers: exact copies, source clipping, extents, stretching, keyed and masked copies, mono rules.
#include "test_helpers.h"
#include <vector>

namespace qel {
namespace {

using test::TSurface;

// Source with a distinct value per pixel.
void Numbered(TSurface& s) {
    for (int y = 0; y < s.H(); ++y)
        for (int x = 0; x < s.W(); ++x)
            s.Dib->Row(y)[x] = uint32_t(0x010000 * (x + 1) + 0x000100 * (y + 1) + 7);
}
uint32_t NumberedAt(int x, int y) {
    return uint32_t(0x010000 * (x + 1) + 0x000100 * (y + 1) + 7);
}

constexpr uint32_t kBack = 0xFFFFFF;

TEST(RasterBlit, SrcCopyIsExactAndRespectsTheDestinationRectangle) {
    TSurface src(10, 8), dst(12, 12);
    Numbered(src);
    ASSERT_TRUE(BitBlt(dst.DC, 2, 3, 5, 4, src.DC, 1, 2, SRCCOPY));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool in = x >= 2 && x < 7 && y >= 3 && y < 7;
            ASSERT_EQ(dst.Dib->Row(y)[x], in ? NumberedAt(x - 1, y - 1) : kBack) << x << "," << y;
        }
}

struct TOffSourceCase {
    int dx, dy, w, h, sx, sy;
};

class RasterBlitOffSource : public ::testing::TestWithParam<TOffSourceCase> {};

TEST_P(RasterBlitOffSource, NothingIsWrittenWhereTheSourceDoesNotExist) {
    const auto c = GetParam();
    TSurface src(10, 8), dst(16, 16);
    Numbered(src);
    ASSERT_TRUE(BitBlt(dst.DC, c.dx, c.dy, c.w, c.h, src.DC, c.sx, c.sy, SRCCOPY));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int sx = c.sx + x - c.dx, sy = c.sy + y - c.dy;
            const bool inDst = x >= c.dx && x < c.dx + c.w && y >= c.dy && y < c.dy + c.h;
            const bool inSrc = sx >= 0 && sx < 10 && sy >= 0 && sy < 8;
            ASSERT_EQ(dst.Dib->Row(y)[x], inDst && inSrc ? NumberedAt(sx, sy) : kBack) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Cases, RasterBlitOffSource,
                         ::testing::Values(TOffSourceCase{0, 0, 10, 8, -3, 0},   // left of the source
                                           TOffSourceCase{2, 2, 10, 10, 5, 4},   // beyond right/bottom
                                           TOffSourceCase{0, 0, 16, 16, -4, -4}, // around it
                                           TOffSourceCase{4, 4, 6, 6, 20, 0},    // entirely outside: nothing
                                           TOffSourceCase{-3, -2, 8, 8, 0, 0})); // off the destination too

TEST(RasterBlit, ZeroOrNegativeExtentsDrawNothing) {
    TSurface src(4, 4, RGB(0, 0, 0)), dst(8, 8);
    for (auto [w, h] : std::vector<std::pair<int, int>>{{0, 4}, {4, 0}, {-2, 4}, {4, -2}, {-3, -3}}) {
        EXPECT_TRUE(BitBlt(dst.DC, 4, 4, w, h, src.DC, 0, 0, SRCCOPY));
        EXPECT_TRUE(PatBlt(dst.DC, 4, 4, w, h, BLACKNESS));
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(dst.Dib->Row(y)[x], kBack);
}

TEST(RasterBlit, OverlappingCopyOnOneSurfaceIsExact) {
    TSurface s(10, 10);
    Numbered(s);
    ASSERT_TRUE(BitBlt(s.DC, 2, 3, 8, 7, s.DC, 0, 0, SRCCOPY)); // scroll down-right
    for (int y = 3; y < 10; ++y)
        for (int x = 2; x < 10; ++x) ASSERT_EQ(s.Dib->Row(y)[x], NumberedAt(x - 2, y - 3));
    Numbered(s);
    ASSERT_TRUE(BitBlt(s.DC, 0, 0, 8, 7, s.DC, 2, 3, SRCCOPY)); // scroll up-left
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(s.Dib->Row(y)[x], NumberedAt(x + 2, y + 3));
}

TEST(RasterBlit, StretchNearestNeighbourEnlargeAndShrink) {
    TSurface src(4, 2), dst(8, 6);
    Numbered(src);
    SetStretchBltMode(dst.DC, COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(dst.DC, 0, 0, 8, 6, src.DC, 0, 0, 4, 2, SRCCOPY));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(dst.Dib->Row(y)[x], NumberedAt(x / 2, y / 3)) << x << "," << y;
    // Shrinking by 2 picks one pixel of each pair (the centre rule picks the second): never mixes colours.
    TSurface big(8, 4), small(4, 2);
    Numbered(big);
    SetStretchBltMode(small.DC, COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(small.DC, 0, 0, 4, 2, big.DC, 0, 0, 8, 4, SRCCOPY));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) ASSERT_EQ(small.Dib->Row(y)[x], NumberedAt(2 * x + 1, 2 * y + 1));
}

TEST(RasterBlit, StretchFarOutsideComputesOnlyTheVisiblePart) {
    // Destination 5x the surface, starting 2 surfaces to the left and above: like a zoom step.
    const int W = 40, H = 30;
    TSurface src(W, H), dst(W, H);
    Numbered(src);
    SetStretchBltMode(dst.DC, COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(dst.DC, -2 * W, -2 * H, 5 * W, 5 * H, src.DC, 0, 0, W, H, SRCCOPY));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            ASSERT_EQ(dst.Dib->Row(y)[x], NumberedAt((x + 2 * W) / 5, (y + 2 * H) / 5));
    // Huge destination rectangles stay cheap and exact.
    ASSERT_TRUE(
        StretchBlt(dst.DC, -1234567, -1234567, 2000000 + W, 2000000 + H, src.DC, 0, 0, W, H, SRCCOPY));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            ASSERT_EQ(dst.Dib->Row(y)[x], NumberedAt(24, 18)); // one source pixel's area
}

TEST(RasterBlit, StretchSubRectangleAndMirror) {
    TSurface src(6, 6), dst(4, 2);
    Numbered(src);
    SetStretchBltMode(dst.DC, COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(dst.DC, 0, 0, 4, 2, src.DC, 3, 3, 2, 1, SRCCOPY)); // quadrant-like sub-rectangle
    EXPECT_EQ(dst.Dib->Row(0)[0], NumberedAt(3, 3));
    EXPECT_EQ(dst.Dib->Row(1)[3], NumberedAt(4, 3));
    // Negative destination width mirrors horizontally: pixels x0 .. x0 - w + 1.
    ASSERT_TRUE(StretchBlt(dst.DC, 3, 0, -4, 2, src.DC, 0, 0, 4, 2, SRCCOPY));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.Dib->Row(0)[x], NumberedAt(3 - x, 0));
}

TEST(RasterBlit, StretchModesCombineWhenShrinking) {
    TSurface src(2, 1), dst(1, 1);
    src.Dib->Row(0)[0] = 0xF0F0F0;
    src.Dib->Row(0)[1] = 0x0F0FFF;
    SetStretchBltMode(dst.DC, BLACKONWHITE);
    StretchBlt(dst.DC, 0, 0, 1, 1, src.DC, 0, 0, 2, 1, SRCCOPY);
    EXPECT_EQ(dst.Dib->Row(0)[0], 0x0000F0u);
    SetStretchBltMode(dst.DC, WHITEONBLACK);
    StretchBlt(dst.DC, 0, 0, 1, 1, src.DC, 0, 0, 2, 1, SRCCOPY);
    EXPECT_EQ(dst.Dib->Row(0)[0], 0xFFFFFFu);
    SetStretchBltMode(dst.DC, HALFTONE);
    StretchBlt(dst.DC, 0, 0, 1, 1, src.DC, 0, 0, 2, 1, SRCCOPY);
    EXPECT_EQ(dst.Dib->Row(0)[0], 0x8080F8u); // averages rounded: (F0 + 0F) / 2, (F0 + FF) / 2
}

TEST(RasterBlit, TransparentBltSkipsTheKeyColour) {
    TSurface src(4, 4, RGB(255, 128, 255)), dst(8, 8, RGB(1, 2, 3));
    src.Put(1, 1, RGB(10, 20, 30));
    src.Put(2, 3, RGB(255, 128, 254)); // one step away from the key: drawn
    ASSERT_TRUE(TransparentBlt(dst.DC, 0, 0, 8, 8, src.DC, 0, 0, 4, 4, RGB(255, 128, 255)));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            COLORREF want = RGB(1, 2, 3);
            if (x / 2 == 1 && y / 2 == 1) want = RGB(10, 20, 30);
            if (x / 2 == 2 && y / 2 == 3) want = RGB(255, 128, 254);
            ASSERT_EQ(dst.At(x, y), want) << x << "," << y;
        }
}

TEST(RasterBlit, MaskBltKeepsDestinationWhereMaskIsWhite) {
    // Masked sprite draw with MAKEROP4(0x00AA0029, SRCCOPY): mask bits 1 (white, transparent pixels) take the
    // foreground operation (keep D), bits 0 the background one (copy S).
    TSurface src(4, 2), dst(4, 2, RGB(9, 9, 9));
    Numbered(src);
    HBITMAP mask = CreateBitmap(4, 2, 1, 1, nullptr);
    TDibPtr m = GetBitmapDib(mask);
    m->MonoRow(0)[1] = 1;
    m->MonoRow(1)[2] = 1;
    ASSERT_TRUE(MaskBlt(dst.DC, 0, 0, 4, 2, src.DC, 0, 0, mask, 0, 0, MAKEROP4(0x00AA0029, SRCCOPY)));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool keep = (x == 1 && y == 0) || (x == 2 && y == 1);
            ASSERT_EQ(dst.Dib->Row(y)[x], keep ? 0x090909u : NumberedAt(x, y)) << x << "," << y;
        }
    // A mask smaller than the area is refused without drawing.
    EXPECT_FALSE(MaskBlt(dst.DC, 0, 0, 4, 2, src.DC, 0, 0, mask, 1, 0, SRCCOPY));
    DeleteObject(mask);
}

TEST(RasterBlit, ThreePassMaskedDrawWithXorAndAnd) {
    // Sprite the classic way: D ^= S; D &= mask (expanded white/black); D ^= S.
    TSurface src(3, 1), dst(3, 1), maskDc(3, 1, RGB(255, 255, 255), true);
    src.Dib->Row(0)[0] = 0x112233;
    src.Dib->Row(0)[1] = 0x445566;
    src.Dib->Row(0)[2] = 0x778899;
    dst.Dib->Row(0)[0] = 0xA0A0A0;
    dst.Dib->Row(0)[1] = 0xB0B0B0;
    dst.Dib->Row(0)[2] = 0xC0C0C0;
    maskDc.Dib->MonoRow(0)[1] = 0; // black: opaque pixel
    SetTextColor(dst.DC, RGB(0, 0, 0));
    SetBkColor(dst.DC, RGB(255, 255, 255));
    BitBlt(dst.DC, 0, 0, 3, 1, src.DC, 0, 0, SRCINVERT);
    BitBlt(dst.DC, 0, 0, 3, 1, maskDc.DC, 0, 0, SRCAND);
    BitBlt(dst.DC, 0, 0, 3, 1, src.DC, 0, 0, SRCINVERT);
    EXPECT_EQ(dst.Dib->Row(0)[0], 0xA0A0A0u);
    EXPECT_EQ(dst.Dib->Row(0)[1], 0x445566u);
    EXPECT_EQ(dst.Dib->Row(0)[2], 0xC0C0C0u);
}

TEST(RasterBlit, ColourToMonoUsesTheSourceBackgroundColour) {
    TSurface src(4, 1), mono(4, 1, RGB(0, 0, 0), true);
    src.Put(0, 0, RGB(255, 0, 255));
    src.Put(1, 0, RGB(255, 255, 255)); // white but not the background colour: 0
    src.Put(2, 0, RGB(255, 0, 255));
    src.Put(3, 0, RGB(0, 0, 0));
    SetBkColor(src.DC, RGB(255, 0, 255));
    ASSERT_TRUE(BitBlt(mono.DC, 0, 0, 4, 1, src.DC, 0, 0, SRCCOPY));
    const uint8_t want[4] = {1, 0, 1, 0};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(mono.Dib->MonoRow(0)[x], want[x]) << x;
}

TEST(RasterBlit, MonoToColourUsesDestinationTextAndBackgroundColours) {
    TSurface mono(3, 1, RGB(0, 0, 0), true), dst(3, 1);
    mono.Dib->MonoRow(0)[1] = 1;
    SetTextColor(dst.DC, RGB(200, 0, 0));
    SetBkColor(dst.DC, RGB(0, 0, 200));
    ASSERT_TRUE(BitBlt(dst.DC, 0, 0, 3, 1, mono.DC, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.At(0, 0), RGB(200, 0, 0));
    EXPECT_EQ(dst.At(1, 0), RGB(0, 0, 200));
    EXPECT_EQ(dst.At(2, 0), RGB(200, 0, 0));
}

TEST(RasterBlit, DspdxaxPaintsTheBrushWhereTheMonoSourceIsSet) {
    // Emboss step: brush through a mono mask with 0x00E20746 (mono expansion: 1 -> bk colour, 0 -> text).
    TSurface mask(4, 1, RGB(0, 0, 0), true), dst(4, 1, RGB(192, 192, 192));
    mask.Dib->MonoRow(0)[0] = 1;
    mask.Dib->MonoRow(0)[2] = 1;
    SetTextColor(dst.DC, RGB(0, 0, 0));
    SetBkColor(dst.DC, RGB(255, 255, 255));
    HBRUSH b = CreateSolidBrush(RGB(128, 128, 128));
    HGDIOBJ old = SelectObject(dst.DC, b);
    ASSERT_TRUE(BitBlt(dst.DC, 0, 0, 4, 1, mask.DC, 0, 0, DSPDxax));
    EXPECT_EQ(dst.At(0, 0), RGB(128, 128, 128));
    EXPECT_EQ(dst.At(1, 0), RGB(192, 192, 192));
    EXPECT_EQ(dst.At(2, 0), RGB(128, 128, 128));
    EXPECT_EQ(dst.At(3, 0), RGB(192, 192, 192));
    SelectObject(dst.DC, old);
    DeleteObject(b);
}

TEST(RasterBlit, DarkenWithMonoPatternAndDpaFollowsTheBrushOrigin) {
    // Pattern 1 of a fade: black at (odd, odd). Mono pattern: 0 bits draw the text colour (black), 1 bits the
    // background colour (white), so DPa keeps the destination where the bit is 1.
    HBITMAP pb = CreateBitmap(8, 8, 1, 1, nullptr);
    TDibPtr p = GetBitmapDib(pb);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) p->MonoRow(y)[x] = (x % 2 == 1 && y % 2 == 1) ? 0 : 1;
    HBRUSH brush = CreatePatternBrush(pb);
    TSurface s(9, 7, RGB(100, 150, 200));
    SetTextColor(s.DC, RGB(0, 0, 0));
    SetBkColor(s.DC, RGB(255, 255, 255));
    SelectObject(s.DC, brush);
    ASSERT_TRUE(PatBlt(s.DC, 1, 1, 7, 5, DPa));
    int black = 0;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool inside = x >= 1 && x < 8 && y >= 1 && y < 6;
            const bool dark = inside && x % 2 == 1 && y % 2 == 1;
            ASSERT_EQ(s.At(x, y), dark ? RGB(0, 0, 0) : RGB(100, 150, 200)) << x << "," << y;
            black += dark;
        }
    EXPECT_EQ(black, 4 * 3);
    // Moving the brush origin by one moves the phase.
    s.Dib->Fill(ColorRefToPixel(RGB(100, 150, 200)));
    SetBrushOrgEx(s.DC, 1, 0, nullptr);
    PatBlt(s.DC, 0, 0, 9, 7, DPa);
    EXPECT_EQ(s.At(2, 1), RGB(0, 0, 0));
    EXPECT_EQ(s.At(1, 1), RGB(100, 150, 200));
    SelectObject(s.DC, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
    DeleteObject(pb);
}

TEST(RasterBlit, PatInvertTwiceRestoresEveryPixel) {
    HBITMAP pb = CreateBitmap(8, 8, 1, 1, nullptr);
    TDibPtr p = GetBitmapDib(pb);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) p->MonoRow(y)[x] = (x + y) % 2;
    HBRUSH brush = CreatePatternBrush(pb);
    TSurface s(20, 20);
    Numbered(s);
    std::vector<uint32_t> before(s.Dib->Row(0), s.Dib->Row(0) + 20 * 20);
    SetTextColor(s.DC, RGB(0, 0, 0));
    SetBkColor(s.DC, RGB(192, 192, 192));
    SelectObject(s.DC, brush);
    PatBlt(s.DC, 3, 4, 10, 3, PATINVERT);
    EXPECT_NE(std::vector<uint32_t>(s.Dib->Row(0), s.Dib->Row(0) + 400), before);
    PatBlt(s.DC, 3, 4, 10, 3, PATINVERT);
    EXPECT_EQ(std::vector<uint32_t>(s.Dib->Row(0), s.Dib->Row(0) + 400), before);
    SelectObject(s.DC, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
    DeleteObject(pb);
}

TEST(RasterBlit, DibSectionsAndDibTransfers) {
    // Bottom-up 32-bit DIB section: memory starts with the bottom row, bytes B, G, R, 0.
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 3;
    bi.bmiHeader.biHeight = 2;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP sec = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(sec, nullptr);
    ASSERT_NE(bits, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, sec);
    SetPixel(dc, 0, 1, RGB(1, 2, 3)); // bottom-left
    const auto* b = static_cast<const uint8_t*>(bits);
    EXPECT_EQ(b[0], 3);
    EXPECT_EQ(b[1], 2);
    EXPECT_EQ(b[2], 1);
    // 24-bit round trip through GetDIBits / SetDIBitsToDevice.
    bi.bmiHeader.biBitCount = 24;
    std::vector<uint8_t> rows(size_t(DibRowBytes(3, 24)) * 2);
    SelectObject(dc, old);
    EXPECT_EQ(GetDIBits(dc, sec, 0, 2, rows.data(), &bi, DIB_RGB_COLORS), 2);
    EXPECT_EQ(rows[0], 3);
    EXPECT_EQ(rows[2], 1);
    TSurface dst(3, 2);
    EXPECT_EQ(SetDIBitsToDevice(dst.DC, 0, 0, 3, 2, 0, 0, 0, 2, rows.data(), &bi, DIB_RGB_COLORS), 2);
    EXPECT_EQ(dst.At(0, 1), RGB(1, 2, 3));
    EXPECT_EQ(dst.At(0, 0), RGB(0, 0, 0));
    // Malformed headers are refused.
    BITMAPINFO bad = bi;
    bad.bmiHeader.biBitCount = 7;
    EXPECT_EQ(SetDIBitsToDevice(dst.DC, 0, 0, 3, 2, 0, 0, 0, 2, rows.data(), &bad, DIB_RGB_COLORS), 0);
    bad = bi;
    bad.bmiHeader.biWidth = -5;
    EXPECT_EQ(StretchDIBits(dst.DC, 0, 0, 3, 2, 0, 0, 3, 2, rows.data(), &bad, DIB_RGB_COLORS, SRCCOPY), 0);
    DeleteDC(dc);
    DeleteObject(sec);
}

} // namespace
} // namespace qel

namespace qel {
namespace {

TEST(RasterBlit, AlphaBlendWithConstantAlpha) {
    test::TSurface src(1, 1, RGB(255, 255, 255)), dst(4, 2, RGB(0, 0, 0));
    BLENDFUNCTION bf;
    bf.SourceConstantAlpha = 64; // a quarter of the source over the destination
    ASSERT_TRUE(AlphaBlend(dst.DC, 0, 0, 4, 2, src.DC, 0, 0, 1, 1, bf));
    EXPECT_EQ(dst.At(3, 1), RGB(64, 64, 64));
    bf.SourceConstantAlpha = 255;
    ASSERT_TRUE(AlphaBlend(dst.DC, 0, 0, 2, 1, src.DC, 0, 0, 1, 1, bf));
    EXPECT_EQ(dst.At(1, 0), RGB(255, 255, 255));
    EXPECT_EQ(dst.At(2, 0), RGB(64, 64, 64));
    // Per-pixel premultiplied alpha: a half-transparent grey pixel.
    src.Dib->Row(0)[0] = 0x80404040;
    bf.AlphaFormat = AC_SRC_ALPHA;
    test::TSurface d2(1, 1, RGB(200, 200, 200));
    ASSERT_TRUE(AlphaBlend(d2.DC, 0, 0, 1, 1, src.DC, 0, 0, 1, 1, bf));
    EXPECT_NEAR(int(GetRValue(d2.At(0, 0))), 64 + 200 * 127 / 255, 1);
    EXPECT_FALSE(AlphaBlend(d2.DC, 0, 0, -1, 1, src.DC, 0, 0, 1, 1, bf));
}

TEST(RasterBlit, CreateBitmapFromPackedBits) {
    const uint8_t mono[2 * 2] = {0xA0, 0x00, 0x40, 0x00}; // rows padded to 2 bytes: 1010 / 0100
    HBITMAP m = CreateBitmap(4, 2, 1, 1, mono);
    TDibPtr md = GetBitmapDib(m);
    EXPECT_EQ(md->MonoRow(0)[0], 1);
    EXPECT_EQ(md->MonoRow(0)[1], 0);
    EXPECT_EQ(md->MonoRow(0)[2], 1);
    EXPECT_EQ(md->MonoRow(1)[1], 1);
    uint8_t back[4] = {};
    EXPECT_EQ(GetBitmapBits(m, 4, back), 4);
    EXPECT_EQ(back[0], 0xA0);
    EXPECT_EQ(back[2], 0x40);
    const uint8_t rgb[4] = {1, 2, 3, 0}; // one pixel B, G, R plus padding
    HBITMAP c = CreateBitmap(1, 1, 1, 24, rgb);
    EXPECT_EQ(GetBitmapDib(c)->GetPixel(0, 0), 0x030201u);
    EXPECT_EQ(CreateBitmap(2, 2, 1, 7, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(-1, 2, 1, 1, nullptr), nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectPalette(dc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), false),
              GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(RealizePalette(dc), 0u);
    DeleteDC(dc);
    DeleteObject(m);
    DeleteObject(c);
}

} // namespace
} // namespace qel
