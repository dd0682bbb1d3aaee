// The main window's skin: the skin window at the skin button, and the root's
// background from a skin choice.
#include "app/CMainWnd.h"

#include "app/LanguageFonts.h"
#include "platform/Trace.h"
#include "profiles/ProfileFolders.h"

namespace velkor {

std::string CMainWnd::SkinIniPath() const {
    const std::string base =
        m_services.dataHome.empty() ? std::string() : UserBaseFolder(m_services.dataHome);
    return base.empty() ? std::string() : base + kSkinIniFileName;
}

void CMainWnd::OpenSkinFrame() {
    ui::Control* button = TitleButton("skinbtn");
    if (!m_window || m_shutDown || button == nullptr) {
        return;
    }
    if (!m_skinFrame) {
        m_skinFrame = std::make_unique<CSkinFrame>(
            SkinFrameServices{m_services.toolkit, m_skinChanges, *m_prompts, SkinIniPath()});
    }
    std::string error;
    if (!m_skinFrame->Open(*m_window, *button, &error)) {
        TraceF("the skin window cannot open: %s", error.c_str());
        m_skinFrame.reset();
        return;
    }
    CopyFontSet(*m_window, *m_skinFrame->GetWindow());
}

void CMainWnd::SkinChanged(const SkinChangedParam& param) {
    if (!m_window) {
        return;
    }
    ui::Control& root = m_window->Root();
    if (param.kind == SkinChangedParam::kColour) {
        root.SetBackgroundImage({});
        root.SetBackgroundColour(param.colour);
        return;
    }
    std::string error;
    if (!m_services.toolkit.ImageUsable(param.picture, &error)) {
        TraceF("skin picture refused: %s", error.c_str());
        return;
    }
    root.SetBackgroundColour(0);
    root.SetBackgroundImage(param.picture);
}

} // namespace velkor
