#pragma once
// Shared helpers for the raster tests: memory DCs over fresh surfaces and pixel access.
#include "platform/graphics/gdi.h"
#include <gtest/gtest.h>

namespace qel::test {

// A memory DC with a w x h 32-bit bitmap selected, filled with `fill` (COLORREF).
class TSurface {
public:
    TSurface(int w, int h, COLORREF fill = RGB(255, 255, 255), bool mono = false) {
        DC = CreateCompatibleDC(nullptr);
        Bitmap = mono ? CreateBitmap(w, h, 1, 1, nullptr) : CreateCompatibleBitmap(nullptr, w, h);
        Old = static_cast<HBITMAP>(SelectObject(DC, Bitmap));
        Dib = GetBitmapDib(Bitmap);
        Dib->Fill(ColorRefToPixel(fill));
    }
    ~TSurface() {
        SelectObject(DC, Old);
        DeleteObject(Bitmap);
        DeleteDC(DC);
    }
    TSurface(const TSurface&) = delete;
    TSurface& operator=(const TSurface&) = delete;
    COLORREF At(int x, int y) const { return PixelToColorRef(Dib->GetPixel(x, y)); }
    void Put(int x, int y, COLORREF c) { Dib->SetPixel(x, y, ColorRefToPixel(c)); }
    int W() const { return Dib->Width(); }
    int H() const { return Dib->Height(); }

    HDC DC = nullptr;
    HBITMAP Bitmap = nullptr;
    HBITMAP Old = nullptr;
    TDibPtr Dib;
};

} // namespace qel::test
