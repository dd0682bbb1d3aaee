// Cost of one frame of each software effect on a 170-LED device (a keyboard's
// count), and of the light output that shows it. A frame must stay far below
// the light thread's tick (target: under 10 us).
#include "devices/DeviceLinks.h"
#include "devices/EffectPlayers.h"
#include "devices/KeyboardEffects.h"
#include "devices/KindRenderers.h"
#include "devices/LightTables.h"
#include "devices/TolvanicUSBDevice.h"
#include "transport/HidBackend.h"
#include "ui/Dispatcher.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace velkor {
namespace {

// Moves 100 ms per reading so that the blink effects toggle now and then, as they do live.
class SteppingClock final : public TickClock {
public:
    uint32_t NowMs() const override { return m_now += 100; }

private:
    mutable uint32_t m_now = 0;
};

// The effects never reach the transports; a back end with nothing plugged in is enough.
class NoDevices final : public HidBackend {
public:
    bool EnumeratePaths(std::vector<std::string>& paths) override {
        paths.clear();
        return true;
    }
    std::unique_ptr<HidHandle> Open(const std::string&, const HidOpenFlags&) override { return nullptr; }
    bool Probe(const std::string&) override { return false; }
};

struct Rig {
    Rig() : device(DeviceServices{backend, dispatcher, clock, {}}) {
        device.SetLightCount(170);
        LightInfoRecord record;
        record.light = 3;
        record.speed = 2;
        record.fx = 1;
        record.multiColor = 1;
        record.red = 200;
        record.green = 40;
        record.blue = 90;
        device.SetLightInfo(LightInfoToWords(record));
    }
    NoDevices backend;
    ui::Dispatcher dispatcher;
    SteppingClock clock;
    CTolvanicUSBDevice device;
};

template <void (*Effect)(CTolvanicUSBDevice&)> void BM_Effect(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        Effect(rig.device);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 170);
}

// The effects the kinds may replace are the device's; the others its state's.
void Breathing(CTolvanicUSBDevice& device) {
    device.EffectBreathing();
}
void BreathingFixed(CTolvanicUSBDevice& device) {
    device.State().EffectBreathingFixed();
}
void Static(CTolvanicUSBDevice& device) {
    device.EffectStatic();
}
void Spectrum(CTolvanicUSBDevice& device) {
    device.State().EffectSpectrum();
}
void Blink(CTolvanicUSBDevice& device) {
    device.State().EffectBlink();
}
void BlinkFixed(CTolvanicUSBDevice& device) {
    device.State().EffectBlinkFixed();
}
void Off(CTolvanicUSBDevice& device) {
    device.State().EffectOff();
}

BENCHMARK(BM_Effect<&Breathing>)->Name("EffectBreathing/170");
BENCHMARK(BM_Effect<&BreathingFixed>)->Name("EffectBreathingFixed/170");
BENCHMARK(BM_Effect<&Static>)->Name("EffectStatic/170");
BENCHMARK(BM_Effect<&Spectrum>)->Name("EffectSpectrum/170");
BENCHMARK(BM_Effect<&Blink>)->Name("EffectBlink/170");
BENCHMARK(BM_Effect<&BlinkFixed>)->Name("EffectBlinkFixed/170");
BENCHMARK(BM_Effect<&Off>)->Name("EffectOff/170");

// A reactive frame of a kind: decay every key level once.
void BM_KeyLevelDecay(benchmark::State& state) {
    Rig rig;
    rig.device.State().Leds().With([](LedFrame& frame) {
        for (int k = 0; k < LedFrame::kKeyLevelCount; ++k) {
            frame.SetKeyLevel(k, uint8_t(k));
        }
    });
    for (auto _ : state) {
        for (int k = 0; k < LedFrame::kKeyLevelCount; ++k) {
            rig.device.State().StepKeyLevel(k, 0);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * LedFrame::kKeyLevelCount);
}
BENCHMARK(BM_KeyLevelDecay)->Name("StepKeyLevel/170");

// One frame of a keyboard effect on its 170 keys, from the effect's start
// step on, with a few keys held so that the reactive effects have work.
void BM_KeyboardEffect(benchmark::State& state, int effect) {
    LedFrame frame;
    frame.Resize(170);
    frame.light.selectItem = uint8_t(effect);
    frame.light.light = 3;
    frame.light.speed = 2;
    frame.light.fx = 1;
    frame.light.multiColor = 1;
    frame.light.red = 200;
    KeyboardEffectState fx;
    fx.random.Seed(1);
    fx.fed = {200, 100, 50};
    kbfx::ResetEffectState(frame, fx);
    kbfx::RunStartStep(frame, fx, effect);
    for (int key : {51, 52, 30}) {
        kbfx::KeyEvent(frame, fx, key, kbfx::kPress);
    }
    uint32_t now = 0;
    for (auto _ : state) {
        kbfx::RenderEffect(frame, fx, effect, now += 16);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 170);
}

const bool kKeyboardRows = [] {
    for (int effect = 1; effect <= 30; ++effect) {
        if (effect == 20 || effect == 29) {
            continue; // the step player's; the audio effect has a row per style below
        }
        benchmark::RegisterBenchmark(("Keyboard/" + std::to_string(effect) + "/170").c_str(),
                                     BM_KeyboardEffect, effect);
    }
    return true;
}();

// One frame of an audio style (effect 29 renders about 500 times a second:
// target under 5 us), fed a fresh block of changing levels every frame as
// the light thread's frame start does.
void BM_AudioStyle(benchmark::State& state, int style) {
    LedFrame frame;
    frame.Resize(170);
    frame.light.selectItem = 29;
    frame.light.light = 4;
    frame.light.fx = 1;
    KeyboardEffectState fx;
    fx.audio.record = {uint8_t(style), 10, 20, 30, 200, 100, 50, 1, 1};
    kbfx::ResetEffectState(frame, fx);
    kbfx::RunStartStep(frame, fx, 29);
    uint32_t tick = 0;
    for (auto _ : state) {
        ++tick;
        for (size_t band = 0; band < fx.audio.bands.size(); ++band) {
            fx.audio.bands[band] = int32_t((tick * 37 + band * 211) % 2400);
        }
        if (style == 2 && tick % 3 == 0) {
            kbfx::SeedRipple(fx, 51, kbfx::kPress);
        }
        kbfx::RenderEffect(frame, fx, 29, tick * 2);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 170);
}

const bool kAudioRows = [] {
    for (int style = 0; style < kbfx::kAudioStyles; ++style) {
        benchmark::RegisterBenchmark(("KeyboardAudio/" + std::to_string(style) + "/170").c_str(),
                                     BM_AudioStyle, style);
    }
    return true;
}();

// The tick's own work without controls: copy the buffer and build the scaled frame.
void BM_OutputFrame(benchmark::State& state) {
    Rig rig;
    rig.device.State().EffectSpectrum();
    for (auto _ : state) {
        rig.device.OutputLightFrame();
        benchmark::DoNotOptimize(rig.device.State().LastFrame().data());
    }
    state.SetItemsProcessed(state.iterations() * 170);
}
BENCHMARK(BM_OutputFrame)->Name("OutputLightFrame/170");

// The mouse's and the pad's own effects, the custom step player and the
// per-LED list, each one frame of 170 LEDs on a plain frame.
LedFrame KindFrame(int effect) {
    LedFrame frame;
    frame.Resize(170);
    frame.light = LightInfoRecord{uint8_t(effect), 4, 4, 1, 1, 200, 40, 90};
    leds::ResetEffect(frame, true);
    leds::StartFlash(frame, 30);
    return frame;
}

void BM_KindEffect(benchmark::State& state, std::span<const leds::EffectRenderer> effects, int effect) {
    LedFrame frame = KindFrame(effect);
    uint32_t now = 0;
    for (auto _ : state) {
        leds::RenderEffect(effects, frame, effect, now += kLightPassMs);
        benchmark::DoNotOptimize(frame.leds.data());
    }
    state.SetItemsProcessed(state.iterations() * 170);
}
BENCHMARK_CAPTURE(BM_KindEffect, MouseWave, leds::MouseEffects(), 0)->Name("Mouse/Wave/170");
BENCHMARK_CAPTURE(BM_KindEffect, MouseFlowingRing, leds::MouseEffects(), 5)->Name("Mouse/FlowingRing/170");
BENCHMARK_CAPTURE(BM_KindEffect, MouseFlash, leds::MouseEffects(), 6)->Name("Mouse/Flash/170");
BENCHMARK_CAPTURE(BM_KindEffect, PadWave, leds::PadEffects(), 0)->Name("Pad/Wave/170");
BENCHMARK_CAPTURE(BM_KindEffect, PadChasingRing, leds::PadEffects(), 6)->Name("Pad/ChasingRing/170");
BENCHMARK_CAPTURE(BM_KindEffect, PadPairedRing, leds::PadEffects(), 7)->Name("Pad/PairedRing/170");

// One pass of the step player on a step of the given type.
void BM_StepPlayer(benchmark::State& state) {
    LedEffectStep step;
    step.mode = uint8_t(state.range(0));
    step.brightness = 4;
    step.speed = 4;
    step.multiColor = 1;
    step.time = 1000;
    EffectStepPlayer::Steps steps{{step}, 0};
    EffectStepPlayer player;
    LedFrame frame = KindFrame(20);
    uint32_t now = 0;
    for (auto _ : state) {
        player.Pass(
            frame, [&](auto&& work) { work(steps); }, now += kLightPassMs);
        benchmark::DoNotOptimize(frame.leds.data());
    }
    state.SetItemsProcessed(state.iterations() * 170);
}
BENCHMARK(BM_StepPlayer)->Name("StepPlayer/170")->DenseRange(0, 5);

// One pass of the per-LED list with every entry of the given type.
void BM_LightList(benchmark::State& state) {
    std::vector<LightListEntry> list(170);
    for (LightListEntry& entry : list) {
        entry = {uint8_t(state.range(0)), 4, 4, 0, 1, 10, 20, 30};
        entry.present = true;
    }
    LightListRenderer renderer;
    renderer.Reset(list);
    LedFrame frame = KindFrame(0);
    uint32_t now = 0;
    for (auto _ : state) {
        renderer.Pass(frame, list, now += kLightPassMs);
        benchmark::DoNotOptimize(frame.leds.data());
    }
    state.SetItemsProcessed(state.iterations() * 170);
}
BENCHMARK(BM_LightList)->Name("LightList/170")->DenseRange(0, 4);

} // namespace
} // namespace velkor

BENCHMARK_MAIN();
