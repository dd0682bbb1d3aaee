#include "macros/MacroFiles.h"

#include "macros/MacroEvent.h"
#include "profiles/NameRules.h"

#include <cctype>

namespace velkor {

namespace {

std::string StringMember(const Json::Value& object, const char* name) {
    const Json::Value& value = object[name];
    return value.isString() ? value.asString() : std::string();
}

} // namespace

std::string JoinMacroPath(const std::string& folder, std::string_view name) {
    if (folder.empty()) {
        return {};
    }
    std::string path = folder;
    if (path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

std::string MacroFilePath(const std::string& folder, std::string_view guid) {
    if (!IsPlainFileName(guid)) {
        return {};
    }
    return JoinMacroPath(folder, std::string(guid) + std::string(kMacroFileExtension));
}

Json::Value ReadMacroIndexDocument(const CJsonFileHelper& json, const std::string& path, bool* damaged) {
    JsonFileContents contents = json.ReadJsonFileDetailed(path);
    const bool isObject = contents.status == FileReadStatus::Ok && contents.value.isObject();
    if (damaged != nullptr) {
        *damaged = !isObject && contents.status != FileReadStatus::Missing;
    }
    Json::Value document = isObject ? std::move(contents.value) : Json::Value(Json::objectValue);
    if (!document["MacroInfo"].isArray()) {
        document["MacroInfo"] = Json::Value(Json::arrayValue);
    }
    return document;
}

std::vector<MacroInfoEntry> MacroIndexEntries(const Json::Value& document) {
    std::vector<MacroInfoEntry> entries;
    if (!document.isObject() || !document["MacroInfo"].isArray()) {
        return entries;
    }
    for (const Json::Value& element : document["MacroInfo"]) {
        MacroInfoEntry entry;
        if (element.isObject()) {
            entry.name = StringMember(element, "MacroName");
            entry.guid = StringMember(element, "Guid");
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool WriteMacroIndexDocument(const CJsonFileHelper& json, const Json::Value& document,
                             const std::string& path, bool damaged) {
    if (path.empty()) {
        return false;
    }
    if (damaged) {
        // Keep what cannot be read instead of silently replacing it; a file
        // that cannot even be read (permissions, too large) is left alone.
        std::string text;
        const FileReadStatus status = json.ReadTextFile(path, text);
        if (status == FileReadStatus::Ok) {
            if (!json.WriteTextFile(text, path + std::string(kDamagedIndexSuffix))) {
                return false;
            }
        } else if (status != FileReadStatus::Missing && status != FileReadStatus::Empty) {
            return false;
        }
    }
    return json.WriteJsonFile(document, path);
}

Json::Value MakeMacroDocument(const std::string& name, const std::string& guid, const Json::Value& events) {
    Json::Value document(Json::objectValue);
    document["MacroName"] = name;
    document["Guid"] = guid;
    document["Events"] = events.isArray() ? events : Json::Value(Json::arrayValue);
    document["Version"] = kMacroFileVersion;
    return document;
}

Json::Value ReadMacroEvents(const CJsonFileHelper& json, const std::string& path) {
    if (path.empty()) {
        return Json::Value(Json::arrayValue);
    }
    Json::Value document = json.ReadJsonFile(path);
    if (!document.isObject() || !document["Events"].isArray()) {
        return Json::Value(Json::arrayValue);
    }
    // Taken out, not copied: a long macro's events are thousands of objects.
    Json::Value events;
    events.swap(document["Events"]);
    return events;
}

std::string TrimName(std::string_view text) {
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    size_t first = 0;
    while (first < text.size() && space(text[first])) {
        ++first;
    }
    size_t last = text.size();
    while (last > first && space(text[last - 1])) {
        --last;
    }
    return std::string(text.substr(first, last - first));
}

} // namespace velkor
