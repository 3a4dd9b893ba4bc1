#pragma once
// The drawing side of one transition effect, without any thread: preparation (buffers, step sizes,
// interval), one step at a time, and the final frame. The transition thread drives it under its canvas
// locks; tests, tools and benchmarks drive it directly:
//
//   TqelTransitionSteps steps(qtfBoxIn, w, h, 8, 500);
//   steps.Prepare(destDC, dx, dy);            // takes the old picture where the effect needs it
//   while (steps.HasMoreSteps()) steps.DrawStep(destDC, newDC);
//   steps.DrawFinalFrame(destDC, newDC);
//
// All effect coordinates are relative to the destination rectangle (dx, dy, w, h); the new picture is
// read from (0, 0) of the source DC with the same size. Nothing outside the rectangle is drawn.
//
// Drawing cost: a step has to fit its interval at full-screen sizes. Steps that copy many parts of the
// new picture (dissolve, pour, blinds, wind, diagonal wipes) set the copies up once per step (a
// TCopyBatch) and walk both surfaces row by row; steps that compose a frame in the work buffer and
// present it draw each pixel of that frame once, straight onto the destination. The destination's
// surface stays locked for the whole of such a step, so a step still appears at once. The pixels are
// exactly those of the plain way (one transfer per part, SetDirectPixels(false)).
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "effects/transition_effects.h"
#include "platform/graphics/copy_batch.h"
#include "platform/graphics/gdi.h"

namespace qel {

class TqelRandPoints;

// The integers every effect family keeps between steps (their meaning depends on the family).
struct TqelEffectState {
    int64_t P = 0, Q = 0;                // positions: strips, bands, span start and end
    int64_t EX = 0, EY = 0;              // extents
    int64_t SX = 0, SY = 0;              // step lengths
    int64_t L = 0, R = 0, Tp = 0, B = 0; // bounds
    int64_t OX = 0, OY = 0;              // offsets
    int64_t X = 0, Y = 0;                // a cell position
    int64_t K = 0, N = 0;                // step counter and step total
    int64_t Cols = 0, Rows = 0;          // grid size
    TPoint Points[4];                    // polygon points
    TPoint Centre, Previous;             // fan centre and the previous fan point
    double Scale = 0;                    // curve scale factor
    std::vector<TPoint> Curve;           // curve points (shape effects)
};

class TqelTransitionSteps {
public:
    // `effect` must be resolved already (random and selection modes chosen by the caller); any other
    // ordinal, and 134 itself, behaves like qtfCut. Width, height and size below 1 are raised to 1.
    TqelTransitionSteps(int effect, int width, int height, int size, int speed);
    ~TqelTransitionSteps();
    TqelTransitionSteps(const TqelTransitionSteps&) = delete;
    TqelTransitionSteps& operator=(const TqelTransitionSteps&) = delete;

    // Sets up buffers, start values and the interval. `dest` shows the old picture in (dx, dy, w, h); it
    // is read here for the effects that need the old picture or start from the screen. Call once.
    void Prepare(HDC dest, int dx, int dy);
    bool Prepared() const { return FPrepared; }

    bool HasMoreSteps() const;
    // Draws the next step onto `dest` reading the new picture from `source`, and advances the state.
    void DrawStep(HDC dest, HDC source);
    // Copies the whole new picture onto the rectangle.
    void DrawFinalFrame(HDC dest, HDC source);

    int Effect() const { return FEffect; }
    int Width() const { return FW; }
    int Height() const { return FH; }
    int Size() const { return FS; }
    int Speed() const { return FT; }
    int DestX() const { return FDX; }
    int DestY() const { return FDY; }
    // Milliseconds between two steps (valid after Prepare).
    int Interval() const { return FInterval; }
    // Steps drawn so far.
    int StepsDrawn() const { return FStepsDrawn; }
    const TqelEffectState& State() const { return FState; }
    bool UsesOldPicture() const { return FOldDC != nullptr; }
    bool UsesWorkBuffer() const { return FWorkDC != nullptr; }

    // The dissolve table to use instead of the process-wide one (tests and tools that need repeatable
    // runs build their own from a seeded generator). Set it before Prepare; it must outlive the steps.
    void UseRandPoints(const TqelRandPoints& table) { FRand = &table; }

    // Whether steps that copy many small parts of the new picture copy them straight between the
    // surfaces, with one set-up per step (the default), or as one transfer each. Both draw the same
    // pixels; the second is the plain reference the first is tested against.
    void SetDirectPixels(bool direct) { FDirectPixels = direct; }
    bool DirectPixels() const { return FDirectPixels; }

    // Asked by the effects that stop growing once termination was requested (the thread installs it).
    void SetTerminatedQuery(std::function<bool()> query) { FTerminated = std::move(query); }

    // Counts the steps of an effect by preparing it on a scratch destination and stepping through it
    // without drawing anything visible (tools and tests).
    static int CountSteps(int effect, int width, int height, int size, int speed);

private:
    enum TSource { srcNew, srcOld, srcWork };
    enum TTarget { tgtDest, tgtWork };

    // Family set-up, steps and continuation (effect_families.cpp).
    void PrepareFamily();
    void DrawFamilyStep();
    bool MoreFamilySteps() const;
    bool TerminationRequested() const { return FTerminated && FTerminated(); }

    // Buffers.
    void TakeOldPicture();
    void CreateWorkBuffer(bool fromScreen);
    static HDC CreateBuffer(int w, int h, HBITMAP& bitmap, HGDIOBJ& previous);
    static void FreeBuffer(HDC& dc, HBITMAP& bitmap, HGDIOBJ& previous);
    void SetInterval(int64_t ms);
    void AspectSteps(int64_t d, int64_t& sx, int64_t& sy) const;
    void Grow(int64_t d, int64_t& ex, int64_t& ey) const;
    TPoint CurvePoint(int64_t i) const;
    void RevealOutline(int64_t inset);
    void Triangle(TPoint a, TPoint b, TPoint c);

    // Drawing primitives; coordinates relative to the rectangle, clipped to it and to the picture.
    HDC SourceDC(TSource s) const;
    HDC TargetDC(TTarget t) const;
    void Blt(TTarget target, int64_t dx, int64_t dy, int64_t w, int64_t h, TSource src, int64_t sx,
             int64_t sy);
    void Reveal(int64_t x, int64_t y, int64_t w, int64_t h) { Blt(tgtDest, x, y, w, h, srcNew, x, y); }
    // Cuts a copy to the rectangle and the picture (both W x H); false when nothing of it remains.
    bool ClipCopy(int64_t& dx, int64_t& dy, int64_t& w, int64_t& h, int64_t& sx, int64_t& sy) const;
    // The same band of the new picture (sx, sy, w, h) shifted to several columns `xs` at row dy, in
    // order (later copies cover earlier ones).
    void ShiftedNewColumns(const std::vector<int64_t>& xs, int64_t dy, int64_t w, int64_t h, int64_t sx,
                           int64_t sy) {
        NewColumns(xs, dy, w, h, sx, sy, false);
    }
    // Reveal(x, 0, w, H) for every x of `xs`, in order.
    void RevealColumns(const std::vector<int64_t>& xs, int64_t w) { NewColumns(xs, 0, w, FH, 0, 0, true); }
    // Both of the above: the source column is `sx`, or the destination column when `reveal`.
    void NewColumns(const std::vector<int64_t>& xs, int64_t dy, int64_t w, int64_t h, int64_t sx, int64_t sy,
                    bool reveal);
    // Dissolve step `k` revealing whole rows of the union of the step's cells (direct pixels only).
    void DissolveByRows(int64_t k);
    // Whether the current step copies straight between the destination and the new picture.
    bool RevealsDirect() const { return FReveal.has_value() && FReveal->Direct(); }
    void ShiftedNew(int64_t dx, int64_t dy, int64_t sx, int64_t sy, int64_t w, int64_t h) {
        Blt(tgtDest, dx, dy, w, h, srcNew, sx, sy);
    }
    void ShiftedOld(int64_t dx, int64_t dy, int64_t sx, int64_t sy, int64_t w, int64_t h) {
        Blt(tgtDest, dx, dy, w, h, srcOld, sx, sy);
    }
    void ComposeNew(int64_t dx, int64_t dy, int64_t sx, int64_t sy, int64_t w, int64_t h) {
        Blt(tgtWork, dx, dy, w, h, srcNew, sx, sy);
    }
    void ComposeOld(int64_t dx, int64_t dy, int64_t sx, int64_t sy, int64_t w, int64_t h) {
        Blt(tgtWork, dx, dy, w, h, srcOld, sx, sy);
    }
    // The source part (sx, sy, sw, sh) scaled into (x, y, w, h); the whole picture by default.
    void Stretch(TTarget target, int64_t x, int64_t y, int64_t w, int64_t h, TSource src, int sx, int sy,
                 int sw, int sh);
    void Stretch(TTarget target, int64_t x, int64_t y, int64_t w, int64_t h, TSource src) {
        Stretch(target, x, y, w, h, src, 0, 0, FW, FH);
    }
    void FillWork(TSource src);
    void Present();
    void ClippedReveal(const TPoint* points, int count);
    void BlackFill();
    void Darken(TTarget target, int pattern);

    // The families that copy many parts of the new picture per step.
    bool ManyCopies() const;
    // The families whose every step composes a frame in the work buffer and presents it.
    bool ComposesFrames() const;

    // While a step composes directly, what it draws onto the work buffer is recorded here and drawn at
    // Present straight onto the destination, each pixel once: from the last operation that covers it.
    struct TWorkOp {
        bool Stretch;
        TSource Src;
        int64_t X, Y, W, H;     // copy: destination after clipping; stretch: the whole rectangle
        int64_t SX, SY;         // copy: source position
        int SSX, SSY, SSW, SSH; // stretch: source part
        int64_t VL, VT, VR, VB; // the part of the rectangle the operation draws
    };
    void RecordCopy(int64_t dx, int64_t dy, int64_t w, int64_t h, TSource src, int64_t sx, int64_t sy);
    void RecordStretch(int64_t x, int64_t y, int64_t w, int64_t h, TSource src, int sx, int sy, int sw,
                       int sh);
    void PresentComposed();
    void ReplayOps(const std::vector<TWorkOp>& ops);
    void DrawOpPart(const TWorkOp& op, const TRect& part);

    int FEffect;
    int FW, FH, FS, FT;
    int FDX = 0, FDY = 0;
    int FHW, FHH, FMin;
    int FInterval = 0;
    int FStepsDrawn = 0;
    bool FPrepared = false;
    bool FDry = false; // counting steps: no buffers, nothing drawn
    bool FDirectPixels = true;
    std::optional<TCopyBatch> FReveal; // destination <- new picture, for the length of one step
    std::vector<int64_t> FScratch;     // per-step lists (columns, runs)
    std::vector<TCopyBatch::TColumn> FColumns;
    std::vector<int32_t> FCellRows, FCellStart;
    bool FComposing = false; // this step's work-buffer drawing is recorded (see TWorkOp)
    std::vector<TWorkOp> FWorkOps;
    std::vector<TWorkOp> FLastOps; // the last frame composed directly (it covered the whole buffer)
    bool FWorkStale = false;       // the work buffer does not hold that frame
    TqelEffectState FState;
    std::function<bool()> FTerminated;

    // Per-step device contexts (valid only inside DrawStep, Prepare and DrawFinalFrame).
    HDC FDest = nullptr;
    HDC FSource = nullptr;

    HDC FOldDC = nullptr;
    HBITMAP FOldBitmap = nullptr;
    HGDIOBJ FOldPrevious = nullptr;
    HDC FWorkDC = nullptr;
    HBITMAP FWorkBitmap = nullptr;
    HGDIOBJ FWorkPrevious = nullptr;
    HBRUSH FPatterns[4] = {};
    const TqelRandPoints* FRand = nullptr;
    HRGN FSavedClip = nullptr;
};

} // namespace qel
