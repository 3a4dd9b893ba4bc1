#pragma once
// The base forms of the library's dialogs and the way a dialog or popup editor is shown. The fonts of
// the system and application families are applied after the form file has been read, so they win over
// any font stored with a derived form.
#include "platform/controls/forms.h"

namespace qel {

QEL_ENUM(TqelPopupFormStyle, pfsNormal, pfsModal, pfsMDIChild, pfsStayOnTop)

// The common ancestor of every library form.
class TqelForm : public TForm {
    QEL_CLASS(TqelForm, TForm)
    using TForm::TForm;
};

// Small system dialogs: "MS Sans Serif" 8.
class TqelSystemForm : public TqelForm {
    QEL_CLASS(TqelSystemForm, TqelForm)
    using TqelForm::TqelForm;

protected:
    void AfterStreaming() override;
};

// Record dialogs: "Arial" 10.
class TqelApplicationForm : public TqelForm {
    QEL_CLASS(TqelApplicationForm, TqelForm)
    using TqelForm::TqelForm;

protected:
    void AfterStreaming() override;
};

// Forms whose focused data controls the navigation toolbars follow.
class TqelnpForm : public TqelForm {
    QEL_CLASS(TqelnpForm, TqelForm)
    using TqelForm::TqelForm;
};

// Automatic navigation forms: "Arial" 10.
class TqelnpApplicationForm : public TqelnpForm {
    QEL_CLASS(TqelnpApplicationForm, TqelnpForm)
    using TqelnpForm::TqelnpForm;

protected:
    void AfterStreaming() override;
};

// Tells a form designer that the form holding `control` changed. There is no designer at run time,
// so this only acts on controls in design state.
void NotifyDesignerModified(TControl* control);

} // namespace qel
