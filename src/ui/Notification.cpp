#include "ui/Notification.h"

#include <algorithm>

namespace velkor::ui {

void NotifierList::Add(NotifyReceiver& receiver) {
    if (!Holds(&receiver)) {
        m_receivers.push_back(&receiver);
    }
}

void NotifierList::Remove(NotifyReceiver& receiver) {
    std::erase(m_receivers, &receiver);
}

bool NotifierList::Holds(const NotifyReceiver* receiver) const {
    return std::find(m_receivers.begin(), m_receivers.end(), receiver) != m_receivers.end();
}

void NotifierList::Deliver(NotifyReceiver* handler, const Notification& notification,
                           const std::weak_ptr<int>& alive) const {
    if (handler != nullptr) {
        handler->Notify(notification);
    }
    // `this` belongs to the window: once it is gone nothing of it may be read.
    if (alive.expired()) {
        return;
    }
    const std::vector<NotifyReceiver*> receivers = m_receivers;
    for (NotifyReceiver* receiver : receivers) {
        if (alive.expired()) {
            return;
        }
        if (Holds(receiver)) {
            receiver->Notify(notification);
        }
    }
}

} // namespace velkor::ui
