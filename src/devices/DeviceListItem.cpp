#include "devices/DeviceListItem.h"

#include "devices/TolvanicUSBDevice.h"
#include "ui/Control.h"
#include "ui/Window.h"

namespace velkor {

DeviceListItem::DeviceListItem(ui::Control& item, CTolvanicUSBDevice& device)
    : m_item(item), m_device(&device) {
    m_device->Presenter().SetListItem(this);
    m_item.OwnerWindow().AddNotifier(*this);
}

DeviceListItem::~DeviceListItem() {
    for (int id : {kTimerLightFrame, kTimerStartup, kTimerResync, kTimerPower, kTimerLinkWatch}) {
        m_item.KillTimer(id);
    }
    m_item.OwnerWindow().RemoveNotifier(*this);
    if (m_device != nullptr && m_device->Presenter().ListItem() == this) {
        m_device->Presenter().SetListItem(nullptr);
    }
}

void DeviceListItem::ForgetDevice(const CTolvanicUSBDevice& device) {
    if (m_device == &device) {
        m_device = nullptr;
    }
}

void DeviceListItem::StartStartupTimer() {
    m_item.SetTimer(kTimerStartup, kStartupDelayMs);
}

void DeviceListItem::StartLinkTimer() {
    m_item.SetTimer(kTimerLinkWatch, kLinkWatchFirstMs);
}

void DeviceListItem::StartResyncTimer(int delayMs) {
    m_item.SetTimer(kTimerResync, delayMs > 0 ? delayMs : 1);
}

bool DeviceListItem::IsShown() const {
    return m_item.IsVisible();
}

bool DeviceListItem::IsSelected() const {
    const ui::Control* option = m_item.FindChild(kDeviceSelectOptionName);
    const ui::SelectableControl* tick = (option != nullptr ? *option : m_item).AsSelectable();
    return tick != nullptr && tick->IsSelected();
}

bool DeviceListItem::OnOpenReceiver() const {
    return m_device->Driver().TransportOpen() && m_device->Driver().OnReceiver();
}

void DeviceListItem::Notify(const ui::Notification& notification) {
    if (notification.type != ui::kNotifyTimer || notification.sender != &m_item) {
        return;
    }
    const int id = int(notification.wParam);
    switch (id) {
    case kTimerLightFrame:
    case kTimerStartup:
    case kTimerResync:
    case kTimerPower:
    case kTimerLinkWatch:
        break;
    default:
        return;
    }
    // Every timer here is one-shot: each run decides whether and when it runs again.
    m_item.KillTimer(id);
    if (m_device == nullptr) {
        return;
    }
    switch (id) {
    case kTimerLightFrame:
        OnLightFrame();
        break;
    case kTimerStartup:
        OnStartup();
        break;
    case kTimerResync:
        OnResync();
        break;
    case kTimerPower:
        OnPower();
        break;
    case kTimerLinkWatch:
        OnLinkWatch();
        break;
    default:
        break;
    }
}

void DeviceListItem::OnStartup() {
    if (!OnOpenReceiver()) {
        StartupLinkChecked(true);
        return;
    }
    AskLink(&DeviceListItem::StartupLinkChecked);
}

void DeviceListItem::StartupLinkChecked(bool up) {
    if (!up) {
        // The wireless device is off or out of reach: keep the transport,
        // hide the item and look again later.
        m_linkFailures = (m_linkFailures + 1) % kLinkFailureWrap;
        if (IsShown()) {
            m_device->Presenter().ShowListItem(m_device->State().ModelRow(), false);
        }
        m_item.SetTimer(kTimerStartup, kStartupRetryMs);
        return;
    }
    std::weak_ptr<int> alive = m_alive;
    m_device->ReadDevice([this, alive] {
        if (!alive.expired() && m_device != nullptr) {
            DeviceRead();
        }
    });
}

void DeviceListItem::DeviceRead() {
    if (!m_device->Driver().TransportOpen()) {
        return; // it left while it was read: activation starts again
    }
    if (!IsShown()) {
        m_device->Presenter().ShowListItem(m_device->State().ModelRow(), true);
    }
    ShowLinkAndBattery();
    m_lightFramesStopped = false;
    m_item.SetTimer(kTimerLightFrame, kLightFrameFirstMs);
    if (m_device->State().BatteryFlag()) {
        m_item.SetTimer(kTimerPower, kPowerFirstMs);
    }
    if (OnOpenReceiver()) {
        m_item.SetTimer(kTimerLinkWatch, kLinkWatchFirstMs);
    }
}

void DeviceListItem::ShowLinkAndBattery() {
    const int link = m_device->Driver().OnReceiver() ? 1 : 0;
    const int battery = m_device->State().BatteryFlag() ? m_device->State().BatteryPercent() : -1;
    if (link == m_shownLink && battery == m_shownBattery) {
        return;
    }
    m_shownLink = link;
    m_shownBattery = battery;
    if (ui::Control* label = m_item.FindChild(kLinkLabel)) {
        label->SetResourceText(true);
        label->SetText(link == 1 ? "device_link_receiver_text" : "device_link_cable_text");
    }
    if (ui::Control* label = m_item.FindChild(kBatteryLabel)) {
        label->SetVisible(battery >= 0);
        label->SetText(battery >= 0 ? std::to_string(battery) + " %" : std::string());
    }
}

void DeviceListItem::OnLightFrame() {
    // The level read on the worker shows here, with the next frame.
    ShowLinkAndBattery();
    m_device->OutputLightFrame();
    if (!m_device->Driver().TransportOpen()) {
        return; // activation starts it again
    }
    if (!m_device->Presenter().TickWanted()) {
        m_lightFramesStopped = true; // nobody looks: no tick until someone does
        return;
    }
    m_item.SetTimer(kTimerLightFrame,
                    m_device->Driver().OnReceiver() ? kLightFrameReceiverMs : kLightFrameWiredMs);
}

void DeviceListItem::ResumeLightFrames() {
    if (m_device == nullptr || !m_lightFramesStopped || !m_device->Driver().TransportOpen()) {
        return;
    }
    m_lightFramesStopped = false;
    m_item.SetTimer(kTimerLightFrame, kLightFrameFirstMs);
}

void DeviceListItem::OnResync() {
    m_device->ReloadAfterEvent();
}

void DeviceListItem::OnPower() {
    // The last level read shows even while the picture is not seen (no frames).
    ShowLinkAndBattery();
    ReadPowerInTurn(*m_device);
    if (m_device->State().BatteryFlag()) {
        m_item.SetTimer(kTimerPower, kPowerPeriodMs);
    }
}

void DeviceListItem::OnLinkWatch() {
    if (!m_device->Driver().OnReceiver()) {
        // Back on the cable: the watch ends (the start-up timer took over).
        return;
    }
    AskLink(&DeviceListItem::LinkWatched);
}

void DeviceListItem::AskLink(void (DeviceListItem::*then)(bool up)) {
    CTolvanicUSBDevice& device = *m_device;
    std::weak_ptr<int> alive = m_alive;
    device.Driver().ReadThenShow([&device] { return LinkUpOf(device); },
                                 [this, alive, then](bool up) {
                                     if (!alive.expired() && m_device != nullptr) {
                                         (this->*then)(up);
                                     }
                                 });
}

void DeviceListItem::LinkWatched(bool up) {
    if (up && !IsShown() && !m_device->State().SettingsRead()) {
        // Never read through this link: the start-up reads it, then shows it.
        m_item.SetTimer(kTimerStartup, 1);
        return;
    }
    if (up && !IsShown()) {
        m_device->Presenter().ShowListItem(m_device->State().ModelRow(), true);
        if (m_device->State().BatteryFlag()) {
            ReadPowerInTurn(*m_device);
        }
    } else if (!up && IsShown()) {
        m_device->Presenter().ShowListItem(m_device->State().ModelRow(), false);
    }
    // A closed transport means the device left; activation starts the watch again.
    if (m_device->Driver().TransportOpen()) {
        m_item.SetTimer(kTimerLinkWatch, kLinkWatchPeriodMs);
    }
}

} // namespace velkor
