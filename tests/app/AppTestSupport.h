#pragma once
// Helpers of the application tests: program folders of their own with the
// real skin files, captured trace lines and error streams.
#include "devices/DeviceLinks.h"
#include "platform/Trace.h"
#include "ui/memory/MemoryToolkit.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace velkor::test {

// skin/ of the source tree (this file lives in tests/app/). Absolute, as a
// symlink's relative target would resolve from the link's own folder.
inline std::filesystem::path SourceSkin() {
    return std::filesystem::absolute(
        std::filesystem::path(__FILE__).lexically_normal().parent_path().parent_path().parent_path() /
        "skin");
}

// The toolkit's clock as the devices' tick count, so that item timers and devices agree.
class ManualTicks final : public TickClock {
public:
    explicit ManualTicks(const ui::ManualClock& clock) : m_clock(clock) {}
    uint32_t NowMs() const override { return uint32_t(m_clock.NowMs()); }

private:
    const ui::ManualClock& m_clock;
};

// A folder of its own, removed at the end of the test; `padTo` makes its path that long.
class ProgramFolder {
public:
    explicit ProgramFolder(size_t padTo = 0) {
        m_base =
            std::filesystem::temp_directory_path() / ("velkor_app_" + std::to_string(std::random_device()()));
        const size_t length = m_base.string().size();
        m_path = padTo > length + 1 ? m_base / std::string(padTo - length - 1, 'p') : m_base;
        std::filesystem::create_directories(m_path);
    }
    ~ProgramFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_base, ec);
    }

    std::string Path() const { return m_path.string(); }
    // The program's layouts, index and style sheet in "skin/".
    void AddSkin() const {
        std::filesystem::copy(SourceSkin(), m_path / "skin", std::filesystem::copy_options::recursive);
    }
    // The shipped data files in "DefaultData/".
    void AddDefaultData() const {
        std::filesystem::copy(SourceSkin().parent_path() / "DefaultData", m_path / "DefaultData",
                              std::filesystem::copy_options::recursive);
    }
    std::string Write(const std::string& relative, const std::string& text) const {
        std::filesystem::create_directories((m_path / relative).parent_path());
        std::ofstream(m_path / relative, std::ios::binary) << text;
        return (m_path / relative).string();
    }

private:
    std::filesystem::path m_base;
    std::filesystem::path m_path;
};

// Bytes that start like a TrueType file: enough for the in-memory toolkit.
inline const std::string kFakeFont = std::string("\x00\x01\x00\x00", 4) + std::string(60, '\x10');

// Collects the trace lines while it lives.
class TraceCapture {
public:
    int Count(std::string_view line) const {
        std::lock_guard lock(m_mutex);
        return int(std::count(m_lines.begin(), m_lines.end(), line));
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    ScopedTraceSink m_sink{[this](std::string_view line) {
        std::lock_guard lock(m_mutex);
        m_lines.emplace_back(line);
    }};
};

// A FILE* whose text can be read back.
struct CapturedStream {
    std::FILE* file = std::tmpfile();
    ~CapturedStream() { std::fclose(file); }
    std::string Text() const {
        std::fflush(file);
        std::rewind(file);
        std::string text;
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
            text.push_back(char(c));
        }
        return text;
    }
};

inline int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace velkor::test
