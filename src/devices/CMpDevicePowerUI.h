#pragma once
// CMpDevicePowerUI: a device's power panel, the small container the main
// window builds from "XML\CustomControlXML\MpDevicePower.xml" (class
// "MpDevicePower") into "device_power_switch". It shows the power status the
// device reads: battery level as text and bar, charge state as an image, the
// wireless mark of keyboards and mice, and for the mouse pad the kind of
// phone on its charger.
//
// Every operation runs on the user-interface thread. The panel's window must
// outlive this object.
#include "devices/DeviceLinks.h"
#include "devices/DeviceModels.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velkor {

namespace ui {
class Control;
}

class CMpDevicePowerUI final : public PowerPanelLink {
public:
    // The control class the layouts write, and the class name the panel reports.
    static constexpr std::string_view kControlClass = "MpDevicePower";
    static constexpr std::string_view kRegisteredClass = "CMpDevicePowerUI";

    // `panel` is the container built from the power panel layout.
    explicit CMpDevicePowerUI(ui::Control& panel) : m_panel(panel) {}

    ui::Control& Panel() const { return m_panel; }
    // The device's class and model variant.
    void SetKind(DeviceClass deviceClass, int variant);
    DeviceClass Class() const { return m_class; }
    int Variant() const { return m_variant; }

    // Shows or hides the battery area "device_power_Layout" (nothing when the layout has none).
    void ShowBatteryArea(bool show) override;
    // Shows a 6-byte power status: byte 0 level in percent (above 100 shows
    // as 100), byte 1 charge state (0 powered, 1 charging, 2 on battery; others
    // change neither image nor bar), byte 3 wireless, byte 5 phone kind (mouse
    // pad panels only). Shorter input counts as zero-padded, longer input
    // beyond 64 bytes is not looked at. Shows nothing when the layout lacks
    // one of the five controls.
    void ShowPowerStatus(const uint8_t* bytes, size_t length) override;
    // The level of the last status given (0..100), -1 before the first.
    int LastPercent() const { return m_lastPercent; }

private:
    // The five controls of the status, found inside the panel; false when one is missing.
    bool FindStatusControls();

    ui::Control& m_panel;
    DeviceClass m_class = DeviceClass::None;
    int m_variant = 0;
    int m_lastPercent = -1;
    ui::Control* m_batteryArea = nullptr;
    ui::Control* m_value = nullptr;
    ui::Control* m_wireless = nullptr;
    ui::Control* m_status = nullptr;
    ui::Control* m_level = nullptr;
    ui::Control* m_phone = nullptr;
};

} // namespace velkor
