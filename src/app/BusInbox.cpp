#include "app/BusInbox.h"

namespace velkor {

BusInbox::BusInbox(size_t capacity) : m_capacity(capacity) {}

BusInbox::~BusInbox() {
    Detach();
}

void BusInbox::PostLocked(const std::shared_ptr<State>& state, BusMessage message) {
    ++state->inFlight;
    const bool posted = state->dispatcher->Post([state, message = std::move(message)] {
        Receiver receiver;
        {
            std::lock_guard lock(state->mutex);
            --state->inFlight;
            if (state->detached) {
                return;
            }
            receiver = state->receiver;
        }
        // Outside the lock: the receiver may open a modal box that runs the loop.
        receiver(message);
    });
    if (!posted) {
        --state->inFlight;
        ++state->dropped;
    }
}

void BusInbox::Receive(BusMessage message) {
    std::lock_guard lock(m_state->mutex);
    if (m_state->detached) {
        ++m_state->dropped;
        return;
    }
    if (m_state->waiting.size() + m_state->inFlight >= m_capacity) {
        ++m_state->dropped;
        return;
    }
    if (m_state->dispatcher == nullptr) {
        m_state->waiting.push_back(std::move(message));
        return;
    }
    PostLocked(m_state, std::move(message));
}

void BusInbox::Attach(ui::Dispatcher& dispatcher, Receiver receiver) {
    std::lock_guard lock(m_state->mutex);
    if (m_state->detached || m_state->dispatcher != nullptr || !receiver) {
        return;
    }
    m_state->dispatcher = &dispatcher;
    m_state->receiver = std::move(receiver);
    // Posted under the lock, so that a message arriving meanwhile comes after these.
    std::deque<BusMessage> waiting;
    waiting.swap(m_state->waiting);
    for (BusMessage& message : waiting) {
        PostLocked(m_state, std::move(message));
    }
}

void BusInbox::Detach() {
    std::lock_guard lock(m_state->mutex);
    if (m_state->detached) {
        return;
    }
    m_state->detached = true;
    m_state->dropped += m_state->waiting.size() + m_state->inFlight;
    m_state->waiting.clear();
    m_state->dispatcher = nullptr;
    m_state->receiver = nullptr;
}

size_t BusInbox::DroppedCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->dropped;
}

} // namespace velkor
