#include "platform/core/clock.h"

#include <thread>

namespace qel {

uint64_t TRealClock::Milliseconds() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - FStart).count());
}

void TRealClock::Sleep(uint64_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool TRealClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint64_t deadline,
                           const std::function<bool()>& pred) {
    auto until = FStart + std::chrono::milliseconds(deadline);
    return cv.wait_until(lock, until, pred);
}

void TManualClock::Sleep(uint64_t ms) {
    uint64_t deadline = FNow.load() + ms;
    std::unique_lock g(FLock);
    ++FSleepers;
    FChanged.wait(g, [&] { return FNow.load() >= deadline; });
    --FSleepers;
}

bool TManualClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint64_t deadline,
                             const std::function<bool()>& pred) {
    // The caller's condition variable is not ours to notify when time moves, so wait in short real
    // slices and look at the manual time between them. The outcome depends only on the manual time
    // and the predicate, never on the slice length.
    ++FSleepers;
    bool result;
    for (;;) {
        if (pred()) {
            result = true;
            break;
        }
        if (FNow.load() >= deadline) {
            result = pred();
            break;
        }
        cv.wait_for(lock, std::chrono::milliseconds(1));
    }
    --FSleepers;
    return result;
}

void TManualClock::Advance(uint64_t ms) {
    {
        std::lock_guard g(FLock);
        FNow += ms;
    }
    FChanged.notify_all();
}

void TManualClock::Set(uint64_t now) {
    {
        std::lock_guard g(FLock);
        if (now > FNow.load()) FNow = now;
    }
    FChanged.notify_all();
}

namespace {
std::mutex gClockLock;
std::shared_ptr<TClock>& ClockSlot() {
    static std::shared_ptr<TClock> clock = std::make_shared<TRealClock>();
    return clock;
}
std::atomic<TClock*> gCurrent{nullptr};
} // namespace

TClock& Clock() {
    TClock* c = gCurrent.load(std::memory_order_acquire);
    if (c) return *c;
    std::lock_guard g(gClockLock);
    c = ClockSlot().get();
    gCurrent.store(c, std::memory_order_release);
    return *c;
}

std::shared_ptr<TClock> SetClock(std::shared_ptr<TClock> clock) {
    std::lock_guard g(gClockLock);
    if (!clock) clock = std::make_shared<TRealClock>();
    std::shared_ptr<TClock> previous = ClockSlot();
    ClockSlot() = std::move(clock);
    gCurrent.store(ClockSlot().get(), std::memory_order_release);
    return previous;
}

TManualClockScope::TManualClockScope(uint64_t start) : FClock(std::make_shared<TManualClock>(start)) {
    FPrevious = SetClock(FClock);
}

TManualClockScope::~TManualClockScope() { SetClock(FPrevious); }

} // namespace qel
