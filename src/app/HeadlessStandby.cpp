#include "app/HeadlessStandby.h"

#include "platform/Trace.h"
#include "platform/bus/BusMessage.h"

#include <chrono>

namespace velkor {

bool HeadlessStandby::Wait(MessageBus& watcher) {
    {
        std::lock_guard lock(m_mutex);
        m_owned = false;
        m_seenOwner = false;
        m_reports = 0;
    }
    const int ownedNow = watcher.WatchName(kBusName, [this](bool owned) {
        std::lock_guard lock(m_mutex);
        m_owned = owned;
        m_seenOwner = m_seenOwner || owned;
        ++m_reports;
        m_changed.notify_all();
    });
    if (ownedNow < 0) {
        TraceF("standing by without a bus (%s): starting again", watcher.LastError().c_str());
        std::lock_guard lock(m_mutex);
        return !m_cancelled;
    }
    std::unique_lock lock(m_mutex);
    if (m_reports == 0) { // a report that raced the question is newer than its answer
        m_owned = ownedNow == 1;
        m_seenOwner = m_owned;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kClaimWaitMs);
    while (!m_cancelled) {
        if (m_seenOwner && !m_owned) {
            Trace("the window has ended: taking the devices back");
            return true;
        }
        if (m_seenOwner) {
            m_changed.wait(lock);
        } else if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout && !m_seenOwner) {
            Trace("no window took the devices: taking them back");
            return true;
        }
    }
    return false;
}

void HeadlessStandby::Cancel() {
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    m_changed.notify_all();
}

} // namespace velkor
