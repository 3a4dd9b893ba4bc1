#include "platform/core/random.h"

#include <atomic>
#include <chrono>

namespace qel {

namespace {
std::atomic<uint32_t> gSeed{0};

// One step of the platform's linear congruential generator, done atomically.
uint32_t Next() {
    uint32_t cur = gSeed.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = cur * 0x08088405u + 1u;
    } while (!gSeed.compare_exchange_weak(cur, next, std::memory_order_relaxed));
    return next;
}
} // namespace

void Randomize() {
    auto t = std::chrono::system_clock::now().time_since_epoch();
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t).count();
    gSeed.store(static_cast<uint32_t>(ns ^ (ns >> 32)), std::memory_order_relaxed);
}

int Random(int range) {
    if (range <= 0) return 0;
    return static_cast<int>((static_cast<uint64_t>(Next()) * static_cast<uint64_t>(range)) >> 32);
}

double Random() {
    return static_cast<double>(Next()) * (1.0 / 4294967296.0);
}

uint32_t GetRandSeed() {
    return gSeed.load(std::memory_order_relaxed);
}
void SetRandSeed(uint32_t seed) {
    gSeed.store(seed, std::memory_order_relaxed);
}

} // namespace qel
