// Inputs that once misbehaved in the picture decoders and the metafile player, kept as regressions.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/picture.h"

using namespace qel;

namespace {

void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 255));
}

// An enhanced metafile of 20 x 20 pixels with the given records (type, then 32-bit arguments).
std::string Emf(const std::vector<std::vector<uint32_t>>& records) {
    std::string s;
    auto put = [&](uint32_t v) { Put32(s, v); };
    put(1), put(88);
    put(0), put(0), put(19), put(19);
    put(0), put(0), put(529), put(529);
    put(0x464D4520), put(0x10000), put(0), put(static_cast<uint32_t>(records.size() + 2)), put(0), put(0),
        put(0), put(0);
    put(1024), put(768), put(320), put(240);
    for (const auto& r : records) {
        put(r[0]);
        put(static_cast<uint32_t>(4 * (r.size() + 1)));
        for (size_t i = 1; i < r.size(); ++i) put(r[i]);
    }
    put(14), put(20), put(0), put(16), put(20);
    return s;
}

std::unique_ptr<TMetafile> LoadEmf(const std::string& bytes) {
    auto m = std::make_unique<TMetafile>();
    TMemoryStream ms(bytes);
    m->LoadFromStream(ms);
    return m;
}

} // namespace

TEST(MetafilePlayback, RestoreBeyondItsOwnSavesLeavesTheCanvasStateAlone) {
    // SAVEDC, then RESTOREDC(-3): more levels than the picture saved.
    for (int32_t restore : {-1, -2, -3, -1000, static_cast<int32_t>(0x80000000u)}) {
        SCOPED_TRACE(restore);
        auto m = LoadEmf(Emf({{33}, {34, static_cast<uint32_t>(restore)}, {24, 0x00FF00}}));
        TBitmap bmp(20, 20);
        HDC dc = bmp.GetCanvas()->GetHandle();
        SetTextColor(dc, 0x0000FF);
        int level = SaveDC(dc);
        ASSERT_GT(level, 0);
        SetTextColor(dc, 0xFF0000);
        m->Draw(bmp.GetCanvas(), TRect(0, 0, 20, 20));
        // The player restored exactly what it changed, and the caller's saved state is still there.
        EXPECT_EQ(GetTextColor(dc), 0xFF0000u);
        EXPECT_TRUE(RestoreDC(dc, -1));
        EXPECT_EQ(GetTextColor(dc), 0x0000FFu);
    }
}

TEST(MetafilePlayback, APenMillionsOfPixelsWideIsLimitedToTheDestination) {
    // CREATEPEN(1, solid, width 3866626, blue), SELECTOBJECT(1), MOVETO(2, 2), LINETO(30, 20).
    auto m = LoadEmf(Emf({{38, 1, 0, 0x3B0002, 0, 0xFF0000}, {37, 1}, {27, 2, 2}, {54, 30, 20}}));
    TBitmap bmp(32, 32);
    bmp.GetCanvas()->StretchDraw(TRect(0, 0, 32, 32), m.get());
    // The pen still covers the whole destination.
    for (auto [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {31, 31}, {16, 16}})
        EXPECT_EQ(bmp.GetCanvas()->GetPixel(x, y), clBlue) << x << "," << y;
}

namespace {

std::vector<uint32_t> PixelsOf(TBitmap& bmp) {
    std::vector<uint32_t> out;
    TDibPtr d = bmp.GetDib();
    for (int y = 0; y < d->Height(); ++y)
        for (int x = 0; x < d->Width(); ++x) out.push_back(d->Row(y)[x]);
    return out;
}

uint32_t U(int v) {
    return static_cast<uint32_t>(v);
}

} // namespace

TEST(MetafilePlayback, ShapesFarOutsideDrawTheirVisiblePartOnly) {
    // The picture maps one to one onto a 20 x 20 destination. Each case draws through the player
    // with coordinates millions of pixels out, and directly with the same visible geometry.
    struct Case {
        const char* Name;
        std::vector<std::vector<uint32_t>> Records;
        std::function<void(HDC)> Direct;
    };
    const int far = 3000000;
    const std::vector<Case> cases = {
        {"line from far away",
         {{27, U(-far), U(-far)}, {54, 19, 19}},
         [](HDC dc) {
             MoveToEx(dc, 0, 0, nullptr);
             LineTo(dc, 19, 19);
         }},
        {"polyline through the picture",
         {{4, 0, 0, 0, 0, 3, U(-far), U(-far), 10, 10, U(far), U(-far + 20)}},
         [](HDC dc) {
             MoveToEx(dc, 0, 0, nullptr);
             LineTo(dc, 10, 10);
             LineTo(dc, 20, 0);
         }},
        {"triangle with a diagonal edge",
         {{39, 1, 0, 0x0000FF, 0},
          {37, 1},
          {3, 0, 0, 0, 0, 3, U(-far), U(-far), U(far), U(far), U(far), U(-far)}},
         [](HDC dc) {
             HBRUSH red = CreateSolidBrush(0x0000FF);
             HGDIOBJ old = SelectObject(dc, red);
             SelectObject(dc, GetStockObject(NULL_PEN));
             TPoint pts[] = {{-40, -40}, {40, 40}, {40, -40}};
             Polygon(dc, pts, 3);
             SelectObject(dc, GetStockObject(BLACK_PEN));
             MoveToEx(dc, -40, -40, nullptr);
             LineTo(dc, 40, 40);
             SelectObject(dc, old);
             DeleteObject(red);
         }},
        {"rectangle far larger than the picture",
         {{39, 1, 0, 0x00FF00, 0}, {37, 1}, {43, U(-far), U(-far), U(far), U(far)}},
         [](HDC dc) {
             HBRUSH green = CreateSolidBrush(0x00FF00);
             RECT r{0, 0, 20, 20};
             FillRect(dc, &r, green);
             DeleteObject(green);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto m = LoadEmf(Emf(c.Records));
        ASSERT_EQ(m->GetWidth(), 20);
        TBitmap played(20, 20), direct(20, 20);
        played.GetCanvas()->StretchDraw(TRect(0, 0, 20, 20), m.get());
        c.Direct(direct.GetCanvas()->GetHandle());
        EXPECT_EQ(PixelsOf(played), PixelsOf(direct));
    }
}

namespace {

uint32_t Crc32(const std::string& bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

void PutBE32(std::string& s, uint32_t v) {
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 255));
}

std::string PngChunk(const std::string& type, const std::string& data) {
    std::string s;
    PutBE32(s, static_cast<uint32_t>(data.size()));
    std::string body = type + data;
    s += body;
    PutBE32(s, Crc32(body));
    return s;
}

// A PNG whose header declares `w` x `h` (8-bit RGB) but whose image data is a few bytes.
std::string ShortPng(uint32_t w, uint32_t h) {
    std::string ihdr;
    PutBE32(ihdr, w);
    PutBE32(ihdr, h);
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) +
           PngChunk("IDAT", std::string("\x78\x01\x01\x00\x00\xff\xff\x00\x00\x00\x01", 11)) +
           PngChunk("IEND", "");
}

} // namespace

TEST(PngDecoder, DeclaredSizeFarBeyondTheDataIsRefusedUpFront) {
    std::string big = ShortPng(16384, 16384);
    try {
        DecodePng(reinterpret_cast<const uint8_t*>(big.data()), big.size());
        FAIL() << "decoded";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "PNG image is not valid: image data too short");
    }
    // A small declared size with the same short data gets as far as libpng's own complaint.
    std::string small = ShortPng(4, 4);
    try {
        DecodePng(reinterpret_cast<const uint8_t*>(small.data()), small.size());
        FAIL() << "decoded";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STRNE(e.what(), "PNG image is not valid: image data too short");
    }
}

TEST(JpegDecoder, ShortFileDeclaringAHugeFrameIsTruncatedNotAllocated) {
    TImageData img;
    img.Width = 16;
    img.Height = 16;
    img.Pixels.assign(256, 0x336699);
    std::string jpg = EncodeJpeg(img, 75, false);
    // Declare 16000 x 16000 in the frame header; the data still holds one 16 x 16 frame.
    size_t sof = jpg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    jpg[sof + 5] = static_cast<char>(16000 >> 8);
    jpg[sof + 6] = static_cast<char>(16000 & 255);
    jpg[sof + 7] = static_cast<char>(16000 >> 8);
    jpg[sof + 8] = static_cast<char>(16000 & 255);
    int w = 0, h = 0;
    ASSERT_TRUE(ReadJpegSize(reinterpret_cast<const uint8_t*>(jpg.data()), jpg.size(), w, h));
    EXPECT_EQ(w, 16000);
    try {
        DecodeJpeg(reinterpret_cast<const uint8_t*>(jpg.data()), jpg.size());
        FAIL() << "decoded";
    } catch (const EInvalidGraphic& e) {
        EXPECT_NE(std::string(e.what()).find("truncated"), std::string::npos) << e.what();
    }
}

TEST(MetafileDecoder, FrameBeyondTheCoordinateRangeIsRefused) {
    for (uint32_t left : {0x7FFFFFFEu, 0x7FFFFFF0u}) {
        SCOPED_TRACE(left);
        std::string bytes = Emf({});
        std::memcpy(&bytes[8], &left, 4);  // bounds.left
        std::memcpy(&bytes[12], &left, 4); // bounds.top
        TMetafile m;
        TMemoryStream ms(bytes);
        EXPECT_THROW(m.LoadFromStream(ms), EInvalidGraphic);
        EXPECT_TRUE(m.Empty());
    }
    // The same picture with its origin in range loads.
    std::string bytes = Emf({});
    uint32_t left = 0x7FFFFFFFu - 40;
    std::memcpy(&bytes[8], &left, 4);
    TMetafile m;
    TMemoryStream ms(bytes);
    m.LoadFromStream(ms);
    EXPECT_EQ(m.GetWidth(), 20);
}
