#include "app/AudioToolStarter.h"

#include "platform/Trace.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#ifndef VELKOR_TOOL_LIBEXECDIR
#define VELKOR_TOOL_LIBEXECDIR "libexec"
#endif

extern char** environ;

namespace velkor {

namespace {
constexpr uint32_t kMinuteMs = 60'000;
constexpr const char* kToolName = "velkor-audio";
} // namespace

std::string AudioToolPath(const std::string& programFolder) {
    const std::filesystem::path folder(programFolder);
    const std::filesystem::path beside = folder / kToolName;
    std::error_code error;
    if (std::filesystem::exists(beside, error)) {
        return beside.string();
    }
    return (folder.parent_path() / VELKOR_TOOL_LIBEXECDIR / "velkor" / kToolName).string();
}

AudioToolStarter::AudioToolStarter(std::string path, const TickClock& clock)
    : m_path(std::move(path)), m_clock(clock) {}

AudioToolStarter::~AudioToolStarter() {
    // Told to end at shut-down, the tool goes within moments; else SIGTERM.
    for (int i = 0; i < 20 && Running(); ++i) {
        Reap(false);
        if (Running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kEndGraceMs / 20));
        }
    }
    if (Running()) {
        kill(m_pid, SIGTERM);
        Reap(true);
    }
}

void AudioToolStarter::Reap(bool wait) {
    if (m_pid <= 0) {
        return;
    }
    int status = 0;
    const pid_t ended = waitpid(m_pid, &status, wait ? 0 : WNOHANG);
    if (ended == 0) {
        return;
    }
    if (ended == m_pid) {
        m_lastExit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        TraceF("the audio capture tool ended (exit status %d)", *m_lastExit);
    }
    m_pid = -1;
    m_endDue.reset();
}

void AudioToolStarter::Poll() {
    Reap(false);
    if (Running() && m_endDue && int32_t(m_clock.NowMs() - *m_endDue) >= 0) {
        TraceF("the audio capture tool did not end when told: SIGTERM to %d", int(m_pid));
        kill(m_pid, SIGTERM);
        m_endDue.reset();
    }
}

void AudioToolStarter::Stop() {
    if (Running() && !m_endDue) {
        m_endDue = m_clock.NowMs() + kEndGraceMs;
    }
}

bool AudioToolStarter::GivenUp() const {
    const uint32_t now = m_clock.NowMs();
    size_t recent = 0;
    for (uint32_t start : m_starts) {
        recent += now - start < kMinuteMs ? 1 : 0;
    }
    return !Running() && recent >= kStartsPerMinute;
}

bool AudioToolStarter::Start() {
    Reap(false);
    if (Running()) {
        return false;
    }
    const uint32_t now = m_clock.NowMs();
    while (!m_starts.empty() && now - m_starts.front() >= kMinuteMs) {
        m_starts.pop_front();
    }
    if (m_starts.size() >= kStartsPerMinute) {
        return false;
    }
    m_starts.push_back(now);
    char* argv[] = {m_path.data(), nullptr};
    pid_t pid = -1;
    const int error = posix_spawn(&pid, m_path.c_str(), nullptr, nullptr, argv, environ);
    if (error != 0) {
        TraceF("the audio capture tool %s cannot start: %s", m_path.c_str(), std::strerror(error));
        m_lastExit = 127;
        return false;
    }
    m_pid = pid;
    m_endDue.reset();
    TraceF("the audio capture tool %s started (process %d)", m_path.c_str(), int(pid));
    return true;
}

} // namespace velkor
