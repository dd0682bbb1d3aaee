#pragma once
// The device form of macros and recoil patterns, shared by both: four bytes
// per event (EncodeEvent) and the event block that a device's macro or
// recoil memory holds (BuildEventBlock). Pure functions; any thread.
//
// Event: delay low byte, delay high byte, "Type" with bit 7 set for "down",
// "Button".
//
// Block (16-bit fields little-endian, offsets counted from the block start):
//
//   0        magic 0xAA 0x55
//   2        total length of the block in bytes
//   4        number of records R
//   6        10 reserved bytes, zero
//   16       R record offsets
//   16 + 2R  the records in that order, each directly after the previous:
//            event count E, 2 reserved bytes (zero), E events
//
// Total = 16 + 6R + 4 x (sum of all E).
#include <json/value.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velkor {

using DeviceEvent = std::array<std::uint8_t, 4>;

// The device form of one event object. Never fails and never throws, for any
// JSON value:
//   - "down" only when "Action" is exactly the string "down";
//   - the delay as the editor shows it (ReadDelay: decimal text or an
//     integer, limited to 0..65535), so "70000" is sent as 65535;
//   - "Type": its low 8 bits (bit 7 kept for "up" too), then bit 7 for "down";
//   - "Button": the distance of a movement (types 4 and 5) limited to 0..255,
//     anything else its low 8 bits.
// A member that is not a number (string, object, bool, missing) reads as 0;
// reals are cut towards zero; integers beyond 64 bits saturate.
DeviceEvent EncodeEvent(const Json::Value& event) noexcept;

// The events of a JSON array in playing order (a non-array gives none).
std::vector<DeviceEvent> EncodeEvents(const Json::Value& events);

inline constexpr std::uint8_t kEventBlockMagic[2] = {0xAA, 0x55};
inline constexpr std::size_t kEventBlockHeaderSize = 16;
inline constexpr std::size_t kEventRecordHeaderSize = 4;
inline constexpr std::size_t kDeviceEventSize = 4;
// The block's length and counts are 16-bit fields.
inline constexpr std::size_t kMaxEventBlockSize = 0xFFFF;

// Bytes a block of `records` records holding `events` events in all takes.
constexpr std::size_t EventBlockSize(std::size_t records, std::size_t events) {
    return kEventBlockHeaderSize + records * (2 + kEventRecordHeaderSize) + events * kDeviceEventSize;
}

// The block of `records`, record r holding the events of records[r]. Nothing
// when it would not fit its 16-bit length field.
std::optional<std::vector<std::uint8_t>> BuildEventBlock(std::span<const std::vector<DeviceEvent>> records);

} // namespace velkor
