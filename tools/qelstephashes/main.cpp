// Records a hash of the whole destination surface after every step of every drawn effect, for a set of
// rectangle sizes and effect sizes, or compares such a record with a fresh run. Used to prove that a
// change to the drawing code leaves every pixel of every step as it was:
//
//   qelstephashes record before.txt      (with the old code)
//   qelstephashes check before.txt       (with the new code; exit code 1 and the first difference)
//
// The dissolve table is built from a fixed seed, so the record is repeatable.
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "effects/effect_tables.h"
#include "effects/transition_steps.h"
#include "platform/graphics/memory_surface.h"

using namespace qel;

namespace {

struct TCase {
    int W, H, Size, DX, DY;
};

// Rectangle sizes: the benchmark's full-HD case, odd and tiny ones, sizes around the dissolve tile
// (128), effect sizes of 1, of more than a tile and absurdly large.
const TCase kCases[] = {
    {1920, 1080, 8, 5, 3}, {1, 1, 8, 1, 1},         {3, 5, 8, 2, 1},     {7, 3, 1, 0, 0},
    {33, 17, 8, 3, 2},     {100, 60, 10, 4, 1},     {50, 81, 3, 1, 4},   {257, 131, 8, 6, 5},
    {130, 300, 200, 2, 2}, {20, 12, INT_MAX, 1, 1}, {641, 479, 5, 7, 9}, {129, 1, 2, 0, 3},
};

struct TSurface : TMemorySurface {
    TSurface(int w, int h) : TMemorySurface(w, h), W(w), H(h) {}
    uint64_t Hash() const {
        uint64_t h = 1469598103934665603ull;
        for (int y = 0; y < H; ++y) {
            const uint32_t* row = Dib->Row(y);
            for (int x = 0; x < W; ++x) {
                h ^= row[x];
                h *= 1099511628211ull;
            }
        }
        return h;
    }
    int W, H;
};

using TKey = std::tuple<int, int, int, int, int>; // case index, effect, step (-1: steps drawn)

std::map<TKey, uint64_t> Run() {
    std::map<TKey, uint64_t> out;
    EffectRandSeed(20261211);
    const TqelRandPoints table;
    int index = 0;
    for (const TCase& c : kCases) {
        // Destination: the rectangle at (DX, DY) with a frame around it that must stay untouched.
        TSurface dest(c.W + c.DX + 3, c.H + c.DY + 2);
        TSurface source(c.W + 4, c.H + 3);
        for (int y = 0; y < source.H; ++y)
            for (int x = 0; x < source.W; ++x)
                source.Dib->Row(y)[x] = uint32_t(x * 2654435761u ^ y * 40503u ^ 0x5A5A5A) & 0xFFFFFF;
        for (int e = 0; e < qelDrawnEffectCount + 2; ++e) {
            const int effect = e < qelDrawnEffectCount    ? e
                               : e == qelDrawnEffectCount ? qtfCutThroughBlack
                                                          : qtfFadeThroughBlack;
            for (int y = 0; y < dest.H; ++y)
                for (int x = 0; x < dest.W; ++x)
                    dest.Dib->Row(y)[x] = uint32_t(x * 40503u + y * 2246822519u) & 0xFFFFFF;
            TqelTransitionSteps steps(effect, c.W, c.H, c.Size, 500);
            steps.UseRandPoints(table);
            steps.Prepare(dest.DC, c.DX, c.DY);
            int step = 0;
            while (steps.HasMoreSteps()) {
                steps.DrawStep(dest.DC, source.DC);
                out[{index, effect, step, 0, 0}] = dest.Hash();
                ++step;
            }
            out[{index, effect, -1, 0, 0}] = uint64_t(step);
        }
        ++index;
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "record") != 0 && std::strcmp(argv[1], "check") != 0)) {
        std::fprintf(stderr, "usage: %s record|check FILE\n", argv[0]);
        return 2;
    }
    const bool record = std::strcmp(argv[1], "record") == 0;
    std::map<TKey, uint64_t> recorded;
    if (!record) {
        FILE* f = std::fopen(argv[2], "r");
        if (!f) {
            std::fprintf(stderr, "cannot read %s\n", argv[2]);
            return 2;
        }
        int ci, e, s;
        uint64_t h;
        while (std::fscanf(f, "%d %d %d %" SCNx64, &ci, &e, &s, &h) == 4) recorded[{ci, e, s, 0, 0}] = h;
        std::fclose(f);
    }
    const std::map<TKey, uint64_t> now = Run();
    if (record) {
        FILE* f = std::fopen(argv[2], "w");
        if (!f) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 2;
        }
        for (const auto& [k, h] : now)
            std::fprintf(f, "%d %d %d %" PRIx64 "\n", std::get<0>(k), std::get<1>(k), std::get<2>(k), h);
        std::fclose(f);
        std::printf("recorded %zu hashes\n", now.size());
        return 0;
    }
    int differences = 0;
    for (const auto& [k, h] : now) {
        auto it = recorded.find(k);
        if (it == recorded.end() || it->second != h) {
            if (differences < 20) {
                const TCase& c = kCases[std::get<0>(k)];
                std::printf("difference: %dx%d size %d, %s, step %d\n", c.W, c.H, c.Size,
                            EffectDisplayName(std::get<1>(k)).c_str(), std::get<2>(k));
            }
            ++differences;
        }
    }
    if (recorded.size() != now.size()) {
        std::printf("record has %zu entries, this run %zu\n", recorded.size(), now.size());
        ++differences;
    }
    std::printf("%zu hashes compared, %d differences\n", now.size(), differences);
    return differences ? 1 : 0;
}
