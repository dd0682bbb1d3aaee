#include "app/RecordingController.h"

#include "app/DeviceListController.h"
#include "app/DevicePanels.h"
#include "devices/TolvanicUSBDevice.h"
#include "keys/EvdevKeys.h"
#include "keys/KeySetPanelRouter.h"
#include "platform/Trace.h"

#include <algorithm>

namespace velkor {

RecordingController::RecordingController(Setup setup)
    : m_setup(std::move(setup)), m_tapSource(m_setup.window) {
    if (m_setup.globalInput != nullptr) {
        m_hook.SetSources({m_setup.globalInput, &m_tapSource});
    } else {
        m_hook.SetSources({&m_tapSource});
    }
}

RecordingController::~RecordingController() {
    m_hook.Stop();
}

void RecordingController::LinkPanels(DevicePanelSet& panels) {
    DevicePanelSet::KeyPanelLinks links;
    links.pendingChanged = [this](bool pending) { m_keyChangesPending = pending; };
    links.captureChanged = [this, set = &panels](bool on) { KeyCaptureChanged(set, on); };
    panels.SetKeyPanelLinks(std::move(links));
    DevicePanelSet::RecordingLinks recording;
    recording.start = [this](DevicePanelSet& set, RecordDelayMode delayMode, int hookMode) {
        StartRecording(set, delayMode, hookMode);
    };
    recording.stop = [this](DevicePanelSet& set) {
        if (m_recordingPanels == &set) {
            StopRecording();
        }
    };
    recording.openMenu = [this](std::string_view layout, ui::MenuReceiver& receiver) {
        ui::Toolkit& toolkit = m_setup.toolkit;
        std::string error;
        std::unique_ptr<ui::Menu> menu = toolkit.OpenMenu(layout, toolkit.CursorPosition(), receiver, &error);
        if (!menu) {
            TraceF("the event-row menu cannot open: %s", error.c_str());
        }
        return menu;
    };
    panels.SetRecordingLinks(std::move(recording));
    m_linked.push_back(&panels);
}

int RecordingController::StartInputHook(int mode, bool keys, bool buttons) {
    if (m_shutDown) {
        return 0;
    }
    const int started = m_hook.Start(0, mode, this, keys, buttons);
    if (started == 0) {
        Trace("input hook: could not start");
        return 0;
    }
    if (IsRecordingMode(mode) && m_hook.KeySource() == HookSourceKind::Window && !m_windowOnlyNoticeShown) {
        m_windowOnlyNoticeShown = true;
        m_setup.prompts.ShowMessageKey(kWindowOnlyRecordingNotice, MsgButtons::Notice);
    }
    return started;
}

void RecordingController::KeyCaptureMessage(int64_t wParam) {
    if (wParam == 1) {
        StartInputHook(1, true, true);
    } else if (wParam == 0) {
        m_hook.Stop();
    }
}

void RecordingController::KeyCaptureChanged(DevicePanelSet* panels, bool on) {
    if (m_shutDown || m_recordingPanels != nullptr) {
        return; // one hook: while recording, a capture neither takes it nor stops it
    }
    if (on) {
        m_capturePanels = panels;
    } else if (m_capturePanels != panels) {
        return; // another panel's capture runs meanwhile
    }
    KeyCaptureMessage(on ? 1 : 0);
    if (!on) {
        m_capturePanels = nullptr;
    }
}

void RecordingController::StartRecording(DevicePanelSet& panels, RecordDelayMode delayMode, int hookMode) {
    const std::optional<RecordPlacement> placement = RecordPlacementOfMode(hookMode);
    CMacroControlUI* panel = panels.MacroPanel();
    if (m_shutDown || m_recordingPanels != nullptr || panel == nullptr || !placement) {
        return;
    }
    m_recordingPanels = &panels;
    m_capturePanels = nullptr; // the recording takes the hook over from a capture
    panel->SetRecordState(delayMode, *placement);
    StartInputHook(hookMode, true, true);
    m_setup.deviceList.SetEnabled(false);
    if (panels.ProfileBar() != nullptr) {
        panels.ProfileBar()->Bar().SetEnabled(false);
    }
    panels.EnableKeySaving();
}

void RecordingController::StopRecording() {
    DevicePanelSet* panels = m_recordingPanels;
    if (panels == nullptr) {
        return;
    }
    m_recordingPanels = nullptr;
    m_hook.Stop();
    m_setup.deviceList.SetEnabled(true);
    if (panels->ProfileBar() != nullptr) {
        panels->ProfileBar()->Bar().SetEnabled(true);
    }
    if (CMacroControlUI* panel = panels->MacroPanel(); panel != nullptr && !panel->EndRecording()) {
        Trace("recording: the recorded macro could not be saved");
    }
    panels->EnableKeySaving();
}

void RecordingController::Shutdown() {
    StopRecording(); // as the stop button: the recorded rows are saved
    m_shutDown = true;
    m_hook.Stop();
    m_capturePanels = nullptr;
    m_linked.clear();
}

bool RecordingController::Linked(const DevicePanelSet* panels) const {
    return std::find(m_linked.begin(), m_linked.end(), panels) != m_linked.end();
}

CMacroControlUI* RecordingController::RecordingTarget() const {
    CTolvanicUSBDevice* device = m_setup.selectedDevice ? m_setup.selectedDevice() : nullptr;
    if (device == nullptr || (device->State().KindTag() != DeviceClass::Keyboard &&
                              device->State().KindTag() != DeviceClass::Mouse)) {
        return nullptr;
    }
    for (DevicePanelSet* panels : m_linked) {
        if (&panels->Device() == device) {
            return panels->MacroPanel();
        }
    }
    return nullptr;
}

void RecordingController::HookReported(HookReport report, const ui::InputPress& press) {
    if (m_listener) {
        m_listener(report, press);
    }
    if (report == HookReport::KeyMsMacro) {
        Trace("WM_HOOK_KEY_MSMACRO");
    }
    if (IsRecordingReport(report)) {
        if (CMacroControlUI* panel = RecordingTarget()) {
            panel->TakeRecordedPress(press);
        }
        return;
    }
    if (report != HookReport::KeySingleKey || press.kind != ui::InputPress::Kind::Key ||
        m_capturePanels == nullptr) {
        return;
    }
    // The panel set may have gone since the capture started.
    KeySetPanelRouter* router = Linked(m_capturePanels) ? m_capturePanels->KeyRouter() : nullptr;
    const std::optional<ScanCode> scan = ScanCodeFromEvdev(press.code);
    if (router != nullptr && scan) {
        router->TakeCapturedKey(*scan, press.down);
    }
}

} // namespace velkor
