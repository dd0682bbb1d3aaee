#pragma once
// velkorctl's commands for the keyboards and mice that the program's input
// hook reads (the kernel's input nodes under /dev/input):
//   input                           each keyboard and mouse, readable or why not
//   input --watch N [--seconds S]   N presses and releases as they come; never
//                                   keeps a key from other programs
#include "platform/input/InputNodes.h"

#include <cstdio>
#include <string>
#include <vector>

namespace velkor {

// Runs `words` (words[0] is "input") and returns the exit code: 0 done, 1 the
// watch ended before N reports, 2 wrong arguments, 3 no readable keyboard (the
// message names the cause); -1 when `words` is not this command.
// Results go to `out`, messages to `err`.
int RunInputCommand(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);

void PrintInputCommandUsage(std::FILE* out);

// UnreadableInputCause, one message line each.
void PrintUnreadableInputCause(const std::vector<InputNodeInfo>& nodes, bool orMouse, std::FILE* err);

} // namespace velkor
