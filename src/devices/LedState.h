#pragma once
// The software lighting state of one device and the effects that run on it.
//
// LedFrame holds the LED colour buffer, the per-LED records of the kinds' own
// effects, the light record, the software effects' phase, the key levels and
// the level ring. A device keeps it as LedState (Guarded<LedFrame>): the light
// thread renders a whole frame inside one With() call and the user-interface
// thread reads or changes it the same way, so neither sees half a frame.
//
// The functions below take the frame itself and never lock; callers run them
// inside With().
#include "devices/Guarded.h"
#include "devices/LightTables.h"
#include "profiles/ProfileRecords.h"

#include <array>
#include <cstdint>
#include <vector>

namespace velkor {

// Per-LED state of the kinds' own effects.
using LedRecord = std::array<uint8_t, 14>;

struct LedFrame {
    static constexpr int kKeyLevelCount = 170;
    static constexpr int kLevelRingSize = 23;
    // Ring positions the base lights with LightRingKeys.
    static constexpr int kRingKeyCount = 9;

    // Per LED: byte 0 red, 1 green, 2 blue, 3 level.
    std::vector<uint32_t> leds;
    std::vector<LedRecord> records;
    LightInfoRecord light;
    // The software effects' phase: position on the curve or wheel, colour
    // position, blink on/off and the time of the last blink toggle.
    uint8_t position = 0;
    uint8_t colourIndex = 0;
    bool blinkOn = false;
    uint32_t lastBlinkMs = 0;
    std::array<uint8_t, kKeyLevelCount> keyLevels{};
    std::array<uint8_t, kLevelRingSize> ring{};
    // Per LED: a colour-wheel position and the flash state (0 idle, 1
    // rising, 2 falling) of the click flash; a frame counter of the ring effects.
    std::array<uint8_t, kKeyLevelCount> colourPositions{};
    std::array<uint8_t, kKeyLevelCount> flashState{};
    uint8_t frameCounter = 0;
    // The colours come from another program (Direct): the effects leave the buffer alone.
    bool direct = false;

    // Buffer and records of `count` LEDs, all zero.
    void Resize(size_t count);
    void Fill(uint32_t packed);
    // Stores when 0 <= index < LED count; otherwise nothing.
    void SetLed(int index, uint32_t packed);
    // 0 outside the buffer.
    uint32_t Led(int index) const;
    // Keys outside 0..169 read 0 and are never written.
    uint8_t KeyLevel(int key) const;
    void SetKeyLevel(int key, uint8_t level);
};

using LedState = Guarded<LedFrame>;

// The level a key-level step leaves: `mode` 0, 29 (audio) or any other.
// Never below 0; 0 stays 0.
uint8_t NextKeyLevel(uint8_t level, int mode);

namespace leds {

// The record's own colour; the frame's brightness level; a level scaled by a
// factor of 0..255 (256 would be the whole level).
inline Rgb RecordColour(const LightInfoRecord& light) {
    return {light.red, light.green, light.blue};
}
inline uint8_t FrameLevel(const LedFrame& frame) {
    return BrightnessLevel(frame.light.light);
}
inline uint8_t Scaled(uint8_t level, uint8_t factor) {
    return uint8_t((level * factor) >> 8);
}

// The software effects: one frame into every LED (nothing without LEDs).
// Levels follow the record's brightness; the blink effects toggle once their
// speed's interval has passed since the last toggle (`nowMs`, a wrapping tick).
void Breathing(LedFrame& frame);
void BreathingFixed(LedFrame& frame);
void Static(LedFrame& frame);
void Spectrum(LedFrame& frame);
void Blink(LedFrame& frame, uint32_t nowMs);
void BlinkFixed(LedFrame& frame, uint32_t nowMs);
void Off(LedFrame& frame);

// Key levels: one decay step of a key (keys outside 0..169 are ignored);
// ring positions 0..`count` - 1 that are nonzero set the key level there to
// 255; the ring turns one place up (direction nonzero: the last becomes the
// first) or down; everything back to 0.
void StepKeyLevel(LedFrame& frame, int key, int mode);
void LightRingKeys(LedFrame& frame, int count = LedFrame::kRingKeyCount);
void RotateLevelRing(LedFrame& frame, int direction);
void ClearKeyLevels(LedFrame& frame);
// Turns the first `count` (at most 23) ring marks one place, as RotateLevelRing does.
void RotateRingPrefix(LedFrame& frame, int count, int direction);
// The phases, key levels, ring, colour positions, flash states and frame
// counter back to 0; with `seedRing`, one ring mark at position 0 so a ring
// effect has something to travel.
void ResetEffect(LedFrame& frame, bool seedRing);

} // namespace leds

} // namespace velkor
