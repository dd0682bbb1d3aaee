#pragma once
// The lighting model every device kind shares: the bytes of the light record,
// the panel colour form, which control groups of the lighting panel apply to
// a (device kind, mode) pair, and how modes map to the synchronised effects.
//
// Everything here is pure and safe for any input: unknown kinds change no
// control, modes outside a kind's table take that table's last row.
#include "devices/DeviceModels.h"
#include "profiles/ProfileRecords.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velkor {

// Byte positions of the light record (bytes 0..13 of its four words).
enum LightByte : size_t {
    kLightByteMode = 0,
    kLightByteBrightness = 1,
    kLightByteSpeed = 2,
    kLightByteDirection = 3,
    kLightByteMultiColor = 4,
    kLightByteRed = 5,
    kLightByteGreen = 6,
    kLightByteBlue = 7,
    kLightByteZzcc = 11,
    kLightByteCustomGroup = 12,
    kLightByteOldMode = 13,
    kLightByteCount = 14,
};

// Byte `index` of the record; 0 outside 0..13.
uint8_t GetLightByte(const LightInfoRecord& record, size_t index);
// Replaces byte `index`; false (nothing changes) outside 0..13.
bool SetLightByte(LightInfoRecord& record, size_t index, uint8_t value);

// The colour as the palette and the swatch take it: opaque 0xFFRRGGBB.
constexpr uint32_t PanelColour(uint8_t red, uint8_t green, uint8_t blue) {
    return 0xFF000000u | uint32_t(red) << 16 | uint32_t(green) << 8 | uint32_t(blue);
}
constexpr uint32_t PanelColourOf(const LightInfoRecord& record) {
    return PanelColour(record.red, record.green, record.blue);
}

// The lighting family of a device class.
enum class LightFamily { None, Keyboard, Mouse, PadOrHeadset };
LightFamily LightFamilyOf(DeviceClass deviceClass);

// Language keys of the direction checks.
inline constexpr std::string_view kTextRightToLeft = "light_set_right_to_left_text";
inline constexpr std::string_view kTextLeftToRight = "light_set_left_to_right_text";
inline constexpr std::string_view kTextClockwise = "light_set_clockwise_text";
inline constexpr std::string_view kTextAnticlockwise = "light_set_anticlockwise_text";
inline constexpr std::string_view kTextDownToUp = "light_set_down_to_up_text";
inline constexpr std::string_view kTextUpToDown = "light_set_up_to_down_text";
inline constexpr std::string_view kTextOutsideToInside = "light_set_outside_to_inside_text";
inline constexpr std::string_view kTextInsideToOutside = "light_set_inside_to_outside_text";

// What the panel does with its control groups for one (device kind, mode).
struct LightGroupRules {
    bool applies = false;    // false: the kind has no rules, no control is touched
    bool colour = false;     // deng_color_layout enabled
    bool palette = false;    // colorpallet_layout enabled
    bool sevenColor = false; // deng_7color_check enabled
    bool brightness = false; // deng_light_layout enabled
    bool speed = false;      // deng_speed_layout enabled
    bool direction = false;  // deng_fx_layout enabled
    bool sameMode = false;   // deng_same_mode may be shown (when same mode is allowed)
    // Keyboard only (the other kinds leave these controls as they are).
    bool keyboard = false;
    bool colourTab = false;     // light_color_layout enabled
    bool speedVisible = true;   // deng_speed_layout shown
    bool customGroups = false;  // lightcustom_layout shown
    bool zzcc = false;          // light_combo_ZZCCmodeSelectLayout shown
    bool audio = false;         // light_combo_AudiomodeSelectLayout shown
    int colourPage = 0;         // page of light_color_tablayout
    std::string_view leftText;  // deng_FXL_check text key
    std::string_view rightText; // deng_FXR_check text key
};
LightGroupRules LightRulesFor(DeviceClass deviceClass, int mode);

// The effects of synchronised lighting.
enum class SyncEffect : uint8_t { Breathing = 0, Steady = 1, Blink = 2, Cycle = 3, Off = 4 };
inline constexpr int kSyncEffectCount = 5;
// The synchronised effect a mode of that kind stands for; nothing when it has none.
std::optional<SyncEffect> SyncEffectOfMode(DeviceClass deviceClass, int mode);
// The mode of that kind that shows the effect; -1 for a kind without lighting rules.
int ModeOfSyncEffect(DeviceClass deviceClass, SyncEffect effect);

} // namespace velkor
