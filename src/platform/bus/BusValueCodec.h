#pragma once
// Reading and writing the device API's values in sd-bus messages (the
// service and the client share it). Inside platform/bus only.
#include "platform/bus/DeviceBusTypes.h"

#include <cstddef>
#include <string>

struct sd_bus_message;

namespace velkor {

// The most a dictionary may carry. Reading stops at the first entry beyond a
// bound, so that a huge dictionary costs no more than a small one.
struct BusDictLimits {
    std::size_t entries;
    std::size_t keyBytes;
    std::size_t textBytes; // a string, or each string of an "as"
    std::size_t items;     // of an "as" or an "ai"
};
// What another program's call may carry: the setters take a handful of fields.
inline constexpr BusDictLimits kCallDictLimits{32, 64, 1024, 64};
// What the program's answers and signals may carry (a client reading them).
inline constexpr BusDictLimits kAnswerDictLimits{256, 256, 4096, 4096};

// Reads an a{sv} at the message's read position. Integer types of any width
// become int32 when they fit; b, s, as and ai are taken as they are. False
// with the reason for any other type, a value that does not fit, a repeated
// key, anything beyond `limits` or a damaged message. Linear in the entries.
bool ReadBusDict(sd_bus_message* m, BusDict& dict, std::string& why, const BusDictLimits& limits);
// Appends `dict` as a{sv}; a negative errno when sd-bus refuses.
int AppendBusDict(sd_bus_message* m, const BusDict& dict);

// ListDevices' answer: a(ssssi).
int AppendDeviceList(sd_bus_message* m, const std::vector<DeviceListEntry>& devices);
bool ReadDeviceList(sd_bus_message* m, std::vector<DeviceListEntry>& devices);

} // namespace velkor
