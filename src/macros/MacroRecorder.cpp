#include "macros/MacroRecorder.h"

#include "keys/EvdevKeys.h"
#include "keys/KeyFunction.h"
#include "keys/KeyTable.h"

#include <algorithm>

namespace velkor {

std::optional<RecordPlacement> RecordPlacementOfMode(int hookMode) {
    switch (hookMode) {
    case 4:
        return RecordPlacement::Append;
    case 8:
        return RecordPlacement::Before;
    case 16:
        return RecordPlacement::After;
    case 32:
        return RecordPlacement::Replace;
    default:
        return std::nullopt;
    }
}

std::optional<MacroEvent> RecordedEventOf(const ui::InputPress& press) {
    MacroEvent event;
    event.down = press.down;
    if (press.kind == ui::InputPress::Kind::Button) {
        const std::optional<std::uint8_t> button = MouseButtonFromEvdev(press.code);
        if (!button) {
            return std::nullopt;
        }
        event.type = static_cast<int>(MacroEventType::MouseButton);
        event.button = *button;
        return event;
    }
    const KeyTableRow* row = KeyRowAt(FindKeyByEvdevCode(press.code));
    if (row == nullptr) {
        return std::nullopt;
    }
    if (row->function.paramB != 0) {
        event.type = static_cast<int>(MacroEventType::Key);
        event.button = row->function.paramB;
    } else {
        event.type = static_cast<int>(MacroEventType::ModifierKey);
        event.button = row->function.paramA;
    }
    return event;
}

BalanceStep BalanceRecording(std::vector<MacroEvent> held, const std::optional<MacroEvent>& next) {
    BalanceStep step;
    if (!next) {
        for (auto it = held.rbegin(); it != held.rend(); ++it) {
            MacroEvent release = *it;
            release.down = false;
            release.delay = 0;
            step.place.push_back(release);
        }
        return step;
    }
    const auto same = std::find_if(held.begin(), held.end(), [&](const MacroEvent& down) {
        return down.type == next->type && down.button == next->button;
    });
    if (next->down) {
        step.place.push_back(*next);
        if (same == held.end()) {
            held.push_back(*next);
        }
    } else if (same != held.end()) {
        step.place.push_back(*next);
        held.erase(same);
    }
    step.held = std::move(held);
    return step;
}

void MacroRecorder::Start(const Options& options) {
    m_options = options;
    m_options.fixedDelayMs = std::clamp(options.fixedDelayMs, 0, kMaxMacroDelay);
    m_lastPressMs.reset();
    m_held.clear();
    m_recording = true;
}

void MacroRecorder::Stop(MacroRows& rows) {
    if (m_recording && m_options.placement != RecordPlacement::Replace) {
        for (const MacroEvent& release : BalanceRecording(std::move(m_held), std::nullopt).place) {
            Place(release, rows, 0, 0); // a press always left room for its release
        }
    }
    m_held.clear();
    m_recording = false;
}

RecordResult MacroRecorder::Take(const ui::InputPress& press, MacroRows& rows, int64_t nowMs,
                                 bool overStopControl) {
    if (!m_recording) {
        return RecordResult::NotRecording;
    }
    const std::optional<MacroEvent> event = RecordedEventOf(press);
    if (!event) {
        return RecordResult::NotMapped;
    }
    if (overStopControl && press.kind == ui::InputPress::Kind::Button && event->button == kMouseLeft) {
        return RecordResult::StopClick;
    }
    if (m_options.placement == RecordPlacement::Replace) {
        return Replace(*event, rows);
    }
    if (m_options.placement != RecordPlacement::Append && rows.SelectedRow() < 0) {
        return RecordResult::NoSelection;
    }
    BalanceStep step = BalanceRecording(m_held, *event);
    if (step.place.empty()) {
        return RecordResult::NoPress;
    }
    // A press keeps room for its own release and those of everything held.
    const int needed = event->down ? 1 + int(step.held.size()) : 1;
    if (rows.RowCount() + needed > kMaxMacroEvents) {
        return RecordResult::ListFull;
    }
    m_held = std::move(step.held);
    return Place(*event, rows, DelayBefore(press, nowMs));
}

int MacroRecorder::DelayBefore(const ui::InputPress& press, int64_t nowMs) {
    if (m_options.delayMode == RecordDelayMode::Fixed) {
        return m_options.fixedDelayMs;
    }
    if (m_options.delayMode == RecordDelayMode::None) {
        return 0;
    }
    // The start has no press time: its gap is measured in the caller's clock.
    const int64_t elapsed = m_lastPressMs ? press.timeMs - *m_lastPressMs : nowMs - m_options.startMs;
    m_lastPressMs = press.timeMs;
    return static_cast<int>(std::clamp<int64_t>(elapsed, 0, kMaxMacroDelay));
}

RecordResult MacroRecorder::Place(const MacroEvent& event, MacroRows& rows, int delayBefore,
                                  std::optional<int> ownDelay) {
    const int selected = rows.SelectedRow();
    int at = rows.RowCount();
    if (m_options.placement == RecordPlacement::Before) {
        at = selected;
    } else if (m_options.placement == RecordPlacement::After) {
        at = selected + 1;
    }
    Json::Value json = MakeMacroEventJson(event);
    if (at == 0) {
        json["Delay"] = 0; // the first row of a list: the integer, as a save normalises it
    } else if (ownDelay && at == rows.RowCount()) {
        json["Delay"] = std::to_string(*ownDelay);
    } else {
        json["Delay"] = m_options.delayMode == RecordDelayMode::Fixed ? std::to_string(m_options.fixedDelayMs)
                                                                      : std::string("0");
    }
    rows.InsertRow(at, json);
    if (at > 0) {
        Json::Value before = rows.RowEvent(at - 1);
        if (before.isObject()) {
            before["Delay"] = std::to_string(delayBefore);
            rows.SetRowEvent(at - 1, before);
        }
    }
    // Before: the row that was selected stays selected, so later presses go in
    // before it, in order; after: the new row, so later presses follow it.
    switch (m_options.placement) {
    case RecordPlacement::Before:
        rows.SelectRow(at + 1);
        break;
    case RecordPlacement::After:
        rows.SelectRow(at);
        break;
    default:
        rows.SelectRow(rows.RowCount() - 1);
        break;
    }
    return RecordResult::Placed;
}

RecordResult MacroRecorder::Replace(const MacroEvent& event, MacroRows& rows) {
    const int selected = rows.SelectedRow();
    if (selected < 0) {
        return RecordResult::NoSelection;
    }
    Json::Value json = rows.RowEvent(selected);
    if (!json.isObject()) {
        return RecordResult::NoSelection;
    }
    json["Type"] = event.type;
    json["Button"] = event.button;
    rows.SetRowEvent(selected, json);
    return RecordResult::Replaced;
}

} // namespace velkor
