// The software effects and key levels on a device's LED state: colour walks,
// blink timing, wrap-around, the ring, and keys outside the range refused.
#include "devices/LedState.h"
#include "devices/LightTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace velkor {
namespace {

class DeviceEffects : public ::testing::Test {
protected:
    void SetUp() override { m_frame.Resize(3); }
    void SetRecord(uint8_t light, uint8_t speed, uint8_t fx, uint8_t multi, Rgb colour = {10, 20, 30}) {
        LightInfoRecord record;
        record.light = light;
        record.speed = speed;
        record.fx = fx;
        record.multiColor = multi;
        record.red = colour.red;
        record.green = colour.green;
        record.blue = colour.blue;
        m_frame.light = record;
    }
    // Every LED holds the same value; returns it.
    uint32_t Uniform() {
        const std::vector<uint32_t>& leds = m_frame.leds;
        EXPECT_EQ(std::count(leds.begin(), leds.end(), leds.at(0)), 3);
        return leds.at(0);
    }
    static Rgb ColourOf(uint32_t led) { return {LedRed(led), LedGreen(led), LedBlue(led)}; }

    LedFrame m_frame;
    uint32_t m_now = 0;
};

TEST_F(DeviceEffects, MultiColourBreathingWalksTo192AndBackTo0) {
    SetRecord(4, 0, 1, 1);
    std::vector<int> atBreathEnd;
    for (int frame = 0; frame < 128 * 14; ++frame) {
        leds::Breathing(m_frame);
        if (m_frame.position == 0) {
            atBreathEnd.push_back(m_frame.colourIndex);
            // The dark end of the curve, in the colour that comes next (192 shows the colour of 0).
            EXPECT_EQ(LedLevel(Uniform()), 0);
            EXPECT_EQ(ColourOf(Uniform()), kColourWheel[m_frame.colourIndex % 192]);
        }
    }
    EXPECT_EQ(atBreathEnd, (std::vector<int>{16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 192, 0, 16}));
}

TEST_F(DeviceEffects, BreathingFollowsTheCurveAtTheBrightnessLevelBothWays) {
    SetRecord(2, 0, 1, 0, {10, 20, 30});
    for (int frame = 1; frame <= 127; ++frame) {
        leds::Breathing(m_frame);
        ASSERT_EQ(m_frame.position, frame);
        EXPECT_EQ(Uniform(), PackLed(10, 20, 30, uint8_t((kBreathingCurve[size_t(frame)] * 135) >> 8)));
    }
    SetRecord(2, 0, 0, 0);
    leds::Breathing(m_frame);
    leds::Breathing(m_frame);
    EXPECT_EQ(m_frame.position, 125);
}

TEST_F(DeviceEffects, FixedColourBreathingCyclesFourColoursEvenFromAForeignIndex) {
    SetRecord(4, 0, 1, 1);
    for (int frame = 0; frame < 128 * 11; ++frame) {
        leds::Breathing(m_frame);
    }
    ASSERT_EQ(m_frame.colourIndex, 176) << "left as multi-colour breathing leaves it";
    std::vector<int> colours;
    for (int frame = 0; frame < 128 * 6; ++frame) {
        leds::BreathingFixed(m_frame);
        if (m_frame.position == 64) {
            EXPECT_EQ(ColourOf(Uniform()), FixedColour(m_frame.colourIndex));
            colours.push_back(m_frame.colourIndex);
        }
    }
    // The left-over 176 shows fixed colour 0 until the breath ends.
    EXPECT_EQ(colours, (std::vector<int>{176, 0, 1, 2, 3, 0}));
}

TEST_F(DeviceEffects, SpectrumWalksTheWheelAndWrapsBothWays) {
    SetRecord(3, 0, 1, 0);
    for (int frame = 1; frame <= 192; ++frame) {
        leds::Spectrum(m_frame);
        ASSERT_EQ(m_frame.position, frame % 192);
        EXPECT_EQ(Uniform(), PackLed(kColourWheel[size_t(frame % 192)], 195));
    }
    SetRecord(3, 0, 0, 0);
    leds::Spectrum(m_frame);
    EXPECT_EQ(m_frame.position, 191);
}

TEST_F(DeviceEffects, BlinkIntervalFollowsTheSpeed) {
    for (const auto& [speed, interval] : std::initializer_list<std::pair<int, uint32_t>>{
             {0, 1600}, {1, 1200}, {2, 800}, {4, 200}, {9, 200}}) {
        LedFrame frame;
        frame.Resize(2);
        frame.light.speed = uint8_t(speed);
        m_now = 50000;
        leds::Blink(frame, m_now); // the first frame toggles at once
        ASSERT_TRUE(frame.blinkOn);
        m_now += interval - 1;
        leds::Blink(frame, m_now);
        EXPECT_TRUE(frame.blinkOn) << "speed " << speed;
        m_now += 1;
        leds::Blink(frame, m_now);
        EXPECT_FALSE(frame.blinkOn) << "speed " << speed;
    }
}

TEST_F(DeviceEffects, MultiColourBlinkWalksTo176AndBackTo0) {
    SetRecord(4, 4, 0, 1);
    m_now = 1000;
    std::vector<int> positions;
    for (int toggle = 0; toggle < 14; ++toggle) {
        leds::Blink(m_frame, m_now);
        positions.push_back(m_frame.colourIndex);
        const uint32_t expected = m_frame.blinkOn ? PackLed(kColourWheel[m_frame.colourIndex], 255) : 0;
        EXPECT_EQ(Uniform(), expected) << "on in the wheel's colour, off black at level 0";
        m_now += 200;
    }
    EXPECT_EQ(positions, (std::vector<int>{16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 0, 16, 32}));
}

TEST_F(DeviceEffects, BlinkSurvivesTheTickCountWrapping) {
    SetRecord(4, 4, 0, 0);
    m_now = 0xFFFFFF00u;
    leds::Blink(m_frame, m_now);
    ASSERT_TRUE(m_frame.blinkOn);
    m_now += 0x100 + 100; // now 100, 356 ms later
    leds::Blink(m_frame, m_now);
    EXPECT_FALSE(m_frame.blinkOn);
    m_now += 150;
    leds::Blink(m_frame, m_now);
    EXPECT_FALSE(m_frame.blinkOn);
}

TEST_F(DeviceEffects, KeyLevelsAndTheRing) {
    m_frame.SetKeyLevel(169, 100);
    leds::StepKeyLevel(m_frame, 169, 0);
    leds::StepKeyLevel(m_frame, -1, 0);
    leds::StepKeyLevel(m_frame, 170, 0);
    EXPECT_EQ(m_frame.KeyLevel(169), 70);

    m_frame.ring[0] = 1;
    m_frame.ring[8] = 1;
    m_frame.ring[9] = 1;
    leds::LightRingKeys(m_frame);
    EXPECT_EQ(m_frame.KeyLevel(0), 255);
    EXPECT_EQ(m_frame.KeyLevel(8), 255);
    EXPECT_EQ(m_frame.KeyLevel(9), 0) << "the base lights ring positions 0..8 only";

    leds::ClearKeyLevels(m_frame);
    EXPECT_EQ(m_frame.KeyLevel(169), 0);
    m_frame.ring[22] = 5;
    m_frame.ring[3] = 7;
    leds::RotateLevelRing(m_frame, 1);
    EXPECT_EQ(m_frame.ring[0], 5) << "the last entry becomes the first";
    EXPECT_EQ(m_frame.ring[4], 7);
    leds::RotateLevelRing(m_frame, 0);
    leds::RotateLevelRing(m_frame, 0);
    EXPECT_EQ(m_frame.ring[21], 5) << "the first entry becomes the last";
    EXPECT_EQ(m_frame.ring[2], 7);
}

} // namespace
} // namespace velkor
