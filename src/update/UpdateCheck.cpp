#include "update/UpdateCheck.h"

#include "platform/JsonText.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <vector>

namespace velkor {
namespace {

UpdateResult Failed(const UpdateItem& item, std::string why) {
    UpdateResult result;
    result.name = item.displayName;
    result.currentText = CurrentVersionText(item);
    result.why = std::move(why);
    return result;
}

// One JSON object and nothing after it, at most kNestingLimit levels deep.
bool ParseStrictObject(std::span<const uint8_t> body, Json::Value& value, std::string& why) {
    const std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
    std::string errors;
    const bool parsed = ParseJson(
        text, value, {.maxDepth = kNestingLimit, .comments = false, .exact = true, .trailingCommas = false},
        &errors);
    if (!parsed || !value.isObject()) {
        why = parsed ? "the answer is not a JSON object" : "the answer is not JSON: " + errors;
        return false;
    }
    return true;
}

std::string TextMember(const Json::Value& object, const char* name) {
    return object[name].isString() ? object[name].asString() : std::string();
}

bool IsSha256(const std::string& text) {
    if (text.size() != 64) {
        return false;
    }
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

std::string LowerHex(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'F') {
            c = char(c - 'A' + 'a');
        }
    }
    return text;
}

} // namespace

std::string CurrentVersionText(const UpdateItem& item) {
    if (!item.IsFirmware()) {
        return item.versionText;
    }
    char text[16];
    std::snprintf(text, sizeof text, "V%04x", unsigned(item.version));
    return text;
}

std::string PercentEncode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out.push_back(char(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::string UpdateFormBody(std::string_view appKey, uint32_t version, bool firmware) {
    char number[16];
    std::snprintf(number, sizeof number, firmware ? "%x" : "%u", unsigned(version));
    return "app_key=" + PercentEncode(appKey) + "&version=" + PercentEncode(number);
}

bool ParseVersionNumber(std::string_view text, int base, uint32_t& value) {
    if (text.empty() || text.front() == '+' || text.front() == '-') {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

std::string CleanServerText(std::string_view text, size_t maxChars) {
    std::string out;
    size_t chars = 0;
    for (size_t i = 0; i < text.size() && chars < maxChars;) {
        const auto byte = static_cast<unsigned char>(text[i]);
        size_t length = byte < 0x80         ? 1
                        : (byte >> 5) == 6  ? 2
                        : (byte >> 4) == 14 ? 3
                        : (byte >> 3) == 30 ? 4
                                            : 0;
        uint32_t code = length == 1   ? byte
                        : length == 2 ? byte & 0x1F
                        : length == 3 ? byte & 0x0F
                                      : byte & 0x07;
        bool valid = length != 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8 either.
        static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= kLeast[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        if (!valid) {
            out += "\xEF\xBF\xBD";
            ++chars;
            ++i;
            continue;
        }
        const bool control = code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0);
        if (!control) {
            out.append(text.substr(i, length));
            ++chars;
        }
        i += length;
    }
    return out;
}

UpdateResult ReadUpdateAnswer(const UpdateItem& item, int64_t received, int httpStatus,
                              std::span<const uint8_t> body, std::string_view clientError) {
    if (received <= 0) {
        const std::string reason = clientError.empty() ? std::string("no answer") : std::string(clientError);
        return Failed(item, received == 0 ? std::string(kNoLinkServer) + ": " + reason : reason);
    }
    if (httpStatus < 200 || httpStatus > 299) {
        return Failed(item, "the server answered with status " + std::to_string(httpStatus));
    }
    Json::Value answer;
    std::string why;
    if (!ParseStrictObject(body.first(size_t(std::min<int64_t>(received, int64_t(body.size())))), answer,
                           why)) {
        return Failed(item, why);
    }
    const Json::Value& version = answer["version"];
    uint32_t latest = 0;
    if (!version.isString() || !ParseVersionNumber(version.asString(), item.IsFirmware() ? 16 : 10, latest)) {
        return Failed(item, std::string("\"version\" is not a whole ") +
                                (item.IsFirmware() ? "hexadecimal" : "decimal") +
                                " number of at most 32 bits");
    }
    UpdateResult result;
    result.failed = false;
    result.name = item.displayName;
    result.downloadUrl = TextMember(answer, "path");
    result.versionName = CleanServerText(TextMember(answer, "version_name"));
    result.deviceId = answer["device_id"].isInt64() ? answer["device_id"].asInt64() : 0;
    if (answer["size"].isInt64() && answer["size"].asInt64() >= 0) {
        result.size = answer["size"].asInt64();
    }
    if (const std::string sha = TextMember(answer, "sha256"); IsSha256(sha)) {
        result.sha256 = LowerHex(sha);
    }
    const std::string versionText = CleanServerText(version.asString(), 16);
    if (item.IsFirmware()) {
        result.currentText = CurrentVersionText(item);
        result.latestText = "V" + versionText;
    } else {
        result.currentText = "V" + std::to_string(item.version);
        result.latestText = result.versionName.empty() ? "V" + versionText : result.versionName;
    }
    result.status = item.version < latest ? kRowUpdate : kRowUpToDate;
    if (result.status == kRowUpToDate) {
        result.latestText.clear();
    }
    return result;
}

UpdateResult CheckForUpdate(HttpClient& client, const std::string& baseUrl, const UpdateItem& item) {
    const std::string form = UpdateFormBody(BuildAppKey(item), item.version, item.IsFirmware());
    std::vector<uint8_t> buffer(kUpdateAnswerBytes);
    client.Reset();
    const int64_t received =
        client.Request("POST", baseUrl + "updates",
                       std::span(reinterpret_cast<const uint8_t*>(form.data()), form.size()), buffer);
    return ReadUpdateAnswer(item, received, client.LastStatus(),
                            std::span(buffer).first(size_t(std::max<int64_t>(received, 0))),
                            client.LastErrorText());
}

} // namespace velkor
