#include "app/ProgramFolders.h"

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

ProgramFolders LocateProgramFolders(const std::string& programFolder) {
    const fs::path beside(programFolder);
    const fs::path installed = beside.parent_path() / "share" / "velkor";
    std::error_code ec;
    const bool useInstalled =
        !fs::is_directory(beside / "skin", ec) && fs::is_directory(installed / "skin", ec);
    const fs::path base = useInstalled ? installed : beside;
    return ProgramFolders{programFolder, (base / "skin").string(), (base / "Font").string()};
}

} // namespace velkor
