#pragma once
// How the simulated firmware reads its macro and recoil memory and plays a
// macro key or a gun key. Written from the block format alone, not from the program's
// encoder, so that a round trip through the simulator catches a fault on
// either side.
//
// A block is taken as whole only when every check holds: magic AA 55, a
// total that fits the memory and equals what the records take, a first
// record right after the offset table, each record directly after the
// previous one, and every count inside the total. Anything else reads as
// damaged, and a damaged block plays nothing. Reads never leave the memory.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velkor::sim {

// One played event: delay low, delay high, kind with bit 7 for "down", button.
using SimEvent = std::array<uint8_t, 4>;
using SimRecord = std::vector<SimEvent>;

// The records of the block at the start of `memory`; nothing when damaged.
std::optional<std::vector<SimRecord>> ReadSimEventBlock(std::span<const uint8_t> memory);

// What key position `position` plays: with 0x70 A B the record A once, with
// 0x71 A B the record A B times; nothing for other functions, a record the
// block does not have, a damaged block or a position outside the table.
std::vector<SimEvent> SimPlayKey(std::span<const uint8_t> keyTable, std::span<const uint8_t> macroMemory,
                                 size_t position);

// What a gun key plays: with 0x72 A at `position`, record A of the recoil
// memory (this firmware's choice: gun key A is gun A's pattern); nothing for
// other functions, a record the block does not have or a damaged block.
std::vector<SimEvent> SimPlayGunKey(std::span<const uint8_t> keyTable, std::span<const uint8_t> recoilMemory,
                                    size_t position);

} // namespace velkor::sim
