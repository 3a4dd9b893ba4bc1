#include "platform/core/filer.h"

#include "platform/core/strings.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TFiler)

// Placeholders until the form-file reader and writer land.
void TComponent::ReadState(TReader*) { throw EInvalidOperation("Form-file reading is not available yet"); }
void TComponent::WriteState(TWriter*) { throw EInvalidOperation("Form-file writing is not available yet"); }
void TStrings::DefineProperties(TFiler*) {}

} // namespace qel
