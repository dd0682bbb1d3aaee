// A DPI slider dragged through 100 positions and released, against the
// simulated mouse on its cable. The time is the calling (window) thread's per
// drag: the device's writes run on the mouse's worker. Goal: under 2 ms per
// drag, with at most two settings writes reaching the mouse ("writes"), the
// released value the last one it holds ("last_value", 1 when every drag ended
// so) and one profile save ("saves") per drag. "release_ms" is the wall time
// of the release alone, which saves the profile file at once (its fsync
// depends on the disk).
#include "devices/TolvanicMouseDevice.h"
#include "sim/SimBackend.h"
#include "ui/Dispatcher.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

namespace velkor {
namespace {

namespace fs = std::filesystem;

class SteadyTicks final : public TickClock {
public:
    uint32_t NowMs() const override {
        return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count());
    }
};

struct MouseRig {
    MouseRig() {
        fs::create_directories(folder / "program");
        fs::copy(fs::path(VELKOR_SOURCE_DIR) / "DefaultData", folder / "program" / "DefaultData",
                 fs::copy_options::recursive);
        sim.Plug(sim::SimUnit::Mouse);
        mouse.Paths().SetTypeName("mouse");
        mouse.Paths().SetLightSettingsName("ornic_light");
        mouse.SetModelCode(1);
        mouse.State().SetProfileIdentifier("bench");
        SupportedDevice identity;
        identity.vendorId = 0x320F;
        identity.productId = 0x7070;
        identity.kind = DeviceKind::Mouse;
        mouse.State().SetIdentity(identity);
        ready = mouse.Driver().CommandTransport().Open(ChannelType::Wired,
                                                       sim.CommandPath(sim::SimUnit::Mouse)) &&
                mouse.ReadLayout() && mouse.LoadDeviceProfile() && mouse.SaveDeviceProfile();
    }
    ~MouseRig() {
        mouse.Shutdown();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    size_t Sessions() const {
        size_t count = 0;
        for (const sim::SimFrame& frame : sim.Frames()) {
            count += frame.direction == sim::SimDirection::ToDevice && frame.bytes.size() > 3 &&
                     frame.bytes[3] == 0x01;
        }
        return count;
    }

    fs::path folder = fs::temp_directory_path() / ("velkor_bench_" + std::to_string(std::random_device()()));
    sim::SimBackend sim{7};
    ui::Dispatcher dispatcher;
    SteadyTicks ticks;
    CTolvanicMouseDevice mouse{
        DeviceServices{sim, dispatcher, ticks, {(folder / "program").string(), (folder / "data").string()}}};
    bool ready = false;
};

// Stage 1's X step as the mouse holds it in profile slot 0.
int HeldStep(const sim::SimBackend& sim) {
    const std::vector<uint8_t> params = sim.Memory(sim::SimModel::Mouse, sim::SimMemory::Params);
    constexpr size_t kStageOneX = 14 + sizeof(MouseStageBytes) + 2;
    return params.size() > kStageOneX + 1 ? params[kStageOneX] | params[kStageOneX + 1] << 8 : -1;
}

void BM_MouseDpiDrag(benchmark::State& state) {
    MouseRig rig;
    if (!rig.ready) {
        state.SkipWithError("mouse not attached");
        return;
    }
    const fs::path profile = rig.mouse.GetDeviceProfilePath();
    double writes = 0;
    double saves = 0;
    double lastValue = 0;
    double releaseSeconds = 0;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig.sim.ClearFrames();
        auto saved = fs::last_write_time(profile);
        state.ResumeTiming();
        for (int move = 0; move < 100; ++move) {
            rig.mouse.SetStageStep(1, (round + move) % 70, true);
        }
        const bool savedDuringDrag = fs::last_write_time(profile) != saved;
        const auto release = std::chrono::steady_clock::now();
        rig.mouse.SetStageStep(1, round % 70, false);
        releaseSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - release).count();
        state.PauseTiming();
        saves += savedDuringDrag;
        saves += fs::last_write_time(profile) != saved;
        // Outside the timed region: the worker drains.
        while (!rig.mouse.Driver().WorkerIdle()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        rig.dispatcher.ProcessPending();
        writes += double(rig.Sessions());
        lastValue += HeldStep(rig.sim) == rig.mouse.Stages()[1].dpiX;
        ++round;
        state.ResumeTiming();
    }
    const double drags = double(state.iterations());
    state.counters["writes"] = benchmark::Counter(writes / drags);
    state.counters["saves"] = benchmark::Counter(saves / drags);
    state.counters["release_ms"] = benchmark::Counter(releaseSeconds * 1e3 / drags);
    state.counters["last_value"] = benchmark::Counter(lastValue / drags);
}
BENCHMARK(BM_MouseDpiDrag)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velkor

BENCHMARK_MAIN();
