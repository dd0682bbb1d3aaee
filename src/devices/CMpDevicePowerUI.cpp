#include "devices/CMpDevicePowerUI.h"

#include "ui/Control.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace velkor {

namespace {

constexpr std::string_view kBatteryArea = "device_power_Layout";
constexpr std::string_view kValueLabel = "device_power_value";
constexpr std::string_view kWirelessMark = "device_wuxian_logo";
constexpr std::string_view kStatusImage = "device_power_status";
constexpr std::string_view kLevelBar = "device_Power_progress";
constexpr std::string_view kPhoneImage = "device_phone_type";
constexpr size_t kStatusBufferSize = 64;

struct PhoneLook {
    const char* toolTip;
    const char* image;
};

PhoneLook PhoneLookOf(uint8_t kind) {
    switch (kind) {
    case 1:
        return {"Phone_type_iphone", "file='power/Phone_type_iphone.png'"};
    case 2:
        return {"Phone_type_samsung", "file='power/Phone_type_samsung.png'"};
    case 3:
        return {"Phone_type_other", "file='power/Phone_type_other.png'"};
    default:
        return {"Phone_type_no_device", "file='power/Phone_type_no_device.png'"};
    }
}

} // namespace

void CMpDevicePowerUI::SetKind(DeviceClass deviceClass, int variant) {
    m_class = deviceClass;
    m_variant = variant;
}

void CMpDevicePowerUI::ShowBatteryArea(bool show) {
    if (m_batteryArea == nullptr) {
        m_batteryArea = m_panel.FindChild(kBatteryArea);
    }
    if (m_batteryArea != nullptr) {
        m_batteryArea->SetVisible(show);
    }
}

bool CMpDevicePowerUI::FindStatusControls() {
    auto find = [this](ui::Control*& cache, std::string_view name) {
        if (cache == nullptr) {
            cache = m_panel.FindChild(name);
        }
        return cache != nullptr;
    };
    // Each is looked for (no short cut), so a later call finds what came meanwhile.
    const bool value = find(m_value, kValueLabel);
    const bool wireless = find(m_wireless, kWirelessMark);
    const bool level = find(m_level, kLevelBar);
    const bool status = find(m_status, kStatusImage);
    const bool phone = find(m_phone, kPhoneImage);
    return value && wireless && level && status && phone;
}

void CMpDevicePowerUI::ShowPowerStatus(const uint8_t* bytes, size_t length) {
    std::array<uint8_t, kStatusBufferSize> status{};
    if (bytes != nullptr) {
        std::memcpy(status.data(), bytes, std::min(length, status.size()));
    }
    m_lastPercent = std::min<int>(status[0], 100);
    if (!FindStatusControls()) {
        return;
    }
    // A level above 100 % is a device fault; it shows as full, not as "250%".
    const int percent = std::min<int>(status[0], 100);
    if (ui::RangeControl* bar = m_level->AsRange()) {
        bar->SetValue(100 - percent);
    }
    char text[16];
    std::snprintf(text, sizeof text, "%d%s", percent, "%");
    m_value->SetText(text);

    const bool wireless = status[3] != 0;
    if (m_class == DeviceClass::Keyboard || m_class == DeviceClass::Mouse) {
        m_wireless->SetVisible(wireless);
    }
    switch (status[1]) {
    case 0:
        m_level->SetVisible(true);
        m_status->SetBackgroundImage("file='power/powered.png'");
        break;
    case 1:
        // While charging through the receiver the level is not reliable.
        m_level->SetVisible(!wireless);
        m_status->SetBackgroundImage("file='power/powering.png'");
        break;
    case 2:
        m_level->SetVisible(true);
        m_status->SetBackgroundImage("file='power/power.png'");
        break;
    default:
        break;
    }
    if (m_class == DeviceClass::MousePad) {
        const PhoneLook look = PhoneLookOf(status[5]);
        m_phone->SetResourceText(true);
        m_phone->SetToolTip(look.toolTip);
        m_phone->SetBackgroundImage(look.image);
    }
}

} // namespace velkor
