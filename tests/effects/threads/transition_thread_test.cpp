#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "effects/transition_engine.h"
#include "platform/core/clock.h"
#include "tests/effects/effect_test_support.h"

namespace qel {
namespace {

using test::NewPixel;
using test::OldPixel;
using test::TTestSurface;

// The destination shows the old picture in (DX, DY, W, H); the source holds the new picture.
struct TThreadScene {
    TThreadScene(int w, int h) : W(w), H(h), Dest(w + 6, h + 4), Source(w, h) {
        Dest.Fill([&](int x, int y) { return Inside(x, y) ? OldPixel(x - DX, y - DY) : 0x123456u; });
        Source.Fill([](int x, int y) { return NewPixel(x, y); });
        DestCanvas.SetHandle(Dest.DC);
        SourceCanvas.SetHandle(Source.DC);
    }
    ~TThreadScene() {
        DestCanvas.SetHandle(nullptr);
        SourceCanvas.SetHandle(nullptr);
    }
    bool Inside(int x, int y) const { return x >= DX && x < DX + W && y >= DY && y < DY + H; }

    TqelEffectParams Params(int effect, int speed = 500, int pause = 1) {
        TqelEffectParams p;
        p.Effect = effect;
        p.Source = &SourceCanvas;
        p.Dest = &DestCanvas;
        p.DX = DX;
        p.DY = DY;
        p.W = W;
        p.H = H;
        p.Size = 8;
        p.Speed = speed;
        p.Pause = pause;
        return p;
    }

    // Reads the destination while holding its canvas, as the GUI thread does when it paints.
    template <typename F>
    auto Read(F f) {
        DestCanvas.Lock();
        auto r = f();
        DestCanvas.Unlock();
        return r;
    }
    bool Is(const std::function<uint32_t(int, int)>& picture) {
        return Read([&] {
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    if (Dest.Pixel(DX + x, DY + y) != picture(x, y)) return false;
            return true;
        });
    }
    bool IsNew() { return Is(NewPixel); }
    bool IsOld() { return Is(OldPixel); }
    bool IsBlack() {
        return Is([](int, int) { return 0u; });
    }
    bool RowIsNew(int y) {
        return Read([&] {
            for (int x = 0; x < W; ++x)
                if (Dest.Pixel(DX + x, DY + y) != NewPixel(x, y)) return false;
            return true;
        });
    }

    int W, H;
    int DX = 3, DY = 2;
    TTestSurface Dest, Source;
    TCanvas DestCanvas, SourceCanvas;
};

// Services synchronisation until `pred` holds (a state, not a time: the wall clock only bounds a hang).
void PollUntil(const std::function<bool()>& pred, const char* what) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!pred()) {
        CheckSynchronize(0);
        if (std::chrono::steady_clock::now() > limit) FAIL() << "never happened: " << what;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// Services synchronisation for a little while, for checks that something does not happen.
void Settle() {
    for (int i = 0; i < 30; ++i) {
        CheckSynchronize(0);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

// The worker is blocked in a wait on the manual clock (so its deadline is fixed).
bool Waiting(TManualClockScope& clock) {
    return clock->Sleepers() == 1;
}

struct TEndCounter {
    std::atomic<int> Calls{0};
    std::atomic<bool> InGuiThread{false};
    TObject* Sender = nullptr;
    TNotifyEvent Handler() {
        return TNotifyEvent([this](TObject* sender) {
            Sender = sender;
            InGuiThread = std::this_thread::get_id() == MainThreadID();
            ++Calls;
        });
    }
};

class TransitionThread : public ::testing::TestWithParam<int> {};

TEST_P(TransitionThread, CopiesAtOnceWithoutStepsThenWaitsThePause) {
    TManualClockScope clock;
    TThreadScene s(24, 16);
    TEndCounter end;
    auto p = s.Params(GetParam(), 500, 300);
    p.OnEnd = end.Handler();
    auto t = StartTransition(p);
    ASSERT_NE(t, nullptr);
    PollUntil([&] { return t->FinalFrameDrawn() && Waiting(clock); }, "final frame");
    EXPECT_EQ(t->StepsDrawn(), 0);
    EXPECT_TRUE(s.IsNew());
    clock->Advance(299);
    Settle();
    EXPECT_EQ(end.Calls, 0);
    clock->Advance(1);
    t->WaitFor();
    EXPECT_EQ(end.Calls, 1);
    EXPECT_TRUE(end.InGuiThread);
    EXPECT_EQ(end.Sender, t.get());
}

INSTANTIATE_TEST_SUITE_P(NoSteps, TransitionThread, ::testing::Values(int(qtfCut), int(qtfNone)));

TEST(TransitionThreadTiming, CutThroughBlackShowsBlackAtOnceAndTheNewPictureHalfWay) {
    TManualClockScope clock;
    TThreadScene s(20, 10);
    TEndCounter end;
    auto p = s.Params(qtfCutThroughBlack, 500, 1);
    p.OnEnd = end.Handler();
    auto t = StartTransition(p);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Interval(), 250);
    PollUntil([&] { return t->StepsDrawn() == 1 && Waiting(clock); }, "black");
    EXPECT_TRUE(s.IsBlack());
    clock->Advance(249);
    Settle();
    EXPECT_EQ(t->StepsDrawn(), 1);
    EXPECT_TRUE(s.IsBlack());
    clock->Advance(1);
    PollUntil([&] { return t->StepsDrawn() == 2 && Waiting(clock); }, "new picture");
    EXPECT_TRUE(s.IsNew());
    // The last step's interval runs out before the final frame and the pause.
    EXPECT_FALSE(t->FinalFrameDrawn());
    clock->Advance(250);
    PollUntil([&] { return t->FinalFrameDrawn() && Waiting(clock); }, "final frame");
    EXPECT_EQ(end.Calls, 0);
    clock->Advance(1);
    t->WaitFor();
    EXPECT_EQ(end.Calls, 1);
}

// Advances the manual clock by whole intervals until the thread has ended.
void RunOut(TManualClockScope& clock, TqelTransitionThread& t, uint64_t step) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!t.Finished()) {
        PollUntil([&] { return Waiting(clock) || t.Finished(); }, "worker waiting");
        if (t.Finished()) break;
        clock->Advance(step);
        ASSERT_LT(std::chrono::steady_clock::now(), limit);
    }
    t.WaitFor();
}

TEST(TransitionThreadCancel, CancelQueryLeavesAPartialPictureWithoutFinalFrame) {
    TManualClockScope clock;
    TThreadScene s(40, 40);
    TEndCounter end;
    int queries = 0;
    bool inGui = true;
    auto p = s.Params(qtfWipeDown, 500, 1);
    p.OnEnd = end.Handler();
    p.OnCancel = TqelCancelEvent([&](TObject*, bool& cancel) {
        inGui = inGui && std::this_thread::get_id() == MainThreadID();
        cancel = ++queries == 3;
    });
    auto t = StartTransition(p);
    ASSERT_NE(t, nullptr);
    RunOut(clock, *t, static_cast<uint64_t>(t->Interval()));
    EXPECT_EQ(queries, 3);
    EXPECT_TRUE(inGui);
    EXPECT_EQ(t->StepsDrawn(), 3); // rows -8..-1, 0..7 and 8..15
    EXPECT_FALSE(t->FinalFrameDrawn());
    EXPECT_TRUE(s.RowIsNew(15));
    EXPECT_FALSE(s.RowIsNew(16));
    EXPECT_FALSE(s.IsNew());
    EXPECT_EQ(end.Calls, 1); // stopping itself still reports the end
}

TEST(TransitionThreadCancel, FromOutsideDuringALongIntervalReturnsAtOnce) {
    TManualClockScope clock;
    TThreadScene s(20, 10);
    TEndCounter end;
    auto p = s.Params(qtfCutThroughBlack, 65535, 1);
    p.OnEnd = end.Handler();
    auto t = StartTransition(p);
    ASSERT_NE(t, nullptr);
    PollUntil([&] { return t->StepsDrawn() == 1 && Waiting(clock); }, "first step");
    // A watchdog rescues the test if cancelling waited out the interval on the clock.
    std::atomic<bool> done{false}, rescued{false};
    std::thread watchdog([&] {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (!done) {
            rescued = true;
            clock->Advance(1000000);
        }
    });
    CancelTransition(t);
    done = true;
    watchdog.join();
    EXPECT_FALSE(rescued);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(end.Calls, 0);
    EXPECT_TRUE(s.IsBlack()); // the partial picture stays
}

TEST(TransitionThreadCancel, FromOutsideDuringThePause) {
    TManualClockScope clock;
    TThreadScene s(20, 10);
    TEndCounter end;
    auto p = s.Params(qtfCut, 500, 60000);
    p.OnEnd = end.Handler();
    auto t = StartTransition(p);
    PollUntil([&] { return t->FinalFrameDrawn() && Waiting(clock); }, "final frame");
    CancelTransition(t);
    EXPECT_EQ(end.Calls, 0);
    EXPECT_TRUE(s.IsNew());
}

TEST(TransitionThreadCancel, ANeverStartedThread) {
    TManualClockScope clock;
    TThreadScene s(20, 10);
    TEndCounter end;
    auto p = s.Params(qtfWipeDown);
    p.OnEnd = end.Handler();
    p.StartSuspended = true;
    auto t = StartTransition(p);
    ASSERT_NE(t, nullptr);
    Settle();
    EXPECT_EQ(t->StepsDrawn(), 0);
    EXPECT_TRUE(s.IsOld());
    CancelTransition(t);
    EXPECT_EQ(end.Calls, 0);
    EXPECT_TRUE(s.IsOld());
}

TEST(TransitionThreadStart, SuspendedStartWaitsForStart) {
    TManualClockScope clock;
    TThreadScene s(40, 10);
    auto p = s.Params(qtfWipeRight);
    p.StartSuspended = true;
    auto t = StartTransition(p);
    Settle();
    EXPECT_FALSE(t->Started());
    EXPECT_TRUE(s.IsOld());
    t->Start();
    RunOut(clock, *t, 100);
    EXPECT_EQ(t->StepsDrawn(), 6);
    EXPECT_TRUE(s.IsNew());
}

TEST(TransitionThreadLocking, ABusyCanvasDelaysStepsWithoutLosingOne) {
    TManualClockScope clock;
    TThreadScene s(40, 10); // qtfWipeRight, size 8: 6 steps of 100 ms
    TEndCounter end;
    auto p = s.Params(qtfWipeRight, 500, 1);
    p.OnEnd = end.Handler();
    s.DestCanvas.Lock(); // as if the GUI thread were painting
    auto t = StartTransition(p);
    ASSERT_EQ(t->Interval(), 100);
    for (int i = 0; i < 4; ++i) {
        PollUntil([&] { return Waiting(clock); }, "worker waiting");
        clock->Advance(100);
        Settle();
    }
    EXPECT_EQ(t->StepsDrawn(), 0);
    EXPECT_TRUE(s.IsOld());
    s.DestCanvas.Unlock();
    // Far behind schedule: the steps come one after the other without waiting, none left out.
    clock->Advance(10000);
    PollUntil([&] { return t->FinalFrameDrawn(); }, "final frame");
    EXPECT_EQ(t->StepsDrawn(), 6);
    EXPECT_TRUE(s.IsNew());
    PollUntil([&] { return Waiting(clock) || t->Finished(); }, "pause");
    clock->Advance(1);
    t->WaitFor();
    EXPECT_EQ(end.Calls, 1);
}

TEST(TransitionThreadLocking, TheFinalFrameWaitsForABusyCanvas) {
    TManualClockScope clock;
    TThreadScene s(20, 10);
    auto p = s.Params(qtfCut, 500, 1);
    s.SourceCanvas.Lock();
    auto t = StartTransition(p);
    PollUntil([&] { return Waiting(clock); }, "worker waiting");
    clock->Advance(50);
    PollUntil([&] { return Waiting(clock); }, "worker waiting");
    EXPECT_FALSE(t->FinalFrameDrawn());
    s.SourceCanvas.Unlock();
    clock->Advance(10);
    PollUntil([&] { return t->FinalFrameDrawn(); }, "final frame");
    EXPECT_TRUE(s.IsNew());
    RunOut(clock, *t, 1);
}

TEST(TransitionThreadSuspend, APauseShiftsTheSchedule) {
    TManualClockScope clock;
    TThreadScene s(40, 10); // qtfWipeRight: 6 steps of 100 ms
    auto t = StartTransition(s.Params(qtfWipeRight));
    PollUntil([&] { return t->StepsDrawn() == 1 && Waiting(clock); }, "first step");
    t->Suspend();
    clock->Advance(100);
    PollUntil([&] { return !Waiting(clock); }, "worker paused");
    clock->Advance(1000);
    Settle();
    EXPECT_EQ(t->StepsDrawn(), 1);
    t->Resume();
    // One step is due at once; the next only an interval later, not all of them at once.
    PollUntil([&] { return t->StepsDrawn() == 2 && Waiting(clock); }, "second step");
    Settle();
    EXPECT_EQ(t->StepsDrawn(), 2);
    RunOut(clock, *t, 100);
    EXPECT_EQ(t->StepsDrawn(), 6);
    EXPECT_TRUE(s.IsNew());
}

TEST(TransitionThreadSequence, PlaysTheSelectionInTurn) {
    TManualClockScope clock;
    TThreadScene s(16, 16);
    const TqelEffectSelection sel = {84, 85};
    int index = -1;
    const int expected[] = {84, 85, 84};
    const int indexes[] = {0, 1, 0};
    for (int i = 0; i < 3; ++i) {
        auto p = s.Params(qtfSelectionSequence);
        p.Selection = &sel;
        p.SelectionIndex = &index;
        auto t = StartTransition(p);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->Effect(), expected[i]);
        EXPECT_EQ(index, indexes[i]);
        RunOut(clock, *t, static_cast<uint64_t>(std::max(t->Interval(), 1)));
        EXPECT_TRUE(s.IsNew());
    }
}

TEST(TransitionThreadSequence, EmptySelectionRandomCopiesAtOnce) {
    TManualClockScope clock;
    TThreadScene s(16, 16);
    const TqelEffectSelection empty;
    auto p = s.Params(qtfSelectionRandom);
    p.Selection = &empty;
    auto t = StartTransition(p);
    EXPECT_EQ(t->Effect(), qtfNone);
    PollUntil([&] { return t->FinalFrameDrawn(); }, "final frame");
    EXPECT_EQ(t->StepsDrawn(), 0);
    RunOut(clock, *t, 1);
}

TEST(TransitionThreadSequence, AStoredRandomPlaysLikeACut) {
    TManualClockScope clock;
    TThreadScene s(16, 16);
    const TqelEffectSelection sel = {qtfRandom};
    auto p = s.Params(qtfSelectionRandom);
    p.Selection = &sel;
    auto t = StartTransition(p);
    EXPECT_EQ(t->Effect(), qtfRandom);
    PollUntil([&] { return t->FinalFrameDrawn(); }, "final frame");
    EXPECT_EQ(t->StepsDrawn(), 0);
    EXPECT_TRUE(s.IsNew());
    RunOut(clock, *t, 1);
}

} // namespace
} // namespace qel
