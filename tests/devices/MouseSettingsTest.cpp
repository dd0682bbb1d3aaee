// The mouse's DPI arithmetic and its settings record, byte by byte.
#include "devices/MouseSettings.h"

#include <gtest/gtest.h>

#include <string>

namespace velkor::test {
namespace {

constexpr MouseDpiLimits kTwoRange{0x3325, 100, 73, 100}; // the family's sensor: 9900 DPI at step 73
constexpr MouseDpiLimits kPlain{0x1234, 50, 100, 50};

struct DpiCase {
    MouseDpiLimits limits;
    const char* text;
    int step;
};

class MouseDeviceDpiTest : public ::testing::TestWithParam<DpiCase> {};

TEST_P(MouseDeviceDpiTest, TypedDpiGivesTheLargestStepNotAboveIt) {
    const DpiCase& c = GetParam();
    EXPECT_EQ(StepOfDpiText(c.limits, c.text), c.step) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Texts, MouseDeviceDpiTest,
                         ::testing::Values(DpiCase{kTwoRange, "5300", 50}, DpiCase{kTwoRange, "5100", 49},
                                           DpiCase{kTwoRange, "5000", 48}, DpiCase{kTwoRange, "4900", 48},
                                           DpiCase{kTwoRange, "99999", 73},
                                           DpiCase{kTwoRange, "99999999999999999999", 73},
                                           DpiCase{kTwoRange, "abc", 0}, DpiCase{kTwoRange, "-5", 0},
                                           DpiCase{kTwoRange, "", 0}, DpiCase{kTwoRange, " 250x", 1},
                                           DpiCase{kPlain, "575", 10}, DpiCase{kPlain, "20", 0}));

TEST(MouseDeviceDpi, EveryStepShowsWhatTypingItBack) {
    EXPECT_EQ(DpiOfStep(kTwoRange, 48), 4900);
    EXPECT_EQ(DpiOfStep(kTwoRange, 49), 5100);
    EXPECT_EQ(MaxDpi(kTwoRange), 9900);
    EXPECT_EQ(DpiOfStep(kPlain, 10), 550);
    for (const MouseDpiLimits& limits : {kTwoRange, kPlain}) {
        for (int step = 0; step <= limits.highestStep; ++step) {
            ASSERT_EQ(StepOfDpiText(limits, std::to_string(DpiOfStep(limits, step))), step) << step;
        }
    }
}

DeviceNameLists Modes() {
    DeviceNameLists modes;
    for (int32_t code : {20, 1, 2, 3, 4, 5, 6, 7, 8, 21, 10, 11, 12}) {
        modes.modeNames.push_back("m");
        modes.modeVisible.push_back(1);
        modes.modeCodes.push_back(code);
    }
    return modes;
}

TEST(MouseDeviceRecord, EncodesTheSixtySixBytes) {
    MouseRecordInput in;
    in.light = LightInfoRecord{12, 3, 1, 1, 1, 10, 20, 30};
    in.stages = {{1, 0, 4, 4, 255, 0, 0}, {0, 1, 60000, 7, 0, 255, 0}, {1, 0, 31, 31, 0, 0, 255}};
    in.activeStage = 2;
    in.reportRate = 3;
    in.corrections = {{9, 8, 0, "off"}, {5, 6, 1, "on"}};
    in.flag = 1;
    in.screenWidth = 2560;
    in.screenHeight = 1440;
    const MouseSettingsRecord::Bytes bytes = EncodeMouseRecord(in, Modes(), kTwoRange).ToBytes();
    EXPECT_EQ(bytes[1], 20) << "SelectItem 12 is no mouse mode: position 0's code";
    EXPECT_EQ(bytes[3], 3) << "4 - Speed";
    EXPECT_EQ(bytes[11], 3);
    EXPECT_EQ(bytes[12], 2);
    EXPECT_EQ((std::vector<uint8_t>(bytes.begin() + 14, bytes.begin() + 23)),
              (std::vector<uint8_t>{1, 0, 4, 0, 4, 0, 255, 0, 0}));
    EXPECT_EQ(bytes[23 + 2], 73) << "a step above the highest is sent as the highest";
    EXPECT_EQ(bytes[23 + 3], 0);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 41, bytes.begin() + 59), std::vector<uint8_t>(18, 0))
        << "stages the profile lacks are zeros";
    EXPECT_EQ(bytes[59], 1);
    EXPECT_EQ(bytes[60] | bytes[61] << 8, 2560);
    EXPECT_EQ(bytes[62] | bytes[63] << 8, 1440);
    EXPECT_EQ(bytes[64], 6);
    EXPECT_EQ(bytes[65], 5);

    in.stages.assign(7, DpiStage{1, 0, 9, 9, 1, 2, 3});
    in.activeStage = 9;
    in.reportRate = 7;
    const MouseSettingsRecord seven = EncodeMouseRecord(in, Modes(), kTwoRange);
    EXPECT_EQ(seven.stages[4].xStep[0], 9) << "the first five of seven";
    EXPECT_EQ(seven.activeStage, 0);
    EXPECT_EQ(seven.reportRate, 0);
}

TEST(MouseDeviceRecord, ReadsBackModeLightingAndOnlyRealStages) {
    MouseSettingsRecord read;
    read.effectCode = 21;
    read.brightness = 2;
    read.speedInverse = 1;
    read.changeFlag = 1;
    read.activeStage = 4;
    read.mouseOwn[0] = 0x42;
    const LightInfoRecord current{0, 0, 0, 1};
    DecodedMouseSettings decoded = DecodeMouseRecord(read, 3, current, Modes());
    EXPECT_EQ(decoded.light.selectItem, 9);
    EXPECT_EQ(decoded.light.speed, 3);
    EXPECT_EQ(decoded.light.fx, 1) << "direction is not read back";
    EXPECT_EQ(decoded.activeStage, 4);
    EXPECT_EQ(decoded.last.activeProfile, 3);
    EXPECT_EQ(decoded.last.changeFlag, 0);
    EXPECT_EQ(decoded.last.mouseOwn[0], 0x42);
    read.activeStage = 9;
    read.effectCode = 99;
    decoded = DecodeMouseRecord(read, 0, current, Modes());
    EXPECT_FALSE(decoded.activeStage.has_value());
    EXPECT_EQ(decoded.light.selectItem, 99) << "an unknown code stays as it is";
}

} // namespace
} // namespace velkor::test
