// Alignment, anchors, constraints and auto-size of child controls.
#include <gtest/gtest.h>

#include "platform/controls/extctrls.h"
#include "tests/platform/controls/harness.h"

namespace qel {
namespace {

struct AlignFixture : ControlsTest {
    TForm* Form = nullptr;
    TPanel* Host = nullptr;
    void SetUp() override {
        ControlsTest::SetUp();
        Form = NewForm();
        Host = new TPanel(Form);
        Host->SetBevelOuter(bvNone);
        Host->SetParent(Form);
        Host->SetBounds(0, 0, 300, 200);
    }
    TPanel* Child(TAlign align, TRect bounds) {
        auto* p = new TPanel(Form);
        p->SetBevelOuter(bvNone);
        p->SetBoundsRect(bounds);
        p->SetParent(Host);
        p->SetAlign(align);
        return p;
    }
};

TEST_F(AlignFixture, EdgesTakeTheirStripsInOrderAndClientTakesTheRest) {
    TPanel* top = Child(alTop, Bounds(0, 0, 10, 30));
    TPanel* bottom = Child(alBottom, Bounds(0, 0, 10, 20));
    TPanel* left = Child(alLeft, Bounds(0, 0, 50, 10));
    TPanel* right = Child(alRight, Bounds(0, 0, 40, 10));
    TPanel* client = Child(alClient, Bounds(0, 0, 5, 5));
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 300, 30));
    EXPECT_EQ(bottom->BoundsRect(), Rect(0, 180, 300, 200));
    EXPECT_EQ(left->BoundsRect(), Rect(0, 30, 50, 180));
    EXPECT_EQ(right->BoundsRect(), Rect(260, 30, 300, 180));
    EXPECT_EQ(client->BoundsRect(), Rect(50, 30, 260, 180));
}

TEST_F(AlignFixture, ParentResizeTable) {
    TPanel* top = Child(alTop, Bounds(0, 0, 10, 30));
    TPanel* left = Child(alLeft, Bounds(0, 0, 50, 10));
    TPanel* client = Child(alClient, Bounds(0, 0, 5, 5));
    // Anchored children placed at design size 300 x 200.
    TPanel* br = Child(alNone, Bounds(240, 160, 50, 30));
    br->SetAnchors({akRight, akBottom});
    TPanel* stretch = Child(alNone, Bounds(60, 40, 200, 20));
    stretch->SetAnchors({akLeft, akTop, akRight});
    TPanel* centred = Child(alNone, Bounds(140, 90, 20, 20));
    centred->SetAnchors({});
    // Put the anchored controls back on top of the aligned ones.
    struct Row {
        int w, h;
        TRect top, left, client, br, stretch, centred;
    };
    const Row rows[] = {
        {300,
         200,
         {0, 0, 300, 30},
         {0, 30, 50, 200},
         {50, 30, 300, 200},
         {240, 160, 290, 190},
         {60, 40, 260, 60},
         {140, 90, 160, 110}},
        {400,
         250,
         {0, 0, 400, 30},
         {0, 30, 50, 250},
         {50, 30, 400, 250},
         {340, 210, 390, 240},
         {60, 40, 360, 60},
         {190, 115, 210, 135}},
        {200,
         100,
         {0, 0, 200, 30},
         {0, 30, 50, 100},
         {50, 30, 200, 100},
         {140, 60, 190, 90},
         {60, 40, 160, 60},
         {90, 40, 110, 60}},
        {40,
         20,
         {0, 0, 40, 30},
         {0, 30, 50, 30},
         {50, 30, 50, 30},
         {-20, -20, 30, 10},
         {60, 40, 60, 60},
         {10, 0, 30, 20}},
        {300,
         200,
         {0, 0, 300, 30},
         {0, 30, 50, 200},
         {50, 30, 300, 200},
         {240, 160, 290, 190},
         {60, 40, 260, 60},
         {140, 90, 160, 110}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.w << " x " << r.h);
        Host->SetBounds(0, 0, r.w, r.h);
        EXPECT_EQ(top->BoundsRect(), r.top);
        EXPECT_EQ(left->BoundsRect(), r.left);
        EXPECT_EQ(client->BoundsRect(), r.client);
        EXPECT_EQ(br->BoundsRect(), r.br);
        EXPECT_EQ(stretch->BoundsRect(), r.stretch);
        EXPECT_EQ(centred->BoundsRect(), r.centred);
    }
}

TEST_F(AlignFixture, HidingAnAlignedChildRealignsAtOnce) {
    TPanel* top = Child(alTop, Bounds(0, 0, 10, 30));
    TPanel* client = Child(alClient, Bounds(0, 0, 5, 5));
    ASSERT_EQ(client->BoundsRect(), Rect(0, 30, 300, 200));
    top->SetVisible(false);
    EXPECT_EQ(client->BoundsRect(), Rect(0, 0, 300, 200)); // no message loop in between
    top->SetVisible(true);
    EXPECT_EQ(client->BoundsRect(), Rect(0, 30, 300, 200));
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 300, 30));
}

TEST_F(AlignFixture, StackingFollowsPositionAndTheMovedControlWinsTies) {
    TPanel* a = Child(alTop, Bounds(0, 0, 10, 30));
    TPanel* b = Child(alTop, Bounds(0, 0, 10, 20));
    // b was aligned last at top 0: it went first (the moved control wins ties).
    EXPECT_EQ(b->BoundsRect(), Rect(0, 0, 300, 20));
    EXPECT_EQ(a->BoundsRect(), Rect(0, 20, 300, 50));
    // Moving a above b puts it first.
    a->SetTop(-5);
    EXPECT_EQ(a->BoundsRect(), Rect(0, 0, 300, 30));
    EXPECT_EQ(b->BoundsRect(), Rect(0, 30, 300, 50));
}

TEST_F(AlignFixture, BordersAndBevelsShrinkTheAlignmentArea) {
    Host->SetBevelOuter(bvRaised);
    Host->SetBevelInner(bvLowered);
    Host->SetBevelWidth(2);
    Host->SetBorderWidth(3);
    TPanel* client = Child(alClient, Bounds(0, 0, 5, 5));
    EXPECT_EQ(client->BoundsRect(), Rect(7, 7, 293, 193));
}

TEST_F(AlignFixture, ConstraintsLimitSizeAndGiveTheRestBack) {
    TPanel* left = Child(alLeft, Bounds(0, 0, 50, 10));
    left->GetConstraints()->SetMaxWidth(30);
    TPanel* client = Child(alClient, Bounds(0, 0, 5, 5));
    EXPECT_EQ(left->GetWidth(), 30);
    EXPECT_EQ(client->BoundsRect(), Rect(30, 0, 300, 200));
    TPanel* top = Child(alTop, Bounds(0, 0, 10, 10));
    top->GetConstraints()->SetMinHeight(40);
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 300, 40));
    EXPECT_EQ(client->BoundsRect(), Rect(30, 40, 300, 200));
    // A minimum above the maximum pulls the maximum up, never the other way round silently.
    left->GetConstraints()->SetMinWidth(60);
    EXPECT_EQ(left->GetConstraints()->GetMaxWidth(), 60);
    EXPECT_EQ(left->GetWidth(), 60);
}

TEST_F(AlignFixture, NegativeRoomGivesEmptyControlsNotNegativeSizes) {
    TPanel* left = Child(alLeft, Bounds(0, 0, 250, 10));
    TPanel* right = Child(alRight, Bounds(0, 0, 250, 10));
    TPanel* client = Child(alClient, Bounds(0, 0, 5, 5));
    EXPECT_EQ(left->GetWidth(), 250);
    EXPECT_EQ(right->GetWidth(), 250);
    EXPECT_GE(client->GetWidth(), 0);
    EXPECT_GE(client->GetHeight(), 0);
}

TEST_F(AlignFixture, DisableAlignDefersUntilEnable) {
    TPanel* top = Child(alTop, Bounds(0, 0, 10, 30));
    Host->DisableAlign();
    Host->SetBounds(0, 0, 500, 200);
    EXPECT_EQ(top->GetWidth(), 300);
    Host->EnableAlign();
    EXPECT_EQ(top->GetWidth(), 500);
}

TEST_F(AlignFixture, SwitchingEdgesKeepsThickness) {
    TPanel* p = Child(alLeft, Bounds(0, 0, 40, 10));
    ASSERT_EQ(p->GetWidth(), 40);
    p->SetAlign(alTop);
    EXPECT_EQ(p->GetHeight(), 40);
    EXPECT_EQ(p->GetWidth(), 300);
}

TEST_F(AlignFixture, AutoSizePanelFollowsChildren) {
    auto* box = new TPanel(Form);
    box->SetBevelOuter(bvNone);
    box->SetParent(Host);
    box->SetBounds(10, 10, 20, 20);
    auto* inner = new TPanel(Form);
    inner->SetParent(box);
    inner->SetBounds(0, 0, 70, 45);
    box->SetAutoSize(true);
    EXPECT_EQ(box->GetWidth(), 70);
    EXPECT_EQ(box->GetHeight(), 45);
    inner->SetBounds(0, 0, 90, 25);
    EXPECT_EQ(box->GetWidth(), 90);
    EXPECT_EQ(box->GetHeight(), 25);
}

TEST_F(AlignFixture, OnCanResizeCanRefuse) {
    TPanel* p = Child(alNone, Bounds(10, 10, 40, 40));
    p->SetOnCanResize(TCanResizeEvent([](TObject*, int& w, int& h, bool& resize) {
        if (w > 100) resize = false;
        h = std::min(h, 50);
    }));
    p->SetBounds(10, 10, 80, 90);
    EXPECT_EQ(p->BoundsRect(), Bounds(10, 10, 80, 50));
    p->SetBounds(10, 10, 150, 40);
    EXPECT_EQ(p->BoundsRect(), Bounds(10, 10, 80, 50));
}

} // namespace
} // namespace qel
