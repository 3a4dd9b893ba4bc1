// The application object: message loop, idle work, mouse-over tracking, hints, exceptions, releases.
#include <algorithm>
#include <unistd.h>

#include "platform/controls/forms.h"
#include "platform/core/clock.h"
#include "platform/windows/backend.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TApplication)

TApplication::TApplication(TComponent* owner) : TComponent(owner) {}

TApplication::~TApplication() {
    Destroying();
    FReleaseQueue.clear();
    // Forms go before the hint window and the utility window.
    DestroyComponents();
    if (FHandle) {
        DeallocateHWnd(FHandle);
        FHandle = nullptr;
    }
}

void TApplication::Initialize() {
    FInitialized = true;
}

void TApplication::AddCreatedForm(TCustomForm* form) {
    if (!FMainForm && form) FMainForm = form;
}

void TApplication::SetTitle(const std::string& v) {
    FTitle = v;
    if (FHandle) SetWindowText(FHandle, v.c_str());
}

std::string TApplication::ExeName() const {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

HWND TApplication::Handle() {
    if (FHandle && !IsWindow(FHandle)) FHandle = nullptr;
    if (!FHandle) {
        FHandle = AllocateHWnd(TWindowProc(this, &TApplication::OnAppWndProc));
        if (FHandle) SetWindowText(FHandle, FTitle.c_str());
    }
    return FHandle;
}

void TApplication::OnAppWndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_ACTIVATEAPP: SetActive(m.WParam != 0); return;
    default: m.Result = DefWindowProc(FHandle, m.Msg, m.WParam, m.LParam); return;
    }
}

void TApplication::SetActive(bool active) {
    if (active == FActive) return;
    FActive = active;
    if (active)
        FOnActivate(this);
    else {
        CancelHint();
        FOnDeactivate(this);
    }
}

void TApplication::ResetState() {
    FReleaseQueue.clear();
    CancelHint();
    delete FHintWindow;
    FHintWindow = nullptr;
    FMouseControl = nullptr;
    FMainForm = nullptr;
    FTerminated = false;
    FActive = true;
    FMinimized = false;
    FModalLevel = 0;
    FAbandonedModal = 0;
    if (FHandle) DeallocateHWnd(FHandle);
    FHandle = nullptr;
}

void TApplication::Terminate() {
    FTerminated = true;
    PostQuitMessage(0);
}

void TApplication::Run() {
    FInitialized = true;
    if (FMainForm) {
        if (!FMainForm->GetVisible()) FMainForm->Show();
    }
    do {
        try {
            HandleMessage();
        } catch (...) {
            HandleException(this);
        }
    } while (!FTerminated);
}

bool TApplication::IsKeyMsg(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    HWND wnd = GetCapture() ? GetCapture() : msg.hwnd;
    TWinControl* c = TWinControl::FindControl(wnd);
    if (!c) return false;
    uint32_t cn = 0;
    switch (msg.message) {
    case WM_KEYDOWN: cn = CN_KEYDOWN; break;
    case WM_SYSKEYDOWN: cn = CN_SYSKEYDOWN; break;
    case WM_CHAR: cn = CN_CHAR; break;
    case WM_SYSCHAR: cn = CN_SYSCHAR; break;
    default: return false;
    }
    return c->Perform(cn, static_cast<uintptr_t>(msg.wParam), static_cast<intptr_t>(msg.lParam)) != 0;
}

bool TApplication::ProcessMessage() {
    MSG msg{};
    if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    bool handled = false;
    FOnMessage(msg, handled);
    if (!handled) {
        // Any key or button press hides a shown hint.
        switch (msg.message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN: CancelHint(); break;
        default: break;
        }
        if (!IsKeyMsg(msg)) {
            TranslateMessage(&msg);
            DispatchMessage(&msg);
        }
    }
    ProcessReleases();
    if (IsMouseMessage(msg.message) || msg.message == WM_NCMOUSEMOVE) DoMouseIdle();
    return true;
}

bool TApplication::IsMouseMessage(uint32_t msg) {
    return msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST;
}

void TApplication::ProcessMessages() {
    // A bounded number of rounds: a handler that keeps posting cannot trap the caller.
    for (int i = 0; i < 100000 && ProcessMessage(); ++i) {
    }
    Idle();
}

bool TApplication::Idle() {
    ProcessReleases();
    DoMouseIdle();
    bool done = true;
    try {
        FOnIdle(this, done);
    } catch (...) {
        HandleException(this);
    }
    CheckSynchronize();
    return done;
}

void TApplication::HandleMessage() {
    if (ProcessMessage()) return;
    // Nothing queued: wait for input or a timer (hint deadlines run on timers too).
    if (Idle() && !FTerminated) WaitMessage();
}

void TApplication::HandleException(TObject* sender) {
    try {
        throw;
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        HandleException(sender, e);
    } catch (...) {
        Exception e("Unknown exception");
        HandleException(sender, e);
    }
}

void TApplication::HandleException(TObject* sender, const std::exception& e) {
    if (dynamic_cast<const EAbort*>(&e)) return;
    if (FOnException)
        FOnException(sender, e);
    else
        ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
    FLastShownError = e.what();
    std::string msg = FLastShownError;
    if (!msg.empty() && msg.back() != '.') msg += '.';
    // Headless runs have nobody to read a message box: the text is kept in LastShownError.
    if (GetBackend() && GetBackend()->Name() == "headless") return;
    MessageBox(msg, FTitle, static_cast<UINT>(MB_OK) | static_cast<UINT>(MB_ICONSTOP));
}

bool TApplication::InputCanArrive() const {
    // On the headless desktop only queued messages and due timers can wake a loop up.
    if (!GetBackend() || GetBackend()->Name() != "headless") return true;
    return GetQueueStatus(QS_ALLINPUT) != 0 || SyncRequestPending();
}

void TApplication::QueueRelease(TCustomForm* form) {
    QueueRelease(form, MessageHandlerDepth());
}

void TApplication::QueueRelease(TCustomForm* form, int handlerDepth) {
    for (TPendingRelease& r : FReleaseQueue)
        if (r.Form == form) {
            r.Depth = std::min(r.Depth, handlerDepth);
            return;
        }
    FReleaseQueue.push_back({form, handlerDepth});
    // Wake a loop waiting for messages so the release is not delayed until the next input.
    if (FHandle) PostMessage(FHandle, WM_NULL, 0, 0);
}

void TApplication::CancelRelease(TCustomForm* form) {
    FReleaseQueue.erase(std::remove_if(FReleaseQueue.begin(), FReleaseQueue.end(),
                                       [form](const TPendingRelease& r) { return r.Form == form; }),
                        FReleaseQueue.end());
}

void TApplication::ProcessReleases() {
    // A form released inside a message handler waits until that handler has returned; one released
    // outside any handler goes at the next opportunity outside handlers.
    int depth = MessageHandlerDepth();
    for (size_t i = 0; i < FReleaseQueue.size();) {
        TPendingRelease r = FReleaseQueue[i];
        if (r.Depth > depth || (r.Depth == 0 && depth == 0)) {
            FReleaseQueue.erase(FReleaseQueue.begin() + static_cast<std::ptrdiff_t>(i));
            delete r.Form; // may release or cancel others: start over
            i = 0;
        } else {
            ++i;
        }
    }
}

void TApplication::ControlDestroyed(TControl* control) {
    if (Screen) Screen->ControlRemoved(control);
    if (!Application) return;
    if (Application->FMouseControl == control) Application->FMouseControl = nullptr;
    if (Application->FHintControl == control) {
        Application->FHintControl = nullptr;
        Application->HideHint();
        Application->FHintDue = 0;
    }
    if (control == Application->FHintWindow) Application->FHintWindow = nullptr;
    if (control == Application->FMainForm) Application->FMainForm = nullptr;
}

void TApplication::Minimize() {
    if (FMinimized) return;
    FMinimized = true;
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* f = Screen->Forms(i);
        if (f->GetVisible() && !f->GetParent() && f->HandleAllocated()) ShowWindow(f->Handle(), SW_HIDE);
    }
    FOnMinimize(this);
}

void TApplication::Restore() {
    if (!FMinimized) return;
    FMinimized = false;
    for (int i = Screen->FormCount() - 1; i >= 0; --i) {
        TCustomForm* f = Screen->Forms(i);
        if (f->GetVisible() && !f->GetParent() && f->HandleAllocated()) ShowWindow(f->Handle(), SW_SHOWNA);
    }
    if (FMainForm && FMainForm->GetVisible()) FMainForm->SetFocus();
    FOnRestore(this);
}

void TApplication::BringToFront() {
    TCustomForm* f = Screen->ActiveForm() ? Screen->ActiveForm() : FMainForm;
    if (f && f->HandleAllocated()) {
        SetWindowPos(f->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(f->Handle());
    }
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    return ShowMessageBox(text, caption.empty() ? FTitle : caption, flags);
}

void TApplication::NormalizeTopMosts() {
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* f = Screen->Forms(i);
        if (f->GetFormStyle() == fsStayOnTop && f->HandleAllocated() && !f->GetParent())
            SetWindowPos(f->Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void TApplication::RestoreTopMosts() {
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* f = Screen->Forms(i);
        if (f->GetFormStyle() == fsStayOnTop && f->HandleAllocated() && !f->GetParent())
            SetWindowPos(f->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

bool TApplication::HelpCommand(uint16_t command, intptr_t data) {
    bool callHelp = true, result = false;
    FOnHelp(command, data, callHelp, result);
    return result;
}

bool TApplication::HelpContext(int context) {
    return HelpCommand(HELP_CONTEXT, context);
}

// ---- hints ------------------------------------------------------------------------------------------------

void TApplication::SetHint(const std::string& v) {
    if (v == FHint) return;
    FHint = v;
    FOnHint(this);
}

void TApplication::SetShowHint(bool v) {
    if (v == FShowHint) return;
    FShowHint = v;
    if (!v) CancelHint();
}

void TApplication::SetHintColor(TColor v) {
    FHintColor = v;
    if (FHintWindow) FHintWindow->SetColor(v);
}

namespace {
// The hint text of a control: its own, or the nearest parent's while ParentShowHint chains up.
bool ShowsHint(TControl* c) {
    for (TControl* p = c; p; p = p->GetParent())
        if (!p->GetParentShowHint() || !p->GetParent()) return p->GetShowHint();
    return false;
}
std::string ShortHint(const std::string& hint) {
    size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}
std::string LongHint(const std::string& hint) {
    size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}
std::string HintOf(TControl* c) {
    for (TControl* p = c; p; p = p->GetParent())
        if (!p->GetHint().empty()) return p->GetHint();
    return {};
}
} // namespace

void TApplication::DoMouseIdle() {
    TPoint pos = CursorPosition();
    TControl* target = TWinControl::FindDragTarget(pos, true);
    TControl* capture = GetCaptureControl();
    if (capture && target != capture) target = capture == FMouseControl ? FMouseControl : target;
    if (target != FMouseControl) {
        TControl* old = FMouseControl;
        FMouseControl = target;
        if (old) old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<intptr_t>(old));
        if (target && FMouseControl == target)
            target->Perform(CM_MOUSEENTER, 0, reinterpret_cast<intptr_t>(target));
        SetHint(target ? LongHint(HintOf(target)) : std::string());
    }
    // Hint timing on the platform clock.
    TControl* hintControl = target && target->IsEnabledChain() ? target : nullptr;
    if (hintControl != FHintControl) {
        bool wasShown = FHintActive;
        HideHint();
        FHintControl = hintControl;
        FHintDue = 0;
        if (hintControl && FShowHint && FActive && !capture) {
            uint64_t pause = static_cast<uint64_t>(wasShown ? FHintShortPause : FHintPause);
            FHintDue = Clock().Milliseconds() + std::max<uint64_t>(pause, 1);
            WakeAt(FHintDue);
        }
    }
    uint64_t now = Clock().Milliseconds();
    if (FHintDue && now >= FHintDue) {
        FHintDue = 0;
        ActivateHint(pos);
    }
    if (FHintHideDue && now >= FHintHideDue) {
        FHintHideDue = 0;
        HideHint();
    }
}

void TApplication::ActivateHint(TPoint cursorPos) {
    TControl* c = FHintControl ? FHintControl : TWinControl::FindDragTarget(cursorPos, true);
    if (!c) return;
    THintInfo info;
    info.HintControl = c;
    info.HintPos = {cursorPos.X, cursorPos.Y + 20};
    info.HintMaxWidth = Screen->Width();
    info.HintColor = FHintColor;
    info.CursorPos = c->ScreenToClient(cursorPos);
    info.CursorRect = c->GetClientRect();
    info.HideTimeout = FHintHidePause;
    info.HintStr = ShortHint(HintOf(c));
    bool canShow = ShowsHint(c);
    if (canShow) canShow = c->Perform(CM_HINTSHOW, 0, reinterpret_cast<intptr_t>(&info)) == 0;
    // The application's handler sees every hint request, also for controls without a hint text.
    FOnShowHint(info.HintStr, canShow, info);
    if (!canShow || info.HintStr.empty()) {
        HideHint();
        return;
    }
    if (!FHintWindow) FHintWindow = new THintWindow(this);
    FHintWindow->SetColor(info.HintColor);
    TRect r = FHintWindow->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
    r = OffsetRect(r, info.HintPos.X, info.HintPos.Y);
    FHintWindow->ActivateHint(r, info.HintStr);
    FHintActive = true;
    FHintHideDue =
        info.HideTimeout > 0 ? Clock().Milliseconds() + static_cast<uint64_t>(info.HideTimeout) : 0;
    if (FHintHideDue) WakeAt(FHintHideDue);
}

void TApplication::WakeAt(uint64_t when) {
    // A one-shot timer makes the message loop run the idle work at the deadline.
    uint64_t now = Clock().Milliseconds();
    UINT ms = when > now ? static_cast<UINT>(when - now) : 1;
    auto id = std::make_shared<uintptr_t>(0);
    *id = SetTimerMethod(ms, [id] {
        KillTimer(nullptr, *id);
        if (Application) Application->DoMouseIdle();
    });
}

void TApplication::HideHint() {
    if (FHintWindow && FHintWindow->IsHintShown()) FHintWindow->ReleaseHandle();
    FHintActive = false;
    FHintHideDue = 0;
}

void TApplication::CancelHint() {
    HideHint();
    FHintDue = 0;
    FHintControl = nullptr;
}

} // namespace qel
