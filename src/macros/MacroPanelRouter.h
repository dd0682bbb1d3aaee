#pragma once
// MacroPanelRouter: what the buttons of one macro panel do, with the
// questions and messages around each operation. The main window passes it
// the notifications of its window (or adds it as a receiver); it handles only
// those whose sender lies inside its panel, so the keyboard's and the
// mouse's panels can share a window.
//
// Buttons: "macro_btn_name_add" adds, "macro_btn_name_sub" deletes with the
// sweep over the device's profiles, "macro_btn_name_edit" renames from the
// name field, "macro_btn_save" saves, "macro_btn_cancel" reloads the macro
// from its file, "macro_btn_import" and "macro_btn_export" ask for a file;
// selecting a row of "macro_name_list" loads that macro.
//
// The event list: the six list buttons ("macro_btn_up", "macro_btn_down",
// "macro_btn_uptop", "macro_btn_downbottom", "macro_btn_delete",
// "macro_btn_deleteall") edit it, save the macro and enable saving in the key
// panel; the four "macro_inset_*" buttons insert a movement and save; a
// "macro_delay" field that loses the focus saves. The menu notification of an
// event row ("macro_action") selects its event (one already selected only
// becomes current) and opens the row menu, whose
// items insert mouse buttons (then save) or start a recording.
// "macro_btn_starredio" starts a recording, "macro_btn_stopredio" stops it
// (both through the hooks: the main window owns the input hook); the panel's
// timer 4101 scrolls the recorded row into view.
//
// Deleting macro m asks "message_text_4", and "message_text_2" when a key of
// the selected profile plays m, before any file changes. Then every other
// profile file is prepared, the changed ones are written (each atomically),
// the device takes its renumbered keys and the macro leaves the library; when
// a step fails the steps before it are taken back and the user is told.
//
// Every operation runs on the user-interface thread.
#include "keys/KeyFunction.h"
#include "macros/MacroRecorder.h"
#include "ui/Notification.h"
#include "ui/Toolkit.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

class CMacroControlUI;
namespace ui {
class UserPrompts;
}

// What the router needs from the device and the main window. Every hook may
// be left empty; the profile hooks are then taken as "no profiles" / "no keys".
struct MacroPanelHooks {
    // The profile files of the device (the profile bar's GetProfilePathAt for
    // every index). The selected profile's file is left out of the file sweep
    // (see selectedProfilePath); its keys change through currentKeys/takeKeys.
    std::function<std::vector<std::string>()> profilePaths;
    // The selected profile's file.
    std::function<std::string()> selectedProfilePath;
    // The device's current key list (selected profile).
    std::function<std::vector<KeyListEntry>()> currentKeys;
    // The device takes a new key list and stores it in its profile; false when
    // it could not. Called again with the old list to take a change back.
    std::function<bool(const std::vector<KeyListEntry>&)> takeKeys;
    // The device reloads names and lists into its panels.
    std::function<void()> reloadPanels;
    // The key-assignment panel's macro list follows the library.
    std::function<void(const std::string& name)> macroAdded;
    std::function<void(int index, const std::string& name)> macroRenamed;
    std::function<void(int index)> macroRemoved;
    // The key-assignment display shows the keys again.
    std::function<void()> refreshKeyDisplay;
    // The device's macro memory and key table follow the new macro numbering.
    std::function<void()> writeMacrosAndKeys;
    // Saving in the key assignment panel is enabled (key changes pending).
    std::function<void()> enableKeySaving;
    // A recording starts in the panel with a delay mode and a hook mode (4, 8,
    // 16 or 32), and the one that runs stops. Empty: nothing records.
    std::function<void(RecordDelayMode delayMode, int hookMode)> startRecording;
    std::function<void()> stopRecording;
    // Opens a menu layout at the pointer; null when it cannot open.
    std::function<std::unique_ptr<ui::Menu>(std::string_view layout, ui::MenuReceiver& receiver)> openMenu;
};

enum class MacroDeleteOutcome {
    Deleted,
    Cancelled,   // the user said no to a question
    NotSelected, // no macro selected
    Failed,      // a file could not be read or written; nothing changed (see the report)
};

class MacroPanelRouter final : public ui::NotifyReceiver, public ui::MenuReceiver {
public:
    static constexpr std::string_view kFilterName = "Macro Files(*.mac)";
    static constexpr std::string_view kFilterPattern = "*.mac";
    // Message keys of the questions and notices.
    static constexpr std::string_view kConfirmDelete = "message_text_4";
    static constexpr std::string_view kConfirmKeysUseMacro = "message_text_2";
    static constexpr std::string_view kNameTaken = "message_text_5";
    static constexpr std::string_view kListFull = "macro_list_full_text";
    static constexpr std::string_view kWriteFailed = "macro_write_failed_text";
    static constexpr std::string_view kNotMacroFile = "macro_import_failed_text";
    static constexpr std::string_view kDeleteFailed = "macro_delete_failed_text";

    // The panel, the prompts and everything the hooks capture must outlive the router.
    MacroPanelRouter(CMacroControlUI& panel, ui::UserPrompts& prompts, MacroPanelHooks hooks);

    // Runs the operation of a click or row selection inside the panel; false
    // when the notification is not the panel's.
    bool Route(const ui::Notification& notification);
    void Notify(const ui::Notification& notification) override { Route(notification); }

    // The event-row menu: closes an open one, then opens it at the pointer.
    void ShowEventMenu();
    ui::Menu* EventMenu() const { return m_eventMenu.get(); }
    // An item of the event-row menu (also what the main window dispatches).
    void MenuItemChosen(std::string_view item) override;
    // A list button, by name: its operation, the save and the key panel's saving.
    bool RunListButton(std::string_view name);
    // A record trigger, by name ("macro_btn_starredio" or a menu item).
    bool StartRecordingFor(std::string_view trigger);

    // The operations behind the buttons.
    void Add();
    MacroDeleteOutcome DeleteWithSweep();
    void Rename();
    void Save();
    void Cancel();
    void Import();
    void Export();

    // After a Failed deletion: the file that failed, and the profile files that
    // kept their new content because putting the old one back failed as well.
    const std::string& FailedPath() const { return m_failedPath; }
    const std::vector<std::string>& NotRestored() const { return m_notRestored; }

private:
    MacroDeleteOutcome FailDelete(std::string path);
    // A macro joined the library (added or imported): the others learn of it.
    void Added(const std::string& name);
    void TellFailure();
    void Notice(std::string_view key);
    bool RouteEventList(const ui::Notification& notification);
    void SelectRowOf(const ui::Control& row);

    CMacroControlUI& m_panel;
    ui::UserPrompts& m_prompts;
    MacroPanelHooks m_hooks;
    std::string m_failedPath;
    std::vector<std::string> m_notRestored;
    std::unique_ptr<ui::Menu> m_eventMenu;
};

} // namespace velkor
