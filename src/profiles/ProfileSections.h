#pragma once
// Conversions between the sections of a profile object and their records.
//
// Every *FromJson takes the section's value as found in the document (the
// null value when the member is absent). Null reads as the section's default
// and returns true. A section of the wrong JSON type, or holding a member or
// element of the wrong type, is malformed: the function returns false and
// `out` holds the section's default (zeros, an empty list), so one damaged
// member never yields a half-read record.
//
// Writers named *ToJson build a whole new value; writers named Write*
// assign member by member into an existing value (made an object or array
// first), so members they do not know survive.
#include "profiles/ProfileRecords.h"

#include <json/value.h>

#include <string>
#include <vector>

namespace velkor {

// "LightInfo" (whole-object writer).
bool LightInfoFromJson(const Json::Value& section, LightInfoRecord& out);
Json::Value LightInfoToJson(const LightInfoRecord& record);

// "AudioLightInfo" (whole-object writer).
bool AudioLightInfoFromJson(const Json::Value& section, AudioLightInfoRecord& out);
Json::Value AudioLightInfoToJson(const AudioLightInfoRecord& record);

// "LightList": a null element gives a zero entry with present 0, any other
// element an entry with present 1. Read only.
bool LightListFromJson(const Json::Value& section, std::vector<LightListEntry>& out);

// A custom effect file: `file` is its top-level value, the steps its
// "LEDEffectList". A null element gives a zero step.
bool LedEffectListFromJson(const Json::Value& file, std::vector<LedEffectStep>& out);

// "KeyList": element i is key i. Write sets only "Assignment" of element i
// from the current half of entry i; the array grows when the list is longer.
bool KeyListFromJson(const Json::Value& section, std::vector<KeyListEntry>& out);
void WriteKeyListSection(Json::Value& section, const std::vector<KeyListEntry>& list);

// Keyboard "SystemStages".
bool KeyboardSystemFromJson(const Json::Value& section, KeyboardSystemRecord& out);
void WriteKeyboardSystemSection(Json::Value& section, const KeyboardSystemRecord& record);

// Mouse "SystemStages" and "ReportStages". "ReportStages" is read only when
// "SystemStages" is present; a malformed "ReportStages" reads as report stage
// 0 (as when it is absent) without spoiling the other five fields.
bool MouseSystemFromJson(const Json::Value& systemStages, const Json::Value& reportStages,
                         MouseSystemRecord& out);
void WriteMouseSystemSections(Json::Value& systemStages, Json::Value& reportStages,
                              const MouseSystemRecord& record);

// "DPIStages": the active stage and the "StageDPIs" list (empty when absent).
bool DpiStagesFromJson(const Json::Value& section, int32_t& activeStage, std::vector<DpiStage>& stages);
void WriteDpiStage(Json::Value& element, const DpiStage& stage);

// "CorrectInfo". Read only.
bool CorrectInfoFromJson(const Json::Value& section, std::vector<CorrectEntry>& out);

// One colour {"Red", "Green", "Blue", "Alpha"} of "CustomLightMode". Null is
// not a colour here (the caller fills it in); false for null and for malformed.
bool ColourFromJson(const Json::Value& element, RgbaColour& out);
void WriteColour(Json::Value& element, const RgbaColour& colour);

// Headset "SystemSetStages".
bool HeadsetSystemFromJson(const Json::Value& section, HeadsetSystemRecord& out);
void WriteHeadsetSystemSection(Json::Value& section, const HeadsetSystemRecord& record);

// One band {"value": integer} of an equaliser row; false for null and for malformed.
bool EqBandFromJson(const Json::Value& element, int32_t& out);
void WriteEqBand(Json::Value& element, int32_t value);

// "CustomEQNameInfo" (whole-array writer).
bool EqNamesFromJson(const Json::Value& section, std::vector<std::string>& out);
Json::Value EqNamesToJson(const std::vector<std::string>& names);

} // namespace velkor
