// The scan thread on the simulated family: claims, the announce, the presence
// probe, interfaces it must leave alone, retries, and stopping it while it
// waits for the window.
#include "DiscoveryTestSupport.h"

namespace velkor::test {
namespace {

using sim::SimUnit;

class Scanner : public ::testing::Test {
protected:
    void TearDown() override {
        if (m_scanner) {
            m_scanner->Stop();
        }
    }
    void Start() {
        m_scanner = std::make_unique<DeviceScanner>(m_backend, m_dispatcher, m_slots, m_window);
        ASSERT_TRUE(m_scanner->Start());
    }
    bool Until(const std::function<bool()>& done) { return PumpUntil(m_dispatcher, done); }
    // Lets `count` more passes run, handling what they send.
    bool Passes(int count) {
        const uint64_t target = m_scanner->PassCount() + uint64_t(count);
        return Until([&] { return m_scanner->PassCount() >= target; });
    }
    // Waits without running the window's queue.
    static bool Wait(const std::function<bool()>& done) {
        for (int i = 0; i < 1500 && !done(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    }

    sim::SimBackend m_sim{3};
    FamilyBackend m_backend{m_sim};
    ui::Dispatcher m_dispatcher;
    SlotList m_slots;
    WindowRouter m_window;
    std::unique_ptr<DeviceScanner> m_scanner;
};

TEST_F(Scanner, ClaimsEachInterfaceOnceAndReleasesItWhenItGoes) {
    m_sim.Plug(SimUnit::Mouse);
    m_sim.Plug(SimUnit::Headset);
    Start();
    ASSERT_TRUE(Until([&] { return m_window.attached.size() == 3 && m_window.announces == 1; }));
    ASSERT_TRUE(Passes(3));
    EXPECT_EQ(m_window.Attaches(SlotOf(0x7070)), 1);
    EXPECT_EQ(m_window.Attaches(SlotOf(0x7070, kRoleEvent)), 1);
    EXPECT_EQ(m_window.Attaches(SlotOf(0x1630)), 1) << "the headset's path has no collection";
    EXPECT_EQ(m_window.announces, 1);
    EXPECT_EQ(m_slots.At(SlotOf(0x7070))->path, m_sim.CommandPath(SimUnit::Mouse));

    m_sim.Unplug(SimUnit::Mouse);
    ASSERT_TRUE(Until([&] {
        return m_window.Detaches(SlotOf(0x7070)) == 1 && m_window.Detaches(SlotOf(0x7070, kRoleEvent)) == 1;
    }));
    EXPECT_FALSE(m_slots.IsPresent(4));
    EXPECT_TRUE(m_slots.IsPresent(10));

    // Back again: the next pass claims it.
    const int enumerations = m_backend.Enumerations();
    m_sim.Plug(SimUnit::Mouse);
    ASSERT_TRUE(Until([&] { return m_window.Attaches(SlotOf(0x7070)) == 2; }));
    EXPECT_LE(m_backend.Enumerations() - enumerations, 2);
}

TEST_F(Scanner, InterfacesOutsideTheTableAreLeftAlone) {
    const std::string unknown = "fake:unknown#vid_320f&pid_9999&mi_01&col04";
    // Says it is the mouse's vendor collection, but it is the pad's consumer collection.
    const std::string disguised = "fake:disguised#vid_320f&pid_7070&mi_01&col04";
    m_backend.foreign = {{unknown, m_sim.CommandPath(SimUnit::MousePad)},
                         {disguised, m_sim.EventPath(SimUnit::MousePad)}};
    m_sim.Plug(SimUnit::MousePad);
    Start();
    ASSERT_TRUE(Until([&] { return m_window.attached.size() == 2; }));
    ASSERT_TRUE(Passes(2));
    EXPECT_EQ(m_window.Attaches(SlotOf(0x1004)), 1);
    EXPECT_EQ(m_window.Attaches(SlotOf(0x1004, kRoleEvent)), 1);
    EXPECT_EQ(m_backend.OpenAttempts(unknown), 0) << "no row has its numbers: never opened";
    EXPECT_GE(m_backend.OpenAttempts(disguised), 2) << "opened, but its usage matches no row";
    EXPECT_FALSE(m_slots.IsPresent(4));
}

TEST_F(Scanner, AnInterfaceThatCannotBeOpenedIsTriedAgainOnTheNextPass) {
    const std::string command = m_sim.CommandPath(SimUnit::Mouse);
    m_backend.failOpens[command] = 2;
    m_sim.Plug(SimUnit::Mouse);
    Start();
    ASSERT_TRUE(Until([&] { return m_window.Attaches(SlotOf(0x7070)) == 1; }));
    EXPECT_EQ(m_backend.OpenAttempts(command), 3);
    EXPECT_EQ(m_window.Attaches(SlotOf(0x7070, kRoleEvent)), 1);
}

TEST_F(Scanner, ASecondIdenticalMouseFindsNoFreeSlot) {
    m_sim.Plug(SimUnit::Mouse);
    m_backend.twinMouse = true;
    Start();
    ASSERT_TRUE(Until([&] { return m_window.attached.size() == 2; }));
    ASSERT_TRUE(Passes(3));
    EXPECT_EQ(m_window.attached.size(), 2u);
    EXPECT_EQ(m_backend.OpenAttempts(FamilyBackend::TwinPath(m_sim.CommandPath(SimUnit::Mouse))), 0);
    EXPECT_EQ(m_slots.At(SlotOf(0x7070))->path, m_sim.CommandPath(SimUnit::Mouse));
}

TEST_F(Scanner, AFailingEnumerationIsRetriedNotTheEndOfDiscovery) {
    m_backend.enumerationFails = true;
    m_sim.Plug(SimUnit::Mouse);
    Start();
    ASSERT_TRUE(Until([&] { return m_window.announces == 1; })) << "the window still comes up";
    ASSERT_TRUE(Passes(2));
    EXPECT_TRUE(m_window.attached.empty());
    m_backend.enumerationFails = false;
    EXPECT_TRUE(Until([&] { return m_window.Attaches(SlotOf(0x7070)) == 1; }));
}

TEST_F(Scanner, StoppingWhileAnAttachWaitsForTheWindowEndsTheThread) {
    m_sim.Plug(SimUnit::Mouse);
    Start();
    // The window does not run its queue: the attach stays queued.
    ASSERT_TRUE(Wait([&] { return m_dispatcher.PendingCount() >= 1; }));
    EXPECT_EQ(m_scanner->Stop(), ThreadStopOutcome::Ended);
    m_dispatcher.ProcessPending();
    EXPECT_TRUE(m_window.attached.empty()) << "a message given up on never runs later";
}

TEST_F(Scanner, AnAttachHandlerThatStopsTheScannerDoesNotDeadLock) {
    ThreadStopOutcome outcome = ThreadStopOutcome::NotRunning;
    m_window.onAttach = [&](int) {
        if (outcome == ThreadStopOutcome::NotRunning) {
            outcome = m_scanner->Stop();
        }
    };
    m_sim.Plug(SimUnit::Mouse);
    Start();
    ASSERT_TRUE(Until([&] { return outcome != ThreadStopOutcome::NotRunning; }));
    EXPECT_EQ(outcome, ThreadStopOutcome::Ended);
    EXPECT_FALSE(m_scanner->IsRunning());
}

TEST_F(Scanner, ADispatcherShuttingDownReleasesAWaitingScanThread) {
    m_sim.Plug(SimUnit::Mouse);
    Start();
    ASSERT_TRUE(Wait([&] { return m_dispatcher.PendingCount() >= 1; }));
    m_dispatcher.BeginShutdown();
    EXPECT_TRUE(Wait([&] { return !m_scanner->IsRunning(); }));
    EXPECT_EQ(m_scanner->Stop(), ThreadStopOutcome::Ended);
}

} // namespace
} // namespace velkor::test
