// The platform's own window frames: sizes, hit testing, painting (classic look), caption buttons
// and the default move/size loop.
#include <algorithm>

#include "platform/graphics/font.h"
#include "platform/windows/desktop.h"

namespace qel {
namespace desktop {

void FrameMetrics(DWORD style, DWORD exStyle, int& fx, int& fy, int& caption) {
    fx = fy = 0;
    caption = 0;
    if (style & WS_THICKFRAME) {
        fx += GetSystemMetrics(SM_CXFRAME);
        fy += GetSystemMetrics(SM_CYFRAME);
    } else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) {
        fx += GetSystemMetrics(SM_CXDLGFRAME);
        fy += GetSystemMetrics(SM_CYDLGFRAME);
    } else if (style & WS_BORDER) {
        fx += GetSystemMetrics(SM_CXBORDER);
        fy += GetSystemMetrics(SM_CYBORDER);
    }
    if (exStyle & WS_EX_CLIENTEDGE) {
        fx += GetSystemMetrics(SM_CXEDGE);
        fy += GetSystemMetrics(SM_CYEDGE);
    }
    if (exStyle & WS_EX_STATICEDGE) {
        fx += 1;
        fy += 1;
    }
    if ((style & WS_CAPTION) == WS_CAPTION)
        caption =
            (exStyle & WS_EX_TOOLWINDOW) ? GetSystemMetrics(SM_CYSMCAPTION) : GetSystemMetrics(SM_CYCAPTION);
}

LRESULT DefNcCalcSize(TWindow* w, NCCALCSIZE_PARAMS* p) {
    if (!p) return 0;
    int fx, fy, cap;
    FrameMetrics(w->Style, w->ExStyle, fx, fy, cap);
    TRect& r = p->rgrc[0];
    r = {r.Left + fx, r.Top + fy + cap, r.Right - fx, r.Bottom - fy};
    if (w->Style & WS_VSCROLL) r.Right -= GetSystemMetrics(SM_CXVSCROLL);
    if (w->Style & WS_HSCROLL) r.Bottom -= GetSystemMetrics(SM_CYHSCROLL);
    if (r.Right < r.Left) r.Right = r.Left;
    if (r.Bottom < r.Top) r.Bottom = r.Top;
    return 0;
}

namespace {

struct TCaptionLayout {
    TRect Caption; // window coordinates
    TRect Icon, Close, Max, Min;
};

TCaptionLayout Layout(const TWindow* w) {
    TCaptionLayout l;
    int fx, fy, cap;
    FrameMetrics(w->Style, w->ExStyle & ~WS_EX_CLIENTEDGE & ~WS_EX_STATICEDGE, fx, fy, cap);
    int W = w->Rect.Width();
    l.Caption = {fx, fy, W - fx, fy + cap};
    if (!cap) return l;
    bool tool = w->ExStyle & WS_EX_TOOLWINDOW;
    int bh = cap - 4, bw = tool ? bh : bh + 2;
    int x = l.Caption.Right - 2;
    if (w->Style & WS_SYSMENU) {
        l.Close = {x - bw, fy + 2, x, fy + 2 + bh};
        x -= bw + 2;
        if (!tool && (w->Style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) {
            l.Max = {x - bw, fy + 2, x, fy + 2 + bh};
            x -= bw;
            l.Min = {x - bw, fy + 2, x, fy + 2 + bh};
        }
        if (!tool) l.Icon = {fx + 2, fy + 1, fx + 2 + cap - 2, fy + cap - 1};
    }
    return l;
}

} // namespace

LRESULT DefNcHitTest(TWindow* w, TPoint screen) {
    TRect wr = WindowScreenRect(w);
    if (!wr.Contains(screen)) return HTNOWHERE;
    TPoint p = screen - wr.TopLeft();
    if (w->HasRgn && !w->Rgn.Contains(p)) return HTNOWHERE;
    if (w->Client.Contains(p)) return HTCLIENT;
    if (w->ShowState == SW_SHOWMINIMIZED) return HTCAPTION;
    int W = wr.Width(), H = wr.Height();
    if ((w->Style & WS_THICKFRAME) && w->ShowState != SW_SHOWMAXIMIZED) {
        int fx = GetSystemMetrics(SM_CXFRAME), fy = GetSystemMetrics(SM_CYFRAME);
        int corner = GetSystemMetrics(SM_CYCAPTION) + fy;
        bool left = p.X < fx, right = p.X >= W - fx, top = p.Y < fy, bottom = p.Y >= H - fy;
        if (left || right || top || bottom) {
            bool nearTop = p.Y < corner, nearBottom = p.Y >= H - corner;
            bool nearLeft = p.X < corner, nearRight = p.X >= W - corner;
            if ((top && nearLeft) || (left && nearTop)) return HTTOPLEFT;
            if ((top && nearRight) || (right && nearTop)) return HTTOPRIGHT;
            if ((bottom && nearLeft) || (left && nearBottom)) return HTBOTTOMLEFT;
            if ((bottom && nearRight) || (right && nearBottom)) return HTBOTTOMRIGHT;
            if (left) return HTLEFT;
            if (right) return HTRIGHT;
            if (top) return HTTOP;
            return HTBOTTOM;
        }
    }
    TCaptionLayout l = Layout(w);
    if (l.Caption.Contains(p)) {
        if (l.Close.Contains(p)) return HTCLOSE;
        if (l.Max.Contains(p)) return HTMAXBUTTON;
        if (l.Min.Contains(p)) return HTMINBUTTON;
        if (l.Icon.Contains(p)) return HTSYSMENU;
        return HTCAPTION;
    }
    if (w->Style & WS_VSCROLL) {
        TRect vs{w->Client.Right, w->Client.Top, w->Client.Right + GetSystemMetrics(SM_CXVSCROLL),
                 w->Client.Bottom};
        if (vs.Contains(p)) return HTVSCROLL;
    }
    if (w->Style & WS_HSCROLL) {
        TRect hs{w->Client.Left, w->Client.Bottom, w->Client.Right,
                 w->Client.Bottom + GetSystemMetrics(SM_CYHSCROLL)};
        if (hs.Contains(p)) return HTHSCROLL;
    }
    return HTBORDER;
}

void DefNcPaint(HWND hwnd) {
    TWindow* w = Find(hwnd);
    if (!w || (!VisibleChain(w) && !PrintRedirected(hwnd))) return;
    if (w->Client == TRect{0, 0, w->Rect.Width(), w->Rect.Height()}) return;
    HDC dc = GetWindowDC(hwnd);
    if (!dc) return;
    TRect r{0, 0, w->Rect.Width(), w->Rect.Height()};
    ExcludeClipRect(dc, w->Client.Left, w->Client.Top, w->Client.Right, w->Client.Bottom);
    DWORD s = w->Style, ex = w->ExStyle;
    if (s & WS_THICKFRAME || s & WS_DLGFRAME || ex & WS_EX_DLGMODALFRAME) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        int fx, fy, cap;
        FrameMetrics(s, 0, fx, fy, cap);
        HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
        for (int i = 2; i < fx; ++i) {
            FrameRect(dc, &r, face);
            r = InflateRect(r, -1, -1);
        }
    } else if (s & WS_BORDER) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        r = InflateRect(r, -1, -1);
    }
    TCaptionLayout l = Layout(w);
    if (!l.Caption.IsEmpty()) {
        bool active = w->NcActive && IsApplicationForeground();
        COLORREF c1 = GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
        COLORREF c2 = GetSysColor(active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION);
        TRect cr = l.Caption;
        cr.Bottom -= 1;
        TRIVERTEX v[2];
        v[0] = {cr.Left,
                cr.Top,
                static_cast<COLOR16>(GetRValue(c1) << 8),
                static_cast<COLOR16>(GetGValue(c1) << 8),
                static_cast<COLOR16>(GetBValue(c1) << 8),
                0};
        v[1] = {cr.Right,
                cr.Bottom,
                static_cast<COLOR16>(GetRValue(c2) << 8),
                static_cast<COLOR16>(GetGValue(c2) << 8),
                static_cast<COLOR16>(GetBValue(c2) << 8),
                0};
        GRADIENT_RECT gr{0, 1};
        GradientFill(dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_H);
        TRect line{l.Caption.Left, l.Caption.Bottom - 1, l.Caption.Right, l.Caption.Bottom};
        FillRect(dc, &line, GetSysColorBrush(COLOR_BTNFACE));
        // caption text
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        TRect tr = cr;
        tr.Left = (l.Icon.IsEmpty() ? cr.Left : l.Icon.Right) + 3;
        int right = !l.Min.IsEmpty() ? l.Min.Left : !l.Close.IsEmpty() ? l.Close.Left : cr.Right;
        tr.Right = right - 2;
        DrawText(dc, w->Text, &tr, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        SelectObject(dc, oldFont);
        if (!l.Icon.IsEmpty()) {
            TRect ir = InflateRect(l.Icon, -2, -2);
            DrawEdge(dc, &ir, EDGE_RAISED, BF_RECT | BF_MIDDLE);
        }
        auto button = [&](TRect b, UINT kind, int hit) {
            if (b.IsEmpty()) return;
            DrawFrameControl(dc, &b, DFC_CAPTION,
                             kind | (w->Pressed == hit ? static_cast<UINT>(DFCS_PUSHED) : 0u));
        };
        button(l.Close, DFCS_CAPTIONCLOSE, HTCLOSE);
        button(l.Max, w->ShowState == SW_SHOWMAXIMIZED ? DFCS_CAPTIONRESTORE : DFCS_CAPTIONMAX, HTMAXBUTTON);
        button(l.Min, w->ShowState == SW_SHOWMINIMIZED ? DFCS_CAPTIONRESTORE : DFCS_CAPTIONMIN, HTMINBUTTON);
    }
    if (ex & WS_EX_CLIENTEDGE) {
        TRect ce = InflateRect(w->Client, 2, 2);
        DrawEdge(dc, &ce, EDGE_SUNKEN, BF_RECT);
    }
    if (s & (WS_VSCROLL | WS_HSCROLL)) {
        // scroll bars themselves belong to the controls; the areas are filled
        HBRUSH sb = GetSysColorBrush(COLOR_SCROLLBAR);
        if (s & WS_VSCROLL) {
            TRect vs{w->Client.Right, w->Client.Top, w->Client.Right + GetSystemMetrics(SM_CXVSCROLL),
                     w->Client.Bottom};
            FillRect(dc, &vs, sb);
        }
        if (s & WS_HSCROLL) {
            TRect hs{w->Client.Left, w->Client.Bottom,
                     w->Client.Right + ((s & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0),
                     w->Client.Bottom + GetSystemMetrics(SM_CYHSCROLL)};
            FillRect(dc, &hs, sb);
        }
    }
    ReleaseDC(hwnd, dc);
}

void TrackCaptionButton(HWND hwnd, int hit) {
    TWindow* w = Find(hwnd);
    if (!w) return;
    SetCapture(hwnd);
    w->Pressed = hit;
    DefNcPaint(hwnd);
    bool inside = true;
    MSG m;
    for (;;) {
        if (GetMessage(&m, nullptr, 0, 0) <= 0) {
            if (m.message == WM_QUIT) PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (GetCapture() != hwnd || !IsWindow(hwnd)) break;
        if (m.message == WM_MOUSEMOVE || m.message == WM_LBUTTONUP) {
            TPoint p = LParamToPoint(m.lParam);
            ClientToScreen(m.hwnd, &p);
            w = Find(hwnd);
            bool now = w && DefNcHitTest(w, p) == hit;
            if (now != inside) {
                inside = now;
                w->Pressed = inside ? hit : 0;
                DefNcPaint(hwnd);
            }
            if (m.message == WM_LBUTTONUP) break;
            continue;
        }
        if (m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE) {
            inside = false;
            break;
        }
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    if ((w = Find(hwnd))) {
        w->Pressed = 0;
        DefNcPaint(hwnd);
    }
    if (GetCapture() == hwnd) ReleaseCapture();
    if (inside && IsWindow(hwnd)) {
        WPARAM cmd = hit == HTCLOSE       ? SC_CLOSE
                     : hit == HTMINBUTTON ? SC_MINIMIZE
                                          : (IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE);
        Send(hwnd, WM_SYSCOMMAND, cmd, 0);
    }
}

void RunMoveSizeLoop(HWND hwnd, WPARAM command, TPoint start) {
    TWindow* w = Find(hwnd);
    if (!w) return;
    if (HasHooks(WH_CBT)) {
        TRect r = w->Rect;
        if (CallHooks(WH_CBT, HCBT_MOVESIZE, reinterpret_cast<WPARAM>(hwnd), reinterpret_cast<LPARAM>(&r)))
            return;
    }
    bool moving = (command & 0xFFF0) == SC_MOVE;
    int edge = static_cast<int>(command & 0xF); // WMSZ_xxx for sizing
    if (!moving && edge == 0) return;
    TRect orig = w->Rect;
    Send(hwnd, WM_ENTERSIZEMOVE, 0, 0);
    SetCapture(hwnd);
    MSG m;
    bool cancel = false;
    for (;;) {
        if (GetMessage(&m, nullptr, 0, 0) <= 0) {
            if (m.message == WM_QUIT) PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (!IsWindow(hwnd) || GetCapture() != hwnd) break;
        if (m.message == WM_MOUSEMOVE || m.message == WM_LBUTTONUP) {
            TPoint p = LParamToPoint(m.lParam);
            ClientToScreen(m.hwnd, &p);
            int dx = p.X - start.X, dy = p.Y - start.Y;
            TRect r = orig;
            if (moving) {
                r = OffsetRect(orig, dx, dy);
                Send(hwnd, WM_MOVING, 0, reinterpret_cast<LPARAM>(&r));
            } else {
                int minW = GetSystemMetrics(SM_CXMINTRACK), minH = GetSystemMetrics(SM_CYMINTRACK);
                if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
                    r.Left = std::min(orig.Left + dx, r.Right - minW);
                if (edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT)
                    r.Right = std::max(orig.Right + dx, r.Left + minW);
                if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT)
                    r.Top = std::min(orig.Top + dy, r.Bottom - minH);
                if (edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT)
                    r.Bottom = std::max(orig.Bottom + dy, r.Top + minH);
                Send(hwnd, WM_SIZING, static_cast<WPARAM>(edge), reinterpret_cast<LPARAM>(&r));
            }
            SetWindowPos(hwnd, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
            if (m.message == WM_LBUTTONUP) break;
            continue;
        }
        if (m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE) {
            cancel = true;
            break;
        }
        if (m.message == WM_RBUTTONDOWN) continue;
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    if (cancel && IsWindow(hwnd))
        SetWindowPos(hwnd, nullptr, orig.Left, orig.Top, orig.Width(), orig.Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    if (GetCapture() == hwnd) ReleaseCapture();
    if (IsWindow(hwnd)) Send(hwnd, WM_EXITSIZEMOVE, 0, 0);
}

} // namespace desktop
} // namespace qel
