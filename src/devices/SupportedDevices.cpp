#include "devices/SupportedDevices.h"

#include <algorithm>

namespace velkor {

std::span<const SupportedDevice> SupportedDeviceTable() {
    return BuiltInCatalog().Interfaces();
}

int FindSupportedRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber, uint16_t collection,
                     uint16_t usagePage, uint16_t usage) {
    return BuiltInCatalog().FindSupportedRow(vendorId, productId, interfaceNumber, collection, usagePage,
                                             usage);
}

int FindPathRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber, uint16_t collection) {
    return BuiltInCatalog().FindPathRow(vendorId, productId, interfaceNumber, collection);
}

int FindSlot(uint16_t vendorId, uint16_t productId, DeviceKind kind, uint16_t role) {
    return BuiltInCatalog().FindSlot(vendorId, productId, kind, role);
}

const char* DeviceKindName(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::Keyboard:
        return "keyboard";
    case DeviceKind::Mouse:
        return "mouse";
    case DeviceKind::MousePad:
        return "mouse pad";
    case DeviceKind::MouseReceiver:
        return "mouse receiver";
    case DeviceKind::Headset:
        return "headset";
    case DeviceKind::KeyboardReceiver:
        return "keyboard receiver";
    }
    return "unknown";
}

bool SelectsChannel(DeviceKind kind) {
    const DeviceClass deviceClass = ClassOfKind(kind);
    return deviceClass == DeviceClass::Keyboard || deviceClass == DeviceClass::Mouse;
}

bool IsReceiverKind(DeviceKind kind) {
    return kind == DeviceKind::KeyboardReceiver || kind == DeviceKind::MouseReceiver;
}

std::vector<UsbProductId> FamilyMouseIds(const DeviceCatalog& catalog) {
    std::vector<UsbProductId> mice;
    for (const SupportedDevice& row : catalog.Interfaces()) {
        if (ClassOfKind(row.kind) != DeviceClass::Mouse) {
            continue;
        }
        const UsbProductId id{row.vendorId, row.productId};
        if (std::find(mice.begin(), mice.end(), id) == mice.end()) {
            mice.push_back(id);
        }
    }
    return mice;
}

} // namespace velkor
