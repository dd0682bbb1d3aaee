#pragma once
// DeviceBusClient: calls the running program's device API and watches its
// signals (velkorctl, tests). One connection of its own, used from one thread.
#include "platform/bus/DeviceBusTypes.h"

#include <functional>
#include <string>
#include <vector>

struct sd_bus;
struct sd_bus_message;
struct sd_bus_slot;

namespace velkor {

struct DeviceSignal {
    std::string member; // "DeviceAdded", "DeviceRemoved" or "SettingsChanged"
    std::string id;
    BusDict changed; // SettingsChanged only
};

class DeviceBusClient {
public:
    // `address` as for DbusMessageBus: empty is the session bus of this login.
    explicit DeviceBusClient(std::string address = {});
    ~DeviceBusClient();
    DeviceBusClient(const DeviceBusClient&) = delete;
    DeviceBusClient& operator=(const DeviceBusClient&) = delete;

    // Calls the method (waiting at most `timeoutMs` for the answer). The
    // reply's status is Ok, one of the program's named errors, NotRunning
    // (nobody owns the name, or no bus: see message), InvalidArgs for the
    // bus's own argument check, or Failed (time-out, lost connection).
    DeviceReply Call(const DeviceCall& call, int timeoutMs = 25000);

    // Subscribes to the program's device signals. False with the reason.
    bool Subscribe(std::string& why);
    // Waits up to `timeoutMs` (-1: for ever) and hands every signal that
    // arrives to `onSignal` until it returns false. False when the wait ran
    // out or the connection failed; true when onSignal ended it.
    bool WaitSignals(const std::function<bool(const DeviceSignal&)>& onSignal, int timeoutMs);

private:
    bool Connect(std::string& why);
    friend struct DeviceClientCallbacks; // fills m_received

    std::string m_address;
    sd_bus* m_bus = nullptr;
    sd_bus_slot* m_match = nullptr;
    std::vector<DeviceSignal> m_received;
};

} // namespace velkor
