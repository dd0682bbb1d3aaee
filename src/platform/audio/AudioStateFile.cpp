// The plugin's state file.
#include "platform/audio/AudioStateFile.h"

#include "platform/AtomicFile.h"
#include "platform/JsonText.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace velkor::linuxaudio {

namespace {

// The file holds a few hundred bytes and two levels.
constexpr int64_t kMaxStateFileSize = 64 * 1024;
constexpr int kMaxStateDepth = 20;

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

std::string AudioStatePath(const Environment& environment) {
    std::filesystem::path base;
    if (const std::string state = environment.Get("XDG_STATE_HOME"); state.starts_with('/')) {
        base = state;
    } else if (const std::string home = environment.Get("HOME"); !home.empty()) {
        base = std::filesystem::path(home) / ".local" / "state";
    } else {
        return {};
    }
    return (base / "VELKOR01" / "headset-audio.json").string();
}

AudioState ReadAudioState(const std::string& path) {
    AudioState state;
    std::string text;
    Json::Value root;
    if (ReadWholeFile(path, text, nullptr, kMaxStateFileSize) != FileReadStatus::Ok ||
        !ParseJson(text, root, {.maxDepth = kMaxStateDepth}) || !root.isObject()) {
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
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    // Private to the user, and a link in its place is replaced, not followed.
    return WriteFileAtomically(StyledJsonText(root), path, nullptr, {.followLink = false, .mode = 0600});
}

} // namespace velkor::linuxaudio
