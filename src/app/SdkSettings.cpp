#include "app/SdkSettings.h"

#include "profiles/SettingsFile.h"

namespace velkor {

namespace {
constexpr const char* kOn = "SdkServer";
constexpr const char* kPort = "SdkPort";
} // namespace

SdkServerChoice ReadSdkServerChoice(const std::string& settingsPath) {
    SdkServerChoice choice;
    if (settingsPath.empty()) {
        return choice;
    }
    const Json::Value settings = ReadSettings(settingsPath);
    if (!settings.isObject()) {
        return choice;
    }
    const Json::Value& on = settings[kOn];
    choice.on = on.isBool() && on.asBool();
    const Json::Value& port = settings[kPort];
    if (port.isIntegral() && port.isInt64() && port.asInt64() >= 1 && port.asInt64() <= 65535) {
        choice.port = uint16_t(port.asInt64());
    }
    return choice;
}

bool WriteSdkServerChoice(const std::string& settingsPath, const SdkServerChoice& choice) {
    return !settingsPath.empty() && WriteSetting(settingsPath, kOn, Json::Value(choice.on)) &&
           WriteSetting(settingsPath, kPort, Json::Value(int(choice.port)));
}

} // namespace velkor
