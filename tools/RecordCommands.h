#pragma once
// velkorctl macro record FILE [--delay measured|none|MS] [--count N] [--seconds S]:
// records the keys and mouse buttons pressed on the keyboards and mice under
// /dev/input into a macro file, through the recorder the program's macro
// panel uses (appending, delays measured between the presses' own times, none,
// or fixed), never keeping a key from other programs. It stops after N
// presses and releases or S seconds (10 by default) and writes the file as
// the panel saves a macro, so that the panel can import it.
#include <cstdio>
#include <string>
#include <vector>

namespace velkor {

// Runs `words` when they are this command and returns the exit code: 0
// written, 1 nothing recorded or the file not written, 2 wrong arguments, 3 no
// readable keyboard or mouse; -1 when `words` is not this command.
int RunMacroRecordCommand(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);

void PrintMacroRecordUsage(std::FILE* out);

} // namespace velkor
