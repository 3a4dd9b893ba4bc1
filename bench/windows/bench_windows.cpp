// Window-manager hot paths, each beside its baseline.
#include <benchmark/benchmark.h>

#include <cstring>
#include <deque>
#include <vector>

#include "platform/windows/backend.h"
#include "platform/windows/winuser.h"

using namespace qel;

namespace {

constexpr int kMessages = 1000000;
long gCount = 0;

LRESULT CountProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_USER) {
        ++gCount;
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

HWND MakeWindow(const char* cls, HWND parent, DWORD style, int x, int y, int w, int h) {
    return CreateWindowEx(0, cls, "", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
}

void Setup() {
    ResetDesktop();
    WNDCLASS wc;
    wc.lpfnWndProc = CountProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNFACE + 1));
    wc.lpszClassName = "Bench";
    RegisterClass(&wc);
}

void BM_PostAndDispatch(benchmark::State& state) {
    Setup();
    HWND h = MakeWindow("Bench", nullptr, WS_POPUP, 0, 0, 10, 10);
    for (auto _ : state) {
        gCount = 0;
        for (int i = 0; i < kMessages; ++i) PostMessage(h, WM_USER, static_cast<WPARAM>(i), 0);
        MSG m;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
        benchmark::DoNotOptimize(gCount);
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_PostAndDispatch)->Unit(benchmark::kMillisecond);

void BM_Baseline_Deque(benchmark::State& state) {
    std::deque<MSG> q;
    for (auto _ : state) {
        long count = 0;
        for (int i = 0; i < kMessages; ++i)
            q.push_back(MSG{nullptr, WM_USER, static_cast<WPARAM>(i), 0, 0, {}});
        while (!q.empty()) {
            count += q.front().message == WM_USER;
            q.pop_front();
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_Baseline_Deque)->Unit(benchmark::kMillisecond);

void BM_InvalidateAndRepaint200Children(benchmark::State& state) {
    Setup();
    HWND top = MakeWindow("Bench", nullptr, WS_POPUP | WS_VISIBLE, 0, 0, 800, 600);
    for (int i = 0; i < 200; ++i)
        MakeWindow("Bench", top, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, (i % 20) * 40, (i / 20) * 60, 38,
                   58);
    ProcessPendingMessages();
    for (auto _ : state) {
        RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        ProcessPendingMessages();
    }
}
BENCHMARK(BM_InvalidateAndRepaint200Children)->Unit(benchmark::kMillisecond);

void BM_HeadlessPresent1080p(benchmark::State& state) {
    Setup();
    SetScreenSize(1920, 1080);
    auto backend = CreateHeadlessBackend();
    for (auto _ : state) backend->Present();
    state.SetBytesProcessed(state.iterations() * 1920LL * 1080 * 4);
}
BENCHMARK(BM_HeadlessPresent1080p)->Unit(benchmark::kMicrosecond);

void BM_Baseline_Memcpy1080p(benchmark::State& state) {
    std::vector<uint32_t> a(1920 * 1080, 0x123456), b(1920 * 1080);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size() * 4);
        benchmark::DoNotOptimize(b.data());
    }
    state.SetBytesProcessed(state.iterations() * 1920LL * 1080 * 4);
}
BENCHMARK(BM_Baseline_Memcpy1080p)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
