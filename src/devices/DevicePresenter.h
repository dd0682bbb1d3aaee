#pragma once
// The page presenter of one device: binds the device's page (its key and
// light buttons, the function tabs), its panels (power, lighting, profile
// bar), its list item and the main window to the device's state, and paints
// the picture only when it can be seen — the window shown and not minimised,
// the item selected, the picture flag set and, for a kind that shows its
// lights on one tab only, that tab shown — at most 30 times a second.
//
// Threads: user-interface thread, except where an operation says "any thread".
#include "devices/DeviceLinks.h"
#include "devices/DevicePageBinding.h"
#include "devices/DeviceUiPost.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace velkor {

class DeviceListItem;
class DeviceState;

class DevicePresenter {
public:
    // Shortest time between two paints of the picture: at most 30 a second.
    static constexpr uint32_t kPicturePaintPeriodMs = 34;

    // What the device's kind tells the presenter (any thread).
    struct KindHooks {
        // The page shows the device's lights now (the keyboard: only on its lighting tab).
        std::function<bool()> lightsOnPage;
        // The frames leave the host whether seen or not (streamed effects).
        std::function<bool()> framesLeaveHost;
        // The list item's tick carries the frames to the device now.
        std::function<bool()> tickDrivesDevice;
        // What the wants depend on changed (the device wakes its light thread).
        std::function<void()> previewChanged;
    };

    // `state`, `clock` and `ui` must outlive the presenter.
    DevicePresenter(const DeviceState& state, const TickClock& clock, DeviceUiPost& ui);
    DevicePresenter(const DevicePresenter&) = delete;
    DevicePresenter& operator=(const DevicePresenter&) = delete;

    // Set once by the device before its threads start.
    void SetKindHooks(KindHooks hooks) { m_hooks = std::move(hooks); }

    // ---- Page ----

    void SetPageLayoutPath(std::string path) { m_page.SetLayoutPath(std::move(path)); }
    const std::string& PageLayoutPath() const { return m_page.LayoutPath(); }
    void AttachPage(ui::Control* page) { m_page.Attach(page); }
    ui::Control* Page() const { return m_page.Page(); }
    ui::Control* KeyPanel() const { return m_page.KeyPanel(); }
    const std::vector<ui::Control*>& KeyControls() const { return m_page.KeyControls(); }
    const std::vector<ui::Control*>& LightControls() const { return m_page.LightControls(); }
    // The page's buttons: collection, sizes, notification filter, function
    // tabs and painting (DevicePageBinding).
    DevicePageBinding& Binding() { return m_page; }
    const DevicePageBinding& Binding() const { return m_page; }
    // Adds `receiver` (the device) to its page's window receivers. False without a page.
    bool RegisterPageNotifications(ui::NotifyReceiver& receiver) { return m_page.Register(receiver); }
    int GetFunctionPage() const { return m_page.FunctionPage(); }
    // Repaints the device picture (the key panel).
    void RepaintPicture() { m_page.RepaintPicture(); }

    // ---- Panels, list item, main window ----

    // The panel learns the battery flag at once (it is set before the panel).
    void SetPowerPanel(PowerPanelLink* panel);
    PowerPanelLink* PowerPanel() const { return m_powerPanel; }
    // Tells the power panel whether to show its battery area.
    void ShowBatteryArea(bool show);
    void SetLightPanel(LightPanelLink* panel) { m_lightPanel = panel; }
    LightPanelLink* LightPanel() const { return m_lightPanel; }
    void SetProfileBar(ui::Control* bar) { m_profileBar = bar; }
    ui::Control* ProfileBar() const { return m_profileBar; }
    // Set by the item itself.
    void SetListItem(DeviceListItem* item) { m_listItem = item; }
    DeviceListItem* ListItem() const { return m_listItem; }
    void SetMainWindow(DeviceMessageSink* window) { m_mainWindow = window; }
    // Sends the main window a message: at once on the user-interface thread,
    // else posted to it (dropped when the device is gone by then). Any thread.
    void NotifyMainWindow(uint32_t message, int64_t wParam, int64_t lParam);
    // Message 3331 for this device's list item (`modelRow`: the device's).
    void ShowListItem(int modelRow, bool show) {
        NotifyMainWindow(kMessageShowDeviceItem, modelRow, show ? 1 : 0);
    }
    // Starts the list item's resync timer after `delayMs`. Any thread.
    void RequestResync(int delayMs);

    // ---- Preview ----

    // Set by the main window: its window is shown (not minimised) and this
    // device's item is selected.
    void SetPreviewSeen(bool seen);
    // The picture can be seen. Any thread.
    bool PreviewVisible() const;
    // Someone wants the device's frames: the picture can be seen or they
    // leave the host; never with the light-control flag clear. Any thread.
    bool FramesWanted() const;
    // The list item's tick (timer 1000) is wanted: the picture can be seen, or
    // the tick carries the frames to the device now; never with the
    // light-control flag clear. Any thread.
    bool TickWanted() const;
    // Restarts the list item's tick when it is wanted again. Any thread.
    void ResumeTicks();
    // The picture is seen and may be painted now: at most 30 paints a
    // second, changes in between coalesce into the next.
    bool PicturePaintDue();
    // Paints the light buttons from `leds` when a paint is due.
    void PaintLightsWhenDue(std::span<const uint32_t> leds);

private:
    const DeviceState& m_state;
    const TickClock& m_clock;
    DeviceUiPost& m_ui;
    KindHooks m_hooks;
    DevicePageBinding m_page;
    PowerPanelLink* m_powerPanel = nullptr;
    LightPanelLink* m_lightPanel = nullptr;
    ui::Control* m_profileBar = nullptr;
    DeviceListItem* m_listItem = nullptr;
    DeviceMessageSink* m_mainWindow = nullptr;
    std::atomic<bool> m_previewSeen{false};
    uint32_t m_nextPaintMs = 0;
    bool m_paintedOnce = false;
};

} // namespace velkor
