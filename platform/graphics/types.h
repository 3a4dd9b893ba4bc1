#pragma once
// Basic geometry and the platform's plain integer type names used by the graphics API.
// Rectangles are half-open: Right and Bottom are exclusive.
#include <algorithm>
#include <cstdint>

namespace qel {

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = unsigned int;
using BOOL = int;
using COLORREF = uint32_t; // 0x00BBGGRR
using COLOR16 = uint16_t;

struct TPoint {
    int X = 0;
    int Y = 0;
    constexpr TPoint() = default;
    constexpr TPoint(int x, int y) : X(x), Y(y) {}
    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
    constexpr TPoint operator+(const TPoint& o) const { return {X + o.X, Y + o.Y}; }
    constexpr TPoint operator-(const TPoint& o) const { return {X - o.X, Y - o.Y}; }
};

struct TSize {
    int cx = 0;
    int cy = 0;
    constexpr TSize() = default;
    constexpr TSize(int w, int h) : cx(w), cy(h) {}
    friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    constexpr TRect() = default;
    constexpr TRect(int l, int t, int r, int b) : Left(l), Top(t), Right(r), Bottom(b) {}
    constexpr TRect(TPoint tl, TPoint br) : Left(tl.X), Top(tl.Y), Right(br.X), Bottom(br.Y) {}
    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr TPoint TopLeft() const { return {Left, Top}; }
    constexpr TPoint BottomRight() const { return {Right, Bottom}; }
    // Empty when it covers no pixel (also when right < left or bottom < top).
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    constexpr bool Contains(TPoint p) const {
        return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
    }
    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

using POINT = TPoint;
using SIZE = TSize;
using RECT = TRect;

inline constexpr TPoint Point(int x, int y) {
    return {x, y};
}
inline constexpr TRect Rect(int l, int t, int r, int b) {
    return {l, t, r, b};
}
inline constexpr TRect Bounds(int l, int t, int w, int h) {
    return {l, t, l + w, t + h};
}

// Intersection; an empty result is normalised to (0,0,0,0).
inline constexpr TRect IntersectRect(const TRect& a, const TRect& b) {
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
    return r.IsEmpty() ? TRect{} : r;
}
// Bounding union; empty operands are ignored.
inline constexpr TRect UnionRect(const TRect& a, const TRect& b) {
    if (a.IsEmpty()) return b.IsEmpty() ? TRect{} : b;
    if (b.IsEmpty()) return a;
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
}
inline constexpr TRect OffsetRect(const TRect& r, int dx, int dy) {
    return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}
inline constexpr TRect InflateRect(const TRect& r, int dx, int dy) {
    return {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}
inline constexpr bool IsRectEmpty(const TRect& r) {
    return r.IsEmpty();
}
inline constexpr bool PtInRect(const TRect& r, TPoint p) {
    return r.Contains(p);
}
inline constexpr bool EqualRect(const TRect& a, const TRect& b) {
    return a == b;
}

// The platform's in-place forms.
inline bool IntersectRect(TRect* dst, const TRect* a, const TRect* b) {
    if (!dst || !a || !b) return false;
    *dst = IntersectRect(*a, *b);
    return !dst->IsEmpty();
}
inline bool UnionRect(TRect* dst, const TRect* a, const TRect* b) {
    if (!dst || !a || !b) return false;
    *dst = UnionRect(*a, *b);
    return !dst->IsEmpty();
}
inline bool OffsetRect(TRect* r, int dx, int dy) {
    if (!r) return false;
    *r = OffsetRect(*r, dx, dy);
    return true;
}
inline bool InflateRect(TRect* r, int dx, int dy) {
    if (!r) return false;
    *r = InflateRect(*r, dx, dy);
    return true;
}
inline bool SetRect(TRect* r, int l, int t, int rr, int b) {
    if (!r) return false;
    *r = {l, t, rr, b};
    return true;
}
inline bool SetRectEmpty(TRect* r) {
    if (!r) return false;
    *r = {};
    return true;
}
inline bool CopyRect(TRect* dst, const TRect* src) {
    if (!dst || !src) return false;
    *dst = *src;
    return true;
}

} // namespace qel
