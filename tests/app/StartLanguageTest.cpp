// Which language the program starts in.
#include "app/StartLanguage.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

std::vector<LanguageEntry> Table() {
    return {{2052, "zh_CN", "lan_cn.xml", "language_name_zh_cn"},
            {1033, "en", "lan_en.xml", "language_name_en"}};
}

TEST(StartLanguage, AStoredChoiceWinsWhenTheTableHasIt) {
    EXPECT_EQ(StartLanguageIndex(Table(), 1033, "zh_CN.UTF-8"), 1);
    EXPECT_EQ(StartLanguageIndex(Table(), 2052, "en_GB.UTF-8"), 0);
    EXPECT_EQ(StartLanguageIndex(Table(), 520, "en_GB.UTF-8"), 1)
        << "an unknown identifier falls to the locale";
}

TEST(StartLanguage, WithoutAChoiceTheDesktopLocaleDecides) {
    EXPECT_EQ(StartLanguageIndex(Table(), std::nullopt, "zh_TW.UTF-8"), 0);
    EXPECT_EQ(StartLanguageIndex(Table(), std::nullopt, "de_DE.UTF-8"), 1) << "other languages read English";
    EXPECT_EQ(StartLanguageIndex(Table(), std::nullopt, ""), 1);
    EXPECT_EQ(StartLanguageIndex({}, std::nullopt, "en_US"), 0) << "an empty table gives the first index";
}

TEST(StartLanguage, TheFirstLocaleVariableThatIsSetCounts) {
    EXPECT_EQ(DesktopLocale("zh_CN", "en_US", "de_DE"), "zh_CN");
    EXPECT_EQ(DesktopLocale("", "en_US", "de_DE"), "en_US");
    EXPECT_EQ(DesktopLocale(nullptr, nullptr, "de_DE"), "de_DE");
    EXPECT_EQ(DesktopLocale(nullptr, "", nullptr), "");
}

} // namespace
} // namespace velkor::test
