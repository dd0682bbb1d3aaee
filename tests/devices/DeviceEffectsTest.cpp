// The base device's software effects, LED buffer and key levels: colour walks,
// blink timing, wrap-around, and bad indices and counts refused safely.
#include "DeviceTestSupport.h"
#include "devices/LightTables.h"

#include <climits>

namespace velkor::test {
namespace {

class DeviceEffects : public DeviceBasics {
protected:
    void SetUp() override {
        m_device = std::make_unique<CTolvanicUSBDevice>(Services());
        ASSERT_TRUE(m_device->SetLightCount(3));
    }
    void SetRecord(uint8_t light, uint8_t speed, uint8_t fx, uint8_t multi, Rgb colour = {10, 20, 30}) {
        LightInfoRecord record;
        record.light = light;
        record.speed = speed;
        record.fx = fx;
        record.multiColor = multi;
        record.red = colour.red;
        record.green = colour.green;
        record.blue = colour.blue;
        m_device->SetLightInfo(LightInfoToWords(record));
    }
    // Every LED holds the same value; returns it.
    uint32_t Uniform() {
        const std::vector<uint32_t> leds = m_device->LedSnapshot();
        EXPECT_EQ(std::count(leds.begin(), leds.end(), leds.at(0)), 3);
        return leds.at(0);
    }
    static Rgb ColourOf(uint32_t led) { return {LedRed(led), LedGreen(led), LedBlue(led)}; }

    std::unique_ptr<CTolvanicUSBDevice> m_device;
};

TEST_F(DeviceEffects, MultiColourBreathingWalksTo192AndBackTo0) {
    SetRecord(4, 0, 1, 1);
    std::vector<int> atBreathEnd;
    for (int frame = 0; frame < 128 * 14; ++frame) {
        m_device->EffectBreathing();
        if (m_device->EffectPosition() == 0) {
            atBreathEnd.push_back(m_device->EffectColourIndex());
            // The dark end of the curve, in the colour that comes next (192 shows the colour of 0).
            EXPECT_EQ(LedLevel(Uniform()), 0);
            EXPECT_EQ(ColourOf(Uniform()), kColourWheel[m_device->EffectColourIndex() % 192]);
        }
    }
    EXPECT_EQ(atBreathEnd, (std::vector<int>{16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 192, 0, 16}));
}

TEST_F(DeviceEffects, BreathingFollowsTheCurveAtTheBrightnessLevelBothWays) {
    SetRecord(2, 0, 1, 0, {10, 20, 30});
    for (int frame = 1; frame <= 127; ++frame) {
        m_device->EffectBreathing();
        ASSERT_EQ(m_device->EffectPosition(), frame);
        EXPECT_EQ(Uniform(), PackLed(10, 20, 30, uint8_t((kBreathingCurve[size_t(frame)] * 135) >> 8)));
    }
    SetRecord(2, 0, 0, 0);
    m_device->EffectBreathing();
    m_device->EffectBreathing();
    EXPECT_EQ(m_device->EffectPosition(), 125);
}

TEST_F(DeviceEffects, FixedColourBreathingCyclesFourColoursEvenFromAForeignIndex) {
    SetRecord(4, 0, 1, 1);
    for (int frame = 0; frame < 128 * 11; ++frame) {
        m_device->EffectBreathing();
    }
    ASSERT_EQ(m_device->EffectColourIndex(), 176) << "left as multi-colour breathing leaves it";
    std::vector<int> colours;
    for (int frame = 0; frame < 128 * 6; ++frame) {
        m_device->EffectBreathingFixed();
        if (m_device->EffectPosition() == 64) {
            EXPECT_EQ(ColourOf(Uniform()), FixedColour(m_device->EffectColourIndex()));
            colours.push_back(m_device->EffectColourIndex());
        }
    }
    // The left-over 176 shows fixed colour 0 until the breath ends.
    EXPECT_EQ(colours, (std::vector<int>{176, 0, 1, 2, 3, 0}));
}

TEST_F(DeviceEffects, SpectrumWalksTheWheelAndWrapsBothWays) {
    SetRecord(3, 0, 1, 0);
    for (int frame = 1; frame <= 192; ++frame) {
        m_device->EffectSpectrum();
        ASSERT_EQ(m_device->EffectPosition(), frame % 192);
        EXPECT_EQ(Uniform(), PackLed(kColourWheel[size_t(frame % 192)], 195));
    }
    SetRecord(3, 0, 0, 0);
    m_device->EffectSpectrum();
    EXPECT_EQ(m_device->EffectPosition(), 191);
}

TEST_F(DeviceEffects, BlinkIntervalFollowsTheSpeed) {
    for (const auto& [speed, interval] : std::initializer_list<std::pair<int, uint32_t>>{
             {0, 1600}, {1, 1200}, {2, 800}, {4, 200}, {9, 200}}) {
        CTolvanicUSBDevice device(Services());
        device.SetLightCount(2);
        LightInfoRecord record;
        record.speed = uint8_t(speed);
        device.SetLightInfo(LightInfoToWords(record));
        m_ticks.Set(50000);
        device.EffectBlink(); // the first frame toggles at once
        ASSERT_TRUE(device.BlinkOn());
        m_ticks.Advance(interval - 1);
        device.EffectBlink();
        EXPECT_TRUE(device.BlinkOn()) << "speed " << speed;
        m_ticks.Advance(1);
        device.EffectBlink();
        EXPECT_FALSE(device.BlinkOn()) << "speed " << speed;
    }
}

TEST_F(DeviceEffects, MultiColourBlinkWalksTo176AndBackTo0) {
    SetRecord(4, 4, 0, 1);
    m_ticks.Set(1000);
    std::vector<int> positions;
    for (int toggle = 0; toggle < 14; ++toggle) {
        m_device->EffectBlink();
        positions.push_back(m_device->EffectColourIndex());
        const uint32_t expected =
            m_device->BlinkOn() ? PackLed(kColourWheel[m_device->EffectColourIndex()], 255) : 0;
        EXPECT_EQ(Uniform(), expected) << "on in the wheel's colour, off black at level 0";
        m_ticks.Advance(200);
    }
    EXPECT_EQ(positions, (std::vector<int>{16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 0, 16, 32}));
}

TEST_F(DeviceEffects, BlinkSurvivesTheTickCountWrapping) {
    SetRecord(4, 4, 0, 0);
    m_ticks.Set(0xFFFFFF00u);
    m_device->EffectBlink();
    ASSERT_TRUE(m_device->BlinkOn());
    m_ticks.Advance(0x100 + 100); // now 100, 356 ms later
    m_device->EffectBlink();
    EXPECT_FALSE(m_device->BlinkOn());
    m_ticks.Advance(150);
    m_device->EffectBlink();
    EXPECT_FALSE(m_device->BlinkOn());
}

TEST_F(DeviceEffects, WithoutLightsEveryEffectDoesNothing) {
    SetRecord(1, 0, 0, 0, {200, 100, 50});
    m_device->EffectStatic();
    EXPECT_EQ(Uniform(), PackLed(200, 100, 50, 80));
    m_device->EffectOff();
    EXPECT_EQ(Uniform(), 0u);

    ASSERT_TRUE(m_device->SetLightCount(0));
    SetRecord(4, 4, 1, 1);
    m_ticks.Set(5000);
    m_device->EffectBreathing();
    m_device->EffectBreathingFixed();
    m_device->EffectStatic();
    m_device->EffectSpectrum();
    m_device->EffectBlink();
    m_device->EffectBlinkFixed();
    m_device->OutputLightFrame();
    EXPECT_TRUE(m_device->LedSnapshot().empty());
    EXPECT_TRUE(m_device->LastFrame().empty());
    EXPECT_EQ(m_device->EffectPosition(), 0);
    EXPECT_FALSE(m_device->BlinkOn());
}

TEST_F(DeviceEffects, LedIndicesAndCountsOutsideTheirRangeChangeNothing) {
    m_device->SetLedColour(1, 0x11223344u);
    for (int index : {-1, 3, INT_MAX, INT_MIN}) {
        m_device->SetLedColour(index, 0xFFFFFFFFu);
        EXPECT_EQ(m_device->GetLedColour(index), 0u) << index;
    }
    EXPECT_EQ(m_device->LedSnapshot(), (std::vector<uint32_t>{0, 0x11223344u, 0}));
    EXPECT_FALSE(m_device->SetLightCount(-1));
    EXPECT_FALSE(m_device->SetLightCount(CTolvanicUSBDevice::kMaxCount + 1));
    EXPECT_FALSE(m_device->SetKeyCount(-5));
    EXPECT_EQ(m_device->LedSnapshot(), (std::vector<uint32_t>{0, 0x11223344u, 0}));
    ASSERT_TRUE(m_device->SetLightCount(3));
    EXPECT_EQ(m_device->LedSnapshot(), (std::vector<uint32_t>{0, 0, 0})) << "zeroed also when unchanged";
}

TEST_F(DeviceEffects, OutputFrameScalesEachChannelByTheLevel) {
    m_device->SetLedColour(0, PackLed(255, 128, 0, 128));
    m_device->SetLedColour(2, PackLed(200, 200, 200, 255));
    m_device->OutputLightFrame();
    EXPECT_EQ(m_device->LastFrame(), (std::vector<uint8_t>{127, 64, 0, 0, 0, 0, 199, 199, 199}));
}

TEST_F(DeviceEffects, KeyLevelsAndTheRing) {
    m_device->SetKeyLevel(169, 100);
    m_device->StepKeyLevel(169, 0);
    m_device->StepKeyLevel(-1, 0);
    m_device->StepKeyLevel(170, 0);
    EXPECT_EQ(m_device->KeyLevel(169), 70);

    m_device->SetRingEntry(0, 1);
    m_device->SetRingEntry(8, 1);
    m_device->SetRingEntry(9, 1);
    m_device->LightRingKeys();
    EXPECT_EQ(m_device->KeyLevel(0), 255);
    EXPECT_EQ(m_device->KeyLevel(8), 255);
    EXPECT_EQ(m_device->KeyLevel(9), 0) << "the base lights ring positions 0..8 only";

    m_device->ClearKeyLevels();
    EXPECT_EQ(m_device->KeyLevel(169), 0);
    m_device->SetRingEntry(22, 5);
    m_device->SetRingEntry(3, 7);
    m_device->RotateLevelRing(1);
    EXPECT_EQ(m_device->LevelRing()[0], 5) << "the last entry becomes the first";
    EXPECT_EQ(m_device->LevelRing()[4], 7);
    m_device->RotateLevelRing(0);
    m_device->RotateLevelRing(0);
    EXPECT_EQ(m_device->LevelRing()[21], 5) << "the first entry becomes the last";
    EXPECT_EQ(m_device->LevelRing()[2], 7);
}

} // namespace
} // namespace velkor::test
