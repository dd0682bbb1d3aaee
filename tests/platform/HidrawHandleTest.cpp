// The I/O core of an open hidraw collection, on a datagram socket pair that
// stands in for the node: one report per read and per write, like hidraw.
#include "platform/hidraw/HidrawBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velkor {
namespace {

using namespace std::chrono_literals;

// Consumer collection (report 3, one 16-bit selector), then the vendor
// collection (report 4, 63 bytes each way): the family's interface 1.
const std::vector<uint8_t> kNumbered = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x19, 0x00, 0x2A,
                                        0xFF, 0x3F, 0x15, 0x00, 0x26, 0xFF, 0x3F, 0x75, 0x10, 0x95, 0x01,
                                        0x81, 0x00, 0xC0, 0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85,
                                        0x04, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95,
                                        0x3F, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0};

// One unnumbered collection: 8 input bytes, 8 output bytes.
const std::vector<uint8_t> kUnnumbered = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x01,
                                          0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x08,
                                          0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0};

constexpr int kConsumer = 1;
constexpr int kVendor = 2;

class HidrawHandleTest : public testing::Test {
protected:
    std::unique_ptr<HidrawHandle> Make(const std::vector<uint8_t>& descriptor, int collection,
                                       bool canRead = true, bool canWrite = true) {
        int fds[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        // As Open leaves a node: non-blocking.
        fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
        if (m_peer >= 0) {
            close(m_peer); // a test's earlier handle is done with
        }
        m_peer = fds[1];
        m_deviceSide = fds[0];
        HidReportDescriptor parsed;
        EXPECT_TRUE(ParseReportDescriptor(descriptor, parsed));
        return HidrawHandle::Create(fds[0], canRead, canWrite, descriptor, std::move(parsed), collection,
                                    HidAttributes{0x320F, 0x50B7, 0x0105});
    }

    void Send(std::vector<uint8_t> report) {
        ASSERT_EQ(send(m_peer, report.data(), report.size(), 0), report.size());
    }

    std::vector<uint8_t> Receive() {
        std::vector<uint8_t> data(256);
        const ssize_t n = recv(m_peer, data.data(), data.size(), MSG_DONTWAIT);
        data.resize(n < 0 ? 0 : static_cast<size_t>(n));
        return data;
    }

    void ClosePeer() {
        close(m_peer);
        m_peer = -1;
    }

    void TearDown() override {
        if (m_peer >= 0) {
            close(m_peer);
        }
    }

    int m_peer = -1;
    int m_deviceSide = -1;
};

// A thread that calls gettid() first and then a transfer.
struct ThreadId {
    std::atomic<pid_t> tid{0};
    void Record() { tid = static_cast<pid_t>(syscall(SYS_gettid)); }
};

// True once the kernel shows the thread blocked in poll(), the handle's only
// wait, so a cancel or a hang-up lands on a transfer that really waits.
// /proc/<pid>/task/<tid>/syscall names the call a blocked thread sleeps in
// ("running" otherwise).
bool WaitUntilBlockedInPoll(const ThreadId& thread, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (const pid_t tid = thread.tid; tid != 0) {
            std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/syscall");
            long number = -1;
            if (file >> number) {
#ifdef SYS_poll
                if (number == SYS_poll) {
                    return true;
                }
#endif
                if (number == SYS_ppoll) {
                    return true;
                }
            }
        }
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

// Starts an infinite read of `handle` on another thread, runs `end` once the
// read waits in poll(), and returns how the read ended. When `end` does not
// end it, the test fails naming `what` and `fallback` ends it rather than hang.
HidIoStatus EndWaitingRead(HidHandle& handle, const std::function<void()>& end,
                           const std::function<void()>& fallback, const std::string& what) {
    ThreadId thread;
    auto reader = std::async(std::launch::async, [&] {
        thread.Record();
        std::vector<uint8_t> buffer(64);
        size_t transferred = 0;
        return handle.Read(buffer, transferred, kHidInfinite);
    });
    EXPECT_TRUE(WaitUntilBlockedInPoll(thread, 5s)) << "the read waits for a report";
    end();
    if (reader.wait_for(5s) != std::future_status::ready) {
        ADD_FAILURE() << what << " did not end the read";
        fallback();
    }
    return reader.get();
}

std::vector<uint8_t> VendorReport(uint8_t first) {
    std::vector<uint8_t> report(64, 0);
    report[0] = 4;
    for (size_t i = 1; i < report.size(); ++i) {
        report[i] = static_cast<uint8_t>(first + i);
    }
    return report;
}

TEST_F(HidrawHandleTest, CreateRefusesCollectionsTheDescriptorDoesNotHave) {
    EXPECT_EQ(Make(kNumbered, 0), nullptr);
    EXPECT_EQ(Make(kNumbered, 3), nullptr);
    auto handle = Make(kNumbered, kVendor);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->CollectionNumber(), kVendor);
    EXPECT_EQ(handle->Attributes().versionNumber, 0x0105);
    EXPECT_EQ(std::vector<uint8_t>(handle->ReportDescriptor().begin(), handle->ReportDescriptor().end()),
              kNumbered);
}

// ---- Reading -----------------------------------------------------------------

TEST_F(HidrawHandleTest, ReadsAReportOfItsCollection) {
    auto handle = Make(kNumbered, kVendor);
    Send(VendorReport(10));
    std::vector<uint8_t> buffer(64);
    size_t transferred = 99;
    ASSERT_EQ(handle->Read(buffer, transferred, 1000), HidIoStatus::Ok);
    EXPECT_EQ(transferred, 64u);
    EXPECT_EQ(buffer, VendorReport(10));
}

TEST_F(HidrawHandleTest, ReportsOfOtherCollectionsAreSkipped) {
    auto handle = Make(kNumbered, kVendor);
    Send({3, 0x01, 0x04});
    Send({9, 1, 2, 3}); // an ID no collection has
    Send(VendorReport(20));
    std::vector<uint8_t> buffer(64);
    size_t transferred = 0;
    ASSERT_EQ(handle->Read(buffer, transferred, 1000), HidIoStatus::Ok);
    EXPECT_EQ(buffer, VendorReport(20));

    // The consumer collection on the same node sees only its own reports.
    auto consumer = Make(kNumbered, kConsumer);
    Send(VendorReport(30));
    Send({3, 0x01, 0x04});
    ASSERT_EQ(consumer->Read(buffer, transferred, 1000), HidIoStatus::Ok);
    EXPECT_EQ(transferred, 3u);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 3),
              (std::vector<uint8_t>{3, 0x01, 0x04}));
}

TEST_F(HidrawHandleTest, OnlyForeignReportsEndInTimeOut) {
    auto handle = Make(kNumbered, kVendor);
    Send({3, 0x01, 0x04});
    std::vector<uint8_t> buffer(64);
    size_t transferred = 7;
    EXPECT_EQ(handle->Read(buffer, transferred, 30), HidIoStatus::TimedOut);
    EXPECT_EQ(transferred, 0u);
}

TEST_F(HidrawHandleTest, UnnumberedReportGetsALeadingZero) {
    auto handle = Make(kUnnumbered, 1);
    Send({1, 2, 3, 4, 5, 6, 7, 8});
    std::vector<uint8_t> buffer(9, 0xEE);
    size_t transferred = 0;
    ASSERT_EQ(handle->Read(buffer, transferred, 1000), HidIoStatus::Ok);
    EXPECT_EQ(transferred, 9u);
    EXPECT_EQ(buffer, (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(HidrawHandleTest, ShortReportIsPaddedAndLongReportIsCut) {
    auto handle = Make(kNumbered, kVendor);
    Send({4, 0xAA, 0xBB});
    std::vector<uint8_t> buffer(64, 0xEE);
    size_t transferred = 0;
    ASSERT_EQ(handle->Read(buffer, transferred, 1000), HidIoStatus::Ok);
    EXPECT_EQ(transferred, 64u);
    std::vector<uint8_t> expected(64, 0);
    expected[0] = 4;
    expected[1] = 0xAA;
    expected[2] = 0xBB;
    EXPECT_EQ(buffer, expected) << "no stale bytes after a short report";

    const std::vector<uint8_t> longReport = VendorReport(40);
    Send(longReport);
    std::vector<uint8_t> small(10, 0xEE);
    ASSERT_EQ(handle->Read(small, transferred, 1000), HidIoStatus::Ok);
    EXPECT_EQ(transferred, 10u);
    EXPECT_EQ(small, std::vector<uint8_t>(longReport.begin(), longReport.begin() + 10));
}

TEST_F(HidrawHandleTest, ReadTimesOutAfterTheTimeOut) {
    auto handle = Make(kNumbered, kVendor);
    std::vector<uint8_t> buffer(64);
    size_t transferred = 5;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(handle->Read(buffer, transferred, 200), HidIoStatus::TimedOut);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(transferred, 0u);
    // poll() never ends early; the upper bound only guards against a hang.
    EXPECT_GE(elapsed, 195ms);
    EXPECT_LT(elapsed, 10s);
    EXPECT_EQ(handle->Read(buffer, transferred, 0), HidIoStatus::TimedOut) << "a zero time-out only looks";
}

TEST_F(HidrawHandleTest, CancelEndsAnInfiniteReadAndStaysSignalled) {
    auto handle = Make(kNumbered, kVendor);
    EXPECT_EQ(EndWaitingRead(
                  *handle, [&] { handle->Cancel(); }, [&] { ClosePeer(); }, "the cancel"),
              HidIoStatus::Cancelled);

    // Every later transfer is cancelled too, even with a report waiting.
    Send(VendorReport(1));
    std::vector<uint8_t> buffer(64);
    size_t transferred = 0;
    EXPECT_EQ(handle->Read(buffer, transferred, kHidInfinite), HidIoStatus::Cancelled);
    EXPECT_EQ(handle->Write(VendorReport(2), transferred, 1000), HidIoStatus::Cancelled);
    EXPECT_TRUE(Receive().empty()) << "nothing was written after the cancel";
}

TEST_F(HidrawHandleTest, AnInterruptEndsOneReadAndLosesNoReport) {
    auto handle = Make(kNumbered, kVendor);
    EXPECT_EQ(EndWaitingRead(
                  *handle, [&] { handle->InterruptRead(); }, [&] { handle->Cancel(); }, "the interrupt"),
              HidIoStatus::Interrupted);

    // One that comes before the read ends it, before a waiting report; the
    // report is read next, and a write never takes the interrupt.
    std::vector<uint8_t> buffer(64);
    size_t transferred = 0;
    Send(VendorReport(5));
    handle->InterruptRead();
    EXPECT_EQ(handle->Write(VendorReport(6), transferred, 1000), HidIoStatus::Ok);
    EXPECT_EQ(handle->Read(buffer, transferred, 5000), HidIoStatus::Interrupted);
    ASSERT_EQ(handle->Read(buffer, transferred, 0), HidIoStatus::Ok);
    EXPECT_EQ(buffer, VendorReport(5));
    EXPECT_EQ(handle->Read(buffer, transferred, 0), HidIoStatus::TimedOut) << "not sticky";
}

TEST_F(HidrawHandleTest, PeerGoneEndsAWaitingReadAtOnce) {
    auto handle = Make(kNumbered, kVendor);
    EXPECT_EQ(EndWaitingRead(
                  *handle, [&] { ClosePeer(); }, [&] { handle->Cancel(); }, "the hang-up"),
              HidIoStatus::Gone);

    std::vector<uint8_t> buffer(64);
    size_t transferred = 0;
    EXPECT_EQ(handle->Read(buffer, transferred, kHidInfinite), HidIoStatus::Gone);
    EXPECT_EQ(handle->Write(VendorReport(0), transferred, 1000), HidIoStatus::Gone);
}

TEST_F(HidrawHandleTest, GoneWinsOverAReportStillQueued) {
    auto handle = Make(kNumbered, kVendor);
    Send(VendorReport(3));
    ClosePeer();
    std::vector<uint8_t> buffer(64);
    size_t transferred = 0;
    EXPECT_EQ(handle->Read(buffer, transferred, 1000), HidIoStatus::Gone);
}

TEST_F(HidrawHandleTest, TransfersTheHandleWasNotOpenedForFail) {
    std::vector<uint8_t> buffer(64);
    size_t transferred = 0;
    auto writeOnly = Make(kNumbered, kVendor, false, true);
    Send(VendorReport(0));
    EXPECT_EQ(writeOnly->Read(buffer, transferred, 0), HidIoStatus::Failed);
    auto readOnly = Make(kNumbered, kVendor, true, false);
    EXPECT_EQ(readOnly->Write(VendorReport(0), transferred, 0), HidIoStatus::Failed);
    EXPECT_TRUE(Receive().empty());
    EXPECT_EQ(readOnly->Read(std::span<uint8_t>(), transferred, 0), HidIoStatus::Failed);
}

// ---- Writing -----------------------------------------------------------------

TEST_F(HidrawHandleTest, WriteSendsTheBufferUnchanged) {
    auto handle = Make(kNumbered, kVendor);
    size_t transferred = 0;
    ASSERT_EQ(handle->Write(VendorReport(50), transferred, 1000), HidIoStatus::Ok);
    EXPECT_EQ(transferred, 64u);
    EXPECT_EQ(Receive(), VendorReport(50));

    // Unnumbered: the leading 0 goes to the kernel, which drops it.
    auto unnumbered = Make(kUnnumbered, 1);
    const std::vector<uint8_t> report{0, 1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(unnumbered->Write(report, transferred, 1000), HidIoStatus::Ok);
    EXPECT_EQ(Receive(), report);
}

TEST_F(HidrawHandleTest, WriteThatCannotGoOutTimesOutOrIsCancelled) {
    auto handle = Make(kNumbered, kVendor);
    // Fill the socket until it takes no more.
    const std::vector<uint8_t> filler(4096, 0);
    while (send(m_deviceSide, filler.data(), filler.size(), MSG_DONTWAIT) > 0) {
    }
    size_t transferred = 3;
    EXPECT_EQ(handle->Write(VendorReport(0), transferred, 30), HidIoStatus::TimedOut);
    EXPECT_EQ(transferred, 0u);

    ThreadId thread;
    auto writer = std::async(std::launch::async, [&] {
        thread.Record();
        size_t written = 0;
        return handle->Write(VendorReport(0), written, kHidInfinite);
    });
    EXPECT_TRUE(WaitUntilBlockedInPoll(thread, 5s)) << "the write waits for room";
    handle->Cancel();
    if (writer.wait_for(5s) != std::future_status::ready) {
        ADD_FAILURE() << "the cancel did not end the write";
        ClosePeer(); // ends it another way rather than hang
    }
    EXPECT_EQ(writer.get(), HidIoStatus::Cancelled);
}

} // namespace
} // namespace velkor
