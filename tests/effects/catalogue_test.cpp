#include <gtest/gtest.h>

#include <set>
#include <string>

#include "effects/effect_tables.h"
#include "effects/transition_effects.h"

namespace qel {
namespace {

TEST(EffectCatalogue, HasTheOrdinalsStoredInFormFiles) {
    EXPECT_EQ(qelEffectCount, 137);
    EXPECT_EQ(EnumInfo<TqelTransitionEffect>().Count(), 137);
    struct {
        int Ordinal;
        const char* Identifier;
    } const fixed[] = {
        {0, "qtfSkipHorizontal"},
        {9, "qtfDissolve"},
        {14, "qtfPourDown"},
        {18, "qtfQuadCover"},
        {27, "qtfQuadShrinkCopy"},
        {28, "qtfShapeSawtooth"},
        {35, "qtfShapeSpiralAntiClockWise"},
        {36, "qtfFoldDown"},
        {42, "qtfUnfoldDown"},
        {48, "qtfSquashDown"},
        {54, "qtfUnSquashDown"},
        {60, "qtfShrinkLeftDown"},
        {65, "qtfExpandLeftDown"},
        {70, "qtfZoomIn"},
        {80, "qtfPushDown"},
        {84, "qtfCoverDown"},
        {92, "qtfCoverCenterHorzIn"},
        {96, "qtfUncoverDown"},
        {104, "qtfUncoverCenterHorzIn"},
        {108, "qtfWipeDown"},
        {112, "qtfWipeLeftDown"},
        {116, "qtfWipeRectLeftDown"},
        {120, "qtfCropLeftDown"},
        {124, "qtfWipeCenterHorzIn"},
        {128, "qtfWipeClockwise"},
        {129, "qtfWipeAntiClockwise"},
        {130, "qtfNone"},
        {131, "qtfCut"},
        {132, "qtfCutThroughBlack"},
        {133, "qtfFadeThroughBlack"},
        {134, "qtfRandom"},
        {135, "qtfSelectionRandom"},
        {136, "qtfSelectionSequence"},
    };
    for (const auto& f : fixed) EXPECT_EQ(EffectIdentifier(f.Ordinal), f.Identifier) << f.Ordinal;
    EXPECT_EQ(EffectIdentifier(137), "");
    EXPECT_EQ(EffectIdentifier(-1), "");
}

TEST(EffectCatalogue, DisplayNames) {
    struct {
        int Effect;
        const char* Name;
    } const names[] = {
        {qtfSkipHorizontal, "Skip Horizontal"},
        {qtfCoverCenterHorzIn, "Cover Center Horz In"},
        {qtfCutThroughBlack, "Cut Through Black"},
        {qtfSelectionSequence, "Selection Sequence"},
        {qtfShapeStarBurst, "Shape StarBurst"},
        {qtfShapeBroadStar, "Shape BroadStar"},
        {qtfShapeSpiralAntiClockWise, "Shape Spiral AntiClockWise"},
        {qtfShapeSpiralClockwise, "Shape Spiral Clockwise"},
        {qtfWipeAntiClockwise, "Wipe AntiClockwise"},
        {qtfUnSquashDown, "UnSquash Down"},
        {qtfUnSquashCenterVert, "UnSquash Center Vert"},
        {qtfShapeLens1, "Shape Lens1"},
        {qtfWipeRectRightUp, "Wipe Rect Right Up"},
        {qtfNone, "None"},
        {qtfFadeThroughBlack, "Fade Through Black"},
    };
    for (const auto& n : names) {
        EXPECT_EQ(EffectDisplayName(n.Effect), n.Name);
        EXPECT_EQ(EffectByDisplayName(n.Name), n.Effect);
    }
    std::set<std::string> all;
    for (int e = 0; e < qelEffectCount; ++e) {
        const std::string& name = EffectDisplayName(e);
        EXPECT_FALSE(name.empty());
        EXPECT_EQ(name.find("qtf"), std::string::npos);
        all.insert(name);
    }
    EXPECT_EQ(all.size(), 137u);
    EXPECT_EQ(EffectDisplayName(200), "");
    EXPECT_EQ(EffectByDisplayName("Skip horizontal"), -1);
}

TEST(EffectCatalogue, EffectUsesSize) {
    const std::set<int> without = {qtfSkipRectangles,
                                   qtfShapeSawtooth,
                                   qtfShapeStarBurst,
                                   qtfShapeBroadStar,
                                   qtfShapeParallelogram,
                                   qtfShapeLens1,
                                   qtfShapeLens2,
                                   qtfShapeSpiralClockwise,
                                   qtfShapeSpiralAntiClockWise,
                                   qtfWipeClockwise,
                                   qtfWipeAntiClockwise,
                                   qtfNone,
                                   qtfCut,
                                   qtfCutThroughBlack,
                                   qtfFadeThroughBlack};
    for (int e = 0; e < qelEffectCount; ++e) EXPECT_EQ(EffectUsesSize(e), !without.count(e)) << e;
    EXPECT_TRUE(EffectUsesSize(qtfRandom));
    EXPECT_TRUE(EffectUsesSize(qtfSelectionSequence));
    EXPECT_FALSE(EffectUsesSize(-1));
    EXPECT_FALSE(EffectUsesSize(137));
}

TEST(DissolveTable, IsARandomOrderOfEveryCellAndRow) {
    EffectRandSeed(12345);
    TqelRandPoints table;
    std::set<int> rows(table.RowOrder.begin(), table.RowOrder.end());
    EXPECT_EQ(rows.size(), 128u);
    std::set<int> cells;
    for (int k = 0; k < TqelRandPoints::CellCount; ++k) cells.insert(table.CellX[k] * 128 + table.CellY[k]);
    EXPECT_EQ(cells.size(), 16384u);
    // Random, not the grid in order: the first 128 cells are not one column or one row.
    std::set<int> firstXs(table.CellX.begin(), table.CellX.begin() + 128);
    EXPECT_GT(firstXs.size(), 32u);
    bool rowsInOrder = true;
    for (int r = 0; r < 128; ++r) rowsInOrder = rowsInOrder && table.RowOrder[r] == r;
    EXPECT_FALSE(rowsInOrder);
    // A different seed gives a different order; the process table exists once.
    EffectRandSeed(54321);
    TqelRandPoints other;
    EXPECT_NE(other.CellX, table.CellX);
    EXPECT_EQ(&TqelRandPoints::Instance(), &TqelRandPoints::Instance());
}

TEST(FadePatterns, BlackPixels) {
    int counts[5] = {};
    for (int p = 1; p <= 4; ++p)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) counts[p] += FadePatternBlack(p, x, y);
    EXPECT_EQ(counts[1], 16);
    EXPECT_EQ(counts[2], 16);
    EXPECT_EQ(counts[3], 32);
    EXPECT_EQ(counts[4], 48);
    EXPECT_TRUE(FadePatternBlack(1, 1, 3));
    EXPECT_FALSE(FadePatternBlack(1, 1, 2));
    EXPECT_TRUE(FadePatternBlack(2, 0, 2));
    EXPECT_TRUE(FadePatternBlack(3, 1, 1));
    EXPECT_TRUE(FadePatternBlack(3, 2, 4));
    EXPECT_FALSE(FadePatternBlack(3, 1, 2));
    EXPECT_FALSE(FadePatternBlack(4, 3, 5));
    EXPECT_TRUE(FadePatternBlack(4, 3, 4));
    EXPECT_EQ(CreateFadePatternBrush(0), nullptr);
    EXPECT_EQ(CreateFadePatternBrush(5), nullptr);
}

TEST(EffectRandom, StaysInRange) {
    EffectRandSeed(7);
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        int v = EffectRandom(10);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 10);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 10u);
    EXPECT_EQ(EffectRandom(0), 0);
    EXPECT_EQ(EffectRandom(-3), 0);
}

} // namespace
} // namespace qel
