#pragma once
// Form-file streaming: TFiler, TReader, TWriter (being built).
#include "platform/core/component.h"

namespace qel {
class TFiler : public TObject {
    QEL_CLASS(TFiler, TObject)
};
} // namespace qel
