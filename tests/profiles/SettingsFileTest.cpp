// The settings file: one member changes, every other stays, a damaged file is kept aside.
#include "profiles/SettingsFile.h"
#include "support/ScratchFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace velkor::test {
namespace {

std::string Read(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

TEST(SettingsFile, WritesOneMemberKeepsTheRestAndKeepsADamagedFileAside) {
    ScratchFolder folder;
    EXPECT_EQ(SettingsFilePath(nullptr, "/home/u"), "/home/u/.config/VELKOR01/settings.json");
    EXPECT_EQ(SettingsFilePath("relative", nullptr), "");
    const std::string path = SettingsFilePath((folder.Path() + "/config/").c_str(), "/home/u");
    EXPECT_EQ(path, folder.Path() + "/config/VELKOR01/settings.json");
    EXPECT_TRUE(ReadSettings(path).isObject()) << "a missing file reads as an empty object";

    std::filesystem::create_directories(folder.Path() + "/config/VELKOR01");
    std::ofstream(path) << R"({"Future": [1, 2], "UpdateServer": "https://old.example/api/"})";
    ASSERT_TRUE(WriteSetting(path, kSettingUpdateServer, "https://new.example/api/"));
    Json::Value settings = ReadSettings(path);
    EXPECT_EQ(SettingText(settings, kSettingUpdateServer), "https://new.example/api/");
    EXPECT_EQ(settings["Future"].size(), 2u) << "a member this build does not know stays";

    std::ofstream(path) << "{\"UpdateServer\": ";
    FileReadStatus status = FileReadStatus::Ok;
    EXPECT_EQ(SettingText(ReadSettings(path, &status), kSettingUpdateServer), "");
    EXPECT_EQ(status, FileReadStatus::NotJson);
    ASSERT_TRUE(WriteSetting(path, kSettingUpdateCaFile, "/ca.pem"));
    EXPECT_EQ(Read(path + ".damaged"), "{\"UpdateServer\": ") << "what the user had is not lost";
    EXPECT_EQ(SettingText(ReadSettings(path), kSettingUpdateCaFile), "/ca.pem");
    ASSERT_TRUE(WriteSetting(path, kSettingUpdateCaFile, Json::Value()));
    EXPECT_FALSE(ReadSettings(path).isMember(kSettingUpdateCaFile)) << "null removes the member";
}

} // namespace
} // namespace velkor::test
