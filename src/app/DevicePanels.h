#pragma once
// The panels of one device page as the main window keeps them: the profile
// bar and the macro panel with their routers, and the lighting panel (whose
// controls the main window's lighting handles), attached to the containers
// the page was filled with. It carries out what the main window does around them:
// the start sequence of the profile bar, and after a profile selection,
// delete or reset the device's reload, settings, macros and keys.
#include "devices/MacroWrites.h"
#include "headset/HeadsetPanelRouter.h"
#include "headset/HeadsetPanels.h"
#include "keys/CKeySetControlUI.h"
#include "keys/KeySetPanelRouter.h"
#include "lighting/CLightControlUI.h"
#include "lighting/LightCommit.h"
#include "macros/CMacroControlUI.h"
#include "macros/CShootControlUI.h"
#include "macros/MacroPanelRouter.h"
#include "macros/ShootPanelRouter.h"
#include "profiles/CDeviceProfileUI.h"
#include "profiles/ProfileBarRouter.h"
#include "ui/Geometry.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velkor {

class CTolvanicUSBDevice;
class KeyboardOptionsRouter;
class MouseOptionsRouter;
class DesktopPointerSettings;
class LightPanelAdapter;
namespace ui {
class Control;
class TextProvider;
class UserPrompts;
struct Notification;
} // namespace ui

class DevicePanelSet final : public ProfileBarOwner {
public:
    // Everything given must outlive the set. `screen` is passed to the
    // devices when they send their settings; the lighting panel is registered
    // with `lightPanels` (may be null) for as long as the set lives.
    // `pointer` (may be null) is the desktop's pointer settings a mouse page shows and changes.
    DevicePanelSet(CTolvanicUSBDevice& device, ui::UserPrompts& prompts, const ui::TextProvider* texts,
                   ui::Rect screen, LightPanels* lightPanels, DesktopPointerSettings* pointer = nullptr);
    ~DevicePanelSet() override;
    DevicePanelSet(const DevicePanelSet&) = delete;
    DevicePanelSet& operator=(const DevicePanelSet&) = delete;

    // What the key assignment panel tells the main window: whether key
    // changes are pending, and when key capture starts and ends. Set before Attach.
    struct KeyPanelLinks {
        std::function<void(bool pending)> pendingChanged;
        std::function<void(bool on)> captureChanged;
    };
    void SetKeyPanelLinks(KeyPanelLinks links) { m_keyLinks = std::move(links); }

    // What the macro panel asks of the main window: recording runs on the
    // window's input hook, and the event-row menu opens through its toolkit.
    // Set before Attach; empty members leave the feature out.
    struct RecordingLinks {
        std::function<void(DevicePanelSet& panels, RecordDelayMode delayMode, int hookMode)> start;
        std::function<void(DevicePanelSet& panels)> stop;
        std::function<std::unique_ptr<ui::Menu>(std::string_view layout, ui::MenuReceiver& receiver)>
            openMenu;
    };
    void SetRecordingLinks(RecordingLinks links) { m_recordingLinks = std::move(links); }
    // Enables saving in the key assignment panel, which marks key changes as pending.
    void EnableKeySaving();
    MacroPanelRouter* MacroRouter() const { return m_macroRouter.get(); }

    // Whether this set's device is the one the window shows; the panels of a
    // device that is not act on nothing. Unset: it always is. Set before Attach.
    void SetSelectedQuery(std::function<bool()> selected) { m_selected = std::move(selected); }
    // Run when the profile bar resets a profile (the audio styles reset with it). Set before Attach.
    void SetProfileResetHook(std::function<void()> hook) { m_profileReset = std::move(hook); }
    bool IsSelected() const { return !m_selected || m_selected(); }

    // Attaches a panel to every filled container of the page and starts the
    // profile bar: kind, folders, list, tab 1; the device takes the selected
    // profile's identifier. Panels whose container is missing or empty are left out.
    void Attach(ui::Control& page);

    // Gives a notification to the panel it belongs to; true when one took it.
    bool Route(const ui::Notification& notification);

    CTolvanicUSBDevice& Device() const { return m_device; }
    CDeviceProfileUI* ProfileBar() const { return m_profileBar.get(); }
    CMacroControlUI* MacroPanel() const { return m_macroPanel.get(); }
    CLightControlUI* LightPanel() const { return m_lightPanel.get(); }
    CKeySetControlUI* KeyPanel() const { return m_keyPanel.get(); }
    KeySetPanelRouter* KeyRouter() const { return m_keyRouter.get(); }
    CVoice6533ControlUI* VoicePanel() const { return m_voicePanel.get(); }
    CMagicControlUI* MagicPanel() const { return m_magicPanel.get(); }
    CShootControlUI* ShootPanel() const { return m_shootPanel.get(); }
    // Key `key` chosen on the key tab: the panel shows its entry. A mouse's
    // last key with the left-button function is refused ("message_text_6").
    // False when the key was not opened.
    bool OpenKey(int key);
    // The key the panel edits, or -1.
    int ChosenKey() const { return m_chosenKey; }
    // The device reads its name lists again and the lighting panel shows them.
    void ReloadPanels();

    // The device's macros and key table (KeyWriter::WriteMacrosAndKeys) on
    // its transfer worker, never on this thread. Until the result arrives the
    // page's write controls are disabled and its progress bar (when the page
    // has one) shows frames sent of frames planned. Then the result is shown
    // (ReportMacroWriteResult); with `saveProfile` the profile file is saved
    // unless the block was refused; `done` hears the result (0, -1 or n > 0).
    // A device without a key table gives 0 at once. False when no write
    // could start (`done` is not called then).
    bool WriteMacrosAndKeys(bool saveProfile, std::function<void(int result)> done = {});
    // A write started here has not reported yet.
    bool Writing() const { return m_pendingWrites > 0; }
    struct WriteProgress {
        size_t sent = 0;
        size_t planned = 0;
    };
    WriteProgress LastWriteProgress() const { return m_progress; }
    // Names of the controls disabled while a write runs, and of the progress bar.
    static constexpr std::string_view kWriteControls[] = {"device_profile_combo", "device_reset_btn",
                                                          "macro_btn_name_sub", "key_butt_prosave",
                                                          "key_butt_keydefalut"};
    static constexpr std::string_view kWriteProgressBar = "macro_write_progress";

    // The profile `identifier` becomes the device's: loaded, shown, its
    // settings record queued (the result of SendSettings is returned: 1
    // queued) and its macros and key table written (WriteMacrosAndKeys; the
    // profile file is not saved again). `keysDone` hears that write's result
    // on this thread, -1 when it could not start.
    int ApplyProfile(const std::string& identifier, std::function<void(int result)> keysDone);

    // ProfileBarOwner
    void ProfileSelected(const std::string& identifier) override { ApplyProfile(identifier, {}); }
    void OptionTabChosen(int type) override;
    void ProfileReset() override {
        if (m_profileReset) {
            m_profileReset();
        }
    }

private:
    void AttachMacroPanel(ui::Control& container);
    void AttachKeyPanel(ui::Control& container);
    // The headset's audio and voice-changer panels, shown from its view.
    void AttachHeadset(ui::Control& page);
    // A keyboard's own controls, its lighting panel link and its profile list reload.
    void AttachKeyboard();
    // A mouse's own controls, the screen size its settings carry and its recoil panel.
    void AttachMouse(ui::Control& page);
    // The pointer controls show the desktop's values; those it does not offer are disabled.
    void ShowDesktopPointer();
    void ApplyDesktopPointer(std::string_view control, int value);
    // The selected profile's key list, and writing a new one into its file.
    std::vector<KeyListEntry> SelectedProfileKeys() const;
    bool StoreSelectedProfileKeys(const std::vector<KeyListEntry>& keys) const;
    std::vector<std::string> ProfilePaths() const;
    void ShowWriting(bool writing);
    void ShowProgress(size_t sent, size_t planned);
    void TakeWriteResult(const MacroWriteOutcome& outcome, bool saveProfile,
                         const std::function<void(int)>& done);

    CTolvanicUSBDevice& m_device;
    ui::UserPrompts& m_prompts;
    const ui::TextProvider* m_texts;
    ui::Rect m_screen;
    LightPanels* m_lightPanels;
    DesktopPointerSettings* m_pointer;
    std::unique_ptr<CDeviceProfileUI> m_profileBar;
    std::unique_ptr<ProfileBarRouter> m_profileRouter;
    std::unique_ptr<CMacroControlUI> m_macroPanel;
    std::unique_ptr<MacroPanelRouter> m_macroRouter;
    std::unique_ptr<CLightControlUI> m_lightPanel;
    std::unique_ptr<CKeySetControlUI> m_keyPanel;
    std::unique_ptr<KeySetPanelRouter> m_keyRouter;
    std::unique_ptr<CVoice6533ControlUI> m_voicePanel;
    std::unique_ptr<CMagicControlUI> m_magicPanel;
    std::unique_ptr<HeadsetPanelRouter> m_headsetRouter;
    std::unique_ptr<CShootControlUI> m_shootPanel;
    std::unique_ptr<ShootPanelRouter> m_shootRouter;
    KeyPanelLinks m_keyLinks;
    RecordingLinks m_recordingLinks;
    std::function<bool()> m_selected;
    std::function<void()> m_profileReset;
    int m_chosenKey = -1;
    std::unique_ptr<LightPanelAdapter> m_lightLink;
    std::unique_ptr<KeyboardOptionsRouter> m_keyboardRouter;
    std::unique_ptr<MouseOptionsRouter> m_mouseRouter;
    int m_pendingWrites = 0;
    WriteProgress m_progress;
    std::vector<ui::Control*> m_disabledForWrite;
    // Work the device posts back checks it first: the set may be gone by then.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

// The control of `page` that a panel layout filled `containerName` with, or null.
ui::Control* FilledPanel(ui::Control& page, std::string_view containerName);

} // namespace velkor
