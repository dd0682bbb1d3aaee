#include "devices/DeviceThread.h"

#include "platform/Trace.h"

#include <chrono>
#include <system_error>

namespace velkor {

void StopEvent::Set() {
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
    }
    m_changed.notify_all();
}

void StopEvent::Reset() {
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool StopEvent::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_set;
}

bool StopEvent::WaitFor(uint32_t ms) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_set; });
}

void StopEvent::Wake() {
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_changed.notify_all();
}

bool StopEvent::WaitForWake(uint32_t ms) const {
    std::unique_lock lock(m_mutex);
    const auto ready = [this] { return m_set || m_woken; };
    if (ms == kNoTimeLimit) {
        m_changed.wait(lock, ready);
    } else {
        m_changed.wait_for(lock, std::chrono::milliseconds(ms), ready);
    }
    m_woken = false;
    return m_set;
}

bool StopEvent::WaitUntil(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_until(lock, deadline, [this] { return m_set; });
}

std::string_view StopOutcomeTrace(ThreadStopOutcome outcome) {
    switch (outcome) {
    case ThreadStopOutcome::Ended:
        return kTraceThreadEnded;
    case ThreadStopOutcome::Abandoned:
        return kTraceThreadAbandoned;
    case ThreadStopOutcome::TimedOut:
        return kTraceThreadTimedOut;
    case ThreadStopOutcome::Failed:
        return kTraceThreadFailed;
    case ThreadStopOutcome::NotRunning:
        break;
    }
    return {};
}

DeviceThread::~DeviceThread() {
    if (m_current) {
        m_current->shared->stop.Set();
        m_lingering.push_back(std::move(*m_current));
        m_current.reset();
    }
    JoinStopped();
}

bool DeviceThread::Start(Body body, uint32_t stopWaitMs) {
    Stop(stopWaitMs);
    // An earlier body that is still finishing must not run beside the new one
    // (both would read the same channel or write the same buffers).
    JoinStopped();

    auto record = std::make_unique<Record>();
    record->shared = std::make_shared<Shared>();
    try {
        // The thread owns a reference to the shared state, so its last steps
        // never touch this object.
        record->thread = std::thread([shared = record->shared, body = std::move(body)] {
            body(shared->stop);
            {
                std::lock_guard lock(shared->mutex);
                shared->done = true;
            }
            shared->ended.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    {
        std::lock_guard lock(m_wakeMutex);
        m_wakeTarget = record->shared;
    }
    m_current = std::move(record);
    return true;
}

void DeviceThread::Wake() {
    std::lock_guard lock(m_wakeMutex);
    if (m_wakeTarget) {
        m_wakeTarget->stop.Wake();
    }
}

ThreadStopOutcome DeviceThread::Stop(uint32_t waitMs, const std::function<void()>& wake) {
    if (!m_current) {
        return ThreadStopOutcome::NotRunning;
    }
    std::unique_ptr<Record> record = std::move(m_current);
    {
        std::lock_guard lock(m_wakeMutex);
        m_wakeTarget.reset();
    }
    Shared& shared = *record->shared;
    shared.stop.Set();
    if (wake) {
        wake(); // after the event: the body, once woken, sees it set
    }

    ThreadStopOutcome outcome = ThreadStopOutcome::Failed;
    if (record->thread.get_id() != std::this_thread::get_id()) {
        std::unique_lock lock(shared.mutex);
        const bool ended =
            shared.ended.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return shared.done; });
        outcome = ended ? ThreadStopOutcome::Ended : ThreadStopOutcome::TimedOut;
    }
    Trace(StopOutcomeTrace(outcome));

    if (outcome == ThreadStopOutcome::Ended) {
        record->thread.join();
    } else {
        // Not ended by force: its stop event is set, so it ends by itself and is joined later.
        m_lingering.push_back(std::move(*record));
    }
    return outcome;
}

void DeviceThread::JoinStopped() {
    for (Record& record : m_lingering) {
        if (!record.thread.joinable()) {
            continue;
        }
        if (record.thread.get_id() == std::this_thread::get_id()) {
            // A body that owns its own DeviceThread's last reference: it cannot join itself.
            // It touches only its shared state from here on.
            record.thread.detach();
            continue;
        }
        record.thread.join();
    }
    m_lingering.clear();
}

} // namespace velkor
