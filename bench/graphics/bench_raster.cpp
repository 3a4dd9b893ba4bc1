// Raster operations against their baselines: memcpy for unscaled copies, pixman for nearest-neighbour
// scaling, and a plain loop for pattern AND.
#include "platform/graphics/gdi.h"
#include <benchmark/benchmark.h>
#include <cstring>
#include <pixman.h>
#include <vector>

namespace {

using namespace qel;

constexpr int kW = 1920, kH = 1080;

struct TMemDC {
    TMemDC(int w, int h) {
        DC = CreateCompatibleDC(nullptr);
        Bmp = CreateCompatibleBitmap(nullptr, w, h);
        Old = SelectObject(DC, Bmp);
        Dib = GetBitmapDib(Bmp);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) Dib->Row(y)[x] = uint32_t(x * 2654435761u + y * 40503u) & 0xFFFFFF;
    }
    ~TMemDC() {
        SelectObject(DC, Old);
        DeleteObject(Bmp);
        DeleteDC(DC);
    }
    HDC DC;
    HBITMAP Bmp;
    HGDIOBJ Old;
    TDibPtr Dib;
};

void BitBlt_SRCCOPY(benchmark::State& state) {
    TMemDC src(kW, kH), dst(kW, kH);
    for (auto _ : state) {
        BitBlt(dst.DC, 0, 0, kW, kH, src.DC, 0, 0, SRCCOPY);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BitBlt_SRCCOPY)->Unit(benchmark::kMicrosecond);

void Baseline_memcpy_1920x1080(benchmark::State& state) {
    std::vector<uint32_t> src(size_t(kW) * kH, 0x123456), dst(size_t(kW) * kH);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size() * 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(Baseline_memcpy_1920x1080)->Unit(benchmark::kMicrosecond);

void StretchBlt_ColorOnColor_960x540_to_1920x1080(benchmark::State& state) {
    TMemDC src(kW / 2, kH / 2), dst(kW, kH);
    SetStretchBltMode(dst.DC, COLORONCOLOR);
    for (auto _ : state) {
        StretchBlt(dst.DC, 0, 0, kW, kH, src.DC, 0, 0, kW / 2, kH / 2, SRCCOPY);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kW * kH);
}
BENCHMARK(StretchBlt_ColorOnColor_960x540_to_1920x1080)->Unit(benchmark::kMicrosecond);

void Baseline_pixman_nearest_960x540_to_1920x1080(benchmark::State& state) {
    std::vector<uint32_t> src(size_t(kW / 2) * (kH / 2)), dst(size_t(kW) * kH);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint32_t(i * 2654435761u) & 0xFFFFFF;
    pixman_image_t* s = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW / 2, kH / 2, src.data(), (kW / 2) * 4);
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, dst.data(), kW * 4);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    state.SetItemsProcessed(int64_t(state.iterations()) * kW * kH);
}
BENCHMARK(Baseline_pixman_nearest_960x540_to_1920x1080)->Unit(benchmark::kMicrosecond);

void PatBlt_PatternBrush_DPa_1920x1080(benchmark::State& state) {
    TMemDC dst(kW, kH);
    HBITMAP pb = CreateBitmap(8, 8, 1, 1, nullptr);
    TDibPtr p = GetBitmapDib(pb);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) p->MonoRow(y)[x] = (x % 2 == 1 && y % 2 == 1) ? 0 : 1;
    HBRUSH brush = CreatePatternBrush(pb);
    SetTextColor(dst.DC, RGB(0, 0, 0));
    SetBkColor(dst.DC, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(dst.DC, brush);
    for (auto _ : state) {
        PatBlt(dst.DC, 0, 0, kW, kH, DPa);
        benchmark::ClobberMemory();
    }
    SelectObject(dst.DC, old);
    DeleteObject(brush);
    DeleteObject(pb);
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(PatBlt_PatternBrush_DPa_1920x1080)->Unit(benchmark::kMicrosecond);

void Baseline_loop_pattern_and_1920x1080(benchmark::State& state) {
    std::vector<uint32_t> dst(size_t(kW) * kH, 0x808080);
    uint32_t pat[8][8];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) pat[y][x] = (x % 2 == 1 && y % 2 == 1) ? 0 : 0xFFFFFF;
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y) {
            uint32_t* row = dst.data() + size_t(y) * kW;
            const uint32_t* pr = pat[y & 7];
            for (int x = 0; x < kW; ++x) row[x] &= pr[x & 7];
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(Baseline_loop_pattern_and_1920x1080)->Unit(benchmark::kMicrosecond);

// Many small copies, like one dissolve step over 1024x768: 6144 reveals of 8x8 pixels.
void BitBlt_6144_small_8x8(benchmark::State& state) {
    TMemDC src(1024, 768), dst(1024, 768);
    for (auto _ : state) {
        for (int i = 0; i < 6144; ++i) {
            const int x = (i * 37) % 128 * 8 % 1024, y = (i / 128) * 16 % 768;
            BitBlt(dst.DC, x, y, 8, 8, src.DC, x, y, SRCCOPY);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6144);
}
BENCHMARK(BitBlt_6144_small_8x8)->Unit(benchmark::kMicrosecond);

void Baseline_memcpy_6144_small_8x8(benchmark::State& state) {
    std::vector<uint32_t> src(1024 * 768, 0x123456), dst(1024 * 768);
    for (auto _ : state) {
        for (int i = 0; i < 6144; ++i) {
            const int x = (i * 37) % 128 * 8 % 1024, y = (i / 128) * 16 % 768;
            for (int r = 0; r < 8; ++r)
                std::memcpy(&dst[size_t(y + r) * 1024 + x], &src[size_t(y + r) * 1024 + x], 8 * 4);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6144);
}
BENCHMARK(Baseline_memcpy_6144_small_8x8)->Unit(benchmark::kMicrosecond);

} // namespace
