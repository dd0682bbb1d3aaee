#include "devices/KeyboardSettings.h"

#include "devices/SettingsRecordRules.h"

#include <algorithm>
#include <cstring>

namespace velkor {
namespace {

constexpr size_t kRecordSize = KeyboardSettingsRecord::kSize;
constexpr int kReportRateOptions = 4;

// The keyboard runs its host-driven effects (29 audio, 30 live stream) under
// one code: the host sends the colours.
bool IsHostDrivenCode(int32_t code) {
    return code == 29 || code == 30;
}

// The option pages show any non-zero flag as selected; send what they show
// (a low byte alone would turn 0x100 into "off").
uint8_t FlagByte(uint16_t flag) {
    return flag != 0 ? 1 : 0;
}

// As the report-rate page does: an option outside 0..3 counts as 0.
uint8_t ReportRateByte(uint16_t option) {
    return option < kReportRateOptions ? uint8_t(option) : 0;
}

uint8_t EffectByte(const LightInfoRecord& light, const DeviceNameLists& modes, uint8_t kept) {
    const int32_t code = modes.EffectCodeOf(light.selectItem);
    // No usable code: leave the keyboard in the effect it already runs rather
    // than send a truncated or made-up code.
    const uint8_t byte = (code < 0 || code > 0xFF) ? kept : uint8_t(code);
    return IsHostDrivenCode(byte) ? uint8_t(kHostDrivenEffectByte) : byte;
}

} // namespace

KeyboardSettingsRecord KeyboardSettingsRecord::FromBytes(std::span<const uint8_t, kSize> bytes) {
    return RecordFromBytes<KeyboardSettingsRecord>(bytes);
}

KeyboardSettingsRecord::Bytes KeyboardSettingsRecord::ToBytes() const {
    return RecordToBytes(*this);
}

std::optional<uint16_t> KeyboardRecordOffset(int profile) {
    return RecordOffset(profile, int(kRecordSize), int(kRecordSize));
}

KeyboardSettingsRecord EncodeSettingsRecord(const LightInfoRecord& light, const KeyboardSystemRecord& system,
                                            const DeviceNameLists& modes, const KeyboardSettingsRecord& last,
                                            uint8_t byteZero) {
    KeyboardSettingsRecord record = last;
    record.activeProfile = byteZero;
    record.effectCode = EffectByte(light, modes, last.effectCode);
    record.brightness = light.light;
    record.speedInverse = FlipSpeed(light.speed);
    record.direction = light.fx;
    record.colourCycling = light.multiColor;
    record.red = light.red;
    record.green = light.green;
    record.blue = light.blue;
    record.cleared = 0;
    record.zzccMode = light.ledMode;
    record.wFlag = FlagByte(system.wFlag);
    record.key6Flag = FlagByte(system.key6Flag);
    record.winFlag = FlagByte(system.winFlag);
    record.pollingRate = ReportRateByte(system.pollingRate);
    record.wheelMode = uint8_t(system.wheelMode);
    record.customGroup = light.customGroup;
    record.reserved = 0;
    return record;
}

DecodedKeyboardSettings DecodeSettingsRecord(const KeyboardSettingsRecord& read, uint8_t activeProfile,
                                             const LightInfoRecord& currentLight,
                                             const KeyboardSystemRecord& currentSystem,
                                             const DeviceNameLists& modes) {
    DecodedKeyboardSettings out;

    // Byte 1 stays the device's code in the kept copy, so that a later write
    // for a mode without a code sends back what the keyboard runs.
    out.last = read;
    out.last.activeProfile = activeProfile;
    out.last.cleared = 0;

    KeyboardSettingsImage& image = out.image;
    image.activeProfile = activeProfile;
    // 0xFE: the keyboard runs a host-driven effect; which one only the host knows.
    image.mode = read.effectCode == kHostDrivenEffectByte ? currentLight.selectItem
                                                          : ModeOfEffectByte(read.effectCode, modes);
    image.brightness = read.brightness;
    image.speed = FlipSpeed(read.speedInverse);
    image.direction = read.direction;
    image.colourCycling = read.colourCycling;
    image.red = read.red;
    image.green = read.green;
    image.blue = read.blue;
    image.zzccMode = read.zzccMode;
    image.customGroup = read.customGroup;

    out.light = currentLight;
    out.light.selectItem = image.mode;
    out.light.light = image.brightness;
    out.light.speed = image.speed;
    out.light.fx = image.direction;
    out.light.multiColor = image.colourCycling;
    out.light.red = image.red;
    out.light.green = image.green;
    out.light.blue = image.blue;
    out.light.ledMode = image.zzccMode;
    out.light.customGroup = image.customGroup;

    out.system = currentSystem;
    out.system.wFlag = read.wFlag;
    out.system.key6Flag = read.key6Flag;
    out.system.winFlag = read.winFlag;
    out.system.wheelMode = read.wheelMode;
    return out;
}

std::optional<ProfileEvent> ProfileEventOf(uint16_t code) {
    const unsigned kind = code >> 8;
    if (kind != 0x10 && kind != 0x11) {
        return std::nullopt;
    }
    ProfileEvent event;
    event.activeProfile = uint8_t(code & 0x0F);
    if (kind == 0x11) {
        event.recordByte = uint8_t((code >> 4) & 0x0F);
    }
    return event;
}

void ApplyProfileEvent(const ProfileEvent& event, KeyboardSettingsImage& image,
                       KeyboardSettingsRecord& last) {
    image.activeProfile = event.activeProfile;
    if (event.recordByte) {
        last.eventDetail = *event.recordByte;
    }
}

} // namespace velkor
