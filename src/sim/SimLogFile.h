#pragma once
// The simulator's frame log as a text file, for checks from outside the
// program: one line per report written to or delivered by a unit,
//
//   MS DIR UNIT HEX...
//
// MS the time since the file was opened in milliseconds with three decimals,
// DIR "out" (to the device) or "in" (from it), UNIT the unit's name
// ("keyboard", "mouse-receiver", ...), then the report's bytes in hex.
// The first line, "# opened at MS monotonic", gives the opening time on the
// system's monotonic clock (CLOCK_MONOTONIC), so that other programs can
// set the frames against their own events.
//
// Append only queues a copy (the simulator calls it under its own lock, so
// it must not wait on the disk); a writer thread of the file formats and
// writes the lines. Close writes whatever is queued, then closes the file:
// the file is complete once Close (or the destructor) returns. Thread-safe.
#include "sim/SimTypes.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velkor::sim {

class SimLogFile {
public:
    // Opens (truncates) `path`; false with `error` set when it cannot.
    bool Open(const std::string& path, std::string& error);
    ~SimLogFile();
    void Append(const SimFrame& frame);
    void Close();
    // The line of a frame logged `ms` after the file was opened.
    static std::string Line(double ms, const SimFrame& frame);

private:
    void Write();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<SimFrame> m_queue;
    bool m_closing = false;
    std::FILE* m_file = nullptr;
    std::chrono::steady_clock::time_point m_opened;
    std::thread m_writer;
};

} // namespace velkor::sim
