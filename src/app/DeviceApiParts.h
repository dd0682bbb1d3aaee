#pragma once
// The pieces of DeviceApi (DeviceApiSettings.cpp, DeviceApiSetters.cpp):
// what a device's settings read as, how the setters' values are understood,
// and the setters themselves. User-interface thread.
#include "app/DeviceApi.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor {

struct ScreenSize;

// The report rates of the rate options, by option number.
inline constexpr int32_t kReportRatesHz[] = {125, 250, 500, 1000, 2000};

// The settings of `device` as GetSettings gives them.
BusDict ReadDeviceSettings(CTolvanicUSBDevice& device, DevicePanelSet* panels, const ui::TextProvider* texts);

// "#rrggbb", "rrggbb" or "r,g,b" (each 0..255); nothing otherwise.
std::optional<uint32_t> ParseColourText(std::string_view text);
std::string ColourText(uint8_t red, uint8_t green, uint8_t blue);
// The mode of an effect name: the language key ("light_mode_breathing"), the
// key without "light_mode_" ("breathing", '-' for '_'), or the name the page
// shows, ignoring case; only modes the mode list shows. -1 when none or when
// the shown name is ambiguous.
int FindEffect(const CTolvanicUSBDevice& device, const ui::TextProvider* texts, std::string_view name);

// What the setters need beyond the call and the device.
struct SetterContext {
    CMainWnd& window;
    const ui::TextProvider* texts;
};

// The setters (SelectProfile lives in DeviceApi.cpp: it answers later).
DeviceReply SetLighting(const SetterContext& context, const DeviceApi::Target& target, const BusDict& fields);
DeviceReply SetKeyColour(const SetterContext& context, const DeviceApi::Target& target, int key,
                         uint32_t rgb);
DeviceReply SetDpiStage(const DeviceApi::Target& target, int stage, int dpi);
DeviceReply SetActiveStage(const DeviceApi::Target& target, int stage);
DeviceReply SetReportRate(const DeviceApi::Target& target, int hz);
DeviceReply SetOption(const DeviceApi::Target& target, const std::string& name, int value);
DeviceReply SetEqualiser(const DeviceApi::Target& target, const BusDict& fields);

// InvalidArgs with `message`; DeviceFailed naming `result` when it is not 1; else Ok.
DeviceReply Invalid(std::string message);
DeviceReply FromResult(int result, std::string_view what);

} // namespace velkor
