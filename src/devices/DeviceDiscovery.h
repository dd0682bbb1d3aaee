#pragma once
// The main window's side of discovery: the slot list, one device object per
// physical model (its page, list item and power panel built from the model's
// layouts), and what happens on attach (3090), detach (3091) and message 3331:
// opening the slot's path on the command transport's wired or receiver
// channel, switching a device between its cable and its receiver, attaching
// its event interfaces, and showing, hiding and selecting the device items.
//
// Usage by the main window (everything on the user-interface thread):
//   DeviceDiscovery discovery({toolkit, window, factory, this, this});
//   discovery.CreateStartupDevices();                   // window start
//   DeviceScanner scanner(backend, dispatcher, discovery.Slots(), listener);
//   scanner.Start();
//   listener: DeviceAttached(slot) -> discovery.Attach(slot), then bring the
//             window to the front; DeviceDetached(slot) -> discovery.Detach(slot)
//   3331 from the devices -> discovery.ShowDeviceItem(row, lParam != 0)
//   "selectchanged" of "device_select" -> discovery.ItemSelectionChanged(sender)
//   "device_select_prev" / "device_select_next" -> discovery.SelectAdjacentItem(...)
// Stop the scanner before the discovery goes; the window outlives both.
//
// The window's layout provides "device_select_layout" (the items),
// "device_switch" (the pages), the models' power container
// ("device_power_switch") and "No_device_Link" (shown while no item is).
// A tab container shows one page at a time; a plain container in its place
// gets the same effect by showing only that child.
#include "devices/CMpDevicePowerUI.h"
#include "devices/DeviceFactory.h"
#include "devices/DeviceListItem.h"
#include "devices/SlotList.h"
#include "devices/TolvanicUSBDevice.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

namespace ui {
class Control;
class Toolkit;
class Window;
} // namespace ui

// What the device list needs of the main window. Called on the user-interface thread.
class DeviceListObserver {
public:
    virtual ~DeviceListObserver() = default;
    // The selected item is about to be hidden: close the secondary windows and
    // stop a macro recording that runs.
    virtual void SelectedItemHiding() = 0;
    // Items were shown or hidden. The lighting panels allow their same-mode
    // control only while at least two items are visible, and clear every
    // synchronisation box when fewer than two visible items have theirs ticked.
    virtual void VisibleItemsChanged(int visibleCount) = 0;
    // The selected item (or which items show) changed.
    virtual void SelectionChanged() {}
    // A device object was created and its page built, its panel containers
    // filled from their layouts: the panels' objects can be attached now.
    virtual void DevicePageBuilt(CTolvanicUSBDevice& device, ui::Control& page) {
        (void)device;
        (void)page;
    }
};

struct DeviceDiscoveryServices {
    ui::Toolkit& toolkit;
    // The main window, whose layout holds the device list and the page containers.
    ui::Window& window;
    // Turns the class a page layout names into a device object.
    const DeviceFactory& factory;
    // Receives the devices' messages (3331, 3329); may be null.
    DeviceMessageSink* mainWindow = nullptr;
    // May be null.
    DeviceListObserver* observer = nullptr;
    // The models discovery knows; null: the built-in family. Must outlive the discovery.
    const DeviceCatalog* catalog = nullptr;
};

inline constexpr std::string_view kTraceLinkQueryFailed = "获取2.4G模式失败";
inline constexpr std::string_view kTraceLinkQueryDone = "获取2";

class DeviceDiscovery {
public:
    static constexpr std::string_view kDeviceList = "device_select_layout";
    static constexpr std::string_view kPageSwitch = "device_switch";
    static constexpr std::string_view kNoDeviceHint = "No_device_Link";
    // The class of a device item's top control, and its name label.
    static constexpr std::string_view kItemClass = "DeviceOption";
    static constexpr std::string_view kNameLabel = "device_name_label";
    // The page's label that names the model.
    static constexpr std::string_view kTitleLabel = "device_title_label";
    // The item's small picture of the model.
    static constexpr std::string_view kItemPicture = "device_picture";
    // The link wait after a switch to the receiver.
    static constexpr int kLinkQueryTries = 26;
    static constexpr int kLinkQueryGapMs = 50;

    // The services must outlive the discovery.
    explicit DeviceDiscovery(const DeviceDiscoveryServices& services);
    // Stops every device's threads before its page and item go.
    ~DeviceDiscovery();
    DeviceDiscovery(const DeviceDiscovery&) = delete;
    DeviceDiscovery& operator=(const DeviceDiscovery&) = delete;

    // The slot list the scanner works on.
    SlotList& Slots() { return m_slots; }
    const SlotList& Slots() const { return m_slots; }
    const DeviceCatalog& Catalog() const { return m_slots.Catalog(); }

    // Creates the hidden objects of the models created at start (the mouse and
    // the 0x50B7 keyboard), so that they exist before anything is plugged in.
    // Returns how many exist afterwards.
    int CreateStartupDevices();
    // Attach (3090): creates the device object of the slot's model when no
    // item represents it yet, then activates the slot. False (nothing done)
    // for an index outside the slot list; otherwise the window comes to the front.
    bool Attach(int slot);
    // Detach (3091): detaches an event interface, switches a device whose
    // cable went to its receiver when that is present, else closes the
    // device's transport and hides its item. False for an index outside the list.
    bool Detach(int slot);
    // Message 3331: shows or hides the item of that model row. Shown, it is
    // selected when no other visible item is. False when no device has that row.
    bool ShowDeviceItem(int modelRow, bool show);
    // The user selected a "device_select" option: its item becomes the selected
    // one and its page and power panel are shown. False when the sender is no
    // option of a device item.
    bool ItemSelectionChanged(const ui::Control& sender);
    // Selects the next (or previous) visible item after the selected one, wrapping.
    bool SelectAdjacentItem(bool forward);

    // Selects the first visible item of a class; false when none is visible.
    bool SelectFirstOfClass(DeviceClass deviceClass);
    // The device of the first visible item whose option is selected, or null.
    CTolvanicUSBDevice* SelectedDevice() const;
    CTolvanicUSBDevice* DeviceOfModel(int modelRow) const;
    CMpDevicePowerUI* PowerPanelOfModel(int modelRow) const;
    ui::Control* ListItemOfModel(int modelRow) const;
    // The devices of one class, in creation order.
    std::vector<CTolvanicUSBDevice*> DevicesOfClass(DeviceClass deviceClass) const;
    int VisibleItemCount() const;

private:
    // One physical model's device object and what was built for it.
    struct Entry {
        int modelRow = -1;
        DeviceClass deviceClass = DeviceClass::None;
        uint32_t variant = 0;
        std::string tabGroup;
        ui::Control* itemControl = nullptr;
        ui::Control* powerSwitch = nullptr;
        int pageIndex = -1;  // of the page in "device_switch"
        int powerIndex = -1; // of the power panel in its container
        // Destroyed in reverse order: the device first (its threads stop and its
        // item hears of it), then its power panel, then the item's timers.
        std::unique_ptr<DeviceListItem> item;
        std::unique_ptr<CMpDevicePowerUI> power;
        DevicePtr device;
    };

    // The table row a device reached through `slot` carries as identity: the
    // command row for an event interface, the cable row for a receiver.
    int IdentityRow(const SupportedDevice& slot, int index) const;
    Entry* FindEntry(int identityRow) const;
    Entry* EntryOfModel(int modelRow) const;
    Entry* EntryOfItem(const ui::Control& control) const;
    // Creating a device object (DeviceDiscoveryItems.cpp).
    Entry* CreateDevice(int commandRow);
    bool LayoutBuildable(std::string_view layout, std::string_view topClass, std::string* error) const;
    // Fills the page's named panel containers from their layouts (those the program has).
    void FillPanelContainers(ui::Control& page);
    // The model's drawings on its list item and under the keys of its page's key pictures.
    static void ShowModelPictures(ui::Control& item, ui::Control& page, const ModelDescription& model);
    void InitialiseDevice(Entry& entry, int identityRow);

    void Activate(int index, const SupportedDevice& slot, Entry& entry);
    // Reopens the command transport on the cable (`toReceiver` false, `path` the
    // cable's) or on the receiver, under the I/O lock, and runs what follows a switch.
    void SwitchChannel(Entry& entry, bool toReceiver, const std::string& path);
    // The device left: transport closed, item hidden.
    void CloseDevice(Entry& entry);

    // Items (DeviceDiscoveryItems.cpp).
    void ShowItem(Entry& entry);
    void HideItem(Entry& entry);
    void SelectItem(Entry* entry);
    bool IsSelected(const Entry& entry) const;
    Entry* SelectedEntry() const;
    // Shows the selected device's page and power panel, the first pages without one,
    // and "No_device_Link" while no item is visible; tells the observer.
    void AfterItemsChanged();
    void ShowSelectedPages();

    DeviceDiscoveryServices m_services;
    SlotList m_slots;
    ui::Control* m_deviceList = nullptr;
    ui::Control* m_pageSwitch = nullptr;
    ui::Control* m_noDeviceHint = nullptr;
    std::vector<std::unique_ptr<Entry>> m_entries;
};

} // namespace velkor
