// The transport's own cost: round trips against a back end that answers at
// once, paged commands, and one enumeration.
#include "platform/hidraw/HidrawBackend.h"
#include "sim/SimBackend.h"
#include "support/ScriptedBackend.h"
#include "transport/DeviceTransport.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using velkor::test::ScriptedBackend;

const std::string kPath = "bench:wired#vid_320f&pid_7070&mi_01&col04";

struct OpenTransport {
    ScriptedBackend backend;
    velkor::DeviceTransport transport{backend};
    OpenTransport() {
        backend.Add(kPath, {});
        transport.Open(velkor::ChannelType::Wired, kPath);
    }
};

void BM_TransactRoundTrip(benchmark::State& state) {
    OpenTransport t;
    velkor::Frame request{};
    request[0] = 0x04;
    request[3] = 0x05;
    velkor::SealFrame(request);
    velkor::Frame reply{};
    for (auto _ : state) {
        int result =
            t.transport.Transact(request.data(), request.size(), reply.data(), reply.size(), nullptr);
        if (result != 1) {
            state.SkipWithError("transaction failed");
            break;
        }
        benchmark::DoNotOptimize(reply);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TransactRoundTrip);

void BM_ReadKeyTable512(benchmark::State& state) {
    OpenTransport t;
    uint8_t keys[512];
    for (auto _ : state) {
        if (t.transport.ReadKeyTable(keys) != 1) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(keys);
    }
    state.SetItemsProcessed(state.iterations() * 10); // 10 frames of 56 bytes
}
BENCHMARK(BM_ReadKeyTable512);

void BM_Enumerate(benchmark::State& state) {
    ScriptedBackend backend;
    for (int i = 0; i < 13; ++i) {
        backend.Add("bench:" + std::to_string(i) + "#vid_320f&pid_7070&mi_01&col04", {});
    }
    velkor::HidInterface hid(backend);
    for (auto _ : state) {
        hid.Enumerate();
        int count = 0;
        while (hid.NextPath() != nullptr) {
            ++count;
        }
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_Enumerate);

// One Enumerate over libudev on this machine (whatever hidraw nodes it has).
void BM_EnumerateHidraw(benchmark::State& state) {
    velkor::HidrawBackend backend;
    velkor::HidInterface hid(backend);
    for (auto _ : state) {
        if (!hid.Enumerate()) {
            state.SkipWithError("udev enumeration failed");
            break;
        }
        benchmark::DoNotOptimize(hid.PathCount());
    }
}
BENCHMARK(BM_EnumerateHidraw);

// A paged read against the simulated mouse: framing, firmware and log included.
void BM_SimulatedDeviceInfo(benchmark::State& state) {
    velkor::sim::SimBackend backend(1);
    backend.PlugFamily();
    backend.SetFrameLogLimit(16);
    velkor::DeviceTransport transport(backend);
    transport.Open(velkor::ChannelType::Wired, backend.CommandPath(velkor::sim::SimUnit::Mouse));
    uint8_t info[velkor::kDeviceInfoSize];
    for (auto _ : state) {
        if (transport.ReadDeviceInfo(info) != 1) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(info);
    }
}
BENCHMARK(BM_SimulatedDeviceInfo);

} // namespace

BENCHMARK_MAIN();
