// The device API of a running program: calls arrive on the bus thread, run on
// the user-interface thread, and are answered from there.
#include "app/Program.h"
#include "platform/Trace.h"

namespace velkor {

void Program::ServeDeviceApi(ui::Dispatcher& dispatcher) {
    DeviceBusService* service = m_services.deviceService;
    if (service == nullptr || !m_services.bus.IsOwner() || !m_mainWnd) {
        return;
    }
    ui::Dispatcher* queue = &dispatcher;
    // Reads answer from what the API last saw; writes reach it through the loop, fairly.
    m_callGate = std::make_unique<DeviceCallGate>(
        [queue](std::function<void()> task) { return queue->Post(std::move(task)); },
        [this](const DeviceCall& call, DeviceCallGate::ReplyFn reply) {
            if (m_deviceApi) {
                m_deviceApi->Run(call, std::move(reply));
            } else {
                reply(DeviceReply::Error(DeviceCallStatus::Failed, "the program is shutting down"));
            }
        });
    DeviceCallGate* gate = m_callGate.get();
    DeviceApi::Signals signals{
        .added = [service](const std::string& id) { service->EmitDeviceAdded(id); },
        .removed = [service](const std::string& id) { service->EmitDeviceRemoved(id); },
        .changed = [service](const std::string& id,
                             const BusDict& changed) { service->EmitSettingsChanged(id, changed); },
        .seen = [gate](const std::vector<DeviceListEntry>& devices,
                       const std::map<std::string, BusDict>& settings) { gate->Publish(devices, settings); },
    };
    m_deviceApi = std::make_unique<DeviceApi>(*m_mainWnd, &m_texts, std::move(signals));
    const bool served = service->Start([gate](DeviceCall call, DeviceBusService::ReplyFn reply) {
        // Never waits here: the bus thread goes on while a call runs on the loop.
        return gate->Take(std::move(call), std::move(reply));
    });
    if (!served) {
        Trace("the device API is not served");
    }
}

void Program::StopDeviceApi() {
    if (m_services.deviceService != nullptr) {
        m_services.deviceService->Stop();
    }
    if (m_callGate) {
        m_callGate->Close();
    }
    m_deviceApi.reset();
}

} // namespace velkor
