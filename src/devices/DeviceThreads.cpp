// The light thread and the event threads of CTolvanicUSBDevice, and the
// event channels they read.
#include "devices/TolvanicUSBDevice.h"
#include "platform/Trace.h"

#include <array>

namespace velkor {

namespace {

constexpr std::string_view kTraceEventReport = "接收到自动添加设备的同步信息要求  TEST";
constexpr std::string_view kTraceResyncRequest = "接收到自动添加设备的同步信息要求";
constexpr std::string_view kTraceLightThreadExit = "MS灯光线程设定退出";
constexpr std::string_view kTraceEventThreadExit = "MS设备同步线程设定退出";
constexpr uint16_t kEventResync = 0x0401;
// After a failed read (nothing came, or the device is gone): a short pause
// keeps a dead channel from spinning; reports arriving meanwhile stay queued.
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

std::string_view CTolvanicUSBDevice::LightThreadExitTrace() const {
    return kTraceLightThreadExit;
}

std::string_view CTolvanicUSBDevice::EventThreadExitTrace() const {
    return kTraceEventThreadExit;
}

bool CTolvanicUSBDevice::StartLightThread() {
    return m_lightThread.Start([this](const StopEvent& stop) { LightThreadLoop(stop); },
                               kLightThreadStopWaitMs);
}

ThreadStopOutcome CTolvanicUSBDevice::StopLightThread() {
    return m_lightThread.Stop(kLightThreadStopWaitMs);
}

void CTolvanicUSBDevice::LightThreadLoop(const StopEvent& stop) {
    while (!stop.WaitFor(1)) {
        if (!m_command.IsOpen()) {
            // A closed device keeps its last frame.
            stop.WaitFor(kClosedTransportWaitMs);
            continue;
        }
        if (m_command.SyncLighting()) {
            // The synchronised lighting drives the LEDs meanwhile.
            continue;
        }
        RunLightPass(stop);
    }
    Trace(LightThreadExitTrace());
}

bool CTolvanicUSBDevice::StartEventThread(ChannelType channel) {
    const int index = ChannelIndex(channel);
    if (index < 0) {
        return false;
    }
    return m_eventThreads[size_t(index)].Start(
        [this, channel](const StopEvent& stop) { EventThreadLoop(stop, channel); }, EventThreadStopWaitMs());
}

ThreadStopOutcome CTolvanicUSBDevice::StopEventThread(ChannelType channel) {
    const int index = ChannelIndex(channel);
    if (index < 0) {
        return ThreadStopOutcome::NotRunning;
    }
    return m_eventThreads[size_t(index)].Stop(EventThreadStopWaitMs());
}

bool CTolvanicUSBDevice::EventThreadRunning(ChannelType channel) const {
    const int index = ChannelIndex(channel);
    return index >= 0 && m_eventThreads[size_t(index)].IsRunning();
}

void CTolvanicUSBDevice::StopAllThreads() {
    StopLightThread();
    StopEventThread(ChannelType::Wired);
    StopEventThread(ChannelType::Receiver);
    // A thread that overran its bound still runs the kind's code: it must be
    // over before the caller lets the kind's members go.
    m_lightThread.JoinStopped();
    for (DeviceThread& thread : m_eventThreads) {
        thread.JoinStopped();
    }
}

bool CTolvanicUSBDevice::OpenEventChannel(const std::string& path, ChannelType channel) {
    if (ChannelIndex(channel) < 0) {
        return false;
    }
    // A channel that is open already (or has an idle thread) is detached first.
    CloseEventChannel(channel);
    const bool opened = m_events.OpenListening(channel, path);
    StartEventThread(channel);
    return opened;
}

void CTolvanicUSBDevice::CloseEventChannel(ChannelType channel) {
    if (ChannelIndex(channel) < 0) {
        return;
    }
    // The thread goes first, and wholly (also one that overran its stop
    // bound), so that no read or decode runs on a channel being closed.
    StopEventThread(channel);
    m_eventThreads[size_t(ChannelIndex(channel))].JoinStopped();
    m_events.CloseListening(channel);
}

void CTolvanicUSBDevice::EventThreadLoop(const StopEvent& stop, ChannelType channel) {
    while (!stop.WaitFor(1)) {
        if (!m_events.Listening(channel)) {
            continue;
        }
        // A read never waits longer than one slice, so the stop event is seen
        // within a slice whatever the device does.
        uint16_t code = 0;
        const DeviceTransport::EventRead read = m_events.ReadEvent(channel, kEventReadSliceMs, code);
        if (read == DeviceTransport::EventRead::None) {
            stop.WaitFor(kEventRetryWaitMs);
            continue;
        }
        Trace(kTraceEventReport);
        // A report that does not decode carries no event.
        if (read != DeviceTransport::EventRead::Event) {
            continue;
        }
        if (code == kEventResync) {
            Trace(kTraceResyncRequest);
            RequestResync();
        } else {
            OnDeviceEvent(code, channel);
        }
    }
    Trace(EventThreadExitTrace());
}

} // namespace velkor
