// Metafile reading (EMF and placeable WMF subsets) and playback onto a canvas.
#include "platform/graphics/metafile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

namespace qel {

namespace {

enum TMetaOp {
    opWindowOrg = 1,
    opWindowExt,
    opMoveTo,
    opLineTo,
    opRect,
    opEllipse,
    opRoundRect,
    opPolygon,
    opPolyline,
    opBkMode,
    opTextColor,
    opBkColor,
    opTextAlign,
    opCreatePen,
    opCreateBrush,
    opCreateFont,
    opSelect,
    opDelete,
    opText,
    opImage,
    opSaveDC,
    opRestoreDC,
    opPolyFillMode,
    opRop2,
};

[[noreturn]] void Bad(const char* what = "Metafile is not valid") {
    throw EInvalidGraphic(what);
}

struct TByteReader {
    const uint8_t* D;
    size_t N;
    uint32_t U32(size_t at) const {
        if (at + 4 > N) Bad();
        return static_cast<uint32_t>(D[at]) | (static_cast<uint32_t>(D[at + 1]) << 8) |
               (static_cast<uint32_t>(D[at + 2]) << 16) | (static_cast<uint32_t>(D[at + 3]) << 24);
    }
    int32_t S32(size_t at) const { return static_cast<int32_t>(U32(at)); }
    uint16_t U16(size_t at) const {
        if (at + 2 > N) Bad();
        return static_cast<uint16_t>(D[at] | (D[at + 1] << 8));
    }
    int16_t S16(size_t at) const { return static_cast<int16_t>(U16(at)); }
};

std::u32string FromUtf16(const TByteReader& r, size_t at, size_t count) {
    std::u32string s;
    for (size_t i = 0; i < count; ++i) {
        char32_t c = r.U16(at + 2 * i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count) {
            char32_t lo = r.U16(at + 2 * (i + 1));
            if (lo >= 0xDC00 && lo < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        s.push_back(c);
    }
    return s;
}

TMetaRecord Rec(int op, std::vector<int> args) {
    TMetaRecord r;
    r.Op = op;
    r.Args = std::move(args);
    return r;
}

constexpr size_t MaxRecords = 1 << 20;
constexpr size_t MaxPoints = 1 << 20;

} // namespace

void TMetafile::Clear() {
    FData.clear();
    FRecords.clear();
    FWidth = FHeight = 0;
    FFrame = {};
    Changed(this);
}

void TMetafile::SetSize(int w, int h) {
    if (w == FWidth && h == FHeight) return;
    FWidth = std::max(0, w);
    FHeight = std::max(0, h);
    Changed(this);
}

void TMetafile::ParseEmf(const uint8_t* d, size_t n) {
    TByteReader r{d, n};
    uint32_t headerSize = r.U32(4);
    if (r.U32(0) != 1 || headerSize < 88 || headerSize > n || r.U32(40) != 0x464D4520) Bad();
    // rclBounds: device units, inclusive; rclFrame: 0.01 mm, inclusive.
    TRect bounds(r.S32(8), r.S32(12), r.S32(16), r.S32(20));
    TRect frame(r.S32(24), r.S32(28), r.S32(32), r.S32(36));
    int64_t fw = static_cast<int64_t>(frame.Right) - frame.Left,
            fh = static_cast<int64_t>(frame.Bottom) - frame.Top;
    int64_t w = fw > 0 ? (fw * 96 + 1270) / 2540 : static_cast<int64_t>(bounds.Right) - bounds.Left + 1;
    int64_t h = fh > 0 ? (fh * 96 + 1270) / 2540 : static_cast<int64_t>(bounds.Bottom) - bounds.Top + 1;
    CheckImageSize(w, h);
    // The picture's frame must lie in the coordinate range, origin and far corner alike.
    if (static_cast<int64_t>(bounds.Left) + w > INT32_MAX || static_cast<int64_t>(bounds.Top) + h > INT32_MAX)
        Bad();
    FWidth = static_cast<int>(w);
    FHeight = static_cast<int>(h);
    FFrame = TRect(bounds.Left, bounds.Top, bounds.Left + FWidth, bounds.Top + FHeight);
    size_t pos = headerSize;
    bool eof = false;
    while (!eof) {
        if (FRecords.size() > MaxRecords) Bad("Metafile has too many records");
        uint32_t type = r.U32(pos), size = r.U32(pos + 4);
        if (size < 8 || (size & 3) || size > n - pos) Bad("Metafile record is not valid");
        size_t p = pos + 8;
        TMetaRecord rec;
        auto arg = [&](size_t off) { return static_cast<int>(r.S32(p + off)); };
        auto need = [&](size_t bytes) {
            if (bytes > size - 8) Bad("Metafile record is truncated");
        };
        switch (type) {
        case 14: eof = true; break; // EOF
        case 9:
            need(8);
            rec = Rec(opWindowExt, {arg(0), arg(4)});
            break; // SETWINDOWEXTEX
        case 10:
            need(8);
            rec = Rec(opWindowOrg, {arg(0), arg(4)});
            break;
        case 11:  // SETVIEWPORTEXTEX
        case 12:  // SETVIEWPORTORGEX
        case 13:  // SETBRUSHORGEX
        case 17:  // SETMAPMODE
        case 21:  // SETSTRETCHBLTMODE
        case 58:  // SETMITERLIMIT
        case 70:  // GDICOMMENT
        case 98:  // SETICMMODE
        case 115: // SETLAYOUT
            break;
        case 18:
            need(4);
            rec = Rec(opBkMode, {arg(0)});
            break;
        case 19:
            need(4);
            rec = Rec(opPolyFillMode, {arg(0)});
            break;
        case 20:
            need(4);
            rec = Rec(opRop2, {arg(0)});
            break;
        case 22:
            need(4);
            rec = Rec(opTextAlign, {arg(0)});
            break;
        case 24:
            need(4);
            rec = Rec(opTextColor, {arg(0)});
            break;
        case 25:
            need(4);
            rec = Rec(opBkColor, {arg(0)});
            break;
        case 27:
            need(8);
            rec = Rec(opMoveTo, {arg(0), arg(4)});
            break;
        case 54:
            need(8);
            rec = Rec(opLineTo, {arg(0), arg(4)});
            break;
        case 33: rec = Rec(opSaveDC, {}); break;
        case 34:
            need(4);
            rec = Rec(opRestoreDC, {arg(0)});
            break;
        case 42:
            need(16);
            rec = Rec(opEllipse, {arg(0), arg(4), arg(8), arg(12)});
            break;
        case 43:
            need(16);
            rec = Rec(opRect, {arg(0), arg(4), arg(8), arg(12)});
            break;
        case 44:
            need(24);
            rec = Rec(opRoundRect, {arg(0), arg(4), arg(8), arg(12), arg(16), arg(20)});
            break;
        case 3:  // POLYGON
        case 4:  // POLYLINE
        case 86: // POLYGON16
        case 87: // POLYLINE16
        {
            need(20);
            uint32_t count = r.U32(p + 16);
            bool small = type >= 86;
            if (count > MaxPoints || count * (small ? 4ull : 8ull) > size - 28)
                Bad("Metafile record is truncated");
            rec.Op = (type == 3 || type == 86) ? opPolygon : opPolyline;
            for (uint32_t i = 0; i < count; ++i) {
                if (small) {
                    rec.Args.push_back(r.S16(p + 20 + 4 * i));
                    rec.Args.push_back(r.S16(p + 22 + 4 * i));
                } else {
                    rec.Args.push_back(r.S32(p + 20 + 8 * i));
                    rec.Args.push_back(r.S32(p + 24 + 8 * i));
                }
            }
            break;
        }
        case 37:
            need(4);
            rec = Rec(opSelect, {static_cast<int>(r.U32(p))});
            break;
        case 40:
            need(4);
            rec = Rec(opDelete, {static_cast<int>(r.U32(p))});
            break;
        case 38: // CREATEPEN: index, style, width (POINT), color
            need(20);
            rec = Rec(opCreatePen, {arg(0), arg(4), arg(8), arg(16)});
            break;
        case 39: // CREATEBRUSHINDIRECT: index, style, color, hatch
            need(16);
            rec = Rec(opCreateBrush, {arg(0), arg(4), arg(8), arg(12)});
            break;
        case 82: { // EXTCREATEFONTINDIRECTW: index, LOGFONTW
            need(4 + 92);
            rec.Op = opCreateFont;
            rec.Args = {arg(0)};
            size_t lf = p + 4;
            rec.Font.lfHeight = r.S32(lf);
            rec.Font.lfWidth = r.S32(lf + 4);
            rec.Font.lfEscapement = r.S32(lf + 8);
            rec.Font.lfOrientation = r.S32(lf + 12);
            rec.Font.lfWeight = r.S32(lf + 16);
            rec.Font.lfItalic = d[lf + 20];
            rec.Font.lfUnderline = d[lf + 21];
            rec.Font.lfStrikeOut = d[lf + 22];
            rec.Font.lfCharSet = d[lf + 23];
            rec.Font.lfQuality = d[lf + 26];
            rec.Font.lfPitchAndFamily = d[lf + 27];
            std::u32string face = FromUtf16(r, lf + 28, 32);
            face = face.substr(0, face.find(U'\0'));
            SetLogFontFaceName(rec.Font, CodePointsToUtf8(face));
            break;
        }
        case 84: { // EXTTEXTOUTW: bounds(16) mode(4) scale(8) then EMRTEXT
            need(36 + 40);
            size_t t = p + 28;
            int x = r.S32(t), y = r.S32(t + 4);
            uint32_t chars = r.U32(t + 8), offString = r.U32(t + 12);
            if (chars > 65536 || offString < 8 || offString + 2ull * chars > size)
                Bad("Metafile record is truncated");
            rec.Op = opText;
            rec.Args = {x, y};
            rec.Text = FromUtf16(r, pos + offString, chars);
            break;
        }
        case 81: { // STRETCHDIBITS
            need(72);
            int xDest = arg(16), yDest = arg(20), xSrc = arg(24), ySrc = arg(28), cxSrc = arg(32),
                cySrc = arg(36);
            uint32_t offBmi = r.U32(p + 40), cbBmi = r.U32(p + 44), offBits = r.U32(p + 48),
                     cbBits = r.U32(p + 52);
            int cxDest = arg(64), cyDest = arg(68);
            if (offBmi < 80 || cbBmi < 12 || offBmi + static_cast<uint64_t>(cbBmi) > size ||
                offBits < offBmi || offBits + static_cast<uint64_t>(cbBits) > size)
                Bad("Metafile record is truncated");
            auto img = std::make_shared<TImageData>(DecodeDib(
                d + pos + offBmi, offBits + static_cast<size_t>(cbBits) - offBmi, offBits - offBmi));
            rec = Rec(opImage, {xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc});
            rec.Image = img;
            break;
        }
        default: Bad("Metafile contains records that are not supported");
        }
        if (rec.Op) FRecords.push_back(std::move(rec));
        pos += size;
        if (!eof && pos >= n) Bad("Metafile is truncated");
    }
}

void TMetafile::ParseWmf(const uint8_t* d, size_t n) {
    TByteReader r{d, n};
    // Placeable header: key, hmf, bbox (4 x int16), inch, reserved, checksum.
    if (r.U32(0) != 0x9AC6CDD7u) Bad();
    TRect bbox(r.S16(6), r.S16(8), r.S16(10), r.S16(12));
    int inch = r.U16(14);
    if (inch == 0) inch = 1440;
    int64_t w = (static_cast<int64_t>(bbox.Right) - bbox.Left) * 96 / inch;
    int64_t h = (static_cast<int64_t>(bbox.Bottom) - bbox.Top) * 96 / inch;
    CheckImageSize(std::llabs(w), std::llabs(h));
    FWidth = static_cast<int>(std::llabs(w));
    FHeight = static_cast<int>(std::llabs(h));
    FFrame = bbox;
    size_t pos = 22;
    // Standard header (9 words).
    if (r.U16(pos) > 2 || r.U16(pos + 2) != 9) Bad();
    pos += 18;
    std::vector<bool> used; // the WMF object table: a new object takes the lowest free slot
    auto allocSlot = [&]() {
        for (size_t i = 0; i < used.size(); ++i)
            if (!used[i]) {
                used[i] = true;
                return static_cast<int>(i);
            }
        if (used.size() > 65535) Bad("Metafile has too many objects");
        used.push_back(true);
        return static_cast<int>(used.size() - 1);
    };
    while (true) {
        if (FRecords.size() > MaxRecords) Bad("Metafile has too many records");
        uint32_t words = r.U32(pos);
        uint16_t fn = r.U16(pos + 4);
        if (words < 3 || words > (n - pos) / 2) Bad("Metafile record is not valid");
        size_t p = pos + 6, bytes = words * 2ull - 6;
        auto w16 = [&](size_t i) {
            if (2 * i + 2 > bytes) Bad("Metafile record is truncated");
            return static_cast<int>(r.S16(p + 2 * i));
        };
        auto color = [&](size_t i) {
            if (2 * i + 4 > bytes) Bad("Metafile record is truncated");
            return static_cast<int>(r.U32(p + 2 * i));
        };
        TMetaRecord rec;
        switch (fn) {
        case 0x0000: break; // EOF
        case 0x020B: rec = Rec(opWindowOrg, {w16(1), w16(0)}); break;
        case 0x020C: rec = Rec(opWindowExt, {w16(1), w16(0)}); break;
        case 0x0103:
        case 0x0107:
        case 0x020D:
        case 0x020E:
        case 0x0626: break; // map mode, stretch mode, viewport, escape
        case 0x0102: rec = Rec(opBkMode, {w16(0)}); break;
        case 0x0106: rec = Rec(opPolyFillMode, {w16(0)}); break;
        case 0x0104: rec = Rec(opRop2, {w16(0)}); break;
        case 0x012E: rec = Rec(opTextAlign, {w16(0)}); break;
        case 0x0209: rec = Rec(opTextColor, {color(0)}); break;
        case 0x0201: rec = Rec(opBkColor, {color(0)}); break;
        case 0x0214: rec = Rec(opMoveTo, {w16(1), w16(0)}); break;
        case 0x0213: rec = Rec(opLineTo, {w16(1), w16(0)}); break;
        case 0x041B: rec = Rec(opRect, {w16(3), w16(2), w16(1), w16(0)}); break;
        case 0x0418: rec = Rec(opEllipse, {w16(3), w16(2), w16(1), w16(0)}); break;
        case 0x061C: rec = Rec(opRoundRect, {w16(5), w16(4), w16(3), w16(2), w16(1), w16(0)}); break;
        case 0x001E: rec = Rec(opSaveDC, {}); break;
        case 0x0127: rec = Rec(opRestoreDC, {w16(0)}); break;
        case 0x0324:
        case 0x0325: {
            int count = w16(0);
            if (count < 0) Bad("Metafile record is not valid");
            rec.Op = fn == 0x0324 ? opPolygon : opPolyline;
            for (int i = 0; i < count; ++i) {
                rec.Args.push_back(w16(1 + 2 * i));
                rec.Args.push_back(w16(2 + 2 * i));
            }
            break;
        }
        case 0x02FA: { // CREATEPENINDIRECT: style, width (point), color
            int slot = allocSlot();
            rec = Rec(opCreatePen, {slot, w16(0), w16(1), color(3)});
            break;
        }
        case 0x02FC: { // CREATEBRUSHINDIRECT: style, color, hatch
            int slot = allocSlot();
            rec = Rec(opCreateBrush, {slot, w16(0), color(1), w16(3)});
            break;
        }
        case 0x02FB: { // CREATEFONTINDIRECT: LOGFONT16 (face in ANSI)
            int slot = allocSlot();
            rec.Op = opCreateFont;
            rec.Args = {slot};
            rec.Font.lfHeight = w16(0);
            rec.Font.lfWidth = w16(1);
            rec.Font.lfEscapement = w16(2);
            rec.Font.lfOrientation = w16(3);
            rec.Font.lfWeight = w16(4);
            if (bytes < 18) Bad("Metafile record is truncated");
            rec.Font.lfItalic = d[p + 10];
            rec.Font.lfUnderline = d[p + 11];
            rec.Font.lfStrikeOut = d[p + 12];
            rec.Font.lfCharSet = d[p + 13];
            rec.Font.lfQuality = d[p + 16];
            rec.Font.lfPitchAndFamily = d[p + 17];
            std::string face;
            for (size_t i = 18; i < bytes && i < 18 + 32 && d[p + i]; ++i)
                face.push_back(static_cast<char>(d[p + i]));
            std::u32string cps;
            for (unsigned char c : face) cps.push_back(c); // Latin-1
            SetLogFontFaceName(rec.Font, CodePointsToUtf8(cps));
            break;
        }
        case 0x012D: rec = Rec(opSelect, {w16(0)}); break;
        case 0x01F0: {
            int slot = w16(0);
            if (slot >= 0 && static_cast<size_t>(slot) < used.size()) used[slot] = false;
            rec = Rec(opDelete, {slot});
            break;
        }
        case 0x0521: { // TEXTOUT: count, string (padded), y, x
            int count = w16(0);
            if (count < 0 || 2 + static_cast<size_t>((count + 1) & ~1) + 4 > bytes)
                Bad("Metafile record is truncated");
            rec.Op = opText;
            for (int i = 0; i < count; ++i) rec.Text.push_back(d[p + 2 + i]);
            size_t after = 1 + ((count + 1) / 2);
            rec.Args = {w16(after + 1), w16(after)};
            break;
        }
        case 0x0F43: { // STRETCHDIB: rop(2 words), usage, srcH, srcW, ySrc, xSrc, dstH, dstW, yDst, xDst, DIB
            if (bytes < 22) Bad("Metafile record is truncated");
            auto img = std::make_shared<TImageData>(DecodeDib(d + p + 22, bytes - 22));
            rec = Rec(opImage, {w16(10), w16(9), w16(8), w16(7), w16(6), w16(5), w16(4), w16(3)});
            rec.Image = img;
            break;
        }
        default: Bad("Metafile contains records that are not supported");
        }
        if (rec.Op) FRecords.push_back(std::move(rec));
        pos += words * 2ull;
        if (fn == 0) break;
        if (pos >= n) Bad("Metafile is truncated");
    }
}

void TMetafile::Parse(const std::string& data) {
    auto* d = reinterpret_cast<const uint8_t*>(data.data());
    FRecords.clear();
    TImageFormat f = DetectImageFormat(d, data.size());
    if (f == TImageFormat::Emf) {
        FEnhanced = true;
        ParseEmf(d, data.size());
    } else if (f == TImageFormat::Wmf) {
        FEnhanced = false;
        ParseWmf(d, data.size());
    } else {
        Bad();
    }
}

void TMetafile::LoadFromStream(TStream& stream) {
    std::string data = ReadRest(stream);
    TMetafile parsed;
    parsed.Parse(data); // parse into a temporary: a failed load leaves this picture unchanged
    FRecords = std::move(parsed.FRecords);
    FFrame = parsed.FFrame;
    FWidth = parsed.FWidth;
    FHeight = parsed.FHeight;
    FEnhanced = parsed.FEnhanced;
    FData = std::move(data);
    Changed(this);
}

void TMetafile::SaveToStream(TStream& stream) {
    if (!FData.empty()) stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TMetafile::Assign(TPersistent* source) {
    if (auto* m = dynamic_cast<TMetafile*>(source)) {
        if (m == this) return;
        FData = m->FData;
        FRecords = m->FRecords;
        FFrame = m->FFrame;
        FWidth = m->FWidth;
        FHeight = m->FHeight;
        FEnhanced = m->FEnhanced;
        Changed(this);
        return;
    }
    if (!source) {
        Clear();
        return;
    }
    inherited::Assign(source);
}

void TMetafile::Draw(TCanvas* canvas, const TRect& rect) {
    if (!canvas || FRecords.empty() || rect.IsEmpty()) return;
    HDC dc = canvas->GetHandle();
    int saved = SaveDC(dc);
    IntersectClipRect(dc, rect.Left, rect.Top, rect.Right, rect.Bottom);
    TPoint wOrg = FFrame.TopLeft();
    TSize wExt(std::max(1, FFrame.Width()), std::max(1, FFrame.Height()));
    // Device coordinates are computed wide. What reaches the primitives stays inside a guard band
    // around the destination: lines and polygons are clipped to it (exactly, for what is visible),
    // shapes are clamped to it, so a damaged or absurdly scaled picture costs no more to play than
    // one a few times the size of the destination.
    const long long dw = rect.Width(), dh = rect.Height();
    const long long margin = 4 * (dw + dh) + 1024;
    const double gx0 = static_cast<double>(rect.Left - margin),
                 gx1 = static_cast<double>(rect.Right + margin);
    const double gy0 = static_cast<double>(rect.Top - margin),
                 gy1 = static_cast<double>(rect.Bottom + margin);
    auto wx = [&](long long x) { return rect.Left + (x - wOrg.X) * dw / std::max(1, wExt.cx); };
    auto wy = [&](long long y) { return rect.Top + (y - wOrg.Y) * dh / std::max(1, wExt.cy); };
    auto cx = [&](long long x) {
        return static_cast<int>(std::clamp<long long>(x, rect.Left - margin, rect.Right + margin));
    };
    auto cy = [&](long long y) {
        return static_cast<int>(std::clamp<long long>(y, rect.Top - margin, rect.Bottom + margin));
    };
    auto mx = [&](long long x) { return cx(wx(x)); };
    auto my = [&](long long y) { return cy(wy(y)); };
    auto size = [&](long long v, long long scale, int ext) {
        return static_cast<int>(std::clamp<long long>(v * scale / std::max(1, ext), -2 * margin, 2 * margin));
    };
    auto sx = [&](long long v) { return size(v, dw, wExt.cx); };
    auto sy = [&](long long v) { return size(v, dh, wExt.cy); };
    auto inside = [&](double x, double y) { return x >= gx0 && x <= gx1 && y >= gy0 && y <= gy1; };
    // Draws the segment from (x0, y0) to (x1, y1) (device units), the part inside the guard band.
    auto segment = [&](double x0, double y0, double x1, double y1) {
        if (!inside(x0, y0) || !inside(x1, y1)) {
            double t0 = 0, t1 = 1, ddx = x1 - x0, ddy = y1 - y0;
            auto edge = [&](double p, double q) {
                if (p == 0) return q >= 0;
                double t = q / p;
                if (p < 0) {
                    if (t > t1) return false;
                    t0 = std::max(t0, t);
                } else {
                    if (t < t0) return false;
                    t1 = std::min(t1, t);
                }
                return true;
            };
            if (!edge(-ddx, x0 - gx0) || !edge(ddx, gx1 - x0) || !edge(-ddy, y0 - gy0) ||
                !edge(ddy, gy1 - y0))
                return;
            double nx0 = x0 + t0 * ddx, ny0 = y0 + t0 * ddy, nx1 = x0 + t1 * ddx, ny1 = y0 + t1 * ddy;
            x0 = nx0, y0 = ny0, x1 = nx1, y1 = ny1;
        }
        MoveToEx(dc, static_cast<int>(std::lround(x0)), static_cast<int>(std::lround(y0)), nullptr);
        LineTo(dc, static_cast<int>(std::lround(x1)), static_cast<int>(std::lround(y1)));
    };
    // Clips a polygon to the guard band (Sutherland-Hodgman); the fill inside the band is unchanged.
    auto clipPolygon = [&](std::vector<std::pair<double, double>> pts) {
        auto clipEdge = [&](auto keep, auto cross) {
            std::vector<std::pair<double, double>> out;
            for (size_t i = 0; i < pts.size(); ++i) {
                auto cur = pts[i], prev = pts[(i + pts.size() - 1) % pts.size()];
                bool inCur = keep(cur), inPrev = keep(prev);
                if (inCur != inPrev) out.push_back(cross(prev, cur));
                if (inCur) out.push_back(cur);
            }
            pts = std::move(out);
        };
        using P = std::pair<double, double>;
        auto atX = [](P a, P b, double x) {
            return P(x, a.second + (b.second - a.second) * (x - a.first) / (b.first - a.first));
        };
        auto atY = [](P a, P b, double y) {
            return P(a.first + (b.first - a.first) * (y - a.second) / (b.second - a.second), y);
        };
        clipEdge([&](P p) { return p.first >= gx0; }, [&](P a, P b) { return atX(a, b, gx0); });
        clipEdge([&](P p) { return p.first <= gx1; }, [&](P a, P b) { return atX(a, b, gx1); });
        clipEdge([&](P p) { return p.second >= gy0; }, [&](P a, P b) { return atY(a, b, gy0); });
        clipEdge([&](P p) { return p.second <= gy1; }, [&](P a, P b) { return atY(a, b, gy1); });
        std::vector<TPoint> out;
        for (auto [x, y] : pts)
            out.emplace_back(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
        return out;
    };
    long long curX = wx(0), curY = wy(0); // the current position, device units
    // Text and pictures clip themselves; their positions only have to stay in range.
    auto far = [](long long v) {
        return static_cast<int>(std::clamp<long long>(v, -(1LL << 29), 1LL << 29));
    };
    // Pens are limited to twice the destination's perimeter: wider ones come from damaged files
    // (millions of pixels) and would cost their whole area to stroke.
    const long long maxPen = 2 * (dw + dh) + 2;
    auto PenWidth = [&](long long v) {
        long long w = std::llabs(v * dw / std::max(1LL, std::llabs(static_cast<long long>(wExt.cx))));
        return static_cast<int>(std::min(w, maxPen));
    };
    std::map<int, HGDIOBJ> objects;
    int depth = 0; // states saved by the picture's own records
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    InitStockFonts();
    SetBkMode(dc, OPAQUE);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    for (const TMetaRecord& r : FRecords) {
        const auto& a = r.Args;
        switch (r.Op) {
        case opWindowOrg: wOrg = TPoint(a[0], a[1]); break;
        case opWindowExt:
            if (a[0] != 0 && a[1] != 0) wExt = TSize(a[0], a[1]);
            break;
        case opMoveTo:
            curX = wx(a[0]);
            curY = wy(a[1]);
            break;
        case opLineTo: {
            long long x = wx(a[0]), y = wy(a[1]);
            segment(static_cast<double>(curX), static_cast<double>(curY), static_cast<double>(x),
                    static_cast<double>(y));
            curX = x;
            curY = y;
            break;
        }
        case opRect: Rectangle(dc, mx(a[0]), my(a[1]), mx(a[2]), my(a[3])); break;
        case opEllipse: Ellipse(dc, mx(a[0]), my(a[1]), mx(a[2]), my(a[3])); break;
        case opRoundRect: RoundRect(dc, mx(a[0]), my(a[1]), mx(a[2]), my(a[3]), sx(a[4]), sy(a[5])); break;
        case opPolygon:
        case opPolyline: {
            std::vector<std::pair<double, double>> wide;
            bool allInside = true;
            for (size_t i = 0; i + 1 < a.size(); i += 2) {
                double x = static_cast<double>(wx(a[i])), y = static_cast<double>(wy(a[i + 1]));
                allInside = allInside && inside(x, y);
                wide.emplace_back(x, y);
            }
            std::vector<TPoint> pts;
            if (allInside || r.Op == opPolygon) {
                if (allInside)
                    for (auto [x, y] : wide) pts.emplace_back(static_cast<int>(x), static_cast<int>(y));
                else
                    pts = clipPolygon(std::move(wide));
                if (r.Op == opPolygon) {
                    if (pts.size() >= 3) Polygon(dc, pts.data(), static_cast<int>(pts.size()));
                } else {
                    Polyline(dc, pts.data(), static_cast<int>(pts.size()));
                }
            } else {
                // A polyline reaching far outside: its segments one by one, each clipped.
                for (size_t i = 1; i < wide.size(); ++i)
                    segment(wide[i - 1].first, wide[i - 1].second, wide[i].first, wide[i].second);
            }
            break;
        }
        case opBkMode: SetBkMode(dc, a[0] == TRANSPARENT ? TRANSPARENT : OPAQUE); break;
        case opPolyFillMode: SetPolyFillMode(dc, a[0] == WINDING ? WINDING : ALTERNATE); break;
        case opRop2:
            if (a[0] >= R2_BLACK && a[0] <= R2_WHITE) SetROP2(dc, a[0]);
            break;
        case opTextAlign: SetTextAlign(dc, static_cast<UINT>(a[0]) & (TA_CENTER | TA_BASELINE)); break;
        case opTextColor: SetTextColor(dc, static_cast<COLORREF>(a[0]) & 0xFFFFFF); break;
        case opBkColor: SetBkColor(dc, static_cast<COLORREF>(a[0]) & 0xFFFFFF); break;
        case opCreatePen:
        case opCreateBrush:
        case opCreateFont: {
            HGDIOBJ obj;
            if (r.Op == opCreatePen)
                obj = CreatePen(a[1] & PS_STYLE_MASK, PenWidth(a[2]), static_cast<COLORREF>(a[3]) & 0xFFFFFF);
            else if (r.Op == opCreateBrush) {
                LOGBRUSH lb;
                lb.lbStyle = a[1] == BS_NULL ? BS_NULL : a[1] == BS_HATCHED ? BS_HATCHED : BS_SOLID;
                lb.lbColor = static_cast<COLORREF>(a[2]) & 0xFFFFFF;
                lb.lbHatch = static_cast<uintptr_t>(std::clamp(a[3], 0, 5));
                obj = CreateBrushIndirect(&lb);
            } else {
                LOGFONT lf = r.Font;
                lf.lfHeight = sy(lf.lfHeight);
                if (lf.lfHeight == 0 && r.Font.lfHeight != 0) lf.lfHeight = r.Font.lfHeight < 0 ? -1 : 1;
                lf.lfWidth = sx(lf.lfWidth);
                obj = CreateFontIndirect(&lf);
            }
            auto it = objects.find(a[0]);
            if (it != objects.end()) DeleteObject(it->second);
            objects[a[0]] = obj;
            break;
        }
        case opSelect: {
            uint32_t index = static_cast<uint32_t>(a[0]);
            if (index & 0x80000000u) {
                if (HGDIOBJ stock = GetStockObject(static_cast<int>(index & 0x7FFFFFFF)))
                    SelectObject(dc, stock);
            } else {
                auto it = objects.find(a[0]);
                if (it != objects.end()) SelectObject(dc, it->second);
            }
            break;
        }
        case opDelete: {
            auto it = objects.find(a[0]);
            if (it != objects.end()) {
                DeleteObject(it->second);
                objects.erase(it);
            }
            break;
        }
        case opText: {
            std::string text = CodePointsToUtf8(r.Text);
            TextOut(dc, far(wx(a[0])), far(wy(a[1])), text);
            break;
        }
        case opImage: {
            if (!r.Image || r.Image->Empty()) break;
            TBitmap bmp;
            bmp.SetImageData(*r.Image);
            HDC src = bmp.GetCanvas()->GetHandle();
            int old = SetStretchBltMode(dc, COLORONCOLOR);
            StretchBlt(dc, far(wx(a[0])), far(wy(a[1])), far(a[2] * dw / std::max(1, wExt.cx)),
                       far(a[3] * dh / std::max(1, wExt.cy)), src, a[4], a[5], a[6], a[7], SRCCOPY);
            SetStretchBltMode(dc, old);
            break;
        }
        case opSaveDC:
            if (SaveDC(dc)) ++depth;
            break;
        case opRestoreDC:
            // Only states this picture saved itself: a bogus count must not unwind the canvas's own.
            if (a[0] < 0 && -static_cast<long long>(a[0]) <= depth && RestoreDC(dc, a[0])) depth += a[0];
            break;
        default: break;
        }
    }
    RestoreDC(dc, saved);
    for (auto& [k, obj] : objects) DeleteObject(obj);
}

QEL_IMPLEMENT_CLASS(TMetafile)

} // namespace qel
