#pragma once
// The prompts of a window: the program's message box centred on it and the
// toolkit's file dialogs owned by it. The panels of the main window's device
// pages ask the user through this.
#include "ui/Prompts.h"
#include "ui/Toolkit.h"

#include <functional>

namespace velkor {

class WindowPrompts final : public ui::UserPrompts {
public:
    // `window` may be null (no owner); `dpi` gives the interface DPI in use at
    // the moment a box opens. The toolkit must outlive this object.
    WindowPrompts(ui::Toolkit& toolkit, std::function<ui::Window*()> window, std::function<int()> dpi)
        : m_toolkit(toolkit), m_window(std::move(window)), m_dpi(std::move(dpi)) {}

    int ShowMessageKey(std::string_view key, MsgButtons buttons) override;
    int ShowMessageText(std::string_view text, MsgButtons buttons) override;
    std::string Text(std::string_view key) const override { return m_toolkit.LookUpText(key); }
    std::optional<std::string> AskOpenFile(std::string_view filterName, std::string_view pattern) override;
    std::optional<std::string> AskSaveFile(std::string_view filterName, std::string_view pattern,
                                           std::string_view suggestedName) override;

private:
    ui::Window* Owner() const { return m_window ? m_window() : nullptr; }
    int Dpi() const { return m_dpi ? m_dpi() : ui::kDefaultDpi; }

    ui::Toolkit& m_toolkit;
    std::function<ui::Window*()> m_window;
    std::function<int()> m_dpi;
};

} // namespace velkor
