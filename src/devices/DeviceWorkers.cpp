#include "devices/DeviceWorkers.h"

#include "platform/Trace.h"
#include "transport/HidBackend.h"

#include <algorithm>

namespace velkor {

namespace {

constexpr std::string_view kTraceEventReport = "接收到自动添加设备的同步信息要求  TEST";
constexpr std::string_view kTraceLeftRunning = "device threads still running at destruction: stopped now";
// After a read that ended without a report (interrupted, failed, or the
// device is gone): a short pause keeps a dead channel from spinning; reports
// arriving meanwhile stay queued.
constexpr uint32_t kEventRetryWaitMs = 5;

int ChannelIndex(ChannelType channel) {
    switch (channel) {
    case ChannelType::Wired:
        return 0;
    case ChannelType::Receiver:
        return 1;
    }
    return -1;
}

} // namespace

DeviceWorkers::DeviceWorkers(DeviceTransport& command, DeviceTransport& events)
    : m_command(command), m_events(events) {}

DeviceWorkers::~DeviceWorkers() {
    if (!Idle()) {
        // The owner forgot Shutdown(): the device's own members may be gone
        // already, so this is a fault worth a trace, but still no thread may
        // outlive the workers.
        Trace(kTraceLeftRunning);
        Shutdown();
    }
}

bool DeviceWorkers::Idle() const {
    if (m_light.IsRunning() || m_light.LingeringCount() != 0) {
        return false;
    }
    for (const DeviceThread& thread : m_eventThreads) {
        if (thread.IsRunning() || thread.LingeringCount() != 0) {
            return false;
        }
    }
    return true;
}

bool DeviceWorkers::StartLight(LightWork work) {
    if (m_shutDown) {
        return false;
    }
    return m_light.Start([this, work = std::move(work)](const StopEvent& stop) { LightLoop(stop, work); },
                         kLightStopWaitMs);
}

ThreadStopOutcome DeviceWorkers::StopLight() {
    return m_light.Stop(kLightStopWaitMs);
}

void DeviceWorkers::LightLoop(const StopEvent& stop, const LightWork& work) {
    while (!stop.IsSet()) {
        if (!m_command.IsOpen()) {
            // A closed device keeps its last frame.
            stop.WaitFor(kClosedTransportWaitMs);
            continue;
        }
        if (m_command.SyncLighting() || (work.wanted && !work.wanted())) {
            // The synchronised lighting drives the LEDs, or nobody looks:
            // park until something changes.
            stop.WaitForWake(StopEvent::kNoTimeLimit);
            continue;
        }
        m_lightPasses.fetch_add(1, std::memory_order_relaxed);
        const uint32_t nextMs = work.pass(stop);
        stop.WaitForWake(std::max<uint32_t>(nextMs, 1));
    }
    Trace(work.exitTrace);
}

bool DeviceWorkers::StartEvents(ChannelType channel, EventWork work) {
    const int index = ChannelIndex(channel);
    if (index < 0 || m_shutDown) {
        return false;
    }
    // Stopped here rather than by Start, which could not interrupt its read.
    StopEvents(channel);
    m_eventStopWaitMs[size_t(index)] = work.stopWaitMs;
    const uint32_t stopWaitMs = work.stopWaitMs;
    return m_eventThreads[size_t(index)].Start(
        [this, channel, work = std::move(work)](const StopEvent& stop) { EventLoop(stop, channel, work); },
        stopWaitMs);
}

ThreadStopOutcome DeviceWorkers::StopEvents(ChannelType channel) {
    const int index = ChannelIndex(channel);
    if (index < 0) {
        return ThreadStopOutcome::NotRunning;
    }
    return m_eventThreads[size_t(index)].Stop(m_eventStopWaitMs[size_t(index)],
                                              [this, channel] { m_events.InterruptEventRead(channel); });
}

bool DeviceWorkers::EventsRunning(ChannelType channel) const {
    const int index = ChannelIndex(channel);
    return index >= 0 && m_eventThreads[size_t(index)].IsRunning();
}

bool DeviceWorkers::OpenEventChannel(ChannelType channel, const std::string& path, EventWork work) {
    if (ChannelIndex(channel) < 0 || m_shutDown) {
        return false;
    }
    // A channel that is open already (or has an idle thread) is detached first.
    CloseEventChannel(channel);
    const bool opened = m_events.OpenListening(channel, path);
    StartEvents(channel, std::move(work));
    return opened;
}

void DeviceWorkers::CloseEventChannel(ChannelType channel) {
    const int index = ChannelIndex(channel);
    if (index < 0) {
        return;
    }
    // The thread goes first, and wholly (also one that overran its stop
    // bound), so that no read or decode runs on a channel being closed.
    StopEvents(channel);
    m_eventThreads[size_t(index)].JoinStopped();
    m_events.CloseListening(channel);
}

void DeviceWorkers::EventLoop(const StopEvent& stop, ChannelType channel, const EventWork& work) {
    while (!stop.IsSet()) {
        if (!m_events.Listening(channel)) {
            stop.WaitFor(kIdleChannelWaitMs);
            continue;
        }
        // The read waits until a report comes; StopEvents interrupts it, and
        // an interrupt that comes before the read starts ends it at once.
        uint16_t code = 0;
        const DeviceTransport::EventRead read = m_events.ReadEvent(channel, kHidInfinite, code);
        if (read == DeviceTransport::EventRead::None) {
            stop.WaitFor(kEventRetryWaitMs);
            continue;
        }
        Trace(kTraceEventReport);
        // A report that does not decode carries no event.
        if (read == DeviceTransport::EventRead::Event) {
            work.handler(code, channel);
        }
    }
    Trace(work.exitTrace);
}

void DeviceWorkers::Shutdown() {
    m_shutDown = true;
    StopLight();
    StopEvents(ChannelType::Wired);
    StopEvents(ChannelType::Receiver);
    // A thread that overran its bound still runs the device's code: it must be
    // over before the caller lets the device's members go.
    m_light.JoinStopped();
    for (DeviceThread& thread : m_eventThreads) {
        thread.JoinStopped();
    }
}

} // namespace velkor
