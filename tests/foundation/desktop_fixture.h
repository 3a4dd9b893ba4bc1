#pragma once
// A fresh headless desktop with a manual clock for each test: window animations advance the clock
// instead of waiting (in binaries that define QEL_TEST_ANIMATION_PUMP, which link the page frame),
// and screen pixels can be read back.
#include <gtest/gtest.h>

#include <memory>

#include "effects/page_frame.h"
#include "platform/controls/dialogs.h"
#include "platform/core/clock.h"
#include "platform/windows/backend.h"

namespace qel::testing_support {

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        FClock = std::make_unique<TManualClockScope>();
        EnsureApplication();
        ResetDesktop();
        if (!GetBackend() || GetBackend()->Name() != "headless") StartBackend("headless", 1024, 768);
        SetScreenSize(1024, 768);
        Application->ResetState();
#ifdef QEL_TEST_ANIMATION_PUMP
        // Animation steps pass in manual-clock time, one millisecond per turn of the pump.
        SetAnimationPump([this](uint32_t deadline) {
            while (deadline > GetTickCount()) (*FClock)->Advance(1);
        });
#endif
        ProcessPendingMessages();
    }
    void TearDown() override {
        SetDialogHook(nullptr);
#ifdef QEL_TEST_ANIMATION_PUMP
        SetAnimationPump(nullptr);
#endif
        while (Application->ComponentCount() > 0)
            delete Application->Components(Application->ComponentCount() - 1);
        Application->ResetState();
        ResetDesktop();
        FClock.reset();
    }
    // Dispatches what is queued and paints what is pending.
    void Settle() {
        Application->ProcessMessages();
        for (int i = 0; i < Screen->FormCount(); ++i) {
            TCustomForm* f = Screen->Forms(i);
            if (f->HandleAllocated() && !f->GetParent())
                RedrawWindow(f->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
        Application->ProcessMessages();
    }
    uint32_t Now() {
        return GetTickCount();
    }
    // The screen pixel (0x00RRGGBB) at client coordinates of a control.
    uint32_t PixelAt(TControl* c, int x, int y) {
        TPoint p = c->ClientToScreen({x, y});
        return GetScreenSurface()->GetPixel(p.X, p.Y);
    }
    std::unique_ptr<TManualClockScope> FClock;
};

} // namespace qel::testing_support
