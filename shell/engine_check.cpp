#include "shell/engine_check.h"

#include "platform/controls/dialogs.h"
#include "shell/engine_version.h"

namespace qel {

bool BDEMissing = false;

int DatabaseEngineVersion() {
    return QueryDatabaseEngineVersion();
}

std::string EngineMissingMessage() {
    return "Borland Database Engine Not Found\n"
           "\n"
           "This program could not locate the Borland Database Engine (BDE)\n"
           "which is installed together with the database development tools.\n"
           "\n"
           "All demonstrations of database components will be disabled.\n"
           "\n"
           "Other features will operate normally.";
}

std::string EngineMismatchMessage(int version) {
    return "\nBorland Database Engine Mismatch.\n\nVersion " + std::to_string(kRequiredEngineVersion) +
           " or higher is expected and version " + std::to_string(version) +
           " was found.\n\nErrors or unexpected results might occur in database functions.\n\n"
           "Please download the latest engine update from the engine maker's web site.";
}

void CheckDatabaseEngine() {
    int version = DatabaseEngineVersion();
    BDEMissing = version == 0;
    if (version == 0) {
        MessageDlg(EngineMissingMessage(), mtWarning, {mbOK}, 0);
    } else if (version < kRequiredEngineVersion) {
        MessageDlg(EngineMismatchMessage(version), mtWarning, {mbOK}, 0);
    }
}

} // namespace qel
