#pragma once
// A scratch folder of one test, removed with everything in it at the end.
#include <filesystem>
#include <random>
#include <string>
#include <string_view>

namespace velkor::test {

class ScratchFolder {
public:
    explicit ScratchFolder(std::string_view prefix = "velkor_") {
        std::random_device seed;
        m_path = std::filesystem::temp_directory_path() / (std::string(prefix) + std::to_string(seed()));
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Without a trailing '/'.
    std::string Path() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};

} // namespace velkor::test
