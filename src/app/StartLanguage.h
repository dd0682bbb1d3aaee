#pragma once
// The language the program starts in, and the user's stored choice.
//
// The choice a user makes in the settings window is stored as a language
// identifier, the member "LANGUAGE" of the settings file (profiles/SettingsFile.h).
// Until one is stored the desktop's locale decides: a Chinese locale takes the
// table's "zh_CN" entry, any other the "en" entry.
#include "profiles/LanguageTexts.h"

#include <optional>
#include <string>
#include <string_view>

namespace velkor {

inline constexpr const char* kSettingLanguage = "LANGUAGE";

// The locale the desktop asks for: $LC_ALL, else $LC_MESSAGES, else $LANG
// (each when set and not empty); empty when none is.
std::string_view DesktopLocale(const char* lcAll, const char* lcMessages, const char* lang);

// The index of the start language in `table`: the entry of `storedId` when
// one is stored and the table has it, else the entry whose "Language_name"
// starts the way the locale does ("zh" or "en"), else 0.
int StartLanguageIndex(const std::vector<LanguageEntry>& table, std::optional<int64_t> storedId,
                       std::string_view locale);

// The stored "LANGUAGE" of the settings file at `settingsPath`; nothing when
// the file, the member or a whole number is missing.
std::optional<int64_t> ReadStoredLanguageId(const std::string& settingsPath);

// StartLanguageIndex with the stored choice of the settings file.
int ReadLanguageIndex(const std::string& settingsPath, const std::vector<LanguageEntry>& table,
                      std::string_view locale);

// Stores `id` as "LANGUAGE", creating the settings folder when missing (other
// members are kept). Traces "写成功！" on success; false when it could not be
// written (the old file is then unchanged).
bool WriteLanguageId(const std::string& settingsPath, int64_t id);

} // namespace velkor
