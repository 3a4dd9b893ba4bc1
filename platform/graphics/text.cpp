// GDI-style text functions over device contexts: fonts as handles, TextOut/ExtTextOut, DrawText
// with its layout flags, extents and metrics.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/graphics/font_engine.h"

namespace qel {

// ---- UTF-8 ------------------------------------------------------------------------------------------

std::u32string Utf8ToCodePoints(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int len;
        if (c < 0x80)
            cp = c, len = 1;
        else if ((c & 0xE0) == 0xC0)
            cp = c & 0x1F, len = 2;
        else if ((c & 0xF0) == 0xE0)
            cp = c & 0x0F, len = 3;
        else if ((c & 0xF8) == 0xF0)
            cp = c & 0x07, len = 4;
        else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (i + len > n) {
            out.push_back(0xFFFD);
            break;
        }
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (d & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += len;
    }
    return out;
}

std::string CodePointsToUtf8(std::u32string_view s) {
    std::string out;
    for (char32_t cp : s) {
        if (cp < 0x80)
            out.push_back(static_cast<char>(cp));
        else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

// ---- font handles -----------------------------------------------------------------------------------

void SetLogFontFaceName(LOGFONT& lf, std::string_view name) {
    size_t n = std::min(name.size(), static_cast<size_t>(LF_FACESIZE - 1));
    std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
    std::memcpy(lf.lfFaceName, name.data(), n);
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
    if (!lf) return nullptr;
    LOGFONT copy = *lf;
    copy.lfFaceName[LF_FACESIZE - 1] = 0;
    return CreateFontFromData(std::make_shared<TFontData>(copy));
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, UINT italic,
                 UINT underline, UINT strikeOut, UINT charSet, UINT outPrecision, UINT clipPrecision,
                 UINT quality, UINT pitchAndFamily, const char* faceName) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = static_cast<BYTE>(italic ? 1 : 0);
    lf.lfUnderline = static_cast<BYTE>(underline ? 1 : 0);
    lf.lfStrikeOut = static_cast<BYTE>(strikeOut ? 1 : 0);
    lf.lfCharSet = static_cast<BYTE>(charSet);
    lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    lf.lfQuality = static_cast<BYTE>(quality);
    lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    SetLogFontFaceName(lf, faceName ? faceName : "");
    return CreateFontIndirect(&lf);
}

void InitStockFonts() {
    static std::once_flag once;
    std::call_once(once, [] {
        auto make = [](const char* face, int height, int weight, int pitch) {
            LOGFONT lf;
            SetLogFontFaceName(lf, face);
            lf.lfHeight = height;
            lf.lfWeight = weight;
            lf.lfPitchAndFamily = static_cast<BYTE>(pitch);
            return std::make_shared<TFontData>(lf);
        };
        auto system = make("System", 16, FW_BOLD, VARIABLE_PITCH | FF_SWISS);
        auto gui = make("MS Sans Serif", -11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS);
        auto fixed = make("Courier New", -13, FW_NORMAL, FIXED_PITCH | FF_MODERN);
        SetStockFontData(SYSTEM_FONT, system);
        SetStockFontData(DEVICE_DEFAULT_FONT, system);
        SetStockFontData(DEFAULT_GUI_FONT, gui);
        SetStockFontData(ANSI_VAR_FONT, gui);
        SetStockFontData(ANSI_FIXED_FONT, fixed);
        SetStockFontData(OEM_FIXED_FONT, fixed);
        SetStockFontData(SYSTEM_FIXED_FONT, fixed);
    });
}

bool GetLogFont(HFONT font, LOGFONT* lf) {
    InitStockFonts();
    auto data = std::dynamic_pointer_cast<TFontData>(GetFontData(font));
    if (!data || !lf) return false;
    *lf = data->LogFont;
    return true;
}

namespace {

std::shared_ptr<TFontInstance> DCFont(HDC dc) {
    InitStockFonts();
    auto font = static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT));
    auto data = std::dynamic_pointer_cast<TFontData>(GetFontData(font));
    if (!data) {
        data = std::dynamic_pointer_cast<TFontData>(
            GetFontData(static_cast<HFONT>(GetStockObject(SYSTEM_FONT))));
        if (!data) return nullptr;
    }
    return data->Instance();
}

// Advances of a run: glyph advance + character extra, tabs expanded to multiples of tabWidth (from
// the run's start) when tabWidth > 0.
std::vector<int> Advances(TFontInstance& f, std::u32string_view cps, int extra, int tabWidth,
                          int startX = 0) {
    std::vector<int> adv(cps.size());
    std::lock_guard<std::mutex> lock(f.Mutex());
    int x = startX;
    for (size_t i = 0; i < cps.size(); ++i) {
        int a;
        if (cps[i] == U'\t' && tabWidth > 0)
            a = tabWidth - (((x % tabWidth) + tabWidth) % tabWidth);
        else if (cps[i] == U'\t')
            a = f.Glyph(U' ').Advance + extra;
        else
            a = f.Glyph(cps[i]).Advance + extra;
        adv[i] = a;
        x += a;
    }
    return adv;
}

int Sum(const std::vector<int>& v, size_t from = 0, size_t to = SIZE_MAX) {
    int s = 0;
    for (size_t i = from; i < std::min(to, v.size()); ++i) s += v[i];
    return s;
}

void FillPolygon(HDC dc, const TPoint* pts, int n, COLORREF color) {
    HRGN rgn = CreatePolygonRgn(pts, n, WINDING);
    HBRUSH brush = CreateSolidBrush(color);
    FillRgn(dc, rgn, brush);
    DeleteObject(brush);
    DeleteObject(rgn);
}

// Draws a run with its left end of the baseline at (x, baseline) in logical coordinates.
// `opaque`: fill the cell behind the run with the background colour.
void DrawRun(HDC dc, TFontInstance& f, double x, double baseline, std::u32string_view cps, const int* dx,
             bool opaque, bool glyphs = true) {
    COLORREF color = GetTextColor(dc);
    int extra = GetTextCharacterExtra(dc);
    std::vector<int> adv;
    if (!f.Rotated()) {
        adv = dx ? std::vector<int>(dx, dx + cps.size()) : Advances(f, cps, extra, 0);
        int width = Sum(adv);
        int ix = static_cast<int>(std::lround(x)), iy = static_cast<int>(std::lround(baseline));
        if (opaque && width > 0)
            FillSolidRect(dc, TRect(ix, iy - f.Ascent(), ix + width, iy + f.Descent()), GetBkColor(dc));
        if (glyphs) {
            std::lock_guard<std::mutex> lock(f.Mutex());
            int px = ix;
            for (size_t i = 0; i < cps.size(); ++i) {
                const TGlyph& g = f.Glyph(cps[i]);
                if (g.Width > 0 && g.Height > 0)
                    DrawCoverageMask(dc, px + g.Left, iy - g.Top, g.Coverage.data(), g.Width, g.Height,
                                     g.Width, color);
                px += adv[i];
            }
        }
        const LOGFONT& lf = f.LogFont();
        if (lf.lfUnderline && width > 0)
            FillSolidRect(
                dc,
                TRect(ix, iy + f.UnderlinePos(), ix + width, iy + f.UnderlinePos() + f.UnderlineThickness()),
                color);
        if (lf.lfStrikeOut && width > 0)
            FillSolidRect(dc,
                          TRect(ix, iy - f.StrikePos(), ix + width, iy - f.StrikePos() + f.StrikeThickness()),
                          color);
        return;
    }
    // Rotated: pen positions follow the glyph advance vectors (y up in FreeType's frame).
    double c = f.Cos(), s = f.Sin();
    std::vector<double> px(cps.size() + 1), py(cps.size() + 1);
    {
        std::lock_guard<std::mutex> lock(f.Mutex());
        double cx = x, cy = baseline;
        for (size_t i = 0; i < cps.size(); ++i) {
            px[i] = cx;
            py[i] = cy;
            const TGlyph& g = f.Glyph(cps[i] == U'\t' ? U' ' : cps[i]);
            if (dx) {
                cx += dx[i] * c;
                cy -= dx[i] * s;
            } else {
                cx += g.AdvanceX / 64.0 + extra * c;
                cy -= g.AdvanceY / 64.0 + extra * s;
            }
        }
        px[cps.size()] = cx;
        py[cps.size()] = cy;
    }
    auto band = [&](double below, double above, COLORREF col) {
        // A strip along the baseline from `below` (down) to `above` (up) pixels.
        double ux = -s, uy = -c; // "up" in device space
        TPoint pts[4] = {{static_cast<int>(std::lround(x - ux * below)),
                          static_cast<int>(std::lround(baseline - uy * below))},
                         {static_cast<int>(std::lround(px.back() - ux * below)),
                          static_cast<int>(std::lround(py.back() - uy * below))},
                         {static_cast<int>(std::lround(px.back() + ux * above)),
                          static_cast<int>(std::lround(py.back() + uy * above))},
                         {static_cast<int>(std::lround(x + ux * above)),
                          static_cast<int>(std::lround(baseline + uy * above))}};
        FillPolygon(dc, pts, 4, col);
    };
    if (opaque) band(f.Descent(), f.Ascent(), GetBkColor(dc));
    if (glyphs) {
        std::lock_guard<std::mutex> lock(f.Mutex());
        for (size_t i = 0; i < cps.size(); ++i) {
            const TGlyph& g = f.Glyph(cps[i] == U'\t' ? U' ' : cps[i]);
            if (g.Width > 0 && g.Height > 0)
                DrawCoverageMask(dc, static_cast<int>(std::lround(px[i])) + g.Left,
                                 static_cast<int>(std::lround(py[i])) - g.Top, g.Coverage.data(), g.Width,
                                 g.Height, g.Width, color);
        }
    }
    const LOGFONT& lf = f.LogFont();
    if (lf.lfUnderline) band(f.UnderlinePos() + f.UnderlineThickness(), -f.UnderlinePos(), color);
    if (lf.lfStrikeOut) band(-f.StrikePos() + f.StrikeThickness(), f.StrikePos(), color);
}

// Text output at a reference point with the DC's alignment.
bool OutputText(HDC dc, int x, int y, std::u32string_view cps, const int* dx, bool opaque) {
    auto f = DCFont(dc);
    if (!f) return false;
    UINT align = GetTextAlign(dc);
    if (align == GDI_ERROR) return false;
    int extra = GetTextCharacterExtra(dc);
    int width = 0;
    if (dx) {
        for (size_t i = 0; i < cps.size(); ++i) width += dx[i];
    } else if (!f->Rotated()) {
        width = Sum(Advances(*f, cps, extra, 0));
    } else {
        std::lock_guard<std::mutex> lock(f->Mutex());
        double w = 0;
        for (char32_t cp : cps)
            w += f->Glyph(cp).AdvanceX / 64.0 * f->Cos() + f->Glyph(cp).AdvanceY / 64.0 * f->Sin();
        width = static_cast<int>(std::lround(w)) + extra * static_cast<int>(cps.size());
    }
    if (align & TA_UPDATECP) {
        TPoint cp;
        GetCurrentPositionEx(dc, &cp);
        x = cp.X;
        y = cp.Y;
    }
    // Offsets along the baseline (u) and up (v), in unrotated terms.
    double along = 0, up = 0;
    if ((align & TA_CENTER) == TA_CENTER)
        along = -width / 2;
    else if (align & TA_RIGHT)
        along = -width;
    if ((align & TA_BASELINE) == TA_BASELINE)
        up = 0;
    else if (align & TA_BOTTOM)
        up = f->Descent();
    else
        up = -f->Ascent();
    double c = f->Cos(), s = f->Sin();
    double ox = x + along * c + (-s) * up;
    double oy = y - along * s + (-c) * up;
    DrawRun(dc, *f, ox, oy, cps, dx, opaque);
    if (align & TA_UPDATECP) {
        int nx = x, ny = y;
        if ((align & TA_CENTER) == TA_CENTER) {
        } else if (align & TA_RIGHT) {
            nx = x - static_cast<int>(std::lround(width * c));
            ny = y + static_cast<int>(std::lround(width * s));
        } else {
            nx = x + static_cast<int>(std::lround(width * c));
            ny = y - static_cast<int>(std::lround(width * s));
        }
        MoveToEx(dc, nx, ny, nullptr);
    }
    return true;
}

} // namespace

bool TextOut(HDC dc, int x, int y, const char* text, int count) {
    if (!text) return count == 0;
    std::string_view sv =
        count < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(count));
    return TextOut(dc, x, y, sv);
}

bool TextOut(HDC dc, int x, int y, std::string_view text) {
    if (GetObjectType(dc) == 0) return false;
    std::u32string cps = Utf8ToCodePoints(text);
    return OutputText(dc, x, y, cps, nullptr, GetBkMode(dc) == OPAQUE);
}

bool ExtTextOut(HDC dc, int x, int y, UINT options, const TRect* rect, const char* text, int count,
                const int* dx) {
    if (GetObjectType(dc) == 0) return false;
    std::string_view sv;
    if (text) sv = count < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(count));
    std::u32string cps = Utf8ToCodePoints(sv);
    if (rect && (options & ETO_OPAQUE)) FillSolidRect(dc, *rect, GetBkColor(dc));
    bool clipped = rect && (options & ETO_CLIPPED);
    int saved = 0;
    if (clipped) {
        saved = SaveDC(dc);
        IntersectClipRect(dc, rect->Left, rect->Top, rect->Right, rect->Bottom);
    }
    bool ok = cps.empty() ? true
                          : OutputText(dc, x, y, cps, dx, GetBkMode(dc) == OPAQUE && !(options & ETO_OPAQUE));
    if (clipped && saved) RestoreDC(dc, saved);
    return ok;
}

bool GetTextExtentPoint32(HDC dc, const char* text, int count, TSize* size) {
    if (!size) return false;
    auto f = DCFont(dc);
    if (!f) return false;
    std::string_view sv;
    if (text) sv = count < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(count));
    std::u32string cps = Utf8ToCodePoints(sv);
    size->cx = Sum(Advances(*f, cps, GetTextCharacterExtra(dc), 0));
    size->cy = f->Height();
    return true;
}

TSize GetTextExtent(HDC dc, std::string_view text) {
    TSize s;
    GetTextExtentPoint32(dc, text.data(), static_cast<int>(text.size()), &s);
    return s;
}

bool GetTextMetrics(HDC dc, TEXTMETRIC* tm) {
    if (!tm) return false;
    auto f = DCFont(dc);
    if (!f) return false;
    f->FillMetrics(*tm);
    return true;
}

bool GetCharWidth32(HDC dc, UINT first, UINT last, int* widths) {
    if (!widths || last < first || last - first > 0x10FFFF) return false;
    auto f = DCFont(dc);
    if (!f) return false;
    for (UINT c = first; c <= last; ++c) widths[c - first] = f->AdvanceOf(c);
    return true;
}

std::string GetTextFace(HDC dc) {
    auto f = DCFont(dc);
    return f ? std::string(f->LogFont().lfFaceName) : std::string();
}

// ---- DrawText -----------------------------------------------------------------------------------------

namespace {

struct TTextLine {
    std::u32string Text;
    std::vector<size_t> Underlined; // indexes of prefixed characters
};

void RemoveSpan(TTextLine& line, size_t from, size_t to) {
    line.Text.erase(from, to - from);
    std::vector<size_t> u;
    for (size_t i : line.Underlined) {
        if (i < from)
            u.push_back(i);
        else if (i >= to)
            u.push_back(i - (to - from));
    }
    line.Underlined = u;
}

} // namespace

int DrawText(HDC dc, const char* text, int count, TRect* rect, UINT format) {
    if (!rect) return 0;
    std::string_view sv;
    if (text) sv = count < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(count));
    return DrawText(dc, sv, rect, format);
}

int DrawText(HDC dc, std::string_view text, TRect* rect, UINT format) {
    if (!rect) return 0;
    auto f = DCFont(dc);
    if (!f) return 0;
    int tabChars = 8;
    if (format & DT_TABSTOP) {
        tabChars = static_cast<int>((format >> 8) & 0xFF);
        format &= ~static_cast<UINT>(0xFF00);
        if (tabChars == 0) tabChars = 8;
    }
    const bool single = format & DT_SINGLELINE;
    const bool calc = format & DT_CALCRECT;
    const bool prefix = !(format & DT_NOPREFIX);
    const int extra = GetTextCharacterExtra(dc);
    const int tabWidth = (format & DT_EXPANDTABS) ? std::max(1, tabChars * f->AveCharWidth()) : 0;
    const int lineHeight = f->Height() + ((format & DT_EXTERNALLEADING) ? f->ExternalLeading() : 0);
    const int maxWidth = rect->Right - rect->Left;

    // Prefix characters and line splitting.
    std::u32string cps = Utf8ToCodePoints(text);
    std::vector<TTextLine> lines(1);
    for (size_t i = 0; i < cps.size(); ++i) {
        char32_t c = cps[i];
        if (c == U'\r' || c == U'\n') {
            if (single) continue;
            if (c == U'\r' && i + 1 < cps.size() && cps[i + 1] == U'\n') ++i;
            lines.emplace_back();
            continue;
        }
        if (prefix && c == U'&') {
            if (i + 1 < cps.size() && cps[i + 1] == U'&') {
                lines.back().Text.push_back(U'&');
                ++i;
            } else if (i + 1 < cps.size() && cps[i + 1] != U'\r' && cps[i + 1] != U'\n') {
                lines.back().Underlined.push_back(lines.back().Text.size());
            }
            continue; // a lone '&' at the end is dropped
        }
        lines.back().Text.push_back(c);
    }
    if (cps.empty()) lines.clear();

    auto widthOf = [&](const std::u32string& s) { return Sum(Advances(*f, s, extra, tabWidth)); };

    // Word wrapping.
    if ((format & DT_WORDBREAK) && !single && maxWidth > 0) {
        std::vector<TTextLine> wrapped;
        for (TTextLine& line : lines) {
            TTextLine rest = line;
            while (true) {
                std::vector<int> adv = Advances(*f, rest.Text, extra, tabWidth);
                if (Sum(adv) <= maxWidth) {
                    wrapped.push_back(rest);
                    break;
                }
                // Last break opportunity (a space) where the text before it fits.
                size_t breakAt = std::u32string::npos;
                int w = 0;
                for (size_t i = 0; i < rest.Text.size(); ++i) {
                    if ((rest.Text[i] == U' ' || rest.Text[i] == U'\t') && i > 0 && w <= maxWidth)
                        breakAt = i;
                    w += adv[i];
                    if (w > maxWidth && breakAt != std::u32string::npos) break;
                }
                if (breakAt == std::u32string::npos) {
                    // A word longer than the line: it stands alone up to the next space.
                    size_t sp = rest.Text.find(U' ');
                    if (sp == std::u32string::npos) {
                        wrapped.push_back(rest);
                        break;
                    }
                    breakAt = sp;
                    if (breakAt == 0) {
                        RemoveSpan(rest, 0, 1);
                        continue;
                    }
                }
                TTextLine head = rest;
                RemoveSpan(head, breakAt, head.Text.size());
                size_t skip = breakAt;
                while (skip < rest.Text.size() && rest.Text[skip] == U' ') ++skip;
                RemoveSpan(rest, 0, skip);
                wrapped.push_back(head);
                if (rest.Text.empty()) break;
            }
        }
        lines = std::move(wrapped);
    }

    // Ellipses.
    if ((format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) && maxWidth >= 0) {
        const std::u32string dots = U"...";
        int dotsWidth = widthOf(dots);
        for (TTextLine& line : lines) {
            if (widthOf(line.Text) <= maxWidth) continue;
            if (format & DT_PATH_ELLIPSIS) {
                size_t sep = line.Text.find_last_of(U"\\/");
                if (sep != std::u32string::npos && sep > 0) {
                    std::u32string tail = line.Text.substr(sep);
                    size_t cut = sep;
                    while (cut > 0 && widthOf(line.Text.substr(0, cut) + dots + tail) > maxWidth) --cut;
                    if (cut > 0 || widthOf(dots + tail) <= maxWidth) {
                        RemoveSpan(line, cut, sep);
                        line.Text.insert(cut, dots);
                        for (size_t& u : line.Underlined)
                            if (u >= cut) u += dots.size();
                        continue;
                    }
                }
            }
            size_t keep = line.Text.size();
            if (format & DT_WORD_ELLIPSIS) {
                while (keep > 0 && widthOf(line.Text.substr(0, keep)) + dotsWidth > maxWidth) {
                    size_t sp = line.Text.find_last_of(U' ', keep - 1);
                    keep = (sp == std::u32string::npos) ? 0 : sp;
                }
            } else {
                std::vector<int> adv = Advances(*f, line.Text, extra, tabWidth);
                int w = Sum(adv);
                while (keep > 0 && w + dotsWidth > maxWidth) w -= adv[--keep];
            }
            RemoveSpan(line, keep, line.Text.size());
            line.Text += dots;
        }
    }

    int textWidth = 0;
    for (const TTextLine& line : lines) textWidth = std::max(textWidth, widthOf(line.Text));
    int textHeight = static_cast<int>(lines.size()) * lineHeight;
    if (single && !lines.empty()) textHeight = lineHeight;

    if (calc) {
        rect->Right = rect->Left + textWidth;
        rect->Bottom = rect->Top + textHeight;
        return textHeight;
    }

    int y = rect->Top;
    if (single) {
        if (format & DT_VCENTER)
            y = rect->Top + (rect->Bottom - rect->Top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = rect->Bottom - lineHeight;
    }
    int saved = 0;
    if (!(format & DT_NOCLIP)) {
        saved = SaveDC(dc);
        IntersectClipRect(dc, rect->Left, rect->Top, rect->Right, rect->Bottom);
    }
    const bool opaque = GetBkMode(dc) == OPAQUE;
    const bool showPrefix = !(format & DT_HIDEPREFIX);
    const bool onlyPrefix = format & DT_PREFIXONLY;
    COLORREF color = GetTextColor(dc);
    for (const TTextLine& line : lines) {
        std::vector<int> adv = Advances(*f, line.Text, extra, tabWidth);
        int w = Sum(adv);
        int x = rect->Left;
        if (format & DT_CENTER)
            x = rect->Left + (maxWidth - w) / 2;
        else if (format & DT_RIGHT)
            x = rect->Right - w;
        int baseline = y + f->Ascent();
        DrawRun(dc, *f, x, baseline, line.Text, adv.data(), opaque && !onlyPrefix, !onlyPrefix);
        if (showPrefix || onlyPrefix)
            for (size_t u : line.Underlined) {
                if (u >= line.Text.size()) continue;
                int ux = x + Sum(adv, 0, u);
                int uw = adv[u] - extra;
                FillSolidRect(dc,
                              TRect(ux, baseline + f->UnderlinePos(), ux + std::max(1, uw),
                                    baseline + f->UnderlinePos() + f->UnderlineThickness()),
                              color);
            }
        y += lineHeight;
        if (single) break;
    }
    if (saved) RestoreDC(dc, saved);
    return lines.empty() ? 0 : std::max(0, y - rect->Top);
}

} // namespace qel
