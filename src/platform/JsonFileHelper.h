#pragma once
// CJsonFileHelper: every JSON file of the system is read and written here,
// through the shared reader (JsonText.h) and atomic writer (AtomicFile.h).
//
// Reading never throws and never trusts the file: a missing, unreadable,
// empty, oversized or damaged file (not JSON, nested deeper than
// kMaxJsonDepth) reads as a null value. Writing is atomic: the target holds
// either its old or its new content, even after a crash or a full disk. The
// helper has no state; every operation takes the path it works on, from any
// thread. Paths are UTF-8.
#include "platform/AtomicFile.h"
#include "platform/JsonText.h"

#include <json/value.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace velkor {

struct JsonFileContents {
    FileReadStatus status = FileReadStatus::Missing;
    FileSignature signature; // of the version read (size -1 when none was opened)
    Json::Value value;       // null unless status is Ok
    std::string text;        // the bytes read (kept so a damaged file can be saved aside)
};

class CJsonFileHelper {
public:
    // Deepest nesting of arrays and objects a reader accepts.
    static constexpr int kMaxJsonDepth = velkor::kMaxJsonDepth;
    // Largest file a reader loads; profiles are a few tens of kilobytes.
    static constexpr int64_t kMaxJsonFileSize = kMaxReadFileSize;

    // The whole file as bytes, or empty when it cannot be opened, is not a
    // regular file, is larger than kMaxJsonFileSize or cannot be read whole.
    std::string ReadTextFile(const std::string& path) const;
    // The same with the reason; `out` is empty unless the result is Ok or Empty.
    // `signature` (may be null) receives the signature of the version read.
    FileReadStatus ReadTextFile(const std::string& path, std::string& out,
                                FileSignature* signature = nullptr) const;

    // The parsed top-level value of the file, or null for every failure.
    Json::Value ReadJsonFile(const std::string& path) const;
    // The same with the reason and the raw text.
    JsonFileContents ReadJsonFileDetailed(const std::string& path) const;

    // Parses a JSON text (comments allowed, depth limited). False and a null
    // `out` on any error; never throws.
    bool ParseJson(std::string_view text, Json::Value& out) const;

    // The text WriteJsonFile stores (StyledJsonText).
    std::string StyledText(const Json::Value& value, size_t sizeHint = 0) const;

    // Replaces the file atomically with StyledText(value). True once the new
    // content is in place and flushed; on false the previous file is unchanged.
    // A symbolic link is followed, so the link itself stays.
    // `written` (may be null) receives the signature of the new file.
    bool WriteJsonFile(const Json::Value& value, const std::string& path,
                       FileSignature* written = nullptr) const;
    // The same for raw bytes.
    bool WriteTextFile(std::string_view text, const std::string& path,
                       FileSignature* written = nullptr) const;

    // "%d_%02d_%02d_%02d_%02d_%02d_%03d" of the local time of `when`
    // (year, month, day, hour, minute, second, millisecond). Identifiers made
    // within the same millisecond are equal; callers that need uniqueness check
    // for an existing file.
    std::string MakeTimeStamp(std::chrono::system_clock::time_point when) const;
    std::string MakeTimeStamp() const { return MakeTimeStamp(std::chrono::system_clock::now()); }
    static std::string FormatTimeStamp(const std::tm& local, int millisecond);

    // The file name without folder and without its last extension:
    // "/a/My Keys.json" gives "My Keys", "/a/b.c.json" gives "b.c".
    std::string GetFileTitle(const std::string& path) const;
};

} // namespace velkor
