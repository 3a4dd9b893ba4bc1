// Image lists: masked add, draw styles, bitmaps out, change links, streaming.
#include <gtest/gtest.h>

#include <memory>

#include "platform/graphics/imagelist.h"

using namespace qel;

namespace {
// Two 3x2 images side by side: fuchsia background with one red and one green pixel.
std::unique_ptr<TBitmap> StripPtr() {
    auto b = std::make_unique<TBitmap>(6, 2);
    b->GetCanvas()->GetBrush()->SetColor(clFuchsia);
    b->GetCanvas()->FillRect(TRect(0, 0, 6, 2));
    b->GetCanvas()->SetPixel(1, 0, clRed);
    b->GetCanvas()->SetPixel(4, 1, clLime);
    return b;
}
} // namespace

TEST(TImageList, MaskedAddAndTransparentDraw) {
    TImageList list(nullptr);
    list.SetSize(3, 2);
    auto stripPtr = StripPtr();
    TBitmap& strip = *stripPtr;
    EXPECT_EQ(list.AddMasked(&strip, clFuchsia), 0);
    EXPECT_EQ(list.Count(), 2);
    TBitmap dst(3, 2);
    dst.GetCanvas()->GetBrush()->SetColor(clBlue);
    dst.GetCanvas()->FillRect(TRect(0, 0, 3, 2));
    list.Draw(dst.GetCanvas(), 0, 0, 0, dsTransparent, itImage);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(dst.GetCanvas()->GetPixel(x, y), (x == 1 && y == 0) ? clRed : clBlue) << x << "," << y;
    // Normal style with a background colour fills the masked pixels.
    list.SetBkColor(clYellow);
    list.Draw(dst.GetCanvas(), 0, 0, 1, dsNormal, itImage);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(1, 1), clLime);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(0, 0), clYellow);
    // The mask image: black where opaque.
    list.Draw(dst.GetCanvas(), 0, 0, 1, dsNormal, itMask);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(1, 1), clBlack);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(0, 0), clWhite);
    // Selected: blended half way with the blend colour.
    list.SetBlendColor(clBlack);
    list.Draw(dst.GetCanvas(), 0, 0, 0, dsSelected, itImage);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(1, 0), ToColor(0x80));
    // Disabled: shadow colour on the ink pixels.
    dst.GetCanvas()->FillRect(TRect(0, 0, 3, 2));
    list.Draw(dst.GetCanvas(), 0, 0, 0, false);
    EXPECT_EQ(static_cast<COLORREF>(dst.GetCanvas()->GetPixel(1, 0)), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(static_cast<COLORREF>(dst.GetCanvas()->GetPixel(2, 1)), GetSysColor(COLOR_BTNHIGHLIGHT));
}

TEST(TImageList, EditingBitmapsAndErrors) {
    TImageList list(nullptr);
    list.SetSize(3, 2);
    auto stripPtr = StripPtr();
    TBitmap& strip = *stripPtr;
    list.AddMasked(&strip, clFuchsia);
    TBitmap out;
    ASSERT_TRUE(list.GetBitmap(1, &out));
    EXPECT_EQ(out.GetWidth(), 3);
    EXPECT_EQ(out.GetCanvas()->GetPixel(1, 1), clLime);
    EXPECT_EQ(out.GetCanvas()->GetPixel(0, 0), clWhite) << "transparent pixels come out white";
    TBitmap mask;
    ASSERT_TRUE(list.GetMask(1, &mask));
    EXPECT_TRUE(mask.GetMonochrome());
    list.Move(1, 0);
    list.GetBitmap(0, &out);
    EXPECT_EQ(out.GetCanvas()->GetPixel(1, 1), clLime);
    // Replace without a mask keeps a fully opaque image.
    list.Replace(0, &out, nullptr);
    TBitmap dst(3, 2);
    dst.GetCanvas()->GetBrush()->SetColor(clBlue);
    dst.GetCanvas()->FillRect(TRect(0, 0, 3, 2));
    list.Draw(dst.GetCanvas(), 0, 0, 0, dsTransparent, itImage);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(0, 0), clWhite);
    EXPECT_THROW(list.Delete(5), EInvalidOperation);
    EXPECT_THROW(list.Replace(7, &out, nullptr), EInvalidOperation);
    EXPECT_THROW(list.SetSize(0, 5), EInvalidOperation);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 1);
    list.Delete(-1);
    EXPECT_EQ(list.Count(), 0);
}

TEST(TImageList, ChangeLinksAndUpdates) {
    TImageList list(nullptr);
    list.SetSize(3, 2);
    int notified = 0;
    TObject* sender = nullptr;
    {
        TChangeLink link;
        link.SetOnChange([&](TObject* s) {
            ++notified;
            sender = s;
        });
        list.RegisterChanges(&link);
        auto stripPtr = StripPtr();
        TBitmap& strip = *stripPtr;
        list.AddMasked(&strip, clFuchsia);
        EXPECT_EQ(notified, 1);
        EXPECT_EQ(sender, &list);
        list.BeginUpdate();
        list.AddMasked(&strip, clFuchsia);
        list.Delete(0);
        EXPECT_EQ(notified, 1);
        list.EndUpdate();
        EXPECT_EQ(notified, 2);
    }
    // The link unregistered itself when destroyed.
    auto stripPtr = StripPtr();
    TBitmap& strip = *stripPtr;
    list.AddMasked(&strip, clFuchsia);
    EXPECT_EQ(notified, 2);
}

TEST(TImageList, StreamsItsImagesAndOverlays) {
    TImageList list(nullptr);
    list.SetSize(3, 2);
    auto stripPtr = StripPtr();
    TBitmap& strip = *stripPtr;
    for (int i = 0; i < 3; ++i) list.AddMasked(&strip, clFuchsia);
    list.Overlay(1, 0);
    TMemoryStream ms;
    list.WriteData(ms);
    ms.SetPosition(0);
    TImageList back(nullptr);
    back.ReadData(ms);
    EXPECT_EQ(back.Count(), 6);
    EXPECT_EQ(back.GetWidth(), 3);
    TBitmap a, b;
    for (int i = 0; i < 6; ++i) {
        list.GetBitmap(i, &a);
        back.GetBitmap(i, &b);
        EXPECT_EQ(a.GetImageData().Pixels, b.GetImageData().Pixels) << i;
    }
    TBitmap dst(3, 2);
    back.DrawOverlay(dst.GetCanvas(), 0, 0, 0, 0);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(1, 1), clLime) << "overlay image 1 drawn over image 0";
    std::string bad(10, 'x');
    TMemoryStream bs(bad);
    EXPECT_THROW(back.ReadData(bs), EInvalidGraphic);
    EXPECT_EQ(back.Count(), 6);
}
