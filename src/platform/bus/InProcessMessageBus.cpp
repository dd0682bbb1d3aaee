#include "platform/bus/InProcessMessageBus.h"

#include <algorithm>
#include <utility>

namespace velkor {

void InProcessBus::SetAvailable(bool available) {
    std::lock_guard lock(m_mutex);
    m_available = available;
}

InProcessMessageBus::InProcessMessageBus(std::shared_ptr<InProcessBus> bus) : m_bus(std::move(bus)) {
    std::lock_guard lock(m_bus->m_mutex);
    m_name = ":in." + std::to_string(m_bus->m_nextEndpoint++);
}

InProcessMessageBus::~InProcessMessageBus() {
    Close();
}

void InProcessMessageBus::SetError(std::string error) {
    m_lastError = std::move(error);
}

BusClaim InProcessMessageBus::Claim(BusHandler handler) {
    std::unique_lock lock(m_bus->m_mutex);
    if (m_closed) {
        SetError("the bus endpoint is closed");
        return BusClaim::NoBus;
    }
    if (!m_bus->m_available) {
        SetError("the in-process bus is not available");
        return BusClaim::NoBus;
    }
    if (m_bus->m_owner == this) {
        return BusClaim::Owner;
    }
    if (m_bus->m_owner != nullptr) {
        SetError(std::string(kBusName) + " is owned by " + m_bus->m_owner->m_name);
        return BusClaim::OtherInstance;
    }
    m_handler = std::move(handler);
    m_bus->m_owner = this;
    NotifyName(lock, kBusName, true);
    return BusClaim::Owner;
}

void InProcessMessageBus::NotifyName(std::unique_lock<std::mutex>& lock, const std::string& name,
                                     bool owned) {
    std::vector<NameHandler> handlers;
    for (const InProcessBus::NameWatch& watch : m_bus->m_nameWatches) {
        if (watch.name == name && watch.handler) {
            handlers.push_back(watch.handler);
        }
    }
    lock.unlock();
    for (const NameHandler& handler : handlers) {
        handler(owned);
    }
    lock.lock();
}

BusClaim InProcessMessageBus::ClaimName(const std::string& name) {
    std::unique_lock lock(m_bus->m_mutex);
    if (m_closed || !m_bus->m_available) {
        SetError("the in-process bus is not available");
        return BusClaim::NoBus;
    }
    if (name.empty() || name == kBusName) {
        SetError("ClaimName does not take \"" + name + "\"");
        return BusClaim::NoBus;
    }
    auto [it, added] = m_bus->m_names.try_emplace(name, this);
    if (it->second != this) {
        SetError(name + " is owned by " + it->second->m_name);
        return BusClaim::OtherInstance;
    }
    if (added) {
        NotifyName(lock, name, true);
    }
    return BusClaim::Owner;
}

int InProcessMessageBus::WatchName(const std::string& name, NameHandler handler) {
    std::lock_guard lock(m_bus->m_mutex);
    if (m_closed || !m_bus->m_available) {
        SetError("the in-process bus is not available");
        return -1;
    }
    auto& watches = m_bus->m_nameWatches;
    auto it = std::find_if(watches.begin(), watches.end(), [&](const InProcessBus::NameWatch& w) {
        return w.endpoint == this && w.name == name;
    });
    if (it == watches.end()) {
        watches.push_back({this, name, std::move(handler)});
    } else {
        it->handler = std::move(handler);
    }
    if (name == kBusName) {
        return m_bus->m_owner != nullptr ? 1 : 0;
    }
    return m_bus->m_names.contains(name) ? 1 : 0;
}

BusSendResult InProcessMessageBus::Post(const BusMessage& message) {
    return Send(message);
}

void InProcessMessageBus::Deliver(std::unique_lock<std::mutex>& lock, InProcessMessageBus& target,
                                  const BusHandler& handler, BusMessage message) {
    // The target cannot finish Close() while this thread is listed in its m_delivering.
    target.m_delivering.push_back(std::this_thread::get_id());
    const BusHandler call = handler;
    lock.unlock();
    message.sender = m_name;
    if (call) {
        call(std::move(message));
    }
    lock.lock();
    auto it = std::find(target.m_delivering.begin(), target.m_delivering.end(), std::this_thread::get_id());
    target.m_delivering.erase(it);
    m_bus->m_idle.notify_all();
}

BusSendResult InProcessMessageBus::Send(const BusMessage& message) {
    std::string why;
    if (!CheckSendable(message, why)) {
        return {BusSendStatus::Refused, why};
    }
    std::unique_lock lock(m_bus->m_mutex);
    if (m_closed) {
        return {BusSendStatus::NoBus, "the bus endpoint is closed"};
    }
    if (!m_bus->m_available) {
        return {BusSendStatus::NoBus, "the in-process bus is not available"};
    }
    InProcessMessageBus* owner = m_bus->m_owner;
    if (owner == nullptr) {
        return {BusSendStatus::NoInstance, std::string(kBusName) + " has no owner"};
    }
    Deliver(lock, *owner, owner->m_handler, message);
    return {BusSendStatus::Delivered, {}};
}

bool InProcessMessageBus::Broadcast(const BusMessage& message) {
    std::string why;
    if (!ValidateBusMessage(message, why)) {
        std::lock_guard lock(m_bus->m_mutex);
        SetError(why);
        return false;
    }
    std::unique_lock lock(m_bus->m_mutex);
    if (!BusMessageInfoOf(message.kind).broadcast) {
        SetError(std::string(BusMessageInfoOf(message.kind).member) + " is not a broadcast");
        return false;
    }
    if (m_closed || !m_bus->m_available || m_bus->m_owner != this) {
        SetError("only the owner of " + std::string(kBusName) + " broadcasts");
        return false;
    }
    // Handlers may watch or close others while this runs; deliver to those still there.
    const std::vector<InProcessMessageBus*> watchers = m_bus->m_watchers;
    for (InProcessMessageBus* watcher : watchers) {
        if (std::find(m_bus->m_watchers.begin(), m_bus->m_watchers.end(), watcher) !=
            m_bus->m_watchers.end()) {
            Deliver(lock, *watcher, watcher->m_watchHandler, message);
        }
    }
    return true;
}

bool InProcessMessageBus::WatchBroadcasts(BusHandler handler) {
    std::lock_guard lock(m_bus->m_mutex);
    if (m_closed || !m_bus->m_available) {
        SetError("the in-process bus is not available");
        return false;
    }
    m_watchHandler = std::move(handler);
    if (std::find(m_bus->m_watchers.begin(), m_bus->m_watchers.end(), this) == m_bus->m_watchers.end()) {
        m_bus->m_watchers.push_back(this);
    }
    return true;
}

void InProcessMessageBus::Close() {
    std::unique_lock lock(m_bus->m_mutex);
    m_closed = true;
    std::erase_if(m_bus->m_nameWatches, [&](const InProcessBus::NameWatch& w) { return w.endpoint == this; });
    std::vector<std::string> lost;
    if (m_bus->m_owner == this) {
        m_bus->m_owner = nullptr;
        lost.push_back(kBusName);
    }
    for (auto it = m_bus->m_names.begin(); it != m_bus->m_names.end();) {
        if (it->second == this) {
            lost.push_back(it->first);
            it = m_bus->m_names.erase(it);
        } else {
            ++it;
        }
    }
    for (const std::string& name : lost) {
        NotifyName(lock, name, false);
    }
    std::erase(m_bus->m_watchers, this);
    // Wait for deliveries on other threads; one on this thread (a handler closing) cannot be waited for.
    const std::thread::id self = std::this_thread::get_id();
    m_bus->m_idle.wait(lock, [&] {
        return std::all_of(m_delivering.begin(), m_delivering.end(),
                           [&](std::thread::id id) { return id == self; });
    });
    m_handler = nullptr;
    m_watchHandler = nullptr;
}

bool InProcessMessageBus::IsOwner() const {
    std::lock_guard lock(m_bus->m_mutex);
    return m_bus->m_owner == this;
}

std::string InProcessMessageBus::LastError() const {
    std::lock_guard lock(m_bus->m_mutex);
    return m_lastError;
}

} // namespace velkor
