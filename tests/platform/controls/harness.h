#pragma once
// Test harness for the control layer: a fresh headless desktop with a manual clock, scripted mouse and
// keyboard input through the window manager's input queue, screen pixels and PNG snapshots.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/controls/dialogs.h"
#include "platform/controls/extctrls.h"
#include "platform/core/clock.h"

namespace qel {

class ControlsTestScope {
public:
    ControlsTestScope();
    virtual ~ControlsTestScope();
    ControlsTestScope(const ControlsTestScope&) = delete;
    ControlsTestScope& operator=(const ControlsTestScope&) = delete;

    // Runs the message loop until nothing is queued.
    void ProcessMessages();
    void AdvanceClock(uint64_t ms);

    // Mouse input at client coordinates of a control (graphic controls included).
    void MouseMoveTo(TControl* c, int x, int y);
    void MouseDown(TControl* c, int x, int y, int button = 0);
    void MouseUp(TControl* c, int x, int y, int button = 0);
    void ClickControl(TControl* c, int x, int y);
    void RightClickControl(TControl* c, int x, int y);
    void DoubleClickControl(TControl* c, int x, int y);

    // Keyboard input: a key with modifiers pressed around it, characters as typed, Alt+letter.
    void PressKey(int vk, TShiftState shift = {});
    void TypeText(const std::string& text);
    void AltKey(char letter);

    // The screen pixel (0x00RRGGBB) at client coordinates of a control.
    uint32_t PixelAt(TControl* c, int x, int y);
    bool AnyPixelInRect(TControl* c, TRect r, uint32_t rgb);
    uint32_t CountPixels(TControl* c, uint32_t rgb);
    std::string SnapshotPath(const std::string& name) const;
    void SaveSnapshot(const std::string& path);

    // Forms made by the test are freed when it ends.
    TForm* NewForm();
    void Track(TCustomForm* form) { FForms.push_back(form); }
    void Untrack(TCustomForm* form);
    template <typename T>
    T* Make(TWinControl* parent, const std::string& name, TRect bounds) {
        auto* c = new T(GetParentForm(parent) ? static_cast<TComponent*>(GetParentForm(parent)) : parent);
        c->SetName(name);
        c->SetParent(parent);
        c->SetBoundsRect(bounds);
        return c;
    }

private:
    TPoint ScreenPoint(TControl* c, int x, int y);
    void Key(int vk, bool down);
    std::unique_ptr<TManualClockScope> FClock;
    std::vector<TCustomForm*> FForms;
};

class ControlsTest : public testing::Test, public ControlsTestScope {
protected:
    void SetUp() override {}
    void TearDown() override {}
};

} // namespace qel
