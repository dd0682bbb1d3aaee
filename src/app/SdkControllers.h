#pragma once
// What other lighting programs see of an attached device through the SDK
// server: one controller per device, with the modes the lighting panel
// offers (the visible entries of its mode list, with the ranges the panel's
// controls have for that mode), plus "Direct" for the kinds whose colours the
// host streams; and the reverse, a client's mode as the device API's lighting
// fields. User-interface thread (it reads pages and panels).
#include "platform/bus/DeviceBusTypes.h"
#include "sdk/SdkWire.h"

#include <string>
#include <vector>

namespace velkor {

class CTolvanicUSBDevice;
struct ModelDescription;
namespace ui {
class TextProvider;
}

inline constexpr int kSdkDirectMode = -1;

struct SdkDevice {
    sdk::Controller controller;
    // By client mode index: the device's mode number, or kSdkDirectMode.
    std::vector<int> modeNumbers;
    // By controller LED: the LED of the device's buffer (the on-screen key for a keyboard).
    std::vector<int> ledTargets;
};

// `id` is the device API's id, `channel` "cable" or "receiver".
SdkDevice DescribeForSdk(CTolvanicUSBDevice& device, const ModelDescription& model, const std::string& id,
                         const std::string& channel, const ui::TextProvider* texts);

// The lighting fields of mode number `mode` set as `requested` (only the
// fields that mode has). Brightness and speed keep their 0..4 range here:
// out of it, the device API refuses them.
BusDict LightFieldsOf(const sdk::Mode& requested, int mode, uint32_t flags);

} // namespace velkor
