#pragma once
// The keyboard's settings record in its parameter memory and the rules that
// turn the keyboard's state (light record, system record, settings image)
// into those 28 bytes and back.
//
// Parameter memory: byte 0 holds the active profile number p; profile p's
// record lies at p x 28 (so record 0 starts with the active profile number).
//
// Everything here is a pure function of its arguments: no transport, no
// locks. The keyboard device calls it around ReadParams / WriteParams and
// keeps the results. A damaged record or profile never yields a value outside
// what the keyboard's own tables accept (speed 0..4, report rate 0..3).
#include "devices/DeviceNameLists.h"
#include "devices/SettingsRecordRules.h"
#include "profiles/ProfileRecords.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velkor {

#pragma pack(push, 1)

// One profile record as the keyboard stores it (wire format).
struct KeyboardSettingsRecord {
    uint8_t activeProfile = 0;  // 0: written as the caller's value; read: active profile number
    uint8_t effectCode = 0;     // 1: the device's effect code; 0xFE = a host-driven effect
    uint8_t brightness = 0;     // 2: Light
    uint8_t speedInverse = 0;   // 3: 4 - Speed
    uint8_t direction = 0;      // 4: Fx
    uint8_t colourCycling = 0;  // 5: MultiColor
    uint8_t red = 0;            // 6
    uint8_t green = 0;          // 7
    uint8_t blue = 0;           // 8
    uint8_t deviceOwnA[7] = {}; // 9-15: the keyboard's own, carried through
    uint8_t cleared = 0;        // 16: always written as 0
    uint8_t eventDetail = 0;    // 17: the keyboard's own; events 0x11xy set it to x
    uint8_t zzccMode = 0;       // 18: ZZCCLedMode
    uint8_t wFlag = 0;          // 19
    uint8_t key6Flag = 0;       // 20
    uint8_t winFlag = 0;        // 21
    uint8_t pollingRate = 0;    // 22: report-rate option 0..3; never read back
    uint8_t deviceOwnB[2] = {}; // 23-24: the keyboard's own, carried through
    uint8_t wheelMode = 0;      // 25
    uint8_t customGroup = 0;    // 26
    uint8_t reserved = 0;       // 27: always written as 0

    static constexpr size_t kSize = 28;
    using Bytes = std::array<uint8_t, kSize>;

    static KeyboardSettingsRecord FromBytes(std::span<const uint8_t, kSize> bytes);
    Bytes ToBytes() const;
    bool operator==(const KeyboardSettingsRecord&) const = default;
};
static_assert(sizeof(KeyboardSettingsRecord) == KeyboardSettingsRecord::kSize);
static_assert(offsetof(KeyboardSettingsRecord, cleared) == 16 &&
              offsetof(KeyboardSettingsRecord, wheelMode) == 25);

#pragma pack(pop)

// The keyboard's view of the record's lighting fields. The light thread
// dispatches on `mode` and paces by `speed`.
struct KeyboardSettingsImage {
    uint8_t activeProfile = 0;
    uint8_t mode = 0; // mode number (position in the mode list)
    uint8_t brightness = 0;
    uint8_t speed = 0; // 0..4
    uint8_t direction = 0;
    uint8_t colourCycling = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t zzccMode = 0;
    uint8_t customGroup = 0;

    bool operator==(const KeyboardSettingsImage&) const = default;
};

inline constexpr uint16_t kActiveProfileOffset = 0;
inline constexpr int kHostDrivenEffectByte = 0xFE;

// Offset of profile p's record in parameter memory; nullopt when p is
// negative or the record would not fit the 16-bit offset of a frame.
std::optional<uint16_t> KeyboardRecordOffset(int profile);

// The record to write. Starts from `last` (the record as last read, which
// supplies bytes 9-15, 17, 23 and 24), then takes the lighting fields from
// `light`, the options from `system` and byte 0 from `byteZero`. Byte 1 is
// the mode list's effect code of light.selectItem, with codes 29 and 30 sent
// as 0xFE; a selectItem without a usable code (outside the list, or a code
// that is no byte) keeps the effect the keyboard already has. Repeat and
// RepeatDelay have no place in the record.
KeyboardSettingsRecord EncodeSettingsRecord(const LightInfoRecord& light, const KeyboardSystemRecord& system,
                                            const DeviceNameLists& modes, const KeyboardSettingsRecord& last,
                                            uint8_t byteZero);

// What reading a record back gives the keyboard.
struct DecodedKeyboardSettings {
    KeyboardSettingsImage image;
    LightInfoRecord light;
    KeyboardSystemRecord system;
    // The record to keep for the next write: byte 0 = the active profile,
    // byte 16 cleared, byte 1 the device's own effect code as read.
    KeyboardSettingsRecord last;
};

// Reads `read` (profile `activeProfile`'s record) back. An effect code is
// turned into its position in the mode list (the raw code when no mode has
// it); 0xFE keeps current.selectItem. Fields the record does not carry
// (Repeat, RepeatDelay, PollingRate, the light record's spare bytes and
// OldLedmode) keep the values of `currentLight` and `currentSystem`.
DecodedKeyboardSettings DecodeSettingsRecord(const KeyboardSettingsRecord& read, uint8_t activeProfile,
                                             const LightInfoRecord& currentLight,
                                             const KeyboardSystemRecord& currentSystem,
                                             const DeviceNameLists& modes);

// A profile change made on the keyboard, from an event code 0x10xy or 0x11xy.
struct ProfileEvent {
    uint8_t activeProfile = 0;         // y
    std::optional<uint8_t> recordByte; // x, for 0x11xy only: the new byte 17

    bool operator==(const ProfileEvent&) const = default;
};

// nullopt for every code that is not 0x10xy or 0x11xy.
std::optional<ProfileEvent> ProfileEventOf(uint16_t code);

// Puts the event into the image and into the record kept for the next write.
void ApplyProfileEvent(const ProfileEvent& event, KeyboardSettingsImage& image, KeyboardSettingsRecord& last);

} // namespace velkor
