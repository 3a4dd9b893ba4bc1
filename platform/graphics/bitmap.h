#pragma once
// TGraphic (the abstract picture) and TBitmap (a 32-bit or monochrome surface with a canvas, BMP
// reading and writing, transparency and pixel formats).
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/core/streams.h"
#include "platform/graphics/codecs.h"
#include "platform/graphics/dib.h"
#include "platform/graphics/graphics.h"

namespace qel {

class TGraphic : public TPersistent {
    QEL_CLASS(TGraphic, TPersistent)
    virtual bool Empty() const = 0;
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    virtual void SetWidth(int w) { SetSize(w, GetHeight()); }
    virtual void SetHeight(int h) { SetSize(GetWidth(), h); }
    virtual void SetSize(int w, int h) {}
    // Setting compares first and notifies only on a real change.
    virtual bool GetTransparent() const { return FTransparent; }
    virtual void SetTransparent(bool v);
    bool GetModified() const { return FModified; }
    void SetModified(bool v);

    // Raise EInvalidGraphic for data that is not a valid image of the class.
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);
    // The bytes a picture stores in form files after the class name (default: SaveToStream).
    virtual void ReadData(TStream& stream) { LoadFromStream(stream); }
    virtual void WriteData(TStream& stream) { SaveToStream(stream); }

    // Draws the graphic into `rect` of the canvas (stretched when the sizes differ).
    virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;
    // The picture as plain pixels (alpha meaningful when HasAlpha); empty for empty graphics.
    virtual TImageData GetImageData() const { return {}; }

    TNotifyEvent GetOnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }

protected:
    virtual void Changed(TObject* sender);
    bool FTransparent = false;

private:
    bool FModified = false;
    TNotifyEvent FOnChange;
};
using TGraphicClass = TClass;

QEL_ENUM(TPixelFormat, pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom)
QEL_ENUM(TTransparentMode, tmAuto, tmFixed)

class TBitmap;

// The canvas of a bitmap: a memory DC with the bitmap selected.
class TBitmapCanvas : public TCanvas {
    QEL_CLASS(TBitmapCanvas, TCanvas)
    explicit TBitmapCanvas(TBitmap* bitmap);
    ~TBitmapCanvas() override;
    // Selects the bitmap's current handle (after the bitmap changed its surface).
    void Reselect();

protected:
    void CreateHandle() override;
    void Changing() override;
    void Changed() override;

private:
    void FreeContext();
    TBitmap* FBitmap;
    HDC FDC = nullptr;
    HGDIOBJ FOldBitmap = nullptr;
};

class TBitmap : public TGraphic {
    QEL_CLASS(TBitmap, TGraphic)
    TBitmap();
    TBitmap(int width, int height);
    ~TBitmap() override;
    // From a bitmap: a copy of its pixels and settings; from another graphic: drawn onto a white
    // bitmap of its size.
    void Assign(TPersistent* source) override;

    bool Empty() const override { return !FDib; }
    int GetWidth() const override { return FDib ? FDib->Width() : 0; }
    int GetHeight() const override { return FDib ? FDib->Height() : 0; }
    // Keeps the overlapping part of the picture; new pixels are white.
    void SetSize(int w, int h) override;

    TCanvas* GetCanvas();
    // A bitmap handle sharing the surface (owned by the bitmap); nullptr while empty.
    HBITMAP GetHandle();
    // Replaces the picture with a copy of the bitmap behind `handle` (not taken over).
    void SetHandle(HBITMAP handle);
    // The surface itself (shared); nullptr while empty.
    TDibPtr GetDib() const { return FDib; }

    TPixelFormat GetPixelFormat() const { return FPixelFormat; }
    // Lower formats quantise the pixels (1 bit: black/white by luminance, 4 bits: the 16 VGA colours,
    // 8 bits: exact when 256 colours suffice, else a halftone palette; 15/16 bits: 5-6 bit channels).
    void SetPixelFormat(TPixelFormat pf);
    bool GetMonochrome() const { return FDib && FDib->IsMono(); }
    void SetMonochrome(bool v);
    HPALETTE GetPalette() const { return nullptr; }

    TColor GetTransparentColor() const;
    void SetTransparentColor(TColor c);
    TTransparentMode GetTransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode m);

    // Row y of the surface: 32-bit 0x00RRGGBB words, or one byte per pixel (0/1) when monochrome.
    // EInvalidGraphic for a row out of range.
    void* ScanLine(int y);
    // Turns the bitmap into a monochrome mask: white where the pixel equals `color`, black elsewhere.
    void Mask(TColor color);

    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void ReadData(TStream& stream) override;
    void WriteData(TStream& stream) override;
    // Bitmap resources (packed DIBs or .bmp files) by name or id, see RegisterGraphicResource.
    void LoadFromResourceName(void* instance, std::string_view name);
    void LoadFromResourceID(void* instance, int id);

    void Draw(TCanvas* canvas, const TRect& rect) override;
    TImageData GetImageData() const override;
    void SetImageData(const TImageData& image);

    // Bits per pixel used when saving: the pixel format's.
    int SaveBits() const;

protected:
    void Changed(TObject* sender) override;

private:
    friend class TBitmapCanvas;
    void NewSurface(TDibPtr dib);
    void Quantize(TPixelFormat pf);
    TDibPtr FDib;
    HBITMAP FHandle = nullptr;
    std::unique_ptr<TBitmapCanvas> FCanvas;
    TPixelFormat FPixelFormat = pfDevice;
    TColor FTransparentColor = clDefault;
    TTransparentMode FTransparentMode = tmAuto;
    std::vector<uint32_t> FPalette;
};

// ---- resources ----------------------------------------------------------------------------------------
// Graphic resources by type ("BITMAP", "ICON", "RCDATA" or custom) and name (case-insensitive; numeric
// ids as "#101"). The table is searched first, then a lookup function installed by the resource system.
using TResourceLookup = std::function<bool(std::string_view type, std::string_view name, std::string& data)>;
void SetGraphicResourceLookup(TResourceLookup lookup);
void RegisterGraphicResource(std::string_view type, std::string_view name, std::string data);
void UnregisterGraphicResource(std::string_view type, std::string_view name);
bool FindGraphicResource(std::string_view type, std::string_view name, std::string& data);

// Reads everything left in a stream.
std::string ReadRest(TStream& stream);

} // namespace qel
