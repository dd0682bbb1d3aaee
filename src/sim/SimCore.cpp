#include "sim/SimCore.h"

#include <algorithm>

namespace velkor::sim {

namespace {

constexpr uint8_t kLinkQuery = 0xAA;
constexpr uint8_t kReceiverSilent = 0xAA; // byte 3 of a receiver reply while its device is off
constexpr uint8_t kLinkUp = 0xFF;
constexpr std::string_view kPathPrefix = "sim:";

const SimCollection* FindCollection(const SimUnitFacts& unit, int number) {
    for (const SimCollection& c : UnitCollections(unit)) {
        if (c.number == number) {
            return &c;
        }
    }
    return nullptr;
}

const char* FaultNote(SimFaultKind kind) {
    switch (kind) {
    case SimFaultKind::NoReply:
        return "no reply";
    case SimFaultKind::StaleReply:
        return "stale reply first";
    case SimFaultKind::StatusFF:
        return "status ff";
    case SimFaultKind::StatusFE:
        return "status fe";
    case SimFaultKind::FailedWrite:
        return "failed write";
    case SimFaultKind::Delay:
        return "delayed reply";
    case SimFaultKind::Unplug:
        return "unplugged";
    }
    return "";
}

} // namespace

std::string MakeSimPath(const SimUnitFacts& facts, int collection) {
    std::string path(kPathPrefix);
    path += facts.name;
    path += '#';
    path += MakePathIdentity(facts.vendorId, facts.productId, facts.interfaceNumber,
                             facts.singleCollection ? 0 : uint16_t(collection));
    return path;
}

SimCore::SimCore(uint32_t seed, const DeviceCatalog& devices) : catalog(devices), random(seed) {
    units.resize(catalog.UnitCount());
    for (const SimUnitFacts& unit : catalog.Units()) {
        units[size_t(unit.unit)].release = unit.release;
    }
    for (const SimModelFacts& model : catalog.Models()) {
        firmwares.push_back(std::make_unique<SimFirmware>(model));
        wireless.push_back(model.wireless);
    }
}

bool SimCore::IsGoneLocked(const SimHandleState& handle) const {
    const SimUnitState& state = units[size_t(handle.unit)];
    return !state.plugged || state.generation != handle.generation;
}

void SimCore::LogLocked(SimDirection direction, SimUnit unit, int collection, std::span<const uint8_t> bytes,
                        std::string note, std::optional<SimTime> time) {
    if (logLimit == 0 && !logFile) {
        return;
    }
    SimFrame frame;
    frame.sequence = ++sequence;
    frame.time = time ? *time : std::chrono::steady_clock::now();
    frame.direction = direction;
    frame.unit = unit;
    frame.collection = collection;
    frame.bytes.assign(bytes.begin(), bytes.end());
    frame.note = std::move(note);
    if (logFile) {
        logFile->Append(frame);
    }
    if (logLimit == 0) {
        return;
    }
    log.push_back(std::move(frame));
    while (log.size() > logLimit) {
        log.pop_front();
    }
}

void SimCore::DeliverLocked(SimUnit unit, int collection, std::span<const uint8_t> bytes, SimTime readyAt,
                            std::string note) {
    LogLocked(SimDirection::FromDevice, unit, collection, bytes, std::move(note), readyAt);
    for (const auto& handle : handles) {
        if (handle->unit != unit || handle->collection != collection || !handle->wantRead ||
            IsGoneLocked(*handle)) {
            continue;
        }
        if (handle->queue.size() < kHandleQueueLimit) {
            handle->queue.push_back({readyAt, std::vector<uint8_t>(bytes.begin(), bytes.end())});
        }
        handle->wake.notify_all();
    }
}

bool SimCore::DeliverEventLocked(SimUnit unit, uint16_t code) {
    const int collection = catalog.Unit(unit).eventCollection;
    if (collection == 0 || !units[size_t(unit)].plugged) {
        return false;
    }
    const SimTime now = std::chrono::steady_clock::now();
    const uint8_t press[kConsumerReportLength] = {kConsumerReportId, uint8_t(code & 0xFF),
                                                  uint8_t(code >> 8)};
    const uint8_t release[kConsumerReportLength] = {kConsumerReportId, 0, 0};
    DeliverLocked(unit, collection, press, now);
    DeliverLocked(unit, collection, release, now);
    return true;
}

bool SimCore::PlugLocked(SimUnit unit) {
    SimUnitState& state = units[size_t(unit)];
    if (state.plugged) {
        return false;
    }
    state.plugged = true;
    ++state.generation;
    state.lastReply.reset();
    return true;
}

bool SimCore::UnplugLocked(SimUnit unit) {
    SimUnitState& state = units[size_t(unit)];
    if (!state.plugged) {
        return false;
    }
    state.plugged = false;
    ++state.generation;
    for (const auto& handle : handles) {
        if (handle->unit == unit) {
            handle->queue.clear();
            handle->wake.notify_all();
        }
    }
    return true;
}

bool SimCore::ResolveLocked(const std::string& path, SimUnit& unit, int& collection) const {
    if (path.compare(0, kPathPrefix.size(), kPathPrefix) != 0) {
        return false;
    }
    const size_t hash = path.find('#');
    if (hash == std::string::npos) {
        return false;
    }
    const auto named =
        catalog.UnitFromName(std::string_view(path).substr(kPathPrefix.size(), hash - kPathPrefix.size()));
    if (!named) {
        return false;
    }
    const SimUnitFacts& facts = catalog.Unit(*named);
    for (const SimCollection& c : UnitCollections(facts)) {
        if (MakeSimPath(facts, c.number) == path) {
            unit = *named;
            collection = c.number;
            return true;
        }
    }
    return false;
}

HidIoStatus SimCore::WriteLocked(SimUnit unit, int collection, std::span<const uint8_t> report) {
    const SimCollection* c = FindCollection(catalog.Unit(unit), collection);
    if (c == nullptr || report.empty()) {
        return HidIoStatus::Failed;
    }
    const auto output = std::find_if(c->outputReports.begin(), c->outputReports.end(),
                                     [&](const auto& entry) { return entry.first == report[0]; });
    // Not an output report of this collection, or longer than that report.
    if (output == c->outputReports.end() || report.size() > output->second) {
        LogLocked(SimDirection::ToDevice, unit, collection, report, "refused by the interface");
        return HidIoStatus::Failed;
    }
    if (report[0] == kHeadsetLedReportId) {
        std::vector<uint8_t> whole(output->second, 0);
        std::copy(report.begin(), report.end(), whole.begin());
        const bool taken = Firmware(catalog.Unit(unit).model).HandleLedReport(whole);
        LogLocked(SimDirection::ToDevice, unit, collection, whole, taken ? "" : "ignored by the device");
        return HidIoStatus::Ok;
    }
    // A short vendor report reaches the device padded with zeros.
    SimReport request{};
    std::copy(report.begin(), report.end(), request.begin());
    return VendorWriteLocked(unit, collection, request);
}

std::optional<SimFault> SimCore::FaultForFrameLocked(SimUnitState& state, uint64_t frame) {
    std::optional<SimFault> hit;
    for (const SimArmedFault& armed : state.faults) {
        const bool started = frame >= armed.firstFrame;
        const bool within = armed.fault.frames == 0 || frame < armed.firstFrame + armed.fault.frames;
        if (started && within) {
            hit = armed.fault;
            break;
        }
    }
    // Faults whose last frame has passed are dropped.
    std::erase_if(state.faults, [&](const SimArmedFault& armed) {
        return armed.fault.frames != 0 && armed.firstFrame + armed.fault.frames <= frame + 1;
    });
    return hit;
}

HidIoStatus SimCore::VendorWriteLocked(SimUnit unit, int collection, const SimReport& request) {
    SimUnitState& state = units[size_t(unit)];
    const uint64_t frame = ++state.frames;
    const std::optional<SimFault> fault = FaultForFrameLocked(state, frame);
    const SimFaultKind kind = fault ? fault->kind : SimFaultKind::NoReply;
    LogLocked(SimDirection::ToDevice, unit, collection, request, fault ? FaultNote(kind) : "");
    if (fault && kind == SimFaultKind::FailedWrite) {
        return HidIoStatus::Failed;
    }
    if (fault && kind == SimFaultKind::Unplug) {
        UnplugLocked(unit);
        return HidIoStatus::Gone;
    }
    if (fault && kind == SimFaultKind::NoReply) {
        return HidIoStatus::Ok;
    }

    SimReport reply;
    if (fault && (kind == SimFaultKind::StatusFF || kind == SimFaultKind::StatusFE)) {
        reply = SimEchoReply(request, kind == SimFaultKind::StatusFF ? 0xFF : 0xFE);
    } else {
        reply = AnswerLocked(unit, request);
    }
    const SimTime now = std::chrono::steady_clock::now();
    if (fault && kind == SimFaultKind::StaleReply) {
        const SimReport stale = StaleReplyLocked(unit, request);
        DeliverLocked(unit, collection, stale, now, "stale");
    }
    SimTime readyAt = now;
    if (fault && kind == SimFaultKind::Delay) {
        readyAt += std::chrono::milliseconds(fault->delayMs);
    }
    DeliverLocked(unit, collection, reply, readyAt);
    state.lastReply = reply;
    return HidIoStatus::Ok;
}

SimReport SimCore::AnswerLocked(SimUnit unit, const SimReport& request) {
    const SimModel model = catalog.Unit(unit).model;
    if (!catalog.Unit(unit).receiver) {
        return Firmware(model).HandleRequest(request, false);
    }
    const uint16_t carried = uint16_t(request[1] | (request[2] << 8));
    if (carried != SimChecksum(request)) {
        return SimEchoReply(request, kStatusRefused);
    }
    const bool linkUp = wireless[size_t(model)];
    if (request[3] == kLinkQuery) {
        SimReport reply = SimEchoReply(request, kStatusDone);
        reply[8] = linkUp ? kLinkUp : 0x00;
        SimSeal(reply);
        return reply;
    }
    if (!linkUp) {
        SimReport reply{};
        reply[0] = kVendorCollectionReportId;
        reply[3] = kReceiverSilent;
        SimSeal(reply);
        return reply;
    }
    return Firmware(model).HandleRequest(request, true);
}

// An earlier reply of the unit when its echo differs from this request's;
// otherwise leftover bytes with echo 0x00 (no command has that code).
SimReport SimCore::StaleReplyLocked(SimUnit unit, const SimReport& request) {
    const SimUnitState& state = units[size_t(unit)];
    if (state.lastReply && (*state.lastReply)[3] != request[3] && (*state.lastReply)[3] != kReceiverSilent) {
        return *state.lastReply;
    }
    SimReport stale{};
    stale[0] = kVendorCollectionReportId;
    for (size_t i = 8; i < stale.size(); ++i) {
        stale[i] = uint8_t(random() & 0xFF);
    }
    SimSeal(stale);
    return stale;
}

} // namespace velkor::sim
