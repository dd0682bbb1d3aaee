// What a device's settings read as, and how the setters' values are understood.
#include "app/DeviceApiParts.h"
#include "app/DevicePanels.h"
#include "devices/MouseSettings.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "devices/TolvanicMouseDevice.h"
#include "headset/TolvanicHS6533Device.h"
#include "transport/DeviceTransport.h"
#include "ui/Toolkit.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace velkor {

namespace {

constexpr std::string_view kModeKeyPrefix = "light_mode_";

std::string Folded(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c == '-' || c == ' ' ? '_' : char(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

void AddProfile(BusDict& out, DevicePanelSet* panels) {
    CDeviceProfileUI* bar = panels != nullptr ? panels->ProfileBar() : nullptr;
    if (bar == nullptr) {
        return;
    }
    const std::vector<std::string> names = bar->ProfileNames();
    const int index = bar->GetSelectedIndex();
    out.emplace_back("profile", int32_t(index));
    out.emplace_back("profile-name", index >= 0 && size_t(index) < names.size() ? names[size_t(index)] : "");
    out.emplace_back("profiles", names);
}

void AddLighting(BusDict& out, const CTolvanicUSBDevice& device, const ui::TextProvider* texts) {
    const LightInfoRecord light = device.State().LightRecord();
    const DeviceNameLists& lists = device.Paths().NameLists();
    const int mode = light.selectItem;
    out.emplace_back("effect", int32_t(mode));
    out.emplace_back("effect-name", mode < lists.ModeCount() ? TextOrKey(texts, lists.modeNames[size_t(mode)])
                                                             : std::string());
    out.emplace_back("brightness", int32_t(light.light));
    out.emplace_back("speed", int32_t(light.speed));
    out.emplace_back("direction", std::string(light.fx != 0 ? "left" : "right"));
    out.emplace_back("colour", ColourText(light.red, light.green, light.blue));
    out.emplace_back("colourful", light.multiColor != 0);
}

void AddMouse(BusDict& out, const CTolvanicMouseDevice& mouse) {
    std::vector<int32_t> dpi;
    std::vector<int32_t> enabled;
    for (int n = 0; n < kMouseStageCount; ++n) {
        const bool present = size_t(n) < mouse.Stages().size();
        const DpiStage stage = present ? mouse.Stages()[size_t(n)] : DpiStage{};
        dpi.push_back(DpiOfStep(mouse.DpiLimits(), stage.dpiX));
        enabled.push_back(stage.active != 0 ? 1 : 0);
    }
    out.emplace_back("dpi-stages", dpi);
    out.emplace_back("enabled-stages", enabled);
    out.emplace_back("active-stage", int32_t(mouse.ActiveStage() + 1));
    const int rate = mouse.SystemRecord().reportStage;
    out.emplace_back("report-rate", rate < kMouseReportRates ? kReportRatesHz[rate] : 0);
}

void AddKeyboard(BusDict& out, const CTolvanicKeyboardDevice& keyboard) {
    const KeyboardSystemRecord& system = keyboard.SystemRecord();
    out.emplace_back("win-lock", int32_t(system.winFlag));
    out.emplace_back("w-key", int32_t(system.wFlag));
    out.emplace_back("six-key", int32_t(system.key6Flag));
    out.emplace_back("repeat-delay", int32_t(system.repeatDelay));
    out.emplace_back("repeat-rate", int32_t(system.repeat));
    out.emplace_back("report-rate", system.pollingRate < 4 ? kReportRatesHz[system.pollingRate] : 0);
}

void AddHeadset(BusDict& out, CTolvanicHS6533Device& headset) {
    const HeadsetSystemRecord& settings = headset.Settings();
    out.emplace_back("equaliser-preset", settings.eqType);
    out.emplace_back("equaliser-bands", headset.BandValues());
    out.emplace_back("microphone", settings.micInValue);
    out.emplace_back("microphone-on", !headset.MicMuted());
    out.emplace_back("monitoring", settings.micMonitorValue);
    out.emplace_back("monitoring-on", !headset.MonitorMuted());
}

} // namespace

BusDict ReadDeviceSettings(CTolvanicUSBDevice& device, DevicePanelSet* panels,
                           const ui::TextProvider* texts) {
    BusDict out;
    AddProfile(out, panels);
    AddLighting(out, device, texts);
    if (const auto* mouse = dynamic_cast<const CTolvanicMouseDevice*>(&device)) {
        AddMouse(out, *mouse);
    } else if (const auto* keyboard = dynamic_cast<const CTolvanicKeyboardDevice*>(&device)) {
        AddKeyboard(out, *keyboard);
    } else if (auto* headset = dynamic_cast<CTolvanicHS6533Device*>(&device)) {
        AddHeadset(out, *headset);
    }
    return out;
}

std::optional<uint32_t> ParseColourText(std::string_view text) {
    const auto number = [](std::string_view part, int base, uint32_t& value) {
        const char* end = part.data() + part.size();
        const auto [ptr, ec] = std::from_chars(part.data(), end, value, base);
        return !part.empty() && ec == std::errc() && ptr == end;
    };
    if (!text.empty() && text[0] == '#') {
        text.remove_prefix(1);
    }
    uint32_t value = 0;
    if (text.size() == 6 && text.find(',') == std::string_view::npos) {
        return number(text, 16, value) ? std::optional<uint32_t>(value) : std::nullopt;
    }
    uint32_t rgb = 0;
    for (int channel = 0; channel < 3; ++channel) {
        const size_t comma = text.find(',');
        if ((channel < 2) != (comma != std::string_view::npos)) {
            return std::nullopt;
        }
        std::string_view part = text.substr(0, comma);
        while (!part.empty() && part.front() == ' ') {
            part.remove_prefix(1);
        }
        if (!number(part, 10, value) || value > 255) {
            return std::nullopt;
        }
        rgb = rgb << 8 | value;
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return rgb;
}

std::string ColourText(uint8_t red, uint8_t green, uint8_t blue) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", red, green, blue);
    return text;
}

int FindEffect(const CTolvanicUSBDevice& device, const ui::TextProvider* texts, std::string_view name) {
    const DeviceNameLists& lists = device.Paths().NameLists();
    const std::string wanted = Folded(name);
    int shownMatch = -1;
    int shownMatches = 0;
    for (int mode = 0; mode < lists.ModeCount(); ++mode) {
        if (!lists.ModeVisible(mode)) {
            continue;
        }
        const std::string key = Folded(lists.modeNames[size_t(mode)]);
        const bool keyMatch = key == wanted || (key.rfind(kModeKeyPrefix, 0) == 0 &&
                                                key.substr(kModeKeyPrefix.size()) == wanted);
        if (keyMatch) {
            return mode;
        }
        if (Folded(TextOrKey(texts, lists.modeNames[size_t(mode)])) == wanted) {
            shownMatch = mode;
            ++shownMatches;
        }
    }
    return shownMatches == 1 ? shownMatch : -1;
}

DeviceReply Invalid(std::string message) {
    return DeviceReply::Error(DeviceCallStatus::InvalidArgs, std::move(message));
}

DeviceReply FromResult(int result, std::string_view what) {
    if (result == kResultOk) {
        return {};
    }
    return DeviceReply::Error(DeviceCallStatus::DeviceFailed, std::string(what) + ": the device answered " +
                                                                  std::to_string(result) + " (" +
                                                                  ResultMeaning(result) + ")");
}

} // namespace velkor
