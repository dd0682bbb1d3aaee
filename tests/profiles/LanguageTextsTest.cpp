#include "profiles/LanguageTexts.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

using test::ParseRaw;
using test::TempFolder;
using test::WriteRaw;

const char* kEnglish = R"(<?xml version="1.0" encoding="UTF-8"?>
<language name="English">
  <!-- notices -->
  <text id="message_text_5">Name &quot;taken&quot; &amp; more</text>
  <text id="light_mode_off">Off</text>
  <text id="spaced">  two  words </text>
  <text id="empty"></text>
</language>)";

TEST(LanguageTexts, KeysResolveAndMissingKeysShowThemselves) {
    LanguageTexts texts;
    std::string error;
    ASSERT_TRUE(texts.LoadText(kEnglish, &error)) << error;
    EXPECT_EQ(texts.LanguageName(), "English");
    EXPECT_EQ(texts.Count(), 4u);
    EXPECT_EQ(texts.Text("message_text_5"), "Name \"taken\" & more");
    EXPECT_EQ(texts.Text("spaced"), "  two  words ");
    EXPECT_EQ(texts.Text("empty"), "");
    EXPECT_FALSE(texts.Text("message_text_99"));
    EXPECT_EQ(ui::TextOrKey(&texts, "light_mode_off"), "Off");
    EXPECT_EQ(ui::TextOrKey(&texts, "message_text_99"), "message_text_99");
}

TEST(LanguageTexts, ADamagedFileIsRefusedWholeAndTheOldLanguageStays) {
    LanguageTexts texts;
    ASSERT_TRUE(texts.LoadText(kEnglish));
    const std::vector<std::string> damaged = {
        "",
        "not xml at all",
        R"(<texts><text id="a">A</text></texts>)",
        R"(<language><text id="a">A</text><text id="a">again</text></language>)",
        R"(<language><text>no id</text></language>)",
        R"(<language><text id="">empty id</text></language>)",
        "<language><text id=\"" + std::string(kMaxLanguageKeyBytes + 1, 'k') + "\">long</text></language>",
        R"(<language><text id="a">bold <b>part</b></text></language>)",
        R"(<language><txt id="a">typo</txt></language>)",
        R"(<language>stray words<text id="a">A</text></language>)",
        R"(<language><text id="a">unclosed</language>)",
    };
    for (const std::string& text : damaged) {
        std::string error;
        EXPECT_FALSE(texts.LoadText(text, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    EXPECT_EQ(texts.LanguageName(), "English");
    EXPECT_EQ(texts.Text("light_mode_off"), "Off");
}

TEST(LanguageTexts, InvalidUtf8IsMadeSafe) {
    LanguageTexts texts;
    ASSERT_TRUE(texts.LoadText("<language><text id=\"a\">ok\xFF\xFEok</text></language>"));
    EXPECT_EQ(texts.Text("a"), "ok\xEF\xBF\xBD\xEF\xBF\xBDok");
}

TEST(LanguageTexts, ANumberFormatNeverInterpretsOtherConversions) {
    EXPECT_EQ(FormatTextWithNumber("%d events too many", 12), "12 events too many");
    EXPECT_EQ(FormatTextWithNumber("100%% full, %d over, %d", -3), "100% full, -3 over, %d");
    EXPECT_EQ(FormatTextWithNumber("%s %n %x %", 5), "%s %n %x %");
    EXPECT_EQ(FormatTextWithNumber("", 5), "");
}

TEST(LanguageTable, EntriesKeepTheirPositionsAndUnknownIdsPickTheFirst) {
    const auto table = LanguageTableOf(ParseRaw(R"({"Language": [
        {"Language_ID": 2052, "Language_name": "zh_CN", "Language_file": "lan_cn.xml", "Language_text": "cn"},
        "damaged",
        {"Language_ID": "1033", "Language_file": "x.xml"},
        {"Language_ID": 1033, "Language_name": "en", "Language_file": "lan_en.xml", "Language_text": "en"}]})"));
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[0].name, "zh_CN");
    EXPECT_EQ(table[1].id, -1);
    EXPECT_EQ(table[2].id, -1);
    EXPECT_EQ(LanguageIndexOf(table, 1033), 3);
    EXPECT_EQ(LanguageIndexOf(table, 2052), 0);
    EXPECT_EQ(LanguageIndexOf(table, kDefaultLanguageId), 0);
    EXPECT_EQ(LanguageIndexOf({}, 1033), 0);
    EXPECT_TRUE(LanguageTableOf(ParseRaw(R"({"Language": {"Language_ID": 1}})")).empty());
}

TEST(LanguageTable, LoadingALanguageReadsItsFileFromTheSkinFolder) {
    TempFolder folder;
    WriteRaw(folder.Path("Language.config"), R"({"Language": [
        {"Language_ID": 1, "Language_file": "lan_a.xml"},
        {"Language_ID": 2, "Language_file": "../outside.xml"},
        {"Language_ID": 3, "Language_file": "missing.xml"}]})");
    WriteRaw(folder.Path("lan_a.xml"), R"(<language name="A"><text id="k">A text</text></language>)");
    WriteRaw(folder.Path("outside.xml"), R"(<language name="B"><text id="k">B text</text></language>)");
    LanguageTexts texts;
    std::string error;
    ASSERT_TRUE(LoadLanguage(texts, folder.Path() + "/", folder.Path(), 0, &error)) << error;
    EXPECT_EQ(texts.Text("k"), "A text");
    // A file outside the skin folder, a missing file and a missing entry change nothing.
    for (int index : {1, 2, 3, -1}) {
        EXPECT_FALSE(LoadLanguage(texts, folder.Path() + "/", folder.Path(), index, &error)) << index;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(texts.Text("k"), "A text");
    EXPECT_FALSE(LoadLanguage(texts, folder.Path("nowhere/"), folder.Path(), 0));
}

} // namespace
} // namespace velkor
