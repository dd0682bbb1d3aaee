#pragma once
// The fixed binary records that the device code exchanges with the profile
// documents. Each record keeps the byte layout the devices use: packed, host
// (little-endian) byte order, sizes checked at compile time. Reserved bytes are
// always 0 after a read.
#include <array>
#include "keys/KeyFunction.h"

#include <cstdint>
#include <string>

namespace velkor {

#pragma pack(push, 1)

// Section "LightInfo": the device's lighting settings.
struct LightInfoRecord {
    uint8_t selectItem = 0; // "SelectItem": the selected effect (mode number)
    uint8_t light = 0;      // "Light": brightness 0..4
    uint8_t speed = 0;      // "Speed"
    uint8_t fx = 0;         // "Fx": effect option (direction)
    uint8_t multiColor = 0; // "MultiColor": 0 or 1
    uint8_t red = 0;        // "Red"
    uint8_t green = 0;      // "Green"
    uint8_t blue = 0;       // "Blue"
    uint8_t reserved[3] = {};
    uint8_t ledMode = 0;     // "ZZCCLedMode"
    uint8_t customGroup = 0; // "CustomGroup"
    uint8_t oldLedMode = 0;  // "OldLedmode"

    bool operator==(const LightInfoRecord&) const = default;
};
static_assert(sizeof(LightInfoRecord) == 14);

// Section "AudioLightInfo" (keyboards): audio-reactive lighting.
struct AudioLightInfoRecord {
    uint8_t audioMode = 0;       // "AudioMode"
    uint8_t bkRed = 0;           // "BkColorR"
    uint8_t bkGreen = 0;         // "BkColorG"
    uint8_t bkBlue = 0;          // "BkColorB"
    uint8_t fgRed = 0;           // "FgColorR"
    uint8_t fgGreen = 0;         // "FgColorG"
    uint8_t fgBlue = 0;          // "FgColorB"
    uint8_t sevenColorFlags = 0; // "7ColorFlags": 0 or 1
    uint8_t colorTypeFlags = 0;  // "ColorTypeFlags": 0 or 1

    bool operator==(const AudioLightInfoRecord&) const = default;
};
static_assert(sizeof(AudioLightInfoRecord) == 9);

// One element of the read-only section "LightList".
struct LightListEntry {
    uint8_t mode = 0;       // "LEDREGMode"
    uint8_t brightness = 0; // "LEDBrightness"
    uint8_t speed = 0;      // "LEDSpeed"
    uint8_t direction = 0;  // "LEDDirection": 0 or 1
    uint8_t multiColor = 0; // "LEDMultiColor": 0 or 1
    uint8_t red = 0;        // "red"
    uint8_t green = 0;      // "green"
    uint8_t blue = 0;       // "blue"
    uint8_t reserved1[2] = {};
    uint8_t present = 0; // 1 unless the element was null
    uint8_t reserved2[3] = {};

    bool operator==(const LightListEntry&) const = default;
};
static_assert(sizeof(LightListEntry) == 14);

// One step of a custom effect file (GUID + ".light"), member "LEDEffectList".
struct LedEffectStep {
    uint8_t mode = 0;       // "LEDREGMode"
    uint8_t brightness = 0; // "LEDBrightness"
    uint8_t speed = 0;      // "LEDSpeed"
    uint8_t direction = 0;  // "LEDDirection"
    uint8_t multiColor = 0; // "LEDMultiColor"
    uint8_t red = 0;        // "red"
    uint8_t green = 0;      // "green"
    uint8_t blue = 0;       // "blue"
    uint8_t reserved[8] = {};
    int32_t time = 0;  // "Time": duration
    int32_t cycle = 0; // "Cyle"

    bool operator==(const LedEffectStep&) const = default;
};
static_assert(sizeof(LedEffectStep) == 24);

// Keyboard section "SystemStages".
struct KeyboardSystemRecord {
    uint16_t repeat = 0;      // "Repeat"
    uint16_t repeatDelay = 0; // "RepeatDelay"
    uint16_t key6Flag = 0;    // "Key6Flag"
    uint16_t pollingRate = 0; // "PollingRate"
    uint16_t wFlag = 0;       // "WFlag"
    uint16_t winFlag = 0;     // "WinFlag"
    uint16_t wheelMode = 0;   // "WheelMode"

    bool operator==(const KeyboardSystemRecord&) const = default;
};
static_assert(sizeof(KeyboardSystemRecord) == 14);

// Mouse sections "SystemStages" (first five) and "ReportStages" (last).
struct MouseSystemRecord {
    uint16_t doubleClickTime = 0;  // "DoubleClickTime"
    uint16_t mouseSpeed = 0;       // "MouseSpeed"
    uint16_t pointerPrecision = 0; // "PointerPrecision"
    uint16_t scrollPage = 0;       // "ScorllPage"
    uint16_t wheelScrollLines = 0; // "WheelScorlllinse"
    uint16_t reportStage = 0;      // "ReportStages"."StageActive"

    bool operator==(const MouseSystemRecord&) const = default;
};
static_assert(sizeof(MouseSystemRecord) == 12);

// One element of "DPIStages"."StageDPIs".
struct DpiStage {
    uint8_t active = 0; // "StageActive"
    uint8_t xy = 0;     // "StageXY"
    uint16_t dpiX = 0;  // "StageDPIX"
    uint16_t dpiY = 0;  // "StageDPIY"
    uint8_t red = 0;    // "StageColorR"
    uint8_t green = 0;  // "StageColorG"
    uint8_t blue = 0;   // "StageColorB"

    bool operator==(const DpiStage&) const = default;
};
static_assert(sizeof(DpiStage) == 9);

// One colour of "CustomLightMode"."LightColorInfo"[group].
struct RgbaColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;

    bool operator==(const RgbaColour&) const = default;
};
static_assert(sizeof(RgbaColour) == 4);

// Headset section "SystemSetStages".
struct HeadsetSystemRecord {
    int32_t magicEnable = 0;      // "MagicEnable"
    int32_t magicType = 0;        // "MagicType"
    int32_t eqType = 0;           // "EqType"
    int32_t customEqSelect = 0;   // "CustomEqSeletIndex"
    int32_t micInSelect = 0;      // "MicInSelect"
    int32_t micInValue = 0;       // "MicInValue"
    int32_t micMonitorSelect = 0; // "MicMoniterSelect"
    int32_t micMonitorValue = 0;  // "MicMoniterValue"

    bool operator==(const HeadsetSystemRecord&) const = default;
};
static_assert(sizeof(HeadsetSystemRecord) == 32);

#pragma pack(pop)

// One element of the read-only mouse section "CorrectInfo". Not sent as is,
// so it is an ordinary structure.
struct CorrectEntry {
    uint8_t pixThresh = 0; // "CorrectPixThresh"
    uint8_t minSq = 0;     // "CorrectMinSq"
    uint8_t select = 0;    // "CorrectSelect"
    std::string name;      // "CorrectName", valid UTF-8

    bool operator==(const CorrectEntry&) const = default;
};

// Ten equaliser bands, one row of "EQHzValueInfo" or "CustomEQHzValueInfo".
inline constexpr size_t kEqBandCount = 10;
using EqBands = std::array<int32_t, kEqBandCount>;

} // namespace velkor
