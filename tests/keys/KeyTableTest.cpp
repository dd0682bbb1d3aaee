#include "keys/KeyTable.h"
#include "keys/ChoiceTables.h"

#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <set>
#include <vector>

namespace velkor {
namespace {

std::string_view NameAt(int index) {
    const auto* row = KeyRowAt(index);
    return row ? row->nameKey : std::string_view{"<not found>"};
}

// ---- The choice tables ----------------------------------------------------------------

TEST(ChoiceTables, EveryEntryRoundTripsAndIsFoundAtItsOwnPosition) {
    const std::vector<std::span<const KeyFunction>> tables{
        MouseButtonChoices(), DpiChoices(), SystemChoices(), MediaChoices(), ShortcutChoices()};
    for (const auto& table : tables) {
        ASSERT_FALSE(table.empty());
        for (std::size_t i = 0; i < table.size(); ++i) {
            const auto& value = table[i];
            const auto triple = value.ToTriple();
            EXPECT_EQ(KeyFunction::FromTriple(triple[0], triple[1], triple[2]).ToBytes(), value.ToBytes());
            const auto fromList = KeyFunction::FromKeyListValue(value.ToKeyListValue());
            ASSERT_TRUE(fromList);
            EXPECT_EQ(fromList->ToBytes(), value.ToBytes());
            // A repeated entry would be found at its earlier position.
            EXPECT_EQ(FindChoice(table, value), static_cast<int>(i));
            EXPECT_EQ(value.category, table[0].category);
        }
    }
}

TEST(ChoiceTables, MouseButtonsCoverTheFiveBitsOnceAndShortcutsNameKeys) {
    std::uint8_t seen = 0;
    for (const auto& value : MouseButtonChoices()) {
        EXPECT_EQ(std::popcount(value.paramA), 1);
        seen |= value.paramA;
    }
    EXPECT_EQ(seen, 0x1F);
    EXPECT_EQ(MouseButtonChoices().size(), 5u);
    for (const auto& value : ShortcutChoices()) {
        EXPECT_TRUE(IsShortcut(value));
        EXPECT_NE(FindKeyByUsage(value.paramB), kKeyNotFound);
    }
}

TEST(ChoiceTables, FindChoiceTakesTheFirstMatchAndIgnoresCodes) {
    const std::vector<KeyFunction> withDuplicate{MakeMedia(0x00E2), KeyFunction{7, KeyCategory::System, 1, 0},
                                                 KeyFunction{9, KeyCategory::System, 1, 0}};
    EXPECT_EQ(FindChoice(withDuplicate, KeyFunction{0x55, KeyCategory::System, 1, 0}), 1);
    EXPECT_EQ(FindChoice(withDuplicate, KeyFunction{0, KeyCategory::System, 1, 1}), kKeyNotFound);
    EXPECT_EQ(FindChoice(DpiChoices(), KeyFunction{0, KeyCategory::DpiStep, 4, 0}), kKeyNotFound);
}

// ---- The key table checked against itself and the choice tables ----------------------------

TEST(KeyTableConsistency, RowGroupsAndScanCodePresence) {
    const auto rows = KeyTable();
    ASSERT_EQ(rows.size(), kKeyTableSize);
    const std::vector<std::pair<std::size_t, KeyCategory>> groups{{114, KeyCategory::KeyboardKey},
                                                                  {132, KeyCategory::Media},
                                                                  {135, KeyCategory::System},
                                                                  {140, KeyCategory::MKey},
                                                                  {142, KeyCategory::Special}};
    std::size_t row = 0;
    for (const auto& [end, category] : groups) {
        for (; row < end; ++row) {
            EXPECT_EQ(rows[row].function.category, category) << rows[row].nameKey;
            EXPECT_EQ(rows[row].scan.has_value(), row < kRecognisedRowCount) << rows[row].nameKey;
        }
    }
}

TEST(KeyTableConsistency, NameKeysAreUnique) {
    std::set<std::string_view> names;
    for (const auto& row : KeyTable()) {
        EXPECT_TRUE(names.insert(row.nameKey).second) << row.nameKey;
    }
    EXPECT_EQ(FindKeyByName("keyboard_key_`"), FindKeyByUsage(0x35));
    EXPECT_EQ(FindKeyByName("keyboard_key_Nope"), kKeyNotFound);
}

TEST(KeyTableConsistency, ScanCodesAreUniquePerExtendedFlagAndEachFindsItsRow) {
    std::map<std::pair<int, bool>, std::string_view> seen;
    const auto rows = KeyTable();
    for (std::size_t i = 0; i < kRecognisedRowCount; ++i) {
        const auto [it, inserted] =
            seen.emplace(std::pair{int{rows[i].scan->code}, rows[i].scan->extended}, rows[i].nameKey);
        EXPECT_TRUE(inserted) << rows[i].nameKey << " shares its scan code with " << it->second;
        EXPECT_EQ(FindKeyByScanCode(*rows[i].scan), static_cast<int>(i)) << rows[i].nameKey;
    }
}

TEST(KeyTableConsistency, EveryFunctionNamesOneRowAndSurvivesTheDeviceForm) {
    std::vector<std::uint8_t> device(kKeyTableSize * kDeviceKeySize, 0);
    for (std::size_t i = 0; i < kKeyTableSize; ++i) {
        ASSERT_TRUE(WriteDeviceKey(device, i, KeyTable()[i].function));
    }
    for (std::size_t i = 0; i < kKeyTableSize; ++i) {
        const auto fromList = KeyFunction::FromKeyListValue(KeyTable()[i].function.ToKeyListValue());
        EXPECT_EQ(FindKeyByFunction(*fromList), static_cast<int>(i)) << KeyTable()[i].nameKey;
        EXPECT_EQ(FindKeyByFunction(*ReadDeviceKey(device, i)), static_cast<int>(i));
    }
}

TEST(KeyTableConsistency, ModifiersByBitAndPlainKeysByUsage) {
    const auto rows = KeyTable();
    std::uint8_t bits = 0;
    for (std::size_t i = 0; i < kModifierRowCount; ++i) {
        EXPECT_EQ(std::popcount(rows[i].function.paramA), 1) << rows[i].nameKey;
        EXPECT_EQ(FindKeyByModifier(rows[i].function.paramA), static_cast<int>(i));
        bits |= rows[i].function.paramA;
    }
    EXPECT_EQ(bits, 0xFF);
    for (std::size_t i = kFirstPlainKeyRow; i < rows.size(); ++i) {
        if (rows[i].function.category == KeyCategory::KeyboardKey) {
            EXPECT_EQ(FindKeyByUsage(rows[i].function.paramB), static_cast<int>(i)) << rows[i].nameKey;
        }
    }
}

TEST(KeyTableConsistency, MediaAndSystemRowsAreExactlyThePanelChoices) {
    std::set<int> media;
    std::set<int> system;
    for (const auto& row : KeyTable()) {
        if (row.function.category == KeyCategory::Media) {
            EXPECT_TRUE(media.insert(FindChoice(MediaChoices(), row.function)).second) << row.nameKey;
        } else if (row.function.category == KeyCategory::System) {
            EXPECT_TRUE(system.insert(FindChoice(SystemChoices(), row.function)).second) << row.nameKey;
        }
    }
    EXPECT_FALSE(media.count(kKeyNotFound));
    EXPECT_FALSE(system.count(kKeyNotFound));
    EXPECT_EQ(media.size(), MediaChoices().size());
    EXPECT_EQ(system.size(), SystemChoices().size());
}

// ---- Lookups ---------------------------------------------------------------------------------

TEST(KeyTableLookup, ExtendedFlagSeparatesKeysOnOneScanCode) {
    EXPECT_EQ(NameAt(FindKeyByScanCode({0x1C, false})), "keyboard_key_Enter");
    EXPECT_EQ(NameAt(FindKeyByScanCode({0x1C, true})), "keyboard_key_Num Enter");
    EXPECT_EQ(KeyRowAt(FindKeyByScanCode({0x1C, true}))->function.code, 0x0101);
    EXPECT_EQ(NameAt(FindKeyByScanCode({0x45, false})), "keyboard_key_Pause");
    EXPECT_EQ(NameAt(FindKeyByScanCode({0x45, true})), "keyboard_key_Num Lock");
}

TEST(KeyTableLookup, UnknownInputGivesNotFound) {
    EXPECT_EQ(FindKeyByScanCode({0x00, false}), kKeyNotFound);
    EXPECT_EQ(FindKeyByScanCode({0x1E, true}), kKeyNotFound); // A has no E0 form
    EXPECT_EQ(FindKeyByUsage(0x00), kKeyNotFound);
    EXPECT_EQ(FindKeyByUsage(0xE0), kKeyNotFound); // modifier usages are not plain keys
    EXPECT_EQ(FindKeyByModifier(0), kKeyNotFound);
    EXPECT_EQ(FindKeyByModifier(kModLeftCtrl | kModLeftShift), kKeyNotFound);
    EXPECT_EQ(FindKeyByFunction(MakeKeyboardKey(kModLeftShift, 0x04)), kKeyNotFound);
    EXPECT_EQ(KeyRowAt(kKeyNotFound), nullptr);
    EXPECT_EQ(KeyRowAt(static_cast<int>(kKeyTableSize)), nullptr);
}

TEST(KeyTableLookup, RowWithoutScanCodeIsNamedButNeverRecognised) {
    const int k42 = FindKeyByName("keyboard_key_K42");
    EXPECT_EQ(k42, static_cast<int>(kRecognisedRowCount));
    EXPECT_EQ(FindKeyByUsage(0x32), k42);
}

TEST(KeyTableLookup, SharedVirtualKeyCodesResolveToTheFirstRow) {
    EXPECT_EQ(NameAt(FindKeyByVirtualKey(0xBF)), "keyboard_key_/"); // before K42
    EXPECT_EQ(NameAt(FindKeyByVirtualKey(0xFF)), "keyboard_key_K14");
    EXPECT_EQ(NameAt(FindKeyByVirtualKey(0)), "keyboard_key_M1");
    EXPECT_EQ(FindKeyByVirtualKey(0x0102), kKeyNotFound);
}

} // namespace
} // namespace velkor
