// The mouse's profile, its page state and the actions of its cursor tab:
// DPI stages, report rate, pointer values.
#include "devices/TolvanicMouseDevice.h"
#include "platform/Trace.h"
#include "ui/Control.h"

#include <algorithm>
#include <string>

namespace velkor {

namespace {

std::string Numbered(std::string_view prefix, int n) {
    return std::string(prefix) + std::to_string(n);
}

bool IsStage(int stage) {
    return stage >= 0 && stage < kMouseStageCount;
}

} // namespace

// ---- Profile ----

bool CTolvanicMouseDevice::LoadDeviceProfile() {
    SetupProfilePaths();
    if (m_profile.GetProfilePath().empty() || m_profile.LoadProfile(m_profile.GetProfilePath()).isNull()) {
        return false;
    }
    m_keyList = m_profile.ReadKeyList();
    ApplyLightState();
    m_stages = m_profile.ReadDpiStages();
    m_activeStage = std::clamp(m_profile.GetActiveDpiStage(), 0, kMouseStageCount - 1);
    m_system = m_profile.ReadMouseSystem();
    m_profileLoaded = true;
    State().SetSettingsRead(m_limitsRead);
    return true;
}

bool CTolvanicMouseDevice::SaveDeviceProfile() {
    return !m_profile.GetProfilePath().empty() && m_profile.SaveProfile();
}

void CTolvanicMouseDevice::RestoreDefaults() {
    SetupProfilePaths();
    if (m_profile.LoadProfile(m_profile.GetDefaultPath()).isNull()) {
        Trace("mouse: the default profile cannot be read");
        return;
    }
    m_keyList = m_profile.ReadKeyList();
    ApplyLightState();
    m_stages = m_profile.ReadDpiStages();
    m_activeStage = std::clamp(m_profile.GetActiveDpiStage(), 0, kMouseStageCount - 1);
    m_system = m_profile.ReadMouseSystem();
    SaveDeviceProfile();
    RefreshView();
    // What the page now shows is what the mouse must do: the record, then the
    // buttons, both on the worker so that their sessions never interleave.
    SendSettings(0, 0, 1, m_screen);
    MacroWriteRequest request = PrepareMacroWrite(MacroWriteMode::KeysOnly, 0);
    request.plan.keys = m_keyList;
    Driver().RunTransfer([this, request = std::move(request)](const StopEvent&) -> std::function<void()> {
        MacroWriteOutcome outcome = RunMacroWrite(Driver().CommandTransport(), request);
        return [this, outcome = std::move(outcome)] { FinishMacroWrite(outcome); };
    });
}

// ---- Page state ----

void CTolvanicMouseDevice::RefreshView() {
    ReloadPanels();
    if (LightPanelLink* panel = Presenter().LightPanel()) {
        panel->ShowDeviceLighting();
    }
    ShowStages();
    const int rate = m_system.reportStage < kMouseReportRates ? m_system.reportStage : 0;
    if (auto* option = ui::As<ui::SelectableControl>(PageControl(Numbered("polling_rate_option_", rate)))) {
        option->SetSelected(true, false);
    }
}

void CTolvanicMouseDevice::ShowStages() {
    for (int n = 0; n < kMouseStageCount; ++n) {
        ShowStage(n);
    }
    // The last enabled stage cannot be switched off.
    const int enabled =
        int(std::count_if(m_stages.begin(), m_stages.begin() + std::min<size_t>(m_stages.size(), 5),
                          [](const DpiStage& s) { return s.active != 0; }));
    for (int n = 0; n < kMouseStageCount && size_t(n) < m_stages.size(); ++n) {
        if (ui::Control* check = PageControl(Numbered("DPI_enable_check_", n))) {
            const bool lastOne = enabled == 1 && m_stages[size_t(n)].active != 0;
            check->SetEnabled(n != m_activeStage && !lastOne);
        }
    }
}

void CTolvanicMouseDevice::ShowStage(int n) {
    const bool present = size_t(n) < m_stages.size();
    const DpiStage stage = present ? m_stages[size_t(n)] : DpiStage{};
    const bool active = n == m_activeStage;
    if (ui::Control* layout = PageControl(Numbered("DPI_layout_", n))) {
        layout->SetEnabled(present && stage.active != 0);
    }
    if (auto* check = ui::As<ui::SelectableControl>(PageControl(Numbered("DPI_enable_check_", n)))) {
        check->SetSelected(stage.active != 0, false);
    }
    if (auto* select = ui::As<ui::SelectableControl>(PageControl(Numbered("DPI_select_check_", n)))) {
        select->SetSelected(active, false);
    }
    if (auto* slider = ui::As<ui::RangeControl>(PageControl(Numbered("DPI_slider_", n)))) {
        slider->SetValue(stage.dpiX);
    }
    if (ui::Control* edit = PageControl(Numbered("DPI_edit_", n))) {
        edit->SetText(std::to_string(DpiOfStep(m_limits, stage.dpiX)));
    }
    if (ui::Control* swatch = PageControl(Numbered("DPI_color_option_", n))) {
        swatch->SetBackgroundColour(0xFF000000u | uint32_t(stage.red) << 16 | uint32_t(stage.green) << 8 |
                                    stage.blue);
    }
}

// ---- Stage actions ----

DpiStage& CTolvanicMouseDevice::StageAt(int stage) {
    if (size_t(stage) >= m_stages.size()) {
        m_stages.resize(size_t(stage) + 1); // a control of a stage the profile lacks adds it
    }
    return m_stages[size_t(stage)];
}

int CTolvanicMouseDevice::CommitStages(bool save) {
    m_profile.WriteDpiStages(m_stages);
    m_profile.WriteActiveDpiStage(m_activeStage);
    if (save) {
        SaveDeviceProfile();
    }
    return SendSettings(0, 0, 1, m_screen);
}

int CTolvanicMouseDevice::SetActiveDpiStage(int stage) {
    if (!IsStage(stage)) {
        return kResultNoReply;
    }
    m_activeStage = stage;
    for (int n = 0; n < kMouseStageCount; ++n) {
        if (auto* slider = ui::As<ui::RangeControl>(PageControl(Numbered("DPI_slider_", n)))) {
            StageAt(n).dpiX = uint16_t(std::clamp(slider->Value(), 0, int(m_limits.highestStep)));
        }
    }
    ShowStages();
    return CommitStages();
}

int CTolvanicMouseDevice::SetStageEnabled(int stage, bool on) {
    if (!IsStage(stage)) {
        return kResultNoReply;
    }
    StageAt(stage).active = on ? 1 : 0;
    ShowStages();
    return CommitStages();
}

int CTolvanicMouseDevice::SetStageStep(int stage, int step, bool dragging) {
    if (!IsStage(stage)) {
        return kResultNoReply;
    }
    const int highest = m_limits.highestStep > 0 ? m_limits.highestStep : 0xFFFF;
    StageAt(stage).dpiX = uint16_t(std::clamp(step, 0, highest));
    ShowStage(stage);
    if (!dragging) {
        m_dragWritten = false;
        return CommitStages(true);
    }
    // While the thumb moves: the latest value, at most every kDragWriteGapMs,
    // nothing queued; the release writes and saves.
    const uint32_t now = Services().clock.NowMs();
    if (m_dragWritten && now - m_lastDragWriteMs < kDragWriteGapMs) {
        return kResultOk;
    }
    m_dragWritten = true;
    m_lastDragWriteMs = now;
    return CommitStages(false);
}

int CTolvanicMouseDevice::SetStageDpiText(int stage, std::string_view text) {
    return SetStageStep(stage, StepOfDpiText(m_limits, text));
}

int CTolvanicMouseDevice::SetStageColour(int stage, uint32_t rgb) {
    if (!IsStage(stage)) {
        return kResultNoReply;
    }
    DpiStage& target = StageAt(stage);
    target.red = uint8_t(rgb >> 16);
    target.green = uint8_t(rgb >> 8);
    target.blue = uint8_t(rgb);
    ShowStage(stage);
    return CommitStages();
}

int CTolvanicMouseDevice::SelectPollingRate(int n) {
    n = n >= 0 && n < kMouseReportRates ? n : 0;
    if (auto* option = ui::As<ui::SelectableControl>(PageControl(Numbered("polling_rate_option_", n)))) {
        option->SetSelected(true, false);
    }
    m_system.reportStage = uint16_t(n);
    m_profile.WriteMouseSystem(m_system);
    SaveDeviceProfile();
    return SendSettings(0, 0, 1, m_screen);
}

void CTolvanicMouseDevice::StoreMouseSystem(const MouseSystemRecord& record) {
    m_system = record;
    m_profile.WriteMouseSystem(m_system);
    SaveDeviceProfile();
}

} // namespace velkor
