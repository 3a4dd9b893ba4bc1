// Batched copies must give exactly what the equivalent BitBlt calls give, and scaled copies must follow
// the nearest-neighbour rule pixel for pixel whatever shortcut the row copying takes.
#include "platform/graphics/copy_batch.h"
#include "tests/platform/graphics/raster/test_helpers.h"

#include <random>
#include <string>
#include <vector>

namespace qel {
namespace {

using test::TSurface;

// Distinct, non-black pixel values.
uint32_t Pattern(int x, int y) {
    return 0x010101u + uint32_t((x * 7919 + y * 104729) & 0xFEFEFE);
}

void FillPattern(TSurface& s, uint32_t salt = 0) {
    for (int y = 0; y < s.H(); ++y)
        for (int x = 0; x < s.W(); ++x) s.Dib->Row(y)[x] = (Pattern(x, y) ^ salt) & 0xFFFFFF;
}

// The first pixel where two surfaces differ, as text; "" when none does.
std::string FirstDifference(const TSurface& a, const TSurface& b) {
    for (int y = 0; y < a.H(); ++y)
        for (int x = 0; x < a.W(); ++x)
            if (a.Dib->Row(y)[x] != b.Dib->Row(y)[x])
                return "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    return "";
}

// ---- scaled copies ------------------------------------------------------------------------------------

struct TStretchCase {
    int SW, SH; // source part size (from (2, 1))
    int DX, DY, DW, DH;
};

class RasterStretchRows : public ::testing::TestWithParam<TStretchCase> {};

TEST_P(RasterStretchRows, EveryPixelTakesTheNearestSourcePixel) {
    const TStretchCase c = GetParam();
    TSurface src(c.SW + 4, c.SH + 3);
    FillPattern(src);
    TSurface dst(120, 90, RGB(1, 2, 3));
    SetStretchBltMode(dst.DC, COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(dst.DC, c.DX, c.DY, c.DW, c.DH, src.DC, 2, 1, c.SW, c.SH, SRCCOPY));
    const uint32_t untouched = ColorRefToPixel(RGB(1, 2, 3));
    const int dn = std::abs(c.DW), hn = c.DH;
    for (int y = 0; y < dst.H(); ++y)
        for (int x = 0; x < dst.W(); ++x) {
            // Destination index along each axis (a negative width mirrors: index counts leftwards).
            const int i = c.DW > 0 ? x - c.DX : c.DX - x;
            const int j = y - c.DY;
            uint32_t expected = untouched;
            if (i >= 0 && i < dn && j >= 0 && j < hn) {
                const int sx = 2 + int((int64_t(2 * i + 1) * c.SW) / (2 * dn));
                const int sy = 1 + int((int64_t(2 * j + 1) * c.SH) / (2 * hn));
                expected = src.Dib->Row(sy)[sx];
            }
            ASSERT_EQ(dst.Dib->Row(y)[x], expected) << "at (" << x << "," << y << ")";
        }
}

INSTANTIATE_TEST_SUITE_P(
    Scales, RasterStretchRows,
    ::testing::Values(TStretchCase{100, 60, 0, 0, 97, 60},     // slight shrink: long runs
                      TStretchCase{100, 60, 5, 3, 73, 41},     // shrink by 1.37: short runs
                      TStretchCase{300, 200, 10, 10, 37, 23},  // strong shrink: single pixels
                      TStretchCase{20, 10, 3, 2, 100, 70},     // enlargement: repeated pixels
                      TStretchCase{30, 17, 0, 0, 97, 61},      // uneven enlargement
                      TStretchCase{90, 40, -30, -10, 140, 95}, // reaching beyond every edge
                      TStretchCase{50, 50, 110, 5, -90, 50},   // mirrored
                      TStretchCase{64, 48, 1, 1, 64, 96}));    // identity across, doubled down

TEST(RasterStretchLarge, ALargeShrinkTakesTheNearestSourcePixels) {
    // Big enough for the copy to write its rows past the caches; factors between one and two give short
    // runs, so every row is gathered pixel by pixel.
    TSurface src(903, 412), dst(720, 420, RGB(1, 2, 3));
    FillPattern(src);
    SetStretchBltMode(dst.DC, COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(dst.DC, 3, 1, 701, 405, src.DC, 1, 2, 900, 409, SRCCOPY));
    const uint32_t untouched = ColorRefToPixel(RGB(1, 2, 3));
    for (int y = 0; y < dst.H(); ++y)
        for (int x = 0; x < dst.W(); ++x) {
            const int i = x - 3, j = y - 1;
            uint32_t expected = untouched;
            if (i >= 0 && i < 701 && j >= 0 && j < 405)
                expected = src.Dib->Row(
                    2 + int((int64_t(2 * j + 1) * 409) / (2 * 405)))[1 + (2 * i + 1) * 900 / (2 * 701)];
            ASSERT_EQ(dst.Dib->Row(y)[x], expected) << "at (" << x << "," << y << ")";
        }
}

// ---- batched copies -----------------------------------------------------------------------------------

enum class TClipKind { None, Rect, Complex };

struct TBatchScene {
    explicit TBatchScene(TClipKind clip) : Plain(70, 50), Batched(70, 50), Source(40, 30) {
        FillPattern(Plain, 0x123456);
        FillPattern(Batched, 0x123456);
        FillPattern(Source);
        for (TSurface* s : {&Plain, &Batched}) {
            SetViewportOrgEx(s->DC, 3, -2, nullptr);
            if (clip == TClipKind::Rect) {
                HRGN r = CreateRectRgn(5, 4, 60, 41);
                SelectClipRgn(s->DC, r);
                DeleteObject(r);
            } else if (clip == TClipKind::Complex) {
                HRGN a = CreateRectRgn(0, 0, 30, 25);
                HRGN b = CreateRectRgn(20, 15, 66, 47);
                CombineRgn(a, a, b, RGN_OR);
                SelectClipRgn(s->DC, a);
                DeleteObject(a);
                DeleteObject(b);
            }
        }
        SetViewportOrgEx(Source.DC, -1, 2, nullptr);
    }
    TSurface Plain, Batched, Source;
};

struct TRectCopy {
    int X, Y, W, H, SX, SY;
};

std::vector<TRectCopy> RandomCopies(int count, unsigned seed) {
    std::mt19937 rng(seed);
    auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<TRectCopy> out;
    for (int i = 0; i < count; ++i)
        out.push_back({in(-12, 75), in(-12, 55), in(-3, 30), in(-3, 25), in(-8, 42), in(-8, 33)});
    return out;
}

class RasterCopyBatch : public ::testing::TestWithParam<TClipKind> {};

TEST_P(RasterCopyBatch, CopiesEqualBitBltIncludingEdgesOriginsAndClip) {
    TBatchScene s(GetParam());
    const std::vector<TRectCopy> copies = RandomCopies(400, 7);
    for (const TRectCopy& c : copies)
        BitBlt(s.Plain.DC, c.X, c.Y, c.W, c.H, s.Source.DC, c.SX, c.SY, SRCCOPY);
    {
        TCopyBatch batch(s.Batched.DC, s.Source.DC);
        EXPECT_TRUE(batch.Direct());
        for (const TRectCopy& c : copies) batch.Copy(c.X, c.Y, c.W, c.H, c.SX, c.SY);
    }
    EXPECT_EQ(FirstDifference(s.Plain, s.Batched), "");
}

TEST_P(RasterCopyBatch, ColumnsEqualSeparateCopiesInOrder) {
    TBatchScene s(GetParam());
    // Overlapping columns taking different source columns: the later copy must win where they overlap.
    std::vector<TCopyBatch::TColumn> columns;
    for (int x = -6; x < 72; x += 5) columns.push_back({x, 8, (x * 3) % 37 - 2});
    columns.push_back({20, 30, 1});
    for (const TCopyBatch::TColumn& c : columns)
        BitBlt(s.Plain.DC, int(c.X), -3, int(c.W), 45, s.Source.DC, int(c.SX), 4, SRCCOPY);
    {
        TCopyBatch batch(s.Batched.DC, s.Source.DC);
        batch.CopyColumns(columns.data(), int(columns.size()), -3, 45, 4);
    }
    EXPECT_EQ(FirstDifference(s.Plain, s.Batched), "");
}

TEST_P(RasterCopyBatch, RowRunsEqualSeparateCopies) {
    TBatchScene s(GetParam());
    const std::vector<int64_t> runs = {-9, -2, -4, 3, 5, 9, 7, 20, 30, 31, 40, 90};
    for (int y = -4; y < 52; y += 3) {
        for (size_t i = 0; i < runs.size(); i += 2)
            BitBlt(s.Plain.DC, int(runs[i]), y, int(runs[i + 1] - runs[i]), 1, s.Source.DC, int(runs[i]) - 5,
                   y + 2, SRCCOPY);
    }
    {
        TCopyBatch batch(s.Batched.DC, s.Source.DC);
        for (int y = -4; y < 52; y += 3) batch.CopyRowRuns(y, runs.data(), int(runs.size() / 2), -5, 2);
    }
    EXPECT_EQ(FirstDifference(s.Plain, s.Batched), "");
}

INSTANTIATE_TEST_SUITE_P(Clips, RasterCopyBatch,
                         ::testing::Values(TClipKind::None, TClipKind::Rect, TClipKind::Complex));

TEST(RasterCopyBatchFallback, OneSurfaceOnBothSidesCopiesLikeBitBlt) {
    TSurface plain(40, 30), batched(40, 30);
    FillPattern(plain);
    FillPattern(batched);
    const std::vector<TRectCopy> copies = RandomCopies(60, 11);
    for (const TRectCopy& c : copies) BitBlt(plain.DC, c.X, c.Y, c.W, c.H, plain.DC, c.SX, c.SY, SRCCOPY);
    {
        TCopyBatch batch(batched.DC, batched.DC);
        EXPECT_FALSE(batch.Direct());
        for (const TRectCopy& c : copies) batch.Copy(c.X, c.Y, c.W, c.H, c.SX, c.SY);
    }
    EXPECT_EQ(FirstDifference(plain, batched), "");
}

TEST(RasterCopyBatchFallback, MonochromeDestinationConvertsLikeBitBlt) {
    TSurface plain(24, 16, RGB(255, 255, 255), true), batched(24, 16, RGB(255, 255, 255), true);
    TSurface source(24, 16);
    FillPattern(source);
    {
        TCopyBatch batch(batched.DC, source.DC);
        EXPECT_FALSE(batch.Direct());
        batch.Copy(2, 3, 15, 9, 4, 1);
    }
    BitBlt(plain.DC, 2, 3, 15, 9, source.DC, 4, 1, SRCCOPY);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) ASSERT_EQ(plain.At(x, y), batched.At(x, y)) << x << "," << y;
    int white = 0;
    for (int y = 3; y < 12; ++y)
        for (int x = 2; x < 17; ++x) white += plain.At(x, y) == RGB(255, 255, 255);
    EXPECT_LT(white, 15 * 9); // the copy reached the surface
}

TEST(RasterCopyBatch, SourceCoversFollowsTheSourceOrigin) {
    TSurface dst(20, 20), src(30, 10);
    SetViewportOrgEx(src.DC, 5, 2, nullptr); // logical (x, y) is surface (x + 5, y + 2)
    TCopyBatch batch(dst.DC, src.DC);
    EXPECT_TRUE(batch.SourceCovers(-5, -2, 30, 10));
    EXPECT_TRUE(batch.SourceCovers(0, 0, 25, 8));
    EXPECT_FALSE(batch.SourceCovers(0, 0, 26, 8));
    EXPECT_FALSE(batch.SourceCovers(0, 0, 25, 9));
    EXPECT_FALSE(batch.SourceCovers(-6, 0, 4, 4));
    TCopyBatch same(dst.DC, dst.DC);
    EXPECT_FALSE(same.SourceCovers(0, 0, 1, 1)); // not direct
}

TEST(RasterCopyBatchFallback, UnusableDeviceContextsDrawNothing) {
    TSurface dst(10, 10, RGB(9, 9, 9));
    TCopyBatch batch(dst.DC, nullptr);
    EXPECT_FALSE(batch.Direct());
    batch.Copy(0, 0, 10, 10, 0, 0);
    EXPECT_EQ(dst.At(4, 4), RGB(9, 9, 9));
}

} // namespace
} // namespace qel
