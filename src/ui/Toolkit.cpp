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

std::unique_ptr<Window> CreateToolWindow(Toolkit& toolkit, WindowOptions options, std::string_view title,
                                         std::string* error) {
    options.flags |= kWindowFrameless | kWindowTool;
    std::unique_ptr<Window> window = toolkit.CreateWindow(options, error);
    if (window) {
        window->SetTitle(title);
    }
    return window;
}

} // namespace velkor::ui
