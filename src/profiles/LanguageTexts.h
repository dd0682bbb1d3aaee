#pragma once
// The languages of the user interface and their texts.
//
// The language table "Language.config" (default data folder) is a JSON object
// whose "Language" array lists the languages; the position in the array is the
// language index used everywhere else:
//   {"Language": [{"Language_ID": 2052, "Language_name": "zh_CN",
//                  "Language_file": "lan_cn.xml", "Language_text": "language_name_zh_cn"}, ...]}
//
// A language file (in the skin folder) maps language keys to texts:
//   <?xml version="1.0" encoding="UTF-8"?>
//   <language name="English">
//     <text id="message_text_5">That name is already taken.</text>
//   </language>
// Every <text> has a non-empty "id" of at most kMaxLanguageKeyBytes bytes that
// no other <text> of the file has; its content is the text (entities decoded,
// white space kept). Anything else in <language> besides comments makes the
// file damaged. A damaged file is refused whole with a clear error.
#include "ui/Toolkit.h"

#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// The identifier a missing stored choice stands for.
inline constexpr int64_t kDefaultLanguageId = 520;
inline constexpr size_t kMaxLanguageFileBytes = size_t(4) << 20;
inline constexpr size_t kMaxLanguageKeyBytes = 200;

struct LanguageEntry {
    int64_t id = -1;     // "Language_ID"; -1 when missing or not a number
    std::string name;    // "Language_name"
    std::string file;    // "Language_file"
    std::string textKey; // "Language_text": language key of the entry's display name
};

// The entries of "Language", in order. An element of the wrong type keeps its
// position with empty fields. Empty when the document or "Language" is missing.
std::vector<LanguageEntry> LanguageTableOf(const Json::Value& config);
// LanguageTableOf the file defaultDataFolder + "Language.config" (empty when it
// is missing or damaged).
std::vector<LanguageEntry> ReadLanguageTable(const std::string& defaultDataFolder);
// Position of the first entry with this identifier; 0 when none has it.
int LanguageIndexOf(const std::vector<LanguageEntry>& table, int64_t id);
// skinFolder + "/" + the entry's file; empty when the file is not a plain file
// name (it must stay inside the skin folder) or the skin folder is empty.
std::string LanguageFilePath(const std::string& skinFolder, const LanguageEntry& entry);

// Parses a language file. False, with `error` set and `texts` untouched, for a
// damaged file.
bool ParseLanguageFile(std::string_view text, std::map<std::string, std::string, std::less<>>& texts,
                       std::string* languageName, std::string* error);

// The texts of the current language for the toolkit. Loading replaces all texts
// at once, and only when the new file is sound: a failed load keeps the
// previous language. Any thread.
class LanguageTexts final : public ui::TextProvider {
public:
    bool LoadFile(const std::string& path, std::string* error = nullptr);
    bool LoadText(std::string_view text, std::string* error = nullptr);

    // The text of `key`, nothing when the current language lacks it (the
    // toolkit then shows the key itself, see ui::TextOrKey).
    std::optional<std::string> Text(std::string_view key) const override;
    bool Has(std::string_view key) const;
    size_t Count() const;
    // The "name" of the loaded file ("" before the first load).
    std::string LanguageName() const;
    std::vector<std::string> Keys() const;

private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::string, std::less<>> m_texts;
    std::string m_languageName;
};

// A language text used as a format with one integer ("message_text_16"): the
// first "%d" becomes `number`, "%%" becomes "%", and everything else, other
// conversions included, stays as written. Texts come from files, so they are
// never handed to printf.
std::string FormatTextWithNumber(std::string_view text, int64_t number);

// Loads entry `index` of the language table defaultDataFolder + "Language.config"
// with its file from `skinFolder`. False, with `error` set and the texts left
// as they were, when the table cannot be read, has no such entry, or the file
// cannot be loaded.
bool LoadLanguage(LanguageTexts& texts, const std::string& defaultDataFolder, const std::string& skinFolder,
                  int index, std::string* error = nullptr);

} // namespace velkor
