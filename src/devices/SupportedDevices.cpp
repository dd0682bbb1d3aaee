#include "devices/SupportedDevices.h"

#include <algorithm>

namespace velkor {
namespace {

SupportedDevice Row(uint16_t vid, uint16_t pid, uint16_t mi, uint16_t col, DeviceKind kind, uint16_t role,
                    uint16_t page, uint16_t usage, uint16_t hasPartner, uint16_t partner) {
    SupportedDevice row;
    row.vendorId = vid;
    row.productId = pid;
    row.interfaceNumber = mi;
    row.collectionNumber = col;
    row.kind = kind;
    row.role = role;
    row.usagePage = page;
    row.usage = usage;
    row.hasPartner = hasPartner;
    row.partner = partner;
    return row;
}

} // namespace

bool SupportedDevice::SameIdentity(const SupportedDevice& o) const {
    return vendorId == o.vendorId && productId == o.productId && interfaceNumber == o.interfaceNumber &&
           collectionNumber == o.collectionNumber && kind == o.kind && role == o.role && usagePage == o.usagePage &&
           usage == o.usage;
}

const std::array<SupportedDevice, kSupportedDeviceCount>& SupportedDeviceTable() {
    using K = DeviceKind;
    // Both cable keyboards name the keyboard receiver as partner; the receiver names 0x50B7.
    static const std::array<SupportedDevice, kSupportedDeviceCount> table = {
        Row(0x320F, 0x50B7, 1, 4, K::Keyboard, kRoleCommand, 0xFF1C, 0x92, 1, 2),
        Row(0x320F, 0x50B7, 1, 3, K::Keyboard, kRoleEvent, 0x000C, 0x01, 1, 3),
        Row(0x320F, 0x50A9, 1, 4, K::KeyboardReceiver, kRoleCommand, 0xFF1C, 0x92, 1, 0),
        Row(0x320F, 0x50A9, 1, 3, K::KeyboardReceiver, kRoleEvent, 0x000C, 0x01, 1, 1),
        Row(0x320F, 0x7070, 1, 4, K::Mouse, kRoleCommand, 0xFF1C, 0x92, 1, 6),
        Row(0x320F, 0x7070, 1, 3, K::Mouse, kRoleEvent, 0x000C, 0x01, 1, 7),
        Row(0x320F, 0x221D, 1, 4, K::MouseReceiver, kRoleCommand, 0xFF1C, 0x92, 1, 4),
        Row(0x320F, 0x221D, 1, 3, K::MouseReceiver, kRoleEvent, 0x000C, 0x01, 1, 5),
        Row(0x320F, 0x1004, 1, 4, K::MousePad, kRoleCommand, 0xFF1C, 0x92, 0, 0),
        Row(0x320F, 0x1004, 1, 3, K::MousePad, kRoleEvent, 0x000C, 0x01, 0, 0),
        Row(0x0C76, 0x1630, 3, 0, K::Headset, kRoleCommand, 0x000C, 0x01, 0, 0),
        Row(0x320F, 0x511D, 1, 4, K::Keyboard, kRoleCommand, 0xFF1C, 0x92, 1, 2),
        Row(0x320F, 0x511D, 1, 3, K::Keyboard, kRoleEvent, 0x000C, 0x01, 1, 3),
    };
    return table;
}

int FindSupportedRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber, uint16_t collection,
                     uint16_t usagePage, uint16_t usage) {
    const auto& table = SupportedDeviceTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const SupportedDevice& row = table[i];
        if (row.vendorId == vendorId && row.productId == productId && row.interfaceNumber == interfaceNumber &&
            row.collectionNumber == collection && row.usagePage == usagePage && row.usage == usage) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int FindPathRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber, uint16_t collection) {
    const auto& table = SupportedDeviceTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const SupportedDevice& row = table[i];
        if (row.vendorId == vendorId && row.productId == productId &&
            row.interfaceNumber == interfaceNumber && row.collectionNumber == collection) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int FindSlot(uint16_t vendorId, uint16_t productId, DeviceKind kind, uint16_t role) {
    const auto& table = SupportedDeviceTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const SupportedDevice& row = table[i];
        if (row.vendorId == vendorId && row.productId == productId && row.kind == kind && row.role == role) {
            return static_cast<int>(i);
        }
    }
    return -1;
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

uint32_t ClassKindOf(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::KeyboardReceiver:
        return uint32_t(DeviceKind::Keyboard);
    case DeviceKind::MouseReceiver:
        return uint32_t(DeviceKind::Mouse);
    default:
        return uint32_t(kind);
    }
}

bool SelectsChannel(DeviceKind kind) {
    const uint32_t classKind = ClassKindOf(kind);
    return classKind == uint32_t(DeviceKind::Keyboard) || classKind == uint32_t(DeviceKind::Mouse);
}

bool IsReceiverKind(DeviceKind kind) {
    return kind == DeviceKind::KeyboardReceiver || kind == DeviceKind::MouseReceiver;
}

namespace {

constexpr const char* kListItemLayout = "XML\\CustomControlXML\\DeviceOption.xml";
constexpr const char* kTabGroup = "tab_header_device";
constexpr const char* kPowerContainer = "device_power_switch";
constexpr const char* kLightSettings = "ornic_light";

} // namespace

const std::array<DeviceModel, kDeviceModelCount>& DeviceModelTable() {
    static const std::array<DeviceModel, kDeviceModelCount> table = {{
        {kListItemLayout, kTabGroup, kPowerContainer, "mouse", "device_name_mouse", 1, 0x320F, 0x7070, 2, 0},
        {kListItemLayout, kTabGroup, kPowerContainer, "keyboard", "device_name_keyboard_50B7", 0, 0x320F,
         0x50B7, 1, 0},
        {kListItemLayout, kTabGroup, kPowerContainer, "MousePad", "device_name_mousepad", 2, 0x320F, 0x1004,
         3, 0},
        {kListItemLayout, kTabGroup, kPowerContainer, "HD", "device_name_headset", 3, 0x0C76, 0x1630, 7, 0},
        {kListItemLayout, kTabGroup, kPowerContainer, "keyboard", "device_name_keyboard_511D", 0, 0x320F,
         0x511D, 1, 0},
    }};
    return table;
}

const std::array<DevicePage, kDeviceModelCount>& DevicePageTable() {
    static const std::array<DevicePage, kDeviceModelCount> table = {{
        {15, 11, true, -1, "XML\\DeviceXml\\mousedevice.xml", kLightSettings},
        {170, 170, false, -1, "XML\\DeviceXml\\keyboarddevice.xml", kLightSettings},
        {15, 0, false, -1, "XML\\DeviceXml\\mousepaddevice.xml", kLightSettings},
        {13, 0, false, -1, "XML\\DeviceXml\\hs6533device.xml", kLightSettings},
        {170, 170, false, -1, "XML\\DeviceXml\\keyboarddevice.xml", kLightSettings},
    }};
    return table;
}

std::vector<UsbProductId> FamilyMouseIds() {
    std::vector<UsbProductId> mice;
    for (const SupportedDevice& row : SupportedDeviceTable()) {
        if (row.kind != DeviceKind::Mouse && row.kind != DeviceKind::MouseReceiver) {
            continue;
        }
        const UsbProductId id{row.vendorId, row.productId};
        if (std::find(mice.begin(), mice.end(), id) == mice.end()) {
            mice.push_back(id);
        }
    }
    return mice;
}

int FindModel(uint32_t vendorId, uint32_t productId, uint32_t classKind, uint32_t variant) {
    const auto& table = DeviceModelTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const DeviceModel& row = table[i];
        if (row.vendorId == vendorId && row.productId == productId && row.classKind == classKind &&
            row.variant == variant) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace velkor
