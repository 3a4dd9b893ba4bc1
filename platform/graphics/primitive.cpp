// Lines, shapes, fills, edges, frame controls, gradients, flood fill, region painting and the text hooks.
#include "platform/graphics/gdi_private.h"
#include <algorithm>
#include <cmath>
#include <deque>

namespace qel {
namespace gdi {

namespace {

constexpr int kCoordLimit = 1 << 27;

inline int ClampI(int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, -kCoordLimit, kCoordLimit));
}

struct TCtx {
    std::shared_ptr<TDCObj> D;
    TDib* Surf = nullptr;
    bool Ok() const { return D && Surf; }
    TPoint ToSurf(int x, int y) const {
        return {ClampI(int64_t(x) + D->OffX()), ClampI(int64_t(y) + D->OffY())};
    }
    TRect ToSurf(const TRect& r) const {
        TPoint a = ToSurf(r.Left, r.Top), b = ToSurf(r.Right, r.Bottom);
        return {a.X, a.Y, b.X, b.Y};
    }
};

TCtx Ctx(HDC dc) {
    TCtx c;
    c.D = GetDC(dc);
    if (c.D) c.Surf = c.D->Surface();
    return c;
}

TRect Norm(TRect r) {
    if (r.Left > r.Right) std::swap(r.Left, r.Right);
    if (r.Top > r.Bottom) std::swap(r.Top, r.Bottom);
    return r;
}

BYTE MixRop(const TDCObj& d) {
    return static_cast<BYTE>(Rop2ToRop3(d.S.Rop2));
}

bool PenVisible(const TDCObj& d) {
    return d.S.Pen && d.S.Pen->Style != PS_NULL;
}
int PenWidth(const TDCObj& d) {
    return d.S.Pen ? std::max(1, d.S.Pen->Width) : 1;
}

// Dash patterns (on, off, on, off, ...) in pixels for cosmetic pens.
const std::vector<int>* DashPattern(int style) {
    static const std::vector<int> dash{18, 6}, dot{3, 3}, dashdot{9, 6, 3, 6}, dashdotdot{9, 3, 3, 3, 3, 3},
        alternate{1, 1};
    switch (style) {
    case PS_DASH: return &dash;
    case PS_DOT: return &dot;
    case PS_DASHDOT: return &dashdot;
    case PS_DASHDOTDOT: return &dashdotdot;
    case PS_ALTERNATE: return &alternate;
    default: return nullptr;
    }
}

bool DashOn(const std::vector<int>& pat, int64_t pos) {
    int total = 0;
    for (int v : pat) total += v;
    int64_t p = pos % total;
    for (size_t i = 0; i < pat.size(); ++i) {
        if (p < pat[i]) return i % 2 == 0;
        p -= pat[i];
    }
    return true;
}

// Pixels of a width-1 line from a to b without b, limited to the box (surface bounds); `style` advances.
void LinePixels(TPoint a, TPoint b, const TRect& box, const std::vector<int>* dash, int64_t& style,
                std::vector<TPoint>& on, std::vector<TPoint>& off) {
    const int64_t dx = int64_t(b.X) - a.X, dy = int64_t(b.Y) - a.Y;
    const int64_t adx = std::llabs(dx), ady = std::llabs(dy);
    const int64_t len = std::max(adx, ady);
    if (len == 0) return;
    const bool xMajor = adx >= ady;
    // Restrict the steps to those whose major coordinate lies in the box.
    int64_t lo = 0, hi = len;
    {
        const int64_t m0 = xMajor ? a.X : a.Y;
        const int64_t step = xMajor ? (dx > 0 ? 1 : -1) : (dy > 0 ? 1 : -1);
        const int64_t bLo = xMajor ? box.Left : box.Top, bHi = xMajor ? box.Right : box.Bottom; // [bLo, bHi)
        // m = m0 + i*step in [bLo, bHi)
        int64_t i0, i1;
        if (step > 0) {
            i0 = bLo - m0;
            i1 = bHi - m0;
        } else {
            i0 = m0 - bHi + 1;
            i1 = m0 - bLo + 1;
        }
        lo = std::max<int64_t>(lo, i0);
        hi = std::min<int64_t>(hi, i1);
    }
    for (int64_t i = lo; i < hi; ++i) {
        int64_t x, y;
        if (xMajor) {
            x = a.X + (dx > 0 ? i : -i);
            // Round to nearest, halves towards the start point's side.
            const int64_t num = 2 * i * ady + adx - 1;
            const int64_t off2 = num / (2 * adx);
            y = a.Y + (dy >= 0 ? off2 : -off2);
        } else {
            y = a.Y + (dy > 0 ? i : -i);
            const int64_t num = 2 * i * adx + ady - 1;
            const int64_t off2 = num / (2 * ady);
            x = a.X + (dx >= 0 ? off2 : -off2);
        }
        if (y < box.Top || y >= box.Bottom || x < box.Left || x >= box.Right) continue;
        const TPoint p{int(x), int(y)};
        if (!dash || DashOn(*dash, style + i))
            on.push_back(p);
        else
            off.push_back(p);
    }
    style += len;
}

// Wide strokes: each segment as a quadrilateral plus round joins, in 1/16 pixel units.
TRegion WideStroke(const std::vector<TPoint>& pts, bool closed, int width) {
    TRegion out;
    if (pts.empty()) return out;
    const double hw = width / 2.0;
    auto disc = [&](TPoint p) {
        const int l = p.X - width / 2, t = p.Y - width / 2;
        return TRegion::FromEllipse({l, t, l + width, t + width});
    };
    std::vector<TRect> squares;
    const size_t n = pts.size();
    const size_t segs = closed ? n : n - 1;
    for (size_t i = 0; i < segs; ++i) {
        const TPoint a = pts[i], b = pts[(i + 1) % n];
        const double dx = b.X - a.X, dy = b.Y - a.Y;
        const double L = std::sqrt(dx * dx + dy * dy);
        if (L == 0) continue;
        const double nx = -dy / L * hw, ny = dx / L * hw;
        const double ax = a.X + 0.5, ay = a.Y + 0.5, bx = b.X + 0.5, by = b.Y + 0.5;
        auto q = [](double v) { return static_cast<int>(std::lround(v * 16)); };
        TPoint quad[4] = {{q(ax + nx), q(ay + ny)},
                          {q(bx + nx), q(by + ny)},
                          {q(bx - nx), q(by - ny)},
                          {q(ax - nx), q(ay - ny)}};
        int four = 4;
        out |= TRegion::FromPolyPolygonScaled(quad, &four, 1, TFillMode::Winding, 16);
    }
    for (size_t i = 0; i < n; ++i) out |= disc(pts[i]);
    return out;
}

// Strokes a polyline given in surface coordinates with the DC's pen.
void Stroke(TCtx& c, const std::vector<TPoint>& pts, bool closed) {
    TDCObj& d = *c.D;
    if (!PenVisible(d) || pts.empty()) return;
    const TRegion& clip = d.Clip();
    if (clip.IsEmpty()) return;
    TSurfaceLock lock(c.Surf);
    const TPattern pen = SolidPattern(d, PenColor(d));
    const BYTE rop = MixRop(d);
    const int style = d.S.Pen->Style;
    const int width = PenWidth(d);
    if (width > 1) {
        PatRegion(*c.Surf, clip, WideStroke(pts, closed, width), pen, rop);
        return;
    }
    const std::vector<int>* dash = DashPattern(style);
    const TRect box = clip.Bounds();
    std::vector<TPoint> on, off;
    int64_t pos = 0;
    for (size_t i = 0; i + 1 < pts.size(); ++i) LinePixels(pts[i], pts[i + 1], box, dash, pos, on, off);
    if (closed && pts.size() > 1) LinePixels(pts.back(), pts.front(), box, dash, pos, on, off);
    PatPixels(*c.Surf, clip, on, pen, rop);
    if (!off.empty() && d.S.BkMode == OPAQUE)
        PatPixels(*c.Surf, clip, off, SolidPattern(d, d.S.BkColor), rop);
}

void FillShape(TCtx& c, const TRegion& shape) {
    TDCObj& d = *c.D;
    TPattern brush = RealizeBrush(d, nullptr);
    if (brush.Null || shape.IsEmpty()) return;
    TSurfaceLock lock(c.Surf);
    PatRegion(*c.Surf, d.Clip(), shape, brush, MixRop(d));
}

void DrawRegionWith(TCtx& c, const TRegion& shape, const TPattern& pat, BYTE rop) {
    if (pat.Null || shape.IsEmpty()) return;
    TSurfaceLock lock(c.Surf);
    PatRegion(*c.Surf, c.D->Clip(), shape, pat, rop);
}

// Keeps the pixels of `r` for which pred(x, y) holds.
template <typename P>
TRegion Filter(const TRegion& r, P pred) {
    std::vector<TRect> rects;
    for (const TRect& rc : r.Rects())
        for (int y = rc.Top; y < rc.Bottom; ++y) {
            int start = INT32_MIN;
            for (int x = rc.Left; x <= rc.Right; ++x) {
                const bool in = x < rc.Right && pred(x, y);
                if (in && start == INT32_MIN) start = x;
                if (!in && start != INT32_MIN) {
                    rects.push_back({start, y, x, y + 1});
                    start = INT32_MIN;
                }
            }
        }
    return TRegion::FromRects(rects.data(), rects.size());
}

// Outline ring and interior of a shape built by `make(rect)` (rect in surface coordinates).
template <typename M>
void ShapeOutlineAndFill(TCtx& c, TRect r, M make, TRegion* ringOut = nullptr, TRegion* fillOut = nullptr) {
    TDCObj& d = *c.D;
    r = Norm(r);
    if (!PenVisible(d)) {
        // Without a pen the shape is one pixel smaller, as on the platform.
        TRegion fill = make(TRect{r.Left, r.Top, r.Right - 1, r.Bottom - 1});
        if (fillOut)
            *fillOut = fill;
        else
            FillShape(c, fill);
        return;
    }
    const int w = PenWidth(d);
    TRect outer = r;
    if (d.S.Pen->Style != PS_INSIDEFRAME && w > 1) outer = InflateRect(r, w / 2, w / 2);
    const TRect inner = InflateRect(outer, -w, -w);
    TRegion o = make(outer);
    TRegion in = inner.IsEmpty() ? TRegion() : make(inner);
    TRegion ring = TRegion::Combine(o, in, TRegionOp::Diff);
    if (ringOut) *ringOut = ring;
    if (fillOut) *fillOut = in;
    if (ringOut || fillOut) return;
    FillShape(c, in);
    DrawRegionWith(c, ring, SolidPattern(d, PenColor(d)), MixRop(d));
}

double AngleOf(double x, double y, double cx, double cy) {
    return std::atan2(-(y - cy), x - cx);
}

// True when angle a lies on the anticlockwise sweep from s to e (full turn when s == e).
bool InSweep(double a, double s, double e) {
    const double two = 2 * M_PI;
    auto norm = [two](double v) {
        v = std::fmod(v, two);
        return v < 0 ? v + two : v;
    };
    const double span = norm(e - s);
    if (span == 0) return true;
    return norm(a - s) <= span;
}

TPoint EllipsePoint(const TRect& r, double px, double py) {
    const double cx = (r.Left + r.Right) / 2.0, cy = (r.Top + r.Bottom) / 2.0;
    const double rx = std::max(0.5, r.Width() / 2.0), ry = std::max(0.5, r.Height() / 2.0);
    double dx = px - cx, dy = py - cy;
    if (dx == 0 && dy == 0) dx = 1;
    const double k = 1.0 / std::sqrt((dx / rx) * (dx / rx) + (dy / ry) * (dy / ry));
    return {static_cast<int>(std::lround(cx + k * dx - 0.5)),
            static_cast<int>(std::lround(cy + k * dy - 0.5))};
}

enum class TArcKind { Arc, Pie, Chord };

bool ArcShape(HDC dc, int l, int t, int r, int b, int x1, int y1, int x2, int y2, TArcKind kind) {
    TCtx c = Ctx(dc);
    if (!c.Ok()) return false;
    TDCObj& d = *c.D;
    const TRect rs = Norm(c.ToSurf(TRect{l, t, r, b}));
    if (rs.Width() < 1 || rs.Height() < 1) return true;
    const TPoint p1 = c.ToSurf(x1, y1), p2 = c.ToSurf(x2, y2);
    const double cx = (rs.Left + rs.Right) / 2.0, cy = (rs.Top + rs.Bottom) / 2.0;
    double s = AngleOf(p1.X, p1.Y, cx, cy), e = AngleOf(p2.X, p2.Y, cx, cy);
    if (d.S.ArcDirection == AD_CLOCKWISE) std::swap(s, e);
    auto inArc = [&](int x, int y) { return InSweep(AngleOf(x + 0.5, y + 0.5, cx, cy), s, e); };
    TRegion ring, fill;
    const bool pen = PenVisible(d);
    ShapeOutlineAndFill(
        c, rs, [](const TRect& q) { return TRegion::FromEllipse(q); }, &ring, &fill);
    const TPoint a = EllipsePoint(rs, p1.X + 0.5, p1.Y + 0.5), z = EllipsePoint(rs, p2.X + 0.5, p2.Y + 0.5);
    const TPoint from = d.S.ArcDirection == AD_CLOCKWISE ? z : a,
                 to = d.S.ArcDirection == AD_CLOCKWISE ? a : z;
    if (kind != TArcKind::Arc) {
        TRegion area;
        if (kind == TArcKind::Pie) {
            area = Filter(fill, inArc);
        } else {
            // Chord: the part of the ellipse on the arc's side of the line from -> to.
            const double ux = to.X - from.X, uy = to.Y - from.Y;
            area = Filter(fill, [&](int x, int y) {
                const double cross = ux * (y + 0.5 - (from.Y + 0.5)) - uy * (x + 0.5 - (from.X + 0.5));
                return cross <= 0;
            });
        }
        FillShape(c, area);
    }
    if (!pen) return true;
    TRegion arcRing = Filter(ring, inArc);
    DrawRegionWith(c, arcRing, SolidPattern(d, PenColor(d)), MixRop(d));
    if (kind == TArcKind::Pie) {
        const TPoint ctr{static_cast<int>(std::floor(cx - 0.5 + 0.5)),
                         static_cast<int>(std::floor(cy - 0.5 + 0.5))};
        Stroke(c, {from, ctr, to}, false);
    } else if (kind == TArcKind::Chord) {
        Stroke(c, {from, to}, false);
    }
    return true;
}

// System colour as a surface pattern.
TPattern SysPattern(TDCObj& d, int index) {
    return SolidPattern(d, GetSysColor(index));
}

void FillRectSys(TCtx& c, const TRect& surfRect, int index) {
    TSurfaceLock lock(c.Surf);
    PatRectClipped(*c.Surf, c.D->Clip(), surfRect, SysPattern(*c.D, index), 0xF0);
}

void FillRectColor(TCtx& c, const TRect& surfRect, COLORREF color) {
    TSurfaceLock lock(c.Surf);
    PatRectClipped(*c.Surf, c.D->Clip(), surfRect, SolidPattern(*c.D, color), 0xF0);
}

void PixelsColor(TCtx& c, const std::vector<TPoint>& pts, COLORREF color) {
    TSurfaceLock lock(c.Surf);
    PatPixels(*c.Surf, c.D->Clip(), pts, SolidPattern(*c.D, color), 0xF0);
}

} // namespace
} // namespace gdi

using namespace gdi;

// ---- lines ---------------------------------------------------------------------------------------------

bool LineTo(HDC dc, int x, int y) {
    TCtx c = Ctx(dc);
    if (!c.Ok()) return false;
    const TPoint from = c.D->S.CurPos;
    c.D->S.CurPos = {x, y};
    Stroke(c, {c.ToSurf(from.X, from.Y), c.ToSurf(x, y)}, false);
    return true;
}

bool Polyline(HDC dc, const TPoint* points, int count) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || !points || count < 2) return false;
    std::vector<TPoint> pts;
    for (int i = 0; i < count; ++i) pts.push_back(c.ToSurf(points[i].X, points[i].Y));
    Stroke(c, pts, false);
    return true;
}

bool PolylineTo(HDC dc, const TPoint* points, int count) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || !points || count < 1) return false;
    std::vector<TPoint> pts{c.ToSurf(c.D->S.CurPos.X, c.D->S.CurPos.Y)};
    for (int i = 0; i < count; ++i) pts.push_back(c.ToSurf(points[i].X, points[i].Y));
    c.D->S.CurPos = points[count - 1];
    Stroke(c, pts, false);
    return true;
}

bool PolyPolygon(HDC dc, const TPoint* points, const int* counts, int polygons) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || !points || !counts || polygons <= 0) return false;
    size_t total = 0;
    for (int i = 0; i < polygons; ++i) {
        if (counts[i] < 2) return false;
        total += size_t(counts[i]);
    }
    std::vector<TPoint> pts(total);
    for (size_t i = 0; i < total; ++i) pts[i] = c.ToSurf(points[i].X, points[i].Y);
    const TFillMode mode = c.D->S.PolyFillMode == WINDING ? TFillMode::Winding : TFillMode::Alternate;
    FillShape(c, TRegion::FromPolyPolygon(pts.data(), counts, polygons, mode));
    size_t off = 0;
    for (int i = 0; i < polygons; ++i) {
        std::vector<TPoint> poly(pts.begin() + long(off), pts.begin() + long(off + size_t(counts[i])));
        Stroke(c, poly, true);
        off += size_t(counts[i]);
    }
    return true;
}

bool Polygon(HDC dc, const TPoint* points, int count) {
    if (count < 2) return false;
    return PolyPolygon(dc, points, &count, 1);
}

// ---- shapes --------------------------------------------------------------------------------------------

bool Rectangle(HDC dc, int l, int t, int r, int b) {
    TCtx c = Ctx(dc);
    if (!c.Ok()) return false;
    TDCObj& d = *c.D;
    const TRect rs = Norm(c.ToSurf(TRect{l, t, r, b}));
    if (!PenVisible(d)) {
        FillShape(c, TRegion(TRect{rs.Left, rs.Top, rs.Right - 1, rs.Bottom - 1}));
        return true;
    }
    const int w = PenWidth(d);
    if (w <= 1 && DashPattern(d.S.Pen->Style)) {
        FillShape(c, TRegion(InflateRect(rs, -1, -1)));
        if (rs.Width() > 0 && rs.Height() > 0)
            Stroke(c,
                   {{rs.Left, rs.Top},
                    {rs.Right - 1, rs.Top},
                    {rs.Right - 1, rs.Bottom - 1},
                    {rs.Left, rs.Bottom - 1}},
                   true);
        return true;
    }
    ShapeOutlineAndFill(c, rs, [](const TRect& q) { return TRegion(q); });
    return true;
}

bool RoundRect(HDC dc, int l, int t, int r, int b, int ellipseW, int ellipseH) {
    TCtx c = Ctx(dc);
    if (!c.Ok()) return false;
    const int w = PenWidth(*c.D);
    const TRect rs = c.ToSurf(TRect{l, t, r, b});
    const TRect n = Norm(rs);
    ShapeOutlineAndFill(c, rs, [&](const TRect& q) {
        const int shrink = (n.Width() - q.Width());
        (void)w;
        return TRegion::FromRoundRect(q, std::max(0, ellipseW - shrink), std::max(0, ellipseH - shrink));
    });
    return true;
}

bool Ellipse(HDC dc, int l, int t, int r, int b) {
    TCtx c = Ctx(dc);
    if (!c.Ok()) return false;
    ShapeOutlineAndFill(c, c.ToSurf(TRect{l, t, r, b}),
                        [](const TRect& q) { return TRegion::FromEllipse(q); });
    return true;
}

bool Arc(HDC dc, int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    return ArcShape(dc, l, t, r, b, x1, y1, x2, y2, TArcKind::Arc);
}
bool Pie(HDC dc, int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    return ArcShape(dc, l, t, r, b, x1, y1, x2, y2, TArcKind::Pie);
}
bool Chord(HDC dc, int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    return ArcShape(dc, l, t, r, b, x1, y1, x2, y2, TArcKind::Chord);
}

// ---- fills ----------------------------------------------------------------------------------------------

int FillRect(HDC dc, const TRect* rect, HBRUSH brush) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || !rect) return 0;
    TPattern pat = RealizeBrushHandle(*c.D, brush);
    if (pat.Null) return brush ? 1 : 0;
    const TRect rs = c.ToSurf(*rect);
    if (rs.IsEmpty()) return 1;
    TSurfaceLock lock(c.Surf);
    PatRectClipped(*c.Surf, c.D->Clip(), rs, pat, 0xF0);
    return 1;
}

bool FillSolidRect(HDC dc, const TRect& rect, COLORREF color) {
    TCtx c = Ctx(dc);
    if (!c.Ok()) return false;
    FillRectColor(c, c.ToSurf(rect), color & 0xFFFFFF);
    return true;
}

int FrameRect(HDC dc, const TRect* rect, HBRUSH brush) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || !rect) return 0;
    TPattern pat = RealizeBrushHandle(*c.D, brush);
    if (pat.Null) return brush ? 1 : 0;
    const TRect rs = c.ToSurf(*rect);
    if (rs.IsEmpty()) return 1;
    TRegion ring = TRegion::Combine(TRegion(rs), TRegion(InflateRect(rs, -1, -1)), TRegionOp::Diff);
    DrawRegionWith(c, ring, pat, 0xF0);
    return 1;
}

bool InvertRect(HDC dc, const TRect* rect) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || !rect) return false;
    TSurfaceLock lock(c.Surf);
    PatRectClipped(*c.Surf, c.D->Clip(), c.ToSurf(*rect), TPattern{}, 0x55);
    return true;
}

bool DrawFocusRect(HDC dc, const TRect* rect) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || !rect) return false;
    TDCObj& d = *c.D;
    const TRect rs = c.ToSurf(*rect);
    if (rs.IsEmpty()) return true;
    // Alternate pixels, phase fixed to the device origin: 1 bits (background colour) where x + y is even.
    TPattern pat;
    pat.Null = false;
    pat.W = pat.H = 2;
    pat.OrgX = d.DeviceOrigin.X;
    pat.OrgY = d.DeviceOrigin.Y;
    const bool mono = c.Surf->IsMono();
    const uint32_t one = mono ? 0xFFFFFFFFu : ColorRefToPixel(d.S.BkColor);
    const uint32_t zero = mono ? 0u : ColorRefToPixel(d.S.TextColor);
    pat.Tile = {one, zero, zero, one};
    TRegion ring = TRegion::Combine(TRegion(rs), TRegion(InflateRect(rs, -1, -1)), TRegionOp::Diff);
    DrawRegionWith(c, ring, pat, 0x5A);
    return true;
}

bool FloodFill(HDC dc, int x, int y, COLORREF color) {
    return ExtFloodFill(dc, x, y, color, FLOODFILLBORDER);
}

bool ExtFloodFill(HDC dc, int x, int y, COLORREF color, UINT type) {
    TCtx c = Ctx(dc);
    if (!c.Ok()) return false;
    TDCObj& d = *c.D;
    const TPoint p = c.ToSurf(x, y);
    TSurfaceLock lock(c.Surf);
    const TRegion clip = d.Clip();
    if (!clip.Contains(p)) return false;
    const TDib& s = *c.Surf;
    const uint32_t key = s.IsMono() ? (MonoBitOfPixel(ColorRefToPixel(color)) ? 0xFFFFFFu : 0u)
                                    : ColorRefToPixel(color & 0xFFFFFF);
    auto fillable = [&](int px, int py) {
        if (!clip.Contains(px, py)) return false;
        const uint32_t v = s.GetPixel(px, py);
        return type == FLOODFILLSURFACE ? v == key : v != key;
    };
    if (!fillable(p.X, p.Y)) return false;
    const TRect bounds = clip.Bounds();
    const int w = bounds.Width(), h = bounds.Height();
    std::vector<uint8_t> seen(size_t(w) * size_t(h));
    std::vector<TRect> spans;
    std::deque<TPoint> todo{p};
    while (!todo.empty()) {
        TPoint q = todo.front();
        todo.pop_front();
        if (seen[size_t(q.Y - bounds.Top) * w + size_t(q.X - bounds.Left)] || !fillable(q.X, q.Y)) continue;
        int a = q.X, b = q.X;
        while (a - 1 >= bounds.Left && !seen[size_t(q.Y - bounds.Top) * w + size_t(a - 1 - bounds.Left)] &&
               fillable(a - 1, q.Y))
            --a;
        while (b + 1 < bounds.Right && !seen[size_t(q.Y - bounds.Top) * w + size_t(b + 1 - bounds.Left)] &&
               fillable(b + 1, q.Y))
            ++b;
        for (int i = a; i <= b; ++i) seen[size_t(q.Y - bounds.Top) * w + size_t(i - bounds.Left)] = 1;
        spans.push_back({a, q.Y, b + 1, q.Y + 1});
        for (int ny : {q.Y - 1, q.Y + 1}) {
            if (ny < bounds.Top || ny >= bounds.Bottom) continue;
            for (int i = a; i <= b; ++i)
                if (!seen[size_t(ny - bounds.Top) * w + size_t(i - bounds.Left)] && fillable(i, ny)) {
                    todo.push_back({i, ny});
                    while (i + 1 <= b && fillable(i + 1, ny)) ++i;
                }
        }
    }
    TPattern brush = RealizeBrush(d, nullptr);
    if (!brush.Null) PatRegion(*c.Surf, clip, TRegion::FromRects(spans.data(), spans.size()), brush, 0xF0);
    return true;
}

// ---- regions -------------------------------------------------------------------------------------------

namespace {
TRegion RegionToSurface(TCtx& c, HRGN rgn, bool& ok) {
    ok = GetObjectType(rgn) == OBJ_REGION;
    TRegion r = GetRegion(rgn);
    r.Offset(c.D->OffX(), c.D->OffY());
    return r;
}
} // namespace

bool FillRgn(HDC dc, HRGN rgn, HBRUSH brush) {
    TCtx c = Ctx(dc);
    if (!c.Ok()) return false;
    bool ok;
    TRegion r = RegionToSurface(c, rgn, ok);
    if (!ok) return false;
    DrawRegionWith(c, r, RealizeBrushHandle(*c.D, brush), 0xF0);
    return true;
}

bool PaintRgn(HDC dc, HRGN rgn) {
    TCtx c = Ctx(dc);
    if (!c.Ok()) return false;
    bool ok;
    TRegion r = RegionToSurface(c, rgn, ok);
    if (!ok) return false;
    DrawRegionWith(c, r, RealizeBrush(*c.D, nullptr), MixRop(*c.D));
    return true;
}

bool InvertRgn(HDC dc, HRGN rgn) {
    TCtx c = Ctx(dc);
    if (!c.Ok()) return false;
    bool ok;
    TRegion r = RegionToSurface(c, rgn, ok);
    if (!ok) return false;
    TPattern none;
    none.Null = false;
    none.Solid = true;
    DrawRegionWith(c, r, none, 0x55);
    return true;
}

bool FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int w, int h) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || w < 0 || h < 0) return false;
    bool ok;
    TRegion r = RegionToSurface(c, rgn, ok);
    if (!ok) return false;
    // The frame is what erosion by (w, h) removes.
    TRegion inner = r;
    for (int i = 1; i <= w; ++i) {
        TRegion a = r, b = r;
        a.Offset(i, 0);
        b.Offset(-i, 0);
        inner &= a;
        inner &= b;
    }
    for (int i = 1; i <= h; ++i) {
        TRegion a = r, b = r;
        a.Offset(0, i);
        b.Offset(0, -i);
        inner &= a;
        inner &= b;
    }
    DrawRegionWith(c, TRegion::Combine(r, inner, TRegionOp::Diff), RealizeBrushHandle(*c.D, brush), 0xF0);
    return true;
}

// ---- edges and frame controls --------------------------------------------------------------------------

namespace {

struct TRingColors {
    int LT, RB;
};

TRingColors RingColors(UINT kind, bool soft, bool outerRing, UINT flags) {
    if (flags & BF_MONO)
        return outerRing ? TRingColors{COLOR_WINDOWFRAME, COLOR_WINDOWFRAME}
                         : TRingColors{COLOR_WINDOW, COLOR_WINDOW};
    if (flags & BF_FLAT)
        return outerRing ? TRingColors{COLOR_BTNSHADOW, COLOR_BTNSHADOW}
                         : TRingColors{COLOR_BTNFACE, COLOR_BTNFACE};
    switch (kind) {
    case BDR_RAISEDOUTER: return {soft ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT, COLOR_3DDKSHADOW};
    case BDR_SUNKENOUTER: return {soft ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT};
    case BDR_RAISEDINNER: return {soft ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW};
    case BDR_SUNKENINNER: return {soft ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW, COLOR_3DLIGHT};
    default: return {-1, -1};
    }
}

// One ring: top and left lines in LT over their full length, then bottom and right in RB over theirs, so the
// top-right and bottom-left corner pixels take the bottom/right colour.
void DrawRing(TCtx& c, const TRect& r, UINT sides, TRingColors col) {
    if (r.IsEmpty()) return;
    if (sides & BF_TOP) FillRectSys(c, {r.Left, r.Top, r.Right, r.Top + 1}, col.LT);
    if (sides & BF_LEFT) FillRectSys(c, {r.Left, r.Top, r.Left + 1, r.Bottom}, col.LT);
    if (sides & BF_BOTTOM) FillRectSys(c, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, col.RB);
    if (sides & BF_RIGHT) FillRectSys(c, {r.Right - 1, r.Top, r.Right, r.Bottom}, col.RB);
}

} // namespace

bool DrawEdge(HDC dc, TRect* rect, UINT edge, UINT flags) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || !rect) return false;
    if (flags & BF_DIAGONAL) return false; // diagonal edges are not supported
    const TRect rs = c.ToSurf(*rect);
    const bool soft = (flags & BF_SOFT) != 0;
    const UINT outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
    // An outer kind given as both raised and sunken is meaningless; treat it as absent.
    const UINT kinds[2] = {(outer == BDR_RAISEDOUTER || outer == BDR_SUNKENOUTER) ? outer : 0u,
                           (inner == BDR_RAISEDINNER || inner == BDR_SUNKENINNER) ? inner : 0u};
    int rings = 0;
    for (int i = 0; i < 2; ++i) {
        if (!kinds[i]) continue;
        // A lone inner border takes the outer position but keeps its own colours (flat/mono: inner colours).
        DrawRing(c, InflateRect(rs, -rings, -rings), flags & BF_RECT,
                 RingColors(kinds[i], soft, i == 0, flags));
        ++rings;
    }
    TRect in = rs;
    if (flags & BF_LEFT) in.Left += rings;
    if (flags & BF_TOP) in.Top += rings;
    if (flags & BF_RIGHT) in.Right -= rings;
    if (flags & BF_BOTTOM) in.Bottom -= rings;
    if ((flags & BF_MIDDLE) && !in.IsEmpty())
        FillRectSys(c, in, (flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE);
    if (flags & BF_ADJUST) {
        if (flags & BF_LEFT) rect->Left += rings;
        if (flags & BF_TOP) rect->Top += rings;
        if (flags & BF_RIGHT) rect->Right -= rings;
        if (flags & BF_BOTTOM) rect->Bottom -= rings;
    }
    return true;
}

namespace {

// Glyph drawing for frame controls: a list of rectangles in a 1/9 grid of a square cell.
void FillCell(TCtx& c, const TRect& cell, std::initializer_list<TRect> parts, COLORREF color, int grid) {
    for (const TRect& p : parts) {
        const int n = std::max(1, cell.Width());
        const int m = std::max(1, cell.Height());
        TRect r{cell.Left + p.Left * n / grid, cell.Top + p.Top * m / grid, cell.Left + p.Right * n / grid,
                cell.Top + p.Bottom * m / grid};
        if (r.Width() < 1) r.Right = r.Left + 1;
        if (r.Height() < 1) r.Bottom = r.Top + 1;
        FillRectColor(c, r, color);
    }
}

TRect CenteredSquare(const TRect& r) {
    const int s = std::min(r.Width(), r.Height());
    const int l = r.Left + (r.Width() - s) / 2, t = r.Top + (r.Height() - s) / 2;
    return {l, t, l + s, t + s};
}

// Filled triangle pointing in direction dir (0 up, 1 down, 2 left, 3 right) centred in r.
void Arrow(TCtx& c, const TRect& r, int dir, COLORREF color) {
    const int s = std::min(r.Width(), r.Height());
    const int h = std::max(1, (s + 1) / 4); // rows of the triangle
    const int cx = r.Left + r.Width() / 2, cy = r.Top + r.Height() / 2;
    std::vector<TRect> rows;
    for (int i = 0; i < h; ++i) {
        const int half = i; // row i has 2*i+1 pixels
        switch (dir) {
        case 0: rows.push_back({cx - half, cy - h / 2 + i, cx + half + 1, cy - h / 2 + i + 1}); break;
        case 1:
            rows.push_back({cx - half, cy + (h - 1) / 2 - i, cx + half + 1, cy + (h - 1) / 2 - i + 1});
            break;
        case 2: rows.push_back({cx - h / 2 + i, cy - half, cx - h / 2 + i + 1, cy + half + 1}); break;
        default:
            rows.push_back({cx + (h - 1) / 2 - i, cy - half, cx + (h - 1) / 2 - i + 1, cy + half + 1});
            break;
        }
    }
    for (const TRect& q : rows) FillRectColor(c, q, color);
}

void CheckMark(TCtx& c, const TRect& box, COLORREF color) {
    // Seven columns, three pixels high, scaled to the box.
    const int n = std::max(7, box.Width() * 7 / 13);
    const int unit = std::max(1, n / 7);
    const int w = 7 * unit, h = 7 * unit;
    const int l = box.Left + (box.Width() - w) / 2, t = box.Top + (box.Height() - h) / 2;
    static const int dy[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int i = 0; i < 7; ++i)
        FillRectColor(c, {l + i * unit, t + dy[i] * unit, l + (i + 1) * unit, t + (dy[i] + 3) * unit}, color);
}

void Disc(TCtx& c, const TRect& r, COLORREF color) {
    TSurfaceLock lock(c.Surf);
    PatRegion(*c.Surf, c.D->Clip(), TRegion::FromEllipse(r), SolidPattern(*c.D, color), 0xF0);
}

} // namespace

bool DrawFrameControl(HDC dc, TRect* rect, UINT type, UINT state) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || !rect) return false;
    TRect r = c.ToSurf(*rect);
    if (r.IsEmpty()) return true;
    const bool pushed = state & DFCS_PUSHED, inactive = state & DFCS_INACTIVE, flat = state & DFCS_FLAT,
               mono = state & DFCS_MONO, checked = state & DFCS_CHECKED;
    const COLORREF text = GetSysColor(COLOR_BTNTEXT), gray = GetSysColor(COLOR_GRAYTEXT),
                   hilite = GetSysColor(COLOR_BTNHIGHLIGHT);
    auto button = [&](TRect& inner) {
        TRect lr = *rect;
        UINT f = BF_RECT | BF_SOFT | BF_MIDDLE | BF_ADJUST;
        if (flat) f |= BF_FLAT;
        if (mono) f |= BF_MONO;
        DrawEdge(dc, &lr, pushed ? (flat ? BDR_SUNKENOUTER : EDGE_SUNKEN) : EDGE_RAISED, f);
        inner = c.ToSurf(lr);
        if (state & DFCS_ADJUSTRECT) *rect = lr; // report the area inside the frame
        if (pushed) inner = OffsetRect(inner, 1, 1);
    };
    auto glyph = [&](auto draw) {
        if (inactive) {
            draw(1, hilite);
            draw(0, gray);
        } else {
            draw(0, text);
        }
    };
    switch (type) {
    case DFC_BUTTON: {
        if (state & DFCS_BUTTONPUSH) {
            TRect in;
            button(in);
            return true;
        }
        const TRect box = CenteredSquare(r);
        if (state & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE | DFCS_BUTTONRADIOMASK)) {
            if (state & DFCS_BUTTONRADIOMASK) {
                Disc(c, box, RGB(0, 0, 0));
                return true;
            }
            // Classic radio: shadow/dark upper-left half, highlight/light lower-right, window interior.
            TRegion outerE = TRegion::FromEllipse(box),
                    innerE = TRegion::FromEllipse(InflateRect(box, -1, -1)),
                    coreE = TRegion::FromEllipse(InflateRect(box, -2, -2));
            const double cx = (box.Left + box.Right) / 2.0, cy = (box.Top + box.Bottom) / 2.0;
            auto upperLeft = [&](int x, int y) { return (x + 0.5 - cx) + (y + 0.5 - cy) < 0; };
            auto lowerRight = [&](int x, int y) { return !((x + 0.5 - cx) + (y + 0.5 - cy) < 0); };
            TRegion ring1 = TRegion::Combine(outerE, innerE, TRegionOp::Diff);
            TRegion ring2 = TRegion::Combine(innerE, coreE, TRegionOp::Diff);
            TDCObj& d = *c.D;
            DrawRegionWith(c, Filter(ring1, upperLeft), SysPattern(d, COLOR_BTNSHADOW), 0xF0);
            DrawRegionWith(c, Filter(ring1, lowerRight), SysPattern(d, COLOR_BTNHIGHLIGHT), 0xF0);
            DrawRegionWith(c, Filter(ring2, upperLeft), SysPattern(d, COLOR_3DDKSHADOW), 0xF0);
            DrawRegionWith(c, Filter(ring2, lowerRight), SysPattern(d, COLOR_3DLIGHT), 0xF0);
            DrawRegionWith(c, coreE, SysPattern(d, (pushed || inactive) ? COLOR_BTNFACE : COLOR_WINDOW),
                           0xF0);
            if (checked) {
                const int s = std::max(2, box.Width() / 3);
                const int l = box.Left + (box.Width() - s) / 2, t = box.Top + (box.Height() - s) / 2;
                Disc(c, {l, t, l + s, t + s}, inactive ? gray : GetSysColor(COLOR_WINDOWTEXT));
            }
            return true;
        }
        // Check box.
        TRect lr = OffsetRect(box, -c.D->OffX(), -c.D->OffY());
        DrawEdge(dc, &lr, EDGE_SUNKEN, BF_RECT | BF_ADJUST | (flat ? BF_FLAT : 0u) | (mono ? BF_MONO : 0u));
        const TRect in = c.ToSurf(lr);
        FillRectSys(c, in, (pushed || inactive) ? COLOR_BTNFACE : COLOR_WINDOW);
        if (checked || (state & DFCS_BUTTON3STATE && checked))
            CheckMark(c, in, inactive ? gray : GetSysColor(COLOR_WINDOWTEXT));
        return true;
    }
    case DFC_CAPTION: {
        TRect in;
        button(in);
        const TRect g = CenteredSquare(InflateRect(in, -1, -1));
        const int k = static_cast<int>(state & 0xFF);
        glyph([&](int o, COLORREF col) {
            const TRect cell = OffsetRect(g, o, o);
            switch (k) {
            case DFCS_CAPTIONCLOSE: {
                std::vector<TPoint> pts;
                const int s = cell.Width();
                const int m = std::max(1, s / 6);
                for (int i = m; i < s - m; ++i) {
                    pts.push_back({cell.Left + i, cell.Top + i});
                    pts.push_back({cell.Left + i + 1, cell.Top + i});
                    pts.push_back({cell.Left + s - 1 - i, cell.Top + i});
                    pts.push_back({cell.Left + s - i, cell.Top + i});
                }
                std::sort(pts.begin(), pts.end(),
                          [](TPoint a, TPoint b) { return a.Y != b.Y ? a.Y < b.Y : a.X < b.X; });
                pts.erase(std::unique(pts.begin(), pts.end()), pts.end());
                PixelsColor(c, pts, col);
                break;
            }
            case DFCS_CAPTIONMIN: FillCell(c, cell, {{2, 6, 6, 8}}, col, 9); break;
            case DFCS_CAPTIONMAX:
                FillCell(c, cell, {{1, 1, 8, 3}, {1, 3, 2, 8}, {7, 3, 8, 8}, {1, 7, 8, 8}}, col, 9);
                break;
            case DFCS_CAPTIONRESTORE:
                FillCell(c, cell,
                         {{3, 1, 8, 2},
                          {7, 2, 8, 6},
                          {3, 2, 4, 3},
                          {1, 3, 6, 5},
                          {1, 5, 2, 8},
                          {5, 5, 6, 8},
                          {1, 7, 6, 8}},
                         col, 9);
                break;
            default: // help: a question mark
                FillCell(c, cell,
                         {{3, 1, 6, 2}, {2, 2, 3, 3}, {6, 2, 7, 4}, {5, 4, 6, 5}, {4, 5, 5, 6}, {4, 7, 5, 8}},
                         col, 9);
                break;
            }
        });
        return true;
    }
    case DFC_SCROLL: {
        const int k = static_cast<int>(state & 0xFF);
        if (k == DFCS_SCROLLSIZEGRIP || k == DFCS_SCROLLSIZEGRIPRIGHT) {
            FillRectSys(c, r, COLOR_BTNFACE);
            // Three pairs of diagonal shadow lines with a highlight line, from the bottom-right corner.
            std::vector<TPoint> shadow, light;
            const int corner = (r.Right - 1) + (r.Bottom - 1);
            for (int y = r.Top; y < r.Bottom; ++y)
                for (int x = r.Left; x < r.Right; ++x) {
                    const int dist = corner - (x + y);
                    if (dist < 1 || dist > 12) continue;
                    const int m = (dist - 1) % 4;
                    if (m == 0 || m == 1)
                        shadow.push_back({x, y});
                    else if (m == 2)
                        light.push_back({x, y});
                }
            PixelsColor(c, shadow, GetSysColor(COLOR_BTNSHADOW));
            PixelsColor(c, light, GetSysColor(COLOR_BTNHIGHLIGHT));
            return true;
        }
        TRect in;
        button(in);
        const int dir = k == DFCS_SCROLLUP                                   ? 0
                        : (k == DFCS_SCROLLDOWN || k == DFCS_SCROLLCOMBOBOX) ? 1
                        : k == DFCS_SCROLLLEFT                               ? 2
                                                                             : 3;
        glyph([&](int o, COLORREF col) { Arrow(c, OffsetRect(in, o, o), dir, col); });
        return true;
    }
    case DFC_MENU:
    case DFC_POPUPMENU: {
        // Menu glyphs are black on white, ready to be used as masks.
        FillRectColor(c, r, RGB(255, 255, 255));
        const TRect cell = CenteredSquare(r);
        const int k = static_cast<int>(state & 0xFF);
        if (k == DFCS_MENUCHECK) {
            CheckMark(c, cell, RGB(0, 0, 0));
        } else if (k == DFCS_MENUBULLET) {
            const int s = std::max(2, cell.Width() * 3 / 8);
            const int l = cell.Left + (cell.Width() - s) / 2, t = cell.Top + (cell.Height() - s) / 2;
            Disc(c, {l, t, l + s, t + s}, RGB(0, 0, 0));
        } else {
            Arrow(c, cell, k == DFCS_MENUARROWRIGHT ? 2 : 3, RGB(0, 0, 0));
        }
        return true;
    }
    default: return false;
    }
}

// ---- gradients -----------------------------------------------------------------------------------------

bool GradientFill(HDC dc, const TRIVERTEX* v, UINT vertexCount, const void* mesh, UINT meshCount, UINT mode) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || !v || !mesh) return false;
    TDCObj& d = *c.D;
    TSurfaceLock lock(c.Surf);
    const TRegion& clip = d.Clip();
    auto put = [&](int x, int y, double r, double g, double b) {
        const uint32_t px = (uint32_t(std::clamp(int(r) >> 8, 0, 255)) << 16) |
                            (uint32_t(std::clamp(int(g) >> 8, 0, 255)) << 8) |
                            uint32_t(std::clamp(int(b) >> 8, 0, 255));
        c.Surf->SetPixel(x, y, px);
    };
    if (mode == GRADIENT_FILL_RECT_H || mode == GRADIENT_FILL_RECT_V) {
        const auto* rects = static_cast<const GRADIENT_RECT*>(mesh);
        for (UINT i = 0; i < meshCount; ++i) {
            if (rects[i].UpperLeft >= vertexCount || rects[i].LowerRight >= vertexCount) return false;
            const TRIVERTEX& a = v[rects[i].UpperLeft];
            const TRIVERTEX& b = v[rects[i].LowerRight];
            const TRect lr = Norm(TRect{int(a.x), int(a.y), int(b.x), int(b.y)});
            const TRect sr = c.ToSurf(lr);
            // Colour runs from the vertex on the left (top) to the one on the right (bottom).
            const bool aFirst = mode == GRADIENT_FILL_RECT_H ? a.x <= b.x : a.y <= b.y;
            const TRIVERTEX& p = aFirst ? a : b;
            const TRIVERTEX& q = aFirst ? b : a;
            const int span = mode == GRADIENT_FILL_RECT_H ? sr.Width() : sr.Height();
            clip.ForEachRectIn(sr, [&](const TRect& cr) {
                for (int y = cr.Top; y < cr.Bottom; ++y)
                    for (int x = cr.Left; x < cr.Right; ++x) {
                        const int pos = mode == GRADIENT_FILL_RECT_H ? x - sr.Left : y - sr.Top;
                        const double t = span > 1 ? double(pos) / (span) : 0.0;
                        put(x, y, p.Red + (double(q.Red) - p.Red) * t,
                            p.Green + (double(q.Green) - p.Green) * t,
                            p.Blue + (double(q.Blue) - p.Blue) * t);
                    }
            });
        }
        return true;
    }
    if (mode == GRADIENT_FILL_TRIANGLE) {
        const auto* tris = static_cast<const GRADIENT_TRIANGLE*>(mesh);
        for (UINT i = 0; i < meshCount; ++i) {
            const UINT ids[3] = {tris[i].Vertex1, tris[i].Vertex2, tris[i].Vertex3};
            for (UINT id : ids)
                if (id >= vertexCount) return false;
            TPoint pts[3];
            for (int k = 0; k < 3; ++k) pts[k] = c.ToSurf(int(v[ids[k]].x), int(v[ids[k]].y));
            const double x0 = pts[0].X, y0 = pts[0].Y, x1 = pts[1].X, y1 = pts[1].Y, x2 = pts[2].X,
                         y2 = pts[2].Y;
            const double den = (y1 - y2) * (x0 - x2) + (x2 - x1) * (y0 - y2);
            if (den == 0) continue;
            TRegion tri = TRegion::FromPolygon(pts, 3, TFillMode::Alternate);
            tri &= clip;
            for (const TRect& cr : tri.Rects())
                for (int y = cr.Top; y < cr.Bottom; ++y)
                    for (int x = cr.Left; x < cr.Right; ++x) {
                        const double px = x + 0.5, py = y + 0.5;
                        const double w0 = ((y1 - y2) * (px - x2) + (x2 - x1) * (py - y2)) / den;
                        const double w1 = ((y2 - y0) * (px - x2) + (x0 - x2) * (py - y2)) / den;
                        const double w2 = 1 - w0 - w1;
                        const TRIVERTEX &a = v[ids[0]], &b = v[ids[1]], &e = v[ids[2]];
                        put(x, y, w0 * a.Red + w1 * b.Red + w2 * e.Red,
                            w0 * a.Green + w1 * b.Green + w2 * e.Green,
                            w0 * a.Blue + w1 * b.Blue + w2 * e.Blue);
                    }
        }
        return true;
    }
    return false;
}

// ---- text hooks ----------------------------------------------------------------------------------------

bool DrawCoverageMask(HDC dc, int x, int y, const uint8_t* coverage, int w, int h, int stride,
                      COLORREF color) {
    TCtx c = Ctx(dc);
    if (!c.Ok() || !coverage || w < 0 || h < 0 || stride < w) return false;
    const TPoint o = c.ToSurf(x, y);
    const uint32_t px = ColorRefToPixel(color & 0xFFFFFF);
    TSurfaceLock lock(c.Surf);
    TDib& s = *c.Surf;
    c.D->Clip().ForEachRectIn({o.X, o.Y, o.X + w, o.Y + h}, [&](const TRect& r) {
        for (int yy = r.Top; yy < r.Bottom; ++yy) {
            const uint8_t* cov = coverage + size_t(yy - o.Y) * size_t(stride) + (r.Left - o.X);
            for (int xx = r.Left; xx < r.Right; ++xx) {
                const unsigned a = cov[xx - r.Left];
                if (a == 0) continue;
                if (s.IsMono()) {
                    if (a >= 128) s.MonoRow(yy)[xx] = MonoBitOfPixel(px) ? 1 : 0;
                    continue;
                }
                uint32_t& d = s.Row(yy)[xx];
                if (a == 255) {
                    d = px;
                    continue;
                }
                auto mix = [a](uint32_t dv, uint32_t sv) { return (sv * a + dv * (255 - a) + 127) / 255; };
                d = (mix((d >> 16) & 255, (px >> 16) & 255) << 16) |
                    (mix((d >> 8) & 255, (px >> 8) & 255) << 8) | mix(d & 255, px & 255);
            }
        }
    });
    return true;
}

} // namespace qel
