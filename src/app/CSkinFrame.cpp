#include "app/CSkinFrame.h"

#include "platform/Trace.h"

namespace velkor {

ui::Rect SkinFrameRect(const ui::Rect& button, const ui::Rect& size) {
    return ui::Rect{button.x + button.width - size.width, button.y + button.height, size.width, size.height};
}

CSkinFrame::CSkinFrame(const SkinFrameServices& services) : m_services(services) {}

CSkinFrame::~CSkinFrame() {
    m_window.reset();
}

bool CSkinFrame::Open(ui::Window& owner, const ui::Control& button, std::string* error) {
    if (!m_window) {
        ui::WindowOptions options;
        options.layout = kLayout;
        options.className = kClassName;
        options.owner = &owner;
        options.handler = this;
        options.flags = ui::kWindowFrameless | ui::kWindowTool | ui::kWindowStaysOnTop | ui::kWindowPopup;
        m_window = m_services.toolkit.CreateWindow(options, error);
        if (!m_window) {
            return false;
        }
    }
    m_window->SetDpi(owner.Dpi());
    const ui::Rect size = m_window->Root().Geometry();
    m_window->SetGeometry(SkinFrameRect(button.ScreenGeometry(), size));
    m_window->Show();
    m_window->BringToFront();
    return true;
}

void CSkinFrame::Close() {
    if (m_window && m_window->IsVisible()) {
        m_window->Close(0);
    }
}

void CSkinFrame::ActiveChanged(ui::Window& window, bool active) {
    (void)window;
    if (!active) {
        Close();
    }
}

void CSkinFrame::Notify(const ui::Notification& notification) {
    if (notification.type == ui::kNotifyClick && notification.sender != nullptr) {
        Choose(*notification.sender);
    }
}

void CSkinFrame::Choose(const ui::Control& sender) {
    const std::string& name = sender.Name();
    if (name == "skin_image_btn") {
        Announce(SkinChangedParam{.kind = SkinChangedParam::kPicture, .picture = sender.UserData()}, true,
                 true);
    } else if (name == "skin_color_btn") {
        Announce(SkinChangedParam{.kind = SkinChangedParam::kColour, .colour = sender.BackgroundColour()},
                 false, false);
    } else if (name == "skin_color" || name == "skin_image") {
        if (auto* tabs = ui::As<ui::PageControl>(m_window->FindControl(kTabs))) {
            tabs->SelectPage(name == "skin_color" ? 1 : 0);
        }
    } else if (name == "skin_reset") {
        Announce(
            SkinChangedParam{.kind = SkinChangedParam::kPicture, .picture = std::string(kDefaultSkinPicture)},
            true, false);
    } else if (name == "skin_Custom") {
        if (const std::optional<std::string> file = m_services.prompts.AskOpenFile("(*.png)", "*.png")) {
            Announce(SkinChangedParam{.kind = SkinChangedParam::kPicture, .picture = *file}, false, false);
        }
    }
}

void CSkinFrame::Announce(SkinChangedParam param, bool record, bool chosen) {
    m_services.subject.Announce(param);
    if (record && !m_services.iniPath.empty()) {
        RecordSkinPicture(m_services.iniPath, chosen, param.picture);
    }
}

} // namespace velkor
