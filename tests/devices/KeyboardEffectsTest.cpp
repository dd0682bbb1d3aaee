// The keyboard's own effects on a plain 170-key frame: the start steps, the
// renderers' edge cases, the reactive effects fed by key events, the odds of
// starlight, and damaged records that must stay inside every table.
#include "devices/KeyboardEffects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace velkor::test {
namespace {

using namespace kbfx;

constexpr uint8_t kLv4 = 255;

struct Rig {
    explicit Rig(int effect, uint8_t multi = 0, uint8_t fx = 1, size_t leds = 170) {
        frame.Resize(leds);
        frame.light.selectItem = uint8_t(effect);
        frame.light.light = 4;
        frame.light.multiColor = multi;
        frame.light.fx = fx;
        frame.light.red = 200;
        frame.light.green = 100;
        frame.light.blue = 50;
        state.random.Seed(7);
        ResetEffectState(frame, state);
        RunStartStep(frame, state, effect);
    }
    void Render(int frames = 1) {
        for (int i = 0; i < frames; ++i) {
            RenderEffect(frame, state, frame.light.selectItem, now += 16);
        }
    }
    uint8_t Level(int key) const { return frame.keyLevels[size_t(key)]; }
    uint8_t ShownLevel(int key) const { return LedLevel(frame.leds[size_t(key)]); }
    LedFrame frame;
    KeyboardEffectState state;
    uint32_t now = 0;
};

uint32_t Wheel(int position, uint8_t level = kLv4) {
    return PackLed(kColourWheel[size_t(position)], level);
}

TEST(KeyboardEffects, SeedColourPositionsStepsBy33Or97) {
    Rig rig(1);
    const std::vector<uint8_t> first(rig.frame.colourPositions.begin(),
                                     rig.frame.colourPositions.begin() + 7);
    EXPECT_EQ(first, (std::vector<uint8_t>{33, 66, 99, 132, 165, 6, 39}));
}

// One frame of an effect from a prepared record and phase, and what one key shows.
struct FrameCase {
    const char* name;
    int effect;
    uint8_t multi;
    uint8_t phase;
    uint8_t ledMode;
    int key;
    uint32_t expected;
};

class KeyboardEffectFrame : public testing::TestWithParam<FrameCase> {};

constexpr uint32_t kUntouched = 0x01020304;

TEST_P(KeyboardEffectFrame, ShowsTheExpectedColour) {
    const FrameCase& c = GetParam();
    Rig rig(c.effect, c.multi);
    rig.frame.Fill(kUntouched);
    rig.frame.position = c.phase;
    rig.frame.light.ledMode = c.ledMode;
    rig.state.fed = {200, 100, 50};
    rig.Render();
    EXPECT_EQ(rig.frame.leds[size_t(c.key)], c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    KeyboardEffects, KeyboardEffectFrame,
    testing::Values(
        // Phase 190 steps to 191 going forward, so column 0 starts at W[0] and column 1 at W[7].
        FrameCase{"ColumnWaveColumn0", 1, 1, 190, 0, 120, Wheel(0)},
        FrameCase{"ColumnWaveColumn1", 1, 1, 190, 0, 21, Wheel(7)},
        FrameCase{"RingRainbowCentre", 6, 1, 0, 0, 51, Wheel(138)},
        FrameCase{"RingRainbowOuterRing", 6, 1, 0, 0, 41, Wheel(6)},
        FrameCase{"RingRainbowLeavesKeysInNoRing", 6, 1, 0, 0, 120, kUntouched},
        FrameCase{"StaticWithoutMultiColorPaintsAll", 6, 0, 0, 0, 169, PackLed(200, 100, 50, kLv4)},
        FrameCase{"IndicatorTwo", 17, 0, 0, 2, 0, Wheel(70)},
        FrameCase{"IndicatorOther", 17, 0, 0, 7, 169, Wheel(174)},
        FrameCase{"FedColour", 30, 0, 0, 0, 77, PackLed(200, 100, 50, kLv4)},
        FrameCase{"CustomColoursOnlySetTheLevel", 19, 0, 0, 0, 5, (kUntouched & 0xFFFFFF) | 0xFF000000}),
    [](const testing::TestParamInfo<FrameCase>& info) { return std::string(info.param.name); });

// The keys whose level was set this very frame (254 or 255 decays to 214 or 215 in the same frame).
std::set<int> FreshKeys(const Rig& rig, uint8_t fresh) {
    std::set<int> keys;
    for (int k = 0; k < kKeys; ++k) {
        if (rig.Level(k) == fresh) {
            keys.insert(k);
        }
    }
    return keys;
}

TEST(KeyboardEffects, SnakeWalksTheOrderBothWaysAndNeverLightsPosition0GoingBack) {
    constexpr uint8_t kFresh = 254 - 40;
    for (uint8_t fx : {1, 0}) {
        Rig rig(21, 0, fx);
        for (int f = 0; f < 2 * kSnakeLength + 4; ++f) {
            const int before = rig.frame.position;
            rig.Render();
            const std::set<int> fresh = FreshKeys(rig, kFresh);
            const bool rests = fx != 0 ? before > 169 : before == 0;
            if (rests) {
                EXPECT_TRUE(fresh.empty()) << "fx " << int(fx) << " frame " << f;
                EXPECT_EQ(rig.frame.position, fx != 0 ? 0 : 170);
                continue;
            }
            const uint8_t key = kSnakeOrder[size_t(before)];
            if (key != kNoKey && kListedKeys[key]) {
                EXPECT_EQ(fresh, std::set<int>{key}) << "fx " << int(fx) << " position " << before;
            } else {
                EXPECT_TRUE(fresh.empty()) << "position " << before;
            }
            EXPECT_EQ(rig.frame.position, fx != 0 ? before + 1 : before - 1);
        }
    }
}

TEST(KeyboardEffects, DropsWalkThreeWheelPositionsAFrameToTheEndAndStay) {
    Rig rig(24, 1);
    rig.frame.colourPositions.fill(0); // as applying effect 24 leaves them
    constexpr int kNeverDropped = 17;
    for (int f = 0; f < 100; ++f) {
        rig.Render();
        EXPECT_EQ(rig.frame.leds[kNeverDropped], Wheel(std::min(3 * f, 255))) << "frame " << f;
        if (f == 0) {
            EXPECT_EQ(rig.frame.leds[0], Wheel(0)) << "key 0 drops in the first frame";
        } else if (f == 1) {
            EXPECT_EQ(rig.frame.leds[0], Wheel(3));
        }
    }
}

TEST(KeyboardEffects, SequenceRestartsOnlyAfterKey124LitAndFaded) {
    Rig rig(14, 1);
    std::vector<int> stages{0};
    bool farKeyLit = false;
    for (int f = 0; f < 2000 && stages.size() < 7; ++f) {
        rig.Render();
        farKeyLit = farKeyLit || rig.Level(124) != 0;
        if (rig.state.stage != stages.back()) {
            if (rig.state.stage == 0) {
                EXPECT_TRUE(farKeyLit) << "the cycle may only restart after key 124 lit";
                EXPECT_EQ(rig.Level(124), 0) << "... and faded";
                EXPECT_EQ(rig.frame.position, 0);
                farKeyLit = false;
            }
            stages.push_back(rig.state.stage);
        }
    }
    EXPECT_EQ(stages, (std::vector<int>{0, 1, 2, 3, 4, 0, 1}));
}

class ReactiveEffect : public testing::TestWithParam<int> {};

TEST_P(ReactiveEffect, StaysDarkWithoutKeyPresses) {
    Rig rig(GetParam(), 1);
    rig.Render(300);
    for (int k = 0; k < kKeys; ++k) {
        ASSERT_EQ(rig.ShownLevel(k), 0) << "key " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(KeyboardEffects, ReactiveEffect, testing::Values(7, 8, 9, 25));

// Keys at grid distance `d` from key 51 (column 10, row 2).
std::set<int> DiamondRing(int d) {
    std::set<int> keys;
    for (int c = 0; c < kColumns; ++c) {
        for (int r = 0; r < kGridRows; ++r) {
            if (std::abs(c - 10) + std::abs(r - 2) == d && GridKey(c, r) != kNoKey) {
                keys.insert(GridKey(c, r));
            }
        }
    }
    return keys;
}

TEST(KeyboardEffects, APressGrowsTheRippleDiamondReleasesDoNothing) {
    Rig rig(7, 1);
    KeyEvent(rig.frame, rig.state, 51, kPress);
    KeyEvent(rig.frame, rig.state, 30, kRelease);
    for (int d = 0; d <= 3; ++d) {
        rig.Render();
        EXPECT_EQ(FreshKeys(rig, 255 - 40), DiamondRing(d)) << "frame " << d;
    }
}

TEST(KeyboardEffects, AGlowRisesWhileHeldAndFallsAfterTheRelease) {
    Rig rig(8, 1);
    KeyEvent(rig.frame, rig.state, 51, kPress);
    rig.Render(3);
    EXPECT_EQ(rig.ShownLevel(51), 255 * 255 >> 8) << "held: full";
    KeyEvent(rig.frame, rig.state, 51, kRelease);
    rig.Render();
    EXPECT_EQ(rig.Level(51), 250);
    rig.Render(50);
    EXPECT_EQ(rig.ShownLevel(51), 0);
    EXPECT_EQ(rig.ShownLevel(52), 0) << "only the pressed key glows";
}

TEST(KeyboardEffects, KeyGlowLiftsTheNeighbourhoodAndAHeldNeighbourKeepsAReleasedKeyLit) {
    Rig rig(25, 1);
    KeyEvent(rig.frame, rig.state, 51, kPress);
    EXPECT_EQ(rig.Level(51), 255);
    for (int key : {30, 72, 50, 52}) {
        EXPECT_EQ(rig.Level(key), 150) << key;
    }
    for (int key : {7, 92, 29, 31, 71, 73}) {
        EXPECT_EQ(rig.Level(key), 90) << key;
    }
    for (int key : {49, 53}) {
        EXPECT_EQ(rig.Level(key), 60) << key;
    }
    EXPECT_EQ(rig.Level(54), 0) << "three columns away";

    KeyEvent(rig.frame, rig.state, 50, kPress); // the left neighbour is held too
    KeyEvent(rig.frame, rig.state, 51, kRelease);
    EXPECT_EQ(rig.state.press[51], 1) << "a held neighbour keeps it lit";
    EXPECT_EQ(rig.state.held[51], 0);
    EXPECT_EQ(rig.state.press[53], 2) << "no held key near 53";
    EXPECT_EQ(rig.Level(53), 0);
    rig.Render(20);
    EXPECT_EQ(rig.Level(51), 255);
    EXPECT_EQ(rig.Level(53), 0);
}

TEST(KeyboardEffects, StarlightPicksPosition0SixteenTimesAsOften) {
    Rig rig(10, 1);
    constexpr int kFrames = 20000;
    std::vector<int> litFrames(kKeys, 0);
    for (int f = 0; f < kFrames; ++f) {
        rig.Render();
        for (int key : FreshKeys(rig, 255 - 40)) {
            ++litFrames[size_t(key)];
        }
    }
    // Six picks a frame: a key picked with odds p is lit in a frame with odds 1 - (1 - p)^6.
    auto odds = [&](int key) { return 1 - std::pow(1 - double(litFrames[size_t(key)]) / kFrames, 1.0 / 6); };
    double others = 0;
    for (int position = 1; position <= 106; ++position) {
        others += odds(kKeyOrder[size_t(position)]);
    }
    others /= 106;
    EXPECT_NEAR(odds(kKeyOrder[0]) / others, 16.0, 1.5);
    EXPECT_NEAR(others, 1.0 / 126, 0.0008);
    for (int key = 0; key < kKeys; ++key) {
        if (!kListedKeys[size_t(key)]) {
            ASSERT_EQ(litFrames[size_t(key)], 0) << "key " << key << " is at no position";
        }
    }
}

// A record and a state damaged every way the profile or a stale effect can
// leave them; every renderer, start step and key event stays in its tables.
TEST(KeyboardEffects, EveryEffectWithADamagedRecordStaysInsideTheBuffer) {
    for (size_t leds : {size_t(170), size_t(60)}) {
        for (int effect = 0; effect <= 31; ++effect) {
            Rig rig(effect, 255, 255, leds);
            rig.frame.light = {uint8_t(effect), 255, 255, 255, 255, 255, 255, 255,
                               {255, 255, 255}, 255, 255, 255};
            rig.frame.position = 255;
            rig.frame.keyLevels.fill(255);
            rig.frame.colourPositions.fill(255);
            rig.frame.ring.fill(0xA5);
            rig.frame.flashState.fill(0x5A);
            rig.frame.records.assign(leds, LedRecord{9});
            rig.state.stage = 255;
            for (auto& mask : rig.state.masks) {
                mask.fill(0xFF);
            }
            rig.state.pulse.fill(255);
            rig.state.held.fill(1);
            for (int key : {-1, 0, 51, 169, 170, 255}) {
                KeyEvent(rig.frame, rig.state, key, kPress);
                KeyEvent(rig.frame, rig.state, key, kRelease);
            }
            RunStartStep(rig.frame, rig.state, effect);
            rig.Render(400);
            ASSERT_EQ(rig.frame.leds.size(), leds);
            for (uint8_t mark : rig.frame.ring) {
                ASSERT_EQ(mark, 0xA5) << "effect " << effect;
            }
            for (uint8_t state : rig.frame.flashState) {
                ASSERT_EQ(state, 0x5A) << "effect " << effect;
            }
            ASSERT_EQ(rig.frame.records, std::vector<LedRecord>(leds, LedRecord{9})) << "effect " << effect;
        }
    }
}

} // namespace
} // namespace velkor::test
