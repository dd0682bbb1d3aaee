#pragma once
// velkorctl's commands for the desktop's system pointer settings (GNOME or KDE Plasma):
//   pointer                   the back end in use and the five settings, one line each
//   pointer set NAME VALUE    apply one setting and read it back
#include "platform/Environment.h"

#include <cstdio>
#include <string>
#include <vector>

namespace velkor {

class DesktopPointerSettings;

// Runs the command in `words` (words[0] is "pointer") on the desktop named by
// `environment`. Returns the exit code: 0 done (and, for set, read back
// equal), 1 failed, 2 wrong arguments (unknown name, value out of range), 4 the
// desktop does not offer the setting; -1 when `words` is not this command.
int RunPointerCommand(const std::vector<std::string>& words, const Environment& environment);

// The same on `settings`, with results written to `out` and messages to `err`.
int RunPointerCommand(const std::vector<std::string>& words, DesktopPointerSettings& settings, std::FILE* out,
                      std::FILE* err);

// The usage lines of these commands, in velkorctl's help format.
void PrintPointerCommandUsage(std::FILE* out);

} // namespace velkor
