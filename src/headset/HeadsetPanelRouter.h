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
// is a headset (kind 7) and the selected device. Before each operation the headset takes what the
// panels show; after it the panels show what the headset has, without
// notifications, and each panel's status line says what cannot work and why.
// A microphone or monitoring change the headset refused is told on the audio
// panel's status line for 5 s (a timer of that line).
// User-interface thread.
#include "ui/Notification.h"

#include <functional>
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

class HeadsetPanelRouter final : public ui::NotifyReceiver {
public:
    static constexpr std::string_view kRefusedText = "hs_status_refused";
    static constexpr int kRefusedTimer = 6533;
    static constexpr int kRefusedShownMs = 5000;

    // Everything given must outlive the router; either panel may be null.
    HeadsetPanelRouter(CTolvanicUSBDevice& device, CVoice6533ControlUI* audio, CMagicControlUI* magic,
                       ui::UserPrompts& prompts);
    ~HeadsetPanelRouter() override;
    HeadsetPanelRouter(const HeadsetPanelRouter&) = delete;
    HeadsetPanelRouter& operator=(const HeadsetPanelRouter&) = delete;

    // Whether the headset is the selected device; unset: it always is.
    void SetSelectedQuery(std::function<bool()> selected) { m_selected = std::move(selected); }
    // True when the notification came from one of the panels and was handled.
    bool Route(const ui::Notification& notification);
    // The panels show what the headset has.
    void ShowDevice();
    // Only the refusal line's timer: every other notification reaches Route through the window.
    void Notify(const ui::Notification& notification) override;

private:
    // The audio panel's status line, or null.
    ui::Control* AudioStatusLine() const;
    void ShowRefused();
    void SaveCustom();
    // The status lines and the controls that cannot act, disabled or hidden.
    void ShowAvailability(CTolvanicHS6533Device& headset);

    CTolvanicUSBDevice& m_device;
    CVoice6533ControlUI* m_audio;
    CMagicControlUI* m_magic;
    ui::UserPrompts& m_prompts;
    std::function<bool()> m_selected;
    bool m_refusedShown = false;
};

} // namespace velkor
