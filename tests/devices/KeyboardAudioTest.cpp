// The keyboard's audio effect on a plain 170-key frame: each style's edge
// cases from fixed band blocks, the latch of the dropping columns, the beat
// detector's rate, the hand-over slot, and any 32-bit level in every style.
#include "devices/KeyboardEffects.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

namespace velkor::test {
namespace {

using namespace kbfx;

constexpr Rgb kFg{200, 100, 50};
constexpr Rgb kBk{1, 2, 3};
constexpr uint32_t kUntouched = 0x01020304;
// A lit key at full brightness shows 255 x 255 >> 8.
constexpr uint8_t kLit = 254;

struct Rig {
    explicit Rig(uint8_t style, uint8_t seven = 0) {
        frame.Resize(170);
        frame.light.selectItem = 29;
        frame.light.light = 4;
        frame.light.fx = 1;
        state.audio.record = {style, kBk.red, kBk.green, kBk.blue, kFg.red, kFg.green, kFg.blue, seven, 0};
        ResetEffectState(frame, state);
        frame.Fill(kUntouched);
    }
    void Render(const AudioBandBlock& bands) {
        state.audio.bands = bands;
        RenderEffect(frame, state, 29, 0);
    }
    uint8_t Level(int key) const { return frame.keyLevels[size_t(key)]; }
    LedFrame frame;
    KeyboardEffectState state;
};

AudioBandBlock All(int32_t value) {
    AudioBandBlock bands;
    bands.fill(value);
    return bands;
}

AudioBandBlock With(std::initializer_list<std::pair<int, int32_t>> set) {
    AudioBandBlock bands{};
    for (auto [band, value] : set) {
        bands[size_t(band)] = value;
    }
    return bands;
}

// One frame of a style from silence, and which keys it lit (level 255).
struct StyleCase {
    const char* name;
    uint8_t style;
    AudioBandBlock bands;
    std::vector<int> lit;   // keys at level 255 afterwards
    std::vector<int> unlit; // keys below it
    int phase;              // the frame phase afterwards
};

class AudioStyle : public testing::TestWithParam<StyleCase> {};

TEST_P(AudioStyle, LightsTheBarsOfItsBands) {
    const StyleCase& c = GetParam();
    Rig rig(c.style);
    rig.Render(c.bands);
    for (int key : c.lit) {
        EXPECT_EQ(rig.Level(key), 255) << "key " << key;
        EXPECT_EQ(rig.frame.leds[size_t(key)], PackLed(kFg, kLit)) << "key " << key;
    }
    for (int key : c.unlit) {
        EXPECT_LT(rig.Level(key), 255) << "key " << key;
        // A ring that is not lit keeps its colour and shows its (zero) level.
        const uint32_t expected = c.style == 3 ? (kUntouched & 0xFFFFFFu) : PackLed(kBk, 255);
        EXPECT_EQ(rig.frame.leds[size_t(key)], expected) << "key " << key;
    }
    EXPECT_EQ(rig.frame.position, c.phase);
}

INSTANTIATE_TEST_SUITE_P(
    KeyboardAudio, AudioStyle,
    testing::Values(
        StyleCase{"RisingColumnsSilence", 0, All(0), {}, {7, 30, 51, 72, 92, 109, 120, 124}, 1},
        // Column 10's rows 1..5 light; its top key never does.
        StyleCase{"RisingColumnsOneBandFull", 0, With({{10, 2000}}), {30, 51, 72, 92, 109}, {7, 29, 31}, 1},
        StyleCase{"RingsSilence", 3, All(0), {}, {51, 30, 118}, 20},
        // Above 2000 a clamped style reads fairly quiet: row 5 shows bands 0 and 1, only column 0.
        StyleCase{"RowBarsAboveFullIsFairlyQuiet", 5, With({{0, 4000}, {1, 4000}}), {124}, {105, 106}, 1},
        // A group is its sum / 3: bands 0 and 1 at 3000 make group 0 full.
        StyleCase{"RowBarsGroupAtFullLightsToColumn20",
                  5,
                  With({{0, 3000}, {1, 3000}}),
                  {124, 105, 104},
                  {117, 131},
                  1},
        // Silence: even rows light nothing, odd rows column 0 only.
        StyleCase{"AlternatingRowsSilence", 6, All(0), {120, 122, 124}, {121, 123, 21, 0, 42}, 1}),
    [](const testing::TestParamInfo<StyleCase>& info) { return std::string(info.param.name); });

TEST(KeyboardAudio, RingsLightAllTwelveRingsAtFullLevelAndHoldThePhase) {
    Rig rig(3);
    rig.frame.position = 40;
    rig.Render(All(2000));
    EXPECT_EQ(rig.frame.position, 40);
    int q = 40;
    for (int i = 0; i < kRings; ++i) {
        q = (q + 9) % 192;
        for (uint8_t key : kRingMatrix[size_t(i)]) {
            if (key != kNoKey && kListedKeys[key]) {
                EXPECT_EQ(rig.frame.leds[key], PackLed(kColourWheel[size_t(q)], kLit)) << "ring " << i;
            }
        }
    }
}

TEST(KeyboardAudio, EachBlockIsShownOnceAndAFrameWithoutAFeedSeesSilence) {
    Rig rig(0);
    rig.Render(With({{10, 2000}}));
    EXPECT_EQ(rig.state.audio.bands, AudioBandBlock{});
    RenderEffect(rig.frame, rig.state, 29, 0);
    EXPECT_LT(rig.Level(30), 255) << "the column falls";
}

TEST(KeyboardAudio, AStyleAbove6LeavesTheBufferAndThePhase) {
    Rig rig(7);
    rig.frame.position = 33;
    rig.Render(All(2000));
    for (uint32_t led : rig.frame.leds) {
        ASSERT_EQ(led, kUntouched);
    }
    EXPECT_EQ(rig.frame.position, 33);
}

TEST(KeyboardAudio, DroppingColumnsLatchUntilTheBottomKeyFadesThenRetrigger) {
    constexpr int kRow1 = 30, kBottom = 109; // column 10
    Rig rig(4);
    rig.Render(All(2000));
    ASSERT_EQ(rig.Level(kRow1), 255);
    ASSERT_EQ(rig.Level(kBottom), 255);
    int retriggers = 0;
    for (int frame = 0; frame < 400 && retriggers < 2; ++frame) {
        const uint8_t bottomBefore = rig.Level(kBottom);
        rig.Render(All(2000));
        const bool retriggered = rig.Level(kRow1) == 255;
        ASSERT_EQ(retriggered, bottomBefore < 10)
            << "frame " << frame << ", bottom was " << int(bottomBefore);
        retriggers += retriggered ? 1 : 0;
    }
    EXPECT_EQ(retriggers, 2) << "the latch must release once the bottom key has faded";
}

TEST(KeyboardAudio, AResetSetsEveryDropFlagButKeepsTheSecondAndThirdPhases) {
    Rig rig(4);
    rig.state.audio.second = 7;
    rig.state.audio.third = 4;
    rig.state.audio.drops.fill(false);
    rig.state.audio.bands.fill(99);
    ResetEffectState(rig.frame, rig.state);
    for (bool drop : rig.state.audio.drops) {
        EXPECT_TRUE(drop);
    }
    EXPECT_EQ(rig.state.audio.bands, AudioBandBlock{});
    EXPECT_EQ(rig.state.audio.second, 7);
    EXPECT_EQ(rig.state.audio.third, 4);
}

TEST(KeyboardAudio, ABeatRippleStartsOnEveryThirdFullFeedAndNeverInSilence) {
    BeatDetector loud;
    for (int feed = 1; feed <= 9; ++feed) {
        EXPECT_EQ(loud.Feed(All(2000)), feed % 3 == 0) << "feed " << feed;
    }
    BeatDetector quiet;
    for (int feed = 0; feed < 100; ++feed) {
        ASSERT_FALSE(quiet.Feed(All(0)));
    }
    EXPECT_EQ(quiet.Accumulator(), 0);
}

TEST(KeyboardAudio, TheInboxHandsOverBandsAndRipplesOnceEach) {
    AudioInbox inbox;
    EXPECT_FALSE(inbox.HasNews());
    const AudioBandBlock bands = With({{0, 5}, {24, 9}});
    inbox.PutBands(std::vector<int32_t>(bands.begin(), bands.end()));
    inbox.AddRipple();
    inbox.AddRipple();
    EXPECT_TRUE(inbox.HasNews());
    AudioInbox::Delivery first = inbox.Take(false);
    EXPECT_FALSE(inbox.HasNews());
    EXPECT_EQ(first.ripples, 2u);
    EXPECT_EQ(first.bands, AudioBandBlock{}) << "not asked for";
    AudioInbox::Delivery second = inbox.Take(true);
    EXPECT_EQ(second.bands, bands);
    EXPECT_EQ(second.ripples, 0u);
    EXPECT_EQ(inbox.Take(true).bands, AudioBandBlock{});
}

// A fed frame is drawn at once; the schedule's frames go on while no feed
// comes, but give way while feeds keep coming.
TEST(KeyboardAudio, FedFramesComeAtOnceAndScheduledOnesWaitWhileFeedsComeIn) {
    AudioFrameGate gate;
    EXPECT_TRUE(gate.Draw(false, true, 0)) << "no feed yet: the schedule";
    EXPECT_FALSE(gate.Draw(false, false, 10));
    EXPECT_TRUE(gate.Draw(true, false, 100)) << "a feed, between two ticks";
    EXPECT_FALSE(gate.Draw(false, true, 100 + AudioFrameGate::kHoldMs - 1)) << "the next feed is due";
    EXPECT_TRUE(gate.Draw(true, false, 132));
    EXPECT_TRUE(gate.Draw(false, true, 132 + AudioFrameGate::kHoldMs)) << "the feeds stopped: silence";
}

TEST(KeyboardAudio, TheScaleIsComputedWithoutOverflow) {
    EXPECT_EQ(Quietness(0), 600);
    EXPECT_EQ(Quietness(2000), 0);
    EXPECT_EQ(Quietness(INT32_MAX), 600 - int64_t(INT32_MAX) * 600 / 2000);
    EXPECT_EQ(ClampedQuietness(INT32_MAX), 500);
    EXPECT_EQ(ClampedQuietness(INT32_MIN), 600);
}

// Any 32-bit level in any style stays inside the tables and the buffer, and
// no key shows brighter than the record's brightness (run under UBSan too).
TEST(KeyboardAudio, EveryStyleTakesAnyLevel) {
    for (uint8_t style = 0; style < kAudioStyles; ++style) {
        for (int32_t value : {0, 2000, INT32_MAX, INT32_MIN, -1}) {
            for (uint8_t seven : {0, 1}) {
                Rig rig(style, seven);
                rig.frame.light.light = 2;
                rig.frame.light.fx = seven;
                for (int frame = 0; frame < 30; ++frame) {
                    rig.Render(All(value));
                    if (style == 2 && frame % 5 == 0) {
                        SeedRipple(rig.state, 51, kPress);
                    }
                }
                for (uint32_t led : rig.frame.leds) {
                    ASSERT_TRUE(led == kUntouched || LedLevel(led) <= BrightnessLevel(2))
                        << "style " << int(style) << " value " << value;
                }
                ASSERT_LT(rig.state.audio.second, 26);
            }
        }
    }
}

} // namespace
} // namespace velkor::test
