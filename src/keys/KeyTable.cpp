#include "keys/KeyTable.h"

#include <array>

namespace velkor {
namespace {

// Row builders: the category and parameters follow from the kind of row.
constexpr KeyTableRow Modifier(std::string_view name, std::uint16_t vk, std::uint8_t bit, std::uint8_t scan,
                               bool extended) {
    return {name, KeyFunction{vk, KeyCategory::KeyboardKey, bit, 0}, ScanCode{scan, extended}};
}
constexpr KeyTableRow Key(std::string_view name, std::uint16_t vk, std::uint8_t usage, std::uint8_t scan,
                          bool extended = false) {
    return {name, KeyFunction{vk, KeyCategory::KeyboardKey, 0, usage}, ScanCode{scan, extended}};
}
constexpr KeyTableRow Unscanned(std::string_view name, std::uint16_t vk, std::uint8_t usage) {
    return {name, KeyFunction{vk, KeyCategory::KeyboardKey, 0, usage}, std::nullopt};
}
constexpr KeyTableRow MediaKey(std::string_view name, std::uint16_t vk, std::uint16_t consumerUsage) {
    KeyFunction function = MakeMedia(consumerUsage);
    function.code = vk;
    return {name, function, std::nullopt};
}
constexpr KeyTableRow SystemKey(std::string_view name, std::uint16_t vk, std::uint8_t bit) {
    return {name, KeyFunction{vk, KeyCategory::System, bit, 0}, std::nullopt};
}
constexpr KeyTableRow MRow(std::string_view name, std::uint8_t number) {
    return {name, KeyFunction{0, KeyCategory::MKey, 0xA2, number}, std::nullopt};
}
constexpr KeyTableRow SpecialRow(std::string_view name, std::uint8_t a) {
    return {name, KeyFunction{0, KeyCategory::Special, a, 0}, std::nullopt};
}

constexpr bool kExt = true;

// Virtual-key codes and scan codes are the standard ones of each key; the
// international keys (K14 ... K151) and Num Enter carry the codes their
// keyboards report.
constexpr std::array<KeyTableRow, kKeyTableSize> kRows{{
    Modifier("keyboard_key_LCtrl", 0xA2, kModLeftCtrl, 0x1D, false),
    Modifier("keyboard_key_LShift", 0xA0, kModLeftShift, 0x2A, false),
    Modifier("keyboard_key_LAlt", 0xA4, kModLeftAlt, 0x38, false),
    Modifier("keyboard_key_LWin", 0x5B, kModLeftWin, 0x5B, kExt),
    Modifier("keyboard_key_RCtrl", 0xA3, kModRightCtrl, 0x1D, kExt),
    Modifier("keyboard_key_RShift", 0xA1, kModRightShift, 0x36, kExt),
    Modifier("keyboard_key_RAlt", 0xA5, kModRightAlt, 0x38, kExt),
    Modifier("keyboard_key_RWin", 0x5C, kModRightWin, 0x5C, kExt),
    // Letters: usages 0x04..0x1D.
    Key("keyboard_key_A", 'A', 0x04, 0x1E),
    Key("keyboard_key_B", 'B', 0x05, 0x30),
    Key("keyboard_key_C", 'C', 0x06, 0x2E),
    Key("keyboard_key_D", 'D', 0x07, 0x20),
    Key("keyboard_key_E", 'E', 0x08, 0x12),
    Key("keyboard_key_F", 'F', 0x09, 0x21),
    Key("keyboard_key_G", 'G', 0x0A, 0x22),
    Key("keyboard_key_H", 'H', 0x0B, 0x23),
    Key("keyboard_key_I", 'I', 0x0C, 0x17),
    Key("keyboard_key_J", 'J', 0x0D, 0x24),
    Key("keyboard_key_K", 'K', 0x0E, 0x25),
    Key("keyboard_key_L", 'L', 0x0F, 0x26),
    Key("keyboard_key_M", 'M', 0x10, 0x32),
    Key("keyboard_key_N", 'N', 0x11, 0x31),
    Key("keyboard_key_O", 'O', 0x12, 0x18),
    Key("keyboard_key_P", 'P', 0x13, 0x19),
    Key("keyboard_key_Q", 'Q', 0x14, 0x10),
    Key("keyboard_key_R", 'R', 0x15, 0x13),
    Key("keyboard_key_S", 'S', 0x16, 0x1F),
    Key("keyboard_key_T", 'T', 0x17, 0x14),
    Key("keyboard_key_U", 'U', 0x18, 0x16),
    Key("keyboard_key_V", 'V', 0x19, 0x2F),
    Key("keyboard_key_W", 'W', 0x1A, 0x11),
    Key("keyboard_key_X", 'X', 0x1B, 0x2D),
    Key("keyboard_key_Y", 'Y', 0x1C, 0x15),
    Key("keyboard_key_Z", 'Z', 0x1D, 0x2C),
    // Digits: usages 0x1E..0x27.
    Key("keyboard_key_1", '1', 0x1E, 0x02),
    Key("keyboard_key_2", '2', 0x1F, 0x03),
    Key("keyboard_key_3", '3', 0x20, 0x04),
    Key("keyboard_key_4", '4', 0x21, 0x05),
    Key("keyboard_key_5", '5', 0x22, 0x06),
    Key("keyboard_key_6", '6', 0x23, 0x07),
    Key("keyboard_key_7", '7', 0x24, 0x08),
    Key("keyboard_key_8", '8', 0x25, 0x09),
    Key("keyboard_key_9", '9', 0x26, 0x0A),
    Key("keyboard_key_0", '0', 0x27, 0x0B),
    Key("keyboard_key_Enter", 0x0D, 0x28, 0x1C),
    Key("keyboard_key_Esc", 0x1B, 0x29, 0x01),
    Key("keyboard_key_BackSpace", 0x08, 0x2A, 0x0E),
    Key("keyboard_key_Tab", 0x09, 0x2B, 0x0F),
    Key("keyboard_key_Space", 0x20, 0x2C, 0x39),
    Key("keyboard_key_-", 0xBD, 0x2D, 0x0C),
    Key("keyboard_key_=", 0xBB, 0x2E, 0x0D),
    Key("keyboard_key_[", 0xDB, 0x2F, 0x1A),
    Key("keyboard_key_]", 0xDD, 0x30, 0x1B),
    Key("keyboard_key_xiegang", 0xDC, 0x31, 0x2B), // backslash
    Key("keyboard_key_;", 0xBA, 0x33, 0x27),
    Key("keyboard_key_'", 0xDE, 0x34, 0x28),
    Key("keyboard_key_`", 0xC0, 0x35, 0x29),
    Key("keyboard_key_<", 0xBC, 0x36, 0x33), // comma
    Key("keyboard_key_.", 0xBE, 0x37, 0x34),
    Key("keyboard_key_/", 0xBF, 0x38, 0x35),
    Key("keyboard_key_Caplk", 0x14, 0x39, 0x3A),
    Key("keyboard_key_F1", 0x70, 0x3A, 0x3B),
    Key("keyboard_key_F2", 0x71, 0x3B, 0x3C),
    Key("keyboard_key_F3", 0x72, 0x3C, 0x3D),
    Key("keyboard_key_F4", 0x73, 0x3D, 0x3E),
    Key("keyboard_key_F5", 0x74, 0x3E, 0x3F),
    Key("keyboard_key_F6", 0x75, 0x3F, 0x40),
    Key("keyboard_key_F7", 0x76, 0x40, 0x41),
    Key("keyboard_key_F8", 0x77, 0x41, 0x42),
    Key("keyboard_key_F9", 0x78, 0x42, 0x43),
    Key("keyboard_key_F10", 0x79, 0x43, 0x44),
    Key("keyboard_key_F11", 0x7A, 0x44, 0x57),
    Key("keyboard_key_F12", 0x7B, 0x45, 0x58),
    Key("keyboard_key_Print Scr", 0x2C, 0x46, 0x37, kExt),
    Key("keyboard_key_Scroll Lock", 0x91, 0x47, 0x46),
    // Pause arrives as 0x45 without E0 and Num Lock as 0x45 with it, which
    // keeps the two apart.
    Key("keyboard_key_Pause", 0x13, 0x48, 0x45),
    Key("keyboard_key_Insert", 0x2D, 0x49, 0x52, kExt),
    Key("keyboard_key_Home", 0x24, 0x4A, 0x47, kExt),
    Key("keyboard_key_Page Up", 0x21, 0x4B, 0x49, kExt),
    Key("keyboard_key_Delete", 0x2E, 0x4C, 0x53, kExt),
    Key("keyboard_key_End", 0x23, 0x4D, 0x4F, kExt),
    Key("keyboard_key_Page Down", 0x22, 0x4E, 0x51, kExt),
    Key("keyboard_key_Right", 0x27, 0x4F, 0x4D, kExt),
    Key("keyboard_key_Left", 0x25, 0x50, 0x4B, kExt),
    Key("keyboard_key_Down", 0x28, 0x51, 0x50, kExt),
    Key("keyboard_key_Up", 0x26, 0x52, 0x48, kExt),
    Key("keyboard_key_Num Lock", 0x90, 0x53, 0x45, kExt),
    Key("keyboard_key_Num /", 0x6F, 0x54, 0x35, kExt),
    Key("keyboard_key_Num *", 0x6A, 0x55, 0x37),
    Key("keyboard_key_Num -", 0x6D, 0x56, 0x4A),
    Key("keyboard_key_Num +", 0x6B, 0x57, 0x4E),
    Key("keyboard_key_Num Enter", 0x0101, 0x58, 0x1C, kExt),
    Key("keyboard_key_Num 1", 0x61, 0x59, 0x4F),
    Key("keyboard_key_Num 2", 0x62, 0x5A, 0x50),
    Key("keyboard_key_Num 3", 0x63, 0x5B, 0x51),
    Key("keyboard_key_Num 4", 0x64, 0x5C, 0x4B),
    Key("keyboard_key_Num 5", 0x65, 0x5D, 0x4C),
    Key("keyboard_key_Num 6", 0x66, 0x5E, 0x4D),
    Key("keyboard_key_Num 7", 0x67, 0x5F, 0x47),
    Key("keyboard_key_Num 8", 0x68, 0x60, 0x48),
    Key("keyboard_key_Num 9", 0x69, 0x61, 0x49),
    Key("keyboard_key_Num 0", 0x60, 0x62, 0x52),
    Key("keyboard_key_Decimal", 0x6E, 0x63, 0x53),
    Key("keyboard_key_App", 0x5D, 0x65, 0x5D, kExt),
    Key("keyboard_key_K45", 0xE2, 0x64, 0x56),
    Key("keyboard_key_K56", 0xC1, 0x87, 0x73),
    Key("keyboard_key_K14", 0xFF, 0x89, 0x7D),
    Key("keyboard_key_K107", 0xC2, 0x85, 0x7E),
    Key("keyboard_key_K131", 0xEB, 0x8B, 0x7B),
    Key("keyboard_key_K132", 0xFF, 0x8A, 0x79),
    Key("keyboard_key_K133", 0xFF, 0x88, 0x70),
    Key("keyboard_key_K150", 0xE9, 0x91, 0x71),
    Key("keyboard_key_K151", 0xFF, 0x90, 0x72),
    Unscanned("keyboard_key_K42", 0xBF, 0x32),
    // Media keys: consumer usages, with the media virtual-key codes 0xA6..0xB7.
    MediaKey("keyboard_key_Launch App2", 0xB7, 0x0192),
    MediaKey("keyboard_key_Browaer Home", 0xAC, 0x0223),
    MediaKey("keyboard_key_Media Play Pause", 0xB3, 0x00CD),
    MediaKey("keyboard_key_Browser Search", 0xAA, 0x0221),
    MediaKey("keyboard_key_Launch Mail", 0xB4, 0x018A),
    MediaKey("keyboard_key_Volume Up", 0xAF, 0x00E9),
    MediaKey("keyboard_key_Volume Mute", 0xAD, 0x00E2),
    MediaKey("keyboard_key_Media Stop", 0xB2, 0x00B7),
    MediaKey("keyboard_key_Volume Down", 0xAE, 0x00EA),
    MediaKey("keyboard_key_Browser Favorites", 0xAB, 0x022A),
    MediaKey("keyboard_key_Browser ForWard", 0xA7, 0x0225),
    MediaKey("keyboard_key_Browser Back", 0xA6, 0x0224),
    MediaKey("keyboard_key_Media Prev Track", 0xB1, 0x00B6),
    MediaKey("keyboard_key_Media Next Track", 0xB0, 0x00B5),
    MediaKey("keyboard_key_Computer", 0xB6, 0x0194),
    MediaKey("keyboard_key_Browser Refresh", 0xA8, 0x0227),
    MediaKey("wed_stop", 0xA9, 0x0226),
    MediaKey("keyboard_key_Launch Media Select", 0xB5, 0x0183),
    SystemKey("keyboard_key_Power", 0x0103, kSystemPower),
    SystemKey("keyboard_key_Sleep", 0x0104, kSystemSleep),
    SystemKey("keyboard_key_Wakeup", 0x0105, kSystemWake),
    MRow("keyboard_key_M1", 1),
    MRow("keyboard_key_M2", 2),
    MRow("keyboard_key_M3", 3),
    MRow("keyboard_key_M4", 4),
    MRow("keyboard_key_M5", 5),
    SpecialRow("keyboard_key_FN", 0x01),
    SpecialRow("keyboard_key_GM", 0x1B),
}};

template <typename Match> int FindFirst(std::size_t end, Match match) {
    for (std::size_t i = 0; i < end; ++i) {
        if (match(kRows[i])) {
            return static_cast<int>(i);
        }
    }
    return kKeyNotFound;
}

} // namespace

std::span<const KeyTableRow> KeyTable() {
    return kRows;
}

int FindKeyByScanCode(ScanCode scan) {
    return FindFirst(kRecognisedRowCount, [&](const KeyTableRow& row) { return row.scan == scan; });
}

int FindKeyByUsage(std::uint8_t usage) {
    return FindFirst(kKeyTableSize, [&](const KeyTableRow& row) {
        return row.function.category == KeyCategory::KeyboardKey && row.function.paramA == 0 &&
               row.function.paramB == usage;
    });
}

int FindKeyByModifier(std::uint8_t modifierBit) {
    return FindFirst(kModifierRowCount, [&](const KeyTableRow& row) {
        return row.function.category == KeyCategory::KeyboardKey && row.function.paramA == modifierBit &&
               row.function.paramB == 0;
    });
}

int FindKeyByFunction(const KeyFunction& function) {
    return FindFirst(kKeyTableSize,
                     [&](const KeyTableRow& row) { return row.function.SameFunction(function); });
}

int FindKeyByVirtualKey(std::uint16_t virtualKey) {
    return FindFirst(kKeyTableSize, [&](const KeyTableRow& row) { return row.function.code == virtualKey; });
}

int FindKeyByName(std::string_view nameKey) {
    return FindFirst(kKeyTableSize, [&](const KeyTableRow& row) { return row.nameKey == nameKey; });
}

const KeyTableRow* KeyRowAt(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= kRows.size()) {
        return nullptr;
    }
    return &kRows[static_cast<std::size_t>(index)];
}

} // namespace velkor
