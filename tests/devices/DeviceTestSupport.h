#pragma once
// Shared by the device tests: the layouts folder, clocks, a main window stand-in
// that shows and hides list items, a trace recorder, and a fixture with the
// in-memory toolkit, a host window and the simulated device family.
#include "devices/DeviceFactory.h"
#include "devices/DeviceLinks.h"
#include "devices/TolvanicUSBDevice.h"
#include "platform/Trace.h"
#include "sim/SimBackend.h"
#include "support/ScratchFolder.h"
#include "ui/Dispatcher.h"
#include "ui/memory/MemoryToolkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace velkor::test {

// tests/devices/layouts of the source tree.
inline std::string LayoutFolder() {
    return (std::filesystem::path(__FILE__).parent_path() / "layouts").lexically_normal().string();
}

// A tick count the test sets (it may wrap like the real one).
class SetTickClock final : public TickClock {
public:
    uint32_t NowMs() const override { return m_now.load(); }
    void Set(uint32_t ms) { m_now = ms; }
    void Advance(uint32_t ms) { m_now += ms; }

private:
    std::atomic<uint32_t> m_now{0};
};

// The toolkit's clock as a tick count, so that timers and blinking share one time.
class ToolkitTickClock final : public TickClock {
public:
    explicit ToolkitTickClock(const ui::ManualClock& clock) : m_clock(clock) {}
    uint32_t NowMs() const override { return uint32_t(m_clock.NowMs()); }

private:
    const ui::ManualClock& m_clock;
};

// Every trace line, from any thread.
class TraceRecorder {
public:
    TraceRecorder() : m_sink([this](std::string_view line) { Add(line); }) {}
    std::vector<std::string> Lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    int Count(std::string_view line) const {
        std::lock_guard lock(m_mutex);
        return int(std::count(m_lines.begin(), m_lines.end(), line));
    }

private:
    void Add(std::string_view line) {
        std::lock_guard lock(m_mutex);
        m_lines.emplace_back(line);
    }
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    ScopedTraceSink m_sink;
};

// A scratch folder removed at the end of the test.
using TempFolder = ScratchFolder;

// Waits (real time) until `done` holds, running the dispatcher's queue meanwhile.
inline bool PumpUntil(ui::MemoryToolkit& toolkit, const std::function<bool()>& done, int timeoutMs = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        toolkit.ProcessPending();
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    toolkit.ProcessPending();
    return done();
}

// Effects and buffers need no window: a dispatcher, the simulator and a set clock.
class DeviceBasics : public ::testing::Test {
protected:
    DeviceServices Services() { return DeviceServices{m_backend, m_dispatcher, m_ticks, {}}; }

    sim::SimBackend m_backend{7};
    ui::Dispatcher m_dispatcher;
    SetTickClock m_ticks;
};

// The main window as far as the list items go: 3331 shows or hides the item of that model row.
class MainWindowStub final : public DeviceMessageSink {
public:
    struct Message {
        uint32_t message;
        int64_t wParam;
        int64_t lParam;
        bool operator==(const Message&) const = default;
    };
    void DeviceMessage(uint32_t message, int64_t wParam, int64_t lParam) override {
        messages.push_back({message, wParam, lParam});
        if (message == kMessageShowDeviceItem && item != nullptr && wParam == modelRow) {
            item->SetVisible(lParam != 0);
        }
    }
    std::vector<Message> messages;
    ui::Control* item = nullptr;
    int64_t modelRow = 0;
};

// The in-memory toolkit with the host window of tests/devices/layouts.
class DeviceWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_toolkit = ui::MemoryToolkit::Create(LayoutFolder(), m_clock, &error);
        ASSERT_NE(m_toolkit, nullptr) << error;
        m_window = m_toolkit->CreateWindow(ui::WindowOptions{"XML_HOST", "DeviceHost"}, &error);
        ASSERT_NE(m_window, nullptr) << error;
        m_factory = std::make_unique<DeviceFactory>(Services());
    }

    DeviceServices Services() {
        return DeviceServices{m_backend,
                              m_toolkit->GetDispatcher(),
                              m_ticks,
                              {m_folder.Path() + "/program", m_folder.Path() + "/data"}};
    }
    ui::Control& Find(std::string_view name) {
        ui::Control* control = m_window->FindControl(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    }
    // Builds a page layout into "device_switch"; the device it names, or null.
    DevicePtr BuildPage(const std::string& layout, std::string* error = nullptr) {
        DevicePageCreator creator(*m_factory);
        if (m_toolkit->BuildInto(Find("device_switch"), layout, &creator, error) == nullptr) {
            return nullptr;
        }
        auto devices = creator.TakeDevices();
        return devices.size() == 1 ? std::move(devices.front()) : nullptr;
    }

    TempFolder m_folder;
    sim::SimBackend m_backend{11};
    ui::ManualClock m_clock{100000};
    ToolkitTickClock m_ticks{m_clock};
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    std::unique_ptr<ui::Window> m_window;
    std::unique_ptr<DeviceFactory> m_factory;
};

} // namespace velkor::test
