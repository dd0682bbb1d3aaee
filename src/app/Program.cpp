#include "app/Program.h"
#include "app/SdkBridge.h"
#include "app/SdkSettings.h"

#include "app/Autostart.h"
#include "app/StartLanguage.h"
#include "headset/TolvanicHS6533Device.h"
#include "platform/AtomicFile.h"
#include "platform/Trace.h"
#include "profiles/ProfileFolders.h"
#include "profiles/SettingsFile.h"
#include "sim/SimulatedFamily.h"

#include <thread>

namespace velkor {

ProgramEnvironment ReadProgramEnvironment(const std::function<const char*(const char* name)>& lookup) {
    const auto value = [&lookup](const char* name) {
        const char* found = lookup ? lookup(name) : nullptr;
        return found != nullptr ? std::string(found) : std::string();
    };
    return ProgramEnvironment{.lcAll = value("LC_ALL"),
                              .lcMessages = value("LC_MESSAGES"),
                              .lang = value("LANG"),
                              .xdgDataHome = value("XDG_DATA_HOME"),
                              .home = value("HOME"),
                              .updateServer = value("VELKOR_UPDATE_SERVER"),
                              .updateCaFile = value("VELKOR_UPDATE_CA"),
                              .xdgConfigHome = value("XDG_CONFIG_HOME"),
                              .xdgCacheHome = value("XDG_CACHE_HOME"),
                              .tmpdir = value("TMPDIR"),
                              .simLog = value("VELKOR_SIM_LOG")};
}

Program::Program(ProgramOptions options, ProgramServices& services)
    : m_options(std::move(options)), m_services(services) {}

Program::~Program() {
    Stop();
}

StartResult Program::Fail(const std::string& message) {
    std::fprintf(m_services.err, "velkor: %s\n", message.c_str());
    Stop();
    return StartResult::Failed;
}

namespace {

std::string DataHomeOf(const ProgramServices& services) {
    return services.dataHome.empty()
               ? DataHomeFrom(services.environment.xdgDataHome.c_str(), services.environment.home.c_str())
               : services.dataHome;
}

} // namespace

// A save killed half-way leaves its temporary file beside the file it was to
// replace. As the single instance nobody else writes there; without the name
// only files older than a minute go, in case another instance is saving.
void Program::RemoveAbandonedWrites() const {
    std::vector<std::string> folders = ExistingDataFolders(DataHomeOf(m_services));
    if (const size_t slash = m_settingsPath.rfind('/'); slash != std::string::npos && slash > 0) {
        folders.push_back(m_settingsPath.substr(0, slash));
    }
    const auto olderThan = m_services.bus.IsOwner() ? std::chrono::seconds(0) : std::chrono::seconds(60);
    size_t removed = 0;
    for (const std::string& folder : folders) {
        removed += RemoveAbandonedTemporaries(folder, olderThan);
    }
    if (removed > 0) {
        TraceF("%zu temporary files of interrupted saves removed", removed);
    }
}

StartResult Program::ClaimSingleInstance() {
    const auto handler = [this](BusMessage message) { m_inbox.Receive(std::move(message)); };
    // Twice at most: the other instance may end between our claim and our announce.
    for (int attempt = 0; attempt < 2; ++attempt) {
        switch (m_services.bus.Claim(handler)) {
        case BusClaim::Owner:
            TraceF("软件标示：%d", static_cast<int>(BusMessageKind::Announce));
            ClaimHeadlessName();
            return StartResult::Running;
        case BusClaim::NoBus:
            std::fprintf(m_services.err,
                         "velkor: no session bus (%s): running as the only instance; messages from other "
                         "programs are off\n",
                         m_services.bus.LastError().c_str());
            return StartResult::Running;
        case BusClaim::OtherInstance: {
            const bool headlessRuns = m_services.bus.WatchName(kHeadlessBusName, [](bool) {}) == 1;
            if (m_options.headless) {
                if (headlessRuns) {
                    std::fprintf(m_services.err, "velkor: a headless instance already runs\n");
                    return StartResult::OtherInstance;
                }
                Trace("a window has the devices: standing by until it ends");
                return StartResult::StandBy;
            }
            if (headlessRuns) {
                return TakeOverFromHeadless(handler);
            }
            const BusSendResult sent = m_services.bus.Send(MakeBusMessage(BusMessageKind::Announce, 0, 1));
            if (sent.status == BusSendStatus::Delivered) {
                Trace("another instance runs: announced to it");
                return StartResult::OtherInstance;
            }
            if (sent.status != BusSendStatus::NoInstance) {
                std::fprintf(m_services.err,
                             "velkor: another instance runs but did not take the announce (%s)\n",
                             sent.error.c_str());
                return StartResult::OtherInstance;
            }
            break; // it has just ended: try to become the instance
        }
        }
    }
    std::fprintf(m_services.err, "velkor: another instance holds the program's name but does not answer\n");
    return StartResult::OtherInstance;
}

// A headless owner says so with a second name, so that a window start asks it
// for the devices instead of announcing itself to a program without a window.
void Program::ClaimHeadlessName() {
    if (m_options.headless && m_services.bus.ClaimName(kHeadlessBusName) != BusClaim::Owner) {
        TraceF("%s not owned: %s", kHeadlessBusName, m_services.bus.LastError().c_str());
    }
}

// The window start asks the headless instance for the devices, then claims the
// name it gives up (bounded: a headless instance that keeps it is named).
StartResult Program::TakeOverFromHeadless(const BusHandler& handler) {
    const BusSendResult sent =
        m_services.bus.Send(MakeBusMessage(BusMessageKind::Announce, kAnnounceTakeOver, 1));
    if (sent.status != BusSendStatus::Delivered && sent.status != BusSendStatus::NoInstance) {
        std::fprintf(m_services.err, "velkor: the headless instance did not take the request (%s)\n",
                     sent.error.c_str());
        return StartResult::OtherInstance;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTakeOverWaitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        switch (m_services.bus.Claim(handler)) {
        case BusClaim::Owner:
            Trace("the headless instance handed the devices over");
            return StartResult::Running;
        case BusClaim::NoBus:
            return Fail("the bus was lost while the headless instance handed over: " +
                        m_services.bus.LastError());
        case BusClaim::OtherInstance:
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            break;
        }
    }
    std::fprintf(m_services.err, "velkor: the headless instance did not hand the devices over within %d s\n",
                 kTakeOverWaitMs / 1000);
    return StartResult::OtherInstance;
}

StartResult Program::Start() {
    if (m_toolkit) {
        return StartResult::Running;
    }
    ExportDeviceApi(); // before the name: whoever finds the name finds the API
    const StartResult claimed = ClaimSingleInstance();
    if (claimed != StartResult::Running) {
        Stop();
        return claimed;
    }

    const ProgramFolders folders = LocateProgramFolders(m_services.programFolder);
    TraceF("skin %s, data %s", folders.skin.c_str(), DefaultDataFolder(folders.program).c_str());
    std::string error;
    if (!StartToolkit(folders, &error)) {
        return Fail("cannot start the user interface: " + error);
    }
    const ProgramEnvironment& environment = m_services.environment;
    m_settingsPath =
        SettingsFilePath(environment.xdgConfigHome.empty() ? nullptr : environment.xdgConfigHome.c_str(),
                         environment.home.empty() ? nullptr : environment.home.c_str());
    RemoveAbandonedWrites();
    LoadStartLanguage(folders);
    RegisterProgramControlClasses(m_factory);
    if (!StartDevices(&error)) {
        return Fail(error);
    }
    if (!CreateMainWindow(folders, &error)) {
        return Fail("cannot create the main window: " + error);
    }
    if (m_mainWnd->Language().Index() >= 0) {
        TraceF("language %d: %s", m_mainWnd->Language().Index(), m_texts.LanguageName().c_str());
    } else {
        Trace("no language texts: the keys show as they are");
    }
    AnnounceLighting();

    ui::Dispatcher& dispatcher = m_toolkit->GetDispatcher();
    RouteMessages(dispatcher);
    ServeDeviceApi(dispatcher);
    PostStartUpTime(dispatcher);
    std::lock_guard lock(m_quitMutex);
    m_dispatcher = &dispatcher;
    if (m_quitRequested) {
        PostQuitLocked();
    }
    return StartResult::Running;
}

// The toolkit, and the typefaces it draws with.
bool Program::StartToolkit(const ProgramFolders& folders, std::string* error) {
    m_toolkit = m_services.makeToolkit ? m_services.makeToolkit(folders.skin, error) : nullptr;
    if (!m_toolkit) {
        if (error->empty()) {
            *error = "no toolkit";
        }
        return false;
    }
    m_typefaces = std::make_unique<TypefaceSet>(*m_toolkit);
    const int faces = m_typefaces->Load(folders.fonts, m_services.systemFontFolders);
    TraceF("%d of %zu typefaces available", faces, ProgramTypefaces().size());
    return true;
}

// The start language: the stored choice, else the desktop's. The main window
// applies it when it is built.
void Program::LoadStartLanguage(const ProgramFolders& folders) {
    const ProgramEnvironment& environment = m_services.environment;
    m_languageIndex = ReadLanguageIndex(
        m_settingsPath, ReadLanguageTable(DefaultDataFolder(folders.program)),
        DesktopLocale(environment.lcAll.c_str(), environment.lcMessages.c_str(), environment.lang.c_str()));
    m_toolkit->SetTextProvider(&m_texts);
}

// The family of the program's own Simplified Chinese face, empty when it is not loaded.
std::string Program::SimplifiedChineseFace() const {
    if (!m_typefaces || m_typefaces->States().empty() || m_typefaces->States().front().handle < 0) {
        return {};
    }
    const std::vector<std::string> families =
        m_toolkit->TypefaceFamilies(m_typefaces->States().front().handle);
    return families.empty() ? std::string() : families.front();
}

// The simulated family with --simulate, else the hardware's back end (if any).
bool Program::StartDevices(std::string* error) {
    if (m_options.simulate) {
        m_devices = MakeSimulatedFamily(m_options.scenario, *error, nullptr, m_services.environment.simLog);
        return m_devices != nullptr;
    }
    if (m_services.makeHardwareBackend) {
        m_devices = m_services.makeHardwareBackend();
    }
    if (m_services.makeGlobalInput) {
        m_globalInput = m_services.makeGlobalInput(m_toolkit->GetDispatcher());
    }
    return true;
}

bool Program::CreateMainWindow(const ProgramFolders& folders, std::string* error) {
    m_dataHome = DataHomeOf(m_services);
    MainWndServices windowServices{*m_toolkit, m_factory, m_devices.get()};
    windowServices.clock = m_services.deviceClock;
    windowServices.texts = &m_texts;
    windowServices.languageIndex = m_languageIndex;
    windowServices.languageTexts = &m_texts;
    windowServices.skinFolder = folders.skin;
    windowServices.settingsPath = m_settingsPath;
    windowServices.simplifiedChineseFace = SimplifiedChineseFace();
    windowServices.settingsWindow = [this] { return m_settings ? m_settings->OpenWindow() : nullptr; };
    windowServices.settingsLanguageChanged = [this] {
        if (m_settings) {
            m_settings->LanguageChanged();
        }
    };
    windowServices.pointerSettings = m_services.pointerSettings;
    // Headless: the window stays hidden, so nothing previews and nothing is painted.
    windowServices.startHidden = m_options.background || m_options.headless;
    windowServices.startPageKind = m_options.pageKind;
    windowServices.startPageTab = m_options.pageTab;
    windowServices.programFolder = folders.program;
    windowServices.audioPlugin = AudioPluginPath(folders.program, m_options.simulate);
    windowServices.globalInput = m_globalInput.get();
    if (m_services.startAudioTool) {
        m_audioToolStarter = std::make_unique<AudioToolStarter>(AudioToolPath(folders.program), m_toolClock);
        windowServices.audioToolStarter = m_audioToolStarter.get();
    }
    windowServices.dataHome = m_dataHome;
    windowServices.broadcast = [this](const BusMessage& message) {
        return m_services.bus.IsOwner() && m_services.bus.Broadcast(message);
    };
    windowServices.watchName = [this](const std::string& name, NameHandler handler) {
        return m_services.bus.IsOwner() ? m_services.bus.WatchName(name, std::move(handler)) : -1;
    };
    CreateSettingsHost(folders);
    windowServices.runSettingsWindow = [this](ui::Window& owner, const ui::Rect& placement, int dpi) {
        m_settings->Run(
            owner, placement, dpi, m_mainWnd ? m_mainWnd->Discovery() : nullptr,
            [this] { return m_mainWnd && m_mainWnd->GetWindow() ? m_mainWnd->Language().Index() : -1; },
            [this](uint32_t message, int64_t wParam) {
                if (m_mainWnd) {
                    m_mainWnd->DeviceMessage(message, wParam, 0);
                }
            });
    };
    windowServices.installerReport = [this](int32_t report, int32_t value) {
        m_settings->InstallerReport(report, value);
    };
    m_mainWnd = std::make_unique<CMainWnd>(windowServices);
    return m_mainWnd->Create(error);
}

// The settings window's update server, from the command line, the environment or the settings file.
void Program::CreateSettingsHost(const ProgramFolders& folders) {
    const ProgramEnvironment& environment = m_services.environment;
    const auto cString = [](const std::string& text) { return text.empty() ? nullptr : text.c_str(); };
    UpdateConfigSources sources{.commandLineServer = m_options.updateServer,
                                .commandLineCaFile = m_options.updateCaFile,
                                .environmentServer = environment.updateServer,
                                .environmentCaFile = environment.updateCaFile,
                                .settingsPath = m_settingsPath};
    SettingsWindowSetup setup;
    std::string why;
    if (!ResolveUpdateServer(sources, setup.server, &why)) {
        std::fprintf(m_services.err, "velkor: %s; no update check is made\n", why.c_str());
    }
    setup.programFolder = folders.program;
    setup.dataHome = m_dataHome;
    setup.tempFolder = TempFolderFrom(cString(environment.tmpdir));
    setup.cacheHome =
        !environment.xdgCacheHome.empty() && environment.xdgCacheHome[0] == '/'
            ? environment.xdgCacheHome
            : (!environment.home.empty() && environment.home[0] == '/' ? environment.home + "/.cache"
                                                                       : std::string());
    setup.openFolder = m_services.openFolder;
    setup.autostartPath = AutostartFilePath(environment.xdgConfigHome, environment.home);
    setup.programFile = m_services.programFile;
    setup.sdkServer = [this] {
        const SdkServerChoice stored = ReadSdkServerChoice(m_settingsPath);
        return std::pair<bool, int>(stored.on, stored.port);
    };
    setup.setSdkServer = [this](bool on, int port, std::string* error) {
        return ChooseSdkServer(on, uint16_t(port), error);
    };
    m_settings = std::make_unique<SettingsWindowHost>(*m_toolkit, m_factory, std::move(setup));
}

// Programs that drive the lighting themselves learn that this one takes it now.
void Program::AnnounceLighting() {
    if (m_services.bus.IsOwner() &&
        !m_services.bus.Broadcast(MakeBusMessage(BusMessageKind::LightingControl, 1, 1))) {
        TraceF("lighting announcement not sent: %s", m_services.bus.LastError().c_str());
    }
}

// The other programs' messages and the system's sleep and resume reach the
// main window through the loop.
void Program::RouteMessages(ui::Dispatcher& dispatcher) {
    m_inbox.Attach(dispatcher, [this](const BusMessage& message) {
        if (m_options.headless && message.kind == BusMessageKind::Announce &&
            message.wParam == kAnnounceTakeOver) {
            Trace("a window asks for the devices: handing them over");
            m_handedOver = true;
            m_toolkit->Quit(kExitOk);
            return;
        }
        if (m_mainWnd) {
            m_mainWnd->HandleBusMessage(message);
        }
    });
    if (m_services.sleepWatcher == nullptr) {
        return;
    }
    ui::Dispatcher* queue = &dispatcher;
    const auto onSleep = [this, queue](bool sleeping) {
        queue->Post([this, sleeping] {
            if (m_mainWnd && sleeping) {
                m_mainWnd->Suspend();
            } else if (m_mainWnd) {
                m_mainWnd->Resume();
            }
        });
    };
    std::string error;
    if (!m_services.sleepWatcher->Start(onSleep, &error)) {
        TraceF("%s: the program never suspends", error.c_str());
    }
}

// Runs once the loop has handled the window's showing.
void Program::PostStartUpTime(ui::Dispatcher& dispatcher) {
    dispatcher.Post([this] {
        m_startUpMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                            m_services.startTime)
                          .count();
        TraceF("main window shown %lld ms after start", static_cast<long long>(m_startUpMs));
        if (m_options.exitAfterStart) {
            std::fprintf(m_services.out, "started in %lld ms\n", static_cast<long long>(m_startUpMs));
            std::fflush(m_services.out);
            m_toolkit->Quit(kExitOk);
        }
    });
}

int Program::RunLoop() {
    if (!m_toolkit || !m_mainWnd) {
        return -1;
    }
    m_toolkit->RunLoop();
    return kExitOk;
}

void Program::RequestQuit() {
    std::lock_guard lock(m_quitMutex);
    m_quitRequested = true;
    if (m_dispatcher != nullptr) {
        PostQuitLocked();
    }
}

void Program::PostQuitLocked() {
    ui::Toolkit* toolkit = m_toolkit.get();
    m_dispatcher->Post([toolkit] { toolkit->Quit(kExitOk); });
}

void Program::Stop() {
    {
        std::lock_guard lock(m_quitMutex);
        m_dispatcher = nullptr;
    }
    if (m_services.sleepWatcher != nullptr) {
        m_services.sleepWatcher->Stop();
    }
    // The window's shut-down still broadcasts (the audio tool is told to go),
    // so it comes before the bus closes.
    if (m_mainWnd) {
        m_mainWnd->Shutdown();
    }
    // No message reaches the window any more, then the bus lets go of the name.
    StopDeviceApi();
    m_inbox.Detach();
    m_services.bus.Close();
    m_mainWnd.reset();
    m_audioToolStarter.reset(); // told to end at the window's shut-down
    m_globalInput.reset();
    m_settings.reset();
    m_devices.reset();
    m_typefaces.reset();
    m_toolkit.reset();
}

int RunProgram(const ProgramOptions& options, ProgramServices& services) {
    Program program(options, services);
    switch (program.Start()) {
    case StartResult::Running:
        break;
    case StartResult::OtherInstance:
    case StartResult::StandBy:
        return Program::kExitOk;
    case StartResult::Failed:
        return Program::kExitStartFailed;
    }
    program.RunLoop();
    program.Stop();
    return Program::kExitOk;
}

} // namespace velkor
