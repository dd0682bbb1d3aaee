#include "platform/bus/DeviceBusTypes.h"

#include <array>

namespace velkor {

namespace {

constexpr std::array<std::pair<DeviceCallStatus, const char*>, 6> kErrorNames = {{
    {DeviceCallStatus::InvalidArgs, "org.velkor.VELKOR01.Error.InvalidArgs"},
    {DeviceCallStatus::NoSuchDevice, "org.velkor.VELKOR01.Error.NoSuchDevice"},
    {DeviceCallStatus::DeviceFailed, "org.velkor.VELKOR01.Error.DeviceFailed"},
    {DeviceCallStatus::Busy, "org.velkor.VELKOR01.Error.Busy"},
    {DeviceCallStatus::LightingReleased, "org.velkor.VELKOR01.Error.LightingReleased"},
    {DeviceCallStatus::Failed, "org.velkor.VELKOR01.Error.Failed"},
}};

} // namespace

const BusValue* FindBusValue(const BusDict& dict, std::string_view key) {
    for (const auto& [name, value] : dict) {
        if (name == key) {
            return &value;
        }
    }
    return nullptr;
}

const char* BusValueSignature(const BusValue& value) {
    static constexpr const char* kSignatures[] = {"b", "i", "s", "as", "ai"};
    return kSignatures[value.index()];
}

const char* DeviceMethodName(DeviceMethod method) {
    switch (method) {
    case DeviceMethod::ListDevices:
        return "ListDevices";
    case DeviceMethod::GetSettings:
        return "GetSettings";
    case DeviceMethod::SelectProfile:
        return "SelectProfile";
    case DeviceMethod::SetLighting:
        return "SetLighting";
    case DeviceMethod::SetKeyColour:
        return "SetKeyColour";
    case DeviceMethod::SetDpiStage:
        return "SetDpiStage";
    case DeviceMethod::SetActiveStage:
        return "SetActiveStage";
    case DeviceMethod::SetReportRate:
        return "SetReportRate";
    case DeviceMethod::SetOption:
        return "SetOption";
    case DeviceMethod::SetEqualiser:
        return "SetEqualiser";
    case DeviceMethod::SdkStatus:
        return "SdkStatus";
    }
    return "";
}

const char* DeviceCallErrorName(DeviceCallStatus status) {
    for (const auto& [known, name] : kErrorNames) {
        if (known == status) {
            return name;
        }
    }
    return nullptr;
}

std::optional<DeviceCallStatus> DeviceCallStatusOfError(std::string_view name) {
    for (const auto& [status, known] : kErrorNames) {
        if (name == known) {
            return status;
        }
    }
    return std::nullopt;
}

} // namespace velkor
