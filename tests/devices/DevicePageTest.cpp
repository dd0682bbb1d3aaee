// The device and its page: the layout's class name picks the class, InitPage
// collects the picture's controls, the light frame paints them, the function
// page switch, the data paths and the set-up rules.
#include "DeviceTestSupport.h"
#include "devices/LightTables.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryControl.h"

#include <filesystem>

namespace velkor::test {
namespace {

using ui::test::LightOf;
using ui::test::PagesOf;

class DevicePage : public DeviceWindowFixture {
protected:
    // Device from device_page.ui with the counts of a small model.
    DevicePtr Made(int keys, int lights) {
        auto device = BuildPage("device_page.ui");
        EXPECT_NE(device, nullptr);
        if (device) {
            device->Presenter().SetPageLayoutPath("device_page.ui");
            device->SetKeyCount(keys);
            device->SetLightCount(lights);
            device->InitPage();
        }
        return device;
    }
};

TEST_F(DevicePage, TheLayoutsClassNamePicksTheDeviceClass) {
    auto device = BuildPage("device_page.ui");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->ClassName(), "TolvanicUSBDevice");
    ASSERT_NE(device->Presenter().Page(), nullptr);
    EXPECT_EQ(device->Presenter().Page()->Name(), "device_page");
    EXPECT_EQ(device->Presenter().Page()->Parent(), &Find("device_switch"));

    auto plain = BuildPage("plain_page.ui");
    ASSERT_NE(plain, nullptr) << "the control factory's name with its C prefix";
    EXPECT_EQ(plain->Presenter().Page()->Name(), "plain_page");
}

TEST_F(DevicePage, AnUnknownDeviceClassBuildsNothing) {
    const int before = Find("device_switch").ChildCount();
    std::string error;
    EXPECT_EQ(BuildPage("unknown_page.ui", &error), nullptr);
    EXPECT_NE(error.find("TolvanicToasterDevice"), std::string::npos) << error;
    EXPECT_EQ(Find("device_switch").ChildCount(), before);
    EXPECT_EQ(BuildPage("missing_page.ui"), nullptr);
}

TEST_F(DevicePage, InitPageTakesKeysAndLightsOfTheFirstPictureOnly) {
    auto small = Made(2, 1);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->Presenter().KeyControls().size(), 2u) << "numbers beyond the counts are left out";
    EXPECT_NE(small->Presenter().LightControls().at(0), nullptr);
    auto device = Made(4, 4);
    ASSERT_NE(device, nullptr);
    ASSERT_NE(device->Presenter().KeyPanel(), nullptr);
    EXPECT_EQ(device->Presenter().KeyPanel()->Name(), "device_key_light");
    ASSERT_EQ(device->Presenter().KeyControls().size(), 4u);
    ASSERT_EQ(device->Presenter().LightControls().size(), 4u);
    for (int n = 0; n < 4; ++n) {
        ASSERT_NE(device->Presenter().KeyControls()[size_t(n)], nullptr) << n;
        ASSERT_NE(device->Presenter().LightControls()[size_t(n)], nullptr) << n;
        EXPECT_EQ(device->Presenter().KeyControls()[size_t(n)]->Name(), "key_" + std::to_string(n));
        EXPECT_EQ(device->Presenter().LightControls()[size_t(n)]->Name(), "light_" + std::to_string(n));
        EXPECT_TRUE(device->Presenter().KeyPanel()->Contains(device->Presenter().KeyControls()[size_t(n)]))
            << "not the key_3 beside it";
    }
}

TEST_F(DevicePage, AnEmptyPageLayoutPathEndsWithEmptyLists) {
    auto device = BuildPage("device_page.ui");
    ASSERT_NE(device, nullptr);
    device->SetKeyCount(4);
    device->SetLightCount(4);
    device->InitPage();
    EXPECT_EQ(device->State().KeyCount(), 0);
    EXPECT_EQ(device->State().LightCount(), 0);
    EXPECT_TRUE(device->Presenter().KeyControls().empty());
    EXPECT_TRUE(device->Presenter().LightControls().empty());
    EXPECT_TRUE(device->State().Leds().Copy().leds.empty());
    EXPECT_EQ(device->Presenter().KeyPanel(), nullptr);
    device->EffectStatic();
    device->OutputLightFrame();
    EXPECT_TRUE(device->State().Leds().Copy().leds.empty());
}

TEST_F(DevicePage, LightFramePaintsVisibleLightsWithTheirColourAndLevel) {
    auto device = Made(0, 4);
    ASSERT_NE(device, nullptr);
    device->State().SetLedColour(0, PackLed(0x12, 0x34, 0x56, 200));
    device->State().SetLedColour(1, PackLed(255, 0, 0, 255));
    ui::Control* hidden = device->Presenter().LightControls()[1];
    hidden->SetVisible(false);
    auto* first = dynamic_cast<ui::MemoryControl*>(device->Presenter().LightControls()[0]);
    ASSERT_NE(first, nullptr);
    const int repaints = first->RepaintCount();

    device->Presenter().SetPreviewSeen(true);
    device->OutputLightFrame();
    EXPECT_EQ(first->LightColour(), 0x123456u);
    EXPECT_EQ(first->LightLevel(), 200);
    EXPECT_GT(first->RepaintCount(), repaints);
    EXPECT_EQ(LightOf(hidden).LightLevel(), 0) << "hidden lights are not painted";
    EXPECT_EQ(LightOf(device->Presenter().LightControls()[2]).LightLevel(), 0);
}

struct SwitchCase {
    int type;
    uint32_t kind;
    int functionPage;
    int keyPage;
};

class FunctionPage : public DevicePage, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(FunctionPage, SelectsTheSwitchPagesOfItsType) {
    const SwitchCase c = GetParam();
    auto device = Made(0, 0);
    ASSERT_NE(device, nullptr);
    SupportedDevice identity;
    identity.kind = DeviceKind(c.kind);
    device->State().SetIdentity(identity);
    ui::PageControl& functions = PagesOf(*device->Presenter().Page()->FindChild("device_function_switch"));
    ui::PageControl& keys = PagesOf(*device->Presenter().Page()->FindChild("device_key_function_switch"));
    // Start from pages no case selects on both, so that "left alone" shows.
    device->SelectFunctionPage(4);
    functions.SelectPage(3);
    keys.SelectPage(2);
    device->SelectFunctionPage(c.type);
    EXPECT_EQ(device->Presenter().GetFunctionPage(), c.type);
    EXPECT_EQ(functions.CurrentPage(), c.functionPage);
    EXPECT_EQ(keys.CurrentPage(), c.keyPage);
}

INSTANTIATE_TEST_SUITE_P(Types, FunctionPage,
                         ::testing::Values(SwitchCase{1, 1, 0, 0}, SwitchCase{2, 1, 0, 1},
                                           SwitchCase{6, 2, 0, 1}, SwitchCase{3, 1, 1, 2},
                                           SwitchCase{8, 3, 1, 2}, SwitchCase{4, 1, 3, 2},
                                           SwitchCase{4, 2, 3, 2}, SwitchCase{4, 3, 0, 2},
                                           SwitchCase{4, 7, 0, 2}, SwitchCase{7, 2, 0, 2},
                                           SwitchCase{5, 1, 2, 2}, SwitchCase{99, 1, 0, 0},
                                           SwitchCase{-1, 3, 0, 0}));

TEST_F(DevicePage, DataPathsLieInTheProgramAndUserFolders) {
    CTolvanicUSBDevice device(Services());
    device.Paths().SetTypeName("MousePad");
    const std::string data = m_folder.Path() + "/data";
    EXPECT_EQ(device.Paths().UserDataFolder(), data + "/VELKOR01/MousePad/");
    EXPECT_TRUE(std::filesystem::is_directory(data + "/VELKOR01/MousePad"));
    EXPECT_EQ(device.Paths().DefaultDataFolder(), m_folder.Path() + "/program/DefaultData/");
    EXPECT_EQ(device.Paths().DefaultProfilePath(), m_folder.Path() + "/program/DefaultData/MousePad.Json");

    device.Paths().SetTypeName("../escape");
    EXPECT_EQ(device.Paths().UserDataFolder(), "");
    EXPECT_EQ(device.Paths().DefaultProfilePath(), "");
    EXPECT_FALSE(std::filesystem::exists(data + "/escape"));

    CTolvanicUSBDevice homeless(DeviceServices{m_backend, m_toolkit->GetDispatcher(), m_ticks, {}});
    homeless.Paths().SetTypeName("mouse");
    EXPECT_EQ(homeless.Paths().UserDataFolder(), "");
    EXPECT_EQ(homeless.Paths().DefaultDataFolder(), "");
    EXPECT_EQ(homeless.Paths().DefaultProfilePath(), "");
}

TEST_F(DevicePage, OnlyAKeyboardIsToldToHandOverItsLighting) {
    m_backend.Plug(sim::SimUnit::Keyboard);
    CTolvanicUSBDevice keyboard(Services());
    ASSERT_TRUE(keyboard.Driver().CommandTransport().Open(ChannelType::Wired,
                                                          m_backend.CommandPath(sim::SimUnit::Keyboard)));
    keyboard.State().SetIdentity(
        *BuiltInCatalog().Interface(FindSlot(0x320F, 0x50B7, DeviceKind::Keyboard, kRoleCommand)));

    EXPECT_EQ(keyboard.SetLightControl(false), kResultOk);
    EXPECT_FALSE(keyboard.State().LightControlFlag());
    EXPECT_FALSE(m_backend.LightingTaken(sim::SimModel::Keyboard));
    EXPECT_EQ(keyboard.SetLightControl(true), kResultOk);
    EXPECT_TRUE(m_backend.LightingTaken(sim::SimModel::Keyboard));

    CTolvanicUSBDevice closedKeyboard(Services());
    closedKeyboard.State().SetIdentity(
        *BuiltInCatalog().Interface(FindSlot(0x320F, 0x50B7, DeviceKind::Keyboard, kRoleCommand)));
    EXPECT_EQ(closedKeyboard.SetLightControl(true), kResultNoReply) << "the failure is reported";
    CTolvanicUSBDevice closedMouse(Services());
    closedMouse.State().SetIdentity(
        *BuiltInCatalog().Interface(FindSlot(0x320F, 0x7070, DeviceKind::Mouse, kRoleCommand)));
    EXPECT_EQ(closedMouse.SetLightControl(true), kResultOk) << "a mouse is sent nothing";
    EXPECT_TRUE(closedMouse.State().LightControlFlag());
}

class PowerPanelStub final : public PowerPanelLink {
public:
    void ShowBatteryArea(bool show) override { batteryShown.push_back(show); }
    void ShowPowerStatus(const uint8_t*, size_t) override {}
    std::vector<bool> batteryShown;
};

TEST_F(DevicePage, TrayFlagNeedsABatteryAndThePowerPanelLearnsTheFlag) {
    CTolvanicUSBDevice device(Services());
    PowerPanelStub panel;
    device.State().SetTrayFlag(true);
    EXPECT_FALSE(device.State().TrayFlag());
    device.State().SetBatteryFlag(true);
    device.Presenter().SetPowerPanel(&panel);
    EXPECT_EQ(panel.batteryShown, (std::vector<bool>{true})) << "set after the flag, and still told";
    device.State().SetTrayFlag(true);
    EXPECT_TRUE(device.State().TrayFlag());
    device.State().SetBatteryFlag(false);
    EXPECT_FALSE(device.State().TrayFlag());
    EXPECT_EQ(panel.batteryShown, (std::vector<bool>{true, false}));
}

} // namespace
} // namespace velkor::test
