#pragma once
// Graphic classes over the image codecs: TIcon (.ico), TJPEGImage, TPngImage and TGIFImage.
#include "platform/graphics/bitmap.h"

namespace qel {

// Draws plain pixels into `rect` of the canvas (nearest-neighbour stretch); pixels with alpha are
// blended over the destination when image.HasAlpha.
void DrawImageData(TCanvas* canvas, const TRect& rect, const TImageData& image);

// Base of the classes that keep decoded pixels.
class TRasterImage : public TGraphic {
    QEL_CLASS(TRasterImage, TGraphic)
    bool Empty() const override { return FImage.Empty(); }
    int GetWidth() const override { return FImage.Width; }
    int GetHeight() const override { return FImage.Height; }
    void Draw(TCanvas* canvas, const TRect& rect) override;
    TImageData GetImageData() const override { return FImage; }
    void Assign(TPersistent* source) override;
    // Takes the pixels of any graphic (a bitmap, another image).
    virtual void SetImageData(const TImageData& image);

protected:
    TImageData FImage;
};

class TIcon : public TRasterImage {
    QEL_CLASS(TIcon, TRasterImage)
    TIcon();
    // Icons always draw through their mask.
    bool GetTransparent() const override { return true; }
    void SetTransparent(bool) override {}
    // Picks the stored image closest to this size (default 32 x 32).
    void SetSize(int w, int h) override;
    int ImageCount() const { return static_cast<int>(FImages.size()); }
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void SetImageData(const TImageData& image) override;
    void Assign(TPersistent* source) override;

private:
    std::vector<TIconImage> FImages;
    int FWantWidth = 32, FWantHeight = 32;
};

QEL_ENUM(TJPEGScale, jsFullSize, jsHalf, jsQuarter, jsEighth)
QEL_ENUM(TJPEGPerformance, jpBestQuality, jpBestSpeed)
QEL_ENUM(TJPEGPixelFormat, jf24Bit, jf8Bit)

class TJPEGImage : public TRasterImage {
    QEL_CLASS(TJPEGImage, TRasterImage)
    TJPEGImage() = default;
    int GetCompressionQuality() const { return FQuality; }
    void SetCompressionQuality(int q) { FQuality = q < 1 ? 1 : q > 100 ? 100 : q; }
    bool GetGrayscale() const { return FGrayscale; }
    void SetGrayscale(bool v);
    TJPEGScale GetScale() const { return FScale; }
    void SetScale(TJPEGScale v);
    TJPEGPerformance GetPerformance() const { return FPerformance; }
    void SetPerformance(TJPEGPerformance v) { FPerformance = v; }
    TJPEGPixelFormat GetPixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TJPEGPixelFormat v) { FPixelFormat = v; }
    // Decodes (again) from the stored data with the current Scale and Grayscale.
    void DIBNeeded();
    // Encodes the current pixels with CompressionQuality (after SetImageData or Assign).
    void Compress();
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void SetImageData(const TImageData& image) override;

private:
    std::string FData; // the JPEG stream
    int FQuality = 90;
    bool FGrayscale = false;
    TJPEGScale FScale = jsFullSize;
    TJPEGPerformance FPerformance = jpBestQuality;
    TJPEGPixelFormat FPixelFormat = jf24Bit;
};

class TPngImage : public TRasterImage {
    QEL_CLASS(TPngImage, TRasterImage)
    TPngImage() = default;
    bool GetTransparent() const override { return FImage.HasAlpha; }
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
};

class TGIFImage : public TRasterImage {
    QEL_CLASS(TGIFImage, TRasterImage)
    TGIFImage() = default;
    bool GetTransparent() const override { return FImage.HasAlpha; }
    void LoadFromStream(TStream& stream) override;
    // Saves the stream it was loaded from (EInvalidGraphicOperation for pixels set in code).
    void SaveToStream(TStream& stream) override;

private:
    std::string FData;
};

// Writes a surface (or a bitmap) as a PNG file, for snapshots.
void SavePng(const TDib& surface, const std::string& fileName);
void SavePng(TBitmap& bitmap, const std::string& fileName);

} // namespace qel
