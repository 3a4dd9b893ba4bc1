#pragma once
// Fonts and text: logical fonts (LOGFONT) realised through FreeType with faces found by fontconfig,
// a glyph cache per realised font, and the GDI-style text functions on device contexts.
// The classic face names ("MS Sans Serif", "Arial", "Times New Roman", "Courier New", "Tahoma",
// "Verdana", "System", "Small Fonts", "Symbol", "Wingdings", ...) map to installed metric-compatible
// fonts where present and to DejaVu otherwise. Text is UTF-8.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/gdi.h"

namespace qel {

constexpr int LF_FACESIZE = 32;

// Weights.
enum : int {
    FW_DONTCARE = 0,
    FW_THIN = 100,
    FW_EXTRALIGHT = 200,
    FW_LIGHT = 300,
    FW_NORMAL = 400,
    FW_MEDIUM = 500,
    FW_SEMIBOLD = 600,
    FW_BOLD = 700,
    FW_EXTRABOLD = 800,
    FW_HEAVY = 900
};
// Character sets.
enum : int {
    ANSI_CHARSET = 0,
    DEFAULT_CHARSET = 1,
    SYMBOL_CHARSET = 2,
    SHIFTJIS_CHARSET = 128,
    HANGEUL_CHARSET = 129,
    GB2312_CHARSET = 134,
    CHINESEBIG5_CHARSET = 136,
    OEM_CHARSET = 255,
    GREEK_CHARSET = 161,
    TURKISH_CHARSET = 162,
    HEBREW_CHARSET = 177,
    ARABIC_CHARSET = 178,
    BALTIC_CHARSET = 186,
    RUSSIAN_CHARSET = 204,
    EASTEUROPE_CHARSET = 238
};
// Pitch and family (lfPitchAndFamily).
enum : int {
    DEFAULT_PITCH = 0,
    FIXED_PITCH = 1,
    VARIABLE_PITCH = 2,
    FF_DONTCARE = 0x00,
    FF_ROMAN = 0x10,
    FF_SWISS = 0x20,
    FF_MODERN = 0x30,
    FF_SCRIPT = 0x40,
    FF_DECORATIVE = 0x50
};
// Quality.
enum : int {
    DEFAULT_QUALITY = 0,
    DRAFT_QUALITY = 1,
    PROOF_QUALITY = 2,
    NONANTIALIASED_QUALITY = 3,
    ANTIALIASED_QUALITY = 4,
    CLEARTYPE_QUALITY = 5,
    CLEARTYPE_NATURAL_QUALITY = 6
};
enum : int { OUT_DEFAULT_PRECIS = 0, CLIP_DEFAULT_PRECIS = 0 };

struct LOGFONT {
    LONG lfHeight = 0; // < 0: character (em) height in pixels; > 0: cell height; 0: default
    LONG lfWidth = 0;
    LONG lfEscapement = 0; // tenths of a degree, anticlockwise
    LONG lfOrientation = 0;
    LONG lfWeight = FW_NORMAL;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = DEFAULT_CHARSET;
    BYTE lfOutPrecision = OUT_DEFAULT_PRECIS;
    BYTE lfClipPrecision = CLIP_DEFAULT_PRECIS;
    BYTE lfQuality = DEFAULT_QUALITY;
    BYTE lfPitchAndFamily = DEFAULT_PITCH;
    char lfFaceName[LF_FACESIZE] = {}; // UTF-8, NUL-terminated
};
// Copies a face name into a LOGFONT (truncated to fit).
void SetLogFontFaceName(LOGFONT& lf, std::string_view name);

struct TEXTMETRIC {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
    LONG tmOverhang = 0;
    LONG tmDigitizedAspectX = 96;
    LONG tmDigitizedAspectY = 96;
    uint32_t tmFirstChar = 0x20;
    uint32_t tmLastChar = 0xFFFF;
    uint32_t tmDefaultChar = 0x1F;
    uint32_t tmBreakChar = 0x20;
    BYTE tmItalic = 0;
    BYTE tmUnderlined = 0;
    BYTE tmStruckOut = 0;
    BYTE tmPitchAndFamily = 0; // TMPF_FIXED_PITCH (1) is set for VARIABLE pitch fonts, as on the platform
    BYTE tmCharSet = 0;
};
constexpr BYTE TMPF_FIXED_PITCH = 0x01, TMPF_VECTOR = 0x02, TMPF_TRUETYPE = 0x04;

// ---- fonts ------------------------------------------------------------------------------------------
HFONT CreateFontIndirect(const LOGFONT* lf);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, UINT italic,
                 UINT underline, UINT strikeOut, UINT charSet, UINT outPrecision, UINT clipPrecision,
                 UINT quality, UINT pitchAndFamily, const char* faceName);
// The LOGFONT a font was made from (stock fonts included); false for other handles.
bool GetLogFont(HFONT font, LOGFONT* lf);
// Installs the stock fonts (SYSTEM_FONT, DEFAULT_GUI_FONT, ANSI_VAR_FONT, ...). Called by every text
// function; call it yourself before using GetStockObject font handles with the raster functions.
void InitStockFonts();

// The installed font file a face name resolves to (for diagnostics and tests): the path and family.
struct TResolvedFace {
    std::string File;
    int Index = 0;
    std::string Family;
    bool SyntheticBold = false;
    bool SyntheticItalic = false;
};
TResolvedFace ResolveFace(std::string_view faceName, int weight, bool italic, int pitchAndFamily);
// Face names offered by the platform (the classic names plus the installed families), sorted.
std::vector<std::string> GetFontNames();

// ---- text functions ---------------------------------------------------------------------------------
// ExtTextOut options.
enum : UINT { ETO_OPAQUE = 0x0002, ETO_CLIPPED = 0x0004, ETO_GLYPH_INDEX = 0x0010, ETO_RTLREADING = 0x0080 };
// DrawText format flags.
enum : UINT {
    DT_TOP = 0x00000000,
    DT_LEFT = 0x00000000,
    DT_CENTER = 0x00000001,
    DT_RIGHT = 0x00000002,
    DT_VCENTER = 0x00000004,
    DT_BOTTOM = 0x00000008,
    DT_WORDBREAK = 0x00000010,
    DT_SINGLELINE = 0x00000020,
    DT_EXPANDTABS = 0x00000040,
    DT_TABSTOP = 0x00000080,
    DT_NOCLIP = 0x00000100,
    DT_EXTERNALLEADING = 0x00000200,
    DT_CALCRECT = 0x00000400,
    DT_NOPREFIX = 0x00000800,
    DT_INTERNAL = 0x00001000,
    DT_EDITCONTROL = 0x00002000,
    DT_PATH_ELLIPSIS = 0x00004000,
    DT_END_ELLIPSIS = 0x00008000,
    DT_MODIFYSTRING = 0x00010000,
    DT_RTLREADING = 0x00020000,
    DT_WORD_ELLIPSIS = 0x00040000,
    DT_NOFULLWIDTHCHARBREAK = 0x00080000,
    DT_HIDEPREFIX = 0x00100000,
    DT_PREFIXONLY = 0x00200000
};

// `count` is in bytes of UTF-8; -1 means NUL-terminated. Positions follow the DC's text alignment,
// background mode and colours, character extra and current position (TA_UPDATECP).
bool TextOut(HDC dc, int x, int y, const char* text, int count);
bool TextOut(HDC dc, int x, int y, std::string_view text);
// `dx` (may be null) holds one advance per character (code point).
bool ExtTextOut(HDC dc, int x, int y, UINT options, const TRect* rect, const char* text, int count,
                const int* dx);
// Returns the height of the text drawn (or measured with DT_CALCRECT, which also updates *rect);
// 0 on error.
int DrawText(HDC dc, const char* text, int count, TRect* rect, UINT format);
int DrawText(HDC dc, std::string_view text, TRect* rect, UINT format);
bool GetTextExtentPoint32(HDC dc, const char* text, int count, TSize* size);
TSize GetTextExtent(HDC dc, std::string_view text);
bool GetTextMetrics(HDC dc, TEXTMETRIC* tm);
// Width in pixels of each code point in [first, last].
bool GetCharWidth32(HDC dc, UINT first, UINT last, int* widths);
// Name of the face realised for the DC's font.
std::string GetTextFace(HDC dc);

// ---- internals shared with the canvas and the metafile player ---------------------------------------
// Decodes UTF-8 into code points (malformed bytes become U+FFFD).
std::u32string Utf8ToCodePoints(std::string_view text);
std::string CodePointsToUtf8(std::u32string_view text);
// Number of glyphs rendered since start (for tests of the glyph cache).
int64_t GlyphRenderCount();

} // namespace qel
