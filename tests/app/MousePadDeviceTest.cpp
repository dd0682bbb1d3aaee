// The mouse pad in the main window, on the simulated family and the real
// skin: attach, its settings record (never written blind), what the pad
// reports itself, and the lighting that reaches it from the main window.
#include "MainWndFixture.h"
#include "devices/TolvanicMousePadDevice.h"
#include "lighting/SameMode.h"
#include "support/AttachRead.h"
#include "ui/FamilyAccess.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace velkor::test {
namespace {

using sim::SimFaultKind;
using sim::SimMemory;
using sim::SimModel;
using sim::SimUnit;
using ui::test::RangeOf;

constexpr int kPadRow = 2;
constexpr uint8_t kReadDeviceInfo = 0x03;
constexpr uint8_t kReadParams = 0x05;
constexpr uint8_t kWriteParams = 0x06;
constexpr std::string_view kTraceEventReport = "接收到自动添加设备的同步信息要求  TEST";

// The main window as the pad sees it: every message it sends.
struct MessageLog final : DeviceMessageSink {
    void DeviceMessage(uint32_t message, int64_t wParam, int64_t lParam) override {
        messages.push_back({message, wParam, lParam});
    }
    std::vector<std::array<int64_t, 3>> messages;
};

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class MousePadDeviceTest : public MainWndFixture {
protected:
    MousePadDeviceTest() { m_folder.AddDefaultData(); }

    CTolvanicMousePadDevice* Attach() {
        m_sim.Plug(SimUnit::MousePad);
        if (!Start()) {
            return nullptr;
        }
        CTolvanicMousePadDevice* pad = nullptr;
        const bool ready = Until(
            [&] {
                pad =
                    m_main->Discovery() == nullptr
                        ? nullptr
                        : dynamic_cast<CTolvanicMousePadDevice*>(m_main->Discovery()->DeviceOfModel(kPadRow));
                return pad != nullptr && pad->Driver().LightThreadRunning();
            },
            10);
        return ready ? pad : nullptr;
    }
    // Vendor frames sent to the pad with this command since the last ClearFrames.
    std::vector<std::vector<uint8_t>> Sent(uint8_t command) const {
        std::vector<std::vector<uint8_t>> frames;
        for (const sim::SimFrame& frame : m_sim.Frames()) {
            if (frame.direction == sim::SimDirection::ToDevice && frame.unit == SimUnit::MousePad &&
                frame.bytes.size() > 8 && frame.bytes[0] == 0x04 &&
                (command == 0 || frame.bytes[3] == command)) {
                frames.push_back(frame.bytes);
            }
        }
        return frames;
    }
    // The record the last WriteParams carried (byte 4 of the frame: its length).
    std::vector<uint8_t> LastWritten() const {
        const auto writes = Sent(kWriteParams);
        return writes.empty() ? std::vector<uint8_t>{}
                              : std::vector<uint8_t>(writes.back().begin() + 8,
                                                     writes.back().begin() + 8 + writes.back()[4]);
    }
    void PokePad(uint16_t offset, std::vector<uint8_t> bytes) {
        ASSERT_TRUE(m_sim.WriteMemory(SimModel::MousePad, SimMemory::Params, offset, bytes));
    }
    ui::Control& On(CTolvanicMousePadDevice& pad, std::string_view name) const {
        ui::Control* control = pad.Presenter().Page()->FindChild(name);
        EXPECT_NE(control, nullptr) << name;
        return control != nullptr ? *control : *pad.Presenter().Page();
    }
};

TEST_F(MousePadDeviceTest, AttachShowsTheProfileAndTheFirstWriteCarriesWhatThePadHolds) {
    PokePad(4, {1}); // the pad's direction
    m_sim.ClearFrames();
    CTolvanicMousePadDevice* pad = Attach();
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->State().KindTag(), DeviceClass::MousePad);
    EXPECT_EQ(Sent(kReadDeviceInfo).size(), 2u) << "the 34-byte block in 24-byte chunks";
    EXPECT_EQ(pad->InfoBlock()[4], 3) << "the block as the pad gave it";
    const auto& lights = pad->Presenter().LightControls();
    EXPECT_EQ(std::count(lights.begin(), lights.end(), nullptr), 0) << "all 15 LEDs of the skin's picture";
    EXPECT_TRUE(Sent(kReadParams).empty()) << "the record is read after events and before a write only";
    EXPECT_TRUE(Sent(kWriteParams).empty());
    EXPECT_EQ(RangeOf(On(*pad, "deng_light_slider")).Value(), 4) << "the default profile's brightness, not 0";
    EXPECT_EQ(RangeOf(On(*pad, "deng_speed_slider")).Value(), 2);

    // A change in the lighting panel: the pad's record is read first, and
    // its own bytes go back as it holds them.
    m_sim.ClearFrames();
    ASSERT_TRUE(m_user.StepSlider(On(*pad, "deng_light_slider"), 2));
    ASSERT_TRUE(Drained(*pad));
    // Byte 0, then the 28 bytes of profile 0 in 24-byte chunks, then one session.
    const auto frames = Sent(0);
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ((std::vector<int>{frames[0][3], frames[1][3], frames[2][3], frames[4][3]}),
              (std::vector<int>{kReadParams, kReadParams, kReadParams, kWriteParams}));
    EXPECT_EQ(frames[1][4] + frames[2][4], 28) << "the whole record";
    const std::vector<uint8_t> first = LastWritten();
    const std::vector<uint8_t> expected = {0,    0,    2,    2,    1,    1,    255,  0,    0,    0x11, 0x12,
                                           0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C};
    EXPECT_EQ(first, expected);
    const auto memory = m_sim.Memory(SimModel::MousePad, SimMemory::Params);
    EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.begin() + 21), expected);

    // From then on a write is one write, with the same effect byte; only 21 bytes at 0.
    m_sim.ClearFrames();
    EXPECT_EQ(Written(*pad, [&] { return pad->SendSettings(0, 0, 1, {}); }), 1);
    EXPECT_EQ(Sent(kReadParams).size(), 0u);
    EXPECT_EQ(LastWritten(), first);
    EXPECT_EQ(Written(*pad, [&] { return pad->SendSettings(1, 0, 1, {}); }), 0) << "no slot but 0 is written";
    EXPECT_EQ(Sent(kWriteParams).size(), 1u);

    // A new attach reads again first; when that read fails nothing is written.
    ASSERT_TRUE(ReadAtAttach(*pad, m_toolkit->GetDispatcher()));
    m_sim.ClearFrames();
    m_sim.InjectFault(SimUnit::MousePad, {SimFaultKind::StatusFF, 1, 1});
    EXPECT_EQ(Written(*pad, [&] { return pad->SendSettings(0, 0, 1, {}); }), 0);
    EXPECT_TRUE(Sent(kWriteParams).empty());
    EXPECT_EQ(Written(*pad, [&] { return pad->SendSettings(0, 0, 1, {}); }), 1);
    EXPECT_EQ(Sent(kReadParams).size(), 4u) << "the refused byte-0 read, then the record again";
    for (const auto& write : Sent(kWriteParams)) {
        EXPECT_EQ(write[4], 21);
        EXPECT_EQ(write[5] | write[6] << 8, 0);
    }
}

TEST_F(MousePadDeviceTest, WhatThePadReportsIsReadAloneAndGoesBackWithTheNextWrite) {
    CTolvanicMousePadDevice* pad = Attach();
    ASSERT_NE(pad, nullptr);
    MessageLog window;
    pad->Presenter().SetMainWindow(&window);
    const std::string profileBefore = FileText(pad->GetDeviceProfilePath());
    const LightInfoRecord lightBefore = pad->State().LightRecord();
    // Profile 2 chosen on the pad; its record has an effect code the list lacks and speed byte 1.
    PokePad(0, {2});
    PokePad(56 + 1, {77, 3, 1});
    m_sim.ClearFrames();
    ASSERT_TRUE(m_sim.InjectEvent(SimUnit::MousePad, 0x0401));
    ASSERT_TRUE(Until(
        [&] {
            const auto timers = m_toolkit->RunningTimers(pad->Presenter().ListItem()->Item());
            return std::find(timers.begin(), timers.end(), int(kTimerResync)) != timers.end();
        },
        0));
    m_toolkit->AdvanceTime(499);
    EXPECT_TRUE(Sent(kReadParams).empty()) << "the re-read waits 500 ms";
    m_toolkit->AdvanceTime(1);
    ASSERT_TRUE(Drained(*pad)) << "the re-read runs on the worker, then shows";
    const auto reads = Sent(kReadParams);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(reads[1][5] | reads[1][6] << 8, 56) << "profile 2 at 2 x 28";
    EXPECT_EQ(window.messages, (std::vector<std::array<int64_t, 3>>{{kMessageActiveProfile, 2, 0}}));
    EXPECT_EQ(pad->SettingsImage().mode, 77) << "a code the list lacks stays raw";
    EXPECT_EQ(pad->SettingsImage().speed, 3);
    EXPECT_EQ(FileText(pad->GetDeviceProfilePath()), profileBefore);
    EXPECT_EQ(pad->State().LightRecord(), lightBefore);
    EXPECT_EQ(RangeOf(On(*pad, "deng_speed_slider")).Value(), 2);
    EXPECT_EQ(RangeOf(On(*pad, "deng_light_slider")).Value(), 4);
    ASSERT_EQ(Written(*pad, [&] { return pad->SendSettings(0, 0, 1, {}); }), 1);
    const std::vector<uint8_t> record = LastWritten();
    ASSERT_EQ(record.size(), 21u);
    EXPECT_EQ((std::vector<int>{record[0], record[1], record[2], record[3]}), (std::vector<int>{2, 0, 3, 1}))
        << "profile 2 and speed byte 1 as the pad said; the profile's mode as its code";

    // Other codes change nothing; a profile byte beyond the memory is refused and tells nobody.
    m_sim.ClearFrames();
    const int reports = m_traces.Count(kTraceEventReport);
    for (uint16_t code : {0x0402, 0x1123}) {
        ASSERT_TRUE(m_sim.InjectEvent(SimUnit::MousePad, code));
    }
    ASSERT_TRUE(Until([&] { return m_traces.Count(kTraceEventReport) >= reports + 4; }, 0))
        << "each event and its release report arrived";
    m_toolkit->AdvanceTime(1000);
    EXPECT_TRUE(Sent(0).empty());
    PokePad(0, {200});
    const PadSettingsImage image = pad->SettingsImage();
    ASSERT_TRUE(m_sim.InjectEvent(SimUnit::MousePad, 0x0401));
    // Byte 0, then the first chunk of profile 200's record, which lies past the memory: refused.
    ASSERT_TRUE(Until([&] { return Sent(kReadParams).size() == 2; }, 100));
    ASSERT_TRUE(Drained(*pad));
    EXPECT_EQ(pad->SettingsImage(), image);
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(Sent(0).size(), 2u);

    // Power: read and announced with byte 4 (no link check: the pad has no receiver).
    ASSERT_EQ(pad->ReadPower(), 1);
    EXPECT_EQ(window.messages.back()[0], kMessagePowerStatus);
    pad->Driver().CommandTransport().Close();
    m_sim.ClearFrames();
    ASSERT_TRUE(ReadAtAttach(*pad, m_toolkit->GetDispatcher()));
    EXPECT_FALSE(pad->ReadSettings());
    EXPECT_EQ(pad->ReadPower(), 0);
    EXPECT_EQ(Written(*pad, [&] { return pad->SendSettings(0, 0, 1, {}); }), 0);
    EXPECT_TRUE(Sent(0).empty());
    pad->Presenter().SetMainWindow(m_main.get());
}

TEST_F(MousePadDeviceTest, AGameEventAndSameModeReachThePadAsOneWriteEach) {
    CTolvanicMousePadDevice* pad = Attach();
    ASSERT_NE(pad, nullptr);
    ASSERT_NE(m_main->Lighting(), nullptr);
    m_main->Lighting()->OnGameEvent(0, 3);
    ASSERT_TRUE(Drained(*pad));
    ASSERT_EQ(Sent(kWriteParams).size(), 1u);
    EXPECT_EQ(LastWritten()[1], 3);

    m_sim.ClearFrames();
    SameMode same(
        m_main->Lighting()->Sync(), m_main->Lighting()->Panels(),
        [this](DeviceClass kind) { return m_main->Discovery()->DevicesOfClass(kind); }, ScreenSize{});
    EXPECT_EQ(same.Press(pad), 1);
    ASSERT_TRUE(Drained(*pad));
    EXPECT_TRUE(IsSynchronised(*pad));
    ASSERT_EQ(Sent(kWriteParams).size(), 1u);
    EXPECT_EQ(Sent(0).size(), 3u) << "one session: begin, the 21 bytes, end";
    EXPECT_EQ(LastWritten().size(), 21u);
}

} // namespace
} // namespace velkor::test
