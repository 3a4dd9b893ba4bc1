// Painting: update regions, BeginPaint/EndPaint, RedrawWindow, scrolling, window-update locking.
#include <cstring>

#include "platform/windows/desktop.h"

namespace qel {

using namespace desktop;

namespace {

void AddUpdateRegion(TWindow* w, TRegion r, bool erase, int children) {
    r.IntersectRect({0, 0, w->Client.Width(), w->Client.Height()});
    if (!r.IsEmpty()) {
        w->Update |= r;
        if (erase) w->Erase = true;
        if (auto q = QueuePtr(w->Thread)) WakeQueue(*q);
    }
    bool recurse = children == 1 || (children == 0 && !(w->Style & WS_CLIPCHILDREN));
    if (!recurse) return;
    for (TWindow* ch : w->Children) {
        TRegion cr = r;
        cr.Offset(-(ch->Rect.Left + ch->Client.Left), -(ch->Rect.Top + ch->Client.Top));
        AddUpdateRegion(ch, cr, erase, children);
        if (r.Intersects(ch->Rect) && ch->Client != TRect{0, 0, ch->Rect.Width(), ch->Rect.Height()})
            ch->NcDirty = true;
    }
}

void SubUpdateRegion(TWindow* w, const TRegion& r, int children) {
    w->Update -= r;
    if (w->Update.IsEmpty()) w->Erase = false;
    bool recurse = children == 1 || (children == 0 && !(w->Style & WS_CLIPCHILDREN));
    if (!recurse) return;
    for (TWindow* ch : w->Children) {
        TRegion cr = r;
        cr.Offset(-(ch->Rect.Left + ch->Client.Left), -(ch->Rect.Top + ch->Client.Top));
        SubUpdateRegion(ch, cr, children);
    }
}

// A window about to paint `update` (client coordinates) paints beneath its transparent children
// there: they are invalidated so that they paint over it afterwards (paint messages go to parents
// before their children).
void InvalidateTransparentChildren(TWindow* w, const TRegion& update) {
    for (TWindow* ch : w->Children) {
        if (!(ch->ExStyle & WS_EX_TRANSPARENT) || !(ch->Style & WS_VISIBLE) || ch->Destroying) continue;
        TRegion cr = update;
        cr.Offset(-(ch->Rect.Left + ch->Client.Left), -(ch->Rect.Top + ch->Client.Top));
        cr.IntersectRect({0, 0, ch->Client.Width(), ch->Client.Height()});
        if (cr.IsEmpty()) continue;
        ch->Update |= cr;
        ch->Erase = true;
        if (auto q = QueuePtr(ch->Thread)) WakeQueue(*q);
        InvalidateTransparentChildren(ch, cr);
    }
}

TRegion ClientArea(TWindow* w) {
    return TRegion(TRect{0, 0, w->Client.Width(), w->Client.Height()});
}

} // namespace

bool InvalidateRgn(HWND hwnd, HRGN rgn, bool erase) {
    return RedrawWindow(hwnd, nullptr, rgn, RDW_INVALIDATE | (erase ? static_cast<UINT>(RDW_ERASE) : 0u));
}

bool InvalidateRect(HWND hwnd, const TRect* rect, bool erase) {
    return RedrawWindow(hwnd, rect, nullptr, RDW_INVALIDATE | (erase ? static_cast<UINT>(RDW_ERASE) : 0u));
}

bool ValidateRect(HWND hwnd, const TRect* rect) {
    return RedrawWindow(hwnd, rect, nullptr, RDW_VALIDATE);
}
bool ValidateRgn(HWND hwnd, HRGN rgn) {
    return RedrawWindow(hwnd, nullptr, rgn, RDW_VALIDATE);
}

bool GetUpdateRect(HWND hwnd, TRect* rect, bool erase) {
    TWindow* w = Find(hwnd);
    if (!w) return false;
    if (rect) *rect = w->Update.Bounds();
    if (erase && w->Erase && !w->Update.IsEmpty()) RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASENOW);
    return !w->Update.IsEmpty();
}

int GetUpdateRgn(HWND hwnd, HRGN rgn, bool erase) {
    TWindow* w = Find(hwnd);
    if (!w || !rgn) return ERROR;
    SetRegion(rgn, w->Update);
    int type = w->Update.Complexity();
    if (erase && w->Erase && !w->Update.IsEmpty()) RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASENOW);
    return type;
}

bool RedrawWindow(HWND hwnd, const TRect* rect, HRGN rgn, UINT flags) {
    EnsureDesktop();
    TDesktop& d = Desk();
    std::vector<HWND> now;
    {
        std::lock_guard g(d.Lock);
        TWindow* w = hwnd ? Find(hwnd) : d.Root;
        if (!w || w->Destroying) return false;
        TRegion r = rgn ? GetRegion(rgn) : rect ? TRegion(*rect) : ClientArea(w);
        int children = (flags & RDW_ALLCHILDREN) ? 1 : (flags & RDW_NOCHILDREN) ? -1 : 0;
        if (flags & RDW_INVALIDATE) {
            AddUpdateRegion(w, r, flags & RDW_ERASE, children);
            if (flags & RDW_FRAME) w->NcDirty = true;
            if (flags & RDW_INTERNALPAINT) w->InternalPaint = true;
        }
        if (flags & RDW_VALIDATE) {
            SubUpdateRegion(w, r, children);
            if (flags & RDW_NOFRAME) w->NcDirty = false;
            if (flags & RDW_NOINTERNALPAINT) w->InternalPaint = false;
        }
        if (flags & RDW_NOERASE) w->Erase = false;
        if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) {
            std::vector<TWindow*> stack{w};
            while (!stack.empty()) {
                TWindow* x = stack.back();
                stack.pop_back();
                now.push_back(x->Handle);
                if (children == 1 || (children == 0 && !(x->Style & WS_CLIPCHILDREN)) ||
                    (flags & RDW_UPDATENOW))
                    for (auto it = x->Children.rbegin(); it != x->Children.rend(); ++it) stack.push_back(*it);
            }
        }
    }
    for (HWND h : now) {
        TWindow* x = Find(h);
        if (!x || !VisibleChain(x)) continue;
        if (flags & RDW_UPDATENOW) {
            UpdateWindow(h);
        } else {
            if (x->NcDirty) {
                x->NcDirty = false;
                Send(h, WM_NCPAINT, 1, 0);
            }
            if ((x = Find(h)) && x->Erase && !x->Update.IsEmpty()) {
                x->Erase = false;
                TRect cs = ClientScreenRect(x);
                TRegion u = x->Update;
                u.Offset(cs.Left, cs.Top);
                HDC dc = GetDCEx(h, CreateRegionFromTRegion(x->Update), DCX_INTERSECTRGN);
                Send(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
                ReleaseDC(h, dc);
            }
        }
    }
    return true;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
    TDesktop& d = Desk();
    TWindow* w = Find(hwnd);
    if (!w || !ps) return nullptr;
    if (w->NcDirty) {
        w->NcDirty = false;
        Send(hwnd, WM_NCPAINT, 1, 0);
        if (!(w = Find(hwnd))) return nullptr;
    }
    CaretErase();
    TRegion update;
    bool erase;
    HDC dc;
    {
        std::lock_guard g(d.Lock);
        update = w->Update;
        update.IntersectRect({0, 0, w->Client.Width(), w->Client.Height()});
        erase = w->Erase;
        w->Update.SetEmpty();
        InvalidateTransparentChildren(w, update);
        w->Erase = false;
        w->InternalPaint = false;
        TRect cs = ClientScreenRect(w);
        TRegion screen = update;
        screen.Offset(cs.Left, cs.Top);
        if (IsLockedTree(w)) d.LockedUpdate |= screen;
        dc = GetDCEx(hwnd, CreateRegionFromTRegion(update), DCX_INTERSECTRGN);
        for (TDCRecord& r : w->DCs)
            if (r.DC == dc) r.Paint = true;
    }
    ps->hdc = dc;
    ps->rcPaint = update.Bounds();
    ps->fErase = false;
    if (erase) ps->fErase = Send(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    return dc;
}

bool EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (!ps) return false;
    ReleaseDC(hwnd, ps->hdc);
    CaretRestore();
    return true;
}

bool UpdateWindow(HWND hwnd) {
    TWindow* w = Find(hwnd);
    if (!w) return false;
    if (!VisibleChain(w)) return true;
    if (!w->Update.IsEmpty() || w->NcDirty || w->InternalPaint) {
        Send(hwnd, WM_PAINT, 0, 0);
        if ((w = Find(hwnd)) && (!w->Update.IsEmpty() || w->NcDirty)) {
            // The procedure did not paint: validate so the window is not painted forever.
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
        }
    }
    return true;
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const TRect* scroll, const TRect* clip, HRGN updateRgn,
                   TRect* updateRect, UINT flags) {
    TDesktop& d = Desk();
    TWindow* w = Find(hwnd);
    if (!w) return ERROR;
    TRegion invalid;
    std::vector<HWND> movedChildren;
    {
        std::lock_guard g(d.Lock);
        TRect client{0, 0, w->Client.Width(), w->Client.Height()};
        TRect area = scroll ? IntersectRect(*scroll, client) : client;
        TRect clipR = clip ? IntersectRect(*clip, client) : client;
        TRect cs = ClientScreenRect(w);
        TRegion vis = VisibleRegion(w, true, false, (w->Style & WS_CLIPSIBLINGS) != 0);
        vis.Offset(-cs.Left, -cs.Top);
        if (IsLockedTree(w)) vis.SetEmpty();
        TRegion src = TRegion(area);
        src &= vis;
        TRegion dst = src;
        dst.Offset(dx, dy);
        dst.IntersectRect(IntersectRect(area, clipR));
        dst &= vis;
        TRegion dstScreen = dst;
        dstScreen.Offset(cs.Left, cs.Top);
        // move the pixels
        {
            std::lock_guard sg(*d.ScreenLock);
            TDib& s = *d.Screen;
            TRect sb = IntersectRect(OffsetRect(dstScreen.Bounds(), -dx, -dy), s.BoundsRect());
            if (!sb.IsEmpty()) {
                std::vector<uint32_t> tmp(static_cast<size_t>(sb.Width()) * sb.Height());
                for (int y = sb.Top; y < sb.Bottom; ++y)
                    std::memcpy(&tmp[static_cast<size_t>(y - sb.Top) * sb.Width()], s.Row(y) + sb.Left,
                                sizeof(uint32_t) * sb.Width());
                dstScreen.ForEachRectIn(
                    IntersectRect(OffsetRect(sb, dx, dy), s.BoundsRect()), [&](const TRect& r) {
                        for (int y = r.Top; y < r.Bottom; ++y)
                            std::memcpy(s.Row(y) + r.Left,
                                        &tmp[static_cast<size_t>(y - dy - sb.Top) * sb.Width() +
                                             (r.Left - dx - sb.Left)],
                                        sizeof(uint32_t) * r.Width());
                    });
            }
        }
        invalid = TRegion(IntersectRect(area, clipR));
        invalid -= dst;
        // pending invalid areas inside the scrolled part move with the pixels
        TRegion moving = w->Update;
        moving.IntersectRect(area);
        if (!moving.IsEmpty()) {
            w->Update -= moving;
            moving.Offset(dx, dy);
            moving.IntersectRect(IntersectRect(area, clipR));
            w->Update |= moving;
        }
        if (flags & SW_SCROLLCHILDREN)
            for (TWindow* ch : w->Children)
                if (!scroll || IntersectRect(ch->Rect, area) != TRect{}) movedChildren.push_back(ch->Handle);
    }
    for (HWND c : movedChildren) {
        TWindow* ch = Find(c);
        if (ch)
            SetWindowPos(c, nullptr, ch->Rect.Left + dx, ch->Rect.Top + dy, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
    if (updateRgn) SetRegion(updateRgn, invalid);
    if (updateRect) *updateRect = invalid.Bounds();
    if (flags & SW_INVALIDATE) {
        HRGN r = CreateRegionFromTRegion(invalid);
        RedrawWindow(hwnd, nullptr, r,
                     RDW_INVALIDATE | ((flags & SW_ERASE) ? static_cast<UINT>(RDW_ERASE) : 0u) |
                         RDW_ALLCHILDREN);
        DeleteObject(r);
    }
    return invalid.Complexity();
}

bool ScrollWindow(HWND hwnd, int dx, int dy, const TRect* scroll, const TRect* clip) {
    return ScrollWindowEx(hwnd, dx, dy, scroll, clip, nullptr, nullptr,
                          SW_INVALIDATE | SW_ERASE | (scroll ? 0u : static_cast<UINT>(SW_SCROLLCHILDREN))) !=
           ERROR;
}

bool LockWindowUpdate(HWND hwnd) {
    TDesktop& d = Desk();
    TRegion pending;
    {
        std::lock_guard g(d.Lock);
        if (hwnd) {
            if (d.LockedWindow && Find(d.LockedWindow)) return false; // one lock at a time
            if (!Find(hwnd)) return false;
            d.LockedWindow = hwnd;
            d.LockedUpdate.SetEmpty();
            UpdateAllDCs();
            return true;
        }
        if (!d.LockedWindow) return false;
        TWindow* w = Find(d.LockedWindow);
        if (w) {
            // what was invalidated while locked is painted now
            std::vector<TWindow*> stack{w};
            while (!stack.empty()) {
                TWindow* x = stack.back();
                stack.pop_back();
                TRect cs = ClientScreenRect(x);
                TRegion u = x->Update;
                u.Offset(cs.Left, cs.Top);
                pending |= u;
                for (TWindow* c : x->Children) stack.push_back(c);
            }
        }
        pending |= d.LockedUpdate;
        d.LockedWindow = nullptr;
        d.LockedUpdate.SetEmpty();
        UpdateAllDCs();
    }
    InvalidateScreen(pending);
    return true;
}

bool PrintWindow(HWND hwnd, HDC dc, UINT flags) {
    if (!IsWindow(hwnd)) return false;
    Send(hwnd, WM_PRINT, reinterpret_cast<WPARAM>(dc),
         PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND | ((flags & 1) ? 0u : static_cast<UINT>(PRF_NONCLIENT)));
    return true;
}

} // namespace qel
