#include "effects/effect_tables.h"

#include <mutex>
#include <random>
#include <vector>

#include "platform/core/clock.h"

namespace qel {

namespace {

struct TEffectRng {
    std::mutex Lock;
    std::mt19937_64 Engine;
    bool Seeded = false;
};

TEffectRng& Rng() {
    static TEffectRng rng;
    return rng;
}

uint64_t ClockSeed() {
    std::random_device device;
    return (static_cast<uint64_t>(device()) << 32) ^ device() ^ Clock().Milliseconds();
}

} // namespace

int EffectRandom(int range) {
    if (range < 1) return 0;
    TEffectRng& rng = Rng();
    std::lock_guard g(rng.Lock);
    if (!rng.Seeded) {
        rng.Engine.seed(ClockSeed());
        rng.Seeded = true;
    }
    std::uniform_int_distribution<int> dist(0, range - 1);
    return dist(rng.Engine);
}

void EffectRandomize() {
    TEffectRng& rng = Rng();
    std::lock_guard g(rng.Lock);
    rng.Engine.seed(ClockSeed());
    rng.Seeded = true;
}

void EffectRandSeed(uint64_t seed) {
    TEffectRng& rng = Rng();
    std::lock_guard g(rng.Lock);
    rng.Engine.seed(seed);
    rng.Seeded = true;
}

QEL_IMPLEMENT_CLASS(TqelRandPoints, [](auto&) {})

TqelRandPoints::TqelRandPoints() {
    // Every cell (i, j) once, i outer and j inner, and every row once; each slot of the tables takes a
    // uniformly chosen entry of what is left.
    std::vector<uint16_t> pairs(CellCount);
    for (int i = 0; i < GridSize; ++i)
        for (int j = 0; j < GridSize; ++j)
            pairs[static_cast<size_t>(i * GridSize + j)] = uint16_t(i * GridSize + j);
    std::vector<uint8_t> rows(GridSize);
    for (int r = 0; r < GridSize; ++r) rows[static_cast<size_t>(r)] = uint8_t(r);

    for (int j = 0; j < GridSize; ++j) {
        for (int k = 0; k < GridSize; ++k) {
            size_t at = static_cast<size_t>(EffectRandom(static_cast<int>(pairs.size())));
            uint16_t pair = pairs[at];
            CellX[static_cast<size_t>(j * GridSize + k)] = uint8_t(pair / GridSize);
            CellY[static_cast<size_t>(j * GridSize + k)] = uint8_t(pair % GridSize);
            pairs[at] = pairs.back();
            pairs.pop_back();
        }
        size_t at = static_cast<size_t>(EffectRandom(static_cast<int>(rows.size())));
        RowOrder[static_cast<size_t>(j)] = rows[at];
        rows[at] = rows.back();
        rows.pop_back();
    }
}

const TqelRandPoints& TqelRandPoints::Instance() {
    static const TqelRandPoints table = [] {
        EffectRandomize();
        return TqelRandPoints();
    }();
    return table;
}

bool FadePatternBlack(int pattern, int x, int y) {
    bool xOdd = (x & 1) != 0, yOdd = (y & 1) != 0;
    switch (pattern) {
    case 1: return xOdd && yOdd;
    case 2: return !xOdd && !yOdd;
    case 3: return xOdd == yOdd;
    case 4: return !(xOdd && yOdd);
    default: return false;
    }
}

HBRUSH CreateFadePatternBrush(int pattern) {
    if (pattern < 1 || pattern > 4) return nullptr;
    // Monochrome rows are padded to two bytes, the leftmost pixel in the high bit, 1 = white.
    uint8_t bits[16] = {};
    for (int y = 0; y < 8; ++y) {
        uint8_t row = 0;
        for (int x = 0; x < 8; ++x)
            if (!FadePatternBlack(pattern, x, y)) row |= uint8_t(0x80 >> x);
        bits[y * 2] = row;
    }
    HBITMAP bitmap = CreateBitmap(8, 8, 1, 1, bits);
    if (!bitmap) return nullptr;
    HBRUSH brush = CreatePatternBrush(bitmap);
    DeleteObject(bitmap);
    return brush;
}

} // namespace qel
