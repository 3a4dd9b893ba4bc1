// .ico/.cur reading and .ico writing. Entries are DIBs of double height (colour image then the
// AND mask) or embedded PNG images.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/graphics/codecs.h"

namespace qel {

namespace {

[[noreturn]] void Bad(const char* what = "Icon image is not valid") {
    throw EInvalidGraphic(what);
}
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v & 255));
    s.push_back(static_cast<char>((v >> 8) & 255));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

TIconImage DecodeIconDib(const uint8_t* d, size_t n) {
    if (n < 40) Bad();
    uint32_t hdr = U32(d);
    if (hdr < 40 || hdr > n) Bad();
    int32_t w = static_cast<int32_t>(U32(d + 4));
    int32_t h2 = static_cast<int32_t>(U32(d + 8));
    int bits = U16(d + 14);
    if (w <= 0 || h2 <= 0 || (h2 & 1)) Bad();
    int32_t h = h2 / 2;
    CheckImageSize(w, h);
    // Decode the colour part with a patched header giving the real height.
    std::vector<uint8_t> copy(d, d + n);
    uint32_t hh = static_cast<uint32_t>(h);
    std::memcpy(copy.data() + 8, &hh, 4);
    TIconImage icon;
    icon.BitsPerPixel = bits;
    // The colour bits run from the end of the palette; compute where the mask begins.
    size_t palette = 0;
    if (bits <= 8) {
        uint32_t used = U32(d + 32);
        palette = 4u * (used ? std::min<uint32_t>(used, 256) : (1u << bits));
    }
    size_t pixelsAt = hdr + palette;
    uint64_t stride = ((static_cast<uint64_t>(w) * bits + 31) / 32) * 4;
    uint64_t maskAt = pixelsAt + stride * static_cast<uint64_t>(h);
    icon.Image = DecodeDib(copy.data(), copy.size(), pixelsAt);
    TImageData& img = icon.Image;
    uint64_t maskStride = ((static_cast<uint64_t>(w) + 31) / 32) * 4;
    bool alphaUsed = false;
    if (bits == 32) {
        // A 32-bit icon carries alpha in its fourth byte (decoded as no-alpha BI_RGB): re-read it.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint64_t at = pixelsAt + stride * static_cast<uint64_t>(h - 1 - y) + x * 4u + 3;
                uint32_t a = at < n ? d[at] : 0;
                if (a) alphaUsed = true;
                img.At(x, y) = (img.At(x, y) & 0xFFFFFF) | (a << 24);
            }
    }
    if (!alphaUsed) {
        // Alpha from the AND mask (bit set = transparent); a missing mask means opaque.
        bool haveMask = maskAt + maskStride * static_cast<uint64_t>(h) <= n;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                bool transparent = false;
                if (haveMask) {
                    const uint8_t* row = d + maskAt + maskStride * static_cast<uint64_t>(h - 1 - y);
                    transparent = (row[x >> 3] >> (7 - (x & 7))) & 1;
                }
                img.At(x, y) = (img.At(x, y) & 0xFFFFFF) | (transparent ? 0u : 0xFF000000u);
            }
    }
    img.HasAlpha = true;
    return icon;
}

} // namespace

std::vector<TIconImage> DecodeIco(const uint8_t* data, size_t size) {
    if (!data || size < 6 || U16(data) != 0 || (U16(data + 2) != 1 && U16(data + 2) != 2)) Bad();
    unsigned count = U16(data + 4);
    if (count == 0 || 6 + 16ull * count > size) Bad();
    std::vector<TIconImage> out;
    for (unsigned i = 0; i < count; ++i) {
        const uint8_t* e = data + 6 + 16 * i;
        uint32_t bytes = U32(e + 8), offset = U32(e + 12);
        if (offset > size || bytes > size - offset || bytes < 8) Bad();
        const uint8_t* img = data + offset;
        if (std::memcmp(img, "\x89PNG\r\n\x1a\n", 8) == 0) {
            TIconImage icon;
            icon.Image = DecodePng(img, bytes);
            icon.BitsPerPixel = 32;
            out.push_back(std::move(icon));
        } else {
            out.push_back(DecodeIconDib(img, bytes));
        }
    }
    return out;
}

int BestIconImage(const std::vector<TIconImage>& images, int wantWidth, int wantHeight) {
    int best = -1;
    long bestScore = 0;
    for (size_t i = 0; i < images.size(); ++i) {
        const TImageData& m = images[i].Image;
        long d = std::labs(long(m.Width) - wantWidth) + std::labs(long(m.Height) - wantHeight);
        long score = d * 64 - images[i].BitsPerPixel;
        if (best < 0 || score < bestScore) {
            best = static_cast<int>(i);
            bestScore = score;
        }
    }
    return best;
}

std::string EncodeIco(const std::vector<TImageData>& images) {
    std::string s;
    Put16(s, 0);
    Put16(s, 1);
    Put16(s, static_cast<unsigned>(images.size()));
    std::vector<std::string> bodies;
    for (const TImageData& m : images) {
        if (m.Empty() || m.Width > 256 || m.Height > 256) throw EInvalidGraphic("Invalid icon size");
        std::string b;
        Put32(b, 40);
        Put32(b, static_cast<uint32_t>(m.Width));
        Put32(b, static_cast<uint32_t>(m.Height * 2));
        Put16(b, 1);
        Put16(b, 32);
        Put32(b, 0);
        uint32_t maskStride = ((m.Width + 31) / 32) * 4;
        Put32(b, static_cast<uint32_t>(m.Width * m.Height * 4 + maskStride * m.Height));
        for (int i = 0; i < 4; ++i) Put32(b, 0);
        for (int y = m.Height - 1; y >= 0; --y)
            for (int x = 0; x < m.Width; ++x) {
                uint32_t p = m.At(x, y);
                uint32_t a = m.HasAlpha ? p >> 24 : 255;
                Put32(b, (p & 0xFFFFFF) | (a << 24));
            }
        for (int y = m.Height - 1; y >= 0; --y) {
            std::string row(maskStride, '\0');
            for (int x = 0; x < m.Width; ++x)
                if (m.HasAlpha && (m.At(x, y) >> 24) == 0)
                    row[x >> 3] = static_cast<char>(row[x >> 3] | (0x80 >> (x & 7)));
            b += row;
        }
        bodies.push_back(std::move(b));
    }
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const TImageData& m = images[i];
        s.push_back(static_cast<char>(m.Width >= 256 ? 0 : m.Width));
        s.push_back(static_cast<char>(m.Height >= 256 ? 0 : m.Height));
        s.push_back(0);
        s.push_back(0);
        Put16(s, 1);
        Put16(s, 32);
        Put32(s, static_cast<uint32_t>(bodies[i].size()));
        Put32(s, offset);
        offset += static_cast<uint32_t>(bodies[i].size());
    }
    for (auto& b : bodies) s += b;
    return s;
}

} // namespace qel
