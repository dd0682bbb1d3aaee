#include "profiles/Hs6533Profiledata.h"
#include "profiles/KeyboardProfiledata.h"
#include "profiles/MouseProfiledata.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace velkor {
namespace {

using test::ParseRaw;
using test::TempFolder;
using test::WriteRaw;

template <typename Data> Data WithProfile(const std::string& profileJson) {
    Data data;
    data.SetActiveDocument(ParseRaw(profileJson));
    return data;
}

// --- LightInfo and AudioLightInfo ------------------------------------------

TEST(LightInfoSection, AbsentReadsAsFourteenZeroBytes) {
    CBasicProfiledata data;
    EXPECT_EQ(data.ReadLightInfo(), LightInfoRecord{});
    data = WithProfile<CBasicProfiledata>("{}");
    EXPECT_EQ(data.ReadLightInfo(), LightInfoRecord{});
}

TEST(LightInfoSection, ReadsEveryMemberAndMultiColorTwoAsOne) {
    auto data = WithProfile<CBasicProfiledata>(
        R"({"LightInfo":{"SelectItem":4,"Light":3,"Speed":2,"Fx":1,"MultiColor":2,"Red":10,"Green":20,
            "Blue":30,"ZZCCLedMode":5,"CustomGroup":6,"OldLedmode":7}})");
    const LightInfoRecord r = data.ReadLightInfo();
    EXPECT_EQ(r.selectItem, 4);
    EXPECT_EQ(r.light, 3);
    EXPECT_EQ(r.speed, 2);
    EXPECT_EQ(r.fx, 1);
    EXPECT_EQ(r.multiColor, 1);
    EXPECT_EQ(r.red, 10);
    EXPECT_EQ(r.green, 20);
    EXPECT_EQ(r.blue, 30);
    EXPECT_EQ(r.ledMode, 5);
    EXPECT_EQ(r.customGroup, 6);
    EXPECT_EQ(r.oldLedMode, 7);
}

TEST(LightInfoSection, ByteFieldsKeepTheLowEightBitsAndRealsAreTruncated) {
    auto data = WithProfile<CBasicProfiledata>(
        R"({"LightInfo":{"SelectItem":257,"Red":-1,"Green":4294967298,"Blue":9.9,"Light":true,"MultiColor":0.5}})");
    const LightInfoRecord r = data.ReadLightInfo();
    EXPECT_EQ(r.selectItem, 1);
    EXPECT_EQ(r.red, 255);
    EXPECT_EQ(r.green, 2);
    EXPECT_EQ(r.blue, 9);
    EXPECT_EQ(r.light, 1);
    EXPECT_EQ(r.multiColor, 1);
}

TEST(LightInfoSection, WriterReplacesTheWholeObject) {
    auto data = WithProfile<CBasicProfiledata>(R"({"LightInfo":{"Extra":1,"Red":5},"Other":2})");
    LightInfoRecord r;
    r.red = 9;
    r.multiColor = 1;
    data.WriteLightInfo(r);
    const Json::Value& section = data.ActiveDocument()["LightInfo"];
    EXPECT_FALSE(section.isMember("Extra"));
    EXPECT_EQ(section.size(), 11u);
    EXPECT_EQ(section["Red"].asInt(), 9);
    EXPECT_EQ(data.ActiveDocument()["Other"].asInt(), 2);
    EXPECT_EQ(data.ReadLightInfo(), r);
}

TEST(AudioLightInfoSection, ReadsFlagsAsBooleansAndWritesTheWholeObject) {
    auto data = WithProfile<CBasicProfiledata>(
        R"({"AudioLightInfo":{"AudioMode":2,"BkColorR":1,"FgColorB":300,"7ColorFlags":5,"ColorTypeFlags":0,"X":1}})");
    AudioLightInfoRecord r = data.ReadAudioLightInfo();
    EXPECT_EQ(r.audioMode, 2);
    EXPECT_EQ(r.bkRed, 1);
    EXPECT_EQ(r.fgBlue, 44);
    EXPECT_EQ(r.sevenColorFlags, 1);
    EXPECT_EQ(r.colorTypeFlags, 0);
    data.WriteAudioLightInfo(r);
    EXPECT_FALSE(data.ActiveDocument()["AudioLightInfo"].isMember("X"));
    EXPECT_EQ(data.ActiveDocument()["AudioLightInfo"].size(), 9u);
    EXPECT_EQ(data.ReadAudioLightInfo(), r);
}

// --- LightList and custom effects -------------------------------------------

TEST(LightListSection, NullElementsGiveEntriesWithoutThePresentFlag) {
    auto data = WithProfile<CBasicProfiledata>(
        R"({"LightList":[{"LEDREGMode":2,"LEDDirection":3,"red":7},null,{}]})");
    const auto list = data.ReadLightList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].mode, 2);
    EXPECT_EQ(list[0].direction, 1);
    EXPECT_EQ(list[0].red, 7);
    EXPECT_EQ(list[0].present, 1);
    EXPECT_EQ(list[1], LightListEntry{});
    EXPECT_EQ(list[2].present, 1);
    EXPECT_TRUE(WithProfile<CBasicProfiledata>("{}").ReadLightList().empty());
}

class LedEffects : public ::testing::Test {
protected:
    void Configure(const std::string& guid, int selectItem) {
        Json::Value config;
        config["LightInfo"][0][selectItem]["Guid"] = guid;
        json.WriteJsonFile(config, folder.Path("ornic_light.config"));
        data.SetConfigPath(folder.Path("ornic_light.config"));
        data.LoadConfig(data.GetConfigPath());
        Json::Value profile;
        profile["LightInfo"]["SelectItem"] = selectItem;
        data.SetActiveDocument(profile);
        data.ReadLightInfo();
    }
    TempFolder folder;
    CJsonFileHelper json;
    CBasicProfiledata data;
};

TEST_F(LedEffects, StepsComeFromTheFileNamedByTheSelectedEffectsGuid) {
    WriteRaw(folder.Path("{A1-B2}.light"),
             R"({"LEDEffectList":[{"LEDREGMode":1,"red":2,"Time":100000,"Cyle":-3},null]})");
    Configure("{A1-B2}", 2);
    const auto steps = data.ReadLedEffectList();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].mode, 1);
    EXPECT_EQ(steps[0].red, 2);
    EXPECT_EQ(steps[0].time, 100000);
    EXPECT_EQ(steps[0].cycle, -3);
    EXPECT_EQ(steps[1], LedEffectStep{});
}

TEST_F(LedEffects, GuidThatWouldLeaveTheFolderIsRefused) {
    ::mkdir(folder.Path("sub").c_str(), 0700);
    WriteRaw(folder.Path("x.light"), R"({"LEDEffectList":[{"LEDREGMode":1}]})");
    Json::Value config;
    config["LightInfo"][0][0]["Guid"] = "../x";
    json.WriteJsonFile(config, folder.Path("sub/ornic_light.config"));
    data.SetConfigPath(folder.Path("sub/ornic_light.config"));
    data.LoadConfig(data.GetConfigPath());
    EXPECT_TRUE(data.ReadLedEffectList().empty());
}

TEST_F(LedEffects, NoConfigurationOrNoFileGivesAnEmptyList) {
    EXPECT_TRUE(data.ReadLedEffectList().empty());
    Configure("missing", 0);
    EXPECT_TRUE(data.ReadLedEffectList().empty());
}

// --- KeyList -----------------------------------------------------------------

TEST(KeyListSection, SplitsBothAssignmentsIntoThreeBytesWithTheKeyIndex) {
    auto data = WithProfile<CBasicProfiledata>(
        R"({"KeyList":[{"Assignment":1193046,"DefaultAssignment":2097152},)"
        R"({"Assignment":16777217,"DefaultAssignment":2097156},{"Assignment":-5}]})");
    const auto keys = data.ReadKeyList();
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].current.ToTriple(), (std::array<uint8_t, 3>{0x12, 0x34, 0x56}));
    EXPECT_EQ(keys[0].defaultFunction.ToTriple(), (std::array<uint8_t, 3>{0x20, 0x00, 0x00}));
    EXPECT_EQ(keys[1].current.code, 1);
    EXPECT_EQ(keys[1].defaultFunction.code, 1);
    // A value beyond 24 bits is damage: the key keeps its default function.
    EXPECT_EQ(keys[1].current.ToTriple(), (std::array<uint8_t, 3>{0x20, 0x00, 0x04}));
    EXPECT_EQ(keys[2].current.ToTriple(), (std::array<uint8_t, 3>{0, 0, 0}));
}

TEST(KeyListSection, WriterSetsOnlyAssignmentAndGrowsTheArray) {
    auto data =
        WithProfile<CBasicProfiledata>(R"({"KeyList":[{"Assignment":1,"DefaultAssignment":5,"Note":"x"}]})");
    std::vector<KeyListEntry> keys(3);
    keys[0].current = *KeyFunction::FromKeyListValue(0x200004, 0);
    keys[2].current = *KeyFunction::FromKeyListValue(0x700100, 2);
    data.WriteKeyList(keys);
    const Json::Value& stored = data.ActiveDocument()["KeyList"];
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0]["Assignment"].asInt(), 0x200004);
    EXPECT_EQ(stored[0]["DefaultAssignment"].asInt(), 5);
    EXPECT_EQ(stored[0]["Note"].asString(), "x");
    EXPECT_EQ(stored[2].getMemberNames(), std::vector<std::string>{"Assignment"});
    EXPECT_EQ(stored[2]["Assignment"].asInt(), 0x700100);
}

// --- Keyboard --------------------------------------------------------------

TEST(KeyboardSections, SystemReadsSixteenBitFieldsAndWritesMemberWise) {
    auto data = WithProfile<CKeyboardProfiledata>(
        R"({"SystemStages":{"Repeat":65537,"RepeatDelay":-1,"PollingRate":1000,"WheelMode":3,"Custom":1}})");
    KeyboardSystemRecord r = data.ReadKeyboardSystem();
    EXPECT_EQ(r.repeat, 1);
    EXPECT_EQ(r.repeatDelay, 65535);
    EXPECT_EQ(r.pollingRate, 1000);
    EXPECT_EQ(r.wheelMode, 3);
    r.winFlag = 1;
    data.WriteKeyboardSystem(r);
    EXPECT_EQ(data.ActiveDocument()["SystemStages"]["Custom"].asInt(), 1);
    EXPECT_EQ(data.ReadKeyboardSystem(), r);
}

TEST(KeyboardSections, MissingColourGroupIsFilledWithZeroColours) {
    auto data = WithProfile<CKeyboardProfiledata>(R"({"CustomLightMode":{"CustomLightModeGroupIndex":2}})");
    const auto colours = data.ReadCustomColors(2, 8);
    EXPECT_EQ(colours, std::vector<RgbaColour>(8));
    const Json::Value& group = data.ActiveDocument()["CustomLightMode"]["LightColorInfo"][2];
    ASSERT_EQ(group.size(), 8u);
    for (const Json::Value& colour : group) {
        EXPECT_EQ(colour["Red"].asInt() + colour["Green"].asInt() + colour["Blue"].asInt(), 0);
        EXPECT_TRUE(colour["Alpha"].isInt());
    }
    EXPECT_EQ(data.ActiveDocument()["CustomLightMode"]["CustomLightModeGroupIndex"].asInt(), 2);
}

TEST(KeyboardSections, StoredColoursAreKeptAndOnlyTheMissingOnesFilled) {
    auto data = WithProfile<CKeyboardProfiledata>(
        R"({"CustomLightMode":{"LightColorInfo":[[{"Red":1,"Green":2,"Blue":3,"Alpha":4},null]]}})");
    const Json::Value before = data.ActiveDocument();
    const auto colours = data.ReadCustomColors(0, 3);
    ASSERT_EQ(colours.size(), 3u);
    EXPECT_EQ(colours[0], (RgbaColour{1, 2, 3, 4}));
    EXPECT_EQ(colours[1], RgbaColour{});
    const Json::Value& group = data.ActiveDocument()["CustomLightMode"]["LightColorInfo"][0];
    EXPECT_EQ(group.size(), 3u);
    EXPECT_EQ(group[0], before["CustomLightMode"]["LightColorInfo"][0][0]);
    EXPECT_EQ(data.CustomColors(), colours);

    // A complete group is read without touching the document.
    const Json::Value filled = data.ActiveDocument();
    data.ReadCustomColors(0, 3);
    EXPECT_EQ(data.ActiveDocument(), filled);
}

TEST(KeyboardSections, ColourWriterAndGroupIndexRoundTrip) {
    CKeyboardProfiledata data;
    std::vector<RgbaColour> colours{{1, 2, 3, 4}, {5, 6, 7, 8}};
    ASSERT_TRUE(data.WriteCustomColors(4, colours));
    data.WriteCustomGroupIndex(4);
    EXPECT_EQ(data.ReadCustomColors(4, 2), colours);
    EXPECT_EQ(data.ReadCustomGroupIndex(), 4);
}

TEST(KeyboardSections, ColourRequestsOutOfBoundsChangeNothing) {
    CKeyboardProfiledata data;
    EXPECT_TRUE(data.ReadCustomColors(-1, 8).empty());
    EXPECT_TRUE(data.ReadCustomColors(CKeyboardProfiledata::kMaxColourGroups, 8).empty());
    EXPECT_TRUE(data.ReadCustomColors(0, CKeyboardProfiledata::kMaxColoursPerGroup + 1).empty());
    EXPECT_FALSE(data.WriteCustomColors(2000000000, {RgbaColour{}}));
    EXPECT_TRUE(data.ActiveDocument().isNull());
}

// --- Mouse -----------------------------------------------------------------

TEST(MouseSections, DpiStagesMergeIntoTheLongerMemberList) {
    CMouseProfiledata data;
    std::vector<DpiStage> five(5);
    for (uint8_t i = 0; i < 5; ++i) {
        five[i].dpiX = static_cast<uint16_t>(1000 + i);
    }
    data.WriteDpiStages(five);
    data.SetActiveDocument(ParseRaw(
        R"({"DPIStages":{"StageActive":1,"StageDPIs":[{"StageDPIX":400,"StageDPIY":70000},{"StageDPIX":800}]}})"));
    const auto stages = data.ReadDpiStages();
    ASSERT_EQ(stages.size(), 5u);
    // Unary plus reads the packed members by value (gtest would bind a misaligned reference).
    EXPECT_EQ(+stages[0].dpiX, 400);
    EXPECT_EQ(+stages[0].dpiY, 70000 - 65536);
    EXPECT_EQ(+stages[1].dpiX, 800);
    EXPECT_EQ(+stages[2].dpiX, 1002);
    EXPECT_EQ(+stages[4].dpiX, 1004);
    EXPECT_EQ(data.GetActiveDpiStage(), 1);
}

TEST(MouseSections, DpiStagesAppendBeyondTheMemberListAndAbsenceChangesNothing) {
    auto data = WithProfile<CMouseProfiledata>(
        R"({"DPIStages":{"StageActive":2,"StageDPIs":[{},{},{"StageXY":1}]}})");
    EXPECT_EQ(data.ReadDpiStages().size(), 3u);
    data.SetActiveDocument(ParseRaw("{}"));
    EXPECT_EQ(data.ReadDpiStages().size(), 3u);
    EXPECT_EQ(data.GetActiveDpiStage(), 2);
}

TEST(MouseSections, DpiWritersWorkMemberWise) {
    auto data = WithProfile<CMouseProfiledata>(R"({"DPIStages":{"Keep":1,"StageDPIs":[{"Own":1},{},{}]}})");
    std::vector<DpiStage> one(1);
    one[0].dpiX = 1600;
    data.WriteDpiStages(one);
    data.WriteActiveDpiStage(0);
    const Json::Value& section = data.ActiveDocument()["DPIStages"];
    EXPECT_EQ(section["Keep"].asInt(), 1);
    EXPECT_EQ(section["StageDPIs"].size(), 3u);
    EXPECT_EQ(section["StageDPIs"][0]["Own"].asInt(), 1);
    EXPECT_EQ(section["StageDPIs"][0]["StageDPIX"].asInt(), 1600);
    EXPECT_EQ(section["StageActive"].asInt(), 0);
}

TEST(MouseSections, ReportStageIsReadOnlyWithSystemStages) {
    auto data = WithProfile<CMouseProfiledata>(R"({"ReportStages":{"StageActive":3}})");
    EXPECT_EQ(data.ReadMouseSystem(), MouseSystemRecord{});
    data.SetActiveDocument(ParseRaw(R"({"SystemStages":{"MouseSpeed":10,"ScorllPage":2,"WheelScorlllinse":3},
                                        "ReportStages":{"StageActive":3}})"));
    MouseSystemRecord r = data.ReadMouseSystem();
    EXPECT_EQ(r.mouseSpeed, 10);
    EXPECT_EQ(r.scrollPage, 2);
    EXPECT_EQ(r.wheelScrollLines, 3);
    EXPECT_EQ(r.reportStage, 3);
    data.SetActiveDocument(ParseRaw(R"({"SystemStages":{"MouseSpeed":10}})"));
    EXPECT_EQ(data.ReadMouseSystem().reportStage, 0);
}

TEST(MouseSections, SystemWriterFillsBothSections) {
    CMouseProfiledata data;
    MouseSystemRecord r{500, 10, 1, 2, 3, 4};
    data.WriteMouseSystem(r);
    EXPECT_EQ(data.ActiveDocument()["ReportStages"]["StageActive"].asInt(), 4);
    EXPECT_EQ(data.ReadMouseSystem(), r);
}

TEST(MouseSections, CorrectInfoReadsNamesAsValidUtf8) {
    auto data = WithProfile<CMouseProfiledata>(
        "{\"CorrectInfo\":[{\"CorrectPixThresh\":1,\"CorrectMinSq\":2,\"CorrectSelect\":3,"
        "\"CorrectName\":\"gl\xc3\xa4s\xff\"}]}");
    const auto entries = data.ReadCorrectInfo();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].pixThresh, 1);
    EXPECT_EQ(entries[0].select, 3);
    EXPECT_EQ(entries[0].name, "gl\xc3\xa4s\xef\xbf\xbd");
}

// --- Headset -----------------------------------------------------------------

TEST(HeadsetSections, SystemReadsThirtyTwoBitFields) {
    auto data = WithProfile<CHs6533Profiledata>(
        R"({"SystemSetStages":{"EqType":13,"MicInValue":-5,"MicMoniterValue":4294967297,"CustomEqSeletIndex":2}})");
    HeadsetSystemRecord r = data.ReadHeadsetSystem();
    EXPECT_EQ(r.eqType, 13);
    EXPECT_EQ(r.micInValue, -5);
    EXPECT_EQ(r.micMonitorValue, 1);
    EXPECT_EQ(r.customEqSelect, 2);
    r.magicType = 7;
    data.WriteHeadsetSystem(r);
    EXPECT_EQ(data.ReadHeadsetSystem(), r);
}

TEST(HeadsetSections, EqualiserTypesMapToRows) {
    EXPECT_EQ(CHs6533Profiledata::EqRowOf(0), 1);
    EXPECT_EQ(CHs6533Profiledata::EqRowOf(1), 1);
    EXPECT_EQ(CHs6533Profiledata::EqRowOf(12), 12);
    EXPECT_EQ(CHs6533Profiledata::EqRowOf(13), -1);
    EXPECT_EQ(CHs6533Profiledata::EqRowOf(14), 1);
    EXPECT_EQ(CHs6533Profiledata::EqRowOf(-4), 1);

    Json::Value profile;
    for (int row = 0; row <= 12; ++row) {
        for (int band = 0; band < 10; ++band) {
            profile["EQHzValueInfo"][row][band]["value"] = row * 100 + band;
        }
    }
    CHs6533Profiledata data;
    data.SetActiveDocument(profile);
    EXPECT_EQ(data.ReadEqValues(5)[3], 503);
    EXPECT_EQ(data.ReadEqValues(0)[9], 109);
    EXPECT_EQ(data.ReadEqValues(14)[0], 100);
    EXPECT_TRUE(data.ReadEqValues(13).empty());
    EXPECT_EQ(data.ActiveDocument(), profile);
}

TEST(HeadsetSections, MissingEqRowReadsAsZerosAndIsFilledIn) {
    CHs6533Profiledata data;
    data.SetActiveDocument(ParseRaw("{}"));
    EXPECT_EQ(data.ReadEqValues(5), std::vector<int32_t>(10, 0));
    const Json::Value& row = data.ActiveDocument()["EQHzValueInfo"][5];
    ASSERT_EQ(row.size(), 10u);
    for (const Json::Value& band : row) {
        EXPECT_EQ(band, ParseRaw(R"({"value":0})"));
    }
}

TEST(HeadsetSections, ShortEqRowKeepsItsBandsAndGetsTheRestFilled) {
    auto data = WithProfile<CHs6533Profiledata>(R"({"EQHzValueInfo":[null,[{"value":4},{"value":-2}]]})");
    std::vector<int32_t> expected(10, 0);
    expected[0] = 4;
    expected[1] = -2;
    EXPECT_EQ(data.ReadEqValues(1), expected);
    EXPECT_EQ(data.ActiveDocument()["EQHzValueInfo"][1].size(), 10u);
}

TEST(HeadsetSections, EqWriterWritesTheRowAndSkipsTypeThirteen) {
    CHs6533Profiledata data;
    EqBands bands{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    data.WriteEqValues(13, bands);
    EXPECT_TRUE(data.ActiveDocument().isNull());
    data.WriteEqValues(0, bands);
    EXPECT_EQ(data.ReadEqValues(14), std::vector<int32_t>(bands.begin(), bands.end()));
}

TEST(HeadsetSections, CustomPresetsRoundTripAndNamesAreReplacedWhole) {
    auto data =
        WithProfile<CHs6533Profiledata>(R"({"CustomEQNameInfo":[{"Name":"old","Extra":1},{"Name":"two"}]})");
    EXPECT_EQ(data.ReadCustomEqNames(), (std::vector<std::string>{"old", "two"}));
    data.WriteCustomEqNames({"Bass", "Vocal \xe2\x99\xaa"});
    const Json::Value& names = data.ActiveDocument()["CustomEQNameInfo"];
    ASSERT_EQ(names.size(), 2u);
    EXPECT_FALSE(names[0].isMember("Extra"));
    EXPECT_EQ(data.ReadCustomEqNames(), (std::vector<std::string>{"Bass", "Vocal \xe2\x99\xaa"}));

    EqBands bands{-1, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(data.WriteCustomEqValues(3, bands));
    EXPECT_EQ(data.ReadCustomEqValues(3), std::vector<int32_t>(bands.begin(), bands.end()));
    EXPECT_EQ(data.ReadCustomEqValues(0), std::vector<int32_t>(10, 0));
    EXPECT_EQ(data.ActiveDocument()["CustomEQHzValueInfo"][0].size(), 10u);
}

TEST(HeadsetSections, CustomPresetIndexOutOfBoundsChangesNothing) {
    CHs6533Profiledata data;
    EXPECT_TRUE(data.ReadCustomEqValues(-1).empty());
    EXPECT_TRUE(data.ReadCustomEqValues(2000000000).empty());
    EXPECT_FALSE(data.WriteCustomEqValues(CHs6533Profiledata::kMaxCustomEqPresets, EqBands{}));
    EXPECT_TRUE(data.ActiveDocument().isNull());
}

} // namespace
} // namespace velkor
