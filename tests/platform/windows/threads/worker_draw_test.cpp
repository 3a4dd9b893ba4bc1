#include <gtest/gtest.h>

#include <atomic>

#include "platform/windows/backend.h"
#include "platform/windows/thread.h"
#include "platform/windows/winuser.h"

using namespace qel;

namespace {

class TDrawer : public TThread {
public:
    TDrawer(HWND h) : TThread(true), FWindow(h) {}
    ~TDrawer() override { TerminateAndWait(); }
    std::atomic<int> Synced{0};
    int GuiSide = 0; // touched only on the GUI thread

protected:
    void Execute() override {
        HDC dc = GetDC(FWindow); // a worker takes its own window DC
        for (int i = 0; i < 20 && !Terminated(); ++i) {
            HBRUSH b = CreateSolidBrush(RGB(0, 0, 10 * i));
            TRect r{0, 0, 50, 50};
            FillRect(dc, &r, b);
            DeleteObject(b);
            GdiFlush();
            Synchronize([this] {
                ++GuiSide;
                InvalidateRect(FWindow, nullptr, false); // the GUI side may touch windows
            });
            ++Synced;
        }
        ReleaseDC(FWindow, dc);
    }

private:
    HWND FWindow;
};

TEST(WorkerDrawTest, DrawingWhileTheGuiThreadWaitsFinishesWithoutDeadlock) {
    ResetDesktop();
    SetBackend(CreateHeadlessBackend());
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "Canvas";
    RegisterClass(&wc);
    HWND h = CreateWindowEx(0, "Canvas", "", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, nullptr, nullptr, nullptr,
                            nullptr);
    ProcessPendingMessages();
    int64_t presentsBefore = GetBackend()->PresentCount();
    TDrawer t(h);
    t.Start();
    t.WaitFor();
    EXPECT_EQ(t.Synced.load(), 20);
    EXPECT_EQ(t.GuiSide, 20);
    EXPECT_EQ(GetScreenSurface()->GetPixel(20, 20), 0x0000BEu); // the last frame (blue 190)
    EXPECT_GE(GetBackend()->PresentCount(), presentsBefore + 20);
    // a worker drawing into a window destroyed meanwhile stays harmless
    TDrawer late(h);
    DestroyWindow(h);
    late.Start();
    late.WaitFor();
    SetBackend(nullptr);
    ResetDesktop();
}

} // namespace
