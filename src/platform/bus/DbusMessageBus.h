#pragma once
// MessageBus on D-Bus (sd-bus): the program's well-known name kBusName on the
// session bus is the single-instance lock; its object kBusObjectPath carries
// the interface kBusInterface, whose methods are the messages sent to the
// program and whose signals are its broadcasts
// (packaging/dbus/org.velkor.VELKOR01.xml).
//
// Threads: the owner and every watcher get a bus thread of their own, started
// by Claim() or WatchBroadcasts(). Handlers run on that thread, one message at
// a time, in the order the messages arrived; the main window hands them on to
// its user-interface thread. A method call is answered only after the handler
// has returned, so a sender that sees Delivered knows the message was taken.
// Send() and Broadcast() may be called from any thread, a handler included.
//
// Bad input from other programs never reaches a handler: unknown methods and
// wrong argument types are answered by sd-bus with UnknownMethod and
// InvalidArgs; copy-data with an id that is not accepted, without bytes or
// with more bytes than its id allows is answered with InvalidArgs before a
// single byte is copied.
#include "platform/bus/MessageBus.h"

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct sd_bus;
struct sd_bus_slot;
struct sd_bus_message;

namespace velkor {

class DbusMessageBus final : public MessageBus {
public:
    // `address` is a D-Bus address ("unix:path=/run/user/1000/bus"); empty
    // means the session bus of this login ($DBUS_SESSION_BUS_ADDRESS, else
    // $XDG_RUNTIME_DIR/bus). Nothing is connected until the first operation;
    // a failed connection is not retried.
    explicit DbusMessageBus(std::string address = {});
    ~DbusMessageBus() override;
    DbusMessageBus(const DbusMessageBus&) = delete;
    DbusMessageBus& operator=(const DbusMessageBus&) = delete;

    BusClaim Claim(BusHandler handler) override;
    BusSendResult Send(const BusMessage& message) override;
    // Queues the call with no answer expected (sd_bus_send); what the socket
    // does not take at once is written by the bus thread, which Post starts.
    BusSendResult Post(const BusMessage& message) override;
    bool Broadcast(const BusMessage& message) override;
    bool WatchBroadcasts(BusHandler handler) override;
    BusClaim ClaimName(const std::string& name) override;
    // Watches NameOwnerChanged of `name` through the bus daemon; the handler
    // runs on the bus thread.
    int WatchName(const std::string& name, NameHandler handler) override;
    void Close() override;
    bool IsOwner() const override;
    std::string LastError() const override;

    // Whether Send() asks the bus to start the program through its service
    // file (share/dbus-1/services) when it is not running, and waits up to
    // 25 s for it to take the message. Off by default: the program itself
    // must learn that no instance runs rather than start one; velkorctl turns
    // it on. Call before the first Send().
    void SetStartProgram(bool start) { m_startProgram = start; }

    // This connection's unique bus name (":1.42"); empty before connecting.
    std::string UniqueName() const;

    // Lets another part of the program serve more members on this connection
    // (DeviceBusService): runs `use` with the connection (connecting first, so
    // that members can be exported before Claim requests the name) while
    // nothing else uses it, then wakes the bus thread so that whatever `use`
    // queued goes out. False (`use` not run) when no connection can be made or it is closed.
    // Callbacks that `use` registers run on the bus thread with the lock held:
    // they must not call this again.
    bool WithConnection(const std::function<void(sd_bus* bus)>& use);
    // From such a callback only (anything slow goes here): runs `work` on the
    // bus thread once the lock is released (it may then call WithConnection),
    // in the order the messages came, before the thread waits again.
    void Defer(std::function<void()> work);

private:
    struct Pending {
        BusMessage message;
        sd_bus_message* call = nullptr; // the method call to answer once delivered
        bool broadcast = false;         // for the watch handler rather than the owner's
        std::function<void()> notify;   // a name watch's report instead of a message
    };
    struct NameWatch {
        DbusMessageBus* self = nullptr;
        std::string name;
        NameHandler handler;
        sd_bus_slot* slot = nullptr;
    };

    bool ConnectLocked();
    bool StartThreadLocked();
    void Wake();
    void Loop();
    // Runs the handlers outside the lock, then answers the calls.
    void DeliverAll(std::vector<Pending>& ready, const BusHandler& handler, const BusHandler& watcher);
    // A message of the owner to itself (m_mutex held).
    BusSendResult DeliverToSelfLocked(const BusMessage& message);
    std::optional<BusSendResult> SettleLocally(const BusMessage& message);
    void TearDown();
    friend struct DbusCallbacks; // the sd-bus callbacks, which fill m_pending

    const std::string m_address;
    mutable std::mutex m_mutex; // every use of m_bus and of the members below
    sd_bus* m_bus = nullptr;
    sd_bus_slot* m_objectSlot = nullptr;
    sd_bus_slot* m_matchSlot = nullptr;
    bool m_connectTried = false;
    bool m_owner = false;
    std::atomic<bool> m_startProgram{false};
    bool m_closed = false;
    std::string m_lastError;
    BusHandler m_handler;
    BusHandler m_watchHandler;
    std::vector<Pending> m_pending;     // filled by the sd-bus callbacks, emptied by the bus thread
    std::list<NameWatch> m_nameWatches; // stable addresses: sd-bus holds pointers to them
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    int m_wakeFd = -1; // eventfd: the bus thread's poll also waits on it
};

} // namespace velkor
