// Utility windows, standard cursors, monitors, pop-up menu hand-off and non-client scroll bars.
#include <unordered_map>

#include "platform/controls/forms.h"

namespace qel {

// ---- utility windows ----------------------------------------------------------------------------------

namespace {
std::unordered_map<HWND, TWindowProc>& UtilityWindows() {
    static std::unordered_map<HWND, TWindowProc> map;
    return map;
}

LRESULT UtilityWndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    auto& map = UtilityWindows();
    auto it = map.find(wnd);
    if (it == map.end()) return DefWindowProc(wnd, msg, w, l);
    TWindowProc proc = it->second;
    TMessage m{msg, w, l, 0};
    try {
        proc(m);
    } catch (...) {
        if (Application) Application->HandleException(nullptr);
    }
    return m.Result;
}
} // namespace

HWND AllocateHWnd(TWindowProc method) {
    WNDCLASS existing{};
    if (!GetClassInfo(nullptr, "QELUtilWindow", &existing)) {
        WNDCLASS wc{};
        wc.lpfnWndProc = &UtilityWndProc;
        wc.lpszClassName = "QELUtilWindow";
        RegisterClass(&wc);
    }
    HWND wnd = CreateWindowEx(WS_EX_TOOLWINDOW, "QELUtilWindow", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              nullptr, nullptr);
    if (wnd) UtilityWindows()[wnd] = method;
    return wnd;
}

void DeallocateHWnd(HWND wnd) {
    UtilityWindows().erase(wnd);
    if (IsWindow(wnd)) DestroyWindow(wnd);
}

// ---- cursors ---------------------------------------------------------------------------------------------

HCURSOR LoadStandardCursor(TCursor cursor) {
    const char* id = IDC_ARROW;
    switch (cursor) {
    case crNone: return nullptr;
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS:
    case crVSplit: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE:
    case crHSplit: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass:
    case crSQLWait: id = IDC_WAIT; break;
    case crNo:
    case crNoDrop: id = IDC_NO; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHelp: id = IDC_HELP; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    default: break;
    }
    return LoadCursor(nullptr, id);
}

// ---- monitors ------------------------------------------------------------------------------------------

void TScreen::EnumMonitorsInto(std::vector<TMonitor>& list) const {
    EnumDisplayMonitors([&](HMONITOR h, const TRect&) {
        MONITORINFO mi;
        if (GetMonitorInfo(h, &mi)) {
            TMonitor m;
            m.MonitorNum = static_cast<int>(list.size());
            m.BoundsRect = mi.rcMonitor;
            m.WorkareaRect = mi.rcWork;
            m.Primary = (mi.dwFlags & MONITORINFOF_PRIMARY) != 0;
            list.push_back(m);
        }
        return true;
    });
    if (list.empty()) {
        TMonitor m;
        m.BoundsRect = {0, 0, Width(), Height()};
        m.WorkareaRect = WorkAreaRect();
        m.Primary = true;
        list.push_back(m);
    }
}

// ---- non-client scroll bars
// ---------------------------------------------------------------------------------

void TWinControl::SetScrollBarInfo(int bar, const TScrollBarInfo& info) {
    TScrollBarInfo& cur = bar == SB_HORZ ? FScrollH : FScrollV;
    bool frame = cur.Visible != info.Visible;
    bool changed = frame || cur.Max != info.Max || cur.Page != info.Page || cur.Pos != info.Pos;
    cur = info;
    if (!FHandle || !changed) return;
    if (frame)
        SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    else
        PaintScrollBars();
}

TRect TWinControl::ScrollBarRect(int bar) const {
    if (!FHandle) return {};
    TRect wr;
    ::qel::GetWindowRect(FHandle, &wr);
    TPoint origin{0, 0};
    ::qel::ClientToScreen(FHandle, &origin);
    TRect client;
    ::qel::GetClientRect(FHandle, &client);
    int cx = origin.X - wr.Left, cy = origin.Y - wr.Top; // client origin in window coordinates
    int sv = GetSystemMetrics(SM_CXVSCROLL), sh = GetSystemMetrics(SM_CYHSCROLL);
    if (bar == SB_VERT && FScrollV.Visible)
        return {cx + client.Right, cy, cx + client.Right + sv, cy + client.Bottom};
    if (bar == SB_HORZ && FScrollH.Visible)
        return {cx, cy + client.Bottom, cx + client.Right, cy + client.Bottom + sh};
    return {};
}

namespace {
// Arrow buttons at both ends, a thumb sized by the page, a checkered track between.
struct TBarParts {
    TRect Up, Down, Track, Thumb;
};
TBarParts BarParts(const TRect& r, bool vertical, const TScrollBarInfo& info) {
    TBarParts p;
    int len = vertical ? r.Height() : r.Width();
    int thick = vertical ? r.Width() : r.Height();
    int arrow = std::min(thick, len / 2);
    if (vertical) {
        p.Up = {r.Left, r.Top, r.Right, r.Top + arrow};
        p.Down = {r.Left, r.Bottom - arrow, r.Right, r.Bottom};
        p.Track = {r.Left, r.Top + arrow, r.Right, r.Bottom - arrow};
    } else {
        p.Up = {r.Left, r.Top, r.Left + arrow, r.Bottom};
        p.Down = {r.Right - arrow, r.Top, r.Right, r.Bottom};
        p.Track = {r.Left + arrow, r.Top, r.Right - arrow, r.Bottom};
    }
    int trackLen = vertical ? p.Track.Height() : p.Track.Width();
    int range = std::max(info.Max + 1, 1);
    int thumb = info.Page > 0 ? std::max(trackLen * info.Page / range, 8) : 8;
    thumb = std::min(thumb, trackLen);
    int room = std::max(range - info.Page, 1);
    int at = (trackLen - thumb) * std::clamp(info.Pos, 0, room) / room;
    if (vertical)
        p.Thumb = {r.Left, p.Track.Top + at, r.Right, p.Track.Top + at + thumb};
    else
        p.Thumb = {p.Track.Left + at, r.Top, p.Track.Left + at + thumb, r.Bottom};
    return p;
}
} // namespace

void TWinControl::PaintScrollBars() {
    if (!FHandle || (!FScrollH.Visible && !FScrollV.Visible)) return;
    HDC dc = GetWindowDC(FHandle);
    if (!dc) return;
    for (int bar : {SB_HORZ, SB_VERT}) {
        const TScrollBarInfo& info = bar == SB_HORZ ? FScrollH : FScrollV;
        if (!info.Visible) continue;
        TRect r = ScrollBarRect(bar);
        bool vertical = bar == SB_VERT;
        TBarParts p = BarParts(r, vertical, info);
        TRect up = p.Up, down = p.Down, thumb = p.Thumb;
        // Nothing to scroll: grey arrows and no thumb.
        const bool inactive = info.Page > info.Max;
        const UINT state = inactive ? static_cast<UINT>(DFCS_INACTIVE) : 0u;
        DrawFrameControl(dc, &up, DFC_SCROLL, (vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | state);
        DrawFrameControl(dc, &down, DFC_SCROLL, (vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | state);
        COLORREF face = GetSysColor(COLOR_BTNFACE), light = GetSysColor(COLOR_BTNHIGHLIGHT);
        for (int y = p.Track.Top; y < p.Track.Bottom; ++y)
            for (int x = p.Track.Left; x < p.Track.Right; ++x)
                SetPixelV(dc, x, y, ((x + y) & 1) ? face : light);
        if (!inactive) DrawFrameControl(dc, &thumb, DFC_BUTTON, DFCS_BUTTONPUSH);
    }
    if (FScrollH.Visible && FScrollV.Visible) {
        TRect v = ScrollBarRect(SB_VERT), h = ScrollBarRect(SB_HORZ);
        TRect corner{v.Left, h.Top, v.Right, h.Bottom};
        FillSolidRect(dc, corner, GetSysColor(COLOR_BTNFACE));
    }
    ReleaseDC(FHandle, dc);
}

bool TWinControl::HandleScrollBarMessage(TMessage& m) {
    switch (m.Msg) {
    case WM_NCCALCSIZE: {
        DefaultHandler(m);
        if (!FScrollH.Visible && !FScrollV.Visible) return true;
        TRect* r = m.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam)->rgrc[0]
                            : reinterpret_cast<TRect*>(m.LParam);
        if (!r) return true;
        if (FScrollV.Visible) r->Right = std::max(r->Left, r->Right - GetSystemMetrics(SM_CXVSCROLL));
        if (FScrollH.Visible) r->Bottom = std::max(r->Top, r->Bottom - GetSystemMetrics(SM_CYHSCROLL));
        return true;
    }
    case WM_NCPAINT:
        DefaultHandler(m);
        PaintScrollBars();
        return true;
    case WM_NCHITTEST: {
        DefaultHandler(m);
        TPoint p{LParamX(m.LParam), LParamY(m.LParam)};
        TRect wr;
        ::qel::GetWindowRect(FHandle, &wr);
        TPoint local{p.X - wr.Left, p.Y - wr.Top};
        if (FScrollV.Visible && ScrollBarRect(SB_VERT).Contains(local))
            m.Result = HTVSCROLL;
        else if (FScrollH.Visible && ScrollBarRect(SB_HORZ).Contains(local))
            m.Result = HTHSCROLL;
        return true;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK: {
        if (m.WParam != static_cast<WPARAM>(HTVSCROLL) && m.WParam != static_cast<WPARAM>(HTHSCROLL))
            return false;
        bool vertical = m.WParam == static_cast<WPARAM>(HTVSCROLL);
        int bar = vertical ? SB_VERT : SB_HORZ;
        TPoint p{LParamX(m.LParam), LParamY(m.LParam)};
        TRect wr;
        ::qel::GetWindowRect(FHandle, &wr);
        TPoint local{p.X - wr.Left, p.Y - wr.Top};
        TBarParts parts = BarParts(ScrollBarRect(bar), vertical, GetScrollBarInfo(bar));
        int code = -1;
        if (parts.Up.Contains(local))
            code = SB_LINEUP;
        else if (parts.Down.Contains(local))
            code = SB_LINEDOWN;
        else if (parts.Thumb.Contains(local))
            code = -1;
        else if (vertical ? local.Y < parts.Thumb.Top : local.X < parts.Thumb.Left)
            code = SB_PAGEUP;
        else
            code = SB_PAGEDOWN;
        if (code >= 0) {
            UINT msg = vertical ? WM_VSCROLL : WM_HSCROLL;
            Perform(msg, static_cast<WPARAM>(code), 0);
            Perform(msg, SB_ENDSCROLL, 0);
        }
        m.Result = 0;
        return true;
    }
    default: return false;
    }
}

} // namespace qel
