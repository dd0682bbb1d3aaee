#include "ui/Window.h"

namespace velkor::ui {

bool IsValidDpi(int dpi) {
    return dpi >= 48 && dpi <= 192 && dpi % 24 == 0;
}

Control* Window::FindControl(std::string_view name) const {
    Control& root = Root();
    return root.Name() == name ? &root : root.FindChild(name);
}

} // namespace velkor::ui
