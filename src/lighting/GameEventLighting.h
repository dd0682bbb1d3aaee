#pragma once
// Game-event lighting: a game reports an event ("Game_Start", "Game_End",
// "Game_Kill", "Game_Death", all handled alike) with a kind (0, 1 or 2) and a
// mode; the selected device shows that mode for five seconds and then
// returns to the light record its profile stores.
//
// A game's mode only shows: it is a temporary light record of the device
// (CTolvanicUSBDevice::ShowTemporaryLight), never written into the profile
// document or file, so a program that dies meanwhile leaves the profile as
// the user set it. The kinds are taken alike: the record's saved mode
// (`OldLedmode`) is neither written nor used, since the restore returns to
// the stored record, not to a mode some earlier game left there.
//
// Every event (re)starts the main window's timer 1066 with 5000 ms, so one
// restore is pending at most and it comes 5 s after the last event. The
// restore goes to the devices the effect went to, even when the selection
// changed meanwhile, and only to those still showing it: when no event
// changed a device, or the user or a profile load has set its lighting
// since, the restore does nothing.
//
// Every operation runs on the user-interface thread.
#include "lighting/LightCommit.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace velkor {

namespace ui {
class Control;
}
class CTolvanicUSBDevice;

class GameEventLighting {
public:
    static constexpr int kTimerRestore = 1066;
    static constexpr int kRestoreDelayMs = 5000;

    using SelectedDeviceFn = std::function<CTolvanicUSBDevice*()>;

    // `timerHost` carries timer 1066 (the main window's root); its "timer"
    // notifications go to OnTimer. Everything must outlive the object.
    GameEventLighting(ui::Control& timerHost, const LightPanels& panels, SelectedDeviceFn selectedDevice,
                      const ScreenSize& screen)
        : m_timerHost(timerHost), m_panels(panels), m_selectedDevice(std::move(selectedDevice)),
          m_screen(screen) {}
    // Stops a pending restore timer.
    ~GameEventLighting();
    GameEventLighting(const GameEventLighting&) = delete;
    GameEventLighting& operator=(const GameEventLighting&) = delete;

    // A game event: kind (wParam) 0, 1 or 2 and mode (lParam). Other kinds, a
    // mode outside 0..255 or outside the device's mode list change no device.
    // Returns true when the selected device took the mode.
    bool OnGameEvent(int32_t kind, int32_t mode);
    // A "timer" notification of the host; true when it was timer 1066.
    bool OnTimer(int64_t id);
    // The restore: every device still showing a game's mode shows its stored light record again.
    void Restore();
    bool RestorePending() const { return !m_changed.empty(); }

private:
    ui::Control& m_timerHost;
    const LightPanels& m_panels;
    SelectedDeviceFn m_selectedDevice;
    ScreenSize m_screen;
    std::vector<CTolvanicUSBDevice*> m_changed;
};

} // namespace velkor
