#include "lighting/LightModel.h"

#include <array>
#include <cstring>

namespace velkor {

namespace {

static_assert(sizeof(LightInfoRecord) == kLightByteCount);

// One row of an enabling table: the modes it covers and its groups.
struct RuleRow {
    // The modes the row covers; -1 ends the list (an empty list is the "any other mode" row).
    std::array<int, 10> modes;
    bool colour, palette, sevenColor, brightness, speed, direction, colourTab, sameMode;
};

// Keyboard rows (colour, palette, 7-colour, brightness, speed, direction, colour tab, same).
// Modes with extras (3, 12, 17, 18, 19, 21, 24, 29) are finished in KeyboardRules.
const std::array<RuleRow, 18> kKeyboardRows = {{
    {{1, 2, -1}, 1, 1, 1, 1, 1, 1, 1, 0},
    {{3, 24, -1}, 1, 1, 1, 1, 1, 1, 1, 0},
    {{4, -1}, 0, 0, 0, 1, 1, 0, 0, 1},
    {{5, 23, -1}, 1, 1, 1, 1, 1, 0, 1, 1},
    {{6, -1}, 1, 1, 1, 1, 0, 0, 1, 1},
    {{7, 8, 9, 10, 13, 14, 15, 22, 25, -1}, 1, 1, 1, 1, 1, 0, 1, 0},
    {{11, 26, -1}, 0, 0, 0, 1, 1, 0, 0, 0},
    {{12, -1}, 0, 0, 0, 1, 1, 1, 1, 0},
    {{16, -1}, 1, 1, 1, 1, 0, 0, 1, 0},
    {{17, -1}, 0, 0, 0, 1, 1, 0, 0, 0},
    {{18, -1}, 0, 0, 0, 1, 0, 1, 0, 0},
    {{19, -1}, 1, 1, 0, 1, 0, 0, 1, 0},
    {{21, -1}, 1, 1, 1, 1, 1, 1, 1, 0},
    {{27, -1}, 0, 0, 0, 1, 1, 0, 1, 0},
    {{28, -1}, 0, 0, 0, 0, 0, 0, 1, 1},
    {{29, -1}, 1, 1, 1, 1, 0, 1, 1, 0},
    {{30, -1}, 0, 0, 0, 1, 0, 0, 0, 0},
    // 0, 20, 31 and above: the last row.
    {{-1}, 0, 0, 0, 0, 0, 0, 1, 0},
}};

// Mouse rows (no colour-tab column).
const std::array<RuleRow, 7> kMouseRows = {{
    {{0, 5, -1}, 1, 1, 1, 1, 1, 1, 0, 0},
    {{1, -1}, 0, 0, 0, 1, 1, 0, 0, 1},
    {{2, 4, 6, -1}, 1, 1, 1, 1, 1, 0, 0, 1},
    {{3, -1}, 1, 1, 0, 1, 0, 0, 0, 1},
    {{7, 8, -1}, 0, 0, 0, 1, 1, 0, 0, 0},
    {{9, -1}, 0, 0, 0, 0, 0, 0, 0, 1},
    {{-1}, 0, 0, 0, 0, 0, 0, 0, 0},
}};

// Mouse-pad and headset rows.
const std::array<RuleRow, 6> kPadRows = {{
    {{0, -1}, 1, 1, 1, 1, 1, 1, 0, 0},
    {{1, -1}, 0, 0, 0, 1, 1, 0, 0, 1},
    {{2, 4, -1}, 1, 1, 1, 1, 1, 0, 0, 1},
    {{3, -1}, 1, 1, 0, 1, 0, 0, 0, 1},
    {{8, -1}, 0, 0, 0, 0, 0, 0, 0, 1},
    {{-1}, 0, 0, 0, 0, 0, 0, 0, 0},
}};

template <size_t N> const RuleRow& FindRow(const std::array<RuleRow, N>& rows, int mode) {
    for (const RuleRow& row : rows) {
        for (int m : row.modes) {
            if (m < 0) {
                break;
            }
            if (m == mode) {
                return row;
            }
        }
    }
    return rows.back();
}

LightGroupRules FromRow(const RuleRow& row) {
    LightGroupRules rules;
    rules.applies = true;
    rules.colour = row.colour;
    rules.palette = row.palette;
    rules.sevenColor = row.sevenColor;
    rules.brightness = row.brightness;
    rules.speed = row.speed;
    rules.direction = row.direction;
    rules.colourTab = row.colourTab;
    rules.sameMode = row.sameMode;
    return rules;
}

LightGroupRules KeyboardRules(int mode) {
    LightGroupRules rules = FromRow(FindRow(kKeyboardRows, mode));
    rules.keyboard = true;
    rules.leftText = kTextRightToLeft;
    rules.rightText = kTextLeftToRight;
    switch (mode) {
    case 3:
    case 24:
        rules.leftText = kTextClockwise;
        rules.rightText = kTextAnticlockwise;
        break;
    case 12:
        rules.leftText = kTextDownToUp;
        rules.rightText = kTextUpToDown;
        break;
    case 21:
        rules.leftText = kTextUpToDown;
        rules.rightText = kTextDownToUp;
        break;
    case 18:
        rules.leftText = kTextOutsideToInside;
        rules.rightText = kTextInsideToOutside;
        break;
    case 17:
        rules.speedVisible = false;
        rules.zzcc = true;
        break;
    case 19:
        rules.speedVisible = false;
        rules.customGroups = true;
        break;
    case 29:
        rules.speedVisible = false;
        rules.audio = true;
        rules.colourPage = 1;
        break;
    default:
        break;
    }
    return rules;
}

} // namespace

uint8_t GetLightByte(const LightInfoRecord& record, size_t index) {
    if (index >= kLightByteCount) {
        return 0;
    }
    uint8_t bytes[kLightByteCount];
    std::memcpy(bytes, &record, kLightByteCount);
    return bytes[index];
}

bool SetLightByte(LightInfoRecord& record, size_t index, uint8_t value) {
    if (index >= kLightByteCount) {
        return false;
    }
    uint8_t bytes[kLightByteCount];
    std::memcpy(bytes, &record, kLightByteCount);
    bytes[index] = value;
    std::memcpy(&record, bytes, kLightByteCount);
    return true;
}

LightFamily LightFamilyOf(DeviceClass deviceClass) {
    switch (deviceClass) {
    case DeviceClass::Keyboard:
        return LightFamily::Keyboard;
    case DeviceClass::Mouse:
        return LightFamily::Mouse;
    case DeviceClass::MousePad:
    case DeviceClass::Headset:
        return LightFamily::PadOrHeadset;
    case DeviceClass::None:
        break;
    }
    return LightFamily::None;
}

LightGroupRules LightRulesFor(DeviceClass deviceClass, int mode) {
    switch (LightFamilyOf(deviceClass)) {
    case LightFamily::Keyboard:
        return KeyboardRules(mode);
    case LightFamily::Mouse:
        return FromRow(FindRow(kMouseRows, mode));
    case LightFamily::PadOrHeadset:
        return FromRow(FindRow(kPadRows, mode));
    case LightFamily::None:
        break;
    }
    return {};
}

namespace {

// Modes per effect (breathing, steady, blink, cycle, off) and family.
constexpr std::array<int, kSyncEffectCount> kKeyboardSyncModes = {5, 6, 23, 4, 28};
constexpr std::array<int, kSyncEffectCount> kMouseSyncModes = {2, 3, 4, 1, 9};
constexpr std::array<int, kSyncEffectCount> kPadSyncModes = {2, 3, 4, 1, 8};

const std::array<int, kSyncEffectCount>* SyncModesOf(DeviceClass deviceClass) {
    switch (LightFamilyOf(deviceClass)) {
    case LightFamily::Keyboard:
        return &kKeyboardSyncModes;
    case LightFamily::Mouse:
        return &kMouseSyncModes;
    case LightFamily::PadOrHeadset:
        return &kPadSyncModes;
    case LightFamily::None:
        break;
    }
    return nullptr;
}

} // namespace

std::optional<SyncEffect> SyncEffectOfMode(DeviceClass deviceClass, int mode) {
    const auto* modes = SyncModesOf(deviceClass);
    if (modes == nullptr) {
        return std::nullopt;
    }
    for (int effect = 0; effect < kSyncEffectCount; ++effect) {
        if ((*modes)[size_t(effect)] == mode) {
            return SyncEffect(effect);
        }
    }
    return std::nullopt;
}

int ModeOfSyncEffect(DeviceClass deviceClass, SyncEffect effect) {
    const auto* modes = SyncModesOf(deviceClass);
    const size_t index = size_t(effect);
    if (modes == nullptr || index >= modes->size()) {
        return -1;
    }
    return (*modes)[index];
}

} // namespace velkor
