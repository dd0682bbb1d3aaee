// The macro panel with many events, on the real toolkits: loading a
// 4000-event macro into the shown panel (Qt, offscreen), and appending one
// recorded row to 3999 (in-memory toolkit: the panel's own cost, no rebuild
// per report). Run with QT_QPA_PLATFORM=offscreen.
#include "macros/CMacroControlUI.h"
#include "platform/JsonFileHelper.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/qt/QtToolkit.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <linux/input-event-codes.h>

#include <filesystem>
#include <memory>

namespace {

using namespace velkor;

class PanelCreator final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view c) const override { return c == CMacroControlUI::kControlClass; }
    void ControlCreated(std::string_view, ui::Control&) override {}
};

// A library of one macro with `events` events in a scratch folder.
std::string MakeLibrary(int events) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "velkor_bench_macros";
    std::filesystem::create_directories(folder);
    CJsonFileHelper json;
    Json::Value index;
    index["MacroInfo"][0]["MacroName"] = "long";
    index["MacroInfo"][0]["Guid"] = "g0";
    json.WriteJsonFile(index, (folder / "macro.config").string());
    Json::Value document;
    document["MacroName"] = "long";
    document["Guid"] = "g0";
    document["Version"] = 64;
    for (int i = 0; i < events; ++i) {
        Json::Value event;
        event["Action"] = i % 2 == 0 ? "down" : "up";
        event["Type"] = 10;
        event["Button"] = 4 + i % 26;
        event["Delay"] = "20";
        document["Events"].append(event);
    }
    json.WriteJsonFile(document, (folder / "g0.mac").string());
    return folder.string() + "/";
}

// Selects the library's macro in the name list, as a click on it does.
bool SelectTheMacro(ui::Window& window) {
    auto* names = ui::As<ui::ListControl>(window.Root().FindChild("macro_name_list"));
    return names != nullptr && names->SelectItem(0, false);
}

std::unique_ptr<ui::Window> PanelWindow(ui::Toolkit& toolkit, PanelCreator& creator) {
    ui::WindowOptions options;
    options.layout = std::string(CMacroControlUI::kLayout);
    options.className = "MacroBench";
    options.creator = &creator;
    return toolkit.CreateWindow(options);
}

void LoadMacro4000Qt(benchmark::State& state) {
    static int argc = 1;
    static char name[] = "bench_macros";
    static char* argv[] = {name, nullptr};
    std::string error;
    auto toolkit = ui::QtToolkit::Create(VELKOR_SKIN_DIR, argc, argv, &error);
    if (!toolkit) {
        state.SkipWithError(error.c_str());
        return;
    }
    PanelCreator creator;
    auto window = PanelWindow(*toolkit, creator);
    window->Show();
    CMacroControlUI panel(window->Root());
    panel.SetMacroFolder(MakeLibrary(kMaxMacroEvents));
    panel.LoadMacroList();
    if (!SelectTheMacro(*window)) {
        state.SkipWithError("the macro cannot be selected");
        return;
    }
    for (auto _ : state) {
        panel.SelectMacro();
        // Shown only once the loop has laid out and polished the new rows.
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(panel.EventCount());
    }
    if (panel.EventCount() != kMaxMacroEvents) {
        state.SkipWithError("the macro's events were not all shown");
    }
}
BENCHMARK(LoadMacro4000Qt)->Unit(benchmark::kMillisecond)->Iterations(3);

void AppendRowMemory(benchmark::State& state) {
    ui::ManualClock clock;
    auto toolkit = ui::MemoryToolkit::Create(VELKOR_SKIN_DIR, clock);
    PanelCreator creator;
    auto window = PanelWindow(*toolkit, creator);
    window->Show();
    CMacroControlUI panel(window->Root());
    panel.SetMacroFolder(MakeLibrary(kMaxMacroEvents - 1));
    panel.LoadMacroList();
    if (!SelectTheMacro(*window)) {
        state.SkipWithError("the macro cannot be selected");
        return;
    }
    panel.SelectMacro();
    if (panel.EventCount() != kMaxMacroEvents - 1) {
        state.SkipWithError("the macro's events were not all shown");
        return;
    }
    int64_t time = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (panel.EventCount() >= kMaxMacroEvents) {
            panel.DeleteEvent();
            panel.SelectRow(panel.EventCount() - 1);
        }
        panel.SetRecordState(RecordDelayMode::Measured, RecordPlacement::Append);
        state.ResumeTiming();
        panel.TakeRecordedPress({ui::InputPress::Kind::Key, KEY_A, true, time += 10});
    }
}
BENCHMARK(AppendRowMemory)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
