#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/windows/thread.h"

using namespace qel;

namespace {

// Runs a callable as Execute.
class TLambdaThread : public TThread {
public:
    explicit TLambdaThread(std::function<void(TLambdaThread&)> body, bool suspended = true)
        : TThread(suspended), FBody(std::move(body)) {}
    ~TLambdaThread() override { TerminateAndWait(); }
    using TThread::CheckSuspended;
    using TThread::Queue;
    using TThread::SleepFor;
    using TThread::Synchronize;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(TLambdaThread&)> FBody;
};

TEST(ThreadTest, SynchronizeRunsOnGuiThreadWhileItWaits) {
    std::vector<int> seen;
    std::atomic<bool> allOnMain{true};
    TLambdaThread t([&](TLambdaThread& self) {
        for (int i = 0; i < 20; ++i)
            self.Synchronize([&, i] {
                if (!IsMainThread()) allOnMain = false;
                seen.push_back(i); // unguarded: only the GUI thread touches it
            });
        self.SetReturnValue(42);
    });
    t.Start();
    EXPECT_EQ(t.WaitFor(), 42);
    ASSERT_EQ(seen.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(seen[i], i);
    EXPECT_TRUE(allOnMain.load());
    EXPECT_TRUE(t.Finished());
}

TEST(ThreadTest, OnTerminateRunsOnGuiThreadAfterExecute) {
    std::vector<std::string> order;
    std::atomic<bool> executed{false};
    TLambdaThread t([&](TLambdaThread&) { executed = true; });
    bool onMain = false;
    t.SetOnTerminate([&](TObject* sender) {
        onMain = IsMainThread();
        order.push_back(executed ? "after" : "before");
        EXPECT_EQ(sender, &t);
    });
    t.Start();
    t.WaitFor();
    ASSERT_EQ(order.size(), 1u);
    EXPECT_EQ(order[0], "after");
    EXPECT_TRUE(onMain);
}

TEST(ThreadTest, QueueDoesNotWaitAndRunsOnCheckSynchronize) {
    std::atomic<int> queued{0};
    int ran = 0;
    TLambdaThread t([&](TLambdaThread& self) {
        for (int i = 0; i < 5; ++i) {
            self.Queue([&] { ++ran; });
            ++queued;
        }
    });
    t.Start();
    // The worker finishes its Execute without the GUI thread running anything.
    while (queued.load() < 5) std::this_thread::yield();
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(SyncRequestPending());
    t.WaitFor(); // services the queued calls and OnTerminate
    EXPECT_EQ(ran, 5);
}

TEST(ThreadTest, ExceptionInSynchronizedMethodReachesTheWorker) {
    std::atomic<bool> caught{false};
    TLambdaThread t([&](TLambdaThread& self) {
        try {
            self.Synchronize([] { throw EInvalidOperation("boom"); });
        } catch (const EInvalidOperation& e) {
            caught = std::string(e.Message()) == "boom";
        }
    });
    t.Start();
    t.WaitFor();
    EXPECT_TRUE(caught.load());
}

TEST(ThreadTest, ExceptionEscapingExecuteIsKeptAndOnTerminateStillRuns) {
    TLambdaThread t([](TLambdaThread&) { throw std::runtime_error("escaped"); });
    bool terminated = false;
    t.SetOnTerminate([&](TObject*) { terminated = true; });
    t.Start();
    t.WaitFor();
    EXPECT_TRUE(terminated);
    ASSERT_TRUE(t.FatalException());
    EXPECT_THROW(std::rethrow_exception(t.FatalException()), std::runtime_error);
}

TEST(ThreadTest, CreatedSuspendedWaitsForStart) {
    std::atomic<bool> ran{false};
    TLambdaThread t([&](TLambdaThread&) { ran = true; });
    EXPECT_TRUE(t.Suspended());
    EXPECT_FALSE(t.Started());
    EXPECT_THROW(t.WaitFor(), EThread);
    EXPECT_FALSE(ran.load());
    t.Start();
    t.WaitFor();
    EXPECT_TRUE(ran.load());
}

TEST(ThreadTest, CreateStartsAThreadBuiltRunning) {
    std::atomic<bool> ran{false};
    auto t = TThread::Create<TLambdaThread>([&](TLambdaThread&) { ran = true; }, false);
    EXPECT_TRUE(t->Started());
    t->WaitFor();
    EXPECT_TRUE(ran.load());
}

TEST(ThreadTest, CooperativeSuspendPausesAtPausePoints) {
    std::atomic<int> steps{0};
    std::atomic<bool> paused{false};
    TLambdaThread t([&](TLambdaThread& self) {
        while (!self.Terminated()) {
            ++steps;
            self.CheckSuspended();
            std::this_thread::yield();
        }
    });
    t.Start();
    while (steps.load() < 3) std::this_thread::yield();
    t.Suspend();
    t.Suspend(); // counted
    EXPECT_TRUE(t.Suspended());
    // Once suspended the worker finishes at most the step it is in and then waits at its pause point,
    // however long it is given (when that step ends is up to the scheduler, so only the bound is
    // checked).
    int a = steps.load();
    for (int i = 0; i < 2000; ++i) std::this_thread::yield();
    EXPECT_LE(steps.load() - a, 1);
    for (int i = 0; i < 2000; ++i) std::this_thread::yield();
    EXPECT_LE(steps.load() - a, 1);
    t.Resume();
    EXPECT_TRUE(t.Suspended());
    t.Resume();
    EXPECT_FALSE(t.Suspended());
    int c = steps.load();
    while (steps.load() < c + 3) std::this_thread::yield();
    paused = true;
    t.Terminate();
    t.WaitFor();
    EXPECT_TRUE(paused.load());
}

TEST(ThreadTest, TerminateReleasesASuspendedThread) {
    std::atomic<bool> reached{false};
    TLambdaThread t([&](TLambdaThread& self) {
        reached = true;
        while (!self.Terminated()) self.CheckSuspended();
    });
    t.Start();
    while (!reached.load()) std::this_thread::yield();
    t.Suspend();
    t.Terminate();
    t.WaitFor();
    EXPECT_TRUE(t.Finished());
}

TEST(ThreadTest, SleepForFollowsTheManualClockAndTerminateCutsItShort) {
    TManualClockScope clock;
    std::atomic<int> woke{0};
    TLambdaThread t([&](TLambdaThread& self) {
        if (self.SleepFor(100)) ++woke;
        if (!self.SleepFor(1000000)) woke += 10;
    });
    t.Start();
    while (clock->Sleepers() == 0) std::this_thread::yield();
    EXPECT_EQ(woke.load(), 0);
    clock->Advance(99);
    for (int i = 0; i < 1000; ++i) std::this_thread::yield();
    EXPECT_EQ(woke.load(), 0);
    clock->Advance(1);
    while (woke.load() == 0) std::this_thread::yield();
    EXPECT_EQ(woke.load(), 1);
    t.Terminate();
    t.WaitFor();
    EXPECT_EQ(woke.load(), 11);
}

TEST(ThreadTest, WaitForInsideASynchronizedCallServesOtherThreads) {
    // Thread B is blocked in Synchronize while the GUI thread, inside a call synchronised by A,
    // waits for B: the inner wait must run B's request.
    std::atomic<bool> bAsked{false};
    bool bServed = false;
    TLambdaThread b([&](TLambdaThread& self) {
        bAsked = true;
        self.Synchronize([&] { bServed = true; });
    });
    TLambdaThread a([&](TLambdaThread& self) {
        self.Synchronize([&] {
            b.Start();
            b.WaitFor();
        });
    });
    a.Start();
    a.WaitFor();
    EXPECT_TRUE(bAsked.load());
    EXPECT_TRUE(bServed);
}

TEST(ThreadTest, FreeOnTerminateReleasesTheObject) {
    static std::atomic<int> destroyed{0};
    class TSelfFreeing : public TThread {
    public:
        TSelfFreeing() : TThread(true) {}
        ~TSelfFreeing() override { ++destroyed; }

    protected:
        void Execute() override {}
    };
    destroyed = 0;
    auto* t = new TSelfFreeing;
    t->SetFreeOnTerminate(true);
    bool ended = false;
    t->SetOnTerminate([&](TObject*) { ended = true; });
    t->Start();
    while (destroyed.load() == 0) CheckSynchronize(1);
    EXPECT_TRUE(ended);
    EXPECT_EQ(destroyed.load(), 1);
}

TEST(ThreadTest, DestroyedFromItsOwnOnTerminateIsSafe) {
    auto* t = new TLambdaThread([](TLambdaThread&) {});
    bool deleted = false;
    t->SetOnTerminate([&](TObject* sender) {
        delete static_cast<TLambdaThread*>(sender);
        deleted = true;
    });
    t->Start();
    while (!deleted) CheckSynchronize(1);
    EXPECT_TRUE(deleted);
}

TEST(ThreadTest, DestructorOfANeverStartedThreadDoesNotHang) {
    std::atomic<bool> ran{false};
    {
        TLambdaThread t([&](TLambdaThread&) { ran = true; });
    }
    EXPECT_FALSE(ran.load());
}

TEST(ThreadTest, WaitForOnItselfRaises) {
    std::atomic<bool> raised{false};
    TLambdaThread t([&](TLambdaThread& self) {
        try {
            self.WaitFor();
        } catch (const EThread&) {
            raised = true;
        }
    });
    t.Start();
    t.WaitFor();
    EXPECT_TRUE(raised.load());
}

TEST(ThreadTest, CheckSynchronizeIsANoOpOffTheGuiThread) {
    std::atomic<int> result{-1};
    TLambdaThread t([&](TLambdaThread&) { result = CheckSynchronize(0) ? 1 : 0; });
    t.Start();
    t.WaitFor();
    EXPECT_EQ(result.load(), 0);
}

TEST(ThreadTest, PriorityIsStored) {
    TLambdaThread t([](TLambdaThread&) {});
    EXPECT_EQ(t.Priority(), tpNormal);
    t.SetPriority(tpLower);
    EXPECT_EQ(t.Priority(), tpLower);
}

TEST(ThreadListTest, ConcurrentAddsAreAllKeptAndDuplicatesIgnored) {
    TThreadList<int> list;
    std::vector<std::unique_ptr<TLambdaThread>> threads;
    for (int k = 0; k < 4; ++k) {
        threads.push_back(std::make_unique<TLambdaThread>([&list, k](TLambdaThread&) {
            for (int i = 0; i < 500; ++i) {
                list.Add(k * 1000 + i);
                list.Add(k * 1000 + i); // ignored
            }
        }));
        threads.back()->Start();
    }
    for (auto& t : threads) t->WaitFor();
    auto& v = list.LockList();
    EXPECT_EQ(v.size(), 2000u);
    list.LockList(); // re-entrant
    list.UnlockList();
    list.UnlockList();
    list.SetDuplicates(TThreadList<int>::dupError);
    EXPECT_THROW(list.Add(0), EListError);
    list.Remove(0);
    EXPECT_EQ(list.Count(), 1999);
}

} // namespace
