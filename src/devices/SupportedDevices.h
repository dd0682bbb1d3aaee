#pragma once
// The HID interfaces of the family that the program drives.
#include "platform/desktop/PointerBackend.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velkor {

enum class DeviceKind : uint16_t {
    Keyboard = 1,         // keyboard on its cable
    Mouse = 2,            // mouse on its cable
    MousePad = 3,
    MouseReceiver = 6,    // mouse through its receiver
    Headset = 7,
    KeyboardReceiver = 9, // keyboard through its receiver
};

enum : uint16_t { kRoleCommand = 0, kRoleEvent = 0xFF };

// One row of the supported-device table (and, with attached/path, of the slot list).
struct SupportedDevice {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t interfaceNumber = 0;
    uint16_t collectionNumber = 0;
    DeviceKind kind = DeviceKind::Keyboard;
    uint16_t role = kRoleCommand;
    uint16_t attached = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t hasPartner = 0;
    uint16_t partner = 0;
    std::string path;

    // Identity: everything but attached, the partner fields and the path.
    bool SameIdentity(const SupportedDevice& other) const;
};

constexpr size_t kSupportedDeviceCount = 13;
const std::array<SupportedDevice, kSupportedDeviceCount>& SupportedDeviceTable();

// The table row with these six values, or -1.
int FindSupportedRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber, uint16_t collection,
                     uint16_t usagePage, uint16_t usage);
// First row with this vendor, product, kind and role, or -1.
int FindSlot(uint16_t vendorId, uint16_t productId, DeviceKind kind, uint16_t role);

// The table row with this vendor, product, interface and collection number
// (what a path tells before the interface is opened), or -1.
int FindPathRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber, uint16_t collection);

// "keyboard", "mouse", "mouse pad", "headset", "keyboard receiver", "mouse receiver".
const char* DeviceKindName(DeviceKind kind);

// The kind tag of the device class an interface of this kind belongs to: a
// receiver kind maps to its cable kind (9 to 1, 6 to 2), the others to themselves.
uint32_t ClassKindOf(DeviceKind kind);
// Kinds 6 and 9: the device is reached through its 2.4 GHz receiver.
bool IsReceiverKind(DeviceKind kind);
// Keyboards and mice (on either connection) select their transport's channel
// when it is opened; the mouse pad and the headset keep the transport's defaults.
bool SelectsChannel(DeviceKind kind);

// One physical model: what its device object is built from. Looked up by
// vendor, product, class kind and variant.
struct DeviceModel {
    const char* listItemLayout; // the device list item
    const char* tabGroup;       // the option group of the list items
    const char* powerContainer; // where the power panel goes
    const char* typeName;       // "mouse", "keyboard", "MousePad", "HD": also the device's folder name
    const char* nameKey;        // language key of the model's name, shown on its item and page
    uint32_t modelCode;
    uint32_t vendorId;
    uint32_t productId;
    uint32_t classKind;
    uint32_t variant;
};

// The device's page, parallel to the model table (same row index).
struct DevicePage {
    int lightCount;
    int keyCount;
    bool battery;
    int extra;                     // the mouse's extra value
    const char* pageLayout;        // its top control names the device class
    const char* lightSettingsName; // names the kinds' configuration file
};

// The family's mice (on the cable and through the receiver) as vendor and
// product, each once: the devices whose desktop pointer settings the mouse
// page may change.
std::vector<UsbProductId> FamilyMouseIds();

constexpr size_t kDeviceModelCount = 5;
const std::array<DeviceModel, kDeviceModelCount>& DeviceModelTable();
const std::array<DevicePage, kDeviceModelCount>& DevicePageTable();
// The first model row with these four values, or -1.
int FindModel(uint32_t vendorId, uint32_t productId, uint32_t classKind, uint32_t variant);

// Layout of every device's power panel.
inline constexpr const char* kPowerPanelLayout = "XML\\CustomControlXML\\MpDevicePower.xml";

} // namespace velkor
