#include "profiles/DeviceDataFiles.h"
#include "profiles/ProfileFolders.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velkor {
namespace {

using test::ParseRaw;
using test::TempFolder;

const char* kEffects = R"({
  "DefaultLightName": [
    [{"LightName": "k0", "visible": true, "value": 7}],
    [{"LightName": "m0", "visible": 1, "value": 3},
     {"LightName": "m1", "visible": false, "value": 4},
     {"LightName": "m2", "visible": 2, "value": 5},
     "not an entry",
     {"LightName": 12, "visible": "yes", "value": "6"},
     {"LightName": "m5", "visible": 0, "value": 4294967296}]
  ],
  "AreaLightName": [[{"LightName": "a0"}], {"LightName": "not a list"}]
})";

TEST(DeviceDataFiles, ModeListIsTakenByModelCodeAndKeepsEveryPosition) {
    const Json::Value effects = ParseRaw(kEffects);
    const auto keyboard = ModeListOf(effects, kModelCodeKeyboard);
    ASSERT_TRUE(keyboard);
    EXPECT_EQ(keyboard->names, (std::vector<std::string>{"k0"}));

    const auto mouse = ModeListOf(effects, kModelCodeMouse);
    ASSERT_TRUE(mouse);
    // Hidden and damaged entries still occupy their mode number.
    EXPECT_EQ(mouse->names, (std::vector<std::string>{"m0", "m1", "m2", "", "12", "m5"}));
    EXPECT_EQ(mouse->visible, (std::vector<int32_t>{1, 0, 1, 0, 0, 0}));
    EXPECT_EQ(mouse->codes, (std::vector<int32_t>{3, 4, 5, kNoEffectCode, kNoEffectCode, kNoEffectCode}));

    EXPECT_FALSE(ModeListOf(effects, kModelCodeMousePad));
    EXPECT_FALSE(ModeListOf(effects, 0xFFFFFFFFu));
    EXPECT_FALSE(ModeListOf(ParseRaw(R"({"DefaultLightName": [{"LightName": "x"}]})"), 0));
    EXPECT_FALSE(ModeListOf(Json::Value(), 0));
}

TEST(DeviceDataFiles, ModeListStopsAtTheLastSelectableModeNumber) {
    Json::Value effects;
    for (int i = 0; i < 300; ++i) {
        Json::Value entry;
        entry["LightName"] = "e";
        entry["visible"] = true;
        entry["value"] = i;
        effects["DefaultLightName"][0].append(entry);
    }
    const auto modes = ModeListOf(effects, 0);
    ASSERT_TRUE(modes);
    EXPECT_EQ(modes->names.size(), kMaxModeEntries);
    EXPECT_EQ(modes->codes.back(), 255);
}

TEST(DeviceDataFiles, NameListsComeFromArraysOnly) {
    const Json::Value effects = ParseRaw(kEffects);
    EXPECT_EQ(NamesOf(effects, "AreaLightName", 0), (std::vector<std::string>{"a0"}));
    EXPECT_FALSE(NamesOf(effects, "AreaLightName", 1));
    EXPECT_FALSE(NamesOf(effects, "AreaLightName", 2));

    const Json::Value config = ParseRaw(R"({"LightInfo": [[], [{"LightName": "Mine", "Guid": "g"}, 5]]})");
    EXPECT_EQ(NamesOf(config, "LightInfo", 0), std::vector<std::string>{});
    EXPECT_EQ(NamesOf(config, "LightInfo", 1), (std::vector<std::string>{"Mine", ""}));
}

TEST(DeviceDataFiles, MacroNamesAreReadInOrderAndDamageReadsAsNone) {
    EXPECT_EQ(MacroNamesOf(ParseRaw(
                  R"({"MacroInfo": [{"MacroName": "Reload"}, {"Guid": "x"}, {"MacroName": "Jump"}]})")),
              (std::vector<std::string>{"Reload", "", "Jump"}));
    EXPECT_TRUE(MacroNamesOf(ParseRaw(R"({"MacroInfo": {"MacroName": "x"}})")).empty());
    EXPECT_TRUE(MacroNamesOf(ParseRaw(R"([1, 2])")).empty());
    EXPECT_TRUE(MacroNamesOf(Json::Value()).empty());
}

TEST(DeviceDataFiles, MousePadsAndHeadsetsUseTheFixedMacroIndex) {
    EXPECT_STREQ(MacroIndexFileNameFor(DeviceClass::Keyboard), "macro.config");
    EXPECT_STREQ(MacroIndexFileNameFor(DeviceClass::Mouse), "macro.config");
    EXPECT_STREQ(MacroIndexFileNameFor(DeviceClass::MousePad), "ornic_macro.config");
    EXPECT_STREQ(MacroIndexFileNameFor(DeviceClass::Headset), "ornic_macro.config");
}

TEST(DataFolders, DownloadFolderLiesInTheTemporaryFolder) {
    TempFolder folder;
    EXPECT_EQ(TempFolderFrom(folder.Path().c_str()), folder.Path());
    EXPECT_EQ(TempFolderFrom(nullptr), "/tmp");
    EXPECT_EQ(TempFolderFrom("relative"), "/tmp");
    const std::string download = DownloadFolder(folder.Path());
    EXPECT_EQ(download, folder.Path() + "/UpdateData/");
    EXPECT_TRUE(std::filesystem::is_directory(download));
    EXPECT_EQ(DownloadFolder("relative"), "");
    test::WriteRaw(folder.Path("blocked"), "a file");
    EXPECT_EQ(DownloadFolder(folder.Path("blocked")), "");
}

TEST(DataFolders, AnInstalledProgramFindsItsDataUnderTheSharedFolder) {
    TempFolder folder;
    std::filesystem::create_directories(folder.Path("prefix/bin"));
    std::filesystem::create_directories(folder.Path("prefix/share/velkor/DefaultData"));
    EXPECT_EQ(DefaultDataFolder(folder.Path("prefix/bin")), folder.Path("prefix/share/velkor/DefaultData/"));
    EXPECT_EQ(DefaultDataFolder(folder.Path("prefix/bin/")), folder.Path("prefix/share/velkor/DefaultData/"));
    // Data beside the program wins (a build tree or an unpacked copy).
    std::filesystem::create_directories(folder.Path("prefix/bin/DefaultData"));
    EXPECT_EQ(DefaultDataFolder(folder.Path("prefix/bin")), folder.Path("prefix/bin/DefaultData/"));
    // Neither: the place looked at first.
    EXPECT_EQ(DefaultDataFolder(folder.Path("elsewhere")), folder.Path("elsewhere/DefaultData/"));
}

} // namespace
} // namespace velkor
