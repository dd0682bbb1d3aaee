#include "desktop/FakeKwin.h"

#include <cstring>
#include <systemd/sd-bus.h>

namespace velkor::test {
namespace {

int GetNames(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* userdata,
             sd_bus_error*) {
    const auto* entries = static_cast<const std::vector<FakeKwin::Entry>*>(userdata);
    std::vector<char*> names;
    for (const FakeKwin::Entry& entry : *entries) {
        names.push_back(const_cast<char*>(entry.sysName.c_str()));
    }
    names.push_back(nullptr);
    return sd_bus_message_append_strv(reply, names.data());
}

int GetDeviceProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                      void* userdata, sd_bus_error*) {
    const auto* device = static_cast<const FakeInputDevice*>(userdata);
    const std::string name = property;
    if (name == "vendor") {
        return sd_bus_message_append(reply, "u", device->vendor);
    }
    if (name == "product") {
        return sd_bus_message_append(reply, "u", device->product);
    }
    if (name == "pointerAcceleration") {
        return sd_bus_message_append(reply, "d", device->pointerAcceleration);
    }
    if (name == "pointerAccelerationProfileAdaptive") {
        return sd_bus_message_append(reply, "b", device->profileAdaptive);
    }
    if (name == "pointerAccelerationProfileFlat") {
        return sd_bus_message_append(reply, "b", device->profileFlat);
    }
    return sd_bus_message_append(reply, "d", device->scrollFactor);
}

int SetDeviceProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* value,
                      void* userdata, sd_bus_error* error) {
    auto* device = static_cast<FakeInputDevice*>(userdata);
    const std::string name = property;
    if (device->refusedProperty != nullptr && name == device->refusedProperty) {
        return sd_bus_error_set(error, "org.kde.KWin.Error.Refused", kRefusal);
    }
    if (name == "pointerAcceleration" || name == "scrollFactor") {
        double number = 0;
        const int r = sd_bus_message_read(value, "d", &number);
        if (r >= 0) {
            (name == "scrollFactor" ? device->scrollFactor : device->pointerAcceleration) = number;
        }
        return r;
    }
    int chosen = 0;
    const int r = sd_bus_message_read(value, "b", &chosen);
    if (r < 0) {
        return r;
    }
    // One profile at a time: turning one on turns the other off, and the reverse.
    const bool adaptive = (name == "pointerAccelerationProfileAdaptive") == (chosen != 0);
    if (!adaptive && !device->hasFlatProfile) {
        return r;
    }
    device->profileAdaptive = adaptive ? 1 : 0;
    device->profileFlat = adaptive ? 0 : 1;
    return r;
}

const sd_bus_vtable kManagerVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("devicesSysNames", "as", GetNames, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kDeviceVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("vendor", "u", GetDeviceProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("product", "u", GetDeviceProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_WRITABLE_PROPERTY("pointerAcceleration", "d", GetDeviceProperty, SetDeviceProperty, 0, 0),
    SD_BUS_WRITABLE_PROPERTY("pointerAccelerationProfileAdaptive", "b", GetDeviceProperty, SetDeviceProperty,
                             0, 0),
    SD_BUS_WRITABLE_PROPERTY("pointerAccelerationProfileFlat", "b", GetDeviceProperty, SetDeviceProperty, 0,
                             0),
    SD_BUS_WRITABLE_PROPERTY("scrollFactor", "d", GetDeviceProperty, SetDeviceProperty, 0, 0),
    SD_BUS_VTABLE_END,
};

} // namespace

FakeKwin::FakeKwin(std::vector<Entry> devices) : m_devices(std::move(devices)) {}

FakeKwin::~FakeKwin() {
    Stop();
    sd_bus_flush_close_unref(m_bus);
}

bool FakeKwin::Start(const std::string& address, std::string& why) {
    int r = sd_bus_new(&m_bus);
    if (r >= 0) {
        r = sd_bus_set_address(m_bus, address.c_str());
    }
    if (r >= 0) {
        r = sd_bus_set_bus_client(m_bus, 1);
    }
    if (r >= 0) {
        r = sd_bus_start(m_bus);
    }
    if (r >= 0) {
        r = sd_bus_add_object_vtable(m_bus, nullptr, "/org/kde/KWin/InputDevice",
                                     "org.kde.KWin.InputDeviceManager", kManagerVtable, &m_devices);
    }
    for (Entry& entry : m_devices) {
        if (r >= 0) {
            const std::string path = "/org/kde/KWin/InputDevice/" + entry.sysName;
            r = sd_bus_add_object_vtable(m_bus, nullptr, path.c_str(), "org.kde.KWin.InputDevice",
                                         kDeviceVtable, &entry.device);
        }
    }
    if (r >= 0) {
        r = sd_bus_request_name(m_bus, "org.kde.KWin", 0);
    }
    if (r < 0) {
        why = std::string("the fake KWin cannot serve: ") + std::strerror(-r);
        return false;
    }
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void FakeKwin::Serve() {
    while (!m_stop.load()) {
        const int r = sd_bus_process(m_bus, nullptr);
        if (r < 0) {
            return;
        }
        if (r == 0) {
            sd_bus_wait(m_bus, 20'000); // short, so that Stop is seen soon
        }
    }
}

void FakeKwin::Stop() {
    m_stop.store(true);
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

} // namespace velkor::test
