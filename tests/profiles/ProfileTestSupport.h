#pragma once
// Helpers shared by the profile tests: a temporary folder and raw file access
// that does not go through the code under test.
#include <json/reader.h>
#include <json/value.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace velkor::test {

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/velkor-profiles-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        m_path = made != nullptr ? made : "";
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline std::string ReadRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteRaw(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Parses with jsoncpp's own defaults; null on failure.
inline Json::Value ParseRaw(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    if (!Json::parseFromStream(builder, in, &value, &errors)) {
        return Json::Value();
    }
    return value;
}

inline Json::Value ReadRawJson(const std::string& path) {
    return ParseRaw(ReadRaw(path));
}

// A profile file {"Device": [profile]}.
inline Json::Value ProfileFile(const Json::Value& profile) {
    Json::Value root(Json::objectValue);
    root["Device"].append(profile);
    return root;
}

} // namespace velkor::test
