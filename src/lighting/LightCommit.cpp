#include "lighting/LightCommit.h"

#include "devices/TolvanicUSBDevice.h"
#include "lighting/CLightControlUI.h"
#include "platform/Trace.h"

namespace velkor {

bool IsSynchronised(CTolvanicUSBDevice& device) {
    return device.Driver().CommandTransport().SyncLighting();
}

void SetSynchronised(CTolvanicUSBDevice& device, bool on) {
    device.SetSynchronisedLighting(on);
}

bool StoreLightRecord(CTolvanicUSBDevice& device, const LightInfoRecord& record) {
    device.SetLightInfo(LightInfoToWords(record));
    ProfileIo* profile = Capability<ProfileIo>(device);
    if (profile == nullptr || !profile->SaveDeviceProfile()) {
        TraceF("light record of %s not saved", device.Paths().TypeName().c_str());
        return false;
    }
    return true;
}

int SendLightSettings(CTolvanicUSBDevice& device, const ScreenSize& screen) {
    ProfileIo* profile = Capability<ProfileIo>(device);
    const int result = profile != nullptr ? profile->SendSettings(0, 0, 1, screen) : kResultNoReply;
    if (result != kResultOk) {
        TraceF("light settings of %s not sent (%d)", device.Paths().TypeName().c_str(), result);
    }
    return result;
}

int CommitLightRecord(CTolvanicUSBDevice& device, const LightInfoRecord& record, const ScreenSize& screen) {
    StoreLightRecord(device, record);
    device.ApplyLightState();
    return SendLightSettings(device, screen);
}

void LightPanels::Attach(const CTolvanicUSBDevice& device, CLightControlUI& panel) {
    m_panels[&device] = &panel;
}

void LightPanels::Detach(const CTolvanicUSBDevice& device) {
    m_panels.erase(&device);
}

CLightControlUI* LightPanels::PanelOf(const CTolvanicUSBDevice& device) const {
    const auto found = m_panels.find(&device);
    return found != m_panels.end() ? found->second : nullptr;
}

std::vector<CLightControlUI*> LightPanels::All() const {
    std::vector<CLightControlUI*> panels;
    panels.reserve(m_panels.size());
    for (const auto& [device, panel] : m_panels) {
        panels.push_back(panel);
    }
    return panels;
}

} // namespace velkor
