// The device's worker: record writes asked while one runs coalesce (at most
// one waits per record, the last value wins, the order of what runs is the
// order asked), every asker hears the result of the write that carried its
// value, and Shutdown drops what has not started and tells its askers.
#include "devices/TransferWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velkor::test {
namespace {

// One ask: a write of record `key` with `value`, or a long transfer (key 0).
struct Ask {
    char key; // 'A', 'B': records; 'T': a long transfer
    int value;
};

struct CoalesceCase {
    const char* name;
    std::vector<Ask> asks; // made while a write of record 'A' (value 0) runs
    std::vector<Ask> ran;  // what runs after it, in order
};

// What the worker ran, and a gate that holds the first write until opened.
class Journal {
public:
    void Ran(Ask ask) {
        std::lock_guard lock(m_mutex);
        m_ran.push_back(ask);
    }
    void HoldUntilOpened() {
        std::unique_lock lock(m_mutex);
        m_started = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    void WaitStarted() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_started; });
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    std::vector<Ask> RanSoFar() const {
        std::lock_guard lock(m_mutex);
        return m_ran;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Ask> m_ran;
    bool m_started = false;
    bool m_open = false;
};

std::string Text(const std::vector<Ask>& asks) {
    std::string text;
    for (const Ask& ask : asks) {
        text += std::string(text.empty() ? "" : " ") + ask.key + std::to_string(ask.value);
    }
    return text;
}

// The result a write reports: its value, so that an asker can tell which write carried it.
constexpr int kResultBase = 1000;

class Coalescing : public ::testing::TestWithParam<CoalesceCase> {};

TEST_P(Coalescing, AtMostOneWaitsPerRecordTheLastValueWinsAndTheOrderIsKept) {
    const CoalesceCase& c = GetParam();
    Journal journal;
    std::mutex heardMutex;
    std::vector<int> heard(c.asks.size(), -1);
    TransferWorker worker;
    ASSERT_TRUE(worker.PostLatest('A',
                                  [&](const StopEvent&) {
                                      journal.HoldUntilOpened();
                                      return kResultBase;
                                  },
                                  {}));
    journal.WaitStarted();
    for (size_t n = 0; n < c.asks.size(); ++n) {
        const Ask ask = c.asks[n];
        if (ask.key == 'T') {
            ASSERT_TRUE(worker.Post([&journal, ask](const StopEvent&) { journal.Ran(ask); }));
            continue;
        }
        ASSERT_TRUE(worker.PostLatest(
            uint32_t(ask.key),
            [&journal, ask](const StopEvent&) {
                journal.Ran(ask);
                return kResultBase + ask.value;
            },
            [&heard, &heardMutex, n](int result) {
                std::lock_guard lock(heardMutex);
                heard[n] = result;
            }));
    }
    EXPECT_FALSE(worker.Idle());
    journal.Open();
    for (int wait = 0; wait < 5000 && !worker.Idle(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(worker.Idle());
    EXPECT_EQ(Text(journal.RanSoFar()), Text(c.ran));
    // Each asker of a record heard the result of that record's last value.
    std::lock_guard lock(heardMutex);
    for (size_t n = 0; n < c.asks.size(); ++n) {
        if (c.asks[n].key == 'T') {
            continue;
        }
        int last = -1;
        for (const Ask& ask : c.asks) {
            last = ask.key == c.asks[n].key ? ask.value : last;
        }
        EXPECT_EQ(heard[n], kResultBase + last) << "ask " << n;
    }
}

std::vector<Ask> Drag(int moves) {
    std::vector<Ask> asks;
    for (int n = 1; n <= moves; ++n) {
        asks.push_back({'A', n});
    }
    return asks;
}

INSTANTIATE_TEST_SUITE_P(
    Asks, Coalescing,
    ::testing::Values(
        CoalesceCase{"one_ask_runs", {{'A', 1}}, {{'A', 1}}},
        CoalesceCase{"a_drag_of_a_hundred_sends_only_the_last", Drag(100), {{'A', 100}}},
        CoalesceCase{
            "records_do_not_replace_each_other", {{'A', 1}, {'B', 1}, {'B', 2}}, {{'A', 1}, {'B', 2}}},
        CoalesceCase{"a_newer_value_joins_the_end", {{'A', 1}, {'B', 1}, {'A', 2}}, {{'B', 1}, {'A', 2}}},
        CoalesceCase{"a_long_transfer_is_never_replaced_and_keeps_its_place",
                     {{'A', 1}, {'T', 1}, {'T', 2}, {'A', 2}},
                     {{'T', 1}, {'T', 2}, {'A', 2}}},
        CoalesceCase{"a_value_asked_after_the_transfer_runs_after_it",
                     {{'T', 1}, {'A', 1}, {'B', 1}, {'A', 2}, {'B', 2}},
                     {{'T', 1}, {'A', 2}, {'B', 2}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TransferWorker, ShutdownDropsWhatWaitsTellsItsAskersAndWaitsForTheRunningJob) {
    Journal journal;
    TransferWorker worker;
    std::atomic<bool> stopped{false};
    ASSERT_TRUE(worker.Post([&](const StopEvent& stop) {
        journal.HoldUntilOpened();
        stopped = stop.IsSet();
    }));
    journal.WaitStarted();
    std::atomic<int> heard{-1};
    std::atomic<bool> ran{false};
    ASSERT_TRUE(worker.PostLatest(
        1,
        [&](const StopEvent&) {
            ran = true;
            return 1;
        },
        [&](int result) { heard = result; }));
    EXPECT_TRUE(worker.Busy());
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        journal.Open();
    });
    worker.Shutdown();
    opener.join();
    EXPECT_TRUE(stopped) << "the running job saw the stop";
    EXPECT_FALSE(ran);
    EXPECT_EQ(heard, 0) << "the dropped write's asker hears that it never reached the device";
    EXPECT_FALSE(worker.PostLatest(1, [](const StopEvent&) { return 1; }, {}));
    EXPECT_TRUE(worker.Idle());
}

TEST(WriteTally, AnswersOnceAllEndedWithTheFirstFailure) {
    WriteTally tally;
    tally.Expect();
    tally.Expect();
    std::vector<int> answers;
    tally.Finish(1);
    tally.Seal([&](int result) { answers.push_back(result); });
    EXPECT_TRUE(answers.empty()) << "one write still runs";
    tally.Finish(-102);
    EXPECT_EQ(answers, std::vector<int>{-102});

    WriteTally none;
    none.Seal([&](int result) { answers.push_back(result); });
    EXPECT_EQ(answers, (std::vector<int>{-102, 1})) << "nothing to wait for answers at once";
}

} // namespace
} // namespace velkor::test
