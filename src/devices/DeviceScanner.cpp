#include "devices/DeviceScanner.h"

#include "platform/Trace.h"
#include "ui/Dispatcher.h"

#include <chrono>
#include <system_error>

namespace velkor {

namespace {

// How often a synchronous send looks whether the dispatcher began shutting
// down (a stop wakes it at once).
constexpr auto kSendCheckInterval = std::chrono::milliseconds(50);

// The stop event as the back end's wait sees it.
class StopCancel final : public HidWaitCancel {
public:
    explicit StopCancel(const StopEvent& stop) : m_stop(stop) {}
    bool IsSet() const override { return m_stop.IsSet(); }
    bool WaitFor(uint32_t ms) const override { return m_stop.WaitFor(ms); }

private:
    const StopEvent& m_stop;
};

} // namespace

struct DeviceScanner::SendState {
    enum class Phase { Queued, Running, Done, Abandoned };
    std::mutex mutex;
    std::condition_variable changed;
    Phase phase = Phase::Queued;
};

DeviceScanner::DeviceScanner(HidBackend& backend, ui::Dispatcher& dispatcher, SlotList& slots,
                             DeviceScanListener& listener)
    : m_backend(backend), m_dispatcher(dispatcher), m_slots(slots), m_listener(listener), m_hid(backend) {}

DeviceScanner::~DeviceScanner() {
    Stop(0);
    if (m_thread.joinable()) {
        // Every wait of the thread ends on its stop event, so this is short.
        m_thread.join();
    }
}

bool DeviceScanner::Start() {
    if (m_thread.joinable()) {
        if (!m_state->ended) {
            return false;
        }
        m_thread.join();
    }
    m_state = std::make_shared<RunState>();
    m_passes = 0;
    try {
        m_thread = std::thread([this, state = m_state] {
            Run(state->stop);
            {
                std::lock_guard lock(state->mutex);
                state->ended = true;
            }
            state->endedSignal.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

ThreadStopOutcome DeviceScanner::Stop(uint32_t waitMs) {
    if (!m_thread.joinable()) {
        return ThreadStopOutcome::NotRunning;
    }
    std::shared_ptr<RunState> state = m_state;
    state->stop.Set();
    WakePendingSend();
    if (m_thread.get_id() == std::this_thread::get_id()) {
        return ThreadStopOutcome::Failed;
    }
    std::unique_lock lock(state->mutex);
    if (!state->endedSignal.wait_for(lock, std::chrono::milliseconds(waitMs),
                                     [&] { return state->ended.load(); })) {
        return ThreadStopOutcome::TimedOut;
    }
    lock.unlock();
    m_thread.join();
    return ThreadStopOutcome::Ended;
}

void DeviceScanner::Run(const StopEvent& stop) {
    const StopCancel cancel(stop);
    bool announced = false;
    m_enumerationFailing = false;
    while (!stop.IsSet()) {
        if (m_slots.AnyAbsent() && Enumerate(stop) == PassResult::Stopped) {
            break;
        }
        if (!announced) {
            // Once, after the first pass, whether or not anything was found:
            // it brings the window up.
            announced = true;
            std::weak_ptr<int> alive = m_alive;
            m_dispatcher.Post([alive, &listener = m_listener] {
                if (!alive.expired()) {
                    listener.ScanAnnounced();
                }
            });
        }
        if (ProbePresent(stop) == PassResult::Stopped) {
            break;
        }
        ++m_passes;
        m_backend.WaitForChange(kPeriodMs, cancel);
    }
    Trace(kTraceScanThreadExit);
}

DeviceScanner::PassResult DeviceScanner::Enumerate(const StopEvent& stop) {
    if (!m_hid.Enumerate()) {
        // A failed enumeration is tried again on the next pass; it is
        // reported once, not every 100 ms.
        if (!m_enumerationFailing) {
            TraceF("device scan: enumeration failed (%s); retrying", m_backend.LastError().c_str());
        }
        m_enumerationFailing = true;
        m_hid.ReleaseList();
        return PassResult::Done;
    }
    m_enumerationFailing = false;
    const DeviceCatalog& catalog = m_slots.Catalog();
    while (const char* next = m_hid.NextPath()) {
        if (stop.IsSet()) {
            m_hid.ReleaseList();
            return PassResult::Stopped;
        }
        const std::string path(next);
        const uint16_t vendorId = PathVendorId(path);
        const uint16_t productId = PathProductId(path);
        const uint16_t interfaceNumber = PathInterfaceNumber(path);
        const uint16_t collection = PathCollectionNumber(path);
        // Opening costs: only interfaces that could fill an absent slot are opened.
        if (catalog.FindPathRow(vendorId, productId, interfaceNumber, collection) < 0 ||
            !m_slots.HasAbsentSlot(vendorId, productId, interfaceNumber, collection)) {
            continue;
        }
        if (!m_hid.Open(path, true, false, true, false)) {
            continue; // not ready or not allowed: the next pass tries again
        }
        const HidAttributes attributes = m_hid.Attributes();
        const HidCaps caps = m_hid.Caps();
        m_hid.Close();
        const int row = catalog.FindSupportedRow(attributes.vendorId, attributes.productId, interfaceNumber,
                                                 collection, caps.usagePage, caps.usage);
        if (row < 0) {
            continue;
        }
        const int slot = m_slots.Claim(*catalog.Interface(row), path);
        if (slot < 0) {
            continue;
        }
        if (!SendToWindow([&listener = m_listener, slot] { listener.DeviceAttached(slot); }, stop)) {
            m_hid.ReleaseList();
            return PassResult::Stopped;
        }
    }
    m_hid.ReleaseList();
    return PassResult::Done;
}

DeviceScanner::PassResult DeviceScanner::ProbePresent(const StopEvent& stop) {
    for (const auto& [slot, path] : m_slots.PresentSlots()) {
        if (stop.IsSet()) {
            return PassResult::Stopped;
        }
        if (m_backend.Probe(path) || !m_slots.Release(slot)) {
            continue;
        }
        if (!SendToWindow([&listener = m_listener, slot] { listener.DeviceDetached(slot); }, stop)) {
            return PassResult::Stopped;
        }
    }
    return PassResult::Done;
}

bool DeviceScanner::SendToWindow(std::function<void()> task, const StopEvent& stop) {
    using Phase = SendState::Phase;
    auto state = std::make_shared<SendState>();
    {
        std::lock_guard lock(m_sendMutex);
        m_pendingSend = state;
    }
    std::weak_ptr<int> alive = m_alive;
    const bool queued = m_dispatcher.Post([state, alive, task = std::move(task)] {
        {
            std::lock_guard lock(state->mutex);
            if (state->phase != Phase::Queued) {
                return; // the scan thread gave up on it
            }
            state->phase = Phase::Running;
        }
        if (!alive.expired()) {
            task();
        }
        {
            std::lock_guard lock(state->mutex);
            state->phase = Phase::Done;
        }
        state->changed.notify_all();
    });
    bool delivered = false;
    if (queued) {
        std::unique_lock lock(state->mutex);
        for (;;) {
            if (state->phase == Phase::Done) {
                delivered = true;
                break;
            }
            // A handler already running is not waited for once the scanner
            // stops: it may be the very handler that stops it.
            if (stop.IsSet() || m_dispatcher.IsShuttingDown()) {
                if (state->phase == Phase::Queued) {
                    state->phase = Phase::Abandoned;
                }
                break;
            }
            state->changed.wait_for(lock, kSendCheckInterval);
        }
    }
    std::lock_guard lock(m_sendMutex);
    m_pendingSend.reset();
    return delivered;
}

void DeviceScanner::WakePendingSend() {
    std::lock_guard lock(m_sendMutex);
    if (m_pendingSend) {
        // Taking its lock first means the waiter is either before its check or inside its wait.
        { std::lock_guard stateLock(m_pendingSend->mutex); }
        m_pendingSend->changed.notify_all();
    }
}

} // namespace velkor
