#include "TransportFixture.h"
#include "platform/Trace.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

namespace velkor::test {
namespace {

// A device with a flat memory per command family: reads answer from it,
// writes fill it, each frame echoes the command with status 0.
class MemoryDevice {
public:
    std::vector<uint8_t> memory = std::vector<uint8_t>(4096, 0);
    std::atomic<int> frames{0};
    int failOnFrame = -1; // 1-based frame that answers `failStatus`
    uint8_t failStatus = 0;

    Responder AsResponder() {
        return [this](const Report& request) {
            int n = ++frames;
            Report reply = request;
            reply.resize(64);
            reply[7] = n == failOnFrame ? failStatus : 0;
            const uint8_t code = request[3];
            const size_t length = request[4];
            const size_t offset = request[5] | (request[6] << 8);
            const bool read = code == 0x03 || code == 0x05 || code == 0x07 || code == 0x0A || code == 0x1B;
            if (read) {
                for (size_t i = 0; i < length; ++i) {
                    reply[8 + i] = memory[offset + i];
                }
            } else if (code != 0x01 && code != 0x02) {
                for (size_t i = 0; i < length; ++i) {
                    memory[offset + i] = request[8 + i];
                }
            }
            return std::vector<Report>{reply};
        };
    }
};

class CommandSet : public TransportFixture {
protected:
    void Use(ChannelType type) {
        OpenChannel(type);
        m_backend.SetResponder(PathOf(type), m_device.AsResponder());
        m_type = type;
    }
    std::vector<Report> Sent() const { return m_backend.Written(PathOf(m_type)); }

    MemoryDevice m_device;
    ChannelType m_type = ChannelType::Wired;
};

TEST_F(CommandSet, DeviceInfoIsOneFrameOnTheCableAndTwoOnTheReceiver) {
    for (int i = 0; i < 34; ++i) {
        m_device.memory[i] = static_cast<uint8_t>(i + 1);
    }
    Use(ChannelType::Wired);
    uint8_t info[34] = {};
    ASSERT_EQ(m_transport.ReadDeviceInfo(info), 1);
    EXPECT_EQ(Chunks(Sent()), (std::vector<std::pair<int, int>>{{34, 0}}));
    EXPECT_EQ(info[5], 6);
    EXPECT_EQ(info[33], 34);

    m_backend.ClearWritten();
    m_transport.CloseChannel(ChannelType::Wired);
    Use(ChannelType::Receiver);
    uint8_t again[34] = {};
    ASSERT_EQ(m_transport.ReadDeviceInfo(again), 1);
    EXPECT_EQ(Chunks(Sent()), (std::vector<std::pair<int, int>>{{24, 0}, {10, 24}}));
    EXPECT_EQ(0, std::memcmp(info, again, 34));
}

TEST_F(CommandSet, DeviceInfoLeavesTheDestinationAloneOnFailure) {
    Use(ChannelType::Receiver);
    m_device.failOnFrame = 2;
    m_device.failStatus = 0xFF;
    uint8_t info[34];
    std::memset(info, 0x77, sizeof info);
    EXPECT_EQ(m_transport.ReadDeviceInfo(info), kResultStatusFF);
    for (uint8_t b : info) {
        EXPECT_EQ(b, 0x77);
    }
}

TEST_F(CommandSet, WriteParamsPagesFromTheBaseOffset) {
    Use(ChannelType::Receiver);
    std::vector<uint8_t> record(28);
    for (size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<uint8_t>(0xA0 + i);
    }
    ASSERT_EQ(m_transport.WriteParams(record.data(), 28, 56), 1);
    auto sent = Sent();
    ASSERT_EQ(Chunks(sent), (std::vector<std::pair<int, int>>{{24, 56}, {4, 80}}));
    EXPECT_EQ(sent[0][3], 0x06);
    EXPECT_EQ(0, std::memcmp(m_device.memory.data() + 56, record.data(), 28));
    for (const Report& f : sent) {
        EXPECT_EQ(f[0], 0x04);
        EXPECT_EQ(f[7], 0);
        EXPECT_EQ(f[1] | (f[2] << 8), FrameChecksum(f.data()));
    }
    // The frame buffer is reused: bytes past the short last chunk keep the first chunk's data.
    EXPECT_EQ(sent[1][8 + 4], record[4]);
}

TEST_F(CommandSet, RecoilDataAlwaysUsesFiftySixByteChunks) {
    for (ChannelType type : {ChannelType::Wired, ChannelType::Receiver}) {
        m_backend.ClearWritten();
        m_transport.Close();
        Use(type);
        std::vector<uint8_t> data(100, 0x42);
        ASSERT_EQ(m_transport.WriteRecoilData(data.data(), 100), 1);
        EXPECT_EQ(Chunks(Sent()), (std::vector<std::pair<int, int>>{{56, 0}, {44, 56}}));
    }
}

TEST_F(CommandSet, KeyLightMapReadsAThirdOfTheDataSize) {
    Use(ChannelType::Wired);
    ASSERT_TRUE(m_transport.SetDataSize(312));
    std::vector<uint8_t> map(104);
    ASSERT_EQ(m_transport.ReadKeyLightMap(map.data()), 1);
    EXPECT_EQ(Chunks(Sent()), (std::vector<std::pair<int, int>>{{56, 0}, {48, 56}}));
}

TEST_F(CommandSet, KeyTableRoundTripsAndRefusesOtherBanks) {
    Use(ChannelType::Receiver);
    ASSERT_TRUE(m_transport.SetDataSize(33));
    std::vector<uint8_t> keys(33);
    for (size_t i = 0; i < keys.size(); ++i) {
        keys[i] = static_cast<uint8_t>(i * 7);
    }
    EXPECT_EQ(m_transport.WriteKeyTable(keys.data(), 1), kResultBadBank);
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(m_transport.WriteKeyTable(keys.data(), 0), 1);
    std::vector<uint8_t> back(33);
    ASSERT_EQ(m_transport.ReadKeyTable(back.data()), 1);
    EXPECT_EQ(back, keys);
}

TEST_F(CommandSet, StatusFEOnTheSecondChunkStopsAfterOneCopied) {
    Use(ChannelType::Wired);
    for (int i = 0; i < 100; ++i) {
        m_device.memory[i] = 0x11;
    }
    m_device.failOnFrame = 2;
    m_device.failStatus = 0xFE;
    std::vector<uint8_t> params(100, 0);
    EXPECT_EQ(m_transport.ReadParams(params.data(), 100, 0), kResultStatusFE);
    EXPECT_EQ(params[55], 0x11);
    EXPECT_EQ(params[56], 0x00);
    EXPECT_EQ(Sent().size(), 2u);
}

TEST_F(CommandSet, ColourTableAddressesIndexTimesStride) {
    Use(ChannelType::Wired);
    std::vector<uint8_t> colours(60, 0x33);
    ASSERT_EQ(m_transport.WriteColourTable(colours.data(), 60, 2, 512), 1);
    EXPECT_EQ(Chunks(Sent()), (std::vector<std::pair<int, int>>{{56, 1024}, {4, 1080}}));
    std::vector<uint8_t> back(60);
    ASSERT_EQ(m_transport.ReadColourTable(back.data(), 60, 2, 512), 1);
    EXPECT_EQ(back, colours);
}

TEST_F(CommandSet, QueryLinkOnTheCableSendsNothing) {
    Use(ChannelType::Wired);
    EXPECT_TRUE(m_transport.QueryLink());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(CommandSet, QueryLinkOnTheReceiverNeedsFFInByteEight) {
    OpenChannel(ChannelType::Receiver);
    uint8_t linkByte = 0x00;
    uint8_t status = 0x00;
    m_backend.SetResponder(kReceiverPath, [&](const Report& request) {
        Report reply = MakeReply(request[3], status);
        reply[8] = linkByte;
        return std::vector<Report>{reply};
    });
    EXPECT_FALSE(m_transport.QueryLink());
    linkByte = 0xFF;
    EXPECT_TRUE(m_transport.QueryLink());
    status = 0xFE;
    EXPECT_FALSE(m_transport.QueryLink());
    auto sent = m_backend.Written(kReceiverPath);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0][3], 0xAA);
    EXPECT_EQ(sent[0][4] | sent[0][5] | sent[0][6] | sent[0][7], 0);
}

TEST_F(CommandSet, PowerStatusCopiesTheReplyData) {
    OpenChannel(ChannelType::Receiver);
    m_backend.SetResponder(kReceiverPath, [&](const Report& request) {
        Report reply = MakeReply(request[3]);
        const uint8_t power[6] = {87, 1, 0, 1, 4, 2};
        std::copy(power, power + 6, reply.begin() + 8);
        return std::vector<Report>{reply};
    });
    uint8_t status[6] = {};
    ASSERT_EQ(m_transport.ReadPowerStatus(status, 6, 0), 1);
    EXPECT_EQ(status[0], 87);
    EXPECT_EQ(status[5], 2);
    auto sent = m_backend.Written(kReceiverPath);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][3], 0x1A);
    EXPECT_EQ(sent[0][4], 6);
    uint8_t tooMuch[64];
    EXPECT_EQ(m_transport.ReadPowerStatus(tooMuch, 57, 0), 0) << "more than one frame's data is refused";
}

TEST_F(CommandSet, EndSessionWaitsBeforeItsFrame) {
    Use(ChannelType::Wired);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(m_transport.EndSession(1), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10));
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][3], 0x02);
}

TEST_F(CommandSet, SingleFrameCommandsCarryTheirCode) {
    Use(ChannelType::Wired);
    EXPECT_EQ(m_transport.BeginSession(), 1);
    EXPECT_EQ(m_transport.TakeLightingControl(), 1);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][3], 0x01);
    EXPECT_EQ(sent[1][3], 0x1C);
    EXPECT_EQ(sent[1][1], 0x1C);
}

TEST_F(CommandSet, LiveColoursAreDroppedWhileBusy) {
    Use(ChannelType::Wired);
    // An exchange on another thread is held inside the device's answer, so the transport is busy.
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    m_backend.SetResponder(kWiredPath, [&, answer = m_device.AsResponder()](const Report& request) {
        if (request[3] == 0x05) {
            entered.set_value();
            released.wait();
        }
        return answer(request);
    });
    auto exchange = std::async(std::launch::async, [&] {
        const uint8_t profile[] = {0x04, 0, 0, 0x05, 1};
        Frame reply{};
        return m_transport.Transact(profile, sizeof profile, reply.data(), reply.size(), nullptr);
    });
    entered.get_future().wait();
    EXPECT_TRUE(m_transport.IsBusy());
    std::vector<uint8_t> colours(300, 0x20);
    std::vector<std::string> lines;
    {
        ScopedTraceSink sink([&](std::string_view line) { lines.emplace_back(line); });
        EXPECT_EQ(m_transport.SendLiveColours(colours.data(), 300), 1);
    }
    release.set_value();
    ASSERT_EQ(exchange.get(), 1);
    EXPECT_FALSE(m_transport.IsBusy());
    const auto liveFrames = [&] {
        const auto sent = Sent();
        return std::count_if(sent.begin(), sent.end(), [](const Report& f) { return f[3] == 0x12; });
    };
    EXPECT_EQ(liveFrames(), 0);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "放弃灯光数据"), 6);
    ASSERT_EQ(m_transport.SendLiveColours(colours.data(), 300), 1);
    EXPECT_EQ(liveFrames(), 6);
}

// A command that waits for its turn while a live frame of six chunks goes out:
// the rest of the frame is dropped, so the command goes right after the chunk
// in flight instead of behind the whole frame.
TEST_F(CommandSet, AWaitingCommandGoesBeforeTheRestOfALiveFrame) {
    Use(ChannelType::Wired);
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> first{true};
    m_backend.SetResponder(kWiredPath, [&, answer = m_device.AsResponder()](const Report& request) {
        if (request[3] == 0x12 && first.exchange(false)) {
            entered.set_value();
            released.wait();
        }
        return answer(request);
    });
    std::vector<uint8_t> colours(300, 0x20);
    auto live =
        std::async(std::launch::async, [&] { return m_transport.SendLiveColours(colours.data(), 300); });
    entered.get_future().wait();
    auto command = std::async(std::launch::async, [&] {
        const uint8_t profile[] = {0x04, 0, 0, 0x05, 1};
        Frame reply{};
        return m_transport.Transact(profile, sizeof profile, reply.data(), reply.size(), nullptr);
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (m_transport.BusyCount() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(m_transport.BusyCount(), 2) << "the command never waited for its turn";
    release.set_value();
    EXPECT_EQ(live.get(), 1);
    EXPECT_EQ(command.get(), 1);
    std::vector<uint8_t> codes;
    for (const Report& frame : Sent()) {
        codes.push_back(frame[3]);
    }
    // Chunks dropped while the command waited never go; once it is answered,
    // the frame's last chunks may (the live thread may not have reached them).
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes[0], 0x12);
    EXPECT_EQ(codes[1], 0x05) << "the chunk in flight, then the command";
}

TEST_F(CommandSet, ALiveStreamOnAnotherThreadNeverTakesAConfigurationReply) {
    Use(ChannelType::Wired);
    for (int i = 0; i < 28; ++i) {
        m_device.memory[2000 + size_t(i)] = uint8_t(0xA0 + i);
    }
    const std::vector<uint8_t> expected(m_device.memory.begin() + 2000, m_device.memory.begin() + 2028);
    std::atomic<bool> done{false};
    std::atomic<int> liveFailures{0};
    auto live = std::async(std::launch::async, [&] {
        std::vector<uint8_t> colours(100, 0x33);
        while (!done) {
            liveFailures += m_transport.SendLiveColours(colours.data(), 100) != 1 ? 1 : 0;
        }
    });
    for (int i = 0; i < 300; ++i) {
        std::vector<uint8_t> read(28, 0);
        ASSERT_EQ(m_transport.ReadParams(read.data(), 28, 2000), 1) << "exchange " << i;
        ASSERT_EQ(read, expected) << "exchange " << i;
    }
    done = true;
    live.get();
    EXPECT_EQ(liveFailures, 0) << "no live chunk lost its reply to the other thread";
}

TEST_F(CommandSet, LiveColourFrameNeverWaitsBehindAnotherExchange) {
    OpenChannel(ChannelType::Wired);
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    m_backend.SetResponder(kWiredPath, [&](const Report& request) {
        if (request[3] == 0x01) {
            inside = true;
            while (!release) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return std::vector<Report>{MakeReply(request[3])};
    });
    auto configuration = std::async(std::launch::async, [&] { return m_transport.BeginSession(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!inside && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(inside) << "the configuration exchange never reached the device";
    // On a helper thread with a bound: a live frame that waits for the I/O
    // lock would wait for ever here, since the exchange holding it is held
    // until `release`.
    std::vector<uint8_t> colours(100, 0x01);
    auto live =
        std::async(std::launch::async, [&] { return m_transport.SendLiveColours(colours.data(), 100); });
    const bool returned = live.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    release = true;
    EXPECT_TRUE(returned) << "a live frame waited behind the configuration exchange";
    EXPECT_EQ(live.get(), 1);
    EXPECT_EQ(configuration.get(), 1);
    for (const Report& frame : m_backend.Written(kWiredPath)) {
        EXPECT_NE(frame[3], 0x12) << "a live frame went out while the transport was busy";
    }
}

} // namespace
} // namespace velkor::test
