#include "sim/SimLogFile.h"

#include <cerrno>
#include <cstring>

namespace velkor::sim {

namespace {

// The writer sleeps this long between batches unless the file closes.
constexpr auto kWriteInterval = std::chrono::milliseconds(50);

} // namespace

bool SimLogFile::Open(const std::string& path, std::string& error) {
    Close();
    std::FILE* file = std::fopen(path.c_str(), "we");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_file = file;
    m_closing = false;
    m_opened = std::chrono::steady_clock::now();
    const std::chrono::duration<double, std::milli> since = m_opened.time_since_epoch();
    std::fprintf(file, "# opened at %.3f monotonic\n", since.count());
    m_writer = std::thread([this] { Write(); });
    return true;
}

SimLogFile::~SimLogFile() {
    Close();
}

void SimLogFile::Append(const SimFrame& frame) {
    std::lock_guard lock(m_mutex);
    if (m_file != nullptr && !m_closing) {
        m_queue.push_back(frame);
    }
}

void SimLogFile::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_all();
    if (m_writer.joinable()) {
        m_writer.join();
    }
    std::lock_guard lock(m_mutex);
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

std::string SimLogFile::Line(double ms, const SimFrame& frame) {
    char head[64];
    std::snprintf(head, sizeof head, "%.3f %s %s", ms,
                  frame.direction == SimDirection::ToDevice ? "out" : "in",
                  std::string(UnitName(frame.unit)).c_str());
    std::string line = head;
    line.reserve(line.size() + frame.bytes.size() * 3 + 1);
    static constexpr char kHex[] = "0123456789abcdef";
    for (uint8_t byte : frame.bytes) {
        line += ' ';
        line += kHex[byte >> 4];
        line += kHex[byte & 0x0F];
    }
    line += '\n';
    return line;
}

void SimLogFile::Write() {
    std::vector<SimFrame> batch;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait_for(lock, kWriteInterval, [this] { return m_closing; });
        batch.swap(m_queue);
        const bool closing = m_closing;
        std::FILE* file = m_file;
        lock.unlock();
        for (const SimFrame& frame : batch) {
            const std::chrono::duration<double, std::milli> ms = frame.time - m_opened;
            const std::string line = Line(ms.count(), frame);
            std::fwrite(line.data(), 1, line.size(), file);
        }
        std::fflush(file);
        batch.clear();
        if (closing) {
            return;
        }
        lock.lock();
    }
}

} // namespace velkor::sim
