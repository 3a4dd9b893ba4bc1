#define QEL_TEST_ANIMATION_PUMP
#include <gtest/gtest.h>

#include <vector>

#include "effects/page_frame.h"
#include "tests/foundation/desktop_fixture.h"

namespace qel {

// A control that records every SetBounds with the tick count at which it happened.
class TBoundsRecorder : public TGraphicControl {
    QEL_CLASS(TBoundsRecorder, TGraphicControl)
    using TGraphicControl::TGraphicControl;
    struct Entry {
        TqelBounds Bounds;
        uint32_t Tick;
    };
    std::vector<Entry> Log;
    void SetBounds(int left, int top, int width, int height) override {
        Log.push_back({{left, top, width, height}, GetTickCount()});
        TGraphicControl::SetBounds(left, top, width, height);
    }
};
QEL_IMPLEMENT_CLASS(TBoundsRecorder)

// Hosted forms of the tests, counting how many exist.
class TPageTestForm : public TForm {
    QEL_CLASS(TPageTestForm, TForm)
    explicit TPageTestForm(TComponent* owner) : TForm(owner) { ++Alive; }
    ~TPageTestForm() override { --Alive; }
    static int Alive;
    bool AllowClose = true;
    int Activations = 0, Deactivations = 0;
    bool CloseQuery() override { return AllowClose && TForm::CloseQuery(); }
    void Dispatch(TMessage& m) override {
        if (m.Msg == CM_ACTIVATE) ++Activations;
        if (m.Msg == CM_DEACTIVATE) ++Deactivations;
        TForm::Dispatch(m);
    }
};
int TPageTestForm::Alive = 0;
class TPageTestFormB : public TPageTestForm {
    QEL_CLASS(TPageTestFormB, TPageTestForm)
    using TPageTestForm::TPageTestForm;
};
QEL_IMPLEMENT_CLASS(TPageTestForm)
QEL_IMPLEMENT_CLASS(TPageTestFormB)

namespace {

using testing_support::DesktopTest;

// ---- AnimateControl
// ----------------------------------------------------------------------------------------

struct StyleRow {
    TqelWindowAnimationStyle Style;
    TqelBounds Start; // for final (L=2, T=3, W=100, H=60) and start size (SW=10, SH=6)
};

const StyleRow kStyles[] = {
    {qwaMoveDown, {2, -57, 100, 60}},        {qwaMoveUp, {2, 60, 100, 60}},
    {qwaMoveRight, {-98, 3, 100, 60}},       {qwaMoveLeft, {100, 3, 100, 60}},
    {qwaMoveRightDown, {-98, -57, 100, 60}}, {qwaMoveRightUp, {-98, 60, 100, 60}},
    {qwaMoveLeftDown, {100, -57, 100, 60}},  {qwaMoveLeftUp, {100, 60, 100, 60}},
    {qwaSizeDown, {2, 3, 100, 6}},           {qwaSizeUp, {2, 54, 100, 6}},
    {qwaSizeRight, {2, 3, 10, 60}},          {qwaSizeLeft, {90, 3, 10, 60}},
    {qwaSizeRightDown, {2, 3, 10, 6}},       {qwaSizeRightUp, {2, 54, 10, 6}},
    {qwaSizeLeftDown, {90, 3, 10, 6}},       {qwaSizeLeftUp, {90, 54, 10, 6}},
};

class AnimateTest : public DesktopTest {};

TEST_F(AnimateTest, EveryStyleRecordsItsSetBoundsSequence) {
    const TqelBounds final{2, 3, 100, 60};
    const TqelBounds start{2, 3, 10, 6};
    for (const StyleRow& row : kStyles) {
        TBoundsRecorder rec(nullptr);
        EXPECT_EQ(AnimationStartBounds(row.Style, start, final), row.Start)
            << EnumInfo<TqelWindowAnimationStyle>().NameOf(row.Style);
        ASSERT_TRUE(AnimateControl(&rec, start, final, row.Style, 100, 3));
        ASSERT_EQ(rec.Log.size(), 4u);
        // Each step adds (final - start) div steps, truncated toward zero; then the final bounds exactly.
        TqelBounds cur = row.Start;
        for (int i = 0; i < 3; ++i) {
            cur.Left += (final.Left - row.Start.Left) / 3;
            cur.Top += (final.Top - row.Start.Top) / 3;
            cur.Width += (final.Width - row.Start.Width) / 3;
            cur.Height += (final.Height - row.Start.Height) / 3;
            EXPECT_EQ(rec.Log[static_cast<size_t>(i)].Bounds, cur) << row.Style << " step " << i;
        }
        EXPECT_EQ(rec.Log.back().Bounds, final);
    }
}

TEST_F(AnimateTest, TruncationTowardZeroForNegativeDistances) {
    TBoundsRecorder rec(nullptr);
    // MoveUp from top 60 to top 3 in 4 steps: -57 div 4 = -14 (not -15).
    AnimateControl(&rec, {2, 3, 10, 6}, {2, 3, 100, 60}, qwaMoveUp, 40, 4);
    ASSERT_EQ(rec.Log.size(), 5u);
    EXPECT_EQ(rec.Log[0].Bounds.Top, 46);
    EXPECT_EQ(rec.Log[3].Bounds.Top, 4);
    EXPECT_EQ(rec.Log[4].Bounds.Top, 3);
}

struct TimingRow {
    unsigned Steps, Time, StepTime;
};

TEST_F(AnimateTest, StepCountAndTimingOnTheManualClock) {
    for (TimingRow row : {TimingRow{20, 250, 12}, TimingRow{3, 1000, 333}, TimingRow{5, 500, 100}}) {
        TBoundsRecorder rec(nullptr);
        uint32_t t0 = Now();
        AnimateControl(&rec, {0, 0, 0, 0}, {0, 0, 200, 100}, qwaMoveDown, row.Time, row.Steps);
        ASSERT_EQ(rec.Log.size(), row.Steps + 1);
        for (unsigned i = 0; i < row.Steps; ++i) EXPECT_EQ(rec.Log[i].Tick, t0 + i * row.StepTime) << i;
        EXPECT_EQ(rec.Log.back().Tick, t0 + row.Steps * row.StepTime);
    }
}

TEST_F(AnimateTest, NoStepsOrNoStylePlacesAtOnce) {
    for (auto [style, steps] : {std::pair{qwaMoveDown, 0u}, std::pair{qwaNone, 20u}}) {
        TBoundsRecorder rec(nullptr);
        uint32_t t0 = Now();
        AnimateControl(&rec, {0, 0, 0, 0}, {5, 6, 70, 80}, style, 250, steps);
        ASSERT_EQ(rec.Log.size(), 1u);
        EXPECT_EQ(rec.Log[0].Bounds, (TqelBounds{5, 6, 70, 80}));
        EXPECT_EQ(Now(), t0);
    }
}

TEST_F(AnimateTest, StopsWhenTheControlIsDestroyedDuringAStep) {
    auto* rec = new TBoundsRecorder(nullptr);
    int turns = 0;
    SetAnimationPump([&](uint32_t deadline) {
        if (++turns == 2) {
            delete rec;
            rec = nullptr;
        }
        while (deadline > GetTickCount()) (*FClock)->Advance(1);
    });
    EXPECT_FALSE(AnimateControl(rec, {0, 0, 0, 0}, {0, 0, 100, 100}, qwaMoveDown, 100, 5));
    EXPECT_EQ(turns, 2);
}

// ---- frames and pages
// ------------------------------------------------------------------------------------------

class PageFrameTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        TPageTestForm::Alive = 0;
        Host = static_cast<TForm*>(TCustomForm::CreateNew(Application));
        Host->SetBorderStyle(bsNone);
        Host->SetBounds(20, 20, 400, 300);
        Frame = new TqelAnimationFrame(Host);
        Frame->SetParent(Host);
        Frame->SetAlign(alClient);
        Frame->SetAnimationSteps(4);
        Frame->SetAnimationTime(100);
        Frame->SetOnChange([this](TObject*) { ++Changes; });
        for (int i = 0; i < 3; ++i) {
            auto* p = new TqelPage(Host);
            p->SetName("Page" + std::to_string(i));
            p->SetPageFrame(Frame);
            p->SetFormName(i == 1 ? "PageTestFormB" : "PageTestForm");
            P.push_back(p);
        }
    }
    void ShowHost() {
        Frame->SetActivePage(P[0]);
        Host->Show();
        Settle();
    }
    TForm* Host = nullptr;
    TqelAnimationFrame* Frame = nullptr;
    std::vector<TqelPage*> P;
    int Changes = 0;
};

TEST_F(PageFrameTest, ShowingAPageCreatesAndEmbedsItsFormAndDestroysTheOld) {
    ShowHost();
    ASSERT_NE(P[0]->Form(), nullptr);
    EXPECT_EQ(TPageTestForm::Alive, 1);
    EXPECT_EQ(P[0]->Form()->GetParent(), P[0]);
    EXPECT_EQ(dynamic_cast<TCustomForm*>(P[0]->Form())->GetBorderStyle(), bsNone);
    EXPECT_EQ(P[0]->Form()->BoundsRect(), P[0]->ClientRect());
    int before = Changes;
    uint32_t t0 = Now();
    Frame->SetActivePage(P[1]);
    EXPECT_EQ(Frame->GetActivePage(), P[1]);
    EXPECT_EQ(Changes, before + 1);
    EXPECT_GE(Now() - t0, 100u); // four steps of 25 ms
    EXPECT_EQ(P[0]->Form(), nullptr);
    ASSERT_NE(P[1]->Form(), nullptr);
    EXPECT_EQ(P[1]->Form()->ClassName(), "TPageTestFormB");
    EXPECT_EQ(TPageTestForm::Alive, 1);
    EXPECT_FALSE(P[0]->HandleAllocated());
    EXPECT_FALSE(P[0]->GetVisible());
    EXPECT_TRUE(P[1]->GetVisible());
    TRect inside = Frame->ClientRect();
    Frame->AdjustClientRect(inside);
    EXPECT_EQ(P[1]->BoundsRect(), inside);
}

TEST_F(PageFrameTest, TheActivePageOrAForeignPageChangesNothing) {
    ShowHost();
    int changing = 0;
    Frame->SetOnChanging([&](TObject*, TqelPage*, bool&) { ++changing; });
    TScrollingWinControl* form = P[0]->Form();
    uint32_t t0 = Now();
    int before = Changes;
    Frame->SetActivePage(P[0]);
    auto* other = new TqelAnimationFrame(Host);
    other->SetParent(Host);
    auto* foreign = new TqelPage(Host);
    foreign->SetPageFrame(other);
    Frame->SetActivePage(foreign);
    EXPECT_EQ(Frame->GetActivePage(), P[0]);
    EXPECT_EQ(P[0]->Form(), form);
    EXPECT_EQ(Changes, before);
    EXPECT_EQ(changing, 0);
    EXPECT_EQ(Now(), t0);
}

TEST_F(PageFrameTest, VetoesLeaveTheOldPageActive) {
    ShowHost();
    auto* form = dynamic_cast<TPageTestForm*>(P[0]->Form());
    ASSERT_NE(form, nullptr);
    form->AllowClose = false;
    Frame->SetActivePage(P[1]);
    EXPECT_EQ(Frame->GetActivePage(), P[0]);
    EXPECT_EQ(P[0]->Form(), form);
    form->AllowClose = true;
    Frame->SetOnChanging([](TObject*, TqelPage* page, bool& allow) { allow = page->GetName() != "Page1"; });
    Frame->SetActivePage(P[1]);
    EXPECT_EQ(Frame->GetActivePage(), P[0]);
    Frame->SetActivePage(P[2]);
    EXPECT_EQ(Frame->GetActivePage(), P[2]);
    // OnFormChanging vetoes a new form name for the hosted form.
    P[2]->SetOnFormChanging(
        [](TObject*, const std::string& name, bool& allow) { allow = name != "PageTestFormB"; });
    P[2]->SetFormName("PageTestFormB");
    EXPECT_EQ(P[2]->GetFormName(), "PageTestForm");
    EXPECT_EQ(P[2]->Form()->ClassName(), "TPageTestForm");
}

TEST_F(PageFrameTest, WithoutDestroyTheFormIsKeptAndItsWindowRecreated) {
    P[0]->SetFormActions({qfaCreate, qfaDeactivate, qfaHide});
    EXPECT_FALSE(P[0]->GetAutoDestroy());
    ShowHost();
    auto* form = dynamic_cast<TPageTestForm*>(P[0]->Form());
    ASSERT_NE(form, nullptr);
    Frame->SetActivePage(P[1]);
    EXPECT_EQ(P[0]->Form(), form);
    EXPECT_EQ(form->Deactivations, 1);
    EXPECT_FALSE(form->HandleAllocated());
    EXPECT_EQ(TPageTestForm::Alive, 2);
    Frame->SetActivePage(P[0]);
    EXPECT_EQ(P[0]->Form(), form);
    EXPECT_TRUE(form->HandleAllocated());
    EXPECT_TRUE(form->Showing());
    EXPECT_EQ(TPageTestForm::Alive, 1); // P[1]'s was destroyed, P[0]'s kept
}

TEST_F(PageFrameTest, ActivateActionActivatesTheForm) {
    P[1]->SetFormActions(DefaultSubFormActions);
    ShowHost();
    Frame->SetActivePage(P[1]);
    auto* form = dynamic_cast<TPageTestForm*>(P[1]->Form());
    ASSERT_NE(form, nullptr);
    EXPECT_GE(form->Activations, 1);
}

TEST_F(PageFrameTest, FormNameErrors) {
    ShowHost();
    auto* page = new TqelPage(Host);
    page->SetPageFrame(Frame);
    try {
        page->NewForm();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "FormName expected");
    }
    EXPECT_THROW(page->FindExistingForm(), Exception);
    page->SetFormName("NoSuchDemoForm");
    EXPECT_THROW(Frame->SetActivePage(page), EClassNotFound);
}

TEST_F(PageFrameTest, PageIndexMovesAndRejects) {
    EXPECT_EQ(P[2]->GetPageIndex(), 2);
    P[2]->SetPageIndex(0);
    EXPECT_EQ(Frame->Pages(0), P[2]);
    EXPECT_EQ(P[0]->GetPageIndex(), 1);
    try {
        P[0]->SetPageIndex(5);
        FAIL() << "no exception";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "5 is an invalid PageIndex value.  PageIndex must be between 0 and 2");
    }
    EXPECT_THROW(P[0]->SetPageIndex(-1), EListError);
}

TEST_F(PageFrameTest, RemovingAPageSelectsThePageAtItsIndex) {
    ShowHost();
    Frame->SetActivePage(P[2]);
    delete P[0]; // not the active page: the page now at index 0 becomes active
    EXPECT_EQ(Frame->PageCount(), 2);
    EXPECT_EQ(Frame->GetActivePage(), P[1]);
    delete P[2]; // the last page: the new last one
    EXPECT_EQ(Frame->GetActivePage(), P[1]);
    EXPECT_EQ(Frame->PageCount(), 1);
    delete P[1];
    EXPECT_EQ(Frame->GetActivePage(), nullptr);
    EXPECT_EQ(TPageTestForm::Alive, 0);
}

TEST_F(PageFrameTest, PagesLiveOnlyInFramesAndContentRectFollowsTheEdges) {
    auto* panel = new TPanel(Host);
    panel->SetParent(Host);
    EXPECT_THROW(P[0]->SetParent(panel), EAbort);
    EXPECT_EQ(P[0]->GetParent(), Frame);
    Frame->SetAlign(alNone);
    Frame->SetBounds(0, 0, 200, 100);
    Frame->SetBevelWidth(2);
    Frame->SetBorderWidth(1);
    EXPECT_EQ(Frame->ContentRect(), (TRect{3, 3, 197, 97}));
    Frame->SetBevelEdges({beTop});
    EXPECT_EQ(Frame->ContentRect(), (TRect{0, 3, 200, 100}));
    Frame->SetBevelOuter(bvNone);
    EXPECT_EQ(Frame->ContentRect(), (TRect{0, 1, 200, 100}));
}

TEST_F(PageFrameTest, MoveUpStartsTheNewPageAtTheContentHeight) {
    Frame->SetBevelOuter(bvNone);
    Frame->SetAnimation(qwaMoveUp);
    ShowHost();
    std::vector<int> tops;
    int turns = 0;
    SetAnimationPump([&](uint32_t deadline) {
        if (turns++ == 0) tops.push_back(P[1]->GetTop());
        while (deadline > GetTickCount()) (*FClock)->Advance(1);
    });
    Frame->SetActivePage(P[1]);
    ASSERT_EQ(tops.size(), 1u);
    // Start top = content height (300), first step moves by -300 div 4.
    EXPECT_EQ(tops[0], 300 - 75);
    EXPECT_EQ(P[1]->GetTop(), 0);
}

TEST_F(PageFrameTest, DockingMakesAPageForTheControl) {
    ShowHost();
    auto* panel = new TPanel(Host);
    panel->SetParent(Host);
    TqelPage* page = Frame->DockClient(panel);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Owner(), Frame);
    EXPECT_EQ(panel->GetParent(), page);
    EXPECT_EQ(panel->GetAlign(), alClient);
    EXPECT_EQ(Frame->GetActivePage(), page);
    EXPECT_EQ(Frame->DockClient(panel), nullptr); // already docked here
    panel->SetCaption("First line\nsecond");
    Frame->DockClientChanged(panel);
    EXPECT_EQ(page->GetCaption(), "First line");
    int count = Frame->PageCount();
    Frame->UndockClient(panel);
    EXPECT_EQ(panel->GetParent(), nullptr);
    EXPECT_EQ(panel->GetAlign(), alNone);
    EXPECT_EQ(Frame->PageCount(), count - 1);
    delete panel;
}

} // namespace
} // namespace qel
