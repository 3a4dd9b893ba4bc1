#pragma once
// The platform's seedable pseudo-random generator: the same seed gives the same sequence. One
// generator per process, safe to call from several threads.
#include <cstdint>

namespace qel {

// Seeds the generator from the system clock.
void Randomize();
// 0 <= result < range (0 when range <= 0).
int Random(int range);
// 0 <= result < 1.
double Random();
uint32_t GetRandSeed();
void SetRandSeed(uint32_t seed);

} // namespace qel
