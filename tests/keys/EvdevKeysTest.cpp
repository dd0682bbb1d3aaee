#include "keys/EvdevKeys.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <set>
#include <vector>

namespace velkor {
namespace {

std::string_view NameOfEvdev(std::uint16_t code) {
    const auto* row = KeyRowAt(FindKeyByEvdevCode(code));
    return row ? row->nameKey : std::string_view{"<not found>"};
}

TEST(EvdevKeyMapConsistency, EveryRecognisableRowIsReachable) {
    std::set<int> reached;
    for (const auto& mapping : EvdevKeyMap()) {
        reached.insert(FindKeyByEvdevCode(mapping.evdevCode));
    }
    for (std::size_t i = 0; i < kRecognisedRowCount; ++i) {
        EXPECT_TRUE(reached.count(static_cast<int>(i))) << KeyTable()[i].nameKey << " has no evdev code";
    }
}

TEST(EvdevKeyMapConsistency, EveryMappingLandsOnARowAndOnlyOneCodePerRow) {
    std::set<int> rows;
    std::set<std::uint16_t> codes;
    for (const auto& mapping : EvdevKeyMap()) {
        const int row = FindKeyByScanCode(mapping.scan);
        EXPECT_NE(row, kKeyNotFound) << "evdev " << mapping.evdevCode << " maps to a scan code with no row";
        EXPECT_TRUE(rows.insert(row).second) << "two evdev codes for " << KeyTable()[row].nameKey;
        EXPECT_TRUE(codes.insert(mapping.evdevCode).second) << "evdev " << mapping.evdevCode << " twice";
        EXPECT_EQ(EvdevCodeFromScanCode(mapping.scan), mapping.evdevCode);
    }
}

TEST(EvdevKeyMapConsistency, LowCodesFollowTheSet1Heritage) {
    // Linux numbers its first 88 key codes after the unprefixed Set-1 make
    // codes; only keys the table marks extended may differ in the flag.
    for (const auto& mapping : EvdevKeyMap()) {
        if (mapping.evdevCode > KEY_F12 || mapping.evdevCode == KEY_102ND) {
            continue;
        }
        EXPECT_EQ(mapping.scan.code, mapping.evdevCode) << mapping.evdevCode;
        const bool allowedExtended = mapping.evdevCode == KEY_RIGHTSHIFT || mapping.evdevCode == KEY_NUMLOCK;
        EXPECT_EQ(mapping.scan.extended, allowedExtended) << mapping.evdevCode;
    }
}

TEST(EvdevKeyMapConsistency, KeysMeetTheirHidUsages) {
    // The usage of the row reached is an independent check on the scan codes.
    // clang-format off
    const std::vector<std::pair<std::uint16_t, std::uint8_t>> samples{
        {KEY_A, 0x04}, {KEY_Z, 0x1D}, {KEY_M, 0x10}, {KEY_1, 0x1E}, {KEY_0, 0x27}, {KEY_ESC, 0x29},
        {KEY_GRAVE, 0x35}, {KEY_BACKSLASH, 0x31}, {KEY_F1, 0x3A}, {KEY_F12, 0x45}, {KEY_KP1, 0x59},
        {KEY_KP0, 0x62}, {KEY_102ND, 0x64}, {KEY_COMPOSE, 0x65}, {KEY_RO, 0x87}, {KEY_YEN, 0x89},
        {KEY_HANGEUL, 0x90}, {KEY_HANJA, 0x91}, {KEY_KPCOMMA, 0x85}, {KEY_HENKAN, 0x8A},
        {KEY_MUHENKAN, 0x8B}, {KEY_KATAKANAHIRAGANA, 0x88}, {KEY_SYSRQ, 0x46},
    };
    // clang-format on
    for (const auto& [code, usage] : samples) {
        const auto* row = KeyRowAt(FindKeyByEvdevCode(code));
        ASSERT_NE(row, nullptr) << code;
        EXPECT_EQ(row->function.paramB, usage) << row->nameKey;
        EXPECT_EQ(row->function.paramA, 0) << row->nameKey;
    }
}

TEST(EvdevKeyLookup, ModifiersTellTheirSideApart) {
    EXPECT_EQ(NameOfEvdev(KEY_LEFTCTRL), "keyboard_key_LCtrl");
    EXPECT_EQ(NameOfEvdev(KEY_RIGHTCTRL), "keyboard_key_RCtrl");
    EXPECT_EQ(NameOfEvdev(KEY_LEFTALT), "keyboard_key_LAlt");
    EXPECT_EQ(NameOfEvdev(KEY_RIGHTALT), "keyboard_key_RAlt");
    EXPECT_EQ(NameOfEvdev(KEY_LEFTSHIFT), "keyboard_key_LShift");
    EXPECT_EQ(NameOfEvdev(KEY_RIGHTSHIFT), "keyboard_key_RShift");
    EXPECT_EQ(NameOfEvdev(KEY_LEFTMETA), "keyboard_key_LWin");
    EXPECT_EQ(NameOfEvdev(KEY_RIGHTMETA), "keyboard_key_RWin");
    const auto* rightCtrl = KeyRowAt(FindKeyByEvdevCode(KEY_RIGHTCTRL));
    EXPECT_EQ(rightCtrl->function.paramA, kModRightCtrl);
}

TEST(EvdevKeyLookup, ExtendedBlockIsNotConfusedWithTheKeypad) {
    EXPECT_EQ(NameOfEvdev(KEY_UP), "keyboard_key_Up");
    EXPECT_EQ(NameOfEvdev(KEY_KP8), "keyboard_key_Num 8");
    EXPECT_EQ(NameOfEvdev(KEY_LEFT), "keyboard_key_Left");
    EXPECT_EQ(NameOfEvdev(KEY_KP4), "keyboard_key_Num 4");
    EXPECT_EQ(NameOfEvdev(KEY_DOWN), "keyboard_key_Down");
    EXPECT_EQ(NameOfEvdev(KEY_RIGHT), "keyboard_key_Right");
    EXPECT_EQ(NameOfEvdev(KEY_DELETE), "keyboard_key_Delete");
    EXPECT_EQ(NameOfEvdev(KEY_KPDOT), "keyboard_key_Decimal");
    EXPECT_EQ(NameOfEvdev(KEY_KPENTER), "keyboard_key_Num Enter");
    EXPECT_EQ(NameOfEvdev(KEY_KPSLASH), "keyboard_key_Num /");
    EXPECT_EQ(NameOfEvdev(KEY_PAUSE), "keyboard_key_Pause");
    EXPECT_EQ(NameOfEvdev(KEY_NUMLOCK), "keyboard_key_Num Lock");
}

TEST(EvdevKeyLookup, UnknownCodesGiveNotFound) {
    for (std::uint16_t code :
         {std::uint16_t{KEY_RESERVED}, std::uint16_t{KEY_VOLUMEUP}, std::uint16_t{KEY_MENU},
          std::uint16_t{KEY_F13}, std::uint16_t{BTN_LEFT}, std::uint16_t{KEY_MAX}, std::uint16_t{0xFFFF}}) {
        EXPECT_FALSE(ScanCodeFromEvdev(code)) << code;
        EXPECT_EQ(FindKeyByEvdevCode(code), kKeyNotFound) << code;
    }
    EXPECT_FALSE(EvdevCodeFromScanCode({0x1E, true}));
}

TEST(EvdevMouseButtons, FiveButtonsMapToTheButtonBits) {
    EXPECT_EQ(MouseButtonFromEvdev(BTN_LEFT), kMouseLeft);
    EXPECT_EQ(MouseButtonFromEvdev(BTN_RIGHT), kMouseRight);
    EXPECT_EQ(MouseButtonFromEvdev(BTN_MIDDLE), kMouseMiddle);
    EXPECT_EQ(MouseButtonFromEvdev(BTN_SIDE), kMouseFourth);
    EXPECT_EQ(MouseButtonFromEvdev(BTN_BACK), kMouseFourth);
    EXPECT_EQ(MouseButtonFromEvdev(BTN_EXTRA), kMouseFifth);
    EXPECT_EQ(MouseButtonFromEvdev(BTN_FORWARD), kMouseFifth);
    EXPECT_FALSE(MouseButtonFromEvdev(BTN_TASK));
    EXPECT_FALSE(MouseButtonFromEvdev(KEY_A));
}

TEST(EvdevMouseButtons, EveryBitIsAPanelChoice) {
    for (std::uint16_t code : {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE, BTN_SIDE, BTN_EXTRA}) {
        const auto bit = MouseButtonFromEvdev(code);
        ASSERT_TRUE(bit);
        EXPECT_NE(FindChoice(MouseButtonChoices(), KeyFunction{0, KeyCategory::MouseButton, *bit, 0}),
                  kKeyNotFound);
    }
}

} // namespace
} // namespace velkor
