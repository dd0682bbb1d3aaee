#pragma once
// The user's system pointer settings (pointer speed, pointer precision,
// double-click time, wheel lines, page scrolling) on the desktop they run:
// GNOME keeps them in GSettings, KDE Plasma (Wayland) per input device in
// KWin; other desktops offer none of them to this program, and every setting
// says so. Each setting is read and applied on its own and reports Ok,
// NotOffered or Failed with the reason, so one refusal never hides the rest.
//
// Threads: one thread at a time; the calls block (each D-Bus answer is waited
// for at most 500 ms). OptionsFromEnvironment takes the entry point's environment.
#include "platform/Environment.h"
#include "platform/desktop/PointerBackend.h"
#include "platform/desktop/PointerValues.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

enum class PointerDesktop { Gnome, KdePlasma, Other };

// The desktop whose back end serves XDG_CURRENT_DESKTOP's value, a
// colon-separated list checked in order ("ubuntu:GNOME" is GNOME, "KDE" is KDE Plasma).
PointerDesktop PointerDesktopOf(std::string_view currentDesktop);

struct DesktopPointerOptions {
    std::string currentDesktop;           // as XDG_CURRENT_DESKTOP gives it
    std::string schemaFolder;             // GNOME: a compiled schema folder instead of the system's (tests)
    std::string busAddress;               // KDE: the session bus's D-Bus address; empty when there is none
    std::vector<UsbProductId> familyMice; // KDE: the only devices that are read and changed
};

class DesktopPointerSettings {
public:
    explicit DesktopPointerSettings(const DesktopPointerOptions& options);
    // A back end of the caller's choosing.
    explicit DesktopPointerSettings(std::unique_ptr<PointerBackend> backend);
    ~DesktopPointerSettings();
    DesktopPointerSettings(const DesktopPointerSettings&) = delete;
    DesktopPointerSettings& operator=(const DesktopPointerSettings&) = delete;

    // XDG_CURRENT_DESKTOP and the session bus address ($DBUS_SESSION_BUS_ADDRESS,
    // else $XDG_RUNTIME_DIR/bus), read once here.
    static DesktopPointerOptions OptionsFromEnvironment(const Environment& environment,
                                                        std::vector<UsbProductId> familyMice);

    // "GNOME (GSettings)", "KDE Plasma (KWin)" or "none: <desktop>".
    std::string BackendName() const;

    PointerResult Read(PointerSetting setting);
    PointerResults Read();

    // A value outside the profile's range is Failed and leaves the desktop as it was.
    PointerResult Apply(PointerSetting setting, int value);
    // Applies all five, each on its own.
    PointerResults Apply(const PointerValues& values);

private:
    std::unique_ptr<PointerBackend> m_backend;
};

} // namespace velkor
