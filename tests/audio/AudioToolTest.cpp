// The audio capture companion: its analysis against the program's reduction,
// and the real velkor-audio on a private bus capturing a tone played into a
// sound server the test starts, linked with the program's AudioToolLink.
#include "SoundServer.h"
#include "app/AudioToolLink.h"
#include "bus/Inbox.h"
#include "bus/PrivateBus.h"
#include "lighting/AudioAnalysis.h"
#include "lighting/AudioFrames.h"
#include "lighting/AudioToolFrames.h"
#include "platform/bus/DbusMessageBus.h"
#include "ui/Dispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>
#include <sys/resource.h>

namespace velkor {
namespace {

using test::ChildProcess;
using test::Inbox;
using test::PrivateBus;
using test::SoundServer;

std::vector<float> Sine(double hz, double amplitude, uint32_t rate, double seconds) {
    std::vector<float> samples(size_t(rate * seconds));
    for (size_t n = 0; n < samples.size(); ++n) {
        samples[n] = float(amplitude * std::sin(2 * std::numbers::pi * hz * double(n) / rate));
    }
    return samples;
}

// Writes a 16-bit mono WAVE file.
void WriteWav(const std::string& path, const std::vector<float>& samples, uint32_t rate) {
    std::ofstream out(path, std::ios::binary);
    const auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const auto bytes = uint32_t(samples.size() * 2);
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(bytes);
    for (float s : samples) {
        u16(uint16_t(int16_t(std::lround(s * 32767))));
    }
}

// Something like music: a kick on every half second, hi-hats on the
// eighths, a chord that changes every second.
std::vector<float> Music(uint32_t rate, double seconds) {
    std::vector<float> samples(size_t(rate * seconds));
    uint32_t noise = 1;
    for (size_t n = 0; n < samples.size(); ++n) {
        const double t = double(n) / rate;
        const double beat = std::fmod(t, 0.5);
        const double eighth = std::fmod(t, 0.125);
        noise = noise * 1664525u + 1013904223u;
        double s = 0.5 * std::exp(-beat * 20) * std::sin(2 * std::numbers::pi * 60 * beat);
        s += 0.1 * std::exp(-eighth * 60) * (double(noise >> 8) / double(1 << 24) - 0.5);
        for (double hz : {220.0, 277.0, 330.0}) {
            s += 0.08 * std::sin(2 * std::numbers::pi * hz * (1 + int(t) % 2 * 0.12) * t);
        }
        samples[n] = float(s);
    }
    return samples;
}

struct ToneCase {
    double hz;
    double amplitude;
    int32_t lowest; // the tone's band after the program's reduction settles
    int32_t highest;
};

class AnalysisTable : public ::testing::TestWithParam<ToneCase> {};

// The tool's frames through the program's own reduction: a steady tone is a
// steady bar in its band, full scale reads 2000 and nothing ever reads above.
TEST_P(AnalysisTable, ToneShowsInItsBandAfterTheProgramsReduction) {
    const ToneCase c = GetParam();
    auto analyser = SpectrumAnalyser::Create(48000);
    ASSERT_NE(analyser, nullptr);
    EXPECT_EQ(analyser->Hop(), 512u);
    std::vector<AudioAnalysis> analyses;
    analyser->Feed(Sine(c.hz, c.amplitude, 48000, 1.0), analyses);
    ASSERT_EQ(analyses.size(), 93u);
    AudioFrameEncoder encoder;
    AudioFrameLevels reduction;
    AudioFrameLevels::Levels levels{};
    std::vector<int32_t> last;
    for (size_t t = 0; t < analyses.size(); ++t) {
        AudioFrameEncoder::Levels wanted{};
        std::transform(analyses[t].bands.begin(), analyses[t].bands.end(), wanted.begin(), LevelOfBand);
        const auto frame = encoder.Encode(wanted);
        std::vector<uint8_t> bytes(sizeof frame);
        std::memcpy(bytes.data(), frame.data(), bytes.size());
        if (reduction.Feed(bytes, levels)) {
            for (size_t g = 0; g < kAnalysisBands; ++g) {
                ASSERT_LE(levels[g], 2000) << "band " << g << " frame " << t;
            }
            last.assign(levels.begin(), levels.begin() + kAnalysisBands);
        }
    }
    const int band = SpectrumAnalyser::BandOf(c.hz);
    ASSERT_GE(band, 0);
    EXPECT_GE(last[size_t(band)], c.lowest) << c.hz;
    EXPECT_LE(last[size_t(band)], c.highest) << c.hz;
    if (c.highest > 0) {
        EXPECT_EQ(std::max_element(last.begin(), last.end()) - last.begin(), band) << c.hz;
    }
}

INSTANTIATE_TEST_SUITE_P(Tones, AnalysisTable,
                         ::testing::Values(ToneCase{150, 1.0, 1800, 2000}, ToneCase{3000, 1.0, 1900, 2000},
                                           ToneCase{900, 0.1, 1250, 1400}, // -20 dBFS: two thirds
                                           ToneCase{900, 0.0005, 0, 0}));  // -66 dBFS: nothing

// A tone that starts in the last 64 samples (1.3 ms) of a hop lights its band
// in that very hop, which the long window alone hardly hears; once the long
// window has filled, the band reads what the steady tone always reads.
TEST(AudioAttack, AnOnsetLightsItsBandInTheHopThatHoldsItAndSteadySoundReadsAsBefore) {
    auto analyser = SpectrumAnalyser::Create(48000);
    ASSERT_NE(analyser, nullptr);
    const size_t hop = analyser->Hop();
    std::vector<float> sound(20 * hop - 64, 0.0f);
    const std::vector<float> tone = Sine(1000, 0.5, 48000, 0.5);
    sound.insert(sound.end(), tone.begin(), tone.end());
    std::vector<AudioAnalysis> analyses;
    analyser->Feed(sound, analyses);
    const auto band = size_t(SpectrumAnalyser::BandOf(1000));
    EXPECT_EQ(analyses[18].bands[band], 0); // silence before
    EXPECT_GE(LevelOfBand(analyses[19].bands[band]), 400) << "a row of the rising columns is 333";
    EXPECT_GE(analyses[19].loudness, 0.3f);
    // The steady tone, well after the onset: the long window's value, the same hop after hop.
    const int32_t steady = analyses[30].bands[band];
    EXPECT_GE(LevelOfBand(steady), 1500);
    for (size_t t = 24; t < analyses.size(); ++t) {
        EXPECT_NEAR(analyses[t].bands[band], steady, 2) << t;
    }
}

// The program's reduction, fed the encoder's frames, reads the wanted levels
// after every frame (or a quarter of the last, when that is more); after a
// frame it missed, the error shrinks to a quarter with every frame.
TEST(AudioFrameEncoding, TheProgramReadsTheWantedLevelsFrameByFrame) {
    AudioFrameEncoder encoder;
    AudioFrameLevels program;
    AudioFrameLevels::Levels handed{};
    const auto feed = [&](const AudioFrameEncoder::Frame& frame) {
        std::vector<uint8_t> bytes(sizeof frame);
        std::memcpy(bytes.data(), frame.data(), bytes.size());
        program.Feed(bytes, handed);
    };
    const std::vector<std::pair<int32_t, int32_t>> steps = {
        {2000, 2000}, {2000, 2000}, {1000, 1000}, {0, 250}, {0, 62}, {700, 700}, {3000, 2000}, {-5, 500}};
    for (size_t i = 0; i < steps.size(); ++i) {
        AudioFrameEncoder::Levels wanted{};
        wanted.fill(steps[i].first);
        wanted[7] = 333;
        const auto frame = encoder.Encode(wanted);
        feed(frame);
        EXPECT_TRUE(
            std::all_of(frame.begin(), frame.end(), [](int32_t v) { return v >= -2000 && v <= 2000; }));
        EXPECT_TRUE(std::all_of(frame.begin() + 125, frame.end(), [](int32_t v) { return v == 0; }));
        EXPECT_EQ(program.GroupLevels()[0], steps[i].second) << "step " << i;
        EXPECT_EQ(program.GroupLevels(), encoder.ProgramLevels()) << "step " << i;
        EXPECT_EQ(program.GroupLevels()[7], 333) << "step " << i;
    }
    // The program misses a frame: the next flush of three frames gets within a
    // sixteenth of the jump, the one after that right.
    AudioFrameEncoder::Levels loud{};
    loud.fill(1800);
    encoder.Encode(loud);
    AudioFrameEncoder::Levels soft{};
    soft.fill(600);
    for (int frame = 0; frame < 3; ++frame) {
        feed(encoder.Encode(soft));
    }
    EXPECT_NEAR(program.GroupLevels()[0], 600, 1800 / 16);
    for (int frame = 0; frame < 3; ++frame) {
        feed(encoder.Encode(soft));
    }
    EXPECT_NEAR(program.GroupLevels()[0], 600, 2);
}

struct ScheduleCase {
    const char* name;
    std::vector<int32_t> levels; // band 3's level at each hop
    std::vector<float> loudness; // at each hop
    std::string flushes;         // "x" where a hop's frames go out
};

class FlushScheduleTable : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(FlushScheduleTable, SendsEveryThirdHopAndAtOnceForARise) {
    const ScheduleCase c = GetParam();
    FlushSchedule schedule;
    std::string flushes;
    for (size_t t = 0; t < c.levels.size(); ++t) {
        AudioFrameEncoder::Levels levels{};
        levels[3] = c.levels[t];
        flushes += schedule.Hop(levels, c.loudness.empty() ? 0.0f : c.loudness[t]) ? 'x' : '.';
    }
    EXPECT_EQ(flushes, c.flushes) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Hops, FlushScheduleTable,
    ::testing::Values(
        ScheduleCase{"silence", {0, 0, 0, 0, 0, 0, 0}, {}, "..x..x."},
        ScheduleCase{"an onset goes at once", {0, 0, 0, 0, 1500, 1500, 1500, 1500}, {}, "..x.x..x"},
        ScheduleCase{"a rise below a row waits", {0, 200, 300, 300, 700, 700}, {}, "..x.x."},
        ScheduleCase{"falling waits", {2000, 1000, 0, 0, 0, 0}, {}, "x..x.."},
        ScheduleCase{"louder goes at once", {0, 0, 0, 0, 0, 0}, {0, 0.1f, 0.1f, 0.1f, 0.3f, 0.3f}, "..x.x."}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

// Collects what the program broadcasts to the tool, as "D5", "D10", "P6:200"...
class Broadcasts {
public:
    BusHandler Handler() {
        return [this](BusMessage message) {
            std::lock_guard lock(m_mutex);
            if (message.kind == BusMessageKind::AudioToolData) {
                m_seen.push_back("D" + std::to_string(message.copyDataId));
            } else if (message.kind == BusMessageKind::AudioToolParameter) {
                m_seen.push_back("P" + std::to_string(message.wParam) + ":" + std::to_string(message.lParam));
            }
        };
    }
    std::vector<std::string> Seen() {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_seen;
};

class AudioToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PrivateBus::DaemonInstalled() || !SoundServer::Installed()) {
            GTEST_SKIP() << "dbus-daemon or PulseAudio is missing (scripts/install-deps.sh installs them)";
        }
        std::string why;
        ASSERT_TRUE(m_bus.Start(why)) << why;
        ASSERT_TRUE(m_sound.Start());
    }

    std::vector<std::string> ToolEnvironment() const {
        return m_sound.Environment({"DBUS_SESSION_BUS_ADDRESS=" + m_bus.Address(), "VELKOR_TRACE=1"});
    }

    // Runs the dispatcher until `done` holds; false when it never does (a broken build).
    bool PumpUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 3000; ++i) {
            m_dispatcher.ProcessPending();
            if (done()) {
                return true;
            }
            usleep(10'000);
        }
        return false;
    }

    // Raw s16le mono 44.1 kHz: `seconds` of a tone at half scale.
    std::string ToneFile(double hz, double seconds) const {
        const std::string path = m_sound.Folder() + "/tone-" + std::to_string(int(hz)) + ".raw";
        std::ofstream out(path, std::ios::binary);
        for (float s : Sine(hz, 0.5, 44100, seconds)) {
            const auto v = int16_t(std::lround(s * 32767));
            out.write(reinterpret_cast<const char*>(&v), sizeof v);
        }
        return path;
    }

    PrivateBus m_bus;
    SoundServer m_sound;
    ui::Dispatcher m_dispatcher;
};

std::vector<BusMessage> OfKind(Inbox& inbox, BusMessageKind kind, size_t from = 0) {
    std::vector<BusMessage> out;
    const std::vector<BusMessage> all = inbox.Messages();
    for (size_t i = from; i < all.size(); ++i) {
        if (all[i].kind == kind) {
            out.push_back(all[i]);
        }
    }
    return out;
}

// Whether the frames after message `from`, through the program's reduction,
// hold `band` above 1000 for five hand-overs (past the onset's); `levels`
// then holds the 25 levels.
bool BandRises(Inbox& inbox, size_t from, int band, std::vector<int32_t>& levels) {
    AudioFrameLevels reduction;
    AudioFrameLevels::Levels out{};
    int above = 0;
    for (const BusMessage& m : OfKind(inbox, BusMessageKind::CopyData, from)) {
        if (m.copyDataId == kCopyDataAudioFrame && reduction.Feed(m.data, out)) {
            above = out[size_t(band)] > 1000 ? above + 1 : 0;
            if (above == 5) {
                levels.assign(out.begin(), out.begin() + kAnalysisBands);
                return true;
            }
        }
    }
    return false;
}

TEST_F(AudioToolTest, WithoutTheProgramTheToolEndsWithTwo) {
    ChildProcess tool(m_sound.Folder() + "/tool");
    ASSERT_TRUE(tool.Start({VELKOR_AUDIO_TOOL}, ToolEnvironment()));
    EXPECT_EQ(tool.WaitExit(30'000), 2);
    EXPECT_NE(tool.Err().find("org.velkor.VELKOR01 is not running"), std::string::npos) << tool.Err();
}

// Three seconds of music fed at real-time pace to a program on the bus:
// every flush is three frames and the band values, never more than one flush
// a hop (music keeps it under one in two, at least one in three), and the
// tool's processor time (not the wall clock) stays a small part of the music.
TEST_F(AudioToolTest, MusicNeverFloodsTheBusAndCostsLittle) {
    const std::string wav = m_sound.Folder() + "/music.wav";
    WriteWav(wav, Music(48000, 3.0), 48000);
    Inbox inbox;
    DbusMessageBus program(m_bus.Address());
    ASSERT_EQ(program.Claim(inbox.Handler()), BusClaim::Owner);
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    ChildProcess tool(m_sound.Folder() + "/tool");
    ASSERT_TRUE(tool.Start({VELKOR_AUDIO_TOOL, "--file", wav}, ToolEnvironment()));
    ASSERT_EQ(tool.WaitExit(60'000), 0) << tool.Err();
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);

    unsigned long long hops = 0;
    unsigned long long sent = 0;
    unsigned long long dropped = 0;
    const std::string err = tool.Err();
    const size_t tally = err.rfind("audio: ");
    ASSERT_NE(tally, std::string::npos) << err;
    ASSERT_EQ(std::sscanf(err.c_str() + tally, "audio: %llu hops, %llu sent, %llu frames dropped", &hops,
                          &sent, &dropped),
              3)
        << err;
    EXPECT_EQ(hops, 3 * 48000 / 512);
    EXPECT_EQ(dropped, 0u);
    EXPECT_GE(sent, hops / 3);
    EXPECT_LE(sent, hops / 2);
    ASSERT_TRUE(inbox.WaitFor(4 * sent));
    size_t frames = 0;
    size_t bands = 0;
    for (const BusMessage& m : OfKind(inbox, BusMessageKind::CopyData)) {
        frames += m.copyDataId == kCopyDataAudioFrame ? 1 : 0;
        bands += m.copyDataId == kCopyDataAudioBands ? 1 : 0;
    }
    EXPECT_EQ(frames, 3 * sent);
    EXPECT_EQ(bands, sent);

    const auto ms = [](const rusage& r) {
        return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 +
               double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
    };
    EXPECT_LT(ms(after) - ms(before), 300.0) << "a tenth of the music's three seconds";
}

TEST_F(AudioToolTest, TheToolEndsWhenTheBusGoesAway) {
    Inbox inbox; // outlives the bus whose thread delivers into it
    DbusMessageBus program(m_bus.Address());
    ASSERT_EQ(program.Claim(inbox.Handler()), BusClaim::Owner);
    ChildProcess tool(m_sound.Folder() + "/tool");
    ASSERT_TRUE(tool.Start({VELKOR_AUDIO_TOOL}, ToolEnvironment()));
    ASSERT_TRUE(inbox.WaitFor(1)) << tool.Err(); // it linked
    kill(m_bus.Pid(), SIGKILL);                  // no farewell from the daemon
    m_bus.Stop();
    EXPECT_EQ(tool.WaitExit(30'000), 0) << tool.Err();
}

TEST_F(AudioToolTest, CapturesATonePlayedIntoTheNullSinkAndFollowsTheProgramsLink) {
    Inbox inbox;
    Broadcasts broadcasts;
    DbusMessageBus program(m_bus.Address());
    DbusMessageBus observer(m_bus.Address());
    ASSERT_EQ(program.Claim(inbox.Handler()), BusClaim::Owner);
    ASSERT_TRUE(observer.WatchBroadcasts(broadcasts.Handler()));
    AudioToolLink link([&](const BusMessage& message) { return program.Broadcast(message); });
    ASSERT_TRUE(link.Watch([&](const std::string& name, NameHandler h) { return program.WatchName(name, h); },
                           m_dispatcher));
    EXPECT_FALSE(link.Present());
    link.SetStyleColour(5, 0, 7);
    EXPECT_FALSE(link.Send(kToolParameterRed, 200)); // nobody to send to

    ChildProcess tool(m_sound.Folder() + "/tool");
    ASSERT_TRUE(tool.Start({VELKOR_AUDIO_TOOL}, ToolEnvironment()));
    // The name appears and the tool links: both greet it.
    ASSERT_TRUE(PumpUntil([&] {
        if (OfKind(inbox, BusMessageKind::AudioToolLink).empty()) {
            return false;
        }
        link.OnLinkRequest();
        return link.Present();
    })) << tool.Err();
    // Capturing the null sink's monitor at the server's rate.
    ASSERT_TRUE(PumpUntil([&] {
        const auto status = OfKind(inbox, BusMessageKind::AudioToolStatus);
        return !status.empty() && status.back().wParam == 0;
    })) << tool.Err();
    EXPECT_EQ(OfKind(inbox, BusMessageKind::AudioToolStatus).back().lParam, 44100);

    // A 3 kHz tone: its band rises in the program's reduction, the band values carry the colour.
    const size_t before = inbox.Count();
    auto player = m_sound.Play(ToneFile(3000, 3.0));
    ASSERT_NE(player, nullptr);
    std::vector<int32_t> loudest;
    const int band = SpectrumAnalyser::BandOf(3000);
    ASSERT_TRUE(PumpUntil([&] { return BandRises(inbox, before, band, loudest); })) << tool.Err();
    EXPECT_EQ(std::max_element(loudest.begin(), loudest.end()) - loudest.begin(), band);
    const auto bands = OfKind(inbox, BusMessageKind::CopyData, before);
    const auto bandFrame = std::find_if(bands.rbegin(), bands.rend(), [](const BusMessage& m) {
        return m.copyDataId == kCopyDataAudioBands;
    });
    ASSERT_NE(bandFrame, bands.rend());
    ASSERT_EQ(bandFrame->data.size(), kAudioBandsBytes);
    int32_t red = 0;
    int32_t blue = 0;
    std::memcpy(&red, bandFrame->data.data(), 4);
    std::memcpy(&blue, bandFrame->data.data() + 8, 4);
    EXPECT_GT(red, 0);
    EXPECT_GT(blue, red); // (5, 1, 7) times the loudness
    EXPECT_LE(blue, 255);
    player->WaitExit(30'000);

    // The sound server restarts: the tool waits for it and captures again.
    m_sound.Stop();
    ASSERT_TRUE(PumpUntil([&] {
        const auto status = OfKind(inbox, BusMessageKind::AudioToolStatus);
        return status.back().wParam == 1;
    })) << tool.Err();
    const size_t waiting = inbox.Count();
    ASSERT_TRUE(m_sound.Start());
    ASSERT_TRUE(PumpUntil([&] {
        const auto status = OfKind(inbox, BusMessageKind::AudioToolStatus, waiting);
        return !status.empty() && status.back().wParam == 0;
    })) << tool.Err();

    // A new default output: its monitor is followed.
    ASSERT_EQ(m_sound.Control({"load-module", "module-null-sink", "sink_name=u"}), 0);
    ASSERT_EQ(m_sound.Control({"set-default-sink", "u"}), 0);
    const size_t moved = inbox.Count();
    auto low = m_sound.Play(ToneFile(150, 3.0), "u");
    ASSERT_NE(low, nullptr);
    const int lowBand = SpectrumAnalyser::BandOf(150);
    ASSERT_TRUE(PumpUntil([&] { return BandRises(inbox, moved, lowBand, loudest); })) << tool.Err();
    EXPECT_EQ(std::max_element(loudest.begin(), loudest.end()) - loudest.begin(), lowBand);
    low->WaitExit(30'000);

    // A slider while the tool is there; then the program goes: 2, 4, 5, and the tool ends.
    EXPECT_TRUE(link.Send(kToolParameterRed, 300));
    link.Shutdown();
    EXPECT_EQ(tool.WaitExit(30'000), 0) << tool.Err();
    std::vector<std::string> seen = broadcasts.Seen();
    ASSERT_GE(seen.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(seen.end() - 4, seen.end()),
              (std::vector<std::string>{"P6:255", "P2:0", "P4:0", "P5:0"}));
    seen.resize(seen.size() - 4);
    // Every greeting: the device list, then the style colour.
    ASSERT_EQ(seen.size() % 2, 0u);
    for (size_t i = 0; i < seen.size(); i += 2) {
        EXPECT_EQ(seen[i], "D5");
        EXPECT_EQ(seen[i + 1], "D10");
    }
}

TEST(AudioToolFile, LevelsOfAFileAreTheProgramsOwnAndABadFileIsRefused) {
    char folder[] = "/tmp/velkor-levels-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string wav = std::string(folder) + "/tone.wav";
    WriteWav(wav, Sine(3000, 0.5, 48000, 0.5), 48000);
    ChildProcess tool(std::string(folder) + "/tool");
    ASSERT_TRUE(tool.Start({VELKOR_AUDIO_TOOL, "--file", wav, "--levels"}, {"PATH=/usr/bin:/bin"}));
    ASSERT_EQ(tool.WaitExit(30'000), 0) << tool.Err();
    std::istringstream lines(tool.Out());
    std::string line;
    std::vector<int32_t> last;
    size_t count = 0;
    while (std::getline(lines, line)) {
        std::istringstream values(line);
        last.assign(std::istream_iterator<int32_t>(values), std::istream_iterator<int32_t>());
        ASSERT_EQ(last.size(), kAnalysisBands) << line;
        ++count;
    }
    // 46 hops of 512 in half a second: sent every third hop, and the onset at once.
    EXPECT_GE(count, 46u / 3);
    EXPECT_LE(count, 46u / 3 + 2);
    const int band = SpectrumAnalyser::BandOf(3000);
    EXPECT_EQ(std::max_element(last.begin(), last.end()) - last.begin(), band);
    EXPECT_GE(last[size_t(band)], 1700); // -6 dBFS: nine tenths of full scale
    EXPECT_LE(last[size_t(band)], 2000);

    const std::string bad = std::string(folder) + "/bad.wav";
    const char header[] = "RIFF\x10\0\0\0WAVEdata\xff\xff\xff\x7f"; // a data chunk of 2 GB in 20 bytes
    std::ofstream(bad, std::ios::binary).write(header, sizeof header - 1);
    ChildProcess refused(std::string(folder) + "/bad");
    ASSERT_TRUE(refused.Start({VELKOR_AUDIO_TOOL, "--file", bad, "--levels"}, {"PATH=/usr/bin:/bin"}));
    EXPECT_EQ(refused.WaitExit(30'000), 1);
    EXPECT_NE(refused.Err().find("runs past the end"), std::string::npos) << refused.Err();
    std::filesystem::remove_all(folder);
}

TEST(AudioToolLinkData, DeviceListAndStyleColourAreByteExact) {
    const std::vector<uint8_t> list = ToolLinkAnswer();
    ASSERT_EQ(list.size(), kToolLinkBytes);
    const auto word = [&](const std::vector<uint8_t>& b, size_t i) {
        uint32_t v = 0;
        std::memcpy(&v, b.data() + 4 * i, 4);
        return v;
    };
    const std::vector<uint32_t> head = {2,      3,      0,      2,      5,      0x320F, 0x7070,
                                        2,      0x320F, 0x50B7, 1,      0x320F, 0x1004, 3,
                                        0x0C76, 0x1630, 7,      0x320F, 0x511D, 1,      0};
    for (size_t i = 0; i < head.size(); ++i) {
        EXPECT_EQ(word(list, i), head[i]) << i;
    }
    EXPECT_TRUE(std::all_of(list.begin() + 4 * head.size(), list.end(), [](uint8_t b) { return b == 0; }));
    const std::vector<uint8_t> colour = ToolStyleColour(5, 0, 12);
    ASSERT_EQ(colour.size(), kToolStyleBytes);
    EXPECT_EQ(word(colour, 0), 5u);
    EXPECT_EQ(word(colour, 1), 1u); // a green of 0 goes as 1
    EXPECT_EQ(word(colour, 2), 9u); // levels end at 9
    EXPECT_TRUE(std::all_of(colour.begin() + 12, colour.end(), [](uint8_t b) { return b == 0; }));
}

} // namespace
} // namespace velkor
