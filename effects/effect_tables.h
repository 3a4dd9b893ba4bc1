#pragma once
// Tables shared by the transition effects: the effects' random number generator, the random dissolve
// table (one per process, built on first use) and the four 8 x 8 fade patterns.
#include <array>
#include <cstdint>

#include "platform/core/object.h"
#include "platform/graphics/gdi.h"

namespace qel {

// A uniformly random integer in [0, range) (0 when range < 1). Thread-safe.
int EffectRandom(int range);
// Seeds the generator from the clock (done once automatically) or with a fixed seed (repeatable runs).
void EffectRandomize();
void EffectRandSeed(uint64_t seed);

// The dissolve table: a random order of the 128 rows of a 128 x 128 grid, and a random order of all its
// 16384 cells.
class TqelRandPoints : public TObject {
    QEL_CLASS(TqelRandPoints, TObject)
    static constexpr int GridSize = 128;
    static constexpr int CellCount = GridSize * GridSize;

    // Builds a fresh table from the effects' generator.
    TqelRandPoints();

    // The process-wide table, built on first use (thread-safe); it lives until the program ends.
    static const TqelRandPoints& Instance();

    std::array<uint8_t, GridSize> RowOrder{};
    std::array<uint8_t, CellCount> CellX{};
    std::array<uint8_t, CellCount> CellY{};
};

// The fade patterns 1 to 4: 8 x 8 monochrome bitmaps whose 0 bits darken (black) and 1 bits keep (white)
// when drawn with the raster operation that ANDs the destination with the pattern.
//   1: black where x and y are both odd;  2: black where both are even;
//   3: black where x and y have the same parity;  4: black everywhere except where both are odd.
bool FadePatternBlack(int pattern, int x, int y);
// A pattern brush of fade pattern `pattern` (1..4); the caller deletes it. Null for other numbers.
HBRUSH CreateFadePatternBrush(int pattern);

} // namespace qel
