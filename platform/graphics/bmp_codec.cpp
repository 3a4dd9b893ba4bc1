// BMP/DIB reading (1, 4, 8, 16, 24, 32 bits; RLE4/RLE8; core, info, V4 and V5 headers; bottom-up
// and top-down) and writing (BITMAPINFOHEADER, bottom-up), plus the size caps shared by all codecs.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>

#include "platform/graphics/codecs.h"

namespace qel {

namespace {

std::atomic<int64_t> GMaxPixels{MaxImageSide * MaxImageSide};

[[noreturn]] void Bad(const char* what = "Bitmap image is not valid") {
    throw EInvalidGraphic(what);
}

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t S32(const uint8_t* p) {
    return static_cast<int32_t>(U32(p));
}

void Put16(std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v & 255));
    s.push_back(static_cast<char>((v >> 8) & 255));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// Channel extraction with an arbitrary bit mask, scaled to 0..255.
struct TMaskChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    int Bits = 0;
    explicit TMaskChannel(uint32_t mask = 0) : Mask(mask) {
        if (!mask) return;
        while (!((mask >> Shift) & 1)) ++Shift;
        while (Shift + Bits < 32 && ((mask >> (Shift + Bits)) & 1)) ++Bits;
    }
    uint32_t Get(uint32_t v) const {
        if (!Mask) return 0;
        uint32_t c = (v & Mask) >> Shift;
        if (Bits >= 8) return c >> (Bits - 8);
        uint32_t max = (1u << Bits) - 1;
        return (c * 255 + max / 2) / max;
    }
};

} // namespace

int64_t MaxImagePixels() {
    return GMaxPixels.load();
}
void SetMaxImagePixels(int64_t pixels) {
    GMaxPixels.store(pixels > 0 ? std::min(pixels, MaxImageSide * MaxImageSide)
                                : MaxImageSide * MaxImageSide);
}

void CheckImageSize(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) throw EInvalidGraphic("Invalid image size");
    if (width > MaxImageSide || height > MaxImageSide || width * height > MaxImagePixels())
        throw EInvalidGraphic("Image is too large");
}

const std::vector<uint32_t>& StandardPalette(int bits) {
    static const std::vector<uint32_t> mono = {0x000000, 0xFFFFFF};
    static const std::vector<uint32_t> vga = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                              0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                              0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    static const std::vector<uint32_t> halftone = [] {
        std::vector<uint32_t> p(vga);
        // 6x6x6 colour cube, then greys to fill 256 entries.
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) p.push_back((r * 51u) << 16 | (g * 51u) << 8 | (b * 51u));
        for (int i = 0; p.size() < 256; ++i) {
            uint32_t v = static_cast<uint32_t>(8 + i * 10) & 255;
            p.push_back(v << 16 | v << 8 | v);
        }
        return p;
    }();
    if (bits <= 1) return mono;
    if (bits <= 4) return vga;
    return halftone;
}

int NearestPaletteIndex(const std::vector<uint32_t>& palette, uint32_t rgb) {
    int best = 0;
    long bestD = -1;
    int r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
    for (size_t i = 0; i < palette.size(); ++i) {
        uint32_t p = palette[i];
        long dr = r - static_cast<int>((p >> 16) & 255), dg = g - static_cast<int>((p >> 8) & 255),
             db = b - static_cast<int>(p & 255);
        long d = dr * dr + dg * dg + db * db;
        if (bestD < 0 || d < bestD) {
            bestD = d;
            best = static_cast<int>(i);
            if (d == 0) break;
        }
    }
    return best;
}

TImageData DecodeDib(const uint8_t* data, size_t size, size_t pixelOffset) {
    if (!data || size < 12) Bad();
    uint32_t hdrSize = U32(data);
    int64_t width, height;
    int bits, compression = 0;
    uint32_t clrUsed = 0;
    bool core = hdrSize == 12;
    uint32_t masks[4] = {0, 0, 0, 0};
    if (core) {
        width = U16(data + 4);
        height = static_cast<int16_t>(U16(data + 6));
        bits = U16(data + 10);
    } else {
        if (hdrSize < 40 || hdrSize > size) Bad();
        width = S32(data + 4);
        height = S32(data + 8);
        bits = U16(data + 14);
        compression = static_cast<int>(U32(data + 16));
        clrUsed = U32(data + 32);
        if (hdrSize >= 52) {
            masks[0] = U32(data + 40);
            masks[1] = U32(data + 44);
            masks[2] = U32(data + 48);
        }
        if (hdrSize >= 56) masks[3] = U32(data + 52);
    }
    bool topDown = height < 0;
    if (topDown) height = -height;
    CheckImageSize(width, height);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) Bad();
    size_t pos = hdrSize;
    // Masks follow a plain info header when the compression says bit fields.
    if ((compression == 3 || compression == 6) && hdrSize == 40) {
        int n = compression == 6 ? 4 : 3;
        if (pos + 4u * n > size) Bad();
        for (int i = 0; i < n; ++i) masks[i] = U32(data + pos + 4 * i);
        pos += 4u * n;
    }
    switch (compression) {
    case 0: break;
    case 1:
        if (bits != 8 || topDown) Bad();
        break;
    case 2:
        if (bits != 4 || topDown) Bad();
        break;
    case 3:
    case 6:
        if (bits != 16 && bits != 32) Bad();
        break;
    default: Bad("Unsupported bitmap compression");
    }

    TImageData img;
    img.Width = static_cast<int>(width);
    img.Height = static_cast<int>(height);
    img.BitsPerPixel = bits;
    if (bits <= 8) {
        uint32_t maxColors = 1u << bits;
        uint32_t n = clrUsed == 0 ? maxColors : clrUsed;
        if (n > 1024) Bad();
        size_t entry = core ? 3 : 4;
        if (pos + entry * n > size) {
            // Some writers declare more entries than they store; accept what is there.
            n = static_cast<uint32_t>((size - std::min(size, pos)) / entry);
            if (n == 0) Bad();
        }
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* p = data + pos + entry * i;
            if (i < maxColors) img.Palette.push_back(uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
        }
        pos += entry * n;
        while (img.Palette.size() < maxColors) img.Palette.push_back(0);
    }
    if (pixelOffset) pos = pixelOffset;
    if (pos > size) Bad();
    const uint8_t* bitsData = data + pos;
    size_t avail = size - pos;

    img.Pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height),
                      bits <= 8 ? img.Palette[0] : 0u);
    auto rowOf = [&](int64_t srcRow) { return topDown ? srcRow : height - 1 - srcRow; };

    if (compression == 1 || compression == 2) {
        // Run-length encoded; writes outside the image are dropped, the rest stays colour 0.
        int64_t x = 0, y = 0;
        size_t i = 0;
        auto put = [&](int idx) {
            if (x >= 0 && x < width && y >= 0 && y < height)
                img.Pixels[static_cast<size_t>(rowOf(y) * width + x)] = img.Palette[idx & ((1 << bits) - 1)];
            ++x;
        };
        while (true) {
            if (i + 2 > avail) Bad("Bitmap image is truncated");
            uint8_t a = bitsData[i], b = bitsData[i + 1];
            i += 2;
            if (a > 0) {
                for (int k = 0; k < a; ++k) {
                    if (bits == 8)
                        put(b);
                    else
                        put((k & 1) ? (b & 15) : (b >> 4));
                }
            } else if (b == 0) {
                x = 0;
                ++y;
            } else if (b == 1) {
                break;
            } else if (b == 2) {
                if (i + 2 > avail) Bad("Bitmap image is truncated");
                x += bitsData[i];
                y += bitsData[i + 1];
                i += 2;
            } else {
                size_t nbytes = bits == 8 ? b : (b + 1u) / 2;
                if (i + nbytes > avail) Bad("Bitmap image is truncated");
                for (int k = 0; k < b; ++k) {
                    if (bits == 8)
                        put(bitsData[i + k]);
                    else {
                        uint8_t v = bitsData[i + k / 2];
                        put((k & 1) ? (v & 15) : (v >> 4));
                    }
                }
                i += nbytes;
                if (i & 1) ++i;
            }
            if (y >= height) break;
        }
        return img;
    }

    uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    if (stride * static_cast<uint64_t>(height) > avail) {
        // Tolerate a missing pad after the last row, nothing more.
        uint64_t lastRow = (static_cast<uint64_t>(width) * bits + 7) / 8;
        if (stride * static_cast<uint64_t>(height - 1) + lastRow > avail) Bad("Bitmap image is truncated");
    }
    TMaskChannel r, g, b, a;
    bool alphaSeen = false;
    if (bits == 16) {
        if (compression == 0) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F, masks[3] = 0;
    } else if (bits == 32 && compression == 0) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF, masks[3] = 0;
    }
    if (bits == 16 || bits == 32) {
        r = TMaskChannel(masks[0]);
        g = TMaskChannel(masks[1]);
        b = TMaskChannel(masks[2]);
        a = TMaskChannel(masks[3]);
    }
    for (int64_t sy = 0; sy < height; ++sy) {
        const uint8_t* row = bitsData + stride * static_cast<uint64_t>(sy);
        uint32_t* out = img.Pixels.data() + rowOf(sy) * width;
        for (int64_t x = 0; x < width; ++x) {
            uint32_t v;
            switch (bits) {
            case 1: v = img.Palette[(row[x >> 3] >> (7 - (x & 7))) & 1]; break;
            case 4: v = img.Palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
            case 8: v = img.Palette[row[x]]; break;
            case 24: v = uint32_t(row[x * 3 + 2]) << 16 | uint32_t(row[x * 3 + 1]) << 8 | row[x * 3]; break;
            case 16: {
                uint32_t p = U16(row + x * 2);
                v = r.Get(p) << 16 | g.Get(p) << 8 | b.Get(p);
                if (a.Mask) {
                    v |= a.Get(p) << 24;
                    alphaSeen = true;
                }
                break;
            }
            default: {
                uint32_t p = U32(row + x * 4);
                v = r.Get(p) << 16 | g.Get(p) << 8 | b.Get(p);
                if (a.Mask) {
                    v |= a.Get(p) << 24;
                    alphaSeen = true;
                }
                break;
            }
            }
            out[x] = v;
        }
    }
    img.HasAlpha = alphaSeen;
    return img;
}

TImageData DecodeBmp(const uint8_t* data, size_t size) {
    if (!data || size < 14 + 12 || data[0] != 'B' || data[1] != 'M') Bad();
    uint32_t off = U32(data + 10);
    if (off != 0 && (off < 14 + 12 || off > size)) Bad();
    return DecodeDib(data + 14, size - 14, off ? off - 14 : 0);
}

std::string EncodeBmp(const TImageData& image, int bits, const std::vector<uint32_t>& palette) {
    if (image.Empty() || image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height)
        throw EInvalidGraphic("Invalid image size");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) bits = 24;
    std::vector<uint32_t> pal;
    std::map<uint32_t, int> exact;
    if (bits <= 8) {
        size_t maxColors = size_t(1) << bits;
        if (!palette.empty()) {
            pal.assign(palette.begin(), palette.begin() + std::min(palette.size(), maxColors));
        } else {
            bool fits = true;
            for (uint32_t p : image.Pixels) {
                uint32_t c = p & 0xFFFFFF;
                if (exact.count(c)) continue;
                if (exact.size() == maxColors) {
                    fits = false;
                    break;
                }
                exact[c] = 0;
            }
            if (fits) {
                // Keep black and white first for monochrome so 0 = black, 1 = white where possible.
                for (auto& [c, idx] : exact) {
                    (void)idx;
                    pal.push_back(c);
                }
                if (bits == 1 && pal.size() == 2 && pal[0] == 0xFFFFFF) std::swap(pal[0], pal[1]);
                if (bits == 1 && pal.size() == 1 && pal[0] != 0) pal.insert(pal.begin(), 0);
            } else {
                pal = StandardPalette(bits);
            }
        }
        if (pal.empty()) pal.push_back(0);
        exact.clear();
        for (size_t i = 0; i < pal.size(); ++i) exact.emplace(pal[i] & 0xFFFFFF, static_cast<int>(i));
    }
    auto indexOf = [&](uint32_t p) {
        auto it = exact.find(p & 0xFFFFFF);
        if (it != exact.end()) return it->second;
        int i = NearestPaletteIndex(pal, p & 0xFFFFFF);
        exact.emplace(p & 0xFFFFFF, i);
        return i;
    };
    uint64_t stride = ((static_cast<uint64_t>(image.Width) * bits + 31) / 32) * 4;
    uint64_t imageSize = stride * image.Height;
    uint32_t palBytes = static_cast<uint32_t>(pal.size() * 4);
    std::string s;
    s.reserve(54 + palBytes + imageSize);
    s += "BM";
    Put32(s, static_cast<uint32_t>(14 + 40 + palBytes + imageSize));
    Put32(s, 0);
    Put32(s, 14 + 40 + palBytes);
    Put32(s, 40);
    Put32(s, static_cast<uint32_t>(image.Width));
    Put32(s, static_cast<uint32_t>(image.Height));
    Put16(s, 1);
    Put16(s, static_cast<unsigned>(bits));
    Put32(s, 0);
    Put32(s, static_cast<uint32_t>(imageSize));
    Put32(s, 3780); // 96 dpi in pixels per metre
    Put32(s, 3780);
    Put32(s, bits <= 8 ? static_cast<uint32_t>(pal.size()) : 0);
    Put32(s, 0);
    for (uint32_t c : pal) Put32(s, c & 0xFFFFFF);
    std::string row(stride, '\0');
    for (int y = image.Height - 1; y >= 0; --y) {
        std::fill(row.begin(), row.end(), '\0');
        for (int x = 0; x < image.Width; ++x) {
            uint32_t p = image.At(x, y);
            switch (bits) {
            case 1:
                if (indexOf(p)) row[x >> 3] = static_cast<char>(row[x >> 3] | (0x80 >> (x & 7)));
                break;
            case 4: row[x >> 1] = static_cast<char>(row[x >> 1] | (indexOf(p) << ((x & 1) ? 0 : 4))); break;
            case 8: row[x] = static_cast<char>(indexOf(p)); break;
            case 16: {
                unsigned v = (((p >> 19) & 31) << 10) | (((p >> 11) & 31) << 5) | ((p >> 3) & 31);
                row[x * 2] = static_cast<char>(v & 255);
                row[x * 2 + 1] = static_cast<char>(v >> 8);
                break;
            }
            case 24:
                row[x * 3] = static_cast<char>(p & 255);
                row[x * 3 + 1] = static_cast<char>((p >> 8) & 255);
                row[x * 3 + 2] = static_cast<char>((p >> 16) & 255);
                break;
            default:
                row[x * 4] = static_cast<char>(p & 255);
                row[x * 4 + 1] = static_cast<char>((p >> 8) & 255);
                row[x * 4 + 2] = static_cast<char>((p >> 16) & 255);
                row[x * 4 + 3] = static_cast<char>(image.HasAlpha ? (p >> 24) & 255 : 0);
                break;
            }
        }
        s += row;
    }
    return s;
}

TImageFormat DetectImageFormat(const uint8_t* d, size_t n) {
    if (!d) return TImageFormat::Unknown;
    if (n >= 8 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0) return TImageFormat::Png;
    if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return TImageFormat::Jpeg;
    if (n >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0))
        return TImageFormat::Gif;
    if (n >= 2 && d[0] == 'B' && d[1] == 'M') return TImageFormat::Bmp;
    if (n >= 44 && U32(d) == 1 && U32(d + 40) == 0x464D4520) return TImageFormat::Emf;
    if (n >= 4 && U32(d) == 0x9AC6CDD7u) return TImageFormat::Wmf;
    if (n >= 6 && U16(d) == 0 && (U16(d + 2) == 1 || U16(d + 2) == 2) && U16(d + 4) > 0)
        return TImageFormat::Ico;
    return TImageFormat::Unknown;
}

} // namespace qel
