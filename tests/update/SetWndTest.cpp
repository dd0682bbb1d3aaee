// The settings window on the in-memory toolkit and the real skin, against an
// update server in the test's own process. Waits on the worker threads are
// bounded hang guards, never timing assertions.
#include "platform/Trace.h"
#include "support/LocalHttpServer.h"
#include "support/ScratchFolder.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"
#include "update/CSetWnd.h"

#include <openssl/sha.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace velkor::test {
namespace {

using ui::test::PagesOf;
using ui::test::SelectableOf;

namespace fs = std::filesystem;

fs::path SourceRoot() {
    return fs::absolute(fs::path(__FILE__).lexically_normal().parent_path().parent_path().parent_path());
}

// The program's factory accepts the row class; so does this creator.
class RowCreator final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view className) const override { return className == "CUpdateInfoListItemUI"; }
    void ControlCreated(std::string_view, ui::Control&) override {}
};

std::string Sha256(const std::string& bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : digest) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

// An update server: answers per application key, packages at /pkg/NAME, and a
// gate that holds every answer until the test opens it (or 10 s pass).
class FakeUpdateServer {
public:
    FakeUpdateServer() {
        m_server.Routes().Post("/api/updates",
                               [this](const httplib::Request& request, httplib::Response& response) {
                                   Hold();
                                   std::lock_guard lock(m_mutex);
                                   m_forms.push_back(request.body);
                                   const auto found = m_answers.find(request.get_param_value("app_key"));
                                   if (found == m_answers.end()) {
                                       response.status = 404;
                                       return;
                                   }
                                   response.status = found->second.first;
                                   response.set_content(found->second.second, "application/json");
                               });
        m_server.Routes().Get(
            R"(/pkg/(\w+))", [this](const httplib::Request& request, httplib::Response& response) {
                Hold();
                std::lock_guard lock(m_mutex);
                response.set_content(m_packages[request.matches[1]], "application/octet-stream");
            });
    }
    ~FakeUpdateServer() {
        Open();
        m_server.Stop();
    }
    bool Start() { return m_server.Start(); }
    std::string Base() const { return m_server.Url("/api/"); }
    std::string Package(const std::string& name) const { return m_server.Url("/pkg/" + name); }

    void Answer(const std::string& key, int status, const std::string& body) {
        std::lock_guard lock(m_mutex);
        m_answers[key] = {status, body};
    }
    void SetPackage(const std::string& name, const std::string& bytes) {
        std::lock_guard lock(m_mutex);
        m_packages[name] = bytes;
    }
    void Close() {
        std::lock_guard lock(m_mutex);
        m_open = false;
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    std::vector<std::string> Forms() {
        std::lock_guard lock(m_mutex);
        return m_forms;
    }

private:
    void Hold() {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_open; });
    }

    LocalHttpServer m_server;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = true;
    std::map<std::string, std::pair<int, std::string>> m_answers;
    std::map<std::string, std::string> m_packages;
    std::vector<std::string> m_forms;
};

UpdateItem Row(int type, uint32_t key, uint32_t version, const char* name) {
    UpdateItem item;
    item.type = type;
    item.keyNumber = key;
    item.version = version;
    item.vendor = "VELKOR";
    item.productCode = "P" + std::to_string(key);
    item.productKind = type == 0 ? "app" : "mouse";
    item.displayName = name;
    item.versionText = type == 0 ? "V0.1.0" : "";
    return item;
}

class SetWndTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Start()); }
    void TearDown() override {
        m_window.reset();
        m_server.Open();
    }

    // Creates and initialises the window with the three rows; `server` false: none configured.
    void Open(bool server = true, int dpi = 96) {
        SetWndServices services{.toolkit = *m_toolkit, .creator = &m_creator};
        if (server) {
            services.server.baseUrl = m_server.Base();
        }
        services.dateFile = m_folder.Path() + "/updatetime.config";
        services.tempFolder = m_folder.Path() + "/tmp";
        services.cacheHome = m_folder.Path() + "/cache";
        services.tellMainWindow = [this](uint32_t message) { m_told.push_back(message); };
        services.openFolder = [this](const std::string& folder) {
            m_opened.push_back(folder);
            return true;
        };
        services.today = [] { return std::string("2024-5-3"); };
        fs::create_directories(services.tempFolder);
        m_window = std::make_unique<CSetWnd>(services);
        std::string error;
        ASSERT_TRUE(m_window->Create(nullptr, &error)) << error;
        ASSERT_TRUE(
            m_window->Init({Row(1, 1, 0x0103, "MS"), Row(2, 3, 0x0104, "R31"), Row(0, 4, 10, "AP")}, dpi));
        m_window->GetWindow()->Show(); // as its modal run does
    }

    // Runs the window's queue until `done` holds; the deadline only guards against a hang.
    bool Until(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            m_toolkit->ProcessPending();
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    }
    bool Checked() {
        return Until([this] { return m_window->OverallState() != CSetWnd::kChecking; });
    }
    ui::Control& Control(std::string_view name) { return *m_window->GetWindow()->FindControl(name); }
    ui::Control& RowControl(size_t row, std::string_view name) {
        return *m_window->Row(row).Control().FindChild(name);
    }
    std::string StatusText(size_t row) { return RowControl(row, UpdateListRow::kStatusText).Text(); }
    void AnswerAll(const std::string& ms, const std::string& r31, const std::string& ap) {
        m_server.Answer("VELKOR_1_P1_mouse_1", 200, ms);
        m_server.Answer("VELKOR_2_P3_mouse_3", 200, r31);
        m_server.Answer("VELKOR_0_P4_app_4", 200, ap);
    }

    ScratchFolder m_folder{"velkor_setwnd_"};
    FakeUpdateServer m_server;
    ui::ManualClock m_clock{1000};
    std::unique_ptr<ui::MemoryToolkit> m_toolkit =
        ui::MemoryToolkit::Create((SourceRoot() / "skin").string(), m_clock);
    RowCreator m_creator;
    ui::MemoryUser m_user;
    std::unique_ptr<CSetWnd> m_window;
    std::vector<uint32_t> m_told;
    std::vector<std::string> m_opened;
};

TEST_F(SetWndTest, RowsShowTheAnswersAndTheUpdatesAreTicked) {
    AnswerAll(R"({"version":"104","path":"x"})", R"({"version":"104"})", "<html>error</html>");
    Open();
    ASSERT_TRUE(Checked());
    EXPECT_EQ(m_window->OverallState(), CSetWnd::kHaveUpdates);
    EXPECT_EQ(Control("Update_Status_text").Text(), "HaveUpdateInfoText");
    EXPECT_EQ(m_server.Forms().front(), "app_key=VELKOR_1_P1_mouse_1&version=103");

    const ui::Control& ms = RowControl(0, UpdateListRow::kCheck);
    EXPECT_EQ(m_window->Row(0).Status(), kRowUpdate);
    EXPECT_EQ(StatusText(0), "NeedUpdateText");
    EXPECT_TRUE(SelectableOf(ms).IsSelected() && ms.IsEnabled());
    EXPECT_EQ(ms.TextColour(), 0xFF0099FFu);
    EXPECT_EQ(RowControl(0, UpdateListRow::kCurrent).Text(), "V0103");
    EXPECT_EQ(RowControl(0, UpdateListRow::kLatest).Text(), "V104");

    EXPECT_EQ(m_window->Row(1).Status(), kRowUpToDate) << "same version";
    EXPECT_FALSE(RowControl(1, UpdateListRow::kCheck).IsEnabled());
    EXPECT_FALSE(RowControl(1, UpdateListRow::kLatest).IsVisible()) << "no newest version, hidden";
    EXPECT_EQ(RowControl(1, UpdateListRow::kCheck).DisabledTextColour(), 0xFF666666u);
    EXPECT_TRUE(m_window->Row(2).result.failed) << "an error page is no answer";
    EXPECT_EQ(RowControl(2, UpdateListRow::kCurrent).Text(), "V0.1.0");

    EXPECT_TRUE(Control(CSetWnd::kUpdateButton).IsVisible());
    ASSERT_TRUE(m_user.Click(const_cast<ui::Control&>(ms)));
    EXPECT_FALSE(Control(CSetWnd::kUpdateButton).IsVisible()) << "nothing ticked, nothing to update";
    EXPECT_TRUE(m_told.empty()) << "the badge stays: an update is there";
}

TEST_F(SetWndTest, NoServerNothingSentAndEverythingUpToDateShowsTheDate) {
    Open(false);
    ASSERT_TRUE(Checked());
    EXPECT_EQ(m_window->OverallState(), CSetWnd::kNoServer);
    EXPECT_EQ(Control("Update_Status_text").Text(), "NoUpdateInfoText");
    EXPECT_TRUE(m_server.Forms().empty());
    EXPECT_TRUE(Control("update_status_image").IsVisible());
    EXPECT_FALSE(Control("update_status_ring").IsVisible());

    AnswerAll(R"({"version":"103"})", R"({"version":"0104"})", R"({"version":"10","version_name":"0.1.0"})");
    Open();
    ASSERT_TRUE(Checked());
    EXPECT_EQ(m_window->OverallState(), CSetWnd::kUpToDate);
    EXPECT_EQ(Control("Update_Status_text").Text(), "UpdateIsLastText2024-5-3");
    EXPECT_EQ(ReadCheckDate(m_folder.Path() + "/updatetime.config"), "2024-5-3");
    EXPECT_EQ(m_told, std::vector<uint32_t>{CSetWnd::kMessageUpToDate});
    EXPECT_EQ(RowControl(2, UpdateListRow::kCurrent).Text(), "V10");
}

TEST_F(SetWndTest, ConfirmedRowsDownloadAndTheWindowWaitsForThem) {
    const std::string package(300000, 'p');
    m_server.SetPackage("ms", package);
    AnswerAll(R"({"version":"104","path":")" + m_server.Package("ms") + R"(","size":300000,"sha256":")" +
                  Sha256(package) + R"("})",
              R"({"version":"105"})", R"({"version":"10"})");
    Open();
    ASSERT_TRUE(Checked());
    ASSERT_TRUE(m_user.Click(RowControl(1, UpdateListRow::kCheck))); // untick R31: it stays as it is
    m_window->InstallerReport(CSetWnd::kReportFinished, 0);
    EXPECT_EQ(m_window->Row(0).Status(), kRowUpdate) << "no row is being installed: ignored";

    m_server.Close(); // the package waits
    ASSERT_TRUE(m_user.Click(Control(CSetWnd::kUpdateButton)));
    EXPECT_EQ(PagesOf(Control(CSetWnd::kTabs)).CurrentPage(), 1);
    ASSERT_TRUE(m_user.Click(Control("update_OK_btn")));
    EXPECT_EQ(StatusText(0), "DownloadWaitText");
    EXPECT_FALSE(RowControl(1, UpdateListRow::kCheck).IsEnabled()) << "not confirmed";
    EXPECT_EQ(m_window->OverallState(), CSetWnd::kUpdating);
    ASSERT_TRUE(m_user.RequestClose(*m_window->GetWindow()));
    ASSERT_TRUE(m_user.Click(Control("closebtn")));
    EXPECT_TRUE(m_window->GetWindow()->IsVisible()) << "closing waits for the download";

    m_server.Open();
    ASSERT_TRUE(Until([this] { return m_window->Row(0).Status() == kRowDownloaded; }));
    EXPECT_TRUE(RowControl(0, UpdateListRow::kDoneMark).IsVisible());
    const std::string path = m_window->Row(0).packagePath;
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "never executable";
    EXPECT_EQ(st.st_size, 300000);
    EXPECT_EQ(fs::path(path).filename(), "MS.pkg") << "named after the row, not the URL";
    ASSERT_TRUE(m_user.ActivateItem(Control(CSetWnd::kList), 0));
    EXPECT_EQ(m_opened, std::vector<std::string>{m_folder.Path() + "/tmp/UpdateData"});

    // An installer reports on the downloaded row.
    m_window->InstallerReport(CSetWnd::kReportProgress, 150);
    EXPECT_EQ(m_window->Row(0).ProgressText(), "100%");
    EXPECT_EQ(StatusText(0), "UpdateIngText");
    m_window->InstallerReport(CSetWnd::kReportFinished, 0);
    EXPECT_EQ(m_window->Row(0).Status(), kRowUpToDate);
    EXPECT_EQ(RowControl(0, UpdateListRow::kCurrent).Text(), "V104");
    EXPECT_EQ(m_window->OverallState(), CSetWnd::kHaveUpdates) << "R31 still has its update";
    EXPECT_TRUE(m_window->CanClose());
    ASSERT_TRUE(m_user.Click(Control("closebtn")));
    EXPECT_FALSE(m_window->GetWindow()->IsVisible());
}

struct BadPackage {
    const char* label;
    std::string bytes;
    std::string answer; // PKG stands for the package's URL
};

class BadPackages : public SetWndTest, public ::testing::WithParamInterface<BadPackage> {};

TEST_P(BadPackages, LeaveTheRowFailedAndNoFile) {
    m_server.SetPackage("ms", GetParam().bytes);
    std::string answer = GetParam().answer;
    if (const size_t at = answer.find("PKG"); at != std::string::npos) {
        answer.replace(at, 3, m_server.Package("ms"));
    }
    AnswerAll(answer, R"({"version":"104"})", R"({"version":"10"})");
    Open();
    ASSERT_TRUE(Checked());
    ASSERT_TRUE(m_user.Click(Control(CSetWnd::kUpdateButton)));
    ASSERT_TRUE(m_user.Click(Control("update_OK_btn")));
    ASSERT_TRUE(Until([this] { return m_window->Row(0).Status() == kRowFailed; }));
    EXPECT_EQ(StatusText(0), "UpdateFailText");
    EXPECT_TRUE(RowControl(0, UpdateListRow::kCheck).IsEnabled());
    EXPECT_TRUE(fs::is_empty(m_folder.Path() + "/tmp/UpdateData")) << "no package, no partial file";
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadPackages,
    ::testing::Values(
        BadPackage{"size_mismatch", "abc", R"({"version":"104","path":"PKG","size":4})"},
        BadPackage{"sha256_mismatch", "abc",
                   R"({"version":"104","path":"PKG","sha256":")" + std::string(64, '0') + "\"}"},
        BadPackage{"no_path", "abc", R"({"version":"104"})"},
        BadPackage{"plain_http_elsewhere", "abc", R"({"version":"104","path":"http://update.example/p"})"}),
    [](const auto& info) { return std::string(info.param.label); });

// Something planted where packages go before the download: `folder` is the
// temporary folder's "UpdateData", `victim` a file elsewhere.
struct PlantedPath {
    const char* label;
    void (*plant)(const fs::path& folder, const fs::path& victim);
    const char* landsIn; // below the test's folder
    bool needsRoot;      // a folder of another user needs chown
};

void LinkTheFolder(const fs::path& folder, const fs::path& victim) {
    fs::create_directory_symlink(victim.parent_path(), folder);
}
void OpenTheFolder(const fs::path& folder, const fs::path&) {
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::all);
}
void GiveTheFolderAway(const fs::path& folder, const fs::path&) {
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_all);
    ASSERT_EQ(::chown(folder.c_str(), 54321, 54321), 0) << "an unused user id";
}
void LinkTheFileNames(const fs::path& folder, const fs::path& victim) {
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_all);
    fs::create_symlink(victim, folder / "MS.pkg.part");
    fs::create_symlink(victim, folder / "MS.pkg");
}

class PlantedPaths : public SetWndTest, public ::testing::WithParamInterface<PlantedPath> {};

TEST_P(PlantedPaths, NeverReceiveThePackage) {
    if (GetParam().needsRoot && ::geteuid() != 0) {
        GTEST_SKIP() << "a folder of another user needs root";
    }
    const fs::path folder = m_folder.Path() + "/tmp/UpdateData";
    const fs::path victim = m_folder.Path() + "/elsewhere/victim";
    fs::create_directories(folder.parent_path());
    fs::create_directories(victim.parent_path());
    std::ofstream(victim) << "keep";
    GetParam().plant(folder, victim);

    const std::string package(1000, 'p');
    m_server.SetPackage("ms", package);
    AnswerAll(R"({"version":"104","path":")" + m_server.Package("ms") + R"(","sha256":")" + Sha256(package) +
                  R"("})",
              R"({"version":"104"})", R"({"version":"10"})");
    Open();
    ASSERT_TRUE(Checked());
    ASSERT_TRUE(m_user.Click(Control(CSetWnd::kUpdateButton)));
    ASSERT_TRUE(m_user.Click(Control("update_OK_btn")));
    ASSERT_TRUE(Until([this] { return m_window->Row(0).Status() >= kRowDownloaded; }));
    ASSERT_EQ(m_window->Row(0).Status(), kRowDownloaded);

    const std::string path = m_window->Row(0).packagePath;
    EXPECT_EQ(path, m_folder.Path() + "/" + GetParam().landsIn + "/MS.pkg");
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0) << path;
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "a file of its own, not a link";
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 1000);
    std::ifstream kept(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep");
    EXPECT_EQ(std::distance(fs::directory_iterator(victim.parent_path()), fs::directory_iterator()), 1)
        << "nothing written beside the victim";
    if (fs::path(path).parent_path() != folder) {
        EXPECT_FALSE(fs::exists(folder / "MS.pkg") || fs::exists(folder / "MS.pkg.part"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlantedPaths,
    ::testing::Values(PlantedPath{"folder_is_a_link", LinkTheFolder, "cache/VELKOR01/UpdateData", false},
                      PlantedPath{"folder_open_to_all", OpenTheFolder, "cache/VELKOR01/UpdateData", false},
                      PlantedPath{"folder_of_another_user", GiveTheFolderAway, "cache/VELKOR01/UpdateData",
                                  true},
                      PlantedPath{"links_at_the_file_names", LinkTheFileNames, "tmp/UpdateData", false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(SetWndTest, AHeldAnswerNeverBlocksTheWindowAndCloseEndsTheCheck) {
    AnswerAll(R"({"version":"104"})", R"({"version":"104"})", R"({"version":"10"})");
    m_server.Close(); // every answer is held (up to 10 s)
    Open();
    ASSERT_EQ(m_window->RowCount(), 3u) << "the rows are there before any answer";
    EXPECT_EQ(RowControl(0, UpdateListRow::kCurrent).Text(), "V0103");
    EXPECT_EQ(m_window->OverallState(), CSetWnd::kChecking);
    EXPECT_TRUE(Control("update_status_ring").IsVisible());
    // The loop keeps running meanwhile: a timer of the window fires.
    int ticks = 0;
    struct Counter final : ui::NotifyReceiver {
        int& ticks;
        explicit Counter(int& t) : ticks(t) {}
        void Notify(const ui::Notification& n) override { ticks += n.type == ui::kNotifyTimer ? 1 : 0; }
    } counter(ticks);
    m_window->GetWindow()->AddNotifier(counter);
    m_window->GetWindow()->Root().SetTimer(7, 10);
    m_toolkit->AdvanceTime(30);
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(m_window->ThreadsRunning());

    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_user.Click(Control("closebtn")));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5))
        << "hang guard: it waited for the answer";
    EXPECT_FALSE(m_window->ThreadsRunning());
    EXPECT_FALSE(m_window->GetWindow()->IsVisible());
    m_toolkit->ProcessPending();
    EXPECT_EQ(m_window->OverallState(), CSetWnd::kChecking) << "nothing reported after the stop";
}

TEST_F(SetWndTest, AnUnknownScaleUsesTheLayoutsOwn) {
    std::vector<std::string> traces;
    ScopedTraceSink sink([&traces](std::string_view line) { traces.emplace_back(line); });
    Open(false, 100);
    EXPECT_EQ(m_window->GetWindow()->Dpi(), 96);
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "SET_WND DPI SET ERROR"), 1);
    m_user.ChangeDpi(*m_window->GetWindow(), 144);
    EXPECT_EQ(m_window->GetWindow()->Dpi(), 144);
}

} // namespace
} // namespace velkor::test
