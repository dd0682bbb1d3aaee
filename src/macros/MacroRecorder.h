#pragma once
// MacroRecorder: turns the presses of a recording into macro events and
// places them among the rows of a macro, with the delays of the chosen mode.
// It knows no toolkit: the macro panel drives it for the window, velkorctl
// for a file.
//
// What it promises:
// - delays are measured between the presses' own times (the input source's
//   clock), never between the times they are handled, so a busy window
//   stretches none; only the gap from the start to the first press, which
//   has no press time at its start, is measured in the caller's clock;
// - every press given is one press: the input sources leave out the repeats
//   of a held key (evdev value 2, Qt's auto-repeat), so nothing else is
//   dropped as one, and nothing of one recording outlives it;
// - at kMaxMacroEvents rows, placing stops; replacing goes on.
// One thread, the one that owns the rows.
#include "macros/MacroEvent.h"
#include "ui/InputTap.h"

#include <json/value.h>

#include <cstdint>
#include <optional>

namespace velkor {

enum class RecordDelayMode { Measured = 1, Fixed = 2, None = 3 };
// Where recorded events go; the values are the hook modes that record.
enum class RecordPlacement { Append = 4, Before = 8, After = 16, Replace = 32 };
std::optional<RecordPlacement> RecordPlacementOfMode(int hookMode);

// The rows a recording fills. Rows count from 0; -1 is no row.
class MacroRows {
public:
    virtual ~MacroRows() = default;
    virtual int RowCount() const = 0;
    virtual int SelectedRow() const = 0;
    // The row's event object with the delay its row shows; null when the row has none.
    virtual Json::Value RowEvent(int row) const = 0;
    // A new row for `event` before `row` (RowCount() appends); it shows the event's "Delay".
    virtual void InsertRow(int row, const Json::Value& event) = 0;
    // The row's event becomes `event`, shown again with its "Delay".
    virtual void SetRowEvent(int row, const Json::Value& event) = 0;
    virtual void SelectRow(int row) = 0;
};

enum class RecordResult {
    Placed,       // a new row
    Replaced,     // the selected row took the press's key or button
    NotRecording, // Start was not called, or Stop was
    NotMapped,    // no key-table row (rows 0..112) or not one of the five buttons
    StopClick,    // the left button over the stop control: the click that ends the recording
    ListFull,     // kMaxMacroEvents rows already
    NoSelection,  // insert or replace without a selected row
};

// The event a press records ("Delay" 0): a key of rows 0..112 of the key
// table gives "Type" 10 with its usage, or 9 with its modifier bit when it
// has no usage; the five mouse buttons give "Type" 1 with 1, 2, 4, 8 (back)
// or 16 (forward). Nothing for anything else.
std::optional<MacroEvent> RecordedEventOf(const ui::InputPress& press);

class MacroRecorder {
public:
    struct Options {
        RecordDelayMode delayMode = RecordDelayMode::Measured;
        RecordPlacement placement = RecordPlacement::Append;
        int fixedDelayMs = 50; // limited to 0..kMaxMacroDelay
        int64_t startMs = 0;   // the caller's clock at the start
    };

    // Starts (or starts again, forgetting the last one) a recording.
    void Start(const Options& options);
    void Stop() { m_recording = false; }
    bool IsRecording() const { return m_recording; }
    const Options& CurrentOptions() const { return m_options; }

    // Takes one press handled at `nowMs` (the caller's clock, as startMs).
    // `overStopControl`: the pointer is over the control that stops the
    // recording, so a left button there is that click and not recorded.
    RecordResult Take(const ui::InputPress& press, MacroRows& rows, int64_t nowMs,
                      bool overStopControl = false);

private:
    // The delay of the row before a press: the time since the last one.
    int DelayBefore(const ui::InputPress& press, int64_t nowMs);
    RecordResult Place(const MacroEvent& event, MacroRows& rows, int delayBefore);
    RecordResult Replace(const MacroEvent& event, MacroRows& rows);

    Options m_options;
    bool m_recording = false;
    std::optional<int64_t> m_lastPressMs;
};

} // namespace velkor
