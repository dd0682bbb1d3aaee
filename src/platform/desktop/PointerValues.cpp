#include "platform/desktop/PointerValues.h"

#include <algorithm>
#include <cmath>

namespace velkor {
namespace {

constexpr std::array<PointerSettingInfo, kPointerSettingCount> kInfo = {{
    {"speed", 1, 20},
    {"precision", 0, 1},
    {"double-click", 200, 900},
    {"wheel-lines", 1, 20},
    {"page-scroll", 0, 1},
}};

// Lines per wheel notch that KWin's scroll factor 1.0 stands for.
constexpr double kKwinLinesPerFactor = 3.0;

std::optional<int> RoundedInRange(double value, int minimum, int maximum) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    // Clamp before rounding, so that a huge value cannot overflow the conversion.
    return static_cast<int>(std::lround(std::clamp(value, double(minimum), double(maximum))));
}

} // namespace

const PointerSettingInfo& PointerSettingInfoOf(PointerSetting setting) {
    return kInfo[static_cast<size_t>(setting)];
}

std::optional<PointerSetting> PointerSettingNamed(std::string_view name) {
    for (PointerSetting setting : kPointerSettings) {
        if (name == PointerSettingInfoOf(setting).name) {
            return setting;
        }
    }
    return std::nullopt;
}

bool InPointerRange(PointerSetting setting, int value) {
    const PointerSettingInfo& info = PointerSettingInfoOf(setting);
    return value >= info.minimum && value <= info.maximum;
}

int PointerValues::Get(PointerSetting setting) const {
    switch (setting) {
    case PointerSetting::Speed:
        return speed;
    case PointerSetting::Precision:
        return precision;
    case PointerSetting::DoubleClick:
        return doubleClickMs;
    case PointerSetting::WheelLines:
        return wheelLines;
    case PointerSetting::PageScroll:
        return pageScroll;
    }
    return 0;
}

double SpeedToAcceleration(int speed) {
    return std::clamp((speed - 10) / 10.0, -1.0, 1.0);
}

std::optional<int> AccelerationToSpeed(double acceleration) {
    return RoundedInRange(acceleration * 10.0 + 10.0, 1, 20);
}

double WheelLinesToScrollFactor(int lines) {
    return lines / kKwinLinesPerFactor;
}

std::optional<int> ScrollFactorToWheelLines(double factor) {
    return RoundedInRange(factor * kKwinLinesPerFactor, 1, 20);
}

} // namespace velkor
