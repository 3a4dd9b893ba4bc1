// Painting order of transparent child windows: the parent paints beneath them, then they paint over it.
#include <gtest/gtest.h>

#include "tests/platform/controls/harness.h"

namespace qel {
namespace {

// A windowed control that draws only a frame and leaves its inside to whatever lies beneath.
class TFrameOnly : public TCustomControl {
public:
    explicit TFrameOnly(TComponent* owner, bool transparent)
        : TCustomControl(owner), FTransparent(transparent) {
        FControlStyle.Exclude(csOpaque);
    }
    int Paints = 0;

protected:
    void CreateParams(TCreateParams& params) override {
        TCustomControl::CreateParams(params);
        if (FTransparent) params.ExStyle |= WS_EX_TRANSPARENT;
    }
    void Dispatch(TMessage& m) override {
        if (m.Msg == WM_ERASEBKGND) {
            m.Result = 1; // nothing erased: the parent's pixels stay
            return;
        }
        TCustomControl::Dispatch(m);
    }
    void Paint() override {
        ++Paints;
        Canvas()->GetBrush()->SetColor(clRed);
        Canvas()->FrameRect(ClientRect());
    }

private:
    bool FTransparent;
};

struct TransparentFixture : ControlsTest {
    TForm* Form = nullptr;
    TFrameOnly* Child = nullptr;
    TColor Fill = clBlue;
    int FormPaints = 0;
    void Build(bool transparent) {
        Form = NewForm();
        Form->SetColor(clSilver);
        // The form paints a band right across the child's area.
        Form->SetOnPaint(TNotifyEvent([this](TObject*) {
            ++FormPaints;
            Form->Canvas()->GetBrush()->SetColor(Fill);
            Form->Canvas()->FillRect(Rect(20, 20, 220, 120));
        }));
        Child = new TFrameOnly(Form, transparent);
        Child->SetParent(Form);
        Child->SetBounds(60, 40, 100, 60);
        Form->Show();
        ProcessMessages();
    }
};

TEST_F(TransparentFixture, ParentPaintsBeneathATransparentChildWhichPaintsOver) {
    Build(true);
    EXPECT_EQ(PixelAt(Child, 50, 30), 0x0000FFu); // the parent's band shows through
    EXPECT_EQ(PixelAt(Child, 0, 30), 0xFF0000u);  // the child's frame is on top
    EXPECT_EQ(PixelAt(Child, 99, 59), 0xFF0000u);
    EXPECT_EQ(PixelAt(Form, 30, 30), 0x0000FFu);
    // Repainting only the parent repaints the child after it: the frame survives.
    int childPaints = Child->Paints;
    Fill = clLime;
    InvalidateRect(Form->Handle(), nullptr, true);
    ProcessMessages();
    EXPECT_EQ(PixelAt(Child, 50, 30), 0x00FF00u);
    EXPECT_EQ(PixelAt(Child, 0, 30), 0xFF0000u);
    EXPECT_GT(Child->Paints, childPaints);
    // A parent area away from the child leaves the child alone.
    childPaints = Child->Paints;
    TRect away = Rect(300, 200, 320, 220);
    InvalidateRect(Form->Handle(), &away, true);
    ProcessMessages();
    EXPECT_EQ(Child->Paints, childPaints);
}

TEST_F(TransparentFixture, AnOpaqueChildIsClippedOutOfItsParent) {
    Build(false);
    // Nothing erased the child's inside and the parent could not draw there: not the band colour.
    EXPECT_NE(PixelAt(Child, 50, 30), 0x0000FFu);
    EXPECT_EQ(PixelAt(Child, 0, 30), 0xFF0000u);
    EXPECT_EQ(PixelAt(Form, 30, 30), 0x0000FFu);
}

TEST_F(TransparentFixture, OpaqueGrandchildrenOfATransparentChildStayClipped) {
    Build(true);
    auto* inner = new TPanel(Form);
    inner->SetParent(Child);
    inner->SetBounds(30, 20, 40, 20);
    inner->SetColor(clYellow);
    inner->SetBevelOuter(bvNone);
    ProcessMessages();
    Fill = clFuchsia;
    InvalidateRect(Form->Handle(), nullptr, true);
    ProcessMessages();
    EXPECT_EQ(PixelAt(inner, 20, 10), 0xFFFF00u);
    EXPECT_EQ(PixelAt(Child, 10, 10), 0xFF00FFu);
}

} // namespace
} // namespace qel
