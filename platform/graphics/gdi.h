#pragma once
// GDI-style device contexts, drawing objects and raster operations over TDib surfaces, with the
// platform's function names and constants.
//
// Handles are opaque values looked up in a process-wide table: a deleted or foreign handle is simply
// invalid (functions fail and return 0/false/CLR_INVALID), never a dangling pointer. All functions are
// safe to call from any thread; one DC must be used by one thread at a time (as on the platform), while
// several DCs over one surface may draw concurrently when the surface has a lock (TDib::SetLock).
//
// Coordinates: drawing functions take logical coordinates; device = logical - window origin + viewport
// origin; clip regions (SelectClipRgn, GetClipRgn) are in device coordinates; a DC made over a surface
// with a device origin maps device (0,0) to that surface pixel.
#include "platform/graphics/color.h"
#include "platform/graphics/dib.h"
#include "platform/graphics/region.h"
#include "platform/graphics/types.h"
#include <memory>

namespace qel {

// ---- handles ------------------------------------------------------------------------------------------
struct HGDIOBJ__ {};
struct HBITMAP__ : HGDIOBJ__ {};
struct HPEN__ : HGDIOBJ__ {};
struct HBRUSH__ : HGDIOBJ__ {};
struct HFONT__ : HGDIOBJ__ {};
struct HRGN__ : HGDIOBJ__ {};
struct HPALETTE__ : HGDIOBJ__ {};
struct HDC__ {};
using HGDIOBJ = HGDIOBJ__*;
using HBITMAP = HBITMAP__*;
using HPEN = HPEN__*;
using HBRUSH = HBRUSH__*;
using HFONT = HFONT__*;
using HRGN = HRGN__*;
using HPALETTE = HPALETTE__*;
using HDC = HDC__*;

// GetObjectType
enum : int {
    OBJ_PEN = 1,
    OBJ_BRUSH = 2,
    OBJ_DC = 3,
    OBJ_PAL = 5,
    OBJ_FONT = 6,
    OBJ_BITMAP = 7,
    OBJ_REGION = 8,
    OBJ_MEMDC = 10
};

// ---- raster operations -------------------------------------------------------------------------------
// Ternary raster operations: bits 16..23 are the truth-table byte over P (0xF0), S (0xCC), D (0xAA).
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;
constexpr DWORD DPa = 0x00A000C9;     // dest AND pattern
constexpr DWORD DSPDxax = 0x00E20746; // where S is 1 the pattern, else the destination
constexpr DWORD PSDPxax = 0x00B8074A; // where S is 1 the destination, else the pattern
constexpr DWORD NOMIRRORBITMAP = 0x80000000;
constexpr DWORD CAPTUREBLT = 0x40000000;
inline constexpr DWORD MAKEROP4(DWORD fore, DWORD back) {
    return ((back << 8) & 0xFF000000) | fore;
}
// Truth-table byte of a ROP code.
inline constexpr BYTE Rop3Index(DWORD rop) {
    return static_cast<BYTE>((rop >> 16) & 0xFF);
}
// Applies a ternary operation (truth-table byte) to 32-bit words bitwise.
inline constexpr uint32_t ApplyRop3(BYTE rop3, uint32_t p, uint32_t s, uint32_t d) {
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i)
        if (rop3 & (1u << i)) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return r;
}

// Binary raster operations (SetROP2): pen/brush colour P with destination D.
enum : int {
    R2_BLACK = 1,
    R2_NOTMERGEPEN = 2,
    R2_MASKNOTPEN = 3,
    R2_NOTCOPYPEN = 4,
    R2_MASKPENNOT = 5,
    R2_NOT = 6,
    R2_XORPEN = 7,
    R2_NOTMASKPEN = 8,
    R2_MASKPEN = 9,
    R2_NOTXORPEN = 10,
    R2_NOP = 11,
    R2_MERGENOTPEN = 12,
    R2_COPYPEN = 13,
    R2_MERGEPENNOT = 14,
    R2_MERGEPEN = 15,
    R2_WHITE = 16
};
// Applies a binary raster operation to 32-bit words.
inline constexpr uint32_t ApplyRop2(int rop2, uint32_t p, uint32_t d) {
    // R2 codes are 1 + a 4-bit truth table over (P, D) with bit index (P?2:0)|(D?1:0), read reversed.
    const unsigned t = static_cast<unsigned>(rop2 - 1) & 15;
    uint32_t r = 0;
    if (t & 1) r |= ~p & ~d;
    if (t & 2) r |= ~p & d;
    if (t & 4) r |= p & ~d;
    if (t & 8) r |= p & d;
    return r;
}

// ---- modes and flags --------------------------------------------------------------------------------
enum : int { TRANSPARENT = 1, OPAQUE = 2 };                                        // SetBkMode
enum : int { ALTERNATE = 1, WINDING = 2 };                                         // SetPolyFillMode
enum : int { BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4 }; // SetStretchBltMode
constexpr int STRETCH_ANDSCANS = BLACKONWHITE, STRETCH_ORSCANS = WHITEONBLACK,
              STRETCH_DELETESCANS = COLORONCOLOR, STRETCH_HALFTONE = HALFTONE;
enum : int { AD_COUNTERCLOCKWISE = 1, AD_CLOCKWISE = 2 }; // SetArcDirection
enum : int { MM_TEXT = 1 };
// Text alignment flags (SetTextAlign), used by the text functions.
enum : UINT {
    TA_NOUPDATECP = 0,
    TA_UPDATECP = 1,
    TA_LEFT = 0,
    TA_RIGHT = 2,
    TA_CENTER = 6,
    TA_TOP = 0,
    TA_BOTTOM = 8,
    TA_BASELINE = 24,
    TA_RTLREADING = 256
};
constexpr UINT GDI_ERROR = 0xFFFFFFFF;

// Region results and combine modes.
enum : int { ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3, RGN_ERROR = 0 };
enum : int { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };

// Pens.
enum : int {
    PS_SOLID = 0,
    PS_DASH = 1,
    PS_DOT = 2,
    PS_DASHDOT = 3,
    PS_DASHDOTDOT = 4,
    PS_NULL = 5,
    PS_INSIDEFRAME = 6,
    PS_USERSTYLE = 7,
    PS_ALTERNATE = 8,
    PS_STYLE_MASK = 0xF
};
// Brushes.
enum : UINT { BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2, BS_PATTERN = 3, BS_DIBPATTERNPT = 6 };
enum : int {
    HS_HORIZONTAL = 0,
    HS_VERTICAL = 1,
    HS_FDIAGONAL = 2,
    HS_BDIAGONAL = 3,
    HS_CROSS = 4,
    HS_DIAGCROSS = 5
};

// Stock objects.
enum : int {
    WHITE_BRUSH = 0,
    LTGRAY_BRUSH = 1,
    GRAY_BRUSH = 2,
    DKGRAY_BRUSH = 3,
    BLACK_BRUSH = 4,
    NULL_BRUSH = 5,
    HOLLOW_BRUSH = 5,
    WHITE_PEN = 6,
    BLACK_PEN = 7,
    NULL_PEN = 8,
    OEM_FIXED_FONT = 10,
    ANSI_FIXED_FONT = 11,
    ANSI_VAR_FONT = 12,
    SYSTEM_FONT = 13,
    DEVICE_DEFAULT_FONT = 14,
    DEFAULT_PALETTE = 15,
    SYSTEM_FIXED_FONT = 16,
    DEFAULT_GUI_FONT = 17,
    DC_BRUSH = 18,
    DC_PEN = 19,
    STOCK_LAST = 19
};

// GetDeviceCaps indexes.
enum : int {
    DRIVERVERSION = 0,
    TECHNOLOGY = 2,
    HORZSIZE = 4,
    VERTSIZE = 6,
    HORZRES = 8,
    VERTRES = 10,
    BITSPIXEL = 12,
    PLANES = 14,
    NUMBRUSHES = 16,
    NUMPENS = 18,
    NUMFONTS = 22,
    NUMCOLORS = 24,
    RASTERCAPS = 38,
    LOGPIXELSX = 88,
    LOGPIXELSY = 90,
    SIZEPALETTE = 104,
    NUMRESERVED = 106,
    COLORRES = 108,
    PHYSICALWIDTH = 110,
    PHYSICALHEIGHT = 111,
    PHYSICALOFFSETX = 112,
    PHYSICALOFFSETY = 113,
    VREFRESH = 116,
    DESKTOPVERTRES = 117,
    DESKTOPHORZRES = 118,
    SHADEBLENDCAPS = 120
};
enum : int { DT_PLOTTER = 0, DT_RASDISPLAY = 1, DT_RASPRINTER = 2 };
constexpr int RC_BITBLT = 1, RC_STRETCHBLT = 0x800, RC_PALETTE = 0x100, RC_DI_BITMAP = 0x80;

// Flood fill.
enum : UINT { FLOODFILLBORDER = 0, FLOODFILLSURFACE = 1 };

// DrawEdge.
enum : UINT {
    BDR_RAISEDOUTER = 0x0001,
    BDR_SUNKENOUTER = 0x0002,
    BDR_RAISEDINNER = 0x0004,
    BDR_SUNKENINNER = 0x0008,
    BDR_OUTER = 0x0003,
    BDR_INNER = 0x000C,
    BDR_RAISED = 0x0005,
    BDR_SUNKEN = 0x000A,
    EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER,
    EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
    EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER,
    EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER
};
enum : UINT {
    BF_LEFT = 0x0001,
    BF_TOP = 0x0002,
    BF_RIGHT = 0x0004,
    BF_BOTTOM = 0x0008,
    BF_TOPLEFT = BF_TOP | BF_LEFT,
    BF_TOPRIGHT = BF_TOP | BF_RIGHT,
    BF_BOTTOMLEFT = BF_BOTTOM | BF_LEFT,
    BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT,
    BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM,
    BF_DIAGONAL = 0x0010,
    BF_MIDDLE = 0x0800,
    BF_SOFT = 0x1000,
    BF_ADJUST = 0x2000,
    BF_FLAT = 0x4000,
    BF_MONO = 0x8000
};
// DrawFrameControl.
enum : UINT { DFC_CAPTION = 1, DFC_MENU = 2, DFC_SCROLL = 3, DFC_BUTTON = 4, DFC_POPUPMENU = 5 };
enum : UINT {
    DFCS_CAPTIONCLOSE = 0x0000,
    DFCS_CAPTIONMIN = 0x0001,
    DFCS_CAPTIONMAX = 0x0002,
    DFCS_CAPTIONRESTORE = 0x0003,
    DFCS_CAPTIONHELP = 0x0004,
    DFCS_MENUARROW = 0x0000,
    DFCS_MENUCHECK = 0x0001,
    DFCS_MENUBULLET = 0x0002,
    DFCS_MENUARROWRIGHT = 0x0004,
    DFCS_SCROLLUP = 0x0000,
    DFCS_SCROLLDOWN = 0x0001,
    DFCS_SCROLLLEFT = 0x0002,
    DFCS_SCROLLRIGHT = 0x0003,
    DFCS_SCROLLCOMBOBOX = 0x0005,
    DFCS_SCROLLSIZEGRIP = 0x0008,
    DFCS_SCROLLSIZEGRIPRIGHT = 0x0010,
    DFCS_BUTTONCHECK = 0x0000,
    DFCS_BUTTONRADIOIMAGE = 0x0001,
    DFCS_BUTTONRADIOMASK = 0x0002,
    DFCS_BUTTONRADIO = 0x0004,
    DFCS_BUTTON3STATE = 0x0008,
    DFCS_BUTTONPUSH = 0x0010,
    DFCS_INACTIVE = 0x0100,
    DFCS_PUSHED = 0x0200,
    DFCS_CHECKED = 0x0400,
    DFCS_TRANSPARENT = 0x0800,
    DFCS_HOT = 0x1000,
    DFCS_ADJUSTRECT = 0x2000,
    DFCS_FLAT = 0x4000,
    DFCS_MONO = 0x8000
};
// GradientFill.
enum : UINT { GRADIENT_FILL_RECT_H = 0, GRADIENT_FILL_RECT_V = 1, GRADIENT_FILL_TRIANGLE = 2 };
struct TRIVERTEX {
    LONG x = 0, y = 0;
    COLOR16 Red = 0, Green = 0, Blue = 0, Alpha = 0;
};
struct GRADIENT_RECT {
    UINT UpperLeft = 0, LowerRight = 0;
};
struct GRADIENT_TRIANGLE {
    UINT Vertex1 = 0, Vertex2 = 0, Vertex3 = 0;
};

// ---- object descriptions (GetObject) ---------------------------------------------------------------
struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes =
        0; // bytes per row of the platform's packed layout (32-bit: 4*w; mono: WORD-aligned bits)
    WORD bmPlanes = 1;
    WORD bmBitsPixel = 0;
    void* bmBits = nullptr; // DIB sections: the TDib memory (see TDib for the mono layout); else null
};
struct LOGPEN {
    UINT lopnStyle = PS_SOLID;
    TPoint lopnWidth{1, 0};
    COLORREF lopnColor = 0;
};
struct LOGBRUSH {
    UINT lbStyle = BS_SOLID;
    COLORREF lbColor = 0;
    uintptr_t lbHatch = 0; // hatch style, or the HBITMAP of a pattern brush
};

// DIB descriptions for GetDIBits / SetDIBitsToDevice / StretchDIBits / CreateDIBSection.
enum : DWORD { BI_RGB = 0, BI_BITFIELDS = 3 };
enum : UINT { DIB_RGB_COLORS = 0, DIB_PAL_COLORS = 1 };
struct RGBQUAD {
    BYTE rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
};
struct BITMAPINFOHEADER {
    DWORD biSize = 40;
    LONG biWidth = 0;
    LONG biHeight = 0; // positive: bottom-up rows; negative: top-down
    WORD biPlanes = 1;
    WORD biBitCount = 0; // 1, 4, 8, 24 or 32
    DWORD biCompression = BI_RGB;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0, biYPelsPerMeter = 0;
    DWORD biClrUsed = 0, biClrImportant = 0;
};
// Variable length: the colour table follows the header (biClrUsed entries, or 2^bitcount when 0, for <= 8
// bpp).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
// Bytes per row of a packed DIB (rows padded to 4 bytes).
inline constexpr int DibRowBytes(int width, int bitCount) {
    return ((width * bitCount + 31) / 32) * 4;
}

// Region data (ExtCreateRegion / GetRegionData).
constexpr DWORD RDH_RECTANGLES = 1;
struct RGNDATAHEADER {
    DWORD dwSize = 32;
    DWORD iType = RDH_RECTANGLES;
    DWORD nCount = 0;
    DWORD nRgnSize = 0;
    TRect rcBound;
};
struct RGNDATA {
    RGNDATAHEADER rdh;
    TRect Buffer[1]; // nCount rectangles follow the header
};

// ---- objects -------------------------------------------------------------------------------------------
HGDIOBJ GetStockObject(int index);
// Deletes a pen, brush, font, bitmap, region or palette. Stock objects are ignored (true). A pen, brush
// or font that is still selected into a DC stays usable there and is freed when deselected (true); a
// selected bitmap is refused (false). Invalid handles give false.
bool DeleteObject(HGDIOBJ obj);
int GetObjectType(HGDIOBJ obj);
int GetObjectType(HDC dc);
// Fills BITMAP, LOGPEN or LOGBRUSH; returns the bytes written, or the size needed when `out` is null;
// 0 on error.
int GetObject(HGDIOBJ obj, int size, void* out);

HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* lp);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
// Pattern brushes copy the bitmap (the bitmap may be deleted afterwards); any size tiles, 8x8 is usual.
// Mono patterns draw 0 bits in the DC's text colour and 1 bits in its background colour.
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH CreateBrushIndirect(const LOGBRUSH* lb);
// Shared brush of a system colour (never deleted; DeleteObject ignores it). Follows SetSysColors.
HBRUSH GetSysColorBrush(int index);

// 32-bit bitmap compatible with the DC (mono when the DC has a mono bitmap selected, as a fresh memory DC
// has), or with the screen when dc is null. Sizes <= 0 give a 1x1 mono bitmap as on the platform.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// planes * bitsPerPixel: 1 -> mono, 24 or 32 -> 32-bit colour. `bits` (may be null): rows of the
// platform's packed layout, top row first, padded to 2 bytes: mono MSB = leftmost pixel, 1 = white; 24-bit
// B, G, R triplets; 32-bit 0x00RRGGBB words.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// DIB section: 32-bit (or 1-bit when biBitCount == 1) with direct pixel access. A positive biHeight gives
// bottom-up memory, negative top-down; *bits receives the first memory row (as on the platform).
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section = nullptr,
                         DWORD offset = 0);
// Wraps an existing surface (shared, not copied) in a bitmap handle.
HBITMAP CreateBitmapFromDib(TDibPtr dib);
// The surface of a bitmap (shared), or null for an invalid handle.
TDibPtr GetBitmapDib(HBITMAP bitmap);
// Copies packed rows (the CreateBitmap layout) out of / into a bitmap; returns bytes copied.
long GetBitmapBits(HBITMAP bitmap, long count, void* bits);
long SetBitmapBits(HBITMAP bitmap, DWORD count, const void* bits);
bool GetBitmapDimensionEx(HBITMAP bitmap, TSize* size);

// Surfaces are true colour: palettes exist as handles only, selecting and realising them changes nothing.
HPALETTE SelectPalette(HDC dc, HPALETTE palette, bool forceBackground);
UINT RealizePalette(HDC dc);

// Fonts are made by the text layer; this layer only keeps the handle and its data.
class TGdiFontData {
public:
    virtual ~TGdiFontData() = default;
};
HFONT CreateFontFromData(std::shared_ptr<TGdiFontData> data);
std::shared_ptr<TGdiFontData> GetFontData(HFONT font);
// Installs the data of a stock font (SYSTEM_FONT, DEFAULT_GUI_FONT, ...); before that, stock font handles
// exist with null data.
void SetStockFontData(int stockIndex, std::shared_ptr<TGdiFontData> data);

// ---- device contexts -------------------------------------------------------------------------------
// Memory DC with a 1x1 mono bitmap selected; its capabilities are those of `dc` (or the screen).
HDC CreateCompatibleDC(HDC dc);
// DC over an existing surface (window and screen DCs): device (0,0) is surface pixel `deviceOrigin`;
// `systemClip` (device coordinates; null = the whole surface) is the visible region the DC can never draw
// outside of. DeleteDC releases it.
HDC CreateSurfaceDC(TDibPtr surface, TPoint deviceOrigin, const TRegion* systemClip);
// Changes the visible region or origin of such a DC (an empty region makes the DC draw nothing, for
// example after its window was destroyed). May be called from any thread, also while another thread draws
// through the DC: the change applies from the DC's next call on, and these calls never block on drawing.
bool SetDCSystemClip(HDC dc, const TRegion* systemClip);
bool SetDCDeviceOrigin(HDC dc, TPoint deviceOrigin);
TPoint GetDCDeviceOrigin(HDC dc);
// Current target surface of a DC (the selected bitmap of a memory DC).
TDibPtr GetDCSurface(HDC dc);
bool DeleteDC(HDC dc);
bool IsMemoryDC(HDC dc);

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj); // regions: like SelectClipRgn, returns the region type
HGDIOBJ GetCurrentObject(HDC dc, int objectType);
int SaveDC(HDC dc);                     // returns the new level (>= 1), 0 on error
bool RestoreDC(HDC dc, int savedLevel); // absolute level, or negative = relative (-1: the last one)

// Device capabilities: screen defaults (32 bpp, 96 dpi, 1024x768) are settable for tests; a DC copies them
// when it is created and may override single values (printer DCs).
void SetScreenDeviceCaps(int bitsPixel, int dpiX, int dpiY, int horzRes, int vertRes);
int GetDeviceCaps(HDC dc, int index);
bool SetDeviceCaps(HDC dc, int index, int value);

COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);
int SetTextCharacterExtra(HDC dc, int extra);
int GetTextCharacterExtra(HDC dc);
int SetROP2(HDC dc, int rop2);
int GetROP2(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
int SetPolyFillMode(HDC dc, int mode);
int GetPolyFillMode(HDC dc);
int SetArcDirection(HDC dc, int direction);
int GetArcDirection(HDC dc);
int SetMapMode(HDC dc, int mode); // only MM_TEXT
int GetMapMode(HDC dc);
COLORREF SetDCBrushColor(HDC dc, COLORREF color);
COLORREF SetDCPenColor(HDC dc, COLORREF color);
bool SetBrushOrgEx(HDC dc, int x, int y, TPoint* old);
bool GetBrushOrgEx(HDC dc, TPoint* org);
bool SetViewportOrgEx(HDC dc, int x, int y, TPoint* old);
bool GetViewportOrgEx(HDC dc, TPoint* org);
bool OffsetViewportOrgEx(HDC dc, int dx, int dy, TPoint* old);
bool SetWindowOrgEx(HDC dc, int x, int y, TPoint* old);
bool GetWindowOrgEx(HDC dc, TPoint* org);
bool OffsetWindowOrgEx(HDC dc, int dx, int dy, TPoint* old);
bool LPtoDP(HDC dc, TPoint* points, int count);
bool DPtoLP(HDC dc, TPoint* points, int count);
bool MoveToEx(HDC dc, int x, int y, TPoint* old);
bool GetCurrentPositionEx(HDC dc, TPoint* pos);

// ---- clipping ---------------------------------------------------------------------------------------
// Application clip region in device coordinates, always intersected with the system clip and the surface.
int SelectClipRgn(HDC dc, HRGN rgn);              // null removes the clip; returns the new clip's type
int ExtSelectClipRgn(HDC dc, HRGN rgn, int mode); // RGN_AND/OR/XOR/DIFF with the current clip, RGN_COPY
int IntersectClipRect(HDC dc, int l, int t, int r, int b); // logical coordinates
int ExcludeClipRect(HDC dc, int l, int t, int r, int b);
int OffsetClipRgn(HDC dc, int dx, int dy);
// Copies the application clip into `rgn` (which must exist): 1 when there is one, 0 when the DC has no
// application clip (rgn unchanged), -1 on error.
int GetClipRgn(HDC dc, HRGN rgn);
// Bounding box of what can be drawn, in logical coordinates; returns the region type.
int GetClipBox(HDC dc, TRect* rect);
bool PtVisible(HDC dc, int x, int y);
bool RectVisible(HDC dc, const TRect* rect);
// The effective clip (system & application & surface) in device coordinates; for the text layer.
TRegion GetDCEffectiveClip(HDC dc);

// ---- regions ------------------------------------------------------------------------------------------
HRGN CreateRectRgn(int l, int t, int r, int b);
HRGN CreateRectRgnIndirect(const TRect* rect);
HRGN CreatePolygonRgn(const TPoint* points, int count, int fillMode);
HRGN CreatePolyPolygonRgn(const TPoint* points, const int* counts, int polygons, int fillMode);
HRGN CreateEllipticRgn(int l, int t, int r, int b);
HRGN CreateEllipticRgnIndirect(const TRect* rect);
HRGN CreateRoundRectRgn(int l, int t, int r, int b, int ellipseW, int ellipseH);
HRGN ExtCreateRegion(const void* xform, DWORD count, const RGNDATA* data);
HRGN CreateRegionFromTRegion(const TRegion& region);
// Region of all pixels of the bitmap whose colour differs from `key` (COLORREF).
HRGN CreateRegionFromBitmap(HBITMAP bitmap, COLORREF key);
DWORD GetRegionData(HRGN rgn, DWORD count, RGNDATA* data);
// Copy of a region's pixel set (empty for invalid handles).
TRegion GetRegion(HRGN rgn);
bool SetRegion(HRGN rgn, const TRegion& region);
int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode);
int OffsetRgn(HRGN rgn, int dx, int dy);
bool EqualRgn(HRGN a, HRGN b);
bool PtInRegion(HRGN rgn, int x, int y);
bool RectInRegion(HRGN rgn, const TRect* rect);
int GetRgnBox(HRGN rgn, TRect* rect);
bool SetRectRgn(HRGN rgn, int l, int t, int r, int b);
// Region drawing (region in logical coordinates).
bool FillRgn(HDC dc, HRGN rgn, HBRUSH brush);
bool FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int w, int h);
bool InvertRgn(HDC dc, HRGN rgn);
bool PaintRgn(HDC dc, HRGN rgn);

// ---- block transfers --------------------------------------------------------------------------------
// Zero or negative extents draw nothing; nothing is written where the source rectangle leaves the source
// surface. Colour/mono conversion: colour -> mono gives 1 where the source pixel equals the source DC's
// background colour; mono -> colour gives the destination DC's text colour for 0 and background colour for 1.
bool BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);
bool PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop);
// Nearest-neighbour (COLORONCOLOR); HALFTONE averages, BLACKONWHITE ANDs and WHITEONBLACK ORs the source
// pixels that fall on one destination pixel when shrinking. Negative extents mirror (either side); only
// the visible part of the destination is computed.
bool StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop);
// Where the mono mask bit is 1 the foreground ROP (low 3 bytes of rop4) applies, else the background ROP
// (high byte). Mask pixel (mx + i, my + j) belongs to destination pixel (x + i, y + j); a mask smaller than
// that area makes the call fail without drawing. Null mask: plain foreground.
bool MaskBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, HBITMAP mask, int mx, int my,
             DWORD rop4);
// Stretched copy that skips source pixels equal to `transparent` (COLORREF).
bool TransparentBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                    UINT transparent);

// Blends a (stretched, nearest-neighbour) source over the destination: SourceConstantAlpha scales the source,
// and with AC_SRC_ALPHA the source's high byte is its per-pixel (premultiplied) alpha.
constexpr BYTE AC_SRC_OVER = 0x00;
constexpr BYTE AC_SRC_ALPHA = 0x01;
struct BLENDFUNCTION {
    BYTE BlendOp = AC_SRC_OVER;
    BYTE BlendFlags = 0;
    BYTE SourceConstantAlpha = 255;
    BYTE AlphaFormat = 0;
};
bool AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend);

// ---- pixels and DIBs --------------------------------------------------------------------------------
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color); // returns the colour set, CLR_INVALID when clipped
bool SetPixelV(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y); // CLR_INVALID outside the surface or clip
// Reads scan lines [start, start+lines) of a bitmap (not selected anywhere, or selected: both work) in the
// format of info (1/4/8/24/32 bpp, BI_RGB; rows bottom-up for positive biHeight; scan line 0 is the
// bottom row then, as on the platform). bits null: fills in the header (size, biSizeImage) only.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT usage);
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT startScan, UINT lines,
                      const void* bits, const BITMAPINFO* info, UINT usage);
int StretchDIBits(HDC dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop);

// ---- lines and shapes ----------------------------------------------------------------------------
// Width-1 lines leave out their end point; wide lines are filled shapes with round ends.
bool LineTo(HDC dc, int x, int y);
bool Polyline(HDC dc, const TPoint* points, int count);
bool PolylineTo(HDC dc, const TPoint* points, int count);
bool Polygon(HDC dc, const TPoint* points, int count);
bool PolyPolygon(HDC dc, const TPoint* points, const int* counts, int polygons);
// Outline with the pen on the rectangle's edge pixels (Right/Bottom exclusive), interior with the brush.
bool Rectangle(HDC dc, int l, int t, int r, int b);
bool RoundRect(HDC dc, int l, int t, int r, int b, int ellipseW, int ellipseH);
bool Ellipse(HDC dc, int l, int t, int r, int b);
// Arcs run anticlockwise (the default direction) from the radial through (x1,y1) to the radial through
// (x2,y2).
bool Arc(HDC dc, int l, int t, int r, int b, int x1, int y1, int x2, int y2);
bool Pie(HDC dc, int l, int t, int r, int b, int x1, int y1, int x2, int y2);
bool Chord(HDC dc, int l, int t, int r, int b, int x1, int y1, int x2, int y2);
bool FloodFill(HDC dc, int x, int y, COLORREF color);
bool ExtFloodFill(HDC dc, int x, int y, COLORREF color, UINT type);
int FillRect(HDC dc, const TRect* rect, HBRUSH brush); // brush may be (HBRUSH)(COLOR_xxx + 1)
int FrameRect(HDC dc, const TRect* rect, HBRUSH brush);
bool InvertRect(HDC dc, const TRect* rect);
// Dotted frame XORed with an alternating-pixel pattern (0 bits in the text colour, 1 bits in the background
// colour); drawing it twice restores the pixels.
bool DrawFocusRect(HDC dc, const TRect* rect);
bool DrawEdge(HDC dc, TRect* rect, UINT edge, UINT flags);
bool DrawFrameControl(HDC dc, TRect* rect, UINT type, UINT state);
bool GradientFill(HDC dc, const TRIVERTEX* vertices, UINT vertexCount, const void* mesh, UINT meshCount,
                  UINT mode);

// ---- hooks for the text layer ----------------------------------------------------------------------
// Blends an 8-bit coverage mask (255 = full colour) at logical (x, y) with the DC's clip, ROP2 ignored.
// Coverage 0/255 only gives exact, unblended pixels (for masks and key-coloured bitmaps).
bool DrawCoverageMask(HDC dc, int x, int y, const uint8_t* coverage, int w, int h, int stride,
                      COLORREF color);
// Fills a logical rectangle with a solid colour through the DC's clip (opaque text backgrounds).
bool FillSolidRect(HDC dc, const TRect& rect, COLORREF color);

} // namespace qel
