// The headset in the main window, on the simulated family and the simulated
// audio plugin as shipped: attach, the library's state read back, an
// equaliser change that reaches the plugin and the profile, and LED frames
// that reach the headset off the user-interface thread.
#include "MainWndFixture.h"
#include "headset/TolvanicHS6533Device.h"

#include "devices/LightTables.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace velkor::test {
namespace {

using sim::SimUnit;

class HeadsetInMainWindow : public MainWndFixture {
protected:
    HeadsetInMainWindow() { m_folder.AddDefaultData(); }
};

TEST_F(HeadsetInMainWindow, AttachesReadsTheLibraryAndLightsTheHeadset) {
    m_sim.Plug(SimUnit::Headset);
    MainWndServices services = Services();
    services.audioPlugin = VELKOR_SIM_PLUGIN;
    ASSERT_TRUE(StartWith(services));
    CTolvanicHS6533Device* headset = nullptr;
    ASSERT_TRUE(Until([&] {
        if (m_main->Discovery() != nullptr) {
            for (CTolvanicUSBDevice* device : m_main->Discovery()->DevicesOfClass(7)) {
                headset = dynamic_cast<CTolvanicHS6533Device*>(device);
            }
        }
        return headset != nullptr && headset->LightThreadRunning();
    }));
    ASSERT_NE(headset->Audio(), nullptr);
    EXPECT_TRUE(headset->Availability(AudioGroup::Microphone).available);
    // The plugin's microphone level (0.75), not the default profile's 80.
    EXPECT_EQ(headset->Settings().micInValue, 75);
    EXPECT_EQ(headset->View().micSlider, 75);

    headset->SelectEqPreset(11);
    EXPECT_EQ(headset->Audio()->GetInt(headset->Audio()->Output(), u"EQ_Slider1"), 18);
    EXPECT_EQ(headset->HeadsetProfile().ReadHeadsetSystem().eqType, 11);

    // The window in the tray: the picture is unseen, so the tick stops, yet
    // the light thread carries the frames to the headset.
    m_main->HideToTray();
    m_toolkit->AdvanceTime(50);
    const auto timers = m_toolkit->RunningTimers(headset->ListItem()->Item());
    EXPECT_EQ(std::count(timers.begin(), timers.end(), kTimerLightFrame), 0);
    EXPECT_TRUE(headset->FramesWanted());

    // Static white at full brightness: every LED of both targets at 247.
    LightInfoRecord light = headset->LightRecord();
    light.selectItem = 3;
    light.light = 4;
    light.red = light.green = light.blue = 255;
    headset->SetLightInfo(LightInfoToWords(light));
    headset->ApplyLightState();
    ASSERT_TRUE(Until(
        [&] {
            const auto leds = m_sim.HeadsetLeds(0x44);
            return std::all_of(leds.begin(), leds.end(), [](uint8_t v) { return v == 247; });
        },
        10));
    EXPECT_EQ(m_sim.HeadsetLeds(0x22), m_sim.HeadsetLeds(0x44));

    // Synchronised lighting rests the light thread: the tick carries the frames.
    headset->SetSynchronisedLighting(true);
    const auto syncTimers = m_toolkit->RunningTimers(headset->ListItem()->Item());
    EXPECT_EQ(std::count(syncTimers.begin(), syncTimers.end(), kTimerLightFrame), 1);
    ASSERT_TRUE(Until(
        [&] {
            for (int led = 0; led < headset->LightCount(); ++led) { // as the synchronisation paints
                headset->SetLedColour(led, PackLed(255, 0, 0, 255));
            }
            const auto leds = m_sim.HeadsetLeds(0x44);
            return std::count(leds.begin(), leds.end(), 0) == 26; // red: green and blue go to 0
        },
        10));
    headset->SetSynchronisedLighting(false);
}

} // namespace
} // namespace velkor::test
