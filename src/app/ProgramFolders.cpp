#include "app/ProgramFolders.h"

#include "profiles/ProfileFolders.h"

#include <filesystem>

namespace velkor {

namespace fs = std::filesystem;

ProgramFolders LocateProgramFolders(const std::string& programFolder) {
    // "Font" lies where "skin" was found.
    const fs::path skin = fs::path(ShippedFolder(programFolder, "skin")).parent_path();
    return ProgramFolders{programFolder, skin.string(), (skin.parent_path() / "Font").string()};
}

} // namespace velkor
