// The main window with its devices: the simulated family behind the scan
// thread, on the in-memory toolkit. Waits on real threads are bounded hang
// guards, never timing assertions.
#include "MainWndFixture.h"
#include "app/AboutWnd.h"
#include "devices/DeviceListItem.h"
#include "devices/SupportedDevices.h"
#include "sim/SimBackend.h"
#include "ui/memory/MemoryShell.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"

#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace velkor::test {
namespace {

using sim::SimUnit;

class MainWndTest : public MainWndFixture {
protected:
    ui::Window& Window() const { return *m_main->GetWindow(); }
    ui::MemoryTrayIcon& Tray() const { return *m_toolkit->TrayIcons().at(0); }
    bool ItemShown(int modelRow) const {
        const ui::Control* item = m_main->Discovery()->ListItemOfModel(modelRow);
        return item != nullptr && item->IsVisible();
    }
};

TEST_F(MainWndTest, TheFamilyAppearsInTheDeviceList) {
    m_sim.PlugFamily();
    ASSERT_TRUE(Start());
    ASSERT_NE(m_main->Discovery(), nullptr);
    ASSERT_TRUE(m_main->Scanner()->IsRunning());
    ASSERT_TRUE(Until(
        [&] { return m_main->Discovery()->VisibleItemCount() == int(BuiltInCatalog().Models().size()); }));
    for (int row = 0; row < int(BuiltInCatalog().Models().size()); ++row) {
        EXPECT_TRUE(ItemShown(row)) << "model row " << row;
    }
    EXPECT_FALSE(Window().FindControl("No_device_Link")->IsVisible());
    EXPECT_TRUE(Window().IsVisible());
    ASSERT_NE(m_main->Discovery()->SelectedDevice(), nullptr);

    // The list's own controls move the selection, wrapping.
    CTolvanicUSBDevice* first = m_main->Discovery()->SelectedDevice();
    ASSERT_TRUE(m_user.Click(Window(), "device_select_next"));
    CTolvanicUSBDevice* second = m_main->Discovery()->SelectedDevice();
    EXPECT_NE(second, first);
    ASSERT_TRUE(m_user.Click(Window(), "device_select_prev"));
    EXPECT_EQ(m_main->Discovery()->SelectedDevice(), first);
}

TEST_F(MainWndTest, UnpluggedDevicesLeaveTheListAndTheHintReturns) {
    m_sim.Plug(SimUnit::MousePad);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->VisibleItemCount() == 1; }));
    EXPECT_FALSE(Window().FindControl("No_device_Link")->IsVisible());
    m_sim.Unplug(SimUnit::MousePad);
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->VisibleItemCount() == 0; }));
    EXPECT_TRUE(Window().FindControl("No_device_Link")->IsVisible());
}

TEST_F(MainWndTest, ItemMessagesFromTheDevicesShowAndHideTheirItem) {
    ASSERT_TRUE(Start());
    m_main->DeviceMessage(kMessageShowDeviceItem, 0, 1);
    EXPECT_TRUE(ItemShown(0));
    m_main->DeviceMessage(kMessagePowerStatus, 0, 0); // no action
    EXPECT_TRUE(ItemShown(0));
    m_main->DeviceMessage(kMessageShowDeviceItem, 0, 0);
    EXPECT_FALSE(ItemShown(0));
    // Rows no device has are refused without harm.
    m_main->DeviceMessage(kMessageShowDeviceItem, -1, 1);
    m_main->DeviceMessage(kMessageShowDeviceItem, int64_t(1) << 40, 1);
    m_main->DeviceMessage(kMessageShowDeviceItem, 99, 1);
    EXPECT_EQ(m_main->Discovery()->VisibleItemCount(), 0);
    // Out-of-range slots from the scan side do nothing either.
    m_main->DeviceAttached(-1);
    m_main->DeviceDetached(int(SupportedDeviceTable().size()));
    EXPECT_EQ(m_main->Discovery()->VisibleItemCount(), 0);
}

TEST_F(MainWndTest, CloseHidesToTheTrayAndTheIconBringsItBack) {
    ASSERT_TRUE(Start(false));
    EXPECT_EQ(Tray().ToolTip(), "Velkor");
    bool loopEnded = false;
    // Everything happens inside the running loop, so a close that ended it would show.
    m_toolkit->GetDispatcher().Post([&] {
        EXPECT_TRUE(m_user.RequestClose(Window())); // the frame's close button
        EXPECT_FALSE(Window().IsVisible());
        Window().Show();
        EXPECT_TRUE(m_user.Click(Window(), "closebtn"));
        EXPECT_FALSE(Window().IsVisible());
        EXPECT_TRUE(m_user.ClickTrayIcon(Tray(), ui::MouseButton::Left));
        EXPECT_TRUE(Window().IsVisible());
        EXPECT_FALSE(Window().IsMinimized());
        Window().Minimize();
        EXPECT_TRUE(m_user.ClickTrayIcon(Tray(), ui::MouseButton::Left));
        EXPECT_TRUE(Window().IsVisible());
        EXPECT_FALSE(Window().IsMinimized()) << "restored";
        EXPECT_TRUE(m_user.ClickTrayIcon(Tray(), ui::MouseButton::Left));
        EXPECT_FALSE(Window().IsVisible()) << "a visible window is hidden by the icon";
        m_toolkit->Quit(7);
        loopEnded = true;
    });
    EXPECT_EQ(m_toolkit->RunLoop(), 7);
    EXPECT_TRUE(loopEnded);
    EXPECT_FALSE(m_main->IsShutDown());
}

TEST_F(MainWndTest, TheTrayMenuShowsAndExits) {
    ASSERT_TRUE(Start(false));
    ASSERT_TRUE(m_user.Click(Window(), "closebtn"));
    ASSERT_TRUE(m_user.ClickTrayIcon(Tray(), ui::MouseButton::Right));
    EXPECT_TRUE(m_toolkit->OpenMenus().empty()) << "the menu opens on timer 1032";
    m_toolkit->AdvanceTime(TrayController::kTimerMenuMs);
    ASSERT_EQ(m_toolkit->OpenMenus().size(), 1u);
    ui::MemoryMenu& menu = *m_toolkit->OpenMenus().front();
    EXPECT_EQ(menu.ItemNames(), (std::vector<std::string>{"show_menu", "setwnd_menu", "about_menu", "exit"}));
    ASSERT_TRUE(m_user.ChooseMenuItem(menu, "show_menu"));
    EXPECT_TRUE(Window().IsVisible());
    ASSERT_TRUE(m_user.ClickTrayIcon(Tray(), ui::MouseButton::Left));
    EXPECT_FALSE(Window().IsVisible());

    // A second right click replaces the menu rather than stacking one more.
    ASSERT_TRUE(m_user.ClickTrayIcon(Tray(), ui::MouseButton::Right));
    m_toolkit->AdvanceTime(TrayController::kTimerMenuMs);
    ASSERT_TRUE(m_user.ClickTrayIcon(Tray(), ui::MouseButton::Right));
    m_toolkit->AdvanceTime(TrayController::kTimerMenuMs);
    ASSERT_EQ(m_toolkit->OpenMenus().size(), 1u);

    m_toolkit->GetDispatcher().Post(
        [&] { EXPECT_TRUE(m_user.ChooseMenuItem(*m_toolkit->OpenMenus().front(), "exit")); });
    EXPECT_EQ(m_toolkit->RunLoop(), 0);
    EXPECT_TRUE(m_main->IsShutDown());
    EXPECT_FALSE(Window().IsVisible());
    EXPECT_EQ(m_traces.Count("退出测试"), 1);
}

// The title bar's button and the tray menu open the same about window, in the
// current language: version, licence and the data folder.
TEST_F(MainWndTest, TheAboutWindowNamesVersionLicenceAndDataFolder) {
    MainWndServices services = Services(false, 1); // English
    WithLanguages(services);
    ASSERT_TRUE(StartWith(services));
    EXPECT_EQ(Window().Title(), "Velkor");
    std::vector<std::string> shown;
    m_toolkit->SetModalDriver([&](ui::MemoryWindow& about) {
        for (const char* name : {"about_version_text", "about_licence_text", "about_data_text"}) {
            ui::Control* label = about.FindControl(name);
            shown.push_back(label != nullptr ? label->DisplayText() : std::string("missing ") + name);
        }
        shown.push_back(about.Title());
        EXPECT_TRUE(m_user.Click(about, "confirm_btn"));
    });
    ASSERT_TRUE(m_user.Click(Window(), "aboutbtn"));
    const std::string folder = m_folder.Path() + "/VELKOR01/";
    const std::vector<std::string> expected = {"Software version: " + ProgramAboutFacts("").version,
                                               "Licence: GPL-3.0-or-later", "Your data: " + folder,
                                               "About Velkor"};
    EXPECT_EQ(shown, expected);
    EXPECT_NE(ProgramAboutFacts("").version, "unknown");

    shown.clear();
    ASSERT_TRUE(m_user.ClickTrayIcon(Tray(), ui::MouseButton::Right));
    m_toolkit->AdvanceTime(TrayController::kTimerMenuMs);
    ASSERT_EQ(m_toolkit->OpenMenus().size(), 1u);
    ASSERT_TRUE(m_user.ChooseMenuItem(*m_toolkit->OpenMenus().front(), "about_menu"));
    EXPECT_EQ(shown, expected);
}

TEST_F(MainWndTest, ShutDownWithDevicesAndThreadsRunningFinishes) {
    m_sim.PlugFamily();
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Until(
        [&] { return m_main->Discovery()->VisibleItemCount() == int(BuiltInCatalog().Models().size()); }));
    ASSERT_TRUE(m_main->Scanner()->IsRunning());
    // Unplugging now makes the scan thread wait in a synchronous detach that the
    // window never runs: shut-down must still end it.
    m_sim.Unplug(SimUnit::Headset);
    // Shut-down from a helper thread, so that a hang fails the test instead of blocking it.
    auto shutdown = std::async(std::launch::async, [&] { m_main->Shutdown(); });
    ASSERT_EQ(shutdown.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(m_main->IsShutDown());
    EXPECT_EQ(m_main->Discovery(), nullptr);
    EXPECT_EQ(m_main->Scanner(), nullptr);
    EXPECT_TRUE(m_toolkit->GetDispatcher().IsShuttingDown());
    EXPECT_EQ(m_traces.Count("所有对象处于激发状态\n"), 2) << "slot 0 the scan thread, slot 8 the lighting";
    EXPECT_EQ(m_traces.Count("同步灯光线程设定退出"), 1);
    EXPECT_EQ(m_traces.Count("错误\n8"), 0);
    EXPECT_EQ(m_traces.Count("错误\n19"), 1) << "an empty slot";
    m_main->Shutdown(); // once is enough
    EXPECT_EQ(m_traces.Count("所有对象处于激发状态\n"), 2);
}

TEST_F(MainWndTest, LightingRequestsChangeOwnershipOnlyWithWParamOne) {
    ASSERT_TRUE(Start());
    ui::Control* label = Window().FindControl("control_light_status");
    ASSERT_NE(label, nullptr);
    CTolvanicUSBDevice* mouse = m_main->Discovery()->DeviceOfModel(0);
    ASSERT_NE(mouse, nullptr);
    m_main->HandleBusMessage(MakeBusMessage(BusMessageKind::LightingControlRequest, 1, 0));
    EXPECT_FALSE(m_main->LightControl());
    EXPECT_EQ(label->Text(), "不控制灯光");
    EXPECT_FALSE(mouse->State().LightControlFlag());
    m_main->HandleBusMessage(MakeBusMessage(BusMessageKind::LightingControlRequest, 2, 1));
    m_main->HandleBusMessage(MakeBusMessage(BusMessageKind::LightingControlRequest, 1, 7));
    EXPECT_FALSE(m_main->LightControl()) << "ignored";
    EXPECT_FALSE(mouse->State().LightControlFlag());
    m_main->HandleBusMessage(MakeBusMessage(BusMessageKind::LightingControlRequest, 1, 1));
    EXPECT_TRUE(m_main->LightControl());
    EXPECT_EQ(label->Text(), "控制灯光");
    EXPECT_TRUE(mouse->State().LightControlFlag());
}

TEST_F(MainWndTest, CopyDataOfAnySizeOrIdIsTakenSafely) {
    ASSERT_TRUE(Start());
    BusMessage message = MakeBusMessage(BusMessageKind::CopyData, 0, 0);
    for (uint32_t id : {0u, 1u, 2u, 3u, 10u}) {
        for (size_t size : {size_t(0), size_t(3), size_t(24), size_t(2000), size_t(5000)}) {
            message.copyDataId = id;
            message.data.assign(size, 0x7F);
            m_main->HandleBusMessage(message);
        }
    }
    EXPECT_TRUE(Window().IsVisible());
}

TEST_F(MainWndTest, WhileSuspendedAnAttachChangesNothingUntilResume) {
    ASSERT_TRUE(Start());
    CTolvanicUSBDevice* mouse = m_main->Discovery()->DeviceOfModel(0);
    m_main->Suspend();
    EXPECT_FALSE(mouse->State().LightControlFlag());
    m_sim.Plug(SimUnit::MousePad);
    m_sim.Plug(SimUnit::Headset);
    // Both slots are claimed by the scan thread, yet the window holds them back.
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->Slots().PresentSlots().size() >= 3; }));
    m_sim.Unplug(SimUnit::Headset);
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->Slots().PresentSlots().size() == 2; }));
    m_toolkit->AdvanceTime(2 * kStartupDelayMs);
    EXPECT_EQ(m_main->Discovery()->VisibleItemCount(), 0);
    EXPECT_TRUE(Window().FindControl("No_device_Link")->IsVisible());
    const int before = m_traces.Count("lighting request (1, 0) ignored");
    m_main->HandleBusMessage(MakeBusMessage(BusMessageKind::LightingControlRequest, 1, 0));
    EXPECT_TRUE(m_main->LightControl()) << "ignored while asleep";
    EXPECT_EQ(m_traces.Count("lighting request (1, 0) ignored"), before);

    m_main->Resume();
    EXPECT_TRUE(mouse->State().LightControlFlag());
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->VisibleItemCount() == 1; }));
    EXPECT_EQ(m_main->Discovery()->DevicesOfClass(DeviceClass::MousePad).size(), 1u)
        << "the mouse pad, which stayed";
    EXPECT_TRUE(m_main->Discovery()->DevicesOfClass(DeviceClass::Headset).empty())
        << "the headset came and went while asleep";
}

TEST_F(MainWndTest, TheScaleStepRunsOnceAfterStartWithTheWorkAreasScale) {
    m_toolkit->SetScreen(ui::Rect{0, 0, 1600, 1040}, ui::Rect{0, 0, 1600, 1000});
    ASSERT_TRUE(Start(false));
    EXPECT_EQ(Window().Dpi(), 96);
    m_toolkit->AdvanceTime(CMainWnd::kTimerScaleMs);
    EXPECT_EQ(Window().Dpi(), 144);
    EXPECT_TRUE(Window().IsVisible()) << "visible before, visible after";
    EXPECT_EQ(m_toolkit->RunningTimers(Window().Root()), std::vector<int>{CMainWnd::kTimerIdle}) << "once";

    // From the icon, on a narrower screen, the hidden window comes back at 96.
    m_toolkit->SetScreen(ui::Rect{0, 0, 1500, 1040}, ui::Rect{0, 0, 1500, 1000});
    ASSERT_TRUE(m_user.Click(Window(), "closebtn"));
    ASSERT_TRUE(m_user.ClickTrayIcon(Tray(), ui::MouseButton::Left));
    EXPECT_EQ(Window().Dpi(), 96);
    EXPECT_TRUE(Window().IsVisible());
}

TEST_F(MainWndTest, ADisplayChangeRescalesAtTheNextResizeOnly) {
    m_toolkit->SetScreen(ui::Rect{0, 0, 1280, 1024}, ui::Rect{0, 0, 1280, 984});
    ASSERT_TRUE(Start(false));
    m_toolkit->AdvanceTime(CMainWnd::kTimerScaleMs);
    ASSERT_EQ(Window().Dpi(), 96);
    m_toolkit->SetScreen(ui::Rect{0, 0, 2560, 1440}, ui::Rect{0, 0, 2560, 1400});
    ASSERT_TRUE(m_user.Resize(Window(), 900, 600));
    EXPECT_EQ(Window().Dpi(), 96) << "no display change noted: a resize is only a resize";

    m_user.ChangeDisplay(Window());
    EXPECT_EQ(m_traces.Count("显示器分辨率发生变化"), 1);
    EXPECT_EQ(Window().Dpi(), 96) << "nothing until the window is resized";
    ASSERT_TRUE(m_user.Resize(Window(), 910, 600));
    EXPECT_EQ(Window().Dpi(), 144);
    m_toolkit->SetScreen(ui::Rect{0, 0, 1280, 1024}, ui::Rect{0, 0, 1280, 984});
    ASSERT_TRUE(m_user.Resize(Window(), 920, 600));
    EXPECT_EQ(Window().Dpi(), 144) << "the note is used up";
}

TEST_F(MainWndTest, TheDesktopsSuggestedScaleIsTakenWhenValid) {
    ASSERT_TRUE(Start(false));
    m_user.ChangeDpi(Window(), 120);
    EXPECT_EQ(Window().Dpi(), 120);
    EXPECT_EQ(m_traces.Count("界面 DPI 发生变化"), 1);
    m_user.ChangeDpi(Window(), 100);
    EXPECT_EQ(Window().Dpi(), 120) << "a scale the windows cannot take changes nothing";
}

TEST_F(MainWndTest, TheLightingToggleTellsTheOtherProgramsAndEveryDevice) {
    std::vector<BusMessage> sent;
    MainWndServices services{*m_toolkit, m_factory, &m_sim};
    services.clock = &m_ticks;
    services.programFolder = m_folder.Path();
    services.dataHome = m_folder.Path();
    services.broadcast = [&sent](const BusMessage& message) {
        sent.push_back(message);
        return true;
    };
    m_main = std::make_unique<CMainWnd>(services);
    ASSERT_TRUE(m_main->Create());
    m_toolkit->ProcessPending();
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->DeviceOfModel(0) != nullptr; }));
    CTolvanicUSBDevice* mouse = m_main->Discovery()->DeviceOfModel(0);

    ASSERT_TRUE(m_user.Click(Window(), "control_light_status"));
    EXPECT_FALSE(m_main->LightControl());
    EXPECT_FALSE(mouse->State().LightControlFlag());
    EXPECT_EQ(Window().FindControl("control_light_status")->Text(), "不控制灯光");
    ASSERT_TRUE(m_user.Click(Window(), "control_light_status"));
    EXPECT_TRUE(m_main->LightControl());
    EXPECT_TRUE(mouse->State().LightControlFlag());
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].kind, BusMessageKind::LightingControl);
    EXPECT_EQ(std::pair(sent[0].wParam, sent[0].lParam), std::pair(1, 0));
    EXPECT_EQ(std::pair(sent[1].wParam, sent[1].lParam), std::pair(1, 1));
}

TEST(SettingsWindowPlacement, BesideTheButtonOrCentredAndScaled) {
    const ui::Rect main{100, 50, 1000, 640};
    const ui::Rect screen{0, 0, 1920, 1080};
    EXPECT_EQ(SettingsWindowRect(main, screen, 96, true), (ui::Rect{100 + 1000 - 30 - 630, 110, 630, 500}));
    EXPECT_EQ(SettingsWindowRect(main, screen, 144, true), (ui::Rect{100 + 1000 - 45 - 945, 140, 945, 750}));
    EXPECT_EQ(SettingsWindowRect(main, screen, 96, false), (ui::Rect{645, 290, 630, 500}));
}

TEST_F(MainWndTest, TheSettingsWindowOpensOnceAtATimeAndOnlyWhenThereIsOne) {
    ASSERT_TRUE(Start(false));
    EXPECT_FALSE(Window().FindControl("setbtn")->IsVisible()) << "no settings window: no button";
    m_main->DeviceMessage(CMainWnd::kMessageOpenSettings, 0, 0); // nothing to open: nothing happens

    std::vector<ui::Rect> opened;
    MainWndServices services{*m_toolkit, m_factory, nullptr};
    services.runSettingsWindow = [&](ui::Window&, const ui::Rect& placement, int) {
        opened.push_back(placement);
        m_main->OpenSettingsWindow(false); // a second request while open
        EXPECT_TRUE(m_main->SettingsWindowOpen());
    };
    m_main = std::make_unique<CMainWnd>(services);
    ASSERT_TRUE(m_main->Create());
    m_toolkit->ProcessPending();
    EXPECT_TRUE(Window().FindControl("setbtn")->IsVisible());
    ASSERT_TRUE(m_user.Click(Window(), "setbtn"));
    ASSERT_EQ(opened.size(), 1u) << "the request made while it was open did nothing";
    EXPECT_FALSE(m_main->SettingsWindowOpen());
    m_main->DeviceMessage(CMainWnd::kMessageOpenSettings, 0, 0);
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(MainWndTest, DevicePicturesAnimateWhileActiveOrHovered) {
    ASSERT_TRUE(Start());
    CTolvanicUSBDevice* mouse = m_main->Discovery()->DeviceOfModel(0);
    ASSERT_NE(mouse, nullptr);
    m_user.Activate(Window(), true);
    EXPECT_TRUE(mouse->State().PictureFlag());
    m_user.Hover(Window(), false);
    EXPECT_TRUE(mouse->State().PictureFlag()) << "active: the pointer does not matter";
    m_user.Activate(Window(), false);
    EXPECT_FALSE(mouse->State().PictureFlag());
    m_user.Hover(Window(), true);
    EXPECT_TRUE(mouse->State().PictureFlag());
    m_user.Hover(Window(), false);
    EXPECT_FALSE(mouse->State().PictureFlag());
}

TEST(InterfaceScale, WideAndTallWorkAreasGetTheLargerScale) {
    EXPECT_EQ(InterfaceDpiFor(ui::Rect{0, 0, 1600, 1000}), 144);
    EXPECT_EQ(InterfaceDpiFor(ui::Rect{0, 0, 1500, 1000}), 96);
    EXPECT_EQ(InterfaceDpiFor(ui::Rect{0, 0, 1600, 960}), 96);
    EXPECT_EQ(InterfaceDpiFor(ui::Rect{0, 0, 1501, 961}), 144);
    EXPECT_EQ(InterfaceDpiFor(ui::Rect{}), 96);
}

// Started for the notification area (login autostart) or closed to it: where a
// desktop has none, the window stays reachable, shown or in the task bar.
TEST_F(MainWndTest, WithoutANotificationAreaTheWindowIsNeverHidden) {
    for (const bool trayAvailable : {true, false}) {
        m_toolkit->SetTrayAvailable(trayAvailable);
        MainWndServices services = Services(false);
        services.startHidden = true;
        ASSERT_TRUE(StartWith(services));
        EXPECT_EQ(Window().IsVisible(), !trayAvailable) << "tray " << trayAvailable;
        Window().Show();
        ASSERT_TRUE(m_user.Click(Window(), "closebtn"));
        EXPECT_EQ(Window().IsVisible(), !trayAvailable) << "tray " << trayAvailable;
        EXPECT_EQ(Window().IsMinimized(), !trayAvailable) << "tray " << trayAvailable;
        m_main.reset();
    }
}

} // namespace
} // namespace velkor::test
