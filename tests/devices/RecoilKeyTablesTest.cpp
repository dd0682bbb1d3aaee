// The key tables written around a recoil block: in the guard no position
// names a gun key, in the final table every button the profile gives a gun
// key has it, and nothing else differs from the table read.
#include "devices/RecoilUpload.h"

#include <gtest/gtest.h>

#include <map>

namespace velkor {
namespace {

using Triple = std::array<uint8_t, 3>;
using Positions = std::map<size_t, Triple>;

constexpr Triple kForward{0x10, 0x10, 0x00};
constexpr Triple kGun1{0x72, 0x01, 0x00};
constexpr Triple kGun2{0x72, 0x02, 0x00};
constexpr Triple kMacro{0x70, 0x01, 0x00};
constexpr Triple kNone{0x00, 0x00, 0x00};

KeyFunction Of(const Triple& t) {
    return KeyFunction::FromTriple(t[0], t[1], t[2]);
}

// A table of eleven positions: position p holds 0x20 0 p, unless given.
KeyTableImage Table(const Positions& given) {
    KeyTableImage table{};
    for (size_t p = 0; p < 12; ++p) {
        const auto at = given.find(p);
        WriteDeviceKey(table, p, Of(at != given.end() ? at->second : Triple{0x20, 0x00, uint8_t(p)}));
    }
    return table;
}

struct TableCase {
    const char* name;
    Positions read;              // what the device holds
    std::vector<RecoilKey> keys; // the buttons
    Positions guard;             // where the guard differs from the table read
    Positions final;             // where the final table differs from it
};

void PrintTo(const TableCase& c, std::ostream* out) {
    *out << c.name;
}

RecoilKey Button(size_t position, const Triple& fallback, std::optional<Triple> gun = std::nullopt) {
    return RecoilKey{position, Of(fallback), gun ? std::optional<KeyFunction>(Of(*gun)) : std::nullopt};
}

class RecoilTables : public ::testing::TestWithParam<TableCase> {};

TEST_P(RecoilTables, GuardAndFinalDifferFromTheTableReadOnlyAtGunKeys) {
    const TableCase& c = GetParam();
    const KeyTableImage read = Table(c.read);
    const RecoilKeyTables tables = BuildRecoilKeyTables(read, 11, c.keys);
    Positions guard = c.read;
    for (const auto& [position, triple] : c.guard) {
        guard[position] = triple;
    }
    Positions final = c.read;
    for (const auto& [position, triple] : c.final) {
        final[position] = triple;
    }
    EXPECT_EQ(tables.guard, Table(guard));
    EXPECT_EQ(tables.final, Table(final));
}

INSTANTIATE_TEST_SUITE_P(
    Tables, RecoilTables,
    ::testing::Values(
        TableCase{"no_gun_key", {{3, kForward}}, {Button(3, kForward)}, {}, {}},
        TableCase{"a_buttons_gun_key_goes_to_its_default_and_back",
                  {{3, kGun1}},
                  {Button(3, kForward, kGun1)},
                  {{3, kForward}},
                  {}},
        TableCase{"a_gun_key_of_no_button_goes_to_no_function", {{7, kGun2}}, {}, {{7, kNone}}, {}},
        TableCase{"a_gun_key_the_device_lost_comes_back",
                  {{3, kForward}},
                  {Button(3, kForward, kGun1)},
                  {},
                  {{3, kGun1}}},
        TableCase{"a_default_that_is_a_gun_key_or_a_macro_is_no_function",
                  {{2, kGun1}, {4, kGun2}},
                  {Button(2, kGun2), Button(4, kMacro)},
                  {{2, kNone}, {4, kNone}},
                  {}},
        // Position 11 lies beyond the eleven positions of the table.
        TableCase{
            "beyond_the_positions_nothing_changes", {{11, kGun1}}, {Button(11, kForward, kGun2)}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velkor
