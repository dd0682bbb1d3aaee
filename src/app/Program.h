#pragma once
// The program's life from start to end, on whatever toolkit and bus it is given.
//
// Start, in this order:
//  1. Single instance: claim the program's name on the bus. A second start
//     sends the running one the announce (wParam 0, lParam 1) and ends with 0
//     before it creates anything else. Without a bus the program runs as the
//     only instance and says once on the error stream that messages from
//     other programs are off. A headless owner also owns kHeadlessBusName: a
//     window start then asks it for the devices (announce kAnnounceTakeOver),
//     it quits its loop (HandedOver) and the window claims the freed name. A
//     headless start while a window runs stands by (StartResult::StandBy);
//     the entry point waits for the window to end and starts it again.
//  2. The toolkit, with its resources from the "skin" folder and its index "res.xml".
//  3. The typefaces from the "Font" folder (Typefaces.h).
//  4. The start language: the choice stored in the settings file, else the
//     desktop's (from the environment it is given); the main window applies it.
//  5. The 24 control classes, registered with the control factory.
//  6. The devices' back end: the simulated family with --simulate, else the
//     hardware's, and then the input hook's desktop-wide source.
//  7. The main window, titled "VELKOR01", 800 x 572, centred and shown; the
//     messages of other programs reach it from then on (those that came
//     earlier first).
// RunLoop runs the toolkit's loop until the main window ends it; Stop tears
// everything down in the reverse order. Start, RunLoop and Stop run on the
// thread that becomes the user-interface thread.
#include "app/AudioToolStarter.h"
#include "app/BusInbox.h"
#include "app/CMainWnd.h"
#include "app/CommandLine.h"
#include "app/ControlFactory.h"
#include "app/DeviceApi.h"
#include "app/DeviceCallQueue.h"
#include "app/ProgramFolders.h"
#include "app/SettingsWindowHost.h"
#include "app/Typefaces.h"
#include "platform/bus/DeviceBusService.h"
#include "platform/bus/MessageBus.h"
#include "platform/bus/SleepWatcher.h"
#include "profiles/LanguageTexts.h"
#include "transport/HidBackend.h"
#include "ui/Toolkit.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velkor {

class DesktopPointerSettings;
class SdkBridge;

using ToolkitMaker =
    std::function<std::unique_ptr<ui::Toolkit>(const std::string& resourceFolder, std::string* error)>;
using BackendMaker = std::function<std::unique_ptr<HidBackend>()>;
using GlobalInputMaker = std::function<std::unique_ptr<HookInputSource>(ui::Dispatcher& dispatcher)>;

// The environment variables the start reads, empty when unset (an empty value
// counts as unset wherever they are used). The entry point fills them from the
// process environment, tests from their own values: nothing below main reads
// the environment.
struct ProgramEnvironment {
    // LC_ALL, LC_MESSAGES and LANG: the desktop's language, the first one set.
    std::string lcAll;
    std::string lcMessages;
    std::string lang;
    // XDG_DATA_HOME and HOME: the data home when ProgramServices::dataHome is empty.
    std::string xdgDataHome;
    std::string home;
    // The update server (update/UpdateConfig.h) and where its files go.
    std::string updateServer; // VELKOR_UPDATE_SERVER
    std::string updateCaFile; // VELKOR_UPDATE_CA
    std::string xdgConfigHome;
    std::string xdgCacheHome;
    std::string tmpdir;
    // Where the simulated family logs its frames (VELKOR_SIM_LOG; with --simulate only).
    std::string simLog;

    bool operator==(const ProgramEnvironment&) const = default;
};

// The variables above through `lookup` (the entry point's Environment); a
// null answer means unset.
ProgramEnvironment ReadProgramEnvironment(const std::function<const char*(const char* name)>& lookup);

struct ProgramServices {
    // Creates the toolkit on the calling thread with the resource folder given.
    ToolkitMaker makeToolkit;
    // The bus this program claims its name on; Stop closes it.
    MessageBus& bus;
    // The folder of the program file ("skin" and "Font" are looked up from it).
    std::string programFolder;
    // The program file itself, which the start-at-login entry runs; empty: the
    // settings window does not offer that choice.
    std::string programFile;
    // System font folders for the faces Debian's packages provide.
    std::vector<std::string> systemFontFolders{std::string(kSystemFontFolder)};
    // The hardware's back end, used without --simulate; may be empty (no devices).
    BackendMaker makeHardwareBackend;
    // The input hook's source for the whole desktop (the keyboards' and mice's
    // nodes), used without --simulate; may be empty: the hook then sees only
    // what reaches the main window. A simulated run never reads or grabs the
    // machine's own keyboards.
    GlobalInputMaker makeGlobalInput;
    // Whether the program starts the audio capture tool (velkor-audio, beside
    // it or in its helper folder) while a keyboard shows an audio effect.
    bool startAudioTool = false;
    // The per-user data home of the device folders; empty takes the
    // environment's XDG_DATA_HOME, else HOME + "/.local/share".
    std::string dataHome;
    // The environment variables the start reads.
    ProgramEnvironment environment;
    // The devices' clock; null uses the system's monotonic clock.
    const TickClock* deviceClock = nullptr;
    // The device API on the bus's connection: its members are exported before
    // the name is claimed, and the calls wait until the main window serves
    // them (only when this program owns the name); null: no device API.
    DeviceBusService* deviceService = nullptr;
    // Reports the system's sleep and resume to the main window; null: it never suspends.
    SleepWatcher* sleepWatcher = nullptr;
    // The desktop's pointer settings the mouse page shows and changes; null:
    // the page says the desktop offers none.
    DesktopPointerSettings* pointerSettings = nullptr;
    // Opens a folder in the desktop's file manager (downloaded updates); may be empty.
    std::function<bool(const std::string& folder)> openFolder;
    // Messages for the user, and the start-up time of --exit-after-start.
    std::FILE* err = stderr;
    std::FILE* out = stdout;
    // Where the start-up time is measured from (normally the entry of main).
    std::chrono::steady_clock::time_point startTime = std::chrono::steady_clock::now();
};

enum class StartResult {
    Running,       // the main window is shown: call RunLoop
    OtherInstance, // another instance runs and was told; end with 0
    StandBy,       // headless only: a window has the devices; wait until its name is free
    Failed,        // the program cannot start (message written); end with 1
};

class Program {
public:
    // Exit codes of a run.
    static constexpr int kExitOk = 0;
    static constexpr int kExitStartFailed = 1;

    // The services must outlive the program.
    Program(ProgramOptions options, ProgramServices& services);
    // Stops what still runs.
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    StartResult Start();
    // Runs the loop until the main window ends it; returns 0 (-1 when not running).
    int RunLoop();
    // Tears down in the reverse order of Start and closes the bus; idempotent.
    // A program starts once: Start after Stop is not supported.
    void Stop();

    // Any thread (a signal watcher): asks the running program to end as if its
    // window were closed. Before the loop runs, the loop ends as soon as it starts.
    void RequestQuit();

    // --- what Start built, for the entry point and tests (null before Start) ---
    ui::Toolkit* GetToolkit() const { return m_toolkit.get(); }
    CMainWnd* MainWindow() const { return m_mainWnd.get(); }
    HidBackend* Devices() const { return m_devices.get(); }
    const TypefaceSet* Typefaces() const { return m_typefaces.get(); }
    const LanguageTexts& Texts() const { return m_texts; }
    const ControlFactory& Factory() const { return m_factory; }
    // Milliseconds from the start time to the first shown main window; -1 before.
    int64_t StartUpMs() const { return m_startUpMs; }
    // Whether the loop ended because a window took the devices over (headless only).
    bool HandedOver() const { return m_handedOver; }
    // How long a window start waits for a headless instance to free the name.
    static constexpr int kTakeOverWaitMs = 10000;
    // The device API; null when it is not served.
    DeviceApi* Api() const { return m_deviceApi.get(); }
    // The per-user data home the main window was given (empty when there is none).
    const std::string& DataHome() const { return m_dataHome; }

private:
    // The steps of Start, in order; those that can fail say why in `error`.
    StartResult ClaimSingleInstance();
    void ClaimHeadlessName();
    StartResult TakeOverFromHeadless(const BusHandler& handler);
    bool StartToolkit(const ProgramFolders& folders, std::string* error);
    void LoadStartLanguage(const ProgramFolders& folders);
    std::string SimplifiedChineseFace() const;
    bool StartDevices(std::string* error);
    // Removes the temporary files of saves that were cut short (at start).
    void RemoveAbandonedWrites() const;
    bool CreateMainWindow(const ProgramFolders& folders, std::string* error);
    void CreateSettingsHost(const ProgramFolders& folders);
    void AnnounceLighting();
    void RouteMessages(ui::Dispatcher& dispatcher);
    void PostStartUpTime(ui::Dispatcher& dispatcher);
    // The device API on the bus: exported before the name is claimed; its calls
    // wait in the queue until ServeDeviceApi opens it to DeviceApi on the loop
    // (ProgramDeviceApi.cpp).
    void ExportDeviceApi();
    void ServeDeviceApi(ui::Dispatcher& dispatcher);
    void StopDeviceApi();
    // The SDK server on `port`, or off; false when it cannot listen (the reason goes to the error stream).
    bool SetSdkServer(bool on, uint16_t port);
    // The settings window's choice: stored in the settings file, then applied;
    // false with the reason when the server cannot run as chosen.
    bool ChooseSdkServer(bool on, uint16_t port, std::string* error);
    // Whether the SDK server runs, its port, why it does not, and its clients (velkorctl sdk).
    DeviceReply SdkStatus() const;
    StartResult Fail(const std::string& message);
    void PostQuitLocked();

    const ProgramOptions m_options;
    ProgramServices& m_services;
    BusInbox m_inbox;
    // Outlives the toolkit that shows its texts (declared before it).
    LanguageTexts m_texts;
    int m_languageIndex = 0;
    // The settings file ($XDG_CONFIG_HOME/VELKOR01/settings.json); empty when there is no home.
    std::string m_settingsPath;
    std::unique_ptr<ui::Toolkit> m_toolkit;
    std::unique_ptr<TypefaceSet> m_typefaces;
    ControlFactory m_factory;
    std::unique_ptr<HidBackend> m_devices;
    // Outlives the main window whose hook uses it, and posts to the toolkit's dispatcher.
    std::unique_ptr<HookInputSource> m_globalInput;
    SteadyTickClock m_toolClock;
    std::unique_ptr<AudioToolStarter> m_audioToolStarter;
    // Outlives the main window that runs it.
    std::unique_ptr<SettingsWindowHost> m_settings;
    std::unique_ptr<CMainWnd> m_mainWnd;
    // Goes before the main window it reads.
    std::unique_ptr<DeviceApi> m_deviceApi;
    DeviceCallQueue m_callQueue; // between the bus thread and the loop
    // The SDK server; goes before the device API it calls.
    std::unique_ptr<SdkBridge> m_sdk;
    int64_t m_startUpMs = -1;
    bool m_handedOver = false; // set on the loop's thread, read after the loop
    std::string m_dataHome;

    std::mutex m_quitMutex; // RequestQuit against Start and Stop
    bool m_quitRequested = false;
    ui::Dispatcher* m_dispatcher = nullptr;
};

// Start, RunLoop and Stop in one: the exit code of the whole run.
int RunProgram(const ProgramOptions& options, ProgramServices& services);

} // namespace velkor
