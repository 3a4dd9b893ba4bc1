// The geometry of the drawn effects: what each family prepares, what one step draws and when it ends.
// All arithmetic is integer arithmetic with division truncating toward zero, in 64 bits so that large
// effect sizes cannot overflow.
#include <algorithm>
#include <cmath>

#include "effects/effect_tables.h"
#include "effects/transition_steps.h"

namespace qel {

namespace {

constexpr int64_t CeilDiv(int64_t a, int64_t b) {
    return b <= 0 ? 0 : (a + b - 1) / b;
}

constexpr int64_t kPointLimit = int64_t(1) << 28;

TPoint MakePoint(int64_t x, int64_t y) {
    return {static_cast<int>(std::clamp(x, -kPointLimit, kPointLimit)),
            static_cast<int>(std::clamp(y, -kPointLimit, kPointLimit))};
}

// The four straight directions, in the order the catalogue lists them within a family.
enum TDirection { dirDown, dirLeft, dirRight, dirUp };

bool Between(int effect, int first, int last) {
    return effect >= first && effect <= last;
}

// Angle steps of the spiral shapes, in catalogue order from qtfShapeSawtooth.
constexpr double kShapeAngle[8] = {0.15, 3.0, 4.0, 4.7, 0.7, 5.0, 0.3, 6.0};

// Corners of the clock wipes, in quarters of the width and height.
constexpr int kClockXCw[16] = {3, 4, 4, 4, 4, 4, 3, 2, 1, 0, 0, 0, 0, 0, 1, 2};
constexpr int kClockXAcw[16] = {1, 0, 0, 0, 0, 0, 1, 2, 3, 4, 4, 4, 4, 4, 3, 2};
constexpr int kClockY[16] = {0, 0, 1, 2, 3, 4, 4, 4, 4, 4, 3, 2, 1, 0, 0, 0};

} // namespace

void TqelTransitionSteps::AspectSteps(int64_t d, int64_t& sx, int64_t& sy) const {
    if (FH < FW) {
        sy = d;
        sx = d * FW / FH;
    } else {
        sx = d;
        sy = d * FH / FW;
    }
}

void TqelTransitionSteps::Grow(int64_t d, int64_t& ex, int64_t& ey) const {
    if (FH < FW) {
        ey += d;
        ex = ey * FW / FH;
    } else {
        ex += d;
        ey = ex * FH / FW;
    }
}

TPoint TqelTransitionSteps::CurvePoint(int64_t i) const {
    if (i < 0 || i >= static_cast<int64_t>(FState.Curve.size())) return {0, 0};
    return FState.Curve[static_cast<size_t>(i)];
}

void TqelTransitionSteps::RevealOutline(int64_t o) {
    const int64_t W = FW, H = FH;
    const int64_t top = o == 0 ? W - 1 : W - 2 * o;
    const int64_t left = o == 0 ? H - 1 : H - 2 * o;
    Reveal(o, o, top, 1);
    Reveal(o, o, 1, left);
    Reveal(o, H - 1 - o, top + 1, 1);
    Reveal(W - 1 - o, o, 1, left + 1);
}

void TqelTransitionSteps::Triangle(TPoint a, TPoint b, TPoint c) {
    TPoint pts[3] = {a, b, c};
    ClippedReveal(pts, 3);
}

bool TqelTransitionSteps::ManyCopies() const {
    // Families whose steps consist of nothing but copies of the new picture, many of them.
    switch (FEffect) {
    case qtfSkipDiagonalSquares:
    case qtfBlindsHorz:
    case qtfBlindsVert:
    case qtfDissolve:
    case qtfDissolveHorz:
    case qtfDissolveVert:
    case qtfWindIn:
    case qtfWindOut:
    case qtfPourDown:
    case qtfPourLeft:
    case qtfPourRight:
    case qtfPourUp:
    case qtfShapeSawtooth:
    case qtfWipeLeftDown:
    case qtfWipeLeftUp:
    case qtfWipeRightDown:
    case qtfWipeRightUp: return true;
    default: return false;
    }
}

bool TqelTransitionSteps::ComposesFrames() const {
    // Families that fill the buffer first, and families that cover it with their parts (squash and
    // unsquash centre); a step that would leave part of the buffer as it was is drawn through it.
    switch (FEffect) {
    case qtfSquashCenterHorz:
    case qtfSquashCenterVert:
    case qtfUnSquashCenterHorz:
    case qtfUnSquashCenterVert:
    case qtfQuadUncover:
    case qtfQuadWipeOut:
    case qtfQuadFold:
    case qtfQuadFoldCopy:
    case qtfQuadShrink:
    case qtfQuadShrinkCopy:
    case qtfFoldCenterHorz:
    case qtfFoldCenterVert:
    case qtfUnfoldCenterHorz:
    case qtfUnfoldCenterVert:
    case qtfShrinkLeftDown:
    case qtfShrinkLeftUp:
    case qtfShrinkRightDown:
    case qtfShrinkRightUp:
    case qtfShrinkCenter:
    case qtfUncoverCenterHorzIn:
    case qtfUncoverCenterHorzOut:
    case qtfUncoverCenterVertIn:
    case qtfUncoverCenterVertOut: return true;
    default: return false;
    }
}

void TqelTransitionSteps::DissolveByRows(int64_t k) {
    // A step reveals a square of S x S at (cx + g a, cy + g b) for each of its g cells (cx, cy) and every
    // tile (a, b >= 0). Revealing copies the new picture onto the same place, so only the union of the
    // squares matters, not their order or overlaps: it is revealed here row by row, left to right, which
    // touches each row of both surfaces once instead of once per square.
    const TqelRandPoints& t = *FRand;
    const int64_t g = TqelRandPoints::GridSize, W = FW, H = FH;
    const int64_t sw = std::min<int64_t>(FS, W), sh = std::min<int64_t>(FS, H); // visible square size
    // Rows of a tile's squares, counted from the tile's top; rows at or beyond H are never visible.
    const int64_t rows = std::min<int64_t>(g - 1 + sh, H);
    // Per tile row: the columns cx of the squares that cover it, in a counting sort by row.
    FCellStart.assign(static_cast<size_t>(rows + 1), 0);
    const size_t first = static_cast<size_t>(g * k);
    for (size_t p = first; p < first + size_t(g); ++p) {
        const int64_t cy = t.CellY[p];
        for (int64_t r = cy; r < std::min(cy + sh, rows); ++r) ++FCellStart[size_t(r) + 1];
    }
    for (size_t r = 0; r < size_t(rows); ++r) FCellStart[r + 1] += FCellStart[r];
    FCellRows.resize(size_t(FCellStart[size_t(rows)]));
    {
        std::vector<int32_t> fill(FCellStart.begin(), FCellStart.end() - 1);
        for (size_t p = first; p < first + size_t(g); ++p) {
            const int64_t cy = t.CellY[p];
            for (int64_t r = cy; r < std::min(cy + sh, rows); ++r)
                FCellRows[size_t(fill[size_t(r)]++)] = t.CellX[p];
        }
    }
    for (size_t r = 0; r < size_t(rows); ++r)
        std::sort(FCellRows.begin() + FCellStart[r], FCellRows.begin() + FCellStart[r + 1]);

    for (int64_t y = 0; y < H; ++y) {
        FScratch.clear();
        // Tiles whose squares reach row y: b = y / g and the ones above while their squares still reach.
        for (int64_t b = y / g; b >= 0; --b) {
            const int64_t r = y - g * b;
            if (r >= rows) break;
            const int32_t* cx = FCellRows.data() + FCellStart[size_t(r)];
            const int32_t* cxEnd = FCellRows.data() + FCellStart[size_t(r) + 1];
            if (cx == cxEnd) continue;
            for (int64_t a = 0; g * a < W; ++a) {
                for (const int32_t* c = cx; c != cxEnd; ++c) {
                    const int64_t x0 = *c + g * a;
                    if (x0 >= W) break;
                    const int64_t x1 = std::min(x0 + sw, W);
                    // Squares touching or overlapping the previous run extend it.
                    if (!FScratch.empty() && x0 >= FScratch[FScratch.size() - 2] && x0 <= FScratch.back()) {
                        FScratch.back() = std::max(FScratch.back(), x1);
                    } else {
                        FScratch.push_back(x0);
                        FScratch.push_back(x1);
                    }
                }
            }
        }
        if (FScratch.empty()) continue;
        for (int64_t& x : FScratch) x += FDX; // rectangle -> destination coordinates
        FReveal->CopyRowRuns(y + FDY, FScratch.data(), static_cast<int>(FScratch.size() / 2), -FDX, -FDY);
    }
}

// ---- preparation ----------------------------------------------------------------------------------------

void TqelTransitionSteps::PrepareFamily() {
    const int64_t W = FW, H = FH, S = FS, T = FT, HW = FHW, HH = FHH, MIN = FMin;
    TqelEffectState& st = FState;
    const int e = FEffect;

    switch (e) {
    case qtfSkipHorizontal:
    case qtfSkipVertical: {
        const int64_t D = e == qtfSkipHorizontal ? W : H;
        const int64_t n = D / S;
        st.N = D;
        st.P = 0;
        if (D % S == 0)
            st.Q = n % 2 == 1 ? D - 2 * S : D - S;
        else
            st.Q = n % 2 == 1 ? S * n : S * (n - 1);
        // Wider strips than the rectangle leave no whole strip: one step then reveals everything.
        SetInterval(2 * T / std::max<int64_t>(n, 1));
        break;
    }
    case qtfSkipRectangles: {
        int64_t i = MIN % 2 == 0 ? MIN / 2 + 1 : MIN / 2;
        if (i % 2 == 0) i += 1;
        st.P = 0; // outer inset
        st.Q = i; // inner inset
        st.N = i; // middle
        SetInterval(4 * T / MIN);
        break;
    }
    case qtfSkipDiagonals:
    case qtfSkipDiagonalSquares:
        st.Cols = CeilDiv(W, S);
        st.Rows = CeilDiv(H, S);
        st.N = st.Cols + st.Rows;
        st.K = 0;
        SetInterval(e == qtfSkipDiagonals ? CeilDiv(T, st.N) : T / st.N);
        break;
    case qtfBoxIn:
        AspectSteps(S, st.SX, st.SY);
        st.L = st.SX;
        st.R = W - st.SX;
        st.Tp = st.SY;
        st.B = H - st.SY;
        SetInterval(2 * T * S / MIN);
        break;
    case qtfBoxOut:
    case qtfExpandCenter:
        AspectSteps(S, st.EX, st.EY);
        st.X = (W - st.EX) / 2;
        st.Y = (H - st.EY) / 2;
        SetInterval(T * S / MIN);
        break;
    case qtfBlindsHorz:
    case qtfBlindsVert:
        st.K = 0;
        SetInterval(T / S);
        break;
    case qtfDissolve:
    case qtfDissolveHorz:
    case qtfDissolveVert:
        if (!FRand) FRand = &TqelRandPoints::Instance();
        st.K = 0;
        st.Cols = CeilDiv(W, TqelRandPoints::GridSize);
        st.Rows = CeilDiv(H, TqelRandPoints::GridSize);
        SetInterval(T / 128);
        break;
    case qtfWindIn:
        AspectSteps(S, st.SX, st.SY);
        st.L = -st.SX;
        st.R = W;
        st.Tp = 0;
        st.B = H;
        SetInterval(T * S / MIN);
        break;
    case qtfWindOut:
        AspectSteps(S, st.SX, st.SY);
        st.L = (W - st.SX) / 2;
        st.R = st.L + st.SX;
        st.Tp = (H - st.SY) / 2;
        st.B = st.Tp + st.SY;
        SetInterval(T * S / MIN);
        break;
    case qtfPourDown:
        st.P = H - S;
        SetInterval(T * S / H);
        break;
    case qtfPourUp:
        st.P = 0;
        SetInterval(T * S / H);
        break;
    case qtfPourRight:
        st.P = W - S;
        SetInterval(T * S / W);
        break;
    case qtfPourLeft:
        st.P = 0;
        SetInterval(T * S / W);
        break;
    case qtfQuadCover:
    case qtfQuadWipeIn:
    case qtfQuadUnfold:
        CreateWorkBuffer(true);
        AspectSteps(S, st.EX, st.EY);
        SetInterval(2 * T * S / MIN);
        break;
    case qtfQuadUncover:
    case qtfQuadFold:
    case qtfQuadFoldCopy:
        TakeOldPicture();
        CreateWorkBuffer(false);
        if (H < W) {
            st.EY = HH - S / 2;
            st.EX = st.EY * W / H;
        } else {
            st.EX = HW - S / 2;
            st.EY = st.EX * H / W;
        }
        SetInterval(2 * T * S / MIN);
        break;
    case qtfQuadWipeOut:
        TakeOldPicture();
        CreateWorkBuffer(false);
        if (H < W) {
            st.EY = (W - S) / 2;
            st.EX = st.EY * W / H;
        } else {
            st.EX = (H - S) / 2;
            st.EY = st.EX * H / W;
        }
        SetInterval(2 * T * S / MIN);
        break;
    case qtfQuadExpand:
        CreateWorkBuffer(true);
        AspectSteps(2 * S, st.EX, st.EY);
        if (H < W) {
            st.OY = MIN / 4 - S;
            st.OX = st.OY * W / H;
        } else {
            st.OX = MIN / 4 - S;
            st.OY = st.OX * H / W;
        }
        SetInterval(4 * T * S / MIN);
        break;
    case qtfQuadShrink:
    case qtfQuadShrinkCopy:
        TakeOldPicture();
        CreateWorkBuffer(false);
        if (H < W) {
            st.EY = HH - S;
            st.EX = st.EY * W / H;
        } else {
            st.EX = HW - S;
            st.EY = st.EX * H / W;
        }
        AspectSteps(S, st.OX, st.OY);
        SetInterval(4 * T * S / MIN);
        break;
    case qtfShapeSawtooth:
    case qtfShapeStarBurst:
    case qtfShapeBroadStar:
    case qtfShapeParallelogram:
    case qtfShapeLens1:
    case qtfShapeLens2:
    case qtfShapeSpiralClockwise:
    case qtfShapeSpiralAntiClockWise: {
        const double a = kShapeAngle[e - qtfShapeSawtooth];
        const int count = e == qtfShapeSawtooth ? 4800 : 100;
        std::vector<double> xs(static_cast<size_t>(count)), ys(static_cast<size_t>(count));
        double minX = 0, maxX = 0, minY = 0, maxY = 0;
        for (int i = 0; i < count; ++i) {
            const double theta = i * a;
            const double x = theta * std::cos(theta), y = theta * std::sin(theta);
            xs[static_cast<size_t>(i)] = x;
            ys[static_cast<size_t>(i)] = y;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
        const double extX = std::max(-minX, maxX), extY = std::max(-minY, maxY);
        const double scaleX = extX > 0 ? double(HW) / extX : 0, scaleY = extY > 0 ? double(HH) / extY : 0;
        st.Scale = std::max(scaleX, scaleY);
        st.Curve.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            const double px = std::trunc(xs[static_cast<size_t>(i)] * st.Scale);
            const double py = std::trunc(ys[static_cast<size_t>(i)] * st.Scale);
            st.Curve[static_cast<size_t>(i)] =
                MakePoint(static_cast<int64_t>(px) + HW, static_cast<int64_t>(py) + HH);
        }
        st.K = 0;
        st.Centre = CurvePoint(0);
        st.Previous = st.Centre;
        SetInterval(e == qtfShapeSawtooth ? T / 240 : T / 100);
        break;
    }
    case qtfFoldDown:
    case qtfFoldLeft:
    case qtfFoldRight:
    case qtfFoldUp:
    case qtfSquashDown:
    case qtfSquashLeft:
    case qtfSquashRight:
    case qtfSquashUp:
    case qtfUnSquashDown:
    case qtfUnSquashLeft:
    case qtfUnSquashRight:
    case qtfUnSquashUp:
    case qtfUnfoldDown:
    case qtfUnfoldLeft:
    case qtfUnfoldRight:
    case qtfUnfoldUp: {
        const bool unfold = Between(e, qtfUnfoldDown, qtfUnfoldUp);
        const int first = unfold                                   ? qtfUnfoldDown
                          : Between(e, qtfFoldDown, qtfFoldUp)     ? qtfFoldDown
                          : Between(e, qtfSquashDown, qtfSquashUp) ? qtfSquashDown
                                                                   : qtfUnSquashDown;
        const int dir = e - first;
        if (!unfold) TakeOldPicture();
        st.P = dir == dirDown || dir == dirRight ? 0 : S;
        SetInterval(dir == dirDown || dir == dirUp ? T * S / H : T * S / W);
        break;
    }
    case qtfFoldCenterHorz:
    case qtfFoldCenterVert:
    case qtfSquashCenterHorz:
    case qtfSquashCenterVert: {
        const bool horz = e == qtfFoldCenterHorz || e == qtfSquashCenterHorz;
        TakeOldPicture();
        CreateWorkBuffer(false);
        const int64_t D = horz ? W : H;
        st.P = S;
        st.Q = D - S;
        SetInterval((T * S / D) * 2);
        break;
    }
    case qtfUnfoldCenterHorz:
    case qtfUnfoldCenterVert:
    case qtfUnSquashCenterHorz:
    case qtfUnSquashCenterVert:
    case qtfUncoverCenterHorzOut:
    case qtfUncoverCenterVertOut: {
        const bool horz =
            e == qtfUnfoldCenterHorz || e == qtfUnSquashCenterHorz || e == qtfUncoverCenterHorzOut;
        TakeOldPicture();
        CreateWorkBuffer(false);
        const int64_t D = horz ? W : H, half = horz ? HW : HH;
        st.P = half - S / 2;
        st.Q = S / 2 + half;
        SetInterval((T * S / D) * 2);
        break;
    }
    case qtfShrinkLeftDown:
    case qtfShrinkLeftUp:
    case qtfShrinkRightDown:
    case qtfShrinkRightUp:
        TakeOldPicture();
        CreateWorkBuffer(false);
        AspectSteps(S, st.EX, st.EY);
        SetInterval(T * S / MIN);
        break;
    case qtfShrinkCenter:
        TakeOldPicture();
        CreateWorkBuffer(false);
        AspectSteps(S, st.SX, st.SY);
        st.L = st.SX;
        st.R = W - st.SX;
        st.Tp = st.SY;
        st.B = H - st.SY;
        SetInterval(2 * T * S / MIN);
        break;
    case qtfExpandLeftDown:
    case qtfExpandLeftUp:
    case qtfExpandRightDown:
    case qtfExpandRightUp:
        AspectSteps(S, st.EX, st.EY);
        SetInterval(T * S / MIN);
        break;
    case qtfZoomIn:
        AspectSteps(16 * S, st.SX, st.SY);
        st.L = -2 * W;
        st.R = 3 * W;
        st.Tp = -2 * H;
        st.B = 3 * H;
        SetInterval(T * st.SX / (2 * W));
        break;
    case qtfZoomOut:
        TakeOldPicture();
        AspectSteps(S, st.SX, st.SY);
        st.L = -st.SX;
        st.R = W + st.SX;
        st.Tp = -st.SY;
        st.B = H + st.SY;
        st.K = 0;
        SetInterval(T / 64);
        break;
    case qtfZoomDown:
        st.Tp = -2 * H;
        SetInterval(8 * S * T / (2 * H));
        break;
    case qtfZoomLeft:
        st.P = 3 * W;
        SetInterval(8 * S * T / (2 * W));
        break;
    case qtfZoomRight:
        st.L = -2 * W;
        SetInterval(8 * S * T / (2 * W));
        break;
    case qtfZoomUp:
        st.Q = 3 * H;
        SetInterval(8 * S * T / (2 * H));
        break;
    case qtfZoomLeftDown:
        AspectSteps(8 * S, st.SX, st.SY);
        st.P = 3 * W;
        st.Tp = -2 * H;
        SetInterval(T * st.SY / (2 * H));
        break;
    case qtfZoomLeftUp:
        AspectSteps(8 * S, st.SX, st.SY);
        st.P = 3 * W;
        st.Q = 3 * H;
        SetInterval(T * st.SY / (2 * H));
        break;
    case qtfZoomRightDown:
        AspectSteps(8 * S, st.SX, st.SY);
        st.L = -2 * W;
        st.Tp = -2 * H;
        SetInterval(T * st.SY / (2 * H));
        break;
    case qtfZoomRightUp:
        AspectSteps(8 * S, st.SX, st.SY);
        st.L = -2 * W;
        st.Q = 3 * H;
        SetInterval(T * st.SX / (2 * W));
        break;
    case qtfPushDown:
    case qtfPushLeft:
    case qtfPushRight:
    case qtfPushUp:
    case qtfCoverDown:
    case qtfCoverLeft:
    case qtfCoverRight:
    case qtfCoverUp:
    case qtfUncoverDown:
    case qtfUncoverLeft:
    case qtfUncoverRight:
    case qtfUncoverUp: {
        const int first = Between(e, qtfPushDown, qtfPushUp)     ? qtfPushDown
                          : Between(e, qtfCoverDown, qtfCoverUp) ? qtfCoverDown
                                                                 : qtfUncoverDown;
        const int dir = e - first;
        if (first != qtfCoverDown) TakeOldPicture();
        st.P = S;
        SetInterval(dir == dirDown || dir == dirUp ? T * S / H : T * S / W);
        break;
    }
    case qtfCoverLeftDown:
    case qtfCoverLeftUp:
    case qtfCoverRightDown:
    case qtfCoverRightUp:
    case qtfUncoverLeftDown:
    case qtfUncoverLeftUp:
    case qtfUncoverRightDown:
    case qtfUncoverRightUp:
        if (e >= qtfUncoverLeftDown) TakeOldPicture();
        AspectSteps(S, st.EX, st.EY);
        SetInterval(T * S / MIN);
        break;
    case qtfCoverCenterHorzIn:
    case qtfCoverCenterVertIn:
    case qtfUncoverCenterHorzIn:
    case qtfUncoverCenterVertIn: {
        const bool horz = e == qtfCoverCenterHorzIn || e == qtfUncoverCenterHorzIn;
        if (e == qtfUncoverCenterHorzIn || e == qtfUncoverCenterVertIn) {
            TakeOldPicture();
            CreateWorkBuffer(false);
        }
        st.P = S;
        SetInterval((T * S / (horz ? W : H)) * 2);
        break;
    }
    case qtfCoverCenterHorzOut:
    case qtfCoverCenterVertOut:
    case qtfWipeCenterHorzOut:
    case qtfWipeCenterVertOut: {
        const bool horz = e == qtfCoverCenterHorzOut || e == qtfWipeCenterHorzOut;
        const int64_t half = horz ? HW : HH;
        st.P = half - S / 2;
        st.Q = half + S / 2;
        SetInterval((T * S / (horz ? W : H)) * 2);
        break;
    }
    case qtfWipeDown:
        st.P = -S;
        SetInterval(T * S / H);
        break;
    case qtfWipeLeft:
        st.P = 0;
        SetInterval(T * S / W);
        break;
    case qtfWipeRight:
        st.P = -S;
        SetInterval(T * S / W);
        break;
    case qtfWipeUp:
        st.P = 0;
        SetInterval(T * S / H);
        break;
    case qtfWipeLeftDown:
    case qtfWipeLeftUp:
    case qtfWipeRightDown:
    case qtfWipeRightUp:
        switch (e) {
        case qtfWipeLeftDown: st.X = W, st.Y = 0; break;
        case qtfWipeLeftUp: st.X = W - S, st.Y = H; break;
        case qtfWipeRightDown: st.X = -S, st.Y = 0; break;
        default: st.X = 0, st.Y = H; break;
        }
        st.N = CeilDiv(W, S) + CeilDiv(H, S);
        st.K = 0;
        SetInterval(T / st.N);
        break;
    case qtfWipeRectLeftDown:
    case qtfWipeRectLeftUp:
    case qtfWipeRectRightDown:
    case qtfWipeRectRightUp:
    case qtfCropLeftDown:
    case qtfCropLeftUp:
    case qtfCropRightDown:
    case qtfCropRightUp:
        AspectSteps(S, st.EX, st.EY);
        SetInterval(T * S / MIN);
        break;
    case qtfWipeCenterHorzIn:
    case qtfWipeCenterVertIn: {
        const bool horz = e == qtfWipeCenterHorzIn;
        const int64_t D = horz ? W : H;
        st.P = S;
        st.Q = D - S;
        SetInterval((T * S / D) * 2);
        break;
    }
    case qtfWipeClockwise:
    case qtfWipeAntiClockwise:
        st.K = 0;
        st.Centre = MakePoint(CeilDiv(W, 2), CeilDiv(H, 2));
        st.Previous = MakePoint(CeilDiv(W, 2), 0);
        SetInterval(T / 16);
        break;
    case qtfCutThroughBlack:
        st.K = 0;
        SetInterval(T / 2);
        break;
    case qtfFadeThroughBlack:
        if (!FDry) {
            CreateWorkBuffer(false);
            for (int i = 0; i < 4; ++i) FPatterns[i] = CreateFadePatternBrush(i + 1);
        }
        st.K = 0;
        SetInterval(T / 8);
        break;
    default: // qtfNone, qtfCut and anything not drawn: the final frame only
        SetInterval(0);
        break;
    }
}

// ---- continuation ---------------------------------------------------------------------------------------

bool TqelTransitionSteps::MoreFamilySteps() const {
    const int64_t W = FW, H = FH, HW = FHW, HH = FHH;
    const TqelEffectState& st = FState;
    const int e = FEffect;

    switch (e) {
    case qtfSkipHorizontal:
    case qtfSkipVertical: return st.Q > 0 || st.P < st.N;
    case qtfSkipRectangles: return st.P <= st.N;
    case qtfSkipDiagonals:
    case qtfSkipDiagonalSquares: return st.K < st.N;
    case qtfBoxIn:
    case qtfShrinkCenter: return st.L < st.R && st.Tp < st.B;
    case qtfBoxOut:
    case qtfExpandCenter: return st.X >= 0 || st.Y >= 0;
    case qtfBlindsHorz:
    case qtfBlindsVert:
        // Lines beyond the rectangle would draw nothing: an effect size larger than the rectangle ends
        // when every line has been revealed.
        return st.K < std::min<int64_t>(FS, e == qtfBlindsHorz ? H : W);
    case qtfDissolve:
    case qtfDissolveHorz:
    case qtfDissolveVert: return st.K < 128;
    case qtfWindIn: return st.L < st.R || st.Tp < st.B;
    case qtfWindOut: return -st.SX < st.L || st.R < W || -st.SY < st.Tp || st.B < H;
    case qtfPourDown:
    case qtfPourRight: return st.P >= 0;
    case qtfPourLeft: return st.P < W;
    case qtfPourUp: return st.P < H;
    case qtfQuadCover:
    case qtfQuadWipeIn:
    case qtfQuadUnfold:
    case qtfQuadExpand: return st.EX < HW;
    case qtfQuadUncover:
    case qtfQuadWipeOut:
    case qtfQuadFold:
    case qtfQuadFoldCopy:
    case qtfQuadShrink:
    case qtfQuadShrinkCopy: return st.EX > 0;
    case qtfShapeSawtooth: return st.K < 240;
    case qtfShapeStarBurst:
    case qtfShapeBroadStar:
    case qtfShapeParallelogram:
    case qtfShapeLens1:
    case qtfShapeLens2:
    case qtfShapeSpiralClockwise:
    case qtfShapeSpiralAntiClockWise: return st.K < 100;
    case qtfFoldDown:
    case qtfFoldUp:
    case qtfUnfoldDown:
    case qtfUnfoldUp:
    case qtfSquashDown:
    case qtfSquashUp:
    case qtfUnSquashDown:
    case qtfUnSquashUp:
    case qtfPushDown:
    case qtfPushUp:
    case qtfCoverDown:
    case qtfCoverUp:
    case qtfUncoverDown:
    case qtfUncoverUp: return st.P < H;
    case qtfFoldLeft:
    case qtfFoldRight:
    case qtfUnfoldLeft:
    case qtfUnfoldRight:
    case qtfSquashLeft:
    case qtfSquashRight:
    case qtfUnSquashLeft:
    case qtfUnSquashRight:
    case qtfPushLeft:
    case qtfPushRight:
    case qtfCoverLeft:
    case qtfCoverRight:
    case qtfUncoverLeft:
    case qtfUncoverRight: return st.P < W;
    case qtfFoldCenterHorz:
    case qtfSquashCenterHorz:
    case qtfWipeCenterHorzIn: return st.P < HW;
    case qtfFoldCenterVert:
    case qtfSquashCenterVert:
    case qtfWipeCenterVertIn: return st.P < HH;
    case qtfUnfoldCenterHorz:
    case qtfUnfoldCenterVert:
    case qtfUnSquashCenterHorz:
    case qtfUnSquashCenterVert:
    case qtfCoverCenterHorzOut:
    case qtfCoverCenterVertOut:
    case qtfUncoverCenterHorzOut:
    case qtfUncoverCenterVertOut:
    case qtfWipeCenterHorzOut:
    case qtfWipeCenterVertOut: return st.P > 0;
    case qtfShrinkLeftDown:
    case qtfShrinkLeftUp:
    case qtfShrinkRightDown:
    case qtfShrinkRightUp:
    case qtfExpandLeftDown:
    case qtfExpandLeftUp:
    case qtfExpandRightDown:
    case qtfExpandRightUp: return st.EX < W || st.EY < H;
    case qtfZoomIn: return st.L < 0 && st.Tp < 0;
    case qtfZoomOut: return st.K < 64;
    case qtfZoomDown:
    case qtfZoomLeftDown:
    case qtfZoomRightDown: return st.Tp < 0;
    case qtfZoomLeft: return st.P > W;
    case qtfZoomRight:
    case qtfZoomRightUp: return st.L < 0;
    case qtfZoomUp:
    case qtfZoomLeftUp: return st.Q > H;
    case qtfCoverLeftDown:
    case qtfCoverLeftUp:
    case qtfCoverRightDown:
    case qtfCoverRightUp:
    case qtfUncoverLeftDown:
    case qtfUncoverLeftUp:
    case qtfUncoverRightDown:
    case qtfUncoverRightUp:
    case qtfWipeRectLeftDown:
    case qtfWipeRectLeftUp:
    case qtfWipeRectRightDown:
    case qtfWipeRectRightUp:
    case qtfCropLeftDown:
    case qtfCropLeftUp:
    case qtfCropRightDown:
    case qtfCropRightUp: return st.EX < W && st.EY < H;
    case qtfCoverCenterHorzIn:
    case qtfUncoverCenterHorzIn: return st.P < HW;
    case qtfCoverCenterVertIn:
    case qtfUncoverCenterVertIn: return st.P < HH;
    case qtfWipeDown: return st.P < H;
    case qtfWipeLeft:
    case qtfWipeRight: return st.P < W;
    case qtfWipeUp: return st.P < H;
    case qtfWipeLeftDown:
    case qtfWipeLeftUp:
    case qtfWipeRightDown:
    case qtfWipeRightUp: return st.K < st.N;
    case qtfWipeClockwise:
    case qtfWipeAntiClockwise: return st.K < 16;
    case qtfCutThroughBlack: return st.K < 2;
    case qtfFadeThroughBlack: return st.K < 8;
    default: return false;
    }
}

// ---- steps ----------------------------------------------------------------------------------------------

void TqelTransitionSteps::DrawFamilyStep() {
    const int64_t W = FW, H = FH, S = FS, HW = FHW, HH = FHH;
    TqelEffectState& st = FState;
    const int e = FEffect;

    switch (e) {
    case qtfSkipHorizontal:
        Reveal(st.P, 0, S, H);
        Reveal(st.Q, 0, S, H);
        st.P += 2 * S;
        st.Q -= 2 * S;
        break;
    case qtfSkipVertical:
        Reveal(0, st.P, W, S);
        Reveal(0, st.Q, W, S);
        st.P += 2 * S;
        st.Q -= 2 * S;
        break;
    case qtfSkipRectangles: {
        bool drawn = false;
        if (st.P <= st.N) {
            RevealOutline(st.P);
            drawn = true;
        }
        if (st.Q >= 0) {
            RevealOutline(st.Q);
            drawn = true;
        }
        if (drawn) {
            st.P += 2;
            st.Q -= 2;
        }
        break;
    }
    case qtfSkipDiagonalSquares: {
        const int64_t k = ++st.K;
        if (k % 2 == 1) {
            for (int64_t i = k - 1, j = 0; j * S < H; --i, ++j) Reveal(i * S, j * S, S, S);
        } else {
            const int64_t d = st.N + 1 - k - st.N % 2;
            for (int64_t j = st.Rows - 1, i = d - j; i * S < W; ++i, --j) Reveal(i * S, j * S, S, S);
        }
        break;
    }
    case qtfSkipDiagonals: {
        const int64_t k = ++st.K;
        const int64_t cS = st.Cols * S, rS = st.Rows * S, N = st.N;
        if (k == 1) {
            Triangle(MakePoint(0, 0), MakePoint(S, 0), MakePoint(0, S));
        } else if (k == 2 && N % 2 == 0) {
            Triangle(MakePoint(cS, rS), MakePoint(cS - S, rS), MakePoint(cS, rS - S));
        } else {
            int64_t px[4], py[4];
            if (k % 2 == 1) {
                px[0] = (k - 1) * S, py[0] = 0;
                px[1] = k * S, py[1] = 0;
                px[2] = 0, py[2] = k * S;
                px[3] = 0, py[3] = (k - 1) * S;
                for (int c = 0; c < 4; ++c) {
                    if (px[c] > cS) {
                        py[c] = px[c] - cS;
                        px[c] = cS;
                    }
                    if (py[c] > rS) {
                        px[c] = py[c] - rS;
                        py[c] = rS;
                        if (c == 2 && px[c] < S) px[c] = 0;
                    }
                }
            } else {
                px[0] = cS - (k + N % 2 - 2) * S, py[0] = rS;
                px[1] = px[0] - S, py[1] = rS;
                px[2] = cS, py[2] = N % 2 == 1 ? rS - k * S : rS - (k - 1) * S;
                px[3] = cS, py[3] = py[2] + S;
                for (int c = 0; c < 4; ++c) {
                    if (px[c] < 0) {
                        py[c] = rS + px[c];
                        px[c] = 0;
                    }
                    if (py[c] < 0) {
                        px[c] = cS + py[c];
                        py[c] = 0;
                    }
                }
            }
            TPoint pts[4];
            for (int c = 0; c < 4; ++c) pts[c] = MakePoint(px[c], py[c]);
            ClippedReveal(pts, 4);
        }
        break;
    }
    case qtfBoxIn:
        Reveal(0, 0, st.L, H);
        Reveal(st.R, 0, W - st.R, H);
        Reveal(0, 0, W, st.Tp);
        Reveal(0, st.B, W, H - st.B);
        st.L += st.SX;
        st.R -= st.SX;
        st.Tp += st.SY;
        st.B -= st.SY;
        break;
    case qtfBoxOut:
    case qtfExpandCenter:
        if (e == qtfBoxOut)
            Reveal(st.X, st.Y, st.EX, st.EY);
        else
            Stretch(tgtDest, st.X, st.Y, st.EX, st.EY, srcNew);
        Grow(S, st.EX, st.EY);
        st.X = (W - st.EX) / 2;
        st.Y = (H - st.EY) / 2;
        break;
    case qtfBlindsHorz:
        for (int64_t y = st.K; y < H; y += S) Reveal(0, y, W, 1);
        ++st.K;
        break;
    case qtfBlindsVert:
        // One-pixel columns over the whole height: revealed together, row by row.
        FScratch.clear();
        for (int64_t x = st.K; x < W; x += S) FScratch.push_back(x);
        RevealColumns(FScratch, 1);
        ++st.K;
        break;
    case qtfDissolve: {
        if (RevealsDirect()) {
            DissolveByRows(st.K);
            ++st.K;
            break;
        }
        const TqelRandPoints& t = *FRand;
        const int64_t g = TqelRandPoints::GridSize;
        for (int64_t p = g * st.K; p < g * st.K + g; ++p) {
            const int64_t cx = t.CellX[static_cast<size_t>(p)], cy = t.CellY[static_cast<size_t>(p)];
            for (int64_t b = 0; b < st.Rows; ++b) {
                const int64_t y = cy + g * b;
                if (y >= H) break;
                for (int64_t a = 0; a < st.Cols; ++a) {
                    const int64_t x = cx + g * a;
                    if (x >= W) break;
                    Reveal(x, y, S, S);
                }
            }
        }
        ++st.K;
        break;
    }
    case qtfDissolveHorz: {
        const int64_t row = FRand->RowOrder[static_cast<size_t>(st.K)];
        for (int64_t b = 0; b < st.Rows; ++b)
            if (row + 128 * b < H) Reveal(0, row + 128 * b, W, S);
        ++st.K;
        break;
    }
    case qtfDissolveVert: {
        const int64_t col = FRand->RowOrder[static_cast<size_t>(st.K)];
        FScratch.clear();
        for (int64_t a = 0; a < st.Cols; ++a)
            if (col + 128 * a < W) FScratch.push_back(col + 128 * a);
        RevealColumns(FScratch, S);
        ++st.K;
        break;
    }
    case qtfWindIn: {
        const int64_t sx = st.SX, sy = st.SY;
        int64_t last = 0;
        bool any = false;
        for (int64_t x = st.L; x < st.R; x += sx, any = true) Reveal(last = x, st.Tp, sx, sy);
        if (any) st.R = last;
        any = false;
        for (int64_t y = st.Tp; y < st.B; y += sy, any = true) Reveal(st.R, last = y, sx, sy);
        if (any) st.B = last;
        any = false;
        const int64_t oldL = st.L;
        for (int64_t x = st.R; x >= st.L; x -= sx, any = true) Reveal(last = x, st.B, sx, sy);
        if (any) st.L = last <= oldL ? last + sx : last;
        any = false;
        const int64_t oldT = st.Tp;
        for (int64_t y = st.B; y >= st.Tp; y -= sy, any = true) Reveal(st.L, last = y, sx, sy);
        if (any) st.Tp = last <= oldT ? last + sy : last;
        break;
    }
    case qtfWindOut: {
        const int64_t sx = st.SX, sy = st.SY;
        int64_t x = st.L;
        for (; x < st.R; x += sx) Reveal(x, st.Tp, sx, sy);
        const int64_t endX = x;
        st.R = endX + sx;
        st.L -= sx;
        int64_t y = st.Tp;
        for (; y < st.B; y += sy) Reveal(endX, y, sx, sy);
        const int64_t endY = y;
        st.B = endY + sy;
        for (x = endX; x > st.L; x -= sx) Reveal(x, endY, sx, sy);
        st.L = x;
        for (y = endY; y >= st.Tp; y -= sy) Reveal(st.L, y, sx, sy);
        st.Tp = y;
        break;
    }
    case qtfPourDown:
    case qtfPourRight: {
        const bool down = e == qtfPourDown;
        FScratch.clear();
        for (int64_t q = st.P;; q -= S) {
            if (q < 0) q = 0;
            if (down)
                ShiftedNew(0, q, 0, st.P, W, S);
            else
                FScratch.push_back(q);
            if (q == 0) break;
        }
        // The band poured onto every column position: one pass over the rows.
        if (!down) ShiftedNewColumns(FScratch, 0, S, H, st.P, 0);
        st.P -= S;
        break;
    }
    case qtfPourLeft:
    case qtfPourUp: {
        const bool left = e == qtfPourLeft;
        const int64_t last = (left ? W : H) - S;
        const int64_t band = std::min(st.P, last);
        FScratch.clear();
        for (int64_t q = band;; q += S) {
            if (q > last) q = last;
            if (left)
                FScratch.push_back(q);
            else
                ShiftedNew(0, q, 0, band, W, S);
            if (q == last) break;
        }
        if (left) ShiftedNewColumns(FScratch, 0, S, H, band, 0);
        st.P += S;
        break;
    }
    case qtfQuadCover:
    case qtfQuadUncover: {
        const TSource src = e == qtfQuadCover ? srcNew : srcOld;
        if (e == qtfQuadUncover) FillWork(srcNew);
        Blt(tgtWork, 0, 0, st.EX, st.EY, src, HW - st.EX, HH - st.EY);
        Blt(tgtWork, W - st.EX, 0, st.EX, st.EY, src, HW, HH - st.EY);
        Blt(tgtWork, 0, H - st.EY, st.EX, st.EY, src, HW - st.EX, HH);
        Blt(tgtWork, W - st.EX, H - st.EY, st.EX, st.EY, src, HW, HH);
        Present();
        Grow(e == qtfQuadCover ? S : -S, st.EX, st.EY);
        break;
    }
    case qtfQuadWipeIn:
    case qtfQuadWipeOut: {
        const TSource src = e == qtfQuadWipeIn ? srcNew : srcOld;
        if (e == qtfQuadWipeOut) FillWork(srcNew);
        Blt(tgtWork, 0, 0, st.EX, st.EY, src, 0, 0);
        Blt(tgtWork, W - st.EX, 0, st.EX, st.EY, src, W - st.EX, 0);
        Blt(tgtWork, 0, H - st.EY, st.EX, st.EY, src, 0, H - st.EY);
        Blt(tgtWork, W - st.EX, H - st.EY, st.EX, st.EY, src, W - st.EX, H - st.EY);
        Present();
        Grow(e == qtfQuadWipeIn ? S : -S, st.EX, st.EY);
        break;
    }
    case qtfQuadUnfold:
    case qtfQuadFold:
    case qtfQuadFoldCopy: {
        const TSource src = e == qtfQuadUnfold ? srcNew : srcOld;
        const int w = FW, h = FH, hw = FHW, hh = FHH;
        if (e != qtfQuadUnfold) FillWork(srcNew);
        if (e == qtfQuadFoldCopy) {
            Stretch(tgtWork, 0, 0, st.EX, st.EY, src);
            Stretch(tgtWork, W - st.EX, 0, st.EX, st.EY, src);
            Stretch(tgtWork, 0, H - st.EY, st.EX, st.EY, src);
            Stretch(tgtWork, W - st.EX, H - st.EY, st.EX, st.EY, src);
        } else {
            Stretch(tgtWork, 0, 0, st.EX, st.EY, src, 0, 0, hw, hh);
            Stretch(tgtWork, W - st.EX, 0, st.EX, st.EY, src, hw, 0, w - hw, hh);
            Stretch(tgtWork, 0, H - st.EY, st.EX, st.EY, src, 0, hh, hw, h - hh);
            Stretch(tgtWork, W - st.EX, H - st.EY, st.EX, st.EY, src, hw, hh, w - hw, h - hh);
        }
        Present();
        Grow(e == qtfQuadUnfold ? S : -S, st.EX, st.EY);
        break;
    }
    case qtfQuadExpand:
    case qtfQuadShrink:
    case qtfQuadShrinkCopy: {
        const TSource src = e == qtfQuadExpand ? srcNew : srcOld;
        const int w = FW, h = FH, hw = FHW, hh = FHH;
        if (e != qtfQuadExpand) FillWork(srcNew);
        const int qx[4] = {0, hw, 0, hw}, qy[4] = {0, 0, hh, hh};
        const int qw[4] = {hw, w - hw, hw, w - hw}, qh[4] = {hh, hh, h - hh, h - hh};
        for (int q = 0; q < 4; ++q) {
            if (e == qtfQuadShrinkCopy)
                Stretch(tgtWork, qx[q] + st.OX, qy[q] + st.OY, st.EX, st.EY, src);
            else
                Stretch(tgtWork, qx[q] + st.OX, qy[q] + st.OY, st.EX, st.EY, src, qx[q], qy[q], qw[q], qh[q]);
        }
        Present();
        const int64_t d = e == qtfQuadExpand ? S : -S;
        Grow(2 * d, st.EX, st.EY);
        // The offsets move by one size per step along the shorter side, the other follows the aspect.
        if (FH < FW) {
            st.OY -= d;
            st.OX = st.OY * W / H;
        } else {
            st.OX -= d;
            st.OY = st.OX * H / W;
        }
        break;
    }
    case qtfShapeSawtooth:
        for (int64_t j = 1; j <= 20; ++j) {
            const TPoint p = CurvePoint(20 * st.K + j);
            Reveal(int64_t(p.X) - 10, int64_t(p.Y) - 10, 20, 20);
        }
        ++st.K;
        break;
    case qtfShapeStarBurst:
    case qtfShapeBroadStar:
    case qtfShapeParallelogram:
    case qtfShapeLens1:
    case qtfShapeLens2:
    case qtfShapeSpiralClockwise:
    case qtfShapeSpiralAntiClockWise: {
        const TPoint p = CurvePoint(++st.K);
        Triangle(st.Centre, st.Previous, p);
        st.Previous = p;
        break;
    }
    case qtfFoldDown:
        Reveal(0, 0, W, st.P);
        Stretch(tgtDest, 0, st.P, W, H - st.P, srcOld);
        st.P += S;
        break;
    case qtfFoldLeft:
        Reveal(W - st.P, 0, st.P, H);
        Stretch(tgtDest, 0, 0, W - st.P, H, srcOld);
        st.P += S;
        break;
    case qtfFoldRight:
        Reveal(0, 0, st.P, H);
        Stretch(tgtDest, st.P, 0, W - st.P, H, srcOld);
        st.P += S;
        break;
    case qtfFoldUp:
        Reveal(0, H - st.P, W, st.P);
        Stretch(tgtDest, 0, 0, W, H - st.P, srcOld);
        st.P += S;
        break;
    case qtfFoldCenterHorz:
    case qtfFoldCenterVert:
        FillWork(srcNew);
        if (e == qtfFoldCenterHorz)
            Stretch(tgtWork, st.P, 0, st.Q - st.P, H, srcOld);
        else
            Stretch(tgtWork, 0, st.P, W, st.Q - st.P, srcOld);
        Present();
        st.P += S;
        st.Q -= S;
        break;
    case qtfUnfoldDown:
        Stretch(tgtDest, 0, 0, W, st.P, srcNew);
        st.P += S;
        break;
    case qtfUnfoldLeft:
        Stretch(tgtDest, W - st.P, 0, st.P, H, srcNew);
        st.P += S;
        break;
    case qtfUnfoldRight:
        Stretch(tgtDest, 0, 0, st.P, H, srcNew);
        st.P += S;
        break;
    case qtfUnfoldUp:
        Stretch(tgtDest, 0, H - st.P, W, st.P, srcNew);
        st.P += S;
        break;
    case qtfUnfoldCenterHorz:
    case qtfUnfoldCenterVert:
        FillWork(srcOld);
        if (e == qtfUnfoldCenterHorz)
            Stretch(tgtWork, st.P, 0, st.Q - st.P, H, srcNew);
        else
            Stretch(tgtWork, 0, st.P, W, st.Q - st.P, srcNew);
        Present();
        st.P -= S;
        st.Q += S;
        break;
    case qtfSquashDown:
        ShiftedNew(0, 0, 0, H - st.P, W, st.P);
        Stretch(tgtDest, 0, st.P, W, H - st.P, srcOld);
        st.P += S;
        break;
    case qtfSquashLeft:
        ShiftedNew(W - st.P, 0, 0, 0, st.P, H);
        Stretch(tgtDest, 0, 0, W - st.P, H, srcOld);
        st.P += S;
        break;
    case qtfSquashRight:
        ShiftedNew(0, 0, W - st.P, 0, st.P, H);
        Stretch(tgtDest, st.P, 0, W - st.P, H, srcOld);
        st.P += S;
        break;
    case qtfSquashUp:
        ShiftedNew(0, H - st.P, 0, 0, W, st.P);
        Stretch(tgtDest, 0, 0, W, H - st.P, srcOld);
        st.P += S;
        break;
    case qtfSquashCenterHorz:
        ComposeNew(0, 0, HW - st.P, 0, st.P, H);
        ComposeNew(st.Q, 0, HW, 0, W - st.Q, H);
        Stretch(tgtWork, st.P, 0, st.Q - st.P, H, srcOld);
        Present();
        st.P += S;
        st.Q -= S;
        break;
    case qtfSquashCenterVert:
        ComposeNew(0, 0, 0, HH - st.P, W, st.P);
        ComposeNew(0, st.Q, 0, HH, W, H - st.Q);
        Stretch(tgtWork, 0, st.P, W, st.Q - st.P, srcOld);
        Present();
        st.P += S;
        st.Q -= S;
        break;
    case qtfUnSquashDown:
        Stretch(tgtDest, 0, 0, W, st.P, srcNew);
        ShiftedOld(0, st.P, 0, 0, W, H - st.P);
        st.P += S;
        break;
    case qtfUnSquashLeft:
        Stretch(tgtDest, W - st.P, 0, st.P, H, srcNew);
        ShiftedOld(0, 0, st.P, 0, W - st.P, H);
        st.P += S;
        break;
    case qtfUnSquashRight:
        Stretch(tgtDest, 0, 0, st.P, H, srcNew);
        ShiftedOld(st.P, 0, 0, 0, W - st.P, H);
        st.P += S;
        break;
    case qtfUnSquashUp:
        Stretch(tgtDest, 0, H - st.P, W, st.P, srcNew);
        ShiftedOld(0, 0, 0, st.P, W, H - st.P);
        st.P += S;
        break;
    case qtfUnSquashCenterHorz:
        ComposeOld(0, 0, HW - st.P, 0, st.P, H);
        ComposeOld(st.Q, 0, HW, 0, W - st.Q, H);
        Stretch(tgtWork, st.P, 0, st.Q - st.P, H, srcNew);
        Present();
        st.P -= S;
        st.Q += S;
        break;
    case qtfUnSquashCenterVert:
        ComposeOld(0, 0, 0, HH - st.P, W, st.P);
        ComposeOld(0, st.Q, 0, HH, W, H - st.Q);
        Stretch(tgtWork, 0, st.P, W, st.Q - st.P, srcNew);
        Present();
        st.P -= S;
        st.Q += S;
        break;
    case qtfShrinkLeftDown:
    case qtfShrinkLeftUp:
    case qtfShrinkRightDown:
    case qtfShrinkRightUp: {
        const bool right = e == qtfShrinkRightDown || e == qtfShrinkRightUp;
        const bool down = e == qtfShrinkLeftDown || e == qtfShrinkRightDown;
        FillWork(srcNew);
        Stretch(tgtWork, right ? st.EX : 0, down ? st.EY : 0, W - st.EX, H - st.EY, srcOld);
        Present();
        Grow(S, st.EX, st.EY);
        break;
    }
    case qtfShrinkCenter:
        FillWork(srcNew);
        Stretch(tgtWork, st.L, st.Tp, st.R - st.L, st.B - st.Tp, srcOld);
        Present();
        st.L += st.SX;
        st.R -= st.SX;
        st.Tp += st.SY;
        st.B -= st.SY;
        break;
    case qtfExpandLeftDown:
    case qtfExpandLeftUp:
    case qtfExpandRightDown:
    case qtfExpandRightUp: {
        const bool left = e == qtfExpandLeftDown || e == qtfExpandLeftUp;
        const bool down = e == qtfExpandLeftDown || e == qtfExpandRightDown;
        Stretch(tgtDest, left ? W - st.EX : 0, down ? 0 : H - st.EY, st.EX, st.EY, srcNew);
        Grow(S, st.EX, st.EY);
        break;
    }
    case qtfZoomIn:
        Stretch(tgtDest, st.L, st.Tp, st.R - st.L, st.B - st.Tp, srcNew);
        st.L += st.SX;
        st.R -= st.SX;
        st.Tp += st.SY;
        st.B -= st.SY;
        break;
    case qtfZoomOut:
        Stretch(tgtDest, st.L, st.Tp, st.R - st.L, st.B - st.Tp, srcOld);
        st.L -= st.SX;
        st.R += st.SX;
        st.Tp -= st.SY;
        st.B += st.SY;
        ++st.K;
        break;
    case qtfZoomDown:
        Stretch(tgtDest, 0, st.Tp, W, H - st.Tp, srcNew);
        st.Tp += 8 * S;
        break;
    case qtfZoomLeft:
        Stretch(tgtDest, 0, 0, st.P, H, srcNew);
        st.P -= 8 * S;
        break;
    case qtfZoomRight:
        Stretch(tgtDest, st.L, 0, W - st.L, H, srcNew);
        st.L += 8 * S;
        break;
    case qtfZoomUp:
        Stretch(tgtDest, 0, 0, W, st.Q, srcNew);
        st.Q -= 8 * S;
        break;
    case qtfZoomLeftDown:
        Stretch(tgtDest, 0, st.Tp, st.P, H - st.Tp, srcNew);
        st.P -= st.SX;
        st.Tp += st.SY;
        break;
    case qtfZoomLeftUp:
        Stretch(tgtDest, 0, 0, st.P, st.Q, srcNew);
        st.P -= st.SX;
        st.Q -= st.SY;
        break;
    case qtfZoomRightDown:
        Stretch(tgtDest, st.L, st.Tp, W - st.L, H - st.Tp, srcNew);
        st.L += st.SX;
        st.Tp += st.SY;
        break;
    case qtfZoomRightUp:
        Stretch(tgtDest, st.L, 0, W - st.L, st.Q, srcNew);
        st.L += st.SX;
        st.Q -= st.SY;
        break;
    case qtfPushDown:
    case qtfCoverDown:
        ShiftedNew(0, 0, 0, H - st.P, W, st.P);
        if (e == qtfPushDown) ShiftedOld(0, st.P, 0, 0, W, H - st.P);
        st.P += S;
        break;
    case qtfPushLeft:
    case qtfCoverLeft:
        ShiftedNew(W - st.P, 0, 0, 0, st.P, H);
        if (e == qtfPushLeft) ShiftedOld(0, 0, st.P, 0, W - st.P, H);
        st.P += S;
        break;
    case qtfPushRight:
    case qtfCoverRight:
        ShiftedNew(0, 0, W - st.P, 0, st.P, H);
        if (e == qtfPushRight) ShiftedOld(st.P, 0, 0, 0, W - st.P, H);
        st.P += S;
        break;
    case qtfPushUp:
    case qtfCoverUp:
        ShiftedNew(0, H - st.P, 0, 0, W, st.P);
        if (e == qtfPushUp) ShiftedOld(0, 0, 0, st.P, W, H - st.P);
        st.P += S;
        break;
    case qtfCoverLeftDown:
        ShiftedNew(W - st.EX, 0, 0, H - st.EY, st.EX, st.EY);
        Grow(S, st.EX, st.EY);
        break;
    case qtfCoverLeftUp:
        ShiftedNew(W - st.EX, H - st.EY, 0, 0, st.EX, st.EY);
        Grow(S, st.EX, st.EY);
        break;
    case qtfCoverRightDown:
        ShiftedNew(0, 0, W - st.EX, H - st.EY, st.EX, st.EY);
        Grow(S, st.EX, st.EY);
        break;
    case qtfCoverRightUp:
        ShiftedNew(0, H - st.EY, W - st.EX, 0, st.EX, st.EY);
        Grow(S, st.EX, st.EY);
        break;
    case qtfCoverCenterHorzIn:
        ShiftedNew(0, 0, HW - st.P, 0, st.P, H);
        ShiftedNew(W - st.P, 0, HW, 0, st.P, H);
        st.P += S;
        break;
    case qtfCoverCenterVertIn:
        ShiftedNew(0, 0, 0, HH - st.P, W, st.P);
        ShiftedNew(0, H - st.P, 0, HH, W, st.P);
        st.P += S;
        break;
    case qtfCoverCenterHorzOut:
        ShiftedNew(st.P, 0, 0, 0, HW - st.P, H);
        ShiftedNew(HW, 0, W - (st.Q - HW), 0, st.Q - HW, H);
        st.P -= S;
        st.Q += S;
        break;
    case qtfCoverCenterVertOut:
        ShiftedNew(0, st.P, 0, 0, W, HH - st.P);
        ShiftedNew(0, HH, 0, H - (st.Q - HH), W, st.Q - HH);
        st.P -= S;
        st.Q += S;
        break;
    case qtfUncoverDown:
        Reveal(0, 0, W, st.P);
        ShiftedOld(0, st.P, 0, 0, W, H - st.P);
        st.P += S;
        break;
    case qtfUncoverLeft:
        Reveal(W - st.P, 0, st.P, H);
        ShiftedOld(0, 0, st.P, 0, W - st.P, H);
        st.P += S;
        break;
    case qtfUncoverRight:
        Reveal(0, 0, st.P, H);
        ShiftedOld(st.P, 0, 0, 0, W - st.P, H);
        st.P += S;
        break;
    case qtfUncoverUp:
        Reveal(0, H - st.P, W, st.P);
        ShiftedOld(0, 0, 0, st.P, W, H - st.P);
        st.P += S;
        break;
    case qtfUncoverLeftDown:
        Reveal(0, 0, W, st.EY);
        Reveal(W - st.EX, st.EY, st.EX, H - st.EY);
        ShiftedOld(0, st.EY, st.EX, 0, W - st.EX, H - st.EY);
        Grow(S, st.EX, st.EY);
        break;
    case qtfUncoverLeftUp:
        Reveal(0, H - st.EY, W, st.EY);
        Reveal(W - st.EX, 0, st.EX, H - st.EY);
        ShiftedOld(0, 0, st.EX, st.EY, W - st.EX, H - st.EY);
        Grow(S, st.EX, st.EY);
        break;
    case qtfUncoverRightDown:
        Reveal(0, 0, W, st.EY);
        Reveal(0, st.EY, st.EX, H - st.EY);
        ShiftedOld(st.EX, st.EY, 0, 0, W - st.EX, H - st.EY);
        Grow(S, st.EX, st.EY);
        break;
    case qtfUncoverRightUp:
        Reveal(0, H - st.EY, W, st.EY);
        Reveal(0, 0, st.EX, H - st.EY);
        ShiftedOld(st.EX, 0, 0, st.EY, W - st.EX, H - st.EY);
        Grow(S, st.EX, st.EY);
        break;
    case qtfUncoverCenterHorzIn:
        FillWork(srcNew);
        ComposeOld(st.P, 0, 0, 0, HW - st.P, H);
        ComposeOld(HW, 0, W - (HW - st.P), 0, HW - st.P, H);
        Present();
        st.P += S;
        break;
    case qtfUncoverCenterVertIn:
        FillWork(srcNew);
        ComposeOld(0, st.P, 0, 0, W, HH - st.P);
        ComposeOld(0, HH, 0, H - (HH - st.P), W, HH - st.P);
        Present();
        st.P += S;
        break;
    case qtfUncoverCenterHorzOut:
        FillWork(srcNew);
        ComposeOld(0, 0, HW - st.P, 0, st.P, H);
        ComposeOld(st.Q, 0, HW, 0, W - st.Q, H);
        Present();
        st.P -= S;
        st.Q += S;
        break;
    case qtfUncoverCenterVertOut:
        FillWork(srcNew);
        ComposeOld(0, 0, 0, HH - st.P, W, st.P);
        ComposeOld(0, st.Q, 0, HH, W, H - st.Q);
        Present();
        st.P -= S;
        st.Q += S;
        break;
    case qtfWipeDown:
        Reveal(0, st.P, W, S);
        st.P += S;
        break;
    case qtfWipeLeft:
        Reveal(W - st.P, 0, S, H);
        st.P += S;
        break;
    case qtfWipeRight:
        Reveal(st.P, 0, S, H);
        st.P += S;
        break;
    case qtfWipeUp:
        Reveal(0, H - st.P, W, S);
        st.P += S;
        break;
    case qtfWipeLeftDown:
    case qtfWipeLeftUp:
    case qtfWipeRightDown:
    case qtfWipeRightUp: {
        switch (e) {
        case qtfWipeLeftDown:
            if (st.X >= 1)
                st.X -= S;
            else
                st.Y += S;
            break;
        case qtfWipeLeftUp:
            if (st.Y >= 1)
                st.Y -= S;
            else
                st.X -= S;
            break;
        case qtfWipeRightDown:
            if (st.X < W)
                st.X += S;
            else
                st.Y += S;
            break;
        default:
            if (st.Y >= 1)
                st.Y -= S;
            else
                st.X += S;
            break;
        }
        const int64_t stepX = e == qtfWipeLeftDown || e == qtfWipeRightUp ? S : -S;
        int64_t x = st.X, y = st.Y;
        for (;;) {
            Reveal(x, y, S, S);
            x += stepX;
            y += S;
            bool outside = y >= H;
            switch (e) {
            case qtfWipeLeftDown: outside = outside || x < 0 || x >= W; break;
            case qtfWipeLeftUp: outside = outside || x < -S; break;
            case qtfWipeRightDown: outside = outside || x < -S || x >= W; break;
            default: outside = outside || y < 0 || x >= W; break;
            }
            if (outside) break;
        }
        ++st.K;
        break;
    }
    case qtfWipeRectLeftDown:
    case qtfWipeRectLeftUp:
    case qtfWipeRectRightDown:
    case qtfWipeRectRightUp: {
        const bool left = e == qtfWipeRectRightDown || e == qtfWipeRectRightUp; // grows from the left corner
        const bool top = e == qtfWipeRectLeftDown || e == qtfWipeRectRightDown;
        Reveal(left ? 0 : W - st.EX, top ? 0 : H - st.EY, st.EX, st.EY);
        if (!TerminationRequested()) Grow(S, st.EX, st.EY);
        break;
    }
    case qtfCropLeftDown:
    case qtfCropLeftUp:
    case qtfCropRightDown:
    case qtfCropRightUp: {
        const bool top = e == qtfCropLeftDown || e == qtfCropRightDown;
        const bool right = e == qtfCropLeftDown || e == qtfCropLeftUp;
        Reveal(0, top ? 0 : H - st.EY, W, st.EY);
        Reveal(right ? W - st.EX : 0, top ? st.EY : 0, st.EX, H - st.EY);
        Grow(S, st.EX, st.EY);
        break;
    }
    case qtfWipeCenterHorzIn:
        Reveal(0, 0, st.P, H);
        Reveal(st.Q, 0, W - st.Q, H);
        st.P += S;
        st.Q -= S;
        break;
    case qtfWipeCenterVertIn:
        Reveal(0, 0, W, st.P);
        Reveal(0, st.Q, W, H - st.Q);
        st.P += S;
        st.Q -= S;
        break;
    case qtfWipeCenterHorzOut:
        Reveal(st.P, 0, st.Q - st.P, H);
        st.P -= S;
        st.Q += S;
        break;
    case qtfWipeCenterVertOut:
        Reveal(0, st.P, W, st.Q - st.P);
        st.P -= S;
        st.Q += S;
        break;
    case qtfWipeClockwise:
    case qtfWipeAntiClockwise: {
        const int k = static_cast<int>(st.K);
        const int* xs = e == qtfWipeClockwise ? kClockXCw : kClockXAcw;
        const TPoint p = MakePoint(xs[k] * W / 4, kClockY[k] * H / 4);
        Triangle(st.Centre, st.Previous, p);
        st.Previous = p;
        ++st.K;
        break;
    }
    case qtfCutThroughBlack:
        if (st.K == 0)
            BlackFill();
        else
            Reveal(0, 0, W, H);
        ++st.K;
        break;
    case qtfFadeThroughBlack:
        if (st.K < 4) {
            Darken(tgtDest, static_cast<int>(st.K) + 1);
        } else {
            FillWork(srcNew);
            Darken(tgtWork, static_cast<int>(8 - st.K));
            Present();
        }
        ++st.K;
        break;
    default: break;
    }
}

} // namespace qel
