#include "app/CMainWnd.h"

#include "platform/Trace.h"

namespace velkor {

CMainWnd::CMainWnd(const MainWndServices& services) : m_services(services), m_creator(services.factory) {}

CMainWnd::~CMainWnd() {
    // The window goes before the creator whose objects hang on its controls.
    m_window.reset();
}

bool CMainWnd::Create(std::string* error) {
    ui::WindowOptions options;
    options.layout = kLayout;
    options.className = kClassName;
    options.handler = this;
    options.creator = &m_creator;
    m_window = m_services.toolkit.CreateWindow(options, error);
    if (!m_window) {
        return false;
    }
    Trace("InitWindow");
    for (size_t i = 0; i < kTitleButtons.size(); ++i) {
        m_titleButtons[i] = m_window->FindControl(kTitleButtons[i]);
    }
    m_deviceList = m_window->FindControl(kDeviceList);
    m_noDeviceHint = m_window->FindControl(kNoDeviceHint);

    m_window->SetTitle(kTitle);
    m_window->SetGeometry(ui::Rect{0, 0, kWidth, kHeight});
    m_window->CenterWindow();
    UpdateNoDeviceHint();
    m_window->Show();
    return true;
}

ui::Control* CMainWnd::TitleButton(std::string_view name) const {
    for (size_t i = 0; i < kTitleButtons.size(); ++i) {
        if (kTitleButtons[i] == name) {
            return m_titleButtons[i];
        }
    }
    return nullptr;
}

void CMainWnd::HandleBusMessage(const BusMessage& message) {
    if (!m_window) {
        return;
    }
    if (message.kind == BusMessageKind::Announce) {
        TraceF("软件标示 %d，%xd%xd", static_cast<int>(message.kind), static_cast<unsigned>(message.wParam),
               static_cast<unsigned>(message.lParam));
        BringWindowToFront();
        return;
    }
    // Lighting ownership, the audio tool, game events and installer reports
    // belong to the parts that handle them; until those exist they end here.
    TraceF("message %s from %s not handled", BusMessageInfoOf(message.kind).member, message.sender.c_str());
}

void CMainWnd::BringWindowToFront() {
    if (!m_window) {
        return;
    }
    UpdateNoDeviceHint();
    m_window->Restore();
    m_window->BringToFront();
}

bool CMainWnd::AnyDeviceItemVisible() const {
    if (m_deviceList == nullptr) {
        return false;
    }
    for (int i = 0; i < m_deviceList->ChildCount(); ++i) {
        const ui::Control* item = m_deviceList->ChildAt(i);
        if (item != nullptr && item->IsVisible()) {
            return true;
        }
    }
    return false;
}

void CMainWnd::UpdateNoDeviceHint() {
    if (m_noDeviceHint != nullptr) {
        m_noDeviceHint->SetVisible(!AnyDeviceItemVisible());
    }
}

void CMainWnd::Notify(const ui::Notification& notification) {
    if (notification.type != ui::kNotifyTimer) {
        Trace(notification.type);
        Trace(notification.sender != nullptr ? std::string_view(notification.sender->Name()) : "");
    }
    if (notification.type == ui::kNotifyClick && notification.sender != nullptr) {
        OnClick(*notification.sender);
    }
}

void CMainWnd::OnClick(const ui::Control& sender) {
    const std::string& name = sender.Name();
    if (name == "closebtn") {
        // Until the notification-area icon exists, closing ends the program.
        Quit();
    } else if (name == "minbtn") {
        m_window->Minimize();
    } else if (name == "maxbtn") {
        m_window->Maximize();
    } else if (name == "restorebtn") {
        m_window->Restore();
    }
}

bool CMainWnd::CloseRequested(ui::Window& window) {
    (void)window;
    Quit();
    return true;
}

void CMainWnd::Quit() {
    Trace("退出测试");
    m_services.toolkit.Quit(0);
}

} // namespace velkor
