#pragma once
// The device API of the running program on the session bus, independent of
// sd-bus: the calls other programs make (ListDevices, GetSettings and the
// setters), their answers, the values of the settings dictionaries (D-Bus
// a{sv}) and the named errors. packaging/dbus/org.velkor.VELKOR01.xml
// documents every member.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace velkor {

// A value of a settings dictionary: D-Bus b, i, s, as or ai.
using BusValue = std::variant<bool, int32_t, std::string, std::vector<std::string>, std::vector<int32_t>>;
// A settings dictionary in a fixed order (keys are unique).
using BusDict = std::vector<std::pair<std::string, BusValue>>;

// The entry of `key`, or null.
const BusValue* FindBusValue(const BusDict& dict, std::string_view key);
// The D-Bus type of a value ("b", "i", "s", "as", "ai").
const char* BusValueSignature(const BusValue& value);

enum class DeviceMethod : uint8_t {
    ListDevices,    // ()                      -> a(ssssi)
    GetSettings,    // (s id)                  -> a{sv}
    SelectProfile,  // (s id, s name)
    SetLighting,    // (s id, a{sv} fields)
    SetKeyColour,   // (s id, i key, u rgb)
    SetDpiStage,    // (s id, i stage, i dpi)
    SetActiveStage, // (s id, i stage)
    SetReportRate,  // (s id, i hz)
    SetOption,      // (s id, s name, i value)
    SetEqualiser,   // (s id, a{sv} fields: "preset" i or "bands" ai)
    SdkStatus,      // ()                      -> a{sv}: running b, port i, error s, clients as
};

// The D-Bus member name of a method.
const char* DeviceMethodName(DeviceMethod method);

// One call, its arguments by role.
struct DeviceCall {
    DeviceMethod method = DeviceMethod::ListDevices;
    std::string id;     // every method but ListDevices
    std::string name;   // SelectProfile, SetOption
    int32_t first = 0;  // key, stage or hz; SetOption's value
    int32_t second = 0; // rgb (0xRRGGBB) or dpi
    BusDict fields;     // SetLighting, SetEqualiser
    std::string sender; // the caller's unique bus name
};

enum class DeviceCallStatus : uint8_t {
    Ok,
    InvalidArgs,      // a value out of range, of the wrong type, or an unknown key
    NoSuchDevice,     // no attached device has that id
    DeviceFailed,     // the device did not take it (the message names the result code)
    Busy,             // a long write to the device runs; try again later
    LightingReleased, // another program controls the lighting now
    Failed,           // the program could not take the call (shutting down)
    NotRunning,       // caller's side only: no program owns the name, or there is no session bus
};

// "org.velkor.VELKOR01.Error.InvalidArgs", ...; null for Ok.
const char* DeviceCallErrorName(DeviceCallStatus status);
// The status of an error name; nothing for a name that is not one of ours.
std::optional<DeviceCallStatus> DeviceCallStatusOfError(std::string_view name);

// One attached device as ListDevices gives it.
struct DeviceListEntry {
    std::string id;       // "keyboard-50b7": kind and product, stable across runs
    std::string kind;     // "keyboard", "mouse", "mousepad", "headset"
    std::string model;    // the name the device list shows
    std::string channel;  // "cable" or "receiver"
    int32_t battery = -1; // percent, -1 when unknown or not on a battery

    bool operator==(const DeviceListEntry&) const = default;
};

struct DeviceReply {
    DeviceCallStatus status = DeviceCallStatus::Ok;
    std::string message;                  // why, for every status but Ok
    std::vector<DeviceListEntry> devices; // ListDevices
    BusDict settings;                     // GetSettings

    static DeviceReply Error(DeviceCallStatus status, std::string message) {
        DeviceReply reply;
        reply.status = status;
        reply.message = std::move(message);
        return reply;
    }
};

} // namespace velkor
