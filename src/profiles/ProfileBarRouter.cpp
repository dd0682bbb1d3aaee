#include "profiles/ProfileBarRouter.h"

#include "profiles/CDeviceProfileUI.h"
#include "profiles/LanguageTexts.h"
#include "ui/Control.h"
#include "ui/Notification.h"

#include <algorithm>

namespace velkor {

bool ReportMacroWriteResult(int result, ui::UserPrompts& prompts) {
    if (result == 0) {
        return true;
    }
    if (result == -1) {
        prompts.ShowNotice(ProfileBarRouter::kMsgMacroWriteFailed, ProfileBarRouter::kMsgMacroWriteFailed,
                           true);
        return true;
    }
    prompts.ShowNotice(ProfileBarRouter::kMsgMacroMemoryFull,
                       FormatTextWithNumber(prompts.Text(ProfileBarRouter::kMsgMacroMemoryFull), result),
                       false);
    return false;
}

bool ProfileBarRouter::Route(const ui::Notification& notification) {
    const ui::Control* sender = notification.sender;
    if (sender == nullptr || !m_bar.Bar().Contains(sender)) {
        return false;
    }
    const std::string& name = sender->Name();
    if (notification.type == ui::kNotifyItemSelect) {
        if (name != CDeviceProfileUI::kCombo) {
            return false;
        }
        ChooseProfile();
        return true;
    }
    if (notification.type == ui::kNotifySelectChanged) {
        const int type = m_bar.OptionTabType(sender);
        // A tab losing its selection reports too; only the chosen one counts.
        const ui::SelectableControl* tab = sender->AsSelectable();
        if (type != 0 && tab != nullptr && tab->IsSelected()) {
            ChooseTab(type);
        }
        return type != 0;
    }
    if (notification.type != ui::kNotifyClick) {
        return false;
    }
    struct Action {
        std::string_view control;
        void (ProfileBarRouter::*run)();
    };
    static constexpr Action kActions[] = {
        {CDeviceProfileUI::kAddButton, &ProfileBarRouter::Add},
        {CDeviceProfileUI::kCopyButton, &ProfileBarRouter::Copy},
        {CDeviceProfileUI::kDeleteButton, &ProfileBarRouter::Delete},
        {CDeviceProfileUI::kRenameButton, &ProfileBarRouter::Rename},
        {CDeviceProfileUI::kImportButton, &ProfileBarRouter::Import},
        {CDeviceProfileUI::kExportButton, &ProfileBarRouter::Export},
        {CDeviceProfileUI::kResetButton, &ProfileBarRouter::Reset},
        {CDeviceProfileUI::kMenuButton, &ProfileBarRouter::ToggleMenu},
    };
    const auto found = std::find_if(std::begin(kActions), std::end(kActions),
                                    [&](const Action& action) { return action.control == name; });
    if (found == std::end(kActions)) {
        return false;
    }
    (this->*found->run)();
    return true;
}

void ProfileBarRouter::ChooseProfile() {
    if (m_bar.SelectProfile(m_bar.GetSelectedIndex(), false)) {
        m_owner.ProfileSelected(m_bar.GetSelectedIdentifier());
    }
}

void ProfileBarRouter::Add() {
    m_bar.AddProfile();
}

void ProfileBarRouter::Copy() {
    m_bar.CopyProfile();
}

void ProfileBarRouter::Delete() {
    if (m_bar.DeleteProfile()) {
        m_owner.ProfileSelected(m_bar.GetSelectedIdentifier());
    }
}

void ProfileBarRouter::Rename() {
    const std::string name = m_bar.GetNameText();
    if (name.empty()) {
        return;
    }
    switch (m_bar.RenameProfile(name)) {
    case 0:
        m_prompts.ShowMessageKey(kMsgNameTaken, MsgButtons::Notice);
        break;
    case 2:
        m_prompts.ShowMessageKey(kMsgNameBlank, MsgButtons::Notice);
        break;
    default:
        break;
    }
}

void ProfileBarRouter::Import() {
    if (m_bar.GetSelectedIndex() < 0) {
        return;
    }
    const std::optional<std::string> path = m_prompts.AskOpenFile(kFilterName, kFilterPattern);
    if (path && !path->empty()) {
        // A file that is no profile is ignored without a word.
        m_bar.ImportProfile(*path);
    }
}

void ProfileBarRouter::Export() {
    const int selected = m_bar.GetSelectedIndex();
    if (selected < 0) {
        return;
    }
    const std::vector<std::string> names = m_bar.ProfileNames();
    std::string suggested = selected < static_cast<int>(names.size()) ? names[selected] : std::string();
    std::replace(suggested.begin(), suggested.end(), '/', '_');
    const std::optional<std::string> path =
        m_prompts.AskSaveFile(kFilterName, kFilterPattern, suggested + ".json");
    if (path && !path->empty()) {
        m_bar.ExportProfile(*path);
    }
}

void ProfileBarRouter::Reset() {
    if (m_bar.GetSelectedIndex() < 0) {
        return;
    }
    if (m_prompts.ShowMessageKey(kMsgConfirmReset, MsgButtons::Question) != kMsgConfirmed) {
        return;
    }
    if (m_bar.ResetProfile()) {
        m_owner.ProfileReset();
        m_owner.ProfileSelected(m_bar.GetSelectedIdentifier());
    }
}

void ProfileBarRouter::ToggleMenu() {
    m_bar.ShowMenu(!m_bar.IsMenuShown());
}

void ProfileBarRouter::ChooseTab(int type) {
    m_bar.SelectOptionTab(type);
    m_owner.OptionTabChosen(type);
}

} // namespace velkor
