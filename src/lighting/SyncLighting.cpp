#include "lighting/SyncLighting.h"

#include "devices/TolvanicUSBDevice.h"
#include "platform/Trace.h"

namespace velkor {

namespace {

constexpr uint8_t kBreathSteps = 128;
constexpr uint8_t kBreathColourStep = 16;
constexpr uint8_t kBlinkColourStep = 14;
// Paint order: mice, mouse pads, headsets, keyboards (list indexes).
constexpr size_t kPaintOrder[4] = {1, 2, 3, 0};

} // namespace

SyncLighting::~SyncLighting() {
    Stop(kStopWaitMs);
    m_thread.JoinStopped();
}

void SyncLighting::SetDevices(DeviceLists lists) {
    std::lock_guard lock(m_mutex);
    m_lists = std::move(lists);
}

void SyncLighting::RefreshDevices(const DevicesOfClassFn& devicesOfClass) {
    DeviceLists lists;
    if (devicesOfClass) {
        for (size_t i = 0; i < lists.size(); ++i) {
            lists[i] = devicesOfClass(kLightingClassKinds[i]);
        }
    }
    SetDevices(std::move(lists));
}

void SyncLighting::SetParameters(const SyncParameters& parameters) {
    std::lock_guard lock(m_mutex);
    m_parameters = parameters;
}

SyncParameters SyncLighting::Parameters() const {
    std::lock_guard lock(m_mutex);
    return m_parameters;
}

SyncPhase SyncLighting::Phase() const {
    std::lock_guard lock(m_mutex);
    return m_phase;
}

bool SyncLighting::Start() {
    return m_thread.Start([this](const StopEvent& stop) { ThreadBody(stop); }, kStopWaitMs);
}

ThreadStopOutcome SyncLighting::Stop(uint32_t waitMs) {
    return m_thread.Stop(waitMs);
}

void SyncLighting::ThreadBody(const StopEvent& stop) {
    ResetTicks(m_clock.NowMs());
    while (!stop.WaitFor(kActiveWaitMs)) {
        if (!Pass(m_clock.NowMs()) && stop.WaitFor(kIdleWaitMs)) {
            break;
        }
    }
    Trace(kTraceSyncThreadExit);
}

void SyncLighting::ResetTicks(uint32_t now) {
    std::lock_guard lock(m_mutex);
    m_lastTickMs = now;
    m_phase.ticks = 0;
}

bool SyncLighting::AnyActive() const {
    for (const auto& list : m_lists) {
        for (CTolvanicUSBDevice* device : list) {
            if (device->Driver().TransportOpen() && IsSynchronised(*device)) {
                return true;
            }
        }
    }
    return false;
}

bool SyncLighting::Pass(uint32_t now) {
    std::lock_guard lock(m_mutex);
    if (!AnyActive()) {
        return false;
    }
    if (now - m_lastTickMs > 1) {
        m_lastTickMs = now;
        ++m_phase.ticks;
    }
    if (m_phase.ticks >= SyncStepTicks(m_parameters.speed)) {
        m_phase.ticks = 0;
        Step(now, m_parameters);
    }
    return true;
}

void SyncLighting::Step(uint32_t now, const SyncParameters& p) {
    const uint8_t level = BrightnessLevel(p.light);
    switch (p.effect) {
    case SyncEffect::Cycle:
        m_phase.cyclePosition = StepPhase(true, uint8_t(kWheelHues), m_phase.cyclePosition, 1);
        Paint(kColourWheel[m_phase.cyclePosition], level);
        break;
    case SyncEffect::Breathing: {
        m_phase.breathPhase = StepPhase(p.fx != 0, kBreathSteps, m_phase.breathPhase, 1);
        Rgb colour{p.red, p.green, p.blue};
        if (p.multiColor != 0) {
            if (m_phase.breathPhase <= 1) {
                m_phase.breathColour =
                    StepPhase(true, uint8_t(kWheelHues), m_phase.breathColour, kBreathColourStep);
            }
            colour = kColourWheel[m_phase.breathColour];
        }
        Paint(colour, uint8_t((level * kBreathingCurve[m_phase.breathPhase]) >> 8));
        break;
    }
    case SyncEffect::Blink:
        if (now - m_phase.lastToggleMs >= uint32_t(SyncStepTicks(p.speed)) * kBlinkUnitMs) {
            m_phase.blinkOn = !m_phase.blinkOn;
            m_phase.lastToggleMs = now;
            const int next = m_phase.blinkColour + kBlinkColourStep;
            m_phase.blinkColour = next >= int(kWheelHues) ? 0 : uint8_t(next);
        }
        if (m_phase.blinkOn) {
            Paint(p.multiColor != 0 ? kColourWheel[m_phase.blinkColour] : Rgb{p.red, p.green, p.blue}, level);
        } else {
            Paint({}, 0);
        }
        break;
    case SyncEffect::Steady:
        Paint({p.red, p.green, p.blue}, level);
        break;
    case SyncEffect::Off:
        Paint({}, 0);
        break;
    }
}

void SyncLighting::Paint(Rgb colour, uint8_t level) {
    const uint32_t packed = PackLed(colour, level);
    for (size_t list : kPaintOrder) {
        for (CTolvanicUSBDevice* device : m_lists[list]) {
            if (!IsSynchronised(*device)) {
                continue;
            }
            const int count = device->State().LightCount();
            for (int led = 0; led < count; ++led) {
                device->State().SetLedColour(led, packed);
            }
        }
    }
}

} // namespace velkor
