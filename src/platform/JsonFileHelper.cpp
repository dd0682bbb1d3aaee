#include "platform/JsonFileHelper.h"

#include "platform/Trace.h"

#include <cstdio>

namespace velkor {

FileReadStatus CJsonFileHelper::ReadTextFile(const std::string& path, std::string& out,
                                             FileSignature* signature) const {
    return ReadWholeFile(path, out, signature, kMaxJsonFileSize);
}

std::string CJsonFileHelper::ReadTextFile(const std::string& path) const {
    std::string text;
    ReadTextFile(path, text);
    return text;
}

bool CJsonFileHelper::ParseJson(std::string_view text, Json::Value& out) const {
    return velkor::ParseJson(text, out);
}

JsonFileContents CJsonFileHelper::ReadJsonFileDetailed(const std::string& path) const {
    JsonFileContents contents;
    contents.status = ReadTextFile(path, contents.text, &contents.signature);
    if (contents.status == FileReadStatus::Ok && !ParseJson(contents.text, contents.value)) {
        contents.status = FileReadStatus::NotJson;
    }
    if (contents.status != FileReadStatus::Ok) {
        TraceF("ReadJsonFile %s: status %d", path.c_str(), static_cast<int>(contents.status));
    }
    return contents;
}

Json::Value CJsonFileHelper::ReadJsonFile(const std::string& path) const {
    return ReadJsonFileDetailed(path).value;
}

std::string CJsonFileHelper::StyledText(const Json::Value& value, size_t sizeHint) const {
    return StyledJsonText(value, sizeHint);
}

bool CJsonFileHelper::WriteJsonFile(const Json::Value& value, const std::string& path,
                                    FileSignature* written) const {
    return WriteTextFile(StyledText(value), path, written);
}

bool CJsonFileHelper::WriteTextFile(std::string_view text, const std::string& path,
                                    FileSignature* written) const {
    return WriteFileAtomically(text, path, written);
}

std::string CJsonFileHelper::FormatTimeStamp(const std::tm& local, int millisecond) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d_%02d_%02d_%02d_%02d_%02d_%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millisecond);
    return buffer;
}

std::string CJsonFileHelper::MakeTimeStamp(std::chrono::system_clock::time_point when) const {
    using namespace std::chrono;
    const auto sinceEpoch = floor<milliseconds>(when.time_since_epoch());
    const auto wholeSeconds = floor<seconds>(sinceEpoch);
    const int millisecond = static_cast<int>((sinceEpoch - wholeSeconds).count());
    const std::time_t seconds = static_cast<std::time_t>(wholeSeconds.count());
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) {
        local = std::tm{};
    }
    return FormatTimeStamp(local, millisecond);
}

std::string CJsonFileHelper::GetFileTitle(const std::string& path) const {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

} // namespace velkor
