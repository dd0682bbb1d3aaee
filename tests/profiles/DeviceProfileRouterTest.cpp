// The main window's side of the profile bar, driven as the user drives it:
// clicks, list choices and tabs on the in-memory toolkit, dialog and message
// box answers scripted.
#include "DeviceProfileTestSupport.h"
#include "profiles/ProfileBarRouter.h"
#include "support/ScriptedPrompts.h"
#include "ui/FamilyAccess.h"
#include "ui/Notification.h"
#include "ui/memory/MemoryUser.h"

namespace velkor::test {
namespace {

using ui::test::SelectableOf;

class RecordingOwner final : public ProfileBarOwner {
public:
    void ProfileSelected(const std::string& identifier) override { selected.push_back(identifier); }
    void OptionTabChosen(int type) override { tabs.push_back(type); }

    std::vector<std::string> selected;
    std::vector<int> tabs;
};

// Hands every notification of the window to the router, as the main window does.
class RouterReceiver final : public ui::NotifyReceiver {
public:
    explicit RouterReceiver(ProfileBarRouter& router) : m_router(router) {}
    void Notify(const ui::Notification& notification) override {
        if (m_router.Route(notification)) {
            ++handled;
        }
    }
    int handled = 0;

private:
    ProfileBarRouter& m_router;
};

class ProfileBarRouting : public DeviceProfileBar {
protected:
    void SetUp() override {
        DeviceProfileBar::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        Init(DeviceClass::Mouse);
        AddProfiles(2);
        m_router = std::make_unique<ProfileBarRouter>(*m_bar, m_prompts, m_owner);
        m_receiver = std::make_unique<RouterReceiver>(*m_router);
        m_window->AddNotifier(*m_receiver);
        m_window->Show();
        m_bar->ShowMenu(true);
    }
    void TearDown() override {
        if (m_receiver) {
            m_window->RemoveNotifier(*m_receiver);
        }
    }
    bool Click(std::string_view name) { return m_user.Click(Part(name)); }

    ScriptedPrompts m_prompts;
    RecordingOwner m_owner;
    ui::MemoryUser m_user;
    std::unique_ptr<ProfileBarRouter> m_router;
    std::unique_ptr<RouterReceiver> m_receiver;
};

TEST_F(ProfileBarRouting, ChoosingAProfileSelectsItAndTellsTheOwner) {
    ASSERT_TRUE(m_user.ChooseItem(Part("device_profile_combo"), 2));
    EXPECT_EQ(m_owner.selected, std::vector<std::string>{IdentifierAt(2)});
    EXPECT_EQ(m_bar->GetSelectedIdentifier(), IdentifierAt(2));
    EXPECT_EQ(List()["profileselect"].asInt(), 2);
    EXPECT_EQ(m_bar->GetNameText(), "profile3");
}

TEST_F(ProfileBarRouting, ButtonsRunTheirOperations) {
    ASSERT_TRUE(Click("device_add_btn"));
    ASSERT_TRUE(Click("device_copy_btn"));
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"profile1", "profile2", "profile3", "profile4", "profile1 copy"}));
    EXPECT_TRUE(m_owner.selected.empty()) << "adding and copying load nothing";

    ASSERT_TRUE(m_user.ChooseItem(Part("device_profile_combo"), 1));
    m_owner.selected.clear();
    ASSERT_TRUE(Click("device_sub_btn"));
    EXPECT_EQ(m_owner.selected, std::vector<std::string>{IdentifierAt(0)}) << "the new selection is loaded";
    EXPECT_EQ(Names().size(), 4u);

    ASSERT_TRUE(Click("profile_fun_spread_btn"));
    EXPECT_FALSE(m_bar->IsMenuShown());
    ASSERT_TRUE(Click("profile_fun_spread_btn"));
    EXPECT_TRUE(m_bar->IsMenuShown());
    EXPECT_TRUE(m_prompts.Messages().empty());
}

TEST_F(ProfileBarRouting, RenameShowsWhyANameIsRefused) {
    ASSERT_TRUE(m_user.Type(Part("device_profile_name_edit"), "PROFILE2"));
    ASSERT_TRUE(Click("device_profile_edit_save_btn"));
    ASSERT_TRUE(m_user.Type(Part("device_profile_name_edit"), "   "));
    ASSERT_TRUE(Click("device_profile_edit_save_btn"));
    EXPECT_EQ(m_prompts.MessageTexts(), (std::vector<std::string>{"message_text_5", "message_text_25"}));
    EXPECT_EQ(Names()[0], "profile1");

    m_prompts.Clear();
    ASSERT_TRUE(m_user.Type(Part("device_profile_name_edit"), ""));
    ASSERT_TRUE(Click("device_profile_edit_save_btn"));
    ASSERT_TRUE(m_user.Type(Part("device_profile_name_edit"), "Racing"));
    ASSERT_TRUE(Click("device_profile_edit_save_btn"));
    EXPECT_TRUE(m_prompts.Messages().empty());
    EXPECT_EQ(Names()[0], "Racing");
}

TEST_F(ProfileBarRouting, ResetAsksFirstAndReloadsTheProfile) {
    Json::Value edited = ProfileAt(0);
    edited["Device"][0]["LightInfo"]["SelectItem"] = 1;
    WriteRaw(FileOf(IdentifierAt(0)), CJsonFileHelper().StyledText(edited));

    ASSERT_TRUE(Click("device_reset_btn")); // the scripted box answers "cancel"
    ASSERT_EQ(m_prompts.Messages().size(), 1u);
    EXPECT_EQ(m_prompts.Messages()[0].text, "message_text_22");
    EXPECT_EQ(m_prompts.Messages()[0].buttons, MsgButtons::Question);
    EXPECT_EQ(ProfileAt(0)["Device"], edited["Device"]);
    EXPECT_TRUE(m_owner.selected.empty());

    m_prompts.QueueAnswer(kMsgConfirmed);
    ASSERT_TRUE(Click("device_reset_btn"));
    EXPECT_EQ(ProfileAt(0)["Device"], DefaultProfileDocument()["Device"]);
    EXPECT_EQ(m_owner.selected, std::vector<std::string>{IdentifierAt(0)});
}

TEST_F(ProfileBarRouting, ImportAndExportGoThroughTheFileDialogs) {
    const std::string exported = m_temp.Path("Saved.json");
    m_prompts.QueueFile(exported);
    ASSERT_TRUE(Click("device_export_btn"));
    EXPECT_EQ(ReadRawJson(exported)["profilename"].asString(), "profile1");

    m_prompts.QueueFile(exported);
    ASSERT_TRUE(Click("device_import_btn"));
    EXPECT_EQ(Names().back(), "Saved");

    // Cancelled dialogs and files that are no profile change nothing, silently.
    const std::string before = ReadRaw(ListPath());
    WriteRaw(m_temp.Path("Plain.json"), R"({"Device": [{}]})");
    m_prompts.QueueFile(m_temp.Path("Plain.json"));
    ASSERT_TRUE(Click("device_import_btn"));
    ASSERT_TRUE(Click("device_import_btn"));
    ASSERT_TRUE(Click("device_export_btn"));
    EXPECT_EQ(ReadRaw(ListPath()), before);
    EXPECT_EQ(m_prompts.FileDialogCount(), 5);
    EXPECT_TRUE(m_prompts.Messages().empty());
}

TEST_F(ProfileBarRouting, TabsShowTheirPanel) {
    ASSERT_TRUE(Click("key_Op_tab"));
    ASSERT_TRUE(Click("deng_Op_tab"));
    EXPECT_EQ(m_owner.tabs, (std::vector<int>{2, 1}));
    EXPECT_TRUE(SelectableOf(Part("deng_Op_tab")).IsSelected());
    EXPECT_FALSE(SelectableOf(Part("key_Op_tab")).IsSelected());
}

TEST_F(ProfileBarRouting, AnotherBarsControlsAreNotRouted) {
    BarCreator creator;
    std::string error;
    ui::Control* other = m_toolkit->BuildInto(*m_window->FindControl("device_power_switch"),
                                              CDeviceProfileUI::kLayout, &creator, &error);
    ASSERT_NE(other, nullptr) << error;
    other->FindChild("profile_menu_layout")->SetVisible(true);
    const int handled = m_receiver->handled;
    ASSERT_TRUE(m_user.Click(*other->FindChild("device_add_btn")));
    EXPECT_EQ(m_receiver->handled, handled);
    EXPECT_EQ(Names().size(), 3u);

    ui::Notification foreign{ui::kNotifyClick, m_window->FindControl("closebtn"), m_window.get()};
    EXPECT_FALSE(m_router->Route(foreign));
    ui::Notification empty{ui::kNotifyClick, nullptr, m_window.get()};
    EXPECT_FALSE(m_router->Route(empty));
}

TEST(MacroWriteResult, MessagesAndWhetherTheKeyTableFollows) {
    ScriptedPrompts prompts;
    prompts.SetText("message_text_16", "The macros need %d more events of space.");
    EXPECT_TRUE(ReportMacroWriteResult(0, prompts));
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_TRUE(ReportMacroWriteResult(-1, prompts));
    EXPECT_FALSE(ReportMacroWriteResult(12, prompts));
    ASSERT_EQ(prompts.Messages().size(), 2u);
    EXPECT_EQ(prompts.Messages()[0].text, "message_text_7");
    EXPECT_TRUE(prompts.Messages()[0].isKey);
    EXPECT_EQ(prompts.Messages()[1].text, "The macros need 12 more events of space.");
    EXPECT_FALSE(prompts.Messages()[1].isKey);
}

} // namespace
} // namespace velkor::test
