#pragma once
// The process environment as a value, and where the running program file is.
//
// Only the entry points (main, a plugin's exported functions) read the
// process: Environment::FromProcess takes a copy there, and everything below
// receives that copy (or the strings it needs) as a parameter, so that no
// part reads a global and tests can hand any environment in. An Environment
// is an immutable value once built; any thread may read it.
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>

namespace velkor {

class Environment {
public:
    using Variables = std::map<std::string, std::string, std::less<>>;

    // No variable set.
    Environment() = default;
    explicit Environment(Variables variables) : m_variables(std::move(variables)) {}

    // Every variable of the process now.
    static Environment FromProcess();
    // Only the ones named (for a plugin that reads its few at every call).
    static Environment FromProcess(std::initializer_list<const char*> names);

    // The value, or null when the variable is unset.
    const char* Find(std::string_view name) const;
    // The value, or empty when the variable is unset.
    std::string Get(std::string_view name) const;

    bool operator==(const Environment&) const = default;

private:
    Variables m_variables;
};

// The running program file's absolute path (from /proc/self/exe); empty when
// the system cannot tell.
std::string ExecutablePath();
// The folder of the running program file; the current folder when the system
// cannot tell.
std::string ExecutableFolder();

} // namespace velkor
