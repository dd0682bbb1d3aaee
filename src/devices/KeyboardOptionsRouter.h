#pragma once
// Routes the notifications of a keyboard page's own controls to the keyboard:
//   click          "winlockflag_option", "wflag_option", "6flag_option" (the
//                  option's new state), "default_btn", "reset_repeat_btn"
//                  (the default profile), "key_" + n (on the lighting page:
//                  paint key n in the custom colours; on the key page: the
//                  key's entry in the key assignment panel)
//   selectchanged  "polling_rate_option_" + n, "repeat_delay_check_" + n
//                  (when selected)
//   valuechanged   "repeat_rate_slider"
// A notification is taken only when its sender lies in the keyboard's page.
// User-interface thread.
#include "ui/Notification.h"

namespace velkor {

class CTolvanicKeyboardDevice;

class KeyboardOptionsRouter {
public:
    // The keyboard must outlive the router.
    explicit KeyboardOptionsRouter(CTolvanicKeyboardDevice& keyboard) : m_keyboard(keyboard) {}

    // True when the notification was one of the keyboard's and was handled.
    bool Route(const ui::Notification& notification);

private:
    CTolvanicKeyboardDevice& m_keyboard;
};

} // namespace velkor
