// The recoil panel on the in-memory toolkit with the program's own layout and
// shipped default patterns, its files in temporary folders.
#include "MacroTestSupport.h"
#include "macros/CShootControlUI.h"
#include "macros/ShootPanelRouter.h"
#include "support/ScriptedPrompts.h"
#include "ui/FamilyAccess.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velkor::test {
namespace {

using ui::test::SelectableOf;

std::string ShippedDefaults() {
    return (std::filesystem::path(SkinFolder()).parent_path() / "DefaultData").string() + "/";
}

class ShootCreator final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view c) const override { return c == CShootControlUI::kControlClass; }
    void ControlCreated(std::string_view, ui::Control&) override {}
};

class ShootPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int g = 0; g < kRecoilGunCount; ++g) {
            std::filesystem::copy_file(ShippedDefaults() + RecoilFileName(g),
                                       m_defaults.File(RecoilFileName(g)));
        }
        std::string error;
        m_toolkit = ui::MemoryToolkit::Create(SkinFolder(), m_clock, &error);
        ASSERT_NE(m_toolkit, nullptr) << error;
        ui::WindowOptions options;
        options.layout = std::string(CShootControlUI::kLayout);
        options.className = "ShootTest";
        options.creator = &m_creator;
        m_window = m_toolkit->CreateWindow(options, &error);
        ASSERT_NE(m_window, nullptr) << error;
        m_window->Show();
        m_panel = std::make_unique<CShootControlUI>(m_window->Root());
        BuildPage();
    }
    // The mouse page's set-up.
    void BuildPage() {
        m_panel->SetUserFolder(m_user.Path());
        m_panel->SetDefaultFolder(m_defaults.Path());
        m_panel->InitShootPanel();
        m_panel->SelectGun(0);
        m_panel->SelectBullet(0);
    }
    ui::Control& Part(std::string_view name) { return *m_window->FindControl(name); }
    std::string UserFile(int gun) const { return m_user.File(RecoilFileName(gun)); }
    RecoilBullet Stored(int gun, int bullet) const {
        return ReadRecoilBullet(ReadJson(UserFile(gun)), bullet);
    }
    void Type(std::string_view edit, std::string_view text) { Part(edit).SetText(text); }

    TempFolder m_user;
    TempFolder m_defaults;
    ui::ManualClock m_clock;
    ShootCreator m_creator;
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    std::unique_ptr<ui::Window> m_window;
    std::unique_ptr<CShootControlUI> m_panel;
};

TEST_F(ShootPanelTest, SavingBulletTwoWritesItsSixEventsOnly) {
    const Json::Value before = ReadJson(UserFile(0));
    ASSERT_EQ(before["Events"].size(), 180u) << "the page set-up copied the default";
    m_panel->SelectBullet(2);
    Type("bullet_x_eidt", "3");
    Type("bullet_y_eidt", "12");
    Type("bullet_delay_eidt", "95");
    SelectableOf(Part("bullet_x_check")).SetSelected(true, false);
    SelectableOf(Part("bullet_y_check")).SetSelected(false, false);
    ASSERT_TRUE(m_panel->SaveBullet());

    const Json::Value after = ReadJson(UserFile(0));
    const char* expected[] = {R"({"Action":"down","Type":1,"Button":1,"Delay":10})",
                              R"({"Action":"up","Type":1,"Button":1,"Delay":0})",
                              R"({"Action":"down","Type":4,"Button":3,"Delay":5})",
                              R"({"Action":"up","Type":5,"Button":12,"Delay":95})",
                              R"({"Action":"down","Type":4,"Button":0,"Delay":0})",
                              R"({"Action":"up","Type":5,"Button":0,"Delay":0})"};
    ASSERT_EQ(after["Events"].size(), 180u);
    for (Json::ArrayIndex i = 0; i < 180; ++i) {
        EXPECT_EQ(after["Events"][i], i >= 12 && i < 18 ? ParseText(expected[i - 12]) : before["Events"][i])
            << i;
    }
    for (int g = 1; g < kRecoilGunCount; ++g) {
        EXPECT_EQ(ReadBytes(UserFile(g)), ReadBytes(m_defaults.File(RecoilFileName(g))));
    }
}

TEST_F(ShootPanelTest, PreviousAndNextStopAtTheEnds) {
    m_panel->SelectBullet(29);
    m_panel->NextBullet();
    EXPECT_EQ(m_panel->SelectedBullet(), 29);
    EXPECT_EQ(Part("bullet_select_index").Text(), "30");
    EXPECT_TRUE(SelectableOf(Part("bullet_op_29")).IsSelected());
    m_panel->SelectBullet(0);
    m_panel->PreviousBullet();
    EXPECT_EQ(m_panel->SelectedBullet(), 0);
    EXPECT_EQ(Part("bullet_select_index").Text(), "1");
    EXPECT_TRUE(SelectableOf(Part("bullet_op_0")).IsSelected());
    EXPECT_FALSE(SelectableOf(Part("bullet_op_29")).IsSelected());
}

struct SwitchCase {
    const char* name;
    const char* edit; // typed into this edit (or null)
    const char* text;
    bool tickX;     // tick the horizontal direction
    bool switchGun; // switch the gun instead of the bullet
    RecoilBullet (*expect)(RecoilBullet);
};

class ShootCommitTest : public ShootPanelTest, public ::testing::WithParamInterface<SwitchCase> {};

// A change on screen is written before another bullet or gun is shown.
TEST_P(ShootCommitTest, ShownChangesReachTheFileBeforeASwitch) {
    m_panel->SelectBullet(4);
    const RecoilBullet before = Stored(0, 4);
    if (GetParam().edit != nullptr) {
        Type(GetParam().edit, GetParam().text);
    }
    if (GetParam().tickX) {
        SelectableOf(Part("bullet_x_check")).SetSelected(!before.left, false);
        m_panel->UpdateDirectionText("bullet_x_check");
    }
    if (GetParam().switchGun) {
        m_panel->SelectGun(1);
    } else {
        m_panel->SelectBullet(5);
    }
    EXPECT_EQ(Stored(0, 4), GetParam().expect(before));
    // Showing never writes: switching back and forth changes nothing more.
    const std::string bytes = ReadBytes(UserFile(0));
    m_panel->SelectGun(0);
    m_panel->SelectBullet(4);
    m_panel->SelectBullet(6);
    EXPECT_EQ(ReadBytes(UserFile(0)), bytes);
}

INSTANTIATE_TEST_SUITE_P(Switches, ShootCommitTest,
                         ::testing::Values(SwitchCase{"check", nullptr, nullptr, true, false,
                                                      [](RecoilBullet b) { return b.left = !b.left, b; }},
                                           SwitchCase{"edit", "bullet_y_eidt", "17", false, false,
                                                      [](RecoilBullet b) { return b.vertical = 17, b; }},
                                           SwitchCase{"gun_switch", "bullet_delay_eidt", "333", true, true,
                                                      [](RecoilBullet b) {
                                                          return b.delay = 333, b.left = !b.left, b;
                                                      }}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ClampCase {
    const char* edit;
    const char* typed;
    const char* shown;
};

class ShootClampTest : public ShootPanelTest, public ::testing::WithParamInterface<ClampCase> {};

TEST_P(ShootClampTest, StoresAndShowsWhatTheMouseHolds) {
    Type(GetParam().edit, GetParam().typed);
    ASSERT_TRUE(m_panel->SaveBullet());
    EXPECT_EQ(Part(GetParam().edit).Text(), GetParam().shown);
    const RecoilBullet stored = Stored(0, 0);
    const int value = std::string_view(GetParam().edit) == "bullet_x_eidt"   ? stored.horizontal
                      : std::string_view(GetParam().edit) == "bullet_y_eidt" ? stored.vertical
                                                                             : stored.delay;
    EXPECT_EQ(std::to_string(value), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Values, ShootClampTest,
                         ::testing::Values(ClampCase{"bullet_x_eidt", "300", "255"},
                                           ClampCase{"bullet_y_eidt", "-5", "0"},
                                           ClampCase{"bullet_x_eidt", "abc", "0"},
                                           ClampCase{"bullet_delay_eidt", "70000", "65535"},
                                           ClampCase{"bullet_delay_eidt", "99999999999999999999", "65535"}));

TEST_F(ShootPanelTest, MissingFilesComeBackFromTheDefaultsAndResetNeedsOne) {
    std::filesystem::remove(UserFile(2));
    BuildPage();
    EXPECT_EQ(ReadBytes(UserFile(2)), ReadBytes(m_defaults.File(RecoilFileName(2))));

    // A missing user file: saving a bullet starts from the default, not from nothing.
    std::filesystem::remove(UserFile(0));
    Type("bullet_x_eidt", "9");
    ASSERT_TRUE(m_panel->SaveBullet());
    EXPECT_EQ(ReadJson(UserFile(0))["Events"].size(), 180u);
    EXPECT_EQ(Stored(0, 1), ReadRecoilBullet(ReadJson(m_defaults.File(RecoilFileName(0))), 1));

    // Without a default the reset is refused and the user's pattern stays.
    std::filesystem::remove(m_defaults.File(RecoilFileName(0)));
    const std::string bytes = ReadBytes(UserFile(0));
    EXPECT_FALSE(m_panel->ResetGun(0));
    EXPECT_EQ(m_panel->LastFailure(), ShootFailure::NoDefault);
    EXPECT_EQ(ReadBytes(UserFile(0)), bytes);
}

struct ImportCase {
    const char* name;
    std::string content;
    ShootFailure failure;
};

class ShootImportTest : public ShootPanelTest, public ::testing::WithParamInterface<ImportCase> {};

TEST_P(ShootImportTest, RefusedImportsLeaveTheFileByteForByte) {
    const std::string path = m_defaults.File("other.shoot");
    WriteBytes(path, GetParam().content);
    const std::string bytes = ReadBytes(UserFile(0));
    EXPECT_FALSE(m_panel->ImportGun(path));
    EXPECT_EQ(m_panel->LastFailure(), GetParam().failure);
    EXPECT_EQ(ReadBytes(UserFile(0)), bytes);
}

std::string Events(int count) {
    std::string text = R"({"Events":[)";
    for (int i = 0; i < count; ++i) {
        text += std::string(i ? "," : "") + R"({"Action":"up","Type":1,"Button":1,"Delay":0})";
    }
    return text + "]}";
}

INSTANTIATE_TEST_SUITE_P(
    Files, ShootImportTest,
    ::testing::Values(ImportCase{"picture", "\x89PNG\r\n", ShootFailure::NotShootFile},
                      ImportCase{"no_array", R"({"Events":{}})", ShootFailure::NotShootFile},
                      ImportCase{"array_file", "[1,2,3]", ShootFailure::NotShootFile},
                      ImportCase{"events_181", Events(181), ShootFailure::TooManyEvents}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShootPanelTest, ImportAndExportCopyBytes) {
    const std::string path = m_defaults.File("mine.Shoot");
    const std::string text = "{ \"Events\" : [ {\"Action\":\"DOWN\",\"Button\":\"x\"}, {} ], \"Note\": 1 }\n";
    WriteBytes(path, text);
    m_panel->SelectGun(3);
    ASSERT_TRUE(m_panel->ImportGun(path));
    EXPECT_EQ(ReadBytes(UserFile(3)), text);
    EXPECT_EQ(Part("bullet_x_eidt").Text(), "0"); // members of other types show as 0
    const std::string out = m_defaults.File("out.shoot");
    ASSERT_TRUE(m_panel->ExportGun(out));
    EXPECT_EQ(ReadBytes(out), text);
}

struct RouteCase {
    const char* name;
    std::string_view type;
    const char* sender;
    // What the notification did when a mouse is selected.
    bool (*changed)(CShootControlUI& panel, const std::string& bytesBefore, const std::string& bytesAfter);
};

class ShootRouterTest : public ShootPanelTest, public ::testing::WithParamInterface<RouteCase> {
protected:
    void MakeRouter(bool mouse) {
        ShootPanelHooks hooks;
        hooks.mouseSelected = [mouse] { return mouse; };
        hooks.upload = [this](std::function<void(const RecoilSendResult&)> done) {
            m_uploadedBytes = ReadBytes(UserFile(0));
            done(m_result);
            return true;
        };
        m_router = std::make_unique<ShootPanelRouter>(*m_panel, m_prompts, std::move(hooks));
    }
    // Bullet 4 shown with a typed horizontal distance; a reset file ready.
    void Prepare() {
        m_panel->SelectBullet(4);
        Type("bullet_x_eidt", "77");
        SelectableOf(Part("bullet_op_7")).SetSelected(true, false);
        SelectableOf(Part("shoot_gun_op_2")).SetSelected(true, false);
        m_prompts.QueueFile(m_defaults.File("export.shoot"));
    }

    ScriptedPrompts m_prompts;
    std::unique_ptr<ShootPanelRouter> m_router;
    RecoilSendResult m_result{true, -1};
    std::string m_uploadedBytes;
};

// Each handler acts for a mouse and does nothing for another device.
TEST_P(ShootRouterTest, ActsOnlyForAMouse) {
    for (const bool mouse : {false, true}) {
        // A fresh panel over fresh files each time.
        m_panel = std::make_unique<CShootControlUI>(m_window->Root());
        std::filesystem::remove(UserFile(0));
        m_uploadedBytes.clear();
        BuildPage();
        MakeRouter(mouse);
        Prepare();
        const std::string before = ReadBytes(UserFile(0));
        const int bullet = m_panel->SelectedBullet();
        const int gun = m_panel->SelectedGun();
        const ui::Notification notification{GetParam().type, &Part(GetParam().sender), m_window.get()};
        EXPECT_EQ(m_router->Route(notification), mouse);
        if (!mouse) {
            EXPECT_EQ(ReadBytes(UserFile(0)), before);
            EXPECT_EQ(m_panel->SelectedBullet(), bullet);
            EXPECT_EQ(m_panel->SelectedGun(), gun);
            EXPECT_TRUE(m_uploadedBytes.empty());
        } else {
            EXPECT_TRUE(GetParam().changed(*m_panel, before, ReadBytes(UserFile(0)))) << GetParam().name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Notifications, ShootRouterTest,
    ::testing::Values(RouteCase{"gun", ui::kNotifySelectChanged, "shoot_gun_op_2",
                                [](CShootControlUI& p, const std::string& a, const std::string& b) {
                                    return p.SelectedGun() == 2 &&
                                           a != b; // the typed value was committed first
                                }},
                      RouteCase{"bullet", ui::kNotifySelectChanged, "bullet_op_7",
                                [](CShootControlUI& p, const std::string& a, const std::string& b) {
                                    return p.SelectedBullet() == 7 && a != b;
                                }},
                      RouteCase{"edit", ui::kNotifyKillFocus, "bullet_x_eidt",
                                [](CShootControlUI&, const std::string&, const std::string& b) {
                                    return ReadRecoilBullet(ParseText(b), 4).horizontal == 77;
                                }},
                      RouteCase{"next", ui::kNotifyClick, "bullet_selected_next",
                                [](CShootControlUI& p, const std::string&, const std::string&) {
                                    return p.SelectedBullet() == 5;
                                }},
                      RouteCase{"save", ui::kNotifyClick, "shootdate_save_btn",
                                [](CShootControlUI&, const std::string&, const std::string& b) {
                                    return ReadRecoilBullet(ParseText(b), 4).horizontal == 77;
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShootRouterTest, SaveSendsTheShownBulletAndTellsFailures) {
    MakeRouter(true);
    m_panel->SelectBullet(4);
    Type("bullet_y_eidt", "21");
    m_router->Save();
    EXPECT_EQ(ReadRecoilBullet(ParseText(m_uploadedBytes), 4).vertical, 21) << "committed before the upload";
    EXPECT_TRUE(m_prompts.Messages().empty()) << "success is not told";

    m_result = {false, -1};
    m_router->Save();
    EXPECT_EQ(m_prompts.MessageTexts(), std::vector<std::string>{"message_text_26"});

    m_prompts.Clear();
    m_prompts.SetText("shoot_too_many_events_text", "gun %d too long");
    m_result = {false, 2};
    m_router->Save();
    EXPECT_EQ(m_prompts.MessageTexts(), std::vector<std::string>{"gun 3 too long"});
}

TEST(ShootRouterNames, OptionNumbersComeAfterTheLastUnderscore) {
    EXPECT_EQ(ShootPanelRouter::OptionNumber("shoot_gun_op_3", "shoot_gun_op"), 3);
    EXPECT_EQ(ShootPanelRouter::OptionNumber("bullet_op_29", "bullet_op"), 29);
    EXPECT_EQ(ShootPanelRouter::OptionNumber("bullet_op_", "bullet_op"), std::nullopt);
    EXPECT_EQ(ShootPanelRouter::OptionNumber("bullet_op_x", "bullet_op"), std::nullopt);
    EXPECT_EQ(ShootPanelRouter::OptionNumber("shoot_gun_op_1", "bullet_op"), std::nullopt);
}

} // namespace
} // namespace velkor::test
