#pragma once
// Internal state of the GDI layer shared by its source files: object records behind the handles, device
// context state, brush patterns and the raster-operation row kernels. Not part of the public API.
#include "platform/graphics/gdi.h"
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

namespace qel::gdi {

enum class TKind { Pen, Brush, Bitmap, Font, Region, Palette, DC };

struct TObj {
    explicit TObj(TKind kind) : Kind(kind) {}
    virtual ~TObj() = default;
    const TKind Kind;
    bool Stock = false;
    uintptr_t Handle = 0;
};

struct TPenObj : TObj {
    TPenObj() : TObj(TKind::Pen) {}
    int Style = PS_SOLID;
    int Width = 1;
    COLORREF Color = 0;
    bool DCPen = false; // DC_PEN: colour comes from the DC
};

struct TBrushObj : TObj {
    TBrushObj() : TObj(TKind::Brush) {}
    UINT Style = BS_SOLID;
    COLORREF Color = 0;
    int Hatch = 0;
    TDibPtr Pattern;   // BS_PATTERN: private copy
    int SysColor = -1; // system colour brush: colour read at use
    bool DCBrush = false;
};

struct TBitmapObj : TObj {
    TBitmapObj() : TObj(TKind::Bitmap) {}
    TDibPtr Dib;
    std::atomic<int> Selected{0};
    bool Section = false;
};

struct TFontObj : TObj {
    TFontObj() : TObj(TKind::Font) {}
    std::shared_ptr<TGdiFontData> Data; // guarded by the handle table lock
    int StockIndex = -1;
};

struct TRegionObj : TObj {
    TRegionObj() : TObj(TKind::Region) {}
    std::mutex Lock;
    TRegion Rgn;
};

struct TPaletteObj : TObj {
    TPaletteObj() : TObj(TKind::Palette) {}
};

struct TDCState {
    std::shared_ptr<TBitmapObj> Bitmap; // memory DCs
    std::shared_ptr<TPenObj> Pen;
    std::shared_ptr<TBrushObj> Brush;
    std::shared_ptr<TFontObj> Font;
    COLORREF BkColor = RGB(255, 255, 255);
    COLORREF TextColor = RGB(0, 0, 0);
    COLORREF DCBrushColor = RGB(255, 255, 255);
    COLORREF DCPenColor = RGB(0, 0, 0);
    int BkMode = OPAQUE;
    UINT TextAlign = 0;
    int CharExtra = 0;
    int Rop2 = R2_COPYPEN;
    int StretchMode = BLACKONWHITE;
    int PolyFillMode = ALTERNATE;
    int ArcDirection = AD_COUNTERCLOCKWISE;
    TPoint BrushOrg, ViewportOrg, WindowOrg, CurPos;
    bool HasClip = false;
    TRegion Clip; // device coordinates
};

constexpr int kCapsCount = 128;

struct TDCObj : TObj {
    TDCObj() : TObj(TKind::DC) {}
    ~TDCObj() override;
    bool Memory = false;
    TDibPtr FixedSurface; // surface DCs
    TPoint DeviceOrigin;
    bool HasSysClip = false;
    TRegion SysClip; // device coordinates
    TDCState S;
    std::vector<TDCState> Saved;
    std::array<int, kCapsCount> Caps{};
    // Cached clip in surface coordinates.
    bool ClipValid = false;
    TRegion EffClip;
    // Visible-region and origin changes made by the window manager (any thread) wait here until the DC's
    // user picks them up at the start of its next call, so the window manager never blocks on drawing.
    std::mutex PendingLock;
    std::atomic<bool> HasPending{false};
    bool PendingClipSet = false, PendingHasSysClip = false, PendingOriginSet = false;
    TRegion PendingSysClip;
    TPoint PendingOrigin;
    void ApplyPending();

    TDib* Surface() const { return Memory ? (S.Bitmap ? S.Bitmap->Dib.get() : nullptr) : FixedSurface.get(); }
    TDibPtr SurfacePtr() const { return Memory ? (S.Bitmap ? S.Bitmap->Dib : nullptr) : FixedSurface; }
    // Logical -> surface offsets.
    int OffX() const { return S.ViewportOrg.X - S.WindowOrg.X + DeviceOrigin.X; }
    int OffY() const { return S.ViewportOrg.Y - S.WindowOrg.Y + DeviceOrigin.Y; }
    const TRegion& Clip();
    void InvalidateClip() { ClipValid = false; }
    void SelectBitmap(std::shared_ptr<TBitmapObj> bmp);
};

// Handle table.
uintptr_t Register(std::shared_ptr<TObj> obj);
std::shared_ptr<TObj> Lookup(uintptr_t handle);
void Unregister(uintptr_t handle);
std::mutex& TableLock();

template <typename T>
std::shared_ptr<T> Get(const void* handle, TKind kind) {
    auto o = Lookup(reinterpret_cast<uintptr_t>(handle));
    if (!o || o->Kind != kind) return nullptr;
    return std::static_pointer_cast<T>(o);
}
inline std::shared_ptr<TDCObj> GetDC(HDC dc) {
    auto d = Get<TDCObj>(dc, TKind::DC);
    if (d && d->HasPending.load(std::memory_order_acquire)) d->ApplyPending();
    return d;
}
template <typename H>
H ToHandle(uintptr_t v) {
    return reinterpret_cast<H>(v);
}

// Brush realised for one drawing call: a tile of 32-bit pixels (or mono bits for mono surfaces) with its
// phase, and an optional mask of the tile pixels to draw (transparent hatch backgrounds).
struct TPattern {
    bool Null = true;
    bool Solid = false;
    uint32_t Color = 0; // solid: pixel (colour surfaces) or 0/1 (mono surfaces)
    int W = 0, H = 0;
    std::vector<uint32_t> Tile; // colour surfaces: pixels; mono surfaces: 0 / 0xFFFFFFFF words
    std::vector<uint8_t> Mask;  // empty = every pixel drawn
    int OrgX = 0, OrgY = 0;     // surface coordinates of tile pixel (0,0)
};

// Realises a brush (null = the DC's brush) for the DC's current surface.
TPattern RealizeBrush(TDCObj& dc, const TBrushObj* brush);
TPattern SolidPattern(TDCObj& dc, COLORREF color);
TPattern RealizeBrushHandle(TDCObj& dc, HBRUSH brush); // also accepts (HBRUSH)(COLOR_xxx + 1)
COLORREF PenColor(const TDCObj& dc);
int Rop2ToRop3(int rop2);

// Raster kernels.

// Copies n pixels between rows that do not overlap; short rows use fixed-size moves the compiler inlines
// (many effect steps and scaled copies move runs of a few pixels, where a memcpy call costs more).
inline void CopyPixelRow(uint32_t* d, const uint32_t* s, int n) {
    if (n > 32) {
        std::memcpy(d, s, size_t(n) * 4);
        return;
    }
    int i = 0;
    for (; i + 8 <= n; i += 8) std::memcpy(d + i, s + i, 32);
    if (i + 4 <= n) {
        std::memcpy(d + i, s + i, 16);
        i += 4;
    }
    if (i + 2 <= n) {
        std::memcpy(d + i, s + i, 8);
        i += 2;
    }
    if (i < n) d[i] = s[i];
}

using TRowFn = void (*)(uint32_t* d, const uint32_t* s, const uint32_t* p, int n);
TRowFn RopRow(BYTE rop3);
inline constexpr bool RopUsesSrc(BYTE r) {
    return ((r >> 2) & 0x33) != (r & 0x33);
}
inline constexpr bool RopUsesPat(BYTE r) {
    return ((r >> 4) & 0x0F) != (r & 0x0F);
}
inline constexpr bool RopUsesDst(BYTE r) {
    return ((r >> 1) & 0x55) != (r & 0x55);
}

// Fills pattern words for surface row y, columns [x, x + n).
void PatternRow(const TPattern& pat, int x, int y, int n, uint32_t* out);
// Applies rop3 with the pattern over `rect` (surface coordinates, already inside the surface).
void PatRectRaw(TDib& dst, const TRect& rect, const TPattern& pat, BYTE rop3);
// Same, clipped by a region (surface coordinates).
void PatRegion(TDib& dst, const TRegion& clip, const TRegion& shape, const TPattern& pat, BYTE rop3);
void PatRectClipped(TDib& dst, const TRegion& clip, const TRect& rect, const TPattern& pat, BYTE rop3);
// Applies rop3 with the pattern to single pixels (surface coordinates), each once, clipped.
void PatPixels(TDib& dst, const TRegion& clip, const std::vector<TPoint>& pts, const TPattern& pat,
               BYTE rop3);

// Source for block transfers: a surface with the colours used when converting between formats.
struct TBltSource {
    const TDib* Dib = nullptr;
    uint32_t BkPixel = 0xFFFFFF; // source DC background colour (colour -> mono)
};
struct TBltColors {
    uint32_t TextPixel = 0;      // destination text colour (mono -> colour, 0 bits)
    uint32_t BkPixel = 0xFFFFFF; // destination background colour (1 bits)
};
// One destination row segment: converts `n` source words into the destination's word format.
void SourceWords(const TBltSource& src, const uint32_t* srcMapX, int srcY, int sx, int n, bool dstMono,
                 const TBltColors& colors, uint32_t* out);
// Writes n result words into a destination row at (x, y), applying the rop with source words s and the
// pattern (nullptr when unused); with a write mask only pixels whose mask byte is non-zero change.
void RopSpan(TDib& dst, int x, int y, int n, const uint32_t* s, const TPattern* pat, BYTE rop3,
             const uint8_t* writeMask = nullptr);

} // namespace qel::gdi
