#include "foundation/scroll_box.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TqelCustomScrollBox)

TqelCustomScrollBox::TqelCustomScrollBox(TComponent* owner) : TScrollingWinControl(owner) {
    FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csDoubleClicks};
    DoSetBounds(0, 0, 185, 41);
}

void TqelCustomScrollBox::SetBorderStyle(TBorderStyle value) {
    if (value > bsSingle) value = bsSingle;
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    RecreateWnd();
    Realign();
}

void TqelCustomScrollBox::CreateParams(TCreateParams& params) {
    TScrollingWinControl::CreateParams(params);
    if (FBorderStyle == bsSingle) {
        // A sunken client edge with 3D controls, a flat one-pixel border without.
        if (FCtl3D)
            params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            params.Style |= WS_BORDER;
    }
}

void TqelCustomScrollBox::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_HSCROLL:
    case WM_VSCROLL: {
        int code = message.WParamLo();
        int pos = static_cast<int16_t>(message.WParamHi());
        if (message.Msg == WM_HSCROLL)
            FOnScrollH(this, code, pos);
        else
            FOnScrollV(this, code, pos);
        message.WParam = static_cast<uintptr_t>(static_cast<uint16_t>(code)) |
                         (static_cast<uintptr_t>(static_cast<uint16_t>(pos)) << 16);
        break;
    }
    case WM_SIZE:
        TScrollingWinControl::Dispatch(message);
        if (FAutoScroll) UpdateScrollBars();
        return;
    case CM_CTL3DCHANGED:
        TScrollingWinControl::Dispatch(message);
        if (FBorderStyle == bsSingle) RecreateWnd();
        return;
    default: break;
    }
    TScrollingWinControl::Dispatch(message);
}

} // namespace qel
