#pragma once
// Rules for names shared by the profile and macro libraries (and the shell):
// how two names the user gives are compared. Pure functions, any thread.
#include <string_view>

namespace velkor {

// True when `a` and `b` are the same text with ASCII letters compared without
// regard to case. Every other byte (UTF-8 sequences included) must match
// exactly, so the answer never depends on the process locale.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

} // namespace velkor
