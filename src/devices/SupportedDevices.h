#pragma once
// The HID interfaces of the family that the program drives.
#include <array>
#include <cstdint>
#include <string>

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

// "keyboard", "mouse", "mouse pad", "headset", "keyboard receiver", "mouse receiver".
const char* DeviceKindName(DeviceKind kind);

} // namespace velkor
