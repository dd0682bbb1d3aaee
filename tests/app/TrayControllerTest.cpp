// The notification-area controller alone: a bare window on the in-memory
// toolkit, with no main window and no devices around it.
#include "app/TrayController.h"
#include "AppTestSupport.h"
#include "ui/memory/MemoryShell.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"

#include <gtest/gtest.h>
#include <set>

namespace velkor::test {
namespace {

enum class Before { Shown, Minimised, Hidden };
enum class Act { LeftClick, MenuShow, MenuSettings, MenuExit, Hide, BringToFront };

struct TrayCase {
    const char* name;
    bool trayAvailable;
    Before before;
    Act act;
    bool visible;
    bool minimised;
    bool inTray;
    // The requests the controller made: h before hiding, r rescale, x exit, o settings.
    std::set<char> requests;
};

class TrayControllerTest : public ::testing::TestWithParam<TrayCase> {
protected:
    // Gives the root's timers to the controller, as the main window does.
    struct TimerForwarder final : ui::WindowHandler {
        TrayController* tray = nullptr;
        void Notify(const ui::Notification& notification) override {
            if (notification.type == ui::kNotifyTimer && tray != nullptr) {
                tray->OnTimer(int(notification.wParam));
            }
        }
    };

    TrayControllerTest() {
        ui::WindowOptions options;
        options.layout = "test/row.ui";
        options.handler = &m_forwarder;
        m_window = m_toolkit->CreateWindow(options);
        TrayController::Requests requests;
        requests.beforeHide = [this] {
            m_requests.insert('h');
            m_visibleWhenHiding = m_window->IsVisible() && !m_window->IsMinimized();
        };
        requests.rescale = [this] { m_requests.insert('r'); };
        requests.exit = [this] { m_requests.insert('x'); };
        requests.openSettings = [this] { m_requests.insert('o'); };
        m_tray = std::make_unique<TrayController>(
            TrayController::Setup{*m_toolkit, *m_window, "tip", {}, std::move(requests)});
        m_forwarder.tray = m_tray.get();
    }
    // The menu opens on the root's timer, never within the click.
    ui::MemoryMenu* RightClickMenu() {
        EXPECT_TRUE(m_user.ClickTrayIcon(Icon(), ui::MouseButton::Right));
        EXPECT_TRUE(m_toolkit->OpenMenus().empty());
        m_toolkit->AdvanceTime(TrayController::kTimerMenuMs);
        return m_toolkit->OpenMenus().size() == 1 ? m_toolkit->OpenMenus().front() : nullptr;
    }
    ui::MemoryTrayIcon& Icon() const { return *m_toolkit->TrayIcons().at(0); }

    ui::ManualClock m_clock;
    std::unique_ptr<ui::MemoryToolkit> m_toolkit = ui::MemoryToolkit::Create(SourceSkin().string(), m_clock);
    ui::MemoryUser m_user;
    TimerForwarder m_forwarder;
    std::unique_ptr<ui::Window> m_window;
    std::unique_ptr<TrayController> m_tray;
    std::set<char> m_requests;
    bool m_visibleWhenHiding = false;
};

TEST_P(TrayControllerTest, MovesTheWindowAndAsksForWhatSurroundsIt) {
    const TrayCase& c = GetParam();
    m_toolkit->SetTrayAvailable(c.trayAvailable);
    ASSERT_EQ(Icon().ToolTip(), "tip");
    m_window->Show();
    if (c.before == Before::Minimised) {
        m_window->Minimize();
    } else if (c.before == Before::Hidden) {
        m_tray->Hide();
        m_requests.clear();
    }
    const std::string_view items[] = {TrayController::kMenuShow, TrayController::kMenuSettings,
                                      TrayController::kMenuExit};
    switch (c.act) {
    case Act::LeftClick:
        ASSERT_TRUE(m_user.ClickTrayIcon(Icon(), ui::MouseButton::Left));
        break;
    case Act::MenuShow:
    case Act::MenuSettings:
    case Act::MenuExit: {
        ui::MemoryMenu* menu = RightClickMenu();
        ASSERT_NE(menu, nullptr);
        ASSERT_TRUE(m_user.ChooseMenuItem(*menu, items[int(c.act) - int(Act::MenuShow)]));
        break;
    }
    case Act::Hide:
        m_tray->Hide();
        break;
    case Act::BringToFront:
        m_tray->BringToFront();
        break;
    }
    EXPECT_EQ(m_window->IsVisible(), c.visible);
    EXPECT_EQ(m_window->IsMinimized(), c.minimised);
    EXPECT_EQ(m_tray->InTray(), c.inTray);
    EXPECT_EQ(m_requests, c.requests);
    if (m_requests.contains('h')) {
        EXPECT_TRUE(m_visibleWhenHiding) << "asked before the window goes";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trips, TrayControllerTest,
    ::testing::Values(
        TrayCase{"ClickHidesAShownWindow", true, Before::Shown, Act::LeftClick, false, false, true, {'h'}},
        TrayCase{
            "ClickBringsBackAHiddenOne", true, Before::Hidden, Act::LeftClick, true, false, false, {'r'}},
        TrayCase{
            "ClickRestoresAMinimisedOne", true, Before::Minimised, Act::LeftClick, true, false, false, {'r'}},
        TrayCase{"ClickWithoutTrayMinimises", false, Before::Shown, Act::LeftClick, true, true, false, {'h'}},
        TrayCase{"ShowNeverHides", true, Before::Shown, Act::MenuShow, true, false, false, {}},
        TrayCase{"ShowBringsBackAHiddenOne", true, Before::Hidden, Act::MenuShow, true, false, false, {'r'}},
        TrayCase{"SettingsAreAskedFor", true, Before::Hidden, Act::MenuSettings, false, false, true, {'o'}},
        TrayCase{"ExitIsAskedFor", true, Before::Shown, Act::MenuExit, true, false, false, {'x'}},
        TrayCase{"HideWithoutTrayMinimises", false, Before::Shown, Act::Hide, true, true, false, {'h'}},
        TrayCase{"FrontLeavesTheTray", true, Before::Hidden, Act::BringToFront, true, false, false, {}}),
    [](const ::testing::TestParamInfo<TrayCase>& info) { return std::string(info.param.name); });

TEST_F(TrayControllerTest, AStartInTheTrayIsQuietUntilTheFirstScanAndShutdownSilencesTheIcon) {
    m_toolkit->SetTrayAvailable(false);
    EXPECT_FALSE(m_tray->StartHidden()) << "no notification area to come back from";
    EXPECT_FALSE(m_tray->QuietStart());
    m_toolkit->SetTrayAvailable(true);
    ASSERT_TRUE(m_tray->StartHidden());
    EXPECT_FALSE(m_window->IsVisible());
    EXPECT_TRUE(m_tray->QuietStart());
    EXPECT_TRUE(m_tray->EndQuietStart());
    EXPECT_FALSE(m_tray->EndQuietStart()) << "only the first scan is quiet";

    ASSERT_NE(RightClickMenu(), nullptr);
    ASSERT_TRUE(m_user.ClickTrayIcon(Icon(), ui::MouseButton::Right));
    m_tray->Shutdown();
    EXPECT_EQ(m_tray->OpenMenu(), nullptr);
    m_toolkit->AdvanceTime(TrayController::kTimerMenuMs);
    EXPECT_TRUE(m_toolkit->OpenMenus().empty()) << "the pending menu timer was stopped";
    EXPECT_TRUE(m_user.ClickTrayIcon(Icon(), ui::MouseButton::Left));
    EXPECT_FALSE(m_window->IsVisible());
    m_tray->BringToFront();
    EXPECT_FALSE(m_window->IsVisible());
}

} // namespace
} // namespace velkor::test
