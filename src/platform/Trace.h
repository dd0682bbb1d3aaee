#pragma once
// The system's trace lines (the debugger output of the original design).
//
// Lines go to standard error only when tracing is on: VELKOR_TRACE=1 in the
// environment, or a program's --trace option calling SetTraceEnabled(true).
// When tracing is off, Trace() costs one relaxed atomic load.
//
// A sink can be installed to capture lines (tests, the command-line tool);
// while a sink is installed every line goes to it, whatever the switch says.
#include "platform/Environment.h"

#include <functional>
#include <initializer_list>
#include <string_view>

namespace velkor {

using TraceSink = std::function<void(std::string_view line)>;

// Turns tracing on when VELKOR_TRACE is set (and not "0"); call early in main().
void InitTraceFromEnvironment(const Environment& environment);
void SetTraceEnabled(bool enabled);
bool TraceEnabled();

// Emits one line (without its line end).
void Trace(std::string_view line);
// Emits several lines as one unit: no line of another thread comes between
// them, in a sink or on standard error (one write).
void TraceLines(std::initializer_list<std::string_view> lines);
// printf-style convenience; formatting happens only when the line is wanted.
void TraceF(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Installs a sink for as long as the object lives; the previous one comes back after.
class ScopedTraceSink {
public:
    explicit ScopedTraceSink(TraceSink sink);
    ~ScopedTraceSink();
    ScopedTraceSink(const ScopedTraceSink&) = delete;
    ScopedTraceSink& operator=(const ScopedTraceSink&) = delete;

private:
    TraceSink m_previous;
};

} // namespace velkor
