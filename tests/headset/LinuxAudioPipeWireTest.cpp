// The Linux audio plugin's equaliser and voice changer in a private PipeWire
// session (pipewire and wireplumber under dbus-run-session, a null sink with
// the headset's vendor and product). Sound goes in and out through pw-cat
// and is measured.
#include "headset/AudioLibrary.h"
#include "headset/linux/AudioTestBed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace velkor::test {
namespace {

class LinuxAudioPipeWire : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string missing =
            MissingProgram({"dbus-run-session", "pipewire", "wireplumber", "pw-cat", "pw-metadata"});
        if (!missing.empty()) {
            GTEST_SKIP() << missing << " is not installed";
        }
        TestHome& home = TestHome::Get();
        home.SetCard(true, {20, 1, 10, 1});
        std::filesystem::remove(home.StateFile());
        std::string error;
        ASSERT_TRUE(m_server.Start(error)) << error;
        setenv("VELKOR_HEADSET_ALSA", "velkor_sidetone", 1);
        m_library = AudioLibrary::Load(VELKOR_LINUX_PLUGIN, &error);
        ASSERT_NE(m_library, nullptr) << error;
        ASSERT_TRUE(m_library->Start().outputFound);
    }

    std::string Scratch(const char* name) const { return TestHome::Get().Path() + "/" + name; }

    // Plays `tone` into `target` while recording the headset's sink; the
    // amplitude of `hz` in the recording.
    double PlayAndMeasure(const std::string& tone, const std::string& target, double hz) {
        const std::string recording = Scratch("recording.wav");
        std::filesystem::remove(recording);
        Child recorder({"pw-record", "--target", SoundServer::kHeadsetSink, "-P",
                        "{ stream.capture.sink = true }", "--rate", "48000", "--channels", "1", recording});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Child player({"pw-play", "--target", target, tone});
        EXPECT_TRUE(player.Wait(10000)) << "pw-play did not finish";
        recorder.Interrupt();
        recorder.Wait(3000);
        int rate = 0;
        const std::vector<double> samples = ReadWav(recording, rate);
        return PeakAmplitude(samples, rate, hz);
    }

    SoundServer m_server;
    std::unique_ptr<AudioLibrary> m_library;
};

TEST_F(LinuxAudioPipeWire, EqualiserBandSixAtMinusTwelveTakesSixDecibelsOffOneKilohertz) {
    const OsConfEndpoint out = m_library->Output();
    ASSERT_TRUE(m_library->SetInt(out, u"Enable_EQ_GFX", 1)) << "status " << m_library->LastStatus();
    EXPECT_EQ(m_library->GetInt(out, u"Enable_EQ_GFX"), 1);
    // While on, the equaliser stands in for the headset as the default sink.
    EXPECT_NE(Capture({"pw-metadata", "-n", "default", "0", "default.configured.audio.sink"})
                  .find("velkor_headset_eq"),
              std::string::npos);

    const std::string tone = Scratch("1khz.wav");
    ASSERT_TRUE(WriteTone(tone, 1000, 0.25, 1.5));
    const double flat = PlayAndMeasure(tone, "velkor_headset_eq", 1000);
    ASSERT_GT(flat, 0.05) << "nothing came out of the headset's sink";

    ASSERT_TRUE(m_library->SetInt(out, u"EQ_Slider6", -12));
    EXPECT_EQ(m_library->GetInt(out, u"EQ_Slider6"), -12);
    const double cut = PlayAndMeasure(tone, "velkor_headset_eq", 1000);
    EXPECT_NEAR(20 * std::log10(flat / cut), 6.0, 1.0) << flat << " then " << cut;

    ASSERT_TRUE(m_library->SetInt(out, u"Enable_EQ_GFX", 0));
    EXPECT_EQ(Capture({"pw-metadata", "-n", "default", "0", "default.configured.audio.sink"})
                  .find("velkor_headset_eq"),
              std::string::npos)
        << "the default goes back";
}

// As a driver keeps its settings: the equaliser that was on when the plugin
// last ran is on again, with its gains, once the plugin starts.
TEST_F(LinuxAudioPipeWire, TheEqualiserComesBackAtStartUp) {
    const std::string stateFile = TestHome::Get().StateFile();
    std::filesystem::create_directories(std::filesystem::path(stateFile).parent_path());
    std::ofstream(stateFile) << R"({"eqEnabled": 1, "bands": [0, 0, 0, 0, 0, -12, 0, 0, 0, 0]})";
    std::string error;
    std::unique_ptr<AudioLibrary> restarted = AudioLibrary::Load(VELKOR_LINUX_PLUGIN, &error);
    ASSERT_NE(restarted, nullptr) << error;
    ASSERT_TRUE(restarted->Start().outputFound);
    EXPECT_NE(Capture({"pw-metadata", "-n", "default", "0", "default.configured.audio.sink"})
                  .find("velkor_headset_eq"),
              std::string::npos)
        << "loaded by the start-up, before any property call";
    const OsConfEndpoint out = restarted->Output();
    EXPECT_EQ(restarted->GetInt(out, u"Enable_EQ_GFX"), 1);
    EXPECT_EQ(restarted->GetInt(out, u"EQ_Slider6"), -12);
    EXPECT_TRUE(restarted->SetInt(out, u"Enable_EQ_GFX", 0));
}

TEST_F(LinuxAudioPipeWire, VoiceChangerShiftsTheHeadsetMicrophoneUpFiveSemitones) {
    // The headset's microphone: pw-cat as a source with the headset's ids.
    const std::string tone = Scratch("440hz.wav");
    ASSERT_TRUE(WriteTone(tone, 440, 0.5, 8));
    Child microphone({"pw-play", "--channels", "1", "-P",
                      "{ media.class = Audio/Source node.name = velkor_test_mic"
                      " device.vendor.id = \"0x0c76\" device.product.id = \"0x1630\" }",
                      tone});
    const OsConfEndpoint in = m_library->Input();
    ASSERT_TRUE(m_library->VoiceChangerAvailable());
    ASSERT_TRUE(m_library->SetInt(in, u"MagicVoice_Selection", 0));
    bool on = false;
    for (int attempt = 0; attempt < 50 && !on; ++attempt) { // until pw-cat's node is there
        on = m_library->SetInt(in, u"Enable_MAGICVOICE", 1);
        if (!on) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ASSERT_TRUE(on) << "status " << m_library->LastStatus();

    const std::string recording = Scratch("voice.wav");
    Child recorder(
        {"pw-record", "--target", "velkor_headset_voice", "--rate", "48000", "--channels", "1", recording});
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    recorder.Interrupt();
    recorder.Wait(3000);
    int rate = 0;
    const std::vector<double> samples = ReadWav(recording, rate);
    // 440 Hz up five semitones is 587.3 Hz.
    EXPECT_NEAR(DominantFrequency(samples, rate, 300, 900), 440 * std::pow(2.0, 5 / 12.0), 6.0);
    EXPECT_TRUE(m_library->SetInt(in, u"Enable_MAGICVOICE", 0));
}

} // namespace
} // namespace velkor::test
