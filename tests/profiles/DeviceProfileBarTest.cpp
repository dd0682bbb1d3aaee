// The profile bar on the program's layout: first use, every profile
// operation, tab sets, and lists that were damaged or edited by hand.
#include "DeviceProfileTestSupport.h"
#include "ui/FamilyAccess.h"

namespace velkor::test {
namespace {

using ui::test::SelectableOf;

TEST_F(DeviceProfileBar, FirstUseMakesProfile1FromTheDefaultProfile) {
    Init();
    const Json::Value list = List();
    ASSERT_EQ(list["profilelist"].size(), 1u);
    EXPECT_EQ(list["profilelist"][0]["profilename"].asString(), "profile1");
    EXPECT_EQ(list["profileselect"].asInt(), 0);
    const std::string identifier = IdentifierAt(0);
    EXPECT_TRUE(IsProfileIdentifier(identifier));
    EXPECT_EQ(m_bar->GetSelectedIdentifier(), identifier);
    EXPECT_EQ(m_bar->GetSelectedProfilePath(), FileOf(identifier));

    Json::Value expected = DefaultProfileDocument();
    expected["profilename"] = "profile1";
    expected["profileUUID"] = identifier;
    EXPECT_EQ(ReadRawJson(FileOf(identifier)), expected);

    EXPECT_EQ(Names(), std::vector<std::string>{"profile1"});
    EXPECT_EQ(m_bar->GetSelectedIndex(), 0);
    EXPECT_EQ(m_bar->GetNameText(), "profile1");
    EXPECT_EQ(m_bar->GetProfileCount(), 1);
    EXPECT_EQ(m_bar->GetProfilePathAt(0), FileOf(identifier));
    EXPECT_EQ(m_bar->GetProfilePathAt(1), "");

    // A second start reads the same list and changes nothing.
    const std::string before = ReadRaw(ListPath());
    CDeviceProfileUI again(m_bar->Bar(), [this] { return m_now; });
    again.SetFolders(UserFolder(), DefaultPath());
    ASSERT_TRUE(again.InitProfileBar());
    EXPECT_EQ(again.GetSelectedIdentifier(), identifier);
    EXPECT_EQ(ReadRaw(ListPath()), before);
}

TEST_F(DeviceProfileBar, AddNamesProfilesIgnoringCaseAndStopsAtFifty) {
    Init();
    AddProfiles(1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile1", "profile2"}));
    EXPECT_EQ(m_bar->GetSelectedIndex(), 0) << "adding leaves the selection where it is";
    EXPECT_EQ(List()["profileselect"].asInt(), 0) << "and the stored selection with it";
    Json::Value added = ProfileAt(1);
    EXPECT_EQ(added["profilename"].asString(), "profile2");
    EXPECT_EQ(added["Device"], DefaultProfileDocument()["Device"]);

    ASSERT_TRUE(m_bar->SelectProfile(1, false));
    EXPECT_EQ(m_bar->RenameProfile("Profile2"), 1) << "the selected profile may change the case of its name";
    AddProfiles(1);
    EXPECT_EQ(Names().back(), "profile3");

    AddProfiles(47);
    ASSERT_EQ(Names().size(), 50u);
    const std::string before = ReadRaw(ListPath());
    EXPECT_FALSE(m_bar->AddProfile());
    EXPECT_EQ(Names().size(), 50u);
    EXPECT_EQ(ReadRaw(ListPath()), before);

    // Copy and import have no limit.
    EXPECT_TRUE(m_bar->CopyProfile());
    WriteRaw(m_temp.Path("Extra.json"), R"({"profilename": "x", "profileUUID": "y", "Device": [{}]})");
    EXPECT_TRUE(m_bar->ImportProfile(m_temp.Path("Extra.json")));
    EXPECT_EQ(Names().size(), 52u);
    EXPECT_EQ(m_bar->GetProfileCount(), 52);
}

TEST_F(DeviceProfileBar, ProfilesAddedInOneMillisecondGetFilesOfTheirOwn) {
    Init(); // the clock stands still for the whole test
    AddProfiles(2);
    ASSERT_EQ(List()["profilelist"].size(), 3u);
    std::set<std::string> identifiers{IdentifierAt(0), IdentifierAt(1), IdentifierAt(2)};
    EXPECT_EQ(identifiers.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ProfileAt(i)["profilename"].asString(), "profile" + std::to_string(i + 1));
    }
}

TEST_F(DeviceProfileBar, CopyAppendsTheSelectedProfileUnderANewName) {
    Init();
    ASSERT_EQ(m_bar->RenameProfile("A"), 1);
    Json::Value source = ProfileAt(0);
    source["Device"][0]["LightInfo"]["SelectItem"] = 9;
    WriteRaw(FileOf(IdentifierAt(0)), CJsonFileHelper().StyledText(source));

    ASSERT_TRUE(m_bar->CopyProfile());
    ASSERT_TRUE(m_bar->CopyProfile());
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "A copy", "A copy copy"}));
    EXPECT_EQ(List()["profileselect"].asInt(), 0);
    const Json::Value copy = ProfileAt(1);
    EXPECT_EQ(copy["Device"], source["Device"]);
    EXPECT_EQ(copy["profilename"].asString(), "A copy");
    EXPECT_EQ(copy["profileUUID"].asString(), IdentifierAt(1));
    EXPECT_NE(IdentifierAt(1), IdentifierAt(0));
}

TEST_F(DeviceProfileBar, ImportNamesTheProfileAfterTheFile) {
    Init();
    Json::Value file = ParseRaw(R"({"profilename": "Theirs", "profileUUID": "2020_01_01_00_00_00_000",
                                    "Device": [{"LightInfo": {"SelectItem": 7}}]})");
    const std::string path = m_temp.Path("My Keys.json");
    WriteRaw(path, CJsonFileHelper().StyledText(file));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(m_bar->ImportProfile(path));
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile1", "My Keys", "My Keys(1)", "My Keys(1)(2)"}));
    const Json::Value imported = ProfileAt(1);
    EXPECT_EQ(imported["Device"], file["Device"]);
    EXPECT_EQ(imported["profilename"].asString(), "My Keys");
    EXPECT_EQ(imported["profileUUID"].asString(), IdentifierAt(1)) << "never the identifier of the file";

    // Files that are no profile change nothing.
    const std::string before = ReadRaw(ListPath());
    WriteRaw(m_temp.Path("NoName.json"), R"({"profileUUID": "a", "Device": [{}]})");
    WriteRaw(m_temp.Path("NoId.json"), R"({"profilename": "a", "Device": [{}]})");
    WriteRaw(m_temp.Path("Broken.json"), R"({"profilename": )");
    WriteRaw(m_temp.Path("Array.json"), R"([1, 2])");
    for (const char* name : {"NoName.json", "NoId.json", "Broken.json", "Array.json", "Missing.json"}) {
        EXPECT_FALSE(m_bar->ImportProfile(m_temp.Path(name))) << name;
    }
    EXPECT_EQ(ReadRaw(ListPath()), before);
    EXPECT_EQ(Names().size(), 4u);
}

TEST_F(DeviceProfileBar, DeleteKeepsOneProfileAndSelectsThePreviousOne) {
    Init();
    EXPECT_FALSE(m_bar->DeleteProfile()) << "the last profile stays";
    EXPECT_EQ(Names().size(), 1u);

    AddProfiles(2);
    const std::string first = IdentifierAt(0);
    const std::string second = IdentifierAt(1);
    ASSERT_TRUE(m_bar->SelectProfile(0, false));
    ASSERT_TRUE(m_bar->DeleteProfile());
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile2", "profile3"}));
    EXPECT_EQ(List()["profileselect"].asInt(), 0);
    EXPECT_EQ(m_bar->GetSelectedIndex(), 0);
    EXPECT_EQ(m_bar->GetSelectedIdentifier(), second);
    EXPECT_EQ(m_bar->GetNameText(), "profile2");
    EXPECT_FALSE(std::filesystem::exists(FileOf(first)));

    ASSERT_TRUE(m_bar->SelectProfile(1, false));
    const std::string third = m_bar->GetSelectedIdentifier();
    ASSERT_TRUE(m_bar->DeleteProfile());
    EXPECT_EQ(m_bar->GetSelectedIdentifier(), second);
    EXPECT_FALSE(std::filesystem::exists(FileOf(third)));
    EXPECT_TRUE(std::filesystem::exists(FileOf(second)));
}

TEST_F(DeviceProfileBar, RenameAnswersTakenRenamedOrBlank) {
    Init();
    AddProfiles(1);
    ASSERT_TRUE(m_bar->SelectProfile(1, false));
    const std::string before = ReadRaw(ListPath());
    EXPECT_EQ(m_bar->RenameProfile("PROFILE1"), 0);
    EXPECT_EQ(m_bar->RenameProfile("   "), 2);
    EXPECT_EQ(ReadRaw(ListPath()), before);
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile1", "profile2"}));

    EXPECT_EQ(m_bar->RenameProfile("Shooter"), 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile1", "Shooter"}));
    EXPECT_EQ(m_bar->GetNameText(), "Shooter");
    EXPECT_EQ(List()["profilelist"][1]["profilename"].asString(), "Shooter");
    EXPECT_EQ(ProfileAt(1)["profilename"].asString(), "Shooter");
    EXPECT_EQ(ProfileAt(1)["Device"], DefaultProfileDocument()["Device"]);

    // A damaged profile file is left for loading to repair, not overwritten.
    WriteRaw(FileOf(IdentifierAt(1)), "{ damaged");
    EXPECT_EQ(m_bar->RenameProfile("Sniper"), 1);
    EXPECT_EQ(ReadRaw(FileOf(IdentifierAt(1))), "{ damaged");
}

TEST_F(DeviceProfileBar, ExportWritesNameIdentifierAndDevice) {
    Init();
    const std::string target = m_temp.Path("out/Exported.json");
    std::filesystem::create_directories(m_temp.Path("out"));
    ASSERT_TRUE(m_bar->ExportProfile(target));
    const Json::Value exported = ReadRawJson(target);
    EXPECT_EQ(exported["profilename"].asString(), "profile1");
    EXPECT_EQ(exported["profileUUID"].asString(), IdentifierAt(0));
    EXPECT_EQ(exported["Device"], DefaultProfileDocument()["Device"]);
    EXPECT_FALSE(m_bar->ExportProfile(""));

    // Exported and imported again it is a profile like any other.
    ASSERT_TRUE(m_bar->ImportProfile(target));
    EXPECT_EQ(Names().back(), "Exported");
}

TEST_F(DeviceProfileBar, ResetKeepsTheHeadsetsCustomEqualiserPresets) {
    Init(DeviceClass::Headset);
    Json::Value edited = ProfileAt(0);
    Json::Value& profile = edited["Device"][0];
    profile["LightInfo"]["SelectItem"] = 1;
    profile["CustomEQNameInfo"] = ParseRaw(R"([{"Name": "Mine"}, {"Name": "Movies"}])");
    profile["CustomEQHzValueInfo"] = ParseRaw(R"([[{"value": 5}], [{"value": -3}]])");
    WriteRaw(FileOf(IdentifierAt(0)), CJsonFileHelper().StyledText(edited));

    ASSERT_TRUE(m_bar->ResetProfile());
    const Json::Value reset = ProfileAt(0);
    EXPECT_EQ(reset["Device"][0]["LightInfo"], DefaultProfileDocument()["Device"][0]["LightInfo"]);
    EXPECT_EQ(reset["Device"][0]["CustomEQNameInfo"], profile["CustomEQNameInfo"]);
    EXPECT_EQ(reset["Device"][0]["CustomEQHzValueInfo"], profile["CustomEQHzValueInfo"]);
    EXPECT_EQ(reset["profilename"].asString(), "profile1");
    EXPECT_EQ(reset["profileUUID"].asString(), IdentifierAt(0));
}

TEST_F(DeviceProfileBar, ResetOfOtherKindsTakesEverythingFromTheDefault) {
    Init(DeviceClass::Keyboard);
    Json::Value edited = ProfileAt(0);
    edited["Device"][0]["CustomEQNameInfo"] = ParseRaw(R"([{"Name": "Mine"}])");
    WriteRaw(FileOf(IdentifierAt(0)), CJsonFileHelper().StyledText(edited));
    ASSERT_TRUE(m_bar->ResetProfile());
    EXPECT_EQ(ProfileAt(0)["Device"], DefaultProfileDocument()["Device"]);

    // Without a default profile there is nothing to reset to; the settings stay.
    WriteRaw(FileOf(IdentifierAt(0)), CJsonFileHelper().StyledText(edited));
    std::filesystem::remove(DefaultPath());
    EXPECT_FALSE(m_bar->ResetProfile());
    EXPECT_EQ(ProfileAt(0)["Device"], edited["Device"]);
}

TEST_F(DeviceProfileBar, TabSetsFollowTheDeviceKind) {
    Init(DeviceClass::Headset);
    for (const char* hidden : {"cursor_Op_tab", "macro_Op_tab", "system_Op_tab", "key_Op_tab"}) {
        EXPECT_FALSE(Part(hidden).IsVisible()) << hidden;
    }
    for (const char* shown : {"deng_Op_tab", "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"}) {
        EXPECT_TRUE(Part(shown).IsVisible()) << shown;
    }

    m_bar->SetDeviceKind(DeviceClass::Keyboard);
    Part("cursor_Op_tab").SetVisible(true);
    ASSERT_TRUE(m_bar->InitProfileBar());
    EXPECT_FALSE(Part("cursor_Op_tab").IsVisible());
}

TEST_F(DeviceProfileBar, SelectOptionTabMarksExactlyOneTab) {
    Init(DeviceClass::Headset);
    m_bar->SelectOptionTab(8);
    m_bar->SelectOptionTab(3);
    for (size_t i = 0; i < CDeviceProfileUI::kOptionTabs.size(); ++i) {
        EXPECT_EQ(SelectableOf(Part(CDeviceProfileUI::kOptionTabs[i])).IsSelected(), i == 2)
            << CDeviceProfileUI::kOptionTabs[i];
    }
    // Another type clears the first seven and leaves the surround tab as it is.
    m_bar->SelectOptionTab(0);
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_FALSE(SelectableOf(Part(CDeviceProfileUI::kOptionTabs[i])).IsSelected())
            << CDeviceProfileUI::kOptionTabs[i];
    }
    m_bar->SelectOptionTab(8);
    m_bar->SelectOptionTab(42);
    EXPECT_TRUE(SelectableOf(Part("Virtual7.1_Op_tab")).IsSelected());
    EXPECT_EQ(m_bar->OptionTabType(&Part("magic_Op_tab")), 7);
    EXPECT_EQ(m_bar->OptionTabType(&Part("device_add_btn")), 0);
}

TEST_F(DeviceProfileBar, AListNamingFilesOutsideTheFolderIsNeverFollowed) {
    // A hand-edited list: one entry climbs out of the folder, one is absolute.
    const std::string outside = m_temp.Path("VELKOR01/evil.Json");
    std::filesystem::create_directories(UserFolder());
    WriteRaw(outside, R"({"secret": true})");
    WriteRaw(UserFolder() + kProfileListFileName,
             R"({"profilelist": [{"profilename": "evil", "profileUUID": "../evil"},
                                 {"profilename": "abs", "profileUUID": ")" +
                 m_temp.Path("VELKOR01/evil") + R"("}], "profileselect": 0})");
    Init();
    EXPECT_EQ(Names(), (std::vector<std::string>{"evil", "abs"}));
    for (int i = 0; i < 2; ++i) {
        const std::string identifier = IdentifierAt(i);
        EXPECT_TRUE(IsProfileIdentifier(identifier)) << identifier;
        EXPECT_EQ(ProfileAt(i)["Device"], DefaultProfileDocument()["Device"])
            << "made afresh from the default";
    }
    EXPECT_EQ(m_bar->GetSelectedProfilePath(), FileOf(IdentifierAt(0)));
    ASSERT_EQ(m_bar->GetProfileCount(), 2);
    EXPECT_EQ(m_bar->GetProfilePathAt(0).rfind(UserFolder(), 0), 0u);

    // Neither renaming, resetting nor deleting ever reaches the outside file.
    EXPECT_EQ(m_bar->RenameProfile("renamed"), 1);
    EXPECT_TRUE(m_bar->ResetProfile());
    EXPECT_TRUE(m_bar->DeleteProfile());
    EXPECT_EQ(ReadRaw(outside), R"({"secret": true})");
}

TEST_F(DeviceProfileBar, AStoredSelectionOutsideTheListSelectsTheFirstProfile) {
    Init();
    AddProfiles(2);
    Json::Value list = List();
    list["profileselect"] = 99;
    WriteRaw(ListPath(), CJsonFileHelper().StyledText(list));
    CDeviceProfileUI again(m_bar->Bar(), [this] { return m_now; });
    again.SetFolders(UserFolder(), DefaultPath());
    ASSERT_TRUE(again.InitProfileBar());
    EXPECT_EQ(again.GetSelectedIndex(), 0);
    EXPECT_EQ(again.GetSelectedIdentifier(), IdentifierAt(0));
    EXPECT_EQ(List()["profileselect"].asInt(), 0);
    EXPECT_FALSE(again.SelectProfile(3, false));
    EXPECT_FALSE(again.SelectProfile(-1, false));
    EXPECT_EQ(again.GetSelectedIndex(), 0);
}

TEST_F(DeviceProfileBar, ADamagedListIsKeptAsideAndRebuiltFromTheProfileFiles) {
    Init();
    AddProfiles(1);
    WriteRaw(ListPath(), "not json at all");
    CDeviceProfileUI again(m_bar->Bar(), [this] { return m_now; });
    again.SetFolders(UserFolder(), DefaultPath());
    ASSERT_TRUE(again.InitProfileBar());
    EXPECT_EQ(again.ProfileNames(), (std::vector<std::string>{"profile1", "profile2"}));
    EXPECT_EQ(ReadRaw(ListPath() + ProfileList::kDamagedSuffix), "not json at all");
    EXPECT_EQ(List()["profilelist"].size(), 2u);
}

TEST_F(DeviceProfileBar, AListChangedBehindTheBarIsShownAsItIs) {
    Init();
    AddProfiles(1);
    Json::Value list = List();
    list["profilelist"][1]["profilename"] = "edited";
    WriteRaw(ListPath(), CJsonFileHelper().StyledText(list));
    AddProfiles(1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile1", "edited", "profile2"}));
    EXPECT_EQ(m_bar->GetSelectedIndex(), 0);
}

} // namespace
} // namespace velkor::test
