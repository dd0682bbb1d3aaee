// The real `velkor` program end to end: the Qt toolkit on the offscreen
// platform and D-Bus on a private session bus that the test starts itself.
#include "AppTestSupport.h"
#include "ChildProcess.h"

#include <QColor>
#include <QImage>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

constexpr int kDeadlineMs = 30000; // a guard against hangs; nothing is timed

// The build tree's folder (tests/ lies in it).
fs::path BuildFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path();
}

// The program of this build: $VELKOR_PROGRAM, else src/app/velkor beside tests/.
std::string ProgramPath() {
    const char* given = std::getenv("VELKOR_PROGRAM");
    return given != nullptr ? given : (BuildFolder() / "src/app/velkor").string();
}

class VelkorProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(access(m_program.c_str(), X_OK), 0) << m_program << " missing: build the velkor target";
        fs::create_directories(m_scratch.Path() + "/runtime");
        chmod((m_scratch.Path() + "/runtime").c_str(), 0700);
    }

    // Starts a dbus-daemon of the test's own (Debian package dbus) and returns its address.
    std::string StartBus() {
        const std::string config = m_scratch.Write(
            "bus.conf", "<busconfig><type>session</type><listen>unix:path=" + m_scratch.Path() +
                            "/bus</listen>"
                            "<auth>EXTERNAL</auth><policy context=\"default\">"
                            "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                            "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                            "</policy></busconfig>");
        EXPECT_TRUE(m_daemon.Start({"/usr/bin/dbus-daemon", "--config-file=" + config, "--nofork",
                                    "--nopidfile", "--print-address=1"},
                                   {}));
        EXPECT_TRUE(m_daemon.WaitFor("\n", kDeadlineMs, false)) << m_daemon.Err();
        return m_daemon.Out().substr(0, m_daemon.Out().find('\n'));
    }

    std::unique_ptr<ChildProcess> Run(std::vector<std::string> args, const std::string& bus,
                                      const std::string& program = {}, std::vector<std::string> env = {}) {
        args.insert(args.begin(), program.empty() ? m_program : program);
        auto child = std::make_unique<ChildProcess>(m_scratch.Path() + "/run" + std::to_string(++m_runs));
        env.insert(env.end(),
                   {"PATH=/usr/bin:/bin", "HOME=" + m_scratch.Path(), "QT_QPA_PLATFORM=offscreen",
                    "DBUS_SESSION_BUS_ADDRESS=" + bus, "XDG_RUNTIME_DIR=" + m_scratch.Path() + "/runtime"});
        // A sanitizer build's settings (suppressions, halting) reach the program too.
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name)) {
                env.push_back(std::string(name) + "=" + value);
            }
        }
        EXPECT_TRUE(child->Start(args, env));
        return child;
    }

    std::string NoBus() const { return "unix:path=" + m_scratch.Path() + "/no-bus-here"; }

    ProgramFolder m_scratch;
    ChildProcess m_daemon{m_scratch.Path() + "/daemon"};
    std::string m_program = ProgramPath();
    int m_runs = 0;
};

TEST_F(VelkorProgramTest, SecondStartEndsAtOnceAndTheFirstComesToTheFront) {
    const std::string bus = StartBus();
    auto first = Run({"--simulate", "--trace"}, bus);
    ASSERT_TRUE(first->WaitFor("InitWindow", kDeadlineMs)) << first->Err();

    auto second = Run({"--trace"}, bus);
    EXPECT_EQ(second->WaitExit(kDeadlineMs), 0) << second->Err();
    EXPECT_EQ(second->Err().find("InitWindow"), std::string::npos) << "the second start built a window";
    EXPECT_TRUE(first->WaitFor("软件标示 0，0d1d", kDeadlineMs)) << first->Err();

    first->Signal(SIGTERM); // an orderly end, which frees the name
    EXPECT_EQ(first->WaitExit(kDeadlineMs), 0) << first->Err();
    auto third = Run({"--exit-after-start"}, bus);
    EXPECT_EQ(third->WaitExit(kDeadlineMs), 0) << third->Err();
    EXPECT_EQ(third->Out().rfind("started in ", 0), 0u) << third->Out();
}

TEST_F(VelkorProgramTest, AGameEventFromVelkorctlLightsTheSelectedDevice) {
    const std::string velkorctl = (BuildFolder() / "tools/velkorctl").string();
    ASSERT_EQ(access(velkorctl.c_str(), X_OK), 0) << velkorctl << " missing: build the velkorctl target";
    const std::string bus = StartBus();
    auto program = Run({"--simulate", "--trace"}, bus);
    ASSERT_TRUE(program->WaitFor("InitWindow", kDeadlineMs)) << program->Err();
    // Until a simulated device is shown and selected the event finds no device;
    // the tool is asked again until one does (each wait is a hang guard).
    bool lit = false;
    for (int attempt = 0; attempt < 20 && !lit; ++attempt) {
        auto tool = Run({"game-event", "start", "0", "3"}, bus, velkorctl);
        ASSERT_EQ(tool->WaitExit(kDeadlineMs), 0) << tool->Err();
        lit = program->WaitFor("game event (0, 3) shows mode 3 on the ", 1500);
    }
    EXPECT_TRUE(lit) << program->Err();
    program->Signal(SIGTERM);
    EXPECT_EQ(program->WaitExit(kDeadlineMs), 0) << program->Err();
}

TEST_F(VelkorProgramTest, TheAudioToolLinksToTheProgramAndEndsWithIt) {
    const std::string tool = (fs::path(m_program).parent_path() / "velkor-audio").string();
    ASSERT_EQ(access(tool.c_str(), X_OK), 0) << tool << " missing: build the velkor-audio target";
    const std::string bus = StartBus();
    auto program = Run({"--simulate", "--trace"}, bus);
    ASSERT_TRUE(program->WaitFor("InitWindow", kDeadlineMs)) << program->Err();
    // No sound server answers here: the tool says it waits for one.
    auto audio =
        Run({}, bus, tool, {"VELKOR_TRACE=1", "PULSE_SERVER=unix:" + m_scratch.Path() + "/no-sound"});
    EXPECT_TRUE(program->WaitFor("audio tool present", kDeadlineMs)) << program->Err();
    EXPECT_TRUE(program->WaitFor("audio tool: waiting for the sound server", kDeadlineMs)) << program->Err();
    program->Signal(SIGTERM);
    EXPECT_EQ(program->WaitExit(kDeadlineMs), 0) << program->Err();
    EXPECT_EQ(audio->WaitExit(kDeadlineMs), 0) << audio->Err();
    EXPECT_NE(audio->Err().find("the program ends the tool"), std::string::npos) << audio->Err();
}

TEST_F(VelkorProgramTest, StartsFromA200CharacterFolderWithoutBusOrFontFolder) {
    ProgramFolder folder(200);
    const fs::path copy = fs::path(folder.Path()) / "velkor";
    fs::copy_file(m_program, copy);
    fs::create_directory_symlink(SourceSkin(), fs::path(folder.Path()) / "skin");
    auto bare = Run({"--simulate", "--exit-after-start", "--trace"}, NoBus(), copy.string());
    EXPECT_EQ(bare->WaitExit(kDeadlineMs), 0) << bare->Err();
    EXPECT_EQ(CountOf(bare->Err(), "messages from other programs are off"), 1) << bare->Err();
    EXPECT_EQ(bare->Err().find("registered"), std::string::npos) << bare->Err();
}

TEST_F(VelkorProgramTest, KeysPressedOnTheKeyboardEndUpInItsProfile) {
    const fs::path scenario = SourceSkin().parent_path() / "src/sim/scenarios/keyboard-keys.json";
    auto program = Run({"--simulate=" + scenario.string(), "--trace"}, NoBus());
    // Attach reads the layout and the record; each key pressed on the keyboard
    // makes it read the record again.
    ASSERT_TRUE(program->WaitFor("keyboard layout read: 126 key positions", kDeadlineMs)) << program->Err();
    ASSERT_TRUE(program->WaitFor("keyboard settings read: profile 0, effect 1, brightness 4, Win-lock 0",
                                 kDeadlineMs))
        << program->Err();
    ASSERT_TRUE(program->WaitFor("keyboard settings read: profile 0, effect 1, brightness 4, Win-lock 1",
                                 kDeadlineMs))
        << program->Err();
    ASSERT_TRUE(program->WaitFor("keyboard settings read: profile 0, effect 1, brightness 3, Win-lock 1",
                                 kDeadlineMs))
        << program->Err();
    program->Signal(SIGTERM);
    EXPECT_EQ(program->WaitExit(kDeadlineMs), 0) << program->Err();

    // The selected profile holds what the keyboard reported.
    const fs::path folder = fs::path(m_scratch.Path()) / ".local/share/VELKOR01/keyboard";
    int profiles = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".Json") {
            continue;
        }
        ++profiles;
        std::ifstream in(entry.path());
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("\"SelectItem\" : 1,"), std::string::npos) << text;
        EXPECT_NE(text.find("\"Light\" : 3,"), std::string::npos) << text;
        EXPECT_NE(text.find("\"WinFlag\" : 1"), std::string::npos) << text;
    }
    EXPECT_EQ(profiles, 1);
}

TEST_F(VelkorProgramTest, TheMouseThroughItsReceiverThenItsCable) {
    const std::string velkorctl = (BuildFolder() / "tools/velkorctl").string();
    ASSERT_EQ(access(velkorctl.c_str(), X_OK), 0) << velkorctl << " missing: build the velkorctl target";
    const std::string bus = StartBus();
    const fs::path scenario = SourceSkin().parent_path() / "src/sim/scenarios/mouse-receiver-cable.json";
    auto program = Run({"--simulate=" + scenario.string(), "--trace"}, bus);
    ASSERT_TRUE(program->WaitFor("mouse layout read: 12 key positions (36-byte key table)", kDeadlineMs))
        << program->Err();
    // A game event changes the lighting: the record goes through the receiver.
    bool written = false;
    for (int attempt = 0; attempt < 20 && !written; ++attempt) {
        auto tool = Run({"game-event", "start", "0", "3"}, bus, velkorctl);
        ASSERT_EQ(tool->WaitExit(kDeadlineMs), 0) << tool->Err();
        written = program->WaitFor("mouse record written: 66 bytes at 0 in 24-byte chunks, result 1", 1000);
    }
    EXPECT_TRUE(written) << program->Err();
    // On its cable the mouse reports a change; its 71 bytes are read at profile x 128.
    EXPECT_TRUE(program->WaitFor("mouse settings read: 71 bytes at 0", kDeadlineMs)) << program->Err();
    program->Signal(SIGTERM);
    EXPECT_EQ(program->WaitExit(kDeadlineMs), 0) << program->Err();
}

TEST_F(VelkorProgramTest, TheMousePadCarriesBackWhatItHoldsAndFollowsItsOwnProfileButton) {
    const std::string velkorctl = (BuildFolder() / "tools/velkorctl").string();
    ASSERT_EQ(access(velkorctl.c_str(), X_OK), 0) << velkorctl << " missing: build the velkorctl target";
    const std::string bus = StartBus();
    const fs::path scenario = SourceSkin().parent_path() / "src/sim/scenarios/mousepad-buttons.json";
    auto program = Run({"--simulate=" + scenario.string(), "--trace"}, bus);
    ASSERT_TRUE(program->WaitFor("mouse pad information block read: 34 bytes", kDeadlineMs))
        << program->Err();
    // Asks for a game event until the pad writes `line` (the first events may
    // come before the pad is shown and selected).
    const auto gameEventUntil = [&](const std::string& line) {
        bool written = false;
        for (int attempt = 0; attempt < 20 && !written; ++attempt) {
            auto tool = Run({"game-event", "start", "0", "3"}, bus, velkorctl);
            EXPECT_EQ(tool->WaitExit(kDeadlineMs), 0) << tool->Err();
            written = program->WaitFor(line, 1000);
        }
        return written;
    };
    // The first write reads the pad's record first and carries its own bytes back.
    const std::string profile0 = "mouse pad settings read: profile 0, 28 bytes at 0, effect 0, own bytes "
                                 "11 12 13 14 15 16 17 18 19 1A 1B 1C";
    const std::string firstWrite = "mouse pad record written: 21 bytes at 0, profile byte 0, effect code 3, "
                                   "own bytes 11 12 13 14 15 16 17 18 19 1A 1B 1C, result 1";
    ASSERT_TRUE(gameEventUntil(firstWrite)) << program->Err();
    const std::string trace = program->Err();
    ASSERT_NE(trace.find(profile0), std::string::npos) << trace;
    EXPECT_LT(trace.find(profile0), trace.find(firstWrite)) << trace;
    // Profile 2 chosen on the pad: read at 2 x 28, and carried in the next write.
    EXPECT_TRUE(program->WaitFor("mouse pad settings read: profile 2, 28 bytes at 56, effect 2, own bytes "
                                 "31 32 33 34 35 36 37 38 39 3A 3B 3C",
                                 kDeadlineMs))
        << program->Err();
    EXPECT_TRUE(gameEventUntil("mouse pad record written: 21 bytes at 0, profile byte 2, effect code 3, "
                               "own bytes 31 32 33 34 35 36 37 38 39 3A 3B 3C, result 1"))
        << program->Err();
    program->Signal(SIGTERM);
    EXPECT_EQ(program->WaitExit(kDeadlineMs), 0) << program->Err();
}

// A stored language beats the desktop's locale, whichever way they differ.
TEST_F(VelkorProgramTest, TheStoredLanguageBeatsTheLocale) {
    struct Case {
        const char* stored;
        const char* locale;
        const char* startsIn;
    };
    for (const Case& given :
         {Case{"1033", "zh_CN.UTF-8", "language 1: "}, Case{"2052", "en_US.UTF-8", "language 0: "}}) {
        ProgramFolder xdg;
        xdg.Write("config/VELKOR01/settings.json", std::string("{\"LANGUAGE\": ") + given.stored + "}");
        auto program = Run({"--simulate", "--exit-after-start", "--trace"}, NoBus(), {},
                           {"LANG=" + std::string(given.locale), "XDG_CONFIG_HOME=" + xdg.Path() + "/config",
                            "XDG_DATA_HOME=" + xdg.Path() + "/data"});
        EXPECT_EQ(program->WaitExit(kDeadlineMs), 0) << program->Err();
        EXPECT_NE(program->Err().find(given.startsIn), std::string::npos) << given.locale << "\n"
                                                                          << program->Err();
    }
}

// A picture recorded in main.ini is the main window's background at the next
// start, visible around the panels of the simulated devices' pages.
TEST_F(VelkorProgramTest, TheRecordedSkinPictureShowsInTheWindow) {
    ProgramFolder xdg;
    const QColor colour(0x20, 0xa0, 0x60); // no colour of the dark theme
    QImage solid(40, 30, QImage::Format_RGB32);
    solid.fill(colour);
    const std::string picture = xdg.Path() + "/solid.png";
    ASSERT_TRUE(solid.save(QString::fromStdString(picture), "PNG"));
    xdg.Write("data/VELKOR01/main.ini", "[SKINIMAGE]\r\nFLAGS=1\r\nIMAGE=" + picture + "\r\n");
    const std::string shot = xdg.Path() + "/shot.png";
    auto program =
        Run({"--simulate", "--screenshot=" + shot}, NoBus(), {},
            {"XDG_CONFIG_HOME=" + xdg.Path() + "/config", "XDG_DATA_HOME=" + xdg.Path() + "/data"});
    ASSERT_EQ(program->WaitExit(kDeadlineMs), 0) << program->Err();
    const QImage shown(QString::fromStdString(shot));
    ASSERT_FALSE(shown.isNull());
    int64_t covered = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            covered += shown.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    // The page margins alone are more than a tenth of the window.
    EXPECT_GT(covered * 10, int64_t(shown.width()) * shown.height()) << covered << " pixels of the picture";
}

// velkor --autostart on|off writes and removes the login entry that runs this
// program in the background; a configuration folder that is a file is named.
TEST_F(VelkorProgramTest, AutostartOnWritesTheLoginEntryAndOffRemovesIt) {
    const std::string entry = m_scratch.Path() + "/cfg/autostart/org.velkor.VELKOR01.desktop";
    auto on = Run({"--autostart", "on"}, NoBus(), {}, {"XDG_CONFIG_HOME=" + m_scratch.Path() + "/cfg"});
    ASSERT_EQ(on->WaitExit(kDeadlineMs), 0) << on->Err();
    EXPECT_EQ(on->Out(), "start at login is on: " + entry + "\n");
    std::ifstream in(entry);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\nExec=" + fs::canonical(m_program).string() + " --background\n"), std::string::npos)
        << text;

    auto off = Run({"--autostart", "off"}, NoBus(), {}, {"XDG_CONFIG_HOME=" + m_scratch.Path() + "/cfg"});
    ASSERT_EQ(off->WaitExit(kDeadlineMs), 0) << off->Err();
    EXPECT_FALSE(fs::exists(entry));

    const std::string file = m_scratch.Write("file", "not a folder");
    auto refused = Run({"--autostart", "on"}, NoBus(), {}, {"XDG_CONFIG_HOME=" + file});
    EXPECT_EQ(refused->WaitExit(kDeadlineMs), 1);
    EXPECT_EQ(refused->Err(), "velkor: start at login not turned on: cannot create " + file +
                                  "/autostart: " + file + " is not a folder\n");
    auto bad = Run({"--autostart", "maybe"}, NoBus());
    EXPECT_EQ(bad->WaitExit(kDeadlineMs), 2);
    EXPECT_NE(bad->Err().find("--autostart takes on or off"), std::string::npos) << bad->Err();
}

// The offscreen platform has no notification area: started for it, the
// window shows all the same.
TEST_F(VelkorProgramTest, BackgroundWithoutANotificationAreaShowsTheWindow) {
    auto program = Run({"--simulate", "--background", "--exit-after-start", "--trace"}, NoBus());
    EXPECT_EQ(program->WaitExit(kDeadlineMs), 0) << program->Err();
    EXPECT_NE(program->Err().find("no notification area: the window is shown"), std::string::npos)
        << program->Err();
}

} // namespace
} // namespace velkor::test
