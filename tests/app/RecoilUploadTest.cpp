// The mouse's recoil upload into the simulated mouse, on its cable and
// through its receiver: what the firmware then decodes from its recoil
// memory, and what a refusal or a fault half-way reports.
#include "MainWndFixture.h"
#include "devices/TolvanicMouseDevice.h"
#include "macros/EventBlock.h"
#include "macros/RecoilFiles.h"
#include "platform/JsonFileHelper.h"
#include "sim/SimBackend.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

namespace velkor::test {
namespace {

using sim::SimFaultKind;
using sim::SimMemory;
using sim::SimModel;
using sim::SimUnit;

struct Channel {
    const char* name;
    SimUnit unit;
};

class RecoilUploadTest : public MainWndFixture, public ::testing::WithParamInterface<Channel> {
protected:
    CTolvanicMouseDevice* Attach() {
        m_sim.Plug(GetParam().unit);
        if (!Start()) {
            return nullptr;
        }
        CTolvanicMouseDevice* mouse = nullptr;
        Until(
            [&] {
                mouse = m_main->Discovery() != nullptr
                            ? dynamic_cast<CTolvanicMouseDevice*>(m_main->Discovery()->DeviceOfModel(0))
                            : nullptr;
                return mouse != nullptr && mouse->Driver().LightThreadRunning();
            },
            10);
        return mouse;
    }
    // Gun g: `bullets` bullets, each distinct per gun; another `variant`
    // gives other values in a block of the same layout.
    void WritePattern(CTolvanicMouseDevice& mouse, int gun, int bullets, int extraEvents = 0,
                      int variant = 0) {
        Json::Value document;
        for (int b = 0; b < bullets; ++b) {
            WriteRecoilBullet(document, b,
                              {gun * 40 + b + variant, b, 100 * gun + b + variant, b % 2 == 0, gun % 2 == 0});
        }
        for (int e = 0; e < extraEvents; ++e) {
            document["Events"].append(document["Events"][0u]);
        }
        ASSERT_TRUE(m_json.WriteJsonFile(document, RecoilFilePath(mouse.Paths().UserDataFolder(), gun)));
    }
    std::vector<std::vector<DeviceEvent>> Expected(CTolvanicMouseDevice& mouse) {
        std::vector<std::vector<DeviceEvent>> records;
        for (int gun = 0; gun < kRecoilGunCount; ++gun) {
            records.push_back(EncodeEvents(
                m_json.ReadJsonFile(RecoilFilePath(mouse.Paths().UserDataFolder(), gun))["Events"]));
        }
        return records;
    }
    std::optional<RecoilUploadOutcome> Upload(CTolvanicMouseDevice& mouse) {
        std::optional<RecoilUploadOutcome> outcome;
        EXPECT_TRUE(mouse.UploadRecoil([&](const RecoilUploadOutcome& o) { outcome = o; }));
        // Only the window's queue runs meanwhile: no timer sends frames of its own.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!outcome && std::chrono::steady_clock::now() < deadline) {
            m_toolkit->ProcessPending();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return outcome;
    }

    CJsonFileHelper m_json;
};

TEST_P(RecoilUploadTest, TheRecoilMemoryHoldsTheFourFiles) {
    CTolvanicMouseDevice* mouse = Attach();
    ASSERT_NE(mouse, nullptr);
    // No files: four empty records.
    auto outcome = Upload(*mouse);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->status, RecoilUploadStatus::Sent);
    EXPECT_EQ(outcome->bytes, 40u);
    EXPECT_EQ(m_sim.RecoilRecords(SimModel::Mouse), std::vector<sim::SimRecord>(4));

    for (int gun = 0; gun < kRecoilGunCount; ++gun) {
        WritePattern(*mouse, gun, gun == 2 ? 7 : kRecoilBulletCount);
    }
    outcome = Upload(*mouse);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->status, RecoilUploadStatus::Sent);
    const auto records = m_sim.RecoilRecords(SimModel::Mouse);
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(*records, Expected(*mouse));
    EXPECT_FALSE(m_sim.InSession(SimModel::Mouse));

    // The full block (four guns of 180 events) takes 53 chunks of 56 bytes.
    // Only the upload's own frames are counted: the mouse's other traffic
    // (its link and power questions) may fall in between on a busy machine.
    WritePattern(*mouse, 2, kRecoilBulletCount);
    m_sim.ClearFrames();
    outcome = Upload(*mouse);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->bytes, 2920u);
    const bool receiver = GetParam().unit == SimUnit::MouseReceiver;
    std::map<uint8_t, size_t> sent;
    for (const sim::SimFrame& frame : m_sim.Frames()) {
        if (frame.direction == sim::SimDirection::ToDevice && frame.unit == GetParam().unit &&
            frame.bytes.size() > 3) {
            ++sent[frame.bytes[3]];
        }
    }
    EXPECT_EQ(sent[uint8_t(Command::WriteRecoilData)], 53u);
    EXPECT_EQ(sent[uint8_t(Command::BeginSession)], 1u);
    EXPECT_EQ(sent[uint8_t(Command::EndSession)], 1u);
    // The information block: one chunk by cable, two by the receiver.
    EXPECT_EQ(sent[uint8_t(Command::ReadDeviceInfo)], receiver ? 2u : 1u);
    EXPECT_EQ(*m_sim.RecoilRecords(SimModel::Mouse), Expected(*mouse));
}

TEST_P(RecoilUploadTest, RefusalsAndFaultsAreReported) {
    CTolvanicMouseDevice* mouse = Attach();
    ASSERT_NE(mouse, nullptr);
    for (int gun = 0; gun < kRecoilGunCount; ++gun) {
        WritePattern(*mouse, gun, kRecoilBulletCount);
    }
    ASSERT_EQ(Upload(*mouse)->status, RecoilUploadStatus::Sent);
    const auto memory = m_sim.Memory(SimModel::Mouse, SimMemory::Recoil);

    // 181 events in gun 1: nothing is sent.
    WritePattern(*mouse, 1, kRecoilBulletCount, 1);
    const uint64_t frames = m_sim.FramesWritten(GetParam().unit);
    auto outcome = Upload(*mouse);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->status, RecoilUploadStatus::Oversized);
    EXPECT_EQ(outcome->gun, 1);
    EXPECT_EQ(m_sim.FramesWritten(GetParam().unit), frames);
    EXPECT_EQ(m_sim.Memory(SimModel::Mouse, SimMemory::Recoil), memory);

    // A write failing in the middle of the block.
    WritePattern(*mouse, 1, 20);
    m_sim.InjectFault(GetParam().unit, {SimFaultKind::FailedWrite, 20, 1, 0});
    outcome = Upload(*mouse);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->status, RecoilUploadStatus::Failed);
    EXPECT_FALSE(m_sim.InSession(SimModel::Mouse)) << "the session is ended after a failed block too";
    m_sim.ClearFaults(GetParam().unit);

    if (GetParam().unit == SimUnit::MouseReceiver) {
        ASSERT_TRUE(m_sim.SetWireless(SimModel::Mouse, false));
        outcome = Upload(*mouse);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->status, RecoilUploadStatus::Unreachable);
    }
}

// Through the window: the macro tab's recoil page, gun 3, bullet 4 edited,
// then its save button. The mouse's recoil memory holds the edited bullet.
TEST_P(RecoilUploadTest, TheWindowsSaveButtonSendsTheEditedBullet) {
    m_folder.AddDefaultData();
    CTolvanicMouseDevice* mouse = Attach();
    ASSERT_NE(mouse, nullptr);
    const auto on = [&](std::string_view name) -> ui::Control& {
        ui::Control* control = mouse->Presenter().Page()->FindChild(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    };
    ASSERT_TRUE(m_user.Click(on("macro_Op_tab")));
    ASSERT_TRUE(m_user.Click(on("mouse_macro_page_option_1")));
    ASSERT_TRUE(m_user.Click(on("shoot_gun_op_2")));
    ASSERT_TRUE(m_user.Click(on("bullet_op_3")));
    ASSERT_TRUE(m_user.Type(on("bullet_x_eidt"), "42"));
    ASSERT_TRUE(m_user.Type(on("bullet_delay_eidt"), "70000"));
    ASSERT_TRUE(m_user.Click(on("bullet_y_check")));
    const RecoilBullet before =
        ReadRecoilBullet(m_json.ReadJsonFile(RecoilFilePath(mouse->Paths().UserDataFolder(), 2)), 3);
    ASSERT_TRUE(m_user.Click(on("shootdate_save_btn")));

    const std::string file = RecoilFilePath(mouse->Paths().UserDataFolder(), 2);
    const RecoilBullet saved = ReadRecoilBullet(m_json.ReadJsonFile(file), 3);
    EXPECT_EQ(saved.horizontal, 42);
    EXPECT_EQ(saved.delay, 65535);
    EXPECT_EQ(saved.up, !before.up);
    EXPECT_EQ(on("bullet_delay_eidt").Text(), "65535");
    ASSERT_TRUE(Until(
        [&] {
            const auto records = m_sim.RecoilRecords(SimModel::Mouse);
            return records.has_value() && *records == Expected(*mouse);
        },
        1));
    EXPECT_FALSE((*m_sim.RecoilRecords(SimModel::Mouse))[2].empty());
}

// Four buttons play the four guns. An upload of new patterns (the same
// layout, other values) is cut at every frame in turn: no gun key ever plays
// a pattern that is not whole, old or new; and the next whole upload gives the
// buttons their gun keys back.
TEST_P(RecoilUploadTest, ACutUploadNeverLeavesAGunKeyPlayingAMixture) {
    m_folder.AddDefaultData(); // the profile's buttons
    CTolvanicMouseDevice* mouse = Attach();
    ASSERT_NE(mouse, nullptr);
    std::vector<KeyListEntry> keys = mouse->Profile().ReadKeyList();
    std::map<size_t, int> gunAt; // key position -> gun
    for (int gun = 0; gun < kRecoilGunCount; ++gun) {
        const size_t button = size_t(3 + gun);
        ASSERT_LT(button, keys.size());
        ASSERT_NE(mouse->ButtonPositions()[button], CTolvanicMouseDevice::kNoButtonPosition);
        keys[button].current = *MakeGunKey(gun);
        gunAt[mouse->ButtonPositions()[button]] = gun;
    }
    mouse->Profile().WriteKeyList(keys);
    ASSERT_TRUE(mouse->SaveDeviceProfile());
    ASSERT_EQ(mouse->WriteProfileKeys(0), 1);
    // Both sets of patterns written once, then copied in (without a save's sync each time).
    const std::string folder = mouse->Paths().UserDataFolder();
    for (int variant : {0, 1}) {
        for (int gun = 0; gun < kRecoilGunCount; ++gun) {
            WritePattern(*mouse, gun, kRecoilBulletCount, 0, variant);
            std::filesystem::copy_file(RecoilFilePath(folder, gun),
                                       RecoilFilePath(folder, gun) + std::to_string(variant),
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
    const auto writeAll = [&](int variant) {
        for (int gun = 0; gun < kRecoilGunCount; ++gun) {
            std::filesystem::copy_file(RecoilFilePath(folder, gun) + std::to_string(variant),
                                       RecoilFilePath(folder, gun),
                                       std::filesystem::copy_options::overwrite_existing);
        }
    };
    const auto sent = [&](int variant) {
        writeAll(variant);
        const auto outcome = Upload(*mouse);
        return outcome && outcome->status == RecoilUploadStatus::Sent;
    };
    ASSERT_TRUE(sent(1));
    const std::vector<sim::SimRecord> fresh = *m_sim.RecoilRecords(SimModel::Mouse);
    ASSERT_TRUE(sent(0));
    const std::vector<sim::SimRecord> old = *m_sim.RecoilRecords(SimModel::Mouse);
    ASSERT_NE(old, fresh);

    // Every gun key plays its gun's pattern whole, old or new, or nothing while off.
    const auto expectNoMixture = [&](const std::string& when) {
        for (const auto& [position, gun] : gunAt) {
            const sim::SimRecord played = m_sim.PlayGunKey(SimModel::Mouse, position);
            EXPECT_TRUE(played.empty() || played == old[size_t(gun)] || played == fresh[size_t(gun)])
                << "gun " << gun << " " << when;
        }
    };
    const auto expectGunKeysBack = [&](const std::string& when) {
        for (const auto& [position, gun] : gunAt) {
            EXPECT_EQ(m_sim.PlayGunKey(SimModel::Mouse, position), old[size_t(gun)])
                << "gun " << gun << " " << when;
        }
    };
    expectGunKeysBack("before");
    int mixtures = 0;
    for (uint32_t frame = 1; frame <= 80; ++frame) {
        writeAll(1);
        m_sim.InjectFault(GetParam().unit, {SimFaultKind::FailedWrite, frame, 1, 0});
        Upload(*mouse);
        m_sim.ClearFaults(GetParam().unit);
        const auto memory = m_sim.RecoilRecords(SimModel::Mouse);
        mixtures += !memory || (*memory != old && *memory != fresh);
        expectNoMixture("after a failed write at frame " + std::to_string(frame));
        ASSERT_TRUE(sent(0)) << frame;
        expectGunKeysBack("after the upload that followed a cut at frame " + std::to_string(frame));
    }
    EXPECT_GT(mixtures, 10) << "cuts inside the block left a mixture in the recoil memory";

    // Unplugged in the middle of the block.
    writeAll(1);
    m_sim.InjectFault(GetParam().unit, {SimFaultKind::Unplug, 30, 1, 0});
    Upload(*mouse);
    expectNoMixture("after an unplug");
    m_sim.ClearFaults(GetParam().unit);
    ASSERT_TRUE(Until([&] { return !mouse->Driver().TransportOpen(); }));
    m_sim.Plug(GetParam().unit);
    ASSERT_TRUE(Until([&] { return mouse->Driver().TransportOpen(); }));
    ASSERT_TRUE(sent(0));
    expectGunKeysBack("after the replug");
}

INSTANTIATE_TEST_SUITE_P(Channels, RecoilUploadTest,
                         ::testing::Values(Channel{"cable", SimUnit::Mouse},
                                           Channel{"receiver", SimUnit::MouseReceiver}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velkor::test
