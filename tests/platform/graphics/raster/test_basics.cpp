#include "test_helpers.h"

namespace qel {
namespace {

using test::TSurface;

TEST(RasterBasics, MemoryDcStartsWithMonoDefaultBitmap) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    BITMAP bm;
    ASSERT_EQ(GetObject(GetCurrentObject(dc, OBJ_BITMAP), sizeof(bm), &bm), int(sizeof(bm)));
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmHeight, 1);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    // A bitmap compatible with such a DC is monochrome, as on the platform.
    HBITMAP b = CreateCompatibleBitmap(dc, 8, 8);
    ASSERT_EQ(GetObject(b, sizeof(bm), &bm), int(sizeof(bm)));
    EXPECT_EQ(bm.bmBitsPixel, 1);
    HBITMAP c = CreateCompatibleBitmap(nullptr, 8, 8);
    ASSERT_EQ(GetObject(c, sizeof(bm), &bm), int(sizeof(bm)));
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_TRUE(DeleteObject(c));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc)); // handles die with their object
}

TEST(RasterBasics, SetAndGetPixel) {
    TSurface s(4, 3);
    EXPECT_EQ(SetPixel(s.DC, 1, 2, RGB(10, 20, 30)), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(s.DC, 1, 2), RGB(10, 20, 30));
    EXPECT_EQ(s.Dib->Row(2)[1], 0x000A141Eu); // 0x00RRGGBB in memory
    EXPECT_EQ(GetPixel(s.DC, 4, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(s.DC, -1, 0, RGB(1, 2, 3)), CLR_INVALID);
}

} // namespace
} // namespace qel
