#pragma once
// Synchronised lighting ("same mode"): one effect rendered in software in
// lock step into the LED buffers of every device whose synchronised-lighting
// flag is set, by the lighting synchronisation thread (the main window's
// thread slot 8).
//
// The state (effect, brightness, speed, direction, 7-colour, colour) is copied
// from the device on which same mode was pressed; the thread keeps its own
// positions (colour cycle, breathing phase and colour, blink state and colour),
// which start at 0 with the blink off and persist for the life of the object.
//
// The thread walks device lists that the user-interface thread hands it
// (SetDevices / RefreshDevices); a list change waits until a running pass is
// over, so a device taken out of the lists is never touched afterwards.
#include "devices/DeviceLinks.h"
#include "devices/DeviceThread.h"
#include "devices/LightTables.h"
#include "lighting/LightCommit.h"
#include "lighting/LightModel.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

namespace velkor {

class CTolvanicUSBDevice;

// What same mode copies from its source device.
struct SyncParameters {
    SyncEffect effect = SyncEffect::Breathing;
    uint8_t light = 0;
    uint8_t speed = 0;
    uint8_t fx = 0;
    uint8_t multiColor = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const SyncParameters&) const = default;
};

// The thread's positions.
struct SyncPhase {
    uint8_t cyclePosition = 0;
    uint8_t breathPhase = 0;
    uint8_t breathColour = 0;
    uint8_t blinkColour = 0;
    bool blinkOn = false;
    uint32_t lastToggleMs = 0;
    uint32_t ticks = 0;
};

inline constexpr std::string_view kTraceSyncThreadExit = "同步灯光线程设定退出";

class SyncLighting {
public:
    // Keyboards, mice, mouse pads, headsets.
    using DeviceLists = std::array<std::vector<CTolvanicUSBDevice*>, 4>;
    static constexpr uint32_t kActiveWaitMs = 1;
    static constexpr uint32_t kIdleWaitMs = 1000;
    static constexpr uint32_t kStopWaitMs = 1000;

    // The clock must outlive the object.
    explicit SyncLighting(const TickClock& clock) : m_clock(clock) {}
    // Stops the thread (and waits for it).
    ~SyncLighting();
    SyncLighting(const SyncLighting&) = delete;
    SyncLighting& operator=(const SyncLighting&) = delete;

    // --- user-interface thread ---

    // Replaces the lists the thread walks.
    void SetDevices(DeviceLists lists);
    // Takes the lists from `devicesOfClass` (kinds 1, 2, 3, 7).
    void RefreshDevices(const DevicesOfClassFn& devicesOfClass);
    void ClearDevices() { SetDevices({}); }
    void SetParameters(const SyncParameters& parameters);
    SyncParameters Parameters() const;

    // Starts the thread (a running one is stopped first): a 1 ms wait on its
    // stop event per pass while some open device is synchronised, a 1000 ms
    // wait otherwise. False when it could not be started.
    bool Start();
    // Sets the stop event and waits up to `waitMs`; the thread traces
    // "同步灯光线程设定退出" as it ends.
    ThreadStopOutcome Stop(uint32_t waitMs = kStopWaitMs);
    bool IsRunning() const { return m_thread.IsRunning(); }

    // --- the thread's work, callable directly (tests, benchmarks) ---

    // Restarts the tick counting at `now` (the thread does so as it starts).
    void ResetTicks(uint32_t now);
    // One pass after the short wait: false (nothing done) when no open device
    // is synchronised; else counts a tick when more than 1 ms passed since the
    // last one and, once the ticks reach the speed's threshold, runs one step
    // of the effect and paints it.
    bool Pass(uint32_t now);
    SyncPhase Phase() const;

private:
    void ThreadBody(const StopEvent& stop);
    bool AnyActive() const;
    void Step(uint32_t now, const SyncParameters& p);
    void Paint(Rgb colour, uint8_t level);

    const TickClock& m_clock;
    // Guards everything below; the thread holds it for a whole pass.
    mutable std::mutex m_mutex;
    DeviceLists m_lists;
    SyncParameters m_parameters;
    SyncPhase m_phase;
    uint32_t m_lastTickMs = 0;
    DeviceThread m_thread;
};

} // namespace velkor
