// The simulated firmware's own reading of its macro memory: a block that
// fails any check plays nothing, and a key plays its record once or B times.
#include "sim/SimMacroMemory.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace velkor::sim {
namespace {

// Two records: {E0}, {E1, E2}; total 16 + 4 + 4 + 4 + 4 + 8 = 40.
std::vector<uint8_t> GoodBlock() {
    return {0xAA, 0x55, 40, 0, 2, 0, 0,    0, 0, 0, 0, 0, 0, 0, 0,    0, 20, 0, 28,   0,
            1,    0,    0,  0, 9, 0, 0x8A, 4, 2, 0, 0, 0, 1, 0, 0x8A, 5, 2,  0, 0x0A, 5};
}

struct Damage {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> apply;
};

class DamagedBlock : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedBlock, ReadsAsDamagedAndPlaysNothing) {
    std::vector<uint8_t> memory = GoodBlock();
    memory.resize(64, 0);
    ASSERT_TRUE(ReadSimEventBlock(memory));
    GetParam().apply(memory);
    EXPECT_FALSE(ReadSimEventBlock(memory)) << GetParam().what;
    const std::vector<uint8_t> keys = {0x70, 0, 0};
    EXPECT_TRUE(SimPlayKey(keys, memory, 0).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Checks, DamagedBlock,
    ::testing::Values(Damage{"magic", [](auto& m) { m[1] = 0x56; }},
                      Damage{"total past the memory", [](auto& m) { m[2] = 65; }},
                      Damage{"total longer than the records", [](auto& m) { m[2] = 44; }},
                      Damage{"total shorter than the records", [](auto& m) { m[2] = 36; }},
                      Damage{"first offset", [](auto& m) { m[16] = 22; }},
                      Damage{"records not back to back", [](auto& m) { m[18] = 32; }},
                      Damage{"count past the total", [](auto& m) { m[28] = 3; }},
                      Damage{"offset table past the total", [](auto& m) { m[4] = 13; }},
                      Damage{"offset table past the memory", [](auto& m) { m[4] = 0xFF, m[5] = 0xFF; }}));

TEST(SimMacroMemory, AKeyPlaysItsRecordOnceOrRepeatedAndNothingBeyondTheBlock) {
    const std::vector<uint8_t> memory = GoodBlock();
    const std::vector<uint8_t> keys = {0x70, 1, 3, 0x71, 1, 3, 0x71, 0, 0, 0x70, 2, 0, 0x20, 0, 4};
    const SimEvent e1 = {1, 0, 0x8A, 5}, e2 = {2, 0, 0x0A, 5};
    EXPECT_EQ(SimPlayKey(keys, memory, 0), (std::vector<SimEvent>{e1, e2}));
    EXPECT_EQ(SimPlayKey(keys, memory, 1), (std::vector<SimEvent>{e1, e2, e1, e2, e1, e2}));
    EXPECT_TRUE(SimPlayKey(keys, memory, 2).empty()) << "repeated 0 times";
    EXPECT_TRUE(SimPlayKey(keys, memory, 3).empty()) << "record 2 does not exist";
    EXPECT_TRUE(SimPlayKey(keys, memory, 4).empty()) << "not a macro key";
    EXPECT_TRUE(SimPlayKey(keys, memory, 5).empty()) << "past the key table";
}

TEST(SimMacroMemory, RandomMemoryIsReadWithoutLeavingIt) {
    std::mt19937 random(2024);
    for (int round = 0; round < 20000; ++round) {
        std::vector<uint8_t> memory(random() % 80);
        for (uint8_t& byte : memory) {
            byte = uint8_t(random() % 6 == 0 ? 0 : random());
        }
        if (memory.size() > 6 && round % 2 == 0) {
            memory[0] = 0xAA, memory[1] = 0x55, memory[2] = uint8_t(memory.size()), memory[3] = 0;
            memory[4] = uint8_t(random() % 4), memory[5] = 0;
        }
        // The sanitizer builds catch a read past the vector; here the records stay inside.
        if (const auto records = ReadSimEventBlock(memory)) {
            size_t bytes = 16;
            for (const SimRecord& record : *records) {
                bytes += 6 + 4 * record.size();
            }
            EXPECT_EQ(bytes, size_t(memory[2] | memory[3] << 8));
        }
    }
}

} // namespace
} // namespace velkor::sim
