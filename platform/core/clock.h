#pragma once
// The one clock all timing goes through: tick counts, sleeps, timed waits. Tests install a manual
// clock and advance it by hand, so timed behaviour runs without real waiting and without flakiness.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace qel {

class TClock {
public:
    virtual ~TClock() = default;
    // Milliseconds since an arbitrary start; never decreases.
    virtual uint64_t Milliseconds() = 0;
    // Blocks the calling thread for `ms` milliseconds of this clock.
    virtual void Sleep(uint64_t ms) = 0;
    // Waits on `cv` (with `lock` held) until `pred` holds or the clock reaches `deadline`.
    // Returns pred(). Spurious wake-ups are handled here.
    virtual bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint64_t deadline,
                           const std::function<bool()>& pred) = 0;
    bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint64_t ms,
                 const std::function<bool()>& pred) {
        return WaitUntil(lock, cv, Milliseconds() + ms, pred);
    }
};

class TRealClock : public TClock {
public:
    uint64_t Milliseconds() override;
    void Sleep(uint64_t ms) override;
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint64_t deadline,
                   const std::function<bool()>& pred) override;

private:
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
};

// Time moves only when Advance or Set is called (from any thread). Sleepers and timed waits wake
// when the clock passes their deadline.
class TManualClock : public TClock {
public:
    explicit TManualClock(uint64_t start = 1000) : FNow(start) {}
    uint64_t Milliseconds() override { return FNow.load(); }
    void Sleep(uint64_t ms) override;
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint64_t deadline,
                   const std::function<bool()>& pred) override;
    void Advance(uint64_t ms);
    void Set(uint64_t now);
    // Number of threads currently blocked in Sleep or WaitUntil on this clock.
    int Sleepers() const { return FSleepers.load(); }

private:
    std::atomic<uint64_t> FNow;
    std::atomic<int> FSleepers{0};
    std::mutex FLock;
    std::condition_variable FChanged;
};

// The process clock (a real clock until replaced).
TClock& Clock();
// Installs `clock` (nullptr restores the real clock); returns the previous one.
std::shared_ptr<TClock> SetClock(std::shared_ptr<TClock> clock);
// The platform's 32-bit millisecond tick count (wraps after 49.7 days).
inline uint32_t GetTickCount() { return static_cast<uint32_t>(Clock().Milliseconds()); }
inline void Sleep(uint64_t ms) { Clock().Sleep(ms); }

// Installs a manual clock for the lifetime of the guard (tests).
class TManualClockScope {
public:
    explicit TManualClockScope(uint64_t start = 1000);
    ~TManualClockScope();
    TManualClock& operator*() { return *FClock; }
    TManualClock* operator->() { return FClock.get(); }

private:
    std::shared_ptr<TManualClock> FClock;
    std::shared_ptr<TClock> FPrevious;
};

} // namespace qel
