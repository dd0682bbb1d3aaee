#pragma once
// CMouseProfiledata: the mouse's sections on top of the common ones:
// "DPIStages", "SystemStages" with "ReportStages", and "CorrectInfo".
#include "profiles/BasicProfiledata.h"

#include <cstdint>
#include <vector>

namespace velkor {

class CMouseProfiledata : public CBasicProfiledata {
public:
    // Merges "DPIStages" into the member list: the active stage takes
    // "StageActive", stage j of "StageDPIs" replaces member stage j (or is
    // appended), and member stages beyond the stored ones keep their values.
    // When "DPIStages" is absent or malformed nothing changes. Returns the list.
    std::vector<DpiStage> ReadDpiStages();
    // Replaces the member list and writes stage i into "StageDPIs"[i] member
    // by member; stored stages beyond the list stay.
    void WriteDpiStages(const std::vector<DpiStage>& stages);
    // The member as the last read or write left it; the document is not read.
    int32_t GetActiveDpiStage() const { return m_activeStage; }
    void WriteActiveDpiStage(int32_t stage);

    // "SystemStages" and "ReportStages": all zeros when "SystemStages" is
    // absent or malformed; report stage 0 when "ReportStages" is. Member-wise writer.
    MouseSystemRecord ReadMouseSystem();
    void WriteMouseSystem(const MouseSystemRecord& record);

    // "CorrectInfo" (read only): empty when absent or malformed.
    std::vector<CorrectEntry> ReadCorrectInfo();

private:
    std::vector<DpiStage> m_stages;
    int32_t m_activeStage = 0;
    MouseSystemRecord m_system;
    std::vector<CorrectEntry> m_corrections;
};

} // namespace velkor
