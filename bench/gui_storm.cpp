// A storm of failing writes with the window open: the main window on the
// in-memory toolkit with the real skin, the wireless mouse behind its
// receiver switched off, and 8,000 macro and key writes that each fail and
// report to the window. Goal: the process's memory ends within 10 MB of where
// it began ("growth_mb", resident set after the storm less before it), as
// the failures share one notice instead of stacking message boxes
// ("modal_runs" 0, "boxes_shown" 1).
#include "app/AppTestSupport.h"
#include "app/CMainWnd.h"
#include "app/ControlFactory.h"
#include "app/DevicePanels.h"
#include "devices/TolvanicUSBDevice.h"
#include "sim/SimBackend.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <unistd.h>

namespace velkor {
namespace {

namespace fs = std::filesystem;

double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The window and its simulated mouse, as the application tests build them.
class StormRig {
public:
    StormRig() {
        fs::create_directories(m_folder);
        fs::copy(fs::path(VELKOR_SOURCE_DIR) / "DefaultData", m_folder / "DefaultData",
                 fs::copy_options::recursive);
        RegisterProgramControlClasses(m_factory);
        m_sim.Plug(sim::SimUnit::MouseReceiver);
        MainWndServices services{*m_toolkit, m_factory, &m_sim};
        services.clock = &m_ticks;
        services.programFolder = m_folder.string();
        services.dataHome = m_folder.string();
        m_main = std::make_unique<CMainWnd>(services);
        if (!m_main->Create()) {
            return;
        }
        m_mouse = Wait(50, [&] {
            CTolvanicUSBDevice* found =
                m_main->Discovery() != nullptr ? m_main->Discovery()->DeviceOfModel(0) : nullptr;
            return found != nullptr && found->Driver().LightThreadRunning() ? found : nullptr;
        });
        m_sim.SetWireless(sim::SimModel::Mouse, false);
        // A box that waits (none should) is read and closed by the user a moment later.
        m_toolkit->SetModalDriver([this](ui::MemoryWindow& box) {
            ++m_modalRuns;
            m_toolkit->GetDispatcher().Post([this, &box] { m_user.Click(box, "confirm_btn"); });
        });
    }
    ~StormRig() {
        m_main.reset();
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }

    bool Ready() const { return m_mouse != nullptr && m_main->PanelsOf(*m_mouse) != nullptr; }
    int Failed() const { return m_failed; }
    int ModalRuns() const { return m_modalRuns; }
    // Message boxes showing now.
    int BoxesShown() const {
        int shown = 0;
        for (ui::MemoryWindow* window : m_toolkit->Windows()) {
            shown += window->ClassName() == "MsgWnd" && window->IsVisible();
        }
        return shown;
    }

    // `count` writes queued at once, their failures reported; false on a hang.
    bool Storm(int count) {
        DevicePanelSet& panels = *m_main->PanelsOf(*m_mouse);
        int done = 0;
        for (int i = 0; i < count; ++i) {
            if (!panels.WriteMacrosAndKeys(false, [&](int result) {
                    ++done;
                    m_failed += result != 0;
                })) {
                return false;
            }
        }
        const bool ended = Wait(1, [&] { return done == count ? &done : nullptr; }) != nullptr;
        m_sim.ClearFrames(); // the simulator's log of frames is the bench's, not the program's
        return ended;
    }

private:
    // Runs the window's queue and its timers in steps of `stepMs` until `find` gives something.
    template <class Find> auto Wait(int stepMs, Find find) -> decltype(find()) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            m_toolkit->ProcessPending();
            m_toolkit->AdvanceTime(stepMs);
            if (auto found = find()) {
                return found;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return find();
    }

    fs::path m_folder =
        fs::temp_directory_path() / ("velkor_bench_storm_" + std::to_string(std::random_device()()));
    ui::ManualClock m_clock{100000};
    test::ManualTicks m_ticks{m_clock};
    std::unique_ptr<ui::MemoryToolkit> m_toolkit =
        ui::MemoryToolkit::Create((fs::path(VELKOR_SOURCE_DIR) / "skin").string(), m_clock);
    ControlFactory m_factory;
    sim::SimBackend m_sim{7};
    ui::MemoryUser m_user;
    std::unique_ptr<CMainWnd> m_main;
    CTolvanicUSBDevice* m_mouse = nullptr;
    int m_failed = 0;
    int m_modalRuns = 0;
};

void BM_FailingWriteStorm(benchmark::State& state) {
    const int events = int(state.range(0));
    constexpr int kBatch = 200; // queued at once, as a burst of plug events would
    StormRig rig;
    if (!rig.Ready()) {
        state.SkipWithError("the window or its mouse did not come up");
        return;
    }
    double before = 0;
    double after = 0;
    for (auto _ : state) {
        before = ResidentMb();
        for (int sent = 0; sent < events; sent += kBatch) {
            if (!rig.Storm(kBatch)) {
                state.SkipWithError("the storm hung");
                return;
            }
        }
        after = ResidentMb();
    }
    state.counters["rss_before_mb"] = before;
    state.counters["rss_after_mb"] = after;
    state.counters["growth_mb"] = after - before;
    state.counters["failed_writes"] = rig.Failed();
    state.counters["modal_runs"] = rig.ModalRuns();
    state.counters["boxes_shown"] = rig.BoxesShown();
}
// 8,000 as the attack sent; 32,000 shows that the memory levels.
BENCHMARK(BM_FailingWriteStorm)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Arg(8000)
    ->Arg(32000);

} // namespace
} // namespace velkor

BENCHMARK_MAIN();
