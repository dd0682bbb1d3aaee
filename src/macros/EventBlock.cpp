#include "macros/EventBlock.h"

#include "macros/MacroEvent.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace velkor {

namespace {

struct Le16 {
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    static Le16 Of(std::size_t value) {
        return {std::uint8_t(value & 0xFF), std::uint8_t((value >> 8) & 0xFF)};
    }
};

struct BlockHeader {
    std::uint8_t magic[2];
    Le16 total;
    Le16 records;
    std::uint8_t reserved[10];
};
static_assert(sizeof(BlockHeader) == kEventBlockHeaderSize && std::is_trivially_copyable_v<BlockHeader>);
static_assert(offsetof(BlockHeader, total) == 2 && offsetof(BlockHeader, records) == 4);
static_assert(offsetof(BlockHeader, reserved) == 6);

struct RecordHeader {
    Le16 events;
    std::uint8_t reserved[2];
};
static_assert(sizeof(RecordHeader) == kEventRecordHeaderSize && offsetof(RecordHeader, reserved) == 2);
static_assert(sizeof(DeviceEvent) == kDeviceEventSize);

constexpr int kMoveHorizontal = 4;
constexpr int kMoveVertical = 5;

// A member as a 64-bit integer: integers as they are (beyond 64 bits
// saturated), reals cut towards zero, anything else 0. jsoncpp's own
// conversions throw on strings, objects and out-of-range numbers.
std::int64_t NumberOf(const Json::Value& value) noexcept {
    if (value.isInt64()) {
        return value.asInt64();
    }
    if (value.isUInt64()) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (value.isDouble()) {
        const double real = value.asDouble();
        if (std::isnan(real)) {
            return 0;
        }
        constexpr double kLimit = 9223372036854775808.0; // 2^63
        if (real >= kLimit) {
            return std::numeric_limits<std::int64_t>::max();
        }
        if (real < -kLimit) {
            return std::numeric_limits<std::int64_t>::min();
        }
        return std::int64_t(real);
    }
    return 0;
}

const Json::Value& MemberOf(const Json::Value& event, const char* name) noexcept {
    static const Json::Value kNull;
    if (!event.isObject()) {
        return kNull;
    }
    const Json::Value* found = event.find(name, name + std::strlen(name));
    return found != nullptr ? *found : kNull;
}

} // namespace

DeviceEvent EncodeEvent(const Json::Value& event) noexcept {
    const Json::Value& action = MemberOf(event, "Action");
    const bool down = action.isString() && action.asString() == kActionDown;
    const std::int64_t type = NumberOf(MemberOf(event, "Type"));
    std::int64_t button = NumberOf(MemberOf(event, "Button"));
    const int kind = int(type & 0x7F);
    if (kind == kMoveHorizontal || kind == kMoveVertical) {
        button = std::clamp<std::int64_t>(button, 0, 255); // a distance: 300 must not become 44
    }
    int delay = 0;
    try {
        delay = ReadDelay(event); // the text is copied out: only allocation can throw here
    } catch (...) {
        delay = 0;
    }
    return {std::uint8_t(delay & 0xFF), std::uint8_t((delay >> 8) & 0xFF),
            std::uint8_t((type & 0xFF) | (down ? 0x80 : 0)), std::uint8_t(button & 0xFF)};
}

std::vector<DeviceEvent> EncodeEvents(const Json::Value& events) {
    std::vector<DeviceEvent> encoded;
    if (!events.isArray()) {
        return encoded;
    }
    encoded.reserve(events.size());
    // By index: an array built in memory may lack elements below its size,
    // which iteration skips; they are null events.
    for (Json::ArrayIndex i = 0; i < events.size(); ++i) {
        encoded.push_back(EncodeEvent(events[i]));
    }
    return encoded;
}

std::optional<std::vector<std::uint8_t>> BuildEventBlock(std::span<const std::vector<DeviceEvent>> records) {
    std::size_t events = 0;
    for (const std::vector<DeviceEvent>& record : records) {
        events += record.size();
    }
    const std::size_t total = EventBlockSize(records.size(), events);
    if (total > kMaxEventBlockSize) {
        return std::nullopt; // also bounds every count and offset below
    }
    // Value-initialised: the reserved bytes are zeros.
    std::vector<std::uint8_t> block(total, 0);
    BlockHeader header{};
    std::copy(std::begin(kEventBlockMagic), std::end(kEventBlockMagic), header.magic);
    header.total = Le16::Of(total);
    header.records = Le16::Of(records.size());
    std::memcpy(block.data(), &header, sizeof header);

    std::size_t at = kEventBlockHeaderSize + 2 * records.size();
    for (std::size_t r = 0; r < records.size(); ++r) {
        const Le16 offset = Le16::Of(at);
        std::memcpy(block.data() + kEventBlockHeaderSize + 2 * r, &offset, sizeof offset);
        RecordHeader recordHeader{};
        recordHeader.events = Le16::Of(records[r].size());
        std::memcpy(block.data() + at, &recordHeader, sizeof recordHeader);
        at += kEventRecordHeaderSize;
        for (const DeviceEvent& event : records[r]) {
            std::memcpy(block.data() + at, event.data(), event.size());
            at += kDeviceEventSize;
        }
    }
    return block;
}

} // namespace velkor
