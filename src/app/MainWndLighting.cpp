#include "app/MainWndLighting.h"

#include "devices/TolvanicUSBDevice.h"

namespace velkor {

MainWndLighting::MainWndLighting(ui::Control& timerHost, const TickClock& clock, const ScreenSize& screen,
                                 DevicesOfClassFn devicesOfClass, SelectedDeviceFn selectedDevice)
    : m_devicesOfClass(std::move(devicesOfClass)), m_screen(screen), m_handlers(m_screen), m_sync(clock),
      m_sameMode(m_sync, m_panels, m_devicesOfClass, m_screen),
      m_router(m_panels, selectedDevice, m_handlers, m_sameMode,
               // Only the keyboard has per-key colours.
               [](CTolvanicUSBDevice& device) { return dynamic_cast<KeyboardLightingLink*>(&device); }),
      m_game(timerHost, m_panels, std::move(selectedDevice), m_screen) {}

MainWndLighting::~MainWndLighting() {
    m_sync.Stop();
    m_sync.ClearDevices();
}

bool MainWndLighting::StartSync(ThreadSlots& slots) {
    m_sync.RefreshDevices(m_devicesOfClass);
    if (!m_sync.Start()) {
        return false;
    }
    SyncLighting* sync = &m_sync;
    return slots.Assign(ThreadSlots::kLightSyncSlot, [sync](uint32_t waitMs) { return sync->Stop(waitMs); });
}

void MainWndLighting::DevicesChanged(int visibleCount) {
    m_sync.RefreshDevices(m_devicesOfClass);
    m_sameMode.DeviceListRefreshed(visibleCount);
}

} // namespace velkor
