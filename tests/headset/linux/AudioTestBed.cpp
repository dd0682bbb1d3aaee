// The Linux audio plugin's test bed.
#include "headset/linux/AudioTestBed.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef VELKOR_TEST_CARD_PLUGIN
#error "VELKOR_TEST_CARD_PLUGIN names the test card's ALSA control plugin"
#endif

namespace velkor::test {

namespace {

constexpr double kPi = 3.14159265358979323846;

void WriteFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string CardFile(const std::string& home, bool sidetone) {
    return home + (sidetone ? "/card-sidetone" : "/card-plain");
}

// Replaces the process image; only called in a child.
[[noreturn]] void Exec(const std::vector<std::string>& argv, const std::string& log) {
    setpgid(0, 0);
    if (!log.empty()) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

bool WaitPid(pid_t pid, int ms, int* status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (true) {
        const pid_t done = waitpid(pid, status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void EndGroup(pid_t group) {
    int status = 0;
    kill(-group, SIGTERM);
    if (!WaitPid(group, 3000, &status)) {
        kill(-group, SIGKILL);
        WaitPid(group, 3000, &status);
    }
    // Whatever of the group outlived its leader.
    kill(-group, SIGKILL);
}

double Goertzel(const double* samples, size_t count, int rate, double hz) {
    const double w = 2 * kPi * hz / rate;
    const double coefficient = 2 * std::cos(w);
    double s1 = 0;
    double s2 = 0;
    for (size_t i = 0; i < count; ++i) {
        // A Hann window keeps neighbouring frequencies out.
        const double window = 0.5 - 0.5 * std::cos(2 * kPi * double(i) / double(count - 1));
        const double s0 = samples[i] * window + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 4 * std::sqrt(std::max(power, 0.0)) / double(count); // amplitude, Hann gain 0.5 undone
}

} // namespace

TestHome& TestHome::Get() {
    static TestHome home;
    return home;
}

TestHome::TestHome() {
    char pattern[] = "/tmp/velkor_audio_XXXXXX";
    m_path = mkdtemp(pattern) != nullptr ? pattern : "/tmp/velkor_audio";
    std::filesystem::create_directories(m_path + "/run");
    chmod((m_path + "/run").c_str(), 0700);
    setenv("HOME", m_path.c_str(), 1);
    setenv("XDG_STATE_HOME", (m_path + "/state").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_path + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (m_path + "/run").c_str(), 1);
    unsetenv("PIPEWIRE_RUNTIME_DIR");
    unsetenv("PIPEWIRE_REMOTE");
    // No session bus of the user: nothing may autolaunch one that outlives the test.
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + m_path + "/no-bus").c_str(), 1);
    std::ostringstream asoundrc;
    asoundrc << "ctl_type.velkortest { lib \"" << VELKOR_TEST_CARD_PLUGIN << "\" }\n"
             << "ctl.velkor_sidetone { type velkortest sidetone true state \"" << CardFile(m_path, true)
             << "\" }\n"
             << "ctl.velkor_plain { type velkortest sidetone false state \"" << CardFile(m_path, false)
             << "\" }\n";
    WriteFile(m_path + "/.asoundrc", asoundrc.str());
}

TestHome::~TestHome() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

CardValues TestHome::Card(bool sidetone) const {
    CardValues values{-1, -1, -1, -1};
    std::ifstream in(CardFile(m_path, sidetone));
    in >> values[0] >> values[1] >> values[2] >> values[3];
    return values;
}

void TestHome::SetCard(bool sidetone, const CardValues& values) const {
    std::ostringstream text;
    text << values[0] << ' ' << values[1] << ' ' << values[2] << ' ' << values[3] << '\n';
    WriteFile(CardFile(m_path, sidetone), text.str());
}

std::string MissingProgram(const std::vector<std::string>& names) {
    const char* path = std::getenv("PATH");
    for (const std::string& name : names) {
        bool found = false;
        std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
        std::string folder;
        while (!found && std::getline(folders, folder, ':')) {
            found = access((folder + "/" + name).c_str(), X_OK) == 0;
        }
        if (!found) {
            return name;
        }
    }
    return {};
}

SoundServer::~SoundServer() {
    if (m_group > 0) {
        EndGroup(m_group);
    }
}

bool SoundServer::Start(std::string& error) {
    const std::string home = TestHome::Get().Path();
    // The headset's sink: a null sink with its vendor and product, as the
    // ALSA monitor would describe the card.
    WriteFile(home + "/config/pipewire/pipewire.conf.d/50-velkor-headset.conf",
              std::string("context.objects = [\n"
                          "  { factory = adapter args = {\n"
                          "      factory.name = support.null-audio-sink\n"
                          "      node.name = \"") +
                  kHeadsetSink +
                  "\" node.description = \"Test headset\"\n"
                  "      media.class = Audio/Sink object.linger = true\n"
                  "      audio.position = [ FL FR ] monitor.channel-volumes = true\n"
                  "      device.vendor.id = \"0x0c76\" device.product.id = \"0x1630\" } }\n"
                  "]\n");
    const std::string log = home + "/sound-server.log";
    const pid_t pid = fork();
    if (pid == 0) {
        // The session manager once the daemon listens: started together, it
        // may find no daemon and end. The group ends itself when the test
        // process dies, even by a crash.
        const std::string watch = "pipewire & i=0; while [ ! -S \"$XDG_RUNTIME_DIR/pipewire-0\" ] && [ $i "
                                  "-lt 200 ]; do sleep 0.05; "
                                  "i=$((i+1)); done; wireplumber & while kill -0 " +
                                  std::to_string(getppid()) + " 2>/dev/null; do sleep 1; done; kill 0";
        Exec({"dbus-run-session", "--", "sh", "-c", watch}, log);
    }
    if (pid < 0) {
        error = "fork failed";
        return false;
    }
    m_group = pid;
    setpgid(pid, pid);
    // Ready once wireplumber has made the null sink the default.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string sink = Capture({"pw-metadata", "-n", "default", "0", "default.audio.sink"});
        if (sink.find(kHeadsetSink) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::ifstream in(log);
    error = "the sound server did not come up:\n" +
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return false;
}

Child::Child(const std::vector<std::string>& argv) {
    const std::string log = TestHome::Get().Path() + "/children.log";
    m_pid = fork();
    if (m_pid == 0) {
        Exec(argv, log);
    }
}

Child::~Child() {
    if (m_pid > 0) {
        EndGroup(m_pid);
    }
}

bool Child::Wait(int ms) {
    int status = 0;
    if (m_pid <= 0 || !WaitPid(m_pid, ms, &status)) {
        return false;
    }
    m_pid = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Child::Interrupt() {
    if (m_pid > 0) {
        kill(m_pid, SIGINT);
    }
}

std::string Capture(const std::vector<std::string>& argv) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 2);
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    std::string output;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(pipeFds[0], buffer, sizeof(buffer))) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) {
            output.append(buffer, size_t(n));
        }
    }
    close(pipeFds[0]);
    int status = 0;
    if (pid > 0) {
        waitpid(pid, &status, 0);
    }
    return output;
}

bool WriteTone(const std::string& path, double hz, double amplitude, double seconds) {
    const uint32_t rate = 48000;
    const uint32_t frames = uint32_t(seconds * rate);
    std::string data;
    for (uint32_t i = 0; i < frames; ++i) {
        const int16_t sample = int16_t(std::lround(32767.0 * amplitude * std::sin(2 * kPi * hz * i / rate)));
        data.append(reinterpret_cast<const char*>(&sample), 2);
    }
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    const std::string header = "RIFF" + u32(36 + uint32_t(data.size())) + "WAVEfmt " + u32(16) + u16(1) +
                               u16(1) + u32(rate) + u32(rate * 2) + u16(2) + u16(16) + "data" +
                               u32(uint32_t(data.size()));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << header << data;
    return bool(out);
}

std::vector<double> ReadWav(const std::string& path, int& rate) {
    std::ifstream in(path, std::ios::binary);
    const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<double> samples;
    rate = 0;
    uint16_t format = 0;
    uint16_t channels = 0;
    uint16_t bits = 0;
    // Chunks after "RIFF....WAVE"; a recording cut short may state no data size.
    for (size_t at = 12; at + 8 <= file.size();) {
        const std::string id = file.substr(at, 4);
        uint32_t size = 0;
        std::memcpy(&size, file.data() + at + 4, 4);
        const size_t body = at + 8;
        if (id == "fmt " && body + 16 <= file.size()) {
            std::memcpy(&format, file.data() + body, 2);
            std::memcpy(&channels, file.data() + body + 2, 2);
            std::memcpy(&rate, file.data() + body + 4, 4);
            std::memcpy(&bits, file.data() + body + 14, 2);
        } else if (id == "data" && channels > 0 && bits >= 16) {
            const size_t frame = size_t(channels) * bits / 8;
            const size_t end =
                std::min(file.size(), size == 0 || size == 0xFFFFFFFF ? file.size() : body + size);
            for (size_t p = body; p + frame <= end; p += frame) {
                if (bits == 16) {
                    int16_t s = 0;
                    std::memcpy(&s, file.data() + p, 2);
                    samples.push_back(s / 32768.0);
                } else if (bits == 32 && format == 3) {
                    float f = 0;
                    std::memcpy(&f, file.data() + p, 4);
                    samples.push_back(f);
                } else if (bits == 32) {
                    int32_t s = 0;
                    std::memcpy(&s, file.data() + p, 4);
                    samples.push_back(s / 2147483648.0);
                }
            }
            break;
        }
        at = body + size + (size & 1);
    }
    return samples;
}

double PeakAmplitude(const std::vector<double>& samples, int rate, double hz) {
    const size_t window = size_t(rate / 20);
    double peak = 0;
    for (size_t at = 0; rate > 0 && at + window <= samples.size(); at += window) {
        peak = std::max(peak, Goertzel(samples.data() + at, window, rate, hz));
    }
    return peak;
}

double DominantFrequency(const std::vector<double>& samples, int rate, double low, double high) {
    const size_t window = size_t(rate);
    if (rate <= 0 || samples.size() < window) {
        return 0;
    }
    const double* last = samples.data() + samples.size() - window;
    double best = 0;
    double bestHz = 0;
    for (double hz = low; hz <= high; hz += 1.0) {
        const double amplitude = Goertzel(last, window, rate, hz);
        if (amplitude > best) {
            best = amplitude;
            bestHz = hz;
        }
    }
    return bestHz;
}

} // namespace velkor::test
