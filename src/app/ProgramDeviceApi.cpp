// The device API of a running program: calls arrive on the bus thread, run on
// the user-interface thread, and are answered from there.
#include "app/Program.h"
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
    if (service == nullptr || !m_services.bus.IsOwner() || !m_mainWnd) {
        return; // calls that waited are answered Failed when the service stops
    }
    DeviceCallQueue* calls = &m_callQueue;
    DeviceApi::Signals signals{
        .added = [service](const std::string& id) { service->EmitDeviceAdded(id); },
        .removed = [service](const std::string& id) { service->EmitDeviceRemoved(id); },
        .changed = [service](const std::string& id,
                             const BusDict& changed) { service->EmitSettingsChanged(id, changed); },
        .seen =
            [calls](const std::vector<DeviceListEntry>& devices,
                    const std::map<std::string, BusDict>& settings) { calls->Publish(devices, settings); },
    };
    m_deviceApi = std::make_unique<DeviceApi>(*m_mainWnd, &m_texts, std::move(signals));
    ui::Dispatcher* loop = &dispatcher;
    // Reads answer from what the API last saw; writes reach it through the loop, fairly.
    m_callQueue.Open(
        [loop](std::function<void()> task) { return loop->Post(std::move(task)); },
        [this](const DeviceCall& call, DeviceCallQueue::ReplyFn reply) {
            if (m_deviceApi) {
                m_deviceApi->Run(call, std::move(reply));
            } else {
                reply(DeviceReply::Error(DeviceCallStatus::Failed, "the program is shutting down"));
            }
        });
}

void Program::StopDeviceApi() {
    if (m_services.deviceService != nullptr) {
        m_services.deviceService->Stop(); // returns once no handler runs
    }
    m_callQueue.Close();
    m_deviceApi.reset();
}

} // namespace velkor
