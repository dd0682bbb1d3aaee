// The settings window from the main window, on the simulated family: one row
// per attached model with a firmware row and the program, no request without a
// configured server, installer reports forwarded, the update badge cleared.
#include "MainWndFixture.h"
#include "app/SettingsWindowHost.h"
#include "devices/SupportedDevices.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

class SettingsWindowTest : public MainWndFixture {
protected:
    // The main window with a settings window of its own host.
    bool StartWithSettings() {
        m_folder.AddDefaultData();
        m_host = std::make_unique<SettingsWindowHost>(
            *m_toolkit, m_factory,
            SettingsWindowSetup{.programFolder = m_folder.Path(), .dataHome = m_folder.Path()});
        MainWndServices services{*m_toolkit, m_factory, &m_sim};
        services.clock = &m_ticks;
        services.programFolder = m_folder.Path();
        services.dataHome = m_folder.Path();
        services.runSettingsWindow = [this](ui::Window& owner, const ui::Rect& placement, int dpi) {
            m_host->Run(owner, placement, dpi, m_main->Discovery(),
                        [this](uint32_t message) { m_main->DeviceMessage(message, 0, 0); });
        };
        services.installerReport = [this](int32_t report, int32_t value) {
            m_host->InstallerReport(report, value);
        };
        m_main = std::make_unique<CMainWnd>(services);
        if (!m_main->Create()) {
            return false;
        }
        m_toolkit->ProcessPending();
        return true;
    }

    std::unique_ptr<SettingsWindowHost> m_host;
};

TEST_F(SettingsWindowTest, AttachedModelsAndTheProgramAreListed) {
    m_sim.PlugFamily();
    ASSERT_TRUE(StartWithSettings());
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->VisibleItemCount() == int(kDeviceModelCount); }));
    ui::Control* button = m_main->GetWindow()->FindControl("setbtn");
    ASSERT_TRUE(button->IsVisible());
    EXPECT_EQ(button->BackgroundImage(), "common/update_badge.png");

    std::vector<std::string> names;
    std::vector<std::string> versions;
    std::string state;
    ui::Rect placed;
    m_toolkit->SetModalDriver([&](ui::MemoryWindow& window) {
        ASSERT_EQ(window.ClassName(), "SetWnd");
        placed = window.Geometry();
        const ui::Control* list = window.FindControl("update_list");
        for (int i = 0; i < list->ItemCount(); ++i) {
            names.push_back(list->ItemControl(i)->FindChild("check_name_select")->Text());
            versions.push_back(list->ItemControl(i)->FindChild("OldRev")->Text());
        }
        state = window.FindControl("Update_Status_text")->Text();
        m_main->HandleBusMessage(MakeBusMessage(BusMessageKind::InstallerReport, 4, 50));
        EXPECT_TRUE(m_user.Click(window, "closebtn"));
    });
    ASSERT_TRUE(m_user.Click(*m_main->GetWindow(), "setbtn"));
    EXPECT_FALSE(m_main->SettingsWindowOpen());
    EXPECT_EQ(names, (std::vector<std::string>{"MS", "R31", "AP"})) << "no device for the second mouse row";
    EXPECT_EQ(versions, (std::vector<std::string>{"V0210", "V0104", "V0.1.0"}));
    EXPECT_EQ(state, "NoUpdateInfoText") << "no server configured: nothing asked";
    EXPECT_EQ(placed, SettingsWindowRect(m_main->GetWindow()->Geometry(), m_toolkit->PrimaryScreen(),
                                         m_main->GetWindow()->Dpi(), true));
    EXPECT_EQ(m_traces.Count("installer report (4, 50) ignored: no row is being installed"), 1)
        << "the report reached the open window";

    m_main->DeviceMessage(CMainWnd::kMessageClearUpdateBadge, 0, 0);
    EXPECT_EQ(button->BackgroundImage(), "");
}

} // namespace
} // namespace velkor::test
