// The macro panel's recording: the fixed delay, editing switched off and on,
// the presses of the input hook placed among the events.
#include "macros/CMacroControlUI.h"

#include "ui/Control.h"

#include <chrono>

namespace velkor {

namespace {

constexpr std::string_view kFixedTimeEdit = "macro_fixed_time_edit";
constexpr std::string_view kFixedTimeCheck = "macro_check_time";
constexpr std::string_view kStartButton = "macro_btn_starredio";
constexpr std::string_view kStopButton = "macro_btn_stopredio";
// Off while recording.
constexpr std::string_view kEditControls[] = {"macro_name_tab", "macro_action_list",
                                              "macro_tab_macroaction_edit", "macro_tab_macrodelay_edit"};

} // namespace

std::string CRedioMacroButtonUI::RedioImage() const {
    return m_button.LayoutProperty("redioimage");
}

int64_t CMacroControlUI::NowMs() const {
    if (m_now) {
        return m_now();
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void CMacroControlUI::ReadFixedDelay() {
    ui::Control* edit = Child(kFixedTimeEdit);
    if (edit == nullptr) {
        return;
    }
    const int delay = ParseDelay(edit->Text());
    if (delay != m_fixedDelay || edit->Text() != std::to_string(delay)) {
        edit->SetText(std::to_string(delay));
        m_fixedDelay = delay;
    }
}

bool CMacroControlUI::IsFixedTimeChecked() const {
    const ui::Control* check = Child(kFixedTimeCheck);
    const ui::SelectableControl* box = check != nullptr ? check->AsSelectable() : nullptr;
    return box != nullptr && box->IsSelected();
}

void CMacroControlUI::SetEditEnabled(bool enabled) {
    for (std::string_view name : kEditControls) {
        if (ui::Control* control = Child(name)) {
            control->SetEnabled(enabled);
        }
    }
    if (ui::Control* start = Child(kStartButton)) {
        start->SetVisible(enabled);
    }
    if (ui::Control* stop = Child(kStopButton)) {
        stop->SetVisible(!enabled);
    }
}

void CMacroControlUI::SetRecordState(RecordDelayMode delayMode, RecordPlacement placement) {
    if (delayMode == RecordDelayMode::Fixed) {
        ReadFixedDelay();
    }
    MacroRecorder::Options options;
    options.delayMode = delayMode;
    options.placement = placement;
    options.fixedDelayMs = m_fixedDelay;
    options.startMs = NowMs();
    m_recorder.Start(options);
    SetEditEnabled(false);
}

bool CMacroControlUI::EndRecording() {
    SetEditEnabled(true);
    m_recorder.Stop(*this);
    m_panel.KillTimer(kScrollTimer);
    return SaveMacro();
}

RecordResult CMacroControlUI::TakeRecordedPress(const ui::InputPress& press) {
    const ui::Control* stop = Child(kStopButton);
    const RecordResult result = m_recorder.Take(
        press, *this, NowMs(), stop != nullptr && stop->IsVisible() && stop->IsUnderPointer());
    if (result == RecordResult::Placed || result == RecordResult::Replaced) {
        m_panel.SetTimer(kScrollTimer, kScrollTimerMs);
    }
    return result;
}

void CMacroControlUI::ScrollTimerFired() {
    m_panel.KillTimer(kScrollTimer);
    if (SelectedRow() >= 0) {
        ShowRowOrEnd(SelectedRow());
    }
}

} // namespace velkor
