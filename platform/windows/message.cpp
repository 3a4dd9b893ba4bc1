// Messages and the queue, hooks, timers, the default window procedure, input routing, focus,
// activation, capture, caret and cursors.
#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "platform/core/clock.h"
#include "platform/windows/backend.h"
#include "platform/windows/desktop.h"
#include "platform/windows/thread.h"

namespace qel {

using namespace desktop;

namespace desktop {

std::shared_ptr<TQueue> QueuePtr(std::thread::id thread) {
    TDesktop& d = Desk();
    std::lock_guard g(d.QueuesLock);
    auto it = d.Queues.find(thread);
    if (it != d.Queues.end()) return it->second;
    auto q = std::make_shared<TQueue>();
    q->Thread = thread;
    d.Queues[thread] = q;
    return q;
}

TQueue& QueueOf(std::thread::id thread) {
    return *QueuePtr(thread);
}

namespace {
struct TWakeInstaller {
    TWakeInstaller() {
        SetSyncWakeUp([] {
            if (auto q = QueuePtr(MainThreadID())) WakeQueue(*q);
        });
    }
} gWakeInstaller;
} // namespace

// ---- hooks ------------------------------------------------------------------------------------------

bool HasHooks(int kind) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    auto self = std::this_thread::get_id();
    for (auto& h : d.Hooks)
        if (h->Kind == kind && !h->Removed && h->Thread == self) return true;
    return false;
}

namespace {

std::shared_ptr<THook> NextHook(int kind, HHOOK after) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    auto self = std::this_thread::get_id();
    bool passed = after == nullptr;
    for (auto& h : d.Hooks) {
        if (h->Kind != kind || h->Thread != self) continue;
        if (!passed) {
            if (h->Handle == after) passed = true;
            continue;
        }
        if (!h->Removed) return h;
    }
    return nullptr;
}

} // namespace

LRESULT CallHooks(int kind, int code, WPARAM w, LPARAM l) {
    auto h = NextHook(kind, nullptr);
    if (!h) return 0;
    return h->Proc(code, w, l);
}

// ---- sending -----------------------------------------------------------------------------------------

LRESULT Send(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    TDesktop& d = Desk();
    WNDPROC proc;
    std::thread::id owner;
    {
        std::lock_guard g(d.Lock);
        TWindow* win = Find(hwnd);
        if (!win) return 0;
        proc = win->Proc;
        owner = win->Thread;
    }
    if (owner != std::this_thread::get_id()) {
        // Another thread's window: its own thread runs the procedure while this one waits.
        if (owner == MainThreadID()) {
            LRESULT r = 0;
            TThread::Synchronize(nullptr, [&] { r = Send(hwnd, msg, w, l); });
            return r;
        }
        auto q = QueuePtr(owner);
        auto req = std::make_shared<TSentRequest>();
        req->Hwnd = hwnd;
        req->Msg = msg;
        req->W = w;
        req->L = l;
        {
            std::lock_guard g(q->Lock);
            q->Sent.push_back(req);
        }
        q->Changed.notify_all();
        std::unique_lock g(q->Lock);
        q->Changed.wait(g, [&] { return req->Done; });
        if (req->Error) std::rethrow_exception(req->Error);
        return req->Result;
    }
    if (HasHooks(WH_CALLWNDPROC)) {
        CWPSTRUCT cwp{l, w, msg, hwnd};
        CallHooks(WH_CALLWNDPROC, HC_ACTION, 1, reinterpret_cast<LPARAM>(&cwp));
    }
    if (!proc) return DefWindowProc(hwnd, msg, w, l);
    TQueue& q = QueueOf(std::this_thread::get_id());
    ++q.SendDepth;
    struct TDepth {
        TQueue& Q;
        ~TDepth() { --Q.SendDepth; }
    } depth{q};
    return proc(hwnd, msg, w, l);
}

} // namespace desktop

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return Send(hwnd, msg, wParam, lParam);
}

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!proc) return 0;
    return proc(hwnd, msg, wParam, lParam);
}

bool InSendMessage() {
    return QueueOf(std::this_thread::get_id()).SendDepth > 0;
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(std::hash<std::thread::id>()(std::this_thread::get_id()) | 1);
}

// ---- object window procedures ------------------------------------------------------------------------

namespace {

constexpr size_t kInstanceSlots = 1024;
std::array<TWndMethod, kInstanceSlots>& InstanceSlots() {
    static std::array<TWndMethod, kInstanceSlots>* s = new std::array<TWndMethod, kInstanceSlots>;
    return *s;
}
std::mutex gInstanceLock;

template <size_t I>
LRESULT InstanceProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    TWndMethod method;
    {
        std::lock_guard g(gInstanceLock);
        method = InstanceSlots()[I];
    }
    return method ? method(h, m, w, l) : DefWindowProc(h, m, w, l);
}

template <size_t... I>
constexpr std::array<WNDPROC, sizeof...(I)> MakeInstanceTable(std::index_sequence<I...>) {
    return {&InstanceProc<I>...};
}
const std::array<WNDPROC, kInstanceSlots> kInstanceProcs =
    MakeInstanceTable(std::make_index_sequence<kInstanceSlots>());

} // namespace

WNDPROC MakeObjectInstance(TWndMethod method) {
    std::lock_guard g(gInstanceLock);
    auto& slots = InstanceSlots();
    for (size_t i = 0; i < kInstanceSlots; ++i)
        if (!slots[i]) {
            slots[i] = method ? std::move(method) : TWndMethod([](HWND h, UINT m, WPARAM w, LPARAM l) {
                return DefWindowProc(h, m, w, l);
            });
            return kInstanceProcs[i];
        }
    throw EOutOfResources("Too many object window procedures");
}

void FreeObjectInstance(WNDPROC proc) {
    std::lock_guard g(gInstanceLock);
    for (size_t i = 0; i < kInstanceSlots; ++i)
        if (kInstanceProcs[i] == proc) InstanceSlots()[i] = nullptr;
}

// ---- posting -------------------------------------------------------------------------------------------

bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::thread::id thread;
    if (!hwnd) {
        thread = std::this_thread::get_id();
    } else {
        std::lock_guard g(Desk().Lock);
        TWindow* w = Find(hwnd);
        if (!w || w->Destroying) return false;
        thread = w->Thread;
    }
    auto q = QueuePtr(thread);
    MSG m{hwnd, msg, wParam, lParam, GetTickCount(), Desk().Mouse.Pos};
    {
        std::lock_guard g(q->Lock);
        q->Posted.push_back(m);
    }
    q->Changed.notify_all();
    return true;
}

bool PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
    TDesktop& d = Desk();
    std::shared_ptr<TQueue> q;
    {
        std::lock_guard g(d.QueuesLock);
        for (auto& [id, qq] : d.Queues)
            if (static_cast<DWORD>(std::hash<std::thread::id>()(id) | 1) == threadId) q = qq;
    }
    if (!q) return false;
    MSG m{nullptr, msg, wParam, lParam, GetTickCount(), {}};
    {
        std::lock_guard g(q->Lock);
        q->Posted.push_back(m);
    }
    q->Changed.notify_all();
    return true;
}

void PostQuitMessage(int exitCode) {
    TQueue& q = QueueOf(std::this_thread::get_id());
    {
        std::lock_guard g(q.Lock);
        q.Quit = true;
        q.QuitCode = exitCode;
    }
    q.Changed.notify_all();
}

UINT RegisterWindowMessage(std::string_view name) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    if (name.empty()) return 0;
    std::string key(name);
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto it = d.RegisteredMessages.find(key);
    if (it != d.RegisteredMessages.end()) return it->second;
    if (d.NextRegistered > 0xFFFF) return 0;
    return d.RegisteredMessages[key] = d.NextRegistered++;
}

// ---- timers --------------------------------------------------------------------------------------------

uintptr_t SetTimer(HWND hwnd, uintptr_t id, UINT elapse, TIMERPROC proc) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    if (hwnd && !Find(hwnd)) return 0;
    if (elapse == 0) elapse = 1;
    uint64_t now = Clock().Milliseconds();
    if (hwnd) {
        for (TTimer& t : d.Timers)
            if (t.Window == hwnd && t.Id == id) {
                t.Interval = elapse;
                t.Proc = proc;
                t.Due = now + elapse;
                t.Order = d.TimerOrder++;
                return id ? id : 1;
            }
    } else {
        id = d.NextTimerId++;
    }
    TTimer t;
    t.Window = hwnd;
    t.Id = id;
    t.Interval = elapse;
    t.Proc = proc;
    t.Due = now + elapse;
    t.Order = d.TimerOrder++;
    t.Thread = hwnd ? Find(hwnd)->Thread : std::this_thread::get_id();
    d.Timers.push_back(t);
    if (auto q = QueuePtr(t.Thread)) WakeQueue(*q);
    return hwnd ? (id ? id : 1) : id;
}

uintptr_t SetTimerMethod(UINT elapse, std::function<void()> method) {
    uintptr_t id = SetTimer(nullptr, 0, elapse, nullptr);
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    for (TTimer& t : d.Timers)
        if (!t.Window && t.Id == id) t.Method = std::move(method);
    return id;
}

bool KillTimer(HWND hwnd, uintptr_t id) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    auto n =
        std::erase_if(d.Timers, [&](const TTimer& t) { return t.Window == hwnd && t.Id == id && !t.Caret; });
    // drop WM_TIMER messages of it already queued
    return n > 0;
}

namespace desktop {
void DestroyTimersOf(HWND hwnd) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    std::erase_if(d.Timers, [&](const TTimer& t) { return t.Window == hwnd; });
}
} // namespace desktop

// ---- caret ---------------------------------------------------------------------------------------------

namespace {

void InvertCaret() {
    TDesktop& d = Desk();
    TWindow* w = Find(d.Caret.Window);
    if (!w) return;
    HDC dc = GetDC(d.Caret.Window);
    TRect r = d.Caret.Rect;
    PatBlt(dc, r.Left, r.Top, r.Width(), r.Height(), DSTINVERT);
    ReleaseDC(d.Caret.Window, dc);
    d.Caret.Drawn = !d.Caret.Drawn;
}

void CaretTick(HWND, UINT, uintptr_t, DWORD) {
    TDesktop& d = Desk();
    if (d.Caret.Window && d.Caret.HideCount == 0) InvertCaret();
}

void StartCaretTimer() {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    std::erase_if(d.Timers, [](const TTimer& t) { return t.Caret; });
    TTimer t;
    t.Id = d.NextTimerId++;
    t.Interval = std::max(1u, d.CaretBlinkTime);
    t.Proc = CaretTick;
    t.Due = Clock().Milliseconds() + t.Interval;
    t.Order = d.TimerOrder++;
    t.Thread = std::this_thread::get_id();
    t.Caret = true;
    d.Timers.push_back(t);
}

} // namespace

namespace desktop {
void CaretErase() {
    TDesktop& d = Desk();
    if (d.Caret.Window && d.Caret.Drawn) InvertCaret();
}
void CaretRestore() {
    TDesktop& d = Desk();
    if (d.Caret.Window && !d.Caret.Drawn && d.Caret.HideCount == 0) InvertCaret();
}
} // namespace desktop

bool CreateCaret(HWND hwnd, HBITMAP, int width, int height) {
    if (!IsWindow(hwnd)) return false;
    DestroyCaret();
    TDesktop& d = Desk();
    d.Caret.Window = hwnd;
    d.Caret.Rect = {0, 0, width > 0 ? width : GetSystemMetrics(SM_CXBORDER), height > 0 ? height : 16};
    d.Caret.HideCount = 1;
    d.Caret.Drawn = false;
    StartCaretTimer();
    return true;
}

bool DestroyCaret() {
    TDesktop& d = Desk();
    if (!d.Caret.Window) return false;
    CaretErase();
    d.Caret = TCaret{};
    std::lock_guard g(d.Lock);
    std::erase_if(d.Timers, [](const TTimer& t) { return t.Caret; });
    return true;
}

bool ShowCaret(HWND hwnd) {
    TDesktop& d = Desk();
    if (!d.Caret.Window || (hwnd && hwnd != d.Caret.Window)) return false;
    if (d.Caret.HideCount > 0 && --d.Caret.HideCount == 0) {
        CaretRestore();
        StartCaretTimer();
    }
    return true;
}

bool HideCaret(HWND hwnd) {
    TDesktop& d = Desk();
    if (!d.Caret.Window || (hwnd && hwnd != d.Caret.Window)) return false;
    if (d.Caret.HideCount++ == 0) CaretErase();
    return true;
}

bool SetCaretPos(int x, int y) {
    TDesktop& d = Desk();
    if (!d.Caret.Window) return false;
    bool drawn = d.Caret.Drawn;
    CaretErase();
    d.Caret.Rect = Bounds(x, y, d.Caret.Rect.Width(), d.Caret.Rect.Height());
    if (drawn) CaretRestore();
    return true;
}

bool GetCaretPos(TPoint* p) {
    TDesktop& d = Desk();
    if (!d.Caret.Window || !p) return false;
    *p = d.Caret.Rect.TopLeft();
    return true;
}

UINT GetCaretBlinkTime() {
    return Desk().CaretBlinkTime;
}
bool SetCaretBlinkTime(UINT ms) {
    Desk().CaretBlinkTime = ms ? ms : 1;
    return true;
}

// ---- cursors -------------------------------------------------------------------------------------------

namespace {

struct TCursorRec {
    int Id = 0;
    std::string Name;
    TDibPtr Image, Mask;
    TPoint Hot;
};
std::vector<std::unique_ptr<TCursorRec>>& Cursors() {
    static auto* v = new std::vector<std::unique_ptr<TCursorRec>>;
    return *v;
}
std::mutex gCursorLock;

} // namespace

HCURSOR LoadCursor(HINSTANCE, const char* name) {
    std::lock_guard g(gCursorLock);
    uintptr_t v = reinterpret_cast<uintptr_t>(name);
    auto& all = Cursors();
    if (v < 0x10000) {
        static const int ids[] = {32512, 32513, 32514, 32515, 32516, 32642, 32643,
                                  32644, 32645, 32646, 32648, 32649, 32650, 32651};
        if (std::find(std::begin(ids), std::end(ids), static_cast<int>(v)) == std::end(ids)) return nullptr;
        for (auto& c : all)
            if (c->Id == static_cast<int>(v)) return reinterpret_cast<HCURSOR>(c.get());
        auto c = std::make_unique<TCursorRec>();
        c->Id = static_cast<int>(v);
        all.push_back(std::move(c));
        return reinterpret_cast<HCURSOR>(all.back().get());
    }
    if (!name) return nullptr;
    for (auto& c : all)
        if (!c->Name.empty() && c->Name == name) return reinterpret_cast<HCURSOR>(c.get());
    return nullptr;
}

HCURSOR CreateCursorFromDib(TDibPtr image, TDibPtr mask, TPoint hotSpot, std::string_view name) {
    std::lock_guard g(gCursorLock);
    auto c = std::make_unique<TCursorRec>();
    c->Image = std::move(image);
    c->Mask = std::move(mask);
    c->Hot = hotSpot;
    c->Name = std::string(name);
    Cursors().push_back(std::move(c));
    return reinterpret_cast<HCURSOR>(Cursors().back().get());
}

HCURSOR SetCursor(HCURSOR cursor) {
    TDesktop& d = Desk();
    HCURSOR old = d.Cursor;
    d.Cursor = cursor;
    if (TBackend* b = GetBackend(); b && old != cursor) b->CursorChanged(GetCursorId(cursor));
    return old;
}

HCURSOR GetCursor() {
    return Desk().Cursor;
}

int ShowCursor(bool show) {
    return Desk().CursorShowCount += show ? 1 : -1;
}

int GetCursorId(HCURSOR cursor) {
    std::lock_guard g(gCursorLock);
    for (auto& c : Cursors())
        if (reinterpret_cast<HCURSOR>(c.get()) == cursor) return c->Id;
    return 0;
}

// ---- focus and activation --------------------------------------------------------------------------------

namespace {

bool InTreeOf(HWND h, HWND root) {
    for (TWindow* w = Find(h); w; w = w->Parent)
        if (w->Handle == root) return true;
    return false;
}

HWND ActivateWindow(HWND hwnd, bool mouse) {
    TDesktop& d = Desk();
    HWND top = GetAncestor(hwnd, GA_ROOT);
    if (!top) return nullptr;
    HWND old = d.Active;
    if (top == old) return old;
    TWindow* t = Find(top);
    if (!t || (t->Style & WS_DISABLED) || t->Destroying) return nullptr;
    if (HasHooks(WH_CBT)) {
        CBTACTIVATESTRUCT cbt{mouse, old};
        if (CallHooks(WH_CBT, HCBT_ACTIVATE, reinterpret_cast<WPARAM>(top), reinterpret_cast<LPARAM>(&cbt)))
            return nullptr;
    }
    if (old && IsWindow(old)) {
        Send(old, WM_NCACTIVATE, 0, reinterpret_cast<LPARAM>(top));
        Send(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top));
        if (d.Focus && InTreeOf(d.Focus, old)) {
            HWND f = d.Focus;
            d.Focus = nullptr;
            Send(f, WM_KILLFOCUS, 0, 0);
        }
    }
    if (!IsWindow(top)) return old;
    if (!d.AppForeground) SetApplicationForeground(true);
    d.Active = top;
    SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Send(top, WM_NCACTIVATE, 1, reinterpret_cast<LPARAM>(old));
    Send(top, WM_ACTIVATE, mouse ? WA_CLICKACTIVE : WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    return old;
}

} // namespace

HWND SetActiveWindow(HWND hwnd) {
    if (!IsWindow(hwnd)) return nullptr;
    return ActivateWindow(hwnd, false);
}

HWND GetActiveWindow() {
    return Desk().Active;
}
HWND GetForegroundWindow() {
    return Desk().AppForeground ? Desk().Active : nullptr;
}

bool SetForegroundWindow(HWND hwnd) {
    if (!IsWindow(hwnd)) return false;
    SetApplicationForeground(true);
    ActivateWindow(hwnd, false);
    return true;
}

void SetApplicationForeground(bool foreground) {
    TDesktop& d = Desk();
    if (d.AppForeground == foreground) return;
    d.AppForeground = foreground;
    std::vector<HWND> tops;
    EnumWindows([&](HWND h) {
        tops.push_back(h);
        return true;
    });
    for (HWND h : tops) Send(h, WM_ACTIVATEAPP, foreground ? 1 : 0, 0);
    if (!foreground && d.Active) {
        Send(d.Active, WM_NCACTIVATE, 0, 0);
    } else if (foreground && d.Active) {
        Send(d.Active, WM_NCACTIVATE, 1, 0);
    }
}

bool IsApplicationForeground() {
    return Desk().AppForeground;
}

HWND SetFocus(HWND hwnd) {
    TDesktop& d = Desk();
    HWND old = d.Focus;
    if (hwnd) {
        TWindow* w = Find(hwnd);
        if (!w || w->Destroying || w->Thread != std::this_thread::get_id()) return nullptr;
        if (HasHooks(WH_CBT) &&
            CallHooks(WH_CBT, HCBT_SETFOCUS, reinterpret_cast<WPARAM>(hwnd), reinterpret_cast<LPARAM>(old)))
            return nullptr;
        HWND top = GetAncestor(hwnd, GA_ROOT);
        if (top != d.Active) {
            ActivateWindow(top, false);
            if (d.Active != top) return nullptr;
            old = d.Focus;
        }
        if (d.Focus == hwnd) return hwnd;
    } else if (HasHooks(WH_CBT) && CallHooks(WH_CBT, HCBT_SETFOCUS, 0, reinterpret_cast<LPARAM>(old))) {
        return nullptr;
    }
    old = d.Focus;
    d.Focus = hwnd;
    if (old && IsWindow(old)) Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && IsWindow(hwnd) && d.Focus == hwnd) Send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() {
    return Desk().Focus;
}

// ---- capture -------------------------------------------------------------------------------------------

HWND SetCapture(HWND hwnd) {
    TDesktop& d = Desk();
    HWND old = d.Mouse.Capture;
    if (!IsWindow(hwnd)) return old;
    d.Mouse.Capture = hwnd;
    if (old && old != hwnd && IsWindow(old)) Send(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

bool ReleaseCapture() {
    TDesktop& d = Desk();
    HWND old = d.Mouse.Capture;
    d.Mouse.Capture = nullptr;
    if (old && IsWindow(old)) Send(old, WM_CAPTURECHANGED, 0, 0);
    return true;
}

HWND GetCapture() {
    return Desk().Mouse.Capture;
}

bool ClipCursor(const TRect* rect) {
    TDesktop& d = Desk();
    if (!rect) {
        d.Mouse.HasClip = false;
        return true;
    }
    EnsureDesktop();
    d.Mouse.Clip = IntersectRect(*rect, d.Screen->BoundsRect());
    d.Mouse.HasClip = !d.Mouse.Clip.IsEmpty();
    if (d.Mouse.HasClip) {
        TPoint p = d.Mouse.Pos;
        p.X = std::clamp(p.X, d.Mouse.Clip.Left, d.Mouse.Clip.Right - 1);
        p.Y = std::clamp(p.Y, d.Mouse.Clip.Top, d.Mouse.Clip.Bottom - 1);
        if (p != d.Mouse.Pos) SetCursorPos(p.X, p.Y);
    }
    return true;
}

bool GetClipCursor(TRect* rect) {
    if (!rect) return false;
    TDesktop& d = Desk();
    EnsureDesktop();
    *rect = d.Mouse.HasClip ? d.Mouse.Clip : d.Screen->BoundsRect();
    return true;
}

bool GetCursorPos(TPoint* p) {
    if (!p) return false;
    *p = Desk().Mouse.Pos;
    return true;
}

bool SetCursorPos(int x, int y) {
    TRawInput in;
    in.Kind = TInputKind::MouseMove;
    in.Pos = {x, y};
    PostRawInput(in);
    return true;
}

bool TrackMouseEvent(TRACKMOUSEEVENT* tme) {
    TDesktop& d = Desk();
    if (!tme) return false;
    if (tme->dwFlags & TME_QUERY) {
        tme->dwFlags = d.Mouse.Tracking ? static_cast<DWORD>(TME_LEAVE) : 0u;
        tme->hwndTrack = d.Mouse.Tracking;
        return true;
    }
    if (tme->dwFlags & TME_CANCEL) {
        if (d.Mouse.Tracking == tme->hwndTrack) d.Mouse.Tracking = nullptr;
        return true;
    }
    if (!IsWindow(tme->hwndTrack)) return false;
    if (tme->dwFlags & TME_LEAVE) {
        // a window the pointer is not over gets its leave at once
        if (WindowFromPoint(d.Mouse.Pos) != tme->hwndTrack)
            PostMessage(tme->hwndTrack,
                        (tme->dwFlags & TME_NONCLIENT) ? 0x02A2u : static_cast<UINT>(WM_MOUSELEAVE), 0, 0);
        else {
            d.Mouse.Tracking = tme->hwndTrack;
            d.Mouse.TrackingNc = tme->dwFlags & TME_NONCLIENT;
        }
    }
    return true;
}

UINT GetDoubleClickTime() {
    return Desk().DoubleClickTime;
}
bool SetDoubleClickTime(UINT ms) {
    Desk().DoubleClickTime = ms ? ms : 500;
    return true;
}
bool SwapMouseButton(bool swap) {
    bool old = Desk().SwapButtons;
    Desk().SwapButtons = swap;
    return old;
}

bool DragDetect(HWND hwnd, TPoint pt) {
    // Waits for the pointer to leave the drag rectangle (true) or the button to go up (false).
    TRect r = InflateRect(TRect{pt.X, pt.Y, pt.X + 1, pt.Y + 1}, GetSystemMetrics(SM_CXDRAG),
                          GetSystemMetrics(SM_CYDRAG));
    SetCapture(hwnd);
    MSG m;
    bool result = false;
    while (GetMessage(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_MOUSEMOVE && m.hwnd == hwnd) {
            TPoint s = LParamToPoint(m.lParam);
            ClientToScreen(hwnd, &s);
            TPoint c = pt;
            ClientToScreen(hwnd, &c);
            r = InflateRect(TRect{c.X, c.Y, c.X + 1, c.Y + 1}, GetSystemMetrics(SM_CXDRAG),
                            GetSystemMetrics(SM_CYDRAG));
            if (!r.Contains(s)) {
                result = true;
                break;
            }
        } else if (m.message == WM_LBUTTONUP || m.message == WM_RBUTTONUP || m.message == WM_KEYDOWN) {
            break;
        } else {
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
        if (GetCapture() != hwnd) break;
    }
    if (m.message == WM_QUIT) PostQuitMessage(static_cast<int>(m.wParam));
    ReleaseCapture();
    return result;
}

// ---- keyboard ----------------------------------------------------------------------------------------

int16_t GetKeyState(int vk) {
    if (vk < 0 || vk > 255) return 0;
    uint8_t s = Desk().KeyState[vk];
    return static_cast<int16_t>(((s & 0x80) ? 0x8000 : 0) | (s & 1));
}

int16_t GetAsyncKeyState(int vk) {
    if (vk < 0 || vk > 255) return 0;
    return static_cast<int16_t>((Desk().AsyncKeyState[vk] & 0x80) ? 0x8000 : 0);
}

bool GetKeyboardState(BYTE* keys) {
    if (!keys) return false;
    std::memcpy(keys, Desk().KeyState, 256);
    return true;
}

UINT MapVirtualKey(UINT code, UINT) {
    return code;
}

bool MessageBeep(UINT type) {
    ++Desk().Beeps;
    if (TBackend* b = GetBackend()) b->Beep(type);
    return true;
}

int MessageBeepCount() {
    return Desk().Beeps;
}

// ---- input ---------------------------------------------------------------------------------------------

namespace desktop {

void PostRawInput(const TRawInput& in0) {
    TDesktop& d = Desk();
    EnsureDesktop();
    TRawInput in = in0;
    in.Time = GetTickCount();
    if (in.Kind == TInputKind::MouseMove || in.Kind == TInputKind::MouseButton) {
        if (in.Kind == TInputKind::MouseButton) in.Pos = d.Mouse.Pos;
        TRect lim = d.Mouse.HasClip ? d.Mouse.Clip : d.Screen->BoundsRect();
        in.Pos.X = std::clamp(in.Pos.X, lim.Left, lim.Right - 1);
        in.Pos.Y = std::clamp(in.Pos.Y, lim.Top, lim.Bottom - 1);
        d.Mouse.Pos = in.Pos;
        if (in.Kind == TInputKind::MouseButton && in.Button >= 0 && in.Button < 3) {
            static const int vks[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
            d.AsyncKeyState[vks[in.Button]] = in.Down ? 0x80 : 0;
        }
    } else if (in.Kind == TInputKind::Key && in.Vk > 0 && in.Vk < 256) {
        d.AsyncKeyState[in.Vk] = in.Down ? 0x80 : 0;
    } else if (in.Kind == TInputKind::Wheel) {
        in.Pos = d.Mouse.Pos;
    }
    auto q = QueuePtr(MainThreadID());
    {
        std::lock_guard g(q->Lock);
        q->Input.push_back(in);
    }
    q->Changed.notify_all();
}

} // namespace desktop

namespace {

WPARAM MouseKeys() {
    TDesktop& d = Desk();
    WPARAM k = 0;
    if (d.KeyState[VK_LBUTTON] & 0x80) k |= MK_LBUTTON;
    if (d.KeyState[VK_RBUTTON] & 0x80) k |= MK_RBUTTON;
    if (d.KeyState[VK_MBUTTON] & 0x80) k |= MK_MBUTTON;
    if (d.KeyState[VK_SHIFT] & 0x80) k |= MK_SHIFT;
    if (d.KeyState[VK_CONTROL] & 0x80) k |= MK_CONTROL;
    return k;
}

// The window under the pointer and its hit-test answer (HTTRANSPARENT passes to the window below
// among siblings, then to the parent).
HWND HitTestWindow(TPoint pos, LRESULT& hit) {
    HWND h = WindowFromPoint(pos);
    TDesktop& d = Desk();
    for (int guard = 0; h && guard < 64; ++guard) {
        if (h == d.Root->Handle) {
            hit = HTNOWHERE;
            return h;
        }
        hit = Send(h, WM_NCHITTEST, 0, PointToLParam(pos));
        if (hit != HTTRANSPARENT) return h;
        // next candidate: a lower sibling under the point, else the parent
        TWindow* w = Find(h);
        if (!w) return nullptr;
        HWND next = nullptr;
        if (w->Parent) {
            auto& v = w->Parent->Children;
            auto it = std::find(v.begin(), v.end(), w);
            for (++it; it != v.end(); ++it) {
                TWindow* s = *it;
                TRect r = WindowScreenRect(s);
                if ((s->Style & WS_VISIBLE) && r.Contains(pos) &&
                    (!s->HasRgn || s->Rgn.Contains(pos.X - r.Left, pos.Y - r.Top))) {
                    next = s->Handle;
                    break;
                }
            }
            if (!next) next = w->Parent->Handle;
        }
        h = next;
    }
    return h;
}

void UpdateSyncKey(int vk, bool down) {
    TDesktop& d = Desk();
    uint8_t& s = d.KeyState[vk];
    if (down && !(s & 0x80)) s ^= 1; // toggle on each press
    s = static_cast<uint8_t>((s & 1) | (down ? 0x80 : 0));
    auto both = [&](int generic, int l, int r) {
        if (vk == l || vk == r)
            d.KeyState[generic] = static_cast<uint8_t>(((d.KeyState[l] | d.KeyState[r]) & 0x80));
    };
    both(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
    both(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
    both(VK_MENU, VK_LMENU, VK_RMENU);
}

// Turns one raw input event into messages appended to q.Converted; GUI thread.
void ConvertInput(TQueue& q, const TRawInput& in) {
    TDesktop& d = Desk();
    auto emit = [&](HWND h, UINT m, WPARAM w, LPARAM l) {
        std::lock_guard g(q.Lock);
        q.Converted.push_back(MSG{h, m, w, l, in.Time, in.Pos});
    };
    switch (in.Kind) {
    case TInputKind::Char: {
        HWND f = d.Focus ? d.Focus : d.Active;
        if (f) emit(f, (d.KeyState[VK_MENU] & 0x80) ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(in.Char), 1);
        return;
    }
    case TInputKind::Key: {
        int vk = in.Vk & 255;
        bool wasDown = d.KeyState[vk] & 0x80;
        UpdateSyncKey(vk, in.Down);
        if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) {
            int l = vk == VK_SHIFT ? VK_LSHIFT : vk == VK_CONTROL ? VK_LCONTROL : VK_LMENU;
            UpdateSyncKey(l, in.Down);
            d.KeyState[vk] = static_cast<uint8_t>((d.KeyState[vk] & 1) | (in.Down ? 0x80 : 0));
        }
        bool alt = d.KeyState[VK_MENU] & 0x80;
        HWND target = d.Focus;
        bool sys = alt || vk == VK_F10 || vk == VK_MENU || !target;
        if (!target) target = d.Active;
        if (!target) return;
        LPARAM data = 1 | (static_cast<LPARAM>(vk & 0xFF) << 16) |
                      (alt ? static_cast<UINT>(KF_ALTDOWN_BIT) : 0u) | (wasDown ? (LPARAM(1) << 30) : 0) |
                      (in.Down ? 0 : (LPARAM(1) << 30) | (LPARAM(1) << 31));
        if (HasHooks(WH_KEYBOARD) && CallHooks(WH_KEYBOARD, HC_ACTION, static_cast<WPARAM>(vk), data)) return;
        UINT msg = in.Down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
        emit(target, msg, static_cast<WPARAM>(vk), data);
        return;
    }
    case TInputKind::Wheel: {
        HWND f = d.Focus ? d.Focus : d.Active;
        if (f)
            emit(f, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(MouseKeys()), in.Delta),
                 PointToLParam(in.Pos));
        return;
    }
    case TInputKind::MouseMove:
    case TInputKind::MouseButton: break;
    }
    int button = in.Button;
    if (in.Kind == TInputKind::MouseButton && d.SwapButtons && button < 2) button = 1 - button;
    if (in.Kind == TInputKind::MouseButton) {
        static const int vks[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
        UpdateSyncKey(vks[std::clamp(button, 0, 2)], in.Down);
    }
    HWND h;
    LRESULT hit = HTCLIENT;
    if (d.Mouse.Capture && IsWindow(d.Mouse.Capture)) {
        h = d.Mouse.Capture;
    } else {
        h = HitTestWindow(in.Pos, hit);
        if (!h || h == d.Root->Handle) {
            d.Mouse.LastWindow = nullptr;
            return;
        }
        HWND top = GetAncestor(h, GA_ROOT);
        if (!IsWindowEnabled(top) || !IsWindowEnabled(h)) {
            if (in.Kind == TInputKind::MouseButton && in.Down) MessageBeep(MB_OK);
            return;
        }
    }
    UINT baseMsg = WM_MOUSEMOVE;
    if (in.Kind == TInputKind::MouseButton) {
        static const UINT downs[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
        static const UINT ups[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
        baseMsg = in.Down ? downs[std::clamp(button, 0, 2)] : ups[std::clamp(button, 0, 2)];
    }
    if (HasHooks(WH_MOUSE)) {
        MOUSEHOOKSTRUCT mh{in.Pos, h, static_cast<UINT>(hit), 0};
        if (CallHooks(WH_MOUSE, HC_ACTION, baseMsg, reinterpret_cast<LPARAM>(&mh))) return;
    }
    // leave notification
    if (d.Mouse.Tracking && (d.Mouse.Tracking != h || (hit != HTCLIENT) != d.Mouse.TrackingNc)) {
        HWND t = d.Mouse.Tracking;
        bool nc = d.Mouse.TrackingNc;
        d.Mouse.Tracking = nullptr;
        emit(t, nc ? 0x02A2u : static_cast<UINT>(WM_MOUSELEAVE), 0, 0);
    }
    d.Mouse.LastWindow = h;
    bool eat = false;
    if (in.Kind == TInputKind::MouseButton && in.Down && !d.Mouse.Capture) {
        HWND top = GetAncestor(h, GA_ROOT);
        if (top && top != d.Active) {
            LRESULT ma = Send(h, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                              MAKELPARAM(static_cast<int>(hit), static_cast<int>(baseMsg)));
            if (ma == MA_ACTIVATE || ma == MA_ACTIVATEANDEAT || ma == 0) {
                TWindow* t = Find(top);
                if (t && !(t->ExStyle & WS_EX_NOACTIVATE)) ActivateWindow(top, true);
            }
            eat = ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT;
        }
    }
    if (!IsWindow(h)) return;
    if (!d.Mouse.Capture)
        Send(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h),
             MAKELPARAM(static_cast<int>(hit), static_cast<int>(baseMsg)));
    if (eat || !IsWindow(h)) return;
    bool client = hit == HTCLIENT;
    UINT msg = baseMsg;
    if (in.Kind == TInputKind::MouseButton && in.Down) {
        // double clicks: same window and button, in time and in the double-click rectangle
        TWindow* w = Find(h);
        bool dblAllowed = !client || (w && (w->Class->Info.style & CS_DBLCLKS));
        int cx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, cy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
        bool isDouble = dblAllowed && d.Mouse.LastClickWindow == h && d.Mouse.LastClickButton == button &&
                        !d.Mouse.LastWasDouble && d.Mouse.LastClickNc == !client &&
                        in.Time - d.Mouse.LastClickTime <= d.DoubleClickTime &&
                        std::abs(in.Pos.X - d.Mouse.LastClickPos.X) <= cx &&
                        std::abs(in.Pos.Y - d.Mouse.LastClickPos.Y) <= cy;
        if (isDouble) msg = baseMsg + 2;
        d.Mouse.LastClickWindow = h;
        d.Mouse.LastClickButton = button;
        d.Mouse.LastClickTime = in.Time;
        d.Mouse.LastClickPos = in.Pos;
        d.Mouse.LastWasDouble = isDouble;
        d.Mouse.LastClickNc = !client;
    }
    if (client) {
        TPoint c = in.Pos;
        ScreenToClient(h, &c);
        emit(h, msg, MouseKeys(), PointToLParam(c));
    } else {
        emit(h, msg - WM_MOUSEMOVE + WM_NCMOUSEMOVE, static_cast<WPARAM>(hit), PointToLParam(in.Pos));
    }
}

bool Matches(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
    if (hwnd == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd) return false;
    } else if (hwnd && m.hwnd != hwnd && !IsChild(hwnd, m.hwnd)) {
        return false;
    }
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

bool FilterAllows(UINT msg, UINT lo, UINT hi) {
    return (lo == 0 && hi == 0) || (msg >= lo && msg <= hi);
}

thread_local MSG tCurrent;

// The next window of this thread with something to paint (parents before children).
HWND FindPaintWindow(HWND filter) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    auto self = std::this_thread::get_id();
    std::vector<TWindow*> stack{d.Root};
    while (!stack.empty()) {
        TWindow* w = stack.back();
        stack.pop_back();
        if (!(w->Style & WS_VISIBLE) || w->Destroying) continue;
        if (w->Thread == self && (!w->Update.IsEmpty() || w->NcDirty || w->InternalPaint) &&
            (!filter || w->Handle == filter || IsChild(filter, w->Handle)))
            return w->Handle;
        for (auto it = w->Children.rbegin(); it != w->Children.rend(); ++it) stack.push_back(*it);
    }
    return nullptr;
}

bool TakeTimer(MSG& out, HWND filter, bool remove) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    uint64_t now = Clock().Milliseconds();
    auto self = std::this_thread::get_id();
    TTimer* best = nullptr;
    for (TTimer& t : d.Timers) {
        if (t.Thread != self || t.Due > now) continue;
        if (filter && t.Window != filter) continue;
        if (!best || t.Due < best->Due || (t.Due == best->Due && t.Order < best->Order)) best = &t;
    }
    if (!best) return false;
    out = MSG{best->Window, WM_TIMER, best->Id, reinterpret_cast<LPARAM>(best->Proc), static_cast<DWORD>(now),
              d.Mouse.Pos};
    if (best->Caret) out.hwnd = nullptr;
    if (remove) {
        best->Due = now + best->Interval;
        best->Order = d.TimerOrder++;
    }
    return true;
}

uint64_t NextTimerDue() {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    auto self = std::this_thread::get_id();
    uint64_t due = UINT64_MAX;
    for (const TTimer& t : d.Timers)
        if (t.Thread == self) due = std::min(due, t.Due);
    return due;
}

void RunSentRequests(TQueue& q) {
    for (;;) {
        std::shared_ptr<TSentRequest> r;
        {
            std::lock_guard g(q.Lock);
            if (q.Sent.empty()) return;
            r = q.Sent.front();
            q.Sent.pop_front();
        }
        try {
            r->Result = Send(r->Hwnd, r->Msg, r->W, r->L);
        } catch (...) {
            r->Error = std::current_exception();
        }
        {
            std::lock_guard g(q.Lock);
            r->Done = true;
        }
        q.Changed.notify_all();
    }
}

bool PeekInternal(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT remove) {
    TQueue& q = QueueOf(std::this_thread::get_id());
    bool isMain = IsMainThread();
    if (isMain) CheckSynchronize(0);
    RunSentRequests(q);
    bool removeIt = remove & PM_REMOVE;
    // posted messages (dropping those whose window is gone)
    {
        std::unique_lock g(q.Lock);
        for (auto it = q.Posted.begin(); it != q.Posted.end();) {
            if (it->hwnd && !Find(it->hwnd)) {
                it = q.Posted.erase(it);
                continue;
            }
            if (Matches(*it, hwnd, lo, hi)) {
                *msg = *it;
                if (removeIt) q.Posted.erase(it);
                return true;
            }
            ++it;
        }
    }
    // input
    if (isMain) {
        for (;;) {
            {
                std::lock_guard g(q.Lock);
                for (auto it = q.Converted.begin(); it != q.Converted.end(); ++it)
                    if (Matches(*it, hwnd, lo, hi)) {
                        *msg = *it;
                        if (removeIt) q.Converted.erase(it);
                        return true;
                    }
            }
            TRawInput in;
            {
                std::lock_guard g(q.Lock);
                if (q.Input.empty()) break;
                in = q.Input.front();
                q.Input.pop_front();
            }
            ConvertInput(q, in);
        }
    }
    {
        std::lock_guard g(q.Lock);
        if (q.Quit && FilterAllows(WM_QUIT, lo, hi)) {
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.QuitCode), 0, GetTickCount(), {}};
            if (removeIt) q.Quit = false;
            return true;
        }
    }
    if (FilterAllows(WM_PAINT, lo, hi) && hwnd != reinterpret_cast<HWND>(-1)) {
        if (HWND p = FindPaintWindow(hwnd)) {
            *msg = MSG{p, WM_PAINT, 0, 0, GetTickCount(), Desk().Mouse.Pos};
            return true;
        }
    }
    if (FilterAllows(WM_TIMER, lo, hi) && hwnd != reinterpret_cast<HWND>(-1))
        if (TakeTimer(*msg, hwnd, removeIt)) return true;
    return false;
}

} // namespace

bool PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove) {
    if (!msg) return false;
    EnsureDesktop();
    if (!PeekInternal(msg, hwnd, filterMin, filterMax, remove)) return false;
    if (HasHooks(WH_GETMESSAGE))
        CallHooks(WH_GETMESSAGE, HC_ACTION, (remove & PM_REMOVE) ? PM_REMOVE : PM_NOREMOVE,
                  reinterpret_cast<LPARAM>(msg));
    if (remove & PM_REMOVE) {
        TQueue& q = QueueOf(std::this_thread::get_id());
        q.LastTime = msg->time;
        q.LastPos = msg->pt;
    }
    return true;
}

int GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) return -1;
    EnsureDesktop();
    auto q = QueuePtr(std::this_thread::get_id());
    for (;;) {
        if (PeekMessage(msg, hwnd, filterMin, filterMax, PM_REMOVE)) return msg->message == WM_QUIT ? 0 : 1;
        if (TBackend* b = GetBackend(); b && IsMainThread()) b->Idle();
        uint64_t due = NextTimerDue();
        std::unique_lock g(q->Lock);
        auto ready = [&] {
            return !q->Posted.empty() || !q->Input.empty() || !q->Converted.empty() || !q->Sent.empty() ||
                   q->Quit || (IsMainThread() && SyncRequestPending()) || FindPaintWindow(hwnd) != nullptr;
        };
        if (ready()) continue;
        if (due == UINT64_MAX)
            q->Changed.wait(g, ready);
        else
            Clock().WaitUntil(g, q->Changed, due, ready);
    }
}

bool WaitMessage() {
    MSG m;
    auto q = QueuePtr(std::this_thread::get_id());
    if (PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE)) return true;
    uint64_t due = NextTimerDue();
    std::unique_lock g(q->Lock);
    auto ready = [&] {
        return !q->Posted.empty() || !q->Input.empty() || !q->Converted.empty() || !q->Sent.empty() ||
               q->Quit || (IsMainThread() && SyncRequestPending());
    };
    if (due == UINT64_MAX)
        q->Changed.wait(g, ready);
    else
        Clock().WaitUntil(g, q->Changed, due, ready);
    return true;
}

DWORD GetQueueStatus(UINT flags) {
    TQueue& q = QueueOf(std::this_thread::get_id());
    DWORD s = 0;
    {
        std::lock_guard g(q.Lock);
        if (!q.Posted.empty()) s |= QS_POSTMESSAGE;
        for (const auto& in : q.Input)
            s |= in.Kind == TInputKind::Key || in.Kind == TInputKind::Char ? QS_KEY
                 : in.Kind == TInputKind::MouseMove                        ? QS_MOUSEMOVE
                                                                           : QS_MOUSEBUTTON;
        if (!q.Converted.empty()) s |= QS_MOUSEBUTTON;
    }
    if (FindPaintWindow(nullptr)) s |= QS_PAINT;
    if (NextTimerDue() <= Clock().Milliseconds()) s |= QS_TIMER;
    return s & flags;
}

DWORD GetMessageTime() {
    return QueueOf(std::this_thread::get_id()).LastTime;
}
TPoint GetMessagePos() {
    return QueueOf(std::this_thread::get_id()).LastPos;
}

namespace {

char32_t CharOfKey(int vk) {
    TDesktop& d = Desk();
    bool shift = d.KeyState[VK_SHIFT] & 0x80;
    bool caps = d.KeyState[VK_CAPITAL] & 1;
    bool ctrl = d.KeyState[VK_CONTROL] & 0x80;
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) return static_cast<char32_t>(vk - 'A' + 1);
        return static_cast<char32_t>((shift != caps) ? vk : vk + 32);
    }
    if (ctrl) return 0;
    if (vk >= '0' && vk <= '9') return shift ? U")!@#$%^&*("[vk - '0'] : static_cast<char32_t>(vk);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<char32_t>('0' + vk - VK_NUMPAD0);
    switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_BACK: return '\b';
    case VK_TAB: return '\t';
    case VK_ESCAPE: return 27;
    case VK_OEM_1: return shift ? ':' : ';';
    case VK_OEM_PLUS: return shift ? '+' : '=';
    case VK_OEM_COMMA: return shift ? '<' : ',';
    case VK_OEM_MINUS: return shift ? '_' : '-';
    case VK_OEM_PERIOD: return shift ? '>' : '.';
    case VK_OEM_2: return shift ? '?' : '/';
    case VK_OEM_3: return shift ? '~' : '`';
    case VK_OEM_4: return shift ? '{' : '[';
    case VK_OEM_5: return shift ? '|' : '\\';
    case VK_OEM_6: return shift ? '}' : ']';
    case VK_OEM_7: return shift ? '"' : '\'';
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    default: return 0;
    }
}

} // namespace

bool TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return false;
    char32_t c = CharOfKey(static_cast<int>(msg->wParam));
    if (!c) return false;
    TQueue& q = QueueOf(std::this_thread::get_id());
    {
        std::lock_guard g(q.Lock);
        // the character goes right after the key, before later input
        q.Converted.push_front(MSG{msg->hwnd, msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR,
                                   static_cast<WPARAM>(c), msg->lParam, msg->time, msg->pt});
    }
    return true;
}

LRESULT DispatchMessage(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (msg->message == WM_TIMER && !msg->hwnd) {
        std::function<void()> method;
        {
            std::lock_guard g(Desk().Lock);
            for (TTimer& t : Desk().Timers)
                if (!t.Window && t.Id == msg->wParam) method = t.Method;
        }
        if (method) method();
        return 0;
    }
    if (!msg->hwnd || !IsWindow(msg->hwnd)) return 0;
    tCurrent = *msg;
    LRESULT r = Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    if (msg->message == WM_PAINT) {
        TWindow* w = Find(msg->hwnd);
        if (w && (!w->Update.IsEmpty() || w->NcDirty || w->InternalPaint)) {
            // the procedure did not validate: do it so WM_PAINT does not repeat forever
            PAINTSTRUCT ps;
            BeginPaint(msg->hwnd, &ps);
            EndPaint(msg->hwnd, &ps);
        }
    }
    return r;
}

// ---- hooks API ---------------------------------------------------------------------------------------

HHOOK SetWindowsHookEx(int idHook, THookMethod proc, DWORD threadId) {
    if (!proc) return nullptr;
    if (threadId != 0 && threadId != GetCurrentThreadId()) return nullptr;
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    auto h = std::make_shared<THook>();
    h->Kind = idHook;
    h->Handle = reinterpret_cast<HHOOK>(d.NextHook++);
    h->Proc = std::move(proc);
    h->Thread = std::this_thread::get_id();
    d.Hooks.push_back(h);
    return h->Handle;
}

HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, HINSTANCE, DWORD threadId) {
    if (!proc) return nullptr;
    return SetWindowsHookEx(idHook, THookMethod([proc](int c, WPARAM w, LPARAM l) { return proc(c, w, l); }),
                            threadId);
}

bool UnhookWindowsHookEx(HHOOK hook) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    for (auto it = d.Hooks.begin(); it != d.Hooks.end(); ++it)
        if ((*it)->Handle == hook) {
            (*it)->Removed = true;
            d.Hooks.erase(it);
            return true;
        }
    return false;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
    int kind = 0;
    {
        TDesktop& d = Desk();
        std::lock_guard g(d.Lock);
        for (auto& h : d.Hooks)
            if (h->Handle == hook) kind = h->Kind;
    }
    if (!kind) return 0;
    auto next = NextHook(kind, hook);
    return next ? next->Proc(code, wParam, lParam) : 0;
}

// ---- the default window procedure -----------------------------------------------------------------------

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TDesktop& d = Desk();
    TWindow* w = Find(hwnd);
    if (!w) return 0;
    switch (msg) {
    case WM_NCCREATE: return 1;
    case WM_NCCALCSIZE:
        if (wParam) return DefNcCalcSize(w, reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam));
        if (lParam) {
            NCCALCSIZE_PARAMS p;
            p.rgrc[0] = *reinterpret_cast<TRect*>(lParam);
            DefNcCalcSize(w, &p);
            *reinterpret_cast<TRect*>(lParam) = p.rgrc[0];
        }
        return 0;
    case WM_NCHITTEST: return DefNcHitTest(w, LParamToPoint(lParam));
    case WM_NCPAINT: DefNcPaint(hwnd); return 0;
    case WM_NCACTIVATE:
        w->NcActive = wParam != 0;
        if (w->Style & WS_CAPTION) DefNcPaint(hwnd);
        return 1;
    case WM_SETTEXT:
        w->Text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        if ((w->Style & WS_CAPTION) == WS_CAPTION) DefNcPaint(hwnd);
        return 1;
    case WM_GETTEXT:
        if (lParam) *reinterpret_cast<std::string*>(lParam) = w->Text;
        return static_cast<LRESULT>(w->Text.size());
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->Text.size());
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH br = w->Class->Info.hbrBackground;
        if (!br) return 0;
        TRect r;
        GetClipBox(reinterpret_cast<HDC>(wParam), &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, br);
        return 1;
    }
    case WM_PRINT: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        if ((lParam & PRF_CHECKVISIBLE) && !IsWindowVisible(hwnd)) return 0;
        int saved = SaveDC(dc);
        if (lParam & PRF_NONCLIENT) {
            // The window's own frame painter draws into the print target, so a covered or off-screen
            // window prints its frame and scroll bars as they look when shown.
            TRect wr = WindowScreenRect(w);
            TRect cr = ClientScreenRect(w);
            PrintNonClient(hwnd, dc);
            if (!(w = Find(hwnd))) {
                RestoreDC(dc, saved);
                return 0;
            }
            RestoreDC(dc, saved);
            saved = SaveDC(dc);
            OffsetViewportOrgEx(dc, cr.Left - wr.Left, cr.Top - wr.Top, nullptr);
        }
        IntersectClipRect(dc, 0, 0, w->Client.Width(), w->Client.Height());
        if (lParam & PRF_ERASEBKGND) Send(hwnd, WM_ERASEBKGND, wParam, 0);
        if (lParam & PRF_CLIENT) Send(hwnd, WM_PRINTCLIENT, wParam, lParam);
        if ((lParam & PRF_CHILDREN) && (w = Find(hwnd))) {
            std::vector<HWND> kids;
            for (auto it = w->Children.rbegin(); it != w->Children.rend(); ++it)
                if ((*it)->Style & WS_VISIBLE) kids.push_back((*it)->Handle);
            for (HWND k : kids) {
                TWindow* kw = Find(k);
                if (!kw) continue;
                int s2 = SaveDC(dc);
                OffsetViewportOrgEx(dc, kw->Rect.Left, kw->Rect.Top, nullptr);
                Send(k, WM_PRINT, wParam, (lParam | PRF_NONCLIENT) & ~PRF_CHECKVISIBLE);
                RestoreDC(dc, s2);
            }
        }
        RestoreDC(dc, saved);
        return 0;
    }
    case WM_PRINTCLIENT: return 0;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_WINDOWPOSCHANGED: {
        auto* p = reinterpret_cast<WINDOWPOS*>(lParam);
        if (p && !(p->flags & SWP_NOMOVE))
            Send(hwnd, WM_MOVE, 0, MAKELPARAM(w->Rect.Left + w->Client.Left, w->Rect.Top + w->Client.Top));
        if ((w = Find(hwnd)) && p && !(p->flags & SWP_NOSIZE)) {
            WPARAM kind = w->ShowState == SW_SHOWMAXIMIZED   ? SIZE_MAXIMIZED
                          : w->ShowState == SW_SHOWMINIMIZED ? SIZE_MINIMIZED
                                                             : SIZE_RESTORED;
            Send(hwnd, WM_SIZE, kind, MAKELPARAM(w->Client.Width(), w->Client.Height()));
        }
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && w->ShowState != SW_SHOWMINIMIZED &&
            (!d.Focus || !InTreeOf(d.Focus, hwnd)))
            SetFocus(hwnd);
        return 0;
    case WM_MOUSEACTIVATE:
        if ((w->Style & WS_CHILD) && w->Parent) {
            LRESULT r = Send(w->Parent->Handle, WM_MOUSEACTIVATE, wParam, lParam);
            if (r) return r;
        }
        return MA_ACTIVATE;
    case WM_SETCURSOR: {
        if ((w->Style & WS_CHILD) && w->Parent && Send(w->Parent->Handle, WM_SETCURSOR, wParam, lParam))
            return 1;
        int hit = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
        const char* id = IDC_ARROW;
        switch (hit) {
        case HTLEFT:
        case HTRIGHT: id = IDC_SIZEWE; break;
        case HTTOP:
        case HTBOTTOM: id = IDC_SIZENS; break;
        case HTTOPLEFT:
        case HTBOTTOMRIGHT: id = IDC_SIZENWSE; break;
        case HTTOPRIGHT:
        case HTBOTTOMLEFT: id = IDC_SIZENESW; break;
        case HTCLIENT:
            if (w->Class->Info.hCursor) {
                SetCursor(w->Class->Info.hCursor);
                return 1;
            }
            break;
        default: break;
        }
        SetCursor(LoadCursor(nullptr, id));
        return 1;
    }
    case WM_NCLBUTTONDOWN: {
        LRESULT hit = static_cast<LRESULT>(wParam);
        TPoint pt = LParamToPoint(lParam);
        if (hit == HTCAPTION) {
            HWND top = GetAncestor(hwnd, GA_ROOT);
            if (top != d.Active) SetActiveWindow(top);
            Send(hwnd, WM_SYSCOMMAND, SC_MOVE | static_cast<WPARAM>(HTCAPTION), lParam);
        } else if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
            Send(hwnd, WM_SYSCOMMAND, SC_SIZE | static_cast<WPARAM>(hit - HTLEFT + 1), lParam);
        } else if (hit == HTCLOSE || hit == HTMINBUTTON || hit == HTMAXBUTTON) {
            TrackCaptionButton(hwnd, static_cast<int>(hit));
        } else if (hit == HTSYSMENU) {
            // no native system menu: a press on the icon is ignored, a double click closes
        }
        (void)pt;
        return 0;
    }
    case WM_NCLBUTTONDBLCLK:
        if (wParam == HTCAPTION && (w->Style & WS_MAXIMIZEBOX))
            Send(hwnd, WM_SYSCOMMAND, w->ShowState == SW_SHOWMAXIMIZED ? SC_RESTORE : SC_MAXIMIZE, lParam);
        else if (wParam == HTSYSMENU && (w->Style & WS_SYSMENU))
            Send(hwnd, WM_SYSCOMMAND, SC_CLOSE, lParam);
        return 0;
    case WM_SYSCOMMAND: {
        WPARAM cmd = wParam & 0xFFF0;
        if (HasHooks(WH_CBT) && CallHooks(WH_CBT, HCBT_SYSCOMMAND, wParam, lParam)) return 0;
        switch (cmd) {
        case SC_CLOSE:
            if (!(w->Class->Info.style & CS_NOCLOSE)) Send(hwnd, WM_CLOSE, 0, 0);
            return 0;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); return 0;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); return 0;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); return 0;
        case SC_MOVE:
        case SC_SIZE: RunMoveSizeLoop(hwnd, wParam, LParamToPoint(lParam)); return 0;
        default: return 0;
        }
    }
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (GetKeyState(VK_MENU) & 0x8000)) {
            HWND top = GetAncestor(hwnd, GA_ROOT);
            Send(top, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_SETREDRAW: w->Redraw = wParam != 0; return 0;
    case WM_GETMINMAXINFO: return 0;
    case WM_CONTEXTMENU:
        if ((w->Style & WS_CHILD) && w->Parent) Send(w->Parent->Handle, WM_CONTEXTMENU, wParam, lParam);
        return 0;
    case WM_MOUSEWHEEL:
        if ((w->Style & WS_CHILD) && w->Parent) return Send(w->Parent->Handle, WM_MOUSEWHEEL, wParam, lParam);
        return 0;
    case WM_RBUTTONUP: {
        TPoint p = LParamToPoint(lParam);
        ClientToScreen(hwnd, &p);
        Send(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), PointToLParam(p));
        return 0;
    }
    default: return 0;
    }
}

// ---- reset ---------------------------------------------------------------------------------------------

namespace desktop {
void ResetState();
}

void ResetDesktop() {
    TDesktop& d = Desk();
    EnsureDesktop();
    std::vector<HWND> tops;
    for (TWindow* t : d.Root->Children) tops.push_back(t->Handle);
    for (HWND h : tops) DestroyWindow(h);
    {
        std::lock_guard g(d.Lock);
        d.Hooks.clear();
        d.Timers.clear();
        d.Classes.clear();
        for (TWindow* t : std::vector<TWindow*>(d.Root->Children)) (void)t;
        ResetState();
    }
    {
        std::lock_guard g(d.QueuesLock);
        for (auto& [id, q] : d.Queues) {
            std::lock_guard g2(q->Lock);
            q->Posted.clear();
            q->Input.clear();
            q->Converted.clear();
            q->Quit = false;
        }
    }
    SetScreenSize(1024, 768);
    SetScreenDpi(96);
    SetScreenDepth(32);
    std::lock_guard g(*d.ScreenLock);
    d.Screen->Fill(ColorRefToPixel(GetSysColor(COLOR_DESKTOP)));
    d.Root->Update.SetEmpty();
    d.Root->Erase = false;
}

} // namespace qel
