// Regions against brute-force pixel sets on random shapes.
#include "test_helpers.h"
#include <random>
#include <set>
#include <vector>

namespace qel {
namespace {

constexpr int kBox = 48; // reference grid: [-8, 40)
constexpr int kOrg = -8;

using TPixels = std::vector<uint8_t>;

TPixels PixelsOf(const TRegion& r) {
    TPixels p(kBox * kBox);
    for (int y = 0; y < kBox; ++y)
        for (int x = 0; x < kBox; ++x) p[size_t(y * kBox + x)] = r.Contains(x + kOrg, y + kOrg) ? 1 : 0;
    return p;
}

TPixels PixelsOfRects(const std::vector<TRect>& rects) {
    TPixels p(kBox * kBox);
    for (const TRect& r : rects)
        for (int y = std::max(r.Top, kOrg); y < std::min(r.Bottom, kOrg + kBox); ++y)
            for (int x = std::max(r.Left, kOrg); x < std::min(r.Right, kOrg + kBox); ++x)
                p[size_t((y - kOrg) * kBox + x - kOrg)] = 1;
    return p;
}

std::vector<TRect> RandomRects(std::mt19937& rng, int count) {
    std::uniform_int_distribution<int> c(-4, 36), s(0, 14);
    std::vector<TRect> out;
    for (int i = 0; i < count; ++i) {
        const int l = c(rng), t = c(rng);
        out.push_back({l, t, l + s(rng), t + s(rng)});
    }
    return out;
}

// Canonical form: sorted bands, spans inside a band disjoint and not touching, equal neighbours merged.
void ExpectCanonical(const TRegion& r) {
    const auto& rects = r.Rects();
    for (size_t i = 0; i < rects.size(); ++i) {
        ASSERT_FALSE(rects[i].IsEmpty());
        if (i == 0) continue;
        const TRect &a = rects[i - 1], &b = rects[i];
        if (a.Top == b.Top) {
            ASSERT_EQ(a.Bottom, b.Bottom);
            ASSERT_LT(a.Right, b.Left); // touching spans would have been merged
        } else {
            ASSERT_GE(b.Top, a.Bottom);
        }
    }
}

TEST(RasterRegion, CombineMatchesPixelSets) {
    std::mt19937 rng(20240611);
    const int modes[] = {RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY};
    for (int round = 0; round < 150; ++round) {
        auto ra = RandomRects(rng, 1 + int(rng() % 6)), rb = RandomRects(rng, 1 + int(rng() % 6));
        const TPixels pa = PixelsOfRects(ra), pb = PixelsOfRects(rb);
        const TRegion A = TRegion::FromRects(ra.data(), ra.size()),
                      B = TRegion::FromRects(rb.data(), rb.size());
        ExpectCanonical(A);
        ASSERT_EQ(PixelsOf(A), pa);
        HRGN ha = CreateRegionFromTRegion(A), hb = CreateRegionFromTRegion(B), hd = CreateRectRgn(0, 0, 0, 0);
        for (int mode : modes) {
            const int type = CombineRgn(hd, ha, hb, mode);
            const TRegion D = GetRegion(hd);
            ExpectCanonical(D);
            TPixels want(pa.size());
            for (size_t i = 0; i < want.size(); ++i) {
                const bool a = pa[i], b = pb[i];
                want[i] = mode == RGN_AND    ? a && b
                          : mode == RGN_OR   ? a || b
                          : mode == RGN_XOR  ? a != b
                          : mode == RGN_DIFF ? a && !b
                                             : a;
            }
            ASSERT_EQ(PixelsOf(D), want) << "round " << round << " mode " << mode;
            const int pixels = int(std::count(want.begin(), want.end(), 1));
            ASSERT_EQ(type, pixels == 0 ? NULLREGION : D.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION);
        }
        DeleteObject(ha);
        DeleteObject(hb);
        DeleteObject(hd);
    }
}

TEST(RasterRegion, SamePixelsGiveEqualRegions) {
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        auto rects = RandomRects(rng, 8);
        HRGN a = CreateRectRgn(0, 0, 0, 0);
        for (const TRect& r : rects) {
            HRGN t = CreateRectRgnIndirect(&r);
            CombineRgn(a, a, t, RGN_OR);
            DeleteObject(t);
        }
        std::reverse(rects.begin(), rects.end());
        HRGN b = CreateRegionFromTRegion(TRegion::FromRects(rects.data(), rects.size()));
        EXPECT_TRUE(EqualRgn(a, b));
        OffsetRgn(b, 1, 0);
        EXPECT_EQ(EqualRgn(a, b), GetRegion(a).IsEmpty());
        DeleteObject(a);
        DeleteObject(b);
    }
}

// Pixel-centre reference for polygons, exact in integers: counts edges crossed left of the centre.
bool InsidePolygon(const std::vector<TPoint>& pts, int px, int py, bool winding) {
    // Centre (px + 0.5, py + 0.5) scaled by 2: (2px + 1, 2py + 1).
    const int64_t cx = 2 * px + 1, cy = 2 * py + 1;
    int count = 0, wind = 0;
    for (size_t i = 0; i < pts.size(); ++i) {
        TPoint a = pts[i], b = pts[(i + 1) % pts.size()];
        int64_t ax = 2 * a.X, ay = 2 * a.Y, bx = 2 * b.X, by = 2 * b.Y;
        int dir = 1;
        if (ay == by) continue;
        if (ay > by) {
            std::swap(ax, bx);
            std::swap(ay, by);
            dir = -1;
        }
        if (!(ay <= cy && cy < by)) continue;
        // Crossing x = ax + (cy - ay) * (bx - ax) / (by - ay); counted when crossing <= cx.
        if (ax * (by - ay) + (cy - ay) * (bx - ax) <= cx * (by - ay)) {
            ++count;
            wind += dir;
        }
    }
    return winding ? wind != 0 : (count & 1);
}

TEST(RasterRegion, PolygonsMatchPixelCentreRule) {
    std::mt19937 rng(4242);
    std::uniform_int_distribution<int> c(-6, 38);
    for (int round = 0; round < 120; ++round) {
        const int n = 3 + int(rng() % 6);
        std::vector<TPoint> pts;
        for (int i = 0; i < n; ++i) pts.push_back({c(rng), c(rng)});
        for (int mode : {ALTERNATE, WINDING}) {
            HRGN h = CreatePolygonRgn(pts.data(), n, mode);
            const TRegion r = GetRegion(h);
            ExpectCanonical(r);
            for (int y = kOrg; y < kOrg + kBox; ++y)
                for (int x = kOrg; x < kOrg + kBox; ++x)
                    ASSERT_EQ(r.Contains(x, y), InsidePolygon(pts, x, y, mode == WINDING))
                        << "round " << round << " mode " << mode << " at " << x << "," << y;
            DeleteObject(h);
        }
    }
}

TEST(RasterRegion, AdjacentTrianglesNeitherOverlapNorLeaveGaps) {
    // Fan of triangles around a centre, like clock-wipe reveals.
    const TPoint c{20, 17};
    const TPoint ring[] = {{0, 0}, {13, 0}, {40, 0}, {40, 9}, {40, 35}, {27, 35}, {0, 35}, {0, 21}};
    TRegion all;
    for (size_t i = 0; i < 8; ++i) {
        TPoint tri[3] = {c, ring[i], ring[(i + 1) % 8]};
        TRegion t = TRegion::FromPolygon(tri, 3, TFillMode::Winding);
        EXPECT_TRUE(TRegion::Combine(all, t, TRegionOp::And).IsEmpty()) << i;
        all |= t;
    }
    EXPECT_EQ(all, TRegion(TRect{0, 0, 40, 35}));
}

TEST(RasterRegion, RectangleHelpersAndQueries) {
    HRGN r = CreateRectRgn(10, 20, 5, 8); // normalised
    TRect box;
    EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
    EXPECT_EQ(box, TRect(5, 8, 10, 20));
    EXPECT_TRUE(PtInRegion(r, 5, 8));
    EXPECT_FALSE(PtInRegion(r, 10, 8));
    const TRect probe{9, 19, 30, 30}, miss{10, 0, 30, 30};
    EXPECT_TRUE(RectInRegion(r, &probe));
    EXPECT_FALSE(RectInRegion(r, &miss));
    EXPECT_EQ(OffsetRgn(r, -5, -8), SIMPLEREGION);
    GetRgnBox(r, &box);
    EXPECT_EQ(box, TRect(0, 0, 5, 12));
    EXPECT_TRUE(SetRectRgn(r, 0, 0, 0, 0));
    EXPECT_EQ(GetRgnBox(r, &box), NULLREGION);
    DeleteObject(r);
    EXPECT_EQ(GetRgnBox(r, &box), ERROR); // deleted handle
    EXPECT_EQ(CombineRgn(r, r, r, RGN_OR), ERROR);
}

TEST(RasterRegion, EllipseAndRoundRectAreSymmetricAndInside) {
    for (const TRect& rc :
         {TRect{0, 0, 10, 10}, TRect{3, 2, 20, 9}, TRect{0, 0, 1, 1}, TRect{0, 0, 31, 17}}) {
        const TRegion e = TRegion::FromEllipse(rc);
        EXPECT_FALSE(e.IsEmpty());
        EXPECT_EQ(TRegion::Combine(e, TRegion(rc), TRegionOp::Diff), TRegion()); // stays inside the box
        for (int y = rc.Top; y < rc.Bottom; ++y)
            for (int x = rc.Left; x < rc.Right; ++x) {
                const int mx = rc.Left + rc.Right - 1 - x, my = rc.Top + rc.Bottom - 1 - y;
                ASSERT_EQ(e.Contains(x, y), e.Contains(mx, y));
                ASSERT_EQ(e.Contains(x, y), e.Contains(x, my));
            }
        // Centre row spans the whole width.
        EXPECT_TRUE(e.Contains(rc.Left, (rc.Top + rc.Bottom) / 2));
        EXPECT_TRUE(e.Contains(rc.Right - 1, (rc.Top + rc.Bottom) / 2));
    }
    const TRegion rr = TRegion::FromRoundRect({0, 0, 20, 10}, 6, 6);
    EXPECT_FALSE(rr.Contains(0, 0));
    EXPECT_FALSE(rr.Contains(19, 9));
    EXPECT_TRUE(rr.Contains(10, 0));
    EXPECT_TRUE(rr.Contains(0, 5));
    EXPECT_EQ(TRegion::FromRoundRect({0, 0, 20, 10}, 0, 0), TRegion(TRect{0, 0, 20, 10}));
}

TEST(RasterRegion, FromBitmapAndRegionData) {
    HBITMAP b = CreateCompatibleBitmap(nullptr, 6, 4);
    TDibPtr d = GetBitmapDib(b);
    d->Fill(0xFF80FF);
    d->SetPixel(1, 1, 0x000000);
    d->SetPixel(2, 1, 0x102030);
    d->SetPixel(4, 3, 0xFFFFFF);
    HRGN r = CreateRegionFromBitmap(b, RGB(255, 128, 255));
    EXPECT_EQ(GetRegion(r).Area(), 3);
    EXPECT_TRUE(PtInRegion(r, 1, 1));
    EXPECT_TRUE(PtInRegion(r, 2, 1));
    EXPECT_TRUE(PtInRegion(r, 4, 3));
    EXPECT_FALSE(PtInRegion(r, 0, 0));
    // Round trip through region data.
    const DWORD size = GetRegionData(r, 0, nullptr);
    std::vector<uint8_t> buf(size);
    ASSERT_EQ(GetRegionData(r, size, reinterpret_cast<RGNDATA*>(buf.data())), size);
    HRGN copy = ExtCreateRegion(nullptr, size, reinterpret_cast<RGNDATA*>(buf.data()));
    EXPECT_TRUE(EqualRgn(r, copy));
    // Truncated data is refused.
    EXPECT_EQ(ExtCreateRegion(nullptr, size - 1, reinterpret_cast<RGNDATA*>(buf.data())), nullptr);
    DeleteObject(copy);
    DeleteObject(r);
    DeleteObject(b);
}

} // namespace
} // namespace qel
