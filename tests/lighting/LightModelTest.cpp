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
    const LightGroupRules six = LightRulesFor(1, 6);
    EXPECT_TRUE(six.colour && six.palette && six.sevenColor && six.brightness && six.colourTab &&
                six.sameMode);
    EXPECT_FALSE(six.speed || six.direction);
    const LightGroupRules nineteen = LightRulesFor(9, 19); // through the receiver
    EXPECT_TRUE(nineteen.keyboard && nineteen.customGroups && nineteen.colour);
    EXPECT_FALSE(nineteen.sevenColor || nineteen.speedVisible);
    const LightGroupRules twentyEight = LightRulesFor(1, 28);
    EXPECT_FALSE(twentyEight.brightness);
    EXPECT_TRUE(twentyEight.sameMode && twentyEight.colourTab);
    EXPECT_TRUE(LightRulesFor(1, 30).brightness);
    EXPECT_FALSE(LightRulesFor(1, 30).colourTab);
}

TEST(LightRules, MouseAndPadTablesTakeTheLastRowOutsideThem) {
    EXPECT_TRUE(LightRulesFor(2, 5).direction);
    EXPECT_TRUE(LightRulesFor(6, 6).sameMode);
    EXPECT_FALSE(LightRulesFor(2, 3).sevenColor);
    EXPECT_TRUE(LightRulesFor(2, 9).sameMode);
    const LightGroupRules beyond = LightRulesFor(2, 40);
    EXPECT_TRUE(beyond.applies);
    EXPECT_FALSE(beyond.brightness || beyond.colour || beyond.sameMode || beyond.keyboard);
    EXPECT_FALSE(LightRulesFor(3, 5).brightness);
    EXPECT_TRUE(LightRulesFor(7, 8).sameMode);
    EXPECT_FALSE(LightRulesFor(3, -1).brightness);
    EXPECT_FALSE(LightRulesFor(4, 1).applies);
    EXPECT_FALSE(LightRulesFor(0, 1).applies);
}

} // namespace
} // namespace velkor
