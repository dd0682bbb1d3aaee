#include "devices/KindRenderers.h"

#include "devices/LightTables.h"

#include <algorithm>
#include <array>

namespace velkor::leds {

namespace {

constexpr int kNone = -1;
// The mouse's LEDs in seven rows of up to three, front to back.
constexpr std::array<std::array<int, 3>, 7> kMouseRows = {{
    {0, kNone, 13},
    {1, kNone, 12},
    {2, kNone, 11},
    {3, kNone, 10},
    {4, kNone, 9},
    {5, kNone, 8},
    {6, 14, 7},
}};
// The pad's edge LEDs that face each other.
constexpr std::array<std::array<int, 2>, 7> kPadPairs = {
    {{1, 14}, {2, 13}, {3, 12}, {4, 11}, {5, 10}, {6, 9}, {7, 8}}};
constexpr uint8_t kFlashStep = 15;

// The colour of wave position `offset` steps ahead of the phase: the wheel
// with MultiColor, else the record's colour dimmed along the wave curve.
uint32_t WaveLed(const LedFrame& frame, int offset) {
    if (frame.light.multiColor != 0) {
        return PackLed(kColourWheel[size_t((frame.position + 1 + offset) % 192)], FrameLevel(frame));
    }
    return PackLed(RecordColour(frame.light),
                   Scaled(FrameLevel(frame), kWaveCurve[size_t((frame.position + 1 + offset) % 96)]));
}

void StepWavePhase(LedFrame& frame) {
    frame.position =
        StepPhase(frame.light.fx != 0, frame.light.multiColor != 0 ? 192 : 96, frame.position, 1);
}

// Ring colours: the record's, or with MultiColor the wheel 12 places further
// per group; a group whose head is lit keeps the colour its first LED has.
struct RingColours {
    uint8_t phase;
    bool headLit;
    Rgb Next(const LedFrame& frame, int firstLed) {
        if (frame.light.multiColor == 0) {
            return RecordColour(frame.light);
        }
        phase = uint8_t(phase + 12);
        if (headLit) {
            const uint32_t led = frame.Led(firstLed);
            return {LedRed(led), LedGreen(led), LedBlue(led)};
        }
        return kColourWheel[phase >= 192 ? size_t(phase - 192) : size_t(phase)];
    }
};

void Put(LedFrame& frame, int led, Rgb colour, uint8_t level) {
    frame.SetLed(led, PackLed(colour, level));
}

} // namespace

void MouseWave(LedFrame& frame) {
    StepWavePhase(frame);
    for (size_t r = 0; r < kMouseRows.size(); ++r) {
        const uint32_t led = WaveLed(frame, int(7 * r));
        for (int n : kMouseRows[r]) {
            frame.SetLed(n, led);
        }
    }
}

void MouseFlowingRing(LedFrame& frame) {
    const bool forward = frame.light.fx != 0;
    frame.position = StepPhase(forward, 192, frame.position, 1);
    LightRingKeys(frame);
    RotateLevelRing(frame, forward ? 1 : 0);
    for (size_t r = 0; r < kMouseRows.size(); ++r) {
        StepKeyLevel(frame, int(r), frame.light.selectItem);
    }
    const bool headLit = forward ? frame.KeyLevel(0) != 0 : frame.KeyLevel(6) != 0;
    RingColours colours{frame.position, headLit};
    for (size_t r = 0; r < kMouseRows.size(); ++r) {
        const Rgb colour = colours.Next(frame, kMouseRows[r][0]);
        const uint8_t level = Scaled(FrameLevel(frame), frame.KeyLevel(int(r)));
        for (int n : kMouseRows[r]) {
            Put(frame, n, colour, level);
        }
    }
}

void StartFlash(LedFrame& frame, uint8_t colour) {
    const size_t count = std::min(frame.leds.size(), frame.flashState.size());
    for (size_t n = 0; n < count; ++n) {
        frame.flashState[n] = 1;
        frame.keyLevels[n] = 255;
        frame.colourPositions[n] = uint8_t(colour % 192);
    }
}

void MouseFlash(LedFrame& frame) {
    const size_t count = std::min(frame.leds.size(), frame.flashState.size());
    for (size_t n = 0; n < count; ++n) {
        uint8_t& level = frame.keyLevels[n];
        if (frame.flashState[n] == 1) {
            level = uint8_t(std::min(255, level + kFlashStep));
            if (level == 255) {
                frame.flashState[n] = 2;
            }
        } else if (frame.flashState[n] == 2) {
            level = uint8_t(std::max(0, level - kFlashStep));
        }
        const Rgb colour =
            frame.light.multiColor != 0 ? kColourWheel[frame.colourPositions[n]] : RecordColour(frame.light);
        frame.leds[n] = PackLed(colour, Scaled(FrameLevel(frame), level));
    }
}

void PadWave(LedFrame& frame) {
    StepWavePhase(frame);
    for (size_t n = 0; n < frame.leds.size(); ++n) {
        frame.leds[n] = WaveLed(frame, int(7 * n));
    }
}

void HeadsetWave(LedFrame& frame) {
    const bool forward = frame.light.fx != 0;
    if (frame.light.multiColor != 0) {
        frame.position = StepPhase(forward, 192, frame.position, 1);
        for (size_t n = 0; n < frame.leds.size(); ++n) {
            frame.leds[n] = PackLed(kColourWheel[(frame.position + 1 + 16 * n) % 192], FrameLevel(frame));
        }
        return;
    }
    frame.position = StepPhase(forward, 96, frame.position, 3);
    for (size_t n = 0; n < frame.leds.size(); ++n) {
        frame.leds[n] =
            PackLed(RecordColour(frame.light), Scaled(FrameLevel(frame), kWaveCurve[(frame.position + 10 * n) % 96]));
    }
}

void PadPairedRing(LedFrame& frame) {
    const bool forward = frame.light.fx != 0;
    frame.position = StepPhase(forward, 192, frame.position, 1);
    if (++frame.frameCounter % 2 == 0) {
        LightRingKeys(frame, std::min<int>(int(frame.leds.size()), LedFrame::kLevelRingSize));
        RotateRingPrefix(frame, 8, forward ? 0 : 1);
    }
    for (size_t p = 0; p < kPadPairs.size(); ++p) {
        StepKeyLevel(frame, int(p), frame.light.selectItem);
    }
    const int lastLed = int(frame.leds.size()) - 1;
    const bool headLit = forward ? frame.KeyLevel(0) != 0 : frame.KeyLevel(lastLed) != 0;
    RingColours colours{frame.position, headLit};
    for (size_t p = 0; p < kPadPairs.size(); ++p) {
        const Rgb colour = colours.Next(frame, kPadPairs[p][0]);
        const uint8_t level = Scaled(FrameLevel(frame), frame.KeyLevel(int(p)));
        for (int n : kPadPairs[p]) {
            Put(frame, n, colour, level);
        }
    }
}

void PadChasingRing(LedFrame& frame) {
    const bool forward = frame.light.fx != 0;
    frame.position = StepPhase(forward, 192, frame.position, 1);
    const int count = std::min<int>(int(frame.leds.size()), LedFrame::kLevelRingSize);
    if (++frame.frameCounter % 2 == 0) {
        LightRingKeys(frame, count);
        RotateRingPrefix(frame, LedFrame::kLevelRingSize, forward ? 1 : 0);
    }
    for (int n = 0; n < count; ++n) {
        StepKeyLevel(frame, n, frame.light.selectItem);
    }
    const bool headLit = forward ? frame.KeyLevel(0) != 0 : frame.KeyLevel(count - 1) != 0;
    RingColours colours{frame.position, headLit};
    for (int n = 0; n < count; ++n) {
        const Rgb colour = colours.Next(frame, n);
        Put(frame, n, colour, Scaled(FrameLevel(frame), frame.KeyLevel(n)));
    }
}

namespace {

template <void (*Effect)(LedFrame&)> void Timeless(LedFrame& frame, uint32_t) {
    Effect(frame);
}

constexpr EffectRenderer kMouseEffects[] = {
    Timeless<MouseWave>,
    Timeless<Spectrum>,
    Timeless<Breathing>,
    Timeless<Static>,
    Blink,
    Timeless<MouseFlowingRing>,
    Timeless<MouseFlash>,
    Timeless<BreathingFixed>,
    BlinkFixed,
    Timeless<Off>,
};
constexpr EffectRenderer kPadEffects[] = {
    Timeless<PadWave>, Timeless<Spectrum>,       Timeless<Breathing>,     Timeless<Static>, Blink,
    nullptr,           Timeless<PadChasingRing>, Timeless<PadPairedRing>, Timeless<Off>,
};

constexpr EffectRenderer kHeadsetEffects[] = {
    Timeless<HeadsetWave>, Timeless<Spectrum>,       Timeless<Breathing>,     Timeless<Static>, Blink,
    nullptr,               Timeless<PadChasingRing>, Timeless<PadPairedRing>, Timeless<Off>,
};

} // namespace

std::span<const EffectRenderer> HeadsetEffects() {
    return kHeadsetEffects;
}

std::span<const EffectRenderer> MouseEffects() {
    return kMouseEffects;
}

std::span<const EffectRenderer> PadEffects() {
    return kPadEffects;
}

bool RenderEffect(std::span<const EffectRenderer> effects, LedFrame& frame, int effect, uint32_t nowMs) {
    if (effect < 0 || size_t(effect) >= effects.size() || effects[size_t(effect)] == nullptr) {
        return false;
    }
    effects[size_t(effect)](frame, nowMs);
    return true;
}

} // namespace velkor::leds
