#include "macros/RecoilFiles.h"

#include "macros/EventBlock.h"
#include "platform/JsonFileHelper.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

namespace velkor {

namespace {

constexpr int kTypeMouseButton = 1;
constexpr int kLeftButton = 1;
constexpr int kTypeHorizontal = 4;
constexpr int kTypeVertical = 5;
constexpr int kClickDelay = 10;
constexpr int kHorizontalDelay = 5;

// A number member as an int in [0, high]; other JSON types read as 0.
int NumberIn(const Json::Value& value, int high) {
    if (value.isBool() || !value.isNumeric()) {
        return 0;
    }
    if (value.isDouble()) {
        const double number = value.asDouble();
        return std::isnan(number) ? 0 : int(std::clamp(number, 0.0, double(high)));
    }
    if (value.isUInt64() && !value.isInt64()) {
        return high; // beyond 63 bits
    }
    return int(std::clamp<Json::LargestInt>(value.asLargestInt(), 0, high));
}

// "down" compared without regard to case; anything else is "up".
bool IsDown(const Json::Value& action) {
    if (!action.isString()) {
        return false;
    }
    std::string text = action.asString();
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text == "down";
}

const Json::Value& Element(const Json::Value& events, int index) {
    static const Json::Value kNull;
    if (!events.isArray() || index < 0 || Json::ArrayIndex(index) >= events.size()) {
        return kNull;
    }
    const Json::Value& element = events[Json::ArrayIndex(index)];
    return element.isObject() ? element : kNull;
}

const Json::Value& Member(const Json::Value& object, const char* name) {
    static const Json::Value kNull;
    return object.isObject() && object.isMember(name) ? object[name] : kNull;
}

Json::Value MakeEvent(bool down, int type, int button, int delay) {
    Json::Value event(Json::objectValue);
    event["Action"] = down ? "down" : "up";
    event["Type"] = type;
    event["Button"] = button;
    event["Delay"] = delay;
    return event;
}

} // namespace

std::string RecoilFileName(int gun) {
    return "ShootData_" + std::to_string(gun) + ".Shoot";
}

std::string RecoilFilePath(const std::string& folder, int gun) {
    return folder + RecoilFileName(gun);
}

RecoilBullet ReadRecoilBullet(const Json::Value& document, int bullet) {
    RecoilBullet value;
    if (!document.isObject() || bullet < 0 || bullet >= kRecoilBulletCount) {
        return value;
    }
    const Json::Value& events = Member(document, "Events");
    const Json::Value& horizontal = Element(events, bullet * kRecoilEventsPerBullet + 2);
    const Json::Value& vertical = Element(events, bullet * kRecoilEventsPerBullet + 3);
    value.horizontal = NumberIn(Member(horizontal, "Button"), kMaxRecoilDistance);
    value.left = IsDown(Member(horizontal, "Action"));
    value.vertical = NumberIn(Member(vertical, "Button"), kMaxRecoilDistance);
    value.up = IsDown(Member(vertical, "Action"));
    value.delay = NumberIn(Member(vertical, "Delay"), kMaxRecoilDelay);
    return value;
}

void WriteRecoilBullet(Json::Value& document, int bullet, const RecoilBullet& value) {
    if (bullet < 0 || bullet >= kRecoilBulletCount) {
        return;
    }
    if (!document.isObject()) {
        document = Json::Value(Json::objectValue);
    }
    if (!document["Events"].isArray()) {
        document["Events"] = Json::Value(Json::arrayValue);
    }
    Json::Value& events = document["Events"];
    const int horizontal = std::clamp(value.horizontal, 0, kMaxRecoilDistance);
    const int vertical = std::clamp(value.vertical, 0, kMaxRecoilDistance);
    const int delay = std::clamp(value.delay, 0, kMaxRecoilDelay);
    const std::array<Json::Value, kRecoilEventsPerBullet> six = {
        MakeEvent(true, kTypeMouseButton, kLeftButton, kClickDelay),
        MakeEvent(false, kTypeMouseButton, kLeftButton, 0),
        MakeEvent(value.left, kTypeHorizontal, horizontal, kHorizontalDelay),
        MakeEvent(value.up, kTypeVertical, vertical, delay),
        MakeEvent(value.left, kTypeHorizontal, 0, 0),
        MakeEvent(value.up, kTypeVertical, 0, 0),
    };
    // Elements before the bullet exist as nulls, not as gaps.
    while (events.size() < Json::ArrayIndex(bullet * kRecoilEventsPerBullet)) {
        events.append(Json::Value());
    }
    for (int i = 0; i < kRecoilEventsPerBullet; ++i) {
        events[Json::ArrayIndex(bullet * kRecoilEventsPerBullet + i)] = six[size_t(i)];
    }
}

RecoilBlock BuildRecoilBlock(const std::string& folder, const CJsonFileHelper& json) {
    RecoilBlock result;
    std::vector<std::vector<DeviceEvent>> records(kRecoilGunCount);
    for (int gun = 0; gun < kRecoilGunCount; ++gun) {
        const Json::Value document = json.ReadJsonFile(RecoilFilePath(folder, gun));
        const Json::Value& events = Member(document, "Events");
        if (events.isArray() && events.size() > Json::ArrayIndex(kMaxRecoilEvents)) {
            result.oversizedGun = gun;
            return result;
        }
        records[size_t(gun)] = EncodeEvents(events);
    }
    if (auto block = BuildEventBlock(records)) {
        result.block = std::move(*block);
    }
    return result;
}

} // namespace velkor
