#include "TransportFixture.h"
#include "platform/Trace.h"

#include <atomic>
#include <future>
#include <iterator>
#include <sstream>
#include <thread>

namespace velkor::test {
namespace {

using ChannelTransact = TransportFixture;

TEST(Framing, ChecksumOfAllOnesFitsTwoBytes) {
    Frame frame{};
    frame.fill(0xFF);
    SealFrame(frame);
    EXPECT_EQ(FrameChecksum(frame.data()), 15555);
    EXPECT_EQ(frame[1], 0xC3);
    EXPECT_EQ(frame[2], 0x3C);
}

TEST(Framing, ChecksumCoversBytesThreeToEnd) {
    Frame frame{};
    frame[0] = 0x04;
    frame[1] = 0x99; // not part of the sum
    frame[3] = 0x05;
    frame[63] = 0x10;
    EXPECT_EQ(FrameChecksum(frame.data()), 0x15);
}

TEST(Framing, StatusRule) {
    Frame reply{};
    reply[7] = 0xFF;
    EXPECT_EQ(ApplyStatusRule(1, reply.data()), kResultStatusFF);
    reply[7] = 0xFE;
    EXPECT_EQ(ApplyStatusRule(1, reply.data()), kResultStatusFE);
    EXPECT_EQ(ApplyStatusRule(0, reply.data()), 0); // a failed transaction keeps its own result
    reply[7] = 0x01;
    EXPECT_EQ(ApplyStatusRule(1, reply.data()), 1);
}

TEST_F(ChannelTransact, ShortRequestIsPaddedToSixtyFourBytes) {
    OpenChannel(ChannelType::Wired);
    uint8_t request[8] = {0x04, 0, 0, 0x05, 0x08, 0, 0, 0};
    Frame reply{};
    size_t read = 0;
    ASSERT_EQ(m_transport.Transact(request, sizeof request, reply.data(), reply.size(), &read), 1);
    auto written = m_backend.Written(kWiredPath);
    ASSERT_EQ(written.size(), 1u);
    ASSERT_EQ(written[0].size(), 64u);
    for (size_t i = 8; i < 64; ++i) {
        EXPECT_EQ(written[0][i], 0) << i;
    }
    EXPECT_EQ(read, 64u);
    EXPECT_FALSE(m_transport.IsBusy());
}

TEST_F(ChannelTransact, LongRequestIsCut) {
    OpenChannel(ChannelType::Wired);
    std::vector<uint8_t> request(100, 0x11);
    request[3] = 0x05;
    Frame reply{};
    ASSERT_EQ(m_transport.Transact(request.data(), request.size(), reply.data(), reply.size(), nullptr), 1);
    const auto written = m_backend.Written(kWiredPath);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].size(), 64u);
}

TEST_F(ChannelTransact, NotOpenSendsNothing) {
    uint8_t request[64] = {0x04, 0, 0, 0x01};
    Frame reply{};
    size_t read = 99;
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, &read), 0);
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(m_backend.Written(kWiredPath).empty());
}

TEST_F(ChannelTransact, TwoMismatchesEndWithTheSecondRead) {
    OpenChannel(ChannelType::Wired);
    m_backend.SetResponder(kWiredPath, [](const Report&) {
        return std::vector<Report>{MakeReply(0x03), MakeReply(0x07), MakeReply(0x05)};
    });
    uint8_t request[64] = {0x04, 0, 0, 0x05};
    Frame reply{};
    // The second read succeeded, so the result is 1 and the caller judges what was read.
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), 1);
    EXPECT_EQ(reply[3], 0x07);
}

TEST_F(ChannelTransact, ReceiverSilentAnswersMinus101AfterOneRead) {
    OpenChannel(ChannelType::Receiver);
    m_backend.SetResponder(kReceiverPath, [](const Report& request) {
        return std::vector<Report>{MakeReply(0xAA), MakeReply(request[3])};
    });
    uint8_t request[64] = {0x04, 0, 0, 0x05};
    Frame reply{};
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), kResultReceiverSilent);
    // The echo still waits unread: only one read was made, so the next exchange reads it.
    uint8_t next[64] = {0x04, 0, 0, 0x05};
    EXPECT_EQ(m_transport.Transact(next, 64, reply.data(), 64, nullptr), 1);
    EXPECT_EQ(reply[3], 0x05);
}

TEST_F(ChannelTransact, OnTheCableAnAAReplyIsJustAMismatch) {
    OpenChannel(ChannelType::Wired);
    m_backend.SetResponder(kWiredPath, [](const Report& request) {
        return std::vector<Report>{MakeReply(0xAA), MakeReply(request[3])};
    });
    uint8_t request[64] = {0x04, 0, 0, 0x05};
    Frame reply{};
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), 1);
    EXPECT_EQ(reply[3], 0x05);
}

TEST_F(ChannelTransact, ReplyWithAnotherReportIdIsNotTheEcho) {
    OpenChannel(ChannelType::Receiver);
    m_backend.SetResponder(kReceiverPath, [](const Report& request) {
        // A foreign report whose byte 3 happens to be 0xAA must not read as "device silent".
        return std::vector<Report>{MakeReply(0xAA, 0, 0x03), MakeReply(request[3])};
    });
    uint8_t request[64] = {0x04, 0, 0, 0x05};
    Frame reply{};
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), 1);
    EXPECT_EQ(reply[0], 0x04);
}

// A first reply that is not our echo is passed over for the second: a stale
// reply (another command byte), or another collection's report that happens
// to carry our command byte.
struct NotTheEcho {
    const char* name;
    uint8_t command;
    uint8_t reportId;
};

class FirstReplyNotTheEcho : public TransportFixture, public ::testing::WithParamInterface<NotTheEcho> {};

TEST_P(FirstReplyNotTheEcho, TheSecondReplyIsTaken) {
    OpenChannel(ChannelType::Wired);
    const NotTheEcho first = GetParam();
    m_backend.SetResponder(kWiredPath, [first](const Report& request) {
        Report other = MakeReply(first.command == 0 ? request[3] : first.command, 0, first.reportId);
        other[8] = 0x11;
        Report echo = MakeReply(request[3]);
        echo[8] = 0x5A;
        return std::vector<Report>{other, echo};
    });
    uint8_t request[64] = {0x04, 0, 0, 0x05};
    Frame reply{};
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), 1);
    EXPECT_EQ(reply[0], 0x04);
    EXPECT_EQ(reply[3], 0x05);
    EXPECT_EQ(reply[8], 0x5A) << "the second reply is the echo";
}

INSTANTIATE_TEST_SUITE_P(Replies, FirstReplyNotTheEcho,
                         ::testing::Values(NotTheEcho{"Stale", 0x03, 0x04},
                                           // 0: the request's own command byte.
                                           NotTheEcho{"ForeignReportWithOurCommand", 0, 0x03}),
                         [](const ::testing::TestParamInfo<NotTheEcho>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ChannelTransact, ShortReplyCountsAsNoReply) {
    OpenChannel(ChannelType::Wired);
    m_backend.SetResponder(kWiredPath, [](const Report&) { return std::vector<Report>{Report{0x04, 0}}; });
    uint8_t request[64] = {0x04, 0, 0, 0x00};
    Frame reply{};
    reply.fill(0xEE);
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), 0);
}

TEST_F(ChannelTransact, WriteFailureReadsNothing) {
    OpenChannel(ChannelType::Wired);
    m_backend.SetFailWrites(kWiredPath, true);
    m_backend.Inject(kWiredPath, MakeReply(0x05));
    uint8_t request[64] = {0x04, 0, 0, 0x05};
    Frame reply{};
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), kResultWriteFailed);
    EXPECT_EQ(reply[3], 0); // the queued reply was not read
}

TEST_F(ChannelTransact, SilentDeviceGivesZeroAfterTwoReads) {
    OpenChannel(ChannelType::Wired);
    m_backend.SetResponder(kWiredPath, [](const Report&) { return std::vector<Report>{}; });
    uint8_t request[64] = {0x04, 0, 0, 0x05};
    Frame reply{};
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), 0);
}

TEST_F(ChannelTransact, DeviceRemovedMidTransferFailsWithoutHanging) {
    OpenChannel(ChannelType::Wired);
    m_backend.SetResponder(kWiredPath, [](const Report&) { return std::vector<Report>{}; });
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        m_backend.SetPresent(kWiredPath, false);
    });
    uint8_t request[64] = {0x04, 0, 0, 0x05};
    Frame reply{};
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), 0);
    unplug.join();
    // Not a timing test: a gone device must not cost the two full time-outs.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), kResultWriteFailed);
}

TEST_F(ChannelTransact, SelectChannelSetsChunkSize) {
    EXPECT_EQ(m_transport.ChunkSize(), 24) << "until the first selection";
    m_transport.SelectChannel(2);
    EXPECT_TRUE(m_transport.OnReceiver());
    EXPECT_EQ(m_transport.ChunkSize(), 24);
    m_transport.SelectChannel(1);
    EXPECT_FALSE(m_transport.OnReceiver());
    EXPECT_EQ(m_transport.ChunkSize(), 56);
    m_transport.SelectChannel(7);
    EXPECT_EQ(m_transport.ChunkSize(), 56);
}

TEST_F(ChannelTransact, DataSizeNeverAbove512) {
    EXPECT_EQ(m_transport.DataSize(), 512);
    EXPECT_TRUE(m_transport.SetDataSize(300));
    EXPECT_FALSE(m_transport.SetDataSize(513));
    EXPECT_EQ(m_transport.DataSize(), 300);
    EXPECT_TRUE(m_transport.SetDataSize(512));
    EXPECT_EQ(m_transport.DataSize(), 512);
}

TEST_F(ChannelTransact, TracesCommandAndReplyAsTwoLinesEach) {
    OpenChannel(ChannelType::Wired);
    std::vector<std::string> lines;
    ScopedTraceSink sink([&](std::string_view line) { lines.emplace_back(line); });
    uint8_t request[64] = {0x04, 0x05, 0x00, 0x05};
    Frame reply{};
    ASSERT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), 1);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "命令");
    EXPECT_EQ(lines[1], "04 05 00 05   00 00 00 00   00 00 00 00   00 00 00 00  00 00 00 00  00 00 00 00  "
                        "00 00 00 00  00 00 00 00");
    EXPECT_EQ(lines[3], "返回");
    lines.clear();
    ASSERT_EQ(m_transport.TransactQuick(request, 64, reply.data(), 64, nullptr), 1);
    EXPECT_TRUE(lines.empty()) << "live frames are not traced";
}

// Two devices exchanging at once: every dump is its heading and the two lines
// of one frame; a line of the other device's dump never comes between them.
TEST_F(ChannelTransact, DumpsOfTwoDevicesNeverMix) {
    constexpr int kExchanges = 1500;
    OpenChannel(ChannelType::Wired);
    DeviceTransport other{m_backend};
    ASSERT_TRUE(other.Open(ChannelType::Receiver, kReceiverPath));
    std::vector<std::string> lines;
    {
        // Yielding in the sink gives the other thread every chance to come between two lines.
        ScopedTraceSink sink([&](std::string_view line) {
            lines.emplace_back(line);
            std::this_thread::yield();
        });
        const auto exchange = [](DeviceTransport& transport, uint8_t mark) {
            for (int i = 0; i < kExchanges; ++i) {
                uint8_t request[64] = {0x04, 0, 0, 0x05, mark};
                request[63] = mark; // in the dump's second line
                Frame reply{};
                transport.Transact(request, 64, reply.data(), 64, nullptr);
            }
        };
        std::thread first(exchange, std::ref(m_transport), uint8_t(0xA1));
        std::thread second(exchange, std::ref(other), uint8_t(0xB2));
        first.join();
        second.join();
    }
    ASSERT_EQ(lines.size(), size_t(2 * 2 * kExchanges * 3));
    const auto bytes = [](const std::string& line) {
        std::istringstream in(line);
        std::vector<std::string> tokens{std::istream_iterator<std::string>(in), {}};
        return tokens;
    };
    for (size_t i = 0; i < lines.size(); i += 3) {
        ASSERT_TRUE(lines[i] == "命令" || lines[i] == "返回") << "line " << i << ": " << lines[i];
        const std::vector<std::string> top = bytes(lines[i + 1]);
        const std::vector<std::string> bottom = bytes(lines[i + 2]);
        ASSERT_EQ(top.size(), 32u) << "line " << i + 1 << ": " << lines[i + 1];
        ASSERT_EQ(bottom.size(), 32u) << "line " << i + 2 << ": " << lines[i + 2];
        EXPECT_EQ(top[4], bottom[31]) << "the two lines after line " << i << " are of two frames";
    }
}

// ---- The transport opens and closes its own channels ----

const std::string kMissingPath = "test:missing#vid_320f&pid_7070&mi_01&col04";

struct OpenCase {
    const char* name;
    ChannelType channel;
    bool present;
    bool select;
    bool open;
    bool onReceiver;
    uint8_t chunkSize;
};

class TransportOpen : public TransportFixture, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(TransportOpen, MarksOpenOnlyOnSuccessAndSelectsWhenAsked) {
    const OpenCase& c = GetParam();
    // Open on the other channel first: every Open starts by marking the transport closed.
    const ChannelType other = c.channel == ChannelType::Wired ? ChannelType::Receiver : ChannelType::Wired;
    ASSERT_TRUE(m_transport.Open(other, PathOf(other), false));
    EXPECT_EQ(m_transport.Open(c.channel, c.present ? PathOf(c.channel) : kMissingPath, c.select), c.open);
    EXPECT_EQ(m_transport.IsOpen(), c.open);
    EXPECT_EQ(m_transport.ChannelOpen(c.channel), c.open);
    EXPECT_TRUE(m_transport.ChannelOpen(other)) << "the other channel is left alone";
    EXPECT_EQ(m_transport.OnReceiver(), c.onReceiver);
    EXPECT_EQ(m_transport.ChunkSize(), c.chunkSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransportOpen,
    ::testing::Values(OpenCase{"Wired", ChannelType::Wired, true, true, true, false, 56},
                      OpenCase{"Receiver", ChannelType::Receiver, true, true, true, true, 24},
                      // Not selected: the defaults (receiver off, chunk 24) stay.
                      OpenCase{"WiredUnselected", ChannelType::Wired, true, false, true, false, 24},
                      OpenCase{"MissingWired", ChannelType::Wired, false, true, false, false, 24},
                      OpenCase{"MissingReceiver", ChannelType::Receiver, false, true, false, false, 24}),
    [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });

TEST_F(ChannelTransact, AFailedSwitchToTheCableResumesOnTheReceiver) {
    OpenChannel(ChannelType::Receiver);
    EXPECT_FALSE(m_transport.Open(ChannelType::Wired, kMissingPath));
    EXPECT_FALSE(m_transport.IsOpen());
    uint8_t request[64] = {0x04, 0, 0, 0x05};
    Frame reply{};
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), kResultNoReply);
    ASSERT_TRUE(m_transport.ResumeSelected());
    EXPECT_TRUE(m_transport.OnReceiver());
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), kResultOk);

    m_transport.CloseChannel(ChannelType::Receiver);
    EXPECT_TRUE(m_transport.IsOpen()) << "closing one channel keeps the mark";
    m_transport.Close();
    EXPECT_FALSE(m_transport.ResumeSelected()) << "the selected channel's handle is closed";
    EXPECT_FALSE(m_transport.IsOpen());
}

TEST_F(ChannelTransact, CloseEndsAnExchangeWaitingForItsReply) {
    OpenChannel(ChannelType::Wired);
    std::promise<void> written;
    m_backend.SetResponder(kWiredPath, [&](const Report&) {
        written.set_value();
        return std::vector<Report>{};
    });
    auto exchange = std::async(std::launch::async, [&] {
        uint8_t request[64] = {0x04, 0, 0, 0x05};
        Frame reply{};
        return m_transport.Transact(request, 64, reply.data(), 64, nullptr);
    });
    written.get_future().wait();
    ASSERT_TRUE(m_backend.WaitForWaitingRead(kWiredPath, std::chrono::seconds(5))) << "the read never began";
    // The reply comes late but well within the read's time-out: only a Close
    // that does not wait for the exchange's lock keeps it from being read.
    std::thread lateReply([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        m_backend.Inject(kWiredPath, MakeReply(0x05));
    });
    m_transport.Close();
    EXPECT_FALSE(m_transport.IsOpen());
    EXPECT_FALSE(m_transport.ChannelOpen(ChannelType::Wired));
    ASSERT_EQ(exchange.wait_for(std::chrono::seconds(5)), std::future_status::ready); // hang guard only
    EXPECT_EQ(exchange.get(), kResultNoReply);
    lateReply.join();
}

TEST_F(ChannelTransact, EventChannelsListenApartFromTheCommandMarks) {
    uint16_t code = 0;
    EXPECT_EQ(m_transport.ReadEvent(ChannelType::Wired, 0, code), DeviceTransport::EventRead::None);
    EXPECT_FALSE(m_transport.OpenListening(ChannelType::Receiver, kMissingPath));
    EXPECT_FALSE(m_transport.Listening(ChannelType::Receiver));
    ASSERT_TRUE(m_transport.OpenListening(ChannelType::Wired, kWiredPath));
    ASSERT_TRUE(m_transport.OpenListening(ChannelType::Receiver, kReceiverPath));
    EXPECT_TRUE(m_transport.Listening(ChannelType::Wired));
    EXPECT_FALSE(m_transport.IsOpen()) << "listening is not the command channel's open mark";
    EXPECT_FALSE(m_transport.OnReceiver());

    EXPECT_EQ(m_transport.ReadEvent(ChannelType::Wired, 0, code), DeviceTransport::EventRead::None)
        << "nothing came";
    m_backend.Inject(kWiredPath, Report{});
    EXPECT_EQ(m_transport.ReadEvent(ChannelType::Wired, 100, code), DeviceTransport::EventRead::Report)
        << "an empty report carries no event";

    // A read waiting without a bound ends when the channel is closed.
    auto waiting = std::async(std::launch::async, [&] {
        uint16_t ignored = 0;
        return m_transport.ReadEvent(ChannelType::Receiver, kHidInfinite, ignored);
    });
    ASSERT_TRUE(m_backend.WaitForWaitingRead(kReceiverPath, std::chrono::seconds(5)))
        << "the read never began";
    m_transport.CloseListening(ChannelType::Receiver);
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready); // hang guard only
    EXPECT_EQ(waiting.get(), DeviceTransport::EventRead::None);
    EXPECT_FALSE(m_transport.Listening(ChannelType::Receiver));
    EXPECT_FALSE(m_transport.ChannelOpen(ChannelType::Receiver));
    EXPECT_TRUE(m_transport.Listening(ChannelType::Wired));
}

} // namespace
} // namespace velkor::test
