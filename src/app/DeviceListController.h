#pragma once
// DeviceListController: the main window's device list "device_select_layout"
// and what follows from it. It shows "No_device_Link" while no item of the
// list is visible, moves the selection on the list's own controls and on the
// devices' message 3331, selects the start page (velkor --page) once its
// device is listed, and tells every device whether its picture is seen (the
// window on screen and the device's item selected) and whether it animates
// (the window active or hovered). A macro recording disables the list.
//
// It finds its controls in the window when it is made; the devices come with
// SetDiscovery at window start. After Shutdown no picture counts as seen.
// Every operation runs on the user-interface thread.
#include "devices/DeviceDiscovery.h"
#include "ui/Window.h"

#include <functional>
#include <string_view>

namespace velkor {

class DevicePanelSet;

class DeviceListController {
public:
    static constexpr std::string_view kDeviceList = "device_select_layout";
    static constexpr std::string_view kNoDeviceHint = "No_device_Link";
    // The list's own controls: the option of an item, and the arrows beside the list.
    static constexpr std::string_view kItemOption = "device_select";
    static constexpr std::string_view kPrevious = "device_select_prev";
    static constexpr std::string_view kNext = "device_select_next";

    // velkor --page: the first device of `kind` to select once it is listed
    // (None: none), and the option tab then chosen (0: none).
    struct StartPage {
        DeviceClass kind = DeviceClass::None;
        int tab = 0;
    };
    // A device's panels, or null (the start page's option tab is chosen on them).
    using PanelsOfFn = std::function<DevicePanelSet*(const CTolvanicUSBDevice&)>;

    // The window must outlive the controller; the list and the hint may be missing from its layout.
    DeviceListController(ui::Window& window, StartPage startPage, PanelsOfFn panelsOf);
    DeviceListController(const DeviceListController&) = delete;
    DeviceListController& operator=(const DeviceListController&) = delete;

    // The devices whose items the list holds; null: none (before window start,
    // without a back end, after shut-down). Must outlive its use here.
    void SetDiscovery(DeviceDiscovery* discovery) { m_discovery = discovery; }

    // True when an item of the list is visible.
    bool AnyItemVisible() const;
    // Shows "No_device_Link" when no item is visible, hides it otherwise.
    void UpdateNoDeviceHint();
    // The whole list takes input (false while a recording runs).
    void SetEnabled(bool enabled);

    // "selectchanged" of an item's "device_select", or a click on an arrow:
    // the selection moves. True when the notification came from the list's
    // controls (taken even without devices).
    bool Route(const ui::Notification& notification);
    // Message 3331: shows (show != 0) or hides the item of that model row. A
    // row outside 0..INT32_MAX is refused.
    void ShowDeviceItem(int64_t modelRow, int64_t show);
    // Items were shown or hidden: the hint follows, and the start page is
    // selected when its device is now listed (once per run).
    void ItemsChanged();
    // The selection, or whether the window is on screen, changed: every device
    // learns whether its picture is seen.
    void UpdatePreviews();
    // Every keyboard, mouse, mouse pad and headset animates its picture (or stops).
    void SetPicturesAnimated(bool on);
    // From here no picture counts as seen.
    void Shutdown() { m_shutDown = true; }

private:
    void ShowStartPage();

    ui::Window& m_window;
    ui::Control* m_list = nullptr;
    ui::Control* m_noDeviceHint = nullptr;
    StartPage m_startPage;
    PanelsOfFn m_panelsOf;
    DeviceDiscovery* m_discovery = nullptr;
    // Cleared once the requested start page was shown.
    bool m_startPagePending = false;
    bool m_shutDown = false;
};

} // namespace velkor
