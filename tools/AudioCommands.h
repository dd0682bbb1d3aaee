#pragma once
// velkorctl's commands for the headset's audio plugin (the one the program
// loads: SDK/<arch>/libosconf.so beside the tool, or libosconf-sim.so with
// --simulate):
//   audio list              the endpoints, their feature words, and whether
//                           each group of features works (or why not)
//   audio get NAME          one property's answer
//   audio set NAME VALUE    one property set (levels as 0.0..1.0, others as integers)
#include <cstdio>
#include <string>
#include <vector>

namespace velkor {

// Runs the command in `words` (words[0] is "audio") with the plugin at
// `pluginPath`. Returns the exit code: 0 done, 1 failed (no plugin, no sound
// card, the plugin refused; the reason on `err`), 2 wrong arguments; -1 when
// `words` is not this command.
int RunAudioCommand(const std::vector<std::string>& words, const std::string& pluginPath, std::FILE* out,
                    std::FILE* err);

// The usage lines of these commands, in velkorctl's help format.
void PrintAudioCommandUsage(std::FILE* out);

} // namespace velkor
