#pragma once
// Rules every kind's settings record follows for the lighting fields.
#include "devices/DeviceNameLists.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

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

// A record struct from its wire bytes and back (the structs are packed, byte for byte).
template <class Record> Record RecordFromBytes(std::span<const uint8_t, sizeof(Record)> bytes) {
    Record record;
    std::memcpy(&record, bytes.data(), sizeof(Record));
    return record;
}
template <class Record> std::array<uint8_t, sizeof(Record)> RecordToBytes(const Record& record) {
    std::array<uint8_t, sizeof(Record)> bytes{};
    std::memcpy(bytes.data(), &record, sizeof(Record));
    return bytes;
}

// Offset of profile p's record of `size` bytes at p x `stride`; nullopt when
// p is negative or the record would not end inside a frame's 16-bit offset.
inline std::optional<uint16_t> RecordOffset(int profile, int stride, int size) {
    if (profile < 0 || long(profile) * stride + size > 0x10000) {
        return std::nullopt;
    }
    return uint16_t(profile * stride);
}

} // namespace velkor
