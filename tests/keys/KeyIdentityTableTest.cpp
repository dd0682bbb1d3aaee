// The on-screen key table against the keyboard's factory functions, and its
// link to the named keys whose captions the keyboard page shows.
#include "keys/KeyIdentityTable.h"
#include "keys/KeyTable.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace velkor {
namespace {

// Keys 0..125 as the keyboard reports them, category modifier usage in hex.
constexpr const char* kFactoryRows = "200029 20003A 20003B 20003C 20003D 20003E 20003F 200040 200041 "  // 0
                                     "200042 200043 200044 200045 200046 200047 200048 A01B00 A02400 "  // 9
                                     "200000 200000 200000 200035 20001E 20001F 200020 200021 200022 "  // 18
                                     "200023 200024 200025 200026 200027 20002D 20002E 20002A 200049 "  // 27
                                     "20004A 20004B 200053 200054 200055 200056 20002B 200014 20001A "  // 36
                                     "200008 200015 200017 20001C 200018 20000C 200012 200013 20002F "  // 45
                                     "200030 200031 20004C 20004D 20004E 20005F 200060 200061 200032 "  // 54
                                     "200039 200004 200016 200007 200009 20000A 20000B 20000D 20000E "  // 63
                                     "20000F 200033 200034 200028 20005C 20005D 20005E 20008A 20008B "  // 72
                                     "200090 200091 200088 200200 20001D 20001B 200006 200019 200005 "  // 81
                                     "200011 200010 200036 200037 200038 202000 200052 200059 20005A "  // 90
                                     "20005B 200087 200089 200064 200085 200000 200100 200800 200400 "  // 99
                                     "20002C 204000 A00100 200065 201000 200050 200051 20004F 200062 "  // 108
                                     "200063 200058 200057 D0A201 D0A202 D0A203 D0A204 D0A205 208000 "; // 117

std::vector<std::uint32_t> ParseRows(const char* text) {
    std::vector<std::uint32_t> rows;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        rows.push_back(static_cast<std::uint32_t>(std::stoul(word, nullptr, 16)));
    }
    return rows;
}

TEST(KeyIdentityTable, RowsAreTheFactoryFunctionsAndEveryOtherNumberIsNoKey) {
    const std::vector<std::uint32_t> rows = ParseRows(kFactoryRows);
    ASSERT_EQ(rows.size(), 126u);
    std::set<int> noKeys{18, 19, 20, 104};
    for (int key = 126; key < 170; ++key) {
        noKeys.insert(key);
    }
    for (int key = 0; key < static_cast<int>(kScreenKeyCount); ++key) {
        const std::uint32_t row = key < 126 ? rows[static_cast<std::size_t>(key)] : 0x200000;
        const auto expected = KeyFunction::FromTriple(row >> 16 & 0xFF, row >> 8 & 0xFF, row & 0xFF);
        EXPECT_EQ(KeyIdentity(key).ToTriple(), expected.ToTriple()) << "key " << key;
        EXPECT_EQ(IsNoKey(key), noKeys.count(key) == 1) << "key " << key;
    }
    for (int key : {-1, 170, INT_MIN, INT_MAX}) {
        EXPECT_TRUE(IsNoKey(key)) << key;
        EXPECT_EQ(KeyIdentity(key).ToTriple(), kNoKeyFunction.ToTriple()) << key;
    }
}

// The page captions a key through the named key with its function. Key 17
// (A0 24 00) is the one category-0xA0 key the key table does not name.
TEST(KeyIdentityTable, EveryKeyButSeventeenFindsItsNamedKey) {
    for (int key = 0; key < static_cast<int>(kScreenKeyCount); ++key) {
        const int row = FindKeyByFunction(KeyIdentity(key));
        if (IsNoKey(key) || key == 17) {
            EXPECT_EQ(row, kKeyNotFound) << "key " << key;
        } else {
            EXPECT_NE(row, kKeyNotFound) << "key " << key;
        }
    }
    const std::vector<std::pair<int, std::string_view>> captions{
        {0, "keyboard_key_Esc"},    {16, "keyboard_key_GM"},    {84, "keyboard_key_LShift"},
        {110, "keyboard_key_FN"},   {120, "keyboard_key_M1"},   {124, "keyboard_key_M5"},
        {125, "keyboard_key_RWin"}, {103, "keyboard_key_K107"}, {62, "keyboard_key_K42"},
    };
    for (const auto& [key, name] : captions) {
        const KeyTableRow* row = KeyRowAt(FindKeyByFunction(KeyIdentity(key)));
        ASSERT_NE(row, nullptr) << "key " << key;
        EXPECT_EQ(row->nameKey, name) << "key " << key;
    }
}

} // namespace
} // namespace velkor
