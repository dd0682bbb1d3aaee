#pragma once
// RecordingController: the program's one input hook and whom it serves.
//
// A key assignment panel's capture (message 1054, hook mode 1) gives the
// captured keys to that panel. A macro recording (hook modes 4, 8, 16, 32)
// gives keys and buttons to the macro panel of the selected device when that
// is a keyboard or a mouse, and keeps the device list and the recording
// page's profile bar disabled until it stops. A recording takes the hook over
// from a capture; a capture neither takes nor stops a recording's hook. The
// first recording of a run that has only the window's own input shows a
// notice. The key panels' pending key changes are kept here too.
//
// The hook's sources are the desktop's input (when given), then the window's
// input tap. After Shutdown nothing starts the hook. User-interface thread only.
#include "app/CDeviceHook.h"
#include "macros/MacroRecorder.h"
#include "ui/Prompts.h"
#include "ui/Toolkit.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace velkor {

class CMacroControlUI;
class CTolvanicUSBDevice;
class DeviceListController;
class DevicePanelSet;

class RecordingController final : public HookReceiver {
public:
    // Shown once per run when recording has to make do with the window's own input.
    static constexpr std::string_view kWindowOnlyRecordingNotice = "hook_window_only_notice";
    // Key capture of a key assignment panel: wParam 1 starts the input hook in
    // mode 1 (keys and buttons), 0 stops it.
    static constexpr uint32_t kMessageKeyCapture = 1054;

    using Listener = std::function<void(HookReport, const ui::InputPress&)>;

    struct Setup {
        // Opens the macro panels' event-row menu at the pointer.
        ui::Toolkit& toolkit;
        // Its input tap feeds the hook.
        ui::Window& window;
        // Where the notice is shown.
        ui::UserPrompts& prompts;
        // Disabled while a recording runs.
        DeviceListController& deviceList;
        // The device the window shows, or null.
        std::function<CTolvanicUSBDevice*()> selectedDevice;
        // The desktop's input, tried before the window's own; may be null.
        HookInputSource* globalInput = nullptr;
    };

    // Everything the setup names must outlive the controller.
    explicit RecordingController(Setup setup);
    // Stops the hook before the window tap it may use goes.
    ~RecordingController() override;
    RecordingController(const RecordingController&) = delete;
    RecordingController& operator=(const RecordingController&) = delete;

    // Ties a device page's key assignment and macro panels to the hook; call
    // before the set is attached. The set must stay until Shutdown.
    void LinkPanels(DevicePanelSet& panels);

    // Starts the input hook (CDeviceHook::Start with this controller as
    // target); 0 when it could not start or after Shutdown. A recording mode
    // whose keys come from the window's own input shows
    // kWindowOnlyRecordingNotice, the first time in the run.
    int StartInputHook(int mode, bool keys, bool buttons);
    // 1 when a hook serving keys was stopped, else 0.
    int StopInputHook() { return m_hook.Stop(); }
    const CDeviceHook& InputHook() const { return m_hook; }
    // Message 1054: wParam 1 starts the hook in mode 1, 0 stops it, others do nothing.
    void KeyCaptureMessage(int64_t wParam);

    // A recording into the macro panel of `panels`: the panel records (delay
    // mode, hook mode 4, 8, 16 or 32), the input hook starts, the device list
    // and the profile bar are disabled, and saving in the key panel is
    // enabled. When the hook cannot start the panel still shows the recording,
    // and StopRecording restores it. Nothing while a recording runs.
    void StartRecording(DevicePanelSet& panels, RecordDelayMode delayMode, int hookMode);
    // Ends the running recording as the stop button does: editing back on,
    // the hook stopped, the device list and profile bar enabled, the rows
    // saved, and saving in the key panel enabled. Nothing when none runs.
    void StopRecording();
    bool IsRecording() const { return m_recordingPanels != nullptr; }

    // A key assignment panel has saved key changes that were not written to the device yet.
    bool KeyChangesPending() const { return m_keyChangesPending; }
    // Where every report goes besides (tests, macro recording); may be empty.
    void SetHookListener(Listener listener) { m_listener = std::move(listener); }

    // Ends a running recording (its rows saved), stops the hook and forgets
    // every panel set; from here nothing starts the hook. Idempotent.
    void Shutdown();

    // Reports while capturing (mode 1) go to the key panel that asked for the
    // capture; recording reports to the macro panel of the selected device
    // when it is a keyboard or a mouse, else nowhere.
    void HookReported(HookReport report, const ui::InputPress& press) override;

private:
    // A key panel's capture started (true) or ended.
    void KeyCaptureChanged(DevicePanelSet* panels, bool on);
    // The macro panel recording reports go to, or null.
    CMacroControlUI* RecordingTarget() const;
    bool Linked(const DevicePanelSet* panels) const;

    Setup m_setup;
    // The panel sets linked so far (until Shutdown).
    std::vector<DevicePanelSet*> m_linked;
    // The panel set whose key capture runs, or null.
    DevicePanelSet* m_capturePanels = nullptr;
    // The panel set whose macro panel records, or null.
    DevicePanelSet* m_recordingPanels = nullptr;
    bool m_keyChangesPending = false;
    bool m_windowOnlyNoticeShown = false;
    bool m_shutDown = false;
    Listener m_listener;
    // The hook is declared last, so it ends before the window tap it may use.
    WindowTapSource m_tapSource;
    CDeviceHook m_hook;
};

} // namespace velkor
