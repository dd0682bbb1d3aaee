// Device threads: manual-reset stop events, stops within their bounds while a
// read blocks or the device vanishes, the traces of each outcome, and a
// thread that overruns its bound being left to end by itself, never killed
// while it holds a transport lock.
#include "DeviceTestSupport.h"

namespace velkor::test {
namespace {

using sim::SimUnit;

TEST(StopEvent, StaysSetUntilResetAndWakesAWaiterAtOnce) {
    StopEvent event;
    EXPECT_FALSE(event.WaitFor(1));
    std::atomic<bool> woke{false};
    std::thread waiter([&] { woke = event.WaitFor(60000); });
    event.Set();
    waiter.join();
    EXPECT_TRUE(woke);
    EXPECT_TRUE(event.WaitFor(0)) << "manual reset: a wait does not clear it";
    event.Reset();
    EXPECT_FALSE(event.IsSet());
}

TEST(DeviceThread, StopEndsABodyThatWatchesItsEvent) {
    TraceRecorder traces;
    DeviceThread thread;
    EXPECT_EQ(thread.Stop(100), ThreadStopOutcome::NotRunning);
    std::atomic<int> passes{0};
    ASSERT_TRUE(thread.Start(
        [&](const StopEvent& stop) {
            while (!stop.WaitFor(1)) {
                ++passes;
            }
        },
        1000));
    while (passes < 3) {
        std::this_thread::yield();
    }
    EXPECT_EQ(thread.Stop(1000), ThreadStopOutcome::Ended);
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(traces.Lines(), (std::vector<std::string>{std::string(kTraceThreadEnded)}));
}

TEST(DeviceThread, AnOverrunningBodyIsNeverKilledAndNeverOverlapsItsSuccessor) {
    TraceRecorder traces;
    DeviceThread thread;
    std::mutex transportLock;
    std::atomic<int> running{0};
    std::atomic<int> overlaps{0};
    std::atomic<bool> entered{false};
    auto stubborn = [&](const StopEvent&) {
        if (++running > 1) {
            ++overlaps;
        }
        std::lock_guard lock(transportLock); // a transfer that does not look at the event
        entered = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        --running;
    };
    ASSERT_TRUE(thread.Start(stubborn, 10));
    while (!entered) {
        std::this_thread::yield();
    }
    EXPECT_EQ(thread.Stop(10), ThreadStopOutcome::TimedOut);
    EXPECT_EQ(traces.Count(kTraceThreadTimedOut), 1);
    EXPECT_EQ(thread.LingeringCount(), 1u);

    // Starting again first waits for the old body, which ends by itself and lets go of the lock.
    entered = false;
    ASSERT_TRUE(thread.Start(stubborn, 10));
    EXPECT_EQ(thread.LingeringCount(), 0u);
    while (!entered) {
        std::this_thread::yield();
    }
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(thread.Stop(1000), ThreadStopOutcome::Ended);
    EXPECT_TRUE(transportLock.try_lock()) << "no lock is left held";
    transportLock.unlock();
}

// A device whose event work holds a lock and takes longer than its (short)
// stop bound, like a slow exchange would.
class SlowEventDevice : public CTolvanicUSBDevice {
public:
    using CTolvanicUSBDevice::CTolvanicUSBDevice;
    std::atomic<int> inEvent{0};
    std::atomic<int> presses{0}; // events other than a release (code 0)
    std::atomic<int> passes{0};
    std::atomic<bool> blockInPass{false};
    std::mutex workLock;

protected:
    uint32_t EventThreadStopWaitMs() const override { return 100; }
    void OnDeviceEvent(uint16_t code, ChannelType) override {
        presses += code != 0 ? 1 : 0;
        if (code == 0x1200) {
            std::lock_guard lock(workLock);
            inEvent = 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            inEvent = 2;
        }
    }
    uint32_t RunLightPass(const StopEvent& stop) override {
        ++passes;
        if (blockInPass) {
            stop.WaitFor(60000); // a long wait, but on the stop event
        }
        return 1;
    }
};

class DeviceThreads : public DeviceBasics {
protected:
    void SetUp() override {
        m_backend.Plug(SimUnit::Mouse);
        m_device = MakeDevice<SlowEventDevice>(Services());
    }
    void OpenCommand() {
        ASSERT_TRUE(m_device->Driver().CommandTransport().Open(ChannelType::Wired,
                                                               m_backend.CommandPath(SimUnit::Mouse)));
    }
    std::unique_ptr<SlowEventDevice, DeviceDeleter> m_device;
};

TEST_F(DeviceThreads, EventThreadOutlivesItsDeviceVanishingAndStillStops) {
    ASSERT_TRUE(m_device->OpenEventChannel(m_backend.EventPath(SimUnit::Mouse), ChannelType::Wired));
    EXPECT_TRUE(m_device->Driver().EventTransport().Listening(ChannelType::Wired));
    ASSERT_TRUE(m_backend.WaitForWaitingRead(m_backend.EventPath(SimUnit::Mouse), 5000)) << "no read began";
    m_backend.Unplug(SimUnit::Mouse);
    std::this_thread::sleep_for(std::chrono::milliseconds(30)); // reads now fail at once
    EXPECT_TRUE(m_device->Driver().EventThreadRunning(ChannelType::Wired));
    EXPECT_EQ(m_device->Driver().StopEventThread(ChannelType::Wired), ThreadStopOutcome::Ended);
    m_device->Driver().CloseEventChannel(ChannelType::Wired);
    EXPECT_FALSE(m_device->Driver().EventTransport().Listening(ChannelType::Wired));
}

// An idle channel costs one read that waits, not a read every few
// milliseconds; a report and a stop each end that wait.
TEST_F(DeviceThreads, AnIdleEventThreadWaitsInOneReadThatAnEventOrAStopEnds) {
    const std::string path = m_backend.EventPath(SimUnit::Mouse);
    ASSERT_TRUE(m_device->OpenEventChannel(path, ChannelType::Wired));
    ASSERT_TRUE(m_backend.WaitForWaitingRead(path, 5000)) << "no read began";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(m_backend.ReadWaits(path), 1u) << "the read went on waiting";

    ASSERT_TRUE(m_backend.InjectEvent(SimUnit::Mouse, 0x1132));
    for (int i = 0; i < 5000 && m_device->presses == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(m_device->presses, 1) << "the report ended the wait";
    ASSERT_TRUE(m_backend.WaitForWaitingRead(path, 5000)) << "no read began after the event";
    EXPECT_EQ(m_device->Driver().StopEventThread(ChannelType::Wired), ThreadStopOutcome::Ended)
        << "the stop ends the waiting read within the 100 ms bound";
    m_device->Driver().CloseEventChannel(ChannelType::Wired);
}

TEST_F(DeviceThreads, AChannelThatDidNotOpenIdlesAndStops) {
    EXPECT_FALSE(m_device->OpenEventChannel("sim:nothing#vid_0000&pid_0000", ChannelType::Receiver));
    EXPECT_TRUE(m_device->Driver().EventThreadRunning(ChannelType::Receiver))
        << "started also when the open failed";
    EXPECT_FALSE(m_device->Driver().EventTransport().Listening(ChannelType::Receiver));
    m_device->Driver().CloseEventChannel(ChannelType::Receiver);
    EXPECT_FALSE(m_device->Driver().EventThreadRunning(ChannelType::Receiver));
}

TEST_F(DeviceThreads, OverrunningEventWorkTimesOutWithoutLeavingTheLockHeld) {
    TraceRecorder traces;
    ASSERT_TRUE(m_device->OpenEventChannel(m_backend.EventPath(SimUnit::Mouse), ChannelType::Wired));
    ASSERT_TRUE(m_backend.InjectEvent(SimUnit::Mouse, 0x1200));
    while (m_device->inEvent == 0) {
        std::this_thread::yield();
    }
    EXPECT_EQ(m_device->Driver().StopEventThread(ChannelType::Wired), ThreadStopOutcome::TimedOut);
    EXPECT_EQ(traces.Count(kTraceThreadTimedOut), 1);

    // Closing (and opening again) waits until the old thread has finished its work.
    ASSERT_TRUE(m_device->OpenEventChannel(m_backend.EventPath(SimUnit::Mouse), ChannelType::Wired));
    EXPECT_EQ(m_device->inEvent, 2) << "the old work ran to its end";
    std::unique_lock lock(m_device->workLock, std::try_to_lock);
    EXPECT_TRUE(lock.owns_lock());
    lock.unlock();
    EXPECT_EQ(traces.Count("MS设备同步线程设定退出"), 1) << "the old thread ended by itself";
}

TEST_F(DeviceThreads, LightThreadRendersOnlyWhileTheTransportIsOpenAndUnsynchronised) {
    TraceRecorder traces;
    m_device->Presenter().SetPreviewSeen(true);
    ASSERT_TRUE(m_device->StartLightThread());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(m_device->passes, 0) << "closed: no pass";
    EXPECT_EQ(m_device->Driver().StopLightThread(), ThreadStopOutcome::Ended) << "also from its 100 ms wait";

    OpenCommand();
    m_device->SetSynchronisedLighting(true);
    ASSERT_TRUE(m_device->StartLightThread());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(m_device->passes, 0) << "synchronised lighting drives the LEDs";
    m_device->SetSynchronisedLighting(false);
    while (m_device->passes < 3) {
        std::this_thread::yield();
    }
    EXPECT_EQ(m_device->Driver().StopLightThread(), ThreadStopOutcome::Ended);
    EXPECT_EQ(traces.Count("MS灯光线程设定退出"), 2);

    // A pass that waits long, but on its stop event, stops at once.
    m_device->blockInPass = true;
    const int before = m_device->passes;
    ASSERT_TRUE(m_device->StartLightThread());
    while (m_device->passes == before) {
        std::this_thread::yield();
    }
    EXPECT_EQ(m_device->Driver().StopLightThread(), ThreadStopOutcome::Ended);
}

TEST_F(DeviceThreads, EffectsAndOutputMayRunBesideTheLightThread) {
    // The light thread renders while the user-interface side resizes and outputs.
    class Renderer : public CTolvanicUSBDevice {
    public:
        using CTolvanicUSBDevice::CTolvanicUSBDevice;

    protected:
        uint32_t RunLightPass(const StopEvent&) override {
            State().EffectSpectrum();
            State().StepKeyLevel(3, 0);
            State().RotateLevelRing(1);
            return 0;
        }
    };
    auto device = MakeDevice<Renderer>(Services());
    device->Presenter().SetPreviewSeen(true);
    ASSERT_TRUE(
        device->Driver().CommandTransport().Open(ChannelType::Wired, m_backend.CommandPath(SimUnit::Mouse)));
    ASSERT_TRUE(device->StartLightThread());
    for (int i = 0; i < 200; ++i) {
        device->SetLightCount(i % 20);
        device->OutputLightFrame();
        device->State().SetLedColour(i % 7, 0x01020304u);
        device->State().ClearKeyLevels();
        EXPECT_EQ(device->State().LastFrame().size(), device->State().Leds().Copy().leds.size() * 3);
    }
    EXPECT_EQ(device->Driver().StopLightThread(), ThreadStopOutcome::Ended);
}

} // namespace
} // namespace velkor::test
