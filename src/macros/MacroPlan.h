#pragma once
// What a keyboard or mouse is to be given so that its macro keys play their
// macros: built from one snapshot of the key list, the device's key table and
// the macro library, reading "macro.config" and each used ".mac" file once.
//
// The used-macro list holds each macro that a visited key plays, once, in the
// order in which the keys first use it; its position j is the record number
// in the event block and the number every key playing it carries in the key
// table sent. Because the list, the block and both key tables come from the
// same reading, record j and key-table number j always match.
//
// Two key-table images come with it:
//   - final: every macro key renumbered; a key whose macro no longer exists
//     gets its default function;
//   - guard: every macro key with its default function.
// In both, no position names a record that the plan did not build for it: a
// macro function left in the device's table, or a default that plays a
// macro, is sent as 00 00 00. A device written guard table, block, final
// table in that order therefore never plays a record that is not whole.
//
// Pure apart from reading the files; any thread.
#include "keys/KeyFunction.h"
#include "macros/EventBlock.h"
#include "platform/JsonFileHelper.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velkor {

// A device's key table as sent: three bytes per key position, at most 170
// positions, zeros past the last.
inline constexpr std::size_t kKeyTableImageSize = 512;
using KeyTableImage = std::array<std::uint8_t, kKeyTableImageSize>;

// The macro memory holds information byte 6 x this many bytes.
inline constexpr std::size_t kMacroSlotBytes = 128;

struct MacroPlanInput {
    // The key list (entry i belongs to key number i); a shorter list leaves
    // the keys past its end as the device has them.
    std::vector<KeyListEntry> keys;
    // The key numbers the device visits, in ascending order, with the key
    // position of each (noPosition: the key is not on this device).
    std::vector<std::pair<int, std::uint8_t>> visited;
    std::uint8_t noPosition = 255;
    // N, the device's number of key positions (information byte 5).
    int keyPositions = 0;
    // The device's key table as last read; the base of both images.
    KeyTableImage deviceTable{};
    // The device's user data folder (holds "macro.config" and the ".mac" files).
    std::string macroFolder;
    // Bytes of macro memory (information byte 6 x kMacroSlotBytes).
    std::size_t capacity = 0;
};

enum class MacroPlanStatus {
    Ready,       // block (when any key plays a macro) and both tables are built
    TooLarge,    // the block exceeds the macro memory: nothing is to be sent
    BadKeyTable, // N is 0 or N x 3 exceeds the key table: nothing is to be sent
};

struct MacroMemoryUse {
    std::size_t needed = 0;   // bytes the block takes (0 when no key plays a macro)
    std::size_t capacity = 0; // bytes of macro memory
};

struct MacroPlan {
    MacroPlanStatus status = MacroPlanStatus::Ready;
    // Both tables are built unless the status is BadKeyTable.
    // Entries of "MacroInfo" (0 when "macro.config" is missing or damaged).
    std::size_t macroCount = 0;
    std::vector<int> usedMacros;
    // The event block; empty when no key plays a macro or when refused.
    std::vector<std::uint8_t> block;
    MacroMemoryUse memory;
    // TooLarge: the events to take off the keys' macros, ceil(excess / 4).
    std::size_t eventsToRemove = 0;
    KeyTableImage finalTable{};
    KeyTableImage guardTable{};
};

// The used-macro list only (reads "macro.config" alone).
std::vector<int> ListUsedMacros(const MacroPlanInput& input, const CJsonFileHelper& json);

// The whole plan.
MacroPlan BuildMacroPlan(const MacroPlanInput& input, const CJsonFileHelper& json);

// What the final table gives each key of `keys` when every key is on the
// device: macro keys renumbered in key order, a key whose macro index is at
// or above `macroCount` its default; no key names a record otherwise
// (00 00 00). Lets a layout read find a key at the function last sent to it.
std::vector<KeyFunction> SentKeyFunctions(const std::vector<KeyListEntry>& keys, std::size_t macroCount);

// The block of an explicit list of macro indexes against `capacity`: status
// Ready with the block (empty for an empty list), or TooLarge with the count.
// The tables of the result are not filled.
MacroPlan BuildMacroBlock(const std::string& macroFolder, const std::vector<int>& macros,
                          std::size_t capacity, const CJsonFileHelper& json);

} // namespace velkor
