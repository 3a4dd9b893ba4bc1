#pragma once
// The edge panel: a panel whose bevels are drawn only on a chosen subset of its edges and which can be
// transparent, and the picture group built on it (a captioned group with a picture under its caption).
#include <memory>

#include "platform/controls/extctrls.h"

namespace qel {

QEL_ENUM(TBevelEdge, beLeft, beTop, beRight, beBottom)
using TBevelEdges = Set<TBevelEdge>;
inline constexpr TBevelEdges AllBevelEdges{beLeft, beTop, beRight, beBottom};

// Draws `width` rings of a raised or lowered bevel on the chosen edges of `rect` with a one-pixel pen.
// Every ring shrinks `rect` by one pixel on all four sides, whether or not its edges are drawn, so the
// content area is inset alike whatever the edge set. Does nothing for bvNone.
void DrawBevelEdges(TCanvas* canvas, TRect& rect, TBevelCut cut, int width, TBevelEdges edges);

class TqelCustomEdgePanel : public TCustomPanel {
    QEL_CLASS(TqelCustomEdgePanel, TCustomPanel)
    explicit TqelCustomEdgePanel(TComponent* owner);

    TBevelEdges GetBevelEdges() const { return FBevelEdges; }
    void SetBevelEdges(TBevelEdges value);
    bool GetTransparent() const { return FTransparent; }
    void SetTransparent(bool value);

    void Invalidate() override;
    void AlignControls(TControl* control, TRect& rect) override;
    void Dispatch(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    // Background, outer bevel, border rings and inner bevel on the chosen edges; returns the rectangle
    // left inside them.
    TRect PaintFrame();
    // The caption centred vertically in `r` with the panel's alignment.
    void PaintCaption(const TRect& r);

    TBevelEdges FBevelEdges = AllBevelEdges;
    bool FTransparent = false;
};

class TqelEdgePanel : public TqelCustomEdgePanel {
    QEL_CLASS(TqelEdgePanel, TqelCustomEdgePanel)
    using TqelCustomEdgePanel::TqelCustomEdgePanel;
};

class TqelPictureGroup : public TqelEdgePanel {
    QEL_CLASS(TqelPictureGroup, TqelEdgePanel)
    explicit TqelPictureGroup(TComponent* owner);
    ~TqelPictureGroup() override;

    TAlignment GetAlignPicture() const { return FAlignPicture; }
    void SetAlignPicture(TAlignment value);
    bool GetLineRaised() const { return FLineRaised; }
    void SetLineRaised(bool value);
    int GetMarginL() const { return FMarginL; }
    void SetMarginL(int value);
    int GetMarginT() const { return FMarginT; }
    void SetMarginT(int value);
    int GetMarginR() const { return FMarginR; }
    void SetMarginR(int value);
    int GetMarginB() const { return FMarginB; }
    void SetMarginB(int value);
    int GetOffset() const { return FOffset; }
    void SetOffset(int value);
    TPicture* GetPicture() const { return FPicture.get(); }
    void SetPicture(TPicture* value);

    void AdjustClientRect(TRect& rect) override;
    void Dispatch(TMessage& message) override;

    // Where the caption line and the picture go (client coordinates), for painting and tests.
    int CaptionLineY();
    TPoint PicturePosition();

protected:
    void Paint() override;
    void Loaded() override;

private:
    void PictureChanged(TObject* sender);
    void SetMargin(int& field, int value);
    TRect InnerRect(int& textHeight);

    TAlignment FAlignPicture = taLeftJustify;
    bool FLineRaised = false;
    int FMarginL = 60, FMarginT = 35, FMarginR = 20, FMarginB = 10;
    int FOffset = 10;
    std::unique_ptr<TPicture> FPicture;
};

} // namespace qel
