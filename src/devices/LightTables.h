#pragma once
// The lighting tables that every device's software effects share (and the
// synchronised lighting will): the colour wheel, the breathing curve, the
// brightness levels, the wave curve, the four fixed colours and the blink
// intervals, plus the small per-frame helpers built on them.
//
// Every lookup here is safe for any index: the accessors clamp or wrap, so a
// damaged profile value can never read outside a table.
#include <array>
#include <cstddef>
#include <cstdint>

namespace velkor {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

// The wheel has 192 distinct hues in six segments of 32, built from a rising
// and a falling ramp.
inline constexpr std::array<uint8_t, 32> kWheelRise = {1,   3,   5,   7,   10,  14,  18,  22,  26,  32,  38,
                                                       44,  50,  57,  65,  73,  81,  89,  99,  109, 119, 129,
                                                       140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
inline constexpr std::array<uint8_t, 32> kWheelFall = {248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124,
                                                       114, 104, 94,  85,  77,  69,  61,  53,  47,  41,  35,
                                                       29,  24,  20,  16,  12,  8,   6,   4,   2,   0};
inline constexpr size_t kWheelHues = 192;

constexpr Rgb WheelHue(size_t index) {
    const size_t segment = (index % kWheelHues) / 32;
    const size_t k = index % 32;
    const uint8_t up = kWheelRise[k];
    const uint8_t down = kWheelFall[k];
    switch (segment) {
    case 0:
        return {255, up, 0};
    case 1:
        return {down, 255, 0};
    case 2:
        return {0, 255, up};
    case 3:
        return {0, down, 255};
    case 4:
        return {up, 0, 255};
    default:
        return {255, 0, down};
    }
}

// Held as 256 entries (192..255 repeat 0..63) so that any 8-bit position is a
// valid index without a modulo.
constexpr std::array<Rgb, 256> BuildColourWheel() {
    std::array<Rgb, 256> wheel{};
    for (size_t i = 0; i < wheel.size(); ++i) {
        wheel[i] = WheelHue(i);
    }
    return wheel;
}
inline constexpr std::array<Rgb, 256> kColourWheel = BuildColourWheel();

// 64 rising values, then the same in reverse.
inline constexpr std::array<uint8_t, 64> kBreathingRise = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  12,  14,  16,  18,  20,
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

constexpr std::array<uint8_t, 128> BuildBreathingCurve() {
    std::array<uint8_t, 128> curve{};
    for (size_t i = 0; i < 64; ++i) {
        curve[i] = kBreathingRise[i];
        curve[127 - i] = kBreathingRise[i];
    }
    return curve;
}
inline constexpr std::array<uint8_t, 128> kBreathingCurve = BuildBreathingCurve();

// 48 rising values, then the same in reverse.
inline constexpr std::array<uint8_t, 48> kWaveRise = {
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

constexpr std::array<uint8_t, 96> BuildWaveCurve() {
    std::array<uint8_t, 96> curve{};
    for (size_t i = 0; i < 48; ++i) {
        curve[i] = kWaveRise[i];
        curve[95 - i] = kWaveRise[i];
    }
    return curve;
}
inline constexpr std::array<uint8_t, 96> kWaveCurve = BuildWaveCurve();

// Level of each brightness setting 0..4.
inline constexpr std::array<uint8_t, 5> kBrightnessLevels = {0, 80, 135, 195, 255};

// The four colours of the fixed-colour breathing and blink.
inline constexpr std::array<Rgb, 4> kFixedColours = {
    {{0, 255, 180}, {0, 255, 0}, {255, 255, 255}, {255, 0, 0}}};

// Blink interval per speed 0..4, in units of 200 ms.
inline constexpr std::array<uint8_t, 5> kBlinkIntervalUnits = {8, 6, 4, 2, 1};
inline constexpr uint32_t kBlinkUnitMs = 200;

// Ticks of the lighting synchronisation thread between two steps of the
// synchronised effect, per speed 0..4 (a blink toggles after this many × 200 ms).
inline constexpr std::array<uint8_t, 5> kSyncStepTicks = {28, 23, 18, 13, 7};

// Brightness level of a setting; settings above 4 (damaged profiles) count as 4.
constexpr uint8_t BrightnessLevel(uint8_t light) {
    return kBrightnessLevels[light < 4 ? light : 4];
}
// Blink interval of a speed in ms; speeds above 4 count as 4.
constexpr uint32_t BlinkIntervalMs(uint8_t speed) {
    return kBlinkIntervalUnits[speed < 4 ? speed : 4] * kBlinkUnitMs;
}
// Synchronisation step ticks of a speed; speeds above 4 count as 4.
constexpr uint8_t SyncStepTicks(uint8_t speed) {
    return kSyncStepTicks[speed < 4 ? speed : 4];
}
// Fixed colour `index`; an index past the last one gives the first.
constexpr Rgb FixedColour(uint8_t index) {
    return kFixedColours[index < kFixedColours.size() ? index : 0];
}

// One LED of a colour buffer: byte 0 red, 1 green, 2 blue, 3 level.
constexpr uint32_t PackLed(uint8_t red, uint8_t green, uint8_t blue, uint8_t level) {
    return uint32_t(red) | uint32_t(green) << 8 | uint32_t(blue) << 16 | uint32_t(level) << 24;
}
constexpr uint32_t PackLed(Rgb colour, uint8_t level) {
    return PackLed(colour.red, colour.green, colour.blue, level);
}
constexpr uint8_t LedRed(uint32_t led) {
    return uint8_t(led);
}
constexpr uint8_t LedGreen(uint32_t led) {
    return uint8_t(led >> 8);
}
constexpr uint8_t LedBlue(uint32_t led) {
    return uint8_t(led >> 16);
}
constexpr uint8_t LedLevel(uint32_t led) {
    return uint8_t(led >> 24);
}
// A channel as the device shows it: scaled by the level.
constexpr uint8_t ScaleChannel(uint8_t channel, uint8_t level) {
    return uint8_t((channel * level) >> 8);
}

// Moves an effect position through 0..range-1. Forward: position + amount, or
// 0 once that reaches range. Backward: position - amount, or range - amount
// when that would leave 0..range-1 (so going back from 0 lands on
// range - amount). A range of 0 always gives 0. The result is always below
// range when amount <= range.
constexpr uint8_t StepPhase(bool forward, uint8_t range, uint8_t position, uint8_t amount) {
    if (range == 0) {
        return 0;
    }
    if (forward) {
        // Wider arithmetic: a sum past 255 is past any range and must not wrap to a small value.
        const int next = int(position) + int(amount);
        return next >= int(range) ? 0 : uint8_t(next);
    }
    const uint8_t back = uint8_t(position - amount);
    return back < range ? back : uint8_t(range - amount);
}

// ---- Light threads ----

// One pass of a light thread. The thread's 1 ms wait lasts one scheduler
// tick on the desktop the effects were made for, so a pass there takes about
// 16 ms; the effects' speeds are tuned to that.
inline constexpr uint32_t kLightPassMs = 16;

enum class LightKind : uint8_t { Keyboard, Mouse, Pad };

// How many passes a frame of an effect waits, by speed 0..4.
using SpeedThresholds = std::array<uint8_t, 5>;
inline constexpr SpeedThresholds kStandardThresholds = {8, 6, 4, 2, 1};
inline constexpr SpeedThresholds kKeyboardThresholds = {10, 8, 5, 3, 1};
inline constexpr SpeedThresholds kKeyboardSlowThresholds = {3, 3, 3, 3, 3}; // keyboard effects 16 and 18
inline constexpr SpeedThresholds kKeyboardStreamThresholds = {1, 0, 0, 0, 0}; // keyboard effect 30
inline constexpr SpeedThresholds kMouseRingThresholds = {16, 12, 8, 4, 2};   // mouse effect 5
inline constexpr uint8_t kKeyboardAudioThreshold = 2;                          // keyboard effect 29

// The threshold of an effect of a kind at a speed; speeds above 4 count as 4.
constexpr uint8_t StepThreshold(LightKind kind, int effect, uint8_t speed) {
    const size_t s = speed > 4 ? 4 : speed;
    switch (kind) {
    case LightKind::Keyboard:
        if (effect == 29) {
            return kKeyboardAudioThreshold;
        }
        if (effect == 30) {
            return kKeyboardStreamThresholds[s];
        }
        return effect == 16 || effect == 18 ? kKeyboardSlowThresholds[s] : kKeyboardThresholds[s];
    case LightKind::Mouse:
        return effect == 5 ? kMouseRingThresholds[s] : kStandardThresholds[s];
    case LightKind::Pad:
        break;
    }
    return kStandardThresholds[s];
}

// The threshold of a custom effect step of a type at its own speed; type 5
// (colour cycle) runs slower.
constexpr uint8_t StepTypeThreshold(uint8_t type, uint8_t speed) {
    const size_t s = speed > 4 ? 4 : speed;
    return type == 5 ? kKeyboardThresholds[s] : kStandardThresholds[s];
}

} // namespace velkor
