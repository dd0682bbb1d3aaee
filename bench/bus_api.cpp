// The device API over a private session bus, with the program (headless, on
// the in-memory toolkit) and the simulated family in this process. Goals:
// SetLighting costing the program under 2 ms of CPU per call
// ("program_cpu_us"; the answer comes once the keyboard's write has ended, so
// its round trip also holds "waiting_us": wall time in which no thread of the
// process used the CPU, i.e. the device's transfers, the protocol's 10 ms
// wait and the profile file's sync to disk); GetSettings costing the program under
// 0.2 ms of CPU per call ("program_cpu_us" per call: the process's CPU time
// less the calling thread's, over 1,000 calls); and the bus answering other
// calls while a device write runs ("answers_during_write" per write, with
// their round trip "get_us_during_write").
#include "app/Program.h"
#include "bus/PrivateBus.h"
#include "platform/bus/DbusMessageBus.h"
#include "platform/bus/DeviceBusClient.h"
#include "platform/bus/DeviceBusService.h"
#include "ui/memory/MemoryToolkit.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

namespace velkor {
namespace {

namespace fs = std::filesystem;

double CpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Runs `work` on this thread (the client) and returns the CPU seconds the rest
// of the process, the program, spent meanwhile.
template <class Work> double ProgramCpuDuring(Work&& work) {
    const double processBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double callerBefore = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    work();
    const double caller = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - callerBefore;
    return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore - caller;
}

// The program on a thread of its own, as `velkor --headless --simulate` runs it.
class HeadlessProgram {
public:
    HeadlessProgram() {
        std::string why;
        if (!test::PrivateBus::DaemonInstalled() || !m_daemon.Start(why)) {
            std::fprintf(stderr, "bus_api: no private bus: %s\n", why.c_str());
            return;
        }
        m_thread = std::thread([this] { Run(); });
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_state != State::Starting; });
        if (m_state == State::Running && !WaitForDevices()) {
            m_state = State::Failed;
        }
    }
    ~HeadlessProgram() {
        if (m_thread.joinable()) {
            {
                std::lock_guard lock(m_mutex);
                if (m_program != nullptr) {
                    m_program->RequestQuit();
                }
            }
            m_thread.join();
        }
        std::error_code ec;
        fs::remove_all(m_home, ec);
    }

    bool Ready() const { return m_state == State::Running; }
    const std::string& Address() const { return m_daemon.Address(); }

private:
    enum class State { Starting, Running, Failed };

    void Run() {
        DbusMessageBus bus(m_daemon.Address());
        DeviceBusService service(bus);
        ui::ManualClock clock;
        ProgramServices services{
            .makeToolkit = [&clock](const std::string& folder,
                                    std::string* why) -> std::unique_ptr<ui::Toolkit> {
                return ui::MemoryToolkit::Create(folder, clock, why, true);
            },
            .bus = bus,
            .programFolder = VELKOR_SOURCE_DIR,
            .systemFontFolders = {},
            .dataHome = m_home.string(),
            .deviceService = &service,
        };
        Program program({.simulate = true, .headless = true}, services);
        const bool started = program.Start() == StartResult::Running;
        {
            std::lock_guard lock(m_mutex);
            m_program = started ? &program : nullptr;
            m_state = started ? State::Running : State::Failed;
        }
        m_changed.notify_all();
        if (started) {
            program.RunLoop();
        }
        {
            std::lock_guard lock(m_mutex);
            m_program = nullptr;
        }
        program.Stop();
    }
    // Until the keyboard and the mouse have read themselves (a bound against a hang).
    bool WaitForDevices() {
        DeviceBusClient client(m_daemon.Address());
        DeviceCall call;
        call.method = DeviceMethod::GetSettings;
        call.id = "mouse-7070";
        for (int tries = 0; tries < 300; ++tries) {
            const DeviceReply reply = client.Call(call);
            const BusValue* stages = FindBusValue(reply.settings, "dpi-stages");
            const auto* dpi = stages != nullptr ? std::get_if<std::vector<int32_t>>(stages) : nullptr;
            if (dpi != nullptr && !dpi->empty() && dpi->front() > 0) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    fs::path m_home =
        fs::temp_directory_path() / ("velkor_bench_api_" + std::to_string(std::random_device()()));
    test::PrivateBus m_daemon;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state = State::Starting;
    Program* m_program = nullptr;
};

HeadlessProgram& Shared() {
    static HeadlessProgram program; // one program for every benchmark of this run
    return program;
}

void BM_SetLightingRoundTrip(benchmark::State& state) {
    HeadlessProgram& program = Shared();
    if (!program.Ready()) {
        state.SkipWithError("the headless program did not start");
        return;
    }
    DeviceBusClient client(program.Address());
    DeviceCall call;
    call.method = DeviceMethod::SetLighting;
    call.id = "keyboard-50b7";
    int32_t level = 1;
    double programCpu = 0;
    double wall = 0;
    int64_t calls = 0;
    for (auto _ : state) {
        call.fields = {{"brightness", level}};
        level = level == 1 ? 2 : 1;
        DeviceReply reply;
        const auto start = std::chrono::steady_clock::now();
        programCpu += ProgramCpuDuring([&] { reply = client.Call(call); });
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++calls;
        if (reply.status != DeviceCallStatus::Ok) {
            state.SkipWithError(reply.message.c_str());
            return;
        }
    }
    // The simulated device runs in this process: its own CPU counts as the program's.
    const double perCall = calls > 0 ? 1e6 / double(calls) : 0;
    state.counters["program_cpu_us"] = programCpu * perCall;
    state.counters["waiting_us"] = std::max(0.0, wall - programCpu) * perCall;
}
BENCHMARK(BM_SetLightingRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

void BM_GetSettingsProgramCpu(benchmark::State& state) {
    HeadlessProgram& program = Shared();
    if (!program.Ready()) {
        state.SkipWithError("the headless program did not start");
        return;
    }
    constexpr int kCalls = 1000;
    DeviceBusClient client(program.Address());
    DeviceCall call;
    call.method = DeviceMethod::GetSettings;
    call.id = "keyboard-50b7";
    double programCpu = 0;
    int64_t calls = 0;
    for (auto _ : state) {
        bool failed = false;
        programCpu += ProgramCpuDuring([&] {
            for (int i = 0; i < kCalls && !failed; ++i) {
                failed = client.Call(call).status != DeviceCallStatus::Ok;
            }
        });
        if (failed) {
            state.SkipWithError("GetSettings failed");
            return;
        }
        calls += kCalls;
    }
    state.counters["program_cpu_us"] = calls > 0 ? programCpu / double(calls) * 1e6 : 0;
}
BENCHMARK(BM_GetSettingsProgramCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A lighting write of the keyboard on one connection, GetSettings of the same
// keyboard on another meanwhile: the window's thread and the bus thread are
// free while the write runs on the keyboard's worker.
void BM_GetSettingsDuringWrite(benchmark::State& state) {
    HeadlessProgram& program = Shared();
    if (!program.Ready()) {
        state.SkipWithError("the headless program did not start");
        return;
    }
    DeviceBusClient reader(program.Address());
    DeviceCall get;
    get.method = DeviceMethod::GetSettings;
    get.id = "keyboard-50b7";
    int32_t level = 1;
    double answers = 0;
    double getSeconds = 0;
    int64_t writes = 0;
    for (auto _ : state) {
        level = level == 1 ? 2 : 1;
        std::atomic<bool> done{false};
        DeviceCallStatus status = DeviceCallStatus::Ok;
        std::thread writer([&] {
            DeviceBusClient client(program.Address());
            DeviceCall set;
            set.method = DeviceMethod::SetLighting;
            set.id = "keyboard-50b7";
            set.fields = {{"brightness", level}};
            status = client.Call(set).status;
            done = true;
        });
        while (!done) {
            const auto start = std::chrono::steady_clock::now();
            const DeviceReply reply = reader.Call(get);
            if (done) {
                break; // answered after the write: not counted
            }
            getSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            answers += reply.status == DeviceCallStatus::Ok;
        }
        writer.join();
        ++writes;
        if (status != DeviceCallStatus::Ok) {
            state.SkipWithError("SetLighting failed");
            return;
        }
    }
    state.counters["answers_during_write"] = writes > 0 ? answers / double(writes) : 0;
    state.counters["get_us_during_write"] = answers > 0 ? getSeconds / answers * 1e6 : 0;
}
BENCHMARK(BM_GetSettingsDuringWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);

} // namespace
} // namespace velkor

BENCHMARK_MAIN();
