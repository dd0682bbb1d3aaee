#include "devices/DeviceFactory.h"

#include "devices/TolvanicKeyboardDevice.h"
#include "devices/TolvanicMouseDevice.h"
#include "devices/TolvanicMousePadDevice.h"
#include "devices/TolvanicUSBDevice.h"

#include <algorithm>
#include <array>

namespace velkor {

DeviceFactory::DeviceFactory(const DeviceServices& services) : m_services(services) {
    auto base = [](const DeviceServices& s) -> DevicePtr { return MakeDevice<CTolvanicUSBDevice>(s); };
    Register(std::string(CTolvanicUSBDevice::kClassName), base);
    Register("C" + std::string(CTolvanicUSBDevice::kClassName), base);
    // The page layouts name the four device classes. Until a kind has its
    // own class, the base stands in for it (its kind tag comes from the
    // identity row), so that every model can be attached and driven.
    Register("TolvanicHS6533Device", base);
    Register(std::string(CTolvanicKeyboardDevice::kClassName),
             [](const DeviceServices& s) -> DevicePtr { return MakeDevice<CTolvanicKeyboardDevice>(s); });
    Register(std::string(CTolvanicMouseDevice::kClassName),
             [](const DeviceServices& s) -> DevicePtr { return MakeDevice<CTolvanicMouseDevice>(s); });
    auto pad = [](const DeviceServices& s) -> DevicePtr { return MakeDevice<CTolvanicMousePadDevice>(s); };
    Register(std::string(CTolvanicMousePadDevice::kClassName), pad);
    Register("C" + std::string(CTolvanicMousePadDevice::kClassName), pad);
}

bool DeviceFactory::Register(std::string className, Maker maker) {
    if (className.empty() || !maker) {
        return false;
    }
    m_makers[std::move(className)] = std::move(maker);
    return true;
}

bool DeviceFactory::Knows(std::string_view className) const {
    return m_makers.find(className) != m_makers.end();
}

DevicePtr DeviceFactory::Create(std::string_view className) const {
    const auto found = m_makers.find(className);
    if (found == m_makers.end()) {
        return nullptr;
    }
    return found->second(m_services);
}

namespace {

constexpr std::array<std::string_view, 7> kPagePanelClasses = {
    "DeviceProfile",    "LightControl",  "MacroControl", "MagicControl",
    "Voice6533Control", "KeySetControl", "ShootControl"};

constexpr std::array<PagePanelContainer, 8> kPagePanelContainers = {{
    {"DeviceProfileUI", "XML\\CustomControlXML\\DeviceProfile.xml"},
    {"LightSetControlUI", "XML\\CustomControlXML\\LightControl.xml"},
    {"Voice6533SetControlUI", "XML\\CustomControlXML\\Voice6533Control.xml"},
    {"MagicSetControlUI", "XML\\CustomControlXML\\MagicControl.xml"},
    {"KeySetControlUI", "XML\\CustomControlXML\\KeySetControl.xml"},
    {"MacroSetControlUI", "XML\\CustomControlXML\\MacroControl.xml"},
    {"ShootKeySetControlUI", "XML\\CustomControlXML\\ShootControl.xml"},
    {"VirtualSetControlUI", "XML\\CustomControlXML\\VirtualSet.xml"},
}};

} // namespace

bool IsPagePanelClass(std::string_view className) {
    return std::find(kPagePanelClasses.begin(), kPagePanelClasses.end(), className) !=
           kPagePanelClasses.end();
}

std::span<const PagePanelContainer> PagePanelContainers() {
    return kPagePanelContainers;
}

void DevicePageCreator::ControlCreated(std::string_view className, ui::Control& control) {
    DevicePtr device = m_factory.Create(className);
    if (device == nullptr) {
        return;
    }
    device->Presenter().AttachPage(&control);
    m_devices.push_back(std::move(device));
}

std::vector<DevicePtr> DevicePageCreator::TakeDevices() {
    std::vector<DevicePtr> taken;
    taken.swap(m_devices);
    return taken;
}

} // namespace velkor
