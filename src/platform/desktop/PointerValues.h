#pragma once
// The five system pointer settings a mouse profile carries, in the profile's
// own units, the result of reading or applying one on the desktop, and the
// arithmetic between profile units and the desktops' units. Pure data: nothing
// here touches a desktop.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velkor {

enum class PointerSetting { Speed, Precision, DoubleClick, WheelLines, PageScroll };

inline constexpr size_t kPointerSettingCount = 5;
inline constexpr std::array<PointerSetting, kPointerSettingCount> kPointerSettings = {
    PointerSetting::Speed, PointerSetting::Precision, PointerSetting::DoubleClick, PointerSetting::WheelLines,
    PointerSetting::PageScroll};

struct PointerSettingInfo {
    const char* name; // "speed", "precision", "double-click", "wheel-lines", "page-scroll"
    int minimum;      // the profile's range, both ends included
    int maximum;
};

const PointerSettingInfo& PointerSettingInfoOf(PointerSetting setting);
// The setting with this name (as PointerSettingInfo::name), or nothing.
std::optional<PointerSetting> PointerSettingNamed(std::string_view name);
bool InPointerRange(PointerSetting setting, int value);

// A mouse profile's settings, in profile units.
struct PointerValues {
    int speed = 0;         // 1..20; 10 is the desktop's middle
    int precision = 0;     // 1 adaptive acceleration ("enhance pointer precision"), 0 flat
    int doubleClickMs = 0; // 200..900
    int wheelLines = 0;    // 1..20 lines per wheel notch
    int pageScroll = 0;    // 1: a wheel notch scrolls a page

    int Get(PointerSetting setting) const;
};

enum class PointerStatus {
    Ok,         // read; or written, and the desktop gave the same value back
    NotOffered, // this desktop has no such setting, or nothing it could be applied to
    Failed,     // the desktop has it, but reading or writing went wrong
};

struct PointerResult {
    PointerStatus status = PointerStatus::Failed;
    int value = 0;      // Ok: the value the desktop holds now, in profile units
    std::string reason; // NotOffered, Failed: why, in words for the user

    static PointerResult Ok(int value) { return {PointerStatus::Ok, value, {}}; }
    static PointerResult NotOffered(std::string reason) {
        return {PointerStatus::NotOffered, 0, std::move(reason)};
    }
    static PointerResult Failed(std::string reason) { return {PointerStatus::Failed, 0, std::move(reason)}; }
    bool IsOk() const { return status == PointerStatus::Ok; }
};

// One result per setting, indexed by static_cast<size_t>(PointerSetting).
using PointerResults = std::array<PointerResult, kPointerSettingCount>;

// Speed 1..20 to the pointer acceleration GNOME and KWin keep (-1..1):
// (speed - 10) / 10, clamped to -1..1.
double SpeedToAcceleration(int speed);
// Back: rounded to the nearest speed and clamped to 1..20; nothing when the
// desktop gave a value that is not a number.
std::optional<int> AccelerationToSpeed(double acceleration);

// Wheel lines per notch to KWin's scroll factor (1.0 = its usual three lines).
double WheelLinesToScrollFactor(int lines);
// Back: rounded and clamped to 1..20; nothing for a value that is not a number.
std::optional<int> ScrollFactorToWheelLines(double factor);

} // namespace velkor
