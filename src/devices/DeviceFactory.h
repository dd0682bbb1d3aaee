#pragma once
// The class name written in a page layout picks the device class: the
// factory maps class names to device classes, and DevicePageCreator lets the
// toolkit build a page layout whose top control names one, creating the
// device object for it and handing it its page.
//
// Usage (main window): build the page with Toolkit::BuildInto(container,
// pageLayout, &creator); on success TakeDevices() holds the one device the
// layout named.
#include "devices/DeviceLinks.h"
#include "ui/Toolkit.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

class CTolvanicUSBDevice;

class DeviceFactory {
public:
    using Maker = std::function<std::unique_ptr<CTolvanicUSBDevice>(const DeviceServices&)>;

    // Knows the base class as "TolvanicUSBDevice" and "CTolvanicUSBDevice", and
    // lets it stand in for the four kinds the page layouts name
    // ("TolvanicKeyboardDevice", "TolvanicMouseDevice", "TolvanicMousePadDevice",
    // "TolvanicHS6533Device") until they register their own classes.
    explicit DeviceFactory(const DeviceServices& services);

    // Adds or replaces a class. False for an empty name or no maker.
    bool Register(std::string className, Maker maker);
    bool Knows(std::string_view className) const;
    // A new device of that class, or null for an unknown name.
    std::unique_ptr<CTolvanicUSBDevice> Create(std::string_view className) const;

private:
    DeviceServices m_services;
    std::map<std::string, Maker, std::less<>> m_makers;
};

class DevicePageCreator final : public ui::ControlCreator {
public:
    explicit DevicePageCreator(const DeviceFactory& factory) : m_factory(factory) {}

    bool CanCreate(std::string_view className) const override { return m_factory.Knows(className); }
    // Creates the device of that class and attaches the control as its page.
    void ControlCreated(std::string_view className, ui::Control& control) override;

    // The devices created since the last call, in layout order.
    std::vector<std::unique_ptr<CTolvanicUSBDevice>> TakeDevices();

private:
    const DeviceFactory& m_factory;
    std::vector<std::unique_ptr<CTolvanicUSBDevice>> m_devices;
};

} // namespace velkor
