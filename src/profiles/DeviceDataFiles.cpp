#include "profiles/DeviceDataFiles.h"

#include "profiles/JsonFields.h"

#include <algorithm>
#include <limits>

namespace velkor {

namespace {

std::string TextOrEmpty(const Json::Value& value) {
    std::string text;
    return JsonToText(value, text) ? text : std::string();
}

// The array at `document`[section][modelCode], or null when any level is
// missing or of another type.
const Json::Value& ModelArray(const Json::Value& document, const char* section, uint32_t modelCode) {
    static const Json::Value kNull;
    if (modelCode > std::numeric_limits<Json::ArrayIndex>::max()) {
        return kNull;
    }
    const Json::Value& entry = JsonElement(JsonMember(document, section), Json::ArrayIndex(modelCode));
    return entry.isArray() ? entry : kNull;
}

} // namespace

const char* MacroIndexFileNameFor(DeviceClass kindTag) {
    // Mouse pads and headsets have no macro library of their own.
    return kindTag == DeviceClass::MousePad || kindTag == DeviceClass::Headset ? kFixedMacroIndexFileName
                                                                               : kMacroIndexFileName;
}

std::vector<std::string> MacroNamesOf(const Json::Value& macroIndex) {
    std::vector<std::string> names;
    const Json::Value& macros = JsonMember(macroIndex, "MacroInfo");
    if (!macros.isArray()) {
        return names;
    }
    names.reserve(macros.size());
    for (Json::ArrayIndex i = 0; i < macros.size(); ++i) {
        names.push_back(TextOrEmpty(JsonMember(macros[i], "MacroName")));
    }
    return names;
}

std::optional<ModeListEntries> ModeListOf(const Json::Value& defaultLight, uint32_t modelCode) {
    const Json::Value& modes = ModelArray(defaultLight, "DefaultLightName", modelCode);
    if (modes.isNull()) {
        return std::nullopt;
    }
    ModeListEntries list;
    const Json::ArrayIndex count = std::min<Json::ArrayIndex>(modes.size(), kMaxModeEntries);
    for (Json::ArrayIndex i = 0; i < count; ++i) {
        const Json::Value& entry = modes[i];
        uint8_t visible = 0;
        if (!JsonToFlag(JsonMember(entry, "visible"), visible)) {
            visible = 0;
        }
        int64_t code = 0;
        if (!entry.isObject() || !JsonMember(entry, "value").isNumeric() ||
            !JsonToInteger(JsonMember(entry, "value"), code) || code < std::numeric_limits<int32_t>::min() ||
            code > std::numeric_limits<int32_t>::max()) {
            code = kNoEffectCode;
        }
        list.names.push_back(TextOrEmpty(JsonMember(entry, "LightName")));
        list.visible.push_back(entry.isObject() ? visible : 0);
        list.codes.push_back(int32_t(code));
    }
    return list;
}

std::optional<std::vector<std::string>> NamesOf(const Json::Value& document, const char* section,
                                                uint32_t modelCode) {
    const Json::Value& elements = ModelArray(document, section, modelCode);
    if (elements.isNull()) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    names.reserve(elements.size());
    for (Json::ArrayIndex i = 0; i < elements.size(); ++i) {
        names.push_back(TextOrEmpty(JsonMember(elements[i], "LightName")));
    }
    return names;
}

} // namespace velkor
