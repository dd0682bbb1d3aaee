#include "platform/Environment.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace velkor {

Environment Environment::FromProcess() {
    Variables variables;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals != nullptr) {
            variables.emplace(std::string(*entry, size_t(equals - *entry)), std::string(equals + 1));
        }
    }
    return Environment(std::move(variables));
}

Environment Environment::FromProcess(std::initializer_list<const char*> names) {
    Variables variables;
    for (const char* name : names) {
        if (const char* value = std::getenv(name); value != nullptr) {
            variables.emplace(name, value);
        }
    }
    return Environment(std::move(variables));
}

const char* Environment::Find(std::string_view name) const {
    const auto found = m_variables.find(name);
    return found == m_variables.end() ? nullptr : found->second.c_str();
}

std::string Environment::Get(std::string_view name) const {
    const char* value = Find(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string ExecutablePath() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.string();
}

std::string ExecutableFolder() {
    const std::filesystem::path program = ExecutablePath();
    if (!program.has_parent_path()) {
        std::error_code error;
        return std::filesystem::current_path(error).string();
    }
    return program.parent_path().string();
}

} // namespace velkor
