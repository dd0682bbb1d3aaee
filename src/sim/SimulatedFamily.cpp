#include "sim/SimulatedFamily.h"

namespace velkor {

std::unique_ptr<sim::SimBackend> MakeSimulatedFamily(const std::string& scenarioFile, std::string& error,
                                                     bool* playing, const std::string& logFile) {
    if (playing != nullptr) {
        *playing = false;
    }
    auto backend = std::make_unique<sim::SimBackend>(1);
    if (!logFile.empty() && !backend->LogToFile(logFile, error)) {
        error = "simulator log " + error;
        return nullptr;
    }
    if (scenarioFile.empty()) {
        backend->PlugFamily();
        return backend;
    }
    sim::SimScenario scenario;
    if (!sim::LoadScenarioFile(scenarioFile, scenario, error)) {
        error = "scenario " + scenarioFile + ": " + error;
        return nullptr;
    }
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
        const bool started = backend->StartScenario();
        if (playing != nullptr) {
            *playing = started;
        }
    }
    return backend;
}

} // namespace velkor
