#pragma once
// velkorctl's commands that send the running program a message over the
// session bus, so that games and scripts can drive it:
//   raise                                  bring the program's window to the front
//   lighting release|take                  ask it to stop or resume controlling the lighting
//   game-event start|end|kill|death KIND MODE   report a game event (32-bit integers)
#include <cstdio>
#include <string>
#include <vector>

namespace velkor {

class MessageBus;

// Runs the command in `words` (words[0] is the command name) on the session
// bus. Returns the exit code: 0 the program took the message, 1 it did not
// (not running, no session bus, refused; the reason goes to standard error),
// 2 wrong arguments (with usage); -1 when `words` is not one of these commands.
int RunBusCommand(const std::vector<std::string>& words);

// The same on `bus`, with messages for the user written to `err`.
int RunBusCommand(const std::vector<std::string>& words, MessageBus& bus, std::FILE* err);

// The usage lines of these commands, in velkorctl's help format.
void PrintBusCommandUsage(std::FILE* out);

} // namespace velkor
