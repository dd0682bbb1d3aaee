#pragma once
// The firmware of one physical model: its memories and its answers to the
// vendor protocol. Pure state and computation: the owner (SimBackend)
// serialises every call.
//
// Answers: byte 3 echoes the command, bytes 4..6 echo length and offset,
// byte 7 is the status (0x00 done, 0xFE refused: bad checksum, length over
// 56 or an address outside the memory; 0xFF unknown command), bytes 8..63
// carry the data of a read. A refused frame changes nothing.
#include "sim/SimFactory.h"
#include "sim/SimMacroMemory.h"
#include "sim/SimTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velkor::sim {

using SimReport = std::array<uint8_t, kVendorReportLength>;

constexpr uint8_t kStatusDone = 0x00;
constexpr uint8_t kStatusRefused = 0xFE;
constexpr uint8_t kStatusUnknown = 0xFF;

// Sum of bytes 3..63 of a 64-byte vendor report.
uint16_t SimChecksum(std::span<const uint8_t, kVendorReportLength> report);
// Writes the checksum into bytes 1 and 2 (low byte first).
void SimSeal(SimReport& report);
// A reply that echoes bytes 3..6 of `request` with `status` and no data.
SimReport SimEchoReply(std::span<const uint8_t, kVendorReportLength> request, uint8_t status);

class SimFirmware {
public:
    // The facts must outlive the firmware (the simulator's catalog holds them).
    explicit SimFirmware(const SimModelFacts& facts);
    // A model of the built-in family.
    explicit SimFirmware(SimModel model) : SimFirmware(ModelFacts(model)) {}

    SimModel Model() const { return m_facts.model; }
    const SimModelFacts& Facts() const { return m_facts; }

    // Answers one request frame. `viaReceiver` tells which way it came (the
    // power status reports it in byte 3).
    SimReport HandleRequest(std::span<const uint8_t, kVendorReportLength> request, bool viaReceiver);

    // A memory as it stands (tests inspect and preset them).
    const std::vector<uint8_t>& Memory(SimMemory memory) const { return m_memories[size_t(memory)]; }
    // Copies `data` to `offset`; false (nothing written) when it does not fit.
    bool WriteMemory(SimMemory memory, uint32_t offset, std::span<const uint8_t> data);

    bool InSession() const { return m_inSession; }
    uint32_t SessionsBegun() const { return m_sessionsBegun; }
    bool LightingTaken() const { return m_lightingTaken; }

    // A key pressed on the device: the firmware changes its own memory and
    // returns the event code it reports, or nothing when the key does not
    // exist on this model (or `value` names no profile).
    std::optional<uint16_t> PressKey(SimKey key, uint8_t value);

    // A model with `slots` macro slots of 128 bytes: information byte 6 and
    // the macro memory (cleared) follow. False for a model without macros.
    bool SetMacroSlots(uint8_t slots);
    // The events key position `position` plays from the macro memory (see SimPlayKey).
    std::vector<SimEvent> PlayKey(size_t position) const;
    // What a gun key at `position` plays from the recoil memory (see SimPlayGunKey).
    std::vector<SimEvent> PlayGunKey(size_t position) const;
    // The records of the macro or recoil memory; nothing when the block there is damaged.
    std::optional<std::vector<SimRecord>> MacroRecords() const;
    std::optional<std::vector<SimRecord>> RecoilRecords() const;

    // Battery level 0..100 and charge state 0 full, 1 charging, 2 on battery;
    // false (unchanged) outside those ranges.
    bool SetBattery(uint8_t percent, uint8_t chargeState);
    void SetFirmwareVersion(uint16_t bcd);

    // Headset LED output report (ID 0xFF, 17 bytes): target 0x22 or 0x44,
    // block 0xAA..0xAF. False when the report is not one of those.
    bool HandleLedReport(std::span<const uint8_t> report);
    // 13 LEDs x (red, green, blue) as the last reports of `target` set them.
    std::array<uint8_t, 39> LedColours(uint8_t target) const;

    uint8_t ActiveProfile() const;
    // Offset of profile p's record in parameter memory.
    size_t RecordOffset(uint8_t profile) const { return size_t(profile) * Facts().recordStride; }

private:
    SimReport Read(std::span<const uint8_t, kVendorReportLength> request, SimMemory memory,
                   uint32_t baseOffset = 0);
    SimReport Write(std::span<const uint8_t, kVendorReportLength> request, SimMemory memory);
    SimReport ReadPower(std::span<const uint8_t, kVendorReportLength> request, bool viaReceiver);
    uint8_t* ActiveRecord();

    const SimModelFacts& m_facts;
    std::array<std::vector<uint8_t>, kSimMemoryCount> m_memories;
    bool m_inSession = false;
    uint32_t m_sessionsBegun = 0;
    bool m_lightingTaken = false;
    std::array<std::array<uint8_t, 39>, 2> m_leds{}; // targets 0x22, 0x44
};

} // namespace velkor::sim
