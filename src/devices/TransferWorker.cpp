#include "devices/TransferWorker.h"

#include "platform/Trace.h"

#include <system_error>

namespace velkor {

bool TransferWorker::Post(Job job) {
    std::lock_guard lock(m_mutex);
    if (m_shutDown) {
        return false;
    }
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread([this] { Loop(); });
        } catch (const std::system_error&) {
            Trace("transfer worker: the thread cannot be created");
            return false;
        }
    }
    m_jobs.push_back(std::move(job));
    m_wake.notify_one();
    return true;
}

bool TransferWorker::Busy() const {
    std::lock_guard lock(m_mutex);
    return m_running || !m_jobs.empty();
}

void TransferWorker::Shutdown() {
    {
        std::lock_guard lock(m_mutex);
        m_shutDown = true;
        m_jobs.clear();
        m_stop.Set();
        m_wake.notify_one();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void TransferWorker::Loop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_shutDown || !m_jobs.empty(); });
        if (m_shutDown) {
            return;
        }
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_running = true;
        lock.unlock();
        job(m_stop);
        job = nullptr; // what it holds goes on this thread, outside the lock
        lock.lock();
        m_running = false;
    }
}

} // namespace velkor
