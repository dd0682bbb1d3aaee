#pragma once
// The settings window's two worker threads: the check thread (one request per
// row) and the download thread (the confirmed rows, one at a time).
//
// Each owns its HttpClient and reports only through the dispatcher: every
// result is posted to the user-interface thread and runs there, never after
// Stop has returned, so the window that owns the thread never sees a report
// once it has stopped it. Stop ends the request in flight (within 100 ms) and
// joins the thread; no thread is ever left running or killed. Start, Stop and
// the destructor run on the user-interface thread.
#include "ui/Dispatcher.h"
#include "update/HttpClient.h"
#include "update/UpdateCheck.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velkor {

struct UpdateServerSetup {
    std::string baseUrl;
    std::string caFile;
    HttpLimits limits;
};

class UpdateCheckThread {
public:
    using RowChecked = std::function<void(size_t row, const UpdateResult& result)>;
    using Finished = std::function<void()>;

    explicit UpdateCheckThread(ui::Dispatcher& dispatcher) : m_dispatcher(dispatcher) {}
    ~UpdateCheckThread() { Stop(); }
    UpdateCheckThread(const UpdateCheckThread&) = delete;
    UpdateCheckThread& operator=(const UpdateCheckThread&) = delete;

    // Checks `rows` in order; `rowChecked` for each, then `finished`. False when
    // a check runs already or the thread cannot start.
    bool Start(const UpdateServerSetup& setup, std::vector<UpdateItem> rows, RowChecked rowChecked,
               Finished finished);
    void Stop();
    bool Running() const { return m_thread.joinable(); }

private:
    ui::Dispatcher& m_dispatcher;
    std::shared_ptr<std::atomic<bool>> m_live;
    std::unique_ptr<HttpClient> m_client;
    std::thread m_thread;
};

// One package to fetch for a confirmed row.
struct DownloadJob {
    size_t row = 0;
    std::string url;
    std::string name; // the row's display name: the file is name + ".pkg"
    int64_t size = -1;
    std::string sha256;
};

struct DownloadOutcome {
    bool ok = false;
    std::string path; // the package, when ok
    std::string why;
};

// The folder that receives packages: tempFolder + "/UpdateData" when it is (or
// can be made) a real folder of this user with mode 0700, else
// cacheHome + "/VELKOR01/UpdateData" made the same way. Empty with the reason
// when neither will do.
std::string UpdateDownloadFolder(const std::string& tempFolder, const std::string& cacheHome,
                                 std::string* why);

// Fetches one package into `folder` (see UpdateDownloadThread). `progress` gets
// -1 when the transfer starts, then whole percentages when the size is known,
// at most ten times a second.
DownloadOutcome DownloadPackage(HttpClient& client, const std::string& folder, const DownloadJob& job,
                                const std::function<void(int percent)>& progress);

// Downloads run one at a time, in the order enqueued. A package goes to a
// temporary name (opened O_EXCL|O_NOFOLLOW, mode 0600), is checked against the
// transfer length, the announced size and SHA-256 and at most 512 MiB, and
// only then renamed to its name; on any failure the partial file is removed.
// Nothing downloaded is ever run or made executable.
class UpdateDownloadThread {
public:
    using Progress = std::function<void(size_t row, int percent)>;
    using Done = std::function<void(size_t row, const DownloadOutcome& outcome)>;

    explicit UpdateDownloadThread(ui::Dispatcher& dispatcher) : m_dispatcher(dispatcher) {}
    ~UpdateDownloadThread() { Stop(); }
    UpdateDownloadThread(const UpdateDownloadThread&) = delete;
    UpdateDownloadThread& operator=(const UpdateDownloadThread&) = delete;

    // Where packages go and how to reach them; call before the first Enqueue.
    void Configure(const UpdateServerSetup& setup, std::string folder, Progress progress, Done done);
    // Queues a package; starts the thread when none runs. False after Stop or
    // when the thread cannot start (the job is then not queued).
    bool Enqueue(DownloadJob job);
    void Stop();
    bool Running() const { return m_thread.joinable(); }

private:
    void Run();

    ui::Dispatcher& m_dispatcher;
    UpdateServerSetup m_setup;
    std::string m_folder;
    Progress m_progress;
    Done m_done;
    std::shared_ptr<std::atomic<bool>> m_live = std::make_shared<std::atomic<bool>>(true);
    std::mutex m_mutex;
    std::deque<DownloadJob> m_queue;
    bool m_working = false;
    std::unique_ptr<HttpClient> m_client;
    std::thread m_thread;
};

// "updatetime.config": {"updatelasttime": {"value": "2024-5-3"}}.
inline constexpr const char* kCheckDateFileName = "updatetime.config";
// The date as "%d-%d-%d" (year, month, day; no leading zeros).
std::string FormatCheckDate(int year, int month, int day);
// Today's local date in that form.
std::string TodayText();
// The stored date, or empty when the file or the member is missing or damaged.
std::string ReadCheckDate(const std::string& path);
// Stores the date atomically (other members kept). False when not written.
bool WriteCheckDate(const std::string& path, const std::string& date);

} // namespace velkor
