#pragma once
// Starts the audio capture tool (velkor-audio) for the keyboards' audio
// effects: the tool is a program of its own, installed beside this one's
// helpers, and nobody else starts it. Started at most three times a minute,
// so a tool that cannot run does not spawn in a loop; an ended tool is reaped.
// It ends itself when told at shut-down or when this program's bus name goes.
// User-interface thread only.
#include "devices/DeviceLinks.h"

#include <sys/types.h>

#include <deque>
#include <string>

namespace velkor {

// The tool beside the program (the build tree), else in the helper folder of
// the installation (<prefix>/libexec/velkor/).
std::string AudioToolPath(const std::string& programFolder);

class AudioToolStarter {
public:
    static constexpr size_t kStartsPerMinute = 3;

    AudioToolStarter(std::string path, const TickClock& clock);
    // Reaps the tool if it has ended (waits at most a second for it).
    ~AudioToolStarter();
    AudioToolStarter(const AudioToolStarter&) = delete;
    AudioToolStarter& operator=(const AudioToolStarter&) = delete;

    // Starts the tool unless it runs or was started three times in the last
    // minute. True when it was started now.
    bool Start();
    // Whether the tool started here still runs (reaps it when it has ended).
    bool Running();

private:
    std::string m_path;
    const TickClock& m_clock;
    pid_t m_pid = -1;
    std::deque<uint32_t> m_starts; // start times (ms) within the last minute
};

} // namespace velkor
