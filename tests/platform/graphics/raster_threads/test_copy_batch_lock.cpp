// A copy batch keeps the shared framebuffer locked while it lives: what it draws appears at once to
// other threads, and copies from another thread wait until the batch is done.
#include "platform/graphics/copy_batch.h"
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace qel {
namespace {

TEST(RasterThreadsCopyBatch, HoldsTheFramebufferLockUntilDestroyed) {
    auto fb = std::make_shared<TDib>(32, 24);
    auto lock = std::make_shared<std::recursive_mutex>();
    fb->SetLock(lock);
    const TRegion visible(TRect{0, 0, 32, 24});
    HDC screen = CreateSurfaceDC(fb, {0, 0}, &visible);
    ASSERT_NE(screen, nullptr);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(nullptr, 32, 24);
    GetBitmapDib(bmp)->Fill(0x336699);
    HGDIOBJ old = SelectObject(mem, bmp);

    auto lockedElsewhere = [&] {
        std::atomic<bool> got{false};
        std::thread other([&] {
            if (lock->try_lock()) {
                got = true;
                lock->unlock();
            }
        });
        other.join();
        return !got.load();
    };
    {
        TCopyBatch batch(screen, mem);
        ASSERT_TRUE(batch.Direct());
        batch.Copy(0, 0, 16, 24, 0, 0);
        EXPECT_TRUE(lockedElsewhere());
        batch.Copy(16, 0, 16, 24, 16, 0);
    }
    EXPECT_FALSE(lockedElsewhere());
    EXPECT_EQ(fb->Row(5)[3], 0x336699u);
    EXPECT_EQ(fb->Row(20)[30], 0x336699u);

    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    DeleteDC(screen);
}

} // namespace
} // namespace qel
