#pragma once
// A colour memory surface with its own device context, freed together: the usual target and source
// of off-screen drawing in tools, benchmarks and tests.
//
//   TMemorySurface s(640, 480);
//   PatBlt(s.DC, 0, 0, s.Width(), s.Height(), WHITENESS);
//   uint32_t first = s.Dib->Row(0)[0];
#include "platform/graphics/gdi.h"

namespace qel {

class TMemorySurface {
public:
    TMemorySurface(int width, int height) : FWidth(width), FHeight(height) {
        DC = CreateCompatibleDC(nullptr);
        Bitmap = CreateCompatibleBitmap(nullptr, width, height);
        FPrevious = SelectObject(DC, Bitmap);
        Dib = GetBitmapDib(Bitmap);
    }
    ~TMemorySurface() {
        SelectObject(DC, FPrevious);
        DeleteDC(DC);
        DeleteObject(Bitmap);
    }
    TMemorySurface(const TMemorySurface&) = delete;
    TMemorySurface& operator=(const TMemorySurface&) = delete;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

    HDC DC = nullptr;
    HBITMAP Bitmap = nullptr;
    TDibPtr Dib; // the pixels, row by row

private:
    int FWidth, FHeight;
    HGDIOBJ FPrevious = nullptr;
};

} // namespace qel
