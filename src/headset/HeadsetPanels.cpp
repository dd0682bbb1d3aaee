#include "headset/HeadsetPanels.h"

#include "headset/TolvanicHS6533Device.h"
#include "ui/Control.h"

#include <algorithm>
#include <cstdio>

namespace velkor {

namespace {

std::string Numbered(std::string_view prefix, int n) {
    return std::string(prefix) + std::to_string(n);
}

} // namespace

// ---- Audio panel ----

ui::Control* CVoice6533ControlUI::Find(ui::Control*& cache, std::string_view name) {
    if (cache == nullptr) {
        cache = m_panel.FindChild(name);
    }
    return cache;
}

ui::ListControl* CVoice6533ControlUI::NameCombo() {
    return ui::As<ui::ListControl>(Find(m_combo, "custom_eq_name_combo"));
}

ui::Control* CVoice6533ControlUI::EqOptionControl(int type) {
    if (type < 1 || type > kEqOptions) {
        return nullptr;
    }
    return Find(m_eqOptions[size_t(type - 1)], Numbered("6533_eq_option_", type));
}

ui::Control* CVoice6533ControlUI::BandSlider(int band) {
    if (band < 0 || band >= kBands) {
        return nullptr;
    }
    return Find(m_bands[size_t(band)], Numbered("6533_eq_hz_slider_", band));
}

void CVoice6533ControlUI::ShowEqOption(int type) {
    for (int n = 1; n <= kEqOptions; ++n) {
        if (auto* option = ui::As<ui::SelectableControl>(EqOptionControl(n))) {
            option->SetSelected(false, false);
        }
    }
    if (auto* option = ui::As<ui::SelectableControl>(EqOptionControl(type))) {
        option->SetSelected(true, false);
    }
    m_eqOption = type >= 1 && type <= kEqOptions ? type : 0;
}

void CVoice6533ControlUI::EnableCustomSection(bool on) {
    if (ui::Control* section = Find(m_custom, "custom_eq_option_layout")) {
        section->SetEnabled(on);
    }
}

void CVoice6533ControlUI::SetBand(int band, int value) {
    if (ui::Control* slider = BandSlider(band)) {
        if (ui::RangeControl* range = slider->AsRange()) {
            range->SetValue(value);
        }
        ShowGain(*slider);
    }
}

void CVoice6533ControlUI::ShowGain(ui::Control& slider) {
    // A step is half a decibel.
    char text[24];
    const ui::RangeControl* range = slider.AsRange();
    std::snprintf(text, sizeof(text), "%+.1f dB", (range != nullptr ? range->Value() : 0) * 0.5);
    slider.SetToolTip(text);
}

int CVoice6533ControlUI::Band(int band) {
    const ui::RangeControl* slider = ui::As<ui::RangeControl>(BandSlider(band));
    return slider != nullptr ? slider->Value() : -1;
}

void CVoice6533ControlUI::SetMicLevel(int value) {
    if (auto* slider = ui::As<ui::RangeControl>(Find(m_micSlider, "6533_MicIn_slider"))) {
        slider->SetValue(value);
    }
}

int CVoice6533ControlUI::MicLevel() {
    const ui::RangeControl* slider = ui::As<ui::RangeControl>(Find(m_micSlider, "6533_MicIn_slider"));
    return slider != nullptr ? slider->Value() : -1;
}

void CVoice6533ControlUI::SetMicOption(bool on) {
    if (auto* option = ui::As<ui::SelectableControl>(Find(m_micOption, "6533_MicIn_option"))) {
        option->SetSelected(on, false);
    }
}

bool CVoice6533ControlUI::MicOption() {
    const auto* option = ui::As<ui::SelectableControl>(Find(m_micOption, "6533_MicIn_option"));
    return option != nullptr && option->IsSelected();
}

void CVoice6533ControlUI::SetMonitorLevel(int value) {
    if (auto* slider = ui::As<ui::RangeControl>(Find(m_monitorSlider, "6533_MicMoniter_slider"))) {
        slider->SetValue(value);
    }
}

int CVoice6533ControlUI::MonitorLevel() {
    const ui::RangeControl* slider =
        ui::As<ui::RangeControl>(Find(m_monitorSlider, "6533_MicMoniter_slider"));
    return slider != nullptr ? slider->Value() : -1;
}

void CVoice6533ControlUI::SetMonitorOption(bool on) {
    if (auto* option = ui::As<ui::SelectableControl>(Find(m_monitorOption, "6533_MicMoniter_option"))) {
        option->SetSelected(on, false);
    }
}

bool CVoice6533ControlUI::MonitorOption() {
    const auto* option = ui::As<ui::SelectableControl>(Find(m_monitorOption, "6533_MicMoniter_option"));
    return option != nullptr && option->IsSelected();
}

void CVoice6533ControlUI::AddCustomName(std::string_view name) {
    if (ui::Control* combo = Find(m_combo, "custom_eq_name_combo")) {
        combo->SetResourceText(false); // user names, not language keys
        if (ui::ListControl* names = combo->AsList()) {
            names->InsertItem(-1, name, name);
        }
    }
}

void CVoice6533ControlUI::RemoveCustomAt(int index) {
    if (ui::ListControl* combo = NameCombo()) {
        combo->RemoveItem(index);
    }
}

void CVoice6533ControlUI::RemoveAllCustom() {
    if (ui::ListControl* combo = NameCombo()) {
        combo->RemoveAllItems();
    }
}

int CVoice6533ControlUI::CustomCount() {
    ui::ListControl* combo = NameCombo();
    return combo != nullptr ? combo->ItemCount() : 0;
}

std::string CVoice6533ControlUI::CustomNameAt(int index) {
    ui::ListControl* combo = NameCombo();
    if (combo == nullptr || index < 0 || index >= combo->ItemCount()) {
        return {};
    }
    return combo->ItemUserData(index);
}

int CVoice6533ControlUI::SelectedCustom() {
    ui::ListControl* combo = NameCombo();
    return combo != nullptr ? combo->SelectedIndex() : -1;
}

void CVoice6533ControlUI::SelectCustom(int index) {
    if (ui::ListControl* combo = NameCombo()) {
        combo->SelectItem(index, false);
    }
    SetNameField("");
}

std::string CVoice6533ControlUI::NameField() {
    ui::Control* edit = Find(m_edit, "custom_eq_name_edit");
    return edit != nullptr ? edit->Text() : std::string();
}

void CVoice6533ControlUI::SetNameField(std::string_view text) {
    if (ui::Control* edit = Find(m_edit, "custom_eq_name_edit")) {
        edit->SetText(text);
    }
}

void CVoice6533ControlUI::Show(const HeadsetView& view) {
    SetMicOption(view.micOption);
    SetMicLevel(view.micSlider);
    SetMonitorOption(view.monitorOption);
    SetMonitorLevel(view.monitorSlider);
    ShowEqOption(view.eqOption);
    // Rebuilt only when the names differ, so that a row the user picked stays.
    bool same = CustomCount() == int(view.customList.size());
    for (int i = 0; same && i < CustomCount(); ++i) {
        same = CustomNameAt(i) == view.customList[size_t(i)];
    }
    if (!same) {
        RemoveAllCustom();
        for (const std::string& name : view.customList) {
            AddCustomName(name);
        }
    }
    if (ui::ListControl* combo = NameCombo()) {
        combo->SelectItem(view.customSelected < CustomCount() ? view.customSelected : -1, false);
    }
    SetNameField(view.nameField);
    EnableCustomSection(view.customEnabled);
    for (int b = 0; b < kBands; ++b) {
        SetBand(b, view.bandSliders[size_t(b)]);
    }
}

void CVoice6533ControlUI::Read(HeadsetView& view) {
    for (int b = 0; b < kBands; ++b) {
        if (ui::Control* slider = BandSlider(b)) {
            const ui::RangeControl* range = slider->AsRange();
            view.bandSliders[size_t(b)] = range != nullptr ? range->Value() : 0;
            ShowGain(*slider);
        }
    }
    if (Find(m_micSlider, "6533_MicIn_slider") != nullptr) {
        view.micSlider = MicLevel();
    }
    if (Find(m_monitorSlider, "6533_MicMoniter_slider") != nullptr) {
        view.monitorSlider = MonitorLevel();
    }
    view.customSelected = SelectedCustom();
    view.nameField = NameField();
}

// ---- Voice-changer panel ----

ui::Control* CMagicControlUI::Find(ui::Control*& cache, std::string_view name) {
    if (cache == nullptr) {
        cache = m_panel.FindChild(name);
    }
    return cache;
}

bool CMagicControlUI::Enabled() {
    const auto* option = ui::As<ui::SelectableControl>(Find(m_enable, "magic_enable_option"));
    return option != nullptr && option->IsSelected();
}

void CMagicControlUI::SetEnabled(bool on) {
    if (auto* option = ui::As<ui::SelectableControl>(Find(m_enable, "magic_enable_option"))) {
        option->SetSelected(on, false);
    }
    EnableVoices(on);
}

void CMagicControlUI::EnableVoices(bool on) {
    if (ui::Control* layout = Find(m_voiceLayout, "magic_option_layout")) {
        layout->SetEnabled(on);
    }
}

void CMagicControlUI::ShowVoice(int voice) {
    for (int n = 1; n <= kVoices; ++n) {
        if (auto* option =
                ui::As<ui::SelectableControl>(Find(m_voices[size_t(n - 1)], Numbered("magic_option_", n)))) {
            option->SetSelected(false, false);
        }
    }
    if (voice >= 1 && voice <= kVoices) {
        if (auto* option = ui::As<ui::SelectableControl>(
                Find(m_voices[size_t(voice - 1)], Numbered("magic_option_", voice)))) {
            option->SetSelected(true, false);
        }
    }
    m_voice = voice >= 1 && voice <= kVoices ? voice : 0;
}

void CMagicControlUI::Show(const HeadsetView& view) {
    SetEnabled(view.voiceEnabled);
    EnableVoices(view.voiceOptionsEnabled);
    ShowVoice(view.voice);
}

void CMagicControlUI::Read(HeadsetView& view) {
    if (Find(m_enable, "magic_enable_option") != nullptr) {
        view.voiceEnabled = Enabled();
    }
}

} // namespace velkor
