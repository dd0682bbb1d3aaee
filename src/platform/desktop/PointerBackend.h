#pragma once
// One desktop's way of keeping the system pointer settings. DesktopPointerSettings
// picks one by the desktop's name; tests may build one directly.
//
// Threads: a back end is used by one thread at a time. Its calls block: the
// KWin back end waits at most 500 ms for each D-Bus answer.
#include "platform/desktop/PointerValues.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velkor {

class PointerBackend {
public:
    virtual ~PointerBackend() = default;

    // "GNOME (GSettings)", "KDE Plasma (KWin)", "none: XFCE".
    virtual std::string Name() const = 0;
    // The desktop's current value in profile units (clamped to the profile's
    // range where the desktop's scale is wider), or why there is none.
    virtual PointerResult Read(PointerSetting setting) = 0;
    // Writes `value` (the caller has checked its range), makes it durable where
    // the desktop allows, and reads it back: Ok only when the value read back
    // equals `value`.
    virtual PointerResult Apply(PointerSetting setting, int value) = 0;
};

struct UsbProductId {
    uint16_t vendorId = 0;
    uint16_t productId = 0;

    bool operator==(const UsbProductId&) const = default;
};

// GNOME: the GSettings schema org.gnome.desktop.peripherals.mouse in the
// system's schemas, or in `schemaFolder` (a folder holding gschemas.compiled)
// when it is not empty. A missing schema or key makes its settings NotOffered;
// the process is never aborted by GIO.
std::unique_ptr<PointerBackend> MakeGnomePointerBackend(const std::string& schemaFolder);

// KDE Plasma on Wayland: KWin's input devices on the session bus at
// `busAddress` (a D-Bus address; empty: there is no session bus). Only the
// devices whose USB vendor and product are in `mice` are read and changed.
std::unique_ptr<PointerBackend> MakeKwinPointerBackend(std::string busAddress,
                                                       std::vector<UsbProductId> mice);

// Any other desktop: every setting NotOffered, the reason naming `desktop`.
std::unique_ptr<PointerBackend> MakeNoPointerBackend(std::string desktop);

} // namespace velkor
