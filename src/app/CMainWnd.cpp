#include "app/CMainWnd.h"

#include "app/AboutWnd.h"
#include "headset/TolvanicHS6533Device.h"
#include "profiles/LanguageTexts.h"

#include "platform/Trace.h"

namespace velkor {

int InterfaceDpiFor(const ui::Rect& workArea) {
    return workArea.width > 1500 && workArea.height > 960 ? 144 : ui::kDefaultDpi;
}

ui::Rect SettingsWindowRect(const ui::Rect& mainWindow, const ui::Rect& screen, int dpi, bool besideButton) {
    const auto scaled = [dpi](int value) { return value * dpi / ui::kDefaultDpi; };
    const int width = scaled(630);
    const int height = scaled(500);
    if (besideButton) {
        return ui::Rect{mainWindow.x + mainWindow.width - scaled(30) - width, mainWindow.y + scaled(60),
                        width, height};
    }
    return ui::Rect{screen.x + (screen.width - width) / 2, screen.y + (screen.height - height) / 2, width,
                    height};
}

CMainWnd::CMainWnd(const MainWndServices& services) : m_services(services), m_creator(services.factory) {}

CMainWnd::~CMainWnd() {
    Shutdown();
    m_skinFrame.reset();
    // The controllers hold the window: they go first, the hook before its window tap.
    m_recording.reset();
    m_language.reset();
    m_tray.reset();
    m_deviceList.reset();
    // The window goes before the creator whose objects hang on its controls.
    m_window.reset();
}

bool CMainWnd::Create(std::string* error) {
    ui::WindowOptions options;
    options.layout = kLayout;
    options.className = kClassName;
    options.handler = this;
    options.creator = &m_creator;
    m_window = m_services.toolkit.CreateWindow(options, error);
    if (!m_window) {
        return false;
    }
    Trace("InitWindow");
    for (size_t i = 0; i < kTitleButtons.size(); ++i) {
        m_titleButtons[i] = m_window->FindControl(kTitleButtons[i]);
    }
    if (ui::Control* settings = TitleButton("setbtn"); settings != nullptr && !m_services.runSettingsWindow) {
        settings->SetVisible(false); // a button that could open nothing
    }
    ui::Window* window = m_window.get();
    m_prompts = std::make_unique<WindowPrompts>(
        m_services.toolkit, [window] { return window; }, [window] { return window->Dpi(); });
    m_prompts->SetColourDialog(
        ColourDialogSetup{m_services.programFolder, m_services.dataHome,
                          m_services.clock != nullptr ? m_services.clock : &m_steadyClock});
    MakeControllers();

    m_language->Start(m_services.languageIndex);
    m_skinChanges.Add(*this);
    if (const std::optional<std::string> picture = RecordedSkinPicture(SkinIniPath())) {
        SkinChanged(SkinChangedParam{.kind = SkinChangedParam::kPicture, .picture = *picture});
    }
    ShowProgramName();
    m_window->SetGeometry(ui::Rect{0, 0, kWidth, kHeight});
    m_window->CenterWindow();
    m_deviceList->UpdateNoDeviceHint();
    if (!m_services.startHidden || !m_tray->StartHidden()) {
        m_window->Show();
    }
    return true;
}

void CMainWnd::MakeControllers() {
    ui::Window& window = *m_window;
    const DevicesOfClassFn devicesOf = [this](DeviceClass kind) { return DevicesOf(kind); };
    m_deviceList = std::make_unique<DeviceListController>(
        window, DeviceListController::StartPage{m_services.startPageKind, m_services.startPageTab},
        [this](const CTolvanicUSBDevice& device) { return PanelsOf(device); });
    TrayController::Requests requests;
    requests.beforeHide = [this] {
        CloseSecondaryWindows();
        // No window would be left to stop a recording that swallows every key.
        m_recording->StopRecording();
    };
    requests.beforeShow = [this] { m_deviceList->UpdateNoDeviceHint(); };
    requests.rescale = [this] { ApplyInterfaceScale(); };
    requests.exit = [this] { Exit(); };
    requests.openSettings = [this] { OpenSettingsWindow(false); };
    requests.openAbout = [this] { OpenAboutWindow(); };
    m_tray = std::make_unique<TrayController>(
        TrayController::Setup{m_services.toolkit, window, kTitle, devicesOf, std::move(requests)});
    m_language = std::make_unique<LanguageController>(
        LanguageController::Setup{.toolkit = m_services.toolkit,
                                  .window = window,
                                  .languageTexts = m_services.languageTexts,
                                  .programFolder = m_services.programFolder,
                                  .skinFolder = m_services.skinFolder,
                                  .settingsPath = m_services.settingsPath,
                                  .simplifiedChineseFace = m_services.simplifiedChineseFace,
                                  .settingsWindow = m_services.settingsWindow,
                                  .settingsLanguageChanged = m_services.settingsLanguageChanged,
                                  .devicesOfClass = devicesOf});
    m_recording = std::make_unique<RecordingController>(RecordingController::Setup{
        .toolkit = m_services.toolkit,
        .window = window,
        .prompts = *m_prompts,
        .deviceList = *m_deviceList,
        .selectedDevice = [this] { return m_discovery ? m_discovery->SelectedDevice() : nullptr; },
        .globalInput = m_services.globalInput});
}

void CMainWnd::OpenAboutWindow() {
    if (m_aboutOpen || !m_window) {
        return;
    }
    m_aboutOpen = true;
    ShowAbout(m_services.toolkit, m_services.texts, m_window.get(), m_window->Dpi(),
              ProgramAboutFacts(m_services.dataHome));
    m_aboutOpen = false;
}

void CMainWnd::ShowProgramName() {
    // The program's name in the user's language; "VELKOR01" names only folders and the bus.
    std::optional<std::string> name;
    if (m_services.languageTexts != nullptr) {
        name = m_services.languageTexts->Text(kProgramNameKey);
    }
    const std::string shown = name.value_or(std::string(kTitle));
    m_window->SetTitle(shown);
    if (ui::TrayIcon* icon = m_tray ? m_tray->Icon() : nullptr) {
        icon->SetToolTip(shown);
    }
}

std::vector<CTolvanicUSBDevice*> CMainWnd::DevicesOf(DeviceClass kind) const {
    return m_discovery ? m_discovery->DevicesOfClass(kind) : std::vector<CTolvanicUSBDevice*>{};
}

ui::Control* CMainWnd::TitleButton(std::string_view name) const {
    for (size_t i = 0; i < kTitleButtons.size(); ++i) {
        if (kTitleButtons[i] == name) {
            return m_titleButtons[i];
        }
    }
    return nullptr;
}

void CMainWnd::StartDevices() {
    if (m_devicesStarted || m_shutDown || !m_window) {
        return;
    }
    m_devicesStarted = true;
    if (m_services.watchName) {
        m_audioTool.Watch(m_services.watchName, m_services.toolkit.GetDispatcher());
    }
    if (m_services.audioToolStarter != nullptr) {
        m_window->Root().SetTimer(kTimerAudioTool, kTimerAudioToolMs);
    }
    m_window->Root().SetTimer(kTimerScale, kTimerScaleMs);
    m_window->Root().SetTimer(kTimerIdle, kTimerIdleMs); // periodic; its ticks need no handling
    if (m_services.devices == nullptr) {
        Trace("no device back end: no devices are looked for");
        return;
    }
    ui::Dispatcher& dispatcher = m_services.toolkit.GetDispatcher();
    const TickClock& clock = m_services.clock != nullptr ? *m_services.clock : m_steadyClock;
    m_deviceFactory = std::make_unique<DeviceFactory>(DeviceServices{
        *m_services.devices, dispatcher, clock, {m_services.programFolder, m_services.dataHome}});
    RegisterHeadset();
    m_discovery = std::make_unique<DeviceDiscovery>(
        DeviceDiscoveryServices{m_services.toolkit, *m_window, *m_deviceFactory, this, this});
    m_deviceList->SetDiscovery(m_discovery.get());
    const ui::Rect screen = m_services.toolkit.PrimaryScreen();
    DeviceDiscovery* discovery = m_discovery.get();
    m_lighting = std::make_unique<MainWndLighting>(
        m_window->Root(), clock, ScreenSize{screen.width, screen.height},
        [discovery](DeviceClass kind) { return discovery->DevicesOfClass(kind); },
        [discovery] { return discovery->SelectedDevice(); });
    m_audio = std::make_unique<MainWndAudio>(MainWndAudio::Setup{
        m_services.toolkit, *m_window, clock, m_lighting->Panels(),
        [discovery] { return discovery->SelectedDevice(); }, m_services.programFolder, m_services.dataHome,
        [this] { return m_window ? m_window->Dpi() : ui::kDefaultDpi; }});
    m_audio->SetTool(&m_audioTool);
    m_audioTool.SetChangeHandler([this] { ShowAudioToolStatus(); });
    const int created = m_discovery->CreateStartupDevices();
    TraceF("%d devices created at start", created);
    if (!m_lighting->StartSync(m_threads)) {
        Trace("the lighting synchronisation thread cannot start");
    }
    m_audio->LoadStyles();
    m_scanner = std::make_unique<DeviceScanner>(*m_services.devices, dispatcher, m_discovery->Slots(), *this);
    if (!m_scanner->Start()) {
        Trace("the scan thread cannot start: no devices are looked for");
        return;
    }
    DeviceScanner* scanner = m_scanner.get();
    m_threads.Assign(ThreadSlots::kScanSlot, [scanner](uint32_t waitMs) { return scanner->Stop(waitMs); });
}

void CMainWnd::RegisterHeadset() {
    const std::string plugin = m_services.audioPlugin;
    ui::UserPrompts* prompts = m_prompts.get();
    m_deviceFactory->Register(std::string(CTolvanicHS6533Device::kClassName),
                              [plugin, prompts](const DeviceServices& services) -> DevicePtr {
                                  auto loader = [plugin]() -> std::unique_ptr<AudioLibrary> {
                                      if (plugin.empty()) {
                                          return nullptr;
                                      }
                                      std::string error;
                                      std::unique_ptr<AudioLibrary> library =
                                          AudioLibrary::Load(plugin, &error);
                                      if (library == nullptr) {
                                          TraceF("headset: no audio plugin (%s)", error.c_str());
                                      }
                                      return library;
                                  };
                                  auto headset = MakeDevice<CTolvanicHS6533Device>(services, loader);
                                  headset->SetPrompts(prompts);
                                  return headset;
                              });
}

void CMainWnd::Shutdown() {
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    if (m_window) {
        m_deviceList->Shutdown(); // before the hide: no picture is seen from here
        m_language->Shutdown();
        m_window->Hide();
        m_window->Root().KillTimer(kTimerScale);
        m_window->Root().KillTimer(kTimerAudioTool);
        m_tray->Shutdown();
        // As the stop button: the recorded rows are saved; then the hook stops.
        m_recording->Shutdown();
    }
    m_threads.StopAll();
    // The threads have ended: the audio tool learns that the program goes (2, 4, 5).
    m_audioTool.Shutdown();
    // From here no Send of any thread waits for this window: the scan thread and
    // the device threads end on their stop events even when they were sending.
    m_services.toolkit.GetDispatcher().BeginShutdown();
    m_scanner.reset();
    m_panels.clear();
    m_audio.reset();
    m_lighting.reset();
    if (m_deviceList) {
        m_deviceList->SetDiscovery(nullptr);
    }
    m_discovery.reset();
    m_deviceFactory.reset();
}

void CMainWnd::Exit() {
    if (ColourDialog() != nullptr || (m_audio && m_audio->OpenMusicWindow() != nullptr)) {
        // The panel that asked is still on the stack: its devices must outlive its question.
        m_exitAfterDialog = true;
        CloseSecondaryWindows();
        return;
    }
    Trace("退出测试");
    Shutdown();
    m_services.toolkit.Quit(0);
}

void CMainWnd::OpenSettingsWindow(bool besideButton) {
    if (!m_window || m_shutDown || m_settingsOpen) {
        return;
    }
    if (!m_services.runSettingsWindow) {
        Trace("no settings window in this build");
        return;
    }
    const int dpi = m_window->Dpi();
    const ui::Rect placement =
        SettingsWindowRect(m_window->Geometry(), m_services.toolkit.PrimaryScreen(), dpi, besideButton);
    m_settingsOpen = true;
    m_services.runSettingsWindow(*m_window, placement, dpi);
    m_settingsOpen = false;
}

void CMainWnd::Suspend() {
    if (!m_awake || m_shutDown) {
        return;
    }
    Trace("system suspend");
    m_awake = false;
    SetEveryLightControl(false);
}

void CMainWnd::Resume() {
    if (m_awake || m_shutDown) {
        return;
    }
    Trace("system resume");
    m_awake = true;
    SetEveryLightControl(m_lightControl);
    std::vector<std::pair<int, bool>> held;
    held.swap(m_heldSlotEvents);
    for (const auto& [slot, attach] : held) {
        if (!attach) {
            DeviceDetached(slot);
        } else if (m_discovery && m_discovery->Slots().IsPresent(slot)) {
            DeviceAttached(slot); // an attach whose slot has gone again is dropped
        }
    }
}

void CMainWnd::HoldSlotEvent(int slot, bool attach) {
    // Only the last event of a slot counts, so the list stays as short as the slot list.
    std::erase_if(m_heldSlotEvents, [slot](const std::pair<int, bool>& held) { return held.first == slot; });
    m_heldSlotEvents.emplace_back(slot, attach);
}

void CMainWnd::DeviceAttached(int slot) {
    if (!m_awake) {
        HoldSlotEvent(slot, true);
        return;
    }
    if (m_discovery && !m_shutDown && m_discovery->Attach(slot) && !m_tray->QuietStart()) {
        BringWindowToFront();
    }
}

void CMainWnd::DeviceDetached(int slot) {
    if (!m_awake) {
        HoldSlotEvent(slot, false);
        return;
    }
    if (m_discovery && !m_shutDown) {
        m_discovery->Detach(slot);
        m_deviceList->UpdateNoDeviceHint();
    }
}

void CMainWnd::ScanAnnounced() {
    // Started in the notification area: the devices found at start do not
    // raise the window; one plugged in later does.
    if (m_tray && m_tray->EndQuietStart()) {
        return;
    }
    BringWindowToFront();
}

void CMainWnd::DeviceMessage(uint32_t message, int64_t wParam, int64_t lParam) {
    if (m_shutDown || !m_window) {
        return;
    }
    // 3329 (power status read) needs no action.
    if (message == kMessageOpenSettings) {
        OpenSettingsWindow(false);
    } else if (message == kMessageClearUpdateBadge) {
        if (ui::Control* settings = TitleButton("setbtn")) {
            settings->SetBackgroundImage({});
        }
    } else if (message == kMessageLanguageChanged) {
        if (wParam < INT32_MIN || wParam > INT32_MAX) {
            TraceF("language index %lld refused", static_cast<long long>(wParam));
        } else {
            m_language->Apply(int(wParam));
            ShowProgramName();
        }
    } else if (message == RecordingController::kMessageKeyCapture) {
        m_recording->KeyCaptureMessage(wParam);
    } else if (message == kMessageShowDeviceItem) {
        m_deviceList->ShowDeviceItem(wParam, lParam);
    }
}

void CMainWnd::DevicePageBuilt(CTolvanicUSBDevice& device, ui::Control& page) {
    device.State().SetTrayFlag(m_tray->InTray()); // a device that arrives while the window sits in the tray
    m_language->PrepareDevice(device);
    auto panels = std::make_unique<DevicePanelSet>(
        device, *m_prompts, m_services.texts, m_services.toolkit.PrimaryScreen(),
        m_lighting ? &m_lighting->Panels() : nullptr, m_services.pointerSettings);
    m_recording->LinkPanels(*panels);
    panels->SetProfileResetHook([this] {
        if (m_audio) {
            m_audio->ResetStyles();
        }
    });
    panels->SetSelectedQuery(
        [this, &device] { return m_discovery != nullptr && m_discovery->SelectedDevice() == &device; });
    panels->Attach(page);
    m_panels.push_back(std::move(panels));
    if (m_lighting && m_discovery) {
        m_lighting->DevicesChanged(m_discovery->VisibleItemCount());
    }
}

DevicePanelSet* CMainWnd::PanelsOf(const CTolvanicUSBDevice& device) const {
    for (const auto& panels : m_panels) {
        if (&panels->Device() == &device) {
            return panels.get();
        }
    }
    return nullptr;
}

void CMainWnd::SelectedItemHiding() {
    CloseSecondaryWindows();
    // A recording into a page that is going away could never be stopped from it.
    m_recording->StopRecording();
}

void CMainWnd::CloseSecondaryWindows() {
    if (m_prompts) {
        m_prompts->CloseColourDialog();
    }
    if (m_audio) {
        m_audio->CloseMusicSettings();
    }
}

void CMainWnd::VisibleItemsChanged(int visibleCount) {
    if (m_lighting) {
        m_lighting->DevicesChanged(visibleCount);
    }
    m_deviceList->ItemsChanged();
}

} // namespace velkor
