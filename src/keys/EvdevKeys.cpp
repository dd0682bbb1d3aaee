#include "keys/EvdevKeys.h"

#include <algorithm>
#include <array>
#include <linux/input-event-codes.h>

namespace velkor {
namespace {

constexpr EvdevKeyMapping Plain(std::uint16_t evdevCode, std::uint8_t scan) {
    return {evdevCode, ScanCode{scan, false}};
}
constexpr EvdevKeyMapping Extended(std::uint16_t evdevCode, std::uint8_t scan) {
    return {evdevCode, ScanCode{scan, true}};
}

// Most codes below 89 are the Set-1 make codes themselves; the E0-prefixed
// keys, Pause and the international keys are where the two differ. Right
// Shift and Num Lock carry the extended flag because the key table expects it.
constexpr std::array kMap{
    Plain(KEY_ESC, 0x01),
    Plain(KEY_1, 0x02),
    Plain(KEY_2, 0x03),
    Plain(KEY_3, 0x04),
    Plain(KEY_4, 0x05),
    Plain(KEY_5, 0x06),
    Plain(KEY_6, 0x07),
    Plain(KEY_7, 0x08),
    Plain(KEY_8, 0x09),
    Plain(KEY_9, 0x0A),
    Plain(KEY_0, 0x0B),
    Plain(KEY_MINUS, 0x0C),
    Plain(KEY_EQUAL, 0x0D),
    Plain(KEY_BACKSPACE, 0x0E),
    Plain(KEY_TAB, 0x0F),
    Plain(KEY_Q, 0x10),
    Plain(KEY_W, 0x11),
    Plain(KEY_E, 0x12),
    Plain(KEY_R, 0x13),
    Plain(KEY_T, 0x14),
    Plain(KEY_Y, 0x15),
    Plain(KEY_U, 0x16),
    Plain(KEY_I, 0x17),
    Plain(KEY_O, 0x18),
    Plain(KEY_P, 0x19),
    Plain(KEY_LEFTBRACE, 0x1A),
    Plain(KEY_RIGHTBRACE, 0x1B),
    Plain(KEY_ENTER, 0x1C),
    Plain(KEY_LEFTCTRL, 0x1D),
    Plain(KEY_A, 0x1E),
    Plain(KEY_S, 0x1F),
    Plain(KEY_D, 0x20),
    Plain(KEY_F, 0x21),
    Plain(KEY_G, 0x22),
    Plain(KEY_H, 0x23),
    Plain(KEY_J, 0x24),
    Plain(KEY_K, 0x25),
    Plain(KEY_L, 0x26),
    Plain(KEY_SEMICOLON, 0x27),
    Plain(KEY_APOSTROPHE, 0x28),
    Plain(KEY_GRAVE, 0x29),
    Plain(KEY_LEFTSHIFT, 0x2A),
    Plain(KEY_BACKSLASH, 0x2B),
    Plain(KEY_Z, 0x2C),
    Plain(KEY_X, 0x2D),
    Plain(KEY_C, 0x2E),
    Plain(KEY_V, 0x2F),
    Plain(KEY_B, 0x30),
    Plain(KEY_N, 0x31),
    Plain(KEY_M, 0x32),
    Plain(KEY_COMMA, 0x33),
    Plain(KEY_DOT, 0x34),
    Plain(KEY_SLASH, 0x35),
    Extended(KEY_RIGHTSHIFT, 0x36),
    Plain(KEY_KPASTERISK, 0x37),
    Plain(KEY_LEFTALT, 0x38),
    Plain(KEY_SPACE, 0x39),
    Plain(KEY_CAPSLOCK, 0x3A),
    Plain(KEY_F1, 0x3B),
    Plain(KEY_F2, 0x3C),
    Plain(KEY_F3, 0x3D),
    Plain(KEY_F4, 0x3E),
    Plain(KEY_F5, 0x3F),
    Plain(KEY_F6, 0x40),
    Plain(KEY_F7, 0x41),
    Plain(KEY_F8, 0x42),
    Plain(KEY_F9, 0x43),
    Plain(KEY_F10, 0x44),
    Extended(KEY_NUMLOCK, 0x45),
    Plain(KEY_SCROLLLOCK, 0x46),
    Plain(KEY_KP7, 0x47),
    Plain(KEY_KP8, 0x48),
    Plain(KEY_KP9, 0x49),
    Plain(KEY_KPMINUS, 0x4A),
    Plain(KEY_KP4, 0x4B),
    Plain(KEY_KP5, 0x4C),
    Plain(KEY_KP6, 0x4D),
    Plain(KEY_KPPLUS, 0x4E),
    Plain(KEY_KP1, 0x4F),
    Plain(KEY_KP2, 0x50),
    Plain(KEY_KP3, 0x51),
    Plain(KEY_KP0, 0x52),
    Plain(KEY_KPDOT, 0x53),
    Plain(KEY_102ND, 0x56),
    Plain(KEY_F11, 0x57),
    Plain(KEY_F12, 0x58),
    Plain(KEY_RO, 0x73),
    Plain(KEY_HENKAN, 0x79),
    Plain(KEY_KATAKANAHIRAGANA, 0x70),
    Plain(KEY_MUHENKAN, 0x7B),
    Extended(KEY_KPENTER, 0x1C),
    Extended(KEY_RIGHTCTRL, 0x1D),
    Extended(KEY_KPSLASH, 0x35),
    Extended(KEY_SYSRQ, 0x37), // Print Screen
    Extended(KEY_RIGHTALT, 0x38),
    Extended(KEY_HOME, 0x47),
    Extended(KEY_UP, 0x48),
    Extended(KEY_PAGEUP, 0x49),
    Extended(KEY_LEFT, 0x4B),
    Extended(KEY_RIGHT, 0x4D),
    Extended(KEY_END, 0x4F),
    Extended(KEY_DOWN, 0x50),
    Extended(KEY_PAGEDOWN, 0x51),
    Extended(KEY_INSERT, 0x52),
    Extended(KEY_DELETE, 0x53),
    Plain(KEY_PAUSE, 0x45),
    Plain(KEY_KPCOMMA, 0x7E),
    Plain(KEY_HANGEUL, 0x72),
    Plain(KEY_HANJA, 0x71),
    Plain(KEY_YEN, 0x7D),
    Extended(KEY_LEFTMETA, 0x5B),
    Extended(KEY_RIGHTMETA, 0x5C),
    Extended(KEY_COMPOSE, 0x5D), // the application (menu) key
};

constexpr bool SortedByCode() {
    for (std::size_t i = 1; i < kMap.size(); ++i) {
        if (kMap[i - 1].evdevCode >= kMap[i].evdevCode) {
            return false;
        }
    }
    return true;
}
// The lookup below is a binary search.
static_assert(SortedByCode(), "evdev map must be strictly ordered by evdev code");

} // namespace

std::span<const EvdevKeyMapping> EvdevKeyMap() {
    return kMap;
}

std::optional<ScanCode> ScanCodeFromEvdev(std::uint16_t evdevCode) {
    const auto it =
        std::lower_bound(kMap.begin(), kMap.end(), evdevCode,
                         [](const EvdevKeyMapping& m, std::uint16_t code) { return m.evdevCode < code; });
    if (it == kMap.end() || it->evdevCode != evdevCode) {
        return std::nullopt;
    }
    return it->scan;
}

int FindKeyByEvdevCode(std::uint16_t evdevCode) {
    const auto scan = ScanCodeFromEvdev(evdevCode);
    return scan ? FindKeyByScanCode(*scan) : kKeyNotFound;
}

std::optional<std::uint16_t> EvdevCodeFromScanCode(ScanCode scan) {
    for (const auto& mapping : kMap) {
        if (mapping.scan == scan) {
            return mapping.evdevCode;
        }
    }
    return std::nullopt;
}

std::optional<std::uint8_t> MouseButtonFromEvdev(std::uint16_t evdevCode) {
    switch (evdevCode) {
    case BTN_LEFT:
        return kMouseLeft;
    case BTN_RIGHT:
        return kMouseRight;
    case BTN_MIDDLE:
        return kMouseMiddle;
    case BTN_SIDE: // what most mice send for their back button
    case BTN_BACK:
        return kMouseFourth;
    case BTN_EXTRA: // and for their forward button
    case BTN_FORWARD:
        return kMouseFifth;
    default:
        return std::nullopt;
    }
}

} // namespace velkor
