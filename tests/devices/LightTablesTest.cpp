// The shared lighting tables and the per-frame arithmetic: the values the
// effects of every device kind and the synchronised lighting agree on.
#include "devices/LightTables.h"
#include "devices/TolvanicUSBDevice.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velkor {
namespace {

TEST(LightTables, WheelFollowsTheRampsIsSaturatedAndRepeatsPast191) {
    EXPECT_EQ(kColourWheel[0], (Rgb{255, 1, 0}));
    EXPECT_EQ(kColourWheel[32], (Rgb{248, 255, 0}));
    EXPECT_EQ(kColourWheel[70], (Rgb{0, 255, 18}));
    EXPECT_EQ(kColourWheel[100], (Rgb{0, 194, 255}));
    EXPECT_EQ(kColourWheel[140], (Rgb{50, 0, 255}));
    EXPECT_EQ(kColourWheel[191], (Rgb{255, 0, 0}));
    for (size_t i = 0; i < 256; ++i) {
        const Rgb c = kColourWheel[i];
        EXPECT_TRUE(c.red == 255 || c.green == 255 || c.blue == 255) << i;
        EXPECT_TRUE(c.red == 0 || c.green == 0 || c.blue == 0) << i;
        if (i >= 192) {
            EXPECT_EQ(c, kColourWheel[i - 192]) << i;
        }
    }
}

TEST(LightTables, BreathingCurveRisesToFullAndFallsBackSymmetrically) {
    EXPECT_EQ(kBreathingCurve[18], 27);
    EXPECT_EQ(kBreathingCurve[63], 255);
    for (size_t i = 0; i < 64; ++i) {
        EXPECT_EQ(kBreathingCurve[i], kBreathingCurve[127 - i]) << i;
        EXPECT_TRUE(i == 0 || kBreathingCurve[i] > kBreathingCurve[i - 1]) << i;
    }
    EXPECT_EQ(kWaveCurve[0], 22);
    EXPECT_EQ(kWaveCurve[48], 255);
}

TEST(LightTables, DamagedSettingsNeverReadOutsideATable) {
    EXPECT_EQ(BrightnessLevel(2), 135);
    EXPECT_EQ(BrightnessLevel(200), 255);
    EXPECT_EQ(BlinkIntervalMs(0), 1600u);
    EXPECT_EQ(BlinkIntervalMs(99), 200u);
    EXPECT_EQ(FixedColour(3), (Rgb{255, 0, 0}));
    EXPECT_EQ(FixedColour(176), FixedColour(0));
}

TEST(StepPhase, WrapsAtBothEnds) {
    EXPECT_EQ(StepPhase(true, 192, 191, 1), 0);
    EXPECT_EQ(StepPhase(false, 192, 0, 1), 191);
    EXPECT_EQ(StepPhase(false, 96, 0, 3), 93);
    // A position left over from a longer effect comes back into range.
    EXPECT_EQ(StepPhase(true, 128, 150, 1), 0);
    EXPECT_EQ(StepPhase(false, 128, 150, 1), 127);
    // A sum past 255 is past the range, not a small position.
    EXPECT_EQ(StepPhase(true, 192, 250, 10), 0);
    EXPECT_EQ(StepPhase(true, 0, 7, 1), 0);
    for (bool forward : {true, false}) {
        std::array<int, 192> seen{};
        uint8_t position = 0;
        for (int i = 0; i < 192; ++i) {
            position = StepPhase(forward, 192, position, 1);
            ++seen[position];
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 192) << "a full turn visits each position once";
    }
}

TEST(KeyLevel, ModeZeroSchedule) {
    EXPECT_EQ(NextKeyLevel(255, 0), 215);
    EXPECT_EQ(NextKeyLevel(100, 0), 70);
    EXPECT_EQ(NextKeyLevel(40, 0), 25);
    EXPECT_EQ(NextKeyLevel(20, 0), 12);
    EXPECT_EQ(NextKeyLevel(5, 0), 4);
    EXPECT_EQ(NextKeyLevel(40, 8), 30) << "other modes fall by 10 between 32 and 63";
    int calls = 0;
    for (uint8_t level = 255; level != 0 && calls < 100; level = NextKeyLevel(level, 0)) {
        ++calls;
    }
    EXPECT_EQ(calls, 20);
}

TEST(KeyLevel, AudioModeFallsTowardsZeroWithoutWrapping) {
    const uint8_t expected[] = {210, 165, 120, 85, 60, 50, 40, 30, 25, 20, 15, 14};
    uint8_t level = 255;
    for (uint8_t next : expected) {
        level = NextKeyLevel(level, 29);
        EXPECT_EQ(level, next);
    }
    // 16..31 is where the mask reading would wrap below zero; every mode must lower every level.
    for (int mode : {0, 10, 21, 29}) {
        for (int v = 1; v < 256; ++v) {
            EXPECT_LT(NextKeyLevel(uint8_t(v), mode), v) << "mode " << mode << " level " << v;
        }
        EXPECT_EQ(NextKeyLevel(0, mode), 0);
    }
}

TEST(LightInfoWords, BytesMapToTheRecordFieldsAndBack) {
    const LightInfoWords words = {0x04030201u, 0x08070605u, 0x0C0B0A09u, 0x0000FE0Du};
    const LightInfoRecord r = LightInfoFromWords(words);
    EXPECT_EQ(
        (std::array<int, 8>{r.selectItem, r.light, r.speed, r.fx, r.multiColor, r.red, r.green, r.blue}),
        (std::array<int, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ((std::array<int, 3>{r.ledMode, r.customGroup, r.oldLedMode}),
              (std::array<int, 3>{12, 13, 0xFE}));
    EXPECT_EQ(LightInfoToWords(r), words);
}

} // namespace
} // namespace velkor
