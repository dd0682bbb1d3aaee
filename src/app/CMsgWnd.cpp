#include "app/CMsgWnd.h"

#include "platform/Trace.h"
#include "profiles/NameRules.h"

namespace velkor {

int ShowMessage(ui::Toolkit& toolkit, ui::Window* parent, std::string_view title, std::string_view text,
                int dpi, bool textIsKey, int buttons) {
    CMsgWnd box(toolkit);
    std::string error;
    if (!box.Create(parent, &error)) {
        TraceF("MSG_WND %s", error.c_str());
        return kMsgNotShown;
    }
    box.Prepare(title, text, dpi, textIsKey, buttons);
    return box.Run();
}

bool CMsgWnd::Create(ui::Window* parent, std::string* error) {
    const ui::WindowOptions options{.layout = std::string(kLayout),
                                    .className = std::string(kClassName),
                                    .owner = parent,
                                    .handler = this};
    m_window = ui::CreateToolWindow(m_toolkit, options, kTitle, error);
    return m_window != nullptr;
}

void CMsgWnd::Prepare(std::string_view title, std::string_view text, int dpi, bool textIsKey, int buttons) {
    if (!title.empty()) {
        if (ui::Control* label = m_window->FindControl("MessageTitle")) {
            label->SetText(title);
        }
    }
    if (!text.empty()) {
        if (ui::Control* label = m_window->FindControl("MessageText")) {
            label->SetResourceText(textIsKey);
            label->SetText(text);
        }
    }
    if (dpi != m_dpi) {
        if (!ui::IsValidDpi(dpi)) {
            Trace("MSG_WND DPI SET ERROR");
            dpi = ui::kDefaultDpi;
        }
        // Only the box: a wrong value from a caller must not rescale the main window.
        if (m_window->SetDpi(dpi)) {
            m_dpi = dpi;
        }
    }
    ui::Control* cancel = m_window->FindControl("cancel_btn");
    ui::Control* confirm = m_window->FindControl("confirm_btn");
    if (buttons == static_cast<int>(MsgButtons::Notice) ||
        buttons == static_cast<int>(MsgButtons::Question)) {
        if (cancel != nullptr) {
            cancel->SetVisible(buttons == static_cast<int>(MsgButtons::Question));
        }
        if (confirm != nullptr) {
            confirm->SetVisible(true);
        }
    }
}

int CMsgWnd::Run() {
    m_window->CenterWindow();
    return m_window->ShowModal();
}

void CMsgWnd::ShowBeside() {
    m_window->CenterWindow();
    m_window->Show();
}

void CMsgWnd::Notify(const ui::Notification& notification) {
    if (notification.type != ui::kNotifyClick || notification.sender == nullptr) {
        return;
    }
    const std::string& name = notification.sender->Name();
    if (SameNameIgnoringCase(name, "closebtn") || SameNameIgnoringCase(name, "cancel_btn")) {
        m_window->Close(kMsgCancelled);
    } else if (SameNameIgnoringCase(name, "confirm_btn")) {
        m_window->Close(kMsgConfirmed);
    } else if (SameNameIgnoringCase(name, "minbtn")) {
        m_window->Minimize();
    } else if (SameNameIgnoringCase(name, "maxbtn")) {
        m_window->Maximize();
    } else if (SameNameIgnoringCase(name, "restorebtn")) {
        m_window->Restore();
    }
}

} // namespace velkor
