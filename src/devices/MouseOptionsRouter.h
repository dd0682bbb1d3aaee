#pragma once
// Routes the notifications of a mouse page's own controls to the mouse:
//   selectchanged     "DPI_select_check_" + n (selected), "DPI_enable_check_" + n,
//                     "polling_rate_option_" + n (selected),
//                     "pointer_precision_check", "scrolls_page_check"
//   movevaluechanged  "DPI_slider_" + n (the thumb moves: throttled writes)
//   valuechanged      "DPI_slider_" + n (released: write and save),
//                     "pointer_speed_slider", "scroll_speed_slider", "double_click_slider"
//   killfocus, return "DPI_edit_" + n (typed DPI)
//   click             "DPI_color_option_" + n (the colour question), "default_btn",
//                     "key_" + n on the key page (the button's entry)
// A notification is taken only when its sender lies in the mouse's page.
// Pointer values are stored in the profile and handed to `pointerChanged`
// (which applies them to the desktop); the colour question goes to `askColour`, which
// answers the chosen 0xRRGGBB or nothing. User-interface thread.
#include "profiles/ProfileRecords.h"
#include "ui/Notification.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace velkor {

class CTolvanicMouseDevice;

class MouseOptionsRouter {
public:
    struct Hooks {
        std::function<std::optional<uint32_t>(uint32_t current)> askColour;
        // A pointer control changed: its name and the value in profile units.
        std::function<void(std::string_view control, int value)> pointerChanged;
    };

    // The mouse must outlive the router.
    MouseOptionsRouter(CTolvanicMouseDevice& mouse, Hooks hooks)
        : m_mouse(mouse), m_hooks(std::move(hooks)) {}

    // True when the notification was one of the mouse's and was handled.
    bool Route(const ui::Notification& notification);

private:
    bool RoutePointer(const ui::Notification& notification);

    CTolvanicMouseDevice& m_mouse;
    Hooks m_hooks;
};

} // namespace velkor
