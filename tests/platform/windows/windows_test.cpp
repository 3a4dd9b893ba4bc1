#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/windows/backend.h"
#include "platform/windows/winuser.h"

using namespace qel;

namespace {

std::vector<std::pair<HWND, UINT>> gLog;
std::vector<UINT> gWatch;

LRESULT LogProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    for (UINT x : gWatch)
        if (x == m) gLog.push_back({h, m});
    return DefWindowProc(h, m, w, l);
}

class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDesktop();
        gLog.clear();
        gWatch.clear();
        WNDCLASS wc;
        wc.lpfnWndProc = LogProc;
        wc.hbrBackground = CreateSolidBrush(RGB(255, 255, 255));
        wc.lpszClassName = "Plain";
        ASSERT_NE(RegisterClass(&wc), 0);
        wc.style = CS_DBLCLKS;
        wc.lpszClassName = "Dbl";
        ASSERT_NE(RegisterClass(&wc), 0);
    }
    void TearDown() override { ResetDesktop(); }

    static HWND Top(int x, int y, int w, int h, DWORD style = WS_POPUP | WS_VISIBLE, DWORD ex = 0) {
        return CreateWindowEx(ex, "Plain", "", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
    }
    static HWND Child(HWND parent, int x, int y, int w, int h, DWORD style = WS_CHILD | WS_VISIBLE) {
        return CreateWindowEx(0, "Plain", "", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
    }
    static uint32_t Pixel(int x, int y) { return GetScreenSurface()->GetPixel(x, y); }
    static void Fill(HWND h, COLORREF c, bool window = false) {
        HDC dc = window ? GetWindowDC(h) : GetDC(h);
        HBRUSH b = CreateSolidBrush(c);
        TRect r{0, 0, 4000, 4000};
        FillRect(dc, &r, b);
        DeleteObject(b);
        ReleaseDC(h, dc);
    }
};

struct TVisCase {
    const char* Name;
    int Kind;
    std::vector<TRect> Expected; // screen rectangles of the visible region of the window under test
};

TEST_F(WindowsTest, VisibleRegionsFollowZOrderClippingAndShapes) {
    const std::vector<TVisCase> cases = {
        {"overlapped by a later top-level", 0, {{10, 10, 110, 30}, {10, 30, 50, 110}}},
        {"child clipped by its parent", 1, {{100, 100, 150, 150}}},
        {"clip-siblings child under a sibling", 2, {{10, 10, 60, 30}, {10, 30, 30, 60}}},
        {"parent with clip-children",
         3,
         {{0, 0, 200, 50}, {0, 50, 50, 100}, {100, 50, 200, 100}, {0, 100, 200, 200}}},
        {"shaped window", 4, {{20, 20, 30, 30}, {40, 20, 50, 30}}},
        {"hidden window", 5, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ResetDesktop();
        WNDCLASS wc;
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = "Plain";
        RegisterClass(&wc);
        HWND test = nullptr;
        TRegion vis;
        switch (c.Kind) {
        case 0:
            test = Top(10, 10, 100, 100);
            Top(50, 30, 100, 100);
            vis = GetVisibleRegion(test, false, false);
            break;
        case 1: {
            HWND p = Top(50, 50, 100, 100);
            test = Child(p, 50, 50, 100, 100);
            vis = GetVisibleRegion(test, false, false);
            break;
        }
        case 2: {
            HWND p = Top(0, 0, 200, 200);
            test = Child(p, 10, 10, 50, 50, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
            Child(p, 30, 30, 50, 50);
            vis = GetVisibleRegion(test, false, false);
            break;
        }
        case 3:
            test = Top(0, 0, 200, 200, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
            Child(test, 50, 50, 50, 50);
            vis = GetVisibleRegion(test, true, true);
            break;
        case 4: {
            test = Top(10, 10, 100, 100);
            HRGN a = CreateRectRgn(10, 10, 20, 20);
            HRGN b = CreateRectRgn(30, 10, 40, 20);
            CombineRgn(a, a, b, RGN_OR);
            DeleteObject(b);
            SetWindowRgn(test, a, true);
            vis = GetVisibleRegion(test, false, false);
            break;
        }
        case 5:
            test = Top(0, 0, 50, 50, WS_POPUP);
            vis = GetVisibleRegion(test, false, false);
            break;
        }
        EXPECT_EQ(vis, TRegion::FromRects(c.Expected.data(), c.Expected.size()));
    }
}

TEST_F(WindowsTest, WindowDCDrawsIntoTheScreenClippedToTheVisibleRegion) {
    HWND a = Top(10, 10, 100, 100);
    HWND b = Top(60, 60, 100, 100);
    ProcessPendingMessages();
    Fill(a, RGB(255, 0, 0));
    EXPECT_EQ(Pixel(20, 20), 0xFF0000u);
    EXPECT_EQ(Pixel(70, 70), 0xFFFFFFu) << "covered part of a must not be drawn";
    // reading back a window DC returns what the screen shows
    HDC dc = GetDC(a);
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 0, 0));
    ReleaseDC(a, dc);
    (void)b;
}

TEST_F(WindowsTest, MoveWithoutRedrawKeepsThePixels) {
    HWND frame = Top(0, 0, 300, 200);
    HWND page = Top(-200, 0, 100, 100);
    ProcessPendingMessages();
    Fill(frame, RGB(0, 0, 255)); // the "effect" drawn where the page will land
    SetWindowPos(page, nullptr, 50, 50, 0, 0, SWP_NOREDRAW | SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    ProcessPendingMessages();
    EXPECT_EQ(Pixel(60, 60), 0x0000FFu);
    EXPECT_EQ(Pixel(140, 140), 0x0000FFu);
    TRect r;
    GetWindowRect(page, &r);
    EXPECT_EQ(r, Bounds(50, 50, 100, 100));
    // an ordinary move keeps the window's valid pixels; without copying bits it repaints
    SetWindowPos(page, nullptr, 60, 60, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    ProcessPendingMessages();
    EXPECT_EQ(Pixel(70, 70), 0x0000FFu);
    SetWindowPos(page, nullptr, 50, 50, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    ProcessPendingMessages();
    EXPECT_EQ(Pixel(60, 60), 0xFFFFFFu);
    EXPECT_EQ(Pixel(55, 55), 0xFFFFFFu);
}

TEST_F(WindowsTest, PaintingErasesAndValidates) {
    gWatch = {WM_ERASEBKGND, WM_PAINT, WM_NCPAINT};
    HWND h = Top(0, 0, 100, 100);
    ProcessPendingMessages();
    gLog.clear();
    TRect r{10, 10, 20, 20};
    InvalidateRect(h, &r, true);
    TRect u;
    EXPECT_TRUE(GetUpdateRect(h, &u, false));
    EXPECT_EQ(u, r);
    ProcessPendingMessages();
    ASSERT_EQ(gLog.size(), 2u);
    EXPECT_EQ(gLog[0].second, WM_PAINT);
    EXPECT_EQ(gLog[1].second, WM_ERASEBKGND);
    EXPECT_FALSE(GetUpdateRect(h, &u, false));
    ValidateRect(h, nullptr);
    EXPECT_EQ(ProcessPendingMessages(), 0);
}

TEST_F(WindowsTest, DCOfADestroyedWindowDrawsNothing) {
    HWND h = Top(0, 0, 100, 100);
    ProcessPendingMessages();
    HDC dc = GetDC(h);
    DestroyWindow(h);
    EXPECT_FALSE(IsWindow(h));
    ProcessPendingMessages();
    uint32_t before = Pixel(10, 10);
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    TRect r{0, 0, 100, 100};
    FillRect(dc, &r, b);
    DeleteObject(b);
    EXPECT_EQ(Pixel(10, 10), before);
    EXPECT_EQ(ReleaseDC(h, dc), 1);
    EXPECT_FALSE(PostMessage(h, WM_USER, 0, 0));
}

TEST_F(WindowsTest, PostedMessagesToWindowsDestroyedMeanwhileAreDropped) {
    gWatch = {0x7001};
    HWND h = Top(0, 0, 10, 10);
    EXPECT_TRUE(PostMessage(h, 0x7001, 1, 2));
    DestroyWindow(h);
    ProcessPendingMessages();
    EXPECT_TRUE(gLog.empty());
}

TEST_F(WindowsTest, CaptureRoutesAllMouseInput) {
    gWatch = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP};
    HWND a = Top(0, 0, 100, 100);
    HWND b = Top(200, 0, 100, 100);
    ProcessPendingMessages();
    SetCapture(a);
    Input::MouseMove(250, 50); // over b
    Input::MouseDown();
    Input::MouseUp();
    ProcessPendingMessages();
    ASSERT_EQ(gLog.size(), 3u);
    for (auto& [h, m] : gLog) EXPECT_EQ(h, a);
    ReleaseCapture();
    gLog.clear();
    Input::MouseMove(251, 50);
    ProcessPendingMessages();
    ASSERT_EQ(gLog.size(), 1u);
    EXPECT_EQ(gLog[0].first, b);
}

TEST_F(WindowsTest, DoubleClicksNeedTheClassStyle) {
    gWatch = {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK};
    TManualClockScope clock;
    HWND plain = Top(0, 0, 100, 100);
    HWND dbl = CreateWindowEx(0, "Dbl", "", WS_POPUP | WS_VISIBLE, 200, 0, 100, 100, nullptr, nullptr,
                              nullptr, nullptr);
    Input::DoubleClick(50, 50);
    Input::DoubleClick(250, 50);
    ProcessPendingMessages();
    ASSERT_EQ(gLog.size(), 4u);
    EXPECT_EQ(gLog[1], (std::pair<HWND, UINT>{plain, WM_LBUTTONDOWN}));
    EXPECT_EQ(gLog[3], (std::pair<HWND, UINT>{dbl, WM_LBUTTONDBLCLK}));
}

LRESULT ClientEverywhere(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_NCHITTEST) return HTCLIENT;
    if (m == WM_LBUTTONDOWN) gLog.push_back({h, static_cast<UINT>(GET_X_LPARAM(l) & 0xFFFF)});
    return DefWindowProc(h, m, w, l);
}

TEST_F(WindowsTest, ClientHitOutsideTheClientAreaGivesClientMessages) {
    WNDCLASS wc;
    wc.lpfnWndProc = ClientEverywhere;
    wc.lpszClassName = "Framed";
    RegisterClass(&wc);
    HWND h = CreateWindowEx(0, "Framed", "T", WS_POPUP | WS_VISIBLE | WS_CAPTION, 100, 100, 200, 100, nullptr,
                            nullptr, nullptr, nullptr);
    TPoint origin{0, 0};
    ClientToScreen(h, &origin);
    ASSERT_GT(origin.Y, 100); // a caption exists
    Input::Click(150, 102);   // in the caption
    ProcessPendingMessages();
    ASSERT_EQ(gLog.size(), 1u);
    EXPECT_EQ(static_cast<int16_t>(gLog[0].second), 150 - origin.X);
}

TEST_F(WindowsTest, SubclassingChainsToThePreviousProcedure) {
    static WNDPROC previous = nullptr;
    static int seen = 0;
    HWND h = Top(0, 0, 10, 10);
    previous = reinterpret_cast<WNDPROC>(SetWindowLongPtr(
        h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM a, LPARAM b) -> LRESULT {
            if (m == 0x7002) return 42 + (++seen, 0);
            return CallWindowProc(previous, w, m, a, b);
        })));
    EXPECT_EQ(previous, LogProc);
    EXPECT_EQ(SendMessage(h, 0x7002, 0, 0), 42);
    SetWindowText(h, "caption");
    EXPECT_EQ(GetWindowText(h), "caption");
    SetWindowLongPtr(h, GWLP_USERDATA, 1234);
    EXPECT_EQ(GetWindowLongPtr(h, GWLP_USERDATA), 1234);
    // pointer-sized parameters carry pointers untouched
    int value = 0;
    WNDPROC obj = MakeObjectInstance([&](HWND, UINT m, WPARAM, LPARAM l) -> LRESULT {
        if (m == 0x7003) *reinterpret_cast<int*>(l) = 7;
        return 0;
    });
    SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(obj));
    SendMessage(h, 0x7003, 0, reinterpret_cast<LPARAM>(&value));
    EXPECT_EQ(value, 7);
    SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    FreeObjectInstance(obj);
    EXPECT_EQ(seen, 1);
}

TEST_F(WindowsTest, HooksSeeAndSwallowMessagesInsideAModalLoop) {
    gWatch = {WM_KEYDOWN, WM_USER + 5};
    HWND h = Top(0, 0, 100, 100);
    SetFocus(h);
    std::vector<UINT> seenByHook;
    std::vector<int> order;
    HHOOK first = nullptr, second = nullptr;
    first = SetWindowsHookEx(WH_GETMESSAGE, THookMethod([&](int code, WPARAM w, LPARAM l) {
                                 auto* m = reinterpret_cast<MSG*>(l);
                                 order.push_back(1);
                                 seenByHook.push_back(m->message);
                                 if (m->message == WM_KEYDOWN && m->wParam == VK_ESCAPE)
                                     m->message = WM_NULL; // swallow
                                 return CallNextHookEx(first, code, w, l);
                             }));
    second = SetWindowsHookEx(WH_GETMESSAGE, THookMethod([&](int code, WPARAM w, LPARAM l) {
                                  order.push_back(2);
                                  return CallNextHookEx(second, code, w, l);
                              }));
    Input::Key(VK_ESCAPE);
    Input::Key('A');
    PostMessage(h, WM_USER + 5, 0, 0);
    // a modal loop of its own
    MSG m;
    int loops = 0;
    while (loops < 100 && PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        ++loops;
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    UnhookWindowsHookEx(first);
    UnhookWindowsHookEx(second);
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(order[0], 1);
    EXPECT_EQ(order[1], 2);
    EXPECT_NE(std::find(seenByHook.begin(), seenByHook.end(), static_cast<UINT>(WM_USER + 5)),
              seenByHook.end());
    // the Escape key never reached the window, the 'A' did
    int keydowns = 0;
    for (auto& [w, msg] : gLog) keydowns += msg == WM_KEYDOWN;
    EXPECT_EQ(keydowns, 1);
}

TEST_F(WindowsTest, TimersFireInOrderOnTheManualClock) {
    TManualClockScope clock;
    std::vector<uintptr_t> fired;
    static std::vector<uintptr_t>* sink;
    sink = &fired;
    HWND h = Top(0, 0, 10, 10);
    auto proc = [](HWND, UINT, uintptr_t id, DWORD) { sink->push_back(id); };
    SetTimer(h, 3, 30, proc);
    SetTimer(h, 1, 10, proc);
    SetTimer(h, 2, 10, proc);
    ProcessPendingMessages();
    EXPECT_TRUE(fired.empty());
    clock->Advance(10);
    ProcessPendingMessages();
    EXPECT_EQ(fired, (std::vector<uintptr_t>{1, 2}));
    clock->Advance(20);
    ProcessPendingMessages();
    EXPECT_EQ(fired, (std::vector<uintptr_t>{1, 2, 1, 2, 3}));
    KillTimer(h, 1);
    clock->Advance(10);
    ProcessPendingMessages();
    EXPECT_EQ(fired, (std::vector<uintptr_t>{1, 2, 1, 2, 3, 2}));
    DestroyWindow(h);
    clock->Advance(100);
    ProcessPendingMessages();
    EXPECT_EQ(fired.size(), 6u);
}

TEST_F(WindowsTest, FocusAndActivationMessages) {
    gWatch = {WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS};
    HWND a = Top(0, 0, 100, 100);
    HWND b = Top(200, 0, 100, 100);
    HWND child = Child(b, 0, 0, 10, 10);
    EXPECT_EQ(GetActiveWindow(), b);
    SetFocus(child);
    EXPECT_EQ(GetFocus(), child);
    gLog.clear();
    Input::Click(50, 50);
    ProcessPendingMessages();
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), a);
    ASSERT_GE(gLog.size(), 3u);
    EXPECT_EQ(gLog[0], (std::pair<HWND, UINT>{b, WM_ACTIVATE}));
    // owned windows stay above their owner
    HWND owned =
        CreateWindowEx(0, "Plain", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, b, nullptr, nullptr, nullptr);
    SetActiveWindow(b);
    EXPECT_EQ(GetWindow(b, GW_HWNDPREV), owned);
}

TEST_F(WindowsTest, NonClientFrameAndCaptionArePainted) {
    HWND h = CreateWindowEx(0, "Plain", "Hello", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                            nullptr, nullptr, nullptr);
    ProcessPendingMessages();
    TRect wr, cr;
    GetWindowRect(h, &wr);
    GetClientRect(h, &cr);
    EXPECT_EQ(wr.Width() - cr.Width(), 2 * GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(wr.Height() - cr.Height(), 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
    // the caption of the active window shows the active caption colour at its left end
    int y = 10 + GetSystemMetrics(SM_CYFRAME) + 2;
    EXPECT_EQ(Pixel(10 + GetSystemMetrics(SM_CXFRAME), y), ColorRefToPixel(GetSysColor(COLOR_ACTIVECAPTION)));
    EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(100, y)), HTCAPTION);
    EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(11, 100)), HTLEFT);
    SendMessage(h, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowsTest, ScreenMetricsAreSettable) {
    SetScreenSize(800, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    SetSystemMetric(SM_CYCAPTION, 25);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 25);
    TRect work;
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work, (TRect{0, 0, 800, 600}));
    MONITORINFO mi;
    ASSERT_TRUE(GetMonitorInfo(MonitorFromPoint({5, 5}, MONITOR_DEFAULTTONULL), &mi));
    EXPECT_EQ(mi.rcMonitor, (TRect{0, 0, 800, 600}));
    EXPECT_EQ(MonitorFromPoint({5000, 5}, MONITOR_DEFAULTTONULL), nullptr);
}

} // namespace

// A window printed while it is off-screen and covered still prints its own frame and scroll-bar area,
// at the target's origin and within the target's clipping, not what the screen shows there.
TEST_F(WindowsTest, PrintingPaintsTheFrameOfAnOffScreenCoveredWindow) {
    const DWORD style = WS_POPUP | WS_VISIBLE | WS_BORDER | WS_VSCROLL;
    HWND h = Top(-150, 40, 200, 100, style);
    HWND cover = Top(0, 0, 300, 300);
    ProcessPendingMessages();
    ASSERT_TRUE(IsWindow(h) && IsWindow(cover));
    Fill(cover, RGB(255, 0, 0));

    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(GetDC(nullptr), 260, 160);
    HGDIOBJ old = SelectObject(mem, bmp);
    TRect all{0, 0, 260, 160};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(mem, &all, green);
    DeleteObject(green);
    // the window lands at (10, 20) of the bitmap; its right 10 columns are clipped away
    IntersectClipRect(mem, 0, 0, 200, 160);
    SetViewportOrgEx(mem, 10, 20, nullptr);
    SendMessage(h, WM_PRINT, reinterpret_cast<WPARAM>(mem), PRF_NONCLIENT);
    SetViewportOrgEx(mem, 0, 0, nullptr);
    SelectClipRgn(mem, nullptr);

    const COLORREF frame = GetSysColor(COLOR_WINDOWFRAME), bar = GetSysColor(COLOR_SCROLLBAR);
    const int sb = GetSystemMetrics(SM_CXVSCROLL);
    struct TProbe {
        int X, Y;
        COLORREF Expected;
    } probes[] = {
        {10, 20, frame},                  // top-left corner of the border
        {100, 20, frame},                 // top edge
        {10, 119, frame},                 // bottom-left corner
        {10 + 200 - 1 - sb + 2, 60, bar}, // inside the scroll-bar area
        {9, 60, RGB(0, 255, 0)},          // left of the window: untouched
        {100, 121, RGB(0, 255, 0)},       // below the window: untouched
        {209, 20, RGB(0, 255, 0)},        // right border, clipped away
    };
    for (const TProbe& p : probes)
        EXPECT_EQ(GetPixel(mem, p.X, p.Y), p.Expected) << "at " << p.X << "," << p.Y;
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    // the screen was not drawn on: the covering window still shows its own colour over the frame
    EXPECT_EQ(Pixel(20, 40), ColorRefToPixel(RGB(255, 0, 0)));
}

// Printing into a window's DC stays inside what that window shows: a window over it keeps its pixels.
TEST_F(WindowsTest, PrintingIntoAWindowDCKeepsToItsVisibleRegion) {
    HWND framed = Top(-300, 40, 200, 100, WS_POPUP | WS_VISIBLE | WS_BORDER | WS_VSCROLL);
    HWND target = Top(100, 100, 300, 200);
    HWND over = Top(150, 100, 100, 200); // covers the target's columns 50..149
    ProcessPendingMessages();
    Fill(target, RGB(0, 255, 0));
    Fill(over, RGB(255, 0, 0));
    HDC dc = GetDC(target);
    SendMessage(framed, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_NONCLIENT);
    ReleaseDC(target, dc);
    const uint32_t frame = ColorRefToPixel(GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(Pixel(100, 100), frame);                           // the frame's corner, visible
    EXPECT_EQ(Pixel(299, 150), frame);                           // its right border, visible again
    EXPECT_EQ(Pixel(150, 100), ColorRefToPixel(RGB(255, 0, 0))); // under the covering window: untouched
    EXPECT_EQ(Pixel(200, 100), ColorRefToPixel(RGB(255, 0, 0)));
    (void)over;
}
