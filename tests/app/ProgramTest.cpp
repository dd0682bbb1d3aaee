// The start-up steps on the in-memory toolkit and the in-process bus.
#include "app/Program.h"
#include "AppTestSupport.h"
#include "platform/bus/InProcessMessageBus.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <thread>

namespace velkor::test {
namespace {

// One program on its own endpoint of a shared in-process bus.
struct ProgramUnderTest {
    ProgramUnderTest(std::shared_ptr<InProcessBus> shared, const std::string& folder,
                     ProgramOptions options = {})
        : bus(std::move(shared)), services{.makeToolkit = [this](const std::string& skin, std::string* error)
                                               -> std::unique_ptr<ui::Toolkit> {
                                               ++toolkitsMade;
                                               if (beforeToolkit) {
                                                   beforeToolkit();
                                               }
                                               auto made = ui::MemoryToolkit::Create(skin, clock, error);
                                               toolkit = made.get();
                                               return made;
                                           },
                                           .bus = bus,
                                           .programFolder = folder,
                                           .systemFontFolders = {},
                                           .err = err.file},
          program(std::move(options), services) {}

    ui::Window& Window() const { return *program.MainWindow()->GetWindow(); }

    ui::ManualClock clock;
    InProcessMessageBus bus;
    CapturedStream err;
    int toolkitsMade = 0;
    std::function<void()> beforeToolkit;
    ui::MemoryToolkit* toolkit = nullptr;
    ProgramServices services;
    Program program;
};

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() { m_folder.AddSkin(); }

    std::shared_ptr<InProcessBus> m_bus = std::make_shared<InProcessBus>();
    ProgramFolder m_folder;
    TraceCapture m_traces;
};

TEST_F(ProgramTest, FirstStartShowsTheMainWindowAndStopFreesTheName) {
    ProgramUnderTest first(m_bus, m_folder.Path());
    ASSERT_EQ(first.program.Start(), StartResult::Running) << first.err.Text();
    EXPECT_EQ(first.Window().ClassName(), "MainWnd");
    EXPECT_EQ(first.Window().Title(), "Velkor") << "the program's name, not its folder's";
    EXPECT_TRUE(first.Window().IsVisible());
    // 800 x 572, centred on the work area (1920 x 1040 by default).
    EXPECT_EQ(first.Window().Geometry(), (ui::Rect{560, 234, 800, 572}));
    const std::vector<std::string>& classes = first.program.Factory().ClassNames();
    ASSERT_EQ(classes.size(), 24u);
    EXPECT_EQ(classes.front(), "CCircleProgressUI");
    EXPECT_EQ(classes.back(), "CTolvanicHS6533Device");
    EXPECT_EQ(first.program.Typefaces()->RegisteredCount(), 0); // no "Font" folder: no obstacle
    EXPECT_EQ(first.err.Text(), "");

    first.program.Stop();
    InProcessMessageBus next(m_bus);
    EXPECT_EQ(next.Claim([](BusMessage) {}), BusClaim::Owner);
}

TEST_F(ProgramTest, StartAnnouncesThatTheProgramTakesTheLighting) {
    InProcessMessageBus watcher(m_bus);
    std::vector<BusMessage> seen;
    ASSERT_TRUE(watcher.WatchBroadcasts([&](BusMessage message) { seen.push_back(std::move(message)); }));
    ProgramUnderTest first(m_bus, m_folder.Path());
    ASSERT_EQ(first.program.Start(), StartResult::Running) << first.err.Text();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].kind, BusMessageKind::LightingControl);
    EXPECT_EQ(seen[0].wParam, 1);
    EXPECT_EQ(seen[0].lParam, 1);
}

TEST_F(ProgramTest, SecondStartAnnouncesAndEndsBeforeBuildingAnything) {
    ProgramUnderTest first(m_bus, m_folder.Path());
    ASSERT_EQ(first.program.Start(), StartResult::Running);
    first.toolkit->ProcessPending();
    first.Window().Minimize();

    ProgramUnderTest second(m_bus, m_folder.Path());
    EXPECT_EQ(second.program.Start(), StartResult::OtherInstance);
    EXPECT_EQ(second.toolkitsMade, 0);

    // The announce reaches the first window through its loop: restored and in front.
    EXPECT_TRUE(first.Window().IsMinimized());
    first.toolkit->ProcessPending();
    EXPECT_FALSE(first.Window().IsMinimized());
    EXPECT_TRUE(static_cast<ui::MemoryWindow&>(first.Window()).IsActive());
    EXPECT_EQ(m_traces.Count("软件标示 0，0d1d"), 1);
}

TEST_F(ProgramTest, TypefacesLoadFromAProgramFolderOf200Characters) {
    ProgramFolder folder(200);
    ASSERT_EQ(folder.Path().size(), 200u);
    folder.AddSkin();
    folder.Write("Font/Simplified_Chinese.ttf", kFakeFont);
    folder.Write("Font/Nightjar-Regular.otf", kFakeFont);
    folder.Write("Font/NotoSansThai-Regular.ttf", "not a font at all");
    // Missing beside the program, but installed on the system.
    folder.Write("system/opentype/noto/NotoSansCJK-Regular.ttc", kFakeFont);

    ProgramUnderTest first(m_bus, folder.Path());
    first.services.systemFontFolders = {folder.Path() + "/system"};
    ASSERT_EQ(first.program.Start(), StartResult::Running) << first.err.Text();
    const auto& states = first.program.Typefaces()->States();
    ASSERT_EQ(states.size(), 4u);
    EXPECT_EQ(states[0].path, folder.Path() + "/Font/Simplified_Chinese.ttf");
    EXPECT_EQ(states[1].source, TypefaceSource::FontFolder);
    EXPECT_EQ(states[2].source, TypefaceSource::Missing);
    EXPECT_EQ(states[3].source, TypefaceSource::System);
    EXPECT_EQ(first.program.Typefaces()->RegisteredCount(), 2);
}

TEST_F(ProgramTest, StartFailuresSayWhyAndFreeTheName) {
    ProgramFolder empty;
    ProgramUnderTest noSkin(m_bus, empty.Path());
    EXPECT_EQ(noSkin.program.Start(), StartResult::Failed);
    EXPECT_NE(noSkin.err.Text().find("cannot start the user interface"), std::string::npos)
        << noSkin.err.Text();

    const std::string scenario = m_folder.Write("broken.json", "{ \"steps\": [");
    ProgramUnderTest badScenario(m_bus, m_folder.Path(), {.simulate = true, .scenario = scenario});
    EXPECT_EQ(badScenario.program.Start(), StartResult::Failed);
    EXPECT_NE(badScenario.err.Text().find(scenario), std::string::npos) << badScenario.err.Text();

    InProcessMessageBus next(m_bus);
    EXPECT_EQ(next.Claim([](BusMessage) {}), BusClaim::Owner);
}

TEST_F(ProgramTest, LanguageAndDataHomeComeFromTheEnvironmentItIsGiven) {
    std::ifstream table(SourceSkin().parent_path() / "DefaultData" / "Language.config", std::ios::binary);
    m_folder.Write("DefaultData/Language.config", std::string(std::istreambuf_iterator<char>(table), {}));

    ProgramUnderTest chinese(m_bus, m_folder.Path());
    chinese.services.environment = {.lcMessages = "zh_CN.UTF-8",
                                    .lang = "en_US.UTF-8",
                                    .xdgDataHome = "relative/is/ignored",
                                    .home = m_folder.Path() + "/home"};
    ASSERT_EQ(chinese.program.Start(), StartResult::Running) << chinese.err.Text();
    EXPECT_EQ(chinese.program.Texts().LanguageName(), "简体中文");
    EXPECT_EQ(chinese.program.DataHome(), m_folder.Path() + "/home/.local/share");
    chinese.program.Stop();

    ProgramUnderTest english(m_bus, m_folder.Path());
    english.services.environment = {
        .lcAll = "en_GB.UTF-8", .lcMessages = "zh_CN.UTF-8", .xdgDataHome = m_folder.Path() + "/data"};
    ASSERT_EQ(english.program.Start(), StartResult::Running) << english.err.Text();
    EXPECT_EQ(english.program.Texts().LanguageName(), "English");
    EXPECT_EQ(english.program.DataHome(), m_folder.Path() + "/data");
}

// Saves killed half-way leave their temporary files: the start removes them,
// only them, and only in the data folders and the settings folder.
TEST_F(ProgramTest, StartRemovesWhatKilledSavesLeftAndNothingElse) {
    const std::vector<std::pair<std::string, bool>> files = {
        {"data/VELKOR01/.ProfileList.ini.tmp-AbC123", true},
        {"data/VELKOR01/KB01/.p1.Json.tmp-x9Y8z7", true},
        {"config/VELKOR01/.settings.json.tmp-Qw3rty", true},
        {"data/VELKOR01/KB01/.p1.Json.tmp-short", false},  // not six characters
        {"data/VELKOR01/KB01/.p1.Json.tmp-ab_def", false}, // not mkostemp's letters
        {"data/VELKOR01/KB01/p1.Json.tmp-abcdef", false},  // no leading dot
        {"data/VELKOR01/KB01/..tmp-abcdef", false},        // no name
        {"data/VELKOR01/KB01/.p1.Json", false},
        {"data/VELKOR01/KB01/deeper/.q.Json.tmp-abcdef", false}, // not a data folder
        {"data/other/.x.Json.tmp-abcdef", false},                // not the program's
        {"data/.x.Json.tmp-abcdef", false},
    };
    for (const auto& [file, removed] : files) {
        m_folder.Write(file, "{");
    }
    // A link of the name is not a file the program wrote, nor is a folder.
    const std::filesystem::path base = m_folder.Path();
    std::filesystem::create_symlink(base / "data/other/.x.Json.tmp-abcdef",
                                    base / "data/VELKOR01/.l.tmp-abcdef");
    std::filesystem::create_directories(base / "data/VELKOR01/.d.tmp-abcdef");

    ProgramUnderTest program(m_bus, m_folder.Path());
    program.services.environment = {.xdgDataHome = m_folder.Path() + "/data",
                                    .xdgConfigHome = m_folder.Path() + "/config"};
    ASSERT_EQ(program.program.Start(), StartResult::Running) << program.err.Text();
    for (const auto& [file, removed] : files) {
        EXPECT_EQ(std::filesystem::exists(base / file), !removed) << file;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(base / "data/VELKOR01/.l.tmp-abcdef"));
    EXPECT_TRUE(std::filesystem::is_directory(base / "data/VELKOR01/.d.tmp-abcdef"));
}

TEST(ProgramEnvironment, IsReadByTheVariablesNames) {
    const std::map<std::string, std::string, std::less<>> values{
        {"LC_ALL", "a"}, {"LC_MESSAGES", "b"}, {"LANG", "c"}, {"XDG_DATA_HOME", "d"}, {"HOME", "e"}};
    const auto lookup = [&values](const char* name) -> const char* {
        const auto found = values.find(std::string_view(name));
        return found == values.end() ? nullptr : found->second.c_str();
    };
    EXPECT_EQ(ReadProgramEnvironment(lookup), (ProgramEnvironment{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(ReadProgramEnvironment([](const char*) -> const char* { return nullptr; }),
              ProgramEnvironment{});
}

TEST_F(ProgramTest, WithoutASystemBusTheProgramRunsAndNeverSuspends) {
    SleepWatcher noBus("unix:path=/nonexistent/velkor/system_bus_socket");
    ProgramUnderTest first(m_bus, m_folder.Path());
    first.services.sleepWatcher = &noBus;
    ASSERT_EQ(first.program.Start(), StartResult::Running) << first.err.Text();
    EXPECT_TRUE(first.Window().IsVisible());
    EXPECT_FALSE(noBus.IsRunning());
    EXPECT_TRUE(first.program.MainWindow()->IsAwake());
    first.program.Stop();
}

TEST_F(ProgramTest, CloseButtonHidesAndExitAndQuitRequestsEndTheLoop) {
    ProgramUnderTest first(m_bus, m_folder.Path());
    first.beforeToolkit = [&] { first.program.RequestQuit(); }; // before there is a loop to end
    ASSERT_EQ(first.program.Start(), StartResult::Running);
    EXPECT_EQ(first.program.RunLoop(), 0);

    std::thread watcher([&] { first.program.RequestQuit(); }); // as the signal watcher does
    EXPECT_EQ(first.program.RunLoop(), 0);
    watcher.join();

    ui::MemoryUser user;
    first.toolkit->GetDispatcher().Post([&] {
        EXPECT_TRUE(user.Click(first.Window(), "closebtn"));
        EXPECT_FALSE(first.Window().IsVisible()) << "hidden in the notification area";
        first.program.MainWindow()->Tray().MenuItemChosen("exit");
    });
    EXPECT_EQ(first.program.RunLoop(), 0);
    EXPECT_TRUE(first.program.MainWindow()->IsShutDown());
}

} // namespace
} // namespace velkor::test
