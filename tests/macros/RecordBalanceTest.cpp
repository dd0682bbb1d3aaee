// Balanced recordings: no release without its press, nothing left down at the
// stop, through the recorder on plain rows (as velkorctl records) and through
// the macro panel (as the editor records).
#include "MacroTestSupport.h"

#include "macros/MacroRecorder.h"

#include <linux/input-event-codes.h>

namespace velkor::test {
namespace {

struct Press {
    uint16_t code;
    bool down;
    int64_t timeMs;
};

ui::InputPress InputOf(const Press& press) {
    const auto kind = press.code >= BTN_MOUSE && press.code < BTN_JOYSTICK ? ui::InputPress::Kind::Button
                                                                           : ui::InputPress::Kind::Key;
    return {kind, press.code, press.down, press.timeMs};
}

// Type/Button/Action/Delay of every row.
std::vector<std::string> RowsOf(const MacroEventRows& rows) {
    std::vector<std::string> out;
    for (const Json::Value& event : rows.Events()) {
        out.push_back(std::to_string(event["Type"].asInt()) + "/" + std::to_string(event["Button"].asInt()) +
                      "/" + event["Action"].asString() + "/" + event["Delay"].asString());
    }
    return out;
}

struct BalanceCase {
    const char* name;
    RecordDelayMode mode;
    std::vector<Press> presses;
    std::vector<std::string> rows; // after the stop
};

class RecordBalance : public ::testing::TestWithParam<BalanceCase> {};

TEST_P(RecordBalance, EveryReleaseFollowsItsPressAndNothingStaysDown) {
    MacroRecorder recorder;
    recorder.Start({GetParam().mode, RecordPlacement::Append, 50, 0});
    MacroEventRows rows;
    for (const Press& press : GetParam().presses) {
        recorder.Take(InputOf(press), rows, press.timeMs);
    }
    recorder.Stop(rows);
    EXPECT_EQ(RowsOf(rows), GetParam().rows);
    EXPECT_FALSE(recorder.IsRecording());
}

// Left Ctrl is modifier 1 (type 9); A, B and C are usages 4, 5 and 6; the
// buttons are 1 left, 2 right, 8 back.
INSTANTIATE_TEST_SUITE_P(
    Recordings, RecordBalance,
    ::testing::Values(
        BalanceCase{"StartedByEnterStoppedWithCtrlAndCDown",
                    RecordDelayMode::Measured,
                    {{KEY_ENTER, false, 0}, {KEY_LEFTCTRL, true, 1400}, {KEY_C, true, 1560}},
                    {"9/1/down/160", "10/6/down/0", "10/6/up/0", "9/1/up/0"}},
        BalanceCase{"ABalancedRecordingStaysAsItIs",
                    RecordDelayMode::Measured,
                    {{KEY_A, true, 0}, {KEY_A, false, 100}},
                    {"10/4/down/100", "10/4/up/0"}},
        BalanceCase{"ReleasedInAnotherOrder",
                    RecordDelayMode::None,
                    {{KEY_B, false, 0}, {KEY_A, true, 1}, {KEY_B, true, 2}, {KEY_A, false, 3}},
                    {"10/4/down/0", "10/5/down/0", "10/4/up/0", "10/5/up/0"}},
        BalanceCase{"TheClickThatStartedAndAButtonHeld",
                    RecordDelayMode::None,
                    {{BTN_LEFT, false, 0}, {BTN_RIGHT, true, 1}, {BTN_RIGHT, false, 2}, {BTN_SIDE, true, 3}},
                    {"1/2/down/0", "1/2/up/0", "1/8/down/0", "1/8/up/0"}},
        BalanceCase{"TheSameKeyOnTwoKeyboardsIsReleasedOnce",
                    RecordDelayMode::None,
                    {{KEY_A, true, 0}, {KEY_A, true, 1}, {KEY_A, false, 2}, {KEY_A, false, 3}},
                    {"10/4/down/0", "10/4/down/0", "10/4/up/0"}},
        BalanceCase{"FixedDelaysAndReleasesAtOnce",
                    RecordDelayMode::Fixed,
                    {{KEY_LEFTCTRL, true, 0}, {KEY_C, true, 10}},
                    {"9/1/down/50", "10/6/down/0", "10/6/up/0", "9/1/up/0"}}),
    [](const ::testing::TestParamInfo<BalanceCase>& info) { return info.param.name; });

TEST(RecordBalanceRoom, APressNeedsRoomForTheReleasesSoAFullListEndsBalanced) {
    MacroEventRows rows;
    for (int i = 0; i < kMaxMacroEvents - 4; ++i) {
        rows.InsertRow(i, MakeMacroEventJson(MacroEvent{true, 10, 30, 0}));
    }
    MacroRecorder recorder;
    recorder.Start({RecordDelayMode::None, RecordPlacement::Append, 0, 0});
    EXPECT_EQ(recorder.Take(InputOf({KEY_A, true, 0}), rows, 0), RecordResult::Placed);
    EXPECT_EQ(recorder.Take(InputOf({KEY_B, true, 1}), rows, 1), RecordResult::Placed);
    // A third key held would leave no row for one of the three releases.
    EXPECT_EQ(recorder.Take(InputOf({KEY_C, true, 2}), rows, 2), RecordResult::ListFull);
    EXPECT_EQ(recorder.Take(InputOf({KEY_C, false, 3}), rows, 3), RecordResult::NoPress);
    EXPECT_EQ(recorder.Take(InputOf({KEY_B, false, 4}), rows, 4), RecordResult::Placed);
    recorder.Stop(rows);
    ASSERT_EQ(rows.RowCount(), kMaxMacroEvents);
    const std::vector<std::string> all = RowsOf(rows);
    EXPECT_EQ(std::vector<std::string>(all.end() - 4, all.end()),
              (std::vector<std::string>{"10/4/down/0", "10/5/down/0", "10/5/up/0", "10/4/up/0"}));
}

TEST(RecordBalanceReplace, ReplacingIsNoRecordingOfItsOwnAndAddsNothing) {
    MacroEventRows rows;
    rows.InsertRow(0, MakeMacroEventJson(MacroEvent{true, 10, 30, 7}));
    rows.SelectRow(0);
    MacroRecorder recorder;
    recorder.Start({RecordDelayMode::None, RecordPlacement::Replace, 0, 0});
    EXPECT_EQ(recorder.Take(InputOf({KEY_B, false, 0}), rows, 0), RecordResult::Replaced);
    recorder.Stop(rows);
    EXPECT_EQ(RowsOf(rows), std::vector<std::string>{"10/5/down/7"});
}

// The editor: recorded before the selected row, ended by the stop button; the
// saved macro holds the balanced recording in place.
TEST_F(MacroPanelTest, TheEditorsRecordingIsBalancedWhereItStops) {
    MakeLibrary({"m"});
    Select(0);
    ASSERT_TRUE(m_panel->AppendEvent(Event("down", 10, 30, "5")));
    ASSERT_TRUE(m_panel->AppendEvent(Event("up", 10, 30, "5")));
    m_panel->SelectRow(1);
    m_panel->SetRecordState(RecordDelayMode::None, RecordPlacement::Before);
    for (const Press& press : {Press{KEY_ENTER, false, 0}, {KEY_LEFTCTRL, true, 1}, {KEY_C, true, 2}}) {
        m_panel->TakeRecordedPress(InputOf(press));
    }
    ASSERT_TRUE(m_panel->EndRecording());
    std::vector<std::string> saved;
    const Json::Value document = ReadJson(MacFile("g0"));
    for (const Json::Value& event : document["Events"]) {
        saved.push_back(std::to_string(event["Type"].asInt()) + "/" +
                        std::to_string(event["Button"].asInt()) + "/" + event["Action"].asString());
    }
    EXPECT_EQ(saved, (std::vector<std::string>{"10/30/down", "9/1/down", "10/6/down", "10/6/up", "9/1/up",
                                               "10/30/up"}));
}

} // namespace
} // namespace velkor::test
