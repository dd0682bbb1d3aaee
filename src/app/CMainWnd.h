#pragma once
// CMainWnd: the program's one top-level window (window class "MainWnd",
// layout "XML_MAIN", title "VELKOR01", 800 x 572, centred) and its
// switchboard for notifications and for the messages of other programs.
//
// This is the shell the entry point needs: it builds the window with the
// control factory's classes, finds the title buttons and the named containers
// of the layout, routes the notifications of its controls, and takes the
// messages other programs send (handed over on the user-interface thread):
// the announce brings it to the front. Closing it ends the program's loop.
// Every operation runs on the user-interface thread.
#include "app/ControlFactory.h"
#include "platform/bus/BusMessage.h"
#include "transport/HidBackend.h"
#include "ui/Toolkit.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace velkor {

struct MainWndServices {
    ui::Toolkit& toolkit;
    const ControlFactory& factory;
    // The devices' back end (the hidraw nodes or the simulator); may be null.
    HidBackend* devices = nullptr;
};

class CMainWnd final : public ui::WindowHandler {
public:
    static constexpr std::string_view kClassName = "MainWnd";
    static constexpr std::string_view kLayout = "XML_MAIN";
    static constexpr std::string_view kTitle = "VELKOR01";
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 572;
    // The title-bar buttons the window looks up at initialisation.
    static constexpr std::array<std::string_view, 9> kTitleButtons = {
        "closebtn",    "maxbtn",   "restorebtn",   "minbtn", "skinbtn",
        "gamemodebtn", "cloudbtn", "smarteyesbtn", "setbtn"};
    // Named containers and labels of the layout.
    static constexpr std::string_view kDeviceList = "device_select_layout";
    static constexpr std::string_view kNoDeviceHint = "No_device_Link";

    // The services must outlive the window.
    explicit CMainWnd(const MainWndServices& services);
    ~CMainWnd() override;
    CMainWnd(const CMainWnd&) = delete;
    CMainWnd& operator=(const CMainWnd&) = delete;

    // Builds the window from its layout, gives it its title and size, centres
    // it on the screen and shows it. False with `error` set when the layout
    // cannot be built; nothing is shown then.
    bool Create(std::string* error = nullptr);

    // Null before Create succeeded.
    ui::Window* GetWindow() const { return m_window.get(); }
    ui::Control* TitleButton(std::string_view name) const;
    HidBackend* Devices() const { return m_services.devices; }

    // A message another program sent. The announce brings the window to the front.
    void HandleBusMessage(const BusMessage& message);
    // Updates the "No_device_Link" hint, restores the window and raises and activates it.
    void BringWindowToFront();
    // True when an item of the device list "device_select_layout" is visible.
    bool AnyDeviceItemVisible() const;

    void Notify(const ui::Notification& notification) override;
    bool CloseRequested(ui::Window& window) override;

private:
    void OnClick(const ui::Control& sender);
    // Shows "No_device_Link" when no device item is visible, hides it otherwise.
    void UpdateNoDeviceHint();
    void Quit();

    MainWndServices m_services;
    FactoryControlCreator m_creator;
    std::unique_ptr<ui::Window> m_window;
    std::array<ui::Control*, kTitleButtons.size()> m_titleButtons{};
    ui::Control* m_deviceList = nullptr;
    ui::Control* m_noDeviceHint = nullptr;
};

} // namespace velkor
