#pragma once
// The page frame: a container of pages of which one is visible at a time. A page may host a form named
// by FormName: it creates the form when its window is created, embeds it borderless, and deactivates,
// hides, closes and destroys it again when another page is shown, as its FormActions say. The
// animation frame plays every page change as a window animation (the new page slides or grows into
// place in a fixed number of timed steps) or, when its transition (or the new page's own) applies, as a
// bitmap transition effect from a screen capture of the old page to a painting of the new one. A
// change of the form hosted in a page is revealed with an effect too. While an effect plays, the frame
// and the page repaint a snapshot of the old picture.
//
//   auto* frame = new TqelAnimationFrame(form);  frame->SetParent(form);
//   auto* page = new TqelPage(form);  page->SetPageFrame(frame);  page->SetFormName("frmDemo461");
//   frame->SetActivePage(page);   // creates "TfrmDemo461" inside the page and animates it in
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "effects/transition.h"
#include "foundation/edge_panel.h"
#include "platform/controls/forms.h"
#include "platform/core/filer.h"
#include "platform/graphics/bitmap.h"

namespace qel {

class TqelPage;
class TqelCustomPageFrame;

QEL_ENUM(TqelWindowAnimationStyle, qwaNone, qwaMoveDown, qwaMoveUp, qwaMoveRight, qwaMoveLeft,
         qwaMoveRightDown, qwaMoveRightUp, qwaMoveLeftDown, qwaMoveLeftUp, qwaSizeDown, qwaSizeUp,
         qwaSizeRight, qwaSizeLeft, qwaSizeRightDown, qwaSizeRightUp, qwaSizeLeftDown, qwaSizeLeftUp)
QEL_ENUM(TqelSubFormAction, qfaCreate, qfaActivate, qfaDeactivate, qfaHide, qfaClose, qfaDestroy,
         qfaShowExisting)
using TqelSubFormActions = Set<TqelSubFormAction>;
inline constexpr TqelSubFormActions DefaultSubFormActions{qfaCreate, qfaActivate, qfaDeactivate,
                                                          qfaHide,   qfaClose,    qfaDestroy};

using TqelFormNotifyEvent = TEvent<void(TObject* Sender, TScrollingWinControl* Form)>;
using TqelFormChangingEvent =
    TEvent<void(TObject* Sender, const std::string& NewFormName, bool& AllowChange)>;
using TqelPageChangingEvent = TEvent<void(TObject* Sender, TqelPage* Page, bool& AllowChange)>;

// ---- window animation
// --------------------------------------------------------------------------------------

// Left, top, width and height of a control.
struct TqelBounds {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TqelBounds&) const = default;
};

// Keeps the interface alive until the tick count reaches `deadline` while an animation step lasts.
// The default processes pending messages and yields to the clock; tests replace it to drive a
// manual clock.
using TqelAnimationPump = std::function<void(uint32_t deadline)>;
TqelAnimationPump SetAnimationPump(TqelAnimationPump pump);

// The bounds a window animation of `style` starts from, given the final bounds and the start size.
TqelBounds AnimationStartBounds(TqelWindowAnimationStyle style, const TqelBounds& start,
                                const TqelBounds& final);

// Moves or grows `control` from `start` to `final` in `steps` steps lasting `time` div `steps`
// milliseconds each, then places it at `final` exactly. Returns false when the control was destroyed
// or the application began to terminate meanwhile (the animation then stops at once).
bool AnimateControl(TControl* control, const TqelBounds& start, const TqelBounds& final,
                    TqelWindowAnimationStyle style, unsigned time, unsigned steps);

// A bitmap of the control's size holding what the screen shows inside its window rectangle.
std::unique_ptr<TBitmap> CaptureScreenRect(TWinControl* control);
// A bitmap of the control's size into which the control paints itself and its visible child windows.
std::unique_ptr<TBitmap> PaintControlToBitmap(TWinControl* control);

// ---- pages
// ---------------------------------------------------------------------------------------------------

class TqelPage : public TCustomControl {
    QEL_CLASS(TqelPage, TCustomControl)
    explicit TqelPage(TComponent* owner);
    ~TqelPage() override;

    TqelCustomPageFrame* GetPageFrame() const { return FPageFrame; }
    // Attaches the page to a frame (appended to its pages and parented to it); nullptr detaches it.
    void SetPageFrame(TqelCustomPageFrame* frame);

    bool GetAutoCreate() const { return FFormActions.Contains(qfaCreate); }
    void SetAutoCreate(bool value);
    bool GetAutoDestroy() const { return FFormActions.Contains(qfaDestroy); }
    void SetAutoDestroy(bool value);
    const std::string& GetFormName() const { return FFormName; }
    void SetFormName(const std::string& value);
    TqelSubFormActions GetFormActions() const { return FFormActions; }
    void SetFormActions(TqelSubFormActions value);
    int GetPageIndex() const;
    // EListError when beyond the last page.
    void SetPageIndex(int value);
    // The hosted form (nullptr when none).
    TScrollingWinControl* Form() const { return FForm; }
    // Whether changes to this page play the frame's transition instead of the page's own.
    bool GetParentTransition() const { return FParentTransition; }
    void SetParentTransition(bool value) { FParentTransition = value; }
    // The page's own transition; any change of it clears ParentTransition.
    TqelTransition* GetTransition() const { return FTransition.get(); }
    // Copies `value`'s settings into the page's own transition (the page stays its cancel query).
    void SetTransition(TqelTransition* value);
    // While set, the page paints its snapshot instead of itself.
    bool ShowingSnapshot() const { return FShowSnapshot; }
    // The page's own transition is stored only when the page does not use the frame's.
    bool IsTransitionStored() const { return !FParentTransition; }

    // Creates the form of class "T" + FormName with the page as owner.
    virtual TScrollingWinControl* NewForm();
    // The first form owned by the application whose class is "T" + FormName.
    virtual TScrollingWinControl* FindExistingForm();
    virtual void DestroyForm();
    virtual void ChangeForm(TScrollingWinControl* form);
    // Embeds `form` (nullptr: none) in place of the hosted one.
    virtual void LoadForm(TScrollingWinControl* form);
    virtual bool CanChangeForm(const std::string& newFormName);
    virtual bool CanClose();

    void SetParent(TWinControl* parent) override;
    void ReadState(TReader* reader) override;
    void Dispatch(TMessage& message) override;
    // Destroys the page's window and those inside it (a kept form gets a new window next time).
    void DestroyPageWindow() { DestroyHandle(); }

    QEL_EVENT(TqelFormNotifyEvent, OnCreateForm)
    QEL_EVENT(TqelFormNotifyEvent, OnDestroyForm)
    QEL_EVENT(TqelFormNotifyEvent, OnLoadForm)
    QEL_EVENT(TNotifyEvent, OnFormChange)
    QEL_EVENT(TqelFormChangingEvent, OnFormChanging)

protected:
    void CreateHandle() override;
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TqelCustomPageFrame;
    friend class TqelAnimationFrame;
    // Takes the form (existing or new) when `load`, else drops the hosted one.
    void AcquireForm(bool load);
    // Applies the hiding actions to the hosted form when its page goes away.
    void ReleaseFormOnHide();
    void SetHostedForm(TScrollingWinControl* form);
    bool IsCurrent() const;
    // The transition a form change of this page plays: the frame's when ParentTransition is set and
    // the parent is an animation frame, else the page's own.
    TqelTransition* FormTransition() const;
    void TransitionChange(TObject* sender);
    void TransitionCancel(TObject* sender, bool& cancel);

    TqelCustomPageFrame* FPageFrame = nullptr;
    std::string FFormName;
    TqelSubFormActions FFormActions = DefaultSubFormActions;
    TScrollingWinControl* FForm = nullptr;
    bool FParentTransition = true;
    std::unique_ptr<TqelTransition> FTransition;

protected:
    // The screen picture of the page during a form change, painted while FShowSnapshot is set.
    std::unique_ptr<TBitmap> FSnapshot;
    bool FShowSnapshot = false;
};

// ---- frames
// ---------------------------------------------------------------------------------------------------

class TqelCustomPageFrame : public TqelCustomEdgePanel {
    QEL_CLASS(TqelCustomPageFrame, TqelCustomEdgePanel)
    explicit TqelCustomPageFrame(TComponent* owner);
    ~TqelCustomPageFrame() override;

    TqelPage* GetActivePage() const { return FActivePage; }
    void SetActivePageProp(TqelPage* page) { SetActivePage(page); }
    virtual void SetActivePage(TqelPage* page);
    int PageCount() const { return static_cast<int>(FPages.size()); }
    TqelPage* Pages(int index) const;
    int IndexOfPage(const TqelPage* page) const;
    // The page being shown while a change is in progress.
    TqelPage* NewPage() const { return FNewPage; }
    bool IsChanging() const { return FChanging; }
    bool GetCreatePagesOnLoad() const { return FCreatePagesOnLoad; }
    void SetCreatePagesOnLoad(bool value) { FCreatePagesOnLoad = value; }
    // The client rectangle inside the border and bevels of the edges in BevelEdges.
    TRect ContentRect() const;

    // Docks `control` into a new page owned by the frame; returns the page.
    TqelPage* DockClient(TControl* control);
    // Takes a docked control out of its page (Align none) and frees the page.
    void UndockClient(TControl* control);
    // The page that holds a docked control, or nullptr.
    TqelPage* DockPageOf(const TControl* control) const;
    // Follows a docked control's caption (page caption, first line) and visibility.
    void DockClientChanged(TControl* control);

    void ShowControl(TControl* control) override;
    void GetChildren(const TGetChildProc& proc, TComponent* root) override;
    void SetChildOrder(TComponent* child, int order) override;
    void Loaded() override;

    QEL_EVENT(TNotifyEvent, OnChange)
    QEL_EVENT(TqelPageChangingEvent, OnChanging)

protected:
    void CreateParams(TCreateParams& params) override;
    virtual bool CanChange(TqelPage* page);
    virtual void Change();
    // Brings the page to the front and makes it visible.
    virtual void DoShowPage(TqelPage* page);

    std::vector<TqelPage*> FPages;
    TqelPage* FActivePage = nullptr;
    TqelPage* FNewPage = nullptr;
    TqelPage* FDockPage = nullptr;
    TqelPage* FUndockPage = nullptr;
    bool FChanging = false;
    bool FCreatePagesOnLoad = false;

private:
    friend class TqelPage;
    void InsertPage(TqelPage* page);
    void RemovePage(TqelPage* page);
    void MovePage(TqelPage* page, int index);
};

class TqelAnimationFrame : public TqelCustomPageFrame {
    QEL_CLASS(TqelAnimationFrame, TqelCustomPageFrame)
    explicit TqelAnimationFrame(TComponent* owner);
    ~TqelAnimationFrame() override;

    TqelWindowAnimationStyle GetAnimation() const { return FAnimation; }
    void SetAnimation(TqelWindowAnimationStyle value) { FAnimation = value; }
    uint8_t GetAnimationSteps() const { return FAnimationSteps; }
    void SetAnimationSteps(uint8_t value) { FAnimationSteps = value; }
    uint16_t GetAnimationTime() const { return FAnimationTime; }
    void SetAnimationTime(uint16_t value) { FAnimationTime = value; }
    TqelTransition* GetTransition() const { return FTransition.get(); }
    // Copies `value`'s settings into the frame's transition (the frame stays its cancel query).
    void SetTransition(TqelTransition* value);
    // Whether a change to `page` now would play a transition instead of the window animation.
    bool TransitionApplies(TqelPage* page) const;
    // While set, the frame paints its snapshot and does not erase its background.
    bool ShowingSnapshot() const { return FShowSnapshot; }
    void Dispatch(TMessage& message) override;

protected:
    void DoShowPage(TqelPage* page) override;
    void Paint() override;
    // Plays the change to `page` as a window animation.
    virtual void PlayWindowAnimation(TqelPage* page);
    // Plays the change to `page` as a transition effect.
    virtual void PlayTransition(TqelPage* page);
    // Hides the active page and applies its form actions (first part of every way of playing).
    void HideOldPage();

    TqelWindowAnimationStyle FAnimation = qwaMoveDown;
    uint8_t FAnimationSteps = 5;
    uint16_t FAnimationTime = 500;
    std::unique_ptr<TqelTransition> FTransition;
    // The screen picture of the frame taken before a transition, painted while FShowSnapshot is set.
    std::unique_ptr<TBitmap> FSnapshot;
    bool FShowSnapshot = false;

private:
    void TransitionCancel(TObject* sender, bool& cancel);
};

} // namespace qel
