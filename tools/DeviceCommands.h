#pragma once
// velkorctl's commands on the running program's device API (session bus):
//   devices                       the attached devices: id, kind, channel, battery, model
//   get ID [KEY]                  the device's settings (KEY=VALUE lines), or one value
//   set ID KEY=VALUE...           change settings, each as the page's control would
//   profile ID NAME               select a profile
//   monitor [SECONDS]             print changes and devices coming and going as they happen
//   sdk                           the OpenRGB SDK server: on or off, its port, its clients
#include <cstdio>
#include <string>
#include <vector>

namespace velkor {

// Runs the command in `words` (words[0] is its name) against the program on
// the bus at `address` (empty: the session bus of this login). Returns the
// exit code: 0 done, 1 the device or the program failed (not running, busy,
// lighting released), 2 wrong arguments or a value the program refused,
// 3 no such device; -1 when `words` is not one of these commands.
int RunDeviceCommand(const std::vector<std::string>& words, const std::string& address, std::FILE* out,
                     std::FILE* err);

void PrintDeviceCommandUsage(std::FILE* out);

} // namespace velkor
