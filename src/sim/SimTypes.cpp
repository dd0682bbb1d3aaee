#include "sim/SimTypes.h"

#include <array>
#include <utility>

namespace velkor::sim {

namespace {

constexpr std::pair<std::string_view, SimKey> kKeyNames[] = {
    {"profile-next", SimKey::ProfileNext},
    {"profile-select", SimKey::ProfileSelect},
    {"effect-next", SimKey::EffectNext},
    {"brightness-up", SimKey::BrightnessUp},
    {"brightness-down", SimKey::BrightnessDown},
    {"win-lock", SimKey::ToggleWinLock},
    {"dpi-next", SimKey::DpiNext},
    {"click", SimKey::Click},
};

constexpr std::pair<std::string_view, SimFaultKind> kFaultNames[] = {
    {"no-reply", SimFaultKind::NoReply},
    {"stale-reply", SimFaultKind::StaleReply},
    {"status-ff", SimFaultKind::StatusFF},
    {"status-fe", SimFaultKind::StatusFE},
    {"failed-write", SimFaultKind::FailedWrite},
    {"delay", SimFaultKind::Delay},
    {"unplug", SimFaultKind::Unplug},
};

} // namespace

std::optional<SimKey> KeyFromName(std::string_view name) {
    for (const auto& [text, key] : kKeyNames) {
        if (text == name) {
            return key;
        }
    }
    return std::nullopt;
}

std::optional<SimFaultKind> FaultKindFromName(std::string_view name) {
    for (const auto& [text, kind] : kFaultNames) {
        if (text == name) {
            return kind;
        }
    }
    return std::nullopt;
}

} // namespace velkor::sim
