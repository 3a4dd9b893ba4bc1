#include "platform/controls/forms.h"

#include <algorithm>
#include <unistd.h>

#include "platform/core/clock.h"
#include "platform/core/filer.h"
#include "platform/core/strings.h"

namespace qel {

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {
struct TGlobalObjects {
    std::unique_ptr<TApplication> App;
    std::unique_ptr<TScreen> Scr;
    ~TGlobalObjects() {
        // Forms still owned by the application go first, while the screen still exists.
        App.reset();
        Application = nullptr;
        Scr.reset();
        Screen = nullptr;
    }
};
TGlobalObjects& Globals() {
    static TGlobalObjects g;
    return g;
}
} // namespace

void EnsureApplication() {
    auto& g = Globals();
    if (!g.Scr) {
        g.Scr = std::make_unique<TScreen>(nullptr);
        Screen = g.Scr.get();
    }
    if (!g.App) {
        g.App = std::make_unique<TApplication>(nullptr);
        Application = g.App.get();
    }
}

namespace {
struct TAutoGlobals {
    TAutoGlobals() { EnsureApplication(); }
} GAutoGlobals;
} // namespace

// ---- TControlScrollBar ----------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TControlScrollBar, [](auto& c) {
    c.Property("Increment", &TControlScrollBar::GetIncrement, &TControlScrollBar::SetIncrement).Default(8);
    c.Property("Margin", &TControlScrollBar::GetMargin, &TControlScrollBar::SetMargin).Default(0);
    c.Property("Range", &TControlScrollBar::GetRange, &TControlScrollBar::SetRange)
        .Default(0)
        .Stored(&TControlScrollBar::IsRangeStored);
    c.Property("Position", &TControlScrollBar::GetPosition, &TControlScrollBar::SetPosition).Default(0);
    c.Property("Tracking", &TControlScrollBar::GetTracking, &TControlScrollBar::SetTracking).Default(false);
    c.Property("Visible", &TControlScrollBar::GetVisible, &TControlScrollBar::SetVisible).Default(true);
})

TControlScrollBar::TControlScrollBar(TScrollingWinControl* control, TScrollBarKind kind)
    : FControl(control), FKind(kind) {}

TPersistent* TControlScrollBar::GetOwner() const {
    return FControl;
}

bool TControlScrollBar::IsRangeStored() const {
    return !(FControl && FControl->GetAutoScroll());
}

void TControlScrollBar::Assign(TPersistent* source) {
    if (auto* s = dynamic_cast<TControlScrollBar*>(source)) {
        FIncrement = s->FIncrement;
        FMargin = s->FMargin;
        FTracking = s->FTracking;
        FVisible = s->FVisible;
        SetRange(s->FRange);
        SetPosition(s->FPosition);
        return;
    }
    TPersistent::Assign(source);
}

int TControlScrollBar::ControlSize() const {
    if (!FControl) return 0;
    TRect r = FControl->TWinControl::GetClientRect();
    return FKind == sbHorizontal ? r.Width() : r.Height();
}

bool TControlScrollBar::IsScrollBarVisible() const {
    return FVisible && FRange > ControlSize() && ControlSize() > 0;
}

void TControlScrollBar::SetMargin(int v) {
    FMargin = std::max(v, 0);
    if (FControl) FControl->UpdateScrollBars();
}

void TControlScrollBar::SetRange(int v) {
    v = std::max(v, 0);
    if (v == FRange) return;
    FRange = v;
    if (FControl) FControl->UpdateScrollBars();
}

void TControlScrollBar::SetVisible(bool v) {
    if (v == FVisible) return;
    FVisible = v;
    if (FControl) FControl->UpdateScrollBars();
}

void TControlScrollBar::SetPosition(int v) {
    int maxPos = std::max(FRange - ControlSize(), 0);
    if (FControl && FControl->IsLoading()) maxPos = std::max(FRange, 0);
    v = std::clamp(v, 0, maxPos);
    if (v == FPosition) return;
    int delta = FPosition - v;
    FPosition = v;
    if (FControl) {
        if (FKind == sbHorizontal)
            FControl->ScrollBy(delta, 0);
        else
            FControl->ScrollBy(0, delta);
        FControl->UpdateScrollBars();
    }
}

void TControlScrollBar::ScrollMessage(uint32_t code, int pos) {
    int page = std::max(ControlSize() * 9 / 10, 1);
    switch (code) {
    case SB_LINEUP: SetPosition(FPosition - FIncrement); break;
    case SB_LINEDOWN: SetPosition(FPosition + FIncrement); break;
    case SB_PAGEUP: SetPosition(FPosition - page); break;
    case SB_PAGEDOWN: SetPosition(FPosition + page); break;
    case SB_THUMBPOSITION: SetPosition(pos); break;
    case SB_THUMBTRACK:
        if (FTracking) SetPosition(pos);
        break;
    case SB_TOP: SetPosition(0); break;
    case SB_BOTTOM: SetPosition(FRange); break;
    default: break;
    }
}

// ---- TScrollingWinControl ------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TScrollingWinControl)

TScrollingWinControl::TScrollingWinControl(TComponent* owner)
    : TWinControl(owner), FHorzScrollBar(std::make_unique<TControlScrollBar>(this, sbHorizontal)),
      FVertScrollBar(std::make_unique<TControlScrollBar>(this, sbVertical)) {
    FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
}

TScrollingWinControl::~TScrollingWinControl() {
    FUpdatingScrollBars = true;
}

void TScrollingWinControl::SetAutoScroll(bool v) {
    if (v == FAutoScroll) return;
    FAutoScroll = v;
    if (v)
        CalcAutoRange();
    else {
        FHorzScrollBar->SetRange(0);
        FVertScrollBar->SetRange(0);
    }
}

void TScrollingWinControl::CalcAutoRange() {
    if (!FAutoScroll || IsLoading()) return;
    // The ranges reach the far edge of the farthest child (in unscrolled coordinates) plus the margin.
    int h = 0, v = 0;
    for (TControl* c : FControls) {
        if (!c->GetVisible()) continue;
        if (c->GetAlign() == alNone || c->GetAlign() == alLeft || c->GetAlign() == alRight ||
            c->GetAlign() == alCustom)
            h = std::max(h, c->GetLeft() + c->GetWidth() + FHorzScrollBar->ScrollPos() +
                                FHorzScrollBar->FMargin);
        if (c->GetAlign() == alNone || c->GetAlign() == alTop || c->GetAlign() == alBottom ||
            c->GetAlign() == alCustom)
            v = std::max(v, c->GetTop() + c->GetHeight() + FVertScrollBar->ScrollPos() +
                                FVertScrollBar->FMargin);
    }
    bool old = FUpdatingScrollBars;
    FUpdatingScrollBars = true;
    FHorzScrollBar->FRange = h;
    FVertScrollBar->FRange = v;
    FUpdatingScrollBars = old;
    UpdateScrollBars();
}

void TScrollingWinControl::UpdateScrollBars() {
    if (FUpdatingScrollBars) return;
    FUpdatingScrollBars = true;
    // Keep the positions inside the ranges (the client may have grown).
    for (TControlScrollBar* sb : {FHorzScrollBar.get(), FVertScrollBar.get()}) {
        int maxPos = sb->IsScrollBarVisible() ? std::max(sb->FRange - sb->ControlSize(), 0) : 0;
        if (sb->FPosition > maxPos) {
            int delta = sb->FPosition - maxPos;
            sb->FPosition = maxPos;
            if (sb->FKind == sbHorizontal)
                ScrollBy(delta, 0);
            else
                ScrollBy(0, delta);
        }
    }
    for (TControlScrollBar* sb : {FHorzScrollBar.get(), FVertScrollBar.get()}) {
        TScrollBarInfo si;
        si.Visible = sb->IsScrollBarVisible();
        si.Max = si.Visible ? sb->FRange - 1 : 0;
        si.Page = si.Visible ? sb->ControlSize() : 0;
        si.Pos = si.Visible ? sb->FPosition : 0;
        SetScrollBarInfo(sb->FKind == sbHorizontal ? SB_HORZ : SB_VERT, si);
    }
    FUpdatingScrollBars = false;
}

void TScrollingWinControl::ScrollBy(int dx, int dy) {
    if (dx == 0 && dy == 0) return;
    DisableAlign();
    for (TControl* c : std::vector<TControl*>(FControls))
        c->SetBoundsKeepAnchors(c->GetLeft() + dx, c->GetTop() + dy, c->GetWidth(), c->GetHeight());
    FRealignPending = false;
    EnableAlign();
    Invalidate();
}

void TScrollingWinControl::ScrollInView(TControl* control) {
    if (!control || !ContainsControl(control) || control == this) return;
    TRect r = control->BoundsRect();
    // Bounds relative to this control's client area.
    for (TWinControl* p = control->GetParent(); p && p != this; p = p->GetParent())
        r = OffsetRect(r, p->GetLeft(), p->GetTop());
    TRect client = TWinControl::GetClientRect();
    if (r.Left < 0)
        FHorzScrollBar->SetPosition(FHorzScrollBar->FPosition + r.Left);
    else if (r.Right > client.Width()) {
        int d = std::min(r.Right - client.Width(), r.Left);
        FHorzScrollBar->SetPosition(FHorzScrollBar->FPosition + d);
    }
    if (r.Top < 0)
        FVertScrollBar->SetPosition(FVertScrollBar->FPosition + r.Top);
    else if (r.Bottom > client.Height()) {
        int d = std::min(r.Bottom - client.Height(), r.Top);
        FVertScrollBar->SetPosition(FVertScrollBar->FPosition + d);
    }
}

void TScrollingWinControl::AdjustClientRect(TRect& rect) {
    // Aligned children live in the scrolled space.
    rect = OffsetRect(rect, -FHorzScrollBar->ScrollPos(), -FVertScrollBar->ScrollPos());
    TWinControl::AdjustClientRect(rect);
}

void TScrollingWinControl::AlignControls(TControl* control, TRect& rect) {
    TWinControl::AlignControls(control, rect);
    CalcAutoRange();
}

void TScrollingWinControl::CreateWnd() {
    TWinControl::CreateWnd();
    UpdateScrollBars();
}

void TScrollingWinControl::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case WM_HSCROLL: FHorzScrollBar->ScrollMessage(m.WParamLo(), static_cast<int16_t>(m.WParamHi())); return;
    case WM_VSCROLL: FVertScrollBar->ScrollMessage(m.WParamLo(), static_cast<int16_t>(m.WParamHi())); return;
    case WM_SIZE:
        TWinControl::Dispatch(m);
        if (FAutoScroll)
            CalcAutoRange();
        else
            UpdateScrollBars();
        return;
    default: TWinControl::Dispatch(m); return;
    }
}

// ---- GetParentForm ---------------------------------------------------------------------------------------

TCustomForm* GetParentForm(TControl* control) {
    if (!control) return nullptr;
    TControl* c = control;
    while (c->GetParent()) c = c->GetParent();
    return dynamic_cast<TCustomForm*>(c);
}

TCustomForm* ValidParentForm(TControl* control) {
    TCustomForm* f = GetParentForm(control);
    if (!f)
        throw EInvalidOperation("Control '" + (control ? control->GetName() : std::string()) +
                                "' has no parent form");
    return f;
}

// ---- TCustomForm
// ---------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TCustomForm)
QEL_IMPLEMENT_CLASS(TForm, [](auto& c) {
    c.Property("Align", &TControl::GetAlign, &TControl::SetAlign).Default(alNone);
    c.Property("AutoScroll", &TScrollingWinControl::GetAutoScroll, &TScrollingWinControl::SetAutoScroll)
        .Default(true);
    c.Property("AutoSize", &TControl::GetAutoSize, &TControl::SetAutoSize).Default(false);
    c.Property("BiDiMode", &TControl::GetBiDiMode, &TControl::SetBiDiMode).Default(bdLeftToRight);
    c.Property("BorderIcons", &TCustomForm::GetBorderIcons, &TCustomForm::SetBorderIcons)
        .Default(TBorderIcons{biSystemMenu, biMinimize, biMaximize});
    c.Property("BorderStyle", &TCustomForm::GetBorderStyle, &TCustomForm::SetBorderStyle).Default(bsSizeable);
    c.Property("BorderWidth", &TWinControl::GetBorderWidth, &TWinControl::SetBorderWidth).Default(0);
    c.Property("Caption", &TControl::GetCaption, &TControl::SetCaption);
    c.Property("ClientHeight", &TCustomForm::GetClientHeightProp, &TCustomForm::SetClientHeightProp);
    c.Property("ClientWidth", &TCustomForm::GetClientWidthProp, &TCustomForm::SetClientWidthProp);
    c.Property("Color", &TCustomForm::GetFormColor, &TCustomForm::SetFormColor)
        .Default(clBtnFace)
        .Stored(&TCustomForm::IsFormColorStored);
    c.Object("Constraints", &TControl::GetConstraints, &TControl::SetConstraints);
    c.Property("Ctl3D", &TWinControl::GetCtl3D, &TWinControl::SetCtl3D).Default(true);
    c.Property("DockSite", &TWinControl::GetDockSite, &TWinControl::SetDockSite).Default(false);
    c.Property("DragKind", &TControl::GetDragKind, &TControl::SetDragKind).Default(dkDrag);
    c.Property("DragMode", &TControl::GetDragMode, &TControl::SetDragMode).Default(dmManual);
    c.Property("Enabled", &TControl::GetEnabled, &TControl::SetEnabled).Default(true);
    c.Property("ParentFont", &TControl::GetParentFont, &TControl::SetParentFont).Default(false);
    c.Object("Font", &TControl::GetFont, &TControl::SetFont);
    c.Property("FormStyle", &TCustomForm::GetFormStyle, &TCustomForm::SetFormStyle).Default(fsNormal);
    c.Object("HorzScrollBar", &TScrollingWinControl::GetHorzScrollBar,
             &TScrollingWinControl::SetHorzScrollBar);
    c.Object("Icon", &TCustomForm::GetIcon, &TCustomForm::SetIcon);
    c.Property("KeyPreview", &TCustomForm::GetKeyPreview, &TCustomForm::SetKeyPreview).Default(false);
    c.Property("Menu", &TCustomForm::GetMenu, &TCustomForm::SetMenu);
    c.Property("PixelsPerInch", &TCustomForm::GetPixelsPerInch, &TCustomForm::SetPixelsPerInch);
    c.Property("Position", &TCustomForm::GetPosition, &TCustomForm::SetPosition).Default(poDesigned);
    c.Property("Scaled", &TCustomForm::GetScaled, &TCustomForm::SetScaled).Default(true);
    c.Property("ShowHint", &TControl::GetShowHint, &TControl::SetShowHint)
        .Stored(&TControl::IsShowHintStored);
    c.Object("VertScrollBar", &TScrollingWinControl::GetVertScrollBar,
             &TScrollingWinControl::SetVertScrollBar);
    c.Property("Visible", &TCustomForm::GetVisibleProp, &TCustomForm::SetVisibleProp).Default(false);
    c.Property("WindowState", &TCustomForm::GetWindowState, &TCustomForm::SetWindowState).Default(wsNormal);
    c.Property("ActiveControl", &TCustomForm::GetActiveControl, &TCustomForm::SetActiveControl);
    c.Event("OnActivate", &TCustomForm::GetOnActivate, &TCustomForm::SetOnActivate);
    c.Event("OnClick", &TControl::GetOnClick, &TControl::SetOnClick);
    c.Event("OnClose", &TCustomForm::GetOnClose, &TCustomForm::SetOnClose);
    c.Event("OnCloseQuery", &TCustomForm::GetOnCloseQuery, &TCustomForm::SetOnCloseQuery);
    c.Event("OnCreate", &TCustomForm::GetOnCreate, &TCustomForm::SetOnCreate);
    c.Event("OnDblClick", &TControl::GetOnDblClick, &TControl::SetOnDblClick);
    c.Event("OnDeactivate", &TCustomForm::GetOnDeactivate, &TCustomForm::SetOnDeactivate);
    c.Event("OnDestroy", &TCustomForm::GetOnDestroy, &TCustomForm::SetOnDestroy);
    c.Event("OnHide", &TCustomForm::GetOnHide, &TCustomForm::SetOnHide);
    c.Event("OnKeyDown", &TWinControl::GetOnKeyDown, &TWinControl::SetOnKeyDown);
    c.Event("OnKeyPress", &TWinControl::GetOnKeyPress, &TWinControl::SetOnKeyPress);
    c.Event("OnKeyUp", &TWinControl::GetOnKeyUp, &TWinControl::SetOnKeyUp);
    c.Event("OnMouseDown", &TControl::GetOnMouseDown, &TControl::SetOnMouseDown);
    c.Event("OnMouseMove", &TControl::GetOnMouseMove, &TControl::SetOnMouseMove);
    c.Event("OnMouseUp", &TControl::GetOnMouseUp, &TControl::SetOnMouseUp);
    c.Event("OnPaint", &TCustomForm::GetOnPaint, &TCustomForm::SetOnPaint);
    c.Event("OnResize", &TControl::GetOnResize, &TControl::SetOnResize);
    c.Event("OnShow", &TCustomForm::GetOnShow, &TCustomForm::SetOnShow);
})

TCustomForm::TCustomForm(TComponent* owner)
    : TScrollingWinControl(owner), FIcon(std::make_unique<TIcon>()),
      FCanvas(std::make_unique<TControlCanvas>()) {
    EnsureApplication();
    FFormState.Include(fsCreating);
    FVisible = false;
    FParentColor = false;
    FParentFont = false;
    FColor = clBtnFace;
    FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    DoSetBounds(0, 0, 320, 240);
    FCanvas->SetControl(this);
    Screen->AddForm(this);
}

TCustomForm* TCustomForm::CreateNew(TComponent* owner) {
    auto* f = new TForm(owner);
    f->FCreatedNew = true;
    f->AfterConstruction();
    return f;
}

TCustomForm::~TCustomForm() {
    Destroying();
    if (Application) Application->CancelRelease(this);
    try {
        if (!FFormState.Contains(fsCreating)) DoDestroy();
    } catch (...) {
        if (Application) Application->HandleException(this);
    }
    if (Application && Application->MainForm() == this) Application->SetMainForm(nullptr);
    FCanvas->SetControl(nullptr);
    if (Screen) Screen->RemoveForm(this);
    DestroyHandleTree();
}

void TCustomForm::AfterConstruction() {
    if (!FCreatedNew) {
        // Reads the form files of this class and its ancestors below TForm, ancestors first.
        InitInheritedComponent(this, TForm::StaticClass());
    }
    FFormState.Exclude(fsCreating);
    AfterStreaming();
    DoCreate();
    if (FVisible) {
        FVisible = false;
        Show();
    }
}

void TCustomForm::Loaded() {
    TScrollingWinControl::Loaded();
    if (FActiveControl && !FActiveControl->CanFocus()) {
        // A stored active control takes the focus when the form shows.
    }
}

void TCustomForm::DoCreate() {
    FOnCreate(this);
}
void TCustomForm::DoDestroy() {
    FOnDestroy(this);
}
void TCustomForm::DoShow() {
    FOnShow(this);
}
void TCustomForm::DoHide() {
    FOnHide(this);
}
void TCustomForm::DoClose(TCloseAction& action) {
    FOnClose(this, action);
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
    TScrollingWinControl::Notification(component, operation);
    if (operation != opRemove) return;
    if (component == FActiveControl) FActiveControl = nullptr;
    if (component == FFocusedControl) FFocusedControl = nullptr;
    if (component == FMenu) SetMenu(nullptr);
    if (component == FLastActiveControl) FLastActiveControl = nullptr;
}

void TCustomForm::SetBorderIcons(TBorderIcons v) {
    if (v == FBorderIcons) return;
    FBorderIcons = v;
    if (!IsLoading()) RecreateWnd();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle v) {
    if (v == FBorderStyle) return;
    // Keep the client size while the frame changes.
    TRect client = GetClientRect();
    FBorderStyle = v;
    if (!IsLoading()) {
        RecreateWnd();
        SetClientSize(client.Width(), client.Height());
    }
}

void TCustomForm::SetFormStyle(TFormStyle v) {
    if (v == FFormStyle) return;
    FFormStyle = v;
    if (FHandle && !FParent) {
        SetWindowPos(FHandle, v == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void TCustomForm::SetPosition(TPosition v) {
    FPosition = v;
}

void TCustomForm::SetPixelsPerInch(int v) {
    if (v > 0) FPixelsPerInch = v;
}

void TCustomForm::SetIcon(TIcon* v) {
    FIcon->Assign(v);
}

void TCustomForm::SetClientWidthProp(int v) {
    if (IsLoading()) {
        // While reading, the frame is computed from the style read so far.
        SetClientSize(v, GetClientHeight());
        return;
    }
    SetClientSize(v, GetClientHeight());
}

void TCustomForm::SetClientHeightProp(int v) {
    SetClientSize(GetClientWidth(), v);
}

void TCustomForm::SetVisibleProp(bool v) {
    if (FFormState.Contains(fsCreating) || IsLoading()) {
        FVisible = v;
        return;
    }
    if (v)
        Show();
    else
        Hide();
}

void TCustomForm::SetMenu(TMainMenu* v) {
    if (v == FMenu) return;
    if (FMenu) RemoveFreeNotification(FMenu);
    FMenu = v;
    if (v) FreeNotification(v);
    MenuBarChanged();
}

int TCustomForm::NonClientExtraTop() const {
    return FMenuBarHeight;
}

void TCustomForm::MenuBarChanged() {
    // Embedded forms show no bar of their own.
    int h = FMenu && !FParent && !FParentWindow && FBorderStyle != bsNone ? MenuBarHeight(FMenu) : 0;
    if (h == FMenuBarHeight) {
        if (FHandle) RedrawWindow(FHandle, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
        return;
    }
    int delta = h - FMenuBarHeight;
    TRect client = GetClientRect();
    FMenuBarHeight = h;
    if (FHandle) {
        // The frame grows by the bar and the client area keeps its size.
        SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SetBounds(FLeft, FTop, FWidth, FHeight + delta);
        if (GetClientRect().Height() != client.Height())
            SetBounds(FLeft, FTop, FWidth, FHeight + client.Height() - GetClientRect().Height());
    } else {
        DoSetBounds(FLeft, FTop, FWidth, FHeight + delta);
    }
}

void TCustomForm::SetWindowState(TWindowState v) {
    if (v == FWindowState) return;
    TWindowState old = FWindowState;
    if (old == wsNormal) FRestoredBounds = BoundsRect();
    FWindowState = v;
    if (IsLoading() || FParent) return;
    switch (v) {
    case wsMaximized: {
        // The maximised bounds are known at once: the work area of the form's monitor.
        TRect wa =
            Screen->MonitorFromRect(FRestoredBounds.IsEmpty() ? BoundsRect() : FRestoredBounds).WorkareaRect;
        SetBounds(wa.Left, wa.Top, wa.Width(), wa.Height());
        break;
    }
    case wsMinimized:
        if (FHandle) ShowWindow(FHandle, SW_MINIMIZE);
        break;
    case wsNormal:
        if (FHandle && old == wsMinimized) ShowWindow(FHandle, SW_RESTORE);
        if (!FRestoredBounds.IsEmpty()) SetBoundsRect(FRestoredBounds);
        break;
    }
}

void TCustomForm::CreateParams(TCreateParams& params) {
    TScrollingWinControl::CreateParams(params);
    params.Style &= ~static_cast<DWORD>(WS_CHILD | WS_TABSTOP);
    if (FParent || FParentWindow) {
        // Embedded into a control: a child window with the frame of its border style.
        params.Style |= WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
        if (FBorderStyle != bsNone) params.Style |= WS_CAPTION | WS_BORDER;
        return;
    }
    params.WndParent = nullptr;
    params.Style |= WS_CLIPCHILDREN;
    switch (FBorderStyle) {
    case bsNone: params.Style |= WS_POPUP; break;
    case bsSingle: params.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: params.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
        params.Style |= WS_POPUP | WS_CAPTION | WS_DLGFRAME;
        params.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    case bsToolWindow:
        params.Style |= WS_CAPTION | WS_BORDER;
        params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    case bsSizeToolWin:
        params.Style |= WS_CAPTION | WS_THICKFRAME;
        params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    }
    if (FBorderStyle != bsNone) {
        if (FBorderIcons.Contains(biSystemMenu)) params.Style |= WS_SYSMENU;
        if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow && FBorderStyle != bsSizeToolWin) {
            if (FBorderIcons.Contains(biMinimize)) params.Style |= WS_MINIMIZEBOX;
            if (FBorderIcons.Contains(biMaximize)) params.Style |= WS_MAXIMIZEBOX;
        }
        if (FBorderIcons.Contains(biHelp)) params.ExStyle |= WS_EX_CONTEXTHELP;
    }
    if (FFormStyle == fsStayOnTop) params.ExStyle |= WS_EX_TOPMOST;
}

void TCustomForm::CreateWnd() {
    TRect want = TScrollingWinControl::GetClientRect(); // the client size set so far
    TScrollingWinControl::CreateWnd();
    TRect actual;
    ::qel::GetClientRect(FHandle, &actual);
    // The frame may differ from the estimate used before the window existed: keep the client size.
    if (actual.Width() != want.Width() || actual.Height() != want.Height())
        SetBounds(FLeft, FTop, FWidth + want.Width() - actual.Width(),
                  FHeight + want.Height() - actual.Height());
}

void TCustomForm::ApplyPosition() {
    if (FPositioned || FParent || FParentWindow) return;
    FPositioned = true;
    TRect wa = Screen->WorkAreaRect();
    TCustomForm* center = nullptr;
    switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter: {
        TRect sr{0, 0, Screen->Width(), Screen->Height()};
        SetBounds(sr.Left + (sr.Width() - FWidth) / 2, sr.Top + (sr.Height() - FHeight) / 2, FWidth, FHeight);
        return;
    }
    case poMainFormCenter: center = Application->MainForm(); break;
    case poOwnerFormCenter: center = dynamic_cast<TCustomForm*>(Owner()); break;
    default: return;
    }
    if (!center || center == this) center = nullptr;
    TRect r = center ? center->BoundsRect() : wa;
    SetBounds(r.Left + (r.Width() - FWidth) / 2, r.Top + (r.Height() - FHeight) / 2, FWidth, FHeight);
}

void TCustomForm::Show() {
    if (FVisible && FHandle) {
        BringToFront();
        return;
    }
    ApplyPosition();
    DoShow();
    FVisible = true;
    Perform(CM_VISIBLECHANGED, 1);
    if (FParent) {
        RequestAlign();
        return;
    }
    if (FHandle && !FParentWindow) {
        ShowWindow(FHandle, FWindowState == wsMinimized ? SW_SHOWMINIMIZED : SW_SHOW);
        SetForegroundWindow(FHandle);
        SetActive(true);
    }
}

void TCustomForm::Hide() {
    if (!FVisible) return;
    DoHide();
    if (FActive) SetActive(false);
    FVisible = false;
    Perform(CM_VISIBLECHANGED, 0);
    if (FHandle && !FParent && !FParentWindow) ShowWindow(FHandle, SW_HIDE);
    if (FParent) RequestAlign();
    // The next visible form of the application takes over activation.
    if (Screen && Screen->ActiveForm() == this) {
        for (int i = 0; i < Screen->FormCount(); ++i) {
            TCustomForm* f = Screen->Forms(i);
            if (f != this && f->GetVisible() && !f->GetParent() && f->GetEnabled()) {
                f->SetActive(true);
                break;
            }
        }
        if (Screen->ActiveForm() == this) Screen->SetFocusState(nullptr, nullptr);
    }
}

void TCustomForm::SetActive(bool active) {
    if (active == FActive) {
        if (active && Screen->ActiveForm() != this) Screen->SetFocusState(this, FFocusedControl);
        return;
    }
    if (active) {
        // Deactivate the form that was active.
        TCustomForm* prev = Screen->ActiveForm();
        if (prev && prev != this && prev->FActive) prev->SetActive(false);
        FActive = true;
        Screen->SetFocusState(this, FFocusedControl);
        SetWindowFocus();
        Activate();
    } else {
        FActive = false;
        Deactivate();
    }
}

void TCustomForm::Activate() {
    Perform(CM_ACTIVATE);
    FOnActivate(this);
}

void TCustomForm::Deactivate() {
    Perform(CM_DEACTIVATE);
    FOnDeactivate(this);
}

void TCustomForm::SetWindowFocus() {
    TWinControl* c = FActiveControl;
    if (c && !c->CanFocus()) c = nullptr;
    if (!c) {
        // Nothing chosen yet: the first control in tab order.
        c = FindNextControl(nullptr, true, true, false);
        if (!c) c = FindNextControl(nullptr, true, false, false);
        if (c) FActiveControl = c;
    }
    if (!c) c = this;
    if (FHandle && c->Showing()) ::qel::SetFocus(c->Handle());
    SetFocusedControl(c);
}

void TCustomForm::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    if (FParent) {
        if (TCustomForm* host = GetParentForm(this)) host->FocusControl(this);
        return;
    }
    SetActive(true);
}

void TCustomForm::FocusControl(TWinControl* control) {
    bool wasActive = FActive;
    SetActiveControl(control);
    if (!wasActive && !FParent) SetActive(true);
}

void TCustomForm::SetActiveControl(TWinControl* control) {
    if (control == FActiveControl && (!control || FFocusedControl == control)) return;
    if (control && !IsLoading() && !control->CanFocus())
        throw EInvalidOperation("Cannot focus a disabled or invisible window");
    if (IsLoading()) {
        FActiveControl = control;
        return;
    }
    if (control && GetParentForm(control) != this) {
        // A control of an embedded form: its host form does the focusing.
        if (TCustomForm* host = GetParentForm(control)) host->SetActiveControl(control);
        return;
    }
    FActiveControl = control;
    if (!control) {
        if (FFocusedControl && FFocusedControl != this) SetFocusedControl(this);
        return;
    }
    if (FActive || FParent) {
        if (control->HandleAllocated() && control->Showing()) ::qel::SetFocus(control->Handle());
        SetFocusedControl(control);
    }
}

bool TCustomForm::SetFocusedControl(TWinControl* control) {
    if (!control) return false;
    TCustomForm* root = GetParentForm(this);
    if (root != this && root) return root->SetFocusedControl(control);
    if (control == FFocusedControl) {
        if (FActive) Screen->SetFocusState(this, control);
        return true;
    }
    TWinControl* old = FFocusedControl;
    FFocusedControl = control;
    if (control != this) FActiveControl = control;
    // Embedded forms on the way down remember the control as theirs.
    for (TWinControl* p = control->GetParent(); p; p = p->GetParent())
        if (auto* f = dynamic_cast<TCustomForm*>(p); f && f != this) f->FActiveControl = control;
    // Exit notifications from the old control up to the common ancestor, then enter notifications
    // from below the common ancestor down to the new control.
    std::vector<TWinControl*> enter;
    for (TWinControl* p = control; p && p != this; p = p->GetParent()) enter.push_back(p);
    try {
        for (TWinControl* p = old; p && p != this && !p->ContainsControl(control); p = p->GetParent()) {
            p->Perform(CM_EXIT);
            if (FFocusedControl != control) return false; // an exit handler moved the focus elsewhere
        }
        if (FActive) Screen->SetFocusState(this, control);
        for (auto it = enter.rbegin(); it != enter.rend(); ++it) {
            TWinControl* p = *it;
            if (old && p->ContainsControl(old)) continue;
            p->Perform(CM_ENTER);
            if (FFocusedControl != control) return false;
        }
    } catch (...) {
        if (Application) Application->HandleException(this);
        return false;
    }
    return true;
}

void TCustomForm::DefocusControl(TWinControl* control, bool removing) {
    if (removing && control->ContainsControl(FFocusedControl)) {
        TWinControl* p = control->GetParent();
        FFocusedControl = p ? p : this;
        if (FActiveControl && control->ContainsControl(FActiveControl)) FActiveControl = nullptr;
    }
}

void TCustomForm::MoveFocusFrom(TControl* control) {
    auto* w = dynamic_cast<TWinControl*>(control);
    if (!w || !FFocusedControl || !w->ContainsControl(FFocusedControl)) return;
    TWinControl* next = FindNextControl(FFocusedControl, true, true, false);
    if (next && !w->ContainsControl(next))
        SetActiveControl(next);
    else {
        FActiveControl = nullptr;
        SetFocusedControl(this);
        if (FHandle) ::qel::SetFocus(FHandle);
    }
}

void TCustomForm::DoFormKeyDown(uint16_t& key, TShiftState shift) {
    KeyDown(key, shift);
}
void TCustomForm::DoFormKeyPress(char& key) {
    KeyPress(key);
}

void TCustomForm::KeyDown(uint16_t& key, TShiftState shift) {
    TScrollingWinControl::KeyDown(key, shift);
}

bool TCustomForm::DialogKey(TMessage& m) {
    uint16_t key = static_cast<uint16_t>(m.WParam);
    TShiftState shift = KeyboardStateToShiftState();
    if (key == VK_TAB && !shift.Contains(ssAlt) && !shift.Contains(ssCtrl)) {
        // Tab and Shift+Tab move through the tab order of the whole form.
        TWinControl* from = FFocusedControl && FFocusedControl != this ? FFocusedControl : nullptr;
        TWinControl* next = FindNextControl(from, !shift.Contains(ssShift), true, false);
        if (next) next->SetFocus();
        m.Result = 1;
        return true;
    }
    if ((key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) && shift.Empty()) {
        // Arrows move among the siblings of the focused control.
        TWinControl* cur = FFocusedControl;
        if (cur && cur != this && cur->GetParent()) {
            bool fwd = key == VK_RIGHT || key == VK_DOWN;
            TWinControl* next = cur->GetParent()->FindNextControl(cur, fwd, false, true);
            if (next && next != cur) next->SetFocus();
            m.Result = 1;
            return true;
        }
    }
    return false;
}

void TCustomForm::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_DIALOGKEY:
        if (DialogKey(m)) return;
        TScrollingWinControl::Dispatch(m);
        return;
    case WM_ACTIVATE:
        // The form moves the focus to its active control itself (the default would focus the frame).
        if (!FParent) SetActive(LOWORD(m.WParam) != WA_INACTIVE);
        return;
    case WM_CLOSE: Close(); return;
    case WM_SYSCOMMAND:
        switch (m.WParam & 0xFFF0) {
        case SC_CLOSE: Close(); return;
        case SC_MINIMIZE:
            if (Application->MainForm() == this)
                Application->Minimize();
            else
                SetWindowState(wsMinimized);
            return;
        case SC_MAXIMIZE: SetWindowState(wsMaximized); return;
        case SC_RESTORE: SetWindowState(wsNormal); return;
        default: DefaultHandler(m); return;
        }
    case CM_RELEASE: Application->QueueRelease(this); return;
    case WM_NCCALCSIZE:
        TScrollingWinControl::Dispatch(m);
        if (FMenuBarHeight && m.LParam) {
            // The menu bar sits between the caption and the client area.
            TRect& r = m.WParam ? reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam)->rgrc[0]
                                : *reinterpret_cast<TRect*>(m.LParam);
            r.Top = std::min(r.Top + FMenuBarHeight, r.Bottom);
        }
        return;
    case WM_NCPAINT:
        TScrollingWinControl::Dispatch(m);
        if (FMenuBarHeight && FHandle) {
            HDC dc = GetWindowDC(FHandle);
            PaintMenuBar(this, dc);
            ReleaseDC(FHandle, dc);
        }
        return;
    case WM_NCHITTEST:
        TScrollingWinControl::Dispatch(m);
        if (FMenuBarHeight && MenuBarRect(this).Contains({LParamX(m.LParam), LParamY(m.LParam)}))
            m.Result = HTMENU;
        return;
    case WM_NCLBUTTONDOWN:
        if (m.WParam == HTMENU && FMenu) {
            TPoint p{LParamX(m.LParam), LParamY(m.LParam)};
            if (TMenuItem* item = MenuBarItemAt(this, p)) TrackMenuBar(this, item, false);
            return;
        }
        TScrollingWinControl::Dispatch(m);
        return;
    case CM_DIALOGCHAR:
        // Alt with the accelerator of a bar item opens it before the controls see the character.
        if (FMenu && FMenuBarHeight && (m.LParam & AltKeyData)) {
            TMenuItem* items = FMenu->GetItems();
            for (int i = 0; i < items->Count(); ++i) {
                TMenuItem* it = items->Items(i);
                if (it->GetVisible() && it->GetEnabled() &&
                    IsAccel(static_cast<uint32_t>(m.WParam), it->GetCaption())) {
                    m.Result = 1;
                    TrackMenuBar(this, it, true);
                    return;
                }
            }
        }
        TScrollingWinControl::Dispatch(m);
        return;
    case WM_SETFOCUS:
        if (FActiveControl && FActiveControl != this && FActiveControl->CanFocus() &&
            FActiveControl->HandleAllocated()) {
            ::qel::SetFocus(FActiveControl->Handle());
            return;
        }
        TScrollingWinControl::Dispatch(m);
        return;
    default: TScrollingWinControl::Dispatch(m); return;
    }
}

void TCustomForm::Paint() {
    FOnPaint(this);
}

void TCustomForm::PaintWindow(HDC dc) {
    FCanvas->Lock();
    try {
        FCanvas->SetHandle(dc);
        FCanvas->GetFont()->Assign(FFont.get());
        FCanvas->GetBrush()->SetColor(FColor);
        Paint();
    } catch (...) {
        FCanvas->SetHandle(nullptr);
        FCanvas->Unlock();
        throw;
    }
    FCanvas->SetHandle(nullptr);
    FCanvas->Unlock();
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    FOnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close() {
    if (FFormState.Contains(fsModal)) {
        FModalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action =
        FFormStyle == fsMDIChild ? (FBorderIcons.Contains(biMinimize) ? caMinimize : caNone) : caHide;
    DoClose(action);
    if (action == caNone) return;
    if (Application->MainForm() == this) {
        Application->Terminate();
        if (action == caFree)
            Release();
        else
            Hide();
        return;
    }
    switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree:
        Hide();
        Release();
        break;
    default: break;
    }
}

void TCustomForm::Release() {
    Application->QueueRelease(this);
}

int TCustomForm::ShowModal() {
    if (FVisible || !FEnabled || FFormState.Contains(fsModal) || FFormStyle == fsMDIChild)
        throw EInvalidOperation("Cannot make a visible window modal");
    if (GetCapture()) {
        SendMessage(GetCapture(), WM_CANCELMODE, 0, 0);
        ReleaseCapture();
    }
    FFormState.Include(fsModal);
    TCustomForm* prevActive = Screen->ActiveForm();
    // Every other form stops taking input while this one is up.
    std::vector<TCustomForm*> disabled;
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* f = Screen->Forms(i);
        if (f != this && !f->GetParent() && f->HandleAllocated() && IsWindowEnabled(f->Handle())) {
            EnableWindow(f->Handle(), false);
            disabled.push_back(f);
        }
    }
    FModalResult = 0;
    Application->EnterModal();
    auto cleanup = [&] {
        Application->LeaveModal();
        for (TCustomForm* f : disabled)
            if (Screen->FormIndex(f) >= 0 && f->HandleAllocated()) EnableWindow(f->Handle(), true);
        FFormState.Exclude(fsModal);
    };
    try {
        Show();
        if (Application->GetOnModalBegin()) {
            // Let the dialog come up (activation, first paint) before the script sends its input.
            Application->ProcessMessages();
            Application->GetOnModalBegin()(this);
        }
        while (true) {
            if (FModalResult == 0) {
                if (!Application->ProcessMessage() && !Application->InputCanArrive()) {
                    // Nothing can ever answer this dialog (scripted runs): cancel instead of hanging.
                    Application->NoteAbandonedModal();
                    FModalResult = mrCancel;
                } else if (FModalResult == 0) {
                    Application->HandleMessage();
                }
            }
            if (Application->Terminated()) FModalResult = mrCancel;
            if (FModalResult != 0) {
                // CloseModal: the form may refuse, or the close action may keep it open.
                TCloseAction action = caHide;
                if (CloseQuery()) {
                    DoClose(action);
                    if (action == caNone) FModalResult = 0;
                } else {
                    FModalResult = 0;
                }
                if (Application->Terminated()) FModalResult = FModalResult ? FModalResult : mrCancel;
                if (FModalResult != 0) {
                    if (action == caFree) Release();
                    break;
                }
                if (Application->Terminated()) break;
            }
        }
        int result = FModalResult;
        Hide();
        cleanup();
        if (prevActive && prevActive != this && Screen->FormIndex(prevActive) >= 0 &&
            prevActive->GetVisible())
            prevActive->SetActive(true);
        return result;
    } catch (...) {
        if (FVisible) Hide();
        cleanup();
        throw;
    }
}

// ---- THintWindow
// -----------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(THintWindow)

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
    FColor = clInfoBk;
    FParentColor = false;
    FVisible = false;
    FFont->Assign(Screen->GetHintFont());
    FParentFont = false;
}

void THintWindow::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style = WS_POPUP | WS_BORDER;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    params.WndParent = nullptr;
}

TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint, void*) {
    HDC dc = GetDC(nullptr);
    HFONT old = static_cast<HFONT>(SelectObject(dc, FFont->GetHandle()));
    TRect r{0, 0, maxWidth, 0};
    DrawText(dc, hint, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    r.Right += 6;
    r.Bottom += 2;
    return r;
}

void THintWindow::ActivateHint(TRect rect, const std::string& hint) {
    SetText(hint);
    // Keep the window on the screen.
    int sw = Screen->Width(), sh = Screen->Height();
    if (rect.Right > sw) rect = OffsetRect(rect, sw - rect.Right, 0);
    if (rect.Left < 0) rect = OffsetRect(rect, -rect.Left, 0);
    if (rect.Bottom > sh) rect = OffsetRect(rect, 0, sh - rect.Bottom);
    if (rect.Top < 0) rect = OffsetRect(rect, 0, -rect.Top);
    SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
    HandleNeeded();
    SetWindowPos(FHandle, HWND_TOPMOST, rect.Left, rect.Top, rect.Width(), rect.Height(),
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    FVisible = true;
    FShown = true;
    Invalidate();
}

void THintWindow::ReleaseHandle() {
    FShown = false;
    FVisible = false;
    DestroyHandle();
}

void THintWindow::Paint() {
    TRect r = GetClientRect();
    Canvas()->GetBrush()->SetColor(FColor);
    Canvas()->FillRect(r);
    r = InflateRect(r, -2, -1);
    Canvas()->GetFont()->SetColor(clInfoText);
    Canvas()->GetBrush()->SetStyle(bsClear);
    DrawText(Canvas()->GetHandle(), GetText(), &r, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

// ---- TScreen
// -------------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TScreen)

TScreen::TScreen(TComponent* owner)
    : TComponent(owner), FHintFont(std::make_unique<TFont>()), FIconFont(std::make_unique<TFont>()),
      FMenuFont(std::make_unique<TFont>()) {
    FHintFont->SetColor(clInfoText);
}

TScreen::~TScreen() = default;

void TScreen::AddForm(TCustomForm* form) {
    if (std::find(FForms.begin(), FForms.end(), form) == FForms.end()) FForms.push_back(form);
}

int TScreen::FormIndex(TCustomForm* form) const {
    auto it = std::find(FForms.begin(), FForms.end(), form);
    return it == FForms.end() ? -1 : static_cast<int>(it - FForms.begin());
}

void TScreen::RemoveForm(TCustomForm* form) {
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
    bool formChanged = false, controlChanged = false;
    if (FActiveForm == form) {
        FActiveForm = nullptr;
        formChanged = true;
    }
    if (FActiveControl && form->ContainsControl(FActiveControl)) {
        FActiveControl = nullptr;
        controlChanged = true;
    }
    if (formChanged) FOnActiveFormChange(this);
    if (controlChanged) FOnActiveControlChange(this);
}

void TScreen::ControlRemoved(TControl* c) {
    if (FActiveControl == c) {
        FActiveControl = nullptr;
        FOnActiveControlChange(this);
    }
}

void TScreen::SetFocusState(TCustomForm* form, TWinControl* control) {
    bool formChanged = form != FActiveForm;
    bool controlChanged = control != FActiveControl;
    FActiveForm = form;
    FActiveControl = control;
    // The active form changes first, so a handler of the control change sees the new form.
    if (formChanged) {
        // Keep the active form first in the list of forms.
        if (form) {
            FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
            FForms.insert(FForms.begin(), form);
        }
        FOnActiveFormChange(this);
    }
    if (controlChanged) FOnActiveControlChange(this);
}

void TScreen::BringFormToFront(TCustomForm* form) {
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
    FForms.insert(FForms.begin(), form);
}

void TScreen::SetCursor(TCursor v) {
    if (v == FCursor) return;
    FCursor = v;
    ::qel::SetCursor(GetCursors(v == crDefault ? crArrow : v));
}

HCURSOR TScreen::GetCursors(int index) const {
    for (auto& [i, h] : FCursors)
        if (i == index) return h;
    return LoadStandardCursor(index);
}

void TScreen::SetCursors(int index, HCURSOR cursor) {
    for (auto& e : FCursors)
        if (e.first == index) {
            e.second = cursor;
            return;
        }
    FCursors.emplace_back(index, cursor);
}

TStrings* TScreen::Fonts() {
    if (!FFonts) {
        FFonts = std::make_unique<TStringList>();
        for (const std::string& n : GetFontNames()) FFonts->Add(n);
    }
    return FFonts.get();
}

int TScreen::Width() const {
    return GetSystemMetrics(SM_CXSCREEN);
}
int TScreen::Height() const {
    return GetSystemMetrics(SM_CYSCREEN);
}

int TScreen::PixelsPerInch() const {
    HDC dc = GetDC(nullptr);
    int v = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return v > 0 ? v : 96;
}

int TScreen::MonitorCount() const {
    return std::max(GetSystemMetrics(SM_CMONITORS), 1);
}

TMonitor TScreen::Monitors(int index) const {
    TMonitor m;
    m.MonitorNum = index;
    std::vector<TMonitor> all;
    EnumMonitorsInto(all);
    if (index >= 0 && index < static_cast<int>(all.size())) return all[static_cast<size_t>(index)];
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

TMonitor TScreen::MonitorFromPoint(TPoint p) const {
    std::vector<TMonitor> all;
    EnumMonitorsInto(all);
    for (auto& m : all)
        if (m.BoundsRect.Contains(p)) return m;
    return all.front();
}

TMonitor TScreen::MonitorFromRect(const TRect& r) const {
    std::vector<TMonitor> all;
    EnumMonitorsInto(all);
    const TMonitor* best = &all.front();
    int bestArea = -1;
    for (auto& m : all) {
        TRect i = IntersectRect(m.BoundsRect, r);
        int area = i.Width() * i.Height();
        if (area > bestArea) {
            bestArea = area;
            best = &m;
        }
    }
    return *best;
}

TRect TScreen::WorkAreaRect() const {
    TRect r{0, 0, Width(), Height()};
    SystemParametersInfo(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

// ---- TTimer
// ----------------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TTimer, [](auto& c) {
    c.Property("Enabled", &TTimer::GetEnabled, &TTimer::SetEnabled).Default(true);
    c.Property("Interval", &TTimer::GetInterval, &TTimer::SetInterval).Default(1000u);
    c.Event("OnTimer", &TTimer::GetOnTimer, &TTimer::SetOnTimer);
})

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
    FEnabled = false;
    if (FWindow) {
        KillTimer(FWindow, 1);
        DeallocateHWnd(FWindow);
        FWindow = nullptr;
    }
}

void TTimer::SetEnabled(bool v) {
    if (v == FEnabled) return;
    FEnabled = v;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned v) {
    if (v == FInterval) return;
    FInterval = v;
    UpdateTimer();
}

void TTimer::Loaded() {
    TComponent::Loaded();
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (IsLoading()) return;
    if (FWindow) KillTimer(FWindow, 1);
    if (FInterval != 0 && FEnabled && FOnTimer) {
        if (!FWindow) FWindow = AllocateHWnd(TWindowProc(this, &TTimer::WndProc));
        if (!SetTimer(FWindow, 1, FInterval, nullptr)) throw EOutOfResources("Not enough timers available");
    }
}

void TTimer::WndProc(TMessage& m) {
    if (m.Msg == WM_TIMER) {
        try {
            if (FEnabled) Timer();
        } catch (...) {
            Application->HandleException(this);
        }
        return;
    }
    m.Result = DefWindowProc(FWindow, m.Msg, m.WParam, m.LParam);
}

void TTimer::Timer() {
    FOnTimer(this);
}

} // namespace qel
