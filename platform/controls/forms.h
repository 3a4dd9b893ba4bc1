#pragma once
// Scrolling containers, forms, the application and screen objects, the hint window and the timer.
//
// A form class with a form file:
//   class TForm1 : public TForm {
//       QEL_CLASS(TForm1, TForm)
//       using TForm::TForm;
//       TButton* Button1 = nullptr;                    // bound by name after streaming (FindComponent)
//       void Button1Click(TObject* sender);
//   };
//   QEL_IMPLEMENT_CLASS(TForm1, [](auto& c) { c.Method("Button1Click", &TForm1::Button1Click); })
//   // its form file "TFORM1" (type "QFM") is embedded as a resource; then:
//   auto* form = qel::CreateComponent<TForm1>(Application);   // constructs, streams, OnCreate
//   Application->CreateForm(form);                            // or: the first form becomes MainForm
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/controls.h"
#include "platform/controls/menus.h"
#include "platform/core/strings.h"
#include "platform/graphics/images.h"

namespace qel {

class TCustomForm;
class THintWindow;
class TStringList;

QEL_ENUM(TScrollBarKind, sbHorizontal, sbVertical)
QEL_ENUM(TFormBorderStyle, bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin)
// Border style of ordinary controls: bsNone or bsSingle.
using TBorderStyle = TFormBorderStyle;
QEL_ENUM(TBorderIcon, biSystemMenu, biMinimize, biMaximize, biHelp)
using TBorderIcons = Set<TBorderIcon>;
QEL_ENUM(TFormStyle, fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop)
QEL_ENUM(TWindowState, wsNormal, wsMinimized, wsMaximized)
QEL_ENUM(TPosition, poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
         poDesktopCenter, poMainFormCenter, poOwnerFormCenter)
QEL_ENUM(TCloseAction, caNone, caHide, caFree, caMinimize)
QEL_ENUM(TFormStateItem, fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated)
using TFormState = Set<TFormStateItem>;

using TCloseEvent = TEvent<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TEvent<void(TObject* Sender, bool& CanClose)>;

// ---- scrolling ------------------------------------------------------------------------------------------

class TScrollingWinControl;

// One scroll bar of a scrolling control.
class TControlScrollBar : public TPersistent {
    QEL_CLASS(TControlScrollBar, TPersistent)
    TControlScrollBar(TScrollingWinControl* control = nullptr, TScrollBarKind kind = sbHorizontal);
    TScrollBarKind Kind() const { return FKind; }
    int GetIncrement() const { return FIncrement; }
    void SetIncrement(int v) { FIncrement = v > 0 ? v : 1; }
    int GetMargin() const { return FMargin; }
    void SetMargin(int v);
    int GetPosition() const { return FPosition; }
    void SetPosition(int v);
    int GetRange() const { return FRange; }
    void SetRange(int v);
    bool GetTracking() const { return FTracking; }
    void SetTracking(bool v) { FTracking = v; }
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool v);
    // Whether the bar is shown now (visible and the range exceeds the client extent).
    bool IsScrollBarVisible() const;
    int ScrollPos() const { return IsScrollBarVisible() ? FPosition : 0; }
    void Assign(TPersistent* source) override;
    TPersistent* GetOwner() const override;
    bool IsRangeStored() const;

private:
    friend class TScrollingWinControl;
    int ControlSize() const;
    void ScrollMessage(uint32_t code, int pos);
    TScrollingWinControl* FControl;
    TScrollBarKind FKind;
    int FIncrement = 8;
    int FMargin = 0;
    int FPosition = 0;
    int FRange = 0;
    bool FTracking = false;
    bool FVisible = true;
};

class TScrollingWinControl : public TWinControl {
    QEL_CLASS(TScrollingWinControl, TWinControl)
    explicit TScrollingWinControl(TComponent* owner);
    ~TScrollingWinControl() override;
    TControlScrollBar* GetHorzScrollBar() const { return FHorzScrollBar.get(); }
    void SetHorzScrollBar(TControlScrollBar* v) { FHorzScrollBar->Assign(v); }
    TControlScrollBar* GetVertScrollBar() const { return FVertScrollBar.get(); }
    void SetVertScrollBar(TControlScrollBar* v) { FVertScrollBar->Assign(v); }
    bool GetAutoScroll() const { return FAutoScroll; }
    void SetAutoScroll(bool v);
    // Scrolls so that `control` (a descendant) is inside the client area.
    void ScrollInView(TControl* control);
    // Moves every child by (dx, dy) and scrolls the window contents.
    void ScrollBy(int dx, int dy);
    void AlignControls(TControl* control, TRect& rect) override;
    void Dispatch(TMessage& message) override;
    // Recomputes the ranges from the children (AutoScroll) and updates the scroll bars.
    void UpdateScrollBars();

protected:
    void CreateWnd() override;
    void CalcAutoRange();
    void AdjustClientRect(TRect& rect) override;
    std::unique_ptr<TControlScrollBar> FHorzScrollBar;
    std::unique_ptr<TControlScrollBar> FVertScrollBar;
    bool FAutoScroll = true;
    bool FUpdatingScrollBars = false;
    friend class TControlScrollBar;
};

// ---- forms ------------------------------------------------------------------------------------------------

class TCustomForm : public TScrollingWinControl {
    QEL_CLASS(TCustomForm, TScrollingWinControl)
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;
    // Reads the form resources of the class chain, runs AfterStreaming, then OnCreate.
    void AfterConstruction() override;
    // A form built in code: no form resource is read.
    static TCustomForm* CreateNew(TComponent* owner);

    void Show();
    void Hide();
    // Shows the form modally and returns its ModalResult once it is set (mrCancel when the
    // application terminates meanwhile).
    virtual int ShowModal();
    // Closes the form according to CloseQuery and the OnClose action.
    void Close();
    virtual bool CloseQuery();
    // Frees the form once the messages being handled are done.
    void Release();
    void SetFocus() override;
    bool CanFocus() const override { return GetVisible() && GetEnabled(); }
    // Focuses `control` (a descendant), activating the form's window when needed.
    void FocusControl(TWinControl* control);
    // Records the control that received the keyboard focus: exit and enter notifications, the
    // screen's active control. Returns false when the change was refused.
    bool SetFocusedControl(TWinControl* control);
    // Moves the focus away from a control that is being hidden, disabled or destroyed.
    void MoveFocusFrom(TControl* control);
    void DefocusControl(TWinControl* control, bool removing);

    TWinControl* GetActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* control);
    TWinControl* FocusedControl() const { return FFocusedControl; }
    bool Active() const { return FActive; }
    TFormState FormState() const { return FFormState; }
    TBorderIcons GetBorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons v);
    TFormBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle v);
    TFormStyle GetFormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle v);
    TPosition GetPosition() const { return FPosition; }
    void SetPosition(TPosition v);
    TWindowState GetWindowState() const { return FWindowState; }
    void SetWindowState(TWindowState v);
    // Bounds to return to from a maximised or minimised state.
    TRect RestoredBounds() const { return FRestoredBounds; }
    int GetModalResult() const { return FModalResult; }
    void SetModalResult(int v) { FModalResult = v; }
    bool GetKeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool v) { FKeyPreview = v; }
    // The menu bar; the window keeps its client size when a menu comes or goes.
    TMainMenu* GetMenu() const { return FMenu; }
    void SetMenu(TMainMenu* v);
    // The bar's items changed: redraw it, resizing the frame when its height changed.
    void MenuBarChanged();
    int GetPixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int v);
    bool GetScaled() const { return FScaled; }
    void SetScaled(bool v) { FScaled = v; }
    TIcon* GetIcon() const { return FIcon.get(); }
    void SetIcon(TIcon* v);
    int GetClientWidthProp() const { return GetClientWidth(); }
    void SetClientWidthProp(int v);
    int GetClientHeightProp() const { return GetClientHeight(); }
    void SetClientHeightProp(int v);
    bool GetVisibleProp() const { return GetVisible(); }
    void SetVisibleProp(bool v);
    TCanvas* Canvas() const { return FCanvas.get(); }
    TColor GetFormColor() const { return GetColor(); }
    void SetFormColor(TColor v) { SetColor(v); }
    bool IsFormColorStored() const { return GetColor() != clBtnFace; }

    QEL_EVENT(TNotifyEvent, OnActivate)
    QEL_EVENT(TNotifyEvent, OnDeactivate)
    QEL_EVENT(TNotifyEvent, OnCreate)
    QEL_EVENT(TNotifyEvent, OnDestroy)
    QEL_EVENT(TNotifyEvent, OnShow)
    QEL_EVENT(TNotifyEvent, OnHide)
    QEL_EVENT(TNotifyEvent, OnPaint)
    QEL_EVENT(TCloseEvent, OnClose)
    QEL_EVENT(TCloseQueryEvent, OnCloseQuery)

    void Dispatch(TMessage& message) override;
    // Key preview: the form's key events before the focused control's.
    void DoFormKeyDown(uint16_t& key, TShiftState shift);
    void DoFormKeyPress(char& key);
    // The form hosted inside another control (embedded borderless).
    bool IsEmbedded() const { return GetParent() != nullptr || GetParentWindow() != nullptr; }

protected:
    // Runs after the form resources were read and before OnCreate (base forms apply fonts here).
    virtual void AfterStreaming() {}
    virtual void DoCreate();
    virtual void DoDestroy();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& action);
    virtual void Activate();
    virtual void Deactivate();
    virtual void Paint();
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void PaintWindow(HDC dc) override;
    bool TopLevelShowing() const override { return true; }
    void Loaded() override;
    void Notification(TComponent* component, TOperation operation) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void ApplyPosition();
    void SetWindowFocus();
    void SetActive(bool active);
    bool DialogKey(TMessage& message);

    int NonClientExtraTop() const override;
    TMainMenu* FMenu = nullptr;
    int FMenuBarHeight = 0;
    TWinControl* FActiveControl = nullptr;
    TWinControl* FFocusedControl = nullptr;
    TWinControl* FLastActiveControl = nullptr;
    TFormState FFormState;
    TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
    TFormBorderStyle FBorderStyle = bsSizeable;
    TFormStyle FFormStyle = fsNormal;
    TPosition FPosition = poDesigned;
    TWindowState FWindowState = wsNormal;
    TRect FRestoredBounds;
    int FModalResult = 0;
    bool FKeyPreview = false;
    bool FActive = false;
    int FPixelsPerInch = 96;
    bool FScaled = true;
    bool FCreatedNew = false;
    bool FPositioned = false;
    std::unique_ptr<TIcon> FIcon;
    std::unique_ptr<TControlCanvas> FCanvas;
};

class TForm : public TCustomForm {
    QEL_CLASS(TForm, TCustomForm)
    using TCustomForm::TCustomForm;
};

// The form at the root of a control's parent chain (embedded forms give their host's form).
TCustomForm* GetParentForm(TControl* control);
// As GetParentForm, raising EInvalidOperation when the control has none.
TCustomForm* ValidParentForm(TControl* control);

// ---- hints
// --------------------------------------------------------------------------------------------------

struct THintInfo {
    TControl* HintControl = nullptr;
    TWinControl* HintWindowClass = nullptr;
    TPoint HintPos;
    int HintMaxWidth = 0;
    TColor HintColor = clInfoBk;
    TRect CursorRect;
    TPoint CursorPos;
    int ReshowTimeout = 0;
    int HideTimeout = 0;
    std::string HintStr;
    void* HintData = nullptr;
};

using TShowHintEvent = TEvent<void(std::string& HintStr, bool& CanShow, THintInfo& HintInfo)>;
using THelpEvent = TEvent<void(uint16_t Command, intptr_t Data, bool& CallHelp, bool& Result)>;
using TExceptionEvent = TEvent<void(TObject* Sender, const std::exception& E)>;
using TIdleEvent = TEvent<void(TObject* Sender, bool& Done)>;
using TMessageEvent = TEvent<void(MSG& Msg, bool& Handled)>;

// The pop-up window that shows a hint.
class THintWindow : public TCustomControl {
    QEL_CLASS(THintWindow, TCustomControl)
    explicit THintWindow(TComponent* owner);
    // Shows `hint` in `rect` (screen coordinates).
    virtual void ActivateHint(TRect rect, const std::string& hint);
    // The rectangle (at 0,0) the hint needs with lines wrapped at maxWidth.
    virtual TRect CalcHintRect(int maxWidth, const std::string& hint, void* data);
    // Hides the window and frees its handle.
    void ReleaseHandle();
    bool IsHintShown() const { return FShown; }

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    bool TopLevelShowing() const override { return true; }
    bool FShown = false;
};

// ---- the application object -------------------------------------------------------------------------------

class TApplication : public TComponent {
    QEL_CLASS(TApplication, TComponent)
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    void Initialize();
    bool Initialized() const { return FInitialized; }
    // Makes `form` the main form when there is none yet; the form is owned by the caller's owner.
    template <typename T>
    void CreateForm(T*& reference) {
        reference = CreateComponent<T>(this);
        AddCreatedForm(reference);
    }
    void AddCreatedForm(TCustomForm* form);
    // Runs the message loop until Terminate (the main form closing terminates).
    void Run();
    // Dispatches every queued message, then returns.
    void ProcessMessages();
    // Dispatches one message, or idles (and waits for one) when the queue is empty.
    void HandleMessage();
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Back to the state after construction: no main form, not terminated, no hint (programs that run
    // the loop again, tests).
    void ResetState();
    // Sends an exception to OnException or shows it (silent EAbort is ignored).
    void HandleException(TObject* sender);
    void HandleException(TObject* sender, const std::exception& e);
    void ShowException(const std::exception& e);

    TCustomForm* MainForm() const { return FMainForm; }
    void SetMainForm(TCustomForm* form) { FMainForm = form; }
    const std::string& GetTitle() const { return FTitle; }
    void SetTitle(const std::string& v);
    std::string ExeName() const;
    HWND Handle();
    bool Active() const { return FActive; }
    void Minimize();
    void Restore();
    bool IsMinimized() const { return FMinimized; }
    void BringToFront();
    // A simple message box with the platform's MB_* flags; returns the ID* of the chosen button.
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags = MB_OK);
    void NormalizeTopMosts();
    void RestoreTopMosts();
    bool HelpContext(int context);
    bool HelpCommand(uint16_t command, intptr_t data);
    const std::string& GetHelpFile() const { return FHelpFile; }
    void SetHelpFile(const std::string& v) { FHelpFile = v; }

    // Hints.
    const std::string& GetHint() const { return FHint; }
    void SetHint(const std::string& v);
    bool GetShowHint() const { return FShowHint; }
    void SetShowHint(bool v);
    int GetHintPause() const { return FHintPause; }
    void SetHintPause(int v) { FHintPause = v; }
    int GetHintShortPause() const { return FHintShortPause; }
    void SetHintShortPause(int v) { FHintShortPause = v; }
    int GetHintHidePause() const { return FHintHidePause; }
    void SetHintHidePause(int v) { FHintHidePause = v; }
    TColor GetHintColor() const { return FHintColor; }
    void SetHintColor(TColor v);
    void CancelHint();
    // Shows the hint of the control under `cursorPos` now.
    void ActivateHint(TPoint cursorPos);
    void HideHint();
    THintWindow* HintWindow() const { return FHintWindow; }
    // The control whose hint applies (the mouse-over control).
    TControl* HintControl() const { return FHintControl; }

    QEL_EVENT(TNotifyEvent, OnActivate)
    QEL_EVENT(TNotifyEvent, OnDeactivate)
    QEL_EVENT(TNotifyEvent, OnHint)
    QEL_EVENT(TShowHintEvent, OnShowHint)
    QEL_EVENT(THelpEvent, OnHelp)
    QEL_EVENT(TExceptionEvent, OnException)
    QEL_EVENT(TIdleEvent, OnIdle)
    QEL_EVENT(TMessageEvent, OnMessage)
    QEL_EVENT(TNotifyEvent, OnMinimize)
    QEL_EVENT(TNotifyEvent, OnRestore)
    // Called when a modal loop starts, with the modal form (tests script their input here).
    QEL_EVENT(TNotifyEvent, OnModalBegin)

    // The last exception message shown by ShowException (for tests of headless runs).
    const std::string& LastShownError() const { return FLastShownError; }
    // Mouse-over tracking: enter and leave notifications and hint timing (run after every message).
    void DoMouseIdle();
    // Queues a form for destruction once the message handler that asked for it has returned: the form
    // goes when the handler nesting falls below the depth at the time of the call (nested message loops
    // inside the handler never free it under the handler's feet).
    void QueueRelease(TCustomForm* form);
    void QueueRelease(TCustomForm* form, int handlerDepth);
    void CancelRelease(TCustomForm* form);
    // Processes one message; false when the queue was empty.
    bool ProcessMessage();
    static void ControlDestroyed(TControl* control);
    // Runs the idle work once (OnIdle, mouse tracking, releases); returns Done.
    bool Idle();
    // Modal loop depth.
    int ModalLevel() const { return FModalLevel; }
    void EnterModal() { ++FModalLevel; }
    void LeaveModal() { --FModalLevel; }
    void SetActive(bool active);
    // False when a wait for input could never end (a headless desktop with nothing queued).
    bool InputCanArrive() const;
    // Modal loops that ended because no input could arrive (headless runs).
    int AbandonedModalLoops() const { return FAbandonedModal; }
    void NoteAbandonedModal() { ++FAbandonedModal; }

private:
    int FAbandonedModal = 0;
    static bool IsMouseMessage(uint32_t msg);
    void WakeAt(uint64_t when);
    bool IsKeyMsg(MSG& msg);
    void ProcessReleases();
    void HintTimerExpired();
    void OnAppWndProc(TMessage& m);
    bool FInitialized = false;
    bool FTerminated = false;
    bool FActive = true;
    bool FMinimized = false;
    TCustomForm* FMainForm = nullptr;
    std::string FTitle;
    std::string FHelpFile;
    std::string FHint;
    bool FShowHint = true;
    int FHintPause = 500;
    int FHintShortPause = 50;
    int FHintHidePause = 2500;
    TColor FHintColor = clInfoBk;
    THintWindow* FHintWindow = nullptr;
    TControl* FMouseControl = nullptr;
    TControl* FHintControl = nullptr;
    uint64_t FHintDue = 0;     // clock time when the hint shows (0: not pending)
    uint64_t FHintHideDue = 0; // clock time when the shown hint hides
    bool FHintActive = false;
    struct TPendingRelease {
        TCustomForm* Form;
        int Depth;
    };
    std::vector<TPendingRelease> FReleaseQueue;
    std::string FLastShownError;
    HWND FHandle = nullptr;
    int FModalLevel = 0;
};

// ---- the screen object
// --------------------------------------------------------------------------------------

class TMonitor {
public:
    int MonitorNum = 0;
    TRect BoundsRect;
    TRect WorkareaRect;
    bool Primary = false;
    int Left() const { return BoundsRect.Left; }
    int Top() const { return BoundsRect.Top; }
    int Width() const { return BoundsRect.Width(); }
    int Height() const { return BoundsRect.Height(); }
};

class TScreen : public TComponent {
    QEL_CLASS(TScreen, TComponent)
    explicit TScreen(TComponent* owner);
    ~TScreen() override;

    int FormCount() const { return static_cast<int>(FForms.size()); }
    TCustomForm* Forms(int i) const { return FForms.at(static_cast<size_t>(i)); }
    int CustomFormCount() const { return static_cast<int>(FForms.size()); }
    TCustomForm* CustomForms(int i) const { return FForms.at(static_cast<size_t>(i)); }
    TCustomForm* ActiveForm() const { return FActiveForm; }
    TCustomForm* ActiveCustomForm() const { return FActiveForm; }
    TWinControl* ActiveControl() const { return FActiveControl; }
    TCursor GetCursor() const { return FCursor; }
    void SetCursor(TCursor v);
    HCURSOR GetCursors(int index) const;
    void SetCursors(int index, HCURSOR cursor);
    TStrings* Fonts();
    int Width() const;
    int Height() const;
    int DesktopWidth() const { return Width(); }
    int DesktopHeight() const { return Height(); }
    int PixelsPerInch() const;
    int MonitorCount() const;
    TMonitor Monitors(int index) const;
    TMonitor MonitorFromPoint(TPoint p) const;
    TMonitor MonitorFromRect(const TRect& r) const;
    TRect WorkAreaRect() const;
    TFont* GetHintFont() const { return FHintFont.get(); }
    void SetHintFont(TFont* v) { FHintFont->Assign(v); }
    TFont* GetIconFont() const { return FIconFont.get(); }
    void SetIconFont(TFont* v) { FIconFont->Assign(v); }
    TFont* GetMenuFont() const { return FMenuFont.get(); }
    void SetMenuFont(TFont* v) { FMenuFont->Assign(v); }

    QEL_EVENT(TNotifyEvent, OnActiveControlChange)
    QEL_EVENT(TNotifyEvent, OnActiveFormChange)

    // Bookkeeping by forms.
    void AddForm(TCustomForm* form);
    void RemoveForm(TCustomForm* form);
    // Records a focus change; notifications fire for what actually changed, the form first.
    void SetFocusState(TCustomForm* form, TWinControl* control);
    void BringFormToFront(TCustomForm* form);
    int FormIndex(TCustomForm* form) const;
    void ControlRemoved(TControl* control);

private:
    void EnumMonitorsInto(std::vector<TMonitor>& list) const;
    std::vector<TCustomForm*> FForms;
    TCustomForm* FActiveForm = nullptr;
    TWinControl* FActiveControl = nullptr;
    TCursor FCursor = crDefault;
    std::vector<std::pair<int, HCURSOR>> FCursors;
    std::unique_ptr<TStringList> FFonts;
    std::unique_ptr<TFont> FHintFont, FIconFont, FMenuFont;
};

extern TApplication* Application;
extern TScreen* Screen;

// ---- timer ----------------------------------------------------------------------------------------------

// Calls OnTimer every Interval milliseconds of the platform clock while Enabled, from the GUI thread's
// message loop (also inside modal loops and ProcessMessages).
class TTimer : public TComponent {
    QEL_CLASS(TTimer, TComponent)
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool v);
    unsigned GetInterval() const { return FInterval; }
    void SetInterval(unsigned v);
    TNotifyEvent GetOnTimer() const { return FOnTimer; }
    void SetOnTimer(TNotifyEvent v) {
        FOnTimer = v;
        UpdateTimer();
    }
    void Loaded() override;

protected:
    virtual void Timer();

private:
    void UpdateTimer();
    void WndProc(TMessage& m);
    bool FEnabled = true;
    unsigned FInterval = 1000;
    HWND FWindow = nullptr;
    TNotifyEvent FOnTimer;
};

// The help command of HelpContext.
enum : uint16_t { HELP_CONTEXT = 0x0001, HELP_CONTEXTPOPUP = 0x0008 };

// Creates the application and screen objects if they do not exist yet (safe before Initialize).
void EnsureApplication();

// A hidden utility window whose messages go to `method` (timers, the application window).
HWND AllocateHWnd(TWindowProc method);
void DeallocateHWnd(HWND wnd);
// The cursor handle of a standard crXxx identifier.
HCURSOR LoadStandardCursor(TCursor cursor);
// A message box as a QEL form (scripted answers through SetMessageDlgHook); returns IDOK, IDYES, ...
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags);

} // namespace qel
