#include "platform/controls/menus.h"

#include <algorithm>
#include <cctype>

#include "platform/controls/forms.h"
#include "platform/core/filer.h"
#include "platform/core/strutils.h"
#include "platform/graphics/gdi.h"

namespace qel {

// ---- shortcuts and captions ---------------------------------------------------------------------------

TShortCut ShortCut(uint16_t key, TShiftState shift) {
    if (key & 0xFF00) return 0;
    TShortCut r = key;
    if (shift.Contains(ssShift)) r |= scShift;
    if (shift.Contains(ssCtrl)) r |= scCtrl;
    if (shift.Contains(ssAlt)) r |= scAlt;
    return r;
}

void ShortCutToKey(TShortCut shortCut, uint16_t& key, TShiftState& shift) {
    key = shortCut & 0xFF;
    shift = {};
    if (shortCut & scShift) shift += ssShift;
    if (shortCut & scCtrl) shift += ssCtrl;
    if (shortCut & scAlt) shift += ssAlt;
}

namespace {

struct TKeyName {
    uint16_t Key;
    const char* Name;
};
const TKeyName KeyNames[] = {
    {VK_BACK, "BkSp"},      {VK_TAB, "Tab"},        {VK_RETURN, "Enter"}, {VK_ESCAPE, "Esc"},
    {VK_SPACE, "Space"},    {VK_PRIOR, "PgUp"},     {VK_NEXT, "PgDn"},    {VK_END, "End"},
    {VK_HOME, "Home"},      {VK_LEFT, "Left"},      {VK_UP, "Up"},        {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},      {VK_INSERT, "Ins"},     {VK_DELETE, "Del"},   {VK_ADD, "Num +"},
    {VK_SUBTRACT, "Num -"}, {VK_MULTIPLY, "Num *"}, {VK_DIVIDE, "Num /"}, {VK_OEM_PLUS, "="},
    {VK_OEM_MINUS, "-"},    {VK_OEM_COMMA, ","},    {VK_OEM_PERIOD, "."}, {VK_OEM_2, "/"},
};

std::string KeyName(uint16_t key) {
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
        return std::string(1, static_cast<char>(key));
    if (key >= VK_F1 && key <= VK_F12) return "F" + std::to_string(key - VK_F1 + 1);
    for (const TKeyName& k : KeyNames)
        if (k.Key == key) return k.Name;
    return {};
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::string ShortCutToText(TShortCut shortCut) {
    std::string name = KeyName(shortCut & 0xFF);
    if (name.empty()) return {};
    std::string r;
    if (shortCut & scShift) r += "Shift+";
    if (shortCut & scCtrl) r += "Ctrl+";
    if (shortCut & scAlt) r += "Alt+";
    return r + name;
}

TShortCut TextToShortCut(const std::string& text) {
    std::string rest = text;
    TShortCut mods = 0;
    for (;;) {
        auto take = [&](const char* prefix, TShortCut bit) {
            size_t n = std::char_traits<char>::length(prefix);
            if (rest.size() > n && SameText(rest.substr(0, n), prefix)) {
                rest = rest.substr(n);
                mods |= bit;
                return true;
            }
            return false;
        };
        if (!take("Shift+", scShift) && !take("Ctrl+", scCtrl) && !take("Alt+", scAlt)) break;
    }
    for (int key = 1; key < 256; ++key) {
        std::string name = KeyName(static_cast<uint16_t>(key));
        if (!name.empty() && SameText(name, rest)) return static_cast<TShortCut>(key | mods);
    }
    return 0;
}

char GetHotkey(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
    }
    return 0;
}

// ---- TMenuItem ----------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TMenuItem, [](auto& c) {
    c.Property("AutoCheck", &TMenuItem::GetAutoCheck, &TMenuItem::SetAutoCheck).Default(false);
    c.Property("Break", &TMenuItem::GetBreak, &TMenuItem::SetBreak).Default(mbNone);
    c.Property("Caption", &TMenuItem::GetCaption, &TMenuItem::SetCaption);
    c.Property("Checked", &TMenuItem::GetChecked, &TMenuItem::SetChecked).Default(false);
    c.Property("Default", &TMenuItem::GetDefault, &TMenuItem::SetDefault).Default(false);
    c.Property("Enabled", &TMenuItem::GetEnabled, &TMenuItem::SetEnabled).Default(true);
    c.Property("GroupIndex", &TMenuItem::GetGroupIndex, &TMenuItem::SetGroupIndex).Default(0);
    c.Property("HelpContext", &TMenuItem::GetHelpContext, &TMenuItem::SetHelpContext).Default(0);
    c.Property("Hint", &TMenuItem::GetHint, &TMenuItem::SetHint);
    c.Property("ImageIndex", &TMenuItem::GetImageIndex, &TMenuItem::SetImageIndex).Default(-1);
    c.Property("RadioItem", &TMenuItem::GetRadioItem, &TMenuItem::SetRadioItem).Default(false);
    c.Property("ShortCut", &TMenuItem::GetShortCutValue, &TMenuItem::SetShortCutValue).Default(0);
    c.Property("Visible", &TMenuItem::GetVisible, &TMenuItem::SetVisible).Default(true);
    c.Event("OnClick", &TMenuItem::GetOnClick, &TMenuItem::SetOnClick);
})

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
    Destroying();
    // Sub-items go with their parent.
    while (!FItems.empty()) {
        TMenuItem* c = FItems.back();
        FItems.pop_back();
        c->FParent = nullptr;
        delete c;
    }
    if (FParent) FParent->Remove(this);
}

TMenuItem* TMenuItem::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<size_t>(index)];
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* i = this;
    while (i->FParent) i = i->FParent;
    return i->FMenu;
}

void TMenuItem::Add(TMenuItem* item) {
    Insert(Count(), item);
}

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (!item) return;
    if (item->FParent) throw EInvalidOperation("Menu inserted twice");
    for (const TMenuItem* p = this; p; p = p->FParent)
        if (p == item) throw EInvalidOperation("A menu item cannot contain itself");
    index = std::clamp(index, 0, Count());
    FItems.insert(FItems.begin() + index, item);
    item->FParent = this;
    MenuChanged(true);
}

void TMenuItem::Delete(int index) {
    TMenuItem* item = Items(index);
    Remove(item);
    delete item;
}

void TMenuItem::Remove(TMenuItem* item) {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it == FItems.end()) return;
    FItems.erase(it);
    item->FParent = nullptr;
    if (!ComponentState().Contains(csDestroying)) MenuChanged(true);
}

void TMenuItem::Clear() {
    while (!FItems.empty()) Delete(Count() - 1);
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

int TMenuItem::GetMenuIndex() const {
    return FParent ? FParent->IndexOf(this) : -1;
}

void TMenuItem::SetMenuIndex(int v) {
    if (!FParent) return;
    TMenuItem* p = FParent;
    auto& list = p->FItems;
    list.erase(std::find(list.begin(), list.end(), this));
    v = std::clamp(v, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + v, this);
    p->MenuChanged(true);
}

TMenuItem* TMenuItem::Find(const std::string& caption) const {
    for (TMenuItem* i : FItems)
        if (SameText(StripHotkey(i->FCaption), StripHotkey(caption))) return i;
    return nullptr;
}

void TMenuItem::SetCaption(const std::string& v) {
    if (v == FCaption) return;
    FCaption = v;
    MenuChanged(true);
}

void TMenuItem::SetChecked(bool v) {
    if (v == FChecked) return;
    FChecked = v;
    if (v && FRadioItem) TurnSiblingsOff();
    MenuChanged(false);
}

void TMenuItem::TurnSiblingsOff() {
    if (!FParent) return;
    for (TMenuItem* s : FParent->FItems)
        if (s != this && s->FRadioItem && s->FGroupIndex == FGroupIndex && s->FChecked) {
            s->FChecked = false;
            s->MenuChanged(false);
        }
}

void TMenuItem::SetEnabled(bool v) {
    if (v == FEnabled) return;
    FEnabled = v;
    MenuChanged(false);
}

void TMenuItem::SetVisible(bool v) {
    if (v == FVisible) return;
    FVisible = v;
    MenuChanged(true);
}

void TMenuItem::SetDefault(bool v) {
    if (v == FDefault) return;
    if (v && FParent)
        for (TMenuItem* s : FParent->FItems) s->FDefault = false;
    FDefault = v;
    MenuChanged(true);
}

void TMenuItem::SetRadioItem(bool v) {
    if (v == FRadioItem) return;
    FRadioItem = v;
    if (v && FChecked) TurnSiblingsOff();
    MenuChanged(false);
}

void TMenuItem::SetGroupIndex(int v) {
    if (v == FGroupIndex) return;
    FGroupIndex = v;
    if (FRadioItem && FChecked) TurnSiblingsOff();
    MenuChanged(false);
}

void TMenuItem::SetShortCut(TShortCut v) {
    if (v == FShortCut) return;
    FShortCut = v;
    MenuChanged(true);
}

void TMenuItem::SetBreak(TMenuBreak v) {
    if (v == FBreak) return;
    FBreak = v;
    MenuChanged(true);
}

void TMenuItem::SetImageIndex(int v) {
    if (v == FImageIndex) return;
    FImageIndex = v;
    MenuChanged(false);
}

void TMenuItem::Click() {
    if (!FEnabled) return;
    if (FAutoCheck && !(FRadioItem && FChecked)) SetChecked(!FChecked);
    FOnClick(this);
}

void TMenuItem::MenuChanged(bool rebuild) {
    if (ComponentState().Contains(csDestroying) || ComponentState().Contains(csLoading)) return;
    TMenu* m = GetParentMenu();
    if (m && !m->ComponentState().Contains(csDestroying)) m->MenuChanged(this, this, rebuild);
}

TComponent* TMenuItem::GetParentComponent() const {
    if (FParent && FParent->FMenu) return FParent->FMenu;
    return FParent;
}

void TMenuItem::SetParentComponent(TComponent* value) {
    if (FParent) FParent->Remove(this);
    if (auto* m = dynamic_cast<TMenu*>(value))
        m->GetItems()->Add(this);
    else if (auto* i = dynamic_cast<TMenuItem*>(value))
        i->Add(this);
}

void TMenuItem::ReadState(TReader* reader) {
    if (reader->Parent() && reader->Parent() != this) SetParentComponent(reader->Parent());
    TComponent::ReadState(reader);
}

void TMenuItem::GetChildren(const TGetChildProc& proc, TComponent* root) {
    for (TMenuItem* i : FItems)
        if (i->Owner() == root) proc(i);
}

// ---- TMenu --------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TMenu)

TMenu::TMenu(TComponent* owner) : TComponent(owner), FItems(std::make_unique<TMenuItem>(nullptr)) {
    FItems->FMenu = this;
}

TMenu::~TMenu() {
    Destroying();
    FItems.reset();
}

void TMenu::DefineProperties(TFiler* filer) {
    TComponent::DefineProperties(filer);
    // Where the designer showed the menu on its form: kept so form files read and write back alike.
    filer->DefineProperty(
        "Left", [this](TReader* r) { FDesignLeft = static_cast<int>(r->ReadInteger()); },
        [this](TWriter* w) { w->WriteInteger(FDesignLeft); }, FDesignLeft != 0);
    filer->DefineProperty(
        "Top", [this](TReader* r) { FDesignTop = static_cast<int>(r->ReadInteger()); },
        [this](TWriter* w) { w->WriteInteger(FDesignTop); }, FDesignTop != 0);
}

void TMenu::GetChildren(const TGetChildProc& proc, TComponent* root) {
    FItems->GetChildren(proc, root);
}

namespace {
TMenuItem* FindShortCutIn(TMenuItem* items, TShortCut shortCut) {
    for (int i = 0; i < items->Count(); ++i) {
        TMenuItem* it = items->Items(i);
        if (it->GetShortCut() == shortCut) return it;
        if (TMenuItem* sub = FindShortCutIn(it, shortCut)) return sub;
    }
    return nullptr;
}
bool ItemUsable(TMenuItem* item) {
    for (TMenuItem* p = item; p && p->GetParent(); p = p->GetParent())
        if (!p->GetEnabled() || !p->GetVisible()) return false;
    return true;
}
} // namespace

TMenuItem* TMenu::FindShortCut(TShortCut shortCut) const {
    if (!shortCut) return nullptr;
    return FindShortCutIn(FItems.get(), shortCut);
}

bool TMenu::IsShortCut(uint32_t msg, uint16_t key, intptr_t keyData) {
    if (msg != WM_KEYDOWN && msg != WM_SYSKEYDOWN) return false;
    TShiftState shift = KeyboardStateToShiftState();
    if (keyData & AltKeyData) shift += ssAlt;
    TShortCut sc = ShortCut(key, shift);
    TMenuItem* item = FindShortCut(sc);
    // Disabled or hidden items (or items under disabled or hidden parents) do not run.
    if (!item || !ItemUsable(item)) return false;
    // The parents see the click first (they may update the item); look the item up again after.
    std::vector<TMenuItem*> chain;
    for (TMenuItem* p = item->GetParent(); p && p->GetParent(); p = p->GetParent()) chain.push_back(p);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) (*it)->Click();
    item = FindShortCut(sc);
    if (!item || !ItemUsable(item)) return true;
    item->Click();
    return true;
}

void TMenu::MenuChanged(TObject* sender, TMenuItem* source, bool rebuild) {
    (void)source;
    (void)rebuild;
    ++FChangeCount;
    OnChange(sender);
}

// ---- menu windows and tracking -------------------------------------------------------------------------

namespace {

constexpr int FrameWidth = 3;   // raised edge and a pixel of margin
constexpr int CheckColumn = 16; // check marks and radio bullets
constexpr int ArrowColumn = 16; // sub-menu arrows
constexpr int SeparatorHeight = 8;

// The state of the popup menu being tracked (one at a time, GUI thread).
struct TTracker {
    TPopupMenu* Menu = nullptr;
    std::vector<std::unique_ptr<TMenuWindow>> Windows;
    TMenuItem* Chosen = nullptr;
    bool Done = false;
    HHOOK Hook = nullptr;
    // A drop-down of a form's menu bar: Left and Right, or the mouse over another bar item, move on.
    TCustomForm* BarForm = nullptr;
    TMenuItem* BarItem = nullptr;
    int Switch = 0;
    TMenuItem* SwitchTo = nullptr;
};
TTracker* GTracker = nullptr;
HHOOK GMenuHook = nullptr;

bool Selectable(TMenuItem* item) {
    return item && !item->IsLine();
}

bool HasSubItems(TMenuItem* item) {
    if (!item) return false;
    for (int i = 0; i < item->Count(); ++i)
        if (item->Items(i)->GetVisible()) return true;
    return false;
}

void CloseFrom(size_t level) {
    TTracker& t = *GTracker;
    while (t.Windows.size() > level) {
        t.Windows.back()->Hide();
        t.Windows.pop_back();
    }
    if (!t.Windows.empty() && GetCapture() == nullptr) SetCapture(t.Windows.front()->Handle());
}

void OpenSubMenu(size_t level, bool selectFirst) {
    TTracker& t = *GTracker;
    TMenuWindow* w = t.Windows[level].get();
    int sel = w->GetSelected();
    if (sel < 0) return;
    TMenuItem* item = w->Rows()[static_cast<size_t>(sel)];
    if (!HasSubItems(item) || !item->GetEnabled()) return;
    if (t.Windows.size() > level + 1 && t.Windows[level + 1]->MenuItems() == item) {
        if (selectFirst && t.Windows[level + 1]->GetSelected() < 0) {
            auto& rows = t.Windows[level + 1]->Rows();
            for (size_t i = 0; i < rows.size(); ++i)
                if (Selectable(rows[i])) {
                    t.Windows[level + 1]->SetSelected(static_cast<int>(i));
                    break;
                }
        }
        return;
    }
    CloseFrom(level + 1);
    item->Click(); // a parent item hears of its sub-menu opening (it may update the items)
    if (!GTracker || t.Done) return;
    auto sub = std::make_unique<TMenuWindow>(nullptr, item);
    sub->SetFont(Screen->GetMenuFont());
    sub->Layout();
    TRect r = w->ItemRect(item);
    TPoint p = w->ClientToScreen({r.Right, r.Top - FrameWidth});
    sub->ShowAt(p, paLeft);
    // Off the right edge of the screen: open to the left of the parent instead.
    if (sub->GetLeft() < p.X) {
        TPoint lp = w->ClientToScreen({r.Left, r.Top - FrameWidth});
        sub->SetBounds(std::max(0, lp.X - sub->GetWidth()), sub->GetTop(), sub->GetWidth(), sub->GetHeight());
    }
    if (selectFirst) {
        auto& rows = sub->Rows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (Selectable(rows[i])) {
                sub->SetSelected(static_cast<int>(i));
                break;
            }
    }
    t.Windows.push_back(std::move(sub));
}

void Choose(TMenuItem* item) {
    TTracker& t = *GTracker;
    if (!item || !item->GetEnabled() || item->IsLine()) return;
    t.Chosen = item;
    t.Done = true;
}

void Cancel() {
    if (GTracker) GTracker->Done = true;
}

// The innermost open window containing a screen point, and its level.
int WindowAt(TPoint screen) {
    TTracker& t = *GTracker;
    for (size_t i = t.Windows.size(); i-- > 0;)
        if (t.Windows[i]->BoundsRect().Contains(screen)) return static_cast<int>(i);
    return -1;
}

void MoveSelection(TMenuWindow* w, int delta) {
    auto& rows = w->Rows();
    int n = static_cast<int>(rows.size());
    if (n == 0) return;
    int cur = w->GetSelected();
    for (int step = 0; step < n; ++step) {
        cur = cur < 0 ? (delta > 0 ? 0 : n - 1) : (cur + delta + n) % n;
        if (Selectable(rows[static_cast<size_t>(cur)])) {
            w->SetSelected(cur);
            return;
        }
    }
}

void HandleKey(uint16_t key) {
    TTracker& t = *GTracker;
    size_t level = t.Windows.size() - 1;
    TMenuWindow* w = t.Windows[level].get();
    int sel = w->GetSelected();
    TMenuItem* item = sel >= 0 ? w->Rows()[static_cast<size_t>(sel)] : nullptr;
    switch (key) {
    case VK_DOWN: MoveSelection(w, 1); return;
    case VK_UP: MoveSelection(w, -1); return;
    case VK_HOME:
        w->SetSelected(-1);
        MoveSelection(w, 1);
        return;
    case VK_END:
        w->SetSelected(-1);
        MoveSelection(w, -1);
        return;
    case VK_RIGHT:
        if (HasSubItems(item))
            OpenSubMenu(level, true);
        else if (t.BarForm) {
            t.Switch = 1;
            t.Done = true;
        }
        return;
    case VK_LEFT:
        if (level > 0)
            CloseFrom(level);
        else if (t.BarForm) {
            t.Switch = -1;
            t.Done = true;
        }
        return;
    case VK_ESCAPE:
        if (level > 0)
            CloseFrom(level);
        else
            Cancel();
        return;
    case VK_RETURN:
    case VK_SPACE:
        if (HasSubItems(item))
            OpenSubMenu(level, true);
        else
            Choose(item);
        return;
    case VK_MENU:
    case VK_F10: Cancel(); return;
    default: break;
    }
    if (!((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))) return;
    // Accelerators: a single match runs (or opens); several matches cycle the selection.
    auto& rows = w->Rows();
    std::vector<int> matches;
    for (size_t i = 0; i < rows.size(); ++i)
        if (!rows[i]->IsLine() && IsAccel(key, rows[i]->GetCaption())) matches.push_back(static_cast<int>(i));
    if (matches.empty()) {
        MessageBeep(MB_OK);
        return;
    }
    if (matches.size() == 1) {
        w->SetSelected(matches[0]);
        TMenuItem* m = rows[static_cast<size_t>(matches[0])];
        if (HasSubItems(m))
            OpenSubMenu(level, true);
        else
            Choose(m);
        return;
    }
    auto next = std::upper_bound(matches.begin(), matches.end(), sel);
    w->SetSelected(next == matches.end() ? matches.front() : *next);
}

void HandleMouse(UINT msg, TPoint screen) {
    TTracker& t = *GTracker;
    int level = WindowAt(screen);
    if (level < 0 && t.BarForm) {
        // Over the form's bar: another item opens instead, the open one closes on a press.
        if (TMenuItem* bi = MenuBarItemAt(t.BarForm, screen)) {
            bool press = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN;
            if (bi != t.BarItem && (press || msg == WM_MOUSEMOVE)) {
                t.SwitchTo = bi;
                t.Done = true;
            } else if (press) {
                Cancel();
            }
            return;
        }
    }
    if (level < 0) {
        // A press outside every menu window dismisses the menu (and is not passed on).
        if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) Cancel();
        if (msg == WM_MOUSEMOVE) {
            TMenuWindow* inner = t.Windows.back().get();
            if (inner->GetSelected() >= 0 && t.Windows.size() == 1) inner->SetSelected(-1);
        }
        return;
    }
    TMenuWindow* w = t.Windows[static_cast<size_t>(level)].get();
    TMenuItem* item = w->ItemAt(w->ScreenToClient(screen));
    switch (msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
        int row = -1;
        if (item && Selectable(item)) {
            auto& rows = w->Rows();
            row = static_cast<int>(std::find(rows.begin(), rows.end(), item) - rows.begin());
        }
        if (row >= 0 || t.Windows.size() == static_cast<size_t>(level) + 1) w->SetSelected(row);
        if (row >= 0 && HasSubItems(item))
            OpenSubMenu(static_cast<size_t>(level), false);
        else if (row >= 0)
            CloseFrom(static_cast<size_t>(level) + 1);
        return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        if (msg == WM_RBUTTONUP && (!t.Menu || t.Menu->GetTrackButton() != tbRightButton)) return;
        if (item && Selectable(item) && !HasSubItems(item)) Choose(item);
        return;
    default: return;
    }
}

// Sees every message taken from the queue while a menu is tracked: input goes to the menu.
LRESULT MenuMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* m = reinterpret_cast<MSG*>(lParam);
    if (code != HC_ACTION || wParam != PM_REMOVE || !m || !GTracker || GTracker->Done)
        return CallNextHookEx(GMenuHook, code, wParam, lParam);
    switch (m->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        HandleKey(static_cast<uint16_t>(m->wParam));
        m->message = WM_NULL;
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR: m->message = WM_NULL; break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP: {
        UINT msg = m->message;
        if (msg == WM_LBUTTONDBLCLK || msg == WM_NCLBUTTONDOWN) msg = WM_LBUTTONDOWN;
        if (msg == WM_RBUTTONDBLCLK) msg = WM_RBUTTONDOWN;
        if (msg == WM_NCMOUSEMOVE) msg = WM_MOUSEMOVE;
        if (msg == WM_NCLBUTTONUP) msg = WM_LBUTTONUP;
        HandleMouse(msg, m->pt);
        m->message = WM_NULL;
        break;
    }
    case WM_MOUSEWHEEL: m->message = WM_NULL; break;
    default: break;
    }
    return 0;
}

} // namespace

QEL_IMPLEMENT_CLASS(TMenuWindow)

TMenuWindow::TMenuWindow(TComponent* owner, TMenuItem* items) : TCustomControl(owner), FItems(items) {
    FColor = clMenu;
    FParentColor = false;
    FParentFont = false;
    FVisible = false;
    FControlStyle.Include(csOpaque);
}

void TMenuWindow::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style = WS_POPUP | WS_CLIPSIBLINGS;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    params.WndParent = nullptr;
}

void TMenuWindow::Layout() {
    FRows.clear();
    FRects.clear();
    for (int i = 0; i < FItems->Count(); ++i)
        if (FItems->Items(i)->GetVisible()) FRows.push_back(FItems->Items(i));
    // Measure with the window's font (bold for the default item).
    HDC dc = GetDC(nullptr);
    FTextWidth = 0;
    FShortCutWidth = 0;
    int textHeight = 13;
    {
        TCanvas c;
        c.SetHandle(dc);
        c.GetFont()->Assign(FFont.get());
        textHeight = c.TextHeight("Wg");
        for (TMenuItem* it : FRows) {
            if (it->IsLine()) continue;
            c.GetFont()->SetStyle(it->GetDefault() ? TFontStyles{fsBold} : TFontStyles{});
            FTextWidth = std::max(FTextWidth, c.TextWidth(StripHotkey(it->GetCaption())));
            if (it->GetShortCut())
                FShortCutWidth = std::max(FShortCutWidth, c.TextWidth(ShortCutToText(it->GetShortCut())));
        }
        c.SetHandle(nullptr);
    }
    ReleaseDC(nullptr, dc);
    int rowHeight = std::max(17, textHeight + 4);
    int width = FrameWidth + CheckColumn + FTextWidth + (FShortCutWidth ? 16 + FShortCutWidth : 0) +
                ArrowColumn + FrameWidth;
    int y = FrameWidth;
    for (TMenuItem* it : FRows) {
        int h = it->IsLine() ? SeparatorHeight : rowHeight;
        FRects.push_back({FrameWidth, y, width - FrameWidth, y + h});
        y += h;
    }
    if (FRows.empty()) y += rowHeight / 2;
    SetBounds(FLeft, FTop, std::max(width, 40), y + FrameWidth);
}

TRect TMenuWindow::ItemRect(const TMenuItem* item) const {
    for (size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i] == item) return FRects[i];
    return {};
}

TMenuItem* TMenuWindow::ItemAt(TPoint client) const {
    for (size_t i = 0; i < FRows.size(); ++i)
        if (FRects[i].Contains(client)) return FRows[i];
    return nullptr;
}

void TMenuWindow::SetSelected(int row) {
    if (row >= static_cast<int>(FRows.size())) row = -1;
    if (row == FSelected) return;
    if (FHandle && FSelected >= 0) InvalidateRect(FHandle, &FRects[static_cast<size_t>(FSelected)], true);
    FSelected = row;
    if (FHandle && FSelected >= 0) InvalidateRect(FHandle, &FRects[static_cast<size_t>(FSelected)], true);
    if (row >= 0 && Application) Application->SetHint(FRows[static_cast<size_t>(row)]->GetHint());
}

void TMenuWindow::ShowAt(TPoint p, TPopupAlignment alignment) {
    int x = p.X, y = p.Y;
    if (alignment == paRight) x -= FWidth;
    if (alignment == paCenter) x -= FWidth / 2;
    int sw = Screen->Width(), sh = Screen->Height();
    if (x + FWidth > sw) x = sw - FWidth;
    if (y + FHeight > sh) y = std::max(0, p.Y - FHeight); // opens upwards near the bottom edge
    x = std::max(0, x);
    y = std::max(0, y);
    SetBounds(x, y, FWidth, FHeight);
    HandleNeeded();
    SetWindowPos(FHandle, HWND_TOPMOST, x, y, FWidth, FHeight, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    FVisible = true;
    Invalidate();
}

void TMenuWindow::Paint() {
    TCanvas* c = Canvas();
    HDC dc = c->GetHandle();
    TRect r = GetClientRect();
    c->GetBrush()->SetColor(clMenu);
    c->FillRect(r);
    TRect edge = r;
    DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
    c->GetFont()->Assign(FFont.get());
    for (size_t i = 0; i < FRows.size(); ++i) {
        TMenuItem* it = FRows[i];
        TRect row = FRects[i];
        if (it->IsLine()) {
            int ym = row.Top + row.Height() / 2 - 1;
            c->GetPen()->SetColor(clBtnShadow);
            c->MoveTo(row.Left + 1, ym);
            c->LineTo(row.Right - 1, ym);
            c->GetPen()->SetColor(clBtnHighlight);
            c->MoveTo(row.Left + 1, ym + 1);
            c->LineTo(row.Right - 1, ym + 1);
            continue;
        }
        bool selected = static_cast<int>(i) == FSelected;
        bool enabled = it->GetEnabled();
        if (selected) {
            c->GetBrush()->SetColor(clHighlight);
            c->FillRect(row);
        }
        TColor text = selected ? clHighlightText : clMenuText;
        c->GetFont()->SetStyle(it->GetDefault() ? TFontStyles{fsBold} : TFontStyles{});
        c->GetBrush()->SetStyle(bsClear);
        TRect tr{row.Left + CheckColumn, row.Top, row.Right - ArrowColumn, row.Bottom};
        TRect sr{row.Right - ArrowColumn - FShortCutWidth, row.Top, row.Right - ArrowColumn, row.Bottom};
        std::string sc = ShortCutToText(it->GetShortCut());
        c->RequiredState(TCanvasState{csHandleValid, csFontValid});
        SetBkMode(dc, TRANSPARENT);
        auto drawTexts = [&](int dx, TColor colour) {
            SetTextColor(dc, ColorToColorRef(colour));
            TRect t = OffsetRect(tr, dx, dx);
            DrawText(dc, it->GetCaption(), &t, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
            if (!sc.empty()) {
                TRect s = OffsetRect(sr, dx, dx);
                DrawText(dc, sc, &s, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            }
        };
        if (enabled) {
            drawTexts(0, text);
        } else if (selected) {
            drawTexts(0, clBtnShadow);
        } else {
            // Engraved: a highlight copy one pixel down-right under the shadow-coloured text.
            drawTexts(1, clBtnHighlight);
            drawTexts(0, clBtnShadow);
        }
        c->GetBrush()->SetStyle(bsSolid);
        TColor mark = enabled ? text : clBtnShadow;
        if (it->GetChecked()) {
            int cx = row.Left + 4, cy = row.Top + row.Height() / 2;
            c->GetPen()->SetColor(mark);
            if (it->GetRadioItem()) {
                c->GetBrush()->SetColor(mark);
                c->Ellipse(cx + 1, cy - 3, cx + 7, cy + 3);
            } else {
                // A check mark three pixels thick.
                for (int k = 0; k < 3; ++k) {
                    c->MoveTo(cx, cy - 1 + k);
                    c->LineTo(cx + 2, cy + 1 + k);
                    c->LineTo(cx + 7, cy - 4 + k);
                }
            }
        }
        if (HasSubItems(it)) {
            int ax = row.Right - ArrowColumn / 2 - 2, ay = row.Top + row.Height() / 2;
            c->GetPen()->SetColor(mark);
            for (int k = 0; k < 4; ++k) {
                c->MoveTo(ax + k, ay - 3 + k);
                c->LineTo(ax + k, ay + 4 - k);
            }
        }
    }
}

std::vector<TMenuWindow*> OpenMenuWindows() {
    std::vector<TMenuWindow*> r;
    if (GTracker)
        for (auto& w : GTracker->Windows) r.push_back(w.get());
    return r;
}

TPopupMenu* TrackedPopupMenu() {
    return GTracker ? GTracker->Menu : nullptr;
}

// ---- TPopupMenu ---------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TPopupMenu, [](auto& c) {
    c.Property("Alignment", &TPopupMenu::GetAlignment, &TPopupMenu::SetAlignment).Default(paLeft);
    c.Property("AutoPopup", &TPopupMenu::GetAutoPopup, &TPopupMenu::SetAutoPopup).Default(true);
    c.Property("TrackButton", &TPopupMenu::GetTrackButton, &TPopupMenu::SetTrackButton)
        .Default(tbRightButton);
    c.Event("OnPopup", &TPopupMenu::GetOnPopup, &TPopupMenu::SetOnPopup);
})

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

TPopupMenu::~TPopupMenu() {
    if (GTracker && GTracker->Menu == this) {
        GTracker->Menu = nullptr;
        GTracker->Done = true;
    }
}

void TPopupMenu::SetPopupComponent(TComponent* c) {
    if (c == FPopupComponent) return;
    if (FPopupComponent) RemoveFreeNotification(FPopupComponent);
    FPopupComponent = c;
    if (c) FreeNotification(c);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
    TMenu::Notification(component, operation);
    if (operation == opRemove && component == FPopupComponent) FPopupComponent = nullptr;
}

void TPopupMenu::DoPopup(TObject* sender) {
    FOnPopup(sender);
}

void TPopupMenu::CloseMenu() {
    if (GTracker && GTracker->Menu == this) GTracker->Done = true;
}

namespace {

// Shows `items` at a screen point and tracks the menu until it closes; returns the chosen item (the
// caller runs it once everything is closed).
TMenuItem* RunTracker(TTracker& tracker, TMenuItem* items, TPoint at, TPopupAlignment alignment,
                      bool selectFirst) {
    EnsureApplication();
    if (HWND cap = GetCapture()) {
        SendMessage(cap, WM_CANCELMODE, 0, 0);
        ReleaseCapture();
    }
    GTracker = &tracker;
    HWND captureWindow = nullptr;
    auto finish = [&] {
        if (tracker.Hook) UnhookWindowsHookEx(tracker.Hook);
        tracker.Hook = nullptr;
        GMenuHook = nullptr;
        if (GetCapture() && GetCapture() == captureWindow) ReleaseCapture();
        tracker.Windows.clear();
        GTracker = nullptr;
    };
    try {
        auto w = std::make_unique<TMenuWindow>(nullptr, items);
        w->SetFont(Screen->GetMenuFont());
        w->Layout();
        w->ShowAt(at, alignment);
        captureWindow = w->Handle();
        tracker.Windows.push_back(std::move(w));
        if (selectFirst) MoveSelection(tracker.Windows.front().get(), 1);
        SetCapture(captureWindow);
        tracker.Hook = SetWindowsHookEx(WH_GETMESSAGE, THookMethod(&MenuMessageHook));
        GMenuHook = tracker.Hook;
        Application->EnterModal();
        try {
            if (Application->GetOnModalBegin()) {
                Application->ProcessMessages();
                if (!tracker.Done) Application->GetOnModalBegin()(tracker.Windows.front().get());
            }
            while (!tracker.Done) {
                if (Application->Terminated()) break;
                if (!Application->ProcessMessage()) {
                    if (!Application->InputCanArrive()) {
                        // Nothing can ever answer this menu (scripted runs): dismiss it instead of hanging.
                        Application->NoteAbandonedModal();
                        break;
                    }
                    Application->HandleMessage();
                }
                // Someone else took the mouse: the menu closes.
                if (GetCapture() != captureWindow && !tracker.Done) break;
            }
        } catch (...) {
            Application->LeaveModal();
            throw;
        }
        Application->LeaveModal();
    } catch (...) {
        finish();
        throw;
    }
    finish();
    Application->SetHint("");
    return tracker.Done ? tracker.Chosen : nullptr;
}

void RunChosen(TMenuItem* chosen) {
    if (!chosen) return;
    try {
        chosen->Click();
    } catch (...) {
        Application->HandleException(chosen);
    }
}

TMenuItem* GBarOpen = nullptr;

} // namespace

void TPopupMenu::Popup(int x, int y) {
    if (GTracker) return; // one menu at a time
    DoPopup(this);
    if (!HasSubItems(FItems.get())) return;
    TTracker tracker;
    tracker.Menu = this;
    FTracking = true;
    TMenuItem* chosen = nullptr;
    try {
        chosen = RunTracker(tracker, FItems.get(), {x, y}, FAlignment, false);
    } catch (...) {
        FTracking = false;
        throw;
    }
    FTracking = false;
    // The chosen item runs once the menu is gone (it may show forms, or free the menu).
    if (tracker.Menu) RunChosen(chosen);
}

// ---- main menus and form menu bars ---------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TMainMenu)

void TMainMenu::MenuChanged(TObject* sender, TMenuItem* source, bool rebuild) {
    TMenu::MenuChanged(sender, source, rebuild);
    if (!Screen) return;
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (Screen->Forms(i)->GetMenu() == this) Screen->Forms(i)->MenuBarChanged();
}

namespace {

constexpr int BarItemPadding = 7;

std::vector<TMenuItem*> BarItems(const TMainMenu* menu) {
    std::vector<TMenuItem*> r;
    if (!menu) return r;
    TMenuItem* items = menu->GetItems();
    for (int i = 0; i < items->Count(); ++i)
        if (items->Items(i)->GetVisible() && !items->Items(i)->IsLine()) r.push_back(items->Items(i));
    return r;
}

// Item rectangles relative to the bar's top-left corner.
std::vector<TRect> BarLayout(const std::vector<TMenuItem*>& items, int height) {
    std::vector<TRect> r;
    HDC dc = GetDC(nullptr);
    TCanvas c;
    c.SetHandle(dc);
    c.GetFont()->Assign(Screen->GetMenuFont());
    int x = 2;
    for (TMenuItem* it : items) {
        int w = c.TextWidth(StripHotkey(it->GetCaption())) + 2 * BarItemPadding;
        r.push_back({x, 1, x + w, height - 1});
        x += w;
    }
    c.SetHandle(nullptr);
    ReleaseDC(nullptr, dc);
    return r;
}

} // namespace

int MenuBarHeight(const TMainMenu* menu) {
    if (BarItems(menu).empty()) return 0;
    HDC dc = GetDC(nullptr);
    TCanvas c;
    c.SetHandle(dc);
    c.GetFont()->Assign(Screen->GetMenuFont());
    int h = std::max(19, c.TextHeight("Wg") + 6);
    c.SetHandle(nullptr);
    ReleaseDC(nullptr, dc);
    return h;
}

TRect MenuBarRect(TCustomForm* form) {
    if (!form || !form->GetMenu() || !form->HandleAllocated()) return {};
    int h = MenuBarHeight(form->GetMenu());
    if (!h) return {};
    TPoint o = form->ClientToScreen({0, 0});
    return {o.X, o.Y - h, o.X + form->GetClientWidth(), o.Y};
}

TRect MenuBarItemRect(TCustomForm* form, const TMenuItem* item) {
    TRect bar = MenuBarRect(form);
    if (bar.IsEmpty()) return {};
    auto items = BarItems(form->GetMenu());
    auto rects = BarLayout(items, bar.Height());
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == item) return OffsetRect(rects[i], bar.Left, bar.Top);
    return {};
}

TMenuItem* MenuBarItemAt(TCustomForm* form, TPoint screen) {
    TRect bar = MenuBarRect(form);
    if (!bar.Contains(screen)) return nullptr;
    auto items = BarItems(form->GetMenu());
    auto rects = BarLayout(items, bar.Height());
    for (size_t i = 0; i < items.size(); ++i)
        if (OffsetRect(rects[i], bar.Left, bar.Top).Contains(screen)) return items[i];
    return nullptr;
}

TMenuItem* OpenMenuBarItem() {
    return GBarOpen;
}

void PaintMenuBar(TCustomForm* form, HDC dc) {
    TRect bar = MenuBarRect(form);
    if (bar.IsEmpty()) return;
    TRect wr;
    GetWindowRect(form->Handle(), &wr);
    TRect local = OffsetRect(bar, -wr.Left, -wr.Top);
    TCanvas c;
    c.SetHandle(dc);
    c.GetBrush()->SetColor(clMenu);
    c.FillRect(local);
    c.GetFont()->Assign(Screen->GetMenuFont());
    c.RequiredState(TCanvasState{csHandleValid, csFontValid});
    SetBkMode(dc, TRANSPARENT);
    auto items = BarItems(form->GetMenu());
    auto rects = BarLayout(items, local.Height());
    for (size_t i = 0; i < items.size(); ++i) {
        TRect r = OffsetRect(rects[i], local.Left, local.Top);
        if (r.Left >= local.Right) break;
        bool open = items[i] == GBarOpen;
        if (open) {
            // The open item looks pressed.
            TRect e = r;
            DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT);
        }
        TRect t = open ? OffsetRect(r, 1, 1) : r;
        auto draw = [&](TRect tr, TColor colour) {
            SetTextColor(dc, ColorToColorRef(colour));
            DrawText(dc, items[i]->GetCaption(), &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        };
        if (items[i]->GetEnabled()) {
            draw(t, clMenuText);
        } else {
            draw(OffsetRect(t, 1, 1), clBtnHighlight);
            draw(t, clBtnShadow);
        }
    }
    c.SetHandle(nullptr);
}

void TrackMenuBar(TCustomForm* form, TMenuItem* item, bool keyboard) {
    if (GTracker || !form || !item || !form->GetMenu()) return;
    TMenuItem* chosen = nullptr;
    bool alive = true;
    // Notice the form going away while its menu is open.
    auto redraw = [&] {
        if (alive && form->HandleAllocated())
            RedrawWindow(form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    };
    while (item) {
        if (!item->GetEnabled()) break;
        if (!HasSubItems(item)) {
            // A command on the bar itself.
            chosen = item;
            break;
        }
        item->Click(); // the item hears of its drop-down opening (it may update the items)
        GBarOpen = item;
        redraw();
        TTracker tracker;
        tracker.BarForm = form;
        tracker.BarItem = item;
        TRect r = MenuBarItemRect(form, item);
        TMenuItem* got = nullptr;
        try {
            got = RunTracker(tracker, item, {r.Left, r.Bottom}, paLeft, keyboard);
        } catch (...) {
            GBarOpen = nullptr;
            redraw();
            throw;
        }
        GBarOpen = nullptr;
        if (got) {
            chosen = got;
            break;
        }
        TMenuItem* next = nullptr;
        if (tracker.SwitchTo) {
            next = tracker.SwitchTo;
        } else if (tracker.Switch) {
            auto items = BarItems(form->GetMenu());
            auto it = std::find(items.begin(), items.end(), item);
            if (it != items.end() && !items.empty()) {
                int n = static_cast<int>(items.size());
                int idx = static_cast<int>(it - items.begin());
                next = items[static_cast<size_t>((idx + tracker.Switch + n) % n)];
            }
            keyboard = true;
        }
        item = next;
    }
    GBarOpen = nullptr;
    redraw();
    RunChosen(chosen);
}

// ---- controls' pop-up menus -----------------------------------------------------------------------------

namespace {
TPopupMenuHandler GPopupHandler = nullptr;
}

void SetPopupMenuHandler(TPopupMenuHandler handler) {
    GPopupHandler = handler;
}

void PopupMenuAt(TPopupMenu* menu, TControl* control, TPoint screenPos) {
    if (!menu || !menu->GetAutoPopup()) return;
    menu->SetPopupComponent(control);
    if (GPopupHandler)
        GPopupHandler(menu, control, screenPos);
    else
        menu->Popup(screenPos.X, screenPos.Y);
}

bool IsPopupMenuKey(TControl* control, uint32_t msg, uint16_t key, intptr_t keyData) {
    for (TControl* c = control; c; c = c->GetParent()) {
        TPopupMenu* m = c->GetPopupMenu();
        if (!m || !m->FindShortCut(
                      ShortCut(key, KeyboardStateToShiftState() +
                                        ((keyData & AltKeyData) ? TShiftState{ssAlt} : TShiftState{}))))
            continue;
        m->SetPopupComponent(control);
        // The menu's items get their states as if it popped up, so disabled items stay disabled.
        m->GetOnPopup()(m);
        if (m->IsShortCut(msg, key, keyData)) return true;
    }
    return false;
}

bool IsMenuKey(TControl* control, uint32_t msg, uint16_t key, intptr_t keyData) {
    if (IsPopupMenuKey(control, msg, key, keyData)) return true;
    for (TControl* c = control; c; c = c->GetParent())
        if (auto* f = dynamic_cast<TCustomForm*>(c);
            f && f->GetMenu() && f->GetMenu()->IsShortCut(msg, key, keyData))
            return true;
    return false;
}

} // namespace qel
