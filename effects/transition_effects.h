#pragma once
// The catalogue of bitmap transition effects: identifiers (their ordinals are stored in form files and
// never change), display names, and which effects use the effect size.
#include <string>
#include <vector>

#include "platform/core/typeinfo.h"

namespace qel {

// clang-format off
QEL_ENUM(TqelTransitionEffect,
    qtfSkipHorizontal, qtfSkipVertical, qtfSkipRectangles, qtfSkipDiagonals, qtfSkipDiagonalSquares,
    qtfBoxIn, qtfBoxOut, qtfBlindsHorz, qtfBlindsVert, qtfDissolve, qtfDissolveHorz, qtfDissolveVert,
    qtfWindIn, qtfWindOut, qtfPourDown, qtfPourLeft, qtfPourRight, qtfPourUp,
    qtfQuadCover, qtfQuadUncover, qtfQuadWipeIn, qtfQuadWipeOut, qtfQuadUnfold, qtfQuadFold,
    qtfQuadFoldCopy, qtfQuadExpand, qtfQuadShrink, qtfQuadShrinkCopy,
    qtfShapeSawtooth, qtfShapeStarBurst, qtfShapeBroadStar, qtfShapeParallelogram, qtfShapeLens1,
    qtfShapeLens2, qtfShapeSpiralClockwise, qtfShapeSpiralAntiClockWise,
    qtfFoldDown, qtfFoldLeft, qtfFoldRight, qtfFoldUp, qtfFoldCenterHorz, qtfFoldCenterVert,
    qtfUnfoldDown, qtfUnfoldLeft, qtfUnfoldRight, qtfUnfoldUp, qtfUnfoldCenterHorz, qtfUnfoldCenterVert,
    qtfSquashDown, qtfSquashLeft, qtfSquashRight, qtfSquashUp, qtfSquashCenterHorz, qtfSquashCenterVert,
    qtfUnSquashDown, qtfUnSquashLeft, qtfUnSquashRight, qtfUnSquashUp, qtfUnSquashCenterHorz,
    qtfUnSquashCenterVert,
    qtfShrinkLeftDown, qtfShrinkLeftUp, qtfShrinkRightDown, qtfShrinkRightUp, qtfShrinkCenter,
    qtfExpandLeftDown, qtfExpandLeftUp, qtfExpandRightDown, qtfExpandRightUp, qtfExpandCenter,
    qtfZoomIn, qtfZoomOut, qtfZoomDown, qtfZoomLeft, qtfZoomRight, qtfZoomUp, qtfZoomLeftDown,
    qtfZoomLeftUp, qtfZoomRightDown, qtfZoomRightUp,
    qtfPushDown, qtfPushLeft, qtfPushRight, qtfPushUp,
    qtfCoverDown, qtfCoverLeft, qtfCoverRight, qtfCoverUp, qtfCoverLeftDown, qtfCoverLeftUp,
    qtfCoverRightDown, qtfCoverRightUp, qtfCoverCenterHorzIn, qtfCoverCenterHorzOut,
    qtfCoverCenterVertIn, qtfCoverCenterVertOut,
    qtfUncoverDown, qtfUncoverLeft, qtfUncoverRight, qtfUncoverUp, qtfUncoverLeftDown,
    qtfUncoverLeftUp, qtfUncoverRightDown, qtfUncoverRightUp, qtfUncoverCenterHorzIn,
    qtfUncoverCenterHorzOut, qtfUncoverCenterVertIn, qtfUncoverCenterVertOut,
    qtfWipeDown, qtfWipeLeft, qtfWipeRight, qtfWipeUp, qtfWipeLeftDown, qtfWipeLeftUp,
    qtfWipeRightDown, qtfWipeRightUp, qtfWipeRectLeftDown, qtfWipeRectLeftUp, qtfWipeRectRightDown,
    qtfWipeRectRightUp, qtfCropLeftDown, qtfCropLeftUp, qtfCropRightDown, qtfCropRightUp,
    qtfWipeCenterHorzIn, qtfWipeCenterHorzOut, qtfWipeCenterVertIn, qtfWipeCenterVertOut,
    qtfWipeClockwise, qtfWipeAntiClockwise,
    qtfNone, qtfCut, qtfCutThroughBlack, qtfFadeThroughBlack,
    qtfRandom, qtfSelectionRandom, qtfSelectionSequence)
// clang-format on

// Number of identifiers (ordinals 0 .. qelEffectCount - 1).
inline constexpr int qelEffectCount = qtfSelectionSequence + 1;
// Ordinals below this one are the drawn effects.
inline constexpr int qelDrawnEffectCount = qtfNone;

// An effect selection: a list of effect ordinals (as stored in form files; may hold any integer).
using TqelEffectSelection = std::vector<int>;

// Whether `ordinal` names an effect of the catalogue.
inline constexpr bool IsTransitionEffect(int ordinal) {
    return ordinal >= 0 && ordinal < qelEffectCount;
}

// The identifier ("qtfCoverCenterHorzIn"); "" for an ordinal outside the catalogue.
const std::string& EffectIdentifier(int effect);
// The name shown to users ("Cover Center Horz In", "Shape StarBurst", "UnSquash Down"); "" for an ordinal
// outside the catalogue.
const std::string& EffectDisplayName(int effect);
// The effect whose display name is `name` (exact text); -1 when none.
int EffectByDisplayName(const std::string& name);

// Whether the effect size changes how the effect looks (user interfaces enable the size control by it).
bool EffectUsesSize(int effect);

} // namespace qel
