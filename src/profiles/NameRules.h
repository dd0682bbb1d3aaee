#pragma once
// Rules for names shared by the profile and macro libraries (and the shell):
// how two names the user gives are compared, and which names read from a file
// may name a file. Pure functions, any thread.
#include <cstddef>
#include <string_view>

namespace velkor {

// True when `a` and `b` are the same text with ASCII letters compared without
// regard to case. Every other byte (UTF-8 sequences included) must match
// exactly, so the answer never depends on the process locale.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// Longest name IsPlainFileName accepts, in bytes. Linux refuses a file name
// past 255 bytes; the callers add an extension of up to 6 (".light"), and the
// names stored are short (a 23-byte time stamp, a 38-byte braced Guid), so 200
// leaves room and still takes every name the profile folders ever took.
inline constexpr size_t kMaxPlainFileNameBytes = 200;

// The one rule for a name read from a file, a table or the user's data that
// becomes folder + name (+ extension): it must name a file of that folder and
// nothing else. Not empty, not "." or "..", no '/', no '\\' (the folder
// separator of Windows, and exported files travel), no control character
// (0x00-0x1F, 0x7F, so no NUL either), at most kMaxPlainFileNameBytes bytes.
// Any other byte, UTF-8 included, is allowed.
bool IsPlainFileName(std::string_view name);

} // namespace velkor
