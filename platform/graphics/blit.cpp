// Block transfers: BitBlt, PatBlt, StretchBlt, MaskBlt, TransparentBlt, pixel access and DIB transfers.
#include "platform/core/exceptions.h"
#include "platform/graphics/gdi_private.h"
#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qel {
namespace gdi {

namespace {

constexpr int64_t kCoordLimit = int64_t(1) << 30;

int64_t ClampCoord(int64_t v) {
    return std::clamp(v, -kCoordLimit, kCoordLimit);
}

struct TBltParams {
    // Destination in surface coordinates; negative extents mirror (covering (X + W, X]).
    int64_t X = 0, Y = 0, W = 0, H = 0;
    const TDib* Src = nullptr; // null: pattern/destination only
    uint32_t SrcBk = 0xFFFFFF;
    int64_t SX = 0, SY = 0, SW = 0, SH = 0;
    BYTE Rop3 = 0xCC;
    bool HasKey = false;
    uint32_t Key = 0;
    const TDib* Mask = nullptr; // mono; pixel (MX + i, MY + j) for destination offset (i, j)
    int64_t MX = 0, MY = 0;
    BYTE BackRop3 = 0xAA;
    int StretchMode = COLORONCOLOR;
};

// Maps destination index i in [0, dn) to the source index in [0, sn) (nearest, pixel centres).
inline int64_t MapIndex(int64_t i, int64_t dn, int64_t sn) {
    return ((2 * i + 1) * sn) / (2 * dn);
}

struct TAxis {
    int64_t D0, DN; // destination start and signed extent
    int64_t S0, SN;
    bool Identity;
    // Source coordinate for destination coordinate v (which must lie inside the covered range).
    int64_t Source(int64_t v) const {
        const int64_t dn = DN < 0 ? -DN : DN, sn = SN < 0 ? -SN : SN;
        const int64_t i = DN > 0 ? v - D0 : D0 - v;
        const int64_t j = Identity ? i : MapIndex(i, dn, sn);
        return SN > 0 ? S0 + j : S0 - j;
    }
    // Range of source indexes [a, b) that fall onto destination coordinate v (for averaging modes).
    void SourceBlock(int64_t v, int64_t& a, int64_t& b) const {
        const int64_t dn = DN < 0 ? -DN : DN, sn = SN < 0 ? -SN : SN;
        const int64_t i = DN > 0 ? v - D0 : D0 - v;
        int64_t j0 = (i * sn) / dn, j1 = ((i + 1) * sn) / dn;
        if (j1 <= j0) j1 = j0 + 1;
        if (SN > 0) {
            a = S0 + j0;
            b = S0 + j1;
        } else {
            a = S0 - j1 + 1;
            b = S0 - j0 + 1;
        }
    }
    int64_t Lo() const { return DN > 0 ? D0 : D0 + DN + 1; }
    int64_t Hi() const { return DN > 0 ? D0 + DN : D0 + 1; } // exclusive
};

// Visible destination range [lo, hi) on one axis whose sources lie inside [0, limit).
bool VisibleRange(const TAxis& a, int64_t clipLo, int64_t clipHi, int64_t limit, int64_t& lo, int64_t& hi) {
    lo = std::max(a.Lo(), clipLo);
    hi = std::min(a.Hi(), clipHi);
    if (hi <= lo) return false;
    if (a.Identity && a.DN > 0 && a.SN > 0) {
        // Unscaled: source = destination + (S0 - D0).
        lo = std::max(lo, a.D0 - a.S0);
        hi = std::min(hi, a.D0 - a.S0 + limit);
        return hi > lo;
    }
    // The mapping is monotonic: trim both ends while their source is outside.
    auto inside = [&](int64_t v) {
        const int64_t s = a.Source(v);
        return s >= 0 && s < limit;
    };
    // Binary searches over a monotonic predicate split into "before", "inside", "after" segments.
    const bool increasing = (a.DN > 0) == (a.SN > 0);
    auto below = [&](int64_t v) { return a.Source(v) < 0; };
    auto above = [&](int64_t v) { return a.Source(v) >= limit; };
    // Find first v in [lo, hi) that is not in the leading outside segment.
    auto firstNot = [&](auto pred) {
        int64_t l = lo, h = hi;
        while (l < h) {
            const int64_t m = l + (h - l) / 2;
            if (pred(m))
                l = m + 1;
            else
                h = m;
        }
        return l;
    };
    if (increasing) {
        lo = firstNot(below);
        const int64_t l0 = lo;
        int64_t l = l0, h = hi;
        while (l < h) {
            const int64_t m = l + (h - l) / 2;
            if (!above(m))
                l = m + 1;
            else
                h = m;
        }
        hi = l;
    } else {
        lo = firstNot(above);
        int64_t l = lo, h = hi;
        while (l < h) {
            const int64_t m = l + (h - l) / 2;
            if (!below(m))
                l = m + 1;
            else
                h = m;
        }
        hi = l;
    }
    if (hi <= lo) return false;
    return inside(lo) && inside(hi - 1);
}

thread_local std::vector<uint32_t> tRowBuf, tRawBuf;
thread_local std::vector<uint8_t> tWriteMask, tWriteMask2;

template <typename T>
T* Grow(std::vector<T>& v, size_t n) {
    if (v.size() < n) v.resize(n);
    return v.data();
}

// A run of a scaled row: `Len` destination pixels from `Dst` on take consecutive source pixels from `Src`
// (Fill false) or repeat source pixel `Src` (Fill true).
struct TRun {
    int Dst, Src, Len;
    bool Fill;
};

// Splits a column map (destination index -> source column) into runs. Stops early and returns false
// once the runs would be too many to pay off: shorter than 16 pixels on average, a gather is faster.
bool BuildRuns(const uint32_t* map, int n, std::vector<TRun>& runs) {
    runs.clear();
    const size_t limit = size_t(n) / 16 + 1;
    int i = 0;
    while (i < n) {
        int j = i + 1;
        bool fill = false;
        if (j < n && map[j] == map[i]) {
            fill = true;
            while (j < n && map[j] == map[i]) ++j;
        } else {
            while (j < n && map[j] == map[j - 1] + 1) ++j;
        }
        runs.push_back({i, int(map[i]), j - i, fill});
        if (runs.size() > limit) return false;
        i = j;
    }
    return true;
}

inline void ApplyRuns(uint32_t* d, const uint32_t* srow, const std::vector<TRun>& runs) {
    for (const TRun& r : runs) {
        if (r.Fill)
            std::fill_n(d + r.Dst, r.Len, srow[r.Src]);
        else
            CopyPixelRow(d + r.Dst, srow + r.Src, r.Len);
    }
}

// d[i] = s[map[i]] for a row of a scaled copy (the rows never overlap).
inline void GatherPixels(uint32_t* __restrict d, const uint32_t* __restrict s, const uint32_t* __restrict map,
                         int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const uint32_t a = s[map[i]], b = s[map[i + 1]], c = s[map[i + 2]], e = s[map[i + 3]];
        d[i] = a;
        d[i + 1] = b;
        d[i + 2] = c;
        d[i + 3] = e;
    }
    for (; i < n; ++i) d[i] = s[map[i]];
}

#if defined(__SSE2__)
// GatherPixels writing past the caches, for large scaled copies whose rows are each written once: the
// destination is not read in before being overwritten. Callers finish with a store fence.
inline void GatherPixelsStreaming(uint32_t* __restrict d, const uint32_t* __restrict s,
                                  const uint32_t* __restrict map, int n) {
    int i = 0;
    for (; i < n && (reinterpret_cast<uintptr_t>(d + i) & 15) != 0; ++i) d[i] = s[map[i]];
    for (; i + 4 <= n; i += 4) {
        const __m128i v =
            _mm_setr_epi32(int(s[map[i]]), int(s[map[i + 1]]), int(s[map[i + 2]]), int(s[map[i + 3]]));
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i), v);
    }
    for (; i < n; ++i) d[i] = s[map[i]];
}
#endif

// Pixel value of a source pixel for colour-key comparisons.
inline uint32_t RawPixel(const TDib& s, int x, int y) {
    return s.IsMono() ? (s.MonoRow(y)[x] ? 0xFFFFFFu : 0u) : (s.Row(y)[x] & 0xFFFFFFu);
}

// Combined source value of a block (shrinking in the averaging/AND/OR modes), in destination words.
uint32_t BlockWord(const TBltSource& src, int mode, int64_t x0, int64_t x1, int64_t y0, int64_t y1,
                   bool dstMono, const TBltColors& colors) {
    const TDib& s = *src.Dib;
    x0 = std::max<int64_t>(x0, 0);
    y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, s.Width());
    y1 = std::min<int64_t>(y1, s.Height());
    uint32_t acc = mode == BLACKONWHITE ? 0xFFFFFFFFu : 0u;
    uint64_t sr = 0, sg = 0, sb = 0, count = 0;
    for (int64_t y = y0; y < y1; ++y)
        for (int64_t x = x0; x < x1; ++x) {
            uint32_t w;
            uint32_t xi = static_cast<uint32_t>(x);
            SourceWords(src, &xi, static_cast<int>(y), 0, 1, dstMono, colors, &w);
            if (mode == BLACKONWHITE)
                acc &= w;
            else if (mode == WHITEONBLACK)
                acc |= w;
            else {
                sr += (w >> 16) & 255;
                sg += (w >> 8) & 255;
                sb += w & 255;
                ++count;
                acc = w;
            }
        }
    if (mode == HALFTONE && count > 0 && !dstMono)
        acc = uint32_t(((sr + count / 2) / count) << 16 | ((sg + count / 2) / count) << 8 |
                       ((sb + count / 2) / count));
    else if (mode == HALFTONE && count > 0)
        acc = (sr + sg + sb) / count >= 3 * 128 ? 0xFFFFFFFFu : 0u;
    return acc;
}

// The one transfer routine behind every blit.
bool Blt(TDCObj& d, const TBltParams& bp) {
    TDib* dst = d.Surface();
    if (!dst) return false;
    if (bp.W == 0 || bp.H == 0) return true;
    const bool usesSrc = RopUsesSrc(bp.Rop3) || (bp.Mask && RopUsesSrc(bp.BackRop3));
    const bool usesPat = RopUsesPat(bp.Rop3) || (bp.Mask && RopUsesPat(bp.BackRop3));
    if (usesSrc && (!bp.Src || bp.SW == 0 || bp.SH == 0)) return false;

    TSurfaceLock lock(dst, usesSrc ? bp.Src : nullptr);
    TPattern pat;
    if (usesPat) {
        pat = RealizeBrush(d, nullptr);
        if (pat.Null) return true; // a null brush paints nothing
    }
    const TRegion& clip = d.Clip();
    if (clip.IsEmpty()) return true;

    TBltColors colors{ColorRefToPixel(d.S.TextColor), ColorRefToPixel(d.S.BkColor)};
    const bool dstMono = dst->IsMono();

    if (!usesSrc) {
        const TRect r{
            int(ClampCoord(std::min(bp.X, bp.X + bp.W))), int(ClampCoord(std::min(bp.Y, bp.Y + bp.H))),
            int(ClampCoord(std::max(bp.X, bp.X + bp.W))), int(ClampCoord(std::max(bp.Y, bp.Y + bp.H)))};
        if (!bp.Mask) {
            PatRectClipped(*dst, clip, r, pat, bp.Rop3);
            return true;
        }
    }

    TAxis ax{bp.X, bp.W, usesSrc ? bp.SX : 0, usesSrc ? bp.SW : bp.W, false};
    TAxis ay{bp.Y, bp.H, usesSrc ? bp.SY : 0, usesSrc ? bp.SH : bp.H, false};
    ax.Identity = ax.DN == ax.SN;
    ay.Identity = ay.DN == ay.SN;
    const int64_t srcW = usesSrc ? bp.Src->Width() : INT32_MAX, srcH = usesSrc ? bp.Src->Height() : INT32_MAX;
    const bool shrinkX = std::llabs(ax.SN) > std::llabs(ax.DN),
               shrinkY = std::llabs(ay.SN) > std::llabs(ay.DN);
    const bool combine = usesSrc && bp.StretchMode != COLORONCOLOR && (shrinkX || shrinkY) && !bp.HasKey;

    // Same-surface transfers read from a snapshot of the source area so overlapping copies are exact.
    std::unique_ptr<TDib> snapshot;
    TBltSource src{bp.Src, bp.SrcBk};
    int64_t srcShiftX = 0, srcShiftY = 0;
    if (usesSrc && bp.Src == dst) {
        const TRect all = dst->BoundsRect();
        const int64_t sx0 = std::min(ax.Source(ax.Lo()), ax.Source(ax.Hi() - 1));
        const int64_t sx1 = std::max(ax.Source(ax.Lo()), ax.Source(ax.Hi() - 1)) + 1;
        const int64_t sy0 = std::min(ay.Source(ay.Lo()), ay.Source(ay.Hi() - 1));
        const int64_t sy1 = std::max(ay.Source(ay.Lo()), ay.Source(ay.Hi() - 1)) + 1;
        TRect sr{int(std::max<int64_t>(sx0, 0)), int(std::max<int64_t>(sy0, 0)),
                 int(std::min<int64_t>(sx1, all.Right)), int(std::min<int64_t>(sy1, all.Bottom))};
        if (sr.IsEmpty()) return true;
        snapshot = std::make_unique<TDib>(sr.Width(), sr.Height(), dst->Format());
        const size_t bpp = dst->IsMono() ? 1 : 4;
        for (int y = 0; y < sr.Height(); ++y)
            std::memcpy(snapshot->MonoRow(y), dst->MonoRow(sr.Top + y) + size_t(sr.Left) * bpp,
                        size_t(sr.Width()) * bpp);
        src.Dib = snapshot.get();
        srcShiftX = sr.Left;
        srcShiftY = sr.Top;
    }
    const int64_t limitX = usesSrc ? srcW : INT32_MAX, limitY = usesSrc ? srcH : INT32_MAX;
    const int64_t maskW = bp.Mask ? bp.Mask->Width() : 0, maskH = bp.Mask ? bp.Mask->Height() : 0;

    const TRect bound = clip.Bounds();
    int64_t vx0, vx1, vy0, vy1;
    if (usesSrc) {
        if (!VisibleRange(ax, bound.Left, bound.Right, limitX, vx0, vx1)) return true;
        if (!VisibleRange(ay, bound.Top, bound.Bottom, limitY, vy0, vy1)) return true;
    } else {
        vx0 = std::max<int64_t>(ax.Lo(), bound.Left);
        vx1 = std::min<int64_t>(ax.Hi(), bound.Right);
        vy0 = std::max<int64_t>(ay.Lo(), bound.Top);
        vy1 = std::min<int64_t>(ay.Hi(), bound.Bottom);
        if (vx1 <= vx0 || vy1 <= vy0) return true;
    }
    const TRect visible{int(vx0), int(vy0), int(vx1), int(vy1)};

    const bool fastCopy =
        usesSrc && bp.Rop3 == 0xCC && !bp.Mask && !bp.HasKey && !combine && !dstMono && !src.Dib->IsMono();
    std::vector<uint32_t> xmap;
    std::vector<TRun> xruns;
    clip.ForEachRectIn(visible, [&](const TRect& c) {
        const int n = c.Width();
        const uint32_t* mapPtr = nullptr;
        int contiguousSx = 0;
        if (usesSrc) {
            if (ax.Identity && ax.DN > 0) {
                contiguousSx = int(ax.Source(c.Left) - srcShiftX);
            } else {
                xmap.resize(size_t(n));
                for (int i = 0; i < n; ++i) xmap[size_t(i)] = uint32_t(ax.Source(c.Left + i) - srcShiftX);
                mapPtr = xmap.data();
            }
        }
        if (fastCopy) {
            // Plain colour copy: rows go straight from the source (or the previous identical row) into place.
            const ptrdiff_t rowBytes = ptrdiff_t(n) * 4;
            if (!mapPtr && ay.Identity && ay.DN > 0 && dst->Stride() == rowBytes &&
                src.Dib->Stride() == rowBytes && contiguousSx == 0) {
                // Whole rows of equally laid out surfaces: one block copy (lets memcpy use streaming stores).
                std::memcpy(dst->Row(c.Top), src.Dib->Row(int(ay.Source(c.Top) - srcShiftY)),
                            size_t(rowBytes) * size_t(c.Height()));
                return;
            }
            // A scaled row is mostly made of runs: consecutive source pixels (a slight shrink or a plain
            // stretch) and repeated ones (an enlargement). Rows are then copied and filled run by run;
            // maps with many short runs (strong shrinks) keep the per-pixel gather.
            const bool useRuns = mapPtr && BuildRuns(mapPtr, n, xruns);
            // Large gathers whose rows all differ bypass the caches (no row is read back here).
            const bool streaming = mapPtr && !useRuns && std::llabs(ay.SN) >= std::llabs(ay.DN) &&
                                   int64_t(n) * c.Height() >= (int64_t(1) << 18);
            const uint32_t* prev = nullptr;
            int64_t lastRow = INT64_MIN;
            for (int y = c.Top; y < c.Bottom; ++y) {
                const int64_t sy = ay.Source(y);
                uint32_t* d = dst->Row(y) + c.Left;
                if (sy == lastRow && prev) {
                    CopyPixelRow(d, prev, n);
                } else {
                    const uint32_t* srow = src.Dib->Row(int(sy - srcShiftY));
                    if (!mapPtr)
                        CopyPixelRow(d, srow + contiguousSx, n);
                    else if (useRuns)
                        ApplyRuns(d, srow, xruns);
#if defined(__SSE2__)
                    else if (streaming)
                        GatherPixelsStreaming(d, srow, mapPtr, n);
#endif
                    else
                        GatherPixels(d, srow, mapPtr, n);
                }
                prev = d;
                lastRow = sy;
            }
#if defined(__SSE2__)
            if (streaming) _mm_sfence();
#endif
            return;
        }
        uint32_t* words = Grow(tRowBuf, size_t(n));
        uint32_t* raw = bp.HasKey ? Grow(tRawBuf, size_t(n)) : nullptr;
        uint8_t* wm = (bp.HasKey || bp.Mask) ? Grow(tWriteMask, size_t(n)) : nullptr;
        int64_t lastSy = INT64_MIN;
        for (int y = c.Top; y < c.Bottom; ++y) {
            const uint32_t* s = nullptr;
            if (usesSrc) {
                const int64_t sy = ay.Source(y);
                if (combine) {
                    int64_t b0, b1;
                    ay.SourceBlock(y, b0, b1);
                    for (int i = 0; i < n; ++i) {
                        int64_t a0, a1;
                        ax.SourceBlock(c.Left + i, a0, a1);
                        if (!shrinkX) a1 = (a0 = ax.Source(c.Left + i)) + 1;
                        int64_t r0 = b0, r1 = b1;
                        if (!shrinkY) r1 = (r0 = sy) + 1;
                        words[i] = BlockWord(src, bp.StretchMode, a0 - srcShiftX, a1 - srcShiftX,
                                             r0 - srcShiftY, r1 - srcShiftY, dstMono, colors);
                    }
                } else if (sy != lastSy) {
                    SourceWords(src, mapPtr, int(sy - srcShiftY), contiguousSx, n, dstMono, colors, words);
                    if (raw) {
                        for (int i = 0; i < n; ++i) {
                            const int sx = mapPtr ? int(mapPtr[i]) : contiguousSx + i;
                            raw[i] = RawPixel(*src.Dib, sx, int(sy - srcShiftY));
                        }
                    }
                    lastSy = sy;
                }
                s = words;
            }
            if (bp.HasKey)
                for (int i = 0; i < n; ++i) wm[i] = raw[i] != bp.Key ? 1 : 0;
            if (bp.Mask) {
                const int64_t my = bp.MY + (ay.DN > 0 ? y - ay.D0 : ay.D0 - y);
                for (int i = 0; i < n; ++i) {
                    const int64_t mx = bp.MX + (ax.DN > 0 ? c.Left + i - ax.D0 : ax.D0 - c.Left - i);
                    const bool bit =
                        mx >= 0 && my >= 0 && mx < maskW && my < maskH && bp.Mask->MonoRow(int(my))[mx] != 0;
                    wm[i] = bit ? 1 : 0;
                }
                uint8_t* back = Grow(tWriteMask2, size_t(n));
                for (int i = 0; i < n; ++i) back[i] = wm[i] ? 0 : 1;
                RopSpan(*dst, c.Left, y, n, s, &pat, bp.Rop3, wm);
                RopSpan(*dst, c.Left, y, n, s, &pat, bp.BackRop3, back);
                continue;
            }
            RopSpan(*dst, c.Left, y, n, s, usesPat ? &pat : nullptr, bp.Rop3, wm);
        }
    });
    return true;
}

bool FillParamsSource(TBltParams& bp, HDC src, int sx, int sy, int sw, int sh,
                      std::shared_ptr<TDCObj>& keep) {
    keep = GetDC(src);
    if (!keep) return false;
    bp.Src = keep->Surface();
    if (!bp.Src) return false;
    bp.SrcBk = ColorRefToPixel(keep->S.BkColor);
    bp.SX = int64_t(sx) + keep->OffX();
    bp.SY = int64_t(sy) + keep->OffY();
    bp.SW = sw;
    bp.SH = sh;
    return true;
}

} // namespace
} // namespace gdi

using namespace gdi;

bool BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
    auto d = GetDC(dst);
    if (!d) return false;
    if (w <= 0 || h <= 0) return true;
    TBltParams bp;
    bp.Rop3 = Rop3Index(rop);
    bp.X = int64_t(x) + d->OffX();
    bp.Y = int64_t(y) + d->OffY();
    bp.W = w;
    bp.H = h;
    std::shared_ptr<TDCObj> s;
    if (RopUsesSrc(bp.Rop3) && !FillParamsSource(bp, src, sx, sy, w, h, s)) return false;
    return Blt(*d, bp);
}

bool PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop) {
    auto d = GetDC(dc);
    if (!d) return false;
    const BYTE r = Rop3Index(rop);
    if (RopUsesSrc(r)) return false;
    if (w <= 0 || h <= 0) return true;
    TBltParams bp;
    bp.Rop3 = r;
    bp.X = int64_t(x) + d->OffX();
    bp.Y = int64_t(y) + d->OffY();
    bp.W = w;
    bp.H = h;
    return Blt(*d, bp);
}

bool StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop) {
    auto d = GetDC(dst);
    if (!d) return false;
    TBltParams bp;
    bp.Rop3 = Rop3Index(rop);
    if (w == 0 || h == 0) return true;
    if (!RopUsesSrc(bp.Rop3)) {
        const int64_t l = std::min<int64_t>(x, int64_t(x) + w), t = std::min<int64_t>(y, int64_t(y) + h);
        bp.X = l + d->OffX();
        bp.Y = t + d->OffY();
        bp.W = std::llabs(int64_t(w));
        bp.H = std::llabs(int64_t(h));
        return Blt(*d, bp);
    }
    if (sw == 0 || sh == 0) return true;
    bp.X = int64_t(x) + d->OffX();
    bp.Y = int64_t(y) + d->OffY();
    bp.W = w;
    bp.H = h;
    bp.StretchMode = d->S.StretchMode;
    std::shared_ptr<TDCObj> s;
    if (!FillParamsSource(bp, src, sx, sy, sw, sh, s)) return false;
    return Blt(*d, bp);
}

bool MaskBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, HBITMAP mask, int mx, int my,
             DWORD rop4) {
    auto d = GetDC(dst);
    if (!d) return false;
    const BYTE fore = Rop3Index(rop4), back = static_cast<BYTE>((rop4 >> 24) & 0xFF);
    if (!mask) return BitBlt(dst, x, y, w, h, src, sx, sy, rop4 & 0x00FFFFFF);
    TDibPtr m = GetBitmapDib(mask);
    if (!m || !m->IsMono()) return false;
    if (w <= 0 || h <= 0) return true;
    if (mx < 0 || my < 0 || int64_t(mx) + w > m->Width() || int64_t(my) + h > m->Height()) return false;
    TBltParams bp;
    bp.Rop3 = fore;
    bp.BackRop3 = back;
    bp.Mask = m.get();
    bp.MX = mx;
    bp.MY = my;
    bp.X = int64_t(x) + d->OffX();
    bp.Y = int64_t(y) + d->OffY();
    bp.W = w;
    bp.H = h;
    std::shared_ptr<TDCObj> s;
    if ((RopUsesSrc(fore) || RopUsesSrc(back)) && !FillParamsSource(bp, src, sx, sy, w, h, s)) return false;
    TSurfaceLock maskLock(m.get());
    return Blt(*d, bp);
}

bool TransparentBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                    UINT transparent) {
    auto d = GetDC(dst);
    if (!d) return false;
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return w == 0 || h == 0 || sw == 0 || sh == 0 ? true : false;
    TBltParams bp;
    bp.Rop3 = 0xCC;
    bp.X = int64_t(x) + d->OffX();
    bp.Y = int64_t(y) + d->OffY();
    bp.W = w;
    bp.H = h;
    bp.HasKey = true;
    bp.Key = ColorRefToPixel(transparent & 0xFFFFFF);
    std::shared_ptr<TDCObj> s;
    if (!FillParamsSource(bp, src, sx, sy, sw, sh, s)) return false;
    return Blt(*d, bp);
}

bool AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend) {
    auto d = GetDC(dst);
    if (!d || blend.BlendOp != AC_SRC_OVER) return false;
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
    auto s = GetDC(src);
    if (!s) return false;
    TDib* out = d->Surface();
    const TDib* in = s->Surface();
    if (!out || !in) return false;
    TAxis ax{int64_t(x) + d->OffX(), w, int64_t(sx) + s->OffX(), sw, w == sw};
    TAxis ay{int64_t(y) + d->OffY(), h, int64_t(sy) + s->OffY(), sh, h == sh};
    TSurfaceLock lock(out, in);
    const TRegion& clip = d->Clip();
    const TRect bound = clip.Bounds();
    int64_t x0, x1, y0, y1;
    if (!VisibleRange(ax, bound.Left, bound.Right, in->Width(), x0, x1) ||
        !VisibleRange(ay, bound.Top, bound.Bottom, in->Height(), y0, y1))
        return true;
    // Same-surface blending reads a snapshot.
    std::unique_ptr<TDib> copy;
    if (in == out) {
        copy = std::make_unique<TDib>(in->Width(), in->Height(), in->Format());
        const size_t bpp = in->IsMono() ? 1 : 4;
        for (int r = 0; r < in->Height(); ++r)
            std::memcpy(copy->MonoRow(r), in->MonoRow(r), size_t(in->Width()) * bpp);
        in = copy.get();
    }
    const unsigned ca = blend.SourceConstantAlpha;
    const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
    const TBltColors colors{ColorRefToPixel(d->S.TextColor), ColorRefToPixel(d->S.BkColor)};
    clip.ForEachRectIn({int(x0), int(y0), int(x1), int(y1)}, [&](const TRect& c) {
        for (int yy = c.Top; yy < c.Bottom; ++yy) {
            const int srow = int(ay.Source(yy));
            for (int xx = c.Left; xx < c.Right; ++xx) {
                const int scol = int(ax.Source(xx));
                uint32_t sp = in->IsMono() ? (in->MonoRow(srow)[scol] ? colors.BkPixel : colors.TextPixel)
                                           : in->Row(srow)[scol];
                const unsigned sa = perPixel && !in->IsMono() ? (sp >> 24) & 255 : 255;
                const unsigned a = sa * ca / 255; // effective source alpha
                auto ch = [&](int shift) {
                    const unsigned sc = (sp >> shift) & 255;
                    // Premultiplied source with per-pixel alpha; plain source otherwise.
                    const unsigned srcPart = perPixel ? (sc * ca + 127) / 255 : (sc * a + 127) / 255;
                    return srcPart;
                };
                if (out->IsMono()) {
                    if (a >= 128) out->MonoRow(yy)[xx] = MonoBitOfPixel(sp & 0xFFFFFF) ? 1 : 0;
                    continue;
                }
                uint32_t& dp = out->Row(yy)[xx];
                uint32_t res = 0;
                for (int shift : {16, 8, 0}) {
                    const unsigned dc = (dp >> shift) & 255;
                    const unsigned v = std::min(255u, ch(shift) + (dc * (255 - a) + 127) / 255);
                    res |= v << shift;
                }
                dp = res;
            }
        }
    });
    return true;
}

// ---- pixels -------------------------------------------------------------------------------------------

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
    auto d = GetDC(dc);
    if (!d) return CLR_INVALID;
    TDib* s = d->Surface();
    if (!s) return CLR_INVALID;
    const int64_t X = int64_t(x) + d->OffX(), Y = int64_t(y) + d->OffY();
    TSurfaceLock lock(s);
    if (X < INT32_MIN || X > INT32_MAX || Y < INT32_MIN || Y > INT32_MAX ||
        !d->Clip().Contains(int(X), int(Y)))
        return CLR_INVALID;
    s->SetPixel(int(X), int(Y), ColorRefToPixel(color & 0xFFFFFF));
    return PixelToColorRef(s->GetPixel(int(X), int(Y)));
}

bool SetPixelV(HDC dc, int x, int y, COLORREF color) {
    return SetPixel(dc, x, y, color) != CLR_INVALID;
}

COLORREF GetPixel(HDC dc, int x, int y) {
    auto d = GetDC(dc);
    if (!d) return CLR_INVALID;
    TDib* s = d->Surface();
    if (!s) return CLR_INVALID;
    const int64_t X = int64_t(x) + d->OffX(), Y = int64_t(y) + d->OffY();
    TSurfaceLock lock(s);
    if (X < INT32_MIN || X > INT32_MAX || Y < INT32_MIN || Y > INT32_MAX ||
        !d->Clip().Contains(int(X), int(Y)))
        return CLR_INVALID;
    return PixelToColorRef(s->GetPixel(int(X), int(Y)));
}

// ---- DIB transfers --------------------------------------------------------------------------------------

namespace {

// Standard palettes for <= 8 bpp output.
std::vector<RGBQUAD> DefaultPalette(int bits) {
    std::vector<RGBQUAD> pal;
    auto add = [&](int r, int g, int b) { pal.push_back({BYTE(b), BYTE(g), BYTE(r), 0}); };
    if (bits == 1) {
        add(0, 0, 0);
        add(255, 255, 255);
    } else if (bits == 4) {
        static const int vga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                       {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                       {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                       {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        for (auto& c : vga) add(c[0], c[1], c[2]);
    } else {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) add(r * 51, g * 51, b * 51);
        for (int i = 0; i < 40; ++i) add(i * 255 / 39, i * 255 / 39, i * 255 / 39);
    }
    return pal;
}

int NearestIndex(const std::vector<RGBQUAD>& pal, uint32_t px) {
    const int r = (px >> 16) & 255, g = (px >> 8) & 255, b = px & 255;
    int best = 0, bestD = INT32_MAX;
    for (size_t i = 0; i < pal.size(); ++i) {
        const int dr = r - pal[i].rgbRed, dg = g - pal[i].rgbGreen, db = b - pal[i].rgbBlue;
        const int dd = dr * dr + dg * dg + db * db;
        if (dd < bestD) {
            bestD = dd;
            best = int(i);
        }
    }
    return best;
}

bool ValidDibHeader(const BITMAPINFOHEADER& h) {
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return false;
    if (h.biCompression != BI_RGB) return false;
    switch (h.biBitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
    case 32: break;
    default: return false;
    }
    return h.biWidth <= (1 << 24) && std::abs(h.biHeight) <= (1 << 24);
}

int PaletteSize(const BITMAPINFOHEADER& h) {
    if (h.biBitCount > 8) return 0;
    const int full = 1 << h.biBitCount;
    return h.biClrUsed > 0 && h.biClrUsed < DWORD(full) ? int(h.biClrUsed) : full;
}

// Decodes scan lines [start, start + lines) of a packed DIB into a top-down 32-bit surface of the DIB's full
// size; returns the surface rows that were filled as [rowTop, rowBottom).
std::unique_ptr<TDib> DecodeDib(const BITMAPINFO& info, const void* bits, UINT start, UINT lines, int& rowTop,
                                int& rowBottom) {
    const auto& h = info.bmiHeader;
    const int w = h.biWidth, H = std::abs(h.biHeight);
    const bool bottomUp = h.biHeight > 0;
    auto dib = std::make_unique<TDib>(w, H);
    const int rowBytes = DibRowBytes(w, h.biBitCount);
    const auto* src = static_cast<const uint8_t*>(bits);
    const RGBQUAD* pal = info.bmiColors;
    const int palSize = PaletteSize(h);
    rowTop = H;
    rowBottom = 0;
    for (UINT k = 0; k < lines; ++k) {
        const int64_t scan = int64_t(start) + k;
        if (scan >= H) break;
        const int row = bottomUp ? int(H - 1 - scan) : int(scan);
        rowTop = std::min(rowTop, row);
        rowBottom = std::max(rowBottom, row + 1);
        const uint8_t* s = src + size_t(k) * size_t(rowBytes);
        uint32_t* out = dib->Row(row);
        for (int x = 0; x < w; ++x) {
            uint32_t px = 0;
            switch (h.biBitCount) {
            case 32:
                px = uint32_t(s[x * 4]) | uint32_t(s[x * 4 + 1]) << 8 | uint32_t(s[x * 4 + 2]) << 16;
                break;
            case 24:
                px = uint32_t(s[x * 3]) | uint32_t(s[x * 3 + 1]) << 8 | uint32_t(s[x * 3 + 2]) << 16;
                break;
            default: {
                const int bpp = h.biBitCount;
                const int bit = x * bpp;
                const int idx = (s[bit / 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1);
                if (idx < palSize)
                    px = uint32_t(pal[idx].rgbBlue) | uint32_t(pal[idx].rgbGreen) << 8 |
                         uint32_t(pal[idx].rgbRed) << 16;
            }
            }
            out[x] = px;
        }
    }
    return dib;
}

} // namespace

int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT) {
    TDibPtr dib = GetBitmapDib(bitmap);
    if (!dib || !info) return 0;
    auto& h = info->bmiHeader;
    if (!bits) {
        h.biWidth = dib->Width();
        h.biHeight = dib->Height();
        h.biPlanes = 1;
        if (h.biBitCount == 0) h.biBitCount = WORD(dib->BitsPerPixel());
        h.biCompression = BI_RGB;
        h.biSizeImage = DWORD(DibRowBytes(dib->Width(), h.biBitCount) * dib->Height());
        return 1;
    }
    if (h.biWidth != dib->Width() || std::abs(h.biHeight) != dib->Height()) {
        if (h.biWidth <= 0) return 0;
    }
    if (!ValidDibHeader(h)) return 0;
    const int w = std::min<int>(h.biWidth, dib->Width()), H = dib->Height();
    const bool bottomUp = h.biHeight > 0;
    const int rowBytes = DibRowBytes(h.biWidth, h.biBitCount);
    std::vector<RGBQUAD> pal;
    if (h.biBitCount <= 8) {
        pal = DefaultPalette(h.biBitCount);
        std::memcpy(info->bmiColors, pal.data(), pal.size() * sizeof(RGBQUAD));
        h.biClrUsed = 0;
    }
    auto* out = static_cast<uint8_t*>(bits);
    TSurfaceLock lock(dib.get());
    int copied = 0;
    for (UINT k = 0; k < lines; ++k) {
        const int64_t scan = int64_t(start) + k;
        if (scan >= H) break;
        const int row = bottomUp ? int(H - 1 - scan) : int(scan);
        uint8_t* o = out + size_t(k) * size_t(rowBytes);
        std::memset(o, 0, size_t(rowBytes));
        for (int x = 0; x < w; ++x) {
            const uint32_t px = dib->GetPixel(x, row);
            switch (h.biBitCount) {
            case 32:
                o[x * 4] = BYTE(px);
                o[x * 4 + 1] = BYTE(px >> 8);
                o[x * 4 + 2] = BYTE(px >> 16);
                break;
            case 24:
                o[x * 3] = BYTE(px);
                o[x * 3 + 1] = BYTE(px >> 8);
                o[x * 3 + 2] = BYTE(px >> 16);
                break;
            default: {
                const int bpp = h.biBitCount;
                const int idx = NearestIndex(pal, px);
                const int bit = x * bpp;
                o[bit / 8] |= BYTE(idx << (8 - bpp - bit % 8));
            }
            }
        }
        ++copied;
    }
    return copied;
}

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT) {
    TDibPtr dib = GetBitmapDib(bitmap);
    if (!dib || !info || !bits || !ValidDibHeader(info->bmiHeader)) return 0;
    int top, bottom;
    std::unique_ptr<TDib> src;
    try {
        src = DecodeDib(*info, bits, start, lines, top, bottom);
    } catch (const Exception&) {
        return 0;
    }
    TSurfaceLock lock(dib.get());
    int rows = 0;
    for (int y = top; y < bottom && y < dib->Height(); ++y, ++rows)
        for (int x = 0; x < std::min(src->Width(), dib->Width()); ++x) dib->SetPixel(x, y, src->Row(y)[x]);
    return rows;
}

int StretchDIBits(HDC dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT, DWORD rop) {
    auto d = GetDC(dc);
    if (!d || !info || !bits || !ValidDibHeader(info->bmiHeader)) return 0;
    const auto& hd = info->bmiHeader;
    int top, bottom;
    std::unique_ptr<TDib> src;
    try {
        src = DecodeDib(*info, bits, 0, UINT(std::abs(hd.biHeight)), top, bottom);
    } catch (const Exception&) {
        return 0;
    }
    // Bottom-up DIBs measure the source y from their bottom edge.
    const int H = std::abs(hd.biHeight);
    const int64_t srcTop = hd.biHeight > 0 ? int64_t(H) - sy - sh : sy;
    TBltParams bp;
    bp.Rop3 = Rop3Index(rop);
    bp.X = int64_t(x) + d->OffX();
    bp.Y = int64_t(y) + d->OffY();
    bp.W = w;
    bp.H = h;
    bp.Src = src.get();
    bp.SX = sx;
    bp.SY = srcTop;
    bp.SW = sw;
    bp.SH = sh;
    if (sh < 0) bp.SY = hd.biHeight > 0 ? int64_t(H) - sy - 1 : sy;
    bp.StretchMode = d->S.StretchMode;
    if (w == 0 || h == 0 || sw == 0 || sh == 0) return 0;
    return Blt(*d, bp) ? std::abs(h) : 0;
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT startScan, UINT lines,
                      const void* bits, const BITMAPINFO* info, UINT) {
    auto d = GetDC(dc);
    if (!d || !info || !bits || !ValidDibHeader(info->bmiHeader)) return 0;
    if (w == 0 || h == 0 || w > INT32_MAX || h > INT32_MAX) return 0;
    const auto& hd = info->bmiHeader;
    int top, bottom;
    std::unique_ptr<TDib> src;
    try {
        src = DecodeDib(*info, bits, startScan, lines, top, bottom);
    } catch (const Exception&) {
        return 0;
    }
    if (bottom <= top) return 0;
    const int H = std::abs(hd.biHeight);
    const int64_t srcTop = hd.biHeight > 0 ? int64_t(H) - sy - int64_t(h) : sy;
    // Only the decoded scan lines exist as source.
    auto part = std::make_unique<TDib>(src->Width(), bottom - top);
    for (int r = top; r < bottom; ++r) std::memcpy(part->Row(r - top), src->Row(r), size_t(src->Width()) * 4);
    TBltParams bp;
    bp.Rop3 = 0xCC;
    bp.X = int64_t(x) + d->OffX();
    bp.Y = int64_t(y) + d->OffY();
    bp.W = w;
    bp.H = h;
    bp.Src = part.get();
    bp.SX = sx;
    bp.SY = srcTop - top;
    bp.SW = w;
    bp.SH = h;
    Blt(*d, bp);
    return bottom - top;
}

} // namespace qel
