// What the device preview costs.
//
// PictureRepaint/170: one paint of a 170-key picture (22 px keys, as the
// keyboard page has them) with every key changed, Qt offscreen. The keys sit
// in a selection panel over the keyboard's drawing, as on the page; the
// panel redraws the changed caps into its picture of the board and copies it
// out. Goal < 0.3 ms.
// PictureRepaint/170/Changed12: a band of 12 keys changed, painted as the
// page paints it (the keys ask for their areas, the event loop paints once).
// Counter caps_per_paint: the caps the panel drew, per paint.
// PictureRepaint/170/SelfPainted is the same picture with keys that paint
// themselves, one widget each (what the picture cost before), for comparison.
//
// LightThreads/Hidden and LightThreads/Shown: four simulated devices
// (two keyboards, a mouse, a mouse pad) with their light threads running on
// the real clock, animated effects at speed 4; hidden: nobody sees them;
// shown: the mouse is seen. Counter cpu_ms_per_s: the process's CPU time per
// second of wall time. Goals < 0.2 and < 5.
#include "devices/DeviceFactory.h"
#include "devices/LightTables.h"
#include "devices/TolvanicUSBDevice.h"
#include "sim/SimBackend.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/qt/DeviceKeyButton.h"
#include "ui/qt/SelectPanel.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

namespace velkor {
namespace {

constexpr int kKeys = 170;
constexpr int kKeySize = 22;
constexpr int kColumns = 22;

// ---- Picture ----

struct Picture {
    explicit Picture(bool panelDrawn) {
        container = panelDrawn ? new ui::SelectPanel(&top) : new QWidget(&top);
        container->setGeometry(0, 0, kColumns * kKeySize, (kKeys / kColumns + 1) * kKeySize);
        container->setStyleSheet("background: #15171B;");
        if (auto* panel = dynamic_cast<ui::SelectPanel*>(container)) {
            panel->SetPicture(ui::ReadPicture(VELKOR_SKIN_DIR "/devices/pictures/keyboard-50b7.svg"));
        }
        for (int k = 0; k < kKeys; ++k) {
            auto* key = new ui::DeviceKeyButton(container);
            key->setGeometry((k % kColumns) * kKeySize, (k / kColumns) * kKeySize, kKeySize, kKeySize);
            key->SetCaption(QString("F%1").arg(k % 12 + 1));
            keys.push_back(key);
        }
        top.resize(container->size());
        top.show();
        QApplication::processEvents();
    }
    void ChangeKeys(uint32_t round, int count) {
        // A band that moves along the board, as a wave does.
        const int first = count == kKeys ? 0 : int(round * uint32_t(count)) % kKeys;
        for (int n = 0; n < count; ++n) {
            const int k = (first + n) % kKeys;
            keys[size_t(k)]->SetLight((round * 0x010305u + uint32_t(k) * 0x0A0000u) & 0xFFFFFFu, 255);
        }
    }
    uint64_t CapsDrawn() const {
        auto* panel = dynamic_cast<ui::SelectPanel*>(container);
        return panel != nullptr ? panel->CapsDrawn() : 0;
    }

    QWidget top;
    QWidget* container = nullptr;
    std::vector<ui::DeviceKeyButton*> keys;
};

void RunPictureRepaint(benchmark::State& state, bool panelDrawn, int changed = kKeys) {
    Picture picture(panelDrawn);
    uint32_t round = 0;
    const uint64_t capsBefore = picture.CapsDrawn();
    for (auto _ : state) {
        picture.ChangeKeys(++round, changed);
        if (changed == kKeys) {
            picture.container->repaint();
        } else {
            QApplication::processEvents();
        }
    }
    state.SetItemsProcessed(state.iterations() * changed);
    state.counters["caps_per_paint"] =
        benchmark::Counter(double(picture.CapsDrawn() - capsBefore) / double(state.iterations()));
}

void BM_PictureRepaint(benchmark::State& state) {
    RunPictureRepaint(state, true);
}
BENCHMARK(BM_PictureRepaint)->Name("PictureRepaint/170")->Unit(benchmark::kMicrosecond);

void BM_PictureRepaintChanged12(benchmark::State& state) {
    RunPictureRepaint(state, true, 12);
}
BENCHMARK(BM_PictureRepaintChanged12)->Name("PictureRepaint/170/Changed12")->Unit(benchmark::kMicrosecond);

void BM_PictureRepaintSelfPainted(benchmark::State& state) {
    RunPictureRepaint(state, false);
}
BENCHMARK(BM_PictureRepaintSelfPainted)
    ->Name("PictureRepaint/170/SelfPainted")
    ->Unit(benchmark::kMicrosecond);

// ---- Light threads ----

double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Family {
    Family() {
        struct Unit {
            const char* kind;
            sim::SimUnit unit;
            int lights;
        };
        for (const Unit& unit : {Unit{"TolvanicKeyboardDevice", sim::SimUnit::Keyboard, 170},
                                 Unit{"TolvanicKeyboardDevice", sim::SimUnit::Keyboard511D, 170},
                                 Unit{"TolvanicMouseDevice", sim::SimUnit::Mouse, 15},
                                 Unit{"TolvanicMousePadDevice", sim::SimUnit::MousePad, 23}}) {
            backend.Plug(unit.unit);
            DevicePtr device = factory.Create(unit.kind);
            if (!device || !device->SetLightCount(unit.lights) ||
                !device->Driver().CommandTransport().Open(ChannelType::Wired,
                                                          backend.CommandPath(unit.unit))) {
                return;
            }
            LightInfoRecord light = device->State().LightRecord();
            light.selectItem = 1; // an animated effect of every kind
            light.speed = 4;
            light.light = 4;
            device->SetLightInfo(LightInfoToWords(light));
            if (!device->StartLightThread()) {
                return;
            }
            devices.push_back(std::move(device));
        }
        complete = devices.size() == 4;
    }

    SteadyTickClock clock;
    sim::SimBackend backend{11};
    ui::ManualClock manual{0}; // the toolkit's timers are not used
    std::unique_ptr<ui::MemoryToolkit> toolkit = ui::MemoryToolkit::Create(VELKOR_SKIN_DIR, manual);
    DeviceFactory factory{DeviceServices{backend, toolkit->GetDispatcher(), clock, {}}};
    std::vector<DevicePtr> devices;
    bool complete = false;
};

void RunLightThreads(benchmark::State& state, bool shown) {
    Family family;
    if (!family.complete) {
        state.SkipWithError("simulated family not attached");
        return;
    }
    family.devices[2]->Presenter().SetPreviewSeen(shown);        // the mouse
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // every thread settled
    double cpuMs = 0;
    double wallMs = 0;
    for (auto _ : state) {
        const auto wallStart = std::chrono::steady_clock::now();
        const double cpuStart = ProcessCpuMs();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        cpuMs += ProcessCpuMs() - cpuStart;
        wallMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
    }
    state.counters["cpu_ms_per_s"] = benchmark::Counter(cpuMs / (wallMs / 1000.0));
    uint64_t passes = 0;
    for (const DevicePtr& device : family.devices) {
        passes += device->Driver().LightPasses();
    }
    state.counters["passes"] = benchmark::Counter(double(passes));
}

void BM_LightThreadsHidden(benchmark::State& state) {
    RunLightThreads(state, false);
}
BENCHMARK(BM_LightThreadsHidden)->Name("LightThreads/Hidden")->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_LightThreadsShown(benchmark::State& state) {
    RunLightThreads(state, true);
}
BENCHMARK(BM_LightThreadsShown)->Name("LightThreads/Shown")->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velkor

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
