#include "lighting/LightPanelRouter.h"

#include "devices/TolvanicUSBDevice.h"
#include "lighting/CLightControlUI.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"

namespace velkor {

namespace {

using Panel = CLightControlUI;
constexpr std::string_view kBrightButton = "custom_bright_color_btn";
constexpr std::string_view kOffButton = "custom_off_color_btn";

int PresetNumber(std::string_view name) {
    std::string prefix;
    int number = -1;
    if (!ui::SplitFamilyName(name, prefix, number) || prefix != Panel::kPresetPrefix) {
        return -1;
    }
    return number;
}

int EditChannel(std::string_view name) {
    if (name == Panel::kEditRed) {
        return 0;
    }
    if (name == Panel::kEditGreen) {
        return 1;
    }
    if (name == Panel::kEditBlue) {
        return 2;
    }
    return -1;
}

} // namespace

bool LightPanelRouter::IsPanelNotification(std::string_view type, std::string_view name) {
    if (type == ui::kNotifyClick) {
        return PresetNumber(name) >= 0 || name == kBrightButton || name == kOffButton ||
               name == Panel::kSameModeButton;
    }
    if (type == ui::kNotifySelectChanged) {
        return name == Panel::kLeftCheck || name == Panel::kRightCheck || name == Panel::kSevenColorCheck;
    }
    if (type == ui::kNotifyValueChanged) {
        return name == Panel::kBrightnessSlider || name == Panel::kSpeedSlider;
    }
    if (type == ui::kNotifyItemSelect) {
        return name == Panel::kModeCombo || name == Panel::kCustomCombo || name == Panel::kZzccCombo;
    }
    if (type == ui::kNotifyKillFocus) {
        return EditChannel(name) >= 0;
    }
    if (type == ui::kNotifyColorChanged) {
        return name == Panel::kPalette;
    }
    return false;
}

bool LightPanelRouter::Route(const ui::Notification& notification) {
    if (notification.sender == nullptr) {
        return false;
    }
    const std::string& name = notification.sender->Name();
    const std::string_view type = notification.type;
    if (!IsPanelNotification(type, name)) {
        return false;
    }
    CTolvanicUSBDevice* device = m_selectedDevice ? m_selectedDevice() : nullptr;
    CLightControlUI* panel = device != nullptr ? m_panels.PanelOf(*device) : nullptr;
    if (panel == nullptr || !panel->Panel().Contains(notification.sender)) {
        return false;
    }
    KeyboardLightingLink* keyboard = m_keyboardLink ? m_keyboardLink(*device) : nullptr;

    if (type == ui::kNotifyClick) {
        if (name == Panel::kSameModeButton) {
            m_sameMode.Press(device);
        } else if (name == kBrightButton || name == kOffButton) {
            m_handlers.PerKeyBrushChosen(*device, name == kBrightButton, keyboard);
        } else {
            m_handlers.PresetColourChosen(*device, *panel, PresetNumber(name));
        }
    } else if (type == ui::kNotifySelectChanged) {
        if (name == Panel::kSevenColorCheck) {
            m_handlers.SevenColorChanged(*device, *panel);
        } else {
            m_handlers.DirectionChosen(*device, *panel, name == Panel::kLeftCheck);
        }
    } else if (type == ui::kNotifyValueChanged) {
        if (name == Panel::kBrightnessSlider) {
            m_handlers.BrightnessChanged(*device, *panel);
        } else {
            m_handlers.SpeedChanged(*device, *panel);
        }
    } else if (type == ui::kNotifyItemSelect) {
        if (name == Panel::kModeCombo) {
            m_handlers.ModeChosen(*device, *panel);
        } else if (name == Panel::kCustomCombo) {
            m_handlers.CustomGroupChosen(*device, *panel, keyboard);
        } else {
            m_handlers.ZzccChosen(*device, *panel);
        }
    } else if (type == ui::kNotifyKillFocus) {
        m_handlers.ColourEditDone(*device, *panel, EditChannel(name));
    } else {
        m_handlers.PaletteColourChanged(*device, *panel, uint32_t(notification.wParam));
    }
    return true;
}

} // namespace velkor
