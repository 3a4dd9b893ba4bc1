#include "platform/core/exceptions.h"

namespace qel {

void Abort() { throw EAbort("Operation aborted"); }

} // namespace qel
