#include "effects/transition.h"

#include "effects/page_frame.h"
#include "platform/core/filer.h"

namespace qel {

// What the worker's callbacks reach the transition through. When the transition goes away while its
// effect plays, Owner is cleared, so a callback still queued for the GUI thread does nothing.
struct TqelTransition::TLink {
    TqelTransition* Owner = nullptr;
};

// One play in progress; it lives on the stack of Play. The members are freed in reverse order: the
// worker first, then the picture it reads.
struct TqelTransition::TPlayState {
    std::unique_ptr<TBitmap> Picture; // the captured picture, when the transition went away meanwhile
    std::unique_ptr<TqelTransitionThread> Thread;
    TCanvas* Dest = nullptr;
    bool Orphaned = false; // the transition was destroyed during the wait
};

QEL_IMPLEMENT_CLASS(TqelTransition, [](auto& c) {
    c.Property("Effect", &TqelTransition::GetEffect, &TqelTransition::SetEffect).Default(qtfNone);
    c.Property("EffectSelIndex", &TqelTransition::GetEffectSelIndex, &TqelTransition::SetEffectSelIndex)
        .Default(-1);
    c.Property("EffectSize", &TqelTransition::GetEffectSize, &TqelTransition::SetEffectSize).Default(8);
    c.Property("EffectSpeed", &TqelTransition::GetEffectSpeed, &TqelTransition::SetEffectSpeed).Default(500);
    c.Property("Enabled", &TqelTransition::GetEnabled, &TqelTransition::SetEnabled).Default(false);
    c.Property("NoRedraw", &TqelTransition::GetNoRedraw, &TqelTransition::SetNoRedraw).Default(false);
})

TqelTransition::TqelTransition(TComponent* owner) : FOwner(owner), FLink(std::make_shared<TLink>()) {
    FLink->Owner = this;
}

TqelTransition::~TqelTransition() {
    FLink->Owner = nullptr;
    if (FPlay) {
        // Destroyed from inside the wait of Play (a handler of the effect freed the owner). The worker
        // is blocked in a synchronised call or has ended, so it cannot be waited for here: it is told
        // to stop and handed, with the picture it reads, to the waiting Play, which frees both once
        // the worker has ended.
        FPlay->Orphaned = true;
        FPlay->Thread->SetOnTerminate(nullptr);
        FPlay->Thread->Terminate();
        FPlay->Thread->SetSuspended(false);
        FPlay->Picture = std::move(FCaptured);
        FPlay = nullptr;
        if (!FInEffectEnd) {
            TNotifyEvent handler = FOnEffectEnd;
            handler(this);
        }
    }
}

bool TqelTransition::OwnerLoading() const {
    return FOwner && (FOwner->IsLoading() || FOwner->ComponentState().Contains(csReading));
}

void TqelTransition::Change() {
    TNotifyEvent handler = FOnChange;
    handler(this);
}

void TqelTransition::SetEffect(TqelTransitionEffect value) {
    if (value == FEffect) return;
    FEffect = value;
    Change();
}

void TqelTransition::SetEffectSelection(const TqelEffectSelection& value) {
    FEffectSelection = value;
    Change();
}

void TqelTransition::SetEffectSelIndex(int value) {
    // While loading the selection has not been read yet (it is stored after the published
    // properties), so the index is kept as stored; the engine starts over when it is out of range.
    if (!OwnerLoading() && (value < -1 || value >= static_cast<int>(FEffectSelection.size()))) {
        FEffectSelIndex = -1;
        return;
    }
    if (value == FEffectSelIndex) return;
    FEffectSelIndex = value;
    Change();
}

void TqelTransition::SetEffectSize(TqelEffectSize value) {
    if (value == FEffectSize) return;
    FEffectSize = value;
    Change();
}

void TqelTransition::SetEffectSpeed(uint16_t value) {
    if (value == FEffectSpeed) return;
    FEffectSpeed = value;
    Change();
}

void TqelTransition::SetEnabled(bool value) {
    if (value == FEnabled) return;
    FEnabled = value;
    Change();
}

void TqelTransition::SetNoRedraw(bool value) {
    if (value == FNoRedraw) return;
    FNoRedraw = value;
    Change();
}

const TqelTransitionThread* TqelTransition::PlayingThread() const {
    return FPlay ? FPlay->Thread.get() : nullptr;
}

TCanvas* TqelTransition::PlayingCanvas() const {
    return FPlay ? FPlay->Dest : nullptr;
}

void TqelTransition::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TqelTransition*>(source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    if (src == this) return;
    SetEffect(src->FEffect);
    SetEffectSelection(src->FEffectSelection);
    SetEffectSelIndex(src->FEffectSelIndex);
    SetEffectSize(src->FEffectSize);
    SetEffectSpeed(src->FEffectSpeed);
    SetEnabled(src->FEnabled);
    SetNoRedraw(src->FNoRedraw);
    FOnCancel = src->FOnCancel;
    FOnEffectEnd = src->FOnEffectEnd;
    Change();
}

void TqelTransition::ReadSelections(TReader* reader) {
    TqelEffectSelection list;
    reader->ReadListBegin();
    while (!reader->EndOfList()) list.push_back(reader->ReadInteger());
    reader->ReadListEnd();
    FEffectSelection = std::move(list);
}

void TqelTransition::WriteSelections(TWriter* writer) {
    writer->WriteListBegin();
    for (int v : FEffectSelection) writer->WriteInteger(v);
    writer->WriteListEnd();
}

void TqelTransition::DefineProperties(TFiler* filer) {
    TPersistent::DefineProperties(filer);
    // Against an ancestor the list is written whenever it differs, an emptied one as "()", so that an
    // inherited form can clear its ancestor's selection.
    auto* ancestor = dynamic_cast<TqelTransition*>(filer->Ancestor());
    const bool hasData =
        ancestor ? ancestor->FEffectSelection != FEffectSelection : !FEffectSelection.empty();
    filer->DefineProperty(
        "EffectSelections", [this](TReader* r) { ReadSelections(r); },
        [this](TWriter* w) { WriteSelections(w); }, hasData);
    // Older files store whether effects processed messages; it has no meaning any more.
    filer->DefineProperty(
        "ProcessMessages", [](TReader* r) { r->ReadBoolean(); }, [](TWriter*) {}, false);
}

void TqelTransition::EffectEnd() {
    FInEffectEnd = true;
    std::shared_ptr<TLink> link = FLink;
    FCaptured.reset();
    // A copy, so that a handler that frees this object does not free itself while it runs.
    TNotifyEvent handler = FOnEffectEnd;
    handler(this);
    if (link->Owner) FInEffectEnd = false;
}

void TqelTransition::Play(TCanvas* source, TCanvas* dest, const TRect& rect) {
    if (FPlay) return;
    TPlayState play;
    play.Dest = dest;
    std::shared_ptr<TLink> link = FLink;
    TqelEffectParams p;
    p.Effect = FEffect;
    p.Selection = &FEffectSelection;
    p.SelectionIndex = &FEffectSelIndex; // advanced in place, without OnChange
    p.Source = source;
    p.Dest = dest;
    p.DX = rect.Left;
    p.DY = rect.Top;
    p.W = rect.Width();
    p.H = rect.Height();
    p.Size = FEffectSize;
    p.Speed = FEffectSpeed;
    p.Pause = FPause;
    if (FOnCancel) {
        p.OnCancel = TqelCancelEvent([link](TObject*, bool& cancel) {
            if (TqelTransition* t = link->Owner) {
                TqelCancelEvent handler = t->FOnCancel;
                handler(t, cancel);
            }
        });
    }
    p.OnEnd = TNotifyEvent([link](TObject*) {
        if (TqelTransition* t = link->Owner) t->EffectEnd();
    });
    play.Thread = StartTransition(p);
    if (!play.Thread) return;
    FPlay = &play;
    try {
        play.Thread->WaitFor();
    } catch (...) {
        if (!play.Orphaned) FPlay = nullptr;
        throw;
    }
    // After the wait this object may be gone (play.Orphaned); only the play state is touched then.
    if (!play.Orphaned) FPlay = nullptr;
}

void TqelTransition::PlayControl(TWinControl* control, TCanvas* canvas, int x, int y) {
    if (!control) return;
    // The running effect reads the captured picture: a call during the wait changes nothing.
    if (FPlay) return;
    FCaptured.reset();
    FCaptured = PaintControlToBitmap(control);
    TBitmap* picture = FCaptured.get();
    Play(picture->GetCanvas(), canvas, TRect{x, y, x + picture->GetWidth(), y + picture->GetHeight()});
}

void TqelTransition::PlayControlInRect(TWinControl* control, TCanvas* canvas, const TRect& rect) {
    if (!canvas) {
        PlayControl(control, canvas, rect.Left, rect.Top);
        return;
    }
    HDC dc = canvas->GetHandle();
    const int saved = SaveDC(dc);
    std::shared_ptr<TLink> link = FLink;
    auto restore = [&] {
        // Nothing to restore when the canvas let its context go meanwhile.
        if (canvas->HandleAllocated() && canvas->GetHandle() == dc) RestoreDC(dc, saved);
    };
    try {
        PlayControl(control, canvas, rect.Left, rect.Top);
    } catch (...) {
        if (link->Owner) restore();
        throw;
    }
    if (link->Owner) restore();
}

} // namespace qel
