#pragma once
// The timers of a device's list item: the item control in the main window's
// device list runs them, and they drive the device on the user-interface
// thread.
//
//   1001 start-up   500 ms after activation or a switch to the cable: link
//                   check on the receiver (retry every 3000 ms while the link
//                   is down, item hidden), then ReadDevice; once it has read
//                   the device the item is shown and the other timers start
//   1000 light      OutputLightFrame every 10 ms (cable) or 50 ms (receiver)
//                   while the command transport is open and the tick is
//                   wanted (the picture is seen, or the tick carries the
//                   device's frames); stopped otherwise until the device
//                   says it is wanted again
//   1002 resync     ReloadAfterEvent once, after a device event
//   1005 power      ReadPower 50 ms after start-up, then every 5000 ms while
//                   the device has a battery
//   1007 link watch every 3000 ms while on the receiver: shows the item when
//                   the link comes back (and reads the power), hides it when
//                   the link goes
//
// The item is shown only after its device was read, so that nothing offers
// a device whose settings the program does not know yet. The link and power
// queries and the read run on the device's transfer worker; the timers go on
// when their answers come back to the user-interface thread.
//
// Showing and hiding go to the main window as message 3331 (the main window
// owns the device list). The item's window must outlive this object.
#include "ui/Notification.h"

#include <cstdint>
#include <memory>

namespace velkor {

namespace ui {
class Control;
}
class CTolvanicUSBDevice;

enum : int {
    kTimerLightFrame = 1000,
    kTimerStartup = 1001,
    kTimerResync = 1002,
    kTimerPower = 1005,
    kTimerLinkWatch = 1007,
};

enum : int {
    kStartupDelayMs = 500,
    kStartupRetryMs = 3000,
    kLightFrameFirstMs = 5,
    kLightFrameWiredMs = 10,
    kLightFrameReceiverMs = 50,
    kPowerFirstMs = 50,
    kPowerPeriodMs = 5000,
    kLinkWatchFirstMs = 2000,
    kLinkWatchPeriodMs = 3000,
    kLinkFailureWrap = 20,
};

// The option inside the item that marks it selected.
inline constexpr const char* kDeviceSelectOptionName = "device_select";

class DeviceListItem final : public ui::NotifyReceiver {
public:
    // Links the item and the device both ways and listens to the item's window.
    DeviceListItem(ui::Control& item, CTolvanicUSBDevice& device);
    ~DeviceListItem() override;
    DeviceListItem(const DeviceListItem&) = delete;
    DeviceListItem& operator=(const DeviceListItem&) = delete;

    ui::Control& Item() const { return m_item; }
    // Null once the device went away.
    CTolvanicUSBDevice* Device() const { return m_device; }

    // Timer 1001 after 500 ms (activation, switch to the cable).
    void StartStartupTimer();
    // Timer 1007 after 2000 ms (switch to the receiver).
    void StartLinkTimer();
    // Timer 1002 after `delayMs` (a device event asked for a re-read).
    void StartResyncTimer(int delayMs);
    // Timer 1000 again after it stopped for want of frames (nothing when it
    // runs, or before start-up started it).
    void ResumeLightFrames();

    // The item is visible, and selected (its "device_select" option, or itself without one).
    bool IsShown() const;
    bool IsSelected() const;
    // Failed link checks of timer 1001 so far, modulo 20.
    int LinkFailures() const { return m_linkFailures; }
    // The item's second line: how the device is connected ("device_link_label",
    // cable or 2.4 GHz receiver) and, for a device on a battery, its level
    // ("device_battery_label"). Set only when either changed.
    void ShowLinkAndBattery();
    static constexpr std::string_view kLinkLabel = "device_link_label";
    static constexpr std::string_view kBatteryLabel = "device_battery_label";

    // Called by the device as it goes; the timers then do nothing.
    void ForgetDevice(const CTolvanicUSBDevice& device);

    // Runs the item's timers ("timer" notifications whose sender is the item).
    void Notify(const ui::Notification& notification) override;

private:
    void OnStartup();
    // The link check of timer 1001 came back (true on the cable).
    void StartupLinkChecked(bool up);
    // ReadDevice has ended: the item shows and the timers start.
    void DeviceRead();
    void LinkWatched(bool up);
    // Asks the receiver for the link on the device's worker; `then` runs here
    // with the answer, unless the item is gone by then.
    void AskLink(void (DeviceListItem::*then)(bool up));
    void OnLightFrame();
    void OnResync();
    void OnPower();
    void OnLinkWatch();
    // Transport open and on the receiver.
    bool OnOpenReceiver() const;

    ui::Control& m_item;
    CTolvanicUSBDevice* m_device;
    int m_linkFailures = 0;
    int m_shownLink = -1;    // 0 cable, 1 receiver; -1 before the first
    int m_shownBattery = -2; // the level shown; -1 none
    bool m_lightFramesStopped = false;
    // Answers from the worker check it first: the item may be gone by then.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace velkor
