#include "app/SdkControllers.h"

#include "devices/DeviceModels.h"
#include "devices/TolvanicUSBDevice.h"
#include "keys/KeyIdentityTable.h"
#include "keys/KeyTable.h"
#include "lighting/LightModel.h"
#include "ui/Control.h"
#include "ui/Toolkit.h"

#include <algorithm>
#include <map>

namespace velkor {

namespace {

constexpr uint32_t kLevelMax = 4; // the panel's brightness and speed sliders
constexpr const char* kVendor = "Tolvanic";

sdk::DeviceType TypeOf(DeviceClass deviceClass) {
    switch (deviceClass) {
    case DeviceClass::Mouse:
        return sdk::DeviceType::Mouse;
    case DeviceClass::MousePad:
        return sdk::DeviceType::Mousemat;
    case DeviceClass::Headset:
        return sdk::DeviceType::Headset;
    default:
        return sdk::DeviceType::Keyboard;
    }
}

const char* ZoneNameOf(DeviceClass deviceClass) {
    switch (deviceClass) {
    case DeviceClass::Mouse:
        return "Mouse";
    case DeviceClass::MousePad:
        return "Mouse pad edge";
    case DeviceClass::Headset:
        return "Headset";
    default:
        return "Keyboard";
    }
}

sdk::Mode ModeOf(const LightInfoRecord& light, const LightGroupRules& rules, std::string name, int number) {
    sdk::Mode mode;
    mode.name = std::move(name);
    mode.value = number;
    mode.flags = sdk::kManualSave;
    if (rules.speed && rules.speedVisible) {
        mode.flags |= sdk::kHasSpeed;
        mode.speedMax = kLevelMax;
        mode.speed = light.speed;
    }
    if (rules.brightness) {
        mode.flags |= sdk::kHasBrightness;
        mode.brightnessMax = kLevelMax;
        mode.brightness = light.light;
    }
    if (rules.direction) {
        mode.flags |= sdk::kHasDirectionLR;
        mode.direction = light.fx != 0 ? sdk::kDirectionLeft : sdk::kDirectionRight;
    }
    if (rules.colour) {
        mode.flags |= sdk::kHasModeSpecificColour;
        mode.coloursMin = mode.coloursMax = 1;
        mode.colours = {sdk::MakeColour(light.red, light.green, light.blue)};
        mode.colourMode = sdk::ColourMode::ModeSpecific;
    }
    if (rules.sevenColor) {
        mode.flags |= sdk::kHasRandomColour;
        if (light.multiColor != 0) {
            mode.colourMode = sdk::ColourMode::Random;
        }
    }
    return mode;
}

sdk::Mode DirectMode() {
    sdk::Mode mode;
    mode.name = "Direct";
    mode.value = kSdkDirectMode;
    mode.flags = sdk::kHasPerLedColour;
    mode.colourMode = sdk::ColourMode::PerLed;
    return mode;
}

std::string KeyNameOf(int key, const ui::TextProvider* texts) {
    const KeyTableRow* row = KeyRowAt(FindKeyByFunction(KeyIdentity(key)));
    return row != nullptr ? "Key: " + TextOrKey(texts, row->nameKey) : "Key " + std::to_string(key);
}

// The keys' places on the page as a grid: rows by their top edge, columns in
// steps of the narrowest key; a key whose cell is taken goes to the next free one.
void PlaceKeys(sdk::Zone& zone, const CTolvanicUSBDevice& device, const std::vector<int>& keys) {
    const auto& controls = device.Presenter().LightControls();
    std::vector<ui::Rect> rects;
    int narrowest = 0;
    std::vector<uint32_t> placed; // the zone's LEDs that have a key on the picture
    for (size_t i = 0; i < keys.size(); ++i) {
        const auto key = size_t(keys[i]);
        if (key >= controls.size() || controls[key] == nullptr || controls[key]->Geometry().width <= 0) {
            continue; // not on this board's picture: not in the grid
        }
        placed.push_back(uint32_t(i));
        rects.push_back(controls[key]->Geometry());
        const int width = rects.back().width;
        narrowest = narrowest == 0 ? width : std::min(narrowest, std::max(width, 1));
    }
    if (rects.empty() || narrowest <= 0) {
        return;
    }
    std::vector<int> tops;
    for (const ui::Rect& r : rects) {
        tops.push_back(r.y);
    }
    std::sort(tops.begin(), tops.end());
    std::vector<int> rowTops;
    for (int top : tops) {
        if (rowTops.empty() || top - rowTops.back() > rects[0].height / 2) {
            rowTops.push_back(top);
        }
    }
    int left = rects[0].x;
    for (const ui::Rect& r : rects) {
        left = std::min(left, r.x);
    }
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> cells;
    uint32_t width = 0;
    for (size_t i = 0; i < rects.size(); ++i) {
        const auto row =
            uint32_t(std::upper_bound(rowTops.begin(), rowTops.end(), rects[i].y) - rowTops.begin() - 1);
        uint32_t column = uint32_t((rects[i].x - left) / narrowest);
        while (cells.count({row, column}) != 0) {
            ++column;
        }
        cells[{row, column}] = placed[i];
        width = std::max(width, column + 1);
    }
    zone.type = sdk::ZoneType::Matrix;
    zone.matrixHeight = uint32_t(rowTops.size());
    zone.matrixWidth = width;
    zone.matrix.assign(size_t(zone.matrixHeight) * width, sdk::kNoLed);
    for (const auto& [cell, led] : cells) {
        zone.matrix[size_t(cell.first) * width + cell.second] = led;
    }
}

} // namespace

SdkDevice DescribeForSdk(CTolvanicUSBDevice& device, const ModelDescription& model, const std::string& id,
                         const std::string& channel, const ui::TextProvider* texts) {
    SdkDevice out;
    sdk::Controller& c = out.controller;
    const DeviceClass deviceClass = ClassOfKind(device.State().Identity().kind);
    c.type = TypeOf(deviceClass);
    c.name = TextOrKey(texts, model.nameKey);
    c.vendor = kVendor;
    c.description = std::string(ClassWord(deviceClass)) + " on its " + channel + " (" + id + ")";
    c.location = "USB " + channel + ": " + id;

    const LightInfoRecord light = device.State().LightRecord();
    const DeviceNameLists& lists = device.Paths().NameLists();
    for (int number = 0; number < lists.ModeCount(); ++number) {
        if (!lists.ModeVisible(number)) {
            continue;
        }
        if (number == light.selectItem) {
            c.activeMode = int32_t(out.modeNumbers.size());
        }
        c.modes.push_back(ModeOf(light, LightRulesFor(deviceClass, number),
                                 TextOrKey(texts, lists.modeNames[size_t(number)]), number));
        out.modeNumbers.push_back(number);
    }
    const bool direct = device.DirectActive();
    if (device.OffersDirect()) {
        if (direct) {
            c.activeMode = int32_t(out.modeNumbers.size());
        }
        c.modes.push_back(DirectMode());
        out.modeNumbers.push_back(kSdkDirectMode);
    }

    const int count = device.State().LightCount();
    sdk::Zone zone;
    zone.name = ZoneNameOf(deviceClass);
    zone.type = sdk::ZoneType::Linear;
    for (int led = 0; led < count; ++led) {
        // Every on-screen key with a key behind it: the list stays the same
        // before and after the board is read (a key it lacks shows nothing).
        if (deviceClass == DeviceClass::Keyboard && (IsNoKey(led) || size_t(led) >= kScreenKeyCount)) {
            continue;
        }
        out.ledTargets.push_back(led);
        c.leds.push_back(
            {deviceClass == DeviceClass::Keyboard ? KeyNameOf(led, texts) : "LED " + std::to_string(led + 1),
             uint32_t(led)});
    }
    zone.ledCount = uint32_t(out.ledTargets.size());
    if (deviceClass == DeviceClass::Keyboard) {
        PlaceKeys(zone, device, out.ledTargets);
    }
    if (zone.ledCount > 0) {
        c.zones.push_back(std::move(zone));
    }
    device.State().Leds().With([&](const LedFrame& frame) {
        for (int led : out.ledTargets) {
            const uint32_t packed = size_t(led) < frame.leds.size() ? frame.leds[size_t(led)] : 0;
            c.colours.push_back(packed & 0xFFFFFFu); // the same byte order, without the level
        }
    });
    return out;
}

BusDict LightFieldsOf(const sdk::Mode& requested, int mode, uint32_t flags) {
    BusDict fields{{"effect", int32_t(mode)}};
    if (flags & sdk::kHasBrightness) {
        fields.emplace_back("brightness", int32_t(std::min<uint32_t>(requested.brightness, INT32_MAX)));
    }
    if (flags & sdk::kHasSpeed) {
        fields.emplace_back("speed", int32_t(std::min<uint32_t>(requested.speed, INT32_MAX)));
    }
    if (flags & sdk::kHasDirectionLR) {
        fields.emplace_back("direction",
                            std::string(requested.direction == sdk::kDirectionLeft ? "left" : "right"));
    }
    if ((flags & sdk::kHasModeSpecificColour) && !requested.colours.empty()) {
        const sdk::Colour colour = requested.colours.front();
        const int32_t rgb = int32_t((colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF));
        fields.emplace_back("colour", rgb);
    }
    if (flags & sdk::kHasRandomColour) {
        fields.emplace_back("colourful", requested.colourMode == sdk::ColourMode::Random);
    }
    return fields;
}

} // namespace velkor
