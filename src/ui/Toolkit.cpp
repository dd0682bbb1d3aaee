#include "ui/Toolkit.h"

namespace velkor::ui {

std::string TextOrKey(const TextProvider* provider, std::string_view key) {
    if (provider != nullptr) {
        if (std::optional<std::string> text = provider->Text(key)) {
            return *text;
        }
    }
    return std::string(key);
}

} // namespace velkor::ui
