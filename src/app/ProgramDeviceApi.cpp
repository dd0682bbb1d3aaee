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
        return m_apiCalls.Take(std::move(call), std::move(reply));
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
    DeviceApi::Signals signals{
        .added = [service](const std::string& id) { service->EmitDeviceAdded(id); },
        .removed = [service](const std::string& id) { service->EmitDeviceRemoved(id); },
        .changed = [service](const std::string& id,
                             const BusDict& changed) { service->EmitSettingsChanged(id, changed); },
    };
    m_deviceApi = std::make_unique<DeviceApi>(*m_mainWnd, &m_texts, std::move(signals));
    m_apiCalls.Open(dispatcher, [this](const DeviceCall& call, DeviceBusService::ReplyFn reply) {
        if (m_deviceApi) {
            m_deviceApi->Run(call, reply);
        } else {
            reply(DeviceReply::Error(DeviceCallStatus::Failed, "the program is shutting down"));
        }
    });
}

void Program::StopDeviceApi() {
    m_apiCalls.Close();
    if (m_services.deviceService != nullptr) {
        m_services.deviceService->Stop();
    }
    m_deviceApi.reset();
}

} // namespace velkor
