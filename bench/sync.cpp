// Cost of the lighting synchronisation thread: CPU time it takes per second of
// running, with four simulated devices synchronised (a keyboard of 170 LEDs, a
// mouse, a mouse pad and a headset) and with none (goal: nothing measurable,
// the thread then sleeps 1000 ms between looks). Also the cost of one pass
// that steps and paints the four devices.
//
// The CPU time is the process's (std::clock); the benchmark's own thread only
// sleeps meanwhile, so it is the synchronisation thread's.
#include "devices/DeviceLinks.h"
#include "devices/TolvanicUSBDevice.h"
#include "lighting/LightCommit.h"
#include "lighting/SyncLighting.h"
#include "sim/SimBackend.h"
#include "ui/Dispatcher.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

namespace velkor {
namespace {

struct Rig {
    explicit Rig(bool synchronised) {
        const std::pair<DeviceKind, int> kinds[4] = {{DeviceKind::Keyboard, 170},
                                                     {DeviceKind::Mouse, 15},
                                                     {DeviceKind::MousePad, 14},
                                                     {DeviceKind::Headset, 2}};
        // Each device is open on its simulated unit: the synchronisation paints open devices only.
        const sim::SimUnit kUnits[4] = {sim::SimUnit::Keyboard, sim::SimUnit::Mouse, sim::SimUnit::MousePad,
                                        sim::SimUnit::Headset};
        SyncLighting::DeviceLists lists;
        for (size_t i = 0; i < 4; ++i) {
            auto device = MakeDevice<CTolvanicUSBDevice>(DeviceServices{backend, dispatcher, clock, {}});
            SupportedDevice row;
            row.kind = kinds[i].first;
            device->State().SetIdentity(row);
            device->SetLightCount(kinds[i].second);
            const sim::SimUnit unit = kUnits[i];
            backend.Plug(unit);
            device->Driver().CommandTransport().Open(ChannelType::Wired, backend.CommandPath(unit), false);
            SetSynchronised(*device, synchronised);
            lists[i].push_back(device.get());
            devices.push_back(std::move(device));
        }
        sync.SetDevices(lists);
        SyncParameters p;
        p.effect = SyncEffect::Breathing;
        p.speed = 4; // the fastest steps
        p.light = 4;
        p.multiColor = 1;
        sync.SetParameters(p);
    }

    sim::SimBackend backend{5};
    ui::Dispatcher dispatcher;
    SteadyTickClock clock;
    std::vector<DevicePtr> devices;
    SyncLighting sync{clock};
};

// Runs the thread for one second per iteration and reports its CPU milliseconds.
void RunThreadForOneSecond(benchmark::State& state, bool synchronised) {
    Rig rig(synchronised);
    double cpuMs = 0;
    for (auto _ : state) {
        const std::clock_t before = std::clock();
        rig.sync.Start();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        rig.sync.Stop();
        cpuMs += 1000.0 * double(std::clock() - before) / CLOCKS_PER_SEC;
    }
    state.counters["cpu_ms_per_s"] = cpuMs / double(state.iterations());
}

void BM_SyncThreadFourDevices(benchmark::State& state) {
    RunThreadForOneSecond(state, true);
}
BENCHMARK(BM_SyncThreadFourDevices)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SyncThreadNoneSynchronised(benchmark::State& state) {
    RunThreadForOneSecond(state, false);
}
BENCHMARK(BM_SyncThreadNoneSynchronised)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// One pass that steps the effect and paints the 201 LEDs of the four devices.
void BM_SyncStepFourDevices(benchmark::State& state) {
    Rig rig(true);
    uint32_t now = 0;
    for (auto _ : state) {
        // With speed 4 every seventh pass steps; count only passes that step.
        for (int i = 0; i < 7; ++i) {
            now += 2;
            benchmark::DoNotOptimize(rig.sync.Pass(now));
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SyncStepFourDevices);

} // namespace
} // namespace velkor

BENCHMARK_MAIN();
