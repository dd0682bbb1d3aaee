#include "macros/MacroPanelRouter.h"

#include "macros/CMacroControlUI.h"
#include "macros/MacroKeySweep.h"
#include "platform/JsonFileHelper.h"
#include "ui/Control.h"
#include "ui/Prompts.h"

#include <filesystem>

namespace velkor {

namespace {

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) {
        return false;
    }
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) {
        return true;
    }
    return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

// Menu items that insert mouse events: message, variant, and for a click the up message.
struct MouseItem {
    std::string_view item;
    int message;
    int variant;
    int upMessage; // 0: one event
};
constexpr MouseItem kMouseItems[] = {
    {"left_down", 0x201, 0, 0},        {"left_up", 0x202, 0, 0},           {"right_down", 0x204, 0, 0},
    {"right_up", 0x205, 0, 0},         {"middle_down", 0x207, 0, 0},       {"middle_up", 0x208, 0, 0},
    {"forward_down", 0x20B, 0, 0},     {"forward_up", 0x20C, 0, 0},        {"back_down", 0x20B, 1, 0},
    {"back_up", 0x20C, 1, 0},          {"left_click", 0x201, 0, 0x202},    {"right_click", 0x204, 0, 0x205},
    {"middle_click", 0x207, 0, 0x208}, {"forward_click", 0x20B, 0, 0x20C}, {"back_click", 0x20B, 1, 0x20C},
};
constexpr std::string_view kInsetButtons[] = {"macro_inset_moveleftkey_btn", "macro_inset_moverightkey_btn",
                                              "macro_inset_moveupkey_btn", "macro_inset_movedownkey_btn"};

// Record triggers: 0 for the delay mode means "fixed when the box is ticked, else measured".
struct RecordTrigger {
    std::string_view name;
    int delayMode;
    int hookMode;
};
constexpr RecordTrigger kRecordTriggers[] = {
    {"macro_btn_starredio", 0, 4},          {"redio_previous_record_time", 0, 8},
    {"redio_previous_constant_time", 2, 8}, {"redio_previous_ignore_time", 3, 8},
    {"redio_later_record_time", 0, 16},     {"redio_later_constant_time", 2, 16},
    {"redio_later_ignore_time", 3, 16},     {"macro_action_edit", 3, 32},
};

} // namespace

MacroPanelRouter::MacroPanelRouter(CMacroControlUI& panel, ui::UserPrompts& prompts, MacroPanelHooks hooks)
    : m_panel(panel), m_prompts(prompts), m_hooks(std::move(hooks)) {}

bool MacroPanelRouter::Route(const ui::Notification& notification) {
    const ui::Control* sender = notification.sender;
    if (sender == nullptr || !m_panel.Panel().Contains(sender)) {
        return false;
    }
    const std::string& name = sender->Name();
    if (RouteEventList(notification)) {
        return true;
    }
    if (notification.type == ui::kNotifyItemSelect) {
        if (name != "macro_name_list") {
            return false;
        }
        m_panel.SelectMacro();
        return true;
    }
    if (notification.type != ui::kNotifyClick) {
        return false;
    }
    if (name == "macro_btn_name_add") {
        Add();
    } else if (name == "macro_btn_name_sub") {
        DeleteWithSweep();
    } else if (name == "macro_btn_name_edit") {
        Rename();
    } else if (name == "macro_btn_save") {
        Save();
    } else if (name == "macro_btn_cancel") {
        Cancel();
    } else if (name == "macro_btn_import") {
        Import();
    } else if (name == "macro_btn_export") {
        Export();
    } else {
        return false;
    }
    return true;
}

bool MacroPanelRouter::RouteEventList(const ui::Notification& notification) {
    const ui::Control& sender = *notification.sender;
    const std::string& name = sender.Name();
    if (notification.type == ui::kNotifyTimer) {
        if (&sender != &m_panel.Panel() || notification.wParam != CMacroControlUI::kScrollTimer) {
            return false;
        }
        m_panel.ScrollTimerFired();
        return true;
    }
    if (notification.type == ui::kNotifyKillFocus && name == "macro_delay") {
        Save(); // the field is the delay: a save takes it
        return true;
    }
    if (notification.type == ui::kNotifyMenu && name == "macro_action") {
        SelectRowOf(sender);
        ShowEventMenu();
        return true;
    }
    if (notification.type != ui::kNotifyClick) {
        return false;
    }
    if (RunListButton(name)) {
        return true;
    }
    for (size_t variant = 0; variant < std::size(kInsetButtons); ++variant) {
        if (name == kInsetButtons[variant]) {
            m_panel.InsertMouseEvent(CMacroControlUI::kMessageMove, int(variant));
            Save();
            return true;
        }
    }
    if (name == "macro_btn_stopredio") {
        if (m_hooks.stopRecording) {
            m_hooks.stopRecording();
        }
        return true;
    }
    return StartRecordingFor(name);
}

bool MacroPanelRouter::RunListButton(std::string_view name) {
    if (name == "macro_btn_up") {
        m_panel.MoveEventUp();
    } else if (name == "macro_btn_down") {
        m_panel.MoveEventDown();
    } else if (name == "macro_btn_uptop") {
        m_panel.MoveEventToTop();
    } else if (name == "macro_btn_downbottom") {
        m_panel.MoveEventToBottom();
    } else if (name == "macro_btn_delete") {
        m_panel.DeleteEvent();
    } else if (name == "macro_btn_deleteall") {
        m_panel.DeleteAllEvents();
    } else {
        return false;
    }
    Save();
    if (m_hooks.enableKeySaving) {
        m_hooks.enableKeySaving();
    }
    return true;
}

bool MacroPanelRouter::StartRecordingFor(std::string_view trigger) {
    for (const RecordTrigger& entry : kRecordTriggers) {
        if (entry.name != trigger) {
            continue;
        }
        if (m_panel.GetSelectedMacro() < 0 || m_panel.IsRecording()) {
            return true; // nothing to record into, or a recording runs already
        }
        int delayMode = entry.delayMode;
        if (delayMode == 0) {
            delayMode =
                m_panel.IsFixedTimeChecked() ? int(RecordDelayMode::Fixed) : int(RecordDelayMode::Measured);
        }
        if (m_hooks.startRecording) {
            m_hooks.startRecording(static_cast<RecordDelayMode>(delayMode), entry.hookMode);
        }
        return true;
    }
    return false;
}

void MacroPanelRouter::SelectRowOf(const ui::Control& row) {
    if (ui::RowWindow* rows = m_panel.EventRows()) {
        rows->PressForMenu(m_panel.EventRowOf(&row));
    }
}

void MacroPanelRouter::ShowEventMenu() {
    if (m_eventMenu) {
        m_eventMenu->Close();
        m_eventMenu.reset();
    }
    if (m_hooks.openMenu) {
        m_eventMenu = m_hooks.openMenu(CMacroControlUI::kRowMenuLayout, *this);
    }
}

void MacroPanelRouter::MenuItemChosen(std::string_view item) {
    for (const MouseItem& entry : kMouseItems) {
        if (entry.item == item) {
            m_panel.InsertMouseEvent(entry.message, entry.variant);
            if (entry.upMessage != 0) {
                m_panel.InsertMouseEvent(entry.upMessage, entry.variant);
            }
            Save();
            return;
        }
    }
    StartRecordingFor(item);
}

void MacroPanelRouter::Notice(std::string_view key) {
    m_prompts.ShowMessageKey(key, MsgButtons::Notice);
}

void MacroPanelRouter::TellFailure() {
    switch (m_panel.LastFailure()) {
    case MacroFailure::ListFull:
        Notice(kListFull);
        break;
    case MacroFailure::WriteFailed:
        Notice(kWriteFailed);
        break;
    case MacroFailure::NotMacroFile:
        Notice(kNotMacroFile);
        break;
    default:
        break; // nothing the user could act on (no folder, no selection)
    }
}

void MacroPanelRouter::Added(const std::string& name) {
    if (m_hooks.macroAdded) {
        m_hooks.macroAdded(name);
    }
    if (m_hooks.reloadPanels) {
        m_hooks.reloadPanels();
    }
}

void MacroPanelRouter::Add() {
    const std::string name = m_panel.AddMacro();
    if (name.empty()) {
        TellFailure();
        return;
    }
    Added(name);
}

MacroDeleteOutcome MacroPanelRouter::FailDelete(std::string path) {
    m_failedPath = std::move(path);
    Notice(kDeleteFailed);
    return MacroDeleteOutcome::Failed;
}

MacroDeleteOutcome MacroPanelRouter::DeleteWithSweep() {
    m_failedPath.clear();
    m_notRestored.clear();
    if (m_prompts.ShowMessageKey(kConfirmDelete, MsgButtons::Question) != kMsgConfirmed) {
        return MacroDeleteOutcome::Cancelled;
    }
    const int macro = m_panel.GetSelectedMacro();
    if (macro < 0) {
        return MacroDeleteOutcome::NotSelected;
    }
    // Every question comes before any change: a "no" leaves every file as it was.
    const std::vector<KeyListEntry> oldKeys =
        m_hooks.currentKeys ? m_hooks.currentKeys() : std::vector<KeyListEntry>{};
    if (KeysUseMacro(oldKeys, macro) &&
        m_prompts.ShowMessageKey(kConfirmKeysUseMacro, MsgButtons::Question) != kMsgConfirmed) {
        return MacroDeleteOutcome::Cancelled;
    }

    std::vector<std::string> others;
    const std::string selectedPath =
        m_hooks.selectedProfilePath ? m_hooks.selectedProfilePath() : std::string();
    for (std::string& path : m_hooks.profilePaths ? m_hooks.profilePaths() : std::vector<std::string>{}) {
        if (!SameFile(path, selectedPath)) {
            others.push_back(std::move(path));
        }
    }
    CJsonFileHelper json;
    ProfileKeySweep sweep(json);
    if (!sweep.Prepare(others, macro)) {
        return FailDelete(sweep.FailedPath());
    }
    std::vector<KeyListEntry> newKeys = oldKeys;
    const bool keysChanged = RemoveMacroFromKeys(newKeys, macro) > 0 && m_hooks.takeKeys;

    if (!sweep.Commit()) {
        m_notRestored = sweep.NotRestored();
        return FailDelete(sweep.FailedPath());
    }
    const auto takeBack = [&](bool keysTaken) {
        if (keysTaken) {
            m_hooks.takeKeys(oldKeys);
        }
        sweep.Rollback();
        m_notRestored = sweep.NotRestored();
    };
    if (keysChanged && !m_hooks.takeKeys(newKeys)) {
        takeBack(false);
        return FailDelete(selectedPath);
    }
    if (m_panel.DeleteMacro() < 0) {
        takeBack(keysChanged);
        return FailDelete(m_panel.IndexFilePath());
    }

    if (m_hooks.macroRemoved) {
        m_hooks.macroRemoved(macro);
    }
    if (m_hooks.reloadPanels) {
        m_hooks.reloadPanels();
    }
    if (keysChanged) {
        if (m_hooks.refreshKeyDisplay) {
            m_hooks.refreshKeyDisplay();
        }
        if (m_hooks.writeMacrosAndKeys) {
            m_hooks.writeMacrosAndKeys();
        }
    }
    return MacroDeleteOutcome::Deleted;
}

void MacroPanelRouter::Rename() {
    int index = -1;
    const std::string name = m_panel.RenameMacro(index);
    if (index < 0) {
        TellFailure(); // a blank name or no selection says nothing
        return;
    }
    if (name.empty()) {
        Notice(kNameTaken);
        return;
    }
    if (m_hooks.macroRenamed) {
        m_hooks.macroRenamed(index, name);
    }
    if (m_hooks.reloadPanels) {
        m_hooks.reloadPanels();
    }
    if (m_hooks.refreshKeyDisplay) {
        m_hooks.refreshKeyDisplay();
    }
}

void MacroPanelRouter::Save() {
    if (!m_panel.SaveMacro()) {
        TellFailure();
    }
}

void MacroPanelRouter::Cancel() {
    m_panel.SelectMacro();
}

void MacroPanelRouter::Import() {
    const std::optional<std::string> path = m_prompts.AskOpenFile(kFilterName, kFilterPattern);
    if (!path) {
        return;
    }
    const std::string name = m_panel.ImportMacro(*path);
    if (name.empty()) {
        TellFailure();
        return;
    }
    Added(name);
}

void MacroPanelRouter::Export() {
    const int selected = m_panel.GetSelectedMacro();
    if (selected < 0) {
        return;
    }
    const std::string suggested = m_panel.MacroNames().size() > static_cast<size_t>(selected)
                                      ? m_panel.MacroNames()[static_cast<size_t>(selected)] + ".mac"
                                      : std::string();
    std::optional<std::string> path = m_prompts.AskSaveFile(kFilterName, kFilterPattern, suggested);
    if (!path) {
        return;
    }
    // A name typed without extension still gives a macro file.
    if (std::filesystem::path(*path).extension().empty()) {
        *path += ".mac";
    }
    if (!m_panel.ExportMacro(*path)) {
        TellFailure();
    }
}

} // namespace velkor
