// 10,000 short TextOut calls (served from the glyph cache) against the same number of 8x8 SRCCOPY
// blits of pre-rendered text, the cheapest way to put the same pixels on a surface.
#include <benchmark/benchmark.h>

#include "platform/graphics/bitmap.h"

using namespace qel;

namespace {

void SetupCanvas(TBitmap& bmp) {
    TCanvas* c = bmp.GetCanvas();
    c->GetFont()->SetName("DejaVu Sans");
    c->GetFont()->SetHeight(-11);
    c->GetBrush()->SetStyle(bsClear);
}

void BM_TextOut10000(benchmark::State& state) {
    TBitmap bmp(640, 480);
    SetupCanvas(bmp);
    TCanvas* c = bmp.GetCanvas();
    c->TextOut(0, 0, "Item 42"); // warm the glyph cache
    HDC dc = c->GetHandle();
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i) TextOut(dc, (i * 37) % 600, (i * 13) % 460, "Item 42");
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_TextOut10000)->Unit(benchmark::kMillisecond);

void BM_BlitBaseline10000(benchmark::State& state) {
    TBitmap bmp(640, 480);
    TBitmap strip(8, 8);
    SetupCanvas(strip);
    strip.GetCanvas()->TextOut(0, 0, "I");
    HDC dst = bmp.GetCanvas()->GetHandle();
    HDC src = strip.GetCanvas()->GetHandle();
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i) BitBlt(dst, (i * 37) % 600, (i * 13) % 460, 8, 8, src, 0, 0, SRCCOPY);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_BlitBaseline10000)->Unit(benchmark::kMillisecond);

} // namespace
