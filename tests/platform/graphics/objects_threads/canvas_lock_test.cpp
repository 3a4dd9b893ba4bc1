// Canvas locking across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/graphics/bitmap.h"

using namespace qel;

TEST(TCanvasLock, TryLockFailsWhileAnotherThreadHoldsIt) {
    TBitmap bmp(8, 8);
    TCanvas* c = bmp.GetCanvas();
    c->Lock();
    c->Lock(); // re-entrant
    EXPECT_EQ(c->LockCount(), 2);
    EXPECT_FALSE(c->TryLock()) << "not even the owner takes a held canvas";
    std::atomic<bool> tried{false}, got{true};
    std::thread t([&] {
        got = c->TryLock();
        tried = true;
    });
    t.join();
    EXPECT_TRUE(tried);
    EXPECT_FALSE(got);
    c->Unlock();
    c->Unlock();
    EXPECT_EQ(c->LockCount(), 0);
    std::thread t2([&] {
        got = c->TryLock();
        if (got) {
            c->GetBrush()->SetColor(clRed);
            c->FillRect(TRect(0, 0, 8, 8));
            c->Unlock();
        }
    });
    t2.join();
    EXPECT_TRUE(got);
    EXPECT_EQ(c->GetPixel(3, 3), clRed);
}

TEST(TCanvasLock, BlockingLockSerialisesDrawing) {
    TBitmap bmp(64, 1);
    TCanvas* c = bmp.GetCanvas();
    c->GetHandle();
    std::atomic<int> tryFailures{0};
    auto worker = [&](TColor color) {
        for (int i = 0; i < 200; ++i) {
            c->Lock();
            c->GetBrush()->SetColor(color);
            c->FillRect(TRect(0, 0, 64, 1));
            // Inside the lock the whole row has one colour.
            TColor first = c->GetPixel(0, 0);
            EXPECT_EQ(c->GetPixel(63, 0), first);
            c->Unlock();
            if (!c->TryLock())
                ++tryFailures;
            else
                c->Unlock();
        }
    };
    std::thread a(worker, clRed), b(worker, clBlue);
    a.join();
    b.join();
    EXPECT_EQ(c->LockCount(), 0);
}

TEST(TCanvasLock, UnlockFromAnotherThreadOrUnbalancedIsIgnored) {
    TBitmap bmp(4, 4);
    TCanvas* c = bmp.GetCanvas();
    c->Unlock(); // nothing held: no effect
    EXPECT_EQ(c->LockCount(), 0);
    c->Lock();
    std::thread t([&] { c->Unlock(); });
    t.join();
    EXPECT_EQ(c->LockCount(), 1) << "a thread that does not hold the canvas cannot release it";
    std::atomic<bool> got{true};
    std::thread t2([&] { got = c->TryLock(); });
    t2.join();
    EXPECT_FALSE(got);
    c->Unlock();
    EXPECT_EQ(c->LockCount(), 0);
    std::thread t3([&] {
        got = c->TryLock();
        if (got) c->Unlock();
    });
    t3.join();
    EXPECT_TRUE(got);
}
