#include "update/UpdateListRow.h"

#include <algorithm>
#include <array>

namespace velkor {
namespace {

struct StatusLook {
    const char* text;
    bool progress;
    int doneMark; // -1 unchanged, 0 hidden, 1 shown
    bool checkEnabled;
    bool blue;
};

constexpr std::array<StatusLook, 9> kLooks = {{
    {"LessUpdateText", false, -1, false, false},
    {"NeedUpdateText", false, 0, true, true},
    {"NeedUpdateText", false, 0, true, true},
    {"DownloadWaitText", false, 0, false, true},
    {"DownloadIngText", true, 0, false, true},
    {"DownloadOkText", false, 1, false, true},
    {"UpdateIngText", true, 0, false, true},
    {"UpdateOkText", false, 0, false, false},
    {"UpdateFailText", false, 0, true, true},
}};

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kGrey = 0xFF666666;
constexpr uint32_t kBlue = 0xFF0099FF;
constexpr uint32_t kDarkBlue = 0xFF0078C8;

void SetVisible(ui::Control* control, bool visible) {
    if (control != nullptr) {
        control->SetVisible(visible);
    }
}

} // namespace

UpdateListRow::UpdateListRow(ui::Control& control, UpdateItem item)
    : m_control(control), m_item(std::move(item)), m_check(Find(kCheck)), m_currentLabel(Find(kCurrent)),
      m_latestLabel(Find(kLatest)), m_statusText(Find(kStatusText)), m_progressMark(Find(kProgressMark)),
      m_progressText(Find(kProgressText)), m_doneMark(Find(kDoneMark)) {
    if (m_statusText != nullptr) {
        m_statusText->SetResourceText(true);
    }
    if (m_check != nullptr) {
        m_check->SetResourceText(true); // the name is a language key
    }
}

ui::Control* UpdateListRow::Find(std::string_view name) const {
    return m_control.Name() == name ? &m_control : m_control.FindChild(name);
}

void UpdateListRow::SetStatus(int status) {
    if (status == m_status || status < 0 || status >= int(kLooks.size())) {
        return;
    }
    m_status = status;
    const StatusLook& look = kLooks[size_t(status)];
    if (m_statusText != nullptr) {
        m_statusText->SetText(look.text);
    }
    SetVisible(m_progressMark, look.progress);
    SetVisible(m_progressText, look.progress);
    if (look.doneMark >= 0) {
        SetVisible(m_doneMark, look.doneMark == 1);
    }
    EnableCheck(look.checkEnabled);
    if (m_check != nullptr) {
        m_check->SetTextColours(look.blue ? kBlue : kWhite, look.blue ? kDarkBlue : kGrey);
    }
}

void UpdateListRow::SetTexts(std::string_view name, std::string_view current, std::string_view latest) {
    // Copied first: the views may point into this row's own texts.
    std::string newCurrent(current);
    std::string newLatest(latest);
    m_current = std::move(newCurrent);
    m_latest = std::move(newLatest);
    if (m_check != nullptr) {
        m_check->SetText(name);
    }
    if (m_currentLabel != nullptr) {
        m_currentLabel->SetText(m_current);
    }
    if (m_latestLabel != nullptr) {
        m_latestLabel->SetText(m_latest);
        m_latestLabel->SetVisible(!m_latest.empty()); // hidden while empty
    }
}

void UpdateListRow::SetProgress(int percent) {
    if (m_progressText != nullptr) {
        m_progressText->SetText(std::to_string(std::clamp(percent, 0, 100)) + "%");
    }
}

std::string UpdateListRow::ProgressText() const {
    return m_progressText != nullptr ? m_progressText->Text() : std::string();
}

bool UpdateListRow::Ticked() const {
    const ui::SelectableControl* tick = ui::As<ui::SelectableControl>(m_check);
    return tick != nullptr && tick->IsSelected();
}

void UpdateListRow::SetTicked(bool ticked) {
    if (ui::SelectableControl* tick = ui::As<ui::SelectableControl>(m_check)) {
        tick->SetSelected(ticked, false);
    }
}

void UpdateListRow::EnableCheck(bool enabled) {
    if (m_check != nullptr) {
        m_check->SetEnabled(enabled);
    }
}

} // namespace velkor
