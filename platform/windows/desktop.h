#pragma once
// Internal state of the window manager, shared by its source files. Not for use outside
// platform/windows (programs and controls use winuser.h and backend.h).
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/windows/winuser.h"

namespace qel::desktop {

struct TWndClass {
    std::string Name;
    WNDCLASS Info;
    ATOM Atom = 0;
};

struct TDCRecord {
    HDC DC = nullptr;
    bool Window = false; // whole window (frame included) instead of the client area
    bool ClipChildren = false;
    bool ClipSiblings = true;
    bool LockUpdate = false; // draws even while the window is locked (DCX_LOCKWINDOWUPDATE)
    bool Paint = false;      // a BeginPaint DC: clipped to the update region taken at BeginPaint
    bool Desktop = false;    // GetDC(null): the whole screen
    bool HasExtra = false;
    bool ExtraExclude = false;
    TRegion Extra;           // screen coordinates
    bool Redirected = false; // draws into a print target instead of the screen (see PrintNonClient)
};

struct TWindow {
    uintptr_t Id = 0;
    HWND Handle = nullptr;
    std::shared_ptr<TWndClass> Class;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    WNDPROC Proc = nullptr;
    LONG_PTR UserData = 0;
    LONG_PTR IdField = 0;
    HINSTANCE Instance = nullptr;
    std::vector<LONG_PTR> Extra;
    std::string Text;
    TWindow* Parent = nullptr; // the desktop for top-level windows
    TWindow* Owner = nullptr;
    std::vector<TWindow*> Children; // z-order, top first
    TRect Rect;                     // window rectangle in the parent's client coordinates
    TRect Client;                   // client rectangle in window coordinates
    bool HasRgn = false;
    TRegion Rgn;    // window coordinates
    TRegion Update; // client coordinates
    bool Erase = false;
    bool NcDirty = false;
    bool InternalPaint = false;
    std::vector<TDCRecord> DCs;
    std::thread::id Thread;
    std::map<std::string, void*, std::less<>> Props;
    bool Destroying = false;
    bool Created = false;
    int ShowState = SW_SHOWNORMAL; // SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED
    TRect NormalRect;
    bool NcActive = false;
    bool Redraw = true; // WM_SETREDRAW
    int Pressed = 0;    // caption button drawn pushed (HTCLOSE...), 0 none
};

struct THook {
    int Kind = 0;
    HHOOK Handle = nullptr;
    THookMethod Proc;
    std::thread::id Thread;
    bool Removed = false;
};

struct TTimer {
    HWND Window = nullptr;
    uintptr_t Id = 0;
    UINT Interval = 1;
    TIMERPROC Proc = nullptr;
    std::function<void()> Method;
    uint64_t Due = 0;
    uint64_t Order = 0; // creation order, breaks ties
    std::thread::id Thread;
    bool Caret = false;
};

enum class TInputKind { MouseMove, MouseButton, Wheel, Key, Char };
struct TRawInput {
    TInputKind Kind = TInputKind::MouseMove;
    TPoint Pos;
    int Button = 0; // 0 left, 1 right, 2 middle
    bool Down = false;
    int Vk = 0;
    int Delta = 0;
    char32_t Char = 0;
    DWORD Time = 0;
};

struct TSentRequest {
    HWND Hwnd = nullptr;
    UINT Msg = 0;
    WPARAM W = 0;
    LPARAM L = 0;
    LRESULT Result = 0;
    bool Done = false;
    std::exception_ptr Error;
};

struct TQueue {
    std::thread::id Thread;
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<MSG> Posted;
    std::deque<TRawInput> Input; // raw device input, turned into messages when retrieved
    std::deque<MSG> Converted;   // input turned into messages, not yet retrieved
    std::deque<std::shared_ptr<TSentRequest>> Sent;
    bool Quit = false;
    int QuitCode = 0;
    DWORD LastTime = 0;
    TPoint LastPos;
    int SendDepth = 0;
};

struct TCaret {
    HWND Window = nullptr;
    TRect Rect; // client coordinates
    int HideCount = 1;
    bool Drawn = false; // currently inverted on screen
    uintptr_t Timer = 0;
};

struct TMouseState {
    TPoint Pos;
    bool Buttons[3] = {false, false, false};
    HWND Capture = nullptr;
    bool HasClip = false;
    TRect Clip;
    HWND LastWindow = nullptr; // window under the pointer at the last mouse message
    HWND Tracking = nullptr;   // TrackMouseEvent(TME_LEAVE)
    bool TrackingNc = false;
    // Double clicks
    HWND LastClickWindow = nullptr;
    int LastClickButton = -1;
    DWORD LastClickTime = 0;
    TPoint LastClickPos;
    bool LastWasDouble = false;
    bool LastClickNc = false;
};

struct TDesktop {
    std::recursive_mutex Lock; // guards the tree, geometry and DC records
    std::unordered_map<uintptr_t, std::unique_ptr<TWindow>> Windows;
    uintptr_t NextId = 0x10000;
    TWindow* Root = nullptr;                                                // the desktop window
    std::map<std::string, std::shared_ptr<TWndClass>, std::less<>> Classes; // upper-case names
    ATOM NextAtom = 0xC000;
    TDibPtr Screen;
    std::shared_ptr<std::recursive_mutex> ScreenLock;
    int Depth = 32;
    int Dpi = 96;
    std::map<int, int> MetricOverrides;
    TRect WorkArea;
    bool HasWorkArea = false;
    bool DragFullWindows = true;
    bool MenuAnimation = true;
    bool GradientCaptions = true;
    UINT DoubleClickTime = 500;
    UINT CaretBlinkTime = 530;
    bool SwapButtons = false;

    // GUI thread state
    HWND Focus = nullptr;
    HWND Active = nullptr;
    bool AppForeground = true;
    TMouseState Mouse;
    uint8_t KeyState[256] = {};      // synchronous (as of the retrieved message)
    uint8_t AsyncKeyState[256] = {}; // as the device reports
    TCaret Caret;
    HCURSOR Cursor = nullptr;
    int CursorShowCount = 0;
    HWND LockedWindow = nullptr;
    TRegion LockedUpdate; // screen coordinates
    int Beeps = 0;

    std::vector<std::shared_ptr<THook>> Hooks;
    uintptr_t NextHook = 1;
    std::vector<TTimer> Timers;
    uint64_t TimerOrder = 0;
    uintptr_t NextTimerId = 0x7FFF0000;

    std::mutex QueuesLock;
    std::map<std::thread::id, std::shared_ptr<TQueue>> Queues;
    std::map<std::string, UINT, std::less<>> RegisteredMessages;
    UINT NextRegistered = 0xC000;
};

TDesktop& Desk();
// Ensures the desktop window and the framebuffer exist.
void EnsureDesktop();
TWindow* Find(HWND hwnd); // null for invalid handles; desk lock held by the caller or GUI thread
TQueue& QueueOf(std::thread::id thread);
std::shared_ptr<TQueue> QueuePtr(std::thread::id thread);
void WakeQueue(TQueue& q);

// Geometry (screen coordinates)
TPoint ClientOrigin(const TWindow* w); // screen position of the client area's top-left
TRect WindowScreenRect(const TWindow* w);
TRect ClientScreenRect(const TWindow* w);
bool VisibleChain(const TWindow* w);
TRegion VisibleRegion(const TWindow* w, bool clientOnly, bool clipChildren, bool clipSiblings);
// Recomputes the system clip of every DC held (after any change of geometry, z-order, visibility).
void UpdateAllDCs();
// Marks every window's part of a screen region invalid (exposed pixels).
void InvalidateScreen(const TRegion& screen);
bool IsLockedTree(const TWindow* w);

// Messages
LRESULT Send(HWND hwnd, UINT msg, WPARAM w, LPARAM l);
LRESULT CallHooks(int kind, int code, WPARAM w, LPARAM l); // 0 when no hook is installed
bool HasHooks(int kind);
void DestroyTimersOf(HWND hwnd);
void PostRawInput(const TRawInput& in);
void CaretErase();
void CaretRestore();

// Non-client
LRESULT DefNcCalcSize(TWindow* w, NCCALCSIZE_PARAMS* p);
LRESULT DefNcHitTest(TWindow* w, TPoint screen);
void DefNcPaint(HWND hwnd);
// Paints the window's frame, caption and scroll bars into `target`, whose logical (0, 0) is the window's
// top-left corner: while its WM_NCPAINT runs, window DCs of `hwnd` asked for on this thread draw into
// `target` (within its clip) instead of the screen, so a window that is covered or off-screen prints
// its frame as it would look when shown.
void PrintNonClient(HWND hwnd, HDC target);
// Whether window DCs of `hwnd` are redirected into a print target on this thread now.
bool PrintRedirected(HWND hwnd);
void RunMoveSizeLoop(HWND hwnd, WPARAM command, TPoint start);
void TrackCaptionButton(HWND hwnd, int hit);
// Frame widths of a style: border + frame, caption height.
void FrameMetrics(DWORD style, DWORD exStyle, int& frameX, int& frameY, int& caption);

// Presents the framebuffer through the backend (any thread).
void Present(const TRect* dirty);

} // namespace qel::desktop
