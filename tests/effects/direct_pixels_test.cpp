// The direct drawing of the effects (copies set up once per step, frames composed straight onto the
// destination, dissolve by rows) must draw exactly the pixels of the plain drawing, one transfer per
// part through the work buffer, after every step of every effect.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "effects/effect_tables.h"
#include "effects/transition_steps.h"
#include "tests/effects/effect_test_support.h"

namespace qel {
namespace {

using test::BorderPixel;
using test::kBeyondPixel;
using test::NewPixel;
using test::OldPixel;
using test::TTestSurface;

struct TPixelCase {
    int W, H, Size;
    bool Origin = false; // the destination has a viewport origin
    bool Clip = false;   // the destination has a clip region of two rectangles
    bool Small = false;  // the new picture's surface is smaller than the rectangle
};

std::ostream& operator<<(std::ostream& os, const TPixelCase& c) {
    return os << c.W << "x" << c.H << " size " << c.Size << (c.Origin ? " origin" : "")
              << (c.Clip ? " clip" : "") << (c.Small ? " small source" : "");
}

// One destination with its surroundings and the new picture (bigger than the rectangle).
struct TPlay {
    TPlay(const TPixelCase& c, int effect, bool direct, const TqelRandPoints& table)
        : Dest(c.W + 9, c.H + 7), Source(c.Small ? c.W * 2 / 3 + 1 : c.W + 3, c.Small ? c.H - 1 : c.H + 2),
          Steps(effect, c.W, c.H, c.Size, 500) {
        Source.Fill([&](int x, int y) { return x < c.W && y < c.H ? NewPixel(x, y) : kBeyondPixel; });
        const int left = 4 + (c.Origin ? 2 : 0), top = 3 + (c.Origin ? 1 : 0);
        Dest.Fill([&](int x, int y) {
            const bool inside = x >= left && x < left + c.W && y >= top && y < top + c.H;
            return inside ? OldPixel(x - left, y - top) : BorderPixel(x, y);
        });
        if (c.Origin) SetViewportOrgEx(Dest.DC, 2, 1, nullptr);
        if (c.Clip) {
            HRGN a = CreateRectRgn(0, 0, (c.W + 9) / 2 + 1, c.H + 7);
            HRGN b = CreateRectRgn(0, (c.H + 7) / 3, c.W + 9, (c.H + 7) / 3 + 2);
            CombineRgn(a, a, b, RGN_OR);
            SelectClipRgn(Dest.DC, a);
            DeleteObject(a);
            DeleteObject(b);
        }
        Steps.SetDirectPixels(direct);
        Steps.UseRandPoints(table);
        Steps.Prepare(Dest.DC, 4, 3);
    }
    TTestSurface Dest, Source;
    TqelTransitionSteps Steps;
};

std::string FirstDifference(const TTestSurface& a, const TTestSurface& b) {
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y))
                return "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    return "";
}

const TqelRandPoints& Table() {
    static const TqelRandPoints table = [] {
        EffectRandSeed(4242);
        return TqelRandPoints();
    }();
    return table;
}

class DirectPixels : public ::testing::TestWithParam<TPixelCase> {};

TEST_P(DirectPixels, EveryStepOfEveryEffectDrawsThePlainPixels) {
    const TPixelCase c = GetParam();
    for (int effect = 0; effect < qelDrawnEffectCount + 4; ++effect) {
        if (effect == qtfNone || effect == qtfCut) continue; // nothing to draw
        TPlay plain(c, effect, false, Table()), direct(c, effect, true, Table());
        ASSERT_TRUE(direct.Steps.DirectPixels());
        int step = 0;
        while (plain.Steps.HasMoreSteps()) {
            ASSERT_TRUE(direct.Steps.HasMoreSteps()) << EffectDisplayName(effect);
            plain.Steps.DrawStep(plain.Dest.DC, plain.Source.DC);
            direct.Steps.DrawStep(direct.Dest.DC, direct.Source.DC);
            ASSERT_EQ(FirstDifference(plain.Dest, direct.Dest), "")
                << EffectDisplayName(effect) << ", step " << step;
            ++step;
        }
        EXPECT_FALSE(direct.Steps.HasMoreSteps()) << EffectDisplayName(effect);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, DirectPixels,
                         ::testing::Values(TPixelCase{1, 1, 8}, TPixelCase{7, 3, 1},
                                           TPixelCase{33, 17, 8, true}, TPixelCase{130, 70, 8},
                                           TPixelCase{50, 81, 3, false, true},
                                           TPixelCase{140, 61, 200, true, true}, TPixelCase{20, 12, INT_MAX},
                                           TPixelCase{90, 50, 8, false, false, true}));

// The dissolve drawn by rows reveals the union of the step's squares in every tile (tiles clipped at the
// right and bottom edges), and nothing else.
TEST(DirectPixelsDissolve, AStepRevealsExactlyItsCellsInEveryTile) {
    const TPixelCase c{300, 140, 4};
    TPlay play(c, qtfDissolve, true, Table());
    play.Steps.DrawStep(play.Dest.DC, play.Source.DC);
    const TqelRandPoints& t = Table();
    for (int y = 0; y < c.H; ++y)
        for (int x = 0; x < c.W; ++x) {
            bool covered = false;
            for (int p = 0; p < 128 && !covered; ++p) {
                const int dx = (x - t.CellX[size_t(p)]) % 128, dy = (y - t.CellY[size_t(p)]) % 128;
                covered = x >= t.CellX[size_t(p)] && y >= t.CellY[size_t(p)] && dx < 4 && dy < 4;
            }
            const uint32_t expected = covered ? NewPixel(x, y) : OldPixel(x, y);
            ASSERT_EQ(play.Dest.Pixel(4 + x, 3 + y), expected) << x << "," << y;
        }
}

} // namespace
} // namespace qel
