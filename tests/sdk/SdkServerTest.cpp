// The server's bounds on real loopback sockets: a client that misbehaves is
// closed alone, the 9th client is refused, a client that never reads cannot
// hold the server up, and the others are answered throughout.
#include "sdk/SdkServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace velkor::sdk {
namespace {

struct CountingHost : SdkHost {
    std::atomic<int> commands{0};
    std::atomic<int> gone{0};
    void OnCommand(Command) override { ++commands; }
    void OnClientGone(uint32_t) override { ++gone; }
};

class Socket {
public:
    explicit Socket(uint16_t port, bool v6 = false) {
        m_fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
        if (v6) {
            sockaddr_in6 a{};
            a.sin6_family = AF_INET6;
            a.sin6_addr = in6addr_loopback;
            a.sin6_port = htons(port);
            m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        } else {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(port);
            m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        }
    }
    ~Socket() { close(m_fd); }
    bool Connected() const { return m_connected; }
    void Send(const std::vector<uint8_t>& bytes) {
        (void)send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    // The next answer's packet ID; -1 when the server closed the connection, -2 on time-out.
    int64_t NextPacket(int timeoutMs = 3000) {
        uint8_t header[kHeaderSize];
        if (!ReadAll(header, sizeof header, timeoutMs)) {
            return m_closed ? -1 : -2;
        }
        Header h;
        if (ReadHeader(header, h) != HeaderCheck::Ok) {
            return -3;
        }
        std::vector<uint8_t> payload(h.size);
        return ReadAll(payload.data(), payload.size(), timeoutMs) ? int64_t(h.packetId) : -2;
    }
    bool Closed(int timeoutMs = 3000) {
        uint8_t byte;
        pollfd p{m_fd, POLLIN, 0};
        while (poll(&p, 1, timeoutMs) > 0) {
            const ssize_t got = recv(m_fd, &byte, 1, 0);
            if (got <= 0) {
                return true;
            }
        }
        return false;
    }

private:
    bool ReadAll(uint8_t* out, size_t n, int timeoutMs) {
        size_t got = 0;
        pollfd p{m_fd, POLLIN, 0};
        while (got < n) {
            if (poll(&p, 1, timeoutMs) <= 0) {
                return false;
            }
            const ssize_t r = recv(m_fd, out + got, n - got, 0);
            if (r <= 0) {
                m_closed = true;
                return false;
            }
            got += size_t(r);
        }
        return true;
    }
    int m_fd = -1;
    bool m_connected = false;
    bool m_closed = false;
};

std::vector<uint8_t> CountRequest() {
    return MakePacket(0, kRequestControllerCount, {});
}

class SdkServerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Start(0)) << m_server.Error();
        m_server.Publish({Controller{}}, false);
        m_port = m_server.Port();
    }
    CountingHost m_host;
    SdkServer m_server{m_host};
    uint16_t m_port = 0;
};

TEST_F(SdkServerTest, AnswersOnBothLoopbackAddressesOnly) {
    Socket v4(m_port);
    Socket v6(m_port, true);
    ASSERT_TRUE(v4.Connected());
    v4.Send(CountRequest());
    EXPECT_EQ(v4.NextPacket(), kRequestControllerCount);
    if (v6.Connected()) { // a system without IPv6 has no ::1
        v6.Send(CountRequest());
        EXPECT_EQ(v6.NextPacket(), kRequestControllerCount);
    }
    CountingHost other;
    SdkServer second(other);
    EXPECT_FALSE(second.Start(m_port));
    EXPECT_NE(second.Error().find("in use"), std::string::npos) << second.Error();
}

struct BadInput {
    const char* what;
    std::vector<uint8_t> bytes;
};
class SdkServerBadInput : public SdkServerTest, public testing::WithParamInterface<BadInput> {};

TEST_P(SdkServerBadInput, EndsThatClientOnly) {
    Socket good(m_port);
    Socket bad(m_port);
    bad.Send(GetParam().bytes);
    EXPECT_TRUE(bad.Closed()) << GetParam().what;
    good.Send(CountRequest());
    EXPECT_EQ(good.NextPacket(), kRequestControllerCount);
}

std::vector<uint8_t> Oversized() {
    std::vector<uint8_t> header;
    AppendHeader(header, 0, kUpdateLeds, kMaxPacketSize + 1);
    return header;
}
INSTANTIATE_TEST_SUITE_P(Sdk, SdkServerBadInput,
                         testing::Values(BadInput{"a header without the magic",
                                                  std::vector<uint8_t>(16, 'x')},
                                         BadInput{"a packet larger than any request", Oversized()}));

TEST_F(SdkServerTest, UnfinishedPacketTimesOut) {
    m_server.SetTimeoutMs(200);
    Socket slow(m_port);
    std::vector<uint8_t> half = MakePacket(0, kSetClientName, std::vector<uint8_t>(10, 'a'));
    half.resize(20);
    slow.Send(half);
    EXPECT_TRUE(slow.Closed());
}

TEST_F(SdkServerTest, NinthClientIsRefused) {
    std::vector<std::unique_ptr<Socket>> clients;
    for (size_t i = 0; i < SdkServer::kMaxClients; ++i) {
        clients.push_back(std::make_unique<Socket>(m_port));
        clients.back()->Send(CountRequest());
        ASSERT_EQ(clients.back()->NextPacket(), kRequestControllerCount) << i;
    }
    Socket ninth(m_port);
    EXPECT_TRUE(ninth.Closed());
    EXPECT_EQ(m_server.Clients().size(), SdkServer::kMaxClients);
    clients.pop_back();
    for (int i = 0; i < 100 && m_server.Clients().size() == SdkServer::kMaxClients; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Socket another(m_port);
    another.Send(CountRequest());
    EXPECT_EQ(another.NextPacket(), kRequestControllerCount) << "a place freed takes a new client";
}

TEST_F(SdkServerTest, ClientThatNeverReadsIsClosedWhileOthersAreServed) {
    m_server.SetTimeoutMs(300);
    Socket deaf(m_port);
    Socket good(m_port);
    // Answers pile up unread: far more than the socket buffers hold.
    std::vector<uint8_t> burst;
    for (int i = 0; i < 20000; ++i) {
        const auto request = MakePacket(0, kRequestControllerData, std::vector<uint8_t>{5, 0, 0, 0});
        burst.insert(burst.end(), request.begin(), request.end());
    }
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 40 && m_server.Clients().size() == 2; ++round) {
        deaf.Send(burst);
        good.Send(CountRequest());
        ASSERT_EQ(good.NextPacket(), kRequestControllerCount) << "round " << round;
    }
    for (int i = 0; i < 300 && m_server.Clients().size() == 2; ++i) {
        good.Send(CountRequest());
        ASSERT_EQ(good.NextPacket(), kRequestControllerCount);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(m_server.Clients().size(), 1u);
    EXPECT_GE(m_host.gone.load(), 1);
    (void)start;
}

TEST_F(SdkServerTest, ChangesGoToTheHostAndTheListUpdateToEveryClient) {
    Socket client(m_port);
    client.Send(MakePacket(0, kSetCustomMode, {}));
    client.Send(MakePacket(0, kUpdateLeds, std::vector<uint8_t>{6, 0, 0, 0, 0, 0}));
    client.Send(MakePacket(0, kResizeZone, std::vector<uint8_t>(8)));    // refused: no command
    client.Send(MakePacket(0, kUpdateLeds, std::vector<uint8_t>{1, 2})); // malformed: dropped
    client.Send(CountRequest());
    ASSERT_EQ(client.NextPacket(), kRequestControllerCount);
    EXPECT_EQ(m_host.commands.load(), 2);
    m_server.Publish({}, true);
    EXPECT_EQ(client.NextPacket(), kDeviceListUpdated);
}

} // namespace
} // namespace velkor::sdk
