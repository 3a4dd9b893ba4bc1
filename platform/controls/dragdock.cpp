// The drag manager (drag and drop, dragging controls into dock sites) and docking.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <unordered_set>

#include "platform/controls/forms.h"

namespace qel {

void DragForgetControl(TControl* control);

QEL_IMPLEMENT_CLASS(TDragDockObject)

namespace {

// One drag in progress: the mouse is captured by a utility window until the button is released or the
// drag is cancelled; Esc is caught on its way out of the message queue.
struct TDragSession {
    TControl* Source = nullptr;
    TObject* DragObject = nullptr; // the object OnStartDrag supplied (not ours to free)
    std::unique_ptr<TDragDockObject> OwnDockObject;
    TDragDockObject* DockObject = nullptr;
    bool Dock = false;
    bool Active = false;
    bool Ending = false;
    TPoint Start;
    TPoint Grab;                 // cursor offset inside the dragged control (docking)
    TPoint Last{-32768, -32768}; // the last position the drag moved to
    int Threshold = 5;
    TControl* Target = nullptr;
    bool Accepted = false;
    TCursor Cursor = crDefault;
    HWND Window = nullptr;
    HHOOK Hook = nullptr;
};

std::unique_ptr<TDragSession> GDrag;
// The floating host forms ManualFloat made.
std::unordered_set<TCustomForm*>& FloatHosts() {
    static std::unordered_set<TCustomForm*> hosts;
    return hosts;
}

TObject* SourceObject(const TDragSession& s) {
    if (s.Dock) return s.DockObject;
    return s.DragObject ? s.DragObject : s.Source;
}

// The dock site under a screen point: the nearest windowed control with DockSite on, outside the
// control being docked.
TWinControl* FindDockSite(TPoint p, TControl* source) {
    TControl* c = TWinControl::FindDragTarget(p, false);
    auto* sw = dynamic_cast<TWinControl*>(source);
    for (TControl* x = c; x; x = x->GetParent()) {
        auto* w = dynamic_cast<TWinControl*>(x);
        if (!w || w == source || (sw && sw->ContainsControl(w))) continue;
        if (w->GetDockSite()) return w;
    }
    return nullptr;
}

bool SendDragOver(TDragSession& s, TControl* target, TPoint p, TDragState state) {
    if (s.Dock) {
        s.DockObject->DragPos = p;
        s.DockObject->DragTarget = static_cast<TWinControl*>(target);
    }
    TDragRec rec;
    rec.Pos = p;
    rec.Source = SourceObject(s);
    rec.Target = target;
    rec.Docking = s.Dock;
    TDragMessage msg = state == dsDragEnter ? dmDragEnter : state == dsDragLeave ? dmDragLeave : dmDragMove;
    return target->Perform(CM_DRAG, msg, reinterpret_cast<intptr_t>(&rec)) != 0;
}

void UpdateCursor(TDragSession& s) {
    s.Cursor = s.Accepted ? (s.Dock ? crDefault : s.Source->GetDragCursor()) : crNoDrop;
    SetCursor(LoadStandardCursor(s.Cursor));
}

void DragTo(TDragSession& s, TPoint p) {
    TControl* t = s.Dock ? FindDockSite(p, s.Source) : TWinControl::FindDragTarget(p, false);
    if (s.Dock) {
        int w = s.Source->GetUndockWidth(), h = s.Source->GetUndockHeight();
        s.DockObject->DockRect = {p.X - s.Grab.X, p.Y - s.Grab.Y, p.X - s.Grab.X + w, p.Y - s.Grab.Y + h};
    }
    if (t != s.Target) {
        if (s.Target) SendDragOver(s, s.Target, p, dsDragLeave);
        if (!GDrag || GDrag.get() != &s) return;
        s.Target = t;
        s.Accepted = t && SendDragOver(s, t, p, dsDragEnter);
    } else if (t) {
        s.Accepted = SendDragOver(s, t, p, dsDragMove);
    }
    if (!GDrag || GDrag.get() != &s) return;
    if (s.Dock && s.DockObject)
        s.DockObject->DragTarget = s.Accepted ? static_cast<TWinControl*>(s.Target) : nullptr;
    UpdateCursor(s);
}

void DragDone(bool drop);

void DragWndProc(TMessage& m) {
    if (!GDrag || GDrag->Ending) return;
    TDragSession& s = *GDrag;
    switch (m.Msg) {
    case WM_MOUSEMOVE: {
        TPoint p = CursorPosition();
        if (!s.Active &&
            (std::abs(p.X - s.Start.X) >= s.Threshold || std::abs(p.Y - s.Start.Y) >= s.Threshold))
            s.Active = true;
        // A move to where the drag already is changes nothing (and tells the target nothing).
        if (s.Active && p != s.Last) {
            s.Last = p;
            DragTo(s, p);
        }
        return;
    }
    case WM_LBUTTONUP: DragDone(s.Active); return;
    case WM_RBUTTONDOWN:
    case WM_CANCELMODE:
    case WM_CAPTURECHANGED: DragDone(false); return;
    default: return;
    }
}

// Esc ends the drag without a drop; other keys are left alone.
LRESULT DragKeyHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* m = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && m && GDrag && !GDrag->Ending &&
        (m->message == WM_KEYDOWN || m->message == WM_SYSKEYDOWN) && m->wParam == VK_ESCAPE) {
        m->message = WM_NULL;
        DragDone(false);
        return 0;
    }
    return CallNextHookEx(GDrag ? GDrag->Hook : nullptr, code, wParam, lParam);
}

bool DockInto(TControl* c, TWinControl* site, TDragDockObject& obj, TPoint local);

void DragDone(bool drop) {
    if (!GDrag || GDrag->Ending) return;
    GDrag->Ending = true;
    std::unique_ptr<TDragSession> s = std::move(GDrag);
    if (s->Hook) UnhookWindowsHookEx(s->Hook);
    if (GetCapture() == s->Window) ReleaseCapture();
    DeallocateHWnd(s->Window);
    SetCursor(LoadStandardCursor(crDefault));
    TPoint p = CursorPosition();
    TControl* source = s->Source;
    bool dropped = drop && s->Active && s->Target && s->Accepted;
    if (!dropped && s->Target && s->Active) SendDragOver(*s, s->Target, p, dsDragLeave);
    if (!s->Dock) {
        TControl* target = nullptr;
        TPoint local{};
        if (dropped) {
            target = s->Target;
            local = target->ScreenToClient(p);
            TDragRec rec;
            rec.Pos = p;
            rec.Source = SourceObject(*s);
            rec.Target = target;
            target->Perform(CM_DRAG, dmDragDrop, reinterpret_cast<intptr_t>(&rec));
        }
        source->EndDragNotify(target, local.X, local.Y);
        return;
    }
    // Docking: into the accepting site, or floating where the control was dropped.
    TWinControl* site = nullptr;
    TPoint local{};
    if (dropped) {
        site = static_cast<TWinControl*>(s->Target);
        local = site->ScreenToClient(p);
        if (!DockInto(source, site, *s->DockObject, local)) site = nullptr;
    } else if (drop && s->Active && !s->Target) {
        source->ManualFloat(s->DockObject->DockRect);
    }
    source->EndDockNotify(site, local.X, local.Y);
}

bool DockInto(TControl* c, TWinControl* site, TDragDockObject& obj, TPoint local) {
    TWinControl* old = c->GetHostDockSite();
    if (old == site && c->GetParent() == site) {
        // A move within the same site.
        TRect r = obj.DockRect;
        TPoint tl = site->ScreenToClient(r.TopLeft());
        if (!r.IsEmpty()) c->SetBounds(tl.X, tl.Y, c->GetWidth(), c->GetHeight());
        site->DockDrop(&obj, local.X, local.Y);
        return true;
    }
    if (old && !old->DoUnDock(site, c)) return false;
    auto* oldHost = dynamic_cast<TCustomForm*>(old);
    bool wasFloating = oldHost && FloatHosts().count(oldHost);
    if (!old || wasFloating) {
        // Leaving the free state: remember the size to undock with.
        c->SetUndockWidth(c->GetWidth());
        c->SetUndockHeight(c->GetHeight());
    }
    c->SetParent(site);
    c->SetHostDockSiteValue(site);
    if (!obj.DockRect.IsEmpty()) {
        TPoint tl = site->ScreenToClient(obj.DockRect.TopLeft());
        c->SetBounds(tl.X, tl.Y, c->GetWidth(), c->GetHeight());
    }
    if (obj.DropAlign != alNone) c->SetAlign(obj.DropAlign);
    c->Show();
    site->DockDrop(&obj, local.X, local.Y);
    if (wasFloating && oldHost->DockClientCount() == 0) {
        // The empty floating host goes once the current message is done.
        FloatHosts().erase(oldHost);
        oldHost->Hide();
        oldHost->Release();
    }
    return true;
}

} // namespace

void ControlDragMessage(TControl* control, TMessage& m) {
    auto* rec = reinterpret_cast<TDragRec*>(m.LParam);
    if (!rec) return;
    TPoint local = control->ScreenToClient(rec->Pos);
    switch (static_cast<TDragMessage>(m.WParam)) {
    case dmDragEnter:
    case dmDragLeave:
    case dmDragMove: {
        TDragState state = m.WParam == dmDragEnter   ? dsDragEnter
                           : m.WParam == dmDragLeave ? dsDragLeave
                                                     : dsDragMove;
        bool accept = false;
        if (rec->Docking) {
            auto* site = dynamic_cast<TWinControl*>(control);
            auto* obj = dynamic_cast<TDragDockObject*>(rec->Source);
            if (site && obj) site->DockOver(obj, local.X, local.Y, state, accept);
        } else {
            control->DragOver(rec->Source, local.X, local.Y, state, accept);
        }
        m.Result = accept ? 1 : 0;
        return;
    }
    case dmDragDrop:
        if (!rec->Docking) control->DragDrop(rec->Source, local.X, local.Y);
        return;
    default: return;
    }
}

void DragForgetControl(TControl* control) {
    if (TWinControl* site = control->GetHostDockSite()) {
        site->ForgetDockClient(control);
        control->SetHostDockSiteValue(nullptr);
    }
    if (GDrag && GDrag->Source == control) {
        GDrag->Ending = true;
        std::unique_ptr<TDragSession> s = std::move(GDrag);
        if (s->Hook) UnhookWindowsHookEx(s->Hook);
        if (GetCapture() == s->Window) ReleaseCapture();
        DeallocateHWnd(s->Window);
        return;
    }
    if (GDrag && GDrag->Target == control) {
        GDrag->Target = nullptr;
        GDrag->Accepted = false;
    }
    // Called from the control's destructor: compare pointers, the dynamic type is gone.
    for (auto it = FloatHosts().begin(); it != FloatHosts().end(); ++it)
        if (static_cast<TControl*>(*it) == control) {
            FloatHosts().erase(it);
            break;
        }
}

TControl* DragControl() {
    return GDrag ? GDrag->Source : nullptr;
}
TControl* DragTarget() {
    return GDrag ? GDrag->Target : nullptr;
}
bool DragAccepted() {
    return GDrag && GDrag->Accepted;
}
bool DragActive() {
    return GDrag && GDrag->Active;
}
TCursor CurrentDragCursor() {
    return GDrag ? GDrag->Cursor : crDefault;
}
void CancelDrag() {
    DragDone(false);
}
int DragThreshold() {
    return 5;
}

// ---- TControl: dragging and docking
// ------------------------------------------------------------------------

void TControl::BeginDrag(bool immediate, int threshold) {
    if (GDrag) return;
    if (ComponentState().Contains(csDestroying)) return;
    auto s = std::make_unique<TDragSession>();
    s->Source = this;
    s->Dock = FDragKind == dkDock;
    s->Start = CursorPosition();
    s->Threshold = threshold < 0 ? DragThreshold() : std::max(threshold, 0);
    TPoint origin = ClientToScreen({0, 0});
    s->Grab = {s->Start.X - origin.X, s->Start.Y - origin.Y};
    TObject* object = nullptr;
    if (s->Dock) {
        DoStartDock(object);
        s->DockObject = dynamic_cast<TDragDockObject*>(object);
        if (!s->DockObject) {
            s->OwnDockObject = std::make_unique<TDragDockObject>(this);
            s->DockObject = s->OwnDockObject.get();
        }
        s->DockObject->Control = this;
    } else {
        DoStartDrag(object);
        s->DragObject = object;
    }
    if (GDrag) return; // a handler started another drag
    s->Window = AllocateHWnd(TWindowProc([](TMessage& m) { DragWndProc(m); }));
    GDrag = std::move(s);
    // The mouse belongs to the drag now.
    if (GetCaptureControl()) SetCaptureControl(nullptr);
    FControlState.Exclude(csLButtonDown);
    FControlState.Exclude(csClicked);
    SetCapture(GDrag->Window);
    GDrag->Hook = SetWindowsHookEx(WH_GETMESSAGE, THookMethod(&DragKeyHook));
    if (immediate) {
        GDrag->Active = true;
        GDrag->Last = GDrag->Start;
        DragTo(*GDrag, GDrag->Start);
    }
}

void TControl::EndDrag(bool drop) {
    if (GDrag && GDrag->Source == this) DragDone(drop);
}

bool TControl::Dragging() const {
    return GDrag && GDrag->Source == this;
}

void TControl::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
    accept = static_cast<bool>(FOnDragOver);
    FOnDragOver(this, source, x, y, state, accept);
}

void TControl::DragDrop(TObject* source, int x, int y) {
    FOnDragDrop(this, source, x, y);
}

void TControl::DoEndDrag(TObject* target, int x, int y) {
    FOnEndDrag(this, target, x, y);
}

void TControl::DoStartDrag(TObject*& dragObject) {
    FOnStartDrag(this, dragObject);
}

void TControl::DoEndDock(TObject* target, int x, int y) {
    FOnEndDock(this, target, x, y);
}

void TControl::DoStartDock(TObject*& dragObject) {
    FOnStartDock(this, dragObject);
}

void TControl::EndDragNotify(TObject* target, int x, int y) {
    try {
        DoEndDrag(target, x, y);
    } catch (...) {
        if (Application) Application->HandleException(this);
    }
}

void TControl::EndDockNotify(TObject* target, int x, int y) {
    try {
        DoEndDock(target, x, y);
    } catch (...) {
        if (Application) Application->HandleException(this);
    }
}

void TControl::SetHostDockSiteValue(TWinControl* site) {
    FHostDockSite = site;
}

bool TControl::Floating() const {
    auto* f = dynamic_cast<TCustomForm*>(FHostDockSite);
    return f && FloatHosts().count(f);
}

bool TControl::ManualDock(TWinControl* newDockSite, TControl* dropControl, TAlign controlSide) {
    if (!newDockSite) return ManualFloat(BoundsRect());
    TDragDockObject obj(this);
    obj.DropAlign = controlSide;
    obj.DropOnControl = dropControl;
    obj.DragTarget = newDockSite;
    TPoint local{FLeft, FTop};
    return DockInto(this, newDockSite, obj, local);
}

bool TControl::ManualFloat(const TRect& screenRect) {
    auto* host = dynamic_cast<TCustomForm*>(FHostDockSite);
    if (host && FloatHosts().count(host)) {
        host->SetBounds(screenRect.Left, screenRect.Top, host->GetWidth(), host->GetHeight());
        return true;
    }
    if (FHostDockSite && !FHostDockSite->DoUnDock(nullptr, this)) return false;
    if (!FHostDockSite) {
        FUndockWidth = FWidth;
        FUndockHeight = FHeight;
    }
    int w = GetUndockWidth(), h = GetUndockHeight();
    host = TCustomForm::CreateNew(Application);
    FloatHosts().insert(host);
    host->SetBorderStyle(bsSizeToolWin);
    host->SetAutoScroll(false); // the host is as big as its client: nothing to scroll
    host->SetDockSite(true);
    host->SetCaption(GetText());
    host->SetClientSize(w, h);
    host->SetBounds(screenRect.Left, screenRect.Top, host->GetWidth(), host->GetHeight());
    SetParent(host);
    FHostDockSite = host;
    SetBounds(0, 0, w, h);
    Show();
    TDragDockObject obj(this);
    obj.DockRect = screenRect;
    host->DockDrop(&obj, 0, 0);
    host->Show();
    return true;
}

// ---- TWinControl: dock sites ------------------------------------------------------------------------------

void TWinControl::DockOver(TDragDockObject* source, int x, int y, TDragState state, bool& accept) {
    accept = FDockSite;
    FOnDockOver(this, source, x, y, state, accept);
}

void TWinControl::DockDrop(TDragDockObject* source, int x, int y) {
    if (source && source->Control &&
        std::find(FDockClients.begin(), FDockClients.end(), source->Control) == FDockClients.end())
        FDockClients.push_back(source->Control);
    FOnDockDrop(this, source, x, y);
}

void TWinControl::ForgetDockClient(TControl* client) {
    FDockClients.erase(std::remove(FDockClients.begin(), FDockClients.end(), client), FDockClients.end());
}

bool TWinControl::DoUnDock(TWinControl* newTarget, TControl* client) {
    bool allow = true;
    FOnUnDock(this, client, newTarget, allow);
    if (allow)
        FDockClients.erase(std::remove(FDockClients.begin(), FDockClients.end(), client), FDockClients.end());
    return allow;
}

} // namespace qel
