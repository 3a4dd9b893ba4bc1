#pragma once
// TRegion: a set of pixels stored as sorted y-bands of x-spans (a list of rectangles in canonical
// banded form: sorted by top, then left; rectangles of one band share top and bottom; spans inside a band
// never touch; vertically adjacent bands with identical spans are merged). Two regions covering the same
// pixels therefore have identical rectangle lists, which makes comparison trivial.
#include "platform/graphics/types.h"
#include <cstdint>
#include <vector>

namespace qel {

class TDib;

enum class TRegionOp { And, Or, Xor, Diff, Copy };
enum class TFillMode { Alternate = 1, Winding = 2 };

class TRegion {
public:
    TRegion() = default;
    explicit TRegion(const TRect& r) { SetRect(r); }

    static TRegion FromRect(const TRect& r) { return TRegion(r); }
    // Any list of rectangles (overlaps allowed, empty ones ignored).
    static TRegion FromRects(const TRect* rects, size_t count);
    // Polygons sampled at pixel centres: a pixel belongs to the region when its centre is inside; centres
    // exactly on an edge belong to the pixel on the edge's right/bottom side (top-left rule), so adjacent
    // polygons sharing an edge neither overlap nor leave gaps. Several polygons are filled as one shape.
    static TRegion FromPolygon(const TPoint* points, int count, TFillMode mode);
    static TRegion FromPolyPolygon(const TPoint* points, const int* counts, int polygons, TFillMode mode);
    // Same with sub-pixel vertices given in units of 1/scale pixel (scale even, e.g. 16); pixel (x, y) has
    // its centre at ((x + 0.5) * scale, (y + 0.5) * scale) in those units.
    static TRegion FromPolyPolygonScaled(const TPoint* points, const int* counts, int polygons,
                                         TFillMode mode, int scale);
    // Ellipse inscribed in the half-open rectangle (pixel centres inside the ellipse).
    static TRegion FromEllipse(const TRect& r);
    // Rectangle with corners rounded by quarter ellipses of size ellipseW x ellipseH.
    static TRegion FromRoundRect(const TRect& r, int ellipseW, int ellipseH);
    // All pixels of a surface whose 0x00RRGGBB value differs from `keyRgb` (mono surfaces: key 0 or
    // 0xFFFFFF), offset by (dx, dy).
    static TRegion FromDibExcludingColor(const TDib& dib, uint32_t keyRgb, int dx = 0, int dy = 0);

    void SetEmpty() { FRects.clear(); }
    void SetRect(const TRect& r);
    bool IsEmpty() const { return FRects.empty(); }
    bool IsRect() const { return FRects.size() == 1; }
    // NULLREGION (1), SIMPLEREGION (2) or COMPLEXREGION (3).
    int Complexity() const { return FRects.empty() ? 1 : FRects.size() == 1 ? 2 : 3; }
    TRect Bounds() const;
    const std::vector<TRect>& Rects() const { return FRects; }

    bool Contains(int x, int y) const;
    bool Contains(TPoint p) const { return Contains(p.X, p.Y); }
    // True when any pixel of r is in the region.
    bool Intersects(const TRect& r) const;
    // Number of pixels (for tests and statistics).
    int64_t Area() const;

    void Offset(int dx, int dy);
    // a op b; Copy gives a.
    static TRegion Combine(const TRegion& a, const TRegion& b, TRegionOp op);
    TRegion& operator&=(const TRegion& o) { return *this = Combine(*this, o, TRegionOp::And); }
    TRegion& operator|=(const TRegion& o) { return *this = Combine(*this, o, TRegionOp::Or); }
    TRegion& operator^=(const TRegion& o) { return *this = Combine(*this, o, TRegionOp::Xor); }
    TRegion& operator-=(const TRegion& o) { return *this = Combine(*this, o, TRegionOp::Diff); }
    TRegion& IntersectRect(const TRect& r);

    // Calls f(const TRect&) for each rectangle of the region clipped to `clip` (top-down, left-right).
    template <typename F>
    void ForEachRectIn(const TRect& clip, F&& f) const {
        if (clip.IsEmpty()) return;
        size_t i = FirstBandAtOrBelow(clip.Top);
        for (; i < FRects.size(); ++i) {
            const TRect& r = FRects[i];
            if (r.Top >= clip.Bottom) break;
            if (r.Right <= clip.Left || r.Left >= clip.Right) continue;
            TRect c{std::max(r.Left, clip.Left), std::max(r.Top, clip.Top), std::min(r.Right, clip.Right),
                    std::min(r.Bottom, clip.Bottom)};
            if (!c.IsEmpty()) f(c);
        }
    }

    friend bool operator==(const TRegion& a, const TRegion& b) { return a.FRects == b.FRects; }

private:
    friend class TRegionBuilder;
    size_t FirstBandAtOrBelow(int y) const; // index of the first rectangle with Bottom > y
    std::vector<TRect> FRects;
};

// Builds a canonical region band by band, top to bottom. Each AddBand call gives the spans of rows
// [top, bottom) as sorted, non-overlapping [x0, x1) pairs; bands must not overlap earlier ones.
class TRegionBuilder {
public:
    void AddBand(int top, int bottom, const std::vector<std::pair<int, int>>& spans);
    TRegion Take();

private:
    TRegion FRegion;
    size_t FLastBandStart = 0;
    bool FHasLast = false;
};

} // namespace qel
