#pragma once
// Same mode: the "deng_same_mode" button puts every open device into the
// synchronised effect of the selected device's mode, and the button is
// offered only while two or more devices are online.
//
// Every operation runs on the user-interface thread.
#include "lighting/LightCommit.h"
#include "lighting/SyncLighting.h"

namespace velkor {

class CTolvanicUSBDevice;

class SameMode {
public:
    // Everything passed must outlive the object.
    SameMode(SyncLighting& sync, const LightPanels& panels, DevicesOfClassFn devicesOfClass,
             const ScreenSize& screen)
        : m_sync(sync), m_panels(panels), m_devicesOfClass(std::move(devicesOfClass)), m_screen(screen) {}

    // The click on "deng_same_mode" with the selected device (null: nothing).
    // When the device's mode stands for a synchronised effect: the effect and
    // the device's brightness, speed, direction, 7-colour and colour become the
    // synchronised state, and every open keyboard, mouse, mouse pad and headset
    // (in that order) is flagged synchronised, gets the source's light record
    // with its own kind's mode of the effect, shows it on its panel and commits
    // it. Returns how many devices joined (0 when the mode has no effect).
    int Press(CTolvanicUSBDevice* selected);

    // The device list was refreshed with `onlineCount` online entries: same
    // mode is allowed on every panel from two on; below that it is not, and no
    // device stays synchronised.
    void DeviceListRefreshed(int onlineCount);

private:
    SyncLighting& m_sync;
    const LightPanels& m_panels;
    DevicesOfClassFn m_devicesOfClass;
    ScreenSize m_screen;
};

} // namespace velkor
