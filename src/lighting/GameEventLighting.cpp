#include "lighting/GameEventLighting.h"

#include "devices/TolvanicUSBDevice.h"
#include "lighting/CLightControlUI.h"
#include "platform/Trace.h"
#include "ui/Control.h"

#include <algorithm>

namespace velkor {

GameEventLighting::~GameEventLighting() {
    m_timerHost.KillTimer(kTimerRestore);
}

bool GameEventLighting::OnGameEvent(int32_t kind, int32_t mode) {
    bool applied = false;
    CTolvanicUSBDevice* device = m_selectedDevice ? m_selectedDevice() : nullptr;
    const int modeCount = device != nullptr ? device->Paths().NameLists().ModeCount() : 0;
    // A mode the device cannot show (beyond its list, or not a record byte) is refused.
    const bool modeUsable = mode >= 0 && mode <= 255 && (modeCount == 0 || mode < modeCount);
    if (device != nullptr && kind >= 0 && kind <= 2 && modeUsable) {
        LightInfoRecord record = device->State().LightRecord();
        record.selectItem = uint8_t(mode);
        applied = device->ShowTemporaryLight(LightInfoToWords(record));
    }
    if (applied) {
        SetSynchronised(*device, false);
        if (CLightControlUI* panel = m_panels.PanelOf(*device)) {
            panel->SelectMode(mode);
        }
        device->ApplyLightState();
        SendLightSettings(*device, m_screen);
        if (std::find(m_changed.begin(), m_changed.end(), device) == m_changed.end()) {
            m_changed.push_back(device);
        }
        TraceF("game event (%d, %d) shows mode %d on the %s", kind, mode, mode,
               device->Paths().TypeName().c_str());
    } else {
        TraceF("game event (%d, %d) changes no device", kind, mode);
    }
    m_timerHost.SetTimer(kTimerRestore, kRestoreDelayMs);
    return applied;
}

bool GameEventLighting::OnTimer(int64_t id) {
    if (id != kTimerRestore) {
        return false;
    }
    m_timerHost.KillTimer(kTimerRestore);
    Restore();
    return true;
}

void GameEventLighting::Restore() {
    std::vector<CTolvanicUSBDevice*> changed;
    changed.swap(m_changed);
    for (CTolvanicUSBDevice* device : changed) {
        if (!device->EndTemporaryLight()) {
            continue; // its lighting was set since: that is what shows
        }
        SetSynchronised(*device, false);
        device->ApplyLightState();
        if (CLightControlUI* panel = m_panels.PanelOf(*device)) {
            panel->SelectMode(device->State().LightRecord().selectItem);
        }
        SendLightSettings(*device, m_screen);
    }
}

} // namespace velkor
