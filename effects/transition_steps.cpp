#include "effects/transition_steps.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "effects/effect_tables.h"
#include "platform/graphics/dib.h"
#include "platform/graphics/region.h"

namespace qel {

namespace {

// Coordinates handed to the graphics layer stay well inside its integer range; effects only reach such
// values with absurd effect sizes, where the picture outside the rectangle is not drawn anyway.
constexpr int64_t kCoordLimit = int64_t(1) << 28;

int Coord(int64_t v) {
    return static_cast<int>(std::clamp(v, -kCoordLimit, kCoordLimit));
}

// Cuts a polygon down to the rectangle (0, 0, w, h) plus a margin. Polygons of very large effect sizes
// reach far beyond the rectangle, and a region built from them would be needlessly large; what lies
// outside the rectangle is never drawn. Polygons within the margin are returned unchanged.
std::vector<TPoint> ClipPolygon(const TPoint* points, int count, int w, int h) {
    constexpr int margin = 2;
    std::vector<TPoint> in(points, points + count);
    bool within = true;
    for (const TPoint& p : in)
        within = within && p.X >= -margin && p.X <= w + margin && p.Y >= -margin && p.Y <= h + margin;
    if (within) return in;
    struct TEdge {
        bool Vertical;
        double At;
        bool KeepAbove; // keep the side with larger coordinates
    };
    const TEdge edges[4] = {{true, -margin, true},
                            {true, double(w + margin), false},
                            {false, -margin, true},
                            {false, double(h + margin), false}};
    std::vector<std::pair<double, double>> poly;
    for (const TPoint& p : in) poly.emplace_back(p.X, p.Y);
    for (const TEdge& e : edges) {
        std::vector<std::pair<double, double>> out;
        auto coord = [&](const std::pair<double, double>& p) { return e.Vertical ? p.first : p.second; };
        auto inside = [&](const std::pair<double, double>& p) {
            return e.KeepAbove ? coord(p) >= e.At : coord(p) <= e.At;
        };
        for (size_t i = 0; i < poly.size(); ++i) {
            const auto& a = poly[i];
            const auto& b = poly[(i + 1) % poly.size()];
            const bool ia = inside(a), ib = inside(b);
            if (ia) out.push_back(a);
            if (ia != ib) {
                const double t = (e.At - coord(a)) / (coord(b) - coord(a));
                out.emplace_back(a.first + t * (b.first - a.first), a.second + t * (b.second - a.second));
            }
        }
        poly.swap(out);
        if (poly.empty()) break;
    }
    std::vector<TPoint> result;
    for (const auto& p : poly)
        result.emplace_back(static_cast<int>(std::lround(p.first)), static_cast<int>(std::lround(p.second)));
    return result;
}

// The longest interval: twice the largest effect speed.
constexpr int64_t kMaxInterval = 2 * 65535;

} // namespace

TqelTransitionSteps::TqelTransitionSteps(int effect, int width, int height, int size, int speed)
    : FEffect(effect), FW(std::max(width, 1)), FH(std::max(height, 1)), FS(std::max(size, 1)),
      FT(std::clamp(speed, 0, 65535)) {
    FHW = FW / 2;
    FHH = FH / 2;
    FMin = std::min(FW, FH);
}

TqelTransitionSteps::~TqelTransitionSteps() {
    FreeBuffer(FOldDC, FOldBitmap, FOldPrevious);
    FreeBuffer(FWorkDC, FWorkBitmap, FWorkPrevious);
    for (HBRUSH& b : FPatterns)
        if (b) {
            DeleteObject(b);
            b = nullptr;
        }
    if (FSavedClip) DeleteObject(FSavedClip);
}

void TqelTransitionSteps::SetInterval(int64_t ms) {
    FInterval = static_cast<int>(std::clamp<int64_t>(ms, 0, kMaxInterval));
}

HDC TqelTransitionSteps::CreateBuffer(int w, int h, HBITMAP& bitmap, HGDIOBJ& previous) {
    HDC dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(nullptr, w, h);
    previous = SelectObject(dc, bitmap);
    SetStretchBltMode(dc, COLORONCOLOR);
    return dc;
}

void TqelTransitionSteps::FreeBuffer(HDC& dc, HBITMAP& bitmap, HGDIOBJ& previous) {
    if (dc) {
        if (previous) SelectObject(dc, previous);
        DeleteDC(dc);
        dc = nullptr;
    }
    if (bitmap) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    previous = nullptr;
}

void TqelTransitionSteps::TakeOldPicture() {
    if (FDry) return;
    FreeBuffer(FOldDC, FOldBitmap, FOldPrevious);
    FOldDC = CreateBuffer(FW, FH, FOldBitmap, FOldPrevious);
    if (FDest) BitBlt(FOldDC, 0, 0, FW, FH, FDest, FDX, FDY, SRCCOPY);
}

void TqelTransitionSteps::CreateWorkBuffer(bool fromScreen) {
    if (FDry) return;
    FreeBuffer(FWorkDC, FWorkBitmap, FWorkPrevious);
    FWorkDC = CreateBuffer(FW, FH, FWorkBitmap, FWorkPrevious);
    if (fromScreen && FDest) BitBlt(FWorkDC, 0, 0, FW, FH, FDest, FDX, FDY, SRCCOPY);
}

void TqelTransitionSteps::Prepare(HDC dest, int dx, int dy) {
    if (FPrepared) return;
    FDest = dest;
    FDX = dx;
    FDY = dy;
    FSavedClip = CreateRectRgn(0, 0, 0, 0);
    PrepareFamily();
    FDest = nullptr;
    FPrepared = true;
}

bool TqelTransitionSteps::HasMoreSteps() const {
    return FPrepared && MoreFamilySteps();
}

void TqelTransitionSteps::DrawStep(HDC dest, HDC source) {
    if (!HasMoreSteps()) return;
    FDest = dest;
    FSource = source;
    // The families that copy many parts of the new picture set up the copies once for the step; the
    // families that compose a whole frame in the work buffer draw it straight onto the destination. The
    // batch keeps the destination locked for the whole step, so nobody sees half a step.
    const bool composes = ComposesFrames() && FWorkDC;
    if (FDirectPixels && dest && source && (ManyCopies() || composes)) FReveal.emplace(dest, source);
    // Composing assumes what the buffer assumes: every pixel of a part drawn from the new picture exists.
    FComposing = composes && RevealsDirect() && FReveal->SourceCovers(0, 0, FW, FH);
    FWorkOps.clear();
    DrawFamilyStep();
    FComposing = false;
    FReveal.reset();
    FDest = FSource = nullptr;
    ++FStepsDrawn;
}

void TqelTransitionSteps::DrawFinalFrame(HDC dest, HDC source) {
    BitBlt(dest, FDX, FDY, FW, FH, source, 0, 0, SRCCOPY);
}

int TqelTransitionSteps::CountSteps(int effect, int width, int height, int size, int speed) {
    // Drawing into nothing: every primitive fails on the null device contexts, the state still advances.
    TqelTransitionSteps steps(effect, width, height, size, speed);
    steps.FDry = true;
    steps.Prepare(nullptr, 0, 0);
    int count = 0;
    while (steps.HasMoreSteps()) {
        steps.DrawStep(nullptr, nullptr);
        ++count;
    }
    return count;
}

// ---- primitives -----------------------------------------------------------------------------------------

HDC TqelTransitionSteps::SourceDC(TSource s) const {
    switch (s) {
    case srcNew: return FSource;
    case srcOld: return FOldDC;
    case srcWork: return FWorkDC;
    }
    return nullptr;
}

HDC TqelTransitionSteps::TargetDC(TTarget t) const {
    return t == tgtDest ? FDest : FWorkDC;
}

bool TqelTransitionSteps::ClipCopy(int64_t& dx, int64_t& dy, int64_t& w, int64_t& h, int64_t& sx,
                                   int64_t& sy) const {
    if (w <= 0 || h <= 0) return false;
    // Clip the destination to the rectangle and the source to the picture (both W x H).
    const int64_t ox = sx - dx, oy = sy - dy;
    const int64_t x0 = std::max({dx, int64_t(0), -ox});
    const int64_t y0 = std::max({dy, int64_t(0), -oy});
    const int64_t x1 = std::min({dx + w, int64_t(FW), int64_t(FW) - ox});
    const int64_t y1 = std::min({dy + h, int64_t(FH), int64_t(FH) - oy});
    if (x1 <= x0 || y1 <= y0) return false;
    dx = x0;
    dy = y0;
    w = x1 - x0;
    h = y1 - y0;
    sx = x0 + ox;
    sy = y0 + oy;
    return true;
}

void TqelTransitionSteps::Blt(TTarget target, int64_t dx, int64_t dy, int64_t w, int64_t h, TSource src,
                              int64_t sx, int64_t sy) {
    if (!ClipCopy(dx, dy, w, h, sx, sy)) return;
    if (FComposing && target == tgtWork) {
        RecordCopy(dx, dy, w, h, src, sx, sy);
        return;
    }
    if (FReveal && target == tgtDest && src == srcNew) {
        FReveal->Copy(dx + FDX, dy + FDY, w, h, sx, sy);
        return;
    }
    HDC to = TargetDC(target);
    HDC from = SourceDC(src);
    if (!to || !from) return;
    const int offX = target == tgtDest ? FDX : 0, offY = target == tgtDest ? FDY : 0;
    BitBlt(to, int(dx) + offX, int(dy) + offY, int(w), int(h), from, int(sx), int(sy), SRCCOPY);
}

void TqelTransitionSteps::NewColumns(const std::vector<int64_t>& xs, int64_t dy, int64_t w, int64_t h,
                                     int64_t sx, int64_t sy, bool reveal) {
    if (!RevealsDirect()) {
        for (int64_t x : xs) ShiftedNew(x, dy, reveal ? x : sx, sy, w, h);
        return;
    }
    // All columns share their rows: after clipping, each keeps its own columns and the rows are common.
    FColumns.clear();
    int64_t rowY = 0, rowH = 0, rowSY = 0;
    for (int64_t x : xs) {
        int64_t cx = x, cy = dy, cw = w, ch = h, csx = reveal ? x : sx, csy = sy;
        if (!ClipCopy(cx, cy, cw, ch, csx, csy)) continue;
        rowY = cy, rowH = ch, rowSY = csy;
        FColumns.push_back({cx + FDX, cw, csx});
    }
    if (!FColumns.empty())
        FReveal->CopyColumns(FColumns.data(), static_cast<int>(FColumns.size()), rowY + FDY, rowH, rowSY);
}

void TqelTransitionSteps::Stretch(TTarget target, int64_t x, int64_t y, int64_t w, int64_t h, TSource src,
                                  int sx, int sy, int sw, int sh) {
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
    if (x >= FW || y >= FH || x + w <= 0 || y + h <= 0) return; // nothing of it is visible
    if (FComposing && target == tgtWork) {
        RecordStretch(x, y, w, h, src, sx, sy, sw, sh);
        return;
    }
    HDC to = TargetDC(target);
    HDC from = SourceDC(src);
    if (!to || !from) return;
    if (target == tgtWork) {
        StretchBlt(to, Coord(x), Coord(y), Coord(w), Coord(h), from, sx, sy, sw, sh, SRCCOPY);
        return;
    }
    // On the destination the stretch may reach beyond the rectangle: clip to it for this transfer.
    const bool inside = x >= 0 && y >= 0 && x + w <= FW && y + h <= FH;
    int hadClip = 0;
    if (!inside) {
        hadClip = GetClipRgn(to, FSavedClip);
        IntersectClipRect(to, FDX, FDY, FDX + FW, FDY + FH);
    }
    int oldMode = SetStretchBltMode(to, COLORONCOLOR);
    StretchBlt(to, Coord(x + FDX), Coord(y + FDY), Coord(w), Coord(h), from, sx, sy, sw, sh, SRCCOPY);
    if (oldMode > 0) SetStretchBltMode(to, oldMode);
    if (!inside) SelectClipRgn(to, hadClip == 1 ? FSavedClip : nullptr);
}

void TqelTransitionSteps::FillWork(TSource src) {
    Blt(tgtWork, 0, 0, FW, FH, src, 0, 0);
}

void TqelTransitionSteps::Present() {
    if (FComposing) {
        PresentComposed();
        return;
    }
    if (!FDest || !FWorkDC) return;
    BitBlt(FDest, FDX, FDY, FW, FH, FWorkDC, 0, 0, SRCCOPY);
}

// ---- composing straight onto the destination ----------------------------------------------------------

void TqelTransitionSteps::RecordCopy(int64_t dx, int64_t dy, int64_t w, int64_t h, TSource src, int64_t sx,
                                     int64_t sy) {
    FWorkOps.push_back({false, src, dx, dy, w, h, sx, sy, 0, 0, 0, 0, dx, dy, dx + w, dy + h});
}

void TqelTransitionSteps::RecordStretch(int64_t x, int64_t y, int64_t w, int64_t h, TSource src, int sx,
                                        int sy, int sw, int sh) {
    // On the work buffer the stretch reaches every pixel of its rectangle within the buffer.
    FWorkOps.push_back({true, src, x, y, w, h, 0, 0, sx, sy, sw, sh, std::max<int64_t>(x, 0),
                        std::max<int64_t>(y, 0), std::min<int64_t>(x + w, FW), std::min<int64_t>(y + h, FH)});
}

void TqelTransitionSteps::ReplayOps(const std::vector<TWorkOp>& ops) {
    for (const TWorkOp& op : ops) {
        if (op.Stretch)
            Stretch(tgtWork, op.X, op.Y, op.W, op.H, op.Src, op.SSX, op.SSY, op.SSW, op.SSH);
        else
            Blt(tgtWork, op.X, op.Y, op.W, op.H, op.Src, op.SX, op.SY);
    }
}

void TqelTransitionSteps::PresentComposed() {
    // Operations far outside the usual coordinate range are drawn the usual way, through the buffer, so
    // that both ways never differ in how coordinates are limited.
    constexpr int64_t kSafe = int64_t(1) << 26;
    bool safe = true;
    for (const TWorkOp& op : FWorkOps)
        safe = safe && std::abs(op.X) < kSafe && std::abs(op.Y) < kSafe && op.W < kSafe && op.H < kSafe;
    // The parts of the frame each operation shows: where no later operation draws.
    const TRegion all(TRect{0, 0, FW, FH});
    TRegion covered;
    std::vector<std::pair<size_t, TRegion>> parts;
    for (size_t i = FWorkOps.size(); safe && i-- > 0;) {
        const TWorkOp& op = FWorkOps[i];
        const TRegion area(TRect{int(op.VL), int(op.VT), int(op.VR), int(op.VB)});
        if (area.IsEmpty()) continue;
        TRegion part = TRegion::Combine(area, covered, TRegionOp::Diff);
        if (!part.IsEmpty()) parts.emplace_back(i, std::move(part));
        covered |= area;
        if (covered == all) break;
    }
    if (!safe || !(covered == all)) {
        // Where the step leaves pixels of the buffer as they were, the buffer itself is needed: bring it
        // up to date (the last frame composed directly covered all of it) and draw the usual way.
        FComposing = false;
        if (FWorkStale) ReplayOps(FLastOps);
        ReplayOps(FWorkOps);
        Present();
        FWorkStale = false;
        FLastOps.clear();
        FWorkOps.clear();
        FComposing = true;
        return;
    }
    for (const auto& [i, part] : parts)
        for (const TRect& r : part.Rects()) DrawOpPart(FWorkOps[i], r);
    FLastOps.swap(FWorkOps);
    FWorkOps.clear();
    FWorkStale = true;
}

void TqelTransitionSteps::DrawOpPart(const TWorkOp& op, const TRect& part) {
    HDC from = SourceDC(op.Src);
    if (!FDest || !from) return;
    if (!op.Stretch) {
        const int64_t sx = part.Left + (op.SX - op.X), sy = part.Top + (op.SY - op.Y);
        if (op.Src == srcNew && FReveal)
            FReveal->Copy(part.Left + FDX, part.Top + FDY, part.Width(), part.Height(), sx, sy);
        else
            BitBlt(FDest, part.Left + FDX, part.Top + FDY, part.Width(), part.Height(), from, int(sx),
                   int(sy), SRCCOPY);
        return;
    }
    // The stretch of the whole rectangle, limited to this part: the same source pixel for each pixel.
    if (part.Left == op.VL && part.Top == op.VT && part.Right == op.VR && part.Bottom == op.VB) {
        Stretch(tgtDest, op.X, op.Y, op.W, op.H, op.Src, op.SSX, op.SSY, op.SSW, op.SSH);
        return;
    }
    const int hadClip = GetClipRgn(FDest, FSavedClip);
    IntersectClipRect(FDest, FDX + part.Left, FDY + part.Top, FDX + part.Right, FDY + part.Bottom);
    const int oldMode = SetStretchBltMode(FDest, COLORONCOLOR);
    StretchBlt(FDest, Coord(op.X + FDX), Coord(op.Y + FDY), Coord(op.W), Coord(op.H), from, op.SSX, op.SSY,
               op.SSW, op.SSH, SRCCOPY);
    if (oldMode > 0) SetStretchBltMode(FDest, oldMode);
    SelectClipRgn(FDest, hadClip == 1 ? FSavedClip : nullptr);
}

void TqelTransitionSteps::ClippedReveal(const TPoint* points, int count) {
    if (!FDest || !FSource) return;
    const std::vector<TPoint> polygon = ClipPolygon(points, count, FW, FH);
    if (polygon.size() < 3) return;
    HRGN shape = CreatePolygonRgn(polygon.data(), static_cast<int>(polygon.size()), WINDING);
    if (!shape) return;
    // Regions are in device coordinates: logical (DX, DY) maps through the window and viewport origins.
    TPoint origin{FDX, FDY};
    LPtoDP(FDest, &origin, 1);
    OffsetRgn(shape, origin.X, origin.Y);
    HRGN bounds = CreateRectRgn(origin.X, origin.Y, origin.X + FW, origin.Y + FH);
    CombineRgn(shape, shape, bounds, RGN_AND);
    int hadClip = GetClipRgn(FDest, FSavedClip);
    if (hadClip == 1) CombineRgn(shape, shape, FSavedClip, RGN_AND);
    SelectClipRgn(FDest, shape);
    BitBlt(FDest, FDX, FDY, FW, FH, FSource, 0, 0, SRCCOPY);
    SelectClipRgn(FDest, hadClip == 1 ? FSavedClip : nullptr);
    DeleteObject(shape);
    DeleteObject(bounds);
}

void TqelTransitionSteps::BlackFill() {
    if (!FDest) return;
    PatBlt(FDest, FDX, FDY, FW, FH, BLACKNESS);
}

void TqelTransitionSteps::Darken(TTarget target, int pattern) {
    HDC dc = TargetDC(target);
    if (!dc || pattern < 1 || pattern > 4 || !FPatterns[pattern - 1]) return;
    const int x = target == tgtDest ? FDX : 0, y = target == tgtDest ? FDY : 0;
    HGDIOBJ oldBrush = SelectObject(dc, FPatterns[pattern - 1]);
    COLORREF oldText = SetTextColor(dc, 0x000000);
    COLORREF oldBk = SetBkColor(dc, 0xFFFFFF);
    PatBlt(dc, x, y, FW, FH, DPa);
    SetBkColor(dc, oldBk);
    SetTextColor(dc, oldText);
    if (oldBrush) SelectObject(dc, oldBrush);
}

} // namespace qel
