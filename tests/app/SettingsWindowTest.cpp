// The settings window from the main window, on the simulated family: one row
// per attached model with a firmware row and the program, no request without a
// configured server, installer reports forwarded, the update badge cleared.
#include "MainWndFixture.h"
#include "app/Autostart.h"
#include "app/SettingsWindowHost.h"
#include "app/StartLanguage.h"
#include "devices/SupportedDevices.h"
#include "profiles/ProfileFolders.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryShell.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

using ui::test::ListOf;
using ui::test::SelectableOf;

class SettingsWindowTest : public MainWndFixture {
protected:
    // The main window with a settings window of its own host.
    // With `autostartPath`, the window offers "Start at login" with that entry.
    bool StartWithSettings(int languageIndex = 0, const std::string& autostartPath = {}) {
        m_folder.AddDefaultData();
        SettingsWindowSetup setup{.programFolder = m_folder.Path(), .dataHome = m_folder.Path()};
        setup.autostartPath = autostartPath;
        setup.programFile = autostartPath.empty() ? std::string() : "/usr/bin/velkor";
        if (m_adjust) {
            m_adjust(setup);
        }
        m_host = std::make_unique<SettingsWindowHost>(*m_toolkit, m_factory, std::move(setup));
        MainWndServices services = Services(true, languageIndex);
        WithLanguages(services);
        services.runSettingsWindow = [this](ui::Window& owner, const ui::Rect& placement, int dpi) {
            m_host->Run(
                owner, placement, dpi, m_main->Discovery(), [this] { return m_main->Language().Index(); },
                [this](uint32_t message, int64_t wParam) { m_main->DeviceMessage(message, wParam, 0); });
        };
        services.installerReport = [this](int32_t report, int32_t value) {
            m_host->InstallerReport(report, value);
        };
        services.settingsWindow = [this] { return m_host->OpenWindow(); };
        services.settingsLanguageChanged = [this] { m_host->LanguageChanged(); };
        return StartWith(services);
    }

    std::unique_ptr<SettingsWindowHost> m_host;
    std::function<void(SettingsWindowSetup&)> m_adjust; // before the host is made
};

TEST_F(SettingsWindowTest, AttachedModelsAndTheProgramAreListed) {
    m_sim.PlugFamily();
    ASSERT_TRUE(StartWithSettings());
    ASSERT_TRUE(Until(
        [&] { return m_main->Discovery()->VisibleItemCount() == int(BuiltInCatalog().Models().size()); }));
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
        for (int i = 0; i < ListOf(list).ItemCount(); ++i) {
            names.push_back(ListOf(list).ItemControl(i)->FindChild("check_name_select")->Text());
            versions.push_back(ListOf(list).ItemControl(i)->FindChild("OldRev")->Text());
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

TEST_F(SettingsWindowTest, EnglishChosenInTheComboChangesEveryWindowAndTheNextStart) {
    m_sim.PlugFamily();
    ASSERT_TRUE(StartWithSettings(0));
    ASSERT_TRUE(Until(
        [&] { return m_main->Discovery()->VisibleItemCount() == int(BuiltInCatalog().Models().size()); }));
    ui::Window& main = *m_main->GetWindow();
    CTolvanicUSBDevice* keyboard = m_main->Discovery()->DevicesOfClass(DeviceClass::Keyboard).front();
    ui::Control* effectLabel = m_main->PanelsOf(*keyboard) != nullptr
                                   ? keyboard->Presenter().Page()->FindChild("light_effect_label")
                                   : nullptr;
    ASSERT_NE(effectLabel, nullptr);
    const std::string chineseEffect = effectLabel->DisplayText();
    EXPECT_EQ(main.FindControl("control_light_status")->DisplayText(), "控制灯光");

    std::vector<std::string> items;
    int selected = -1;
    std::string titleAfter;
    m_toolkit->SetModalDriver([&](ui::MemoryWindow& window) {
        ui::Control* combo = window.FindControl("Language_combox_info");
        ASSERT_NE(combo, nullptr);
        for (int i = 0; i < ListOf(combo).ItemCount(); ++i) {
            items.push_back(ListOf(combo).ItemText(i));
        }
        selected = ListOf(combo).SelectedIndex();
        EXPECT_EQ(window.FindControl("language_title_text")->DisplayText(), "语言");
        ASSERT_TRUE(m_user.ChooseItem(*combo, 1));
        titleAfter = window.FindControl("language_title_text")->DisplayText();
        EXPECT_EQ(window.FindControl("Update_Status_text")->DisplayText(),
                  "The update server cannot be reached");
        EXPECT_EQ(window.DefaultFont().family, "Nightjar") << "the open window takes the new font set";
        EXPECT_TRUE(m_user.Click(window, "closebtn"));
    });
    ASSERT_TRUE(m_user.Click(main, "setbtn"));
    EXPECT_EQ(items, (std::vector<std::string>{"language_name_zh_cn", "language_name_en"}));
    EXPECT_EQ(selected, 0);
    EXPECT_EQ(titleAfter, "Language");
    EXPECT_EQ(m_main->Language().Index(), 1);
    EXPECT_EQ(main.FindControl("control_light_status")->DisplayText(), "Lighting: on");
    EXPECT_NE(effectLabel->DisplayText(), chineseEffect);
    EXPECT_EQ(effectLabel->DisplayText(), m_texts.Text("light_effect_text").value_or("?"));
    EXPECT_EQ(ReadStoredLanguageId(SettingsPath()), 1033);

    // The notification-area menu speaks the new language.
    ASSERT_TRUE(m_user.ClickTrayIcon(*m_main->Tray().Icon(), ui::MouseButton::Right));
    ASSERT_TRUE(Until([&] { return m_main->Tray().OpenMenu() != nullptr; }, 10));
    EXPECT_EQ(static_cast<ui::MemoryMenu*>(m_main->Tray().OpenMenu())->ItemDisplayText("exit"), "Exit");

    // The next start is in English whatever the desktop says.
    m_main.reset();
    const int next =
        ReadLanguageIndex(SettingsPath(), ReadLanguageTable(DefaultDataFolder(m_folder.Path())), "zh_CN");
    EXPECT_EQ(next, 1);
}

// The box shows the entry as it is on disk each time the window opens, and
// each click writes or removes it; a change that cannot be made says why and
// leaves the box as things are.
TEST_F(SettingsWindowTest, StartAtLoginReflectsAndWritesTheAutostartEntry) {
    const std::string entry = m_folder.Path() + "/config/autostart/" + kAutostartFileName;
    ASSERT_TRUE(StartWithSettings(1, entry));
    struct Seen {
        bool visible = false, ticked = false, errorShown = false;
        std::string error;
    };
    const auto openAndClick = [&](bool click) {
        Seen seen;
        m_toolkit->SetModalDriver([&](ui::MemoryWindow& window) {
            ui::Control* box = window.FindControl("autostart_check");
            ASSERT_NE(box, nullptr);
            if (click) {
                EXPECT_TRUE(m_user.Click(*box));
            }
            seen = {box->IsVisible(), SelectableOf(box).IsSelected(),
                    window.FindControl("autostart_error_text")->IsVisible(),
                    window.FindControl("autostart_error_text")->Text()};
            EXPECT_TRUE(m_user.Click(window, "closebtn"));
        });
        EXPECT_TRUE(m_user.Click(*m_main->GetWindow(), "setbtn"));
        return seen;
    };
    Seen seen = openAndClick(false);
    EXPECT_TRUE(seen.visible);
    EXPECT_FALSE(seen.ticked);

    seen = openAndClick(true);
    EXPECT_TRUE(seen.ticked);
    EXPECT_FALSE(seen.errorShown);
    std::ifstream in(entry);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\nExec=/usr/bin/velkor --background\n"), std::string::npos) << text;
    EXPECT_TRUE(openAndClick(false).ticked) << "the next opening reads the entry";

    seen = openAndClick(true);
    EXPECT_FALSE(seen.ticked);
    EXPECT_FALSE(std::filesystem::exists(entry));

    // The configuration folder is a file: nothing can be written.
    std::filesystem::remove_all(m_folder.Path() + "/config");
    m_folder.Write("config", "a file");
    seen = openAndClick(true);
    EXPECT_FALSE(seen.ticked);
    EXPECT_TRUE(seen.errorShown);
    EXPECT_EQ(seen.error, "Start at login could not be changed: cannot create " + m_folder.Path() +
                              "/config/autostart: " + m_folder.Path() + "/config is not a folder");
}

// "Let other lighting programs use these devices": the window shows the stored
// choice; a tick or a port typed and left applies both together; a port that
// is not one is refused in the window and the stored one stands; a server
// that cannot listen says why beside the choice.
struct SdkChoiceCase {
    const char* name;
    bool tick;         // click the box
    const char* typed; // typed into the port field, then left; null: untouched
    bool listens;      // what applying answers
    int appliedPort;   // the port applied; 0: nothing applied
    bool appliedOn;
    const char* portShown; // the field afterwards
    bool errorShown;
};

void PrintTo(const SdkChoiceCase& c, std::ostream* out) {
    *out << c.name;
}

class SdkChoice : public SettingsWindowTest, public ::testing::WithParamInterface<SdkChoiceCase> {};

TEST_P(SdkChoice, AppliesTheTickAndThePortTogether) {
    const SdkChoiceCase& c = GetParam();
    std::vector<std::pair<bool, int>> applied;
    m_adjust = [&](SettingsWindowSetup& setup) {
        setup.sdkServer = [] { return std::pair<bool, int>(false, 6742); };
        setup.setSdkServer = [&](bool on, int port, std::string* error) {
            applied.emplace_back(on, port);
            if (!c.listens) {
                *error = "port " + std::to_string(port) + " is in use";
            }
            return c.listens;
        };
    };
    ASSERT_TRUE(StartWithSettings(1)); // English
    std::string portShown, error;
    bool errorShown = false;
    m_toolkit->SetModalDriver([&](ui::MemoryWindow& window) {
        ui::Control* box = window.FindControl("sdk_server_check");
        ui::Control* port = window.FindControl("sdk_port_edit");
        ASSERT_TRUE(box != nullptr && port != nullptr);
        EXPECT_TRUE(box->IsVisible());
        EXPECT_FALSE(SelectableOf(box).IsSelected());
        EXPECT_EQ(port->Text(), "6742");
        if (c.typed != nullptr) {
            EXPECT_TRUE(m_user.Type(*port, c.typed));
        }
        if (c.tick) {
            EXPECT_TRUE(m_user.Click(*box)); // also takes the focus from the field
        } else {
            EXPECT_TRUE(m_user.Focus(*box)); // the field is left
        }
        portShown = port->Text();
        errorShown = window.FindControl("sdk_server_error_text")->IsVisible();
        error = window.FindControl("sdk_server_error_text")->Text();
        EXPECT_TRUE(m_user.Click(window, "closebtn"));
    });
    EXPECT_TRUE(m_user.Click(*m_main->GetWindow(), "setbtn"));
    if (c.appliedPort == 0) {
        EXPECT_TRUE(applied.empty());
    } else {
        ASSERT_FALSE(applied.empty());
        EXPECT_EQ(applied.back(), std::make_pair(c.appliedOn, c.appliedPort));
    }
    EXPECT_EQ(portShown, c.portShown);
    EXPECT_EQ(errorShown, c.errorShown) << error;
    if (c.errorShown) {
        EXPECT_EQ(error.rfind("Other lighting programs cannot use the devices: ", 0), 0u) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SdkChoice,
    ::testing::Values(SdkChoiceCase{"tick", true, nullptr, true, 6742, true, "6742", false},
                      SdkChoiceCase{"tick_on_another_port", true, "7000", true, 7000, true, "7000", false},
                      SdkChoiceCase{"port_in_use", true, nullptr, false, 6742, true, "6742", true},
                      SdkChoiceCase{"not_a_port", false, "70000", true, 0, false, "6742", true},
                      SdkChoiceCase{"port_alone_is_stored_off", false, "7001", true, 7001, false, "7001",
                                    false}),
    [](const ::testing::TestParamInfo<SdkChoiceCase>& info) { return info.param.name; });

} // namespace
} // namespace velkor::test
