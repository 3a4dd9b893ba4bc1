// Inputs that once misbehaved in the picture decoders and the metafile player, kept as regressions.
#include <gtest/gtest.h>

#include <cstring>
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
