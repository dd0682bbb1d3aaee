#include "update/UpdateThreads.h"

#include "platform/JsonFileHelper.h"
#include "platform/Trace.h"

#include <chrono>
#include <ctime>

namespace velkor {

bool UpdateCheckThread::Start(const UpdateServerSetup& setup, std::vector<UpdateItem> rows,
                              RowChecked rowChecked, Finished finished) {
    if (m_thread.joinable()) {
        return false;
    }
    m_live = std::make_shared<std::atomic<bool>>(true);
    m_client =
        std::make_unique<HttpClient>(HttpClientSettings{.caFile = setup.caFile, .limits = setup.limits});
    HttpClient* client = m_client.get();
    std::shared_ptr<std::atomic<bool>> live = m_live;
    ui::Dispatcher* dispatcher = &m_dispatcher;
    try {
        m_thread = std::thread([=, rows = std::move(rows)] {
            for (size_t i = 0; i < rows.size() && live->load(); ++i) {
                UpdateResult result = CheckForUpdate(*client, setup.baseUrl, rows[i]);
                if (result.failed) {
                    TraceF("update check of %s failed: %s", rows[i].displayName.c_str(), result.why.c_str());
                }
                dispatcher->Post([live, rowChecked, i, result = std::move(result)] {
                    if (live->load()) {
                        rowChecked(i, result);
                    }
                });
            }
            dispatcher->Post([live, finished] {
                if (live->load()) {
                    finished();
                }
            });
            Trace("update check thread ends");
        });
    } catch (const std::system_error&) {
        m_client.reset();
        return false;
    }
    return true;
}

void UpdateCheckThread::Stop() {
    if (m_live) {
        m_live->store(false);
    }
    if (m_client) {
        m_client->Stop();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_client.reset();
}

void UpdateDownloadThread::Configure(const UpdateServerSetup& setup, std::string folder, Progress progress,
                                     Done done) {
    m_setup = setup;
    m_folder = std::move(folder);
    m_progress = std::move(progress);
    m_done = std::move(done);
}

bool UpdateDownloadThread::Enqueue(DownloadJob job) {
    std::lock_guard lock(m_mutex);
    if (!m_live->load()) {
        return false;
    }
    m_queue.push_back(std::move(job));
    if (m_working) {
        return true; // the running thread takes it next
    }
    if (m_thread.joinable()) {
        m_thread.join(); // it has finished its last job and is ending
    }
    if (!m_client) {
        HttpLimits limits = m_setup.limits;
        limits.totalTimeoutMs = 0; // a package may take long; the idle limit still ends a dead transfer
        m_client =
            std::make_unique<HttpClient>(HttpClientSettings{.caFile = m_setup.caFile, .limits = limits});
    }
    try {
        m_working = true;
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        m_working = false;
        m_queue.pop_back();
        return false;
    }
    return true;
}

void UpdateDownloadThread::Run() {
    for (;;) {
        DownloadJob job;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty() || !m_live->load()) {
                m_working = false;
                return;
            }
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        const std::shared_ptr<std::atomic<bool>> live = m_live;
        ui::Dispatcher& dispatcher = m_dispatcher;
        const Progress progress = m_progress;
        const size_t row = job.row;
        DownloadOutcome outcome = DownloadPackage(*m_client, m_folder, job, [&](int percent) {
            dispatcher.Post([live, progress, row, percent] {
                if (live->load()) {
                    progress(row, percent);
                }
            });
        });
        if (!outcome.ok) {
            TraceF("download of %s failed: %s", job.name.c_str(), outcome.why.c_str());
        }
        dispatcher.Post([live, done = m_done, row, outcome = std::move(outcome)] {
            if (live->load()) {
                done(row, outcome);
            }
        });
    }
}

void UpdateDownloadThread::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_live->store(false);
        m_queue.clear();
    }
    if (m_client) {
        m_client->Stop();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::string FormatCheckDate(int year, int month, int day) {
    return std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day);
}

std::string TodayText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatCheckDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::string ReadCheckDate(const std::string& path) {
    const Json::Value file = CJsonFileHelper().ReadJsonFile(path);
    if (!file.isObject() || !file["updatelasttime"].isObject() ||
        !file["updatelasttime"]["value"].isString()) {
        return {};
    }
    return file["updatelasttime"]["value"].asString();
}

bool WriteCheckDate(const std::string& path, const std::string& date) {
    const CJsonFileHelper helper;
    Json::Value file = helper.ReadJsonFile(path);
    if (!file.isObject()) {
        file = Json::Value(Json::objectValue);
    }
    if (!file["updatelasttime"].isObject()) {
        file["updatelasttime"] = Json::Value(Json::objectValue);
    }
    file["updatelasttime"]["value"] = date;
    return helper.WriteJsonFile(file, path);
}

} // namespace velkor
