// The headset's two panels built from the shipped layouts on the in-memory
// toolkit: each operation, what it shows, and that none raises a notification.
#include "headset/HeadsetPanels.h"
#include "HeadsetRig.h"
#include "headset/HeadsetPanelRouter.h"
#include "headset/TolvanicHS6533Device.h"
#include "sim/SimBackend.h"
#include "sim/audio/SimAudioStore.h"
#include "support/ScratchFolder.h"
#include "support/ScriptedPrompts.h"
#include "ui/Dispatcher.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace velkor::test {
namespace {

using ui::test::SelectableOf;

std::string Skin() {
    return (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "skin").lexically_normal().string();
}

class PanelCreator final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view c) const override {
        return c == CVoice6533ControlUI::kControlClass || c == CMagicControlUI::kControlClass;
    }
    void ControlCreated(std::string_view, ui::Control&) override {}
};

class Counter final : public ui::NotifyReceiver {
public:
    void Notify(const ui::Notification& n) override { count += n.type == ui::kNotifyTimer ? 0 : 1; }
    int count = 0;
};

struct PanelCase {
    const char* name;
    std::function<void(CVoice6533ControlUI&, CMagicControlUI&)> act;
    std::function<void(CVoice6533ControlUI&, CMagicControlUI&, ui::Window&, ui::Window&)> check;
};

class HeadsetPanels : public ::testing::TestWithParam<PanelCase> {
protected:
    void SetUp() override {
        std::string error;
        m_toolkit = ui::MemoryToolkit::Create(Skin(), m_clock, &error);
        ASSERT_NE(m_toolkit, nullptr) << error;
        m_audioWindow = Open(CVoice6533ControlUI::kLayout);
        m_magicWindow = Open(CMagicControlUI::kLayout);
        ASSERT_TRUE(m_audioWindow && m_magicWindow);
        m_audio = std::make_unique<CVoice6533ControlUI>(m_audioWindow->Root());
        m_magic = std::make_unique<CMagicControlUI>(m_magicWindow->Root());
        m_audioWindow->AddNotifier(m_heard);
        m_magicWindow->AddNotifier(m_heard);
    }
    std::unique_ptr<ui::Window> Open(std::string_view layout) {
        ui::WindowOptions options;
        options.layout = std::string(layout);
        options.className = "HeadsetPanelTest";
        options.creator = &m_creator;
        std::string error;
        auto window = m_toolkit->CreateWindow(options, &error);
        EXPECT_NE(window, nullptr) << error;
        if (window) {
            window->Show();
        }
        return window;
    }

    ui::ManualClock m_clock;
    PanelCreator m_creator;
    Counter m_heard;
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    std::unique_ptr<ui::Window> m_audioWindow;
    std::unique_ptr<ui::Window> m_magicWindow;
    std::unique_ptr<CVoice6533ControlUI> m_audio;
    std::unique_ptr<CMagicControlUI> m_magic;
};

bool Selected(ui::Window& w, const std::string& name) {
    return SelectableOf(w.FindControl(name)).IsSelected();
}

int SelectedEqOptions(ui::Window& w) {
    int n = 0;
    for (int i = 1; i <= 13; ++i) {
        n += Selected(w, "6533_eq_option_" + std::to_string(i)) ? 1 : 0;
    }
    return n;
}

TEST_P(HeadsetPanels, ShowsWithoutNotifying) {
    const PanelCase& c = GetParam();
    m_audio->ShowEqOption(6); // a selection the cases start from
    c.act(*m_audio, *m_magic);
    c.check(*m_audio, *m_magic, *m_audioWindow, *m_magicWindow);
    EXPECT_EQ(m_heard.count, 0);
}

HeadsetView FullView() {
    HeadsetView v;
    v.micOption = true;
    v.micSlider = 42;
    v.monitorOption = true;
    v.monitorSlider = 7;
    v.eqOption = 13;
    v.customEnabled = true;
    v.bandSliders = {-20, -13, 0, 1, 2, 3, 4, 5, 18, 20};
    v.customList = {"Rock", "Jazz"};
    v.customSelected = 1;
    v.voiceEnabled = false;
    v.voiceOptionsEnabled = false;
    v.voice = 3;
    return v;
}

const PanelCase kCases[] = {
    {"EqOptionZeroUnselectsAll", [](auto& a, auto&) { a.ShowEqOption(0); },
     [](auto& a, auto&, auto& w, auto&) {
         EXPECT_EQ(SelectedEqOptions(w), 0);
         EXPECT_EQ(a.EqOption(), 0);
     }},
    {"EqOptionFourteenUnselectsAll", [](auto& a, auto&) { a.ShowEqOption(14); },
     [](auto& a, auto&, auto& w, auto&) {
         EXPECT_EQ(SelectedEqOptions(w), 0);
         EXPECT_EQ(a.EqOption(), 0);
     }},
    {"EqOptionCustomSelectsOnlyIt", [](auto& a, auto&) { a.ShowEqOption(13); },
     [](auto& a, auto&, auto& w, auto&) {
         EXPECT_EQ(SelectedEqOptions(w), 1);
         EXPECT_TRUE(Selected(w, "6533_eq_option_13"));
         EXPECT_EQ(a.EqOption(), 13);
     }},
    {"CustomSelectionEmptiesTheNameField",
     [](auto& a, auto&) {
         for (const char* n : {"One", "Two", "Three"}) {
             a.AddCustomName(n);
         }
         a.SetNameField("typed");
         a.SelectCustom(2);
     },
     [](auto& a, auto&, auto&, auto&) {
         EXPECT_EQ(a.SelectedCustom(), 2);
         EXPECT_EQ(a.NameField(), "");
         EXPECT_EQ(a.CustomNameAt(2), "Three");
         EXPECT_EQ(a.CustomNameAt(3), "");
         EXPECT_EQ(a.CustomCount(), 3);
     }},
    {"RemovingTheSelectedRowLeavesNone",
     [](auto& a, auto&) {
         a.AddCustomName("One");
         a.AddCustomName("Two");
         a.SelectCustom(1);
         a.RemoveCustomAt(1);
     },
     [](auto& a, auto&, auto&, auto&) {
         EXPECT_EQ(a.SelectedCustom(), -1);
         EXPECT_EQ(a.CustomCount(), 1);
     }},
    {"BandsKeepTheirRangeAndMissingOnesReadMinusOne",
     [](auto& a, auto&) {
         a.SetBand(0, -20);
         a.SetBand(9, 20);
         a.SetBand(4, 99);
         a.SetBand(10, 3);
     },
     [](auto& a, auto&, auto&, auto&) {
         EXPECT_EQ(a.Band(0), -20);
         EXPECT_EQ(a.Band(9), 20);
         EXPECT_EQ(a.Band(4), 20);
         EXPECT_EQ(a.Panel().FindChild("6533_eq_hz_slider_0")->ToolTip(), "-10.0 dB");
         EXPECT_EQ(a.Band(10), -1);
         EXPECT_EQ(a.Band(-1), -1);
     }},
    {"AWholeViewIsShownAndReadBack",
     [](auto& a, auto& m) {
         a.Show(FullView());
         m.Show(FullView());
     },
     [](auto& a, auto& m, auto& w, auto& mw) {
         HeadsetView back;
         a.Read(back);
         m.Read(back);
         EXPECT_EQ(back.bandSliders, FullView().bandSliders);
         EXPECT_EQ(back.micSlider, 42);
         EXPECT_EQ(back.monitorSlider, 7);
         EXPECT_EQ(back.customSelected, 1);
         EXPECT_TRUE(a.MicOption());
         EXPECT_TRUE(a.MonitorOption());
         EXPECT_TRUE(w.FindControl("custom_eq_option_layout")->IsEnabled());
         EXPECT_TRUE(Selected(w, "6533_eq_option_13"));
         EXPECT_FALSE(back.voiceEnabled);
         EXPECT_FALSE(mw.FindControl("magic_option_layout")->IsEnabled());
         EXPECT_TRUE(Selected(mw, "magic_option_3"));
     }},
    {"VoicesFollowTheEnableOption",
     [](auto&, auto& m) {
         m.SetEnabled(true);
         m.ShowVoice(2);
         m.ShowVoice(5);
     },
     [](auto&, auto& m, auto&, auto& mw) {
         EXPECT_TRUE(m.Enabled());
         EXPECT_TRUE(mw.FindControl("magic_option_layout")->IsEnabled());
         EXPECT_EQ(m.Voice(), 0);
         for (int n = 1; n <= 4; ++n) {
             EXPECT_FALSE(Selected(mw, "magic_option_" + std::to_string(n))) << n;
         }
     }},
};

INSTANTIATE_TEST_SUITE_P(Operations, HeadsetPanels, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The panels and the router on a headset with the simulated plugin linked in.
class HeadsetPanelRouting : public HeadsetPanels {
protected:
    void Attach() { m_rig.Attach(Skin(), *m_audio, *m_audioWindow, *m_magic, *m_magicWindow); }

    HeadsetRig m_rig;
    ui::MemoryUser m_user;
};

TEST_F(HeadsetPanelRouting, WhatCannotWorkIsSaidAndRefused) {
    sim::PluginStore().Reset();
    sim::PluginStore().SetFailing(OSCONF_FLOW_INPUT, "GetAAMaxVol");
    Attach();
    ui::Control& audio = m_audio->Panel();
    EXPECT_FALSE(audio.FindChild("hs_monitor_layout")->IsVisible()) << "no side-tone";
    EXPECT_TRUE(audio.FindChild("hs_mic_layout")->IsVisible());
    EXPECT_EQ(audio.FindChild("hs_audio_status_text")->Text(), "hs_status_eq_where");

    // The headset refuses the mute change: the option goes back, and the
    // status line says so for 5 s.
    sim::PluginStore().SetFailing(OSCONF_FLOW_INPUT, "MuteControl");
    const bool micOn = m_audio->MicOption();
    ASSERT_TRUE(m_user.Click(*audio.FindChild("6533_MicIn_option")));
    EXPECT_EQ(m_audio->MicOption(), micOn);
    ui::Control& status = *audio.FindChild("hs_audio_status_text");
    EXPECT_EQ(status.Text(), HeadsetPanelRouter::kRefusedText);
    m_toolkit->AdvanceTime(4900);
    EXPECT_EQ(status.Text(), HeadsetPanelRouter::kRefusedText);
    m_toolkit->AdvanceTime(200);
    EXPECT_EQ(status.Text(), "hs_status_eq_where");
    // Also when its state could not be read at start: back to what was shown.
    Attach();
    const bool shown = m_audio->MicOption();
    ASSERT_TRUE(m_user.Click(*audio.FindChild("6533_MicIn_option")));
    EXPECT_EQ(m_audio->MicOption(), shown);
    sim::PluginStore().Reset();
}

TEST_F(HeadsetPanelRouting, WithoutThePitchShifterTheVoiceChangerIsDisabledAndSaysSo) {
    sim::PluginStore().Reset();
    sim::PluginStore().SetValue(OSCONF_FLOW_INPUT, "GetSupportFeature", u"0,0,0,0,0,0,0");
    Attach();
    ui::Control& magic = m_magic->Panel();
    EXPECT_EQ(magic.FindChild("magic_status_text")->Text(), "magic_status_no_shifter");
    EXPECT_FALSE(m_user.Click(*magic.FindChild("magic_enable_option")));
    EXPECT_FALSE(magic.FindChild("magic_option_layout")->IsEnabled());
    EXPECT_TRUE(m_audio->Panel().FindChild("eq_band_layout")->IsEnabled()) << "the equaliser still works";
    sim::PluginStore().Reset();
}

} // namespace
} // namespace velkor::test
