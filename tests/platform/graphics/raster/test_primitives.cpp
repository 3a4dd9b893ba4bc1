// Lines, shapes, fills and the exact frame primitives.
#include "test_helpers.h"
#include <set>
#include <vector>

namespace qel {
namespace {

using test::TSurface;

constexpr COLORREF W = RGB(255, 255, 255), K = RGB(0, 0, 0);

std::set<std::pair<int, int>> PixelsOf(const TSurface& s, COLORREF c) {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < s.H(); ++y)
        for (int x = 0; x < s.W(); ++x)
            if (s.At(x, y) == c) out.insert({x, y});
    return out;
}

struct TLineCase {
    TPoint a, b;
    std::vector<std::pair<int, int>> pixels;
};

class RasterLines : public ::testing::TestWithParam<TLineCase> {};

TEST_P(RasterLines, WidthOneLinesExcludeTheirEndPoint) {
    const auto& c = GetParam();
    TSurface s(12, 12);
    MoveToEx(s.DC, c.a.X, c.a.Y, nullptr);
    ASSERT_TRUE(LineTo(s.DC, c.b.X, c.b.Y));
    const std::set<std::pair<int, int>> want(c.pixels.begin(), c.pixels.end());
    EXPECT_EQ(PixelsOf(s, K), want);
    TPoint cur;
    GetCurrentPositionEx(s.DC, &cur);
    EXPECT_EQ(cur, c.b);
}

INSTANTIATE_TEST_SUITE_P(Cases, RasterLines,
                         ::testing::Values(TLineCase{{1, 1}, {5, 1}, {{1, 1}, {2, 1}, {3, 1}, {4, 1}}},
                                           TLineCase{{5, 1}, {1, 1}, {{5, 1}, {4, 1}, {3, 1}, {2, 1}}},
                                           TLineCase{{2, 5}, {2, 2}, {{2, 5}, {2, 4}, {2, 3}}},
                                           TLineCase{{0, 0}, {4, 4}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
                                           TLineCase{{4, 0}, {0, 4}, {{4, 0}, {3, 1}, {2, 2}, {1, 3}}},
                                           TLineCase{{3, 3}, {3, 3}, {}},
                                           TLineCase{{0, 0}, {4, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}}));

TEST(RasterPrimitives, RoundFrameCornersFromTwoPolylines) {
    // Two width-1 polylines around (0,0,10,10): A = (0,9)->(0,0)->(9,0), B = (9,0)->(9,9)->(0,9).
    TSurface s(10, 10);
    HPEN a = CreatePen(PS_SOLID, 1, RGB(255, 0, 0)), b = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(s.DC, a);
    TPoint pa[3] = {{0, 9}, {0, 0}, {9, 0}};
    Polyline(s.DC, pa, 3);
    SelectObject(s.DC, b);
    TPoint pb[3] = {{9, 0}, {9, 9}, {0, 9}};
    Polyline(s.DC, pb, 3);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(s.At(0, i), RGB(255, 0, 0)) << i; // column x=0, y 0..9
        if (i <= 8) {
            EXPECT_EQ(s.At(i, 0), RGB(255, 0, 0)) << i; // row y=0, x 0..8
            EXPECT_EQ(s.At(9, i), RGB(0, 0, 255)) << i; // column x=9, y 0..8
        }
        if (i >= 1) {
            EXPECT_EQ(s.At(i, 9), RGB(0, 0, 255)) << i; // row y=9, x 1..9
        }
    }
    EXPECT_EQ(s.At(9, 9), RGB(0, 0, 255));
    SelectObject(s.DC, old);
    DeleteObject(a);
    DeleteObject(b);
}

TEST(RasterPrimitives, XorPolylineDrawsJointsOnce) {
    TSurface s(10, 10, K);
    HPEN p = CreatePen(PS_SOLID, 1, W);
    HGDIOBJ old = SelectObject(s.DC, p);
    SetROP2(s.DC, R2_XORPEN);
    TPoint pts[4] = {{1, 1}, {6, 1}, {6, 6}, {1, 6}};
    Polyline(s.DC, pts, 4);
    EXPECT_EQ(s.At(6, 1), W); // the joint is drawn once, not twice (which would erase it)
    EXPECT_EQ(s.At(1, 6), K); // the final end point is excluded
    Polyline(s.DC, pts, 4);
    EXPECT_TRUE(PixelsOf(s, W).empty()); // a second pass erases it exactly
    SelectObject(s.DC, old);
    DeleteObject(p);
}

TEST(RasterPrimitives, RectanglePenInsideAndBrushInterior) {
    TSurface s(10, 10);
    HBRUSH br = CreateSolidBrush(RGB(0, 255, 0));
    HGDIOBJ old = SelectObject(s.DC, br);
    ASSERT_TRUE(Rectangle(s.DC, 2, 3, 7, 8));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            COLORREF want = W;
            if (x >= 2 && x < 7 && y >= 3 && y < 8)
                want = (x == 2 || x == 6 || y == 3 || y == 7) ? K : RGB(0, 255, 0);
            ASSERT_EQ(s.At(x, y), want) << x << "," << y;
        }
    // With the null pen the filled area is one pixel smaller on the right and bottom.
    s.Dib->Fill(0xFFFFFF);
    SelectObject(s.DC, GetStockObject(NULL_PEN));
    Rectangle(s.DC, 2, 3, 7, 8);
    EXPECT_EQ(PixelsOf(s, RGB(0, 255, 0)).size(), size_t(4 * 4));
    EXPECT_EQ(s.At(5, 6), RGB(0, 255, 0));
    EXPECT_EQ(s.At(6, 6), W);
    SelectObject(s.DC, GetStockObject(BLACK_PEN));
    SelectObject(s.DC, old);
    DeleteObject(br);
}

TEST(RasterPrimitives, FillFrameAndInvertRect) {
    TSurface s(8, 8);
    HBRUSH br = CreateSolidBrush(RGB(9, 8, 7));
    const TRect r{1, 2, 5, 6};
    EXPECT_EQ(FillRect(s.DC, &r, br), 1);
    EXPECT_EQ(PixelsOf(s, RGB(9, 8, 7)).size(), size_t(16));
    EXPECT_EQ(s.At(4, 5), RGB(9, 8, 7));
    EXPECT_EQ(s.At(5, 5), W);
    s.Dib->Fill(0xFFFFFF);
    EXPECT_EQ(FrameRect(s.DC, &r, br), 1);
    EXPECT_EQ(PixelsOf(s, RGB(9, 8, 7)).size(), size_t(12));
    EXPECT_EQ(s.At(2, 3), W);
    EXPECT_TRUE(InvertRect(s.DC, &r));
    EXPECT_EQ(s.At(2, 3), K);
    EXPECT_EQ(s.At(1, 2), RGB(246, 247, 248));
    DeleteObject(br);
}

TEST(RasterPrimitives, FocusRectIsSelfErasingDots) {
    TSurface s(12, 10, RGB(192, 192, 192));
    SetTextColor(s.DC, K);
    SetBkColor(s.DC, RGB(192, 192, 192)); // dots come out black on the control colour
    const TRect r{1, 1, 11, 9};
    ASSERT_TRUE(DrawFocusRect(s.DC, &r));
    EXPECT_EQ(s.At(1, 1), K);
    EXPECT_EQ(s.At(2, 1), RGB(192, 192, 192));
    EXPECT_EQ(s.At(3, 1), K);
    EXPECT_EQ(s.At(5, 5), RGB(192, 192, 192)); // interior untouched
    size_t dots = PixelsOf(s, K).size();
    EXPECT_EQ(dots, size_t(16)); // half of the 32 frame pixels
    DrawFocusRect(s.DC, &r);
    EXPECT_TRUE(PixelsOf(s, K).empty());
}

TEST(RasterPrimitives, CheckeredPatternBrushIsExact) {
    // 8x8: highlight where column and row parities agree, face colour elsewhere.
    HBITMAP bmp = CreateCompatibleBitmap(nullptr, 8, 8);
    TDibPtr d = GetBitmapDib(bmp);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) d->Row(y)[x] = (x % 2 == y % 2) ? 0xFFFFFF : 0xC0C0C0;
    HBRUSH br = CreatePatternBrush(bmp);
    TSurface s(13, 11);
    const TRect r{0, 0, 13, 11};
    FillRect(s.DC, &r, br);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 13; ++x) ASSERT_EQ(s.At(x, y), (x % 2 == y % 2) ? W : RGB(192, 192, 192));
    DeleteObject(br);
    DeleteObject(bmp);
}

struct TEdgeCase {
    UINT edge, flags;
    COLORREF outerLT, outerRB, innerLT, innerRB; // CLR_NONE: no such ring
};

class RasterDrawEdge : public ::testing::TestWithParam<TEdgeCase> {};

TEST_P(RasterDrawEdge, ClassicColoursAndCornerOwnership) {
    const auto c = GetParam();
    TSurface s(10, 10, RGB(1, 1, 1));
    TRect r{0, 0, 10, 10};
    ASSERT_TRUE(DrawEdge(s.DC, &r, c.edge, c.flags | BF_RECT | BF_ADJUST));
    const int rings = (c.outerLT != CLR_NONE) + (c.innerLT != CLR_NONE);
    EXPECT_EQ(r, TRect(rings, rings, 10 - rings, 10 - rings));
    // Outer ring: top row x 0..8 and left column y 0..8 in LT; bottom row and right column in RB.
    EXPECT_EQ(s.At(0, 0), c.outerLT);
    EXPECT_EQ(s.At(8, 0), c.outerLT);
    EXPECT_EQ(s.At(0, 8), c.outerLT);
    EXPECT_EQ(s.At(9, 0), c.outerRB); // top-right corner
    EXPECT_EQ(s.At(0, 9), c.outerRB); // bottom-left corner
    EXPECT_EQ(s.At(9, 9), c.outerRB);
    EXPECT_EQ(s.At(5, 9), c.outerRB);
    if (c.innerLT != CLR_NONE) {
        EXPECT_EQ(s.At(1, 1), c.innerLT);
        EXPECT_EQ(s.At(7, 1), c.innerLT);
        EXPECT_EQ(s.At(8, 1), c.innerRB);
        EXPECT_EQ(s.At(1, 8), c.innerRB);
        EXPECT_EQ(s.At(8, 8), c.innerRB);
    }
    const int m = rings;
    EXPECT_EQ(s.At(m + 1, m + 1), (c.flags & BF_MIDDLE) ? RGB(192, 192, 192) : RGB(1, 1, 1));
}

constexpr COLORREF HI = RGB(255, 255, 255), LI = RGB(192, 192, 192), SH = RGB(128, 128, 128),
                   DK = RGB(0, 0, 0);

INSTANTIATE_TEST_SUITE_P(
    Cases, RasterDrawEdge,
    ::testing::Values(TEdgeCase{EDGE_RAISED, 0, LI, DK, HI, SH}, TEdgeCase{EDGE_SUNKEN, 0, SH, HI, DK, LI},
                      TEdgeCase{EDGE_RAISED, BF_SOFT, HI, DK, LI, SH},
                      TEdgeCase{EDGE_SUNKEN, BF_SOFT, DK, HI, SH, LI},
                      TEdgeCase{EDGE_ETCHED, 0, SH, HI, HI, SH}, TEdgeCase{EDGE_BUMP, 0, LI, DK, DK, LI},
                      TEdgeCase{BDR_RAISEDINNER, 0, HI, SH, CLR_NONE, CLR_NONE},
                      TEdgeCase{BDR_RAISEDOUTER, BF_SOFT, HI, DK, CLR_NONE, CLR_NONE},
                      TEdgeCase{BDR_SUNKENOUTER, 0, SH, HI, CLR_NONE, CLR_NONE},
                      TEdgeCase{BDR_SUNKENOUTER, BF_SOFT, DK, HI, CLR_NONE, CLR_NONE},
                      TEdgeCase{BDR_RAISEDOUTER, BF_MONO | BF_FLAT, DK, DK, CLR_NONE, CLR_NONE},
                      TEdgeCase{BDR_RAISEDOUTER, BF_FLAT, SH, SH, CLR_NONE, CLR_NONE},
                      TEdgeCase{EDGE_RAISED, BF_SOFT | BF_MIDDLE, HI, DK, LI, SH}));

TEST(RasterPrimitives, DrawEdgeOnSomeSidesAdjustsOnlyThose) {
    TSurface s(10, 10, RGB(1, 1, 1));
    TRect r{0, 0, 10, 10};
    DrawEdge(s.DC, &r, BDR_RAISEDINNER, BF_BOTTOMRIGHT | BF_SOFT | BF_ADJUST);
    EXPECT_EQ(r, TRect(0, 0, 9, 9));
    EXPECT_EQ(s.At(0, 0), RGB(1, 1, 1));
    EXPECT_EQ(s.At(0, 9), SH);
    EXPECT_EQ(s.At(9, 0), SH);
}

TEST(RasterPrimitives, DashedPenPatternAndTransparentGaps) {
    TSurface s(30, 2, RGB(9, 9, 9));
    HPEN p = CreatePen(PS_DOT, 1, K);
    HGDIOBJ old = SelectObject(s.DC, p);
    SetBkMode(s.DC, TRANSPARENT);
    MoveToEx(s.DC, 0, 0, nullptr);
    LineTo(s.DC, 12, 0);
    const int dots[] = {1, 1, 1, 0, 0, 0, 1, 1, 1, 0, 0, 0};
    for (int x = 0; x < 12; ++x) EXPECT_EQ(s.At(x, 0), dots[x] ? K : RGB(9, 9, 9)) << x;
    SetBkMode(s.DC, OPAQUE);
    SetBkColor(s.DC, RGB(200, 0, 0));
    MoveToEx(s.DC, 0, 1, nullptr);
    LineTo(s.DC, 6, 1);
    EXPECT_EQ(s.At(4, 1), RGB(200, 0, 0)); // gaps in the background colour
    SelectObject(s.DC, old);
    DeleteObject(p);
}

TEST(RasterPrimitives, EllipsePolygonAndWideLines) {
    TSurface s(40, 40);
    HBRUSH br = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(s.DC, br);
    Ellipse(s.DC, 0, 0, 20, 10);
    EXPECT_EQ(s.At(10, 5), RGB(0, 0, 255)); // interior
    EXPECT_EQ(s.At(0, 5), K);               // outline at the left extreme
    EXPECT_EQ(s.At(0, 0), W);               // corners stay outside
    EXPECT_EQ(s.At(19, 9), W);
    s.Dib->Fill(0xFFFFFF);
    SelectObject(s.DC, GetStockObject(NULL_PEN));
    TPoint tri[3] = {{20, 20}, {39, 20}, {39, 39}};
    Polygon(s.DC, tri, 3);
    EXPECT_EQ(s.At(35, 24), RGB(0, 0, 255));
    EXPECT_EQ(s.At(22, 35), W);
    // A 3-pixel pen draws three rows centred on the line.
    HPEN wide = CreatePen(PS_SOLID, 3, RGB(255, 0, 0));
    SelectObject(s.DC, wide);
    MoveToEx(s.DC, 2, 10, nullptr);
    LineTo(s.DC, 15, 10);
    EXPECT_EQ(s.At(8, 9), RGB(255, 0, 0));
    EXPECT_EQ(s.At(8, 10), RGB(255, 0, 0));
    EXPECT_EQ(s.At(8, 11), RGB(255, 0, 0));
    EXPECT_EQ(s.At(8, 12), W);
    EXPECT_EQ(s.At(8, 8), W);
    SelectObject(s.DC, GetStockObject(BLACK_PEN));
    SelectObject(s.DC, old);
    DeleteObject(wide);
    DeleteObject(br);
}

TEST(RasterPrimitives, ArcRunsAnticlockwiseFromStartToEnd) {
    TSurface s(21, 21);
    // Upper half: from the right (20,10) anticlockwise to the left (0,10).
    Arc(s.DC, 0, 0, 21, 21, 20, 10, 0, 10);
    EXPECT_EQ(s.At(10, 0), K);  // top of the circle: drawn
    EXPECT_EQ(s.At(10, 20), W); // bottom: not on this arc
    s.Dib->Fill(0xFFFFFF);
    Arc(s.DC, 0, 0, 21, 21, 0, 10, 20, 10); // the other half
    EXPECT_EQ(s.At(10, 0), W);
    EXPECT_EQ(s.At(10, 20), K);
}

TEST(RasterPrimitives, FloodFillStopsAtTheBorderColour) {
    TSurface s(10, 10);
    HBRUSH br = CreateSolidBrush(RGB(0, 200, 0));
    HGDIOBJ old = SelectObject(s.DC, br);
    SelectObject(s.DC, GetStockObject(NULL_BRUSH));
    Rectangle(s.DC, 2, 2, 8, 8); // black outline only
    SelectObject(s.DC, br);
    EXPECT_TRUE(FloodFill(s.DC, 4, 4, K));
    EXPECT_EQ(s.At(4, 4), RGB(0, 200, 0));
    EXPECT_EQ(s.At(3, 6), RGB(0, 200, 0));
    EXPECT_EQ(s.At(2, 2), K);
    EXPECT_EQ(s.At(0, 0), W);
    EXPECT_TRUE(ExtFloodFill(s.DC, 0, 0, W, FLOODFILLSURFACE));
    EXPECT_EQ(s.At(9, 9), RGB(0, 200, 0));
    EXPECT_FALSE(FloodFill(s.DC, 2, 2, K)); // starting on the border
    SelectObject(s.DC, old);
    DeleteObject(br);
}

TEST(RasterPrimitives, GradientFillRectangles) {
    TSurface s(11, 4);
    TRIVERTEX v[2];
    v[0].x = 0;
    v[0].y = 0;
    v[0].Red = 0;
    v[0].Green = 0;
    v[0].Blue = 0xFF00;
    v[1].x = 11;
    v[1].y = 4;
    v[1].Red = 0xFF00;
    v[1].Green = 0;
    v[1].Blue = 0;
    GRADIENT_RECT gr{0, 1};
    ASSERT_TRUE(GradientFill(s.DC, v, 2, &gr, 1, GRADIENT_FILL_RECT_H));
    EXPECT_EQ(s.At(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(s.At(0, 3), RGB(0, 0, 255));
    const COLORREF mid = s.At(5, 2);
    EXPECT_NEAR(GetRValue(mid), 115, 2);
    EXPECT_NEAR(GetBValue(mid), 139, 2);
    EXPECT_GT(GetRValue(s.At(10, 0)), 225);
    GRADIENT_RECT bad{0, 5};
    EXPECT_FALSE(GradientFill(s.DC, v, 2, &bad, 1, GRADIENT_FILL_RECT_V));
}

TEST(RasterPrimitives, FrameControlsStayInsideTheirRectangle) {
    const UINT cases[][2] = {{DFC_BUTTON, DFCS_BUTTONPUSH},
                             {DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED},
                             {DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED},
                             {DFC_CAPTION, DFCS_CAPTIONCLOSE},
                             {DFC_CAPTION, DFCS_CAPTIONMAX | DFCS_PUSHED},
                             {DFC_CAPTION, DFCS_CAPTIONHELP | DFCS_INACTIVE},
                             {DFC_SCROLL, DFCS_SCROLLUP},
                             {DFC_SCROLL, DFCS_SCROLLDOWN | DFCS_PUSHED | DFCS_FLAT},
                             {DFC_SCROLL, DFCS_SCROLLSIZEGRIP},
                             {DFC_MENU, DFCS_MENUCHECK},
                             {DFC_MENU, DFCS_MENUBULLET},
                             {DFC_MENU, DFCS_MENUARROW}};
    for (const auto& c : cases) {
        TSurface s(24, 24, RGB(1, 2, 3));
        TRect r{4, 4, 20, 20};
        ASSERT_TRUE(DrawFrameControl(s.DC, &r, c[0], c[1]));
        int inside = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                const bool in = x >= 4 && x < 20 && y >= 4 && y < 20;
                if (!in)
                    ASSERT_EQ(s.At(x, y), RGB(1, 2, 3)) << c[0] << "/" << c[1] << " at " << x << "," << y;
                else
                    inside += s.At(x, y) != RGB(1, 2, 3);
            }
        EXPECT_GT(inside, 16) << c[0] << "/" << c[1];
    }
    // The push button's frame is the classic raised edge.
    TSurface s(10, 10);
    TRect r{0, 0, 10, 10};
    DrawFrameControl(s.DC, &r, DFC_BUTTON, DFCS_BUTTONPUSH);
    EXPECT_EQ(s.At(0, 0), HI);
    EXPECT_EQ(s.At(9, 9), DK);
    EXPECT_EQ(s.At(5, 5), RGB(192, 192, 192));
    DrawFrameControl(s.DC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT);
    EXPECT_EQ(r, TRect(2, 2, 8, 8));
}

TEST(RasterPrimitives, CoverageMaskBlendsAndIsExactAtTheExtremes) {
    TSurface s(3, 1, RGB(0, 0, 0));
    const uint8_t cov[3] = {0, 128, 255};
    ASSERT_TRUE(DrawCoverageMask(s.DC, 0, 0, cov, 3, 1, 3, RGB(255, 255, 255)));
    EXPECT_EQ(s.At(0, 0), K);
    EXPECT_EQ(s.At(1, 0), RGB(128, 128, 128));
    EXPECT_EQ(s.At(2, 0), W);
}

} // namespace
} // namespace qel
