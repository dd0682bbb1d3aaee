// Recording a macro on the simulated keyboard's page through the main
// window's input hook (the window's own input): start and stop buttons, the
// saved file, pending key changes, and the hook shared with key capture.
#include "MainWndFixture.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "platform/JsonFileHelper.h"
#include "sim/SimBackend.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryWindow.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace velkor::test {
namespace {

using ui::test::ListOf;

class RecordingTest : public MainWndFixture {
protected:
    RecordingTest() {
        m_folder.AddDefaultData();
        m_toolkit->SetModalDriver([this](ui::MemoryWindow& box) { m_user.Click(box, "confirm_btn"); });
    }
    void SetUp() override {
        m_sim.Plug(sim::SimUnit::Keyboard);
        ASSERT_TRUE(Start());
        Until([&] {
            auto* found = m_main->Discovery() != nullptr ? m_main->Discovery()->DeviceOfModel(1) : nullptr;
            m_keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(found);
            return m_keyboard != nullptr && !m_keyboard->KeyList().empty() &&
                   m_keyboard->Driver().LightThreadRunning();
        });
        ASSERT_NE(m_keyboard, nullptr);
        m_keyboard->SelectFunctionPage(3); // the macro tab
        ASSERT_TRUE(m_user.Click(On("macro_btn_name_add")));
    }
    ui::Control& On(std::string_view name) {
        ui::Control* control = m_keyboard->Presenter().Page()->FindChild(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    }
    ui::Window& Window() { return *m_main->GetWindow(); }
    ui::Control& DeviceList() { return *Window().FindControl(DeviceListController::kDeviceList); }
    Json::Value Saved() {
        CMacroControlUI* panel = m_main->PanelsOf(*m_keyboard)->MacroPanel();
        return CJsonFileHelper().ReadJsonFile(panel->MacroFilePathAt(0))["Events"];
    }
    std::string Buttons() {
        std::string buttons;
        const Json::Value events = Saved();
        for (const Json::Value& event : events) {
            buttons += std::to_string(event["Type"].asInt()) + "/" + std::to_string(event["Button"].asInt()) +
                       "/" + event["Action"].asString() + "/" + event["Delay"].asString() + " ";
        }
        return buttons;
    }

    CTolvanicKeyboardDevice* m_keyboard = nullptr;
};

TEST_F(RecordingTest, StartThreePressesAndStopStoreTheMacroAndMarkKeysPending) {
    EXPECT_FALSE(m_main->Recording().KeyChangesPending());
    ASSERT_TRUE(m_user.Click(On("macro_btn_starredio")));
    EXPECT_TRUE(m_main->Recording().IsRecording());
    EXPECT_EQ(m_main->Recording().InputHook().Mode(), 4);
    EXPECT_FALSE(DeviceList().IsEnabled());
    EXPECT_FALSE(m_main->PanelsOf(*m_keyboard)->ProfileBar()->Bar().IsEnabled());
    EXPECT_FALSE(On("macro_btn_starredio").IsVisible());

    m_user.PressKey(Window(), KEY_A, true, 1000);
    m_user.PressKey(Window(), KEY_A, false, 1120);
    m_user.PressButton(Window(), BTN_RIGHT, true, 1400);
    EXPECT_EQ(m_traces.Count("WM_HOOK_KEY_MSMACRO"), 1);
    ASSERT_TRUE(m_user.Click(On("macro_btn_stopredio")));

    EXPECT_EQ(Buttons(), "10/4/down/120 10/4/up/280 1/2/down/0 1/2/up/0 ")
        << "the right button released at the stop";
    EXPECT_FALSE(m_main->Recording().IsRecording());
    EXPECT_FALSE(m_main->Recording().InputHook().IsHooked());
    EXPECT_TRUE(m_main->Recording().KeyChangesPending());
    EXPECT_TRUE(DeviceList().IsEnabled());
    EXPECT_TRUE(m_main->PanelsOf(*m_keyboard)->ProfileBar()->Bar().IsEnabled());
    EXPECT_TRUE(On("macro_btn_starredio").IsVisible());
}

TEST_F(RecordingTest, KeyCaptureLeavesARecordingsHookAloneAndTheTrayEndsIt) {
    ASSERT_TRUE(m_user.Click(On("macro_btn_starredio")));
    // Focusing the key panel's capture field while recording: the hook stays the recording's.
    m_keyboard->SelectFunctionPage(2);
    m_keyboard->SelectEntry(0);
    ui::Control& pages = On(CKeySetControlUI::kFunctionCombo);
    for (int i = 0; i < ListOf(pages).ItemCount(); ++i) {
        if (ListOf(pages).ItemUserData(i) == std::to_string(kPageKeyboard)) {
            m_user.ChooseItem(pages, i);
        }
    }
    ASSERT_TRUE(m_user.Focus(On(CKeySetControlUI::kKeyTextEdit)));
    ASSERT_TRUE(m_user.Focus(On(CKeySetControlUI::kFunctionCombo)));
    EXPECT_EQ(m_main->Recording().InputHook().Mode(), 4);
    m_user.PressKey(Window(), KEY_B, true, 10);
    m_keyboard->SelectFunctionPage(3);

    // Closing to the tray ends the recording as the stop button would.
    m_main->HideToTray();
    EXPECT_FALSE(m_main->Recording().IsRecording());
    EXPECT_FALSE(m_main->Recording().InputHook().IsHooked());
    EXPECT_EQ(Buttons(), "10/5/down/0 10/5/up/0 ");
}

// The recording page's device is unplugged: its stop button goes with the
// page, so the recording ends as that button would end it.
TEST_F(RecordingTest, UnpluggingTheRecordingDeviceEndsTheRecording) {
    ASSERT_TRUE(m_user.Click(On("macro_btn_starredio")));
    m_user.PressKey(Window(), KEY_A, true, 10);
    ASSERT_TRUE(m_main->Recording().IsRecording());
    m_sim.Unplug(sim::SimUnit::Keyboard);
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->VisibleItemCount() == 0; }));
    EXPECT_FALSE(m_main->Recording().IsRecording());
    EXPECT_FALSE(m_main->Recording().InputHook().IsHooked());
    EXPECT_TRUE(DeviceList().IsEnabled());
    EXPECT_EQ(Buttons(), "10/4/down/0 10/4/up/0 ");
}

TEST_F(RecordingTest, ReportsWhileAMousePadIsSelectedGoNowhere) {
    m_sim.Plug(sim::SimUnit::MousePad);
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->VisibleItemCount() == 2; }));
    ASSERT_TRUE(m_user.Click(On("macro_btn_starredio")));
    m_user.PressKey(Window(), KEY_A, true, 10);
    ASSERT_TRUE(m_main->Discovery()->SelectFirstOfClass(DeviceClass::MousePad)); // the mouse pad
    m_user.PressKey(Window(), KEY_B, true, 20);
    ASSERT_TRUE(m_main->Discovery()->SelectFirstOfClass(DeviceClass::Keyboard));
    m_user.PressKey(Window(), KEY_C, true, 30);
    ASSERT_TRUE(m_user.Click(On("macro_btn_stopredio")));
    EXPECT_EQ(Buttons(), "10/4/down/20 10/6/down/0 10/6/up/0 10/4/up/0 ");
}

} // namespace
} // namespace velkor::test
