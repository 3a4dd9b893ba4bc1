// TFont, TPen, TBrush and TCanvas.
#include "platform/graphics/graphics.h"

#include <cmath>
#include <cstdlib>

#include "platform/graphics/bitmap.h"

namespace qel {

int ScreenPixelsPerInch() {
    int dpi = GetDeviceCaps(nullptr, LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    long long p = static_cast<long long>(a) * b;
    long long q = p / c, r = p % c;
    // Round half away from zero.
    if (std::llabs(r) * 2 >= std::llabs(static_cast<long long>(c))) q += ((p < 0) != (c < 0)) ? -1 : 1;
    return static_cast<int>(q);
}

COLORREF ColorRef(TColor color) {
    if (color == clNone || color == clDefault) return 0;
    return ColorToColorRef(color);
}

// ---- TGraphicsObject --------------------------------------------------------------------------------

void TGraphicsObject::Changed() {
    FOnChange(this);
}

// ---- TFont --------------------------------------------------------------------------------------------

TFont::TFont() : FPixelsPerInch(ScreenPixelsPerInch()) {}
TFont::~TFont() {
    FreeHandle();
}

void TFont::FreeHandle() {
    if (FHandle) DeleteObject(FHandle);
    FHandle = nullptr;
}

void TFont::Changed() {
    FreeHandle();
    inherited::Changed();
}

void TFont::Assign(TPersistent* source) {
    if (auto* f = dynamic_cast<TFont*>(source)) {
        if (f == this) return;
        FName = f->FName;
        FHeight = f->FHeight;
        FCharset = f->FCharset;
        FColor = f->FColor;
        FPitch = f->FPitch;
        FStyle = f->FStyle;
        FOrientation = f->FOrientation;
        FQuality = f->FQuality;
        // Keep the character height meaning when resolutions differ.
        if (f->FPixelsPerInch != FPixelsPerInch)
            FHeight = MulDiv(f->FHeight, FPixelsPerInch, f->FPixelsPerInch);
        Changed();
        return;
    }
    inherited::Assign(source);
}

LOGFONT TFont::GetLogFont() const {
    LOGFONT lf;
    lf.lfHeight = FHeight;
    lf.lfEscapement = FOrientation;
    lf.lfOrientation = FOrientation;
    lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = FStyle.Contains(fsItalic);
    lf.lfUnderline = FStyle.Contains(fsUnderline);
    lf.lfStrikeOut = FStyle.Contains(fsStrikeOut);
    lf.lfCharSet = static_cast<BYTE>(FCharset);
    switch (FQuality) {
    case fqDraft: lf.lfQuality = DRAFT_QUALITY; break;
    case fqProof: lf.lfQuality = PROOF_QUALITY; break;
    case fqNonAntialiased: lf.lfQuality = NONANTIALIASED_QUALITY; break;
    case fqAntialiased: lf.lfQuality = ANTIALIASED_QUALITY; break;
    case fqClearType: lf.lfQuality = CLEARTYPE_QUALITY; break;
    case fqClearTypeNatural: lf.lfQuality = CLEARTYPE_NATURAL_QUALITY; break;
    default: lf.lfQuality = DEFAULT_QUALITY; break;
    }
    lf.lfPitchAndFamily = static_cast<BYTE>(FPitch == fpFixed      ? FIXED_PITCH
                                            : FPitch == fpVariable ? VARIABLE_PITCH
                                                                   : DEFAULT_PITCH);
    SetLogFontFaceName(lf, FName);
    return lf;
}

void TFont::SetLogFont(const LOGFONT& lf) {
    FName = lf.lfFaceName;
    FHeight = lf.lfHeight;
    FCharset = lf.lfCharSet;
    FOrientation = lf.lfEscapement;
    TFontStyles st;
    if (lf.lfWeight >= FW_SEMIBOLD) st += fsBold;
    if (lf.lfItalic) st += fsItalic;
    if (lf.lfUnderline) st += fsUnderline;
    if (lf.lfStrikeOut) st += fsStrikeOut;
    FStyle = st;
    int pitch = lf.lfPitchAndFamily & 3;
    FPitch = pitch == FIXED_PITCH ? fpFixed : pitch == VARIABLE_PITCH ? fpVariable : fpDefault;
    switch (lf.lfQuality) {
    case DRAFT_QUALITY: FQuality = fqDraft; break;
    case PROOF_QUALITY: FQuality = fqProof; break;
    case NONANTIALIASED_QUALITY: FQuality = fqNonAntialiased; break;
    case ANTIALIASED_QUALITY: FQuality = fqAntialiased; break;
    case CLEARTYPE_QUALITY: FQuality = fqClearType; break;
    case CLEARTYPE_NATURAL_QUALITY: FQuality = fqClearTypeNatural; break;
    default: FQuality = fqDefault; break;
    }
    Changed();
}

HFONT TFont::GetHandle() {
    if (!FHandle) {
        LOGFONT lf = GetLogFont();
        FHandle = CreateFontIndirect(&lf);
    }
    return FHandle;
}

void TFont::SetHandle(HFONT font) {
    LOGFONT lf;
    if (qel::GetLogFont(font, &lf)) SetLogFont(lf);
}

void TFont::SetCharset(TFontCharset v) {
    v &= 255;
    if (v == FCharset) return;
    FCharset = v;
    Changed();
}
void TFont::SetColor(TColor v) {
    if (v == FColor) return;
    FColor = v;
    // Colour is not part of the realised font: notify without dropping the handle.
    inherited::Changed();
}
void TFont::SetHeight(int v) {
    if (v == FHeight) return;
    FHeight = v;
    Changed();
}
void TFont::SetName(std::string v) {
    if (v.empty() || v == FName) return;
    FName = std::move(v);
    Changed();
}
void TFont::SetPitch(TFontPitch v) {
    if (v == FPitch) return;
    FPitch = v;
    Changed();
}
int TFont::GetSize() const {
    return -MulDiv(FHeight, 72, FPixelsPerInch);
}
void TFont::SetSize(int points) {
    SetHeight(-MulDiv(points, FPixelsPerInch, 72));
}
void TFont::SetStyle(TFontStyles v) {
    if (v == FStyle) return;
    FStyle = v;
    Changed();
}
void TFont::SetOrientation(int v) {
    if (v == FOrientation) return;
    FOrientation = v;
    Changed();
}
void TFont::SetQuality(TFontQuality v) {
    if (v == FQuality) return;
    FQuality = v;
    Changed();
}

bool TFont::Equals(const TFont& o) const {
    return FName == o.FName && FHeight == o.FHeight && FCharset == o.FCharset && FColor == o.FColor &&
           FPitch == o.FPitch && FStyle == o.FStyle && FOrientation == o.FOrientation &&
           FQuality == o.FQuality;
}

QEL_IMPLEMENT_CLASS(TGraphicsObject)

QEL_IMPLEMENT_CLASS(TFont, [](auto& c) {
    c.Property("Charset", &TFont::GetCharset, &TFont::SetCharset).NoDefault();
    c.Property("Color", &TFont::GetColor, &TFont::SetColor).NoDefault();
    c.Property("Height", &TFont::GetHeight, &TFont::SetHeight).NoDefault();
    c.Property("Name", &TFont::GetName, &TFont::SetName).NoDefault();
    c.Property("Pitch", &TFont::GetPitch, &TFont::SetPitch).Default(fpDefault);
    c.Property("Size", &TFont::GetSize, &TFont::SetSize).Stored(false);
    c.Property("Style", &TFont::GetStyle, &TFont::SetStyle).NoDefault();
    c.Property("Orientation", &TFont::GetOrientation, &TFont::SetOrientation).Default(0);
    c.Property("Quality", &TFont::GetQuality, &TFont::SetQuality).Default(fqDefault);
})

// ---- TPen ---------------------------------------------------------------------------------------------

TPen::~TPen() {
    FreeHandle();
}
void TPen::FreeHandle() {
    if (FHandle) DeleteObject(FHandle);
    FHandle = nullptr;
}
void TPen::Changed() {
    FreeHandle();
    inherited::Changed();
}
void TPen::Assign(TPersistent* source) {
    if (auto* p = dynamic_cast<TPen*>(source)) {
        if (p == this) return;
        FColor = p->FColor;
        FMode = p->FMode;
        FStyle = p->FStyle;
        FWidth = p->FWidth;
        Changed();
        return;
    }
    inherited::Assign(source);
}
HPEN TPen::GetHandle() {
    if (!FHandle) {
        static const int styles[] = {PS_SOLID, PS_DASH,        PS_DOT,       PS_DASHDOT,  PS_DASHDOTDOT,
                                     PS_NULL,  PS_INSIDEFRAME, PS_USERSTYLE, PS_ALTERNATE};
        FHandle = CreatePen(styles[FStyle], FWidth, ColorRef(FColor));
    }
    return FHandle;
}
int TPen::Rop2() const {
    static const int rops[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,
                               R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                               R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,    R2_NOTMERGEPEN,
                               R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
    return rops[FMode];
}
void TPen::SetColor(TColor v) {
    if (v == FColor) return;
    FColor = v;
    Changed();
}
void TPen::SetMode(TPenMode v) {
    if (v == FMode) return;
    FMode = v;
    Changed();
}
void TPen::SetStyle(TPenStyle v) {
    if (v == FStyle) return;
    FStyle = v;
    Changed();
}
void TPen::SetWidth(int v) {
    if (v < 0 || v == FWidth) return;
    FWidth = v;
    Changed();
}

QEL_IMPLEMENT_CLASS(TPen, [](auto& c) {
    c.Property("Color", &TPen::GetColor, &TPen::SetColor).Default(clBlack);
    c.Property("Mode", &TPen::GetMode, &TPen::SetMode).Default(pmCopy);
    c.Property("Style", &TPen::GetStyle, &TPen::SetStyle).Default(psSolid);
    c.Property("Width", &TPen::GetWidth, &TPen::SetWidth).Default(1);
})

// ---- TBrush -------------------------------------------------------------------------------------------

TBrush::~TBrush() {
    FreeHandle();
}
void TBrush::FreeHandle() {
    if (FHandle) DeleteObject(FHandle);
    FHandle = nullptr;
}
void TBrush::Changed() {
    FreeHandle();
    inherited::Changed();
}
void TBrush::Assign(TPersistent* source) {
    if (auto* b = dynamic_cast<TBrush*>(source)) {
        if (b == this) return;
        FColor = b->FColor;
        FStyle = b->FStyle;
        if (b->FBitmap) {
            if (!FBitmap) FBitmap = std::make_unique<TBitmap>();
            FBitmap->Assign(b->FBitmap.get());
        } else {
            FBitmap.reset();
        }
        Changed();
        return;
    }
    inherited::Assign(source);
}
HBRUSH TBrush::GetHandle() {
    if (!FHandle) {
        if (FBitmap && !FBitmap->Empty()) {
            FHandle = CreatePatternBrush(FBitmap->GetHandle());
        } else {
            LOGBRUSH lb;
            lb.lbColor = ColorRef(FColor);
            switch (FStyle) {
            case bsSolid: lb.lbStyle = BS_SOLID; break;
            case bsClear: lb.lbStyle = BS_NULL; break;
            default:
                lb.lbStyle = BS_HATCHED;
                lb.lbHatch = static_cast<uintptr_t>(FStyle - bsHorizontal);
                break;
            }
            FHandle = CreateBrushIndirect(&lb);
        }
    }
    return FHandle;
}
void TBrush::SetColor(TColor v) {
    if (v == FColor && !FBitmap) return;
    FColor = v;
    if (FStyle == bsClear) FStyle = bsSolid;
    FBitmap.reset();
    Changed();
}
void TBrush::SetStyle(TBrushStyle v) {
    if (v == FStyle && !FBitmap) return;
    FStyle = v;
    FBitmap.reset();
    Changed();
}
void TBrush::SetBitmap(TBitmap* bitmap) {
    if (!bitmap) {
        if (!FBitmap) return;
        FBitmap.reset();
    } else {
        if (!FBitmap) FBitmap = std::make_unique<TBitmap>();
        FBitmap->Assign(bitmap);
    }
    Changed();
}

QEL_IMPLEMENT_CLASS(TBrush, [](auto& c) {
    c.Property("Color", &TBrush::GetColor, &TBrush::SetColor).Default(clWhite);
    c.Property("Style", &TBrush::GetStyle, &TBrush::SetStyle).Default(bsSolid);
})

// ---- TCanvas ------------------------------------------------------------------------------------------

TCanvas::TCanvas()
    : FFont(std::make_unique<TFont>()), FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>()) {
    FFont->SetOnChange(TNotifyEvent(this, &TCanvas::FontChanged));
    FPen->SetOnChange(TNotifyEvent(this, &TCanvas::PenChanged));
    FBrush->SetOnChange(TNotifyEvent(this, &TCanvas::BrushChanged));
}

TCanvas::~TCanvas() {
    SetHandle(nullptr);
}

void TCanvas::FontChanged(TObject*) {
    if (FState.Contains(csFontValid)) {
        FState.Exclude(csFontValid);
        if (FHandle && FOldFont) SelectObject(FHandle, FOldFont);
    }
}
void TCanvas::PenChanged(TObject*) {
    if (FState.Contains(csPenValid)) {
        FState.Exclude(csPenValid);
        if (FHandle && FOldPen) SelectObject(FHandle, FOldPen);
    }
}
void TCanvas::BrushChanged(TObject*) {
    if (FState.Contains(csBrushValid)) {
        FState.Exclude(csBrushValid);
        if (FHandle && FOldBrush) SelectObject(FHandle, FOldBrush);
    }
}

void TCanvas::DeselectHandles() {
    if (FHandle) {
        if (FState.Contains(csFontValid) && FOldFont) SelectObject(FHandle, FOldFont);
        if (FState.Contains(csPenValid) && FOldPen) SelectObject(FHandle, FOldPen);
        if (FState.Contains(csBrushValid) && FOldBrush) SelectObject(FHandle, FOldBrush);
    }
    FState = {};
    FOldFont = FOldPen = FOldBrush = nullptr;
}

void TCanvas::SetHandle(HDC dc) {
    if (dc == FHandle) return;
    DeselectHandles();
    FHandle = dc;
    if (dc) FState.Include(csHandleValid);
}

HDC TCanvas::GetHandle() {
    RequiredState({csHandleValid});
    return FHandle;
}

void TCanvas::RequiredState(TCanvasState req) {
    if (!FHandle) {
        CreateHandle();
        if (!FHandle) throw EInvalidOperation("Canvas does not allow drawing");
        FState.Include(csHandleValid);
    }
    if (req.Contains(csFontValid) && !FState.Contains(csFontValid)) {
        HGDIOBJ old = SelectObject(FHandle, FFont->GetHandle());
        if (!FOldFont) FOldFont = old;
        SetTextColor(FHandle, ColorRef(FFont->GetColor()));
        FState.Include(csFontValid);
    }
    if (req.Contains(csPenValid) && !FState.Contains(csPenValid)) {
        HGDIOBJ old = SelectObject(FHandle, FPen->GetHandle());
        if (!FOldPen) FOldPen = old;
        SetROP2(FHandle, FPen->Rop2());
        FState.Include(csPenValid);
    }
    if (req.Contains(csBrushValid) && !FState.Contains(csBrushValid)) {
        HGDIOBJ old = SelectObject(FHandle, FBrush->GetHandle());
        if (!FOldBrush) FOldBrush = old;
        SetBkColor(FHandle, ColorRef(FBrush->GetColor()));
        SetBkMode(FHandle, FBrush->GetStyle() == bsSolid || FBrush->GetBitmap() ? OPAQUE : TRANSPARENT);
        FState.Include(csBrushValid);
    }
}

void TCanvas::Lock() {
    FLock.lock();
    FLockOwner.store(std::this_thread::get_id());
    FLockCount.fetch_add(1);
}

bool TCanvas::TryLock() {
    if (FLockCount.load() != 0) return false;
    if (!FLock.try_lock()) return false;
    if (FLockCount.load() != 0) {
        // This thread already holds it: the canvas is not free.
        FLock.unlock();
        return false;
    }
    FLockOwner.store(std::this_thread::get_id());
    FLockCount.fetch_add(1);
    return true;
}

void TCanvas::Unlock() {
    // Only the holder releases: an unbalanced Unlock (or one from another thread) is ignored
    // rather than releasing a mutex this thread does not own.
    if (FLockCount.load() <= 0 || FLockOwner.load() != std::this_thread::get_id()) return;
    if (FLockCount.fetch_sub(1) == 1) FLockOwner.store(std::thread::id());
    FLock.unlock();
}

void TCanvas::Changing() {
    FOnChanging(this);
}
void TCanvas::Changed() {
    FOnChange(this);
}

TPoint TCanvas::GetPenPos() {
    RequiredState({csHandleValid});
    TPoint p;
    GetCurrentPositionEx(FHandle, &p);
    return p;
}

void TCanvas::MoveTo(int x, int y) {
    RequiredState({csHandleValid});
    MoveToEx(FHandle, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    qel::LineTo(FHandle, x, y);
    Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    qel::Rectangle(FHandle, x1, y1, x2, y2);
    Changed();
}

void TCanvas::FillRect(const TRect& r) {
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    qel::FillRect(FHandle, &r, FBrush->GetHandle());
    Changed();
}

void TCanvas::FrameRect(const TRect& r) {
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    qel::FrameRect(FHandle, &r, FBrush->GetHandle());
    Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    qel::DrawFocusRect(FHandle, &r);
    Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    qel::Ellipse(FHandle, x1, y1, x2, y2);
    Changed();
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    qel::RoundRect(FHandle, x1, y1, x2, y2, x3, y3);
    Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    qel::Polygon(FHandle, points.data(), static_cast<int>(points.size()));
    Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    qel::Polyline(FHandle, points.data(), static_cast<int>(points.size()));
    Changed();
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    qel::Arc(FHandle, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    qel::Pie(FHandle, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

void TCanvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    qel::Chord(FHandle, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

void TCanvas::FloodFill(int x, int y, TColor color, TFillStyle style) {
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    ExtFloodFill(FHandle, x, y, ColorRef(color), style == fsSurface ? FLOODFILLSURFACE : FLOODFILLBORDER);
    Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    qel::ExtTextOut(FHandle, x, y, static_cast<UINT>(FTextFlags), nullptr, text.data(),
                    static_cast<int>(text.size()), nullptr);
    Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
    Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    UINT options = ETO_CLIPPED | static_cast<UINT>(FTextFlags);
    if (FBrush->GetStyle() != bsClear) options |= ETO_OPAQUE;
    qel::ExtTextOut(FHandle, x, y, options, &r, text.data(), static_cast<int>(text.size()), nullptr);
    Changed();
}

void TCanvas::TextRect(TRect& r, const std::string& text, TTextFormat format) {
    static const UINT flags[] = {DT_BOTTOM,       DT_CALCRECT,      DT_CENTER,       DT_EDITCONTROL,
                                 DT_END_ELLIPSIS, DT_PATH_ELLIPSIS, DT_EXPANDTABS,   DT_EXTERNALLEADING,
                                 DT_LEFT,         DT_MODIFYSTRING,  DT_NOCLIP,       DT_NOPREFIX,
                                 DT_RIGHT,        DT_RTLREADING,    DT_SINGLELINE,   DT_TOP,
                                 DT_VCENTER,      DT_WORDBREAK,     DT_HIDEPREFIX,   DT_NOFULLWIDTHCHARBREAK,
                                 DT_PREFIXONLY,   DT_TABSTOP,       DT_WORD_ELLIPSIS};
    UINT f = 0;
    for (int i = 0; i <= tfWordEllipsis; ++i)
        if (format.Contains(static_cast<TTextFormatItem>(i))) f |= flags[i];
    if (!format.Contains(tfCalcRect)) Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    if (FBrush->GetStyle() == bsClear) SetBkMode(FHandle, TRANSPARENT);
    qel::DrawText(FHandle, text, &r, f);
    if (!format.Contains(tfCalcRect)) Changed();
}

TSize TCanvas::TextExtent(const std::string& text) {
    RequiredState({csHandleValid, csFontValid});
    TSize s;
    GetTextExtentPoint32(FHandle, text.data(), static_cast<int>(text.size()), &s);
    return s;
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    Changing();
    RequiredState({csHandleValid});
    graphic->Draw(this, Bounds(x, y, graphic->GetWidth(), graphic->GetHeight()));
    Changed();
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    Changing();
    RequiredState({csHandleValid});
    graphic->Draw(this, r);
    Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) {
    if (!canvas) return;
    Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    canvas->RequiredState({csHandleValid, csBrushValid});
    StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), canvas->FHandle, source.Left,
               source.Top, source.Width(), source.Height(), static_cast<DWORD>(FCopyMode));
    Changed();
}

void TCanvas::BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color) {
    if (!bitmap || bitmap->Empty()) return;
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    // Copy the source rectangle, then repaint the key-coloured pixels with the brush colour.
    TBitmap work;
    work.SetSize(source.Width(), source.Height());
    if (work.Empty()) return;
    HDC wdc = work.GetCanvas()->GetHandle();
    HDC sdc = bitmap->GetCanvas()->GetHandle();
    BitBlt(wdc, 0, 0, source.Width(), source.Height(), sdc, source.Left, source.Top, SRCCOPY);
    TDibPtr dib = work.GetDib();
    uint32_t key = ColorRefToPixel(ColorRef(color));
    uint32_t fill = ColorRefToPixel(ColorRef(FBrush->GetColor()));
    {
        TSurfaceLock lock(dib.get());
        for (int y = 0; y < dib->Height(); ++y) {
            uint32_t* row = dib->Row(y);
            for (int x = 0; x < dib->Width(); ++x)
                if ((row[x] & 0xFFFFFF) == key) row[x] = fill;
        }
    }
    StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), wdc, 0, 0, source.Width(),
               source.Height(), SRCCOPY);
    Changed();
}

TColor TCanvas::GetPixel(int x, int y) {
    RequiredState({csHandleValid});
    COLORREF c = qel::GetPixel(FHandle, x, y);
    return c == CLR_INVALID ? ToColor(-1) : ToColor(static_cast<int64_t>(c));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    Changing();
    RequiredState({csHandleValid, csPenValid});
    qel::SetPixelV(FHandle, x, y, ColorRef(color));
    Changed();
}

TRect TCanvas::GetClipRect() {
    RequiredState({csHandleValid});
    TRect r;
    GetClipBox(FHandle, &r);
    return r;
}

QEL_IMPLEMENT_CLASS(TCanvas)

} // namespace qel
