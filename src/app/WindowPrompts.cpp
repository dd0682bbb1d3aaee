#include "app/WindowPrompts.h"

#include "app/CMsgWnd.h"
#include "lighting/CColorSelectWnd.h"
#include "platform/Trace.h"

namespace velkor {

WindowPrompts::WindowPrompts(ui::Toolkit& toolkit, std::function<ui::Window*()> window,
                             std::function<int()> dpi)
    : m_toolkit(toolkit), m_window(std::move(window)), m_dpi(std::move(dpi)) {}

WindowPrompts::~WindowPrompts() = default;

int WindowPrompts::ShowMessageKey(std::string_view key, MsgButtons buttons) {
    return ShowMessage(m_toolkit, Owner(), "", key, Dpi(), true, static_cast<int>(buttons));
}

int WindowPrompts::ShowMessageText(std::string_view text, MsgButtons buttons) {
    return ShowMessage(m_toolkit, Owner(), "", text, Dpi(), false, static_cast<int>(buttons));
}

void WindowPrompts::ShowNotice(std::string_view kind, std::string_view text, bool textIsKey) {
    auto notice = m_notices.find(kind);
    if (notice == m_notices.end()) {
        auto box = std::make_unique<CMsgWnd>(m_toolkit);
        std::string error;
        if (!box->Create(Owner(), &error)) {
            TraceF("MSG_WND %s", error.c_str());
            return;
        }
        notice = m_notices.emplace(std::string(kind), std::move(box)).first;
    }
    CMsgWnd& box = *notice->second;
    box.Prepare("", text, Dpi(), textIsKey, static_cast<int>(MsgButtons::Notice));
    if (!box.GetWindow()->IsVisible()) {
        box.ShowBeside();
    }
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

std::optional<uint32_t> WindowPrompts::AskColour(uint32_t initial) {
    if (m_colourDialog != nullptr) {
        Trace("the colour palette is open already");
        return std::nullopt;
    }
    const TickClock& clock = m_colourSetup.clock != nullptr ? *m_colourSetup.clock : m_steadyClock;
    CColorSelectWnd dialog(m_toolkit, clock,
                           ColourOptionFile::ForFolders(m_colourSetup.programFolder, m_colourSetup.dataHome));
    std::string error;
    if (!dialog.Create(Owner(), &error)) {
        TraceF("the colour palette cannot open: %s", error.c_str());
        return std::nullopt;
    }
    dialog.Prepare(0xFF000000u | initial, Dpi());
    m_colourDialog = &dialog;
    const int result = dialog.Run();
    m_colourDialog = nullptr;
    if (result != CColorSelectWnd::kResultChosen) {
        return std::nullopt;
    }
    return dialog.ResultColour() & 0xFFFFFFu;
}

void WindowPrompts::CloseColourDialog() {
    if (m_colourDialog != nullptr) {
        m_colourDialog->Close(CColorSelectWnd::kResultCancelled);
    }
}

} // namespace velkor
