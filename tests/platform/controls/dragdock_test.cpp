// Drag and drop and docking driven by scripted mouse and keyboard input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/windows/backend.h"
#include "tests/platform/controls/harness.h"

namespace qel {
namespace {

const char* StateName(TDragState s) {
    return s == dsDragEnter ? "enter" : s == dsDragLeave ? "leave" : "move";
}

struct DragFixture : ControlsTest {
    TForm* Form = nullptr;
    TPanel* Source = nullptr;
    TPanel* Target = nullptr;
    std::vector<std::string> Log;
    int AcceptBelowX = 1000; // the target accepts drops left of this x
    void SetUp() override {
        ControlsTest::SetUp();
        Form = NewForm();
        Form->SetBounds(100, 100, 400, 300);
        Source = Make<TPanel>(Form, "Source", Bounds(10, 10, 80, 40));
        Target = Make<TPanel>(Form, "Target", Bounds(200, 10, 120, 120));
        Source->SetOnStartDrag(TStartDragEvent([this](TObject*, TObject*&) { Log.push_back("start"); }));
        Source->SetOnEndDrag(TEndDragEvent([this](TObject*, TObject* target, int x, int y) {
            Log.push_back(std::string("end ") +
                          (target == Target ? "Target"
                           : target         ? "?"
                                            : "none") +
                          " " + std::to_string(x) + "," + std::to_string(y));
        }));
        Target->SetOnDragOver(
            TDragOverEvent([this](TObject*, TObject* src, int x, int, TDragState st, bool& accept) {
                Log.push_back(StateName(st));
                accept = src == Source && x < AcceptBelowX;
            }));
        Target->SetOnDragDrop(TDragDropEvent([this](TObject*, TObject* src, int x, int y) {
            Log.push_back(std::string("drop ") + (src == Source ? "Source " : "? ") + std::to_string(x) +
                          "," + std::to_string(y));
        }));
        Form->Show();
        ProcessMessages();
    }
};

TEST_F(DragFixture, AutomaticDragStartsPastTheThresholdAndDropsOnAnAcceptingTarget) {
    Source->SetDragMode(dmAutomatic);
    int clicks = 0;
    Source->SetOnClick(TNotifyEvent([&](TObject*) { ++clicks; }));
    MouseDown(Source, 20, 20);
    EXPECT_EQ(DragControl(), Source);
    EXPECT_FALSE(DragActive());
    MouseMoveTo(Source, 22, 23); // inside the threshold
    EXPECT_FALSE(DragActive());
    EXPECT_EQ(DragTarget(), nullptr);
    MouseMoveTo(Source, 30, 20); // past it: over the source itself, which takes nothing
    EXPECT_TRUE(DragActive());
    EXPECT_EQ(DragTarget(), Source);
    EXPECT_FALSE(DragAccepted());
    EXPECT_EQ(CurrentDragCursor(), crNoDrop);
    MouseMoveTo(Target, 10, 10);
    EXPECT_EQ(DragTarget(), Target);
    EXPECT_TRUE(DragAccepted());
    EXPECT_EQ(CurrentDragCursor(), crDrag);
    MouseMoveTo(Target, 15, 12);
    MouseUp(Target, 15, 12);
    EXPECT_EQ(DragControl(), nullptr);
    EXPECT_EQ(Log,
              (std::vector<std::string>{"start", "enter", "move", "drop Source 15,12", "end Target 15,12"}));
    EXPECT_EQ(clicks, 0);
    // The mouse is free again: a click reaches the form's controls as usual.
    Source->SetDragMode(dmManual);
    ClickControl(Source, 20, 20);
    EXPECT_EQ(clicks, 1);
}

TEST_F(DragFixture, RefusedDropsEscapeAndEarlyReleasesEndWithoutATarget) {
    Source->SetDragMode(dmAutomatic);
    struct Case {
        const char* name;
        std::function<void(DragFixture&)> finish;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"refused at the drop point",
         [](DragFixture& f) {
             f.MouseMoveTo(f.Target, 10, 10);
             f.MouseMoveTo(f.Target, 80, 10);
             EXPECT_FALSE(DragAccepted());
             EXPECT_EQ(CurrentDragCursor(), crNoDrop);
             f.MouseUp(f.Target, 80, 10);
         },
         {"start", "enter", "move", "leave", "end none 0,0"}},
        {"Esc cancels",
         [](DragFixture& f) {
             f.MouseMoveTo(f.Target, 10, 10);
             f.PressKey(VK_ESCAPE);
             EXPECT_EQ(DragControl(), nullptr);
             f.MouseUp(f.Target, 10, 10);
         },
         {"start", "enter", "leave", "end none 0,0"}},
        {"released inside the threshold",
         [](DragFixture& f) { f.MouseUp(f.Source, 21, 20); },
         {"start", "end none 0,0"}},
    };
    AcceptBelowX = 50;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Log.clear();
        AdvanceClock(GetDoubleClickTime() + 1); // a fresh press, not a double click
        MouseDown(Source, 20, 20);
        if (std::string(c.name) != "released inside the threshold") MouseMoveTo(Source, 40, 20);
        c.finish(*this);
        EXPECT_EQ(DragControl(), nullptr);
        EXPECT_EQ(Log, c.log);
        EXPECT_EQ(GetCapture(), nullptr);
    }
}

TEST_F(DragFixture, ManualDragStartsImmediatelyFromMouseDown) {
    Source->SetOnMouseDown(TMouseEvent([this](TObject*, TMouseButton b, TShiftState, int, int) {
        if (b == mbLeft) Source->BeginDrag(true);
    }));
    MouseDown(Source, 20, 20);
    EXPECT_TRUE(DragActive());
    EXPECT_EQ(DragTarget(), Source);
    MouseMoveTo(Target, 5, 6);
    MouseUp(Target, 5, 6);
    EXPECT_EQ(Log, (std::vector<std::string>{"start", "enter", "drop Source 5,6", "end Target 5,6"}));
}

// A panel that takes every drag through its CM_DRAG handler instead of OnDragOver.
class TDropZone : public TPanel {
public:
    using TPanel::TPanel;
    std::vector<std::string> Seen;

protected:
    void Dispatch(TMessage& m) override {
        if (m.Msg != CM_DRAG) {
            TPanel::Dispatch(m);
            return;
        }
        auto* rec = reinterpret_cast<TDragRec*>(m.LParam);
        const char* names[] = {"enter", "leave", "move", "drop", "cancel", "find"};
        Seen.push_back(std::string(names[m.WParam]) + (rec->Target == this ? "" : "?"));
        TPanel::Dispatch(m);
        if (m.WParam == dmDragEnter || m.WParam == dmDragMove) m.Result = 1;
    }
};

TEST_F(DragFixture, TargetsCanTakeDragsInTheirMessageHandler) {
    auto* zone = new TDropZone(Form);
    zone->SetParent(Form);
    zone->SetBounds(20, 150, 100, 60);
    ProcessMessages();
    Source->SetDragMode(dmAutomatic);
    MouseDown(Source, 20, 20);
    MouseMoveTo(Source, 30, 20);
    MouseMoveTo(zone, 10, 10);
    EXPECT_TRUE(DragAccepted());
    MouseMoveTo(zone, 12, 10);
    MouseUp(zone, 12, 10);
    EXPECT_EQ(zone->Seen, (std::vector<std::string>{"enter", "move", "drop"}));
    EXPECT_EQ(Log, (std::vector<std::string>{"start", "end ? 12,10"}));
}

struct DockFixture : ControlsTest {
    TForm* Form = nullptr;
    TPanel* Site = nullptr;
    TPanel* Tool = nullptr;
    std::vector<std::string> Log;
    bool AllowUndock = true;
    void SetUp() override {
        ControlsTest::SetUp();
        Form = NewForm();
        Form->SetBounds(100, 100, 400, 300);
        Site = Make<TPanel>(Form, "Site", Bounds(200, 10, 150, 200));
        Site->SetDockSite(true);
        Tool = Make<TPanel>(Form, "Tool", Bounds(10, 10, 80, 40));
        Tool->SetCaption("Tool");
        Tool->SetDragKind(dkDock);
        Tool->SetDragMode(dmAutomatic);
        Tool->SetOnStartDock(TStartDragEvent([this](TObject*, TObject*&) { Log.push_back("start dock"); }));
        Tool->SetOnEndDock(TEndDragEvent([this](TObject*, TObject* target, int x, int y) {
            Log.push_back(std::string("end dock ") +
                          (target == Site ? "Site"
                           : target       ? "?"
                                          : "none") +
                          " " + std::to_string(x) + "," + std::to_string(y));
        }));
        Site->SetOnDockOver(
            TDockOverEvent([this](TObject*, TDragDockObject* src, int, int, TDragState st, bool& accept) {
                Log.push_back(std::string("dock over ") + StateName(st));
                EXPECT_EQ(src->Control, Tool);
                EXPECT_TRUE(accept); // a dock site accepts unless the handler refuses
            }));
        Site->SetOnDockDrop(TDockDropEvent([this](TObject*, TDragDockObject* src, int x, int y) {
            Log.push_back("dock drop " + std::to_string(x) + "," + std::to_string(y));
            EXPECT_EQ(src->Control, Tool);
        }));
        Site->SetOnUnDock(
            TUnDockEvent([this](TObject*, TControl* client, TWinControl* newTarget, bool& allow) {
                Log.push_back(std::string("undock to ") + (newTarget ? newTarget->GetName() : "floating"));
                EXPECT_EQ(client, Tool);
                allow = AllowUndock;
            }));
        Form->Show();
        ProcessMessages();
    }
};

TEST_F(DockFixture, DraggingDocksIntoASiteAndOutIntoAFloatingHostForm) {
    MouseDown(Tool, 5, 5);
    MouseMoveTo(Tool, 20, 20);
    MouseMoveTo(Site, 30, 30);
    EXPECT_EQ(DragTarget(), Site);
    EXPECT_TRUE(DragAccepted());
    MouseUp(Site, 30, 30);
    EXPECT_EQ(Tool->GetParent(), Site);
    EXPECT_EQ(Tool->GetHostDockSite(), Site);
    ASSERT_EQ(Site->DockClientCount(), 1);
    EXPECT_EQ(Site->DockClients(0), Tool);
    // Placed where it was dropped, keeping the grab point under the cursor.
    EXPECT_EQ(Tool->GetLeft(), 25);
    EXPECT_EQ(Tool->GetTop(), 25);
    EXPECT_EQ(Log, (std::vector<std::string>{"start dock", "dock over enter", "dock drop 30,30",
                                             "end dock Site 30,30"}));
    // Dragged out onto the bare desktop: it floats in a host form of its own.
    Log.clear();
    AdvanceClock(GetDoubleClickTime() + 1);
    MouseDown(Tool, 5, 5);
    Input::MouseMove(700, 520);
    Input::MouseMove(720, 540);
    Input::MouseUp();
    ProcessMessages();
    EXPECT_TRUE(Tool->Floating());
    auto* host = dynamic_cast<TCustomForm*>(Tool->GetParent());
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(Tool->GetHostDockSite(), host);
    EXPECT_TRUE(host->GetVisible());
    EXPECT_EQ(host->GetLeft(), 715);
    EXPECT_EQ(host->GetTop(), 535);
    EXPECT_EQ(host->GetClientWidth(), 80);
    EXPECT_EQ(host->GetClientHeight(), 40);
    EXPECT_EQ(Site->DockClientCount(), 0);
    EXPECT_EQ(Log, (std::vector<std::string>{"start dock", "undock to floating", "end dock none 0,0"}));
    // Docked back by code: the empty floating host goes away after the current message.
    bool hostGone = false;
    host->SetOnDestroy(TNotifyEvent([&](TObject*) { hostGone = true; }));
    EXPECT_TRUE(Tool->ManualDock(Site));
    EXPECT_EQ(Tool->GetParent(), Site);
    EXPECT_FALSE(Tool->Floating());
    ProcessMessages();
    EXPECT_TRUE(hostGone);
}

TEST_F(DockFixture, TheSiteCanRefuseToLetAControlGo) {
    ASSERT_TRUE(Tool->ManualDock(Site));
    Log.clear();
    AllowUndock = false;
    EXPECT_FALSE(Tool->ManualFloat(Bounds(600, 400, 80, 40)));
    EXPECT_EQ(Tool->GetParent(), Site);
    EXPECT_EQ(Site->DockClientCount(), 1);
    EXPECT_EQ(Log, (std::vector<std::string>{"undock to floating"}));
    AllowUndock = true;
    EXPECT_TRUE(Tool->ManualFloat(Bounds(600, 400, 80, 40)));
    EXPECT_TRUE(Tool->Floating());
    // Freed while docked somewhere: the site forgets it.
    ASSERT_TRUE(Tool->ManualDock(Site));
    delete Tool;
    EXPECT_EQ(Site->DockClientCount(), 0);
    ProcessMessages();
}

} // namespace
} // namespace qel
