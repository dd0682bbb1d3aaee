#pragma once
// Tells systemd how a service started from a unit of Type=notify is doing
// (sd_notify): "READY=1" once the program serves or stands by, "STATUS=..."
// for systemctl status. Does nothing when the program was not started by
// systemd. Any thread.
#include <string>

namespace velkor {

void NotifyServiceManager(const std::string& state);

} // namespace velkor
