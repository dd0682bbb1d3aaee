// The language of the user interface: the stored choice, the typeface rule,
// applying a language live, and what a broken language leaves untouched.
#include "MainWndFixture.h"
#include "app/LanguageFonts.h"
#include "app/StartLanguage.h"
#include "profiles/SettingsFile.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

struct StartCase {
    const char* settings; // the settings file's text; null: no file
    const char* locale;
    int index;
};

class StartIndexTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartIndexTest, TheStoredChoiceElseTheDesktopsLocale) {
    const StartCase& given = GetParam();
    ProgramFolder folder;
    const std::string path = folder.Path() + "/VELKOR01/settings.json";
    if (given.settings != nullptr) {
        folder.Write("VELKOR01/settings.json", given.settings);
    }
    const std::vector<LanguageEntry> table = {{2052, "zh_CN", "lan_cn.xml", "language_name_zh_cn"},
                                              {1033, "en", "lan_en.xml", "language_name_en"}};
    EXPECT_EQ(ReadLanguageIndex(path, table, given.locale), given.index);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartIndexTest,
    ::testing::Values(StartCase{R"({"LANGUAGE": 1033})", "zh_CN.UTF-8", 1},
                      StartCase{R"({"LANGUAGE": 2052, "UpdateServer": "x"})", "en_US.UTF-8", 0},
                      StartCase{nullptr, "zh_CN.UTF-8", 0}, StartCase{nullptr, "de_DE.UTF-8", 1},
                      StartCase{"{}", "zh_TW", 0},
                      // An identifier the table lacks (a later version's language) and
                      // a value that is no whole number fall to the locale.
                      StartCase{R"({"LANGUAGE": 1041})", "en_GB", 1},
                      StartCase{R"({"LANGUAGE": "1033"})", "zh_CN", 0}, StartCase{"not json", "zh_CN", 0}));

TEST(LanguageChoice, WritingCreatesTheFolderAndKeepsTheOtherMembers) {
    ProgramFolder folder;
    TraceCapture traces;
    const std::string fresh = folder.Path() + "/new/VELKOR01/settings.json";
    ASSERT_TRUE(WriteLanguageId(fresh, 1033));
    EXPECT_EQ(ReadStoredLanguageId(fresh), 1033);
    EXPECT_EQ(traces.Count("写成功！"), 1);

    const std::string kept =
        folder.Write("VELKOR01/settings.json", R"({"UpdateServer": "https://u/api/", "Own": [1]})");
    ASSERT_TRUE(WriteLanguageId(kept, 2052));
    const Json::Value settings = ReadSettings(kept);
    EXPECT_EQ(settings["LANGUAGE"].asInt(), 2052);
    EXPECT_EQ(SettingText(settings, "UpdateServer"), "https://u/api/");
    EXPECT_EQ(settings["Own"][0].asInt(), 1);
}

struct FaceCase {
    int from;
    int to;
    const char* face; // null: the font set stays
};

class TypefaceRuleTest : public ::testing::TestWithParam<FaceCase> {};

TEST_P(TypefaceRuleTest, OnlyScriptsWithFacesOfTheirOwnRebuildTheFontSet) {
    const FaceCase& given = GetParam();
    const std::optional<std::string> face = TypefaceChange(given.to, given.from, "");
    if (given.face == nullptr) {
        EXPECT_FALSE(face.has_value()) << *face;
    } else {
        EXPECT_EQ(face.value_or("(stays)"), given.face);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TypefaceRuleTest,
                         ::testing::Values(FaceCase{3, 4, nullptr}, FaceCase{1, 7, nullptr},
                                           FaceCase{0, 4, "Nightjar"}, FaceCase{4, 15, "Noto Sans Thai"},
                                           FaceCase{15, 3, "Nightjar"}, FaceCase{2, 1, "Nightjar"},
                                           FaceCase{-1, 1, "Nightjar"},
                                           FaceCase{1, 2, "Noto Sans CJK TC Regular"},
                                           FaceCase{1, 0, "Noto Sans CJK SC"}));

TEST(TypefaceRule, IndexZeroTakesTheProgramsOwnChineseFaceWhenLoaded) {
    EXPECT_EQ(TypefaceFor(0, "Own Chinese"), "Own Chinese");
    EXPECT_EQ(TypefaceFor(0, ""), "Noto Sans CJK SC");
}

// A table of 16 languages alternating between the two shipped files.
std::string SixteenLanguages() {
    std::string text = R"({"Language": [)";
    for (int i = 0; i < 16; ++i) {
        text += std::string(i == 0 ? "" : ",") + R"({"Language_ID": )" + std::to_string(3000 + i) +
                R"(, "Language_name": "l)" + std::to_string(i) + R"(", "Language_file": ")" +
                (i % 2 == 0 ? "lan_cn.xml" : "lan_en.xml") + R"(", "Language_text": "language_name_en"})";
    }
    return text + "]}";
}

class LanguageTest : public MainWndFixture {
protected:
    bool StartInLanguage(int index, bool withDevices = false) {
        MainWndServices services = Services(withDevices, index);
        WithLanguages(services);
        return StartWith(services);
    }
    std::string LightStatus() const {
        return m_main->GetWindow()->FindControl("control_light_status")->DisplayText();
    }
    std::optional<int64_t> Stored() const { return ReadStoredLanguageId(SettingsPath()); }
};

TEST_F(LanguageTest, TheFontSetFollowsTheScriptThroughSixteenLanguages) {
    m_folder.Write("DefaultData/Language.config", SixteenLanguages());
    ASSERT_TRUE(StartInLanguage(3));
    ui::Window& window = *m_main->GetWindow();
    EXPECT_EQ(window.DefaultFont(), (ui::FontInfo{"Nightjar", 10}));
    EXPECT_EQ(window.Font(1), (ui::FontInfo{"Nightjar", 14, false, true}));
    EXPECT_EQ(window.Font(50), (ui::FontInfo{"Nightjar", 18, true}));
    EXPECT_EQ(window.Font(11)->pixelSize, 28);

    window.AddFont(0, ui::FontInfo{"Marker", 15}); // shows whether the set is rebuilt
    ASSERT_TRUE(m_main->Language().Apply(4));
    EXPECT_EQ(window.Font(0)->family, "Marker") << "3 -> 4 keeps the set";
    EXPECT_EQ(Stored(), 3004);
    ASSERT_TRUE(m_main->Language().Apply(0));
    EXPECT_EQ(window.Font(0)->family, "Noto Sans CJK SC") << "no own Chinese face in this test";
    ASSERT_TRUE(m_main->Language().Apply(4));
    EXPECT_EQ(window.DefaultFont().family, "Nightjar");
    ASSERT_TRUE(m_main->Language().Apply(15));
    EXPECT_EQ(window.Font(50), (ui::FontInfo{"Noto Sans Thai", 18, true}));
    EXPECT_EQ(m_main->Language().Typeface(), "Noto Sans Thai");
}

TEST_F(LanguageTest, TheCurrentLanguageAgainDoesNothingNotEvenAWrite) {
    ASSERT_TRUE(StartInLanguage(1));
    EXPECT_EQ(LightStatus(), "Lighting: on");
    EXPECT_EQ(Stored(), 1033) << "the start applies and stores the language";
    std::filesystem::remove(SettingsPath());
    const int reloads = m_toolkit->TextReloadCount();
    m_main->DeviceMessage(CMainWnd::kMessageLanguageChanged, 1, 0);
    EXPECT_EQ(m_toolkit->TextReloadCount(), reloads);
    EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
}

enum class Breakage {
    IndexTooLarge,
    NegativeIndex,
    HugeWParam,
    TableMissing,
    TableShort,
    FileDamaged,
    NoIdentifier
};

class BrokenLanguageTest : public LanguageTest, public ::testing::WithParamInterface<Breakage> {};

TEST_P(BrokenLanguageTest, ChangesNothingAndTheRepairedLanguageCanBeChosen) {
    ASSERT_TRUE(StartInLanguage(0));
    const std::string table = m_folder.Path() + "/DefaultData/Language.config";
    const std::string english = m_folder.Path() + "/langs/lan_en.xml";
    const std::string goodTable = [&] {
        std::ifstream in(table);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    int64_t wParam = 1;
    switch (GetParam()) {
    case Breakage::IndexTooLarge:
        wParam = 2;
        break;
    case Breakage::NegativeIndex:
        wParam = -1;
        break;
    case Breakage::HugeWParam:
        wParam = int64_t(1) << 40;
        break;
    case Breakage::TableMissing:
        std::filesystem::remove(table);
        break;
    case Breakage::TableShort:
        m_folder.Write(
            "DefaultData/Language.config",
            R"({"Language": [{"Language_ID": 2052, "Language_name": "zh_CN", "Language_file": "lan_cn.xml"}]})");
        break;
    case Breakage::FileDamaged:
        m_folder.Write("langs/lan_en.xml", "<language><text>no id</text>");
        break;
    case Breakage::NoIdentifier:
        m_folder.Write(
            "DefaultData/Language.config",
            R"({"Language": [{"Language_ID": 2052, "Language_file": "lan_cn.xml"}, {"Language_file": "lan_en.xml"}]})");
        break;
    }
    const std::string settingsBefore =
        m_folder.Write("config/VELKOR01/settings.json", R"({"LANGUAGE": 2052})");
    const ui::FontInfo fontBefore = m_main->GetWindow()->DefaultFont();
    const int reloads = m_toolkit->TextReloadCount();

    m_main->DeviceMessage(CMainWnd::kMessageLanguageChanged, wParam, 0);
    EXPECT_EQ(m_main->Language().Index(), 0);
    EXPECT_EQ(LightStatus(), "控制灯光");
    EXPECT_EQ(m_main->GetWindow()->DefaultFont(), fontBefore);
    EXPECT_EQ(m_toolkit->TextReloadCount(), reloads);
    EXPECT_EQ(Stored(), 2052);

    // Repaired: the same language is taken (it was never made current).
    m_folder.Write("DefaultData/Language.config", goodTable);
    std::filesystem::copy_file(SourceSkin() / "lan_en.xml", english,
                               std::filesystem::copy_options::overwrite_existing);
    m_main->DeviceMessage(CMainWnd::kMessageLanguageChanged, 1, 0);
    EXPECT_EQ(m_main->Language().Index(), 1);
    EXPECT_EQ(LightStatus(), "Lighting: on");
    EXPECT_EQ(Stored(), 1033);
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenLanguageTest,
                         ::testing::Values(Breakage::IndexTooLarge, Breakage::NegativeIndex,
                                           Breakage::HugeWParam, Breakage::TableMissing, Breakage::TableShort,
                                           Breakage::FileDamaged, Breakage::NoIdentifier));

} // namespace
} // namespace velkor::test
