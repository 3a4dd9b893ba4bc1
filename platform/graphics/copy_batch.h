#pragma once
// Many plain copies between the same two device contexts with one set-up.
//
// Every BitBlt resolves both device contexts, locks both surfaces and works out the destination clip
// before it moves a single pixel; for code that issues thousands of small copies per frame (transition
// effects reveal a picture in 8 x 8 cells) that set-up costs more than the copying. A batch does it once:
//
//   TCopyBatch batch(destDC, sourceDC);      // both surfaces stay locked while the batch lives
//   for (...) batch.Copy(x, y, w, h, sx, sy);  // each exactly BitBlt(..., SRCCOPY)
//
// While a batch lives, the caller must not change the clip, origins or selected bitmap of either device
// context (other drawing on them from the same thread is fine). Transfers the direct path does not cover
// (the same surface on both sides, monochrome surfaces, unusable device contexts) are passed to BitBlt
// one by one, so the result is always that of the equivalent BitBlt calls.
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/graphics/dib.h"
#include "platform/graphics/gdi.h"
#include "platform/graphics/region.h"

namespace qel {

class TCopyBatch {
public:
    TCopyBatch(HDC dst, HDC src);
    ~TCopyBatch();
    TCopyBatch(const TCopyBatch&) = delete;
    TCopyBatch& operator=(const TCopyBatch&) = delete;

    // Whether the copies go straight between the surfaces (false: each one is a BitBlt).
    bool Direct() const { return FDirect; }

    // Whether the source surface holds every pixel of the source rectangle (x, y, w, h), in logical
    // coordinates of the source device context (false when the batch is not direct).
    bool SourceCovers(int64_t x, int64_t y, int64_t w, int64_t h) const;

    // BitBlt(dst, x, y, w, h, src, sx, sy, SRCCOPY) in logical coordinates of the two device contexts.
    void Copy(int64_t x, int64_t y, int64_t w, int64_t h, int64_t sx, int64_t sy);

    // One column of CopyColumns: destination column X, width W, source column SX (logical coordinates).
    struct TColumn {
        int64_t X, W, SX;
    };
    // The copies Copy(c.X, y, c.W, h, c.SX, sy) for every column c in the order given, with the same
    // result, but the destination is written row by row: many narrow columns of a tall area stay in the
    // cache instead of being walked one after the other.
    void CopyColumns(const TColumn* columns, int count, int64_t y, int64_t h, int64_t sy);

    // The copies Copy(runs[2i], y, runs[2i+1] - runs[2i], 1, runs[2i] + ox, y + oy) for the `count` runs
    // of destination row y ([start, end) pairs).
    void CopyRowRuns(int64_t y, const int64_t* runs, int count, int64_t ox, int64_t oy);

private:
    void CopyDirect(int64_t x, int64_t y, int64_t w, int64_t h, int64_t sx, int64_t sy);

    HDC FDstDC, FSrcDC;
    bool FDirect = false;
    std::shared_ptr<void> FKeepDst, FKeepSrc; // the device contexts' records, alive while the batch is
    TDib* FDst = nullptr;
    const TDib* FSrc = nullptr;
    int64_t FDstOffX = 0, FDstOffY = 0, FSrcOffX = 0, FSrcOffY = 0; // logical -> surface
    TRegion FClip;                                                  // destination clip (surface)
    TRect FBounds;                                                  // its bounds
    bool FClipIsRect = false;
    std::optional<TSurfaceLock> FLock;
};

} // namespace qel
