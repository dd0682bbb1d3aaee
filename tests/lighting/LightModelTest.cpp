// The light record's bytes and the enabling tables of the device kinds.
#include "lighting/LightModel.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

TEST(LightRecordBytes, EveryByteHasItsField) {
    LightInfoRecord record;
    for (size_t i = 0; i < kLightByteCount; ++i) {
        ASSERT_TRUE(SetLightByte(record, i, uint8_t(10 + i)));
    }
    EXPECT_EQ(record.selectItem, 10);
    EXPECT_EQ(record.multiColor, 14);
    EXPECT_EQ(record.blue, 17);
    EXPECT_EQ(record.ledMode, 21);
    EXPECT_EQ(record.customGroup, 22);
    EXPECT_EQ(record.oldLedMode, 23);
    EXPECT_EQ(GetLightByte(record, kLightByteGreen), 16);
    EXPECT_FALSE(SetLightByte(record, 14, 1));
    EXPECT_EQ(GetLightByte(record, 99), 0);
    EXPECT_EQ(PanelColour(1, 2, 3), 0xFF010203u);
}

TEST(LightRules, KeyboardTableRows) {
    const LightGroupRules six = LightRulesFor(DeviceClass::Keyboard, 6);
    EXPECT_TRUE(six.colour && six.palette && six.sevenColor && six.brightness && six.colourTab &&
                six.sameMode);
    EXPECT_FALSE(six.speed || six.direction);
    const LightGroupRules nineteen = LightRulesFor(DeviceClass::Keyboard, 19); // through the receiver
    EXPECT_TRUE(nineteen.keyboard && nineteen.customGroups && nineteen.colour);
    EXPECT_FALSE(nineteen.sevenColor || nineteen.speedVisible);
    const LightGroupRules twentyEight = LightRulesFor(DeviceClass::Keyboard, 28);
    EXPECT_FALSE(twentyEight.brightness);
    EXPECT_TRUE(twentyEight.sameMode && twentyEight.colourTab);
    EXPECT_TRUE(LightRulesFor(DeviceClass::Keyboard, 30).brightness);
    EXPECT_FALSE(LightRulesFor(DeviceClass::Keyboard, 30).colourTab);
}

// The keyboard's speed (S) and direction (D) groups for every mode, both
// keyboard kinds (9 is a keyboard through its receiver). Modes 0, 20 and 31
// onwards are outside the table: both disabled.
TEST(LightRules, KeyboardSpeedAndDirectionOfEveryMode) {
    struct Cell {
        bool speed;
        bool direction;
    };
    // clang-format off
    const Cell expected[36] = {
        /*  0 */ {0, 0}, /*  1 */ {1, 1}, /*  2 */ {1, 1}, /*  3 */ {1, 1},
        /*  4 */ {1, 0}, /*  5 */ {1, 0}, /*  6 */ {0, 0}, /*  7 */ {1, 0},
        /*  8 */ {1, 0}, /*  9 */ {1, 0}, /* 10 */ {1, 0}, /* 11 */ {1, 0},
        /* 12 */ {1, 1}, /* 13 */ {1, 0}, /* 14 */ {1, 0}, /* 15 */ {1, 0},
        /* 16 */ {0, 0}, /* 17 */ {1, 0}, /* 18 */ {0, 1}, /* 19 */ {0, 0},
        /* 20 */ {0, 0}, /* 21 */ {1, 1}, /* 22 */ {1, 0}, /* 23 */ {1, 0},
        /* 24 */ {1, 1}, /* 25 */ {1, 0}, /* 26 */ {1, 0}, /* 27 */ {1, 0},
        /* 28 */ {0, 0}, /* 29 */ {0, 1}, /* 30 */ {0, 0}, /* 31 */ {0, 0},
        /* 32 */ {0, 0}, /* 33 */ {0, 0}, /* 34 */ {0, 0}, /* 35 */ {0, 0},
    };
    // clang-format on
    for (int mode = 0; mode < 36; ++mode) {
        const LightGroupRules rules = LightRulesFor(DeviceClass::Keyboard, mode);
        EXPECT_EQ(rules.speed, expected[mode].speed) << "mode " << mode;
        EXPECT_EQ(rules.direction, expected[mode].direction) << "mode " << mode;
    }
}

TEST(LightRules, MouseAndPadTablesTakeTheLastRowOutsideThem) {
    EXPECT_TRUE(LightRulesFor(DeviceClass::Mouse, 5).direction);
    EXPECT_TRUE(LightRulesFor(DeviceClass::Mouse, 6).sameMode);
    EXPECT_FALSE(LightRulesFor(DeviceClass::Mouse, 3).sevenColor);
    EXPECT_TRUE(LightRulesFor(DeviceClass::Mouse, 9).sameMode);
    const LightGroupRules beyond = LightRulesFor(DeviceClass::Mouse, 40);
    EXPECT_TRUE(beyond.applies);
    EXPECT_FALSE(beyond.brightness || beyond.colour || beyond.sameMode || beyond.keyboard);
    EXPECT_FALSE(LightRulesFor(DeviceClass::MousePad, 5).brightness);
    EXPECT_TRUE(LightRulesFor(DeviceClass::Headset, 8).sameMode);
    EXPECT_FALSE(LightRulesFor(DeviceClass::MousePad, -1).brightness);
    EXPECT_FALSE(LightRulesFor(DeviceClass::None, 1).applies);
    EXPECT_FALSE(LightRulesFor(DeviceClass::None, 1).applies);
}

} // namespace
} // namespace velkor
