#include "sim/SimBackend.h"

#include "sim/SimCore.h"

#include <algorithm>
#include <utility>

namespace velkor::sim {

namespace {

class SimHandle final : public HidHandle {
public:
    SimHandle(std::shared_ptr<SimCore> core, std::shared_ptr<SimHandleState> state, HidAttributes attributes)
        : m_core(std::move(core)), m_state(std::move(state)), m_attributes(attributes) {}

    ~SimHandle() override {
        std::lock_guard lock(m_core->mutex);
        std::erase(m_core->handles, m_state);
    }

    const HidAttributes& Attributes() const override { return m_attributes; }
    std::span<const uint8_t> ReportDescriptor() const override {
        return UnitReportDescriptor(m_core->catalog.Unit(m_state->unit));
    }
    int CollectionNumber() const override { return m_state->collection; }

    HidIoStatus Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) override {
        using namespace std::chrono;
        transferred = 0;
        const bool infinite = timeoutMs == kHidInfinite;
        const SimTime deadline = steady_clock::now() + milliseconds(infinite ? 0 : timeoutMs);
        std::unique_lock lock(m_core->mutex);
        SimHandleState& state = *m_state;
        if (!state.wantRead) {
            return HidIoStatus::Failed;
        }
        for (;;) {
            if (state.cancelled) {
                return HidIoStatus::Cancelled;
            }
            if (m_core->IsGoneLocked(state)) {
                return HidIoStatus::Gone;
            }
            if (std::exchange(state.interrupted, false)) {
                return HidIoStatus::Interrupted;
            }
            const SimTime now = steady_clock::now();
            if (!state.queue.empty() && state.queue.front().readyAt <= now) {
                const std::vector<uint8_t>& report = state.queue.front().bytes;
                // A short buffer receives the start of the report, as hidraw does.
                transferred = std::min(buffer.size(), report.size());
                std::copy_n(report.begin(), transferred, buffer.begin());
                state.queue.pop_front();
                return HidIoStatus::Ok;
            }
            if (!infinite && now >= deadline) {
                return HidIoStatus::TimedOut;
            }
            // Sleep until the head report matures, the time-out, or a notification.
            std::optional<SimTime> wakeAt;
            if (!infinite) {
                wakeAt = deadline;
            }
            if (!state.queue.empty()) {
                wakeAt =
                    wakeAt ? std::min(*wakeAt, state.queue.front().readyAt) : state.queue.front().readyAt;
            }
            // Counted under the lock the wait releases, so that whoever sees the
            // count knows the read is blocked (SimBackend::WaitForWaitingRead).
            ++state.waitingReads;
            ++state.readWaits;
            m_core->readWaiting.notify_all();
            if (wakeAt) {
                state.wake.wait_until(lock, *wakeAt);
            } else {
                state.wake.wait(lock);
            }
            --state.waitingReads;
        }
    }

    HidIoStatus Write(std::span<const uint8_t> buffer, size_t& transferred, uint32_t /*timeoutMs*/) override {
        transferred = 0;
        std::lock_guard lock(m_core->mutex);
        const SimHandleState& state = *m_state;
        if (state.cancelled) {
            return HidIoStatus::Cancelled;
        }
        if (m_core->IsGoneLocked(state)) {
            return HidIoStatus::Gone;
        }
        if (!state.wantWrite) {
            return HidIoStatus::Failed;
        }
        const HidIoStatus status = m_core->WriteLocked(state.unit, state.collection, buffer);
        if (status == HidIoStatus::Ok) {
            transferred = buffer.size();
        }
        return status;
    }

    void Cancel() override {
        std::lock_guard lock(m_core->mutex);
        m_state->cancelled = true;
        m_state->wake.notify_all();
    }

    void InterruptRead() override {
        std::lock_guard lock(m_core->mutex);
        m_state->interrupted = true;
        m_state->wake.notify_all();
    }

private:
    std::shared_ptr<SimCore> m_core;
    std::shared_ptr<SimHandleState> m_state;
    HidAttributes m_attributes;
};

} // namespace

SimBackend::SimBackend(uint32_t seed, const DeviceCatalog& catalog)
    : m_core(std::make_shared<SimCore>(seed, catalog)) {}

SimBackend::~SimBackend() {
    StopScenario();
    std::shared_ptr<SimLogFile> logFile;
    {
        // Handles that outlive the backend see their device gone.
        std::lock_guard lock(m_core->mutex);
        for (size_t i = 0; i < m_core->units.size(); ++i) {
            m_core->UnplugLocked(SimUnit(i));
        }
        logFile = std::move(m_core->logFile);
    }
    if (logFile) {
        logFile->Close(); // outside the lock: it waits for the disk
    }
}

bool SimBackend::LogToFile(const std::string& path, std::string& error) {
    auto file = std::make_shared<SimLogFile>();
    if (!file->Open(path, error)) {
        return false;
    }
    std::shared_ptr<SimLogFile> previous;
    {
        std::lock_guard lock(m_core->mutex);
        previous = std::exchange(m_core->logFile, std::move(file));
    }
    if (previous) {
        previous->Close();
    }
    return true;
}

bool SimBackend::EnumeratePaths(std::vector<std::string>& paths) {
    paths.clear();
    std::lock_guard lock(m_core->mutex);
    // Keyboards first, then the rest in catalog order: a run of the whole
    // family attaches (and so selects) a keyboard first, as a desk with its
    // keyboard on the first port does.
    for (const bool keyboards : {true, false}) {
        for (const SimUnitFacts& unit : m_core->catalog.Units()) {
            const bool keyboard = m_core->catalog.Model(unit.model).deviceClass == DeviceClass::Keyboard;
            if (keyboard != keyboards || !m_core->units[size_t(unit.unit)].plugged) {
                continue;
            }
            for (const SimCollection& c : UnitCollections(unit)) {
                paths.push_back(MakeSimPath(unit, c.number));
            }
        }
    }
    return true;
}

std::unique_ptr<HidHandle> SimBackend::Open(const std::string& path, const HidOpenFlags& flags) {
    std::lock_guard lock(m_core->mutex);
    SimUnit unit{};
    int collection = 0;
    if (!m_core->ResolveLocked(path, unit, collection)) {
        m_core->lastError = "not a path of the simulated family";
        return nullptr;
    }
    const SimUnitState& unitState = m_core->units[size_t(unit)];
    if (!unitState.plugged) {
        m_core->lastError = "no such device (unplugged)";
        return nullptr;
    }
    auto state = std::make_shared<SimHandleState>();
    state->unit = unit;
    state->collection = collection;
    state->generation = unitState.generation;
    state->wantRead = flags.wantRead;
    state->wantWrite = flags.wantWrite;
    m_core->handles.push_back(state);
    m_core->lastError.clear();
    const SimUnitFacts& facts = m_core->catalog.Unit(unit);
    const HidAttributes attributes{facts.vendorId, facts.productId, unitState.release};
    return std::make_unique<SimHandle>(m_core, std::move(state), attributes);
}

bool SimBackend::Probe(const std::string& path) {
    std::lock_guard lock(m_core->mutex);
    SimUnit unit{};
    int collection = 0;
    return m_core->ResolveLocked(path, unit, collection) && m_core->units[size_t(unit)].plugged;
}

std::string SimBackend::LastError() const {
    std::lock_guard lock(m_core->mutex);
    return m_core->lastError;
}

void SimBackend::PlugFamily() {
    std::lock_guard lock(m_core->mutex);
    for (size_t i = 0; i < m_core->units.size(); ++i) {
        m_core->PlugLocked(SimUnit(i));
    }
}

void SimBackend::UnplugAll() {
    std::lock_guard lock(m_core->mutex);
    for (size_t i = 0; i < m_core->units.size(); ++i) {
        m_core->UnplugLocked(SimUnit(i));
    }
}

bool SimBackend::Plug(SimUnit unit) {
    std::lock_guard lock(m_core->mutex);
    return m_core->catalog.Has(unit) && m_core->PlugLocked(unit);
}

bool SimBackend::Unplug(SimUnit unit) {
    std::lock_guard lock(m_core->mutex);
    return m_core->catalog.Has(unit) && m_core->UnplugLocked(unit);
}

bool SimBackend::IsPlugged(SimUnit unit) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->catalog.Has(unit) && m_core->units[size_t(unit)].plugged;
}

std::string SimBackend::PathOf(SimUnit unit, int collection) const {
    return m_core->catalog.Has(unit) ? MakeSimPath(m_core->catalog.Unit(unit), collection) : std::string();
}

std::string SimBackend::CommandPath(SimUnit unit) const {
    return m_core->catalog.Has(unit) ? PathOf(unit, m_core->catalog.Unit(unit).commandCollection)
                                     : std::string();
}

std::string SimBackend::EventPath(SimUnit unit) const {
    const int collection = m_core->catalog.Has(unit) ? m_core->catalog.Unit(unit).eventCollection : 0;
    return collection == 0 ? std::string() : PathOf(unit, collection);
}

const SimCatalog& SimBackend::Catalog() const {
    return m_core->catalog;
}

bool SimBackend::SetWireless(SimModel model, bool on) {
    if (!m_core->catalog.Has(model) || !m_core->catalog.Model(model).wireless) {
        return false;
    }
    std::lock_guard lock(m_core->mutex);
    m_core->wireless[size_t(model)] = on;
    return true;
}

bool SimBackend::WirelessOn(SimModel model) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->wireless[size_t(model)];
}

bool SimBackend::SetBattery(SimModel model, uint8_t percent, uint8_t chargeState) {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(model).SetBattery(percent, chargeState);
}

void SimBackend::SetFirmwareVersion(SimUnit unit, uint16_t bcd) {
    std::lock_guard lock(m_core->mutex);
    m_core->units[size_t(unit)].release = bcd;
    if (!m_core->catalog.Unit(unit).receiver) {
        m_core->Firmware(m_core->catalog.Unit(unit).model).SetFirmwareVersion(bcd);
    }
}

bool SimBackend::PressKey(SimModel model, SimKey key, uint8_t value) {
    std::lock_guard lock(m_core->mutex);
    const SimUnit cable = m_core->catalog.CableUnitOf(model);
    const std::optional<SimUnit> receiver = m_core->catalog.ReceiverUnitOf(model);
    const bool cablePlugged = m_core->units[size_t(cable)].plugged;
    const bool wirelessOn = receiver && m_core->wireless[size_t(model)];
    if (!cablePlugged && !wirelessOn) {
        return false; // the device has no power
    }
    const std::optional<uint16_t> code = m_core->Firmware(model).PressKey(key, value);
    if (!code) {
        return false;
    }
    // The cable carries the report while it is in; otherwise the receiver, if any.
    if (cablePlugged) {
        m_core->DeliverEventLocked(cable, *code);
    } else if (m_core->units[size_t(*receiver)].plugged) {
        m_core->DeliverEventLocked(*receiver, *code);
    }
    return true;
}

bool SimBackend::InjectEvent(SimUnit unit, uint16_t code) {
    std::lock_guard lock(m_core->mutex);
    const SimUnitFacts& facts = m_core->catalog.Unit(unit);
    if (facts.receiver && !m_core->wireless[size_t(facts.model)]) {
        return false;
    }
    return m_core->DeliverEventLocked(unit, code);
}

void SimBackend::InjectFault(SimUnit unit, const SimFault& fault) {
    std::lock_guard lock(m_core->mutex);
    SimUnitState& state = m_core->units[size_t(unit)];
    const uint64_t at = std::max<uint32_t>(fault.atFrame, 1);
    state.faults.push_back({fault, state.frames + at});
}

void SimBackend::ClearFaults(SimUnit unit) {
    std::lock_guard lock(m_core->mutex);
    m_core->units[size_t(unit)].faults.clear();
}

std::vector<uint8_t> SimBackend::Memory(SimModel model, SimMemory memory) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(model).Memory(memory);
}

bool SimBackend::WriteMemory(SimModel model, SimMemory memory, uint32_t offset,
                             std::span<const uint8_t> data) {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(model).WriteMemory(memory, offset, data);
}

bool SimBackend::SetMacroSlots(SimModel model, uint8_t slots) {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(model).SetMacroSlots(slots);
}

std::vector<SimEvent> SimBackend::PlayKey(SimModel model, size_t position) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(model).PlayKey(position);
}

std::vector<SimEvent> SimBackend::PlayGunKey(SimModel model, size_t position) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(model).PlayGunKey(position);
}

std::optional<std::vector<SimRecord>> SimBackend::MacroRecords(SimModel model) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(model).MacroRecords();
}

std::optional<std::vector<SimRecord>> SimBackend::RecoilRecords(SimModel model) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(model).RecoilRecords();
}

bool SimBackend::InSession(SimModel model) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(model).InSession();
}

uint32_t SimBackend::SessionsBegun(SimModel model) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(model).SessionsBegun();
}

bool SimBackend::LightingTaken(SimModel model) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(model).LightingTaken();
}

std::array<uint8_t, 39> SimBackend::HeadsetLeds(uint8_t target) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->Firmware(SimModel::Headset).LedColours(target);
}

uint64_t SimBackend::FramesWritten(SimUnit unit) const {
    std::lock_guard lock(m_core->mutex);
    return m_core->units[size_t(unit)].frames;
}

uint64_t SimBackend::ReadWaits(const std::string& path) const {
    std::lock_guard lock(m_core->mutex);
    SimUnit unit{};
    int collection = 0;
    if (!m_core->ResolveLocked(path, unit, collection)) {
        return 0;
    }
    uint64_t waits = 0;
    for (const auto& handle : m_core->handles) {
        if (handle->unit == unit && handle->collection == collection) {
            waits += handle->readWaits;
        }
    }
    return waits;
}

bool SimBackend::WaitForWaitingRead(const std::string& path, uint32_t timeoutMs) const {
    std::unique_lock lock(m_core->mutex);
    SimUnit unit{};
    int collection = 0;
    if (!m_core->ResolveLocked(path, unit, collection)) {
        return false;
    }
    return m_core->readWaiting.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::any_of(m_core->handles.begin(), m_core->handles.end(), [&](const auto& handle) {
            return handle->unit == unit && handle->collection == collection && handle->waitingReads > 0;
        });
    });
}

std::vector<SimFrame> SimBackend::Frames() const {
    std::lock_guard lock(m_core->mutex);
    return {m_core->log.begin(), m_core->log.end()};
}

void SimBackend::ClearFrames() {
    std::lock_guard lock(m_core->mutex);
    m_core->log.clear();
}

void SimBackend::SetFrameLogLimit(size_t limit) {
    std::lock_guard lock(m_core->mutex);
    m_core->logLimit = limit;
    while (m_core->log.size() > limit) {
        m_core->log.pop_front();
    }
}

bool SimBackend::LoadScenario(const std::string& file, std::string& error) {
    SimScenario scenario;
    if (!LoadScenarioFile(file, scenario, error)) {
        return false;
    }
    SetScenario(std::move(scenario));
    return true;
}

void SimBackend::SetScenario(SimScenario scenario) {
    std::lock_guard lock(m_scenarioMutex);
    m_scenario = std::move(scenario);
    m_scenarioLoaded = true;
}

bool SimBackend::StartScenario(SimClock* clock) {
    std::lock_guard lock(m_scenarioMutex);
    if (!m_scenarioLoaded || m_player) {
        return false;
    }
    if (clock == nullptr) {
        m_ownClock = std::make_unique<SteadySimClock>();
        clock = m_ownClock.get();
    }
    m_player = std::make_shared<SimScenarioPlayer>(*this, m_scenario);
    return m_player->Start(*clock);
}

void SimBackend::StopScenario() {
    std::shared_ptr<SimScenarioPlayer> player;
    {
        std::lock_guard lock(m_scenarioMutex);
        player = std::move(m_player);
    }
    if (player) {
        player->Stop();
    }
}

void SimBackend::PokeScenario() {
    std::lock_guard lock(m_scenarioMutex);
    if (m_player) {
        m_player->Poke();
    }
}

bool SimBackend::ScenarioFinished() const {
    std::lock_guard lock(m_scenarioMutex);
    return m_player && m_player->Finished();
}

bool SimBackend::WaitScenarioFinished(uint32_t timeoutMs) {
    std::shared_ptr<SimScenarioPlayer> player;
    {
        std::lock_guard lock(m_scenarioMutex);
        player = m_player;
    }
    return player && player->WaitFinished(timeoutMs);
}

} // namespace velkor::sim
