// The keyboard's light tick on the real keyboard page (in-memory toolkit),
// seen on its lighting tab: every key's colour changes each tick and each
// tick is a paint (the clock moves a paint period per tick). Goal: one tick under 20 us and no
// allocation (the "allocs/tick" counter must read 0). The live variant is the
// same tick in effect 30: the keyboard's stream thread sends the frames
// (bench_stream), so the tick itself sends none ("frames/tick" reads 0).
#include "devices/DeviceFactory.h"
#include "devices/LightTables.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "sim/SimBackend.h"
#include "ui/memory/MemoryToolkit.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> g_allocations{0};
} // namespace

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace velkor {
namespace {

class ToolkitTicks final : public TickClock {
public:
    explicit ToolkitTicks(const ui::ManualClock& clock) : m_clock(clock) {}
    uint32_t NowMs() const override { return uint32_t(m_clock.NowMs()); }

private:
    const ui::ManualClock& m_clock;
};

// The keyboard's page in a window of the in-memory toolkit, on the simulator.
struct KeyboardRig {
    KeyboardRig() {
        window = toolkit->CreateWindow(ui::WindowOptions{"XML_MSG", "BenchHost"});
        DevicePageCreator creator(factory);
        if (window == nullptr ||
            toolkit->BuildInto(window->Root(), "XML\\DeviceXml\\keyboarddevice.xml", &creator) == nullptr) {
            return;
        }
        auto devices = creator.TakeDevices();
        if (devices.empty()) {
            return;
        }
        device = std::move(devices.front());
        keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(device.get());
        keyboard->Presenter().SetPageLayoutPath("XML\\DeviceXml\\keyboarddevice.xml");
        keyboard->SetKeyCount(170);
        keyboard->SetLightCount(170);
        keyboard->InitPage();
        keyboard->SelectFunctionPage(1);
    }
    bool Attach() {
        sim.Plug(sim::SimUnit::Keyboard);
        SupportedDevice identity;
        identity.vendorId = 0x320F;
        identity.productId = 0x50B7;
        identity.kind = DeviceKind::Keyboard;
        keyboard->State().SetIdentity(identity);
        return keyboard->Driver().CommandTransport().Open(ChannelType::Wired,
                                                          sim.CommandPath(sim::SimUnit::Keyboard)) &&
               keyboard->ReadLayout();
    }
    // Every key a new colour.
    void Repaint(uint32_t round) {
        keyboard->State().Leds().With([round](LedFrame& frame) {
            for (size_t k = 0; k < frame.leds.size(); ++k) {
                frame.leds[k] = PackLed(uint8_t(round + k), uint8_t(round * 3), uint8_t(k), 255);
            }
        });
    }

    ui::ManualClock clock{0};
    ToolkitTicks ticks{clock};
    sim::SimBackend sim{7};
    std::unique_ptr<ui::MemoryToolkit> toolkit = ui::MemoryToolkit::Create(VELKOR_SKIN_DIR, clock);
    std::unique_ptr<ui::Window> window;
    DeviceFactory factory{DeviceServices{sim, toolkit->GetDispatcher(), ticks, {}}};
    DevicePtr device;
    CTolvanicKeyboardDevice* keyboard = nullptr;
};

void RunTicks(benchmark::State& state, KeyboardRig& rig) {
    uint32_t round = 0;
    rig.keyboard->Presenter().SetPreviewSeen(true);
    rig.Repaint(round);
    rig.keyboard->OutputLightFrame(); // the first tick sizes what it reuses
    const long before = g_allocations.load();
    const uint64_t framesBefore = rig.sim.FramesWritten(sim::SimUnit::Keyboard);
    for (auto _ : state) {
        rig.Repaint(++round);
        rig.clock.Advance(CTolvanicUSBDevice::kPicturePaintPeriodMs);
        rig.keyboard->OutputLightFrame();
    }
    const double ticks = double(state.iterations());
    state.counters["allocs/tick"] = benchmark::Counter(double(g_allocations.load() - before) / ticks);
    state.counters["frames/tick"] =
        benchmark::Counter(double(rig.sim.FramesWritten(sim::SimUnit::Keyboard) - framesBefore) / ticks);
    state.SetItemsProcessed(state.iterations() * 170);
}

void BM_KeyboardTick(benchmark::State& state) {
    KeyboardRig rig;
    if (rig.keyboard == nullptr) {
        state.SkipWithError("keyboard page not built");
        return;
    }
    RunTicks(state, rig);
}
BENCHMARK(BM_KeyboardTick);

void BM_KeyboardLiveFrame(benchmark::State& state) {
    KeyboardRig rig;
    if (rig.keyboard == nullptr || !rig.Attach()) {
        state.SkipWithError("keyboard not attached");
        return;
    }
    LightInfoRecord light = rig.keyboard->State().LightRecord();
    light.selectItem = CTolvanicKeyboardDevice::kBandColourEffect;
    rig.keyboard->SetLightInfo(LightInfoToWords(light));
    RunTicks(state, rig);
}
BENCHMARK(BM_KeyboardLiveFrame);

} // namespace
} // namespace velkor

BENCHMARK_MAIN();
