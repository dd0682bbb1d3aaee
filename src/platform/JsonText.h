#pragma once
// The one JSON reader and the styled JSON text of the system's files.
//
// ParseJson never throws and never trusts its text: anything that is not JSON
// under the rules given (nested too deeply, trailing garbage when exact, ...)
// gives false and a null value. Stateless; any thread may call.
#include <json/value.h>

#include <string>
#include <string_view>

namespace velkor {

// Deepest nesting of arrays and objects our files may have.
inline constexpr int kMaxJsonDepth = 256;

struct JsonReadRules {
    int maxDepth = kMaxJsonDepth;
    bool comments = true; // C and C++ comments are skipped
    // One value and nothing after it, no duplicate member names, an object or
    // array at the top.
    bool exact = false;
    bool trailingCommas = true; // "[1, 2,]" is read as [1, 2]
};

// Parses a JSON text. False and a null `out` on any error (with jsoncpp's
// reason in `errors` when given); never throws.
bool ParseJson(std::string_view text, Json::Value& out, const JsonReadRules& rules = {},
               std::string* errors = nullptr);

// The text our files hold: jsoncpp's styled form (indent 3, right margin 74),
// ending in one line end. `sizeHint` is the expected length (e.g. the previous
// file's size), used only to size the buffer.
std::string StyledJsonText(const Json::Value& value, size_t sizeHint = 0);

} // namespace velkor
