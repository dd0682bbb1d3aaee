#pragma once
// The main window's side of the settings window: it builds the update list
// from the shipped table (DefaultData/update.json) and the command interfaces
// of the attached devices, runs one CSetWnd modally, and passes the installer
// reports the main window forwards to the window while it is open.
// User-interface thread only.
#include "app/ControlFactory.h"
#include "devices/DeviceDiscovery.h"
#include "update/CSetWnd.h"
#include "update/UpdateConfig.h"

#include <functional>
#include <string>
#include <vector>

namespace velkor {

struct SettingsWindowSetup {
    // Where "DefaultData/" lies, and the per-user data home ("updatetime.config"
    // goes into its "VELKOR01" folder).
    std::string programFolder;
    std::string dataHome;
    UpdateServerConfig server;
    HttpLimits limits;
    // For the package folder (UpdateDownloadFolder).
    std::string tempFolder;
    std::string cacheHome;
    // Opens a folder in the desktop's file manager; may be empty.
    std::function<bool(const std::string& folder)> openFolder;
    // "Start at login": the autostart entry's path (app/Autostart.h) and the
    // program file it starts; no program file: the choice is not offered.
    std::string autostartPath;
    std::string programFile;
    // "Let other lighting programs use these devices": the stored choice and
    // applying one (CSetWndServices::sdkServer); empty: not offered.
    std::function<std::pair<bool, int>()> sdkServer;
    std::function<bool(bool on, int port, std::string* error)> setSdkServer;
};

// The open command interface of every device the discovery holds, with its release number.
std::vector<AttachedInterface> AttachedCommandInterfaces(const DeviceDiscovery& discovery);

// The main window's language message, sent with the index the user chose.
inline constexpr uint32_t kMessageLanguageChanged = 3089;

class SettingsWindowHost {
public:
    // The toolkit and the factory must outlive the host.
    SettingsWindowHost(ui::Toolkit& toolkit, const ControlFactory& factory, SettingsWindowSetup setup);
    SettingsWindowHost(const SettingsWindowHost&) = delete;
    SettingsWindowHost& operator=(const SettingsWindowHost&) = delete;

    // Runs a settings window owned by `owner` at `placement` and returns when it
    // has closed. `discovery` (may be null) gives the attached devices;
    // `tellMainWindow` receives its messages (3094, and 3089 with the language
    // index the user chose); `languageIndex` is the current language, which
    // `tellMainWindow` may change. The window takes the owner's font set.
    void Run(ui::Window& owner, const ui::Rect& placement, int dpi, const DeviceDiscovery* discovery,
             const std::function<int()>& languageIndex,
             const std::function<void(uint32_t message, int64_t wParam)>& tellMainWindow);
    void InstallerReport(int32_t report, int32_t value);
    bool IsOpen() const { return m_open != nullptr; }
    // The open window, null when none.
    ui::Window* OpenWindow() const { return m_open != nullptr ? m_open->GetWindow() : nullptr; }
    // Tells the open window that the language changed.
    void LanguageChanged();

private:
    ui::Toolkit& m_toolkit;
    const ControlFactory& m_factory;
    SettingsWindowSetup m_setup;
    CSetWnd* m_open = nullptr;
};

} // namespace velkor
