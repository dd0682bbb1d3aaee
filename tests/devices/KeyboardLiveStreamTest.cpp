// The keyboard's live colour stream on the simulated keyboard, paced by a
// test clock that lets the stream through one deadline at a time: the grid
// of deadlines, late frames, the quiet time after a failure, dropped chunks
// while the transport is busy, and when nothing may go out at all.
#include "devices/KeyboardLiveStream.h"
#include "devices/LightTables.h"
#include "sim/SimBackend.h"
#include "transport/DeviceTransport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <thread>

namespace velkor::test {
namespace {

using sim::SimFaultKind;
using sim::SimUnit;

constexpr uint8_t kLiveColours = 0x12;
constexpr int kPositions = 126;
constexpr size_t kCableChunksPerFrame = 7; // 378 bytes in 56-byte chunks

// Lets the stream past one deadline per allowance; the time jumps to each
// deadline (plus a delay, at one chosen wait). Records every deadline asked
// for, with the live chunks written by then.
class GateClock final : public StreamClock {
public:
    struct Wait {
        uint64_t deadline;
        size_t chunksBefore;
    };
    explicit GateClock(std::function<size_t()> chunks) : m_chunks(std::move(chunks)) {}

    uint64_t NowUs() const override {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    bool WaitUntil(uint64_t deadlineUs, const StopEvent& stop) const override {
        std::unique_lock lock(m_mutex);
        m_waits.push_back({deadlineUs, m_chunks()});
        m_changed.notify_all();
        while (m_allowance == 0) {
            if (stop.IsSet()) {
                return true;
            }
            m_changed.wait_for(lock, std::chrono::milliseconds(1));
        }
        --m_allowance;
        m_now = std::max(m_now, deadlineUs);
        if (m_waits.size() == m_lateAt) {
            m_now += m_lateBy;
        }
        return stop.IsSet();
    }
    // Lets `n` more deadlines pass and waits until the stream asks for the
    // next one (bounded: a hang guard, not a measurement).
    bool Pass(size_t n) {
        std::unique_lock lock(m_mutex);
        const size_t target = std::max<size_t>(m_waits.size(), 1) + n;
        m_allowance += n;
        m_changed.notify_all();
        return m_changed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return m_waits.size() >= target && m_allowance == 0; });
    }
    void MakeLate(size_t wait, uint64_t byUs) {
        std::lock_guard lock(m_mutex);
        m_lateAt = wait;
        m_lateBy = byUs;
    }
    std::vector<Wait> Waits() const {
        std::lock_guard lock(m_mutex);
        return m_waits;
    }

private:
    std::function<size_t()> m_chunks;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    mutable std::vector<Wait> m_waits;
    mutable uint64_t m_now = 0;
    mutable size_t m_allowance = 0;
    size_t m_lateAt = 0;
    uint64_t m_lateBy = 0;
};

class LiveStream : public testing::Test {
protected:
    LiveStream() {
        m_leds.With([](LedFrame& frame) {
            frame.Resize(170);
            frame.light.selectItem = 30;
            frame.Fill(PackLed(200, 100, 50, 255));
        });
        for (int k = 0; k < kPositions; ++k) {
            m_maps.lightSlot[size_t(k)] = uint8_t(k);
        }
    }
    ~LiveStream() override { m_stream.reset(); }

    // Opens the simulated keyboard on its cable or through its receiver and starts the stream.
    void Begin(bool receiver = false) {
        const SimUnit unit = receiver ? SimUnit::KeyboardReceiver : SimUnit::Keyboard;
        m_unit = unit;
        ASSERT_TRUE(m_sim.Plug(unit));
        ASSERT_TRUE(
            m_transport.Open(receiver ? ChannelType::Receiver : ChannelType::Wired, m_sim.CommandPath(unit)));
        m_stream = std::make_unique<KeyboardLiveStream>(
            m_transport, m_leds, [this] { return m_control.load(); }, m_clock);
        m_stream->SetLayout(m_maps, kPositions);
        ASSERT_TRUE(m_stream->Start());
        ASSERT_TRUE(m_clock.Pass(0)) << "the stream never asked for its first deadline";
    }
    size_t LiveChunks() const {
        size_t chunks = 0;
        for (const sim::SimFrame& frame : m_sim.Frames()) {
            chunks += frame.direction == sim::SimDirection::ToDevice && frame.unit == m_unit &&
                              frame.bytes.size() > 3 && frame.bytes[3] == kLiveColours
                          ? 1
                          : 0;
        }
        return chunks;
    }

    sim::SimBackend m_sim{3};
    DeviceTransport m_transport{m_sim};
    LedState m_leds;
    KeyboardKeyMaps m_maps;
    std::atomic<bool> m_control{true};
    SimUnit m_unit = SimUnit::Keyboard;
    GateClock m_clock{[this] { return LiveChunks(); }};
    std::unique_ptr<KeyboardLiveStream> m_stream;
};

std::vector<uint64_t> Deadlines(const std::vector<GateClock::Wait>& waits) {
    std::vector<uint64_t> deadlines;
    for (const GateClock::Wait& wait : waits) {
        deadlines.push_back(wait.deadline);
    }
    return deadlines;
}

TEST_F(LiveStream, DeadlinesKeepTheirGridAndALateFrameRealignsCountingTheTicksItMissed) {
    Begin();
    m_clock.MakeLate(3, 25'000); // the frame of deadline 20 ms starts at 45 ms
    ASSERT_TRUE(m_clock.Pass(5));
    EXPECT_EQ(Deadlines(m_clock.Waits()), (std::vector<uint64_t>{0, 10'000, 20'000, 50'000, 60'000, 70'000}));
    EXPECT_EQ(m_stream->Statistics().missedTicks, 2u);
    EXPECT_EQ(m_stream->Statistics().frames, 5u);
    EXPECT_EQ(LiveChunks(), 5 * kCableChunksPerFrame);
}

TEST_F(LiveStream, ThroughTheReceiverAFrameGoesEvery50ms) {
    Begin(true);
    ASSERT_TRUE(m_clock.Pass(3));
    EXPECT_EQ(Deadlines(m_clock.Waits()), (std::vector<uint64_t>{0, 50'000, 100'000, 150'000}));
    EXPECT_EQ(m_stream->Statistics().frames, 3u);
}

TEST_F(LiveStream, FramesCarryTheScaledColoursOfOneWholeRendering) {
    Begin();
    ASSERT_TRUE(m_clock.Pass(1));
    const std::vector<uint8_t> live = m_sim.Memory(sim::SimModel::Keyboard, sim::SimMemory::LiveColours);
    ASSERT_GE(live.size(), size_t(kPositions) * 3);
    for (int slot = 0; slot < kPositions; ++slot) {
        ASSERT_EQ(live[size_t(slot) * 3], 199) << slot;
        ASSERT_EQ(live[size_t(slot) * 3 + 1], 99) << slot;
        ASSERT_EQ(live[size_t(slot) * 3 + 2], 49) << slot;
    }
}

TEST_F(LiveStream, AFailedFrameKeepsTheStreamQuietFor200ms) {
    Begin();
    m_sim.InjectFault(SimUnit::Keyboard, {SimFaultKind::StatusFF, 1, 1});
    ASSERT_TRUE(m_clock.Pass(22));
    const std::vector<GateClock::Wait> waits = m_clock.Waits();
    EXPECT_EQ(m_stream->Statistics().failures, 1u);
    // The frame of deadline 0 fails on its first chunk; deadlines 10..190 send nothing.
    for (const GateClock::Wait& wait : waits) {
        if (wait.deadline > 0 && wait.deadline <= 200'000) {
            EXPECT_EQ(wait.chunksBefore, 1u) << "before deadline " << wait.deadline;
        }
    }
    EXPECT_EQ(waits.back().deadline, 220'000u);
    EXPECT_EQ(waits.back().chunksBefore, 1 + 2 * kCableChunksPerFrame) << "frames again from 200 ms on";
}

TEST_F(LiveStream, ChunksAreDroppedNotQueuedWhileAnotherExchangeRuns) {
    Begin();
    ASSERT_TRUE(m_clock.Pass(1));
    ASSERT_EQ(LiveChunks(), kCableChunksPerFrame);
    // Another thread's exchange keeps the transport busy for 300 ms.
    m_sim.InjectFault(SimUnit::Keyboard, {SimFaultKind::Delay, 1, 1, 300});
    auto exchange = std::async(std::launch::async, [this] {
        uint8_t profile = 0;
        return m_transport.ReadParams(&profile, 1, 0);
    });
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!m_transport.IsBusy() && std::chrono::steady_clock::now() < guard) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(m_transport.IsBusy());
    ASSERT_TRUE(m_clock.Pass(5));
    const bool stillBusy = m_transport.IsBusy();
    EXPECT_EQ(exchange.get(), kResultOk);
    if (stillBusy) {
        EXPECT_EQ(LiveChunks(), kCableChunksPerFrame) << "no chunk went out meanwhile";
        EXPECT_EQ(m_stream->Statistics().frames, 6u) << "the stream kept its deadlines";
    }
    ASSERT_TRUE(m_clock.Pass(1));
    EXPECT_EQ(LiveChunks(), 2 * kCableChunksPerFrame) << "one frame after the exchange, nothing queued";
}

// What must stop the stream from sending anything.
enum class Hold { LightControlReleased, TransportClosed, AnotherEffect };

class LiveStreamHold : public LiveStream, public testing::WithParamInterface<Hold> {};

TEST_P(LiveStreamHold, NothingGoesOut) {
    Begin();
    switch (GetParam()) {
    case Hold::LightControlReleased:
        m_control = false;
        break;
    case Hold::TransportClosed:
        m_transport.Close();
        break;
    case Hold::AnotherEffect:
        m_leds.With([](LedFrame& frame) { frame.light.selectItem = 1; });
        break;
    }
    ASSERT_TRUE(m_clock.Pass(5));
    EXPECT_EQ(LiveChunks(), 0u);
    EXPECT_EQ(m_stream->Statistics().failures, 0u);
}

INSTANTIATE_TEST_SUITE_P(LiveStream, LiveStreamHold,
                         testing::Values(Hold::LightControlReleased, Hold::TransportClosed,
                                         Hold::AnotherEffect));

TEST(LiveStreamDeadlines, AFrame25msLateSkipsTwoDeadlinesAndLandsOnTheGrid) {
    StreamDeadlines deadlines;
    deadlines.Start(1000);
    EXPECT_EQ(deadlines.Advance(1000, 10'000), 0u);
    EXPECT_EQ(deadlines.Next(), 11'000u);
    EXPECT_EQ(deadlines.Advance(36'000, 10'000), 2u);
    EXPECT_EQ(deadlines.Next(), 41'000u);
    EXPECT_EQ(deadlines.Advance(41'500, 10'000), 0u) << "a little late is still on time";
    EXPECT_EQ(deadlines.Next(), 51'000u);
}

} // namespace
} // namespace velkor::test
