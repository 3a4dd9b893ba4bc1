#include <gtest/gtest.h>

#include <map>

#include "foundation/edge_panel.h"
#include "platform/graphics/color.h"
#include "tests/foundation/desktop_fixture.h"

namespace qel {
namespace {

using testing_support::DesktopTest;

uint32_t Px(TColor c) {
    return ColorRefToPixel(ColorToColorRef(c));
}

// The pixels a bevel of `width` rings on `edges` draws on a w x h area, by position: every ring k
// covers the left column (x=k, y in (k, b]), the top row (y=k, x in [k, r)), the right column
// (x=r, y in [k, b)) and the bottom row (y=b, x in [k, r]) with r = w-1-k, b = h-1-k; later
// edges of a ring overwrite earlier ones.
std::map<std::pair<int, int>, uint32_t> ExpectedBevel(int w, int h, int width, TBevelEdges edges,
                                                      uint32_t light, uint32_t dark) {
    std::map<std::pair<int, int>, uint32_t> px;
    for (int k = 0; k < width; ++k) {
        int l = k, t = k, r = w - 1 - k, b = h - 1 - k;
        if (edges.Contains(beLeft))
            for (int y = t + 1; y <= b; ++y) px[{l, y}] = light;
        if (edges.Contains(beTop))
            for (int x = l; x < r; ++x) px[{x, t}] = light;
        if (edges.Contains(beRight))
            for (int y = t; y < b; ++y) px[{r, y}] = dark;
        if (edges.Contains(beBottom))
            for (int x = l; x <= r; ++x) px[{x, b}] = dark;
    }
    return px;
}

struct BevelCase {
    int Width;
    TBevelCut Cut;
};

class BevelEdgesTest : public ::testing::TestWithParam<BevelCase> {};

TEST_P(BevelEdgesTest, EverySubsetOfEdgesIsPixelExactAndInsetsAllSides) {
    const BevelCase bc = GetParam();
    const int W = 13, H = 9;
    const uint32_t back = 0x123456;
    const uint32_t light = Px(bc.Cut == bvLowered ? clBtnShadow : clBtnHighlight);
    const uint32_t dark = Px(bc.Cut == bvLowered ? clBtnHighlight : clBtnShadow);
    for (uint64_t bits = 0; bits < 16; ++bits) {
        TBevelEdges edges = TBevelEdges::FromBits(bits);
        TBitmap bmp(W, H);
        TDibPtr dib = bmp.GetDib();
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) dib->SetPixel(x, y, back);
        TRect r{0, 0, W, H};
        DrawBevelEdges(bmp.GetCanvas(), r, bc.Cut, bc.Width, edges);
        GdiFlush();
        EXPECT_EQ(r, (TRect{bc.Width, bc.Width, W - bc.Width, H - bc.Width})) << "edges " << bits;
        auto expected = ExpectedBevel(W, H, bc.Width, edges, light, dark);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                auto it = expected.find({x, y});
                uint32_t want = it == expected.end() ? back : it->second;
                ASSERT_EQ(dib->GetPixel(x, y), want) << "edges " << bits << " at " << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(CutsAndWidths, BevelEdgesTest,
                         ::testing::Values(BevelCase{1, bvRaised}, BevelCase{1, bvLowered},
                                           BevelCase{2, bvRaised}, BevelCase{2, bvLowered}));

TEST(BevelEdges, NoneDrawsNothingAndKeepsTheRectangle) {
    TBitmap bmp(10, 10);
    TRect r{0, 0, 10, 10};
    DrawBevelEdges(bmp.GetCanvas(), r, bvNone, 3, AllBevelEdges);
    EXPECT_EQ(r, (TRect{0, 0, 10, 10}));
}

class EdgePanelTest : public DesktopTest {
protected:
    TForm* MakeForm() {
        auto* f = static_cast<TForm*>(TCustomForm::CreateNew(Application));
        f->SetBorderStyle(bsNone);
        f->SetBounds(50, 40, 300, 200);
        f->SetColor(clRed);
        return f;
    }
};

TEST_F(EdgePanelTest, TopAndBottomEdgesOnScreenWithChildInsetOnAllSides) {
    TForm* form = MakeForm();
    auto* panel = new TqelEdgePanel(form);
    panel->SetParent(form);
    panel->SetBounds(10, 10, 120, 60);
    panel->SetBevelEdges({beTop, beBottom});
    auto* child = new TqelEdgePanel(form);
    child->SetParent(panel);
    child->SetAlign(alClient);
    child->SetBevelOuter(bvNone);
    form->Show();
    Settle();
    const uint32_t face = Px(clBtnFace), light = Px(clBtnHighlight), dark = Px(clBtnShadow);
    // The content area is inset on all four sides although only two edges are drawn.
    EXPECT_EQ(child->BoundsRect(), (TRect{1, 1, 119, 59}));
    for (int x = 0; x < 119; ++x) EXPECT_EQ(PixelAt(panel, x, 0), light) << x;
    for (int x = 0; x < 120; ++x) EXPECT_EQ(PixelAt(panel, x, 59), dark) << x;
    for (int y = 1; y < 59; ++y) {
        EXPECT_EQ(PixelAt(panel, 0, y), face) << y;
        EXPECT_EQ(PixelAt(panel, 119, y), face) << y;
    }
    EXPECT_EQ(PixelAt(panel, 119, 0), face);
}

TEST_F(EdgePanelTest, AllEdgesOpaqueUsesThePanelsOwnPainting) {
    TForm* form = MakeForm();
    auto* edge = new TqelEdgePanel(form);
    edge->SetParent(form);
    edge->SetBounds(10, 10, 80, 40);
    auto* plain = new TPanel(form);
    plain->SetParent(form);
    plain->SetBounds(10, 100, 80, 40);
    plain->SetCaption("");
    form->Show();
    Settle();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x) ASSERT_EQ(PixelAt(edge, x, y), PixelAt(plain, x, y)) << x << "," << y;
}

TEST_F(EdgePanelTest, SettersStoreAndTransparencySwitchesTheOpaqueStyle) {
    TForm* form = MakeForm();
    auto* panel = new TqelEdgePanel(form);
    panel->SetParent(form);
    EXPECT_EQ(panel->GetBevelEdges(), AllBevelEdges);
    EXPECT_FALSE(panel->GetControlStyle().Contains(csSetCaption));
    EXPECT_TRUE(panel->GetControlStyle().Contains(csOpaque));
    panel->SetTransparent(true);
    EXPECT_FALSE(panel->GetControlStyle().Contains(csOpaque));
    form->Show();
    Settle();
    EXPECT_TRUE(GetWindowLongPtr(panel->Handle(), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    panel->SetTransparent(false);
    EXPECT_TRUE(panel->GetControlStyle().Contains(csOpaque));
    EXPECT_FALSE(GetWindowLongPtr(panel->Handle(), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    TMessage erase{WM_ERASEBKGND, 0, 0, 0};
    panel->SetTransparent(true);
    panel->Dispatch(erase);
    EXPECT_EQ(erase.Result, 1);
}

// ---- picture group
// ---------------------------------------------------------------------------------------------

TEST_F(EdgePanelTest, PictureGroupMarginsFollowThePictureAlignment) {
    TForm* form = MakeForm();
    auto* group = new TqelPictureGroup(form);
    group->SetParent(form);
    EXPECT_EQ(group->GetWidth(), 300);
    EXPECT_EQ(group->GetHeight(), 150);
    EXPECT_EQ(group->GetAlignment(), taLeftJustify);
    EXPECT_EQ(group->GetBevelOuter(), bvNone);
    auto* child = new TqelEdgePanel(form);
    child->SetParent(group);
    child->SetAlign(alClient);
    struct Row {
        TAlignment Align;
        TRect Margins; // left, top, right, bottom
    };
    const Row rows[] = {
        {taCenter, {20, 80, 20, 10}}, {taRightJustify, {20, 35, 60, 10}}, {taLeftJustify, {60, 35, 20, 10}}};
    for (const Row& row : rows) {
        group->SetAlignPicture(row.Align);
        EXPECT_EQ(group->GetMarginL(), row.Margins.Left);
        EXPECT_EQ(group->GetMarginT(), row.Margins.Top);
        EXPECT_EQ(group->GetMarginR(), row.Margins.Right);
        EXPECT_EQ(group->GetMarginB(), row.Margins.Bottom);
        EXPECT_EQ(child->BoundsRect(), (TRect{row.Margins.Left, row.Margins.Top, 300 - row.Margins.Right,
                                              150 - row.Margins.Bottom}));
    }
    group->SetMarginT(50);
    EXPECT_EQ(child->GetTop(), 50);
}

TEST_F(EdgePanelTest, PictureGroupPlacesLineAndPicture) {
    TForm* form = MakeForm();
    auto* group = new TqelPictureGroup(form);
    group->SetParent(form);
    group->SetCaption("Pictures");
    TBitmap pic(30, 20);
    group->GetPicture()->SetGraphic(&pic);
    EXPECT_TRUE(group->GetPicture()->GetGraphic()->GetTransparent());
    form->Show();
    Settle();
    int h = 0;
    {
        TBitmap b(1, 1);
        b.GetCanvas()->GetFont()->Assign(group->GetFont());
        h = b.GetCanvas()->TextHeight("W");
    }
    const int offset = 10;
    EXPECT_EQ(group->CaptionLineY(), offset + h / 2);
    EXPECT_EQ(group->PicturePosition(), (TPoint{offset, offset + h + offset}));
    group->SetAlignPicture(taRightJustify);
    EXPECT_EQ(group->PicturePosition().X, 300 - offset - 30);
    group->SetAlignPicture(taCenter);
    EXPECT_EQ(group->PicturePosition().X, (offset + 300 - offset - 30) / 2);
    Settle();
    // The caption line: shadow over highlight at the far right, past the caption text.
    int y = group->CaptionLineY();
    EXPECT_EQ(PixelAt(group, 280, y), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(group, 280, y + 1), Px(clBtnHighlight));
    group->SetLineRaised(true);
    Settle();
    EXPECT_EQ(PixelAt(group, 280, y), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(group, 280, y + 1), Px(clBtnShadow));
}

TEST_F(EdgePanelTest, PictureGroupAcceleratorSelectsTheFirstChild) {
    TForm* form = MakeForm();
    auto* group = new TqelPictureGroup(form);
    group->SetParent(form);
    group->SetCaption("&Options");
    auto* edit = new TEdit(form);
    edit->SetParent(group);
    edit->SetTabStop(true);
    form->Show();
    Settle();
    TMessage noAlt{CM_DIALOGCHAR, 'o', 0, 0};
    group->Dispatch(noAlt);
    EXPECT_EQ(noAlt.Result, 0);
    TMessage other{CM_DIALOGCHAR, 'x', AltKeyData, 0};
    group->Dispatch(other);
    EXPECT_EQ(other.Result, 0);
    TMessage alt{CM_DIALOGCHAR, 'o', AltKeyData, 0};
    group->Dispatch(alt);
    EXPECT_EQ(alt.Result, 1);
    EXPECT_TRUE(edit->Focused());
}

} // namespace
} // namespace qel
