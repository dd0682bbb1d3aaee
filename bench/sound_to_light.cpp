// Sound to light: how long a tone burst takes from leaving the sound
// server's sink to the first live frame of the keyboard that shows it, with
// everything real but the keyboard: a private dbus-daemon, a PulseAudio of
// its own with a null sink, `velkor --headless --simulate` (frames logged
// with their times in VELKOR_SIM_LOG) and the velkor-audio it starts.
//
// 30 bursts of 80 ms (1 kHz, half scale) with gaps of 450..750 ms are played
// into the null sink (pacat, 20 ms buffer); a recorder of the sink's monitor
// notes when each burst's first sample leaves the sink. A live frame shows a
// burst when it lights a key: one that is much brighter than in the frame
// before and does not show the background colour (effect 29 draws silence
// in it; a fading key falls back to it). Then 8 s of generated music, twice,
// during which the tool's processor time is read from /proc (the scheduler's
// count over all its threads): played with a 100 ms buffer, as music players
// play (tool_cpu_percent), and with the bursts' 20 ms (tool_cpu_20ms_percent),
// which makes the null sink hand on a block every 5 ms or so, each a wake-up
// of the tool.
//
// Counters: latency_median_ms, latency_p90_ms, latency_max_ms (bursts that
// never showed within 300 ms count as 300 and as missed), spurious (keys lit
// in the 300 ms before a burst: the check is broken), tool_cpu_percent,
// tool_cpu_20ms_percent.
// SOUND_TO_LIGHT_KEEP=PATH keeps the log (PATH.log) and the onsets on its
// clock (PATH.onsets).
// Goals: median <= 30 ms, worst <= 50 ms, the tool below 2 % of one core.
#include "app/ChildProcess.h"
#include "audio/SoundServer.h"
#include "bus/PrivateBus.h"

#include <benchmark/benchmark.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <random>
#include <sstream>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace velkor {
namespace {

using test::ChildProcess;
using test::PrivateBus;
using test::SoundServer;

constexpr uint32_t kRate = 44100; // what SoundServer::Play plays
constexpr int kBursts = 30;
constexpr double kBurstSeconds = 0.080;
constexpr double kMusicSeconds = 8;
constexpr double kMissMs = 300;
constexpr const char* kKeyboard = "keyboard-50b7";

double MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

void WriteRaw(const std::string& path, const std::vector<float>& samples) {
    std::ofstream out(path, std::ios::binary);
    for (float s : samples) {
        const auto v = int16_t(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767));
        out.write(reinterpret_cast<const char*>(&v), sizeof v);
    }
}

// Half a second of silence, then the bursts with their gaps.
std::vector<float> Bursts() {
    std::mt19937 random(29);
    std::uniform_real_distribution<double> gap(0.450, 0.750);
    std::vector<float> samples(kRate / 2, 0.0f);
    const size_t length = size_t(kBurstSeconds * kRate);
    const size_t fade = kRate / 1000;
    for (int b = 0; b < kBursts; ++b) {
        for (size_t n = 0; n < length; ++n) {
            const double edge = std::min({1.0, double(n) / fade, double(length - n) / fade});
            samples.push_back(float(0.5 * edge * std::sin(2 * std::numbers::pi * 1000 * double(n) / kRate)));
        }
        samples.resize(samples.size() + size_t(gap(random) * kRate), 0.0f);
    }
    return samples;
}

// Something like music: a kick on the beat, a snare between, hi-hats on
// the sixteenths, a bass line and a chord that change every half bar.
std::vector<float> Music() {
    std::mt19937 random(30);
    std::uniform_real_distribution<float> noise(-1, 1);
    std::vector<float> samples(size_t(kMusicSeconds * kRate), 0.0f);
    const double beat = 0.5;
    const double bass[] = {55, 65.4, 49, 73.4};
    const double chords[][3] = {{220, 277, 330}, {262, 330, 392}, {196, 247, 294}, {294, 370, 440}};
    for (size_t n = 0; n < samples.size(); ++n) {
        const double t = double(n) / kRate;
        const double inBeat = std::fmod(t, beat);
        const double inSixteenth = std::fmod(t, beat / 4);
        const int half = int(t / (2 * beat)) % 4;
        double s = 0.5 * std::exp(-inBeat * 20) * std::sin(2 * std::numbers::pi * 60 * inBeat);
        const double offBeat = std::fmod(t + beat / 2, beat);
        s += 0.25 * std::exp(-offBeat * 30) * noise(random);
        s += 0.08 * std::exp(-inSixteenth * 80) * noise(random);
        s += 0.2 * std::sin(2 * std::numbers::pi * bass[half] * t);
        for (double hz : chords[half]) {
            s += 0.07 * std::sin(2 * std::numbers::pi * hz * t);
        }
        samples[n] = float(s);
    }
    return samples;
}

// Records the sink's monitor and notes when each burst's first sample
// leaves the sink. The null sink hands its monitor a block at a time, ahead
// of the block's playing time, and the recorder may hear of it late; but a
// block's first sample never arrives before it is due, so the earliest
// (arrival - sample index / rate) of the deliveries near an onset is the
// sink's clock, and the onset leaves the sink at that clock plus its own
// index / rate. Its fragments are large so that the sink's block size stays
// what velkor-audio and the player ask for.
class OnsetRecorder {
public:
    ~OnsetRecorder() { Stop(); }

    bool Start(const SoundServer& sound) {
        for (const std::string& entry : sound.Environment()) {
            const size_t equals = entry.find('=');
            setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
        }
        m_loop = pa_threaded_mainloop_new();
        m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "sound-to-light");
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
            return false;
        }
        pa_context_set_state_callback(m_context, &OnSignal, m_loop);
        pa_threaded_mainloop_lock(m_loop);
        pa_threaded_mainloop_start(m_loop);
        bool ready = WaitState([&] { return pa_context_get_state(m_context); }, PA_CONTEXT_READY);
        if (ready) {
            const pa_sample_spec format = {PA_SAMPLE_FLOAT32LE, kRate, 1};
            m_stream = pa_stream_new(m_context, "onsets", &format, nullptr);
            pa_buffer_attr attr{};
            attr.maxlength = uint32_t(-1);
            attr.fragsize = kRate / 25 * sizeof(float); // 40 ms
            pa_stream_set_state_callback(m_stream, &OnSignal, m_loop);
            pa_stream_set_read_callback(m_stream, &OnRead, this);
            ready = pa_stream_connect_record(m_stream, "t.monitor", &attr, PA_STREAM_NOFLAGS) == 0 &&
                    WaitState([&] { return pa_stream_get_state(m_stream); }, PA_STREAM_READY);
        }
        pa_threaded_mainloop_unlock(m_loop);
        return ready;
    }

    void Stop() {
        if (m_loop == nullptr) {
            return;
        }
        pa_threaded_mainloop_stop(m_loop);
        if (m_stream != nullptr) {
            pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
        }
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
    }

    // When each burst left the sink (monotonic ms); call after Stop.
    std::vector<double> Onsets() const {
        std::vector<double> onsets;
        for (uint64_t index : m_onsets) {
            const auto after = std::upper_bound(m_deliveries.begin(), m_deliveries.end(), index,
                                                [](uint64_t i, const Delivery& d) { return i < d.first; });
            if (after == m_deliveries.begin()) {
                continue;
            }
            const double near = std::prev(after)->arrivalMs;
            double clock = near - SampleMs(std::prev(after)->first);
            for (const Delivery& d : m_deliveries) {
                if (std::fabs(d.arrivalMs - near) < 2000) {
                    clock = std::min(clock, d.arrivalMs - SampleMs(d.first));
                }
            }
            onsets.push_back(clock + SampleMs(index));
        }
        return onsets;
    }

private:
    struct Delivery {
        double arrivalMs;
        uint64_t first; // the index of its first sample
    };

    static double SampleMs(uint64_t index) { return double(index) * 1000.0 / kRate; }

    template <class Get, class Value> bool WaitState(Get get, Value ready) {
        for (;;) {
            const auto state = get();
            if (state == ready) {
                return true;
            }
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) ||
                (m_stream != nullptr && !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)))) {
                return false;
            }
            pa_threaded_mainloop_wait(m_loop);
        }
    }
    static void OnSignal(pa_context*, void* loop) {
        pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
    }
    static void OnSignal(pa_stream*, void* loop) {
        pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
    }
    static void OnRead(pa_stream* stream, size_t, void* self) {
        static_cast<OnsetRecorder*>(self)->Read(stream);
    }

    void Read(pa_stream* stream) {
        const double now = MonotonicMs();
        m_deliveries.push_back({now, m_index});
        const void* data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 &&
               bytes > 0) {
            const size_t count = bytes / sizeof(float);
            const auto* samples = static_cast<const float*>(data);
            for (size_t i = 0; i < count; ++i) {
                const float level = samples != nullptr ? std::fabs(samples[i]) : 0.0f;
                if (!m_sounding && level > 0.01f) {
                    m_sounding = true;
                    m_onsets.push_back(m_index + i);
                }
                // A burst ends after 200 ms of quiet: a player that ran dry for
                // a moment (a busy machine) does not start a second one.
                m_quiet = level < 0.001f ? m_quiet + 1 : 0;
                if (m_sounding && m_quiet > kRate / 5) {
                    m_sounding = false;
                }
            }
            m_index += count;
            pa_stream_drop(stream);
        }
    }

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    // Mainloop thread until Stop.
    uint64_t m_index = 0;
    bool m_sounding = false;
    size_t m_quiet = 0;
    std::vector<Delivery> m_deliveries;
    std::vector<uint64_t> m_onsets;
};

// The keyboard's live frames in the simulator's log: completion time (ms
// since the log opened) and the colour bytes, three per key.
struct LiveFrame {
    double ms = 0;
    std::vector<uint8_t> colours;
};

bool ReadLiveFrames(const std::string& path, double& openedMs, std::vector<LiveFrame>& frames) {
    std::ifstream log(path);
    std::string line;
    if (!std::getline(log, line) || std::sscanf(line.c_str(), "# opened at %lf monotonic", &openedMs) != 1) {
        return false;
    }
    LiveFrame current;
    while (std::getline(log, line)) {
        std::istringstream fields(line);
        double ms = 0;
        std::string direction;
        std::string unit;
        fields >> ms >> direction >> unit;
        if (direction != "out" || unit != "keyboard") {
            continue;
        }
        std::vector<uint8_t> bytes;
        for (std::string hex; fields >> hex;) {
            bytes.push_back(uint8_t(std::stoi(hex, nullptr, 16)));
        }
        if (bytes.size() < 8 || bytes[3] != 0x12) { // the live colours
            continue;
        }
        const size_t count = std::min<size_t>(bytes[4], bytes.size() - 8);
        if ((bytes[5] | bytes[6] << 8) == 0 && !current.colours.empty()) {
            frames.push_back(std::move(current));
            current = {};
        }
        current.colours.insert(current.colours.end(), bytes.begin() + 8, bytes.begin() + 8 + long(count));
        current.ms = ms;
    }
    if (!current.colours.empty()) {
        frames.push_back(std::move(current));
    }
    return true;
}

// The colour most keys of a frame show: the background.
uint32_t Background(const LiveFrame& frame) {
    std::map<uint32_t, int> counts;
    for (size_t k = 0; k + 2 < frame.colours.size(); k += 3) {
        ++counts[uint32_t(frame.colours[k]) << 16 | uint32_t(frame.colours[k + 1]) << 8 |
                 frame.colours[k + 2]];
    }
    return std::max_element(counts.begin(), counts.end(),
                            [](auto& a, auto& b) { return a.second < b.second; })
        ->first;
}

// Whether `frame` lights a key that `before` did not: a key at least 64
// brighter (its three bytes summed) that does not show the background. A
// fading key that falls back to the background is no new light.
bool LightsAKey(const LiveFrame& before, const LiveFrame& frame, uint32_t background) {
    for (size_t k = 0; k + 2 < frame.colours.size() && k + 2 < before.colours.size(); k += 3) {
        const int now = frame.colours[k] + frame.colours[k + 1] + frame.colours[k + 2];
        const int then = before.colours[k] + before.colours[k + 1] + before.colours[k + 2];
        const uint32_t colour =
            uint32_t(frame.colours[k]) << 16 | uint32_t(frame.colours[k + 1]) << 8 | frame.colours[k + 2];
        if (now >= then + 64 && colour != background) {
            return true;
        }
    }
    return false;
}

// The latency of each onset (ms since the log opened): from the onset to
// the first frame that lights a key. `spurious` counts the frames of the
// 300 ms before each onset that lit one (silence that lights: a broken test).
std::vector<double> Latencies(const std::vector<LiveFrame>& frames, const std::vector<double>& onsets,
                              int& missed, int& spurious) {
    std::vector<double> latencies;
    missed = 0;
    spurious = 0;
    for (double onset : onsets) {
        const auto after = std::upper_bound(frames.begin(), frames.end(), onset,
                                            [](double t, const LiveFrame& f) { return t < f.ms; });
        if (after == frames.begin()) {
            continue;
        }
        const uint32_t background = Background(*std::prev(after));
        for (auto f = after - 1; f != frames.begin() && onset - f->ms < kMissMs; --f) {
            spurious += LightsAKey(*std::prev(f), *f, background) ? 1 : 0;
        }
        double latency = kMissMs;
        for (auto f = after; f != frames.end() && f->ms - onset < kMissMs; ++f) {
            if (LightsAKey(*std::prev(f), *f, background)) {
                latency = f->ms - onset;
                break;
            }
        }
        missed += latency >= kMissMs ? 1 : 0;
        latencies.push_back(latency);
    }
    return latencies;
}

// The velkor-audio that `parent` started; -1 when there is none.
pid_t ToolOf(pid_t parent) {
    DIR* proc = opendir("/proc");
    pid_t found = -1;
    while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
        const pid_t pid = pid_t(std::atoi(entry->d_name));
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string text;
        if (pid <= 0 || !std::getline(stat, text)) {
            continue;
        }
        const size_t close = text.rfind(')');
        std::istringstream rest(text.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && text.find("(velkor-audio)") != std::string::npos) {
            found = pid;
        }
    }
    if (proc != nullptr) {
        closedir(proc);
    }
    return found;
}

// The time all threads of a process have run, in nanoseconds (the
// scheduler's own count: finer than the clock ticks of /proc/PID/stat); -1
// when the process is gone.
double CpuNs(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* folder = opendir(tasks.c_str());
    if (folder == nullptr) {
        return -1;
    }
    double total = 0;
    while (dirent* entry = readdir(folder)) {
        std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
        double ran = 0;
        if (entry->d_name[0] != '.' && schedstat >> ran) {
            total += ran;
        }
    }
    closedir(folder);
    return total;
}

void SoundToLight(benchmark::State& state, int effect) {
    if (!PrivateBus::DaemonInstalled() || !SoundServer::Installed()) {
        state.SkipWithError("dbus-daemon or PulseAudio is missing (scripts/install-deps.sh installs them)");
        return;
    }
    for (auto _ : state) {
        PrivateBus bus;
        SoundServer sound;
        std::string why;
        if (!bus.Start(why) || !sound.Start()) {
            state.SkipWithError(("no bus or sound server: " + why).c_str());
            return;
        }
        const std::string folder = sound.Folder();
        const std::string log = folder + "/sim.log";
        const std::vector<std::string> environment = sound.Environment(
            {"DBUS_SESSION_BUS_ADDRESS=" + bus.Address(), "VELKOR_SIM_LOG=" + log,
             "XDG_CONFIG_HOME=" + folder + "/home/config", "XDG_DATA_HOME=" + folder + "/home/data"});
        ChildProcess velkor(folder + "/velkor");
        if (!velkor.Start({VELKOR_PROGRAM, "--headless", "--simulate"}, environment)) {
            state.SkipWithError("velkor did not start");
            return;
        }
        // The keyboard shows the audio effect once the program is up (a setting
        // made while the keyboard is still being read is read over); then it starts the tool.
        const auto control = [&](const std::vector<std::string>& args, std::string* out = nullptr) {
            ChildProcess ctl(folder + "/ctl");
            std::vector<std::string> argv{VELKOR_CTL};
            argv.insert(argv.end(), args.begin(), args.end());
            const bool ok = ctl.Start(argv, environment) && ctl.WaitExit(10'000) == 0;
            if (out != nullptr) {
                *out = ctl.Out();
            }
            return ok;
        };
        const std::string wanted = std::to_string(effect) + "\n";
        bool set = false;
        for (int i = 0; i < 100 && !set; ++i) {
            usleep(200'000);
            std::string shown;
            set =
                control({"set", kKeyboard, "effect=" + std::to_string(effect), "brightness=4", "speed=2"}) &&
                usleep(500'000) == 0 && control({"get", kKeyboard, "effect"}, &shown) && shown == wanted;
        }
        pid_t tool = -1;
        for (int i = 0; i < 300 && tool < 0; ++i) {
            usleep(100'000);
            tool = ToolOf(velkor.Pid());
        }
        if (!set || tool < 0) {
            state.SkipWithError(set ? "velkor-audio was not started" : "the keyboard's effect was not set");
            return;
        }
        usleep(1'500'000); // the tool links and captures

        OnsetRecorder recorder;
        if (!recorder.Start(sound)) {
            state.SkipWithError("the sink's monitor cannot be recorded");
            return;
        }
        const std::string bursts = folder + "/bursts.raw";
        const std::string music = folder + "/music.raw";
        WriteRaw(bursts, Bursts());
        WriteRaw(music, Music());
        if (auto player = sound.Play(bursts)) {
            player->WaitExit(60'000);
        }
        usleep(300'000);
        // The tool's share of a core while music plays from a player with a
        // buffer of `bufferMs`; -1 when it cannot be read.
        const auto toolCpu = [&](int bufferMs) {
            const double before = CpuNs(tool);
            const double start = MonotonicMs();
            if (auto player = sound.Play(music, "t", bufferMs)) {
                player->WaitExit(60'000);
            }
            const double after = CpuNs(tool);
            return before >= 0 && after >= before ? 100.0 * (after - before) / 1e6 / (MonotonicMs() - start)
                                                  : -1;
        };
        const double cpuMusicPlayer = toolCpu(100);
        const double cpuShortBuffer = toolCpu(20);
        recorder.Stop();
        velkor.Signal(SIGTERM);
        velkor.WaitExit(20'000);

        double openedMs = 0;
        std::vector<LiveFrame> frames;
        if (!ReadLiveFrames(log, openedMs, frames) || frames.empty()) {
            state.SkipWithError("no live frames in the simulator's log");
            return;
        }
        std::vector<double> onsets = recorder.Onsets();
        onsets.resize(std::min<size_t>(onsets.size(), kBursts)); // the music's own onsets are not counted
        for (double& onset : onsets) {
            onset -= openedMs;
        }
        if (const char* keep = std::getenv("SOUND_TO_LIGHT_KEEP")) {
            // For a closer look: the log, and the onsets on its clock.
            std::filesystem::copy_file(log, std::string(keep) + ".log",
                                       std::filesystem::copy_options::overwrite_existing);
            std::ofstream out(std::string(keep) + ".onsets");
            for (double onset : onsets) {
                out << onset << "\n";
            }
        }
        int missed = 0;
        int spurious = 0;
        std::vector<double> latencies = Latencies(frames, onsets, missed, spurious);
        if (latencies.empty()) {
            state.SkipWithError("no burst was heard");
            return;
        }
        std::sort(latencies.begin(), latencies.end());
        const auto at = [&](double q) { return latencies[size_t(q * double(latencies.size() - 1) + 0.5)]; };
        state.counters["bursts"] = double(latencies.size());
        state.counters["missed"] = missed;
        state.counters["spurious"] = spurious;
        state.counters["latency_median_ms"] = at(0.5);
        state.counters["latency_p90_ms"] = at(0.9);
        state.counters["latency_max_ms"] = latencies.back();
        state.counters["tool_cpu_percent"] = cpuMusicPlayer;
        state.counters["tool_cpu_20ms_percent"] = cpuShortBuffer;
    }
}

BENCHMARK_CAPTURE(SoundToLight, effect29, 29)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(SoundToLight, effect30, 30)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace velkor

BENCHMARK_MAIN();
