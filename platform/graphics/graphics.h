#pragma once
// Drawing tools and the canvas: TFont, TPen and TBrush (persistent, streamable, with OnChange) and
// TCanvas, which realises them into a device context on use and offers the drawing methods.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/component.h"
#include "platform/graphics/font.h"
#include "platform/graphics/gdi.h"

namespace qel {

class TBitmap;
class TGraphic;

QEL_ENUM(TFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut)
using TFontStyles = Set<TFontStyle>;
QEL_ENUM(TFontPitch, fpDefault, fpVariable, fpFixed)
QEL_ENUM(TFontQuality, fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType,
         fqClearTypeNatural)
using TFontCharset = int;
using TFontName = std::string;

QEL_ENUM(TPenStyle, psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame, psUserStyle,
         psAlternate)
QEL_ENUM(TPenMode, pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
         pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor)
QEL_ENUM(TBrushStyle, bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross,
         bsDiagCross)

// Copy modes are raster operations.
using TCopyMode = int32_t;
constexpr TCopyMode cmBlackness = BLACKNESS, cmDstInvert = DSTINVERT, cmMergeCopy = MERGECOPY,
                    cmMergePaint = MERGEPAINT, cmNotSrcCopy = NOTSRCCOPY, cmNotSrcErase = NOTSRCERASE,
                    cmPatCopy = PATCOPY, cmPatInvert = PATINVERT, cmPatPaint = PATPAINT, cmSrcAnd = SRCAND,
                    cmSrcCopy = SRCCOPY, cmSrcErase = SRCERASE, cmSrcInvert = SRCINVERT,
                    cmSrcPaint = SRCPAINT, cmWhiteness = WHITENESS;

// The platform's default font and the screen's logical resolution used to convert point sizes.
constexpr const char* DefFontName = "MS Sans Serif";
constexpr int DefFontHeight = -11;
int ScreenPixelsPerInch();
// Windows-compatible MulDiv: a * b / c rounded half away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

// Base of the drawing tools: an OnChange notification and a realised handle that is dropped on change.
class TGraphicsObject : public TPersistent {
    QEL_CLASS(TGraphicsObject, TPersistent)
    TNotifyEvent GetOnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }

protected:
    virtual void Changed();

private:
    TNotifyEvent FOnChange;
};

class TFont : public TGraphicsObject {
    QEL_CLASS(TFont, TGraphicsObject)
    TFont();
    ~TFont() override;
    void Assign(TPersistent* source) override;

    // A font realising this description (owned by the font; valid until the next change).
    HFONT GetHandle();
    // Adopts the description of a logical font handle.
    void SetHandle(HFONT font);
    LOGFONT GetLogFont() const;
    void SetLogFont(const LOGFONT& lf);

    TFontCharset GetCharset() const { return FCharset; }
    void SetCharset(TFontCharset v);
    TColor GetColor() const { return FColor; }
    void SetColor(TColor v);
    int GetHeight() const { return FHeight; }
    void SetHeight(int v);
    std::string GetName() const { return FName; }
    void SetName(std::string v);
    TFontPitch GetPitch() const { return FPitch; }
    void SetPitch(TFontPitch v);
    int GetSize() const;
    void SetSize(int points);
    TFontStyles GetStyle() const { return FStyle; }
    void SetStyle(TFontStyles v);
    // Escapement and orientation in tenths of a degree, anticlockwise.
    int GetOrientation() const { return FOrientation; }
    void SetOrientation(int v);
    TFontQuality GetQuality() const { return FQuality; }
    void SetQuality(TFontQuality v);
    int GetPixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int v) { FPixelsPerInch = v > 0 ? v : 96; }

    bool Equals(const TFont& other) const;

protected:
    void Changed() override;

private:
    void FreeHandle();
    std::string FName = DefFontName;
    int FHeight = DefFontHeight;
    TFontCharset FCharset = DEFAULT_CHARSET;
    TColor FColor = clWindowText;
    TFontPitch FPitch = fpDefault;
    TFontStyles FStyle;
    int FOrientation = 0;
    TFontQuality FQuality = fqDefault;
    int FPixelsPerInch;
    HFONT FHandle = nullptr;
};

class TPen : public TGraphicsObject {
    QEL_CLASS(TPen, TGraphicsObject)
    TPen() = default;
    ~TPen() override;
    void Assign(TPersistent* source) override;
    HPEN GetHandle();

    TColor GetColor() const { return FColor; }
    void SetColor(TColor v);
    TPenMode GetMode() const { return FMode; }
    void SetMode(TPenMode v);
    TPenStyle GetStyle() const { return FStyle; }
    void SetStyle(TPenStyle v);
    int GetWidth() const { return FWidth; }
    void SetWidth(int v);
    // The ROP2 code of Mode.
    int Rop2() const;

protected:
    void Changed() override;

private:
    void FreeHandle();
    TColor FColor = clBlack;
    TPenMode FMode = pmCopy;
    TPenStyle FStyle = psSolid;
    int FWidth = 1;
    HPEN FHandle = nullptr;
};

class TBrush : public TGraphicsObject {
    QEL_CLASS(TBrush, TGraphicsObject)
    TBrush() = default;
    ~TBrush() override;
    void Assign(TPersistent* source) override;
    HBRUSH GetHandle();

    TColor GetColor() const { return FColor; }
    void SetColor(TColor v);
    TBrushStyle GetStyle() const { return FStyle; }
    void SetStyle(TBrushStyle v);
    // A pattern bitmap (copied); nullptr clears it. While set, it paints instead of Color/Style.
    TBitmap* GetBitmap() const { return FBitmap.get(); }
    void SetBitmap(TBitmap* bitmap);

protected:
    void Changed() override;

private:
    void FreeHandle();
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    std::unique_ptr<TBitmap> FBitmap;
    HBRUSH FHandle = nullptr;
};

QEL_ENUM(TCanvasStateItem, csHandleValid, csFontValid, csPenValid, csBrushValid)
using TCanvasState = Set<TCanvasStateItem>;

QEL_ENUM(TFillStyle, fsSurface, fsBorder)

// Options of TextRect.
QEL_ENUM(TTextFormatItem, tfBottom, tfCalcRect, tfCenter, tfEditControl, tfEndEllipsis, tfPathEllipsis,
         tfExpandTabs, tfExternalLeading, tfLeft, tfModifyString, tfNoClip, tfNoPrefix, tfRight, tfRtlReading,
         tfSingleLine, tfTop, tfVerticalCenter, tfWordBreak, tfHidePrefix, tfNoFullWidthCharBreak,
         tfPrefixOnly, tfTabStop, tfWordEllipsis)
using TTextFormat = Set<TTextFormatItem>;

class TCanvas : public TPersistent {
    QEL_CLASS(TCanvas, TPersistent)
    TCanvas();
    ~TCanvas() override;

    // The device context; a canvas without one asks CreateHandle (EInvalidOperation "Canvas does not
    // allow drawing" when it still has none).
    HDC GetHandle();
    // Binds an existing DC (not owned); nullptr unbinds and deselects the tools.
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return FHandle != nullptr; }

    // Blocking, re-entrant for the thread that holds it.
    void Lock();
    // Takes the lock only when nobody (this thread included) holds it; never blocks.
    bool TryLock();
    void Unlock();
    int LockCount() const { return FLockCount.load(); }

    TFont* GetFont() const { return FFont.get(); }
    void SetFont(TFont* v) { FFont->Assign(v); }
    TPen* GetPen() const { return FPen.get(); }
    void SetPen(TPen* v) { FPen->Assign(v); }
    TBrush* GetBrush() const { return FBrush.get(); }
    void SetBrush(TBrush* v) { FBrush->Assign(v); }
    TCopyMode GetCopyMode() const { return FCopyMode; }
    void SetCopyMode(TCopyMode v) { FCopyMode = v; }
    TPoint GetPenPos();
    void SetPenPos(TPoint p) { MoveTo(p.X, p.Y); }
    int GetTextFlags() const { return FTextFlags; }
    void SetTextFlags(int v) { FTextFlags = v; }

    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void FillRect(const TRect& r);
    void FrameRect(const TRect& r);
    void DrawFocusRect(const TRect& r);
    void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
    void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
    void Polygon(const std::vector<TPoint>& points);
    void Polyline(const std::vector<TPoint>& points);
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void FloodFill(int x, int y, TColor color, TFillStyle style);

    void TextOut(int x, int y, const std::string& text);
    // Text clipped to r, starting at (x, y).
    void TextRect(const TRect& r, int x, int y, const std::string& text);
    // DrawText into r with TTextFormats (tfCalcRect updates r).
    void TextRect(TRect& r, const std::string& text, TTextFormat format);
    TSize TextExtent(const std::string& text);
    int TextWidth(const std::string& text) { return TextExtent(text).cx; }
    int TextHeight(const std::string& text) { return TextExtent(text).cy; }

    // Draws a graphic at its size (honouring its Transparent) or stretched into a rectangle.
    void Draw(int x, int y, TGraphic* graphic);
    void StretchDraw(const TRect& r, TGraphic* graphic);
    // Copies (stretching) from another canvas with CopyMode.
    void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source);
    // Copies from a bitmap, replacing every pixel exactly equal to `color` with the brush colour.
    void BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color);

    TColor GetPixel(int x, int y);
    void SetPixel(int x, int y, TColor color);
    // The clip box in logical coordinates.
    TRect GetClipRect();

    TNotifyEvent GetOnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }
    TNotifyEvent GetOnChanging() const { return FOnChanging; }
    void SetOnChanging(TNotifyEvent e) { FOnChanging = e; }

    // Selects the tools the next operation needs (public for raw-DC users who mix both).
    void RequiredState(TCanvasState state);

protected:
    virtual void CreateHandle() {}
    virtual void Changing();
    virtual void Changed();
    // Deselects the tools (before the DC goes away).
    void DeselectHandles();

private:
    void FontChanged(TObject*);
    void PenChanged(TObject*);
    void BrushChanged(TObject*);

    HDC FHandle = nullptr;
    TCanvasState FState;
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TPen> FPen;
    std::unique_ptr<TBrush> FBrush;
    TCopyMode FCopyMode = cmSrcCopy;
    int FTextFlags = 0;
    TNotifyEvent FOnChange, FOnChanging;
    std::recursive_mutex FLock;
    std::atomic<int> FLockCount{0};
    std::atomic<std::thread::id> FLockOwner{};
    HGDIOBJ FOldFont = nullptr, FOldPen = nullptr, FOldBrush = nullptr;
};

// Converts a TColor to a COLORREF (system colours resolved; clNone/clDefault give black).
COLORREF ColorRef(TColor color);

} // namespace qel
