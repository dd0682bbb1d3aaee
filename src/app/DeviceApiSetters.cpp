// The device API's setters: each checks everything it is given first, then
// takes the road of the page control that sets the same thing.
#include "app/CMainWnd.h"
#include "app/DeviceApiParts.h"
#include "app/DevicePanels.h"
#include "devices/MouseSettings.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "devices/TolvanicMouseDevice.h"
#include "headset/HeadsetPanels.h"
#include "headset/TolvanicHS6533Device.h"
#include "lighting/CLightControlUI.h"
#include "lighting/LightCommit.h"
#include "profiles/Hs6533Profiledata.h"
#include "ui/Control.h"

#include <algorithm>
#include <iterator>

namespace velkor {

namespace {

constexpr int kLevelMax = 4; // brightness and speed sliders
constexpr int kKeyboardRateOptions = 4;
constexpr int kRepeatDelayOptions = 4;
constexpr int kEqBandMin = -20;
constexpr int kEqBandMax = 20;

const char* TypeName(const BusValue& value) {
    static constexpr const char* kNames[] = {"a boolean", "an integer", "a string", "a string list",
                                             "an integer list"};
    return kNames[value.index()];
}

DeviceReply WrongType(const std::string& key, const BusValue& value, const char* wanted) {
    return Invalid(key + " must be " + wanted + ", not " + TypeName(value));
}

// The control of a page by name, or null.
ui::Control* PageControl(CTolvanicUSBDevice& device, const std::string& name) {
    ui::Control* page = device.Presenter().Page();
    return page != nullptr ? page->FindChild(name) : nullptr;
}

// The lighting fields checked and laid over `record`.
struct LightChange {
    LightInfoRecord record;
};

DeviceReply ReadLightField(const CTolvanicUSBDevice& device, const ui::TextProvider* texts,
                           const std::string& key, const BusValue& value, LightChange& change) {
    LightInfoRecord& record = change.record;
    const auto* number = std::get_if<int32_t>(&value);
    const auto* text = std::get_if<std::string>(&value);
    if (key == "effect") {
        int mode = -1;
        if (number != nullptr) {
            mode = device.Paths().NameLists().ModeVisible(*number) ? *number : -1;
        } else if (text != nullptr) {
            mode = FindEffect(device, texts, *text);
        } else {
            return WrongType(key, value, "a name or a position");
        }
        if (mode < 0 || mode > 255) {
            return Invalid("the device shows no effect " +
                           (text != nullptr ? "\"" + *text + "\"" : std::to_string(number ? *number : -1)));
        }
        record.selectItem = uint8_t(mode);
    } else if (key == "brightness" || key == "speed") {
        if (number == nullptr) {
            return WrongType(key, value, "an integer");
        }
        if (*number < 0 || *number > kLevelMax) {
            return Invalid(key + " must lie in 0..4");
        }
        (key == "brightness" ? record.light : record.speed) = uint8_t(*number);
    } else if (key == "direction") {
        if (text == nullptr || (*text != "left" && *text != "right")) {
            return Invalid("direction must be \"left\" or \"right\"");
        }
        record.fx = *text == "left" ? 1 : 0;
    } else if (key == "colour") {
        std::optional<uint32_t> rgb;
        if (text != nullptr) {
            rgb = ParseColourText(*text);
        } else if (number != nullptr && *number >= 0 && *number <= 0xFFFFFF) {
            rgb = uint32_t(*number);
        } else if (number == nullptr) {
            return WrongType(key, value, "\"#rrggbb\", \"r,g,b\" or 0xRRGGBB");
        }
        if (!rgb) {
            return Invalid("colour must be \"#rrggbb\", \"r,g,b\" or 0xRRGGBB");
        }
        record.red = uint8_t(*rgb >> 16);
        record.green = uint8_t(*rgb >> 8);
        record.blue = uint8_t(*rgb);
        record.multiColor = 0; // a chosen colour ends the colourful effect, as on the page
    } else if (key == "colourful") {
        const auto* flag = std::get_if<bool>(&value);
        if (flag == nullptr && (number == nullptr || (*number != 0 && *number != 1))) {
            return WrongType(key, value, "a boolean");
        }
        record.multiColor = (flag != nullptr ? *flag : *number == 1) ? 1 : 0;
    } else {
        return Invalid("unknown lighting field " + key +
                       " (effect, brightness, speed, direction, colour, colourful)");
    }
    return {};
}

} // namespace

DeviceReply SetLighting(const SetterContext& context, const DeviceApi::Target& target,
                        const BusDict& fields) {
    CTolvanicUSBDevice& device = *target.device;
    if (fields.empty()) {
        return Invalid("no lighting field given");
    }
    if (device.Paths().NameLists().ModeCount() == 0 || context.window.Lighting() == nullptr) {
        return Invalid(target.id + " has no lighting");
    }
    LightChange change{device.State().LightRecord()};
    // "colourful" after "colour" in one call: the flag given wins over the colour's reset.
    BusDict ordered = fields;
    std::stable_partition(ordered.begin(), ordered.end(),
                          [](const auto& f) { return f.first != "colourful"; });
    for (const auto& [key, value] : ordered) {
        if (DeviceReply refused = ReadLightField(device, context.texts, key, value, change);
            refused.status != DeviceCallStatus::Ok) {
            return refused;
        }
    }
    // Every field ends synchronised lighting, as each of the panel's controls
    // does (a colour as the palette's, not as a preset's).
    SetSynchronised(device, false);
    const int result = CommitLightRecord(device, change.record, context.window.Lighting()->Screen());
    if (CLightControlUI* panel = target.panels != nullptr ? target.panels->LightPanel() : nullptr) {
        panel->ShowLightInfo(change.record);
    }
    return FromResult(result, "lighting");
}

DeviceReply SetKeyColour(const SetterContext& context, const DeviceApi::Target& target, int key,
                         uint32_t rgb) {
    auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(target.device);
    if (keyboard == nullptr) {
        return Invalid(target.id + " has no per-key colours");
    }
    if (keyboard->State().LightRecord().selectItem != CTolvanicKeyboardDevice::kCustomColourEffect) {
        return Invalid("key colours apply to the custom effect only; select it first");
    }
    if (key < 0 || key >= keyboard->State().LightCount()) {
        return Invalid("key must lie in 0.." + std::to_string(keyboard->State().LightCount() - 1));
    }
    if (rgb > 0xFFFFFF) {
        return Invalid("rgb must be 0xRRGGBB");
    }
    // As the page: the colour is picked first, then the key is clicked.
    const LightInfoRecord light = keyboard->State().LightRecord();
    if (PanelColour(light.red, light.green, light.blue) != (0xFF000000u | rgb)) {
        BusDict colour{{"colour", int32_t(rgb)}};
        if (DeviceReply failed = SetLighting(context, target, colour);
            failed.status != DeviceCallStatus::Ok) {
            return failed;
        }
    }
    keyboard->PaintCustomKey(key);
    return {};
}

DeviceReply SetDpiStage(const DeviceApi::Target& target, int stage, int dpi) {
    auto* mouse = dynamic_cast<CTolvanicMouseDevice*>(target.device);
    if (mouse == nullptr) {
        return Invalid(target.id + " has no DPI stages");
    }
    if (stage < 1 || stage > kMouseStageCount) {
        return Invalid("stage must lie in 1.." + std::to_string(kMouseStageCount));
    }
    const MouseDpiLimits& limits = mouse->DpiLimits();
    if (limits.highestStep == 0) {
        // Read shortly after the mouse appears: worth trying again, not a fault.
        return DeviceReply::Error(DeviceCallStatus::Busy, "the mouse is still being read; try again");
    }
    const int lowest = DpiOfStep(limits, 0);
    if (dpi < lowest || dpi > MaxDpi(limits)) {
        return Invalid("dpi must lie in " + std::to_string(lowest) + ".." + std::to_string(MaxDpi(limits)));
    }
    // The stage's edit takes the typed value and loses the focus.
    const int n = stage - 1;
    const std::string text = std::to_string(dpi);
    if (ui::Control* edit = PageControl(*mouse, "DPI_edit_" + std::to_string(n))) {
        edit->SetText(text);
    }
    return FromResult(mouse->SetStageDpiText(n, text), "DPI stage");
}

DeviceReply SetActiveStage(const DeviceApi::Target& target, int stage) {
    auto* mouse = dynamic_cast<CTolvanicMouseDevice*>(target.device);
    if (mouse == nullptr) {
        return Invalid(target.id + " has no DPI stages");
    }
    if (stage < 1 || stage > kMouseStageCount) {
        return Invalid("stage must lie in 1.." + std::to_string(kMouseStageCount));
    }
    const int n = stage - 1;
    if (size_t(n) >= mouse->Stages().size() || mouse->Stages()[size_t(n)].active == 0) {
        return Invalid("stage " + std::to_string(stage) + " is switched off");
    }
    if (auto* check =
            ui::As<ui::SelectableControl>(PageControl(*mouse, "DPI_select_check_" + std::to_string(n)))) {
        check->SetSelected(true, false);
    }
    return FromResult(mouse->SetActiveDpiStage(n), "active stage");
}

DeviceReply SetReportRate(const DeviceApi::Target& target, int hz) {
    auto* mouse = dynamic_cast<CTolvanicMouseDevice*>(target.device);
    auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(target.device);
    const int options = mouse != nullptr ? kMouseReportRates : keyboard != nullptr ? kKeyboardRateOptions : 0;
    if (options == 0) {
        return Invalid(target.id + " has no report rate");
    }
    const auto* end = std::begin(kReportRatesHz) + options;
    const auto* found = std::find(std::begin(kReportRatesHz), end, hz);
    if (found == end) {
        std::string rates;
        for (const auto* r = std::begin(kReportRatesHz); r != end; ++r) {
            rates += (rates.empty() ? "" : ", ") + std::to_string(*r);
        }
        return Invalid("hz must be one of " + rates);
    }
    const int n = int(found - std::begin(kReportRatesHz));
    if (auto* option = ui::As<ui::SelectableControl>(
            PageControl(*target.device, "polling_rate_option_" + std::to_string(n)))) {
        option->SetSelected(true, false);
    }
    return FromResult(mouse != nullptr ? mouse->SelectPollingRate(n) : keyboard->SelectPollingRate(n),
                      "report rate");
}

DeviceReply SetOption(const DeviceApi::Target& target, const std::string& name, int value) {
    auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(target.device);
    if (keyboard == nullptr) {
        return Invalid(target.id + " has no options");
    }
    struct Flag {
        const char* option;
        const char* control;
        KeyboardFlag flag;
    };
    static constexpr Flag kFlags[] = {{"win-lock", "winlockflag_option", KeyboardFlag::WinLock},
                                      {"w-key", "wflag_option", KeyboardFlag::WKey},
                                      {"six-key", "6flag_option", KeyboardFlag::SixKey}};
    for (const Flag& flag : kFlags) {
        if (name != flag.option) {
            continue;
        }
        if (value != 0 && value != 1) {
            return Invalid(name + " must be 0 or 1");
        }
        if (auto* option = ui::As<ui::SelectableControl>(PageControl(*keyboard, flag.control))) {
            option->SetSelected(value == 1, false);
        }
        return FromResult(keyboard->SetOptionFlag(flag.flag, value == 1), name);
    }
    if (name == "repeat-delay") {
        if (value < 0 || value >= kRepeatDelayOptions) {
            return Invalid("repeat-delay must lie in 0..3");
        }
        if (auto* option = ui::As<ui::SelectableControl>(
                PageControl(*keyboard, "repeat_delay_check_" + std::to_string(value)))) {
            option->SetSelected(true, false);
        }
        keyboard->SelectRepeatDelay(value);
        return {};
    }
    if (name == "repeat-rate") {
        auto* slider = ui::As<ui::RangeControl>(PageControl(*keyboard, "repeat_rate_slider"));
        const int lowest = slider != nullptr ? slider->Minimum() : 0;
        const int highest = slider != nullptr ? slider->Maximum() : 255;
        if (value < lowest || value > highest) {
            return Invalid("repeat-rate must lie in " + std::to_string(lowest) + ".." +
                           std::to_string(highest));
        }
        if (slider != nullptr) {
            slider->SetValue(value);
        }
        keyboard->SetRepeatRate(value);
        return {};
    }
    return Invalid("unknown option " + name + " (win-lock, w-key, six-key, repeat-delay, repeat-rate)");
}

DeviceReply SetEqualiser(const DeviceApi::Target& target, const BusDict& fields) {
    auto* headset = dynamic_cast<CTolvanicHS6533Device*>(target.device);
    if (headset == nullptr) {
        return Invalid(target.id + " has no equaliser");
    }
    const BusValue* preset = FindBusValue(fields, "preset");
    const BusValue* bands = FindBusValue(fields, "bands");
    if (fields.size() != 1 || (preset == nullptr && bands == nullptr)) {
        return Invalid("give either preset (1.." + std::to_string(CHs6533Profiledata::kCustomEqType) +
                       ") or bands (" + std::to_string(kEqBandCount) + " values)");
    }
    const auto* type = preset != nullptr ? std::get_if<int32_t>(preset) : nullptr;
    const auto* values = bands != nullptr ? std::get_if<std::vector<int32_t>>(bands) : nullptr;
    if (preset != nullptr && type == nullptr) {
        return WrongType("preset", *preset, "an integer");
    }
    if (bands != nullptr && values == nullptr) {
        return WrongType("bands", *bands, "an integer list");
    }
    if (type != nullptr && (*type < 1 || *type > CHs6533Profiledata::kCustomEqType)) {
        return Invalid("preset must lie in 1.." + std::to_string(CHs6533Profiledata::kCustomEqType));
    }
    if (values != nullptr && (values->size() != kEqBandCount ||
                              std::any_of(values->begin(), values->end(),
                                          [](int32_t v) { return v < kEqBandMin || v > kEqBandMax; }))) {
        return Invalid("bands must be " + std::to_string(kEqBandCount) + " values in -20..20");
    }
    const AudioAvailability available = headset->Availability(AudioGroup::Equaliser);
    if (!available.available) {
        return DeviceReply::Error(DeviceCallStatus::DeviceFailed,
                                  "the equaliser cannot work: " + available.reason);
    }
    // As the panel: the headset takes what the panel shows, then the control acts.
    HeadsetView& view = headset->View();
    if (CVoice6533ControlUI* panel = target.panels != nullptr ? target.panels->VoicePanel() : nullptr) {
        panel->Read(view);
    }
    if (type != nullptr) {
        headset->SelectEqPreset(*type);
    } else {
        for (size_t band = 0; band < kEqBandCount; ++band) {
            view.bandSliders[band] = (*values)[band];
            headset->SetEqBand(int(band));
        }
    }
    headset->RefreshView();
    return {};
}

} // namespace velkor
