#pragma once
// The program's settings file: $XDG_CONFIG_HOME/VELKOR01/settings.json (else
// ~/.config/VELKOR01/settings.json), one JSON object holding the user's
// choices: the language, the update server ("UpdateServer") and its CA file
// ("UpdateCaFile").
//
// Reading never fails: a missing, damaged or non-object file reads as an empty
// object. Writing changes one member and keeps every other member, also those
// this build does not know; it is atomic (CJsonFileHelper), and a damaged file
// is first kept aside as "settings.json.damaged" rather than lost. Any thread;
// the file is the only shared state.
#include "platform/JsonFileHelper.h"

#include <json/value.h>

#include <string>
#include <string_view>

namespace velkor {

inline constexpr const char* kSettingsFileName = "settings.json";
inline constexpr const char* kSettingUpdateServer = "UpdateServer";
inline constexpr const char* kSettingUpdateCaFile = "UpdateCaFile";

// The settings file's path from $XDG_CONFIG_HOME and $HOME (null when unset):
// XDG_CONFIG_HOME when absolute, else HOME + "/.config" when absolute, then
// "/VELKOR01/settings.json". Empty when neither is absolute.
std::string SettingsFilePath(const char* xdgConfigHome, const char* home);

// The settings object; `status` (may be null) says why it is empty.
Json::Value ReadSettings(const std::string& path, FileReadStatus* status = nullptr);

// A string member of the settings, empty when absent or not a string.
std::string SettingText(const Json::Value& settings, std::string_view member);

// Sets `member` to `value` (null removes it) and writes the file, creating its
// folder (mode 0700) when missing. False when it could not be written; the old
// file is then unchanged.
bool WriteSetting(const std::string& path, std::string_view member, const Json::Value& value);

} // namespace velkor
