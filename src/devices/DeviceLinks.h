#pragma once
// What a device object needs from the rest of the program, passed in rather
// than found: the HID back end its transports run on, the dispatcher of the
// user-interface thread, a millisecond clock, the folders, and the few
// windows and panels it talks to (the main window, its power panel and its
// lighting panel), each as a small interface.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velkor {

class HidBackend;
namespace ui {
class Dispatcher;
}

// Messages a device sends the main window.
enum : uint32_t {
    kMessageShowDeviceItem = 3331, // wParam model row, lParam 1 show / 0 hide the device's list item
    kMessagePowerStatus = 3329,    // wParam power status byte 4, lParam 0
    kMessageActiveProfile = 3328,  // wParam the active profile a mouse pad read, lParam 0
};

// A 32-bit millisecond tick count; it may wrap, so compare differences only.
class TickClock {
public:
    virtual ~TickClock() = default;
    // Any thread.
    virtual uint32_t NowMs() const = 0;
};

// The monotonic clock of the system.
class SteadyTickClock final : public TickClock {
public:
    uint32_t NowMs() const override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
};

// The main window as the devices see it. Called on the user-interface thread only.
class DeviceMessageSink {
public:
    virtual ~DeviceMessageSink() = default;
    virtual void DeviceMessage(uint32_t message, int64_t wParam, int64_t lParam) = 0;
};

// The device's power panel. Called on the user-interface thread only.
class PowerPanelLink {
public:
    virtual ~PowerPanelLink() = default;
    // Shows or hides the battery area.
    virtual void ShowBatteryArea(bool show) = 0;
    // Shows a power status record (6 bytes; shorter input counts as zero-padded).
    virtual void ShowPowerStatus(const uint8_t* bytes, size_t length) = 0;
};

// The audio-lighting values: three 32-bit words of the audio lighting record.
using AudioLightValues = std::array<uint32_t, 3>;

// The device's lighting panel. Called on the user-interface thread only.
class LightPanelLink {
public:
    virtual ~LightPanelLink() = default;
    virtual void ShowAudioLightValues(const AudioLightValues& values) = 0;
    // False when the panel cannot tell (its controls are missing); `values` is then untouched.
    virtual bool ReadAudioLightValues(AudioLightValues& values) const = 0;
    // Shows the device's mode list and light record.
    virtual void ShowDeviceLighting() = 0;
    // Selects custom colour group `group` in the panel's group list.
    virtual void SelectCustomGroup(int group) = 0;
    // The group selected in that list; -1 when none is.
    virtual int SelectedCustomGroup() = 0;
};

// The keyboard's per-key colours, which only a keyboard object has.
class KeyboardLightingLink {
public:
    virtual ~KeyboardLightingLink() = default;
    // Selects custom colour group n: the group combo, the profile and the per-key colours.
    virtual void SelectCustomGroup(int group) = 0;
    // Reloads the per-key colours of the selected group and redraws them.
    virtual void ReloadCustomColours() = 0;
    // The per-key brush paints lit (true) or off (false).
    virtual void SetPerKeyBrush(bool lit) = 0;
};

struct DeviceFolders {
    // The folder the program runs from; "DefaultData/" lies in it.
    std::string programFolder;
    // The per-user data home ($XDG_DATA_HOME or ~/.local/share); "VELKOR01/" lies in it.
    std::string dataHome;
};

// Everything a device object is built with. The referenced objects must
// outlive every device built with them.
struct DeviceServices {
    HidBackend& backend;
    ui::Dispatcher& dispatcher;
    const TickClock& clock;
    DeviceFolders folders;
};

} // namespace velkor
