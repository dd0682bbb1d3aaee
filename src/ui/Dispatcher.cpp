#include "ui/Dispatcher.h"

namespace velkor::ui {

namespace {
constexpr int kWaiting = 0;
constexpr int kRan = 1;
constexpr int kDropped = 2;
} // namespace

Dispatcher::Dispatcher(std::function<void()> wake)
    : m_uiThread(std::this_thread::get_id()), m_wake(std::move(wake)) {}

Dispatcher::~Dispatcher() {
    BeginShutdown();
}

bool Dispatcher::Post(Task task) {
    if (!task) {
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_shuttingDown) {
            return false;
        }
        m_queue.push_back(Pending{std::move(task), nullptr});
    }
    if (m_wake) {
        m_wake();
    }
    return true;
}

bool Dispatcher::Send(Task task) {
    if (!task) {
        return false;
    }
    if (IsUiThread()) {
        if (IsShuttingDown()) {
            return false;
        }
        task();
        return true;
    }
    auto state = std::make_shared<int>(kWaiting);
    {
        std::lock_guard lock(m_mutex);
        if (m_shuttingDown) {
            return false;
        }
        m_queue.push_back(Pending{std::move(task), state});
    }
    if (m_wake) {
        m_wake();
    }
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return *state != kWaiting; });
    return *state == kRan;
}

int Dispatcher::ProcessPending() {
    if (!IsUiThread()) {
        return 0;
    }
    size_t budget = 0;
    {
        std::lock_guard lock(m_mutex);
        budget = m_queue.size();
    }
    int ran = 0;
    // Only what was queued before the call: a task that queues another one
    // does not keep this call going for ever.
    for (; budget > 0; --budget) {
        Pending next;
        {
            std::lock_guard lock(m_mutex);
            if (m_shuttingDown || m_queue.empty()) {
                break;
            }
            next = std::move(m_queue.front());
            m_queue.pop_front();
        }
        next.task();
        ++ran;
        if (next.sendState) {
            {
                std::lock_guard lock(m_mutex);
                *next.sendState = kRan;
            }
            m_done.notify_all();
        }
    }
    return ran;
}

void Dispatcher::BeginShutdown() {
    std::deque<Pending> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_shuttingDown = true;
        dropped.swap(m_queue);
        for (Pending& pending : dropped) {
            if (pending.sendState) {
                *pending.sendState = kDropped;
            }
        }
    }
    m_done.notify_all();
    // `dropped` is destroyed here, outside the lock: a task's captures may have
    // destructors of their own.
}

bool Dispatcher::IsShuttingDown() const {
    std::lock_guard lock(m_mutex);
    return m_shuttingDown;
}

size_t Dispatcher::PendingCount() const {
    std::lock_guard lock(m_mutex);
    return m_queue.size();
}

} // namespace velkor::ui
