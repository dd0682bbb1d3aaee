// A macro of 4000 events in the panel: the same edits give the same file as on
// a short macro, only the rows in view exist as controls, and selection,
// typed delays and the focus survive scrolling.
#include "MacroTestSupport.h"
#include "macros/MacroFiles.h"
#include "macros/MacroPanelRouter.h"
#include "support/ScriptedPrompts.h"
#include "ui/memory/MemoryControl.h"
#include "ui/memory/MemoryUser.h"

#include <linux/input-event-codes.h>

namespace velkor::test {
namespace {

// Event i of a test macro; its delay is its index, so every event is told apart.
Json::Value Events(int count) {
    Json::Value events(Json::arrayValue);
    for (int i = 0; i < count; ++i) {
        events.append(Event(i % 2 == 0 ? "down" : "up", 10, 4 + i % 26, std::to_string(i).c_str()));
    }
    return events;
}

// One user action on the event list.
struct Step {
    enum Kind { Click, Button, Menu, Type, RecordBefore } kind;
    int row = 0;
    int64_t modifiers = 0;
    const char* name = "";
};

struct EditCase {
    const char* what;
    std::vector<Step> steps;
};

class MacroLongList : public MacroPanelTest {
protected:
    static constexpr int kShort = 8;
    // Two below the limit, so that a recording may still add a press and the
    // release its stop adds.
    static constexpr int kLong = kMaxMacroEvents - 2;

    void SetUp() override {
        MacroPanelTest::SetUp();
        MacroPanelHooks hooks;
        hooks.openMenu = [this](std::string_view layout, ui::MenuReceiver& receiver) {
            return m_toolkit->OpenMenu(layout, {10, 10}, receiver);
        };
        m_router = std::make_unique<MacroPanelRouter>(*m_panel, m_prompts, std::move(hooks));
        m_window->AddNotifier(*m_router);
        MakeLibrary({"short", "long"});
        WriteMacro("g0", Events(kShort));
        WriteMacro("g1", Events(kLong));
    }
    void TearDown() override { m_window->RemoveNotifier(*m_router); }

    ui::Control& View() { return Part("macro_action_list"); }
    ui::RowViewControl& Rows() { return *View().AsRowView(); }
    // Turns the wheel until `row` is in view.
    void Reveal(int row) {
        const int first = Rows().FirstVisibleRow();
        if (row < first) {
            m_user.ScrollRows(View(), row - first);
        } else if (row >= first + Rows().VisibleRowCount()) {
            m_user.ScrollRows(View(), row - first - Rows().VisibleRowCount() + 1);
        }
    }
    ui::Control& DelayField(int row) {
        Reveal(row);
        return *m_panel->EventRowControl(row)->FindChild("macro_delay");
    }
    void Run(const Step& step) {
        switch (step.kind) {
        case Step::Click:
            Reveal(step.row);
            ASSERT_TRUE(m_user.ClickRow(View(), step.row, step.modifiers)) << step.row;
            break;
        case Step::Button:
            ASSERT_TRUE(m_user.Click(Part(step.name))) << step.name;
            break;
        case Step::Menu:
            Reveal(step.row);
            static_cast<ui::MemoryControl*>(m_panel->EventRowControl(step.row))->Raise(ui::kNotifyMenu);
            ASSERT_TRUE(m_user.ChooseMenuItem(*m_router->EventMenu(), step.name));
            break;
        case Step::Type:
            ASSERT_TRUE(m_user.Type(DelayField(step.row), step.name));
            ASSERT_TRUE(m_user.Focus(Part("mouse_y_up_edit"))); // leaving the field saves
            break;
        case Step::RecordBefore:
            m_panel->SetRecordState(RecordDelayMode::None, RecordPlacement::Before);
            ASSERT_EQ(m_panel->TakeRecordedPress({ui::InputPress::Kind::Key, KEY_B, true, 0}),
                      RecordResult::Placed);
            ASSERT_TRUE(m_panel->EndRecording());
            break;
        }
    }
    // The events of macro `index` as saved after the steps.
    Json::Value Edit(int index, const std::vector<Step>& steps) {
        Select(index);
        for (const Step& step : steps) {
            Run(step);
        }
        return ReadJson(MacFile("g" + std::to_string(index)))["Events"];
    }

    ScriptedPrompts m_prompts;
    ui::MemoryUser m_user;
    std::unique_ptr<MacroPanelRouter> m_router;
};

class LongListEdits : public MacroLongList, public ::testing::WithParamInterface<EditCase> {};

TEST_P(LongListEdits, GiveTheFileTheyGiveOnAShortMacro) {
    const Json::Value head = Edit(0, GetParam().steps);
    const Json::Value all = Events(kLong);
    // The long macro's file: the short one's events, then its own untouched ones.
    Json::Value expected = head;
    for (Json::ArrayIndex i = kShort; i < all.size(); ++i) {
        expected.append(all[i]);
    }
    const Json::Value saved = Edit(1, GetParam().steps);
    for (Json::ArrayIndex i = 0; i < std::max(saved.size(), expected.size()); ++i) {
        // The first difference, not thousands of events.
        ASSERT_TRUE(saved[i] == expected[i]) << "event " << i << ": " << saved[i].toStyledString();
    }
    EXPECT_TRUE(ReadBytes(MacFile("g1")) ==
                CJsonFileHelper().StyledText(MakeMacroDocument("long", "g1", expected)));
    EXPECT_NE(head, Events(kShort)) << "the steps changed nothing";
}

using S = Step;
INSTANTIATE_TEST_SUITE_P(
    Table, LongListEdits,
    ::testing::Values(
        EditCase{"menu_click_after_the_first_row", {{S::Click, 0}, {S::Menu, 0, 0, "left_click"}}},
        EditCase{"recorded_before_the_first_row", {{S::Click, 0}, {S::RecordBefore}}},
        EditCase{"shift_range_deleted",
                 {{S::Click, 1}, {S::Click, 4, ui::kRowClickShift}, {S::Button, 0, 0, "macro_btn_delete"}}},
        EditCase{"control_picks_deleted",
                 {{S::Click, 0},
                  {S::Click, 2, ui::kRowClickControl},
                  {S::Click, 5, ui::kRowClickControl},
                  {S::Click, 0, ui::kRowClickControl},
                  {S::Button, 0, 0, "macro_btn_delete"}}},
        EditCase{"moved_up_down_and_to_the_top",
                 {{S::Click, 3},
                  {S::Button, 0, 0, "macro_btn_up"},
                  {S::Button, 0, 0, "macro_btn_down"},
                  {S::Button, 0, 0, "macro_btn_down"},
                  {S::Button, 0, 0, "macro_btn_uptop"}}},
        EditCase{"delay_typed", {{S::Type, 6, 0, "0042"}}}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return std::string(info.param.what); });

TEST_F(MacroLongList, OnlyTheRowsInViewAreControlsAndScrollingShowsTheirEvents) {
    WriteMacro("g1", Events(kMaxMacroEvents));
    Select(1);
    EXPECT_EQ(Rows().RowCount(), kMaxMacroEvents) << "the scroll bar spans every event";
    Run({S::Click, 5});
    Run({S::Click, 3000, ui::kRowClickControl});
    ui::Control& typed = DelayField(2);
    ASSERT_TRUE(m_user.Type(typed, "77")); // and the focus stays in the field
    const Json::Value events = Events(kMaxMacroEvents);
    for (int first = 0; first < kMaxMacroEvents; first += 7) {
        m_user.ScrollRows(View(), first - Rows().FirstVisibleRow());
        ASSERT_LE(View().ChildCount(), Rows().RowCapacity() + 1);
        for (int row = Rows().FirstVisibleRow(); row < Rows().FirstVisibleRow() + Rows().VisibleRowCount();
             ++row) {
            const ui::Control* shown = m_panel->EventRowControl(row);
            ASSERT_NE(shown, nullptr) << row;
            EXPECT_EQ(shown->FindChild("macro_action_name")->Text(),
                      DescribeMacroEvent(events[Json::ArrayIndex(row)]).nameKey)
                << row;
            EXPECT_EQ(shown->FindChild("macro_delay")->Text(), row == 2 ? "77" : std::to_string(row));
            EXPECT_EQ(shown->StyleClass() == ui::RowWindow::kSelectedStyle, row == 5 || row == 3000) << row;
        }
    }
    // The focused field kept its event while it was out of view; leaving it saves.
    EXPECT_EQ(m_panel->EventRowControl(2), typed.Parent());
    EXPECT_EQ(m_panel->EventDelayText(2), "77");
    Reveal(2);
    EXPECT_EQ(&DelayField(2), &typed);
    ASSERT_TRUE(m_user.Focus(Part("mouse_y_up_edit")));
    EXPECT_EQ(ReadJson(MacFile("g1"))["Events"][2]["Delay"].asString(), "77");
    EXPECT_EQ(m_panel->SelectedEvents(), (std::vector<int>{5, 3000}));
}

TEST_F(MacroLongList, ARangeWiderThanTheViewGoesAndTheLastRowMovesToTheTop) {
    WriteMacro("g1", Events(kMaxMacroEvents));
    Select(1);
    Run({S::Click, 10});
    Run({S::Click, 3009, ui::kRowClickShift}); // 3000 rows, most never shown
    Run({S::Button, 0, 0, "macro_btn_delete"});
    ASSERT_EQ(m_panel->EventCount(), kMaxMacroEvents - 3000);
    EXPECT_EQ(m_panel->SelectedRow(), -1);
    Run({S::Click, m_panel->EventCount() - 1});
    Run({S::Button, 0, 0, "macro_btn_uptop"});
    const Json::Value saved = ReadJson(MacFile("g1"))["Events"];
    ASSERT_EQ(saved.size(), Json::ArrayIndex(kMaxMacroEvents - 3000));
    const auto delay = [&saved](Json::ArrayIndex i) { return saved[i]["Delay"].asString(); };
    EXPECT_EQ(delay(0), "3999");
    EXPECT_EQ(delay(10), "9");
    EXPECT_EQ(delay(11), "3010");
    EXPECT_EQ(Rows().FirstVisibleRow(), 0);
    EXPECT_EQ(m_panel->EventRowControl(0)->StyleClass(), ui::RowWindow::kSelectedStyle);
}

} // namespace
} // namespace velkor::test
