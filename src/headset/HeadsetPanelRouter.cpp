#include "headset/HeadsetPanelRouter.h"

#include "headset/HeadsetPanels.h"
#include "headset/TolvanicHS6533Device.h"
#include "ui/Control.h"
#include "ui/Prompts.h"
#include "ui/Window.h"

namespace velkor {

SplitName SplitControlName(std::string_view name) {
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') {
        --digits;
    }
    const std::string_view number = name.substr(digits);
    if (number.empty() || number.size() > 6) {
        return {name, -1};
    }
    int value = 0;
    for (char c : number) {
        value = value * 10 + (c - '0');
    }
    return {name.substr(0, digits), value};
}

namespace {

void EnableNamed(ui::Control& panel, std::string_view name, bool on) {
    if (ui::Control* control = panel.FindChild(name)) {
        control->SetEnabled(on);
    }
}

void ShowStatus(ui::Control& panel, std::string_view name, std::string_view key) {
    if (ui::Control* label = panel.FindChild(name)) {
        label->SetResourceText(true);
        label->SetText(key);
    }
}

} // namespace

HeadsetPanelRouter::HeadsetPanelRouter(CTolvanicUSBDevice& device, CVoice6533ControlUI* audio,
                                       CMagicControlUI* magic, ui::UserPrompts& prompts)
    : m_device(device), m_audio(audio), m_magic(magic), m_prompts(prompts) {
    if (m_audio != nullptr) {
        m_audio->Panel().OwnerWindow().AddNotifier(*this);
    }
}

HeadsetPanelRouter::~HeadsetPanelRouter() {
    if (m_audio != nullptr) {
        if (ui::Control* line = AudioStatusLine()) {
            line->KillTimer(kRefusedTimer);
        }
        m_audio->Panel().OwnerWindow().RemoveNotifier(*this);
    }
}

ui::Control* HeadsetPanelRouter::AudioStatusLine() const {
    return m_audio != nullptr ? m_audio->Panel().FindChild("hs_audio_status_text") : nullptr;
}

void HeadsetPanelRouter::ShowRefused() {
    ui::Control* line = AudioStatusLine();
    if (line == nullptr) {
        return;
    }
    m_refusedShown = true;
    line->SetTimer(kRefusedTimer, kRefusedShownMs); // a second refusal starts the 5 s again
}

void HeadsetPanelRouter::Notify(const ui::Notification& notification) {
    if (notification.type != ui::kNotifyTimer || notification.wParam != kRefusedTimer ||
        notification.sender == nullptr || notification.sender != AudioStatusLine()) {
        return;
    }
    notification.sender->KillTimer(kRefusedTimer);
    m_refusedShown = false;
    ShowDevice();
}

void HeadsetPanelRouter::ShowDevice() {
    auto* headset = dynamic_cast<CTolvanicHS6533Device*>(&m_device);
    if (headset == nullptr) {
        return;
    }
    if (m_audio != nullptr) {
        m_audio->Show(headset->View());
    }
    if (m_magic != nullptr) {
        m_magic->Show(headset->View());
    }
    ShowAvailability(*headset);
}

void HeadsetPanelRouter::ShowAvailability(CTolvanicHS6533Device& headset) {
    // Without the plugin or the headset's sound card nothing here can act.
    const char* missing = headset.Audio() == nullptr      ? "hs_status_no_plugin"
                          : !headset.Audio()->HasOutput() ? "hs_status_no_card"
                                                          : nullptr;
    if (m_audio != nullptr) {
        ui::Control& panel = m_audio->Panel();
        const bool eq = missing == nullptr && headset.Availability(AudioGroup::Equaliser).available;
        const bool monitoring = headset.Availability(AudioGroup::Monitoring).available;
        ShowStatus(panel, "hs_audio_status_text",
                   missing != nullptr ? missing
                   : m_refusedShown   ? kRefusedText
                   : eq               ? "hs_status_eq_where"
                                      : "hs_status_no_eq");
        for (std::string_view name : {"eq_option_layout", "eq_band_layout"}) {
            EnableNamed(panel, name, eq);
        }
        if (!eq) {
            EnableNamed(panel, "custom_eq_option_layout", false);
        }
        EnableNamed(panel, "hs_mic_layout", missing == nullptr);
        EnableNamed(panel, "hs_monitor_layout", missing == nullptr);
        if (ui::Control* row = panel.FindChild("hs_monitor_layout")) {
            row->SetVisible(missing != nullptr || monitoring); // this headset has no side-tone
        }
    }
    if (m_magic != nullptr) {
        ui::Control& panel = m_magic->Panel();
        const bool voice = missing == nullptr && headset.Availability(AudioGroup::VoiceChanger).available;
        const char* key = missing != nullptr            ? missing
                          : !voice                      ? "magic_status_no_shifter"
                          : headset.View().voiceEnabled ? "magic_status_where"
                                                        : "";
        ShowStatus(panel, "magic_status_text", key);
        EnableNamed(panel, "magic_enable_option", voice);
        if (!voice) {
            m_magic->EnableVoices(false);
        }
    }
}

void HeadsetPanelRouter::SaveCustom() {
    auto& headset = static_cast<CTolvanicHS6533Device&>(m_device);
    const HeadsetView& view = headset.View();
    const bool named = !view.nameField.empty();
    // Without these notices nothing is stored and the user would not know.
    if (!named && (view.customSelected < 0 || size_t(view.customSelected) >= view.customList.size())) {
        m_prompts.ShowMessageKey("hs_eq_no_name_text", MsgButtons::Notice);
        return;
    }
    const size_t before = view.customList.size();
    const int result = headset.SaveCustomEq();
    if (result == 0) {
        m_prompts.ShowMessageKey("message_text_5", MsgButtons::Notice);
    } else if (result < 0 && named && before >= 20) {
        m_prompts.ShowMessageKey("hs_eq_full_text", MsgButtons::Notice);
    }
}

bool HeadsetPanelRouter::Route(const ui::Notification& notification) {
    ui::Control* sender = notification.sender;
    if (sender == nullptr) {
        return false;
    }
    const bool inAudio = m_audio != nullptr && m_audio->Panel().Contains(sender);
    const bool inMagic = m_magic != nullptr && m_magic->Panel().Contains(sender);
    if (!inAudio && !inMagic) {
        return false;
    }
    const bool selected = !m_selected || m_selected();
    auto* headset = m_device.State().KindTag() == CTolvanicHS6533Device::kKindTag && selected
                        ? dynamic_cast<CTolvanicHS6533Device*>(&m_device)
                        : nullptr;
    if (headset == nullptr) {
        return true; // the panels' own, but nothing to drive
    }
    const std::string_view type = notification.type;
    if (type != ui::kNotifySelectChanged && type != ui::kNotifyValueChanged &&
        type != ui::kNotifyItemSelect && type != ui::kNotifyClick) {
        return false; // focus, drags and typing: the controls keep what the user is doing
    }
    const std::string& name = sender->Name();
    const SplitName split = SplitControlName(name);
    const bool option = split.prefix == "6533_eq_option_" || split.prefix == "magic_option_";
    const ui::SelectableControl* tick = sender->AsSelectable();
    if (type == ui::kNotifySelectChanged && option && (tick == nullptr || !tick->IsSelected())) {
        // The option losing the selection: showing the device now would select it
        // again and take the selection from the option the user just chose.
        return true;
    }
    HeadsetView& view = headset->View();
    if (m_audio != nullptr) {
        m_audio->Read(view);
    }
    if (m_magic != nullptr) {
        m_magic->Read(view);
    }
    bool handled = true;
    bool refused = false;
    if (type == ui::kNotifySelectChanged) {
        // An option group tells the deselected option first: only the selected one acts.
        if (split.prefix == "6533_eq_option_") {
            headset->SelectEqPreset(split.number);
        } else if (split.prefix == "magic_option_") {
            headset->SelectVoice(split.number);
        } else if (name == "6533_MicIn_option") {
            refused = !headset->ToggleMic();
        } else if (name == "6533_MicMoniter_option") {
            refused = !headset->ToggleMonitor();
        } else if (name == "magic_enable_option") {
            headset->SetVoiceChangerEnabled();
        } else {
            handled = false;
        }
    } else if (type == ui::kNotifyValueChanged) {
        if (split.prefix == "6533_eq_hz_slider_") {
            headset->SetEqBand(split.number);
        } else if (name == "6533_MicIn_slider") {
            refused = !headset->SetMicLevel();
        } else if (name == "6533_MicMoniter_slider") {
            refused = !headset->SetMonitorLevel();
        } else {
            handled = false;
        }
    } else if (type == ui::kNotifyItemSelect && name == "custom_eq_name_combo") {
        view.nameField.clear();
        headset->ApplyCustomEq();
    } else if (type == ui::kNotifyClick && name == "hs_EQ_btn_save") {
        SaveCustom();
    } else if (type == ui::kNotifyClick && name == "hs_EQ_btn_delete") {
        headset->DeleteCustomEq();
    } else {
        handled = false;
    }
    if (refused) {
        ShowRefused();
    }
    ShowDevice();
    return handled;
}

} // namespace velkor
