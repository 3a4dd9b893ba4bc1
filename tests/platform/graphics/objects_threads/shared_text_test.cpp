// Text and pictures on several threads at once: the realised fonts and their glyph caches are shared
// between threads, the decoders are not; both must give the same pixels as on one thread.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/graphics/picture.h"

using namespace qel;

namespace {

// Draws a few lines of text with one font into a fresh bitmap and returns its pixels.
std::vector<uint32_t> RenderText(const std::string& face, int height, int escapement, int seed) {
    TBitmap bmp(160, 48);
    TCanvas* c = bmp.GetCanvas();
    c->GetFont()->SetName(face);
    c->GetFont()->SetHeight(height);
    c->GetFont()->SetOrientation(escapement);
    c->GetFont()->SetColor(clBlack);
    c->GetBrush()->SetStyle(bsClear);
    // Characters beyond ASCII too, so both the fast table and the map of the glyph cache fill.
    static const char* lines[] = {"Hello, world 0123", "\xC3\xA9t\xC3\xA9 \xC3\x9F \xE2\x82\xAC 42",
                                  "The quick brown fox"};
    for (int i = 0; i < 3; ++i) c->TextOut(2, 2 + i * 14, lines[(seed + i) % 3]);
    std::vector<uint32_t> out;
    TDibPtr d = bmp.GetDib();
    for (int y = 0; y < d->Height(); ++y)
        for (int x = 0; x < d->Width(); ++x) out.push_back(d->Row(y)[x]);
    return out;
}

TImageData Pattern(int w, int h) {
    TImageData img;
    img.Width = w;
    img.Height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.Pixels.push_back(static_cast<uint32_t>((x * 23) << 16 | (y * 41) << 8 | 7));
    return img;
}

} // namespace

TEST(SharedText, ConcurrentTextOutMatchesSingleThreadedRendering) {
    struct Case {
        const char* Face;
        int Height;
        int Escapement;
    };
    // Fonts that nothing else in this binary realised yet, so the threads race to create them.
    const std::vector<Case> cases = {{"DejaVu Sans", -13, 0},
                                     {"DejaVu Serif", -15, 0},
                                     {"DejaVu Sans Mono", -12, 0},
                                     {"DejaVu Sans", -17, 900}};
    std::vector<std::vector<std::vector<uint32_t>>> results(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round)
                for (size_t i = 0; i < cases.size(); ++i) {
                    const Case& c = cases[(i + t) % cases.size()];
                    results[t].push_back(RenderText(c.Face, c.Height, c.Escapement, t + round));
                }
        });
    for (auto& th : threads) th.join();
    for (int t = 0; t < 4; ++t) {
        ASSERT_EQ(results[t].size(), 3 * cases.size());
        size_t k = 0;
        for (int round = 0; round < 3; ++round)
            for (size_t i = 0; i < cases.size(); ++i) {
                const Case& c = cases[(i + t) % cases.size()];
                EXPECT_EQ(results[t][k++], RenderText(c.Face, c.Height, c.Escapement, t + round))
                    << "thread " << t << " face " << c.Face;
            }
    }
}

TEST(SharedText, PicturesDecodeOnSeveralThreads) {
    const std::string bmp = EncodeBmp(Pattern(12, 9), 24);
    const std::string png = EncodePng(Pattern(10, 7));
    const std::string jpg = EncodeJpeg(Pattern(16, 16), 80, false);
    std::vector<int> failures(3, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                TPicture pic;
                const std::string& bytes = t == 0 ? bmp : t == 1 ? png : jpg;
                TMemoryStream ms(bytes);
                pic.LoadFromStream(ms);
                TBitmap target(8, 8);
                target.GetCanvas()->StretchDraw(TRect(0, 0, 8, 8), pic.GetGraphic());
                if (pic.GetWidth() != (t == 0 ? 12 : t == 1 ? 10 : 16)) ++failures[t];
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures, std::vector<int>(3, 0));
}
