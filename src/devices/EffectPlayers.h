#pragma once
// The two renderers that play what the user made: the player of a custom
// effect's steps and the per-LED lighting list. Each device keeps its own
// (two keyboards in custom effects must not advance one shared player).
//
// Both run on the light thread, once per pass, and write a whole frame into
// the LedFrame the caller holds locked. Every value from a profile or effect
// file (type, speed, brightness, duration) is clamped before it indexes a
// table. No allocation.
#include "devices/LedState.h"
#include "profiles/ProfileRecords.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace velkor {

class EffectStepPlayer {
public:
    // The step list as the player sees it: the current step is advanced here.
    struct Steps {
        std::vector<LedEffectStep> steps;
        int current = 0;
        // Set when the list was reloaded: the player starts over.
        bool restart = true;
    };

    // Back to the start state (the next pass starts timing the current step).
    void Restart() { *this = EffectStepPlayer(); }
    // One pass. `steps` is guarded by the caller's effect-steps lock, which
    // `withSteps` takes: it runs the given function on the list.
    template <class WithSteps> void Pass(LedFrame& frame, WithSteps&& withSteps, uint32_t nowMs) {
        std::optional<LedEffectStep> step;
        withSteps([&](Steps& held) { step = TakeStep(held); });
        if (!step) {
            leds::Off(frame); // an empty effect shows nothing
            return;
        }
        Render(frame, *step, nowMs);
        if (!m_started) {
            m_started = true;
            m_stepStart = nowMs;
        } else if (int64_t(uint32_t(nowMs - m_stepStart)) > int64_t(std::max(step->time, 0))) {
            withSteps([](Steps& held) {
                held.current = held.steps.empty() ? 0 : (held.current + 1) % int(held.steps.size());
            });
            m_stepStart = nowMs;
        }
    }

private:
    std::optional<LedEffectStep> TakeStep(Steps& held);
    void Render(LedFrame& frame, const LedEffectStep& step, uint32_t nowMs);

    bool m_started = false;
    uint32_t m_stepStart = 0;
    uint8_t m_frames = 0;
    uint8_t m_phase = 0;
    uint8_t m_blinkColour = 0;
    bool m_blinkOn = false;
    uint32_t m_lastBlinkMs = 0;
};

class LightListRenderer {
public:
    // Per-LED state back to the start, with the blink intervals and cycle
    // limits of `list` (taken when the list is loaded).
    void Reset(const std::vector<LightListEntry>& list);
    // One pass: entry i of `list` lights LED i.
    void Pass(LedFrame& frame, const std::vector<LightListEntry>& list, uint32_t nowMs);
    // True when the list has an entry this renderer draws.
    static bool HasEntries(const std::vector<LightListEntry>& list);

private:
    static constexpr size_t kLeds = LedFrame::kKeyLevelCount;
    std::array<uint8_t, kLeds> m_phase{};
    std::array<uint8_t, kLeds> m_colour{};
    std::array<uint8_t, kLeds> m_counter{};
    std::array<uint8_t, kLeds> m_limit{};
    std::array<uint32_t, kLeds> m_interval{};
    std::array<uint32_t, kLeds> m_lastToggle{};
    std::array<bool, kLeds> m_on{};
};

} // namespace velkor
