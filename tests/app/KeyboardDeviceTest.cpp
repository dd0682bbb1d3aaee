// The keyboard in the main window, on the simulated family and the real skin:
// its layout, settings record, options, custom colours, live frames, events
// and power, and what happens when the keyboard fails.
#include "MainWndFixture.h"
#include "devices/DeviceListItem.h"
#include "devices/LightTables.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "lighting/GameEventLighting.h"
#include "platform/JsonFileHelper.h"
#include "platform/bus/BusMessage.h"
#include "sim/SimBackend.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryControl.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <thread>

namespace velkor::test {
namespace {

using sim::SimFaultKind;
using sim::SimMemory;
using sim::SimModel;
using sim::SimUnit;
using ui::test::LightOf;
using ui::test::PagesOf;

constexpr int kWirelessRow = 1; // 0x50B7
constexpr int kWiredRow = 4;    // 0x511D
constexpr uint8_t kWriteParams = 0x06;
constexpr uint8_t kWriteColourTable = 0x0B;
constexpr uint8_t kLiveColours = 0x12;
constexpr uint8_t kReadParams = 0x05;
constexpr uint8_t kReadPower = 0x1A;

class KeyboardDeviceTest : public MainWndFixture {
protected:
    KeyboardDeviceTest() { m_folder.AddDefaultData(); }

    // Starts the window with `unit` plugged and waits until that keyboard has read itself.
    CTolvanicKeyboardDevice* Attach(SimUnit unit = SimUnit::Keyboard, int language = 1) {
        m_sim.Plug(unit);
        if (!Start(true, language)) {
            return nullptr;
        }
        const int row = unit == SimUnit::Keyboard511D ? kWiredRow : kWirelessRow;
        CTolvanicKeyboardDevice* keyboard = nullptr;
        const bool ready = Until(
            [&] {
                keyboard =
                    m_main->Discovery() == nullptr
                        ? nullptr
                        : dynamic_cast<CTolvanicKeyboardDevice*>(m_main->Discovery()->DeviceOfModel(row));
                return keyboard != nullptr && keyboard->KeyPositions() > 0 &&
                       keyboard->Driver().LightThreadRunning();
            },
            10);
        return ready ? keyboard : nullptr;
    }
    // Vendor frames sent to the keyboard with this command, since the last ClearFrames.
    std::vector<std::vector<uint8_t>> Sent(uint8_t command, SimUnit unit = SimUnit::Keyboard) const {
        std::vector<std::vector<uint8_t>> frames;
        for (const sim::SimFrame& frame : m_sim.Frames()) {
            if (frame.direction == sim::SimDirection::ToDevice && frame.unit == unit &&
                frame.bytes.size() > 8 && frame.bytes[0] == 0x04 && frame.bytes[3] == command) {
                frames.push_back(frame.bytes);
            }
        }
        return frames;
    }
    // The 28-byte record the last WriteParams carried (record 0 fits one frame on the cable).
    std::vector<uint8_t> LastWrittenRecord() const {
        const auto writes = Sent(kWriteParams);
        return writes.empty() ? std::vector<uint8_t>{}
                              : std::vector<uint8_t>(writes.back().begin() + 8, writes.back().begin() + 36);
    }
    Json::Value ProfileOf(CTolvanicKeyboardDevice& keyboard) const {
        CJsonFileHelper json;
        return json.ReadJsonFile(keyboard.GetDeviceProfilePath())["Device"][0];
    }
    ui::Control& On(CTolvanicKeyboardDevice& keyboard, std::string_view name) const {
        ui::Control* control = keyboard.Presenter().Page()->FindChild(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    }
    // The light record through the profile, as the lighting panel commits it.
    void Commit(CTolvanicKeyboardDevice& keyboard, uint8_t effect, uint8_t group = 0) {
        LightInfoRecord light = keyboard.State().LightRecord();
        light.selectItem = effect;
        light.customGroup = group;
        keyboard.SetLightInfo(LightInfoToWords(light));
        keyboard.SaveDeviceProfile();
        keyboard.ApplyLightState();
    }
};

TEST_F(KeyboardDeviceTest, AttachReadsTheLayoutAndShowsEveryKeyWithItsCaption) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->KeyPositions(), 126);
    EXPECT_EQ(keyboard->LayoutPage(), 0);
    const KeyboardKeyMaps& maps = keyboard->KeyMaps();
    EXPECT_EQ(maps.lightSlot[95], 97) << "the board wires right Shift to LED 97";
    EXPECT_EQ(maps.lightSlot[97], 95);
    int shown = 0;
    for (int key = 0; key < int(kScreenKeyCount); ++key) {
        ui::Control* button = keyboard->Presenter().KeyControls()[size_t(key)];
        if (button == nullptr) {
            continue;
        }
        ++shown;
        EXPECT_TRUE(button->IsVisible()) << key;
        EXPECT_TRUE(button->IsResourceText() && !button->Text().empty())
            << "key " << key << " has no caption";
        if (maps.position[size_t(key)] == kNoPosition) {
            ADD_FAILURE() << "key " << key << " is on page 0 but not found on the keyboard";
        }
    }
    EXPECT_EQ(shown, 114);
    for (int absent : {79, 80, 81, 82, 83, 100, 101, 103}) {
        EXPECT_EQ(maps.position[size_t(absent)], kNoPosition) << absent;
        EXPECT_EQ(maps.lightSlot[size_t(absent)], kNoLightSlot) << absent;
    }
}

TEST_F(KeyboardDeviceTest, TheWiredBoardFollowsTheLanguageAndTheTwoKeyboardsAreNamedApart) {
    CTolvanicKeyboardDevice* keyboard = Attach(SimUnit::Keyboard511D, 7);
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->LayoutPage(), 3);
    const ui::Control* layouts = keyboard->Presenter().Page()->FindChild("keyboard_device_key_layout");
    ASSERT_NE(layouts, nullptr);
    EXPECT_EQ(PagesOf(layouts).CurrentPage(), 3);
    EXPECT_NE(keyboard->Presenter().KeyControls()[79], nullptr)
        << "the regional page has the international keys";
    EXPECT_NE(keyboard->KeyMaps().position[79], kNoPosition);
    keyboard->SetLayoutVariant(9);
    ASSERT_TRUE(keyboard->ReadLayout());
    EXPECT_EQ(keyboard->LayoutPage(), 3) << "an index beyond the table keeps the page";

    const ui::Control* wireless = m_main->Discovery()->ListItemOfModel(kWirelessRow);
    const ui::Control* wired = m_main->Discovery()->ListItemOfModel(kWiredRow);
    ASSERT_TRUE(wireless != nullptr && wired != nullptr);
    EXPECT_NE(wireless->FindChild("device_name_label")->DisplayText(),
              wired->FindChild("device_name_label")->DisplayText());
    EXPECT_EQ(keyboard->Paths().TypeName(), "keyboard");
}

TEST_F(KeyboardDeviceTest, TheKeyboardsRecordWinsAtAttachAndIsWrittenBackWhole) {
    // The keyboard runs profile 2 (effect code 3, brightness 4, speed byte 2).
    const uint8_t active = 2;
    m_sim.WriteMemory(SimModel::Keyboard, SimMemory::Params, 0, std::span(&active, 1));
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->SettingsImage().activeProfile, 2);
    EXPECT_EQ(keyboard->State().LightRecord().selectItem, 3);
    EXPECT_EQ(keyboard->State().LightRecord().speed, 2);
    EXPECT_EQ(ProfileOf(*keyboard)["LightInfo"]["SelectItem"].asInt(), 3)
        << "the profile follows the keyboard";
    const auto reads = Sent(kReadParams);
    ASSERT_GE(reads.size(), 2u);
    EXPECT_EQ(reads[0][4], 1);                     // byte 0 first
    EXPECT_EQ(reads[1][5] | reads[1][6] << 8, 56); // then record 2 at 2 x 28

    // An option: one session with the whole record, lighting fields included,
    // and the bytes the keyboard keeps for itself carried back.
    m_sim.ClearFrames();
    keyboard->SelectFunctionPage(4); // the system tab
    ui::Control& winLock = On(*keyboard, "winlockflag_option");
    ASSERT_TRUE(m_user.Click(winLock));
    ASSERT_TRUE(Drained(*keyboard));
    EXPECT_EQ(Sent(0x01).size(), 1u);
    EXPECT_EQ(Sent(0x02).size(), 1u);
    const std::vector<uint8_t> record = LastWrittenRecord();
    ASSERT_EQ(record.size(), 28u);
    EXPECT_EQ(record[0], 0);
    EXPECT_EQ(record[1], 3);
    EXPECT_EQ(record[2], 4);
    EXPECT_EQ(record[21], 1) << "Win-lock";
    EXPECT_EQ(std::vector<uint8_t>(record.begin() + 9, record.begin() + 16),
              (std::vector<uint8_t>{0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}));
    EXPECT_EQ(record[23], 0x5A);
    EXPECT_EQ(record[24], 0xA5);
    EXPECT_EQ(ProfileOf(*keyboard)["SystemStages"]["WinFlag"].asInt(), 1);

    // Effect 30 goes out as 0xFE because its code is 30; repeat settings send
    // nothing. (Another program drives the LEDs meanwhile, so no live frame
    // comes between the frames looked at here.)
    keyboard->SetLightControl(false);
    Commit(*keyboard, 30);
    ASSERT_EQ(Written(*keyboard, [&] { return keyboard->SendSettings(0, 0, 1, {}); }), 1);
    EXPECT_EQ(LastWrittenRecord()[1], 0xFE);
    m_sim.ClearFrames();
    ASSERT_TRUE(m_user.Click(On(*keyboard, "repeat_delay_check_2")));
    EXPECT_EQ(ProfileOf(*keyboard)["SystemStages"]["RepeatDelay"].asInt(), 2);
    EXPECT_NE(On(*keyboard, "repeat_delay_time_label1").Text().find("750ms"), std::string::npos);
    ASSERT_TRUE(m_user.StepSlider(On(*keyboard, "repeat_rate_slider"), 20));
    EXPECT_EQ(ProfileOf(*keyboard)["SystemStages"]["Repeat"].asInt(), 20);
    EXPECT_TRUE(m_sim.Frames().empty()) << "repeat rate and delay stay on the host";

    // A record the keyboard never got is reported as such.
    m_sim.InjectFault(SimUnit::Keyboard, {SimFaultKind::FailedWrite, 2, 1});
    EXPECT_EQ(Written(*keyboard, [&] { return keyboard->SendSettings(0, 0, 1, {}); }), -1);

    // A host-driven effect the keyboard reports as 0xFE stays selected.
    const uint8_t hostDriven = 0xFE;
    m_sim.WriteMemory(SimModel::Keyboard, SimMemory::Params, 56 + 1, std::span(&hostDriven, 1));
    ASSERT_TRUE(keyboard->ReadSettings());
    EXPECT_EQ(keyboard->State().LightRecord().selectItem, 30);
}

TEST_F(KeyboardDeviceTest, CustomColoursComeFromTheKeyboardAndPaintOnlyInEffect19) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    // The keyboard's profile 0 switched to effect 19 with colour group 2 (factory green).
    const uint8_t effect19[] = {19};
    const uint8_t group2[] = {2};
    m_sim.WriteMemory(SimModel::Keyboard, SimMemory::Params, 1, effect19);
    m_sim.WriteMemory(SimModel::Keyboard, SimMemory::Params, 26, group2);
    ASSERT_TRUE(keyboard->ReadSettings());
    EXPECT_EQ(keyboard->State().LightRecord().selectItem, 19);
    EXPECT_EQ(LedGreen(keyboard->State().GetLedColour(64)), 255);
    EXPECT_EQ(LedRed(keyboard->State().GetLedColour(64)), 0);
    EXPECT_EQ(ProfileOf(*keyboard)["CustomLightMode"]["LightColorInfo"][2][64]["Green"].asInt(), 255);

    // A click on a key of the picture paints it in the current colour.
    keyboard->SelectFunctionPage(1);
    LightInfoRecord light = keyboard->State().LightRecord();
    light.red = 10, light.green = 20, light.blue = 30;
    keyboard->SetLightInfo(LightInfoToWords(light));
    m_sim.ClearFrames();
    ASSERT_TRUE(m_user.Click(*keyboard->Presenter().KeyControls()[64]));
    EXPECT_EQ(keyboard->State().GetLedColour(64) & 0xFFFFFF, 0x1E140Au);
    ASSERT_TRUE(Drained(*keyboard));
    ASSERT_FALSE(Sent(kWriteColourTable).empty());
    const auto table = m_sim.Memory(SimModel::Keyboard, SimMemory::Colours);
    EXPECT_EQ(table[2 * 512 + 64 * 3], 10);

    // Outside effect 19, or outside the buffer, nothing changes.
    Commit(*keyboard, 4);
    ASSERT_TRUE(Drained(*keyboard));
    const uint32_t before = keyboard->State().GetLedColour(65);
    m_sim.ClearFrames();
    keyboard->PaintCustomKey(65);
    keyboard->PaintCustomKey(170);
    keyboard->PaintCustomKey(-1);
    EXPECT_EQ(keyboard->State().GetLedColour(65), before);
    EXPECT_TRUE(Sent(kWriteColourTable).empty());

    // A group beyond the profile's bound never reaches the colour tables.
    Commit(*keyboard, 19, 130);
    ASSERT_TRUE(Drained(*keyboard));
    m_sim.ClearFrames();
    EXPECT_NE(keyboard->UploadCustomGroup(), 1);
    EXPECT_NE(keyboard->UploadProfileGroup(), 1);
    EXPECT_TRUE(Sent(kWriteColourTable).empty());
    EXPECT_EQ(keyboard->State().LightRecord().customGroup, 130) << "the value itself is kept";
}

// A game's modes show on the keyboard and go again; its profile file is never
// written meanwhile, so a program that dies in between leaves the user's lighting.
TEST_F(KeyboardDeviceTest, GameEventsShowOnTheKeyboardAndNeverReachItsProfileFile) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->SelectedDevice() == keyboard; }));
    ASSERT_TRUE(Drained(*keyboard));
    const auto fileBytes = [&] {
        std::ifstream in(keyboard->GetDeviceProfilePath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string file = fileBytes();
    const LightInfoRecord stored = keyboard->State().LightRecord();
    const std::vector<uint8_t> memory = m_sim.Memory(SimModel::Keyboard, SimMemory::Params);
    const uint8_t game = stored.selectItem == 4 ? 5 : 4;
    m_sim.ClearFrames();
    // A kill with no start before it, then a start.
    for (BusMessageKind kind : {BusMessageKind::GameKill, BusMessageKind::GameStart}) {
        m_main->HandleBusMessage(MakeBusMessage(kind, kind == BusMessageKind::GameStart ? 0 : 1, game));
        ASSERT_TRUE(Drained(*keyboard));
        EXPECT_EQ(keyboard->State().LightRecord().selectItem, game);
        EXPECT_EQ(fileBytes(), file) << "the game's mode reached the profile file";
    }
    ASSERT_FALSE(Sent(kWriteParams).empty()) << "the keyboard shows it";
    m_sim.ClearFrames();
    m_toolkit->AdvanceTime(GameEventLighting::kRestoreDelayMs);
    ASSERT_TRUE(Drained(*keyboard));
    EXPECT_EQ(keyboard->State().LightRecord(), stored);
    EXPECT_EQ(Sent(kWriteParams).size(), 1u) << "the stored lighting is sent back once";
    EXPECT_EQ(m_sim.Memory(SimModel::Keyboard, SimMemory::Params), memory)
        << "the keyboard holds what it held";
    EXPECT_EQ(fileBytes(), file);
}

TEST_F(KeyboardDeviceTest, TheTickOnlyPaintsAndRepaintsOnlyChangedKeys) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    keyboard->Driver().StopLightThread(); // the buffer is the test's
    keyboard->SelectFunctionPage(1);
    keyboard->State().SetLedColour(22, PackLed(255, 0, 0, 255));
    m_sim.ClearFrames();
    m_toolkit->AdvanceTime(DevicePresenter::kPicturePaintPeriodMs); // a paint is due, whoever ticks
    keyboard->OutputLightFrame();
    ui::LightControl& key22 = LightOf(*keyboard->Presenter().KeyControls()[22]);
    ui::Control& key23 = *keyboard->Presenter().KeyControls()[23];
    EXPECT_EQ(key22.LightColour(), 0xFF0000u);
    const int repaints = static_cast<ui::MemoryControl&>(key23).RepaintCount();
    keyboard->OutputLightFrame();
    EXPECT_EQ(static_cast<ui::MemoryControl&>(key23).RepaintCount(), repaints)
        << "an unchanged key is not repainted";
    EXPECT_TRUE(Sent(kLiveColours).empty()) << "the tick never sends; the stream thread does";

    // Another program drives the LEDs: nothing is painted.
    keyboard->SetLightControl(false);
    keyboard->State().SetLedColour(22, PackLed(0, 0, 255, 255));
    keyboard->OutputLightFrame();
    EXPECT_EQ(key22.LightColour(), 0xFF0000u);
}

TEST_F(KeyboardDeviceTest, ApplyingAnEffectRunsItsStartStepAndTheLightThreadRendersIt) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    keyboard->Driver().StopLightThread(); // the start steps alone first
    Commit(*keyboard, 15);
    // Key 105 stands in row 6 of the first diagonal column: the first pulse value of the next column.
    EXPECT_EQ(keyboard->State().Leds().Copy().keyLevels[105], 72);
    Commit(*keyboard, 24);
    for (uint8_t position : keyboard->State().Leds().Copy().colourPositions) {
        ASSERT_EQ(position, 0) << "the drops start from the wheel's beginning";
    }
    ASSERT_TRUE(keyboard->StartLightThread());
    Commit(*keyboard, 1);
    ASSERT_TRUE(Until([&] { return keyboard->State().Leds().Copy().position != 0; }, int(kLightPassMs)))
        << "the light thread renders the keyboard's own column wave";
}

TEST_F(KeyboardDeviceTest, EventsFromTheKeyboardAndItsPower) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    // 0x0401: the record is read again through timer 1002.
    m_sim.ClearFrames();
    ASSERT_TRUE(m_sim.InjectEvent(SimUnit::Keyboard, 0x0401));
    ASSERT_TRUE(Until([&] { return Sent(kReadParams).size() >= 2; }));

    // 0x0402: the profile is reloaded once, by the reload that used the indication.
    ASSERT_TRUE(m_sim.InjectEvent(SimUnit::Keyboard, 0x0402));
    ASSERT_TRUE(Until([&] { return keyboard->ProfileSwitchPending(); }, 0));
    ASSERT_TRUE(Until([&] { return !keyboard->ProfileSwitchPending(); }));

    // 0x1123: profile 3, and byte 17 = 2 in the next write; 0x1207 and 0x0404 change nothing.
    for (uint16_t code : {0x1123, 0x1207, 0x0404}) {
        ASSERT_TRUE(m_sim.InjectEvent(SimUnit::Keyboard, code));
    }
    ASSERT_TRUE(Until([&] { return keyboard->SettingsImage().activeProfile == 3; }));
    for (int step = 0; step < 20; ++step) { // let the ignored ones arrive too
        m_toolkit->ProcessPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(keyboard->SettingsImage().activeProfile, 3);
    EXPECT_EQ(keyboard->LastRecord().eventDetail, 2);
    ASSERT_EQ(Written(*keyboard, [&] { return keyboard->SendSettings(0, 0, 1, {}); }), 1);
    EXPECT_EQ(LastWrittenRecord()[17], 2);

    // Power: read, shown, and announced with byte 4; skipped while in the tray.
    m_sim.ClearFrames();
    ASSERT_EQ(keyboard->ReadPower(), 1);
    EXPECT_EQ(Sent(kReadPower).size(), 1u);
    keyboard->State().SetBatteryFlag(true);
    keyboard->State().SetTrayFlag(true);
    m_sim.ClearFrames();
    EXPECT_NE(keyboard->ReadPower(), 1);
    EXPECT_TRUE(Sent(kReadPower).empty());
}

TEST_F(KeyboardDeviceTest, AFailedLayoutReadKeepsTheKeysAndARemappedKeyKeepsItsPlace) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    const KeyboardKeyMaps before = keyboard->KeyMaps();

    // The keyboard refuses the key-table read: the maps stay as they were.
    m_sim.InjectFault(SimUnit::Keyboard, {SimFaultKind::StatusFE, 4, 1});
    EXPECT_FALSE(keyboard->ReadLayout());
    EXPECT_EQ(keyboard->KeyMaps(), before);
    // Unplugged in the middle of the read: the same, and nothing breaks.
    m_sim.InjectFault(SimUnit::Keyboard, {SimFaultKind::Unplug, 3, 1});
    EXPECT_FALSE(keyboard->ReadLayout());
    EXPECT_EQ(keyboard->KeyMaps(), before);
    ASSERT_TRUE(Until([&] { return !keyboard->Driver().TransportOpen(); }));
    m_sim.Plug(SimUnit::Keyboard);
    ASSERT_TRUE(
        Until([&] { return keyboard->Driver().TransportOpen() && keyboard->State().SettingsRead(); }));
    ASSERT_TRUE(Drained(*keyboard)); // the read at attach has ended
    // A keyboard that claims 171 key positions (513 bytes): no table is asked
    // for, the session is ended, the maps stay.
    const uint8_t positions = m_sim.Memory(SimModel::Keyboard, SimMemory::DeviceInfo)[5];
    const uint8_t tooMany = 171;
    m_sim.WriteMemory(SimModel::Keyboard, SimMemory::DeviceInfo, 5, std::span(&tooMany, 1));
    m_sim.ClearFrames();
    EXPECT_FALSE(keyboard->ReadLayout());
    std::vector<uint8_t> commands;
    for (const sim::SimFrame& frame : m_sim.Frames()) {
        if (frame.direction == sim::SimDirection::ToDevice && frame.bytes.size() > 8 &&
            frame.bytes[0] == 0x04) {
            commands.push_back(frame.bytes[3]);
        }
    }
    EXPECT_EQ(commands, (std::vector<uint8_t>{0x01, 0x03, 0x02})) << "session, information block, end";
    EXPECT_FALSE(m_sim.InSession(SimModel::Keyboard));
    EXPECT_EQ(keyboard->KeyMaps(), before);
    m_sim.WriteMemory(SimModel::Keyboard, SimMemory::DeviceInfo, 5, std::span(&positions, 1));
    // Key writes wait for a whole layout read since the refused one.
    EXPECT_EQ(keyboard->WriteProfileKeys(0), 0);
    ASSERT_TRUE(keyboard->ReadLayout());

    // Caps Lock becomes Volume Up; after a replug it is still found.
    std::vector<KeyListEntry> keys = keyboard->Profile().ReadKeyList();
    ASSERT_GT(keys.size(), 63u);
    keys[63].current = KeyFunction::FromTriple(0x30, 0xE9, 0x00);
    keyboard->Profile().WriteKeyList(keys);
    keyboard->SaveDeviceProfile();
    ASSERT_EQ(keyboard->WriteProfileKeys(0), 1);
    m_sim.Unplug(SimUnit::Keyboard);
    ASSERT_TRUE(Until([&] { return !keyboard->Driver().TransportOpen(); }));
    m_sim.Plug(SimUnit::Keyboard);
    ASSERT_TRUE(
        Until([&] { return keyboard->Driver().TransportOpen() && keyboard->State().SettingsRead(); }));
    ASSERT_TRUE(Drained(*keyboard)); // the read at attach has ended
    ASSERT_TRUE(keyboard->ReadLayout());
    EXPECT_EQ(keyboard->KeyMaps(), before);

    // And after a restart of the program.
    m_main.reset();
    m_toolkit = ui::MemoryToolkit::Create(SourceSkin().string(), m_clock);
    m_sim.UnplugAll();
    keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->KeyMaps(), before);
}

} // namespace
} // namespace velkor::test
