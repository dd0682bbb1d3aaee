#pragma once
// The program's one message box: every question and notice to the user goes
// through ShowMessage, which opens a CMsgWnd (layout "XML_MSG", window class
// "MsgWnd", title "msgwnd") modally and returns how the user closed it.
//
// Controls the box addresses by name: "MessageTitle", "MessageText",
// "confirm_btn", "cancel_btn" and the title-bar buttons "closebtn", "minbtn",
// "maxbtn", "restorebtn" (clicks are matched without regard to case). A
// control missing from the layout leaves that part as the layout has it; the
// box still opens.
#include "ui/Prompts.h"
#include "ui/Toolkit.h"

#include <memory>
#include <string>
#include <string_view>

namespace velkor {

// ShowMessage returns kMsgConfirmed, kMsgCancelled or kMsgNotShown (ui/Prompts.h).

// Opens the box modally and waits until the user closes it; the loop keeps
// running the main window's work meanwhile. Only the user-interface thread
// opens boxes.
// - parent: the owner (the box is centred on it), or null;
// - title: text of "MessageTitle"; empty leaves the layout's title;
// - text: text of "MessageText", or with `textIsKey` a language key whose
//   text the toolkit's text provider gives (a key it lacks shows the key);
// - dpi: the interface DPI in use (the main window's); anything but 48, 72,
//   96, 120, 144, 168, 192 emits "MSG_WND DPI SET ERROR" and uses 96;
// - buttons: Notice or Question; any other value leaves the layout's buttons.
// Callers compare the result with kMsgConfirmed: only that means "yes".
int ShowMessage(ui::Toolkit& toolkit, ui::Window* parent, std::string_view title, std::string_view text,
                int dpi, bool textIsKey, int buttons);

class CMsgWnd final : public ui::WindowHandler {
public:
    static constexpr std::string_view kClassName = "MsgWnd";
    static constexpr std::string_view kLayout = "XML_MSG";
    static constexpr std::string_view kTitle = "msgwnd";

    explicit CMsgWnd(ui::Toolkit& toolkit) : m_toolkit(toolkit) {}
    CMsgWnd(const CMsgWnd&) = delete;
    CMsgWnd& operator=(const CMsgWnd&) = delete;

    // Builds the hidden box owned by `parent`. False with `error` set when the layout cannot be built.
    bool Create(ui::Window* parent, std::string* error = nullptr);
    // Fills the box as ShowMessage describes (after Create).
    void Prepare(std::string_view title, std::string_view text, int dpi, bool textIsKey, int buttons);
    // Centres the box on its owner and runs it modally; returns the closing code.
    int Run();
    // Centres the box on its owner and shows it without waiting; its buttons hide it.
    void ShowBeside();

    ui::Window* GetWindow() const { return m_window.get(); }

    void Notify(const ui::Notification& notification) override;

private:
    ui::Toolkit& m_toolkit;
    std::unique_ptr<ui::Window> m_window;
    int m_dpi = ui::kDefaultDpi;
};

} // namespace velkor
