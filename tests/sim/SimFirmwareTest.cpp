// The firmware's factory memories and its answers to single frames.
#include "sim/SimFirmware.h"
#include "sim/SimRecords.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace velkor::sim {
namespace {

SimReport Request(uint8_t command, uint8_t length, uint16_t offset, std::span<const uint8_t> data = {}) {
    SimReport r{};
    r[0] = 0x04;
    r[3] = command;
    r[4] = length;
    r[5] = uint8_t(offset & 0xFF);
    r[6] = uint8_t(offset >> 8);
    std::copy(data.begin(), data.end(), r.begin() + 8);
    SimSeal(r);
    return r;
}

// Position of the first key position carrying `f`, or -1.
int PositionOf(const std::vector<uint8_t>& table, size_t positions, const KeyFunction& f) {
    for (size_t p = 0; p < positions; ++p) {
        if (table[p * 3] == f[0] && table[p * 3 + 1] == f[1] && table[p * 3 + 2] == f[2]) {
            return int(p);
        }
    }
    return -1;
}

TEST(SimFactoryLayout, KeyboardKeyTableCarriesScreenKeysInMatrixOrder) {
    for (SimModel model : {SimModel::Keyboard, SimModel::Keyboard511D}) {
        SimFirmware fw(model);
        const auto& table = fw.Memory(SimMemory::KeyTable);
        const size_t n = fw.Facts().keyPositions;
        size_t found = 0;
        size_t inScreenOrder = 0;
        for (size_t key = 0; key < 126; ++key) {
            const KeyFunction f = KeyboardScreenKeyFunction(key);
            if (f == KeyFunction{0x20, 0x00, 0x00}) {
                // A key without function must never match a position.
                EXPECT_EQ(PositionOf(table, n, f), -1) << "key " << key;
                continue;
            }
            const int position = PositionOf(table, n, f);
            if (position >= 0) {
                EXPECT_EQ(ScreenKeyAtPosition(model, size_t(position)), int(key));
                ++found;
                inScreenOrder += position == int(key) ? 1 : 0;
            }
        }
        EXPECT_LT(inScreenOrder, 10u) << "the device order must differ from the screen order";
        EXPECT_EQ(found, model == SimModel::Keyboard ? 114u : 122u);
    }
    // Escape sits at position 0, F1 one column further (position 6).
    SimFirmware fw(SimModel::Keyboard);
    EXPECT_EQ(PositionOf(fw.Memory(SimMemory::KeyTable), 126, KeyboardScreenKeyFunction(0)), 0);
    EXPECT_EQ(PositionOf(fw.Memory(SimMemory::KeyTable), 126, KeyboardScreenKeyFunction(1)), 6);
}

TEST(SimFactoryLayout, KeyboardWithoutInternationalKeysLacksThem) {
    SimFirmware board(SimModel::Keyboard);
    SimFirmware jis(SimModel::Keyboard511D);
    for (int key : {79, 80, 81, 82, 83, 100, 101, 103}) {
        EXPECT_EQ(PositionOf(board.Memory(SimMemory::KeyTable), 126, KeyboardScreenKeyFunction(size_t(key))),
                  -1);
        EXPECT_GE(PositionOf(jis.Memory(SimMemory::KeyTable), 126, KeyboardScreenKeyFunction(size_t(key))),
                  0);
    }
}

TEST(SimFactoryLayout, KeyboardPositionsAreUniqueAndLit) {
    SimFirmware fw(SimModel::Keyboard);
    const auto& table = fw.Memory(SimMemory::KeyTable);
    const auto& lights = fw.Memory(SimMemory::KeyLightMap);
    std::set<std::vector<uint8_t>> seen;
    std::set<uint8_t> slots;
    for (size_t p = 0; p < 126; ++p) {
        std::vector<uint8_t> f(table.begin() + long(p * 3), table.begin() + long(p * 3 + 3));
        if (f == std::vector<uint8_t>{0, 0, 0}) {
            EXPECT_EQ(lights[p], 0xFF) << "an empty position has no LED";
            continue;
        }
        EXPECT_TRUE(seen.insert(f).second) << "position " << p << " repeats a function";
        EXPECT_LT(lights[p], 170);
        EXPECT_TRUE(slots.insert(lights[p]).second) << "two keys share LED " << int(lights[p]);
    }
    // Right Shift (key 95) is wired to LED 97, Num 1 (key 97) to LED 95.
    const int shift = PositionOf(table, 126, KeyboardScreenKeyFunction(95));
    const int num1 = PositionOf(table, 126, KeyboardScreenKeyFunction(97));
    ASSERT_GE(shift, 0);
    ASSERT_GE(num1, 0);
    EXPECT_EQ(lights[size_t(shift)], 97);
    EXPECT_EQ(lights[size_t(num1)], 95);
    EXPECT_EQ(lights[size_t(PositionOf(table, 126, KeyboardScreenKeyFunction(42)))], 42);
}

TEST(SimFactoryLayout, MouseCarriesElevenButtonsInItsOwnOrder) {
    SimFirmware fw(SimModel::Mouse);
    const auto& table = fw.Memory(SimMemory::KeyTable);
    const size_t n = fw.Facts().keyPositions;
    std::set<int> positions;
    for (size_t b = 0; b < kMouseButtons; ++b) {
        const int p = PositionOf(table, n, MouseButtonFunction(b));
        ASSERT_GE(p, 0) << "button " << b;
        positions.insert(p);
    }
    EXPECT_EQ(positions.size(), kMouseButtons);
    EXPECT_EQ(PositionOf(table, n, MouseButtonFunction(3)), 4); // fifth button after the fourth
    EXPECT_EQ(PositionOf(table, n, MouseButtonFunction(8)), 10);
    EXPECT_EQ(MouseButtonFunction(10), (KeyFunction{0x14, 0x78, 0x02}));
}

TEST(SimFactoryLayout, InformationBlockFieldsSitAtTheirOffsets) {
    SimFirmware mouse(SimModel::Mouse);
    const auto& info = mouse.Memory(SimMemory::DeviceInfo);
    ASSERT_EQ(info.size(), 34u);
    EXPECT_EQ(info[5], 12);                       // key positions
    EXPECT_EQ(info[6], 16);                       // macro slots
    EXPECT_EQ(info[9] | (info[10] << 8), 0x3325); // sensor
    EXPECT_EQ(info[11], 100);                     // DPI step
    EXPECT_EQ(info[12] | (info[13] << 8), 73);    // highest step
    EXPECT_EQ(info[14] | (info[15] << 8), 100);   // base
    EXPECT_EQ(mouse.Memory(SimMemory::Macro).size(), 16u * 128);
    SimFirmware keyboard(SimModel::Keyboard);
    EXPECT_EQ(keyboard.Memory(SimMemory::DeviceInfo)[5], 126);
    EXPECT_EQ(keyboard.Memory(SimMemory::Colours).size(), 8u * 512);
}

TEST(SimFactoryLayout, ProfileRecordsSitAtTheKindsStride) {
    SimFirmware mouse(SimModel::Mouse);
    const auto& params = mouse.Memory(SimMemory::Params);
    EXPECT_EQ(params[0], 0); // active profile
    for (uint8_t p = 1; p < 5; ++p) {
        MouseSettingsRecord r;
        std::memcpy(&r, params.data() + p * 128, sizeof(r));
        EXPECT_EQ(r.profile, p);
        EXPECT_EQ(r.stages[1].xStep.Value(), 7);
        EXPECT_NE(r.firmware66[0], 0) << "the firmware's own bytes are not blank";
    }
    SimFirmware keyboard(SimModel::Keyboard);
    KeyboardSettingsRecord k;
    std::memcpy(&k, keyboard.Memory(SimMemory::Params).data() + 3 * 28, sizeof(k));
    EXPECT_EQ(k.profile, 3);
    EXPECT_EQ(k.brightness, 4);
    EXPECT_EQ(k.firmware9[0], 0x11);
}

TEST(SimFirmwareRequests, RefusesDamagedFramesWithoutTouchingMemory) {
    SimFirmware fw(SimModel::Keyboard);
    const std::vector<uint8_t> before = fw.Memory(SimMemory::Params);
    const uint8_t data[4] = {9, 9, 9, 9};

    SimReport badSum = Request(0x06, 4, 28, data);
    badSum[1] ^= 0x01;
    EXPECT_EQ(fw.HandleRequest(badSum, false)[7], kStatusRefused);

    SimReport tooLong = Request(0x06, 57, 0, data);
    EXPECT_EQ(fw.HandleRequest(tooLong, false)[7], kStatusRefused);

    SimReport outside = Request(0x06, 4, uint16_t(fw.Memory(SimMemory::Params).size() - 3), data);
    EXPECT_EQ(fw.HandleRequest(outside, false)[7], kStatusRefused);

    EXPECT_EQ(fw.Memory(SimMemory::Params), before);

    // Unknown codes, and the link query that only receivers answer, get 0xFF with the echo.
    for (uint8_t code : {uint8_t(0x04), uint8_t(0x99), uint8_t(0xAA)}) {
        const SimReport reply = fw.HandleRequest(Request(code, 0, 0), false);
        EXPECT_EQ(reply[3], code);
        EXPECT_EQ(reply[7], kStatusUnknown);
    }
    // Recoil memory exists on the mouse only.
    EXPECT_EQ(fw.HandleRequest(Request(0x17, 4, 0, data), false)[7], kStatusRefused);
}

TEST(SimFirmwareRequests, RepliesEchoAndCarryAValidChecksum) {
    SimFirmware fw(SimModel::MousePad);
    const SimReport reply = fw.HandleRequest(Request(0x05, 9, 28), false);
    EXPECT_EQ(reply[0], 0x04);
    EXPECT_EQ(reply[3], 0x05);
    EXPECT_EQ(reply[4], 9);
    EXPECT_EQ(reply[5], 28);
    EXPECT_EQ(reply[7], kStatusDone);
    EXPECT_EQ(reply[1] | (reply[2] << 8), SimChecksum(reply));
    EXPECT_EQ(reply[8], 1); // record of profile 1 starts with its number
}

TEST(SimFirmwareRequests, PowerStatusTellsWhichWayTheQueryCame) {
    SimFirmware fw(SimModel::Mouse);
    ASSERT_TRUE(fw.SetBattery(37, 1));
    EXPECT_FALSE(fw.SetBattery(101, 0));
    EXPECT_FALSE(fw.SetBattery(50, 3));
    SimReport viaReceiver = fw.HandleRequest(Request(0x1A, 6, 0), true);
    EXPECT_EQ(std::vector<uint8_t>(viaReceiver.begin() + 8, viaReceiver.begin() + 14),
              (std::vector<uint8_t>{37, 1, 0, 1, 0, 0}));
    EXPECT_EQ(fw.HandleRequest(Request(0x1A, 6, 0), false)[11], 0);
    EXPECT_EQ(fw.HandleRequest(Request(0x1A, 7, 0), false)[7], kStatusRefused);
}

TEST(SimFirmwareKeys, ProfileKeysReportTheKindsEvent) {
    SimFirmware keyboard(SimModel::Keyboard);
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(keyboard.PressKey(SimKey::ProfileNext, 0), 0x0402);
        EXPECT_EQ(keyboard.ActiveProfile(), i % 5);
    }
    SimFirmware mouse(SimModel::Mouse);
    EXPECT_EQ(mouse.PressKey(SimKey::ProfileSelect, 2), 0x1002);
    EXPECT_EQ(mouse.Memory(SimMemory::Params)[0], 2);
    EXPECT_EQ(mouse.PressKey(SimKey::ProfileSelect, 5), std::nullopt);
    EXPECT_EQ(mouse.Memory(SimMemory::Params)[0], 2);
    SimFirmware pad(SimModel::MousePad);
    EXPECT_EQ(pad.PressKey(SimKey::ProfileNext, 0), 0x0401);
    // Nine effects: nine presses bring profile 1's effect back to where it was.
    for (int i = 0; i < 9; ++i) {
        pad.PressKey(SimKey::EffectNext, 0);
    }
    EXPECT_EQ(pad.Memory(SimMemory::Params)[28 + 1], 1);
}

TEST(SimFirmwareKeys, SettingKeysChangeTheActiveRecordOnly) {
    SimFirmware keyboard(SimModel::Keyboard);
    keyboard.PressKey(SimKey::ProfileSelect, 2);
    const auto before = keyboard.Memory(SimMemory::Params);
    EXPECT_EQ(keyboard.PressKey(SimKey::BrightnessUp, 0), 0x0401); // already 4: stays 4
    EXPECT_EQ(keyboard.PressKey(SimKey::BrightnessDown, 0), 0x0401);
    EXPECT_EQ(keyboard.PressKey(SimKey::ToggleWinLock, 0), 0x0401);
    const auto after = keyboard.Memory(SimMemory::Params);
    EXPECT_EQ(after[2 * 28 + 2], 3);
    EXPECT_EQ(after[2 * 28 + 21], 1);
    for (size_t i = 0; i < after.size(); ++i) {
        if (i != 2 * 28 + 2 && i != 2 * 28 + 21) {
            EXPECT_EQ(after[i], before[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(keyboard.PressKey(SimKey::DpiNext, 0), std::nullopt);
    EXPECT_EQ(keyboard.PressKey(SimKey::Click, 0), std::nullopt);
}

TEST(SimFirmwareKeys, DpiKeySkipsDisabledStages) {
    SimFirmware mouse(SimModel::Mouse);
    mouse.PressKey(SimKey::ProfileSelect, 1);
    const uint8_t off = 0;
    ASSERT_TRUE(mouse.WriteMemory(SimMemory::Params, 128 + 14 + 9 * 2, std::span(&off, 1))); // stage 2 off
    EXPECT_EQ(mouse.PressKey(SimKey::DpiNext, 0), 0x1131); // stage 3, profile 1
    EXPECT_EQ(mouse.Memory(SimMemory::Params)[128 + 12], 3);
    EXPECT_EQ(mouse.PressKey(SimKey::DpiNext, 0), 0x1141);
    EXPECT_EQ(mouse.PressKey(SimKey::DpiNext, 0), 0x1101);
    EXPECT_EQ(mouse.PressKey(SimKey::Click, 0), 0x0403);
}

TEST(SimFirmwareKeys, ActiveProfileOutsideTheMemoryFallsBackToProfileZero) {
    SimFirmware mouse(SimModel::Mouse);
    const uint8_t wild = 200;
    ASSERT_TRUE(mouse.WriteMemory(SimMemory::Params, 0, std::span(&wild, 1)));
    EXPECT_EQ(mouse.ActiveProfile(), 0);
    EXPECT_EQ(mouse.PressKey(SimKey::BrightnessDown, 0), 0x0401);
    EXPECT_EQ(mouse.Memory(SimMemory::Params)[2], 3);
}

TEST(SimFirmwareLeds, HeadsetReportsSetOneChannelOfOneTarget) {
    SimFirmware headset(SimModel::Headset);
    std::vector<uint8_t> report(17, 0);
    report[0] = 0xFF;
    report[1] = 0x22;
    report[2] = 0xAA; // red, LEDs 0..6
    for (int i = 0; i < 7; ++i) {
        report[size_t(3 + i)] = uint8_t(10 + i);
    }
    ASSERT_TRUE(headset.HandleLedReport(report));
    report[2] = 0xAF; // blue, LEDs 7..12
    ASSERT_TRUE(headset.HandleLedReport(report));
    const auto leds = headset.LedColours(0x22);
    EXPECT_EQ(leds[0], 10);
    EXPECT_EQ(leds[6 * 3], 16);
    EXPECT_EQ(leds[7 * 3 + 2], 10);
    EXPECT_EQ(leds[12 * 3 + 2], 15);
    EXPECT_EQ(leds[7 * 3], 0);
    EXPECT_EQ(headset.LedColours(0x44)[0], 0);

    report[1] = 0x33;
    EXPECT_FALSE(headset.HandleLedReport(report));
    report[1] = 0x44;
    report[2] = 0xB0;
    EXPECT_FALSE(headset.HandleLedReport(report));
}

} // namespace
} // namespace velkor::sim
