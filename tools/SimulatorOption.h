#pragma once
// --simulate[=SCENARIO] for the command-line tools.
#include "transport/HidBackend.h"

#include <memory>
#include <string>

namespace velkor {

struct SimulatorOption {
    bool enabled = false;
    std::string scenario; // empty: the whole family on its cables
};

// The simulated family. Without a scenario every device is present. With one,
// the steps due at time 0 are applied before this returns and the rest play
// on their own thread from now on. Null with a message when the scenario
// cannot be read. `playing` tells whether steps remain to be played later.
std::unique_ptr<HidBackend> MakeSimulatorBackend(const SimulatorOption& option, bool& playing, std::string& error);

// True once the scenario started by MakeSimulatorBackend has played every step.
bool ScenarioFinished(HidBackend& backend);

} // namespace velkor
