// Backends (headless, SDL), scripted input, presenting, snapshots, screen settings and metrics.
#include "platform/windows/backend.h"

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/graphics/images.h"
#include "platform/windows/desktop.h"
#include "platform/windows/thread.h"

namespace qel {

using namespace desktop;

namespace {

std::mutex gBackendLock;
std::unique_ptr<TBackend>& BackendSlot() {
    static auto* b = new std::unique_ptr<TBackend>;
    return *b;
}
std::atomic<TBackend*> gBackend{nullptr};

// ---- headless --------------------------------------------------------------------------------------

class THeadlessBackend : public TBackend {
public:
    std::string Name() const override { return "headless"; }
    void Present() override {
        TDesktop& d = Desk();
        std::lock_guard g(*d.ScreenLock);
        const TDib& s = *d.Screen;
        size_t n = static_cast<size_t>(s.Width()) * s.Height();
        std::lock_guard g2(FLock);
        FFrame.resize(n);
        for (int y = 0; y < s.Height(); ++y)
            std::memcpy(&FFrame[static_cast<size_t>(y) * s.Width()], s.Row(y), sizeof(uint32_t) * s.Width());
        ++FCount;
    }
    int64_t PresentCount() const override { return FCount.load(); }

private:
    std::mutex FLock;
    std::vector<uint32_t> FFrame;
    std::atomic<int64_t> FCount{0};
};

// ---- SDL -------------------------------------------------------------------------------------------

int VkOfSdl(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12) return VK_F1 + (k - SDLK_F1);
    switch (k) {
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_LSHIFT: return VK_LSHIFT;
    case SDLK_RSHIFT: return VK_RSHIFT;
    case SDLK_LCTRL: return VK_LCONTROL;
    case SDLK_RCTRL: return VK_RCONTROL;
    case SDLK_LALT: return VK_LMENU;
    case SDLK_RALT: return VK_RMENU;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_SEMICOLON: return VK_OEM_1;
    case SDLK_EQUALS: return VK_OEM_PLUS;
    case SDLK_COMMA: return VK_OEM_COMMA;
    case SDLK_MINUS: return VK_OEM_MINUS;
    case SDLK_PERIOD: return VK_OEM_PERIOD;
    case SDLK_SLASH: return VK_OEM_2;
    case SDLK_BACKQUOTE: return VK_OEM_3;
    case SDLK_LEFTBRACKET: return VK_OEM_4;
    case SDLK_BACKSLASH: return VK_OEM_5;
    case SDLK_RIGHTBRACKET: return VK_OEM_6;
    case SDLK_QUOTE: return VK_OEM_7;
    case SDLK_PRINTSCREEN: return VK_SNAPSHOT;
    default: return 0;
    }
}

class TSdlBackend : public TBackend {
public:
    bool Start(int width, int height, std::string* error) {
        FWidth = width;
        FHeight = height;
        FThread = std::thread([this] { Run(); });
        std::unique_lock g(FLock);
        FChanged.wait(g, [&] { return FStarted; });
        if (!FOk && error) *error = FError;
        return FOk;
    }
    ~TSdlBackend() override {
        {
            std::lock_guard g(FLock);
            FStop = true;
        }
        if (FThread.joinable()) FThread.join();
    }
    std::string Name() const override { return "sdl"; }
    void Present() override {
        {
            std::lock_guard g(FLock);
            FPresentRequests++;
        }
        // wait until the SDL thread has shown this frame (it never waits for the GUI thread)
        std::unique_lock g(FLock);
        int64_t target = FPresented + 1;
        FChanged.wait_for(g, std::chrono::milliseconds(200), [&] { return FPresented >= target || FStop; });
    }
    int64_t PresentCount() const override { return FPresentedAtomic.load(); }

private:
    void Run() {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            Fail(SDL_GetError());
            return;
        }
        SDL_Window* win = SDL_CreateWindow("QEL", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, FWidth,
                                           FHeight, SDL_WINDOW_RESIZABLE);
        if (!win) {
            Fail(SDL_GetError());
            SDL_Quit();
            return;
        }
        {
            std::lock_guard g(FLock);
            FOk = FStarted = true;
        }
        FChanged.notify_all();
        SDL_StartTextInput();
        uint32_t lastPresent = 0;
        for (;;) {
            {
                std::lock_guard g(FLock);
                if (FStop) break;
            }
            SDL_Event e;
            while (SDL_WaitEventTimeout(&e, 5)) {
                Handle(e);
                if (!SDL_PollEvent(nullptr)) break;
            }
            bool requested;
            {
                std::lock_guard g(FLock);
                requested = FPresentRequests > 0;
                FPresentRequests = 0;
            }
            uint32_t now = SDL_GetTicks();
            if (requested || now - lastPresent >= 16) {
                Blit(win);
                lastPresent = now;
                {
                    std::lock_guard g(FLock);
                    ++FPresented;
                }
                ++FPresentedAtomic;
                FChanged.notify_all();
            }
        }
        SDL_DestroyWindow(win);
        SDL_Quit();
    }
    void Fail(const char* why) {
        std::lock_guard g(FLock);
        FError = why ? why : "SDL failed";
        FStarted = true;
        FOk = false;
        FChanged.notify_all();
    }
    void Blit(SDL_Window* win) {
        SDL_Surface* surf = SDL_GetWindowSurface(win);
        if (!surf) return;
        TDesktop& d = Desk();
        std::lock_guard g(*d.ScreenLock);
        const TDib& s = *d.Screen;
        SDL_Surface* src =
            SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(s.Row(0)), s.Width(), s.Height(), 32,
                                               static_cast<int>(s.Stride()), SDL_PIXELFORMAT_RGB888);
        if (src) {
            SDL_BlitSurface(src, nullptr, surf, nullptr);
            SDL_FreeSurface(src);
        }
        SDL_UpdateWindowSurface(win);
    }
    void Handle(const SDL_Event& e) {
        TRawInput in;
        switch (e.type) {
        case SDL_QUIT: {
            TThread::Queue(nullptr, [] { PostQuitMessage(0); });
            return;
        }
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                int w = e.window.data1, h = e.window.data2;
                TThread::Queue(nullptr, [w, h] { SetScreenSize(w, h); });
            }
            return;
        case SDL_MOUSEMOTION:
            in.Kind = TInputKind::MouseMove;
            in.Pos = {e.motion.x, e.motion.y};
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            TRawInput mv;
            mv.Kind = TInputKind::MouseMove;
            mv.Pos = {e.button.x, e.button.y};
            PostRawInput(mv);
            in.Kind = TInputKind::MouseButton;
            in.Down = e.type == SDL_MOUSEBUTTONDOWN;
            in.Button = e.button.button == SDL_BUTTON_LEFT ? 0 : e.button.button == SDL_BUTTON_RIGHT ? 1 : 2;
            break;
        }
        case SDL_MOUSEWHEEL:
            in.Kind = TInputKind::Wheel;
            in.Delta = e.wheel.y * 120;
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            int vk = VkOfSdl(e.key.keysym.sym);
            if (!vk) return;
            in.Kind = TInputKind::Key;
            in.Vk = vk;
            in.Down = e.type == SDL_KEYDOWN;
            if (vk == VK_LSHIFT || vk == VK_RSHIFT) {
                TRawInput g2 = in;
                g2.Vk = VK_SHIFT;
                PostRawInput(g2);
            } else if (vk == VK_LCONTROL || vk == VK_RCONTROL) {
                TRawInput g2 = in;
                g2.Vk = VK_CONTROL;
                PostRawInput(g2);
            } else if (vk == VK_LMENU || vk == VK_RMENU) {
                TRawInput g2 = in;
                g2.Vk = VK_MENU;
                PostRawInput(g2);
            }
            break;
        }
        case SDL_TEXTINPUT: {
            // ASCII arrives as keys (TranslateMessage makes the characters); the rest as characters
            const unsigned char* p = reinterpret_cast<const unsigned char*>(e.text.text);
            while (*p) {
                char32_t c;
                int n = *p < 0x80 ? 1 : *p < 0xE0 ? 2 : *p < 0xF0 ? 3 : 4;
                c = n == 1 ? *p : (*p & (0xFF >> (n + 1)));
                for (int i = 1; i < n && p[i]; ++i) c = (c << 6) | (p[i] & 0x3F);
                p += n;
                if (c >= 0x80) Input::Char(c);
            }
            return;
        }
        default: return;
        }
        PostRawInput(in);
    }

    int FWidth = 0, FHeight = 0;
    std::thread FThread;
    std::mutex FLock;
    std::condition_variable FChanged;
    bool FStarted = false, FOk = false, FStop = false;
    std::string FError;
    int64_t FPresentRequests = 0;
    int64_t FPresented = 0;
    std::atomic<int64_t> FPresentedAtomic{0};
};

} // namespace

void SetBackend(std::unique_ptr<TBackend> backend) {
    std::unique_ptr<TBackend> old;
    {
        std::lock_guard g(gBackendLock);
        old = std::move(BackendSlot());
        BackendSlot() = std::move(backend);
        gBackend.store(BackendSlot().get());
    }
    old.reset();
}

TBackend* GetBackend() {
    return gBackend.load();
}

std::string ChooseBackendName(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i] ? argv[i] : "";
        if (a == "--backend" && i + 1 < argc && argv[i + 1]) return argv[i + 1];
        if (a.starts_with("--backend=")) return std::string(a.substr(10));
    }
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    if ((x && *x) || (wl && *wl)) return "sdl";
    return "headless";
}

std::unique_ptr<TBackend> CreateHeadlessBackend() {
    return std::make_unique<THeadlessBackend>();
}

std::unique_ptr<TBackend> CreateSdlBackend(int width, int height, std::string* error) {
    auto b = std::make_unique<TSdlBackend>();
    if (!b->Start(width, height, error)) return nullptr;
    return b;
}

bool StartBackend(std::string_view name, int width, int height) {
    EnsureDesktop();
    SetScreenSize(width, height);
    if (name == "headless") {
        SetBackend(CreateHeadlessBackend());
        return true;
    }
    if (name == "sdl") {
        auto b = CreateSdlBackend(width, height);
        if (!b) return false;
        SetBackend(std::move(b));
        return true;
    }
    return false;
}

bool GdiFlush() {
    if (TBackend* b = GetBackend()) b->Present();
    return true;
}

namespace desktop {
void Present(const TRect*) {
    GdiFlush();
}
} // namespace desktop

// ---- scripted input ----------------------------------------------------------------------------------

namespace Input {
void MouseMove(int x, int y) {
    TRawInput in;
    in.Kind = TInputKind::MouseMove;
    in.Pos = {x, y};
    PostRawInput(in);
}
void MouseDown(int button) {
    TRawInput in;
    in.Kind = TInputKind::MouseButton;
    in.Button = button;
    in.Down = true;
    PostRawInput(in);
}
void MouseUp(int button) {
    TRawInput in;
    in.Kind = TInputKind::MouseButton;
    in.Button = button;
    in.Down = false;
    PostRawInput(in);
}
void Click(int x, int y, int button) {
    MouseMove(x, y);
    MouseDown(button);
    MouseUp(button);
}
void DoubleClick(int x, int y, int button) {
    Click(x, y, button);
    MouseDown(button);
    MouseUp(button);
}
void Drag(TPoint from, TPoint to, int steps, int button) {
    MouseMove(from.X, from.Y);
    MouseDown(button);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i)
        MouseMove(from.X + (to.X - from.X) * i / steps, from.Y + (to.Y - from.Y) * i / steps);
    MouseUp(button);
}
void Wheel(int delta) {
    TRawInput in;
    in.Kind = TInputKind::Wheel;
    in.Delta = delta;
    PostRawInput(in);
}
void KeyDown(int vk) {
    TRawInput in;
    in.Kind = TInputKind::Key;
    in.Vk = vk;
    in.Down = true;
    PostRawInput(in);
}
void KeyUp(int vk) {
    TRawInput in;
    in.Kind = TInputKind::Key;
    in.Vk = vk;
    in.Down = false;
    PostRawInput(in);
}
void Key(int vk, bool shift, bool ctrl, bool alt) {
    if (shift) KeyDown(VK_SHIFT);
    if (ctrl) KeyDown(VK_CONTROL);
    if (alt) KeyDown(VK_MENU);
    KeyDown(vk);
    KeyUp(vk);
    if (alt) KeyUp(VK_MENU);
    if (ctrl) KeyUp(VK_CONTROL);
    if (shift) KeyUp(VK_SHIFT);
}
void Char(char32_t c) {
    TRawInput in;
    in.Kind = TInputKind::Char;
    in.Char = c;
    PostRawInput(in);
}
void Text(std::string_view utf8) {
    static const char* shifted = ")!@#$%^&*(";
    for (size_t i = 0; i < utf8.size();) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        if (b >= 0x80) {
            int n = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            char32_t c = b & (0xFF >> (n + 1));
            for (int k = 1; k < n && i + k < utf8.size(); ++k) c = (c << 6) | (utf8[i + k] & 0x3F);
            i += n;
            Char(c);
            continue;
        }
        ++i;
        char ch = static_cast<char>(b);
        if (ch >= 'a' && ch <= 'z')
            Key(ch - 32);
        else if (ch >= 'A' && ch <= 'Z')
            Key(ch, true);
        else if (ch >= '0' && ch <= '9')
            Key(ch);
        else if (ch == ' ')
            Key(VK_SPACE);
        else if (ch == '\n' || ch == '\r')
            Key(VK_RETURN);
        else if (ch == '\t')
            Key(VK_TAB);
        else if (const char* p = std::strchr(shifted, ch); p && ch)
            Key('0' + static_cast<int>(p - shifted), true);
        else
            Char(static_cast<char32_t>(b));
    }
}
} // namespace Input

int ProcessPendingMessages() {
    int n = 0;
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        TranslateMessage(&m);
        DispatchMessage(&m);
        ++n;
    }
    return n;
}

void SaveScreenPng(const std::string& fileName) {
    TDibPtr s = CaptureScreen();
    SavePng(*s, fileName);
}

void SaveWindowPng(HWND hwnd, const std::string& fileName) {
    TDibPtr s = CaptureWindow(hwnd);
    if (!s) throw EInvalidOperation("Invalid window handle");
    SavePng(*s, fileName);
}

// ---- screen settings and metrics ------------------------------------------------------------------------

void SetScreenSize(int width, int height) {
    EnsureDesktop();
    TDesktop& d = Desk();
    width = std::clamp(width, 1, 16384);
    height = std::clamp(height, 1, 16384);
    {
        std::lock_guard g(d.Lock);
        if (d.Screen->Width() != width || d.Screen->Height() != height) {
            std::lock_guard sg(*d.ScreenLock);
            auto s = std::make_shared<TDib>(width, height);
            s->Fill(ColorRefToPixel(GetSysColor(COLOR_DESKTOP)));
            int w = std::min(width, d.Screen->Width()), h = std::min(height, d.Screen->Height());
            for (int y = 0; y < h; ++y) std::memcpy(s->Row(y), d.Screen->Row(y), sizeof(uint32_t) * w);
            s->SetLock(d.ScreenLock);
            d.Screen = s;
            // DCs held now keep drawing into the old surface: re-create them over the new one is
            // not possible for foreign handles, so they are made to draw nothing.
            for (auto& [id, win] : d.Windows)
                for (auto& rec : win->DCs) {
                    TRegion none;
                    SetDCSystemClip(rec.DC, &none);
                }
        }
        d.Root->Rect = d.Root->Client = {0, 0, width, height};
        SetScreenDeviceCaps(d.Depth, d.Dpi, d.Dpi, width, height);
    }
    UpdateAllDCs();
    InvalidateScreen(TRegion(TRect{0, 0, width, height}));
}

void SetScreenDepth(int bitsPerPixel) {
    TDesktop& d = Desk();
    EnsureDesktop();
    d.Depth = bitsPerPixel > 0 ? bitsPerPixel : 32;
    SetScreenDeviceCaps(d.Depth, d.Dpi, d.Dpi, d.Screen->Width(), d.Screen->Height());
}

void SetScreenDpi(int dpi) {
    TDesktop& d = Desk();
    EnsureDesktop();
    d.Dpi = dpi > 0 ? dpi : 96;
    SetScreenDeviceCaps(d.Depth, d.Dpi, d.Dpi, d.Screen->Width(), d.Screen->Height());
}

int GetScreenDpi() {
    return Desk().Dpi;
}

void SetSystemMetric(int index, int value) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    if (value < 0)
        d.MetricOverrides.erase(index);
    else
        d.MetricOverrides[index] = value;
}

int GetSystemMetrics(int index) {
    TDesktop& d = Desk();
    EnsureDesktop();
    {
        std::lock_guard g(d.Lock);
        auto it = d.MetricOverrides.find(index);
        if (it != d.MetricOverrides.end()) return it->second;
    }
    int sw = d.Screen->Width(), sh = d.Screen->Height();
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
    case SM_CXMAXTRACK: return sw;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
    case SM_CYMAXTRACK: return sh;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYMENU: return 19;
    case SM_CXFULLSCREEN: return sw;
    case SM_CYFULLSCREEN: return sh - 19;
    case SM_CXSIZE:
    case SM_CYSIZE: return 18;
    case SM_CXSMSIZE:
    case SM_CYSMSIZE: return 12;
    case SM_CYSMCAPTION: return 15;
    case SM_CXMENUSIZE:
    case SM_CYMENUSIZE: return 18;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXMINTRACK: return 112;
    case SM_CYMINTRACK: return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    case SM_CXICONSPACING:
    case SM_CYICONSPACING: return 75;
    case SM_CXMINIMIZED: return 160;
    case SM_CYMINIMIZED: return 24;
    case SM_CXMAXIMIZED: return sw + 8;
    case SM_CYMAXIMIZED: return sh + 8;
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK: return 13;
    case SM_MOUSEWHEELPRESENT: return 1;
    case SM_CMONITORS: return 1;
    case SM_SAMEDISPLAYFORMAT: return 1;
    case SM_SWAPBUTTON: return d.SwapButtons ? 1 : 0;
    default: return 0;
    }
}

bool SystemParametersInfo(UINT action, UINT uiParam, void* pv, UINT) {
    TDesktop& d = Desk();
    EnsureDesktop();
    switch (action) {
    case SPI_GETWORKAREA:
        if (!pv) return false;
        *static_cast<TRect*>(pv) = d.HasWorkArea ? d.WorkArea : d.Screen->BoundsRect();
        return true;
    case SPI_SETWORKAREA:
        if (!pv) {
            d.HasWorkArea = false;
            return true;
        }
        d.WorkArea = IntersectRect(*static_cast<TRect*>(pv), d.Screen->BoundsRect());
        d.HasWorkArea = !d.WorkArea.IsEmpty();
        return true;
    case SPI_GETNONCLIENTMETRICS: {
        if (!pv) return false;
        auto* m = static_cast<NONCLIENTMETRICS*>(pv);
        *m = NONCLIENTMETRICS{};
        m->iCaptionHeight = GetSystemMetrics(SM_CYCAPTION) - 1;
        m->iCaptionWidth = GetSystemMetrics(SM_CXSIZE);
        m->iSmCaptionHeight = GetSystemMetrics(SM_CYSMCAPTION) - 1;
        m->iScrollWidth = GetSystemMetrics(SM_CXVSCROLL);
        m->iScrollHeight = GetSystemMetrics(SM_CYHSCROLL);
        m->lfCaptionFont.lfWeight = 700;
        return true;
    }
    case SPI_GETDRAGFULLWINDOWS:
        if (!pv) return false;
        *static_cast<BOOL*>(pv) = d.DragFullWindows;
        return true;
    case SPI_SETDRAGFULLWINDOWS: d.DragFullWindows = uiParam != 0; return true;
    case SPI_GETMENUANIMATION:
    case SPI_GETMENUFADE:
    case SPI_GETCOMBOBOXANIMATION:
        if (!pv) return false;
        *static_cast<BOOL*>(pv) = d.MenuAnimation;
        return true;
    case SPI_SETMENUANIMATION: d.MenuAnimation = pv != nullptr || uiParam != 0; return true;
    case SPI_GETGRADIENTCAPTIONS:
        if (!pv) return false;
        *static_cast<BOOL*>(pv) = d.GradientCaptions;
        return true;
    case SPI_SETGRADIENTCAPTIONS: d.GradientCaptions = pv != nullptr || uiParam != 0; return true;
    case SPI_GETFONTSMOOTHING:
    case SPI_GETFLATMENU:
    case SPI_GETHIGHCONTRAST:
        if (!pv) return false;
        *static_cast<BOOL*>(pv) = 0;
        return true;
    case SPI_GETKEYBOARDDELAY:
        if (!pv) return false;
        *static_cast<UINT*>(pv) = 1;
        return true;
    case SPI_GETKEYBOARDSPEED:
        if (!pv) return false;
        *static_cast<UINT*>(pv) = 31;
        return true;
    case SPI_GETWHEELSCROLLLINES:
        if (!pv) return false;
        *static_cast<UINT*>(pv) = 3;
        return true;
    case SPI_GETMENUSHOWDELAY:
        if (!pv) return false;
        *static_cast<UINT*>(pv) = 400;
        return true;
    default: return false;
    }
}

// ---- monitors -------------------------------------------------------------------------------------------

namespace {
HMONITOR PrimaryMonitor() {
    return reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x1000));
}
} // namespace

HMONITOR MonitorFromPoint(TPoint pt, DWORD flags) {
    EnsureDesktop();
    if (Desk().Screen->BoundsRect().Contains(pt) || flags != MONITOR_DEFAULTTONULL) return PrimaryMonitor();
    return nullptr;
}

HMONITOR MonitorFromRect(const TRect* rect, DWORD flags) {
    EnsureDesktop();
    if (!rect) return flags == MONITOR_DEFAULTTONULL ? nullptr : PrimaryMonitor();
    if (!IntersectRect(*rect, Desk().Screen->BoundsRect()).IsEmpty() || flags != MONITOR_DEFAULTTONULL)
        return PrimaryMonitor();
    return nullptr;
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
    TRect r;
    if (!GetWindowRect(hwnd, &r)) return flags == MONITOR_DEFAULTTONULL ? nullptr : PrimaryMonitor();
    return MonitorFromRect(&r, flags);
}

bool GetMonitorInfo(HMONITOR monitor, MONITORINFO* info) {
    if (monitor != PrimaryMonitor() || !info) return false;
    EnsureDesktop();
    info->rcMonitor = Desk().Screen->BoundsRect();
    SystemParametersInfo(SPI_GETWORKAREA, 0, &info->rcWork, 0);
    info->dwFlags = MONITORINFOF_PRIMARY;
    return true;
}

bool EnumDisplayMonitors(const std::function<bool(HMONITOR, const TRect&)>& fn) {
    EnsureDesktop();
    if (fn) fn(PrimaryMonitor(), Desk().Screen->BoundsRect());
    return true;
}

} // namespace qel
