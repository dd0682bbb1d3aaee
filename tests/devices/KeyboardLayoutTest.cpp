// Where on-screen keys sit on a keyboard, and the colour frames built from it.
#include "devices/KeyboardLayout.h"
#include "devices/LightTables.h"
#include "sim/SimFactory.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

struct PageCase {
    bool regional;
    int language;
    int current;
    int page;
};

class KeyboardLayoutPageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(KeyboardLayoutPageTest, PicksThePage) {
    const PageCase& c = GetParam();
    EXPECT_EQ(KeyboardLayoutPage(c.regional, c.language, c.current), c.page);
}

INSTANTIATE_TEST_SUITE_P(Languages, KeyboardLayoutPageTest,
                         ::testing::Values(PageCase{true, 0, 4, 0}, PageCase{true, 3, 0, 2},
                                           PageCase{true, 5, 3, 0}, PageCase{true, 6, 0, 1},
                                           PageCase{true, 7, 0, 3}, PageCase{true, 8, 0, 4},
                                           PageCase{true, 9, 3, 3}, PageCase{true, -1, 2, 2},
                                           PageCase{false, 7, 3, 0}));

KeyTransferBuffer FactoryList(sim::SimMemory memory) {
    const std::vector<uint8_t> bytes = sim::FactoryMemory(sim::SimModel::Keyboard, memory);
    KeyTransferBuffer buffer{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), buffer.size()), buffer.begin());
    return buffer;
}

TEST(KeyboardKeyMapsTest, MatchesFactoryFunctionsThenWhatWasWritten) {
    KeyTransferBuffer keys = FactoryList(sim::SimMemory::KeyTable);
    const KeyTransferBuffer lights = FactoryList(sim::SimMemory::KeyLightMap);
    const KeyboardKeyMaps factory = BuildKeyboardKeyMaps(keys, std::span(lights).first(126), 126, {});
    EXPECT_EQ(factory.lightSlot[95], 97);
    EXPECT_EQ(factory.position[79], kNoPosition);
    EXPECT_EQ(factory.position[18], kNoPosition) << "an empty row is no key";

    // Escape's function twice: the first position wins.
    const int escape = factory.position[0];
    const int second = factory.position[1];
    WriteDeviceKey(keys, size_t(second), KeyIdentity(0));
    KeyboardKeyMaps twice = BuildKeyboardKeyMaps(keys, std::span(lights).first(126), 126, {});
    EXPECT_EQ(twice.position[0], std::min(escape, second));

    // Caps Lock (63) remapped to a media key is found by what was written to it.
    keys = FactoryList(sim::SimMemory::KeyTable);
    const KeyFunction volumeUp = KeyFunction::FromTriple(0x30, 0xE9, 0x00);
    WriteDeviceKey(keys, factory.position[63], volumeUp);
    std::vector<KeyFunction> written(kScreenKeyCount);
    for (int k = 0; k < int(kScreenKeyCount); ++k) {
        written[size_t(k)] = KeyIdentity(k);
    }
    written[63] = volumeUp;
    EXPECT_EQ(BuildKeyboardKeyMaps(keys, std::span(lights).first(126), 126, {}).position[63], kNoPosition);
    EXPECT_EQ(BuildKeyboardKeyMaps(keys, std::span(lights).first(126), 126, written), factory);

    // Writing the key table puts each key's function at its position and keeps the rest.
    const KeyTransferBuffer table = ComposeKeyTable(keys, factory, 126, written);
    EXPECT_EQ(ReadDeviceKey(table, factory.position[63]), volumeUp);
    EXPECT_EQ(table, keys);
}

TEST(KeyboardColourFrameTest, PlacesScalesAndNeverWritesPastTheFrame) {
    KeyboardKeyMaps maps;
    maps.lightSlot[95] = 10;
    maps.lightSlot[1] = 200; // a damaged light map
    maps.lightSlot[2] = 254;
    maps.lightSlot[3] = 169;
    std::vector<uint32_t> leds(kScreenKeyCount, 0);
    leds[95] = PackLed(200, 100, 50, 128);
    leds[1] = leds[2] = PackLed(255, 255, 255, 255);
    leds[3] = PackLed(1, 2, 3, 255);

    KeyTransferBuffer frame;
    frame.fill(0xEE);
    FillColourFrame(frame, leds, maps, ColourFrameRule::CustomGroup);
    EXPECT_EQ(frame[97 * 3], 200) << "right Shift goes to LED 97 in a custom group";
    EXPECT_EQ(frame[10 * 3], 0);
    EXPECT_EQ(frame[169 * 3 + 2], 3);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0), long(frame.size()) - 6);

    FillColourFrame(frame, leds, maps, ColourFrameRule::Scaled);
    EXPECT_EQ(frame[10 * 3], ScaleChannel(200, 128)) << "scaled by the level, at the mapped slot";
    EXPECT_EQ(frame[97 * 3], 0);
}

} // namespace
} // namespace velkor::test
