// The main window's thread-slot table: every slot stopped once, in order, with
// its outcome traced; a slot that does not end in time is reported, not waited for.
#include "app/ThreadSlots.h"
#include "AppTestSupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace velkor::test {
namespace {

TEST(ThreadSlots, EverySlotIsStoppedOnceInOrderWithItsOutcome) {
    ThreadSlots slots;
    std::vector<int> order;
    std::vector<uint32_t> waits;
    ASSERT_TRUE(slots.Assign(ThreadSlots::kScanSlot, [&](uint32_t ms) {
        order.push_back(0);
        waits.push_back(ms);
        return ThreadStopOutcome::Ended;
    }));
    ASSERT_TRUE(slots.Assign(ThreadSlots::kLightSyncSlot, [&](uint32_t ms) {
        order.push_back(8);
        waits.push_back(ms);
        return ThreadStopOutcome::TimedOut;
    }));
    ASSERT_TRUE(slots.Assign(19, [&](uint32_t) {
        order.push_back(19);
        return ThreadStopOutcome::NotRunning; // it had ended by itself
    }));
    EXPECT_FALSE(slots.Assign(0, [](uint32_t) { return ThreadStopOutcome::Ended; })) << "taken";
    EXPECT_FALSE(slots.Assign(20, [](uint32_t) { return ThreadStopOutcome::Ended; }));
    EXPECT_FALSE(slots.Assign(-1, [](uint32_t) { return ThreadStopOutcome::Ended; }));
    EXPECT_FALSE(slots.Assign(3, nullptr));

    TraceCapture traces;
    const auto outcomes = slots.StopAll();
    EXPECT_EQ(order, (std::vector<int>{0, 8, 19}));
    EXPECT_EQ(waits, (std::vector<uint32_t>{1000, 1000}));
    EXPECT_EQ(outcomes[0], ThreadStopOutcome::Ended);
    EXPECT_EQ(outcomes[8], ThreadStopOutcome::TimedOut);
    EXPECT_EQ(outcomes[19], ThreadStopOutcome::Ended);
    EXPECT_EQ(outcomes[1], ThreadStopOutcome::Failed) << "an empty slot";
    EXPECT_EQ(traces.Count("所有对象处于激发状态\n"), 2);
    EXPECT_EQ(traces.Count("所有对象处于非激发状态，超时\n"), 1);
    EXPECT_EQ(traces.Count("错误\n1"), 1);
    EXPECT_EQ(traces.Count("错误\n0"), 0);

    // The table is empty afterwards: a second stop calls nobody.
    slots.StopAll();
    EXPECT_EQ(order.size(), 3u);
    EXPECT_FALSE(slots.IsAssigned(0));
}

} // namespace
} // namespace velkor::test
