#pragma once
// The HID interfaces of the family that the program drives: the built-in
// catalog's supported-device table (DeviceModels.h), and what an interface's
// kind says about how it is driven.
#include "devices/DeviceModels.h"
#include "platform/desktop/PointerBackend.h"

#include <cstdint>
#include <span>
#include <vector>

namespace velkor {

// The built-in catalog's supported-device table.
std::span<const SupportedDevice> SupportedDeviceTable();

// The built-in table's row with these six values, or -1.
int FindSupportedRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber, uint16_t collection,
                     uint16_t usagePage, uint16_t usage);
// The built-in table's first row with this vendor, product, kind and role, or -1.
int FindSlot(uint16_t vendorId, uint16_t productId, DeviceKind kind, uint16_t role);
// The built-in table's row with this vendor, product, interface and collection
// number (what a path tells before the interface is opened), or -1.
int FindPathRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber, uint16_t collection);

// "keyboard", "mouse", "mouse pad", "headset", "keyboard receiver", "mouse receiver".
const char* DeviceKindName(DeviceKind kind);

// Kinds 6 and 9: the device is reached through its 2.4 GHz receiver.
bool IsReceiverKind(DeviceKind kind);
// Keyboards and mice (on either connection) select their transport's channel
// when it is opened; the mouse pad and the headset keep the transport's defaults.
bool SelectsChannel(DeviceKind kind);

// The mice of a catalog (on the cable and through the receiver) as vendor and
// product, each once: the devices whose desktop pointer settings the mouse
// page may change.
std::vector<UsbProductId> FamilyMouseIds(const DeviceCatalog& catalog = BuiltInCatalog());

// Layout of every device's power panel.
inline constexpr const char* kPowerPanelLayout = "XML\\CustomControlXML\\MpDevicePower.xml";

} // namespace velkor
