#include "devices/TransferWorker.h"

#include "platform/Trace.h"
#include "transport/DeviceTransport.h"

#include <algorithm>
#include <system_error>

namespace velkor {

bool TransferWorker::StartThread() {
    if (m_thread.joinable()) {
        return true;
    }
    try {
        m_thread = std::thread([this] { Loop(); });
    } catch (const std::system_error&) {
        Trace("transfer worker: the thread cannot be created");
        return false;
    }
    return true;
}

bool TransferWorker::Post(Job job) {
    std::lock_guard lock(m_mutex);
    if (m_shutDown || !StartThread()) {
        return false;
    }
    m_jobs.push_back({[job = std::move(job)](const StopEvent& stop) {
                          job(stop);
                          return kResultOk;
                      },
                      0,
                      true,
                      {}});
    m_wake.notify_one();
    return true;
}

bool TransferWorker::PostLatest(uint32_t key, Write write, Done done) {
    std::lock_guard lock(m_mutex);
    if (m_shutDown || !StartThread()) {
        return false;
    }
    Entry entry{std::move(write), key, false, {}};
    const auto waiting = std::find_if(m_jobs.begin(), m_jobs.end(),
                                      [key](const Entry& e) { return !e.transfer && e.key == key; });
    if (waiting != m_jobs.end()) {
        // Its askers now wait for this newer value; it never runs.
        entry.dones = std::move(waiting->dones);
        m_jobs.erase(waiting);
    }
    if (done) {
        entry.dones.push_back(std::move(done));
    }
    m_jobs.push_back(std::move(entry));
    m_wake.notify_one();
    return true;
}

bool TransferWorker::Busy() const {
    std::lock_guard lock(m_mutex);
    return m_runningTransfer ||
           std::any_of(m_jobs.begin(), m_jobs.end(), [](const Entry& e) { return e.transfer; });
}

bool TransferWorker::Idle() const {
    std::lock_guard lock(m_mutex);
    return !m_running && m_jobs.empty();
}

void TransferWorker::Shutdown() {
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_shutDown = true;
        dropped.swap(m_jobs);
        m_stop.Set();
        m_wake.notify_one();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    // Whoever waited for a dropped write hears that it never reached the device.
    for (Entry& entry : dropped) {
        for (Done& done : entry.dones) {
            done(kResultNoReply);
        }
    }
}

void TransferWorker::Loop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_shutDown || !m_jobs.empty(); });
        if (m_shutDown) {
            return;
        }
        Entry entry = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_running = true;
        m_runningTransfer = entry.transfer;
        lock.unlock();
        const int result = entry.run(m_stop);
        for (Done& done : entry.dones) {
            done(result);
        }
        entry = {}; // what it holds goes on this thread, outside the lock
        lock.lock();
        m_running = false;
        m_runningTransfer = false;
    }
}

// ---- WriteTally ----

void WriteTally::Expect() {
    std::lock_guard lock(m_mutex);
    ++m_expected;
    ++m_open;
}

void WriteTally::Finish(int result) {
    std::unique_lock lock(m_mutex);
    if (m_open > 0) {
        --m_open;
    }
    if (result != kResultOk && m_result == kResultOk) {
        m_result = result;
    }
    FireLocked(lock);
}

void WriteTally::Seal(Done done) {
    std::unique_lock lock(m_mutex);
    if (m_sealed) {
        return;
    }
    m_sealed = true;
    m_done = std::move(done);
    FireLocked(lock);
}

int WriteTally::Expected() const {
    std::lock_guard lock(m_mutex);
    return m_expected;
}

int WriteTally::Result() const {
    std::lock_guard lock(m_mutex);
    return m_result;
}

void WriteTally::FireLocked(std::unique_lock<std::mutex>& lock) {
    if (!m_sealed || m_open > 0 || !m_done) {
        return;
    }
    Done done = std::move(m_done);
    m_done = nullptr;
    const int result = m_result;
    lock.unlock();
    done(result);
}

} // namespace velkor
