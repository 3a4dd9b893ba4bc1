#define QEL_TEST_ANIMATION_PUMP
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "effects/page_frame.h"
#include "platform/controls/stdctrls.h"
#include "platform/core/filer.h"
#include "tests/effects/transition/clock_driver.h"
#include "tests/foundation/desktop_fixture.h"

namespace qel {

// Hosted forms of the transition tests.
class TPageFxForm : public TForm {
    QEL_CLASS(TPageFxForm, TForm)
    explicit TPageFxForm(TComponent* owner) : TForm(owner) { SetColor(static_cast<TColor>(0x00CC8844)); }
};
class TPageFxFormB : public TPageFxForm {
    QEL_CLASS(TPageFxFormB, TPageFxForm)
    explicit TPageFxFormB(TComponent* owner) : TPageFxForm(owner) {
        SetColor(static_cast<TColor>(0x004488CC));
    }
};
QEL_IMPLEMENT_CLASS(TPageFxForm)
QEL_IMPLEMENT_CLASS(TPageFxFormB)

namespace {

using testing_support::DesktopTest;
using testing_support::TClockDriver;

const TColor kPageColors[] = {static_cast<TColor>(0x000000C0), static_cast<TColor>(0x0000C000),
                              static_cast<TColor>(0x00C00000)};

// Whether two bitmaps of the same size hold the same pixels.
bool SamePixels(TBitmap* a, TBitmap* b) {
    if (a->GetWidth() != b->GetWidth() || a->GetHeight() != b->GetHeight()) return false;
    for (int y = 0; y < a->GetHeight(); ++y)
        for (int x = 0; x < a->GetWidth(); ++x)
            if (a->GetCanvas()->GetPixel(x, y) != b->GetCanvas()->GetPixel(x, y)) return false;
    return true;
}

class PageTransitionTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        RegisterClasses({TPageFxForm::StaticClass(), TPageFxFormB::StaticClass()});
        Driver = std::make_unique<TClockDriver>(**FClock);
        Host = static_cast<TForm*>(TCustomForm::CreateNew(Application));
        Host->SetBorderStyle(bsNone);
        Host->SetBounds(20, 20, 400, 300);
        Frame = new TqelAnimationFrame(Host);
        Frame->SetParent(Host);
        Frame->SetAlign(alClient);
        Frame->SetAnimationSteps(4);
        Frame->SetAnimationTime(100);
        TqelTransition* ft = Frame->GetTransition();
        ft->SetEffect(qtfWipeDown);
        ft->SetEffectSpeed(40);
        ft->SetOnEffectEnd([this](TObject*) {
            ++FrameEnds;
            if (OnFrameEnd) OnFrameEnd();
        });
        for (int i = 0; i < 3; ++i) {
            auto* p = new TqelPage(Host);
            p->SetName("Page" + std::to_string(i));
            p->SetPageFrame(Frame);
            p->SetColor(kPageColors[i]);
            TqelTransition* pt = p->GetTransition();
            pt->SetEffect(qtfWipeRight);
            pt->SetEffectSpeed(40);
            pt->SetOnEffectEnd([this, i](TObject*) { ++PageEnds[static_cast<size_t>(i)]; });
            p->SetParentTransition(true);
            P.push_back(p);
        }
    }
    void TearDown() override {
        Driver.reset();
        DesktopTest::TearDown();
    }
    void ShowHost() {
        Frame->SetActivePage(P[0]);
        Host->Show();
        Settle();
        ResetCounts();
    }
    void ResetCounts() {
        FrameEnds = 0;
        PageEnds = {0, 0, 0};
    }
    std::unique_ptr<TClockDriver> Driver;
    TForm* Host = nullptr;
    TqelAnimationFrame* Frame = nullptr;
    std::vector<TqelPage*> P;
    int FrameEnds = 0;
    std::vector<int> PageEnds = {0, 0, 0};
    std::function<void()> OnFrameEnd;
};

// ---- the choice between transition and window animation
// ----------------------------------------------------

enum class Played { Frame, Page, Window, Nothing };

TEST_F(PageTransitionTest, DecisionTable) {
    struct Row {
        const char* What;
        bool FrameEnabled, FrameShowing, ParentTransition, PageEnabled, Loading;
        bool Applies;
        Played Expect;
    };
    const Row rows[] = {
        {"frame enabled", true, true, true, false, false, true, Played::Frame},
        {"frame enabled, page's own enabled but unused", true, true, true, true, false, true, Played::Frame},
        // The page's own effect plays even though it is not enabled.
        {"frame enabled, page's own disabled", true, true, false, false, false, true, Played::Page},
        {"frame enabled, page's own enabled", true, true, false, true, false, true, Played::Page},
        {"frame disabled, page's own enabled", false, true, false, true, false, true, Played::Page},
        {"frame disabled, page's own disabled", false, true, false, false, false, false, Played::Window},
        {"frame disabled, page uses the frame's", false, true, true, true, false, false, Played::Window},
        // Not showing: the page's own transition does not apply; the frame's applies but shows nothing.
        {"hidden frame, page's own enabled", false, false, false, true, false, false, Played::Nothing},
        {"hidden frame, frame enabled", true, false, true, false, false, true, Played::Nothing},
        {"loading", true, true, true, false, true, false, Played::Nothing},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.What);
        ShowHost();
        TqelPage* page = P[1];
        Frame->GetTransition()->SetEnabled(row.FrameEnabled);
        page->GetTransition()->SetEnabled(row.PageEnabled);
        page->SetParentTransition(row.ParentTransition);
        if (!row.FrameShowing) Host->Hide();
        if (row.Loading) Frame->IncludeState(csLoading);
        EXPECT_EQ(Frame->TransitionApplies(page), row.Applies);
        const uint32_t t0 = Now();
        Frame->SetActivePage(page);
        const uint32_t elapsed = Now() - t0;
        if (row.Loading) Frame->ExcludeState(csLoading);
        EXPECT_EQ(Frame->GetActivePage(), page);
        EXPECT_EQ(page->GetAlign(), alClient);
        if (!row.Loading) {
            EXPECT_EQ(page->BoundsRect(), Frame->ContentRect());
        }
        switch (row.Expect) {
        case Played::Frame:
            EXPECT_EQ(FrameEnds, 1);
            EXPECT_EQ(PageEnds[1], 0);
            break;
        case Played::Page:
            EXPECT_EQ(FrameEnds, 0);
            EXPECT_EQ(PageEnds[1], 1);
            break;
        case Played::Window:
            EXPECT_EQ(FrameEnds + PageEnds[1], 0);
            EXPECT_GE(elapsed, 100u); // four animation steps of 25 ms
            break;
        case Played::Nothing: EXPECT_EQ(FrameEnds + PageEnds[1], 0); break;
        }
        // Playing never flips the page's choice.
        EXPECT_EQ(page->GetParentTransition(), row.ParentTransition);
        EXPECT_FALSE(Frame->ShowingSnapshot());
        Host->Show();
        Frame->SetActivePage(P[0]);
        Settle();
        ResetCounts();
    }
}

TEST_F(PageTransitionTest, OwnEffectOfOnePageOnlyWhileTheFrameIsDisabled) {
    ShowHost();
    P[1]->GetTransition()->SetEnabled(true); // also makes the page use its own transition
    EXPECT_FALSE(P[1]->GetParentTransition());
    Frame->SetActivePage(P[1]);
    EXPECT_EQ(PageEnds[1], 1);
    const uint32_t t0 = Now();
    Frame->SetActivePage(P[2]);
    EXPECT_GE(Now() - t0, 100u);
    EXPECT_EQ(PageEnds, (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(FrameEnds, 0);
}

TEST_F(PageTransitionTest, AnyChangeOfThePagesOwnTransitionClearsParentTransition) {
    const std::vector<std::function<void(TqelTransition*)>> changes = {
        [](TqelTransition* t) { t->SetEffect(qtfPourDown); },
        [](TqelTransition* t) {
            t->SetEffectSelection({1, 2});
        },
        [](TqelTransition* t) { t->SetEffectSize(2); },
        [](TqelTransition* t) { t->SetEffectSpeed(100); },
        [](TqelTransition* t) { t->SetEnabled(true); },
        [](TqelTransition* t) { t->SetNoRedraw(true); },
        [](TqelTransition* t) {
            TqelTransition other;
            t->Assign(&other);
        },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        SCOPED_TRACE(i);
        P[0]->SetParentTransition(true);
        changes[i](P[0]->GetTransition());
        EXPECT_FALSE(P[0]->GetParentTransition());
    }
    // Setting a value it already has is no change.
    P[0]->SetParentTransition(true);
    P[0]->GetTransition()->SetEffectSpeed(P[0]->GetTransition()->GetEffectSpeed());
    EXPECT_TRUE(P[0]->GetParentTransition());
}

TEST_F(PageTransitionTest, SetTransitionCopiesSettingsButKeepsThePagesCancelQuery) {
    TqelTransition source;
    source.SetEffect(qtfCoverDown);
    source.SetEnabled(true);
    bool askedSource = false;
    source.SetOnCancel([&](TObject*, bool&) { askedSource = true; });
    P[0]->SetTransition(&source);
    EXPECT_EQ(P[0]->GetTransition()->GetEffect(), qtfCoverDown);
    EXPECT_TRUE(P[0]->GetTransition()->GetEnabled());
    EXPECT_FALSE(P[0]->GetParentTransition());
    bool cancel = false;
    P[0]->GetTransition()->GetOnCancel()(P[0]->GetTransition(), cancel);
    EXPECT_FALSE(askedSource);
    EXPECT_FALSE(cancel);
}

// ---- the play itself
// -----------------------------------------------------------------------------------------

TEST_F(PageTransitionTest, NoRedrawLeavesTheEffectsLastPictureOnTheScreen) {
    auto* child = new TPanel(Host);
    child->SetParent(P[1]);
    child->SetBounds(30, 40, 100, 50);
    child->SetColor(static_cast<TColor>(0x0080FF80));
    ShowHost();
    Frame->GetTransition()->SetEnabled(true);
    Frame->GetTransition()->SetNoRedraw(true);
    Frame->SetActivePage(P[1]);
    ASSERT_EQ(FrameEnds, 1);
    EXPECT_EQ(P[1]->BoundsRect(), Frame->ContentRect());
    std::unique_ptr<TBitmap> painted = PaintControlToBitmap(P[1]);
    std::unique_ptr<TBitmap> screen = CaptureScreenRect(P[1]);
    EXPECT_TRUE(SamePixels(screen.get(), painted.get()));
    EXPECT_EQ(PixelAt(P[1], 35, 45), 0x80FF80u);
    EXPECT_EQ(PixelAt(P[1], 5, 5), 0x00C000u);
    Settle();
    screen = CaptureScreenRect(P[1]);
    EXPECT_TRUE(SamePixels(screen.get(), painted.get()));
}

TEST_F(PageTransitionTest, WindowFramesInsideThePageArePaintedOnceItIsInPlace) {
    // A memo with a border and a scroll bar: the page is printed while it waits outside the frame, and
    // after the move without redrawing its frame must look as a full repaint paints it.
    auto* memo = new TMemo(Host);
    memo->SetParent(P[1]);
    memo->SetBounds(20, 20, 120, 80);
    memo->SetScrollBars(ssVertical);
    ShowHost();
    Frame->GetTransition()->SetEnabled(true);
    Frame->GetTransition()->SetNoRedraw(true);
    Frame->SetActivePage(P[1]);
    ASSERT_EQ(FrameEnds, 1);
    std::unique_ptr<TBitmap> shown = CaptureScreenRect(memo);
    Settle();
    RedrawWindow(memo->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ERASE);
    std::unique_ptr<TBitmap> repainted = CaptureScreenRect(memo);
    // The border and the scroll bar (the client area may show the caret).
    TRect wr;
    GetWindowRect(memo->Handle(), &wr);
    const TPoint client = memo->ClientToScreen({0, 0});
    const TRect inner{client.X - wr.Left, client.Y - wr.Top, client.X - wr.Left + memo->GetClientWidth(),
                      client.Y - wr.Top + memo->GetClientHeight()};
    ASSERT_LT(inner.Width(), wr.Width() - 10); // there is a scroll bar
    int differ = 0, frame = 0;
    for (int y = 0; y < shown->GetHeight(); ++y)
        for (int x = 0; x < shown->GetWidth(); ++x)
            if (!inner.Contains({x, y})) {
                ++frame;
                differ += shown->GetCanvas()->GetPixel(x, y) != repainted->GetCanvas()->GetPixel(x, y);
            }
    EXPECT_GT(frame, 0);
    EXPECT_EQ(differ, 0);
}

TEST_F(PageTransitionTest, TheFramesBevelsStayUntouchedByStretchingEffects) {
    for (TqelTransitionEffect effect : {qtfZoomIn, qtfZoomOut, qtfBoxOut, qtfExpandCenter}) {
        SCOPED_TRACE(EffectIdentifier(effect));
        ShowHost();
        std::unique_ptr<TBitmap> before = CaptureScreenRect(Frame);
        Frame->GetTransition()->SetEnabled(true);
        Frame->GetTransition()->SetNoRedraw(true);
        Frame->GetTransition()->SetEffect(effect);
        Frame->SetActivePage(P[1]);
        ASSERT_EQ(FrameEnds, 1);
        std::unique_ptr<TBitmap> after = CaptureScreenRect(Frame);
        const int w = after->GetWidth(), h = after->GetHeight();
        int differ = 0;
        for (int x = 0; x < w; ++x)
            differ += (before->GetCanvas()->GetPixel(x, 0) != after->GetCanvas()->GetPixel(x, 0)) +
                      (before->GetCanvas()->GetPixel(x, h - 1) != after->GetCanvas()->GetPixel(x, h - 1));
        for (int y = 0; y < h; ++y)
            differ += (before->GetCanvas()->GetPixel(0, y) != after->GetCanvas()->GetPixel(0, y)) +
                      (before->GetCanvas()->GetPixel(w - 1, y) != after->GetCanvas()->GetPixel(w - 1, y));
        EXPECT_EQ(differ, 0);
        Frame->SetActivePage(P[0]);
        Frame->GetTransition()->SetEnabled(false);
        Settle();
        ResetCounts();
    }
}

TEST_F(PageTransitionTest, TheFrameShowsItsSnapshotWhileTheEffectPlays) {
    ShowHost();
    std::unique_ptr<TBitmap> oldPicture = CaptureScreenRect(Frame);
    Frame->GetTransition()->SetEnabled(true);
    bool showing = false, paintedOld = false, erased = true;
    intptr_t eraseResult = 0;
    OnFrameEnd = [&] {
        showing = Frame->ShowingSnapshot();
        std::unique_ptr<TBitmap> painted = PaintControlToBitmap(Frame);
        paintedOld = SamePixels(painted.get(), oldPicture.get());
        TBitmap marker(10, 10);
        marker.GetCanvas()->GetBrush()->SetColor(static_cast<TColor>(0x00123456));
        marker.GetCanvas()->FillRect(TRect{0, 0, 10, 10});
        eraseResult =
            Frame->Perform(WM_ERASEBKGND, reinterpret_cast<uintptr_t>(marker.GetCanvas()->GetHandle()), 0);
        erased = marker.GetCanvas()->GetPixel(5, 5) != static_cast<TColor>(0x00123456);
    };
    Frame->SetActivePage(P[2]);
    ASSERT_EQ(FrameEnds, 1);
    EXPECT_TRUE(showing);
    EXPECT_TRUE(paintedOld);
    EXPECT_EQ(eraseResult, 1);
    EXPECT_FALSE(erased);
    EXPECT_FALSE(Frame->ShowingSnapshot());
    // Afterwards the background is erased again.
    TBitmap marker(10, 10);
    marker.GetCanvas()->GetBrush()->SetColor(static_cast<TColor>(0x00123456));
    marker.GetCanvas()->FillRect(TRect{0, 0, 10, 10});
    Frame->Perform(WM_ERASEBKGND, reinterpret_cast<uintptr_t>(marker.GetCanvas()->GetHandle()), 0);
    EXPECT_NE(marker.GetCanvas()->GetPixel(5, 5), static_cast<TColor>(0x00123456));
}

TEST_F(PageTransitionTest, CancelQueries) {
    ShowHost();
    auto ask = [](TqelTransition* t) {
        bool cancel = false;
        t->GetOnCancel()(t, cancel);
        return cancel;
    };
    EXPECT_FALSE(ask(Frame->GetTransition()));
    EXPECT_FALSE(ask(P[0]->GetTransition()));
    Frame->SetVisible(false);
    EXPECT_TRUE(ask(Frame->GetTransition()));
    EXPECT_FALSE(ask(P[0]->GetTransition()));
    Frame->SetVisible(true);
    Host->Hide();
    EXPECT_TRUE(ask(Frame->GetTransition())); // on no screen
    Host->Show();
    Application->Terminate();
    EXPECT_TRUE(ask(Frame->GetTransition()));
    EXPECT_TRUE(ask(P[0]->GetTransition()));
    Application->ResetState();
    EXPECT_FALSE(ask(Frame->GetTransition()));
}

TEST_F(PageTransitionTest, HidingTheFrameDuringTheEffectStopsIt) {
    ShowHost();
    Frame->GetTransition()->SetEnabled(true);
    Frame->GetTransition()->SetEffectSpeed(400);
    // The frame's cancel query is asked between steps; hide the window at the first one.
    TqelCancelEvent frameQuery = Frame->GetTransition()->GetOnCancel();
    int queries = 0;
    Frame->GetTransition()->SetOnCancel([&](TObject* sender, bool& cancel) {
        if (++queries == 1) Host->Hide();
        frameQuery(sender, cancel);
    });
    const uint32_t t0 = Now();
    Frame->SetActivePage(P[1]);
    EXPECT_EQ(queries, 1);
    EXPECT_LT(Now() - t0, 400u);
    EXPECT_EQ(FrameEnds, 1); // the end notification comes when the stopped worker has ended
    EXPECT_EQ(Frame->GetActivePage(), P[1]);
    EXPECT_EQ(P[1]->BoundsRect(), Frame->ContentRect());
}

// ---- form changes inside a page
// ------------------------------------------------------------------------------

TEST_F(PageTransitionTest, FormChangeOfTheActivePagePlaysTheFramesTransition) {
    ShowHost();
    P[0]->SetFormName("PageFxForm");
    Settle();
    ASSERT_NE(P[0]->Form(), nullptr);
    ResetCounts();
    Frame->GetTransition()->SetEnabled(true);
    Frame->GetTransition()->SetNoRedraw(true);
    bool snapshotDuringPlay = false;
    OnFrameEnd = [&] { snapshotDuringPlay = P[0]->ShowingSnapshot(); };
    int formChanges = 0;
    P[0]->SetOnFormChange([&](TObject*) { ++formChanges; });
    P[0]->SetFormName("PageFxFormB");
    EXPECT_EQ(FrameEnds, 1);
    EXPECT_TRUE(snapshotDuringPlay);
    EXPECT_FALSE(P[0]->ShowingSnapshot());
    EXPECT_EQ(formChanges, 1);
    ASSERT_NE(P[0]->Form(), nullptr);
    EXPECT_EQ(P[0]->Form()->ClassName(), "TPageFxFormB");
    EXPECT_EQ(P[0]->Form()->BoundsRect(), P[0]->ClientRect());
    EXPECT_EQ(PixelAt(P[0], 10, 10), 0xCC8844u);
    // Emptying the page reveals the empty page with the effect too.
    snapshotDuringPlay = false;
    P[0]->SetFormName("");
    EXPECT_EQ(FrameEnds, 2);
    EXPECT_TRUE(snapshotDuringPlay);
    EXPECT_EQ(P[0]->Form(), nullptr);
    EXPECT_EQ(formChanges, 2);
    EXPECT_EQ(PixelAt(P[0], 10, 10), 0xC00000u);
    Settle();
    EXPECT_EQ(PixelAt(P[0], 10, 10), 0xC00000u);
}

TEST_F(PageTransitionTest, FormChangeWithoutAnEnabledTransitionPlaysNothing) {
    ShowHost();
    P[0]->SetFormName("PageFxForm");
    P[0]->SetFormName("PageFxFormB");
    P[0]->SetFormName("");
    EXPECT_EQ(FrameEnds + PageEnds[0], 0);
}

TEST_F(PageTransitionTest, APageChangePlaysTheFormsRevealOffScreenFirst) {
    // Each change to a page that hosts a form plays the frame's effect twice: once while the page
    // still waits outside the frame, then visibly.
    ShowHost();
    P[1]->SetFormName("PageFxForm");
    TqelTransition* ft = Frame->GetTransition();
    ft->SetEnabled(true);
    ft->SetEffect(qtfSelectionSequence);
    ft->SetEffectSelection({qtfWipeDown, qtfWipeUp, qtfWipeLeft, qtfWipeRight});
    Frame->SetActivePage(P[1]);
    EXPECT_EQ(FrameEnds, 2);
    EXPECT_EQ(ft->GetEffectSelIndex(), 1);
    ASSERT_NE(P[1]->Form(), nullptr);
    EXPECT_EQ(P[1]->Form()->BoundsRect(), P[1]->ClientRect());
    EXPECT_EQ(PixelAt(P[1], 10, 10), 0x4488CCu);
    // A page with its own (disabled) transition reveals its form without an effect, and the change
    // itself plays the page's own effect.
    P[2]->SetFormName("PageFxForm");
    P[2]->GetTransition()->SetEffect(qtfPourDown);
    ResetCounts();
    Frame->SetActivePage(P[2]);
    EXPECT_EQ(FrameEnds, 0);
    EXPECT_EQ(PageEnds[2], 1);
    EXPECT_EQ(ft->GetEffectSelIndex(), 1);
    EXPECT_FALSE(P[2]->GetParentTransition());
}

// ---- form files
// ----------------------------------------------------------------------------------------------

TEST_F(PageTransitionTest, PagesTransitionIsStoredOnlyWithoutParentTransition) {
    Host->SetName("HostForm");
    P[1]->GetTransition()->SetEffect(qtfPourDown);
    Frame->GetTransition()->SetEnabled(true);
    Frame->GetTransition()->SetEffectSelection({128, 84});
    std::string text = WriteComponent(Host);
    EXPECT_NE(text.find("ParentTransition = False"), std::string::npos) << text;
    EXPECT_NE(text.find("Transition.Effect = qtfPourDown"), std::string::npos) << text;
    std::string flat;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n';
        if (!(blank && !flat.empty() && flat.back() == ' ')) flat += blank ? ' ' : c;
    }
    EXPECT_NE(flat.find("Transition.EffectSelections = ( 128 84)"), std::string::npos) << text;
    // Page0 and Page2 use the frame's: their (changed) settings are not stored.
    EXPECT_EQ(text.find("qtfWipeRight"), std::string::npos) << text;
}

TEST_F(PageTransitionTest, ReadingAPageTransitionClearsParentTransition) {
    RegisterClasses({TqelAnimationFrame::StaticClass(), TqelPage::StaticClass()});
    const char* text = "object HostForm2: TForm\n"
                       "  object Frame2: TqelAnimationFrame\n"
                       "    Transition.Effect = qtfSelectionSequence\n"
                       "    Transition.EffectSelIndex = 1\n"
                       "    Transition.Enabled = True\n"
                       "    Transition.EffectSelections = (128 84 85)\n"
                       "    Transition.ProcessMessages = True\n"
                       "    ActivePage = PageB\n"
                       "    object PageA: TqelPage\n"
                       "    end\n"
                       "    object PageB: TqelPage\n"
                       "      Transition.Effect = qtfPourDown\n"
                       "    end\n"
                       "  end\n"
                       "end\n";
    auto* form = static_cast<TForm*>(TCustomForm::CreateNew(Application));
    ReadComponentText(text, form, "host2.qfm");
    auto* frame = dynamic_cast<TqelAnimationFrame*>(form->FindComponent("Frame2"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->GetTransition()->GetEffectSelection(), (TqelEffectSelection{128, 84, 85}));
    EXPECT_EQ(frame->GetTransition()->GetEffectSelIndex(), 1);
    EXPECT_TRUE(frame->GetTransition()->GetEnabled());
    auto* a = dynamic_cast<TqelPage*>(form->FindComponent("PageA"));
    auto* b = dynamic_cast<TqelPage*>(form->FindComponent("PageB"));
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(a->GetParentTransition());
    EXPECT_FALSE(b->GetParentTransition());
    EXPECT_EQ(b->GetTransition()->GetEffect(), qtfPourDown);
    // Loading placed the active page without playing anything.
    EXPECT_EQ(frame->GetActivePage(), b);
    EXPECT_EQ(frame->GetTransition()->GetEffectSelIndex(), 1);
}

} // namespace
} // namespace qel
