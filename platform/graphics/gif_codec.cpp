// GIF through giflib: the first frame, with its graphic-control transparency, composed onto the
// logical screen. Records are read one by one so a file with many frames costs nothing extra.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "platform/graphics/codecs.h"

namespace qel {

namespace {

struct TGifSource {
    const uint8_t* Data;
    size_t Size;
    size_t Pos;
};

extern "C" int QelGifRead(GifFileType* gif, GifByteType* buf, int len) {
    auto* src = static_cast<TGifSource*>(gif->UserData);
    if (len <= 0) return 0;
    size_t n = std::min(static_cast<size_t>(len), src->Size - src->Pos);
    std::memcpy(buf, src->Data + src->Pos, n);
    src->Pos += n;
    return static_cast<int>(n);
}

struct TGifCloser {
    GifFileType* Gif;
    ~TGifCloser() {
        if (Gif) {
            int err = 0;
            DGifCloseFile(Gif, &err);
        }
    }
};

[[noreturn]] void Bad(const char* what = "GIF image is not valid") {
    throw EInvalidGraphic(what);
}

} // namespace

TImageData DecodeGif(const uint8_t* data, size_t size) {
    if (!data || size < 13 || (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0))
        Bad();
    TGifSource src{data, size, 0};
    int err = 0;
    GifFileType* gif = DGifOpen(&src, QelGifRead, &err);
    if (!gif) Bad();
    TGifCloser closer{gif};
    int transparent = -1;
    while (true) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) Bad();
        if (type == TERMINATE_RECORD_TYPE) Bad("GIF image has no frames");
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) Bad();
            bool first = true;
            while (ext) {
                if (first && code == GRAPHICS_EXT_FUNC_CODE && ext[0] >= 4) {
                    if (ext[1] & 1)
                        transparent = ext[4];
                    else
                        transparent = -1;
                }
                first = false;
                if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) Bad();
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif) == GIF_ERROR) Bad();
        const GifImageDesc& desc = gif->Image;
        int fw = desc.Width, fh = desc.Height;
        CheckImageSize(fw, fh);
        int sw = gif->SWidth > 0 ? gif->SWidth : fw + desc.Left;
        int sh = gif->SHeight > 0 ? gif->SHeight : fh + desc.Top;
        CheckImageSize(sw, sh);
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        if (!map || map->ColorCount <= 0 || !map->Colors) Bad("GIF image has no colour map");
        TImageData img;
        img.Width = sw;
        img.Height = sh;
        img.BitsPerPixel = 8;
        img.TransparentIndex = transparent;
        for (int i = 0; i < map->ColorCount; ++i) {
            const GifColorType& c = map->Colors[i];
            img.Palette.push_back(uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue);
        }
        // The logical screen starts transparent where the frame does not cover it (the first
        // frame of a well-formed file covers it), else in the background colour.
        uint32_t background = 0;
        bool hasTransparency = transparent >= 0 || fw < sw || fh < sh || desc.Left > 0 || desc.Top > 0;
        if (!hasTransparency && gif->SBackGroundColor < map->ColorCount)
            background = 0xFF000000u | img.Palette[gif->SBackGroundColor];
        img.Pixels.assign(static_cast<size_t>(sw) * sh, background);
        std::vector<GifPixelType> line(static_cast<size_t>(fw));
        auto store = [&](int row) {
            int y = desc.Top + row;
            if (y < 0 || y >= sh) return;
            for (int x = 0; x < fw; ++x) {
                int dx = desc.Left + x;
                if (dx < 0 || dx >= sw) continue;
                int idx = line[x];
                if (idx == transparent) continue;
                uint32_t rgb = idx < map->ColorCount ? img.Palette[idx] : 0;
                img.Pixels[static_cast<size_t>(y) * sw + dx] = 0xFF000000u | rgb;
            }
        };
        if (desc.Interlace) {
            static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int row = start[pass]; row < fh; row += step[pass]) {
                    if (DGifGetLine(gif, line.data(), fw) == GIF_ERROR) Bad("GIF image is truncated");
                    store(row);
                }
        } else {
            for (int row = 0; row < fh; ++row) {
                if (DGifGetLine(gif, line.data(), fw) == GIF_ERROR) Bad("GIF image is truncated");
                store(row);
            }
        }
        img.HasAlpha = hasTransparency;
        if (!hasTransparency)
            for (auto& p : img.Pixels) p &= 0xFFFFFF;
        return img;
    }
}

} // namespace qel
