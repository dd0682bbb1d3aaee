#include "platform/bus/ServiceNotify.h"

#include <systemd/sd-daemon.h>

namespace velkor {

void NotifyServiceManager(const std::string& state) {
    // Without NOTIFY_SOCKET this is a no-op; a failed notification changes nothing we could repair.
    sd_notify(0, state.c_str());
}

} // namespace velkor
