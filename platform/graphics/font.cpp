// The font engine: face resolution through fontconfig, realised fonts (FreeType faces at a pixel
// size, with rotation and anti-aliasing settings) and their glyph caches.
#include "platform/graphics/font_engine.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>

#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

namespace qel {

namespace {

std::mutex GFtMutex; // FreeType library and fontconfig calls
FT_Library GFtLibrary = nullptr;
std::atomic<int64_t> GGlyphRenders{0};

FT_Library Library() {
    if (!GFtLibrary && FT_Init_FreeType(&GFtLibrary) != 0) GFtLibrary = nullptr;
    return GFtLibrary;
}

std::string Lower(std::string_view s) {
    std::string r(s);
    for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

// Families tried, in order, for a requested face name.
std::vector<std::string> CandidateFamilies(std::string_view faceName, int pitchAndFamily) {
    static const std::vector<std::string> sans = {"Liberation Sans", "Arimo", "DejaVu Sans"};
    static const std::vector<std::string> serif = {"Liberation Serif", "Tinos", "DejaVu Serif"};
    static const std::vector<std::string> mono = {"Liberation Mono", "Cousine", "DejaVu Sans Mono"};
    static const std::map<std::string, int> classic = {
        {"ms sans serif", 0},   {"microsoft sans serif", 0},
        {"ms shell dlg", 0},    {"ms shell dlg 2", 0},
        {"tahoma", 0},          {"system", 0},
        {"small fonts", 0},     {"segoe ui", 0},
        {"arial", 0},           {"helvetica", 0},
        {"arial narrow", 0},    {"ms serif", 1},
        {"times new roman", 1}, {"times", 1},
        {"tms rmn", 1},         {"roman", 1},
        {"courier new", 2},     {"courier", 2},
        {"fixedsys", 2},        {"terminal", 2},
        {"lucida console", 2},  {"consolas", 2},
        {"verdana", 3},         {"georgia", 4},
        {"symbol", 5},          {"wingdings", 5},
        {"webdings", 5},        {"marlett", 5},
        {"comic sans ms", 3},   {"trebuchet ms", 3},
        {"arial black", 0},     {"impact", 0},
    };
    std::vector<std::string> out;
    if (!faceName.empty()) out.emplace_back(faceName);
    auto it = classic.find(Lower(faceName));
    int kind = -1;
    if (it != classic.end())
        kind = it->second;
    else if ((pitchAndFamily & 3) == FIXED_PITCH || (pitchAndFamily & 0xF0) == FF_MODERN)
        kind = 2;
    else if ((pitchAndFamily & 0xF0) == FF_ROMAN)
        kind = 1;
    else
        kind = 0;
    switch (kind) {
    case 1: out.insert(out.end(), serif.begin(), serif.end()); break;
    case 2: out.insert(out.end(), mono.begin(), mono.end()); break;
    case 3: out.push_back("DejaVu Sans"); break;
    case 4: out.push_back("DejaVu Serif"); break;
    case 5:
        out.push_back("OpenSymbol");
        out.push_back("DejaVu Sans");
        break;
    default: out.insert(out.end(), sans.begin(), sans.end()); break;
    }
    out.push_back("DejaVu Sans");
    return out;
}

// One fontconfig query; the match is accepted only when it is really the asked family.
bool MatchFamily(const std::string& family, bool bold, bool italic, TResolvedFace& out) {
    FcPattern* pat = FcPatternCreate();
    if (!pat) return false;
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* m = FcFontMatch(nullptr, pat, &result);
    FcPatternDestroy(pat);
    if (!m) return false;
    bool ok = false;
    std::string want = Lower(family);
    FcChar8* fam = nullptr;
    for (int i = 0; FcPatternGetString(m, FC_FAMILY, i, &fam) == FcResultMatch; ++i)
        if (Lower(reinterpret_cast<const char*>(fam)) == want) ok = true;
    FcChar8* file = nullptr;
    if (ok && FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch) {
        out.File = reinterpret_cast<const char*>(file);
        int index = 0;
        FcPatternGetInteger(m, FC_INDEX, 0, &index);
        out.Index = index;
        out.Family = family;
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(m, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(m, FC_SLANT, 0, &slant);
        out.SyntheticBold = bold && weight < FC_WEIGHT_DEMIBOLD;
        out.SyntheticItalic = italic && slant == FC_SLANT_ROMAN;
    } else {
        ok = false;
    }
    FcPatternDestroy(m);
    return ok;
}

} // namespace

TResolvedFace ResolveFace(std::string_view faceName, int weight, bool italic, int pitchAndFamily) {
    bool bold = weight >= FW_SEMIBOLD;
    std::string key = Lower(faceName) + '|' + (bold ? 'b' : 'n') + (italic ? 'i' : 'n') +
                      std::to_string(pitchAndFamily & 0xF3);
    static std::map<std::string, TResolvedFace> cache;
    std::lock_guard<std::mutex> lock(GFtMutex);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    static const bool initialised = [] {
        // fontconfig keeps its configuration until FcFini; release it at exit.
        bool ok = FcInit();
        std::atexit([] { FcFini(); });
        return ok;
    }();
    (void)initialised;
    TResolvedFace face;
    for (const std::string& family : CandidateFamilies(faceName, pitchAndFamily))
        if (MatchFamily(family, bold, italic, face)) break;
    if (face.File.empty()) {
        // Without fontconfig results, try the usual DejaVu location directly.
        const char* path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
        if (FileExists(path)) {
            face.File = path;
            face.Family = "DejaVu Sans";
            face.SyntheticBold = bold;
            face.SyntheticItalic = italic;
        }
    }
    cache.emplace(key, face);
    return face;
}

std::vector<std::string> GetFontNames() {
    std::set<std::string> names = {"Arial",  "Courier New", "MS Sans Serif",   "Small Fonts", "Symbol",
                                   "System", "Tahoma",      "Times New Roman", "Verdana",     "Wingdings"};
    std::lock_guard<std::mutex> lock(GFtMutex);
    FcPattern* pat = FcPatternCreate();
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fs = pat && os ? FcFontList(nullptr, pat, os) : nullptr;
    if (fs) {
        for (int i = 0; i < fs->nfont; ++i) {
            FcChar8* fam = nullptr;
            if (FcPatternGetString(fs->fonts[i], FC_FAMILY, 0, &fam) == FcResultMatch)
                names.insert(reinterpret_cast<const char*>(fam));
        }
        FcFontSetDestroy(fs);
    }
    if (os) FcObjectSetDestroy(os);
    if (pat) FcPatternDestroy(pat);
    return {names.begin(), names.end()};
}

int64_t GlyphRenderCount() {
    return GGlyphRenders.load();
}

// ---- realised fonts -------------------------------------------------------------------------------

TFontInstance::TFontInstance(const LOGFONT& lf) : FLogFont(lf) {
    TResolvedFace rf = ResolveFace(lf.lfFaceName, lf.lfWeight, lf.lfItalic != 0, lf.lfPitchAndFamily);
    FFamily = rf.Family.empty() ? std::string("DejaVu Sans") : rf.Family;
    FSyntheticBold = rf.SyntheticBold;
    FSyntheticItalic = rf.SyntheticItalic;
    switch (lf.lfQuality) {
    case NONANTIALIASED_QUALITY:
    case DRAFT_QUALITY: FAntialias = false; break;
    default: FAntialias = true; break;
    }
    double angle = (lf.lfEscapement % 3600) / 10.0 * M_PI / 180.0;
    FRotated = (lf.lfEscapement % 3600) != 0;
    FCos = std::cos(angle);
    FSin = std::sin(angle);
    {
        std::lock_guard<std::mutex> lock(GFtMutex);
        FT_Library lib = Library();
        if (lib && !rf.File.empty() && FT_New_Face(lib, rf.File.c_str(), rf.Index, &FFace) != 0)
            FFace = nullptr;
    }
    // Vertical metrics in font units: the Windows metrics of the OS/2 table where present.
    double upem = 2048, winAscent = 1901, winDescent = 483, avgWidth = 1038, lineGap = 0, maxWidth = 2000;
    double ulPos = -130, ulThick = 90, strikePos = 530, strikeSize = 90;
    if (FFace) {
        upem = FFace->units_per_EM ? FFace->units_per_EM : 2048;
        winAscent = FFace->ascender;
        winDescent = -FFace->descender;
        maxWidth = FFace->bbox.xMax - FFace->bbox.xMin;
        ulPos = FFace->underline_position;
        ulThick = FFace->underline_thickness;
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(FFace, FT_SFNT_OS2))) {
            if (os2->usWinAscent + os2->usWinDescent > 0) {
                winAscent = os2->usWinAscent;
                winDescent = os2->usWinDescent;
            }
            if (os2->xAvgCharWidth > 0) avgWidth = os2->xAvgCharWidth;
            strikePos = os2->yStrikeoutPosition;
            strikeSize = os2->yStrikeoutSize;
        }
        if (auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(FFace, FT_SFNT_HHEA))) {
            double natural = hhea->Ascender - hhea->Descender + hhea->Line_Gap;
            lineGap = std::max(0.0, natural - (winAscent + winDescent));
        }
    }
    double cellUnits = std::max(1.0, winAscent + winDescent);
    LONG h = lf.lfHeight;
    if (h == 0) h = 16;
    if (h > 0) {
        FEm = h * upem / cellUnits;
        FAscent = static_cast<int>(std::lround(winAscent * FEm / upem));
        FDescent = std::max(0, static_cast<int>(h) - FAscent);
    } else {
        FEm = std::min<double>(-static_cast<double>(h), 4096);
        FAscent = static_cast<int>(std::lround(winAscent * FEm / upem));
        FDescent = static_cast<int>(std::lround(winDescent * FEm / upem));
    }
    FEm = std::clamp(FEm, 1.0, 4096.0);
    double scale = FEm / upem;
    FHeight = FAscent + FDescent;
    FInternalLeading = std::max(0, FHeight - static_cast<int>(std::lround(FEm)));
    FExternalLeading = static_cast<int>(std::lround(lineGap * scale));
    FAveCharWidth = std::max(1, static_cast<int>(std::lround(avgWidth * scale)));
    FMaxCharWidth = std::max(FAveCharWidth, static_cast<int>(std::lround(maxWidth * scale)));
    FUnderlinePos = std::max(1, static_cast<int>(std::lround(-ulPos * scale)));
    FUnderlineThickness = std::max(1, static_cast<int>(std::lround(ulThick * scale)));
    FStrikePos = std::max(1, static_cast<int>(std::lround(strikePos * scale)));
    FStrikeThickness = std::max(1, static_cast<int>(std::lround(strikeSize * scale)));
    FXScale = 1.0;
    if (lf.lfWidth > 0) FXScale = std::clamp(static_cast<double>(lf.lfWidth) / FAveCharWidth, 0.05, 20.0);
    if (lf.lfWidth > 0) FAveCharWidth = lf.lfWidth;
    if (FFace) {
        FT_Set_Char_Size(FFace, 0, static_cast<FT_F26Dot6>(std::lround(FEm * 64)), 72, 72);
        FT_Matrix m;
        m.xx = static_cast<FT_Fixed>(std::lround(FCos * FXScale * 65536));
        m.xy = static_cast<FT_Fixed>(std::lround(-FSin * 65536));
        m.yx = static_cast<FT_Fixed>(std::lround(FSin * FXScale * 65536));
        m.yy = static_cast<FT_Fixed>(std::lround(FCos * 65536));
        FT_Set_Transform(FFace, &m, nullptr);
        FFixedPitch = FT_IS_FIXED_WIDTH(FFace);
    }
}

TFontInstance::~TFontInstance() {
    if (FFace) {
        std::lock_guard<std::mutex> lock(GFtMutex);
        FT_Done_Face(FFace);
    }
}

const TGlyph& TFontInstance::Glyph(char32_t cp) {
    // Caller holds FMutex.
    if (cp < 128 && FAscii[cp]) return *FAscii[cp];
    auto it = FGlyphs.find(cp);
    if (it != FGlyphs.end()) return it->second;
    TGlyph g;
    if (cp >= 0x20 && cp != 0x7F && FFace) {
        FT_UInt index = FT_Get_Char_Index(FFace, cp);
        FT_Int32 flags = FT_LOAD_DEFAULT | (FAntialias ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
        if (FT_Load_Glyph(FFace, index, flags) == 0) {
            FT_GlyphSlot slot = FFace->glyph;
            if (FSyntheticItalic) FT_GlyphSlot_Oblique(slot);
            if (FSyntheticBold) FT_GlyphSlot_Embolden(slot);
            g.AdvanceX = slot->advance.x;
            g.AdvanceY = slot->advance.y;
            if (!FRotated) g.Advance = static_cast<int>((slot->advance.x + 32) >> 6);
            if (FT_Render_Glyph(slot, FAntialias ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) == 0) {
                const FT_Bitmap& bm = slot->bitmap;
                g.Left = slot->bitmap_left;
                g.Top = slot->bitmap_top;
                g.Width = static_cast<int>(bm.width);
                g.Height = static_cast<int>(bm.rows);
                g.Coverage.resize(static_cast<size_t>(g.Width) * g.Height);
                for (int y = 0; y < g.Height; ++y) {
                    const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
                    for (int x = 0; x < g.Width; ++x) {
                        uint8_t v;
                        if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                            v = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
                        else
                            v = row[x];
                        g.Coverage[static_cast<size_t>(y) * g.Width + x] = v;
                    }
                }
                ++GGlyphRenders;
            }
        }
    } else if (cp >= 0x20 && cp != 0x7F) {
        // No face at all: boxes of half the em width so layout still works.
        g.Advance = std::max(1, static_cast<int>(FEm / 2));
        g.AdvanceX = static_cast<FT_Pos>(g.Advance * 64 * FCos);
        g.AdvanceY = static_cast<FT_Pos>(g.Advance * 64 * FSin);
    }
    auto [pos, inserted] = FGlyphs.emplace(cp, std::move(g));
    (void)inserted;
    if (cp < 128) FAscii[cp] = &pos->second;
    return pos->second;
}

int TFontInstance::AdvanceOf(char32_t cp) {
    std::lock_guard<std::mutex> lock(FMutex);
    return Glyph(cp).Advance;
}

std::shared_ptr<TFontInstance> TFontInstance::Get(const LOGFONT& lf) {
    std::string key(reinterpret_cast<const char*>(&lf), offsetof(LOGFONT, lfFaceName));
    key += Lower(lf.lfFaceName);
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<TFontInstance>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    auto inst = std::make_shared<TFontInstance>(lf);
    if (cache.size() > 512) cache.clear(); // realised fonts in use stay alive through their handles
    cache.emplace(key, inst);
    return inst;
}

void TFontInstance::FillMetrics(TEXTMETRIC& tm) const {
    tm = TEXTMETRIC{};
    tm.tmHeight = FHeight;
    tm.tmAscent = FAscent;
    tm.tmDescent = FDescent;
    tm.tmInternalLeading = FInternalLeading;
    tm.tmExternalLeading = FExternalLeading;
    tm.tmAveCharWidth = FAveCharWidth;
    tm.tmMaxCharWidth = FMaxCharWidth;
    tm.tmWeight = FLogFont.lfWeight ? FLogFont.lfWeight : FW_NORMAL;
    tm.tmItalic = FLogFont.lfItalic ? 1 : 0;
    tm.tmUnderlined = FLogFont.lfUnderline ? 1 : 0;
    tm.tmStruckOut = FLogFont.lfStrikeOut ? 1 : 0;
    tm.tmCharSet = FLogFont.lfCharSet == DEFAULT_CHARSET ? BYTE(ANSI_CHARSET) : FLogFont.lfCharSet;
    // The platform's bit is set for variable-pitch fonts.
    tm.tmPitchAndFamily = static_cast<BYTE>((FFixedPitch ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR |
                                            TMPF_TRUETYPE | (FLogFont.lfPitchAndFamily & 0xF0));
}

} // namespace qel
