#pragma once
// The prompts of a window: the program's message box centred on it, the
// toolkit's file dialogs owned by it and the colour palette dialog. The panels
// of the main window's device pages ask the user through this.
#include "devices/DeviceLinks.h"
#include "ui/Prompts.h"
#include "ui/Toolkit.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace velkor {

class CColorSelectWnd;
class CMsgWnd;

// Where the colour palette keeps its file, and the clock that paces its saves.
struct ColourDialogSetup {
    std::string programFolder;
    std::string dataHome;
    // Must outlive the prompts; null: the system's monotonic clock.
    const TickClock* clock = nullptr;
};

class WindowPrompts final : public ui::UserPrompts {
public:
    // `window` may be null (no owner); `dpi` gives the interface DPI in use at
    // the moment a box opens. The toolkit must outlive this object.
    WindowPrompts(ui::Toolkit& toolkit, std::function<ui::Window*()> window, std::function<int()> dpi);
    ~WindowPrompts() override;

    int ShowMessageKey(std::string_view key, MsgButtons buttons) override;
    int ShowMessageText(std::string_view text, MsgButtons buttons) override;
    // A box of its own per kind, kept (hidden once closed) for the next notice of that kind.
    void ShowNotice(std::string_view kind, std::string_view text, bool textIsKey) override;
    std::string Text(std::string_view key) const override { return m_toolkit.LookUpText(key); }
    std::optional<std::string> AskOpenFile(std::string_view filterName, std::string_view pattern) override;
    std::optional<std::string> AskSaveFile(std::string_view filterName, std::string_view pattern,
                                           std::string_view suggestedName) override;
    // Opens the colour palette dialog modally, centred on the window, at the
    // window's DPI; null folders leave its collected colours unsaved.
    std::optional<uint32_t> AskColour(uint32_t initial) override;

    void SetColourDialog(ColourDialogSetup setup) { m_colourSetup = std::move(setup); }
    // The open colour palette dialog, null when none.
    CColorSelectWnd* OpenColourDialog() const { return m_colourDialog; }
    // Closes an open colour palette dialog as cancelled (its question answers nothing).
    void CloseColourDialog();

private:
    ui::Window* Owner() const { return m_window ? m_window() : nullptr; }
    int Dpi() const { return m_dpi ? m_dpi() : ui::kDefaultDpi; }

    ui::Toolkit& m_toolkit;
    std::function<ui::Window*()> m_window;
    std::function<int()> m_dpi;
    ColourDialogSetup m_colourSetup;
    SteadyTickClock m_steadyClock;
    CColorSelectWnd* m_colourDialog = nullptr;
    std::map<std::string, std::unique_ptr<CMsgWnd>, std::less<>> m_notices;
};

} // namespace velkor
