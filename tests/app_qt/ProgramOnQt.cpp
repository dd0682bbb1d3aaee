#include "ProgramOnQt.h"

#include "app/CMainWnd.h"
#include "devices/DeviceDiscovery.h"
#include "devices/TolvanicUSBDevice.h"
#include "platform/bus/InProcessMessageBus.h"
#include "support/ScratchFolder.h"
#include "ui/qt/QtAccess.h"
#include "ui/qt/QtToolkit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace velkor::test {

namespace {

int g_argc = 0;
char** g_argv = nullptr;

struct Running {
    ScratchFolder home{"velkor_app_qt_"};
    InProcessMessageBus bus{std::make_shared<InProcessBus>()};
    ProgramServices services{
        .makeToolkit = [](const std::string& folder, std::string* why) -> std::unique_ptr<ui::Toolkit> {
            return ui::QtToolkit::Create(folder, g_argc, g_argv, why);
        },
        .bus = bus,
        .programFolder = VELKOR_SOURCE_DIR,
        .systemFontFolders = {},
        .dataHome = home.Path() + "/data",
        .environment = {.lang = "en_US.UTF-8", .xdgConfigHome = home.Path() + "/config"},
    };
    std::unique_ptr<Program> program;
};
Running* g_running = nullptr;

} // namespace

bool ForEachPageAndTab(const std::function<void(const PageView&)>& visit, const std::function<bool()>& stop);

Program* RunningProgram() {
    return g_running != nullptr ? g_running->program.get() : nullptr;
}

QWidget& MainWidget() {
    return *ui::WidgetOf(*RunningProgram()->MainWindow()->GetWindow());
}

bool ProcessUntil(const std::function<bool()>& done) {
    QElapsedTimer guard;
    guard.start();
    while (!done()) {
        if (guard.elapsed() > 20000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void ProcessFor(int ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

QWidget* ShowPage(const std::string& device, const std::string& tab) {
    QWidget* shown = nullptr;
    bool done = false;
    ForEachPageAndTab(
        [&](const PageView& view) {
            if (!done && view.device.find(device) != std::string::npos && view.tab == tab) {
                shown = view.page;
                done = true;
            }
        },
        [&] { return done; });
    return shown;
}

bool ForEachPageAndTab(const std::function<void(const PageView&)>& visit) {
    return ForEachPageAndTab(visit, [] { return false; });
}

bool ForEachPageAndTab(const std::function<void(const PageView&)>& visit, const std::function<bool()>& stop) {
    DeviceDiscovery* discovery = RunningProgram()->MainWindow()->Discovery();
    const size_t models = discovery->Catalog().Models().size();
    for (size_t row = 0; row < models; ++row) {
        CTolvanicUSBDevice* device = discovery->DeviceOfModel(int(row));
        ui::Control* item = discovery->ListItemOfModel(int(row));
        if (device == nullptr || item == nullptr || !item->IsVisible()) {
            continue;
        }
        ui::Control* option = item->FindChild("device_select");
        auto* select = option != nullptr ? qobject_cast<QAbstractButton*>(ui::WidgetOf(*option)) : nullptr;
        if (select == nullptr) {
            return false;
        }
        select->click();
        ui::Control* pageControl = device->Presenter().Page();
        QWidget* page = pageControl != nullptr ? ui::WidgetOf(*pageControl) : nullptr;
        if (page == nullptr || !ProcessUntil([&] { return page->isVisible(); })) {
            return false;
        }
        std::vector<QAbstractButton*> tabs;
        for (QAbstractButton* tab : page->findChildren<QAbstractButton*>()) {
            if (tab->objectName().endsWith("_Op_tab") && tab->isVisible()) {
                tabs.push_back(tab);
            }
        }
        for (QAbstractButton* tab : tabs) {
            if (stop()) {
                return true;
            }
            tab->click();
            ProcessFor(30);
            visit(
                PageView{discovery->Catalog().Models()[row].nameKey, tab->objectName().toStdString(), page});
        }
    }
    return true;
}

} // namespace velkor::test

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS(); // test discovery: no program needed
    }
    velkor::test::g_argc = argc;
    velkor::test::g_argv = argv;
    auto running = std::make_unique<velkor::test::Running>();
    velkor::ProgramOptions options;
    options.simulate = true;
    running->program = std::make_unique<velkor::Program>(options, running->services);
    if (running->program->Start() != velkor::StartResult::Running) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    velkor::test::g_running = running.get();
    // Listed: the simulated family's five devices.
    velkor::test::ProcessUntil([] {
        velkor::DeviceDiscovery* discovery = velkor::test::RunningProgram()->MainWindow()->Discovery();
        return discovery != nullptr && discovery->VisibleItemCount() == 5;
    });
    const int result = RUN_ALL_TESTS();
    velkor::test::g_running = nullptr;
    running->program->Stop();
    return result;
}
