// Batched plain copies: one device-context lookup, surface lock and clip computation for many transfers.
#include "platform/graphics/copy_batch.h"

#include <algorithm>

#include "platform/graphics/gdi_private.h"

namespace qel {

TCopyBatch::TCopyBatch(HDC dst, HDC src) : FDstDC(dst), FSrcDC(src) {
    auto d = gdi::GetDC(dst);
    auto s = gdi::GetDC(src);
    if (!d || !s) return;
    TDib* out = d->Surface();
    const TDib* in = s->Surface();
    // The direct path covers what BitBlt copies row by row: two different colour surfaces.
    if (!out || !in || out == in || out->IsMono() || in->IsMono()) return;
    FLock.emplace(out, in);
    FDst = out;
    FSrc = in;
    FDstOffX = d->OffX();
    FDstOffY = d->OffY();
    FSrcOffX = s->OffX();
    FSrcOffY = s->OffY();
    FClip = d->Clip();
    FBounds = FClip.Bounds();
    FClipIsRect = FClip.IsRect();
    FKeepDst = std::move(d);
    FKeepSrc = std::move(s);
    FDirect = true;
}

TCopyBatch::~TCopyBatch() = default;

bool TCopyBatch::SourceCovers(int64_t x, int64_t y, int64_t w, int64_t h) const {
    if (!FDirect) return false;
    const int64_t X = x + FSrcOffX, Y = y + FSrcOffY;
    return X >= 0 && Y >= 0 && X + w <= FSrc->Width() && Y + h <= FSrc->Height();
}

void TCopyBatch::Copy(int64_t x, int64_t y, int64_t w, int64_t h, int64_t sx, int64_t sy) {
    if (w <= 0 || h <= 0) return;
    if (FDirect) {
        CopyDirect(x, y, w, h, sx, sy);
        return;
    }
    BitBlt(FDstDC, int(x), int(y), int(w), int(h), FSrcDC, int(sx), int(sy), SRCCOPY);
}

void TCopyBatch::CopyDirect(int64_t x, int64_t y, int64_t w, int64_t h, int64_t sx, int64_t sy) {
    // Surface coordinates; the destination range is cut to the clip and to where the source exists.
    const int64_t X = x + FDstOffX, Y = y + FDstOffY;
    const int64_t shiftX = sx + FSrcOffX - X, shiftY = sy + FSrcOffY - Y; // source = destination + shift
    const int64_t x0 = std::max({X, int64_t(FBounds.Left), -shiftX});
    const int64_t x1 = std::min({X + w, int64_t(FBounds.Right), int64_t(FSrc->Width()) - shiftX});
    if (x1 <= x0) return;
    const int64_t y0 = std::max({Y, int64_t(FBounds.Top), -shiftY});
    const int64_t y1 = std::min({Y + h, int64_t(FBounds.Bottom), int64_t(FSrc->Height()) - shiftY});
    if (y1 <= y0) return;
    const TRect visible{int(x0), int(y0), int(x1), int(y1)};
    auto copyRect = [&](const TRect& c) {
        const int n = c.Width();
        for (int r = c.Top; r < c.Bottom; ++r)
            gdi::CopyPixelRow(FDst->Row(r) + c.Left, FSrc->Row(int(r + shiftY)) + (c.Left + shiftX), n);
    };
    if (FClipIsRect)
        copyRect(visible);
    else
        FClip.ForEachRectIn(visible, copyRect);
}

void TCopyBatch::CopyColumns(const TColumn* columns, int count, int64_t y, int64_t h, int64_t sy) {
    if (h <= 0 || count <= 0) return;
    if (!FDirect || !FClipIsRect) {
        for (int i = 0; i < count; ++i) Copy(columns[i].X, y, columns[i].W, h, columns[i].SX, sy);
        return;
    }
    // Every copy covers the same rows; each keeps its own columns. Writing row by row in the order of
    // the list leaves every pixel with the value of the last copy that covers it, as separate copies do.
    const int64_t Y = y + FDstOffY, shiftY = sy + FSrcOffY - Y;
    const int64_t y0 = std::max({Y, int64_t(FBounds.Top), -shiftY});
    const int64_t y1 = std::min({Y + h, int64_t(FBounds.Bottom), int64_t(FSrc->Height()) - shiftY});
    if (y1 <= y0) return;
    struct TSpan {
        int Dst, Src, N;
    };
    constexpr int kChunk = 256;
    TSpan spans[kChunk];
    for (int first = 0; first < count; first += kChunk) {
        int n = 0;
        for (int i = first; i < std::min(count, first + kChunk); ++i) {
            const TColumn& c = columns[i];
            if (c.W <= 0) continue;
            const int64_t X = c.X + FDstOffX, shiftX = c.SX + FSrcOffX - X;
            const int64_t x0 = std::max({X, int64_t(FBounds.Left), -shiftX});
            const int64_t x1 = std::min({X + c.W, int64_t(FBounds.Right), int64_t(FSrc->Width()) - shiftX});
            if (x1 > x0) spans[n++] = {int(x0), int(x0 + shiftX), int(x1 - x0)};
        }
        if (n == 0) continue;
        for (int64_t r = y0; r < y1; ++r) {
            uint32_t* d = FDst->Row(int(r));
            const uint32_t* s = FSrc->Row(int(r + shiftY));
            for (int i = 0; i < n; ++i) gdi::CopyPixelRow(d + spans[i].Dst, s + spans[i].Src, spans[i].N);
        }
    }
}

void TCopyBatch::CopyRowRuns(int64_t y, const int64_t* runs, int count, int64_t ox, int64_t oy) {
    if (count <= 0) return;
    if (!FDirect || !FClipIsRect) {
        for (int i = 0; i < count; ++i)
            Copy(runs[2 * i], y, runs[2 * i + 1] - runs[2 * i], 1, runs[2 * i] + ox, y + oy);
        return;
    }
    const int64_t Y = y + FDstOffY, SY = y + oy + FSrcOffY;
    if (Y < FBounds.Top || Y >= FBounds.Bottom || SY < 0 || SY >= FSrc->Height()) return;
    const int64_t shiftX = ox + FSrcOffX - FDstOffX; // source column = destination column + shiftX
    const int64_t lo = std::max(int64_t(FBounds.Left), -shiftX);
    const int64_t hi = std::min(int64_t(FBounds.Right), int64_t(FSrc->Width()) - shiftX);
    uint32_t* d = FDst->Row(int(Y));
    const uint32_t* s = FSrc->Row(int(SY));
    for (int i = 0; i < count; ++i) {
        const int64_t x0 = std::max(runs[2 * i] + FDstOffX, lo);
        const int64_t x1 = std::min(runs[2 * i + 1] + FDstOffX, hi);
        if (x1 > x0) gdi::CopyPixelRow(d + x0, s + (x0 + shiftX), int(x1 - x0));
    }
}

} // namespace qel
