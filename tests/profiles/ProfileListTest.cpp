// The list file of a device's profiles: identifiers, generated names, reading
// damaged and hand-edited lists, and what a save keeps.
#include "profiles/ProfileList.h"
#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace velkor::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::system_clock;

// A clock that stands still unless the test moves it.
struct FixedTime {
    system_clock::time_point now = system_clock::time_point(milliseconds(1688461503042));
    TimeSource Source() {
        return [this] { return now; };
    }
};

class ProfileListFile : public ::testing::Test {
protected:
    std::string Folder() const { return m_temp.Path() + "/"; }
    std::string ListFile() const { return m_temp.Path(kProfileListFileName); }
    void WriteList(const std::string& text) const { WriteRaw(ListFile(), text); }

    TempFolder m_temp;
    FixedTime m_time;
};

TEST(ProfileIdentifier, OnlyTheTimeStampFormIsAnIdentifier) {
    EXPECT_TRUE(IsProfileIdentifier("2023_07_04_09_05_03_042"));
    EXPECT_TRUE(IsProfileIdentifier("999_01_01_00_00_00_000"));
    for (const char* bad :
         {"", "../evil", "/etc/passwd", "2023_07_04_09_05_03_42", "2023_07_04_09_05_03_0420",
          "2023-07-04_09_05_03_042", "2023_07_04_09_05_03_042.Json", "x023_07_04_09_05_03_042",
          "2023_07_04_09_05_03_04/", "1234567_07_04_09_05_03_042", "..", "."}) {
        EXPECT_FALSE(IsProfileIdentifier(bad)) << bad;
    }
    ProfileList list("/tmp/somewhere");
    EXPECT_EQ(list.ProfilePath("2023_07_04_09_05_03_042"), "/tmp/somewhere/2023_07_04_09_05_03_042.Json");
    EXPECT_EQ(list.ProfilePath("../evil"), "");
    EXPECT_EQ(list.ProfilePath(""), "");
}

TEST(ProfileNames, GeneratedNamesSkipTakenOnesIgnoringCase) {
    EXPECT_EQ(MakeAddName({}), "profile1");
    EXPECT_EQ(MakeAddName({"profile1", "Profile2"}), "profile3");
    EXPECT_EQ(MakeAddName({"PROFILE2"}), "profile1");
    EXPECT_EQ(MakeCopyName("A", {"A"}), "A copy");
    EXPECT_EQ(MakeCopyName("A", {"A", "a COPY"}), "A copy copy");
    EXPECT_EQ(MakeImportName("My Keys", {}), "My Keys");
    EXPECT_EQ(MakeImportName("My Keys", {"my keys"}), "My Keys(1)");
    EXPECT_EQ(MakeImportName("My Keys", {"My Keys", "My Keys(1)"}), "My Keys(1)(2)");
}

TEST(ProfileNames, BlanksAndCleaning) {
    EXPECT_TRUE(IsBlankProfileName(""));
    EXPECT_TRUE(IsBlankProfileName("   "));
    EXPECT_TRUE(IsBlankProfileName(" \t\xC2\xA0\xE3\x80\x80 "));
    EXPECT_FALSE(IsBlankProfileName(" a "));

    const std::string longName(200, 'x');
    EXPECT_EQ(CleanProfileName(longName).size(), kMaxProfileNameChars);
    // Characters, not bytes, are counted, and a cut never splits one.
    std::string accents;
    for (int i = 0; i < 70; ++i) {
        accents += "\xC3\xA9";
    }
    EXPECT_EQ(CleanProfileName(accents).size(), 2 * kMaxProfileNameChars);
    EXPECT_EQ(CleanProfileName("a\nb\x01"), "a b ");
    EXPECT_EQ(CleanProfileName("ok\xFF"), "ok\xEF\xBF\xBD");
}

TEST_F(ProfileListFile, IdentifiersMadeInOneMillisecondDiffer) {
    ProfileList list(Folder(), m_time.Source());
    const std::string first = list.NewIdentifier();
    list.Append({"profile1", first});
    const std::string second = list.NewIdentifier();
    EXPECT_TRUE(IsProfileIdentifier(first));
    EXPECT_TRUE(IsProfileIdentifier(second));
    EXPECT_NE(first, second);
    // Same form, one millisecond on.
    EXPECT_EQ(first.substr(0, first.size() - 3), second.substr(0, second.size() - 3));
    EXPECT_EQ(std::stoi(second.substr(second.size() - 3)), std::stoi(first.substr(first.size() - 3)) + 1);

    // A file that already carries the next identifier (left by an earlier run) is stepped over too.
    WriteRaw(list.ProfilePath(second), "{}");
    const std::string third = list.NewIdentifier();
    EXPECT_NE(third, first);
    EXPECT_NE(third, second);
}

TEST_F(ProfileListFile, EntriesThatNameFilesOutsideTheFolderGetFreshIdentifiers) {
    WriteList(R"({"profilelist": [
        {"profilename": "good", "profileUUID": "2023_07_04_09_05_03_042"},
        {"profilename": "up", "profileUUID": "../evil"},
        {"profilename": "abs", "profileUUID": "/etc/passwd"},
        {"profilename": "empty", "profileUUID": ""},
        {"profilename": "number", "profileUUID": 12},
        {"profilename": "twin", "profileUUID": "2023_07_04_09_05_03_042"},
        17],
        "profileselect": 1})");
    ProfileList list(Folder(), m_time.Source());
    ASSERT_EQ(list.Load(), ProfileListState::Repaired);
    ASSERT_EQ(list.Count(), 6);
    EXPECT_EQ(list.Entries()[0].identifier, "2023_07_04_09_05_03_042");
    std::set<std::string> identifiers;
    for (const ProfileListEntry& entry : list.Entries()) {
        EXPECT_TRUE(IsProfileIdentifier(entry.identifier)) << entry.name;
        identifiers.insert(entry.identifier);
        EXPECT_EQ(list.ProfilePath(entry.identifier).rfind(Folder(), 0), 0u) << entry.name;
    }
    EXPECT_EQ(identifiers.size(), 6u) << "every entry names a file of its own";
    ASSERT_EQ(list.Repairs().size(), 5u);
    EXPECT_EQ(list.Repairs()[0].index, 1);
    EXPECT_EQ(list.Repairs()[0].copyOf, "");
    EXPECT_EQ(list.Repairs()[4].index, 5);
    EXPECT_EQ(list.Repairs()[4].copyOf, "2023_07_04_09_05_03_042") << "a shared file is copied, not shared";
    EXPECT_EQ(list.Selected(), 1);
}

TEST_F(ProfileListFile, ASelectionOutsideTheListSelectsTheFirstProfile) {
    // "2" is one past the last of the two entries.
    for (const char* select : {"2", "99", "-1", "\"x\"", "[1]"}) {
        WriteList(
            std::string(R"({"profilelist": [{"profilename": "a", "profileUUID": "2023_07_04_09_05_03_042"},
                                  {"profilename": "b", "profileUUID": "2023_07_04_09_05_03_043"}],
                                  "profileselect": )") +
            select + "}");
        ProfileList list(Folder());
        EXPECT_EQ(list.Load(), ProfileListState::Repaired) << select;
        EXPECT_EQ(list.Selected(), 0) << select;
        ASSERT_TRUE(list.Save()) << select;
        EXPECT_EQ(ReadRawJson(ListFile())["profileselect"].asInt(), 0) << select;
    }
}

TEST_F(ProfileListFile, MissingEmptyAndDamagedListsLeaveTheEntriesAlone) {
    ProfileList list(Folder(), m_time.Source());
    list.Append({"kept", "2023_07_04_09_05_03_042"});
    EXPECT_EQ(list.Load(), ProfileListState::Missing);
    WriteList(R"({"profilelist": [], "profileselect": 0})");
    EXPECT_EQ(list.Load(), ProfileListState::Empty);
    WriteList("{\"profilelist\": [ {\"profilename\": ");
    EXPECT_EQ(list.Load(), ProfileListState::Damaged);
    EXPECT_EQ(ReadRaw(ListFile() + ProfileList::kDamagedSuffix), "{\"profilelist\": [ {\"profilename\": ")
        << "the damaged file is kept aside before it is replaced";
    WriteList(R"({"profilelist": {"profilename": "x"}})");
    EXPECT_EQ(list.Load(), ProfileListState::Damaged);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Entries()[0].name, "kept");
}

TEST_F(ProfileListFile, SaveWritesEveryEntryAndKeepsUnknownMembers) {
    WriteList(R"({"profilelist": [{"profilename": "a", "profileUUID": "2023_07_04_09_05_03_042",
                  "profileislink": 1}], "profileselect": 0, "owner": "another tool"})");
    ProfileList list(Folder(), m_time.Source());
    ASSERT_EQ(list.Load(), ProfileListState::Loaded);
    list.Append({"b", "2023_07_04_09_05_03_050"});
    list.Select(1);
    ASSERT_TRUE(list.Save());
    const Json::Value saved = ReadRawJson(ListFile());
    EXPECT_EQ(saved["owner"].asString(), "another tool");
    EXPECT_EQ(saved["profileselect"].asInt(), 1);
    ASSERT_EQ(saved["profilelist"].size(), 2u);
    EXPECT_EQ(saved["profilelist"][1]["profilename"].asString(), "b");
    EXPECT_EQ(saved["profilelist"][1]["profileUUID"].asString(), "2023_07_04_09_05_03_050");
    EXPECT_EQ(saved["profilelist"][0]["profileislink"].asInt(), 0);
    EXPECT_EQ(saved["profilelist"][0]["profilelinkmame"].asString(), "");
}

TEST_F(ProfileListFile, ALostListIsRebuiltFromTheProfileFiles) {
    WriteRaw(m_temp.Path("2023_07_04_09_05_03_050.Json"), R"({"profilename": "Later", "Device": [{}]})");
    WriteRaw(m_temp.Path("2023_07_04_09_05_03_042.Json"), R"({"profilename": "First", "Device": [{}]})");
    WriteRaw(m_temp.Path("2023_07_04_09_05_03_060.Json"), R"({"Device": [{}]})");
    WriteRaw(m_temp.Path("notes.Json"), R"({"profilename": "not a profile"})");
    ProfileList list(Folder(), m_time.Source());
    ASSERT_TRUE(list.RecoverFromFolder());
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Entries()[0], (ProfileListEntry{"First", "2023_07_04_09_05_03_042"}));
    EXPECT_EQ(list.Entries()[1], (ProfileListEntry{"Later", "2023_07_04_09_05_03_050"}));
    EXPECT_EQ(list.Entries()[2], (ProfileListEntry{"profile1", "2023_07_04_09_05_03_060"}));
    EXPECT_EQ(list.Selected(), 0);

    TempFolder empty;
    ProfileList none(empty.Path(), m_time.Source());
    EXPECT_FALSE(none.RecoverFromFolder());
}

} // namespace
} // namespace velkor::test
