#include "platform/graphics/dib.h"
#include "platform/core/exceptions.h"
#include <algorithm>
#include <limits>

namespace qel {

TDib::TDib(int width, int height, TDibFormat format, bool bottomUp) : FFormat(format) {
    FWidth = std::max(0, width);
    FHeight = std::max(0, height);
    const size_t bpp = format == TDibFormat::Mono1 ? 1 : 4;
    const size_t rowBytes = static_cast<size_t>(FWidth) * bpp;
    constexpr size_t kLimit = size_t(1) << 31; // 2 GiB per surface
    if (FHeight != 0 && rowBytes > kLimit / static_cast<size_t>(FHeight))
        throw EOutOfResources("Out of system resources");
    try {
        FMemory.assign(rowBytes * static_cast<size_t>(FHeight), 0);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources("Out of system resources");
    }
    if (bottomUp && FHeight > 0) {
        FStride = -static_cast<ptrdiff_t>(rowBytes);
        FRow0 = FMemory.data() + rowBytes * static_cast<size_t>(FHeight - 1);
    } else {
        FStride = static_cast<ptrdiff_t>(rowBytes);
        FRow0 = FMemory.data();
    }
}

uint32_t TDib::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
    if (IsMono()) return MonoRow(y)[x] ? 0xFFFFFFu : 0u;
    return Row(y)[x] & 0xFFFFFFu;
}

void TDib::SetPixel(int x, int y, uint32_t rgb) {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
    if (IsMono())
        MonoRow(y)[x] = MonoBitOfPixel(rgb) ? 1 : 0;
    else
        Row(y)[x] = rgb & 0xFFFFFFu;
}

void TDib::Fill(uint32_t rgb) {
    if (IsMono()) {
        std::fill(FMemory.begin(), FMemory.end(), MonoBitOfPixel(rgb) ? 1 : 0);
        return;
    }
    for (int y = 0; y < FHeight; ++y) std::fill_n(Row(y), FWidth, rgb & 0xFFFFFFu);
}

TSurfaceLock::TSurfaceLock(const TDib* a, const TDib* b) {
    std::recursive_mutex* la = a ? a->Lock() : nullptr;
    std::recursive_mutex* lb = b ? b->Lock() : nullptr;
    if (la == lb) lb = nullptr;
    if (!la) std::swap(la, lb);
    if (la && lb) {
        std::lock(*la, *lb);
    } else if (la) {
        la->lock();
    }
    FA = la;
    FB = lb;
}

TSurfaceLock::~TSurfaceLock() {
    if (FB) FB->unlock();
    if (FA) FA->unlock();
}

} // namespace qel
