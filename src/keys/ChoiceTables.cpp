#include "keys/ChoiceTables.h"

#include <array>

namespace velkor {
namespace {

constexpr KeyFunction Button(std::uint8_t bit) {
    return KeyFunction{0, KeyCategory::MouseButton, bit, 0};
}
constexpr KeyFunction Dpi(std::uint8_t kind) {
    return KeyFunction{0, KeyCategory::DpiStep, kind, 0};
}
constexpr KeyFunction System(std::uint8_t bit) {
    return KeyFunction{0, KeyCategory::System, bit, 0};
}

constexpr std::array kMouseButtons{
    Button(kMouseLeft), Button(kMouseMiddle), Button(kMouseRight), Button(kMouseFifth), Button(kMouseFourth),
};

constexpr std::array kDpiSteps{Dpi(1), Dpi(2), Dpi(3)};

constexpr std::array kSystem{System(kSystemPower), System(kSystemSleep), System(kSystemWake)};

constexpr std::array kMedia{
    MakeMedia(0x0183), // media select
    MakeMedia(0x00CD), // play / pause
    MakeMedia(0x00B7), // stop
    MakeMedia(0x00B6), // previous track
    MakeMedia(0x00B5), // next track
    MakeMedia(0x00EA), // volume down
    MakeMedia(0x00E9), // volume up
    MakeMedia(0x00E2), // mute
    MakeMedia(0x0223), // browser home
    MakeMedia(0x0227), // refresh
    MakeMedia(0x0226), // browser stop
    MakeMedia(0x0224), // back
    MakeMedia(0x0225), // forward
    MakeMedia(0x022A), // favourites
    MakeMedia(0x0221), // search
    MakeMedia(0x0194), // computer
    MakeMedia(0x0192), // calculator
    MakeMedia(0x018A), // mail
};

constexpr std::array kShortcuts{
    MakeShortcut(0x12), // O
    MakeShortcut(0x11), // N
    MakeShortcut(0x1D), // Z
    MakeShortcut(0x16), // S
    MakeShortcut(0x06), // C
    MakeShortcut(0x1B), // X
    MakeShortcut(0x19), // V
    MakeShortcut(0x09), // F
    MakeShortcut(0x04), // A
    MakeShortcut(0x2D), // minus
    MakeShortcut(0x2E), // equals
};

} // namespace

std::span<const KeyFunction> MouseButtonChoices() {
    return kMouseButtons;
}
std::span<const KeyFunction> DpiChoices() {
    return kDpiSteps;
}
std::span<const KeyFunction> SystemChoices() {
    return kSystem;
}
std::span<const KeyFunction> MediaChoices() {
    return kMedia;
}
std::span<const KeyFunction> ShortcutChoices() {
    return kShortcuts;
}

int FindChoice(std::span<const KeyFunction> choices, const KeyFunction& value) {
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (choices[i].SameFunction(value)) {
            return static_cast<int>(i);
        }
    }
    return kKeyNotFound;
}

} // namespace velkor
