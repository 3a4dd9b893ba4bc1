// qeleffects: contact sheets of the transition effects.
//
//   qeleffects --sheet DIR [--size WxH] [--effects LIST]
//
// Writes one PNG per effect into DIR, named by the effect's display name: the old picture, the frames
// after 25, 50 and 75 % of the effect's steps, and the final frame, side by side. LIST is a comma
// separated list of ordinals, ranges ("36-41") or display names; all 137 effects by default.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "effects/transition_engine.h"
#include "effects/transition_steps.h"
#include "platform/graphics/codecs.h"
#include "platform/graphics/memory_surface.h"

using namespace qel;

namespace {

using TSurface = TMemorySurface;

uint32_t Rgb(int r, int g, int b) {
    return (uint32_t(r & 255) << 16) | (uint32_t(g & 255) << 8) | uint32_t(b & 255);
}

// The old picture: a blue sky with a yellow sun, green hills and a white arrow pointing right.
uint32_t OldPicture(int x, int y, int w, int h) {
    const double fx = double(x) / w, fy = double(y) / h;
    const double sun = std::hypot(fx - 0.25, (fy - 0.3) * h / w);
    if (sun < 0.12) return Rgb(255, 220, 40);
    const double hill = 0.75 + 0.08 * std::sin(fx * 9.0);
    if (fy > hill) return Rgb(40, 150 + int(60 * fy), 50);
    // Arrow: shaft and head on the right half.
    const bool shaft = fx > 0.45 && fx < 0.72 && fy > 0.42 && fy < 0.56;
    const bool head = fx >= 0.72 && fx < 0.9 && std::abs(fy - 0.49) < (0.9 - fx) * 1.1;
    if (shaft || head) return Rgb(255, 255, 255);
    return Rgb(40 + int(80 * fy), 90 + int(100 * fy), 230);
}

// The new picture: an orange and purple checkerboard with a dark diagonal cross and a frame.
uint32_t NewPicture(int x, int y, int w, int h) {
    if (x < 3 || y < 3 || x >= w - 3 || y >= h - 3) return Rgb(20, 20, 20);
    const double fx = double(x) / w, fy = double(y) / h;
    if (std::abs(fx - fy) < 0.05 || std::abs(fx + fy - 1) < 0.05) return Rgb(30, 30, 60);
    const int cell = std::max(4, std::min(w, h) / 8);
    const bool dark = ((x / cell) + (y / cell)) % 2 == 0;
    return dark ? Rgb(240, 130, 20) : Rgb(150, 60, 190);
}

bool ParseSize(const std::string& s, int& w, int& h) {
    return std::sscanf(s.c_str(), "%dx%d", &w, &h) == 2 && w > 0 && h > 0 && w <= 4096 && h <= 4096;
}

bool ParseEffects(const std::string& list, std::vector<int>& out) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        start = comma == std::string::npos ? list.size() + 1 : comma + 1;
        if (item.empty()) continue;
        int a, b;
        char tail;
        if (std::sscanf(item.c_str(), "%d-%d%c", &a, &b, &tail) == 2) {
            if (a < 0 || b >= qelEffectCount || a > b) return false;
            for (int e = a; e <= b; ++e) out.push_back(e);
        } else if (std::sscanf(item.c_str(), "%d%c", &a, &tail) == 1) {
            if (!IsTransitionEffect(a)) return false;
            out.push_back(a);
        } else {
            int e = EffectByDisplayName(item);
            if (e < 0) {
                for (int i = 0; i < qelEffectCount; ++i)
                    if (EffectIdentifier(i) == item) e = i;
            }
            if (e < 0) return false;
            out.push_back(e);
        }
    }
    return true;
}

int Usage() {
    std::fprintf(stderr, "usage: qeleffects --sheet DIR [--size WxH] [--effects LIST]\n"
                         "  LIST: comma separated ordinals, ranges (36-41) or display names\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string dir;
    int w = 240, h = 160;
    std::vector<int> effects;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--sheet" && i + 1 < argc) {
            dir = argv[++i];
        } else if (a == "--size" && i + 1 < argc) {
            if (!ParseSize(argv[++i], w, h)) {
                std::fprintf(stderr, "qeleffects: bad size '%s'\n", argv[i]);
                return 2;
            }
        } else if (a == "--effects" && i + 1 < argc) {
            if (!ParseEffects(argv[++i], effects)) {
                std::fprintf(stderr, "qeleffects: bad effect list '%s'\n", argv[i]);
                return 2;
            }
        } else {
            return Usage();
        }
    }
    if (dir.empty()) return Usage();
    if (effects.empty())
        for (int e = 0; e < qelEffectCount; ++e) effects.push_back(e);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "qeleffects: cannot create '%s': %s\n", dir.c_str(), ec.message().c_str());
        return 1;
    }

    constexpr int kPanels = 5, kGap = 6;
    const int sheetW = kPanels * w + (kPanels + 1) * kGap, sheetH = h + 2 * kGap;
    TSurface source(w, h), dest(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            source.Dib->Row(y)[x] = NewPicture(x, y, w, h);
        }
    const TqelEffectSelection selection = {qtfPourDown, qtfWipeClockwise, qtfDissolve};
    int index = -1;
    for (int requested : effects) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) dest.Dib->Row(y)[x] = OldPicture(x, y, w, h);
        const int effect = ResolveEffect(requested, &selection, &index);
        const int total = TqelTransitionSteps::CountSteps(effect, w, h, 8, 500);
        TImageData sheet;
        sheet.Width = sheetW;
        sheet.Height = sheetH;
        sheet.Pixels.assign(size_t(sheetW) * size_t(sheetH), 0xFF808080u);
        auto paste = [&](int panel) {
            const int ox = kGap + panel * (w + kGap);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) sheet.At(ox + x, kGap + y) = 0xFF000000u | dest.Dib->Row(y)[x];
        };
        paste(0);
        TqelTransitionSteps steps(effect, w, h, 8, 500);
        steps.Prepare(dest.DC, 0, 0);
        for (int panel = 1; panel <= 3; ++panel) {
            const int target = (total * panel * 25 + 50) / 100;
            while (steps.StepsDrawn() < target && steps.HasMoreSteps()) steps.DrawStep(dest.DC, source.DC);
            paste(panel);
        }
        while (steps.HasMoreSteps()) steps.DrawStep(dest.DC, source.DC);
        steps.DrawFinalFrame(dest.DC, source.DC);
        paste(4);
        const std::string path =
            (std::filesystem::path(dir) / (EffectDisplayName(requested) + ".png")).string();
        std::ofstream out(path, std::ios::binary);
        const std::string png = EncodePng(sheet);
        out.write(png.data(), static_cast<std::streamsize>(png.size()));
        if (!out) {
            std::fprintf(stderr, "qeleffects: cannot write '%s'\n", path.c_str());
            return 1;
        }
        std::printf("%3d %-32s %4d steps, %4d ms apart -> %s\n", requested,
                    EffectDisplayName(requested).c_str(), total, steps.Interval(), path.c_str());
    }
    return 0;
}
