// The macro panel's event list: the events, their rows, the list operations
// and mouse insertion.
#include "macros/CMacroControlUI.h"

#include "keys/KeyFunction.h"
#include "ui/Control.h"

namespace velkor {

namespace {

constexpr std::string_view kNameLabel = "macro_action_name";
constexpr std::string_view kValueLabel = "macro_action_value";
constexpr std::string_view kDelayField = "macro_delay";
// The distance edits of the movements, by variant.
constexpr std::string_view kDistanceEdits[] = {"mouse_x_left_edit", "mouse_x_right_edit", "mouse_y_up_edit",
                                               "mouse_y_down_edit"};
constexpr int kMaxDistance = 255;

// The event of a mouse message and variant, or nothing. Distances are filled in by the caller.
std::optional<MacroEvent> MouseMessageEvent(int message, int variant) {
    MacroEvent event;
    event.type = static_cast<int>(MacroEventType::MouseButton);
    switch (message) {
    case 0x201:
    case 0x202:
        event.button = kMouseLeft;
        event.down = message == 0x201;
        return event;
    case 0x204:
    case 0x205:
        event.button = kMouseRight;
        event.down = message == 0x204;
        return event;
    case 0x207:
    case 0x208:
        event.button = kMouseMiddle;
        event.down = message == 0x207;
        return event;
    case 0x20B:
    case 0x20C:
        if (variant != 0 && variant != 1) {
            return std::nullopt;
        }
        event.button = variant == 0 ? kMouseFifth : kMouseFourth;
        event.down = message == 0x20B;
        return event;
    case CMacroControlUI::kMessageMove:
        if (variant < 0 || variant > 3) {
            return std::nullopt;
        }
        event.type =
            static_cast<int>(variant < 2 ? MacroEventType::MoveHorizontal : MacroEventType::MoveVertical);
        event.down = variant == 0 || variant == 2;
        return event;
    default:
        return std::nullopt;
    }
}

void SetLabel(ui::Control* label, std::string_view text, bool languageKey, std::string_view style) {
    if (label == nullptr) {
        return;
    }
    label->SetResourceText(languageKey);
    label->SetText(text);
    label->SetStyleClass(style);
}

} // namespace

// ---- rows ----

void CMacroControlUI::ShowEvent(ui::Control& row, const Json::Value& event) const {
    const MacroEventLook look = DescribeMacroEvent(event);
    int type = -1;
    if (event.isObject() && event["Type"].isInt()) {
        type = event["Type"].asInt();
    }
    std::string_view nameStyle;
    if (type == static_cast<int>(MacroEventType::Key) ||
        type == static_cast<int>(MacroEventType::ModifierKey)) {
        nameStyle = kKeyboardStyle;
    } else if (type >= static_cast<int>(MacroEventType::MouseButton) &&
               type <= static_cast<int>(MacroEventType::MoveVertical)) {
        nameStyle = kMouseStyle;
    }
    SetLabel(row.FindChild(kNameLabel), look.nameKey, true, nameStyle);
    const bool movement = type == static_cast<int>(MacroEventType::MoveHorizontal) ||
                          type == static_cast<int>(MacroEventType::MoveVertical);
    const bool valueless = type == static_cast<int>(MacroEventType::MouseOther2) ||
                           type == static_cast<int>(MacroEventType::MouseOther3);
    ui::Control* value = row.FindChild(kValueLabel);
    if (movement || valueless) {
        SetLabel(value, look.distance, false, kTextStyle);
    } else {
        SetLabel(value, look.directionKey, true, look.directionKey == kDownTextKey ? kDownStyle : kUpStyle);
    }
    if (ui::Control* field = row.FindChild(kDelayField)) {
        field->SetStyleClass(kTextStyle);
        field->SetBackgroundColour(kDelayFieldColour);
    }
}

void CMacroControlUI::ShowRow(ui::Control& slot, int row) {
    const EventEntry& entry = m_events[size_t(row)];
    ShowEvent(slot, entry.event);
    if (ui::Control* field = slot.FindChild(kDelayField)) {
        field->SetText(entry.delay);
    }
}

void CMacroControlUI::LeaveRow(const ui::Control& slot, int row) {
    if (const ui::Control* field = slot.FindChild(kDelayField); field != nullptr && ValidEvent(row)) {
        m_events[size_t(row)].delay = field->Text();
    }
}

CMacroControlUI::EventEntry CMacroControlUI::EntryOf(Json::Value event) {
    std::string delay = std::to_string(ReadDelay(event));
    return EventEntry{std::move(event), std::move(delay)};
}

void CMacroControlUI::TakeEdits() {
    if (m_rows) {
        m_rows->TakeEdits();
    }
}

void CMacroControlUI::SetEvents(std::vector<EventEntry> events) {
    m_events = std::move(events);
    if (m_rows) {
        m_rows->Reset();
    }
}

void CMacroControlUI::InsertEntry(int row, EventEntry entry) {
    TakeEdits();
    m_events.insert(m_events.begin() + row, std::move(entry));
    if (m_rows) {
        m_rows->Inserted(row, 1);
    }
}

ui::Control* CMacroControlUI::DelayField(int row) const {
    const ui::Control* shown = EventRowControl(row);
    return shown != nullptr ? shown->FindChild(kDelayField) : nullptr;
}

ui::Control* CMacroControlUI::EventRowControl(int row) const {
    return m_rows && ValidEvent(row) ? m_rows->ControlOf(row) : nullptr;
}

int CMacroControlUI::EventRowOf(const ui::Control* control) const {
    return m_rows ? m_rows->RowOf(control) : -1;
}

std::vector<int> CMacroControlUI::SelectedEvents() const {
    return m_rows ? m_rows->SelectedRows() : std::vector<int>{};
}

int CMacroControlUI::EventCount() const {
    return int(m_events.size());
}

std::string CMacroControlUI::EventText(int row) const {
    return ValidEvent(row) ? m_json.StyledText(m_events[size_t(row)].event) : std::string();
}

std::string CMacroControlUI::EventDelayText(int row) const {
    if (!ValidEvent(row)) {
        return {};
    }
    const ui::Control* field = DelayField(row);
    return field != nullptr ? field->Text() : m_events[size_t(row)].delay;
}

bool CMacroControlUI::SetEventDelayText(int row, std::string_view text) {
    if (!ValidEvent(row)) {
        return false;
    }
    m_events[size_t(row)].delay = text;
    if (ui::Control* field = DelayField(row)) {
        field->SetText(text);
    }
    return true;
}

bool CMacroControlUI::AppendEvent(const Json::Value& event) {
    m_lastFailure = MacroFailure::None;
    if (EventCount() >= kMaxMacroEvents) {
        Fail(MacroFailure::TooManyEvents);
        return false;
    }
    InsertEntry(EventCount(), EntryOf(event));
    return true;
}

int CMacroControlUI::SelectedRow() const {
    const int current = m_rows ? m_rows->CurrentRow() : -1;
    return m_rows && m_rows->IsSelected(current) ? current : -1;
}

Json::Value CMacroControlUI::RowEvent(int row) const {
    if (!ValidEvent(row) || !m_events[size_t(row)].event.isObject()) {
        return Json::Value();
    }
    Json::Value event = m_events[size_t(row)].event;
    event["Delay"] = NormaliseDelayText(EventDelayText(row));
    return event;
}

void CMacroControlUI::InsertRow(int row, const Json::Value& event) {
    if (row >= 0 && row <= EventCount()) {
        InsertEntry(row, EntryOf(event));
    }
}

void CMacroControlUI::SetRowEvent(int row, const Json::Value& event) {
    if (!ValidEvent(row)) {
        return;
    }
    m_events[size_t(row)] = EntryOf(event);
    if (m_rows) {
        m_rows->Changed(row);
    }
}

void CMacroControlUI::SelectRow(int row) {
    if (m_rows) {
        m_rows->Select(row);
    }
}

// ---- list operations ----

void CMacroControlUI::MoveRow(int from, int to) {
    TakeEdits();
    Json::Value event = RowEvent(from);
    EventEntry entry = event.isNull() ? std::move(m_events[size_t(from)]) // another shape moves as it is
                                      : EntryOf(std::move(event));
    m_events.erase(m_events.begin() + from);
    m_events.insert(m_events.begin() + to, std::move(entry));
    if (m_rows) {
        m_rows->Moved(from, to);
        m_rows->Changed(to);
        m_rows->Select(to);
    }
}

void CMacroControlUI::ShowRowOrEnd(int row) {
    if (m_rows) {
        m_rows->EnsureVisible(row < EventCount() ? row : EventCount() - 1);
    }
}

bool CMacroControlUI::MoveEventUp() {
    const int s = SelectedRow();
    if (s <= 0) {
        return false;
    }
    MoveRow(s, s - 1);
    ShowRowOrEnd(s + 5);
    return true;
}

bool CMacroControlUI::MoveEventDown() {
    const int s = SelectedRow();
    if (s < 0 || s >= EventCount() - 1) {
        return false;
    }
    MoveRow(s, s + 1);
    ShowRowOrEnd(s + 7);
    return true;
}

bool CMacroControlUI::MoveEventToTop() {
    const int s = SelectedRow();
    if (s <= 0) {
        return false;
    }
    MoveRow(s, 0);
    ShowRowOrEnd(0);
    return true;
}

bool CMacroControlUI::MoveEventToBottom() {
    const int s = SelectedRow();
    const int last = EventCount() - 1;
    if (s < 0 || s >= last) {
        return false;
    }
    MoveRow(s, last);
    ShowRowOrEnd(last);
    return true;
}

bool CMacroControlUI::DeleteEvent() {
    const std::vector<int> doomed = SelectedEvents();
    if (doomed.empty()) {
        return false;
    }
    TakeEdits();
    // One pass over the events, however many go (a range may be thousands),
    // in place: the list keeps its room for the next recorded event.
    size_t kept = 0;
    auto next = doomed.begin();
    for (int row = 0; row < EventCount(); ++row) {
        if (next != doomed.end() && *next == row) {
            ++next;
        } else if (kept++ != size_t(row)) {
            m_events[kept - 1] = std::move(m_events[size_t(row)]);
        }
    }
    m_events.resize(kept);
    m_rows->Removed(doomed);
    m_rows->Select(-1);
    return true;
}

bool CMacroControlUI::DeleteAllEvents() {
    if (m_events.empty()) {
        return false;
    }
    SetEvents({});
    return true;
}

bool CMacroControlUI::InsertMouseEvent(int message, int variant) {
    std::optional<MacroEvent> event = MouseMessageEvent(message, variant);
    if (!event) {
        return false;
    }
    if (message == kMessageMove) {
        // A distance is one byte on the device: keep what it can hold, and show it.
        ui::Control* edit = Child(kDistanceEdits[variant]);
        const int distance =
            std::clamp(ParseDelay(edit != nullptr ? edit->Text() : std::string()), 0, kMaxDistance);
        if (edit != nullptr) {
            edit->SetText(std::to_string(distance));
        }
        event->button = static_cast<std::uint8_t>(distance);
    }
    event->delay = static_cast<std::uint16_t>(m_fixedDelay);
    const int s = SelectedRow();
    const int p = s < 0 ? 0 : s;
    SelectRow(-1);
    const int at = EventCount() > 0 ? p + 1 : 0;
    InsertEntry(at, EntryOf(MakeMacroEventJson(*event)));
    if (p + 1 < EventCount()) {
        SelectRow(p + 1);
        ShowRowOrEnd(p + 1);
    }
    return true;
}

} // namespace velkor
