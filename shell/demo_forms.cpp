#include "shell/demo_forms.h"

#include "shell/main_form.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TfrmSub)

void TfrmSub::AfterStreaming() {
    TForm::AfterStreaming();
    memDescription = dynamic_cast<TMemo*>(FindComponent("memDescription"));
    qelEdgePanel1 = dynamic_cast<TqelEdgePanel*>(FindComponent("qelEdgePanel1"));
    lblTitle = dynamic_cast<TLabel*>(FindComponent("lblTitle"));
    lblBrowser = dynamic_cast<TLabel*>(FindComponent("lblBrowser"));
}

void TfrmSub::DoShow() {
    // On a low-colour screen the description pane takes the plain hint colour.
    if (auto* main = dynamic_cast<TfrmMain*>(Application ? Application->MainForm() : nullptr);
        main && main->LowColor() && memDescription)
        memDescription->SetColor(clInfoBk);
    TForm::DoShow();
}

// Each demonstration form class registers itself at program start, so a page finds it by name.
QEL_IMPLEMENT_CLASS(TfrmDemo410)
QEL_IMPLEMENT_CLASS(TfrmDemo411)
QEL_IMPLEMENT_CLASS(TfrmDemo412)
QEL_IMPLEMENT_CLASS(TfrmDemo413)
QEL_IMPLEMENT_CLASS(TfrmDemo414)
QEL_IMPLEMENT_CLASS(TfrmDemo415)
QEL_IMPLEMENT_CLASS(TfrmDemo420)
QEL_IMPLEMENT_CLASS(TfrmDemo421)
QEL_IMPLEMENT_CLASS(TfrmDemo430)
QEL_IMPLEMENT_CLASS(TfrmDemo431)
QEL_IMPLEMENT_CLASS(TfrmDemo432)
QEL_IMPLEMENT_CLASS(TfrmDemo433)
QEL_IMPLEMENT_CLASS(TfrmDemo434)
QEL_IMPLEMENT_CLASS(TfrmDemo440)
QEL_IMPLEMENT_CLASS(TfrmDemo441)
QEL_IMPLEMENT_CLASS(TfrmDemo442)
QEL_IMPLEMENT_CLASS(TfrmDemo450)
QEL_IMPLEMENT_CLASS(TfrmDemo451)
QEL_IMPLEMENT_CLASS(TfrmDemo452)
QEL_IMPLEMENT_CLASS(TfrmDemo453)
QEL_IMPLEMENT_CLASS(TfrmDemo454)
QEL_IMPLEMENT_CLASS(TfrmDemo460)
QEL_IMPLEMENT_CLASS(TfrmDemo461)
QEL_IMPLEMENT_CLASS(TfrmDemo462)
QEL_IMPLEMENT_CLASS(TfrmDemo470)
QEL_IMPLEMENT_CLASS(TfrmDemo471)
QEL_IMPLEMENT_CLASS(TfrmDemo472)
QEL_IMPLEMENT_CLASS(TfrmDemo473)
QEL_IMPLEMENT_CLASS(TfrmDemo510)
QEL_IMPLEMENT_CLASS(TfrmDemo511)
QEL_IMPLEMENT_CLASS(TfrmDemo520)
QEL_IMPLEMENT_CLASS(TfrmDemo521)
QEL_IMPLEMENT_CLASS(TfrmDemo530)
QEL_IMPLEMENT_CLASS(TfrmDemo531)
QEL_IMPLEMENT_CLASS(TfrmDemo532)
QEL_IMPLEMENT_CLASS(TfrmDemo540)
QEL_IMPLEMENT_CLASS(TfrmDemo541)

} // namespace qel
