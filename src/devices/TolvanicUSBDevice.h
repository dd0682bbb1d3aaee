#pragma once
// CTolvanicUSBDevice: one physical device of the family for the whole run of
// the program, and the common base of the keyboard, mouse, mouse pad and
// headset classes. It is the common face of three parts, each with its own
// rule of who runs where (see their headers):
//   - State() (DeviceState): the device's values — identity, counts, flags,
//     LEDs, light record, frame, key map, profile; any thread where it says so;
//     it tells observers what changed;
//   - Driver() (DeviceDriver): transports, the transfer worker every exchange
//     is posted to, the light and event threads; results come back to the
//     user-interface thread;
//   - Presenter() (DevicePresenter): the page, panels, list item and main
//     window on the user-interface thread; paints only what can be seen;
// and of its folders and name lists, Paths() (DeviceDataPaths).
// The face keeps the operations the kinds replace (the virtual ones) and the
// few that change more than one part.
// What only some kinds do (profiles and settings, key tables and macros,
// power, audio lighting) are the roles of DeviceRoles.h; ask with
// Capability<Role>(device).
//
// The class name written in a page layout picks the class (DeviceFactory).
// Devices are held in a DevicePtr, whose deleter stops the device's threads
// before any member of the kind goes.
//
// Threads: every operation of the face runs on the user-interface thread
// unless it says otherwise. The exchanges of the read at attach, of the
// re-read after a device event and of the power and link queries run on the
// transfer worker (what follows them queues behind them); what they read is
// taken on the user-interface thread.
#include "devices/DeviceDataPaths.h"
#include "devices/DeviceDriver.h"
#include "devices/DeviceLinks.h"
#include "devices/DevicePresenter.h"
#include "devices/DeviceRoles.h"
#include "devices/DeviceState.h"
#include "devices/DeviceUiPost.h"
#include "ui/Notification.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace velkor {

class CBasicProfiledata;

class CTolvanicUSBDevice : public ui::NotifyReceiver {
public:
    static constexpr std::string_view kClassName = "TolvanicUSBDevice";
    static constexpr int kMaxCount = DevicePageBinding::kMaxCount;
    static constexpr uint32_t kPicturePaintPeriodMs = DevicePresenter::kPicturePaintPeriodMs;

    // `kindTag`: the class's own until the state's SetIdentity gives the class of the row's kind.
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

    // ---- The parts ----

    DeviceState& State() { return m_state; }
    const DeviceState& State() const { return m_state; }
    DeviceDriver& Driver() { return m_driver; }
    const DeviceDriver& Driver() const { return m_driver; }
    DevicePresenter& Presenter() { return m_presenter; }
    const DevicePresenter& Presenter() const { return m_presenter; }
    DeviceDataPaths& Paths() { return m_paths; }
    const DeviceDataPaths& Paths() const { return m_paths; }

    // ---- Page ----

    // Collects the key and light buttons of the page (DevicePageBinding::Collect).
    // With no page layout path: key and light counts 0, LED buffer and both lists empty.
    virtual void InitPage();
    // Stores the type and switches the function tabs for it.
    virtual void SelectFunctionPage(int type);
    // Receives the window's notifications and passes on (to OnPageNotify) only
    // those whose sender is a control of this page.
    void Notify(const ui::Notification& notification) final;
    // Resizes the key button list. False (nothing changes) outside 0..kMaxCount.
    bool SetKeyCount(int count);
    // Resizes the light button list, the LED colour buffer, the LED records
    // and the frame and zeroes them (also when the count is unchanged). False
    // (nothing changes) outside 0..kMaxCount. Safe while the light thread runs.
    bool SetLightCount(int count);

    // ---- Lighting ----

    // Loads the profile's lighting and shows it. Nothing in the base.
    virtual void ApplyLightState() {}
    // Software effects the keyboard replaces: one frame into every LED of the
    // LED colour buffer (any thread; nothing with no LEDs). The others are
    // the state's.
    virtual void EffectBreathing();
    virtual void EffectStatic();
    // Paints every visible light button from the LED colour buffer when the
    // picture is due a paint, and builds the scaled 3-bytes-per-LED frame
    // (State().LastFrame()); sends nothing.
    virtual void OutputLightFrame();
    // Stores the light record (and ends Direct). Any thread may read it meanwhile.
    // With a profile (UseProfileData), also writes its "LightInfo".
    virtual void SetLightInfo(const LightInfoWords& words);
    // A light record to show for a while without storing it (a game's
    // effect): the next ApplyLightState and settings write use it, the
    // profile document and its file keep theirs. False without a profile.
    bool ShowTemporaryLight(const LightInfoWords& words);
    // Ends it; the next ApplyLightState shows the stored record again. False
    // when none shows any more (SetLightInfo or a profile load ended it).
    bool EndTemporaryLight();
    // Stores the audio light values and shows them in the light panel.
    virtual void SetAudioLightValues(const AudioLightValues& values);
    // Reads the values back from the light panel (when it can tell), stores and returns them.
    virtual AudioLightValues GetAudioLightValues();
    // Stores the flag; when it is set on a keyboard, sends
    // TakeLightingControl. Returns that command's result, or 1 when nothing had to be sent.
    int SetLightControl(bool on);
    // Sets the transport's synchronised-lighting flag (the light thread parks
    // while it is set, the synchronisation paints then).
    void SetSynchronisedLighting(bool on);

    // ---- Colours from another program (Direct) ----

    // Whether the host can stream this kind's colours (keyboards, the headset).
    virtual bool OffersDirect() const { return false; }
    // Shows `leds` (packed as the LED buffer; LEDs past the span keep theirs)
    // and keeps the effects from drawing over them until EndDirect. False,
    // and nothing changes, for a kind without Direct.
    bool ShowDirect(std::span<const uint32_t> leds);
    // Back to the profile's effect; nothing when Direct is not on.
    void EndDirect();
    bool DirectActive() const;

    // ---- Device and panels ----

    // Full read of the device after it came (timer 1001): the exchanges run on
    // the transfer worker after the jobs before them; what they read, the
    // profile and the page are taken on this thread, then `done` runs here,
    // unless the device is gone by then. The state counts as read
    // (DeviceState::SettingsRead) once the kind has what its writes are built from.
    void ReadDevice(std::function<void()> done = {});
    // Re-read after a device event (timer 1002). Nothing in the base.
    virtual void ReloadAfterEvent() {}
    // Shows the profile's state on the page. Nothing in the base.
    virtual void RefreshView() {}
    // Refreshes the panels' name lists from the data files
    // (DeviceDataPaths::ReloadNameLists for this kind and model).
    virtual void ReloadPanels();
    // With a profile (UseProfileData), also points it at its first device entry.
    virtual void SetModelCode(uint32_t code);
    // Stores the index of the entry selected in the kind's editor.
    virtual void SelectEntry(int index) { m_state.SetSelectedEntry(index); }

    // ---- Threads ----

    // Starts the light thread with the kind's pass (a running one is stopped
    // first). While the command transport is closed it looks again every
    // 100 ms; while synchronised lighting drives the LEDs or no frames are
    // wanted it parks until either changes; else it runs RunLightPass and
    // sleeps until the next frame is due.
    bool StartLightThread();
    // Opens `path` on a channel of the event transport (closing it first) and
    // starts that channel's event thread, also when the open failed. Event
    // 0x401 starts timer 1002 on the list item; other codes go to
    // OnDeviceEvent. True when opened.
    bool OpenEventChannel(const std::string& path, ChannelType channel);
    bool StartEventThread(ChannelType channel);

protected:
    // The kind's part of ReadDevice; `done` must run on this thread once it
    // ended (Driver().ReadThenShow). Base: nothing to read, the state counts
    // as read, `done` after the jobs queued before it.
    virtual void ReadAttached(std::function<void()> done);
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
    // What the frames' wants depend on changed: wakes the light thread, and
    // restarts timer 1000 when frames are wanted again. Any thread.
    void PreviewChanged();
    // Direct began or ended (the keyboard starts or stops its stream).
    virtual void DirectChanged(bool on) { (void)on; }
    // A Direct frame is in the buffer (the headset sends it).
    virtual void DirectFrame() {}
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
    // Starts timer 1002 on the list item, from any thread.
    void RequestResync() { m_presenter.RequestResync(ResyncDelayMs()); }
    // Collects the key and light buttons of `container` (a layout page of the
    // picture), which becomes the key panel.
    void CollectPageButtons(ui::Control* container) { m_presenter.Binding().CollectFrom(container); }

private:
    DeviceWorkers::EventWork EventWork();
    void OnStateChange(StateChange change);

    const DeviceServices m_services;
    CBasicProfiledata* m_profileData = nullptr;
    // Before the parts that post through it.
    DeviceUiPost m_ui;
    DeviceState m_state;
    DeviceDataPaths m_paths;
    DevicePresenter m_presenter;
    // Last: its threads go before anything they use.
    DeviceDriver m_driver;
};

// The role a device offers, or null (see DeviceRoles.h).
template <class Role> Role* Capability(CTolvanicUSBDevice& device) {
    return dynamic_cast<Role*>(&device);
}

// The PowerSource role for any device: a kind without one reads nothing
// (result 0) and counts its link as up. On the device's transfer worker (a
// test may call them on the user-interface thread).
int ReadPowerOf(CTolvanicUSBDevice& device);
bool LinkUpOf(CTolvanicUSBDevice& device);
// ReadPowerOf on the device's transfer worker after the jobs before it; what
// it reads is shown on the user-interface thread. False after Shutdown.
bool ReadPowerInTurn(CTolvanicUSBDevice& device);

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
