// Menu items, shortcuts, pop-up menus shown and tracked with scripted mouse and keyboard input, and
// menus in form files.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/controls/menus.h"
#include "platform/core/filer.h"
#include "platform/core/resources.h"
#include "platform/windows/backend.h"
#include "tests/platform/controls/harness.h"

namespace qel {
namespace {

TMenuItem* NewItem(TComponent* owner, const std::string& caption, TShortCut sc = 0) {
    auto* i = new TMenuItem(owner);
    i->SetCaption(caption);
    i->SetShortCut(sc);
    return i;
}

TEST(MenuText, ShortCutsAndHotkeys) {
    struct Case {
        TShortCut sc;
        const char* text;
    };
    const Case cases[] = {
        {ShortCut('X', {ssCtrl}), "Ctrl+X"},
        {ShortCut(VK_DELETE, {ssShift}), "Shift+Del"},
        {ShortCut(VK_F3, {}), "F3"},
        {ShortCut(VK_F4, {ssAlt}), "Alt+F4"},
        {ShortCut('Z', {ssCtrl, ssShift}), "Shift+Ctrl+Z"},
        {ShortCut(VK_RETURN, {}), "Enter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ShortCutToText(c.sc), c.text);
        EXPECT_EQ(TextToShortCut(c.text), c.sc);
    }
    EXPECT_EQ(ShortCut('X', {ssCtrl}), 0x4000 + 'X');
    EXPECT_EQ(TextToShortCut("Ctrl+Nothing"), 0);
    EXPECT_EQ(ShortCutToText(0), "");
    struct Hot {
        const char* caption;
        const char* stripped;
        char hotkey;
    };
    const Hot hot[] = {{"&Open", "Open", 'O'},
                       {"Save &as...", "Save as...", 'A'},
                       {"Fish && &Chips", "Fish & Chips", 'C'},
                       {"No key", "No key", 0},
                       {"Trailing&", "Trailing", 0}};
    for (const Hot& h : hot) {
        SCOPED_TRACE(h.caption);
        EXPECT_EQ(StripHotkey(h.caption), h.stripped);
        EXPECT_EQ(GetHotkey(h.caption), h.hotkey);
    }
    EXPECT_TRUE(IsAccel('o', "&Open"));
    EXPECT_TRUE(IsAccel('O', "&Open"));
    EXPECT_FALSE(IsAccel('p', "&Open"));
    EXPECT_FALSE(IsAccel('c', "Fish &&Chips"));
}

TEST(MenuItems, TreeEditingRadioGroupsAndChangeNotices) {
    ControlsTestScope scope;
    TForm* form = scope.NewForm();
    auto* menu = new TPopupMenu(form);
    TMenuItem* root = menu->GetItems();
    auto* a = NewItem(form, "&Alpha");
    auto* b = NewItem(form, "&Beta");
    auto* c = NewItem(form, "&Gamma");
    root->Add(a);
    root->Add(c);
    root->Insert(1, b);
    EXPECT_EQ(root->Count(), 3);
    EXPECT_EQ(root->Items(1), b);
    EXPECT_EQ(b->GetMenuIndex(), 1);
    EXPECT_EQ(root->Find("beta"), b);
    EXPECT_EQ(b->GetParentMenu(), menu);
    EXPECT_THROW(root->Add(b), EInvalidOperation);
    EXPECT_THROW(root->Items(3), EListError);
    auto* sub = NewItem(form, "Sub");
    a->Add(sub);
    EXPECT_THROW(sub->Add(a), EInvalidOperation);
    // Radio items of a group: checking one clears the others.
    for (TMenuItem* i : {a, b, c}) {
        i->SetRadioItem(true);
        i->SetGroupIndex(1);
    }
    a->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->GetChecked());
    EXPECT_TRUE(b->GetChecked());
    // The menu hears of changes.
    int before = menu->ChangeCount();
    c->SetCaption("&Delta");
    c->SetEnabled(false);
    EXPECT_EQ(menu->ChangeCount(), before + 2);
    // Deleting frees the item and its sub-items.
    a->SetName("AlphaItem");
    sub->SetName("SubItem");
    root->Delete(0);
    EXPECT_EQ(root->Count(), 2);
    EXPECT_EQ(form->FindComponent("AlphaItem"), nullptr);
    EXPECT_EQ(form->FindComponent("SubItem"), nullptr);
    // Disabled items do not run; AutoCheck toggles.
    int clicks = 0;
    c->SetOnClick(TNotifyEvent([&](TObject*) { ++clicks; }));
    c->Click();
    EXPECT_EQ(clicks, 0);
    c->SetEnabled(true);
    c->SetRadioItem(false);
    c->SetAutoCheck(true);
    c->Click();
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(c->GetChecked());
}

struct PopupFixture : ControlsTest {
    TForm* Form = nullptr;
    TEdit* Edit = nullptr;
    TPopupMenu* Menu = nullptr;
    TMenuItem *Open = nullptr, *Save = nullptr, *Line = nullptr, *Recent = nullptr, *One = nullptr,
              *Two = nullptr, *Wrap = nullptr;
    std::vector<std::string> Clicks;
    int Popups = 0;
    void SetUp() override {
        ControlsTest::SetUp();
        Form = NewForm();
        Form->SetBounds(100, 100, 400, 300);
        Edit = Make<TEdit>(Form, "Edit", Bounds(10, 10, 150, 21));
        Menu = new TPopupMenu(Form);
        Menu->SetName("EditMenu");
        Menu->SetOnPopup(TNotifyEvent([this](TObject*) { ++Popups; }));
        Open = NewItem(Form, "&Open", ShortCut('O', {ssCtrl}));
        Save = NewItem(Form, "&Save", ShortCut('S', {ssCtrl}));
        Save->SetEnabled(false);
        Line = NewItem(Form, "-");
        Recent = NewItem(Form, "&Recent");
        One = NewItem(Form, "&One");
        Two = NewItem(Form, "&Two");
        Recent->Add(One);
        Recent->Add(Two);
        Wrap = NewItem(Form, "&Wrap lines");
        Wrap->SetChecked(true);
        for (TMenuItem* i : {Open, Save, Line, Recent, Wrap}) Menu->GetItems()->Add(i);
        for (TMenuItem* i : {Open, Save, One, Two, Wrap}) {
            std::string name = StripHotkey(i->GetCaption());
            i->SetOnClick(TNotifyEvent([this, name](TObject*) { Clicks.push_back(name); }));
        }
        Edit->SetPopupMenu(Menu);
        Form->Show();
        ProcessMessages();
    }
    // Pops the menu up at a screen point and runs `script` while it is open.
    void PopupWith(TPoint at, std::function<void(TMenuWindow*)> script) {
        Application->SetOnModalBegin(
            TNotifyEvent([script](TObject* w) { script(static_cast<TMenuWindow*>(w)); }));
        Menu->Popup(at.X, at.Y);
        Application->SetOnModalBegin(nullptr);
    }
    TPoint RowPoint(TMenuWindow* w, TMenuItem* item, int dx = 20) {
        TRect r = w->ItemRect(item);
        return w->ClientToScreen({r.Left + dx, r.Top + r.Height() / 2});
    }
    uint32_t ScreenPixel(TPoint p) { return GetScreenSurface()->GetPixel(p.X, p.Y); }
    bool AnyPixel(TMenuWindow* w, TRect r, uint32_t rgb) {
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (ScreenPixel(w->ClientToScreen({x, y})) == rgb) return true;
        return false;
    }
};

TEST_F(PopupFixture, ShowsAClassicMenuAndTracksTheKeyboard) {
    bool seen = false;
    PopupWith({300, 200}, [&](TMenuWindow* w) {
        seen = true;
        ASSERT_EQ(OpenMenuWindows().size(), 1u);
        EXPECT_EQ(w->GetLeft(), 300);
        EXPECT_EQ(w->GetTop(), 200);
        ASSERT_EQ(w->Rows().size(), 5u);
        // Menu colour, raised frame, no highlight yet.
        EXPECT_EQ(ScreenPixel(RowPoint(w, Open, 2)), 0xC0C0C0u);
        EXPECT_EQ(ScreenPixel(w->ClientToScreen({1, 1})), 0xFFFFFFu);
        EXPECT_EQ(ScreenPixel(w->ClientToScreen({w->GetWidth() - 1, 5})), 0x000000u);
        // Check mark in the check column, the sub-menu arrow, the engraved disabled caption, the
        // etched separator.
        TRect wrap = w->ItemRect(Wrap);
        EXPECT_TRUE(AnyPixel(w, Rect(wrap.Left, wrap.Top, wrap.Left + 16, wrap.Bottom), 0x000000u));
        TRect recent = w->ItemRect(Recent);
        EXPECT_TRUE(AnyPixel(w, Rect(recent.Right - 16, recent.Top, recent.Right, recent.Bottom), 0x000000u));
        TRect save = w->ItemRect(Save);
        TRect saveText = Rect(save.Left + 16, save.Top, save.Left + 60, save.Bottom);
        EXPECT_TRUE(AnyPixel(w, saveText, 0xFFFFFFu));
        EXPECT_TRUE(AnyPixel(w, saveText, 0x808080u));
        EXPECT_FALSE(AnyPixel(w, saveText, 0x000000u));
        TRect line = w->ItemRect(Line);
        EXPECT_EQ(line.Height(), 8);
        EXPECT_EQ(ScreenPixel(w->ClientToScreen({line.Left + 10, line.Top + 3})), 0x808080u);
        EXPECT_EQ(ScreenPixel(w->ClientToScreen({line.Left + 10, line.Top + 4})), 0xFFFFFFu);
        // Down selects the first item: the highlight bar.
        PressKey(VK_DOWN);
        EXPECT_EQ(w->GetSelected(), 0);
        EXPECT_EQ(ScreenPixel(RowPoint(w, Open, 2)), 0x000080u);
        // Down again: the disabled item can be selected, the separator is skipped.
        PressKey(VK_DOWN);
        EXPECT_EQ(w->GetSelected(), 1);
        PressKey(VK_RETURN); // a disabled item does not run
        PressKey(VK_DOWN);
        EXPECT_EQ(w->GetSelected(), 3);
        SaveSnapshot(SnapshotPath("popup_menu.png"));
        PressKey(VK_RIGHT);
        ASSERT_EQ(OpenMenuWindows().size(), 2u);
        TMenuWindow* sub = OpenMenuWindows()[1];
        EXPECT_EQ(sub->GetSelected(), 0);
        EXPECT_GE(sub->GetLeft(), w->GetLeft() + w->GetWidth() - 4);
        ProcessMessages();
        SaveSnapshot(SnapshotPath("popup_submenu.png"));
        PressKey(VK_LEFT);
        EXPECT_EQ(OpenMenuWindows().size(), 1u);
        PressKey(VK_RIGHT);
        PressKey(VK_DOWN);
        PressKey(VK_RETURN);
    });
    EXPECT_TRUE(seen);
    EXPECT_EQ(Clicks, (std::vector<std::string>{"Two"}));
    EXPECT_TRUE(OpenMenuWindows().empty());
    EXPECT_EQ(Popups, 1);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Application->AbandonedModalLoops(), 0);
}

TEST_F(PopupFixture, AcceleratorsEscapeAndMouseChoices) {
    struct Case {
        const char* name;
        std::function<void(PopupFixture&, TMenuWindow*)> script;
        std::vector<std::string> clicks;
    };
    const Case cases[] = {
        {"accelerator", [](PopupFixture& f, TMenuWindow*) { f.PressKey('W'); }, {"Wrap lines"}},
        {"accelerator into a sub-menu",
         [](PopupFixture& f, TMenuWindow*) {
             f.PressKey('R');
             EXPECT_EQ(OpenMenuWindows().size(), 2u);
             f.PressKey('O');
         },
         {"One"}},
        {"Esc", [](PopupFixture& f, TMenuWindow*) { f.PressKey(VK_ESCAPE); }, {}},
        {"Esc closes the sub-menu first",
         [](PopupFixture& f, TMenuWindow*) {
             f.PressKey('R');
             f.PressKey(VK_ESCAPE);
             EXPECT_EQ(OpenMenuWindows().size(), 1u);
             f.PressKey(VK_ESCAPE);
         },
         {}},
        {"click an item",
         [](PopupFixture& f, TMenuWindow* w) {
             TPoint p = f.RowPoint(w, f.Open);
             Input::Click(p.X, p.Y);
             f.ProcessMessages();
         },
         {"Open"}},
        {"hover opens the sub-menu, click inside it",
         [](PopupFixture& f, TMenuWindow* w) {
             TPoint p = f.RowPoint(w, f.Recent);
             Input::MouseMove(p.X, p.Y);
             f.ProcessMessages();
             ASSERT_EQ(OpenMenuWindows().size(), 2u);
             TMenuWindow* sub = OpenMenuWindows()[1];
             TPoint q = f.RowPoint(sub, f.One);
             Input::MouseMove(q.X, q.Y);
             f.ProcessMessages();
             EXPECT_EQ(sub->GetSelected(), 0);
             EXPECT_EQ(w->GetSelected(), 3); // the parent row stays highlighted
             Input::Click(q.X, q.Y);
             f.ProcessMessages();
         },
         {"One"}},
        {"a disabled item ignores the click, a click outside dismisses",
         [](PopupFixture& f, TMenuWindow* w) {
             TPoint p = f.RowPoint(w, f.Save);
             Input::Click(p.X, p.Y);
             f.ProcessMessages();
             EXPECT_EQ(OpenMenuWindows().size(), 1u);
             Input::Click(20, 700);
             f.ProcessMessages();
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clicks.clear();
        PopupWith({300, 200}, [&](TMenuWindow* w) { c.script(*this, w); });
        EXPECT_EQ(Clicks, c.clicks);
        EXPECT_TRUE(OpenMenuWindows().empty());
        EXPECT_EQ(Application->ModalLevel(), 0);
    }
    EXPECT_EQ(Application->AbandonedModalLoops(), 0);
}

TEST_F(PopupFixture, RightClickAndTheContextMenuKeyShowTheControlsMenu) {
    TPoint shownAt{-1, -1};
    Application->SetOnModalBegin(TNotifyEvent([&](TObject* w) {
        auto* mw = static_cast<TMenuWindow*>(w);
        shownAt = {mw->GetLeft(), mw->GetTop()};
        EXPECT_EQ(Menu->GetPopupComponent(), Edit);
        EXPECT_TRUE(Menu->Tracking());
        PressKey(VK_ESCAPE);
    }));
    RightClickControl(Edit, 30, 8);
    EXPECT_EQ(Popups, 1);
    EXPECT_EQ(shownAt, Edit->ClientToScreen({30, 8}));
    Edit->SetFocus();
    PressKey(VK_APPS);
    EXPECT_EQ(Popups, 2);
    EXPECT_EQ(shownAt, Edit->ClientToScreen({0, 0}));
    // OnContextPopup can take over.
    Edit->SetOnContextPopup(TContextPopupEvent([](TObject*, TPoint, bool& handled) { handled = true; }));
    RightClickControl(Edit, 30, 8);
    EXPECT_EQ(Popups, 2);
    Application->SetOnModalBegin(nullptr);
    EXPECT_FALSE(Menu->Tracking());
}

TEST_F(PopupFixture, ShortCutsOfTheFocusedControlsMenuRunItsItems) {
    Edit->SetFocus();
    PressKey('O', {ssCtrl});
    EXPECT_EQ(Clicks, (std::vector<std::string>{"Open"}));
    PressKey('S', {ssCtrl}); // disabled: nothing
    EXPECT_EQ(Clicks.size(), 1u);
    // OnPopup runs first, so items it disables stay unusable by shortcut too.
    Menu->SetOnPopup(TNotifyEvent([this](TObject*) { Open->SetEnabled(false); }));
    PressKey('O', {ssCtrl});
    EXPECT_EQ(Clicks.size(), 1u);
    // Typing still reaches the edit.
    Edit->SetText("");
    TypeText("ok");
    EXPECT_EQ(Edit->GetText(), "ok");
}

TEST_F(PopupFixture, NothingToAnswerTheMenuDismissesIt) {
    Menu->Popup(300, 200);
    EXPECT_TRUE(Clicks.empty());
    EXPECT_EQ(Application->AbandonedModalLoops(), 1);
    EXPECT_TRUE(OpenMenuWindows().empty());
}

struct MainMenuFixture : ControlsTest {
    TForm* Form = nullptr;
    TMainMenu* Menu = nullptr;
    TMenuItem *File = nullptr, *Open = nullptr, *Exit = nullptr, *Edit = nullptr, *Undo = nullptr,
              *Help = nullptr;
    std::vector<std::string> Clicks;
    void SetUp() override {
        ControlsTest::SetUp();
        Form = NewForm();
        Form->SetBounds(100, 100, 400, 300);
        Form->Show();
        ProcessMessages();
        Menu = new TMainMenu(Form);
        File = NewItem(Form, "&File");
        Open = NewItem(Form, "&Open...", ShortCut('O', {ssCtrl}));
        Exit = NewItem(Form, "E&xit");
        File->Add(Open);
        File->Add(NewItem(Form, "-"));
        File->Add(Exit);
        Edit = NewItem(Form, "&Edit");
        Undo = NewItem(Form, "&Undo", ShortCut('Z', {ssCtrl}));
        Edit->Add(Undo);
        Help = NewItem(Form, "&Help");
        for (TMenuItem* i : {File, Edit, Help}) Menu->GetItems()->Add(i);
        for (TMenuItem* i : {Open, Exit, Undo, Help}) {
            std::string name = StripHotkey(i->GetCaption());
            i->SetOnClick(TNotifyEvent([this, name](TObject*) { Clicks.push_back(name); }));
        }
    }
    TPoint BarPoint(TMenuItem* item) {
        TRect r = MenuBarItemRect(Form, item);
        return {r.Left + r.Width() / 2, r.Top + r.Height() / 2};
    }
};

TEST_F(MainMenuFixture, TheBarSitsAboveTheClientAreaWhichKeepsItsSize) {
    int clientHeight = Form->GetClientHeight();
    int height = Form->GetHeight();
    Form->SetMenu(Menu);
    ProcessMessages();
    int bar = MenuBarHeight(Menu);
    EXPECT_GE(bar, 19);
    EXPECT_EQ(Form->GetClientHeight(), clientHeight);
    EXPECT_EQ(Form->GetHeight(), height + bar);
    TRect r = MenuBarRect(Form);
    EXPECT_EQ(r.Bottom, Form->ClientToScreen({0, 0}).Y);
    EXPECT_EQ(r.Height(), bar);
    // Menu colour with the captions drawn on it, hit-tested as the menu.
    TPoint p = BarPoint(File);
    EXPECT_EQ(GetScreenSurface()->GetPixel(r.Right - 3, r.Top + 3), 0xC0C0C0u);
    bool text = false;
    TRect fr = MenuBarItemRect(Form, File);
    for (int y = fr.Top; y < fr.Bottom; ++y)
        for (int x = fr.Left; x < fr.Right; ++x) text = text || GetScreenSurface()->GetPixel(x, y) == 0;
    EXPECT_TRUE(text);
    EXPECT_EQ(SendMessage(Form->Handle(), WM_NCHITTEST, 0, PointToLParam(p.X, p.Y)), HTMENU);
    EXPECT_EQ(MenuBarItemAt(Form, BarPoint(Edit)), Edit);
    // The bar goes with the menu; the client area stays.
    Form->SetMenu(nullptr);
    EXPECT_EQ(Form->GetClientHeight(), clientHeight);
    EXPECT_EQ(Form->GetHeight(), height);
}

TEST_F(MainMenuFixture, ClicksAndKeysOpenTheBarsDropDowns) {
    Form->SetMenu(Menu);
    ProcessMessages();
    using Step = std::function<void(MainMenuFixture&)>;
    struct Case {
        const char* name;
        Step open;
        std::vector<Step> dropDowns; // one script for each drop-down that opens, in order
        std::vector<std::string> clicks;
    };
    auto clickFile = [](MainMenuFixture& f) {
        TPoint p = f.BarPoint(f.File);
        Input::Click(p.X, p.Y);
        f.ProcessMessages();
    };
    const Case cases[] = {
        {"click File, then Open",
         clickFile,
         {[](MainMenuFixture& f) {
             ASSERT_EQ(OpenMenuWindows().size(), 1u);
             TMenuWindow* w = OpenMenuWindows()[0];
             EXPECT_EQ(w->MenuItems(), f.File);
             EXPECT_EQ(OpenMenuBarItem(), f.File);
             TRect r = MenuBarItemRect(f.Form, f.File);
             EXPECT_EQ(w->GetLeft(), r.Left);
             EXPECT_EQ(w->GetTop(), r.Bottom);
             f.SaveSnapshot(f.SnapshotPath("main_menu.png"));
             TRect o = w->ItemRect(f.Open);
             TPoint q = w->ClientToScreen({o.Left + 20, o.Top + 5});
             Input::Click(q.X, q.Y);
             f.ProcessMessages();
         }},
         {"Open..."}},
        {"Alt+E, Left and Right move along the bar",
         [](MainMenuFixture& f) { f.AltKey('e'); },
         {[](MainMenuFixture& f) {
              ASSERT_EQ(OpenMenuWindows().size(), 1u);
              EXPECT_EQ(OpenMenuWindows()[0]->MenuItems(), f.Edit);
              EXPECT_EQ(OpenMenuWindows()[0]->GetSelected(), 0);
              f.PressKey(VK_LEFT);
          },
          [](MainMenuFixture& f) {
              EXPECT_EQ(OpenMenuWindows()[0]->MenuItems(), f.File);
              f.PressKey(VK_RIGHT);
          },
          [](MainMenuFixture& f) {
              EXPECT_EQ(OpenMenuWindows()[0]->MenuItems(), f.Edit);
              f.PressKey(VK_RETURN);
          }},
         {"Undo"}},
        {"Right from the last drop-down runs the bar's command item",
         [](MainMenuFixture& f) { f.AltKey('e'); },
         {[](MainMenuFixture& f) { f.PressKey(VK_RIGHT); }},
         {"Help"}},
        {"the mouse slides along the bar",
         clickFile,
         {[](MainMenuFixture& f) {
              TPoint p = f.BarPoint(f.Edit);
              Input::MouseMove(p.X, p.Y);
              f.ProcessMessages();
          },
          [](MainMenuFixture& f) {
              ASSERT_EQ(OpenMenuWindows().size(), 1u);
              EXPECT_EQ(OpenMenuWindows()[0]->MenuItems(), f.Edit);
              EXPECT_EQ(OpenMenuBarItem(), f.Edit);
              f.PressKey(VK_ESCAPE);
          }},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clicks.clear();
        AdvanceClock(GetDoubleClickTime() + 1);
        size_t step = 0;
        Application->SetOnModalBegin(TNotifyEvent([&](TObject*) {
            ASSERT_LT(step, c.dropDowns.size());
            c.dropDowns[step++](*this);
        }));
        c.open(*this);
        Application->SetOnModalBegin(nullptr);
        EXPECT_EQ(step, c.dropDowns.size());
        EXPECT_EQ(Clicks, c.clicks);
        EXPECT_TRUE(OpenMenuWindows().empty());
        EXPECT_EQ(OpenMenuBarItem(), nullptr);
    }
    // Shortcuts of the main menu work from any control of the form.
    auto* edit = Make<TEdit>(Form, "Box", Bounds(10, 10, 100, 21));
    edit->SetFocus();
    Clicks.clear();
    PressKey('Z', {ssCtrl});
    PressKey('O', {ssCtrl});
    EXPECT_EQ(Clicks, (std::vector<std::string>{"Undo", "Open..."}));
    EXPECT_EQ(Application->AbandonedModalLoops(), 0);
}

// ---- menus in form files ----

class TMenuForm : public TForm {
    QEL_CLASS(TMenuForm, TForm)
    using TForm::TForm;
    int Cuts = 0;
    void CutClick(TObject*) { ++Cuts; }
};

QEL_IMPLEMENT_CLASS(TMenuForm, [](auto& c) { c.Method("CutClick", &TMenuForm::CutClick); })

const char* const MenuFormText = R"(object MenuForm: TMenuForm
  Left = 40
  Top = 30
  Caption = 'Menus'
  ClientHeight = 120
  ClientWidth = 240
  Menu = MainMenu1
  object Memo: TMemo
    Left = 8
    Top = 8
    Width = 200
    Height = 80
    PopupMenu = MemoMenu
    TabOrder = 0
  end
  object MainMenu1: TMainMenu
    object File1: TMenuItem
      Caption = '&File'
      object Close1: TMenuItem
        Caption = '&Close'
      end
    end
  end
  object MemoMenu: TPopupMenu
    Left = 16
    Top = 96
    object Cut1: TMenuItem
      Caption = 'Cu&t'
      ShortCut = 16472
      OnClick = CutClick
    end
    object N1: TMenuItem
      Caption = '-'
    end
    object Format1: TMenuItem
      Caption = '&Format'
      object Bold1: TMenuItem
        Caption = '&Bold'
        Checked = True
      end
      object Hidden1: TMenuItem
        Caption = 'Hidden'
        Enabled = False
        Visible = False
      end
    end
  end
end
)";

TEST(MenuFormFile, MenusStreamInWithTheirItemTreesAndWriteBack) {
    ControlsTestScope scope;
    RegisterResourceCopy("TMENUFORM", kFormResourceType, MenuFormText, "menu_form.qfm");
    auto* form = CreateComponent<TMenuForm>(Application);
    scope.Track(form);
    auto* memo = dynamic_cast<TMemo*>(form->FindComponent("Memo"));
    auto* menu = dynamic_cast<TPopupMenu*>(form->FindComponent("MemoMenu"));
    ASSERT_TRUE(memo && menu);
    EXPECT_EQ(memo->GetPopupMenu(), menu);
    auto* mainMenu = dynamic_cast<TMainMenu*>(form->FindComponent("MainMenu1"));
    ASSERT_NE(mainMenu, nullptr);
    EXPECT_EQ(form->GetMenu(), mainMenu);
    EXPECT_EQ(form->GetClientHeight(), 120);
    EXPECT_EQ(mainMenu->GetItems()->Items(0)->Items(0)->GetCaption(), "&Close");
    TMenuItem* root = menu->GetItems();
    ASSERT_EQ(root->Count(), 3);
    EXPECT_EQ(root->Items(0)->GetCaption(), "Cu&t");
    EXPECT_EQ(root->Items(0)->GetShortCut(), ShortCut('X', {ssCtrl}));
    EXPECT_TRUE(root->Items(1)->IsLine());
    TMenuItem* format = root->Items(2);
    ASSERT_EQ(format->Count(), 2);
    EXPECT_TRUE(format->Items(0)->GetChecked());
    EXPECT_FALSE(format->Items(1)->GetVisible());
    EXPECT_FALSE(format->Items(1)->GetEnabled());
    // The shortcut runs the streamed handler while the memo has the focus.
    form->Show();
    scope.ProcessMessages();
    memo->SetFocus();
    scope.PressKey('X', {ssCtrl});
    EXPECT_EQ(form->Cuts, 1);
    std::string text = WriteComponent(form);
    size_t menuAt = text.find("object MemoMenu: TPopupMenu");
    size_t boldAt = text.find("object Bold1: TMenuItem");
    ASSERT_NE(menuAt, std::string::npos);
    ASSERT_NE(boldAt, std::string::npos);
    EXPECT_LT(menuAt, boldAt);
    EXPECT_NE(text.find("ShortCut = 16472"), std::string::npos);
    EXPECT_NE(text.find("PopupMenu = MemoMenu"), std::string::npos);
    EXPECT_NE(text.find("Menu = MainMenu1"), std::string::npos);
    // Read back: the same tree.
    UnregisterResource("TMENUFORM", kFormResourceType);
    RegisterResourceCopy("TMENUFORM", kFormResourceType, text, "menu_written.qfm");
    auto* copy = CreateComponent<TMenuForm>(Application);
    scope.Track(copy);
    auto* copyMenu = dynamic_cast<TPopupMenu*>(copy->FindComponent("MemoMenu"));
    ASSERT_NE(copyMenu, nullptr);
    ASSERT_EQ(copyMenu->GetItems()->Count(), 3);
    EXPECT_EQ(copyMenu->GetItems()->Items(2)->Count(), 2);
    EXPECT_EQ(copyMenu->GetItems()->Items(2)->Items(0)->GetCaption(), "&Bold");
    UnregisterResource("TMENUFORM", kFormResourceType);
}

} // namespace
} // namespace qel
