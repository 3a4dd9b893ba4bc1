// Cost of one step of every transition effect at 1920 x 1080, effect size 8, speed 500 ms, against the
// effect's step interval; a full-frame SRCCOPY transfer in the same run is the unit of cost.
//
// Every effect is played several times (iterations). For each step the wall time is kept per play, so
// the summary can tell the cost of drawing from the machine's noise: "worst" is the slowest step of any
// play, "steady worst" is the slowest step when each step counts with its fastest play (a step that is
// slow in one play only was interrupted; a step that is slow in every play is expensive to draw). An
// effect fits when its steady worst step is within its interval. The processor time of the thread per
// step (fastest play) and the page faults taken while drawing are shown as well: on a busy machine they
// tell drawing cost from waiting for the processor.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "effects/transition_steps.h"
#include "platform/graphics/memory_surface.h"

using namespace qel;

namespace {

constexpr int kW = 1920, kH = 1080, kSize = 8, kSpeed = 500;

// A full-frame surface filled with noise, so that no copy can be cheaper than a real one.
struct TSurface : TMemorySurface {
    TSurface(int w, int h) : TMemorySurface(w, h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) Dib->Row(y)[x] = uint32_t(x * 2654435761u ^ y * 40503u) & 0xFFFFFF;
    }
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
    double MeanMs = 0, WorstMs = 0, SteadyWorstMs = 0;
    double CpuWorstMs = 0; // the slowest step by the thread's processor time (fastest play)
    long Faults = 0;       // page faults while drawing steps, all plays
    int SteadyWorstStep = -1;
    int Interval = 0, Steps = 0;
    bool Fits() const { return Steps == 0 || SteadyWorstMs <= Interval; }
};
std::map<int, TResult> gResults, gPlainResults;
double gSrcCopyMs = 0, gColdCopyMs = 0;

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

long ThreadFaults() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_minflt + u.ru_majflt;
}

double Since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void BM_FullFrameSrcCopy(benchmark::State& state) {
    for (auto _ : state) {
        BitBlt(Dest().DC, 0, 0, kW, kH, Source().DC, 0, 0, SRCCOPY);
        benchmark::ClobberMemory();
    }
}

void RunEffectSteps(benchmark::State& state, bool direct, std::map<int, TResult>& results) {
    const int effect = static_cast<int>(state.range(0));
    TResult r;
    double total = 0;
    int measured = 0;
    std::vector<double> fastest, fastestCpu; // per step: its fastest play
    for (auto _ : state) {
        BitBlt(Dest().DC, 0, 0, kW, kH, Old().DC, 0, 0, SRCCOPY);
        TqelTransitionSteps steps(effect, kW, kH, kSize, kSpeed);
        steps.SetDirectPixels(direct);
        steps.Prepare(Dest().DC, 0, 0);
        double run = 0;
        size_t step = 0;
        while (steps.HasMoreSteps()) {
            const long f0 = ThreadFaults();
            const double c0 = ThreadCpuMs();
            const auto t0 = std::chrono::steady_clock::now();
            steps.DrawStep(Dest().DC, Source().DC);
            const double ms = Since(t0);
            const double cpu = ThreadCpuMs() - c0;
            r.Faults += ThreadFaults() - f0;
            run += ms;
            r.WorstMs = std::max(r.WorstMs, ms);
            if (step >= fastest.size()) {
                fastest.push_back(ms);
                fastestCpu.push_back(cpu);
            }
            fastest[step] = std::min(fastest[step], ms);
            fastestCpu[step] = std::min(fastestCpu[step], cpu);
            ++step;
            ++measured;
        }
        total += run;
        r.Interval = steps.Interval();
        r.Steps = steps.StepsDrawn();
        state.SetIterationTime(run / 1000.0);
    }
    r.MeanMs = measured ? total / measured : 0;
    for (double c : fastestCpu) r.CpuWorstMs = std::max(r.CpuWorstMs, c);
    for (size_t i = 0; i < fastest.size(); ++i)
        if (fastest[i] > r.SteadyWorstMs) {
            r.SteadyWorstMs = fastest[i];
            r.SteadyWorstStep = static_cast<int>(i);
        }
    results[effect] = r;
    state.counters["steps"] = r.Steps;
    state.counters["interval_ms"] = r.Interval;
    state.counters["mean_step_ms"] = r.MeanMs;
    state.counters["worst_step_ms"] = r.WorstMs;
    state.counters["steady_worst_ms"] = r.SteadyWorstMs;
    state.counters["cpu_worst_ms"] = r.CpuWorstMs;
}

void BM_EffectSteps(benchmark::State& state) {
    RunEffectSteps(state, true, gResults);
}

// The same effects drawn the plain way (one transfer per part, frames through the work buffer): the
// baseline the direct drawing is compared with.
void BM_EffectStepsPlain(benchmark::State& state) {
    RunEffectSteps(state, false, gPlainResults);
}

} // namespace

BENCHMARK(BM_FullFrameSrcCopy)->Unit(benchmark::kMillisecond);
// Effects 0..133 are drawn (cut through black and fade through black included); None and Cut draw nothing.
BENCHMARK(BM_EffectSteps)->DenseRange(0, 133)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
// Dissolve, vertical blinds, pour left, quad wipe out, fold centre horz, squash centre horz, shrink left
// down.
BENCHMARK(BM_EffectStepsPlain)
    ->Arg(qtfDissolve)
    ->Arg(qtfBlindsVert)
    ->Arg(qtfPourLeft)
    ->Arg(qtfQuadWipeOut)
    ->Arg(qtfFoldCenterHorz)
    ->Arg(qtfSquashCenterHorz)
    ->Arg(qtfShrinkLeftDown)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // The unit of cost for the summary: the fastest of a series of full-frame copies in this run, after
    // a few that warm the surfaces up.
    {
        for (int i = 0; i < 5; ++i) BitBlt(Dest().DC, 0, 0, kW, kH, Source().DC, 0, 0, SRCCOPY);
        gSrcCopyMs = 1e9;
        for (int i = 0; i < 30; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            BitBlt(Dest().DC, 0, 0, kW, kH, Source().DC, 0, 0, SRCCOPY);
            gSrcCopyMs = std::min(gSrcCopyMs, Since(t0));
        }
    }
    // The same copy between surfaces that are not in the processor's caches (several frames are cycled,
    // more than the last-level cache holds): what an effect step pays, as it touches two to three frames.
    {
        std::vector<std::unique_ptr<TSurface>> ring;
        for (int i = 0; i < 8; ++i) ring.push_back(std::make_unique<TSurface>(kW, kH));
        gColdCopyMs = 1e9;
        for (int i = 0; i < 24; ++i) {
            TSurface& to = *ring[size_t(i % 8)];
            TSurface& from = *ring[size_t((i + 3) % 8)];
            const auto t0 = std::chrono::steady_clock::now();
            BitBlt(to.DC, 0, 0, kW, kH, from.DC, 0, 0, SRCCOPY);
            gColdCopyMs = std::min(gColdCopyMs, Since(t0));
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gResults.empty()) return 0;
    std::printf(
        "\nFull-frame SRCCOPY %dx%d: %.3f ms (the unit \"cp\" below); between uncached surfaces: %.3f ms\n",
        kW, kH, gSrcCopyMs, gColdCopyMs);
    std::printf("%-4s %-30s %6s %8s %8s %8s %8s %6s %7s %8s %7s %s\n", "ord", "effect", "steps", "interval",
                "mean", "worst", "steady", "@step", "std/cp", "cpu", "faults", "fits");
    std::vector<std::pair<double, int>> bySteady;
    std::vector<int> misses;
    for (const auto& [effect, r] : gResults) {
        if (!r.Fits()) misses.push_back(effect);
        bySteady.emplace_back(r.SteadyWorstMs, effect);
        std::printf("%-4d %-30s %6d %8d %8.3f %8.3f %8.3f %6d %7.2f %8.3f %7ld %s\n", effect,
                    EffectDisplayName(effect).c_str(), r.Steps, r.Interval, r.MeanMs, r.WorstMs,
                    r.SteadyWorstMs, r.SteadyWorstStep, gSrcCopyMs > 0 ? r.SteadyWorstMs / gSrcCopyMs : 0,
                    r.CpuWorstMs, r.Faults, r.Fits() ? "yes" : "NO");
    }
    std::sort(bySteady.rbegin(), bySteady.rend());
    std::printf("\nMost expensive steps (steady worst):\n");
    for (size_t i = 0; i < std::min<size_t>(5, bySteady.size()); ++i) {
        const TResult& r = gResults[bySteady[i].second];
        std::printf("  %-30s steady worst %.3f ms (%.2f cp) at step %d, worst %.3f ms, mean %.3f ms, "
                    "interval %d ms\n",
                    EffectDisplayName(bySteady[i].second).c_str(), r.SteadyWorstMs,
                    r.SteadyWorstMs / gSrcCopyMs, r.SteadyWorstStep, r.WorstMs, r.MeanMs, r.Interval);
    }
    std::printf("Effects whose steady worst step exceeds its interval: %zu\n", misses.size());
    for (int e : misses) {
        const TResult& r = gResults[e];
        std::printf("  %-30s steady worst %.3f ms, interval %d ms\n", EffectDisplayName(e).c_str(),
                    r.SteadyWorstMs, r.Interval);
    }
    int rawMisses = 0;
    for (const auto& [effect, r] : gResults) rawMisses += r.Steps > 0 && r.WorstMs > r.Interval;
    std::printf("Effects with a step over the interval in some play (noise included): %d\n", rawMisses);
    int cpuMisses = 0;
    for (const auto& [effect, r] : gResults) cpuMisses += r.Steps > 0 && r.CpuWorstMs > r.Interval;
    std::printf("Effects whose slowest step by processor time exceeds its interval: %d\n", cpuMisses);
    if (!gPlainResults.empty()) {
        std::printf("\nDirect drawing against the plain way (same run), steady worst / mean in ms:\n");
        for (const auto& [effect, plain] : gPlainResults) {
            auto it = gResults.find(effect);
            if (it == gResults.end()) continue;
            std::printf("  %-30s plain %7.3f / %7.3f   direct %7.3f / %7.3f   interval %d\n",
                        EffectDisplayName(effect).c_str(), plain.SteadyWorstMs, plain.MeanMs,
                        it->second.SteadyWorstMs, it->second.MeanMs, plain.Interval);
        }
    }
    return 0;
}
