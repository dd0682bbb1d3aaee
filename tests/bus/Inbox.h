#pragma once
// Collects the messages a handler receives, from whatever thread it runs on.
#include "platform/bus/MessageBus.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace velkor::test {

class Inbox {
public:
    BusHandler Handler() {
        return [this](BusMessage message) {
            std::lock_guard lock(m_mutex);
            m_messages.push_back(std::move(message));
            m_arrived.notify_all();
        };
    }

    // Waits until `count` messages are in. The limit only keeps a broken
    // build from hanging the suite; nothing depends on how fast they come.
    bool WaitFor(size_t count) {
        std::unique_lock lock(m_mutex);
        return m_arrived.wait_for(lock, std::chrono::seconds(30), [&] { return m_messages.size() >= count; });
    }

    std::vector<BusMessage> Messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

    size_t Count() {
        std::lock_guard lock(m_mutex);
        return m_messages.size();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<BusMessage> m_messages;
};

} // namespace velkor::test
