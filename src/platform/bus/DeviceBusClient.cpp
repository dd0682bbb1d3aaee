#include "platform/bus/DeviceBusClient.h"
#include "platform/bus/SessionBusOpen.h"

#include "platform/bus/BusMessage.h"
#include "platform/bus/BusValueCodec.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <systemd/sd-bus.h>

namespace velkor {

namespace {

int AppendCall(sd_bus_message* m, const DeviceCall& call) {
    switch (call.method) {
    case DeviceMethod::ListDevices:
    case DeviceMethod::SdkStatus:
        return 0;
    case DeviceMethod::GetSettings:
        return sd_bus_message_append(m, "s", call.id.c_str());
    case DeviceMethod::SelectProfile:
        return sd_bus_message_append(m, "ss", call.id.c_str(), call.name.c_str());
    case DeviceMethod::SetLighting:
    case DeviceMethod::SetEqualiser: {
        const int r = sd_bus_message_append(m, "s", call.id.c_str());
        return r < 0 ? r : AppendBusDict(m, call.fields);
    }
    case DeviceMethod::SetKeyColour:
        return sd_bus_message_append(m, "siu", call.id.c_str(), call.first, uint32_t(call.second));
    case DeviceMethod::SetDpiStage:
        return sd_bus_message_append(m, "sii", call.id.c_str(), call.first, call.second);
    case DeviceMethod::SetActiveStage:
    case DeviceMethod::SetReportRate:
        return sd_bus_message_append(m, "si", call.id.c_str(), call.first);
    case DeviceMethod::SetOption:
        return sd_bus_message_append(m, "ssi", call.id.c_str(), call.name.c_str(), call.first);
    }
    return -EINVAL;
}

} // namespace

DeviceBusClient::DeviceBusClient(std::string address) : m_address(std::move(address)) {}

DeviceBusClient::~DeviceBusClient() {
    sd_bus_slot_unref(m_match);
    sd_bus_flush_close_unref(m_bus);
}

bool DeviceBusClient::Connect(std::string& why) {
    if (m_bus != nullptr) {
        return true;
    }
    sd_bus* bus = nullptr;
    if (const int r = OpenSessionBus(m_address, &bus); r < 0) {
        why = std::string("cannot connect to the session bus: ") + std::strerror(-r);
        return false;
    }
    m_bus = bus;
    return true;
}

DeviceReply DeviceBusClient::Call(const DeviceCall& call, int timeoutMs) {
    std::string why;
    if (!Connect(why)) {
        return DeviceReply::Error(DeviceCallStatus::NotRunning, why);
    }
    sd_bus_message* message = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r = sd_bus_message_new_method_call(m_bus, &message, kBusName, kBusObjectPath, kBusInterface,
                                           DeviceMethodName(call.method));
    if (r >= 0) {
        r = AppendCall(message, call);
    }
    if (r >= 0) {
        r = sd_bus_call(m_bus, message, uint64_t(timeoutMs) * 1000, &error, &reply);
    }
    DeviceReply result;
    if (r < 0) {
        const std::string text = error.message != nullptr ? error.message : std::strerror(-r);
        if (const std::optional<DeviceCallStatus> ours =
                error.name != nullptr ? DeviceCallStatusOfError(error.name) : std::nullopt) {
            result = DeviceReply::Error(*ours, text);
        } else if (sd_bus_error_has_names(&error, SD_BUS_ERROR_NAME_HAS_NO_OWNER,
                                          SD_BUS_ERROR_SERVICE_UNKNOWN)) {
            result =
                DeviceReply::Error(DeviceCallStatus::NotRunning, "the program is not running (" + text + ")");
        } else if (sd_bus_error_has_names(&error, SD_BUS_ERROR_INVALID_ARGS, SD_BUS_ERROR_UNKNOWN_METHOD)) {
            result = DeviceReply::Error(DeviceCallStatus::InvalidArgs, text);
        } else {
            result = DeviceReply::Error(DeviceCallStatus::Failed, text);
        }
    } else if (call.method == DeviceMethod::ListDevices && !ReadDeviceList(reply, result.devices)) {
        result = DeviceReply::Error(DeviceCallStatus::Failed, "the device list cannot be read");
    } else if ((call.method == DeviceMethod::GetSettings || call.method == DeviceMethod::SdkStatus) &&
               !ReadBusDict(reply, result.settings, why, kAnswerDictLimits)) {
        result = DeviceReply::Error(DeviceCallStatus::Failed, "the settings cannot be read: " + why);
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(message);
    return result;
}

struct DeviceClientCallbacks {
    static int OnSignal(sd_bus_message* m, void* userdata, sd_bus_error*);
};

int DeviceClientCallbacks::OnSignal(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* self = static_cast<DeviceBusClient*>(userdata);
    const char* member = sd_bus_message_get_member(m);
    const char* id = nullptr;
    if (member == nullptr || sd_bus_message_read(m, "s", &id) <= 0) {
        return 0;
    }
    DeviceSignal signal{member, id, {}};
    std::string why;
    if (signal.member == "SettingsChanged" && !ReadBusDict(m, signal.changed, why, kAnswerDictLimits)) {
        return 0;
    }
    if (signal.member == "DeviceAdded" || signal.member == "DeviceRemoved" ||
        signal.member == "SettingsChanged") {
        self->m_received.push_back(std::move(signal));
    }
    return 0;
}

bool DeviceBusClient::Subscribe(std::string& why) {
    if (!Connect(why)) {
        return false;
    }
    if (m_match != nullptr) {
        return true;
    }
    const int r = sd_bus_match_signal(m_bus, &m_match, kBusName, kBusObjectPath, kBusInterface, nullptr,
                                      &DeviceClientCallbacks::OnSignal, this);
    if (r < 0) {
        why = std::string("cannot watch the program's signals: ") + std::strerror(-r);
        return false;
    }
    return true;
}

bool DeviceBusClient::WaitSignals(const std::function<bool(const DeviceSignal&)>& onSignal, int timeoutMs) {
    if (m_bus == nullptr) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (!m_received.empty()) {
            const DeviceSignal signal = std::move(m_received.front());
            m_received.erase(m_received.begin());
            if (!onSignal(signal)) {
                return true;
            }
        }
        const int r = sd_bus_process(m_bus, nullptr);
        if (r < 0) {
            return false;
        }
        if (r > 0) {
            continue;
        }
        int waitMs = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return false;
            }
            waitMs = int(left.count());
        }
        if (sd_bus_wait(m_bus, waitMs < 0 ? UINT64_MAX : uint64_t(waitMs) * 1000) < 0) {
            return false;
        }
    }
}

} // namespace velkor
