#include "tools/SimulatorOption.h"

#include "sim/SimBackend.h"
#include "sim/SimulatedFamily.h"

namespace velkor {

std::unique_ptr<HidBackend> MakeSimulatorBackend(const SimulatorOption& option, bool& playing, std::string& error) {
    return MakeSimulatedFamily(option.scenario, error, &playing);
}

bool ScenarioFinished(HidBackend& backend) {
    auto* simulated = dynamic_cast<sim::SimBackend*>(&backend);
    return simulated == nullptr || simulated->ScenarioFinished();
}

} // namespace velkor
