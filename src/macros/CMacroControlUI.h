#pragma once
// CMacroControlUI: the macro panel of a keyboard or a mouse, the container
// built from "XML\CustomControlXML\MacroControl.xml" (class "MacroControl")
// that the device page names "MacroControlItem". It keeps the device's macro
// library in the device's user data folder (see MacroFiles.h) and shows it:
//
// - "macro_name_list": one row per macro, its name as text, its Guid as data;
// - "macro_action_list": the events of the selected macro, one row per event,
//   the event object as JSON text in the row's data and the event with its
//   delay shown as the row's text. The row's delay field is the event's
//   "Delay" member: what the row shows and what SaveMacro normalises;
// - "macro_edit_macroname": the name field for renaming;
// - "macro_action_layout", "mouse_move_layout", "macro_btn_export",
//   "macro_btn_name_sub", "macro_btn_name_edit": enabled only while a macro
//   is selected.
//
// Every operation runs on the user-interface thread; the panel's window must
// outlive this object. Operations that return nothing useful leave the reason
// in LastFailure().
#include "macros/MacroEvent.h"
#include "profiles/JsonFileHelper.h"

#include <json/value.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

namespace ui {
class Control;
class TextProvider;
} // namespace ui

// Why the last operation of the panel did nothing (None after a success).
enum class MacroFailure {
    None,
    NoFolder,    // SetMacroFolder was not given a folder
    NotSelected, // no macro is selected (or it has no usable Guid)
    ListFull,    // kMaxMacroCount macros exist already
    NameBlank,   // the new name is empty after trimming
    NameTaken,   // another macro, or this one, has that name already
    TooManyEvents,
    WriteFailed,  // a file of the library could not be written; nothing changed
    NotMacroFile, // an import file is missing, unreadable or not a JSON object
};

class CMacroControlUI {
public:
    // The class the layouts write, the class name the panel reports, its layout
    // and the name the device page gives it.
    static constexpr std::string_view kControlClass = "MacroControl";
    static constexpr std::string_view kRegisteredClass = "CMacroControlUI";
    static constexpr std::string_view kLayout = "XML\\CustomControlXML\\MacroControl.xml";
    static constexpr std::string_view kPageItemName = "MacroControlItem";
    // What RenameMacro returns for a blank name or when nothing is selected.
    static constexpr std::string_view kRenameEmpty = "IsEmpty";
    static constexpr int kDefaultFixedDelayMs = 50;

    // `panel` is the container built from the panel layout. `texts` (may be
    // null, must outlive the panel) gives the language texts the event rows show.
    explicit CMacroControlUI(ui::Control& panel, const ui::TextProvider* texts = nullptr);

    ui::Control& Panel() const { return m_panel; }

    // The device's user data folder (UTF-8, with or without a trailing separator).
    void SetMacroFolder(std::string folder) { m_folder = std::move(folder); }
    const std::string& MacroFolder() const { return m_folder; }
    std::string IndexFilePath() const;
    // folder + Guid + ".mac" of macro `index`; empty without one.
    std::string MacroFilePathAt(int index) const;

    // Fills "macro_name_list" from the index file (rows already there are
    // replaced). Nothing without a folder. A missing or damaged index gives an
    // empty list.
    void LoadMacroList();
    const std::vector<std::string>& MacroNames() const { return m_names; }
    int MacroCount() const;
    bool IsFull() const { return MacroCount() >= kMaxMacroCount; }

    // The selected row of "macro_name_list", or -1.
    int GetSelectedMacro() const;
    std::string GetSelectedGuid() const;

    // Appends "macro_<n>" (the first n from 1 that no macro uses, ignoring
    // case) with a new Guid, writes the index file and selects it. Returns the
    // name; empty, with nothing changed, when the list is full or the index
    // cannot be written. No macro file exists until the first save.
    std::string AddMacro();
    // Removes the selected macro: its index entry (later macros move down by
    // one), its row and its file, then selects the first macro and loads its
    // events. Returns the index removed; -1, with nothing changed, when nothing
    // is selected or the index cannot be written.
    int DeleteMacro();
    // Renames the selected macro to the trimmed text of "macro_edit_macroname".
    // Returns the new name with `index` = the selected row, and clears the name
    // field. A name some macro has already (this one too, ignoring case):
    // empty with `index` = the selected row. A blank name or no selection:
    // kRenameEmpty with `index` -1. A failed write: empty with `index` -1.
    std::string RenameMacro(int& index);
    // Loads the selected macro's events into "macro_action_list" and enables
    // the controls that need a selection; without a selection empties the list
    // and disables them. A missing or damaged macro file gives no events.
    void SelectMacro();
    // Writes the event rows to the selected macro's file: each row's delay
    // field is normalised ("" -> "0", "007" -> "7", above 65535 -> "65535")
    // and written back into the row; the rows are saved in order up to the
    // first row without event text. False when nothing is selected or the
    // write failed.
    bool SaveMacro();
    // Adds a macro (as AddMacro) whose file is a byte copy of `path`. The file
    // must be a JSON object; else, or when the list is full, nothing is added.
    // Returns the new macro's name, or empty.
    std::string ImportMacro(const std::string& path);
    // Copies the selected macro's file to `path` unchanged. A macro never saved
    // exports as the file a save would write now. False without a selection
    // or when the copy cannot be written.
    bool ExportMacro(const std::string& path);

    // ---- the event rows of the selected macro ----
    int EventCount() const;
    // The row's event as JSON text (empty when the row has none).
    std::string EventText(int row) const;
    // The row's delay field as it stands (not normalised).
    std::string EventDelayText(int row) const;
    // Puts `text` into the row's delay field. False for a row without an event object.
    bool SetEventDelayText(int row, std::string_view text);
    // Appends a row for `event`. False (nothing added) at kMaxMacroEvents rows.
    bool AppendEvent(const Json::Value& event);

    // The delay fixed-time recording uses.
    int FixedDelay() const { return m_fixedDelay; }
    void SetFixedDelay(int delayMs) { m_fixedDelay = std::clamp(delayMs, 0, kMaxMacroDelay); }

    MacroFailure LastFailure() const { return m_lastFailure; }

private:
    ui::Control* Child(std::string_view name) const;
    bool NameInUse(std::string_view name) const;
    // A Guid no macro uses and no file has, from the time stamp of now.
    std::string NewGuid() const;
    void EnableSelectionControls(bool enable);
    // The row's text for an event object.
    std::string RowText(const Json::Value& event) const;
    void AddEventRow(const Json::Value& event);
    // The document SaveMacro writes, built from the rows. With `normalise`
    // the rows' delay fields are rewritten as stored.
    Json::Value BuildMacroDocument(bool normalise);
    std::string Fail(MacroFailure failure);

    ui::Control& m_panel;
    const ui::TextProvider* m_texts;
    CJsonFileHelper m_json;
    std::string m_folder;
    std::vector<std::string> m_names;
    int m_fixedDelay = kDefaultFixedDelayMs;
    MacroFailure m_lastFailure = MacroFailure::None;
};

} // namespace velkor
