#include "profiles/Hs6533Profiledata.h"

#include "profiles/JsonFields.h"
#include "profiles/ProfileSections.h"

namespace velkor {

HeadsetSystemRecord CHs6533Profiledata::ReadHeadsetSystem() {
    HeadsetSystemFromJson(JsonMember(ActiveDocument(), "SystemSetStages"), m_system);
    return m_system;
}

void CHs6533Profiledata::WriteHeadsetSystem(const HeadsetSystemRecord& record) {
    m_system = record;
    WriteHeadsetSystemSection(ObjectMember(ActiveObject(), "SystemSetStages"), record);
}

int32_t CHs6533Profiledata::EqRowOf(int32_t type) {
    if (type == kCustomEqType) {
        return -1;
    }
    return (type >= 1 && type <= 12) ? type : 1;
}

std::vector<int32_t> CHs6533Profiledata::ReadRow(const char* section, Json::ArrayIndex row) {
    const Json::Value& stored = JsonElement(JsonMember(ActiveDocument(), section), row);
    std::vector<int32_t> values(kEqBandCount, 0);
    std::vector<Json::ArrayIndex> missing;
    for (Json::ArrayIndex band = 0; band < kEqBandCount; ++band) {
        if (!EqBandFromJson(JsonElement(stored, band), values[band])) {
            missing.push_back(band);
        }
    }
    if (!missing.empty()) {
        Json::Value& target = EnsureArray(ArrayMember(ActiveObject(), section)[row]);
        for (Json::ArrayIndex band : missing) {
            WriteEqBand(target[band], 0);
        }
    }
    return values;
}

void CHs6533Profiledata::WriteRow(const char* section, Json::ArrayIndex row, const EqBands& values) {
    Json::Value& target = EnsureArray(ArrayMember(ActiveObject(), section)[row]);
    for (Json::ArrayIndex band = 0; band < kEqBandCount; ++band) {
        WriteEqBand(target[band], values[band]);
    }
}

std::vector<int32_t> CHs6533Profiledata::ReadEqValues(int32_t type) {
    const int32_t row = EqRowOf(type);
    if (row < 0) {
        return {};
    }
    return ReadRow("EQHzValueInfo", static_cast<Json::ArrayIndex>(row));
}

void CHs6533Profiledata::WriteEqValues(int32_t type, const EqBands& values) {
    const int32_t row = EqRowOf(type);
    if (row >= 0) {
        WriteRow("EQHzValueInfo", static_cast<Json::ArrayIndex>(row), values);
    }
}

std::vector<std::string> CHs6533Profiledata::ReadCustomEqNames() {
    std::vector<std::string> names;
    EqNamesFromJson(JsonMember(ActiveDocument(), "CustomEQNameInfo"), names);
    return names;
}

void CHs6533Profiledata::WriteCustomEqNames(const std::vector<std::string>& names) {
    ActiveObject()["CustomEQNameInfo"] = EqNamesToJson(names);
}

std::vector<int32_t> CHs6533Profiledata::ReadCustomEqValues(int32_t index) {
    if (index < 0 || index >= kMaxCustomEqPresets) {
        return {};
    }
    return ReadRow("CustomEQHzValueInfo", static_cast<Json::ArrayIndex>(index));
}

bool CHs6533Profiledata::WriteCustomEqValues(int32_t index, const EqBands& values) {
    if (index < 0 || index >= kMaxCustomEqPresets) {
        return false;
    }
    WriteRow("CustomEQHzValueInfo", static_cast<Json::ArrayIndex>(index), values);
    return true;
}

bool CHs6533Profiledata::RemoveCustomEqValues(int32_t index) {
    const Json::Value& rows = JsonMember(ActiveDocument(), "CustomEQHzValueInfo");
    if (index < 0 || !rows.isArray() || Json::ArrayIndex(index) >= rows.size()) {
        return false;
    }
    Json::Value removed;
    return ActiveObject()["CustomEQHzValueInfo"].removeIndex(Json::ArrayIndex(index), &removed);
}

} // namespace velkor
