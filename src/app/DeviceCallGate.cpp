#include "app/DeviceCallGate.h"

namespace velkor {

bool DeviceCallGate::Take(DeviceCall call, DeviceBusService::ReplyFn reply) {
    std::lock_guard lock(m_mutex);
    if (m_closed) {
        return false;
    }
    if (m_dispatcher == nullptr) {
        if (m_waiting.size() >= m_capacity) {
            return false;
        }
        m_waiting.emplace_back(std::move(call), std::move(reply));
        return true;
    }
    return PostLocked({std::move(call), std::move(reply)});
}

void DeviceCallGate::Open(ui::Dispatcher& dispatcher, Runner run) {
    std::lock_guard lock(m_mutex);
    if (m_closed || m_dispatcher != nullptr) {
        return;
    }
    m_dispatcher = &dispatcher;
    m_run = std::make_shared<Runner>(std::move(run));
    std::deque<Entry> waiting;
    waiting.swap(m_waiting);
    for (Entry& entry : waiting) {
        // A refused post drops the call; the service answers it when it stops.
        PostLocked(std::move(entry));
    }
}

void DeviceCallGate::Close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_dispatcher = nullptr;
    m_waiting.clear();
    if (m_run) {
        *m_run = nullptr; // tasks already posted find no runner
        m_run.reset();
    }
}

size_t DeviceCallGate::Waiting() const {
    std::lock_guard lock(m_mutex);
    return m_waiting.size();
}

bool DeviceCallGate::PostLocked(Entry entry) {
    // Never waits: the bus thread goes on while the call runs on the loop.
    return m_dispatcher->Post([run = m_run, entry = std::move(entry)]() mutable {
        if (*run) {
            (*run)(entry.first, std::move(entry.second));
        }
    });
}

} // namespace velkor
