#pragma once
// The about window: the program's name, "software_rev_text" followed by the
// program's version, its licence and the folder that keeps the user's data.
// Opened modally from the title bar's "aboutbtn" and the tray menu's
// "about_menu"; user-interface thread only.
//
// Controls by name: "about_name_text", "about_version_text",
// "about_licence_text", "about_data_text", "closebtn" and "confirm_btn" (both
// close it). A control missing from the layout is left out; the window still opens.
#include "ui/Toolkit.h"

#include <memory>
#include <string>
#include <string_view>

namespace velkor {

struct AboutFacts {
    std::string version;    // this build's, e.g. "1.4.0"
    std::string licence;    // SPDX form
    std::string dataFolder; // where profiles, macros and the rest are kept
};

// The licence the program is published under.
inline constexpr std::string_view kProgramLicence = "GPL-3.0-or-later";

// This build's facts: its version and licence, and the user base folder under `dataHome`.
AboutFacts ProgramAboutFacts(const std::string& dataHome);

class CAboutWnd final : public ui::WindowHandler {
public:
    static constexpr std::string_view kClassName = "AboutWnd";
    static constexpr std::string_view kLayout = "XML_ABOUT";
    static constexpr std::string_view kTitle = "about";

    CAboutWnd(ui::Toolkit& toolkit, const ui::TextProvider* texts) : m_toolkit(toolkit), m_texts(texts) {}
    CAboutWnd(const CAboutWnd&) = delete;
    CAboutWnd& operator=(const CAboutWnd&) = delete;

    // Builds the hidden window owned by `parent`; false with `error` set when the layout cannot be built.
    bool Create(ui::Window* parent, std::string* error = nullptr);
    // Fills in the facts in the current language and scales the window to `dpi`.
    void Fill(const AboutFacts& facts, int dpi);
    // Centres it on its owner and runs it modally until it is closed.
    void Run();

    ui::Window* GetWindow() const { return m_window.get(); }
    void Notify(const ui::Notification& notification) override;

private:
    void SetText(std::string_view control, std::string_view labelKey, std::string_view value);

    ui::Toolkit& m_toolkit;
    const ui::TextProvider* m_texts;
    std::unique_ptr<ui::Window> m_window;
};

// Opens the about window modally; false (and a trace) when it could not be built.
bool ShowAbout(ui::Toolkit& toolkit, const ui::TextProvider* texts, ui::Window* parent, int dpi,
               const AboutFacts& facts);

} // namespace velkor
