#pragma once
// A bordered scroll box that reports its scroll messages before handling them.
#include "platform/controls/forms.h"

namespace qel {

// Sender, scroll code (SB_LINEUP ... SB_ENDSCROLL), position (the handler may change it).
using TqelScrollEvent = TEvent<void(TObject* Sender, int ScrollCode, int& Pos)>;

class TqelCustomScrollBox : public TScrollingWinControl {
    QEL_CLASS(TqelCustomScrollBox, TScrollingWinControl)
    explicit TqelCustomScrollBox(TComponent* owner);

    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    void Dispatch(TMessage& message) override;

    QEL_EVENT(TqelScrollEvent, OnScrollH)
    QEL_EVENT(TqelScrollEvent, OnScrollV)

protected:
    void CreateParams(TCreateParams& params) override;
    TBorderStyle FBorderStyle = bsSingle;
};

} // namespace qel
