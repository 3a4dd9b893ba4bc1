#pragma once
// Internal to the text layer: realised fonts and their glyph caches.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/graphics/font.h"

namespace qel {

struct TGlyph {
    int Left = 0; // bitmap offset from the pen position (x, right)
    int Top = 0;  // bitmap offset above the baseline (y, up)
    int Width = 0;
    int Height = 0;
    int Advance = 0;                   // whole pixels (unrotated fonts)
    FT_Pos AdvanceX = 0, AdvanceY = 0; // 26.6, in the rotated frame (y up)
    std::vector<uint8_t> Coverage;     // Width * Height, 0..255 (0/255 only without anti-aliasing)
};

// A LOGFONT realised at its pixel size. Shared by every handle with the same LOGFONT.
class TFontInstance {
public:
    explicit TFontInstance(const LOGFONT& lf);
    ~TFontInstance();
    TFontInstance(const TFontInstance&) = delete;
    TFontInstance& operator=(const TFontInstance&) = delete;

    static std::shared_ptr<TFontInstance> Get(const LOGFONT& lf);

    // Glyph lookup; hold Mutex() while using the result.
    const TGlyph& Glyph(char32_t cp);
    std::mutex& Mutex() { return FMutex; }
    int AdvanceOf(char32_t cp);

    const LOGFONT& LogFont() const { return FLogFont; }
    const std::string& Family() const { return FFamily; }
    int Height() const { return FHeight; }
    int Ascent() const { return FAscent; }
    int Descent() const { return FDescent; }
    int ExternalLeading() const { return FExternalLeading; }
    int AveCharWidth() const { return FAveCharWidth; }
    int UnderlinePos() const { return FUnderlinePos; } // below the baseline
    int UnderlineThickness() const { return FUnderlineThickness; }
    int StrikePos() const { return FStrikePos; } // above the baseline
    int StrikeThickness() const { return FStrikeThickness; }
    bool Rotated() const { return FRotated; }
    double Cos() const { return FCos; }
    double Sin() const { return FSin; }
    bool Antialias() const { return FAntialias; }
    void FillMetrics(TEXTMETRIC& tm) const;

private:
    LOGFONT FLogFont;
    std::string FFamily;
    FT_Face FFace = nullptr;
    std::mutex FMutex;
    std::unordered_map<char32_t, TGlyph> FGlyphs;
    std::array<const TGlyph*, 128> FAscii{};
    double FEm = 11;
    double FXScale = 1;
    double FCos = 1, FSin = 0;
    bool FRotated = false;
    bool FAntialias = true;
    bool FSyntheticBold = false, FSyntheticItalic = false;
    bool FFixedPitch = false;
    int FHeight = 0, FAscent = 0, FDescent = 0, FInternalLeading = 0, FExternalLeading = 0;
    int FAveCharWidth = 0, FMaxCharWidth = 0;
    int FUnderlinePos = 1, FUnderlineThickness = 1, FStrikePos = 1, FStrikeThickness = 1;
};

// The data behind an HFONT.
class TFontData : public TGdiFontData {
public:
    explicit TFontData(const LOGFONT& lf) : LogFont(lf) {}
    LOGFONT LogFont;
    std::shared_ptr<TFontInstance> Instance() {
        std::call_once(FOnce, [this] { FInstance = TFontInstance::Get(LogFont); });
        return FInstance;
    }

private:
    std::once_flag FOnce;
    std::shared_ptr<TFontInstance> FInstance;
};

} // namespace qel
