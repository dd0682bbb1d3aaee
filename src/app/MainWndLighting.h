#pragma once
// The main window's lighting: the device pages' lighting panels and the
// handlers of their controls, same mode with the synchronisation thread on
// thread slot 8, and game-event lighting with its restore on timer 1066 of
// the window's root.
#include "app/ThreadSlots.h"
#include "lighting/GameEventLighting.h"
#include "lighting/LightCommit.h"
#include "lighting/LightPanelHandlers.h"
#include "lighting/LightPanelRouter.h"
#include "lighting/SameMode.h"
#include "lighting/SyncLighting.h"

namespace velkor {

class MainWndLighting {
public:
    using SelectedDeviceFn = std::function<CTolvanicUSBDevice*()>;

    // Everything given must outlive the object. `timerHost` carries timer 1066.
    MainWndLighting(ui::Control& timerHost, const TickClock& clock, const ScreenSize& screen,
                    DevicesOfClassFn devicesOfClass, SelectedDeviceFn selectedDevice);
    // Stops the synchronisation thread when it still runs.
    ~MainWndLighting();
    MainWndLighting(const MainWndLighting&) = delete;
    MainWndLighting& operator=(const MainWndLighting&) = delete;

    LightPanels& Panels() { return m_panels; }
    SyncLighting& Sync() { return m_sync; }
    // The screen size every lighting write carries.
    const ScreenSize& Screen() const { return m_screen; }

    // Starts the synchronisation thread and gives slot 8 its stopper. False
    // when the thread cannot start (nothing is then synchronised).
    bool StartSync(ThreadSlots& slots);
    // The devices or the visible items changed: the thread walks the devices
    // there are now, and same mode follows the number of visible items.
    void DevicesChanged(int visibleCount);
    // The notification of a lighting panel's control; true when taken.
    bool Route(const ui::Notification& notification) { return m_router.Route(notification); }
    // A game reports an event (kind, mode).
    void OnGameEvent(int32_t kind, int32_t mode) { m_game.OnGameEvent(kind, mode); }
    // A timer of the root; true when it was the game-event restore.
    bool OnTimer(int64_t id) { return m_game.OnTimer(id); }

private:
    DevicesOfClassFn m_devicesOfClass;
    ScreenSize m_screen;
    LightPanels m_panels;
    LightPanelHandlers m_handlers;
    SyncLighting m_sync;
    SameMode m_sameMode;
    LightPanelRouter m_router;
    GameEventLighting m_game;
};

} // namespace velkor
