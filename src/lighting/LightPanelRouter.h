#pragma once
// Routes the main window's notifications of the lighting panel's controls to
// the panel handlers, on the selected device and its panel:
//   click          "color_option_" + n, "custom_bright_color_btn",
//                  "custom_off_color_btn", "deng_same_mode"
//   selectchanged  "deng_FXL_check", "deng_FXR_check", "deng_7color_check"
//   valuechanged   "deng_light_slider", "deng_speed_slider"
//   itemselect     "light_combo_modeSelect", "light_combo_custommodeSelect",
//                  "light_combo_ZZCCmodeSelect"
//   killfocus      "deng_edit_R", "deng_edit_G", "deng_edit_B"
//   colorchanged   "deng_Color_Pallet"
// A notification is handled only when there is a selected device with a
// panel and the sender lies inside that panel (every device page has
// controls of the same names). Runs on the user-interface thread.
#include "lighting/LightPanelHandlers.h"
#include "lighting/SameMode.h"
#include "ui/Notification.h"

#include <functional>

namespace velkor {

class LightPanelRouter {
public:
    using SelectedDeviceFn = std::function<CTolvanicUSBDevice*()>;
    // The keyboard side of a device (per-key colours); null for other kinds.
    using KeyboardLinkFn = std::function<KeyboardLightingLink*(CTolvanicUSBDevice&)>;

    // Everything passed must outlive the router. `keyboardLink` may be empty.
    LightPanelRouter(const LightPanels& panels, SelectedDeviceFn selectedDevice, LightPanelHandlers& handlers,
                     SameMode& sameMode, KeyboardLinkFn keyboardLink = {})
        : m_panels(panels), m_selectedDevice(std::move(selectedDevice)), m_handlers(handlers),
          m_sameMode(sameMode), m_keyboardLink(std::move(keyboardLink)) {}

    // True when the notification was one of the panel's and was handled.
    bool Route(const ui::Notification& notification);
    // True for the names and types listed above (whether or not a device is selected).
    static bool IsPanelNotification(std::string_view type, std::string_view name);

private:
    const LightPanels& m_panels;
    SelectedDeviceFn m_selectedDevice;
    LightPanelHandlers& m_handlers;
    SameMode& m_sameMode;
    KeyboardLinkFn m_keyboardLink;
};

} // namespace velkor
