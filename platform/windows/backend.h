#pragma once
// Backends show the virtual desktop and feed input into it: `headless` keeps the framebuffer in
// memory and takes scripted input; `sdl` shows the desktop in an SDL2 window and feeds real mouse and
// keyboard input (its own thread owns SDL, so GdiFlush presents even while the GUI thread is blocked).
#include <memory>
#include <string>
#include <string_view>

#include "platform/windows/winuser.h"

namespace qel {

class TBackend {
public:
    virtual ~TBackend() = default;
    virtual std::string Name() const = 0;
    // Shows the framebuffer (any thread).
    virtual void Present() = 0;
    // Called by the GUI thread before it blocks for messages.
    virtual void Idle() {}
    virtual void Beep(UINT) {}
    virtual void CursorChanged(int) {}
    // Frames presented so far.
    virtual int64_t PresentCount() const = 0;
};

// Installs a backend (null removes it). The previous one is shut down.
void SetBackend(std::unique_ptr<TBackend> backend);
TBackend* GetBackend();
// "headless" or "sdl": `--backend NAME` / `--backend=NAME` among the arguments, else "sdl" when a
// display exists (DISPLAY or WAYLAND_DISPLAY set), else "headless".
std::string ChooseBackendName(int argc, const char* const* argv);
// Creates and installs a backend by name with a screen of the given size; false (nothing installed)
// when the name is unknown or the SDL window cannot be opened.
bool StartBackend(std::string_view name, int width = 1024, int height = 768);
std::unique_ptr<TBackend> CreateHeadlessBackend();
std::unique_ptr<TBackend> CreateSdlBackend(int width, int height, std::string* error = nullptr);

// Scripted input (any backend; the headless tests drive the desktop with it). Positions are screen
// coordinates; buttons 0 left, 1 right, 2 middle. The events are queued for the GUI thread and
// turned into messages when it retrieves them.
namespace Input {
void MouseMove(int x, int y);
void MouseDown(int button = 0);
void MouseUp(int button = 0);
void Click(int x, int y, int button = 0);
void DoubleClick(int x, int y, int button = 0);
void Drag(TPoint from, TPoint to, int steps = 4, int button = 0);
void Wheel(int delta);
void KeyDown(int vk);
void KeyUp(int vk);
// A key press and release, with Shift/Ctrl/Alt held around it as asked.
void Key(int vk, bool shift = false, bool ctrl = false, bool alt = false);
// Characters typed: ASCII letters, digits and punctuation as keys; other characters as WM_CHAR.
void Text(std::string_view utf8);
// Direct WM_CHAR of one code point.
void Char(char32_t c);
} // namespace Input

// Dispatches every message that is ready now (the GUI thread's "process messages"); returns the
// number dispatched. Stops at WM_QUIT, which it leaves posted.
int ProcessPendingMessages();

// PNG snapshots of the whole screen or of one window's rectangle; raise EFCreateError on failure.
void SaveScreenPng(const std::string& fileName);
void SaveWindowPng(HWND hwnd, const std::string& fileName);

} // namespace qel
