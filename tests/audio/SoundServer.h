#pragma once
// A PulseAudio of the test's own: a null sink "t" and a native socket in a
// fresh folder, with a scratch HOME and XDG_RUNTIME_DIR, so that tests never
// touch the user's sound. Restartable on the same socket.
#include "app/ChildProcess.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace velkor::test {

class SoundServer {
public:
    SoundServer() {
        char folder[] = "/tmp/velkor-sound-XXXXXX";
        if (mkdtemp(folder) != nullptr) {
            m_folder = folder;
            std::filesystem::create_directories(m_folder + "/home");
            std::filesystem::create_directories(m_folder + "/run");
        }
    }
    ~SoundServer() {
        Stop();
        if (!m_folder.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_folder, ignored);
        }
    }
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    static bool Installed() {
        return access(VELKOR_PULSEAUDIO, X_OK) == 0 && access(VELKOR_PACAT, X_OK) == 0 &&
               access(VELKOR_PACTL, X_OK) == 0;
    }

    // The environment a client of this server needs, plus `extra`.
    std::vector<std::string> Environment(std::vector<std::string> extra = {}) const {
        extra.push_back("PULSE_SERVER=unix:" + m_folder + "/run/native");
        extra.push_back("HOME=" + m_folder + "/home");
        extra.push_back("XDG_RUNTIME_DIR=" + m_folder + "/run");
        extra.push_back("PATH=/usr/bin:/bin");
        return extra;
    }

    // Starts the daemon and waits until it answers.
    bool Start() {
        Stop();
        m_daemon = std::make_unique<ChildProcess>(m_folder + "/pulseaudio");
        const std::string socket =
            "module-native-protocol-unix socket=" + m_folder + "/run/native auth-anonymous=1";
        if (!m_daemon->Start({VELKOR_PULSEAUDIO, "-n", "--daemonize=no", "--exit-idle-time=-1",
                              "--load=module-null-sink sink_name=t", "--load=" + socket},
                             Environment())) {
            return false;
        }
        for (int i = 0; i < 300; ++i) {
            if (Control({"info"}) == 0) {
                return true;
            }
            usleep(20'000);
        }
        return false;
    }

    void Stop() {
        if (m_daemon) {
            m_daemon->Signal(SIGTERM);
            if (m_daemon->WaitExit(10'000) < 0) {
                m_daemon->Signal(SIGKILL);
                m_daemon->WaitExit(10'000);
            }
            m_daemon.reset();
        }
    }

    // Runs pactl with `args`; its exit code.
    int Control(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{VELKOR_PACTL};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildProcess pactl(m_folder + "/pactl");
        if (!pactl.Start(argv, Environment())) {
            return -1;
        }
        return pactl.WaitExit(20'000);
    }

    // Plays raw s16le mono 44.1 kHz `file` into `sink` (pacat, 20 ms latency unless
    // `latencyMs` says otherwise) until it ends or is stopped.
    std::unique_ptr<ChildProcess> Play(const std::string& file, const std::string& sink = "t",
                                       int latencyMs = 20) const {
        auto player = std::make_unique<ChildProcess>(m_folder + "/pacat");
        if (!player->Start({VELKOR_PACAT, "--raw", "--format=s16le", "--rate=44100", "--channels=1",
                            "--device=" + sink, "--latency-msec=" + std::to_string(latencyMs), file},
                           Environment())) {
            return nullptr;
        }
        return player;
    }

    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
    std::unique_ptr<ChildProcess> m_daemon;
};

} // namespace velkor::test
