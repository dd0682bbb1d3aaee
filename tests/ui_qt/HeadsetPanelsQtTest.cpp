// The headset's audio and voice-changer panels as shipped, on real widgets,
// driving a headset with the simulated audio plugin: what a click or a drag
// on the widgets sends to the plugin.
#include "QtTestSupport.h"
#include "headset/HeadsetRig.h"
#include "ui/UiTestSupport.h"

#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

namespace velkor::test {
namespace {

class PanelCreator final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view c) const override {
        return c == CVoice6533ControlUI::kControlClass || c == CMagicControlUI::kControlClass;
    }
    void ControlCreated(std::string_view, ui::Control&) override {}
};

class HeadsetPanelsQt : public ::testing::Test {
protected:
    void SetUp() override {
        sim::PluginStore().Reset();
        m_audioWindow = Open(CVoice6533ControlUI::kLayout);
        m_magicWindow = Open(CMagicControlUI::kLayout);
        ASSERT_TRUE(m_audioWindow && m_magicWindow);
        m_audio = std::make_unique<CVoice6533ControlUI>(m_audioWindow->Root());
        m_magic = std::make_unique<CMagicControlUI>(m_magicWindow->Root());
        m_rig.Attach(ui::test::SkinFolder(), *m_audio, *m_audioWindow, *m_magic, *m_magicWindow);
        sim::PluginStore().ClearCalls();
    }
    void TearDown() override { sim::PluginStore().Reset(); }
    std::unique_ptr<ui::Window> Open(std::string_view layout) {
        ui::WindowOptions options;
        options.layout = std::string(layout);
        options.className = "HeadsetPanelsQt";
        options.creator = &m_creator;
        std::string error;
        auto window = ui::test::TestToolkit().CreateWindow(options, &error);
        EXPECT_NE(window, nullptr) << error;
        if (window) {
            window->Show();
            ui::test::ProcessUntil([&] { return ui::WidgetOf(*window)->isVisible(); });
        }
        return window;
    }
    template <class Widget> Widget* Find(ui::Window& window, std::string_view name) {
        ui::Control* control = window.FindControl(name);
        return control != nullptr ? qobject_cast<Widget*>(ui::WidgetOf(*control)) : nullptr;
    }
    // The plugin's set calls of one property.
    std::vector<sim::SimAudioCall> SetsOf(std::string_view name) const {
        std::vector<sim::SimAudioCall> sets;
        for (const sim::SimAudioCall& call : sim::PluginStore().Calls()) {
            if (call.operation == 1 && call.name == name) {
                sets.push_back(call);
            }
        }
        return sets;
    }

    PanelCreator m_creator;
    std::unique_ptr<ui::Window> m_audioWindow;
    std::unique_ptr<ui::Window> m_magicWindow;
    std::unique_ptr<CVoice6533ControlUI> m_audio;
    std::unique_ptr<CMagicControlUI> m_magic;
    HeadsetRig m_rig; // its router goes before the panels
};

TEST_F(HeadsetPanelsQt, AClickOnAPresetSendsItsTenBands) {
    auto* option = Find<QRadioButton>(*m_audioWindow, "6533_eq_option_6");
    ASSERT_NE(option, nullptr);
    QTest::mouseClick(option, Qt::LeftButton);
    EXPECT_TRUE(option->isChecked());
    const std::span<const int32_t> preset = EqPreset(6);
    for (int b = 0; b < 10; ++b) {
        const auto sets = SetsOf("EQ_Slider" + std::to_string(b + 1));
        ASSERT_FALSE(sets.empty()) << b;
        EXPECT_EQ(sets.back().intValue, preset[size_t(b)]) << b;
    }
}

// A drag moves the slider through several values; only its release is sent.
TEST_F(HeadsetPanelsQt, ABandSliderSendsOnceWhenReleased) {
    auto* slider = Find<QSlider>(*m_audioWindow, "6533_eq_hz_slider_3");
    ASSERT_NE(slider, nullptr);
    QStyleOptionSlider style;
    style.initFrom(slider);
    style.orientation = slider->orientation();
    style.minimum = slider->minimum();
    style.maximum = slider->maximum();
    style.sliderPosition = slider->sliderPosition();
    style.sliderValue = slider->value();
    style.upsideDown =
        slider->orientation() == Qt::Vertical ? !slider->invertedAppearance() : slider->invertedAppearance();
    const QRect handle =
        slider->style()->subControlRect(QStyle::CC_Slider, &style, QStyle::SC_SliderHandle, slider);
    const int start = slider->value();
    QPoint at = handle.center();
    ui::test::Press(slider, at);
    for (int step = 0; step < 4; ++step) {
        at.ry() += start > 0 ? 8 : -8; // towards the middle of the range either way
        ui::test::MoveHeld(slider, at);
    }
    EXPECT_TRUE(SetsOf("EQ_Slider4").empty()) << "nothing is sent while dragging";
    ui::test::Release(slider, at);
    const int released = slider->value();
    ASSERT_NE(released, start);
    const auto sets = SetsOf("EQ_Slider4");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].intValue, released);
}

TEST_F(HeadsetPanelsQt, VoicesAreDisabledWhileTheVoiceChangerIsOff) {
    auto* enable = Find<QAbstractButton>(*m_magicWindow, "magic_enable_option");
    ASSERT_NE(enable, nullptr);
    ASSERT_TRUE(enable->isEnabled());
    const auto voicesEnabled = [&] {
        int enabled = 0;
        for (int n = 1; n <= 4; ++n) {
            QWidget* voice = Find<QWidget>(*m_magicWindow, "magic_option_" + std::to_string(n));
            enabled += voice != nullptr && voice->isEnabled() ? 1 : 0;
        }
        return enabled;
    };
    // On the box itself: a check box takes clicks only there and on its text.
    const QPoint box(8, enable->height() / 2);
    if (enable->isChecked()) {
        QTest::mouseClick(enable, Qt::LeftButton, Qt::NoModifier, box);
    }
    EXPECT_FALSE(enable->isChecked());
    EXPECT_EQ(voicesEnabled(), 0);
    QTest::mouseClick(enable, Qt::LeftButton, Qt::NoModifier, box);
    EXPECT_TRUE(enable->isChecked());
    EXPECT_EQ(voicesEnabled(), 4);
    ASSERT_FALSE(SetsOf("Enable_MAGICVOICE").empty());
    EXPECT_EQ(SetsOf("Enable_MAGICVOICE").back().intValue, 1);
}

} // namespace
} // namespace velkor::test
