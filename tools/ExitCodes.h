#pragma once
// velkorctl's exit codes, shared by its commands (README: "It exits with …").
namespace velkor::exitcode {

inline constexpr int kNotThisCommand = -1; // a command runner: the words are another command's
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;   // a device, the program or the plugin failed or refused
inline constexpr int kUsage = 2;    // wrong arguments
inline constexpr int kNotFound = 3; // a path, device or readable input is missing

} // namespace velkor::exitcode
