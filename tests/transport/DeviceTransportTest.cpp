#include "TransportFixture.h"
#include "platform/Trace.h"

#include <atomic>
#include <future>
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
    EXPECT_FALSE(m_transport.m_busy);
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

TEST_F(ChannelTransact, StaleReplyThenEchoTakesTheSecond) {
    OpenChannel(ChannelType::Wired);
    m_backend.SetResponder(kWiredPath, [](const Report& request) {
        Report stale = MakeReply(0x03);
        Report echo = MakeReply(request[3]);
        echo[8] = 0x5A;
        return std::vector<Report>{stale, echo};
    });
    uint8_t request[64] = {0x04, 0, 0, 0x05};
    Frame reply{};
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), 1);
    EXPECT_EQ(reply[3], 0x05);
    EXPECT_EQ(reply[8], 0x5A);
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
    // The echo still waits unread: only one read was made.
    uint8_t left[64] = {};
    ASSERT_TRUE(m_transport.m_receiver.Read(left, sizeof left, nullptr, 100));
    EXPECT_EQ(left[3], 0x05);
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

TEST_F(ChannelTransact, ForeignReportWithOurCommandByteIsNotTheEcho) {
    OpenChannel(ChannelType::Wired);
    m_backend.SetResponder(kWiredPath, [](const Report& request) {
        // Another collection's report that happens to carry our command in byte 3.
        Report foreign = MakeReply(request[3], 0, 0x03);
        foreign[8] = 0x11;
        Report echo = MakeReply(request[3]);
        echo[8] = 0x5A;
        return std::vector<Report>{foreign, echo};
    });
    uint8_t request[64] = {0x04, 0, 0, 0x05};
    Frame reply{};
    EXPECT_EQ(m_transport.Transact(request, 64, reply.data(), 64, nullptr), 1);
    EXPECT_EQ(reply[0], 0x04);
    EXPECT_EQ(reply[8], 0x5A) << "the second reply is the echo";
}

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
    EXPECT_EQ(m_transport.m_chunkSize, 24) << "until the first selection";
    m_transport.SelectChannel(2);
    EXPECT_TRUE(m_transport.m_receiverSelected);
    EXPECT_EQ(m_transport.m_chunkSize, 24);
    m_transport.SelectChannel(1);
    EXPECT_FALSE(m_transport.m_receiverSelected);
    EXPECT_EQ(m_transport.m_chunkSize, 56);
    m_transport.SelectChannel(7);
    EXPECT_EQ(m_transport.m_chunkSize, 56);
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

TEST_F(ChannelTransact, CloseEndsAnInfiniteReadFromAnotherThread) {
    OpenChannel(ChannelType::Wired);
    auto reader = std::async(std::launch::async, [&] {
        uint8_t buffer[64];
        size_t got = 7;
        bool ok = m_transport.m_wired.Read(buffer, sizeof buffer, &got, kHidInfinite);
        return std::make_pair(ok, got);
    });
    ASSERT_TRUE(m_backend.WaitForWaitingRead(kWiredPath, std::chrono::seconds(5))) << "the read never began";
    m_transport.m_wired.Close();
    // Hang guard only; the close ends the read at once.
    if (reader.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "the close did not end the read";
        m_backend.SetPresent(kWiredPath, false); // ends it another way rather than hang
    }
    auto [ok, got] = reader.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(m_transport.m_wired.IsOpen());
}

} // namespace
} // namespace velkor::test
