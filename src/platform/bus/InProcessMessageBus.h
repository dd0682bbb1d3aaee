#pragma once
// An in-process stand-in for the session bus, for tests: several
// InProcessMessageBus endpoints share one InProcessBus, one of them can own
// the program's name, the others send to it and watch its broadcasts.
//
// Delivery is synchronous: a handler runs on the thread that called Send() or
// Broadcast(), before that call returns, and without any lock of the bus held
// (so a handler may send or broadcast itself). The rules of BusMessage.h are
// checked exactly as on D-Bus. Post delivers like Send (there is no write
// queue to fill, so it is never Busy). Name watches are told on the thread
// that claimed or gave up the name.
#include "platform/bus/MessageBus.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velkor {

class InProcessMessageBus;

class InProcessBus {
public:
    InProcessBus() = default;
    InProcessBus(const InProcessBus&) = delete;
    InProcessBus& operator=(const InProcessBus&) = delete;

    // While unavailable, every endpoint behaves as without a session bus:
    // Claim says NoBus, Send NoBus, Broadcast and WatchBroadcasts fail.
    void SetAvailable(bool available);

private:
    friend class InProcessMessageBus;

    std::mutex m_mutex;
    std::condition_variable m_idle; // a delivery ended
    bool m_available = true;
    uint64_t m_nextEndpoint = 1;
    InProcessMessageBus* m_owner = nullptr;
    std::vector<InProcessMessageBus*> m_watchers;
    struct NameWatch {
        InProcessMessageBus* endpoint;
        std::string name;
        NameHandler handler;
    };
    std::map<std::string, InProcessMessageBus*> m_names; // the further names and their owners
    std::vector<NameWatch> m_nameWatches;
};

class InProcessMessageBus final : public MessageBus {
public:
    explicit InProcessMessageBus(std::shared_ptr<InProcessBus> bus);
    ~InProcessMessageBus() override;
    InProcessMessageBus(const InProcessMessageBus&) = delete;
    InProcessMessageBus& operator=(const InProcessMessageBus&) = delete;

    BusClaim Claim(BusHandler handler) override;
    BusSendResult Send(const BusMessage& message) override;
    BusSendResult Post(const BusMessage& message) override;
    bool Broadcast(const BusMessage& message) override;
    bool WatchBroadcasts(BusHandler handler) override;
    BusClaim ClaimName(const std::string& name) override;
    int WatchName(const std::string& name, NameHandler handler) override;
    void Close() override;
    bool IsOwner() const override;
    std::string LastError() const override;

    // This endpoint's name, given to the messages it sends (":in.1", ":in.2", ...).
    const std::string& Name() const { return m_name; }

private:
    // Runs `handler` for `target` on this thread with the bus unlocked; `lock` holds the bus mutex.
    void Deliver(std::unique_lock<std::mutex>& lock, InProcessMessageBus& target, const BusHandler& handler,
                 BusMessage message);
    void SetError(std::string error);
    // Tells the watchers of `name` its new state; `lock` holds the bus mutex and is released meanwhile.
    void NotifyName(std::unique_lock<std::mutex>& lock, const std::string& name, bool owned);

    std::shared_ptr<InProcessBus> m_bus;
    std::string m_name;
    // Guarded by the bus mutex.
    BusHandler m_handler;
    BusHandler m_watchHandler;
    bool m_closed = false;
    std::vector<std::thread::id> m_delivering; // threads running one of this endpoint's handlers
    std::string m_lastError;
};

} // namespace velkor
