#pragma once
// The SDK server's choice in the settings file: "SdkServer" (on or off) and
// "SdkPort". A missing or damaged value reads as off and the default port.
#include "sdk/SdkWire.h"

#include <cstdint>
#include <string>

namespace velkor {

struct SdkServerChoice {
    bool on = false;
    uint16_t port = sdk::kSdkDefaultPort;
    bool operator==(const SdkServerChoice&) const = default;
};

SdkServerChoice ReadSdkServerChoice(const std::string& settingsPath);
// False when the file cannot be written (or there is none).
bool WriteSdkServerChoice(const std::string& settingsPath, const SdkServerChoice& choice);

} // namespace velkor
