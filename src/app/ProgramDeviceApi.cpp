// The device API of a running program: calls arrive on the bus thread, run on
// the user-interface thread, and are answered from there. The SDK server for
// other lighting programs goes through the same API.
#include "app/Program.h"
#include "app/SdkBridge.h"
#include "app/SdkSettings.h"
#include "platform/Trace.h"

namespace velkor {

void Program::ExportDeviceApi() {
    DeviceBusService* service = m_services.deviceService;
    if (service == nullptr) {
        return;
    }
    const bool exported = service->Start([this](DeviceCall call, DeviceBusService::ReplyFn reply) {
        // Never waits here: the bus thread goes on while a call runs on the loop.
        return m_callQueue.Take(std::move(call), std::move(reply));
    });
    if (!exported) {
        Trace("the device API is not served");
    }
}

void Program::ServeDeviceApi(ui::Dispatcher& dispatcher) {
    DeviceBusService* service = m_services.deviceService;
    const bool onBus = service != nullptr && m_services.bus.IsOwner();
    const SdkServerChoice stored = ReadSdkServerChoice(m_settingsPath);
    const bool sdk = m_options.sdkPort != 0 || stored.on;
    if ((!onBus && !sdk) || !m_mainWnd) {
        return; // calls that waited are answered Failed when the service stops
    }
    DeviceCallQueue* calls = &m_callQueue;
    // A device came or went: the bus hears it, and SDK clients get a new list.
    const auto listChanged = [this, service, onBus](bool (DeviceBusService::*emit)(const std::string&)) {
        return [this, service, onBus, emit](const std::string& id) {
            if (onBus) {
                (service->*emit)(id);
            }
            if (m_sdk) {
                m_sdk->Refresh(true);
            }
        };
    };
    DeviceApi::Signals signals{
        .added = listChanged(&DeviceBusService::EmitDeviceAdded),
        .removed = listChanged(&DeviceBusService::EmitDeviceRemoved),
        .changed =
            [this, service, onBus](const std::string& id, const BusDict& changed) {
                if (onBus) {
                    service->EmitSettingsChanged(id, changed);
                }
                if (m_sdk) {
                    m_sdk->Refresh(false);
                }
            },
        .seen =
            [calls](const std::vector<DeviceListEntry>& devices,
                    const std::map<std::string, BusDict>& settings) { calls->Publish(devices, settings); },
    };
    m_deviceApi = std::make_unique<DeviceApi>(*m_mainWnd, &m_texts, std::move(signals));
    m_sdk = std::make_unique<SdkBridge>(*m_mainWnd, *m_deviceApi, &m_texts, dispatcher);
    if (sdk) {
        SetSdkServer(true, m_options.sdkPort != 0 ? m_options.sdkPort : stored.port);
    }
    if (!onBus) {
        return;
    }
    ui::Dispatcher* loop = &dispatcher;
    // Reads answer from what the API last saw; writes reach it through the loop, fairly.
    m_callQueue.Open(
        [loop](std::function<void()> task) { return loop->Post(std::move(task)); },
        [this](const DeviceCall& call, DeviceCallQueue::ReplyFn reply) {
            if (call.method == DeviceMethod::SdkStatus) {
                reply(SdkStatus());
            } else if (m_deviceApi) {
                m_deviceApi->Run(call, std::move(reply));
            } else {
                reply(DeviceReply::Error(DeviceCallStatus::Failed, "the program is shutting down"));
            }
        });
}

bool Program::SetSdkServer(bool on, uint16_t port) {
    if (!m_sdk) {
        return false;
    }
    if (!on) {
        m_sdk->Stop();
        return true;
    }
    if (m_sdk->Server().Running() && m_sdk->Server().Port() == port) {
        return true;
    }
    m_sdk->Stop();
    const bool started = m_sdk->Start(port);
    if (!started) {
        std::fprintf(m_services.err, "velkor: other lighting programs cannot reach the devices: %s\n",
                     m_sdk->Server().Error().c_str());
    }
    return started;
}

bool Program::ChooseSdkServer(bool on, uint16_t port, std::string* error) {
    if (!WriteSdkServerChoice(m_settingsPath, SdkServerChoice{on, port})) {
        *error = "the settings file cannot be written";
        return false;
    }
    if (!m_sdk) {
        *error = "the device API is not running (no session bus); the choice applies at the next start";
        return !on;
    }
    if (!SetSdkServer(on, port)) {
        *error = m_sdk->Server().Error();
        return false;
    }
    return true;
}

DeviceReply Program::SdkStatus() const {
    DeviceReply reply;
    const bool running = m_sdk && m_sdk->Server().Running();
    reply.settings.emplace_back("running", running);
    reply.settings.emplace_back("port", int32_t(running ? m_sdk->Server().Port() : 0));
    reply.settings.emplace_back("error", m_sdk ? m_sdk->Server().Error() : std::string());
    std::vector<std::string> clients;
    if (m_sdk) {
        for (const sdk::ClientInfo& client : m_sdk->Server().Clients()) {
            clients.push_back(client.address + " " + (client.name.empty() ? "(no name)" : client.name) +
                              " protocol " + std::to_string(client.protocol));
        }
    }
    reply.settings.emplace_back("clients", clients);
    return reply;
}

void Program::StopDeviceApi() {
    if (m_services.deviceService != nullptr) {
        m_services.deviceService->Stop(); // returns once no handler runs
    }
    m_callQueue.Close();
    m_sdk.reset();
    m_deviceApi.reset();
}

} // namespace velkor
