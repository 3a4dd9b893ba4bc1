// Writes small valid pictures of every kind the graphics fuzzers read, as their starting corpora:
//   graphics_fuzz_seeds <dir>   creates <dir>/bmp, ico, png, jpeg, gif, metafile and picture_data.
#include <cstdio> // before jpeglib.h, which uses FILE
#include <cstring>

#include <filesystem>
#include <fstream>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <string>
#include <vector>

#include "platform/graphics/imagelist.h"
#include "platform/graphics/picture.h"

using namespace qel;

namespace {

std::filesystem::path GRoot;

void Save(const std::string& kind, const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(GRoot / kind);
    std::ofstream(GRoot / kind / name, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TImageData Pattern(int w, int h, bool alpha = false) {
    TImageData img;
    img.Width = w;
    img.Height = h;
    img.HasAlpha = alpha;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t p = static_cast<uint32_t>((x * 37) & 255) << 16 |
                         static_cast<uint32_t>((y * 59) & 255) << 8 |
                         static_cast<uint32_t>((x * y * 11) & 255);
            if (alpha) p |= static_cast<uint32_t>(((x + y) * 40) & 255) << 24;
            img.Pixels.push_back(p);
        }
    return img;
}

void Put16(std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v & 255));
    s.push_back(static_cast<char>((v >> 8) & 255));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// A bottom-up 8- or 4-bit RLE bitmap of 8 x 4 with a four-colour palette.
std::string RleBmp(int bits) {
    std::string px;
    auto pair = [&](int a, int b) {
        px.push_back(static_cast<char>(a));
        px.push_back(static_cast<char>(b));
    };
    for (int row = 0; row < 4; ++row) {
        if (bits == 8) {
            pair(3, row & 3);
            pair(0, 3); // absolute run of three, padded
            px += std::string("\x01\x02\x03\x00", 4);
            pair(2, 1);
        } else {
            pair(4, 0x12);
            pair(4, 0x30 | (row & 3));
        }
        pair(0, 0);
    }
    pair(0, 2); // delta, then end of bitmap
    pair(0, 0);
    pair(0, 1);
    std::string s = "BM";
    Put32(s, static_cast<uint32_t>(14 + 40 + 16 + px.size()));
    Put32(s, 0);
    Put32(s, 14 + 40 + 16);
    Put32(s, 40);
    Put32(s, 8);
    Put32(s, 4);
    Put16(s, 1);
    Put16(s, static_cast<unsigned>(bits));
    Put32(s, bits == 8 ? 1 : 2);
    Put32(s, static_cast<uint32_t>(px.size()));
    Put32(s, 3780);
    Put32(s, 3780);
    Put32(s, 4);
    Put32(s, 0);
    for (uint32_t c : {0x000000u, 0xFF0000u, 0x00FF00u, 0x0000FFu}) Put32(s, c);
    return s + px;
}

// A 5 x 3 top-down 16-bit 5-6-5 bitmap with bit-field masks.
std::string BitfieldsBmp() {
    std::string s = "BM";
    int stride = 12;
    Put32(s, static_cast<uint32_t>(14 + 40 + 12 + stride * 3));
    Put32(s, 0);
    Put32(s, 14 + 40 + 12);
    Put32(s, 40);
    Put32(s, 5);
    Put32(s, static_cast<uint32_t>(-3));
    Put16(s, 1);
    Put16(s, 16);
    Put32(s, 3);
    Put32(s, static_cast<uint32_t>(stride * 3));
    Put32(s, 0);
    Put32(s, 0);
    Put32(s, 0);
    Put32(s, 0);
    Put32(s, 0xF800);
    Put32(s, 0x07E0);
    Put32(s, 0x001F);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) Put16(s, static_cast<unsigned>((x * 6151 + y * 1031) & 0xFFFF));
        Put16(s, 0);
    }
    return s;
}

// An OS/2 core-header 24-bit bitmap.
std::string CoreBmp() {
    std::string s = "BM";
    int stride = 12; // 3 px * 3 bytes, padded to 12
    Put32(s, static_cast<uint32_t>(14 + 12 + stride * 2));
    Put32(s, 0);
    Put32(s, 14 + 12);
    Put32(s, 12);
    Put16(s, 3);
    Put16(s, 2);
    Put16(s, 1);
    Put16(s, 24);
    for (int i = 0; i < stride * 2; ++i) s.push_back(static_cast<char>(i * 23));
    return s;
}

std::string PngWith(const TImageData& img, png_uint_32 format) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(img.Width);
    image.height = static_cast<png_uint_32>(img.Height);
    image.format = PNG_FORMAT_BGRA;
    // Convert to the target format through libpng: write BGRA with the requested output flags.
    std::vector<uint8_t> buf;
    const int channels = PNG_IMAGE_SAMPLE_CHANNELS(format);
    for (uint32_t p : img.Pixels) {
        uint8_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255, a = (p >> 24) & 255;
        if (channels == 1)
            buf.push_back(static_cast<uint8_t>((r + g + b) / 3));
        else if (channels == 2) {
            buf.push_back(static_cast<uint8_t>((r + g + b) / 3));
            buf.push_back(a);
        } else {
            buf.push_back(r);
            buf.push_back(g);
            buf.push_back(b);
            if (channels == 4) buf.push_back(a);
        }
    }
    image.format = format;
    png_alloc_size_t bytes = 0;
    png_image_write_to_memory(&image, nullptr, &bytes, 0, buf.data(), 0, nullptr);
    std::string out(bytes, '\0');
    png_image_write_to_memory(&image, out.data(), &bytes, 0, buf.data(), 0, nullptr);
    png_image_free(&image);
    out.resize(bytes);
    return out;
}

std::string ProgressiveJpeg() {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 8;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 40, TRUE);
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(16 * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < 16; ++x) {
            row[x * 3] = static_cast<uint8_t>(x * 16);
            row[x * 3 + 1] = static_cast<uint8_t>(cinfo.next_scanline * 30);
            row[x * 3 + 2] = 128;
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string s(reinterpret_cast<const char*>(out), size);
    std::free(out);
    return s;
}

int GifWrite(GifFileType* g, const GifByteType* b, int n) {
    static_cast<std::string*>(g->UserData)->append(reinterpret_cast<const char*>(b), static_cast<size_t>(n));
    return n;
}

// A GIF of `frames` frames; the second frame has a local colour map and an offset.
std::string Gif(bool transparent, bool interlace, int frames) {
    std::string out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &err);
    GifColorType colors[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, 6, 5, 2, 1, map);
    for (int f = 0; f < frames; ++f) {
        if (transparent) {
            GraphicsControlBlock gcb{};
            gcb.TransparentColor = 2;
            gcb.DelayTime = 5;
            GifByteType ext[4];
            size_t len = EGifGCBToExtension(&gcb, ext);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext);
        }
        int left = f ? 1 : 0, top = f ? 1 : 0, w = f ? 4 : 6, h = f ? 3 : 5;
        EGifPutImageDesc(gif, left, top, w, h, interlace, f ? map : nullptr);
        std::vector<GifPixelType> line(static_cast<size_t>(w));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) line[x] = static_cast<GifPixelType>((x + y + f) & 3);
            EGifPutLine(gif, line.data(), w);
        }
    }
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
    return out;
}

// An enhanced metafile using every record kind the player knows.
std::string Emf() {
    std::string s;
    auto put = [&](uint32_t v) { Put32(s, v); };
    auto rec = [&](uint32_t type, std::vector<uint32_t> args) {
        put(type);
        put(static_cast<uint32_t>(8 + 4 * args.size()));
        for (uint32_t a : args) put(a);
    };
    put(1), put(88);
    put(0), put(0), put(39), put(29);    // bounds
    put(0), put(0), put(1058), put(793); // frame (0.01 mm)
    put(0x464D4520), put(0x10000), put(0), put(20), put(0), put(0), put(0), put(0);
    put(1024), put(768), put(320), put(240);
    rec(9, {40, 30});
    rec(10, {0, 0});
    rec(17, {1});
    rec(18, {1});
    rec(19, {2});
    rec(20, {13});
    rec(22, {0});
    rec(24, {0x0000FF});
    rec(25, {0x00FF00});
    rec(38, {1, 0, 2, 0, 0xFF0000});
    rec(39, {2, 0, 0x00FFFF, 0});
    rec(37, {1});
    rec(37, {2});
    rec(37, {0x80000000u | 4});
    rec(27, {2, 2});
    rec(54, {30, 20});
    rec(43, {1, 1, 20, 10});
    rec(42, {5, 5, 25, 25});
    rec(44, {10, 10, 35, 28, 4, 4});
    rec(33, {});
    rec(3, {0, 0, 40, 30, 3, 1, 1, 30, 1, 15, 20});
    rec(87, {0, 0, 40, 30, 3, 2 | (3u << 16), 20 | (25u << 16), 38 | (2u << 16)});
    rec(34, {static_cast<uint32_t>(-1)});
    // EXTCREATEFONTINDIRECTW: index then a LOGFONTW (92 bytes) with face "Arial".
    {
        std::vector<uint32_t> lf(1 + 23, 0);
        lf[0] = 3;
        lf[1] = static_cast<uint32_t>(-12);
        lf[5] = 400;
        const char16_t face[] = u"Arial";
        std::memcpy(reinterpret_cast<char*>(&lf[8]), face, sizeof face);
        rec(82, lf);
        rec(37, {3});
    }
    // EXTTEXTOUTW "Hi" at 3,3.
    {
        std::vector<uint32_t> a = {0, 0, 40, 30, 1, 0, 0, 3, 3, 2, 76, 0, 0, 0, 0, 0, 0, 0};
        a.push_back('H' | ('i' << 16));
        rec(84, a);
    }
    // STRETCHDIBITS of a 2 x 2 24-bit DIB.
    {
        std::vector<uint32_t> a = {0, 0, 2, 2, 30, 2, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0xCC0020, 4, 4};
        std::vector<uint32_t> bmi = {40, 2, 2, 0x00180001u, 0, 16, 0, 0, 0, 0};
        a.insert(a.end(), bmi.begin(), bmi.end());
        a.insert(a.end(), {0x00FF0000u, 0x0000FF00u, 0x00FF00FFu, 0x0000FFFFu});
        rec(81, a);
    }
    rec(40, {1});
    rec(14, {0, 16, 20});
    return s;
}

// A placeable metafile with the 16-bit records the player knows.
std::string Wmf() {
    std::string s;
    Put32(s, 0x9AC6CDD7u);
    Put16(s, 0);
    Put16(s, 0), Put16(s, 0), Put16(s, 600), Put16(s, 450); // bbox
    Put16(s, 1440);
    Put32(s, 0);
    Put16(s, 0); // checksum (not checked)
    std::string body;
    auto rec = [&](unsigned fn, std::vector<unsigned> words) {
        Put32(body, static_cast<uint32_t>(3 + words.size()));
        Put16(body, fn);
        for (unsigned w : words) Put16(body, w & 0xFFFF);
    };
    rec(0x020B, {0, 0});
    rec(0x020C, {450, 600});
    rec(0x0103, {8});
    rec(0x0102, {1});
    rec(0x0106, {1});
    rec(0x0104, {13});
    rec(0x012E, {0});
    rec(0x0209, {0x00FF, 0});
    rec(0x0201, {0xFFFF, 0x00FF});
    rec(0x02FA, {0, 3, 0, 0x00FF, 0});
    rec(0x02FC, {0, 0xFF00, 0, 0});
    rec(0x012D, {0});
    rec(0x012D, {1});
    rec(0x0214, {10, 10});
    rec(0x0213, {400, 500});
    rec(0x041B, {200, 300, 20, 20});
    rec(0x0418, {400, 500, 100, 100});
    rec(0x061C, {40, 40, 440, 590, 10, 10});
    rec(0x001E, {});
    rec(0x0324, {3, 0, 0, 300, 0, 150, 200});
    rec(0x0325, {2, 5, 5, 80, 90});
    rec(0x0127, {0xFFFF});
    rec(0x02FB,
        {static_cast<unsigned>(-60), 0, 0, 0, 700, 0x0001, 0, 0, 'A' | ('r' << 8), 'i' | ('a' << 8), 'l'});
    rec(0x012D, {2});
    rec(0x0521, {2, 'O' | ('K' << 8), 50, 50});
    rec(0x01F0, {0});
    // STRETCHDIB of a 1 x 1 32-bit DIB.
    rec(0x0F43, {0x0020, 0x00CC, 0, 1, 1, 0, 0, 100, 100, 200, 200, 40, 0, 1, 0,      1,     0,
                 1,      32,     0, 0, 4, 0, 0, 0,   0,   0,   0,   0,  0, 0, 0x4080, 0x00C0});
    rec(0x0000, {});
    // Standard header: type, header words, version, size (words), objects, max record, params.
    std::string hdr;
    Put16(hdr, 1);
    Put16(hdr, 9);
    Put16(hdr, 0x0300);
    Put32(hdr, static_cast<uint32_t>((18 + body.size()) / 2));
    Put16(hdr, 3);
    Put32(hdr, 40);
    Put16(hdr, 0);
    return s + hdr + body;
}

std::string PictureData(TGraphic* g) {
    TPicture pic;
    pic.SetGraphic(g);
    TMemoryStream ms;
    pic.WriteData(ms);
    return std::string(ms.Bytes());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    GRoot = argv[1];
    TImageData small = Pattern(8, 6);
    for (int bits : {1, 4, 8, 16, 24, 32})
        Save("bmp", "bits" + std::to_string(bits) + ".bmp", EncodeBmp(small, bits));
    Save("bmp", "rle8.bmp", RleBmp(8));
    Save("bmp", "rle4.bmp", RleBmp(4));
    Save("bmp", "bitfields565.bmp", BitfieldsBmp());
    Save("bmp", "core24.bmp", CoreBmp());

    Save("ico", "one.ico", EncodeIco({Pattern(16, 16, true)}));
    Save("ico", "two.ico", EncodeIco({Pattern(8, 8, false), Pattern(24, 24, true)}));
    {
        // One entry holding a PNG.
        std::string png = EncodePng(Pattern(6, 6, true));
        std::string s;
        Put16(s, 0), Put16(s, 1), Put16(s, 1);
        s += std::string("\x06\x06\x00\x00", 4);
        Put16(s, 1), Put16(s, 32);
        Put32(s, static_cast<uint32_t>(png.size()));
        Put32(s, 22);
        Save("ico", "png.ico", s + png);
    }

    Save("png", "rgb.png", EncodePng(Pattern(7, 5)));
    Save("png", "rgba.png", EncodePng(Pattern(5, 7, true)));
    Save("png", "gray.png", PngWith(Pattern(9, 3), PNG_FORMAT_GRAY));
    Save("png", "grayalpha.png", PngWith(Pattern(3, 3, true), PNG_FORMAT_GA));

    Save("jpeg", "color.jpg", EncodeJpeg(Pattern(16, 16), 50, false));
    Save("jpeg", "gray.jpg", EncodeJpeg(Pattern(9, 7), 30, true));
    Save("jpeg", "progressive.jpg", ProgressiveJpeg());

    Save("gif", "plain.gif", Gif(false, false, 1));
    Save("gif", "transparent.gif", Gif(true, false, 1));
    Save("gif", "interlaced.gif", Gif(false, true, 1));
    Save("gif", "frames.gif", Gif(true, false, 2));

    Save("metafile", "records.emf", Emf());
    Save("metafile", "records.wmf", Wmf());

    // Form-file picture data and image-list data.
    {
        TBitmap bmp;
        bmp.SetImageData(small);
        Save("picture_data", "bitmap.bin", PictureData(&bmp));
        TPngImage png;
        png.SetImageData(Pattern(4, 4, true));
        Save("picture_data", "png.bin", PictureData(&png));
        TIcon icon;
        icon.SetImageData(Pattern(16, 16, true));
        Save("picture_data", "icon.bin", PictureData(&icon));
        TJPEGImage jpeg;
        jpeg.SetImageData(Pattern(8, 8));
        Save("picture_data", "jpeg.bin", PictureData(&jpeg));
        TMetafile meta;
        TMemoryStream ms(Emf());
        meta.LoadFromStream(ms);
        Save("picture_data", "metafile.bin", PictureData(&meta));
        TImageList list(nullptr);
        list.SetSize(3, 2);
        TBitmap strip;
        strip.SetImageData(Pattern(9, 2));
        list.AddMasked(&strip, ToColor(0));
        list.Overlay(1, 0);
        TMemoryStream ls;
        list.WriteData(ls);
        Save("picture_data", "imagelist.bin", "L" + std::string(ls.Bytes()));
    }
    // Every picture seed must load: a corpus of broken files would start the fuzzers blind.
    int bad = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(GRoot)) {
        if (!entry.is_regular_file() || entry.path().parent_path().filename() == "picture_data") continue;
        try {
            TPicture pic;
            pic.LoadFromFile(entry.path().string());
            std::printf("%-40s %s %dx%d\n", entry.path().c_str(), pic.GetGraphic()->ClassName().c_str(),
                        pic.GetWidth(), pic.GetHeight());
        } catch (const Exception& e) {
            std::printf("%-40s FAILED: %s\n", entry.path().c_str(), e.what());
            ++bad;
        }
    }
    std::printf("seeds written to %s\n", argv[1]);
    return bad ? 1 : 0;
}
