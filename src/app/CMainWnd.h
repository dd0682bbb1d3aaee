#pragma once
// CMainWnd: the program's one top-level window (window class "MainWnd",
// layout "XML_MAIN", title "VELKOR01", 800 x 572, centred) and its
// switchboard for notifications and for the messages of other programs.
//
// It builds the window with the control factory's classes, finds the title
// buttons and the named containers of the layout, and at window start
// ("windowinit") creates the device discovery with the hidden mouse and
// keyboard and starts the scan thread on thread slot 0. It routes the scan
// thread's attach and detach, the devices' messages and the device list's
// controls to the discovery, and takes the messages other programs send (the
// announce brings it to the front). Closing the window hides it in the
// notification area; the icon's menu item "exit" shuts everything down and
// ends the loop. Every operation runs on the user-interface thread.
#include "app/AudioToolLink.h"
#include "app/AudioToolStarter.h"
#include "app/CDeviceHook.h"
#include "app/CSkinFrame.h"
#include "app/ControlFactory.h"
#include "app/DevicePanels.h"
#include "app/MainWndAudio.h"
#include "app/MainWndLighting.h"
#include "app/ThreadSlots.h"
#include "app/WindowPrompts.h"
#include "devices/DeviceDiscovery.h"
#include "devices/DeviceModels.h"
#include "devices/DeviceScanner.h"
#include "lighting/AudioFrames.h"
#include "platform/bus/BusMessage.h"
#include "profiles/LanguageTexts.h"
#include "transport/HidBackend.h"
#include "ui/Toolkit.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor {

class DesktopPointerSettings;

struct MainWndServices {
    ui::Toolkit& toolkit;
    const ControlFactory& factory;
    // The devices' back end (the hidraw nodes or the simulator); may be null.
    HidBackend* devices = nullptr;
    // The devices' clock; null uses the system's monotonic clock.
    const TickClock* clock = nullptr;
    // Where "DefaultData/" lies, and the per-user data home (DeviceFolders).
    std::string programFolder;
    std::string dataHome;
    // Broadcasts a message of this program to the others (the lighting
    // ownership); may be empty (no bus). False when it could not be sent.
    std::function<bool(const BusMessage&)> broadcast;
    // Watches a bus name (the audio capture tool's); may be empty (no bus):
    // the tool then only counts as present once it links.
    AudioToolLink::WatchName watchName;
    // Starts the capture tool while a keyboard shows an audio effect and the
    // tool is not there, and stops it 10 s after none does; null: nobody
    // starts the tool (it may still be started by hand).
    AudioToolStarter* audioToolStarter = nullptr;
    // Runs the settings window modally, owned by `owner`, at `placement` with
    // the interface DPI given, and returns when it has closed. Empty: the
    // program has no settings window; "setbtn" is then hidden.
    std::function<void(ui::Window& owner, const ui::Rect& placement, int dpi)> runSettingsWindow;
    // Hands an installer report (report, value) to the open settings window; may be empty.
    std::function<void(int32_t report, int32_t value)> installerReport;
    // The language texts the panels show (may be null: keys show as they are).
    const ui::TextProvider* texts = nullptr;
    // Index of the user-interface language the window starts in (ApplyLanguage
    // at Create); the keyboards pick their on-screen layout by the current one.
    int languageIndex = 0;
    // Where ApplyLanguage loads a language's texts: null, the window applies no
    // language (the texts are someone else's affair) and its current index is
    // languageIndex.
    LanguageTexts* languageTexts = nullptr;
    // The folder of the language files (the skin folder).
    std::string skinFolder;
    // The settings file that stores the choice; empty: it is not stored.
    std::string settingsPath;
    // The family of the program's Simplified Chinese face; empty when it is not loaded.
    std::string simplifiedChineseFace;
    // The open settings window (null when none) and how it is told of a
    // language change (it shows its texts again); both may be empty.
    std::function<ui::Window*()> settingsWindow;
    std::function<void()> settingsLanguageChanged;
    // The desktop's pointer settings for the mouse page; may be null.
    DesktopPointerSettings* pointerSettings = nullptr;
    // Start hidden in the notification area (velkor --background); shown all
    // the same when the desktop has none.
    bool startHidden = false;
    // velkor --page: the first device of this class kind to select once it
    // is listed (0: none), and the option tab then chosen (0: none).
    DeviceClass startPageKind = DeviceClass::None;
    int startPageTab = 0;
    // The headset's audio plugin; empty: the headset has no audio features.
    std::string audioPlugin;
    // The input hook's source for the whole desktop, tried before the window's
    // own input; null: the hook sees only what reaches the window.
    HookInputSource* globalInput = nullptr;
};

// The interface scale for a work area: 144 when it is wider than 1500 and
// taller than 960, else 96.
int InterfaceDpiFor(const ui::Rect& workArea);

// Where the settings window (630 x 500 at 96 DPI, scaled by `dpi`) opens:
// beside the settings button, its right edge 30 and its top 60 (both scaled)
// inside the main window's right and top edges; otherwise centred on the screen.
ui::Rect SettingsWindowRect(const ui::Rect& mainWindow, const ui::Rect& screen, int dpi, bool besideButton);

class CMainWnd final : public ui::WindowHandler,
                       public DeviceScanListener,
                       public DeviceMessageSink,
                       public DeviceListObserver,
                       public ui::TrayReceiver,
                       public ui::MenuReceiver,
                       public SkinChangeReceiver,
                       public HookReceiver {
public:
    static constexpr std::string_view kClassName = "MainWnd";
    static constexpr std::string_view kLayout = "XML_MAIN";
    static constexpr std::string_view kTitle = "VELKOR01";
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 572;
    // The title-bar buttons the window looks up at initialisation.
    static constexpr std::array<std::string_view, 9> kTitleButtons = {
        "closebtn",    "maxbtn",   "restorebtn",   "minbtn", "skinbtn",
        "gamemodebtn", "cloudbtn", "smarteyesbtn", "setbtn"};
    // Named containers and labels of the layout.
    static constexpr std::string_view kDeviceList = "device_select_layout";
    static constexpr std::string_view kNoDeviceHint = "No_device_Link";
    // The notification-area icon and its menu.
    static constexpr std::string_view kTrayIcon = "common/tray.png";
    static constexpr std::string_view kMenuLayout = "menu.xml";
    static constexpr std::string_view kMenuShow = "show_menu";
    static constexpr std::string_view kMenuExit = "exit";
    // Timers of the root control.
    static constexpr int kTimerScale = 1011;
    static constexpr int kTimerScaleMs = 100;
    static constexpr int kTimerMenu = 1032;
    static constexpr int kTimerMenuMs = 10;
    // Re-arms itself and does nothing else.
    static constexpr int kTimerAudioTool = 1042;
    static constexpr int kTimerAudioToolMs = 1000;
    static constexpr int kAudioToolIdleTicks = 10; // stopped after 10 s without an audio effect
    static constexpr int kTimerIdle = 1031;
    static constexpr int kTimerIdleMs = 5000;
    // Messages of the program's own windows.
    static constexpr uint32_t kMessageLanguageChanged = 3089;
    static constexpr uint32_t kMessageOpenSettings = 3093;
    static constexpr std::string_view kMenuSettings = "setwnd_menu";
    // From the settings window: everything is up to date; "setbtn" loses its update badge.
    static constexpr uint32_t kMessageClearUpdateBadge = 3094;
    // Key capture of a key assignment panel: wParam 1 starts the input hook in
    // mode 1 (keys and buttons), 0 stops it.
    static constexpr uint32_t kMessageKeyCapture = 1054;
    // Shown once per run when recording has to make do with the window's own input.
    static constexpr std::string_view kWindowOnlyRecordingNotice = "hook_window_only_notice";
    // The label of the lighting-ownership toggle and its two texts.
    static constexpr std::string_view kLightStatusLabel = "control_light_status";
    static constexpr std::string_view kLightControlOn = "控制灯光";
    static constexpr std::string_view kLightControlOff = "不控制灯光";
    // The size the interface-scale step gives the window at 96 DPI.
    static constexpr int kScaledWidth = 1000;
    static constexpr int kScaledHeight = 640;

    // The services must outlive the window.
    explicit CMainWnd(const MainWndServices& services);
    ~CMainWnd() override;
    CMainWnd(const CMainWnd&) = delete;
    CMainWnd& operator=(const CMainWnd&) = delete;

    // Builds the window from its layout, gives it its title and size, centres
    // it on the screen, creates the notification-area icon and shows the
    // window. False with `error` set when the layout cannot be built; nothing
    // is shown then. The devices start with the window's "windowinit".
    bool Create(std::string* error = nullptr);

    // Null before Create succeeded.
    ui::Window* GetWindow() const { return m_window.get(); }
    ui::Control* TitleButton(std::string_view name) const;
    HidBackend* Devices() const { return m_services.devices; }
    // Null before window start, without a back end, or after shut-down.
    DeviceDiscovery* Discovery() const { return m_discovery.get(); }
    DeviceScanner* Scanner() const { return m_scanner.get(); }
    ui::TrayIcon* Tray() const { return m_tray.get(); }
    ui::Menu* OpenTrayMenu() const { return m_menu.get(); }
    bool IsShutDown() const { return m_shutDown; }
    // This program drives the devices' lighting (the lighting-ownership request changes it).
    bool LightControl() const { return m_lightControl; }

    // System suspend: the devices stop being driven, and attach and detach are
    // held back (the slots the scan thread claims stay claimed) until Resume,
    // which gives the devices the window's light-control flag again and then
    // handles the last held event of every slot. Both idempotent.
    void Suspend();
    void Resume();
    bool IsAwake() const { return m_awake; }

    // The link with the audio capture tool (the sliders and the style colour go through it).
    AudioToolLink& AudioTool() { return m_audioTool; }

    // A message another program sent. The announce brings the window to the front.
    void HandleBusMessage(const BusMessage& message);
    // Updates the "No_device_Link" hint, restores the window and raises and activates it.
    void BringWindowToFront();
    // True when an item of the device list "device_select_layout" is visible.
    bool AnyDeviceItemVisible() const;

    // Hides the window in the notification area (the close button, the frame's close).
    void HideToTray();
    // The icon's left click: hides a visible window, else shows it in front.
    void ToggleFromTray();
    // The interface-scale step (timer 1011).
    void ApplyInterfaceScale();
    // The menu's "exit": shuts down, then ends the loop. With the colour
    // palette open, it closes the palette and runs once the panel that asked is done.
    void Exit();
    // Stops the scan thread and every thread slot with bounded waits, shuts the
    // dispatcher down so that no thread waits on this window any more, then
    // lets the devices go. Idempotent; the destructor runs it too.
    void Shutdown();

    void Notify(const ui::Notification& notification) override;
    bool CloseRequested(ui::Window& window) override;
    // The device pictures animate while the window is active, or while the
    // pointer is over an inactive one.
    void ActiveChanged(ui::Window& window, bool active) override;
    void HoverChanged(ui::Window& window, bool inside) override;
    void ShownChanged(ui::Window& window) override;
    // A display change is noted; the scale step runs at the root's next "windowsize".
    void DisplayChanged(ui::Window& window) override;
    // Takes the suggested scale, re-centres the window and repaints it.
    void DpiChanged(ui::Window& window, int suggestedDpi) override;
    // The "control_light_status" click: flips the flag, tells the other
    // programs, shows the new state and gives every device the flag.
    void ToggleLightControl();
    // Opens the settings window (beside "setbtn", or centred for the menu
    // item and message 3093) and waits until it closes. Nothing happens while
    // one is open, or when the program has none.
    void OpenSettingsWindow(bool besideButton);
    bool SettingsWindowOpen() const { return m_settingsOpen; }
    // DeviceScanListener
    void DeviceAttached(int slot) override;
    void DeviceDetached(int slot) override;
    void ScanAnnounced() override;
    // DeviceMessageSink
    void DeviceMessage(uint32_t message, int64_t wParam, int64_t lParam) override;
    // DeviceListObserver
    void SelectedItemHiding() override;
    void VisibleItemsChanged(int visibleCount) override;
    void SelectionChanged() override;
    // Selects the requested start page (velkor --page) once its device is listed.
    void ShowStartPage();
    void DevicePageBuilt(CTolvanicUSBDevice& device, ui::Control& page) override;
    // Switches the user interface to entry `index` of the language table: the
    // entry and its language file are checked first, and on any failure
    // nothing changes (index, fonts, texts, stored choice) and a trace says
    // why. Then the font set when the script needs another face (main window
    // and open secondary windows), the current index, the texts, the stored
    // choice, a repaint, the secondary windows' texts, the keyboards' layouts
    // and every mouse's and keyboard's page. The current index again does
    // nothing. True when the language is the current one afterwards.
    bool ApplyLanguage(int index);
    // -1 before a language was applied.
    int LanguageIndex() const { return m_languageIndex; }
    // The face of the font set in use; empty before the first.
    const std::string& Typeface() const { return m_typeface; }
    // Opens the skin window at the skin button (again, when it was open).
    void OpenSkinFrame();
    CSkinFrame* SkinFrame() const { return m_skinFrame.get(); }
    SkinChangeSubject& SkinChanges() { return m_skinChanges; }
    // A colour becomes the root's background colour with no picture; a
    // picture the root's picture (stretched to fill) with no colour, unless
    // the toolkit finds it missing, no picture or too large: then the
    // background stays as it is.
    void SkinChanged(const SkinChangedParam& param) override;
    // "main.ini" in the user base folder; empty without a data home.
    std::string SkinIniPath() const;
    // The panels of a device's page; null for a device without a built page.
    DevicePanelSet* PanelsOf(const CTolvanicUSBDevice& device) const;
    // The lighting panels' handlers, same mode and game events; null before
    // window start, without a back end, or after shut-down.
    MainWndLighting* Lighting() const { return m_lighting.get(); }
    // The audio-reactive lighting: styles, audio controls, waveforms; null before the devices start.
    MainWndAudio* Audio() const { return m_audio.get(); }
    // What the panels ask the user through.
    ui::UserPrompts& Prompts() { return *m_prompts; }
    // The colour palette dialog while one is open (one at a time), else null.
    CColorSelectWnd* ColourDialog() const { return m_prompts ? m_prompts->OpenColourDialog() : nullptr; }
    // Closes the open secondary windows (the colour palette answers nothing).
    void CloseSecondaryWindows();
    // A key assignment panel has saved key changes that were not written to the device yet.
    bool KeyChangesPending() const { return m_keyChangesPending; }
    // Starts the input hook (CDeviceHook::Start with this window as target).
    // A recording mode (4, 8, 16, 32) whose keys come from the window's own
    // input shows kWindowOnlyRecordingNotice, the first time in the run.
    int StartInputHook(int mode, bool keys, bool buttons);
    // 1 when a hook serving keys was stopped, else 0.
    int StopInputHook() { return m_hook.Stop(); }
    const CDeviceHook& InputHook() const { return m_hook; }
    // Reports while capturing (mode 1) go to the key panel that asked for the
    // capture; recording reports to the macro panel of the selected device
    // when it is a keyboard (kind 1) or a mouse (kind 2), else nowhere.
    void HookReported(HookReport report, const ui::InputPress& press) override;
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
    // Where every report goes besides (tests, macro recording); may be empty.
    void SetHookListener(std::function<void(HookReport, const ui::InputPress&)> listener) {
        m_hookListener = std::move(listener);
    }
    // TrayReceiver, MenuReceiver
    void TrayIconClicked(ui::MouseButton button) override;
    void MenuItemChosen(std::string_view item) override;

private:
    // Window start: discovery, the hidden mouse and keyboard, the scan thread, timer 1011.
    void StartDevices();
    // The headset's class, loading the audio plugin the services name.
    void RegisterHeadset();
    void OnClick(const ui::Control& sender);
    void OnTimer(int id);
    void OpenMenu();
    // Shows "No_device_Link" when no device item is visible, hides it otherwise.
    void UpdateNoDeviceHint();
    // Copy-data of the audio capture tool: id 1 audio frames, id 2 band values.
    void OnCopyData(const BusMessage& message);
    // The lighting-ownership request: (1, 0) stop, (1, 1) resume driving the lighting.
    void OnLightingControlRequest(const BusMessage& message);
    void SetEveryLightControl(bool on);
    void ShowLightControlState();
    void HoldSlotEvent(int slot, bool attach);
    // The keyboards whose command transport is open: each gets the audio levels and bands.
    std::vector<AudioLighting*> FedKeyboards() const;
    // Whether an attached keyboard shows an effect the capture tool feeds.
    bool KeyboardShowsAudio() const;
    // The capture tool's state on the audio pages (also for pages built since).
    void ShowAudioToolStatus();
    // Once a second: starts, stops and reaps the capture tool.
    void SuperviseAudioTool();
    // The keyboards' layouts and the mice's and keyboards' pages after a language change.
    void RefreshDeviceTexts();
    // The index the keyboards pick their on-screen layout by.
    int LayoutLanguage() const { return m_languageIndex >= 0 ? m_languageIndex : 0; }
    // The tray flag of every mouse and keyboard.
    void SetTrayFlags(bool on);
    // The picture flag of every keyboard, mouse and mouse pad.
    void SetPictureFlags(bool on);
    // Tells every device whether its picture is on screen: the window shown
    // and not minimised, and its item selected.
    void UpdatePreviews();
    // A key panel's capture started (true) or ended.
    void KeyCaptureChanged(DevicePanelSet* panels, bool on);

    MainWndServices m_services;
    SteadyTickClock m_steadyClock;
    FactoryControlCreator m_creator;
    std::unique_ptr<ui::Window> m_window;
    std::array<ui::Control*, kTitleButtons.size()> m_titleButtons{};
    ui::Control* m_deviceList = nullptr;
    ui::Control* m_noDeviceHint = nullptr;
    std::unique_ptr<ui::TrayIcon> m_tray;
    std::unique_ptr<ui::Menu> m_menu;
    std::unique_ptr<WindowPrompts> m_prompts;
    // Destroyed in reverse: the scanner before the discovery it feeds.
    std::unique_ptr<DeviceFactory> m_deviceFactory;
    std::unique_ptr<DeviceDiscovery> m_discovery;
    std::unique_ptr<DeviceScanner> m_scanner;
    std::unique_ptr<MainWndLighting> m_lighting;
    std::unique_ptr<MainWndAudio> m_audio;
    // Declared after the devices whose pages they serve (and the lighting
    // they register with), so they go first.
    std::vector<std::unique_ptr<DevicePanelSet>> m_panels;
    ThreadSlots m_threads;
    AudioFrameLevels m_audioLevels;
    AudioBands m_audioBands;
    int m_ticksWithoutAudio = 0;
    AudioToolLink m_audioTool{
        [this](const BusMessage& message) { return m_services.broadcast && m_services.broadcast(message); }};
    SkinChangeSubject m_skinChanges;
    std::unique_ptr<CSkinFrame> m_skinFrame;
    int m_languageIndex = -1;
    std::string m_typeface;
    bool m_lightControl = true;
    bool m_awake = true;
    bool m_active = false;
    bool m_inTray = false;     // hidden to the notification area
    bool m_quietStart = false; // started hidden: the first scan raises nothing
    bool m_hover = false;
    bool m_displayChanged = false;
    bool m_settingsOpen = false;
    bool m_keyChangesPending = false;
    // Attach (true) and detach (false) held back while suspended, in arrival order.
    std::vector<std::pair<int, bool>> m_heldSlotEvents;
    bool m_devicesStarted = false;
    bool m_shutDown = false;
    // Exit was asked while a panel waited for the colour palette: it runs once that panel is done.
    bool m_exitAfterDialog = false;
    // The panel set whose key capture runs, or null.
    DevicePanelSet* m_capturePanels = nullptr;
    // The panel set whose macro panel records, or null.
    DevicePanelSet* m_recordingPanels = nullptr;
    bool m_windowOnlyNoticeShown = false;
    // Cleared once the requested start page was shown.
    bool m_startPagePending = false;
    std::function<void(HookReport, const ui::InputPress&)> m_hookListener;
    // Last: the hook ends before the window its tap lives on.
    std::unique_ptr<WindowTapSource> m_tapSource;
    CDeviceHook m_hook;
};

} // namespace velkor
