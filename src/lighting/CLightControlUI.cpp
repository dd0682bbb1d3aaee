#include "lighting/CLightControlUI.h"

#include "ui/Control.h"
#include "ui/ControlClasses.h"

#include <cstdio>
#include <utility>

namespace velkor {

namespace {

constexpr std::array<std::string_view, 25> kSlotNames = {
    CLightControlUI::kModeCombo,        CLightControlUI::kCustomCombo,     CLightControlUI::kZzccCombo,
    CLightControlUI::kBrightnessSlider, CLightControlUI::kSpeedSlider,     CLightControlUI::kEditRed,
    CLightControlUI::kEditGreen,        CLightControlUI::kEditBlue,        CLightControlUI::kPalette,
    CLightControlUI::kSwatch,           CLightControlUI::kSevenColorCheck, CLightControlUI::kLeftCheck,
    CLightControlUI::kRightCheck,       CLightControlUI::kSameModeButton,  CLightControlUI::kEffectLayout,
    CLightControlUI::kColourLayout,     CLightControlUI::kPaletteLayout,   CLightControlUI::kBrightnessLayout,
    CLightControlUI::kSpeedLayout,      CLightControlUI::kDirectionLayout, CLightControlUI::kColourTabLayout,
    CLightControlUI::kCustomLayout,     CLightControlUI::kZzccLayout,      CLightControlUI::kAudioLayout,
    CLightControlUI::kColourPages,
};

std::string Decimal(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

} // namespace

ui::Control* CLightControlUI::Find(Slot slot) {
    static_assert(kSlotNames.size() == kSlotCount);
    ui::Control*& cached = m_controls[slot];
    if (cached == nullptr) {
        const std::string_view name = kSlotNames[slot];
        cached = m_panel.Name() == name ? &m_panel : m_panel.FindChild(name);
    }
    return cached;
}

void CLightControlUI::Enable(Slot slot, bool on) {
    if (ui::Control* control = Find(slot)) {
        control->SetEnabled(on);
    }
}

void CLightControlUI::Show(Slot slot, bool on) {
    if (ui::Control* control = Find(slot)) {
        control->SetVisible(on);
    }
}

void CLightControlUI::SetText(Slot slot, std::string_view key) {
    if (ui::Control* control = Find(slot)) {
        control->SetResourceText(true);
        control->SetText(key);
    }
}

int CLightControlUI::ComboIndex(Slot slot) {
    auto* combo = ui::As<ui::ListControl>(Find(slot));
    return combo != nullptr ? combo->SelectedIndex() : -1;
}

int CLightControlUI::SliderValue(Slot slot) {
    auto* slider = ui::As<ui::RangeControl>(Find(slot));
    return slider != nullptr ? slider->Value() : 0;
}

void CLightControlUI::FillModeList(const std::vector<std::string>& names, const std::vector<int32_t>& visible,
                                   int brightnessMax, int speedMax) {
    m_rowModes.clear();
    m_hiddenMode = -1;
    m_modeCount = int(names.size());
    if (ui::Control* combo = Find(kSlotModeCombo)) {
        ui::ListControl* rows = combo->AsList();
        if (rows != nullptr) {
            rows->RemoveAllItems();
        }
        combo->SetResourceText(true);
        for (size_t mode = 0; rows != nullptr && mode < names.size(); ++mode) {
            if (mode < visible.size() && visible[mode] == 0) {
                continue;
            }
            if (rows->InsertItem(-1, names[mode], names[mode])) {
                m_rowModes.push_back(int(mode));
            }
        }
    }
    for (Slot slot : {kSlotBrightnessSlider, kSlotSpeedSlider}) {
        if (auto* slider = ui::As<ui::RangeControl>(Find(slot))) {
            slider->SetRange(0, slot == kSlotBrightnessSlider ? brightnessMax : speedMax);
        }
    }
}

int CLightControlUI::ModeOfRow(int row) const {
    return row >= 0 && size_t(row) < m_rowModes.size() ? m_rowModes[size_t(row)] : -1;
}

int CLightControlUI::RowOfMode(int mode) const {
    for (size_t row = 0; row < m_rowModes.size(); ++row) {
        if (m_rowModes[row] == mode) {
            return int(row);
        }
    }
    return -1;
}

void CLightControlUI::SelectMode(int mode) {
    const int row = RowOfMode(mode);
    m_hiddenMode = row < 0 && mode >= 0 && mode < m_modeCount ? mode : -1;
    if (auto* combo = ui::As<ui::ListControl>(Find(kSlotModeCombo))) {
        combo->SelectItem(row, false);
    }
    ApplyRules(mode);
}

int CLightControlUI::CurrentMode() {
    auto* combo = ui::As<ui::ListControl>(Find(kSlotModeCombo));
    if (combo == nullptr) {
        return -1;
    }
    const int row = combo->SelectedIndex();
    if (row >= 0) {
        return ModeOfRow(row);
    }
    return m_hiddenMode;
}

void CLightControlUI::ShowLightInfo(const LightInfoRecord& record) {
    SelectMode(record.selectItem);
    SetBrightness(record.light);
    SetSpeed(record.speed);
    ShowColourEdits(record.red, record.green, record.blue);
    SetPaletteColour(PanelColourOf(record));
    SetSwatchColour(PanelColourOf(record));
    SetSevenColor(record.multiColor != 0);
    SetZzccIndex(record.ledMode);
    SetDirection(record.fx != 0);
    ApplyRules(CurrentMode());
}

void CLightControlUI::ApplyRules(int mode) {
    const LightGroupRules rules = LightRulesFor(m_deviceKind, mode);
    if (!rules.applies) {
        return;
    }
    Show(kSlotSameMode, false);
    Enable(kSlotDirectionLayout, true);
    if (rules.keyboard) {
        Show(kSlotCustomLayout, rules.customGroups);
        Show(kSlotSpeedLayout, rules.speedVisible);
        Show(kSlotZzccLayout, rules.zzcc);
        Show(kSlotAudioLayout, rules.audio);
        Enable(kSlotColourTabLayout, rules.colourTab);
        SetText(kSlotLeft, rules.leftText);
        SetText(kSlotRight, rules.rightText);
        if (auto* pages = ui::As<ui::PageControl>(Find(kSlotColourPages))) {
            pages->SelectPage(rules.colourPage);
        }
    }
    Enable(kSlotEffectLayout, true);
    Enable(kSlotColourLayout, rules.colour);
    Enable(kSlotPaletteLayout, rules.palette);
    Enable(kSlotSevenColor, rules.sevenColor);
    Enable(kSlotBrightnessLayout, rules.brightness);
    Enable(kSlotSpeedLayout, rules.speed);
    Enable(kSlotDirectionLayout, rules.direction);
    if (rules.sameMode && m_sameModeAllowed) {
        Show(kSlotSameMode, true);
    }
    m_rules = rules;
    ShowWhatApplies();
}

void CLightControlUI::ShowWhatApplies() {
    const LightGroupRules& rules = m_rules;
    if (!rules.applies) {
        return;
    }
    // A group that does nothing in this effect is not shown at all (a
    // disabled group still reads as a choice); so are the fixed colour's
    // controls while the colours cycle instead.
    const bool fixedColour = !(rules.sevenColor && SevenColor());
    const bool speed = rules.speed && rules.speedVisible;
    const bool colourTab = !rules.keyboard || rules.colourTab;
    Show(kSlotColourLayout, rules.colour && fixedColour);
    Show(kSlotPaletteLayout, rules.palette && fixedColour);
    Show(kSlotSevenColor, rules.sevenColor);
    Show(kSlotBrightnessLayout, rules.brightness);
    Show(kSlotSpeedLayout, speed);
    Show(kSlotDirectionLayout, rules.direction);
    if (rules.keyboard) {
        Show(kSlotColourTabLayout, colourTab);
    }
    // The bands in the order the layout places them, with whether they show.
    // What is shown comes from the rules, not from the controls: a page in
    // the background shows nothing.
    const std::pair<Slot, bool> bands[] = {
        {kSlotEffectLayout, true},
        {kSlotZzccLayout, rules.keyboard && rules.zzcc},
        {kSlotAudioLayout, rules.keyboard && rules.audio},
        {kSlotCustomLayout, rules.keyboard && rules.customGroups},
        {kSlotBrightnessLayout, rules.brightness},
        {kSlotSpeedLayout, speed},
        {kSlotDirectionLayout, rules.direction},
        {kSlotColourTabLayout, colourTab},
    };
    StackBands(bands, rules.colour && fixedColour);
}

void CLightControlUI::StackBands(std::span<const std::pair<Slot, bool>> bands, bool fixedColourShown) {
    // The shown bands close up under the effect row, each at its own height.
    constexpr int kGap = 2;
    int y = m_firstBandTop;
    for (const auto& [slot, shown] : bands) {
        ui::Control* band = Find(slot);
        if (band == nullptr || !shown) {
            continue;
        }
        ui::Rect rect = band->Geometry();
        if (y < 0) {
            y = m_firstBandTop = rect.y;
        }
        rect.y = y;
        band->SetGeometry(rect);
        y += rect.height + kGap;
    }
    // Inside the colour page, "cycling" moves up when the fixed colour is not shown.
    ui::Control* colour = Find(kSlotColourLayout);
    ui::Control* seven = Find(kSlotSevenColor);
    if (colour != nullptr && seven != nullptr) {
        const ui::Rect area = colour->Geometry();
        ui::Rect rect = seven->Geometry();
        rect.y = fixedColourShown ? area.y + area.height + 2 * kGap : area.y;
        seven->SetGeometry(rect);
    }
}

int CLightControlUI::Brightness() {
    return SliderValue(kSlotBrightnessSlider);
}

int CLightControlUI::Speed() {
    return SliderValue(kSlotSpeedSlider);
}

uint32_t CLightControlUI::PaletteColour() {
    ui::Control* palette = Find(kSlotPalette);
    return palette != nullptr ? palette->BackgroundColour() : kMissingPaletteColour;
}

bool CLightControlUI::SevenColor() {
    auto* check = ui::As<ui::SelectableControl>(Find(kSlotSevenColor));
    return check != nullptr && check->IsSelected();
}

int CLightControlUI::ZzccIndex() {
    return ComboIndex(kSlotZzccCombo);
}

int CLightControlUI::CustomGroupIndex() {
    return ComboIndex(kSlotCustomCombo);
}

uint32_t CLightControlUI::PresetColour(int n) {
    if (n < 0) {
        return 0;
    }
    ui::Control* preset = m_panel.FindChild(ui::FamilyName(kPresetPrefix, n));
    return preset != nullptr ? preset->BackgroundColour() : 0;
}

void CLightControlUI::SetBrightness(int value) {
    if (auto* slider = ui::As<ui::RangeControl>(Find(kSlotBrightnessSlider))) {
        slider->SetValue(value);
    }
}

void CLightControlUI::SetSpeed(int value) {
    if (auto* slider = ui::As<ui::RangeControl>(Find(kSlotSpeedSlider))) {
        slider->SetValue(value);
    }
}

void CLightControlUI::SetSevenColor(bool on) {
    if (auto* check = ui::As<ui::SelectableControl>(Find(kSlotSevenColor))) {
        check->SetSelected(on, false);
    }
    ShowWhatApplies();
}

void CLightControlUI::SetDirection(bool left) {
    if (auto* check = ui::As<ui::SelectableControl>(Find(kSlotLeft))) {
        check->SetSelected(left, false);
    }
    if (auto* check = ui::As<ui::SelectableControl>(Find(kSlotRight))) {
        check->SetSelected(!left, false);
    }
}

void CLightControlUI::SetZzccIndex(int index) {
    if (auto* combo = ui::As<ui::ListControl>(Find(kSlotZzccCombo))) {
        combo->SelectItem(index, false);
    }
}

void CLightControlUI::SetCustomGroupIndex(int n) {
    if (auto* combo = ui::As<ui::ListControl>(Find(kSlotCustomCombo))) {
        combo->SelectItem(n, false);
    }
}

ui::Control* CLightControlUI::ColourEdit(int channel) {
    switch (channel) {
    case 0:
        return Find(kSlotEditRed);
    case 1:
        return Find(kSlotEditGreen);
    case 2:
        return Find(kSlotEditBlue);
    default:
        return nullptr;
    }
}

void CLightControlUI::ShowColourEdits(uint8_t red, uint8_t green, uint8_t blue) {
    const uint8_t values[3] = {red, green, blue};
    for (int channel = 0; channel < 3; ++channel) {
        if (ui::Control* edit = ColourEdit(channel)) {
            edit->SetText(Decimal(values[channel]));
        }
    }
}

void CLightControlUI::SetPaletteColour(uint32_t argb) {
    if (ui::Control* palette = Find(kSlotPalette)) {
        palette->SetBackgroundColour(argb);
    }
}

void CLightControlUI::SetSwatchColour(uint32_t argb) {
    if (ui::Control* swatch = Find(kSlotSwatch)) {
        swatch->SetBackgroundColour(argb);
    }
}

CAudioRecordUI* CLightControlUI::Waveform() {
    if (!m_waveform) {
        if (ui::Control* control = m_panel.FindChild(CAudioRecordUI::kName)) {
            m_waveform = std::make_unique<CAudioRecordUI>(*control);
        }
    }
    return m_waveform.get();
}

void CLightControlUI::SetSameModeAllowed(bool allowed) {
    m_sameModeAllowed = allowed;
    ApplyRules(CurrentMode());
}

} // namespace velkor
