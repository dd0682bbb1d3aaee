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
    DeviceApi::Signals signals{
        .added = [service](const std::string& id) { service->EmitDeviceAdded(id); },
        .removed = [service](const std::string& id) { service->EmitDeviceRemoved(id); },
        .changed = [service](const std::string& id,
                             const BusDict& changed) { service->EmitSettingsChanged(id, changed); },
    };
    m_deviceApi = std::make_unique<DeviceApi>(*m_mainWnd, &m_texts, std::move(signals));
    ui::Dispatcher* queue = &dispatcher;
    const bool served = service->Start([this, queue](DeviceCall call, DeviceBusService::ReplyFn reply) {
        // Never waits here: the bus thread goes on while the call runs on the loop.
        return queue->Post([this, call = std::move(call), reply = std::move(reply)] {
            if (m_deviceApi) {
                m_deviceApi->Run(call, reply);
            } else {
                reply(DeviceReply::Error(DeviceCallStatus::Failed, "the program is shutting down"));
            }
        });
    });
    if (!served) {
        Trace("the device API is not served");
    }
}

void Program::StopDeviceApi() {
    if (m_services.deviceService != nullptr) {
        m_services.deviceService->Stop();
    }
    m_deviceApi.reset();
}

} // namespace velkor
