#pragma once
// The transition component: the effect settings a control carries (effect, selection, size, speed)
// and the synchronous play of one effect from a bitmap, or from a control painted into a bitmap,
// onto a canvas.
//
//   TqelTransition t(ownerControl);
//   t.SetEffect(qtfSelectionSequence);
//   t.SetEffectSelection({qtfWipeClockwise, qtfCoverDown});
//   t.PlayControl(page, frame->Canvas(), 2, 2);   // returns when the effect has ended
//
// Play waits for the worker thread on the GUI thread; the wait services the worker's synchronised
// calls, so OnCancel and OnEffectEnd run on the GUI thread during it. At most one effect plays at a time:
// a Play (or PlayControl) arriving while one plays returns at once. In form files the selection is
// stored as the defined property "EffectSelections" = (128, 84, ...).
#include <cstdint>
#include <memory>

#include "effects/transition_engine.h"
#include "platform/controls/controls.h"
#include "platform/core/component.h"
#include "platform/graphics/bitmap.h"

namespace qel {

class TFiler;
class TReader;
class TWriter;

// Effect granularity in pixels (1 .. maximum integer; the engine plays nothing below 1).
using TqelEffectSize = int;

class TqelTransition : public TPersistent {
    QEL_CLASS(TqelTransition, TPersistent)
    // `owner` is the control that carries the settings (GetOwner); while it is loading, a stored
    // EffectSelIndex is kept as given because the selection is read after it.
    explicit TqelTransition(TComponent* owner = nullptr);
    ~TqelTransition() override;
    TqelTransition(const TqelTransition&) = delete;
    TqelTransition& operator=(const TqelTransition&) = delete;

    TPersistent* GetOwner() const override { return FOwner; }

    TqelTransitionEffect GetEffect() const { return FEffect; }
    void SetEffect(TqelTransitionEffect value);
    const TqelEffectSelection& GetEffectSelection() const { return FEffectSelection; }
    // Replaces the selection by a copy of `value` and fires OnChange.
    void SetEffectSelection(const TqelEffectSelection& value);
    int GetEffectSelIndex() const { return FEffectSelIndex; }
    // A value below -1 or not below the selection's count sets -1 without notification (except while
    // the owner loads, when the value is kept as given; playing normalises it).
    void SetEffectSelIndex(int value);
    TqelEffectSize GetEffectSize() const { return FEffectSize; }
    void SetEffectSize(TqelEffectSize value);
    uint16_t GetEffectSpeed() const { return FEffectSpeed; }
    void SetEffectSpeed(uint16_t value);
    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool value);
    bool GetNoRedraw() const { return FNoRedraw; }
    void SetNoRedraw(bool value);
    // Pause after the effect (not published; the engine raises it to 1 ms).
    uint16_t GetPause() const { return FPause; }
    void SetPause(uint16_t value) { FPause = value; }
    // Play waits for the effect (always).
    bool Synchronous() const { return true; }

    // Whether an effect is playing now, its worker and the canvas it draws on (nullptr when idle).
    bool Playing() const { return FPlay != nullptr; }
    const TqelTransitionThread* PlayingThread() const;
    TCanvas* PlayingCanvas() const;
    // The control picture captured by the last PlayControl (kept until its effect ends).
    TBitmap* CapturedPicture() const { return FCaptured.get(); }

    // From another transition: every setting, the selection (a copy), OnCancel and OnEffectEnd, then
    // OnChange. Anything else: the platform's assignment.
    void Assign(TPersistent* source) override;
    void DefineProperties(TFiler* filer) override;

    // Plays the effect from `source` (the new picture at its origin) onto `dest` within `rect`, and
    // returns when it has ended. Returns at once when an effect is already playing or the engine
    // starts nothing (missing canvas, empty rectangle, effect size below 1).
    void Play(TCanvas* source, TCanvas* dest, const TRect& rect);
    // Paints `control` into a bitmap and plays it onto `canvas` at (x, y) with the control's size.
    void PlayControl(TWinControl* control, TCanvas* canvas, int x, int y);
    // PlayControl at the rectangle's top-left with the canvas's device-context state saved and
    // restored around it.
    void PlayControlInRect(TWinControl* control, TCanvas* canvas, const TRect& rect);

    QEL_EVENT(TqelCancelEvent, OnCancel)
    QEL_EVENT(TNotifyEvent, OnEffectEnd)
    QEL_EVENT(TNotifyEvent, OnChange)

protected:
    virtual void Change();
    // Runs when the worker has ended: frees the captured picture, then fires OnEffectEnd.
    virtual void EffectEnd();

private:
    struct TPlayState;
    struct TLink;
    bool OwnerLoading() const;
    void ReadSelections(TReader* reader);
    void WriteSelections(TWriter* writer);

    TComponent* FOwner;
    TqelTransitionEffect FEffect = qtfNone;
    uint16_t FPause = 0;
    TqelEffectSelection FEffectSelection;
    int FEffectSelIndex = -1;
    TqelEffectSize FEffectSize = 8;
    uint16_t FEffectSpeed = 500;
    bool FEnabled = false;
    bool FNoRedraw = false;
    std::unique_ptr<TBitmap> FCaptured;
    // The play in progress (lives on Play's stack), and the link its callbacks reach this object by.
    TPlayState* FPlay = nullptr;
    std::shared_ptr<TLink> FLink;
    bool FInEffectEnd = false;
};

} // namespace qel
