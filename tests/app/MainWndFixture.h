#pragma once
// A main window on the in-memory toolkit and the real skin, with the
// simulated family behind its scan thread. Waits on real threads are bounded
// hang guards, never timing assertions.
#include "AppTestSupport.h"
#include "app/CMainWnd.h"
#include "app/ControlFactory.h"
#include "devices/DeviceListItem.h"
#include "devices/TolvanicUSBDevice.h"
#include "profiles/LanguageTexts.h"
#include "sim/SimBackend.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"
#include "ui/memory/MemoryWindow.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace velkor::test {

class MainWndFixture : public ::testing::Test {
protected:
    MainWndFixture() { RegisterProgramControlClasses(m_factory); }
    ~MainWndFixture() override { m_main.reset(); }

    // Creates the window and runs its start; false when either fails.
    bool Start(bool withDevices = true, int languageIndex = 0) {
        return StartWith(Services(withDevices, languageIndex));
    }
    MainWndServices Services(bool withDevices = true, int languageIndex = 0) {
        MainWndServices services{*m_toolkit, m_factory, withDevices ? &m_sim : nullptr};
        services.clock = &m_ticks;
        services.programFolder = m_folder.Path();
        services.dataHome = m_folder.Path();
        services.languageIndex = languageIndex;
        return services;
    }
    bool StartWith(const MainWndServices& services) {
        m_main = std::make_unique<CMainWnd>(services);
        if (!m_main->Create()) {
            return false;
        }
        m_toolkit->ProcessPending(); // "windowinit"
        return true;
    }
    // The real language machinery: the shipped language table (unless the test
    // wrote its own), the skin's language files copied to "langs/", and a
    // settings file of the test's own.
    void WithLanguages(MainWndServices& services) {
        if (!std::filesystem::exists(m_folder.Path() + "/DefaultData")) {
            m_folder.AddDefaultData();
        }
        for (const char* file : {"lan_cn.xml", "lan_en.xml"}) {
            std::filesystem::create_directories(m_folder.Path() + "/langs");
            std::filesystem::copy_file(SourceSkin() / file, m_folder.Path() + "/langs/" + file,
                                       std::filesystem::copy_options::overwrite_existing);
        }
        services.languageTexts = &m_texts;
        services.texts = &m_texts;
        services.skinFolder = m_folder.Path() + "/langs";
        services.settingsPath = SettingsPath();
        m_toolkit->SetTextProvider(&m_texts);
    }
    std::string SettingsPath() const { return m_folder.Path() + "/config/VELKOR01/settings.json"; }
    // Runs the window's queue, and its timers in steps of `stepMs`, until
    // `done` holds. The deadline is a guard against a hang, not a measurement.
    bool Until(const std::function<bool()>& done, int stepMs = kStartupDelayMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            m_toolkit->ProcessPending();
            m_toolkit->AdvanceTime(stepMs);
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    }
    // The device's worker has ended every write asked so far, and what they
    // post back has run. The window's timers do not move meanwhile.
    bool Drained(CTolvanicUSBDevice& device) {
        const bool idle = Until([&] { return device.Driver().WorkerIdle(); }, 0);
        m_toolkit->ProcessPending();
        return idle;
    }
    // Runs `act` (which asks the device for writes) and waits until those
    // writes have ended: its own result when it queued nothing or failed,
    // else the writes' (the first failure, or 1).
    int Written(CTolvanicUSBDevice& device, const std::function<int()>& act) {
        auto tally = std::make_shared<WriteTally>();
        device.Driver().WatchWrites(tally);
        const int queued = act();
        device.Driver().WatchWrites(nullptr);
        auto result = std::make_shared<std::atomic<int>>(kNotWritten);
        tally->Seal([result](int written) { *result = written; });
        Until([&] { return *result != kNotWritten; }, 0);
        m_toolkit->ProcessPending();
        return queued != kResultOk || tally->Expected() == 0 ? queued : result->load();
    }
    static constexpr int kNotWritten = -9999;

    // The texts of the notices showing now (message boxes open without waiting).
    std::vector<std::string> Notices() const {
        std::vector<std::string> texts;
        for (ui::MemoryWindow* window : m_toolkit->Windows()) {
            if (window->ClassName() == "MsgWnd" && window->IsVisible() && !window->IsModal()) {
                const ui::Control* text = window->FindControl("MessageText");
                texts.push_back(text != nullptr ? text->Text() : "?");
            }
        }
        return texts;
    }

    ui::MemoryWindow& MainMemoryWindow() const {
        return static_cast<ui::MemoryWindow&>(*m_main->GetWindow());
    }
    // Repaints of the device's light buttons so far.
    static int LightPaints(const CTolvanicUSBDevice& device) {
        int paints = 0;
        for (ui::Control* light : device.Presenter().LightControls()) {
            paints += light != nullptr ? static_cast<ui::MemoryControl*>(light)->RepaintCount() : 0;
        }
        return paints;
    }

    ProgramFolder m_folder;
    ui::ManualClock m_clock{100000};
    ManualTicks m_ticks{m_clock};
    LanguageTexts m_texts; // outlives the toolkit that shows it
    std::unique_ptr<ui::MemoryToolkit> m_toolkit = ui::MemoryToolkit::Create(SourceSkin().string(), m_clock);
    ControlFactory m_factory;
    sim::SimBackend m_sim{7};
    ui::MemoryUser m_user;
    TraceCapture m_traces;
    std::unique_ptr<CMainWnd> m_main;
};

} // namespace velkor::test
