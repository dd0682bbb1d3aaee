#include "app/BusInbox.h"

namespace velkor {

BusInbox::BusInbox(size_t capacity, size_t copyDataCapacity)
    : m_capacity(capacity), m_copyDataCapacity(copyDataCapacity) {}

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

void BusInbox::PostDrainLocked(const std::shared_ptr<State>& state) {
    state->drainPosted = true;
    const bool posted = state->dispatcher->Post([state] {
        size_t count = 0;
        {
            std::lock_guard lock(state->mutex);
            count = state->copyData.size();
        }
        // Only those here now: a steady stream must not keep the loop in this task.
        for (size_t i = 0; i < count; ++i) {
            BusMessage message;
            Receiver receiver;
            {
                std::lock_guard lock(state->mutex);
                if (state->detached || state->copyData.empty()) {
                    return;
                }
                message = std::move(state->copyData.front());
                state->copyData.pop_front();
                receiver = state->receiver;
            }
            receiver(message);
        }
        std::lock_guard lock(state->mutex);
        state->drainPosted = false;
        if (!state->detached && !state->copyData.empty()) {
            PostDrainLocked(state);
        }
    });
    if (!posted) {
        state->drainPosted = false;
        state->dropped += state->copyData.size();
        state->copyData.clear();
    }
}

void BusInbox::Receive(BusMessage message) {
    std::lock_guard lock(m_state->mutex);
    if (m_state->detached) {
        ++m_state->dropped;
        return;
    }
    if (message.kind == BusMessageKind::CopyData) {
        if (m_copyDataCapacity == 0) {
            ++m_state->dropped;
            return;
        }
        if (m_state->copyData.size() >= m_copyDataCapacity) {
            m_state->copyData.pop_front();
            ++m_state->dropped;
        }
        m_state->copyData.push_back(std::move(message));
        if (m_state->dispatcher != nullptr && !m_state->drainPosted) {
            PostDrainLocked(m_state);
        }
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
    if (!m_state->copyData.empty()) {
        PostDrainLocked(m_state);
    }
}

void BusInbox::Detach() {
    std::lock_guard lock(m_state->mutex);
    if (m_state->detached) {
        return;
    }
    m_state->detached = true;
    m_state->dropped += m_state->waiting.size() + m_state->inFlight + m_state->copyData.size();
    m_state->waiting.clear();
    m_state->copyData.clear();
    m_state->dispatcher = nullptr;
    m_state->receiver = nullptr;
}

size_t BusInbox::DroppedCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->dropped;
}

} // namespace velkor
