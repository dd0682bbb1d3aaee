#pragma once
// The names a device's panels show, read from the data files by ReloadPanels:
// macro names for the key assignment panel, the lighting panel's mode list
// (names, visible flags and the device's own effect codes, all indexed by
// mode number), area names and the user's custom effect names.
#include <cstdint>
#include <string>
#include <vector>

namespace velkor {

struct DeviceNameLists {
    std::vector<std::string> macroNames;
    // The three mode lists always have the same length.
    std::vector<std::string> modeNames;
    std::vector<int32_t> modeVisible;
    std::vector<int32_t> modeCodes;
    std::vector<std::string> areaNames;
    std::vector<std::string> customEffectNames;

    int ModeCount() const { return int(modeNames.size()); }
    // False outside the list.
    bool ModeVisible(int mode) const {
        return mode >= 0 && size_t(mode) < modeVisible.size() && modeVisible[size_t(mode)] != 0;
    }
    // The device's effect code of a mode number; -1 outside the list.
    int32_t EffectCodeOf(int mode) const {
        return mode >= 0 && size_t(mode) < modeCodes.size() ? modeCodes[size_t(mode)] : -1;
    }
    // The mode number of a device effect code; -1 when no mode has it.
    int ModeOfEffectCode(int32_t code) const {
        for (size_t i = 0; i < modeCodes.size(); ++i) {
            if (modeCodes[i] == code) {
                return int(i);
            }
        }
        return -1;
    }
};

} // namespace velkor
