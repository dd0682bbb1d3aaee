#pragma once
// The simulated device family behind --simulate[=SCENARIO].
#include "sim/SimBackend.h"

#include <memory>
#include <string>

namespace velkor {

// Without a scenario, every unit of the family on its cable (receivers
// included). With one, the steps due at time 0 are applied before this
// returns (they describe the starting state) and the rest play on the
// simulator's own thread from now on. Null with `error` set when the scenario
// cannot be read. `playing` (may be null) tells whether steps remain to be played.
// With `logFile`, every frame is also written there (SimLogFile.h); null
// with `error` set when it cannot be created.
std::unique_ptr<sim::SimBackend> MakeSimulatedFamily(const std::string& scenarioFile, std::string& error,
                                                     bool* playing = nullptr,
                                                     const std::string& logFile = {});

} // namespace velkor
