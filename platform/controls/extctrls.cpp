#include "platform/controls/extctrls.h"

#include <algorithm>

#include "platform/controls/publish.h"
#include "platform/graphics/font.h"

namespace qel {

void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
    // Each ring: the top-left edges from the bottom-left corner up and across, then the bottom-right
    // edges from the top-right corner down and back; lines exclude their end points.
    canvas->GetPen()->SetWidth(1);
    canvas->GetPen()->SetStyle(psSolid);
    rect.Bottom -= 1;
    rect.Right -= 1;
    while (width > 0) {
        --width;
        canvas->GetPen()->SetColor(topColor);
        canvas->Polyline({{rect.Left, rect.Bottom}, {rect.Left, rect.Top}, {rect.Right, rect.Top}});
        canvas->GetPen()->SetColor(bottomColor);
        canvas->Polyline({{rect.Right, rect.Top}, {rect.Right, rect.Bottom}, {rect.Left - 1, rect.Bottom}});
        rect = InflateRect(rect, -1, -1);
    }
    rect.Bottom += 1;
    rect.Right += 1;
}

// ---- TCustomPanel
// -----------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TCustomPanel)
QEL_IMPLEMENT_CLASS(TPanel, [](auto& c) {
    Publish(c, {"Align"});
    c.Property("Alignment", &TCustomPanel::GetAlignment, &TCustomPanel::SetAlignment).Default(taCenter);
    Publish(c, {"Anchors", "AutoSize"});
    c.Property("BevelInner", &TCustomPanel::GetBevelInner, &TCustomPanel::SetBevelInner).Default(bvNone);
    c.Property("BevelOuter", &TCustomPanel::GetBevelOuter, &TCustomPanel::SetBevelOuter).Default(bvRaised);
    c.Property("BevelWidth", &TCustomPanel::GetBevelWidth, &TCustomPanel::SetBevelWidth).Default(1);
    Publish(c, {"BiDiMode", "BorderWidth"});
    c.Property("BorderStyle", &TCustomPanel::GetBorderStyle, &TCustomPanel::SetBorderStyle).Default(bsNone);
    Publish(c, {"Caption", "Color", "Constraints", "Ctl3D", "UseDockManager", "DockSite", "DragCursor",
                "DragKind", "DragMode", "Enabled"});
    c.Property("FullRepaint", &TCustomPanel::GetFullRepaint, &TCustomPanel::SetFullRepaint).Default(true);
    Publish(c, {"Font"});
    c.Property("Locked", &TCustomPanel::GetLocked, &TCustomPanel::SetLocked).Default(false);
    Publish(c, {"ParentBiDiMode", "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint", "PopupMenu",
                "ShowHint", "TabOrder", "TabStop", "Visible"});
    Publish(c, {"OnCanResize", "OnClick", "OnConstrainedResize", "OnContextPopup", "OnDblClick", "OnDragDrop",
                "OnDragOver", "OnEndDock", "OnEndDrag", "OnEnter", "OnExit", "OnMouseDown", "OnMouseMove",
                "OnMouseUp", "OnResize", "OnStartDock", "OnStartDrag"});
})

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
    FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                     csOpaque,          csDoubleClicks, csReplicatable};
    DoSetBounds(0, 0, 185, 41);
    FColor = clBtnFace;
    FParentColor = false;
}

void TCustomPanel::SetAlignment(TAlignment v) {
    if (v == FAlignment) return;
    FAlignment = v;
    Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut v) {
    if (v == FBevelInner) return;
    FBevelInner = v;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut v) {
    if (v == FBevelOuter) return;
    FBevelOuter = v;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelWidth(int v) {
    v = std::max(v, 1);
    if (v == FBevelWidth) return;
    FBevelWidth = v;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle v) {
    if (v > bsSingle) v = bsSingle;
    if (v == FBorderStyle) return;
    FBorderStyle = v;
    RecreateWnd();
    Realign();
}

void TCustomPanel::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    if (FBorderStyle == bsSingle) {
        if (FCtl3D)
            params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            params.Style |= WS_BORDER;
    }
    if (!FFullRepaint) params.WindowClassStyle &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
}

void TCustomPanel::AdjustClientRect(TRect& rect) {
    TCustomControl::AdjustClientRect(rect);
    int bevel = 0;
    if (FBevelOuter != bvNone) bevel += FBevelWidth;
    if (FBevelInner != bvNone) bevel += FBevelWidth;
    rect = InflateRect(rect, -bevel, -bevel);
}

void TCustomPanel::Paint() {
    TCanvas* cv = Canvas();
    TRect r = GetClientRect();
    auto colors = [](TBevelCut cut, TColor& top, TColor& bottom) {
        top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
        bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
    };
    TColor top, bottom;
    if (FBevelOuter != bvNone) {
        colors(FBevelOuter, top, bottom);
        Frame3D(cv, r, top, bottom, FBevelWidth);
    }
    Frame3D(cv, r, FColor, FColor, FBorderWidth);
    if (FBevelInner != bvNone) {
        colors(FBevelInner, top, bottom);
        Frame3D(cv, r, top, bottom, FBevelWidth);
    }
    cv->GetBrush()->SetColor(FColor);
    cv->GetBrush()->SetStyle(bsSolid);
    cv->FillRect(r);
    std::string caption = GetCaption();
    if (caption.empty()) return;
    cv->GetBrush()->SetStyle(bsClear);
    cv->GetFont()->Assign(FFont.get());
    int fh = cv->TextHeight("W");
    TRect band = r;
    band.Top = (r.Bottom + r.Top - fh) / 2;
    band.Bottom = band.Top + fh;
    unsigned align = FAlignment == taLeftJustify    ? DT_LEFT
                     : FAlignment == taRightJustify ? DT_RIGHT
                                                    : DT_CENTER;
    cv->RequiredState(TCanvasState{csHandleValid, csFontValid, csBrushValid});
    HDC dc = cv->GetHandle();
    SetBkMode(dc, TRANSPARENT);
    if (!IsEnabledChain()) {
        TRect o = OffsetRect(band, 1, 1);
        SetTextColor(dc, ColorToColorRef(clBtnHighlight));
        DrawText(dc, caption, &o, DT_EXPANDTABS | DT_VCENTER | align);
        SetTextColor(dc, ColorToColorRef(clBtnShadow));
    } else {
        SetTextColor(dc, ColorToColorRef(FFont->GetColor()));
    }
    DrawText(dc, caption, &band, DT_EXPANDTABS | DT_VCENTER | align);
}

void TCustomPanel::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_CTL3DCHANGED:
        TCustomControl::Dispatch(m);
        Invalidate();
        return;
    case CM_DIALOGCHAR: TCustomControl::Dispatch(m); return;
    default: TCustomControl::Dispatch(m); return;
    }
}

// ---- TBevel
// ---------------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TBevel, [](auto& c) {
    Publish(c, {"Align", "Anchors", "Constraints", "ParentShowHint"});
    c.Property("Shape", &TBevel::GetShape, &TBevel::SetShape).Default(bsBox);
    Publish(c, {"ShowHint"});
    c.Property("Style", &TBevel::GetStyle, &TBevel::SetStyle).Default(bsLowered);
    Publish(c, {"Visible"});
})

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
    FControlStyle.Include(csReplicatable);
    DoSetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape v) {
    if (v == FShape) return;
    FShape = v;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle v) {
    if (v == FStyle) return;
    FStyle = v;
    Invalidate();
}

void TBevel::Paint() {
    TCanvas* cv = Canvas();
    TColor c1 = FStyle == bsLowered ? clBtnShadow : clBtnHighlight;
    TColor c2 = FStyle == bsLowered ? clBtnHighlight : clBtnShadow;
    TRect r = GetClientRect();
    auto line = [&](TColor c, int x1, int y1, int x2, int y2) {
        cv->GetPen()->SetColor(c);
        cv->MoveTo(x1, y1);
        cv->LineTo(x2, y2);
    };
    int w = r.Width(), h = r.Height();
    switch (FShape) {
    case bsBox: {
        TRect b = r;
        Frame3D(cv, b, c1, c2, 1);
        break;
    }
    case bsFrame: {
        TRect a{0, 0, w - 1, h - 1};
        TRect b{1, 1, w, h};
        TRect t = b;
        Frame3D(cv, t, c2, c2, 1);
        t = a;
        Frame3D(cv, t, c1, c1, 1);
        break;
    }
    case bsTopLine:
        line(c1, 0, 0, w, 0);
        line(c2, 0, 1, w, 1);
        break;
    case bsBottomLine:
        line(c1, 0, h - 2, w, h - 2);
        line(c2, 0, h - 1, w, h - 1);
        break;
    case bsLeftLine:
        line(c1, 0, 0, 0, h);
        line(c2, 1, 0, 1, h);
        break;
    case bsRightLine:
        line(c1, w - 2, 0, w - 2, h);
        line(c2, w - 1, 0, w - 1, h);
        break;
    case bsSpacer: break;
    }
}

// ---- TImage
// ---------------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TImage, [](auto& c) {
    Publish(c, {"Align", "Anchors", "AutoSize"});
    c.Property("Center", &TImage::GetCenter, &TImage::SetCenter).Default(false);
    Publish(c, {"Constraints", "DragCursor", "DragKind", "DragMode", "Enabled"});
    c.Property("IncrementalDisplay", &TImage::GetIncrementalDisplay, &TImage::SetIncrementalDisplay)
        .Default(false);
    Publish(c, {"ParentShowHint"});
    c.Object("Picture", &TImage::GetPicture, &TImage::SetPicture);
    Publish(c, {"PopupMenu"});
    c.Property("Proportional", &TImage::GetProportional, &TImage::SetProportional).Default(false);
    Publish(c, {"ShowHint"});
    c.Property("Stretch", &TImage::GetStretch, &TImage::SetStretch).Default(false);
    c.Property("Transparent", &TImage::GetTransparent, &TImage::SetTransparent).Default(false);
    Publish(c, {"Visible"});
    Publish(c, {"OnClick", "OnContextPopup", "OnDblClick", "OnDragDrop", "OnDragOver", "OnEndDock",
                "OnEndDrag", "OnMouseDown", "OnMouseMove", "OnMouseUp", "OnStartDock", "OnStartDrag"});
})

TImage::TImage(TComponent* owner) : TGraphicControl(owner), FPicture(std::make_unique<TPicture>()) {
    FControlStyle.Include(csReplicatable);
    FPicture->SetOnChange(TNotifyEvent(this, &TImage::PictureChanged));
    DoSetBounds(0, 0, 105, 105);
}

TImage::~TImage() {
    FPicture->SetOnChange(nullptr);
}

void TImage::SetStretch(bool v) {
    if (v == FStretch) return;
    FStretch = v;
    PictureChanged(this);
}

void TImage::SetCenter(bool v) {
    if (v == FCenter) return;
    FCenter = v;
    PictureChanged(this);
}

void TImage::SetTransparent(bool v) {
    if (v == FTransparent) return;
    FTransparent = v;
    PictureChanged(this);
}

void TImage::SetProportional(bool v) {
    if (v == FProportional) return;
    FProportional = v;
    PictureChanged(this);
}

TRect TImage::DestRect() const {
    int w = FPicture->GetWidth(), h = FPicture->GetHeight();
    int cw = GetClientWidth(), ch = GetClientHeight();
    if (FStretch || (FProportional && (w > cw || h > ch))) {
        if (FProportional && w > 0 && h > 0) {
            // Fit inside the client keeping the aspect ratio.
            double xy = static_cast<double>(w) / h;
            if (static_cast<double>(cw) / ch > xy) {
                h = ch;
                w = static_cast<int>(ch * xy);
            } else {
                w = cw;
                h = static_cast<int>(cw / xy);
            }
        } else {
            w = cw;
            h = ch;
        }
    }
    TRect r{0, 0, w, h};
    if (FCenter) r = OffsetRect(r, (cw - w) / 2, (ch - h) / 2);
    return r;
}

bool TImage::CanAutoSize(int& newWidth, int& newHeight) {
    if (FPicture->GetWidth() <= 0 || FPicture->GetHeight() <= 0) return false;
    if (FAlign == alNone || FAlign == alLeft || FAlign == alRight) newWidth = FPicture->GetWidth();
    if (FAlign == alNone || FAlign == alTop || FAlign == alBottom) newHeight = FPicture->GetHeight();
    return true;
}

void TImage::PictureChanged(TObject*) {
    if (TGraphic* g = FPicture->GetGraphic()) {
        if (auto* b = dynamic_cast<TBitmap*>(g)) {
            if (!b->Empty() && b->GetTransparent() != FTransparent) b->SetTransparent(FTransparent);
        }
    }
    if (FAutoSize && FPicture->GetWidth() > 0 && FPicture->GetHeight() > 0) AdjustSize();
    Invalidate();
}

void TImage::Paint() {
    TGraphic* g = FPicture->GetGraphic();
    if (IsDesigning()) {
        Canvas()->GetPen()->SetStyle(psDash);
        Canvas()->GetBrush()->SetStyle(bsClear);
        Canvas()->Rectangle(GetClientRect());
    }
    if (g && !g->Empty()) Canvas()->StretchDraw(DestRect(), g);
}

// ---- TScrollBox
// --------------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TScrollBox, [](auto& c) {
    Publish(c, {"Align", "Anchors"});
    c.Property("AutoScroll", &TScrollingWinControl::GetAutoScroll, &TScrollingWinControl::SetAutoScroll)
        .Default(true);
    Publish(c, {"AutoSize", "BiDiMode"});
    c.Property("BorderStyle", &TScrollBox::GetBorderStyle, &TScrollBox::SetBorderStyle).Default(bsSingle);
    Publish(c, {"Constraints", "DockSite", "DragCursor", "DragKind", "DragMode", "Enabled", "Color", "Ctl3D",
                "Font"});
    c.Object("HorzScrollBar", &TScrollingWinControl::GetHorzScrollBar,
             &TScrollingWinControl::SetHorzScrollBar);
    Publish(c, {"ParentBiDiMode", "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint", "PopupMenu",
                "ShowHint", "TabOrder", "TabStop"});
    c.Object("VertScrollBar", &TScrollingWinControl::GetVertScrollBar,
             &TScrollingWinControl::SetVertScrollBar);
    Publish(c, {"Visible"});
    Publish(c, {"OnCanResize", "OnClick", "OnConstrainedResize", "OnContextPopup", "OnDblClick", "OnDragDrop",
                "OnDragOver", "OnEndDock", "OnEndDrag", "OnEnter", "OnExit", "OnMouseDown", "OnMouseMove",
                "OnMouseUp", "OnResize", "OnStartDock", "OnStartDrag"});
})

TScrollBox::TScrollBox(TComponent* owner) : TScrollingWinControl(owner) {
    FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    FControlStyle.Exclude(csSetCaption);
    DoSetBounds(0, 0, 185, 41);
}

void TScrollBox::SetBorderStyle(TBorderStyle v) {
    if (v > bsSingle) v = bsSingle;
    if (v == FBorderStyle) return;
    FBorderStyle = v;
    RecreateWnd();
    Realign();
}

void TScrollBox::CreateParams(TCreateParams& params) {
    TScrollingWinControl::CreateParams(params);
    params.Style |= WS_CLIPCHILDREN;
    if (FBorderStyle == bsSingle) {
        // A sunken client edge with Ctl3D, a flat one-pixel border without.
        if (FCtl3D)
            params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            params.Style |= WS_BORDER;
    }
}

void TScrollBox::Dispatch(TMessage& m) {
    if (m.Msg == CM_CTL3DCHANGED && FBorderStyle == bsSingle) {
        TScrollingWinControl::Dispatch(m);
        RecreateWnd();
        Realign();
        return;
    }
    TScrollingWinControl::Dispatch(m);
}

// ---- TSpeedButton
// ----------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TSpeedButton, [](auto& c) {
    Publish(c, {"Action", "Align"});
    c.Property("AllowAllUp", &TSpeedButton::GetAllowAllUp, &TSpeedButton::SetAllowAllUp).Default(false);
    Publish(c, {"Anchors", "BiDiMode", "Constraints"});
    c.Property("GroupIndex", &TSpeedButton::GetGroupIndex, &TSpeedButton::SetGroupIndex).Default(0);
    c.Property("Down", &TSpeedButton::GetDown, &TSpeedButton::SetDown).Default(false);
    Publish(c, {"Caption", "Enabled"});
    c.Property("Flat", &TSpeedButton::GetFlat, &TSpeedButton::SetFlat).Default(false);
    Publish(c, {"Font"});
    c.Object("Glyph", &TSpeedButton::GetGlyph, &TSpeedButton::SetGlyph);
    c.Property("Layout", &TSpeedButton::GetLayout, &TSpeedButton::SetLayout).Default(blGlyphLeft);
    c.Property("Margin", &TSpeedButton::GetMargin, &TSpeedButton::SetMargin).Default(-1);
    c.Property("NumGlyphs", &TSpeedButton::GetNumGlyphs, &TSpeedButton::SetNumGlyphs).Default(1);
    Publish(c, {"ParentFont", "ParentShowHint", "ParentBiDiMode", "PopupMenu", "ShowHint"});
    c.Property("Spacing", &TSpeedButton::GetSpacing, &TSpeedButton::SetSpacing).Default(4);
    c.Property("Transparent", &TSpeedButton::GetTransparent, &TSpeedButton::SetTransparent).Default(true);
    Publish(c, {"Visible"});
    Publish(c, {"OnClick", "OnDblClick", "OnMouseDown", "OnMouseMove", "OnMouseUp"});
})

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner), FGlyph(std::make_unique<TBitmap>()) {
    DoSetBounds(0, 0, 23, 22);
    FControlStyle = {csCaptureMouse, csDoubleClicks};
    FGlyph->SetOnChange(TNotifyEvent(this, &TSpeedButton::GlyphChanged));
}

TSpeedButton::~TSpeedButton() {
    FGlyph->SetOnChange(nullptr);
}

void TSpeedButton::GlyphChanged(TObject*) {
    // A glyph strip holds up to four images side by side.
    int w = FGlyph->GetWidth(), h = FGlyph->GetHeight();
    if (w > 0 && h > 0 && w % h == 0) {
        int n = w / h;
        if (n >= 1 && n <= 4) FNumGlyphs = n;
    }
    Invalidate();
}

void TSpeedButton::SetAllowAllUp(bool v) {
    if (v == FAllowAllUp) return;
    FAllowAllUp = v;
    UpdateExclusive();
}

void TSpeedButton::SetGroupIndex(int v) {
    if (v == FGroupIndex) return;
    FGroupIndex = v;
    UpdateExclusive();
}

void TSpeedButton::SetDown(bool v) {
    if (FGroupIndex == 0) v = false;
    if (v == FDown) return;
    if (FDown && !FAllowAllUp && !IsLoading()) return; // one of the group stays down
    FDown = v;
    if (v) {
        if (FState == bsUp) Invalidate();
        FState = bsExclusive;
    } else {
        FState = bsUp;
        Repaint();
    }
    if (v) UpdateExclusive();
}

void TSpeedButton::SetFlat(bool v) {
    if (v == FFlat) return;
    FFlat = v;
    Invalidate();
}

void TSpeedButton::SetNumGlyphs(int v) {
    v = std::clamp(v, 1, 4);
    if (v == FNumGlyphs) return;
    FNumGlyphs = v;
    Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout v) {
    if (v == FLayout) return;
    FLayout = v;
    Invalidate();
}

void TSpeedButton::SetMargin(int v) {
    if (v == FMargin || v < -1) return;
    FMargin = v;
    Invalidate();
}

void TSpeedButton::SetSpacing(int v) {
    if (v == FSpacing) return;
    FSpacing = v;
    Invalidate();
}

void TSpeedButton::SetTransparent(bool v) {
    if (v == FTransparent) return;
    FTransparent = v;
    if (v)
        FControlStyle.Exclude(csOpaque);
    else
        FControlStyle.Include(csOpaque);
    Invalidate();
}

void TSpeedButton::UpdateExclusive() {
    if (FGroupIndex == 0 || !FParent) return;
    TMessage m{CM_BUTTONPRESSED, static_cast<uintptr_t>(FGroupIndex), reinterpret_cast<intptr_t>(this), 0};
    FParent->Broadcast(m);
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button == mbLeft && IsEnabledChain()) {
        if (!FDown) {
            FState = bsDown;
            Invalidate();
        }
        FDragging = true;
    }
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
    TGraphicControl::MouseMove(shift, x, y);
    if (!FDragging) return;
    // Inside includes the bottom edge, as the classic control has it.
    bool inside = x >= 0 && x < GetClientWidth() && y >= 0 && y <= GetClientHeight();
    TButtonState s = FDown ? bsExclusive : bsUp;
    if (inside) s = FDown ? bsExclusive : bsDown;
    if (s != FState) {
        FState = s;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!FDragging || button != mbLeft) return;
    FDragging = false;
    bool inside = x >= 0 && x < GetClientWidth() && y >= 0 && y <= GetClientHeight();
    if (FGroupIndex == 0) {
        FState = bsUp;
        Invalidate();
    } else if (inside) {
        SetDown(!FDown);
        if (FDown) Repaint();
    } else {
        FState = FDown ? bsExclusive : bsUp;
        Invalidate();
    }
    if (inside) Click();
}

void TSpeedButton::Click() {
    TGraphicControl::Click();
}

void TSpeedButton::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_BUTTONPRESSED: {
        auto* sender = reinterpret_cast<TObject*>(m.LParam);
        auto* other = dynamic_cast<TSpeedButton*>(sender);
        if (other && other != this && static_cast<int>(m.WParam) == FGroupIndex) {
            if (other->FDown && FDown) {
                FDown = false;
                FState = bsUp;
                Invalidate();
            }
            FAllowAllUp = other->FAllowAllUp;
        }
        return;
    }
    case CM_DIALOGCHAR:
        if (IsAccel(static_cast<uint32_t>(m.WParam), GetCaption()) && IsEnabledChain() && GetVisible() &&
            FParent && FParent->Showing()) {
            Click();
            m.Result = 1;
        }
        return;
    case CM_ENABLEDCHANGED:
        if (!FEnabled)
            FState = bsDisabled;
        else
            FState = FDown ? bsExclusive : bsUp;
        Invalidate();
        return;
    case CM_MOUSEENTER:
        TGraphicControl::Dispatch(m);
        if (FFlat && IsEnabledChain()) Invalidate();
        return;
    case CM_MOUSELEAVE:
        TGraphicControl::Dispatch(m);
        if (FFlat && IsEnabledChain()) Invalidate();
        return;
    default: TGraphicControl::Dispatch(m); return;
    }
}

void TSpeedButton::DrawGlyph(HDC dc, TRect area, TButtonState state, TRect& textRect) {
    int gw = 0, gh = 0;
    bool hasGlyph = !FGlyph->Empty();
    if (hasGlyph) {
        gw = FGlyph->GetWidth() / FNumGlyphs;
        gh = FGlyph->GetHeight();
    }
    std::string caption = GetCaption();
    TSize ts{0, 0};
    if (!caption.empty()) {
        TRect calc{0, 0, area.Width(), 0};
        HGDIOBJ old = SelectObject(dc, FFont->GetHandle());
        DrawText(dc, caption, &calc, DT_CALCRECT | DT_SINGLELINE);
        SelectObject(dc, old);
        ts = {calc.Width(), calc.Height()};
    }
    // Layout: glyph and caption centred together unless Margin fixes the glyph's distance to the edge.
    bool horizontal = FLayout == blGlyphLeft || FLayout == blGlyphRight;
    int spacing = (hasGlyph && !caption.empty()) ? std::max(FSpacing, 0) : 0;
    int total = horizontal ? gw + spacing + ts.cx : gh + spacing + ts.cy;
    int avail = horizontal ? area.Width() : area.Height();
    int margin = FMargin >= 0 ? FMargin : (avail - total) / 2;
    TPoint gp, tp;
    int cx = area.Left + (area.Width() - gw) / 2, cy = area.Top + (area.Height() - gh) / 2;
    int tx = area.Left + (area.Width() - ts.cx) / 2, ty = area.Top + (area.Height() - ts.cy) / 2;
    switch (FLayout) {
    case blGlyphLeft:
        gp = {area.Left + margin, cy};
        tp = {gp.X + gw + spacing, ty};
        break;
    case blGlyphRight:
        gp = {area.Right - margin - gw, cy};
        tp = {gp.X - spacing - ts.cx, ty};
        break;
    case blGlyphTop:
        gp = {cx, area.Top + margin};
        tp = {tx, gp.Y + gh + spacing};
        break;
    case blGlyphBottom:
        gp = {cx, area.Bottom - margin - gh};
        tp = {tx, gp.Y - spacing - ts.cy};
        break;
    }
    if (hasGlyph) {
        // Glyph strip order: up, disabled, down, exclusive.
        int index = 0;
        switch (state) {
        case bsDisabled: index = FNumGlyphs > 1 ? 1 : 0; break;
        case bsDown: index = FNumGlyphs > 2 ? 2 : 0; break;
        case bsExclusive: index = FNumGlyphs > 3 ? 3 : (FNumGlyphs > 2 ? 2 : 0); break;
        default: break;
        }
        TBitmap* g = FGlyph.get();
        HDC src = g->GetCanvas()->GetHandle();
        COLORREF key = ColorToColorRef(g->GetTransparentColor());
        if (state == bsDisabled && FNumGlyphs < 2) {
            // The disabled look of a one-state glyph: its non-key pixels embossed in highlight and shadow.
            for (int pass = 0; pass < 2; ++pass) {
                COLORREF col = ColorToColorRef(pass == 0 ? clBtnHighlight : clBtnShadow);
                int off = pass == 0 ? 1 : 0;
                for (int y = 0; y < gh; ++y)
                    for (int x = 0; x < gw; ++x) {
                        COLORREF p = GetPixel(src, index * gw + x, y);
                        if (p == key) continue;
                        int lum = (GetRValue(p) * 30 + GetGValue(p) * 59 + GetBValue(p) * 11) / 100;
                        if (lum > 192) continue;
                        SetPixelV(dc, gp.X + x + off, gp.Y + y + off, col);
                    }
            }
        } else {
            TransparentBlt(dc, gp.X, gp.Y, gw, gh, src, index * gw, 0, gw, gh, key);
        }
    }
    textRect = {tp.X, tp.Y, tp.X + ts.cx, tp.Y + ts.cy};
}

void TSpeedButton::Paint() {
    TCanvas* cv = Canvas();
    HDC dc = cv->GetHandle();
    TRect r = GetClientRect();
    TButtonState state = IsEnabledChain() ? FState : bsDisabled;
    if (!IsEnabledChain())
        state = bsDisabled;
    else if (state == bsDisabled)
        state = FDown ? bsExclusive : bsUp;
    bool pushed = state == bsDown || state == bsExclusive;
    if (!FFlat) {
        DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0u));
        r = InflateRect(r, -1, -1);
        if (!pushed) r = InflateRect(r, -1, -1);
    } else {
        if (!FTransparent || pushed) {
            HBRUSH b = CreateSolidBrush(ColorToColorRef(clBtnFace));
            FillRect(dc, &r, b);
            DeleteObject(b);
        }
        if (pushed || (FMouseInControl && state != bsDisabled)) {
            TRect e = r;
            DrawEdge(dc, &e, pushed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        }
        r = InflateRect(r, -1, -1);
    }
    if (state == bsExclusive && !(FFlat && FMouseInControl)) {
        // The latched face: a checkered pattern of face and highlight.
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (((x + y) & 1) == 0) SetPixelV(dc, x, y, ColorToColorRef(clBtnHighlight));
    }
    TRect area = r;
    if (pushed) area = OffsetRect(area, 1, 1);
    TRect textRect;
    DrawGlyph(dc, area, state, textRect);
    std::string caption = GetCaption();
    if (!caption.empty()) {
        cv->GetFont()->Assign(FFont.get());
        cv->RequiredState(TCanvasState{csHandleValid, csFontValid});
        SetBkMode(dc, TRANSPARENT);
        if (state == bsDisabled) {
            TRect o = OffsetRect(textRect, 1, 1);
            SetTextColor(dc, ColorToColorRef(clBtnHighlight));
            DrawText(dc, caption, &o, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            SetTextColor(dc, ColorToColorRef(clBtnShadow));
        } else
            SetTextColor(dc, ColorToColorRef(FFont->GetColor()));
        DrawText(dc, caption, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

} // namespace qel
