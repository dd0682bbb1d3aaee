#include "app/ProgramFolders.h"

#include "profiles/ProfileFolders.h"

#include <filesystem>

namespace velkor {

namespace fs = std::filesystem;

std::string ExecutableFolder() {
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec || !program.has_parent_path()) {
        return fs::current_path(ec).string();
    }
    return program.parent_path().string();
}

std::string ExecutablePath() {
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : program.string();
}

ProgramFolders LocateProgramFolders(const std::string& programFolder) {
    // "Font" lies where "skin" was found.
    const fs::path skin = fs::path(ShippedFolder(programFolder, "skin")).parent_path();
    return ProgramFolders{programFolder, skin.string(), (skin.parent_path() / "Font").string()};
}

} // namespace velkor
