#include "effects/transition_engine.h"

#include <algorithm>

#include "effects/effect_tables.h"
#include "platform/core/clock.h"

namespace qel {

namespace {

// How long the worker waits before it tries again to take the canvases for the final frame.
constexpr uint64_t kFinalFrameRetry = 5;

} // namespace

int ResolveEffect(int effect, const TqelEffectSelection* selection, int* selectionIndex) {
    int chosen;
    switch (effect) {
    case qtfRandom:
        // Any drawn effect, qtfNone, qtfCut or qtfCutThroughBlack; never the fade.
        return EffectRandom(qtfFadeThroughBlack);
    case qtfSelectionRandom:
        if (!selection || selection->empty()) return qtfNone;
        chosen = (*selection)[static_cast<size_t>(EffectRandom(static_cast<int>(selection->size())))];
        break;
    case qtfSelectionSequence: {
        if (!selection || selection->empty()) return qtfNone;
        const int count = static_cast<int>(selection->size());
        int index = selectionIndex ? *selectionIndex : -1;
        // An index left outside the list (the list shrank, or it was set by hand) starts over.
        index = index < -1 || index + 1 >= count ? 0 : index + 1;
        if (selectionIndex) *selectionIndex = index;
        chosen = (*selection)[static_cast<size_t>(index)];
        break;
    }
    default: return effect;
    }
    // A stored qtfRandom stays as it is and plays like a cut.
    return chosen < 0 || chosen > qtfRandom ? static_cast<int>(qtfNone) : chosen;
}

QEL_IMPLEMENT_CLASS(TqelTransitionThread)

TqelTransitionThread::TqelTransitionThread(int effect, const TqelEffectParams& params)
    : TThread(true), FSteps(effect, params.W, params.H, params.Size, params.Speed), FSource(params.Source),
      FDest(params.Dest), FDX(params.DX), FDY(params.DY), FPause(std::max(params.Pause, 1)),
      FOnCancel(params.OnCancel) {
    SetFreeOnTerminate(false);
    SetOnTerminate(params.OnEnd);
    FSteps.SetTerminatedQuery([this] { return Terminated(); });
}

TqelTransitionThread::~TqelTransitionThread() {
    // Execute uses the members below; stop it before they go.
    TerminateAndWait();
}

void TqelTransitionThread::Begin(bool startSuspended) {
    Prepare();
    if (!startSuspended) Start();
}

void TqelTransitionThread::Prepare() {
    // The old picture is taken here, in the caller's thread, waiting for the destination if need be.
    FDest->Lock();
    try {
        FSteps.Prepare(FDest->GetHandle(), FDX, FDY);
    } catch (...) {
        FDest->Unlock();
        throw;
    }
    FDest->Unlock();
}

void TqelTransitionThread::TerminatedSet() {
    { std::lock_guard g(FWaitLock); }
    FWake.notify_all();
}

bool TqelTransitionThread::WaitUntil(uint64_t deadline) {
    std::unique_lock g(FWaitLock);
    Clock().WaitUntil(g, FWake, deadline, [this] { return Terminated(); });
    return !Terminated();
}

bool TqelTransitionThread::LockCanvases() {
    if (Terminated() || !FDest->TryLock()) return false;
    if (FSource == FDest) return true;
    if (Terminated() || !FSource->TryLock()) {
        FDest->Unlock();
        return false;
    }
    return true;
}

void TqelTransitionThread::UnlockCanvases() {
    if (FSource != FDest) FSource->Unlock();
    FDest->Unlock();
}

bool TqelTransitionThread::QueryCancel() {
    if (!FOnCancel) return Terminated();
    FCancel = false;
    if (!Terminated()) Synchronize([this] { FOnCancel(this, FCancel); });
    if (FCancel) Terminate();
    return Terminated();
}

bool TqelTransitionThread::HasMoreSteps() {
    return FSteps.HasMoreSteps();
}

void TqelTransitionThread::DrawStep() {
    FSteps.DrawStep(FDest->GetHandle(), FSource->GetHandle());
    FStepsDrawn.store(FSteps.StepsDrawn());
}

void TqelTransitionThread::RunSteps() {
    if (Terminated()) return;
    const uint64_t interval = static_cast<uint64_t>(FSteps.Interval());
    uint64_t deadline = Clock().Milliseconds() + interval;
    for (;;) {
        if (!HasMoreSteps()) return;
        if (LockCanvases()) {
            try {
                DrawStep();
            } catch (...) {
                UnlockCanvases();
                throw;
            }
            UnlockCanvases();
        }
        if (Terminated()) return;
        if (QueryCancel()) return;
        if (!WaitUntil(deadline)) return;
        // A paused thread continues its schedule from where it was paused, instead of rushing out the
        // steps that fell due meanwhile.
        deadline += interval;
        if (Suspended()) {
            const uint64_t pausedAt = Clock().Milliseconds();
            CheckSuspended();
            if (Terminated()) return;
            deadline += Clock().Milliseconds() - pausedAt;
        }
    }
}

void TqelTransitionThread::Execute() {
    RunSteps();
    if (Terminated()) return; // the destination keeps the partial picture
    // The final frame must not be lost to a canvas that happens to be busy: try again until the
    // canvases are free or the effect is stopped.
    for (;;) {
        if (LockCanvases()) {
            try {
                FSteps.DrawFinalFrame(FDest->GetHandle(), FSource->GetHandle());
            } catch (...) {
                UnlockCanvases();
                throw;
            }
            UnlockCanvases();
            FFinalDrawn.store(true);
            break;
        }
        if (Terminated()) return;
        WaitUntil(Clock().Milliseconds() + kFinalFrameRetry);
    }
    if (Terminated()) return;
    WaitUntil(Clock().Milliseconds() + static_cast<uint64_t>(FPause));
    Terminate();
}

std::unique_ptr<TqelTransitionThread> StartTransition(const TqelEffectParams& params) {
    if (!params.Source || !params.Dest || params.W <= 0 || params.H <= 0 || params.Size <= 0) return nullptr;
    const int effect = ResolveEffect(params.Effect, params.Selection, params.SelectionIndex);
    auto thread = std::make_unique<TqelTransitionThread>(effect, params);
    thread->Begin(params.StartSuspended);
    return thread;
}

void CancelTransition(std::unique_ptr<TqelTransitionThread>& thread) {
    if (!thread) return;
    thread->SetFreeOnTerminate(false);
    thread->SetOnTerminate(nullptr);
    thread->Terminate();
    thread->SetSuspended(false); // it may have been created suspended, or paused
    thread->WaitFor();
    thread.reset();
}

} // namespace qel
