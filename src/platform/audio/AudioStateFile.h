#pragma once
// What the Linux audio plugin keeps between runs, as a driver keeps its
// settings: equaliser and voice changer state, and the last level set per
// group with the raw value it became, so that a get answers the level set
// and not its rounding (which would drift a percent per restart).
//
// Stored in $XDG_STATE_HOME/VELKOR01/headset-audio.json (default
// ~/.local/state), written atomically; a missing or damaged file reads as the
// defaults.
#include "platform/Environment.h"

#include <array>
#include <cstdint>
#include <string>

namespace velkor::linuxaudio {

inline constexpr int kBandCount = 10;
inline constexpr int kBandMin = -20;
inline constexpr int kBandMax = 20;

struct LevelMemory {
    bool known = false;
    long raw = 0;        // the raw value the level became
    double scalar = 0.0; // the level set, 0..1
};

struct AudioState {
    bool eqEnabled = false;
    std::array<int32_t, kBandCount> bands{};
    bool voiceEnabled = false;
    int32_t voice = 0; // 0..3
    LevelMemory mic;
    LevelMemory monitor;
};

// The file's path from XDG_STATE_HOME or HOME; empty when neither is usable.
std::string AudioStatePath(const Environment& environment);
// The defaults when the file is missing or damaged; values out of range are clamped.
AudioState ReadAudioState(const std::string& path);
// False when the file could not be written whole (the old one stays).
bool WriteAudioState(const std::string& path, const AudioState& state);

} // namespace velkor::linuxaudio
