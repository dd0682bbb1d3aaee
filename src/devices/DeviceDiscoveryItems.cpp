// Creating device objects from the model's layouts, and the device list:
// showing, hiding and selecting items and the pages that go with them.
#include "devices/DeviceDiscovery.h"

#include "devices/TolvanicKeyboardDevice.h"
#include "devices/TolvanicMouseDevice.h"

#include "platform/Trace.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"
#include "ui/LayoutReader.h"
#include "ui/Toolkit.h"
#include "ui/Window.h"

#include <set>

namespace velkor {

namespace {

// Accepts the one class a layout's top control is written with (the device
// item's, the power panel's) and remembers that control.
class SingleClassCreator final : public ui::ControlCreator {
public:
    explicit SingleClassCreator(std::string_view className) : m_className(className) {}
    bool CanCreate(std::string_view className) const override { return className == m_className; }
    void ControlCreated(std::string_view className, ui::Control& control) override {
        if (className == m_className && m_control == nullptr) {
            m_control = &control;
        }
    }

private:
    std::string_view m_className;
    ui::Control* m_control = nullptr;
};

int ChildIndex(const ui::Control& container, const ui::Control* child) {
    for (int i = 0; i < container.ChildCount(); ++i) {
        if (container.ChildAt(i) == child) {
            return i;
        }
    }
    return -1;
}

// Shows page `index` of a tab container; of a plain container, only that child.
void ShowPage(ui::Control& container, int index) {
    if (ui::PageControl* pages = container.AsPage()) {
        if (pages->CurrentPage() != index) {
            pages->SelectPage(index);
        }
        return;
    }
    for (int i = 0; i < container.ChildCount(); ++i) {
        container.ChildAt(i)->SetVisible(i == index);
    }
}

void SetOption(ui::Control& item, bool selected) {
    ui::Control* option = item.FindChild(kDeviceSelectOptionName);
    if (ui::SelectableControl* tick = (option != nullptr ? *option : item).AsSelectable()) {
        tick->SetSelected(selected, false);
    }
}

} // namespace

// ---- Creation ----

int DeviceDiscovery::CreateStartupDevices() {
    for (const ModelDescription& model : Catalog().Models()) {
        if (!model.createdAtStart) {
            continue;
        }
        const int command = Catalog().FindSlot(model.vendorId, model.cable.productId,
                                               KindOfUnit(model.deviceClass, false), kRoleCommand);
        if (command >= 0) {
            CreateDevice(command);
        }
    }
    return int(m_entries.size());
}

bool DeviceDiscovery::LayoutBuildable(std::string_view layout, std::string_view topClass,
                                      std::string* error) const {
    ui::LayoutNode root;
    const std::string path = m_services.toolkit.Resources().LayoutPath(layout);
    if (path.empty() || !ui::ReadLayoutFile(path, root, error)) {
        return false;
    }
    if (!topClass.empty()) {
        return ui::CheckLayout(
            root, [topClass](std::string_view c) { return c == topClass; }, error);
    }
    // A page layout: exactly one control names a device class.
    int devices = 0;
    root.Visit(
        [&](const ui::LayoutNode& node) { devices += m_services.factory.Knows(node.className) ? 1 : 0; });
    if (devices != 1) {
        if (error != nullptr) {
            *error = "the page layout names " + std::to_string(devices) + " device classes instead of one";
        }
        return false;
    }
    return ui::CheckLayout(
        root, [this](std::string_view c) { return m_services.factory.Knows(c) || IsPagePanelClass(c); },
        error);
}

DeviceDiscovery::Entry* DeviceDiscovery::CreateDevice(int commandRow) {
    const DeviceCatalog& catalog = Catalog();
    const SupportedDevice* commandInterface = catalog.Interface(commandRow);
    if (commandInterface == nullptr) {
        return nullptr;
    }
    const SupportedDevice& row = *commandInterface;
    const DeviceClass deviceClass = ClassOfKind(row.kind);
    // A receiver is the model of its cable partner.
    const SupportedDevice& modelSource =
        IsReceiverKind(row.kind) && row.hasPartner != 0 ? *catalog.Interface(row.partner) : row;
    const int modelRow = catalog.FindModel(modelSource.vendorId, modelSource.productId, deviceClass, 0);
    if (modelRow < 0) {
        return nullptr;
    }
    if (Entry* existing = EntryOfModel(modelRow)) {
        return existing; // one object per model, whatever path led here
    }
    const ModelDescription& model = *catalog.Model(modelRow);
    ui::Control* powerSwitch = m_services.window.FindControl(model.powerContainer);
    if (m_deviceList == nullptr || m_pageSwitch == nullptr || powerSwitch == nullptr) {
        Trace("device list: the window lacks the device list or its page containers");
        return nullptr;
    }
    // Every layout is checked before anything is built, so that a damaged one
    // leaves no half-made device behind in the window.
    std::string error;
    if (!LayoutBuildable(kPowerPanelLayout, CMpDevicePowerUI::kControlClass, &error) ||
        !LayoutBuildable(model.listItemLayout, kItemClass, &error) ||
        !LayoutBuildable(model.pageLayout, {}, &error)) {
        TraceF("device %s not created: %s", model.typeName, error.c_str());
        return nullptr;
    }
    ui::Toolkit& toolkit = m_services.toolkit;
    SingleClassCreator powerCreator(CMpDevicePowerUI::kControlClass);
    SingleClassCreator itemCreator(kItemClass);
    DevicePageCreator pageCreator(m_services.factory);
    ui::Control* power = toolkit.BuildInto(*powerSwitch, kPowerPanelLayout, &powerCreator, &error);
    ui::Control* item =
        power ? toolkit.BuildInto(*m_deviceList, model.listItemLayout, &itemCreator, &error) : nullptr;
    ui::Control* pageControl =
        item ? toolkit.BuildInto(*m_pageSwitch, model.pageLayout, &pageCreator, &error) : nullptr;
    auto devices = pageCreator.TakeDevices();
    if (pageControl == nullptr || devices.size() != 1) {
        // The toolkit cannot take a control back out: what was built stays hidden.
        for (ui::Control* built : {power, item, pageControl}) {
            if (built != nullptr) {
                built->SetVisible(false);
            }
        }
        TraceF("device %s not created: %s", model.typeName, error.c_str());
        return nullptr;
    }

    auto entry = std::make_unique<Entry>();
    entry->modelRow = modelRow;
    entry->deviceClass = deviceClass;
    entry->variant = model.variant;
    entry->tabGroup = model.tabGroup;
    entry->itemControl = item;
    entry->powerSwitch = powerSwitch;
    entry->pageIndex = ChildIndex(*m_pageSwitch, pageControl);
    entry->powerIndex = ChildIndex(*powerSwitch, power);
    entry->power = std::make_unique<CMpDevicePowerUI>(*power);
    entry->power->SetKind(deviceClass, int(model.variant));
    entry->device = std::move(devices.front());
    FillPanelContainers(*pageControl);
    InitialiseDevice(*entry, IdentityRow(row, commandRow));

    item->SetVisible(false);
    // The model's name as a language key, so that a language change follows;
    // two models of a kind share a type name but not this.
    for (ui::Control* label : {item->FindChild(kNameLabel), pageControl->FindChild(kTitleLabel)}) {
        if (label != nullptr) {
            label->SetResourceText(true);
            label->SetText(model.nameKey);
        }
    }
    ShowModelPictures(*item, *pageControl, model);
    entry->item = std::make_unique<DeviceListItem>(*item, *entry->device);
    m_entries.push_back(std::move(entry));
    ShowSelectedPages();
    TraceF("device %s created (model row %d)", model.typeName, modelRow);
    Entry* created = m_entries.back().get();
    if (m_services.observer != nullptr) {
        m_services.observer->DevicePageBuilt(*created->device, *pageControl);
    }
    return created;
}

void DeviceDiscovery::ShowModelPictures(ui::Control& item, ui::Control& page, const ModelDescription& model) {
    if (ui::Control* picture = item.FindChild(kItemPicture)) {
        picture->SetBackgroundImage(model.itemPicture);
    }
    // A keyboard page has a key picture per regional layout; each shows the drawing.
    for (ui::Control* panel : page.FindAllOfClass(ui::kSelectPanelClass)) {
        panel->SetBackgroundImage(model.picture);
    }
}

void DeviceDiscovery::FillPanelContainers(ui::Control& page) {
    PagePanelCreator creator;
    for (const PagePanelContainer& panel : PagePanelContainers()) {
        ui::Control* container = page.FindChild(panel.name);
        if (container == nullptr || !m_services.toolkit.Resources().HasLayout(panel.layout)) {
            continue; // this page has no such panel, or the program has no layout for it yet
        }
        std::string error;
        if (m_services.toolkit.BuildInto(*container, panel.layout, &creator, &error) == nullptr) {
            TraceF("panel %.*s not built: %s", int(panel.name.size()), panel.name.data(), error.c_str());
        }
    }
}

void DeviceDiscovery::InitialiseDevice(Entry& entry, int identityRow) {
    const ModelDescription& model = *Catalog().Model(entry.modelRow);
    CTolvanicUSBDevice& device = *entry.device;
    device.Presenter().SetPageLayoutPath(model.pageLayout);
    device.Presenter().SetMainWindow(m_services.mainWindow);
    device.SetKeyCount(model.keyCount);
    device.SetLightCount(model.lightCount);
    device.State().SetModelRow(entry.modelRow);
    device.State().SetBatteryFlag(model.battery);
    if (auto* mouse = dynamic_cast<CTolvanicMouseDevice*>(&device)) {
        mouse->SetLogoLed(model.extra); // the mouse's extra value
    }
    if (auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(&device)) {
        keyboard->SetRegionalLayouts(model.regionalLayouts);
    }
    device.Paths().SetTypeName(model.typeName);
    device.Presenter().SetPowerPanel(entry.power.get());
    // The identity is the row the device is looked up by: a receiver's cable
    // partner, so that the receiver and the cable find the same object.
    device.State().SetIdentity(*Catalog().Interface(identityRow));
    device.SetModelCode(model.modelCode);
    device.Paths().SetLightSettingsName(model.lightSettingsName);
    device.InitPage();
}

// ---- Look-ups ----

DeviceDiscovery::Entry* DeviceDiscovery::EntryOfModel(int modelRow) const {
    for (const auto& entry : m_entries) {
        if (entry->modelRow == modelRow) {
            return entry.get();
        }
    }
    return nullptr;
}

DeviceDiscovery::Entry* DeviceDiscovery::EntryOfItem(const ui::Control& control) const {
    for (const auto& entry : m_entries) {
        if (entry->itemControl->Contains(&control)) {
            return entry.get();
        }
    }
    return nullptr;
}

CTolvanicUSBDevice* DeviceDiscovery::DeviceOfModel(int modelRow) const {
    const Entry* entry = EntryOfModel(modelRow);
    return entry != nullptr ? entry->device.get() : nullptr;
}

CMpDevicePowerUI* DeviceDiscovery::PowerPanelOfModel(int modelRow) const {
    const Entry* entry = EntryOfModel(modelRow);
    return entry != nullptr ? entry->power.get() : nullptr;
}

ui::Control* DeviceDiscovery::ListItemOfModel(int modelRow) const {
    const Entry* entry = EntryOfModel(modelRow);
    return entry != nullptr ? entry->itemControl : nullptr;
}

std::vector<CTolvanicUSBDevice*> DeviceDiscovery::DevicesOfClass(DeviceClass deviceClass) const {
    std::vector<CTolvanicUSBDevice*> devices;
    for (const auto& entry : m_entries) {
        if (entry->deviceClass == deviceClass) {
            devices.push_back(entry->device.get());
        }
    }
    return devices;
}

int DeviceDiscovery::VisibleItemCount() const {
    int visible = 0;
    for (const auto& entry : m_entries) {
        visible += entry->itemControl->IsVisible() ? 1 : 0;
    }
    return visible;
}

bool DeviceDiscovery::IsSelected(const Entry& entry) const {
    return entry.itemControl->IsVisible() && entry.item->IsSelected();
}

DeviceDiscovery::Entry* DeviceDiscovery::SelectedEntry() const {
    for (const auto& entry : m_entries) {
        if (IsSelected(*entry)) {
            return entry.get();
        }
    }
    return nullptr;
}

CTolvanicUSBDevice* DeviceDiscovery::SelectedDevice() const {
    const Entry* entry = SelectedEntry();
    return entry != nullptr ? entry->device.get() : nullptr;
}

// ---- Items ----

bool DeviceDiscovery::ShowDeviceItem(int modelRow, bool show) {
    Entry* entry = EntryOfModel(modelRow);
    if (entry == nullptr) {
        return false;
    }
    if (!show) {
        HideItem(*entry);
        return true;
    }
    ShowItem(*entry);
    if (SelectedEntry() == nullptr) {
        SelectItem(entry);
    }
    return true;
}

void DeviceDiscovery::ShowItem(Entry& entry) {
    if (entry.itemControl->IsVisible()) {
        return;
    }
    entry.itemControl->SetVisible(true);
    AfterItemsChanged();
}

void DeviceDiscovery::HideItem(Entry& entry) {
    if (!entry.itemControl->IsVisible()) {
        return;
    }
    const bool selected = entry.item->IsSelected();
    Entry* next = nullptr;
    if (selected) {
        if (m_services.observer != nullptr) {
            m_services.observer->SelectedItemHiding();
        }
        // The next visible item after it, wrapping round; none when it was the only one.
        const size_t count = m_entries.size();
        size_t at = 0;
        while (at < count && m_entries[at].get() != &entry) {
            ++at;
        }
        for (size_t step = 1; step < count && next == nullptr; ++step) {
            Entry* candidate = m_entries[(at + step) % count].get();
            next = candidate->itemControl->IsVisible() ? candidate : nullptr;
        }
    }
    entry.itemControl->SetVisible(false);
    if (selected) {
        SetOption(*entry.itemControl, false);
        SelectItem(next);
    }
    AfterItemsChanged();
}

void DeviceDiscovery::SelectItem(Entry* selected) {
    for (const auto& entry : m_entries) {
        SetOption(*entry->itemControl, entry.get() == selected);
    }
    ShowSelectedPages();
}

bool DeviceDiscovery::ItemSelectionChanged(const ui::Control& sender) {
    Entry* entry = EntryOfItem(sender);
    if (entry == nullptr || sender.Name() != kDeviceSelectOptionName) {
        return false;
    }
    if (const ui::SelectableControl* tick = sender.AsSelectable(); tick != nullptr && tick->IsSelected()) {
        SelectItem(entry);
    }
    return true;
}

bool DeviceDiscovery::SelectAdjacentItem(bool forward) {
    const int count = int(m_entries.size());
    if (count == 0) {
        return false;
    }
    int at = -1;
    for (int i = 0; i < count; ++i) {
        at = IsSelected(*m_entries[size_t(i)]) ? i : at;
    }
    for (int step = 1; step <= count; ++step) {
        // Without a selection the first (or last) visible item is the next one.
        const int base = at >= 0 ? at : (forward ? -1 : count);
        const int index = ((base + (forward ? step : -step)) % count + count) % count;
        Entry* candidate = m_entries[size_t(index)].get();
        if (candidate->itemControl->IsVisible()) {
            if (index != at) {
                SelectItem(candidate);
            }
            return true;
        }
    }
    return false;
}

bool DeviceDiscovery::SelectFirstOfClass(DeviceClass deviceClass) {
    for (const auto& entry : m_entries) {
        if (entry->deviceClass == deviceClass && entry->itemControl->IsVisible()) {
            if (!IsSelected(*entry)) {
                SelectItem(entry.get());
            }
            return true;
        }
    }
    return false;
}

void DeviceDiscovery::AfterItemsChanged() {
    const int visible = VisibleItemCount();
    if (m_noDeviceHint != nullptr) {
        m_noDeviceHint->SetVisible(visible == 0);
    }
    ShowSelectedPages();
    if (m_services.observer != nullptr) {
        m_services.observer->VisibleItemsChanged(visible);
    }
}

void DeviceDiscovery::ShowSelectedPages() {
    const Entry* selected = SelectedEntry();
    if (m_pageSwitch != nullptr) {
        ShowPage(*m_pageSwitch, selected != nullptr ? selected->pageIndex : 0);
    }
    std::set<ui::Control*> shown;
    for (const auto& entry : m_entries) {
        if (shown.insert(entry->powerSwitch).second) {
            const bool own = selected != nullptr && selected->powerSwitch == entry->powerSwitch;
            ShowPage(*entry->powerSwitch, own ? selected->powerIndex : 0);
        }
    }
    if (m_services.observer != nullptr) {
        m_services.observer->SelectionChanged();
    }
}

} // namespace velkor
