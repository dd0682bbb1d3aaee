#pragma once
// One update check: the request for one row, and how its answer is read.
//
// The request is a POST to base URL + "updates" with the percent-encoded form
// "app_key=KEY&version=V" (V in lower-case hexadecimal without leading zeros
// for firmware, in decimal for the application), nothing else. The answer is
// usable only when the status is 2xx, the body (at most 102,400 bytes) is one
// JSON object with nothing after it and at most 32 levels deep, and "version"
// is a string holding a whole hexadecimal (firmware) or decimal (application)
// number of at most 32 bits. Anything else, "NO_LINK_SERVER" included, makes
// a failed row: status 7, its current version, no newest version, `failed` set.
// Server texts are cleaned before they can reach a label (CleanServerText) and
// are never used as a format. Pure functions, except CheckForUpdate's request.
#include "update/HttpClient.h"
#include "update/UpdateItems.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velkor {

inline constexpr size_t kUpdateAnswerBytes = 102400;
inline constexpr int kNestingLimit = 32;
inline constexpr size_t kMaxVersionNameChars = 64;
// The largest package a row may announce or download.
inline constexpr int64_t kMaxPackageBytes = int64_t(512) << 20;

// List row statuses.
inline constexpr int kRowAdded = 0;
inline constexpr int kRowUpdate = 1;
inline constexpr int kRowUpdate2 = 2;
inline constexpr int kRowWaiting = 3;
inline constexpr int kRowDownloading = 4;
inline constexpr int kRowDownloaded = 5;
inline constexpr int kRowInstalling = 6;
inline constexpr int kRowUpToDate = 7;
inline constexpr int kRowFailed = 8;

struct UpdateResult {
    int status = kRowUpToDate;
    bool failed = true; // no usable answer
    int64_t deviceId = 0;
    std::string name;        // the row's display name
    std::string currentText; // "V0210", "V10"
    std::string versionName; // cleaned "version_name"
    std::string latestText;  // empty unless an update is available
    std::string downloadUrl; // "path"
    int64_t size = -1;       // announced "size"; -1: none
    std::string sha256;      // announced "sha256" in lower case; empty: none
    std::string why;         // why the row failed, for traces and velkorctl
};

// The current version as a row shows it before an answer: "V%04x" of a
// firmware version, the application row's version text.
std::string CurrentVersionText(const UpdateItem& item);

// "app_key=" + key + "&version=" + version, percent-encoded.
std::string UpdateFormBody(std::string_view appKey, uint32_t version, bool firmware);
std::string PercentEncode(std::string_view text);

// A whole number of at most 32 bits in base 16 or 10, nothing else around it.
bool ParseVersionNumber(std::string_view text, int base, uint32_t& value);

// A server text made fit for a label: invalid UTF-8 becomes U+FFFD, control
// characters go, at most `maxChars` characters are kept.
std::string CleanServerText(std::string_view text, size_t maxChars = kMaxVersionNameChars);

// Reads an answer to the row's request. `received` is what HttpRequest
// returned (bytes, 0 or -1) and `body` exactly the bytes returned.
UpdateResult ReadUpdateAnswer(const UpdateItem& item, int64_t received, int httpStatus,
                              std::span<const uint8_t> body, std::string_view clientError = {});

// Resets `client`, sends the row's request to `baseUrl` + "updates" and reads the answer.
UpdateResult CheckForUpdate(HttpClient& client, const std::string& baseUrl, const UpdateItem& item);

} // namespace velkor
