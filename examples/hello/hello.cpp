// A top-level window with a child window and a button-like control, on either backend.
//   hello [--backend headless|sdl] [--snapshot FILE]
// With --snapshot the program paints once, writes a PNG of the screen and exits.
#include <cstdio>
#include <string>

#include "platform/graphics/font.h"
#include "platform/windows/backend.h"
#include "platform/windows/winuser.h"

using namespace qel;

namespace {

bool gPressed = false;
int gClicks = 0;

LRESULT MainProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

LRESULT PanelProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        TRect r;
        GetClientRect(h, &r);
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
        SetBkMode(dc, TRANSPARENT);
        r = InflateRect(r, -8, -8);
        DrawText(dc, "A child window. Clicks so far: " + std::to_string(gClicks), &r, DT_WORDBREAK);
        EndPaint(h, &ps);
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

LRESULT ButtonProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        TRect r;
        GetClientRect(h, &r);
        DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (gPressed ? DFCS_PUSHED : 0u));
        SetBkMode(dc, TRANSPARENT);
        if (gPressed) r = OffsetRect(r, 1, 1);
        DrawText(dc, "Press me", &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetCapture(h);
        gPressed = true;
        InvalidateRect(h, nullptr, true);
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == h) {
            ReleaseCapture();
            gPressed = false;
            ++gClicks;
            InvalidateRect(h, nullptr, true);
            InvalidateRect(GetWindow(h, GW_HWNDNEXT), nullptr, true);
        }
        return 0;
    default: return DefWindowProc(h, m, w, l);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string snapshot;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--snapshot") snapshot = argv[i + 1];
    std::string backend = ChooseBackendName(argc, argv);
    if (!snapshot.empty() && backend == "sdl" && std::string(argc > 1 ? argv[1] : "") != "--backend")
        backend = "headless";
    if (!StartBackend(backend, 800, 600)) {
        std::fprintf(stderr, "hello: cannot start the %s backend\n", backend.c_str());
        if (backend == "headless" || !StartBackend("headless", 800, 600)) return 1;
    }
    InitStockFonts();
    WNDCLASS wc;
    wc.lpfnWndProc = MainProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNFACE + 1));
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "HelloMain";
    RegisterClass(&wc);
    wc.lpfnWndProc = PanelProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
    wc.lpszClassName = "HelloPanel";
    RegisterClass(&wc);
    wc.lpfnWndProc = ButtonProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNFACE + 1));
    wc.lpszClassName = "HelloButton";
    RegisterClass(&wc);
    HWND main =
        CreateWindowEx(0, "HelloMain", "Hello from QEL", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN,
                       80, 60, 420, 300, nullptr, nullptr, nullptr, nullptr);
    CreateWindowEx(0, "HelloButton", "", WS_CHILD | WS_VISIBLE, 20, 200, 120, 30, main, nullptr, nullptr,
                   nullptr);
    CreateWindowEx(0, "HelloPanel", "", WS_CHILD | WS_VISIBLE, 20, 20, 360, 160, main, nullptr, nullptr,
                   nullptr);
    if (!snapshot.empty()) {
        ProcessPendingMessages();
        GdiFlush();
        try {
            SaveScreenPng(snapshot);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "hello: %s\n", e.what());
            return 1;
        }
        std::printf("%s\n", snapshot.c_str());
        SetBackend(nullptr);
        return 0;
    }
    MSG m;
    while (GetMessage(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    SetBackend(nullptr);
    return 0;
}
