// The event model: delays, event shapes, the device form, how rows name events.
#include "macros/MacroEvent.h"
#include "MacroTestSupport.h"
#include "macros/EventBlock.h"
#include "macros/MacroFiles.h"

namespace velkor::test {
namespace {

TEST(MacroDelay, DelayTextsAreNormalisedIntoTheStoredRange) {
    EXPECT_EQ(NormaliseDelayText("007"), "7");
    EXPECT_EQ(NormaliseDelayText(""), "0");
    EXPECT_EQ(NormaliseDelayText("+12"), "12");
    EXPECT_EQ(NormaliseDelayText(" 40"), "40");
    EXPECT_EQ(NormaliseDelayText("12ab"), "12");
    EXPECT_EQ(NormaliseDelayText("abc"), "0");
    EXPECT_EQ(NormaliseDelayText("-5"), "0");
    EXPECT_EQ(NormaliseDelayText("65535"), "65535");
    EXPECT_EQ(NormaliseDelayText("65536"), "65535");
    EXPECT_EQ(NormaliseDelayText("99999999999999999999999"), "65535");
}

TEST(MacroDelay, AnEventsDelayReadsFromStringsAndIntegersOnly) {
    EXPECT_EQ(ReadDelay(Event("down", 10, 4, "250")), 250);
    EXPECT_EQ(ReadDelay(Event("down", 10, 4, "70000")), 65535);
    Json::Value event = Event("down", 10, 4, "0");
    event["Delay"] = 125;
    EXPECT_EQ(ReadDelay(event), 125);
    event["Delay"] = -3;
    EXPECT_EQ(ReadDelay(event), 0);
    event["Delay"] = Json::Value(Json::arrayValue);
    EXPECT_EQ(ReadDelay(event), 0);
    EXPECT_EQ(ReadDelay(Json::Value(7)), 0) << "not an event object";
    EXPECT_EQ(RawDelayText(Event("up", 1, 1, "007")), "007");
}

TEST(MacroEventModel, KnownShapesReadAndGiveTheirDeviceForm) {
    const auto key = ReadMacroEvent(Event("down", 10, 4, "4660"));
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->down);
    EXPECT_EQ(key->type, 10);
    EXPECT_EQ(key->button, 4);
    EXPECT_EQ(key->delay, 4660);
    EXPECT_EQ(EncodeEvent(MakeMacroEventJson(*key)), (DeviceEvent{0x34, 0x12, 0x8A, 0x04}));
    const auto up = ReadMacroEvent(Event("up", 5, 30, "1"));
    ASSERT_TRUE(up);
    EXPECT_EQ(EncodeEvent(MakeMacroEventJson(*up)), (DeviceEvent{1, 0, 0x05, 30}));
    EXPECT_EQ(MakeMacroEventJson(*key), Event("down", 10, 4, "4660"));

    EXPECT_FALSE(ReadMacroEvent(Json::Value("down")));
    Json::Value badType = Event("down", 10, 4, "1");
    badType["Type"] = "10";
    EXPECT_FALSE(ReadMacroEvent(badType));
}

// "Button" is one byte on the device: every value outside 0..255 is refused, never cut.
TEST(MacroEventModel, ButtonsOutsideOneByteAreRefused) {
    struct Case {
        int type;
        int button;
        bool read;
    };
    const Case cases[] = {
        {1, 0, true},    {1, 255, true},   {1, 256, false},  {1, -1, false},
        {10, 255, true}, {10, 256, false}, {10, 300, false},
    };
    for (const Case& c : cases) {
        const auto event = ReadMacroEvent(Event("down", c.type, c.button, "1"));
        EXPECT_EQ(event.has_value(), c.read) << "type " << c.type << ", button " << c.button;
        if (event) {
            EXPECT_EQ(event->button, c.button);
        }
    }
}

TEST(MacroEventModel, RowsNameWhatAnEventActsOn) {
    EXPECT_EQ(DescribeMacroEvent(Event("down", 10, 4, "0")).nameKey, "keyboard_key_A");
    EXPECT_EQ(DescribeMacroEvent(Event("down", 10, 4, "0")).directionKey, kDownTextKey);
    EXPECT_EQ(DescribeMacroEvent(Event("up", 9, 0x02, "0")).nameKey, "keyboard_key_LShift");
    EXPECT_EQ(DescribeMacroEvent(Event("up", 9, 0x02, "0")).directionKey, kUpTextKey);
    EXPECT_EQ(DescribeMacroEvent(Event("down", 1, 16, "0")).nameKey, "mouse_key_forward");
    EXPECT_EQ(DescribeMacroEvent(Event("down", 1, 8, "0")).nameKey, "mouse_key_back");
    const MacroEventLook left = DescribeMacroEvent(Event("down", 4, 7, "0"));
    EXPECT_EQ(left.nameKey, "mouse_move_to_left_text");
    EXPECT_EQ(left.distance, "7");
    EXPECT_TRUE(left.directionKey.empty());
    EXPECT_EQ(DescribeMacroEvent(Event("up", 5, 3, "0")).nameKey, "mouse_move_to_down_text");
    EXPECT_TRUE(DescribeMacroEvent(Event("down", 2, 1, "0")).directionKey.empty());
    EXPECT_TRUE(DescribeMacroEvent(Event("down", 42, 1, "0")).nameKey.empty())
        << "unknown kinds name nothing";
    EXPECT_TRUE(DescribeMacroEvent(Event("down", 1, 3, "0")).nameKey.empty()) << "no such button";
}

TEST(MacroFileNames, OnlyPlainGuidsNameAFile) {
    EXPECT_EQ(MacroFilePath("/data/", "2023_07_04_09_05_03_042"), "/data/2023_07_04_09_05_03_042.mac");
    EXPECT_EQ(MacroFilePath("/data", "g1"), "/data/g1.mac");
    for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "tab\there"}) {
        EXPECT_EQ(MacroFilePath("/data/", bad), "") << bad;
    }
    EXPECT_EQ(MacroFilePath("/data/", std::string(201, 'x')), "");
    EXPECT_EQ(MacroFilePath("", "g1"), "") << "no folder";
}

} // namespace
} // namespace velkor::test
