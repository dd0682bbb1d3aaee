#pragma once
// Rules every kind's settings record follows for the lighting fields.
#include "devices/DeviceNameLists.h"

#include <algorithm>
#include <cstdint>

namespace velkor {

inline constexpr int kMaxSpeed = 4;

// Speed <-> its record byte, both ways (4 - value). A damaged value above 4
// counts as 4, never wrapping into a speed past the light thread's thresholds.
inline uint8_t FlipSpeed(uint8_t value) {
    return uint8_t(kMaxSpeed - std::min<int>(value, kMaxSpeed));
}

// Position of a device effect code in the mode list; the raw code when no
// mode has it (or the position would not fit the one-byte mode number).
inline uint8_t ModeOfEffectByte(uint8_t code, const DeviceNameLists& modes) {
    const int mode = modes.ModeOfEffectCode(code);
    return (mode < 0 || mode > 0xFF) ? code : uint8_t(mode);
}

} // namespace velkor
