#pragma once
// Reading and writing the device API's values in sd-bus messages (the
// service and the client share it). Inside platform/bus only.
#include "platform/bus/DeviceBusTypes.h"

#include <string>

struct sd_bus_message;

namespace velkor {

// Reads an a{sv} at the message's read position. Integer types of any width
// become int32 when they fit; b, s, as and ai are taken as they are. False
// with the reason for any other type, a value that does not fit, a repeated
// key or a damaged message.
bool ReadBusDict(sd_bus_message* m, BusDict& dict, std::string& why);
// Appends `dict` as a{sv}; a negative errno when sd-bus refuses.
int AppendBusDict(sd_bus_message* m, const BusDict& dict);

// ListDevices' answer: a(ssssi).
int AppendDeviceList(sd_bus_message* m, const std::vector<DeviceListEntry>& devices);
bool ReadDeviceList(sd_bus_message* m, std::vector<DeviceListEntry>& devices);

} // namespace velkor
