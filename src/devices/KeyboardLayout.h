#pragma once
// Where the keyboard's on-screen keys sit on the device, and the frames that
// follow from it. Pure functions; the keyboard device calls them around its
// transfers.
//
// The keyboard reports a key list (three bytes of key function per key
// position) and a light map (one light slot per key position). On-screen key
// k is found on the device by matching those three bytes against its
// factory function (KeyIdentity(k)); its light slot is the light map at that
// position. 255 means "not on this keyboard" for both.
#include "keys/KeyFunction.h"
#include "keys/KeyIdentityTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velkor {

inline constexpr uint8_t kNoPosition = 255;
inline constexpr uint8_t kNoLightSlot = 255;
// Every per-key transfer is at most this long (170 positions of 3 bytes fit).
inline constexpr size_t kKeyTransferBytes = 512;
// Light slots at or beyond this fall outside a 512-byte frame of 3 bytes per slot.
inline constexpr int kLightSlotLimit = 170;

using KeyTransferBuffer = std::array<uint8_t, kKeyTransferBytes>;

struct KeyboardKeyMaps {
    std::array<uint8_t, kScreenKeyCount> position;
    std::array<uint8_t, kScreenKeyCount> lightSlot;

    KeyboardKeyMaps() {
        position.fill(kNoPosition);
        lightSlot.fill(kNoLightSlot);
    }
    bool operator==(const KeyboardKeyMaps&) const = default;
};

// The on-screen layout page a keyboard shows for a user-interface language.
// A board with regional layouts (its model description says so): language
// 3 -> 2, 6 -> 1, 7 -> 3, 8 -> 4, 0..5 otherwise -> 0; a larger (or negative)
// index keeps `current`. Every other keyboard shows page 0.
int KeyboardLayoutPage(bool regionalLayouts, int languageIndex, int current);

// Builds the maps from the device's key list and light map (`positions` key
// positions of 3 bytes, at most 170). Each key takes the first free position
// holding its factory function; a key the device did not answer that way
// then takes the first free position holding `written[k]` (the function last
// written to that key, so a remapped key keeps its place after a replug; an
// empty span skips this). A position serves one key only.
KeyboardKeyMaps BuildKeyboardKeyMaps(std::span<const uint8_t> keyList, std::span<const uint8_t> lightMap,
                                     int positions, std::span<const KeyFunction> written);

// The key table to write: a copy of the device's key list (positions no key
// maps to keep what the device has) with each mapped key's function at its
// position. `functions[k]` is key k's function; keys beyond the span keep the
// device's bytes.
KeyTransferBuffer ComposeKeyTable(std::span<const uint8_t> deviceKeyList, const KeyboardKeyMaps& maps,
                                  int positions, std::span<const KeyFunction> functions);

// How a colour frame places and scales the keys.
enum class ColourFrameRule {
    // The keys' colours as they are; key 95 (right Shift) always at slot 97,
    // where the board wires its LED.
    CustomGroup,
    // Each channel scaled by the key's level, every key at its mapped slot.
    Scaled,
    // The keys' colours as they are, every key at its mapped slot (Direct colours).
    Exact,
};

// Fills a zeroed frame with 3 bytes per light slot from the LED buffer (byte
// 0 red, 1 green, 2 blue, 3 level per key). Keys without a slot or with a
// slot of 170 or more are left out, so no slot can write past the frame.
void FillColourFrame(KeyTransferBuffer& frame, std::span<const uint32_t> leds, const KeyboardKeyMaps& maps,
                     ColourFrameRule rule);

} // namespace velkor
