// The main window's side of the input hook: key capture for the key
// assignment panels and the notice when recording sees only this window.
#include "app/CMainWnd.h"

#include "keys/EvdevKeys.h"
#include "keys/KeySetPanelRouter.h"
#include "platform/Trace.h"

namespace velkor {

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

void CMainWnd::HookReported(HookReport report, const ui::InputPress& press) {
    if (m_hookListener) {
        m_hookListener(report, press);
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
