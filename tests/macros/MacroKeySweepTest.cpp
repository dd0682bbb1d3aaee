// Deleting a macro from key assignments: in a key list and across profile files.
#include "macros/MacroKeySweep.h"
#include "MacroTestSupport.h"

namespace velkor::test {
namespace {

KeyListEntry Entry(KeyFunction current, KeyFunction defaultFunction = MakeKeyboardKey(0, 0x04)) {
    return KeyListEntry{current, defaultFunction};
}
KeyFunction Macro(int index) {
    return *MakeMacro(index, 1);
}

TEST(MacroKeyRenumbering, DeletedMacroGivesDefaultsBackAndLaterOnesMoveDown) {
    std::vector<KeyListEntry> keys = {
        Entry(Macro(2)),
        Entry(Macro(1), MakeKeyboardKey(0, 0x05)),
        Entry(Macro(0)),
        Entry(*MakeMacroRepeat(2, 9)),
        Entry(MakeKeyboardKey(0x02, 0x04)), // A = 2 but not a macro
    };
    EXPECT_TRUE(KeysUseMacro(keys, 1));
    EXPECT_EQ(RemoveMacroFromKeys(keys, 1), 3);
    EXPECT_EQ(keys[0].current, Macro(1));
    EXPECT_EQ(keys[1].current, MakeKeyboardKey(0, 0x05));
    EXPECT_EQ(keys[2].current, Macro(0));
    EXPECT_EQ(keys[3].current, *MakeMacroRepeat(1, 9));
    EXPECT_EQ(keys[4].current, MakeKeyboardKey(0x02, 0x04));
    EXPECT_FALSE(KeysUseMacro(keys, 2));
}

// A profile file whose key list plays these macros (default: key A).
Json::Value Profile(std::initializer_list<int> macros) {
    Json::Value root;
    root["profilename"] = "p";
    root["profileUUID"] = "2024_01_01_00_00_00_000";
    Json::Value profile;
    profile["LightInfo"]["Light"] = 3;
    for (int macro : macros) {
        Json::Value key;
        key["Assignment"] = macro < 0 ? 0x200004 : Macro(macro).ToKeyListValue();
        key["DefaultAssignment"] = 0x200004;
        profile["KeyList"].append(key);
    }
    root["Device"].append(profile);
    return root;
}

class ProfileSweep : public ::testing::Test {
protected:
    std::string Make(const std::string& name, const Json::Value& root) {
        const std::string path = m_folder.File(name);
        WriteJson(path, root);
        return path;
    }
    TempFolder m_folder;
    CJsonFileHelper m_json;
};

TEST_F(ProfileSweep, OnlyFilesThatPlayAffectedMacrosAreRewrittenKeepingTheRest) {
    const std::string b = Make("b.Json", Profile({2, 1, 0, -1}));
    const std::string c = Make("c.Json", Profile({0, -1}));
    const std::string damaged = m_folder.File("d.Json");
    WriteBytes(damaged, "{\"Device\": [");
    const std::string cBefore = ReadBytes(c);

    ProfileKeySweep sweep(m_json);
    ASSERT_TRUE(sweep.Prepare({b, c, damaged, m_folder.File("missing.Json")}, 1));
    EXPECT_EQ(sweep.ChangedPaths(), std::vector<std::string>{b});
    ASSERT_TRUE(sweep.Commit());

    const Json::Value after = ReadJson(b);
    const Json::Value& keys = after["Device"][0]["KeyList"];
    EXPECT_EQ(keys[0]["Assignment"].asInt(), Macro(1).ToKeyListValue());
    EXPECT_EQ(keys[1]["Assignment"].asInt(), 0x200004) << "the deleted macro's key has its default back";
    EXPECT_EQ(keys[2]["Assignment"].asInt(), Macro(0).ToKeyListValue());
    EXPECT_EQ(after["profilename"].asString(), "p");
    EXPECT_EQ(after["Device"][0]["LightInfo"]["Light"].asInt(), 3);
    EXPECT_EQ(ReadBytes(c), cBefore);
    EXPECT_EQ(ReadBytes(damaged), "{\"Device\": [");
}

TEST_F(ProfileSweep, AFailedWritePutsTheFilesWrittenBeforeItBack) {
    const std::string a = Make("a.Json", Profile({3}));
    const std::string b = Make("b.Json", Profile({2}));
    const std::string aBefore = ReadBytes(a);
    const std::string bBefore = ReadBytes(b);
    int writes = 0;
    ProfileKeySweep sweep(m_json, 0, [&](std::string_view text, const std::string& path) {
        ++writes;
        return path != b && m_json.WriteTextFile(text, path);
    });
    ASSERT_TRUE(sweep.Prepare({a, b}, 0));
    EXPECT_FALSE(sweep.Commit());
    EXPECT_EQ(sweep.FailedPath(), b);
    EXPECT_EQ(writes, 3) << "a, b (failed), a put back";
    EXPECT_EQ(ReadBytes(a), aBefore);
    EXPECT_EQ(ReadBytes(b), bBefore);
    EXPECT_TRUE(sweep.NotRestored().empty());
}

TEST_F(ProfileSweep, FilesChangedSincePreparedOrUnreadableStopTheSweepBeforeAnyWrite) {
    const std::string a = Make("a.Json", Profile({3}));
    const std::string b = Make("b.Json", Profile({2}));
    ProfileKeySweep sweep(m_json);
    ASSERT_TRUE(sweep.Prepare({a, b}, 0));
    const std::string aBefore = ReadBytes(a);
    WriteJson(b, Profile({2, 2})); // another program saved it meanwhile
    const std::string bNow = ReadBytes(b);
    EXPECT_FALSE(sweep.Commit());
    EXPECT_EQ(sweep.FailedPath(), b);
    EXPECT_EQ(ReadBytes(a), aBefore);
    EXPECT_EQ(ReadBytes(b), bNow);

    std::filesystem::create_directory(m_folder.File("dir.Json"));
    EXPECT_FALSE(sweep.Prepare({a, m_folder.File("dir.Json")}, 0)) << "exists but cannot be read";
    EXPECT_EQ(sweep.FailedPath(), m_folder.File("dir.Json"));
    EXPECT_TRUE(sweep.ChangedPaths().empty());
}

TEST_F(ProfileSweep, DamagedKeyEntriesAreLeftAsTheyAre) {
    Json::Value root = Profile({1, 1});
    root["Device"][0]["KeyList"][0]["Assignment"] = "0x700101";
    root["Device"][0]["KeyList"][1]["DefaultAssignment"] = "junk";
    root["Device"][0]["KeyList"].append(Json::Value(5));
    Json::Value list = root["Device"][0]["KeyList"];
    EXPECT_EQ(RemoveMacroFromKeyList(list, 1), 1);
    EXPECT_EQ(list[0]["Assignment"].asString(), "0x700101");
    EXPECT_EQ(list[1]["Assignment"].asInt(), 0) << "no usable default: the default function";
    EXPECT_EQ(list[2].asInt(), 5);
}

} // namespace
} // namespace velkor::test
