#include "lighting/CColorSelectWnd.h"

#include "lighting/LightPanelHandlers.h"
#include "platform/Trace.h"
#include "ui/ControlClasses.h"

#include <array>
#include <string>

namespace velkor {

namespace {

constexpr std::string_view kPalette = "Pallet";
constexpr std::string_view kSwatch = "color_show_btn";
constexpr std::string_view kMulticolour = "7color";
constexpr std::string_view kMulticolourLayout = "7color_layout";
constexpr std::string_view kPresetPrefix = "color_option_";
constexpr std::string_view kSlotPrefix = "collect_color_option_";
constexpr std::array<std::string_view, 3> kChannelEdits = {"color_edit_r", "color_edit_g", "color_edit_b"};
constexpr uint32_t kOpaque = 0xFF000000u;

uint8_t Channel(uint32_t argb, int channel) {
    return uint8_t(argb >> (16 - 8 * channel));
}

} // namespace

CColorSelectWnd::~CColorSelectWnd() {
    if (m_window) {
        FlushSave();
    }
}

bool CColorSelectWnd::Create(ui::Window* owner, std::string* error) {
    const ui::WindowOptions options{.layout = std::string(kLayout),
                                    .className = std::string(kClassName),
                                    .owner = owner,
                                    .handler = this};
    m_window = ui::CreateToolWindow(m_toolkit, options, kTitle, error);
    return m_window != nullptr;
}

void CColorSelectWnd::Prepare(uint32_t initial, int dpi) {
    Initialise();
    ApplyDpi(dpi);
    SetColour(initial);
    // The DPI stages take one colour: the multicolour choice is not offered.
    if (ui::Control* option = Find(kMulticolour)) {
        option->SetEnabled(false);
        if (ui::SelectableControl* tick = option->AsSelectable()) {
            tick->SetSelected(false, false);
        }
    }
    if (ui::Control* layout = Find(kMulticolourLayout)) {
        layout->SetVisible(false);
    }
    m_multicolour = false;
}

int CColorSelectWnd::Run() {
    m_window->CenterWindow();
    const int code = m_window->ShowModal();
    FlushSave();
    return code;
}

void CColorSelectWnd::Close(int code) {
    if (m_window) {
        m_window->Close(code);
    }
}

ui::Control* CColorSelectWnd::Find(std::string_view name) const {
    return m_window ? m_window->FindControl(name) : nullptr;
}

ui::Control* CColorSelectWnd::Preset(int n) const {
    return Find(ui::FamilyName(kPresetPrefix, n));
}

ui::Control* CColorSelectWnd::Slot(int n) const {
    return Find(ui::FamilyName(kSlotPrefix, n));
}

void CColorSelectWnd::Initialise() {
    const ColourOptions options = m_file.Read();
    m_preset = options.preset;
    if (auto* preset = ui::As<ui::SelectableControl>(Preset(m_preset))) {
        preset->SetSelected(true, false);
    }
    for (int i = 0; i < kColourOptionCount; ++i) {
        ui::Control* slot = Slot(i);
        const std::optional<CollectedColour>& stored = options.collected[size_t(i)];
        if (slot == nullptr || !stored) {
            continue;
        }
        slot->SetBackgroundColour(stored->argb);
        if (stored->filled) {
            slot->SetUserData("1");
        }
    }
    m_slot = options.slot;
    if (auto* slot = ui::As<ui::SelectableControl>(Slot(m_slot))) {
        slot->SetSelected(true, false);
    }
}

void CColorSelectWnd::ApplyDpi(int dpi) {
    if (!ui::IsValidDpi(dpi)) {
        Trace("SET_WND DPI SET ERROR");
        dpi = ui::kDefaultDpi;
    }
    if (dpi != m_dpi && m_window->SetDpi(dpi)) {
        m_dpi = dpi;
    }
}

void CColorSelectWnd::DpiChanged(ui::Window& window, int suggestedDpi) {
    (void)window;
    ApplyDpi(suggestedDpi);
}

void CColorSelectWnd::SetColour(uint32_t argb) {
    if (ui::Control* swatch = Find(kSwatch)) {
        swatch->SetBackgroundImage({});
        swatch->SetBackgroundColour(argb);
    }
    ShowOnPalette(argb);
    m_current = argb;
    ShowChannels(argb);
}

void CColorSelectWnd::ShowOnPalette(uint32_t argb) {
    if (ui::Control* palette = Find(kPalette)) {
        palette->SetBackgroundColour(argb);
    }
}

void CColorSelectWnd::ShowChannels(uint32_t argb) {
    for (int channel = 0; channel < 3; ++channel) {
        if (ui::Control* edit = Find(kChannelEdits[size_t(channel)])) {
            edit->SetText(std::to_string(Channel(argb, channel)));
        }
    }
}

void CColorSelectWnd::ClearMulticolour() {
    m_multicolour = false;
    if (auto* option = ui::As<ui::SelectableControl>(Find(kMulticolour))) {
        option->SetSelected(false, false);
    }
    if (ui::Control* swatch = Find(kSwatch)) {
        swatch->SetBackgroundImage({});
    }
}

void CColorSelectWnd::ApplyColour() {
    ui::Control* slot = Slot(m_slot);
    const ui::SelectableControl* tick = ui::As<ui::SelectableControl>(slot);
    if (tick != nullptr && tick->IsSelected()) {
        slot->SetBackgroundColour(m_current);
        slot->SetUserData("1");
        RequestSave(false, true);
    }
    if (ui::Control* swatch = Find(kSwatch)) {
        swatch->SetBackgroundColour(m_current);
    }
    ClearMulticolour();
}

void CColorSelectWnd::Notify(const ui::Notification& notification) {
    ui::Control* sender = notification.sender;
    if (sender == nullptr || !m_window) {
        return;
    }
    const std::string_view type = notification.type;
    if (type == ui::kNotifyClick) {
        OnClick(*sender);
    } else if (type == ui::kNotifySelectChanged) {
        OnSelect(*sender);
    } else if (type == ui::kNotifyColorChanged && sender->Name() == kPalette) {
        PaletteMoved(uint32_t(notification.wParam));
    } else if (type == ui::kNotifyTextChanged || type == ui::kNotifyKillFocus) {
        for (std::string_view name : kChannelEdits) {
            if (sender->Name() != name) {
                continue;
            }
            if (type == ui::kNotifyTextChanged) {
                ChannelTyped();
            } else {
                ChannelDone(*sender);
            }
        }
    } else if (type == ui::kNotifyTimer && notification.wParam == kTimerSave && sender == &m_window->Root()) {
        FlushSave();
    }
}

void CColorSelectWnd::OnClick(const ui::Control& sender) {
    const std::string& name = sender.Name();
    if (name == "okbtn") {
        if (Find(kPalette) == nullptr) {
            m_window->Close(kResultNoPalette);
            return;
        }
        const ui::Control* swatch = Find(kSwatch);
        m_result = swatch != nullptr ? swatch->BackgroundColour() : m_current;
        m_window->Close(kResultChosen);
    } else if (name == "closebtn" || name == "laterbtn") {
        m_window->Close(kResultCancelled);
    } else if (name == "minbtn") {
        m_window->Minimize();
    } else if (name == "maxbtn") {
        m_window->Maximize();
    } else if (name == "restorebtn") {
        m_window->Restore();
    }
}

void CColorSelectWnd::OnSelect(ui::Control& sender) {
    const ui::SelectableControl* tick = sender.AsSelectable();
    const bool selected = tick != nullptr && tick->IsSelected();
    if (sender.Name() == kMulticolour) {
        m_multicolour = selected;
        if (ui::Control* swatch = Find(kSwatch)) {
            swatch->SetBackgroundImage(m_multicolour ? kMulticolourImage : std::string_view());
        }
        return;
    }
    std::string prefix;
    int n = -1;
    // A sibling losing the selection raises the event too; only the one selected counts.
    if (!selected || !ui::SplitFamilyName(sender.Name(), prefix, n) || n < 0 || n >= kColourOptionCount) {
        return;
    }
    if (prefix == kPresetPrefix) {
        PresetChosen(n);
    } else if (prefix == kSlotPrefix) {
        SlotChosen(n);
    }
}

void CColorSelectWnd::PresetChosen(int n) {
    m_preset = n;
    RequestSave(true, false);
    m_current = Preset(n)->BackgroundColour();
    ShowOnPalette(m_current);
    ApplyColour();
    ShowChannels(m_current);
}

void CColorSelectWnd::SlotChosen(int n) {
    m_slot = n;
    ui::Control* slot = Slot(n);
    if (slot->UserData() != "1") {
        return; // an empty slot only becomes the one a colour goes into
    }
    RequestSave(false, true);
    m_current = slot->BackgroundColour();
    if (ui::Control* swatch = Find(kSwatch)) {
        swatch->SetBackgroundColour(m_current);
    }
    ClearMulticolour();
    ShowOnPalette(m_current);
    ShowChannels(m_current);
}

void CColorSelectWnd::PaletteMoved(uint32_t argb) {
    m_current = kOpaque | argb;
    ShowOnPalette(m_current);
    ApplyColour();
    ShowChannels(m_current);
}

void CColorSelectWnd::ChannelTyped() {
    uint32_t colour = kOpaque;
    for (int channel = 0; channel < 3; ++channel) {
        const ui::Control* edit = Find(kChannelEdits[size_t(channel)]);
        // Each channel is clamped alone: "300" must not carry into the next byte.
        const uint8_t value =
            edit != nullptr ? ParseColourEdit(edit->Text()).value : Channel(m_current, channel);
        colour |= uint32_t(value) << (16 - 8 * channel);
    }
    m_current = colour;
    ShowOnPalette(m_current);
    ApplyColour();
}

void CColorSelectWnd::ChannelDone(ui::Control& edit) {
    if (const std::optional<std::string> rewrite = ParseColourEdit(edit.Text()).rewrite) {
        edit.SetText(*rewrite);
    }
}

void CColorSelectWnd::RequestSave(bool presets, bool collected) {
    m_savePresets = m_savePresets || presets;
    m_saveCollected = m_saveCollected || collected;
    const uint32_t since = m_clock.NowMs() - m_lastWriteMs;
    if (!m_wrote || since >= uint32_t(kSaveGapMs)) {
        FlushSave();
    } else if (!m_saveTimer) {
        m_saveTimer = m_window->Root().SetTimer(kTimerSave, int(uint32_t(kSaveGapMs) - since));
    }
}

void CColorSelectWnd::FlushSave() {
    if (m_saveTimer) {
        m_window->Root().KillTimer(kTimerSave);
        m_saveTimer = false;
    }
    if (!m_savePresets && !m_saveCollected) {
        return;
    }
    std::optional<ColourOptionFile::Presets> presets;
    std::optional<ColourOptionFile::Collected> collected;
    if (m_savePresets) {
        presets.emplace();
        presets->selected = m_preset;
        for (int i = 0; i < kColourOptionCount; ++i) {
            if (const ui::Control* option = Preset(i)) {
                presets->colours[size_t(i)] = option->BackgroundColour();
            }
        }
    }
    if (m_saveCollected) {
        collected.emplace();
        collected->selected = m_slot;
        for (int i = 0; i < kColourOptionCount; ++i) {
            if (const ui::Control* slot = Slot(i)) {
                collected->entries[size_t(i)] =
                    CollectedColour{slot->BackgroundColour(), slot->UserData() == "1"};
            }
        }
    }
    m_savePresets = false;
    m_saveCollected = false;
    m_wrote = true;
    m_lastWriteMs = m_clock.NowMs();
    m_file.Write(presets, collected);
}

} // namespace velkor
