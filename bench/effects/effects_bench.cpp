// Cost of one step of every transition effect at 1920 x 1080, effect size 8, speed 500 ms, against the
// effect's step interval; a full-frame SRCCOPY transfer in the same run is the unit of cost.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

#include "effects/transition_steps.h"
#include "platform/graphics/gdi.h"

using namespace qel;

namespace {

constexpr int kW = 1920, kH = 1080, kSize = 8, kSpeed = 500;

struct TSurface {
    TSurface(int w, int h) {
        DC = CreateCompatibleDC(nullptr);
        Bitmap = CreateCompatibleBitmap(nullptr, w, h);
        Previous = SelectObject(DC, Bitmap);
        TDibPtr dib = GetBitmapDib(Bitmap);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) dib->Row(y)[x] = uint32_t(x * 2654435761u ^ y * 40503u) & 0xFFFFFF;
    }
    ~TSurface() {
        SelectObject(DC, Previous);
        DeleteDC(DC);
        DeleteObject(Bitmap);
    }
    HDC DC;
    HBITMAP Bitmap;
    HGDIOBJ Previous;
};

TSurface& Source() {
    static TSurface s(kW, kH);
    return s;
}
TSurface& Dest() {
    static TSurface s(kW, kH);
    return s;
}
TSurface& Old() {
    static TSurface s(kW, kH);
    return s;
}

struct TResult {
    double MeanMs = 0, WorstMs = 0;
    int Interval = 0, Steps = 0;
};
std::map<int, TResult> gResults;
double gSrcCopyMs = 0;

void BM_FullFrameSrcCopy(benchmark::State& state) {
    for (auto _ : state) {
        BitBlt(Dest().DC, 0, 0, kW, kH, Source().DC, 0, 0, SRCCOPY);
        benchmark::ClobberMemory();
    }
}

void BM_EffectSteps(benchmark::State& state) {
    const int effect = static_cast<int>(state.range(0));
    TResult r;
    double total = 0;
    int measured = 0;
    for (auto _ : state) {
        BitBlt(Dest().DC, 0, 0, kW, kH, Old().DC, 0, 0, SRCCOPY);
        TqelTransitionSteps steps(effect, kW, kH, kSize, kSpeed);
        steps.Prepare(Dest().DC, 0, 0);
        double run = 0;
        while (steps.HasMoreSteps()) {
            const auto t0 = std::chrono::steady_clock::now();
            steps.DrawStep(Dest().DC, Source().DC);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            run += ms;
            r.WorstMs = std::max(r.WorstMs, ms);
            ++measured;
        }
        total += run;
        r.Interval = steps.Interval();
        r.Steps = steps.StepsDrawn();
        state.SetIterationTime(run / 1000.0);
    }
    r.MeanMs = measured ? total / measured : 0;
    gResults[effect] = r;
    state.counters["steps"] = r.Steps;
    state.counters["interval_ms"] = r.Interval;
    state.counters["mean_step_ms"] = r.MeanMs;
    state.counters["worst_step_ms"] = r.WorstMs;
}

} // namespace

BENCHMARK(BM_FullFrameSrcCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EffectSteps)->DenseRange(0, 133)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // The unit of cost, measured once more outside the framework for the summary.
    {
        const int n = 20;
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < n; ++i) BitBlt(Dest().DC, 0, 0, kW, kH, Source().DC, 0, 0, SRCCOPY);
        gSrcCopyMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / n;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gResults.empty()) return 0;
    std::printf("\nFull-frame SRCCOPY %dx%d: %.3f ms\n", kW, kH, gSrcCopyMs);
    std::printf("%-4s %-32s %6s %9s %9s %9s %8s %s\n", "ord", "effect", "steps", "interval", "mean ms",
                "worst ms", "worst/cp", "fits");
    std::vector<std::pair<double, int>> byWorst;
    int misses = 0;
    for (const auto& [effect, r] : gResults) {
        const bool fits = r.Steps == 0 || r.WorstMs <= r.Interval;
        misses += !fits;
        byWorst.emplace_back(r.WorstMs, effect);
        std::printf("%-4d %-32s %6d %9d %9.3f %9.3f %8.2f %s\n", effect, EffectDisplayName(effect).c_str(),
                    r.Steps, r.Interval, r.MeanMs, r.WorstMs, gSrcCopyMs > 0 ? r.WorstMs / gSrcCopyMs : 0,
                    fits ? "yes" : "NO");
    }
    std::sort(byWorst.rbegin(), byWorst.rend());
    std::printf("\nMost expensive steps:\n");
    for (size_t i = 0; i < std::min<size_t>(5, byWorst.size()); ++i) {
        const TResult& r = gResults[byWorst[i].second];
        std::printf("  %-32s worst %.3f ms (%.2f full copies), mean %.3f ms, interval %d ms\n",
                    EffectDisplayName(byWorst[i].second).c_str(), r.WorstMs, r.WorstMs / gSrcCopyMs, r.MeanMs,
                    r.Interval);
    }
    std::printf("Effects whose worst step exceeds its interval: %d\n", misses);
    return 0;
}
