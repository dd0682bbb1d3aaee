#pragma once
// Linux input codes for the key table.
//
// A key pressed on Linux arrives as an evdev code (KEY_* of
// <linux/input-event-codes.h>); this module gives it the Set-1 scan code and
// extended flag that the key table recognises, so that every consumer of
// pressed keys (key capture, macro recording) finds the same row for the
// same physical key. Mouse buttons (BTN_*) map to the mouse button bits.
#include "keys/KeyTable.h"

#include <cstdint>
#include <optional>
#include <span>

namespace velkor {

struct EvdevKeyMapping {
    std::uint16_t evdevCode = 0;
    ScanCode scan;
};

// The whole map, one entry per evdev code, ordered by evdev code.
std::span<const EvdevKeyMapping> EvdevKeyMap();

// The scan code of an evdev key code; nothing for codes the key table has no row for.
std::optional<ScanCode> ScanCodeFromEvdev(std::uint16_t evdevCode);
// The key-table row of an evdev key code (rows 0..112), or kKeyNotFound.
int FindKeyByEvdevCode(std::uint16_t evdevCode);
// The evdev code that produces this scan code (the first in the map), or nothing.
std::optional<std::uint16_t> EvdevCodeFromScanCode(ScanCode scan);

// The mouse button bit (kMouseLeft ... kMouseFifth) of an evdev button code;
// nothing for codes that are not one of the five buttons.
std::optional<std::uint8_t> MouseButtonFromEvdev(std::uint16_t evdevCode);

} // namespace velkor
