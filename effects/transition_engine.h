#pragma once
// The transition engine: plays one bitmap transition effect from the picture a destination canvas
// shows onto a new picture, step by step in a worker thread.
//
//   TqelEffectParams p;
//   p.Effect = qtfPourDown;
//   p.Source = &newPictureCanvas;   // the new picture at (0, 0)
//   p.Dest = &screenCanvas;         // shows the old picture in (DX, DY, W, H)
//   p.DX = 10; p.DY = 10; p.W = 200; p.H = 100;
//   p.OnEnd = TNotifyEvent(this, &TOwner::EffectEnd);   // runs in the GUI thread
//   std::unique_ptr<TqelTransitionThread> t = StartTransition(p);   // null: nothing to play
//   ...
//   t->WaitFor();              // services synchronisation on the GUI thread
//   // or, to stop it early without its end notification:
//   CancelTransition(t);
//
// The worker draws each step with raw device-context transfers while it holds both canvases through
// TryLock; it never blocks on a canvas. A step that finds a canvas busy is drawn after the next wait, so
// a busy destination lengthens the effect without losing a step. The cancel query and the end
// notification run in the GUI thread through the platform's synchronisation.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "effects/transition_effects.h"
#include "effects/transition_steps.h"
#include "platform/core/events.h"
#include "platform/graphics/graphics.h"
#include "platform/windows/thread.h"

namespace qel {

// A "before" event: the handler sets Cancel to true to stop what is about to happen.
using TqelCancelEvent = TEvent<void(TObject* Sender, bool& Cancel)>;

// Everything one play of an effect needs.
struct TqelEffectParams {
    int Effect = qtfNone;                           // requested effect (ordinal)
    const TqelEffectSelection* Selection = nullptr; // ordinals for the two selection modes
    int* SelectionIndex = nullptr;                  // position in the selection, updated in place
    TCanvas* Source = nullptr;                      // the new picture, origin at its top-left
    TCanvas* Dest = nullptr;                        // shows the old picture and receives the effect
    int DX = 0, DY = 0, W = 0, H = 0;               // the destination rectangle
    int Size = 8;                                   // granularity in pixels, 1 or more
    int Speed = 500;                                // nominal duration of the stepping (0..65535 ms)
    int Pause = 1;                                  // wait after the last frame (raised to 1)
    TqelCancelEvent OnCancel;                       // asked between steps in the GUI thread
    TNotifyEvent OnEnd;                             // called in the GUI thread when the thread ends
    bool StartSuspended = false;                    // create the thread without starting it
};

// Chooses the effect to play for a requested one: a random drawn effect, qtfNone or a cut for
// qtfRandom; an element of the selection for the two selection modes (advancing the index for
// qtfSelectionSequence); elements outside 0..134 become qtfNone. Other values are returned unchanged.
int ResolveEffect(int effect, const TqelEffectSelection* selection, int* selectionIndex);

class TqelTransitionThread : public TThread {
    QEL_CLASS(TqelTransitionThread, TThread)
    // Stores the parameters; the effect must be resolved already. Use StartTransition.
    TqelTransitionThread(int effect, const TqelEffectParams& params);
    ~TqelTransitionThread() override;

    // Prepares the effect in the calling thread (takes the old picture under a blocking lock of the
    // destination canvas) and starts the worker unless `startSuspended`.
    void Begin(bool startSuspended);

    int Effect() const { return FSteps.Effect(); }
    int Interval() const { return FSteps.Interval(); }
    int Pause() const { return FPause; }
    // Steps drawn so far (read it once the thread has ended, or from the GUI thread inside a callback).
    int StepsDrawn() const { return FStepsDrawn.load(); }
    // Whether the final frame was drawn.
    bool FinalFrameDrawn() const { return FFinalDrawn.load(); }
    const TqelTransitionSteps& Steps() const { return FSteps; }

protected:
    void Execute() override;
    virtual void Prepare();
    virtual void DrawStep();
    virtual void RunSteps();
    virtual bool HasMoreSteps();
    void TerminatedSet() override;

    // Takes both canvases without waiting; false (holding neither) when one is busy or termination
    // was requested.
    bool LockCanvases();
    void UnlockCanvases();
    // Runs the cancel query in the GUI thread; true when the effect is to stop.
    bool QueryCancel();
    // Waits until the clock reaches `deadline` or termination is requested; false when terminated.
    bool WaitUntil(uint64_t deadline);

private:
    TqelTransitionSteps FSteps;
    TCanvas* FSource;
    TCanvas* FDest;
    int FDX, FDY;
    int FPause;
    TqelCancelEvent FOnCancel;
    bool FCancel = false;
    std::atomic<int> FStepsDrawn{0};
    std::atomic<bool> FFinalDrawn{false};
    std::mutex FWaitLock;
    std::condition_variable FWake;
};

// Starts an effect: none (and the selection index untouched) when a canvas is missing, the rectangle is
// empty or the size is below 1. The caller owns the thread; it does not free itself.
std::unique_ptr<TqelTransitionThread> StartTransition(const TqelEffectParams& params);

// Stops a playing (or never started) effect from the owner's side, without its end notification:
// clears the termination handler, requests termination, releases a suspended thread, waits for it
// (servicing synchronisation) and frees it. The destination keeps the partial picture.
void CancelTransition(std::unique_ptr<TqelTransitionThread>& thread);

} // namespace qel
