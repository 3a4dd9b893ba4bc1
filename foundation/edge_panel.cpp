#include "foundation/edge_panel.h"

#include <algorithm>

#include "platform/controls/publish.h"
#include "platform/graphics/color.h"
#include "platform/graphics/font.h"

namespace qel {

namespace {
// Caption texts are drawn up to this many characters.
constexpr size_t kMaxCaption = 255;

UINT AlignmentFlags(TAlignment a) {
    return a == taLeftJustify ? DT_LEFT : a == taRightJustify ? DT_RIGHT : DT_CENTER;
}
} // namespace

void DrawBevelEdges(TCanvas* canvas, TRect& rect, TBevelCut cut, int width, TBevelEdges edges) {
    if (cut == bvNone) return;
    TColor topLeft = cut == bvLowered ? clBtnShadow : clBtnHighlight;
    TColor bottomRight = cut == bvLowered ? clBtnHighlight : clBtnShadow;
    TPen* pen = canvas->GetPen();
    pen->SetWidth(1);
    pen->SetStyle(psSolid);
    rect.Right -= 1;
    rect.Bottom -= 1;
    for (int ring = 0; ring < width; ++ring) {
        pen->SetColor(topLeft);
        canvas->MoveTo(rect.Left, rect.Bottom);
        if (edges.Contains(beLeft))
            canvas->LineTo(rect.Left, rect.Top);
        else
            canvas->MoveTo(rect.Left, rect.Top);
        if (edges.Contains(beTop))
            canvas->LineTo(rect.Right, rect.Top);
        else
            canvas->MoveTo(rect.Right, rect.Top);
        pen->SetColor(bottomRight);
        if (edges.Contains(beRight))
            canvas->LineTo(rect.Right, rect.Bottom);
        else
            canvas->MoveTo(rect.Right, rect.Bottom);
        if (edges.Contains(beBottom)) canvas->LineTo(rect.Left - 1, rect.Bottom);
        rect = InflateRect(rect, -1, -1);
    }
    rect.Right += 1;
    rect.Bottom += 1;
}

// ---- TqelCustomEdgePanel
// ---------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TqelCustomEdgePanel)

TqelCustomEdgePanel::TqelCustomEdgePanel(TComponent* owner) : TCustomPanel(owner) {
    // The caption is not taken from the component's name.
    FControlStyle.Exclude(csSetCaption);
    FBevelEdges = AllBevelEdges;
}

void TqelCustomEdgePanel::SetBevelEdges(TBevelEdges value) {
    if (value == FBevelEdges) return;
    FBevelEdges = value;
    Invalidate();
}

void TqelCustomEdgePanel::SetTransparent(bool value) {
    if (value == FTransparent) return;
    FTransparent = value;
    if (value)
        FControlStyle.Exclude(csOpaque);
    else
        FControlStyle.Include(csOpaque);
    // The extended window style changes with the setting.
    if (HandleAllocated()) RecreateWnd();
    if (!IsDestroying()) Invalidate();
}

void TqelCustomEdgePanel::CreateParams(TCreateParams& params) {
    TCustomPanel::CreateParams(params);
    if (FTransparent) params.ExStyle |= WS_EX_TRANSPARENT;
}

void TqelCustomEdgePanel::Invalidate() {
    if (FTransparent && FParent && FParent->HandleAllocated()) {
        TRect r = BoundsRect();
        InvalidateRect(FParent->Handle(), &r, true);
        for (int i = 0; i < ControlCount(); ++i) Controls(i)->Invalidate();
    }
    TCustomPanel::Invalidate();
}

void TqelCustomEdgePanel::AlignControls(TControl* control, TRect& rect) {
    TCustomPanel::AlignControls(control, rect);
    if (FTransparent) Invalidate();
}

void TqelCustomEdgePanel::Dispatch(TMessage& message) {
    if (message.Msg == WM_ERASEBKGND && FTransparent) {
        message.Result = 1;
        return;
    }
    TCustomPanel::Dispatch(message);
    if (message.Msg == WM_MOVE && FTransparent) Invalidate();
}

TRect TqelCustomEdgePanel::PaintFrame() {
    TCanvas* cv = Canvas();
    TRect r = GetClientRect();
    cv->GetBrush()->SetColor(FColor);
    cv->GetBrush()->SetStyle(bsSolid);
    if (!FTransparent) cv->FillRect(r);
    DrawBevelEdges(cv, r, FBevelOuter, FBevelWidth, FBevelEdges);
    Frame3D(cv, r, FColor, FColor, FBorderWidth);
    DrawBevelEdges(cv, r, FBevelInner, FBevelWidth, FBevelEdges);
    return r;
}

void TqelCustomEdgePanel::PaintCaption(const TRect& r) {
    std::string caption = GetCaption();
    if (caption.empty()) return;
    if (caption.size() > kMaxCaption) caption.resize(kMaxCaption);
    TCanvas* cv = Canvas();
    cv->GetBrush()->SetStyle(bsClear);
    cv->GetFont()->Assign(FFont.get());
    int h = cv->TextHeight("W");
    TRect band = r;
    band.Top = r.Top + (r.Height() - h) / 2;
    band.Bottom = band.Top + h;
    cv->RequiredState(TCanvasState{csHandleValid, csFontValid, csBrushValid});
    HDC dc = cv->GetHandle();
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorRef(FFont->GetColor()));
    DrawText(dc, caption, &band, DT_EXPANDTABS | DT_VCENTER | AlignmentFlags(FAlignment));
}

void TqelCustomEdgePanel::Paint() {
    if (FBevelEdges == AllBevelEdges && !FTransparent) {
        TCustomPanel::Paint();
        return;
    }
    TRect r = PaintFrame();
    PaintCaption(r);
}

QEL_IMPLEMENT_CLASS(TqelEdgePanel, [](auto& c) {
    Publish(c, {"Align"});
    c.Property("Alignment", &TCustomPanel::GetAlignment, &TCustomPanel::SetAlignment).Default(taCenter);
    Publish(c, {"Anchors"});
    c.Property("BevelEdges", &TqelCustomEdgePanel::GetBevelEdges, &TqelCustomEdgePanel::SetBevelEdges)
        .Default(AllBevelEdges);
    c.Property("BevelInner", &TCustomPanel::GetBevelInner, &TCustomPanel::SetBevelInner).Default(bvNone);
    c.Property("BevelOuter", &TCustomPanel::GetBevelOuter, &TCustomPanel::SetBevelOuter).Default(bvRaised);
    c.Property("BevelWidth", &TCustomPanel::GetBevelWidth, &TCustomPanel::SetBevelWidth).Default(1);
    Publish(c, {"BorderWidth"});
    c.Property("BorderStyle", &TCustomPanel::GetBorderStyle, &TCustomPanel::SetBorderStyle).Default(bsNone);
    Publish(c, {"Caption", "Color", "Constraints", "Ctl3D", "UseDockManager", "DockSite", "DragCursor",
                "DragKind", "DragMode", "Enabled", "Font"});
    c.Property("Locked", &TCustomPanel::GetLocked, &TCustomPanel::SetLocked).Default(false);
    Publish(c, {"ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint", "PopupMenu", "ShowHint",
                "TabOrder", "TabStop"});
    c.Property("Transparent", &TqelCustomEdgePanel::GetTransparent, &TqelCustomEdgePanel::SetTransparent)
        .Default(false);
    Publish(c, {"Visible"});
    Publish(c, {"OnCanResize", "OnClick", "OnConstrainedResize", "OnContextPopup", "OnDblClick", "OnDragDrop",
                "OnDragOver", "OnEndDock", "OnEndDrag", "OnEnter", "OnExit", "OnMouseDown", "OnMouseMove",
                "OnMouseUp", "OnResize", "OnStartDock", "OnStartDrag"});
})

// ---- TqelPictureGroup
// ------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TqelPictureGroup, [](auto& c) {
    c.Property("AlignPicture", &TqelPictureGroup::GetAlignPicture, &TqelPictureGroup::SetAlignPicture)
        .Default(taLeftJustify);
    c.Property("Alignment", &TCustomPanel::GetAlignment, &TCustomPanel::SetAlignment).Default(taLeftJustify);
    c.Property("BevelOuter", &TCustomPanel::GetBevelOuter, &TCustomPanel::SetBevelOuter).Default(bvNone);
    c.Property("LineRaised", &TqelPictureGroup::GetLineRaised, &TqelPictureGroup::SetLineRaised)
        .Default(false);
    c.Property("MarginL", &TqelPictureGroup::GetMarginL, &TqelPictureGroup::SetMarginL).Default(60);
    c.Property("MarginT", &TqelPictureGroup::GetMarginT, &TqelPictureGroup::SetMarginT).Default(35);
    c.Property("MarginR", &TqelPictureGroup::GetMarginR, &TqelPictureGroup::SetMarginR).Default(20);
    c.Property("MarginB", &TqelPictureGroup::GetMarginB, &TqelPictureGroup::SetMarginB).Default(10);
    c.Property("Offset", &TqelPictureGroup::GetOffset, &TqelPictureGroup::SetOffset).Default(10);
    c.Object("Picture", &TqelPictureGroup::GetPicture, &TqelPictureGroup::SetPicture);
})

TqelPictureGroup::TqelPictureGroup(TComponent* owner)
    : TqelEdgePanel(owner), FPicture(std::make_unique<TPicture>()) {
    FControlStyle.Include(csSetCaption);
    FAlignment = taLeftJustify;
    FBevelOuter = bvNone;
    FPicture->SetOnChange(TNotifyEvent(this, &TqelPictureGroup::PictureChanged));
    DoSetBounds(FLeft, FTop, 300, 150);
}

TqelPictureGroup::~TqelPictureGroup() {
    FPicture->SetOnChange(nullptr);
}

void TqelPictureGroup::SetMargin(int& field, int value) {
    if (field == value) return;
    field = value;
    if (!IsLoading()) Realign();
}

void TqelPictureGroup::SetMarginL(int value) {
    SetMargin(FMarginL, value);
}
void TqelPictureGroup::SetMarginT(int value) {
    SetMargin(FMarginT, value);
}
void TqelPictureGroup::SetMarginR(int value) {
    SetMargin(FMarginR, value);
}
void TqelPictureGroup::SetMarginB(int value) {
    SetMargin(FMarginB, value);
}

void TqelPictureGroup::SetAlignPicture(TAlignment value) {
    if (value == FAlignPicture) return;
    FAlignPicture = value;
    switch (value) {
    case taLeftJustify: FMarginL = 60, FMarginT = 35, FMarginR = 20, FMarginB = 10; break;
    case taRightJustify: FMarginL = 20, FMarginT = 35, FMarginR = 60, FMarginB = 10; break;
    case taCenter: FMarginL = 20, FMarginT = 80, FMarginR = 20, FMarginB = 10; break;
    }
    if (!IsLoading()) Realign();
    if (FPicture->GetGraphic() && !FPicture->GetGraphic()->Empty()) Invalidate();
}

void TqelPictureGroup::SetLineRaised(bool value) {
    if (value == FLineRaised) return;
    FLineRaised = value;
    Invalidate();
}

void TqelPictureGroup::SetOffset(int value) {
    if (value == FOffset) return;
    FOffset = value;
    Invalidate();
}

void TqelPictureGroup::SetPicture(TPicture* value) {
    FPicture->Assign(value);
}

void TqelPictureGroup::PictureChanged(TObject*) {
    if (TGraphic* g = FPicture->GetGraphic(); g && !g->Empty() && !g->GetTransparent())
        g->SetTransparent(true);
    Invalidate();
}

void TqelPictureGroup::Loaded() {
    TqelEdgePanel::Loaded();
    Realign();
}

void TqelPictureGroup::AdjustClientRect(TRect& rect) {
    TqelEdgePanel::AdjustClientRect(rect);
    rect.Left += FMarginL;
    rect.Top += FMarginT;
    rect.Right -= FMarginR;
    rect.Bottom -= FMarginB;
}

void TqelPictureGroup::Dispatch(TMessage& message) {
    if (message.Msg == CM_DIALOGCHAR && (message.LParam & AltKeyData) &&
        IsAccel(static_cast<uint32_t>(message.WParam), GetCaption()) && CanFocus()) {
        SelectFirst();
        message.Result = 1;
        return;
    }
    TqelEdgePanel::Dispatch(message);
}

TRect TqelPictureGroup::InnerRect(int& textHeight) {
    // The rectangle inside the bevels and border rings, shrunk by Offset.
    TRect r = GetClientRect();
    int inset = FBorderWidth;
    if (FBevelOuter != bvNone) inset += FBevelWidth;
    if (FBevelInner != bvNone) inset += FBevelWidth;
    r = InflateRect(r, -inset - FOffset, -inset - FOffset);
    TCanvas* cv = Canvas();
    cv->GetFont()->Assign(FFont.get());
    textHeight = cv->TextHeight("W");
    return r;
}

int TqelPictureGroup::CaptionLineY() {
    int h = 0;
    TRect r = InnerRect(h);
    return r.Top + h / 2;
}

TPoint TqelPictureGroup::PicturePosition() {
    int h = 0;
    TRect r = InnerRect(h);
    int w = FPicture->GetWidth();
    int x = FAlignPicture == taLeftJustify    ? r.Left
            : FAlignPicture == taRightJustify ? r.Right - w
                                              : (r.Left + r.Right - w) / 2;
    return {x, r.Top + h + FOffset};
}

void TqelPictureGroup::Paint() {
    TCanvas* cv = Canvas();
    TRect r = PaintFrame();
    r = InflateRect(r, -FOffset, -FOffset);
    cv->GetFont()->Assign(FFont.get());
    int h = cv->TextHeight("W");
    TRect band{r.Left, r.Top, r.Right, r.Top + h};
    int y = r.Top + h / 2;
    TColor first = FLineRaised ? clBtnHighlight : clBtnShadow;
    TColor second = FLineRaised ? clBtnShadow : clBtnHighlight;
    cv->GetPen()->SetStyle(psSolid);
    cv->GetPen()->SetWidth(1);
    cv->GetPen()->SetColor(first);
    cv->MoveTo(r.Left, y);
    cv->LineTo(r.Right, y);
    cv->GetPen()->SetColor(second);
    cv->MoveTo(r.Left, y + 1);
    cv->LineTo(r.Right, y + 1);

    std::string caption = GetCaption();
    if (!caption.empty()) {
        if (FAlignment == taLeftJustify)
            caption += "  ";
        else if (FAlignment == taRightJustify)
            caption = "  " + caption;
        else
            caption = "  " + caption + "  ";
        if (caption.size() > kMaxCaption) caption.resize(kMaxCaption);
        cv->GetBrush()->SetStyle(bsSolid);
        cv->GetBrush()->SetColor(FColor);
        cv->RequiredState(TCanvasState{csHandleValid, csFontValid, csBrushValid});
        HDC dc = cv->GetHandle();
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, ColorRef(FColor));
        SetTextColor(dc, ColorRef(FFont->GetColor()));
        DrawText(dc, caption, &band, DT_EXPANDTABS | DT_VCENTER | DT_SINGLELINE | AlignmentFlags(FAlignment));
    }
    if (TGraphic* g = FPicture->GetGraphic(); g && !g->Empty()) {
        int w = g->GetWidth();
        int x = FAlignPicture == taLeftJustify    ? r.Left
                : FAlignPicture == taRightJustify ? r.Right - w
                                                  : (r.Left + r.Right - w) / 2;
        cv->Draw(x, band.Bottom + FOffset, g);
    }
}

} // namespace qel
