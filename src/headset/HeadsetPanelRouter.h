#pragma once
// Routes the notifications of the headset's two panels to the headset:
//   selectchanged  "6533_eq_option_" + n (SelectEqPreset), "6533_MicIn_option",
//                  "6533_MicMoniter_option", "magic_enable_option",
//                  "magic_option_" + n (SelectVoice)
//   valuechanged   "6533_eq_hz_slider_" + b, "6533_MicIn_slider", "6533_MicMoniter_slider"
//   itemselect     "custom_eq_name_combo"
//   click          "hs_EQ_btn_save", "hs_EQ_btn_delete"
// The control name splits into a prefix and the decimal number that ends it.
// Only a sender inside one of the panels is taken, and only while the device
// is a headset (kind 7). Before each operation the headset takes what the
// panels show; after it the panels show what the headset has, without
// notifications, and each panel's status line says what cannot work and why.
// User-interface thread.
#include "ui/Notification.h"

#include <string_view>

namespace velkor {

class CTolvanicUSBDevice;
class CTolvanicHS6533Device;
class CVoice6533ControlUI;
class CMagicControlUI;
namespace ui {
class UserPrompts;
}

// "6533_eq_option_12" -> {"6533_eq_option_", 12}; number -1 when the name has no trailing digits.
struct SplitName {
    std::string_view prefix;
    int number = -1;
};
SplitName SplitControlName(std::string_view name);

class HeadsetPanelRouter {
public:
    // Everything given must outlive the router; either panel may be null.
    HeadsetPanelRouter(CTolvanicUSBDevice& device, CVoice6533ControlUI* audio, CMagicControlUI* magic,
                       ui::UserPrompts& prompts)
        : m_device(device), m_audio(audio), m_magic(magic), m_prompts(prompts) {}

    // True when the notification came from one of the panels and was handled.
    bool Route(const ui::Notification& notification);
    // The panels show what the headset has.
    void ShowDevice();

private:
    void SaveCustom();
    // The status lines and the controls that cannot act, disabled or hidden.
    void ShowAvailability(CTolvanicHS6533Device& headset);

    CTolvanicUSBDevice& m_device;
    CVoice6533ControlUI* m_audio;
    CMagicControlUI* m_magic;
    ui::UserPrompts& m_prompts;
};

} // namespace velkor
