// The queue between the bus thread and the window's loop: reads from what was
// published, writes coalesced per setting, and one write per turn of the
// loop. (The bound per caller: DeviceApiTest's flood.)
#include "app/DeviceCallQueue.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>

namespace velkor::test {
namespace {

DeviceCall Make(DeviceMethod method, std::string id, int32_t first = 0, int32_t second = 0,
                std::string sender = ":1.7") {
    DeviceCall call;
    call.method = method;
    call.id = std::move(id);
    call.first = first;
    call.second = second;
    call.sender = std::move(sender);
    return call;
}

DeviceCall Lighting(BusDict fields, std::string sender = ":1.7") {
    DeviceCall call = Make(DeviceMethod::SetLighting, "keyboard-50b7", 0, 0, std::move(sender));
    call.fields = std::move(fields);
    return call;
}

class DeviceCallQueueTest : public ::testing::Test {
protected:
    // Takes a call; its answer lands in the returned slot.
    std::shared_ptr<std::optional<DeviceReply>> Take(DeviceCall call) {
        auto answer = std::make_shared<std::optional<DeviceReply>>();
        EXPECT_TRUE(
            m_queue.Take(std::move(call), [answer](DeviceReply reply) { *answer = std::move(reply); }));
        return answer;
    }
    // Runs the loop's turns until none is queued; the runner answers every call Ok.
    void RunLoop() {
        while (!m_tasks.empty()) {
            auto task = std::move(m_tasks.front());
            m_tasks.pop_front();
            task();
        }
    }

    std::deque<std::function<void()>> m_tasks;
    std::vector<DeviceCall> m_ran;
    std::vector<std::vector<DeviceCall>> m_turns; // the calls each turn ran
    DeviceCallQueue m_queue{[this](std::function<void()> task) {
                                m_tasks.push_back([this, task = std::move(task)] {
                                    m_turns.emplace_back();
                                    task();
                                });
                                return true;
                            },
                            [this](const DeviceCall& call, DeviceCallQueue::ReplyFn reply) {
                                m_ran.push_back(call);
                                m_turns.back().push_back(call);
                                reply({});
                            }};
};

TEST_F(DeviceCallQueueTest, ReadsAnswerAtOnceFromWhatWasPublishedAndAskTheLoopOtherwise) {
    const auto early = Take(Make(DeviceMethod::ListDevices, ""));
    EXPECT_FALSE(early->has_value()) << "nothing published yet: the loop is asked";
    m_queue.Publish({{"keyboard-50b7", "keyboard", "K", "cable", -1}},
                    {{"keyboard-50b7", {{"brightness", 3}}}});
    const auto list = Take(Make(DeviceMethod::ListDevices, ""));
    const auto settings = Take(Make(DeviceMethod::GetSettings, "keyboard-50b7"));
    const auto unknown = Take(Make(DeviceMethod::GetSettings, "mouse-7070"));
    ASSERT_TRUE(list->has_value() && settings->has_value());
    ASSERT_EQ((*list)->devices.size(), 1u);
    EXPECT_EQ((*settings)->settings, (BusDict{{"brightness", 3}}));
    EXPECT_FALSE(unknown->has_value());
    RunLoop();
    EXPECT_TRUE(early->has_value() && unknown->has_value());
    ASSERT_EQ(m_ran.size(), 2u) << "only the two the published state could not answer";
}

struct CoalesceCase {
    const char* name;
    std::vector<DeviceCall> calls;
    std::vector<size_t> run; // indexes of the calls that run, in order
};

void PrintTo(const CoalesceCase& c, std::ostream* out) {
    *out << c.name;
}

class Coalescing : public DeviceCallQueueTest, public ::testing::WithParamInterface<CoalesceCase> {};

// With the loop held up, then let go: the calls that run, and every caller answered.
TEST_P(Coalescing, TheLatestWriteOfASettingRunsOnceForAllItsCallers) {
    std::vector<std::shared_ptr<std::optional<DeviceReply>>> answers;
    for (const DeviceCall& call : GetParam().calls) {
        answers.push_back(Take(call));
    }
    RunLoop();
    ASSERT_EQ(m_ran.size(), GetParam().run.size());
    for (size_t i = 0; i < m_ran.size(); ++i) {
        const DeviceCall& expected = GetParam().calls[GetParam().run[i]];
        EXPECT_EQ(m_ran[i].method, expected.method) << i;
        EXPECT_EQ(m_ran[i].first, expected.first) << i;
        EXPECT_EQ(m_ran[i].second, expected.second) << i;
        EXPECT_EQ(m_ran[i].fields, expected.fields) << i;
        EXPECT_EQ(m_ran[i].name, expected.name) << i;
    }
    for (const auto& answer : answers) {
        EXPECT_TRUE(answer->has_value() && (*answer)->status == DeviceCallStatus::Ok);
    }
}

DeviceCall Option(std::string name, int32_t value) {
    DeviceCall call = Make(DeviceMethod::SetOption, "keyboard-50b7", value);
    call.name = std::move(name);
    return call;
}

INSTANTIATE_TEST_SUITE_P(
    Writes, Coalescing,
    ::testing::Values(
        CoalesceCase{
            "same_field",
            {Lighting({{"brightness", 1}}), Lighting({{"brightness", 2}}), Lighting({{"brightness", 3}})},
            {2}},
        CoalesceCase{
            "same_fields_in_another_order",
            {Lighting({{"speed", 1}, {"brightness", 1}}), Lighting({{"brightness", 2}, {"speed", 2}})},
            {1}},
        CoalesceCase{"other_fields", {Lighting({{"brightness", 1}}), Lighting({{"speed", 2}})}, {0, 1}},
        // The newer joins the end of the queue, so writes run in the order last asked.
        CoalesceCase{"keys",
                     {Make(DeviceMethod::SetKeyColour, "keyboard-50b7", 5, 0xFF0000),
                      Make(DeviceMethod::SetKeyColour, "keyboard-50b7", 6, 0x0000FF),
                      Make(DeviceMethod::SetKeyColour, "mouse-7070", 5, 0x0000FF),
                      Make(DeviceMethod::SetKeyColour, "keyboard-50b7", 5, 0x00FF00)},
                     {1, 2, 3}},
        CoalesceCase{
            "options", {Option("win-lock", 1), Option("six-key", 1), Option("win-lock", 0)}, {1, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceCallQueueTest, ATurnRunsTheWaitingReadsFirstAndOneWrite) {
    for (int rate : {125, 250, 500}) {
        Take(Make(DeviceMethod::SetReportRate, "mouse-" + std::to_string(rate), rate));
    }
    Take(Make(DeviceMethod::GetSettings, "mouse-7070"));
    RunLoop();
    ASSERT_EQ(m_turns.size(), 3u);
    ASSERT_EQ(m_turns[0].size(), 2u);
    EXPECT_EQ(m_turns[0][0].method, DeviceMethod::GetSettings);
    EXPECT_EQ(m_turns[1].size(), 1u);
    EXPECT_EQ(m_turns[2].size(), 1u);
}

} // namespace
} // namespace velkor::test

namespace velkor::test {
namespace {

// Exported before the program owns its name: calls that come before the
// window serves them wait, in order, and run once it does; beyond the
// overall bound callers hear Busy rather than fill the queue.
TEST(DeviceCallQueueBeforeOpen, CallsWaitUntilOpenAndTheQueueStaysBounded) {
    DeviceCallQueue queue;
    std::vector<std::optional<DeviceReply>> answers(DeviceCallQueue::kMaxWaiting + 1);
    for (size_t i = 0; i < answers.size(); ++i) {
        // One caller each, so that only the overall bound applies.
        const DeviceCall call = Make(i % 2 ? DeviceMethod::GetSettings : DeviceMethod::SetDpiStage,
                                     "mouse-7070", int32_t(i), 800, ":1." + std::to_string(i));
        ASSERT_TRUE(queue.Take(call, [&answers, i](DeviceReply reply) { answers[i] = std::move(reply); }));
    }
    for (size_t i = 0; i < DeviceCallQueue::kMaxWaiting; ++i) {
        ASSERT_FALSE(answers[i].has_value()) << "call " << i << " answered before the window serves";
    }
    ASSERT_TRUE(answers.back().has_value());
    EXPECT_EQ(answers.back()->status, DeviceCallStatus::Busy);

    std::deque<std::function<void()>> tasks;
    std::vector<int32_t> ran;
    queue.Open(
        [&tasks](std::function<void()> task) {
            tasks.push_back(std::move(task));
            return true;
        },
        [&ran](const DeviceCall& call, DeviceCallQueue::ReplyFn reply) {
            ran.push_back(call.first);
            reply({});
        });
    while (!tasks.empty()) {
        auto task = std::move(tasks.front());
        tasks.pop_front();
        task();
    }
    ASSERT_EQ(ran.size(), DeviceCallQueue::kMaxWaiting);
    EXPECT_EQ(ran[0], 1) << "the waiting reads first";
    EXPECT_EQ(ran[DeviceCallQueue::kMaxWaiting / 2], 0) << "then the writes, in order";
    for (size_t i = 0; i < DeviceCallQueue::kMaxWaiting; ++i) {
        EXPECT_TRUE(answers[i].has_value() && answers[i]->status == DeviceCallStatus::Ok) << i;
    }
}

} // namespace
} // namespace velkor::test
