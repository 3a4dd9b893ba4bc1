// Device context state: save/restore, clipping, origins, object ownership, capabilities.
#include "test_helpers.h"

namespace qel {
namespace {

using test::TSurface;

TEST(RasterDc, SaveAndRestoreLevels) {
    TSurface s(4, 4);
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    EXPECT_EQ(SaveDC(s.DC), 1);
    SetTextColor(s.DC, RGB(1, 1, 1));
    SetBkMode(s.DC, TRANSPARENT);
    SelectObject(s.DC, red);
    SetViewportOrgEx(s.DC, 5, 6, nullptr);
    IntersectClipRect(s.DC, 0, 0, 1, 1);
    EXPECT_EQ(SaveDC(s.DC), 2);
    SetTextColor(s.DC, RGB(2, 2, 2));
    SetROP2(s.DC, R2_XORPEN);
    EXPECT_EQ(SaveDC(s.DC), 3);
    SetTextColor(s.DC, RGB(3, 3, 3));
    EXPECT_TRUE(RestoreDC(s.DC, -1)); // back to level 2's state
    EXPECT_EQ(GetTextColor(s.DC), RGB(2, 2, 2));
    EXPECT_EQ(GetROP2(s.DC), R2_XORPEN);
    EXPECT_TRUE(RestoreDC(s.DC, 1)); // absolute: the state before the first save
    EXPECT_EQ(GetTextColor(s.DC), RGB(0, 0, 0));
    EXPECT_EQ(GetBkMode(s.DC), OPAQUE);
    EXPECT_EQ(GetROP2(s.DC), R2_COPYPEN);
    EXPECT_EQ(GetCurrentObject(s.DC, OBJ_PEN), GetStockObject(BLACK_PEN));
    TPoint org;
    GetViewportOrgEx(s.DC, &org);
    EXPECT_EQ(org, TPoint(0, 0));
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(s.DC, r), 0);
    EXPECT_FALSE(RestoreDC(s.DC, 1)); // no more saved states
    EXPECT_FALSE(RestoreDC(s.DC, -1));
    EXPECT_FALSE(RestoreDC(s.DC, 0));
    DeleteObject(r);
    DeleteObject(red);
}

TEST(RasterDc, GetClipRgnDistinguishesNoClipFromEmptyClip) {
    TSurface s(10, 10);
    HRGN out = CreateRectRgn(1, 1, 2, 2);
    EXPECT_EQ(GetClipRgn(s.DC, out), 0);
    EXPECT_TRUE(PtInRegion(out, 1, 1)); // untouched
    HRGN empty = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(SelectClipRgn(s.DC, empty), NULLREGION);
    EXPECT_EQ(GetClipRgn(s.DC, out), 1);
    TRect box;
    EXPECT_EQ(GetRgnBox(out, &box), NULLREGION);
    EXPECT_TRUE(PatBlt(s.DC, 0, 0, 10, 10, BLACKNESS));
    EXPECT_EQ(s.At(5, 5), RGB(255, 255, 255)); // empty clip draws nothing
    EXPECT_EQ(SelectClipRgn(s.DC, nullptr), SIMPLEREGION);
    EXPECT_EQ(GetClipRgn(s.DC, out), 0);
    EXPECT_EQ(GetClipRgn(s.DC, reinterpret_cast<HRGN>(uintptr_t(12345))), -1);
    DeleteObject(out);
    DeleteObject(empty);
}

TEST(RasterDc, ClipRegionsAreInDeviceCoordinatesAndIntersectRectsInLogical) {
    TSurface s(20, 20);
    SetViewportOrgEx(s.DC, 5, 5, nullptr);
    HRGN clip = CreateRectRgn(5, 5, 10, 10); // device coordinates
    SelectClipRgn(s.DC, clip);
    DeleteObject(clip); // the DC keeps a copy
    PatBlt(s.DC, -5, -5, 20, 20, BLACKNESS);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(s.At(x, y), (x >= 5 && x < 10 && y >= 5 && y < 10) ? RGB(0, 0, 0) : RGB(255, 255, 255));
    TRect box;
    EXPECT_EQ(GetClipBox(s.DC, &box), SIMPLEREGION);
    EXPECT_EQ(box, TRect(0, 0, 5, 5)); // logical
    // IntersectClipRect takes logical coordinates: (1,1)-(3,3) is device (6,6)-(8,8).
    EXPECT_EQ(IntersectClipRect(s.DC, 1, 1, 3, 3), SIMPLEREGION);
    HRGN got = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(s.DC, got), 1);
    GetRgnBox(got, &box);
    EXPECT_EQ(box, TRect(6, 6, 8, 8));
    EXPECT_EQ(ExcludeClipRect(s.DC, 1, 1, 2, 2), COMPLEXREGION);
    EXPECT_FALSE(PtVisible(s.DC, 1, 1));
    EXPECT_TRUE(PtVisible(s.DC, 2, 1));
    DeleteObject(got);
}

TEST(RasterDc, SelectingAClipRegionReplacesTheApplicationClip) {
    // Like a clipped reveal: save the clip, select a polygon region, draw, restore the saved clip.
    TSurface s(20, 20);
    IntersectClipRect(s.DC, 0, 0, 10, 20);
    HRGN saved = CreateRectRgn(0, 0, 0, 0);
    const int had = GetClipRgn(s.DC, saved);
    EXPECT_EQ(had, 1);
    TPoint tri[3] = {{0, 0}, {20, 0}, {20, 20}};
    HRGN poly = CreatePolygonRgn(tri, 3, WINDING);
    SelectClipRgn(s.DC, poly);
    PatBlt(s.DC, 0, 0, 20, 20, BLACKNESS);
    EXPECT_EQ(s.At(15, 2), RGB(0, 0, 0));       // outside the old clip, inside the triangle
    EXPECT_EQ(s.At(2, 15), RGB(255, 255, 255)); // outside the triangle
    SelectClipRgn(s.DC, had ? saved : nullptr);
    PatBlt(s.DC, 0, 0, 20, 20, WHITENESS);
    EXPECT_EQ(s.At(15, 2), RGB(0, 0, 0)); // old clip back
    EXPECT_EQ(s.At(2, 15), RGB(255, 255, 255));
    DeleteObject(poly);
    DeleteObject(saved);
}

TEST(RasterDc, SurfaceDcWithDeviceOriginAndSystemClip) {
    auto fb = std::make_shared<TDib>(40, 30);
    TRegion visible(TRect{0, 0, 10, 10});
    visible |= TRegion(TRect{10, 0, 20, 5});
    HDC dc = CreateSurfaceDC(fb, {5, 5}, &visible);
    ASSERT_NE(dc, nullptr);
    PatBlt(dc, -100, -100, 1000, 1000, WHITENESS);
    EXPECT_EQ(fb->GetPixel(5, 5), 0xFFFFFFu);  // device (0,0)
    EXPECT_EQ(fb->GetPixel(24, 9), 0xFFFFFFu); // device (19,4)
    EXPECT_EQ(fb->GetPixel(24, 10), 0u);       // device (19,5): not visible
    EXPECT_EQ(fb->GetPixel(4, 5), 0u);         // left of the window
    // The application clip cannot widen the system clip.
    HRGN big = CreateRectRgn(-50, -50, 50, 50);
    SelectClipRgn(dc, big);
    fb->Fill(0);
    PatBlt(dc, -100, -100, 1000, 1000, WHITENESS);
    EXPECT_EQ(fb->GetPixel(4, 5), 0u);
    // A destroyed window's DC draws nothing.
    TRegion none;
    SetDCSystemClip(dc, &none);
    fb->Fill(0);
    PatBlt(dc, -100, -100, 1000, 1000, WHITENESS);
    EXPECT_EQ(fb->GetPixel(5, 5), 0u);
    EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
    DeleteObject(big);
    DeleteDC(dc);
}

TEST(RasterDc, ObjectOwnershipIsSafe) {
    TSurface s(4, 4);
    HBRUSH b = CreateSolidBrush(RGB(10, 20, 30));
    HGDIOBJ old = SelectObject(s.DC, b);
    EXPECT_TRUE(DeleteObject(b)); // deferred: still usable in the DC
    const TRect r{0, 0, 2, 2};
    Rectangle(s.DC, -1, -1, 5, 5); // brush interior covers (0,0)-(3,3) with the black pen outside
    EXPECT_EQ(s.At(1, 1), RGB(10, 20, 30));
    EXPECT_EQ(GetObjectType(b), 0); // the handle is gone
    SelectObject(s.DC, old);
    // A selected bitmap cannot be deleted.
    EXPECT_FALSE(DeleteObject(s.Bitmap));
    // Stock objects ignore deletion.
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), OBJ_BRUSH);
    EXPECT_EQ(FillRect(s.DC, &r, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1))), 1);
    EXPECT_EQ(s.At(0, 0), RGB(192, 192, 192));
    // Bad handles fail cleanly.
    EXPECT_EQ(SelectObject(s.DC, reinterpret_cast<HGDIOBJ>(uintptr_t(0x7777))), nullptr);
    EXPECT_FALSE(BitBlt(reinterpret_cast<HDC>(uintptr_t(0x7777)), 0, 0, 1, 1, s.DC, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(s.DC, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
}

TEST(RasterDc, StockObjectsAndObjectInfo) {
    LOGBRUSH lb;
    ASSERT_EQ(GetObject(GetStockObject(WHITE_BRUSH), sizeof(lb), &lb), int(sizeof(lb)));
    EXPECT_EQ(lb.lbColor, RGB(255, 255, 255));
    ASSERT_EQ(GetObject(GetStockObject(NULL_BRUSH), sizeof(lb), &lb), int(sizeof(lb)));
    EXPECT_EQ(lb.lbStyle, UINT(BS_NULL));
    LOGPEN lp;
    ASSERT_EQ(GetObject(GetStockObject(NULL_PEN), sizeof(lp), &lp), int(sizeof(lp)));
    EXPECT_EQ(lp.lopnStyle, UINT(PS_NULL));
    EXPECT_EQ(GetObject(GetStockObject(WHITE_PEN), 2, &lp), 0); // buffer too small
    EXPECT_EQ(GetObjectType(GetStockObject(DEFAULT_GUI_FONT)), OBJ_FONT);
}

TEST(RasterDc, DeviceCapsAreSettableForTests) {
    SetScreenDeviceCaps(8, 120, 120, 800, 600);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 8);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 120);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 800);
    EXPECT_EQ(GetDeviceCaps(nullptr, VERTRES), 600);
    EXPECT_TRUE(SetDeviceCaps(dc, PHYSICALWIDTH, 5100));
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), 5100);
    DeleteDC(dc);
    SetScreenDeviceCaps(32, 96, 96, 1024, 768);
    HDC dc2 = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc2, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(dc2, LOGPIXELSY), 96);
    DeleteDC(dc2);
}

TEST(RasterDc, SystemColoursAndColorToRGB) {
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
    EXPECT_EQ(ColorToRGB(clBtnFace), 0xC0C0C0);
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
    EXPECT_EQ(ColorToRGB(clNone), 0x1FFFFFFF);
    const int idx[] = {COLOR_BTNFACE};
    const COLORREF val[] = {RGB(1, 2, 3)};
    ASSERT_TRUE(SetSysColors(1, idx, val));
    EXPECT_EQ(ColorToRGB(clBtnFace), int32_t(RGB(1, 2, 3)));
    TSurface s(2, 2);
    const TRect r{0, 0, 2, 2};
    FillRect(s.DC, &r, GetSysColorBrush(COLOR_BTNFACE)); // system brushes follow the palette
    EXPECT_EQ(s.At(1, 1), RGB(1, 2, 3));
    ResetSysColors();
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
    const int bad[] = {999};
    EXPECT_FALSE(SetSysColors(1, bad, val));
}

} // namespace
} // namespace qel
