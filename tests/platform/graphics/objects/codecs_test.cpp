// Codecs and graphic classes: BMP round trips, PNG/JPEG/GIF decoding, malformed input, pictures.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "platform/graphics/picture.h"

using namespace qel;

namespace {

TImageData Pattern(int w, int h, int colors) {
    static const uint32_t pal[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x808080,
                                   0xFFFF00, 0x00FFFF, 0x123456, 0x654321, 0xABCDEF, 0x0F0F0F,
                                   0xF0F0F0, 0x800000, 0x008000, 0x000080};
    TImageData img;
    img.Width = w;
    img.Height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t p;
            if (colors <= 16)
                p = pal[(x * 3 + y * 5) % colors];
            else if (colors <= 256)
                p = static_cast<uint32_t>(((x * 7 + y * 13) % colors) * 0x010101);
            else
                p = static_cast<uint32_t>((x * 37) & 255) << 16 | static_cast<uint32_t>((y * 59) & 255) << 8 |
                    static_cast<uint32_t>((x * y) & 255);
            img.Pixels.push_back(p);
        }
    return img;
}

const uint8_t* U(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

std::string GifBytes(bool transparent) {
    // A 4x3 GIF: index 0 red, 1 green, 2 blue; index 2 transparent when asked.
    std::string out;
    int err = 0;
    GifFileType* gif = EGifOpen(
        &out,
        [](GifFileType* g, const GifByteType* b, int n) {
            static_cast<std::string*>(g->UserData)
                ->append(reinterpret_cast<const char*>(b), static_cast<size_t>(n));
            return n;
        },
        &err);
    GifColorType colors[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, 4, 3, 2, 0, map);
    if (transparent) {
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = 2;
        GifByteType ext[4];
        size_t len = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext);
    }
    EGifPutImageDesc(gif, 0, 0, 4, 3, false, nullptr);
    GifPixelType rows[3][4] = {{0, 1, 2, 0}, {1, 1, 1, 1}, {2, 2, 0, 0}};
    for (auto& row : rows) EGifPutLine(gif, row, 4);
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
    return out;
}

} // namespace

TEST(BmpCodec, RoundTripEveryBitDepth) {
    struct Case {
        int Bits;
        int Colors;
    } cases[] = {{1, 2}, {4, 16}, {8, 200}, {24, 100000}, {32, 100000}};
    for (auto c : cases) {
        for (int w : {1, 7, 33}) {
            TImageData img = Pattern(w, 5, c.Colors);
            std::string bmp = EncodeBmp(img, c.Bits);
            TImageData back = DecodeBmp(U(bmp), bmp.size());
            ASSERT_EQ(back.Width, w);
            ASSERT_EQ(back.Height, 5);
            EXPECT_EQ(back.BitsPerPixel, c.Bits);
            EXPECT_EQ(back.Pixels, img.Pixels) << c.Bits << " bits, width " << w;
        }
    }
    // 16 bits keep 5 bits per channel.
    TImageData img = Pattern(9, 4, 100000);
    for (auto& p : img.Pixels) {
        uint32_t r = (p >> 19) & 31, g = (p >> 11) & 31, b = (p >> 3) & 31;
        auto up = [](uint32_t c) { return (c * 255 + 15) / 31; };
        p = up(r) << 16 | up(g) << 8 | up(b);
    }
    std::string bmp = EncodeBmp(img, 16);
    EXPECT_EQ(DecodeBmp(U(bmp), bmp.size()).Pixels, img.Pixels);
}

TEST(BmpCodec, TopDownV5AndRle) {
    // A 2x2 top-down 24-bit bitmap with a V5 header (124 bytes).
    std::string d(14 + 124 + 16, '\0');
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&d[at], &v, 4); };
    d[0] = 'B', d[1] = 'M';
    put32(2, static_cast<uint32_t>(d.size()));
    put32(10, 14 + 124);
    put32(14, 124);
    put32(18, 2);
    put32(22, static_cast<uint32_t>(-2));
    d[26] = 1;
    d[28] = 24;
    const uint8_t px[16] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    std::memcpy(&d[138], px, 16);
    TImageData img = DecodeBmp(U(d), d.size());
    EXPECT_EQ(img.At(0, 0), 0xFF0000u);
    EXPECT_EQ(img.At(1, 0), 0x00FF00u);
    EXPECT_EQ(img.At(0, 1), 0x0000FFu);
    EXPECT_EQ(img.At(1, 1), 0xFFFFFFu);

    // RLE8: 4x2, bottom row "run of 4 x index 1", then end of line, top row absolute [2,1,1,2], end.
    std::string r(14 + 40 + 12, '\0');
    auto p32 = [&](size_t at, uint32_t v) { std::memcpy(&r[at], &v, 4); };
    r[0] = 'B', r[1] = 'M';
    p32(14, 40);
    p32(18, 4);
    p32(22, 2);
    r[26] = 1;
    r[28] = 8;
    p32(30, 1);
    p32(46, 3);
    const uint8_t pal[12] = {0, 0, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0};
    std::memcpy(&r[54], pal, 12);
    p32(10, static_cast<uint32_t>(r.size()));
    const uint8_t rle[] = {4, 1, 0, 0, 0, 4, 2, 1, 1, 2, 0, 1};
    r.append(reinterpret_cast<const char*>(rle), sizeof rle);
    TImageData rl = DecodeBmp(U(r), r.size());
    EXPECT_EQ(rl.At(0, 1), 0xFF0000u);
    EXPECT_EQ(rl.At(3, 1), 0xFF0000u);
    EXPECT_EQ(rl.At(0, 0), 0x0000FFu);
    EXPECT_EQ(rl.At(1, 0), 0xFF0000u);
}

TEST(BmpCodec, TBitmapSavesAtItsPixelFormat) {
    for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
        TBitmap bmp(10, 6);
        bmp.GetCanvas()->GetBrush()->SetColor(clRed);
        bmp.GetCanvas()->FillRect(TRect(0, 0, 5, 3));
        bmp.SetPixelFormat(pf);
        TMemoryStream ms;
        bmp.SaveToStream(ms);
        ms.SetPosition(0);
        TBitmap back;
        back.LoadFromStream(ms);
        EXPECT_EQ(back.GetPixelFormat(), pf);
        EXPECT_EQ(back.GetWidth(), 10);
        TImageData a = bmp.GetImageData(), b = back.GetImageData();
        EXPECT_EQ(a.Pixels, b.Pixels) << "format " << pf;
    }
}

TEST(PngCodec, RoundTripWithAndWithoutAlpha) {
    TImageData img = Pattern(13, 7, 100000);
    std::string png = EncodePng(img);
    TImageData back = DecodePng(U(png), png.size());
    EXPECT_FALSE(back.HasAlpha);
    EXPECT_EQ(back.Pixels, img.Pixels);
    img.HasAlpha = true;
    for (size_t i = 0; i < img.Pixels.size(); ++i) img.Pixels[i] |= (i % 3 == 0) ? 0u : 0xFF000000u;
    png = EncodePng(img);
    back = DecodePng(U(png), png.size());
    EXPECT_TRUE(back.HasAlpha);
    for (size_t i = 0; i < img.Pixels.size(); ++i) {
        EXPECT_EQ(back.Pixels[i] >> 24, img.Pixels[i] >> 24);
        if (img.Pixels[i] >> 24) {
            EXPECT_EQ(back.Pixels[i], img.Pixels[i]);
        }
    }
}

TEST(JpegCodec, DecodeScaleAndGrayscale) {
    TImageData img;
    img.Width = 64;
    img.Height = 32;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            img.Pixels.push_back(static_cast<uint32_t>(x * 4) << 16 | 0x4000 | (y * 8));
    std::string jpg = EncodeJpeg(img, 95, false);
    TImageData back = DecodeJpeg(U(jpg), jpg.size());
    ASSERT_EQ(back.Width, 64);
    ASSERT_EQ(back.Height, 32);
    int worst = 0;
    for (size_t i = 0; i < img.Pixels.size(); ++i)
        for (int s = 0; s < 24; s += 8)
            worst = std::max(worst, std::abs(static_cast<int>((img.Pixels[i] >> s) & 255) -
                                             static_cast<int>((back.Pixels[i] >> s) & 255)));
    EXPECT_LE(worst, 12);
    TJpegDecodeOptions half;
    half.ScaleDenom = 2;
    TImageData small = DecodeJpeg(U(jpg), jpg.size(), half);
    EXPECT_EQ(small.Width, 32);
    EXPECT_EQ(small.Height, 16);
    TJPEGImage j;
    TMemoryStream ms(jpg);
    j.LoadFromStream(ms);
    j.SetGrayscale(true);
    TImageData grey = j.GetImageData();
    for (uint32_t p : grey.Pixels)
        EXPECT_TRUE(((p >> 16) & 255) == (p & 255) && ((p >> 8) & 255) == (p & 255));
    j.SetScale(jsQuarter);
    EXPECT_EQ(j.GetWidth(), 16);
}

TEST(GifCodec, FirstFrameWithTransparency) {
    std::string gif = GifBytes(true);
    TImageData img = DecodeGif(U(gif), gif.size());
    ASSERT_EQ(img.Width, 4);
    ASSERT_EQ(img.Height, 3);
    EXPECT_TRUE(img.HasAlpha);
    EXPECT_EQ(img.At(0, 0), 0xFFFF0000u);
    EXPECT_EQ(img.At(1, 0), 0xFF00FF00u);
    EXPECT_EQ(img.At(2, 0) >> 24, 0u) << "transparent index";
    EXPECT_EQ(img.At(0, 2) >> 24, 0u);
    std::string opaque = GifBytes(false);
    TImageData o = DecodeGif(U(opaque), opaque.size());
    EXPECT_FALSE(o.HasAlpha);
    EXPECT_EQ(o.At(2, 0), 0x0000FFu);

    // Drawn onto a white canvas, transparent pixels keep the background.
    TGIFImage g;
    TMemoryStream ms(gif);
    g.LoadFromStream(ms);
    TBitmap bmp(4, 3);
    bmp.GetCanvas()->Draw(0, 0, &g);
    EXPECT_EQ(bmp.GetCanvas()->GetPixel(0, 0), clRed);
    EXPECT_EQ(bmp.GetCanvas()->GetPixel(2, 0), clWhite);
}

TEST(IcoCodec, RoundTripAndBestSize) {
    TImageData a = Pattern(16, 16, 100000), b = Pattern(32, 32, 100000);
    for (auto* img : {&a, &b}) {
        img->HasAlpha = true;
        for (size_t i = 0; i < img->Pixels.size(); ++i) img->Pixels[i] |= (i % 5 == 0) ? 0u : 0xFF000000u;
    }
    std::string ico = EncodeIco({a, b});
    auto images = DecodeIco(U(ico), ico.size());
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(BestIconImage(images, 32, 32), 1);
    EXPECT_EQ(BestIconImage(images, 16, 16), 0);
    EXPECT_EQ(images[1].Image.Pixels, b.Pixels);
    TIcon icon;
    TMemoryStream ms(ico);
    icon.LoadFromStream(ms);
    EXPECT_EQ(icon.GetWidth(), 32);
    TBitmap bmp(32, 32);
    bmp.GetCanvas()->GetBrush()->SetColor(clBlue);
    bmp.GetCanvas()->FillRect(TRect(0, 0, 32, 32));
    bmp.GetCanvas()->Draw(0, 0, &icon);
    EXPECT_EQ(bmp.GetCanvas()->GetPixel(0, 0), clBlue) << "masked pixel";
    EXPECT_EQ(static_cast<uint32_t>(bmp.GetCanvas()->GetPixel(1, 0)), PixelToColorRef(b.At(1, 0) & 0xFFFFFF));
}

TEST(Decoders, MalformedInputRaisesInvalidGraphic) {
    std::string bmp = EncodeBmp(Pattern(8, 8, 16), 4);
    std::string png = EncodePng(Pattern(8, 8, 100000));
    std::string jpg = EncodeJpeg(Pattern(16, 16, 100000), 80, false);
    std::string gif = GifBytes(true);
    std::string ico = EncodeIco({Pattern(16, 16, 100000)});
    auto patch32 = [](std::string s, size_t at, uint32_t v) {
        std::memcpy(&s[at], &v, 4);
        return s;
    };
    struct Case {
        const char* Name;
        std::string Data;
    } cases[] = {
        {"empty", ""},
        {"garbage", "not a picture at all"},
        {"bmp truncated", bmp.substr(0, bmp.size() - 20)},
        {"bmp header only", bmp.substr(0, 20)},
        {"bmp huge width", patch32(bmp, 18, 100000)},
        {"bmp zero height", patch32(bmp, 22, 0)},
        {"bmp absurd size", patch32(patch32(bmp, 18, 16384), 22, 16384)},
        {"bmp bad bit count", patch32(bmp, 28, 7)},
        {"bmp bad header size", patch32(bmp, 14, 9999)},
        {"bmp offset past end", patch32(bmp, 10, 1u << 30)},
        {"png truncated", png.substr(0, png.size() / 2)},
        {"png bad crc",
         [&] {
             std::string s = png;
             s[30] ^= 0x55;
             return s;
         }()},
        {"jpeg truncated", jpg.substr(0, jpg.size() / 2)},
        {"jpeg header only", jpg.substr(0, 4)},
        {"gif truncated", gif.substr(0, gif.size() - 8)},
        {"gif no image", gif.substr(0, 13)},
        {"ico bad offset", patch32(ico, 18, 1u << 30)},
        {"ico truncated", ico.substr(0, 30)},
        {"emf header only",
         [] {
             std::string s(88, '\0');
             s[0] = 1;
             s[4] = 88;
             std::memcpy(&s[40], "\x20\x45\x4D\x46", 4);
             return s;
         }()},
    };
    for (const Case& c : cases) {
        TPicture pic;
        TMemoryStream ms(c.Data);
        EXPECT_THROW(pic.LoadFromStream(ms), EInvalidGraphic) << c.Name;
    }
    EXPECT_THROW(DecodeBmp(U(cases[4].Data), cases[4].Data.size()), EInvalidGraphic);
    EXPECT_THROW(DecodePng(U(cases[10].Data), cases[10].Data.size()), EInvalidGraphic);
    EXPECT_THROW(DecodeJpeg(U(cases[12].Data), cases[12].Data.size()), EInvalidGraphic);
    EXPECT_THROW(DecodeGif(U(cases[14].Data), cases[14].Data.size()), EInvalidGraphic);
    EXPECT_THROW(DecodeIco(U(cases[16].Data), cases[16].Data.size()), EInvalidGraphic);
}

TEST(TBitmap, TransparentDrawUsesTheBottomLeftKey) {
    TBitmap src(4, 3);
    TCanvas* c = src.GetCanvas();
    c->GetBrush()->SetColor(clFuchsia);
    c->FillRect(TRect(0, 0, 4, 3));
    c->SetPixel(1, 0, clRed);
    c->SetPixel(2, 1, clLime);
    EXPECT_EQ(src.GetTransparentColor(), clFuchsia);
    EXPECT_EQ(src.GetTransparentMode(), tmAuto);
    src.SetTransparent(true);
    TBitmap dst(6, 5);
    dst.GetCanvas()->GetBrush()->SetColor(clBlue);
    dst.GetCanvas()->FillRect(TRect(0, 0, 6, 5));
    dst.GetCanvas()->Draw(1, 1, &src);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            TColor want = clBlue;
            if (x == 2 && y == 1) want = clRed;
            if (x == 3 && y == 2) want = clLime;
            EXPECT_EQ(dst.GetCanvas()->GetPixel(x, y), want) << x << "," << y;
        }
    // A fixed colour overrides the automatic key.
    src.SetTransparentColor(clRed);
    EXPECT_EQ(src.GetTransparentMode(), tmFixed);
    dst.GetCanvas()->FillRect(TRect(0, 0, 6, 5));
    dst.GetCanvas()->Draw(0, 0, &src);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(1, 0), clBlue);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(0, 0), clFuchsia);
    // Opaque draw copies everything.
    src.SetTransparent(false);
    dst.GetCanvas()->Draw(0, 0, &src);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(1, 0), clRed);
}

TEST(TBitmap, BrushCopyReplacesExactlyTheKey) {
    TBitmap src(3, 1);
    src.GetCanvas()->SetPixel(0, 0, clFuchsia);
    src.GetCanvas()->SetPixel(1, 0, ToColor(0xFE00FF));
    src.GetCanvas()->SetPixel(2, 0, clBlack);
    TBitmap dst(3, 1);
    dst.GetCanvas()->GetBrush()->SetColor(clSilver);
    dst.GetCanvas()->BrushCopy(TRect(0, 0, 3, 1), &src, TRect(0, 0, 3, 1), clFuchsia);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(0, 0), clSilver);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(1, 0), ToColor(0xFE00FF));
    EXPECT_EQ(dst.GetCanvas()->GetPixel(2, 0), clBlack);
}

TEST(TBitmap, MaskMonochromeAssignAndResize) {
    TBitmap bmp(4, 2);
    bmp.GetCanvas()->SetPixel(0, 0, clRed);
    TBitmap copy;
    copy.Assign(&bmp);
    copy.GetCanvas()->SetPixel(1, 1, clBlue);
    EXPECT_EQ(bmp.GetCanvas()->GetPixel(1, 1), clWhite) << "assign copies";
    bmp.Mask(clRed);
    EXPECT_TRUE(bmp.GetMonochrome());
    EXPECT_EQ(bmp.GetCanvas()->GetPixel(0, 0), clWhite);
    EXPECT_EQ(bmp.GetCanvas()->GetPixel(1, 0), clBlack);
    copy.SetSize(6, 3);
    EXPECT_EQ(copy.GetCanvas()->GetPixel(0, 0), clRed);
    EXPECT_EQ(copy.GetCanvas()->GetPixel(5, 2), clWhite);
    EXPECT_THROW(copy.ScanLine(3), EInvalidGraphic);
    static_cast<uint32_t*>(copy.ScanLine(2))[5] = 0x00FF00;
    EXPECT_EQ(copy.GetCanvas()->GetPixel(5, 2), clLime);
}

TEST(TPicture, FilesByExtensionAndFormData) {
    char path[] = "/tmp/qel_pic_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string base = path;
    TBitmap bmp(5, 4);
    bmp.GetCanvas()->SetPixel(2, 2, clRed);
    bmp.SaveToFile(base + ".bmp");
    TPicture pic;
    int changes = 0;
    pic.SetOnChange([&](TObject* s) {
        EXPECT_EQ(s, &pic);
        ++changes;
    });
    pic.LoadFromFile(base + ".bmp");
    ASSERT_TRUE(pic.GetGraphic());
    EXPECT_EQ(pic.GetGraphic()->ClassName(), "TBitmap");
    EXPECT_EQ(pic.GetWidth(), 5);
    EXPECT_GT(changes, 0);
    // Content saved under an unregistered extension is still recognised by its signature.
    std::rename((base + ".bmp").c_str(), (base + ".dat").c_str());
    pic.LoadFromFile(base + ".dat");
    EXPECT_EQ(pic.GetHeight(), 4);
    std::remove((base + ".dat").c_str());
    {
        FILE* f = std::fopen((base + ".xyz").c_str(), "wb");
        std::fputs("nothing", f);
        std::fclose(f);
    }
    try {
        pic.LoadFromFile(base + ".xyz");
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Unknown picture file extension (.xyz)");
    }
    std::remove((base + ".xyz").c_str());
    std::remove(path);

    TMemoryStream data;
    pic.WriteData(data);
    data.SetPosition(0);
    TPicture back;
    back.ReadData(data);
    ASSERT_TRUE(back.GetGraphic());
    EXPECT_EQ(back.GetBitmap()->GetCanvas()->GetPixel(2, 2), clRed);
    // The typed accessor replaces another class.
    EXPECT_TRUE(back.GetIcon()->Empty());

    std::string filter = TPicture::GraphicFilter(nullptr);
    EXPECT_EQ(filter.rfind("All (", 0), 0u);
    EXPECT_NE(filter.find("Bitmaps (*.bmp)|*.bmp"), std::string::npos);
    EXPECT_EQ(TPicture::ClassForExtension(".JPG"), TJPEGImage::StaticClass());
    TPicture::UnregisterGraphicClass(TGIFImage::StaticClass());
    EXPECT_EQ(TPicture::ClassForExtension("gif"), nullptr);
    TPicture::RegisterFileFormat("gif", "GIF Image", TGIFImage::StaticClass());
    EXPECT_EQ(TPicture::ClassForExtension("gif"), TGIFImage::StaticClass());
}

TEST(TMetafile, EnhancedRecordsPlayOntoACanvas) {
    // Header (bounds 0,0..19,19) + CREATEBRUSHINDIRECT(1, solid red) + SELECTOBJECT(1) + RECTANGLE + EOF.
    std::string s;
    auto put = [&](uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); };
    put(1), put(88);
    put(0), put(0), put(19), put(19);   // bounds
    put(0), put(0), put(529), put(529); // frame in 0.01 mm (20 px)
    put(0x464D4520), put(0x10000), put(0), put(5), put(0), put(0), put(0), put(0);
    put(1024), put(768), put(320), put(240); // reference device
    put(39), put(24), put(1), put(0), put(0x0000FF), put(0);
    put(37), put(12), put(1);
    put(43), put(24), put(5), put(5), put(15), put(15);
    put(14), put(20), put(0), put(16), put(20);
    TMetafile m;
    TMemoryStream ms(s);
    m.LoadFromStream(ms);
    EXPECT_EQ(m.GetWidth(), 20);
    EXPECT_TRUE(m.GetEnhanced());
    TBitmap bmp(20, 20);
    bmp.GetCanvas()->Draw(0, 0, &m);
    EXPECT_EQ(bmp.GetCanvas()->GetPixel(10, 10), clRed);
    EXPECT_EQ(bmp.GetCanvas()->GetPixel(5, 5), clBlack) << "outline with the stock black pen";
    EXPECT_EQ(bmp.GetCanvas()->GetPixel(2, 2), clWhite);
    // An unknown record refuses the file and keeps the old picture.
    std::string bad = s;
    uint32_t odd = 121;
    std::memcpy(&bad[88], &odd, 4);
    TMemoryStream bs(bad);
    EXPECT_THROW(m.LoadFromStream(bs), EInvalidGraphic);
    EXPECT_EQ(m.RecordCount(), 3);
}

TEST(Snapshots, SavePngWritesAReadableFile) {
    TBitmap bmp(3, 2);
    bmp.GetCanvas()->SetPixel(1, 1, clBlue);
    std::string path = testing::TempDir() + "/qel_snapshot.png";
    SavePng(bmp, path);
    TPngImage png;
    png.LoadFromFile(path);
    EXPECT_EQ(png.GetImageData().At(1, 1), 0x0000FFu);
    std::remove(path.c_str());
}
