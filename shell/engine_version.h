#pragma once
// The database engine's answer to the version question, kept apart from the forms (the engine's
// headers and the controls' headers are used in separate sources).
#include <functional>

namespace qel {

// The engine's system version from its version record; 0 when the call fails or raises.
int QueryDatabaseEngineVersion();
// Tests: replace the engine's version answer (nullptr restores it), or make its status calls fail.
void SetDatabaseEngineVersionHook(std::function<int()> hook);
void SetDatabaseEngineFailure(int code);

} // namespace qel
