#include "lighting/ColourOptionFile.h"

#include "platform/Trace.h"
#include "profiles/ProfileFolders.h"

#include <cstdio>

namespace velkor {

namespace {

constexpr const char* kRoot = "coloroptioninfo";
constexpr const char* kPresets = "palletDialogcoloroption";
constexpr const char* kPresetSelected = "palletDialogcoloroption_selectitem";
constexpr const char* kCollected = "palletDialogcollectcoloroption";
constexpr const char* kCollectedSelected = "palletDialogcollectcoloroption_selectitem";

// An index member in 0..19, or `initial` for anything else (missing, text, out of range).
int IndexOf(const Json::Value& section, const char* member, int initial) {
    const Json::Value& value = section[member];
    if (!value.isInt()) {
        return initial;
    }
    const int index = value.asInt();
    return index >= 0 && index < kColourOptionCount ? index : initial;
}

std::string TextOf(const Json::Value& object, const char* member) {
    if (!object.isObject()) {
        return {};
    }
    const Json::Value& value = object[member];
    return value.isString() ? value.asString() : std::string();
}

// The array member `name` of `section`, made one (and its first `count` entries objects) when it is not.
Json::Value& ObjectArray(Json::Value& section, const char* name, int count) {
    Json::Value& array = section[name];
    if (!array.isArray()) {
        array = Json::Value(Json::arrayValue);
    }
    for (Json::ArrayIndex i = 0; i < Json::ArrayIndex(count); ++i) {
        if (!array[i].isObject()) {
            array[i] = Json::Value(Json::objectValue);
        }
    }
    return array;
}

} // namespace

std::string HexColour(uint32_t argb) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", argb);
    return text;
}

std::optional<uint32_t> ParseHexColour(const std::string& text) {
    if (text.size() != 8) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : text) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = uint32_t(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = uint32_t(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = uint32_t(c - 'a' + 10);
        } else {
            return std::nullopt;
        }
        value = value << 4 | digit;
    }
    return value;
}

ColourOptionFile ColourOptionFile::ForFolders(const std::string& programFolder, const std::string& dataHome) {
    const std::string base = dataHome.empty() ? std::string() : UserBaseFolder(dataHome);
    return ColourOptionFile(base.empty() ? std::string() : base + kColourOptionFileName,
                            programFolder.empty() ? std::string()
                                                  : DefaultDataFolder(programFolder) + kColourOptionFileName);
}

Json::Value ColourOptionFile::Load() {
    if (m_userPath.empty()) {
        return Json::Value();
    }
    const JsonFileContents contents = m_json.ReadJsonFileDetailed(m_userPath);
    if (contents.status == FileReadStatus::Ok && contents.value.isObject()) {
        return contents.value;
    }
    if (contents.status != FileReadStatus::Missing) {
        // Whatever the user had is kept rather than overwritten by the default;
        // a file too large or unreadable to hold in memory is moved as it is.
        const std::string aside = m_userPath + ".damaged";
        const bool kept = !contents.text.empty() ? m_json.WriteTextFile(contents.text, aside)
                                                 : std::rename(m_userPath.c_str(), aside.c_str()) == 0;
        if (!kept) {
            TraceF("damaged %s cannot be kept aside; left in place", m_userPath.c_str());
            return Json::Value();
        }
    }
    const Json::Value shipped = m_defaultPath.empty() ? Json::Value() : m_json.ReadJsonFile(m_defaultPath);
    if (!shipped.isObject()) {
        TraceF("no default colour options at %s", m_defaultPath.c_str());
        return Json::Value();
    }
    if (m_json.WriteJsonFile(shipped, m_userPath)) {
        ++m_writes;
    } else {
        TraceF("the default colour options cannot be copied to %s", m_userPath.c_str());
    }
    return shipped;
}

ColourOptions ColourOptionFile::Read() {
    ColourOptions options;
    const Json::Value document = Load();
    const Json::Value& section = document.isObject() ? document[kRoot] : document;
    if (!section.isObject()) {
        return options;
    }
    options.preset = IndexOf(section, kPresetSelected, kInitialPreset);
    options.slot = IndexOf(section, kCollectedSelected, kInitialCollectedSlot);
    const Json::Value& stored = section[kCollected];
    if (!stored.isArray()) {
        return options;
    }
    for (Json::ArrayIndex i = 0; i < stored.size() && i < Json::ArrayIndex(kColourOptionCount); ++i) {
        if (const std::optional<uint32_t> colour = ParseHexColour(TextOf(stored[i], "color"))) {
            options.collected[i] = CollectedColour{*colour, TextOf(stored[i], "UserData") == "1"};
        }
    }
    return options;
}

bool ColourOptionFile::Write(const std::optional<Presets>& presets,
                             const std::optional<Collected>& collected) {
    if (m_userPath.empty()) {
        return false;
    }
    Json::Value document = Load();
    if (!document.isObject()) {
        document = Json::Value(Json::objectValue);
    }
    Json::Value& section = document[kRoot];
    if (!section.isObject()) {
        section = Json::Value(Json::objectValue);
    }
    if (presets) {
        Json::Value& array = ObjectArray(section, kPresets, kColourOptionCount);
        for (int i = 0; i < kColourOptionCount; ++i) {
            if (const std::optional<uint32_t> colour = presets->colours[size_t(i)]) {
                // Signed, as the file has always held them.
                array[Json::ArrayIndex(i)]["color"] = std::to_string(int32_t(*colour));
            }
        }
        section[kPresetSelected] = presets->selected;
    }
    if (collected) {
        Json::Value& array = ObjectArray(section, kCollected, kColourOptionCount);
        for (int i = 0; i < kColourOptionCount; ++i) {
            if (const std::optional<CollectedColour>& slot = collected->entries[size_t(i)]) {
                Json::Value& entry = array[Json::ArrayIndex(i)];
                entry["color"] = HexColour(slot->argb);
                entry["UserData"] = slot->filled ? "1" : "";
            }
        }
        section[kCollectedSelected] = collected->selected;
    }
    if (!m_json.WriteJsonFile(document, m_userPath)) {
        TraceF("colour options not saved to %s", m_userPath.c_str());
        return false;
    }
    ++m_writes;
    return true;
}

} // namespace velkor
