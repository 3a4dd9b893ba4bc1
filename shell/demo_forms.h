#pragma once
// The base of the demonstration forms, TfrmSub (a description pane beside the demonstration area),
// and the demonstration forms hosted by the pages of the main window. Each form reads its form file
// (its caption, description and demonstration controls) over TfrmSub's.
#include "foundation/edge_panel.h"
#include "platform/controls/forms.h"
#include "platform/controls/stdctrls.h"

namespace qel {

class TfrmSub : public TForm {
    QEL_CLASS(TfrmSub, TForm)
    using TForm::TForm;

    TMemo* memDescription = nullptr;
    TqelEdgePanel* qelEdgePanel1 = nullptr;
    TLabel* lblTitle = nullptr;
    TLabel* lblBrowser = nullptr;

protected:
    void AfterStreaming() override;
    void DoShow() override;
};

#define QEL_DEMO_FORM(N)                                                                                     \
    class TfrmDemo##N : public TfrmSub {                                                                     \
        QEL_CLASS(TfrmDemo##N, TfrmSub)                                                                      \
        using TfrmSub::TfrmSub;                                                                              \
    };

QEL_DEMO_FORM(410)
QEL_DEMO_FORM(411)
QEL_DEMO_FORM(412)
QEL_DEMO_FORM(413)
QEL_DEMO_FORM(414)
QEL_DEMO_FORM(415)
QEL_DEMO_FORM(420)
QEL_DEMO_FORM(421)
QEL_DEMO_FORM(430)
QEL_DEMO_FORM(431)
QEL_DEMO_FORM(432)
QEL_DEMO_FORM(433)
QEL_DEMO_FORM(434)
QEL_DEMO_FORM(440)
QEL_DEMO_FORM(441)
QEL_DEMO_FORM(442)
QEL_DEMO_FORM(450)
QEL_DEMO_FORM(451)
QEL_DEMO_FORM(452)
QEL_DEMO_FORM(453)
QEL_DEMO_FORM(454)
QEL_DEMO_FORM(460)
QEL_DEMO_FORM(461)
QEL_DEMO_FORM(462)
QEL_DEMO_FORM(470)
QEL_DEMO_FORM(471)
QEL_DEMO_FORM(472)
QEL_DEMO_FORM(473)
QEL_DEMO_FORM(510)
QEL_DEMO_FORM(511)
QEL_DEMO_FORM(520)
QEL_DEMO_FORM(521)
QEL_DEMO_FORM(530)
QEL_DEMO_FORM(531)
QEL_DEMO_FORM(532)
QEL_DEMO_FORM(540)
QEL_DEMO_FORM(541)

#undef QEL_DEMO_FORM

} // namespace qel
