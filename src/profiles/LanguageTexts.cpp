#include "profiles/LanguageTexts.h"

#include "platform/JsonFileHelper.h"
#include "profiles/DeviceDataFiles.h"
#include "profiles/JsonFields.h"
#include "profiles/NameRules.h"

#include <pugixml.hpp>

#include <cstring>

namespace velkor {

namespace {

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

std::string TextOrEmpty(const Json::Value& value) {
    std::string text;
    return JsonToText(value, text) ? text : std::string();
}

// The text of a <text> element: its character data, nothing else.
bool ElementText(const pugi::xml_node& node, std::string& out) {
    out.clear();
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        const pugi::xml_node_type type = child.type();
        if (type == pugi::node_pcdata || type == pugi::node_cdata) {
            out += child.value();
        } else if (type != pugi::node_comment) {
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<LanguageEntry> LanguageTableOf(const Json::Value& config) {
    std::vector<LanguageEntry> table;
    const Json::Value& languages = JsonMember(config, "Language");
    if (!languages.isArray()) {
        return table;
    }
    for (Json::ArrayIndex i = 0; i < languages.size(); ++i) {
        const Json::Value& element = languages[i];
        LanguageEntry entry;
        int64_t id = 0;
        const Json::Value& idValue = JsonMember(element, "Language_ID");
        if (idValue.isIntegral() && JsonToInteger(idValue, id)) {
            entry.id = id;
        }
        entry.name = TextOrEmpty(JsonMember(element, "Language_name"));
        entry.file = TextOrEmpty(JsonMember(element, "Language_file"));
        entry.textKey = TextOrEmpty(JsonMember(element, "Language_text"));
        table.push_back(std::move(entry));
    }
    return table;
}

std::vector<LanguageEntry> ReadLanguageTable(const std::string& defaultDataFolder) {
    return LanguageTableOf(CJsonFileHelper().ReadJsonFile(defaultDataFolder + kLanguageTableFileName));
}

int LanguageIndexOf(const std::vector<LanguageEntry>& table, int64_t id) {
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].id == id) {
            return int(i);
        }
    }
    return 0;
}

std::string LanguageFilePath(const std::string& skinFolder, const LanguageEntry& entry) {
    if (skinFolder.empty() || !IsPlainFileName(entry.file)) {
        return {};
    }
    return skinFolder + (skinFolder.back() == '/' ? "" : "/") + entry.file;
}

bool ParseLanguageFile(std::string_view text, std::map<std::string, std::string, std::less<>>& texts,
                       std::string* languageName, std::string* error) {
    if (text.size() > kMaxLanguageFileBytes) {
        SetError(error, "language file larger than " + std::to_string(kMaxLanguageFileBytes) + " bytes");
        return false;
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        SetError(error, std::string("damaged language file: ") + parsed.description() + " at byte " +
                            std::to_string(parsed.offset));
        return false;
    }
    const pugi::xml_node root = doc.document_element();
    if (std::strcmp(root.name(), "language") != 0) {
        SetError(error, "language file whose top element is not <language>");
        return false;
    }
    std::map<std::string, std::string, std::less<>> read;
    for (pugi::xml_node node = root.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_comment) {
            continue;
        }
        if (node.type() != pugi::node_element || std::strcmp(node.name(), "text") != 0) {
            SetError(error, std::string("unexpected content <") + node.name() + "> in the language file");
            return false;
        }
        const std::string key = node.attribute("id").as_string();
        if (key.empty() || key.size() > kMaxLanguageKeyBytes) {
            SetError(error, "a <text> of the language file has no usable id");
            return false;
        }
        std::string value;
        if (!ElementText(node, value)) {
            SetError(error, "text '" + key + "' holds markup");
            return false;
        }
        if (!read.emplace(key, SanitizeUtf8(value)).second) {
            SetError(error, "text '" + key + "' appears twice in the language file");
            return false;
        }
    }
    texts = std::move(read);
    if (languageName != nullptr) {
        *languageName = SanitizeUtf8(root.attribute("name").as_string());
    }
    return true;
}

bool LanguageTexts::LoadFile(const std::string& path, std::string* error) {
    const CJsonFileHelper files;
    std::string text;
    const FileReadStatus status = files.ReadTextFile(path, text);
    if (status != FileReadStatus::Ok && status != FileReadStatus::Empty) {
        SetError(error, "cannot read the language file '" + path + "'");
        return false;
    }
    std::string reason;
    if (!LoadText(text, &reason)) {
        SetError(error, path + ": " + reason);
        return false;
    }
    return true;
}

bool LanguageTexts::LoadText(std::string_view text, std::string* error) {
    std::map<std::string, std::string, std::less<>> texts;
    std::string name;
    if (!ParseLanguageFile(text, texts, &name, error)) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_texts = std::move(texts);
    m_languageName = std::move(name);
    return true;
}

std::optional<std::string> LanguageTexts::Text(std::string_view key) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_texts.find(key);
    if (found == m_texts.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool LanguageTexts::Has(std::string_view key) const {
    std::lock_guard lock(m_mutex);
    return m_texts.find(key) != m_texts.end();
}

size_t LanguageTexts::Count() const {
    std::lock_guard lock(m_mutex);
    return m_texts.size();
}

std::string LanguageTexts::LanguageName() const {
    std::lock_guard lock(m_mutex);
    return m_languageName;
}

std::vector<std::string> LanguageTexts::Keys() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> keys;
    keys.reserve(m_texts.size());
    for (const auto& [key, text] : m_texts) {
        keys.push_back(key);
    }
    return keys;
}

std::string FormatTextWithNumber(std::string_view text, int64_t number) {
    std::string out;
    out.reserve(text.size() + 20);
    bool used = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size()) {
            if (text[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (text[i + 1] == 'd' && !used) {
                out += std::to_string(number);
                used = true;
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool LoadLanguage(LanguageTexts& texts, const std::string& defaultDataFolder, const std::string& skinFolder,
                  int index, std::string* error) {
    const std::vector<LanguageEntry> table = ReadLanguageTable(defaultDataFolder);
    if (index < 0 || size_t(index) >= table.size()) {
        SetError(error, "the language table '" + defaultDataFolder + kLanguageTableFileName +
                            "' has no language " + std::to_string(index));
        return false;
    }
    const std::string path = LanguageFilePath(skinFolder, table[size_t(index)]);
    if (path.empty()) {
        SetError(error, "language " + std::to_string(index) + " names no usable file");
        return false;
    }
    return texts.LoadFile(path, error);
}

} // namespace velkor
