#pragma once
// The simulated device family as a HID back end.
//
// Each plugged unit presents its interface's top-level collections as paths
// "sim:<unit name>#vid_320f&pid_7070&mi_01&col04" (the headset, with one
// collection, has no "&col" token). Opening a path gives a handle that:
// - reports the unit's attributes (vendor, product, release number) and the
//   report descriptor of its interface;
// - sees only the input reports of its own collection (ID 4 replies on the
//   vendor collection, ID 3 event codes on the consumer collection);
// - answers a vendor write at once: the reply is queued for the next Read of
//   every handle open for reading on that collection;
// - blocks in Read until a report is ready, the time-out passes, Cancel() is
//   called or the unit is unplugged (then Gone, also for every later call).
//
// Behind the units sit five firmwares (SimFirmware). A receiver forwards
// frames to its device while the device's wireless switch is on, answers 0xAA
// in byte 3 while it is off, and answers the link query 0xAA itself (byte 8 =
// 0xFF when the device answers). Every report written or delivered is logged.
//
// All operations are thread-safe; the handles may outlive the backend (they
// then report Gone).
#include "sim/SimCatalog.h"
#include "sim/SimFirmware.h"
#include "sim/SimScenario.h"
#include "sim/SimTypes.h"
#include "transport/HidBackend.h"

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velkor::sim {

struct SimCore;

class SimBackend : public HidBackend {
public:
    // `seed` drives everything random (the content of stale replies).
    // Nothing is plugged; every wireless switch is on.
    // The units and models are the catalog's (which must outlive the backend).
    explicit SimBackend(uint32_t seed, const DeviceCatalog& catalog = BuiltInCatalog());
    ~SimBackend() override;
    SimBackend(const SimBackend&) = delete;
    SimBackend& operator=(const SimBackend&) = delete;

    // --- HidBackend ---
    bool EnumeratePaths(std::vector<std::string>& paths) override;
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags& flags) override;
    bool Probe(const std::string& path) override;
    std::string LastError() const override;

    // --- Plugging ---
    // Every unit of the family on its cable, receivers included (what a
    // program run with --simulate sees).
    void PlugFamily();
    void UnplugAll();
    // False when the unit already is in that state.
    bool Plug(SimUnit unit);
    bool Unplug(SimUnit unit);
    bool IsPlugged(SimUnit unit) const;
    // The path of a collection of a unit (whether plugged or not).
    std::string PathOf(SimUnit unit, int collection) const;
    std::string CommandPath(SimUnit unit) const;
    // Empty for the headset, which has no event collection.
    std::string EventPath(SimUnit unit) const;
    // The units and models this simulator has.
    const SimCatalog& Catalog() const;

    // --- The devices themselves ---
    // The wireless switch of a model with a receiver (false for the others).
    bool SetWireless(SimModel model, bool on);
    bool WirelessOn(SimModel model) const;
    // Battery 0..100 %, charge state 0 full, 1 charging, 2 on battery.
    bool SetBattery(SimModel model, uint8_t percent, uint8_t chargeState);
    // The release number a unit reports (for a cable unit also the version
    // in its information block).
    void SetFirmwareVersion(SimUnit unit, uint16_t bcd);
    // A key pressed on the device: the firmware changes its memory and
    // reports the event on the cable's event collection, or on the
    // receiver's while the cable is out. False when the device is off (no
    // cable, wireless switch off) or the key does not exist on the model.
    bool PressKey(SimModel model, SimKey key, uint8_t value = 0);
    // An event report (the code, then the release report) on the unit's event
    // collection. False when the unit is not plugged, has no event
    // collection, or is a receiver whose device is switched off.
    bool InjectEvent(SimUnit unit, uint16_t code);

    // --- Faults (vendor frames only) ---
    void InjectFault(SimUnit unit, const SimFault& fault);
    void ClearFaults(SimUnit unit);

    // --- Inspection for tests ---
    std::vector<uint8_t> Memory(SimModel model, SimMemory memory) const;
    bool WriteMemory(SimModel model, SimMemory memory, uint32_t offset, std::span<const uint8_t> data);
    bool InSession(SimModel model) const;
    // The model's macro slots of 128 bytes (information byte 6 and the memory).
    bool SetMacroSlots(SimModel model, uint8_t slots);
    // What a key position of the model plays from its macro memory (SimPlayKey).
    std::vector<SimEvent> PlayKey(SimModel model, size_t position) const;
    // What a gun key of the model plays from its recoil memory (SimPlayGunKey).
    std::vector<SimEvent> PlayGunKey(SimModel model, size_t position) const;
    // The records of the model's macro memory; nothing when it is damaged.
    std::optional<std::vector<SimRecord>> MacroRecords(SimModel model) const;
    // The records of the model's recoil memory; nothing when it is damaged.
    std::optional<std::vector<SimRecord>> RecoilRecords(SimModel model) const;
    uint32_t SessionsBegun(SimModel model) const;
    bool LightingTaken(SimModel model) const;
    std::array<uint8_t, 39> HeadsetLeds(uint8_t target) const;
    // Vendor frames written to a unit so far (the count faults are armed against).
    uint64_t FramesWritten(SimUnit unit) const;
    // Waits until a Read on a handle of `path` is blocked waiting for a
    // report, so that a test can cancel, close or unplug under a read that
    // really is in progress. False when none is within the time-out.
    bool WaitForWaitingRead(const std::string& path, uint32_t timeoutMs) const;
    // How often reads on the open handles of `path` began to wait for a
    // report: a reader that polls with a time-out waits again and again, a
    // blocking one once per report.
    uint64_t ReadWaits(const std::string& path) const;

    // --- Frame log: every report written to or sent by a device ---
    std::vector<SimFrame> Frames() const;
    void ClearFrames();
    // Oldest entries are dropped beyond `limit` (default 20000).
    void SetFrameLogLimit(size_t limit);
    // Also writes every frame logged from now on to `path` (SimLogFile.h),
    // completely by the time the backend is destroyed. False with `error`
    // set when the file cannot be created.
    bool LogToFile(const std::string& path, std::string& error);

    // --- Scenario ---
    // Reads a scenario file for StartScenario; false with a message when it
    // cannot be read or is damaged (a scenario loaded before stays).
    bool LoadScenario(const std::string& file, std::string& error);
    void SetScenario(SimScenario scenario);
    // Plays the loaded scenario on its own thread against `clock` (the
    // steady clock from now when null). False when none is loaded or one runs.
    bool StartScenario(SimClock* clock = nullptr);
    void StopScenario();
    // Makes the running scenario read its clock again now (after a test clock moved).
    void PokeScenario();
    bool ScenarioFinished() const;
    bool WaitScenarioFinished(uint32_t timeoutMs);

private:
    std::shared_ptr<SimCore> m_core;
    mutable std::mutex m_scenarioMutex;
    SimScenario m_scenario;
    bool m_scenarioLoaded = false;
    std::unique_ptr<SteadySimClock> m_ownClock;
    std::shared_ptr<SimScenarioPlayer> m_player; // shared so that a waiter needs no lock
};

} // namespace velkor::sim
