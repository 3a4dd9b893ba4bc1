#include "shell/engine_version.h"

#include "platform/engine/session.h"

namespace qel {

int QueryDatabaseEngineVersion() {
    try {
        TEngineVersion info;
        if (EngineGetSysVersion(info) != 0) return 0;
        return info.EngineVersion > 0 ? info.EngineVersion : 0;
    } catch (...) {
        // An engine that cannot even answer counts as no engine.
        return 0;
    }
}

void SetDatabaseEngineVersionHook(std::function<int()> hook) {
    SetEngineVersionHook(std::move(hook));
}
void SetDatabaseEngineFailure(int code) {
    SetEngineStatusFailure(code);
}

} // namespace qel
