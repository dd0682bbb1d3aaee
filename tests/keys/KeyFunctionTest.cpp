#include "keys/KeyFunction.h"

#include <gtest/gtest.h>

#include <vector>

namespace velkor {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(std::span<const std::uint8_t> bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

TEST(KeyFunctionForms, SixBytesCodeLittleEndianThenFunctionThenZero) {
    const KeyFunction value{0xA2B3, KeyCategory::MacroRepeat, 7, 200};
    EXPECT_EQ(Of(value.ToBytes()), (Bytes{0xB3, 0xA2, 0x71, 7, 200, 0}));
    const auto back = KeyFunction::FromBytes(value.ToBytes());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->code, 0xA2B3);
    EXPECT_FALSE(KeyFunction::FromBytes(Bytes{0, 0, 0x20, 0, 4}));
    EXPECT_FALSE(KeyFunction::FromBytes(Bytes{0, 0, 0x20, 0, 4, 0, 0}));
}

TEST(KeyFunctionForms, KeyListValuePacksCategoryHighAndRefusesOutOfRange) {
    EXPECT_EQ(MakeMedia(0x00CD).ToKeyListValue(), 0x30CD00);
    const auto back = KeyFunction::FromKeyListValue(0x700302, 9);
    ASSERT_TRUE(back);
    EXPECT_EQ(Of(back->ToBytes()), (Bytes{9, 0, 0x70, 3, 2, 0}));
    // Cutting to the low 24 bits would turn damage into a valid-looking function.
    EXPECT_FALSE(KeyFunction::FromKeyListValue(-1));
    EXPECT_FALSE(KeyFunction::FromKeyListValue(0x1000000));
    EXPECT_TRUE(KeyFunction::FromKeyListValue(0xFFFFFF));
}

TEST(KeyFunctionForms, EqualityComparesOnlyTheFunctionBytes) {
    const KeyFunction base{0x41, KeyCategory::KeyboardKey, 0x01, 0x04};
    EXPECT_EQ(base, (KeyFunction{0, KeyCategory::KeyboardKey, 0x01, 0x04}));
    EXPECT_NE(base, (KeyFunction{0x41, KeyCategory::Media, 0x01, 0x04}));
    EXPECT_NE(base, (KeyFunction{0x41, KeyCategory::KeyboardKey, 0x02, 0x04}));
    EXPECT_NE(base, (KeyFunction{0x41, KeyCategory::KeyboardKey, 0x01, 0x05}));
}

TEST(KeyFunctionForms, DeviceTableHoldsThreeBytesPerPositionAndRefusesOverruns) {
    Bytes table(8, 0xEE); // two whole positions and a stray byte
    ASSERT_TRUE(WriteDeviceKey(table, 1, MakeMedia(0x0223)));
    EXPECT_EQ(table, (Bytes{0xEE, 0xEE, 0xEE, 0x30, 0x23, 0x02, 0xEE, 0xEE}));
    EXPECT_EQ(ReadDeviceKey(table, 1), MakeMedia(0x0223));
    EXPECT_FALSE(ReadDeviceKey(table, 2));
    EXPECT_FALSE(ReadDeviceKey(table, static_cast<std::size_t>(-1)));
    EXPECT_FALSE(WriteDeviceKey(table, 2, MakeKeyboardKey(0, 4)));
    EXPECT_FALSE(WriteDeviceKey(table, static_cast<std::size_t>(-1) / 3 + 1, MakeKeyboardKey(0, 4)));
    EXPECT_EQ(table, (Bytes{0xEE, 0xEE, 0xEE, 0x30, 0x23, 0x02, 0xEE, 0xEE}));
}

TEST(KeyFunctionForms, KeyListEntryIsCurrentThenDefaultWithTheKeyIndex) {
    const auto entry = KeyListEntry::FromKeyList(17, 0x100100, 0x200029);
    ASSERT_TRUE(entry);
    EXPECT_EQ(Of(entry->ToBytes()), (Bytes{17, 0, 0x10, 1, 0, 0, 17, 0, 0x20, 0, 0x29, 0}));
    const auto back = KeyListEntry::FromBytes(entry->ToBytes());
    ASSERT_TRUE(back);
    EXPECT_EQ(Of(back->ToBytes()), Of(entry->ToBytes()));
    const auto bytes = entry->ToBytes();
    EXPECT_FALSE(KeyListEntry::FromBytes(std::span(bytes).first(11)));
    EXPECT_FALSE(KeyListEntry::FromKeyList(0, 0x100100, -5));
}

TEST(MotionEncoding, SecondDirectionForms) {
    const auto swing = MakeMouseMove({.delay = 2, .speed = 3, .count = 5, .secondDirection = true});
    const auto wheel = MakeWheel({.delay = 15, .speed = 1, .count = 5, .secondDirection = true});
    ASSERT_TRUE(swing && wheel);
    EXPECT_EQ(Of(swing->ToTriple()), (Bytes{0x11, 0x23, 0x85}));
    EXPECT_EQ(Of(wheel->ToTriple()), (Bytes{0x12, 0xF1, 0xFB})); // two's complement of -5
    const auto most = ReadMotion(KeyFunction{0, KeyCategory::Wheel, 0, 0x80});
    ASSERT_TRUE(most);
    EXPECT_TRUE(most->secondDirection);
    EXPECT_EQ(most->count, 128);
}

TEST(MotionEncoding, EveryValidSettingReadsBackUnchanged) {
    for (bool second : {false, true}) {
        for (int count = 0; count <= 128; ++count) {
            const MotionParams in{count % 16, 15 - count % 16, count, second};
            const auto swing = MakeMouseMove(in);
            const auto wheel = MakeWheel(in);
            ASSERT_EQ(swing.has_value(), count < 128) << count;
            ASSERT_EQ(wheel.has_value(), count < 128 || second) << count;
            for (const auto& built : {swing, wheel}) {
                if (!built) {
                    continue;
                }
                const auto out = ReadMotion(*built);
                EXPECT_EQ(out->count, count);
                EXPECT_EQ(out->delay, in.delay);
                EXPECT_EQ(out->speed, in.speed);
                // A wheel count of zero scrolls nowhere, so it keeps no direction.
                const bool zeroWheel = built->category == KeyCategory::Wheel && count == 0;
                EXPECT_EQ(out->secondDirection, second && !zeroWheel);
            }
        }
    }
}

TEST(MotionEncoding, ZeroWheelStepsNeverBecome128AndRangesAreEnforced) {
    const auto wheel = MakeWheel({.count = 0, .secondDirection = true});
    ASSERT_TRUE(wheel);
    EXPECT_EQ(ReadMotion(*wheel)->count, 0);
    EXPECT_FALSE(MakeMouseMove({.count = 200, .secondDirection = true}));
    EXPECT_FALSE(MakeMouseMove({.count = -1}));
    EXPECT_FALSE(MakeMouseMove({.delay = 16}));
    EXPECT_FALSE(MakeWheel({.speed = -1}));
    EXPECT_FALSE(MakeWheel({.count = 129, .secondDirection = true}));
    EXPECT_FALSE(ReadMotion(MakeKeyboardKey(0, 4)));
}

TEST(FunctionBuilders, RangesAreEnforcedNotMasked) {
    EXPECT_TRUE(MakeRapidFire(255, 0));
    EXPECT_FALSE(MakeRapidFire(256, 1));
    EXPECT_FALSE(MakeRapidFire(1, 300));
    EXPECT_EQ(MakeMacro(4, 2)->ToKeyListValue(), 0x700402);
    EXPECT_FALSE(MakeMacro(0, 4)); // mode 4 is the repeat function
    EXPECT_FALSE(MakeMacro(256, 0));
    EXPECT_EQ(MakeMacroRepeat(4, 250)->ToKeyListValue(), 0x7104FA);
    EXPECT_FALSE(MakeMacroRepeat(0, 256));
    EXPECT_FALSE(MakeGunKey(-1));
}

TEST(FunctionBuilders, MediaUsageAndShortcutMarker) {
    for (std::uint32_t usage = 0; usage <= 0xFFFF; usage += 0x0101) {
        EXPECT_EQ(MediaUsage(MakeMedia(static_cast<std::uint16_t>(usage))), usage);
    }
    EXPECT_EQ(Of(MakeMedia(0x0183).ToTriple()), (Bytes{0x30, 0x83, 0x01}));
    EXPECT_FALSE(MediaUsage(MakeKeyboardKey(0, 0x83)));
    // A shortcut and right Ctrl + letter share one encoding.
    EXPECT_EQ(MakeShortcut(0x12), MakeKeyboardKey(kModRightCtrl, 0x12));
    EXPECT_TRUE(IsShortcut(MakeShortcut(0x12)));
    EXPECT_FALSE(IsShortcut(MakeKeyboardKey(kModLeftCtrl, 0x12)));
}

} // namespace
} // namespace velkor
