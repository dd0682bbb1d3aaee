#pragma once
// DeviceBusService: the device API's members of the program's interface
// (kBusInterface on kBusObjectPath), served on the connection of the
// DbusMessageBus that owns the program's name: the methods ListDevices,
// GetSettings and the setters, and the signals DeviceAdded, DeviceRemoved and
// SettingsChanged.
//
// A call is read and checked on the bus thread, without the connection's
// lock, so that replies and signals never wait for a big call. Wrong types,
// and anything beyond what a call may carry (ids of 64 bytes, names of 1024,
// dictionaries within kCallDictLimits), are answered with
// org.velkor.VELKOR01.Error.InvalidArgs at once; reading stops at the first
// item too many, so a huge call costs no more than a small one. Then the call
// goes to the handler, which must not block: it answers at once or hands the
// call on (to the user-interface thread) and answers it later through the
// reply function, from any thread, exactly once. The bus thread never waits
// for a device: the answer goes out when the reply function is called. An
// error reply carries the status's name (DeviceCallErrorName) and the message.
#include "platform/bus/DeviceBusTypes.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

struct sd_bus_slot;
struct sd_bus_message;

namespace velkor {

class DbusMessageBus;

class DeviceBusService {
public:
    using ReplyFn = std::function<void(DeviceReply reply)>;
    // Runs on the bus thread (not holding the connection's lock: it may reply
    // at once). False: the call could not be taken (the service answers
    // Failed); `reply` must then not be called.
    using Handler = std::function<bool(DeviceCall call, ReplyFn reply)>;

    // The bus must outlive the service and be closed only after Stop.
    explicit DeviceBusService(DbusMessageBus& bus);
    ~DeviceBusService();
    DeviceBusService(const DeviceBusService&) = delete;
    DeviceBusService& operator=(const DeviceBusService&) = delete;

    // Serves the members from now on. Call it before the bus claims the
    // program's name, so that no caller finds the name without them. False
    // when the bus has no connection or sd-bus refuses the members.
    bool Start(Handler handler);
    // Stops serving: calls not answered yet get Failed; later replies are
    // dropped; returns once no handler runs. Idempotent. Must not be called
    // from the handler.
    void Stop();

    // The signals; false when not serving or the bus refused. Any thread
    // (not the handler).
    bool EmitDeviceAdded(const std::string& id);
    bool EmitDeviceRemoved(const std::string& id);
    bool EmitSettingsChanged(const std::string& id, const BusDict& changed);

    // Calls taken and not answered yet.
    size_t PendingCount() const;

    // What the callbacks and the reply functions share (DeviceBusService.cpp).
    struct State;

private:
    DbusMessageBus& m_bus;
    std::shared_ptr<State> m_state;
};

} // namespace velkor
