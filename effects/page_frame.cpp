#include "effects/page_frame.h"

#include <algorithm>

#include "foundation/base_forms.h"
#include "platform/controls/publish.h"
#include "platform/core/clock.h"
#include "platform/core/filer.h"

namespace qel {

// ---- window animation
// --------------------------------------------------------------------------------------

namespace {

TqelAnimationPump& Pump() {
    static TqelAnimationPump pump;
    return pump;
}

void DefaultPump(uint32_t deadline) {
    while (deadline > GetTickCount()) {
        if (Application) {
            Application->ProcessMessages();
            if (Application->Terminated()) return;
        }
        uint32_t now = GetTickCount();
        if (deadline > now) Sleep(std::min<uint32_t>(deadline - now, 5));
    }
}

// Notices the destruction of a component while a loop that uses it runs.
class TDestroyWatch : public TComponent {
public:
    explicit TDestroyWatch(TComponent* watched) : TComponent(nullptr), FWatched(watched) {
        if (watched) watched->FreeNotification(this);
    }
    ~TDestroyWatch() override {
        if (FWatched) FWatched->RemoveFreeNotification(this);
    }
    bool Alive() const { return FWatched && !FWatched->IsDestroying(); }

protected:
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == opRemove && component == FWatched) FWatched = nullptr;
    }

private:
    TComponent* FWatched;
};

// Forms show and hide through their own operations (activation, OnShow and OnHide).
void ShowHosted(TScrollingWinControl* form) {
    if (auto* f = dynamic_cast<TCustomForm*>(form))
        f->Show();
    else
        form->Show();
}

void HideHosted(TScrollingWinControl* form) {
    if (auto* f = dynamic_cast<TCustomForm*>(form))
        f->Hide();
    else
        form->Hide();
}

void PlaceControl(TControl* control, const TqelBounds& b) {
    control->SetBounds(b.Left, b.Top, b.Width, b.Height);
}

// Focuses a control when it can take the focus; a refusal leaves the focus where it is.
void TryFocus(TWinControl* control) {
    if (!control || !control->CanFocus()) return;
    try {
        control->SetFocus();
    } catch (const EInvalidOperation&) {
    }
}

} // namespace

TqelAnimationPump SetAnimationPump(TqelAnimationPump pump) {
    TqelAnimationPump old = std::move(Pump());
    Pump() = std::move(pump);
    return old;
}

TqelBounds AnimationStartBounds(TqelWindowAnimationStyle style, const TqelBounds& start,
                                const TqelBounds& final) {
    const int L = final.Left, T = final.Top, W = final.Width, H = final.Height;
    const int SW = start.Width, SH = start.Height;
    // The far edges use W and H themselves, not L + W and T + H.
    switch (style) {
    case qwaNone: return final;
    case qwaMoveDown: return {L, T - H, W, H};
    case qwaMoveUp: return {L, H, W, H};
    case qwaMoveRight: return {L - W, T, W, H};
    case qwaMoveLeft: return {W, T, W, H};
    case qwaMoveRightDown: return {L - W, T - H, W, H};
    case qwaMoveRightUp: return {L - W, H, W, H};
    case qwaMoveLeftDown: return {W, T - H, W, H};
    case qwaMoveLeftUp: return {W, H, W, H};
    case qwaSizeDown: return {L, T, W, SH};
    case qwaSizeUp: return {L, H - SH, W, SH};
    case qwaSizeRight: return {L, T, SW, H};
    case qwaSizeLeft: return {W - SW, T, SW, H};
    case qwaSizeRightDown: return {L, T, SW, SH};
    case qwaSizeRightUp: return {L, H - SH, SW, SH};
    case qwaSizeLeftDown: return {W - SW, T, SW, SH};
    case qwaSizeLeftUp: return {W - SW, H - SH, SW, SH};
    }
    return final;
}

bool AnimateControl(TControl* control, const TqelBounds& start, const TqelBounds& final,
                    TqelWindowAnimationStyle style, unsigned time, unsigned steps) {
    if (!control) return false;
    TDestroyWatch watch(control);
    if (style != qwaNone && steps > 0) {
        TqelBounds cur = AnimationStartBounds(style, start, final);
        const int n = static_cast<int>(steps);
        const int dl = (final.Left - cur.Left) / n, dt = (final.Top - cur.Top) / n;
        const int dw = (final.Width - cur.Width) / n, dh = (final.Height - cur.Height) / n;
        const uint32_t stepTime = time / steps;
        const TqelAnimationPump& pump = Pump() ? Pump() : TqelAnimationPump(DefaultPump);
        uint32_t deadline = GetTickCount() + stepTime;
        for (unsigned i = 0; i < steps; ++i) {
            cur.Left += dl;
            cur.Top += dt;
            cur.Width += dw;
            cur.Height += dh;
            PlaceControl(control, cur);
            if (deadline > GetTickCount()) pump(deadline);
            if (!watch.Alive()) return false;
            if (Application && Application->Terminated()) break;
            deadline = GetTickCount() + stepTime;
        }
    }
    PlaceControl(control, final);
    return watch.Alive();
}

std::unique_ptr<TBitmap> CaptureScreenRect(TWinControl* control) {
    auto bmp = std::make_unique<TBitmap>(std::max(control->GetWidth(), 1), std::max(control->GetHeight(), 1));
    if (!control->HandleAllocated()) return bmp;
    TRect r;
    GetWindowRect(control->Handle(), &r);
    HDC screen = GetDC(nullptr);
    BitBlt(bmp->GetCanvas()->GetHandle(), 0, 0, r.Width(), r.Height(), screen, r.Left, r.Top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return bmp;
}

std::unique_ptr<TBitmap> PaintControlToBitmap(TWinControl* control) {
    auto bmp = std::make_unique<TBitmap>(std::max(control->GetWidth(), 1), std::max(control->GetHeight(), 1));
    control->PaintTo(bmp->GetCanvas()->GetHandle(), 0, 0);
    return bmp;
}

// ---- TqelPage
// ------------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TqelPage, [](auto& c) {
    c.Property("AutoCreate", &TqelPage::GetAutoCreate, &TqelPage::SetAutoCreate).Default(true).Stored(false);
    c.Property("AutoDestroy", &TqelPage::GetAutoDestroy, &TqelPage::SetAutoDestroy)
        .Default(true)
        .Stored(false);
    c.Property("FormName", &TqelPage::GetFormName, &TqelPage::SetFormName);
    c.Event("OnCreateForm", &TqelPage::GetOnCreateForm, &TqelPage::SetOnCreateForm);
    c.Event("OnDestroyForm", &TqelPage::GetOnDestroyForm, &TqelPage::SetOnDestroyForm);
    c.Event("OnLoadForm", &TqelPage::GetOnLoadForm, &TqelPage::SetOnLoadForm);
    c.Property("FormActions", &TqelPage::GetFormActions, &TqelPage::SetFormActions)
        .Default(DefaultSubFormActions);
    c.Event("OnFormChange", &TqelPage::GetOnFormChange, &TqelPage::SetOnFormChange);
    c.Event("OnFormChanging", &TqelPage::GetOnFormChanging, &TqelPage::SetOnFormChanging);
    c.Property("ParentTransition", &TqelPage::GetParentTransition, &TqelPage::SetParentTransition)
        .Default(true);
    c.Object("Transition", &TqelPage::GetTransition, &TqelPage::SetTransition)
        .Stored(&TqelPage::IsTransitionStored);
    Publish(c, {"Anchors", "Caption", "Constraints", "Color", "DragCursor", "DragKind", "DragMode", "Enabled",
                "Font", "ParentFont", "ParentShowHint", "PopupMenu", "ShowHint"});
    c.Property("Left", &TControl::GetLeft, &TControl::SetLeft).Stored(false);
    c.Property("Top", &TControl::GetTop, &TControl::SetTop).Stored(false);
    c.Property("Width", &TControl::GetWidth, &TControl::SetWidth).Stored(false);
    c.Property("Height", &TControl::GetHeight, &TControl::SetHeight).Stored(false);
    Publish(c, {"OnDragDrop", "OnDragOver", "OnEndDock", "OnEndDrag", "OnEnter", "OnExit", "OnMouseDown",
                "OnMouseMove", "OnMouseUp", "OnStartDock", "OnStartDrag"});
})

TqelPage::TqelPage(TComponent* owner) : TCustomControl(owner) {
    FAlign = alClient;
    FVisible = false;
    FTabStop = false;
    FControlStyle += TControlStyle{csAcceptsControls, csNoDesignVisible, csReplicatable};
    FParentColor = true;
    FParentFont = true;
    FParentShowHint = true;
    FTransition = std::make_unique<TqelTransition>(this);
    FTransition->SetOnChange(TNotifyEvent(this, &TqelPage::TransitionChange));
    FTransition->SetOnCancel(TqelCancelEvent(this, &TqelPage::TransitionCancel));
    FParentTransition = true;
}

TqelPage::~TqelPage() {
    Destroying();
    if (FPageFrame) FPageFrame->RemovePage(this);
    if (FForm) {
        if (FFormActions.Contains(qfaDestroy)) {
            DestroyForm();
        } else {
            // A kept form that the page does not own goes back to being a free window.
            TScrollingWinControl* form = FForm;
            SetHostedForm(nullptr);
            if (form->Owner() != this && form->GetParent() == this) form->SetParent(nullptr);
        }
    }
}

void TqelPage::SetPageFrame(TqelCustomPageFrame* frame) {
    if (frame == FPageFrame) return;
    if (FPageFrame) FPageFrame->RemovePage(this);
    if (frame) frame->InsertPage(this);
    SetParent(frame);
}

void TqelPage::SetParent(TWinControl* parent) {
    // A page lives only in a page frame.
    if (parent && !dynamic_cast<TqelCustomPageFrame*>(parent)) Abort();
    TCustomControl::SetParent(parent);
}

void TqelPage::ReadState(TReader* reader) {
    TCustomControl::ReadState(reader);
    if (auto* frame = dynamic_cast<TqelCustomPageFrame*>(reader->Parent()); frame && frame != FPageFrame) {
        if (FPageFrame) FPageFrame->RemovePage(this);
        frame->InsertPage(this);
    }
}

void TqelPage::SetTransition(TqelTransition* value) {
    if (!value || value == FTransition.get()) return;
    FTransition->Assign(value);
    // The copied cancel query belongs to the source's owner; the page stays the one it asks.
    FTransition->SetOnCancel(TqelCancelEvent(this, &TqelPage::TransitionCancel));
}

void TqelPage::TransitionChange(TObject*) {
    FParentTransition = false;
}

void TqelPage::TransitionCancel(TObject*, bool& cancel) {
    if ((Application && Application->Terminated()) || IsDestroying()) cancel = true;
}

TqelTransition* TqelPage::FormTransition() const {
    if (FParentTransition)
        if (auto* frame = dynamic_cast<TqelAnimationFrame*>(FParent)) return frame->GetTransition();
    return FTransition.get();
}

int TqelPage::GetPageIndex() const {
    return FPageFrame ? FPageFrame->IndexOfPage(this) : -1;
}

void TqelPage::SetPageIndex(int value) {
    if (!FPageFrame) return;
    int last = FPageFrame->PageCount() - 1;
    if (value > last)
        throw EListError(std::to_string(value) +
                         " is an invalid PageIndex value.  PageIndex must be between 0 and " +
                         std::to_string(last));
    if (value < 0) throw EListError("List index out of bounds (" + std::to_string(value) + ")");
    FPageFrame->MovePage(this, value);
}

void TqelPage::SetHostedForm(TScrollingWinControl* form) {
    if (FForm == form) return;
    if (FForm) FForm->RemoveFreeNotification(this);
    FForm = form;
    if (FForm) FForm->FreeNotification(this);
}

void TqelPage::Notification(TComponent* component, TOperation operation) {
    TCustomControl::Notification(component, operation);
    // A hosted form freed by someone else (closed with caFree, released) is no longer hosted.
    if (operation == opRemove && component == FForm) FForm = nullptr;
}

TScrollingWinControl* TqelPage::NewForm() {
    if (FFormName.empty()) throw Exception("FormName expected");
    TClass cls = FindClass("T" + FFormName);
    if (!cls->InheritsFrom(TScrollingWinControl::StaticClass()))
        throw EInvalidOperation("T" + FFormName + " is not a form class");
    auto* form = static_cast<TScrollingWinControl*>(CreateComponent(cls, this));
    FOnCreateForm(this, form);
    return form;
}

TScrollingWinControl* TqelPage::FindExistingForm() {
    if (FFormName.empty()) throw Exception("FormName expected");
    if (!Application) return nullptr;
    const std::string cls = "T" + FFormName;
    for (int i = 0; i < Application->ComponentCount(); ++i) {
        TComponent* c = Application->Components(i);
        if (c->ClassName() == cls)
            if (auto* f = dynamic_cast<TScrollingWinControl*>(c)) return f;
    }
    return nullptr;
}

void TqelPage::DestroyForm() {
    if (!FForm) return;
    TScrollingWinControl* form = FForm;
    FOnDestroyForm(this, form);
    if (!FForm) return; // freed by the handler
    SetHostedForm(nullptr);
    if (!form->IsDestroying()) delete form;
}

void TqelPage::ChangeForm(TScrollingWinControl* form) {
    std::string name = form ? form->ClassName().substr(1) : std::string();
    if (CanChangeForm(name)) LoadForm(form);
}

bool TqelPage::CanChangeForm(const std::string& newFormName) {
    if (IsLoading() || !FForm) return true;
    if (FFormActions.Contains(qfaClose) || FFormActions.Contains(qfaDestroy))
        if (auto* f = dynamic_cast<TCustomForm*>(FForm); f && !f->CloseQuery()) return false;
    bool allow = true;
    FOnFormChanging(this, newFormName, allow);
    return allow;
}

bool TqelPage::CanClose() {
    if (IsLoading()) return true;
    if (FForm && (FFormActions.Contains(qfaClose) || FFormActions.Contains(qfaDestroy)))
        if (auto* f = dynamic_cast<TCustomForm*>(FForm)) return f->CloseQuery();
    return true;
}

void TqelPage::AcquireForm(bool load) {
    if (!load) {
        LoadForm(nullptr);
        return;
    }
    TScrollingWinControl* form = FFormActions.Contains(qfaShowExisting) ? FindExistingForm() : nullptr;
    if (!form && FFormActions.Contains(qfaCreate)) form = NewForm();
    LoadForm(form);
}

void TqelPage::SetFormName(const std::string& value) {
    if (!CanChangeForm(value)) return;
    FFormName = value;
    if (IsLoading() || IsDesigning()) return;
    if ((FFormActions.Contains(qfaCreate) || FFormActions.Contains(qfaShowExisting)) && HandleAllocated())
        AcquireForm(!value.empty());
}

void TqelPage::SetAutoCreate(bool value) {
    if (value == GetAutoCreate()) return;
    if (value)
        FFormActions.Include(qfaCreate);
    else
        FFormActions.Exclude(qfaCreate);
    if (IsDesigning()) return;
    if (value)
        SetFormName(FFormName);
    else
        ChangeForm(nullptr);
}

void TqelPage::SetAutoDestroy(bool value) {
    if (value)
        FFormActions.Include(qfaDestroy);
    else
        FFormActions.Exclude(qfaDestroy);
}

void TqelPage::SetFormActions(TqelSubFormActions value) {
    FFormActions = value;
    SetAutoCreate(value.Contains(qfaCreate));
    SetAutoDestroy(value.Contains(qfaDestroy));
}

void TqelPage::CreateHandle() {
    TCustomControl::CreateHandle();
    if (IsDesigning()) return;
    if ((FFormActions.Contains(qfaCreate) || FFormActions.Contains(qfaShowExisting)) && !FForm &&
        !FFormName.empty())
        AcquireForm(true);
}

void TqelPage::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.WindowClassStyle &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
}

void TqelPage::Paint() {
    if (FShowSnapshot) {
        if (FSnapshot) Canvas()->Draw(0, 0, FSnapshot.get());
        return;
    }
    TCustomControl::Paint();
    if (FForm && FForm->HandleAllocated()) FForm->Update();
}

bool TqelPage::IsCurrent() const {
    return FPageFrame &&
           (FPageFrame->FActivePage == this || (FPageFrame->FChanging && FPageFrame->FNewPage == this));
}

void TqelPage::ReleaseFormOnHide() {
    if (!FForm) return;
    if (FFormActions.Contains(qfaDeactivate)) FForm->Perform(CM_DEACTIVATE);
    if (FForm && FFormActions.Contains(qfaHide)) HideHosted(FForm);
    if (FForm && FFormActions.Contains(qfaClose)) {
        if (auto* f = dynamic_cast<TCustomForm*>(FForm))
            f->Close();
        else
            FForm->SetVisible(false);
    }
    if (FForm && FFormActions.Contains(qfaDestroy)) DestroyForm();
}

void TqelPage::LoadForm(TScrollingWinControl* form) {
    const bool hadWindow = HandleAllocated();
    const bool current = IsCurrent();
    if (form != FForm) {
        const bool emptying = !form;
        TRect r = GetClientRect();
        AdjustClientRect(r);
        TqelTransition* transition = FormTransition();
        TDestroyWatch watch(this);
        // The frame whose transition plays may go away during the play.
        TDestroyWatch transitionWatch(transition == FTransition.get() ? static_cast<TComponent*>(this)
                                                                      : FParent);
        // The snapshot lives for this one change, whatever happens in it.
        struct TSnapshotGuard {
            TqelPage* Page;
            TDestroyWatch& Watch;
            ~TSnapshotGuard() {
                if (!Watch.Alive()) return;
                Page->FShowSnapshot = false;
                Page->FSnapshot.reset();
            }
        } guard{this, watch};
        if (FForm) {
            // Repaints during the change show the old picture.
            FSnapshot = CaptureScreenRect(this);
            FShowSnapshot = true;
            TScrollingWinControl* old = FForm;
            if (FFormActions.Contains(qfaDeactivate)) old->Perform(CM_DEACTIVATE);
            if (FForm && FFormActions.Contains(qfaHide)) HideHosted(FForm);
            if (FForm && FFormActions.Contains(qfaClose)) {
                if (auto* f = dynamic_cast<TCustomForm*>(FForm))
                    f->Close();
                else
                    FForm->SetVisible(false);
            }
            if (FForm) FForm->SetParent(nullptr);
            if (FForm && FFormActions.Contains(qfaDestroy)) DestroyForm();
            SetHostedForm(nullptr);
        }
        if (form) {
            auto* f = dynamic_cast<TCustomForm*>(form);
            if (f) {
                f->SetBorderStyle(bsNone);
                f->SetBorderIcons({});
                f->SetFormStyle(fsNormal);
            }
            TAlign align = form->GetAlign();
            if (align == alNone) align = alClient;
            form->SetAlign(alNone);
            if (f) f->SetAutoScroll(true);
            TRect target = r;
            switch (align) {
            case alTop: target.Bottom = r.Top + form->GetHeight(); break;
            case alBottom: target.Top = r.Bottom - form->GetHeight(); break;
            case alLeft: target.Right = r.Left + form->GetWidth(); break;
            case alRight: target.Left = r.Right - form->GetWidth(); break;
            default: break;
            }
            // Just above and left of the page until it is shown in place.
            TRect away = OffsetRect(target, -target.Right, -target.Bottom);
            form->SetBoundsRect(away);
            form->SetParent(this);
            bool uncovered = false;
            if (current) {
                ShowHosted(form);
                if (FParent && FParent->Showing()) {
                    TDestroyWatch formWatch(form);
                    const bool enabled = transition->GetEnabled();
                    if (enabled) transition->PlayControlInRect(form, Canvas(), target);
                    if (!watch.Alive()) return;
                    if (!formWatch.Alive()) form = nullptr;
                    if (form) {
                        if (enabled && transitionWatch.Alive() && transition->GetNoRedraw() &&
                            transition->GetEnabled() && form->HandleAllocated()) {
                            // The screen already shows the effect's last picture.
                            SetWindowPos(form->Handle(), nullptr, target.Left, target.Top, target.Width(),
                                         target.Height(), SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
                        } else {
                            form->SetBoundsRect(target);
                        }
                        uncovered = !(target == r);
                    }
                }
                if (form && FFormActions.Contains(qfaActivate)) {
                    TryFocus(form);
                    form->Perform(CM_ACTIVATE);
                }
            }
            if (form) {
                form->SetAlign(align);
                FShowSnapshot = false;
                if (uncovered) Invalidate();
                SetHostedForm(form);
                FOnLoadForm(this, form);
            }
        }
        if (emptying && watch.Alive() && transitionWatch.Alive() && transition->GetEnabled() &&
            !IsDestroying() && FParent && FParent->Showing() && current) {
            // The emptied page is revealed from the old picture.
            FShowSnapshot = false;
            std::unique_ptr<TBitmap> picture = PaintControlToBitmap(this);
            FShowSnapshot = true;
            transition->Play(picture->GetCanvas(), Canvas(),
                             TRect{0, 0, picture->GetWidth(), picture->GetHeight()});
            if (!watch.Alive()) return;
        }
        if (!watch.Alive()) return;
        FShowSnapshot = false;
        FSnapshot.reset();
        FOnFormChange(this);
        if (!watch.Alive()) return;
    }
    if (!hadWindow && HandleAllocated()) DestroyHandle();
}

void TqelPage::Dispatch(TMessage& message) {
    if (message.Msg == CM_SHOWINGCHANGED) {
        TCustomControl::Dispatch(message);
        if (IsDesigning() || !Showing()) return;
        if (FForm) {
            if (!FForm->Showing()) ShowHosted(FForm);
            if (FFormActions.Contains(qfaActivate)) {
                FForm->Perform(CM_ACTIVATE);
                TryFocus(FForm);
            }
        } else if (FFormActions.Contains(qfaActivate) && CanFocus()) {
            SelectFirst();
        }
        return;
    }
    TCustomControl::Dispatch(message);
}

// ---- TqelCustomPageFrame
// ---------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TqelCustomPageFrame)

TqelCustomPageFrame::TqelCustomPageFrame(TComponent* owner) : TqelCustomEdgePanel(owner) {
    DoSetBounds(FLeft, FTop, 300, 200);
    FControlStyle = {csCaptureMouse, csClickEvents, csDoubleClicks, csReplicatable};
    FBevelInner = bvNone;
    FBevelOuter = bvRaised;
    FBorderWidth = 0;
    FParentColor = true;
    FTabStop = false;
}

TqelCustomPageFrame::~TqelCustomPageFrame() {
    Destroying();
    for (TqelPage* p : FPages) p->FPageFrame = nullptr;
    FPages.clear();
    FActivePage = nullptr;
}

TqelPage* TqelCustomPageFrame::Pages(int index) const {
    if (index < 0 || index >= PageCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FPages[static_cast<size_t>(index)];
}

int TqelCustomPageFrame::IndexOfPage(const TqelPage* page) const {
    auto it = std::find(FPages.begin(), FPages.end(), page);
    return it == FPages.end() ? -1 : static_cast<int>(it - FPages.begin());
}

void TqelCustomPageFrame::InsertPage(TqelPage* page) {
    FPages.push_back(page);
    page->FPageFrame = this;
}

void TqelCustomPageFrame::RemovePage(TqelPage* page) {
    int index = IndexOfPage(page);
    if (index < 0) return;
    if (page == FActivePage) SetActivePage(nullptr);
    if (page == FActivePage) FActivePage = nullptr; // a vetoed change cannot keep a page that leaves
    page->FPageFrame = nullptr;
    FPages.erase(FPages.begin() + index);
    if (IsDestroying()) return;
    // The page at the same position (or the new last one) becomes active.
    if (index > 0 && index == PageCount()) --index;
    if (index < PageCount()) SetActivePage(FPages[static_cast<size_t>(index)]);
}

void TqelCustomPageFrame::MovePage(TqelPage* page, int index) {
    int from = IndexOfPage(page);
    if (from < 0 || from == index) return;
    FPages.erase(FPages.begin() + from);
    FPages.insert(FPages.begin() + index, page);
}

TRect TqelCustomPageFrame::ContentRect() const {
    TRect r = GetClientRect();
    int inset = FBorderWidth;
    if (FBevelOuter != bvNone) inset += FBevelWidth;
    if (FBevelInner != bvNone) inset += FBevelWidth;
    if (FBevelEdges.Contains(beLeft)) r.Left += inset;
    if (FBevelEdges.Contains(beTop)) r.Top += inset;
    if (FBevelEdges.Contains(beRight)) r.Right -= inset;
    if (FBevelEdges.Contains(beBottom)) r.Bottom -= inset;
    return r;
}

bool TqelCustomPageFrame::CanChange(TqelPage* page) {
    if (IsLoading()) return true;
    if (FActivePage && !FActivePage->CanClose()) return false;
    bool allow = true;
    FOnChanging(this, page, allow);
    return allow;
}

void TqelCustomPageFrame::Change() {
    NotifyDesignerModified(this);
    FOnChange(this);
}

void TqelCustomPageFrame::DoShowPage(TqelPage* page) {
    page->BringToFront();
    page->SetVisible(true);
}

void TqelCustomPageFrame::SetActivePage(TqelPage* page) {
    if (FChanging) return;
    if (page && page->FPageFrame != this) return;
    if (page == FActivePage) return;
    if (!CanChange(page)) return;
    if (IsDesigning() && (IsLoading() || GetControlState().Contains(csReadingState))) {
        FActivePage = page;
        if (page) page->SetVisible(true);
        return;
    }
    TCustomForm* form = GetParentForm(this);
    if (form && FActivePage && form->GetActiveControl() &&
        FActivePage->ContainsControl(form->GetActiveControl())) {
        try {
            form->SetActiveControl(FActivePage);
        } catch (const EInvalidOperation&) {
        }
        if (form->GetActiveControl() != FActivePage) {
            FChanging = false;
            return;
        }
    }
    TDestroyWatch watch(this);
    if (page) {
        FChanging = true;
        FNewPage = page;
        try {
            DoShowPage(page);
        } catch (...) {
            if (watch.Alive()) {
                FChanging = false;
                FNewPage = nullptr;
            }
            throw;
        }
        if (!watch.Alive()) return;
        FChanging = false;
        FNewPage = nullptr;
        if (form && FActivePage && form->GetActiveControl() == FActivePage) {
            try {
                form->SetActiveControl(page->CanFocus() ? static_cast<TWinControl*>(page) : this);
            } catch (const EInvalidOperation&) {
            }
        }
    }
    if (FActivePage && FActivePage != page) FActivePage->SetVisible(false);
    FActivePage = page;
    Realign();
    if (form && page && form->GetActiveControl() == page) page->SelectFirst();
    Change();
}

void TqelCustomPageFrame::ShowControl(TControl* control) {
    if (auto* page = dynamic_cast<TqelPage*>(control); page && page->FPageFrame == this) SetActivePage(page);
    TqelCustomEdgePanel::ShowControl(control);
}

void TqelCustomPageFrame::GetChildren(const TGetChildProc& proc, TComponent* root) {
    for (TqelPage* p : FPages) proc(p);
}

void TqelCustomPageFrame::SetChildOrder(TComponent* child, int order) {
    if (auto* page = dynamic_cast<TqelPage*>(child); page && page->FPageFrame == this)
        MovePage(page, std::clamp(order, 0, PageCount() - 1));
}

void TqelCustomPageFrame::Loaded() {
    TqelCustomEdgePanel::Loaded();
    if (FCreatePagesOnLoad)
        for (TqelPage* p : std::vector<TqelPage*>(FPages)) p->HandleNeeded();
}

void TqelCustomPageFrame::CreateParams(TCreateParams& params) {
    TqelCustomEdgePanel::CreateParams(params);
    params.Style |= WS_CLIPCHILDREN;
    params.ExStyle |= WS_EX_CONTROLPARENT;
}

TqelPage* TqelCustomPageFrame::DockPageOf(const TControl* control) const {
    if (!control) return nullptr;
    for (TqelPage* p : FPages)
        if (control->GetParent() == p) return p;
    return nullptr;
}

TqelPage* TqelCustomPageFrame::DockClient(TControl* control) {
    if (!control || DockPageOf(control)) return nullptr;
    auto* page = new TqelPage(this);
    FDockPage = page;
    try {
        if (auto* f = dynamic_cast<TCustomForm*>(control)) page->SetCaption(f->GetCaption());
        page->SetPageFrame(this);
        control->SetParent(page);
    } catch (...) {
        FDockPage = nullptr;
        delete page;
        throw;
    }
    FDockPage = nullptr;
    control->SetAlign(alClient);
    if (control->GetVisible()) SetActivePage(page);
    return page;
}

void TqelCustomPageFrame::UndockClient(TControl* control) {
    TqelPage* page = DockPageOf(control);
    if (!page) return;
    FUndockPage = page;
    control->SetAlign(alNone);
    control->SetParent(nullptr);
    FUndockPage = nullptr;
    if (!IsDestroying()) delete page;
}

void TqelCustomPageFrame::DockClientChanged(TControl* control) {
    TqelPage* page = DockPageOf(control);
    if (!page) return;
    std::string caption = control->GetCaption();
    caption = caption.substr(0, caption.find_first_of("\r\n"));
    page->SetCaption(caption);
    if (control->GetVisible()) {
        SetActivePage(page);
    } else if (page == FActivePage) {
        page->SetVisible(false);
    }
}

// ---- TqelAnimationFrame
// ----------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TqelAnimationFrame, [](auto& c) {
    c.Property("ActivePage", &TqelCustomPageFrame::GetActivePage, &TqelCustomPageFrame::SetActivePageProp);
    Publish(c, {"Align", "Anchors"});
    c.Property("Animation", &TqelAnimationFrame::GetAnimation, &TqelAnimationFrame::SetAnimation)
        .Default(qwaMoveDown);
    c.Property("AnimationSteps", &TqelAnimationFrame::GetAnimationSteps,
               &TqelAnimationFrame::SetAnimationSteps)
        .Default(5);
    c.Property("AnimationTime", &TqelAnimationFrame::GetAnimationTime, &TqelAnimationFrame::SetAnimationTime)
        .Default(500);
    c.Property("BevelEdges", &TqelCustomEdgePanel::GetBevelEdges, &TqelCustomEdgePanel::SetBevelEdges)
        .Default(AllBevelEdges);
    c.Property("BevelInner", &TCustomPanel::GetBevelInner, &TCustomPanel::SetBevelInner).Default(bvNone);
    c.Property("BevelOuter", &TCustomPanel::GetBevelOuter, &TCustomPanel::SetBevelOuter).Default(bvRaised);
    c.Property("BevelWidth", &TCustomPanel::GetBevelWidth, &TCustomPanel::SetBevelWidth).Default(1);
    Publish(c, {"BiDiMode", "BorderWidth"});
    c.Property("BorderStyle", &TCustomPanel::GetBorderStyle, &TCustomPanel::SetBorderStyle).Default(bsNone);
    Publish(c, {"Color", "Constraints"});
    c.Property("CreatePagesOnLoad", &TqelCustomPageFrame::GetCreatePagesOnLoad,
               &TqelCustomPageFrame::SetCreatePagesOnLoad)
        .Default(false);
    Publish(c, {"DockSite", "DragCursor", "DragKind", "DragMode", "Enabled", "Font", "ParentBiDiMode",
                "ParentColor", "ParentFont", "ParentShowHint", "PopupMenu", "ShowHint", "TabOrder", "TabStop",
                "Visible"});
    c.Object("Transition", &TqelAnimationFrame::GetTransition, &TqelAnimationFrame::SetTransition);
    c.Event("OnChange", &TqelCustomPageFrame::GetOnChange, &TqelCustomPageFrame::SetOnChange);
    c.Event("OnChanging", &TqelCustomPageFrame::GetOnChanging, &TqelCustomPageFrame::SetOnChanging);
    Publish(c, {"OnDockDrop", "OnDragDrop", "OnDragOver", "OnEndDock", "OnEndDrag", "OnEnter", "OnExit",
                "OnResize", "OnStartDock", "OnStartDrag"});
})

TqelAnimationFrame::TqelAnimationFrame(TComponent* owner)
    : TqelCustomPageFrame(owner), FTransition(std::make_unique<TqelTransition>(this)) {
    FTransition->SetOnCancel(TqelCancelEvent(this, &TqelAnimationFrame::TransitionCancel));
}

TqelAnimationFrame::~TqelAnimationFrame() {
    Destroying();
}

void TqelAnimationFrame::SetTransition(TqelTransition* value) {
    if (!value || value == FTransition.get()) return;
    FTransition->Assign(value);
    // The copied cancel query belongs to the source's owner; the frame stays the one it asks.
    FTransition->SetOnCancel(TqelCancelEvent(this, &TqelAnimationFrame::TransitionCancel));
}

void TqelAnimationFrame::TransitionCancel(TObject*, bool& cancel) {
    if ((Application && Application->Terminated()) || IsDestroying() || !Showing()) cancel = true;
}

void TqelAnimationFrame::Paint() {
    if (FShowSnapshot) {
        if (FSnapshot) Canvas()->Draw(0, 0, FSnapshot.get());
        return;
    }
    TqelCustomPageFrame::Paint();
}

void TqelAnimationFrame::Dispatch(TMessage& message) {
    // The snapshot covers everything: erasing would only flicker.
    if (message.Msg == WM_ERASEBKGND && FShowSnapshot) {
        message.Result = 1;
        return;
    }
    TqelCustomPageFrame::Dispatch(message);
}

bool TqelAnimationFrame::TransitionApplies(TqelPage* page) const {
    if (!page || IsLoading()) return false;
    return FTransition->GetEnabled() ||
           (Showing() && !page->GetParentTransition() && page->GetTransition()->GetEnabled());
}

void TqelAnimationFrame::HideOldPage() {
    TqelPage* old = FActivePage;
    if (!old) return;
    if (old->HandleAllocated()) ShowWindow(old->Handle(), SW_HIDE);
    old->ReleaseFormOnHide();
    old->SetVisible(false);
}

void TqelAnimationFrame::PlayWindowAnimation(TqelPage* page) {
    HideOldPage();
    page->SetAlign(alNone);
    page->SetBounds(-page->GetWidth(), -page->GetHeight(), page->GetWidth(), page->GetHeight());
    TDestroyWatch watch(page);
    TqelCustomPageFrame::DoShowPage(page);
    if (!watch.Alive()) return;
    TRect r = ContentRect();
    TqelBounds final{r.Left, r.Top, r.Width(), r.Height()};
    if (!IsLoading() &&
        !AnimateControl(page, {r.Left, r.Top, 0, 0}, final, FAnimation, FAnimationTime, FAnimationSteps))
        return;
    if (watch.Alive()) page->SetAlign(alClient);
}

void TqelAnimationFrame::PlayTransition(TqelPage* page) {
    TRect r = GetClientRect();
    AdjustClientRect(r);
    TDestroyWatch self(this);
    struct TSnapshotGuard {
        TqelAnimationFrame* Frame;
        TDestroyWatch& Watch;
        ~TSnapshotGuard() {
            if (!Watch.Alive()) return;
            Frame->FShowSnapshot = false;
            Frame->FSnapshot.reset();
        }
    } guard{this, self};
    // Repaints during the change show the old picture.
    FSnapshot = CaptureScreenRect(this);
    FShowSnapshot = true;
    HideOldPage();
    if (!self.Alive()) return;
    // Just outside the frame's left edge until the effect has played.
    page->SetAlign(alNone);
    page->SetBounds(-r.Width(), 0, r.Width(), r.Height());
    if (page->Form() && !page->Form()->Showing()) ShowHosted(page->Form());
    TDestroyWatch watch(page);
    // Creates the page's window and so its form (whose own reveal plays off-screen here).
    TqelCustomPageFrame::DoShowPage(page);
    if (!watch.Alive() || !self.Alive()) return;
    TqelTransition* transition = page->GetParentTransition() ? FTransition.get() : page->GetTransition();
    if (page->GetParent() && page->GetParent()->Showing()) {
        transition->PlayControl(page, Canvas(), r.Left, r.Top);
        if (!watch.Alive() || !self.Alive()) return;
        if (transition->GetNoRedraw() && transition->GetEnabled() && page->HandleAllocated()) {
            // The screen already shows the effect's last picture.
            SetWindowPos(page->Handle(), nullptr, r.Left, r.Top, r.Width(), r.Height(),
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        }
    }
    page->SetAlign(alClient);
}

void TqelAnimationFrame::DoShowPage(TqelPage* page) {
    if (IsDestroying()) return;
    if (IsDesigning()) {
        if (!IsLoading()) page->SetAlign(alClient);
        TqelCustomPageFrame::DoShowPage(page);
        return;
    }
    TqelPage* old = FActivePage;
    TDestroyWatch oldWatch(old);
    if (TransitionApplies(page))
        PlayTransition(page);
    else
        PlayWindowAnimation(page);
    // The old page's window goes; a kept form gets a new window with the page's next time.
    if (old && old != page && oldWatch.Alive()) old->DestroyPageWindow();
}

} // namespace qel
