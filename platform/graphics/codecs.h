#pragma once
// Image codecs over plain pixel buffers: BMP/DIB, ICO, PNG, JPEG and GIF. Every decoder checks its
// input and raises EInvalidGraphic for malformed data; none of them crashes or leaks on bad input.
// The graphic classes (TBitmap, TIcon, TPngImage, TJPEGImage, TGIFImage) are built on these.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/exceptions.h"

namespace qel {

// A decoded image: top-down rows of 0xAARRGGBB pixels. Alpha is meaningful only when HasAlpha.
struct TImageData {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
    bool HasAlpha = false;
    int BitsPerPixel = 32;         // bits per pixel of the encoded source (1, 4, 8, 16, 24, 32)
    std::vector<uint32_t> Palette; // the source palette (0x00RRGGBB) for indexed sources
    int TransparentIndex = -1;     // GIF: the transparent palette index, else -1

    bool Empty() const { return Width <= 0 || Height <= 0; }
    uint32_t& At(int x, int y) { return Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + x]; }
    uint32_t At(int x, int y) const {
        return Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + x];
    }
};

// The largest image any decoder accepts (width and height each, and their product).
constexpr int64_t MaxImageSide = 16384;
int64_t MaxImagePixels();
// Lowers (or restores) the pixel-count cap, for fuzzing and memory-constrained hosts.
void SetMaxImagePixels(int64_t pixels);
// Raises EInvalidGraphic when the size is not positive or exceeds the caps.
void CheckImageSize(int64_t width, int64_t height);

// ---- BMP / DIB ------------------------------------------------------------------------------------
// A whole .bmp file (BITMAPFILEHEADER first).
TImageData DecodeBmp(const uint8_t* data, size_t size);
// A packed DIB (an info header, palette and bits), as stored in resources and icons.
// `pixelOffset` is the offset of the bits from `data` (0: right after the palette).
TImageData DecodeDib(const uint8_t* data, size_t size, size_t pixelOffset = 0);
// Writes a .bmp file at `bits` per pixel (1, 4, 8, 16, 24 or 32); a palette for 1/4/8 bits comes
// from `palette` when it has entries, else from the image's colours (exact when they fit) or the
// standard palette of that depth (nearest colour).
std::string EncodeBmp(const TImageData& image, int bits, const std::vector<uint32_t>& palette = {});
// The standard palettes: 2 (black, white), 16 (the VGA colours) and 256 (a halftone palette).
const std::vector<uint32_t>& StandardPalette(int bits);
// Nearest palette entry by squared RGB distance.
int NearestPaletteIndex(const std::vector<uint32_t>& palette, uint32_t rgb);

// ---- ICO ------------------------------------------------------------------------------------------
struct TIconImage {
    TImageData Image; // HasAlpha: alpha from a 32-bit image or from the AND mask
    int BitsPerPixel = 32;
};
// All images of an .ico (or .cur) file.
std::vector<TIconImage> DecodeIco(const uint8_t* data, size_t size);
// Index of the image closest to the wanted size, preferring more colours.
int BestIconImage(const std::vector<TIconImage>& images, int wantWidth, int wantHeight);
// Writes an .ico with one 32-bit image (with its AND mask) per entry.
std::string EncodeIco(const std::vector<TImageData>& images);

// ---- PNG, JPEG, GIF ---------------------------------------------------------------------------------
TImageData DecodePng(const uint8_t* data, size_t size);
std::string EncodePng(const TImageData& image); // with alpha when image.HasAlpha

struct TJpegDecodeOptions {
    int ScaleDenom = 1;     // 1, 2, 4 or 8
    bool Grayscale = false; // decode to grey levels
};
TImageData DecodeJpeg(const uint8_t* data, size_t size, const TJpegDecodeOptions& options = {});
// Reads only the frame size; false when the data is not a readable JPEG header.
bool ReadJpegSize(const uint8_t* data, size_t size, int& width, int& height);
std::string EncodeJpeg(const TImageData& image, int quality, bool grayscale);

// The first frame of a GIF, composed onto the logical screen (transparent pixels get alpha 0).
TImageData DecodeGif(const uint8_t* data, size_t size);

// ---- signatures -------------------------------------------------------------------------------------
enum class TImageFormat { Unknown, Bmp, Ico, Png, Jpeg, Gif, Emf, Wmf };
TImageFormat DetectImageFormat(const uint8_t* data, size_t size);

} // namespace qel
