#include "foundation/base_forms.h"

namespace qel {

namespace {
void ApplyFont(TFont* font, const char* name, int size) {
    font->SetName(name);
    font->SetSize(size);
    font->SetStyle({});
}
} // namespace

QEL_IMPLEMENT_CLASS(TqelForm)
QEL_IMPLEMENT_CLASS(TqelSystemForm)
QEL_IMPLEMENT_CLASS(TqelApplicationForm)
QEL_IMPLEMENT_CLASS(TqelnpForm)
QEL_IMPLEMENT_CLASS(TqelnpApplicationForm)

void TqelSystemForm::AfterStreaming() {
    TqelForm::AfterStreaming();
    ApplyFont(GetFont(), "MS Sans Serif", 8);
}

void TqelApplicationForm::AfterStreaming() {
    TqelForm::AfterStreaming();
    ApplyFont(GetFont(), "Arial", 10);
}

void TqelnpApplicationForm::AfterStreaming() {
    TqelnpForm::AfterStreaming();
    ApplyFont(GetFont(), "Arial", 10);
}

void NotifyDesignerModified(TControl* control) {
    // No form designer exists in this environment; design-state components have nobody to tell.
    (void)control;
}

} // namespace qel
