#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "effects/transition.h"
#include "platform/core/filer.h"
#include "tests/effects/transition/clock_driver.h"
#include "tests/foundation/desktop_fixture.h"

namespace qel {

// A component that carries a transition, for reading and writing form text.
class TTransitionHolder : public TComponent {
    QEL_CLASS(TTransitionHolder, TComponent)
    explicit TTransitionHolder(TComponent* owner) : TComponent(owner), FTransition(this) {}
    TqelTransition* GetTransition() const { return const_cast<TqelTransition*>(&FTransition); }
    void SetTransition(TqelTransition* value) { FTransition.Assign(value); }

private:
    TqelTransition FTransition;
};
QEL_IMPLEMENT_CLASS(TTransitionHolder, [](auto& c) {
    c.Object("Transition", &TTransitionHolder::GetTransition, &TTransitionHolder::SetTransition);
})

namespace {

using testing_support::DesktopTest;
using testing_support::TClockDriver;

// Form text with every run of blanks and line breaks made one blank (lists are written one item a line).
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\r';
        if (blank && !out.empty() && out.back() == ' ') continue;
        out += blank ? ' ' : c;
    }
    return out;
}

constexpr TColor kOld = static_cast<TColor>(0x00336699);
constexpr TColor kNewLeft = static_cast<TColor>(0x000000FF);
constexpr TColor kNewRight = static_cast<TColor>(0x00FF0000);

// The destination shows the old picture; the source holds the new one (two halves).
struct TPlayScene {
    TPlayScene(int w = 64, int h = 40) : Source(w, h), Dest(w + 20, h + 20) {
        Fill(Dest.GetCanvas(), TRect{0, 0, w + 20, h + 20}, kOld);
        Fill(Source.GetCanvas(), TRect{0, 0, w / 2, h}, kNewLeft);
        Fill(Source.GetCanvas(), TRect{w / 2, 0, w, h}, kNewRight);
    }
    static void Fill(TCanvas* c, const TRect& r, TColor color) {
        c->GetBrush()->SetColor(color);
        c->FillRect(r);
    }
    TRect Rect() const { return TRect{10, 10, 10 + Source.GetWidth(), 10 + Source.GetHeight()}; }
    // Whether the destination shows the new picture in the rectangle and the old one around it.
    bool ShowsNew() {
        TCanvas* d = Dest.GetCanvas();
        TCanvas* s = Source.GetCanvas();
        for (int y = 0; y < Dest.GetHeight(); ++y)
            for (int x = 0; x < Dest.GetWidth(); ++x) {
                const bool inside =
                    x >= 10 && y >= 10 && x < 10 + Source.GetWidth() && y < 10 + Source.GetHeight();
                if (d->GetPixel(x, y) != (inside ? s->GetPixel(x - 10, y - 10) : kOld)) return false;
            }
        return true;
    }
    int CountOld() { return CountOldIn(Rect()); }
    int CountOldIn(const TRect& r) {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) n += Dest.GetCanvas()->GetPixel(x, y) == kOld;
        return n;
    }
    TBitmap Source, Dest;
};

class TransitionTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        Driver = std::make_unique<TClockDriver>(**FClock);
    }
    void TearDown() override {
        Driver.reset();
        DesktopTest::TearDown();
    }
    std::unique_ptr<TClockDriver> Driver;
};

// ---- settings
// ------------------------------------------------------------------------------------------------

TEST(TransitionSettings, Defaults) {
    TqelTransition t;
    EXPECT_EQ(t.GetEffect(), qtfNone);
    EXPECT_TRUE(t.GetEffectSelection().empty());
    EXPECT_EQ(t.GetEffectSelIndex(), -1);
    EXPECT_EQ(t.GetEffectSize(), 8);
    EXPECT_EQ(t.GetEffectSpeed(), 500);
    EXPECT_FALSE(t.GetEnabled());
    EXPECT_FALSE(t.GetNoRedraw());
    EXPECT_EQ(t.GetPause(), 0);
    EXPECT_TRUE(t.Synchronous());
    EXPECT_FALSE(t.Playing());
}

TEST(TransitionSettings, SetterNotificationTable) {
    struct Row {
        const char* What;
        std::function<void(TqelTransition&)> Set;
        int Notifications;
        std::function<bool(const TqelTransition&)> Holds;
    };
    // Every row starts from selection (84, 85, 86), index 1, and the defaults otherwise.
    const Row rows[] = {
        {"Effect new", [](auto& t) { t.SetEffect(qtfPourDown); }, 1,
         [](auto& t) { return t.GetEffect() == qtfPourDown; }},
        {"Effect same", [](auto& t) { t.SetEffect(qtfNone); }, 0,
         [](auto& t) { return t.GetEffect() == qtfNone; }},
        {"EffectSize new", [](auto& t) { t.SetEffectSize(3); }, 1,
         [](auto& t) { return t.GetEffectSize() == 3; }},
        {"EffectSize same", [](auto& t) { t.SetEffectSize(8); }, 0,
         [](auto& t) { return t.GetEffectSize() == 8; }},
        {"EffectSpeed new", [](auto& t) { t.SetEffectSpeed(250); }, 1,
         [](auto& t) { return t.GetEffectSpeed() == 250; }},
        {"EffectSpeed same", [](auto& t) { t.SetEffectSpeed(500); }, 0,
         [](auto& t) { return t.GetEffectSpeed() == 500; }},
        {"Enabled new", [](auto& t) { t.SetEnabled(true); }, 1, [](auto& t) { return t.GetEnabled(); }},
        {"Enabled same", [](auto& t) { t.SetEnabled(false); }, 0, [](auto& t) { return !t.GetEnabled(); }},
        {"NoRedraw new", [](auto& t) { t.SetNoRedraw(true); }, 1, [](auto& t) { return t.GetNoRedraw(); }},
        {"NoRedraw same", [](auto& t) { t.SetNoRedraw(false); }, 0, [](auto& t) { return !t.GetNoRedraw(); }},
        {"Selection same list",
         [](auto& t) {
             t.SetEffectSelection({84, 85, 86});
         },
         1,
         [](auto& t) {
             return t.GetEffectSelection() == TqelEffectSelection{84, 85, 86};
         }},
        {"Selection emptied", [](auto& t) { t.SetEffectSelection({}); }, 1,
         [](auto& t) { return t.GetEffectSelection().empty(); }},
        {"SelIndex 5 of 3", [](auto& t) { t.SetEffectSelIndex(5); }, 0,
         [](auto& t) { return t.GetEffectSelIndex() == -1; }},
        {"SelIndex 3 of 3", [](auto& t) { t.SetEffectSelIndex(3); }, 0,
         [](auto& t) { return t.GetEffectSelIndex() == -1; }},
        {"SelIndex -2", [](auto& t) { t.SetEffectSelIndex(-2); }, 0,
         [](auto& t) { return t.GetEffectSelIndex() == -1; }},
        {"SelIndex 2", [](auto& t) { t.SetEffectSelIndex(2); }, 1,
         [](auto& t) { return t.GetEffectSelIndex() == 2; }},
        {"SelIndex same", [](auto& t) { t.SetEffectSelIndex(1); }, 0,
         [](auto& t) { return t.GetEffectSelIndex() == 1; }},
        {"SelIndex -1", [](auto& t) { t.SetEffectSelIndex(-1); }, 1,
         [](auto& t) { return t.GetEffectSelIndex() == -1; }},
        {"Pause", [](auto& t) { t.SetPause(20); }, 0, [](auto& t) { return t.GetPause() == 20; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.What);
        TqelTransition t;
        t.SetEffectSelection({84, 85, 86});
        t.SetEffectSelIndex(1);
        int changes = 0;
        TObject* sender = nullptr;
        t.SetOnChange([&](TObject* s) {
            ++changes;
            sender = s;
        });
        row.Set(t);
        EXPECT_EQ(changes, row.Notifications);
        if (changes) {
            EXPECT_EQ(sender, &t);
        }
        EXPECT_TRUE(row.Holds(t));
    }
}

TEST(TransitionSettings, AssignCopiesEverythingAndADeepSelection) {
    TqelTransition src, dst;
    src.SetEffect(qtfSelectionSequence);
    src.SetEffectSelection({128, 84, 85});
    src.SetEffectSelIndex(2);
    src.SetEffectSize(4);
    src.SetEffectSpeed(250);
    src.SetEnabled(true);
    src.SetNoRedraw(true);
    int cancels = 0, ends = 0;
    src.SetOnCancel([&](TObject*, bool&) { ++cancels; });
    src.SetOnEffectEnd([&](TObject*) { ++ends; });
    int changes = 0;
    dst.SetOnChange([&](TObject*) { ++changes; });
    dst.Assign(&src);
    EXPECT_EQ(dst.GetEffect(), qtfSelectionSequence);
    EXPECT_EQ(dst.GetEffectSelection(), (TqelEffectSelection{128, 84, 85}));
    EXPECT_EQ(dst.GetEffectSelIndex(), 2);
    EXPECT_EQ(dst.GetEffectSize(), 4);
    EXPECT_EQ(dst.GetEffectSpeed(), 250);
    EXPECT_TRUE(dst.GetEnabled());
    EXPECT_TRUE(dst.GetNoRedraw());
    // Each changed setting, the selection, and the final notification.
    EXPECT_EQ(changes, 8);
    bool cancel = false;
    dst.GetOnCancel()(&dst, cancel);
    dst.GetOnEffectEnd()(&dst);
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(ends, 1);
    // The copy owns its own list.
    src.SetEffectSelection({1});
    EXPECT_EQ(dst.GetEffectSelection(), (TqelEffectSelection{128, 84, 85}));
    dst.SetEffectSelection({7, 8});
    EXPECT_EQ(src.GetEffectSelection(), (TqelEffectSelection{1}));
}

TEST(TransitionSettings, AssignFromAnotherKindRaises) {
    TqelTransition t;
    TFont font;
    EXPECT_THROW(t.Assign(&font), EConvertError);
}

// ---- form files
// --------------------------------------------------------------------------------------------

struct FormRow {
    const char* What;
    const char* Body; // lines after "object Holder1: TTransitionHolder"
    TqelEffectSelection Selection;
    int Index;
    TqelTransitionEffect Effect;
};

TEST(TransitionForm, ReadTable) {
    RegisterClass(TTransitionHolder::StaticClass());
    const FormRow rows[] = {
        {"without selections", "  Transition.Effect = qtfPourDown\n", {}, -1, qtfPourDown},
        {"with selections",
         "  Transition.Effect = qtfSelectionSequence\n  Transition.EffectSelections = (128 84 85 88)\n",
         {128, 84, 85, 88},
         -1,
         qtfSelectionSequence},
        // The index is stored before the list it points into and is kept as given.
        {"stored index",
         "  Transition.EffectSelIndex = 2\n  Transition.EffectSelections = (128 84 85 88)\n",
         {128, 84, 85, 88},
         2,
         qtfNone},
        {"index beyond the list kept while reading",
         "  Transition.EffectSelIndex = 9\n  Transition.EffectSelections = (1 2)\n",
         {1, 2},
         9,
         qtfNone},
        {"process messages",
         "  Transition.ProcessMessages = True\n  Transition.EffectSelections = (5)\n",
         {5},
         -1,
         qtfNone},
        {"empty list", "  Transition.EffectSelections = ()\n", {}, -1, qtfNone},
    };
    for (const FormRow& row : rows) {
        SCOPED_TRACE(row.What);
        std::string text = std::string("object Holder1: TTransitionHolder\n") + row.Body + "end\n";
        std::unique_ptr<TComponent> holder(ReadComponent(text, nullptr, "holder.qfm"));
        auto* h = dynamic_cast<TTransitionHolder*>(holder.get());
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h->GetTransition()->GetEffectSelection(), row.Selection);
        EXPECT_EQ(h->GetTransition()->GetEffectSelIndex(), row.Index);
        EXPECT_EQ(h->GetTransition()->GetEffect(), row.Effect);
    }
}

TEST(TransitionForm, MalformedSelectionsAreReadErrors) {
    RegisterClass(TTransitionHolder::StaticClass());
    for (const char* body :
         {"  Transition.EffectSelections = 5\n", "  Transition.EffectSelections = ('a')\n",
          "  Transition.EffectSelections = (1 (2))\n", "  Transition.ProcessMessages = 3\n"}) {
        SCOPED_TRACE(body);
        std::string text = std::string("object Holder1: TTransitionHolder\n") + body + "end\n";
        EXPECT_THROW(delete ReadComponent(text, nullptr, "bad.qfm"), EReadError);
    }
}

TEST(TransitionForm, WritingRoundTrips) {
    RegisterClass(TTransitionHolder::StaticClass());
    TTransitionHolder h(nullptr);
    h.SetName("Holder1");
    TqelTransition* t = h.GetTransition();
    t->SetEffect(qtfSelectionSequence);
    t->SetEffectSpeed(250);
    t->SetEnabled(true);
    t->SetNoRedraw(true);
    t->SetEffectSelection({128, 84, 85, 88, 89});
    t->SetEffectSelIndex(3);
    const std::string text = WriteComponent(&h);
    EXPECT_NE(OneLine(text).find("Transition.EffectSelections = ( 128 84 85 88 89)"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("ProcessMessages"), std::string::npos) << text;
    EXPECT_EQ(text.find("EffectSize"), std::string::npos) << text; // the default is not stored
    std::unique_ptr<TComponent> back(ReadComponent(text, nullptr, "back.qfm"));
    auto* b = dynamic_cast<TTransitionHolder*>(back.get())->GetTransition();
    EXPECT_EQ(b->GetEffect(), qtfSelectionSequence);
    EXPECT_EQ(b->GetEffectSpeed(), 250);
    EXPECT_TRUE(b->GetEnabled());
    EXPECT_TRUE(b->GetNoRedraw());
    EXPECT_EQ(b->GetEffectSelection(), (TqelEffectSelection{128, 84, 85, 88, 89}));
    EXPECT_EQ(b->GetEffectSelIndex(), 3);
    EXPECT_EQ(WriteComponent(back.get()), text);
    // An empty selection is not written without an ancestor.
    t->SetEffectSelection({});
    EXPECT_EQ(WriteComponent(&h).find("EffectSelections"), std::string::npos);
}

TEST(TransitionForm, InheritedFormThatEmptiesTheSelectionLoadsEmpty) {
    RegisterClass(TTransitionHolder::StaticClass());
    const std::string ancestorText = "object Holder1: TTransitionHolder\n"
                                     "  Transition.EffectSelections = (128 84)\n"
                                     "end\n";
    std::unique_ptr<TComponent> ancestor(ReadComponent(ancestorText, nullptr, "anc.qfm"));
    std::unique_ptr<TComponent> descendant(ReadComponent(ancestorText, nullptr, "anc.qfm"));
    auto* d = dynamic_cast<TTransitionHolder*>(descendant.get());
    // Same list as the ancestor: nothing to write.
    EXPECT_EQ(WriteComponent(d, ancestor.get()).find("EffectSelections"), std::string::npos);
    d->GetTransition()->SetEffectSelection({});
    const std::string diff = WriteComponent(d, ancestor.get());
    EXPECT_NE(diff.find("Transition.EffectSelections = ()"), std::string::npos) << diff;
    // Loading: the ancestor's file, then the descendant's over it.
    std::unique_ptr<TComponent> loaded(ReadComponent(ancestorText, nullptr, "anc.qfm"));
    auto* l = dynamic_cast<TTransitionHolder*>(loaded.get());
    ASSERT_EQ(l->GetTransition()->GetEffectSelection(), (TqelEffectSelection{128, 84}));
    ReadComponentText(diff, l, "desc.qfm");
    EXPECT_TRUE(l->GetTransition()->GetEffectSelection().empty());
    // A changed list is written in full.
    d->GetTransition()->SetEffectSelection({84});
    EXPECT_NE(OneLine(WriteComponent(d, ancestor.get())).find("Transition.EffectSelections = ( 84)"),
              std::string::npos);
}

// ---- playing
// -------------------------------------------------------------------------------------------------

TEST_F(TransitionTest, PlayReturnsAfterTheEffectAndEndsOnce) {
    TPlayScene s;
    TqelTransition t;
    t.SetEffect(qtfWipeDown);
    t.SetEffectSpeed(200);
    int ends = 0, queries = 0;
    bool playingInEnd = false, freshWhilePlaying = true;
    t.SetOnEffectEnd([&](TObject* sender) {
        ++ends;
        EXPECT_EQ(sender, &t);
        playingInEnd = t.Playing();
    });
    t.SetOnCancel([&](TObject* sender, bool&) {
        ++queries;
        EXPECT_EQ(sender, &t);
        // Between steps the effect has drawn only part of the new picture.
        if (!t.Playing() || t.PlayingCanvas() != s.Dest.GetCanvas()) freshWhilePlaying = false;
    });
    const uint32_t t0 = Now();
    t.Play(s.Source.GetCanvas(), s.Dest.GetCanvas(), s.Rect());
    EXPECT_TRUE(s.ShowsNew());
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(playingInEnd);
    EXPECT_GT(queries, 2);
    EXPECT_TRUE(freshWhilePlaying);
    EXPECT_FALSE(t.Playing());
    EXPECT_EQ(t.PlayingThread(), nullptr);
    // The steps fill the effect's duration on the clock.
    EXPECT_GE(Now() - t0, 150u);
}

TEST_F(TransitionTest, NothingToPlayReturnsAtOnceWithoutEffectEnd) {
    struct Row {
        const char* What;
        int Size;
        bool NoSource;
        TRect Rect;
    };
    const Row rows[] = {
        {"effect size 0", 0, false, TRect{10, 10, 74, 50}},
        {"no source", 8, true, TRect{10, 10, 74, 50}},
        {"empty rectangle", 8, false, TRect{10, 10, 10, 50}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.What);
        TPlayScene s;
        TqelTransition t;
        t.SetEffect(qtfWipeDown);
        t.SetEffectSize(row.Size);
        int ends = 0;
        t.SetOnEffectEnd([&](TObject*) { ++ends; });
        const uint32_t t0 = Now();
        t.Play(row.NoSource ? nullptr : s.Source.GetCanvas(), s.Dest.GetCanvas(), row.Rect);
        EXPECT_EQ(Now(), t0);
        EXPECT_EQ(ends, 0);
        EXPECT_EQ(s.CountOld(), 64 * 40);
    }
}

TEST_F(TransitionTest, SequenceIndexAdvancesWithoutChangeNotification) {
    TPlayScene s;
    TqelTransition t;
    t.SetEffect(qtfSelectionSequence);
    t.SetEffectSelection({qtfCut, qtfNone});
    t.SetEffectSpeed(20);
    int changes = 0;
    t.SetOnChange([&](TObject*) { ++changes; });
    std::vector<int> indexes;
    for (int i = 0; i < 3; ++i) {
        t.Play(s.Source.GetCanvas(), s.Dest.GetCanvas(), s.Rect());
        indexes.push_back(t.GetEffectSelIndex());
    }
    EXPECT_EQ(indexes, (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(changes, 0);
}

TEST_F(TransitionTest, StoredIndexBeyondTheListStartsOver) {
    RegisterClass(TTransitionHolder::StaticClass());
    std::unique_ptr<TComponent> holder(ReadComponent("object Holder1: TTransitionHolder\n"
                                                     "  Transition.Effect = qtfSelectionSequence\n"
                                                     "  Transition.EffectSelIndex = 7\n"
                                                     "  Transition.EffectSpeed = 20\n"
                                                     "  Transition.EffectSelections = (131 130)\n"
                                                     "end\n",
                                                     nullptr, "holder.qfm"));
    TqelTransition* t = dynamic_cast<TTransitionHolder*>(holder.get())->GetTransition();
    EXPECT_EQ(t->GetEffectSelIndex(), 7);
    TPlayScene s;
    t->Play(s.Source.GetCanvas(), s.Dest.GetCanvas(), s.Rect());
    EXPECT_EQ(t->GetEffectSelIndex(), 0);
    EXPECT_TRUE(s.ShowsNew());
}

TEST_F(TransitionTest, ReentrantPlayFromTheCancelQueryReturnsAtOnce) {
    TPlayScene s, other;
    TqelTransition t;
    t.SetEffect(qtfWipeRight);
    t.SetEffectSpeed(100);
    int queries = 0, ends = 0, innerElapsed = -1;
    t.SetOnEffectEnd([&](TObject*) { ++ends; });
    t.SetOnCancel([&](TObject*, bool&) {
        if (++queries != 2) return;
        const uint32_t before = Now();
        t.Play(other.Source.GetCanvas(), other.Dest.GetCanvas(), other.Rect());
        innerElapsed = static_cast<int>(Now() - before);
    });
    t.Play(s.Source.GetCanvas(), s.Dest.GetCanvas(), s.Rect());
    EXPECT_EQ(innerElapsed, 0);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(s.ShowsNew());
    EXPECT_EQ(other.CountOld(), 64 * 40); // the inner call played nothing
}

class TransitionControlTest : public TransitionTest {
protected:
    void SetUp() override {
        TransitionTest::SetUp();
        Host = static_cast<TForm*>(TCustomForm::CreateNew(Application));
        Host->SetBorderStyle(bsNone);
        Host->SetBounds(0, 0, 48, 30);
        Host->SetColor(static_cast<TColor>(0x0000AA00));
    }
    TForm* Host = nullptr;
};

TEST_F(TransitionControlTest, PlayControlCapturesTheControlAndFreesItAtTheEnd) {
    TPlayScene s;
    TqelTransition t;
    t.SetEffect(qtfPourDown);
    t.SetEffectSpeed(60);
    int seenWidth = 0, seenHeight = 0;
    t.SetOnCancel([&](TObject*, bool&) {
        if (TBitmap* b = t.CapturedPicture()) {
            seenWidth = b->GetWidth();
            seenHeight = b->GetHeight();
        }
    });
    t.PlayControl(Host, s.Dest.GetCanvas(), 5, 7);
    EXPECT_EQ(seenWidth, 48);
    EXPECT_EQ(seenHeight, 30);
    EXPECT_EQ(t.CapturedPicture(), nullptr); // freed by the end of the effect
    for (auto [x, y] : {std::pair{5, 7}, std::pair{52, 36}, std::pair{20, 20}})
        EXPECT_EQ(s.Dest.GetCanvas()->GetPixel(x, y), static_cast<TColor>(0x0000AA00)) << x << "," << y;
    EXPECT_EQ(s.Dest.GetCanvas()->GetPixel(4, 7), kOld);
    EXPECT_EQ(s.Dest.GetCanvas()->GetPixel(53, 36), kOld);
    t.PlayControl(nullptr, s.Dest.GetCanvas(), 0, 0); // no control: nothing
}

TEST_F(TransitionControlTest, PlayControlDuringAnEffectKeepsTheCapturedPicture) {
    TPlayScene s;
    TqelTransition t;
    t.SetEffect(qtfWipeDown);
    t.SetEffectSpeed(100);
    TBitmap* before = nullptr;
    TBitmap* after = nullptr;
    int queries = 0;
    t.SetOnCancel([&](TObject*, bool&) {
        if (++queries != 2) return;
        before = t.CapturedPicture();
        // The running effect reads this picture: it must survive the call.
        t.PlayControl(Host, s.Dest.GetCanvas(), 0, 0);
        after = t.CapturedPicture();
    });
    t.PlayControl(Host, s.Dest.GetCanvas(), 10, 10);
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(after, before);
    EXPECT_EQ(s.Dest.GetCanvas()->GetPixel(10 + 47, 10 + 29), static_cast<TColor>(0x0000AA00));
    EXPECT_EQ(s.Dest.GetCanvas()->GetPixel(0, 0), kOld);
}

TEST_F(TransitionControlTest, PlayControlInRectRestoresTheCanvasState) {
    TPlayScene s;
    TqelTransition t;
    t.SetEffect(qtfCut);
    TCanvas* c = s.Dest.GetCanvas();
    HDC dc = c->GetHandle();
    SetViewportOrgEx(dc, 3, 4, nullptr);
    int ends = 0;
    t.SetOnEffectEnd([&](TObject*) {
        ++ends;
        // Changed during the play, undone afterwards.
        SetViewportOrgEx(dc, 30, 40, nullptr);
    });
    t.PlayControlInRect(Host, c, TRect{2, 2, 50, 32});
    TPoint org{};
    GetViewportOrgEx(dc, &org);
    EXPECT_EQ(org, (TPoint{3, 4}));
    EXPECT_EQ(ends, 1);
    SetViewportOrgEx(dc, 0, 0, nullptr);
    EXPECT_EQ(c->GetPixel(5, 6), static_cast<TColor>(0x0000AA00));
    EXPECT_EQ(c->GetPixel(4, 6), kOld);
}

// ---- destruction during the wait
// ---------------------------------------------------------------------------

TEST_F(TransitionControlTest, DestroyedByItsOwnEffectEnd) {
    TPlayScene s;
    auto* t = new TqelTransition;
    t->SetEffect(qtfWipeDown);
    t->SetEffectSpeed(40);
    int ends = 0;
    t->SetOnEffectEnd([&](TObject*) {
        ++ends;
        delete t;
        t = nullptr;
    });
    t->PlayControl(Host, s.Dest.GetCanvas(), 10, 10);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(s.Dest.GetCanvas()->GetPixel(10, 10), static_cast<TColor>(0x0000AA00));
}

TEST_F(TransitionControlTest, DestroyedByItsCancelQueryStopsTheEffect) {
    TPlayScene s;
    auto* t = new TqelTransition;
    t->SetEffect(qtfWipeDown);
    t->SetEffectSpeed(200);
    int ends = 0, queries = 0;
    t->SetOnEffectEnd([&](TObject*) { ++ends; });
    t->SetOnCancel([&](TObject*, bool&) {
        if (++queries != 2) return;
        delete t;
        t = nullptr;
    });
    const uint32_t t0 = Now();
    t->PlayControlInRect(Host, s.Dest.GetCanvas(), s.Rect());
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(queries, 2); // no query after the transition went away
    EXPECT_EQ(ends, 1);    // its end handling ran once, from the destruction
    EXPECT_LT(Now() - t0, 200u);
    // Stopped part-way: the destination keeps a partial picture.
    const int old = s.CountOldIn(TRect{10, 10, 58, 40});
    EXPECT_GT(old, 0);
    EXPECT_LT(old, 48 * 30);
}

} // namespace
} // namespace qel
