#pragma once
// The state model of one device: what the program knows of it as values —
// its identity and counts, its flags, the LED colour buffer with the light
// record, the frame last built from it, the key map, the selected entry and
// profile, the audio light values. It changes only through its operations and
// tells its observers what changed.
//
// Threads: the LED state (Leds() and the operations on LEDs, key levels and
// the light record) and the flags may be used from any thread; everything
// else is set on the user-interface thread during set-up and read anywhere
// after. Observers are added before any thread starts and are called on the
// thread that made the change.
#include "devices/DeviceLinks.h"
#include "devices/LedState.h"
#include "devices/SupportedDevices.h"
#include "profiles/ProfileRecords.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace velkor {

// The light record as the panels pass it: bytes 0..13 of four little-endian
// 32-bit words (word 3 carries bytes 12 and 13 only).
using LightInfoWords = std::array<uint32_t, 4>;
LightInfoRecord LightInfoFromWords(const LightInfoWords& words);
LightInfoWords LightInfoToWords(const LightInfoRecord& record);

// Key number -> byte.
using KeyMap = std::map<int, uint8_t>;

// What an observer hears.
enum class StateChange {
    Effect,       // the light record's effect changed
    LightControl, // the light-control flag changed
    Picture,      // the picture flag changed
    Battery,      // the battery flag was set (also when unchanged)
};

class DeviceState {
public:
    using Observer = std::function<void(StateChange change)>;

    // `clock` times the blinking effects; it must outlive the state.
    explicit DeviceState(const TickClock& clock, DeviceClass kindTag = DeviceClass::None)
        : m_clock(clock), m_kindTag(kindTag) {}
    DeviceState(const DeviceState&) = delete;
    DeviceState& operator=(const DeviceState&) = delete;

    // Before any thread starts.
    void Observe(Observer observer) { m_observers.push_back(std::move(observer)); }

    // ---- Identity ----

    // The row the device was last attached through; also sets the kind tag
    // (the class of its kind) and the role from it.
    void SetIdentity(const SupportedDevice& row);
    const SupportedDevice& Identity() const { return m_identity; }
    DeviceClass KindTag() const { return m_kindTag; }
    uint32_t Role() const { return m_role; }
    void SetModelRow(int row) { m_modelRow = row; }
    int ModelRow() const { return m_modelRow; }
    void SetModelCode(uint32_t code) { m_modelCode = code; }
    uint32_t GetModelCode() const { return m_modelCode; }
    int KeyCount() const { return m_keyCount; }
    int LightCount() const { return m_lightCount; }
    // The key count (the caller checked the bounds).
    void SetKeyCount(int count) { m_keyCount = count; }
    // Resizes the LED colour buffer, the LED records and the frame to `count`
    // and zeroes them (also when unchanged). Safe while the light thread runs.
    void SetLightCount(int count);

    // ---- Flags (any thread) ----

    // Also clears the tray flag when off; observers hear Battery.
    void SetBatteryFlag(bool on);
    bool BatteryFlag() const { return m_batteryFlag; }
    // The battery level of the last power status read (0..100), -1 before
    // the first; the page, the device list and the bus all show this one.
    void SetBatteryPercent(int percent) { m_batteryPercent = percent; }
    int BatteryPercent() const { return m_batteryPercent; }
    // Can be set only while the battery flag is set.
    void SetTrayFlag(bool on) { m_trayFlag = on && m_batteryFlag; }
    bool TrayFlag() const { return m_trayFlag; }
    // True when the flag changed (observers heard LightControl).
    bool SetLightControlFlag(bool on);
    bool LightControlFlag() const { return m_lightControl; }
    void SetPictureFlag(bool on);
    bool PictureFlag() const { return m_pictureFlag; }
    // What the device's settings writes are built from was read since it
    // came (its record, layout or profile, as its kind needs): until then the
    // device is not offered, and its kind writes no settings record.
    void SetSettingsRead(bool read) { m_settingsRead = read; }
    bool SettingsRead() const { return m_settingsRead; }

    // ---- Lighting (any thread) ----

    // The device's lighting state; every access takes its lock.
    LedState& Leds() { return m_leds; }
    const LedState& Leds() const { return m_leds; }
    // Stores the light record; observers hear Effect when its effect changed.
    void StoreLightInfo(const LightInfoWords& words);
    LightInfoRecord LightRecord() const;
    // The packed LED (byte 0 red .. byte 3 level), stored when 0 <= index <
    // light count; reads 0 outside.
    void SetLedColour(int index, uint32_t packed);
    uint32_t GetLedColour(int index) const;
    // Software effects no kind replaces: one frame into every LED.
    void EffectBreathingFixed();
    void EffectSpectrum();
    void EffectBlink();
    void EffectBlinkFixed();
    void EffectOff();
    // Key levels and the level ring: one decay step of a key, the ring
    // positions lit, the ring turned, everything back to 0.
    void StepKeyLevel(int key, int mode);
    void LightRingKeys();
    void RotateLevelRing(int direction);
    void ClearKeyLevels();

    // ---- The frame (user-interface thread) ----

    // Copies the LED colour buffer (so that painting holds no lock) and builds
    // from it the frame of 3 bytes per LED, each channel scaled by the level.
    // Returns the copy.
    const std::vector<uint32_t>& BuildFrame();
    // The frame BuildFrame built last.
    const std::vector<uint8_t>& LastFrame() const { return m_frame; }

    // ---- Editors and profile (user-interface thread) ----

    void SetKeyMap(const KeyMap& map) { m_keyMap = map; }
    const KeyMap& GetKeyMap() const { return m_keyMap; }
    void SetSelectedEntry(int index) { m_selectedEntry = index; }
    int SelectedEntry() const { return m_selectedEntry; }
    // The selected profile (its file is the user data folder + identifier + ".Json").
    void SetProfileIdentifier(std::string identifier) { m_profileIdentifier = std::move(identifier); }
    const std::string& ProfileIdentifier() const { return m_profileIdentifier; }
    void SetAudioLightValues(const AudioLightValues& values) { m_audioLightValues = values; }
    const AudioLightValues& AudioLights() const { return m_audioLightValues; }

private:
    void Tell(StateChange change) const;

    const TickClock& m_clock;
    std::vector<Observer> m_observers;
    LedState m_leds;
    SupportedDevice m_identity;
    std::atomic<DeviceClass> m_kindTag;
    uint32_t m_role = 0;
    int m_modelRow = -1;
    uint32_t m_modelCode = 0;
    int m_keyCount = 0;
    std::atomic<int> m_lightCount{0};
    std::atomic<bool> m_batteryFlag{false};
    std::atomic<int> m_batteryPercent{-1};
    std::atomic<bool> m_trayFlag{false};
    std::atomic<bool> m_lightControl{true};
    std::atomic<bool> m_pictureFlag{true};
    std::atomic<bool> m_settingsRead{false};
    KeyMap m_keyMap;
    int m_selectedEntry = -1;
    std::string m_profileIdentifier;
    AudioLightValues m_audioLightValues{};
    // Sized by SetLightCount so that BuildFrame never allocates.
    std::vector<uint32_t> m_frameLeds;
    std::vector<uint8_t> m_frame;
};

} // namespace velkor
