#pragma once
// CTolvanicUSBDevice: one physical device of the family for the whole run of
// the program, and the common base of the keyboard, mouse, mouse pad and
// headset classes.
//
// It owns the device's two transports (commands; events), its software
// lighting state (LED colour buffer, effect state, key levels, level ring),
// its light thread and its event threads. It does not derive from a toolkit
// control: it holds its page (the container built from the page layout whose
// class name picked this class) and receives the notifications of the
// controls inside it. The device list item's timers (DeviceListItem) drive it.
//
// The 46 virtual operations below keep their slot order; the base implements
// what every kind shares (software effects, LED buffer, key levels, function
// page switch, data paths) and leaves the rest empty for the kinds.
//
// Threads: every operation runs on the user-interface thread unless it says
// otherwise. The effects, the key-level operations and the LED buffer take the
// second lighting lock, so the light thread and the user-interface thread may
// call them at the same time.
#include "devices/DeviceLinks.h"
#include "devices/DeviceNameLists.h"
#include "devices/DeviceThread.h"
#include "devices/SupportedDevices.h"
#include "keys/KeyFunction.h"
#include "profiles/ProfileRecords.h"
#include "transport/DeviceTransport.h"
#include "ui/Notification.h"

#include <json/value.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

namespace ui {
class Control;
}
class DeviceListItem;

// The light record as the panels pass it: bytes 0..13 of four little-endian
// 32-bit words (word 3 carries bytes 12 and 13 only).
using LightInfoWords = std::array<uint32_t, 4>;
LightInfoRecord LightInfoFromWords(const LightInfoWords& words);
LightInfoWords LightInfoToWords(const LightInfoRecord& record);

// Per-LED state of the kinds' own effects.
using LedRecord = std::array<uint8_t, 14>;
// Key number -> byte (key position, light slot, ...).
using KeyMap = std::map<int, uint8_t>;
// Used-macro list: macro indexes in the order the keys first play them.
using MacroList = std::vector<int>;

// The level a key-level step leaves: `mode` 0, 29 (audio) or any other.
// Never below 0; 0 stays 0.
uint8_t NextKeyLevel(uint8_t level, int mode);

class CTolvanicUSBDevice : public ui::NotifyReceiver {
public:
    static constexpr std::string_view kClassName = "TolvanicUSBDevice";
    static constexpr int kKeyLevelCount = 170;
    static constexpr int kLevelRingSize = 23;
    static constexpr int kRingKeyCount = 9; // positions LightRingKeys lights in the base
    // Counts above this are refused (no model comes near it).
    static constexpr int kMaxCount = 1024;
    static constexpr uint32_t kLightThreadStopWaitMs = 1000;
    // Longest single wait of an event thread's read, so that it sees its stop event.
    static constexpr uint32_t kEventReadSliceMs = 50;
    // Wait of a light-thread pass while the command transport is closed.
    static constexpr uint32_t kClosedTransportWaitMs = 100;

    explicit CTolvanicUSBDevice(const DeviceServices& services);
    // Stops every thread. A kind whose thread hooks touch its own members must
    // call StopAllThreads() in its own destructor, before those members go.
    ~CTolvanicUSBDevice() override;
    CTolvanicUSBDevice(const CTolvanicUSBDevice&) = delete;
    CTolvanicUSBDevice& operator=(const CTolvanicUSBDevice&) = delete;

    // The class name the device reports to the toolkit.
    virtual std::string_view ClassName() const { return kClassName; }

    // ---- The virtual operations, in slot order ----

    // 1. Collects the key and light controls of the page: the "DeviceKeyButton"
    //    controls of the first "SelectPanel" named "key_" + n (n < key count) and
    //    "light_" + n (n < light count). With no page layout path: key and light
    //    counts 0, LED buffer and both lists empty.
    virtual void InitPage();
    // 2. Nothing in the base.
    virtual void ApplyLightState() {}
    // 3..9. Software effects: one frame into every LED of the LED colour buffer
    //    (any thread; nothing with no LEDs).
    virtual void EffectBreathing();
    virtual void EffectBreathingFixed();
    virtual void EffectStatic();
    virtual void EffectSpectrum();
    virtual void EffectBlink();
    virtual void EffectBlinkFixed();
    virtual void EffectOff();
    // 10. Paints every visible light control from the LED colour buffer and
    //     builds the scaled 3-bytes-per-LED frame (LastFrame); sends nothing.
    virtual void OutputLightFrame();
    // 11. Stores the packed LED (byte 0 red .. byte 3 level) when 0 <= index < light count. Any thread.
    virtual void SetLedColour(int index, uint32_t packed);
    // 12. The stored LED, 0 outside the buffer. Any thread.
    virtual uint32_t GetLedColour(int index) const;
    // 13. Full read of the device after it came (timer 1001). Nothing in the base.
    virtual void ReadDevice() {}
    // 14. Re-read after a device event (timer 1002). Nothing in the base.
    virtual void ReloadAfterEvent() {}
    // 15, 16. Reserved; nothing reaches them.
    virtual void Reserved1() {}
    virtual void Reserved2() {}
    // 17. Reads the power status (timer 1005). Base: nothing read, result 0.
    virtual int ReadPower() { return kResultNoReply; }
    // 18. The wireless link answers. Base: true.
    virtual bool IsLinkUp() { return true; }
    // 19. Loads the profile. Base: 0 (nothing loaded).
    virtual int LoadDeviceProfile() { return 0; }
    // 20..22. Page and profile upkeep. Nothing in the base.
    virtual void RefreshView() {}
    virtual void PruneKeyFunctions() {}
    virtual void RestoreDefaults() {}
    // 23. Used-macro list. Base: empty.
    virtual MacroList ListMacros() { return {}; }
    // 24..27. Writes to the device. Base: 0 (nothing written).
    virtual int WriteKeyAssignments(int bank, const std::vector<KeyListEntry>& keys);
    virtual int WriteProfileKeys(int bank);
    virtual int WriteMacros(const MacroList& macros);
    virtual int SendSettings(int slot, int value, int flag, int screenWidth, int screenHeight);
    // 28. Refreshes the name lists (NameLists) from the data files, the same
    //     way for every kind, in this order:
    //     1. macro names from the user data folder's macro index ("macro.config";
    //        "ornic_macro.config" for mouse pads and headsets): always emptied
    //        first, so a missing or damaged file leaves none;
    //     2. from the default data folder's "default_light.json", entry
    //        [model code]: the mode names, visible flags and effect codes, and
    //        the area names;
    //     3. the custom effect names from the user data folder's
    //        "ornic_light.config", entry [model code].
    //     A list whose source is missing keeps what it had. Nothing is written.
    virtual void ReloadPanels();
    // 29. Replaces the third key map.
    virtual void SetKeyMap(const KeyMap& map);
    // 30. One decay step of a key level (NextKeyLevel); keys outside 0..169 are ignored. Any thread.
    virtual void StepKeyLevel(int key, int mode);
    // 31. Ring positions 0..8 that are nonzero set the key level there to 255. Any thread.
    virtual void LightRingKeys();
    // 32. Nonzero: every ring entry moves one place up, the last becomes the
    //     first; zero: one place down, the first becomes the last. Any thread.
    virtual void RotateLevelRing(int direction);
    // 33. Zeroes every key level and the ring. Any thread.
    virtual void ClearKeyLevels();
    // 34. Stores the type and selects the pages of "device_function_switch" and
    //     "device_key_function_switch" for it (missing switches are skipped).
    virtual void SelectFunctionPage(int type);
    // 35. The last type given to SelectFunctionPage (1 at first).
    virtual int GetFunctionPage() const { return m_functionPage; }
    // 36..38. Profile files. Base: nothing; no path; nothing saved (false).
    virtual void SetupProfilePaths() {}
    virtual std::string GetDeviceProfilePath() const { return {}; }
    virtual bool SaveDeviceProfile() { return false; }
    // 39, 40. Model code of the device model table.
    virtual void SetModelCode(uint32_t code) { m_modelCode = code; }
    virtual uint32_t GetModelCode() const { return m_modelCode; }
    // 41. Stores the light record. Any thread may read it meanwhile.
    virtual void SetLightInfo(const LightInfoWords& words);
    // 42. Stores the audio light values and shows them in the light panel.
    virtual void SetAudioLightValues(const AudioLightValues& values);
    // 43. Reads the values back from the light panel (when it can tell), stores and returns them.
    virtual AudioLightValues GetAudioLightValues();
    // 44. Stores the index of the entry selected in the kind's editor.
    virtual void SelectEntry(int index) { m_selectedEntry = index; }
    // 45, 46. Audio levels and bands for the keyboard's audio effects. Nothing in the base.
    virtual void FeedAudioLevels(std::span<const int32_t> levels) { (void)levels; }
    virtual void SetAudioBands(std::span<const int32_t> values) { (void)values; }

    // ---- Set-up, in the order the main window calls them ----

    void SetPageLayoutPath(std::string path) { m_pageLayoutPath = std::move(path); }
    void SetMainWindow(DeviceMessageSink* window) { m_mainWindow = window; }
    // Resizes the key control list. False (nothing changes) outside 0..kMaxCount.
    bool SetKeyCount(int count);
    // Resizes the light control list, the LED colour buffer and the LED records
    // and zeroes them (also when the count is unchanged). False (nothing
    // changes) outside 0..kMaxCount. Safe while the light thread runs.
    bool SetLightCount(int count);
    void SetModelRow(int row) { m_modelRow = row; }
    // Also tells the power panel whether to show its battery area.
    void SetBatteryFlag(bool on);
    void SetTypeName(std::string name) { m_typeName = std::move(name); }
    // The panel learns the battery flag at once.
    void SetPowerPanel(PowerPanelLink* panel);
    // The row the device was last attached through; also sets the kind tag and the role from it.
    void SetIdentity(const SupportedDevice& row);
    void SetLightSettingsName(std::string name) { m_lightSettingsName = std::move(name); }
    // The page built from the page layout (null: no page). The page's window
    // must outlive the device when RegisterPageNotifications was called.
    void AttachPage(ui::Control* page) { m_page = page; }

    // ---- Further operations ----

    // Stores the flag; when it is set on a keyboard (kind tag 1), sends
    // TakeLightingControl. Returns that command's result, or 1 when nothing had to be sent.
    int SetLightControl(bool on);
    // Can be set only while the battery flag is set.
    void SetTrayFlag(bool on);
    void SetPictureFlag(bool on) { m_pictureFlag = on; }
    void SetLightPanel(LightPanelLink* panel) { m_lightPanel = panel; }
    void SetProfileBar(ui::Control* bar) { m_profileBar = bar; }
    // The selected profile (its file is the user data folder + identifier + ".Json").
    void SetProfileIdentifier(std::string identifier) { m_profileIdentifier = std::move(identifier); }
    const std::string& ProfileIdentifier() const { return m_profileIdentifier; }
    // Set by the item itself.
    void SetListItem(DeviceListItem* item) { m_listItem = item; }

    // dataHome + "/VELKOR01/" + type name + "/", each level created when missing.
    // Empty when the data home is not absolute, the type name is not a plain
    // file name, or a level cannot be created.
    std::string GetUserDataFolder() const;
    // programFolder + "/DefaultData/"; empty without a program folder.
    std::string GetDefaultDataFolder() const;
    // Default data folder + type name + ".Json"; empty when either is unusable.
    std::string GetDefaultProfilePath() const;

    // Receives the window's notifications and passes on (to OnPageNotify) only
    // those whose sender is a control of this page: its name, looked up inside
    // the page, finds the sender itself.
    void Notify(const ui::Notification& notification) final;
    // Adds the device to its page's window receivers. False without a page.
    bool RegisterPageNotifications();

    // Sends the main window a message: at once on the user-interface thread,
    // else posted to it (dropped when the device is gone by then).
    void NotifyMainWindow(uint32_t message, int64_t wParam, int64_t lParam);
    // Message 3331 for this device's list item.
    void ShowListItem(bool show) { NotifyMainWindow(kMessageShowDeviceItem, m_modelRow, show ? 1 : 0); }
    // Repaints the device picture (the key panel).
    void RepaintPicture();

    // ---- Threads ----

    // Starts the light thread (a running one is stopped first). It loops on a
    // 1 ms wait of its stop event; each pass waits 100 ms while the command
    // transport is closed, skips while synchronised lighting drives the LEDs,
    // else runs RunLightPass.
    bool StartLightThread();
    ThreadStopOutcome StopLightThread();
    bool LightThreadRunning() const { return m_lightThread.IsRunning(); }
    // Opens `path` on a channel of the event transport (closing it first) and
    // starts that channel's event thread, also when the open failed (the
    // thread then idles until the channel is marked open). True when opened.
    bool OpenEventChannel(const std::string& path, ChannelType channel);
    // Stops the channel's event thread (within its bound, traced) and waits
    // until it has ended, then closes the channel and clears its mark.
    void CloseEventChannel(ChannelType channel);
    bool StartEventThread(ChannelType channel);
    ThreadStopOutcome StopEventThread(ChannelType channel);
    bool EventThreadRunning(ChannelType channel) const;
    // Light thread first, then the event threads, each within its bound
    // (traced); then waits for any that overran, so none runs on afterwards.
    void StopAllThreads();

    // ---- State ----

    DeviceTransport& CommandTransport() { return m_command; }
    DeviceTransport& EventTransport() { return m_events; }
    bool TransportOpen() const { return m_command.IsOpen(); }
    bool OnReceiver() const { return m_command.OnReceiver(); }
    const std::string& PageLayoutPath() const { return m_pageLayoutPath; }
    const std::string& TypeName() const { return m_typeName; }
    const std::string& LightSettingsName() const { return m_lightSettingsName; }
    uint32_t KindTag() const { return m_kindTag; }
    uint32_t Role() const { return m_role; }
    int KeyCount() const { return m_keyCount; }
    int LightCount() const { return m_lightCount; }
    int ModelRow() const { return m_modelRow; }
    int SelectedEntry() const { return m_selectedEntry; }
    bool BatteryFlag() const { return m_batteryFlag; }
    bool TrayFlag() const { return m_trayFlag; }
    bool LightControlFlag() const { return m_lightControl; }
    bool PictureFlag() const { return m_pictureFlag; }
    const SupportedDevice& Identity() const { return m_identity; }
    ui::Control* Page() const { return m_page; }
    ui::Control* KeyPanel() const { return m_keyPanel; }
    ui::Control* ProfileBar() const { return m_profileBar; }
    PowerPanelLink* PowerPanel() const { return m_powerPanel; }
    DeviceListItem* ListItem() const { return m_listItem; }
    const std::vector<ui::Control*>& KeyControls() const { return m_keyControls; }
    const std::vector<ui::Control*>& LightControls() const { return m_lightControls; }
    const KeyMap& ThirdKeyMap() const { return m_thirdKeyMap; }
    // The panels' name lists (ReloadPanels fills them). User-interface thread.
    const DeviceNameLists& NameLists() const { return m_nameLists; }
    DeviceNameLists& MutableNameLists() { return m_nameLists; }
    LightInfoRecord LightRecord() const;
    // Copies of the LED buffer, key levels and ring (any thread).
    std::vector<uint32_t> LedSnapshot() const;
    uint8_t KeyLevel(int key) const;
    std::array<uint8_t, kLevelRingSize> LevelRing() const;
    void SetRingEntry(int position, uint8_t value);
    void SetKeyLevel(int key, uint8_t level);
    // The software effects' state: position, colour index, blink on/off.
    uint8_t EffectPosition() const;
    uint8_t EffectColourIndex() const;
    bool BlinkOn() const;
    // The frame OutputLightFrame built last: 3 bytes per LED, scaled by the level.
    const std::vector<uint8_t>& LastFrame() const { return m_frame; }

protected:
    // The light thread's work for one pass (the kinds dispatch on their effect
    // here). Runs on the light thread; may wait only on `stop`. Base: nothing.
    virtual void RunLightPass(const StopEvent& stop) { (void)stop; }
    // An input report of an event channel whose code is not 0x401 (0 for a
    // release report). Runs on the event thread. Base: nothing.
    virtual void OnDeviceEvent(uint16_t code, ChannelType channel) {
        (void)code;
        (void)channel;
    }
    // A notification from a control of the page (the notification map).
    virtual void OnPageNotify(const ui::Notification& notification) { (void)notification; }
    virtual std::string_view LightThreadExitTrace() const;
    virtual std::string_view EventThreadExitTrace() const;
    // Stop wait of an event thread: 1000 ms in the base (the keyboard and the mouse use 500 ms).
    virtual uint32_t EventThreadStopWaitMs() const { return 1000; }
    // Delay of timer 1002 after event 0x401: 500 ms in the base (keyboard and mouse 50 ms).
    virtual int ResyncDelayMs() const { return 500; }

    // Fills every LED with one colour and level; the caller holds m_ledLock.
    void FillLeds(uint32_t packed);
    // The light record while m_ledLock is held.
    const LightInfoRecord& LockedLightRecord() const { return m_lightRecord; }

    const DeviceServices m_services;
    DeviceTransport m_command;
    DeviceTransport m_events;

    // The two lighting locks: the first around light-list and effect-step
    // playback, the second around the per-LED state (LED buffer, LED records,
    // effect state, key levels, ring, light record) and its output.
    mutable std::recursive_mutex m_lightListLock;
    mutable std::recursive_mutex m_ledLock;

    // Flips the blink phase once the interval of `speed` has passed since the
    // last flip; true when it flipped. Call with m_ledLock held.
    bool StepBlinkPhase(uint8_t speed);
    // One step along the breathing curve; true when a new breath begins.
    // BreathingLevel is the curve at the current step times the brightness.
    // Both with m_ledLock held.
    bool StepBreathingPhase();
    uint8_t BreathingLevel() const;

    // Guarded by m_ledLock.
    std::vector<uint32_t> m_leds;
    std::vector<LedRecord> m_ledRecords;
    LightInfoRecord m_lightRecord;
    uint8_t m_effectPosition = 0;
    uint8_t m_effectColourIndex = 0;
    uint8_t m_blinkOn = 0;
    uint32_t m_lastBlinkMs = 0;
    std::array<uint8_t, kKeyLevelCount> m_keyLevels{};
    std::array<uint8_t, kLevelRingSize> m_levelRing{};

    // Filled by the kinds: key position and light slot of a key.
    KeyMap m_keyPositionMap;
    KeyMap m_keyLightMap;
    // Working documents of the kinds.
    std::array<Json::Value, 3> m_documents;

private:
    bool StartEventThreadFor(int index);
    void LightThreadLoop(const StopEvent& stop);
    void EventThreadLoop(const StopEvent& stop, ChannelType channel);
    // Starts timer 1002 on the list item, from any thread.
    void RequestResync();
    ui::Control* FindSwitch(ui::Control*& cache, std::string_view name);

    std::string m_pageLayoutPath;
    DeviceNameLists m_nameLists;
    std::string m_lightSettingsName;
    std::string m_typeName;
    std::atomic<uint32_t> m_kindTag{0};
    uint32_t m_role = 0;
    int m_keyCount = 0;
    int m_lightCount = 0;
    int m_modelRow = -1;
    int m_selectedEntry = -1;
    int m_functionPage = 1;
    std::vector<ui::Control*> m_keyControls;
    std::vector<ui::Control*> m_lightControls;
    KeyMap m_thirdKeyMap;
    std::atomic<bool> m_lightControl{true};
    std::atomic<bool> m_pictureFlag{true};
    std::atomic<bool> m_batteryFlag{false};
    std::atomic<bool> m_trayFlag{false};
    uint32_t m_modelCode = 0;
    AudioLightValues m_audioLightValues{};
    SupportedDevice m_identity;

    ui::Control* m_page = nullptr;
    ui::Control* m_keyPanel = nullptr;
    ui::Control* m_profileBar = nullptr;
    std::string m_profileIdentifier;
    ui::Control* m_functionSwitch = nullptr;
    ui::Control* m_keyFunctionSwitch = nullptr;
    PowerPanelLink* m_powerPanel = nullptr;
    LightPanelLink* m_lightPanel = nullptr;
    DeviceListItem* m_listItem = nullptr;
    DeviceMessageSink* m_mainWindow = nullptr;
    bool m_notificationsRegistered = false;

    // Built by OutputLightFrame on the user-interface thread.
    std::vector<uint32_t> m_outputLeds;
    std::vector<uint8_t> m_frame;

    DeviceThread m_lightThread;
    std::array<DeviceThread, 2> m_eventThreads; // wired, receiver
    // Dies with the device: work posted for it checks it first.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace velkor
