#pragma once
// The threads of one device: its light thread and one event thread per event
// channel (wired, receiver), each a DeviceThread with its stop bound.
//
// The light thread runs the device's pass while the command transport is
// open, no synchronised lighting drives the LEDs and someone wants its frames
// (they are seen, or they leave the host); otherwise it parks until woken
// (WakeLight) or stopped, so an unseen device costs nothing. Between passes it
// sleeps until the next frame is due, as the pass says. An event thread reads the
// input reports of its listening channel and hands each event code to the
// device; its read waits without a time-out, so an idle channel costs
// nothing, and its stop interrupts the read. Neither ever waits on anything
// but its stop event or a read the stop ends, so a stop ends them without
// force.
//
// The owner stops everything with Shutdown() before the device's own members
// go (DevicePtr's deleter does it); the destructor finds nothing running. All
// operations run on the owner's thread (the user-interface thread).
#include "devices/DeviceThread.h"
#include "transport/DeviceTransport.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

namespace velkor {

class DeviceWorkers {
public:
    static constexpr uint32_t kLightStopWaitMs = 1000;
    // Wait of a light-thread pass while the command transport is closed.
    static constexpr uint32_t kClosedTransportWaitMs = 100;
    // Wait of an event thread between looks at a channel that does not listen
    // (only a new OpenEventChannel, which restarts the thread, makes it listen).
    static constexpr uint32_t kIdleChannelWaitMs = 1000;

    // One pass of the light thread; it may wait only on `stop`. Returns how
    // long until its next frame is due (the thread sleeps that long unless woken).
    using LightPass = std::function<uint32_t(const StopEvent& stop)>;
    // Whether the device's frames are wanted now (any thread).
    using FramesWanted = std::function<bool()>;
    // An event code read on a channel (runs on that channel's event thread).
    using EventHandler = std::function<void(uint16_t code, ChannelType channel)>;

    struct LightWork {
        LightPass pass;
        std::string_view exitTrace;
        FramesWanted wanted; // none: always wanted
    };
    struct EventWork {
        EventHandler handler;
        std::string_view exitTrace;
        uint32_t stopWaitMs = 1000;
    };

    // The transports must outlive the workers.
    DeviceWorkers(DeviceTransport& command, DeviceTransport& events);
    // Expects Shutdown() to have run; stops what still runs all the same.
    ~DeviceWorkers();
    DeviceWorkers(const DeviceWorkers&) = delete;
    DeviceWorkers& operator=(const DeviceWorkers&) = delete;

    // Starts the light thread (a running one is stopped first). False when it
    // could not be created, or after Shutdown().
    bool StartLight(LightWork work);
    ThreadStopOutcome StopLight();
    bool LightRunning() const { return m_light.IsRunning(); }
    // Ends the light thread's park or sleep at once: what it waits for may
    // have changed (frames wanted, synchronised lighting). Any thread.
    void WakeLight() { m_light.Wake(); }
    // Passes run so far (for tests of the parking).
    uint64_t LightPasses() const { return m_lightPasses.load(); }

    // Opens `path` on a channel of the event transport (closing it first) and
    // starts that channel's event thread, also when the open failed (it then
    // idles until the channel listens). True when opened.
    bool OpenEventChannel(ChannelType channel, const std::string& path, EventWork work);
    // Stops the channel's thread (within its bound, traced), waits until it has
    // ended wholly, then closes the channel.
    void CloseEventChannel(ChannelType channel);
    // Starts the channel's event thread (a running one is stopped first, as
    // StopEvents does).
    bool StartEvents(ChannelType channel, EventWork work);
    // Sets the thread's stop event and interrupts its read, then waits within its bound.
    ThreadStopOutcome StopEvents(ChannelType channel);
    bool EventsRunning(ChannelType channel) const;

    // Light thread first, then the event threads, each within its bound
    // (traced); then waits for any that overran, so none runs on afterwards.
    // Later starts are refused. Idempotent.
    void Shutdown();
    bool IsShutDown() const { return m_shutDown; }
    // Nothing runs and nothing lingers.
    bool Idle() const;

private:
    void LightLoop(const StopEvent& stop, const LightWork& work);
    void EventLoop(const StopEvent& stop, ChannelType channel, const EventWork& work);

    DeviceTransport& m_command;
    DeviceTransport& m_events;
    DeviceThread m_light;
    std::array<DeviceThread, 2> m_eventThreads; // wired, receiver
    std::array<uint32_t, 2> m_eventStopWaitMs{1000, 1000};
    bool m_shutDown = false;
    std::atomic<uint64_t> m_lightPasses{0};
};

} // namespace velkor
