// PNG through libpng's simplified API, which keeps libpng's error recovery (setjmp/longjmp) inside
// libpng: no jump ever crosses a C++ frame of ours.
#include <png.h>

#include <cstring>

#include "platform/graphics/codecs.h"

namespace qel {

namespace {
// Frees the png_image on every path out of the caller.
struct TPngImageGuard {
    png_image* Image;
    ~TPngImageGuard() { png_image_free(Image); }
};
} // namespace

TImageData DecodePng(const uint8_t* data, size_t size) {
    if (!data || size < 8 || std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) != 0)
        throw EInvalidGraphic("PNG image is not valid");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    TPngImageGuard guard{&image};
    if (!png_image_begin_read_from_memory(&image, data, size))
        throw EInvalidGraphic(std::string("PNG image is not valid: ") + image.message);
    CheckImageSize(image.width, image.height);
    // Deflate expands at most 1032 times, and every row holds a filter byte and at least one bit a
    // pixel: a file too short for its declared size is refused before its pixels are allocated.
    const uint64_t leastRaw =
        static_cast<uint64_t>(image.height) * (1 + (static_cast<uint64_t>(image.width) + 7) / 8);
    if (leastRaw > static_cast<uint64_t>(size) * 1032)
        throw EInvalidGraphic("PNG image is not valid: image data too short");
    bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    int srcBits = (image.format & PNG_FORMAT_FLAG_COLORMAP) ? 8 : (alpha ? 32 : 24);
    image.format = PNG_FORMAT_BGRA; // little-endian 0xAARRGGBB words
    TImageData out;
    out.Width = static_cast<int>(image.width);
    out.Height = static_cast<int>(image.height);
    out.Pixels.resize(static_cast<size_t>(out.Width) * out.Height);
    if (!png_image_finish_read(&image, nullptr, out.Pixels.data(), 0, nullptr))
        throw EInvalidGraphic(std::string("PNG image is not valid: ") + image.message);
    out.HasAlpha = alpha;
    out.BitsPerPixel = srcBits;
    if (!alpha)
        for (auto& p : out.Pixels) p &= 0xFFFFFF;
    return out;
}

std::string EncodePng(const TImageData& img) {
    if (img.Empty() || img.Pixels.size() != static_cast<size_t>(img.Width) * img.Height)
        throw EInvalidGraphic("Invalid image size");
    // With alpha: BGRA words as they are; without: packed RGB bytes (a plain RGB PNG).
    std::vector<uint8_t> rgb;
    const void* buffer = img.Pixels.data();
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(img.Width);
    image.height = static_cast<png_uint_32>(img.Height);
    image.format = PNG_FORMAT_BGRA;
    if (!img.HasAlpha) {
        rgb.resize(img.Pixels.size() * 3);
        for (size_t i = 0; i < img.Pixels.size(); ++i) {
            rgb[i * 3] = static_cast<uint8_t>((img.Pixels[i] >> 16) & 255);
            rgb[i * 3 + 1] = static_cast<uint8_t>((img.Pixels[i] >> 8) & 255);
            rgb[i * 3 + 2] = static_cast<uint8_t>(img.Pixels[i] & 255);
        }
        buffer = rgb.data();
        image.format = PNG_FORMAT_RGB;
    }
    TPngImageGuard guard{&image};
    png_alloc_size_t bytes = 0;
    if (!png_image_write_to_memory(&image, nullptr, &bytes, 0, buffer, 0, nullptr))
        throw EInvalidGraphic(std::string("Cannot write PNG image: ") + image.message);
    std::string out(bytes, '\0');
    if (!png_image_write_to_memory(&image, out.data(), &bytes, 0, buffer, 0, nullptr))
        throw EInvalidGraphic(std::string("Cannot write PNG image: ") + image.message);
    out.resize(bytes);
    return out;
}

} // namespace qel
