#include "sim/SimScenario.h"

#include "sim/SimBackend.h"

#include "platform/AtomicFile.h"
#include "platform/JsonText.h"

#include <json/value.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <set>

namespace velkor::sim {

namespace {

constexpr int kJsonNestingLimit = 16;

struct ActionName {
    std::string_view name;
    SimStepAction action;
};

constexpr ActionName kActions[] = {
    {"plug", SimStepAction::Plug},         {"unplug", SimStepAction::Unplug},
    {"wireless", SimStepAction::Wireless}, {"battery", SimStepAction::Battery},
    {"event", SimStepAction::Event},       {"press", SimStepAction::Press},
    {"fault", SimStepAction::Fault},       {"clear-faults", SimStepAction::ClearFaults},
};

const std::set<std::string> kKnownMembers = {"at",     "action", "device", "on",     "level",
                                             "charge", "code",   "key",    "value",  "fault",
                                             "frame",  "frames", "delay",  "comment"};

// Reads the members of one step, remembering the first fault.
class StepReader {
public:
    StepReader(const Json::Value& step, size_t index, std::string& error)
        : m_step(step), m_index(index), m_error(error) {}

    bool Fail(const std::string& what) {
        if (m_error.empty()) {
            m_error = "step " + std::to_string(m_index) + ": " + what;
        }
        return false;
    }

    bool Unsigned(const char* name, uint64_t max, uint64_t& out, bool required = true) {
        const Json::Value& v = m_step[name];
        if (v.isNull()) {
            return required ? Fail(std::string("member \"") + name + "\" is missing") : true;
        }
        if (!v.isUInt64() || v.asUInt64() > max) {
            return Fail(std::string("member \"") + name + "\" must be an integer 0.." + std::to_string(max));
        }
        out = v.asUInt64();
        return true;
    }

    bool Text(const char* name, std::string& out) {
        const Json::Value& v = m_step[name];
        if (!v.isString()) {
            return Fail(std::string("member \"") + name + "\" must be a string");
        }
        out = v.asString();
        return true;
    }

    bool Bool(const char* name, bool& out) {
        const Json::Value& v = m_step[name];
        if (!v.isBool()) {
            return Fail(std::string("member \"") + name + "\" must be true or false");
        }
        out = v.asBool();
        return true;
    }

    // An event code as an integer or as text ("0x0401" or "1025").
    bool Code(uint16_t& out) {
        const Json::Value& v = m_step["code"];
        uint64_t value = 0;
        if (v.isString()) {
            std::string text = v.asString();
            int base = 10;
            if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
                text = text.substr(2);
                base = 16;
            }
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
            if (ec != std::errc() || end != text.data() + text.size() || text.empty() || value > 0xFFFF) {
                return Fail("member \"code\" is not a 16-bit number");
            }
        } else if (!Unsigned("code", 0xFFFF, value)) {
            return false;
        }
        out = uint16_t(value);
        return true;
    }

private:
    const Json::Value& m_step;
    size_t m_index;
    std::string& m_error;
};

bool ReadDevice(StepReader& reader, SimScenarioStep& step, const std::string& device) {
    switch (step.action) {
    case SimStepAction::Plug:
    case SimStepAction::Unplug:
        if (device == "all") {
            step.action =
                step.action == SimStepAction::Plug ? SimStepAction::PlugAll : SimStepAction::UnplugAll;
            return true;
        }
        [[fallthrough]];
    case SimStepAction::Event:
    case SimStepAction::Fault:
    case SimStepAction::ClearFaults:
        if (const auto unit = UnitFromName(device)) {
            step.unit = *unit;
            return true;
        }
        return reader.Fail("unknown device \"" + device + "\"");
    default:
        if (const auto model = ModelFromName(device)) {
            step.model = *model;
            return true;
        }
        return reader.Fail("unknown device \"" + device + "\"");
    }
}

bool ReadStep(const Json::Value& value, size_t index, SimScenarioStep& step, std::string& error) {
    StepReader reader(value, index, error);
    if (!value.isObject()) {
        return reader.Fail("is not an object");
    }
    for (const std::string& member : value.getMemberNames()) {
        if (kKnownMembers.count(member) == 0) {
            return reader.Fail("unknown member \"" + member + "\"");
        }
    }
    std::string action;
    std::string device;
    if (!reader.Unsigned("at", kMaxScenarioTimeMs, step.atMs) || !reader.Text("action", action) ||
        !reader.Text("device", device)) {
        return false;
    }
    const auto found = std::find_if(std::begin(kActions), std::end(kActions),
                                    [&](const ActionName& a) { return a.name == action; });
    if (found == std::end(kActions)) {
        return reader.Fail("unknown action \"" + action + "\"");
    }
    step.action = found->action;
    if (!ReadDevice(reader, step, device)) {
        return false;
    }
    uint64_t number = 0;
    switch (step.action) {
    case SimStepAction::Wireless:
        return reader.Bool("on", step.on);
    case SimStepAction::Battery:
        if (!reader.Unsigned("level", 100, number)) {
            return false;
        }
        step.level = uint8_t(number);
        if (!reader.Unsigned("charge", 2, number)) {
            return false;
        }
        step.charge = uint8_t(number);
        return true;
    case SimStepAction::Event:
        return reader.Code(step.code);
    case SimStepAction::Press: {
        std::string key;
        if (!reader.Text("key", key)) {
            return false;
        }
        const auto parsed = KeyFromName(key);
        if (!parsed) {
            return reader.Fail("unknown key \"" + key + "\"");
        }
        step.key = *parsed;
        if (!reader.Unsigned("value", 255, number, false)) {
            return false;
        }
        step.value = uint8_t(number);
        return true;
    }
    case SimStepAction::Fault: {
        std::string kind;
        if (!reader.Text("fault", kind)) {
            return false;
        }
        const auto parsed = FaultKindFromName(kind);
        if (!parsed) {
            return reader.Fail("unknown fault \"" + kind + "\"");
        }
        step.fault.kind = *parsed;
        number = 1;
        if (!reader.Unsigned("frame", 1000000000, number, false) || number == 0) {
            return reader.Fail("member \"frame\" must be an integer 1..1000000000");
        }
        step.fault.atFrame = uint32_t(number);
        number = 1;
        if (!reader.Unsigned("frames", 1000000000, number, false)) {
            return false;
        }
        step.fault.frames = uint32_t(number);
        number = 0;
        if (!reader.Unsigned("delay", 60000, number, false)) {
            return false;
        }
        step.fault.delayMs = uint32_t(number);
        return true;
    }
    default:
        return true;
    }
}

} // namespace

uint64_t SteadySimClock::NowMs() {
    return uint64_t(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start)
            .count());
}

bool ParseScenario(std::string_view text, SimScenario& out, std::string& error) {
    out.steps.clear();
    error.clear();
    if (text.size() > kMaxScenarioBytes) {
        error = "the scenario is larger than 1 MiB";
        return false;
    }
    Json::Value root;
    std::string parseErrors;
    if (!ParseJson(text, root, {.maxDepth = kJsonNestingLimit, .exact = true}, &parseErrors)) {
        error = "not valid JSON: " + parseErrors;
        return false;
    }
    if (!root.isObject() || !root["steps"].isArray()) {
        error = "the scenario must be an object with a \"steps\" array";
        return false;
    }
    const Json::Value& steps = root["steps"];
    if (steps.size() > kMaxScenarioSteps) {
        error = "the scenario has more than " + std::to_string(kMaxScenarioSteps) + " steps";
        return false;
    }
    SimScenario parsed;
    parsed.steps.reserve(steps.size());
    for (Json::ArrayIndex i = 0; i < steps.size(); ++i) {
        SimScenarioStep step;
        if (!ReadStep(steps[i], i, step, error)) {
            return false;
        }
        parsed.steps.push_back(step);
    }
    std::stable_sort(parsed.steps.begin(), parsed.steps.end(),
                     [](const SimScenarioStep& a, const SimScenarioStep& b) { return a.atMs < b.atMs; });
    out = std::move(parsed);
    return true;
}

bool LoadScenarioFile(const std::string& file, SimScenario& out, std::string& error) {
    out.steps.clear();
    std::string text;
    switch (ReadWholeFile(file, text, nullptr, kMaxScenarioBytes)) {
    case FileReadStatus::Missing:
        error = "cannot open scenario file " + file;
        return false;
    case FileReadStatus::Unreadable:
        error = "cannot read scenario file " + file;
        return false;
    case FileReadStatus::TooLarge:
        error = file + ": the scenario is larger than 1 MiB";
        return false;
    default:
        break; // an empty file is not JSON: ParseScenario says so
    }
    if (!ParseScenario(text, out, error)) {
        error = file + ": " + error;
        return false;
    }
    return true;
}

bool ApplyScenarioStep(SimBackend& backend, const SimScenarioStep& step) {
    switch (step.action) {
    case SimStepAction::Plug:
        return backend.Plug(step.unit);
    case SimStepAction::Unplug:
        return backend.Unplug(step.unit);
    case SimStepAction::PlugAll:
        backend.PlugFamily();
        return true;
    case SimStepAction::UnplugAll:
        backend.UnplugAll();
        return true;
    case SimStepAction::Wireless:
        return backend.SetWireless(step.model, step.on);
    case SimStepAction::Battery:
        return backend.SetBattery(step.model, step.level, step.charge);
    case SimStepAction::Event:
        return backend.InjectEvent(step.unit, step.code);
    case SimStepAction::Press:
        return backend.PressKey(step.model, step.key, step.value);
    case SimStepAction::Fault:
        backend.InjectFault(step.unit, step.fault);
        return true;
    case SimStepAction::ClearFaults:
        backend.ClearFaults(step.unit);
        return true;
    }
    return false;
}

SimScenarioPlayer::SimScenarioPlayer(SimBackend& backend, SimScenario scenario)
    : m_backend(backend), m_scenario(std::move(scenario)) {}

SimScenarioPlayer::~SimScenarioPlayer() {
    Stop();
}

size_t SimScenarioPlayer::Advance(uint64_t elapsedMs) {
    std::lock_guard lock(m_mutex);
    return AdvanceLocked(elapsedMs);
}

size_t SimScenarioPlayer::AdvanceLocked(uint64_t elapsedMs) {
    size_t applied = 0;
    while (m_next < m_scenario.steps.size() && m_scenario.steps[m_next].atMs <= elapsedMs) {
        // A refused step (a press on a device that is off) is part of the story, not an error.
        ApplyScenarioStep(m_backend, m_scenario.steps[m_next]);
        ++m_next;
        ++applied;
    }
    if (m_next >= m_scenario.steps.size()) {
        m_done.notify_all();
    }
    return applied;
}

size_t SimScenarioPlayer::Applied() const {
    std::lock_guard lock(m_mutex);
    return m_next;
}

bool SimScenarioPlayer::Finished() const {
    std::lock_guard lock(m_mutex);
    return m_next >= m_scenario.steps.size();
}

bool SimScenarioPlayer::Start(SimClock& clock) {
    std::lock_guard lock(m_mutex);
    if (m_running || m_thread.joinable()) {
        return false;
    }
    m_running = true;
    m_stop = false;
    m_thread = std::thread([this, &clock] { Run(clock); });
    return true;
}

void SimScenarioPlayer::Run(SimClock& clock) {
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        const uint64_t now = clock.NowMs();
        AdvanceLocked(now);
        if (m_next >= m_scenario.steps.size()) {
            break;
        }
        const uint64_t due = m_scenario.steps[m_next].atMs;
        m_wake.wait_for(lock, std::chrono::milliseconds(due > now ? due - now : 0),
                        [this] { return m_stop || m_poked; });
        m_poked = false;
    }
    m_running = false;
    m_done.notify_all();
}

void SimScenarioPlayer::Poke() {
    std::lock_guard lock(m_mutex);
    m_poked = true;
    m_wake.notify_all();
}

void SimScenarioPlayer::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_wake.notify_all();
        m_done.notify_all();
    }
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}

bool SimScenarioPlayer::WaitFinished(uint32_t timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return m_next >= m_scenario.steps.size() || m_stop;
    }) && m_next >= m_scenario.steps.size();
}

} // namespace velkor::sim
