#include "macros/MacroEvent.h"

#include "keys/KeyTable.h"

#include <algorithm>
#include <cctype>

namespace velkor {

namespace {

// An integer member in 0..255; jsoncpp's isInt64 keeps reals like 3.5 out.
std::optional<std::uint8_t> ByteMember(const Json::Value& event, const char* name) {
    const Json::Value& value = event[name];
    if (!value.isInt64()) {
        return std::nullopt;
    }
    const Json::Int64 number = value.asInt64();
    if (number < 0 || number > 255) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(number);
}

bool IsDown(const Json::Value& event) {
    const Json::Value& action = event["Action"];
    return action.isString() && action.asString() == kActionDown;
}

struct MouseName {
    int button;
    const char* key;
};
constexpr MouseName kMouseNames[] = {
    {1, "mouse_key_left"},     {2, "mouse_key_right"}, {4, "mouse_key_middle"},
    {16, "mouse_key_forward"}, {8, "mouse_key_back"},
};

std::string KeyNameOf(int row) {
    const KeyTableRow* found = KeyRowAt(row);
    return found != nullptr ? std::string(found->nameKey) : std::string();
}

} // namespace

std::optional<MacroEvent> ReadMacroEvent(const Json::Value& event) {
    if (!event.isObject() || !event["Type"].isInt()) {
        return std::nullopt;
    }
    const std::optional<std::uint8_t> button = ByteMember(event, "Button");
    if (!button) {
        return std::nullopt;
    }
    MacroEvent result;
    result.down = IsDown(event);
    result.type = event["Type"].asInt();
    result.button = *button;
    result.delay = static_cast<std::uint16_t>(ReadDelay(event));
    return result;
}

Json::Value MakeMacroEventJson(const MacroEvent& event) {
    Json::Value json(Json::objectValue);
    json["Action"] = std::string(event.down ? kActionDown : kActionUp);
    json["Type"] = event.type;
    json["Button"] = event.button;
    json["Delay"] = std::to_string(event.delay);
    return json;
}

int ParseDelay(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) != 0) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    long long value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0; ++at) {
        // Saturates: any longer run of digits is above the limit anyway.
        value = std::min<long long>(value * 10 + (text[at] - '0'), kMaxMacroDelay + 1LL);
    }
    if (negative) {
        return 0;
    }
    return static_cast<int>(std::min<long long>(value, kMaxMacroDelay));
}

std::string NormaliseDelayText(std::string_view text) {
    return std::to_string(ParseDelay(text));
}

int ReadDelay(const Json::Value& event) {
    if (!event.isObject()) {
        return 0;
    }
    const Json::Value& delay = event["Delay"];
    if (delay.isString()) {
        return ParseDelay(delay.asString());
    }
    if (delay.isInt64()) {
        return static_cast<int>(std::clamp<Json::Int64>(delay.asInt64(), 0, kMaxMacroDelay));
    }
    if (delay.isUInt64()) {
        return kMaxMacroDelay; // above every Int64, so far above the limit
    }
    return 0;
}

std::string RawDelayText(const Json::Value& event) {
    if (!event.isObject()) {
        return {};
    }
    const Json::Value& delay = event["Delay"];
    if (delay.isString()) {
        return delay.asString();
    }
    if (delay.isInt64()) {
        return std::to_string(delay.asInt64());
    }
    if (delay.isUInt64()) {
        return std::to_string(delay.asUInt64());
    }
    return {};
}

MacroEventLook DescribeMacroEvent(const Json::Value& event) {
    MacroEventLook look;
    if (!event.isObject()) {
        return look;
    }
    const bool down = IsDown(event);
    look.directionKey = std::string(down ? kDownTextKey : kUpTextKey);
    if (!event["Type"].isInt()) {
        return look;
    }
    const std::optional<std::uint8_t> button = ByteMember(event, "Button");
    switch (static_cast<MacroEventType>(event["Type"].asInt())) {
    case MacroEventType::Key:
        if (button && *button != 0) {
            look.nameKey = KeyNameOf(FindKeyByUsage(*button));
        }
        break;
    case MacroEventType::ModifierKey:
        if (button) {
            look.nameKey = KeyNameOf(FindKeyByModifier(*button));
        }
        break;
    case MacroEventType::MouseButton:
        for (const MouseName& name : kMouseNames) {
            if (button && name.button == *button) {
                look.nameKey = name.key;
                break;
            }
        }
        break;
    case MacroEventType::MoveHorizontal:
        look.nameKey = down ? "mouse_move_to_left_text" : "mouse_move_to_right_text";
        look.directionKey.clear();
        look.distance = button ? std::to_string(*button) : std::string();
        break;
    case MacroEventType::MoveVertical:
        look.nameKey = down ? "mouse_move_to_up_text" : "mouse_move_to_down_text";
        look.directionKey.clear();
        look.distance = button ? std::to_string(*button) : std::string();
        break;
    case MacroEventType::MouseOther2:
    case MacroEventType::MouseOther3:
        look.directionKey.clear();
        break;
    default:
        break;
    }
    return look;
}

} // namespace velkor
