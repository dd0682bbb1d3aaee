// The macro panel with many events, on the real toolkits: loading a
// 4000-event macro into the shown panel (Qt, offscreen), scrolling it a wheel
// turn at a time with its repaint, and appending one recorded row to 3998
// (in-memory toolkit: the panel's own cost; Qt: with the row scrolled into
// view and painted). Run with QT_QPA_PLATFORM=offscreen.
#include "macros/CMacroControlUI.h"
#include "platform/JsonFileHelper.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/qt/QtAccess.h"
#include "ui/qt/QtToolkit.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>
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

// The Qt toolkit, the shown panel window and the panel, with the library's macro selected.
struct QtPanel {
    std::unique_ptr<ui::QtToolkit> toolkit;
    PanelCreator creator;
    std::unique_ptr<ui::Window> window;
    std::unique_ptr<CMacroControlUI> panel;

    // Empty with `error` set when Qt or the panel cannot be had.
    bool Open(int events, std::string& error) {
        static int argc = 1;
        static char name[] = "bench_macros";
        static char* argv[] = {name, nullptr};
        toolkit = ui::QtToolkit::Create(VELKOR_SKIN_DIR, argc, argv, &error);
        if (!toolkit) {
            return false;
        }
        window = PanelWindow(*toolkit, creator);
        window->Show();
        panel = std::make_unique<CMacroControlUI>(window->Root());
        panel->SetMacroFolder(MakeLibrary(events));
        panel->LoadMacroList();
        if (!SelectTheMacro(*window)) {
            error = "the macro cannot be selected";
            return false;
        }
        panel->SelectMacro();
        QCoreApplication::processEvents();
        return true;
    }
    QAbstractScrollArea* View() const {
        return qobject_cast<QAbstractScrollArea*>(ui::WidgetOf(*window->FindControl("macro_action_list")));
    }
};

void LoadMacro4000Qt(benchmark::State& state) {
    QtPanel qt;
    std::string error;
    if (!qt.Open(kMaxMacroEvents, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        qt.panel->SelectMacro();
        // Shown only once the loop has laid out and polished the new rows.
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(qt.panel->EventCount());
    }
    if (qt.panel->EventCount() != kMaxMacroEvents) {
        state.SkipWithError("the macro's events were not all shown");
    }
}
BENCHMARK(LoadMacro4000Qt)->Unit(benchmark::kMillisecond)->Iterations(3);

// One wheel turn down (three rows), or at the end one drag of the scroll bar
// back to the top, each with the repaint it causes.
void Scroll4000Qt(benchmark::State& state) {
    QtPanel qt;
    std::string error;
    if (!qt.Open(kMaxMacroEvents, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    QAbstractScrollArea* view = qt.View();
    QScrollBar* bar = view->verticalScrollBar();
    const QPointF at(10, 10);
    int64_t steps = 0;
    for (auto _ : state) {
        if (bar->value() >= bar->maximum()) {
            bar->setValue(0);
        } else {
            QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view->viewport(), &wheel);
        }
        QCoreApplication::processEvents();
        ++steps;
    }
    if (bar->maximum() < (kMaxMacroEvents - 20) * bar->singleStep()) {
        state.SkipWithError("the scroll bar does not span the events");
    }
    if (qt.panel->EventRowControl(
            qt.window->FindControl("macro_action_list")->AsRowView()->FirstVisibleRow()) == nullptr) {
        state.SkipWithError("the rows in view show no events");
    }
    state.counters["steps"] = double(steps);
}
BENCHMARK(Scroll4000Qt)->Unit(benchmark::kMillisecond);

// A recorded press appended to 3998 events (the most that leave room for it
// and its release), scrolled into view and painted.
void AppendRowQt(benchmark::State& state) {
    QtPanel qt;
    std::string error;
    if (!qt.Open(kMaxMacroEvents - 2, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    int64_t time = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (qt.panel->EventCount() >= kMaxMacroEvents - 1) {
            qt.panel->SelectRow(qt.panel->EventCount() - 1);
            qt.panel->DeleteEvent();
        }
        qt.panel->SetRecordState(RecordDelayMode::Measured, RecordPlacement::Append);
        state.ResumeTiming();
        if (qt.panel->TakeRecordedPress({ui::InputPress::Kind::Key, KEY_A, true, time += 10}) !=
            RecordResult::Placed) {
            state.SkipWithError("the press was not placed");
            return;
        }
        qt.panel->ScrollTimerFired();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(AppendRowQt)->Unit(benchmark::kMicrosecond);

void AppendRowMemory(benchmark::State& state) {
    ui::ManualClock clock;
    auto toolkit = ui::MemoryToolkit::Create(VELKOR_SKIN_DIR, clock);
    PanelCreator creator;
    auto window = PanelWindow(*toolkit, creator);
    window->Show();
    CMacroControlUI panel(window->Root());
    panel.SetMacroFolder(MakeLibrary(kMaxMacroEvents - 2));
    panel.LoadMacroList();
    if (!SelectTheMacro(*window)) {
        state.SkipWithError("the macro cannot be selected");
        return;
    }
    panel.SelectMacro();
    if (panel.EventCount() != kMaxMacroEvents - 2) {
        state.SkipWithError("the macro's events were not all shown");
        return;
    }
    int64_t time = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (panel.EventCount() >= kMaxMacroEvents - 1) {
            panel.SelectRow(panel.EventCount() - 1);
            panel.DeleteEvent();
        }
        panel.SetRecordState(RecordDelayMode::Measured, RecordPlacement::Append);
        state.ResumeTiming();
        if (panel.TakeRecordedPress({ui::InputPress::Kind::Key, KEY_A, true, time += 10}) !=
            RecordResult::Placed) {
            state.SkipWithError("the press was not placed");
            return;
        }
    }
}
BENCHMARK(AppendRowMemory)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
