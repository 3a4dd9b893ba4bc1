#pragma once
// Menus: the item tree (TMenuItem), menus that own one (TMenu, TMainMenu, TPopupMenu), shortcuts, and
// the pop-up menu windows with their tracking loop.
//
//   auto* menu = new TPopupMenu(form);
//   auto* cut = new TMenuItem(form);
//   cut->SetCaption("Cu&t");
//   cut->SetShortCut(ShortCut('X', {ssCtrl}));
//   cut->SetOnClick(TNotifyEvent(form, &TMyForm::CutClick));
//   menu->GetItems()->Add(cut);
//   edit->SetPopupMenu(menu);                  // right click or the context-menu key shows it
//   menu->Popup(x, y);                          // or at a screen point, returning once it closed
//
// Form files hold items as children of their menu:
//   object PopupMenu1: TPopupMenu
//     object Cut1: TMenuItem
//       Caption = 'Cu&t'
//       ShortCut = 16472
//     end
//   end
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/controls.h"

namespace qel {

class TMenu;
class TCustomForm;

QEL_ENUM(TMenuBreak, mbNone, mbBreak, mbBarBreak)
QEL_ENUM(TPopupAlignment, paLeft, paRight, paCenter)
QEL_ENUM(TTrackButton, tbRightButton, tbLeftButton)

// A key with its modifiers: the virtual key plus scShift, scCtrl and scAlt.
using TShortCut = uint16_t;
enum : uint16_t { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0 };
TShortCut ShortCut(uint16_t key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, uint16_t& key, TShiftState& shift);
// "Ctrl+X", "Shift+Del", "F3"; empty for none.
std::string ShortCutToText(TShortCut shortCut);
// The reverse of ShortCutToText; 0 when the text names no key.
TShortCut TextToShortCut(const std::string& text);
// The caption without its '&' markers ("&&" stays a literal '&').
std::string StripHotkey(const std::string& caption);
// The accelerator letter of a caption (upper case), or 0.
char GetHotkey(const std::string& caption);
// Whether `key` is the accelerator of `caption` (case-insensitive).
bool IsAccel(uint32_t key, const std::string& caption);

class TMenuItem : public TComponent {
    QEL_CLASS(TMenuItem, TComponent)
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;

    // ---- the item tree ----
    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int index) const;
    TMenuItem* GetParent() const { return FParent; }
    // The menu the tree belongs to, or nullptr.
    TMenu* GetParentMenu() const;
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    // Removes and frees the item at `index`.
    void Delete(int index);
    // Removes the item from this item's list without freeing it.
    void Remove(TMenuItem* item);
    // Frees every sub-item.
    void Clear();
    int IndexOf(const TMenuItem* item) const;
    int GetMenuIndex() const;
    void SetMenuIndex(int v);
    // The first sub-item whose caption without '&' equals `caption` (case-insensitive).
    TMenuItem* Find(const std::string& caption) const;
    // Whether the item is a separator line (caption "-").
    bool IsLine() const { return FCaption == "-"; }

    // ---- properties ----
    const std::string& GetCaption() const { return FCaption; }
    void SetCaption(const std::string& v);
    bool GetChecked() const { return FChecked; }
    void SetChecked(bool v);
    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool v);
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool v);
    bool GetDefault() const { return FDefault; }
    void SetDefault(bool v);
    bool GetRadioItem() const { return FRadioItem; }
    void SetRadioItem(bool v);
    int GetGroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int v);
    TShortCut GetShortCut() const { return FShortCut; }
    void SetShortCut(TShortCut v);
    int GetShortCutValue() const { return FShortCut; }
    void SetShortCutValue(int v) { SetShortCut(static_cast<TShortCut>(v)); }
    TMenuBreak GetBreak() const { return FBreak; }
    void SetBreak(TMenuBreak v);
    const std::string& GetHint() const { return FHint; }
    void SetHint(const std::string& v) { FHint = v; }
    int GetHelpContext() const { return FHelpContext; }
    void SetHelpContext(int v) { FHelpContext = v; }
    int GetImageIndex() const { return FImageIndex; }
    void SetImageIndex(int v);
    bool GetAutoCheck() const { return FAutoCheck; }
    void SetAutoCheck(bool v) { FAutoCheck = v; }
    TNotifyEvent GetOnClick() const { return FOnClick; }
    void SetOnClick(TNotifyEvent e) { FOnClick = e; }

    // Runs the item: AutoCheck toggles, then OnClick. Disabled items do nothing.
    virtual void Click();

    // ---- streaming ----
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* value) override;
    void GetChildren(const TGetChildProc& proc, TComponent* root) override;
    void ReadState(TReader* reader) override;

protected:
    // Tells the menu that the tree or an item's look changed.
    void MenuChanged(bool rebuild);

private:
    friend class TMenu;
    void TurnSiblingsOff();
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParent = nullptr;
    TMenu* FMenu = nullptr; // set on a menu's root item
    std::string FCaption;
    bool FChecked = false;
    bool FEnabled = true;
    bool FVisible = true;
    bool FDefault = false;
    bool FRadioItem = false;
    bool FAutoCheck = false;
    int FGroupIndex = 0;
    TShortCut FShortCut = 0;
    TMenuBreak FBreak = mbNone;
    std::string FHint;
    int FHelpContext = 0;
    int FImageIndex = -1;
    TNotifyEvent FOnClick;
};

class TMenu : public TComponent {
    QEL_CLASS(TMenu, TComponent)
    explicit TMenu(TComponent* owner);
    ~TMenu() override;
    // The root item; its sub-items are the menu's items.
    TMenuItem* GetItems() const { return FItems.get(); }
    // The item with this shortcut, searching the whole tree; invisible and disabled items included.
    TMenuItem* FindShortCut(TShortCut shortCut) const;
    // Runs the enabled, visible item whose shortcut matches a key message (WM_KEYDOWN/WM_SYSKEYDOWN);
    // true when one ran.
    virtual bool IsShortCut(uint32_t msg, uint16_t key, intptr_t keyData);
    // Called on every change of the item tree or of an item's look.
    virtual void MenuChanged(TObject* sender, TMenuItem* source, bool rebuild);
    void GetChildren(const TGetChildProc& proc, TComponent* root) override;
    void DefineProperties(TFiler* filer) override;
    // The position a form designer gave the menu (form files store it as Left and Top).
    int DesignLeft() const { return FDesignLeft; }
    int DesignTop() const { return FDesignTop; }
    // How many times the menu was told of changes (tests, menu bars that rebuild lazily).
    int ChangeCount() const { return FChangeCount; }
    TNotifyEvent OnChange;

protected:
    std::unique_ptr<TMenuItem> FItems;
    int FChangeCount = 0;
    int FDesignLeft = 0, FDesignTop = 0;
};

// The menu bar of a form (the form's Menu): drawn above the client area, opened by a click or by
// Alt with an item's accelerator, its shortcuts run while any control of the form has the focus.
class TMainMenu : public TMenu {
    QEL_CLASS(TMainMenu, TMenu)
    explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
    // Forms showing the menu redraw (or resize) their bar.
    void MenuChanged(TObject* sender, TMenuItem* source, bool rebuild) override;
};

// A pop-up menu: the control's PopupMenu slot, shown by a right click or the context-menu key.
class TPopupMenu : public TMenu {
    QEL_CLASS(TPopupMenu, TMenu)
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;
    // Shows the menu with its top-left corner (or, per Alignment, top-right or top-centre) at a screen
    // point and tracks it until an item is chosen or the menu is dismissed; the chosen item's
    // OnClick runs after the menu closed. OnPopup runs first.
    virtual void Popup(int x, int y);
    TComponent* GetPopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(TComponent* c);
    bool GetAutoPopup() const { return FAutoPopup; }
    void SetAutoPopup(bool v) { FAutoPopup = v; }
    TPopupAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TPopupAlignment v) { FAlignment = v; }
    TTrackButton GetTrackButton() const { return FTrackButton; }
    void SetTrackButton(TTrackButton v) { FTrackButton = v; }
    TNotifyEvent GetOnPopup() const { return FOnPopup; }
    void SetOnPopup(TNotifyEvent e) { FOnPopup = e; }
    // Whether the menu is being shown now.
    bool Tracking() const { return FTracking; }
    // Closes the menu that is being tracked without choosing an item.
    void CloseMenu();

protected:
    virtual void DoPopup(TObject* sender);
    void Notification(TComponent* component, TOperation operation) override;
    TComponent* FPopupComponent = nullptr;
    bool FAutoPopup = true;
    TPopupAlignment FAlignment = paLeft;
    TTrackButton FTrackButton = tbRightButton;
    TNotifyEvent FOnPopup;
    bool FTracking = false;
};

// The window that shows one level of an open pop-up menu (tests read its geometry and state).
class TMenuWindow : public TCustomControl {
    QEL_CLASS(TMenuWindow, TCustomControl)
    TMenuWindow(TComponent* owner, TMenuItem* items);
    TMenuItem* MenuItems() const { return FItems; }
    // The visible items shown, in order.
    const std::vector<TMenuItem*>& Rows() const { return FRows; }
    // The row rectangle of a shown item in client coordinates (empty when not shown).
    TRect ItemRect(const TMenuItem* item) const;
    TMenuItem* ItemAt(TPoint client) const;
    int GetSelected() const { return FSelected; }
    void SetSelected(int row);
    // Places the window at a screen point (kept on the screen) and shows it without activation.
    void ShowAt(TPoint screenPos, TPopupAlignment alignment);
    // Measures the rows; sets the window size.
    void Layout();

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    bool TopLevelShowing() const override { return true; }

private:
    TMenuItem* FItems;
    std::vector<TMenuItem*> FRows;
    std::vector<TRect> FRects;
    int FSelected = -1;
    int FTextWidth = 0, FShortCutWidth = 0;
};

// The menu windows open now, outermost first (empty when no menu is tracked).
std::vector<TMenuWindow*> OpenMenuWindows();
// The popup menu being tracked now, or nullptr.
TPopupMenu* TrackedPopupMenu();

// Runs the popup menu shortcuts of `control` and its parents for a key message; true when an item ran.
bool IsPopupMenuKey(TControl* control, uint32_t msg, uint16_t key, intptr_t keyData);
// As IsPopupMenuKey, then the main menus of the forms around the control.
bool IsMenuKey(TControl* control, uint32_t msg, uint16_t key, intptr_t keyData);

// ---- menu bars of forms ----
// The height of the bar a main menu needs (0 without visible items).
int MenuBarHeight(const TMainMenu* menu);
// The bar of a shown form in screen coordinates (empty without a menu).
TRect MenuBarRect(TCustomForm* form);
// The rectangle of a top-level item on a form's bar (screen coordinates), and the item at a point.
TRect MenuBarItemRect(TCustomForm* form, const TMenuItem* item);
TMenuItem* MenuBarItemAt(TCustomForm* form, TPoint screen);
// The bar item whose drop-down is open now, or nullptr.
TMenuItem* OpenMenuBarItem();
// Draws a form's bar into its window DC (window coordinates).
void PaintMenuBar(TCustomForm* form, HDC windowDC);
// Opens a bar item (its drop-down, or runs an item without sub-items) and tracks until the menu
// closes; Left and Right move along the bar.
void TrackMenuBar(TCustomForm* form, TMenuItem* item, bool keyboard);

} // namespace qel
