// Recording into the macro panel built from the program's layout: presses
// with chosen times stand in for the input hook's reports.
#include "MacroTestSupport.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryControl.h"

#include <linux/input-event-codes.h>

namespace velkor::test {
namespace {

ui::InputPress Key(uint16_t code, bool down, int64_t timeMs) {
    return {ui::InputPress::Kind::Key, code, down, timeMs};
}
ui::InputPress Button(uint16_t code, bool down, int64_t timeMs) {
    return {ui::InputPress::Kind::Button, code, down, timeMs};
}

class MacroRecordingTest : public MacroPanelTest {
protected:
    void SetUp() override {
        MacroPanelTest::SetUp();
        m_panel->SetClock([this] { return m_now; });
        MakeLibrary({"m"});
        Select(0);
    }
    void Record(RecordDelayMode mode, RecordPlacement placement,
                std::initializer_list<ui::InputPress> presses) {
        m_panel->SetRecordState(mode, placement);
        for (const ui::InputPress& press : presses) {
            m_panel->TakeRecordedPress(press);
        }
    }
    // Type, Button, Action and the delay field of every row.
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int row = 0; row < m_panel->EventCount(); ++row) {
            const Json::Value event = ParseText(m_panel->EventText(row));
            rows.push_back(std::to_string(event["Type"].asInt()) + "/" +
                           std::to_string(event["Button"].asInt()) + "/" + event["Action"].asString() + "/" +
                           m_panel->EventDelayText(row));
        }
        return rows;
    }
    std::vector<std::string> SavedDelays() const {
        std::vector<std::string> delays;
        const Json::Value document = ReadJson(MacFile("g0"));
        for (const Json::Value& event : document["Events"]) {
            delays.push_back(event["Delay"].isString() ? event["Delay"].asString() : "not a string");
        }
        return delays;
    }
    void SeedRows(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(m_panel->AppendEvent(Event("down", 10, 30 + i, "5")));
        }
    }

    int64_t m_now = 0;
};

struct DelayCase {
    RecordDelayMode mode;
    std::vector<std::string> delays;
};
class RecordingDelays : public MacroRecordingTest, public ::testing::WithParamInterface<DelayCase> {};

TEST_P(RecordingDelays, EachRowWaitsUntilTheNextPress) {
    Part("macro_fixed_time_edit").SetText("50");
    // A, 300 ms, B; the handling is late (a busy window): only the presses' times count.
    m_now = 10'000;
    m_panel->SetRecordState(GetParam().mode, RecordPlacement::Append);
    for (const ui::InputPress& press :
         {Key(KEY_A, true, 1000), Key(KEY_A, false, 1100), Key(KEY_B, true, 1400), Key(KEY_B, false, 1480)}) {
        m_now += 900;
        m_panel->TakeRecordedPress(press);
    }
    ASSERT_TRUE(m_panel->EndRecording());
    const std::vector<std::string>& d = GetParam().delays;
    EXPECT_EQ(Rows(), (std::vector<std::string>{"10/4/down/" + d[0], "10/4/up/" + d[1], "10/5/down/" + d[2],
                                                "10/5/up/" + d[3]}));
    EXPECT_EQ(SavedDelays(), d);
}

INSTANTIATE_TEST_SUITE_P(Modes, RecordingDelays,
                         ::testing::Values(DelayCase{RecordDelayMode::Measured, {"100", "300", "80", "0"}},
                                           DelayCase{RecordDelayMode::Fixed, {"50", "50", "50", "50"}},
                                           DelayCase{RecordDelayMode::None, {"0", "0", "0", "0"}}));

TEST_F(MacroRecordingTest, APauseOfSeventySecondsIsTheLongestDelayAndALoneFirstRowIsZero) {
    Record(RecordDelayMode::Fixed, RecordPlacement::Append, {Key(KEY_A, true, 0)});
    EXPECT_TRUE(ParseText(m_panel->EventText(0))["Delay"].isInt()) << "the first row of a list";
    ASSERT_TRUE(m_panel->EndRecording());
    EXPECT_EQ(SavedDelays(), (std::vector<std::string>{"0", "0"})) << "A and the release the stop added";

    Record(RecordDelayMode::Measured, RecordPlacement::Append,
           {Key(KEY_A, true, 500), Key(KEY_B, true, 70'500)});
    EXPECT_EQ(Rows()[2], "10/4/down/65535");
}

TEST_F(MacroRecordingTest, NothingOfOneRecordingOutlivesItAndTheSideButtonsAreTwo) {
    Record(RecordDelayMode::None, RecordPlacement::Append, {Key(KEY_A, true, 0)});
    m_panel->EndRecording(); // A still held
    // Held since: its release, then a new press is a press; the side buttons overlap.
    Record(RecordDelayMode::None, RecordPlacement::Append,
           {Key(KEY_A, false, 10), Key(KEY_A, true, 20), Button(BTN_SIDE, true, 30),
            Button(BTN_EXTRA, true, 40), Button(BTN_SIDE, false, 50), Button(BTN_EXTRA, false, 60),
            Key(KEY_LEFTSHIFT, true, 70)});
    EXPECT_EQ(Rows(), (std::vector<std::string>{"10/4/down/0", "10/4/up/0", "10/4/down/0", "1/8/down/0",
                                                "1/16/down/0", "1/8/up/0", "1/16/up/0", "9/2/down/0"}));
    const ui::Control* name = m_panel->EventRowControl(4)->FindChild("macro_action_name");
    EXPECT_EQ(name->Text(), "mouse_key_forward");
}

TEST_F(MacroRecordingTest, TheLeftClickOnTheStopButtonIsNotRecordedARightClickIs) {
    Record(RecordDelayMode::None, RecordPlacement::Append, {});
    auto& stop = static_cast<ui::MemoryControl&>(Part("macro_btn_stopredio"));
    EXPECT_EQ(stop.ClassName(), CRedioMacroButtonUI::kLayoutClass);
    EXPECT_EQ(CRedioMacroButtonUI(stop).RedioImage(), "macro/stop.png");
    EXPECT_TRUE(stop.IsVisible());
    EXPECT_FALSE(Part("macro_btn_starredio").IsVisible());
    EXPECT_FALSE(Part("macro_action_list").IsEnabled());
    stop.SetUnderPointer(true);
    EXPECT_EQ(m_panel->TakeRecordedPress(Button(BTN_RIGHT, true, 1)), RecordResult::Placed);
    EXPECT_EQ(m_panel->TakeRecordedPress(Button(BTN_LEFT, true, 2)), RecordResult::StopClick);
    EXPECT_EQ(m_panel->TakeRecordedPress(Button(BTN_LEFT, false, 3)), RecordResult::StopClick);
    stop.SetUnderPointer(false);
    EXPECT_EQ(m_panel->TakeRecordedPress(Button(BTN_LEFT, true, 4)), RecordResult::Placed);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1/2/down/0", "1/1/down/0"}));
    m_panel->EndRecording();
    EXPECT_TRUE(Part("macro_action_list").IsEnabled());
    EXPECT_FALSE(stop.IsVisible());
}

TEST_F(MacroRecordingTest, RecordingBeforeARowPutsThePressesInOrderAndKeepsItSelected) {
    SeedRows(3);
    m_panel->SelectRow(1);
    Record(RecordDelayMode::None, RecordPlacement::Before,
           {Key(KEY_A, true, 0), Key(KEY_A, false, 5), Key(KEY_B, true, 9)});
    EXPECT_EQ(Rows(), (std::vector<std::string>{"10/30/down/0", "10/4/down/0", "10/4/up/0", "10/5/down/0",
                                                "10/31/down/5", "10/32/down/5"}));
    EXPECT_EQ(m_panel->SelectedRow(), 4);
}

TEST_F(MacroRecordingTest, ReplacingTakesOnlyTheKeyOfThePress) {
    ASSERT_TRUE(m_panel->AppendEvent(Event("up", 1, 2, "77")));
    m_panel->SelectRow(0);
    Record(RecordDelayMode::None, RecordPlacement::Replace, {Key(KEY_B, true, 0)});
    EXPECT_EQ(Rows(), (std::vector<std::string>{"10/5/up/77"}));
    const ui::Control* row = m_panel->EventRowControl(0);
    EXPECT_EQ(row->FindChild("macro_action_name")->StyleClass(), "macro_label_keyboard_style");
    EXPECT_EQ(row->FindChild("macro_action_value")->StyleClass(), "macro_label_up_style");
}

TEST_F(MacroRecordingTest, AFullListTakesNoMoreRowsButAReplacement) {
    SeedRows(kMaxMacroEvents);
    m_panel->SelectRow(10);
    Record(RecordDelayMode::None, RecordPlacement::Append, {});
    EXPECT_EQ(m_panel->TakeRecordedPress(Key(KEY_A, true, 0)), RecordResult::ListFull);
    m_panel->SetRecordState(RecordDelayMode::None, RecordPlacement::Replace);
    EXPECT_EQ(m_panel->TakeRecordedPress(Key(KEY_A, true, 0)), RecordResult::Replaced);
    EXPECT_EQ(m_panel->EventCount(), kMaxMacroEvents);
    EXPECT_EQ(Rows()[10], "10/4/down/5");
}

} // namespace
} // namespace velkor::test
