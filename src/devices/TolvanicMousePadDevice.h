#pragma once
// CTolvanicMousePadDevice: the family's illuminated mouse pad, on its cable.
//
// Everything it does is the shared pad-like device (PadLightingDevice.h) on a
// plain profile, with the pad's effects and its page's LED container.
#include "devices/PadLightingDevice.h"
#include "profiles/BasicProfiledata.h"

#include <string_view>

namespace velkor {

class CTolvanicMousePadDevice final : public CPadLightingDevice {
public:
    static constexpr std::string_view kClassName = "TolvanicMousePadDevice";
    static constexpr std::string_view kLightContainer = "mousepad_device_key_light";
    static constexpr DeviceClass kKindTag = DeviceClass::MousePad;

    explicit CTolvanicMousePadDevice(const DeviceServices& services)
        : CPadLightingDevice(services, {kKindTag, kLightContainer, leds::PadEffects(), "mouse pad"},
                             m_padProfile) {}
    ~CTolvanicMousePadDevice() override = default;

    std::string_view ClassName() const override { return kClassName; }

private:
    // Only its address is used before it is built (CPadLightingDevice keeps it).
    CBasicProfiledata m_padProfile;
};

} // namespace velkor
