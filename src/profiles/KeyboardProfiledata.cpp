#include "profiles/KeyboardProfiledata.h"

#include "profiles/JsonFields.h"
#include "profiles/ProfileSections.h"

namespace velkor {

KeyboardSystemRecord CKeyboardProfiledata::ReadKeyboardSystem() {
    KeyboardSystemFromJson(JsonMember(ActiveDocument(), "SystemStages"), m_system);
    return m_system;
}

void CKeyboardProfiledata::WriteKeyboardSystem(const KeyboardSystemRecord& record) {
    m_system = record;
    WriteKeyboardSystemSection(ObjectMember(ActiveObject(), "SystemStages"), record);
}

std::vector<RgbaColour> CKeyboardProfiledata::ReadCustomColors(int32_t group, int32_t count) {
    if (group < 0 || group >= kMaxColourGroups || count < 0 || count > kMaxColoursPerGroup) {
        return {};
    }
    const auto groupIndex = static_cast<Json::ArrayIndex>(group);
    const Json::Value& stored = JsonElement(
        JsonMember(JsonMember(ActiveDocument(), "CustomLightMode"), "LightColorInfo"), groupIndex);
    std::vector<RgbaColour> colours(static_cast<size_t>(count));
    std::vector<Json::ArrayIndex> missing;
    for (Json::ArrayIndex j = 0; j < colours.size(); ++j) {
        if (!ColourFromJson(JsonElement(stored, j), colours[j])) {
            missing.push_back(j);
        }
    }
    if (!missing.empty()) {
        // Fill in only now: a complete group is read without touching the document.
        Json::Value& groups = ArrayMember(ObjectMember(ActiveObject(), "CustomLightMode"), "LightColorInfo");
        Json::Value& target = EnsureArray(groups[groupIndex]);
        for (Json::ArrayIndex j : missing) {
            WriteColour(target[j], RgbaColour{});
        }
    }
    m_colours = colours;
    return colours;
}

bool CKeyboardProfiledata::WriteCustomColors(int32_t group, const std::vector<RgbaColour>& colours) {
    if (group < 0 || group >= kMaxColourGroups || colours.size() > static_cast<size_t>(kMaxColoursPerGroup)) {
        return false;
    }
    m_colours = colours;
    Json::Value& groups = ArrayMember(ObjectMember(ActiveObject(), "CustomLightMode"), "LightColorInfo");
    Json::Value& target = EnsureArray(groups[static_cast<Json::ArrayIndex>(group)]);
    for (Json::ArrayIndex j = 0; j < colours.size(); ++j) {
        WriteColour(target[j], colours[j]);
    }
    return true;
}

int32_t CKeyboardProfiledata::ReadCustomGroupIndex() {
    int64_t value = 0;
    const Json::Value& stored =
        JsonMember(JsonMember(ActiveDocument(), "CustomLightMode"), "CustomLightModeGroupIndex");
    m_colourGroup = JsonToInteger(stored, value) ? static_cast<int32_t>(static_cast<uint32_t>(value)) : 0;
    return m_colourGroup;
}

void CKeyboardProfiledata::WriteCustomGroupIndex(int32_t group) {
    m_colourGroup = group;
    ObjectMember(ActiveObject(), "CustomLightMode")["CustomLightModeGroupIndex"] = Json::Value(group);
}

} // namespace velkor
