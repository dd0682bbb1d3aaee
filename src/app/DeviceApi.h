#pragma once
// DeviceApi: every setting of the attached devices for other programs (the
// device API on the session bus, velkorctl): the device list, the settings of
// a device, and setters that take exactly the road of the page's controls.
//
// A setter first checks every argument it is given; a refused value changes
// nothing (neither the profile file nor the device, nor the page). Then it
// does what the control's handler does (the control shows the value, the
// handler stores the profile, writes the device and refreshes the page and
// its panels) and answers with the device's result: DeviceFailed names the
// result code and its meaning. While a long write to the device runs the
// setters answer Busy; while another program controls the lighting the
// lighting setters answer LightingReleased.
//
// It also watches what changes, whoever changed it (a page control, a button
// on the device, a setter): after every notification of a control, on a timer
// of its own for changes the devices report, and after each setter it compares
// each device's settings with the last ones seen and reports DeviceAdded,
// DeviceRemoved and SettingsChanged (with the keys that changed) once per change.
//
// Everything runs on the user-interface thread; the answer of a setter comes
// once the device writes it caused have ended on the device's worker (a
// profile selection once its key and macro writes are done), with the
// device's failure when one failed; meanwhile this thread and the bus thread
// serve other calls.
#include "platform/bus/DeviceBusTypes.h"
#include "ui/Notification.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkor {

class CMainWnd;
class CTolvanicUSBDevice;
class DevicePanelSet;
namespace ui {
class TextProvider;
}

class DeviceApi final : public ui::NotifyReceiver {
public:
    // The timer of the main window's root that looks for changes the devices report.
    static constexpr int kTimerCheck = 3434;
    static constexpr int kTimerCheckMs = 500;

    struct Signals {
        std::function<void(const std::string& id)> added;
        std::function<void(const std::string& id)> removed;
        std::function<void(const std::string& id, const BusDict& changed)> changed;
        // After each comparison: the devices and their settings as now seen
        // (what reads may answer from without this thread).
        std::function<void(const std::vector<DeviceListEntry>& devices,
                           const std::map<std::string, BusDict>& settings)>
            seen;
    };
    using ReplyFn = std::function<void(DeviceReply reply)>;

    // The window must have been created and outlive the API; `texts` (may be
    // null) gives the names the page shows. Joins the window's notifications.
    DeviceApi(CMainWnd& window, const ui::TextProvider* texts, Signals signals);
    ~DeviceApi() override;
    DeviceApi(const DeviceApi&) = delete;
    DeviceApi& operator=(const DeviceApi&) = delete;

    // Runs one call; `reply` hears the answer exactly once (now, or later on this thread).
    void Run(const DeviceCall& call, ReplyFn reply);

    // The attached devices, in the order of the model table.
    std::vector<DeviceListEntry> ListDevices() const;
    // The settings of an attached device; nothing when no device has that id.
    std::optional<BusDict> Settings(const std::string& id) const;
    // Compares with what was last seen and reports the differences.
    void CheckChanges();

    // The window's notifications (a receiver after its handler).
    void Notify(const ui::Notification& notification) override;

    // An attached device and its panels, by id.
    struct Target {
        CTolvanicUSBDevice* device = nullptr;
        DevicePanelSet* panels = nullptr;
        std::string id;
    };
    // The attached device with this id (its list item shown); nothing when
    // none is, or the window has shut down.
    std::optional<Target> Find(const std::string& id) const;

private:
    // Busy or LightingReleased when the call cannot run now.
    std::optional<DeviceReply> Refusal(const DeviceCall& call, const Target& target) const;
    DeviceReply RunSetter(const DeviceCall& call, const Target& target);
    void SelectProfile(const DeviceCall& call, const Target& target, ReplyFn reply);

    CMainWnd& m_window;
    const ui::TextProvider* m_texts;
    Signals m_signals;
    // The settings last seen, by id of the devices attached then.
    std::map<std::string, BusDict> m_seen;
    bool m_checking = false;
    // Work that runs later checks it first: the API may be gone by then.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

// The id of a device: its kind word and its product ID ("keyboard-50b7").
std::string DeviceIdOf(const CTolvanicUSBDevice& device);

} // namespace velkor
