// The device form of macros: the four bytes of an event for every JSON shape
// a hand-edited file can hold, the block layout, and the plan that numbers
// the keys' macros and builds the block and the two key tables.
#include "MacroTestSupport.h"
#include "macros/EventBlock.h"
#include "macros/MacroFiles.h"
#include "macros/MacroPlan.h"

namespace velkor::test {
namespace {

struct EncodeCase {
    const char* json;
    DeviceEvent bytes;
};

class EncodeEventTable : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeEventTable, GivesTheDeviceBytesAndNeverThrows) {
    const Json::Value event = ParseText(GetParam().json);
    EXPECT_EQ(EncodeEvent(event), GetParam().bytes) << GetParam().json;
}

INSTANTIATE_TEST_SUITE_P(
    Events, EncodeEventTable,
    ::testing::Values(
        EncodeCase{R"({"Action":"down","Type":10,"Button":4,"Delay":"120"})", {0x78, 0x00, 0x8A, 0x04}},
        EncodeCase{R"({"Action":"up","Type":10,"Button":4,"Delay":"300"})", {0x2C, 0x01, 0x0A, 0x04}},
        EncodeCase{R"({"Action":"down","Type":1,"Button":1,"Delay":"0"})", {0x00, 0x00, 0x81, 0x01}},
        // Saturated as the editor shows it, not wrapped to 4464 ms.
        EncodeCase{R"({"Action":"up","Type":10,"Button":4,"Delay":"70000"})", {0xFF, 0xFF, 0x0A, 0x04}},
        EncodeCase{R"({"Action":"up","Type":10,"Button":4,"Delay":"12ab"})", {12, 0, 0x0A, 0x04}},
        EncodeCase{R"({"Action":"up","Type":10,"Button":4,"Delay":250})", {250, 0, 0x0A, 0x04}},
        EncodeCase{R"({"Action":"up","Type":10,"Button":4,"Delay":-4})", {0, 0, 0x0A, 0x04}},
        // A movement is a distance: saturated, never cut to its low byte.
        EncodeCase{R"({"Action":"down","Type":4,"Button":300,"Delay":"1"})", {1, 0, 0x84, 0xFF}},
        EncodeCase{R"({"Action":"up","Type":5,"Button":-7,"Delay":"1"})", {1, 0, 0x05, 0x00}},
        // Other buttons and types keep their low 8 bits; bit 7 of "Type" stays for "up".
        EncodeCase{R"({"Action":"up","Type":10,"Button":260,"Delay":"1"})", {1, 0, 0x0A, 0x04}},
        EncodeCase{R"({"Action":"up","Type":138,"Button":4,"Delay":"1"})", {1, 0, 0x8A, 0x04}},
        EncodeCase{R"({"Action":"Down","Type":10,"Button":4,"Delay":"1"})", {1, 0, 0x0A, 0x04}},
        // What makes jsoncpp's own conversions throw reads as 0.
        EncodeCase{R"({"Action":"down","Type":"10","Button":{"x":1},"Delay":[1]})", {0, 0, 0x80, 0x00}},
        EncodeCase{R"({"Action":true,"Type":1e300,"Button":18446744073709551615,"Delay":1e30})",
                   {0, 0, 0xFF, 0xFF}},
        EncodeCase{R"({"Action":"down","Type":10.7,"Button":true,"Delay":null})", {0, 0, 0x8A, 0x00}},
        EncodeCase{R"("not an object")", {0, 0, 0, 0}}, EncodeCase{R"([1,2,3])", {0, 0, 0, 0}}));

TEST(EventBlock, OneMacroOfTwoEventsIsThirtyBytesWithZeroReservedBytes) {
    const std::vector<std::vector<DeviceEvent>> records = {{{1, 2, 3, 4}, {5, 6, 7, 8}}};
    const auto block = BuildEventBlock(records);
    ASSERT_TRUE(block);
    const std::vector<uint8_t> expected = {0xAA, 0x55, 30, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                           0,    18,   0,  2, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(*block, expected);
}

TEST(EventBlock, RecordsOfThreeAndNoEventsMakeFortyBytes) {
    const std::vector<std::vector<DeviceEvent>> records = {{{1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}}, {}};
    const auto block = BuildEventBlock(records);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 40u);
    EXPECT_EQ((*block)[2], 40);
    EXPECT_EQ((*block)[16], 20) << "record 0 after the offset table";
    EXPECT_EQ((*block)[18], 36) << "record 1 after 4 + 12 bytes";
    EXPECT_EQ((*block)[36], 0);
    EXPECT_FALSE(BuildEventBlock(std::vector<std::vector<DeviceEvent>>{std::vector<DeviceEvent>(16380)}))
        << "beyond the 16-bit total";
}

// A macro library in a scratch folder and a snapshot of a device's keys.
class MacroPlanTest : public ::testing::Test {
protected:
    // Macro i has Guid "g<i>" and `sizes[i]` key events.
    void MakeLibrary(const std::vector<size_t>& sizes) {
        Json::Value index;
        index["MacroInfo"] = Json::Value(Json::arrayValue);
        for (size_t i = 0; i < sizes.size(); ++i) {
            Json::Value entry;
            entry["MacroName"] = "m" + std::to_string(i);
            entry["Guid"] = "g" + std::to_string(i);
            index["MacroInfo"].append(entry);
            Json::Value events(Json::arrayValue);
            for (size_t e = 0; e < sizes[i]; ++e) {
                events.append(Event(e % 2 ? "up" : "down", 10, int(4 + i), std::to_string(e).c_str()));
            }
            WriteMacro("g" + std::to_string(i), events);
        }
        WriteJson(m_folder.File("macro.config"), index);
    }
    void WriteMacro(const std::string& guid, const Json::Value& events) {
        WriteJson(m_folder.File(guid + ".mac"), MakeMacroDocument(guid, guid, events));
    }
    // `count` keys on positions 0..count-1 with their factory functions 20 00 (4 + k).
    MacroPlanInput Keys(size_t count, int positions = 126) {
        MacroPlanInput input;
        for (size_t k = 0; k < count; ++k) {
            const KeyFunction factory = KeyFunction::FromTriple(0x20, 0, uint8_t(4 + k));
            input.keys.push_back({factory, factory});
            input.visited.emplace_back(int(k), uint8_t(k));
            WriteDeviceKey(input.deviceTable, k, factory);
        }
        input.keyPositions = positions;
        input.macroFolder = m_folder.Path();
        input.capacity = 20 * kMacroSlotBytes;
        return input;
    }
    static std::array<uint8_t, 3> At(const KeyTableImage& table, size_t position) {
        return {table[position * 3], table[position * 3 + 1], table[position * 3 + 2]};
    }

    TempFolder m_folder;
    CJsonFileHelper m_json;
};

TEST_F(MacroPlanTest, KeysNumberTheirMacrosInFirstUseOrderAndRecordJIsNumberJ) {
    MakeLibrary({1, 2, 0, 3});
    MacroPlanInput input = Keys(20);
    input.keys[5].current = *MakeMacro(3, 2);
    input.keys[9].current = *MakeMacroRepeat(1, 7);
    input.keys[12].current = *MakeMacro(3, 0);
    input.keys[14].current = *MakeMacro(4, 0); // index = count: that macro does not exist
    const MacroPlan plan = BuildMacroPlan(input, m_json);
    ASSERT_EQ(plan.status, MacroPlanStatus::Ready);
    EXPECT_EQ(plan.usedMacros, (std::vector<int>{3, 1}));
    EXPECT_EQ(ListUsedMacros(input, m_json), plan.usedMacros);
    EXPECT_EQ(At(plan.finalTable, 5), (std::array<uint8_t, 3>{0x70, 0, 2}));
    EXPECT_EQ(At(plan.finalTable, 9), (std::array<uint8_t, 3>{0x71, 1, 7}));
    EXPECT_EQ(At(plan.finalTable, 12), (std::array<uint8_t, 3>{0x70, 0, 0}));
    EXPECT_EQ(At(plan.finalTable, 14), (std::array<uint8_t, 3>{0x20, 0, 18})) << "stale index: default";
    for (size_t key : {5, 9, 12, 14}) {
        EXPECT_EQ(At(plan.guardTable, key), (std::array<uint8_t, 3>{0x20, 0, uint8_t(4 + key)}));
    }
    EXPECT_EQ(plan.memory.needed, EventBlockSize(2, 3 + 2));
    ASSERT_EQ(plan.block.size(), plan.memory.needed);
    EXPECT_EQ(plan.block[16], 20) << "record 0 (macro 3) first";
    EXPECT_EQ(plan.block[20], 3) << "macro 3 holds three events";
    EXPECT_EQ(plan.block[36], 2) << "record 1: macro 1, two events";
}

TEST_F(MacroPlanTest, KeysOffTheDeviceOrPastTheListAddNothingAndStaleMacroFunctionsAreCleared) {
    MakeLibrary({2, 2});
    MacroPlanInput input = Keys(6, 5);
    input.keys[1].current = *MakeMacro(1, 0);
    input.visited[1].second = input.noPosition; // not on this device
    input.keys[2].current = *MakeMacro(0, 0);
    input.keys[2].defaultFunction = *MakeMacro(1, 0); // a default never names a record
    input.keys[5].current = *MakeMacro(1, 0);         // position 5 is past N = 5
    input.keys.resize(4);                             // and key 4 has no entry
    input.visited.emplace_back(9, 40);                // nor has key 9
    WriteDeviceKey(input.deviceTable, 3, *MakeMacro(7, 0));
    input.keys[3].current = input.keys[3].defaultFunction;
    WriteDeviceKey(input.deviceTable, 4, *MakeMacroRepeat(1, 3)); // left from an earlier block
    WriteDeviceKey(input.deviceTable, 5, *MakeMacro(1, 1));       // past N: not sent at all
    const MacroPlan plan = BuildMacroPlan(input, m_json);
    ASSERT_EQ(plan.status, MacroPlanStatus::Ready);
    EXPECT_EQ(plan.usedMacros, std::vector<int>{0});
    EXPECT_EQ(At(plan.finalTable, 2), (std::array<uint8_t, 3>{0x70, 0, 0}));
    EXPECT_EQ(At(plan.guardTable, 2), (std::array<uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(At(plan.finalTable, 4), (std::array<uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(At(plan.guardTable, 4), (std::array<uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(At(plan.finalTable, 3), (std::array<uint8_t, 3>{0x20, 0, 7}));
    EXPECT_EQ(At(plan.finalTable, 0), (std::array<uint8_t, 3>{0x20, 0, 4}));
    EXPECT_EQ(At(plan.finalTable, 5), (std::array<uint8_t, 3>{0, 0, 0})) << "the image is zero past N";
}

TEST_F(MacroPlanTest, WithoutMacroKeysNothingIsReadBeyondTheIndexAndBothTablesAgree) {
    MacroPlanInput input = Keys(8);
    MacroPlan plan = BuildMacroPlan(input, m_json); // no library at all
    EXPECT_EQ(plan.status, MacroPlanStatus::Ready);
    EXPECT_TRUE(plan.usedMacros.empty());
    EXPECT_TRUE(plan.block.empty());
    EXPECT_EQ(plan.memory.needed, 0u);
    EXPECT_EQ(plan.finalTable, plan.guardTable);
    EXPECT_EQ(plan.finalTable, input.deviceTable);
    input.keys[0].current = *MakeMacro(0, 0);
    EXPECT_TRUE(BuildMacroPlan(input, m_json).usedMacros.empty()) << "no index: every macro is stale";
}

TEST_F(MacroPlanTest, ABlockBeyondTheMemoryIsRefusedWithTheExactEventsToRemove) {
    MakeLibrary({34, 34, 4000});
    MacroPlanInput input = Keys(4);
    input.keys[0].current = *MakeMacro(0, 0);
    input.keys[1].current = *MakeMacro(1, 0);
    input.capacity = 2 * kMacroSlotBytes; // 256 bytes for a 300-byte block
    MacroPlan plan = BuildMacroPlan(input, m_json);
    EXPECT_EQ(plan.status, MacroPlanStatus::TooLarge);
    EXPECT_EQ(plan.memory.needed, 300u);
    EXPECT_EQ(plan.eventsToRemove, 11u) << "44 bytes over: 11 events, not 12";
    EXPECT_TRUE(plan.block.empty());

    input.keys[1].current = input.keys[1].defaultFunction;
    input.keys[2].current = *MakeMacro(2, 0);
    input.capacity = 20 * kMacroSlotBytes;
    plan = BuildMacroPlan(input, m_json);
    EXPECT_EQ(plan.status, MacroPlanStatus::TooLarge);
    EXPECT_EQ(plan.memory.needed, EventBlockSize(2, 4034));
    EXPECT_EQ(plan.eventsToRemove, (EventBlockSize(2, 4034) - 2560 + 3) / 4);
    EXPECT_EQ(BuildMacroBlock(m_folder.Path(), {0, 1}, 300, m_json).block.size(), 300u)
        << "exactly full fits";
}

TEST_F(MacroPlanTest, KeyTablesThatDoNotFitAreRefused) {
    MakeLibrary({1});
    for (int positions : {0, 171, 255}) {
        MacroPlanInput input = Keys(4, positions);
        input.keys[0].current = *MakeMacro(0, 0);
        EXPECT_EQ(BuildMacroPlan(input, m_json).status, MacroPlanStatus::BadKeyTable) << positions;
    }
    EXPECT_EQ(BuildMacroPlan(Keys(4, 170), m_json).status, MacroPlanStatus::Ready);
}

TEST_F(MacroPlanTest, DamagedMacroFilesGiveEmptyRecordsOrTheirReadableEvents) {
    MakeLibrary({0, 0, 0});
    WriteBytes(m_folder.File("g0.mac"), "{ not json");
    Json::Value odd(Json::arrayValue);
    odd.append(ParseText(R"({"Action":"down","Type":"10","Button":4,"Delay":"5"})"));
    odd.append(Json::Value("an event?"));
    WriteMacro("g1", odd);
    Json::Value index = ReadJson(m_folder.File("macro.config"));
    index["MacroInfo"][2]["Guid"] = "../escape";
    WriteJson(m_folder.File("macro.config"), index);
    MacroPlanInput input = Keys(3);
    for (int k = 0; k < 3; ++k) {
        input.keys[size_t(k)].current = *MakeMacro(k, 0);
    }
    const MacroPlan plan = BuildMacroPlan(input, m_json);
    ASSERT_EQ(plan.status, MacroPlanStatus::Ready);
    const std::vector<uint8_t> expected = {0xAA, 0x55, 42, 0, 3,  0, 0,    0, 0,      0, 0, 0,
                                           0,    0,    0,  0, 22, 0, 26,   0, 42 - 4, 0, // header, offsets
                                           0,    0,    0,  0,                            // g0: damaged
                                           2,    0,    0,  0, 5,  0, 0x80, 4, 0,      0, 0, 0, // g1: 2 events
                                           0,    0,    0,  0};                                 // unsafe Guid
    EXPECT_EQ(plan.block, expected);
}

} // namespace
} // namespace velkor::test
