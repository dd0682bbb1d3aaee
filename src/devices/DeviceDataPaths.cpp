#include "devices/DeviceDataPaths.h"

#include "platform/JsonFileHelper.h"
#include "profiles/DeviceDataFiles.h"
#include "profiles/ProfileFolders.h"

namespace velkor {

std::string DeviceDataPaths::UserDataFolder() const {
    return velkor::UserDataFolder(m_folders.dataHome, m_typeName);
}

std::string DeviceDataPaths::DefaultDataFolder() const {
    if (m_folders.programFolder.empty()) {
        return {};
    }
    return velkor::DefaultDataFolder(m_folders.programFolder);
}

std::string DeviceDataPaths::DefaultProfilePath() const {
    if (m_folders.programFolder.empty()) {
        return {};
    }
    return velkor::DefaultProfilePath(m_folders.programFolder, m_typeName);
}

void DeviceDataPaths::ReloadNameLists(DeviceClass kindTag, uint32_t modelCode) {
    const CJsonFileHelper files;
    const std::string userFolder = UserDataFolder();
    const std::string defaultFolder = DefaultDataFolder();
    DeviceNameLists& lists = m_nameLists;

    lists.macroNames.clear();
    if (!userFolder.empty()) {
        lists.macroNames = MacroNamesOf(files.ReadJsonFile(userFolder + MacroIndexFileNameFor(kindTag)));
    }

    if (!defaultFolder.empty()) {
        const Json::Value effects = files.ReadJsonFile(defaultFolder + kDefaultLightFileName);
        if (std::optional<ModeListEntries> modes = ModeListOf(effects, modelCode)) {
            lists.modeNames = std::move(modes->names);
            lists.modeVisible = std::move(modes->visible);
            lists.modeCodes = std::move(modes->codes);
        }
        if (std::optional<std::vector<std::string>> areas = NamesOf(effects, "AreaLightName", modelCode)) {
            lists.areaNames = std::move(*areas);
        }
    }

    if (!userFolder.empty()) {
        const Json::Value config = files.ReadJsonFile(LightConfigPath(userFolder));
        if (std::optional<std::vector<std::string>> custom = NamesOf(config, "LightInfo", modelCode)) {
            lists.customEffectNames = std::move(*custom);
        }
    }
}

} // namespace velkor
