// A form with every standard control, read from its form resource, shown and driven by scripted input.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/controls/dialogs.h"
#include "platform/core/filer.h"
#include "platform/core/resources.h"
#include "platform/windows/backend.h"
#include "tests/platform/controls/harness.h"

namespace qel {

class TControlsForm : public TForm {
    QEL_CLASS(TControlsForm, TForm)
    using TForm::TForm;
    TLabel* NameLabel = nullptr;
    TEdit* NameEdit = nullptr;
    TMemo* Notes = nullptr;
    TCheckBox* Subscribe = nullptr;
    TRadioButton* Small = nullptr;
    TRadioButton* Large = nullptr;
    TRadioGroup* Colours = nullptr;
    TGroupBox* SizeBox = nullptr;
    TButton* OkButton = nullptr;
    TButton* CancelButton = nullptr;
    TImage* Picture = nullptr;
    TScrollBox* Scroller = nullptr;
    TSpeedButton* BoldButton = nullptr;
    TSpeedButton* LeftButton = nullptr;
    TSpeedButton* RightButton = nullptr;
    TPanel* Bar = nullptr;
    int Changes = 0;
    int OkClicks = 0;
    int CreateCalls = 0;
    std::string Events;

    void FormCreate(TObject*) {
        ++CreateCalls;
        // The picture: a 32 x 32 bitmap with a diagonal.
        auto bmp = std::make_unique<TBitmap>(32, 32);
        bmp->GetCanvas()->GetBrush()->SetColor(clNavy);
        bmp->GetCanvas()->FillRect(Rect(0, 0, 32, 32));
        bmp->GetCanvas()->GetPen()->SetColor(clYellow);
        bmp->GetCanvas()->MoveTo(0, 0);
        bmp->GetCanvas()->LineTo(32, 32);
        Picture->GetPicture()->SetBitmap(bmp.get());
    }
    void NameEditChange(TObject*) { ++Changes; }
    void OkButtonClick(TObject*) { ++OkClicks; }
    void SubscribeClick(TObject*) { Events += "subscribe;"; }
    void ColoursClick(TObject*) { Events += "colours " + std::to_string(Colours->GetItemIndex()) + ";"; }

protected:
    void AfterStreaming() override {
        auto find = [this](auto*& field, const char* name) {
            field = dynamic_cast<std::remove_reference_t<decltype(*field)>*>(FindComponent(name));
            if (!field) throw Exception(std::string("missing ") + name);
        };
        find(NameLabel, "NameLabel");
        find(NameEdit, "NameEdit");
        find(Notes, "Notes");
        find(Subscribe, "Subscribe");
        find(Small, "Small");
        find(Large, "Large");
        find(Colours, "Colours");
        find(SizeBox, "SizeBox");
        find(OkButton, "OkButton");
        find(CancelButton, "CancelButton");
        find(Picture, "Picture");
        find(Scroller, "Scroller");
        find(BoldButton, "BoldButton");
        find(LeftButton, "LeftButton");
        find(RightButton, "RightButton");
        find(Bar, "Bar");
    }
};

QEL_IMPLEMENT_CLASS(TControlsForm, [](auto& c) {
    c.Method("FormCreate", &TControlsForm::FormCreate);
    c.Method("NameEditChange", &TControlsForm::NameEditChange);
    c.Method("OkButtonClick", &TControlsForm::OkButtonClick);
    c.Method("SubscribeClick", &TControlsForm::SubscribeClick);
    c.Method("ColoursClick", &TControlsForm::ColoursClick);
})

namespace {

const char* const ControlsFormText = R"(object ControlsForm: TControlsForm
  Left = 40
  Top = 30
  BorderStyle = bsDialog
  Caption = 'Standard controls'
  ClientHeight = 300
  ClientWidth = 470
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OnCreate = FormCreate
  PixelsPerInch = 96
  object NameLabel: TLabel
    Left = 12
    Top = 16
    Width = 31
    Height = 13
    Caption = '&Name:'
    FocusControl = NameEdit
  end
  object NameEdit: TEdit
    Left = 60
    Top = 12
    Width = 150
    Height = 21
    PopupMenu = EditMenu
    TabOrder = 0
    Text = 'Ada'
    OnChange = NameEditChange
  end
  object Notes: TMemo
    Left = 12
    Top = 44
    Width = 198
    Height = 70
    Lines.Strings = (
      'First line'
      'Second line')
    TabOrder = 1
  end
  object Subscribe: TCheckBox
    Left = 12
    Top = 122
    Width = 120
    Height = 17
    Caption = '&Subscribe'
    State = cbChecked
    TabOrder = 2
    OnClick = SubscribeClick
  end
  object SizeBox: TGroupBox
    Left = 12
    Top = 146
    Width = 198
    Height = 60
    Caption = 'Si&ze'
    TabOrder = 3
    object Small: TRadioButton
      Left = 10
      Top = 18
      Width = 80
      Height = 17
      Caption = 'S&mall'
      Checked = True
      TabOrder = 0
      TabStop = True
    end
    object Large: TRadioButton
      Left = 10
      Top = 36
      Width = 80
      Height = 17
      Caption = '&Large'
      TabOrder = 1
    end
  end
  object Colours: TRadioGroup
    Left = 224
    Top = 12
    Width = 232
    Height = 80
    Caption = '&Colour'
    Columns = 2
    ItemIndex = 1
    Items.Strings = (
      'Red'
      'Green'
      'Blue')
    TabOrder = 4
    OnClick = ColoursClick
  end
  object Picture: TImage
    Left = 224
    Top = 100
    Width = 48
    Height = 48
    Center = True
  end
  object Scroller: TScrollBox
    Left = 284
    Top = 100
    Width = 172
    Height = 106
    TabOrder = 5
    object Bar: TPanel
      Left = 0
      Top = 0
      Width = 300
      Height = 30
      Caption = 'Wide panel'
      TabOrder = 0
    end
  end
  object BoldButton: TSpeedButton
    Left = 12
    Top = 216
    Width = 23
    Height = 22
    AllowAllUp = True
    GroupIndex = 1
    Caption = 'B'
  end
  object LeftButton: TSpeedButton
    Left = 44
    Top = 216
    Width = 23
    Height = 22
    GroupIndex = 2
    Down = True
    Caption = 'L'
  end
  object RightButton: TSpeedButton
    Left = 68
    Top = 216
    Width = 23
    Height = 22
    GroupIndex = 2
    Caption = 'R'
  end
  object OkButton: TButton
    Left = 300
    Top = 260
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    TabOrder = 6
    OnClick = OkButtonClick
  end
  object CancelButton: TButton
    Left = 381
    Top = 260
    Width = 75
    Height = 25
    Cancel = True
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 7
  end
  object EditMenu: TPopupMenu
    Left = 424
    Top = 216
    object Undo1: TMenuItem
      Caption = '&Undo'
      ShortCut = 16474
    end
    object N1: TMenuItem
      Caption = '-'
    end
    object Cut1: TMenuItem
      Caption = 'Cu&t'
      Enabled = False
      ShortCut = 16472
    end
    object Copy1: TMenuItem
      Caption = '&Copy'
    end
    object Case1: TMenuItem
      Caption = 'C&ase'
      object Upper1: TMenuItem
        Caption = '&Upper case'
        Checked = True
        RadioItem = True
      end
      object Lower1: TMenuItem
        Caption = '&Lower case'
        RadioItem = True
      end
    end
  end
end
)";

struct FormFixture : ControlsTest {
    TControlsForm* Form = nullptr;
    void SetUp() override {
        ControlsTest::SetUp();
        RegisterResourceCopy("TCONTROLSFORM", kFormResourceType, ControlsFormText, "controls_form.qfm");
        Form = CreateComponent<TControlsForm>(Application);
        Track(Form);
    }
    void TearDown() override {
        ControlsTest::TearDown();
        UnregisterResource("TCONTROLSFORM", kFormResourceType);
    }
};

TEST_F(FormFixture, StreamsEveryControlInTwoPhases) {
    EXPECT_EQ(Form->CreateCalls, 1);
    EXPECT_EQ(Form->GetCaption(), "Standard controls");
    EXPECT_EQ(Form->GetClientWidth(), 470);
    EXPECT_EQ(Form->GetClientHeight(), 300);
    EXPECT_EQ(Form->GetBorderStyle(), bsDialog);
    EXPECT_EQ(Form->NameLabel->GetFocusControl(), Form->NameEdit);
    EXPECT_EQ(Form->NameEdit->GetText(), "Ada");
    EXPECT_EQ(Form->Changes, 0); // reading does not fire OnChange
    EXPECT_EQ(Form->Notes->GetLines()->Count(), 2);
    EXPECT_EQ(Form->Notes->GetLines()->Get(1), "Second line");
    EXPECT_EQ(Form->Subscribe->GetState(), cbChecked);
    EXPECT_EQ(Form->Events, ""); // nor OnClick
    EXPECT_TRUE(Form->Small->GetChecked());
    EXPECT_FALSE(Form->Large->GetChecked());
    EXPECT_EQ(Form->Small->GetParent(), Form->SizeBox);
    EXPECT_EQ(Form->Colours->ButtonCount(), 3);
    EXPECT_EQ(Form->Colours->GetItemIndex(), 1);
    EXPECT_TRUE(Form->Colours->Buttons(1)->GetChecked());
    EXPECT_EQ(Form->Colours->GetColumns(), 2);
    EXPECT_EQ(Form->Picture->GetPicture()->GetWidth(), 32);
    EXPECT_TRUE(Form->LeftButton->GetDown());
    EXPECT_FALSE(Form->RightButton->GetDown());
    EXPECT_TRUE(Form->OkButton->GetDefault());
    EXPECT_EQ(Form->CancelButton->GetModalResult(), mrCancel);
    EXPECT_EQ(Form->Bar->GetParent(), Form->Scroller);
    // Tab order as stored.
    EXPECT_EQ(Form->OkButton->GetTabOrder(), 6);
    EXPECT_EQ(Form->Large->GetTabOrder(), 1);
    // Radio group buttons are the group's own, never written to the form file.
    std::string text = WriteComponent(Form);
    EXPECT_EQ(text.find("TGroupButton"), std::string::npos);
    EXPECT_NE(text.find("object NameEdit: TEdit"), std::string::npos);
}

TEST_F(FormFixture, WrittenFormReadsBackTheSame) {
    Form->NameEdit->SetText("Grace");
    Form->Colours->SetItemIndex(2);
    Form->Subscribe->SetChecked(false);
    Form->RightButton->SetDown(true);
    std::string text = WriteComponent(Form);
    UnregisterResource("TCONTROLSFORM", kFormResourceType);
    RegisterResourceCopy("TCONTROLSFORM", kFormResourceType, text, "written.qfm");
    auto* copy = CreateComponent<TControlsForm>(Application);
    Track(copy);
    EXPECT_EQ(copy->NameEdit->GetText(), "Grace");
    EXPECT_EQ(copy->Colours->GetItemIndex(), 2);
    EXPECT_EQ(copy->Subscribe->GetState(), cbUnchecked);
    EXPECT_TRUE(copy->RightButton->GetDown());
    EXPECT_FALSE(copy->LeftButton->GetDown());
    EXPECT_EQ(copy->Notes->GetLines()->GetText(), Form->Notes->GetLines()->GetText());
    EXPECT_EQ(copy->OkButton->BoundsRect(), Form->OkButton->BoundsRect());
    // The same text apart from the second instance's own name.
    std::string again = WriteComponent(copy);
    EXPECT_EQ(again.substr(again.find('\n')), text.substr(text.find('\n')));
}

TEST_F(FormFixture, ShowsLikeAClassicDesktopForm) {
    Form->Show();
    ProcessMessages();
    std::string png = SnapshotPath("controls_form.png");
    SaveSnapshot(png);
    EXPECT_TRUE(std::filesystem::exists(png));
    // Face colour between the controls, a white edit interior, the button face.
    EXPECT_EQ(PixelAt(Form, 8, 250), 0xC0C0C0u);
    EXPECT_EQ(PixelAt(Form->NameEdit, 140, 10), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(Form->OkButton, 5, 12), 0xC0C0C0u);
    // The sunken edit border: shadow at the top-left edge.
    EXPECT_EQ(PixelAt(Form->NameEdit, 5, 0), 0x808080u);
    // Some text was drawn into the label (dark pixels).
    EXPECT_TRUE(AnyPixelInRect(Form->NameLabel, Rect(0, 0, 31, 13), 0x000000u));
    // The image draws the picture centred: navy at its middle row left.
    EXPECT_EQ(PixelAt(Form->Picture, 9, 20), 0x000080u);
}

TEST_F(FormFixture, TakesScriptedMouseAndKeyboardInput) {
    Form->Show();
    ProcessMessages();
    // Typing into the focused edit (AutoSelect selected the text on entry).
    ASSERT_EQ(Form->GetActiveControl(), Form->NameEdit);
    EXPECT_EQ(Form->NameEdit->GetSelLength(), 3);
    TypeText("Lovelace");
    EXPECT_EQ(Form->NameEdit->GetText(), "Lovelace");
    EXPECT_EQ(Form->Changes, 8);
    PressKey(VK_HOME);
    TypeText("A. ");
    EXPECT_EQ(Form->NameEdit->GetText(), "A. Lovelace");
    PressKey(VK_BACK);
    EXPECT_EQ(Form->NameEdit->GetText(), "A.Lovelace");
    // Clipboard shortcuts: select all, copy, paste at the end.
    PressKey(VK_HOME);
    PressKey(VK_END, {ssShift});
    PressKey('C', {ssCtrl});
    PressKey(VK_END);
    PressKey('V', {ssCtrl});
    EXPECT_EQ(Form->NameEdit->GetText(), "A.LovelaceA.Lovelace");
    PressKey(VK_HOME);
    PressKey(VK_RIGHT, {ssShift});
    PressKey(VK_RIGHT, {ssShift});
    PressKey('X', {ssCtrl});
    EXPECT_EQ(Form->NameEdit->GetText(), "LovelaceA.Lovelace");
    EXPECT_EQ(GetClipboardText(), "A.");
    // Tab to the memo, then the check box; space toggles it.
    PressKey(VK_TAB);
    EXPECT_EQ(Form->GetActiveControl(), Form->Notes);
    PressKey(VK_TAB);
    EXPECT_EQ(Form->GetActiveControl(), Form->Subscribe);
    PressKey(VK_SPACE);
    EXPECT_EQ(Form->Subscribe->GetState(), cbUnchecked);
    EXPECT_EQ(Form->Events, "subscribe;");
    // Alt accelerators: the label focuses its edit, the check box toggles, the group box selects its first
    // child.
    AltKey('n');
    EXPECT_EQ(Form->GetActiveControl(), Form->NameEdit);
    AltKey('s');
    EXPECT_EQ(Form->Subscribe->GetState(), cbChecked);
    EXPECT_EQ(Form->GetActiveControl(), Form->Subscribe);
    AltKey('l');
    EXPECT_TRUE(Form->Large->GetChecked());
    EXPECT_FALSE(Form->Small->GetChecked());
    // Clicks: a radio group item, a speed button group, an accelerator-free button.
    Form->Events.clear();
    ClickControl(Form->Colours->Buttons(0), 20, 8);
    EXPECT_EQ(Form->Colours->GetItemIndex(), 0);
    EXPECT_EQ(Form->Events, "colours 0;");
    ClickControl(Form->RightButton, 10, 10);
    EXPECT_TRUE(Form->RightButton->GetDown());
    EXPECT_FALSE(Form->LeftButton->GetDown());
    ClickControl(Form->RightButton, 10, 10); // stays down: AllowAllUp is off in this group
    EXPECT_TRUE(Form->RightButton->GetDown());
    ClickControl(Form->BoldButton, 10, 10);
    EXPECT_TRUE(Form->BoldButton->GetDown());
    ClickControl(Form->BoldButton, 10, 10);
    EXPECT_FALSE(Form->BoldButton->GetDown());
    ClickControl(Form->OkButton, 30, 12);
    EXPECT_EQ(Form->OkClicks, 1);
    // Enter clicks the default button when no other button has the focus.
    Form->NameEdit->SetFocus();
    PressKey(VK_RETURN);
    EXPECT_EQ(Form->OkClicks, 2);
    // A press that leaves the button before release is no click.
    MouseDown(Form->OkButton, 30, 12);
    MouseMoveTo(Form->OkButton, 200, 12);
    MouseUp(Form->OkButton, 200, 12);
    EXPECT_EQ(Form->OkClicks, 2);
    std::string png = SnapshotPath("controls_form_after_input.png");
    SaveSnapshot(png);
}

TEST_F(FormFixture, DisabledControlsIgnoreInputAndLookDisabled) {
    Form->Show();
    ProcessMessages();
    uint32_t enabledText = CountPixels(Form->Subscribe, 0x000000u);
    Form->Subscribe->SetEnabled(false);
    ProcessMessages();
    EXPECT_LT(CountPixels(Form->Subscribe, 0x000000u), enabledText);
    EXPECT_GT(CountPixels(Form->Subscribe, 0x808080u), 0u);
    ClickControl(Form->Subscribe, 5, 8);
    EXPECT_EQ(Form->Subscribe->GetState(), cbChecked);
    Form->SizeBox->SetEnabled(false);
    EXPECT_FALSE(Form->Large->CanFocus());
    AltKey('l');
    EXPECT_FALSE(Form->Large->GetChecked());
}

TEST_F(FormFixture, ScrollBoxRangesFollowChildren) {
    Form->Show();
    ProcessMessages();
    TScrollBox* sb = Form->Scroller;
    EXPECT_EQ(sb->GetHorzScrollBar()->GetRange(), 300);
    EXPECT_TRUE(sb->GetHorzScrollBar()->IsScrollBarVisible());
    EXPECT_FALSE(sb->GetVertScrollBar()->IsScrollBarVisible());
    auto* far = new TButton(Form);
    far->SetParent(sb);
    far->SetBounds(20, 200, 60, 25);
    EXPECT_EQ(sb->GetVertScrollBar()->GetRange(), 225);
    sb->ScrollInView(far);
    EXPECT_EQ(far->GetTop() + far->GetHeight(), sb->GetClientHeight());
    EXPECT_EQ(sb->GetVertScrollBar()->GetPosition(), 225 - sb->GetClientHeight());
    sb->GetVertScrollBar()->SetPosition(0);
    EXPECT_EQ(far->GetTop(), 200);
    sb->Perform(WM_HSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(sb->GetHorzScrollBar()->GetPosition(), 8);
    EXPECT_EQ(Form->Bar->GetLeft(), -8);
}

TEST_F(FormFixture, KeyboardReachesAFormShownModallyForTheFirstTime) {
    Form->OkButton->SetModalResult(mrOk);
    struct Case {
        const char* name;
        std::function<void(FormFixture&)> script;
        int result;
    };
    const Case cases[] = {
        {"Enter clicks the default button",
         [](FormFixture& f) {
             f.TypeText("Lovelace");
             EXPECT_EQ(f.Form->NameEdit->GetText(), "Lovelace");
             f.PressKey(VK_TAB);
             EXPECT_EQ(f.Form->GetActiveControl(), f.Form->Notes);
             f.AltKey('s');
             EXPECT_EQ(f.Form->Subscribe->GetState(), cbUnchecked);
             f.AltKey('n');
             EXPECT_EQ(f.Form->GetActiveControl(), f.Form->NameEdit);
             f.PressKey(VK_RETURN);
         },
         mrOk},
        {"Esc clicks the cancel button", [](FormFixture& f) { f.PressKey(VK_ESCAPE); }, mrCancel},
        {"typing, then Enter",
         [](FormFixture& f) {
             f.TypeText("Ada");
             EXPECT_EQ(f.Form->NameEdit->GetText(), "Ada");
             f.PressKey(VK_RETURN);
         },
         mrOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Application->SetOnModalBegin(TNotifyEvent([&](TObject*) { c.script(*this); }));
        EXPECT_EQ(Form->ShowModal(), c.result);
        Application->SetOnModalBegin(nullptr);
        EXPECT_FALSE(Form->GetVisible());
    }
    EXPECT_EQ(Form->OkClicks, 2);
    EXPECT_EQ(Application->AbandonedModalLoops(), 0);
}

TEST_F(FormFixture, KeysQueuedBeforeTheFirstShowModalReachTheDialog) {
    // Another form is up and has the focus; the keys are typed before the dialog exists on screen.
    auto* main = NewForm();
    main->SetName("MainF");
    auto* mainEdit = Make<TEdit>(main, "MainEdit", Bounds(10, 10, 100, 21));
    main->Show();
    ProcessMessages();
    ASSERT_EQ(main->GetActiveControl(), mainEdit);
    struct Case {
        const char* name;
        std::function<void()> queue;
        int result;
        const char* text;
    };
    const Case cases[] = {
        {"typing and Enter",
         [] {
             Input::Text("Grace");
             Input::Key(VK_RETURN);
         },
         mrOk, "Grace"},
        {"Tab, Alt accelerator, Esc",
         [] {
             Input::Key(VK_TAB);
             Input::Key('S', false, false, true);
             Input::Key(VK_ESCAPE);
         },
         mrCancel, "Ada"},
    };
    Form->OkButton->SetModalResult(mrOk);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Form->NameEdit->SetText("Ada");
        c.queue();
        EXPECT_EQ(Form->ShowModal(), c.result);
        EXPECT_EQ(Form->NameEdit->GetText(), c.text);
        EXPECT_EQ(mainEdit->GetText(), "MainEdit");
    }
    EXPECT_EQ(Form->Subscribe->GetState(), cbUnchecked);
    EXPECT_EQ(Application->AbandonedModalLoops(), 0);
}

TEST_F(FormFixture, ShowsWithTheEditsPopupMenuOpen) {
    Form->Show();
    ProcessMessages();
    auto* menu = dynamic_cast<TPopupMenu*>(Form->FindComponent("EditMenu"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Form->NameEdit->GetPopupMenu(), menu);
    ASSERT_EQ(menu->GetItems()->Count(), 5);
    EXPECT_EQ(menu->GetItems()->Items(4)->Count(), 2);
    size_t windows = 0;
    Application->SetOnModalBegin(TNotifyEvent([&](TObject*) {
        PressKey(VK_UP); // the last item: the sub-menu
        PressKey(VK_RIGHT);
        PressKey(VK_DOWN);
        windows = OpenMenuWindows().size();
        ProcessMessages();
        SaveSnapshot(SnapshotPath("controls_form_popup.png"));
        PressKey(VK_RETURN); // "Lower case"
    }));
    RightClickControl(Form->NameEdit, 40, 10);
    Application->SetOnModalBegin(nullptr);
    EXPECT_EQ(windows, 2u);
    TMenuItem* lower = menu->GetItems()->Items(4)->Items(1);
    EXPECT_FALSE(lower->GetChecked()); // no AutoCheck: the item only runs
    // The enabled shortcut runs, the disabled one leaves Ctrl+X to the edit.
    int undos = 0;
    menu->GetItems()->Items(0)->SetOnClick(TNotifyEvent([&](TObject*) { ++undos; }));
    Form->NameEdit->SetFocus();
    PressKey('Z', {ssCtrl});
    EXPECT_EQ(undos, 1);
}

TEST_F(FormFixture, KeysReachADialogOpenedFromAnotherFormsButton) {
    // The dialog's file names its first focused control and previews keys; it is created and shown
    // modally for the first time from a button click of the main form.
    std::string text = ControlsFormText;
    text.insert(text.find("  BorderStyle"), "  ActiveControl = Notes\n  KeyPreview = True\n");
    UnregisterResource("TCONTROLSFORM", kFormResourceType);
    RegisterResourceCopy("TCONTROLSFORM", kFormResourceType, text, "dialog.qfm");
    auto* main = NewForm();
    main->SetName("MainF");
    auto* open = Make<TButton>(main, "OpenButton", Bounds(10, 10, 75, 25));
    main->Show();
    ProcessMessages();
    int previewed = 0;
    int result = -1;
    std::string notes;
    open->SetOnClick(TNotifyEvent([&](TObject*) {
        auto* dialog = CreateComponent<TControlsForm>(Application);
        dialog->SetOnKeyDown(TKeyEvent([&](TObject*, uint16_t& key, TShiftState) {
            if (key == VK_F2) ++previewed;
        }));
        Application->SetOnModalBegin(TNotifyEvent([&](TObject*) {
            EXPECT_EQ(dialog->GetActiveControl(), dialog->Notes);
            PressKey(VK_F2);
            PressKey(VK_END, {ssCtrl});
            TypeText("!");
            PressKey(VK_TAB);
            EXPECT_EQ(dialog->GetActiveControl(), dialog->Subscribe);
            PressKey(VK_ESCAPE);
        }));
        result = dialog->ShowModal();
        Application->SetOnModalBegin(nullptr);
        notes = dialog->Notes->GetLines()->GetText();
        dialog->Release();
    }));
    ClickControl(open, 20, 10);
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(previewed, 1);
    EXPECT_NE(notes.find("Second line!"), std::string::npos);
    EXPECT_EQ(Application->AbandonedModalLoops(), 0);
}

TEST(FormFile, MalformedFilesRaiseReadErrorsWithoutLeaks) {
    ControlsTestScope scope;
    const char* bad[] = {
        "object ControlsForm: TControlsForm\n  object X: TNoSuchClass\n  end\nend\n",
        "object ControlsForm: TControlsForm\n  object NameEdit: TEdit\n    Left = 'text'\n  end\nend\n",
        "object ControlsForm: TControlsForm\n  object NameEdit: TEdit\n    Nonsense = 1\n  end\nend\n",
        "object ControlsForm: TControlsForm\n  BorderStyle = bsWobbly\nend\n",
        "object ControlsForm: TControlsForm\n  object NameEdit: TEdit\n",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        RegisterResourceCopy("TCONTROLSFORM", kFormResourceType, text, "bad.qfm");
        EXPECT_THROW(CreateComponent<TControlsForm>(Application), Exception);
        UnregisterResource("TCONTROLSFORM", kFormResourceType);
    }
}

} // namespace
} // namespace qel
