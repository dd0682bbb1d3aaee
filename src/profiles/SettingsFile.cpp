#include "profiles/SettingsFile.h"

#include "platform/Trace.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace velkor {
namespace {

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

// Creates each missing level of `folder` (mode 0700); true when it is a folder afterwards.
bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string level = folder.substr(0, slash);
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string SettingsFilePath(const char* xdgConfigHome, const char* home) {
    std::string base;
    if (IsAbsolute(xdgConfigHome)) {
        base = xdgConfigHome;
    } else if (IsAbsolute(home)) {
        base = std::string(home) + "/.config";
    } else {
        return {};
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base + "/VELKOR01/" + kSettingsFileName;
}

Json::Value ReadSettings(const std::string& path, FileReadStatus* status) {
    const JsonFileContents contents = CJsonFileHelper().ReadJsonFileDetailed(path);
    if (status != nullptr) {
        *status = contents.status == FileReadStatus::Ok && !contents.value.isObject()
                      ? FileReadStatus::NotJson
                      : contents.status;
    }
    return contents.status == FileReadStatus::Ok && contents.value.isObject()
               ? contents.value
               : Json::Value(Json::objectValue);
}

std::string SettingText(const Json::Value& settings, std::string_view member) {
    if (!settings.isObject()) {
        return {};
    }
    const Json::Value* value = settings.find(member.data(), member.data() + member.size());
    return value != nullptr && value->isString() ? value->asString() : std::string();
}

bool WriteSetting(const std::string& path, std::string_view member, const Json::Value& value) {
    const size_t slash = path.rfind('/');
    if (path.empty() || slash == std::string::npos || !MakeFolders(path.substr(0, slash))) {
        TraceF("settings folder for %s cannot be made", path.c_str());
        return false;
    }
    const CJsonFileHelper helper;
    const JsonFileContents contents = helper.ReadJsonFileDetailed(path);
    Json::Value settings(Json::objectValue);
    if (contents.status == FileReadStatus::Ok && contents.value.isObject()) {
        settings = contents.value;
    } else if (contents.status == FileReadStatus::NotJson || contents.status == FileReadStatus::Ok ||
               contents.status == FileReadStatus::TooLarge || contents.status == FileReadStatus::Unreadable) {
        // Keep what the user had; the new file starts from nothing.
        const std::string aside = path + ".damaged";
        if (std::rename(path.c_str(), aside.c_str()) != 0) {
            TraceF("damaged settings file %s cannot be kept aside", path.c_str());
            return false;
        }
    }
    const std::string key(member);
    if (value.isNull()) {
        settings.removeMember(key);
    } else {
        settings[key] = value;
    }
    return helper.WriteJsonFile(settings, path);
}

} // namespace velkor
