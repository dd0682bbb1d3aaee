#include "profiles/BasicProfiledata.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace velkor {
namespace {

using test::ProfileFile;
using test::ReadRaw;
using test::ReadRawJson;
using test::TempFolder;
using test::WriteRaw;

Json::Value DefaultProfile() {
    Json::Value profile(Json::objectValue);
    profile["LightInfo"]["SelectItem"] = 3;
    profile["LightList"][0]["LEDREGMode"] = 1;
    return profile;
}

class ProfileLoadSave : public ::testing::Test {
protected:
    ProfileLoadSave() {
        json.WriteJsonFile(ProfileFile(DefaultProfile()), DefaultPath());
        data.SetDefaultPath(DefaultPath());
    }
    std::string DefaultPath() const { return folder.Path("keyboard.Json"); }
    std::string ProfilePath() const { return folder.Path("2023_07_04_09_05_03_042.Json"); }

    TempFolder folder;
    CJsonFileHelper json;
    CBasicProfiledata data;
};

TEST_F(ProfileLoadSave, MissingProfileIsCreatedFromTheDefault) {
    EXPECT_EQ(data.LoadProfile(ProfilePath()), DefaultProfile());
    EXPECT_EQ(ReadRawJson(ProfilePath()), ProfileFile(DefaultProfile()));
}

TEST_F(ProfileLoadSave, EmptyProfileFileIsRepairedLikeAMissingOne) {
    WriteRaw(ProfilePath(), "");
    EXPECT_EQ(data.LoadProfile(ProfilePath()), DefaultProfile());
    EXPECT_EQ(ReadRawJson(ProfilePath()), ProfileFile(DefaultProfile()));
    EXPECT_FALSE(std::filesystem::exists(ProfilePath() + CBasicProfiledata::kDamagedSuffix));
}

TEST_F(ProfileLoadSave, RepairKeepsTheOtherTopLevelMembers) {
    Json::Value root(Json::objectValue);
    root["profilename"] = "Work";
    root["profileUUID"] = "2023_07_04_09_05_03_042";
    json.WriteJsonFile(root, ProfilePath());

    EXPECT_EQ(data.LoadProfile(ProfilePath()), DefaultProfile());
    Json::Value expected = root;
    expected["Device"][0] = DefaultProfile();
    EXPECT_EQ(ReadRawJson(ProfilePath()), expected);
}

TEST_F(ProfileLoadSave, DamagedProfileIsCopiedAsideBeforeTheRepair) {
    const std::string damaged = "{\"Device\":[{\"LightInfo\":{\"SelectItem\":9";
    WriteRaw(ProfilePath(), damaged);
    EXPECT_EQ(data.LoadProfile(ProfilePath()), DefaultProfile());
    EXPECT_EQ(ReadRaw(ProfilePath() + CBasicProfiledata::kDamagedSuffix), damaged);
    EXPECT_EQ(ReadRawJson(ProfilePath()), ProfileFile(DefaultProfile()));
}

TEST_F(ProfileLoadSave, ProfileElementOfTheWrongTypeIsCopiedAsideAndRepaired) {
    WriteRaw(ProfilePath(), "{\"Device\":[\"oops\"],\"profileUUID\":\"x\"}");
    EXPECT_EQ(data.LoadProfile(ProfilePath()), DefaultProfile());
    EXPECT_TRUE(std::filesystem::exists(ProfilePath() + CBasicProfiledata::kDamagedSuffix));
    Json::Value stored = ReadRawJson(ProfilePath());
    EXPECT_EQ(stored["profileUUID"].asString(), "x");
    EXPECT_EQ(stored["Device"][0], DefaultProfile());
}

TEST_F(ProfileLoadSave, UnreadableProfileIsNeverOverwritten) {
    // A folder at the profile path stands for a file that exists but cannot be read.
    ::mkdir(ProfilePath().c_str(), 0700);
    EXPECT_EQ(data.LoadProfile(ProfilePath()), DefaultProfile());
    EXPECT_TRUE(std::filesystem::is_directory(ProfilePath()));
    data.SetProfilePath(ProfilePath());
    EXPECT_FALSE(data.SaveProfile());
}

TEST_F(ProfileLoadSave, OversizedProfileIsNeverOverwritten) {
    WriteRaw(ProfilePath(), "{}");
    ASSERT_EQ(::truncate(ProfilePath().c_str(), CJsonFileHelper::kMaxJsonFileSize + 1), 0);
    EXPECT_EQ(data.LoadProfile(ProfilePath()), DefaultProfile());
    EXPECT_EQ(std::filesystem::file_size(ProfilePath()), uint64_t(CJsonFileHelper::kMaxJsonFileSize + 1));
}

TEST_F(ProfileLoadSave, ExistingProfileIsLoadedAndTheFileLeftAlone) {
    Json::Value mine(Json::objectValue);
    mine["LightInfo"]["SelectItem"] = 5;
    WriteRaw(ProfilePath(), "{\"Device\":[{\"LightInfo\":{\"SelectItem\":5}}]}");
    EXPECT_EQ(data.LoadProfile(ProfilePath()), mine);
    EXPECT_EQ(ReadRaw(ProfilePath()), "{\"Device\":[{\"LightInfo\":{\"SelectItem\":5}}]}");
}

TEST_F(ProfileLoadSave, WithoutAnyProfileTheDocumentIsNullAndTheFileHoldsANullElement) {
    CBasicProfiledata bare;
    bare.SetDefaultPath(folder.Path("absent.Json"));
    EXPECT_TRUE(bare.LoadProfile(ProfilePath()).isNull());
    EXPECT_EQ(bare.ReadLightInfo(), LightInfoRecord{});
    Json::Value stored = ReadRawJson(ProfilePath());
    ASSERT_TRUE(stored["Device"].isArray());
    EXPECT_TRUE(stored["Device"][0].isNull());
}

TEST_F(ProfileLoadSave, SaveProfileKeepsNameAndIdentifier) {
    Json::Value root = ProfileFile(DefaultProfile());
    root["profilename"] = "Work";
    root["profileUUID"] = "2023_07_04_09_05_03_042";
    json.WriteJsonFile(root, ProfilePath());
    data.SetProfilePath(ProfilePath());
    data.LoadProfile(data.GetProfilePath());

    LightInfoRecord light;
    light.selectItem = 7;
    data.WriteLightInfo(light);
    ASSERT_TRUE(data.SaveProfile());

    Json::Value stored = ReadRawJson(ProfilePath());
    EXPECT_EQ(stored["profilename"].asString(), "Work");
    EXPECT_EQ(stored["profileUUID"].asString(), "2023_07_04_09_05_03_042");
    EXPECT_EQ(stored["Device"][0]["LightInfo"]["SelectItem"].asInt(), 7);
    EXPECT_EQ(stored["Device"][0]["LightList"], DefaultProfile()["LightList"]);
}

TEST_F(ProfileLoadSave, SaveSeesAMemberChangedOnDiskSinceTheLoad) {
    data.SetProfilePath(ProfilePath());
    data.LoadProfile(ProfilePath());
    Json::Value renamed = ReadRawJson(ProfilePath());
    renamed["profilename"] = "Renamed";
    json.WriteJsonFile(renamed, ProfilePath());
    ASSERT_TRUE(data.SaveProfile());
    EXPECT_EQ(ReadRawJson(ProfilePath())["profilename"].asString(), "Renamed");
}

TEST_F(ProfileLoadSave, SaveSeesAFileEditedInPlaceSinceTheLastSave) {
    data.SetProfilePath(ProfilePath());
    data.LoadProfile(ProfilePath());
    ASSERT_TRUE(data.SaveProfile());
    // Another program rewrites the same inode (no rename).
    Json::Value edited = ReadRawJson(ProfilePath());
    edited["profilename"] = "Edited elsewhere";
    {
        std::ofstream out(ProfilePath(), std::ios::in | std::ios::out | std::ios::trunc);
        out << json.StyledText(edited);
    }
    ASSERT_TRUE(data.SaveProfile());
    EXPECT_EQ(ReadRawJson(ProfilePath())["profilename"].asString(), "Edited elsewhere");
}

TEST_F(ProfileLoadSave, ChangingTheDeviceIndexAfterALoadKeepsTheLoadedElementOnDisk) {
    WriteRaw(ProfilePath(), "{\"Device\":[{\"a\":1}]}");
    data.LoadProfile(ProfilePath());
    ASSERT_TRUE(data.SetDeviceIndex(1));
    ASSERT_TRUE(data.SaveDocument(DefaultProfile(), ProfilePath()));
    Json::Value stored = ReadRawJson(ProfilePath());
    EXPECT_EQ(stored["Device"][0]["a"].asInt(), 1);
    EXPECT_EQ(stored["Device"][1], DefaultProfile());
}

TEST_F(ProfileLoadSave, RepeatedSavesKeepEverythingAndTheDocumentIntact) {
    Json::Value root = ProfileFile(DefaultProfile());
    root["profilename"] = "Work";
    root["Device"][1]["other"] = 2;
    json.WriteJsonFile(root, ProfilePath());
    data.SetProfilePath(ProfilePath());
    data.LoadProfile(ProfilePath());
    for (int i = 0; i < 3; ++i) {
        LightInfoRecord light;
        light.red = static_cast<uint8_t>(i);
        data.WriteLightInfo(light);
        ASSERT_TRUE(data.SaveProfile());
        Json::Value stored = ReadRawJson(ProfilePath());
        EXPECT_EQ(stored["profilename"].asString(), "Work");
        EXPECT_EQ(stored["Device"][1]["other"].asInt(), 2);
        EXPECT_EQ(stored["Device"][0], data.ActiveDocument());
    }
}

TEST_F(ProfileLoadSave, SaveDocumentToANewPathWritesOnlyDevice) {
    ASSERT_TRUE(data.SaveDocument(DefaultProfile(), folder.Path("new.Json")));
    EXPECT_EQ(ReadRawJson(folder.Path("new.Json")), ProfileFile(DefaultProfile()));
}

TEST_F(ProfileLoadSave, SaveDocumentKeepsOtherDeviceElements) {
    WriteRaw(ProfilePath(), "{\"Device\":[{\"a\":1},{\"b\":2}]}");
    ASSERT_TRUE(data.SaveDocument(DefaultProfile(), ProfilePath()));
    Json::Value stored = ReadRawJson(ProfilePath());
    EXPECT_EQ(stored["Device"][0], DefaultProfile());
    EXPECT_EQ(stored["Device"][1]["b"].asInt(), 2);
}

TEST_F(ProfileLoadSave, SaveWithoutAUsableFolderOrPathReportsFailure) {
    data.SetProfilePath(folder.Path("gone/p.Json"));
    data.LoadProfile(ProfilePath());
    EXPECT_FALSE(data.SaveProfile());
    CBasicProfiledata noPath;
    EXPECT_FALSE(noPath.SaveProfile());
}

TEST_F(ProfileLoadSave, AuxiliaryDocumentLeavesTheActiveOneAlone) {
    data.LoadProfile(ProfilePath());
    WriteRaw(folder.Path("other.Json"), "{\"Device\":[{\"KeyList\":[{\"Assignment\":1}]}]}");
    data.LoadAuxDocument(folder.Path("other.Json"));
    std::vector<KeyListEntry> keys = data.ReadAuxKeyList();
    ASSERT_EQ(keys.size(), 1u);
    keys[0].current.paramB = 9;
    data.WriteAuxKeyList(keys);
    ASSERT_TRUE(data.SaveAuxDocument(folder.Path("other.Json")));

    EXPECT_EQ(ReadRawJson(folder.Path("other.Json"))["Device"][0]["KeyList"][0]["Assignment"].asInt(), 9);
    EXPECT_EQ(data.ActiveDocument(), DefaultProfile());
    EXPECT_TRUE(data.ReadKeyList().empty());
}

TEST_F(ProfileLoadSave, PathSettersFollowTheirRules) {
    data.SetProfilePath("/a/p.Json");
    data.SetProfilePath("");
    EXPECT_EQ(data.GetProfilePath(), "/a/p.Json");
    data.SetDefaultPath("");
    EXPECT_EQ(data.GetDefaultPath(), DefaultPath());
    data.SetConfigPath("/a/ornic_light.config");
    data.SetConfigPath("");
    EXPECT_EQ(data.GetConfigPath(), "");
}

TEST_F(ProfileLoadSave, DeviceIndexOutOfBoundsIsRefused) {
    EXPECT_FALSE(data.SetDeviceIndex(-1));
    EXPECT_FALSE(data.SetDeviceIndex(CBasicProfiledata::kMaxDeviceIndex + 1));
    EXPECT_EQ(data.GetDeviceIndex(), 0);
    EXPECT_TRUE(data.SetDeviceIndex(1));
    ASSERT_TRUE(data.SaveDocument(DefaultProfile(), folder.Path("i.Json")));
    Json::Value stored = ReadRawJson(folder.Path("i.Json"));
    EXPECT_TRUE(stored["Device"][0].isNull());
    EXPECT_EQ(stored["Device"][1], DefaultProfile());
}

} // namespace
} // namespace velkor
