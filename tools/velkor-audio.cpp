// velkor-audio: the configuration centre's audio capture companion.
//
// It records what the computer plays (the default output's monitor, or
// --source NAME) through the sound server, analyses it (lighting/AudioAnalysis.h)
// and sends the running program, over the session bus, three audio frames
// (copy-data id 1) and one band frame (id 2: the last colour given times the
// loudness) at a time, as calls that expect no answer; while too many of its
// messages wait to be written it drops frames rather than wait or grow. It
// owns the bus name org.velkor.VELKOR01.AudioRecord while it runs, tells the
// program its state (AudioToolStatus) and obeys the program's parameters:
// 6, 7, 8 set red, green and blue (0..255); 2 stops sending until the program
// greets it again (id 5); 4 stops capturing until then; 5 ends it. The style
// colour (id 10) gives red, green and blue as levels 0..9.
//
// It ends on parameter 5, SIGTERM or SIGINT, or when the program's bus name
// loses its owner. Without a bus or a running program it ends at once with 2.
//
// --file X.wav feeds the file at real-time pace instead of the sound server;
// with --levels it prints, for every frame the program shows, the 25 levels
// the program computes from the frames, and uses no bus. With --trace it
// traces at the end how many hops it analysed and how many it sent.
#include "lighting/AudioAnalysis.h"
#include "lighting/AudioFrames.h"
#include "lighting/AudioToolFrames.h"
#include "platform/Trace.h"
#include "platform/bus/DbusMessageBus.h"
#include "platform/pulse/PulseCapture.h"
#include "platform/pulse/WavFile.h"

#include <pulse/mainloop.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace velkor {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNotRunning = 2;
constexpr size_t kFramesPerFlush = 3;

struct Options {
    std::string source;
    std::string file;
    bool levels = false;
};

void PrintUsage(std::FILE* out) {
    std::fputs("usage: velkor-audio [--source NAME] [--file X.wav [--levels]] [--trace]\n"
               "  --source NAME  record this source instead of the default output's monitor\n"
               "  --file X.wav   feed this file at real-time pace instead of the sound server\n"
               "  --levels       with --file: print the 25 levels of every frame the program shows, no bus\n",
               out);
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--source" || arg == "--file") && i + 1 < argc && argv[i + 1][0] != '\0') {
            (arg == "--source" ? options.source : options.file) = argv[++i];
        } else if (arg == "--levels") {
            options.levels = true;
        } else if (arg == "--trace") {
            SetTraceEnabled(true);
        } else {
            std::fprintf(stderr, "velkor-audio: unknown or incomplete option \"%s\"\n", arg.c_str());
            return false;
        }
    }
    if (options.levels && options.file.empty()) {
        std::fputs("velkor-audio: --levels needs --file\n", stderr);
        return false;
    }
    if (!options.file.empty() && !options.source.empty()) {
        std::fputs("velkor-audio: --file and --source exclude each other\n", stderr);
        return false;
    }
    return true;
}

std::vector<uint8_t> Bytes(std::span<const int32_t> values) {
    std::vector<uint8_t> bytes(values.size() * 4);
    for (size_t i = 0; i < values.size(); ++i) {
        const auto v = uint32_t(values[i]);
        for (size_t b = 0; b < 4; ++b) {
            bytes[i * 4 + b] = uint8_t(v >> (8 * b));
        }
    }
    return bytes;
}

int32_t Word(const std::vector<uint8_t>& bytes, size_t index) {
    if (bytes.size() < (index + 1) * 4) {
        return 0;
    }
    uint32_t v = 0;
    for (size_t b = 0; b < 4; ++b) {
        v |= uint32_t(bytes[index * 4 + b]) << (8 * b);
    }
    return int32_t(v);
}

// The file at real-time pace, one hop per turn, on the main loop's timer.
class FilePlayer {
public:
    FilePlayer(pa_mainloop_api* api, WavSound sound, std::function<void(std::span<const float>)> feed,
               std::function<void()> done)
        : m_api(api), m_sound(std::move(sound)), m_feed(std::move(feed)), m_done(std::move(done)),
          m_hop(size_t(std::lround(m_sound.rate / 93.75))) {}
    ~FilePlayer() {
        if (m_event != nullptr) {
            m_api->time_free(m_event);
        }
    }
    void Start() {
        pa_gettimeofday(&m_next);
        m_event = m_api->time_new(m_api, &m_next, &OnTime, this);
    }

private:
    static void OnTime(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* userdata) {
        auto* self = static_cast<FilePlayer*>(userdata);
        const size_t left = self->m_sound.samples.size() - self->m_at;
        const size_t take = std::min(left, self->m_hop);
        self->m_feed(std::span<const float>(self->m_sound.samples.data() + self->m_at, take));
        self->m_at += take;
        if (self->m_at >= self->m_sound.samples.size()) {
            api->time_free(event);
            self->m_event = nullptr;
            self->m_done();
            return;
        }
        // Paced from the start, so that a late turn does not slow the whole file down.
        pa_timeval_add(&self->m_next, pa_usec_t(self->m_hop) * PA_USEC_PER_SEC / self->m_sound.rate);
        api->time_restart(event, &self->m_next);
    }

    pa_mainloop_api* m_api;
    WavSound m_sound;
    std::function<void(std::span<const float>)> m_feed;
    std::function<void()> m_done;
    size_t m_hop;
    size_t m_at = 0;
    timeval m_next = {};
    pa_time_event* m_event = nullptr;
};

// Turns sound into the program's frames and hands them on three at a time
// (the program shows one frame in three), when the schedule says so.
class FrameMaker {
public:
    using Flush =
        std::function<void(const std::vector<std::vector<uint8_t>>& frames, const AudioAnalysis& last)>;
    explicit FrameMaker(Flush flush) : m_flush(std::move(flush)), m_frames(kFramesPerFlush) {}

    void SetRate(uint32_t rate) {
        if (!m_analyser || m_analyser->Rate() != rate) {
            m_analyser = SpectrumAnalyser::Create(rate);
        }
    }
    void Feed(std::span<const float> samples) {
        if (!m_analyser) {
            return;
        }
        m_analyses.clear();
        m_analyser->Feed(samples, m_analyses);
        for (const AudioAnalysis& analysis : m_analyses) {
            ++m_hops;
            AudioFrameEncoder::Levels levels{};
            std::transform(analysis.bands.begin(), analysis.bands.end(), levels.begin(), LevelOfBand);
            if (!m_schedule.Hop(levels, analysis.loudness)) {
                continue;
            }
            // Every frame of a flush carries the newest levels: whichever of
            // them the program shows, it shows the newest.
            for (std::vector<uint8_t>& frame : m_frames) {
                frame = Bytes(m_encoder.Encode(levels));
            }
            ++m_flushes;
            m_flush(m_frames, analysis);
        }
    }
    uint64_t Hops() const { return m_hops; }
    uint64_t Flushes() const { return m_flushes; }

private:
    Flush m_flush;
    std::unique_ptr<SpectrumAnalyser> m_analyser;
    std::vector<AudioAnalysis> m_analyses;
    FlushSchedule m_schedule;
    AudioFrameEncoder m_encoder;
    std::vector<std::vector<uint8_t>> m_frames;
    uint64_t m_hops = 0;
    uint64_t m_flushes = 0;
};

int RunLevels(const Options& options) {
    WavSound sound;
    std::string error;
    if (!ReadWavFile(options.file, sound, error)) {
        std::fprintf(stderr, "velkor-audio: %s\n", error.c_str());
        return kExitUsage;
    }
    if (!SpectrumAnalyser::Create(sound.rate)) {
        std::fprintf(stderr, "velkor-audio: %s: a rate of %u Hz is not supported\n", options.file.c_str(),
                     sound.rate);
        return kExitUsage;
    }
    pa_mainloop* loop = pa_mainloop_new();
    AudioFrameLevels reduction;
    FrameMaker maker([&](const std::vector<std::vector<uint8_t>>& frames, const AudioAnalysis&) {
        AudioFrameLevels::Levels levels{};
        for (const std::vector<uint8_t>& frame : frames) {
            if (reduction.Feed(frame, levels)) {
                for (size_t g = 0; g < AudioFrameLevels::kGroups; ++g) {
                    std::printf(g == 0 ? "%d" : " %d", levels[g]);
                }
                std::printf("\n");
            }
        }
        std::fflush(stdout);
    });
    maker.SetRate(sound.rate);
    FilePlayer player(
        pa_mainloop_get_api(loop), std::move(sound), [&](std::span<const float> s) { maker.Feed(s); },
        [&] { pa_mainloop_quit(loop, 0); });
    player.Start();
    int result = 0;
    pa_mainloop_run(loop, &result);
    pa_mainloop_free(loop);
    return kExitOk;
}

// What the bus thread hands the main loop.
struct Inbox {
    std::mutex mutex;
    std::deque<BusMessage> messages;
    bool programGone = false;
};

class Tool {
public:
    Tool(const Options& options, pa_mainloop* loop, MessageBus& bus)
        : m_options(options), m_loop(loop), m_api(pa_mainloop_get_api(loop)), m_bus(bus),
          m_maker([this](const auto& frames, const AudioAnalysis& last) { Flush(frames, last); }) {}

    // The bus must be closed first: its thread wakes the loop through m_wakeFd.
    ~Tool() {
        if (m_wakeFd >= 0) {
            close(m_wakeFd);
        }
    }
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;

    int Run();

private:
    // Any thread: an eventfd the loop watches, so that no wake-up is ever lost
    // (pa_mainloop_wakeup's pipe is drained at the start of each turn).
    void Wake() {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t written = write(m_wakeFd, &one, sizeof one);
    }
    static void OnWake(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t got = read(fd, &count, sizeof count);
        static_cast<Tool*>(self)->HandleMessages();
    }
    void HandleMessages();
    void OnParameter(int32_t parameter, int32_t value);
    void OnData(uint32_t id, const std::vector<uint8_t>& data);
    void OnState(CaptureState state, uint32_t rate);
    void Flush(const std::vector<std::vector<uint8_t>>& frames, const AudioAnalysis& last);
    void PostStatus();
    void StartCapture();
    void StopCapture();
    void Quit() { m_quit = true; }
    static void OnSignal(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self) {
        signalfd_siginfo info = {};
        [[maybe_unused]] ssize_t got = read(fd, &info, sizeof info);
        static_cast<Tool*>(self)->Quit();
    }

    const Options& m_options;
    pa_mainloop* m_loop;
    pa_mainloop_api* m_api;
    MessageBus& m_bus;
    FrameMaker m_maker;
    Inbox m_inbox;
    std::unique_ptr<PulseCapture> m_capture;
    std::unique_ptr<FilePlayer> m_player;
    int m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    bool m_quit = false;
    bool m_paused = false;
    bool m_captureStopped = false;
    std::array<int32_t, 3> m_colour = {255, 255, 255};
    AudioToolState m_state = AudioToolState::WaitingForServer;
    int32_t m_rate = 0;
    bool m_statusPending = true;
    uint64_t m_dropped = 0;
};

int Tool::Run() {
    if (m_wakeFd < 0) {
        std::fprintf(stderr, "velkor-audio: no eventfd: %s\n", std::strerror(errno));
        return kExitUsage;
    }
    pa_io_event* wakeEvent = m_api->io_new(m_api, m_wakeFd, PA_IO_EVENT_INPUT, &OnWake, this);
    const int owned = m_bus.WatchName(kBusName, [this](bool present) {
        if (!present) {
            std::lock_guard lock(m_inbox.mutex);
            m_inbox.programGone = true;
            Wake();
        }
    });
    if (owned < 0) {
        std::fprintf(stderr, "velkor-audio: the session bus is not running (%s)\n",
                     m_bus.LastError().c_str());
        return kExitNotRunning;
    }
    if (owned == 0) {
        std::fprintf(stderr, "velkor-audio: %s is not running\n", kBusName);
        return kExitNotRunning;
    }
    // Watched before the name is claimed: the program greets the tool as soon as it appears.
    m_bus.WatchBroadcasts([this](BusMessage message) {
        std::lock_guard lock(m_inbox.mutex);
        if (m_inbox.messages.size() < 64) {
            m_inbox.messages.push_back(std::move(message));
        }
        Wake();
    });
    switch (m_bus.ClaimName(kAudioToolBusName)) {
    case BusClaim::Owner:
        break;
    case BusClaim::OtherInstance:
        std::fprintf(stderr, "velkor-audio: another velkor-audio runs (%s)\n", m_bus.LastError().c_str());
        return kExitUsage;
    case BusClaim::NoBus:
        std::fprintf(stderr, "velkor-audio: %s\n", m_bus.LastError().c_str());
        return kExitNotRunning;
    }
    m_bus.Post(MakeBusMessage(BusMessageKind::AudioToolLink, 0, 0));
    WavSound sound;
    if (!m_options.file.empty()) {
        std::string error;
        if (!ReadWavFile(m_options.file, sound, error) || !SpectrumAnalyser::Create(sound.rate)) {
            std::fprintf(stderr, "velkor-audio: %s\n", error.empty() ? "unsupported rate" : error.c_str());
            return kExitUsage;
        }
    }
    // SIGTERM and SIGINT are blocked in every thread (main) and read here, on the loop.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    const int signals = signalfd(-1, &ending, SFD_CLOEXEC | SFD_NONBLOCK);
    pa_io_event* signalEvent =
        signals >= 0 ? m_api->io_new(m_api, signals, PA_IO_EVENT_INPUT, &OnSignal, this) : nullptr;
    if (!m_options.file.empty()) {
        m_maker.SetRate(sound.rate);
        OnState(CaptureState::Capturing, sound.rate);
        m_player = std::make_unique<FilePlayer>(
            m_api, std::move(sound), [this](std::span<const float> s) { m_maker.Feed(s); },
            [this] { Quit(); });
        m_player->Start();
    } else {
        m_capture = std::make_unique<PulseCapture>(
            m_api, m_options.source,
            [this](std::span<const float> samples) {
                if (!m_paused) {
                    m_maker.Feed(samples);
                }
            },
            [this](CaptureState state, uint32_t rate) { OnState(state, rate); });
        m_capture->Start();
    }
    while (!m_quit) {
        if (pa_mainloop_iterate(m_loop, 1, nullptr) < 0) {
            break;
        }
        if (m_statusPending) {
            PostStatus();
        }
    }
    m_player.reset();
    m_capture.reset();
    if (signalEvent != nullptr) {
        m_api->io_free(signalEvent);
    }
    m_api->io_free(wakeEvent);
    if (signals >= 0) {
        close(signals);
    }
    TraceF("audio: %llu hops, %llu sent, %llu frames dropped while the bus was busy",
           static_cast<unsigned long long>(m_maker.Hops()),
           static_cast<unsigned long long>(m_maker.Flushes()), static_cast<unsigned long long>(m_dropped));
    return kExitOk;
}

void Tool::HandleMessages() {
    std::deque<BusMessage> messages;
    bool gone = false;
    {
        std::lock_guard lock(m_inbox.mutex);
        messages.swap(m_inbox.messages);
        gone = m_inbox.programGone;
    }
    for (const BusMessage& message : messages) {
        if (message.kind == BusMessageKind::AudioToolParameter) {
            OnParameter(message.wParam, message.lParam);
        } else if (message.kind == BusMessageKind::AudioToolData) {
            OnData(message.copyDataId, message.data);
        }
    }
    if (gone) {
        Trace("audio: the program has gone");
        Quit();
    }
}

void Tool::OnParameter(int32_t parameter, int32_t value) {
    switch (parameter) {
    case kToolParameterPause:
        m_paused = true;
        break;
    case kToolParameterRelease:
        StopCapture();
        break;
    case kToolParameterEnd:
        Trace("audio: the program ends the tool");
        Quit();
        break;
    case kToolParameterRed:
    case kToolParameterGreen:
    case kToolParameterBlue:
        m_colour[size_t(parameter - kToolParameterRed)] = std::clamp(value, 0, 255);
        break;
    default:
        TraceF("audio: parameter %d ignored", parameter);
        break;
    }
}

void Tool::OnData(uint32_t id, const std::vector<uint8_t>& data) {
    if (id == kCopyDataToolLink) {
        // The program greets the tool: whatever 2 and 4 held back resumes.
        m_paused = false;
        StartCapture();
        m_statusPending = true;
    } else if (id == kCopyDataToolStyle) {
        for (size_t c = 0; c < 3; ++c) {
            m_colour[c] = std::clamp(Word(data, c), 0, 9) * 255 / 9;
        }
    }
}

void Tool::StartCapture() {
    if (m_captureStopped && m_capture) {
        m_captureStopped = false;
        m_capture->Start();
    }
}

void Tool::StopCapture() {
    if (!m_captureStopped && m_capture) {
        m_captureStopped = true;
        m_capture->Stop();
    }
}

void Tool::OnState(CaptureState state, uint32_t rate) {
    switch (state) {
    case CaptureState::Capturing:
        m_state = AudioToolState::Capturing;
        m_maker.SetRate(rate);
        break;
    case CaptureState::WaitingForServer:
        m_state = AudioToolState::WaitingForServer;
        break;
    case CaptureState::NoSuchSource:
        m_state = AudioToolState::NoSuchSource;
        break;
    }
    m_rate = state == CaptureState::Capturing ? int32_t(rate) : 0;
    m_statusPending = true;
}

void Tool::PostStatus() {
    const BusSendResult sent =
        m_bus.Post(MakeBusMessage(BusMessageKind::AudioToolStatus, int32_t(m_state), m_rate));
    m_statusPending = sent.status == BusSendStatus::Busy; // tried again after the next turn
}

void Tool::Flush(const std::vector<std::vector<uint8_t>>& frames, const AudioAnalysis& last) {
    for (const std::vector<uint8_t>& frame : frames) {
        if (m_bus.Post(MakeCopyData(BusMessageKind::CopyData, kCopyDataAudioFrame, frame)).status !=
            BusSendStatus::Delivered) {
            ++m_dropped;
        }
    }
    std::array<int32_t, 6> bands{};
    for (size_t c = 0; c < 3; ++c) {
        bands[c] = int32_t(std::lround(m_colour[c] * last.loudness));
    }
    if (m_bus.Post(MakeCopyData(BusMessageKind::CopyData, kCopyDataAudioBands, Bytes(bands))).status !=
        BusSendStatus::Delivered) {
        ++m_dropped;
    }
}

} // namespace
} // namespace velkor

int main(int argc, char** argv) {
    using namespace velkor;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return kExitOk;
    }
    InitTraceFromEnvironment(Environment::FromProcess());
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    if (options.levels) {
        return RunLevels(options);
    }
    // A program that goes away must not end this one with SIGPIPE; SIGTERM and
    // SIGINT end it through the main loop (blocked before any thread starts).
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    DbusMessageBus bus;
    pa_mainloop* loop = pa_mainloop_new();
    int result = kExitOk;
    {
        Tool tool(options, loop, bus);
        result = tool.Run();
        bus.Close(); // before the tool whose handlers it calls
    }
    pa_mainloop_free(loop);
    return result;
}
