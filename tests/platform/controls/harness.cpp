#include "tests/platform/controls/harness.h"

#include <algorithm>
#include <filesystem>

#include "platform/windows/backend.h"

namespace qel {

ControlsTestScope::ControlsTestScope() : FClock(std::make_unique<TManualClockScope>()) {
    EnsureApplication();
    ResetDesktop();
    if (!GetBackend() || GetBackend()->Name() != "headless") StartBackend("headless", 1024, 768);
    SetScreenSize(1024, 768);
    Application->ResetState();
    SetCursorPos(1000, 760);
    ProcessPendingMessages();
}

ControlsTestScope::~ControlsTestScope() {
    SetDialogHook(nullptr);
    Application->SetOnModalBegin(nullptr);
    Application->SetOnException(nullptr);
    Application->SetOnShowHint(nullptr);
    Application->SetOnHint(nullptr);
    Screen->SetOnActiveControlChange(nullptr);
    Screen->SetOnActiveFormChange(nullptr);
    // Forms made during the test (tracked, or owned by the application) go first.
    for (auto it = FForms.rbegin(); it != FForms.rend(); ++it)
        if (Screen->FormIndex(*it) >= 0) delete *it;
    FForms.clear();
    while (Application->ComponentCount() > 0)
        delete Application->Components(Application->ComponentCount() - 1);
    Application->ResetState();
    ResetDesktop();
}

void ControlsTestScope::Untrack(TCustomForm* form) {
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
}

TForm* ControlsTestScope::NewForm() {
    auto* f = static_cast<TForm*>(TCustomForm::CreateNew(nullptr));
    f->SetBounds(100, 100, 400, 300);
    FForms.push_back(f);
    return f;
}

void ControlsTestScope::ProcessMessages() {
    Application->ProcessMessages();
    // Pending paints are part of "what the screen shows".
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* f = Screen->Forms(i);
        if (f->HandleAllocated())
            RedrawWindow(f->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    Application->ProcessMessages();
}

void ControlsTestScope::AdvanceClock(uint64_t ms) {
    (*FClock)->Advance(ms);
}

TPoint ControlsTestScope::ScreenPoint(TControl* c, int x, int y) {
    return c->ClientToScreen({x, y});
}

void ControlsTestScope::MouseMoveTo(TControl* c, int x, int y) {
    TPoint p = ScreenPoint(c, x, y);
    Input::MouseMove(p.X, p.Y);
    ProcessMessages();
}

void ControlsTestScope::MouseDown(TControl* c, int x, int y, int button) {
    TPoint p = ScreenPoint(c, x, y);
    Input::MouseMove(p.X, p.Y);
    Input::MouseDown(button);
    ProcessMessages();
}

void ControlsTestScope::MouseUp(TControl* c, int x, int y, int button) {
    TPoint p = ScreenPoint(c, x, y);
    Input::MouseMove(p.X, p.Y);
    Input::MouseUp(button);
    ProcessMessages();
}

void ControlsTestScope::ClickControl(TControl* c, int x, int y) {
    TPoint p = ScreenPoint(c, x, y);
    Input::Click(p.X, p.Y, 0);
    ProcessMessages();
    // Keep a following click from counting as a double click.
    AdvanceClock(GetDoubleClickTime() + 1);
}

void ControlsTestScope::RightClickControl(TControl* c, int x, int y) {
    TPoint p = ScreenPoint(c, x, y);
    Input::Click(p.X, p.Y, 1);
    ProcessMessages();
    AdvanceClock(GetDoubleClickTime() + 1);
}

void ControlsTestScope::DoubleClickControl(TControl* c, int x, int y) {
    TPoint p = ScreenPoint(c, x, y);
    Input::DoubleClick(p.X, p.Y, 0);
    ProcessMessages();
    AdvanceClock(GetDoubleClickTime() + 1);
}

void ControlsTestScope::PressKey(int vk, TShiftState shift) {
    Input::Key(vk, shift.Contains(ssShift), shift.Contains(ssCtrl), shift.Contains(ssAlt));
    ProcessMessages();
}

void ControlsTestScope::TypeText(const std::string& text) {
    Input::Text(text);
    ProcessMessages();
}

void ControlsTestScope::AltKey(char letter) {
    int vk = letter >= 'a' && letter <= 'z' ? letter - 32 : letter;
    Input::Key(vk, false, false, true);
    ProcessMessages();
}

uint32_t ControlsTestScope::PixelAt(TControl* c, int x, int y) {
    TPoint p = ScreenPoint(c, x, y);
    TDibPtr s = GetScreenSurface();
    return s->GetPixel(p.X, p.Y);
}

bool ControlsTestScope::AnyPixelInRect(TControl* c, TRect r, uint32_t rgb) {
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            if (PixelAt(c, x, y) == rgb) return true;
    return false;
}

uint32_t ControlsTestScope::CountPixels(TControl* c, uint32_t rgb) {
    uint32_t n = 0;
    for (int y = 0; y < c->GetHeight(); ++y)
        for (int x = 0; x < c->GetWidth(); ++x)
            if (PixelAt(c, x, y) == rgb) ++n;
    return n;
}

std::string ControlsTestScope::SnapshotPath(const std::string& name) const {
    std::filesystem::path dir = std::filesystem::current_path() / "snapshots";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

void ControlsTestScope::SaveSnapshot(const std::string& path) {
    SaveScreenPng(path);
}

} // namespace qel
