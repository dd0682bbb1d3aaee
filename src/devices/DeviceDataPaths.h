#pragma once
// Where a device's files lie and the names its panels show.
//
// The folders: the default data folder beside the program ("DefaultData/"),
// the user data folder per type name ("VELKOR01/<type name>/" under the data
// home, created level by level when missing) and the default profile (type
// name + ".Json" in the default data folder). The name lists (macros, modes,
// areas, custom effects) are read from the data files by Reload. User-interface
// thread only.
#include "devices/DeviceLinks.h"
#include "devices/DeviceModels.h"
#include "devices/DeviceNameLists.h"

#include <cstdint>
#include <string>

namespace velkor {

class DeviceDataPaths {
public:
    explicit DeviceDataPaths(DeviceFolders folders) : m_folders(std::move(folders)) {}

    // "mouse", "keyboard", "MousePad" or "HD": also the name of the device's folders.
    void SetTypeName(std::string name) { m_typeName = std::move(name); }
    const std::string& TypeName() const { return m_typeName; }
    // Names the kinds' lighting configuration file ("ornic_light" for every model).
    void SetLightSettingsName(std::string name) { m_lightSettingsName = std::move(name); }
    const std::string& LightSettingsName() const { return m_lightSettingsName; }

    // data home + "/VELKOR01/" + type name + "/", each level created when
    // missing. Empty when the data home is not absolute, the type name is not
    // a plain file name, or a level cannot be created.
    std::string UserDataFolder() const;
    // program folder + "/DefaultData/"; empty without a program folder.
    std::string DefaultDataFolder() const;
    // Default data folder + type name + ".Json"; empty when either is unusable.
    std::string DefaultProfilePath() const;

    // Refreshes the name lists from the data files, in this order:
    // 1. macro names from the user data folder's macro index ("macro.config";
    //    "ornic_macro.config" for mouse pads and headsets, by `kindTag`):
    //    always emptied first, so a missing or damaged file leaves none;
    // 2. from the default data folder's "default_light.json", entry
    //    [`modelCode`]: the mode names, visible flags and effect codes, and the
    //    area names;
    // 3. the custom effect names from the user data folder's
    //    "ornic_light.config", entry [`modelCode`].
    // A list whose source is missing keeps what it had. Nothing is written.
    void ReloadNameLists(DeviceClass kindTag, uint32_t modelCode);
    const DeviceNameLists& NameLists() const { return m_nameLists; }
    DeviceNameLists& MutableNameLists() { return m_nameLists; }

private:
    DeviceFolders m_folders;
    std::string m_typeName;
    std::string m_lightSettingsName;
    DeviceNameLists m_nameLists;
};

} // namespace velkor
