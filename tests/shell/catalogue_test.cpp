#define QEL_TEST_ANIMATION_PUMP
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/core/filer.h"
#include "shell/catalogue.h"
#include "shell/demo_forms.h"
#include "shell/engine_check.h"
#include "shell/engine_version.h"
#include "shell/main_form.h"
#include "shell/program.h"
#include "tests/effects/transition/clock_driver.h"
#include "tests/foundation/desktop_fixture.h"

namespace qel {
namespace {

using testing_support::DesktopTest;

const TqelSubFormActions kStandard{qfaCreate, qfaDeactivate, qfaHide, qfaClose, qfaDestroy};

class ShellTest : public DesktopTest {
protected:
    // Page changes play synchronous transition effects: their workers' steps fall due on the manual
    // clock, which the driver moves on while they wait.
    void SetUp() override {
        DesktopTest::SetUp();
        Driver = std::make_unique<testing_support::TClockDriver>(**FClock);
    }
    void TearDown() override {
        Driver.reset();
        DesktopTest::TearDown();
    }
    std::unique_ptr<testing_support::TClockDriver> Driver;
    TfrmMain* CreateMain() {
        TfrmMain* form = nullptr;
        Application->CreateForm(form);
        form->Show();
        Settle();
        return form;
    }
    // Demonstration forms that exist now.
    int DemoFormCount() {
        int n = 0;
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (Screen->Forms(i)->InheritsFrom(TfrmSub::StaticClass())) ++n;
        return n;
    }
};

TEST_F(ShellTest, MainWindowIsStreamedFromItsFormFile) {
    TfrmMain* form = CreateMain();
    EXPECT_EQ(form->GetCaption(), "Welcome to QEL");
    EXPECT_EQ(form->GetClientWidth(), 592);
    EXPECT_EQ(form->GetClientHeight(), 419);
    EXPECT_EQ(form->GetHelpContext(), 1);
    EXPECT_TRUE(form->GetShowHint());
    EXPECT_EQ(form->GetFont()->GetName(), "MS Sans Serif");
    EXPECT_EQ(form->GetFont()->GetHeight(), -11);
    ASSERT_NE(form->qelAnimationFrame1, nullptr);
    TqelAnimationFrame* frame = form->qelAnimationFrame1;
    EXPECT_EQ(frame->GetAlign(), alClient);
    EXPECT_EQ(frame->GetBevelOuter(), bvNone);
    EXPECT_EQ(frame->GetAnimationSteps(), 20);
    EXPECT_EQ(frame->GetAnimationTime(), 250);
    EXPECT_EQ(frame->GetAnimation(), qwaMoveDown);
    TqelTransition* t = frame->GetTransition();
    EXPECT_EQ(t->GetEffect(), qtfSelectionSequence);
    EXPECT_EQ(t->GetEffectSpeed(), 250);
    EXPECT_TRUE(t->GetEnabled());
    EXPECT_TRUE(t->GetNoRedraw());
    EXPECT_EQ(t->GetEffectSize(), 8);
    EXPECT_EQ(
        t->GetEffectSelection(),
        (TqelEffectSelection{128, 84, 85,  88,  89, 86,  90,  91,  87,  80,  81,  82,  83,  96,  97, 100,
                             101, 98, 102, 103, 99, 129, 128, 108, 109, 112, 113, 110, 114, 115, 111}));
    auto* buttonList = dynamic_cast<TqelPage*>(form->FindComponent("qelPage1"));
    ASSERT_NE(buttonList, nullptr);
    EXPECT_FALSE(buttonList->GetParentTransition());
    EXPECT_EQ(buttonList->GetTransition()->GetEffect(), qtfPourDown);
    EXPECT_FALSE(buttonList->GetTransition()->GetEnabled());
    for (int i = 0; i < frame->PageCount(); ++i)
        if (frame->Pages(i) != buttonList) {
            EXPECT_TRUE(frame->Pages(i)->GetParentTransition()) << i;
        }
    EXPECT_EQ(frame->PageCount(), 35);
    EXPECT_EQ(frame->GetActivePage()->GetName(), "qelPage61");
    ASSERT_NE(frame->GetActivePage()->Form(), nullptr);
    EXPECT_EQ(frame->GetActivePage()->Form()->GetCaption(), "Overview");
    EXPECT_EQ(DemoFormCount(), 1);
}

TEST_F(ShellTest, CatalogueTable) {
    TfrmMain* form = CreateMain();
    const auto& cat = DemoCatalogue();
    ASSERT_EQ(cat.size(), 35u);
    std::set<std::string> formNames;
    for (const TDemoPageInfo& info : cat) {
        SCOPED_TRACE(info.PageName);
        formNames.insert(info.FormName);
        auto* page = dynamic_cast<TqelPage*>(form->FindComponent(info.PageName));
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->GetPageFrame(), form->qelAnimationFrame1);
        EXPECT_EQ(page->GetFormName(), info.FormName);
        EXPECT_EQ(page->GetFormActions(), info.DefaultActions ? DefaultSubFormActions : kStandard);
        EXPECT_TRUE(page->GetAutoCreate());
        EXPECT_TRUE(page->GetAutoDestroy());
        // Two sprite pages share one caption; a caption finds its page only where it is unique.
        const auto sameCaption = std::count_if(
            cat.begin(), cat.end(), [&](const TDemoPageInfo& i) { return i.Caption == info.Caption; });
        if (sameCaption == 1) {
            EXPECT_EQ(form->FindDemoPage(info.Caption), page);
        }
        EXPECT_EQ(form->FindDemoPage(info.FormName), page);

        form->ShowDemoPage(page);
        Settle();
        EXPECT_EQ(form->qelAnimationFrame1->GetActivePage(), page);
        EXPECT_EQ(form->NavToolbarsVisible(), PageShowsNavDocks(info.PageName));
        ASSERT_NE(page->Form(), nullptr);
        EXPECT_EQ(page->Form()->ClassName(), std::string("T") + info.FormName);
        EXPECT_EQ(page->Form()->GetCaption(), info.Caption);
        auto* sub = dynamic_cast<TfrmSub*>(page->Form());
        ASSERT_NE(sub, nullptr);
        EXPECT_FALSE(sub->memDescription->GetText().empty());
        EXPECT_EQ(sub->lblTitle->GetCaption(), info.Caption);
        EXPECT_TRUE(page->Form()->Showing());
        EXPECT_EQ(DemoFormCount(), 1); // at most one demonstration form at a time
    }
    EXPECT_EQ(formNames.size(), 35u);
    // Exactly the three data pages show the docks.
    int docks = 0;
    for (const TDemoPageInfo& info : cat) docks += PageShowsNavDocks(info.PageName);
    EXPECT_EQ(docks, 3);
}

TEST_F(ShellTest, SelectingTheActivePagePlaysNothing) {
    TfrmMain* form = CreateMain();
    TqelPage* overview = form->FindDemoPage("Overview");
    int changes = 0;
    form->qelAnimationFrame1->SetOnChange([&](TObject*) { ++changes; });
    TScrollingWinControl* hosted = overview->Form();
    uint32_t t0 = Now();
    form->ShowDemoPage(overview);
    EXPECT_EQ(Now(), t0);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(overview->Form(), hosted);
}

TEST_F(ShellTest, TwoEntriesForOnePageShowItOnce) {
    TfrmMain* form = CreateMain();
    int changes = 0;
    form->qelAnimationFrame1->SetOnChange([&](TObject*) { ++changes; });
    // "Effects Image" under "User Interface Controls" and under "Animation Controls".
    const TDemoPageInfo* info = nullptr;
    for (const TDemoPageInfo& i : DemoCatalogue())
        if (std::string(i.PageName) == "qelPage12") info = &i;
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->BrowserEntries.size(), 2u);
    TqelPage* page = form->FindDemoPage(info->PageName);
    uint32_t t0 = Now();
    form->ShowDemoPage(page);
    EXPECT_EQ(changes, 1);
    EXPECT_GE(Now() - t0, 250u); // the transition effect takes its time
    TScrollingWinControl* hosted = page->Form();
    uint32_t t1 = Now();
    form->ShowDemoPage(page);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Now(), t1);
    EXPECT_EQ(page->Form(), hosted);
    EXPECT_EQ(DemoFormCount(), 1);
}

TEST_F(ShellTest, PageKeysWalkThroughTheCatalogue) {
    TfrmMain* form = CreateMain();
    form->ShowNextDemoPage(1);
    EXPECT_EQ(form->qelAnimationFrame1->GetActivePage()->GetName(), "qelPage62");
    form->ShowNextDemoPage(-2);
    EXPECT_EQ(form->qelAnimationFrame1->GetActivePage()->GetName(), "qelPage11"); // wraps to the last
    uint16_t key = VK_NEXT;
    form->FormKeyDown(form, key, {});
    EXPECT_EQ(key, 0);
    EXPECT_EQ(form->qelAnimationFrame1->GetActivePage()->GetName(), "qelPage61");
}

TEST_F(ShellTest, AllDemonstrationClassesAreRegisteredAndStream) {
    ASSERT_EQ(DemoFormClassNames().size(), 37u);
    for (const std::string& name : DemoFormClassNames()) {
        SCOPED_TRACE(name);
        TClass cls = GetClass(name);
        ASSERT_NE(cls, nullptr);
        EXPECT_TRUE(cls->InheritsFrom(TfrmSub::StaticClass()));
        auto* f = static_cast<TfrmSub*>(CreateComponent(cls, Application));
        EXPECT_FALSE(f->GetCaption().empty());
        EXPECT_EQ(f->GetClientWidth(), 583);
        EXPECT_EQ(f->GetClientHeight(), 393);
        EXPECT_EQ(f->GetHelpContext(), 2);
        EXPECT_EQ(f->GetActiveControl(), f->memDescription);
        EXPECT_EQ(f->qelEdgePanel1->GetBevelEdges(), (TBevelEdges{beTop, beBottom}));
        delete f;
    }
}

// ---- engine check
// -----------------------------------------------------------------------------------------------

class EngineCheckTest : public DesktopTest {
protected:
    void TearDown() override {
        SetDatabaseEngineVersionHook(nullptr);
        SetDatabaseEngineFailure(0);
        BDEMissing = false;
        DesktopTest::TearDown();
    }
    std::vector<TDialogRequest> RunCheck(int version) {
        std::vector<TDialogRequest> seen;
        SetDatabaseEngineVersionHook([version] { return version; });
        SetDialogHook([&](TDialogRequest& r) {
            seen.push_back(r);
            return mrOk;
        });
        CheckDatabaseEngine();
        return seen;
    }
};

TEST_F(EngineCheckTest, MissingEngine) {
    auto seen = RunCheck(0);
    EXPECT_TRUE(BDEMissing);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Kind, "MessageDlg");
    EXPECT_EQ(seen[0].Type, mtWarning);
    EXPECT_EQ(seen[0].Buttons, TMsgDlgButtons{mbOK});
    EXPECT_EQ(seen[0].Text, "Borland Database Engine Not Found\n\n"
                            "This program could not locate the Borland Database Engine (BDE)\n"
                            "which is installed together with the database development tools.\n\n"
                            "All demonstrations of database components will be disabled.\n\n"
                            "Other features will operate normally.");
}

TEST_F(EngineCheckTest, OldEngine) {
    auto seen = RunCheck(499);
    EXPECT_FALSE(BDEMissing);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Type, mtWarning);
    EXPECT_EQ(seen[0].Text, "\nBorland Database Engine Mismatch.\n\n"
                            "Version 500 or higher is expected and version 499 was found.\n\n"
                            "Errors or unexpected results might occur in database functions.\n\n"
                            "Please download the latest engine update from the engine maker's web site.");
}

TEST_F(EngineCheckTest, CurrentEngineIsQuiet) {
    EXPECT_TRUE(RunCheck(500).empty());
    EXPECT_FALSE(BDEMissing);
    EXPECT_TRUE(RunCheck(1).size() == 1u);
    EXPECT_FALSE(BDEMissing);
}

TEST_F(EngineCheckTest, AFailingVersionCallCountsAsNoEngine) {
    SetDatabaseEngineVersionHook([]() -> int { throw Exception("engine gone"); });
    EXPECT_EQ(DatabaseEngineVersion(), 0);
    SetDatabaseEngineVersionHook(nullptr);
    SetDatabaseEngineFailure(10001);
    EXPECT_EQ(DatabaseEngineVersion(), 0);
    SetDatabaseEngineFailure(0);
    EXPECT_GE(DatabaseEngineVersion(), kRequiredEngineVersion); // the real engine
}

// ---- the program
// ------------------------------------------------------------------------------------------------

TEST(DemoOptions, CommandLine) {
    struct Row {
        std::vector<const char*> Args;
        std::string Backend, Page, Tour;
        bool NoSplash;
        bool Error;
    };
    const Row rows[] = {
        {{"qeldemo"}, "", "", "", false, false},
        {{"qeldemo", "-NS"}, "", "", "", true, false},
        {{"qeldemo", "--page", "Labels", "/ns"}, "", "Labels", "", true, false},
        {{"qeldemo", "--backend=headless", "--tour", "out"}, "headless", "", "out", false, false},
        {{"qeldemo", "--backend", "x11"}, "x11", "", "", false, true},
        {{"qeldemo", "--page"}, "", "", "", false, true},
        {{"qeldemo", "-nsx"}, "", "", "", false, true},
        {{"qeldemo", "--tour", "out", "--frames"}, "", "", "out", false, false},
        {{"qeldemo", "--frames"}, "", "", "", false, true},
    };
    for (const Row& r : rows) {
        TDemoOptions o = ParseDemoOptions(static_cast<int>(r.Args.size()), r.Args.data());
        EXPECT_EQ(o.Backend, r.Backend);
        EXPECT_EQ(o.Page, r.Page);
        EXPECT_EQ(o.TourDir, r.Tour);
        EXPECT_EQ(o.NoSplash, r.NoSplash);
        EXPECT_EQ(!o.Error.empty(), r.Error) << o.Error;
    }
    EXPECT_TRUE(IsNoSplashSwitch("/NS"));
    EXPECT_FALSE(IsNoSplashSwitch("ns"));
}

TEST_F(ShellTest, TourWritesOnePictureOfEveryPage) {
    TfrmMain* form = CreateMain();
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "qel_shell_tour_test";
    std::filesystem::remove_all(dir);
    EXPECT_EQ(RunDemoTour(form, dir.string()), 35);
    int n = 0;
    std::string previous;
    for (const TDemoPageInfo& info : DemoCatalogue()) {
        char name[64];
        std::snprintf(name, sizeof name, "%02d-%s.png", ++n, info.FormName);
        std::ifstream in(dir / name, std::ios::binary);
        ASSERT_TRUE(in.good()) << name;
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 8u);
        EXPECT_EQ(bytes.substr(1, 3), "PNG");
        EXPECT_NE(bytes, previous) << name << " shows the same as the page before";
        previous = bytes;
    }
    std::filesystem::remove_all(dir);
}

std::string ReadBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(ShellTest, TourWithFramesWritesPicturesPartWayThroughEachEffect) {
    TfrmMain* form = CreateMain();
    // The demonstration pages differ mostly near their top, so a wipe caught at a quarter can look
    // like the page before; a push moves the whole picture, so every step differs from both pages.
    form->qelAnimationFrame1->GetTransition()->SetEffect(qtfPushDown);
    for (int i = 0; i < form->qelAnimationFrame1->PageCount(); ++i) {
        TqelPage* page = form->qelAnimationFrame1->Pages(i);
        if (!page->GetParentTransition()) page->GetTransition()->SetEffect(qtfPushDown);
    }
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "qel_shell_tour_frames_test";
    std::filesystem::remove_all(dir);
    EXPECT_EQ(RunDemoTour(form, dir.string(), true), 35);
    int n = 0;
    std::string before;
    for (const TDemoPageInfo& info : DemoCatalogue()) {
        char base[64];
        std::snprintf(base, sizeof base, "%02d-%s", ++n, info.FormName);
        SCOPED_TRACE(base);
        const std::string after = ReadBytes(dir / (std::string(base) + ".png"));
        ASSERT_GT(after.size(), 8u);
        std::vector<std::string> mid;
        for (int shot = 1; shot <= 3; ++shot) {
            mid.push_back(ReadBytes(dir / (std::string(base) + "-" + std::to_string(shot) + ".png")));
            ASSERT_GT(mid.back().size(), 8u) << shot;
            EXPECT_EQ(mid.back().substr(1, 3), "PNG");
        }
        // The first page is already showing: nothing plays. Every other change is caught part-way,
        // at three different steps: neither the page before nor the new page.
        if (n > 1) {
            for (int shot = 0; shot < 3; ++shot) {
                EXPECT_TRUE(mid[shot] != before) << "picture " << shot + 1 << " shows the page before";
                EXPECT_TRUE(mid[shot] != after) << "picture " << shot + 1 << " shows the new page";
            }
            EXPECT_TRUE(mid[0] != mid[1] && mid[1] != mid[2]) << "the pictures show the same step";
        }
        before = after;
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace qel
