#include "app/DeviceListController.h"

#include "app/DevicePanels.h"
#include "devices/DeviceListItem.h"
#include "lighting/LightCommit.h"

#include <cstdint>

namespace velkor {

DeviceListController::DeviceListController(ui::Window& window, StartPage startPage, PanelsOfFn panelsOf)
    : m_window(window), m_list(window.FindControl(kDeviceList)),
      m_noDeviceHint(window.FindControl(kNoDeviceHint)), m_startPage(startPage),
      m_panelsOf(std::move(panelsOf)), m_startPagePending(startPage.kind != DeviceClass::None) {}

bool DeviceListController::AnyItemVisible() const {
    if (m_list == nullptr) {
        return false;
    }
    for (int i = 0; i < m_list->ChildCount(); ++i) {
        const ui::Control* item = m_list->ChildAt(i);
        if (item != nullptr && item->IsVisible()) {
            return true;
        }
    }
    return false;
}

void DeviceListController::UpdateNoDeviceHint() {
    if (m_noDeviceHint != nullptr) {
        m_noDeviceHint->SetVisible(!AnyItemVisible());
    }
}

void DeviceListController::SetEnabled(bool enabled) {
    if (m_list != nullptr) {
        m_list->SetEnabled(enabled);
    }
}

bool DeviceListController::Route(const ui::Notification& notification) {
    if (notification.sender == nullptr) {
        return false;
    }
    const std::string& name = notification.sender->Name();
    if (notification.type == ui::kNotifySelectChanged && name == kItemOption) {
        if (m_discovery != nullptr) {
            m_discovery->ItemSelectionChanged(*notification.sender);
        }
        return true;
    }
    if (notification.type == ui::kNotifyClick && (name == kPrevious || name == kNext)) {
        if (m_discovery != nullptr) {
            m_discovery->SelectAdjacentItem(name == kNext);
        }
        return true;
    }
    return false;
}

void DeviceListController::ShowDeviceItem(int64_t modelRow, int64_t show) {
    if (m_discovery != nullptr && modelRow >= 0 && modelRow <= INT32_MAX) {
        m_discovery->ShowDeviceItem(int(modelRow), show != 0);
    }
}

void DeviceListController::ItemsChanged() {
    UpdateNoDeviceHint();
    ShowStartPage();
}

void DeviceListController::ShowStartPage() {
    if (!m_startPagePending || m_discovery == nullptr || !m_discovery->SelectFirstOfClass(m_startPage.kind)) {
        return;
    }
    m_startPagePending = false;
    CTolvanicUSBDevice* device = m_discovery->SelectedDevice();
    DevicePanelSet* panels = device != nullptr && m_panelsOf ? m_panelsOf(*device) : nullptr;
    if (m_startPage.tab > 0 && panels != nullptr && panels->ProfileBar() != nullptr) {
        // As a click on the tab does.
        panels->ProfileBar()->SelectOptionTab(m_startPage.tab);
        panels->OptionTabChosen(m_startPage.tab);
    }
}

void DeviceListController::UpdatePreviews() {
    if (m_discovery == nullptr) {
        return;
    }
    // Not merely shown: a window the desktop has not mapped (yet) is seen by nobody.
    const bool shown = !m_shutDown && m_window.IsOnScreen();
    for (DeviceClass kind : kLightingClassKinds) {
        for (CTolvanicUSBDevice* device : m_discovery->DevicesOfClass(kind)) {
            const DeviceListItem* item = device->Presenter().ListItem();
            device->Presenter().SetPreviewSeen(shown && item != nullptr && item->IsSelected());
        }
    }
}

void DeviceListController::SetPicturesAnimated(bool on) {
    if (m_discovery == nullptr) {
        return;
    }
    for (DeviceClass kind : kLightingClassKinds) {
        for (CTolvanicUSBDevice* device : m_discovery->DevicesOfClass(kind)) {
            device->State().SetPictureFlag(on);
        }
    }
}

} // namespace velkor
