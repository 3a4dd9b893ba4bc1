// Tab order, focus, enter/exit notifications, ActiveControl and ActiveForm, embedded forms.
#include <gtest/gtest.h>

#include "platform/controls/extctrls.h"
#include "tests/platform/controls/harness.h"

namespace qel {
namespace {

struct FocusFixture : ControlsTest {
    TForm* Form = nullptr;
    TEdit* E1 = nullptr;
    TEdit* E2 = nullptr;
    TButton* B1 = nullptr;
    TPanel* Panel = nullptr;
    TEdit* E3 = nullptr;
    std::vector<std::string> Log;

    void SetUp() override {
        ControlsTest::SetUp();
        Form = NewForm();
        Form->SetName("MainFormX");
        E1 = Make<TEdit>(Form, "E1", Bounds(10, 10, 100, 21));
        E2 = Make<TEdit>(Form, "E2", Bounds(10, 40, 100, 21));
        B1 = Make<TButton>(Form, "B1", Bounds(10, 70, 75, 25));
        Panel = Make<TPanel>(Form, "Panel", Bounds(120, 10, 150, 100));
        E3 = new TEdit(Form);
        E3->SetName("E3");
        E3->SetParent(Panel);
        E3->SetBounds(5, 5, 100, 21);
        for (TWinControl* c : std::initializer_list<TWinControl*>{E1, E2, B1, Panel, E3}) {
            c->SetOnEnter(TNotifyEvent([this, c](TObject*) { Log.push_back("enter " + c->GetName()); }));
            c->SetOnExit(TNotifyEvent([this, c](TObject*) { Log.push_back("exit " + c->GetName()); }));
        }
    }
};

TEST_F(FocusFixture, TabOrderFollowsCreationAndCanBeChanged) {
    EXPECT_EQ(E1->GetTabOrder(), 0);
    EXPECT_EQ(E2->GetTabOrder(), 1);
    EXPECT_EQ(B1->GetTabOrder(), 2);
    EXPECT_EQ(Panel->GetTabOrder(), 3);
    B1->SetTabOrder(0);
    EXPECT_EQ(B1->GetTabOrder(), 0);
    EXPECT_EQ(E1->GetTabOrder(), 1);
    EXPECT_EQ(E2->GetTabOrder(), 2);
    B1->SetTabOrder(99); // out of range goes last
    EXPECT_EQ(B1->GetTabOrder(), 3);
    std::vector<TWinControl*> list;
    Form->GetTabOrderList(list);
    std::vector<TWinControl*> expect{E1, E2, Panel, E3, B1};
    EXPECT_EQ(list, expect);
}

TEST_F(FocusFixture, TabWalksFocusableTabStopsAndWraps) {
    Form->Show();
    ProcessMessages();
    EXPECT_EQ(Form->GetActiveControl(), E1); // the first tab stop when nothing was chosen
    EXPECT_TRUE(E1->Focused());
    const TWinControl* expected[] = {E2, B1, E3, E1, E2};
    for (const TWinControl* want : expected) {
        PressKey(VK_TAB);
        EXPECT_EQ(Form->GetActiveControl(), want);
        EXPECT_EQ(Screen->ActiveControl(), want);
    }
    PressKey(VK_TAB, {ssShift});
    EXPECT_EQ(Form->GetActiveControl(), E1);
    // Disabled and invisible controls are skipped.
    E2->SetEnabled(false);
    B1->SetVisible(false);
    PressKey(VK_TAB);
    EXPECT_EQ(Form->GetActiveControl(), E3);
}

TEST_F(FocusFixture, EnterAndExitRunUpAndDownTheParentChain) {
    Form->Show();
    ProcessMessages();
    Log.clear();
    E3->SetFocus();
    std::vector<std::string> want{"exit E1", "enter Panel", "enter E3"};
    EXPECT_EQ(Log, want);
    Log.clear();
    E2->SetFocus();
    want = {"exit E3", "exit Panel", "enter E2"};
    EXPECT_EQ(Log, want);
}

TEST_F(FocusFixture, CannotFocusHiddenOrDisabledControls) {
    Form->Show();
    ProcessMessages();
    E2->SetEnabled(false);
    EXPECT_FALSE(E2->CanFocus());
    EXPECT_THROW(Form->SetActiveControl(E2), EInvalidOperation);
    Panel->SetVisible(false);
    EXPECT_FALSE(E3->CanFocus());
    EXPECT_THROW(E3->SetFocus(), EInvalidOperation);
}

TEST_F(FocusFixture, DisablingTheFocusedControlMovesTheFocusOn) {
    Form->Show();
    ProcessMessages();
    E2->SetFocus();
    E2->SetEnabled(false);
    EXPECT_NE(Form->FocusedControl(), E2);
    EXPECT_EQ(Form->GetActiveControl(), B1);
}

TEST_F(FocusFixture, SelectFirstAndFindNext) {
    Form->Show();
    ProcessMessages();
    Panel->SelectFirst();
    EXPECT_EQ(Form->GetActiveControl(), E3);
    EXPECT_EQ(Form->FindNextControl(E1, true, true, false), E2);
    EXPECT_EQ(Form->FindNextControl(E1, false, true, false), E3);
    EXPECT_EQ(Form->FindNextControl(nullptr, true, true, false), E1);
    EXPECT_EQ(Form->FindNextControl(E1, true, true, true), E2);
    EXPECT_EQ(Form->FindNextControl(B1, true, true, true), E1); // E3 is not a direct child
}

TEST_F(FocusFixture, EmbeddedFormSharesItsHostsActivation) {
    auto* inner = NewForm();
    inner->SetName("Inner");
    inner->SetBorderStyle(bsNone);
    auto* innerEdit = Make<TEdit>(inner, "InnerEdit", Bounds(5, 5, 80, 21));
    inner->SetParent(Panel);
    inner->SetAlign(alClient);
    inner->Show();
    Form->Show();
    ProcessMessages();
    EXPECT_EQ(GetParentForm(innerEdit), Form);
    EXPECT_EQ(inner->BoundsRect(), Rect(1, 1, 149, 99));
    std::vector<std::string> events;
    Screen->SetOnActiveFormChange(TNotifyEvent([&](TObject*) { events.push_back("form"); }));
    Screen->SetOnActiveControlChange(TNotifyEvent([&](TObject*) { events.push_back("control"); }));
    innerEdit->SetFocus();
    EXPECT_EQ(Screen->ActiveControl(), innerEdit);
    EXPECT_EQ(Screen->ActiveForm(), Form);
    EXPECT_EQ(Form->GetActiveControl(), innerEdit);
    EXPECT_EQ(inner->GetActiveControl(), innerEdit);
    EXPECT_TRUE(innerEdit->Focused());
    EXPECT_EQ(events, std::vector<std::string>{"control"});
    // Clicking into the embedded form's edit focuses it as well.
    E1->SetFocus();
    ClickControl(innerEdit, 10, 10);
    EXPECT_EQ(Screen->ActiveControl(), innerEdit);
    // Tab goes on in the host's tab order (the embedded form comes after E3 in the panel): it wraps to E1.
    PressKey(VK_TAB);
    EXPECT_EQ(Screen->ActiveControl(), E1);
    PressKey(VK_TAB, {ssShift});
    EXPECT_EQ(Screen->ActiveControl(), innerEdit);
    Screen->SetOnActiveFormChange(nullptr);
    Screen->SetOnActiveControlChange(nullptr);
}

TEST_F(FocusFixture, ActiveFormChangesBeforeActiveControl) {
    auto* other = NewForm();
    other->SetName("Other");
    auto* otherEdit = Make<TEdit>(other, "OtherEdit", Bounds(5, 5, 80, 21));
    Form->Show();
    ProcessMessages();
    std::vector<std::string> events;
    Screen->SetOnActiveFormChange(TNotifyEvent([&](TObject*) {
        events.push_back("form " +
                         (Screen->ActiveForm() ? Screen->ActiveForm()->GetName() : std::string("-")));
    }));
    Screen->SetOnActiveControlChange(TNotifyEvent([&](TObject*) {
        events.push_back("control " +
                         (Screen->ActiveControl() ? Screen->ActiveControl()->GetName() : std::string("-")));
    }));
    other->Show();
    ProcessMessages();
    EXPECT_EQ(Screen->ActiveForm(), other);
    EXPECT_EQ(Screen->ActiveControl(), otherEdit);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0], "form Other");
    EXPECT_EQ(events.back(), "control OtherEdit");
    other->Hide();
    EXPECT_EQ(Screen->ActiveForm(), Form);
    Screen->SetOnActiveFormChange(nullptr);
    Screen->SetOnActiveControlChange(nullptr);
}

} // namespace
} // namespace qel
