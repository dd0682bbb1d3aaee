#pragma once
// Opens a connection to the session bus (`address` empty) or to the bus at
// `address` (tests' private daemons), named "velkor" for the bus's own
// listings, and says hello. Returns 0 or a negative errno; `*bus` is set only
// on success.
#include <string>

typedef struct sd_bus sd_bus;

namespace velkor {

int OpenSessionBus(const std::string& address, sd_bus** bus);

} // namespace velkor
