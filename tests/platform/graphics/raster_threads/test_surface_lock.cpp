// Two threads drawing into one framebuffer through their own device contexts: the surface lock makes every
// operation atomic, so interleaved self-inverse operations always leave the original pixels.
#include "platform/graphics/gdi.h"
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace qel {
namespace {

std::vector<uint32_t> Snapshot(const TDib& d) {
    std::vector<uint32_t> v;
    for (int y = 0; y < d.Height(); ++y) v.insert(v.end(), d.Row(y), d.Row(y) + d.Width());
    return v;
}

TEST(RasterThreads, ConcurrentDrawingIntoOneLockedFramebuffer) {
    auto fb = std::make_shared<TDib>(64, 48);
    fb->SetLock(std::make_shared<std::recursive_mutex>());
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) fb->Row(y)[x] = uint32_t(x * 3 + y * 1000);
    const std::vector<uint32_t> before = Snapshot(*fb);

    // Overlapping windows: (0,0)-(40,48) and (20,0)-(64,48).
    const TRegion visA(TRect{0, 0, 40, 48}), visB(TRect{0, 0, 44, 48});
    HDC a = CreateSurfaceDC(fb, {0, 0}, &visA);
    HDC b = CreateSurfaceDC(fb, {20, 0}, &visB);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);

    constexpr int kRounds = 400; // even: every operation below is its own inverse
    std::thread worker([&] {
        // Worker: XOR a private picture into the window, through a memory DC of its own.
        HDC mem = CreateCompatibleDC(nullptr);
        HBITMAP bmp = CreateCompatibleBitmap(nullptr, 30, 20);
        GetBitmapDib(bmp)->Fill(0x5A3C96);
        HGDIOBJ old = SelectObject(mem, bmp);
        for (int i = 0; i < kRounds; ++i) {
            BitBlt(b, i % 7, i % 5, 30, 20, mem, 0, 0, SRCINVERT);
            BitBlt(b, i % 7, i % 5, 30, 20, mem, 0, 0, SRCINVERT);
        }
        SelectObject(mem, old);
        DeleteObject(bmp);
        DeleteDC(mem);
    });
    for (int i = 0; i < kRounds; ++i) {
        PatBlt(a, 10, 5, 25, 30, DSTINVERT);
        const TRect r{12, 6, 30, 20};
        InvertRect(a, &r);
        GetPixel(a, 15, 15);
    }
    worker.join();
    EXPECT_EQ(Snapshot(*fb), before);
    DeleteDC(a);
    DeleteDC(b);
}

TEST(RasterThreads, VisibleRegionChangesWhileAnotherThreadDraws) {
    auto fb = std::make_shared<TDib>(32, 32);
    fb->SetLock(std::make_shared<std::recursive_mutex>());
    const TRegion left(TRect{0, 0, 16, 32}), right(TRect{16, 0, 32, 32});
    HDC dc = CreateSurfaceDC(fb, {0, 0}, &left);
    std::atomic<bool> stop{false};
    std::thread painter([&] {
        // Self-inverse drawing in pairs so the pixels end where they started.
        while (!stop.load()) {
            SaveDC(dc);
            PatBlt(dc, 0, 0, 32, 32, DSTINVERT);
            PatBlt(dc, 0, 0, 32, 32, DSTINVERT);
            RestoreDC(dc, -1);
        }
    });
    for (int i = 0; i < 300; ++i) {
        SetDCSystemClip(dc, (i % 2) ? &left : &right);
        SetDCDeviceOrigin(dc, {0, 0});
    }
    stop = true;
    painter.join();
    // The last visible region (left) applies from the next call on.
    fb->Fill(0);
    PatBlt(dc, 0, 0, 32, 32, WHITENESS);
    EXPECT_EQ(fb->GetPixel(5, 5), 0xFFFFFFu);
    EXPECT_EQ(fb->GetPixel(20, 5), 0u);
    TRegion none;
    SetDCSystemClip(dc, &none);
    fb->Fill(0);
    PatBlt(dc, 0, 0, 32, 32, WHITENESS);
    EXPECT_EQ(fb->GetPixel(5, 5), 0u);
    DeleteDC(dc);
}

TEST(RasterThreads, ObjectsCreatedAndDeletedFromSeveralThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&failures, t] {
            for (int i = 0; i < 200; ++i) {
                HBRUSH br = CreateSolidBrush(RGB(t, i % 256, 0));
                HRGN rg = CreateRectRgn(0, 0, i + 1, 1);
                HDC dc = CreateCompatibleDC(nullptr);
                HBITMAP bm = CreateCompatibleBitmap(nullptr, 4, 4);
                HGDIOBJ old = SelectObject(dc, bm);
                const TRect r{0, 0, 4, 4};
                if (FillRect(dc, &r, br) != 1 || GetPixel(dc, 3, 3) != RGB(t, i % 256, 0)) ++failures;
                if (!PtInRegion(rg, i, 0)) ++failures;
                SelectObject(dc, old);
                if (!DeleteObject(bm) || !DeleteObject(br) || !DeleteObject(rg) || !DeleteDC(dc)) ++failures;
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace
} // namespace qel
