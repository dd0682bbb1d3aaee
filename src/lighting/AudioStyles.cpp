#include "lighting/AudioStyles.h"

#include "platform/JsonFileHelper.h"
#include "platform/Trace.h"

#include <algorithm>
#include <filesystem>

namespace velkor {

namespace {

constexpr const char* kDevice = "Device";
constexpr const char* kInfo = "AudioLightInfo";
constexpr const char* kStyle = "nAudioStyle";
constexpr char kChannels[3] = {'R', 'G', 'B'};

std::string NameKey(int style) {
    return "nStyleName" + std::to_string(style + 1);
}

std::string ColourKey(int style, int channel) {
    return std::string("nStyle") + kChannels[channel] + std::to_string(style);
}

// An integer member; 0 when missing or not a number (large values saturate).
int64_t IntOf(const Json::Value& object, const std::string& key) {
    const Json::Value& value = object[key];
    if (value.isInt64()) {
        return value.asInt64();
    }
    if (value.isUInt64() || (value.isDouble() && value.asDouble() > 0)) {
        return INT64_MAX;
    }
    if (value.isDouble()) {
        return INT64_MIN;
    }
    return 0;
}

const Json::Value& Info(const Json::Value& document) {
    static const Json::Value kNull;
    if (!document.isObject() || !document[kDevice].isObject() || !document[kDevice][kInfo].isObject()) {
        return kNull;
    }
    return document[kDevice][kInfo];
}

} // namespace

std::string DefaultStyleName(int style) {
    static constexpr const char* kNames[AudioStyleRecord::kStyles] = {"第一组", "第二组", "第三组", "第四组"};
    return style >= 0 && style < AudioStyleRecord::kStyles ? kNames[style] : "";
}

AudioStyleRecord AudioStyleFromDocument(const Json::Value& document) {
    const Json::Value& info = Info(document);
    AudioStyleRecord record;
    if (!info.isObject()) {
        return record;
    }
    const int64_t style = IntOf(info, kStyle);
    record.style = style >= 0 && style < AudioStyleRecord::kStyles ? uint8_t(style) : 0;
    for (int s = 0; s < AudioStyleRecord::kStyles; ++s) {
        const Json::Value& name = info[NameKey(s)];
        record.names[size_t(s)] = name.isString() ? name.asString() : "";
        for (int c = 0; c < 3; ++c) {
            record.colours[size_t(s)][size_t(c)] =
                uint8_t(std::clamp<int64_t>(IntOf(info, ColourKey(s, c)), 0, AudioStyleRecord::kMaxLevel));
        }
    }
    return record;
}

void WriteAudioStyle(Json::Value& document, const AudioStyleRecord& record) {
    if (!document.isObject()) {
        document = Json::Value(Json::objectValue);
    }
    Json::Value& device = document[kDevice];
    if (!device.isObject()) {
        device = Json::Value(Json::objectValue);
    }
    Json::Value& info = device[kInfo];
    if (!info.isObject()) {
        info = Json::Value(Json::objectValue);
    }
    info[kStyle] = int(record.style);
    for (int s = 0; s < AudioStyleRecord::kStyles; ++s) {
        info[NameKey(s)] = record.names[size_t(s)];
        for (int c = 0; c < 3; ++c) {
            info[ColourKey(s, c)] = int(record.colours[size_t(s)][size_t(c)]);
        }
    }
}

std::array<int32_t, 3> SelectedStyleColour(const AudioStyleRecord& record) {
    const auto& colour = record.colours[record.style < AudioStyleRecord::kStyles ? record.style : 0];
    return {int32_t(colour[0]), int32_t(colour[1]), int32_t(colour[2])};
}

bool AudioStyleFile::Take(Json::Value document) {
    m_record = AudioStyleFromDocument(document);
    m_document = std::move(document);
    return true;
}

bool AudioStyleFile::Load() {
    CJsonFileHelper files;
    Json::Value user = files.ReadJsonFile(m_userPath);
    if (!user.isNull()) {
        return Take(std::move(user));
    }
    Json::Value defaults = files.ReadJsonFile(m_defaultPath);
    if (defaults.isNull()) {
        Trace("audio styles: neither the user's nor the default file can be read");
        Take(Json::Value(Json::objectValue));
        return false;
    }
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(m_userPath).parent_path(), ignored);
    if (!files.WriteJsonFile(defaults, m_userPath)) {
        Trace("audio styles: the user's file cannot be written");
    }
    return Take(std::move(defaults));
}

bool AudioStyleFile::Save(const AudioStyleRecord& record) {
    Json::Value document = m_document;
    WriteAudioStyle(document, record);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(m_userPath).parent_path(), ignored);
    // The edited record is in use from now on, written or not.
    const bool written = CJsonFileHelper().WriteJsonFile(document, m_userPath);
    if (!written) {
        Trace("audio styles: the user's file cannot be written");
    }
    Take(std::move(document));
    return written;
}

bool AudioStyleFile::Reset() {
    CJsonFileHelper files;
    Json::Value defaults = files.ReadJsonFile(m_defaultPath);
    if (defaults.isNull()) {
        Trace("audio styles: the default file cannot be read");
        return false;
    }
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(m_userPath).parent_path(), ignored);
    const bool written = files.WriteJsonFile(defaults, m_userPath);
    Take(std::move(defaults));
    return written;
}

} // namespace velkor
