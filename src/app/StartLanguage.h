#pragma once
// The language the program starts in. The choice a user makes in the settings
// window is stored as a language identifier; until one is stored the desktop's
// locale decides: a Chinese locale takes the table's "zh_CN" entry, any other
// the "en" entry.
#include "profiles/LanguageTexts.h"

#include <optional>
#include <string_view>

namespace velkor {

// The locale the desktop asks for: $LC_ALL, else $LC_MESSAGES, else $LANG
// (each when set and not empty); empty when none is.
std::string_view DesktopLocale(const char* lcAll, const char* lcMessages, const char* lang);

// The index of the start language in `table`: the entry of `storedId` when
// one is stored and the table has it, else the entry whose "Language_name"
// starts the way the locale does ("zh" or "en"), else 0.
int StartLanguageIndex(const std::vector<LanguageEntry>& table, std::optional<int64_t> storedId,
                       std::string_view locale);

} // namespace velkor
