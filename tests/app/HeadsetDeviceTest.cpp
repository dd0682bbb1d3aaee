// The headset in the main window, on the simulated family and the simulated
// audio plugin as shipped: attach, the library's state read back, an
// equaliser change that reaches the plugin and the profile, and LED frames
// that reach the headset off the user-interface thread.
#include "MainWndFixture.h"
#include "headset/TolvanicHS6533Device.h"
#include "ui/FamilyAccess.h"

#include "app/DevicePanels.h"
#include "devices/LightTables.h"
#include "ui/memory/MemoryControl.h"
#include "ui/memory/MemoryWindow.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace velkor::test {
namespace {

using sim::SimUnit;
using ui::test::SelectableOf;

class HeadsetInMainWindow : public MainWndFixture {
protected:
    HeadsetInMainWindow() { m_folder.AddDefaultData(); }

    CTolvanicHS6533Device* StartHeadset(const char* plugin = VELKOR_SIM_PLUGIN, int startTab = 0) {
        m_sim.Plug(SimUnit::Headset);
        MainWndServices services = Services();
        services.audioPlugin = plugin;
        services.startPageKind = startTab > 0 ? DeviceClass::Headset : DeviceClass::None;
        services.startPageTab = startTab;
        if (!StartWith(services)) {
            return nullptr;
        }
        CTolvanicHS6533Device* headset = nullptr;
        Until([&] {
            if (m_main->Discovery() != nullptr) {
                for (CTolvanicUSBDevice* device : m_main->Discovery()->DevicesOfClass(DeviceClass::Headset)) {
                    headset = dynamic_cast<CTolvanicHS6533Device*>(device);
                }
            }
            return headset != nullptr && m_main->PanelsOf(*headset) != nullptr &&
                   m_main->PanelsOf(*headset)->VoicePanel() != nullptr &&
                   headset->Presenter().ListItem()->IsShown(); // offered once read
        });
        return headset;
    }
};

TEST_F(HeadsetInMainWindow, AttachesReadsTheLibraryAndLightsTheHeadset) {
    m_sim.Plug(SimUnit::Headset);
    MainWndServices services = Services();
    services.audioPlugin = VELKOR_SIM_PLUGIN;
    ASSERT_TRUE(StartWith(services));
    CTolvanicHS6533Device* headset = nullptr;
    ASSERT_TRUE(Until([&] {
        if (m_main->Discovery() != nullptr) {
            for (CTolvanicUSBDevice* device : m_main->Discovery()->DevicesOfClass(DeviceClass::Headset)) {
                headset = dynamic_cast<CTolvanicHS6533Device*>(device);
            }
        }
        return headset != nullptr && headset->Driver().LightThreadRunning();
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
    const auto timers = m_toolkit->RunningTimers(headset->Presenter().ListItem()->Item());
    EXPECT_EQ(std::count(timers.begin(), timers.end(), kTimerLightFrame), 0);
    EXPECT_TRUE(headset->Presenter().FramesWanted());

    // Static white at full brightness: every LED of both targets at 247.
    LightInfoRecord light = headset->State().LightRecord();
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
    const auto syncTimers = m_toolkit->RunningTimers(headset->Presenter().ListItem()->Item());
    EXPECT_EQ(std::count(syncTimers.begin(), syncTimers.end(), kTimerLightFrame), 1);
    ASSERT_TRUE(Until(
        [&] {
            for (int led = 0; led < headset->State().LightCount(); ++led) { // as the synchronisation paints
                headset->State().SetLedColour(led, PackLed(255, 0, 0, 255));
            }
            const auto leds = m_sim.HeadsetLeds(0x44);
            return std::count(leds.begin(), leds.end(), 0) == 26; // red: green and blue go to 0
        },
        10));
    headset->SetSynchronisedLighting(false);
}

// The panels through the main window's routing: a preset and a band slider
// reach the plugin and the profile; saving refuses a taken name (any case).
TEST_F(HeadsetInMainWindow, PanelChangesReachThePluginAndTheProfile) {
    std::vector<std::string> messages;
    m_toolkit->SetModalDriver([&](ui::MemoryWindow& box) {
        ui::Control* text = box.FindControl("MessageText");
        messages.push_back(text != nullptr ? text->Text() : "?");
        m_user.Click(box, "confirm_btn");
    });
    CTolvanicHS6533Device* headset = StartHeadset();
    ASSERT_NE(headset, nullptr);
    DevicePanelSet* panels = m_main->PanelsOf(*headset);
    ASSERT_NE(panels->MagicPanel(), nullptr);
    CVoice6533ControlUI& audio = *panels->VoicePanel();
    headset->SelectFunctionPage(6);
    AudioLibrary& plugin = *headset->Audio();
    auto part = [&](std::string_view name) { return audio.Panel().FindChild(name); };

    ASSERT_TRUE(m_user.Click(*part("6533_eq_option_6")));
    const std::span<const int32_t> preset = EqPreset(6);
    for (int b = 0; b < 10; ++b) {
        EXPECT_EQ(plugin.GetInt(plugin.Output(), audio::EqSlider(b)), preset[size_t(b)]) << b;
        EXPECT_EQ(audio.Band(b), preset[size_t(b)]) << b;
    }
    EXPECT_EQ(headset->HeadsetProfile().ReadHeadsetSystem().eqType, 6);

    // A band slider: the plugin takes it, the panel turns to custom.
    ASSERT_TRUE(m_user.DragSlider(*part("6533_eq_hz_slider_3"), {5, 9}));
    EXPECT_EQ(plugin.GetInt(plugin.Output(), u"EQ_Slider4"), 9);
    EXPECT_EQ(audio.EqOption(), 13);
    EXPECT_TRUE(part("custom_eq_option_layout")->IsEnabled());

    ASSERT_TRUE(m_user.Type(*part("custom_eq_name_edit"), "Mine"));
    ASSERT_TRUE(m_user.Click(*part("hs_EQ_btn_save")));
    EXPECT_EQ(headset->HeadsetProfile().ReadCustomEqNames(), std::vector<std::string>{"Mine"});
    EXPECT_EQ(headset->HeadsetProfile().ReadCustomEqValues(0)[3], 9);
    EXPECT_EQ(audio.CustomCount(), 1);
    EXPECT_EQ(audio.NameField(), "");
    EXPECT_TRUE(messages.empty());

    ASSERT_TRUE(m_user.Type(*part("custom_eq_name_edit"), "MINE"));
    ASSERT_TRUE(m_user.Click(*part("hs_EQ_btn_save")));
    EXPECT_EQ(messages, std::vector<std::string>{"message_text_5"});
    EXPECT_EQ(audio.CustomCount(), 1);

    // Twenty are kept; the twenty-first is refused with a notice, not silently.
    for (int n = 2; n <= 21; ++n) {
        ASSERT_TRUE(m_user.Type(*part("custom_eq_name_edit"), "P" + std::to_string(n)));
        ASSERT_TRUE(m_user.Click(*part("hs_EQ_btn_save")));
    }
    EXPECT_EQ(audio.CustomCount(), 20);
    EXPECT_EQ(headset->HeadsetProfile().ReadCustomEqNames().size(), 20u);
    EXPECT_EQ(messages.back(), "hs_eq_full_text");

    // Showing the device again changes the controls and raises nothing.
    const size_t calls = messages.size();
    headset->SelectEqPreset(2);
    headset->RefreshView();
    EXPECT_TRUE(SelectableOf(part("6533_eq_option_2")).IsSelected());
    EXPECT_EQ(messages.size(), calls);
}

// velkor --page=headset:6 shows the headset's sound tab, though the keyboard
// comes first in the list; a band slider moved while the keyboard is the
// selected device does nothing.
TEST_F(HeadsetInMainWindow, ItsPanelsActOnlyWhileTheHeadsetIsSelected) {
    m_sim.Plug(SimUnit::Keyboard);
    CTolvanicHS6533Device* headset = StartHeadset(VELKOR_SIM_PLUGIN, 6);
    ASSERT_NE(headset, nullptr);
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->SelectedDevice() == headset; }));
    EXPECT_EQ(headset->Presenter().GetFunctionPage(), 6);
    EXPECT_TRUE(SelectableOf(m_main->PanelsOf(*headset)->ProfileBar()->Bar().FindChild("6533_voice_Op_tab"))
                    .IsSelected());
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->SelectFirstOfClass(DeviceClass::Keyboard); }));
    AudioLibrary& plugin = *headset->Audio();
    auto& slider = static_cast<ui::MemoryControl&>(
        *m_main->PanelsOf(*headset)->VoicePanel()->Panel().FindChild("6533_eq_hz_slider_3"));
    const int32_t before = plugin.GetInt(plugin.Output(), u"EQ_Slider4").value_or(0);
    const int moved = before == 7 ? 6 : 7;
    slider.SetValue(moved);
    slider.Raise(ui::kNotifyValueChanged);
    EXPECT_EQ(plugin.GetInt(plugin.Output(), u"EQ_Slider4"), before);

    ASSERT_TRUE(m_main->Discovery()->SelectFirstOfClass(DeviceClass::Headset));
    slider.SetValue(moved);
    slider.Raise(ui::kNotifyValueChanged);
    EXPECT_EQ(plugin.GetInt(plugin.Output(), u"EQ_Slider4"), moved);
}

TEST_F(HeadsetInMainWindow, WithoutThePluginBothPanelsSayWhyAndCannotBeUsed) {
    CTolvanicHS6533Device* headset = StartHeadset("");
    ASSERT_NE(headset, nullptr);
    headset->SelectFunctionPage(6);
    DevicePanelSet* panels = m_main->PanelsOf(*headset);
    const int32_t eqType = headset->HeadsetProfile().ReadHeadsetSystem().eqType;
    ui::Control& audio = panels->VoicePanel()->Panel();
    ui::Control& magic = panels->MagicPanel()->Panel();
    EXPECT_EQ(audio.FindChild("hs_audio_status_text")->Text(), "hs_status_no_plugin");
    EXPECT_EQ(magic.FindChild("magic_status_text")->Text(), "hs_status_no_plugin");
    EXPECT_FALSE(m_user.Click(*audio.FindChild("6533_eq_option_6")));
    EXPECT_FALSE(m_user.Click(*audio.FindChild("6533_MicIn_option")));
    headset->SelectFunctionPage(7);
    EXPECT_FALSE(m_user.Click(*magic.FindChild("magic_enable_option")));
    EXPECT_EQ(headset->HeadsetProfile().ReadHeadsetSystem().eqType, eqType);
}

} // namespace
} // namespace velkor::test
