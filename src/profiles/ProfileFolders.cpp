#include "profiles/ProfileFolders.h"

#include "profiles/NameRules.h"

#include <cerrno>

#include <dirent.h>
#include <sys/stat.h>

namespace velkor {
namespace {

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates every missing level of an absolute path, one at a time.
bool MakeFolders(const std::string& path) {
    if (path.empty() || path.front() != '/') {
        return false;
    }
    size_t end = 1;
    while (end <= path.size()) {
        end = path.find('/', end);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string level = path.substr(0, end);
        if (!level.empty() && level.back() != '/' && !IsFolder(level)) {
            if (::mkdir(level.c_str(), 0700) != 0 && !(errno == EEXIST && IsFolder(level))) {
                return false;
            }
        }
        ++end;
    }
    return true;
}

} // namespace

std::string DataHomeFrom(const char* xdgDataHome, const char* home) {
    // Relative values are invalid by the XDG rules and are ignored.
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') {
        return xdgDataHome;
    }
    if (home != nullptr && home[0] == '/') {
        return WithSlash(home) + ".local/share";
    }
    return {};
}

std::string UserBaseFolder(const std::string& dataHome) {
    if (dataHome.empty() || dataHome.front() != '/') {
        return {};
    }
    const std::string base = WithSlash(dataHome) + kUserBaseFolderName;
    return MakeFolders(base) ? base + "/" : std::string();
}

std::string UserDataFolder(const std::string& dataHome, const std::string& deviceFolder) {
    if (!IsPlainFileName(deviceFolder)) {
        return {};
    }
    const std::string base = UserBaseFolder(dataHome);
    if (base.empty()) {
        return {};
    }
    const std::string folder = base + deviceFolder;
    return MakeFolders(folder) ? folder + "/" : std::string();
}

std::vector<std::string> ExistingDataFolders(const std::string& dataHome) {
    std::vector<std::string> folders;
    if (dataHome.empty() || dataHome.front() != '/') {
        return folders;
    }
    const std::string base = WithSlash(dataHome) + kUserBaseFolderName + "/";
    DIR* dir = ::opendir(base.c_str());
    if (dir == nullptr) {
        return folders;
    }
    folders.push_back(base);
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st {};
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && ::lstat((base + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            folders.push_back(base + name + "/");
        }
    }
    ::closedir(dir);
    return folders;
}

std::string ShippedFolder(const std::string& programFolder, const std::string& name) {
    const std::string beside = WithSlash(programFolder) + name;
    if (!IsFolder(beside) && !programFolder.empty()) {
        // <prefix>/bin/velkor finds <prefix>/share/velkor/<name>.
        std::string program = programFolder;
        while (program.size() > 1 && program.back() == '/') {
            program.pop_back();
        }
        const size_t slash = program.rfind('/');
        if (slash != std::string::npos) {
            const std::string installed = program.substr(0, slash) + "/share/velkor/" + name;
            if (IsFolder(installed)) {
                return installed + "/";
            }
        }
    }
    return beside + "/";
}

std::string DefaultDataFolder(const std::string& programFolder) {
    return ShippedFolder(programFolder, kDefaultDataFolderName);
}

std::string DefaultProfilePath(const std::string& programFolder, const std::string& deviceFolder) {
    if (!IsPlainFileName(deviceFolder)) {
        return {};
    }
    return DefaultDataFolder(programFolder) + deviceFolder + kProfileExtension;
}

std::string ProfileFilePath(const std::string& userDataFolder, const std::string& identifier) {
    if (userDataFolder.empty() || !IsPlainFileName(identifier)) {
        return {};
    }
    return WithSlash(userDataFolder) + identifier + kProfileExtension;
}

std::string TempFolderFrom(const char* tmpdir) {
    if (tmpdir != nullptr && tmpdir[0] == '/') {
        return tmpdir;
    }
    return "/tmp";
}

std::string DownloadFolder(const std::string& tempFolder) {
    if (tempFolder.empty() || tempFolder.front() != '/') {
        return {};
    }
    const std::string folder = WithSlash(tempFolder) + kDownloadFolderName;
    return MakeFolders(folder) ? folder + "/" : std::string();
}

std::string LightConfigPath(const std::string& userDataFolder) {
    if (userDataFolder.empty()) {
        return {};
    }
    return WithSlash(userDataFolder) + kLightConfigFileName;
}

} // namespace velkor
