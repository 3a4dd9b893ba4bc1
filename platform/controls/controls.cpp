#include "platform/controls/controls.h"

#include <algorithm>

#include "platform/controls/menus.h"
#include "platform/core/strutils.h"

namespace qel {

// ---- TSizeConstraints -------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TSizeConstraints, [](auto& c) {
    c.Property("MaxHeight", &TSizeConstraints::GetMaxHeight, &TSizeConstraints::SetMaxHeight).Default(0);
    c.Property("MaxWidth", &TSizeConstraints::GetMaxWidth, &TSizeConstraints::SetMaxWidth).Default(0);
    c.Property("MinHeight", &TSizeConstraints::GetMinHeight, &TSizeConstraints::SetMinHeight).Default(0);
    c.Property("MinWidth", &TSizeConstraints::GetMinWidth, &TSizeConstraints::SetMinWidth).Default(0);
})

// A maximum below the minimum pulls the minimum down with it (and the other way round), so the two
// limits never contradict each other.
void TSizeConstraints::SetMaxHeight(int v) {
    v = std::max(v, 0);
    if (v == FMaxHeight) return;
    FMaxHeight = v;
    if (v > 0 && v < FMinHeight) FMinHeight = v;
    Change();
}
void TSizeConstraints::SetMaxWidth(int v) {
    v = std::max(v, 0);
    if (v == FMaxWidth) return;
    FMaxWidth = v;
    if (v > 0 && v < FMinWidth) FMinWidth = v;
    Change();
}
void TSizeConstraints::SetMinHeight(int v) {
    v = std::max(v, 0);
    if (v == FMinHeight) return;
    FMinHeight = v;
    if (FMaxHeight > 0 && v > FMaxHeight) FMaxHeight = v;
    Change();
}
void TSizeConstraints::SetMinWidth(int v) {
    v = std::max(v, 0);
    if (v == FMinWidth) return;
    FMinWidth = v;
    if (FMaxWidth > 0 && v > FMaxWidth) FMaxWidth = v;
    Change();
}

void TSizeConstraints::Assign(TPersistent* source) {
    if (auto* s = dynamic_cast<TSizeConstraints*>(source)) {
        FMinHeight = s->FMinHeight;
        FMaxHeight = s->FMaxHeight;
        FMinWidth = s->FMinWidth;
        FMaxWidth = s->FMaxWidth;
        Change();
        return;
    }
    TPersistent::Assign(source);
}

TPersistent* TSizeConstraints::GetOwner() const {
    return FControl;
}

void TSizeConstraints::Constrain(int& width, int& height) const {
    if (FMaxWidth > 0 && width > FMaxWidth) width = FMaxWidth;
    if (FMinWidth > 0 && width < FMinWidth) width = FMinWidth;
    if (FMaxHeight > 0 && height > FMaxHeight) height = FMaxHeight;
    if (FMinHeight > 0 && height < FMinHeight) height = FMinHeight;
}

void TSizeConstraints::Change() {
    OnChange(this);
}

// The drag manager forgets a control that goes away (dragdock.cpp).
void DragForgetControl(TControl* control);

// ---- TControl -----------------------------------------------------------------------------------------

TControl::TControl(TComponent* owner)
    : TComponent(owner), FConstraints(std::make_unique<TSizeConstraints>(this)) {
    FWindowProc = TWindowProc(this, &TControl::WndProc);
    FControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    FConstraints->OnChange = TNotifyEvent(this, &TControl::OnConstraintsChange);
    ControlFontCreate(this);
}

TControl::~TControl() {
    Destroying();
    DragForgetControl(this);
    ControlDetachGlobal(this);
    if (FParent) FParent->RemoveControl(this);
}

void TControl::SetWindowProc(TWindowProc proc) {
    FWindowProc = proc ? proc : TWindowProc(this, &TControl::WndProc);
}

namespace {
thread_local int GHandlerDepth = 0;
}

int MessageHandlerDepth() {
    return GHandlerDepth;
}
TMessageHandlerScope::TMessageHandlerScope() {
    ++GHandlerDepth;
}
TMessageHandlerScope::~TMessageHandlerScope() {
    --GHandlerDepth;
}

intptr_t TControl::Perform(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    TMessageHandlerScope scope;
    TMessage m{msg, wParam, lParam, 0};
    FWindowProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& message) {
    if (IsMouseMessage(message.Msg)) HandleMouseMessage(message);
    Dispatch(message);
}

void TControl::DefaultHandler(TMessage& message) {
    ControlDefaultHandler(this, message);
}

TComponent* TControl::GetParentComponent() const {
    return FParent;
}

void TControl::SetParentComponent(TComponent* value) {
    if (auto* w = dynamic_cast<TWinControl*>(value)) SetParent(w);
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == FParent) return;
    if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
    for (TWinControl* p = parent; p; p = p->GetParent())
        if (p == this) throw EInvalidOperation("A control cannot have one of its children as its parent");
    if (FParent) FParent->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

void TControl::SetParentInternal(TWinControl* parent) {
    FParent = parent;
}

void TControl::DoSetBounds(int left, int top, int width, int height) {
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
}

void TControl::UpdateBoundsRect(const TRect& r) {
    bool sized = r.Width() != FWidth || r.Height() != FHeight;
    DoSetBounds(r.Left, r.Top, r.Width(), r.Height());
    if (sized) Resize();
}

bool TControl::CanResize(int& newWidth, int& newHeight) {
    bool result = true;
    FOnCanResize(this, newWidth, newHeight, result);
    return result;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    // Sizes are never negative: an alignment rectangle that has run out of room gives empty controls.
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (!IsLoading()) {
        if (FAutoSize) {
            int w = width, h = height;
            if (CanAutoSize(w, h)) {
                width = w;
                height = h;
            }
        }
        if (width != FWidth || height != FHeight) {
            int w = width, h = height;
            if (!CanResize(w, h)) {
                w = FWidth;
                h = FHeight;
            }
            width = w;
            height = h;
        }
        FConstraints->Constrain(width, height);
    }
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
    bool sized = width != FWidth || height != FHeight;
    if (FParent && Showing()) InvalidateControl(true, false);
    DoSetBounds(left, top, width, height);
    BoundsChanged(sized);
    if (FParent && Showing()) InvalidateControl(true, false);
    if (!FAnchorMove) UpdateAnchorRules();
    if (sized && !IsLoading()) Resize();
    if (!FAnchorMove) RequestAlign();
}

void TControl::SetBoundsKeepAnchors(int left, int top, int width, int height) {
    bool old = FAnchorMove;
    FAnchorMove = true;
    try {
        SetBounds(left, top, width, height);
    } catch (...) {
        FAnchorMove = old;
        throw;
    }
    FAnchorMove = old;
}

void TControl::SetClientWidth(int v) {
    SetClientSize(v, GetClientHeight());
}
void TControl::SetClientHeight(int v) {
    SetClientSize(GetClientWidth(), v);
}

void TControl::SetClientSize(int width, int height) {
    TRect c = GetClientRect();
    SetBounds(FLeft, FTop, FWidth - c.Width() + width, FHeight - c.Height() + height);
}

TPoint TControl::ClientOrigin() const {
    if (!FParent) return {FLeft, FTop};
    TPoint o = FParent->ClientOrigin();
    return {o.X + FLeft, o.Y + FTop};
}

TPoint TControl::ClientToScreen(TPoint p) const {
    TPoint o = ClientOrigin();
    return {p.X + o.X, p.Y + o.Y};
}

TPoint TControl::ScreenToClient(TPoint p) const {
    TPoint o = ClientOrigin();
    return {p.X - o.X, p.Y - o.Y};
}

TPoint TControl::ClientToParent(TPoint p, TWinControl* parent) const {
    if (!parent) parent = FParent;
    if (!parent) throw EInvalidOperation("Control '" + GetName() + "' has no parent window");
    TPoint s = ClientToScreen(p);
    return parent->ScreenToClient(s);
}

namespace {
TAnchors AnchorsForAlign(TAlign a) {
    switch (a) {
    case alTop: return {akLeft, akTop, akRight};
    case alBottom: return {akLeft, akRight, akBottom};
    case alLeft: return {akLeft, akTop, akBottom};
    case alRight: return {akRight, akTop, akBottom};
    case alClient: return {akLeft, akTop, akRight, akBottom};
    default: return {akLeft, akTop};
    }
}
} // namespace

void TControl::SetAlign(TAlign v) {
    if (v == FAlign) return;
    TAlign old = FAlign;
    FAlign = v;
    FAnchors = AnchorsForAlign(v);
    // Switching between a horizontal and a vertical edge keeps the control's thickness.
    bool oldVert = old == alLeft || old == alRight, oldHorz = old == alTop || old == alBottom;
    bool newVert = v == alLeft || v == alRight, newHorz = v == alTop || v == alBottom;
    if (!IsLoading() && ((oldVert && newHorz) || (oldHorz && newVert)))
        SetBounds(FLeft, FTop, FHeight, FWidth);
    if (v == alNone) UpdateAnchorRules();
    RequestAlign();
}

void TControl::SetAnchors(TAnchors v) {
    if (v == FAnchors) return;
    FAnchors = v;
    UpdateAnchorRules();
}

void TControl::SetAutoSize(bool v) {
    if (v == FAutoSize) return;
    FAutoSize = v;
    if (v) AdjustSize();
}

void TControl::AdjustSize() {
    if (IsLoading()) return;
    SetBounds(FLeft, FTop, FWidth, FHeight);
}

void TControl::OnConstraintsChange(TObject*) {
    if (IsLoading()) return;
    int w = FWidth, h = FHeight;
    FConstraints->Constrain(w, h);
    if (w != FWidth || h != FHeight) SetBounds(FLeft, FTop, w, h);
}

void TControl::UpdateAnchorRules() {
    if (FAnchorMove || !FParent) return;
    TRect pc = FParent->GetClientRect();
    FOriginalParentSize = {pc.Width(), pc.Height()};
    FAnchorRules.Left = FAnchors.Contains(akLeft) || !FAnchors.Contains(akRight) ? FLeft : FLeft;
    if (!FAnchors.Contains(akLeft) && !FAnchors.Contains(akRight)) FAnchorRules.Left = FLeft + FWidth / 2;
    FAnchorRules.Right = pc.Width() - (FLeft + FWidth);
    FAnchorRules.Top = FTop;
    if (!FAnchors.Contains(akTop) && !FAnchors.Contains(akBottom)) FAnchorRules.Top = FTop + FHeight / 2;
    FAnchorRules.Bottom = pc.Height() - (FTop + FHeight);
}

void TControl::RequestAlign() {
    if (FParent) FParent->AlignControl(this);
}

void TControl::SetVisible(bool v) {
    if (v == FVisible) return;
    VisibleChanging();
    FVisible = v;
    Perform(CM_VISIBLECHANGED, v ? 1 : 0);
    RequestAlign();
}

void TControl::Show() {
    if (FParent) FParent->ShowControl(this);
    SetVisible(true);
}

void TControl::Hide() {
    SetVisible(false);
}

bool TControl::Showing() const {
    return FVisible && FParent && FParent->Showing();
}

void TControl::SetEnabled(bool v) {
    if (v == FEnabled) return;
    FEnabled = v;
    Perform(CM_ENABLEDCHANGED);
}

bool TControl::IsEnabledChain() const {
    for (const TControl* c = this; c; c = c->FParent)
        if (!c->FEnabled) return false;
    return true;
}

void TControl::SetText(const std::string& v) {
    if (v == GetTextValue()) return;
    SetTextValue(v);
    Perform(CM_TEXTCHANGED);
}

void TControl::SetTextValue(const std::string& v) {
    FText = v;
}

void TControl::SetName(const std::string& name) {
    // A control whose caption still shows its name follows a rename (not while loading).
    bool follow = FControlStyle.Contains(csSetCaption) && !IsLoading() && GetName() == GetTextValue();
    TComponent::SetName(name);
    if (follow) SetText(name);
}

void TControl::SetColor(TColor v) {
    if (v == FColor && !FParentColor) return;
    FColor = v;
    FParentColor = false;
    Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool v) {
    if (v == FParentColor) return;
    FParentColor = v;
    if (v && FParent && !IsLoading()) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::SetParentFont(bool v) {
    if (v == FParentFont) return;
    FParentFont = v;
    if (v && FParent && !IsLoading()) Perform(CM_PARENTFONTCHANGED);
}

void TControl::SetShowHint(bool v) {
    if (v == FShowHint && !FParentShowHint) return;
    FShowHint = v;
    FParentShowHint = false;
    Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool v) {
    if (v == FParentShowHint) return;
    FParentShowHint = v;
    if (v && FParent && !IsLoading()) Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetCursor(TCursor v) {
    if (v == FCursor) return;
    FCursor = v;
    Perform(CM_CURSORCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* v) {
    if (v == FPopupMenu) return;
    if (FPopupMenu) RemoveFreeNotification(FPopupMenu);
    FPopupMenu = v;
    if (v) FreeNotification(v);
}

void TControl::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::SetZOrder(bool topMost) {
    if (!FParent) return;
    FParent->MoveControlZ(this, topMost);
}

void TControl::BringToFront() {
    SetZOrder(true);
}
void TControl::SendToBack() {
    SetZOrder(false);
}

void TControl::Click() {
    FOnClick(this);
}
void TControl::DblClick() {
    FOnDblClick(this);
}
void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    FOnMouseDown(this, button, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    FOnMouseUp(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) {
    FOnMouseMove(this, shift, x, y);
}
void TControl::DoMouseEnter() {
    FOnMouseEnter(this);
}
void TControl::DoMouseLeave() {
    FOnMouseLeave(this);
}
void TControl::Resize() {
    FOnResize(this);
}
void TControl::DoContextPopup(TPoint mousePos, bool& handled) {
    FOnContextPopup(this, mousePos, handled);
}

void TControl::Loaded() {
    TComponent::Loaded();
    UpdateAnchorRules();
    if (FParent) {
        if (FParentColor) Perform(CM_PARENTCOLORCHANGED);
        if (FParentFont) Perform(CM_PARENTFONTCHANGED);
        if (FParentShowHint) Perform(CM_PARENTSHOWHINTCHANGED);
    }
    if (FAutoSize) AdjustSize();
    RequestAlign();
}

void TControl::ChangeScale(int m, int d) {
    if (m == d || d == 0) return;
    auto scale = [&](int v) { return static_cast<int>((static_cast<int64_t>(v) * m + d / 2) / d); };
    SetBounds(scale(FLeft), scale(FTop), scale(FLeft + FWidth) - scale(FLeft),
              scale(FTop + FHeight) - scale(FTop));
    ScaleFont(m, d);
}

} // namespace qel

// ---- TWinControl: children, alignment, tab order ---------------------------------------------------------

namespace qel {

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    Destroying();
    // Controls docked here (and not freed with it) no longer have a host.
    for (TControl* c : FDockClients) c->SetHostDockSiteValue(nullptr);
    FDockClients.clear();
    DestroyHandleTree();
    // A parent frees its child controls (whoever owns them); each removes itself from this list.
    while (!FControls.empty()) {
        TControl* c = FControls.back();
        RemoveControl(c);
        delete c;
    }
}

TControl* TWinControl::Controls(int index) const {
    if (index < 0 || index >= ControlCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FControls[static_cast<size_t>(index)];
}

int TWinControl::IndexOfControl(const TControl* c) const {
    auto it = std::find(FControls.begin(), FControls.end(), c);
    return it == FControls.end() ? -1 : static_cast<int>(it - FControls.begin());
}

void TWinControl::InsertControl(TControl* control) {
    if (!control || control->FParent == this) return;
    control->ValidateContainer(this);
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<uintptr_t>(control), 1);
    // Windowed controls stack above graphic ones: a new graphic control goes above the other graphic
    // controls but below the first windowed child.
    if (dynamic_cast<TWinControl*>(control)) {
        FControls.push_back(control);
        FTabList.push_back(static_cast<TWinControl*>(control));
    } else {
        auto it = std::find_if(FControls.begin(), FControls.end(),
                               [](TControl* c) { return dynamic_cast<TWinControl*>(c) != nullptr; });
        FControls.insert(it, control);
    }
    control->SetParentInternal(this);
    control->ParentChanged();
    if (!control->IsLoading()) {
        control->UpdateAnchorRules();
        if (control->FParentFont) control->Perform(CM_PARENTFONTCHANGED);
        if (control->FParentColor) control->Perform(CM_PARENTCOLORCHANGED);
        if (control->FParentShowHint) control->Perform(CM_PARENTSHOWHINTCHANGED);
    }
    Perform(CM_CONTROLCHANGE, reinterpret_cast<uintptr_t>(control), 1);
    if (control->FVisible && control->Showing()) control->InvalidateControl(true, false);
    AlignControl(control);
}

void TWinControl::RemoveControl(TControl* control) {
    int i = IndexOfControl(control);
    if (i < 0) return;
    Perform(CM_CONTROLCHANGE, reinterpret_cast<uintptr_t>(control), 0);
    if (control->FVisible && control->Showing()) control->InvalidateControl(true, false);
    control->BeforeParentRemoval(this);
    FControls.erase(FControls.begin() + i);
    FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), control), FTabList.end());
    control->SetParentInternal(nullptr);
    control->ParentChanged();
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<uintptr_t>(control), 0);
    if (!IsDestroying()) AlignControl(nullptr);
}

bool TWinControl::ContainsControl(const TControl* control) const {
    for (const TControl* c = control; c; c = c->FParent)
        if (c == this) return true;
    return false;
}

void TWinControl::MoveControlZ(TControl* control, bool topMost) {
    int i = IndexOfControl(control);
    if (i < 0) return;
    FControls.erase(FControls.begin() + i);
    bool win = dynamic_cast<TWinControl*>(control) != nullptr;
    if (topMost) {
        if (win)
            FControls.push_back(control);
        else {
            auto it = std::find_if(FControls.begin(), FControls.end(),
                                   [](TControl* c) { return dynamic_cast<TWinControl*>(c) != nullptr; });
            FControls.insert(it, control);
        }
    } else {
        if (!win)
            FControls.insert(FControls.begin(), control);
        else {
            auto it = std::find_if(FControls.begin(), FControls.end(),
                                   [](TControl* c) { return dynamic_cast<TWinControl*>(c) != nullptr; });
            FControls.insert(it, control);
        }
    }
    if (win) static_cast<TWinControl*>(control)->UpdateWindowZOrder(topMost);
    control->InvalidateControl(control->FVisible, true);
}

TControl* TWinControl::ControlAtPos(TPoint pos, bool allowDisabled, bool allowWinControls) const {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!allowWinControls && dynamic_cast<TWinControl*>(c)) continue;
        if (!c->FVisible || (!allowDisabled && !c->FEnabled)) continue;
        if (!c->BoundsRect().Contains(pos)) continue;
        TPoint local{pos.X - c->FLeft, pos.Y - c->FTop};
        if (c->Perform(CM_HITTEST, 0, PointToLParam(local.X, local.Y)) != 0) return c;
    }
    return nullptr;
}

void TWinControl::Broadcast(TMessage& message) {
    std::vector<TControl*> copy = FControls;
    for (TControl* c : copy) {
        if (IndexOfControl(c) < 0) continue;
        c->FWindowProc(message);
        if (message.Result != 0) return;
    }
}

void TWinControl::NotifyControls(uint32_t msg) {
    TMessage m{msg, 0, 0, 0};
    Broadcast(m);
}

void TWinControl::GetChildren(const TGetChildProc& proc, TComponent* root) {
    // The root of a form file lists its components without a parent (menus, timers) first.
    if (root == this)
        for (int i = 0; i < ComponentCount(); ++i)
            if (TComponent* c = Components(i); !c->HasParent()) proc(c);
    for (TControl* c : FControls)
        if (c->Owner() == root) proc(c);
}

void TWinControl::DisableAlign() {
    ++FAlignLevel;
}

void TWinControl::EnableAlign() {
    if (FAlignLevel > 0) --FAlignLevel;
    if (FAlignLevel == 0 && FRealignPending) Realign();
}

void TWinControl::Realign() {
    AlignControl(nullptr);
}

void TWinControl::AlignControl(TControl* control) {
    if (IsDestroying()) return;
    if (FAlignLevel > 0 || IsLoading() || (control && control->IsLoading())) {
        FRealignPending = true;
        return;
    }
    if (FAligning) return;
    FRealignPending = false;
    FAligning = true;
    try {
        TRect r = GetClientRect();
        AlignControls(control, r);
    } catch (...) {
        FAligning = false;
        throw;
    }
    FAligning = false;
    if (FAutoSize) AdjustSize();
}

void TWinControl::AdjustClientRect(TRect& rect) {
    rect = InflateRect(rect, -FBorderWidth, -FBorderWidth);
}

void TWinControl::SetBorderWidth(int v) {
    v = std::max(v, 0);
    if (v == FBorderWidth) return;
    FBorderWidth = v;
    Invalidate();
    Realign();
}

namespace {
bool AlignsWith(const TControl* c, TAlign a) {
    if (!c->GetVisible() && !c->IsDesigning()) return false;
    if (a == alNone) {
        TAnchors plain{akLeft, akTop};
        return c->GetAlign() == alNone && !(c->GetAnchors() == plain);
    }
    return c->GetAlign() == a;
}
// Whether c1 goes before c2 in the stacking order of an edge.
bool InsertBefore(const TControl* c1, const TControl* c2, TAlign a) {
    switch (a) {
    case alTop: return c1->GetTop() < c2->GetTop();
    case alBottom: return c1->GetTop() + c1->GetHeight() >= c2->GetTop() + c2->GetHeight();
    case alLeft: return c1->GetLeft() < c2->GetLeft();
    case alRight: return c1->GetLeft() + c1->GetWidth() >= c2->GetLeft() + c2->GetWidth();
    default: return false;
    }
}
} // namespace

void TWinControl::DoAlign(TAlign align, TControl* control, TRect& rect) {
    std::vector<TControl*> list;
    if (control && control->FParent == this && AlignsWith(control, align)) list.push_back(control);
    for (TControl* c : FControls) {
        if (c == control || !AlignsWith(c, align)) continue;
        size_t j = 0;
        while (j < list.size() && !InsertBefore(c, list[j], align)) ++j;
        list.insert(list.begin() + static_cast<ptrdiff_t>(j), c);
    }
    TRect client = GetClientRect();
    for (TControl* c : list) {
        if (align == alNone) {
            AnchorControl(c, client);
            continue;
        }
        if (align == alCustom) continue;
        int newLeft = rect.Left, newTop = rect.Top;
        int newWidth = rect.Width(), newHeight = rect.Height();
        switch (align) {
        case alTop:
            newHeight = c->FHeight;
            rect.Top += newHeight;
            break;
        case alBottom:
            newHeight = c->FHeight;
            rect.Bottom -= newHeight;
            newTop = rect.Bottom;
            break;
        case alLeft:
            newWidth = c->FWidth;
            rect.Left += newWidth;
            break;
        case alRight:
            newWidth = c->FWidth;
            rect.Right -= newWidth;
            newLeft = rect.Right;
            break;
        default: break;
        }
        c->FAnchorMove = true;
        try {
            c->SetBounds(newLeft, newTop, newWidth, newHeight);
        } catch (...) {
            c->FAnchorMove = false;
            throw;
        }
        c->FAnchorMove = false;
        // Constraints may have kept the control from taking the size offered: give the rest back.
        if (c->FWidth != std::max(newWidth, 0) || c->FHeight != std::max(newHeight, 0)) {
            switch (align) {
            case alTop: rect.Top -= newHeight - c->FHeight; break;
            case alBottom: rect.Bottom += newHeight - c->FHeight; break;
            case alLeft: rect.Left -= newWidth - c->FWidth; break;
            case alRight: rect.Right += newWidth - c->FWidth; break;
            case alClient:
                rect.Right -= newWidth - c->FWidth;
                rect.Bottom -= newHeight - c->FHeight;
                break;
            default: break;
            }
        }
    }
}

void TWinControl::AnchorControl(TControl* c, const TRect& client) {
    TPoint orig = c->FOriginalParentSize;
    const TRect& rules = c->FAnchorRules;
    int pw = client.Width(), ph = client.Height();
    int left = c->FLeft, top = c->FTop, width = c->FWidth, height = c->FHeight;
    TAnchors a = c->FAnchors;
    if (orig.X > 0) {
        if (a.Contains(akRight)) {
            if (a.Contains(akLeft))
                width = pw - rules.Right - left;
            else
                left = pw - rules.Right - width;
        } else if (!a.Contains(akLeft)) {
            left = static_cast<int>(static_cast<int64_t>(rules.Left) * pw / orig.X) - width / 2;
        }
    }
    if (orig.Y > 0) {
        if (a.Contains(akBottom)) {
            if (a.Contains(akTop))
                height = ph - rules.Bottom - top;
            else
                top = ph - rules.Bottom - height;
        } else if (!a.Contains(akTop)) {
            top = static_cast<int>(static_cast<int64_t>(rules.Top) * ph / orig.Y) - height / 2;
        }
    }
    c->FAnchorMove = true;
    try {
        c->SetBounds(left, top, width, height);
    } catch (...) {
        c->FAnchorMove = false;
        throw;
    }
    c->FAnchorMove = false;
}

void TWinControl::AlignControls(TControl* control, TRect& rect) {
    AdjustClientRect(rect);
    DoAlign(alTop, control, rect);
    DoAlign(alBottom, control, rect);
    DoAlign(alLeft, control, rect);
    DoAlign(alRight, control, rect);
    DoAlign(alClient, control, rect);
    DoAlign(alCustom, control, rect);
    DoAlign(alNone, control, rect);
}

bool TWinControl::CanAutoSize(int& newWidth, int& newHeight) {
    // Shrinks or grows to the extent of the visible children plus the borders around the client area.
    bool any = false;
    TRect extent;
    for (TControl* c : FControls) {
        if (!c->FVisible) continue;
        TRect b = c->BoundsRect();
        extent = any ? TRect{std::min(extent.Left, b.Left), std::min(extent.Top, b.Top),
                             std::max(extent.Right, b.Right), std::max(extent.Bottom, b.Bottom)}
                     : b;
        any = true;
    }
    if (!any) return false;
    TRect client = GetClientRect();
    TRect adjusted = client;
    AdjustClientRect(adjusted);
    int extraW = (FWidth - client.Width()) + (client.Width() - adjusted.Width());
    int extraH = (FHeight - client.Height()) + (client.Height() - adjusted.Height());
    if (FAlign == alNone || FAlign == alLeft || FAlign == alRight)
        newWidth = extent.Right - adjusted.Left + extraW - (adjusted.Left - client.Left);
    if (FAlign == alNone || FAlign == alTop || FAlign == alBottom)
        newHeight = extent.Bottom - adjusted.Top + extraH - (adjusted.Top - client.Top);
    return true;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    int oldW = FWidth, oldH = FHeight;
    TControl::SetBounds(left, top, width, height);
    if ((FWidth != oldW || FHeight != oldH) && !IsLoading()) Realign();
}

int TWinControl::GetTabOrder() const {
    if (!FParent) return -1;
    auto& l = FParent->FTabList;
    auto it = std::find(l.begin(), l.end(), this);
    return it == l.end() ? -1 : static_cast<int>(it - l.begin());
}

void TWinControl::SetTabOrder(int v) {
    if (IsLoading()) {
        FStoredTabOrder = v;
        return;
    }
    if (!FParent) return;
    auto& l = FParent->FTabList;
    auto it = std::find(l.begin(), l.end(), this);
    if (it == l.end()) return;
    l.erase(it);
    int n = static_cast<int>(l.size());
    if (v < 0 || v > n) v = n;
    l.insert(l.begin() + v, this);
}

void TWinControl::FixupTabList() {
    // Controls read from a form file carry their tab order; apply them in ascending order so that
    // every control lands at its stored position.
    std::vector<TWinControl*> stored;
    for (TWinControl* c : FTabList)
        if (c->FStoredTabOrder >= 0) stored.push_back(c);
    std::stable_sort(stored.begin(), stored.end(),
                     [](TWinControl* a, TWinControl* b) { return a->FStoredTabOrder < b->FStoredTabOrder; });
    for (TWinControl* c : stored) {
        int v = c->FStoredTabOrder;
        c->FStoredTabOrder = -1;
        auto it = std::find(FTabList.begin(), FTabList.end(), c);
        FTabList.erase(it);
        int n = static_cast<int>(FTabList.size());
        FTabList.insert(FTabList.begin() + std::clamp(v, 0, n), c);
    }
}

void TWinControl::SetTabStop(bool v) {
    if (v == FTabStop) return;
    FTabStop = v;
    Perform(CM_TABSTOPCHANGED);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
    for (TWinControl* c : FTabList) {
        list.push_back(c);
        c->GetTabOrderList(list);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) const {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    int n = static_cast<int>(list.size());
    auto it = std::find(list.begin(), list.end(), current);
    int start = it == list.end() ? (goForward ? n - 1 : 0) : static_cast<int>(it - list.begin());
    int i = start;
    do {
        if (goForward) {
            if (++i == n) i = 0;
        } else {
            if (i == 0) i = n;
            --i;
        }
        TWinControl* c = list[static_cast<size_t>(i)];
        if (c->CanFocus() && (!checkTabStop || c->FTabStop) && (!checkParent || c->FParent == this)) return c;
    } while (i != start);
    return nullptr;
}

void TWinControl::SetCtl3D(bool v) {
    if (v == FCtl3D && !FParentCtl3D) return;
    FCtl3D = v;
    FParentCtl3D = false;
    Perform(CM_CTL3DCHANGED);
}

void TWinControl::SetParentCtl3D(bool v) {
    if (v == FParentCtl3D) return;
    FParentCtl3D = v;
    if (v && FParent && !IsLoading()) Perform(CM_PARENTCTL3DCHANGED);
}

void TWinControl::Loaded() {
    TControl::Loaded();
    if (FParent) FParent->FixupTabList();
    FixupTabList();
    Realign();
}

} // namespace qel

#include "platform/core/filer.h"

namespace qel {
void TControl::ReadState(TReader* reader) {
    FControlState.Include(csReadingState);
    if (reader->Parent()) SetParentComponent(reader->Parent());
    try {
        TComponent::ReadState(reader);
    } catch (...) {
        FControlState.Exclude(csReadingState);
        throw;
    }
    FControlState.Exclude(csReadingState);
}
} // namespace qel
