#include "platform/controls/stdctrls.h"

#include <algorithm>
#include <cctype>

#include "platform/controls/publish.h"
#include "platform/graphics/font.h"

namespace qel {

// ---- helpers
// --------------------------------------------------------------------------------------------------

namespace {
uint32_t FoldCase(uint32_t c) {
    return c < 128 ? static_cast<uint32_t>(std::toupper(static_cast<int>(c))) : c;
}

std::u32string Chars(const std::string& s) {
    return Utf8ToCodePoints(s);
}

// Measures or draws text with the control's font on a screen DC.
TSize MeasureText(TFont* font, const std::string& text, TRect* rect, unsigned flags) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font->GetHandle());
    TRect r = rect ? *rect : TRect{0, 0, 0, 0};
    DrawText(dc, text, &r, flags | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    if (rect) *rect = r;
    return {r.Width(), r.Height()};
}

void FillSolid(HDC dc, const TRect& r, TColor color) {
    HBRUSH b = CreateSolidBrush(ColorToColorRef(color));
    FillRect(dc, &r, b);
    DeleteObject(b);
}

void DrawFocus(HDC dc, TRect r) {
    DrawFocusRect(dc, &r);
}
} // namespace

bool IsAccel(uint32_t ch, const std::string& caption) {
    std::u32string s = Chars(caption);
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != U'&') continue;
        if (s[i + 1] == U'&') {
            ++i;
            continue;
        }
        return FoldCase(s[i + 1]) == FoldCase(ch);
    }
    return false;
}

std::string StripHotkey(const std::string& caption) {
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += caption[i];
    }
    return out;
}

// ---- clipboard
// ------------------------------------------------------------------------------------------------

namespace {
std::string& ClipText() {
    static std::string text;
    return text;
}
bool& ClipHas() {
    static bool has = false;
    return has;
}
} // namespace

std::string GetClipboardText() {
    return ClipText();
}
void SetClipboardText(const std::string& text) {
    ClipText() = text;
    ClipHas() = true;
}
bool ClipboardHasText() {
    return ClipHas();
}

// ---- TCustomLabel
// -----------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TCustomLabel)
QEL_IMPLEMENT_CLASS(TLabel, [](auto& c) {
    Publish(c, {"Align"});
    c.Property("Alignment", &TCustomLabel::GetAlignment, &TCustomLabel::SetAlignment).Default(taLeftJustify);
    Publish(c, {"Anchors"});
    c.Property("AutoSize", &TControl::GetAutoSize, &TCustomLabel::SetAutoSize).Default(true);
    Publish(c,
            {"BiDiMode", "Caption", "Color", "Constraints", "DragCursor", "DragKind", "DragMode", "Enabled"});
    c.Property("FocusControl", &TCustomLabel::GetFocusControl, &TCustomLabel::SetFocusControl);
    Publish(c, {"Font", "ParentBiDiMode", "ParentColor", "ParentFont", "ParentShowHint", "PopupMenu"});
    c.Property("ShowAccelChar", &TCustomLabel::GetShowAccelChar, &TCustomLabel::SetShowAccelChar)
        .Default(true);
    Publish(c, {"ShowHint"});
    c.Property("Transparent", &TCustomLabel::GetTransparent, &TCustomLabel::SetTransparent).Default(false);
    c.Property("Layout", &TCustomLabel::GetLayout, &TCustomLabel::SetLayout).Default(tlTop);
    Publish(c, {"Visible"});
    c.Property("WordWrap", &TCustomLabel::GetWordWrap, &TCustomLabel::SetWordWrap).Default(false);
    Publish(c, {"OnClick", "OnContextPopup", "OnDblClick", "OnDragDrop", "OnDragOver", "OnEndDock",
                "OnEndDrag", "OnMouseDown", "OnMouseMove", "OnMouseUp", "OnMouseEnter", "OnMouseLeave",
                "OnStartDock", "OnStartDrag"});
})

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
    FControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks, csReplicatable, csOpaque};
    DoSetBounds(0, 0, 65, 17);
    FAutoSize = true;
}

void TCustomLabel::SetAlignment(TAlignment v) {
    if (v == FAlignment) return;
    FAlignment = v;
    Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout v) {
    if (v == FLayout) return;
    FLayout = v;
    Invalidate();
}

void TCustomLabel::SetWordWrap(bool v) {
    if (v == FWordWrap) return;
    FWordWrap = v;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool v) {
    if (v == FShowAccelChar) return;
    FShowAccelChar = v;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* v) {
    if (v == FFocusControl) return;
    if (FFocusControl) RemoveFreeNotification(FFocusControl);
    FFocusControl = v;
    if (v) FreeNotification(v);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
    TGraphicControl::Notification(component, operation);
    if (operation == opRemove && component == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::SetTransparent(bool v) {
    if (v == FTransparent) return;
    FTransparent = v;
    if (v)
        FControlStyle.Exclude(csOpaque);
    else
        FControlStyle.Include(csOpaque);
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool v) {
    if (v == FAutoSize) return;
    FAutoSize = v;
    AdjustBounds();
}

void TCustomLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TCustomLabel::DoDrawText(TRect& rect, unsigned flags) {
    std::string text = GetLabelText();
    // An empty caption (or a lone accelerator mark) still measures one line.
    if ((flags & DT_CALCRECT) && (text.empty() || (FShowAccelChar && text == "&"))) text += ' ';
    if (!FShowAccelChar) flags |= DT_NOPREFIX;
    flags = DrawTextBiDiModeFlags(flags);
    TCanvas* cv = Canvas();
    if (flags & DT_CALCRECT) {
        MeasureText(FFont.get(), text, &rect, flags & ~static_cast<unsigned>(DT_CALCRECT));
        return;
    }
    cv->GetFont()->Assign(FFont.get());
    HDC dc = cv->GetHandle();
    cv->RequiredState(TCanvasState{csHandleValid, csFontValid});
    SetBkMode(dc, TRANSPARENT);
    if (!IsEnabledChain()) {
        // The disabled look: the text embossed in highlight and shadow colours.
        TRect r = OffsetRect(rect, 1, 1);
        SetTextColor(dc, ColorToColorRef(clBtnHighlight));
        DrawText(dc, text, &r, flags);
        SetTextColor(dc, ColorToColorRef(clBtnShadow));
        DrawText(dc, text, &rect, flags);
        return;
    }
    SetTextColor(dc, ColorToColorRef(FFont->GetColor()));
    DrawText(dc, text, &rect, flags);
}

void TCustomLabel::Paint() {
    TRect r = GetClientRect();
    if (!FTransparent) {
        Canvas()->GetBrush()->SetColor(FColor);
        Canvas()->GetBrush()->SetStyle(bsSolid);
        Canvas()->FillRect(r);
    }
    unsigned align = FAlignment == taRightJustify ? DT_RIGHT : FAlignment == taCenter ? DT_CENTER : DT_LEFT;
    unsigned flags = DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0u) | align;
    if (FLayout != tlTop) {
        TRect calc = r;
        DoDrawText(calc, flags | DT_CALCRECT);
        int h = calc.Height();
        if (FLayout == tlBottom)
            r.Top = r.Bottom - h;
        else
            r.Top = (r.Top + r.Bottom - h) / 2;
    }
    DoDrawText(r, flags);
}

void TCustomLabel::AdjustBounds() {
    if (IsLoading() || !FAutoSize) return;
    TRect r = GetClientRect();
    if (!FWordWrap) r.Right = r.Left;
    DoDrawText(r, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0u));
    int x = FLeft;
    int w = FWordWrap ? FWidth : r.Width();
    if (!FWordWrap) {
        if (FAlignment == taRightJustify)
            x = FLeft + FWidth - w;
        else if (FAlignment == taCenter)
            x = FLeft + (FWidth - w) / 2;
    }
    bool old = FAutoSize;
    FAutoSize = false;
    SetBounds(x, FTop, w, r.Height());
    FAutoSize = old;
}

void TCustomLabel::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        AdjustBounds();
        Invalidate();
        return;
    case CM_DIALOGCHAR:
        if (FFocusControl && IsEnabledChain() && FShowAccelChar &&
            IsAccel(static_cast<uint32_t>(m.WParam), GetCaption()) && FFocusControl->CanFocus()) {
            FFocusControl->SetFocus();
            m.Result = 1;
        }
        return;
    case CM_HITTEST: m.Result = HTCLIENT; return;
    default: TGraphicControl::Dispatch(m); return;
    }
}

// ---- TButtonControl
// ---------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TButtonControl)

TButtonControl::TButtonControl(TComponent* owner) : TCustomControl(owner) {
    FControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    FTabStop = true;
}

void TButtonControl::SetWordWrap(bool v) {
    if (v == FWordWrap) return;
    FWordWrap = v;
    Invalidate();
}

void TButtonControl::DrawCaption(TRect r, unsigned flags, bool enabled) {
    TCanvas* cv = Canvas();
    cv->GetFont()->Assign(FFont.get());
    cv->RequiredState(TCanvasState{csHandleValid, csFontValid});
    HDC dc = cv->GetHandle();
    SetBkMode(dc, TRANSPARENT);
    if (FWordWrap) flags = (flags & ~static_cast<unsigned>(DT_SINGLELINE)) | DT_WORDBREAK;
    if (!enabled) {
        TRect o = OffsetRect(r, 1, 1);
        SetTextColor(dc, ColorToColorRef(clBtnHighlight));
        DrawText(dc, GetCaption(), &o, flags);
        SetTextColor(dc, ColorToColorRef(clBtnShadow));
    } else {
        SetTextColor(dc, ColorToColorRef(FFont->GetColor()));
    }
    DrawText(dc, GetCaption(), &r, flags);
}

// ---- TButton
// ------------------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TButton, [](auto& c) {
    Publish(c, {"Action", "Anchors", "BiDiMode"});
    c.Property("Cancel", &TButton::GetCancel, &TButton::SetCancel).Default(false);
    Publish(c, {"Caption", "Constraints"});
    c.Property("Default", &TButton::GetDefault, &TButton::SetDefault).Default(false);
    Publish(c, {"DragCursor", "DragKind", "DragMode", "Enabled", "Font"});
    c.Property("ModalResult", &TButton::GetModalResult, &TButton::SetModalResult).Default(0);
    Publish(c, {"ParentBiDiMode", "ParentFont", "ParentShowHint", "PopupMenu", "ShowHint", "TabOrder"});
    c.Property("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
    Publish(c, {"Visible"});
    Publish(c, {"OnClick", "OnContextPopup", "OnDragDrop", "OnDragOver", "OnEndDock", "OnEndDrag", "OnEnter",
                "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMouseDown", "OnMouseMove", "OnMouseUp",
                "OnStartDock", "OnStartDrag"});
})

TButton::TButton(TComponent* owner) : TButtonControl(owner) {
    DoSetBounds(0, 0, 75, 25);
    FColor = clBtnFace;
    FParentColor = false;
    FControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks, csOpaque};
}

void TButton::SetDefault(bool v) {
    if (v == FDefault) return;
    FDefault = v;
    Invalidate();
}

bool TButton::IsActiveDefault() const {
    if (Focused()) return true;
    if (!FDefault) return false;
    TCustomForm* f = GetParentForm(const_cast<TButton*>(this));
    TWinControl* focused = f ? f->FocusedControl() : nullptr;
    return !dynamic_cast<TButton*>(focused);
}

void TButton::Click() {
    if (TCustomForm* f = GetParentForm(this)) f->SetModalResult(FModalResult);
    TButtonControl::Click();
}

void TButton::Press() {
    FPressed = true;
    Repaint();
    FPressed = false;
    Invalidate();
    Click();
}

void TButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && IsEnabledChain()) {
        if (CanFocus() && !Focused()) SetFocus();
        FTracking = true;
        FPressed = true;
        Invalidate();
    }
    TButtonControl::MouseDown(button, shift, x, y);
}

void TButton::MouseMove(TShiftState shift, int x, int y) {
    if (FTracking) {
        bool inside = GetClientRect().Contains({x, y});
        if (inside != FPressed) {
            FPressed = inside;
            Invalidate();
        }
    }
    TButtonControl::MouseMove(shift, x, y);
}

void TButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && FTracking) {
        FTracking = false;
        FPressed = false;
        Invalidate();
    }
    TButtonControl::MouseUp(button, shift, x, y);
}

void TButton::KeyDown(uint16_t& key, TShiftState shift) {
    TButtonControl::KeyDown(key, shift);
    if (key == VK_SPACE && !FSpaceDown) {
        FSpaceDown = true;
        FPressed = true;
        Invalidate();
    }
}

void TButton::KeyUp(uint16_t& key, TShiftState shift) {
    TButtonControl::KeyUp(key, shift);
    if (key == VK_SPACE && FSpaceDown) {
        FSpaceDown = false;
        FPressed = false;
        Invalidate();
        Click();
    }
}

void TButton::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_DIALOGKEY: {
        uint16_t key = static_cast<uint16_t>(m.WParam);
        TShiftState shift = KeyboardStateToShiftState();
        if (((key == VK_RETURN && IsActiveDefault()) || (key == VK_ESCAPE && FCancel)) && shift.Empty() &&
            CanFocus()) {
            Click();
            m.Result = 1;
        }
        return;
    }
    case CM_DIALOGCHAR:
        if (IsAccel(static_cast<uint32_t>(m.WParam), GetCaption()) && CanFocus()) {
            Click();
            m.Result = 1;
        }
        return;
    case WM_GETDLGCODE: m.Result = DLGC_BUTTON; return;
    case CM_ENTER:
    case CM_EXIT:
    case CM_FOCUSCHANGED:
        TButtonControl::Dispatch(m);
        Invalidate();
        return;
    default: TButtonControl::Dispatch(m); return;
    }
}

void TButton::Paint() {
    TCanvas* cv = Canvas();
    HDC dc = cv->GetHandle();
    TRect r = GetClientRect();
    bool enabled = IsEnabledChain();
    bool def = IsActiveDefault() && enabled;
    if (def) {
        // The default button wears an extra dark frame.
        HBRUSH frame = CreateSolidBrush(ColorToColorRef(clWindowFrame));
        FrameRect(dc, &r, frame);
        DeleteObject(frame);
        r = InflateRect(r, -1, -1);
    }
    if (FPressed) {
        FillSolid(dc, r, FColor);
        HBRUSH sh = CreateSolidBrush(ColorToColorRef(clBtnShadow));
        FrameRect(dc, &r, sh);
        DeleteObject(sh);
    } else {
        DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (enabled ? 0u : DFCS_INACTIVE));
        if (FColor != clBtnFace) FillSolid(dc, InflateRect(r, -2, -2), FColor);
    }
    TRect text = InflateRect(r, -4, -4);
    if (FPressed) text = OffsetRect(text, 1, 1);
    DrawCaption(text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, enabled);
    if (Focused()) DrawFocus(dc, InflateRect(r, -3, -3));
}

// ---- TCustomCheckBox
// -------------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TCustomCheckBox)
QEL_IMPLEMENT_CLASS(TCheckBox, [](auto& c) {
    Publish(c, {"Action"});
    c.Property("Alignment", &TCustomCheckBox::GetAlignment, &TCustomCheckBox::SetAlignment)
        .Default(taRightJustify);
    c.Property("AllowGrayed", &TCustomCheckBox::GetAllowGrayed, &TCustomCheckBox::SetAllowGrayed)
        .Default(false);
    Publish(c, {"Anchors", "BiDiMode", "Caption"});
    c.Property("Checked", &TCustomCheckBox::GetChecked, &TCustomCheckBox::SetChecked).Stored(false);
    Publish(c, {"Color", "Constraints", "Ctl3D", "DragCursor", "DragKind", "DragMode", "Enabled", "Font",
                "ParentBiDiMode", "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint", "PopupMenu",
                "ShowHint"});
    c.Property("State", &TCustomCheckBox::GetState, &TCustomCheckBox::SetState).Default(cbUnchecked);
    Publish(c, {"TabOrder"});
    c.Property("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
    Publish(c, {"Visible"});
    c.Property("WordWrap", &TButtonControl::GetWordWrap, &TButtonControl::SetWordWrap).Default(false);
    Publish(c, {"OnClick", "OnContextPopup", "OnDragDrop", "OnDragOver", "OnEndDock", "OnEndDrag", "OnEnter",
                "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMouseDown", "OnMouseMove", "OnMouseUp",
                "OnStartDock", "OnStartDrag"});
})

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) {
    DoSetBounds(0, 0, 97, 17);
    FControlStyle.Exclude(csDoubleClicks);
}

void TCustomCheckBox::SetState(TCheckBoxState v) {
    if (v == cbGrayed && !FAllowGrayed && !IsLoading()) v = cbUnchecked;
    if (v == FState) return;
    FState = v;
    Invalidate();
    if (!IsLoading()) Click();
}

void TCustomCheckBox::SetAllowGrayed(bool v) {
    FAllowGrayed = v;
    if (!v && FState == cbGrayed) SetState(cbUnchecked);
}

void TCustomCheckBox::SetAlignment(TAlignment v) {
    if (v == FAlignment) return;
    FAlignment = v;
    Invalidate();
}

void TCustomCheckBox::Toggle() {
    switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
    }
}

void TCustomCheckBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && IsEnabledChain()) {
        if (CanFocus() && !Focused()) SetFocus();
        FPressed = true;
        Invalidate();
    }
    // The click comes from the toggle, not from the generic click handling.
    FControlState.Exclude(csClicked);
    TButtonControl::MouseDown(button, shift, x, y);
    FControlState.Exclude(csClicked);
}

void TCustomCheckBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    bool toggle = button == mbLeft && FPressed && GetClientRect().Contains({x, y});
    if (button == mbLeft) {
        FPressed = false;
        Invalidate();
    }
    TButtonControl::MouseUp(button, shift, x, y);
    if (toggle) Toggle();
}

void TCustomCheckBox::KeyUp(uint16_t& key, TShiftState shift) {
    TButtonControl::KeyUp(key, shift);
    if (key == VK_SPACE) Toggle();
}

void TCustomCheckBox::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_DIALOGCHAR:
        if (IsAccel(static_cast<uint32_t>(m.WParam), GetCaption()) && CanFocus()) {
            SetFocus();
            if (Focused()) Toggle();
            m.Result = 1;
        }
        return;
    case WM_GETDLGCODE: m.Result = DLGC_BUTTON; return;
    case CM_ENTER:
    case CM_EXIT:
        TButtonControl::Dispatch(m);
        Invalidate();
        return;
    default: TButtonControl::Dispatch(m); return;
    }
}

namespace {
// Draws a check or radio box of 13 x 13 pixels and the caption beside it.
void PaintChoice(TButtonControl* c, TCanvas* cv, unsigned kind, unsigned state, TAlignment alignment,
                 bool focused, TColor color, std::function<void(TRect, unsigned, bool)> caption) {
    HDC dc = cv->GetHandle();
    TRect r = c->GetClientRect();
    FillSolid(dc, r, color);
    int box = 13;
    int top = (r.Height() - box) / 2;
    TRect boxRect = alignment == taRightJustify ? TRect{0, top, box, top + box}
                                                : TRect{r.Right - box, top, r.Right, top + box};
    DrawFrameControl(dc, &boxRect, DFC_BUTTON, kind | state);
    TRect text = alignment == taRightJustify ? TRect{box + 4, 0, r.Right, r.Bottom}
                                             : TRect{0, 0, r.Right - box - 4, r.Bottom};
    bool enabled = c->IsEnabledChain();
    caption(text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, enabled);
    if (focused) {
        TRect fr = text;
        TSize sz = MeasureText(c->GetFont(), c->GetCaption(), nullptr, DT_SINGLELINE);
        fr.Right = std::min(fr.Left + sz.cx + 2, r.Right);
        fr.Left -= 1;
        fr.Top = (r.Height() - sz.cy) / 2 - 1;
        fr.Bottom = fr.Top + sz.cy + 2;
        DrawFocus(dc, fr);
    }
}
} // namespace

void TCustomCheckBox::Paint() {
    unsigned state = (FState == cbChecked ? DFCS_CHECKED : 0u) |
                     (FState == cbGrayed ? DFCS_CHECKED | DFCS_INACTIVE : 0) |
                     (IsEnabledChain() ? 0u : DFCS_INACTIVE) | (FPressed ? DFCS_PUSHED : 0u);
    unsigned kind = FState == cbGrayed ? DFCS_BUTTON3STATE : DFCS_BUTTONCHECK;
    PaintChoice(this, Canvas(), kind, state, FAlignment, Focused(), FColor,
                [this](TRect r, unsigned f, bool e) { DrawCaption(r, f, e); });
}

// ---- TRadioButton
// -------------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TRadioButton, [](auto& c) {
    Publish(c, {"Action"});
    c.Property("Alignment", &TRadioButton::GetAlignment, &TRadioButton::SetAlignment).Default(taRightJustify);
    Publish(c, {"Anchors", "BiDiMode", "Caption"});
    c.Property("Checked", &TRadioButton::GetChecked, &TRadioButton::SetChecked).Default(false);
    Publish(c, {"Color", "Constraints", "Ctl3D", "DragCursor", "DragKind", "DragMode", "Enabled", "Font",
                "ParentBiDiMode", "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint", "PopupMenu",
                "ShowHint", "TabOrder", "TabStop", "Visible"});
    c.Property("WordWrap", &TButtonControl::GetWordWrap, &TButtonControl::SetWordWrap).Default(false);
    Publish(c, {"OnClick", "OnContextPopup", "OnDblClick", "OnDragDrop", "OnDragOver", "OnEndDock",
                "OnEndDrag", "OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMouseDown",
                "OnMouseMove", "OnMouseUp", "OnStartDock", "OnStartDrag"});
})

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {
    DoSetBounds(0, 0, 113, 17);
    FTabStop = false;
}

void TRadioButton::SetChecked(bool v) {
    if (v == FChecked) return;
    FChecked = v;
    FTabStop = v;
    Invalidate();
    if (!v) return;
    // Only one radio button of a parent is checked.
    if (FParent) {
        for (int i = 0; i < FParent->ControlCount(); ++i) {
            auto* r = dynamic_cast<TRadioButton*>(FParent->Controls(i));
            if (r && r != this && r->FChecked) r->SetChecked(false);
        }
    }
    if (!IsLoading()) Click();
}

void TRadioButton::SetAlignment(TAlignment v) {
    if (v == FAlignment) return;
    FAlignment = v;
    Invalidate();
}

void TRadioButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && IsEnabledChain()) {
        if (CanFocus() && !Focused()) SetFocus();
        FPressed = true;
        Invalidate();
    }
    FControlState.Exclude(csClicked);
    TButtonControl::MouseDown(button, shift, x, y);
    FControlState.Exclude(csClicked);
}

void TRadioButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    bool check = button == mbLeft && FPressed && GetClientRect().Contains({x, y});
    if (button == mbLeft) {
        FPressed = false;
        Invalidate();
    }
    TButtonControl::MouseUp(button, shift, x, y);
    if (check) SetChecked(true);
}

void TRadioButton::KeyUp(uint16_t& key, TShiftState shift) {
    TButtonControl::KeyUp(key, shift);
    if (key == VK_SPACE) SetChecked(true);
}

void TRadioButton::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_DIALOGCHAR:
        if (IsAccel(static_cast<uint32_t>(m.WParam), GetCaption()) && CanFocus()) {
            SetFocus();
            SetChecked(true);
            m.Result = 1;
        }
        return;
    case WM_GETDLGCODE: m.Result = DLGC_BUTTON | DLGC_RADIOBUTTON; return;
    case BM_CLICK: SetChecked(true); return;
    case CM_ENTER:
    case CM_EXIT:
        TButtonControl::Dispatch(m);
        Invalidate();
        return;
    default: TButtonControl::Dispatch(m); return;
    }
}

void TRadioButton::Paint() {
    unsigned state = (FChecked ? DFCS_CHECKED : 0u) | (IsEnabledChain() ? 0u : DFCS_INACTIVE) |
                     (FPressed ? DFCS_PUSHED : 0u);
    PaintChoice(this, Canvas(), DFCS_BUTTONRADIO, state, FAlignment, Focused(), FColor,
                [this](TRect r, unsigned f, bool e) { DrawCaption(r, f, e); });
}

// ---- TCustomGroupBox
// ------------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TCustomGroupBox)
QEL_IMPLEMENT_CLASS(TGroupBox, [](auto& c) {
    Publish(c, {"Align",     "Anchors",        "BiDiMode",    "Caption",     "Color",      "Constraints",
                "Ctl3D",     "DockSite",       "DragCursor",  "DragKind",    "DragMode",   "Enabled",
                "Font",      "ParentBiDiMode", "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint",
                "PopupMenu", "ShowHint",       "TabOrder",    "TabStop",     "Visible"});
    Publish(c,
            {"OnClick", "OnContextPopup", "OnDblClick", "OnDragDrop", "OnDragOver", "OnEndDock", "OnEndDrag",
             "OnEnter", "OnExit", "OnMouseDown", "OnMouseMove", "OnMouseUp", "OnStartDock", "OnStartDrag"});
})

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TCustomControl(owner) {
    FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents,
                     csSetCaption,      csDoubleClicks, csReplicatable};
    DoSetBounds(0, 0, 185, 105);
}

int TCustomGroupBox::CaptionHeight() const {
    TSize sz = MeasureText(FFont.get(), "0", nullptr, DT_SINGLELINE);
    return sz.cy;
}

void TCustomGroupBox::AdjustClientRect(TRect& rect) {
    TCustomControl::AdjustClientRect(rect);
    rect.Top += CaptionHeight();
    rect = InflateRect(rect, -1, -1);
    if (FCtl3D) rect = InflateRect(rect, -1, -1);
}

void TCustomGroupBox::Paint() {
    TCanvas* cv = Canvas();
    HDC dc = cv->GetHandle();
    TRect r = GetClientRect();
    FillSolid(dc, r, FColor);
    int h = CaptionHeight();
    TRect frame{r.Left, r.Top + h / 2, r.Right, r.Bottom};
    DrawEdge(dc, &frame, FCtl3D ? EDGE_ETCHED : BDR_SUNKENOUTER, BF_RECT | (FCtl3D ? 0u : BF_MONO));
    std::string text = GetCaption();
    if (!text.empty()) {
        TSize sz = MeasureText(FFont.get(), text, nullptr, DT_SINGLELINE);
        TRect tr{8, 0, 8 + sz.cx, h};
        FillSolid(dc, tr, FColor);
        DrawCaptionText(tr);
    }
}

void TCustomGroupBox::DrawCaptionText(TRect r) {
    TCanvas* cv = Canvas();
    cv->GetFont()->Assign(FFont.get());
    cv->RequiredState(TCanvasState{csHandleValid, csFontValid});
    HDC dc = cv->GetHandle();
    SetBkMode(dc, TRANSPARENT);
    bool enabled = IsEnabledChain();
    if (!enabled) {
        TRect o = OffsetRect(r, 1, 1);
        SetTextColor(dc, ColorToColorRef(clBtnHighlight));
        DrawText(dc, GetCaption(), &o, DT_LEFT | DT_SINGLELINE);
        SetTextColor(dc, ColorToColorRef(clBtnShadow));
    } else {
        SetTextColor(dc, ColorToColorRef(FFont->GetColor()));
    }
    DrawText(dc, GetCaption(), &r, DT_LEFT | DT_SINGLELINE);
}

void TCustomGroupBox::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_DIALOGCHAR:
        if (IsAccel(static_cast<uint32_t>(m.WParam), GetCaption()) && CanFocus()) {
            SelectFirst();
            m.Result = 1;
            return;
        }
        TCustomControl::Dispatch(m);
        return;
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        TCustomControl::Dispatch(m);
        Realign();
        return;
    default: TCustomControl::Dispatch(m); return;
    }
}

// ---- TCustomRadioGroup
// ------------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TGroupButton)
QEL_IMPLEMENT_CLASS(TCustomRadioGroup)
QEL_IMPLEMENT_CLASS(TRadioGroup, [](auto& c) {
    Publish(c, {"Align", "Anchors", "BiDiMode", "Caption", "Color"});
    c.Property("Columns", &TCustomRadioGroup::GetColumns, &TCustomRadioGroup::SetColumns).Default(1);
    Publish(c, {"Constraints", "Ctl3D", "DragCursor", "DragKind", "DragMode", "Enabled", "Font"});
    c.Property("ItemIndex", &TCustomRadioGroup::GetItemIndex, &TCustomRadioGroup::SetItemIndex).Default(-1);
    c.Object("Items", &TCustomRadioGroup::GetItems, &TCustomRadioGroup::SetItems);
    Publish(c, {"ParentBiDiMode", "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint", "PopupMenu",
                "ShowHint", "TabOrder", "TabStop", "Visible"});
    Publish(c, {"OnClick", "OnContextPopup", "OnDragDrop", "OnDragOver", "OnEndDock", "OnEndDrag", "OnEnter",
                "OnExit", "OnStartDock", "OnStartDrag"});
})

TGroupButton::TGroupButton(TCustomRadioGroup* group) : TRadioButton(group), FGroup(group) {
    FControlStyle.Include(csReplicatable);
}

void TGroupButton::SetChecked(bool v) {
    if (v == FChecked) return;
    FChecked = v;
    FTabStop = v;
    Invalidate();
    if (!v) return;
    for (TGroupButton* b : FGroup->FButtons)
        if (b != this) b->SetCheckedQuiet(false);
    Click();
}

void TGroupButton::SetCheckedQuiet(bool v) {
    if (v == FChecked) return;
    FChecked = v;
    FTabStop = v;
    Invalidate();
}

void TGroupButton::Click() {
    TRadioButton::Click();
    FGroup->ButtonClick(this);
}

TCustomRadioGroup::TCustomRadioGroup(TComponent* owner)
    : TCustomGroupBox(owner), FItems(std::make_unique<TStringList>()) {
    FControlStyle = {csSetCaption, csDoubleClicks, csCaptureMouse, csClickEvents};
    FItems->OnChange = TNotifyEvent(this, &TCustomRadioGroup::ItemsChange);
}

TCustomRadioGroup::~TCustomRadioGroup() {
    FItems->OnChange = nullptr;
    FUpdating = true;
}

void TCustomRadioGroup::Loaded() {
    TCustomGroupBox::Loaded();
    UpdateButtons();
}

void TCustomRadioGroup::ItemsChange(TObject*) {
    if (IsLoading()) return;
    if (FItemIndex >= FItems->Count()) FItemIndex = FItems->Count() - 1;
    UpdateButtons();
}

void TCustomRadioGroup::UpdateButtons() {
    FUpdating = true;
    while (static_cast<int>(FButtons.size()) > FItems->Count()) {
        TGroupButton* b = FButtons.back();
        FButtons.pop_back();
        delete b;
    }
    while (static_cast<int>(FButtons.size()) < FItems->Count()) {
        auto* b = new TGroupButton(this);
        b->SetParent(this);
        FButtons.push_back(b);
    }
    for (size_t i = 0; i < FButtons.size(); ++i) {
        TGroupButton* b = FButtons[i];
        b->SetCaption(FItems->Get(static_cast<int>(i)));
        b->SetCheckedQuiet(static_cast<int>(i) == FItemIndex);
        b->SetEnabled(FEnabled);
    }
    FUpdating = false;
    ArrangeButtons();
    Invalidate();
}

void TCustomRadioGroup::ArrangeButtons() {
    if (FButtons.empty()) return;
    int count = static_cast<int>(FButtons.size());
    int perCol = (count + FColumns - 1) / FColumns;
    int buttonWidth = (FWidth - 10) / FColumns;
    int textHeight = CaptionHeight();
    int space = FHeight - textHeight - 5;
    int buttonHeight = space / std::max(perCol, 1);
    int topMargin = textHeight + 1 + (space % std::max(perCol, 1)) / 2;
    for (int i = 0; i < count; ++i) {
        TGroupButton* b = FButtons[static_cast<size_t>(i)];
        b->SetBounds((i / perCol) * buttonWidth + 8, (i % perCol) * buttonHeight + topMargin, buttonWidth,
                     buttonHeight);
        b->SetVisible(true);
    }
}

void TCustomRadioGroup::Resize() {
    TCustomGroupBox::Resize();
    ArrangeButtons();
}

void TCustomRadioGroup::SetColumns(int v) {
    v = std::clamp(v, 1, 16);
    if (v == FColumns) return;
    FColumns = v;
    ArrangeButtons();
    Invalidate();
}

void TCustomRadioGroup::SetItemIndex(int v) {
    if (IsLoading()) {
        FItemIndex = v;
        return;
    }
    v = std::clamp(v, -1, static_cast<int>(FButtons.size()) - 1);
    if (v == FItemIndex) return;
    if (FItemIndex >= 0 && FItemIndex < static_cast<int>(FButtons.size())) {
        FButtons[static_cast<size_t>(FItemIndex)]->SetCheckedQuiet(false);
    }
    FItemIndex = v;
    if (v >= 0) FButtons[static_cast<size_t>(v)]->SetChecked(true);
}

void TCustomRadioGroup::ButtonClick(TGroupButton* button) {
    if (FUpdating) return;
    auto it = std::find(FButtons.begin(), FButtons.end(), button);
    if (it == FButtons.end()) return;
    FItemIndex = static_cast<int>(it - FButtons.begin());
    Click();
}

void TCustomRadioGroup::Dispatch(TMessage& m) {
    if (m.Msg == CM_ENABLEDCHANGED) {
        for (TGroupButton* b : FButtons) b->SetEnabled(FEnabled);
    }
    if (m.Msg == CM_FONTCHANGED) {
        TCustomGroupBox::Dispatch(m);
        ArrangeButtons();
        return;
    }
    if (m.Msg == CM_ENTER) {
        // Entering the group focuses its checked button (or the first one).
        TCustomGroupBox::Dispatch(m);
        return;
    }
    TCustomGroupBox::Dispatch(m);
}

} // namespace qel
