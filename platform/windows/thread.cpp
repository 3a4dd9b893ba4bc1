#include "platform/windows/thread.h"

#include <deque>

#include "platform/core/clock.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TThread)

// ---- the synchronisation queue ------------------------------------------------------------------

namespace {

struct TSyncRequest {
    TThread* Thread = nullptr;
    TThreadMethod Method;
    bool Wait = false;
    bool Done = false;
    std::exception_ptr Error;
};

struct TSyncQueue {
    std::mutex Lock;
    std::condition_variable Changed; // a request arrived, a request was done, or a thread finished
    std::deque<std::shared_ptr<TSyncRequest>> Requests;
    std::mutex WakeLock;
    std::function<void()> Wake;
};

TSyncQueue& SyncQueue() {
    static TSyncQueue* q = new TSyncQueue; // lives until exit: workers may still touch it then
    return *q;
}

std::atomic<std::thread::id> gMainThread{std::this_thread::get_id()};
thread_local TThread* tCurrentThread = nullptr;

void WakeGuiThread() {
    TSyncQueue& q = SyncQueue();
    std::function<void()> wake;
    {
        std::lock_guard g(q.WakeLock);
        wake = q.Wake;
    }
    if (wake) wake();
}

void NotifySyncWaiters() {
    TSyncQueue& q = SyncQueue();
    { std::lock_guard g(q.Lock); }
    q.Changed.notify_all();
}

// Runs one pending request; false when there was none.
bool RunOneRequest() {
    TSyncQueue& q = SyncQueue();
    std::shared_ptr<TSyncRequest> r;
    {
        std::lock_guard g(q.Lock);
        if (q.Requests.empty()) return false;
        r = q.Requests.front();
        q.Requests.pop_front();
    }
    std::exception_ptr error;
    try {
        r->Method();
    } catch (...) {
        error = std::current_exception();
    }
    if (r->Wait) {
        {
            std::lock_guard g(q.Lock);
            r->Error = std::move(error); // the waiting worker becomes the only owner
            r->Done = true;
        }
        q.Changed.notify_all();
    } else if (error) {
        std::rethrow_exception(error);
    }
    return true;
}

} // namespace

std::thread::id MainThreadID() {
    return gMainThread.load();
}
void SetMainThreadID(std::thread::id id) {
    gMainThread.store(id);
}
bool IsMainThread() {
    return std::this_thread::get_id() == gMainThread.load();
}

void SetSyncWakeUp(std::function<void()> wake) {
    TSyncQueue& q = SyncQueue();
    std::lock_guard g(q.WakeLock);
    q.Wake = std::move(wake);
}

bool SyncRequestPending() {
    TSyncQueue& q = SyncQueue();
    std::lock_guard g(q.Lock);
    return !q.Requests.empty();
}

bool CheckSynchronize(uint64_t timeoutMs) {
    if (!IsMainThread()) return false;
    TSyncQueue& q = SyncQueue();
    if (timeoutMs > 0) {
        std::unique_lock g(q.Lock);
        Clock().WaitFor(g, q.Changed, timeoutMs, [&] { return !q.Requests.empty(); });
    }
    bool any = false;
    while (RunOneRequest()) any = true;
    return any;
}

void TThread::Synchronize(TThread* thread, const TThreadMethod& method) {
    if (!method) return;
    if (IsMainThread()) {
        method();
        return;
    }
    TSyncQueue& q = SyncQueue();
    auto r = std::make_shared<TSyncRequest>();
    r->Thread = thread;
    r->Method = method;
    r->Wait = true;
    {
        std::lock_guard g(q.Lock);
        q.Requests.push_back(r);
    }
    q.Changed.notify_all();
    WakeGuiThread();
    std::exception_ptr error;
    {
        std::unique_lock g(q.Lock);
        q.Changed.wait(g, [&] { return r->Done; });
        error = std::move(r->Error);
    }
    if (error) std::rethrow_exception(error);
}

void TThread::Queue(TThread* thread, const TThreadMethod& method) {
    if (!method) return;
    if (IsMainThread()) {
        method();
        return;
    }
    TSyncQueue& q = SyncQueue();
    auto r = std::make_shared<TSyncRequest>();
    r->Thread = thread;
    r->Method = method;
    {
        std::lock_guard g(q.Lock);
        q.Requests.push_back(std::move(r));
    }
    q.Changed.notify_all();
    WakeGuiThread();
}

void TThread::RemoveQueuedEvents(TThread* thread) {
    TSyncQueue& q = SyncQueue();
    std::lock_guard g(q.Lock);
    std::erase_if(q.Requests,
                  [&](const std::shared_ptr<TSyncRequest>& r) { return !r->Wait && r->Thread == thread; });
}

TThread* TThread::CurrentThread() {
    return tCurrentThread;
}

int TThread::ProcessorCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n ? static_cast<int>(n) : 1;
}

// ---- TThread ------------------------------------------------------------------------------------

struct TThread::TShared {
    std::mutex Lock;
    bool Finished = false;   // Execute and OnTerminate have run
    bool ObjectGone = false; // the object was destroyed from inside its own OnTerminate
    bool InDoTerminate = false;
    std::condition_variable Changed;
};

TThread::TThread(bool createSuspended)
    : FShared(std::make_shared<TShared>()), FSuspendCount(createSuspended ? 1 : 0),
      FCreateSuspended(createSuspended) {}

TThread::~TThread() {
    bool launched;
    {
        std::lock_guard g(FLock);
        launched = FLaunched;
    }
    if (!launched) return;
    if (std::this_thread::get_id() == FThreadID.load()) {
        // Freed by its own thread (FreeOnTerminate): nothing is left to wait for.
        if (FThread.joinable()) FThread.detach();
        return;
    }
    bool inOwnTerminate;
    {
        std::lock_guard g(FShared->Lock);
        inOwnTerminate = FShared->InDoTerminate;
        if (inOwnTerminate) FShared->ObjectGone = true;
    }
    if (inOwnTerminate) {
        // Destroyed by its own OnTerminate handler: the worker is blocked until the handler
        // returns, so it cannot be joined here. It only touches the shared state from now on.
        if (FThread.joinable()) FThread.detach();
        return;
    }
    Terminate();
    {
        std::lock_guard g(FLock);
        FSuspendCount = 0;
    }
    FChanged.notify_all();
    WaitFor();
    if (FThread.joinable()) FThread.join();
    RemoveQueuedEvents(this);
}

void TThread::Launch() {
    // FLock held by the caller.
    FLaunched = true;
    FStarted.store(true, std::memory_order_release);
    FThread = std::thread([this] { Run(); });
}

void TThread::AfterConstruction() {
    std::lock_guard g(FLock);
    if (!FCreateSuspended && !FLaunched && FSuspendCount == 0) Launch();
}

void TThread::Resume() {
    {
        std::lock_guard g(FLock);
        if (FSuspendCount > 0) --FSuspendCount;
        if (FSuspendCount == 0 && !FLaunched) Launch();
    }
    FChanged.notify_all();
}

void TThread::Suspend() {
    std::lock_guard g(FLock);
    ++FSuspendCount;
}

bool TThread::Suspended() const {
    std::lock_guard g(FLock);
    return FSuspendCount > 0;
}

void TThread::SetSuspended(bool value) {
    if (value) {
        if (!Suspended()) Suspend();
    } else {
        {
            std::lock_guard g(FLock);
            FSuspendCount = 0;
            if (!FLaunched) Launch();
        }
        FChanged.notify_all();
    }
}

void TThread::Terminate() {
    FTerminated.store(true, std::memory_order_release);
    { std::lock_guard g(FLock); }
    FChanged.notify_all();
    TerminatedSet();
}

bool TThread::Finished() const {
    std::lock_guard g(FShared->Lock);
    return FShared->Finished;
}

TNotifyEvent TThread::OnTerminate() const {
    std::lock_guard g(FLock);
    return FOnTerminate;
}

void TThread::SetOnTerminate(TNotifyEvent e) {
    std::lock_guard g(FLock);
    FOnTerminate = std::move(e);
}

std::exception_ptr TThread::FatalException() const {
    std::lock_guard g(FLock);
    return FFatal;
}

void TThread::DoTerminate() {
    TNotifyEvent handler = OnTerminate();
    if (handler) handler(this);
}

void TThread::CheckSuspended() {
    std::unique_lock g(FLock);
    FChanged.wait(g, [&] { return FSuspendCount == 0 || Terminated(); });
}

bool TThread::SleepFor(uint64_t ms) {
    {
        std::unique_lock g(FLock);
        if (ms > 0) Clock().WaitFor(g, FChanged, ms, [&] { return Terminated(); });
    }
    CheckSuspended();
    return !Terminated();
}

int TThread::WaitFor() {
    if (std::this_thread::get_id() == FThreadID.load() && FStarted.load())
        throw EThread("Cannot call WaitFor on the current thread");
    {
        std::lock_guard g(FLock);
        if (!FLaunched) throw EThread("Cannot wait for a thread that was never started");
    }
    if (IsMainThread()) {
        // Called from inside this thread's own OnTerminate: Execute is over and the worker only
        // waits for the handler to return, so there is nothing left to wait for here.
        {
            std::lock_guard g(FShared->Lock);
            if (FShared->InDoTerminate) return FReturnValue.load();
        }
        // Serve the workers' synchronisation requests while waiting, or a worker blocked in
        // Synchronize (including this thread's own OnTerminate) would never finish.
        TSyncQueue& q = SyncQueue();
        for (;;) {
            if (Finished()) break;
            CheckSynchronize(0);
            std::unique_lock g(q.Lock);
            q.Changed.wait(g, [&] { return !q.Requests.empty() || Finished(); });
        }
    } else {
        std::unique_lock g(FShared->Lock);
        FShared->Changed.wait(g, [&] { return FShared->Finished; });
    }
    return FReturnValue.load();
}

void TThread::TerminateAndWait() {
    Terminate();
    {
        std::lock_guard g(FLock);
        if (!FLaunched) return;
        FSuspendCount = 0;
    }
    FChanged.notify_all();
    if (std::this_thread::get_id() == FThreadID.load()) return;
    WaitFor();
    {
        std::lock_guard g(FShared->Lock);
        if (FShared->InDoTerminate) return; // joined (or detached) by the destructor
    }
    if (FThread.joinable()) FThread.join();
}

void TThread::Run() {
    FThreadID.store(std::this_thread::get_id());
    tCurrentThread = this;
    std::shared_ptr<TShared> shared = FShared;
    CheckSuspended();
    try {
        Execute();
    } catch (...) {
        std::lock_guard g(FLock);
        FFatal = std::current_exception();
    }
    try {
        Synchronize(this, [this, shared] {
            {
                std::lock_guard g(shared->Lock);
                shared->InDoTerminate = true;
            }
            try {
                DoTerminate();
            } catch (...) {
                std::lock_guard g(shared->Lock);
                shared->InDoTerminate = false;
                throw;
            }
            std::lock_guard g(shared->Lock);
            shared->InDoTerminate = false;
        });
    } catch (...) {
        // An exception from OnTerminate has nobody to go to on this thread; the GUI thread
        // already saw it run. Keep it for the owner.
        std::lock_guard g(shared->Lock);
        if (!shared->ObjectGone) {
            std::lock_guard g2(FLock);
            if (!FFatal) FFatal = std::current_exception();
        }
    }
    tCurrentThread = nullptr;
    bool gone, freeIt = false;
    {
        std::lock_guard g(shared->Lock);
        gone = shared->ObjectGone;
        if (!gone) freeIt = FFreeOnTerminate.load();
        shared->Finished = true;
    }
    shared->Changed.notify_all();
    NotifySyncWaiters();
    if (freeIt) delete this;
}

} // namespace qel
