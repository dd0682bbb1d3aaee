#include "app/TrayController.h"

#include "devices/TolvanicUSBDevice.h"
#include "platform/Trace.h"

#include <string>

namespace velkor {

TrayController::TrayController(Setup setup)
    : m_setup(std::move(setup)),
      m_icon(m_setup.toolkit.CreateTrayIcon(std::string(kTrayIcon), m_setup.toolTip, *this)) {}

TrayController::~TrayController() {
    m_menu.reset();
    m_icon.reset();
}

bool TrayController::StartHidden() {
    if (!m_setup.toolkit.TrayAvailable()) {
        // Hidden with no notification area, the program could never be reached.
        Trace("no notification area: the window is shown");
        return false;
    }
    m_quietStart = true;
    Hide();
    return true;
}

bool TrayController::EndQuietStart() {
    const bool wasQuiet = m_quietStart;
    m_quietStart = false;
    return wasQuiet;
}

void TrayController::Hide() {
    if (m_shutDown) {
        return;
    }
    Run(m_setup.requests.beforeHide);
    if (!m_setup.toolkit.TrayAvailable()) {
        // No notification area to come back from: the task bar keeps it reachable.
        m_setup.window.Minimize();
        return;
    }
    m_setup.window.Hide();
    m_inTray = true;
    SetTrayFlags(true);
}

void TrayController::BringToFront() {
    if (m_shutDown) {
        return;
    }
    Run(m_setup.requests.beforeShow);
    m_inTray = false;
    SetTrayFlags(false);
    m_setup.window.Show();
    m_setup.window.Restore();
    m_setup.window.BringToFront();
}

void TrayController::Toggle() {
    if (m_shutDown) {
        return;
    }
    Run(m_setup.requests.beforeShow);
    ui::Window& window = m_setup.window;
    if (window.IsVisible() && !window.IsMinimized()) {
        Hide();
        return;
    }
    window.Show();
    window.Restore();
    Run(m_setup.requests.rescale);
    BringToFront();
}

bool TrayController::OnTimer(int id) {
    if (id != kTimerMenu) {
        return false;
    }
    m_setup.window.Root().KillTimer(kTimerMenu);
    ShowMenu();
    return true;
}

void TrayController::Shutdown() {
    m_shutDown = true;
    m_setup.window.Root().KillTimer(kTimerMenu);
    m_menu.reset();
}

void TrayController::TrayIconClicked(ui::MouseButton button) {
    if (m_shutDown) {
        return;
    }
    if (button == ui::MouseButton::Left) {
        Toggle();
    } else {
        m_setup.window.Root().SetTimer(kTimerMenu, kTimerMenuMs);
    }
}

void TrayController::ShowMenu() {
    m_menu.reset();
    if (m_shutDown) {
        return;
    }
    std::string error;
    m_menu = m_setup.toolkit.OpenMenu(kMenuLayout, m_setup.toolkit.CursorPosition(), *this, &error);
    if (!m_menu) {
        TraceF("the notification-area menu cannot open: %s", error.c_str());
    }
}

void TrayController::MenuItemChosen(std::string_view item) {
    if (m_shutDown) {
        return;
    }
    if (item == kMenuExit) {
        Run(m_setup.requests.exit);
    } else if (item == kMenuSettings) {
        Run(m_setup.requests.openSettings);
    } else if (item == kMenuAbout) {
        Run(m_setup.requests.openAbout);
    } else if (item == kMenuShow) {
        const ui::Window& window = m_setup.window;
        if (window.IsVisible() && !window.IsMinimized()) {
            BringToFront();
        } else {
            Toggle();
        }
    }
}

void TrayController::SetTrayFlags(bool on) {
    if (!m_setup.devicesOfClass) {
        return;
    }
    for (DeviceClass kind : {DeviceClass::Keyboard, DeviceClass::Mouse}) {
        for (CTolvanicUSBDevice* device : m_setup.devicesOfClass(kind)) {
            device->State().SetTrayFlag(on);
        }
    }
}

} // namespace velkor
