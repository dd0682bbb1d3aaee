#pragma once
// How a changed light record reaches a device, and what the lighting code
// needs to know about the devices and their panels.
#include "devices/DeviceModels.h"
#include "devices/DeviceRoles.h"
#include "lighting/LightModel.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace velkor {

class CTolvanicUSBDevice;
class CLightControlUI;

// The devices of one class kind (1 keyboards, 2 mice, 3 mouse pads, 7
// headsets), in creation order; DeviceDiscovery::DevicesOfClass fits.
// Called on the user-interface thread.
using DevicesOfClassFn = std::function<std::vector<CTolvanicUSBDevice*>(DeviceClass deviceClass)>;
// The class kinds in the order the lighting walks them.
inline constexpr DeviceClass kLightingClassKinds[4] = {DeviceClass::Keyboard, DeviceClass::Mouse,
                                                       DeviceClass::MousePad, DeviceClass::Headset};

// The device's synchronised-lighting flag (any thread).
bool IsSynchronised(CTolvanicUSBDevice& device);
void SetSynchronised(CTolvanicUSBDevice& device, bool on);

// The light record's words into the device and its profile, then the
// profile file saved. Returns false when the profile could not be saved or
// the device keeps no profile (traced).
bool StoreLightRecord(CTolvanicUSBDevice& device, const LightInfoRecord& record);
// The settings record written to the device (slot 0, value 0, flag 1, the
// screen size); returns the device's result code (1 success; 0 when the
// device has no settings record), traced when not 1.
int SendLightSettings(CTolvanicUSBDevice& device, const ScreenSize& screen);
// The whole commit: StoreLightRecord, ApplyLightState, SendLightSettings.
// Returns SendLightSettings' result.
int CommitLightRecord(CTolvanicUSBDevice& device, const LightInfoRecord& record, const ScreenSize& screen);

// Which lighting panel belongs to which device. User-interface thread.
class LightPanels {
public:
    // Replaces an earlier panel of the device.
    void Attach(const CTolvanicUSBDevice& device, CLightControlUI& panel);
    void Detach(const CTolvanicUSBDevice& device);
    // Null when the device has none.
    CLightControlUI* PanelOf(const CTolvanicUSBDevice& device) const;
    std::vector<CLightControlUI*> All() const;

private:
    std::map<const CTolvanicUSBDevice*, CLightControlUI*> m_panels;
};

} // namespace velkor
