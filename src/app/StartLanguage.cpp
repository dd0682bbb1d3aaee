#include "app/StartLanguage.h"

#include "platform/Trace.h"
#include "profiles/SettingsFile.h"

#include <cstring>

namespace velkor {

std::string_view DesktopLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value != nullptr && value[0] != '\0') {
            return value;
        }
    }
    return {};
}

int StartLanguageIndex(const std::vector<LanguageEntry>& table, std::optional<int64_t> storedId,
                       std::string_view locale) {
    if (storedId) {
        const int stored = LanguageIndexOf(table, *storedId); // 0 also when no entry has it
        if (size_t(stored) < table.size() && table[size_t(stored)].id == *storedId) {
            return stored;
        }
    }
    const std::string_view wanted = locale.substr(0, 2) == "zh" ? "zh" : "en";
    for (size_t i = 0; i < table.size(); ++i) {
        if (std::string_view(table[i].name).substr(0, 2) == wanted) {
            return int(i);
        }
    }
    return 0;
}

std::optional<int64_t> ReadStoredLanguageId(const std::string& settingsPath) {
    if (settingsPath.empty()) {
        return std::nullopt;
    }
    const Json::Value settings = ReadSettings(settingsPath);
    const Json::Value* stored =
        settings.find(kSettingLanguage, kSettingLanguage + std::strlen(kSettingLanguage));
    if (stored == nullptr) {
        return std::nullopt;
    }
    if (!stored->isIntegral() || (stored->isUInt64() && !stored->isInt64())) {
        Trace("the stored language is not a whole number: the desktop's language counts");
        return std::nullopt;
    }
    return stored->asInt64();
}

int ReadLanguageIndex(const std::string& settingsPath, const std::vector<LanguageEntry>& table,
                      std::string_view locale) {
    return StartLanguageIndex(table, ReadStoredLanguageId(settingsPath), locale);
}

bool WriteLanguageId(const std::string& settingsPath, int64_t id) {
    if (settingsPath.empty()) {
        Trace("no settings file: the language choice is not stored");
        return false;
    }
    if (!WriteSetting(settingsPath, kSettingLanguage, Json::Value(Json::Int64(id)))) {
        TraceF("the language choice cannot be stored in %s", settingsPath.c_str());
        return false;
    }
    Trace("写成功！");
    return true;
}

} // namespace velkor
