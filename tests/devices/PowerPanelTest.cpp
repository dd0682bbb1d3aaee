// The power panel built from the program's layout: what each power status shows.
#include "DiscoveryTestSupport.h"
#include "devices/CMpDevicePowerUI.h"
#include "ui/Control.h"
#include "ui/FamilyAccess.h"

namespace velkor::test {
namespace {

using ui::test::RangeOf;

class PanelCreator final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view c) const override { return c == CMpDevicePowerUI::kControlClass; }
    void ControlCreated(std::string_view, ui::Control&) override {}
};

class PowerPanel : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_toolkit = ui::MemoryToolkit::Create(SkinFolder(), m_clock, &error);
        ASSERT_NE(m_toolkit, nullptr) << error;
        m_window = m_toolkit->CreateWindow(ui::WindowOptions{"XML_MAIN", "MainWnd"}, &error);
        ASSERT_NE(m_window, nullptr) << error;
        PanelCreator creator;
        ui::Control* built = m_toolkit->BuildInto(*m_window->FindControl("device_power_switch"),
                                                  kPowerPanelLayout, &creator, &error);
        ASSERT_NE(built, nullptr) << error;
        m_panel = std::make_unique<CMpDevicePowerUI>(*built);
    }
    void Show(std::vector<uint8_t> status) { m_panel->ShowPowerStatus(status.data(), status.size()); }
    ui::Control& Part(std::string_view name) { return *m_panel->Panel().FindChild(name); }

    ui::ManualClock m_clock;
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    std::unique_ptr<ui::Window> m_window;
    std::unique_ptr<CMpDevicePowerUI> m_panel;
};

TEST_F(PowerPanel, LevelChargeStateAndWirelessMark) {
    m_panel->SetKind(DeviceClass::Keyboard, 0);
    Part("device_wuxian_logo").SetVisible(true);
    Show({87, 2, 0, 0, 0, 0});
    EXPECT_EQ(Part("device_power_value").Text(), "87%");
    EXPECT_EQ(RangeOf(Part("device_Power_progress")).Value(), 13);
    EXPECT_EQ(Part("device_power_status").BackgroundImage(), "file='power/power.png'");
    EXPECT_FALSE(Part("device_wuxian_logo").IsVisible());

    // A mouse charging on its receiver: mark shown, bar hidden.
    m_panel->SetKind(DeviceClass::Mouse, 0);
    Show({50, 1, 0, 1, 0, 0});
    EXPECT_TRUE(Part("device_wuxian_logo").IsVisible());
    EXPECT_FALSE(Part("device_Power_progress").IsVisible());
    EXPECT_EQ(Part("device_power_status").BackgroundImage(), "file='power/powering.png'");
    // An unknown charge state leaves image and bar as they were.
    Show({40, 5, 0, 0, 0, 0});
    EXPECT_EQ(Part("device_power_status").BackgroundImage(), "file='power/powering.png'");
    EXPECT_FALSE(Part("device_Power_progress").IsVisible());
}

TEST_F(PowerPanel, TheMousePadShowsThePhoneOnItsCharger) {
    m_panel->SetKind(DeviceClass::MousePad, 0);
    Show({100, 0, 0, 0, 0, 2});
    EXPECT_EQ(Part("device_phone_type").BackgroundImage(), "file='power/Phone_type_samsung.png'");
    EXPECT_EQ(Part("device_phone_type").ToolTip(), "Phone_type_samsung");
    Show({100, 0, 0, 0, 0, 0});
    EXPECT_EQ(Part("device_phone_type").BackgroundImage(), "file='power/Phone_type_no_device.png'");
    EXPECT_EQ(Part("device_phone_type").ToolTip(), "Phone_type_no_device");

    // Other kinds never touch the phone image or the wireless mark.
    m_panel->SetKind(DeviceClass::Headset, 0);
    Part("device_wuxian_logo").SetVisible(true);
    Show({100, 0, 0, 0, 0, 1});
    EXPECT_EQ(Part("device_phone_type").ToolTip(), "Phone_type_no_device");
    EXPECT_TRUE(Part("device_wuxian_logo").IsVisible());
}

TEST_F(PowerPanel, OddInputIsShownSafely) {
    m_panel->SetKind(DeviceClass::Mouse, 0);
    Show({250, 0, 0, 1});
    EXPECT_EQ(Part("device_power_value").Text(), "100%") << "a level above 100 % shows as full";
    EXPECT_EQ(RangeOf(Part("device_Power_progress")).Value(), 0);
    Show({30}); // padded: state 0, wired
    EXPECT_EQ(Part("device_power_status").BackgroundImage(), "file='power/powered.png'");
    EXPECT_FALSE(Part("device_wuxian_logo").IsVisible());
    m_panel->ShowPowerStatus(nullptr, 6);
    EXPECT_EQ(Part("device_power_value").Text(), "0%");

    m_panel->ShowBatteryArea(false);
    EXPECT_FALSE(Part("device_power_Layout").IsVisible());

    // A layout without the controls shows nothing there.
    CMpDevicePowerUI blank(*m_window->FindControl("title_bar_layout"));
    blank.ShowPowerStatus(std::vector<uint8_t>{50, 1, 0, 1, 0, 2}.data(), 6);
    EXPECT_EQ(m_window->FindControl("title_logo")->Text(), "app_name");
}

} // namespace
} // namespace velkor::test
