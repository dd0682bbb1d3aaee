#pragma once
// CMainWnd: the program's one top-level window (window class "MainWnd",
// layout "XML_MAIN", title "VELKOR01", 800 x 572, centred) and its
// switchboard for notifications and for the messages of other programs.
//
// It builds the window with the control factory's classes, finds the title
// buttons, and at window start ("windowinit") creates the device discovery
// with the hidden mouse and keyboard and starts the scan thread on thread
// slot 0. It routes the scan thread's attach and detach, the devices'
// messages and its controls' notifications, and takes the messages other
// programs send (the announce brings it to the front). Closing the window
// hides it in the notification area.
//
// Four controllers do the rest, each owned here and reached through its
// accessor once Create succeeded: the device list (DeviceListController), the
// notification-area icon and menu (TrayController), the input hook with key
// capture and macro recording (RecordingController) and the language
// (LanguageController). Every operation runs on the user-interface thread.
#include "app/CSkinFrame.h"
#include "app/DeviceListController.h"
#include "app/DevicePanels.h"
#include "app/LanguageController.h"
#include "app/MainWndAudio.h"
#include "app/MainWndLighting.h"
#include "app/MainWndServices.h"
#include "app/RecordingController.h"
#include "app/ThreadSlots.h"
#include "app/TrayController.h"
#include "app/WindowPrompts.h"
#include "devices/DeviceDiscovery.h"
#include "devices/DeviceScanner.h"
#include "lighting/AudioFrames.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor {

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
                       public SkinChangeReceiver {
public:
    static constexpr std::string_view kClassName = "MainWnd";
    static constexpr std::string_view kLayout = "XML_MAIN";
    static constexpr std::string_view kTitle = "Velkor";
    // The language key of the program's name (window title, tray tip, about window).
    static constexpr std::string_view kProgramNameKey = "app_name";
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 572;
    // The title-bar buttons the window looks up at initialisation.
    static constexpr std::array<std::string_view, 9> kTitleButtons = {
        "closebtn",    "maxbtn",   "restorebtn",   "minbtn", "skinbtn",
        "gamemodebtn", "cloudbtn", "smarteyesbtn", "setbtn"};
    // Timers of the root control (the tray's menu has 1032, see TrayController).
    static constexpr int kTimerScale = 1011;
    static constexpr int kTimerScaleMs = 100;
    // Once a second: starts, stops and reaps the capture tool.
    static constexpr int kTimerAudioTool = 1042;
    static constexpr int kTimerAudioToolMs = 1000;
    static constexpr int kAudioToolIdleTicks = 10; // stopped after 10 s without an audio effect
    static constexpr int kTimerIdle = 1031;
    static constexpr int kTimerIdleMs = 5000;
    // Messages of the program's own windows (key capture 1054: see RecordingController).
    static constexpr uint32_t kMessageLanguageChanged = 3089;
    static constexpr uint32_t kMessageOpenSettings = 3093;
    // From the settings window: everything is up to date; "setbtn" loses its update badge.
    static constexpr uint32_t kMessageClearUpdateBadge = 3094;
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

    // Builds the window from its layout, makes its controllers (the tray's
    // icon among them), gives it its title and size, centres it on the screen
    // and shows it. False with `error` set when the layout cannot be built;
    // nothing is shown then. The devices start with the window's "windowinit".
    bool Create(std::string* error = nullptr);

    // Null before Create succeeded.
    ui::Window* GetWindow() const { return m_window.get(); }
    ui::Control* TitleButton(std::string_view name) const;
    // Window title and tray tip from the language texts.
    void ShowProgramName();
    // The controllers; only once Create succeeded.
    DeviceListController& DeviceList() const { return *m_deviceList; }
    TrayController& Tray() const { return *m_tray; }
    RecordingController& Recording() const { return *m_recording; }
    LanguageController& Language() const { return *m_language; }

    HidBackend* Devices() const { return m_services.devices; }
    // Null before window start, without a back end, or after shut-down.
    DeviceDiscovery* Discovery() const { return m_discovery.get(); }
    DeviceScanner* Scanner() const { return m_scanner.get(); }
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
    // Hides the window in the notification area (the close button, the
    // frame's close): the secondary windows close and a recording ends first.
    void HideToTray();
    // The menu's "exit": shuts down, then ends the loop. With the colour
    // palette open, it closes the palette and runs once the panel that asked is done.
    void Exit();
    // Stops the scan thread and every thread slot with bounded waits, shuts the
    // dispatcher down so that no thread waits on this window any more, then
    // lets the devices go. Idempotent; the destructor runs it too.
    void Shutdown();

    // The "control_light_status" click: flips the flag, tells the other
    // programs, shows the new state and gives every device the flag.
    void ToggleLightControl();
    // Opens the settings window (beside "setbtn", or centred for the menu
    // item and message 3093) and waits until it closes. Nothing happens while
    // one is open, or when the program has none.
    void OpenSettingsWindow(bool besideButton);
    // The about window, modal; one at a time.
    void OpenAboutWindow();
    bool SettingsWindowOpen() const { return m_settingsOpen; }

    // DeviceScanListener
    void DeviceAttached(int slot) override;
    void DeviceDetached(int slot) override;
    void ScanAnnounced() override;
    // DeviceMessageSink: 3089, 3093, 3094, 1054 and 3331; 3329 needs nothing.
    void DeviceMessage(uint32_t message, int64_t wParam, int64_t lParam) override;

    // Opens the skin window at the skin button (again, when it was open).
    void OpenSkinFrame();
    CSkinFrame* SkinFrame() const { return m_skinFrame.get(); }
    SkinChangeSubject& SkinChanges() { return m_skinChanges; }
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

private:
    // ui::WindowHandler, called by the toolkit.
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
    // DeviceListObserver, called by the discovery. A selected item about to
    // hide closes the secondary windows and ends a recording.
    void SelectedItemHiding() override;
    void VisibleItemsChanged(int visibleCount) override;
    void SelectionChanged() override;
    void DevicePageBuilt(CTolvanicUSBDevice& device, ui::Control& page) override;
    // A colour becomes the root's background colour with no picture; a
    // picture the root's picture (stretched to fill) with no colour, unless
    // the toolkit finds it missing, no picture or too large: then the
    // background stays as it is.
    void SkinChanged(const SkinChangedParam& param) override;

    // The controllers, right after the window was built.
    void MakeControllers();
    // Window start: discovery, the hidden mouse and keyboard, the scan thread, timer 1011.
    void StartDevices();
    // The headset's class, loading the audio plugin the services name.
    void RegisterHeadset();
    // The interface-scale step (timer 1011).
    void ApplyInterfaceScale();
    void OnClick(const ui::Control& sender);
    void OnTimer(int id);
    // The devices of a class; none before window start or after shut-down.
    std::vector<CTolvanicUSBDevice*> DevicesOf(DeviceClass kind) const;
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

    MainWndServices m_services;
    SteadyTickClock m_steadyClock;
    FactoryControlCreator m_creator;
    std::unique_ptr<ui::Window> m_window;
    std::array<ui::Control*, kTitleButtons.size()> m_titleButtons{};
    std::unique_ptr<WindowPrompts> m_prompts;
    bool m_aboutOpen = false; // its modal loop runs inside OpenAboutWindow
    // Made with the window and let go before it (the destructor does so).
    std::unique_ptr<DeviceListController> m_deviceList;
    std::unique_ptr<TrayController> m_tray;
    std::unique_ptr<LanguageController> m_language;
    std::unique_ptr<RecordingController> m_recording;
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
    bool m_lightControl = true;
    bool m_awake = true;
    bool m_active = false;
    bool m_displayChanged = false;
    bool m_settingsOpen = false;
    // Attach (true) and detach (false) held back while suspended, in arrival order.
    std::vector<std::pair<int, bool>> m_heldSlotEvents;
    bool m_devicesStarted = false;
    bool m_shutDown = false;
    // Exit was asked while a panel waited for the colour palette: it runs once that panel is done.
    bool m_exitAfterDialog = false;
};

} // namespace velkor
