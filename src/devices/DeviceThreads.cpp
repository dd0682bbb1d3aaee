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
        if (!m_command.m_open) {
            // A closed device keeps its last frame.
            stop.WaitFor(kClosedTransportWaitMs);
            continue;
        }
        if (m_command.m_syncLighting) {
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
    const bool wired = channel == ChannelType::Wired;
    bool opened = false;
    {
        std::lock_guard lock(wired ? m_events.m_ioLock : m_events.m_channelLock);
        HidInterface& hid = wired ? m_events.m_wired : m_events.m_receiver;
        hid.Close();
        opened = hid.Open(path, true, true, true, false);
        if (opened) {
            (wired ? m_events.m_open : m_events.m_receiverSelected) = true;
        }
    }
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
    const bool wired = channel == ChannelType::Wired;
    std::lock_guard lock(wired ? m_events.m_ioLock : m_events.m_channelLock);
    (wired ? m_events.m_open : m_events.m_receiverSelected) = false;
    (wired ? m_events.m_wired : m_events.m_receiver).Close();
}

void CTolvanicUSBDevice::EventThreadLoop(const StopEvent& stop, ChannelType channel) {
    const bool wired = channel == ChannelType::Wired;
    HidInterface& hid = wired ? m_events.m_wired : m_events.m_receiver;
    const std::atomic<bool>& open = wired ? m_events.m_open : m_events.m_receiverSelected;
    std::array<uint8_t, 512> report{};
    while (!stop.WaitFor(1)) {
        if (!open) {
            continue;
        }
        // A read never waits longer than one slice, so the stop event is seen
        // within a slice whatever the device does.
        size_t length = 0;
        if (!hid.Read(report.data(), report.size(), &length, kEventReadSliceMs)) {
            stop.WaitFor(kEventRetryWaitMs);
            continue;
        }
        Trace(kTraceEventReport);
        // A report that does not decode carries no event.
        if (length == 0 || !hid.UnpackInput(report.data(), length)) {
            continue;
        }
        const uint16_t code = hid.FirstInputUsage();
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
