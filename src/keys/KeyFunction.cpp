#include "keys/KeyFunction.h"

namespace velkor {
namespace {

constexpr int kMaxNibble = 0x0F;
constexpr int kMaxByte = 0xFF;
constexpr int kMaxSwingCount = 0x7F;
constexpr int kMaxWheelCountFirst = 0x7F;
constexpr int kMaxWheelCountSecond = 0x80;
constexpr int kMaxPlayMode = 3;
constexpr std::uint8_t kSecondDirection = 0x80;

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

bool ValidTiming(const MotionParams& params) {
    return InRange(params.delay, 0, kMaxNibble) && InRange(params.speed, 0, kMaxNibble);
}

std::uint8_t PackTiming(const MotionParams& params) {
    return static_cast<std::uint8_t>((params.delay << 4) | params.speed);
}

} // namespace

std::array<std::uint8_t, kKeyFunctionSize> KeyFunction::ToBytes() const {
    return {static_cast<std::uint8_t>(code & 0xFF),
            static_cast<std::uint8_t>(code >> 8),
            static_cast<std::uint8_t>(category),
            paramA,
            paramB,
            0};
}

std::optional<KeyFunction> KeyFunction::FromBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kKeyFunctionSize) {
        return std::nullopt;
    }
    const auto code = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
    return FromTriple(bytes[2], bytes[3], bytes[4], code);
}

std::array<std::uint8_t, kDeviceKeySize> KeyFunction::ToTriple() const {
    return {static_cast<std::uint8_t>(category), paramA, paramB};
}

std::int32_t KeyFunction::ToKeyListValue() const {
    return (static_cast<std::int32_t>(category) << 16) | (paramA << 8) | paramB;
}

std::optional<KeyFunction> KeyFunction::FromKeyListValue(std::int64_t value, std::uint16_t code) {
    if (value < 0 || value > kMaxKeyListValue) {
        return std::nullopt;
    }
    return FromTriple(static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                      static_cast<std::uint8_t>(value), code);
}

std::optional<KeyFunction> ReadDeviceKey(std::span<const std::uint8_t> table, std::size_t position) {
    // Written as a division so that a huge position cannot overflow the multiplication.
    if (position >= table.size() / kDeviceKeySize) {
        return std::nullopt;
    }
    const std::size_t at = position * kDeviceKeySize;
    return KeyFunction::FromTriple(table[at], table[at + 1], table[at + 2]);
}

bool WriteDeviceKey(std::span<std::uint8_t> table, std::size_t position, const KeyFunction& function) {
    if (position >= table.size() / kDeviceKeySize) {
        return false;
    }
    const auto triple = function.ToTriple();
    const std::size_t at = position * kDeviceKeySize;
    for (std::size_t i = 0; i < kDeviceKeySize; ++i) {
        table[at + i] = triple[i];
    }
    return true;
}

std::array<std::uint8_t, kKeyListEntrySize> KeyListEntry::ToBytes() const {
    std::array<std::uint8_t, kKeyListEntrySize> bytes{};
    const auto first = current.ToBytes();
    const auto second = defaultFunction.ToBytes();
    for (std::size_t i = 0; i < kKeyFunctionSize; ++i) {
        bytes[i] = first[i];
        bytes[kKeyFunctionSize + i] = second[i];
    }
    return bytes;
}

std::optional<KeyListEntry> KeyListEntry::FromBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kKeyListEntrySize) {
        return std::nullopt;
    }
    const auto current = KeyFunction::FromBytes(bytes.first(kKeyFunctionSize));
    const auto standard = KeyFunction::FromBytes(bytes.subspan(kKeyFunctionSize));
    if (!current || !standard) {
        return std::nullopt;
    }
    return KeyListEntry{*current, *standard};
}

std::optional<KeyListEntry> KeyListEntry::FromKeyList(std::uint16_t keyIndex, std::int64_t assignment,
                                                      std::int64_t defaultAssignment) {
    const auto current = KeyFunction::FromKeyListValue(assignment, keyIndex);
    const auto standard = KeyFunction::FromKeyListValue(defaultAssignment, keyIndex);
    if (!current || !standard) {
        return std::nullopt;
    }
    return KeyListEntry{*current, *standard};
}

std::optional<KeyFunction> MakeMouseMove(const MotionParams& params) {
    if (!ValidTiming(params) || !InRange(params.count, 0, kMaxSwingCount)) {
        return std::nullopt;
    }
    auto b = static_cast<std::uint8_t>(params.count);
    if (params.secondDirection) {
        b |= kSecondDirection;
    }
    return KeyFunction{0, KeyCategory::MouseMove, PackTiming(params), b};
}

std::optional<KeyFunction> MakeWheel(const MotionParams& params) {
    const int limit = params.secondDirection ? kMaxWheelCountSecond : kMaxWheelCountFirst;
    if (!ValidTiming(params) || !InRange(params.count, 0, limit)) {
        return std::nullopt;
    }
    std::uint8_t b = static_cast<std::uint8_t>(params.count);
    if (params.secondDirection && params.count > 0) {
        b = static_cast<std::uint8_t>(((0x80 - params.count) & 0xFF) | kSecondDirection);
    }
    return KeyFunction{0, KeyCategory::Wheel, PackTiming(params), b};
}

std::optional<MotionParams> ReadMotion(const KeyFunction& function) {
    if (function.category != KeyCategory::MouseMove && function.category != KeyCategory::Wheel) {
        return std::nullopt;
    }
    MotionParams params;
    params.delay = function.paramA >> 4;
    params.speed = function.paramA & 0x0F;
    params.secondDirection = (function.paramB & kSecondDirection) != 0;
    const int low = function.paramB & 0x7F;
    if (function.category == KeyCategory::Wheel && params.secondDirection) {
        params.count = 0x80 - low;
    } else {
        params.count = low;
    }
    return params;
}

std::optional<KeyFunction> MakeRapidFire(int interval, int count) {
    if (!InRange(interval, 0, kMaxByte) || !InRange(count, 0, kMaxByte)) {
        return std::nullopt;
    }
    return KeyFunction{0, KeyCategory::RapidFire, static_cast<std::uint8_t>(interval),
                       static_cast<std::uint8_t>(count)};
}

std::optional<std::uint16_t> MediaUsage(const KeyFunction& function) {
    if (function.category != KeyCategory::Media) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(function.paramA | (function.paramB << 8));
}

std::optional<KeyFunction> MakeMacro(int macroIndex, int playMode) {
    if (!InRange(macroIndex, 0, kMaxByte) || !InRange(playMode, 0, kMaxPlayMode)) {
        return std::nullopt;
    }
    return KeyFunction{0, KeyCategory::Macro, static_cast<std::uint8_t>(macroIndex),
                       static_cast<std::uint8_t>(playMode)};
}

std::optional<KeyFunction> MakeMacroRepeat(int macroIndex, int count) {
    if (!InRange(macroIndex, 0, kMaxByte) || !InRange(count, 0, kMaxByte)) {
        return std::nullopt;
    }
    return KeyFunction{0, KeyCategory::MacroRepeat, static_cast<std::uint8_t>(macroIndex),
                       static_cast<std::uint8_t>(count)};
}

std::optional<KeyFunction> MakeGunKey(int index) {
    if (!InRange(index, 0, kMaxByte)) {
        return std::nullopt;
    }
    return KeyFunction{0, KeyCategory::GunKey, static_cast<std::uint8_t>(index), 0};
}

} // namespace velkor
