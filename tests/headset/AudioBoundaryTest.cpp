// The audio plugin boundary on the simulated plugin: which endpoints the
// start-up chooses, what it reads and what it tells the user; answers parsed
// within their buffer; plugins that are missing or incomplete.
#include "headset/AudioLibrary.h"
#include "sim/audio/SimAudioStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace velkor::test {
namespace {

using sim::PluginStore;

struct StartCase {
    const char* name;
    std::vector<OsConfEndpoint> outputs;
    std::u16string inputFeatures; // empty: as the plugin has them
    int32_t initStatus;
    bool outputFound;
    int32_t outputType;
    std::vector<std::string> notices;
    bool voiceChanger;
};

class AudioStartup : public ::testing::TestWithParam<StartCase> {
protected:
    void SetUp() override { PluginStore().Reset(); }
};

TEST_P(AudioStartup, ChoosesEndpointsAndTellsWhatFailed) {
    const StartCase& c = GetParam();
    PluginStore().SetEndpoints(OSCONF_FLOW_OUTPUT, c.outputs);
    PluginStore().SetInitStatus(c.initStatus);
    if (!c.inputFeatures.empty()) {
        PluginStore().SetValue(OSCONF_FLOW_INPUT, "GetSupportFeature", c.inputFeatures);
    }
    AudioLibrary library(sim::SimAudioTable(), nullptr);
    const velkor::AudioStartup startup = library.Start();
    EXPECT_EQ(startup.outputFound, c.outputFound);
    EXPECT_EQ(startup.notices, c.notices);
    EXPECT_EQ(library.VoiceChangerAvailable(), c.voiceChanger);
    const std::vector<sim::SimAudioCall> calls = PluginStore().Calls();
    if (!c.outputFound) {
        EXPECT_TRUE(calls.empty()) << "no output endpoint: no property is read, not even the input's";
        EXPECT_FALSE(library.HasInput());
        return;
    }
    EXPECT_EQ(library.Output().w[1], c.outputType);
    EXPECT_EQ(library.Output().w[3], 1);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].flow, OSCONF_FLOW_INPUT) << "the input's features first";
    EXPECT_EQ(calls[1].flow, OSCONF_FLOW_OUTPUT);
}

const StartCase kStartCases[] = {
    {"OneOfEach", {{{0, 1, 0, 1}}}, u"", 0, true, 1, {}, true},
    {"TypeTwelveOnly", {{{0, 12, 0, 0}}, {{1, 12, 0, 1}}, {{2, 12, 0, 1}}}, u"", 0, true, 12, {}, true},
    {"TypeOneOffSkipped", {{{0, 1, 0, 0}}, {{1, 7, 0, 1}}, {{2, 1, 0, 1}}}, u"", 0, true, 1, {}, true},
    {"TypesInPassOrder", {{{0, 4, 0, 1}}, {{1, 7, 0, 1}}}, u"", 0, true, 7, {}, true},
    {"NoOutputAtAll", {}, u"", 0, false, 0, {}, false},
    {"OnlyUnusableOutput", {{{0, 1, 0, 0}}}, u"", 0, false, 0, {}, false},
    {"SixFeatureItems",
     {{{0, 1, 0, 1}}},
     u"131072,0,0,0,0,0",
     0,
     true,
     1,
     {"UpdateAPOAvailable failed!"},
     false},
    {"FeatureWithoutVoiceBit", {{{0, 1, 0, 1}}}, u"65536,0,0,0,0,0,0", 0, true, 1, {}, false},
    {"InitFailsButGoesOn", {{{0, 1, 0, 1}}}, u"", 3, true, 1, {"ConfLibInit called failed!"}, true},
};
INSTANTIATE_TEST_SUITE_P(Plugin, AudioStartup, ::testing::ValuesIn(kStartCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct AnswerCase {
    const char* name;
    std::u16string text;
    std::optional<double> asFloat;
    std::optional<int32_t> asInt;
};

class AudioAnswers : public ::testing::TestWithParam<AnswerCase> {};

// Through the plugin: the answer is written as it is, cut at the buffer's end.
TEST_P(AudioAnswers, ParseWithinTheBuffer) {
    const AnswerCase& c = GetParam();
    PluginStore().Reset();
    PluginStore().SetValue(OSCONF_FLOW_INPUT, "VolumeScalarControl", c.text);
    AudioLibrary library(sim::SimAudioTable(), nullptr);
    ASSERT_TRUE(library.Start().outputFound);
    EXPECT_EQ(library.GetFloat(library.Input(), audio::kVolumeScalar), c.asFloat);
    EXPECT_EQ(library.GetInt(library.Input(), audio::kVolumeScalar), c.asInt);
}

const AnswerCase kAnswers[] = {
    {"Plain", u"0.555", 0.555, 0},
    {"Integer", u"1", 1.0, 1},
    {"Negative", u"-12", -12.0, -12},
    {"TrailingGarbage", u"42abc", 42.0, 42},
    {"Garbage", u"abc", std::nullopt, std::nullopt},
    {"Empty", u"", std::nullopt, std::nullopt},
    {"NotANumber", u"nan", std::nullopt, std::nullopt},
    {"Infinite", u"inf", std::nullopt, std::nullopt},
    {"Overflowing", u"1e999", std::nullopt, 1},
    // 512 units fill the buffer: no terminator follows.
    {"UnterminatedDigits", std::u16string(512, u'7'), std::nullopt, std::nullopt},
    {"TenThousandCharacters", u"0.25" + std::u16string(10000, u'0'), 0.25, 0},
    {"NonAscii", u"\u0663", std::nullopt, std::nullopt},
};
INSTANTIATE_TEST_SUITE_P(Plugin, AudioAnswers, ::testing::ValuesIn(kAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AudioPluginFile, MissingFileOrEntryPointMeansNoAudio) {
    std::string error;
    EXPECT_EQ(AudioLibrary::Load("/nonexistent/libosconf.so", &error), nullptr);
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(AudioLibrary::Load(VELKOR_BROKEN_PLUGIN, &error), nullptr);
    EXPECT_NE(error.find("entry point"), std::string::npos) << "[" << error << "]";

    AudioLibrary none;
    EXPECT_FALSE(none.Start().outputFound);
    EXPECT_EQ(none.GetInt(none.Output(), audio::kEqEnable), std::nullopt);
    EXPECT_FALSE(none.SetInt(none.Output(), audio::kEqEnable, 1));
}

TEST(AudioPluginFile, TheSharedSimulatedPluginLoadsAndAnswers) {
    std::string error;
    std::unique_ptr<AudioLibrary> library = AudioLibrary::Load(VELKOR_SIM_PLUGIN, &error);
    ASSERT_NE(library, nullptr) << error;
    ASSERT_TRUE(library->Start().outputFound);
    EXPECT_TRUE(library->VoiceChangerAvailable());
    ASSERT_TRUE(library->SetInt(library->Output(), audio::EqSlider(9), -7));
    EXPECT_EQ(library->GetInt(library->Output(), u"EQ_Slider10"), -7);
    EXPECT_FALSE(library->SetInt(library->Output(), u"", 1)) << "no name";
    // Its store is its own, not the one linked into the tests.
    EXPECT_EQ(PluginStore().Value(OSCONF_FLOW_OUTPUT, "EQ_Slider10"), std::nullopt);
}

} // namespace
} // namespace velkor::test
