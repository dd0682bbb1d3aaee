// The keyboard's live stream on the simulated keyboard's cable for one
// second per run, while another thread (standing in for the window) keeps a
// core busy: frames per second and deadlines missed. An instant device
// should see every 10 ms deadline (100 frames/s, none missed); a device that
// answers each chunk 1 ms late still fits its 7 chunks in a period.
#include "devices/KeyboardLiveStream.h"
#include "devices/LightTables.h"
#include "sim/SimBackend.h"
#include "transport/DeviceTransport.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace velkor {
namespace {

constexpr int kPositions = 126;

void BM_Stream(benchmark::State& state, uint32_t replyDelayMs) {
    sim::SimBackend sim(1);
    sim.SetFrameLogLimit(0);
    sim.Plug(sim::SimUnit::Keyboard);
    DeviceTransport transport(sim);
    if (!transport.Open(ChannelType::Wired, sim.CommandPath(sim::SimUnit::Keyboard))) {
        state.SkipWithError("the simulated keyboard did not open");
        return;
    }
    if (replyDelayMs > 0) {
        sim.InjectFault(sim::SimUnit::Keyboard, {sim::SimFaultKind::Delay, 1, 0, replyDelayMs});
    }
    LedState leds;
    leds.With([](LedFrame& frame) {
        frame.Resize(170);
        frame.light.selectItem = 30;
        frame.Fill(PackLed(200, 100, 50, 255));
    });
    KeyboardKeyMaps maps;
    for (int k = 0; k < kPositions; ++k) {
        maps.lightSlot[size_t(k)] = uint8_t(k);
    }
    SteadyStreamClock clock;
    double frames = 0;
    double missed = 0;
    double seconds = 0;
    for (auto _ : state) {
        std::atomic<bool> busy{true};
        std::thread window([&] {
            volatile uint64_t work = 0;
            while (busy) {
                work = work + 1;
            }
        });
        KeyboardLiveStream stream(
            transport, leds, [] { return true; }, clock);
        stream.SetLayout(maps, kPositions);
        const auto started = std::chrono::steady_clock::now();
        stream.Start();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        stream.Join();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
        busy = false;
        window.join();
        const KeyboardLiveStream::Stats stats = stream.Statistics();
        frames += double(stats.frames);
        missed += double(stats.missedTicks);
        seconds += elapsed.count();
    }
    state.counters["frames_per_s"] = seconds > 0 ? frames / seconds : 0;
    state.counters["missed_ticks"] = missed / double(state.iterations());
}

BENCHMARK_CAPTURE(BM_Stream, Instant, 0u)
    ->Name("Stream/Cable/Instant")
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Stream, Delayed, 1u)
    ->Name("Stream/Cable/1msDevice")
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velkor

BENCHMARK_MAIN();
