#include "sim/SimTypes.h"

#include <array>
#include <utility>

namespace velkor::sim {

namespace {

constexpr std::array<std::string_view, kSimUnitCount> kUnitNames = {
    "keyboard", "keyboard-receiver", "keyboard-511d", "mouse", "mouse-receiver", "mousepad", "headset",
};

constexpr std::array<std::string_view, kSimModelCount> kModelNames = {
    "keyboard", "keyboard-511d", "mouse", "mousepad", "headset",
};

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

std::string_view UnitName(SimUnit unit) {
    return kUnitNames[size_t(unit)];
}

std::optional<SimUnit> UnitFromName(std::string_view name) {
    for (size_t i = 0; i < kUnitNames.size(); ++i) {
        if (kUnitNames[i] == name) {
            return SimUnit(i);
        }
    }
    return std::nullopt;
}

std::string_view ModelName(SimModel model) {
    return kModelNames[size_t(model)];
}

std::optional<SimModel> ModelFromName(std::string_view name) {
    for (size_t i = 0; i < kModelNames.size(); ++i) {
        if (kModelNames[i] == name) {
            return SimModel(i);
        }
    }
    return std::nullopt;
}

SimModel ModelOfUnit(SimUnit unit) {
    switch (unit) {
    case SimUnit::Keyboard:
    case SimUnit::KeyboardReceiver:
        return SimModel::Keyboard;
    case SimUnit::Keyboard511D:
        return SimModel::Keyboard511D;
    case SimUnit::Mouse:
    case SimUnit::MouseReceiver:
        return SimModel::Mouse;
    case SimUnit::MousePad:
        return SimModel::MousePad;
    case SimUnit::Headset:
        return SimModel::Headset;
    }
    return SimModel::Keyboard;
}

bool IsReceiver(SimUnit unit) {
    return unit == SimUnit::KeyboardReceiver || unit == SimUnit::MouseReceiver;
}

SimUnit CableUnitOf(SimModel model) {
    switch (model) {
    case SimModel::Keyboard:
        return SimUnit::Keyboard;
    case SimModel::Keyboard511D:
        return SimUnit::Keyboard511D;
    case SimModel::Mouse:
        return SimUnit::Mouse;
    case SimModel::MousePad:
        return SimUnit::MousePad;
    case SimModel::Headset:
        return SimUnit::Headset;
    }
    return SimUnit::Keyboard;
}

std::optional<SimUnit> ReceiverUnitOf(SimModel model) {
    if (model == SimModel::Keyboard) {
        return SimUnit::KeyboardReceiver;
    }
    if (model == SimModel::Mouse) {
        return SimUnit::MouseReceiver;
    }
    return std::nullopt;
}

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
