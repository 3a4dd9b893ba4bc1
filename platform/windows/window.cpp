// Windows: classes, creation and destruction, the tree and z-order, geometry, visible regions and
// window DCs over the screen framebuffer.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/windows/desktop.h"
#include "platform/windows/thread.h"

namespace qel {
namespace desktop {

TDesktop& Desk() {
    static TDesktop* d = new TDesktop; // lives until exit: worker threads may use it late
    return *d;
}

namespace {

std::string Upper(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

HWND MakeHandle(uintptr_t id) {
    return reinterpret_cast<HWND>(id);
}

LRESULT DesktopProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProc(h, m, w, l);
}

std::vector<HDC>& OrphanDCs() {
    static std::vector<HDC> v;
    return v;
}

} // namespace

void EnsureDesktop() {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    if (d.Root) return;
    if (!d.Screen) {
        d.Screen = std::make_shared<TDib>(1024, 768);
        d.ScreenLock = std::make_shared<std::recursive_mutex>();
        d.Screen->SetLock(d.ScreenLock);
        SetScreenDeviceCaps(d.Depth, d.Dpi, d.Dpi, 1024, 768);
    }
    auto cls = std::make_shared<TWndClass>();
    cls->Name = "#32769";
    cls->Info.lpfnWndProc = DesktopProc;
    cls->Info.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_DESKTOP + 1));
    cls->Info.lpszClassName = "#32769";
    auto w = std::make_unique<TWindow>();
    w->Id = d.NextId++;
    w->Handle = MakeHandle(w->Id);
    w->Class = cls;
    w->Style = WS_VISIBLE | WS_CLIPCHILDREN | WS_POPUP;
    w->Proc = DesktopProc;
    w->Rect = {0, 0, d.Screen->Width(), d.Screen->Height()};
    w->Client = w->Rect;
    w->Thread = MainThreadID();
    w->Created = true;
    d.Root = w.get();
    d.Windows[w->Id] = std::move(w);
    d.Screen->Fill(ColorRefToPixel(GetSysColor(COLOR_DESKTOP)));
}

TWindow* Find(HWND hwnd) {
    if (!hwnd) return nullptr;
    TDesktop& d = Desk();
    auto it = d.Windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == d.Windows.end() ? nullptr : it->second.get();
}

// ---- geometry -----------------------------------------------------------------------------------

TPoint ClientOrigin(const TWindow* w) {
    TPoint p{w->Rect.Left + w->Client.Left, w->Rect.Top + w->Client.Top};
    for (const TWindow* a = w->Parent; a; a = a->Parent) {
        p.X += a->Rect.Left + a->Client.Left;
        p.Y += a->Rect.Top + a->Client.Top;
    }
    return p;
}

TRect WindowScreenRect(const TWindow* w) {
    TPoint o = w->Parent ? ClientOrigin(w->Parent) : TPoint{0, 0};
    return OffsetRect(w->Rect, o.X, o.Y);
}

TRect ClientScreenRect(const TWindow* w) {
    TPoint o = ClientOrigin(w);
    return {o.X, o.Y, o.X + w->Client.Width(), o.Y + w->Client.Height()};
}

bool VisibleChain(const TWindow* w) {
    for (; w; w = w->Parent)
        if (!(w->Style & WS_VISIBLE) || w->Destroying) return false;
    return true;
}

namespace {

// The screen area a visible window covers (its rectangle, cut by its window region).
TRegion CoverOf(const TWindow* w) {
    TRect r = WindowScreenRect(w);
    if (!w->HasRgn) return TRegion(r);
    TRegion g = w->Rgn;
    g.Offset(r.Left, r.Top);
    g.IntersectRect(r);
    return g;
}

bool IsVisibleSelf(const TWindow* w) {
    return (w->Style & WS_VISIBLE) && !w->Destroying;
}

// Removes the children of `w` from a region. A transparent child (WS_EX_TRANSPARENT) stays part of
// its parent's area, so the parent paints beneath it; only its own opaque descendants are cut out.
void ExcludeChildren(TRegion& r, const TWindow* w) {
    for (const TWindow* ch : w->Children) {
        if (!IsVisibleSelf(ch)) continue;
        if (ch->ExStyle & WS_EX_TRANSPARENT)
            ExcludeChildren(r, ch);
        else
            r -= CoverOf(ch);
        if (r.IsEmpty()) return;
    }
}

} // namespace

TRegion VisibleRegion(const TWindow* w, bool clientOnly, bool clipChildren, bool clipSiblings) {
    TDesktop& d = Desk();
    if (!w || !VisibleChain(w)) return {};
    TRegion r;
    if (w == d.Root) {
        r = TRegion(d.Root->Rect);
    } else {
        r = CoverOf(w);
        if (clientOnly) r.IntersectRect(ClientScreenRect(w));
    }
    bool first = true;
    for (const TWindow* c = w; c->Parent; c = c->Parent) {
        const TWindow* p = c->Parent;
        bool clipSibs = p == d.Root ||
                        (first ? clipSiblings || (c->Style & WS_CLIPSIBLINGS) : (c->Style & WS_CLIPSIBLINGS));
        if (clipSibs) {
            for (const TWindow* s : p->Children) {
                if (s == c) break;
                if (IsVisibleSelf(s)) r -= CoverOf(s);
            }
        }
        if (p != d.Root) {
            r.IntersectRect(ClientScreenRect(p));
            if (p->HasRgn) r &= CoverOf(p);
        } else {
            r.IntersectRect(p->Rect);
        }
        first = false;
        if (r.IsEmpty()) return r;
    }
    if (clipChildren) ExcludeChildren(r, w);
    return r;
}

bool IsLockedTree(const TWindow* w) {
    TDesktop& d = Desk();
    TWindow* locked = Find(d.LockedWindow);
    if (!locked) return false;
    for (; w; w = w->Parent)
        if (w == locked) return true;
    return false;
}

namespace {

void UpdateDC(TWindow* w, TDCRecord& rec) {
    if (rec.Redirected) return; // fixed on its print target; the screen layout does not apply
    TDesktop& d = Desk();
    TRegion clip;
    TPoint origin;
    if (rec.Desktop) {
        clip = TRegion(d.Root->Rect);
    } else {
        bool locked = IsLockedTree(w) && !rec.LockUpdate;
        origin = rec.Window ? WindowScreenRect(w).TopLeft() : ClientOrigin(w);
        if (w == d.Root) {
            clip = TRegion(d.Root->Rect);
            if (rec.ClipChildren) clip = VisibleRegion(w, false, true, false);
        } else if (!locked) {
            clip = VisibleRegion(w, !rec.Window, rec.ClipChildren, rec.ClipSiblings);
        }
        if (locked) clip.SetEmpty();
    }
    if (rec.HasExtra) {
        if (rec.ExtraExclude)
            clip -= rec.Extra;
        else
            clip &= rec.Extra;
    }
    clip.Offset(-origin.X, -origin.Y);
    SetDCDeviceOrigin(rec.DC, origin);
    SetDCSystemClip(rec.DC, &clip);
}

} // namespace

void UpdateAllDCs() {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    for (auto& [id, w] : d.Windows)
        for (TDCRecord& rec : w->DCs) UpdateDC(w.get(), rec);
}

void WakeQueue(TQueue& q) {
    { std::lock_guard g(q.Lock); }
    q.Changed.notify_all();
}

namespace {

void WakeThreadOf(const TWindow* w) {
    if (auto q = QueuePtr(w->Thread)) WakeQueue(*q);
}

// Adds a client-coordinate region to a window's update region (and to its children's when the
// window does not clip them, or when `allChildren`).
void AddUpdate(TWindow* w, const TRegion& client, bool erase, int children /*0 default,1 all,-1 none*/) {
    TRegion r = client;
    r.IntersectRect({0, 0, w->Client.Width(), w->Client.Height()});
    if (!r.IsEmpty()) {
        w->Update |= r;
        if (erase) w->Erase = true;
        WakeThreadOf(w);
    }
    bool recurse = children == 1 || (children == 0 && !(w->Style & WS_CLIPCHILDREN));
    if (!recurse) return;
    for (TWindow* ch : w->Children) {
        TRegion cr = r;
        cr.Offset(-(ch->Rect.Left + ch->Client.Left), -(ch->Rect.Top + ch->Client.Top));
        if (cr.Intersects({0, 0, ch->Client.Width(), ch->Client.Height()}))
            AddUpdate(ch, cr, erase, children);
        // the child's frame
        TRect fr = OffsetRect(ch->Rect, 0, 0);
        if (r.Intersects(fr) && ch->Client != TRect{0, 0, ch->Rect.Width(), ch->Rect.Height()})
            ch->NcDirty = true;
    }
}

} // namespace

void InvalidateScreen(const TRegion& screen) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    if (screen.IsEmpty()) return;
    // Each window gets the part of the region it shows itself (children excluded).
    std::vector<TWindow*> stack{d.Root};
    while (!stack.empty()) {
        TWindow* w = stack.back();
        stack.pop_back();
        if (!VisibleChain(w)) continue;
        TRegion vis = VisibleRegion(w, false, true, false);
        vis &= screen;
        if (!vis.IsEmpty()) {
            TRect cs = ClientScreenRect(w);
            TRegion client = vis;
            client.IntersectRect(cs);
            if (!client.IsEmpty()) {
                client.Offset(-cs.Left, -cs.Top);
                w->Update |= client;
                w->Erase = true;
                WakeThreadOf(w);
            }
            if (!(client.Area() == vis.Area())) w->NcDirty = true;
        }
        for (TWindow* ch : w->Children) stack.push_back(ch);
    }
}

} // namespace desktop

using namespace desktop;

// ---- classes --------------------------------------------------------------------------------------

ATOM RegisterClass(const WNDCLASS* wc) {
    if (!wc || !wc->lpszClassName || !*wc->lpszClassName) return 0;
    EnsureDesktop();
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    std::string key = Upper(wc->lpszClassName);
    if (d.Classes.count(key)) return 0;
    auto c = std::make_shared<TWndClass>();
    c->Name = wc->lpszClassName;
    c->Info = *wc;
    c->Info.lpszClassName = nullptr;
    c->Atom = d.NextAtom++;
    d.Classes[key] = c;
    return c->Atom;
}

bool UnregisterClass(const char* className, HINSTANCE) {
    if (!className) return false;
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    return d.Classes.erase(Upper(className)) > 0;
}

bool GetClassInfo(HINSTANCE, const char* className, WNDCLASS* wc) {
    if (!className || !wc) return false;
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    auto it = d.Classes.find(Upper(className));
    if (it == d.Classes.end()) return false;
    *wc = it->second->Info;
    wc->lpszClassName = it->second->Name.c_str();
    return true;
}

std::string GetClassName(HWND hwnd) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    return w ? w->Class->Name : std::string();
}

// ---- creation and destruction -----------------------------------------------------------------------

namespace {

int gCascade = 0;

void InsertChild(TWindow* parent, TWindow* w, HWND after) {
    auto& v = parent->Children;
    std::erase(v, w);
    TDesktop& d = Desk();
    bool top = parent == d.Root;
    auto firstNonTopmost = [&] {
        size_t i = 0;
        if (top)
            while (i < v.size() && (v[i]->ExStyle & WS_EX_TOPMOST)) ++i;
        return i;
    };
    size_t pos;
    if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
        pos = (top && !(w->ExStyle & WS_EX_TOPMOST)) ? firstNonTopmost() : 0;
    } else if (after == HWND_BOTTOM) {
        pos = v.size();
        if (top && (w->ExStyle & WS_EX_TOPMOST)) pos = firstNonTopmost();
    } else {
        auto it = std::find(v.begin(), v.end(), Find(after));
        pos = it == v.end() ? 0 : static_cast<size_t>(it - v.begin()) + 1;
        if (top) {
            size_t band = firstNonTopmost();
            if (w->ExStyle & WS_EX_TOPMOST)
                pos = std::min(pos, band);
            else
                pos = std::max(pos, band);
        }
    }
    v.insert(v.begin() + static_cast<ptrdiff_t>(std::min(pos, v.size())), w);
}

// Keeps owned top-level windows above their owners (owned windows move up with their owner).
void RaiseOwned(TWindow* owner) {
    TDesktop& d = Desk();
    auto& v = d.Root->Children;
    std::vector<TWindow*> owned;
    for (TWindow* t : v)
        if (t->Owner == owner) owned.push_back(t);
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
        TWindow* o = *it;
        auto oi = std::find(v.begin(), v.end(), o);
        auto wi = std::find(v.begin(), v.end(), owner);
        if (oi > wi) {
            v.erase(oi);
            wi = std::find(v.begin(), v.end(), owner);
            // keep the topmost band intact: a non-topmost owned window never goes above topmost ones
            size_t pos = static_cast<size_t>(wi - v.begin());
            if (!(o->ExStyle & WS_EX_TOPMOST)) {
                size_t band = 0;
                while (band < v.size() && (v[band]->ExStyle & WS_EX_TOPMOST)) ++band;
                pos = std::max(pos, band);
            }
            v.insert(v.begin() + static_cast<ptrdiff_t>(pos), o);
        }
    }
    for (TWindow* o : owned) RaiseOwned(o);
}

TRect ComputeClient(HWND hwnd, const TRect& windowRectInParent) {
    // Asks the window for its client area (WM_NCCALCSIZE) and returns it in window coordinates.
    NCCALCSIZE_PARAMS p;
    p.rgrc[0] = windowRectInParent;
    WINDOWPOS pos;
    pos.hwnd = hwnd;
    p.lppos = &pos;
    Send(hwnd, WM_NCCALCSIZE, 1, reinterpret_cast<LPARAM>(&p));
    TRect c = p.rgrc[0];
    c = IntersectRect(c, windowRectInParent);
    if (c.IsEmpty())
        c = {windowRectInParent.Left, windowRectInParent.Top, windowRectInParent.Left,
             windowRectInParent.Top};
    return OffsetRect(c, -windowRectInParent.Left, -windowRectInParent.Top);
}

void DestroyTree(TWindow* w);

} // namespace

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                    int width, int height, HWND parentHwnd, HMENU menu, HINSTANCE instance, void* param) {
    EnsureDesktop();
    TDesktop& d = Desk();
    std::unique_lock L(d.Lock);
    if (!className) return nullptr;
    auto cit = d.Classes.find(Upper(className));
    if (cit == d.Classes.end()) return nullptr;
    TWindow* parent = d.Root;
    TWindow* owner = nullptr;
    if (style & WS_CHILD) {
        parent = Find(parentHwnd);
        if (!parent || parent->Destroying) return nullptr;
    } else if (parentHwnd && parentHwnd != HWND_MESSAGE) {
        owner = Find(parentHwnd);
        while (owner && owner->Parent && owner->Parent != d.Root) owner = owner->Parent;
        if (owner == d.Root) owner = nullptr;
    }
    auto wp = std::make_unique<TWindow>();
    TWindow* w = wp.get();
    w->Id = d.NextId++;
    w->Handle = MakeHandle(w->Id);
    w->Class = cit->second;
    if (!(style & (WS_CHILD | WS_POPUP))) style |= WS_CAPTION | WS_CLIPSIBLINGS; // overlapped
    if (!(style & WS_CHILD)) style |= WS_CLIPSIBLINGS;
    bool visible = style & WS_VISIBLE;
    w->Style = style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    w->ExStyle = exStyle;
    if ((exStyle & WS_EX_DLGMODALFRAME) || (style & (WS_CAPTION | WS_THICKFRAME)) == WS_CAPTION ||
        (style & WS_THICKFRAME))
        w->ExStyle |= 0; // frames follow the style bits
    w->Proc = cit->second->Info.lpfnWndProc;
    w->Instance = instance;
    w->IdField = reinterpret_cast<LONG_PTR>(menu);
    w->Extra.assign(static_cast<size_t>(std::max(0, cit->second->Info.cbWndExtra) + 7) / 8, 0);
    w->Text = windowName ? windowName : "";
    w->Parent = parent;
    w->Owner = owner;
    w->Thread = std::this_thread::get_id();
    if (x == CW_USEDEFAULT) {
        x = 32 + 24 * (gCascade % 8);
        y = 32 + 24 * (gCascade % 8);
        ++gCascade;
    }
    if (width == CW_USEDEFAULT) {
        width = d.Screen->Width() * 2 / 3;
        height = d.Screen->Height() * 2 / 3;
    }
    w->Rect = Bounds(x, y, std::max(0, width), std::max(0, height));
    w->NormalRect = w->Rect;
    InsertChild(parent, w, HWND_TOP);
    HWND h = w->Handle;
    d.Windows[w->Id] = std::move(wp);
    L.unlock();

    CREATESTRUCT cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parentHwnd;
    cs.x = x;
    cs.y = y;
    cs.cx = width;
    cs.cy = height;
    cs.style = style;
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (HasHooks(WH_CBT)) {
        CBT_CREATEWND cbt{&cs, HWND_TOP};
        if (CallHooks(WH_CBT, HCBT_CREATEWND, reinterpret_cast<WPARAM>(h), reinterpret_cast<LPARAM>(&cbt))) {
            std::lock_guard g(d.Lock);
            if (TWindow* x2 = Find(h)) DestroyTree(x2);
            return nullptr;
        }
    }
    if (!Send(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(h);
        return nullptr;
    }
    w = Find(h);
    if (!w) return nullptr;
    TRect client = ComputeClient(h, w->Rect);
    {
        std::lock_guard g(d.Lock);
        if ((w = Find(h))) w->Client = client;
    }
    if (!w) return nullptr;
    if (Send(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(h);
        return nullptr;
    }
    if (!(w = Find(h))) return nullptr;
    w->Created = true;
    Send(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->Client.Width(), w->Client.Height()));
    if (!(w = Find(h))) return nullptr;
    Send(h, WM_MOVE, 0, MAKELPARAM(w->Rect.Left + w->Client.Left, w->Rect.Top + w->Client.Top));
    if (!(w = Find(h))) return nullptr;
    if ((w->Style & WS_CHILD) && !(w->ExStyle & WS_EX_NOPARENTNOTIFY) && w->Parent)
        Send(w->Parent->Handle, WM_PARENTNOTIFY, WM_CREATE, reinterpret_cast<LPARAM>(h));
    if (!IsWindow(h)) return nullptr;
    if (style & WS_MAXIMIZE)
        ShowWindow(h, SW_SHOWMAXIMIZED);
    else if (style & WS_MINIMIZE)
        ShowWindow(h, SW_SHOWMINIMIZED);
    else if (visible)
        ShowWindow(h, SW_SHOW);
    return IsWindow(h) ? h : nullptr;
}

namespace {

void ReleaseWindowDCs(TWindow* w) {
    for (TDCRecord& rec : w->DCs) {
        TRegion none;
        SetDCSystemClip(rec.DC, &none);
        OrphanDCs().push_back(rec.DC);
    }
    w->DCs.clear();
}

// Removes a window and its subtree from the desktop (no messages); desk lock held.
void DestroyTree(TWindow* w) {
    TDesktop& d = Desk();
    for (TWindow* ch : std::vector<TWindow*>(w->Children)) DestroyTree(ch);
    ReleaseWindowDCs(w);
    if (w->Parent) std::erase(w->Parent->Children, w);
    for (auto& [id, o] : d.Windows)
        if (o->Owner == w) o->Owner = nullptr;
    if (w->HasRgn) w->Rgn.SetEmpty();
    HWND h = w->Handle;
    if (d.Focus == h) d.Focus = nullptr;
    if (d.Active == h) d.Active = nullptr;
    if (d.Mouse.Capture == h) d.Mouse.Capture = nullptr;
    if (d.Mouse.Tracking == h) d.Mouse.Tracking = nullptr;
    if (d.Mouse.LastWindow == h) d.Mouse.LastWindow = nullptr;
    if (d.LockedWindow == h) {
        d.LockedWindow = nullptr;
        d.LockedUpdate.SetEmpty();
    }
    d.Windows.erase(w->Id);
}

void CollectTree(TWindow* w, std::vector<HWND>& out) {
    out.push_back(w->Handle);
    for (TWindow* ch : w->Children) CollectTree(ch, out);
}

bool InTree(HWND h, TWindow* root) {
    for (TWindow* w = Find(h); w; w = w->Parent)
        if (w == root) return true;
    return false;
}

} // namespace

bool DestroyWindow(HWND hwnd) {
    TDesktop& d = Desk();
    TWindow* w;
    {
        std::lock_guard g(d.Lock);
        w = Find(hwnd);
        if (!w || w == d.Root || w->Destroying) return false;
    }
    if (HasHooks(WH_CBT) && CallHooks(WH_CBT, HCBT_DESTROYWND, reinterpret_cast<WPARAM>(hwnd), 0))
        return false;
    if (!(w = Find(hwnd)) || w->Destroying) return false;
    // Owned windows go first.
    if (w->Parent == d.Root) {
        std::vector<HWND> owned;
        for (auto& [id, o] : d.Windows)
            if (o->Owner == w) owned.push_back(o->Handle);
        for (HWND o : owned) DestroyWindow(o);
        if (!(w = Find(hwnd)) || w->Destroying) return false;
    }
    // Hide it: the pixels below are exposed.
    bool wasActive = false;
    {
        std::lock_guard g(d.Lock);
        TRegion was = VisibleRegion(w, false, false, true);
        std::vector<HWND> tree;
        CollectTree(w, tree);
        for (HWND h : tree)
            if (TWindow* t = Find(h)) t->Destroying = true;
        w->Style &= ~WS_VISIBLE;
        UpdateAllDCs();
        InvalidateScreen(was);
        wasActive = InTree(d.Active, w);
    }
    if (d.Mouse.Capture && InTree(d.Mouse.Capture, w)) ReleaseCapture();
    if (d.Caret.Window && InTree(d.Caret.Window, w)) DestroyCaret();
    if (d.Focus && InTree(d.Focus, w)) {
        HWND f = d.Focus;
        d.Focus = nullptr;
        Send(f, WM_KILLFOCUS, 0, 0);
    }
    if (wasActive) {
        HWND owner = w->Owner ? w->Owner->Handle : nullptr;
        d.Active = nullptr;
        Send(hwnd, WM_NCACTIVATE, 0, 0);
        Send(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
        // Activate the owner, else the next visible top-level window.
        HWND next = nullptr;
        if (owner && IsWindowVisible(owner) && IsWindowEnabled(owner)) next = owner;
        if (!next)
            for (TWindow* t : d.Root->Children)
                if (t->Handle != hwnd && IsVisibleSelf(t) && !(t->Style & WS_DISABLED) && !t->Destroying &&
                    !(t->ExStyle & WS_EX_NOACTIVATE)) {
                    next = t->Handle;
                    break;
                }
        if (next) SetActiveWindow(next);
    }
    std::vector<HWND> tree;
    if ((w = Find(hwnd))) CollectTree(w, tree);
    if ((w = Find(hwnd)) && (w->Style & WS_CHILD) && !(w->ExStyle & WS_EX_NOPARENTNOTIFY) && w->Parent)
        Send(w->Parent->Handle, WM_PARENTNOTIFY, WM_DESTROY, reinterpret_cast<LPARAM>(hwnd));
    for (HWND h : tree) Send(h, WM_DESTROY, 0, 0);
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
        Send(*it, WM_NCDESTROY, 0, 0);
        DestroyTimersOf(*it);
    }
    std::lock_guard g(d.Lock);
    if ((w = Find(hwnd))) DestroyTree(w);
    UpdateAllDCs();
    return true;
}

bool IsWindow(HWND hwnd) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    return w && !w->Destroying;
}

bool IsWindowVisible(HWND hwnd) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    return w && VisibleChain(w);
}

bool IsWindowEnabled(HWND hwnd) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    return w && !(w->Style & WS_DISABLED);
}

bool EnableWindow(HWND hwnd, bool enable) {
    TDesktop& d = Desk();
    TWindow* w = Find(hwnd);
    if (!w) return false;
    bool wasDisabled = w->Style & WS_DISABLED;
    if (wasDisabled == !enable) return wasDisabled;
    {
        std::lock_guard g(d.Lock);
        if (enable)
            w->Style &= ~WS_DISABLED;
        else
            w->Style |= WS_DISABLED;
    }
    if (!enable) {
        if (d.Focus && InTree(d.Focus, w)) SetFocus(nullptr);
        if (d.Mouse.Capture && InTree(d.Mouse.Capture, w)) ReleaseCapture();
    }
    Send(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
    return wasDisabled;
}

bool IsChild(HWND parent, HWND hwnd) {
    std::lock_guard g(Desk().Lock);
    TWindow* p = Find(parent);
    TWindow* w = Find(hwnd);
    if (!p || !w) return false;
    for (TWindow* a = w; a && (a->Style & WS_CHILD); a = a->Parent)
        if (a->Parent == p) return true;
    return false;
}

bool IsIconic(HWND hwnd) {
    TWindow* w = Find(hwnd);
    return w && w->ShowState == SW_SHOWMINIMIZED;
}

bool IsZoomed(HWND hwnd) {
    TWindow* w = Find(hwnd);
    return w && w->ShowState == SW_SHOWMAXIMIZED;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    if (processId) *processId = w ? 1 : 0;
    return w ? static_cast<DWORD>(std::hash<std::thread::id>()(w->Thread) | 1) : 0;
}

// ---- window data ----------------------------------------------------------------------------------

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->Proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->Instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>((w->Style & WS_CHILD) ? w->Parent->Handle
                                                                : (w->Owner ? w->Owner->Handle : nullptr));
    case GWLP_ID: return w->IdField;
    case GWL_STYLE:
        return static_cast<LONG_PTR>(
            w->Style | (w->ShowState == SW_SHOWMINIMIZED ? static_cast<UINT>(WS_MINIMIZE) : 0u) |
            (w->ShowState == SW_SHOWMAXIMIZED ? static_cast<UINT>(WS_MAXIMIZE) : 0u));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->ExStyle);
    case GWLP_USERDATA: return w->UserData;
    default:
        if (index >= 0 && index % static_cast<int>(sizeof(LONG_PTR)) == 0 &&
            static_cast<size_t>(index) / sizeof(LONG_PTR) < w->Extra.size())
            return w->Extra[static_cast<size_t>(index) / sizeof(LONG_PTR)];
        return 0;
    }
}

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
    TDesktop& d = Desk();
    TWindow* w = Find(hwnd);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtr(hwnd, index);
    switch (index) {
    case GWLP_WNDPROC: {
        std::lock_guard g(d.Lock);
        w->Proc = reinterpret_cast<WNDPROC>(value);
        return old;
    }
    case GWLP_HINSTANCE: w->Instance = reinterpret_cast<HINSTANCE>(value); return old;
    case GWLP_ID: w->IdField = value; return old;
    case GWLP_USERDATA: w->UserData = value; return old;
    case GWLP_HWNDPARENT: {
        if (w->Style & WS_CHILD) return old;
        TWindow* o = Find(reinterpret_cast<HWND>(value));
        while (o && o->Parent && o->Parent != d.Root) o = o->Parent;
        if (o == d.Root || o == w) o = nullptr;
        // refuse cycles of ownership
        for (TWindow* a = o; a; a = a->Owner)
            if (a == w) return old;
        std::lock_guard g(d.Lock);
        w->Owner = o;
        if (o && IsVisibleSelf(w)) {
            RaiseOwned(o);
            UpdateAllDCs();
        }
        return old;
    }
    case GWL_STYLE:
    case GWL_EXSTYLE: {
        struct {
            DWORD oldStyle, newStyle;
        } ss{static_cast<DWORD>(old), static_cast<DWORD>(value)};
        Send(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
        if (!(w = Find(hwnd))) return old;
        {
            std::lock_guard g(d.Lock);
            if (index == GWL_STYLE) {
                DWORD keep = w->Style & WS_VISIBLE;
                w->Style = (ss.newStyle & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE)) | keep;
            } else {
                w->ExStyle = ss.newStyle;
            }
            UpdateAllDCs();
        }
        Send(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
        return old;
    }
    default:
        if (index >= 0 && index % static_cast<int>(sizeof(LONG_PTR)) == 0 &&
            static_cast<size_t>(index) / sizeof(LONG_PTR) < w->Extra.size())
            w->Extra[static_cast<size_t>(index) / sizeof(LONG_PTR)] = value;
        return old;
    }
}

LONG_PTR GetClassLongPtr(HWND hwnd, int index) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    if (!w) return 0;
    switch (index) {
    case GCL_STYLE: return w->Class->Info.style;
    case GCLP_HBRBACKGROUND: return reinterpret_cast<LONG_PTR>(w->Class->Info.hbrBackground);
    case GCLP_HCURSOR: return reinterpret_cast<LONG_PTR>(w->Class->Info.hCursor);
    case GCLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->Class->Info.lpfnWndProc);
    default: return 0;
    }
}

LONG_PTR SetClassLongPtr(HWND hwnd, int index, LONG_PTR value) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    if (!w) return 0;
    LONG_PTR old = GetClassLongPtr(hwnd, index);
    WNDCLASS& c = w->Class->Info;
    switch (index) {
    case GCL_STYLE: c.style = static_cast<UINT>(value); break;
    case GCLP_HBRBACKGROUND: c.hbrBackground = reinterpret_cast<HBRUSH>(value); break;
    case GCLP_HCURSOR: c.hCursor = reinterpret_cast<HCURSOR>(value); break;
    case GCLP_WNDPROC: c.lpfnWndProc = reinterpret_cast<WNDPROC>(value); break;
    default: return 0;
    }
    return old;
}

bool SetProp(HWND hwnd, std::string_view name, void* data) {
    TWindow* w = Find(hwnd);
    if (!w) return false;
    w->Props[std::string(name)] = data;
    return true;
}

void* GetProp(HWND hwnd, std::string_view name) {
    TWindow* w = Find(hwnd);
    if (!w) return nullptr;
    auto it = w->Props.find(name);
    return it == w->Props.end() ? nullptr : it->second;
}

void* RemoveProp(HWND hwnd, std::string_view name) {
    TWindow* w = Find(hwnd);
    if (!w) return nullptr;
    auto it = w->Props.find(name);
    if (it == w->Props.end()) return nullptr;
    void* v = it->second;
    w->Props.erase(it);
    return v;
}

bool SetWindowText(HWND hwnd, std::string_view text) {
    std::string s(text);
    return Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.c_str())) != 0;
}

std::string GetWindowText(HWND hwnd) {
    std::string s;
    Send(hwnd, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(&s));
    return s;
}

int GetWindowTextLength(HWND hwnd) {
    return static_cast<int>(Send(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

// ---- tree -----------------------------------------------------------------------------------------

HWND GetDesktopWindow() {
    EnsureDesktop();
    return Desk().Root->Handle;
}

HWND GetParent(HWND hwnd) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    if (!w) return nullptr;
    if (w->Style & WS_CHILD) return w->Parent ? w->Parent->Handle : nullptr;
    return w->Owner ? w->Owner->Handle : nullptr;
}

HWND SetParent(HWND hwnd, HWND newParent) {
    TDesktop& d = Desk();
    TWindow* w = Find(hwnd);
    if (!w || w == d.Root) return nullptr;
    TWindow* np = newParent ? Find(newParent) : d.Root;
    if (!np) return nullptr;
    for (TWindow* a = np; a; a = a->Parent)
        if (a == w) return nullptr; // would make a cycle
    HWND old = w->Parent ? w->Parent->Handle : nullptr;
    if (old == d.Root->Handle) old = nullptr;
    TRegion was;
    {
        std::lock_guard g(d.Lock);
        was = VisibleRegion(w, false, false, true);
        // keep the position relative to the new parent's client area as given (platform behaviour)
        std::erase(w->Parent->Children, w);
        w->Parent = np;
        if (np == d.Root)
            w->Style &= ~WS_CHILD;
        else
            w->Style |= WS_CHILD;
        w->Owner = nullptr;
        InsertChild(np, w, HWND_TOP);
        UpdateAllDCs();
        InvalidateScreen(was);
        InvalidateScreen(VisibleRegion(w, false, false, true));
    }
    return old;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    TWindow* w = Find(hwnd);
    if (!w || w == d.Root) return nullptr;
    switch (flags) {
    case GA_PARENT: return w->Parent ? w->Parent->Handle : nullptr;
    case GA_ROOT:
        while (w->Parent && w->Parent != d.Root) w = w->Parent;
        return w->Handle;
    case GA_ROOTOWNER:
        while (w->Parent && w->Parent != d.Root) w = w->Parent;
        while (w->Owner) w = w->Owner;
        return w->Handle;
    default: return nullptr;
    }
}

HWND GetWindow(HWND hwnd, UINT cmd) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    if (!w) return nullptr;
    if (cmd == GW_CHILD) return w->Children.empty() ? nullptr : w->Children.front()->Handle;
    if (cmd == GW_OWNER) return w->Owner ? w->Owner->Handle : nullptr;
    if (!w->Parent) return nullptr;
    auto& v = w->Parent->Children;
    auto it = std::find(v.begin(), v.end(), w);
    switch (cmd) {
    case GW_HWNDFIRST: return v.front()->Handle;
    case GW_HWNDLAST: return v.back()->Handle;
    case GW_HWNDNEXT: return (it + 1) < v.end() ? (*(it + 1))->Handle : nullptr;
    case GW_HWNDPREV: return it > v.begin() ? (*(it - 1))->Handle : nullptr;
    default: return nullptr;
    }
}

HWND GetTopWindow(HWND hwnd) {
    if (!hwnd) hwnd = GetDesktopWindow();
    return GetWindow(hwnd, GW_CHILD);
}

bool EnumChildWindows(HWND parent, const std::function<bool(HWND)>& fn) {
    std::vector<HWND> all;
    {
        std::lock_guard g(Desk().Lock);
        TWindow* p = Find(parent);
        if (!p) return false;
        for (TWindow* ch : p->Children) CollectTree(ch, all);
    }
    for (HWND h : all)
        if (IsWindow(h) && !fn(h)) return false;
    return true;
}

bool EnumWindows(const std::function<bool(HWND)>& fn) {
    EnsureDesktop();
    std::vector<HWND> all;
    {
        std::lock_guard g(Desk().Lock);
        for (TWindow* t : Desk().Root->Children) all.push_back(t->Handle);
    }
    for (HWND h : all)
        if (IsWindow(h) && !fn(h)) return false;
    return true;
}

bool EnumThreadWindows(DWORD threadId, const std::function<bool(HWND)>& fn) {
    return EnumWindows([&](HWND h) {
        if (GetWindowThreadProcessId(h, nullptr) != threadId) return true;
        return fn(h);
    });
}

// ---- position, size, z-order ----------------------------------------------------------------------

namespace {

// Copies screen pixels of `region` (screen coordinates) from `region - (dx, dy)`.
void MovePixels(const TRegion& region, int dx, int dy) {
    TDesktop& d = Desk();
    if (region.IsEmpty() || (dx == 0 && dy == 0)) return;
    TDib& s = *d.Screen;
    std::lock_guard g(*d.ScreenLock);
    TRect b = IntersectRect(region.Bounds(), s.BoundsRect());
    TRect src = IntersectRect(OffsetRect(b, -dx, -dy), s.BoundsRect());
    if (src.IsEmpty()) return;
    std::vector<uint32_t> tmp(static_cast<size_t>(src.Width()) * src.Height());
    for (int y = src.Top; y < src.Bottom; ++y)
        std::memcpy(&tmp[static_cast<size_t>(y - src.Top) * src.Width()], s.Row(y) + src.Left,
                    sizeof(uint32_t) * src.Width());
    TRect dstValid = OffsetRect(src, dx, dy);
    region.ForEachRectIn(IntersectRect(dstValid, s.BoundsRect()), [&](const TRect& r) {
        for (int y = r.Top; y < r.Bottom; ++y)
            std::memcpy(s.Row(y) + r.Left,
                        &tmp[static_cast<size_t>(y - dy - src.Top) * src.Width() + (r.Left - dx - src.Left)],
                        sizeof(uint32_t) * r.Width());
    });
}

} // namespace

bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    TDesktop& d = Desk();
    TWindow* w = Find(hwnd);
    if (!w || w == d.Root || w->Destroying) return false;
    WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
    if (!(flags & SWP_NOSENDCHANGING)) {
        Send(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        if (!(w = Find(hwnd)) || w->Destroying) return false;
        flags = pos.flags;
    }
    TRect oldRect = w->Rect;
    TRect newRect = oldRect;
    if (!(flags & SWP_NOMOVE)) newRect = OffsetRect(newRect, pos.x - oldRect.Left, pos.y - oldRect.Top);
    if (!(flags & SWP_NOSIZE))
        newRect = {newRect.Left, newRect.Top, newRect.Left + std::max(0, pos.cx),
                   newRect.Top + std::max(0, pos.cy)};
    bool sized = newRect.Width() != oldRect.Width() || newRect.Height() != oldRect.Height();
    bool moved = newRect.TopLeft() != oldRect.TopLeft();
    TRect newClient = w->Client;
    if (sized || (flags & SWP_FRAMECHANGED)) {
        newClient = ComputeClient(hwnd, newRect);
        if (!(w = Find(hwnd))) return false;
    }
    bool clientChanged = newClient != w->Client;
    bool wasVisible = VisibleChain(w);
    HWND top = GetAncestor(hwnd, GA_ROOT);
    TRegion before, after;
    TRect oldClientScreen;
    {
        std::lock_guard g(d.Lock);
        before = VisibleRegion(w, false, false, true);
        oldClientScreen = ClientScreenRect(w);
        w->Rect = newRect;
        w->Client = newClient;
        if (flags & SWP_SHOWWINDOW) w->Style |= WS_VISIBLE;
        if (flags & SWP_HIDEWINDOW) w->Style &= ~WS_VISIBLE;
        if (!(flags & SWP_NOZORDER) && w->Parent) {
            if (pos.hwndInsertAfter == HWND_TOPMOST && w->Parent == d.Root) w->ExStyle |= WS_EX_TOPMOST;
            if (pos.hwndInsertAfter == HWND_NOTOPMOST && w->Parent == d.Root) w->ExStyle &= ~WS_EX_TOPMOST;
            if (pos.hwndInsertAfter != hwnd) InsertChild(w->Parent, w, pos.hwndInsertAfter);
            if (w->Parent == d.Root && !(flags & SWP_NOOWNERZORDER)) {
                // an owned window never goes below its owner
                if (w->Owner) RaiseOwned(w->Owner);
                RaiseOwned(w);
            }
        }
        after = VisibleRegion(w, false, false, true);
        UpdateAllDCs();
        if (!(flags & SWP_NOREDRAW) && w->Redraw) {
            // What the window showed and still shows moves with it; the rest is repainted.
            TRegion kept;
            bool copy = !(flags & SWP_NOCOPYBITS) && wasVisible && !before.IsEmpty();
            if (copy && sized) {
                UINT cs = w->Class->Info.style;
                if ((cs & CS_HREDRAW) && newRect.Width() != oldRect.Width()) copy = false;
                if ((cs & CS_VREDRAW) && newRect.Height() != oldRect.Height()) copy = false;
                if (clientChanged && (newClient.TopLeft() != TPoint{} || true)) {
                    // keep only the client area, whose contents stay anchored at its top-left
                    TRect ncs = ClientScreenRect(w);
                    if (ncs.TopLeft() - oldClientScreen.TopLeft() != newRect.TopLeft() - oldRect.TopLeft())
                        copy = false;
                    before.IntersectRect(oldClientScreen);
                }
            }
            TPoint delta = WindowScreenRect(w).TopLeft() - OffsetRect(oldRect, 0, 0).TopLeft() -
                           (w->Parent ? TPoint{} : TPoint{});
            delta = newRect.TopLeft() - oldRect.TopLeft();
            if (copy) {
                kept = before;
                kept.Offset(delta.X, delta.Y);
                kept &= after;
                if (sized || clientChanged) kept.IntersectRect(ClientScreenRect(w));
                MovePixels(kept, delta.X, delta.Y);
                // update regions travel with the window; valid pixels outside them stay valid
            }
            TRegion exposed = before;
            exposed -= after;
            InvalidateScreen(exposed);
            TRegion fresh = after;
            fresh -= kept;
            InvalidateScreen(fresh);
            if (sized || clientChanged || (flags & SWP_FRAMECHANGED)) w->NcDirty = true;
        } else if (flags & SWP_FRAMECHANGED) {
            w->NcDirty = !(flags & SWP_NOREDRAW);
        }
    }
    (void)moved;
    bool isTop = w->Parent == d.Root;
    if (isTop && !(flags & SWP_NOACTIVATE) && (w->Style & WS_VISIBLE) &&
        ((flags & SWP_SHOWWINDOW) || !(flags & SWP_NOZORDER)) && d.Active != hwnd &&
        !(w->ExStyle & WS_EX_NOACTIVATE) && !(w->Style & WS_DISABLED))
        SetActiveWindow(hwnd);
    if ((flags & SWP_HIDEWINDOW) && wasVisible) {
        w = Find(hwnd);
        if (w && d.Focus && InTree(d.Focus, w)) {
            HWND p = (w->Style & WS_CHILD) && w->Parent ? w->Parent->Handle : nullptr;
            SetFocus(p && IsWindowVisible(p) ? p : nullptr);
        }
        if (w && d.Mouse.Capture && InTree(d.Mouse.Capture, w)) ReleaseCapture();
        if (isTop && d.Active == hwnd) {
            HWND next = nullptr;
            if (w && w->Owner && IsWindowVisible(w->Owner->Handle)) next = w->Owner->Handle;
            if (!next)
                for (TWindow* t : d.Root->Children)
                    if (t->Handle != hwnd && IsVisibleSelf(t) && !(t->Style & WS_DISABLED) &&
                        !(t->ExStyle & WS_EX_NOACTIVATE)) {
                        next = t->Handle;
                        break;
                    }
            if (next)
                SetActiveWindow(next);
            else {
                d.Active = nullptr;
                Send(hwnd, WM_NCACTIVATE, 0, 0);
                Send(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
            }
        }
    }
    (void)top;
    if (!IsWindow(hwnd)) return true;
    pos.flags = flags;
    if (!sized) pos.flags |= SWP_NOSIZE;
    if (!moved) pos.flags |= SWP_NOMOVE;
    w = Find(hwnd);
    pos.x = w->Rect.Left;
    pos.y = w->Rect.Top;
    pos.cx = w->Rect.Width();
    pos.cy = w->Rect.Height();
    Send(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    return true;
}

bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : static_cast<UINT>(SWP_NOREDRAW)));
}

bool BringWindowToTop(HWND hwnd) {
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

namespace {

TRect MinimizedRect(TWindow* w) {
    int ch = GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME);
    TRect work;
    SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    if (w->Style & WS_CHILD) work = {0, 0, w->Parent->Client.Width(), w->Parent->Client.Height()};
    return {work.Left, work.Bottom - ch, work.Left + 160, work.Bottom};
}

TRect MaximizedRect(TWindow* w) {
    TRect work;
    SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    if (w->Style & WS_CHILD) work = {0, 0, w->Parent->Client.Width(), w->Parent->Client.Height()};
    int fx, fy, cap;
    FrameMetrics(w->Style, w->ExStyle, fx, fy, cap);
    return InflateRect(work, fx, fy);
}

} // namespace

bool ShowWindow(HWND hwnd, int cmd) {
    TDesktop& d = Desk();
    TWindow* w = Find(hwnd);
    if (!w || w == d.Root) return false;
    bool wasVisible = w->Style & WS_VISIBLE;
    UINT swp = SWP_NOZORDER;
    int state = w->ShowState;
    bool show = true, activate = true;
    switch (cmd) {
    case SW_HIDE: show = false; break;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA: activate = false; break;
    case SW_SHOWMINNOACTIVE:
        activate = false;
        state = SW_SHOWMINIMIZED;
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
        state = SW_SHOWMINIMIZED;
        activate = cmd == SW_SHOWMINIMIZED;
        break;
    case SW_SHOWMAXIMIZED: state = SW_SHOWMAXIMIZED; break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
    case SW_SHOWDEFAULT:
        if (state != SW_SHOWNORMAL) state = SW_SHOWNORMAL;
        break;
    default: break;
    }
    if (state != w->ShowState) {
        if (HasHooks(WH_CBT) && CallHooks(WH_CBT, HCBT_MINMAX, reinterpret_cast<WPARAM>(hwnd), cmd))
            return wasVisible;
        if (!(w = Find(hwnd))) return wasVisible;
        if (w->ShowState == SW_SHOWNORMAL) w->NormalRect = w->Rect;
        TRect r = state == SW_SHOWMAXIMIZED   ? MaximizedRect(w)
                  : state == SW_SHOWMINIMIZED ? MinimizedRect(w)
                                              : w->NormalRect;
        w->ShowState = state;
        if (show && !wasVisible) {
            Send(hwnd, WM_SHOWWINDOW, 1, 0);
            if (!IsWindow(hwnd)) return wasVisible;
        }
        SetWindowPos(hwnd, HWND_TOP, r.Left, r.Top, r.Width(), r.Height(),
                     SWP_FRAMECHANGED | (show ? static_cast<UINT>(SWP_SHOWWINDOW) : 0u) |
                         (activate ? 0u : static_cast<UINT>(SWP_NOACTIVATE)) |
                         (activate ? 0u : static_cast<UINT>(SWP_NOZORDER)));
        if (state == SW_SHOWMINIMIZED && IsWindow(hwnd) && d.Focus && InTree(d.Focus, Find(hwnd)))
            SetFocus(nullptr);
        return wasVisible;
    }
    if (show == wasVisible) {
        if (show && activate && (w->Style & WS_CHILD) == 0 && d.Active != hwnd) SetActiveWindow(hwnd);
        return wasVisible;
    }
    Send(hwnd, WM_SHOWWINDOW, show ? 1 : 0, 0);
    if (!(w = Find(hwnd))) return wasVisible;
    swp |= SWP_NOMOVE | SWP_NOSIZE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
    if (!activate || !show || (w->Style & WS_CHILD))
        swp |= SWP_NOACTIVATE;
    else
        swp &= ~SWP_NOZORDER;
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, swp);
    return wasVisible;
}

bool GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* wp) {
    TWindow* w = Find(hwnd);
    if (!w || !wp) return false;
    wp->showCmd = static_cast<UINT>(!(w->Style & WS_VISIBLE) ? SW_HIDE : w->ShowState);
    wp->rcNormalPosition = w->ShowState == SW_SHOWNORMAL ? w->Rect : w->NormalRect;
    wp->ptMinPosition = MinimizedRect(w).TopLeft();
    wp->ptMaxPosition = MaximizedRect(w).TopLeft();
    return true;
}

bool SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* wp) {
    TWindow* w = Find(hwnd);
    if (!w || !wp) return false;
    w->NormalRect = wp->rcNormalPosition;
    if (w->ShowState == SW_SHOWNORMAL)
        SetWindowPos(hwnd, nullptr, wp->rcNormalPosition.Left, wp->rcNormalPosition.Top,
                     wp->rcNormalPosition.Width(), wp->rcNormalPosition.Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, static_cast<int>(wp->showCmd));
    return true;
}

int SetWindowRgn(HWND hwnd, HRGN rgn, bool redraw) {
    TDesktop& d = Desk();
    TWindow* w = Find(hwnd);
    if (!w || w == d.Root) {
        if (rgn) DeleteObject(rgn);
        return 0;
    }
    std::lock_guard g(d.Lock);
    TRegion before = VisibleRegion(w, false, false, true);
    if (rgn) {
        w->Rgn = GetRegion(rgn);
        w->HasRgn = true;
        DeleteObject(rgn); // the window owns it
    } else {
        w->HasRgn = false;
        w->Rgn.SetEmpty();
    }
    TRegion after = VisibleRegion(w, false, false, true);
    UpdateAllDCs();
    if (redraw) {
        TRegion exposed = before;
        exposed -= after;
        InvalidateScreen(exposed);
        TRegion fresh = after;
        fresh -= before;
        InvalidateScreen(fresh);
    }
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN rgn) {
    TWindow* w = Find(hwnd);
    if (!w || !rgn || !w->HasRgn) return ERROR;
    SetRegion(rgn, w->Rgn);
    return w->Rgn.Complexity();
}

// ---- coordinates ------------------------------------------------------------------------------------

bool GetWindowRect(HWND hwnd, TRect* rect) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    if (!w || !rect) return false;
    *rect = WindowScreenRect(w);
    return true;
}

bool GetClientRect(HWND hwnd, TRect* rect) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    if (!w || !rect) return false;
    *rect = {0, 0, w->Client.Width(), w->Client.Height()};
    return true;
}

bool ClientToScreen(HWND hwnd, TPoint* p) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    if (!w || !p) return false;
    *p = *p + ClientOrigin(w);
    return true;
}

bool ScreenToClient(HWND hwnd, TPoint* p) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    if (!w || !p) return false;
    *p = *p - ClientOrigin(w);
    return true;
}

int MapWindowPoints(HWND from, HWND to, TPoint* points, UINT count) {
    std::lock_guard g(Desk().Lock);
    TPoint a, b;
    if (from) {
        TWindow* w = Find(from);
        if (!w) return 0;
        a = ClientOrigin(w);
    }
    if (to) {
        TWindow* w = Find(to);
        if (!w) return 0;
        b = ClientOrigin(w);
    }
    int dx = a.X - b.X, dy = a.Y - b.Y;
    for (UINT i = 0; points && i < count; ++i) points[i] = points[i] + TPoint{dx, dy};
    return static_cast<int>(MAKELPARAM(dx, dy));
}

namespace {

bool HitsWindow(const TWindow* w, TPoint screen) {
    TRect r = WindowScreenRect(w);
    if (!r.Contains(screen)) return false;
    if (w->HasRgn && !w->Rgn.Contains(screen.X - r.Left, screen.Y - r.Top)) return false;
    return true;
}

} // namespace

HWND WindowFromPoint(TPoint screen) {
    EnsureDesktop();
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    // The deepest visible, enabled window under the point (disabled children pass to their parent).
    TWindow* found = nullptr;
    for (TWindow* t : d.Root->Children)
        if (IsVisibleSelf(t) && HitsWindow(t, screen)) {
            found = t;
            break;
        }
    if (!found) return d.Root->Handle;
    for (;;) {
        if (!ClientScreenRect(found).Contains(screen)) break;
        TWindow* next = nullptr;
        for (TWindow* ch : found->Children)
            if (IsVisibleSelf(ch) && !(ch->Style & WS_DISABLED) && HitsWindow(ch, screen)) {
                next = ch;
                break;
            }
        if (!next) break;
        found = next;
    }
    return found->Handle;
}

HWND ChildWindowFromPointEx(HWND parent, TPoint client, UINT flags) {
    std::lock_guard g(Desk().Lock);
    TWindow* p = Find(parent);
    if (!p) return nullptr;
    TPoint s = client + ClientOrigin(p);
    if (!TRect{0, 0, p->Client.Width(), p->Client.Height()}.Contains(client) && p != Desk().Root)
        return nullptr;
    for (TWindow* ch : p->Children) {
        if ((flags & CWP_SKIPINVISIBLE) && !IsVisibleSelf(ch)) continue;
        if ((flags & CWP_SKIPDISABLED) && (ch->Style & WS_DISABLED)) continue;
        if ((flags & CWP_SKIPTRANSPARENT) && (ch->ExStyle & WS_EX_TRANSPARENT)) continue;
        if (HitsWindow(ch, s)) return ch->Handle;
    }
    return parent;
}

HWND ChildWindowFromPoint(HWND parent, TPoint client) {
    return ChildWindowFromPointEx(parent, client, CWP_ALL);
}

TRegion GetVisibleRegion(HWND hwnd, bool clientOnly, bool clipChildren) {
    std::lock_guard g(Desk().Lock);
    TWindow* w = Find(hwnd);
    if (!w) return {};
    return VisibleRegion(w, clientOnly, clipChildren, (w->Style & WS_CLIPSIBLINGS) != 0);
}

// ---- DCs ------------------------------------------------------------------------------------------

namespace {

// Print targets of windows whose non-client area is being printed on this thread (innermost last).
struct TPrintRedirect {
    HWND Window;
    HDC Target;
};
thread_local std::vector<TPrintRedirect> GPrintRedirects;

HDC RedirectTarget(HWND hwnd) {
    for (auto it = GPrintRedirects.rbegin(); it != GPrintRedirects.rend(); ++it)
        if (it->Window == hwnd) return it->Target;
    return nullptr;
}

// A DC over the target's surface whose (0, 0) is the target's logical origin, limited to the window's
// size and to all of the target's own clipping (a window DC target keeps its visible region).
HDC CreateRedirectedDC(TWindow* w, HDC target) {
    TDibPtr surface = GetDCSurface(target);
    if (!surface) return nullptr;
    TPoint origin{0, 0};
    LPtoDP(target, &origin, 1);
    TRegion clip(TRect{0, 0, w->Rect.Width(), w->Rect.Height()});
    TRegion allowed = GetDCEffectiveClip(target);
    allowed.Offset(-origin.X, -origin.Y);
    clip &= allowed;
    const TPoint device = GetDCDeviceOrigin(target);
    return CreateSurfaceDC(surface, {device.X + origin.X, device.Y + origin.Y}, &clip);
}

} // namespace

namespace desktop {

void PrintNonClient(HWND hwnd, HDC target) {
    GPrintRedirects.push_back({hwnd, target});
    try {
        Send(hwnd, WM_NCPAINT, 1, 0);
    } catch (...) {
        GPrintRedirects.pop_back();
        throw;
    }
    GPrintRedirects.pop_back();
}

bool PrintRedirected(HWND hwnd) {
    return RedirectTarget(hwnd) != nullptr;
}

} // namespace desktop

HDC GetDCEx(HWND hwnd, HRGN clip, DWORD flags) {
    EnsureDesktop();
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    TDCRecord rec;
    TWindow* w;
    if (!hwnd) {
        w = d.Root;
        rec.Desktop = true;
    } else {
        w = Find(hwnd);
        if (!w || w->Destroying) return nullptr;
    }
    rec.Window = flags & DCX_WINDOW;
    rec.ClipChildren = (flags & DCX_CLIPCHILDREN) || (w != d.Root && (w->Style & WS_CLIPCHILDREN));
    rec.ClipSiblings = (flags & DCX_CLIPSIBLINGS) || (w->Style & WS_CLIPSIBLINGS);
    rec.LockUpdate = flags & DCX_LOCKWINDOWUPDATE;
    if (clip && (flags & (DCX_INTERSECTRGN | DCX_EXCLUDERGN))) {
        rec.HasExtra = true;
        rec.ExtraExclude = flags & DCX_EXCLUDERGN;
        rec.Extra = GetRegion(clip);
        TPoint o = rec.Window ? WindowScreenRect(w).TopLeft() : ClientOrigin(w);
        rec.Extra.Offset(o.X, o.Y);
    }
    if (clip && (flags & (DCX_INTERSECTRGN | DCX_EXCLUDERGN))) DeleteObject(clip);
    if (rec.Window && hwnd) {
        if (HDC target = RedirectTarget(hwnd)) {
            rec.DC = CreateRedirectedDC(w, target);
            if (!rec.DC) return nullptr;
            rec.Redirected = true;
            w->DCs.push_back(rec);
            return rec.DC;
        }
    }
    TRegion none;
    rec.DC = CreateSurfaceDC(d.Screen, {0, 0}, &none);
    if (!rec.DC) return nullptr;
    UpdateDC(w, rec);
    w->DCs.push_back(rec);
    return rec.DC;
}

HDC GetDC(HWND hwnd) {
    return GetDCEx(hwnd, nullptr, 0);
}
HDC GetWindowDC(HWND hwnd) {
    return GetDCEx(hwnd, nullptr, DCX_WINDOW);
}

int ReleaseDC(HWND, HDC dc) {
    if (!dc) return 0;
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    for (auto& [id, w] : d.Windows) {
        auto it = std::find_if(w->DCs.begin(), w->DCs.end(), [&](const TDCRecord& r) { return r.DC == dc; });
        if (it != w->DCs.end()) {
            w->DCs.erase(it);
            DeleteDC(dc);
            return 1;
        }
    }
    auto& orphans = OrphanDCs();
    auto it = std::find(orphans.begin(), orphans.end(), dc);
    if (it != orphans.end()) {
        orphans.erase(it);
        DeleteDC(dc);
        return 1;
    }
    return 0;
}

HWND WindowFromDC(HDC dc) {
    TDesktop& d = Desk();
    std::lock_guard g(d.Lock);
    for (auto& [id, w] : d.Windows)
        for (const TDCRecord& r : w->DCs)
            if (r.DC == dc) return r.Desktop ? nullptr : w->Handle;
    return nullptr;
}

TDibPtr GetScreenSurface() {
    EnsureDesktop();
    return Desk().Screen;
}

TDibPtr CaptureScreen(const TRect* screenRect) {
    EnsureDesktop();
    TDesktop& d = Desk();
    std::lock_guard g(*d.ScreenLock);
    TRect r = screenRect ? IntersectRect(*screenRect, d.Screen->BoundsRect()) : d.Screen->BoundsRect();
    auto out = std::make_shared<TDib>(r.Width(), r.Height());
    for (int y = r.Top; y < r.Bottom; ++y)
        std::memcpy(out->Row(y - r.Top), d.Screen->Row(y) + r.Left, sizeof(uint32_t) * r.Width());
    return out;
}

TDibPtr CaptureWindow(HWND hwnd) {
    TRect r;
    if (!GetWindowRect(hwnd, &r)) return nullptr;
    return CaptureScreen(&r);
}

namespace desktop {

// Desk lock held by the caller.
void ResetState() {
    TDesktop& d = Desk();
    d.Focus = d.Active = nullptr;
    d.AppForeground = true;
    d.Mouse = TMouseState{};
    std::memset(d.KeyState, 0, sizeof d.KeyState);
    std::memset(d.AsyncKeyState, 0, sizeof d.AsyncKeyState);
    d.Caret = TCaret{};
    d.Cursor = nullptr;
    d.CursorShowCount = 0;
    d.LockedWindow = nullptr;
    d.LockedUpdate.SetEmpty();
    d.Beeps = 0;
    d.MetricOverrides.clear();
    d.HasWorkArea = false;
    d.DragFullWindows = true;
    d.MenuAnimation = true;
    d.GradientCaptions = true;
    d.DoubleClickTime = 500;
    d.CaretBlinkTime = 530;
    d.SwapButtons = false;
}

} // namespace desktop

} // namespace qel
