// Raster-operation kernels: one row loop per ternary operation, specialised at compile time so that every
// one of the 256 operations runs as a tight, vectorisable loop.
#include "platform/graphics/gdi_private.h"
#include <cstring>
#include <utility>

namespace qel::gdi {

namespace {

template <int R>
inline uint32_t Eval(uint32_t p, uint32_t s, uint32_t d) {
    if constexpr (R == 0x00)
        return 0;
    else if constexpr (R == 0xFF)
        return ~0u;
    else if constexpr (R == 0xCC)
        return s;
    else if constexpr (R == 0xF0)
        return p;
    else if constexpr (R == 0xAA)
        return d;
    else if constexpr (R == 0x55)
        return ~d;
    else if constexpr (R == 0x33)
        return ~s;
    else if constexpr (R == 0x0F)
        return ~p;
    else if constexpr (R == 0xEE)
        return s | d;
    else if constexpr (R == 0x88)
        return s & d;
    else if constexpr (R == 0x66)
        return s ^ d;
    else if constexpr (R == 0x44)
        return s & ~d;
    else if constexpr (R == 0x22)
        return ~s & d;
    else if constexpr (R == 0x11)
        return ~(s | d);
    else if constexpr (R == 0xBB)
        return ~s | d;
    else if constexpr (R == 0xDD)
        return s | ~d;
    else if constexpr (R == 0x99)
        return ~(s ^ d);
    else if constexpr (R == 0x77)
        return ~(s & d);
    else if constexpr (R == 0xC0)
        return p & s;
    else if constexpr (R == 0x5A)
        return p ^ d;
    else if constexpr (R == 0xA0)
        return p & d;
    else if constexpr (R == 0xFA)
        return p | d;
    else if constexpr (R == 0x0A)
        return ~p & d;
    else if constexpr (R == 0xA5)
        return ~(p ^ d);
    else if constexpr (R == 0x3C)
        return p ^ s;
    else if constexpr (R == 0xE2)
        return d ^ (s & (p ^ d));
    else if constexpr (R == 0xB8)
        return p ^ (s & (d ^ p));
    else if constexpr (R == 0xFB)
        return p | ~s | d;
    else if constexpr (R == 0x96)
        return p ^ s ^ d;
    else if constexpr (R == 0x69)
        return ~(p ^ s ^ d);
    else if constexpr (R == 0xCA)
        return d ^ (p & (s ^ d));
    else if constexpr (R == 0xAC)
        return s ^ (p & (d ^ s));
    else if constexpr (R == 0x6A)
        return d ^ (p & s);
    else if constexpr (R == 0x8A)
        return d & (~p | s);
    else {
        uint32_t r = 0;
        if constexpr (R & 0x01) r |= ~p & ~s & ~d;
        if constexpr (R & 0x02) r |= ~p & ~s & d;
        if constexpr (R & 0x04) r |= ~p & s & ~d;
        if constexpr (R & 0x08) r |= ~p & s & d;
        if constexpr (R & 0x10) r |= p & ~s & ~d;
        if constexpr (R & 0x20) r |= p & ~s & d;
        if constexpr (R & 0x40) r |= p & s & ~d;
        if constexpr (R & 0x80) r |= p & s & d;
        return r;
    }
}

template <int R>
void RowKernel(uint32_t* d, const uint32_t* s, const uint32_t* p, int n) {
    constexpr bool usesP = RopUsesPat(R), usesS = RopUsesSrc(R);
    for (int i = 0; i < n; ++i) {
        const uint32_t P = usesP ? p[i] : 0u;
        const uint32_t S = usesS ? s[i] : 0u;
        d[i] = Eval<R>(P, S, d[i]) & 0xFFFFFFu;
    }
}

template <size_t... I>
constexpr std::array<TRowFn, 256> MakeTable(std::index_sequence<I...>) {
    return {&RowKernel<static_cast<int>(I)>...};
}

constexpr std::array<TRowFn, 256> kKernels = MakeTable(std::make_index_sequence<256>{});

inline int Mod(int64_t a, int m) {
    int r = static_cast<int>(a % m);
    return r < 0 ? r + m : r;
}

thread_local std::vector<uint32_t> tPatBuf, tDstBuf, tTmpBuf;
thread_local std::vector<uint8_t> tMaskBuf;

uint32_t* Buffer(std::vector<uint32_t>& v, int n) {
    if (v.size() < size_t(n)) v.resize(size_t(n));
    return v.data();
}

// Mask bytes (1 = draw) of a pattern with a transparent background for row y, columns [x, x + n).
void PatternMaskRow(const TPattern& pat, int x, int y, int n, uint8_t* out) {
    const int ty = Mod(int64_t(y) - pat.OrgY, pat.H);
    const uint8_t* row = pat.Mask.data() + size_t(ty) * pat.W;
    int tx = Mod(int64_t(x) - pat.OrgX, pat.W);
    for (int i = 0; i < n; ++i) {
        out[i] = row[tx];
        if (++tx == pat.W) tx = 0;
    }
}

} // namespace

TRowFn RopRow(BYTE rop3) {
    return kKernels[rop3];
}

void PatternRow(const TPattern& pat, int x, int y, int n, uint32_t* out) {
    if (n <= 0) return;
    if (pat.Solid || pat.W <= 0 || pat.H <= 0) {
        std::fill_n(out, n, pat.Color);
        return;
    }
    const int ty = Mod(int64_t(y) - pat.OrgY, pat.H);
    const uint32_t* row = pat.Tile.data() + size_t(ty) * pat.W;
    const int tx = Mod(int64_t(x) - pat.OrgX, pat.W);
    // First a whole period starting at the phase, then doubling copies.
    const int first = std::min(n, pat.W);
    for (int i = 0; i < first; ++i) out[i] = row[(tx + i) % pat.W];
    int filled = first;
    while (filled < n) {
        const int chunk = std::min(filled, n - filled);
        // Copy keeps the phase because `filled` is a multiple of the tile width.
        std::memcpy(out + filled, out, size_t(chunk) * 4);
        filled += chunk;
    }
}

void RopSpan(TDib& dst, int x, int y, int n, const uint32_t* s, const TPattern* pat, BYTE rop3,
             const uint8_t* writeMask) {
    if (n <= 0) return;
    const bool usesP = RopUsesPat(rop3);
    const uint32_t* p = nullptr;
    if (usesP && pat) {
        uint32_t* pb = Buffer(tPatBuf, n);
        PatternRow(*pat, x, y, n, pb);
        p = pb;
        if (!pat->Mask.empty()) {
            if (tMaskBuf.size() < size_t(n)) tMaskBuf.resize(size_t(n));
            PatternMaskRow(*pat, x, y, n, tMaskBuf.data());
            if (writeMask)
                for (int i = 0; i < n; ++i) tMaskBuf[size_t(i)] &= writeMask[i] ? 1 : 0;
            writeMask = tMaskBuf.data();
        }
    } else if (usesP) {
        uint32_t* pb = Buffer(tPatBuf, n);
        std::fill_n(pb, n, 0u);
        p = pb;
    }
    if (!dst.IsMono()) {
        uint32_t* d = dst.Row(y) + x;
        if (!writeMask) {
            if (rop3 == 0xCC) {
                std::memmove(d, s, size_t(n) * 4);
                return;
            }
            kKernels[rop3](d, s, p, n);
            return;
        }
        uint32_t* t = Buffer(tDstBuf, n);
        std::memcpy(t, d, size_t(n) * 4);
        kKernels[rop3](t, s, p, n);
        for (int i = 0; i < n; ++i)
            if (writeMask[i]) d[i] = t[i];
        return;
    }
    uint8_t* d = dst.MonoRow(y) + x;
    uint32_t* t = Buffer(tDstBuf, n);
    for (int i = 0; i < n; ++i) t[i] = d[i] ? 0xFFFFFFFFu : 0u;
    kKernels[rop3](t, s, p, n);
    for (int i = 0; i < n; ++i)
        if (!writeMask || writeMask[i]) d[i] = static_cast<uint8_t>(t[i] & 1);
}

void PatRectRaw(TDib& dst, const TRect& r, const TPattern& pat, BYTE rop3) {
    const int n = r.Width();
    if (n <= 0 || r.Height() <= 0) return;
    const bool usesP = RopUsesPat(rop3), usesD = RopUsesDst(rop3);
    if (!dst.IsMono() && !usesD && (!usesP || (pat.Solid && pat.Mask.empty()))) {
        // Constant result: plain fill.
        uint32_t v = 0;
        kKernels[rop3](&v, nullptr, &pat.Color, 1);
        if (!usesP) {
            v = 0;
            kKernels[rop3](&v, nullptr, &v, 1);
        }
        for (int y = r.Top; y < r.Bottom; ++y) std::fill_n(dst.Row(y) + r.Left, n, v);
        return;
    }
    if (!dst.IsMono() && usesP && pat.Mask.empty() && !pat.Solid && pat.H > 0 &&
        size_t(pat.H) * n <= (1u << 20)) {
        // Tiled pattern: build each distinct pattern row once.
        std::vector<uint32_t> rows(size_t(pat.H) * n);
        for (int i = 0; i < pat.H; ++i) PatternRow(pat, r.Left, r.Top + i, n, rows.data() + size_t(i) * n);
        const TRowFn fn = kKernels[rop3];
        for (int y = r.Top, i = 0; y < r.Bottom; ++y, i = (i + 1 == pat.H ? 0 : i + 1))
            fn(dst.Row(y) + r.Left, nullptr, rows.data() + size_t(i) * n, n);
        return;
    }
    if (!dst.IsMono() && usesP && pat.Solid && pat.Mask.empty()) {
        uint32_t* pb = Buffer(tTmpBuf, n);
        std::fill_n(pb, n, pat.Color);
        const TRowFn fn = kKernels[rop3];
        for (int y = r.Top; y < r.Bottom; ++y) fn(dst.Row(y) + r.Left, nullptr, pb, n);
        return;
    }
    for (int y = r.Top; y < r.Bottom; ++y) RopSpan(dst, r.Left, y, n, nullptr, &pat, rop3);
}

void PatRectClipped(TDib& dst, const TRegion& clip, const TRect& rect, const TPattern& pat, BYTE rop3) {
    clip.ForEachRectIn(rect, [&](const TRect& c) { PatRectRaw(dst, c, pat, rop3); });
}

void PatRegion(TDib& dst, const TRegion& clip, const TRegion& shape, const TPattern& pat, BYTE rop3) {
    if (shape.IsEmpty() || clip.IsEmpty()) return;
    TRegion r = TRegion::Combine(shape, clip, TRegionOp::And);
    for (const TRect& c : r.Rects()) PatRectRaw(dst, c, pat, rop3);
}

void PatPixels(TDib& dst, const TRegion& clip, const std::vector<TPoint>& pts, const TPattern& pat,
               BYTE rop3) {
    for (const TPoint& pt : pts) {
        if (!clip.Contains(pt)) continue;
        RopSpan(dst, pt.X, pt.Y, 1, nullptr, &pat, rop3);
    }
}

void SourceWords(const TBltSource& src, const uint32_t* srcMapX, int srcY, int sx, int n, bool dstMono,
                 const TBltColors& colors, uint32_t* out) {
    const TDib& s = *src.Dib;
    if (!s.IsMono()) {
        const uint32_t* row = s.Row(srcY);
        if (!dstMono) {
            if (srcMapX)
                for (int i = 0; i < n; ++i) out[i] = row[srcMapX[i]];
            else
                std::memcpy(out, row + sx, size_t(n) * 4);
            return;
        }
        const uint32_t bk = src.BkPixel & 0xFFFFFF;
        for (int i = 0; i < n; ++i) {
            const uint32_t px = row[srcMapX ? srcMapX[i] : uint32_t(sx + i)] & 0xFFFFFF;
            out[i] = px == bk ? 0xFFFFFFFFu : 0u;
        }
        return;
    }
    const uint8_t* row = s.MonoRow(srcY);
    const uint32_t one = dstMono ? 0xFFFFFFFFu : colors.BkPixel, zero = dstMono ? 0u : colors.TextPixel;
    for (int i = 0; i < n; ++i) out[i] = row[srcMapX ? srcMapX[i] : uint32_t(sx + i)] ? one : zero;
}

} // namespace qel::gdi
