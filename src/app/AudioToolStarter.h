#pragma once
// Starts and stops the audio capture tool (velkor-audio) for the keyboards'
// audio effects: the tool is a program of its own, installed among this
// one's helpers. Started at most three times a minute, so a tool that cannot
// run does not spawn in a loop; told to end, it gets a second before SIGTERM;
// an ended tool is reaped and its exit status kept for the status line.
// User-interface thread only.
#include "devices/DeviceLinks.h"

#include <sys/types.h>

#include <deque>
#include <optional>
#include <string>

namespace velkor {

// The tool beside the program (the build tree), else in the helper folder of
// the installation (<prefix>/libexec/velkor/).
std::string AudioToolPath(const std::string& programFolder);

class AudioToolStarter {
public:
    static constexpr size_t kStartsPerMinute = 3;
    static constexpr uint32_t kEndGraceMs = 1000;

    AudioToolStarter(std::string path, const TickClock& clock);
    // Ends a tool still running (SIGTERM once the grace has passed) and reaps it.
    ~AudioToolStarter();
    AudioToolStarter(const AudioToolStarter&) = delete;
    AudioToolStarter& operator=(const AudioToolStarter&) = delete;

    // Starts the tool unless it runs or was started three times in the last
    // minute. True when it was started now.
    bool Start();
    // The tool was told to end (over the bus): SIGTERM follows at a Poll
    // a second from now if it still runs.
    void Stop();
    // Reaps an ended tool and sends the SIGTERM that is due. Never waits.
    void Poll();

    bool Running() const { return m_pid > 0; }
    // The last ended tool's exit status (128 + N for signal N); none yet.
    std::optional<int> LastExit() const { return m_lastExit; }
    // Three starts within the last minute and none running: no more for now.
    bool GivenUp() const;

private:
    void Reap(bool wait);

    std::string m_path;
    const TickClock& m_clock;
    pid_t m_pid = -1;
    std::optional<uint32_t> m_endDue; // when SIGTERM is due
    std::optional<int> m_lastExit;
    std::deque<uint32_t> m_starts; // start times (ms) within the last minute
};

} // namespace velkor
