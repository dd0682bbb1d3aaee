// The macro panel built from the program's layout, on a library in a temporary folder.
#include "MacroTestSupport.h"
#include "macros/MacroFiles.h"
#include "ui/FamilyAccess.h"

#include <regex>

namespace velkor::test {
namespace {

using ui::test::ListOf;

const std::regex kTimeStamp(R"(\d{4}_\d{2}_\d{2}_\d{2}_\d{2}_\d{2}_\d{3})");

TEST_F(MacroPanelTest, TheFirstMacroOfAFreshDeviceHasATimeStampGuidAndNoFileYet) {
    m_panel->LoadMacroList();
    EXPECT_FALSE(Part("macro_btn_name_sub").IsEnabled());
    EXPECT_EQ(m_panel->GetSelectedMacro(), -1);

    EXPECT_EQ(m_panel->AddMacro(), "macro_1");
    const Json::Value index = ReadJson(IndexPath());
    ASSERT_EQ(index["MacroInfo"].size(), 1u);
    EXPECT_EQ(index["MacroInfo"][0]["MacroName"].asString(), "macro_1");
    const std::string guid = index["MacroInfo"][0]["Guid"].asString();
    EXPECT_TRUE(std::regex_match(guid, kTimeStamp)) << guid;
    EXPECT_FALSE(std::filesystem::exists(MacFile(guid)));
    EXPECT_EQ(m_panel->GetSelectedMacro(), 0);
    EXPECT_EQ(ListOf(Part("macro_name_list")).ItemUserData(0), guid);
    for (const char* name : {"macro_action_layout", "mouse_move_layout", "macro_btn_export",
                             "macro_btn_name_sub", "macro_btn_name_edit"}) {
        EXPECT_TRUE(Part(name).IsEnabled()) << name;
    }

    // Made within the same millisecond, the next macro still gets a file of its own.
    EXPECT_EQ(m_panel->AddMacro(), "macro_2");
    EXPECT_NE(ReadJson(IndexPath())["MacroInfo"][1]["Guid"].asString(), guid);
}

TEST_F(MacroPanelTest, NewNamesSkipTakenOnesWithoutRegardToCase) {
    MakeLibrary({"macro_1", "Macro_2"});
    EXPECT_EQ(m_panel->MacroNames(), (std::vector<std::string>{"macro_1", "Macro_2"}));
    EXPECT_EQ(m_panel->AddMacro(), "macro_3");
    EXPECT_EQ(m_panel->GetSelectedMacro(), 2);
    EXPECT_EQ(ReadJson(IndexPath())["MacroInfo"][1]["Guid"].asString(), "g1") << "others kept";
}

TEST_F(MacroPanelTest, TheFiftyFirstMacroIsRefusedByAddAndImport) {
    MakeLibrary(std::vector<std::string>(50, "m"));
    const std::string before = ReadBytes(IndexPath());
    EXPECT_EQ(m_panel->AddMacro(), "");
    EXPECT_EQ(m_panel->LastFailure(), MacroFailure::ListFull);

    const std::string source = m_folder.File("in.mac.src");
    WriteBytes(source, R"({"Events": [], "Version": 64})");
    EXPECT_EQ(m_panel->ImportMacro(source), "");
    EXPECT_EQ(ReadBytes(IndexPath()), before);
    EXPECT_EQ(m_panel->MacroCount(), 50);
    int macFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.Path())) {
        macFiles += entry.path().extension() == ".mac" ? 1 : 0;
    }
    EXPECT_EQ(macFiles, 0);
}

TEST_F(MacroPanelTest, RenameRefusesTakenAndBlankNamesAndNeedsASelection) {
    MakeLibrary({"fire", "Reload"});
    int index = 7;
    Part("macro_edit_macroname").SetText("other");
    EXPECT_EQ(m_panel->RenameMacro(index), "IsEmpty") << "nothing selected";
    EXPECT_EQ(index, -1);

    Select(0);
    Part("macro_edit_macroname").SetText("   ");
    EXPECT_EQ(m_panel->RenameMacro(index), "IsEmpty");
    EXPECT_EQ(index, -1);
    Part("macro_edit_macroname").SetText("reload");
    EXPECT_EQ(m_panel->RenameMacro(index), "");
    EXPECT_EQ(index, 0) << "taken: the index of the selected macro";
    Part("macro_edit_macroname").SetText("FIRE");
    EXPECT_EQ(m_panel->RenameMacro(index), "") << "its own name counts as taken";
    EXPECT_EQ(index, 0);
    EXPECT_EQ(ReadJson(IndexPath())["MacroInfo"][0]["MacroName"].asString(), "fire");

    Part("macro_edit_macroname").SetText("  burst ");
    EXPECT_EQ(m_panel->RenameMacro(index), "burst");
    EXPECT_EQ(index, 0);
    EXPECT_EQ(ListOf(Part("macro_name_list")).ItemText(0), "burst");
    EXPECT_EQ(Part("macro_edit_macroname").Text(), "");
    const Json::Value entry = ReadJson(IndexPath())["MacroInfo"][0];
    EXPECT_EQ(entry["MacroName"].asString(), "burst");
    EXPECT_EQ(entry["Guid"].asString(), "g0");
}

TEST_F(MacroPanelTest, SaveNormalisesEveryDelayFieldAndShowsLongDelaysAsTheMaximum) {
    MakeLibrary({"m"});
    Json::Value events(Json::arrayValue);
    events.append(Event("down", 10, 4, "007"));
    events.append(Event("up", 10, 4, ""));
    events.append(Event("down", 1, 1, "70000"));
    WriteMacro("g0", events);
    Select(0);
    ASSERT_EQ(m_panel->EventCount(), 3);
    const ui::Control* left = m_panel->EventRowControl(2);
    EXPECT_EQ(left->FindChild("macro_action_name")->Text(), "mouse_key_left");
    EXPECT_EQ(left->FindChild("macro_action_name")->StyleClass(), "macro_label_mouse_style");
    EXPECT_EQ(left->FindChild("macro_action_value")->Text(), "macro_action_down_text");
    EXPECT_EQ(m_panel->EventDelayText(2), "65535");
    EXPECT_EQ(m_panel->EventDelayText(0), "7");
    ASSERT_TRUE(m_panel->SetEventDelayText(0, "007"));
    ASSERT_TRUE(m_panel->SetEventDelayText(1, ""));

    ASSERT_TRUE(m_panel->SaveMacro());
    const Json::Value saved = ReadJson(MacFile("g0"));
    EXPECT_EQ(saved["Events"][0]["Delay"].asString(), "7");
    EXPECT_EQ(saved["Events"][1]["Delay"].asString(), "0");
    EXPECT_EQ(saved["Events"][2]["Delay"].asString(), "65535");
    EXPECT_EQ(saved["Version"].asInt(), 64);
    EXPECT_EQ(saved["MacroName"].asString(), "m");
    EXPECT_EQ(saved["Guid"].asString(), "g0");
    EXPECT_EQ(m_panel->EventDelayText(0), "7") << "the row holds what was stored";
    EXPECT_EQ(m_panel->EventDelayText(1), "0");
    EXPECT_EQ(ParseText(m_panel->EventText(0))["Delay"].asString(), "7");
}

TEST_F(MacroPanelTest, DeleteClosesTheGapAndShowsTheFirstMacrosEvents) {
    MakeLibrary({"a", "b", "c"});
    Json::Value first(Json::arrayValue);
    first.append(Event("down", 10, 4, "5"));
    WriteMacro("g0", first);
    WriteMacro("g1", Json::Value(Json::arrayValue));
    Select(1);
    EXPECT_EQ(m_panel->DeleteMacro(), 1);
    const std::vector<MacroInfoEntry> entries = MacroIndexEntries(ReadJson(IndexPath()));
    EXPECT_EQ(entries, (std::vector<MacroInfoEntry>{{"a", "g0"}, {"c", "g2"}}));
    EXPECT_FALSE(std::filesystem::exists(MacFile("g1")));
    EXPECT_EQ(m_panel->MacroNames(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(m_panel->GetSelectedMacro(), 0);
    // Saving now must not wipe macro "a": its events are the ones shown.
    EXPECT_EQ(m_panel->EventCount(), 1);

    Select(0);
    EXPECT_EQ(m_panel->DeleteMacro(), 0);
    EXPECT_EQ(m_panel->DeleteMacro(), 0);
    EXPECT_EQ(m_panel->DeleteMacro(), -1) << "empty list";
    EXPECT_FALSE(Part("macro_btn_name_sub").IsEnabled());
    EXPECT_EQ(ReadJson(IndexPath())["MacroInfo"].size(), 0u);
}

TEST_F(MacroPanelTest, ExportAndImportCopyTheFileByteForByte) {
    MakeLibrary({"fire"});
    Select(0);
    ASSERT_TRUE(m_panel->AppendEvent(Event("down", 9, 1, "30")));
    ASSERT_TRUE(m_panel->AppendEvent(Event("up", 9, 1, "0")));
    ASSERT_TRUE(m_panel->SaveMacro());
    const std::string exported = m_folder.File("out.mac");
    ASSERT_TRUE(m_panel->ExportMacro(exported));
    EXPECT_EQ(ReadBytes(exported), ReadBytes(MacFile("g0")));

    EXPECT_EQ(m_panel->ImportMacro(exported), "macro_1");
    const std::string guid = m_panel->GetSelectedGuid();
    EXPECT_NE(guid, "g0");
    EXPECT_EQ(ReadBytes(MacFile(guid)), ReadBytes(exported));
    EXPECT_EQ(ReadJson(MacFile(guid))["MacroName"].asString(), "fire") << "the file keeps its own name";
    EXPECT_EQ(ListOf(Part("macro_name_list")).ItemText(1), "macro_1");
    EXPECT_EQ(m_panel->EventCount(), 2);

    // A macro never saved exports as the file a save would write.
    EXPECT_EQ(m_panel->AddMacro(), "macro_2");
    ASSERT_TRUE(m_panel->ExportMacro(m_folder.File("empty.mac")));
    EXPECT_EQ(ReadJson(m_folder.File("empty.mac"))["MacroName"].asString(), "macro_2");
    EXPECT_FALSE(std::filesystem::exists(MacFile(m_panel->GetSelectedGuid())));

    WriteBytes(m_folder.File("junk.mac"), "not json");
    EXPECT_EQ(m_panel->ImportMacro(m_folder.File("junk.mac")), "");
    EXPECT_EQ(m_panel->LastFailure(), MacroFailure::NotMacroFile);
    EXPECT_EQ(m_panel->ImportMacro(m_folder.File("nothing.mac")), "");
    EXPECT_EQ(m_panel->MacroCount(), 3);
}

TEST_F(MacroPanelTest, DamagedMacroFilesReadWithoutLosingUnknownEvents) {
    MakeLibrary({"broken", "odd"});
    WriteBytes(MacFile("g0"), "{\"Events\": [ {\"Type\": ");
    Select(0);
    EXPECT_EQ(m_panel->EventCount(), 0);

    Json::Value odd = Event("down", 42, 7, "abc");
    odd["Extra"] = "kept";
    Json::Value events(Json::arrayValue);
    events.append(odd);
    events.append(Json::Value("a string event"));
    events.append(Event("up", 10, 4, "12"));
    WriteMacro("g1", events);
    Select(1);
    ASSERT_EQ(m_panel->EventCount(), 3);
    const ui::Control* unknown = m_panel->EventRowControl(0);
    EXPECT_EQ(unknown->FindChild("macro_action_name")->Text(), "");
    EXPECT_EQ(unknown->FindChild("macro_action_value")->Text(), "macro_action_down_text");
    ASSERT_TRUE(m_panel->SaveMacro());
    const Json::Value saved = ReadJson(MacFile("g1"))["Events"];
    ASSERT_EQ(saved.size(), 3u);
    odd["Delay"] = "0";
    EXPECT_EQ(saved[0], odd) << "an unknown kind keeps every member; only its delay is normalised";
    EXPECT_EQ(saved[1], Json::Value("a string event"));
    EXPECT_EQ(saved[2], Event("up", 10, 4, "12"));
}

TEST_F(MacroPanelTest, GuidsThatAreNoPlainFileNameNameNoFile) {
    Json::Value index;
    index["MacroInfo"][0]["MacroName"] = "evil";
    index["MacroInfo"][0]["Guid"] = "../outside";
    WriteJson(IndexPath(), index);
    m_panel->LoadMacroList();
    Select(0);
    EXPECT_FALSE(Part("macro_btn_name_sub").IsEnabled());
    EXPECT_FALSE(m_panel->SaveMacro());
    EXPECT_FALSE(std::filesystem::exists(m_folder.File("../outside.mac")));
}

TEST_F(MacroPanelTest, ADamagedIndexIsKeptAsideBeforeItIsReplaced) {
    WriteBytes(IndexPath(), "{ damaged");
    m_panel->LoadMacroList();
    EXPECT_EQ(m_panel->MacroCount(), 0);
    EXPECT_EQ(m_panel->AddMacro(), "macro_1");
    EXPECT_EQ(ReadBytes(IndexPath() + ".damaged"), "{ damaged");
    EXPECT_EQ(ReadJson(IndexPath())["MacroInfo"].size(), 1u);
}

TEST_F(MacroPanelTest, EventRowsStopAtTheEventLimit) {
    MakeLibrary({"long"});
    Select(0);
    for (int i = 0; i < kMaxMacroEvents; ++i) {
        ASSERT_TRUE(m_panel->AppendEvent(Event("down", 10, 4, "1")));
    }
    EXPECT_FALSE(m_panel->AppendEvent(Event("down", 10, 4, "1")));
    EXPECT_EQ(m_panel->EventCount(), kMaxMacroEvents);
}

} // namespace
} // namespace velkor::test
