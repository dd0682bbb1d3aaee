#pragma once
// velkorctl update-check [--server URL] [--ca FILE]: asks the update server
// about the firmware of every attached model with an update row and about the
// program, as the settings window does, and prints one line per row:
//   NAME CURRENT LATEST STATUS[ failed]
// (LATEST "-" when empty; STATUS the row status, 1 update available, 7 up to
// date; "failed" for a row without a usable answer, whose reason goes to
// standard error). Without --server the server comes from VELKOR_UPDATE_SERVER
// or the settings file; with none configured nothing is contacted.
#include "platform/Environment.h"
#include "transport/HidBackend.h"

#include <cstdio>
#include <string>
#include <vector>

namespace velkor {

struct UpdateCheckOptions {
    std::string server; // --server
    std::string caFile; // --ca
};

// What the check reads of the process: HOME, XDG_CONFIG_HOME, VELKOR_UPDATE_SERVER
// and VELKOR_UPDATE_CA, and the tool's folder (DefaultData lies beside it, or
// in the installed data folder).
struct UpdateCheckProcess {
    const Environment& environment;
    std::string programFolder;
};

// Exit codes: 0 every row answered, 4 some did not, 2 no (usable) server configured.
int RunUpdateCheck(HidBackend& backend, const UpdateCheckOptions& options, const UpdateCheckProcess& process,
                   std::FILE* out, std::FILE* err);

void PrintUpdateCommandUsage(std::FILE* out);

} // namespace velkor
