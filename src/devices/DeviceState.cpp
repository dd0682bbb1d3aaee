#include "devices/DeviceState.h"

#include "devices/LightTables.h"

namespace velkor {

LightInfoRecord LightInfoFromWords(const LightInfoWords& words) {
    uint8_t bytes[16] = {};
    for (size_t w = 0; w < words.size(); ++w) {
        for (size_t b = 0; b < 4; ++b) {
            bytes[w * 4 + b] = uint8_t(words[w] >> (8 * b));
        }
    }
    LightInfoRecord record;
    record.selectItem = bytes[0];
    record.light = bytes[1];
    record.speed = bytes[2];
    record.fx = bytes[3];
    record.multiColor = bytes[4];
    record.red = bytes[5];
    record.green = bytes[6];
    record.blue = bytes[7];
    record.reserved[0] = bytes[8];
    record.reserved[1] = bytes[9];
    record.reserved[2] = bytes[10];
    record.ledMode = bytes[11];
    record.customGroup = bytes[12];
    record.oldLedMode = bytes[13];
    return record;
}

LightInfoWords LightInfoToWords(const LightInfoRecord& r) {
    const uint8_t bytes[16] = {
        r.selectItem,  r.light,       r.speed,       r.fx,      r.multiColor,  r.red,        r.green, r.blue,
        r.reserved[0], r.reserved[1], r.reserved[2], r.ledMode, r.customGroup, r.oldLedMode, 0,       0};
    LightInfoWords words{};
    for (size_t w = 0; w < words.size(); ++w) {
        for (size_t b = 0; b < 4; ++b) {
            words[w] |= uint32_t(bytes[w * 4 + b]) << (8 * b);
        }
    }
    return words;
}

void DeviceState::Tell(StateChange change) const {
    for (const Observer& observer : m_observers) {
        observer(change);
    }
}

void DeviceState::SetIdentity(const SupportedDevice& row) {
    m_identity = row;
    m_kindTag = ClassOfKind(row.kind);
    m_role = row.role;
}

void DeviceState::SetLightCount(int count) {
    m_leds.With([count](LedFrame& frame) { frame.Resize(size_t(count)); });
    m_lightCount = count;
    m_frameLeds.assign(size_t(count), 0);
    m_frame.assign(size_t(count) * 3, 0);
}

void DeviceState::SetBatteryFlag(bool on) {
    m_batteryFlag = on;
    if (!on) {
        m_trayFlag = false;
    }
    Tell(StateChange::Battery);
}

bool DeviceState::SetLightControlFlag(bool on) {
    if (m_lightControl.exchange(on) == on) {
        return false;
    }
    Tell(StateChange::LightControl);
    return true;
}

void DeviceState::SetPictureFlag(bool on) {
    if (m_pictureFlag.exchange(on) != on) {
        Tell(StateChange::Picture);
    }
}

void DeviceState::StoreLightInfo(const LightInfoWords& words) {
    const LightInfoRecord record = LightInfoFromWords(words);
    const bool effectChanged = m_leds.With([&](LedFrame& frame) {
        const bool changed = frame.light.selectItem != record.selectItem;
        frame.light = record;
        return changed;
    });
    if (effectChanged) {
        Tell(StateChange::Effect); // an effect may stream its frames, or start a renderer
    }
}

LightInfoRecord DeviceState::LightRecord() const {
    return m_leds.With([](const LedFrame& frame) { return frame.light; });
}

void DeviceState::SetLedColour(int index, uint32_t packed) {
    m_leds.With([&](LedFrame& frame) { frame.SetLed(index, packed); });
}

uint32_t DeviceState::GetLedColour(int index) const {
    return m_leds.With([&](const LedFrame& frame) { return frame.Led(index); });
}

void DeviceState::EffectBreathingFixed() {
    m_leds.With([](LedFrame& frame) { leds::BreathingFixed(frame); });
}

void DeviceState::EffectSpectrum() {
    m_leds.With([](LedFrame& frame) { leds::Spectrum(frame); });
}

void DeviceState::EffectBlink() {
    const uint32_t now = m_clock.NowMs();
    m_leds.With([now](LedFrame& frame) { leds::Blink(frame, now); });
}

void DeviceState::EffectBlinkFixed() {
    const uint32_t now = m_clock.NowMs();
    m_leds.With([now](LedFrame& frame) { leds::BlinkFixed(frame, now); });
}

void DeviceState::EffectOff() {
    m_leds.With([](LedFrame& frame) { leds::Off(frame); });
}

void DeviceState::StepKeyLevel(int key, int mode) {
    m_leds.With([&](LedFrame& frame) { leds::StepKeyLevel(frame, key, mode); });
}

void DeviceState::LightRingKeys() {
    m_leds.With([](LedFrame& frame) { leds::LightRingKeys(frame); });
}

void DeviceState::RotateLevelRing(int direction) {
    m_leds.With([&](LedFrame& frame) { leds::RotateLevelRing(frame, direction); });
}

void DeviceState::ClearKeyLevels() {
    m_leds.With([](LedFrame& frame) { leds::ClearKeyLevels(frame); });
}

const std::vector<uint32_t>& DeviceState::BuildFrame() {
    // Copy first: the light thread may be mid-frame, and the buttons are
    // painted without holding its lock.
    m_leds.With([this](const LedFrame& frame) { m_frameLeds.assign(frame.leds.begin(), frame.leds.end()); });
    m_frame.resize(m_frameLeds.size() * 3);
    for (size_t n = 0; n < m_frameLeds.size(); ++n) {
        const uint32_t led = m_frameLeds[n];
        const uint8_t level = LedLevel(led);
        m_frame[3 * n] = ScaleChannel(LedRed(led), level);
        m_frame[3 * n + 1] = ScaleChannel(LedGreen(led), level);
        m_frame[3 * n + 2] = ScaleChannel(LedBlue(led), level);
    }
    return m_frameLeds;
}

} // namespace velkor
