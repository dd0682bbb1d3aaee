#pragma once
// TrayController: the main window's notification-area icon and its menu, and
// the window's trips to and from the notification area. A left click on the
// icon hides a visible window and brings back a hidden or minimised one; a
// right click opens the menu "menu.xml" on timer 1032 of the window's root
// (one menu at a time), whose items show the window, open the settings window
// or exit. While the window sits in the notification area every mouse and
// keyboard has its tray flag set. Where the desktop has no notification
// area, hiding minimises instead, so the window always stays reachable.
//
// What the window itself does around these trips (closing its secondary
// windows, the interface scale, exiting) comes in as requests. After Shutdown
// the icon and the requests do nothing. User-interface thread only.
#include "lighting/LightCommit.h"
#include "ui/Toolkit.h"

#include <functional>
#include <memory>
#include <string_view>

namespace velkor {

class TrayController final : public ui::TrayReceiver, public ui::MenuReceiver {
public:
    static constexpr std::string_view kTrayIcon = "common/tray.png";
    static constexpr std::string_view kMenuLayout = "menu.xml";
    static constexpr std::string_view kMenuShow = "show_menu";
    static constexpr std::string_view kMenuSettings = "setwnd_menu";
    static constexpr std::string_view kMenuAbout = "about_menu";
    static constexpr std::string_view kMenuExit = "exit";
    // The menu opens on this timer of the window's root, after the click has ended.
    static constexpr int kTimerMenu = 1032;
    static constexpr int kTimerMenuMs = 10;

    // What the window does around the trips; an empty member does nothing.
    struct Requests {
        // Before the window is hidden or minimised: what must not stay open unseen.
        std::function<void()> beforeHide;
        // Before the window is shown: what it shows that may have changed meanwhile.
        std::function<void()> beforeShow;
        // The interface-scale step, when the icon brings a hidden window back.
        std::function<void()> rescale;
        // The menu's "exit", "setwnd_menu" and "about_menu".
        std::function<void()> exit;
        std::function<void()> openSettings;
        std::function<void()> openAbout;
    };
    struct Setup {
        ui::Toolkit& toolkit;
        // Hidden and shown; its root carries timer 1032.
        ui::Window& window;
        std::string_view toolTip;
        // The devices whose tray flags follow the window; may be empty.
        DevicesOfClassFn devicesOfClass;
        Requests requests;
    };

    // Creates the icon, shown at once. The toolkit and the window must outlive the controller.
    explicit TrayController(Setup setup);
    ~TrayController() override;
    TrayController(const TrayController&) = delete;
    TrayController& operator=(const TrayController&) = delete;

    // velkor --background: the window goes to the notification area, and the
    // devices the first scan finds raise nothing. False (nothing done, a trace
    // says why) when the desktop has no notification area.
    bool StartHidden();
    // The started-hidden run's first scan is still to end: an attach raises nothing yet.
    bool QuietStart() const { return m_quietStart; }
    // The scan ended its first pass: true when that ended a started-hidden
    // run's quiet (the devices it found raise nothing).
    bool EndQuietStart();

    // Hides the window in the notification area (minimises it without one).
    void Hide();
    // Shows, restores, raises and activates the window.
    void BringToFront();
    // The icon's left click: hides a visible window, else shows it in front.
    void Toggle();
    // The window sits hidden in the notification area.
    bool InTray() const { return m_inTray; }

    // A timer of the window's root; true when it was the menu's (which then opens).
    bool OnTimer(int id);
    // Closes the menu and stops its timer; from here nothing is done.
    void Shutdown();

    ui::TrayIcon* Icon() const { return m_icon.get(); }
    // The open menu, or null.
    ui::Menu* OpenMenu() const { return m_menu.get(); }

    void TrayIconClicked(ui::MouseButton button) override;
    // "show_menu" never hides: a visible window only comes to the front.
    void MenuItemChosen(std::string_view item) override;

private:
    void ShowMenu();
    // The tray flag of every mouse and keyboard.
    void SetTrayFlags(bool on);
    static void Run(const std::function<void()>& request) {
        if (request) {
            request();
        }
    }

    Setup m_setup;
    std::unique_ptr<ui::TrayIcon> m_icon;
    std::unique_ptr<ui::Menu> m_menu;
    bool m_inTray = false;
    bool m_quietStart = false;
    bool m_shutDown = false;
};

} // namespace velkor
