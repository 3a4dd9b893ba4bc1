#include "platform/core/exceptions.h"
#include "platform/graphics/gdi_private.h"
#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace qel {
namespace gdi {

// ---- handle table -----------------------------------------------------------------------------------

namespace {

struct TTable {
    std::mutex Lock;
    std::unordered_map<uintptr_t, std::shared_ptr<TObj>> Objects;
    uintptr_t Next = 0x10000;
};

TTable& Table() {
    static TTable* table = new TTable; // never destroyed: handles may be released during static teardown
    return *table;
}

} // namespace

std::mutex& TableLock() {
    return Table().Lock;
}

uintptr_t Register(std::shared_ptr<TObj> obj) {
    TTable& t = Table();
    std::lock_guard guard(t.Lock);
    const uintptr_t h = t.Next;
    t.Next += 16;
    obj->Handle = h;
    t.Objects.emplace(h, std::move(obj));
    return h;
}

std::shared_ptr<TObj> Lookup(uintptr_t handle) {
    if (!handle) return nullptr;
    TTable& t = Table();
    std::lock_guard guard(t.Lock);
    auto it = t.Objects.find(handle);
    return it == t.Objects.end() ? nullptr : it->second;
}

void Unregister(uintptr_t handle) {
    std::shared_ptr<TObj> keep; // released outside the lock
    TTable& t = Table();
    std::lock_guard guard(t.Lock);
    auto it = t.Objects.find(handle);
    if (it != t.Objects.end()) {
        keep = std::move(it->second);
        t.Objects.erase(it);
    }
}

// ---- stock objects ----------------------------------------------------------------------------------

namespace {

struct TStock {
    std::array<uintptr_t, STOCK_LAST + 1> Handles{};
    uintptr_t DefaultBitmap = 0;
    std::array<uintptr_t, COLOR_MAX_INDEX + 1> SysBrushes{};
};

template <typename T>
uintptr_t AddStock(std::shared_ptr<T> o) {
    o->Stock = true;
    return Register(std::move(o));
}

std::shared_ptr<TBrushObj> MakeBrush(UINT style, COLORREF color) {
    auto b = std::make_shared<TBrushObj>();
    b->Style = style;
    b->Color = color & 0xFFFFFF;
    return b;
}

std::shared_ptr<TPenObj> MakePen(int style, int width, COLORREF color) {
    auto p = std::make_shared<TPenObj>();
    p->Style = style;
    p->Width = std::max(0, width);
    p->Color = color & 0xFFFFFF;
    return p;
}

TStock& Stock() {
    static TStock* stock = [] {
        auto* s = new TStock;
        s->Handles[WHITE_BRUSH] = AddStock(MakeBrush(BS_SOLID, RGB(255, 255, 255)));
        s->Handles[LTGRAY_BRUSH] = AddStock(MakeBrush(BS_SOLID, RGB(192, 192, 192)));
        s->Handles[GRAY_BRUSH] = AddStock(MakeBrush(BS_SOLID, RGB(128, 128, 128)));
        s->Handles[DKGRAY_BRUSH] = AddStock(MakeBrush(BS_SOLID, RGB(64, 64, 64)));
        s->Handles[BLACK_BRUSH] = AddStock(MakeBrush(BS_SOLID, RGB(0, 0, 0)));
        s->Handles[NULL_BRUSH] = AddStock(MakeBrush(BS_NULL, 0));
        s->Handles[WHITE_PEN] = AddStock(MakePen(PS_SOLID, 1, RGB(255, 255, 255)));
        s->Handles[BLACK_PEN] = AddStock(MakePen(PS_SOLID, 1, RGB(0, 0, 0)));
        s->Handles[NULL_PEN] = AddStock(MakePen(PS_NULL, 1, 0));
        for (int i : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT,
                      SYSTEM_FIXED_FONT, DEFAULT_GUI_FONT}) {
            auto f = std::make_shared<TFontObj>();
            f->StockIndex = i;
            s->Handles[i] = AddStock(f);
        }
        s->Handles[DEFAULT_PALETTE] = AddStock(std::make_shared<TPaletteObj>());
        auto dcb = MakeBrush(BS_SOLID, 0);
        dcb->DCBrush = true;
        s->Handles[DC_BRUSH] = AddStock(dcb);
        auto dcp = MakePen(PS_SOLID, 1, 0);
        dcp->DCPen = true;
        s->Handles[DC_PEN] = AddStock(dcp);
        auto bmp = std::make_shared<TBitmapObj>();
        bmp->Dib = std::make_shared<TDib>(1, 1, TDibFormat::Mono1);
        bmp->Dib->SetLock(std::make_shared<std::recursive_mutex>());
        s->DefaultBitmap = AddStock(bmp);
        for (int i = 0; i <= COLOR_MAX_INDEX; ++i) {
            auto b = MakeBrush(BS_SOLID, 0);
            b->SysColor = i;
            s->SysBrushes[i] = AddStock(b);
        }
        return s;
    }();
    return *stock;
}

template <typename T>
std::shared_ptr<T> StockObj(int index, TKind kind) {
    return Get<T>(reinterpret_cast<void*>(Stock().Handles[index]), kind);
}

struct TScreenCaps {
    std::mutex Lock;
    int BitsPixel = 32, DpiX = 96, DpiY = 96, HorzRes = 1024, VertRes = 768;
};
TScreenCaps& ScreenCaps() {
    static TScreenCaps caps;
    return caps;
}

void InitCaps(TDCObj& dc) {
    TScreenCaps& sc = ScreenCaps();
    std::lock_guard guard(sc.Lock);
    auto& c = dc.Caps;
    c[DRIVERVERSION] = 0x400;
    c[TECHNOLOGY] = DT_RASDISPLAY;
    c[HORZRES] = sc.HorzRes;
    c[VERTRES] = sc.VertRes;
    c[DESKTOPHORZRES] = sc.HorzRes;
    c[DESKTOPVERTRES] = sc.VertRes;
    c[LOGPIXELSX] = sc.DpiX;
    c[LOGPIXELSY] = sc.DpiY;
    c[HORZSIZE] = sc.DpiX > 0 ? sc.HorzRes * 254 / (sc.DpiX * 10) : 0;
    c[VERTSIZE] = sc.DpiY > 0 ? sc.VertRes * 254 / (sc.DpiY * 10) : 0;
    c[BITSPIXEL] = sc.BitsPixel;
    c[PLANES] = 1;
    c[NUMBRUSHES] = -1;
    c[NUMPENS] = -1;
    c[NUMCOLORS] = sc.BitsPixel <= 8 ? (1 << sc.BitsPixel) : -1;
    c[RASTERCAPS] = RC_BITBLT | RC_STRETCHBLT | RC_DI_BITMAP | (sc.BitsPixel <= 8 ? RC_PALETTE : 0);
    c[SIZEPALETTE] = sc.BitsPixel <= 8 ? (1 << sc.BitsPixel) : 0;
    c[COLORRES] = sc.BitsPixel <= 8 ? 18 : 24;
    c[VREFRESH] = 60;
}

void InitState(TDCObj& dc) {
    dc.S.Pen = StockObj<TPenObj>(BLACK_PEN, TKind::Pen);
    dc.S.Brush = StockObj<TBrushObj>(WHITE_BRUSH, TKind::Brush);
    dc.S.Font = StockObj<TFontObj>(SYSTEM_FONT, TKind::Font);
}

} // namespace

TDCObj::~TDCObj() {
    if (S.Bitmap) S.Bitmap->Selected.fetch_sub(1);
}

void TDCObj::SelectBitmap(std::shared_ptr<TBitmapObj> bmp) {
    if (bmp == S.Bitmap) return;
    if (bmp) bmp->Selected.fetch_add(1);
    if (S.Bitmap) S.Bitmap->Selected.fetch_sub(1);
    S.Bitmap = std::move(bmp);
    InvalidateClip();
}

void TDCObj::ApplyPending() {
    std::lock_guard guard(PendingLock);
    if (PendingClipSet) {
        HasSysClip = PendingHasSysClip;
        SysClip = std::move(PendingSysClip);
        PendingSysClip = TRegion();
    }
    if (PendingOriginSet) DeviceOrigin = PendingOrigin;
    PendingClipSet = PendingOriginSet = false;
    HasPending.store(false, std::memory_order_release);
    InvalidateClip();
}

const TRegion& TDCObj::Clip() {
    if (ClipValid) return EffClip;
    const TDib* surf = Surface();
    EffClip.SetEmpty();
    if (surf) {
        EffClip.SetRect(surf->BoundsRect());
        if (HasSysClip) {
            TRegion s = SysClip;
            s.Offset(DeviceOrigin.X, DeviceOrigin.Y);
            EffClip &= s;
        }
        if (S.HasClip) {
            TRegion c = S.Clip;
            c.Offset(DeviceOrigin.X, DeviceOrigin.Y);
            EffClip &= c;
        }
    }
    ClipValid = true;
    return EffClip;
}

COLORREF PenColor(const TDCObj& dc) {
    if (!dc.S.Pen) return 0;
    return dc.S.Pen->DCPen ? dc.S.DCPenColor : dc.S.Pen->Color;
}

int Rop2ToRop3(int rop2) {
    if (rop2 < R2_BLACK || rop2 > R2_WHITE) rop2 = R2_COPYPEN;
    const unsigned t = static_cast<unsigned>(rop2 - 1);
    int r = 0;
    for (int i = 0; i < 8; ++i) {
        const int p = (i >> 2) & 1, d = i & 1;
        if (t & (1u << ((p << 1) | d))) r |= 1 << i;
    }
    return r;
}

namespace {

// Hatch tiles: 1 where the hatch line is.
bool HatchBit(int hatch, int x, int y) {
    switch (hatch) {
    case HS_HORIZONTAL: return y == 7;
    case HS_VERTICAL: return x == 7;
    case HS_FDIAGONAL: return x == y;
    case HS_BDIAGONAL: return x == 7 - y;
    case HS_CROSS: return x == 7 || y == 7;
    case HS_DIAGCROSS: return x == y || x == 7 - y;
    default: return false;
    }
}

uint32_t ToDestWord(bool mono, uint32_t pixel) {
    return mono ? (MonoBitOfPixel(pixel) ? 0xFFFFFFFFu : 0u) : pixel;
}

} // namespace

TPattern SolidPattern(TDCObj& dc, COLORREF color) {
    TPattern p;
    const TDib* surf = dc.Surface();
    const bool mono = surf && surf->IsMono();
    p.Null = false;
    p.Solid = true;
    p.Color = ToDestWord(mono, ColorRefToPixel(color & 0xFFFFFF));
    return p;
}

TPattern RealizeBrush(TDCObj& dc, const TBrushObj* b) {
    if (!b) b = dc.S.Brush.get();
    TPattern p;
    if (!b || b->Style == BS_NULL) return p;
    const TDib* surf = dc.Surface();
    const bool mono = surf && surf->IsMono();
    COLORREF color = b->Color;
    if (b->SysColor >= 0) color = GetSysColor(b->SysColor);
    if (b->DCBrush) color = dc.S.DCBrushColor;
    if (b->Style == BS_SOLID) return SolidPattern(dc, color);
    p.Null = false;
    p.OrgX = dc.DeviceOrigin.X + dc.S.BrushOrg.X;
    p.OrgY = dc.DeviceOrigin.Y + dc.S.BrushOrg.Y;
    const uint32_t textPx = ColorRefToPixel(dc.S.TextColor), bkPx = ColorRefToPixel(dc.S.BkColor);
    if (b->Style == BS_HATCHED) {
        p.W = p.H = 8;
        p.Tile.resize(64);
        const bool transparent = dc.S.BkMode == TRANSPARENT;
        if (transparent) p.Mask.resize(64);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool line = HatchBit(b->Hatch, x, y);
                p.Tile[y * 8 + x] = ToDestWord(mono, line ? ColorRefToPixel(color) : bkPx);
                if (transparent) p.Mask[y * 8 + x] = line ? 1 : 0;
            }
        return p;
    }
    if (b->Style == BS_PATTERN && b->Pattern && b->Pattern->Width() > 0 && b->Pattern->Height() > 0) {
        const TDib& t = *b->Pattern;
        p.W = t.Width();
        p.H = t.Height();
        p.Tile.resize(size_t(p.W) * p.H);
        for (int y = 0; y < p.H; ++y)
            for (int x = 0; x < p.W; ++x) {
                uint32_t w;
                if (t.IsMono()) {
                    const bool bit = t.MonoRow(y)[x] != 0;
                    w = mono ? (bit ? 0xFFFFFFFFu : 0u) : (bit ? bkPx : textPx);
                } else {
                    w = ToDestWord(mono, t.Row(y)[x] & 0xFFFFFF);
                }
                p.Tile[size_t(y) * p.W + x] = w;
            }
        return p;
    }
    return SolidPattern(dc, color);
}

TPattern RealizeBrushHandle(TDCObj& dc, HBRUSH brush) {
    const uintptr_t v = reinterpret_cast<uintptr_t>(brush);
    if (v >= 1 && v <= COLOR_MAX_INDEX + 1) return SolidPattern(dc, GetSysColor(static_cast<int>(v - 1)));
    auto b = Get<TBrushObj>(brush, TKind::Brush);
    if (!b) return TPattern{};
    return RealizeBrush(dc, b.get());
}

} // namespace gdi

using namespace gdi;

// ---- objects -------------------------------------------------------------------------------------------

HGDIOBJ GetStockObject(int index) {
    if (index < 0 || index > STOCK_LAST) return nullptr;
    return ToHandle<HGDIOBJ>(Stock().Handles[index]);
}

bool DeleteObject(HGDIOBJ obj) {
    auto o = Lookup(reinterpret_cast<uintptr_t>(obj));
    if (!o || o->Kind == TKind::DC) return false;
    if (o->Stock) return true;
    if (o->Kind == TKind::Bitmap && static_cast<TBitmapObj&>(*o).Selected.load() > 0) return false;
    // Selected pens, brushes and fonts stay alive in their DCs through shared ownership.
    Unregister(o->Handle);
    return true;
}

int GetObjectType(HGDIOBJ obj) {
    auto o = Lookup(reinterpret_cast<uintptr_t>(obj));
    if (!o) return 0;
    switch (o->Kind) {
    case TKind::Pen: return OBJ_PEN;
    case TKind::Brush: return OBJ_BRUSH;
    case TKind::Bitmap: return OBJ_BITMAP;
    case TKind::Font: return OBJ_FONT;
    case TKind::Region: return OBJ_REGION;
    case TKind::Palette: return OBJ_PAL;
    case TKind::DC: return 0;
    }
    return 0;
}

int GetObjectType(HDC dc) {
    auto d = GetDC(dc);
    if (!d) return 0;
    return d->Memory ? OBJ_MEMDC : OBJ_DC;
}

int GetObject(HGDIOBJ obj, int size, void* out) {
    auto o = Lookup(reinterpret_cast<uintptr_t>(obj));
    if (!o || size < 0) return 0;
    auto copy = [&](const auto& value) -> int {
        const int n = static_cast<int>(sizeof(value));
        if (!out) return n;
        if (size < n) return 0;
        std::memcpy(out, &value, sizeof(value));
        return n;
    };
    switch (o->Kind) {
    case TKind::Bitmap: {
        const auto& b = static_cast<TBitmapObj&>(*o);
        BITMAP bm;
        bm.bmWidth = b.Dib->Width();
        bm.bmHeight = b.Dib->Height();
        bm.bmBitsPixel = static_cast<WORD>(b.Dib->BitsPerPixel());
        bm.bmWidthBytes = b.Dib->IsMono() ? ((bm.bmWidth + 15) / 16) * 2 : bm.bmWidth * 4;
        bm.bmBits = b.Section ? b.Dib->Memory() : nullptr;
        return copy(bm);
    }
    case TKind::Pen: {
        const auto& p = static_cast<TPenObj&>(*o);
        LOGPEN lp;
        lp.lopnStyle = static_cast<UINT>(p.Style);
        lp.lopnWidth = {p.Width, 0};
        lp.lopnColor = p.Color;
        return copy(lp);
    }
    case TKind::Brush: {
        const auto& b = static_cast<TBrushObj&>(*o);
        LOGBRUSH lb;
        lb.lbStyle = b.Style;
        lb.lbColor = b.SysColor >= 0 ? GetSysColor(b.SysColor) : b.Color;
        lb.lbHatch = static_cast<uintptr_t>(b.Hatch);
        return copy(lb);
    }
    default: return 0;
    }
}

HPEN CreatePen(int style, int width, COLORREF color) {
    if ((style & PS_STYLE_MASK) > PS_ALTERNATE) style = PS_SOLID;
    return ToHandle<HPEN>(Register(MakePen(style & PS_STYLE_MASK, width, color)));
}

HPEN CreatePenIndirect(const LOGPEN* lp) {
    if (!lp) return nullptr;
    return CreatePen(static_cast<int>(lp->lopnStyle), lp->lopnWidth.X, lp->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF color) {
    return ToHandle<HBRUSH>(Register(MakeBrush(BS_SOLID, color)));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
    if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return nullptr;
    auto b = MakeBrush(BS_HATCHED, color);
    b->Hatch = hatch;
    return ToHandle<HBRUSH>(Register(b));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    auto bmp = Get<TBitmapObj>(bitmap, TKind::Bitmap);
    if (!bmp || bmp->Dib->Width() <= 0 || bmp->Dib->Height() <= 0) return nullptr;
    auto b = MakeBrush(BS_PATTERN, 0);
    const TDib& src = *bmp->Dib;
    auto copy = std::make_shared<TDib>(src.Width(), src.Height(), src.Format());
    {
        TSurfaceLock lock(&src);
        for (int y = 0; y < src.Height(); ++y)
            std::memcpy(copy->MonoRow(y), src.MonoRow(y), size_t(src.Width()) * (src.IsMono() ? 1 : 4));
    }
    b->Pattern = std::move(copy);
    return ToHandle<HBRUSH>(Register(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
    if (!lb) return nullptr;
    switch (lb->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(lb->lbColor);
    case BS_NULL: return ToHandle<HBRUSH>(Register(MakeBrush(BS_NULL, 0)));
    case BS_HATCHED: return CreateHatchBrush(static_cast<int>(lb->lbHatch), lb->lbColor);
    case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(lb->lbHatch));
    default: return nullptr;
    }
}

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || index > COLOR_MAX_INDEX) return nullptr;
    return ToHandle<HBRUSH>(Stock().SysBrushes[index]);
}

// ---- bitmaps ------------------------------------------------------------------------------------------

namespace {

HBITMAP RegisterBitmap(TDibPtr dib, bool section = false) {
    auto b = std::make_shared<TBitmapObj>();
    b->Dib = std::move(dib);
    b->Section = section;
    return ToHandle<HBITMAP>(Register(b));
}

} // namespace

HBITMAP CreateBitmapFromDib(TDibPtr dib) {
    if (!dib) return nullptr;
    return RegisterBitmap(std::move(dib));
}

TDibPtr GetBitmapDib(HBITMAP bitmap) {
    auto b = Get<TBitmapObj>(bitmap, TKind::Bitmap);
    return b ? b->Dib : nullptr;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (width <= 0 || height <= 0) return RegisterBitmap(std::make_shared<TDib>(1, 1, TDibFormat::Mono1));
    bool mono = false;
    if (dc) {
        auto d = GetDC(dc);
        if (!d) return nullptr;
        const TDib* s = d->Surface();
        mono = s && s->IsMono();
    }
    try {
        return RegisterBitmap(
            std::make_shared<TDib>(width, height, mono ? TDibFormat::Mono1 : TDibFormat::Color32));
    } catch (const EOutOfResources&) {
        return nullptr;
    }
}

long SetBitmapBits(HBITMAP bitmap, DWORD count, const void* bits) {
    auto b = Get<TBitmapObj>(bitmap, TKind::Bitmap);
    if (!b || !bits) return 0;
    TDib& d = *b->Dib;
    TSurfaceLock lock(&d);
    const auto* src = static_cast<const uint8_t*>(bits);
    long used = 0;
    if (d.IsMono()) {
        const int rowBytes = ((d.Width() + 15) / 16) * 2;
        for (int y = 0; y < d.Height() && used + rowBytes <= long(count); ++y, used += rowBytes)
            for (int x = 0; x < d.Width(); ++x) d.MonoRow(y)[x] = (src[used + x / 8] >> (7 - x % 8)) & 1;
    } else {
        const int rowBytes = d.Width() * 4;
        for (int y = 0; y < d.Height() && used + rowBytes <= long(count); ++y, used += rowBytes)
            std::memcpy(d.Row(y), src + used, size_t(rowBytes));
    }
    return used;
}

long GetBitmapBits(HBITMAP bitmap, long count, void* bits) {
    auto b = Get<TBitmapObj>(bitmap, TKind::Bitmap);
    if (!b || !bits || count < 0) return 0;
    TDib& d = *b->Dib;
    TSurfaceLock lock(&d);
    auto* dst = static_cast<uint8_t*>(bits);
    long used = 0;
    if (d.IsMono()) {
        const int rowBytes = ((d.Width() + 15) / 16) * 2;
        for (int y = 0; y < d.Height() && used + rowBytes <= count; ++y, used += rowBytes) {
            std::memset(dst + used, 0, size_t(rowBytes));
            for (int x = 0; x < d.Width(); ++x)
                if (d.MonoRow(y)[x]) dst[used + x / 8] |= uint8_t(0x80 >> (x % 8));
        }
    } else {
        const int rowBytes = d.Width() * 4;
        for (int y = 0; y < d.Height() && used + rowBytes <= count; ++y, used += rowBytes)
            std::memcpy(dst + used, d.Row(y), size_t(rowBytes));
    }
    return used;
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (width < 0 || height < 0) return nullptr;
    const UINT bpp = planes * bitsPerPixel;
    if (bpp != 1 && bpp != 24 && bpp != 32) return nullptr;
    if (width == 0 || height == 0) return RegisterBitmap(std::make_shared<TDib>(1, 1, TDibFormat::Mono1));
    TDibPtr dib;
    try {
        dib = std::make_shared<TDib>(width, height, bpp == 1 ? TDibFormat::Mono1 : TDibFormat::Color32);
    } catch (const EOutOfResources&) {
        return nullptr;
    }
    HBITMAP h = RegisterBitmap(dib);
    if (bits && bpp == 24) {
        // Packed B, G, R triplets, rows padded to 2 bytes.
        const auto* src = static_cast<const uint8_t*>(bits);
        const size_t rowBytes = ((size_t(width) * 3 + 1) / 2) * 2;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = src + size_t(y) * rowBytes + size_t(x) * 3;
                dib->Row(y)[x] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
            }
    } else if (bits) {
        const long size = dib->IsMono() ? long(((width + 15) / 16) * 2) * height : long(width) * 4 * height;
        SetBitmapBits(h, static_cast<DWORD>(size), bits);
    }
    return h;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, void*, DWORD) {
    if (bits) *bits = nullptr;
    if (!info) return nullptr;
    const auto& h = info->bmiHeader;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return nullptr;
    if (h.biBitCount != 1 && h.biBitCount != 32) return nullptr;
    if (h.biCompression != BI_RGB) return nullptr;
    TDibPtr dib;
    try {
        dib = std::make_shared<TDib>(h.biWidth, std::abs(h.biHeight),
                                     h.biBitCount == 1 ? TDibFormat::Mono1 : TDibFormat::Color32,
                                     h.biHeight > 0);
    } catch (const EOutOfResources&) {
        return nullptr;
    }
    if (bits) *bits = dib->Memory();
    return RegisterBitmap(std::move(dib), true);
}

bool GetBitmapDimensionEx(HBITMAP bitmap, TSize* size) {
    auto b = Get<TBitmapObj>(bitmap, TKind::Bitmap);
    if (!b || !size) return false;
    *size = {b->Dib->Width(), b->Dib->Height()};
    return true;
}

// ---- palettes -------------------------------------------------------------------------------------------

HPALETTE SelectPalette(HDC dc, HPALETTE palette, bool) {
    if (!GetDC(dc) || GetObjectType(palette) != OBJ_PAL) return nullptr;
    return static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
}

UINT RealizePalette(HDC dc) {
    return GetDC(dc) ? 0 : GDI_ERROR;
}

// ---- fonts ----------------------------------------------------------------------------------------------

HFONT CreateFontFromData(std::shared_ptr<TGdiFontData> data) {
    auto f = std::make_shared<TFontObj>();
    f->Data = std::move(data);
    return ToHandle<HFONT>(Register(f));
}

std::shared_ptr<TGdiFontData> GetFontData(HFONT font) {
    auto f = Get<TFontObj>(font, TKind::Font);
    if (!f) return nullptr;
    std::lock_guard guard(TableLock());
    return f->Data;
}

void SetStockFontData(int stockIndex, std::shared_ptr<TGdiFontData> data) {
    if (stockIndex < 0 || stockIndex > STOCK_LAST) return;
    auto f = StockObj<TFontObj>(stockIndex, TKind::Font);
    if (!f) return;
    std::lock_guard guard(TableLock());
    f->Data = std::move(data);
}

// ---- device contexts -----------------------------------------------------------------------------------

HDC CreateCompatibleDC(HDC dc) {
    auto d = std::make_shared<TDCObj>();
    if (dc) {
        auto src = GetDC(dc);
        if (!src) return nullptr;
        d->Caps = src->Caps;
    } else {
        InitCaps(*d);
    }
    d->Memory = true;
    InitState(*d);
    d->SelectBitmap(Get<TBitmapObj>(reinterpret_cast<void*>(Stock().DefaultBitmap), TKind::Bitmap));
    return ToHandle<HDC>(Register(d));
}

HDC CreateSurfaceDC(TDibPtr surface, TPoint deviceOrigin, const TRegion* systemClip) {
    if (!surface) return nullptr;
    auto d = std::make_shared<TDCObj>();
    InitCaps(*d);
    d->Caps[BITSPIXEL] = surface->BitsPerPixel() == 1 ? 1 : d->Caps[BITSPIXEL];
    d->FixedSurface = std::move(surface);
    d->DeviceOrigin = deviceOrigin;
    if (systemClip) {
        d->HasSysClip = true;
        d->SysClip = *systemClip;
    }
    InitState(*d);
    return ToHandle<HDC>(Register(d));
}

bool SetDCSystemClip(HDC dc, const TRegion* systemClip) {
    auto d = Get<TDCObj>(dc, TKind::DC);
    if (!d) return false;
    std::lock_guard guard(d->PendingLock);
    d->PendingClipSet = true;
    d->PendingHasSysClip = systemClip != nullptr;
    d->PendingSysClip = systemClip ? *systemClip : TRegion();
    d->HasPending.store(true, std::memory_order_release);
    return true;
}

bool SetDCDeviceOrigin(HDC dc, TPoint deviceOrigin) {
    auto d = Get<TDCObj>(dc, TKind::DC);
    if (!d) return false;
    std::lock_guard guard(d->PendingLock);
    d->PendingOriginSet = true;
    d->PendingOrigin = deviceOrigin;
    d->HasPending.store(true, std::memory_order_release);
    return true;
}

TPoint GetDCDeviceOrigin(HDC dc) {
    auto d = GetDC(dc);
    return d ? d->DeviceOrigin : TPoint{};
}

TDibPtr GetDCSurface(HDC dc) {
    auto d = GetDC(dc);
    return d ? d->SurfacePtr() : nullptr;
}

bool DeleteDC(HDC dc) {
    auto d = GetDC(dc);
    if (!d) return false;
    Unregister(d->Handle);
    return true;
}

bool IsMemoryDC(HDC dc) {
    auto d = GetDC(dc);
    return d && d->Memory;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
    auto d = GetDC(dc);
    auto o = Lookup(reinterpret_cast<uintptr_t>(obj));
    if (!d || !o) return nullptr;
    switch (o->Kind) {
    case TKind::Pen: {
        auto old = d->S.Pen;
        d->S.Pen = std::static_pointer_cast<TPenObj>(o);
        return ToHandle<HGDIOBJ>(old ? old->Handle : 0);
    }
    case TKind::Brush: {
        auto old = d->S.Brush;
        d->S.Brush = std::static_pointer_cast<TBrushObj>(o);
        return ToHandle<HGDIOBJ>(old ? old->Handle : 0);
    }
    case TKind::Font: {
        auto old = d->S.Font;
        d->S.Font = std::static_pointer_cast<TFontObj>(o);
        return ToHandle<HGDIOBJ>(old ? old->Handle : 0);
    }
    case TKind::Bitmap: {
        if (!d->Memory) return nullptr;
        auto old = d->S.Bitmap;
        d->SelectBitmap(std::static_pointer_cast<TBitmapObj>(o));
        return ToHandle<HGDIOBJ>(old ? old->Handle : 0);
    }
    case TKind::Region: {
        const int r = SelectClipRgn(dc, reinterpret_cast<HRGN>(obj));
        return ToHandle<HGDIOBJ>(static_cast<uintptr_t>(r));
    }
    default: return nullptr;
    }
}

HGDIOBJ GetCurrentObject(HDC dc, int objectType) {
    auto d = GetDC(dc);
    if (!d) return nullptr;
    switch (objectType) {
    case OBJ_PEN: return ToHandle<HGDIOBJ>(d->S.Pen ? d->S.Pen->Handle : 0);
    case OBJ_BRUSH: return ToHandle<HGDIOBJ>(d->S.Brush ? d->S.Brush->Handle : 0);
    case OBJ_FONT: return ToHandle<HGDIOBJ>(d->S.Font ? d->S.Font->Handle : 0);
    case OBJ_BITMAP: return ToHandle<HGDIOBJ>(d->S.Bitmap ? d->S.Bitmap->Handle : 0);
    case OBJ_PAL: return GetStockObject(DEFAULT_PALETTE);
    default: return nullptr;
    }
}

int SaveDC(HDC dc) {
    auto d = GetDC(dc);
    if (!d) return 0;
    d->Saved.push_back(d->S);
    return static_cast<int>(d->Saved.size());
}

bool RestoreDC(HDC dc, int savedLevel) {
    auto d = GetDC(dc);
    if (!d) return false;
    const int count = static_cast<int>(d->Saved.size());
    const int level = savedLevel < 0 ? count + 1 + savedLevel : savedLevel;
    if (savedLevel == 0 || level < 1 || level > count) return false;
    TDCState s = std::move(d->Saved[static_cast<size_t>(level - 1)]);
    d->Saved.resize(static_cast<size_t>(level - 1));
    auto bmp = s.Bitmap;
    s.Bitmap = d->S.Bitmap; // keep the selection count right while swapping
    d->S = std::move(s);
    if (d->Memory) d->SelectBitmap(bmp);
    d->InvalidateClip();
    return true;
}

void SetScreenDeviceCaps(int bitsPixel, int dpiX, int dpiY, int horzRes, int vertRes) {
    TScreenCaps& sc = ScreenCaps();
    std::lock_guard guard(sc.Lock);
    sc.BitsPixel = bitsPixel;
    sc.DpiX = dpiX;
    sc.DpiY = dpiY;
    sc.HorzRes = horzRes;
    sc.VertRes = vertRes;
}

int GetDeviceCaps(HDC dc, int index) {
    if (index < 0 || index >= kCapsCount) return 0;
    if (!dc) {
        TDCObj tmp;
        InitCaps(tmp);
        return tmp.Caps[static_cast<size_t>(index)];
    }
    auto d = GetDC(dc);
    return d ? d->Caps[static_cast<size_t>(index)] : 0;
}

bool SetDeviceCaps(HDC dc, int index, int value) {
    auto d = GetDC(dc);
    if (!d || index < 0 || index >= kCapsCount) return false;
    d->Caps[static_cast<size_t>(index)] = value;
    return true;
}

#define QEL_DC_SETTER(Type, Name, Field, Invalid)                                                            \
    Type Set##Name(HDC dc, Type v) {                                                                         \
        auto d = GetDC(dc);                                                                                  \
        if (!d) return Invalid;                                                                              \
        Type old = d->S.Field;                                                                               \
        d->S.Field = v;                                                                                      \
        return old;                                                                                          \
    }                                                                                                        \
    Type Get##Name(HDC dc) {                                                                                 \
        auto d = GetDC(dc);                                                                                  \
        return d ? d->S.Field : Invalid;                                                                     \
    }

QEL_DC_SETTER(UINT, TextAlign, TextAlign, GDI_ERROR)
QEL_DC_SETTER(int, TextCharacterExtra, CharExtra, 0x80000000)
#undef QEL_DC_SETTER

COLORREF SetBkColor(HDC dc, COLORREF color) {
    auto d = GetDC(dc);
    if (!d) return CLR_INVALID;
    COLORREF old = d->S.BkColor;
    d->S.BkColor = color & 0xFFFFFF;
    return old;
}
COLORREF GetBkColor(HDC dc) {
    auto d = GetDC(dc);
    return d ? d->S.BkColor : CLR_INVALID;
}
COLORREF SetTextColor(HDC dc, COLORREF color) {
    auto d = GetDC(dc);
    if (!d) return CLR_INVALID;
    COLORREF old = d->S.TextColor;
    d->S.TextColor = color & 0xFFFFFF;
    return old;
}
COLORREF GetTextColor(HDC dc) {
    auto d = GetDC(dc);
    return d ? d->S.TextColor : CLR_INVALID;
}
COLORREF SetDCBrushColor(HDC dc, COLORREF color) {
    auto d = GetDC(dc);
    if (!d) return CLR_INVALID;
    COLORREF old = d->S.DCBrushColor;
    d->S.DCBrushColor = color & 0xFFFFFF;
    return old;
}
COLORREF SetDCPenColor(HDC dc, COLORREF color) {
    auto d = GetDC(dc);
    if (!d) return CLR_INVALID;
    COLORREF old = d->S.DCPenColor;
    d->S.DCPenColor = color & 0xFFFFFF;
    return old;
}

namespace {
template <typename F>
int SetMode(HDC dc, int v, int lo, int hi, F field) {
    auto d = GetDC(dc);
    if (!d || v < lo || v > hi) return 0;
    int& f = field(d->S);
    const int old = f;
    f = v;
    return old;
}
template <typename F>
int GetMode(HDC dc, F field) {
    auto d = GetDC(dc);
    return d ? field(d->S) : 0;
}
} // namespace

int SetBkMode(HDC dc, int mode) {
    return SetMode(dc, mode, TRANSPARENT, OPAQUE, [](TDCState& s) -> int& { return s.BkMode; });
}
int GetBkMode(HDC dc) {
    return GetMode(dc, [](TDCState& s) { return s.BkMode; });
}
int SetROP2(HDC dc, int rop2) {
    return SetMode(dc, rop2, R2_BLACK, R2_WHITE, [](TDCState& s) -> int& { return s.Rop2; });
}
int GetROP2(HDC dc) {
    return GetMode(dc, [](TDCState& s) { return s.Rop2; });
}
int SetStretchBltMode(HDC dc, int mode) {
    return SetMode(dc, mode, BLACKONWHITE, HALFTONE, [](TDCState& s) -> int& { return s.StretchMode; });
}
int GetStretchBltMode(HDC dc) {
    return GetMode(dc, [](TDCState& s) { return s.StretchMode; });
}
int SetPolyFillMode(HDC dc, int mode) {
    return SetMode(dc, mode, ALTERNATE, WINDING, [](TDCState& s) -> int& { return s.PolyFillMode; });
}
int GetPolyFillMode(HDC dc) {
    return GetMode(dc, [](TDCState& s) { return s.PolyFillMode; });
}
int SetArcDirection(HDC dc, int direction) {
    return SetMode(dc, direction, AD_COUNTERCLOCKWISE, AD_CLOCKWISE,
                   [](TDCState& s) -> int& { return s.ArcDirection; });
}
int GetArcDirection(HDC dc) {
    return GetMode(dc, [](TDCState& s) { return s.ArcDirection; });
}
int SetMapMode(HDC dc, int mode) {
    auto d = GetDC(dc);
    return d && mode == MM_TEXT ? MM_TEXT : 0;
}
int GetMapMode(HDC dc) {
    return GetDC(dc) ? MM_TEXT : 0;
}

namespace {
bool SetPoint(HDC dc, TPoint TDCState::*field, int x, int y, TPoint* old, bool relative) {
    auto d = GetDC(dc);
    if (!d) return false;
    TPoint& p = d->S.*field;
    if (old) *old = p;
    p = relative ? TPoint{p.X + x, p.Y + y} : TPoint{x, y};
    return true;
}
bool GetPoint(HDC dc, TPoint TDCState::*field, TPoint* out) {
    auto d = GetDC(dc);
    if (!d || !out) return false;
    *out = d->S.*field;
    return true;
}
} // namespace

bool SetBrushOrgEx(HDC dc, int x, int y, TPoint* old) {
    return SetPoint(dc, &TDCState::BrushOrg, x, y, old, false);
}
bool GetBrushOrgEx(HDC dc, TPoint* org) {
    return GetPoint(dc, &TDCState::BrushOrg, org);
}
bool SetViewportOrgEx(HDC dc, int x, int y, TPoint* old) {
    return SetPoint(dc, &TDCState::ViewportOrg, x, y, old, false);
}
bool GetViewportOrgEx(HDC dc, TPoint* org) {
    return GetPoint(dc, &TDCState::ViewportOrg, org);
}
bool OffsetViewportOrgEx(HDC dc, int dx, int dy, TPoint* old) {
    return SetPoint(dc, &TDCState::ViewportOrg, dx, dy, old, true);
}
bool SetWindowOrgEx(HDC dc, int x, int y, TPoint* old) {
    return SetPoint(dc, &TDCState::WindowOrg, x, y, old, false);
}
bool GetWindowOrgEx(HDC dc, TPoint* org) {
    return GetPoint(dc, &TDCState::WindowOrg, org);
}
bool OffsetWindowOrgEx(HDC dc, int dx, int dy, TPoint* old) {
    return SetPoint(dc, &TDCState::WindowOrg, dx, dy, old, true);
}
bool MoveToEx(HDC dc, int x, int y, TPoint* old) {
    return SetPoint(dc, &TDCState::CurPos, x, y, old, false);
}
bool GetCurrentPositionEx(HDC dc, TPoint* pos) {
    return GetPoint(dc, &TDCState::CurPos, pos);
}

bool LPtoDP(HDC dc, TPoint* points, int count) {
    auto d = GetDC(dc);
    if (!d || (count > 0 && !points)) return false;
    const int dx = d->S.ViewportOrg.X - d->S.WindowOrg.X, dy = d->S.ViewportOrg.Y - d->S.WindowOrg.Y;
    for (int i = 0; i < count; ++i) points[i] = {points[i].X + dx, points[i].Y + dy};
    return true;
}

bool DPtoLP(HDC dc, TPoint* points, int count) {
    auto d = GetDC(dc);
    if (!d || (count > 0 && !points)) return false;
    const int dx = d->S.ViewportOrg.X - d->S.WindowOrg.X, dy = d->S.ViewportOrg.Y - d->S.WindowOrg.Y;
    for (int i = 0; i < count; ++i) points[i] = {points[i].X - dx, points[i].Y - dy};
    return true;
}

// ---- regions ------------------------------------------------------------------------------------------

namespace {

std::shared_ptr<TRegionObj> GetRgn(HRGN rgn) {
    return Get<TRegionObj>(rgn, TKind::Region);
}

HRGN NewRgn(TRegion region) {
    auto r = std::make_shared<TRegionObj>();
    r->Rgn = std::move(region);
    return ToHandle<HRGN>(Register(r));
}

TFillMode FillModeOf(int mode) {
    return mode == WINDING ? TFillMode::Winding : TFillMode::Alternate;
}

TRect Normalised(int l, int t, int r, int b) {
    return {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
}

} // namespace

TRegion GetRegion(HRGN rgn) {
    auto r = GetRgn(rgn);
    if (!r) return {};
    std::lock_guard guard(r->Lock);
    return r->Rgn;
}

bool SetRegion(HRGN rgn, const TRegion& region) {
    auto r = GetRgn(rgn);
    if (!r) return false;
    std::lock_guard guard(r->Lock);
    r->Rgn = region;
    return true;
}

HRGN CreateRegionFromTRegion(const TRegion& region) {
    return NewRgn(region);
}
HRGN CreateRectRgn(int l, int t, int r, int b) {
    return NewRgn(TRegion(Normalised(l, t, r, b)));
}
HRGN CreateRectRgnIndirect(const TRect* rect) {
    return rect ? CreateRectRgn(rect->Left, rect->Top, rect->Right, rect->Bottom) : nullptr;
}
HRGN CreatePolygonRgn(const TPoint* points, int count, int fillMode) {
    if (!points || count < 2) return points && count >= 0 ? NewRgn({}) : nullptr;
    return NewRgn(TRegion::FromPolygon(points, count, FillModeOf(fillMode)));
}
HRGN CreatePolyPolygonRgn(const TPoint* points, const int* counts, int polygons, int fillMode) {
    if (!points || !counts || polygons <= 0) return nullptr;
    for (int i = 0; i < polygons; ++i)
        if (counts[i] < 0) return nullptr;
    return NewRgn(TRegion::FromPolyPolygon(points, counts, polygons, FillModeOf(fillMode)));
}
HRGN CreateEllipticRgn(int l, int t, int r, int b) {
    return NewRgn(TRegion::FromEllipse(Normalised(l, t, r, b)));
}
HRGN CreateEllipticRgnIndirect(const TRect* rect) {
    return rect ? CreateEllipticRgn(rect->Left, rect->Top, rect->Right, rect->Bottom) : nullptr;
}
HRGN CreateRoundRectRgn(int l, int t, int r, int b, int ellipseW, int ellipseH) {
    return NewRgn(TRegion::FromRoundRect(Normalised(l, t, r, b), ellipseW, ellipseH));
}

HRGN ExtCreateRegion(const void*, DWORD count, const RGNDATA* data) {
    if (!data || count < sizeof(RGNDATAHEADER)) return nullptr;
    const RGNDATAHEADER& h = data->rdh;
    if (h.iType != RDH_RECTANGLES || h.dwSize < sizeof(RGNDATAHEADER)) return nullptr;
    const uint64_t need = uint64_t(h.dwSize) + uint64_t(h.nCount) * sizeof(TRect);
    if (need > count) return nullptr;
    const auto* rects = reinterpret_cast<const TRect*>(reinterpret_cast<const uint8_t*>(data) + h.dwSize);
    std::vector<TRect> list(h.nCount);
    if (h.nCount) std::memcpy(list.data(), rects, sizeof(TRect) * h.nCount);
    return NewRgn(TRegion::FromRects(list.data(), list.size()));
}

HRGN CreateRegionFromBitmap(HBITMAP bitmap, COLORREF key) {
    auto b = Get<TBitmapObj>(bitmap, TKind::Bitmap);
    if (!b) return nullptr;
    TSurfaceLock lock(b->Dib.get());
    return NewRgn(TRegion::FromDibExcludingColor(*b->Dib, ColorRefToPixel(key & 0xFFFFFF)));
}

DWORD GetRegionData(HRGN rgn, DWORD count, RGNDATA* data) {
    auto r = GetRgn(rgn);
    if (!r) return 0;
    std::lock_guard guard(r->Lock);
    const auto& rects = r->Rgn.Rects();
    const DWORD need = static_cast<DWORD>(sizeof(RGNDATAHEADER) + rects.size() * sizeof(TRect));
    if (!data) return need;
    if (count < need) return 0;
    RGNDATAHEADER h;
    h.nCount = static_cast<DWORD>(rects.size());
    h.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(TRect));
    h.rcBound = r->Rgn.Bounds();
    std::memcpy(static_cast<void*>(data), &h, sizeof(h));
    if (!rects.empty())
        std::memcpy(reinterpret_cast<uint8_t*>(data) + sizeof(h), rects.data(), rects.size() * sizeof(TRect));
    return need;
}

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
    auto rd = GetRgn(dst);
    if (!rd || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    auto ra = GetRgn(a);
    if (!ra) return ERROR;
    TRegion A = GetRegion(a), B;
    if (mode != RGN_COPY) {
        if (!GetRgn(b)) return ERROR;
        B = GetRegion(b);
    }
    static constexpr TRegionOp ops[] = {TRegionOp::And, TRegionOp::Or, TRegionOp::Xor, TRegionOp::Diff,
                                        TRegionOp::Copy};
    TRegion result = TRegion::Combine(A, B, ops[mode - 1]);
    const int type = result.Complexity();
    std::lock_guard guard(rd->Lock);
    rd->Rgn = std::move(result);
    return type;
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
    auto r = GetRgn(rgn);
    if (!r) return ERROR;
    std::lock_guard guard(r->Lock);
    r->Rgn.Offset(dx, dy);
    return r->Rgn.Complexity();
}

bool EqualRgn(HRGN a, HRGN b) {
    if (!GetRgn(a) || !GetRgn(b)) return false;
    return GetRegion(a) == GetRegion(b);
}

bool PtInRegion(HRGN rgn, int x, int y) {
    auto r = GetRgn(rgn);
    if (!r) return false;
    std::lock_guard guard(r->Lock);
    return r->Rgn.Contains(x, y);
}

bool RectInRegion(HRGN rgn, const TRect* rect) {
    auto r = GetRgn(rgn);
    if (!r || !rect) return false;
    std::lock_guard guard(r->Lock);
    return r->Rgn.Intersects(Normalised(rect->Left, rect->Top, rect->Right, rect->Bottom));
}

int GetRgnBox(HRGN rgn, TRect* rect) {
    auto r = GetRgn(rgn);
    if (!r || !rect) return ERROR;
    std::lock_guard guard(r->Lock);
    *rect = r->Rgn.Bounds();
    return r->Rgn.Complexity();
}

bool SetRectRgn(HRGN rgn, int l, int t, int r, int b) {
    auto o = GetRgn(rgn);
    if (!o) return false;
    std::lock_guard guard(o->Lock);
    o->Rgn.SetRect(Normalised(l, t, r, b));
    return true;
}

// ---- clipping ---------------------------------------------------------------------------------------

namespace {

int ClipResult(TDCObj& d) {
    return d.Clip().Complexity();
}

} // namespace

int SelectClipRgn(HDC dc, HRGN rgn) {
    return ExtSelectClipRgn(dc, rgn, RGN_COPY);
}

int ExtSelectClipRgn(HDC dc, HRGN rgn, int mode) {
    auto d = GetDC(dc);
    if (!d || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    if (!rgn) {
        if (mode != RGN_COPY) return ERROR;
        d->S.HasClip = false;
        d->S.Clip.SetEmpty();
    } else {
        if (!GetRgn(rgn)) return ERROR;
        TRegion r = GetRegion(rgn);
        if (mode == RGN_COPY) {
            d->S.Clip = std::move(r);
        } else {
            // Without a clip the current clip is everything the DC can show.
            TRegion cur = d->S.HasClip ? d->S.Clip : TRegion(TRect{-(1 << 28), -(1 << 28), 1 << 28, 1 << 28});
            static constexpr TRegionOp ops[] = {TRegionOp::And, TRegionOp::Or, TRegionOp::Xor,
                                                TRegionOp::Diff};
            d->S.Clip = TRegion::Combine(cur, r, ops[mode - 1]);
        }
        d->S.HasClip = true;
    }
    d->InvalidateClip();
    return ClipResult(*d);
}

namespace {

int CombineClipRect(HDC dc, int l, int t, int r, int b, TRegionOp op) {
    auto d = GetDC(dc);
    if (!d) return ERROR;
    const int dx = d->S.ViewportOrg.X - d->S.WindowOrg.X, dy = d->S.ViewportOrg.Y - d->S.WindowOrg.Y;
    TRegion rect(OffsetRect(Normalised(l, t, r, b), dx, dy));
    TRegion cur = d->S.HasClip ? d->S.Clip : TRegion(TRect{-(1 << 28), -(1 << 28), 1 << 28, 1 << 28});
    d->S.Clip = TRegion::Combine(cur, rect, op);
    d->S.HasClip = true;
    d->InvalidateClip();
    return ClipResult(*d);
}

} // namespace

int IntersectClipRect(HDC dc, int l, int t, int r, int b) {
    return CombineClipRect(dc, l, t, r, b, TRegionOp::And);
}
int ExcludeClipRect(HDC dc, int l, int t, int r, int b) {
    return CombineClipRect(dc, l, t, r, b, TRegionOp::Diff);
}

int OffsetClipRgn(HDC dc, int dx, int dy) {
    auto d = GetDC(dc);
    if (!d) return ERROR;
    if (d->S.HasClip) {
        d->S.Clip.Offset(dx, dy);
        d->InvalidateClip();
    }
    return ClipResult(*d);
}

int GetClipRgn(HDC dc, HRGN rgn) {
    auto d = GetDC(dc);
    if (!d || !GetRgn(rgn)) return -1;
    if (!d->S.HasClip) return 0;
    SetRegion(rgn, d->S.Clip);
    return 1;
}

int GetClipBox(HDC dc, TRect* rect) {
    auto d = GetDC(dc);
    if (!d || !rect) return ERROR;
    const TRegion& c = d->Clip();
    TRect b = c.Bounds();
    if (!c.IsEmpty()) b = OffsetRect(b, -d->OffX(), -d->OffY());
    *rect = b;
    return c.Complexity();
}

bool PtVisible(HDC dc, int x, int y) {
    auto d = GetDC(dc);
    if (!d) return false;
    return d->Clip().Contains(x + d->OffX(), y + d->OffY());
}

bool RectVisible(HDC dc, const TRect* rect) {
    auto d = GetDC(dc);
    if (!d || !rect) return false;
    return d->Clip().Intersects(
        OffsetRect(Normalised(rect->Left, rect->Top, rect->Right, rect->Bottom), d->OffX(), d->OffY()));
}

TRegion GetDCEffectiveClip(HDC dc) {
    auto d = GetDC(dc);
    if (!d) return {};
    TRegion r = d->Clip();
    r.Offset(-d->DeviceOrigin.X, -d->DeviceOrigin.Y);
    return r;
}

} // namespace qel
