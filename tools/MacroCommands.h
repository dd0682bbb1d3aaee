#pragma once
// velkorctl write-macros: a profile's macro keys and their macros into a
// keyboard or mouse, as the program writes them.
#include "transport/DeviceTransport.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace velkor {

void PrintMacroCommandUsage(FILE* out);

// Opens a device's command channel as the program would; returns an exit code (0 opened).
using OpenCommandChannel = std::function<int(DeviceTransport& transport, const std::string& path)>;

// Runs `words` when they are this command and returns the exit code; -1 when
// they are not. On the simulated family it also prints what every macro key
// of the device then plays.
int RunMacroCommand(HidBackend& backend, const std::vector<std::string>& words,
                    const OpenCommandChannel& open);

} // namespace velkor
