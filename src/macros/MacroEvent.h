#pragma once
// The macro event model: one key, mouse-button or mouse-movement event of a
// macro with the delay that follows it, as stored in macro and recoil files:
//
//   {"Action": "down" | "up", "Type": kind, "Button": 0..255, "Delay": "50"}
//
// "Delay" is a string of decimal digits (0..65535 ms). Events of kinds this
// program does not know are kept exactly as they were read; only their delay
// is ever touched.
#include <json/value.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor {

// Limits of a device's macro library.
inline constexpr int kMaxMacroCount = 50;    // adding refuses the 51st
inline constexpr int kMaxMacroEvents = 4000; // recording and insertion stop here
inline constexpr int kMaxMacroDelay = 65535; // ms; longer delays are stored as this
inline constexpr int kMacroFileVersion = 64; // "Version" of every macro file written

// "Type" of an event.
enum class MacroEventType : int {
    MouseButton = 1,    // "Button": 1 left, 2 right, 4 middle, 8 back, 16 forward
    MouseOther2 = 2,    // shown as a mouse event without a value; never created
    MouseOther3 = 3,    // likewise
    MoveHorizontal = 4, // "Button": distance; "down" = left, "up" = right
    MoveVertical = 5,   // "Button": distance; "down" = up, "up" = down
    ModifierKey = 9,    // "Button": modifier bit of the boot keyboard report
    Key = 10,           // "Button": HID keyboard usage
};

inline constexpr std::string_view kActionDown = "down";
inline constexpr std::string_view kActionUp = "up";

// An event of a known shape: integer "Type" and "Button" 0..255, "Action" a string.
struct MacroEvent {
    bool down = true;
    int type = static_cast<int>(MacroEventType::Key);
    std::uint8_t button = 0;
    std::uint16_t delay = 0;

    bool operator==(const MacroEvent&) const = default;
};

// The event of an event object; nothing when it is not an object, or "Type"
// or "Button" is not an integer (or "Button" lies outside 0..255). The delay
// reads as ReadDelay does.
std::optional<MacroEvent> ReadMacroEvent(const Json::Value& event);
// The event object, "Delay" as its decimal string.
Json::Value MakeMacroEventJson(const MacroEvent& event);

// The number in a delay text as the delay field takes it: leading white
// space, an optional sign and the digits up to the first other character
// ("12ab" is 12, "abc" and "" are 0), limited to 0..kMaxMacroDelay.
int ParseDelay(std::string_view text);
// ParseDelay as a decimal string: "007" gives "7", "" gives "0", "70000" gives "65535".
std::string NormaliseDelayText(std::string_view text);
// The delay an event object carries: "Delay" as a string (ParseDelay) or as a
// JSON integer (limited to 0..kMaxMacroDelay); 0 for anything else.
int ReadDelay(const Json::Value& event);
// The "Delay" member as the delay field shows it before normalisation: a
// string as it is, an integer as its digits, otherwise empty.
std::string RawDelayText(const Json::Value& event);

// How an event row shows an event: the language key of what it acts on (may
// be empty), the language key of its direction (empty for movements), and the
// distance of a movement as text.
struct MacroEventLook {
    std::string nameKey;
    std::string directionKey;
    std::string distance;
};
MacroEventLook DescribeMacroEvent(const Json::Value& event);

// Language keys of the directions shown for key and button events.
inline constexpr std::string_view kDownTextKey = "macro_action_down_text";
inline constexpr std::string_view kUpTextKey = "macro_action_up_text";

} // namespace velkor
