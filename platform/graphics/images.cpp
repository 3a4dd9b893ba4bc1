// TRasterImage, TIcon, TJPEGImage, TPngImage, TGIFImage and drawing of plain pixels with alpha.
#include "platform/graphics/images.h"

#include <algorithm>
#include <cstring>

namespace qel {

void DrawImageData(TCanvas* canvas, const TRect& rect, const TImageData& image) {
    if (!canvas || image.Empty() || rect.IsEmpty()) return;
    HDC dc = canvas->GetHandle();
    TDibPtr surf = GetDCSurface(dc);
    if (!image.HasAlpha || !surf || surf->IsMono()) {
        TBitmap bmp;
        TImageData opaque = image;
        opaque.HasAlpha = false;
        opaque.BitsPerPixel = 32;
        bmp.SetImageData(opaque);
        HDC src = bmp.GetCanvas()->GetHandle();
        int old = SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, rect.Left, rect.Top, rect.Width(), rect.Height(), src, 0, 0, image.Width, image.Height,
                   SRCCOPY);
        SetStretchBltMode(dc, old);
        return;
    }
    TPoint pts[2] = {rect.TopLeft(), rect.BottomRight()};
    LPtoDP(dc, pts, 2);
    TRect d{std::min(pts[0].X, pts[1].X), std::min(pts[0].Y, pts[1].Y), std::max(pts[0].X, pts[1].X),
            std::max(pts[0].Y, pts[1].Y)};
    if (d.IsEmpty()) return;
    TRegion clip = GetDCEffectiveClip(dc);
    TPoint origin = GetDCDeviceOrigin(dc);
    TSurfaceLock lock(surf.get());
    const int64_t dw = d.Width(), dh = d.Height();
    clip.ForEachRectIn(d, [&](const TRect& r) {
        for (int y = r.Top; y < r.Bottom; ++y) {
            int sy = static_cast<int>((y - d.Top) * image.Height / dh);
            int ty = y + origin.Y;
            if (ty < 0 || ty >= surf->Height()) continue;
            uint32_t* row = surf->Row(ty);
            for (int x = r.Left; x < r.Right; ++x) {
                int tx = x + origin.X;
                if (tx < 0 || tx >= surf->Width()) continue;
                int sx = static_cast<int>((x - d.Left) * image.Width / dw);
                uint32_t p = image.At(sx, sy);
                uint32_t a = p >> 24;
                if (a == 0) continue;
                if (a == 255) {
                    row[tx] = p & 0xFFFFFF;
                    continue;
                }
                uint32_t q = row[tx];
                auto mix = [a](uint32_t dv, uint32_t sv) { return (sv * a + dv * (255 - a) + 127) / 255; };
                row[tx] = mix((q >> 16) & 255, (p >> 16) & 255) << 16 |
                          mix((q >> 8) & 255, (p >> 8) & 255) << 8 | mix(q & 255, p & 255);
            }
        }
    });
}

// ---- TRasterImage -------------------------------------------------------------------------------------

void TRasterImage::Draw(TCanvas* canvas, const TRect& rect) {
    DrawImageData(canvas, rect, FImage);
}

void TRasterImage::SetImageData(const TImageData& image) {
    FImage = image;
    Changed(this);
}

void TRasterImage::Assign(TPersistent* source) {
    if (!source) {
        SetImageData({});
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(source)) {
        if (g == this) return;
        SetImageData(g->GetImageData());
        return;
    }
    inherited::Assign(source);
}

QEL_IMPLEMENT_CLASS(TRasterImage)

// ---- TIcon --------------------------------------------------------------------------------------------

TIcon::TIcon() {
    FTransparent = true;
}

void TIcon::SetSize(int w, int h) {
    FWantWidth = w;
    FWantHeight = h;
    int best = BestIconImage(FImages, w, h);
    if (best >= 0) {
        FImage = FImages[best].Image;
        Changed(this);
    }
}

void TIcon::LoadFromStream(TStream& stream) {
    std::string data = ReadRest(stream);
    auto images = DecodeIco(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    FImages = std::move(images);
    int best = BestIconImage(FImages, FWantWidth, FWantHeight);
    FImage = best >= 0 ? FImages[best].Image : TImageData{};
    Changed(this);
}

void TIcon::SaveToStream(TStream& stream) {
    if (FImages.empty()) return;
    std::vector<TImageData> images;
    for (auto& i : FImages) images.push_back(i.Image);
    std::string data = EncodeIco(images);
    stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

void TIcon::SetImageData(const TImageData& image) {
    FImages.clear();
    if (!image.Empty()) {
        TIconImage icon;
        icon.Image = image;
        if (!icon.Image.HasAlpha) {
            for (auto& p : icon.Image.Pixels) p |= 0xFF000000u;
            icon.Image.HasAlpha = true;
        }
        FImages.push_back(icon);
        FImage = icon.Image;
    } else {
        FImage = {};
    }
    Changed(this);
}

void TIcon::Assign(TPersistent* source) {
    if (auto* i = dynamic_cast<TIcon*>(source)) {
        if (i == this) return;
        FImages = i->FImages;
        FImage = i->FImage;
        FWantWidth = i->FWantWidth;
        FWantHeight = i->FWantHeight;
        Changed(this);
        return;
    }
    inherited::Assign(source);
}

QEL_IMPLEMENT_CLASS(TIcon)

// ---- TJPEGImage ---------------------------------------------------------------------------------------

void TJPEGImage::DIBNeeded() {
    if (FData.empty()) return;
    TJpegDecodeOptions o;
    o.ScaleDenom = 1 << static_cast<int>(FScale);
    o.Grayscale = FGrayscale;
    FImage = DecodeJpeg(reinterpret_cast<const uint8_t*>(FData.data()), FData.size(), o);
}

void TJPEGImage::SetGrayscale(bool v) {
    if (v == FGrayscale) return;
    FGrayscale = v;
    DIBNeeded();
    Changed(this);
}

void TJPEGImage::SetScale(TJPEGScale v) {
    if (v == FScale) return;
    FScale = v;
    DIBNeeded();
    Changed(this);
}

void TJPEGImage::Compress() {
    if (FImage.Empty()) return;
    FData = EncodeJpeg(FImage, FQuality, FGrayscale);
}

void TJPEGImage::LoadFromStream(TStream& stream) {
    std::string data = ReadRest(stream);
    TJpegDecodeOptions o;
    o.ScaleDenom = 1 << static_cast<int>(FScale);
    o.Grayscale = FGrayscale;
    TImageData img = DecodeJpeg(reinterpret_cast<const uint8_t*>(data.data()), data.size(), o);
    FData = std::move(data);
    FImage = std::move(img);
    Changed(this);
}

void TJPEGImage::SaveToStream(TStream& stream) {
    if (FData.empty()) Compress();
    stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TJPEGImage::SetImageData(const TImageData& image) {
    FImage = image;
    FImage.HasAlpha = false;
    for (auto& p : FImage.Pixels) p &= 0xFFFFFF;
    FData.clear();
    if (!FImage.Empty()) Compress();
    Changed(this);
}

QEL_IMPLEMENT_CLASS(TJPEGImage, [](auto& c) {
    c.Property("CompressionQuality", &TJPEGImage::GetCompressionQuality, &TJPEGImage::SetCompressionQuality)
        .Default(90);
    c.Property("Grayscale", &TJPEGImage::GetGrayscale, &TJPEGImage::SetGrayscale).Default(false);
    c.Property("Scale", &TJPEGImage::GetScale, &TJPEGImage::SetScale).Default(jsFullSize);
})

// ---- TPngImage ----------------------------------------------------------------------------------------

void TPngImage::LoadFromStream(TStream& stream) {
    std::string data = ReadRest(stream);
    FImage = DecodePng(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    Changed(this);
}

void TPngImage::SaveToStream(TStream& stream) {
    if (FImage.Empty()) return;
    std::string data = EncodePng(FImage);
    stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

QEL_IMPLEMENT_CLASS(TPngImage)

// ---- TGIFImage ----------------------------------------------------------------------------------------

void TGIFImage::LoadFromStream(TStream& stream) {
    std::string data = ReadRest(stream);
    TImageData img = DecodeGif(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    FData = std::move(data);
    FImage = std::move(img);
    Changed(this);
}

void TGIFImage::SaveToStream(TStream& stream) {
    if (FData.empty()) {
        if (FImage.Empty()) return;
        throw EInvalidGraphicOperation("GIF images can only be saved as they were loaded");
    }
    stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

QEL_IMPLEMENT_CLASS(TGIFImage)

// ---- snapshots ----------------------------------------------------------------------------------------

void SavePng(const TDib& surface, const std::string& fileName) {
    TImageData img;
    img.Width = surface.Width();
    img.Height = surface.Height();
    if (img.Empty()) throw EInvalidGraphic("Invalid image size");
    img.Pixels.resize(static_cast<size_t>(img.Width) * img.Height);
    {
        TSurfaceLock lock(&surface);
        for (int y = 0; y < img.Height; ++y)
            for (int x = 0; x < img.Width; ++x)
                img.Pixels[static_cast<size_t>(y) * img.Width + x] =
                    surface.IsMono() ? (surface.MonoRow(y)[x] ? 0xFFFFFFu : 0u)
                                     : (surface.Row(y)[x] & 0xFFFFFF);
    }
    std::string data = EncodePng(img);
    TFileStream fs(fileName, fmCreate);
    fs.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

void SavePng(TBitmap& bitmap, const std::string& fileName) {
    if (!bitmap.GetDib()) throw EInvalidGraphic("Invalid image size");
    SavePng(*bitmap.GetDib(), fileName);
}

} // namespace qel
