#include "profiles/ProfileFolders.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace velkor {
namespace {

using test::TempFolder;
using test::WriteRaw;

TEST(ProfileFolders, DataHomePrefersAnAbsoluteXdgValue) {
    EXPECT_EQ(DataHomeFrom("/x/data", "/home/u"), "/x/data");
    EXPECT_EQ(DataHomeFrom(nullptr, "/home/u"), "/home/u/.local/share");
    EXPECT_EQ(DataHomeFrom("relative/data", "/home/u/"), "/home/u/.local/share");
    EXPECT_EQ(DataHomeFrom("", "/home/u"), "/home/u/.local/share");
    EXPECT_EQ(DataHomeFrom(nullptr, nullptr), "");
    EXPECT_EQ(DataHomeFrom(nullptr, "home"), "");
}

TEST(ProfileFolders, UserDataFolderIsCreatedLevelByLevel) {
    TempFolder folder;
    const std::string home = folder.Path("not/yet/there");
    const std::string user = UserDataFolder(home, "keyboard");
    EXPECT_EQ(user, home + "/VELKOR01/keyboard/");
    EXPECT_TRUE(std::filesystem::is_directory(user));
    // Building it again finds everything in place.
    EXPECT_EQ(UserDataFolder(home + "/", "keyboard"), user);
    EXPECT_EQ(UserBaseFolder(home), home + "/VELKOR01/");
}

TEST(ProfileFolders, FolderThatCannotBeCreatedGivesAnEmptyPath) {
    TempFolder folder;
    WriteRaw(folder.Path("VELKOR01"), "a file where the folder belongs");
    EXPECT_EQ(UserBaseFolder(folder.Path()), "");
    EXPECT_EQ(UserDataFolder(folder.Path(), "mouse"), "");
    EXPECT_EQ(UserBaseFolder("relative"), "");
    EXPECT_EQ(UserBaseFolder(""), "");
}

TEST(ProfileFolders, NamesThatCouldLeaveTheFolderAreRefused) {
    TempFolder folder;
    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "a/b", std::string("a\0b", 3), std::string(201, 'x')}) {
        EXPECT_EQ(UserDataFolder(folder.Path(), name), "") << name;
        EXPECT_EQ(ProfileFilePath(folder.Path() + "/", name), "") << name;
        EXPECT_EQ(DefaultProfilePath("/opt/velkor", name), "") << name;
    }
    EXPECT_FALSE(std::filesystem::exists(folder.Path("VELKOR01/a")));
}

TEST(ProfileFolders, FilePathsUseTheirFixedNames) {
    EXPECT_EQ(DefaultDataFolder("/opt/velkor"), "/opt/velkor/DefaultData/");
    EXPECT_EQ(DefaultProfilePath("/opt/velkor/", "MousePad"), "/opt/velkor/DefaultData/MousePad.Json");
    EXPECT_EQ(ProfileFilePath("/d/HD/", "2023_07_04_09_05_03_042"), "/d/HD/2023_07_04_09_05_03_042.Json");
    EXPECT_EQ(ProfileFilePath("", "id"), "");
    EXPECT_EQ(LightConfigPath("/d/mouse"), "/d/mouse/ornic_light.config");
}

} // namespace
} // namespace velkor
