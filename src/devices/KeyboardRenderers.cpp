// The keyboard's effect renderers, one frame per call, and the effect table
// that maps each effect number to its renderer and start step.
#include "devices/KeyboardEffects.h"

#include <algorithm>

namespace velkor::kbfx {

namespace {

constexpr uint8_t kColourPositions = 192;
constexpr int kStarsPerFrame = 6;
constexpr uint8_t kSnakeLevel = 254;
constexpr uint8_t kDropFall = 5;
constexpr uint8_t kDropRise = 3;
constexpr uint8_t kGlowRise = 15;
constexpr uint8_t kGlowFall = 5;
// Decay modes some effects use instead of their own number.
constexpr int kStarDecay = 10;
constexpr int kSnakeDecay = 21;
// Effect 17's colours by the record's sub-effect.
constexpr uint8_t kIndicatorPositions[] = {174, 25, 70, 95};

using leds::FrameLevel;
using leds::RecordColour;
using leds::Scaled;

bool Multi(const LedFrame& frame) {
    return frame.light.multiColor != 0;
}

// The colour of a colour position: the wheel with MultiColor, else the record's.
Rgb ColourOf(const LedFrame& frame, uint8_t position) {
    return Multi(frame) ? kColourWheel[position] : RecordColour(frame.light);
}

void Put(LedFrame& frame, uint8_t key, Rgb colour, uint8_t level) {
    frame.SetLed(key, PackLed(colour, level));
}

// The key shows the colour of its colour position, dimmed by its level.
void ShowKeyGlow(LedFrame& frame, uint8_t key) {
    Put(frame, key, ColourOf(frame, frame.colourPositions[key]), Scaled(FrameLevel(frame), frame.keyLevels[key]));
}

void StepFramePhase(LedFrame& frame, uint8_t modulus) {
    frame.position = StepPhase(frame.light.fx != 0, modulus, frame.position, 1);
}

template <class Fn> void ForColumnKeys(int column, Fn&& fn) {
    for (uint8_t key : kKeyGrid[size_t(column)]) {
        if (key != kNoKey) {
            fn(key);
        }
    }
}

template <class Fn> void ForListedKeys(Fn&& fn) {
    for (uint8_t key : kKeyOrder) {
        if (key != kNoKey) {
            fn(key);
        }
    }
}

void LightKey(LedFrame& frame, KeyboardEffectState& state, uint8_t key) {
    if (key >= kKeys) {
        return;
    }
    frame.keyLevels[key] = 255;
    if (Multi(frame)) {
        frame.colourPositions[key] = uint8_t(state.random.Below(kColourPositions));
    }
}

// Every key decays one step (mode `mode`) and shows its glow.
void DecayAndShowAll(LedFrame& frame, int mode) {
    for (int k = 0; k < kKeys; ++k) {
        leds::StepKeyLevel(frame, k, mode);
        ShowKeyGlow(frame, uint8_t(k));
    }
}

// ---- Waves ----

void ColumnWave(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    const bool multi = Multi(frame);
    const uint8_t modulus = multi ? 192 : 96;
    StepFramePhase(frame, modulus);
    int p = (frame.position + 1) % modulus;
    for (int c = 0; c < kColumns; ++c) {
        const uint32_t led =
            multi ? PackLed(kColourWheel[size_t(p)], FrameLevel(frame))
                  : PackLed(RecordColour(frame.light), Scaled(FrameLevel(frame), kWaveCurve[size_t(p)]));
        ForColumnKeys(c, [&](uint8_t key) { frame.SetLed(key, led); });
        p = (p + 7) % modulus;
    }
}

void ColumnPulseWave(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    const bool multi = Multi(frame);
    const uint8_t modulus = multi ? 192 : 128;
    StepFramePhase(frame, modulus);
    int p = frame.position;
    for (int c = 0; c < kColumns; ++c) {
        const uint32_t led =
            multi ? PackLed(kColourWheel[size_t(p)], FrameLevel(frame))
                  : PackLed(RecordColour(frame.light), Scaled(FrameLevel(frame), kPulseCurve[size_t(p)]));
        ForColumnKeys(c, [&](uint8_t key) { frame.SetLed(key, led); });
        p = (p + (multi ? 2 : 7)) % modulus;
    }
}

void ListWave(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    const bool multi = Multi(frame);
    const uint8_t modulus = multi ? 192 : 96;
    StepFramePhase(frame, modulus);
    int p = frame.position;
    ForListedKeys([&](uint8_t key) {
        const uint32_t led =
            multi ? PackLed(kColourWheel[size_t(p)], FrameLevel(frame))
                  : PackLed(RecordColour(frame.light), Scaled(FrameLevel(frame), kWaveCurve[size_t(p)]));
        frame.SetLed(key, led);
        p = (p + 5) % modulus;
    });
}

void RowWave(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    StepFramePhase(frame, 192);
    int p = (frame.position + 1) % 192;
    for (int r = 0; r < kGridRows; ++r) {
        const uint32_t led = PackLed(kColourWheel[size_t(p)], FrameLevel(frame));
        for (const GridColumn& column : kKeyGrid) {
            if (column[size_t(r)] != kNoKey) {
                frame.SetLed(column[size_t(r)], led);
            }
        }
        p = (p + 24) % 192;
    }
}

void RingRainbowWave(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    StepFramePhase(frame, 192);
    int p = frame.position;
    for (const RingRow& ring : kRingMatrix) {
        p = (p + 7) % 192;
        for (uint8_t key : ring) {
            if (key != kNoKey && kListedKeys[key]) {
                Put(frame, key, kColourWheel[size_t(p)], FrameLevel(frame));
            }
        }
    }
}

// ---- Whole-keyboard colours ----

void KeyColourCycle(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    for (int k = 0; k < kKeys; ++k) {
        uint8_t& position = frame.colourPositions[size_t(k)];
        position = position + 1 >= kColourPositions ? 0 : uint8_t(position + 1);
        Put(frame, uint8_t(k), kColourWheel[position], FrameLevel(frame));
    }
}

void IndicatorColour(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    // Byte 11 of the light record, which the commit keeps equal to the
    // profile's sub-effect: the profile document belongs to another thread.
    const uint8_t mode = frame.light.ledMode;
    const uint8_t position = kIndicatorPositions[mode <= 3 ? mode : 0];
    frame.Fill(PackLed(kColourWheel[position], FrameLevel(frame)));
}

void CustomColours(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    const uint32_t level = uint32_t(FrameLevel(frame)) << 24;
    for (uint32_t& led : frame.leds) {
        led = (led & 0x00FFFFFFu) | level;
    }
}

void FedColour(LedFrame& frame, KeyboardEffectState& state, uint32_t) {
    frame.Fill(PackLed(state.fed, FrameLevel(frame)));
}

// ---- Pulses and stars ----

void PulseField(LedFrame& frame, KeyboardEffectState& state, uint32_t) {
    ForListedKeys([&](uint8_t key) {
        // The per-key level serves as the key's pulse phase here.
        int phase = frame.keyLevels[key] + 2;
        if (phase >= kColourPositions) {
            phase = 0;
            frame.colourPositions[key] = uint8_t(state.random.Below(kColourPositions));
        }
        frame.keyLevels[key] = uint8_t(phase);
        Put(frame, key, ColourOf(frame, frame.colourPositions[key]),
            Scaled(FrameLevel(frame), kPulseCurve[size_t(phase)]));
    });
}

void PulseFieldOwnPhases(LedFrame& frame, KeyboardEffectState& state, uint32_t) {
    ForListedKeys([&](uint8_t key) {
        int phase = state.pulse[key] + 1;
        if (phase >= kColourPositions) {
            phase = 0;
            frame.colourPositions[key] = uint8_t(state.random.Below(kColourPositions));
        }
        state.pulse[key] = uint8_t(phase);
        Put(frame, key, ColourOf(frame, frame.colourPositions[key]),
            Scaled(FrameLevel(frame), kPulseCurve[size_t(phase)]));
    });
}

void Starlight(LedFrame& frame, KeyboardEffectState& state, uint32_t) {
    for (int i = 0; i < kStarsPerFrame; ++i) {
        const uint8_t position = kStarPickTable[state.random.Below(kStarPicks)];
        const uint8_t key = kKeyOrder[position];
        if (key != kNoKey) {
            frame.keyLevels[key] = 255;
            frame.colourPositions[key] = uint8_t(state.random.Below(kColourPositions));
        }
    }
    DecayAndShowAll(frame, kStarDecay);
}

// ---- Trails ----

void Snake(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    uint8_t& phi = frame.position;
    if (frame.light.fx != 0) {
        if (phi >= kSnakeLength - 1) {
            phi = 0;
        } else {
            const uint8_t key = kSnakeOrder[phi];
            if (key != kNoKey) {
                frame.keyLevels[key] = kSnakeLevel;
            }
            ++phi;
        }
    } else if (phi == 0 || phi >= kSnakeLength) {
        // Position 0 is never lit going this way; a phase past the order
        // (left by the other direction) starts over at its end.
        phi = kSnakeLength - 1;
    } else {
        const uint8_t key = kSnakeOrder[phi];
        if (key != kNoKey) {
            frame.keyLevels[key] = kSnakeLevel;
        }
        --phi;
    }
    ForListedKeys([&](uint8_t key) {
        leds::StepKeyLevel(frame, key, kSnakeDecay);
        ShowKeyGlow(frame, key);
    });
}

void Drops(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    StepFramePhase(frame, kDropFrames);
    for (uint8_t key : kDropTable[frame.position]) {
        if (key != kNoKey) {
            frame.keyLevels[key] = 255;
            frame.colourPositions[key] = 0;
        }
    }
    const bool multi = Multi(frame);
    for (int k = 0; k < kKeys; ++k) {
        uint8_t& level = frame.keyLevels[size_t(k)];
        uint8_t& position = frame.colourPositions[size_t(k)];
        // Shown first, then aged: a key hit this frame shows the start of its walk.
        if (multi) {
            Put(frame, uint8_t(k), kColourWheel[position], FrameLevel(frame));
        } else {
            Put(frame, uint8_t(k), RecordColour(frame.light), Scaled(FrameLevel(frame), level));
        }
        level = level > kDropFall ? uint8_t(level - kDropFall) : 0;
        position = position < 255 - kDropRise ? uint8_t(position + kDropRise) : 255;
    }
}

// ---- Ripples ----

void Ripple(LedFrame& frame, KeyboardEffectState& state, uint32_t) {
    LightMarkedKeys(frame, state);
    SpreadRipple(state);
    for (int k = 0; k < kKeys; ++k) {
        leds::StepKeyLevel(frame, k, frame.light.selectItem);
        uint8_t& position = frame.colourPositions[size_t(k)];
        position = StepPhase(true, kColourPositions, position, 7);
        ShowKeyGlow(frame, uint8_t(k));
    }
}

void RowRipple(LedFrame& frame, KeyboardEffectState& state, uint32_t) {
    LightMarkedKeys(frame, state);
    SlideRipple(state);
    DecayAndShowAll(frame, frame.light.selectItem);
}

uint8_t ColumnMarks(const KeyboardEffectState& state, int column) {
    uint8_t marks = 0;
    for (const KeyboardEffectState::Mask& mask : state.masks) {
        marks |= mask[size_t(column)];
    }
    return marks;
}

void SetColumnMark(KeyboardEffectState& state, int column, uint8_t bit) {
    for (KeyboardEffectState::Mask& mask : state.masks) {
        mask[size_t(column)] |= bit;
    }
}

void BounceColumn9(LedFrame& frame, KeyboardEffectState& state, uint32_t) {
    const uint8_t marks = ColumnMarks(state, 9);
    if (marks == 0x01) {
        SetColumnMark(state, 9, 0x01);
    } else if (marks == 0x40) {
        SetColumnMark(state, 9, 0x40);
    }
    if (state.stage >= 2) {
        state.stage = 0;
        LightMarkedKeys(frame, state);
        SpreadRipple(state);
    }
    ++state.stage;
    DecayAndShowAll(frame, frame.light.selectItem);
}

void CornerBounce(LedFrame& frame, KeyboardEffectState& state, uint32_t) {
    if (ColumnMarks(state, 1) == 0x01) {
        SetColumnMark(state, 1, 0x01);
    }
    if (ColumnMarks(state, kColumns - 1) == 0x40) {
        SetColumnMark(state, kColumns - 1, 0x40);
    }
    LightMarkedKeys(frame, state);
    SpreadRipple(state);
    ForListedKeys([&](uint8_t key) {
        leds::StepKeyLevel(frame, key, frame.light.selectItem);
        ShowKeyGlow(frame, key);
    });
}

// Effect 14: a sweep, then pairs, then a ripple from key 52 that must reach
// key 124 and fade there before the sweep starts again.
void Sequence(LedFrame& frame, KeyboardEffectState& state, uint32_t) {
    constexpr uint8_t kRippleKey = 52;
    constexpr uint8_t kPairsDoneKey = 72;
    constexpr uint8_t kFarKey = 124;
    constexpr int kLastPairStep = 30;
    uint8_t& phi = frame.position;
    switch (state.stage) {
    case 0:
        if (phi < kSweepRows) {
            for (uint8_t key : kSweepTable[phi]) {
                LightKey(frame, state, key);
            }
        }
        if (++phi >= kSweepRows) {
            phi = 0;
            state.stage = 1;
        }
        break;
    case 1:
        if (phi <= kLastPairStep) {
            for (uint8_t key : kPairTable[phi % kPairs]) {
                LightKey(frame, state, key);
            }
            ++phi;
        } else if (frame.keyLevels[kPairsDoneKey] == 0) {
            state.stage = 2;
            phi = 0;
        }
        break;
    case 2:
        SeedRipple(state, kRippleKey, kPress);
        state.stage = 3;
        break;
    case 3:
        LightMarkedKeys(frame, state);
        SpreadRipple(state);
        if (frame.keyLevels[kFarKey] != 0) {
            state.stage = 4;
        }
        break;
    default:
        // Stage 4, or a stage no frame of this effect sets: wait for the far key to fade.
        if (frame.keyLevels[kFarKey] == 0) {
            state.stage = 0;
            phi = 0;
        }
        break;
    }
    DecayAndShowAll(frame, frame.light.selectItem);
}

void KeyGlow(LedFrame& frame, KeyboardEffectState& state, uint32_t) {
    for (int k = 0; k < kKeys; ++k) {
        uint8_t& level = frame.keyLevels[size_t(k)];
        if (state.press[size_t(k)] == 1) {
            level = uint8_t(std::min(255, level + kGlowRise));
        } else if (state.press[size_t(k)] == 2) {
            level = uint8_t(std::max(0, level - kGlowFall));
        }
        ShowKeyGlow(frame, uint8_t(k));
    }
}

void Audio(LedFrame& frame, KeyboardEffectState& state, uint32_t) {
    RenderAudio(frame, state);
}

// ---- The whole-device effects the keyboard shares ----

template <void (*Effect)(LedFrame&)> void Plain(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    Effect(frame);
}
template <void (*Effect)(LedFrame&, uint32_t)>
void Timed(LedFrame& frame, KeyboardEffectState&, uint32_t nowMs) {
    Effect(frame, nowMs);
}

using S = StartStep;
constexpr EffectEntry kEffects[] = {
    {nullptr, S::SeedColours},                     // 0: custom effect steps
    {ColumnWave, S::SeedColours},                  // 1
    {ColumnPulseWave, S::SeedColours},             // 2
    {ListWave, S::SeedColours},                    // 3
    {Plain<leds::Spectrum>, S::SeedColours},       // 4
    {ColumnBreathing, S::SeedColours},             // 5
    {StaticRingRainbow, S::SeedColours},           // 6
    {Ripple, S::SeedColours},                      // 7
    {KeyGlow, S::SeedColours},                     // 8
    {RowRipple, S::SeedColours},                   // 9
    {Starlight, S::SeedColours},                   // 10
    {KeyColourCycle, S::SeedColours},              // 11
    {RowWave, S::SeedColours},                     // 12
    {BounceColumn9, S::MarkColumn9},               // 13
    {Sequence, S::SeedColours},                    // 14
    {PulseField, S::PulseFromTables},              // 15
    {CornerBounce, S::MarkColumn1},                // 16
    {IndicatorColour, S::SeedColours},             // 17
    {RingRainbowWave, S::SeedColours},             // 18
    {CustomColours, S::CustomGroup},               // 19
    {nullptr, S::SeedColours},                     // 20: custom effect steps
    {Snake, S::SeedColours},                       // 21
    {PulseFieldOwnPhases, S::DiagonalPulse},       // 22
    {Timed<leds::Blink>, S::SeedColours},          // 23
    {Drops, S::SeedColours},                       // 24
    {KeyGlow, S::SeedColours},                     // 25
    {Plain<leds::BreathingFixed>, S::SeedColours}, // 26
    {Timed<leds::BlinkFixed>, S::SeedColours},     // 27
    {Plain<leds::Off>, S::SeedColours},            // 28
    {Audio, S::SeedColours},                       // 29
    {FedColour, S::SeedColours},                   // 30
};
static_assert(std::size(kEffects) == 31);

} // namespace

void ColumnBreathing(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    if (frame.leds.empty()) {
        return;
    }
    // The direction is not used: the breath always runs forward.
    frame.position = frame.position + 1 >= 128 ? 0 : uint8_t(frame.position + 1);
    const uint8_t level = Scaled(FrameLevel(frame), kBreathingCurve[frame.position]);
    for (int c = 0; c < kColumns; ++c) {
        const Rgb colour = Multi(frame) ? kColourWheel[size_t(7 * c)] : RecordColour(frame.light);
        ForColumnKeys(c, [&](uint8_t key) { Put(frame, key, colour, level); });
    }
}

void StaticRingRainbow(LedFrame& frame, KeyboardEffectState&, uint32_t) {
    if (!Multi(frame)) {
        frame.Fill(PackLed(RecordColour(frame.light), FrameLevel(frame)));
        return;
    }
    // Keys in no ring, or not listed, keep what they show.
    for (size_t i = 0; i < kRingMatrix.size(); ++i) {
        const Rgb colour = kColourWheel[138 - 12 * i];
        for (uint8_t key : kRingMatrix[i]) {
            if (key != kNoKey && kListedKeys[key]) {
                Put(frame, key, colour, FrameLevel(frame));
            }
        }
    }
}

EffectEntry EffectOf(int effect) {
    if (effect < 0 || size_t(effect) >= std::size(kEffects)) {
        return {nullptr, S::SeedColours};
    }
    return kEffects[size_t(effect)];
}

} // namespace velkor::kbfx
