// The mouse in the main window, on the simulated family and the real skin:
// its buttons, settings record, DPI stages, events and receiver.
#include "MainWndFixture.h"
#include "devices/TolvanicMouseDevice.h"
#include "platform/JsonFileHelper.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace velkor::test {
namespace {

using sim::SimMemory;
using sim::SimModel;
using sim::SimUnit;

constexpr int kMouseRow = 0;
constexpr uint8_t kBeginSession = 0x01;
constexpr uint8_t kReadParams = 0x05;
constexpr uint8_t kWriteParams = 0x06;

class MouseDeviceTest : public MainWndFixture {
protected:
    MouseDeviceTest() { m_folder.AddDefaultData(); }

    CTolvanicMouseDevice* Attach(SimUnit unit = SimUnit::Mouse) {
        m_sim.Plug(unit);
        if (!Start()) {
            return nullptr;
        }
        CTolvanicMouseDevice* mouse = nullptr;
        const bool ready = Until(
            [&] {
                mouse =
                    m_main->Discovery() == nullptr
                        ? nullptr
                        : dynamic_cast<CTolvanicMouseDevice*>(m_main->Discovery()->DeviceOfModel(kMouseRow));
                return mouse != nullptr && mouse->DpiLimits().highestStep > 0 &&
                       mouse->Driver().LightThreadRunning();
            },
            10);
        return ready ? mouse : nullptr;
    }
    size_t Sent(uint8_t command, SimUnit unit = SimUnit::Mouse) const {
        size_t count = 0;
        for (const sim::SimFrame& frame : m_sim.Frames()) {
            count += frame.direction == sim::SimDirection::ToDevice && frame.unit == unit &&
                     frame.bytes.size() > 8 && frame.bytes[3] == command;
        }
        return count;
    }
    // The function the mouse holds at a key position.
    std::vector<uint8_t> KeyOnMouse(int position) const {
        const auto table = m_sim.Memory(SimModel::Mouse, SimMemory::KeyTable);
        return std::vector<uint8_t>(table.begin() + position * 3, table.begin() + position * 3 + 3);
    }
    std::vector<uint8_t> SlotOnMouse(int profile) const {
        const auto memory = m_sim.Memory(SimModel::Mouse, SimMemory::Params);
        return std::vector<uint8_t>(memory.begin() + profile * 128, memory.begin() + profile * 128 + 71);
    }
};

TEST_F(MouseDeviceTest, AttachFindsTheButtonsAndShowsTheProfileWithoutReadingTheMouse) {
    m_sim.ClearFrames();
    CTolvanicMouseDevice* mouse = Attach();
    ASSERT_NE(mouse, nullptr);
    // The mouse lists buttons 3 and 4, and 8 and 10, the other way round.
    const std::array<uint8_t, 11> expected = {0, 1, 2, 4, 3, 5, 6, 7, 10, 9, 8};
    EXPECT_EQ(mouse->ButtonPositions(), expected);
    EXPECT_EQ(mouse->DpiLimits(), (MouseDpiLimits{0x3325, 100, 73, 100}));
    EXPECT_EQ(Sent(kReadParams), 0u) << "the record is read after events only";
    EXPECT_EQ(Sent(kWriteParams), 0u) << "nothing is sent before the user changes something";
    EXPECT_TRUE(mouse->Presenter().KeyControls()[0]->IsResourceText());
    EXPECT_EQ(mouse->Presenter().KeyControls()[0]->Text(), "mouse_button_0");
    // Without the desktop's settings every pointer control says why it is off.
    ui::Control* speed = mouse->Presenter().Page()->FindChild("pointer_speed_slider");
    ASSERT_NE(speed, nullptr);
    EXPECT_FALSE(speed->IsEnabled());
    EXPECT_FALSE(speed->ToolTip().empty());

    // A mouse that claims 200 key positions (600 bytes): the read stops, the
    // session is ended, and the buttons stay where they were.
    const uint8_t tooMany = 200;
    m_sim.WriteMemory(SimModel::Mouse, SimMemory::DeviceInfo, 5, std::span(&tooMany, 1));
    m_sim.ClearFrames();
    EXPECT_FALSE(mouse->ReadLayout());
    EXPECT_EQ(Sent(0x02), 1u) << "EndSession";
    EXPECT_EQ(mouse->ButtonPositions(), expected);
}

TEST_F(MouseDeviceTest, TheLastEnabledStageCannotBeSwitchedOff) {
    CTolvanicMouseDevice* mouse = Attach();
    ASSERT_NE(mouse, nullptr);
    ASSERT_GE(mouse->Stages().size(), 2u);
    const int active = mouse->ActiveStage();
    for (int n = 0; n < int(mouse->Stages().size()); ++n) {
        if (n != active && n != (active + 1) % 5) {
            mouse->SetStageEnabled(n, false);
        }
    }
    const int other = (active + 1) % 5;
    mouse->SetStageEnabled(other, false);
    EXPECT_FALSE(
        mouse->Presenter().Page()->FindChild("DPI_enable_check_" + std::to_string(active))->IsEnabled());
    mouse->SetStageEnabled(other, true);
    EXPECT_TRUE(
        mouse->Presenter().Page()->FindChild("DPI_enable_check_" + std::to_string(other))->IsEnabled());
    ASSERT_TRUE(Drained(*mouse));
    EXPECT_EQ(SlotOnMouse(0)[14 + 9 * other], 1) << "the stage's enable byte reached the mouse";
}

TEST_F(MouseDeviceTest, TheDefaultButtonSendsTheDefaultRecordAndButtonsToTheMouse) {
    CTolvanicMouseDevice* mouse = Attach();
    ASSERT_NE(mouse, nullptr);
    // The mouse runs report rate 1 and a left button that clicks right.
    ASSERT_EQ(Written(*mouse, [&] { return mouse->SelectPollingRate(1); }), 1);
    std::vector<KeyListEntry> keys = mouse->Profile().ReadKeyList();
    ASSERT_FALSE(keys.empty());
    keys[0].current = KeyFunction::FromTriple(0x10, 0x02, 0x00);
    mouse->Profile().WriteKeyList(keys);
    ASSERT_EQ(mouse->WriteProfileKeys(0), 1);
    const int left = mouse->ButtonPositions()[0];
    ASSERT_EQ(KeyOnMouse(left), (std::vector<uint8_t>{0x10, 0x02, 0x00}));

    mouse->SelectFunctionPage(5); // the cursor tab, "device_function_page_2"
    ui::Control* defaults = mouse->Presenter().Page()->FindChild("default_btn");
    ASSERT_NE(defaults, nullptr);
    ASSERT_TRUE(m_user.Click(*defaults));
    ASSERT_TRUE(Drained(*mouse));
    EXPECT_EQ(SlotOnMouse(0)[11], 3) << "the default report rate reached the mouse";
    EXPECT_EQ(KeyOnMouse(left), (std::vector<uint8_t>{0x10, 0x01, 0x00})) << "and the default left button";
    EXPECT_FALSE(m_sim.InSession(SimModel::Mouse));
}

TEST_F(MouseDeviceTest, ARateChangeWritesTheRecordAndAnEventReadsItBack) {
    CTolvanicMouseDevice* mouse = Attach();
    ASSERT_NE(mouse, nullptr);
    const std::vector<uint8_t> before = SlotOnMouse(0);
    ASSERT_EQ(Written(*mouse, [&] { return mouse->SelectPollingRate(2); }), 1);
    const std::vector<uint8_t> after = SlotOnMouse(0);
    EXPECT_EQ(after[11], 2);
    EXPECT_EQ(after[59], 1);
    EXPECT_EQ(std::vector<uint8_t>(after.begin() + 66, after.end()),
              std::vector<uint8_t>(before.begin() + 66, before.end()))
        << "bytes 66..70 are the mouse's own";
    EXPECT_EQ(Json::Value(CJsonFileHelper().ReadJsonFile(
                  mouse->GetDeviceProfilePath()))["Device"][0]["ReportStages"]["StageActive"]
                  .asInt(),
              2);

    // 0x0401: the active profile's 71 bytes are read at p x 128.
    const uint8_t active = 1;
    m_sim.WriteMemory(SimModel::Mouse, SimMemory::Params, 0, std::span(&active, 1));
    m_sim.ClearFrames();
    ASSERT_TRUE(m_sim.InjectEvent(SimUnit::Mouse, 0x0401));
    ASSERT_TRUE(Until([&] { return Sent(kReadParams) >= 2; }, 10));
    const int mode = mouse->Paths().NameLists().ModeOfEffectCode(2); // profile 1 runs effect code 2
    ASSERT_TRUE(Until([&] { return mouse->State().LightRecord().selectItem == mode; }, 10));
}

// Events by cable and through the receiver. The event thread handles them in
// order, so a profile event after a click shows that the click was handled.
class MouseEventChannelTest : public MouseDeviceTest, public ::testing::WithParamInterface<SimUnit> {};

TEST_P(MouseEventChannelTest, StageEventsAreShownAndClicksFlashInEffectSixByCableOnly) {
    const SimUnit unit = GetParam();
    CTolvanicMouseDevice* mouse = Attach(unit);
    ASSERT_NE(mouse, nullptr);
    auto flashing = [&] { return mouse->State().Leds().Copy().flashState[0] != 0; };
    // The mouse switches profile and stage itself (0x1132): shown on the
    // user-interface thread; a stage it does not have (0x11F2) is ignored.
    ASSERT_TRUE(m_sim.InjectEvent(unit, 0x1132));
    ASSERT_TRUE(Until([&] { return mouse->ActiveProfile() == 2; }, 10));
    EXPECT_EQ(mouse->ActiveStage(), 3);
    for (uint16_t code : {0x0403, 0x11F2, 0x1041}) {
        ASSERT_TRUE(m_sim.InjectEvent(unit, code));
    }
    ASSERT_TRUE(Until([&] { return mouse->ActiveProfile() == 1; }, 10));
    EXPECT_EQ(mouse->ActiveStage(), 3);
    EXPECT_FALSE(flashing()) << "only the flash effect follows clicks";

    LightInfoRecord light = mouse->State().LightRecord();
    light.selectItem = 6;
    mouse->SetLightInfo(LightInfoToWords(light));
    ASSERT_TRUE(m_sim.InjectEvent(unit, 0x0403));
    ASSERT_TRUE(m_sim.InjectEvent(unit, 0x1042));
    ASSERT_TRUE(Until([&] { return mouse->ActiveProfile() == 2; }, 10));
    EXPECT_EQ(flashing(), unit == SimUnit::Mouse) << "through the receiver a click is not followed";
}

INSTANTIATE_TEST_SUITE_P(Channels, MouseEventChannelTest,
                         ::testing::Values(SimUnit::Mouse, SimUnit::MouseReceiver), [](const auto& info) {
                             return std::string(info.param == SimUnit::Mouse ? "cable" : "receiver");
                         });

TEST_F(MouseDeviceTest, ADragWritesAtMostTwiceAndSavesOnce) {
    CTolvanicMouseDevice* mouse = Attach();
    ASSERT_NE(mouse, nullptr);
    const std::filesystem::path profile = mouse->GetDeviceProfilePath();
    const auto savedBefore = std::filesystem::last_write_time(profile);
    m_sim.ClearFrames();
    for (int move = 0; move < 100; ++move) {
        mouse->SetStageStep(1, 10 + move % 50, true);
    }
    EXPECT_EQ(std::filesystem::last_write_time(profile), savedBefore) << "no save while the thumb moves";
    mouse->SetStageStep(1, 40, false);
    ASSERT_TRUE(Drained(*mouse));
    EXPECT_LE(Sent(kBeginSession), 2u) << "one session per write";
    EXPECT_NE(std::filesystem::last_write_time(profile), savedBefore);
    EXPECT_EQ(SlotOnMouse(0)[14 + 9 + 2], 40) << "the release's value reaches the mouse";

    // Bad values never become a stage the mouse lacks or a step above its highest.
    EXPECT_NE(mouse->SetStageStep(7, 10), 1);
    mouse->SetStageDpiText(0, "99999");
    EXPECT_EQ(mouse->Stages()[0].dpiX, 73);
    mouse->SetStageDpiText(0, "abc");
    EXPECT_EQ(mouse->Stages()[0].dpiX, 0);
}

TEST_F(MouseDeviceTest, AStageColourChosenInThePaletteReachesTheMouseAndTheProfile) {
    CTolvanicMouseDevice* mouse = Attach();
    ASSERT_NE(mouse, nullptr);
    mouse->SelectFunctionPage(5); // the cursor tab with the stages
    ui::Control* swatch = mouse->Presenter().Page()->FindChild("DPI_color_option_2");
    ASSERT_NE(swatch, nullptr);
    const std::vector<uint8_t> before = SlotOnMouse(0);
    const uint32_t shown = swatch->BackgroundColour();

    // Cancelled: the palette opened with the swatch's colour, and nothing is sent.
    m_sim.ClearFrames();
    std::string opened;
    m_toolkit->SetModalDriver([&](ui::MemoryWindow& dialog) {
        opened = dialog.ClassName() + " " + dialog.FindControl("color_edit_r")->Text();
        EXPECT_EQ(m_main->ColourDialog() != nullptr, true) << "the main window holds the open dialog";
        EXPECT_FALSE(dialog.FindControl("7color")->IsVisible());
        EXPECT_TRUE(m_user.Click(dialog, "closebtn"));
    });
    ASSERT_TRUE(m_user.Click(*swatch));
    EXPECT_EQ(opened, "ColorSelectWnd " + std::to_string((shown >> 16) & 0xFF));
    EXPECT_EQ(m_main->ColourDialog(), nullptr);
    EXPECT_EQ(Sent(kWriteParams), 0u);
    EXPECT_EQ(swatch->BackgroundColour(), shown);

    // Chosen: red, green, blue of stage 2 in the record and the profile.
    m_toolkit->SetModalDriver([&](ui::MemoryWindow& dialog) {
        EXPECT_TRUE(m_user.Type(*dialog.FindControl("color_edit_r"), "18"));
        EXPECT_TRUE(m_user.Type(*dialog.FindControl("color_edit_g"), "52"));
        EXPECT_TRUE(m_user.Type(*dialog.FindControl("color_edit_b"), "86"));
        EXPECT_TRUE(m_user.Click(dialog, "okbtn"));
    });
    ASSERT_TRUE(m_user.Click(*swatch));
    ASSERT_TRUE(Drained(*mouse));
    const std::vector<uint8_t> after = SlotOnMouse(0);
    EXPECT_EQ(std::vector<uint8_t>(after.begin() + 20 + 9 * 2, after.begin() + 23 + 9 * 2),
              (std::vector<uint8_t>{18, 52, 86}));
    EXPECT_EQ(std::vector<uint8_t>(after.begin() + 20 + 9 * 1, after.begin() + 23 + 9 * 1),
              std::vector<uint8_t>(before.begin() + 20 + 9 * 1, before.begin() + 23 + 9 * 1))
        << "the other stages keep theirs";
    EXPECT_EQ(swatch->BackgroundColour(), 0xFF123456u);
    const Json::Value stage = CJsonFileHelper().ReadJsonFile(
        mouse->GetDeviceProfilePath())["Device"][0]["DPIStages"]["StageDPIs"][2];
    EXPECT_EQ(stage["StageColorR"].asInt(), 18);
    EXPECT_EQ(stage["StageColorG"].asInt(), 52);
    EXPECT_EQ(stage["StageColorB"].asInt(), 86);
}

TEST_F(MouseDeviceTest, OnePaletteAtATimeClosedWithTheWindowAndAnExitWaitsForIt) {
    CTolvanicMouseDevice* mouse = Attach();
    ASSERT_NE(mouse, nullptr);
    mouse->SelectFunctionPage(5);
    ui::Control* swatch = mouse->Presenter().Page()->FindChild("DPI_color_option_1");
    ASSERT_NE(swatch, nullptr);
    m_sim.ClearFrames();
    m_toolkit->SetModalDriver([&](ui::MemoryWindow&) {
        EXPECT_EQ(m_main->Prompts().AskColour(0x112233), std::nullopt) << "a second one does not open";
        m_main->HideToTray();
    });
    ASSERT_TRUE(m_user.Click(*swatch));
    EXPECT_EQ(m_main->ColourDialog(), nullptr);
    EXPECT_EQ(Sent(kWriteParams), 0u);

    m_main->Tray().Toggle();
    m_toolkit->SetModalDriver([&](ui::MemoryWindow&) {
        m_main->Exit();
        EXPECT_FALSE(m_main->IsShutDown()) << "the mouse's question is still on the stack";
    });
    ASSERT_TRUE(m_user.Click(*swatch));
    EXPECT_TRUE(m_main->IsShutDown());
    EXPECT_EQ(Sent(kWriteParams), 0u);
}

TEST_F(MouseDeviceTest, ThroughTheReceiverAWriteMissedWhileOffIsSentWhenTheLinkReturns) {
    CTolvanicMouseDevice* mouse = Attach(SimUnit::MouseReceiver);
    ASSERT_NE(mouse, nullptr);
    ASSERT_TRUE(mouse->Driver().OnReceiver());
    m_sim.SetWireless(SimModel::Mouse, false);
    EXPECT_EQ(Written(*mouse, [&] { return mouse->SelectPollingRate(4); }), 0);
    EXPECT_TRUE(mouse->WritePending());
    EXPECT_NE(SlotOnMouse(0)[11], 4);
    EXPECT_FALSE(mouse->ReadSettings()) << "a silent mouse changes nothing";
    m_sim.SetWireless(SimModel::Mouse, true);
    EXPECT_TRUE(mouse->IsLinkUp());
    ASSERT_TRUE(Drained(*mouse));
    EXPECT_FALSE(mouse->WritePending());
    EXPECT_EQ(SlotOnMouse(0)[11], 4);
}

} // namespace
} // namespace velkor::test
