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
#include "devices/TolvanicUSBDevice.h"
#include "ui/Toolkit.h"

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

class DeviceFactory {
public:
    using Maker = std::function<DevicePtr(const DeviceServices&)>;

    // Knows the base class as "TolvanicUSBDevice" and "CTolvanicUSBDevice",
    // the keyboard as "TolvanicKeyboardDevice", the mouse as
    // "TolvanicMouseDevice", the mouse pad as "TolvanicMousePadDevice" and
    // "CTolvanicMousePadDevice", and lets the base stand in for the headset
    // until it has a class of its own ("TolvanicHS6533Device").
    explicit DeviceFactory(const DeviceServices& services);

    // Adds or replaces a class. False for an empty name or no maker.
    bool Register(std::string className, Maker maker);
    bool Knows(std::string_view className) const;
    // A new device of that class, or null for an unknown name.
    DevicePtr Create(std::string_view className) const;

private:
    DeviceServices m_services;
    std::map<std::string, Maker, std::less<>> m_makers;
};

// The panel classes a page layout may name ("DeviceProfile", "LightControl",
// ...). They build as plain containers; the main window attaches the panel
// objects once the page stands.
bool IsPagePanelClass(std::string_view className);

// A named container of a page and the layout that fills it.
struct PagePanelContainer {
    std::string_view name;
    std::string_view layout;
};
// Every such container, in the order they are filled.
std::span<const PagePanelContainer> PagePanelContainers();

// Builds the panel layouts' top controls (a panel class, or a container).
class PagePanelCreator final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view className) const override { return IsPagePanelClass(className); }
    void ControlCreated(std::string_view className, ui::Control& control) override {
        (void)className;
        (void)control;
    }
};

class DevicePageCreator final : public ui::ControlCreator {
public:
    explicit DevicePageCreator(const DeviceFactory& factory) : m_factory(factory) {}

    bool CanCreate(std::string_view className) const override {
        return m_factory.Knows(className) || IsPagePanelClass(className);
    }
    // Creates the device of that class and attaches the control as its page.
    void ControlCreated(std::string_view className, ui::Control& control) override;

    // The devices created since the last call, in layout order.
    std::vector<DevicePtr> TakeDevices();

private:
    const DeviceFactory& m_factory;
    std::vector<DevicePtr> m_devices;
};

} // namespace velkor
