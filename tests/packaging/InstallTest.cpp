// The program as installed: cmake --install of this build into a scratch
// DESTDIR under the prefix /usr (where the Debian package puts it), read by
// the desktop's and the software centre's validators, started from there, and
// started by the session bus through its service file.
#include "app/ChildProcess.h"
#include "devices/SupportedDevices.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

constexpr int kDeadlineMs = 120000; // a guard against hangs; nothing is timed
constexpr const char* kPath = "PATH=/usr/bin:/bin";

std::string ReadFile(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Runs a program to its end; its exit code and what it wrote (error stream after output).
struct Ran {
    int code = -1;
    std::string output;
};
Ran RunToEnd(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             const std::string& outputBase) {
    ChildProcess child(outputBase);
    if (!child.Start(argv, env)) {
        return {-1, "cannot start " + argv[0]};
    }
    const int code = child.WaitExit(kDeadlineMs);
    return {code, child.Out() + child.Err()};
}

// Width and height from a PNG file's header; {0, 0} for anything else.
std::pair<int, int> PngSize(const fs::path& path) {
    const std::string bytes = ReadFile(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0) {
        return {0, 0};
    }
    const auto big = [&bytes](size_t at) {
        return int(uint8_t(bytes[at])) << 24 | int(uint8_t(bytes[at + 1])) << 16 |
               int(uint8_t(bytes[at + 2])) << 8 | int(uint8_t(bytes[at + 3]));
    };
    return {big(16), big(20)};
}

// "VVVV:PPPP" (upper-case hex) for every match of `pattern`'s two groups in `text`.
std::set<std::string> IdPairs(const std::string& text, const std::regex& pattern) {
    std::set<std::string> pairs;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator();
         ++it) {
        std::string pair = (*it)[1].str() + ":" + (*it)[2].str();
        for (char& c : pair) {
            c = char(std::toupper(uint8_t(c)));
        }
        pairs.insert(pair);
    }
    return pairs;
}

class InstallTest : public ::testing::Test {
protected:
    // One installation for every test of the suite.
    static void SetUpTestSuite() {
        s_scratch = new ScratchFolder("velkor_install_");
        const Ran installed = RunToEnd({VELKOR_CMAKE, "--install", VELKOR_BUILD_DIR, "--prefix", "/usr"},
                                       {kPath, "DESTDIR=" + Root()}, s_scratch->Path() + "/install");
        s_installLog = installed.output;
        s_installed = installed.code == 0;
    }
    static void TearDownTestSuite() {
        delete s_scratch;
        s_scratch = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_installed) << "cmake --install failed:\n" << s_installLog; }

    static std::string Root() { return s_scratch->Path() + "/root"; }
    static fs::path Installed(const std::string& path) { return fs::path(Root() + path); }
    static std::string Scratch() { return s_scratch->Path(); }

    static inline ScratchFolder* s_scratch = nullptr;
    static inline bool s_installed = false;
    static inline std::string s_installLog;
};

TEST_F(InstallTest, EverythingTheProgramNeedsLiesUnderThePrefix) {
    for (const char* path :
         {"/usr/bin/velkor", "/usr/bin/velkorctl", "/usr/share/velkor/skin/res.xml",
          "/usr/share/velkor/skin/setwnd.ui", "/usr/share/velkor/skin/common/tray.png",
          "/usr/share/velkor/DefaultData/Language.config", "/lib/udev/rules.d/70-velkor.rules",
          "/usr/share/applications/org.velkor.VELKOR01.desktop",
          "/usr/share/metainfo/org.velkor.VELKOR01.metainfo.xml",
          "/usr/share/dbus-1/services/org.velkor.VELKOR01.service", "/usr/lib/systemd/user/velkor.service",
          "/usr/lib/velkor/libosconf.so", "/usr/lib/velkor/libosconf-sim.so",
          "/usr/share/doc/velkor/copyright", "/usr/share/doc/velkor/changelog.gz",
          "/usr/share/man/man1/velkor.1.gz", "/usr/share/man/man1/velkorctl.1.gz",
          "/usr/share/icons/hicolor/scalable/apps/org.velkor.VELKOR01.svg"}) {
        EXPECT_TRUE(fs::is_regular_file(Installed(path))) << path;
    }
    EXPECT_FALSE(fs::exists(Installed("/usr/share/velkor/skin/test"))) << "the skin's test files stay behind";
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string edge = std::to_string(size);
        EXPECT_EQ(PngSize(Installed("/usr/share/icons/hicolor/" + edge + "x" + edge +
                                    "/apps/org.velkor.VELKOR01.png")),
                  std::make_pair(size, size));
    }
    // The desktop program in the notification area, named by its installed path,
    // and the user unit for a bus that systemd runs.
    EXPECT_NE(ReadFile(Installed("/usr/share/dbus-1/services/org.velkor.VELKOR01.service"))
                  .find("\nName=org.velkor.VELKOR01\nExec=/usr/bin/velkor --background\n"
                        "SystemdService=velkor.service\n"),
              std::string::npos);
    EXPECT_NE(ReadFile(Installed("/usr/lib/systemd/user/velkor.service"))
                  .find("\nExecStart=/usr/bin/velkor --headless\n"),
              std::string::npos);
    // Nothing leads back into the source or build tree.
    for (const auto& entry : fs::recursive_directory_iterator(Root())) {
        EXPECT_FALSE(entry.is_symlink()) << entry.path();
        const std::string text = entry.is_regular_file() ? ReadFile(entry.path()) : std::string();
        if (!text.starts_with("\x7f"
                              "ELF")) { // programs and libraries keep build paths in their debug data
            EXPECT_EQ(text.find(VELKOR_SOURCE_DIR), std::string::npos) << entry.path();
            EXPECT_EQ(text.find(VELKOR_BUILD_DIR), std::string::npos) << entry.path();
        }
    }
}

TEST_F(InstallTest, DesktopEntryAndMetainfoPassTheirValidators) {
    const Ran desktop = RunToEnd(
        {VELKOR_DESKTOP_FILE_VALIDATE, Installed("/usr/share/applications/org.velkor.VELKOR01.desktop")},
        {kPath}, Scratch() + "/desktop");
    EXPECT_EQ(desktop.code, 0) << desktop.output;
    EXPECT_EQ(desktop.output, "") << "warnings count too";
    const Ran metainfo = RunToEnd({VELKOR_APPSTREAMCLI, "validate", "--no-net", "--no-color",
                                   Installed("/usr/share/metainfo/org.velkor.VELKOR01.metainfo.xml")},
                                  {kPath}, Scratch() + "/metainfo");
    EXPECT_EQ(metainfo.code, 0) << metainfo.output;
}

// Every option of the programs' --help is in their manual page: the pages are
// made from the help and change with it.
TEST_F(InstallTest, ManualPagesHoldEveryOptionOfTheHelp) {
    for (const std::string program : {"velkor", "velkorctl"}) {
        const Ran help = RunToEnd({Installed("/usr/bin/" + program), "--help"}, {kPath}, Scratch() + "/help");
        ASSERT_EQ(help.code, 0) << help.output;
        const Ran page = RunToEnd({"/bin/gzip", "-dc", Installed("/usr/share/man/man1/" + program + ".1.gz")},
                                  {kPath}, Scratch() + "/page");
        ASSERT_EQ(page.code, 0) << page.output;
        std::string text = page.output; // roff writes a hyphen as "\-"
        text.erase(std::remove(text.begin(), text.end(), '\\'), text.end());
        EXPECT_NE(text.find(".SH SYNOPSIS"), std::string::npos) << program;
        const std::regex option(R"((--[a-z][a-z-]+))");
        int options = 0;
        for (auto it = std::sregex_iterator(help.output.begin(), help.output.end(), option);
             it != std::sregex_iterator(); ++it, ++options) {
            EXPECT_NE(text.find((*it)[1].str()), std::string::npos) << program << " " << (*it)[1].str();
        }
        EXPECT_GE(options, 3) << program;
    }
}

// One list, the table in the code: a model added there and forgotten in the
// software centre's hardware list or in the udev rule fails here.
TEST_F(InstallTest, EverySupportedProductIsAModaliasAndHasTheUdevRule) {
    std::set<std::string> table;
    for (const SupportedDevice& row : SupportedDeviceTable()) {
        char pair[16];
        std::snprintf(pair, sizeof pair, "%04X:%04X", row.vendorId, row.productId);
        table.insert(pair);
    }
    ASSERT_GE(table.size(), 2u);
    const std::string metainfo = ReadFile(Installed("/usr/share/metainfo/org.velkor.VELKOR01.metainfo.xml"));
    EXPECT_EQ(IdPairs(metainfo, std::regex(R"(<modalias>usb:v([0-9A-F]{4})p([0-9A-F]{4})d\*</modalias>)")),
              table);
    const std::string rule = ReadFile(Installed("/lib/udev/rules.d/70-velkor.rules"));
    EXPECT_EQ(IdPairs(rule, std::regex(R"delim(KERNEL=="hidraw\*", ATTRS\{idVendor\}=="([0-9a-f]{4})", )delim"
                                       R"delim(ATTRS\{idProduct\}=="([0-9a-f]{4})", TAG\+="uaccess")delim")),
              table);
}

TEST_F(InstallTest, InstalledProgramFindsItsSkinAndDataUnderItsPrefix) {
    fs::create_directories(Scratch() + "/home");
    const Ran started =
        RunToEnd({Installed("/usr/bin/velkor"), "--simulate", "--exit-after-start", "--trace"},
                 {kPath, "HOME=" + Scratch() + "/home", "QT_QPA_PLATFORM=offscreen",
                  "DBUS_SESSION_BUS_ADDRESS=unix:path=" + Scratch() + "/no-bus-here"},
                 Scratch() + "/started");
    EXPECT_EQ(started.code, 0) << started.output;
    EXPECT_NE(started.output.find("skin " + Root() + "/usr/share/velkor/skin, data " + Root() +
                                  "/usr/share/velkor/DefaultData/"),
              std::string::npos)
        << started.output;
    EXPECT_NE(started.output.find("started in "), std::string::npos) << started.output;
}

// velkorctl raise while no program runs: the bus starts the installed program
// through a copy of its service file that adds --simulate, and the program
// takes the message.
TEST_F(InstallTest, TheBusStartsTheProgramForVelkorctlRaise) {
    const std::string services = Scratch() + "/services";
    fs::create_directories(services);
    fs::create_directories(Scratch() + "/runtime");
    fs::permissions(Scratch() + "/runtime", fs::perms::owner_all);
    std::string service = ReadFile(Installed("/usr/share/dbus-1/services/org.velkor.VELKOR01.service"));
    const std::string exec = "Exec=/usr/bin/velkor ";
    ASSERT_NE(service.find(exec), std::string::npos) << service;
    service.replace(service.find(exec), exec.size(), "Exec=" + Root() + "/usr/bin/velkor --simulate ");
    std::ofstream(services + "/org.velkor.VELKOR01.service") << service;
    std::ofstream(Scratch() + "/bus.conf")
        << "<busconfig><type>session</type><listen>unix:path=" << Scratch() << "/bus</listen>"
        << "<servicedir>" << services << "</servicedir><auth>EXTERNAL</auth><policy context=\"default\">"
        << "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
        << "</policy></busconfig>";
    const std::string address = "unix:path=" + Scratch() + "/bus";
    // The daemon hands its environment to the programs it starts.
    const std::vector<std::string> env{kPath, "HOME=" + Scratch() + "/home", "QT_QPA_PLATFORM=offscreen",
                                       "XDG_RUNTIME_DIR=" + Scratch() + "/runtime",
                                       "DBUS_SESSION_BUS_ADDRESS=" + address};
    ChildProcess daemon(Scratch() + "/daemon");
    ASSERT_TRUE(daemon.Start({VELKOR_DBUS_DAEMON, "--config-file=" + Scratch() + "/bus.conf", "--nofork",
                              "--nopidfile", "--print-address=1"},
                             env));
    ASSERT_TRUE(daemon.WaitFor("\n", kDeadlineMs, false)) << daemon.Err();

    const Ran raised = RunToEnd({Installed("/usr/bin/velkorctl"), "raise"}, env, Scratch() + "/raise");
    EXPECT_EQ(raised.code, 0) << raised.output;

    // The started program is the daemon's, not ours: find it and end it.
    const Ran owner =
        RunToEnd({VELKOR_DBUS_SEND, "--bus=" + address, "--print-reply", "--dest=org.freedesktop.DBus",
                  "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
                  "string:org.velkor.VELKOR01"},
                 env, Scratch() + "/owner");
    std::smatch pid;
    ASSERT_TRUE(std::regex_search(owner.output, pid, std::regex(R"(uint32 (\d+))"))) << owner.output;
    const pid_t started = pid_t(std::stol(pid[1].str()));
    EXPECT_NE(ReadFile("/proc/" + pid[1].str() + "/cmdline").find("--background"), std::string::npos);
    kill(started, SIGTERM);
    const Ran gone =
        RunToEnd({"/bin/sh", "-c", "while kill -0 " + pid[1].str() + " 2>/dev/null; do sleep 0.1; done"},
                 {kPath}, Scratch() + "/gone");
    EXPECT_EQ(gone.code, 0) << "the started program did not end on SIGTERM";
}

} // namespace
} // namespace velkor::test
