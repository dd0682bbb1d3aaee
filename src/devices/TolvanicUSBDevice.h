#pragma once
// CTolvanicUSBDevice: one physical device of the family for the whole run of
// the program, and the common base of the keyboard, mouse, mouse pad and
// headset classes.
//
// The device keeps the operations every kind shares as its public face and
// delegates to its parts:
//   - two transports (commands; events);
//   - LedState: the LED colour buffer, LED records, light record, effect
//     phase, key levels and level ring, behind their own lock;
//   - DeviceWorkers: the light thread and the event threads;
//   - DevicePageBinding: the page, its key and light buttons, the
//     notification filter and the function-page switch;
//   - DeviceDataPaths: folders and the panels' name lists.
// What only some kinds do (profiles and settings, key tables and macros,
// power, audio lighting) are the roles of DeviceRoles.h; ask with
// Capability<Role>(device).
//
// The class name written in a page layout picks the class (DeviceFactory).
// Devices are held in a DevicePtr, whose deleter stops the device's threads
// before any member of the kind goes.
//
// Threads: every operation runs on the user-interface thread unless it says
// otherwise. The device's writes that the page, the bus API or an event ask
// for (its settings record with the light record, key and macro tables, the
// recoil memory) run on its transfer worker (RunTransfer, WriteRecord), one at
// a time in the order asked; their results come back to the user-interface
// thread. What the page shows and the profile file change at once, the device
// after. The reads at attach and after a device event still run on the
// user-interface thread.
#include "devices/DeviceDataPaths.h"
#include "devices/DeviceLinks.h"
#include "devices/DevicePageBinding.h"
#include "devices/DeviceRoles.h"
#include "devices/DeviceWorkers.h"
#include "devices/LedState.h"
#include "devices/SupportedDevices.h"
#include "devices/TransferWorker.h"
#include "profiles/ProfileRecords.h"
#include "transport/DeviceTransport.h"
#include "ui/Notification.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

namespace ui {
class Control;
}
class CBasicProfiledata;
class DeviceListItem;

// The light record as the panels pass it: bytes 0..13 of four little-endian
// 32-bit words (word 3 carries bytes 12 and 13 only).
using LightInfoWords = std::array<uint32_t, 4>;
LightInfoRecord LightInfoFromWords(const LightInfoWords& words);
LightInfoWords LightInfoToWords(const LightInfoRecord& record);

// Key number -> byte.
using KeyMap = std::map<int, uint8_t>;

class CTolvanicUSBDevice : public ui::NotifyReceiver {
public:
    static constexpr std::string_view kClassName = "TolvanicUSBDevice";
    static constexpr int kMaxCount = DevicePageBinding::kMaxCount;

    // `kindTag`: the class's own until SetIdentity gives the class of the row's kind.
    explicit CTolvanicUSBDevice(const DeviceServices& services, DeviceClass kindTag = DeviceClass::None);
    // Expects Shutdown() to have run (DevicePtr's deleter does it).
    ~CTolvanicUSBDevice() override;
    CTolvanicUSBDevice(const CTolvanicUSBDevice&) = delete;
    CTolvanicUSBDevice& operator=(const CTolvanicUSBDevice&) = delete;

    // The class name the device reports to the toolkit.
    virtual std::string_view ClassName() const { return kClassName; }
    // Stops every thread of the device within its bounds and waits for any
    // that overran (a long transfer first, at its next frame); later thread
    // starts are refused. Idempotent.
    void Shutdown();

    // ---- Page ----

    // Collects the key and light buttons of the page (DevicePageBinding::Collect).
    // With no page layout path: key and light counts 0, LED buffer and both lists empty.
    virtual void InitPage();
    // Stores the type and switches the function tabs for it.
    virtual void SelectFunctionPage(int type);
    int GetFunctionPage() const { return m_page.FunctionPage(); }
    // Receives the window's notifications and passes on (to OnPageNotify) only
    // those whose sender is a control of this page.
    void Notify(const ui::Notification& notification) final;
    // Adds the device to its page's window receivers. False without a page.
    bool RegisterPageNotifications() { return m_page.Register(*this); }
    // Repaints the device picture (the key panel).
    void RepaintPicture() { m_page.RepaintPicture(); }

    // ---- Preview cadence ----

    // Shortest time between two paints of the picture: at most 30 a second.
    static constexpr uint32_t kPicturePaintPeriodMs = 34;

    // Set by the main window: its window is shown (not minimised) and this
    // device's item is selected.
    void SetPreviewSeen(bool seen);
    // The picture can be seen: shown and selected, the picture flag set and,
    // for a kind whose page shows its lights on one tab only, that tab shown.
    bool PreviewVisible() const;
    // Someone wants the device's frames: the picture can be seen or they
    // leave the host; never with the light-control flag clear. Any thread.
    // Without it the light thread parks and timer 1000 stops.
    bool FramesWanted() const;
    // Timer 1000 is wanted: the picture can be seen, or the kind's tick itself
    // carries its frames to the device now (TickDrivesDevice); never with the
    // light-control flag clear. Any thread.
    bool TickWanted() const;
    // Passes the light thread has run (tests of the parking).
    uint64_t LightPasses() const { return m_workers.LightPasses(); }
    // Sets the transport's synchronised-lighting flag (the light thread parks
    // while it is set, the synchronisation paints then).
    void SetSynchronisedLighting(bool on);

    // ---- Lighting ----

    // Loads the profile's lighting and shows it. Nothing in the base.
    virtual void ApplyLightState() {}
    // Software effects: one frame into every LED of the LED colour buffer
    // (any thread; nothing with no LEDs).
    virtual void EffectBreathing();
    virtual void EffectBreathingFixed();
    virtual void EffectStatic();
    virtual void EffectSpectrum();
    virtual void EffectBlink();
    virtual void EffectBlinkFixed();
    virtual void EffectOff();
    // Paints every visible light button from the LED colour buffer and builds
    // the scaled 3-bytes-per-LED frame (LastFrame); sends nothing.
    virtual void OutputLightFrame();
    // The packed LED (byte 0 red .. byte 3 level), stored when 0 <= index <
    // light count; reads 0 outside. Any thread.
    void SetLedColour(int index, uint32_t packed);
    uint32_t GetLedColour(int index) const;
    // Key levels and the level ring (any thread): one decay step of a key,
    // the ring positions lit, the ring turned, everything back to 0.
    void StepKeyLevel(int key, int mode);
    virtual void LightRingKeys();
    void RotateLevelRing(int direction);
    void ClearKeyLevels();
    // Stores the light record. Any thread may read it meanwhile.
    // With a profile (UseProfileData), also writes its "LightInfo".
    virtual void SetLightInfo(const LightInfoWords& words);
    LightInfoRecord LightRecord() const;
    // The device's lighting state; every access takes its lock. Any thread.
    LedState& Leds() { return m_leds; }
    const LedState& Leds() const { return m_leds; }
    // The frame OutputLightFrame built last: 3 bytes per LED, scaled by the level.
    const std::vector<uint8_t>& LastFrame() const { return m_frame; }
    // Stores the audio light values and shows them in the light panel.
    virtual void SetAudioLightValues(const AudioLightValues& values);
    // Reads the values back from the light panel (when it can tell), stores and returns them.
    virtual AudioLightValues GetAudioLightValues();
    // Stores the flag; when it is set on a keyboard, sends
    // TakeLightingControl. Returns that command's result, or 1 when nothing had to be sent.
    int SetLightControl(bool on);

    // ---- Device and panels ----

    // Full read of the device after it came (timer 1001). Nothing in the base.
    virtual void ReadDevice() {}
    // Re-read after a device event (timer 1002). Nothing in the base.
    virtual void ReloadAfterEvent() {}
    // Shows the profile's state on the page. Nothing in the base.
    virtual void RefreshView() {}
    // Refreshes the panels' name lists from the data files
    // (DeviceDataPaths::ReloadNameLists for this kind and model).
    virtual void ReloadPanels();
    // With a profile (UseProfileData), also points it at its first device entry.
    virtual void SetModelCode(uint32_t code);
    uint32_t GetModelCode() const { return m_modelCode; }
    // Stores the index of the entry selected in the kind's editor.
    virtual void SelectEntry(int index) { m_selectedEntry = index; }
    // The key map the kinds fill (key number -> byte).
    void SetKeyMap(const KeyMap& map) { m_keyMap = map; }
    const KeyMap& GetKeyMap() const { return m_keyMap; }

    // ---- Set-up, in the order the main window calls them ----

    void SetPageLayoutPath(std::string path) { m_page.SetLayoutPath(std::move(path)); }
    void SetMainWindow(DeviceMessageSink* window) { m_mainWindow = window; }
    // Resizes the key button list. False (nothing changes) outside 0..kMaxCount.
    bool SetKeyCount(int count);
    // Resizes the light button list, the LED colour buffer and the LED records
    // and zeroes them (also when the count is unchanged). False (nothing
    // changes) outside 0..kMaxCount. Safe while the light thread runs.
    bool SetLightCount(int count);
    void SetModelRow(int row) { m_modelRow = row; }
    // Also tells the power panel whether to show its battery area.
    void SetBatteryFlag(bool on);
    void SetTypeName(std::string name) { m_paths.SetTypeName(std::move(name)); }
    // The panel learns the battery flag at once.
    void SetPowerPanel(PowerPanelLink* panel);
    // The row the device was last attached through; also sets the kind tag (the
    // class of its kind) and the role from it.
    void SetIdentity(const SupportedDevice& row);
    void SetLightSettingsName(std::string name) { m_paths.SetLightSettingsName(std::move(name)); }
    void AttachPage(ui::Control* page) { m_page.Attach(page); }
    // Can be set only while the battery flag is set.
    void SetTrayFlag(bool on);
    void SetPictureFlag(bool on);
    void SetLightPanel(LightPanelLink* panel) { m_lightPanel = panel; }
    void SetProfileBar(ui::Control* bar) { m_profileBar = bar; }
    // The selected profile (its file is the user data folder + identifier + ".Json").
    void SetProfileIdentifier(std::string identifier) { m_profileIdentifier = std::move(identifier); }
    const std::string& ProfileIdentifier() const { return m_profileIdentifier; }
    // Set by the item itself.
    void SetListItem(DeviceListItem* item) { m_listItem = item; }

    // ---- Data paths (DeviceDataPaths) ----

    std::string GetUserDataFolder() const { return m_paths.UserDataFolder(); }
    std::string GetDefaultDataFolder() const { return m_paths.DefaultDataFolder(); }
    std::string GetDefaultProfilePath() const { return m_paths.DefaultProfilePath(); }
    const DeviceNameLists& NameLists() const { return m_paths.NameLists(); }
    DeviceNameLists& MutableNameLists() { return m_paths.MutableNameLists(); }

    // ---- Main window ----

    // Sends the main window a message: at once on the user-interface thread,
    // else posted to it (dropped when the device is gone by then).
    void NotifyMainWindow(uint32_t message, int64_t wParam, int64_t lParam);
    // Message 3331 for this device's list item.
    void ShowListItem(bool show) { NotifyMainWindow(kMessageShowDeviceItem, m_modelRow, show ? 1 : 0); }

    // ---- Threads ----

    // Starts the light thread (a running one is stopped first). While the
    // command transport is closed it looks again every 100 ms; while
    // synchronised lighting drives the LEDs or no frames are wanted it parks
    // until either changes; else it runs RunLightPass and sleeps until the
    // next frame is due.
    bool StartLightThread();
    ThreadStopOutcome StopLightThread() { return m_workers.StopLight(); }
    bool LightThreadRunning() const { return m_workers.LightRunning(); }
    // Opens `path` on a channel of the event transport (closing it first) and
    // starts that channel's event thread, also when the open failed. Event
    // 0x401 starts timer 1002 on the list item; other codes go to
    // OnDeviceEvent. True when opened.
    bool OpenEventChannel(const std::string& path, ChannelType channel);
    // Stops the channel's event thread and waits until it has ended, then closes the channel.
    void CloseEventChannel(ChannelType channel) { m_workers.CloseEventChannel(channel); }
    bool StartEventThread(ChannelType channel);
    ThreadStopOutcome StopEventThread(ChannelType channel) { return m_workers.StopEvents(channel); }
    bool EventThreadRunning(ChannelType channel) const { return m_workers.EventsRunning(channel); }

    // ---- Long transfers ----

    // Runs `job` on the device's transfer worker (TransferWorker.h) after the
    // jobs before it; the function it returns then runs on the user-interface
    // thread, unless the device is gone by then. False (nothing runs) after Shutdown.
    using TransferJob = std::function<std::function<void()>(const StopEvent& stop)>;
    bool RunTransfer(TransferJob job);
    bool TransferBusy() const { return m_transfers.Busy(); }
    // Runs `work` on the user-interface thread later, unless the device is gone by then. Any thread.
    void PostToUi(std::function<void()> work);

    // ---- Record writes ----

    // Queues `write` of one record of the device (`key`: the kind's own
    // numbering of its records) on the transfer worker after the jobs before
    // it; a write of the same record that has not started yet is replaced by
    // it (TransferWorker::PostLatest). `done` then runs on the user-interface
    // thread with the device's result, unless the device is gone by then, and
    // the tally set with WatchWrites hears it. False (nothing runs) after Shutdown.
    bool WriteRecord(uint32_t key, TransferWorker::Write write, std::function<void(int result)> done = {});
    // While set, every record write queued also counts in `tally` (the bus API
    // answers once the writes of a call have ended). Null: no more.
    void WatchWrites(std::shared_ptr<WriteTally> tally) { m_tally = std::move(tally); }
    // Nothing runs or waits on the transfer worker. Any thread.
    bool WorkerIdle() const { return m_transfers.Idle(); }

    // ---- State ----

    DeviceTransport& CommandTransport() { return m_command; }
    DeviceTransport& EventTransport() { return m_events; }
    bool TransportOpen() const { return m_command.IsOpen(); }
    // Synchronised lighting drives the LEDs (SetSynchronisedLighting).
    bool SynchronisedLighting() const { return m_command.SyncLighting(); }
    bool OnReceiver() const { return m_command.OnReceiver(); }
    const std::string& PageLayoutPath() const { return m_page.LayoutPath(); }
    const std::string& TypeName() const { return m_paths.TypeName(); }
    const std::string& LightSettingsName() const { return m_paths.LightSettingsName(); }
    DeviceClass KindTag() const { return m_kindTag; }
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
    ui::Control* Page() const { return m_page.Page(); }
    ui::Control* KeyPanel() const { return m_page.KeyPanel(); }
    ui::Control* ProfileBar() const { return m_profileBar; }
    PowerPanelLink* PowerPanel() const { return m_powerPanel; }
    LightPanelLink* LightPanel() const { return m_lightPanel; }
    DeviceListItem* ListItem() const { return m_listItem; }
    const std::vector<ui::Control*>& KeyControls() const { return m_page.KeyControls(); }
    const std::vector<ui::Control*>& LightControls() const { return m_page.LightControls(); }

protected:
    // The light thread's work for one pass (the kinds dispatch on their effect
    // here). Runs on the light thread; may wait only on `stop`. Returns how
    // long until the next frame is due. Base: nothing, ever.
    virtual uint32_t RunLightPass(const StopEvent& stop) {
        (void)stop;
        return StopEvent::kNoTimeLimit;
    }
    // The page shows the device's lights now (the keyboard: only on its
    // lighting tab). Any thread.
    virtual bool LightsOnPage() const { return true; }
    // The frames leave the host whether seen or not (the keyboard's streamed
    // effects). Any thread.
    virtual bool FramesLeaveHost() const { return false; }
    // The list item's tick carries the frames to the device now (a kind whose
    // own threads send them otherwise). Any thread.
    virtual bool TickDrivesDevice() const { return false; }
    // What FramesWanted depends on changed: wakes the light thread, and
    // restarts timer 1000 when frames are wanted again. Any thread.
    void PreviewChanged();
    // The picture is seen and may be painted now: at most 30 paints a
    // second, changes in between coalesce into the next. User-interface thread.
    bool PicturePaintDue();
    // Stops the threads a kind runs besides the light and event threads and
    // waits until they have ended (Shutdown runs it first). Base: nothing.
    virtual void StopKindThreads() {}
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

    const DeviceServices& Services() const { return m_services; }
    // The kind's profile document, which SetLightInfo and SetModelCode keep
    // in step; it must outlive the device's use of it (a member of the kind).
    void UseProfileData(CBasicProfiledata* profile) { m_profileData = profile; }
    // Stores the light record only (the profile is not written). Any thread.
    void StoreLightInfo(const LightInfoWords& words);
    // Starts timer 1002 on the list item, from any thread.
    void RequestResync();
    // Collects the key and light buttons of `container` (a layout page of the
    // picture), which becomes the key panel.
    void CollectPageButtons(ui::Control* container) { m_page.CollectFrom(container); }

private:
    DeviceWorkers::EventWork EventWork();

    const DeviceServices m_services;
    DeviceTransport m_command;
    DeviceTransport m_events;
    LedState m_leds;
    DevicePageBinding m_page;
    DeviceDataPaths m_paths;

    std::atomic<DeviceClass> m_kindTag{DeviceClass::None};
    uint32_t m_role = 0;
    int m_keyCount = 0;
    int m_lightCount = 0;
    int m_modelRow = -1;
    int m_selectedEntry = -1;
    KeyMap m_keyMap;
    std::atomic<bool> m_lightControl{true};
    std::atomic<bool> m_pictureFlag{true};
    std::atomic<bool> m_batteryFlag{false};
    std::atomic<bool> m_trayFlag{false};
    std::atomic<bool> m_previewSeen{false};
    uint32_t m_modelCode = 0;
    CBasicProfiledata* m_profileData = nullptr;
    AudioLightValues m_audioLightValues{};
    SupportedDevice m_identity;

    ui::Control* m_profileBar = nullptr;
    std::string m_profileIdentifier;
    PowerPanelLink* m_powerPanel = nullptr;
    LightPanelLink* m_lightPanel = nullptr;
    DeviceListItem* m_listItem = nullptr;
    DeviceMessageSink* m_mainWindow = nullptr;

    // Built by OutputLightFrame on the user-interface thread.
    uint32_t m_nextPaintMs = 0;
    bool m_paintedOnce = false;
    std::vector<uint32_t> m_outputLeds;
    std::vector<uint8_t> m_frame;

    std::shared_ptr<WriteTally> m_tally;
    // Last: the threads go before anything they use.
    TransferWorker m_transfers;
    DeviceWorkers m_workers{m_command, m_events};
    // Dies with the device: work posted for it checks it first.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

// The role a device offers, or null (see DeviceRoles.h).
template <class Role> Role* Capability(CTolvanicUSBDevice& device) {
    return dynamic_cast<Role*>(&device);
}

// The PowerSource role for any device: a kind without one reads nothing
// (result 0) and counts its link as up.
int ReadPowerOf(CTolvanicUSBDevice& device);
bool LinkUpOf(CTolvanicUSBDevice& device);

// Stops the device's threads, then deletes it: a kind's members never go
// while one of its threads still runs.
struct DeviceDeleter {
    void operator()(CTolvanicUSBDevice* device) const;
};
using DevicePtr = std::unique_ptr<CTolvanicUSBDevice, DeviceDeleter>;

template <class Kind, class... Args> std::unique_ptr<Kind, DeviceDeleter> MakeDevice(Args&&... args) {
    return std::unique_ptr<Kind, DeviceDeleter>(new Kind(std::forward<Args>(args)...));
}

} // namespace velkor
