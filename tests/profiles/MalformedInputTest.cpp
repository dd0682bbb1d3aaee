// Profiles with members of the wrong JSON type, numbers out of range and
// documents of the wrong shape: every reader falls back to its section's
// default, every writer still produces a well-formed section, nothing throws.
#include "profiles/Hs6533Profiledata.h"
#include "profiles/JsonFields.h"
#include "profiles/KeyboardProfiledata.h"
#include "profiles/MouseProfiledata.h"
#include "profiles/ProfileSections.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace velkor {
namespace {

using test::ParseRaw;
using test::ProfileFile;
using test::ReadRawJson;
using test::TempFolder;
using test::WriteRaw;

struct MalformedCase {
    const char* name;
    const char* profile;
    // Returns true when the reader gave the section's default.
    std::function<bool(const Json::Value& profile)> readsDefault;
};

template <typename Data> Data Over(const Json::Value& profile) {
    Data data;
    data.SetActiveDocument(profile);
    return data;
}

bool LightInfoDefault(const Json::Value& p) {
    return Over<CBasicProfiledata>(p).ReadLightInfo() == LightInfoRecord{};
}
bool AudioDefault(const Json::Value& p) {
    return Over<CBasicProfiledata>(p).ReadAudioLightInfo() == AudioLightInfoRecord{};
}
bool LightListDefault(const Json::Value& p) {
    return Over<CBasicProfiledata>(p).ReadLightList().empty();
}
bool KeyListDefault(const Json::Value& p) {
    return Over<CBasicProfiledata>(p).ReadKeyList().empty();
}
bool KeyboardSystemDefault(const Json::Value& p) {
    return Over<CKeyboardProfiledata>(p).ReadKeyboardSystem() == KeyboardSystemRecord{};
}
bool ColoursDefault(const Json::Value& p) {
    return Over<CKeyboardProfiledata>(p).ReadCustomColors(0, 2) == std::vector<RgbaColour>(2);
}
bool GroupIndexDefault(const Json::Value& p) {
    return Over<CKeyboardProfiledata>(p).ReadCustomGroupIndex() == 0;
}
bool MouseSystemDefault(const Json::Value& p) {
    return Over<CMouseProfiledata>(p).ReadMouseSystem() == MouseSystemRecord{};
}
bool DpiUnchanged(const Json::Value& p) {
    CMouseProfiledata data;
    data.WriteDpiStages(std::vector<DpiStage>(2, DpiStage{1, 1, 800, 800, 1, 2, 3}));
    data.WriteActiveDpiStage(1);
    data.SetActiveDocument(p);
    return data.ReadDpiStages() == std::vector<DpiStage>(2, DpiStage{1, 1, 800, 800, 1, 2, 3}) &&
           data.GetActiveDpiStage() == 1;
}
bool CorrectDefault(const Json::Value& p) {
    return Over<CMouseProfiledata>(p).ReadCorrectInfo().empty();
}
bool HeadsetDefault(const Json::Value& p) {
    return Over<CHs6533Profiledata>(p).ReadHeadsetSystem() == HeadsetSystemRecord{};
}
bool EqDefault(const Json::Value& p) {
    return Over<CHs6533Profiledata>(p).ReadEqValues(1) == std::vector<int32_t>(10, 0);
}
bool EqNamesDefault(const Json::Value& p) {
    return Over<CHs6533Profiledata>(p).ReadCustomEqNames().empty();
}
bool CustomEqDefault(const Json::Value& p) {
    return Over<CHs6533Profiledata>(p).ReadCustomEqValues(0) == std::vector<int32_t>(10, 0);
}

const MalformedCase kCases[] = {
    {"LightInfoString", R"({"LightInfo":"red"})", LightInfoDefault},
    {"LightInfoArray", R"({"LightInfo":[1,2]})", LightInfoDefault},
    {"LightInfoStringMember", R"({"LightInfo":{"SelectItem":3,"Red":"12"}})", LightInfoDefault},
    {"LightInfoObjectFlag", R"({"LightInfo":{"SelectItem":3,"MultiColor":{}}})", LightInfoDefault},
    {"LightInfoHugeReal", R"({"LightInfo":{"SelectItem":3,"Red":1e300}})", LightInfoDefault},
    {"LightInfoBeyond64Bits", R"({"LightInfo":{"SelectItem":3,"Red":18446744073709551616}})",
     LightInfoDefault},
    {"AudioMember", R"({"AudioLightInfo":{"AudioMode":[1],"BkColorR":4}})", AudioDefault},
    {"AudioFlagString", R"({"AudioLightInfo":{"7ColorFlags":"yes"}})", AudioDefault},
    {"LightListObject", R"({"LightList":{"0":{}}})", LightListDefault},
    {"LightListNumberElement", R"({"LightList":[{},5]})", LightListDefault},
    {"LightListMember", R"({"LightList":[{"red":"x"}]})", LightListDefault},
    {"KeyListString", R"({"KeyList":"keys"})", KeyListDefault},
    {"KeyListArrayElement", R"({"KeyList":[{"Assignment":1},[1]]})", KeyListDefault},
    {"KeyListStringMember", R"({"KeyList":[{"Assignment":"1"}]})", KeyListDefault},
    {"KeyboardSystemMember", R"({"SystemStages":{"Repeat":"fast","WheelMode":1}})", KeyboardSystemDefault},
    {"KeyboardSystemNumber", R"({"SystemStages":7})", KeyboardSystemDefault},
    {"CustomLightModeString", R"({"CustomLightMode":"x"})", ColoursDefault},
    {"LightColorInfoObject", R"({"CustomLightMode":{"LightColorInfo":{"0":[]}}})", ColoursDefault},
    {"ColourGroupNumber", R"({"CustomLightMode":{"LightColorInfo":[3]}})", ColoursDefault},
    {"ColourMemberString", R"({"CustomLightMode":{"LightColorInfo":[[{"Red":"x"},7]]}})", ColoursDefault},
    {"GroupIndexString", R"({"CustomLightMode":{"CustomLightModeGroupIndex":"2"}})", GroupIndexDefault},
    {"GroupIndexInString", R"({"CustomLightMode":"CustomLightModeGroupIndex"})", GroupIndexDefault},
    {"MouseSystemMember", R"({"SystemStages":{"MouseSpeed":4,"DoubleClickTime":"x"}})", MouseSystemDefault},
    {"MouseSystemArray", R"({"SystemStages":[1],"ReportStages":{"StageActive":2}})", MouseSystemDefault},
    {"DpiNumber", R"({"DPIStages":5})", DpiUnchanged},
    {"DpiActiveString", R"({"DPIStages":{"StageActive":"1","StageDPIs":[{}]}})", DpiUnchanged},
    {"DpiListObject", R"({"DPIStages":{"StageActive":0,"StageDPIs":{"a":1}}})", DpiUnchanged},
    {"DpiStageMember", R"({"DPIStages":{"StageActive":0,"StageDPIs":[{"StageDPIX":"x"}]}})", DpiUnchanged},
    {"CorrectObject", R"({"CorrectInfo":{}})", CorrectDefault},
    {"CorrectNameObject", R"({"CorrectInfo":[{"CorrectName":{}}]})", CorrectDefault},
    {"HeadsetMember", R"({"SystemSetStages":{"EqType":[],"MicInValue":3}})", HeadsetDefault},
    {"EqString", R"({"EQHzValueInfo":"flat"})", EqDefault},
    {"EqRowString", R"({"EQHzValueInfo":[null,"row"]})", EqDefault},
    {"EqBandMember", R"({"EQHzValueInfo":[null,[{"value":"x"},5,[],{"value":{}}]]})", EqDefault},
    {"EqNamesString", R"({"CustomEQNameInfo":"x"})", EqNamesDefault},
    {"EqNameArray", R"({"CustomEQNameInfo":[{"Name":"a"},{"Name":[]}]})", EqNamesDefault},
    {"CustomEqObject", R"({"CustomEQHzValueInfo":{"0":[]}})", CustomEqDefault},
};

class WrongTypes : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(WrongTypes, ReadAsTheSectionDefault) {
    const Json::Value profile = ParseRaw(GetParam().profile);
    ASSERT_TRUE(profile.isObject()) << "bad test data";
    EXPECT_TRUE(GetParam().readsDefault(profile));
}

INSTANTIATE_TEST_SUITE_P(EverySection, WrongTypes, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WrongTypeRepair, FillingReadersReplaceMalformedEntriesWithZeros) {
    auto keyboard = Over<CKeyboardProfiledata>(ParseRaw(
        R"({"CustomLightMode":{"LightColorInfo":[[{"Red":"x","Name":"k"},7]],"CustomLightModeGroupIndex":1}})"));
    keyboard.ReadCustomColors(0, 2);
    const Json::Value& group = keyboard.ActiveDocument()["CustomLightMode"]["LightColorInfo"][0];
    RgbaColour colour;
    EXPECT_TRUE(ColourFromJson(group[0], colour) && colour == RgbaColour{});
    EXPECT_EQ(group[0]["Name"].asString(), "k"); // filled member by member
    EXPECT_TRUE(ColourFromJson(group[1], colour));
    EXPECT_EQ(keyboard.ReadCustomGroupIndex(), 1);

    auto headset = Over<CHs6533Profiledata>(ParseRaw(R"({"EQHzValueInfo":"flat"})"));
    headset.ReadEqValues(3);
    EXPECT_EQ(headset.ActiveDocument()["EQHzValueInfo"][3].size(), 10u);
}

TEST(WrongTypeRepair, WritersReplaceSectionsOfTheWrongType) {
    CKeyboardProfiledata keyboard;
    keyboard.SetActiveDocument(ParseRaw(R"({"KeyList":"x","SystemStages":[1],"CustomLightMode":5})"));
    keyboard.WriteKeyList(std::vector<KeyListEntry>(2));
    keyboard.WriteKeyboardSystem(KeyboardSystemRecord{1, 2, 3, 4, 5, 6, 7});
    keyboard.WriteCustomGroupIndex(3);
    EXPECT_EQ(keyboard.ReadKeyList().size(), 2u);
    EXPECT_EQ(keyboard.ReadKeyboardSystem(), (KeyboardSystemRecord{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(keyboard.ReadCustomGroupIndex(), 3);

    CMouseProfiledata mouse;
    mouse.SetActiveDocument(ParseRaw(R"({"DPIStages":{"StageDPIs":"x"},"ReportStages":"y"})"));
    mouse.WriteDpiStages({DpiStage{1, 0, 400, 400, 0, 0, 0}});
    mouse.WriteMouseSystem(MouseSystemRecord{1, 2, 3, 4, 5, 6});
    EXPECT_EQ(mouse.ReadDpiStages().size(), 1u);
    EXPECT_EQ(mouse.ReadMouseSystem(), (MouseSystemRecord{1, 2, 3, 4, 5, 6}));
}

TEST(WrongShapes, ActiveDocumentThatIsNotAnObjectReadsDefaultsAndTakesWrites) {
    for (const char* text : {"[1,2]", "\"profile\"", "12", "true"}) {
        CHs6533Profiledata data;
        data.SetActiveDocument(ParseRaw(text));
        EXPECT_EQ(data.ReadLightInfo(), LightInfoRecord{}) << text;
        EXPECT_TRUE(data.ReadKeyList().empty()) << text;
        EXPECT_EQ(data.ReadEqValues(2), std::vector<int32_t>(10, 0)) << text;
        data.WriteHeadsetSystem(HeadsetSystemRecord{1, 2, 3, 4, 5, 6, 7, 8});
        EXPECT_TRUE(data.ActiveDocument().isObject()) << text;
        EXPECT_EQ(data.ReadHeadsetSystem(), (HeadsetSystemRecord{1, 2, 3, 4, 5, 6, 7, 8})) << text;
    }
}

TEST(WrongShapes, ProfileFilesOfTheWrongShapeAreRepairedAndKeptAside) {
    TempFolder folder;
    CJsonFileHelper json;
    Json::Value defaults(Json::objectValue);
    defaults["LightInfo"]["SelectItem"] = 2;
    json.WriteJsonFile(ProfileFile(defaults), folder.Path("keyboard.Json"));
    for (const char* text : {"[1,2,3]", "{\"Device\":{\"0\":{}}}", "{\"Device\":\"x\"}", "null"}) {
        const std::string path = folder.Path("p.Json");
        WriteRaw(path, text);
        std::filesystem::remove(path + CBasicProfiledata::kDamagedSuffix);
        CKeyboardProfiledata data;
        data.SetDefaultPath(folder.Path("keyboard.Json"));
        EXPECT_EQ(data.LoadProfile(path), defaults) << text;
        EXPECT_EQ(ReadRawJson(path)["Device"][0], defaults) << text;
        EXPECT_EQ(test::ReadRaw(path + CBasicProfiledata::kDamagedSuffix), text) << text;
    }
}

TEST(WrongShapes, DefaultProfileOfTheWrongShapeGivesANullDocument) {
    TempFolder folder;
    WriteRaw(folder.Path("keyboard.Json"), R"({"Device":["not a profile"]})");
    CBasicProfiledata data;
    data.SetDefaultPath(folder.Path("keyboard.Json"));
    EXPECT_TRUE(data.LoadProfile(folder.Path("p.Json")).isNull());
}

TEST(WrongShapes, ConfigurationOfTheWrongShapeGivesNoEffectSteps) {
    TempFolder folder;
    WriteRaw(folder.Path("G.light"), R"({"LEDEffectList":[{"LEDREGMode":1}]})");
    for (const char* config : {R"({"LightInfo":"x"})", R"({"LightInfo":[[{"Guid":5}]]})",
                               R"({"LightInfo":[{"0":{"Guid":"G"}}]})", R"([{"Guid":"G"}])"}) {
        WriteRaw(folder.Path("ornic_light.config"), config);
        CBasicProfiledata data;
        data.SetConfigPath(folder.Path("ornic_light.config"));
        data.LoadConfig(data.GetConfigPath());
        EXPECT_TRUE(data.ReadLedEffectList().empty()) << config;
    }
}

TEST(NumberRanges, IntegersKeepTheirLowBitsPerFieldWidth) {
    int64_t value = 0;
    ASSERT_TRUE(JsonToInteger(ParseRaw("[18446744073709551615]")[0], value));
    EXPECT_EQ(static_cast<uint8_t>(value), 255);
    EXPECT_EQ(static_cast<uint16_t>(value), 65535);
    ASSERT_TRUE(JsonToInteger(ParseRaw("[-9223372036854775808]")[0], value));
    EXPECT_EQ(value, INT64_MIN);
    ASSERT_TRUE(JsonToInteger(ParseRaw("[-2.9]")[0], value));
    EXPECT_EQ(value, -2);
    EXPECT_FALSE(JsonToInteger(ParseRaw("[-1e300]")[0], value));
    EXPECT_FALSE(JsonToInteger(ParseRaw("[\"5\"]")[0], value));
}

TEST(NumberRanges, SixteenAndThirtyTwoBitFieldsTruncate) {
    auto mouse =
        Over<CMouseProfiledata>(ParseRaw(R"({"SystemStages":{"DoubleClickTime":131073,"MouseSpeed":-2}})"));
    MouseSystemRecord r = mouse.ReadMouseSystem();
    EXPECT_EQ(r.doubleClickTime, 1);
    EXPECT_EQ(r.mouseSpeed, 65534);
    auto headset = Over<CHs6533Profiledata>(ParseRaw(R"({"SystemSetStages":{"MagicType":8589934593.7}})"));
    EXPECT_EQ(headset.ReadHeadsetSystem().magicType, 1);
}

} // namespace
} // namespace velkor
