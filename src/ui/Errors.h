#pragma once
// Failures of the toolkit boundary are reported through an optional message.
#include <string>
#include <utility>

namespace velkor::ui {

// Stores `text` in `*error` when the caller asked for a message (error not null).
inline void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

} // namespace velkor::ui
