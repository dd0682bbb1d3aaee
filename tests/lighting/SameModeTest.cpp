// Same mode across the device kinds, and the synchronisation thread's effects.
#include "lighting/SameMode.h"
#include "LightingTestSupport.h"
#include "devices/LightTables.h"
#include "lighting/LightPanelRouter.h"
#include "platform/Trace.h"
#include "ui/FamilyAccess.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

namespace velkor::test {
namespace {

using ui::test::RangeOf;

class SameModeGroup : public LightingFixture {
protected:
    void SetUp() override {
        LightingFixture::SetUp();
        m_sync = std::make_unique<SyncLighting>(m_ticks);
        m_sameMode = std::make_unique<SameMode>(*m_sync, m_lightPanels, DevicesOfClass(), m_screen);
    }
    LightInfoRecord KeyboardRecord(uint8_t mode) {
        LightInfoRecord record;
        record.selectItem = mode;
        record.light = 3;
        record.speed = 1;
        record.fx = 1;
        record.red = 200;
        record.green = 100;
        record.blue = 50;
        record.customGroup = 2;
        return record;
    }
    std::unique_ptr<SyncLighting> m_sync;
    std::unique_ptr<SameMode> m_sameMode;
};

TEST_F(SameModeGroup, AKeyboardInMode6PutsEveryOpenDeviceInTheSteadyEffect) {
    LoggedDevice& keyboard = AddDevice(DeviceKind::Keyboard, "kb");
    LoggedDevice& mouse1 = AddDevice(DeviceKind::Mouse, "ms1", 10);
    LoggedDevice& mouse2 = AddDevice(DeviceKind::Mouse, "ms2", 10);
    LoggedDevice& pad = AddDevice(DeviceKind::MousePad, "pad", 10);
    LoggedDevice& headset = AddDevice(DeviceKind::Headset, "hs", 10);
    LoggedDevice& closed = AddDevice(DeviceKind::Mouse, "closed", 10);
    closed.SetOpen(false);
    SetRecord(keyboard, KeyboardRecord(6));

    EXPECT_EQ(m_sameMode->Press(&keyboard), 5);
    for (LoggedDevice* device : {&mouse1, &mouse2, &pad, &headset}) {
        const LightInfoRecord record = device->State().LightRecord();
        EXPECT_EQ(record.selectItem, 3);
        EXPECT_EQ(record.light, 3);
        EXPECT_EQ(record.speed, 1);
        EXPECT_EQ(record.red, 200);
        EXPECT_EQ(record.green, 100);
        EXPECT_EQ(record.blue, 50);
        EXPECT_TRUE(IsSynchronised(*device));
        EXPECT_EQ(PanelOf(*device).CurrentMode(), 3) << "shown on its panel";
        EXPECT_EQ(RangeOf(Control(*device, CLightControlUI::kBrightnessSlider)).Value(), 3);
    }
    EXPECT_EQ(keyboard.State().LightRecord().selectItem, 6);
    EXPECT_TRUE(IsSynchronised(keyboard));
    EXPECT_FALSE(IsSynchronised(closed));
    EXPECT_EQ(closed.State().LightRecord().selectItem, 0);
    const std::vector<std::string> log = TakeLog();
    ASSERT_EQ(log.size(), 20u) << "four commit steps on each of five devices";
    EXPECT_EQ(log[0], "kb:SetLightInfo") << "keyboards first";
    EXPECT_EQ(log[4], "ms1:SetLightInfo");
    EXPECT_EQ(log[12], "pad:SetLightInfo");
    EXPECT_EQ(log[16], "hs:SetLightInfo");
    EXPECT_EQ(m_sync->Parameters().effect, SyncEffect::Steady);
    EXPECT_EQ(m_sync->Parameters().red, 200);

    // A brightness change on one mouse takes only that mouse out.
    LightPanelHandlers handlers(m_screen);
    LightPanelRouter router(
        m_lightPanels, [&] { return static_cast<CTolvanicUSBDevice*>(&mouse1); }, handlers, *m_sameMode);
    struct Forward : ui::NotifyReceiver {
        LightPanelRouter* router;
        void Notify(const ui::Notification& n) override { router->Route(n); }
    } forward;
    forward.router = &router;
    ui::Window& mouseWindow = PanelOf(mouse1).Panel().OwnerWindow();
    mouseWindow.AddNotifier(forward);
    ASSERT_TRUE(m_user.StepSlider(Control(mouse1, CLightControlUI::kBrightnessSlider), 1));
    mouseWindow.RemoveNotifier(forward);
    EXPECT_EQ(mouse1.State().LightRecord().light, 1);
    EXPECT_FALSE(IsSynchronised(mouse1));
    for (LoggedDevice* device : {&keyboard, &mouse2, &pad, &headset}) {
        EXPECT_TRUE(IsSynchronised(*device));
        EXPECT_EQ(device->State().LightRecord().light, 3);
    }
}

TEST_F(SameModeGroup, EffectsMapToEachKindsMode) {
    LoggedDevice& mouse = AddDevice(DeviceKind::Mouse, "ms", 10);
    LoggedDevice& keyboard = AddDevice(DeviceKind::Keyboard, "kb");
    LoggedDevice& pad = AddDevice(DeviceKind::MousePad, "pad", 10);
    LoggedDevice& headset = AddDevice(DeviceKind::Headset, "hs", 10);
    SetRecord(mouse, KeyboardRecord(9)); // the mouse's "off"
    ASSERT_EQ(m_sameMode->Press(&mouse), 4);
    EXPECT_EQ(keyboard.State().LightRecord().selectItem, 28);
    EXPECT_EQ(pad.State().LightRecord().selectItem, 8);
    EXPECT_EQ(headset.State().LightRecord().selectItem, 8);

    TakeLog();
    SetRecord(mouse, KeyboardRecord(6)); // offers the button but has no effect
    EXPECT_EQ(m_sameMode->Press(&mouse), 0);
    EXPECT_EQ(m_sameMode->Press(nullptr), 0);
    EXPECT_TRUE(TakeLog().empty());
}

TEST(SyncEffects, ModesAndEffectsRoundTrip) {
    for (DeviceClass kind :
         {DeviceClass::Keyboard, DeviceClass::Mouse, DeviceClass::MousePad, DeviceClass::Headset}) {
        for (int e = 0; e < kSyncEffectCount; ++e) {
            const int mode = ModeOfSyncEffect(kind, SyncEffect(e));
            ASSERT_GE(mode, 0);
            EXPECT_EQ(SyncEffectOfMode(kind, mode), SyncEffect(e)) << int(kind) << " " << e;
        }
    }
    EXPECT_EQ(ModeOfSyncEffect(DeviceClass::None, SyncEffect::Blink), -1);
    EXPECT_FALSE(SyncEffectOfMode(DeviceClass::Mouse, 6));
    EXPECT_EQ(ModeOfSyncEffect(DeviceClass::Keyboard, SyncEffect::Blink), 23);
    EXPECT_EQ(ModeOfSyncEffect(DeviceClass::MousePad, SyncEffect::Off), 8);
}

// The synchronisation steps, driven pass by pass with a 2 ms clock.
class SyncSteps : public SameModeGroup {
protected:
    void SetUp() override {
        SameModeGroup::SetUp();
        m_device = &AddDevice(DeviceKind::Mouse, "ms", 10, 3);
        SetSynchronised(*m_device, true);
        m_sync->RefreshDevices(DevicesOfClass());
        m_sync->ResetTicks(m_now);
    }
    // Runs passes until `steps` steps ran (the ticks went back to 0); returns the time then.
    uint32_t RunSteps(int steps) {
        int done = 0;
        while (done < steps) {
            m_now += 2;
            EXPECT_TRUE(m_sync->Pass(m_now));
            if (m_sync->Phase().ticks == 0) {
                ++done;
            }
        }
        return m_now;
    }
    uint32_t m_now = 1000;
    LoggedDevice* m_device = nullptr;
};

TEST_F(SyncSteps, BlinkTogglesByTheSpeedsThreshold) {
    for (uint8_t speed : {0, 4}) {
        SyncParameters p;
        p.effect = SyncEffect::Blink;
        p.speed = speed;
        p.light = 4;
        p.red = 9;
        m_sync->SetParameters(p);
        const uint32_t interval = uint32_t(SyncStepTicks(speed)) * 200;
        std::vector<uint32_t> toggles;
        bool on = m_sync->Phase().blinkOn;
        while (toggles.size() < 4) {
            RunSteps(1);
            if (m_sync->Phase().blinkOn != on) {
                on = !on;
                toggles.push_back(m_now);
                EXPECT_EQ(m_device->State().GetLedColour(2), on ? PackLed(9, 0, 0, 255) : 0u);
            }
        }
        for (size_t i = 1; i < toggles.size(); ++i) {
            EXPECT_GE(toggles[i] - toggles[i - 1], interval) << int(speed);
            EXPECT_LT(toggles[i] - toggles[i - 1], interval + 2 * 28 + 4) << "within one step";
        }
    }
    EXPECT_EQ(SyncStepTicks(0) * 200, 5600);
    EXPECT_EQ(SyncStepTicks(4) * 200, 1400);
}

TEST_F(SyncSteps, MultiColourBlinkStepsTheWheelBy14) {
    SyncParameters p;
    p.effect = SyncEffect::Blink;
    p.speed = 4;
    p.light = 2;
    p.multiColor = 1;
    m_sync->SetParameters(p);
    std::vector<int> positions;
    uint8_t last = m_sync->Phase().blinkColour;
    while (positions.size() < 15) {
        RunSteps(1);
        if (m_sync->Phase().blinkColour != last) {
            last = m_sync->Phase().blinkColour;
            positions.push_back(last);
        }
    }
    EXPECT_EQ(positions[0], 14);
    EXPECT_EQ(positions[12], 182);
    EXPECT_EQ(positions[13], 0) << "restarts after 182";
}

TEST_F(SyncSteps, BreathingRunsBackwardsWithFxZeroAndCyclesColourTwicePerBreath) {
    SyncParameters p;
    p.effect = SyncEffect::Breathing;
    p.speed = 4;
    p.light = 4;
    p.fx = 0;
    p.multiColor = 1;
    m_sync->SetParameters(p);
    RunSteps(1);
    EXPECT_EQ(m_sync->Phase().breathPhase, 127);
    EXPECT_EQ(m_sync->Phase().breathColour, 0) << "phase 127 does not move the colour";
    RunSteps(1);
    EXPECT_EQ(m_sync->Phase().breathPhase, 126);
    RunSteps(125);
    EXPECT_EQ(m_sync->Phase().breathPhase, 1);
    EXPECT_EQ(m_sync->Phase().breathColour, 16);
    RunSteps(1);
    EXPECT_EQ(m_sync->Phase().breathColour, 32);
    const Rgb colour = kColourWheel[32];
    EXPECT_EQ(m_device->State().GetLedColour(0), PackLed(colour, uint8_t((255 * kBreathingCurve[0]) >> 8)));
}

TEST_F(SyncSteps, ColourCycleAndSteadyPaintEverySynchronisedDevice) {
    LoggedDevice& other = AddDevice(DeviceKind::Keyboard, "kb", 32, 5);
    LoggedDevice& outside = AddDevice(DeviceKind::MousePad, "pad", 10, 5);
    SetSynchronised(other, true);
    other.SetOpen(false); // painted all the same
    m_sync->RefreshDevices(DevicesOfClass());
    SyncParameters p;
    p.effect = SyncEffect::Cycle;
    p.speed = 2;
    p.light = 1;
    m_sync->SetParameters(p);
    RunSteps(1);
    EXPECT_EQ(m_device->State().GetLedColour(1), PackLed(kColourWheel[1], 80));
    EXPECT_EQ(other.State().GetLedColour(4), PackLed(kColourWheel[1], 80));
    EXPECT_EQ(outside.State().GetLedColour(4), 0u);
    p.effect = SyncEffect::Steady;
    p.red = 1;
    p.green = 2;
    p.blue = 3;
    m_sync->SetParameters(p);
    RunSteps(1);
    EXPECT_EQ(other.State().GetLedColour(0), PackLed(1, 2, 3, 80));
}

TEST_F(SyncSteps, NothingRunsWithoutAnOpenSynchronisedDevice) {
    SetSynchronised(*m_device, false);
    EXPECT_FALSE(m_sync->Pass(m_now + 100));
    SetSynchronised(*m_device, true);
    m_device->SetOpen(false);
    EXPECT_FALSE(m_sync->Pass(m_now + 200));
    EXPECT_EQ(m_sync->Phase().ticks, 0u);
    m_sync->ClearDevices();
    m_device->SetOpen(true);
    EXPECT_FALSE(m_sync->Pass(m_now + 300)) << "a device out of the lists is not looked at";
}

TEST_F(SyncSteps, TheThreadStopsWithinItsBoundAndTraces) {
    std::vector<std::string> lines;
    std::mutex mutex;
    ScopedTraceSink sink([&](std::string_view line) {
        std::lock_guard lock(mutex);
        lines.emplace_back(line);
    });
    SteadyTickClock clock;
    SyncLighting sync(clock);
    SyncParameters p;
    p.effect = SyncEffect::Steady;
    p.light = 4;
    p.red = 7;
    sync.SetParameters(p);
    sync.RefreshDevices(DevicesOfClass());
    ASSERT_TRUE(sync.Start());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (m_device->State().GetLedColour(0) != PackLed(7, 0, 0, 255) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(m_device->State().GetLedColour(0), PackLed(7, 0, 0, 255));
    EXPECT_EQ(sync.Stop(), ThreadStopOutcome::Ended);
    std::lock_guard lock(mutex);
    EXPECT_NE(std::find(lines.begin(), lines.end(), std::string(kTraceSyncThreadExit)), lines.end());
}

} // namespace
} // namespace velkor::test
