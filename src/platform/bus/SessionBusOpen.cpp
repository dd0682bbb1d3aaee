#include "platform/bus/SessionBusOpen.h"

#include <systemd/sd-bus.h>

namespace velkor {

int OpenSessionBus(const std::string& address, sd_bus** out) {
    sd_bus* bus = nullptr;
    int r = 0;
    if (address.empty()) {
        r = sd_bus_open_user_with_description(&bus, "velkor");
    } else {
        r = sd_bus_new(&bus);
        if (r >= 0) {
            r = sd_bus_set_address(bus, address.c_str());
        }
        if (r >= 0) {
            r = sd_bus_set_bus_client(bus, 1);
        }
        if (r >= 0) {
            r = sd_bus_set_description(bus, "velkor");
        }
        if (r >= 0) {
            r = sd_bus_start(bus);
        }
    }
    if (r < 0) {
        sd_bus_close_unref(bus);
        return r;
    }
    *out = bus;
    return 0;
}

} // namespace velkor
