#include "lighting/AudioLightControls.h"

#include "platform/Trace.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"

#include <string>

namespace velkor {

namespace {

uint8_t Byte(uint32_t word, int index) {
    return uint8_t(word >> (8 * index));
}

uint32_t Rgb(uint8_t red, uint8_t green, uint8_t blue) {
    return uint32_t(red) << 16 | uint32_t(green) << 8 | blue;
}

} // namespace

AudioLightWords AudioLightWords::From(const AudioLightValues& values) {
    AudioLightWords words;
    words.style = Byte(values[0], 0);
    words.background = Rgb(Byte(values[0], 1), Byte(values[0], 2), Byte(values[0], 3));
    words.foreground = Rgb(Byte(values[1], 0), Byte(values[1], 1), Byte(values[1], 2));
    words.multicolour = Byte(values[1], 3) != 0;
    words.targetForeground = Byte(values[2], 0) == 1;
    return words;
}

AudioLightValues AudioLightWords::Values() const {
    auto channels = [](uint32_t rgb) {
        return std::array<uint32_t, 3>{rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF};
    };
    const auto bk = channels(background);
    const auto fg = channels(foreground);
    return {uint32_t(style) | bk[0] << 8 | bk[1] << 16 | bk[2] << 24,
            fg[0] | fg[1] << 8 | fg[2] << 16 | uint32_t(multicolour ? 1 : 0) << 24,
            targetForeground ? 1u : 0u};
}

ui::Control* AudioLightControls::Find(std::string_view name) const {
    return m_panel.Name() == name ? &m_panel : m_panel.FindChild(name);
}

bool AudioLightControls::Show(const AudioLightValues& values) {
    auto* combo = ui::As<ui::ListControl>(Find(kCombo));
    if (combo == nullptr) {
        Trace(" SetAudioLightInfo control is NULL");
        return false;
    }
    m_values = values;
    const AudioLightWords words = AudioLightWords::From(values);
    combo->SelectItem(words.style, false);
    auto* background = ui::As<ui::SelectableControl>(Find(kBackgroundOption));
    auto* foreground = ui::As<ui::SelectableControl>(Find(kForegroundOption));
    if (background != nullptr) {
        background->SetSelected(!words.targetForeground, false);
    }
    if (foreground != nullptr) {
        foreground->SetSelected(words.targetForeground, false);
    }
    // Shown for either target: a read takes the flag from the check, so a
    // background edit must find it as stored.
    if (auto* check = ui::As<ui::SelectableControl>(Find(kMulticolourCheck))) {
        check->SetSelected(words.multicolour, false);
    }
    const uint32_t colour = words.targetForeground ? words.foreground : words.background;
    for (int channel = 0; channel < 3; ++channel) {
        if (ui::Control* edit = Edit(channel)) {
            edit->SetText(std::to_string(colour >> (16 - 8 * channel) & 0xFF));
        }
    }
    for (std::string_view name : {kPalette, kSwatch}) {
        if (ui::Control* control = Find(name)) {
            control->SetBackgroundColour(0xFF000000u | colour);
        }
    }
    const bool colours = words.style != kRingsStyle;
    for (std::string_view name : {kColourLayout, kPaletteLayout}) {
        if (ui::Control* layout = Find(name)) {
            layout->SetEnabled(colours);
        }
    }
    return true;
}

bool AudioLightControls::Read(bool takeSwatch, AudioLightValues& out) const {
    auto* combo = ui::As<ui::ListControl>(Find(kCombo));
    auto* multicolour = ui::As<ui::SelectableControl>(Find(kMulticolourCheck));
    auto* background = ui::As<ui::SelectableControl>(Find(kBackgroundOption));
    auto* foreground = ui::As<ui::SelectableControl>(Find(kForegroundOption));
    ui::Control* swatch = Find(kSwatch);
    if (combo == nullptr || multicolour == nullptr || background == nullptr || foreground == nullptr ||
        (takeSwatch && swatch == nullptr)) {
        Trace("GetAudioLightInfo control is NULL");
        return false;
    }
    AudioLightWords words = AudioLightWords::From(m_values);
    const int row = combo->SelectedIndex();
    if (row >= 0 && row <= 255) {
        words.style = uint8_t(row);
    }
    words.multicolour = multicolour->IsSelected();
    // Background option off: the foreground. On: the background, unless the
    // stored target was the background and the foreground option is on too.
    const bool stored = words.targetForeground;
    if (!background->IsSelected()) {
        words.targetForeground = true;
    } else {
        words.targetForeground = !stored && foreground->IsSelected();
    }
    if (takeSwatch) {
        words.TargetColour() = swatch->BackgroundColour() & 0xFFFFFFu;
    }
    out = words.Values();
    return true;
}

uint32_t AudioLightControls::PaletteColour() const {
    ui::Control* palette = Find(kPalette);
    return palette != nullptr ? palette->BackgroundColour() : kMissingPaletteColour;
}

uint32_t AudioLightControls::PresetColour(int n) const {
    ui::Control* preset = n >= 0 ? m_panel.FindChild(ui::FamilyName(kPresetPrefix, n)) : nullptr;
    return preset != nullptr ? preset->BackgroundColour() : 0;
}

ui::Control* AudioLightControls::Edit(int channel) const {
    return channel >= 0 && channel < 3 ? Find(kEdits[channel]) : nullptr;
}

} // namespace velkor
