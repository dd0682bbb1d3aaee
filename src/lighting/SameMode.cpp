#include "lighting/SameMode.h"

#include "devices/TolvanicUSBDevice.h"
#include "lighting/CLightControlUI.h"

namespace velkor {

int SameMode::Press(CTolvanicUSBDevice* selected) {
    if (selected == nullptr || !m_devicesOfClass) {
        return 0;
    }
    const DeviceClass sourceKind = selected->State().KindTag();
    const LightInfoRecord source = selected->State().LightRecord();
    const std::optional<SyncEffect> effect = SyncEffectOfMode(sourceKind, source.selectItem);
    if (!effect) {
        return 0;
    }
    SyncParameters parameters;
    parameters.effect = *effect;
    parameters.light = source.light;
    parameters.speed = source.speed;
    parameters.fx = source.fx;
    parameters.multiColor = source.multiColor;
    parameters.red = source.red;
    parameters.green = source.green;
    parameters.blue = source.blue;
    // The state is complete before any device is flagged, so the thread never
    // paints a half-copied state.
    m_sync.SetParameters(parameters);
    m_sync.RefreshDevices(m_devicesOfClass);

    int joined = 0;
    for (DeviceClass kind : kLightingClassKinds) {
        const int mode = ModeOfSyncEffect(kind, *effect);
        for (CTolvanicUSBDevice* device : m_devicesOfClass(kind)) {
            if (device == nullptr || !device->Driver().TransportOpen()) {
                continue;
            }
            SetSynchronised(*device, true);
            LightInfoRecord record = source;
            record.selectItem = uint8_t(mode);
            if (CLightControlUI* panel = m_panels.PanelOf(*device)) {
                panel->ShowLightInfo(record);
            }
            CommitLightRecord(*device, record, m_screen);
            ++joined;
        }
    }
    return joined;
}

void SameMode::DeviceListRefreshed(int onlineCount) {
    const bool allowed = onlineCount >= 2;
    for (CLightControlUI* panel : m_panels.All()) {
        panel->SetSameModeAllowed(allowed);
    }
    if (allowed || !m_devicesOfClass) {
        return;
    }
    for (DeviceClass kind : kLightingClassKinds) {
        for (CTolvanicUSBDevice* device : m_devicesOfClass(kind)) {
            if (device != nullptr) {
                SetSynchronised(*device, false);
            }
        }
    }
}

} // namespace velkor
