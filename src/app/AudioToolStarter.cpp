#include "app/AudioToolStarter.h"

#include "platform/Trace.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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
    // Told to end at shut-down, the tool goes within moments; one that does
    // not is left to end when this program's bus name goes.
    for (int i = 0; i < 20 && Running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool AudioToolStarter::Running() {
    if (m_pid <= 0) {
        return false;
    }
    int status = 0;
    const pid_t ended = waitpid(m_pid, &status, WNOHANG);
    if (ended == 0) {
        return true;
    }
    if (ended == m_pid) {
        TraceF("the audio capture tool ended (%s %d)", WIFEXITED(status) ? "exit" : "signal",
               WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
    }
    m_pid = -1;
    return false;
}

bool AudioToolStarter::Start() {
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
        return false;
    }
    m_pid = pid;
    TraceF("the audio capture tool %s started (process %d)", m_path.c_str(), int(pid));
    return true;
}

} // namespace velkor
