// Modal forms, closing, release, message dialogs and input boxes with scripted answers.
#include <gtest/gtest.h>

#include "platform/controls/dialogs.h"
#include "platform/windows/backend.h"
#include "tests/platform/controls/harness.h"

namespace qel {
namespace {

struct ModalFixture : ControlsTest {
    TForm* Dialog = nullptr;
    TButton* Ok = nullptr;
    TButton* Cancel = nullptr;
    TEdit* Edit = nullptr;
    void SetUp() override {
        ControlsTest::SetUp();
        Dialog = NewForm();
        Dialog->SetName("Dialog");
        Dialog->SetBorderStyle(bsDialog);
        Dialog->SetClientSize(240, 100);
        Dialog->SetPosition(poScreenCenter);
        Edit = Make<TEdit>(Dialog, "Edit", Bounds(10, 10, 150, 21));
        Ok = Make<TButton>(Dialog, "Ok", Bounds(70, 60, 75, 25));
        Ok->SetCaption("OK");
        Ok->SetModalResult(mrOk);
        Ok->SetDefault(true);
        Cancel = Make<TButton>(Dialog, "Cancel", Bounds(155, 60, 75, 25));
        Cancel->SetCaption("Cancel");
        Cancel->SetModalResult(mrCancel);
        Cancel->SetCancel(true);
    }
    // Runs ShowModal with `script` executed once the dialog is up.
    int RunModal(std::function<void()> script) {
        Application->SetOnModalBegin(TNotifyEvent([script](TObject*) { script(); }));
        int r = Dialog->ShowModal();
        Application->SetOnModalBegin(nullptr);
        return r;
    }
};

TEST_F(ModalFixture, ScriptedClicksEndTheModalLoopWithTheButtonsResult) {
    struct Case {
        const char* name;
        std::function<void(ModalFixture&)> act;
        int result;
    };
    const Case cases[] = {
        {"click OK", [](ModalFixture& f) { f.ClickControl(f.Ok, 20, 10); }, mrOk},
        {"click Cancel", [](ModalFixture& f) { f.ClickControl(f.Cancel, 20, 10); }, mrCancel},
        {"click OK again", [](ModalFixture& f) { f.ClickControl(f.Ok, 20, 10); }, mrOk},
        {"close box", [](ModalFixture& f) { f.Dialog->Close(); }, mrCancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int r = RunModal([&] { c.act(*this); });
        EXPECT_EQ(r, c.result);
        EXPECT_FALSE(Dialog->GetVisible());
        EXPECT_EQ(Application->ModalLevel(), 0);
    }
    // Every loop ended by the script, none because input could not arrive.
    EXPECT_EQ(Application->AbandonedModalLoops(), 0);
}

TEST_F(ModalFixture, CloseQueryCanVetoClosing) {
    int asked = 0;
    bool allow = false;
    bool visibleAtVeto = false;
    Dialog->SetOnCloseQuery(TCloseQueryEvent([&](TObject*, bool& canClose) {
        ++asked;
        canClose = allow || asked > 1;
        if (asked == 1) {
            // Vetoed: the dialog stays up and the next scripted click answers it.
            visibleAtVeto = Dialog->GetVisible();
            TPoint p = Cancel->ClientToScreen({20, 10});
            Input::Click(p.X, p.Y);
        }
    }));
    int r = RunModal([&] { ClickControl(Ok, 20, 10); });
    EXPECT_EQ(r, mrCancel);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(visibleAtVeto);
    // Modeless Close honours the veto too.
    allow = false;
    asked = 5;
    Dialog->SetOnCloseQuery(TCloseQueryEvent([&](TObject*, bool& canClose) { canClose = allow; }));
    Dialog->Show();
    Dialog->Close();
    EXPECT_TRUE(Dialog->GetVisible());
    allow = true;
    Dialog->Close();
    EXPECT_FALSE(Dialog->GetVisible());
}

TEST_F(ModalFixture, CloseActions) {
    std::vector<std::string> log;
    TCloseAction next = caHide;
    Dialog->SetOnClose(TCloseEvent([&](TObject*, TCloseAction& a) {
        log.push_back("close");
        a = next;
    }));
    Dialog->SetOnHide(TNotifyEvent([&](TObject*) { log.push_back("hide"); }));
    Dialog->Show();
    next = caNone;
    Dialog->Close();
    EXPECT_TRUE(Dialog->GetVisible());
    next = caMinimize;
    Dialog->Close();
    EXPECT_EQ(Dialog->GetWindowState(), wsMinimized);
    Dialog->SetWindowState(wsNormal);
    next = caHide;
    Dialog->Close();
    EXPECT_FALSE(Dialog->GetVisible());
    EXPECT_EQ(log, (std::vector<std::string>{"close", "close", "close", "hide"}));
    // caFree: the form goes once the current message is done, never inside its own handler.
    bool destroyed = false;
    Dialog->SetOnDestroy(TNotifyEvent([&](TObject*) { destroyed = true; }));
    Dialog->Show();
    next = caFree;
    Untrack(Dialog);
    Dialog->Close();
    EXPECT_FALSE(destroyed);
    ProcessMessages();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(Screen->FormIndex(Dialog), -1);
}

TEST_F(ModalFixture, ReleaseFreesTheFormOnlyAfterItsOwnHandlerReturned) {
    // The button's click handler releases its own form, then keeps working with it, even running a
    // nested message loop: the form must outlive the handler and go right after it.
    bool destroyed = false;
    bool aliveAfterNestedLoop = false;
    std::string captionAfterRelease;
    Dialog->SetOnDestroy(TNotifyEvent([&](TObject*) { destroyed = true; }));
    Ok->SetModalResult(mrNone);
    Ok->SetOnClick(TNotifyEvent([&](TObject*) {
        Dialog->Release();
        Application->ProcessMessages();
        aliveAfterNestedLoop = !destroyed;
        captionAfterRelease = Ok->GetCaption();
        Dialog->SetCaption("still here");
    }));
    Untrack(Dialog);
    Dialog->Show();
    ProcessMessages();
    ClickControl(Ok, 20, 10);
    EXPECT_TRUE(aliveAfterNestedLoop);
    EXPECT_EQ(captionAfterRelease, "OK");
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(Screen->FormIndex(Dialog), -1);
}

TEST_F(ModalFixture, PostedReleaseMessageFreesTheFormAfterThatMessage) {
    bool destroyed = false;
    Dialog->SetOnDestroy(TNotifyEvent([&](TObject*) { destroyed = true; }));
    Untrack(Dialog);
    Dialog->Show();
    PostMessage(Dialog->Handle(), CM_RELEASE, 0, 0);
    EXPECT_FALSE(destroyed);
    ProcessMessages();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(Screen->FormIndex(Dialog), -1);
}

TEST_F(ModalFixture, ShowModalOfAVisibleFormIsRefused) {
    Dialog->Show();
    EXPECT_THROW(Dialog->ShowModal(), EInvalidOperation);
}

TEST_F(ModalFixture, OtherFormsTakeNoInputWhileModal) {
    auto* main = NewForm();
    main->SetName("MainF");
    auto* b = Make<TButton>(main, "MainButton", Bounds(10, 10, 75, 25));
    int clicks = 0;
    b->SetOnClick(TNotifyEvent([&](TObject*) { ++clicks; }));
    main->SetBounds(0, 0, 200, 120);
    main->Show();
    Dialog->SetLeft(400);
    Dialog->SetPosition(poDesigned);
    RunModal([&] {
        ClickControl(b, 20, 10);
        EXPECT_EQ(clicks, 0);
        ClickControl(Ok, 20, 10);
    });
    ClickControl(b, 20, 10);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ModalFixture, TerminatingEndsModalLoopsWithCancel) {
    int r = RunModal([&] { Application->Terminate(); });
    EXPECT_EQ(r, mrCancel);
}

TEST(MessageDialogs, CaptionsButtonsAndResults) {
    ControlsTestScope scope;
    EXPECT_STREQ(MsgDlgCaption(mtWarning), "Warning");
    EXPECT_STREQ(MsgDlgCaption(mtError), "Error");
    EXPECT_STREQ(MsgDlgCaption(mtInformation), "Information");
    EXPECT_STREQ(MsgDlgCaption(mtConfirmation), "Confirm");
    struct B {
        TMsgDlgBtn b;
        const char* caption;
        int result;
    };
    const B table[] = {{mbYes, "&Yes", mrYes},
                       {mbNo, "&No", mrNo},
                       {mbOK, "OK", mrOk},
                       {mbCancel, "Cancel", mrCancel},
                       {mbAbort, "&Abort", mrAbort},
                       {mbRetry, "&Retry", mrRetry},
                       {mbIgnore, "&Ignore", mrIgnore},
                       {mbAll, "&All", mrAll},
                       {mbNoToAll, "N&o to All", mrNoToAll},
                       {mbYesToAll, "Yes to &All", mrYesToAll},
                       {mbHelp, "&Help", 0}};
    for (const B& b : table) {
        EXPECT_STREQ(MsgDlgButtonCaption(b.b), b.caption);
        EXPECT_EQ(MsgDlgButtonResult(b.b), b.result);
    }
    std::unique_ptr<TForm> f(CreateMessageDialog("Delete it?", mtConfirmation, {mbYes, mbNo, mbCancel}));
    EXPECT_EQ(f->GetCaption(), "Confirm");
    auto* yes = dynamic_cast<TButton*>(f->FindComponent("Yes"));
    auto* no = dynamic_cast<TButton*>(f->FindComponent("No"));
    auto* cancel = dynamic_cast<TButton*>(f->FindComponent("Cancel"));
    ASSERT_TRUE(yes && no && cancel);
    EXPECT_LT(yes->GetLeft(), no->GetLeft());
    EXPECT_LT(no->GetLeft(), cancel->GetLeft());
    EXPECT_TRUE(yes->GetDefault());
    EXPECT_TRUE(cancel->GetCancel());
    EXPECT_EQ(dynamic_cast<TLabel*>(f->FindComponent("Message"))->GetCaption(), "Delete it?");
}

TEST(MessageDialogs, HookAnswersWithoutShowingOrByClicking) {
    ControlsTestScope scope;
    std::vector<std::string> seen;
    auto old = SetDialogHook([&](TDialogRequest& r) {
        seen.push_back(r.Kind + ":" + r.Caption + ":" + r.Text);
        return r.Type == mtConfirmation ? mrNo : -1;
    });
    EXPECT_EQ(MessageDlg("Save changes?", mtConfirmation, {mbYes, mbNo}, 0), mrNo);
    // Not answered by the hook: the dialog runs, and a scripted click on "Retry" ends it.
    Application->SetOnModalBegin(TNotifyEvent([&](TObject* form) {
        auto* retry = dynamic_cast<TControl*>(static_cast<TComponent*>(form)->FindComponent("Retry"));
        ASSERT_NE(retry, nullptr);
        scope.ClickControl(retry, 10, 10);
    }));
    EXPECT_EQ(MessageDlg("Disk not ready", mtError, mbAbortRetryIgnore, 0), mrRetry);
    Application->SetOnModalBegin(nullptr);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "MessageDlg:Confirm:Save changes?");
    EXPECT_EQ(seen[1], "MessageDlg:Error:Disk not ready");
    SetDialogHook(old);
}

TEST(MessageDialogs, KeyboardAnswersTheFirstDialogShown) {
    struct Case {
        const char* name;
        std::function<void(ControlsTestScope&)> keys;
        int result;
    };
    const Case cases[] = {
        {"Enter: the default button", [](ControlsTestScope& s) { s.PressKey(VK_RETURN); }, mrYes},
        {"Esc: the cancel button", [](ControlsTestScope& s) { s.PressKey(VK_ESCAPE); }, mrCancel},
        {"Alt accelerator", [](ControlsTestScope& s) { s.AltKey('n'); }, mrNo},
        {"Tab, then Enter on the focused button",
         [](ControlsTestScope& s) {
             s.PressKey(VK_TAB);
             s.PressKey(VK_RETURN);
         },
         mrNo},
        {"queued before the dialog is up", [](ControlsTestScope&) { Input::Key(VK_ESCAPE); }, mrCancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each dialog is a new form: every run is its first ShowModal.
        ControlsTestScope scope;
        Application->SetOnModalBegin(TNotifyEvent([&](TObject*) { c.keys(scope); }));
        EXPECT_EQ(MessageDlg("Save changes?", mtConfirmation, {mbYes, mbNo, mbCancel}, 0), c.result);
        Application->SetOnModalBegin(nullptr);
        EXPECT_EQ(Application->AbandonedModalLoops(), 0);
    }
}

TEST(MessageDialogs, InputQueryKeepsTheValueOnCancel) {
    ControlsTestScope scope;
    Application->SetOnModalBegin(TNotifyEvent([&](TObject*) {
        scope.TypeText("Blue");
        scope.PressKey(VK_RETURN);
    }));
    std::string v = "Red";
    EXPECT_TRUE(InputQuery("Colour", "Favourite colour:", v));
    EXPECT_EQ(v, "Blue");
    Application->SetOnModalBegin(TNotifyEvent([&](TObject*) {
        scope.TypeText("Green");
        scope.PressKey(VK_ESCAPE);
    }));
    EXPECT_FALSE(InputQuery("Colour", "Favourite colour:", v));
    EXPECT_EQ(v, "Blue");
    EXPECT_EQ(InputBox("Colour", "Favourite colour:", "Grey"), "Grey");
    Application->SetOnModalBegin(nullptr);
}

TEST(MessageDialogs, UsableBeforeInitialize) {
    ControlsTestScope scope;
    ASSERT_NE(Application, nullptr);
    auto old = SetDialogHook([](TDialogRequest& r) {
        EXPECT_NE(r.Form, nullptr);
        return mrOk;
    });
    EXPECT_EQ(MessageDlg("Sorry, this sample requires a higher color resolution.", mtWarning, {mbOK}, 0),
              mrOk);
    ShowMessage("Edit button clicked");
    SetDialogHook(old);
}

} // namespace
} // namespace qel
