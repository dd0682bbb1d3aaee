#include "lighting/MusicWnd.h"

#include "platform/Trace.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"
#include "ui/Window.h"

namespace velkor {

namespace {

constexpr std::string_view kTabPrefix = "audio_select_tab";
constexpr std::string_view kNamePrefix = "audio_edit_name";
constexpr std::string_view kSliders[3] = {"audio_r_slider", "audio_g_slider", "audio_b_slider"};

// The style 0..3 a control of a numbered family names ("audio_select_tab2" is style 1); -1 otherwise.
int StyleOf(std::string_view name, std::string_view prefix) {
    if (name.size() != prefix.size() + 1 || name.substr(0, prefix.size()) != prefix) {
        return -1;
    }
    const int digit = name.back() - '1';
    return digit >= 0 && digit < AudioStyleRecord::kStyles ? digit : -1;
}

std::string Numbered(std::string_view prefix, int style) {
    return std::string(prefix) + char('1' + style);
}

} // namespace

bool MusicWnd::Create(ui::Window* owner, std::string* error) {
    const ui::WindowOptions options{.layout = std::string(kLayout),
                                    .className = std::string(kClassName),
                                    .owner = owner,
                                    .handler = this};
    m_window = ui::CreateToolWindow(m_toolkit, options, kTitle, error);
    return m_window != nullptr;
}

ui::Control* MusicWnd::Find(std::string_view name) const {
    return m_window ? m_window->FindControl(name) : nullptr;
}

void MusicWnd::Prepare(const AudioStyleRecord& record, int dpi) {
    m_record = record;
    if (m_record.style >= AudioStyleRecord::kStyles) {
        m_record.style = 0;
    }
    if (m_window) {
        m_window->SetDpi(ui::IsValidDpi(dpi) ? dpi : ui::kDefaultDpi);
    }
    for (std::string_view name : kSliders) {
        if (auto* slider = ui::As<ui::RangeControl>(Find(name))) {
            slider->SetRange(0, AudioStyleRecord::kMaxLevel);
        }
    }
    if (auto* tab = ui::As<ui::SelectableControl>(Find(Numbered(kTabPrefix, m_record.style)))) {
        tab->SetSelected(true, false);
    }
    ShowColour();
    for (int style = 0; style < AudioStyleRecord::kStyles; ++style) {
        if (ui::Control* edit = Find(Numbered(kNamePrefix, style))) {
            edit->SetText(m_record.names[size_t(style)]);
        }
    }
}

int MusicWnd::Run() {
    m_window->CenterWindow();
    return m_window->ShowModal();
}

void MusicWnd::Close(int code) {
    if (m_window) {
        m_window->Close(code);
    }
}

void MusicWnd::ShowColour() {
    const auto& colour = m_record.colours[m_record.style];
    for (int channel = 0; channel < 3; ++channel) {
        if (auto* slider = ui::As<ui::RangeControl>(Find(kSliders[channel]))) {
            slider->SetValue(colour[size_t(channel)]);
        }
    }
}

void MusicWnd::NameDone(ui::Control& edit, int style) {
    std::string name = edit.Text();
    if (name.empty()) {
        name = DefaultStyleName(style);
        edit.SetText(name);
    }
    m_record.names[size_t(style)] = name;
}

void MusicWnd::Notify(const ui::Notification& notification) {
    ui::Control* sender = notification.sender;
    if (sender == nullptr || !m_window) {
        return;
    }
    const std::string& name = sender->Name();
    const std::string_view type = notification.type;
    if (type == ui::kNotifySelectChanged) {
        const int style = StyleOf(name, kTabPrefix);
        const ui::SelectableControl* tab = sender->AsSelectable();
        if (style >= 0 && tab != nullptr && tab->IsSelected()) {
            m_record.style = uint8_t(style);
            ShowColour();
        }
    } else if (type == ui::kNotifyValueChanged) {
        for (int channel = 0; channel < 3; ++channel) {
            if (name == kSliders[channel]) {
                const ui::RangeControl* slider = sender->AsRange();
                const int value = slider != nullptr ? slider->Value() : 0;
                m_record.colours[m_record.style][size_t(channel)] = uint8_t(
                    value < 0 ? 0
                              : (value > AudioStyleRecord::kMaxLevel ? AudioStyleRecord::kMaxLevel : value));
            }
        }
    } else if (type == ui::kNotifyKillFocus) {
        const int style = StyleOf(name, kNamePrefix);
        if (style >= 0) {
            NameDone(*sender, style);
        }
    } else if (type == ui::kNotifyClick) {
        if (name == "okbtn") {
            m_window->Close(kResultOk);
        } else if (name == "closebtn") {
            m_window->Close(kResultClosed);
        }
    } else if (type == ui::kNotifyTimer && notification.wParam == kTimer) {
        sender->KillTimer(kTimer);
    }
}

} // namespace velkor
