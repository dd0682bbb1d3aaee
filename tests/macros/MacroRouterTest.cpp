// The panel's buttons as a user clicks them: questions, messages, hooks, and
// the delete sweep across the device's profiles.
#include "MacroTestSupport.h"
#include "macros/MacroPanelRouter.h"
#include "support/ScriptedPrompts.h"
#include "ui/memory/MemoryUser.h"

namespace velkor::test {
namespace {

KeyFunction Macro(int index) {
    return *MakeMacro(index, 0);
}
constexpr int kKeyA = 0x200004;

Json::Value Profile(std::initializer_list<int> macros) {
    Json::Value root;
    root["profilename"] = "p";
    Json::Value profile;
    for (int macro : macros) {
        Json::Value key;
        key["Assignment"] = macro < 0 ? kKeyA : Macro(macro).ToKeyListValue();
        key["DefaultAssignment"] = kKeyA;
        profile["KeyList"].append(key);
    }
    root["Device"].append(profile);
    return root;
}

class MacroRouterTest : public MacroPanelTest {
protected:
    void SetUp() override {
        MacroPanelTest::SetUp();
        MacroPanelHooks hooks;
        hooks.profilePaths = [this] { return m_profiles; };
        hooks.selectedProfilePath = [this] { return m_profiles.empty() ? std::string() : m_profiles[0]; };
        hooks.currentKeys = [this] { return m_keys; };
        hooks.takeKeys = [this](const std::vector<KeyListEntry>& keys) {
            m_calls.push_back("takeKeys");
            if (!m_deviceSaves) {
                return false;
            }
            m_keys = keys;
            return true;
        };
        hooks.reloadPanels = [this] { m_calls.push_back("reloadPanels"); };
        hooks.macroAdded = [this](const std::string& name) { m_calls.push_back("added " + name); };
        hooks.macroRenamed = [this](int index, const std::string& name) {
            m_calls.push_back("renamed " + std::to_string(index) + " " + name);
        };
        hooks.macroRemoved = [this](int index) { m_calls.push_back("removed " + std::to_string(index)); };
        hooks.refreshKeyDisplay = [this] { m_calls.push_back("refreshKeyDisplay"); };
        hooks.writeMacrosAndKeys = [this] { m_calls.push_back("writeMacrosAndKeys"); };
        m_router = std::make_unique<MacroPanelRouter>(*m_panel, m_prompts, std::move(hooks));
        m_window->AddNotifier(*m_router);
    }
    void TearDown() override {
        if (m_router != nullptr) {
            m_window->RemoveNotifier(*m_router);
        }
    }
    // Three macros; the selected profile (held by the device) and two others on disk.
    void ThreeMacrosInThreeProfiles() {
        MakeLibrary({"a", "b", "c"});
        WriteMacro("g1", Json::Value(Json::arrayValue));
        m_profiles = {m_folder.File("sel.Json"), m_folder.File("p2.Json"), m_folder.File("p3.Json")};
        WriteJson(m_profiles[0], Profile({1}));
        WriteJson(m_profiles[1], Profile({2, 1, 0, -1}));
        WriteJson(m_profiles[2], Profile({2}));
        m_keys = {KeyListEntry{Macro(1), *KeyFunction::FromKeyListValue(kKeyA)},
                  KeyListEntry{Macro(2), *KeyFunction::FromKeyListValue(kKeyA)}};
        ASSERT_TRUE(m_user.ChooseItem(Part("macro_name_list"), 1));
    }
    std::vector<std::string> Snapshot() const {
        std::vector<std::string> bytes;
        for (const std::string& path : m_profiles) {
            bytes.push_back(ReadBytes(path));
        }
        bytes.push_back(ReadBytes(IndexPath()));
        return bytes;
    }
    int AssignmentAt(int profile, int key) {
        return ReadJson(m_profiles[static_cast<size_t>(profile)])["Device"][0]["KeyList"][key]["Assignment"]
            .asInt();
    }

    ScriptedPrompts m_prompts;
    ui::MemoryUser m_user;
    std::vector<std::string> m_profiles;
    std::vector<KeyListEntry> m_keys;
    bool m_deviceSaves = true;
    std::vector<std::string> m_calls;
    std::unique_ptr<MacroPanelRouter> m_router;
};

TEST_F(MacroRouterTest, DeletingRenumbersTheKeysOfEveryProfile) {
    ThreeMacrosInThreeProfiles();
    const std::string selectedBefore = ReadBytes(m_profiles[0]);
    m_prompts.QueueAnswer(kMsgConfirmed);
    m_prompts.QueueAnswer(kMsgConfirmed);
    ASSERT_TRUE(m_user.Click(*m_window, "macro_btn_name_sub"));

    EXPECT_EQ(m_prompts.MessageTexts(), (std::vector<std::string>{"message_text_4", "message_text_2"}));
    EXPECT_EQ(AssignmentAt(1, 0), Macro(1).ToKeyListValue());
    EXPECT_EQ(AssignmentAt(1, 1), kKeyA);
    EXPECT_EQ(AssignmentAt(1, 2), Macro(0).ToKeyListValue());
    EXPECT_EQ(AssignmentAt(2, 0), Macro(1).ToKeyListValue());
    EXPECT_EQ(ReadBytes(m_profiles[0]), selectedBefore) << "the device stores the selected profile itself";
    ASSERT_EQ(m_keys.size(), 2u);
    EXPECT_EQ(m_keys[0].current, *KeyFunction::FromKeyListValue(kKeyA));
    EXPECT_EQ(m_keys[1].current, Macro(1));
    EXPECT_EQ(m_panel->MacroNames(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(m_calls, (std::vector<std::string>{"takeKeys", "removed 1", "reloadPanels", "refreshKeyDisplay",
                                                 "writeMacrosAndKeys"}));
}

TEST_F(MacroRouterTest, AnsweringNoToTheSecondQuestionChangesNoFile) {
    ThreeMacrosInThreeProfiles();
    const std::vector<std::string> before = Snapshot();
    m_prompts.QueueAnswer(kMsgConfirmed);
    m_prompts.QueueAnswer(kMsgCancelled);
    EXPECT_EQ(m_router->DeleteWithSweep(), MacroDeleteOutcome::Cancelled);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(std::filesystem::exists(MacFile("g1")));
    EXPECT_EQ(m_panel->MacroCount(), 3);
    EXPECT_EQ(m_keys[0].current, Macro(1));
    EXPECT_TRUE(m_calls.empty());

    m_prompts.QueueAnswer(kMsgCancelled);
    EXPECT_EQ(m_router->DeleteWithSweep(), MacroDeleteOutcome::Cancelled) << "no to the first question";
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(MacroRouterTest, AMacroNoSelectedKeyPlaysIsDeletedAfterOneQuestion) {
    ThreeMacrosInThreeProfiles();
    ASSERT_TRUE(m_user.ChooseItem(Part("macro_name_list"), 0));
    m_prompts.QueueAnswer(kMsgConfirmed);
    EXPECT_EQ(m_router->DeleteWithSweep(), MacroDeleteOutcome::Deleted);
    EXPECT_EQ(m_prompts.MessageTexts(), std::vector<std::string>{"message_text_4"});
    EXPECT_EQ(m_keys[0].current, Macro(0)) << "moved down from 1";
    EXPECT_EQ(AssignmentAt(1, 2), kKeyA) << "the key that played macro 0 has its default back";
}

TEST_F(MacroRouterTest, WhenTheDeviceCannotStoreItsKeysEveryProfileIsPutBack) {
    ThreeMacrosInThreeProfiles();
    const std::vector<std::string> before = Snapshot();
    m_deviceSaves = false;
    m_prompts.QueueAnswer(kMsgConfirmed);
    m_prompts.QueueAnswer(kMsgConfirmed);
    EXPECT_EQ(m_router->DeleteWithSweep(), MacroDeleteOutcome::Failed);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(m_panel->MacroCount(), 3);
    EXPECT_TRUE(std::filesystem::exists(MacFile("g1")));
    EXPECT_EQ(m_prompts.MessageTexts().back(), MacroPanelRouter::kDeleteFailed);
    EXPECT_TRUE(m_router->NotRestored().empty());
}

TEST_F(MacroRouterTest, AnUnreadableProfileStopsTheDeletionBeforeAnyChange) {
    ThreeMacrosInThreeProfiles();
    std::filesystem::create_directory(m_folder.File("dir.Json"));
    m_profiles.push_back(m_folder.File("dir.Json"));
    const std::vector<std::string> before = Snapshot();
    m_prompts.QueueAnswer(kMsgConfirmed);
    m_prompts.QueueAnswer(kMsgConfirmed);
    EXPECT_EQ(m_router->DeleteWithSweep(), MacroDeleteOutcome::Failed);
    EXPECT_EQ(m_router->FailedPath(), m_folder.File("dir.Json"));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(m_keys[0].current, Macro(1));
}

TEST_F(MacroRouterTest, ButtonsAddRenameImportAndExport) {
    m_panel->LoadMacroList();
    ASSERT_TRUE(m_user.Click(*m_window, "macro_btn_name_add"));
    ASSERT_TRUE(m_user.Click(*m_window, "macro_btn_name_add"));
    EXPECT_EQ(m_calls,
              (std::vector<std::string>{"added macro_1", "reloadPanels", "added macro_2", "reloadPanels"}));
    m_calls.clear();

    ASSERT_TRUE(m_user.Type(Part("macro_edit_macroname"), "MACRO_1"));
    ASSERT_TRUE(m_user.Click(*m_window, "macro_btn_name_edit"));
    EXPECT_EQ(m_prompts.MessageTexts(), std::vector<std::string>{"message_text_5"});
    ASSERT_TRUE(m_user.Type(Part("macro_edit_macroname"), "  "));
    ASSERT_TRUE(m_user.Click(*m_window, "macro_btn_name_edit"));
    EXPECT_EQ(m_prompts.Messages().size(), 1u) << "a blank name says nothing";
    ASSERT_TRUE(m_user.Type(Part("macro_edit_macroname"), "spray"));
    ASSERT_TRUE(m_user.Click(*m_window, "macro_btn_name_edit"));
    EXPECT_EQ(m_calls, (std::vector<std::string>{"renamed 1 spray", "reloadPanels", "refreshKeyDisplay"}));
    m_calls.clear();

    m_panel->AppendEvent(Event("down", 10, 4, "09"));
    ASSERT_TRUE(m_user.Click(*m_window, "macro_btn_save"));
    m_prompts.QueueFile(m_folder.File("spray"));
    ASSERT_TRUE(m_user.Click(*m_window, "macro_btn_export"));
    EXPECT_EQ(ReadBytes(m_folder.File("spray.mac")), ReadBytes(m_panel->MacroFilePathAt(1)));
    m_prompts.QueueFile(m_folder.File("spray.mac"));
    ASSERT_TRUE(m_user.Click(*m_window, "macro_btn_import"));
    EXPECT_EQ(m_calls, (std::vector<std::string>{"added macro_2", "reloadPanels"}));
    EXPECT_EQ(ReadJson(m_panel->MacroFilePathAt(2))["Events"][0]["Delay"].asString(), "9");

    // The cancel button drops unsaved rows; choosing a row loads that macro.
    m_panel->AppendEvent(Event("up", 10, 4, "1"));
    ASSERT_TRUE(m_user.Click(*m_window, "macro_btn_cancel"));
    EXPECT_EQ(m_panel->EventCount(), 1);
    ASSERT_TRUE(m_user.ChooseItem(Part("macro_name_list"), 0));
    EXPECT_EQ(m_panel->EventCount(), 0);
    EXPECT_EQ(m_prompts.FileDialogCount(), 2);
}

TEST_F(MacroRouterTest, TheUserHearsWhyAnAddOrImportDidNothing) {
    MakeLibrary(std::vector<std::string>(50, "m"));
    EXPECT_TRUE(m_user.Click(*m_window, "macro_btn_name_add"));
    WriteBytes(m_folder.File("bad.mac"), "[1, 2]");
    MakeLibrary({"m"});
    m_prompts.QueueFile(m_folder.File("bad.mac"));
    EXPECT_TRUE(m_user.Click(*m_window, "macro_btn_import"));
    EXPECT_EQ(m_prompts.MessageTexts(),
              (std::vector<std::string>{std::string(MacroPanelRouter::kListFull),
                                        std::string(MacroPanelRouter::kNotMacroFile)}));
    EXPECT_TRUE(m_calls.empty());
}

TEST_F(MacroRouterTest, NotificationsFromOutsideThePanelAreNotTaken) {
    ui::ManualClock clock;
    std::unique_ptr<ui::Window> other = m_toolkit->CreateWindow(
        ui::WindowOptions{std::string(CMacroControlUI::kLayout), "Other", nullptr, nullptr, &m_creator});
    ASSERT_NE(other, nullptr);
    ui::Notification click{ui::kNotifyClick, other->FindControl("macro_btn_name_add"), other.get()};
    EXPECT_FALSE(m_router->Route(click));
    EXPECT_EQ(m_panel->MacroCount(), 0);
    click.sender = m_window->FindControl("macro_btn_name_add");
    EXPECT_TRUE(m_router->Route(click));
    EXPECT_EQ(m_panel->MacroCount(), 1);
}

} // namespace
} // namespace velkor::test
