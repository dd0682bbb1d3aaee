#pragma once
// What the main window is given by the program: the toolkit, the devices'
// back end, the folders, the bus, the settings window, the language machinery
// and the start options. Everything referenced must outlive the window.
#include "app/AudioToolLink.h"
#include "app/AudioToolStarter.h"
#include "app/CDeviceHook.h"
#include "app/ControlFactory.h"
#include "devices/DeviceLinks.h"
#include "devices/DeviceModels.h"
#include "platform/bus/BusMessage.h"
#include "profiles/LanguageTexts.h"
#include "transport/HidBackend.h"
#include "ui/Toolkit.h"

#include <cstdint>
#include <functional>
#include <string>

namespace velkor {

class DesktopPointerSettings;

struct MainWndServices {
    ui::Toolkit& toolkit;
    const ControlFactory& factory;
    // The devices' back end (the hidraw nodes or the simulator); may be null.
    HidBackend* devices = nullptr;
    // The devices' clock; null uses the system's monotonic clock.
    const TickClock* clock = nullptr;
    // Where "DefaultData/" lies, and the per-user data home (DeviceFolders).
    std::string programFolder;
    std::string dataHome;
    // Broadcasts a message of this program to the others (the lighting
    // ownership); may be empty (no bus). False when it could not be sent.
    std::function<bool(const BusMessage&)> broadcast;
    // Watches a bus name (the audio capture tool's); may be empty (no bus):
    // the tool then only counts as present once it links.
    AudioToolLink::WatchName watchName;
    // Starts the capture tool while a keyboard shows an audio effect and the
    // tool is not there, and stops it 10 s after none does; null: nobody
    // starts the tool (it may still be started by hand).
    AudioToolStarter* audioToolStarter = nullptr;
    // Runs the settings window modally, owned by `owner`, at `placement` with
    // the interface DPI given, and returns when it has closed. Empty: the
    // program has no settings window; "setbtn" is then hidden.
    std::function<void(ui::Window& owner, const ui::Rect& placement, int dpi)> runSettingsWindow;
    // Hands an installer report (report, value) to the open settings window; may be empty.
    std::function<void(int32_t report, int32_t value)> installerReport;
    // The language texts the panels show (may be null: keys show as they are).
    const ui::TextProvider* texts = nullptr;
    // Index of the user-interface language the window starts in (applied at
    // Create); the keyboards pick their on-screen layout by the current one.
    int languageIndex = 0;
    // Where a language's texts are loaded: null, the window applies no
    // language (the texts are someone else's affair) and its current index is
    // languageIndex.
    LanguageTexts* languageTexts = nullptr;
    // The folder of the language files (the skin folder).
    std::string skinFolder;
    // The settings file that stores the choice; empty: it is not stored.
    std::string settingsPath;
    // The family of the program's Simplified Chinese face; empty when it is not loaded.
    std::string simplifiedChineseFace;
    // The open settings window (null when none) and how it is told of a
    // language change (it shows its texts again); both may be empty.
    std::function<ui::Window*()> settingsWindow;
    std::function<void()> settingsLanguageChanged;
    // The desktop's pointer settings for the mouse page; may be null.
    DesktopPointerSettings* pointerSettings = nullptr;
    // Start hidden in the notification area (velkor --background); shown all
    // the same when the desktop has none.
    bool startHidden = false;
    // velkor --page: the first device of this class kind to select once it
    // is listed (0: none), and the option tab then chosen (0: none).
    DeviceClass startPageKind = DeviceClass::None;
    int startPageTab = 0;
    // The headset's audio plugin; empty: the headset has no audio features.
    std::string audioPlugin;
    // The input hook's source for the whole desktop, tried before the window's
    // own input; null: the hook sees only what reaches the window.
    HookInputSource* globalInput = nullptr;
};

} // namespace velkor
