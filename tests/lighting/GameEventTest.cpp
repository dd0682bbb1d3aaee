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

TEST_F(GameEvents, KindZeroSavesTheModeAndTheRestoreComesFiveSecondsLater) {
    SetMode(*m_keyboard, 23);
    SetSynchronised(*m_keyboard, true);
    ASSERT_TRUE(m_events->OnGameEvent(0, 12));
    EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, 12);
    EXPECT_EQ(m_keyboard->State().LightRecord().oldLedMode, 1) << "a mode above 20 is saved as 1";
    EXPECT_FALSE(IsSynchronised(*m_keyboard));
    EXPECT_EQ(PanelOf(*m_keyboard).CurrentMode(), 12);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"kb:SetLightInfo", "kb:Save", "kb:Apply", "kb:Send"}));

    m_toolkit->AdvanceTime(4999);
    EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, 12);
    m_toolkit->AdvanceTime(1);
    EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, 1) << "back to mode 1, not 23";
    EXPECT_EQ(PanelOf(*m_keyboard).CurrentMode(), 1);
    EXPECT_TRUE(m_toolkit->RunningTimers(*m_host).empty()) << "the timer is stopped";
}

TEST_F(GameEvents, ASecondEventRestartsTheWait) {
    SetMode(*m_keyboard, 7);
    m_events->OnGameEvent(0, 12);
    m_toolkit->AdvanceTime(3000);
    m_events->OnGameEvent(0, 14);
    EXPECT_EQ(m_keyboard->State().LightRecord().oldLedMode, 12)
        << "the second event saves the effect it replaces";
    m_toolkit->AdvanceTime(4999);
    EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, 14) << "not restored 5 s after the first";
    m_toolkit->AdvanceTime(1);
    EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, 12);
}

TEST_F(GameEvents, KindsOneAndTwoKeepTheSavedMode) {
    SetMode(*m_keyboard, 7, 5);
    EXPECT_TRUE(m_events->OnGameEvent(1, 9));
    EXPECT_EQ(m_keyboard->State().LightRecord().oldLedMode, 5);
    EXPECT_TRUE(m_events->OnGameEvent(2, 10));
    m_toolkit->AdvanceTime(5000);
    EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, 5);
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
