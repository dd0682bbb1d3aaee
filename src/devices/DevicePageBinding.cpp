#include "devices/DevicePageBinding.h"

#include "devices/LightTables.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"
#include "ui/Window.h"

#include <algorithm>

namespace velkor {

namespace {

constexpr std::string_view kFunctionSwitchName = "device_function_switch";
constexpr std::string_view kKeyFunctionSwitchName = "device_key_function_switch";

void SelectTab(ui::Control* tab, int page) {
    if (ui::PageControl* pages = ui::As<ui::PageControl>(tab)) {
        pages->SelectPage(page);
    }
}

} // namespace

DevicePageBinding::~DevicePageBinding() {
    if (m_registered != nullptr && m_page != nullptr) {
        m_page->OwnerWindow().RemoveNotifier(*m_registered);
    }
}

bool DevicePageBinding::SetKeyCount(int count) {
    if (count < 0 || count > kMaxCount) {
        return false;
    }
    m_keyControls.resize(size_t(count), nullptr);
    return true;
}

bool DevicePageBinding::SetLightCount(int count) {
    if (count < 0 || count > kMaxCount) {
        return false;
    }
    m_lightControls.resize(size_t(count), nullptr);
    return true;
}

void DevicePageBinding::Clear() {
    m_keyControls.clear();
    m_lightControls.clear();
    m_keyPanel = nullptr;
}

void DevicePageBinding::Collect() {
    CollectFrom(m_page != nullptr ? m_page->FindFirstOfClass(ui::kSelectPanelClass) : nullptr);
}

void DevicePageBinding::CollectFrom(ui::Control* container) {
    // Pointers from an earlier page must not survive a new collection.
    std::fill(m_keyControls.begin(), m_keyControls.end(), nullptr);
    std::fill(m_lightControls.begin(), m_lightControls.end(), nullptr);
    m_keyPanel = container;
    if (m_keyPanel == nullptr) {
        return;
    }
    auto take = [this](ui::Control* button, const std::string& name, bool lightOnly) {
        std::string prefix;
        int number = -1;
        if (!ui::SplitFamilyName(name, prefix, number) || number < 0) {
            return;
        }
        if (prefix == "key_" && !lightOnly && number < int(m_keyControls.size())) {
            m_keyControls[size_t(number)] = button;
        } else if (prefix == "light_" && number < int(m_lightControls.size())) {
            m_lightControls[size_t(number)] = button;
            button->SetVisible(true);
        }
    };
    for (ui::Control* button : m_keyPanel->FindAllOfClass(ui::kDeviceKeyButtonClass)) {
        take(button, button->Name(), false);
        // A key button is often its key's light as well, named in its user data.
        take(button, button->UserData(), true);
    }
}

bool DevicePageBinding::Owns(const ui::Notification& notification) const {
    if (m_page == nullptr || notification.sender == nullptr) {
        return false;
    }
    // Every notification of the window (each list item's ticks too) comes
    // here for every device: the sender's parents say cheaply whether it is
    // on the page at all before the page is searched for its name (the
    // first control of that name is the one that counts).
    const ui::Control* above = notification.sender->Parent();
    while (above != nullptr && above != m_page) {
        above = above->Parent();
    }
    const std::string& name = notification.sender->Name();
    return above != nullptr && !name.empty() && m_page->FindChild(name) == notification.sender;
}

bool DevicePageBinding::Register(ui::NotifyReceiver& receiver) {
    if (m_page == nullptr) {
        return false;
    }
    if (m_registered == nullptr) {
        m_page->OwnerWindow().AddNotifier(receiver);
        m_registered = &receiver;
    }
    return true;
}

ui::Control* DevicePageBinding::FindSwitch(ui::Control*& cache, std::string_view name) {
    if (cache == nullptr && m_page != nullptr) {
        cache = m_page->FindChild(name);
    }
    return cache;
}

void DevicePageBinding::SelectFunctionPage(int type, bool hasPage4) {
    m_functionPage = type;
    ui::Control* functions = FindSwitch(m_functionSwitch, kFunctionSwitchName);
    ui::Control* keyFunctions = FindSwitch(m_keyFunctionSwitch, kKeyFunctionSwitchName);
    if (type == 4 && !hasPage4) {
        type = 7;
    }
    switch (type) {
    case 2:
    case 6:
        SelectTab(functions, 0);
        SelectTab(keyFunctions, 1);
        break;
    case 3:
    case 8:
        SelectTab(functions, 1);
        break;
    case 4:
        SelectTab(functions, 3);
        break;
    case 7:
        SelectTab(functions, 0);
        SelectTab(keyFunctions, 2);
        break;
    case 5:
        SelectTab(functions, 2);
        break;
    default:
        SelectTab(functions, 0);
        SelectTab(keyFunctions, 0);
        break;
    }
}

void DevicePageBinding::PaintLights(std::span<const uint32_t> leds) {
    const size_t count = std::min(leds.size(), m_lightControls.size());
    for (size_t n = 0; n < count; ++n) {
        ui::Control* control = m_lightControls[n];
        if (control == nullptr || !control->IsVisible()) {
            continue;
        }
        PaintLight(*control, leds[n], true);
    }
}

void DevicePageBinding::RepaintPicture() {
    if (m_keyPanel != nullptr) {
        m_keyPanel->Invalidate();
    }
}

bool PaintLight(ui::Control& overlay, uint32_t led, bool show) {
    ui::LightControl* light = overlay.AsLight();
    if (light == nullptr) {
        return false;
    }
    uint32_t rgb = 0;
    uint8_t level = 0;
    if (show) {
        rgb = uint32_t(LedRed(led)) << 16 | uint32_t(LedGreen(led)) << 8 | LedBlue(led);
        level = LedLevel(led);
    }
    if (light->LightColour() == rgb && light->LightLevel() == level) {
        return false;
    }
    light->SetLight(rgb, level);
    overlay.Invalidate();
    return true;
}

} // namespace velkor
