#pragma once
// Internal state of SimBackend, shared with its open handles. Every member
// is guarded by `mutex`; the *Locked operations expect it held.
#include "sim/SimFactory.h"
#include "sim/SimFirmware.h"
#include "sim/SimLogFile.h"
#include "sim/SimTypes.h"
#include "transport/HidBackend.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace velkor::sim {

using SimTime = std::chrono::steady_clock::time_point;

// Reports a handle keeps unread at most; later ones are dropped, as a
// hidraw node does when its reader falls behind.
constexpr size_t kHandleQueueLimit = 64;
constexpr size_t kDefaultFrameLogLimit = 20000;

struct SimPendingReport {
    SimTime readyAt;
    std::vector<uint8_t> bytes;
};

// One open handle as the core sees it.
struct SimHandleState {
    SimUnit unit = SimUnit::Keyboard;
    int collection = 0;
    uint64_t generation = 0; // the unit's plug generation at open
    bool wantRead = false;
    bool wantWrite = false;
    bool cancelled = false;
    bool interrupted = false; // an InterruptRead the next read takes
    int waitingReads = 0;     // reads blocked in `wake` right now
    uint64_t readWaits = 0;   // times a read began to wait in `wake`
    std::deque<SimPendingReport> queue;
    std::condition_variable wake;
};

struct SimArmedFault {
    SimFault fault;
    uint64_t firstFrame = 0; // absolute frame number of the unit
};

struct SimUnitState {
    bool plugged = false;
    uint64_t generation = 0; // bumped on every plug and unplug
    uint64_t frames = 0;     // vendor frames written to the unit
    uint16_t release = 0;
    std::vector<SimArmedFault> faults;
    std::optional<SimReport> lastReply;
};

struct SimCore {
    // The catalog must outlive the core.
    SimCore(uint32_t seed, const DeviceCatalog& devices);

    // Never changes: read without the lock.
    const SimCatalog catalog;
    mutable std::mutex mutex;
    std::mt19937 random;
    // Indexed by unit and by model number.
    std::vector<SimUnitState> units;
    std::vector<std::unique_ptr<SimFirmware>> firmwares;
    std::vector<bool> wireless;
    std::vector<std::shared_ptr<SimHandleState>> handles;
    std::condition_variable readWaiting; // a read began to wait
    std::deque<SimFrame> log;
    size_t logLimit = kDefaultFrameLogLimit;
    // Every logged frame also goes here when set (whatever the limit).
    std::shared_ptr<SimLogFile> logFile;
    uint64_t sequence = 0;
    std::string lastError;

    SimFirmware& Firmware(SimModel model) { return *firmwares[size_t(model)]; }
    bool IsGoneLocked(const SimHandleState& handle) const;

    // Logged at `time`, or now when none is given.
    void LogLocked(SimDirection direction, SimUnit unit, int collection, std::span<const uint8_t> bytes,
                   std::string note = {}, std::optional<SimTime> time = std::nullopt);
    // Queues an input report for every reader of (unit, collection) and logs it.
    void DeliverLocked(SimUnit unit, int collection, std::span<const uint8_t> bytes, SimTime readyAt,
                       std::string note = {});
    // An event code followed by its release report on the unit's event collection.
    bool DeliverEventLocked(SimUnit unit, uint16_t code);

    bool PlugLocked(SimUnit unit);
    bool UnplugLocked(SimUnit unit);

    // A whole output report written on a handle of (unit, collection).
    HidIoStatus WriteLocked(SimUnit unit, int collection, std::span<const uint8_t> report);

    // Finds the unit and collection a path names; false when it names none.
    bool ResolveLocked(const std::string& path, SimUnit& unit, int& collection) const;

private:
    HidIoStatus VendorWriteLocked(SimUnit unit, int collection, const SimReport& request);
    SimReport AnswerLocked(SimUnit unit, const SimReport& request);
    SimReport StaleReplyLocked(SimUnit unit, const SimReport& request);
    std::optional<SimFault> FaultForFrameLocked(SimUnitState& state, uint64_t frame);
};

std::string MakeSimPath(const SimUnitFacts& unit, int collection);

} // namespace velkor::sim
