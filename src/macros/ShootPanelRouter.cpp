#include "macros/ShootPanelRouter.h"

#include "macros/CShootControlUI.h"
#include "ui/Control.h"
#include "ui/Prompts.h"

#include <charconv>

namespace velkor {

ShootPanelRouter::ShootPanelRouter(CShootControlUI& panel, ui::UserPrompts& prompts, ShootPanelHooks hooks)
    : m_panel(panel), m_prompts(prompts), m_hooks(std::move(hooks)) {}

std::optional<int> ShootPanelRouter::OptionNumber(std::string_view name, std::string_view prefix) {
    const auto cut = name.rfind('_');
    if (cut == std::string_view::npos || name.substr(0, cut) != prefix || cut + 1 == name.size()) {
        return std::nullopt;
    }
    int number = 0;
    const char* end = name.data() + name.size();
    const auto [stop, error] = std::from_chars(name.data() + cut + 1, end, number);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return number;
}

bool ShootPanelRouter::Route(const ui::Notification& n) {
    if (n.sender == nullptr || !m_panel.Panel().Contains(n.sender) || !m_hooks.mouseSelected ||
        !m_hooks.mouseSelected()) {
        return false;
    }
    const std::string& name = n.sender->Name();
    if (n.type == "selectchanged") {
        const ui::SelectableControl* tick = n.sender->AsSelectable();
        const bool selected = tick != nullptr && tick->IsSelected();
        if (auto gun = OptionNumber(name, "shoot_gun_op")) {
            if (selected) { // the option that was chosen, not the one that lost it
                m_panel.SelectGun(*gun);
                m_panel.ShowBullet();
            }
        } else if (auto bullet = OptionNumber(name, "bullet_op")) {
            if (selected) {
                m_panel.SelectBullet(*bullet);
            }
        } else if (name == "bullet_x_check" || name == "bullet_y_check") {
            m_panel.UpdateDirectionText(name);
        } else {
            return false;
        }
        return true;
    }
    if (n.type == "killfocus") {
        if (name != "bullet_x_eidt" && name != "bullet_y_eidt" && name != "bullet_delay_eidt") {
            return false;
        }
        if (!m_panel.SaveBullet()) {
            TellFailure();
        }
        return true;
    }
    if (n.type != "click") {
        return false;
    }
    if (name == "bullet_selected_prev") {
        m_panel.PreviousBullet();
    } else if (name == "bullet_selected_next") {
        m_panel.NextBullet();
    } else if (name == "shootdate_save_btn") {
        Save();
    } else if (name == "shootdate_reset_btn") {
        Reset();
    } else if (name == "shootdate_import_btn") {
        Import();
    } else if (name == "shootdate_export_btn") {
        Export();
    } else {
        return false;
    }
    return true;
}

void ShootPanelRouter::Save() {
    if (!m_panel.CommitShownBullet()) {
        TellFailure();
        return;
    }
    std::weak_ptr<int> alive = m_alive;
    const auto done = [this, alive](const RecoilSendResult& result) {
        if (alive.expired() || result.ok) {
            return;
        }
        if (result.oversizedGun >= 0) {
            std::string text = m_prompts.Text(kTooManyEvents);
            if (const auto at = text.find("%d"); at != std::string::npos) {
                text.replace(at, 2, std::to_string(result.oversizedGun + 1));
            }
            m_prompts.ShowNotice(kTooManyEvents, text, false);
            return;
        }
        // The worker's result: a notice that does not wait.
        m_prompts.ShowNotice(kUploadFailed, kUploadFailed, true);
    };
    if (!m_hooks.upload || !m_hooks.upload(done)) {
        Notice(kUploadFailed);
    }
}

void ShootPanelRouter::Reset() {
    if (!m_panel.ResetGun(m_panel.SelectedGun())) {
        TellFailure();
    }
}

void ShootPanelRouter::Import() {
    const std::optional<std::string> path = m_prompts.AskOpenFile(kFilterName, kFilterPattern);
    if (path && !path->empty() && !m_panel.ImportGun(*path)) {
        TellFailure();
    }
}

void ShootPanelRouter::Export() {
    const std::optional<std::string> path =
        m_prompts.AskSaveFile(kFilterName, kFilterPattern, RecoilFileName(m_panel.SelectedGun()));
    if (path && !path->empty() && !m_panel.ExportGun(*path)) {
        TellFailure();
    }
}

void ShootPanelRouter::Notice(std::string_view key) {
    m_prompts.ShowMessageKey(key, MsgButtons::Notice);
}

void ShootPanelRouter::TellFailure() {
    switch (m_panel.LastFailure()) {
    case ShootFailure::NoDefault:
        Notice(kResetFailed);
        break;
    case ShootFailure::NotShootFile:
    case ShootFailure::TooManyEvents:
        Notice(kImportFailed);
        break;
    case ShootFailure::WriteFailed:
    case ShootFailure::None:
        Notice(kWriteFailed);
        break;
    }
}

} // namespace velkor
