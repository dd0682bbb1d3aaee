#pragma once
// CMacroControlUI: the macro panel of a keyboard or a mouse, the container
// built from "XML\CustomControlXML\MacroControl.xml" (class "MacroControl")
// that the device page names "MacroControlItem". It keeps the device's macro
// library in the device's user data folder (see MacroFiles.h) and shows it:
//
// - "macro_name_list": one row per macro, its name as text, its Guid as data;
// - "macro_action_list": the events of the selected macro. The panel keeps
//   every event (its object, and its delay as the user sees and edits it);
//   the list is a row view that shows them through a few rows built from the
//   row layout "macro_action" and reused as it scrolls (ui::RowWindow), each
//   with a name label and a value label that show the event, and the delay
//   field "macro_delay". The field is the event's delay while its row shows
//   it: every save, move and recording reads it, not the event's own "Delay".
//   Rows can be selected as a range (Shift) or one by one (Control);
// - the list buttons, the mouse insertion and the recording controls (the
//   operations below; MacroPanelRouter connects them);
// - "macro_edit_macroname": the name field for renaming;
// - "macro_action_layout", "mouse_move_layout", "macro_btn_export",
//   "macro_btn_name_sub", "macro_btn_name_edit": enabled only while a macro
//   is selected.
//
// Every operation runs on the user-interface thread; the panel's window must
// outlive this object. Operations that return nothing useful leave the reason
// in LastFailure().
#include "macros/MacroEvent.h"
#include "macros/MacroRecorder.h"
#include "platform/JsonFileHelper.h"
#include "ui/RowWindow.h"

#include <json/value.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

namespace ui {
class Control;
class ListControl;
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

// CRedioMacroButtonUI: the panel's start and stop buttons, class
// "RedioMacroButton" in the layouts: toolkit buttons that also keep the
// layout's "redioimage" (an image name, stored, not shown).
class CRedioMacroButtonUI {
public:
    static constexpr std::string_view kLayoutClass = "RedioMacroButton";
    explicit CRedioMacroButtonUI(ui::Control& button) : m_button(button) {}
    ui::Control& Button() const { return m_button; }
    std::string RedioImage() const;

private:
    ui::Control& m_button;
};

// RowCount() serves both the recorder (MacroRows) and the row window (ui::RowSource).
class CMacroControlUI final : public MacroRows, private ui::RowSource {
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
    // The event row layout and the row menu layout.
    static constexpr std::string_view kRowLayout = "XML\\CustomControlXML\\macro_action.xml";
    static constexpr std::string_view kRowMenuLayout = "XML\\Menus\\macro_action_menu.xml";
    // The timer that scrolls the selected row into view after a recorded row.
    static constexpr int kScrollTimer = 4101;
    static constexpr int kScrollTimerMs = 50;
    // Style classes of the row's labels.
    static constexpr std::string_view kKeyboardStyle = "macro_label_keyboard_style";
    static constexpr std::string_view kMouseStyle = "macro_label_mouse_style";
    static constexpr std::string_view kDownStyle = "macro_label_down_style";
    static constexpr std::string_view kUpStyle = "macro_label_up_style";
    static constexpr std::string_view kTextStyle = "macro_label_text_style";
    static constexpr uint32_t kDelayFieldColour = 0xFF444444;
    // Mouse messages InsertMouseEvent takes (variant: see there).
    static constexpr int kMessageMove = 0x200;

    // `panel` is the container built from the panel layout. `texts` (may be
    // null, must outlive the panel) gives the language texts the event rows show.
    explicit CMacroControlUI(ui::Control& panel, const ui::TextProvider* texts = nullptr);
    ~CMacroControlUI() override;
    CMacroControlUI(const CMacroControlUI&) = delete;
    CMacroControlUI& operator=(const CMacroControlUI&) = delete;

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
    // Writes the events to the selected macro's file: each event's delay as
    // the user sees it is normalised ("" -> "0", "007" -> "7", above 65535 ->
    // "65535") and shown again as stored. False when nothing is selected or
    // the write failed.
    bool SaveMacro();
    // Adds a macro (as AddMacro) whose file is a byte copy of `path`. The file
    // must be a JSON object; else, or when the list is full, nothing is added.
    // Returns the new macro's name, or empty.
    std::string ImportMacro(const std::string& path);
    // Copies the selected macro's file to `path` unchanged. A macro never saved
    // exports as the file a save would write now. False without a selection
    // or when the copy cannot be written.
    bool ExportMacro(const std::string& path);

    // ---- the events of the selected macro (MacroEventList.cpp) ----
    int EventCount() const;
    // The event as styled JSON text as last stored (empty for no such row).
    std::string EventText(int row) const;
    // The event's delay as the user sees it (its field while shown; not normalised).
    std::string EventDelayText(int row) const;
    // Makes `text` the event's delay as the user sees it. False for no such row.
    bool SetEventDelayText(int row, std::string_view text);
    // Appends an event. False (nothing added) at kMaxMacroEvents events.
    bool AppendEvent(const Json::Value& event);
    // The control showing event `row` (null while no row shows it), and the
    // event shown by the row that is or holds `control` (-1 for none).
    ui::Control* EventRowControl(int row) const;
    int EventRowOf(const ui::Control* control) const;
    // The events selected, in order, and the row window (null when the panel has no event list).
    std::vector<int> SelectedEvents() const;
    ui::RowWindow* EventRows() const { return m_rows.get(); }

    // The list operations on the selected row s (the current row, when it is
    // selected). Each returns whether the list changed; at the ends of the
    // list, or without a selection, nothing changes. A moved row keeps the
    // delay the user sees, and so do its old and new neighbours.
    bool MoveEventUp();       // to s - 1, selected; row s + 5 (or the end) made visible
    bool MoveEventDown();     // to s + 1, selected; row s + 7 (or the end) made visible
    bool MoveEventToTop();    // to 0, selected, list at its top
    bool MoveEventToBottom(); // to the end, selected, list at its end
    bool DeleteEvent();       // every selected row goes; no row is selected then
    bool DeleteAllEvents();   // every row goes
    // Inserts a mouse event after the selected row (at 0 into an empty list)
    // with the fixed delay, and selects it (none after an insertion into an
    // empty list). Messages: 0x201/0x202 left down/up, 0x204/0x205 right,
    // 0x207/0x208 middle, 0x20B/0x20C a side button down/up (variant 0
    // forward, 1 back), 0x200 a movement (variant 0 left, 1 right, 2 up,
    // 3 down) by the distance in "mouse_x_left_edit", "mouse_x_right_edit",
    // "mouse_y_up_edit" or "mouse_y_down_edit": a number limited to 0..255
    // (not a number: 0), written back into the edit as it is stored. False
    // for another message or variant.
    bool InsertMouseEvent(int message, int variant);

    // ---- recording (MacroEventList.cpp) ----
    // The delay fixed-time recording uses.
    int FixedDelay() const { return m_fixedDelay; }
    void SetFixedDelay(int delayMs) { m_fixedDelay = std::clamp(delayMs, 0, kMaxMacroDelay); }
    // Takes "macro_fixed_time_edit" (a number limited to 0..65535, shown
    // again as stored when it differs) as the fixed delay.
    void ReadFixedDelay();
    // Whether "macro_check_time" is ticked.
    bool IsFixedTimeChecked() const;
    // Editing on (true) or off while recording: the name list's tab, the
    // event list and the edit tabs are enabled or not; the start button is
    // shown exactly when on, the stop button exactly when off.
    void SetEditEnabled(bool enabled);
    // Starts recording with a delay mode into the rows (placement: the hook
    // mode's): the fixed delay is read for Fixed, editing is switched off.
    void SetRecordState(RecordDelayMode delayMode, RecordPlacement placement);
    // Ends a recording: editing back on and the rows saved (SaveMacro's result).
    bool EndRecording();
    bool IsRecording() const { return m_recorder.IsRecording(); }
    // One press of the input hook while recording; the left button pressed
    // while the pointer is over "macro_btn_stopredio" is not recorded. A placed
    // or replaced row starts kScrollTimer.
    RecordResult TakeRecordedPress(const ui::InputPress& press);
    // kScrollTimer fired: it stops and the selected row is made visible.
    void ScrollTimerFired();
    // The clock the start of a recording is measured in (milliseconds); the
    // steady clock unless set.
    void SetClock(std::function<int64_t()> nowMs) { m_now = std::move(nowMs); }

    // MacroRows (the recorder's view of the event list); SelectRow selects only that row.
    int RowCount() const override { return EventCount(); }
    int SelectedRow() const override;
    Json::Value RowEvent(int row) const override;
    void InsertRow(int row, const Json::Value& event) override;
    void SetRowEvent(int row, const Json::Value& event) override;
    void SelectRow(int row) override;

    MacroFailure LastFailure() const { return m_lastFailure; }

private:
    // One event of the selected macro: its object as read or last stored, and
    // its delay as the user sees it (what its field shows).
    struct EventEntry {
        Json::Value event;
        std::string delay;
    };

    // ui::RowSource: an event shown in, and taken back from, a reused row.
    void ShowRow(ui::Control& slot, int row) override;
    void LeaveRow(const ui::Control& slot, int row) override;

    // A control of the panel (never of an event row), found once and kept.
    ui::Control* Child(std::string_view name) const;
    // The macro names; null when the panel has no such list.
    ui::ListControl* NameList() const;
    bool ValidEvent(int row) const { return row >= 0 && row < EventCount(); }
    static EventEntry EntryOf(Json::Value event);
    // Every row's typed delay into the events, before they change or are read.
    void TakeEdits();
    // Replaces every event (loading, emptying): no selection, the list at its top.
    void SetEvents(std::vector<EventEntry> events);
    void InsertEntry(int row, EventEntry entry);
    bool NameInUse(std::string_view name) const;
    // A Guid no macro uses and no file has, from the time stamp of now.
    std::string NewGuid() const;
    void EnableSelectionControls(bool enable);
    // Shows an event in a row: labels, styles and the delay field's look.
    void ShowEvent(ui::Control& row, const Json::Value& event) const;
    // The delay field of the row showing event `row`; null while none does.
    ui::Control* DelayField(int row) const;
    // Takes event `from` out and puts it again at `to` with the delay the user sees.
    void MoveRow(int from, int to);
    // s + ahead made visible when it exists, else the last row.
    void ShowRowOrEnd(int row);
    int64_t NowMs() const;
    // The document SaveMacro writes, built from the events. With `normalise`
    // the delays the user sees are rewritten as stored.
    Json::Value BuildMacroDocument(bool normalise);
    std::string Fail(MacroFailure failure);

    ui::Control& m_panel;
    mutable std::map<std::string, ui::Control*, std::less<>> m_found;
    const ui::TextProvider* m_texts;
    CJsonFileHelper m_json;
    std::string m_folder;
    std::vector<std::string> m_names;
    int m_fixedDelay = kDefaultFixedDelayMs;
    std::vector<EventEntry> m_events;
    std::unique_ptr<ui::RowWindow> m_rows;
    MacroRecorder m_recorder;
    std::function<int64_t()> m_now;
    MacroFailure m_lastFailure = MacroFailure::None;
};

} // namespace velkor
