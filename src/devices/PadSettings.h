#pragma once
// The mouse pad's settings record in its parameter memory, the pad's view of
// it (the settings image), and the rules that turn one into the other.
//
// Parameter memory: byte 0 holds the active profile number p; profile p's
// record is read at p x 28 (28 bytes). The host writes the first 21 bytes at
// slot x 64 and only ever slot 0, whose record starts at byte 0 either way;
// where the pad keeps the records of other slots is not known.
//
// Pure functions: no transport, no locks. Nothing a damaged profile or a
// confused pad says yields a speed outside 0..4 or a mode byte read from
// past the end of the mode list.
#include "devices/DeviceNameLists.h"
#include "profiles/ProfileRecords.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velkor {

#pragma pack(push, 1)

// One profile record as the pad stores it (wire format).
struct PadSettingsRecord {
    uint8_t activeProfile = 0; // 0: the active profile number (record 0 starts the memory)
    uint8_t effectCode = 0;    // 1: the pad's own effect code
    uint8_t brightness = 0;    // 2: Light
    uint8_t speedInverse = 0;  // 3: 4 - Speed
    uint8_t direction = 0;     // 4: the pad's; the host never changes it
    uint8_t colourCycling = 0; // 5: MultiColor
    uint8_t red = 0;           // 6
    uint8_t green = 0;         // 7
    uint8_t blue = 0;          // 8
    uint8_t padOwn[12] = {};   // 9..20: the pad's own, written back as read
    uint8_t readOnly[7] = {};  // 21..27: read and dropped, never written

    static constexpr size_t kSize = 28;
    static constexpr size_t kWrittenSize = 21;
    using Bytes = std::array<uint8_t, kSize>;

    static PadSettingsRecord FromBytes(std::span<const uint8_t, kSize> bytes);
    Bytes ToBytes() const;
    bool operator==(const PadSettingsRecord&) const = default;
};
static_assert(sizeof(PadSettingsRecord) == PadSettingsRecord::kSize);
static_assert(offsetof(PadSettingsRecord, padOwn) == 9 && offsetof(PadSettingsRecord, readOnly) == 21);

#pragma pack(pop)

// The pad's view of bytes 0..20: the lighting fields as the profile or the
// pad last gave them, the other bytes as the pad last reported them.
struct PadSettingsImage {
    uint8_t activeProfile = 0;
    uint8_t mode = 0; // mode number (position in the mode list)
    uint8_t brightness = 0;
    uint8_t speed = 0; // 0..4 as read; the profile's as given
    uint8_t direction = 0;
    uint8_t colourCycling = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    std::array<uint8_t, 12> padOwn{};

    bool operator==(const PadSettingsImage&) const = default;
};

inline constexpr uint16_t kPadActiveProfileOffset = 0;
// Selected modes at or beyond this are no mode of the pad; position 0 is sent.
inline constexpr int kPadModeLimit = 9;

// Where profile p's record is read; nullopt when p x 28 leaves a 16-bit offset.
std::optional<uint16_t> PadReadOffset(int profile);
// Where slot s's record is written; nullopt for every slot but 0 (the
// firmware's layout for other slots is unknown, so none is written).
std::optional<uint16_t> PadWriteOffset(int slot);

// Reads a record back: byte 0 becomes `activeProfile`, the effect code its
// position in the mode list (the raw code when none has it), the speed byte
// s the speed 4 - s; bytes 21..27 are dropped.
PadSettingsImage DecodePadRecord(const PadSettingsRecord& read, uint8_t activeProfile,
                                 const DeviceNameLists& modes);

// The 21 bytes to write: the image, with byte 1 the mode list's code of
// `selectItem` (position 0 when it is kPadModeLimit or more; the position
// itself when the list has no byte-sized code there) and byte 3 4 - speed.
// Bytes 21..27 stay zero and are not sent.
PadSettingsRecord EncodePadRecord(const PadSettingsImage& image, uint8_t selectItem,
                                  const DeviceNameLists& modes);

// The profile's lighting fields (SelectItem, Light, Speed, MultiColor, Red,
// Green, Blue) into the image; the direction and the pad's bytes stay.
void TakeProfileLighting(PadSettingsImage& image, const LightInfoRecord& light);

// The bytes the pad keeps for itself (0, 4 and 9..20) from `fromPad`; the
// lighting fields of `image` stay.
void TakePadOwnBytes(PadSettingsImage& image, const PadSettingsImage& fromPad);

} // namespace velkor
