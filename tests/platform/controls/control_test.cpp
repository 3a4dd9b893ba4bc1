// Control properties, notifications, message dispatch, painting and the application object.
#include <gtest/gtest.h>

#include "platform/controls/dialogs.h"
#include "platform/core/clock.h"
#include "tests/platform/controls/harness.h"

namespace qel {
namespace {

// A control that records the notifications it receives.
class TProbe : public TCustomControl {
public:
    explicit TProbe(TComponent* owner) : TCustomControl(owner) { SetBounds(0, 0, 40, 30); }
    std::vector<std::string> Seen;
    int Paints = 0;
    void Dispatch(TMessage& m) override {
        switch (m.Msg) {
        case CM_MOUSEENTER: Seen.push_back("enter"); break;
        case CM_MOUSELEAVE: Seen.push_back("leave"); break;
        case CM_ENABLEDCHANGED: Seen.push_back("enabled"); break;
        case CM_VISIBLECHANGED: Seen.push_back("visible"); break;
        case CM_FONTCHANGED: Seen.push_back("font"); break;
        case CM_COLORCHANGED: Seen.push_back("colour"); break;
        case CM_TEXTCHANGED: Seen.push_back("text"); break;
        case CM_SHOWINGCHANGED: Seen.push_back("showing"); break;
        case CM_HINTSHOW: Seen.push_back("hintshow"); break;
        default: break;
        }
        TCustomControl::Dispatch(m);
    }

protected:
    void Paint() override {
        ++Paints;
        Canvas()->GetBrush()->SetColor(clRed);
        Canvas()->FillRect(ClientRect());
    }
};

struct ControlFixture : ControlsTest {
    TForm* Form = nullptr;
    void SetUp() override {
        ControlsTest::SetUp();
        Form = NewForm();
        Form->SetBounds(50, 50, 300, 200);
    }
};

TEST_F(ControlFixture, NotificationsOnStateChanges) {
    auto* p = new TProbe(Form);
    p->SetParent(Form);
    p->Seen.clear();
    p->SetEnabled(false);
    p->SetEnabled(false); // no change, no notification
    p->SetColor(clLime);
    p->SetText("abc");
    p->SetText("abc");
    p->GetFont()->SetHeight(-20);
    p->SetVisible(false);
    std::vector<std::string> want{"enabled", "colour", "text", "font", "visible"};
    EXPECT_EQ(p->Seen, want);
    EXPECT_FALSE(p->GetParentFont());
    EXPECT_FALSE(p->GetParentColor());
}

TEST_F(ControlFixture, ParentFontColourAndHintFollowTheParent) {
    auto* panel = Make<TPanel>(Form, "Panel", Bounds(0, 0, 100, 100));
    auto* label = new TLabel(Form);
    label->SetParent(panel);
    panel->SetParentColor(false);
    panel->SetColor(clAqua);
    EXPECT_EQ(label->GetColor(), clAqua);
    Form->GetFont()->SetName("Arial");
    EXPECT_EQ(label->GetFont()->GetName(), "Arial");
    label->GetFont()->SetHeight(-20);
    EXPECT_FALSE(label->GetParentFont());
    Form->GetFont()->SetName("Courier New");
    EXPECT_EQ(label->GetFont()->GetName(), "Arial"); // no longer follows
    label->SetParentFont(true);
    EXPECT_EQ(label->GetFont()->GetName(), "Courier New");
    Form->SetShowHint(true);
    EXPECT_TRUE(label->GetShowHint());
    label->SetShowHint(false);
    EXPECT_FALSE(label->GetParentShowHint());
}

TEST_F(ControlFixture, CaptionFollowsRenamesWhileItEqualsTheName) {
    auto* b = new TButton(Form);
    b->SetName("Button1");
    EXPECT_EQ(b->GetCaption(), "Button1");
    b->SetName("OkButton");
    EXPECT_EQ(b->GetCaption(), "OkButton");
    b->SetCaption("OK");
    b->SetName("Other");
    EXPECT_EQ(b->GetCaption(), "OK");
    auto* p = new TPanel(Form);
    p->SetControlStyle(p->GetControlStyle() - csSetCaption);
    p->SetName("Panel9");
    EXPECT_EQ(p->GetCaption(), "");
}

TEST_F(ControlFixture, WindowProcCanBeSubclassedAndPerformDispatches) {
    auto* p = new TProbe(Form);
    p->SetParent(Form);
    TWindowProc old = p->GetWindowProc();
    int custom = 0;
    p->SetWindowProc(TWindowProc([&, old](TMessage& m) {
        if (m.Msg == WM_USER + 7) {
            ++custom;
            m.Result = 42;
            return;
        }
        old(m);
    }));
    EXPECT_EQ(p->Perform(WM_USER + 7, 0, 0), 42);
    EXPECT_EQ(custom, 1);
    p->Seen.clear();
    p->Perform(CM_MOUSEENTER);
    EXPECT_EQ(p->Seen, std::vector<std::string>{"enter"});
    p->SetWindowProc(nullptr); // back to the control's own
    EXPECT_EQ(p->Perform(WM_USER + 7, 0, 0), 0);
    EXPECT_EQ(custom, 1);
}

TEST_F(ControlFixture, HandlesAreLazyAndSurviveRecreation) {
    auto* e = Make<TEdit>(Form, "E", Bounds(10, 10, 100, 21));
    EXPECT_FALSE(e->HandleAllocated());
    EXPECT_FALSE(Form->HandleAllocated());
    Form->Show();
    EXPECT_TRUE(Form->HandleAllocated());
    EXPECT_TRUE(e->HandleAllocated());
    e->SetText("kept");
    HWND before = e->Handle();
    e->RecreateWnd();
    EXPECT_TRUE(e->HandleAllocated());
    EXPECT_NE(e->Handle(), before);
    EXPECT_EQ(e->GetText(), "kept");
    EXPECT_EQ(TWinControl::FindControl(e->Handle()), e);
    EXPECT_EQ(TWinControl::FindControl(before), nullptr);
}

TEST_F(ControlFixture, ShowingFollowsVisibilityUpTheChain) {
    auto* panel = Make<TPanel>(Form, "Panel", Bounds(0, 0, 100, 100));
    auto* p = new TProbe(Form);
    p->SetParent(panel);
    EXPECT_FALSE(p->Showing());
    Form->Show();
    EXPECT_TRUE(p->Showing());
    p->Seen.clear();
    panel->Hide();
    EXPECT_FALSE(p->Showing());
    EXPECT_EQ(p->Seen, std::vector<std::string>{"showing"});
    panel->Show();
    EXPECT_TRUE(p->Showing());
}

TEST_F(ControlFixture, PaintingGoesThroughTheCanvasAndReachesTheScreen) {
    auto* p = new TProbe(Form);
    p->SetParent(Form);
    p->SetBounds(20, 30, 40, 25);
    Form->Show();
    ProcessMessages();
    EXPECT_GE(p->Paints, 1);
    EXPECT_EQ(PixelAt(p, 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelAt(p, 39, 24), 0xFF0000u);
    EXPECT_EQ(PixelAt(Form, 19, 30), 0xC0C0C0u);
    EXPECT_EQ(p->Canvas()->LockCount(), 0);
    int before = p->Paints;
    p->Invalidate();
    p->Update();
    EXPECT_EQ(p->Paints, before + 1);
}

TEST_F(ControlFixture, GraphicControlsPaintOnTheParentClippedToTheirBounds) {
    auto* l = new TLabel(Form);
    l->SetParent(Form);
    l->SetAutoSize(false);
    l->SetBounds(10, 10, 50, 20);
    l->SetColor(clYellow);
    l->SetCaption("");
    Form->Show();
    ProcessMessages();
    EXPECT_EQ(PixelAt(l, 0, 0), 0xFFFF00u);
    EXPECT_EQ(PixelAt(l, 49, 19), 0xFFFF00u);
    EXPECT_EQ(PixelAt(Form, 60, 10), 0xC0C0C0u);
    EXPECT_EQ(PixelAt(Form, 10, 30), 0xC0C0C0u);
}

TEST_F(ControlFixture, ClientAndScreenCoordinates) {
    auto* panel = Make<TPanel>(Form, "Panel", Bounds(10, 20, 100, 100));
    Form->Show();
    TPoint o = Form->ClientOrigin();
    EXPECT_EQ(panel->ClientToScreen({0, 0}), TPoint(o.X + 10, o.Y + 20));
    EXPECT_EQ(panel->ScreenToClient(panel->ClientToScreen({7, 9})), TPoint(7, 9));
    EXPECT_GT(o.X, Form->GetLeft()); // inside the frame
    EXPECT_GT(o.Y, Form->GetTop());  // below the caption
}

TEST_F(ControlFixture, ZOrderKeepsWindowedControlsAboveGraphicOnes) {
    auto* l1 = new TLabel(Form);
    l1->SetParent(Form);
    auto* e = new TEdit(Form);
    e->SetParent(Form);
    auto* l2 = new TLabel(Form);
    l2->SetParent(Form);
    EXPECT_EQ(Form->IndexOfControl(l1), 0);
    EXPECT_EQ(Form->IndexOfControl(l2), 1);
    EXPECT_EQ(Form->IndexOfControl(e), 2);
    l1->BringToFront();
    EXPECT_EQ(Form->IndexOfControl(l1), 1);
    e->SendToBack();
    EXPECT_EQ(Form->IndexOfControl(e), 2); // still above the graphic controls
}

TEST_F(ControlFixture, MouseEnterLeaveAndCapture) {
    auto* a = new TProbe(Form);
    a->SetParent(Form);
    a->SetBounds(10, 10, 40, 30);
    auto* b = new TProbe(Form);
    b->SetParent(Form);
    b->SetBounds(100, 10, 40, 30);
    Form->Show();
    ProcessMessages();
    MouseMoveTo(a, 5, 5);
    MouseMoveTo(b, 5, 5);
    EXPECT_EQ(a->Seen.back(), "leave");
    EXPECT_NE(std::find(a->Seen.begin(), a->Seen.end(), "enter"), a->Seen.end());
    EXPECT_EQ(b->Seen.back(), "enter");
    // A press captures: moves outside still reach the control.
    int moves = 0;
    a->SetOnMouseMove(TMouseMoveEvent([&](TObject*, TShiftState, int x, int) {
        if (x > 40) ++moves;
    }));
    MouseDown(a, 5, 5);
    EXPECT_TRUE(a->GetMouseCapture());
    MouseMoveTo(a, 120, 5);
    EXPECT_EQ(moves, 1);
    MouseUp(a, 120, 5);
    EXPECT_FALSE(a->GetMouseCapture());
}

TEST_F(ControlFixture, ClicksAndDoubleClicks) {
    auto* p = new TProbe(Form);
    p->SetParent(Form);
    std::string log;
    p->SetOnClick(TNotifyEvent([&](TObject*) { log += "c"; }));
    p->SetOnDblClick(TNotifyEvent([&](TObject*) { log += "d"; }));
    p->SetOnMouseDown(TMouseEvent([&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        log += b == mbLeft ? (s.Contains(ssDouble) ? "D" : "L") : "R";
        log += "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    }));
    Form->Show();
    ProcessMessages();
    ClickControl(p, 3, 4);
    EXPECT_EQ(log, "L(3,4)c");
    log.clear();
    DoubleClickControl(p, 3, 4);
    EXPECT_EQ(log, "L(3,4)cdD(3,4)c");
    log.clear();
    RightClickControl(p, 1, 2);
    EXPECT_EQ(log, "R(1,2)");
}

TEST_F(ControlFixture, HintsShowAfterThePauseOnTheClock) {
    auto* b = Make<TButton>(Form, "HintButton", Bounds(10, 10, 75, 25));
    b->SetHint("Press me|Presses the button");
    b->SetShowHint(true);
    Form->Show();
    ProcessMessages();
    std::string shown;
    Application->SetOnShowHint(TShowHintEvent([&](std::string& s, bool& canShow, THintInfo& info) {
        shown = s;
        EXPECT_EQ(info.HintControl, b);
    }));
    int hintEvents = 0;
    Application->SetOnHint(TNotifyEvent([&](TObject*) { ++hintEvents; }));
    MouseMoveTo(b, 5, 5);
    EXPECT_EQ(Application->GetHint(), "Presses the button");
    EXPECT_GE(hintEvents, 1);
    EXPECT_FALSE(Application->HintWindow() && Application->HintWindow()->IsHintShown());
    AdvanceClock(Application->GetHintPause() + 1);
    ProcessMessages();
    EXPECT_EQ(shown, "Press me");
    ASSERT_NE(Application->HintWindow(), nullptr);
    EXPECT_TRUE(Application->HintWindow()->IsHintShown());
    EXPECT_EQ(Application->HintWindow()->GetColor(), clInfoBk);
    AdvanceClock(Application->GetHintHidePause() + 1);
    ProcessMessages();
    EXPECT_FALSE(Application->HintWindow()->IsHintShown());
    Application->SetOnShowHint(nullptr);
    Application->SetOnHint(nullptr);
}

TEST_F(ControlFixture, TimerFiresOnTheManualClockOnly) {
    auto* t = new TTimer(Form);
    int ticks = 0;
    t->SetInterval(100);
    t->SetOnTimer(TNotifyEvent([&](TObject*) { ++ticks; }));
    ProcessMessages();
    EXPECT_EQ(ticks, 0);
    AdvanceClock(99);
    ProcessMessages();
    EXPECT_EQ(ticks, 0);
    AdvanceClock(1);
    ProcessMessages();
    EXPECT_EQ(ticks, 1);
    AdvanceClock(100);
    ProcessMessages();
    EXPECT_EQ(ticks, 2);
    t->SetEnabled(false);
    AdvanceClock(500);
    ProcessMessages();
    EXPECT_EQ(ticks, 2);
}

TEST_F(ControlFixture, ExceptionsInHandlersReachTheApplication) {
    std::string caught;
    Application->SetOnException(
        TExceptionEvent([&](TObject*, const std::exception& e) { caught = e.what(); }));
    auto* b = Make<TButton>(Form, "Thrower", Bounds(10, 10, 75, 25));
    b->SetOnClick(TNotifyEvent([](TObject*) { throw EInvalidOperation("boom"); }));
    Form->Show();
    ProcessMessages();
    ClickControl(b, 10, 10);
    EXPECT_EQ(caught, "boom");
    caught.clear();
    b->SetOnClick(TNotifyEvent([](TObject*) { Abort(); }));
    ClickControl(b, 10, 10);
    EXPECT_EQ(caught, ""); // silent
    Application->SetOnException(nullptr);
}

TEST_F(ControlFixture, MaximisedBoundsAreReadableAtOnce) {
    Form->SetBounds(30, 40, 200, 150);
    Form->Show();
    Form->SetWindowState(wsMaximized);
    TRect wa = Screen->WorkAreaRect();
    EXPECT_EQ(Form->BoundsRect(), wa);
    Form->SetWindowState(wsNormal);
    EXPECT_EQ(Form->BoundsRect(), Bounds(30, 40, 200, 150));
}

TEST_F(ControlFixture, ScreenCentredPositionAndScreenMetrics) {
    Form->SetPosition(poScreenCenter);
    Form->Show();
    EXPECT_EQ(Form->GetLeft(), (Screen->Width() - Form->GetWidth()) / 2);
    EXPECT_EQ(Form->GetTop(), (Screen->Height() - Form->GetHeight()) / 2);
    EXPECT_GE(Screen->MonitorCount(), 1);
    EXPECT_EQ(Screen->Monitors(0).BoundsRect, Rect(0, 0, Screen->Width(), Screen->Height()));
    EXPECT_GT(Screen->Fonts()->Count(), 0);
    EXPECT_EQ(Screen->PixelsPerInch(), 96);
    EXPECT_GE(Screen->FormIndex(Form), 0);
}

TEST_F(ControlFixture, PublishedPropertiesInThePlatformsOrder) {
    auto names = [](TClass cls) {
        std::vector<std::string> out;
        for (const TPropInfo* p : cls->Properties()) out.push_back(p->Name);
        return out;
    };
    auto pos = [](const std::vector<std::string>& v, const char* n) {
        return std::find(v.begin(), v.end(), n) - v.begin();
    };
    auto button = names(TButton::StaticClass());
    ASSERT_EQ(button[0], "Name");
    EXPECT_LT(pos(button, "Left"), pos(button, "Anchors"));
    EXPECT_LT(pos(button, "Cancel"), pos(button, "Caption"));
    EXPECT_LT(pos(button, "Default"), pos(button, "ModalResult"));
    EXPECT_LT(pos(button, "TabStop"), pos(button, "Visible"));
    EXPECT_LT(pos(button, "Visible"), pos(button, "OnClick"));
    auto panel = names(TPanel::StaticClass());
    EXPECT_LT(pos(panel, "BevelInner"), pos(panel, "BevelOuter"));
    EXPECT_LT(pos(panel, "BevelWidth"), pos(panel, "BorderStyle"));
    EXPECT_NE(pos(panel, "Locked"), static_cast<long>(panel.size()));
    EXPECT_NE(pos(panel, "FullRepaint"), static_cast<long>(panel.size()));
    // Graphic controls publish no tab order.
    auto label = names(TLabel::StaticClass());
    EXPECT_EQ(pos(label, "TabOrder"), static_cast<long>(label.size()));
}

// A memo's scroll bar takes its room once and shows from the start: inactive while the text fits,
// then with a range that follows the text and a position that follows the caret.
TEST_F(ControlFixture, MemoScrollBarShowsFromTheStartAndFollowsTheText) {
    auto* memo = new TMemo(Form);
    memo->SetParent(Form);
    memo->SetBounds(10, 10, 120, 80);
    memo->SetScrollBars(ssVertical);
    memo->SetText("short");
    Form->Show();
    ProcessMessages();
    const int sb = GetSystemMetrics(SM_CXVSCROLL);
    ASSERT_TRUE(memo->HandleAllocated());
    EXPECT_EQ(memo->GetClientWidth(), 120 - sb);
    const TScrollBarInfo& v = memo->GetScrollBarInfo(SB_VERT);
    EXPECT_TRUE(v.Visible);
    EXPECT_GT(v.Page, v.Max) << "text fits: nothing to scroll";

    memo->SetFocus();
    for (int i = 0; i < 20; ++i) {
        TypeText("line");
        PressKey(VK_RETURN);
    }
    ProcessMessages();
    EXPECT_EQ(memo->GetClientWidth(), 120 - sb) << "the bar's room is taken once";
    EXPECT_LE(v.Page, v.Max);
    EXPECT_EQ(v.Max, 20);
    EXPECT_EQ(v.Pos, memo->Perform(EM_GETFIRSTVISIBLELINE, 0, 0));
    EXPECT_GT(v.Pos, 0);
    memo->Perform(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(v.Pos, 0);

    memo->SetScrollBars(ssNone);
    ProcessMessages();
    EXPECT_FALSE(memo->GetScrollBarInfo(SB_VERT).Visible);
    EXPECT_EQ(memo->GetClientWidth(), 120);
}

} // namespace
} // namespace qel
