#pragma once
// Scenario files: a timed list of things that happen to the simulated family
// (plugging, unplugging, the wireless switch, the battery, keys pressed on a
// device, event reports, faults), so that a running program can be shown a
// device arriving and leaving.
//
// File format (JSON, at most 1 MiB and 10000 steps):
//   { "steps": [
//       { "at": 0,    "action": "plug",    "device": "all" },
//       { "at": 1500, "action": "unplug",  "device": "mouse" },
//       { "at": 2000, "action": "wireless","device": "mouse", "on": false },
//       { "at": 2500, "action": "battery", "device": "mouse", "level": 15, "charge": 2 },
//       { "at": 3000, "action": "event",   "device": "mouse-receiver", "code": "0x0401" },
//       { "at": 3500, "action": "press",   "device": "keyboard", "key": "profile-select", "value": 2 },
//       { "at": 4000, "action": "fault",   "device": "mouse", "fault": "status-fe", "frame": 2 },
//       { "at": 4500, "action": "clear-faults", "device": "mouse" } ] }
// "at" is milliseconds since the scenario started (steps are played in time
// order, equal times in file order). "device" is a unit name (plug, unplug,
// event, fault, clear-faults; "all" for plug and unplug) or a model name
// (wireless, battery, press); see SimTypes.h for the names. Optional members:
// "frames" and "delay" (fault), "value" (press), "comment" (any step).
#include "sim/SimTypes.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velkor::sim {

class SimBackend;

constexpr size_t kMaxScenarioBytes = 1u << 20;
constexpr size_t kMaxScenarioSteps = 10000;
constexpr uint64_t kMaxScenarioTimeMs = 7ull * 24 * 3600 * 1000; // a week

// Time source of a running scenario, in milliseconds since some start.
class SimClock {
public:
    virtual ~SimClock() = default;
    virtual uint64_t NowMs() = 0;
};

// Milliseconds of the steady clock since construction.
class SteadySimClock final : public SimClock {
public:
    SteadySimClock() : m_start(std::chrono::steady_clock::now()) {}
    uint64_t NowMs() override;

private:
    std::chrono::steady_clock::time_point m_start;
};

enum class SimStepAction : uint8_t {
    Plug,
    Unplug,
    PlugAll,
    UnplugAll,
    Wireless,
    Battery,
    Event,
    Press,
    Fault,
    ClearFaults,
};

struct SimScenarioStep {
    uint64_t atMs = 0;
    SimStepAction action = SimStepAction::Plug;
    SimUnit unit = SimUnit::Keyboard;    // Plug, Unplug, Event, Fault, ClearFaults
    SimModel model = SimModel::Keyboard; // Wireless, Battery, Press
    bool on = false;
    uint8_t level = 0;
    uint8_t charge = 0;
    uint16_t code = 0;
    SimKey key = SimKey::ProfileNext;
    uint8_t value = 0;
    SimFault fault;
};

struct SimScenario {
    std::vector<SimScenarioStep> steps; // in playing order
};

// Parses a scenario text. False with a message naming the step and member
// on any fault (the scenario is then left empty).
bool ParseScenario(std::string_view text, SimScenario& out, std::string& error);
// Reads and parses a scenario file.
bool LoadScenarioFile(const std::string& file, SimScenario& out, std::string& error);
// Does one step to `backend`; false when the backend refused it (for
// example a press on a device that is off), which a scenario tolerates.
bool ApplyScenarioStep(SimBackend& backend, const SimScenarioStep& step);

// Plays a scenario on a backend, either step by step (Advance) or on a
// thread of its own against a clock. Safe to use from several threads.
class SimScenarioPlayer {
public:
    SimScenarioPlayer(SimBackend& backend, SimScenario scenario);
    ~SimScenarioPlayer(); // stops the thread
    SimScenarioPlayer(const SimScenarioPlayer&) = delete;
    SimScenarioPlayer& operator=(const SimScenarioPlayer&) = delete;

    // Applies every step due at `elapsedMs` or earlier that has not been
    // applied yet; returns how many it applied.
    size_t Advance(uint64_t elapsedMs);
    size_t Applied() const;
    bool Finished() const;

    // Runs the scenario on its own thread: it sleeps until the clock reaches
    // the next step. False when it already runs. The clock must outlive the run.
    bool Start(SimClock& clock);
    // Makes the thread read the clock again now (after a test clock moved).
    void Poke();
    // Ends the thread (at once; steps not yet due are not applied).
    void Stop();
    // Waits until every step was applied or the run stopped; false on time-out.
    bool WaitFinished(uint32_t timeoutMs);

private:
    size_t AdvanceLocked(uint64_t elapsedMs);
    void Run(SimClock& clock);

    SimBackend& m_backend;
    SimScenario m_scenario;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    size_t m_next = 0;
    bool m_stop = false;
    bool m_poked = false;
    bool m_running = false;
    std::thread m_thread;
};

} // namespace velkor::sim
