#pragma once
// The start-up check of the database engine: a missing engine disables the database demonstrations,
// an old one only earns a warning.
#include <string>

namespace qel {

// Set by CheckDatabaseEngine when no engine answers; the main window reads it.
extern bool BDEMissing;

// The oldest engine version the demonstration expects.
inline constexpr int kRequiredEngineVersion = 500;

// The engine's system version, 0 when the call fails or raises.
int DatabaseEngineVersion();
std::string EngineMissingMessage();
std::string EngineMismatchMessage(int version);
// Runs the check: version 0 sets BDEMissing and warns, 1..499 warns, 500 and above passes quietly.
void CheckDatabaseEngine();

} // namespace qel
