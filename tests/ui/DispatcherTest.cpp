// The dispatcher hands work to the user-interface thread and must never leave a
// sender blocked once shut-down has begun.
#include "ui/Dispatcher.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace velkor::ui {
namespace {

// Spins (without a clock) until the condition holds.
template <typename Condition> void SpinUntil(const Condition& condition) {
    while (!condition()) {
        std::this_thread::yield();
    }
}

TEST(Dispatcher, PostedTasksRunOnTheUiThreadInOrder) {
    Dispatcher dispatcher;
    std::vector<int> order;
    std::vector<bool> onUi;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            dispatcher.Post([&, i] {
                order.push_back(i);
                onUi.push_back(dispatcher.IsUiThread());
            });
        }
    });
    worker.join();
    EXPECT_TRUE(order.empty()) << "nothing runs before the loop processes the queue";
    EXPECT_EQ(dispatcher.ProcessPending(), 3);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(onUi, (std::vector<bool>{true, true, true}));
}

TEST(Dispatcher, WakeIsCalledForEveryQueuedTask) {
    std::atomic<int> wakes{0};
    Dispatcher dispatcher([&] { ++wakes; });
    dispatcher.Post([] {});
    std::thread sender([&] { dispatcher.Send([] {}); });
    SpinUntil([&] { return dispatcher.PendingCount() == 2; });
    dispatcher.ProcessPending();
    sender.join();
    EXPECT_EQ(wakes.load(), 2);
}

TEST(Dispatcher, TaskQueuedWhileProcessingWaitsForTheNextRound) {
    Dispatcher dispatcher;
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        dispatcher.Post(again);
    };
    dispatcher.Post(again);
    EXPECT_EQ(dispatcher.ProcessPending(), 1);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(dispatcher.PendingCount(), 1u);
}

TEST(Dispatcher, SendWaitsUntilTheUiThreadRanTheTask) {
    Dispatcher dispatcher;
    int value = 0;
    std::atomic<bool> returned{false};
    bool result = false;
    std::thread sender([&] {
        result = dispatcher.Send([&] { value = 42; });
        returned = true;
    });
    SpinUntil([&] { return dispatcher.PendingCount() == 1; });
    EXPECT_FALSE(returned.load()) << "Send must wait for the UI thread";
    dispatcher.ProcessPending();
    sender.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(value, 42);
}

TEST(Dispatcher, SendOnTheUiThreadRunsAtOnce) {
    Dispatcher dispatcher;
    bool ran = false;
    EXPECT_TRUE(dispatcher.Send([&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(dispatcher.PendingCount(), 0u);
}

TEST(Dispatcher, ShutdownReleasesAWaitingSenderAndDropsItsTask) {
    Dispatcher dispatcher;
    std::atomic<bool> ran{false};
    bool result = true;
    std::thread sender([&] { result = dispatcher.Send([&] { ran = true; }); });
    SpinUntil([&] { return dispatcher.PendingCount() == 1; });
    dispatcher.BeginShutdown();
    sender.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(dispatcher.ProcessPending(), 0);
    EXPECT_FALSE(ran.load()) << "a dropped task must never run later";
}

TEST(Dispatcher, ShutdownFromAnotherThreadReleasesSender) {
    Dispatcher dispatcher;
    bool result = true;
    std::thread sender([&] { result = dispatcher.Send([] {}); });
    SpinUntil([&] { return dispatcher.PendingCount() == 1; });
    std::thread stopper([&] { dispatcher.BeginShutdown(); });
    stopper.join();
    sender.join();
    EXPECT_FALSE(result);
}

TEST(Dispatcher, EverythingIsRefusedAfterShutdown) {
    Dispatcher dispatcher;
    bool ran = false;
    dispatcher.Post([&] { ran = true; });
    dispatcher.BeginShutdown();
    EXPECT_FALSE(dispatcher.Post([&] { ran = true; }));
    EXPECT_FALSE(dispatcher.Send([&] { ran = true; })) << "also on the UI thread";
    bool workerResult = true;
    std::thread worker([&] { workerResult = dispatcher.Send([&] { ran = true; }); });
    worker.join();
    EXPECT_FALSE(workerResult);
    EXPECT_EQ(dispatcher.ProcessPending(), 0);
    EXPECT_FALSE(ran) << "queued posts are dropped at shut-down";
    EXPECT_TRUE(dispatcher.IsShuttingDown());
}

TEST(Dispatcher, ShutdownDuringASentTaskStillCompletesThatSend) {
    Dispatcher dispatcher;
    bool result = false;
    std::thread sender([&] { result = dispatcher.Send([&] { dispatcher.BeginShutdown(); }); });
    SpinUntil([&] { return dispatcher.PendingCount() == 1; });
    dispatcher.ProcessPending();
    sender.join();
    EXPECT_TRUE(result) << "the task ran, so the sender must hear true";
}

TEST(Dispatcher, ProcessPendingOffTheUiThreadRunsNothing) {
    Dispatcher dispatcher;
    bool ran = false;
    dispatcher.Post([&] { ran = true; });
    int processed = -1;
    std::thread other([&] { processed = dispatcher.ProcessPending(); });
    other.join();
    EXPECT_EQ(processed, 0);
    EXPECT_FALSE(ran);
}

TEST(Dispatcher, ManySendersAllComeBack) {
    Dispatcher dispatcher;
    constexpr int kSenders = 8;
    std::atomic<int> finished{0};
    int total = 0;
    std::vector<std::thread> senders;
    for (int i = 0; i < kSenders; ++i) {
        senders.emplace_back([&] {
            for (int j = 0; j < 50; ++j) {
                dispatcher.Send([&] { ++total; });
            }
            ++finished;
        });
    }
    while (finished.load() < kSenders) {
        dispatcher.ProcessPending();
        std::this_thread::yield();
    }
    for (std::thread& sender : senders) {
        sender.join();
    }
    EXPECT_EQ(total, kSenders * 50);
}

} // namespace
} // namespace velkor::ui
