#pragma once
// The window manager: one virtual desktop with a screen framebuffer, windows with classes, styles,
// z-order, visible regions and window DCs that draw straight into the framebuffer, the message
// queue with hooks, painting, non-client frames, input routing, focus and activation, capture,
// timers, caret, cursors, monitors and system metrics, with the platform's names.
//
// Handles (HWND) are opaque numbers that are never reused: a handle of a destroyed window is simply
// invalid (IsWindow is false, functions fail) and never dereferenced. The window tree belongs to the
// GUI thread; PostMessage, PostThreadMessage, IsWindow, GetDC/GetDCEx/ReleaseDC, GetWindowRect,
// GetClientRect, InvalidateRect and GdiFlush may be called from any thread.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/graphics/gdi.h"
#include "platform/windows/messages.h"

namespace qel {

struct HWND__ {};
using HWND = HWND__*;
struct HINSTANCE__ {};
using HINSTANCE = HINSTANCE__*;
struct HCURSOR__ {};
using HCURSOR = HCURSOR__*;
using HICON = HCURSOR;
struct HMONITOR__ {};
using HMONITOR = HMONITOR__*;
struct HHOOK__ {};
using HHOOK = HHOOK__*;
struct HMENU__ {};
using HMENU = HMENU__*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, uintptr_t, DWORD);
using HOOKPROC = LRESULT (*)(int code, WPARAM, LPARAM);

// A window procedure bound to an object (see MakeObjectInstance).
using TWndMethod = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    TPoint pt;
};

// ---- window classes -----------------------------------------------------------------------------
enum : UINT {
    CS_VREDRAW = 0x0001,
    CS_HREDRAW = 0x0002,
    CS_DBLCLKS = 0x0008,
    CS_OWNDC = 0x0020,
    CS_CLASSDC = 0x0040,
    CS_PARENTDC = 0x0080,
    CS_NOCLOSE = 0x0200,
    CS_SAVEBITS = 0x0800,
    CS_GLOBALCLASS = 0x4000,
    CS_DROPSHADOW = 0x00020000,
};

struct WNDCLASS {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr; // a brush, or (HBRUSH)(COLOR_xxx + 1)
    const char* lpszMenuName = nullptr;
    const char* lpszClassName = nullptr;
};

// Registers a class (names are case-insensitive); 0 when the name is taken or missing.
ATOM RegisterClass(const WNDCLASS* wc);
bool UnregisterClass(const char* className, HINSTANCE instance = nullptr);
bool GetClassInfo(HINSTANCE instance, const char* className, WNDCLASS* wc);
std::string GetClassName(HWND hwnd);

// ---- styles -------------------------------------------------------------------------------------
enum : DWORD {
    WS_OVERLAPPED = 0x00000000,
    WS_POPUP = 0x80000000,
    WS_CHILD = 0x40000000,
    WS_MINIMIZE = 0x20000000,
    WS_VISIBLE = 0x10000000,
    WS_DISABLED = 0x08000000,
    WS_CLIPSIBLINGS = 0x04000000,
    WS_CLIPCHILDREN = 0x02000000,
    WS_MAXIMIZE = 0x01000000,
    WS_CAPTION = 0x00C00000,
    WS_BORDER = 0x00800000,
    WS_DLGFRAME = 0x00400000,
    WS_VSCROLL = 0x00200000,
    WS_HSCROLL = 0x00100000,
    WS_SYSMENU = 0x00080000,
    WS_THICKFRAME = 0x00040000,
    WS_SIZEBOX = 0x00040000,
    WS_GROUP = 0x00020000,
    WS_TABSTOP = 0x00010000,
    WS_MINIMIZEBOX = 0x00020000,
    WS_MAXIMIZEBOX = 0x00010000,
    WS_OVERLAPPEDWINDOW = 0x00CF0000,
    WS_POPUPWINDOW = 0x80880000,
    WS_CHILDWINDOW = 0x40000000,
    WS_ICONIC = 0x20000000,
    WS_TILEDWINDOW = 0x00CF0000,
};
enum : DWORD {
    WS_EX_DLGMODALFRAME = 0x00000001,
    WS_EX_NOPARENTNOTIFY = 0x00000004,
    WS_EX_TOPMOST = 0x00000008,
    WS_EX_ACCEPTFILES = 0x00000010,
    WS_EX_TRANSPARENT = 0x00000020,
    WS_EX_MDICHILD = 0x00000040,
    WS_EX_TOOLWINDOW = 0x00000080,
    WS_EX_WINDOWEDGE = 0x00000100,
    WS_EX_CLIENTEDGE = 0x00000200,
    WS_EX_CONTEXTHELP = 0x00000400,
    WS_EX_RIGHT = 0x00001000,
    WS_EX_RTLREADING = 0x00002000,
    WS_EX_LEFTSCROLLBAR = 0x00004000,
    WS_EX_CONTROLPARENT = 0x00010000,
    WS_EX_STATICEDGE = 0x00020000,
    WS_EX_APPWINDOW = 0x00040000,
    WS_EX_OVERLAPPEDWINDOW = 0x00000300,
    WS_EX_LAYERED = 0x00080000,
    WS_EX_NOACTIVATE = 0x08000000,
};
// Button, edit and static styles the components set on standard controls.
enum : DWORD {
    BS_PUSHBUTTON = 0,
    BS_DEFPUSHBUTTON = 1,
    BS_CHECKBOX = 2,
    BS_AUTOCHECKBOX = 3,
    BS_RADIOBUTTON = 4,
    BS_3STATE = 5,
    BS_AUTO3STATE = 6,
    BS_GROUPBOX = 7,
    BS_AUTORADIOBUTTON = 9,
    BS_OWNERDRAW = 0xB,
    BS_MULTILINE = 0x2000,
    ES_LEFT = 0,
    ES_CENTER = 1,
    ES_RIGHT = 2,
    ES_MULTILINE = 4,
    ES_UPPERCASE = 8,
    ES_LOWERCASE = 0x10,
    ES_PASSWORD = 0x20,
    ES_AUTOVSCROLL = 0x40,
    ES_AUTOHSCROLL = 0x80,
    ES_NOHIDESEL = 0x100,
    ES_READONLY = 0x800,
    ES_WANTRETURN = 0x1000,
};

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

struct CREATESTRUCT {
    void* lpCreateParams = nullptr;
    HINSTANCE hInstance = nullptr;
    HMENU hMenu = nullptr;
    HWND hwndParent = nullptr;
    int cy = 0, cx = 0, y = 0, x = 0;
    DWORD style = 0;
    const char* lpszName = nullptr;
    const char* lpszClass = nullptr;
    DWORD dwExStyle = 0;
};

// Creates a window of a registered class. `parent` is the parent of a WS_CHILD window and the owner
// of a top-level one. Sends WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE (a -1 answer destroys it and
// returns null), then WM_SIZE and WM_MOVE; shows it when WS_VISIBLE is set.
HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
inline HWND CreateWindow(const char* className, const char* windowName, DWORD style, int x, int y, int width,
                         int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
    return CreateWindowEx(0, className, windowName, style, x, y, width, height, parent, menu, instance,
                          param);
}
// Destroys the window, its children and the windows it owns (WM_DESTROY parent first, WM_NCDESTROY
// children first). DCs of destroyed windows draw nothing until released.
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
bool IsWindowVisible(HWND hwnd); // the window and all its ancestors are visible
bool IsWindowEnabled(HWND hwnd);
bool EnableWindow(HWND hwnd, bool enable); // returns whether it was disabled before
bool IsChild(HWND parent, HWND hwnd);
bool IsIconic(HWND hwnd);
bool IsZoomed(HWND hwnd);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

// ---- window data ----------------------------------------------------------------------------------
enum : int {
    GWLP_WNDPROC = -4,
    GWLP_HINSTANCE = -6,
    GWLP_HWNDPARENT = -8, // the owner of a top-level window (settable)
    GWLP_ID = -12,
    GWL_STYLE = -16,
    GWL_EXSTYLE = -20,
    GWLP_USERDATA = -21,
    GWL_WNDPROC = -4,
    GWL_ID = -12,
    GWL_USERDATA = -21,
};
// Extra bytes (cbWndExtra) are addressed by byte offset >= 0 in steps of sizeof(LONG_PTR).
LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value); // returns the previous value
inline LONG_PTR GetWindowLong(HWND hwnd, int index) {
    return GetWindowLongPtr(hwnd, index);
}
inline LONG_PTR SetWindowLong(HWND hwnd, int index, LONG_PTR value) {
    return SetWindowLongPtr(hwnd, index, value);
}
enum : int { GCL_STYLE = -26, GCLP_HBRBACKGROUND = -10, GCLP_HCURSOR = -12, GCLP_WNDPROC = -24 };
LONG_PTR GetClassLongPtr(HWND hwnd, int index);
LONG_PTR SetClassLongPtr(HWND hwnd, int index, LONG_PTR value);
// Named properties of a window.
bool SetProp(HWND hwnd, std::string_view name, void* data);
void* GetProp(HWND hwnd, std::string_view name);
void* RemoveProp(HWND hwnd, std::string_view name);

bool SetWindowText(HWND hwnd, std::string_view text); // through WM_SETTEXT
std::string GetWindowText(HWND hwnd);                 // through WM_GETTEXT (lParam: std::string*)
int GetWindowTextLength(HWND hwnd);

// ---- tree and z-order -----------------------------------------------------------------------------
HWND GetDesktopWindow();
HWND GetParent(HWND hwnd);                 // the parent of a child window, the owner of a top-level one
HWND SetParent(HWND hwnd, HWND newParent); // null makes it top-level; returns the old parent
enum : UINT { GA_PARENT = 1, GA_ROOT = 2, GA_ROOTOWNER = 3 };
HWND GetAncestor(HWND hwnd, UINT flags);
enum : UINT {
    GW_HWNDFIRST = 0,
    GW_HWNDLAST = 1,
    GW_HWNDNEXT = 2,
    GW_HWNDPREV = 3,
    GW_OWNER = 4,
    GW_CHILD = 5
};
// Siblings run from the top of the z-order (GW_HWNDFIRST) to the bottom.
HWND GetWindow(HWND hwnd, UINT cmd);
HWND GetTopWindow(HWND hwnd);
bool EnumChildWindows(HWND parent, const std::function<bool(HWND)>& fn); // all descendants, top first
bool EnumWindows(const std::function<bool(HWND)>& fn);                   // top-level windows, top first
bool EnumThreadWindows(DWORD threadId, const std::function<bool(HWND)>& fn);

inline HWND const HWND_TOP = reinterpret_cast<HWND>(0);
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);
inline HWND const HWND_MESSAGE = reinterpret_cast<HWND>(-3);
enum : UINT {
    SWP_NOSIZE = 0x0001,
    SWP_NOMOVE = 0x0002,
    SWP_NOZORDER = 0x0004,
    SWP_NOREDRAW = 0x0008,
    SWP_NOACTIVATE = 0x0010,
    SWP_FRAMECHANGED = 0x0020,
    SWP_DRAWFRAME = 0x0020,
    SWP_SHOWWINDOW = 0x0040,
    SWP_HIDEWINDOW = 0x0080,
    SWP_NOCOPYBITS = 0x0100,
    SWP_NOOWNERZORDER = 0x0200,
    SWP_NOREPOSITION = 0x0200,
    SWP_NOSENDCHANGING = 0x0400,
    SWP_DEFERERASE = 0x2000,
    SWP_ASYNCWINDOWPOS = 0x4000,
};
struct WINDOWPOS {
    HWND hwnd = nullptr;
    HWND hwndInsertAfter = nullptr;
    int x = 0, y = 0, cx = 0, cy = 0;
    UINT flags = 0;
};
struct NCCALCSIZE_PARAMS {
    TRect rgrc[3];
    WINDOWPOS* lppos = nullptr;
};
struct MINMAXINFO {
    TPoint ptReserved, ptMaxSize, ptMaxPosition, ptMinTrackSize, ptMaxTrackSize;
};
// Position (parent client coordinates for children, screen for top-level), size, z-order and
// visibility in one call, with WM_WINDOWPOSCHANGING/CHANGED, WM_MOVE, WM_SIZE, WM_NCCALCSIZE.
// Without SWP_NOREDRAW the exposed parts are invalidated and the valid part of a moved window's
// pixels moves with it (unless SWP_NOCOPYBITS); with SWP_NOREDRAW the screen is left exactly as it was.
bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint);
bool BringWindowToTop(HWND hwnd);

enum : int {
    SW_HIDE = 0,
    SW_SHOWNORMAL = 1,
    SW_NORMAL = 1,
    SW_SHOWMINIMIZED = 2,
    SW_SHOWMAXIMIZED = 3,
    SW_MAXIMIZE = 3,
    SW_SHOWNOACTIVATE = 4,
    SW_SHOW = 5,
    SW_MINIMIZE = 6,
    SW_SHOWMINNOACTIVE = 7,
    SW_SHOWNA = 8,
    SW_RESTORE = 9,
    SW_SHOWDEFAULT = 10,
};
bool ShowWindow(HWND hwnd, int cmd); // returns whether it was visible before
struct WINDOWPLACEMENT {
    UINT length = sizeof(WINDOWPLACEMENT);
    UINT flags = 0;
    UINT showCmd = 0;
    TPoint ptMinPosition, ptMaxPosition;
    TRect rcNormalPosition;
};
bool GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* wp);
bool SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* wp);

// The window takes ownership of the region (deleted when replaced or when the window dies); null
// restores the rectangle. The region is in window coordinates and clips drawing and hit testing.
int SetWindowRgn(HWND hwnd, HRGN rgn, bool redraw);
// Copies the window region into `rgn`; ERROR when the window has none.
int GetWindowRgn(HWND hwnd, HRGN rgn);

// ---- coordinates ----------------------------------------------------------------------------------
bool GetWindowRect(HWND hwnd, TRect* rect); // screen coordinates
bool GetClientRect(HWND hwnd, TRect* rect); // (0, 0, width, height) of the client area
bool ClientToScreen(HWND hwnd, TPoint* p);
bool ScreenToClient(HWND hwnd, TPoint* p);
// Maps points from one window's client coordinates to another's (null = screen); returns the
// offset packed as MAKELONG(dx, dy).
int MapWindowPoints(HWND from, HWND to, TPoint* points, UINT count);
HWND WindowFromPoint(TPoint screen);
enum : UINT { CWP_ALL = 0, CWP_SKIPINVISIBLE = 1, CWP_SKIPDISABLED = 2, CWP_SKIPTRANSPARENT = 4 };
HWND ChildWindowFromPoint(HWND parent, TPoint client);
HWND ChildWindowFromPointEx(HWND parent, TPoint client, UINT flags);
// The visible region of a window in screen coordinates (client area only when clientOnly), after
// z-order, parent clipping, WS_CLIPSIBLINGS/WS_CLIPCHILDREN and window regions.
TRegion GetVisibleRegion(HWND hwnd, bool clientOnly, bool clipChildren);

// ---- device contexts ------------------------------------------------------------------------------
enum : DWORD {
    DCX_WINDOW = 0x00000001,
    DCX_CACHE = 0x00000002,
    DCX_NORESETATTRS = 0x00000004,
    DCX_CLIPCHILDREN = 0x00000008,
    DCX_CLIPSIBLINGS = 0x00000010,
    DCX_PARENTCLIP = 0x00000020,
    DCX_EXCLUDERGN = 0x00000040,
    DCX_INTERSECTRGN = 0x00000080,
    DCX_EXCLUDEUPDATE = 0x00000100,
    DCX_INTERSECTUPDATE = 0x00000200,
    DCX_LOCKWINDOWUPDATE = 0x00000400,
    DCX_VALIDATE = 0x00200000,
};
// Client-area DC drawing into the screen framebuffer, clipped to the visible region (follows moves
// and z-order changes while it is held). GetDC(null) is a DC of the whole screen.
HDC GetDC(HWND hwnd);
HDC GetWindowDC(HWND hwnd); // whole window, frame included
HDC GetDCEx(HWND hwnd, HRGN clip, DWORD flags);
int ReleaseDC(HWND hwnd, HDC dc);
HWND WindowFromDC(HDC dc);
// Makes what workers drew visible: presents the framebuffer through the backend now, from any
// thread, without the GUI thread.
bool GdiFlush();

// ---- painting -------------------------------------------------------------------------------------
struct PAINTSTRUCT {
    HDC hdc = nullptr;
    bool fErase = false;
    TRect rcPaint;
};
bool InvalidateRect(HWND hwnd, const TRect* rect, bool erase); // client coordinates; null: all
bool InvalidateRgn(HWND hwnd, HRGN rgn, bool erase);
bool ValidateRect(HWND hwnd, const TRect* rect);
bool ValidateRgn(HWND hwnd, HRGN rgn);
bool GetUpdateRect(HWND hwnd, TRect* rect, bool erase);
int GetUpdateRgn(HWND hwnd, HRGN rgn, bool erase);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
bool EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
bool UpdateWindow(HWND hwnd);
enum : UINT {
    RDW_INVALIDATE = 0x0001,
    RDW_INTERNALPAINT = 0x0002,
    RDW_ERASE = 0x0004,
    RDW_VALIDATE = 0x0008,
    RDW_NOINTERNALPAINT = 0x0010,
    RDW_NOERASE = 0x0020,
    RDW_NOCHILDREN = 0x0040,
    RDW_ALLCHILDREN = 0x0080,
    RDW_UPDATENOW = 0x0100,
    RDW_ERASENOW = 0x0200,
    RDW_FRAME = 0x0400,
    RDW_NOFRAME = 0x0800,
};
bool RedrawWindow(HWND hwnd, const TRect* rect, HRGN rgn, UINT flags);
enum : UINT { SW_SCROLLCHILDREN = 1, SW_INVALIDATE = 2, SW_ERASE = 4 };
bool ScrollWindow(HWND hwnd, int dx, int dy, const TRect* scroll, const TRect* clip);
int ScrollWindowEx(HWND hwnd, int dx, int dy, const TRect* scroll, const TRect* clip, HRGN update,
                   TRect* updateRect, UINT flags);
// While a window is locked, drawing into it through ordinary DCs does nothing and invalidation is
// collected; unlocking repaints what was invalidated. GetDCEx(DCX_LOCKWINDOWUPDATE) still draws.
bool LockWindowUpdate(HWND hwnd);
// Paints a window (frame, client, children as the flags say) into any DC via WM_PRINT.
bool PrintWindow(HWND hwnd, HDC dc, UINT flags);

// ---- messages -------------------------------------------------------------------------------------
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam); // null hwnd: thread message
bool PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
enum : UINT { PM_NOREMOVE = 0, PM_REMOVE = 1, PM_NOYIELD = 2 };
// Filters: hwnd null = any message of this thread; (HWND)-1 = thread messages only; min/max 0 = all.
bool PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
// Waits for a message; returns 0 for WM_QUIT, -1 on bad arguments, else 1.
int GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
bool WaitMessage();
bool TranslateMessage(const MSG* msg); // posts WM_CHAR/WM_SYSCHAR for character keys
LRESULT DispatchMessage(const MSG* msg);
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// A plain WNDPROC that calls `method` (window procedures of objects); free it with FreeObjectInstance.
WNDPROC MakeObjectInstance(TWndMethod method);
void FreeObjectInstance(WNDPROC proc);
DWORD GetMessageTime();
TPoint GetMessagePos();
bool InSendMessage();
DWORD GetCurrentThreadId();
// Registered messages (0xC000..0xFFFF), equal names give equal numbers.
UINT RegisterWindowMessage(std::string_view name);
// Whether the calling thread's queue has input or posted messages waiting.
enum : UINT {
    QS_KEY = 1,
    QS_MOUSEMOVE = 2,
    QS_MOUSEBUTTON = 4,
    QS_POSTMESSAGE = 8,
    QS_TIMER = 0x10,
    QS_PAINT = 0x20,
    QS_ALLINPUT = 0xFF
};
DWORD GetQueueStatus(UINT flags);

// ---- hooks ----------------------------------------------------------------------------------------
enum : int {
    WH_MSGFILTER = -1,
    WH_KEYBOARD = 2,
    WH_GETMESSAGE = 3,
    WH_CALLWNDPROC = 4,
    WH_CBT = 5,
    WH_MOUSE = 7,
    WH_CALLWNDPROCRET = 12,
};
enum : int { HC_ACTION = 0, HC_NOREMOVE = 3 };
enum : int {
    HCBT_MOVESIZE = 0,
    HCBT_MINMAX = 1,
    HCBT_QS = 2,
    HCBT_CREATEWND = 3,
    HCBT_DESTROYWND = 4,
    HCBT_ACTIVATE = 5,
    HCBT_CLICKSKIPPED = 6,
    HCBT_KEYSKIPPED = 7,
    HCBT_SYSCOMMAND = 8,
    HCBT_SETFOCUS = 9,
};
struct CWPSTRUCT {
    LPARAM lParam = 0;
    WPARAM wParam = 0;
    UINT message = 0;
    HWND hwnd = nullptr;
};
struct MOUSEHOOKSTRUCT {
    TPoint pt;
    HWND hwnd = nullptr;
    UINT wHitTestCode = 0;
    uintptr_t dwExtraInfo = 0;
};
struct CBT_CREATEWND {
    CREATESTRUCT* lpcs = nullptr;
    HWND hwndInsertAfter = nullptr;
};
struct CBTACTIVATESTRUCT {
    bool fMouse = false;
    HWND hWndActive = nullptr;
};
// Thread hooks of the calling thread (threadId 0 or the calling thread), chained: every installed
// hook of a kind sees the event in installation order, each passing it on with CallNextHookEx.
// WH_GETMESSAGE sees each message PeekMessage(PM_REMOVE)/GetMessage returns (lParam: MSG*) and may
// rewrite it (WM_NULL swallows it); WH_CALLWNDPROC sees each message before a window procedure
// (lParam: CWPSTRUCT*); WH_CBT may veto creation, destruction, activation, focus, min/max and
// move/size (a non-zero answer prevents it); WH_MOUSE (lParam: MOUSEHOOKSTRUCT*, wParam: message)
// and WH_KEYBOARD (wParam: virtual key, lParam: key data) discard the input with a non-zero answer.
using THookMethod = std::function<LRESULT(int code, WPARAM, LPARAM)>;
HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
HHOOK SetWindowsHookEx(int idHook, THookMethod proc, DWORD threadId = 0);
bool UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// ---- mouse ----------------------------------------------------------------------------------------
HWND SetCapture(HWND hwnd); // returns the previous capture window; WM_CAPTURECHANGED to the loser
bool ReleaseCapture();
HWND GetCapture();
bool ClipCursor(const TRect* rect); // null frees the cursor
bool GetClipCursor(TRect* rect);
bool GetCursorPos(TPoint* p);
bool SetCursorPos(int x, int y); // moves the pointer (a mouse move as if by the user)
enum : DWORD {
    TME_HOVER = 1,
    TME_LEAVE = 2,
    TME_NONCLIENT = 0x10,
    TME_QUERY = 0x40000000,
    TME_CANCEL = 0x80000000
};
struct TRACKMOUSEEVENT {
    DWORD cbSize = sizeof(TRACKMOUSEEVENT);
    DWORD dwFlags = 0;
    HWND hwndTrack = nullptr;
    DWORD dwHoverTime = 400;
};
bool TrackMouseEvent(TRACKMOUSEEVENT* tme);
UINT GetDoubleClickTime();
bool SetDoubleClickTime(UINT ms);
bool SwapMouseButton(bool swap);
bool DragDetect(HWND hwnd, TPoint pt);

// ---- keyboard, focus, activation ------------------------------------------------------------------
HWND SetFocus(HWND hwnd); // returns the previous focus
HWND GetFocus();
// Key state as of the message being processed (high bit: down, low bit: toggled).
int16_t GetKeyState(int vk);
// Key state now, as the input device reports it.
int16_t GetAsyncKeyState(int vk);
bool GetKeyboardState(BYTE* keys256);
UINT MapVirtualKey(UINT code, UINT mapType);
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
bool SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
// Whether the program is the foreground application (false while another program's window would
// be active). Changing it sends WM_ACTIVATEAPP to every top-level window.
void SetApplicationForeground(bool foreground);
bool IsApplicationForeground();
bool MessageBeep(UINT type);
int MessageBeepCount(); // beeps so far (tests)

// ---- caret ----------------------------------------------------------------------------------------
// The caret blinks by the clock (GetCaretBlinkTime) while it is shown; drawn by inverting its
// rectangle in the window's client area. HideCaret is counted.
bool CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
bool DestroyCaret();
bool ShowCaret(HWND hwnd);
bool HideCaret(HWND hwnd);
bool SetCaretPos(int x, int y);
bool GetCaretPos(TPoint* p);
UINT GetCaretBlinkTime();
bool SetCaretBlinkTime(UINT ms);

// ---- cursors --------------------------------------------------------------------------------------
// Standard cursor ids for LoadCursor(nullptr, IDC_xxx).
inline const char* const IDC_ARROW = reinterpret_cast<const char*>(32512);
inline const char* const IDC_IBEAM = reinterpret_cast<const char*>(32513);
inline const char* const IDC_WAIT = reinterpret_cast<const char*>(32514);
inline const char* const IDC_CROSS = reinterpret_cast<const char*>(32515);
inline const char* const IDC_UPARROW = reinterpret_cast<const char*>(32516);
inline const char* const IDC_SIZENWSE = reinterpret_cast<const char*>(32642);
inline const char* const IDC_SIZENESW = reinterpret_cast<const char*>(32643);
inline const char* const IDC_SIZEWE = reinterpret_cast<const char*>(32644);
inline const char* const IDC_SIZENS = reinterpret_cast<const char*>(32645);
inline const char* const IDC_SIZEALL = reinterpret_cast<const char*>(32646);
inline const char* const IDC_NO = reinterpret_cast<const char*>(32648);
inline const char* const IDC_HAND = reinterpret_cast<const char*>(32649);
inline const char* const IDC_APPSTARTING = reinterpret_cast<const char*>(32650);
inline const char* const IDC_HELP = reinterpret_cast<const char*>(32651);
inline constexpr int MakeIntResourceId(const char* id) {
    return static_cast<int>(reinterpret_cast<uintptr_t>(id));
}
// A standard cursor (instance null and an IDC_ id) or a cursor registered under a name; null if unknown.
HCURSOR LoadCursor(HINSTANCE instance, const char* name);
// Registers a cursor shape: a 32-bit image (0x00RRGGBB with a separate 1-bit mask, 1 = opaque) and
// its hot spot. Named cursors can then be loaded with LoadCursor(nullptr, name).
HCURSOR CreateCursorFromDib(TDibPtr image, TDibPtr mask, TPoint hotSpot, std::string_view name = {});
HCURSOR SetCursor(HCURSOR cursor); // returns the previous one
HCURSOR GetCursor();
int ShowCursor(bool show);
// The standard id of a cursor (32512...), 0 for custom ones.
int GetCursorId(HCURSOR cursor);

// ---- timers ---------------------------------------------------------------------------------------
// WM_TIMER (or the timer procedure) when due on the clock, after posted messages and input. Timers
// due together fire in order of their deadlines, then of creation. Interval 0 counts as 1 ms.
uintptr_t SetTimer(HWND hwnd, uintptr_t id, UINT elapse, TIMERPROC proc);
bool KillTimer(HWND hwnd, uintptr_t id);
// A timer calling a std::function (no window): returns its id for KillTimer(nullptr, id).
uintptr_t SetTimerMethod(UINT elapse, std::function<void()> method);

// ---- monitors and metrics -------------------------------------------------------------------------
enum : DWORD { MONITOR_DEFAULTTONULL = 0, MONITOR_DEFAULTTOPRIMARY = 1, MONITOR_DEFAULTTONEAREST = 2 };
enum : DWORD { MONITORINFOF_PRIMARY = 1 };
struct MONITORINFO {
    DWORD cbSize = sizeof(MONITORINFO);
    TRect rcMonitor;
    TRect rcWork;
    DWORD dwFlags = 0;
};
HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags);
HMONITOR MonitorFromPoint(TPoint pt, DWORD flags);
HMONITOR MonitorFromRect(const TRect* rect, DWORD flags);
bool GetMonitorInfo(HMONITOR monitor, MONITORINFO* info);
bool EnumDisplayMonitors(const std::function<bool(HMONITOR, const TRect&)>& fn);

enum : int {
    SM_CXSCREEN = 0,
    SM_CYSCREEN = 1,
    SM_CXVSCROLL = 2,
    SM_CYHSCROLL = 3,
    SM_CYCAPTION = 4,
    SM_CXBORDER = 5,
    SM_CYBORDER = 6,
    SM_CXDLGFRAME = 7,
    SM_CXFIXEDFRAME = 7,
    SM_CYDLGFRAME = 8,
    SM_CYFIXEDFRAME = 8,
    SM_CYVTHUMB = 9,
    SM_CXHTHUMB = 10,
    SM_CXICON = 11,
    SM_CYICON = 12,
    SM_CXCURSOR = 13,
    SM_CYCURSOR = 14,
    SM_CYMENU = 15,
    SM_CXFULLSCREEN = 16,
    SM_CYFULLSCREEN = 17,
    SM_CYVSCROLL = 20,
    SM_CXHSCROLL = 21,
    SM_SWAPBUTTON = 23,
    SM_CXMIN = 28,
    SM_CYMIN = 29,
    SM_CXSIZE = 30,
    SM_CYSIZE = 31,
    SM_CXFRAME = 32,
    SM_CXSIZEFRAME = 32,
    SM_CYFRAME = 33,
    SM_CYSIZEFRAME = 33,
    SM_CXMINTRACK = 34,
    SM_CYMINTRACK = 35,
    SM_CXDOUBLECLK = 36,
    SM_CYDOUBLECLK = 37,
    SM_CXICONSPACING = 38,
    SM_CYICONSPACING = 39,
    SM_CXEDGE = 45,
    SM_CYEDGE = 46,
    SM_CXSMICON = 49,
    SM_CYSMICON = 50,
    SM_CYSMCAPTION = 51,
    SM_CXSMSIZE = 52,
    SM_CYSMSIZE = 53,
    SM_CXMENUSIZE = 54,
    SM_CYMENUSIZE = 55,
    SM_CXMINIMIZED = 57,
    SM_CYMINIMIZED = 58,
    SM_CXMAXTRACK = 59,
    SM_CYMAXTRACK = 60,
    SM_CXMAXIMIZED = 61,
    SM_CYMAXIMIZED = 62,
    SM_CXDRAG = 68,
    SM_CYDRAG = 69,
    SM_CXMENUCHECK = 71,
    SM_CYMENUCHECK = 72,
    SM_MOUSEWHEELPRESENT = 75,
    SM_XVIRTUALSCREEN = 76,
    SM_YVIRTUALSCREEN = 77,
    SM_CXVIRTUALSCREEN = 78,
    SM_CYVIRTUALSCREEN = 79,
    SM_CMONITORS = 80,
    SM_SAMEDISPLAYFORMAT = 81,
};
int GetSystemMetrics(int index);

enum : UINT {
    SPI_GETWORKAREA = 0x0030,
    SPI_SETWORKAREA = 0x002F,
    SPI_GETNONCLIENTMETRICS = 0x0029,
    SPI_GETDRAGFULLWINDOWS = 0x0026,
    SPI_SETDRAGFULLWINDOWS = 0x0025,
    SPI_GETMENUANIMATION = 0x1002,
    SPI_SETMENUANIMATION = 0x1003,
    SPI_GETGRADIENTCAPTIONS = 0x1008,
    SPI_SETGRADIENTCAPTIONS = 0x1009,
    SPI_GETMENUFADE = 0x1012,
    SPI_GETCOMBOBOXANIMATION = 0x1004,
    SPI_GETFONTSMOOTHING = 0x004A,
    SPI_GETKEYBOARDDELAY = 0x0016,
    SPI_GETKEYBOARDSPEED = 0x000A,
    SPI_GETWHEELSCROLLLINES = 0x0068,
    SPI_GETMENUSHOWDELAY = 0x006A,
    SPI_GETHIGHCONTRAST = 0x0042,
    SPI_GETFLATMENU = 0x1022,
};
// The font part of the non-client metrics: face name and height in pixels (negative = character
// height, as in LOGFONT).
struct TNonClientFont {
    std::string lfFaceName = "MS Sans Serif";
    int lfHeight = -11;
    int lfWeight = 400;
};
struct NONCLIENTMETRICS {
    UINT cbSize = sizeof(NONCLIENTMETRICS);
    int iBorderWidth = 1;
    int iScrollWidth = 16;
    int iScrollHeight = 16;
    int iCaptionWidth = 18;
    int iCaptionHeight = 18;
    TNonClientFont lfCaptionFont;
    int iSmCaptionWidth = 12;
    int iSmCaptionHeight = 15;
    TNonClientFont lfSmCaptionFont;
    int iMenuWidth = 18;
    int iMenuHeight = 18;
    TNonClientFont lfMenuFont;
    TNonClientFont lfStatusFont;
    TNonClientFont lfMessageFont;
};
// uiParam/pvParam as on the platform: GET functions write into pvParam (TRect*, NONCLIENTMETRICS*,
// BOOL*, UINT*), SET functions take uiParam (or pvParam for rectangles).
bool SystemParametersInfo(UINT action, UINT uiParam, void* pvParam, UINT winIni);

// ---- the desktop for programs and tests -------------------------------------------------------------
// Sets the screen size, colour depth and dpi (tests); resizes the framebuffer, keeping its top-left
// pixels, moves maximised windows and sends WM_DISPLAYCHANGE-like updates.
void SetScreenSize(int width, int height);
void SetScreenDepth(int bitsPerPixel);
void SetScreenDpi(int dpi);
int GetScreenDpi();
// Replaces the metric value answered by GetSystemMetrics (tests); -1 restores the default.
void SetSystemMetric(int index, int value);
// The screen framebuffer (0x00RRGGBB), for backends, snapshots and tests.
TDibPtr GetScreenSurface();
// Copies the screen (or one window's rectangle, clipped to the screen) into a new surface.
TDibPtr CaptureScreen(const TRect* screenRect = nullptr);
TDibPtr CaptureWindow(HWND hwnd);
// Destroys every window, hook, timer and class and resets input state and metrics to defaults
// (tests; GUI thread).
void ResetDesktop();

} // namespace qel
