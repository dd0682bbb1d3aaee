// The Linux audio plugin on a sound card: a test ALSA control plugin stands
// in for the headset's card (a scratch ~/.asoundrc names it), and the plugin
// is loaded as the program loads it.
#include "headset/AudioLibrary.h"
#include "headset/linux/AudioTestBed.h"
#include "platform/SharedLibrary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace velkor::test {
namespace {

class LinuxAudioAlsa : public ::testing::Test {
protected:
    void SetUp() override {
        TestHome& home = TestHome::Get();
        home.SetCard(true, {20, 1, 10, 1});
        home.SetCard(false, {20, 1, 0, 0});
        std::filesystem::remove(home.StateFile());
    }

    // The plugin with its start-up run on `device`.
    std::unique_ptr<AudioLibrary> Start(const char* device) {
        setenv("VELKOR_HEADSET_ALSA", device, 1);
        std::string error;
        std::unique_ptr<AudioLibrary> library = AudioLibrary::Load(VELKOR_LINUX_PLUGIN, &error);
        EXPECT_NE(library, nullptr) << error;
        if (library != nullptr) {
            const AudioStartup startup = library->Start();
            EXPECT_TRUE(startup.outputFound);
            EXPECT_TRUE(startup.notices.empty());
        }
        return library;
    }
};

struct LevelCase {
    const char* name;
    std::u16string_view level;
    std::u16string_view mute;
    size_t volumeIndex; // in CardValues
    std::u16string_view maxVol;
};

void PrintTo(const LevelCase& c, std::ostream* os) {
    *os << c.name;
}

class LinuxAudioAlsaLevels : public LinuxAudioAlsa, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(LinuxAudioAlsaLevels, LevelAndMuteRoundTripThroughTheCard) {
    const LevelCase& c = GetParam();
    std::unique_ptr<AudioLibrary> library = Start("velkor_sidetone");
    ASSERT_NE(library, nullptr);
    const OsConfEndpoint in = library->Input();
    ASSERT_TRUE(library->SetFloat(in, c.level, 0.55f));
    // Linear over the raw range 0..31: 0.55 lands on 17 ...
    EXPECT_EQ(TestHome::Get().Card(true)[c.volumeIndex], 17);
    // ... yet the level set comes back, after a restart too (17/31 would be 54 %).
    EXPECT_NEAR(library->GetFloat(in, c.level).value_or(-1), 0.55, 1e-6);
    library = Start("velkor_sidetone");
    ASSERT_NE(library, nullptr);
    EXPECT_NEAR(library->GetFloat(in, c.level).value_or(-1), 0.55, 1e-6);
    // Changed behind the plugin's back: the card's value counts.
    CardValues values = TestHome::Get().Card(true);
    values[c.volumeIndex] = 31;
    TestHome::Get().SetCard(true, values);
    EXPECT_NEAR(library->GetFloat(in, c.level).value_or(-1), 1.0, 1e-6);

    ASSERT_TRUE(library->SetInt(in, c.mute, 1));
    EXPECT_EQ(library->GetInt(in, c.mute), 1);
    EXPECT_EQ(TestHome::Get().Card(true)[c.volumeIndex + 1], 0) << "muted is the switch off";
    ASSERT_TRUE(library->SetInt(in, c.mute, 0));
    EXPECT_EQ(library->GetInt(in, c.mute), 0);
    // The decibel scale of the card: -16 dB at 0, 1 dB a step.
    EXPECT_NEAR(library->GetFloat(in, c.maxVol).value_or(-100), 15.0, 1e-6);
}

const LevelCase kLevels[] = {
    {"Microphone", u"VolumeScalarControl", u"MuteControl", 0, u"GetMaxVol"},
    {"Monitoring", u"AAVolumeScalarControl", u"AAMuteControl", 2, u"GetAAMaxVol"},
};
INSTANTIATE_TEST_SUITE_P(Groups, LinuxAudioAlsaLevels, ::testing::ValuesIn(kLevels),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinuxAudioAlsa, WithoutSidetoneMonitoringFailsAndTheMicrophoneWorks) {
    std::unique_ptr<AudioLibrary> library = Start("velkor_plain");
    ASSERT_NE(library, nullptr);
    const OsConfEndpoint in = library->Input();
    EXPECT_EQ(library->GetFloat(in, u"GetAAMaxVol"), std::nullopt);
    EXPECT_EQ(library->LastStatus(), 2);
    EXPECT_FALSE(library->SetInt(in, u"AAMuteControl", 1));
    EXPECT_NEAR(library->GetFloat(in, u"GetMinVol").value_or(0), -16.0, 1e-6);
    EXPECT_TRUE(library->SetFloat(in, u"VolumeScalarControl", 0.0f));
    EXPECT_EQ(TestHome::Get().Card(false)[0], 0);
}

TEST_F(LinuxAudioAlsa, BadCallsAreRefusedWithTheirStatus) {
    std::unique_ptr<AudioLibrary> library = Start("velkor_sidetone");
    ASSERT_NE(library, nullptr);
    const OsConfEndpoint in = library->Input();
    const OsConfEndpoint out = library->Output();
    struct Bad {
        OsConfEndpoint endpoint;
        std::u16string_view name;
        int32_t operation;
        bool isFloat;
        float value;
        int32_t status;
    } const bad[] = {
        {in, u"NoSuchProperty", OSCONF_GET, false, 0, 1},
        {out, u"EQ_Slider11", OSCONF_SET, false, 0, 1},
        {out, u"EQ_Slider0", OSCONF_GET, false, 0, 1},
        {in, u"GetSupportFeature", OSCONF_SET, false, 0, 1},
        {in, u"VolumeScalarControl", OSCONF_SET, true, NAN, 2},
        {out, u"VirtualSurroundEffectControl", OSCONF_SET, false, 1, 2}, // only 0 can be set
        {in, u"MagicVoice_Selection", OSCONF_SET, false, 4, 2},
        {OsConfEndpoint{}, u"MuteControl", OSCONF_GET, false, 0, 5}, // no endpoint of the plugin's
    };
    for (const Bad& b : bad) {
        if (b.operation == OSCONF_GET) {
            library->GetFloat(b.endpoint, b.name);
        } else if (b.isFloat) {
            library->SetFloat(b.endpoint, b.name, b.value);
        } else {
            library->SetInt(b.endpoint, b.name, int32_t(b.value));
        }
        EXPECT_EQ(library->LastStatus(), b.status) << std::string(b.name.begin(), b.name.end());
    }
    EXPECT_EQ(library->GetInt(out, u"VirtualSurroundEffectControl"), 0);

    // An unterminated name and null buffers, straight at the entry point.
    std::unique_ptr<SharedLibrary> raw = SharedLibrary::Open(VELKOR_LINUX_PLUGIN);
    ASSERT_NE(raw, nullptr);
    const auto control = reinterpret_cast<OsConfPropertyControlFn>(raw->Symbol("PropertyControl"));
    std::u16string longName(5000, u'A');
    alignas(4) uint8_t buffer[OSCONF_BUFFER_SIZE] = {};
    void* value = buffer;
    EXPECT_EQ(control(in, longName.data(), &value, nullptr, OSCONF_GET), 1);
    EXPECT_EQ(control(in, u"MuteControl", nullptr, nullptr, OSCONF_GET), 1);

    // Without PipeWire the equaliser says so; the card still answers.
    EXPECT_EQ(library->GetInt(out, u"Enable_EQ_GFX"), std::nullopt);
    EXPECT_EQ(library->LastStatus(), 3);
    EXPECT_EQ(library->GetInt(in, u"MuteControl"), 0);

    // The card gone.
    setenv("VELKOR_HEADSET_ALSA", "velkor_no_such_card", 1);
    EXPECT_EQ(library->GetInt(in, u"MuteControl"), std::nullopt);
    EXPECT_EQ(library->LastStatus(), 5);
}

TEST_F(LinuxAudioAlsa, ADamagedStateFileReadsAsTheDefaults) {
    std::filesystem::create_directories(std::filesystem::path(TestHome::Get().StateFile()).parent_path());
    std::ofstream(TestHome::Get().StateFile()) << R"({"bands": [99, "x"], "voice": 7, "microphone": {"raw": 20, "scalar": 1e999})";
    std::unique_ptr<AudioLibrary> library = Start("velkor_sidetone");
    ASSERT_NE(library, nullptr);
    EXPECT_NEAR(library->GetFloat(library->Input(), u"VolumeScalarControl").value_or(-1), 20.0 / 31.0, 1e-5);
    EXPECT_EQ(library->GetInt(library->Input(), u"MagicVoice_Selection"), 0);
}

} // namespace
} // namespace velkor::test
