// The state model tells its observers what changed, once per change, and
// nothing for a write that changes nothing.
#include "devices/DeviceState.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace velkor::test {
namespace {

class StillClock final : public TickClock {
public:
    uint32_t NowMs() const override { return 1000; }
};

LightInfoWords WithEffect(uint8_t effect, uint8_t red) {
    LightInfoRecord record;
    record.selectItem = effect;
    record.red = red;
    return LightInfoToWords(record);
}

struct ChangeCase {
    std::string name;
    std::function<void(DeviceState&)> change;
    std::vector<StateChange> heard;
};

class DeviceStateChanges : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(DeviceStateChanges, ObserversHearExactlyWhatChanged) {
    StillClock clock;
    DeviceState state(clock);
    state.SetLightCount(4);
    state.StoreLightInfo(WithEffect(2, 10));
    std::vector<StateChange> heard;
    state.Observe([&](StateChange change) { heard.push_back(change); });

    GetParam().change(state);

    EXPECT_EQ(heard, GetParam().heard);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeviceStateChanges,
    ::testing::Values(
        ChangeCase{"OtherEffect",
                   [](DeviceState& s) { s.StoreLightInfo(WithEffect(3, 10)); },
                   {StateChange::Effect}},
        // A colour of the same effect needs no renderer change.
        ChangeCase{"SameEffectOtherColour", [](DeviceState& s) { s.StoreLightInfo(WithEffect(2, 99)); }, {}},
        ChangeCase{"LightControlOff",
                   [](DeviceState& s) { s.SetLightControlFlag(false); },
                   {StateChange::LightControl}},
        ChangeCase{"LightControlAlreadyOn", [](DeviceState& s) { s.SetLightControlFlag(true); }, {}},
        ChangeCase{"PictureOffTwice",
                   [](DeviceState& s) {
                       s.SetPictureFlag(false);
                       s.SetPictureFlag(false);
                   },
                   {StateChange::Picture}},
        // The power panel shows the battery area on every set, also an unchanged one.
        ChangeCase{
            "BatteryUnchanged", [](DeviceState& s) { s.SetBatteryFlag(false); }, {StateChange::Battery}},
        ChangeCase{"LedsAndLevels",
                   [](DeviceState& s) {
                       s.SetLedColour(1, 0xFF0000FF);
                       s.StepKeyLevel(0, 0);
                       s.EffectOff();
                   },
                   {}}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) { return info.param.name; });

TEST(DeviceState, TrayFollowsTheBatteryAndTheFrameScalesByLevel) {
    StillClock clock;
    DeviceState state(clock);
    state.SetTrayFlag(true);
    EXPECT_FALSE(state.TrayFlag()); // no battery, no tray
    state.SetBatteryFlag(true);
    state.SetTrayFlag(true);
    state.SetBatteryFlag(false);
    EXPECT_FALSE(state.TrayFlag());

    state.SetLightCount(2);
    state.SetLedColour(1, 0x80FF4020); // red 0x20, green 0x40, blue 0xFF, level 0x80
    state.SetLedColour(2, 0xFFFFFFFF); // outside: refused
    const std::vector<uint32_t>& leds = state.BuildFrame();
    ASSERT_EQ(leds.size(), 2u);
    const std::vector<uint8_t> expected{0, 0, 0, 0x20 * 0x80 >> 8, 0x40 * 0x80 >> 8, 0xFF * 0x80 >> 8};
    EXPECT_EQ(state.LastFrame(), expected);
}

} // namespace
} // namespace velkor::test
