// Cost of the headset's OutputLightFrame on the calling (user-interface)
// thread while the headset is slow: every LED output report takes 2 ms, as a
// control transfer on a headset without an interrupt OUT endpoint does, so
// one frame of twelve takes 24 ms on the wire (goal: under 20 µs a call, the
// writes never on the caller).
//
// The frames differ on every call, so none is skipped as unchanged; the
// sender keeps one pending frame and the counters show how many were written
// and how many a newer one replaced.
#include "devices/DeviceLinks.h"
#include "devices/LightTables.h"
#include "headset/TolvanicHS6533Device.h"
#include "sim/SimBackend.h"
#include "ui/Dispatcher.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

namespace velkor {
namespace {

constexpr auto kReportWrite = std::chrono::milliseconds(2);

// A simulated handle whose LED output reports each take 2 ms.
class SlowLedHandle final : public HidHandle {
public:
    explicit SlowLedHandle(std::unique_ptr<HidHandle> inner) : m_inner(std::move(inner)) {}
    const HidAttributes& Attributes() const override { return m_inner->Attributes(); }
    std::span<const uint8_t> ReportDescriptor() const override { return m_inner->ReportDescriptor(); }
    int CollectionNumber() const override { return m_inner->CollectionNumber(); }
    HidIoStatus Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) override {
        return m_inner->Read(buffer, transferred, timeoutMs);
    }
    HidIoStatus Write(std::span<const uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) override {
        if (!buffer.empty() && buffer[0] == kHeadsetLedReportId) {
            std::this_thread::sleep_for(kReportWrite);
        }
        return m_inner->Write(buffer, transferred, timeoutMs);
    }
    void Cancel() override { m_inner->Cancel(); }
    void InterruptRead() override { m_inner->InterruptRead(); }

private:
    std::unique_ptr<HidHandle> m_inner;
};

class SlowLedBackend final : public HidBackend {
public:
    explicit SlowLedBackend(sim::SimBackend& sim) : m_sim(sim) {}
    bool EnumeratePaths(std::vector<std::string>& paths) override { return m_sim.EnumeratePaths(paths); }
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags& flags) override {
        std::unique_ptr<HidHandle> inner = m_sim.Open(path, flags);
        return inner == nullptr ? nullptr : std::make_unique<SlowLedHandle>(std::move(inner));
    }
    bool Probe(const std::string& path) override { return m_sim.Probe(path); }

private:
    sim::SimBackend& m_sim;
};

void BM_HeadsetOutputLightFrameSlowWrites(benchmark::State& state) {
    sim::SimBackend sim(1);
    sim.Plug(sim::SimUnit::Headset);
    SlowLedBackend backend(sim);
    ui::Dispatcher dispatcher;
    SteadyTickClock clock;
    auto headset = MakeDevice<CTolvanicHS6533Device>(DeviceServices{backend, dispatcher, clock, {}},
                                                     [] { return std::unique_ptr<AudioLibrary>(); });
    headset->SetLightCount(int(kHeadsetLedCount));
    if (!headset->Driver().CommandTransport().Open(ChannelType::Wired, sim.CommandPath(sim::SimUnit::Headset),
                                                   false)) {
        state.SkipWithError("the simulated headset does not open");
        return;
    }
    // Synchronised lighting: the light thread rests and each call carries the frame.
    headset->SetSynchronisedLighting(true);
    uint8_t red = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int led = 0; led < int(kHeadsetLedCount); ++led) {
            headset->State().SetLedColour(led, PackLed(red, uint8_t(255 - red), 40, 255));
        }
        ++red;
        state.ResumeTiming();
        headset->OutputLightFrame();
    }
    const HeadsetLedSender& sender = headset->LedSender();
    state.counters["frames_written"] = double(sender.FramesSent());
    state.counters["frames_replaced"] = double(sender.FramesReplaced());
    headset->SetSynchronisedLighting(false);
}
BENCHMARK(BM_HeadsetOutputLightFrameSlowWrites)->Unit(benchmark::kMicrosecond)->Iterations(500);

} // namespace
} // namespace velkor

BENCHMARK_MAIN();
