// bench_sdk: Direct frames from an SDK client to the simulated keyboard at 60
// frames/s. Runs velkor --headless --simulate --sdk-server with the frame log,
// puts the keyboard in Direct, then measures the program's processor time with
// the live stream alone and with the client's frames, and how long each frame
// takes from the client's send to the keyboard's live frame (the simulator's
// log on the monotonic clock). Counters: extra_core_percent, frame_to_device_ms
// (median), frames_seen.
#include "sdk/SdkWire.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace velkor::sdk;

double MonotonicMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

// utime + stime of a process, in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) {
            ticks += std::stod(field);
        }
    }
    return ticks / double(sysconf(_SC_CLK_TCK));
}

struct Client {
    int fd = -1;
    bool Connect(uint16_t port) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        return connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    void Send(const std::vector<uint8_t>& bytes) { (void)send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // The next answer; the server's list updates in between are passed over.
    std::vector<uint8_t> Answer() {
        while (true) {
            uint8_t header[kHeaderSize];
            if (!Read(header, kHeaderSize)) {
                return {};
            }
            Header h;
            ReadHeader(header, h);
            std::vector<uint8_t> payload(h.size);
            Read(payload.data(), payload.size());
            if (h.packetId != kDeviceListUpdated) {
                return payload;
            }
        }
    }
    bool Read(uint8_t* out, size_t n) {
        for (size_t got = 0; got < n;) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0) {
                return false;
            }
            const ssize_t r = recv(fd, out + got, n - got, 0);
            if (r <= 0) {
                return false;
            }
            got += size_t(r);
        }
        return true;
    }
};

std::vector<uint8_t> U32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

void DirectFrames(benchmark::State& state) {
    char folder[] = "/tmp/velkor-bench-sdk-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string home = folder;
    const std::string log = home + "/sim.log";
    const uint16_t port = uint16_t(30000 + getpid() % 20000);
    std::vector<std::string> env = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/c",
                                    "XDG_DATA_HOME=" + home + "/d", "VELKOR_SIM_LOG=" + log,
                                    "DBUS_SESSION_BUS_ADDRESS=unix:path=" + home + "/none"};
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::string portArg = "--sdk-server=" + std::to_string(port);
    const char* argv[] = {VELKOR_PROGRAM, "--headless", "--simulate", portArg.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, VELKOR_PROGRAM, nullptr, nullptr, const_cast<char**>(argv), envp.data()) != 0) {
        state.SkipWithError("velkor cannot be started");
        return;
    }
    Client client;
    for (int i = 0; i < 100 && !client.Connect(port); ++i) {
        close(client.fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    client.Send(MakePacket(0, kRequestProtocolVersion, U32(kSdkProtocolVersion)));
    client.Answer();
    // The wireless keyboard, once the five are there.
    int keyboard = -1;
    size_t leds = 0;
    uint32_t directIndex = 0;
    for (int attempt = 0; attempt < 300 && keyboard < 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        client.Send(MakePacket(0, kRequestControllerCount, {}));
        const auto count = client.Answer();
        const uint32_t n = count.size() == 4 ? count[0] : 0;
        for (uint32_t i = 0; i < n && n == 5; ++i) {
            client.Send(MakePacket(i, kRequestControllerData, U32(kSdkProtocolVersion)));
            const auto c = ReadController(client.Answer(), kSdkProtocolVersion);
            if (c && c->description.find("keyboard-50b7") != std::string::npos) {
                keyboard = int(i);
                leds = c->leds.size();
                directIndex = uint32_t(c->modes.size() - 1);
            }
        }
    }
    double extraPercent = 0, median = 0;
    size_t seen = 0;
    if (keyboard < 0) {
        state.SkipWithError("the keyboard did not come");
    } else {
        std::vector<uint8_t> mode = U32(directIndex);
        Mode direct;
        direct.name = "Direct";
        direct.colourMode = ColourMode::PerLed;
        AppendMode(mode, direct, kSdkProtocolVersion);
        std::vector<uint8_t> payload = U32(uint32_t(mode.size() + 4));
        payload.insert(payload.end(), mode.begin(), mode.end());
        client.Send(MakePacket(uint32_t(keyboard), kUpdateMode, payload));
        std::this_thread::sleep_for(std::chrono::seconds(1));
        constexpr double kSeconds = 4;
        for (auto _ : state) {
            // The live stream alone.
            const double idle0 = CpuSeconds(pid);
            std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds));
            const double idle = CpuSeconds(pid) - idle0;
            // The same time with 60 frames/s, each with a colour of its own.
            std::map<uint32_t, double> sentAt;
            const double busy0 = CpuSeconds(pid);
            const double start = MonotonicMs();
            for (uint32_t frame = 1; MonotonicMs() - start < kSeconds * 1000; ++frame) {
                std::vector<uint8_t> body = {uint8_t(leds), uint8_t(leds >> 8)};
                for (size_t i = 0; i < leds; ++i) {
                    const std::vector<uint8_t> colour = {uint8_t(frame), 0x5A, uint8_t(frame >> 8), 0};
                    body.insert(body.end(), colour.begin(), colour.end());
                }
                std::vector<uint8_t> packet = U32(uint32_t(body.size() + 4));
                packet.insert(packet.end(), body.begin(), body.end());
                sentAt[frame] = MonotonicMs();
                client.Send(MakePacket(uint32_t(keyboard), kUpdateLeds, packet));
                const double next = start + frame * 1000.0 / 60.0;
                std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(next - MonotonicMs()));
            }
            const double busy = CpuSeconds(pid) - busy0;
            extraPercent = (busy - idle) / kSeconds * 100.0;
            std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the log's writer catches up
            // The first live frame carrying each frame's colour.
            std::ifstream in(log);
            std::string line;
            double opened = 0;
            std::vector<double> delays;
            std::map<uint32_t, bool> done;
            while (std::getline(in, line)) {
                if (line.rfind("# opened at ", 0) == 0) {
                    opened = std::stod(line.substr(12));
                    continue;
                }
                std::istringstream words(line);
                double ms = 0;
                std::string dir, unit, b0, b1, b2, cmd;
                if (!(words >> ms >> dir >> unit >> b0 >> b1 >> b2 >> cmd) || dir != "out" ||
                    unit != "keyboard" || cmd != "12") {
                    continue;
                }
                std::vector<uint32_t> bytes;
                for (std::string hex; words >> hex;) {
                    bytes.push_back(uint32_t(std::stoul(hex, nullptr, 16)));
                }
                for (size_t i = 4; i + 2 < bytes.size(); i += 3) {
                    if (bytes[i + 1] == 0x5A) {
                        const uint32_t frame = bytes[i] | bytes[i + 2] << 8;
                        if (sentAt.count(frame) != 0 && !done[frame]) {
                            done[frame] = true;
                            delays.push_back(opened + ms - sentAt[frame]);
                        }
                        break;
                    }
                }
            }
            std::sort(delays.begin(), delays.end());
            seen = delays.size();
            median = delays.empty() ? -1 : delays[delays.size() / 2];
        }
    }
    state.counters["extra_core_percent"] = extraPercent;
    state.counters["frame_to_device_ms"] = median;
    state.counters["frames_seen"] = double(seen);
    close(client.fd);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::system(("rm -rf " + home).c_str());
}
BENCHMARK(DirectFrames)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
