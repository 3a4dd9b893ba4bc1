#pragma once
// Panels, images, scroll boxes, bevels and the speed button.
#include <memory>

#include "platform/controls/stdctrls.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/picture.h"

namespace qel {

QEL_ENUM(TBevelCut, bvNone, bvLowered, bvRaised, bvSpace)
QEL_ENUM(TBevelShape, bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer)
QEL_ENUM(TBevelStyle, bsLowered, bsRaised)

// Draws `width` rings around `rect` (top-left edges in topColor, bottom-right in bottomColor) and
// shrinks `rect` by them.
void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

class TCustomPanel : public TCustomControl {
    QEL_CLASS(TCustomPanel, TCustomControl)
    explicit TCustomPanel(TComponent* owner);
    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    TBevelCut GetBevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut v);
    TBevelCut GetBevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut v);
    int GetBevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int v);
    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);
    bool GetLocked() const { return FLocked; }
    void SetLocked(bool v) { FLocked = v; }
    bool GetFullRepaint() const { return FFullRepaint; }
    void SetFullRepaint(bool v) { FFullRepaint = v; }
    void AdjustClientRect(TRect& rect) override;
    void Dispatch(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    TAlignment FAlignment = taCenter;
    TBevelCut FBevelInner = bvNone;
    TBevelCut FBevelOuter = bvRaised;
    int FBevelWidth = 1;
    TBorderStyle FBorderStyle = bsNone;
    bool FLocked = false;
    bool FFullRepaint = true;
};

class TPanel : public TCustomPanel {
    QEL_CLASS(TPanel, TCustomPanel)
    using TCustomPanel::TCustomPanel;
};

class TBevel : public TGraphicControl {
    QEL_CLASS(TBevel, TGraphicControl)
    explicit TBevel(TComponent* owner);
    TBevelShape GetShape() const { return FShape; }
    void SetShape(TBevelShape v);
    TBevelStyle GetStyle() const { return FStyle; }
    void SetStyle(TBevelStyle v);

protected:
    void Paint() override;
    TBevelShape FShape = bsBox;
    TBevelStyle FStyle = bsLowered;
};

class TImage : public TGraphicControl {
    QEL_CLASS(TImage, TGraphicControl)
    explicit TImage(TComponent* owner);
    ~TImage() override;
    TPicture* GetPicture() const { return FPicture.get(); }
    void SetPicture(TPicture* v) { FPicture->Assign(v); }
    bool GetStretch() const { return FStretch; }
    void SetStretch(bool v);
    bool GetCenter() const { return FCenter; }
    void SetCenter(bool v);
    bool GetTransparent() const { return FTransparent; }
    void SetTransparent(bool v);
    bool GetProportional() const { return FProportional; }
    void SetProportional(bool v);
    bool GetIncrementalDisplay() const { return FIncrementalDisplay; }
    void SetIncrementalDisplay(bool v) { FIncrementalDisplay = v; }
    // The rectangle the picture is drawn into.
    TRect DestRect() const;
    bool CanAutoSize(int& newWidth, int& newHeight) override;

protected:
    void Paint() override;
    void PictureChanged(TObject* sender);
    std::unique_ptr<TPicture> FPicture;
    bool FStretch = false;
    bool FCenter = false;
    bool FTransparent = false;
    bool FProportional = false;
    bool FIncrementalDisplay = false;
};

class TScrollBox : public TScrollingWinControl {
    QEL_CLASS(TScrollBox, TScrollingWinControl)
    explicit TScrollBox(TComponent* owner);
    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);
    void Dispatch(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    TBorderStyle FBorderStyle = bsSingle;
};

// ---- speed button
// ------------------------------------------------------------------------------------------

QEL_ENUM(TButtonLayout, blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom)
QEL_ENUM(TButtonState, bsUp, bsDisabled, bsDown, bsExclusive)

class TSpeedButton : public TGraphicControl {
    QEL_CLASS(TSpeedButton, TGraphicControl)
    explicit TSpeedButton(TComponent* owner);
    ~TSpeedButton() override;
    bool GetAllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool v);
    int GetGroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int v);
    bool GetDown() const { return FDown; }
    void SetDown(bool v);
    bool GetFlat() const { return FFlat; }
    void SetFlat(bool v);
    TBitmap* GetGlyph() const { return FGlyph.get(); }
    void SetGlyph(TBitmap* v) { FGlyph->Assign(v); }
    int GetNumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int v);
    TButtonLayout GetLayout() const { return FLayout; }
    void SetLayout(TButtonLayout v);
    int GetMargin() const { return FMargin; }
    void SetMargin(int v);
    int GetSpacing() const { return FSpacing; }
    void SetSpacing(int v);
    bool GetTransparent() const { return FTransparent; }
    void SetTransparent(bool v);
    TButtonState State() const { return FState; }
    bool MouseInControl() const { return FMouseInControl; }
    void Click() override;
    void Dispatch(TMessage& message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void UpdateExclusive();
    void GlyphChanged(TObject* sender);
    void DrawGlyph(HDC dc, TRect area, TButtonState state, TRect& textRect);
    std::unique_ptr<TBitmap> FGlyph;
    int FGroupIndex = 0;
    bool FDown = false;
    bool FAllowAllUp = false;
    bool FFlat = false;
    int FNumGlyphs = 1;
    TButtonLayout FLayout = blGlyphLeft;
    int FMargin = -1;
    int FSpacing = 4;
    bool FTransparent = true;
    TButtonState FState = bsUp;
    bool FDragging = false;
};

} // namespace qel
