#include "tools/SimulatorOption.h"

#include "sim/SimBackend.h"

namespace velkor {

std::unique_ptr<HidBackend> MakeSimulatorBackend(const SimulatorOption& option, bool& playing, std::string& error) {
    playing = false;
    auto backend = std::make_unique<sim::SimBackend>(1);
    if (option.scenario.empty()) {
        backend->PlugFamily();
        return backend;
    }
    sim::SimScenario scenario;
    if (!sim::LoadScenarioFile(option.scenario, scenario, error)) {
        error = "scenario " + option.scenario + ": " + error;
        return nullptr;
    }
    // Steps at time 0 describe the starting state: apply them before the first command.
    sim::SimScenario later;
    for (const sim::SimScenarioStep& step : scenario.steps) {
        if (step.atMs == 0) {
            sim::ApplyScenarioStep(*backend, step);
        } else {
            later.steps.push_back(step);
        }
    }
    if (!later.steps.empty()) {
        backend->SetScenario(std::move(later));
        playing = backend->StartScenario();
    }
    return backend;
}

bool ScenarioFinished(HidBackend& backend) {
    auto* simulated = dynamic_cast<sim::SimBackend*>(&backend);
    return simulated == nullptr || simulated->ScenarioFinished();
}

} // namespace velkor
