#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <set>
#include <string>

#include "effects/effect_tables.h"
#include "effects/transition_engine.h"
#include "effects/transition_steps.h"
#include "tests/effects/effect_test_support.h"

namespace qel {
namespace {

using test::BorderPixel;
using test::kBeyondPixel;
using test::NewPixel;
using test::OldPixel;
using test::TTestSurface;

// A destination showing the old picture in a rectangle with surroundings, and a source holding the new
// picture (plus pixels beyond its size that must never be copied).
struct TScene {
    TScene(int w, int h, int dx = 3, int dy = 2, int vx = 0, int vy = 0)
        : W(w), H(h), DX(dx), DY(dy), VX(vx), VY(vy), Dest(w + dx + vx + 4, h + dy + vy + 3),
          Source(w + 5, h + 5) {
        Source.Fill([&](int x, int y) { return x < W && y < H ? NewPixel(x, y) : kBeyondPixel; });
        Dest.Fill(
            [&](int x, int y) { return Inside(x, y) ? OldPixel(x - Left(), y - Top()) : BorderPixel(x, y); });
        if (vx || vy) SetViewportOrgEx(Dest.DC, vx, vy, nullptr);
    }
    int Left() const { return DX + VX; } // device position of the rectangle
    int Top() const { return DY + VY; }
    bool Inside(int x, int y) const { return x >= Left() && x < Left() + W && y >= Top() && y < Top() + H; }
    // Effect coordinates.
    uint32_t At(int x, int y) const { return Dest.Pixel(Left() + x, Top() + y); }
    bool IsNew(int x, int y) const { return At(x, y) == NewPixel(x, y); }
    bool IsOld(int x, int y) const { return At(x, y) == OldPixel(x, y); }

    // The first pixel outside the rectangle that changed, as text; "" when none did.
    std::string OutsideChange() const {
        for (int y = 0; y < Dest.Height(); ++y)
            for (int x = 0; x < Dest.Width(); ++x)
                if (!Inside(x, y) && Dest.Pixel(x, y) != BorderPixel(x, y))
                    return "(" + std::to_string(x) + "," + std::to_string(y) + ")";
        return "";
    }
    // The first pixel of the rectangle that is not the new picture; "" when all are.
    std::string NotNew() const {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (!IsNew(x, y)) return "(" + std::to_string(x) + "," + std::to_string(y) + ")";
        return "";
    }
    int CountNew() const {
        int n = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) n += IsNew(x, y);
        return n;
    }
    bool AllOld() const {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (!IsOld(x, y)) return false;
        return true;
    }

    int W, H, DX, DY, VX, VY;
    TTestSurface Dest;
    TTestSurface Source;
};

std::unique_ptr<TqelTransitionSteps> Prepare(TScene& s, int effect, int size, int speed = 500) {
    auto steps = std::make_unique<TqelTransitionSteps>(effect, s.W, s.H, size, speed);
    steps->Prepare(s.Dest.DC, s.DX, s.DY);
    return steps;
}

void Step(TScene& s, TqelTransitionSteps& steps) {
    steps.DrawStep(s.Dest.DC, s.Source.DC);
}

// ---- every effect, several sizes --------------------------------------------------------------------------

struct TSizeCase {
    int W, H, S;
    int VX = 0, VY = 0;
    bool WithClip = false;
};

class AllEffects : public ::testing::TestWithParam<TSizeCase> {};

TEST_P(AllEffects, EndOnTheNewPictureAndNeverDrawOutside) {
    const TSizeCase c = GetParam();
    EffectRandSeed(99);
    for (int requested = 0; requested < qelEffectCount; ++requested) {
        SCOPED_TRACE(EffectDisplayName(requested));
        TScene s(c.W, c.H, 3, 2, c.VX, c.VY);
        HRGN clip = nullptr;
        if (c.WithClip) {
            clip = CreateRectRgn(0, 0, s.Dest.Width(), s.Dest.Height());
            SelectClipRgn(s.Dest.DC, clip);
        }
        const TqelEffectSelection selection = {qtfWipeDown, qtfShapeLens2};
        int index = -1;
        const int effect = ResolveEffect(requested, &selection, &index);
        auto steps = Prepare(s, effect, c.S);
        const int interval = steps->Interval();
        EXPECT_GE(interval, 0);
        EXPECT_LE(interval, 2 * 65535);
        int n = 0;
        while (steps->HasMoreSteps()) {
            Step(s, *steps);
            ASSERT_LT(++n, 100000) << "the effect does not end";
            if (n % 7 == 1) {
                ASSERT_EQ(s.OutsideChange(), "") << "step " << n;
            }
        }
        EXPECT_EQ(steps->StepsDrawn(), n);
        EXPECT_EQ(TqelTransitionSteps::CountSteps(effect, c.W, c.H, c.S, 500), n);
        ASSERT_EQ(s.OutsideChange(), "");
        steps->DrawFinalFrame(s.Dest.DC, s.Source.DC);
        EXPECT_EQ(s.NotNew(), "");
        EXPECT_EQ(s.OutsideChange(), "");
        // The destination's clipping is as it was.
        HRGN now = CreateRectRgn(0, 0, 0, 0);
        const int had = GetClipRgn(s.Dest.DC, now);
        if (c.WithClip) {
            EXPECT_EQ(had, 1);
            EXPECT_TRUE(EqualRgn(now, clip));
        } else {
            EXPECT_EQ(had, 0);
        }
        DeleteObject(now);
        if (clip) DeleteObject(clip);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, AllEffects,
                         ::testing::Values(TSizeCase{1, 1, 8}, TSizeCase{3, 5, 8}, TSizeCase{7, 3, 8},
                                           TSizeCase{33, 17, 8}, TSizeCase{100, 60, 10, -2, 3, true},
                                           TSizeCase{64, 64, 8}, TSizeCase{41, 23, 1}, TSizeCase{50, 81, 3},
                                           TSizeCase{20, 12, INT_MAX}, TSizeCase{2, 9, 2, 1, 1, true}),
                         [](const ::testing::TestParamInfo<TSizeCase>& info) {
                             const TSizeCase& c = info.param;
                             return std::to_string(c.W) + "x" + std::to_string(c.H) + "_S" +
                                    (c.S == INT_MAX ? std::string("Max") : std::to_string(c.S)) +
                                    (c.WithClip ? "_clipped" : "");
                         });

// ---- step counts and intervals --------------------------------------------------------------------------

struct TCountCase {
    int Effect, W, H, S, T;
    int Steps, Interval;
};

class StepCounts : public ::testing::TestWithParam<TCountCase> {};

TEST_P(StepCounts, FollowThePreparation) {
    const TCountCase c = GetParam();
    SCOPED_TRACE(EffectDisplayName(c.Effect));
    TqelTransitionSteps steps(c.Effect, c.W, c.H, c.S, c.T);
    steps.Prepare(nullptr, 0, 0);
    EXPECT_EQ(steps.Interval(), c.Interval);
    EXPECT_EQ(TqelTransitionSteps::CountSteps(c.Effect, c.W, c.H, c.S, c.T), c.Steps);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StepCounts,
    ::testing::Values(
        TCountCase{qtfSkipHorizontal, 100, 60, 10, 500, 5, 100},
        TCountCase{qtfSkipVertical, 100, 60, 10, 500, 3, 166},
        TCountCase{qtfSkipHorizontal, 5, 3, 8, 500, 1, 1000},
        TCountCase{qtfSkipRectangles, 100, 60, 10, 500, 16, 33},
        TCountCase{qtfSkipDiagonals, 100, 60, 10, 500, 16, 32},
        TCountCase{qtfSkipDiagonalSquares, 100, 60, 10, 500, 16, 31},
        TCountCase{qtfBoxIn, 100, 60, 10, 500, 2, 166}, TCountCase{qtfBoxOut, 100, 60, 10, 500, 6, 83},
        TCountCase{qtfBlindsHorz, 100, 60, 10, 500, 10, 50},
        TCountCase{qtfBlindsVert, 100, 60, 8, 500, 8, 62}, TCountCase{qtfBlindsHorz, 5, 3, 8, 500, 3, 62},
        TCountCase{qtfDissolve, 100, 60, 10, 500, 128, 3},
        TCountCase{qtfDissolveHorz, 300, 200, 8, 1000, 128, 7},
        TCountCase{qtfPourDown, 100, 60, 10, 500, 6, 83}, TCountCase{qtfPourLeft, 100, 60, 10, 500, 10, 50},
        TCountCase{qtfQuadCover, 100, 60, 10, 500, 2, 166},
        TCountCase{qtfQuadUncover, 100, 60, 10, 500, 3, 166},
        TCountCase{qtfQuadWipeOut, 100, 60, 10, 500, 5, 166},
        TCountCase{qtfQuadExpand, 100, 60, 10, 500, 1, 333},
        TCountCase{qtfQuadShrink, 100, 60, 10, 500, 1, 333},
        TCountCase{qtfShapeSawtooth, 100, 60, 10, 500, 240, 2},
        TCountCase{qtfShapeLens1, 100, 60, 10, 500, 100, 5}, TCountCase{qtfFoldDown, 100, 60, 10, 500, 6, 83},
        TCountCase{qtfFoldLeft, 100, 60, 10, 500, 9, 50},
        TCountCase{qtfFoldCenterHorz, 100, 60, 10, 500, 4, 100},
        TCountCase{qtfUnfoldCenterHorz, 100, 60, 10, 500, 5, 100},
        TCountCase{qtfShrinkLeftDown, 100, 60, 10, 500, 5, 83},
        TCountCase{qtfShrinkCenter, 100, 60, 10, 500, 2, 166},
        TCountCase{qtfExpandCenter, 100, 60, 10, 500, 6, 83}, TCountCase{qtfZoomIn, 100, 60, 10, 500, 1, 665},
        TCountCase{qtfZoomOut, 100, 60, 10, 500, 64, 7}, TCountCase{qtfZoomDown, 100, 60, 10, 500, 2, 333},
        TCountCase{qtfZoomLeftUp, 100, 60, 10, 500, 2, 333},
        TCountCase{qtfZoomLeftDown, 100, 60, 10, 500, 2, 333},
        TCountCase{qtfZoomLeftUp, 300, 100, 8, 500, 4, 160},
        TCountCase{qtfZoomLeftDown, 300, 100, 8, 500, 4, 160},
        TCountCase{qtfPushDown, 100, 60, 10, 500, 5, 83}, TCountCase{qtfPushLeft, 100, 60, 10, 500, 9, 50},
        TCountCase{qtfCoverLeftDown, 100, 60, 10, 500, 5, 83},
        TCountCase{qtfWipeCenterHorzIn, 100, 60, 10, 500, 4, 100},
        TCountCase{qtfWipeCenterHorzOut, 100, 60, 10, 500, 5, 100},
        TCountCase{qtfWipeCenterVertOut, 100, 60, 10, 500, 3, 166},
        TCountCase{qtfWipeDown, 100, 60, 10, 500, 7, 83}, TCountCase{qtfWipeLeft, 100, 60, 10, 500, 10, 50},
        TCountCase{qtfWipeLeftDown, 100, 60, 10, 500, 16, 31},
        TCountCase{qtfWipeRectLeftDown, 100, 60, 10, 500, 5, 83},
        TCountCase{qtfWipeClockwise, 100, 60, 10, 500, 16, 31},
        TCountCase{qtfCutThroughBlack, 100, 60, 10, 500, 2, 250},
        TCountCase{qtfFadeThroughBlack, 100, 60, 10, 500, 8, 62}, TCountCase{qtfNone, 100, 60, 10, 500, 0, 0},
        TCountCase{qtfCut, 100, 60, 10, 500, 0, 0}, TCountCase{qtfRandom, 100, 60, 10, 500, 0, 0},
        // Large sizes: 64-bit arithmetic and the interval limited to twice the longest speed.
        TCountCase{qtfBoxIn, 100, 100, INT_MAX, 65535, 0, 131070},
        TCountCase{qtfZoomIn, 100, 100, INT_MAX, 65535, 1, 131070}));

// ---- the edge cases of the families ---------------------------------------------------------------------

TEST(EffectSteps, BlindsRevealEveryEighthRowPerStep) {
    TScene s(20, 30);
    auto steps = Prepare(s, qtfBlindsHorz, 8);
    Step(s, *steps);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 20; ++x) EXPECT_EQ(s.IsNew(x, y), y % 8 == 0) << x << "," << y;
    Step(s, *steps);
    EXPECT_TRUE(s.IsNew(5, 9));
    EXPECT_TRUE(s.IsOld(5, 10));
    int n = 2;
    while (steps->HasMoreSteps()) Step(s, *steps), ++n;
    EXPECT_EQ(n, 8);
    EXPECT_EQ(s.NotNew(), "");
}

TEST(EffectSteps, SkipFillsEvenStripsFromTheLeftAndOddStripsFromTheRight) {
    TScene s(100, 4);
    auto steps = Prepare(s, qtfSkipHorizontal, 10);
    EXPECT_EQ(steps->Interval(), 2 * 500 / 10);
    for (int k = 0; k < 5; ++k) {
        Step(s, *steps);
        for (int strip = 0; strip < 10; ++strip) {
            const bool even = strip % 2 == 0;
            const bool shown = even ? strip / 2 <= k : (9 - strip) / 2 <= k;
            EXPECT_EQ(s.IsNew(strip * 10 + 5, 1), shown) << "step " << k << " strip " << strip;
        }
    }
    EXPECT_FALSE(steps->HasMoreSteps());
}

TEST(EffectSteps, WipeDownShowsNothingInItsFirstStep) {
    TScene s(30, 40);
    auto steps = Prepare(s, qtfWipeDown, 8);
    Step(s, *steps);
    EXPECT_TRUE(s.AllOld());
    Step(s, *steps);
    EXPECT_TRUE(s.IsNew(3, 7));
    EXPECT_TRUE(s.IsOld(3, 8));
}

TEST(EffectSteps, QuadWipeOutOnAWideRectangleStartsUnchanged) {
    TScene s(300, 100);
    auto steps = Prepare(s, qtfQuadWipeOut, 8);
    Step(s, *steps);
    EXPECT_TRUE(s.AllOld());
    Step(s, *steps);
    EXPECT_TRUE(s.AllOld());
    while (steps->HasMoreSteps()) Step(s, *steps);
    EXPECT_TRUE(s.IsNew(150, 50)); // the centre shows the new picture before the final frame
}

TEST(EffectSteps, DissolveCoversTilesClippedAtTheEdges) {
    EffectRandSeed(3);
    TScene s(300, 200);
    auto steps = Prepare(s, qtfDissolve, 1);
    for (int k = 0; k < 64; ++k) Step(s, *steps);
    const int half = s.CountNew();
    // Each step reveals one cell of the 128 x 128 grid in each of the 3 x 2 tiles.
    EXPECT_GT(half, 300 * 200 / 2 - 2000);
    EXPECT_LT(half, 300 * 200 / 2 + 2000);
    while (steps->HasMoreSteps()) Step(s, *steps);
    EXPECT_EQ(s.NotNew(), "");
    EXPECT_EQ(s.OutsideChange(), "");
}

TEST(EffectSteps, DissolveRowsRevealWholeBands) {
    TScene s(50, 300);
    auto steps = Prepare(s, qtfDissolveHorz, 1);
    Step(s, *steps);
    const int row = TqelRandPoints::Instance().RowOrder[0];
    for (int y = 0; y < 300; ++y) EXPECT_EQ(s.IsNew(7, y), y % 128 == row) << y;
}

TEST(EffectSteps, FadeThroughBlackDarkensOnlyItsRectangle) {
    TScene s(16, 8, 5, 3); // an odd offset: the pattern follows the device, not the rectangle
    auto steps = Prepare(s, qtfFadeThroughBlack, 8);
    const int expectedBlack[4] = {32, 64, 64, 128};
    for (int k = 0; k < 4; ++k) {
        Step(s, *steps);
        int black = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) {
                const uint32_t p = s.At(x, y);
                if (p == 0)
                    ++black;
                else
                    EXPECT_EQ(p, OldPixel(x, y));
            }
        EXPECT_EQ(black, expectedBlack[k]) << "step " << k;
        ASSERT_EQ(s.OutsideChange(), "");
    }
    // Step 0 used pattern 1: black where the device coordinates are both odd.
    // Steps 4..7 show the new picture through patterns 4, 3, 2, 1.
    const int shown[4] = {32, 64, 96, 96};
    for (int k = 0; k < 4; ++k) {
        Step(s, *steps);
        EXPECT_EQ(s.CountNew(), shown[k]) << "step " << 4 + k;
        ASSERT_EQ(s.OutsideChange(), "");
    }
    // The last frame: the new picture wherever pattern 1 keeps it (the work buffer's own origin).
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(s.IsNew(x, y), !FadePatternBlack(1, x, y));
}

TEST(EffectSteps, FadeFirstStepFollowsTheDevicePattern) {
    TScene s(8, 8, 5, 3);
    auto steps = Prepare(s, qtfFadeThroughBlack, 8);
    Step(s, *steps);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(s.At(x, y) == 0, FadePatternBlack(1, x + s.Left(), y + s.Top())) << x << "," << y;
}

TEST(EffectSteps, CutThroughBlackShowsBlackThenTheNewPicture) {
    TScene s(10, 6);
    auto steps = Prepare(s, qtfCutThroughBlack, 8);
    Step(s, *steps);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(s.At(x, y), 0u);
    EXPECT_EQ(s.OutsideChange(), "");
    Step(s, *steps);
    EXPECT_EQ(s.NotNew(), "");
    EXPECT_FALSE(steps->HasMoreSteps());
}

TEST(EffectSteps, ClockWipeSweepsAroundTheCentre) {
    TScene s(80, 60);
    auto steps = Prepare(s, qtfWipeClockwise, 8);
    for (int k = 0; k < 8; ++k) Step(s, *steps);
    // Half way the sweep went from the top centre over the right to the bottom centre.
    EXPECT_TRUE(s.IsNew(60, 30));
    EXPECT_TRUE(s.IsNew(70, 5));
    EXPECT_TRUE(s.IsOld(20, 30));
    EXPECT_TRUE(s.IsOld(10, 55));
    for (int k = 0; k < 8; ++k) Step(s, *steps);
    EXPECT_FALSE(steps->HasMoreSteps());
    EXPECT_EQ(s.NotNew(), "");
}

TEST(EffectSteps, AnticlockwiseSweepsTheOtherWay) {
    TScene s(80, 60);
    auto steps = Prepare(s, qtfWipeAntiClockwise, 8);
    for (int k = 0; k < 8; ++k) Step(s, *steps);
    EXPECT_TRUE(s.IsNew(20, 30));
    EXPECT_TRUE(s.IsOld(60, 30));
}

TEST(EffectSteps, SawtoothStartsAtTheCentre) {
    TScene s(100, 80);
    auto steps = Prepare(s, qtfShapeSawtooth, 8);
    Step(s, *steps);
    EXPECT_TRUE(s.IsNew(50, 40));
    EXPECT_TRUE(s.IsOld(2, 2));
}

TEST(EffectSteps, PourDownSmearsTheBottomBandUpward) {
    TScene s(12, 40);
    auto steps = Prepare(s, qtfPourDown, 8);
    Step(s, *steps);
    for (int y = 0; y < 40; ++y) EXPECT_EQ(s.At(4, y), NewPixel(4, 32 + y % 8)) << y;
}

TEST(EffectSteps, BoxInRevealsTheBorderBands) {
    TScene s(60, 60);
    auto steps = Prepare(s, qtfBoxIn, 10);
    Step(s, *steps);
    EXPECT_TRUE(s.IsNew(0, 30));
    EXPECT_TRUE(s.IsNew(9, 30));
    EXPECT_TRUE(s.IsOld(10, 30));
    EXPECT_TRUE(s.IsNew(59, 30));
    EXPECT_TRUE(s.IsOld(49, 30));
    EXPECT_TRUE(s.IsNew(30, 0));
    EXPECT_TRUE(s.IsNew(30, 59));
}

TEST(EffectSteps, PushDownMovesTheOldPictureDown) {
    TScene s(10, 40);
    auto steps = Prepare(s, qtfPushDown, 8);
    Step(s, *steps);
    EXPECT_EQ(s.At(3, 0), NewPixel(3, 32));
    EXPECT_EQ(s.At(3, 7), NewPixel(3, 39));
    EXPECT_EQ(s.At(3, 8), OldPixel(3, 0));
    EXPECT_EQ(s.At(3, 39), OldPixel(3, 31));
}

TEST(EffectSteps, UncoverLeftDownSlidesTheOldPicture) {
    TScene s(40, 40);
    auto steps = Prepare(s, qtfUncoverLeftDown, 8);
    Step(s, *steps);
    EXPECT_TRUE(s.IsNew(20, 3));  // the top band
    EXPECT_TRUE(s.IsNew(35, 20)); // the right band
    EXPECT_EQ(s.At(0, 8), OldPixel(8, 0));
    EXPECT_EQ(s.At(20, 30), OldPixel(28, 22));
}

TEST(EffectSteps, WipeRectStopsGrowingOnceTerminated) {
    TScene s(40, 40);
    auto steps = Prepare(s, qtfWipeRectRightDown, 8);
    steps->SetTerminatedQuery([] { return true; });
    Step(s, *steps);
    EXPECT_EQ(steps->State().EX, 8);
    EXPECT_TRUE(s.IsNew(7, 7));
    EXPECT_TRUE(s.IsOld(8, 8));
}

TEST(EffectSteps, ZoomOutShowsOnlyTheOldPictureScaled) {
    TScene s(64, 32);
    auto steps = Prepare(s, qtfZoomOut, 8);
    while (steps->HasMoreSteps()) Step(s, *steps);
    EXPECT_EQ(s.CountNew(), 0);
    EXPECT_EQ(s.OutsideChange(), "");
}

TEST(EffectSteps, UnpreparedStepsDrawNothing) {
    TScene s(10, 10);
    TqelTransitionSteps steps(qtfWipeDown, 10, 10, 8, 500);
    EXPECT_FALSE(steps.HasMoreSteps());
    steps.DrawStep(s.Dest.DC, s.Source.DC);
    EXPECT_TRUE(s.AllOld());
    EXPECT_EQ(steps.StepsDrawn(), 0);
}

// ---- resolving the requested effect -----------------------------------------------------------------------

TEST(ResolveEffect, SelectionSequenceWrapsAround) {
    const TqelEffectSelection sel = {84, 85};
    int index = -1;
    EXPECT_EQ(ResolveEffect(qtfSelectionSequence, &sel, &index), 84);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(ResolveEffect(qtfSelectionSequence, &sel, &index), 85);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(ResolveEffect(qtfSelectionSequence, &sel, &index), 84);
    EXPECT_EQ(index, 0);
}

TEST(ResolveEffect, IndexOutsideTheSelectionStartsOver) {
    const TqelEffectSelection sel = {84, 85};
    int index = 7;
    EXPECT_EQ(ResolveEffect(qtfSelectionSequence, &sel, &index), 84);
    EXPECT_EQ(index, 0);
    index = -5;
    EXPECT_EQ(ResolveEffect(qtfSelectionSequence, &sel, &index), 84);
    EXPECT_EQ(index, 0);
}

TEST(ResolveEffect, EmptyOrMissingSelectionPlaysNone) {
    const TqelEffectSelection empty;
    int index = 3;
    EXPECT_EQ(ResolveEffect(qtfSelectionRandom, &empty, &index), qtfNone);
    EXPECT_EQ(ResolveEffect(qtfSelectionSequence, &empty, &index), qtfNone);
    EXPECT_EQ(ResolveEffect(qtfSelectionSequence, nullptr, &index), qtfNone);
    EXPECT_EQ(index, 3);
}

TEST(ResolveEffect, ElementsOutsideTheCatalogue) {
    const TqelEffectSelection bad = {200};
    const TqelEffectSelection minus = {-1};
    const TqelEffectSelection random = {qtfRandom};
    EXPECT_EQ(ResolveEffect(qtfSelectionRandom, &bad, nullptr), qtfNone);
    EXPECT_EQ(ResolveEffect(qtfSelectionRandom, &minus, nullptr), qtfNone);
    EXPECT_EQ(ResolveEffect(qtfSelectionRandom, &random, nullptr), qtfRandom);
    // qtfRandom taken from a selection plays like a cut: no steps.
    EXPECT_EQ(TqelTransitionSteps::CountSteps(qtfRandom, 50, 50, 8, 500), 0);
    EXPECT_EQ(ResolveEffect(qtfSelectionSequence, &bad, nullptr), qtfNone);
}

TEST(ResolveEffect, RandomPicksAnyDrawnEffectOrACutNeverTheFade) {
    EffectRandSeed(1);
    std::set<int> seen;
    for (int i = 0; i < 5000; ++i) {
        const int e = ResolveEffect(qtfRandom, nullptr, nullptr);
        ASSERT_GE(e, 0);
        ASSERT_LE(e, qtfCutThroughBlack);
        seen.insert(e);
    }
    EXPECT_EQ(seen.size(), 133u);
}

TEST(ResolveEffect, SelectionRandomPicksFromTheSelection) {
    const TqelEffectSelection sel = {3, 50, 129};
    std::set<int> seen;
    for (int i = 0; i < 300; ++i) seen.insert(ResolveEffect(qtfSelectionRandom, &sel, nullptr));
    EXPECT_EQ(seen, (std::set<int>{3, 50, 129}));
}

TEST(ResolveEffect, OtherValuesPassUnchanged) {
    int index = 4;
    EXPECT_EQ(ResolveEffect(qtfBoxIn, nullptr, &index), qtfBoxIn);
    EXPECT_EQ(ResolveEffect(qtfFadeThroughBlack, nullptr, &index), qtfFadeThroughBlack);
    EXPECT_EQ(index, 4);
}

TEST(StartTransition, StartsNothingWithoutCanvasesOrArea) {
    TCanvas a, b;
    const TqelEffectSelection sel = {84, 85};
    int index = -1;
    TqelEffectParams p;
    p.Effect = qtfSelectionSequence;
    p.Selection = &sel;
    p.SelectionIndex = &index;
    p.Source = &a;
    p.Dest = &b;
    p.W = 10;
    p.H = 10;
    struct {
        const char* What;
        void (*Spoil)(TqelEffectParams&);
    } const cases[] = {
        {"no source", [](TqelEffectParams& q) { q.Source = nullptr; }},
        {"no destination", [](TqelEffectParams& q) { q.Dest = nullptr; }},
        {"width 0", [](TqelEffectParams& q) { q.W = 0; }},
        {"height 0", [](TqelEffectParams& q) { q.H = 0; }},
        {"size 0", [](TqelEffectParams& q) { q.Size = 0; }},
        {"negative size", [](TqelEffectParams& q) { q.Size = -4; }},
    };
    for (const auto& c : cases) {
        TqelEffectParams q = p;
        c.Spoil(q);
        EXPECT_EQ(StartTransition(q), nullptr) << c.What;
        EXPECT_EQ(index, -1) << c.What;
    }
}

} // namespace
} // namespace qel
