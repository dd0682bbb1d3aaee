// The main window's own appearance and controls: showing and hiding (through
// the notification area's controller), the interface scale, the title
// buttons, and the routing of its controls' notifications.
#include "app/CMainWnd.h"

#include "platform/Trace.h"

namespace velkor {

void CMainWnd::BringWindowToFront() {
    if (!m_window || m_shutDown) {
        return;
    }
    m_tray->BringToFront();
}

void CMainWnd::HideToTray() {
    if (!m_window || m_shutDown) {
        return;
    }
    m_tray->Hide();
}

void CMainWnd::ApplyInterfaceScale() {
    if (!m_window || m_shutDown) {
        return;
    }
    const bool wasVisible = m_window->IsVisible() && !m_window->IsMinimized();
    if (!wasVisible) {
        m_window->Show();
        m_window->Restore();
    }
    int dpi = InterfaceDpiFor(m_window->WorkArea());
    if (!ui::IsValidDpi(dpi)) {
        Trace("MAIN_WND DPI SET ERROR");
        dpi = ui::kDefaultDpi;
    }
    m_services.toolkit.SetDpiForAll(ui::kDefaultDpi);
    const ui::Rect at = m_window->Geometry();
    m_window->SetGeometry(ui::Rect{at.x, at.y, kScaledWidth, kScaledHeight});
    m_services.toolkit.SetDpiForAll(dpi);
    m_window->CenterWindow();
    if (wasVisible) {
        m_window->Show();
    } else {
        m_window->Hide();
    }
}

void CMainWnd::Notify(const ui::Notification& notification) {
    if (notification.type != ui::kNotifyTimer) {
        Trace(notification.type);
        Trace(notification.sender != nullptr ? std::string_view(notification.sender->Name()) : "");
    }
    if (m_shutDown || !m_deviceList) {
        return; // shut down, or the window is still being built
    }
    // The device pages' panels take what comes from their own controls (no
    // panel control runs a timer the window must pass on).
    if (notification.type != ui::kNotifyTimer) {
        for (const auto& panels : m_panels) {
            if (panels->Route(notification)) {
                if (m_exitAfterDialog) {
                    m_exitAfterDialog = false;
                    Exit();
                }
                return;
            }
        }
        if (m_lighting && m_lighting->Route(notification)) {
            return;
        }
        if (m_audio && m_audio->Route(notification)) {
            if (m_exitAfterDialog) { // the exit came while MusicWnd was open
                m_exitAfterDialog = false;
                Exit();
            }
            return;
        }
    }
    if (notification.type == ui::kNotifyWindowInit) {
        StartDevices();
    } else if (notification.type == ui::kNotifyTimer) {
        if (m_awake && notification.sender == &m_window->Root()) {
            OnTimer(int(notification.wParam));
        }
    } else if (notification.type == ui::kNotifyWindowSize) {
        if (m_displayChanged && notification.sender == &m_window->Root()) {
            m_displayChanged = false;
            ApplyInterfaceScale();
        }
    } else if (m_deviceList->Route(notification)) {
        // the list's own controls
    } else if (notification.type == ui::kNotifyClick && notification.sender != nullptr) {
        OnClick(*notification.sender);
    }
}

void CMainWnd::OnTimer(int id) {
    if (id == kTimerScale) {
        m_window->Root().KillTimer(kTimerScale); // once
        ApplyInterfaceScale();
    } else if (m_tray->OnTimer(id)) {
        // the notification-area menu opened
    } else if (id == kTimerAudioTool) {
        SuperviseAudioTool();
    } else if (id == kTimerIdle) {
        ShowAudioToolStatus();
    } else if (m_lighting) {
        m_lighting->OnTimer(id); // the end of a game-event effect
    }
}

void CMainWnd::DisplayChanged(ui::Window& window) {
    (void)window;
    Trace("显示器分辨率发生变化");
    m_displayChanged = true;
}

void CMainWnd::DpiChanged(ui::Window& window, int suggestedDpi) {
    (void)window;
    if (!m_window || m_shutDown) {
        return;
    }
    Trace("界面 DPI 发生变化");
    if (!m_window->SetDpi(suggestedDpi)) {
        TraceF("suggested DPI %d not accepted", suggestedDpi);
        return;
    }
    m_window->CenterWindow();
    m_window->Root().Invalidate();
}

void CMainWnd::OnClick(const ui::Control& sender) {
    const std::string& name = sender.Name();
    if (name == "closebtn") {
        HideToTray();
    } else if (name == "minbtn") {
        m_window->Minimize();
    } else if (name == "maxbtn") {
        m_window->Maximize();
    } else if (name == "restorebtn") {
        m_window->Restore();
    } else if (name == "skinbtn") {
        OpenSkinFrame();
    } else if (name == "setbtn") {
        OpenSettingsWindow(true);
    } else if (name == "aboutbtn") {
        OpenAboutWindow();
    } else if (name == kLightStatusLabel) {
        ToggleLightControl();
    } else if (name == "nodevice_ok_btn") {
        m_window->Hide();
    }
}

void CMainWnd::ShownChanged(ui::Window& window) {
    (void)window;
    if (m_deviceList) {
        m_deviceList->UpdatePreviews();
    }
}

void CMainWnd::SelectionChanged() {
    m_deviceList->UpdatePreviews();
}

void CMainWnd::ActiveChanged(ui::Window& window, bool active) {
    (void)window;
    m_active = active;
    if (m_deviceList) {
        m_deviceList->SetPicturesAnimated(active);
    }
}

void CMainWnd::HoverChanged(ui::Window& window, bool inside) {
    (void)window;
    if (m_active) {
        return; // an active window animates anyway
    }
    Trace(inside ? "鼠标移入" : "鼠标移出");
    if (m_deviceList) {
        m_deviceList->SetPicturesAnimated(inside);
    }
}

bool CMainWnd::CloseRequested(ui::Window& window) {
    (void)window;
    HideToTray();
    return false; // the program ends through the menu's exit item
}

} // namespace velkor
