#include "app/CMainWnd.h"

#include "devices/TolvanicKeyboardDevice.h"
#include "headset/TolvanicHS6533Device.h"

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
    m_menu.reset();
    m_tray.reset();
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
    m_tapSource = std::make_unique<WindowTapSource>(*m_window);
    if (m_services.globalInput != nullptr) {
        m_hook.SetSources({m_services.globalInput, m_tapSource.get()});
    } else {
        m_hook.SetSources({m_tapSource.get()});
    }
    Trace("InitWindow");
    for (size_t i = 0; i < kTitleButtons.size(); ++i) {
        m_titleButtons[i] = m_window->FindControl(kTitleButtons[i]);
    }
    if (ui::Control* settings = TitleButton("setbtn"); settings != nullptr && !m_services.runSettingsWindow) {
        settings->SetVisible(false); // a button that could open nothing
    }
    m_deviceList = m_window->FindControl(kDeviceList);
    m_noDeviceHint = m_window->FindControl(kNoDeviceHint);
    m_tray = m_services.toolkit.CreateTrayIcon(std::string(kTrayIcon), kTitle, *this);
    ui::Window* window = m_window.get();
    m_prompts = std::make_unique<WindowPrompts>(
        m_services.toolkit, [window] { return window; }, [window] { return window->Dpi(); });
    m_prompts->SetColourDialog(
        ColourDialogSetup{m_services.programFolder, m_services.dataHome,
                          m_services.clock != nullptr ? m_services.clock : &m_steadyClock});

    if (m_services.languageTexts != nullptr) {
        ApplyLanguage(m_services.languageIndex);
    } else {
        m_languageIndex = m_services.languageIndex;
    }
    m_skinChanges.Add(*this);
    if (const std::optional<std::string> picture = RecordedSkinPicture(SkinIniPath())) {
        SkinChanged(SkinChangedParam{.kind = SkinChangedParam::kPicture, .picture = *picture});
    }
    m_window->SetTitle(kTitle);
    m_window->SetGeometry(ui::Rect{0, 0, kWidth, kHeight});
    m_window->CenterWindow();
    UpdateNoDeviceHint();
    m_startPagePending = m_services.startPageKind != DeviceClass::None;
    if (m_services.startHidden && m_services.toolkit.TrayAvailable()) {
        m_quietStart = true;
        HideToTray();
    } else {
        if (m_services.startHidden) {
            // Hidden with no notification area, the program could never be reached.
            Trace("no notification area: the window is shown");
        }
        m_window->Show();
    }
    return true;
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
        m_window->Hide();
        m_window->Root().KillTimer(kTimerScale);
        m_window->Root().KillTimer(kTimerMenu);
        m_window->Root().KillTimer(kTimerAudioTool);
    }
    m_menu.reset();
    StopRecording(); // as the stop button: the recorded rows are saved
    m_threads.StopAll();
    // The threads have ended: the audio tool learns that the program goes (2, 4, 5).
    m_audioTool.Shutdown();
    // From here no Send of any thread waits for this window: the scan thread and
    // the device threads end on their stop events even when they were sending.
    m_services.toolkit.GetDispatcher().BeginShutdown();
    m_scanner.reset();
    m_hook.Stop();
    m_capturePanels = nullptr;
    m_panels.clear();
    m_audio.reset();
    m_lighting.reset();
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

void CMainWnd::HandleBusMessage(const BusMessage& message) {
    if (!m_window || m_shutDown) {
        return;
    }
    if (message.kind == BusMessageKind::Announce) {
        TraceF("软件标示 %d，%xd%xd", static_cast<int>(message.kind), static_cast<unsigned>(message.wParam),
               static_cast<unsigned>(message.lParam));
        BringWindowToFront();
        return;
    }
    if (!m_awake) {
        return; // asleep: nothing drives the devices
    }
    if (message.kind == BusMessageKind::CopyData) {
        OnCopyData(message);
        return;
    }
    if (message.kind == BusMessageKind::LightingControlRequest) {
        OnLightingControlRequest(message);
        return;
    }
    const bool gameEvent =
        message.kind == BusMessageKind::GameStart || message.kind == BusMessageKind::GameEnd ||
        message.kind == BusMessageKind::GameKill || message.kind == BusMessageKind::GameDeath;
    if (gameEvent && m_lighting) {
        m_lighting->OnGameEvent(message.wParam, message.lParam);
        return;
    }
    if (message.kind == BusMessageKind::InstallerReport) {
        if (m_settingsOpen && m_services.installerReport) {
            m_services.installerReport(message.wParam, message.lParam);
        }
        return;
    }
    if (message.kind == BusMessageKind::AudioToolLink) {
        m_audioTool.OnLinkRequest();
        return;
    }
    if (message.kind == BusMessageKind::AudioToolStatus) {
        if (!m_audioTool.OnStatus(message.wParam, message.lParam)) {
            TraceF("audio tool status (%d, %d) ignored", message.wParam, message.lParam);
        }
        return;
    }
    TraceF("message %s from %s not handled", BusMessageInfoOf(message.kind).member, message.sender.c_str());
}

void CMainWnd::ShowAudioToolStatus() {
    if (!m_audio) {
        return;
    }
    const AudioToolLink::Status status = m_audioTool.LastStatus();
    const AudioToolStarter* starter = m_services.audioToolStarter;
    std::string_view key = "audio_tool_absent";
    std::optional<int> number;
    if (status.present) {
        switch (status.state) {
        case int32_t(AudioToolState::Capturing):
            key = "audio_tool_capturing";
            number = status.detail;
            break;
        case int32_t(AudioToolState::WaitingForServer):
            key = "audio_tool_waiting";
            break;
        case int32_t(AudioToolState::NoSuchSource):
            key = "audio_tool_no_source";
            break;
        default:
            key = ""; // started, nothing said yet
        }
    } else if (starter != nullptr && !starter->Running()) {
        if (starter->GivenUp()) {
            key = "audio_tool_given_up";
        } else if (starter->LastExit().value_or(0) != 0) {
            key = "audio_tool_stopped";
            number = starter->LastExit();
        }
    }
    m_audio->ShowToolStatus(key, number, m_services.texts);
}

void CMainWnd::SuperviseAudioTool() {
    AudioToolStarter& starter = *m_services.audioToolStarter;
    starter.Poll();
    if (KeyboardShowsAudio()) {
        m_ticksWithoutAudio = 0;
        if (!m_audioTool.Present()) {
            starter.Start();
        }
    } else if (starter.Running() && ++m_ticksWithoutAudio == kAudioToolIdleTicks) {
        m_audioTool.TellToEnd();
        starter.Stop();
    }
    ShowAudioToolStatus();
}

bool CMainWnd::KeyboardShowsAudio() const {
    if (!m_discovery) {
        return false;
    }
    for (CTolvanicUSBDevice* device : m_discovery->DevicesOfClass(DeviceClass::Keyboard)) {
        const int effect = device->State().LightRecord().selectItem;
        if (device->Driver().CommandTransport().IsOpen() &&
            (effect == CTolvanicKeyboardDevice::kAudioEffect ||
             effect == CTolvanicKeyboardDevice::kBandColourEffect)) {
            return true;
        }
    }
    return false;
}

std::vector<AudioLighting*> CMainWnd::FedKeyboards() const {
    std::vector<AudioLighting*> fed;
    if (!m_discovery) {
        return fed;
    }
    // Every keyboard that is attached, not only the first object: the one
    // created at start-up may stand for a model that is not plugged in.
    for (CTolvanicUSBDevice* device : m_discovery->DevicesOfClass(DeviceClass::Keyboard)) {
        AudioLighting* keyboard = Capability<AudioLighting>(*device);
        if (keyboard != nullptr && device->Driver().CommandTransport().IsOpen()) {
            fed.push_back(keyboard);
        }
    }
    return fed;
}

void CMainWnd::OnCopyData(const BusMessage& message) {
    if (message.data.empty()) {
        return;
    }
    if (message.copyDataId == kCopyDataAudioFrame) {
        if (m_audio) {
            m_audio->ShowFrame(message.data);
        }
        AudioFrameLevels::Levels levels;
        if (m_audioLevels.Feed(message.data, levels)) {
            for (AudioLighting* keyboard : FedKeyboards()) {
                keyboard->FeedAudioLevels(levels);
            }
        }
    } else if (message.copyDataId == kCopyDataAudioBands) {
        const std::span<const int32_t> bands = m_audioBands.Store(message.data);
        for (AudioLighting* keyboard : FedKeyboards()) {
            keyboard->SetAudioBands(bands);
        }
    }
}

void CMainWnd::OnLightingControlRequest(const BusMessage& message) {
    if (message.wParam != 1 || (message.lParam != 0 && message.lParam != 1)) {
        TraceF("lighting request (%d, %d) ignored", message.wParam, message.lParam);
        return;
    }
    m_lightControl = message.lParam == 1;
    ShowLightControlState();
    SetEveryLightControl(m_lightControl);
}

void CMainWnd::ToggleLightControl() {
    if (!m_window || m_shutDown) {
        return;
    }
    m_lightControl = !m_lightControl;
    if (m_services.broadcast &&
        !m_services.broadcast(MakeBusMessage(BusMessageKind::LightingControl, 1, m_lightControl ? 1 : 0))) {
        Trace("lighting ownership not announced");
    }
    ShowLightControlState();
    SetEveryLightControl(m_lightControl);
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

void CMainWnd::ShowLightControlState() {
    if (ui::Control* label = m_window->FindControl(kLightStatusLabel)) {
        label->SetText(m_lightControl ? kLightControlOn : kLightControlOff);
    }
}

void CMainWnd::SetEveryLightControl(bool on) {
    if (!m_discovery) {
        return;
    }
    // The headset's lighting is not shared with other programs.
    for (DeviceClass kind : {DeviceClass::Keyboard, DeviceClass::Mouse, DeviceClass::MousePad}) {
        for (CTolvanicUSBDevice* device : m_discovery->DevicesOfClass(kind)) {
            device->SetLightControl(on);
        }
    }
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
    if (m_discovery && !m_shutDown && m_discovery->Attach(slot) && !m_quietStart) {
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
        UpdateNoDeviceHint();
    }
}

void CMainWnd::ScanAnnounced() {
    if (m_quietStart) {
        // Started in the notification area: the devices found at start do
        // not raise the window; one plugged in later does.
        m_quietStart = false;
        return;
    }
    BringWindowToFront();
}

void CMainWnd::DeviceMessage(uint32_t message, int64_t wParam, int64_t lParam) {
    if (m_shutDown) {
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
            ApplyLanguage(int(wParam));
        }
    } else if (message == kMessageKeyCapture) {
        if (wParam == 1) {
            StartInputHook(1, true, true);
        } else if (wParam == 0) {
            m_hook.Stop();
        }
    } else if (message == kMessageShowDeviceItem && m_discovery && wParam >= 0 && wParam <= INT32_MAX) {
        m_discovery->ShowDeviceItem(int(wParam), lParam != 0);
    }
}

void CMainWnd::DevicePageBuilt(CTolvanicUSBDevice& device, ui::Control& page) {
    device.State().SetTrayFlag(m_inTray); // a device that arrives while the window sits in the tray
    if (auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(&device)) {
        keyboard->SetLayoutVariant(LayoutLanguage());
    }
    auto panels = std::make_unique<DevicePanelSet>(
        device, *m_prompts, m_services.texts, m_services.toolkit.PrimaryScreen(),
        m_lighting ? &m_lighting->Panels() : nullptr, m_services.pointerSettings);
    DevicePanelSet::KeyPanelLinks links;
    links.pendingChanged = [this](bool pending) { m_keyChangesPending = pending; };
    links.captureChanged = [this, set = panels.get()](bool on) { KeyCaptureChanged(set, on); };
    panels->SetKeyPanelLinks(std::move(links));
    panels->SetProfileResetHook([this] {
        if (m_audio) {
            m_audio->ResetStyles();
        }
    });
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
        std::string error;
        std::unique_ptr<ui::Menu> menu =
            m_services.toolkit.OpenMenu(layout, m_services.toolkit.CursorPosition(), receiver, &error);
        if (!menu) {
            TraceF("the event-row menu cannot open: %s", error.c_str());
        }
        return menu;
    };
    panels->SetRecordingLinks(std::move(recording));
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
    UpdateNoDeviceHint();
    ShowStartPage();
}

void CMainWnd::ShowStartPage() {
    if (!m_startPagePending || !m_discovery || !m_discovery->SelectFirstOfClass(m_services.startPageKind)) {
        return;
    }
    m_startPagePending = false;
    CTolvanicUSBDevice* device = m_discovery->SelectedDevice();
    DevicePanelSet* panels = device != nullptr ? PanelsOf(*device) : nullptr;
    if (m_services.startPageTab > 0 && panels != nullptr && panels->ProfileBar() != nullptr) {
        // As a click on the tab does.
        panels->ProfileBar()->SelectOptionTab(m_services.startPageTab);
        panels->OptionTabChosen(m_services.startPageTab);
    }
}

void CMainWnd::TrayIconClicked(ui::MouseButton button) {
    if (m_shutDown || !m_window) {
        return;
    }
    if (button == ui::MouseButton::Left) {
        ToggleFromTray();
    } else {
        m_window->Root().SetTimer(kTimerMenu, kTimerMenuMs);
    }
}

void CMainWnd::OpenMenu() {
    m_menu.reset();
    std::string error;
    m_menu = m_services.toolkit.OpenMenu(kMenuLayout, m_services.toolkit.CursorPosition(), *this, &error);
    if (!m_menu) {
        TraceF("the notification-area menu cannot open: %s", error.c_str());
    }
}

void CMainWnd::MenuItemChosen(std::string_view item) {
    if (item == kMenuExit) {
        Exit();
    } else if (item == kMenuSettings) {
        OpenSettingsWindow(false);
    } else if (item == kMenuShow) {
        // "show" never hides: a visible window only comes to the front.
        if (m_window->IsVisible() && !m_window->IsMinimized()) {
            BringWindowToFront();
        } else {
            ToggleFromTray();
        }
    }
}

} // namespace velkor
