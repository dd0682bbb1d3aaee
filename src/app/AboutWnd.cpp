#include "app/AboutWnd.h"

#include "platform/Trace.h"
#include "profiles/ProfileFolders.h"

#ifndef VELKOR_VERSION
#define VELKOR_VERSION "unknown"
#endif

namespace velkor {

AboutFacts ProgramAboutFacts(const std::string& dataHome) {
    std::string folder = dataHome;
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    // Named, not created: opening the about window must not make folders.
    folder += kUserBaseFolderName;
    folder += '/';
    return AboutFacts{VELKOR_VERSION, std::string(kProgramLicence), folder};
}

bool CAboutWnd::Create(ui::Window* parent, std::string* error) {
    const ui::WindowOptions options{.layout = std::string(kLayout),
                                    .className = std::string(kClassName),
                                    .owner = parent,
                                    .handler = this};
    m_window = ui::CreateToolWindow(m_toolkit, options, kTitle, error);
    return m_window != nullptr;
}

void CAboutWnd::SetText(std::string_view control, std::string_view labelKey, std::string_view value) {
    if (ui::Control* label = m_window->FindControl(control)) {
        label->SetResourceText(false);
        label->SetText(ui::TextOrKey(m_texts, labelKey) + std::string(value));
    }
}

void CAboutWnd::Fill(const AboutFacts& facts, int dpi) {
    m_window->SetTitle(ui::TextOrKey(m_texts, "about_title_text"));
    SetText("about_version_text", "software_rev_text", facts.version);
    SetText("about_licence_text", "about_licence_label", facts.licence);
    SetText("about_data_text", "about_data_label", facts.dataFolder);
    if (!ui::IsValidDpi(dpi)) {
        dpi = ui::kDefaultDpi;
    }
    m_window->SetDpi(dpi);
}

void CAboutWnd::Run() {
    m_window->CenterWindow();
    m_window->ShowModal();
}

void CAboutWnd::Notify(const ui::Notification& notification) {
    if (notification.type != ui::kNotifyClick || notification.sender == nullptr) {
        return;
    }
    const std::string& name = notification.sender->Name();
    if (name == "closebtn" || name == "confirm_btn") {
        m_window->Close(0);
    }
}

bool ShowAbout(ui::Toolkit& toolkit, const ui::TextProvider* texts, ui::Window* parent, int dpi,
               const AboutFacts& facts) {
    CAboutWnd about(toolkit, texts);
    std::string error;
    if (!about.Create(parent, &error)) {
        TraceF("about window: %s", error.c_str());
        return false;
    }
    about.Fill(facts, dpi);
    about.Run();
    return true;
}

} // namespace velkor
