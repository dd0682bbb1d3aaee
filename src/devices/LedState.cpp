// The software effects, the key levels and the level ring on a LedFrame.
#include "devices/LedState.h"

#include "devices/LightTables.h"

#include <algorithm>

namespace velkor {

namespace {

using leds::RecordColour;

// The breathing colour index: +16 per breath, back to 0 only once past 192
// (index 192 shows the colour of 0).
uint8_t NextBreathingColour(uint8_t index) {
    const int next = index + 16;
    return next > 192 ? 0 : uint8_t(next);
}

// The blink colour position: +16 per toggle, back to 0 once it reaches 192.
uint8_t NextBlinkColour(uint8_t index) {
    const int next = index + 16;
    return next >= 192 ? 0 : uint8_t(next);
}

// Index into the four fixed colours: 0, 1, 2, 3, 0 ... (a position left by
// another effect starts again at 0).
uint8_t NextFixedColour(uint8_t index) {
    return index >= 3 ? 0 : uint8_t(index + 1);
}

// One step along the breathing curve; true when a new breath begins.
bool StepBreathingPhase(LedFrame& frame) {
    frame.position = StepPhase(frame.light.fx != 0, 128, frame.position, 1);
    return frame.position == 0;
}

uint8_t BreathingLevel(const LedFrame& frame) {
    return uint8_t((kBreathingCurve[frame.position] * BrightnessLevel(frame.light.light)) >> 8);
}

// Flips the blink phase once the interval of the record's speed has passed
// since the last flip; true when it flipped.
bool StepBlinkPhase(LedFrame& frame, uint32_t nowMs) {
    // Unsigned difference: correct across a wrap of the tick count.
    if (uint32_t(nowMs - frame.lastBlinkMs) < BlinkIntervalMs(frame.light.speed)) {
        return false;
    }
    frame.blinkOn = !frame.blinkOn;
    frame.lastBlinkMs = nowMs;
    return true;
}

} // namespace

void LedFrame::Resize(size_t count) {
    leds.assign(count, 0);
    records.assign(count, LedRecord{});
}

void LedFrame::Fill(uint32_t packed) {
    std::fill(leds.begin(), leds.end(), packed);
}

void LedFrame::SetLed(int index, uint32_t packed) {
    if (index >= 0 && size_t(index) < leds.size()) {
        leds[size_t(index)] = packed;
    }
}

uint32_t LedFrame::Led(int index) const {
    return index >= 0 && size_t(index) < leds.size() ? leds[size_t(index)] : 0;
}

uint8_t LedFrame::KeyLevel(int key) const {
    return key >= 0 && key < kKeyLevelCount ? keyLevels[size_t(key)] : 0;
}

void LedFrame::SetKeyLevel(int key, uint8_t level) {
    if (key >= 0 && key < kKeyLevelCount) {
        keyLevels[size_t(key)] = level;
    }
}

uint8_t NextKeyLevel(uint8_t level, int mode) {
    if (mode == 29) {
        // The audio effect's schedule, its tests taken as magnitudes: each
        // decrement is no larger than the smallest level it applies to, so a
        // level only falls towards 0 and never wraps below it.
        struct Step {
            uint8_t atLeast;
            uint8_t minus;
        };
        static constexpr Step kSteps[] = {{0x90, 45}, {0x80, 40}, {0x70, 35}, {0x60, 30}, {0x50, 25},
                                          {0x40, 20}, {0x20, 10}, {17, 5},    {1, 1}};
        for (const Step& step : kSteps) {
            if (level >= step.atLeast) {
                return uint8_t(level - step.minus);
            }
        }
        return 0;
    }
    // Each bit test covers levels at least as large as its decrement.
    if ((level & 0x80) != 0) {
        return uint8_t(level - 40);
    }
    if ((level & 0x40) != 0) {
        return uint8_t(level - 30);
    }
    if ((level & 0x20) != 0) {
        return uint8_t(level - (mode == 0 ? 15 : 10));
    }
    if (level > 16) {
        return uint8_t(level - 8);
    }
    return level > 0 ? uint8_t(level - 1) : 0;
}

namespace leds {

void Breathing(LedFrame& frame) {
    if (frame.leds.empty()) {
        return;
    }
    if (StepBreathingPhase(frame)) {
        frame.colourIndex = NextBreathingColour(frame.colourIndex);
    }
    const Rgb colour =
        frame.light.multiColor != 0 ? kColourWheel[frame.colourIndex] : RecordColour(frame.light);
    frame.Fill(PackLed(colour, BreathingLevel(frame)));
}

void BreathingFixed(LedFrame& frame) {
    if (frame.leds.empty()) {
        return;
    }
    if (StepBreathingPhase(frame)) {
        frame.colourIndex = NextFixedColour(frame.colourIndex);
    }
    frame.Fill(PackLed(FixedColour(frame.colourIndex), BreathingLevel(frame)));
}

void Static(LedFrame& frame) {
    frame.Fill(PackLed(RecordColour(frame.light), BrightnessLevel(frame.light.light)));
}

void Spectrum(LedFrame& frame) {
    if (frame.leds.empty()) {
        return;
    }
    frame.position = StepPhase(frame.light.fx != 0, 192, frame.position, 1);
    frame.Fill(PackLed(kColourWheel[frame.position], BrightnessLevel(frame.light.light)));
}

void Blink(LedFrame& frame, uint32_t nowMs) {
    if (frame.leds.empty()) {
        return;
    }
    if (StepBlinkPhase(frame, nowMs)) {
        frame.colourIndex = NextBlinkColour(frame.colourIndex);
    }
    if (!frame.blinkOn) {
        frame.Fill(0);
        return;
    }
    const Rgb colour =
        frame.light.multiColor != 0 ? kColourWheel[frame.colourIndex] : RecordColour(frame.light);
    frame.Fill(PackLed(colour, BrightnessLevel(frame.light.light)));
}

void BlinkFixed(LedFrame& frame, uint32_t nowMs) {
    if (frame.leds.empty()) {
        return;
    }
    if (StepBlinkPhase(frame, nowMs)) {
        frame.colourIndex = NextFixedColour(frame.colourIndex);
    }
    frame.Fill(frame.blinkOn ? PackLed(FixedColour(frame.colourIndex), BrightnessLevel(frame.light.light))
                             : 0);
}

void Off(LedFrame& frame) {
    frame.Fill(0);
}

void StepKeyLevel(LedFrame& frame, int key, int mode) {
    frame.SetKeyLevel(key, NextKeyLevel(frame.KeyLevel(key), mode));
}

void LightRingKeys(LedFrame& frame, int count) {
    const size_t n = size_t(std::clamp(count, 0, LedFrame::kLevelRingSize));
    for (size_t i = 0; i < n; ++i) {
        if (frame.ring[i] != 0) {
            frame.keyLevels[i] = 255;
        }
    }
}

void RotateLevelRing(LedFrame& frame, int direction) {
    RotateRingPrefix(frame, LedFrame::kLevelRingSize, direction);
}

void RotateRingPrefix(LedFrame& frame, int count, int direction) {
    const auto first = frame.ring.begin();
    const auto last = first + std::clamp(count, 0, LedFrame::kLevelRingSize);
    if (last - first < 2) {
        return;
    }
    if (direction != 0) {
        std::rotate(first, last - 1, last);
    } else {
        std::rotate(first, first + 1, last);
    }
}

void ClearKeyLevels(LedFrame& frame) {
    frame.keyLevels.fill(0);
    frame.ring.fill(0);
}

void ResetEffect(LedFrame& frame, bool seedRing) {
    frame.position = 0;
    frame.colourIndex = 0;
    frame.blinkOn = false;
    ClearKeyLevels(frame);
    frame.colourPositions.fill(0);
    frame.flashState.fill(0);
    frame.frameCounter = 0;
    if (seedRing) {
        frame.ring[0] = 1;
    }
}

} // namespace leds

} // namespace velkor
