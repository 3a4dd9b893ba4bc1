// Window handles, message dispatch, painting and mouse routing of the control hierarchy.
#include <algorithm>
#include <unordered_map>

#include "platform/controls/controls.h"
#include "platform/controls/forms.h"
#include "platform/controls/menus.h"
#include "platform/graphics/graphics.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TControl, [](auto& c) {
    c.Property("Left", &TControl::GetLeft, &TControl::SetLeft);
    c.Property("Top", &TControl::GetTop, &TControl::SetTop);
    c.Property("Width", &TControl::GetWidth, &TControl::SetWidth);
    c.Property("Height", &TControl::GetHeight, &TControl::SetHeight);
    c.Property("Cursor", &TControl::GetCursor, &TControl::SetCursor).Default(0);
    c.Property("Hint", &TControl::GetHint, &TControl::SetHint);
    c.Property("HelpType", &TControl::GetHelpType, &TControl::SetHelpType).Default(htContext);
    c.Property("HelpKeyword", &TControl::GetHelpKeyword, &TControl::SetHelpKeyword);
    c.Property("HelpContext", &TControl::GetHelpContext, &TControl::SetHelpContext).Default(0);
})
QEL_IMPLEMENT_CLASS(TWinControl)

namespace {

std::unordered_map<HWND, TWinControl*>& HandleMap() {
    static std::unordered_map<HWND, TWinControl*> map;
    return map;
}
TWinControl* GCreationControl = nullptr;
TControl* GCaptureControl = nullptr;
const char* const ControlClassName = "QELControl";

LRESULT ControlWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

void EnsureWindowClass() {
    // Checked every time: a reset of the desktop unregisters every class.
    WNDCLASS existing{};
    if (GetClassInfo(nullptr, ControlClassName, &existing)) return;
    WNDCLASS wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &ControlWndProc;
    wc.lpszClassName = ControlClassName;
    RegisterClass(&wc);
}

LRESULT ControlWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& map = HandleMap();
    auto it = map.find(wnd);
    TWinControl* control = nullptr;
    if (it != map.end())
        control = it->second;
    else if (GCreationControl) {
        control = GCreationControl;
        map[wnd] = control;
        control->AttachCreatingHandle(wnd);
    }
    if (!control) return DefWindowProc(wnd, msg, wParam, lParam);
    TMessage m{msg, static_cast<uintptr_t>(wParam), static_cast<intptr_t>(lParam), 0};
    TMessageHandlerScope scope;
    try {
        control->GetWindowProc()(m);
    } catch (...) {
        if (Application) Application->HandleException(control);
    }
    return static_cast<LRESULT>(m.Result);
}

TShiftState KeysToShift(uintptr_t keys) {
    TShiftState s;
    if (keys & MK_SHIFT) s += ssShift;
    if (keys & MK_CONTROL) s += ssCtrl;
    if (keys & MK_LBUTTON) s += ssLeft;
    if (keys & MK_RBUTTON) s += ssRight;
    if (keys & MK_MBUTTON) s += ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s += ssAlt;
    return s;
}

} // namespace

TShiftState KeyDataToShiftState(intptr_t keyData) {
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0) s += ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s += ssCtrl;
    if (keyData & AltKeyData) s += ssAlt;
    return s;
}

TShiftState KeyboardStateToShiftState() {
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0) s += ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s += ssCtrl;
    if (GetKeyState(VK_MENU) < 0) s += ssAlt;
    return s;
}

// ---- TControl: messages -------------------------------------------------------------------------------

bool TControl::IsMouseMessage(uint32_t msg) {
    return msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST;
}

void TControl::HandleMouseMessage(TMessage& m) {
    FMousePos = {LParamX(m.LParam), LParamY(m.LParam)};
}

TControl* GetCaptureControl() {
    if (GCaptureControl) {
        HWND cap = GetCapture();
        auto* w = dynamic_cast<TWinControl*>(GCaptureControl);
        HWND expect = nullptr;
        if (w)
            expect = w->HandleAllocated() ? w->Handle() : nullptr;
        else if (GCaptureControl->GetParent() && GCaptureControl->GetParent()->HandleAllocated())
            expect = GCaptureControl->GetParent()->Handle();
        if (cap && cap == expect) return GCaptureControl;
        GCaptureControl = nullptr;
    }
    return TWinControl::FindControl(GetCapture());
}

void SetCaptureControl(TControl* control) {
    ReleaseCapture();
    GCaptureControl = nullptr;
    if (!control) return;
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        SetCapture(w->Handle());
        GCaptureControl = control;
        return;
    }
    if (control->GetParent()) {
        SetCapture(control->GetParent()->Handle());
        GCaptureControl = control;
    }
}

bool TControl::GetMouseCapture() const {
    return GetCaptureControl() == this;
}

void TControl::SetMouseCapture(bool v) {
    if (GetMouseCapture() == v) return;
    SetCaptureControl(v ? this : nullptr);
}

void ControlDetachGlobal(TControl* c) {
    if (GCaptureControl == c) {
        GCaptureControl = nullptr;
        ReleaseCapture();
    }
    TApplication::ControlDestroyed(c);
}

void TControl::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
        TMouseButton b = (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK)   ? mbLeft
                         : (m.Msg == WM_RBUTTONDOWN || m.Msg == WM_RBUTTONDBLCLK) ? mbRight
                                                                                  : mbMiddle;
        bool dbl = m.Msg == WM_LBUTTONDBLCLK || m.Msg == WM_RBUTTONDBLCLK || m.Msg == WM_MBUTTONDBLCLK;
        TShiftState shift = KeysToShift(m.WParam);
        if (dbl) shift += ssDouble;
        if (b == mbLeft) {
            if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
            if (FControlStyle.Contains(csClickEvents)) FControlState.Include(csClicked);
            FControlState.Include(csLButtonDown);
            if (FDragMode == dmAutomatic && !dbl && IsEnabledChain()) {
                // Automatic dragging: the press starts a pending drag instead of a click.
                FControlState.Exclude(csClicked);
                FControlState.Exclude(csLButtonDown);
                BeginDrag(false);
                return;
            }
            if (dbl && FControlStyle.Contains(csDoubleClicks)) DblClick();
        }
        MouseDown(b, shift, LParamX(m.LParam), LParamY(m.LParam));
        DefaultHandler(m);
        return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        TMouseButton b = m.Msg == WM_LBUTTONUP ? mbLeft : m.Msg == WM_RBUTTONUP ? mbRight : mbMiddle;
        int x = LParamX(m.LParam), y = LParamY(m.LParam);
        if (b == mbLeft) {
            if (Dragging()) {
                EndDrag(true);
                SetMouseCapture(false);
                FControlState.Exclude(csClicked);
                return;
            }
            SetMouseCapture(false);
            FControlState.Exclude(csLButtonDown);
            bool clicked = FControlState.Contains(csClicked);
            FControlState.Exclude(csClicked);
            MouseUp(b, KeysToShift(m.WParam), x, y);
            if (clicked && GetClientRect().Contains({x, y})) Click();
        } else {
            MouseUp(b, KeysToShift(m.WParam), x, y);
            if (b == mbRight) {
                // The control asks for its context menu itself: the default handling would ask again.
                TPoint scr = ClientToScreen({x, y});
                Perform(WM_CONTEXTMENU, 0, PointToLParam(scr.X, scr.Y));
                return;
            }
        }
        DefaultHandler(m);
        return;
    }
    case WM_MOUSEMOVE:
        MouseMove(KeysToShift(m.WParam), LParamX(m.LParam), LParamY(m.LParam));
        DefaultHandler(m);
        return;
    case WM_CONTEXTMENU: {
        TPoint p{LParamX(m.LParam), LParamY(m.LParam)};
        // From the keyboard (-1): the menu opens at the control's top-left corner.
        if (m.LParam == -1) p = ClientToScreen({0, 0});
        bool handled = false;
        DoContextPopup(ScreenToClient(p), handled);
        m.Result = handled || FPopupMenu ? 1 : 0;
        if (!handled && FPopupMenu) PopupMenuAt(FPopupMenu, this, p);
        if (!handled && !FPopupMenu && FParent) m.Result = FParent->Perform(WM_CONTEXTMENU, 0, m.LParam);
        return;
    }
    case WM_CANCELMODE:
    case CM_CANCELMODE:
        if (GetMouseCapture()) SetMouseCapture(false);
        FControlState.Exclude(csClicked);
        FControlState.Exclude(csLButtonDown);
        if (Dragging()) EndDrag(false);
        return;
    case CM_MOUSEENTER:
        FMouseInControl = true;
        DoMouseEnter();
        return;
    case CM_MOUSELEAVE:
        FMouseInControl = false;
        DoMouseLeave();
        return;
    case CM_HITTEST: m.Result = HTCLIENT; return;
    case CM_DRAG: ControlDragMessage(this, m); return;
    case CM_PARENTFONTCHANGED:
        if (FParentFont && FParent) {
            FFontChanging = true;
            FFont->Assign(FParent->GetFont());
            FFontChanging = false;
            Perform(CM_FONTCHANGED);
        }
        return;
    case CM_PARENTCOLORCHANGED:
        if (FParentColor && FParent) {
            FColor = FParent->GetColor();
            Perform(CM_COLORCHANGED);
        }
        return;
    case CM_PARENTSHOWHINTCHANGED:
        if (FParentShowHint && FParent) FShowHint = FParent->GetShowHint();
        return;
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED: Invalidate(); return;
    case CM_VISIBLECHANGED:
        if (FParent) InvalidateControl(true, FVisible && FControlStyle.Contains(csOpaque));
        return;
    case WM_PAINT:
    case WM_ERASEBKGND: return;
    default: DefaultHandler(m); return;
    }
}

void ControlDefaultHandler(TControl* c, TMessage& m) {
    (void)c;
    (void)m;
}

void TControl::FontChanged(TObject*) {
    if (FFontChanging) return;
    FParentFont = false;
    Perform(CM_FONTCHANGED);
}

void TControl::OnFontChange(TObject* sender) {
    FontChanged(sender);
}

void TControl::SetFont(TFont* v) {
    FFont->Assign(v);
}

void ControlFontCreate(TControl* c) {
    c->FFont = std::make_unique<TFont>();
    c->FFont->SetOnChange(TNotifyEvent(c, &TControl::OnFontChange));
}

void TControl::ScaleFont(int m, int d) {
    if (FParentFont) return;
    FFontChanging = true;
    FFont->SetHeight(
        static_cast<int>((static_cast<int64_t>(FFont->GetHeight()) * m + (m > 0 ? d / 2 : -d / 2)) / d));
    FFontChanging = false;
}

void TControl::InvalidateControl(bool isVisible, bool isOpaque) {
    if (!FParent || !FParent->HandleAllocated()) return;
    if (!isVisible && !FVisible) return;
    TRect r = BoundsRect();
    InvalidateRect(FParent->Handle(), &r, !isOpaque);
}

void TControl::Invalidate() {
    InvalidateControl(FVisible, FControlStyle.Contains(csOpaque));
}

void TControl::Update() {
    if (FParent) FParent->Update();
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

TPoint CursorPosition() {
    TPoint p;
    GetCursorPos(&p);
    return p;
}

// ---- TWinControl: handles ---------------------------------------------------------------------------------

TWinControl* TWinControl::FindControl(HWND wnd) {
    if (!wnd) return nullptr;
    auto& map = HandleMap();
    auto it = map.find(wnd);
    return it == map.end() ? nullptr : it->second;
}

TControl* TWinControl::FindDragTarget(TPoint screenPos, bool allowDisabled) {
    HWND wnd = WindowFromPoint(screenPos);
    TWinControl* w = FindControl(wnd);
    while (!w && wnd) {
        wnd = ::qel::GetParent(wnd);
        w = FindControl(wnd);
    }
    if (!w) return nullptr;
    TControl* c = w->ControlAtPos(w->ScreenToClient(screenPos), allowDisabled);
    return c ? c : w;
}

void TWinControl::AttachCreatingHandle(HWND wnd) {
    FHandle = wnd;
    GCreationControl = nullptr;
}

HWND TWinControl::GetHandle() {
    HandleNeeded();
    return FHandle;
}

void TWinControl::HandleNeeded() {
    if (FHandle) return;
    if (FParent) FParent->HandleNeeded();
    CreateHandle();
}

void TWinControl::CreateParams(TCreateParams& params) {
    params = TCreateParams{};
    params.Caption = GetTextValue();
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (FControlStyle.Contains(csAcceptsControls)) params.Style |= WS_CLIPCHILDREN;
    if (!FEnabled) params.Style |= WS_DISABLED;
    if (FTabStop) params.Style |= WS_TABSTOP;
    params.X = FLeft;
    params.Y = FTop;
    params.Width = FWidth;
    params.Height = FHeight;
    if (FParent)
        params.WndParent = FParent->FHandle;
    else
        params.WndParent = FParentWindow;
    params.WindowClassStyle = CS_DBLCLKS;
    params.WinClassName = ControlClassName;
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
    EnsureWindowClass();
    GCreationControl = this;
    HWND wnd = CreateWindowEx(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(),
                              params.Style, params.X, params.Y, params.Width, params.Height, params.WndParent,
                              nullptr, nullptr, nullptr);
    GCreationControl = nullptr;
    if (!wnd) throw EOutOfResources("Error creating window for " + ClassName());
    if (!FHandle) {
        FHandle = wnd;
        HandleMap()[wnd] = this;
    }
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    if ((params.Style & WS_CHILD) && !params.WndParent) {
        if (FParent)
            params.WndParent = FParent->Handle();
        else
            throw EInvalidOperation("Control '" + GetName() + "' has no parent window");
    }
    if (FParent && FVisible) params.Style |= WS_VISIBLE;
    CreateWindowHandle(params);
    LearnInsets();
}

void TWinControl::CreateHandle() {
    if (FHandle) return;
    FControlState.Include(csCreating);
    try {
        CreateWnd();
    } catch (...) {
        FControlState.Exclude(csCreating);
        throw;
    }
    FControlState.Exclude(csCreating);
    // Visible children come up with their parent, in z-order; hidden ones get their window when
    // they are first shown or asked for their handle (a page frame's hidden pages stay windowless).
    for (TControl* c : std::vector<TControl*>(FControls))
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->GetVisible()) w->CreateHandle();
}

void TWinControl::DestroyWindowHandle() {
    HWND wnd = FHandle;
    HandleMap().erase(wnd);
    FHandle = nullptr;
    if (IsWindow(wnd)) DestroyWindow(wnd);
}

void TWinControl::DestroyWnd() {
    FSavedText = GetTextValue();
    DestroyWindowHandle();
}

void TWinControl::DestroyHandle() {
    if (!FHandle) return;
    FControlState.Include(csDestroyingHandle);
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    DestroyWnd();
    FControlState.Exclude(csDestroyingHandle);
}

void TWinControl::DestroyHandleTree() {
    if (GCaptureControl && ContainsControl(GCaptureControl)) SetCaptureControl(nullptr);
    DestroyHandle();
}

void TWinControl::RecreateWnd() {
    if (!FHandle) return;
    DestroyHandle();
    UpdateControlState();
}

void TWinControl::SetParentWindow(HWND v) {
    if (FParent || v == FParentWindow) return;
    if (FHandle) DestroyHandle();
    FParentWindow = v;
    UpdateControlState();
}

bool TWinControl::Showing() const {
    if (!FVisible) return false;
    if (FParent) return FParent->Showing();
    return FParentWindow != nullptr || TopLevelShowing();
}

void TWinControl::UpdateControlState() {
    UpdateShowing();
}

void TWinControl::UpdateShowing() {
    bool s = Showing();
    if (s) HandleNeeded();
    if (FHandle && FParent) ShowWindow(FHandle, FVisible ? SW_SHOWNA : SW_HIDE);
    if (s != FShowing) {
        FShowing = s;
        Perform(CM_SHOWINGCHANGED);
        for (TControl* c : std::vector<TControl*>(FControls))
            if (auto* w = dynamic_cast<TWinControl*>(c)) w->UpdateShowing();
    }
}

void TWinControl::BoundsChanged(bool sized) {
    if (!FHandle) return;
    FSettingBounds = true;
    SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    FSettingBounds = false;
    (void)sized;
}

void TWinControl::BeforeParentRemoval(TWinControl* parent) {
    if (GCaptureControl && ContainsControl(GCaptureControl)) SetCaptureControl(nullptr);
    if (FHandle) DestroyHandle();
}

void TWinControl::UpdateWindowZOrder(bool topMost) {
    if (!FHandle) return;
    SetWindowPos(FHandle, topMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

namespace {
// Frame insets the window manager gave windows of a style, learnt from real windows; used to size
// controls whose window does not exist yet.
std::unordered_map<uint64_t, TRect>& LearntInsets() {
    static std::unordered_map<uint64_t, TRect> map;
    return map;
}
uint64_t StyleKey(DWORD style, DWORD exStyle) {
    const DWORD frameBits = WS_CAPTION | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | WS_CHILD | WS_POPUP;
    const DWORD exBits =
        WS_EX_CLIENTEDGE | WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME | WS_EX_STATICEDGE | WS_EX_WINDOWEDGE;
    return (static_cast<uint64_t>(style & frameBits) << 32) | (exStyle & exBits);
}
// The platform's frame rules: border, dialog or sizing frame, caption, client edge.
TRect EstimateInsets(DWORD style, DWORD exStyle) {
    int x = 0, y = 0, top = 0;
    bool caption = (style & WS_CAPTION) == WS_CAPTION;
    if (style & WS_THICKFRAME) {
        x = GetSystemMetrics(SM_CXSIZEFRAME);
        y = GetSystemMetrics(SM_CYSIZEFRAME);
    } else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) {
        x = GetSystemMetrics(SM_CXFIXEDFRAME);
        y = GetSystemMetrics(SM_CYFIXEDFRAME);
    } else if (style & WS_BORDER) {
        x = GetSystemMetrics(SM_CXBORDER);
        y = GetSystemMetrics(SM_CYBORDER);
    }
    if (caption)
        top =
            (exStyle & WS_EX_TOOLWINDOW) ? GetSystemMetrics(SM_CYSMCAPTION) : GetSystemMetrics(SM_CYCAPTION);
    if (exStyle & WS_EX_CLIENTEDGE) {
        x += GetSystemMetrics(SM_CXEDGE);
        y += GetSystemMetrics(SM_CYEDGE);
    }
    return {x, y + top, x, y};
}
} // namespace

TRect TWinControl::NonClientInsets() const {
    TCreateParams params;
    const_cast<TWinControl*>(this)->CreateParams(params);
    auto it = LearntInsets().find(StyleKey(params.Style, params.ExStyle));
    TRect in = it != LearntInsets().end() ? it->second : EstimateInsets(params.Style, params.ExStyle);
    if (FScrollV.Visible) in.Right += GetSystemMetrics(SM_CXVSCROLL);
    if (FScrollH.Visible) in.Bottom += GetSystemMetrics(SM_CYHSCROLL);
    in.Top += NonClientExtraTop();
    return in;
}

void TWinControl::LearnInsets() {
    if (!FHandle || FScrollH.Visible || FScrollV.Visible) return;
    TRect wr, cr;
    ::qel::GetWindowRect(FHandle, &wr);
    ::qel::GetClientRect(FHandle, &cr);
    TPoint o{0, 0};
    ::qel::ClientToScreen(FHandle, &o);
    TRect in{o.X - wr.Left, o.Y - wr.Top - NonClientExtraTop(), wr.Right - (o.X + cr.Width()),
             wr.Bottom - (o.Y + cr.Height())};
    if (in.Left < 0 || in.Top < 0 || in.Right < 0 || in.Bottom < 0) return;
    DWORD style = static_cast<DWORD>(GetWindowLongPtr(FHandle, GWL_STYLE));
    DWORD ex = static_cast<DWORD>(GetWindowLongPtr(FHandle, GWL_EXSTYLE));
    LearntInsets()[StyleKey(style, ex)] = in;
}

TRect TWinControl::GetClientRect() const {
    if (FHandle) {
        TRect r;
        ::qel::GetClientRect(FHandle, &r);
        return r;
    }
    TRect in = NonClientInsets();
    return {0, 0, std::max(FWidth - in.Left - in.Right, 0), std::max(FHeight - in.Top - in.Bottom, 0)};
}

TPoint TWinControl::ClientOrigin() const {
    if (FHandle) {
        TPoint p{0, 0};
        ::qel::ClientToScreen(FHandle, &p);
        return p;
    }
    TRect in = NonClientInsets();
    TPoint o = FParent ? FParent->ClientOrigin() : TPoint{0, 0};
    return {o.X + FLeft + in.Left, o.Y + FTop + in.Top};
}

void TWinControl::Invalidate() {
    if (FHandle) InvalidateRect(FHandle, nullptr, !FControlStyle.Contains(csOpaque));
}

void TWinControl::Update() {
    if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::Repaint() {
    Invalidate();
    Update();
}

// ---- TWinControl: painting
// ----------------------------------------------------------------------------------

void TWinControl::PaintWindow(HDC dc) {
    TMessage m{WM_PAINT, reinterpret_cast<uintptr_t>(dc), 0, 0};
    DefaultHandler(m);
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
    size_t start = 0;
    if (first) {
        int i = IndexOfControl(first);
        if (i >= 0) start = static_cast<size_t>(i);
    }
    for (size_t i = start; i < FControls.size(); ++i) {
        TControl* c = FControls[i];
        if (dynamic_cast<TWinControl*>(c)) continue;
        if (!(c->FVisible || (c->IsDesigning() && !c->FControlStyle.Contains(csNoDesignVisible)))) continue;
        TRect b = c->BoundsRect();
        if (!RectVisible(dc, &b)) continue;
        int saved = SaveDC(dc);
        OffsetViewportOrgEx(dc, c->FLeft, c->FTop, nullptr);
        IntersectClipRect(dc, 0, 0, c->FWidth, c->FHeight);
        c->Perform(WM_PAINT, reinterpret_cast<uintptr_t>(dc), 0);
        RestoreDC(dc, saved);
    }
}

void TWinControl::PaintHandler(TMessage& m) {
    HDC dc = reinterpret_cast<HDC>(m.WParam);
    PAINTSTRUCT ps{};
    bool own = dc == nullptr;
    if (own) dc = BeginPaint(FHandle, &ps);
    int saved = SaveDC(dc);
    PaintWindow(dc);
    RestoreDC(dc, saved);
    PaintControls(dc, nullptr);
    if (own) EndPaint(FHandle, &ps);
}

void TWinControl::PaintTo(HDC dc, int x, int y) {
    int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, x, y, nullptr);
    TRect cr{0, 0, FWidth, FHeight};
    IntersectClipRect(dc, 0, 0, FWidth, FHeight);
    if (FHandle) {
        SendMessage(FHandle, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_NONCLIENT);
    }
    TRect in = NonClientInsets();
    OffsetViewportOrgEx(dc, in.Left, in.Top, nullptr);
    IntersectClipRect(dc, 0, 0, std::max(FWidth - in.Left - in.Right, 0),
                      std::max(FHeight - in.Top - in.Bottom, 0));
    Perform(WM_ERASEBKGND, reinterpret_cast<uintptr_t>(dc), 0);
    Perform(WM_PAINT, reinterpret_cast<uintptr_t>(dc), 0);
    for (TControl* c : FControls) {
        auto* w = dynamic_cast<TWinControl*>(c);
        if (w && w->FVisible) w->PaintTo(dc, w->FLeft, w->FTop);
    }
    (void)cr;
    RestoreDC(dc, saved);
}

// ---- TWinControl: mouse routing to graphic children
// ---------------------------------------------------------

bool TWinControl::IsControlMouseMsg(TMessage& m) {
    TControl* target = nullptr;
    TControl* cap = GetCaptureControl();
    if (cap && cap != this && cap->FParent == this && !dynamic_cast<TWinControl*>(cap))
        target = cap;
    else if (!cap || cap == this) {
        TPoint p{LParamX(m.LParam), LParamY(m.LParam)};
        TControl* c = ControlAtPos(p, false);
        if (c && !dynamic_cast<TWinControl*>(c)) target = c;
    }
    if (!target) return false;
    TPoint p{LParamX(m.LParam) - target->FLeft, LParamY(m.LParam) - target->FTop};
    m.Result = target->Perform(m.Msg, m.WParam, PointToLParam(p.X, p.Y));
    return true;
}

// ---- TWinControl: message handlers
// -------------------------------------------------------------------------

void TWinControl::DefaultHandler(TMessage& m) {
    if (FHandle && m.Msg < CM_BASE) {
        m.Result = static_cast<intptr_t>(
            DefWindowProc(FHandle, m.Msg, static_cast<WPARAM>(m.WParam), static_cast<LPARAM>(m.LParam)));
        return;
    }
    TControl::DefaultHandler(m);
}

namespace {
bool IsDialogKey(TWinControl* c, uint16_t key) {
    // Each kind of key has its own "wanted" flag.
    intptr_t code = c->Perform(WM_GETDLGCODE);
    switch (key) {
    case VK_TAB: return !(code & DLGC_WANTTAB);
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: return !(code & DLGC_WANTARROWS);
    case VK_RETURN:
    case VK_EXECUTE: return !(code & DLGC_WANTALLKEYS);
    case VK_ESCAPE:
    case VK_CANCEL: return true;
    default: return false;
    }
}
} // namespace

bool TWinControl::DoKeyDown(TMessage& m) {
    TCustomForm* form = GetParentForm(this);
    uint16_t key = static_cast<uint16_t>(m.WParam);
    TShiftState shift = KeyDataToShiftState(m.LParam);
    if (form && form != this && form->GetKeyPreview()) {
        form->DoFormKeyDown(key, shift);
        if (key == 0) return true;
    }
    KeyDown(key, shift);
    m.WParam = key;
    return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& m) {
    TCustomForm* form = GetParentForm(this);
    uintptr_t cp = m.WParam;
    char ch = cp < 128 ? static_cast<char>(cp) : '\x7F';
    char orig = ch;
    if (form && form != this && form->GetKeyPreview()) {
        form->DoFormKeyPress(ch);
        if (ch == 0) return true;
    }
    KeyPress(ch);
    if (ch == 0) return true;
    if (ch != orig) m.WParam = static_cast<unsigned char>(ch);
    return false;
}

void TWinControl::Dispatch(TMessage& m) {
    if (IsMouseMessage(m.Msg) && IsControlMouseMsg(m)) return;
    switch (m.Msg) {
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
    case WM_NCHITTEST:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (FHandle && HandleScrollBarMessage(m)) return;
        DefaultHandler(m);
        return;
    case WM_PAINT: PaintHandler(m); return;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        HBRUSH brush = CreateSolidBrush(ColorToColorRef(FColor));
        TRect r = GetClientRect();
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        m.Result = 1;
        return;
    }
    case WM_SETFOCUS: {
        if (TCustomForm* f = GetParentForm(this)) f->SetFocusedControl(this);
        DefaultHandler(m);
        return;
    }
    case WM_KILLFOCUS: DefaultHandler(m); return;
    case WM_WINDOWPOSCHANGED:
    case WM_SIZE:
    case WM_MOVE:
        if (!FSettingBounds && FHandle) UpdateBoundsFromWindow();
        DefaultHandler(m);
        return;
    case WM_NCDESTROY:
        DefaultHandler(m);
        if (FHandle) {
            HandleMap().erase(FHandle);
            FHandle = nullptr;
        }
        return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN: {
        m.Result = 1;
        uint16_t key = static_cast<uint16_t>(m.WParam);
        if (Perform(CM_CHILDKEY, key, reinterpret_cast<intptr_t>(this)) != 0) return;
        // Shortcuts of the pop-up menus of this control and its parents, then of the form's main menu.
        if (IsMenuKey(this, m.Msg == CN_KEYDOWN ? WM_KEYDOWN : WM_SYSKEYDOWN, key, m.LParam)) return;
        if (IsDialogKey(this, key)) {
            TCustomForm* f = GetParentForm(this);
            if (f && f->Perform(CM_DIALOGKEY, key, m.LParam) != 0) return;
        }
        m.Result = 0;
        return;
    }
    case CN_CHAR:
    case CN_SYSCHAR: {
        m.Result = 0;
        bool alt = m.Msg == CN_SYSCHAR;
        if (!alt && (Perform(WM_GETDLGCODE) & (DLGC_WANTCHARS | DLGC_WANTALLKEYS))) return;
        if (TCustomForm* f = GetParentForm(this))
            if (f->Perform(CM_DIALOGCHAR, m.WParam, m.LParam | (alt ? AltKeyData : 0)) != 0) m.Result = 1;
        return;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (!DoKeyDown(m)) {
            // Shift+F10 asks for the context menu from the keyboard.
            if (m.WParam == VK_F10 && GetKeyState(VK_SHIFT) < 0) {
                Perform(WM_CONTEXTMENU, reinterpret_cast<uintptr_t>(FHandle), -1);
                return;
            }
            DefaultHandler(m);
        }
        return;
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        uint16_t key = static_cast<uint16_t>(m.WParam);
        KeyUp(key, KeyDataToShiftState(m.LParam));
        // The context-menu key shows the pop-up menu when it is released.
        if (key == VK_APPS) {
            Perform(WM_CONTEXTMENU, reinterpret_cast<uintptr_t>(FHandle), -1);
            return;
        }
        if (key) DefaultHandler(m);
        return;
    }
    case WM_CHAR:
        if (!DoKeyPress(m)) DefaultHandler(m);
        return;
    case WM_SYSCHAR: DefaultHandler(m); return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
        // Offered to every child until one takes it.
        Broadcast(m);
        return;
    case CM_CHILDKEY:
        if (FParent) m.Result = FParent->Perform(CM_CHILDKEY, m.WParam, m.LParam);
        return;
    case CM_ENTER: DoEnter(); return;
    case CM_EXIT: DoExit(); return;
    case CM_SHOWINGCHANGED:
        if (FHandle && !FParent && !FParentWindow) ShowWindow(FHandle, FShowing ? SW_SHOW : SW_HIDE);
        return;
    case CM_VISIBLECHANGED: UpdateControlState(); return;
    case CM_ENABLEDCHANGED:
        if (FHandle) EnableWindow(FHandle, FEnabled);
        if (!FEnabled)
            if (TCustomForm* f = GetParentForm(this);
                f && f->FocusedControl() && ContainsControl(f->FocusedControl()))
                f->MoveFocusFrom(this);
        NotifyControls(CM_ENABLEDCHANGED);
        Invalidate();
        return;
    case CM_TEXTCHANGED:
        if (FHandle) SetWindowText(FHandle, GetTextValue().c_str());
        Invalidate();
        return;
    case CM_FONTCHANGED:
        Invalidate();
        NotifyControls(CM_PARENTFONTCHANGED);
        return;
    case CM_COLORCHANGED:
        Invalidate();
        NotifyControls(CM_PARENTCOLORCHANGED);
        return;
    case CM_SHOWHINTCHANGED:
    case CM_PARENTSHOWHINTCHANGED:
        TControl::Dispatch(m);
        NotifyControls(CM_PARENTSHOWHINTCHANGED);
        return;
    case CM_CTL3DCHANGED:
        Invalidate();
        NotifyControls(CM_PARENTCTL3DCHANGED);
        return;
    case CM_PARENTCTL3DCHANGED:
        if (FParentCtl3D && FParent) {
            FCtl3D = FParent->GetCtl3D();
            FParentCtl3D = true;
            Perform(CM_CTL3DCHANGED);
        }
        return;
    case WM_CAPTURECHANGED:
        if (GCaptureControl && (GCaptureControl == this || GCaptureControl->FParent == this) &&
            reinterpret_cast<HWND>(m.LParam) != FHandle) {
            TControl* c = GCaptureControl;
            GCaptureControl = nullptr;
            if (c != this) c->Perform(CM_CANCELMODE);
        }
        DefaultHandler(m);
        return;
    case WM_GETDLGCODE: m.Result = 0; return;
    default: TControl::Dispatch(m); return;
    }
}

void TWinControl::UpdateBoundsFromWindow() {
    TRect w;
    GetWindowRect(FHandle, &w);
    HWND parentWnd = ::qel::GetParent(FHandle);
    if (parentWnd && (GetWindowLong(FHandle, GWL_STYLE) & WS_CHILD)) {
        TPoint tl = w.TopLeft(), br = w.BottomRight();
        ::qel::ScreenToClient(parentWnd, &tl);
        ::qel::ScreenToClient(parentWnd, &br);
        w = {tl, br};
    }
    if (w == BoundsRect()) return;
    bool sized = w.Width() != FWidth || w.Height() != FHeight;
    UpdateBoundsRect(w);
    if (sized) Realign();
    if (!FAnchorMove) UpdateAnchorRules();
}

bool TWinControl::CanFocus() const {
    TCustomForm* form = GetParentForm(const_cast<TWinControl*>(this));
    if (!form) return false;
    // The chain up to the form must be visible and enabled (the form itself may still be hidden).
    for (const TControl* c = this; c; c = c->FParent) {
        if (c == form) return true;
        if (!c->FVisible || !c->FEnabled) return false;
    }
    return false;
}

bool TWinControl::Focused() const {
    return FHandle && GetFocus() == FHandle;
}

void TWinControl::SetFocus() {
    if (TCustomForm* form = GetParentForm(this)) {
        form->FocusControl(this);
        return;
    }
    if (FParentWindow) {
        ::qel::SetFocus(GetHandle());
        return;
    }
    throw EInvalidOperation("Control '" + GetName() + "' has no parent window");
}

void TWinControl::SelectFirst() {
    TCustomForm* form = GetParentForm(this);
    if (!form) return;
    TWinControl* c = FindNextControl(nullptr, true, true, false);
    if (!c) c = FindNextControl(nullptr, true, false, false);
    if (c) form->SetActiveControl(c);
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
    TWinControl* c = FindNextControl(current, goForward, checkTabStop, !checkTabStop);
    if (c) c->SetFocus();
}

void TWinControl::DoEnter() {
    FOnEnter(this);
}
void TWinControl::DoExit() {
    FOnExit(this);
}
void TWinControl::KeyDown(uint16_t& key, TShiftState shift) {
    FOnKeyDown(this, key, shift);
}
void TWinControl::KeyUp(uint16_t& key, TShiftState shift) {
    FOnKeyUp(this, key, shift);
}
void TWinControl::KeyPress(char& key) {
    FOnKeyPress(this, key);
}

void TWinControl::SetParentInternal(TWinControl* parent) {
    TControl::SetParentInternal(parent);
}

void TWinControl::ParentChanged() {
    if (FParent) {
        if (FParent->HandleAllocated() && Showing())
            UpdateControlState();
        else if (FParent->HandleAllocated() && FParent->Showing())
            UpdateControlState();
    } else if (FShowing) {
        FShowing = false;
    }
}

// ---- TGraphicControl and TCustomControl -------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TControlCanvas)
QEL_IMPLEMENT_CLASS(TGraphicControl)
QEL_IMPLEMENT_CLASS(TCustomControl)

TControlCanvas::~TControlCanvas() {
    FreeHandle();
}

void TControlCanvas::SetControl(TControl* control) {
    if (control == FControl) return;
    FreeHandle();
    FControl = control;
}

void TControlCanvas::FreeHandle() {
    if (FDC) {
        SetHandle(nullptr);
        ReleaseDC(FWindow, FDC);
        FDC = nullptr;
        FWindow = nullptr;
    }
}

void TControlCanvas::CreateHandle() {
    if (!FControl) return;
    TWinControl* host = dynamic_cast<TWinControl*>(FControl);
    TPoint origin{0, 0};
    if (!host) {
        host = FControl->GetParent();
        if (!host) return;
        origin = {FControl->GetLeft(), FControl->GetTop()};
    }
    FWindow = host->Handle();
    FDC = GetDC(FWindow);
    if (!FDC) return;
    if (host != FControl) {
        SetViewportOrgEx(FDC, origin.X, origin.Y, nullptr);
        IntersectClipRect(FDC, 0, 0, FControl->GetWidth(), FControl->GetHeight());
    }
    SetHandle(FDC);
}

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), FCanvas(std::make_unique<TControlCanvas>()) {
    FCanvas->SetControl(this);
}

TGraphicControl::~TGraphicControl() {
    FCanvas->SetControl(nullptr);
}

void TGraphicControl::Dispatch(TMessage& m) {
    if (m.Msg == WM_PAINT && m.WParam) {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        FCanvas->Lock();
        try {
            FCanvas->FreeHandle();
            FCanvas->SetHandle(dc);
            FCanvas->GetFont()->Assign(FFont.get());
            Paint();
        } catch (...) {
            FCanvas->SetHandle(nullptr);
            FCanvas->Unlock();
            throw;
        }
        FCanvas->SetHandle(nullptr);
        FCanvas->Unlock();
        return;
    }
    TControl::Dispatch(m);
}

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), FCanvas(std::make_unique<TControlCanvas>()) {
    FCanvas->SetControl(this);
}

TCustomControl::~TCustomControl() {
    FCanvas->SetControl(nullptr);
}

void TCustomControl::PaintWindow(HDC dc) {
    // The canvas stays locked for the whole of Paint, so a worker thread that try-locks it between
    // steps never draws into a half-painted window.
    FCanvas->Lock();
    try {
        FCanvas->FreeHandle();
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

void TCustomControl::DestroyWnd() {
    FCanvas->FreeHandle();
    TWinControl::DestroyWnd();
}

} // namespace qel
