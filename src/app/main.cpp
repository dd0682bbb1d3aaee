// velkor: the configuration centre on the Qt toolkit, the D-Bus session bus
// and the hidraw devices (or the simulated family with --simulate).
#include "app/Autostart.h"
#include "app/CommandLine.h"
#include "app/GlobalInputSource.h"
#include "app/HeadlessStandby.h"
#include "app/Program.h"
#include "app/ProgramFolders.h"
#include "devices/SupportedDevices.h"
#include "platform/Environment.h"
#include "platform/Trace.h"
#include "platform/bus/DbusMessageBus.h"
#include "platform/bus/DeviceBusService.h"
#include "platform/bus/ServiceNotify.h"
#include "platform/desktop/DesktopPointerSettings.h"
#include "platform/hidraw/HidrawBackend.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/qt/QtToolkit.h"
#include "ui/qt/QtWindow.h"
#include "update/HttpClient.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

// Turns SIGINT and SIGTERM into an orderly end of the program (its bus name
// released, its windows closed); a second one ends it at once. The handler only
// writes a byte to a pipe (all it may do); a thread of its own reads the pipe
// and calls back. The signal mask stays as it is, so that programs started
// later do not inherit blocked signals.
class SignalWatcher {
public:
    explicit SignalWatcher(std::function<void()> onSignal) : m_onSignal(std::move(onSignal)) {
        if (pipe2(m_pipe, O_CLOEXEC) != 0) {
            return; // no watcher: the signals keep their default action
        }
        s_writeFd = m_pipe[1];
        m_thread = std::thread([this] { Watch(); });
        struct sigaction action {};
        action.sa_handler = [](int) {
            const char byte = kSignalled;
            [[maybe_unused]] const ssize_t written = write(s_writeFd, &byte, 1);
        };
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }
    ~SignalWatcher() {
        if (!m_thread.joinable()) {
            return;
        }
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        const char byte = kStop;
        [[maybe_unused]] const ssize_t written = write(m_pipe[1], &byte, 1);
        m_thread.join();
        close(m_pipe[0]);
        close(m_pipe[1]);
    }
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

private:
    static constexpr char kSignalled = 's';
    static constexpr char kStop = 'q';
    // The handler can reach nothing else; there is one watcher per process.
    static inline int s_writeFd = -1;

    void Watch() {
        char byte = 0;
        for (int received = 0; read(m_pipe[0], &byte, 1) == 1 && byte != kStop;) {
            if (++received > 1) {
                std::_Exit(1);
            }
            m_onSignal();
        }
    }

    std::function<void()> m_onSignal;
    int m_pipe[2] = {-1, -1};
    std::thread m_thread;
};

// Qt aborts when it finds no display; say so plainly instead.
bool DisplayAvailable(const velkor::Environment& environment) {
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        const char* value = environment.Find(name);
        if (value != nullptr && value[0] != '\0') {
            return true;
        }
    }
    return false;
}

// --screenshot: waits until a device item has been visible for a while (so that
// the devices have read themselves) or a bound has passed, saves the main
// window as PNG and ends the program. Polls on the loop's own timer.
class ScreenshotTaker {
public:
    static constexpr int kPollMs = 100;
    static constexpr int kSettleMs = 1500;
    static constexpr int kGiveUpMs = 15000;

    ScreenshotTaker(velkor::Program& program, std::string file)
        : m_program(program), m_file(std::move(file)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start(kPollMs);
    }
    bool Failed() const { return m_failed; }

private:
    void Poll() {
        m_waitedMs += kPollMs;
        velkor::CMainWnd* main = m_program.MainWindow();
        if (main != nullptr && main->GetWindow() != nullptr && main->DeviceList().AnyItemVisible()) {
            m_shownMs += kPollMs;
        }
        if (m_shownMs < kSettleMs && m_waitedMs < kGiveUpMs) {
            return;
        }
        m_timer.stop();
        auto* window = main != nullptr ? dynamic_cast<velkor::ui::QtWindow*>(main->GetWindow()) : nullptr;
        QWidget* widget = window != nullptr ? window->RootWidget() : nullptr;
        if (widget == nullptr || !widget->window()->grab().save(QString::fromStdString(m_file), "PNG")) {
            std::fprintf(stderr, "velkor: cannot save the screenshot to %s\n", m_file.c_str());
            m_failed = true;
        }
        m_program.RequestQuit();
    }

    velkor::Program& m_program;
    std::string m_file;
    QTimer m_timer;
    int m_waitedMs = 0;
    int m_shownMs = 0;
    bool m_failed = false;
};

// --headless: the in-memory toolkit on real time. Nobody can answer a message
// box there, so every modal window closes at once with its default answer.
std::unique_ptr<velkor::ui::Toolkit> MakeHeadlessToolkit(const std::string& folder,
                                                         velkor::ui::ManualClock& clock, std::string* why) {
    auto toolkit = velkor::ui::MemoryToolkit::Create(folder, clock, why, true);
    if (toolkit) {
        toolkit->SetModalDriver([](velkor::ui::MemoryWindow& window) {
            velkor::Trace("headless: a dialog was answered with its default");
            window.Close(0);
        });
    }
    return toolkit;
}

// Before the first window: docks group the windows under the desktop entry
// (Wayland app id, X11 window class) and show the program's icon, the
// installed theme's when there is one, else the tray picture of the skin.
void IdentifyToDesktop(const std::string& skinFolder) {
    const QString id = QStringLiteral("org.velkor.VELKOR01");
    QGuiApplication::setApplicationName(id);
    QGuiApplication::setDesktopFileName(id);
    const QString fallback = QString::fromStdString(skinFolder) + QStringLiteral("/common/tray.png");
    QGuiApplication::setWindowIcon(QIcon::fromTheme(id, QIcon(fallback)));
}

// velkor --autostart on|off: no display, no bus, no devices.
int RunAutostart(bool on, const velkor::Environment& environment) {
    const std::string path =
        velkor::AutostartFilePath(environment.Get("XDG_CONFIG_HOME"), environment.Get("HOME"));
    std::string error;
    if (!velkor::SetAutostart(path, on, velkor::ExecutablePath(), &error)) {
        std::fprintf(stderr, "velkor: start at login not turned %s: %s\n", on ? "on" : "off", error.c_str());
        return 1;
    }
    std::printf(on ? "start at login is on: %s\n" : "start at login is off: no %s\n", path.c_str());
    return 0;
}

// One program from start to end on a bus connection of its own; `setRunning`
// lets the signal watcher reach it while it runs.
struct Turn {
    velkor::StartResult result = velkor::StartResult::Failed;
    int code = velkor::Program::kExitStartFailed;
    bool handedOver = false;
};
Turn RunTurn(int& argc, char** argv, const velkor::ProgramOptions& options,
             const velkor::Environment& environment, std::chrono::steady_clock::time_point startTime,
             const std::function<void(velkor::Program*)>& setRunning,
             const std::function<void(velkor::StartResult)>& started) {
    velkor::DbusMessageBus bus;
    velkor::DeviceBusService deviceService(bus); // stopped by the program before the bus closes
    velkor::ui::ManualClock headlessClock;       // the in-memory toolkit's, moved by real time
    velkor::SleepWatcher sleepWatcher;           // logind on the system bus
    velkor::DesktopPointerSettings pointerSettings(
        velkor::DesktopPointerSettings::OptionsFromEnvironment(environment, velkor::FamilyMouseIds()));
    velkor::ProgramServices services{
        .makeToolkit = [&argc, argv, &options, &headlessClock](const std::string& folder, std::string* why)
            -> std::unique_ptr<velkor::ui::Toolkit> {
            if (options.headless) {
                return MakeHeadlessToolkit(folder, headlessClock, why);
            }
            auto toolkit = velkor::ui::QtToolkit::Create(folder, argc, argv, why);
            if (toolkit) {
                IdentifyToDesktop(folder);
            }
            return toolkit;
        },
        .bus = bus,
        .programFolder = velkor::ExecutableFolder(),
        .programFile = velkor::ExecutablePath(),
        .makeHardwareBackend = [] { return std::make_unique<velkor::HidrawBackend>(); },
        .makeGlobalInput =
            [](velkor::ui::Dispatcher& dispatcher) -> std::unique_ptr<velkor::HookInputSource> {
            return std::make_unique<velkor::GlobalInputSource>(dispatcher);
        },
        .startAudioTool = true,
        .environment = velkor::ReadProgramEnvironment(
            [&environment](const char* name) { return environment.Find(name); }),
        .deviceService = &deviceService,
        .sleepWatcher = &sleepWatcher,
        .pointerSettings = &pointerSettings,
        .openFolder =
            [](const std::string& folder) {
                return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
            },
        .startTime = startTime,
    };
    velkor::Program program(options, services);
    Turn turn;
    setRunning(&program);
    turn.result = program.Start();
    started(turn.result);
    switch (turn.result) {
    case velkor::StartResult::Running: {
        std::unique_ptr<ScreenshotTaker> screenshot;
        if (!options.screenshot.empty()) {
            screenshot = std::make_unique<ScreenshotTaker>(program, options.screenshot);
        }
        program.RunLoop();
        turn.code =
            screenshot && screenshot->Failed() ? velkor::Program::kExitStartFailed : velkor::Program::kExitOk;
        break;
    }
    case velkor::StartResult::OtherInstance:
    case velkor::StartResult::StandBy:
        turn.code = velkor::Program::kExitOk;
        break;
    case velkor::StartResult::Failed:
        break;
    }
    setRunning(nullptr);
    program.Stop();
    turn.handedOver = program.HandedOver();
    return turn;
}

} // namespace

int main(int argc, char** argv) {
    const auto startTime = std::chrono::steady_clock::now();
    const velkor::HttpGlobalInit http; // before any thread starts
    // The only read of the process environment; everything below gets this copy.
    const velkor::Environment environment = velkor::Environment::FromProcess();
    velkor::ProgramOptions options;
    std::string error;
    velkor::AutostartChoice autostart = velkor::AutostartChoice::Off;
    switch (velkor::ParseCommandLine(argc, argv, options, error, &autostart)) {
    case velkor::CommandLineAction::Run:
        break;
    case velkor::CommandLineAction::Help:
        velkor::PrintUsage(stdout);
        return 0;
    case velkor::CommandLineAction::Version:
        std::printf("%s\n", velkor::VersionText().c_str());
        return 0;
    case velkor::CommandLineAction::Autostart:
        return RunAutostart(autostart == velkor::AutostartChoice::On, environment);
    case velkor::CommandLineAction::Error:
        std::fprintf(stderr, "velkor: %s\n", error.c_str());
        velkor::PrintUsage(stderr);
        return 2;
    }
    velkor::InitTraceFromEnvironment(environment);
    if (options.trace) {
        velkor::SetTraceEnabled(true);
    }
    if (!options.headless && !DisplayAvailable(environment)) {
        std::fprintf(stderr, "velkor: no display (neither DISPLAY nor WAYLAND_DISPLAY is set; "
                             "--headless or QT_QPA_PLATFORM=offscreen run without one)\n");
        return 1;
    }

    // Quits the running program, or ends a headless instance's stand-by.
    velkor::HeadlessStandby standby;
    std::mutex runningMutex;
    velkor::Program* running = nullptr;
    bool quit = false;
    // Destroyed after every program it calls.
    SignalWatcher signalWatcher([&] {
        std::lock_guard lock(runningMutex);
        quit = true;
        standby.Cancel();
        if (running != nullptr) {
            running->RequestQuit();
        }
    });
    const auto setRunning = [&](velkor::Program* program) {
        std::lock_guard lock(runningMutex);
        running = program;
        if (program != nullptr && quit) {
            program->RequestQuit();
        }
    };
    // A headless instance hands the devices to a window started meanwhile and
    // takes them back once it ends: each turn is a program of its own.
    for (bool first = true;; first = false) {
        const Turn turn = RunTurn(
            argc, argv, options, environment, startTime, setRunning,
            [first, &options](velkor::StartResult result) {
                // systemd's unit of Type=notify: ready once serving or standing by.
                if (first && options.headless &&
                    (result == velkor::StartResult::Running || result == velkor::StartResult::StandBy)) {
                    velkor::NotifyServiceManager("READY=1");
                }
            });
        if (!options.headless || !(turn.handedOver || turn.result == velkor::StartResult::StandBy)) {
            return turn.code;
        }
        velkor::NotifyServiceManager("STATUS=A window has the devices: standing by until it ends");
        velkor::DbusMessageBus watcher;
        if (!standby.Wait(watcher)) {
            return velkor::Program::kExitOk;
        }
        velkor::NotifyServiceManager("STATUS=Serving the devices");
    }
}
