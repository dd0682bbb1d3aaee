#include "platform/bus/DeviceBusService.h"

#include "platform/Trace.h"
#include "platform/bus/BusMessage.h"
#include "platform/bus/BusValueCodec.h"
#include "platform/bus/DbusMessageBus.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <systemd/sd-bus.h>

namespace velkor {

struct DeviceBusService::State {
    std::mutex mutex; // taken inside the bus's lock, never around it
    Handler handler;
    std::map<uint64_t, sd_bus_message*> pending; // the calls to answer, referenced
    uint64_t nextToken = 1;
    sd_bus_slot* slot = nullptr;
    sd_bus_slot* checkSlot = nullptr; // the argument types, before the members
    bool serving = false;
    // Handlers running now (outside the bus's lock): Stop waits for them.
    int running = 0;
    std::condition_variable ended;
    DbusMessageBus* bus = nullptr;
    std::weak_ptr<State> self;
};

namespace {

int AppendReply(sd_bus_message* reply, DeviceMethod method, const DeviceReply& answer) {
    if (method == DeviceMethod::ListDevices) {
        return AppendDeviceList(reply, answer.devices);
    }
    if (method == DeviceMethod::GetSettings || method == DeviceMethod::SdkStatus) {
        return AppendBusDict(reply, answer.settings);
    }
    return 0;
}

// Sends the answer to `call` (with the connection's lock held).
void SendAnswer(sd_bus_message* call, DeviceMethod method, const DeviceReply& answer) {
    if (answer.status != DeviceCallStatus::Ok) {
        sd_bus_reply_method_errorf(call, DeviceCallErrorName(answer.status), "%s", answer.message.c_str());
        return;
    }
    sd_bus_message* reply = nullptr;
    int r = sd_bus_message_new_method_return(call, &reply);
    if (r >= 0) {
        r = AppendReply(reply, method, answer);
    }
    if (r >= 0) {
        r = sd_bus_send(nullptr, reply, nullptr);
    }
    sd_bus_message_unref(reply);
    if (r < 0) {
        TraceF("bus: cannot answer %s: %s", DeviceMethodName(method), std::strerror(-r));
        sd_bus_reply_method_errorf(call, DeviceCallErrorName(DeviceCallStatus::Failed),
                                   "the answer cannot be sent");
    }
}

// Device ids are a kind word and a product ID ("keyboard-50b7").
constexpr size_t kMaxIdBytes = 64;

std::optional<DeviceMethod> MethodOf(const char* member) {
    for (int m = int(DeviceMethod::ListDevices); m <= int(DeviceMethod::SdkStatus); ++m) {
        if (member != nullptr && std::strcmp(member, DeviceMethodName(DeviceMethod(m))) == 0) {
            return DeviceMethod(m);
        }
    }
    return std::nullopt;
}

// Reads the arguments of `method` (sd-bus has checked the signature already).
bool ReadCall(sd_bus_message* m, DeviceMethod method, DeviceCall& call, std::string& why) {
    call.method = method;
    const char* id = nullptr;
    const char* name = nullptr;
    uint32_t rgb = 0;
    int r = 1;
    switch (method) {
    case DeviceMethod::ListDevices:
    case DeviceMethod::SdkStatus:
        return true;
    case DeviceMethod::GetSettings:
        r = sd_bus_message_read(m, "s", &id);
        break;
    case DeviceMethod::SelectProfile:
        r = sd_bus_message_read(m, "ss", &id, &name);
        break;
    case DeviceMethod::SetLighting:
    case DeviceMethod::SetEqualiser:
        r = sd_bus_message_read(m, "s", &id);
        if (r > 0 && !ReadBusDict(m, call.fields, why, kCallDictLimits)) {
            return false;
        }
        break;
    case DeviceMethod::SetKeyColour:
        r = sd_bus_message_read(m, "siu", &id, &call.first, &rgb);
        call.second = int32_t(rgb & 0xFFFFFFu);
        if (r > 0 && rgb > 0xFFFFFFu) {
            why = "rgb must be 0xRRGGBB (at most 0xffffff)";
            return false;
        }
        break;
    case DeviceMethod::SetDpiStage:
        r = sd_bus_message_read(m, "sii", &id, &call.first, &call.second);
        break;
    case DeviceMethod::SetActiveStage:
    case DeviceMethod::SetReportRate:
        r = sd_bus_message_read(m, "si", &id, &call.first);
        break;
    case DeviceMethod::SetOption:
        r = sd_bus_message_read(m, "ssi", &id, &name, &call.first);
        break;
    }
    if (r <= 0) {
        why = "the arguments cannot be read";
        return false;
    }
    call.id = id != nullptr ? id : "";
    call.name = name != nullptr ? name : "";
    if (call.id.size() > kMaxIdBytes || call.name.size() > kCallDictLimits.textBytes) {
        why = call.id.size() > kMaxIdBytes
                  ? "id holds more than " + std::to_string(kMaxIdBytes) + " bytes"
                  : "name holds more than " + std::to_string(kCallDictLimits.textBytes) + " bytes";
        return false;
    }
    return true;
}

} // namespace

namespace {

// The arguments each method takes (as in Vtable()).
const char* InputSignature(DeviceMethod method) {
    switch (method) {
    case DeviceMethod::ListDevices:
    case DeviceMethod::SdkStatus:
        return "";
    case DeviceMethod::GetSettings:
        return "s";
    case DeviceMethod::SelectProfile:
        return "ss";
    case DeviceMethod::SetLighting:
    case DeviceMethod::SetEqualiser:
        return "sa{sv}";
    case DeviceMethod::SetKeyColour:
        return "siu";
    case DeviceMethod::SetDpiStage:
        return "sii";
    case DeviceMethod::SetActiveStage:
    case DeviceMethod::SetReportRate:
        return "si";
    case DeviceMethod::SetOption:
        return "ssi";
    }
    return "";
}

} // namespace

struct DeviceServiceCallbacks {
    static int OnCall(sd_bus_message* m, void* userdata, sd_bus_error* error);
    static void TakeCall(DbusMessageBus& bus, const std::shared_ptr<DeviceBusService::State>& state,
                         DeviceMethod method, sd_bus_message* m);
    static int CheckSignature(sd_bus_message* m, void* userdata, sd_bus_error* error);
    static const sd_bus_vtable* Vtable();
};

// Runs before the members' table: arguments of the wrong types get our named
// error instead of the bus library's generic one.
int DeviceServiceCallbacks::CheckSignature(sd_bus_message* m, void*, sd_bus_error* error) {
    if (!sd_bus_message_is_method_call(m, kBusInterface, nullptr)) {
        return 0;
    }
    const std::optional<DeviceMethod> method = MethodOf(sd_bus_message_get_member(m));
    if (!method || sd_bus_message_has_signature(m, InputSignature(*method))) {
        return 0;
    }
    const char* given = sd_bus_message_get_signature(m, 1);
    return sd_bus_error_setf(error, DeviceCallErrorName(DeviceCallStatus::InvalidArgs),
                             "%s takes (%s), not (%s)", DeviceMethodName(*method), InputSignature(*method),
                             given != nullptr ? given : "");
}

int DeviceServiceCallbacks::OnCall(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    auto* state = static_cast<DeviceBusService::State*>(userdata);
    const std::optional<DeviceMethod> method = MethodOf(sd_bus_message_get_member(m));
    if (!method) {
        return sd_bus_error_set(error, SD_BUS_ERROR_UNKNOWN_METHOD, "unknown method");
    }
    // Read once the connection's lock is released: however big the call, the
    // replies and signals of others never wait for its reading.
    DbusMessageBus* bus = state->bus;
    state->bus->Defer([bus, weak = state->self, kind = *method, m = sd_bus_message_ref(m)] {
        TakeCall(*bus, weak.lock(), kind, m);
    });
    return 1;
}

// The bus thread, without the connection's lock: `m` is this function's to
// read, and to answer and drop under the lock.
void DeviceServiceCallbacks::TakeCall(DbusMessageBus& bus,
                                      const std::shared_ptr<DeviceBusService::State>& state,
                                      DeviceMethod method, sd_bus_message* m) {
    DeviceCall call;
    std::string why;
    const bool read = ReadCall(m, method, call, why);
    if (read) {
        const char* sender = sd_bus_message_get_sender(m);
        call.sender = sender != nullptr ? sender : "";
    }
    DeviceBusService::Handler handler;
    uint64_t token = 0;
    // Runs: this is the bus thread, which closes the connection only after its last turn.
    bus.WithConnection([&](sd_bus*) {
        if (!read) {
            TraceF("bus: %s refused: %s", DeviceMethodName(method), why.c_str());
            sd_bus_reply_method_errorf(m, DeviceCallErrorName(DeviceCallStatus::InvalidArgs), "%s",
                                       why.c_str());
            sd_bus_message_unref(m);
            return;
        }
        std::unique_lock<std::mutex> lock;
        if (state) {
            lock = std::unique_lock(state->mutex);
        }
        if (!state || !state->serving || !state->handler) {
            sd_bus_reply_method_errorf(m, DeviceCallErrorName(DeviceCallStatus::Failed),
                                       "the program is stopping");
            sd_bus_message_unref(m);
            return;
        }
        handler = state->handler;
        ++state->running;
        token = state->nextToken++;
        state->pending[token] = m; // the reference moves to the call waiting for its answer
    });
    if (!handler) {
        return;
    }
    // Counted while it runs, so that nothing it uses is torn down under it.
    struct Running {
        DeviceBusService::State& state;
        ~Running() {
            std::lock_guard lock(state.mutex);
            --state.running;
            state.ended.notify_all();
        }
    } running{*state};
    // The reply finds its call by token, so a reply after Stop finds nothing.
    DeviceBusService::ReplyFn reply = [weak = state->self, token, method](DeviceReply answer) {
        const std::shared_ptr<DeviceBusService::State> alive = weak.lock();
        if (!alive) {
            return;
        }
        alive->bus->WithConnection([&](sd_bus*) {
            sd_bus_message* waiting = nullptr;
            {
                std::lock_guard lock(alive->mutex);
                const auto it = alive->pending.find(token);
                if (it == alive->pending.end()) {
                    return;
                }
                waiting = it->second;
                alive->pending.erase(it);
            }
            SendAnswer(waiting, method, answer);
            sd_bus_message_unref(waiting);
        });
    };
    if (!handler(std::move(call), reply)) {
        reply(DeviceReply::Error(DeviceCallStatus::Failed, "the program cannot take calls now"));
    }
}

const sd_bus_vtable* DeviceServiceCallbacks::Vtable() {
    // Keep in step with packaging/dbus/org.velkor.VELKOR01.xml (a test compares them).
    static const sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD_WITH_NAMES("ListDevices", "", , "a(ssssi)", SD_BUS_PARAM(devices), &OnCall,
                                 SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("GetSettings", "s", SD_BUS_PARAM(id), "a{sv}", SD_BUS_PARAM(settings),
                                 &OnCall, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("SelectProfile", "ss", SD_BUS_PARAM(id) SD_BUS_PARAM(name), "", , &OnCall,
                                 SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("SetLighting", "sa{sv}", SD_BUS_PARAM(id) SD_BUS_PARAM(fields), "", ,
                                 &OnCall, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("SetKeyColour", "siu", SD_BUS_PARAM(id) SD_BUS_PARAM(key) SD_BUS_PARAM(rgb),
                                 "", , &OnCall, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("SetDpiStage", "sii", SD_BUS_PARAM(id) SD_BUS_PARAM(stage) SD_BUS_PARAM(dpi),
                                 "", , &OnCall, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("SetActiveStage", "si", SD_BUS_PARAM(id) SD_BUS_PARAM(stage), "", , &OnCall,
                                 SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("SetReportRate", "si", SD_BUS_PARAM(id) SD_BUS_PARAM(hz), "", , &OnCall,
                                 SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("SetOption", "ssi", SD_BUS_PARAM(id) SD_BUS_PARAM(name) SD_BUS_PARAM(value),
                                 "", , &OnCall, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("SetEqualiser", "sa{sv}", SD_BUS_PARAM(id) SD_BUS_PARAM(fields), "", ,
                                 &OnCall, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("SdkStatus", "", , "a{sv}", SD_BUS_PARAM(status), &OnCall,
                                 SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL_WITH_NAMES("DeviceAdded", "s", SD_BUS_PARAM(id), 0),
        SD_BUS_SIGNAL_WITH_NAMES("DeviceRemoved", "s", SD_BUS_PARAM(id), 0),
        SD_BUS_SIGNAL_WITH_NAMES("SettingsChanged", "sa{sv}", SD_BUS_PARAM(id) SD_BUS_PARAM(changed), 0),
        SD_BUS_VTABLE_END};
    return vtable;
}

DeviceBusService::DeviceBusService(DbusMessageBus& bus) : m_bus(bus), m_state(std::make_shared<State>()) {
    m_state->bus = &bus;
    m_state->self = m_state;
}

DeviceBusService::~DeviceBusService() {
    Stop();
}

bool DeviceBusService::Start(Handler handler) {
    int r = -ENOTCONN;
    m_bus.WithConnection([&](sd_bus* bus) {
        std::lock_guard lock(m_state->mutex);
        m_state->handler = std::move(handler);
        r = 0;
        if (m_state->checkSlot == nullptr) {
            r = sd_bus_add_object(bus, &m_state->checkSlot, kBusObjectPath,
                                  &DeviceServiceCallbacks::CheckSignature, nullptr);
        }
        if (r >= 0 && m_state->slot == nullptr) {
            r = sd_bus_add_object_vtable(bus, &m_state->slot, kBusObjectPath, kBusInterface,
                                         DeviceServiceCallbacks::Vtable(), m_state.get());
        }
        m_state->serving = r >= 0;
    });
    if (r < 0) {
        TraceF("bus: the device API is not served: %s", std::strerror(-r));
    }
    return r >= 0;
}

void DeviceBusService::Stop() {
    m_bus.WithConnection([&](sd_bus*) {
        std::map<uint64_t, sd_bus_message*> pending;
        {
            std::lock_guard lock(m_state->mutex);
            m_state->serving = false;
            m_state->handler = nullptr;
            pending.swap(m_state->pending);
            m_state->slot = sd_bus_slot_unref(m_state->slot);
            m_state->checkSlot = sd_bus_slot_unref(m_state->checkSlot);
        }
        for (auto& [token, call] : pending) {
            sd_bus_reply_method_errorf(call, DeviceCallErrorName(DeviceCallStatus::Failed),
                                       "the program is shutting down");
            sd_bus_message_unref(call);
        }
    });
    // Without a connection nothing is pending that could still be answered.
    std::unique_lock lock(m_state->mutex);
    m_state->ended.wait(lock, [&] { return m_state->running == 0; });
    for (auto& [token, call] : m_state->pending) {
        sd_bus_message_unref(call);
    }
    m_state->pending.clear();
    m_state->serving = false;
    m_state->handler = nullptr;
}

size_t DeviceBusService::PendingCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->pending.size();
}

namespace {

// Builds and sends one signal; `append` adds its arguments.
bool EmitSignal(DbusMessageBus& bus, const std::shared_ptr<DeviceBusService::State>& state,
                const char* member, const std::function<int(sd_bus_message*)>& append) {
    if (!bus.IsOwner()) {
        return false;
    }
    int r = -ENOTCONN;
    bus.WithConnection([&](sd_bus* connection) {
        {
            std::lock_guard lock(state->mutex);
            if (!state->serving) {
                return;
            }
        }
        sd_bus_message* signal = nullptr;
        r = sd_bus_message_new_signal(connection, &signal, kBusObjectPath, kBusInterface, member);
        if (r >= 0) {
            r = append(signal);
        }
        if (r >= 0) {
            r = sd_bus_send(connection, signal, nullptr);
        }
        sd_bus_message_unref(signal);
    });
    if (r < 0) {
        TraceF("bus: %s not sent: %s", member, std::strerror(-r));
    }
    return r >= 0;
}

} // namespace

bool DeviceBusService::EmitDeviceAdded(const std::string& id) {
    return EmitSignal(m_bus, m_state, "DeviceAdded",
                      [&](sd_bus_message* m) { return sd_bus_message_append(m, "s", id.c_str()); });
}

bool DeviceBusService::EmitDeviceRemoved(const std::string& id) {
    return EmitSignal(m_bus, m_state, "DeviceRemoved",
                      [&](sd_bus_message* m) { return sd_bus_message_append(m, "s", id.c_str()); });
}

bool DeviceBusService::EmitSettingsChanged(const std::string& id, const BusDict& changed) {
    return EmitSignal(m_bus, m_state, "SettingsChanged", [&](sd_bus_message* m) {
        const int r = sd_bus_message_append(m, "s", id.c_str());
        return r < 0 ? r : AppendBusDict(m, changed);
    });
}

} // namespace velkor
