// Attach, detach and the switch between cable and receiver.
#include "devices/DeviceDiscovery.h"

#include "platform/Trace.h"
#include "ui/Control.h"
#include "ui/Window.h"

namespace velkor {

namespace {

constexpr std::string_view kTraceAddKeyboard = "添加一个键盘设备";
constexpr std::string_view kTraceAddMouse = "添加一个鼠标设备";
constexpr std::string_view kTraceAddPad = "添加一个鼠标垫设备";
constexpr std::string_view kTraceRemoveKeyboard = "删除一个键盘设备";
constexpr std::string_view kTraceRemoveMouse = "删除一个鼠标设备";
constexpr std::string_view kTraceRemovePad = "删除一个鼠标垫设备";
constexpr std::string_view kTraceMouseLost = "鼠标设备丢失";
constexpr std::string_view kTraceKeyboardLost = "键盘设备丢失";

std::string_view AttachTrace(DeviceKind kind, bool attach) {
    switch (ClassOfKind(kind)) {
    case DeviceClass::Keyboard:
        return attach ? kTraceAddKeyboard : kTraceRemoveKeyboard;
    case DeviceClass::Mouse:
        return attach ? kTraceAddMouse : kTraceRemoveMouse;
    default:
        return attach ? kTraceAddPad : kTraceRemovePad;
    }
}

ChannelType EventChannelOf(DeviceKind kind) {
    return IsReceiverKind(kind) ? ChannelType::Receiver : ChannelType::Wired;
}

} // namespace

DeviceDiscovery::DeviceDiscovery(const DeviceDiscoveryServices& services)
    : m_services(services), m_slots(services.catalog != nullptr ? *services.catalog : BuiltInCatalog()) {
    m_deviceList = m_services.window.FindControl(kDeviceList);
    m_pageSwitch = m_services.window.FindControl(kPageSwitch);
    m_noDeviceHint = m_services.window.FindControl(kNoDeviceHint);
}

DeviceDiscovery::~DeviceDiscovery() {
    // Every device stops its threads before any page, panel or item goes.
    for (auto& entry : m_entries) {
        entry->device->Shutdown();
    }
}

int DeviceDiscovery::IdentityRow(const SupportedDevice& slot, int index) const {
    const auto table = Catalog().Interfaces();
    if (slot.role == kRoleEvent) {
        const int command = Catalog().FindSlot(slot.vendorId, slot.productId, slot.kind, kRoleCommand);
        if (command < 0) {
            return -1;
        }
        const SupportedDevice& row = table[size_t(command)];
        return IsReceiverKind(row.kind) && row.hasPartner != 0 ? int(row.partner) : command;
    }
    if (IsReceiverKind(slot.kind) && slot.hasPartner != 0 && slot.partner < table.size() &&
        table[slot.partner].partner == index) {
        return slot.partner;
    }
    return index;
}

DeviceDiscovery::Entry* DeviceDiscovery::FindEntry(int identityRow) const {
    const auto table = Catalog().Interfaces();
    if (identityRow < 0 || identityRow >= int(table.size())) {
        return nullptr;
    }
    for (const auto& entry : m_entries) {
        if (entry->device->State().Identity().SameIdentity(table[size_t(identityRow)])) {
            return entry.get();
        }
    }
    return nullptr;
}

bool DeviceDiscovery::Attach(int index) {
    const std::optional<SupportedDevice> slot = m_slots.At(index);
    if (!slot) {
        return false;
    }
    Trace(AttachTrace(slot->kind, true));
    Entry* entry = FindEntry(IdentityRow(*slot, index));
    if (entry == nullptr) {
        const int command = Catalog().FindSlot(slot->vendorId, slot->productId, slot->kind, kRoleCommand);
        entry = command >= 0 ? CreateDevice(command) : nullptr;
    }
    if (entry != nullptr) {
        Activate(index, *slot, *entry);
    }
    return true;
}

void DeviceDiscovery::Activate(int index, const SupportedDevice& slot, Entry& entry) {
    CTolvanicUSBDevice& device = *entry.device;
    if (slot.role == kRoleEvent) {
        device.OpenEventChannel(slot.path, EventChannelOf(slot.kind));
        return;
    }
    const bool receiver = IsReceiverKind(slot.kind);
    if (m_slots.PartnerPresent(index)) {
        // Both connections are there: the cable has priority.
        if (!receiver) {
            SwitchChannel(entry, false, slot.path);
        }
        return;
    }
    DeviceTransport& transport = device.Driver().CommandTransport();
    if (transport.IsOpen()) {
        return;
    }
    const ChannelType channel = receiver ? ChannelType::Receiver : ChannelType::Wired;
    if (!transport.Open(channel, slot.path, SelectsChannel(slot.kind))) {
        TraceF("device %s: cannot open %s", device.Paths().TypeName().c_str(), slot.path.c_str());
        return;
    }
    device.State().SetIdentity(*Catalog().Interface(IdentityRow(slot, index)));
    // A device that came is offered once it was read: the start-up timer reads
    // it (on the receiver after its link check), then shows the item.
    device.State().SetSettingsRead(false);
    entry.item->StartStartupTimer();
}

void DeviceDiscovery::SwitchChannel(Entry& entry, bool toReceiver, const std::string& path) {
    CTolvanicUSBDevice& device = *entry.device;
    DeviceTransport& transport = device.Driver().CommandTransport();
    const bool opened = transport.Open(toReceiver ? ChannelType::Receiver : ChannelType::Wired, path);
    bool stayedOnReceiver = false;
    if (opened && toReceiver) {
        // The cable has gone: its handle is of no use any more.
        transport.CloseChannel(ChannelType::Wired);
    } else if (!opened && !toReceiver) {
        // The cable cannot be opened: the device goes on through its receiver.
        stayedOnReceiver = transport.OnReceiver() && transport.ResumeSelected();
    }
    if (!opened) {
        TraceF("device %s: cannot switch to %s", device.Paths().TypeName().c_str(), path.c_str());
        if (!stayedOnReceiver) {
            CloseDevice(entry);
        }
        return;
    }
    if (toReceiver) {
        // On the worker: the receiver needs a moment to find its device again,
        // and the window must not wait for it.
        const bool battery = device.State().BatteryFlag();
        DeviceListItem* item = entry.item.get();
        device.Driver().RunTransfer([&device, battery, item](const StopEvent& stop) -> std::function<void()> {
            DeviceTransport& link = device.Driver().CommandTransport();
            if (battery) {
                for (int attempt = 0; attempt < kLinkQueryTries && !link.QueryLink(); ++attempt) {
                    Trace(kTraceLinkQueryFailed);
                    if (stop.WaitFor(kLinkQueryGapMs)) {
                        return {};
                    }
                }
                Trace(kTraceLinkQueryDone);
                ReadPowerOf(device);
            }
            link.BeginSession();
            return [item] { item->StartLinkTimer(); };
        });
        return;
    }
    entry.item->StartStartupTimer();
    if (device.State().SettingsRead()) {
        ShowDeviceItem(entry.modelRow, true); // read through its receiver: offered at once
    }
    if (device.State().BatteryFlag()) {
        ReadPowerInTurn(device);
    }
}

void DeviceDiscovery::CloseDevice(Entry& entry) {
    // Not under the I/O lock: closing cancels any transfer still waiting on the channels.
    entry.device->Driver().CommandTransport().Close();
    entry.device->State().SetSettingsRead(false); // read again when it comes back
    HideItem(entry);
}

bool DeviceDiscovery::Detach(int index) {
    const std::optional<SupportedDevice> slot = m_slots.At(index);
    if (!slot) {
        return false;
    }
    Trace(AttachTrace(slot->kind, false));
    Entry* entry = FindEntry(IdentityRow(*slot, index));
    if (slot->role == kRoleEvent) {
        if (entry != nullptr) {
            entry->device->Driver().CloseEventChannel(EventChannelOf(slot->kind));
        }
        return true;
    }
    const DeviceClass deviceClass = ClassOfKind(slot->kind);
    if (deviceClass == DeviceClass::Mouse) {
        Trace(kTraceMouseLost);
    } else if (deviceClass == DeviceClass::Keyboard) {
        Trace(kTraceKeyboardLost);
    }
    if (entry == nullptr) {
        return true;
    }
    if (m_slots.PartnerPresent(index)) {
        const std::optional<SupportedDevice> partner = m_slots.At(slot->partner);
        DeviceTransport& transport = entry->device->Driver().CommandTransport();
        if (!IsReceiverKind(slot->kind)) {
            SwitchChannel(*entry, true, partner->path);
        } else if (transport.OnReceiver()) {
            // Still on the receiver (the cable could not be opened): try the cable now.
            SwitchChannel(*entry, false, partner->path);
        } else {
            // The device runs on its cable; only the receiver's handle is dead.
            transport.CloseChannel(ChannelType::Receiver);
        }
        return true;
    }
    CloseDevice(*entry);
    return true;
}

} // namespace velkor
