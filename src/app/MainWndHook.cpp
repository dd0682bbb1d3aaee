// The main window's side of the input hook: key capture for the key
// assignment panels, macro recording, and the notice when recording sees
// only this window.
#include "app/CMainWnd.h"

#include "devices/TolvanicUSBDevice.h"
#include "keys/EvdevKeys.h"
#include "keys/KeySetPanelRouter.h"
#include "platform/Trace.h"

namespace velkor {

namespace {

// The macro panel that takes recording reports: the selected device's, when it is a keyboard or a mouse.
CMacroControlUI* RecordingTarget(DeviceDiscovery* discovery, CMainWnd& window) {
    CTolvanicUSBDevice* device = discovery != nullptr ? discovery->SelectedDevice() : nullptr;
    if (device == nullptr || (device->State().KindTag() != DeviceClass::Keyboard &&
                              device->State().KindTag() != DeviceClass::Mouse)) {
        return nullptr;
    }
    DevicePanelSet* panels = window.PanelsOf(*device);
    return panels != nullptr ? panels->MacroPanel() : nullptr;
}

} // namespace

int CMainWnd::StartInputHook(int mode, bool keys, bool buttons) {
    if (m_shutDown) {
        return 0;
    }
    const int started = m_hook.Start(0, mode, this, keys, buttons);
    if (started == 0) {
        Trace("input hook: could not start");
        return 0;
    }
    if (IsRecordingMode(mode) && m_hook.KeySource() == HookSourceKind::Window && !m_windowOnlyNoticeShown &&
        m_prompts) {
        m_windowOnlyNoticeShown = true;
        m_prompts->ShowMessageKey(kWindowOnlyRecordingNotice, MsgButtons::Notice);
    }
    return started;
}

void CMainWnd::KeyCaptureChanged(DevicePanelSet* panels, bool on) {
    if (m_recordingPanels != nullptr) {
        return; // one hook: while recording, a capture neither takes it nor stops it
    }
    if (on) {
        m_capturePanels = panels;
    } else if (m_capturePanels != panels) {
        return; // another panel's capture runs meanwhile
    }
    DeviceMessage(kMessageKeyCapture, on ? 1 : 0, 0);
    if (!on) {
        m_capturePanels = nullptr;
    }
}

void CMainWnd::StartRecording(DevicePanelSet& panels, RecordDelayMode delayMode, int hookMode) {
    const std::optional<RecordPlacement> placement = RecordPlacementOfMode(hookMode);
    CMacroControlUI* panel = panels.MacroPanel();
    if (m_shutDown || m_recordingPanels != nullptr || panel == nullptr || !placement) {
        return;
    }
    m_recordingPanels = &panels;
    m_capturePanels = nullptr; // the recording takes the hook over from a capture
    panel->SetRecordState(delayMode, *placement);
    StartInputHook(hookMode, true, true);
    if (m_deviceList != nullptr) {
        m_deviceList->SetEnabled(false);
    }
    if (panels.ProfileBar() != nullptr) {
        panels.ProfileBar()->Bar().SetEnabled(false);
    }
    panels.EnableKeySaving();
}

void CMainWnd::StopRecording() {
    DevicePanelSet* panels = m_recordingPanels;
    if (panels == nullptr) {
        return;
    }
    m_recordingPanels = nullptr;
    m_hook.Stop();
    if (m_deviceList != nullptr) {
        m_deviceList->SetEnabled(true);
    }
    if (panels->ProfileBar() != nullptr) {
        panels->ProfileBar()->Bar().SetEnabled(true);
    }
    if (CMacroControlUI* panel = panels->MacroPanel(); panel != nullptr && !panel->EndRecording()) {
        Trace("recording: the recorded macro could not be saved");
    }
    panels->EnableKeySaving();
}

void CMainWnd::HookReported(HookReport report, const ui::InputPress& press) {
    if (m_hookListener) {
        m_hookListener(report, press);
    }
    if (report == HookReport::KeyMsMacro) {
        Trace("WM_HOOK_KEY_MSMACRO");
    }
    if (IsRecordingReport(report)) {
        if (CMacroControlUI* panel = RecordingTarget(m_discovery.get(), *this)) {
            panel->TakeRecordedPress(press);
        }
        return;
    }
    if (report != HookReport::KeySingleKey || press.kind != ui::InputPress::Kind::Key ||
        m_capturePanels == nullptr) {
        return;
    }
    // The panel set may have gone since the capture started.
    bool present = false;
    for (const auto& panels : m_panels) {
        present = present || panels.get() == m_capturePanels;
    }
    KeySetPanelRouter* router = present ? m_capturePanels->KeyRouter() : nullptr;
    const std::optional<ScanCode> scan = ScanCodeFromEvdev(press.code);
    if (router != nullptr && scan) {
        router->TakeCapturedKey(*scan, press.down);
    }
}

} // namespace velkor
