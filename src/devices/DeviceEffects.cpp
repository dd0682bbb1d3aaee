// The software effects, the LED colour buffer, the key levels and the light
// output of CTolvanicUSBDevice.
#include "devices/LightTables.h"
#include "devices/TolvanicUSBDevice.h"
#include "ui/Control.h"

#include <algorithm>

namespace velkor {

namespace {

Rgb RecordColour(const LightInfoRecord& record) {
    return {record.red, record.green, record.blue};
}

// The breathing colour index: +16 per breath, back to 0 only once past 192
// (index 192 shows the colour of 0).
uint8_t NextBreathingColour(uint8_t index) {
    const int next = index + 16;
    return next > 192 ? 0 : uint8_t(next);
}

// The blink colour position: +16 per toggle, back to 0 once it reaches 192.
uint8_t NextBlinkColour(uint8_t index) {
    const int next = index + 16;
    return next >= 192 ? 0 : uint8_t(next);
}

// Index into the four fixed colours: 0, 1, 2, 3, 0 ... (a position left by
// another effect starts again at 0).
uint8_t NextFixedColour(uint8_t index) {
    return index >= 3 ? 0 : uint8_t(index + 1);
}

} // namespace

uint8_t NextKeyLevel(uint8_t level, int mode) {
    if (mode == 29) {
        // The audio effect's schedule, its tests taken as magnitudes: each
        // decrement is no larger than the smallest level it applies to, so a
        // level only falls towards 0 and never wraps below it.
        struct Step {
            uint8_t atLeast;
            uint8_t minus;
        };
        static constexpr Step kSteps[] = {{0x90, 45}, {0x80, 40}, {0x70, 35}, {0x60, 30}, {0x50, 25},
                                          {0x40, 20}, {0x20, 10}, {17, 5},    {1, 1}};
        for (const Step& step : kSteps) {
            if (level >= step.atLeast) {
                return uint8_t(level - step.minus);
            }
        }
        return 0;
    }
    // Each bit test covers levels at least as large as its decrement.
    if ((level & 0x80) != 0) {
        return uint8_t(level - 40);
    }
    if ((level & 0x40) != 0) {
        return uint8_t(level - 30);
    }
    if ((level & 0x20) != 0) {
        return uint8_t(level - (mode == 0 ? 15 : 10));
    }
    if (level > 16) {
        return uint8_t(level - 8);
    }
    return level > 0 ? uint8_t(level - 1) : 0;
}

void CTolvanicUSBDevice::FillLeds(uint32_t packed) {
    std::fill(m_leds.begin(), m_leds.end(), packed);
}

bool CTolvanicUSBDevice::StepBreathingPhase() {
    m_effectPosition = StepPhase(m_lightRecord.fx != 0, 128, m_effectPosition, 1);
    return m_effectPosition == 0;
}

uint8_t CTolvanicUSBDevice::BreathingLevel() const {
    return uint8_t((kBreathingCurve[m_effectPosition] * BrightnessLevel(m_lightRecord.light)) >> 8);
}

void CTolvanicUSBDevice::EffectBreathing() {
    std::lock_guard lock(m_ledLock);
    if (m_leds.empty()) {
        return;
    }
    const LightInfoRecord& r = m_lightRecord;
    if (StepBreathingPhase()) {
        m_effectColourIndex = NextBreathingColour(m_effectColourIndex);
    }
    const Rgb colour = r.multiColor != 0 ? kColourWheel[m_effectColourIndex] : RecordColour(r);
    FillLeds(PackLed(colour, BreathingLevel()));
}

void CTolvanicUSBDevice::EffectBreathingFixed() {
    std::lock_guard lock(m_ledLock);
    if (m_leds.empty()) {
        return;
    }
    if (StepBreathingPhase()) {
        m_effectColourIndex = NextFixedColour(m_effectColourIndex);
    }
    FillLeds(PackLed(FixedColour(m_effectColourIndex), BreathingLevel()));
}

void CTolvanicUSBDevice::EffectStatic() {
    std::lock_guard lock(m_ledLock);
    FillLeds(PackLed(RecordColour(m_lightRecord), BrightnessLevel(m_lightRecord.light)));
}

void CTolvanicUSBDevice::EffectSpectrum() {
    std::lock_guard lock(m_ledLock);
    if (m_leds.empty()) {
        return;
    }
    const LightInfoRecord& r = m_lightRecord;
    m_effectPosition = StepPhase(r.fx != 0, 192, m_effectPosition, 1);
    FillLeds(PackLed(kColourWheel[m_effectPosition], BrightnessLevel(r.light)));
}

bool CTolvanicUSBDevice::StepBlinkPhase(uint8_t speed) {
    const uint32_t now = m_services.clock.NowMs();
    // Unsigned difference: correct across a wrap of the tick count.
    if (uint32_t(now - m_lastBlinkMs) < BlinkIntervalMs(speed)) {
        return false;
    }
    m_blinkOn = m_blinkOn != 0 ? 0 : 1;
    m_lastBlinkMs = now;
    return true;
}

void CTolvanicUSBDevice::EffectBlink() {
    std::lock_guard lock(m_ledLock);
    if (m_leds.empty()) {
        return;
    }
    const LightInfoRecord& r = m_lightRecord;
    if (StepBlinkPhase(r.speed)) {
        m_effectColourIndex = NextBlinkColour(m_effectColourIndex);
    }
    if (m_blinkOn == 0) {
        FillLeds(0);
        return;
    }
    const Rgb colour = r.multiColor != 0 ? kColourWheel[m_effectColourIndex] : RecordColour(r);
    FillLeds(PackLed(colour, BrightnessLevel(r.light)));
}

void CTolvanicUSBDevice::EffectBlinkFixed() {
    std::lock_guard lock(m_ledLock);
    if (m_leds.empty()) {
        return;
    }
    const LightInfoRecord& r = m_lightRecord;
    if (StepBlinkPhase(r.speed)) {
        m_effectColourIndex = NextFixedColour(m_effectColourIndex);
    }
    FillLeds(m_blinkOn != 0 ? PackLed(FixedColour(m_effectColourIndex), BrightnessLevel(r.light)) : 0);
}

void CTolvanicUSBDevice::EffectOff() {
    std::lock_guard lock(m_ledLock);
    FillLeds(0);
}

// ---- LED buffer ----

void CTolvanicUSBDevice::SetLedColour(int index, uint32_t packed) {
    std::lock_guard lock(m_ledLock);
    if (index >= 0 && size_t(index) < m_leds.size()) {
        m_leds[size_t(index)] = packed;
    }
}

uint32_t CTolvanicUSBDevice::GetLedColour(int index) const {
    std::lock_guard lock(m_ledLock);
    if (index >= 0 && size_t(index) < m_leds.size()) {
        return m_leds[size_t(index)];
    }
    return 0;
}

std::vector<uint32_t> CTolvanicUSBDevice::LedSnapshot() const {
    std::lock_guard lock(m_ledLock);
    return m_leds;
}

uint8_t CTolvanicUSBDevice::EffectPosition() const {
    std::lock_guard lock(m_ledLock);
    return m_effectPosition;
}

uint8_t CTolvanicUSBDevice::EffectColourIndex() const {
    std::lock_guard lock(m_ledLock);
    return m_effectColourIndex;
}

bool CTolvanicUSBDevice::BlinkOn() const {
    std::lock_guard lock(m_ledLock);
    return m_blinkOn != 0;
}

void CTolvanicUSBDevice::OutputLightFrame() {
    {
        // Copy first: the light thread may be mid-frame, and the controls are
        // painted without holding its lock.
        std::lock_guard lock(m_ledLock);
        m_outputLeds.assign(m_leds.begin(), m_leds.end());
    }
    m_frame.resize(m_outputLeds.size() * 3);
    for (size_t n = 0; n < m_outputLeds.size(); ++n) {
        const uint32_t led = m_outputLeds[n];
        const uint8_t level = LedLevel(led);
        m_frame[3 * n] = ScaleChannel(LedRed(led), level);
        m_frame[3 * n + 1] = ScaleChannel(LedGreen(led), level);
        m_frame[3 * n + 2] = ScaleChannel(LedBlue(led), level);
        ui::Control* control = n < m_lightControls.size() ? m_lightControls[n] : nullptr;
        if (control != nullptr && control->IsVisible()) {
            // Key buttons take 0xRRGGBB and the level separately.
            const uint32_t rgb = uint32_t(LedRed(led)) << 16 | uint32_t(LedGreen(led)) << 8 | LedBlue(led);
            control->SetLight(rgb, level);
            control->Invalidate();
        }
    }
}

// ---- Key levels and the level ring ----

void CTolvanicUSBDevice::StepKeyLevel(int key, int mode) {
    if (key < 0 || key >= kKeyLevelCount) {
        return;
    }
    std::lock_guard lock(m_ledLock);
    m_keyLevels[size_t(key)] = NextKeyLevel(m_keyLevels[size_t(key)], mode);
}

void CTolvanicUSBDevice::LightRingKeys() {
    std::lock_guard lock(m_ledLock);
    for (size_t i = 0; i < size_t(kRingKeyCount); ++i) {
        if (m_levelRing[i] != 0) {
            m_keyLevels[i] = 255;
        }
    }
}

void CTolvanicUSBDevice::RotateLevelRing(int direction) {
    std::lock_guard lock(m_ledLock);
    if (direction != 0) {
        std::rotate(m_levelRing.rbegin(), m_levelRing.rbegin() + 1, m_levelRing.rend());
    } else {
        std::rotate(m_levelRing.begin(), m_levelRing.begin() + 1, m_levelRing.end());
    }
}

void CTolvanicUSBDevice::ClearKeyLevels() {
    std::lock_guard lock(m_ledLock);
    m_keyLevels.fill(0);
    m_levelRing.fill(0);
}

uint8_t CTolvanicUSBDevice::KeyLevel(int key) const {
    if (key < 0 || key >= kKeyLevelCount) {
        return 0;
    }
    std::lock_guard lock(m_ledLock);
    return m_keyLevels[size_t(key)];
}

void CTolvanicUSBDevice::SetKeyLevel(int key, uint8_t level) {
    if (key < 0 || key >= kKeyLevelCount) {
        return;
    }
    std::lock_guard lock(m_ledLock);
    m_keyLevels[size_t(key)] = level;
}

std::array<uint8_t, CTolvanicUSBDevice::kLevelRingSize> CTolvanicUSBDevice::LevelRing() const {
    std::lock_guard lock(m_ledLock);
    return m_levelRing;
}

void CTolvanicUSBDevice::SetRingEntry(int position, uint8_t value) {
    if (position < 0 || position >= kLevelRingSize) {
        return;
    }
    std::lock_guard lock(m_ledLock);
    m_levelRing[size_t(position)] = value;
}

} // namespace velkor
