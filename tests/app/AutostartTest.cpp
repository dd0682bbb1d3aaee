// Start at login: where the entry goes, that the desktop accepts the entry it
// writes for any program path, and how a folder in the way is refused.
#include "app/Autostart.h"
#include "AppTestSupport.h"
#include "ChildProcess.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

TEST(AutostartTest, ConfigHomeOrHomeDecidesThePath) {
    struct Case {
        std::string xdg, home, path;
    };
    for (const Case& c : std::vector<Case>{
             {"/cfg", "/home/u", "/cfg/autostart/org.velkor.VELKOR01.desktop"},
             {"/cfg//", "", "/cfg/autostart/org.velkor.VELKOR01.desktop"},
             {"relative", "/home/u", "/home/u/.config/autostart/org.velkor.VELKOR01.desktop"},
             {"", "relative", ""},
         }) {
        EXPECT_EQ(AutostartFilePath(c.xdg, c.home), c.path) << c.xdg << " | " << c.home;
    }
}

// The desktop's own validator reads each entry; the Exec line keeps the path whole.
TEST(AutostartTest, TheEntryRunsTheProgramInTheBackgroundWhateverItsPath) {
    const ProgramFolder folder;
    struct Case {
        std::string program, exec;
    };
    for (const Case& c : std::vector<Case>{
             {"/usr/bin/velkor", "Exec=/usr/bin/velkor --background\n"},
             {"/opt/my apps/velkor", "Exec=\"/opt/my apps/velkor\" --background\n"},
             {"/opt/100%/a\"b$c\\d/velkor",
              "Exec=\"/opt/100%%/a\\\\\"b\\\\$c\\\\\\\\d/velkor\" --background\n"},
         }) {
        const std::string path = folder.Path() + "/autostart/" + kAutostartFileName;
        std::string error;
        ASSERT_TRUE(SetAutostart(path, true, c.program, &error)) << error;
        EXPECT_TRUE(AutostartEnabled(path));
        std::ifstream in(path);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(c.exec), std::string::npos) << text;
        ChildProcess validate(folder.Path() + "/validate");
        ASSERT_TRUE(validate.Start({VELKOR_DESKTOP_FILE_VALIDATE, path}, {"PATH=/usr/bin:/bin"}));
        EXPECT_EQ(validate.WaitExit(30000), 0) << validate.Out() << validate.Err();
        EXPECT_EQ(validate.Out() + validate.Err(), "") << c.program;
    }
}

TEST(AutostartTest, AFileWhereTheFolderShouldBeIsRefusedWithItsName) {
    const ProgramFolder folder;
    const std::string config = folder.Write("config", "not a folder");
    const std::string path = AutostartFilePath(config, "");
    std::string error;
    EXPECT_FALSE(SetAutostart(path, true, "/usr/bin/velkor", &error));
    EXPECT_EQ(error, "cannot create " + config + "/autostart: " + config + " is not a folder");
    EXPECT_FALSE(AutostartEnabled(path));
    EXPECT_FALSE(SetAutostart("", true, "/usr/bin/velkor", &error));
    EXPECT_NE(error.find("neither XDG_CONFIG_HOME nor HOME"), std::string::npos) << error;

    // A hidden entry (the desktop's own switch) is off; turning off what is off succeeds.
    const std::string hidden = folder.Write("cfg/autostart/x.desktop", "[Desktop Entry]\nHidden=true\n");
    EXPECT_FALSE(AutostartEnabled(hidden));
    EXPECT_TRUE(SetAutostart(folder.Path() + "/none/x.desktop", false, "", &error)) << error;
}

} // namespace
} // namespace velkor::test
