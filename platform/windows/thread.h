#pragma once
// Worker threads and their synchronisation with the GUI thread.
//
// The GUI thread is the thread that runs the message loop (by default the thread that started the
// program). Worker threads hand methods to it with Synchronize (blocking) or Queue (not blocking);
// the GUI thread runs them whenever it services synchronisation: in GetMessage/PeekMessage, in modal
// loops, in CheckSynchronize, and in WaitFor called on the GUI thread.
//
// Suspension is cooperative: Suspend asks the worker to pause, and the worker pauses at its next
// pause point (CheckSuspended, SleepFor, Synchronize) - never while it holds a lock of its own.
//
// Usage:
//   class TCounter : public qel::TThread {
//   public:
//       TCounter() : TThread(true) {}
//   protected:
//       void Execute() override { while (!Terminated()) { ...; Synchronize([&] { Show(); }); SleepFor(10); }
//       }
//   };
//   auto t = qel::TThread::Create<TCounter>(); // or construct suspended and call Start()
//   ...
//   t->Terminate(); t->WaitFor();
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core/events.h"
#include "platform/core/object.h"

namespace qel {

using TThreadMethod = std::function<void()>;

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
    QEL_CLASS(TThread, TObject)
    // A thread created suspended waits at its start gate until Start (or Resume). One created
    // running starts in AfterConstruction (Create<T> calls it), once the derived object is complete.
    explicit TThread(bool createSuspended);
    // Terminates, releases a suspended thread and waits for it (servicing synchronisation on the
    // GUI thread). Derived classes whose Execute uses their own members call TerminateAndWait() in
    // their destructor, since those members are gone by the time this destructor runs.
    ~TThread() override;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Constructs T and starts it unless it was constructed suspended.
    template <typename T, typename... A>
    static std::unique_ptr<T> Create(A&&... args) {
        auto t = std::make_unique<T>(std::forward<A>(args)...);
        t->AfterConstruction();
        return t;
    }
    // Starts a thread constructed with createSuspended = false.
    void AfterConstruction();

    // Opens the start gate of a thread created suspended; undoes one Suspend of a running thread.
    void Start() { Resume(); }
    void Resume();
    // Asks the thread to pause at its next pause point (counted: one Resume per Suspend).
    void Suspend();
    bool Suspended() const;
    void SetSuspended(bool value);

    void Terminate();
    bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }
    // Waits until Execute and OnTerminate have run; returns ReturnValue. On the GUI thread the wait
    // services synchronisation requests of every thread. Raises EThread when called from the thread
    // itself or for a thread that was never started.
    int WaitFor();
    void TerminateAndWait();
    bool Finished() const;
    bool Started() const { return FStarted.load(std::memory_order_acquire); }

    int ReturnValue() const { return FReturnValue.load(); }
    void SetReturnValue(int v) { FReturnValue.store(v); }
    bool FreeOnTerminate() const { return FFreeOnTerminate.load(); }
    void SetFreeOnTerminate(bool v) { FFreeOnTerminate.store(v); }
    TThreadPriority Priority() const { return FPriority.load(); }
    void SetPriority(TThreadPriority p) { FPriority.store(p); } // stored only
    // Read on the GUI thread when the thread ends.
    TNotifyEvent OnTerminate() const;
    void SetOnTerminate(TNotifyEvent e);
    std::thread::id ThreadID() const { return FThreadID.load(); }
    // The exception that escaped Execute, if any (kept for the owner to inspect).
    std::exception_ptr FatalException() const;

    // Runs `method` on the GUI thread and waits for it; an exception it raises is re-raised here.
    // On the GUI thread it runs at once. Usable from any thread (thread may be nullptr).
    static void Synchronize(TThread* thread, const TThreadMethod& method);
    // Hands `method` to the GUI thread without waiting; on the GUI thread it runs at once.
    static void Queue(TThread* thread, const TThreadMethod& method);
    // Drops queued (not yet run) methods handed in by `thread`.
    static void RemoveQueuedEvents(TThread* thread);
    static TThread* CurrentThread(); // nullptr outside a TThread
    // Processor count, for callers that size pools.
    static int ProcessorCount();

protected:
    virtual void Execute() = 0;
    // Runs OnTerminate; called on the GUI thread after Execute.
    virtual void DoTerminate();
    // Called on this thread (Terminate) or any thread; wakes SleepFor.
    virtual void TerminatedSet() {}
    void Synchronize(const TThreadMethod& method) { Synchronize(this, method); }
    void Queue(const TThreadMethod& method) { Queue(this, method); }
    // Pause point: blocks while suspended (unless terminated).
    void CheckSuspended();
    // Sleeps `ms` milliseconds of the clock; returns early (false) when the thread is terminated.
    // Also a pause point.
    bool SleepFor(uint64_t ms);

private:
    void Run();
    void Launch();

    struct TShared; // what the worker still touches after DoTerminate, shared with it

    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::shared_ptr<TShared> FShared;
    std::thread FThread;
    std::atomic<std::thread::id> FThreadID{};
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FStarted{false};
    std::atomic<bool> FFreeOnTerminate{false};
    std::atomic<int> FReturnValue{0};
    std::atomic<TThreadPriority> FPriority{tpNormal};
    int FSuspendCount = 0; // guarded by FLock
    bool FCreateSuspended;
    bool FLaunched = false;    // guarded by FLock
    TNotifyEvent FOnTerminate; // guarded by FLock
    std::exception_ptr FFatal; // guarded by FLock
};

// A list guarded by a re-entrant lock: LockList returns the list with the lock held.
template <typename T = void*>
class TThreadList {
public:
    enum TDuplicates { dupIgnore, dupAccept, dupError };
    std::vector<T>& LockList() {
        FLock.lock();
        return FList;
    }
    void UnlockList() { FLock.unlock(); }
    // Adds unless already present (dupIgnore, the default), always (dupAccept), or raises
    // EListError (dupError).
    void Add(const T& item);
    void Remove(const T& item);
    void Clear() {
        std::lock_guard g(FLock);
        FList.clear();
    }
    int Count() {
        std::lock_guard g(FLock);
        return static_cast<int>(FList.size());
    }
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates d) { FDuplicates = d; }

private:
    std::recursive_mutex FLock;
    std::vector<T> FList;
    TDuplicates FDuplicates = dupIgnore;
};

template <typename T>
void TThreadList<T>::Add(const T& item) {
    std::lock_guard g(FLock);
    if (FDuplicates != dupAccept) {
        for (const T& x : FList)
            if (x == item) {
                if (FDuplicates == dupError) throw EListError("Duplicates not allowed");
                return;
            }
    }
    FList.push_back(item);
}

template <typename T>
void TThreadList<T>::Remove(const T& item) {
    std::lock_guard g(FLock);
    for (auto it = FList.begin(); it != FList.end(); ++it)
        if (*it == item) {
            FList.erase(it);
            return;
        }
}

// ---- the GUI thread and its synchronisation queue ---------------------------------------------------

// The GUI thread (initially the thread that started the program).
std::thread::id MainThreadID();
void SetMainThreadID(std::thread::id id);
bool IsMainThread();
// Runs every pending synchronisation request; on other threads it does nothing and returns false.
// With a timeout it first waits up to that many clock milliseconds for a request to arrive.
// Returns whether anything ran.
bool CheckSynchronize(uint64_t timeoutMs = 0);
// Whether a request is waiting for the GUI thread.
bool SyncRequestPending();
// The message queue installs a wake-up so a GUI thread blocked in GetMessage notices requests.
void SetSyncWakeUp(std::function<void()> wake);

} // namespace qel
