#pragma once
// The data files that name things for a device's panels, and the readers that
// turn their JSON into name lists:
//
// - the macro index ("macro.config" of keyboards and mice, "ornic_macro.config"
//   of mouse pads and headsets, user data folder): {"MacroInfo": [{"MacroName"}]};
// - the effect names ("default_light.json", default data folder), indexed by
//   the model code (0 keyboard, 1 mouse, 2 mouse pad, 3 headset):
//   {"DefaultLightName": [[{"LightName", "visible", "value"}, ...], ...],
//    "AreaLightName": [[{"LightName"}, ...], ...]};
// - the lighting configuration ("ornic_light.config", user data folder):
//   {"LightInfo": [[{"LightName", "Guid"}, ...], ...]}.
//
// The readers never throw and never trust the document: a member of the wrong
// type reads as absent, an element of the wrong type keeps its position.
#include "devices/DeviceModels.h"
#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velkor {

inline constexpr const char* kMacroIndexFileName = "macro.config";
inline constexpr const char* kFixedMacroIndexFileName = "ornic_macro.config";
inline constexpr const char* kDefaultLightFileName = "default_light.json";
inline constexpr const char* kLanguageTableFileName = "Language.config";
inline constexpr const char* kAudioStyleFileName = "AudioFile.json";
inline constexpr const char* kColourOptionFileName = "color_option_info.config";

// Model codes of the device model table; they index both lighting files.
enum : uint32_t {
    kModelCodeKeyboard = 0,
    kModelCodeMouse = 1,
    kModelCodeMousePad = 2,
    kModelCodeHeadset = 3,
};

// A mode number is one byte ("SelectItem"), so entries beyond 256 could never
// be selected; longer lists are cut there.
inline constexpr size_t kMaxModeEntries = 256;
// Effect code of an entry whose "value" is missing or not a 32-bit integer.
inline constexpr int32_t kNoEffectCode = -1;

// The macro index file of a device kind (kind tag 1 keyboard, 2 mouse, 3 mouse
// pad, 7 headset; the receiver kinds 6 and 9 count as mouse and keyboard).
const char* MacroIndexFileNameFor(DeviceClass kindTag);

// "MacroName" of every element of "MacroInfo", in order (a name that is not
// text reads as ""). Empty when the document or "MacroInfo" is missing.
std::vector<std::string> MacroNamesOf(const Json::Value& macroIndex);

// The three mode lists of one model, always of the same length.
struct ModeListEntries {
    std::vector<std::string> names;
    std::vector<int32_t> visible; // 1 shown, 0 hidden ("visible": a boolean or a number, non-zero is true)
    std::vector<int32_t> codes;   // the device's effect code, kNoEffectCode when unusable
};

// "DefaultLightName"[modelCode] as lists; nothing when that entry is missing
// or not an array (the caller then keeps what it has). An element that is not
// an object still takes its position: name "", hidden, kNoEffectCode.
std::optional<ModeListEntries> ModeListOf(const Json::Value& defaultLight, uint32_t modelCode);

// "LightName" of each element of `section`[modelCode]; nothing when that entry
// is missing or not an array. Used for "AreaLightName" of the effect names
// and for "LightInfo" of the lighting configuration.
std::optional<std::vector<std::string>> NamesOf(const Json::Value& document, const char* section,
                                                uint32_t modelCode);

} // namespace velkor
