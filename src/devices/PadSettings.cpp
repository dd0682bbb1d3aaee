#include "devices/PadSettings.h"

#include "devices/SettingsRecordRules.h"

#include <algorithm>
#include <cstring>

namespace velkor {

namespace {

constexpr long kReadStride = 28;
constexpr uint16_t kWriteStride = 64;

} // namespace

PadSettingsRecord PadSettingsRecord::FromBytes(std::span<const uint8_t, kSize> bytes) {
    return RecordFromBytes<PadSettingsRecord>(bytes);
}

PadSettingsRecord::Bytes PadSettingsRecord::ToBytes() const {
    return RecordToBytes(*this);
}

std::optional<uint16_t> PadReadOffset(int profile) {
    return RecordOffset(profile, int(kReadStride), int(PadSettingsRecord::kSize));
}

std::optional<uint16_t> PadWriteOffset(int slot) {
    if (slot != 0) {
        return std::nullopt;
    }
    return uint16_t(slot * kWriteStride);
}

PadSettingsImage DecodePadRecord(const PadSettingsRecord& read, uint8_t activeProfile,
                                 const DeviceNameLists& modes) {
    PadSettingsImage image;
    image.activeProfile = activeProfile;
    image.mode = ModeOfEffectByte(read.effectCode, modes);
    image.brightness = read.brightness;
    image.speed = FlipSpeed(read.speedInverse);
    image.direction = read.direction;
    image.colourCycling = read.colourCycling;
    image.red = read.red;
    image.green = read.green;
    image.blue = read.blue;
    std::copy(std::begin(read.padOwn), std::end(read.padOwn), image.padOwn.begin());
    return image;
}

PadSettingsRecord EncodePadRecord(const PadSettingsImage& image, uint8_t selectItem,
                                  const DeviceNameLists& modes) {
    PadSettingsRecord r;
    r.activeProfile = image.activeProfile;
    const int mode = selectItem >= kPadModeLimit ? 0 : selectItem;
    const int32_t code = modes.EffectCodeOf(mode);
    // Without a code for the position (no mode list, a shorter one, or a
    // code that is no byte) the position itself is the best guess.
    r.effectCode = code >= 0 && code <= 0xFF ? uint8_t(code) : uint8_t(mode);
    r.brightness = image.brightness;
    r.speedInverse = FlipSpeed(image.speed);
    r.direction = image.direction;
    r.colourCycling = image.colourCycling;
    r.red = image.red;
    r.green = image.green;
    r.blue = image.blue;
    std::copy(image.padOwn.begin(), image.padOwn.end(), std::begin(r.padOwn));
    return r;
}

void TakeProfileLighting(PadSettingsImage& image, const LightInfoRecord& light) {
    image.mode = light.selectItem;
    image.brightness = light.light;
    image.speed = light.speed;
    image.colourCycling = light.multiColor;
    image.red = light.red;
    image.green = light.green;
    image.blue = light.blue;
}

void TakePadOwnBytes(PadSettingsImage& image, const PadSettingsImage& fromPad) {
    image.activeProfile = fromPad.activeProfile;
    image.direction = fromPad.direction;
    image.padOwn = fromPad.padOwn;
}

} // namespace velkor
