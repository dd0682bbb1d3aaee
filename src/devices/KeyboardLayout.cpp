#include "devices/KeyboardLayout.h"

#include "devices/LightTables.h"

#include <algorithm>

namespace velkor {

namespace {

// Language index -> layout page of the regional board.
constexpr std::array<int, 9> kRegionalPages = {0, 0, 0, 2, 0, 0, 1, 3, 4};

constexpr int kRightShiftKey = 95;
constexpr uint8_t kRightShiftLed = 97;

bool Holds(std::span<const uint8_t> keyList, int position, const KeyFunction& function) {
    const std::optional<KeyFunction> at = ReadDeviceKey(keyList, size_t(position));
    return at.has_value() && at->SameFunction(function);
}

} // namespace

int KeyboardLayoutPage(bool regionalLayouts, int languageIndex, int current) {
    if (!regionalLayouts) {
        return 0;
    }
    if (languageIndex < 0 || size_t(languageIndex) >= kRegionalPages.size()) {
        return current;
    }
    return kRegionalPages[size_t(languageIndex)];
}

KeyboardKeyMaps BuildKeyboardKeyMaps(std::span<const uint8_t> keyList, std::span<const uint8_t> lightMap,
                                     int positions, std::span<const KeyFunction> written) {
    KeyboardKeyMaps maps;
    positions = std::clamp(positions, 0, int(std::min(keyList.size() / 3, kScreenKeyCount)));
    std::array<bool, kScreenKeyCount> taken{};
    auto claim = [&](int key, const KeyFunction& function) {
        if (IsNoKey(function)) {
            return false; // an empty position is no key's place
        }
        for (int p = 0; p < positions; ++p) {
            if (!taken[size_t(p)] && Holds(keyList, p, function)) {
                taken[size_t(p)] = true;
                maps.position[size_t(key)] = uint8_t(p);
                return true;
            }
        }
        return false;
    };
    for (int key = 0; key < int(kScreenKeyCount); ++key) {
        claim(key, KeyIdentity(key));
    }
    for (int key = 0; key < int(kScreenKeyCount) && size_t(key) < written.size(); ++key) {
        if (maps.position[size_t(key)] == kNoPosition && !IsNoKey(key)) {
            claim(key, written[size_t(key)]);
        }
    }
    for (size_t key = 0; key < kScreenKeyCount; ++key) {
        const uint8_t p = maps.position[key];
        if (p != kNoPosition && p < lightMap.size()) {
            maps.lightSlot[key] = lightMap[p];
        }
    }
    return maps;
}

KeyTransferBuffer ComposeKeyTable(std::span<const uint8_t> deviceKeyList, const KeyboardKeyMaps& maps,
                                  int positions, std::span<const KeyFunction> functions) {
    KeyTransferBuffer table{};
    std::copy_n(deviceKeyList.begin(), std::min(deviceKeyList.size(), table.size()), table.begin());
    const size_t count = std::min(functions.size(), kScreenKeyCount);
    for (size_t key = 0; key < count; ++key) {
        const uint8_t p = maps.position[key];
        if (p != kNoPosition && int(p) < positions) {
            WriteDeviceKey(table, p, functions[key]);
        }
    }
    return table;
}

void FillColourFrame(KeyTransferBuffer& frame, std::span<const uint32_t> leds, const KeyboardKeyMaps& maps,
                     ColourFrameRule rule) {
    frame.fill(0);
    const size_t count = std::min(leds.size(), kScreenKeyCount);
    for (size_t key = 0; key < count; ++key) {
        uint8_t slot = maps.lightSlot[key];
        if (rule == ColourFrameRule::CustomGroup && key == kRightShiftKey) {
            slot = kRightShiftLed;
        }
        if (slot >= kLightSlotLimit) {
            continue;
        }
        const uint32_t led = leds[key];
        uint8_t* out = frame.data() + size_t(slot) * 3;
        if (rule == ColourFrameRule::Scaled) {
            const uint8_t level = LedLevel(led);
            out[0] = ScaleChannel(LedRed(led), level);
            out[1] = ScaleChannel(LedGreen(led), level);
            out[2] = ScaleChannel(LedBlue(led), level);
        } else {
            out[0] = LedRed(led);
            out[1] = LedGreen(led);
            out[2] = LedBlue(led);
        }
    }
}

} // namespace velkor
