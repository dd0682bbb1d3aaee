// The keyboard's 28-byte settings record, checked byte by byte against the
// record layout the keyboard firmware expects.
#include "devices/KeyboardSettings.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

using Bytes = KeyboardSettingsRecord::Bytes;

// Positions and codes differ on purpose: position 1 carries code 30 and
// position 3 code 29, while positions 29 and 30 carry ordinary codes.
DeviceNameLists Modes() {
    DeviceNameLists modes;
    modes.modeCodes = {7, 30, 3, 29, 0x42, 0x1FF};
    for (int i = 6; i <= 30; ++i) {
        modes.modeCodes.push_back(0x80 + i);
    }
    return modes;
}

// The record as last read: byte i holds 0xA0 + i.
Bytes LastRead() {
    Bytes bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = uint8_t(0xA0 + i);
    }
    return bytes;
}

Bytes Encode(const LightInfoRecord& light, const KeyboardSystemRecord& system, const Bytes& last = LastRead(),
             uint8_t byteZero = 0) {
    return EncodeSettingsRecord(light, system, Modes(), KeyboardSettingsRecord::FromBytes(last), byteZero)
        .ToBytes();
}

DecodedKeyboardSettings Decode(const Bytes& bytes, uint8_t profile = 0, const LightInfoRecord& light = {},
                               const KeyboardSystemRecord& system = {}) {
    return DecodeSettingsRecord(KeyboardSettingsRecord::FromBytes(bytes), profile, light, system, Modes());
}

TEST(EncodeSettings, WritesEveryByteOfTheRecord) {
    const LightInfoRecord light{4, 3, 0, 1, 1, 0x11, 0x22, 0x33, {}, 6, 5, 9}; // Speed 0
    KeyboardSystemRecord system{0xEE, 0xEE, 1, 2, 1, 1, 3};
    const Bytes expected{9,    0x42, 3, 4,    1, 1, 0x11, 0x22, 0x33, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD,
                         0xAE, 0xAF, 0, 0xB1, 6, 1, 1,    1,    2,    0xB7, 0xB8, 3,    5,    0};
    EXPECT_EQ(Encode(light, system, LastRead(), 9), expected);
    system.repeat = 0x11;
    system.repeatDelay = 0x22;
    EXPECT_EQ(Encode(light, system, LastRead(), 9), expected) << "Repeat has no place in the record";
}

TEST(EncodeSettings, DamagedValuesStayInTheirRange) {
    // Speed 9; Win-lock 0x100 (the option page shows it on); report-rate option 4 (there is none).
    const Bytes bytes = Encode({0, 0, 9}, {0, 0, 0, 4, 0, 0x100, 0});
    EXPECT_EQ((std::array{bytes[3], bytes[21], bytes[22]}), (std::array<uint8_t, 3>{0, 1, 0}));
}

TEST(EncodeSettings, ByteOneIsTheCodeOfThePositionWithHostDrivenCodesAs0xFE) {
    // {SelectItem, byte 1}; without a usable code the keyboard's effect (0xA1) stays.
    constexpr std::pair<int, int> kCases[] = {{0, 7},     {2, 3},          {4, 0x42},       {1, 0xFE},
                                              {3, 0xFE},  {29, 0x80 + 29}, {30, 0x80 + 30}, {5, 0xA1},
                                              {31, 0xA1}, {255, 0xA1}};
    for (auto [mode, code] : kCases) {
        LightInfoRecord light;
        light.selectItem = uint8_t(mode);
        EXPECT_EQ(Encode(light, {})[1], code) << "SelectItem " << mode;
    }
}

TEST(DecodeSettings, SelectItemIsThePositionOfTheCodeAnd0xFEKeepsIt) {
    // {byte 1, current SelectItem, SelectItem read}
    constexpr std::array<int, 3> kCases[] = {{7, 9, 0},          {3, 9, 2},       {0x42, 9, 4},
                                             {0x80 + 29, 0, 29}, {0x50, 9, 0x50}, {0xFE, 29, 29},
                                             {0xFE, 30, 30}};
    for (auto [code, current, mode] : kCases) {
        Bytes bytes{};
        bytes[1] = uint8_t(code);
        LightInfoRecord light;
        light.selectItem = uint8_t(current);
        const auto got = Decode(bytes, 0, light);
        EXPECT_EQ((std::pair<int, int>{got.light.selectItem, got.image.mode}), (std::pair{mode, mode}))
            << code;
    }
}

// Byte 3 here is 0xA3, a damaged speed: it reads as Speed 0, never out of range.
TEST(DecodeSettings, ReadsTheFieldsOfTheTableAndKeepsTheRest) {
    LightInfoRecord current;
    current.oldLedMode = 12;
    const auto got = Decode(LastRead(), 2, current, {100, 2, 0, 3, 0, 0, 0});
    EXPECT_EQ(got.image, (KeyboardSettingsImage{2, 0xA1, 0xA2, 0, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xB2, 0xBA}));
    EXPECT_EQ(got.light, (LightInfoRecord{0xA1, 0xA2, 0, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, {}, 0xB2, 0xBA, 12}));
    EXPECT_EQ(got.system, (KeyboardSystemRecord{100, 2, 0xB4, 3, 0xB3, 0xB5, 0xB9}));
    Bytes kept = LastRead();
    kept[0] = 2;
    kept[16] = 0;
    EXPECT_EQ(got.last.ToBytes(), kept);
}

TEST(DecodeSettings, EveryModeAndSpeedRoundTrips) {
    const KeyboardSystemRecord system{0, 0, 1, 2, 1, 1, 3};
    for (int mode = 0; mode <= 30; ++mode) {
        for (uint8_t speed = 0; speed <= 4 && mode != 5; ++speed) { // mode 5's code is no byte
            const LightInfoRecord light{uint8_t(mode), 2, speed, 1, 1, 9, 8, 7, {}, 4, 5, 0};
            const auto got = Decode(Encode(light, system), 0, light, system);
            EXPECT_EQ(got.light, light) << "mode " << mode << " speed " << int(speed);
            EXPECT_EQ(got.system, system) << "mode " << mode;
        }
    }
}

TEST(ProfileEvents, MapCodesToProfileAndByte17) {
    using E = std::optional<ProfileEvent>;
    EXPECT_EQ(ProfileEventOf(0x1123), (E{{3, 2}}));
    EXPECT_EQ(ProfileEventOf(0x11FF), (E{{15, 15}}));
    EXPECT_EQ(ProfileEventOf(0x10F5), (E{{5, std::nullopt}}));
    for (uint16_t ignored : {0x1207, 0x0404, 0x0F23, 0x0123}) {
        EXPECT_EQ(ProfileEventOf(ignored), std::nullopt) << std::hex << ignored;
    }
    KeyboardSettingsImage image;
    auto last = KeyboardSettingsRecord::FromBytes(LastRead());
    ApplyProfileEvent(*ProfileEventOf(0x1123), image, last);
    EXPECT_EQ(image.activeProfile, 3);
    EXPECT_EQ(Encode({}, {}, last.ToBytes())[17], 2) << "the next write carries the event's byte 17";
}

TEST(ParameterMemory, RecordsLieAtProfileTimes28WithinSixteenBits) {
    EXPECT_EQ(KeyboardRecordOffset(0), 0);
    EXPECT_EQ(KeyboardRecordOffset(3), 84);
    EXPECT_EQ(KeyboardRecordOffset(2339), 65492);
    EXPECT_EQ(KeyboardRecordOffset(2340), std::nullopt);
    EXPECT_EQ(KeyboardRecordOffset(-1), std::nullopt);
}

} // namespace
} // namespace velkor
