#pragma once
// The key table: 142 named keys with their virtual-key codes and functions.
//
// It turns a pressed key (Set-1 scan code and extended flag) into a function
// and a function into a key name; key capture, macro recording, the macro
// editor, the key assignment panel and the key pictures share it. Row order
// is fixed: rows 0..7 are the modifiers, 8..113 the keyboard keys, 114..131
// media keys, 132..134 system keys, 135..139 the M keys, 140..141 FN and GM.
// Every lookup scans from the first row and returns the first match.
#include "keys/ChoiceTables.h"
#include "keys/KeyFunction.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace velkor {

// A key as the keyboard reports it: Set-1 make code and the E0 (extended) prefix.
struct ScanCode {
    std::uint8_t code = 0;
    bool extended = false;

    friend constexpr bool operator==(const ScanCode&, const ScanCode&) = default;
};

struct KeyTableRow {
    std::string_view nameKey;     // language resource key of the key's name
    KeyFunction function;         // its code is the row's virtual-key code
    std::optional<ScanCode> scan; // present exactly for the recognisable rows 0..112
};

constexpr std::size_t kKeyTableSize = 142;
constexpr std::size_t kModifierRowCount = 8;     // rows 0..7
constexpr std::size_t kRecognisedRowCount = 113; // rows 0..112 carry a scan code
constexpr std::size_t kFirstPlainKeyRow = 8;

// All rows, in table order.
std::span<const KeyTableRow> KeyTable();

// A pressed key: the first of rows 0..112 with this scan code and extended
// flag, or kKeyNotFound.
int FindKeyByScanCode(ScanCode scan);
// A keyboard key without modifier: the first row of category 0x20 with A = 0
// and B = usage, or kKeyNotFound.
int FindKeyByUsage(std::uint8_t usage);
// A modifier: the first of rows 0..7 whose A is this bit (category 0x20,
// B = 0), or kKeyNotFound. Combined masks match nothing.
int FindKeyByModifier(std::uint8_t modifierBit);
// The first row with the same function (bytes 2..4), or kKeyNotFound.
int FindKeyByFunction(const KeyFunction& function);
// The first row with this virtual-key code, or kKeyNotFound. Several rows share
// a code (0xFF, 0xBF and 0 among them); the first one wins.
int FindKeyByVirtualKey(std::uint16_t virtualKey);
// The row with this name key (names are unique), or kKeyNotFound.
int FindKeyByName(std::string_view nameKey);

// The row at `index`, or nothing when the index is outside the table (so a
// kKeyNotFound result can be passed straight in).
const KeyTableRow* KeyRowAt(int index);

} // namespace velkor
