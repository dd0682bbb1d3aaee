#include "sim/SimFirmware.h"

#include "sim/SimRecords.h"

#include <algorithm>
#include <cstring>

namespace velkor::sim {

namespace {

constexpr size_t kDataOffset = 8;
constexpr size_t kMaxChunk = kVendorReportLength - kDataOffset; // 56

// Command codes of the vendor protocol.
enum : uint8_t {
    kBeginSession = 0x01,
    kEndSession = 0x02,
    kReadDeviceInfo = 0x03,
    kReadParams = 0x05,
    kWriteParams = 0x06,
    kReadKeyTable = 0x07,
    kWriteKeyTable = 0x09,
    kReadColourTable = 0x0A,
    kWriteColourTable = 0x0B,
    kSendLiveColours = 0x12,
    kWriteMacroData = 0x15,
    kWriteRecoilData = 0x17,
    kReadPowerStatus = 0x1A,
    kReadKeyLightMap = 0x1B,
    kTakeLightingControl = 0x1C,
};

// Event codes the firmware reports on its consumer collection.
constexpr uint16_t kEventSettingsChanged = 0x0401;
constexpr uint16_t kEventProfileSwitched = 0x0402;
constexpr uint16_t kEventClick = 0x0403;
constexpr uint16_t kEventProfile = 0x1000;  // | profile
constexpr uint16_t kEventDpiStage = 0x1100; // | stage << 4 | profile

constexpr uint8_t kMaxBrightness = 4;

uint16_t FrameOffset(std::span<const uint8_t, kVendorReportLength> request) {
    return uint16_t(request[5] | (request[6] << 8));
}

} // namespace

uint16_t SimChecksum(std::span<const uint8_t, kVendorReportLength> report) {
    uint32_t sum = 0;
    for (size_t i = 3; i < kVendorReportLength; ++i) {
        sum += report[i];
    }
    return uint16_t(sum);
}

void SimSeal(SimReport& report) {
    const uint16_t sum = SimChecksum(report);
    report[1] = uint8_t(sum & 0xFF);
    report[2] = uint8_t(sum >> 8);
}

SimReport SimEchoReply(std::span<const uint8_t, kVendorReportLength> request, uint8_t status) {
    SimReport reply{};
    reply[0] = kVendorCollectionReportId;
    std::copy(request.begin() + 3, request.begin() + 7, reply.begin() + 3);
    reply[7] = status;
    SimSeal(reply);
    return reply;
}

SimFirmware::SimFirmware(const SimModelFacts& facts) : m_facts(facts) {
    for (size_t i = 0; i < kSimMemoryCount; ++i) {
        m_memories[i] = FactoryMemory(facts, SimMemory(i));
    }
}

SimReport SimFirmware::HandleRequest(std::span<const uint8_t, kVendorReportLength> request,
                                     bool viaReceiver) {
    const uint16_t carried = uint16_t(request[1] | (request[2] << 8));
    if (request[0] != kVendorCollectionReportId || carried != SimChecksum(request)) {
        return SimEchoReply(request, kStatusRefused);
    }
    switch (request[3]) {
    case kBeginSession:
        m_inSession = true;
        ++m_sessionsBegun;
        return SimEchoReply(request, kStatusDone);
    case kEndSession:
        m_inSession = false;
        return SimEchoReply(request, kStatusDone);
    case kReadDeviceInfo:
        return Read(request, SimMemory::DeviceInfo);
    case kReadParams:
        return Read(request, SimMemory::Params);
    case kWriteParams:
        return Write(request, SimMemory::Params);
    case kReadKeyTable:
        return Read(request, SimMemory::KeyTable);
    case kWriteKeyTable:
        return Write(request, SimMemory::KeyTable);
    case kReadColourTable:
        return Read(request, SimMemory::Colours);
    case kWriteColourTable:
        return Write(request, SimMemory::Colours);
    case kSendLiveColours:
        return Write(request, SimMemory::LiveColours);
    case kWriteMacroData:
        return Write(request, SimMemory::Macro);
    case kWriteRecoilData:
        return Write(request, SimMemory::Recoil);
    case kReadPowerStatus:
        return ReadPower(request, viaReceiver);
    case kReadKeyLightMap:
        return Read(request, SimMemory::KeyLightMap);
    case kTakeLightingControl:
        m_lightingTaken = true;
        return SimEchoReply(request, kStatusDone);
    default:
        // Includes the link query 0xAA: only a receiver answers it.
        return SimEchoReply(request, kStatusUnknown);
    }
}

SimReport SimFirmware::Read(std::span<const uint8_t, kVendorReportLength> request, SimMemory memory,
                            uint32_t baseOffset) {
    const std::vector<uint8_t>& bytes = m_memories[size_t(memory)];
    const size_t length = request[4];
    const size_t offset = baseOffset + FrameOffset(request);
    if (length > kMaxChunk || offset + length > bytes.size()) {
        return SimEchoReply(request, kStatusRefused);
    }
    SimReport reply = SimEchoReply(request, kStatusDone);
    std::copy_n(bytes.begin() + long(offset), length, reply.begin() + kDataOffset);
    SimSeal(reply);
    return reply;
}

SimReport SimFirmware::Write(std::span<const uint8_t, kVendorReportLength> request, SimMemory memory) {
    std::vector<uint8_t>& bytes = m_memories[size_t(memory)];
    const size_t length = request[4];
    const size_t offset = FrameOffset(request);
    if (length > kMaxChunk || offset + length > bytes.size()) {
        return SimEchoReply(request, kStatusRefused);
    }
    std::copy_n(request.begin() + kDataOffset, length, bytes.begin() + long(offset));
    return SimEchoReply(request, kStatusDone);
}

SimReport SimFirmware::ReadPower(std::span<const uint8_t, kVendorReportLength> request, bool viaReceiver) {
    // The link byte says which way the request came.
    m_memories[size_t(SimMemory::Power)][offsetof(PowerStatusRecord, linkKind)] = viaReceiver ? 1 : 0;
    return Read(request, SimMemory::Power);
}

bool SimFirmware::WriteMemory(SimMemory memory, uint32_t offset, std::span<const uint8_t> data) {
    std::vector<uint8_t>& bytes = m_memories[size_t(memory)];
    if (size_t(offset) + data.size() > bytes.size()) {
        return false;
    }
    std::copy(data.begin(), data.end(), bytes.begin() + long(offset));
    return true;
}

uint8_t SimFirmware::ActiveProfile() const {
    const uint8_t p = m_memories[size_t(SimMemory::Params)][0];
    // The host may have written any byte there; the firmware falls back to profile 0.
    return p < Facts().profileCount ? p : 0;
}

uint8_t* SimFirmware::ActiveRecord() {
    return m_memories[size_t(SimMemory::Params)].data() + RecordOffset(ActiveProfile());
}

std::optional<uint16_t> SimFirmware::PressKey(SimKey key, uint8_t value) {
    const SimModelFacts& facts = Facts();
    const bool keyboard = facts.deviceClass == DeviceClass::Keyboard;
    const bool mouse = facts.deviceClass == DeviceClass::Mouse;
    uint8_t* record = ActiveRecord();
    switch (key) {
    case SimKey::ProfileNext:
        value = uint8_t((ActiveProfile() + 1) % facts.profileCount);
        [[fallthrough]];
    case SimKey::ProfileSelect:
        if (value >= facts.profileCount) {
            return std::nullopt;
        }
        m_memories[size_t(SimMemory::Params)][0] = value;
        if (keyboard) {
            return kEventProfileSwitched;
        }
        return mouse ? uint16_t(kEventProfile | value) : kEventSettingsChanged;
    case SimKey::EffectNext:
        record[offsetof(KeyboardSettingsRecord, effect)] =
            record[1] + 1 < facts.effectCount ? uint8_t(record[1] + 1) : uint8_t(0);
        return kEventSettingsChanged;
    case SimKey::BrightnessUp:
        record[2] = uint8_t(std::min<int>(record[2] + 1, kMaxBrightness));
        return kEventSettingsChanged;
    case SimKey::BrightnessDown:
        record[2] = uint8_t(std::clamp<int>(record[2] - 1, 0, kMaxBrightness));
        return kEventSettingsChanged;
    case SimKey::ToggleWinLock:
        if (!keyboard) {
            return std::nullopt;
        }
        record[offsetof(KeyboardSettingsRecord, winLock)] = record[21] ? 0 : 1;
        return kEventSettingsChanged;
    case SimKey::DpiNext: {
        if (!mouse) {
            return std::nullopt;
        }
        MouseSettingsRecord r;
        std::memcpy(&r, record, sizeof(r));
        for (uint8_t i = 1; i <= 5; ++i) {
            const uint8_t stage = uint8_t((r.activeStage + i) % 5);
            if (r.stages[stage].enabled) {
                record[offsetof(MouseSettingsRecord, activeStage)] = stage;
                return uint16_t(kEventDpiStage | (stage << 4) | ActiveProfile());
            }
        }
        return std::nullopt; // no stage enabled: the button does nothing
    }
    case SimKey::Click:
        return mouse ? std::optional<uint16_t>(kEventClick) : std::nullopt;
    }
    return std::nullopt;
}

bool SimFirmware::SetMacroSlots(uint8_t slots) {
    if (Facts().macroSlots == 0) {
        return false;
    }
    m_memories[size_t(SimMemory::DeviceInfo)][offsetof(DeviceInfoBlock, macroSlots)] = slots;
    m_memories[size_t(SimMemory::Macro)].assign(size_t(slots) * 128, 0);
    return true;
}

std::vector<SimEvent> SimFirmware::PlayKey(size_t position) const {
    return SimPlayKey(Memory(SimMemory::KeyTable), Memory(SimMemory::Macro), position);
}

std::vector<SimEvent> SimFirmware::PlayGunKey(size_t position) const {
    return SimPlayGunKey(Memory(SimMemory::KeyTable), Memory(SimMemory::Recoil), position);
}

std::optional<std::vector<SimRecord>> SimFirmware::MacroRecords() const {
    return ReadSimEventBlock(Memory(SimMemory::Macro));
}

std::optional<std::vector<SimRecord>> SimFirmware::RecoilRecords() const {
    return ReadSimEventBlock(Memory(SimMemory::Recoil));
}

bool SimFirmware::SetBattery(uint8_t percent, uint8_t chargeState) {
    if (percent > 100 || chargeState > 2) {
        return false;
    }
    auto& power = m_memories[size_t(SimMemory::Power)];
    power[offsetof(PowerStatusRecord, batteryPercent)] = percent;
    power[offsetof(PowerStatusRecord, chargeState)] = chargeState;
    return true;
}

void SimFirmware::SetFirmwareVersion(uint16_t bcd) {
    auto& info = m_memories[size_t(SimMemory::DeviceInfo)];
    info[offsetof(DeviceInfoBlock, firmwareVersion)] = uint8_t(bcd & 0xFF);
    info[offsetof(DeviceInfoBlock, firmwareVersion) + 1] = uint8_t(bcd >> 8);
}

bool SimFirmware::HandleLedReport(std::span<const uint8_t> report) {
    if (report.size() < 10 || report[0] != kHeadsetLedReportId) {
        return false;
    }
    size_t target = 0;
    if (report[1] == 0x22) {
        target = 0;
    } else if (report[1] == 0x44) {
        target = 1;
    } else {
        return false;
    }
    const uint8_t block = report[2];
    if (block < 0xAA || block > 0xAF) {
        return false;
    }
    // 0xAA..0xAC: one channel of LEDs 0..6; 0xAD..0xAF: of LEDs 7..12.
    const bool low = block <= 0xAC;
    const size_t channel = low ? block - 0xAA : block - 0xAD;
    const size_t first = low ? 0 : 7;
    const size_t count = low ? 7 : 6;
    for (size_t i = 0; i < count; ++i) {
        m_leds[target][(first + i) * 3 + channel] = report[3 + i];
    }
    return true;
}

std::array<uint8_t, 39> SimFirmware::LedColours(uint8_t target) const {
    if (target == 0x22) {
        return m_leds[0];
    }
    if (target == 0x44) {
        return m_leds[1];
    }
    return {};
}

} // namespace velkor::sim
