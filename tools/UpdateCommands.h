#pragma once
// velkorctl update-check [--server URL] [--ca FILE]: asks the update server
// about the firmware of every attached model with an update row and about the
// program, as the settings window does, and prints one line per row:
//   NAME CURRENT LATEST STATUS[ failed]
// (LATEST "-" when empty; STATUS the row status, 1 update available, 7 up to
// date; "failed" for a row without a usable answer, whose reason goes to
// standard error). Without --server the server comes from VELKOR_UPDATE_SERVER
// or the settings file; with none configured nothing is contacted.
#include "transport/HidBackend.h"

#include <cstdio>
#include <string>
#include <vector>

namespace velkor {

struct UpdateCheckOptions {
    std::string server; // --server
    std::string caFile; // --ca
};

// Exit codes: 0 every row answered, 4 some did not, 2 no (usable) server configured.
int RunUpdateCheck(HidBackend& backend, const UpdateCheckOptions& options, std::FILE* out, std::FILE* err);

void PrintUpdateCommandUsage(std::FILE* out);

} // namespace velkor
