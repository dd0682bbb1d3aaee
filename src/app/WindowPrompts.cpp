#include "app/WindowPrompts.h"

#include "app/CMsgWnd.h"

namespace velkor {

int WindowPrompts::ShowMessageKey(std::string_view key, MsgButtons buttons) {
    return ShowMessage(m_toolkit, Owner(), "", key, Dpi(), true, static_cast<int>(buttons));
}

int WindowPrompts::ShowMessageText(std::string_view text, MsgButtons buttons) {
    return ShowMessage(m_toolkit, Owner(), "", text, Dpi(), false, static_cast<int>(buttons));
}

std::optional<std::string> WindowPrompts::AskOpenFile(std::string_view filterName, std::string_view pattern) {
    ui::FileDialogOptions options;
    options.parent = Owner();
    options.filterName = filterName;
    options.pattern = pattern;
    return m_toolkit.AskOpenFileName(options);
}

std::optional<std::string> WindowPrompts::AskSaveFile(std::string_view filterName, std::string_view pattern,
                                                      std::string_view suggestedName) {
    ui::FileDialogOptions options;
    options.parent = Owner();
    options.filterName = filterName;
    options.pattern = pattern;
    options.suggestedName = suggestedName;
    return m_toolkit.AskSaveFileName(options);
}

} // namespace velkor
