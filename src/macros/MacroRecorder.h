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
// - a recording placed among the rows is balanced (BalanceRecording): no
//   release without its press, nothing left down at the stop;
// - at kMaxMacroEvents rows, placing stops (a press is placed only while the
//   releases of everything held still fit); replacing goes on.
// One thread, the one that owns the rows.
#include "macros/MacroEvent.h"
#include "ui/InputTap.h"

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <vector>

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

// Rows that are just a list of events: a recording with no list on screen.
class MacroEventRows final : public MacroRows {
public:
    int RowCount() const override { return int(m_events.size()); }
    int SelectedRow() const override { return m_selected; }
    Json::Value RowEvent(int row) const override { return m_events.at(size_t(row)); }
    void InsertRow(int row, const Json::Value& event) override {
        m_events.insert(m_events.begin() + row, event);
    }
    void SetRowEvent(int row, const Json::Value& event) override { m_events.at(size_t(row)) = event; }
    void SelectRow(int row) override { m_selected = row; }
    const std::vector<Json::Value>& Events() const { return m_events; }

private:
    std::vector<Json::Value> m_events;
    int m_selected = -1;
};

enum class RecordResult {
    Placed,       // a new row
    Replaced,     // the selected row took the press's key or button
    NotRecording, // Start was not called, or Stop was
    NotMapped,    // no key-table row (rows 0..112) or not one of the five buttons
    StopClick,    // the left button over the stop control: the click that ends the recording
    ListFull,     // kMaxMacroEvents rows already (or no room left for the releases a press needs)
    NoSelection,  // insert or replace without a selected row
    NoPress,      // a release whose press this recording did not place (the Enter that started it)
};

// Balancing a recording, one step at a time. A recording started from the
// keyboard begins with the release of the key that started it (Enter up),
// and one stopped by a timer or a click may end with keys still down (Ctrl
// held): played back, such a macro would release a key it never pressed, or
// leave one held for every program.
struct BalanceStep {
    std::vector<MacroEvent> place; // what to record for the step, in order
    std::vector<MacroEvent> held;  // what is held down after it ("Type" and "Button"), in the order pressed
};
// One step of a recording that holds `held` down; `next` is its next event,
// or nothing at the stop. A press is recorded and held (a second press of
// what is held is recorded, and held once); a release is recorded only when
// its press is held, and lets it go; the stop records a release of everything
// held, the last pressed first, with delay 0. Pure.
BalanceStep BalanceRecording(std::vector<MacroEvent> held, const std::optional<MacroEvent>& next);

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
    // Ends the recording: what it placed and still holds down is released in
    // `rows` (the rows it placed into), at once after its last event.
    void Stop(MacroRows& rows);
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
    // `ownDelay`: the new row's delay, instead of the mode's, when it is the last row.
    RecordResult Place(const MacroEvent& event, MacroRows& rows, int delayBefore,
                       std::optional<int> ownDelay = std::nullopt);
    RecordResult Replace(const MacroEvent& event, MacroRows& rows);

    Options m_options;
    bool m_recording = false;
    std::optional<int64_t> m_lastPressMs;
    std::vector<MacroEvent> m_held; // placed presses not yet released
};

} // namespace velkor
