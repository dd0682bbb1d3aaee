#pragma once
// The scan thread: finds the interfaces of the family as they come and go,
// claims and releases their slots, and tells the main window.
//
// One pass: when some slot is absent, enumerate the present interfaces; for
// each path whose vendor, product, interface and collection number match a
// table row with an absent slot, open it (read only, shared), take vendor and
// product from its attributes and usage page and usage from its capabilities,
// claim the first absent slot of the matching row and send attach. After the
// first pass the announce goes out once. Then the presence probe: every
// present slot whose interface has gone is released and detach is sent.
// Passes are at most 100 ms apart; a back end that notices changes
// (HidBackend::WaitForChange, udev on hidraw) starts the next pass at once.
// A failed enumeration is tried again on the next pass.
//
// Attach and detach are sent synchronously: the scan thread waits until the
// main window handled them, so it never changes a slot being handled. The
// wait ends when the scanner is stopped or the dispatcher shuts down (the
// message is then dropped and the thread ends), so stopping never dead-locks
// against a window that is not running its loop, nor against a handler that
// stops the scanner itself.
#include "devices/DeviceThread.h"
#include "devices/SlotList.h"
#include "transport/HidInterface.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

namespace velkor {

namespace ui {
class Dispatcher;
}

// Messages of the scan thread to the main window (window messages 3090 and 3091).
enum : uint32_t {
    kMessageDeviceAttach = 3090, // wParam slot index
    kMessageDeviceDetach = 3091, // wParam slot index
};

// The main window as the scan thread sees it. Called on the user-interface thread.
class DeviceScanListener {
public:
    virtual ~DeviceScanListener() = default;
    // Attach (3090): slot `slot` was claimed; its copy in the slot list is present.
    virtual void DeviceAttached(int slot) = 0;
    // Detach (3091): slot `slot` was released; its copy in the slot list is absent.
    virtual void DeviceDetached(int slot) = 0;
    // The announce message, once, after the first pass.
    virtual void ScanAnnounced() = 0;
};

inline constexpr std::string_view kTraceScanThreadExit = "抓取设备线程设定退出";

class DeviceScanner {
public:
    static constexpr uint32_t kPeriodMs = 100;
    static constexpr uint32_t kStopWaitMs = 1000;

    // Everything referenced must outlive the scanner. Nothing runs before Start.
    DeviceScanner(HidBackend& backend, ui::Dispatcher& dispatcher, SlotList& slots,
                  DeviceScanListener& listener);
    // Stops the thread and waits until it has ended.
    ~DeviceScanner();
    DeviceScanner(const DeviceScanner&) = delete;
    DeviceScanner& operator=(const DeviceScanner&) = delete;

    // Starts the thread. False when it runs already or cannot be created.
    bool Start();
    // Sets the stop event and waits up to `waitMs` for the thread to end.
    // Ended, TimedOut (it ends by itself soon and is joined later) or
    // NotRunning; Failed when called on the scan thread. Traces nothing: the
    // caller reports the outcome.
    ThreadStopOutcome Stop(uint32_t waitMs = kStopWaitMs);
    bool IsRunning() const { return m_thread.joinable() && !m_state->ended; }

    // Passes completed since Start (for tests and benchmarks). Any thread.
    uint64_t PassCount() const { return m_passes.load(); }

private:
    struct SendState;
    // Shared with the thread, so that its last steps never touch a scanner going away.
    struct RunState {
        StopEvent stop;
        std::mutex mutex;
        std::condition_variable endedSignal;
        std::atomic<bool> ended{false};
    };
    enum class PassResult { Done, Stopped };

    void Run(const StopEvent& stop);
    PassResult Enumerate(const StopEvent& stop);
    PassResult ProbePresent(const StopEvent& stop);
    // Runs `task` on the user-interface thread and waits for it. False when the
    // scanner stops or the dispatcher shuts down first (it then never runs).
    bool SendToWindow(std::function<void()> task, const StopEvent& stop);
    void WakePendingSend();

    HidBackend& m_backend;
    ui::Dispatcher& m_dispatcher;
    SlotList& m_slots;
    DeviceScanListener& m_listener;
    // The thread's own interface for enumerating and opening.
    HidInterface m_hid;
    bool m_enumerationFailing = false;

    std::shared_ptr<RunState> m_state = std::make_shared<RunState>();
    std::thread m_thread;
    std::atomic<uint64_t> m_passes{0};
    std::mutex m_sendMutex;
    std::shared_ptr<SendState> m_pendingSend; // guarded by m_sendMutex
    // Dies with the scanner: work queued for the window checks it first.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace velkor
