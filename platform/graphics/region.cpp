#include "platform/graphics/region.h"
#include "platform/graphics/dib.h"
#include <algorithm>
#include <cmath>
#include <limits>

namespace qel {

using TSpans = std::vector<std::pair<int, int>>;

// ---- builder ---------------------------------------------------------------------------------------

void TRegionBuilder::AddBand(int top, int bottom, const TSpans& spans) {
    if (bottom <= top || spans.empty()) return;
    auto& rects = FRegion.FRects;
    if (FHasLast) {
        const size_t n = rects.size() - FLastBandStart;
        const TRect& first = rects[FLastBandStart];
        if (first.Bottom == top && n == spans.size()) {
            bool same = true;
            for (size_t i = 0; i < n && same; ++i)
                same = rects[FLastBandStart + i].Left == spans[i].first &&
                       rects[FLastBandStart + i].Right == spans[i].second;
            if (same) {
                for (size_t i = FLastBandStart; i < rects.size(); ++i) rects[i].Bottom = bottom;
                return;
            }
        }
    }
    FLastBandStart = rects.size();
    FHasLast = true;
    for (const auto& s : spans) rects.push_back({s.first, top, s.second, bottom});
}

TRegion TRegionBuilder::Take() {
    TRegion r = std::move(FRegion);
    FRegion = TRegion();
    FHasLast = false;
    FLastBandStart = 0;
    return r;
}

namespace {

// Sorts and merges overlapping or touching spans in place.
void NormaliseSpans(TSpans& spans) {
    std::sort(spans.begin(), spans.end());
    size_t out = 0;
    for (size_t i = 0; i < spans.size(); ++i) {
        if (spans[i].second <= spans[i].first) continue;
        if (out > 0 && spans[i].first <= spans[out - 1].second)
            spans[out - 1].second = std::max(spans[out - 1].second, spans[i].second);
        else
            spans[out++] = spans[i];
    }
    spans.resize(out);
}

struct TBand {
    int Top, Bottom;
    size_t Begin, End;
};

std::vector<TBand> BandsOf(const std::vector<TRect>& rects) {
    std::vector<TBand> bands;
    for (size_t i = 0; i < rects.size();) {
        size_t j = i;
        while (j < rects.size() && rects[j].Top == rects[i].Top) ++j;
        bands.push_back({rects[i].Top, rects[i].Bottom, i, j});
        i = j;
    }
    return bands;
}

bool OpResult(TRegionOp op, bool a, bool b) {
    switch (op) {
    case TRegionOp::And: return a && b;
    case TRegionOp::Or: return a || b;
    case TRegionOp::Xor: return a != b;
    case TRegionOp::Diff: return a && !b;
    case TRegionOp::Copy: return a;
    }
    return false;
}

void CombineSpans(const std::vector<TRect>& ra, const TBand* ba, const std::vector<TRect>& rb,
                  const TBand* bb, TRegionOp op, TSpans& out) {
    out.clear();
    size_t ia = ba ? ba->Begin : 0, ea = ba ? ba->End : 0;
    size_t ib = bb ? bb->Begin : 0, eb = bb ? bb->End : 0;
    // Sweep the x boundaries of both span lists.
    int x = std::numeric_limits<int>::min();
    bool inA = false, inB = false;
    while (true) {
        int nextA = ia < ea ? (inA ? ra[ia].Right : ra[ia].Left) : std::numeric_limits<int>::max();
        int nextB = ib < eb ? (inB ? rb[ib].Right : rb[ib].Left) : std::numeric_limits<int>::max();
        int next = std::min(nextA, nextB);
        if (next == std::numeric_limits<int>::max()) break;
        if (next > x && OpResult(op, inA, inB) && x != std::numeric_limits<int>::min()) {
            if (!out.empty() && out.back().second == x)
                out.back().second = next;
            else
                out.push_back({x, next});
        }
        x = next;
        if (nextA == next) {
            if (inA) ++ia;
            inA = !inA;
        }
        if (nextB == next) {
            if (inB) ++ib;
            inB = !inB;
        }
    }
}

} // namespace

// ---- construction ------------------------------------------------------------------------------------

void TRegion::SetRect(const TRect& r) {
    FRects.clear();
    if (!r.IsEmpty()) FRects.push_back(r);
}

TRegion TRegion::FromRects(const TRect* rects, size_t count) {
    std::vector<TRect> list;
    if (rects)
        for (size_t i = 0; i < count; ++i)
            if (!rects[i].IsEmpty()) list.push_back(rects[i]);
    if (list.empty()) return {};
    std::sort(list.begin(), list.end(), [](const TRect& a, const TRect& b) { return a.Top < b.Top; });
    std::vector<int> ys;
    ys.reserve(list.size() * 2);
    for (const auto& r : list) {
        ys.push_back(r.Top);
        ys.push_back(r.Bottom);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    TRegionBuilder builder;
    std::vector<const TRect*> active;
    size_t next = 0;
    TSpans spans;
    for (size_t k = 0; k + 1 < ys.size(); ++k) {
        const int y0 = ys[k], y1 = ys[k + 1];
        std::erase_if(active, [y0](const TRect* r) { return r->Bottom <= y0; });
        while (next < list.size() && list[next].Top <= y0) active.push_back(&list[next++]);
        spans.clear();
        for (const TRect* r : active) spans.push_back({r->Left, r->Right});
        NormaliseSpans(spans);
        builder.AddBand(y0, y1, spans);
    }
    return builder.Take();
}

namespace {

// Floor division for a positive denominator.
inline int64_t FloorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}
inline int64_t CeilDiv(int64_t a, int64_t b) {
    return -FloorDiv(-a, b);
}

struct TCrossing {
    int64_t X; // first pixel whose centre is at or right of the edge
    int Dir;
};

} // namespace

TRegion TRegion::FromPolyPolygonScaled(const TPoint* points, const int* counts, int polygons, TFillMode mode,
                                       int scale) {
    if (!points || !counts || polygons <= 0 || scale < 2 || scale % 2 != 0) return {};
    struct TEdge {
        int64_t X0, Y0, X1, Y1;
        int Dir;
    };
    const int64_t S = scale, half = scale / 2;
    std::vector<TEdge> edges;
    int64_t minY = INT64_MAX, maxY = INT64_MIN;
    size_t offset = 0;
    for (int p = 0; p < polygons; ++p) {
        const int n = counts[p];
        if (n < 0) return {};
        for (int i = 0; i < n && n >= 2; ++i) {
            TPoint a = points[offset + i], b = points[offset + (i + 1) % n];
            minY = std::min<int64_t>(minY, a.Y);
            maxY = std::max<int64_t>(maxY, a.Y);
            if (a.Y == b.Y) continue;
            if (a.Y < b.Y)
                edges.push_back({a.X, a.Y, b.X, b.Y, 1});
            else
                edges.push_back({b.X, b.Y, a.X, a.Y, -1});
        }
        offset += static_cast<size_t>(n);
    }
    if (edges.empty()) return {};
    std::sort(edges.begin(), edges.end(), [](const TEdge& a, const TEdge& b) { return a.Y0 < b.Y0; });
    TRegionBuilder builder;
    std::vector<TCrossing> xs;
    TSpans spans;
    std::vector<const TEdge*> active;
    size_t next = 0;
    const int64_t firstRow = FloorDiv(minY - half, S), lastRow = CeilDiv(maxY - half, S);
    for (int64_t y = firstRow; y <= lastRow; ++y) {
        const int64_t yc = y * S + half; // row centre in scaled units
        // An edge covers the row when Y0 <= yc < Y1.
        std::erase_if(active, [yc](const TEdge* e) { return e->Y1 <= yc; });
        while (next < edges.size() && edges[next].Y0 <= yc) {
            if (edges[next].Y1 > yc) active.push_back(&edges[next]);
            ++next;
        }
        if (active.empty()) {
            if (next >= edges.size()) break;
            continue;
        }
        xs.clear();
        for (const TEdge* e : active) {
            // First pixel whose centre is at or right of the edge: ceil((x - half) / S).
            const int64_t dy = e->Y1 - e->Y0, dx = e->X1 - e->X0;
            const int64_t num = (e->X0 - half) * dy + (yc - e->Y0) * dx;
            xs.push_back({CeilDiv(num, S * dy), e->Dir});
        }
        std::sort(xs.begin(), xs.end(), [](const TCrossing& a, const TCrossing& b) { return a.X < b.X; });
        spans.clear();
        if (mode == TFillMode::Alternate) {
            for (size_t i = 0; i + 1 < xs.size(); i += 2)
                if (xs[i + 1].X > xs[i].X)
                    spans.push_back({static_cast<int>(xs[i].X), static_cast<int>(xs[i + 1].X)});
        } else {
            int winding = 0;
            for (size_t i = 0; i + 1 < xs.size(); ++i) {
                winding += xs[i].Dir;
                if (winding != 0 && xs[i + 1].X > xs[i].X)
                    spans.push_back({static_cast<int>(xs[i].X), static_cast<int>(xs[i + 1].X)});
            }
        }
        NormaliseSpans(spans);
        builder.AddBand(static_cast<int>(y), static_cast<int>(y + 1), spans);
    }
    return builder.Take();
}

TRegion TRegion::FromPolyPolygon(const TPoint* points, const int* counts, int polygons, TFillMode mode) {
    if (!points || !counts || polygons <= 0) return {};
    size_t total = 0;
    for (int p = 0; p < polygons; ++p) {
        if (counts[p] < 0) return {};
        total += static_cast<size_t>(counts[p]);
    }
    std::vector<TPoint> doubled(total);
    // Coordinates are limited to +-2^27 so the doubled values and the edge arithmetic stay in range.
    constexpr int kLimit = 1 << 27;
    for (size_t i = 0; i < total; ++i)
        doubled[i] = {std::clamp(points[i].X, -kLimit, kLimit) * 2,
                      std::clamp(points[i].Y, -kLimit, kLimit) * 2};
    return FromPolyPolygonScaled(doubled.data(), counts, polygons, mode, 2);
}

TRegion TRegion::FromPolygon(const TPoint* points, int count, TFillMode mode) {
    return FromPolyPolygon(points, &count, 1, mode);
}

namespace {

// Horizontal pixel span [a, b) of the ellipse inscribed in r on row y (pixel centres inside).
bool EllipseSpan(const TRect& r, int y, int& a, int& b) {
    const double rx = r.Width() / 2.0, ry = r.Height() / 2.0;
    const double cx = r.Left + rx, cy = r.Top + ry;
    const double dy = (y + 0.5 - cy) / ry;
    const double q = 1.0 - dy * dy;
    if (q < 0) return false;
    const double hw = rx * std::sqrt(q);
    a = static_cast<int>(std::ceil(cx - hw - 0.5));
    b = static_cast<int>(std::floor(cx + hw - 0.5)) + 1;
    return b > a;
}

} // namespace

TRegion TRegion::FromEllipse(const TRect& r) {
    if (r.IsEmpty()) return {};
    TRegionBuilder builder;
    TSpans spans(1);
    for (int y = r.Top; y < r.Bottom; ++y) {
        int a, b;
        if (!EllipseSpan(r, y, a, b)) continue;
        spans[0] = {a, b};
        builder.AddBand(y, y + 1, spans);
    }
    return builder.Take();
}

TRegion TRegion::FromRoundRect(const TRect& r, int ellipseW, int ellipseH) {
    if (r.IsEmpty()) return {};
    const int ew = std::min(std::abs(ellipseW), r.Width());
    const int eh = std::min(std::abs(ellipseH), r.Height());
    if (ew <= 1 || eh <= 1) return TRegion(r);
    TRegionBuilder builder;
    TSpans spans(1);
    const int topRows = eh / 2;
    for (int y = r.Top; y < r.Bottom; ++y) {
        int a = r.Left, b = r.Right;
        int ey = -1;
        if (y < r.Top + topRows)
            ey = y - r.Top;
        else if (y >= r.Bottom - topRows)
            ey = eh - (r.Bottom - y);
        if (ey >= 0) {
            int ea, eb;
            if (!EllipseSpan(TRect{0, 0, ew, eh}, ey, ea, eb)) continue;
            a = r.Left + ea;
            b = r.Right - ea;
            if (b <= a) continue;
        }
        spans[0] = {a, b};
        builder.AddBand(y, y + 1, spans);
    }
    return builder.Take();
}

TRegion TRegion::FromDibExcludingColor(const TDib& dib, uint32_t keyRgb, int dx, int dy) {
    TRegionBuilder builder;
    TSpans spans;
    keyRgb &= 0xFFFFFF;
    for (int y = 0; y < dib.Height(); ++y) {
        spans.clear();
        const int w = dib.Width();
        if (dib.IsMono()) {
            const uint8_t key = keyRgb ? 1 : 0;
            const uint8_t* row = dib.MonoRow(y);
            for (int x = 0; x < w;) {
                while (x < w && row[x] == key) ++x;
                int s = x;
                while (x < w && row[x] != key) ++x;
                if (x > s) spans.push_back({s + dx, x + dx});
            }
        } else {
            const uint32_t* row = dib.Row(y);
            for (int x = 0; x < w;) {
                while (x < w && (row[x] & 0xFFFFFF) == keyRgb) ++x;
                int s = x;
                while (x < w && (row[x] & 0xFFFFFF) != keyRgb) ++x;
                if (x > s) spans.push_back({s + dx, x + dx});
            }
        }
        builder.AddBand(y + dy, y + dy + 1, spans);
    }
    return builder.Take();
}

// ---- queries ------------------------------------------------------------------------------------------

TRect TRegion::Bounds() const {
    if (FRects.empty()) return {};
    TRect b = FRects.front();
    b.Bottom = FRects.back().Bottom;
    for (const auto& r : FRects) {
        b.Left = std::min(b.Left, r.Left);
        b.Right = std::max(b.Right, r.Right);
    }
    return b;
}

size_t TRegion::FirstBandAtOrBelow(int y) const {
    return static_cast<size_t>(
        std::partition_point(FRects.begin(), FRects.end(), [y](const TRect& r) { return r.Bottom <= y; }) -
        FRects.begin());
}

bool TRegion::Contains(int x, int y) const {
    for (size_t i = FirstBandAtOrBelow(y); i < FRects.size(); ++i) {
        const TRect& r = FRects[i];
        if (r.Top > y) return false;
        if (x < r.Left) return false;
        if (x < r.Right) return true;
    }
    return false;
}

bool TRegion::Intersects(const TRect& rect) const {
    bool any = false;
    ForEachRectIn(rect, [&](const TRect&) { any = true; });
    return any;
}

int64_t TRegion::Area() const {
    int64_t a = 0;
    for (const auto& r : FRects) a += int64_t(r.Width()) * r.Height();
    return a;
}

void TRegion::Offset(int dx, int dy) {
    for (auto& r : FRects) r = OffsetRect(r, dx, dy);
}

TRegion& TRegion::IntersectRect(const TRect& r) {
    if (FRects.empty()) return *this;
    if (IsRect()) {
        SetRect(qel::IntersectRect(FRects[0], r));
        return *this;
    }
    return *this = Combine(*this, TRegion(r), TRegionOp::And);
}

TRegion TRegion::Combine(const TRegion& a, const TRegion& b, TRegionOp op) {
    if (op == TRegionOp::Copy) return a;
    // Quick answers for the common trivial cases.
    if (a.IsEmpty()) return (op == TRegionOp::Or || op == TRegionOp::Xor) ? b : TRegion();
    if (b.IsEmpty()) return op == TRegionOp::And ? TRegion() : a;
    if (op == TRegionOp::And && a.IsRect() && b.IsRect())
        return TRegion(qel::IntersectRect(a.FRects[0], b.FRects[0]));
    const std::vector<TBand> bandsA = BandsOf(a.FRects), bandsB = BandsOf(b.FRects);
    std::vector<int> ys;
    ys.reserve((bandsA.size() + bandsB.size()) * 2);
    for (const auto& bd : bandsA) {
        ys.push_back(bd.Top);
        ys.push_back(bd.Bottom);
    }
    for (const auto& bd : bandsB) {
        ys.push_back(bd.Top);
        ys.push_back(bd.Bottom);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    TRegionBuilder builder;
    TSpans spans;
    size_t ia = 0, ib = 0;
    for (size_t k = 0; k + 1 < ys.size(); ++k) {
        const int y0 = ys[k], y1 = ys[k + 1];
        while (ia < bandsA.size() && bandsA[ia].Bottom <= y0) ++ia;
        while (ib < bandsB.size() && bandsB[ib].Bottom <= y0) ++ib;
        const TBand* ba = ia < bandsA.size() && bandsA[ia].Top <= y0 ? &bandsA[ia] : nullptr;
        const TBand* bb = ib < bandsB.size() && bandsB[ib].Top <= y0 ? &bandsB[ib] : nullptr;
        if (!ba && !bb) continue;
        CombineSpans(a.FRects, ba, b.FRects, bb, op, spans);
        builder.AddBand(y0, y1, spans);
    }
    return builder.Take();
}

} // namespace qel
