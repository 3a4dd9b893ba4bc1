// Steps drawn straight onto a shared framebuffer appear whole: a thread that reads the framebuffer under
// its lock while another draws the steps only ever sees the picture before a step or after it.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <thread>

#include "effects/effect_tables.h"
#include "effects/transition_steps.h"
#include "tests/effects/effect_test_support.h"

namespace qel {
namespace {

using test::NewPixel;
using test::OldPixel;

constexpr int kW = 150, kH = 70, kDX = 5, kDY = 3;

struct TFramebufferScene {
    TFramebufferScene() : Fb(std::make_shared<TDib>(kW + 10, kH + 6)), Source(kW, kH) {
        Fb->SetLock(std::make_shared<std::recursive_mutex>());
        for (int y = 0; y < Fb->Height(); ++y)
            for (int x = 0; x < Fb->Width(); ++x) {
                const bool inside = x >= kDX && x < kDX + kW && y >= kDY && y < kDY + kH;
                Fb->Row(y)[x] = inside ? OldPixel(x - kDX, y - kDY) : 0x123456u;
            }
        Source.Fill([](int x, int y) { return NewPixel(x, y); });
        const TRegion visible(TRect{0, 0, Fb->Width(), Fb->Height()});
        Screen = CreateSurfaceDC(Fb, {0, 0}, &visible);
    }
    ~TFramebufferScene() { DeleteDC(Screen); }
    // Hash of the rectangle (the caller holds the framebuffer lock where it matters).
    uint64_t Hash() const {
        uint64_t h = 1469598103934665603ull;
        for (int y = kDY; y < kDY + kH; ++y)
            for (int x = kDX; x < kDX + kW; ++x) h = (h ^ Fb->Row(y)[x]) * 1099511628211ull;
        return h;
    }
    TDibPtr Fb;
    test::TTestSurface Source;
    HDC Screen = nullptr;
};

const TqelRandPoints& Table() {
    static const TqelRandPoints table = [] {
        EffectRandSeed(99);
        return TqelRandPoints();
    }();
    return table;
}

class DirectStepsThread : public ::testing::TestWithParam<int> {};

TEST_P(DirectStepsThread, AReaderSeesOnlyWholeSteps) {
    const int effect = GetParam();
    // The pictures the rectangle shows before and after each step, drawn without any other thread.
    std::set<uint64_t> frames;
    {
        TFramebufferScene s;
        frames.insert(s.Hash());
        TqelTransitionSteps steps(effect, kW, kH, 8, 500);
        steps.UseRandPoints(Table());
        steps.Prepare(s.Screen, kDX, kDY);
        while (steps.HasMoreSteps()) {
            steps.DrawStep(s.Screen, s.Source.DC);
            frames.insert(s.Hash());
        }
        ASSERT_GT(frames.size(), 4u);
    }
    TFramebufferScene s;
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, strange{0};
    std::thread reader([&] {
        while (!done.load()) {
            {
                std::lock_guard guard(*s.Fb->Lock());
                strange += frames.count(s.Hash()) == 0;
            }
            ++reads;
            std::this_thread::yield();
        }
    });
    std::thread painter([&] {
        TqelTransitionSteps steps(effect, kW, kH, 8, 500);
        steps.UseRandPoints(Table());
        steps.Prepare(s.Screen, kDX, kDY);
        while (steps.HasMoreSteps()) {
            // The next step starts once the reader has looked again, so that reads fall before, after
            // and (the reader never stops) during the steps.
            const int seen = reads.load();
            while (reads.load() == seen) std::this_thread::yield();
            steps.DrawStep(s.Screen, s.Source.DC);
        }
        done = true;
    });
    painter.join();
    reader.join();
    EXPECT_GT(reads.load(), int(frames.size()) - 2);
    EXPECT_EQ(strange.load(), 0);
    EXPECT_EQ(s.Hash(), [&] {
        TFramebufferScene last;
        TqelTransitionSteps steps(effect, kW, kH, 8, 500);
        steps.UseRandPoints(Table());
        steps.Prepare(last.Screen, kDX, kDY);
        while (steps.HasMoreSteps()) steps.DrawStep(last.Screen, last.Source.DC);
        return last.Hash();
    }());
}

INSTANTIATE_TEST_SUITE_P(Families, DirectStepsThread,
                         ::testing::Values(int(qtfDissolve), int(qtfPourLeft), int(qtfBlindsVert),
                                           int(qtfQuadWipeOut), int(qtfFoldCenterHorz),
                                           int(qtfSquashCenterHorz), int(qtfShrinkCenter)));

} // namespace
} // namespace qel
