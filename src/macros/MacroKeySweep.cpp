#include "macros/MacroKeySweep.h"

#include "profiles/JsonFields.h"

namespace velkor {

namespace {

// The function after deleting `macroIndex`, or nothing when it stays.
// `restored` is what a key that played the deleted macro gets back.
std::optional<KeyFunction> AfterDeletion(const KeyFunction& current, const KeyFunction& restored,
                                         int macroIndex) {
    if (!IsMacro(current)) {
        return std::nullopt;
    }
    if (current.paramA == macroIndex) {
        return restored;
    }
    if (current.paramA > macroIndex) {
        KeyFunction moved = current;
        --moved.paramA;
        return moved;
    }
    return std::nullopt;
}

} // namespace

bool PlaysMacro(const KeyFunction& function, int macroIndex) {
    return IsMacro(function) && function.paramA == macroIndex;
}

bool KeysUseMacro(const std::vector<KeyListEntry>& keys, int macroIndex) {
    for (const KeyListEntry& entry : keys) {
        if (PlaysMacro(entry.current, macroIndex)) {
            return true;
        }
    }
    return false;
}

int RemoveMacroFromKeys(std::vector<KeyListEntry>& keys, int macroIndex) {
    int changed = 0;
    for (KeyListEntry& entry : keys) {
        if (const auto after = AfterDeletion(entry.current, entry.defaultFunction, macroIndex)) {
            const uint16_t code = entry.current.code;
            entry.current = *after;
            entry.current.code = code;
            ++changed;
        }
    }
    return changed;
}

int RemoveMacroFromKeyList(Json::Value& keyList, int macroIndex) {
    if (!keyList.isArray()) {
        return 0;
    }
    int changed = 0;
    for (Json::Value& element : keyList) {
        if (!element.isObject() || !element["Assignment"].isInt64()) {
            continue;
        }
        const auto current = KeyFunction::FromKeyListValue(element["Assignment"].asInt64());
        if (!current) {
            continue;
        }
        const Json::Value& defaultValue = element["DefaultAssignment"];
        std::optional<KeyFunction> restored;
        if (defaultValue.isInt64()) {
            restored = KeyFunction::FromKeyListValue(defaultValue.asInt64());
        }
        if (const auto after = AfterDeletion(*current, restored.value_or(KeyFunction{}), macroIndex)) {
            element["Assignment"] = after->ToKeyListValue();
            ++changed;
        }
    }
    return changed;
}

ProfileKeySweep::ProfileKeySweep(const CJsonFileHelper& json, int deviceIndex, Writer writer)
    : m_json(json), m_deviceIndex(deviceIndex), m_writer(std::move(writer)) {}

bool ProfileKeySweep::Write(std::string_view text, const std::string& path) const {
    return m_writer ? m_writer(text, path) : m_json.WriteTextFile(text, path);
}

bool ProfileKeySweep::Prepare(const std::vector<std::string>& paths, int macroIndex) {
    m_files.clear();
    m_failedPath.clear();
    m_notRestored.clear();
    for (const std::string& path : paths) {
        JsonFileContents contents = m_json.ReadJsonFileDetailed(path);
        switch (contents.status) {
        case FileReadStatus::Ok:
            break;
        case FileReadStatus::Missing:
        case FileReadStatus::Empty:
        case FileReadStatus::NotJson:
            continue; // nothing in it refers to a macro; loading it repairs it from the defaults
        case FileReadStatus::Unreadable:
        case FileReadStatus::TooLarge:
            m_failedPath = path;
            m_files.clear();
            return false;
        }
        Json::Value& root = contents.value;
        Json::Value* profile = MutableProfileObjectOf(root, m_deviceIndex);
        if (profile == nullptr || !profile->isMember("KeyList") ||
            RemoveMacroFromKeyList((*profile)["KeyList"], macroIndex) == 0) {
            continue;
        }
        PreparedFile file;
        file.path = path;
        file.signature = contents.signature;
        file.newText = m_json.StyledText(root, contents.text.size());
        file.oldText = std::move(contents.text);
        m_files.push_back(std::move(file));
    }
    return true;
}

std::vector<std::string> ProfileKeySweep::ChangedPaths() const {
    std::vector<std::string> paths;
    for (const PreparedFile& file : m_files) {
        paths.push_back(file.path);
    }
    return paths;
}

bool ProfileKeySweep::Commit() {
    m_failedPath.clear();
    for (const PreparedFile& file : m_files) {
        if (!(SignatureOf(file.path) == file.signature)) {
            m_failedPath = file.path; // someone else changed it meanwhile
            return false;
        }
    }
    for (PreparedFile& file : m_files) {
        if (!Write(file.newText, file.path)) {
            m_failedPath = file.path;
            Rollback();
            return false;
        }
        file.written = true;
    }
    return true;
}

bool ProfileKeySweep::Rollback() {
    bool allBack = true;
    for (PreparedFile& file : m_files) {
        if (!file.written) {
            continue;
        }
        if (Write(file.oldText, file.path)) {
            file.written = false;
        } else {
            m_notRestored.push_back(file.path);
            allBack = false;
        }
    }
    return allBack;
}

} // namespace velkor
