// The light threads' renderers: thresholds, the custom step player, the
// per-LED list, and the mouse's and the pad's own effects, on plain frames.
#include "devices/DeviceParts.h"
#include "devices/EffectPlayers.h"
#include "devices/KindRenderers.h"
#include "devices/LightTables.h"

#include <gtest/gtest.h>

#include <set>

namespace velkor::test {
namespace {

LedFrame Frame(size_t leds, LightInfoRecord light = {}) {
    LedFrame frame;
    frame.Resize(leds);
    frame.light = light;
    return frame;
}

TEST(LightRenderer, ThresholdsByKindEffectAndSpeed) {
    EXPECT_EQ(StepThreshold(LightKind::Keyboard, 3, 4), 1);
    EXPECT_EQ(StepThreshold(LightKind::Keyboard, 3, 0), 10);
    EXPECT_EQ(StepThreshold(LightKind::Keyboard, 16, 4), 3);
    EXPECT_EQ(StepThreshold(LightKind::Keyboard, 30, 1), 0);
    EXPECT_EQ(StepThreshold(LightKind::Keyboard, 29, 0), 2);
    EXPECT_EQ(StepThreshold(LightKind::Mouse, 5, 0), 16);
    EXPECT_EQ(StepThreshold(LightKind::Pad, 0, 255), 1) << "a damaged speed counts as 4";
    EXPECT_EQ(StepTypeThreshold(5, 0), 10);
    EXPECT_EQ(StepTypeThreshold(200, 200), 1);
}

// The light thread's pace in passes: the first pass only starts the count;
// an effect whose threshold is 1 (keyboard speed 4) then renders on every
// tick, one of threshold 10 (speed 0) on every tenth. A late pass counts the
// ticks it missed, so load does not slow an effect.
TEST(LightRenderer, KeyboardSpeedFourRendersEveryTickAfterTheFirstAndSpeedZeroEveryTenth) {
    for (const int speed : {4, 0}) {
        LightPacer pacer(kLightPassMs);
        const uint32_t threshold = StepThreshold(LightKind::Keyboard, 5, uint8_t(speed));
        std::vector<int> frames;
        for (int pass = 0; pass <= 30; ++pass) {
            if (pacer.Advance(1000 + uint32_t(pass) * kLightPassMs) > 0 && pacer.FrameDue(threshold)) {
                frames.push_back(pass);
            }
        }
        const std::vector<int> expected = speed == 4 ? std::vector<int>{1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                                                        11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                                                        21, 22, 23, 24, 25, 26, 27, 28, 29, 30}
                                                     : std::vector<int>{10, 20, 30};
        EXPECT_EQ(frames, expected) << "speed " << speed;
    }
    LightPacer late(kLightPassMs);
    late.Advance(0);
    EXPECT_EQ(late.Advance(10 * kLightPassMs + 3), 10u);
    EXPECT_TRUE(late.FrameDue(10)) << "ten ticks late is a frame due at once";
    EXPECT_EQ(late.MsToNextTick(10 * kLightPassMs + 3), kLightPassMs - 3);
}

// A pass that rendered sleeps until the tick at which its next frame is due,
// not until the next tick: the pad's and the headset's 32 ms ticks.
TEST(LightRenderer, APassSleepsUntilTheTickItsNextFrameIsDueAt) {
    constexpr uint32_t kTick = 2 * kLightPassMs;
    struct Case {
        uint32_t threshold;
        uint32_t ticksSinceFrame;
        uint32_t msIntoTick;
        uint32_t expectedMs;
    };
    const Case cases[] = {
        {1, 0, 0, kTick},                 // every tick
        {4, 0, 0, 4 * kTick},             // just rendered
        {4, 0, 10, 4 * kTick - 10},       // a late pass
        {8, 3, 5, 4 * kTick + kTick - 5}, // three ticks on
        {2, 3, 7, kTick - 7},             // due already: the next tick
    };
    for (const Case& c : cases) {
        LightPacer pacer(kTick);
        pacer.Advance(0);
        pacer.Advance(8 * kTick);
        ASSERT_TRUE(pacer.FrameDue(c.threshold));
        const uint32_t now = 8 * kTick + c.ticksSinceFrame * kTick + c.msIntoTick;
        pacer.Advance(now);
        EXPECT_EQ(pacer.MsToFrameDue(c.threshold, now), c.expectedMs)
            << "threshold " << c.threshold << ", " << c.ticksSinceFrame << " ticks on";
    }
}

TEST(LightRenderer, ThreeOneSecondStepsEachShowJustOverASecondThenWrap) {
    EffectStepPlayer player;
    EffectStepPlayer::Steps steps;
    for (uint8_t c : {0, 1, 2}) {
        LedEffectStep step;
        step.mode = 1; // static
        step.brightness = 4;
        step.speed = 4;
        step.red = c == 0 ? 255 : 0;
        step.green = c == 1 ? 255 : 0;
        step.blue = c == 2 ? 255 : 0;
        step.time = 1000;
        steps.steps.push_back(step);
    }
    LedFrame frame = Frame(3);
    auto with = [&](auto&& work) { work(steps); };
    std::vector<std::pair<uint32_t, int>> changes; // when each step first showed
    int shown = -1;
    for (uint32_t now = 0; now <= 3400; now += kLightPassMs) {
        player.Pass(frame, with, now);
        const uint32_t led = frame.leds[0];
        const int colour = LedRed(led) ? 0 : LedGreen(led) ? 1 : LedBlue(led) ? 2 : -1;
        if (colour != shown) {
            changes.push_back({now, colour});
            shown = colour;
        }
    }
    ASSERT_GE(changes.size(), 4u);
    EXPECT_EQ(changes[0].second, 0);
    EXPECT_EQ(changes[1].second, 1);
    EXPECT_EQ(changes[2].second, 2);
    EXPECT_EQ(changes[3].second, 0) << "wraps to the first";
    for (size_t i = 1; i < 4; ++i) {
        const uint32_t lasted = changes[i].first - changes[i - 1].first;
        EXPECT_GT(lasted, 1000u);
        EXPECT_LT(lasted, 1000u + 3 * kLightPassMs);
    }
}

// Two keyboards in custom effects: each plays its own steps at its own pace
// (a player shared by a kind would mix their step indexes and times).
TEST(LightRenderer, TwoDevicesStepThroughTheirOwnCustomEffects) {
    const auto staticStep = [](uint8_t red, uint8_t green, uint8_t blue, int32_t ms) {
        LedEffectStep step;
        step.mode = 1;
        step.brightness = 4;
        step.speed = 4;
        step.red = red;
        step.green = green;
        step.blue = blue;
        step.time = ms;
        return step;
    };
    LightPlayback first;
    LightPlayback second;
    first.EffectSteps().With([&](EffectStepPlayer::Steps& steps) {
        steps = {{staticStep(255, 0, 0, 1000), staticStep(0, 255, 0, 1000)}, 0};
    });
    second.EffectSteps().With([&](EffectStepPlayer::Steps& steps) {
        steps = {{staticStep(0, 0, 255, 300), staticStep(255, 255, 255, 300)}, 0};
    });
    LedFrame a = Frame(4);
    LedFrame b = Frame(4);
    int firstChanges = 0;
    int secondChanges = 0;
    uint32_t lastA = 0;
    uint32_t lastB = 0;
    for (uint32_t now = 0; now < 1900; now += kLightPassMs) {
        first.PlaySteps(a, now);
        second.PlaySteps(b, now);
        firstChanges += a.leds[0] != lastA;
        secondChanges += b.leds[0] != lastB;
        lastA = a.leds[0];
        lastB = b.leds[0];
    }
    EXPECT_EQ(firstChanges, 2) << "red, then green after a second";
    EXPECT_EQ(lastA, PackLed(0, 255, 0, 255));
    EXPECT_EQ(secondChanges, 7) << "blue and white in turn, every 300 ms";
}

TEST(LightRenderer, DamagedStepsAndListEntriesStayInsideTheTables) {
    LedEffectStep wild;
    wild.speed = 255;
    wild.brightness = 255;
    wild.direction = 255;
    wild.multiColor = 1;
    wild.time = -5;
    EffectStepPlayer player;
    LedFrame frame = Frame(170);
    for (uint8_t type : {0, 1, 2, 3, 4, 5, 200}) {
        wild.mode = type;
        EffectStepPlayer::Steps steps{{wild}, 7};
        for (uint32_t pass = 0; pass < 300; ++pass) {
            player.Pass(
                frame, [&](auto&& work) { work(steps); }, pass * kLightPassMs);
        }
        EXPECT_EQ(steps.current, 0) << "an index past the list starts again";
    }
    EffectStepPlayer::Steps none;
    frame.Fill(0xFFFFFFFFu);
    player.Pass(
        frame, [&](auto&& work) { work(none); }, 0);
    EXPECT_EQ(frame.leds[0], 0u) << "an empty effect is dark";

    std::vector<LightListEntry> list(170);
    for (size_t n = 0; n < list.size(); ++n) {
        list[n] = {uint8_t(n % 6), 255, 255, 1, uint8_t(n % 2), 10, 20, 30};
        list[n].present = n % 7 != 0;
    }
    LightListRenderer renderer;
    renderer.Reset(list);
    frame.Fill(0x01020304u);
    for (uint32_t pass = 0; pass < 400; ++pass) {
        renderer.Pass(frame, list, pass * kLightPassMs);
    }
    EXPECT_EQ(frame.leds[0], 0x01020304u) << "a missing entry leaves its LED alone";
    EXPECT_EQ(frame.leds[1], PackLed(10, 20, 30, 255)) << "static at the top level";
    EXPECT_EQ(frame.leds[4], 0u) << "type 4 is dark";
}

TEST(LightRenderer, MouseWaveLightsRowsAndTheRingTravels) {
    LedFrame frame = Frame(15, LightInfoRecord{0, 4, 4, 1, 1});
    leds::MouseWave(frame);
    EXPECT_EQ(frame.leds[0], frame.leds[13]) << "a row shares its colour";
    EXPECT_EQ(frame.leds[6], frame.leds[14]);
    EXPECT_NE(frame.leds[0], frame.leds[1]);

    frame = Frame(15, LightInfoRecord{5, 4, 4, 1, 0, 255, 0, 0});
    leds::ResetEffect(frame, true);
    std::set<int> litRows;
    for (int pass = 0; pass < 7; ++pass) {
        leds::MouseFlowingRing(frame);
        int brightest = 0;
        for (int row = 1; row < 7; ++row) {
            if (LedLevel(frame.leds[size_t(row)]) > LedLevel(frame.leds[size_t(brightest)])) {
                brightest = row;
            }
        }
        litRows.insert(brightest);
    }
    EXPECT_GE(litRows.size(), 3u) << "the head moves from row to row";
    const int before = LedLevel(frame.leds[0]) + LedLevel(frame.leds[1]) + LedLevel(frame.leds[2]);
    EXPECT_GT(before, 0);
}

TEST(LightRenderer, TheFlashRisesAndFallsAndPadRingsLight) {
    LedFrame frame = Frame(15, LightInfoRecord{6, 4, 4, 0, 0, 0, 0, 255});
    leds::MouseFlash(frame);
    EXPECT_EQ(LedLevel(frame.leds[3]), 0) << "no flash without a click";
    leds::StartFlash(frame, 50);
    leds::MouseFlash(frame);
    EXPECT_EQ(LedLevel(frame.leds[3]), ScaleChannel(255, 255));
    for (int pass = 0; pass < 5; ++pass) {
        leds::MouseFlash(frame);
    }
    EXPECT_EQ(LedLevel(frame.leds[3]), ScaleChannel(255, 255 - 5 * 15));

    for (int effect : {6, 7}) {
        LedFrame pad = Frame(15, LightInfoRecord{uint8_t(effect), 4, 4, 1, 0, 0, 255, 0});
        leds::ResetEffect(pad, true);
        int lit = 0;
        for (int pass = 0; pass < 10; ++pass) {
            effect == 6 ? leds::PadChasingRing(pad) : leds::PadPairedRing(pad);
            for (uint32_t led : pad.leds) {
                lit += LedLevel(led) != 0;
            }
        }
        EXPECT_GT(lit, 0) << "a seeded pad ring shows, effect " << effect;
    }
}

} // namespace
} // namespace velkor::test
