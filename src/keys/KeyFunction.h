#pragma once
// The key-function value: what one key or mouse button of a device does.
//
// Six bytes: a 16-bit code (bytes 0-1, little-endian), the category (byte 2),
// two parameters A and B (bytes 3 and 4) and a zero byte (byte 5). Devices
// and the profile's "KeyList" carry only the function itself, the three bytes
// category, A, B; the code is the Windows-style virtual-key code for values
// of the key table, the key index for values read from a profile, and 0 for
// values built from the panel. Only the three function bytes take part in
// comparisons.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velkor {

// Byte 2 of a key-function value. Values outside this list can arrive from a
// device or a file; they are kept as they are and shown as "no function page".
enum class KeyCategory : std::uint8_t {
    Default = 0x00,
    MouseButton = 0x10, // A = button bit
    MouseMove = 0x11,   // "swing": A = delay << 4 | speed, B = count, bit 7 = second direction
    Wheel = 0x12,       // A = delay << 4 | speed, B = count or (0x80 - count) | 0x80
    DpiStep = 0x13,     // A = step kind 1..3
    RapidFire = 0x14,   // A = interval, B = count
    KeyboardKey = 0x20, // A = modifier mask (0x10 alone: shortcut), B = HID keyboard usage
    Media = 0x30,       // A = consumer usage low byte, B = high byte
    System = 0x40,      // A = power / sleep / wake bit
    Macro = 0x70,       // A = macro index, B = play mode 0..3
    MacroRepeat = 0x71, // A = macro index, B = repeat count
    GunKey = 0x72,      // A = gun-key index
    Special = 0xA0,     // FN and game-mode keys; kept, never built
    ShortcutNone = 0xB0,
    MKey = 0xD0, // M1..M5 keys; kept, never built
};

// Modifier bits of a keyboard-key function (parameter A).
enum : std::uint8_t {
    kModLeftCtrl = 0x01,
    kModLeftShift = 0x02,
    kModLeftAlt = 0x04,
    kModLeftWin = 0x08,
    kModRightCtrl = 0x10,
    kModRightShift = 0x20,
    kModRightAlt = 0x40,
    kModRightWin = 0x80,
};
// A keyboard-key function whose A is exactly this is a shortcut (combo key).
constexpr std::uint8_t kShortcutMarker = 0x10;

// Mouse button bits (parameter A of a mouse-button function, and the "Button"
// of a macro's mouse event).
enum : std::uint8_t {
    kMouseLeft = 0x01,
    kMouseRight = 0x02,
    kMouseMiddle = 0x04,
    kMouseFourth = 0x08, // back
    kMouseFifth = 0x10,  // forward
};

// System function bits (parameter A of a system function).
enum : std::uint8_t {
    kSystemPower = 0x01,
    kSystemSleep = 0x02,
    kSystemWake = 0x04,
};

constexpr std::size_t kKeyFunctionSize = 6;
constexpr std::size_t kDeviceKeySize = 3; // bytes per key position in a device key table
constexpr std::size_t kKeyListEntrySize = 12;
constexpr std::int64_t kMaxKeyListValue = 0xFFFFFF;

struct KeyFunction {
    std::uint16_t code = 0; // bytes 0-1: virtual-key code or key index; not part of the function
    KeyCategory category = KeyCategory::Default;
    std::uint8_t paramA = 0;
    std::uint8_t paramB = 0;

    // True when bytes 2, 3 and 4 agree; the code is ignored.
    constexpr bool SameFunction(const KeyFunction& other) const {
        return category == other.category && paramA == other.paramA && paramB == other.paramB;
    }
    // Equality is the function rule: two values that differ only in their code are equal.
    friend constexpr bool operator==(const KeyFunction& a, const KeyFunction& b) { return a.SameFunction(b); }

    // The six-byte form: code little-endian, category, A, B, 0.
    std::array<std::uint8_t, kKeyFunctionSize> ToBytes() const;
    // Reads the six-byte form; nothing unless exactly six bytes are given. Byte 5 is ignored.
    static std::optional<KeyFunction> FromBytes(std::span<const std::uint8_t> bytes);

    // The three-byte form of devices and profiles: category, A, B.
    std::array<std::uint8_t, kDeviceKeySize> ToTriple() const;
    static constexpr KeyFunction FromTriple(std::uint8_t category, std::uint8_t a, std::uint8_t b,
                                            std::uint16_t code = 0) {
        return KeyFunction{code, static_cast<KeyCategory>(category), a, b};
    }

    // The "KeyList" integer (category << 16) | (A << 8) | B, always 0..0xFFFFFF.
    std::int32_t ToKeyListValue() const;
    // Reads a "KeyList" integer; values outside 0..0xFFFFFF are refused rather
    // than cut to their low bits, which would turn a damaged file into some
    // unrelated but valid-looking function.
    static std::optional<KeyFunction> FromKeyListValue(std::int64_t value, std::uint16_t code = 0);
};

// The function at key position `position` of a device key table (three bytes
// per position); nothing when the position lies beyond the table.
std::optional<KeyFunction> ReadDeviceKey(std::span<const std::uint8_t> table, std::size_t position);
// Writes the three bytes of `function` at `position`; false, with the table
// untouched, when the position lies beyond it.
bool WriteDeviceKey(std::span<std::uint8_t> table, std::size_t position, const KeyFunction& function);

// One key of a device: its current and its default function.
struct KeyListEntry {
    KeyFunction current;
    KeyFunction defaultFunction;

    // Twelve bytes: the six-byte current value, then the six-byte default value.
    std::array<std::uint8_t, kKeyListEntrySize> ToBytes() const;
    // Nothing unless exactly twelve bytes are given.
    static std::optional<KeyListEntry> FromBytes(std::span<const std::uint8_t> bytes);
    // Element `keyIndex` of a profile's "KeyList": both halves carry the key
    // index as their code. Nothing when either integer is out of range.
    static std::optional<KeyListEntry> FromKeyList(std::uint16_t keyIndex, std::int64_t assignment,
                                                   std::int64_t defaultAssignment);
};

// ---- Building and reading the parametric functions ----------------------------
// Each builder refuses parameters outside their documented range instead of
// masking them into a different, valid-looking function. Built values have code 0.

// Delay, speed and count of a movement ("swing") or wheel function.
struct MotionParams {
    int delay = 0; // 0..15
    int speed = 0; // 0..15
    int count = 0; // swing 0..127; wheel 0..127 first direction, 0..128 second
    bool secondDirection = false;
};

// Swing: B = count, with bit 7 set for the second direction.
std::optional<KeyFunction> MakeMouseMove(const MotionParams& params);
// Wheel: B = count in the first direction, (0x80 - count) | 0x80 (the 8-bit
// two's complement of -count) in the second. A count of 0 is stored as B = 0
// in either direction: the second-direction formula would give 0x80, which
// reads back as 128 steps.
std::optional<KeyFunction> MakeWheel(const MotionParams& params);
// Parameters of a swing or wheel function; nothing for other categories. A
// wheel B of 0x80 reads as 128 steps in the second direction.
std::optional<MotionParams> ReadMotion(const KeyFunction& function);

// Rapid fire: interval and count 0..255.
std::optional<KeyFunction> MakeRapidFire(int interval, int count);
// A keyboard key with a modifier mask (0 = none) and a HID keyboard usage.
constexpr KeyFunction MakeKeyboardKey(std::uint8_t modifiers, std::uint8_t usage) {
    return KeyFunction{0, KeyCategory::KeyboardKey, modifiers, usage};
}
// A shortcut (combo key) with the letter's HID usage.
constexpr KeyFunction MakeShortcut(std::uint8_t usage) {
    return KeyFunction{0, KeyCategory::KeyboardKey, kShortcutMarker, usage};
}
// True for keyboard-key functions that are shortcuts (A = 0x10).
constexpr bool IsShortcut(const KeyFunction& function) {
    return function.category == KeyCategory::KeyboardKey && function.paramA == kShortcutMarker;
}
// A media function from a 16-bit HID consumer usage (A low byte, B high byte).
constexpr KeyFunction MakeMedia(std::uint16_t consumerUsage) {
    return KeyFunction{0, KeyCategory::Media, static_cast<std::uint8_t>(consumerUsage & 0xFF),
                       static_cast<std::uint8_t>(consumerUsage >> 8)};
}
// The consumer usage of a media function; nothing for other categories.
std::optional<std::uint16_t> MediaUsage(const KeyFunction& function);
// A macro played in mode 0..3; index 0..255.
std::optional<KeyFunction> MakeMacro(int macroIndex, int playMode);
// A macro repeated `count` (0..255) times; index 0..255.
std::optional<KeyFunction> MakeMacroRepeat(int macroIndex, int count);
// True for both macro categories.
constexpr bool IsMacro(const KeyFunction& function) {
    return function.category == KeyCategory::Macro || function.category == KeyCategory::MacroRepeat;
}
// A gun key; index 0..255.
std::optional<KeyFunction> MakeGunKey(int index);

} // namespace velkor
