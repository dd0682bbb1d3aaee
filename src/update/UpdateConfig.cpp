#include "update/UpdateConfig.h"

#include "profiles/SettingsFile.h"
#include "update/HttpClient.h"

namespace velkor {

bool ResolveUpdateServer(const UpdateConfigSources& sources, UpdateServerConfig& config, std::string* why) {
    config = UpdateServerConfig{};
    Json::Value settings(Json::objectValue);
    if (!sources.settingsPath.empty()) {
        settings = ReadSettings(sources.settingsPath);
    }
    const std::string fromSettings = SettingText(settings, kSettingUpdateServer);
    std::string url;
    if (!sources.commandLineServer.empty()) {
        url = sources.commandLineServer;
        config.source = "the command line";
    } else if (!sources.environmentServer.empty()) {
        url = sources.environmentServer;
        config.source = "VELKOR_UPDATE_SERVER";
    } else if (!fromSettings.empty()) {
        url = fromSettings;
        config.source = sources.settingsPath;
    }
    if (!sources.commandLineCaFile.empty()) {
        config.caFile = sources.commandLineCaFile;
    } else if (!sources.environmentCaFile.empty()) {
        config.caFile = sources.environmentCaFile;
    } else {
        config.caFile = SettingText(settings, kSettingUpdateCaFile);
    }
    if (url.empty()) {
        return true;
    }
    std::string reason;
    const size_t query = url.find_first_of("?#");
    if (!HttpUrlAllowed(url, false, &reason)) {
        reason = "the update server " + url + " (from " + config.source + ") is refused: " + reason;
    } else if (query != std::string::npos || !url.ends_with("/api/")) {
        reason = "the update server " + url + " (from " + config.source + ") must end in /api/";
    } else {
        config.baseUrl = url;
        return true;
    }
    if (why != nullptr) {
        *why = reason;
    }
    config.source.clear();
    return false;
}

} // namespace velkor
