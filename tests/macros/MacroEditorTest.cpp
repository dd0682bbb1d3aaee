// The event list of the macro panel as a user edits it: list buttons, mouse
// insertion, delay fields and the row menu, through the panel's router.
#include "MacroTestSupport.h"
#include "macros/MacroPanelRouter.h"
#include "support/ScriptedPrompts.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryControl.h"
#include "ui/memory/MemoryUser.h"

namespace velkor::test {
namespace {

class MacroEditorTest : public MacroPanelTest {
protected:
    void SetUp() override {
        MacroPanelTest::SetUp();
        MacroPanelHooks hooks;
        hooks.enableKeySaving = [this] { ++m_keySavingEnabled; };
        hooks.startRecording = [this](RecordDelayMode mode, int hookMode) {
            m_recordings.emplace_back(int(mode), hookMode);
        };
        hooks.openMenu = [this](std::string_view layout, ui::MenuReceiver& receiver) {
            return m_toolkit->OpenMenu(layout, {10, 10}, receiver);
        };
        m_router = std::make_unique<MacroPanelRouter>(*m_panel, m_prompts, std::move(hooks));
        m_window->AddNotifier(*m_router);
        MakeLibrary({"m"});
        WriteMacro("g0", Rows({{10, 4, "10"}, {10, 5, "20"}, {10, 6, "30"}, {10, 7, "40"}, {9, 2, "70000"}}));
        Select(0);
    }
    void TearDown() override { m_window->RemoveNotifier(*m_router); }

    struct RowEvent {
        int type;
        int button;
        const char* delay;
    };
    static Json::Value Rows(std::initializer_list<RowEvent> rows) {
        Json::Value events(Json::arrayValue);
        for (const RowEvent& row : rows) {
            events.append(Event("down", row.type, row.button, row.delay));
        }
        return events;
    }
    ui::Control& List() { return Part("macro_action_list"); }
    // A control of the row showing event `row` (in view).
    ui::Control& Cell(int row, std::string_view name) {
        return *m_panel->EventRowControl(row)->FindChild(name);
    }
    // "Button:delay field" of every row.
    std::string Shown() {
        std::string shown;
        for (int row = 0; row < m_panel->EventCount(); ++row) {
            shown += (row > 0 ? " " : "") +
                     std::to_string(ParseText(m_panel->EventText(row))["Button"].asInt()) + ":" +
                     m_panel->EventDelayText(row);
        }
        return shown;
    }
    std::string Saved() {
        std::string saved;
        const Json::Value document = ReadJson(MacFile("g0"));
        for (const Json::Value& event : document["Events"]) {
            saved += (saved.empty() ? "" : " ") + std::to_string(event["Button"].asInt()) + ":" +
                     event["Delay"].asString();
        }
        return saved;
    }

    ScriptedPrompts m_prompts;
    ui::MemoryUser m_user;
    std::unique_ptr<MacroPanelRouter> m_router;
    int m_keySavingEnabled = 0;
    std::vector<std::pair<int, int>> m_recordings;
};

TEST_F(MacroEditorTest, RowsShowTheirEventAndTheirDelayField) {
    EXPECT_EQ(Cell(0, "macro_action_name").Text(), "keyboard_key_A");
    EXPECT_EQ(Cell(0, "macro_action_name").StyleClass(), "macro_label_keyboard_style");
    EXPECT_EQ(Cell(4, "macro_action_name").Text(), "keyboard_key_LShift");
    EXPECT_EQ(Cell(4, "macro_action_value").StyleClass(), "macro_label_down_style");
    ui::Control& delay = Cell(4, "macro_delay");
    EXPECT_EQ(delay.Text(), "65535");
    EXPECT_EQ(delay.BackgroundColour(), 0xFF444444u);
    EXPECT_EQ(m_panel->EventRowControl(0)->Name(), "macro_action");
    // The field is the delay: leaving it saves what it shows.
    m_user.Type(Cell(1, "macro_delay"), "0025");
    m_user.Focus(Cell(2, "macro_delay"));
    EXPECT_EQ(Saved(), "4:10 5:25 6:30 7:40 2:65535");
    EXPECT_EQ(m_panel->EventDelayText(1), "25");
}

struct ListCase {
    const char* button;
    int selected;
    const char* rows;
    int selectedAfter;
};
class ListButtons : public MacroEditorTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListButtons, MoveOrRemoveTheSelectedRowWithItsOwnDelay) {
    const ListCase& c = GetParam();
    // An unsaved delay moves with its row; its neighbours keep theirs.
    Cell(1, "macro_delay").SetText("21");
    m_panel->SelectRow(c.selected);
    ASSERT_TRUE(m_user.Click(Part(c.button)));
    EXPECT_EQ(Shown(), c.rows);
    EXPECT_EQ(Saved(), c.rows);
    EXPECT_EQ(m_panel->SelectedRow(), c.selectedAfter);
    EXPECT_EQ(m_keySavingEnabled, 1);
}

INSTANTIATE_TEST_SUITE_P(Table, ListButtons,
                         ::testing::Values(ListCase{"macro_btn_up", 0, "4:10 5:21 6:30 7:40 2:65535", 0},
                                           ListCase{"macro_btn_down", 4, "4:10 5:21 6:30 7:40 2:65535", 4},
                                           ListCase{"macro_btn_up", 1, "5:21 4:10 6:30 7:40 2:65535", 0},
                                           ListCase{"macro_btn_down", 1, "4:10 6:30 5:21 7:40 2:65535", 2},
                                           ListCase{"macro_btn_uptop", 3, "7:40 4:10 5:21 6:30 2:65535", 0},
                                           ListCase{"macro_btn_downbottom", 1, "4:10 6:30 7:40 2:65535 5:21",
                                                    4},
                                           ListCase{"macro_btn_delete", 1, "4:10 6:30 7:40 2:65535", -1},
                                           ListCase{"macro_btn_deleteall", 2, "", -1}));

TEST_F(MacroEditorTest, AMovementDistanceIsOneByteAndShownAsStored) {
    m_panel->SelectRow(0);
    m_user.Type(Part("mouse_y_up_edit"), "300");
    ASSERT_TRUE(m_user.Click(Part("macro_inset_moveupkey_btn")));
    const Json::Value event = ParseText(m_panel->EventText(1));
    EXPECT_EQ(event["Type"].asInt(), 5);
    EXPECT_EQ(event["Action"].asString(), "down");
    EXPECT_EQ(event["Button"].asInt(), 255);
    EXPECT_EQ(Cell(1, "macro_action_value").Text(), "255");
    EXPECT_EQ(Cell(1, "macro_action_name").Text(), "mouse_move_to_up_text");
    EXPECT_EQ(Part("mouse_y_up_edit").Text(), "255");
    EXPECT_EQ(Saved().substr(0, 14), "4:10 255:50 5:");
}

TEST_F(MacroEditorTest, TheRowMenuInsertsAClickAfterItsRowAndStartsRecordings) {
    auto& row = static_cast<ui::MemoryControl&>(*m_panel->EventRowControl(3));
    row.Raise(ui::kNotifyMenu);
    ui::Menu* menu = m_router->EventMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(m_panel->SelectedRow(), 3);
    ASSERT_TRUE(m_user.ChooseMenuItem(*menu, "left_click"));
    EXPECT_EQ(Shown(), "4:10 5:20 6:30 7:40 1:50 1:50 2:65535");
    EXPECT_EQ(ParseText(m_panel->EventText(4))["Action"].asString(), "down");
    EXPECT_EQ(ParseText(m_panel->EventText(5))["Action"].asString(), "up");
    EXPECT_EQ(m_panel->SelectedRow(), 5);
    EXPECT_EQ(Saved(), Shown());

    row.Raise(ui::kNotifyMenu);
    ASSERT_TRUE(m_user.ChooseMenuItem(*m_router->EventMenu(), "redio_previous_ignore_time"));
    ASSERT_TRUE(m_user.ScrollRows(List(), -10)); // row 0 went out of view when row 5 was shown
    static_cast<ui::MemoryControl&>(*m_panel->EventRowControl(0)).Raise(ui::kNotifyMenu);
    ASSERT_TRUE(m_user.ChooseMenuItem(*m_router->EventMenu(), "macro_action_edit"));
    EXPECT_EQ(m_recordings, (std::vector<std::pair<int, int>>{{3, 8}, {3, 32}}));
}

} // namespace
} // namespace velkor::test
