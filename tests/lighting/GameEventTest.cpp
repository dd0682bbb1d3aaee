// Game-event lighting with its 5-second restore on timer 1066, and lighting ownership.
#include "LightingTestSupport.h"
#include "lighting/GameEventLighting.h"

namespace velkor::test {
namespace {

class GameEvents : public LightingFixture {
protected:
    void SetUp() override {
        LightingFixture::SetUp();
        m_keyboard = &AddDevice(DeviceKind::Keyboard, "kb");
        m_selected = m_keyboard;
        m_host = &PanelOf(*m_keyboard).Panel();
        m_events = std::make_unique<GameEventLighting>(
            *m_host, m_lightPanels, [this] { return m_selected; }, m_screen);
        m_timers.events = m_events.get();
        m_host->OwnerWindow().AddNotifier(m_timers);
    }
    void TearDown() override {
        m_host->OwnerWindow().RemoveNotifier(m_timers);
        m_events.reset();
        LightingFixture::TearDown();
    }
    void SetMode(CTolvanicUSBDevice& device, uint8_t mode, uint8_t oldMode = 0) {
        LightInfoRecord record = device.State().LightRecord();
        record.selectItem = mode;
        record.oldLedMode = oldMode;
        SetRecord(device, record);
    }
    // The window's timer notifications go to the game-event lighting, as the main window's do.
    struct Timers : ui::NotifyReceiver {
        GameEventLighting* events = nullptr;
        void Notify(const ui::Notification& n) override {
            if (n.type == ui::kNotifyTimer) {
                events->OnTimer(n.wParam);
            }
        }
    };

    LoggedDevice* m_keyboard = nullptr;
    CTolvanicUSBDevice* m_selected = nullptr;
    ui::Control* m_host = nullptr;
    std::unique_ptr<GameEventLighting> m_events;
    Timers m_timers;
};

// The events of one game, each (kind, mode), and what shows after each.
struct GameCase {
    const char* name;
    std::vector<std::pair<int, int>> events;
};

class GameEventRuns : public GameEvents, public ::testing::WithParamInterface<GameCase> {};

// Whatever the kinds, and with a stale saved mode in the record: the game's
// modes show, nothing is stored, and 5 s after the last event the device
// shows its stored record again.
TEST_P(GameEventRuns, ShowWithoutStoringAndTheRestoreBringsBackTheStoredRecord) {
    SetMode(*m_keyboard, 23, 5);
    SetSynchronised(*m_keyboard, true);
    const LightInfoRecord stored = m_keyboard->Profile().ReadLightInfo();
    const Json::Value document = m_keyboard->Profile().ActiveDocument(); // what a save writes
    TakeLog();
    for (const auto& [kind, mode] : GetParam().events) {
        ASSERT_TRUE(m_events->OnGameEvent(kind, mode));
        EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, mode);
        EXPECT_EQ(PanelOf(*m_keyboard).CurrentMode(), mode);
        EXPECT_EQ(TakeLog(), (std::vector<std::string>{"kb:Apply", "kb:Send"})) << "shown, never stored";
        m_toolkit->AdvanceTime(3000);
    }
    EXPECT_FALSE(IsSynchronised(*m_keyboard));
    EXPECT_EQ(m_keyboard->Profile().ActiveDocument(), document) << "a save meanwhile keeps the stored mode";

    m_toolkit->AdvanceTime(1999);
    EXPECT_NE(m_keyboard->State().LightRecord().selectItem, 23) << "5 s after the last event, not the first";
    m_toolkit->AdvanceTime(1);
    EXPECT_EQ(m_keyboard->State().LightRecord(), stored) << "back to mode 23 as stored, not the stale 5";
    EXPECT_EQ(PanelOf(*m_keyboard).CurrentMode(), 23);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"kb:Apply", "kb:Send"}));
    EXPECT_TRUE(m_toolkit->RunningTimers(*m_host).empty()) << "the timer is stopped";
    m_toolkit->AdvanceTime(10000);
    EXPECT_TRUE(TakeLog().empty()) << "one restore";
}

INSTANTIATE_TEST_SUITE_P(Kinds, GameEventRuns,
                         ::testing::Values(GameCase{"start", {{0, 12}}}, GameCase{"kill_alone", {{1, 9}}},
                                           GameCase{"death_alone", {{2, 10}}},
                                           GameCase{"start_then_kill", {{0, 12}, {1, 14}}},
                                           GameCase{"kill_then_death", {{1, 9}, {2, 3}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GameEvents, LightingSetDuringTheEffectIsNotUndoneByTheRestore) {
    SetMode(*m_keyboard, 7);
    ASSERT_TRUE(m_events->OnGameEvent(0, 12));
    SetMode(*m_keyboard, 9); // the user's own choice, stored
    TakeLog();
    m_toolkit->AdvanceTime(5000);
    EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, 9);
    EXPECT_TRUE(TakeLog().empty()) << "nothing to restore";
}

TEST_F(GameEvents, AnEventThatChangesNothingRestoresNothing) {
    SetMode(*m_keyboard, 7, 0);
    EXPECT_FALSE(m_events->OnGameEvent(3, 9));
    EXPECT_FALSE(m_events->OnGameEvent(0, 99)) << "beyond the mode list";
    EXPECT_FALSE(m_events->OnGameEvent(0, -1));
    EXPECT_EQ(m_toolkit->RunningTimers(*m_host), std::vector<int>{GameEventLighting::kTimerRestore})
        << "the timer runs in every case";
    m_toolkit->AdvanceTime(5000);
    EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, 7) << "not sent to the stale saved mode 0";
    EXPECT_EQ(m_keyboard->Profile().ReadLightInfo().selectItem, 7);
    EXPECT_TRUE(TakeLog().empty());
    m_selected = nullptr;
    EXPECT_FALSE(m_events->OnGameEvent(0, 3));
}

TEST_F(GameEvents, TheRestoreGoesToTheDeviceTheEffectWentTo) {
    LoggedDevice& mouse = AddDevice(DeviceKind::Mouse, "ms", 10);
    SetMode(*m_keyboard, 4);
    SetMode(mouse, 2, 0);
    m_events->OnGameEvent(0, 9);
    m_selected = &mouse;
    m_toolkit->AdvanceTime(5000);
    EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, 4);
    EXPECT_EQ(mouse.State().LightRecord().selectItem, 2) << "the newly selected mouse had no effect to end";
}

TEST_F(GameEvents, AHiddenModeCanBeShownByAGame) {
    PanelOf(*m_keyboard).FillModeList({"m0", "m1", "m2", "m3"}, {1, 1, 0, 1}, 4, 4);
    m_keyboard->Paths().MutableNameLists().modeNames.resize(4);
    SetMode(*m_keyboard, 3);
    ASSERT_TRUE(m_events->OnGameEvent(0, 2));
    EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, 2);
    EXPECT_EQ(PanelOf(*m_keyboard).CurrentMode(), 2);
}

} // namespace
} // namespace velkor::test
