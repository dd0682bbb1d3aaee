#include "keys/KeyIdentityTable.h"

#include <array>
#include <cstdint>
#include <iterator>

namespace velkor {
namespace {

// Keys 0..125 as 0xTTMMUU: category, modifier mask, usage; every key from 126
// on has no key behind it. Keys 16 (GM), 17 and 110 (FN) are category 0xA0
// keys, 120..124 the M1..M5 keys (D0 A2 01..05).
constexpr std::uint32_t kRows[] = {
    0x200029, 0x20003A, 0x20003B, 0x20003C, 0x20003D, 0x20003E, 0x20003F, 0x200040, 0x200041, // 0
    0x200042, 0x200043, 0x200044, 0x200045, 0x200046, 0x200047, 0x200048, 0xA01B00, 0xA02400, // 9
    0x200000, 0x200000, 0x200000, 0x200035, 0x20001E, 0x20001F, 0x200020, 0x200021, 0x200022, // 18
    0x200023, 0x200024, 0x200025, 0x200026, 0x200027, 0x20002D, 0x20002E, 0x20002A, 0x200049, // 27
    0x20004A, 0x20004B, 0x200053, 0x200054, 0x200055, 0x200056, 0x20002B, 0x200014, 0x20001A, // 36
    0x200008, 0x200015, 0x200017, 0x20001C, 0x200018, 0x20000C, 0x200012, 0x200013, 0x20002F, // 45
    0x200030, 0x200031, 0x20004C, 0x20004D, 0x20004E, 0x20005F, 0x200060, 0x200061, 0x200032, // 54
    0x200039, 0x200004, 0x200016, 0x200007, 0x200009, 0x20000A, 0x20000B, 0x20000D, 0x20000E, // 63
    0x20000F, 0x200033, 0x200034, 0x200028, 0x20005C, 0x20005D, 0x20005E, 0x20008A, 0x20008B, // 72
    0x200090, 0x200091, 0x200088, 0x200200, 0x20001D, 0x20001B, 0x200006, 0x200019, 0x200005, // 81
    0x200011, 0x200010, 0x200036, 0x200037, 0x200038, 0x202000, 0x200052, 0x200059, 0x20005A, // 90
    0x20005B, 0x200087, 0x200089, 0x200064, 0x200085, 0x200000, 0x200100, 0x200800, 0x200400, // 99
    0x20002C, 0x204000, 0xA00100, 0x200065, 0x201000, 0x200050, 0x200051, 0x20004F, 0x200062, // 108
    0x200063, 0x200058, 0x200057, 0xD0A201, 0xD0A202, 0xD0A203, 0xD0A204, 0xD0A205, 0x208000, // 117
};
// A row lost or doubled while editing would shift every key after it.
static_assert(std::size(kRows) == 126);

constexpr std::array<KeyFunction, kScreenKeyCount> Expand() {
    std::array<KeyFunction, kScreenKeyCount> table{};
    for (std::size_t key = 0; key < table.size(); ++key) {
        if (key >= std::size(kRows)) {
            table[key] = kNoKeyFunction;
            continue;
        }
        const std::uint32_t row = kRows[key];
        table[key] =
            KeyFunction::FromTriple(static_cast<std::uint8_t>(row >> 16), static_cast<std::uint8_t>(row >> 8),
                                    static_cast<std::uint8_t>(row));
    }
    return table;
}

constexpr std::array<KeyFunction, kScreenKeyCount> kKeyIdentityTable = Expand();
static_assert(kKeyIdentityTable.size() == 170);

} // namespace

KeyFunction KeyIdentity(int key) {
    if (key < 0 || static_cast<std::size_t>(key) >= kKeyIdentityTable.size()) {
        return kNoKeyFunction;
    }
    return kKeyIdentityTable[static_cast<std::size_t>(key)];
}

bool IsNoKey(int key) {
    return IsNoKey(KeyIdentity(key));
}

} // namespace velkor
