#pragma once
// The window input tap: while a window has one, the keys and mouse buttons
// the user presses in that window reach the tap as Linux input codes, and no
// key reaches a control of the window or a shortcut (mouse buttons still do).
// Key repeats are not reported.
#include <cstdint>

namespace velkor::ui {

struct InputPress {
    enum class Kind { Key, Button };
    Kind kind = Kind::Key;
    // KEY_* or BTN_* of <linux/input-event-codes.h>.
    uint16_t code = 0;
    bool down = true;
    // Milliseconds of the toolkit's event clock; only differences mean anything.
    int64_t timeMs = 0;
    bool operator==(const InputPress&) const = default;
};

class InputTap {
public:
    virtual ~InputTap() = default;
    // User-interface thread.
    virtual void InputTapped(const InputPress& press) = 0;
};

} // namespace velkor::ui
