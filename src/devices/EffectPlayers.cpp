#include "devices/EffectPlayers.h"

#include "devices/LightTables.h"

#include <algorithm>

namespace velkor {

namespace {

enum StepType : uint8_t { kBreathe = 0, kStatic = 1, kBlink = 2, kWave = 4, kCycle = 5 };
enum ListType : uint8_t { kListBreathe = 0, kListStatic = 1, kListBlink = 2, kListCycle = 3, kListOff = 4 };

uint8_t Wrap(int value, int modulus) {
    return value >= modulus ? 0 : uint8_t(value);
}

Rgb ColourOf(uint8_t red, uint8_t green, uint8_t blue) {
    return {red, green, blue};
}

} // namespace

// ---- Custom effect steps ----

std::optional<LedEffectStep> EffectStepPlayer::TakeStep(Steps& held) {
    if (held.restart) {
        held.restart = false;
        Restart();
    }
    if (held.current < 0 || size_t(held.current) >= held.steps.size()) {
        held.current = 0;
    }
    if (held.steps.empty()) {
        return std::nullopt;
    }
    return held.steps[size_t(held.current)];
}

void EffectStepPlayer::Render(LedFrame& frame, const LedEffectStep& step, uint32_t nowMs) {
    const uint8_t threshold = StepTypeThreshold(step.mode, step.speed);
    const uint8_t level = BrightnessLevel(step.brightness);
    const Rgb own = ColourOf(step.red, step.green, step.blue);
    const bool cycling = step.multiColor != 0;
    ++m_frames;
    const bool due = m_frames >= threshold;
    switch (step.mode) {
    case kBreathe:
        if (due) {
            m_phase = Wrap(m_phase + 1, 128);
            m_frames = 0;
            frame.Fill(
                PackLed(cycling ? kColourWheel[0] : own, uint8_t((kBreathingCurve[m_phase] * level) >> 8)));
        }
        break;
    case kStatic:
        if (due) {
            m_frames = 0;
            frame.Fill(PackLed(own, level));
        }
        break;
    case kBlink:
        m_phase = Wrap(m_phase + 1, 128);
        if (due) {
            m_frames = 0;
        }
        if (uint32_t(nowMs - m_lastBlinkMs) >= BlinkIntervalMs(frame.light.speed)) {
            m_blinkOn = !m_blinkOn;
            m_lastBlinkMs = nowMs;
            m_blinkColour = Wrap(m_phase + 14, 192);
        }
        frame.Fill(m_blinkOn ? PackLed(cycling ? kColourWheel[m_blinkColour] : own, level) : 0);
        break;
    case kWave:
        if (due) {
            m_phase = Wrap(m_phase + 1, 192);
            m_frames = 0;
            const int start =
                step.direction == 0 ? Wrap(m_phase + 1, 192) : (m_phase == 0 ? 191 : 192 - m_phase);
            for (size_t n = 0; n < frame.leds.size(); ++n) {
                frame.leds[n] =
                    cycling ? PackLed(kColourWheel[(start + 12 * n) % 192], level)
                            : PackLed(own, uint8_t((level * kWaveCurve[(start + 12 * (n + 1)) % 96]) >> 8));
            }
        }
        break;
    case kCycle:
        if (due) {
            m_phase = Wrap(m_phase + 1, 192);
            m_frames = 0;
            frame.Fill(PackLed(kColourWheel[m_phase], level));
        }
        break;
    default:
        break; // a type this program does not know shows nothing new
    }
    if (m_frames == 255) {
        m_frames = 0;
    }
}

// ---- Per-LED list ----

bool LightListRenderer::HasEntries(const std::vector<LightListEntry>& list) {
    return std::any_of(list.begin(), list.end(), [](const LightListEntry& e) { return e.present != 0; });
}

void LightListRenderer::Reset(const std::vector<LightListEntry>& list) {
    *this = LightListRenderer();
    const size_t count = std::min(list.size(), kLeds);
    for (size_t n = 0; n < count; ++n) {
        const uint8_t speed = std::min<uint8_t>(list[n].speed, 4);
        m_interval[n] = BlinkIntervalMs(speed);
        m_limit[n] = kStandardThresholds[speed];
    }
}

void LightListRenderer::Pass(LedFrame& frame, const std::vector<LightListEntry>& list, uint32_t nowMs) {
    const size_t count = std::min({list.size(), frame.leds.size(), kLeds});
    for (size_t n = 0; n < count; ++n) {
        const LightListEntry& entry = list[n];
        if (entry.present == 0) {
            continue;
        }
        const uint8_t level = BrightnessLevel(entry.brightness);
        const Rgb own = ColourOf(entry.red, entry.green, entry.blue);
        const bool cycling = entry.multiColor != 0;
        switch (entry.mode) {
        case kListBreathe: {
            const int next = m_phase[n] + std::min<int>(entry.speed, 4) + 4;
            if (next >= 128) { // a step past 128 wraps too, never reading past the curve
                m_phase[n] = 0;
                m_colour[n] = uint8_t(std::min(m_colour[n] + 1, 191));
            } else {
                m_phase[n] = uint8_t(next);
            }
            frame.leds[n] = PackLed(cycling ? kColourWheel[m_colour[n]] : own,
                                    uint8_t((kBreathingCurve[m_phase[n]] * level) >> 8));
            break;
        }
        case kListStatic:
            frame.leds[n] = PackLed(own, level);
            break;
        case kListBlink:
            if (uint32_t(nowMs - m_lastToggle[n]) >= m_interval[n]) {
                m_on[n] = !m_on[n];
                m_lastToggle[n] = nowMs;
                m_colour[n] = m_colour[n] + 14 > 191 ? 0 : uint8_t(m_colour[n] + 14);
            }
            frame.leds[n] = m_on[n] ? PackLed(cycling ? kColourWheel[m_colour[n]] : own, level) : 0;
            break;
        case kListCycle:
            if (++m_counter[n] >= std::max<uint8_t>(m_limit[n], 1)) {
                m_counter[n] = 0;
                m_colour[n] = m_colour[n] >= 191 ? 0 : uint8_t(m_colour[n] + 1);
            }
            frame.leds[n] = PackLed(kColourWheel[m_colour[n]], level);
            break;
        case kListOff:
            frame.leds[n] = 0;
            break;
        default:
            break;
        }
    }
}

} // namespace velkor
