#include "platform/Trace.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace velkor {
namespace {

// Trace output is process-wide like the debugger output it stands for.
std::atomic<bool> g_enabled{false};
std::atomic<bool> g_hasSink{false};
std::mutex g_sinkMutex;
TraceSink g_sink;

bool Wanted() {
    return g_enabled.load(std::memory_order_relaxed) || g_hasSink.load(std::memory_order_relaxed);
}

} // namespace

void InitTraceFromEnvironment(const Environment& environment) {
    const char* value = environment.Find("VELKOR_TRACE");
    if (value != nullptr && std::strcmp(value, "0") != 0 && value[0] != '\0') {
        SetTraceEnabled(true);
    }
}

void SetTraceEnabled(bool enabled) {
    g_enabled.store(enabled, std::memory_order_relaxed);
}

bool TraceEnabled() {
    return Wanted();
}

void Trace(std::string_view line) {
    TraceLines({line});
}

void TraceLines(std::initializer_list<std::string_view> lines) {
    if (!Wanted()) {
        return;
    }
    std::lock_guard lock(g_sinkMutex);
    if (g_sink) {
        for (std::string_view line : lines) {
            g_sink(line);
        }
        return;
    }
    std::string out;
    for (std::string_view line : lines) {
        out.append(line);
        out.push_back('\n');
    }
    std::fwrite(out.data(), 1, out.size(), stderr);
}

void TraceF(const char* format, ...) {
    if (!Wanted()) {
        return;
    }
    char buffer[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) {
        return;
    }
    Trace(std::string_view(buffer, std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1)));
}

ScopedTraceSink::ScopedTraceSink(TraceSink sink) {
    std::lock_guard lock(g_sinkMutex);
    m_previous = std::move(g_sink);
    g_sink = std::move(sink);
    g_hasSink.store(static_cast<bool>(g_sink), std::memory_order_relaxed);
}

ScopedTraceSink::~ScopedTraceSink() {
    std::lock_guard lock(g_sinkMutex);
    g_sink = std::move(m_previous);
    g_hasSink.store(static_cast<bool>(g_sink), std::memory_order_relaxed);
}

} // namespace velkor
