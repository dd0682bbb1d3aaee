#include "profiles/MouseProfiledata.h"

#include "profiles/JsonFields.h"
#include "profiles/ProfileSections.h"

namespace velkor {

std::vector<DpiStage> CMouseProfiledata::ReadDpiStages() {
    const Json::Value& section = JsonMember(ActiveDocument(), "DPIStages");
    int32_t active = 0;
    std::vector<DpiStage> stored;
    if (section.isNull() || !DpiStagesFromJson(section, active, stored)) {
        return m_stages;
    }
    m_activeStage = active;
    for (size_t j = 0; j < stored.size(); ++j) {
        if (j < m_stages.size()) {
            m_stages[j] = stored[j];
        } else {
            m_stages.push_back(stored[j]);
        }
    }
    return m_stages;
}

void CMouseProfiledata::WriteDpiStages(const std::vector<DpiStage>& stages) {
    m_stages = stages;
    Json::Value& list = ArrayMember(ObjectMember(ActiveObject(), "DPIStages"), "StageDPIs");
    for (Json::ArrayIndex i = 0; i < stages.size(); ++i) {
        WriteDpiStage(list[i], stages[i]);
    }
}

void CMouseProfiledata::WriteActiveDpiStage(int32_t stage) {
    m_activeStage = stage;
    ObjectMember(ActiveObject(), "DPIStages")["StageActive"] = Json::Value(stage);
}

MouseSystemRecord CMouseProfiledata::ReadMouseSystem() {
    const Json::Value& document = ActiveDocument();
    MouseSystemFromJson(JsonMember(document, "SystemStages"), JsonMember(document, "ReportStages"), m_system);
    return m_system;
}

void CMouseProfiledata::WriteMouseSystem(const MouseSystemRecord& record) {
    m_system = record;
    Json::Value& document = ActiveObject();
    WriteMouseSystemSections(ObjectMember(document, "SystemStages"), ObjectMember(document, "ReportStages"),
                             record);
}

std::vector<CorrectEntry> CMouseProfiledata::ReadCorrectInfo() {
    CorrectInfoFromJson(JsonMember(ActiveDocument(), "CorrectInfo"), m_corrections);
    return m_corrections;
}

} // namespace velkor
