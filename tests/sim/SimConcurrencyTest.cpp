// The simulator under the transport's concurrent use: command threads,
// event threads with infinite reads, and a thread that changes the world.
#include "SimFixture.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace velkor::sim::test {
namespace {

using SimConcurrency = SimFixture;

TEST_F(SimConcurrency, CommandsEventsAndPlugsRunSideBySide) {
    m_backend.PlugFamily();
    Attach(SimUnit::Keyboard);
    DeviceTransport mouse(m_backend);
    ASSERT_TRUE(mouse.Open(ChannelType::Receiver, m_backend.CommandPath(SimUnit::MouseReceiver)));

    HidInterface events(m_backend);
    ASSERT_TRUE(events.Open(m_backend.EventPath(SimUnit::Keyboard), true, true, true, false));
    std::atomic<int> codesSeen{0};
    std::thread eventThread([&] {
        std::vector<uint8_t> report(events.Caps().inputReportLength);
        size_t n = 0;
        // Runs until the closing code 0x0402 (or until Close() cancels the read).
        while (events.Read(report.data(), report.size(), &n, kHidInfinite)) {
            if (!events.UnpackInput(report.data(), n) || events.FirstInputUsage() == 0x0402) {
                break;
            }
            codesSeen += events.FirstInputUsage() == 0x0401 ? 1 : 0;
        }
    });

    constexpr int kRounds = 60;
    std::atomic<int> failures{0};
    auto keyboardWorker = [&](uint16_t offset, uint8_t seed) {
        for (int i = 0; i < kRounds; ++i) {
            const std::vector<uint8_t> record = Pattern(28, uint8_t(seed + i));
            std::vector<uint8_t> back(28, 0);
            if (m_transport.WriteParams(record.data(), 28, offset) != kResultOk ||
                m_transport.ReadParams(back.data(), 28, offset) != kResultOk || back != record) {
                ++failures;
            }
        }
    };
    std::thread first(keyboardWorker, uint16_t(28), uint8_t(1));
    std::thread second(keyboardWorker, uint16_t(56), uint8_t(100));
    std::thread mouseWorker([&] {
        for (int i = 0; i < kRounds; ++i) {
            const std::vector<uint8_t> block = Pattern(100, uint8_t(i));
            uint8_t power[6];
            if (mouse.WriteMacroData(block.data(), 100) != kResultOk ||
                mouse.ReadPowerStatus(power, 6, 0) != kResultOk || !mouse.QueryLink()) {
                ++failures;
            }
        }
    });
    std::thread world([&] {
        for (int i = 0; i < 30; ++i) {
            m_backend.InjectEvent(SimUnit::Keyboard, 0x0401);
            m_backend.SetBattery(SimModel::Mouse, uint8_t(i), 2);
            if (i % 2 == 0) {
                m_backend.Unplug(SimUnit::MousePad);
            } else {
                m_backend.Plug(SimUnit::MousePad);
            }
            m_backend.Frames();
        }
    });
    first.join();
    second.join();
    mouseWorker.join();
    world.join();
    m_backend.InjectEvent(SimUnit::Keyboard, 0x0402);
    eventThread.join();
    events.Close();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(codesSeen.load(), 30);
    EXPECT_EQ(MemorySlice(SimModel::Keyboard, SimMemory::Params, 28, 28),
              Pattern(28, uint8_t(1 + kRounds - 1)));
    EXPECT_EQ(MemorySlice(SimModel::Mouse, SimMemory::Macro, 0, 100), Pattern(100, uint8_t(kRounds - 1)));
}

TEST_F(SimConcurrency, ClosingTheEventChannelEndsAnInfiniteRead) {
    m_backend.Plug(SimUnit::MousePad);
    HidInterface events(m_backend);
    ASSERT_TRUE(events.Open(m_backend.EventPath(SimUnit::MousePad), true, true, true, false));
    auto reader = std::async(std::launch::async, [&] {
        uint8_t report[3];
        return events.Read(report, sizeof report, nullptr, kHidInfinite);
    });
    EXPECT_TRUE(m_backend.WaitForWaitingRead(m_backend.EventPath(SimUnit::MousePad), 5000))
        << "the read never began";
    events.Close();
    if (reader.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "closing did not end the read";
        m_backend.Unplug(SimUnit::MousePad); // ends it another way rather than hang
    }
    EXPECT_FALSE(reader.get());
}

} // namespace
} // namespace velkor::sim::test
