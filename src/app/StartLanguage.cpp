#include "app/StartLanguage.h"

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

} // namespace velkor
