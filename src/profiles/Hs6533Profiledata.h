#pragma once
// CHs6533Profiledata: the headset's sections on top of the common ones:
// "SystemSetStages", the equaliser rows "EQHzValueInfo", and the custom
// presets "CustomEQNameInfo" and "CustomEQHzValueInfo". The equaliser calls
// keep no member; they work on the active document only.
#include "profiles/BasicProfiledata.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velkor {

class CHs6533Profiledata : public CBasicProfiledata {
public:
    // The equaliser type whose values live in the custom presets.
    static constexpr int32_t kCustomEqType = 13;
    // Custom preset indices come from files; larger ones are refused instead
    // of growing the document to that size.
    static constexpr int32_t kMaxCustomEqPresets = 256;

    // "SystemSetStages": all zeros when absent or malformed. Member-wise writer.
    HeadsetSystemRecord ReadHeadsetSystem();
    void WriteHeadsetSystem(const HeadsetSystemRecord& record);

    // The row of "EQHzValueInfo" that holds equaliser type `type`: the type
    // itself for 1..12, row 1 for 0, negative types and types above 13, and
    // none (-1) for 13.
    static int32_t EqRowOf(int32_t type);

    // The ten band values of the type's row. A band that is missing or
    // malformed reads as 0 and is written into the active document as
    // {"value": 0}, so the row is complete at the next save. Type 13: empty,
    // nothing changes.
    std::vector<int32_t> ReadEqValues(int32_t type);
    // Writes the ten values into the type's row ("value" of each band object);
    // type 13 writes nothing.
    void WriteEqValues(int32_t type, const EqBands& values);

    // "CustomEQNameInfo": one name per custom preset; empty when absent or
    // malformed. The writer replaces the array as a whole.
    std::vector<std::string> ReadCustomEqNames();
    void WriteCustomEqNames(const std::vector<std::string>& names);

    // Row `index` of "CustomEQHzValueInfo", with the same filling as
    // ReadEqValues. Empty, nothing changed, for an index outside
    // 0..kMaxCustomEqPresets-1.
    std::vector<int32_t> ReadCustomEqValues(int32_t index);
    // False, nothing changed, for an index out of bounds.
    bool WriteCustomEqValues(int32_t index, const EqBands& values);
    // Removes row `index` of "CustomEQHzValueInfo"; the rows behind it move
    // up, so each remaining preset keeps its own values. False (nothing
    // changed) when there is no such row.
    bool RemoveCustomEqValues(int32_t index);

private:
    std::vector<int32_t> ReadRow(const char* section, Json::ArrayIndex row);
    void WriteRow(const char* section, Json::ArrayIndex row, const EqBands& values);

    HeadsetSystemRecord m_system;
};

} // namespace velkor
