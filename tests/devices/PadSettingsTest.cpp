// The mouse pad's settings record, byte by byte.
#include "devices/PadSettings.h"

#include <gtest/gtest.h>

#include <vector>

namespace velkor::test {
namespace {

DeviceNameLists Modes(std::vector<int32_t> codes) {
    DeviceNameLists modes;
    for (int32_t code : codes) {
        modes.modeNames.push_back("m");
        modes.modeVisible.push_back(1);
        modes.modeCodes.push_back(code);
    }
    return modes;
}

// The pad's nine modes with codes of their own, to tell codes from positions.
const std::vector<int32_t> kPadCodes = {40, 41, 42, 43, 44, 45, 46, 47, 48};

struct ModeByteCase {
    std::vector<int32_t> codes;
    uint8_t selectItem;
    uint8_t byte;
};

class MousePadDeviceModeByte : public ::testing::TestWithParam<ModeByteCase> {};

TEST_P(MousePadDeviceModeByte, IsTheListsCodeAndNeverReadFromPastTheList) {
    const ModeByteCase& c = GetParam();
    EXPECT_EQ(EncodePadRecord({}, c.selectItem, Modes(c.codes)).effectCode, c.byte);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MousePadDeviceModeByte,
    ::testing::Values(ModeByteCase{kPadCodes, 3, 43}, ModeByteCase{kPadCodes, 8, 48},
                      ModeByteCase{kPadCodes, 9, 40},   // no pad mode: position 0's code
                      ModeByteCase{kPadCodes, 255, 40}, //
                      ModeByteCase{{}, 5, 5},           // no mode list (no default_light.json): the position
                      ModeByteCase{{40, 41}, 6, 6},     // a shorter list
                      ModeByteCase{{}, 12, 0},          //
                      ModeByteCase{{40, 300, 42}, 1, 1} // a code that is no byte
                      ));

TEST(MousePadDeviceRecord, WritesTheImageWithTheFlippedSpeedAndKeepsThePadsBytes) {
    PadSettingsImage image;
    image.activeProfile = 2;
    image.mode = 7; // the profile's SelectItem decides byte 1, not the image
    image.brightness = 3;
    image.speed = 1;
    image.direction = 1;
    image.colourCycling = 1;
    image.red = 10;
    image.green = 20;
    image.blue = 30;
    for (uint8_t i = 0; i < 12; ++i) {
        image.padOwn[i] = uint8_t(0xA0 + i);
    }
    const PadSettingsRecord::Bytes bytes = EncodePadRecord(image, 4, Modes(kPadCodes)).ToBytes();
    const std::vector<uint8_t> expected = {2,    44,   3,    3,    1,    1,    10,   20,   30,   0xA0,
                                           0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA,
                                           0xAB, 0,    0,    0,    0,    0,    0,    0};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), expected);
    EXPECT_EQ(PadSettingsRecord::kWrittenSize, 21u);
    image.speed = 9; // damaged: no wrap past speed 4
    EXPECT_EQ(EncodePadRecord(image, 4, Modes(kPadCodes)).speedInverse, 0);
}

TEST(MousePadDeviceRecord, ReadsBackIntoTheImageAndWritesTheSameBytesAgain) {
    PadSettingsRecord::Bytes bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = uint8_t(0x60 + i);
    }
    bytes[1] = 42;
    bytes[2] = 4;
    bytes[3] = 1;
    const PadSettingsRecord read = PadSettingsRecord::FromBytes(bytes);
    PadSettingsImage image = DecodePadRecord(read, 2, Modes(kPadCodes));
    EXPECT_EQ(image.activeProfile, 2) << "the profile number read, whatever the record says";
    EXPECT_EQ(image.mode, 2);
    EXPECT_EQ(image.speed, 3);
    EXPECT_EQ(image.direction, 0x64);
    EXPECT_EQ(image.padOwn[0], 0x69);
    EXPECT_EQ(image.padOwn[11], 0x74);
    EXPECT_EQ(DecodePadRecord(read, 2, Modes({})).mode, 42) << "an unknown code stays raw";

    // Unchanged, it goes back as read: the speed byte 1 as 1, bytes 21..27 not at all.
    const PadSettingsRecord written = EncodePadRecord(image, image.mode, Modes(kPadCodes));
    const PadSettingsRecord::Bytes out = written.ToBytes();
    std::vector<uint8_t> expected(bytes.begin(), bytes.begin() + 21);
    expected[0] = 2;
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 21), expected);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 21, out.end()), std::vector<uint8_t>(7, 0));
}

} // namespace
} // namespace velkor::test
