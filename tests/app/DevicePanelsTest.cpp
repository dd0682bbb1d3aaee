// The device pages' panels in the main window: each page gets its own profile
// bar and (keyboards and mice) macro panel, filled from their layouts, and the
// window's notifications reach the panel whose control raised them.
#include "AppTestSupport.h"
#include "app/CMainWnd.h"
#include "devices/DeviceLinks.h"
#include "devices/TolvanicUSBDevice.h"
#include "sim/SimBackend.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace velkor::test {
namespace {

using ui::test::PagesOf;

class DevicePanelsTest : public ::testing::Test {
protected:
    DevicePanelsTest() {
        RegisterProgramControlClasses(m_factory);
        MainWndServices services{*m_toolkit, m_factory, &m_sim};
        services.programFolder = m_folder.Path();
        services.dataHome = m_folder.Path();
        m_main = std::make_unique<CMainWnd>(services);
    }
    ~DevicePanelsTest() override { m_main.reset(); }

    bool Start() {
        if (!m_main->Create()) {
            return false;
        }
        m_toolkit->ProcessPending(); // "windowinit": the hidden mouse and keyboard are created
        return Mouse() != nullptr && Keyboard() != nullptr;
    }
    CTolvanicUSBDevice* Mouse() const {
        auto mice = m_main->Discovery()->DevicesOfClass(DeviceClass::Mouse);
        return mice.empty() ? nullptr : mice.front();
    }
    CTolvanicUSBDevice* Keyboard() const {
        auto keyboards = m_main->Discovery()->DevicesOfClass(DeviceClass::Keyboard);
        return keyboards.empty() ? nullptr : keyboards.front();
    }
    // Shows the items of the mouse and the keyboard and selects `device`, so
    // that its page is the one shown; false when it cannot be selected.
    bool ShowPage(CTolvanicUSBDevice& device) {
        for (CTolvanicUSBDevice* shown : {Mouse(), Keyboard()}) {
            m_main->DeviceMessage(kMessageShowDeviceItem, shown->State().ModelRow(), 1);
        }
        for (int tries = 0; tries < 4 && m_main->Discovery()->SelectedDevice() != &device; ++tries) {
            m_user.Click(*m_main->GetWindow(), "device_select_next");
        }
        return m_main->Discovery()->SelectedDevice() == &device;
    }
    // Opens the profile bar's menu of the shown page (add, copy, delete, ...).
    bool OpenProfileMenu(CTolvanicUSBDevice& device) {
        return m_user.Click(On(device, "profile_fun_spread_btn"));
    }
    // A control of the device's page.
    ui::Control& On(CTolvanicUSBDevice& device, std::string_view name) const {
        ui::Control* control = device.Presenter().Page()->FindChild(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    }

    ProgramFolder m_folder;
    ui::ManualClock m_clock{100000};
    std::unique_ptr<ui::MemoryToolkit> m_toolkit = ui::MemoryToolkit::Create(SourceSkin().string(), m_clock);
    ControlFactory m_factory;
    sim::SimBackend m_sim{7};
    ui::MemoryUser m_user;
    std::unique_ptr<CMainWnd> m_main;
};

TEST_F(DevicePanelsTest, EveryPageStartsItsOwnProfileBar) {
    ASSERT_TRUE(Start());
    for (CTolvanicUSBDevice* device : {Mouse(), Keyboard()}) {
        DevicePanelSet* panels = m_main->PanelsOf(*device);
        ASSERT_NE(panels, nullptr);
        ASSERT_NE(panels->ProfileBar(), nullptr);
        EXPECT_EQ(panels->ProfileBar()->ProfileNames(), std::vector<std::string>{"profile1"});
        EXPECT_FALSE(device->State().ProfileIdentifier().empty()) << "the device took the selected profile";
        EXPECT_TRUE(std::filesystem::exists(device->Paths().UserDataFolder() + "ProfileList.ini"));
        EXPECT_NE(panels->MacroPanel(), nullptr) << "keyboards and mice have a macro panel";
        ASSERT_NE(panels->LightPanel(), nullptr);
        EXPECT_EQ(m_main->Lighting()->Panels().PanelOf(*device), panels->LightPanel());
    }
}

TEST_F(DevicePanelsTest, AClickReachesOnlyThePanelOfItsOwnPage) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(ShowPage(*Mouse()));
    ASSERT_TRUE(OpenProfileMenu(*Mouse()));
    ASSERT_TRUE(m_user.Click(On(*Mouse(), "device_add_btn")));
    EXPECT_EQ(m_main->PanelsOf(*Mouse())->ProfileBar()->ProfileNames(),
              (std::vector<std::string>{"profile1", "profile2"}));
    EXPECT_EQ(m_main->PanelsOf(*Keyboard())->ProfileBar()->ProfileNames(),
              std::vector<std::string>{"profile1"});

    ASSERT_TRUE(ShowPage(*Keyboard()));
    ASSERT_TRUE(m_user.Click(On(*Keyboard(), "macro_Op_tab")));
    ASSERT_TRUE(m_user.Click(On(*Keyboard(), "macro_btn_name_add")));
    EXPECT_EQ(m_main->PanelsOf(*Keyboard())->MacroPanel()->MacroCount(), 1);
    EXPECT_EQ(m_main->PanelsOf(*Mouse())->MacroPanel()->MacroCount(), 0);
}

TEST_F(DevicePanelsTest, ChoosingAProfileOrATabReachesTheDevice) {
    ASSERT_TRUE(Start());
    CTolvanicUSBDevice& mouse = *Mouse();
    ASSERT_TRUE(ShowPage(mouse));
    const std::string first = mouse.State().ProfileIdentifier();
    ASSERT_TRUE(OpenProfileMenu(mouse));
    ASSERT_TRUE(m_user.Click(On(mouse, "device_add_btn")));
    EXPECT_EQ(mouse.State().ProfileIdentifier(), first) << "adding does not select";
    ASSERT_TRUE(m_user.ChooseItem(On(mouse, "device_profile_combo"), 1));
    EXPECT_NE(mouse.State().ProfileIdentifier(), first);
    EXPECT_EQ(mouse.State().ProfileIdentifier(),
              m_main->PanelsOf(mouse)->ProfileBar()->GetSelectedIdentifier());

    ASSERT_TRUE(m_user.Click(On(mouse, "macro_Op_tab")));
    EXPECT_EQ(mouse.Presenter().GetFunctionPage(), 3);
    EXPECT_EQ(PagesOf(On(mouse, "device_function_switch")).CurrentPage(), 1) << "the macro page";
}

} // namespace
} // namespace velkor::test
