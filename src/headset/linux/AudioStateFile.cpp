// The plugin's state file.
#include "headset/linux/AudioStateFile.h"

#include <json/json.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace velkor::linuxaudio {

namespace {

int32_t IntMember(const Json::Value& object, const char* name, int32_t low, int32_t high) {
    const Json::Value& value = object[name];
    return value.isInt() ? std::clamp(value.asInt(), low, high) : 0;
}

LevelMemory ReadLevel(const Json::Value& object) {
    LevelMemory level;
    if (!object.isObject() || !object["raw"].isInt() || !object["scalar"].isDouble()) {
        return level;
    }
    const double scalar = object["scalar"].asDouble();
    if (!std::isfinite(scalar)) {
        return level;
    }
    level.known = true;
    level.raw = object["raw"].asInt();
    level.scalar = std::clamp(scalar, 0.0, 1.0);
    return level;
}

Json::Value WriteLevel(const LevelMemory& level) {
    Json::Value object(Json::objectValue);
    if (level.known) {
        object["raw"] = Json::Int(level.raw);
        object["scalar"] = level.scalar;
    }
    return object;
}

} // namespace

std::string AudioStatePath() {
    std::filesystem::path base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
        base = state;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
        base = std::filesystem::path(home) / ".local" / "state";
    } else {
        return {};
    }
    return (base / "VELKOR01" / "headset-audio.json").string();
}

AudioState ReadAudioState(const std::string& path) {
    AudioState state;
    std::ifstream in(path, std::ios::binary);
    if (path.empty() || !in) {
        return state;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Json::CharReaderBuilder builder;
    builder["stackLimit"] = 20;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    try {
        if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors) || !root.isObject()) {
            return state;
        }
    } catch (const std::exception&) {
        return state;
    }
    state.eqEnabled = IntMember(root, "eqEnabled", 0, 1) != 0;
    const Json::Value& bands = root["bands"];
    for (int i = 0; i < kBandCount && bands.isArray() && Json::ArrayIndex(i) < bands.size(); ++i) {
        state.bands[size_t(i)] = bands[i].isInt() ? std::clamp(bands[i].asInt(), kBandMin, kBandMax) : 0;
    }
    state.voiceEnabled = IntMember(root, "voiceEnabled", 0, 1) != 0;
    state.voice = IntMember(root, "voice", 0, 3);
    state.mic = ReadLevel(root["microphone"]);
    state.monitor = ReadLevel(root["monitoring"]);
    return state;
}

bool WriteAudioState(const std::string& path, const AudioState& state) {
    if (path.empty()) {
        return false;
    }
    Json::Value root(Json::objectValue);
    root["eqEnabled"] = state.eqEnabled ? 1 : 0;
    Json::Value bands(Json::arrayValue);
    for (const int32_t band : state.bands) {
        bands.append(band);
    }
    root["bands"] = bands;
    root["voiceEnabled"] = state.voiceEnabled ? 1 : 0;
    root["voice"] = state.voice;
    root["microphone"] = WriteLevel(state.mic);
    root["monitoring"] = WriteLevel(state.monitor);
    const std::string text = Json::writeString(Json::StreamWriterBuilder(), root) + "\n";

    const std::filesystem::path target(path);
    std::error_code error;
    std::filesystem::create_directories(target.parent_path(), error);
    // Same folder, so the rename cannot cross file systems.
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ::close(fd);
            ::unlink(temporary.c_str());
            return false;
        }
        done += size_t(n);
    }
    // The data must be on disk before the rename makes it the file.
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    if (!synced || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace velkor::linuxaudio
