#pragma once
// Moves a manual clock on while a worker thread waits on it. A synchronous transition blocks the test's
// thread until its worker has ended; with the driver running, the worker's steps fall due in
// manual-clock time, one millisecond per turn, so a play runs through without real waiting.
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/core/clock.h"

namespace qel::testing_support {

class TClockDriver {
public:
    explicit TClockDriver(TManualClock& clock) : FClock(clock), FThread([this] { Run(); }) {}
    ~TClockDriver() {
        FStop = true;
        FThread.join();
    }
    TClockDriver(const TClockDriver&) = delete;
    TClockDriver& operator=(const TClockDriver&) = delete;

private:
    void Run() {
        while (!FStop.load()) {
            if (FClock.Sleepers() > 0) FClock.Advance(1);
            // Gives the woken worker its turn (this pause is not a measurement of anything).
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    }
    TManualClock& FClock;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

} // namespace qel::testing_support
