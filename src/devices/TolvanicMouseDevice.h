#pragma once
// CTolvanicMouseDevice: an attached mouse of the family, on its cable or
// through its receiver.
//
// On top of the device base it keeps:
//   - eleven buttons, found on the mouse by their factory functions;
//   - up to five DPI stages (enable flag, step, colour), one active, shown in
//     DPI through the sensor's step size and base from the information block;
//   - the report rate;
//   - the 128-byte profile slot in parameter memory (66 bytes written, 71
//     read), read back after every event the mouse reports (never at attach:
//     the profile file's values are shown until the user changes one);
//   - two sets of LED overlays and a logo on its picture;
//   - the profile document with its buttons, stages and pointer values.
// Through the receiver every transfer first asks whether the mouse answers;
// a settings write it could not take is sent once the link is back.
//
// Threads: everything on the user-interface thread except the event threads
// (which only post their work), the light thread and the transfer worker,
// which writes the settings record (SendSettings encodes it here first, so
// that the page, the profile and the record agree) and the recoil memory.
#include "devices/DeviceParts.h"
#include "devices/KeyboardLayout.h"
#include "devices/LightTables.h"
#include "devices/MacroKeyWriter.h"
#include "devices/MouseSettings.h"
#include "devices/RecoilUpload.h"
#include "devices/TolvanicUSBDevice.h"
#include "profiles/MouseProfiledata.h"

#include <array>
#include <functional>
#include <string_view>
#include <vector>

namespace velkor {

class CTolvanicMouseDevice final : public CTolvanicUSBDevice,
                                   public ProfileIo,
                                   public MacroKeyWriter,
                                   public PowerSource,
                                   public KeyEntryStore {
public:
    static constexpr std::string_view kClassName = "TolvanicMouseDevice";
    static constexpr int kButtonCount = 11;
    static constexpr uint8_t kNoButtonPosition = 170;
    // A DPI drag sends at most one write per this many ms (the latest value).
    static constexpr uint32_t kDragWriteGapMs = 50;

    explicit CTolvanicMouseDevice(const DeviceServices& services);
    ~CTolvanicMouseDevice() override;

    std::string_view ClassName() const override { return kClassName; }

    // ---- Page ----

    void InitPage() override { BuildPage(); }
    // Collects the buttons, both overlay sets and the logo of the picture.
    void BuildPage();
    // The base's switch, then the tip "device_tishi_info" hides.
    void SelectFunctionPage(int type) override;
    // The LED the logo shows (-1: none). Set by discovery from the page table.
    void SetLogoLed(int led) { m_logoLed = led; }
    int LogoLed() const { return m_logoLed; }

    // ---- Device ----

    // Attach (ReadDevice): the layout read on the transfer worker; then, here,
    // the layout taken, LoadDeviceProfile, RefreshView, light thread. The
    // record a write sends is built from the profile and the DPI limits: the
    // state counts as read once a layout read and a profile load succeeded.
    // After a device event: ReadSettings on the transfer worker, then (on
    // the user-interface thread) what it read is taken over and RefreshView.
    void ReloadAfterEvent() override;
    // Information block and key table; rebuilds the button positions and the
    // DPI limits. Every stop after BeginSession ends the session; a failed
    // read keeps what the previous read found. False when nothing was read.
    bool ReadLayout();
    // The active profile's record into the light record and the active
    // stage; the profile follows. False (nothing changed) when closed, the
    // mouse is silent behind its receiver, or a read fails.
    bool ReadSettings(int* activeProfile = nullptr);
    // A profile or stage change the mouse reported (0x10xy, 0x11xy).
    // User-interface thread.
    void HandleDeviceEvent(uint16_t code);
    void RefreshView() override;

    // ---- Lighting ----

    void ApplyLightState() override;
    // Paints both overlay sets and the logo from the LED buffer; sends nothing.
    void OutputLightFrame() override;
    LightInfoWords GetLightInfo() const { return LightInfoToWords(State().LightRecord()); }

    // ---- DPI stages and report rate (each stores, saves and sends) ----

    int SetActiveDpiStage(int stage);
    int SetStageEnabled(int stage, bool on);
    // A slider or edit chose a step. `dragging`: the thumb still moves; the
    // write is then asked at most every kDragWriteGapMs and the profile is
    // saved only on release. Writes coalesce on the worker: one in flight,
    // the last value after it.
    int SetStageStep(int stage, int step, bool dragging = false);
    int SetStageDpiText(int stage, std::string_view text);
    int SetStageColour(int stage, uint32_t rgb);
    int SelectPollingRate(int n);
    // Pointer values of the profile (stored and saved; the desktop applies them).
    void StoreMouseSystem(const MouseSystemRecord& record);

    // ---- Roles ----

    void SetupProfilePaths() override { SetupDeviceProfilePaths(m_profile, *this); }
    std::string GetDeviceProfilePath() const override { return m_profile.GetProfilePath(); }
    bool LoadDeviceProfile() override;
    bool SaveDeviceProfile() override;
    // The default profile, applied, saved, shown, and sent with the buttons.
    void RestoreDefaults() override;
    int SendSettings(int slot, int value, int flag, ScreenSize screen) override;

    int WriteProfileKeys(int bank) override;
    void PruneKeyFunctions() override;
    // The eleven buttons with their key positions (170: not on this mouse);
    // behind the receiver every step first asks whether the mouse answers.
    MacroWriteRequest PrepareMacroWrite(MacroWriteMode mode, int bank) override;

    // The four recoil files of the user data folder into the recoil memory,
    // on the transfer worker, with the gun keys off while the block goes in
    // (RecoilUpload.h); `done` then runs on the user-interface thread (not
    // when the device is gone first). False when the worker took no job.
    bool UploadRecoil(std::function<void(const RecoilUploadOutcome&)> done);

    int ReadPower() override { return ReadWirelessPower(*this); }
    // Also sends a settings write the mouse missed while it was silent.
    bool IsLinkUp() override;

    void SelectEntry(int index) override;
    const std::vector<KeyListEntry>& KeyList() const override { return m_keyList; }
    bool StoreKeyEntry(int key, const KeyListEntry& entry) override;

    // The screen size sent with every settings write (the main window's).
    void SetScreenSize(ScreenSize screen) { m_screen = screen; }
    // Shows the key assignment panel loaded with a button's entry.
    void SetKeyPanelHook(std::function<void(int key)> hook) { m_keyPanelHook = std::move(hook); }

    // ---- State ----

    const std::array<uint8_t, kButtonCount>& ButtonPositions() const { return m_buttons; }
    const MouseDpiLimits& DpiLimits() const { return m_limits; }
    const std::vector<DpiStage>& Stages() const { return m_stages; }
    int ActiveStage() const { return m_activeStage; }
    const MouseSystemRecord& SystemRecord() const { return m_system; }
    const MouseSettingsRecord& LastRecord() const { return m_lastRecord; }
    uint8_t ActiveProfile() const { return m_activeProfile; }
    CMouseProfiledata& Profile() { return m_profile; }
    bool WritePending() const { return m_writePending; }
    const std::vector<ui::Control*>& SecondOverlays() const { return m_secondOverlays; }
    ui::Control* LogoOverlay() const { return m_logo; }

protected:
    // One light-thread pass: on each tick the selected effect renders once
    // its threshold is reached (custom effects, 10 and above, on every tick).
    uint32_t RunLightPass(const StopEvent& stop) override;
    void OnDeviceEvent(uint16_t code, ChannelType channel) override;
    std::string_view EventThreadExitTrace() const override;
    uint32_t EventThreadStopWaitMs() const override { return 500; }
    int ResyncDelayMs() const override { return 50; }
    DeviceTransport& MacroTransport() override { return Driver().CommandTransport(); }
    void TakeKeyTable(const KeyTableImage& table) override { m_deviceKeyList = table; }

    void ReadAttached(std::function<void()> done) override;

private:
    using MouseRecordRead = ActiveRecordRead<MouseSettingsRecord::kSize>;
    // What the exchanges of ReadLayout read (`asked`: open and reachable).
    struct LayoutRead {
        bool asked = false;
        bool complete = false;
        std::array<uint8_t, MouseDpiLimits::kInfoSize> info{};
        KeyTransferBuffer keys{};
    };
    // The exchanges of ReadLayout only (safe on the transfer worker).
    LayoutRead FetchLayout();
    // Takes what FetchLayout read over; false when nothing was read.
    bool ApplyLayout(const LayoutRead& read);
    // The exchanges of ReadSettings only (safe on the transfer worker).
    MouseRecordRead FetchSettings();
    // Takes what FetchSettings read over; false (nothing changed) for a failed read.
    bool ApplySettings(const MouseRecordRead& read, int* activeProfile);

    // On the receiver: the mouse answers. On the cable: always.
    bool Reachable();
    // A click: every LED flashes, in effect 6 only. Any thread.
    void Flash();
    // Phases and levels back to 0, one ring mark at the front.
    void ResetEffectState();
    DpiStage& StageAt(int stage);
    // Stores the stages in the profile, saves, and sends.
    int CommitStages(bool save = true);
    void ShowStage(int stage);
    void ShowStages();
    ui::Control* PageControl(std::string_view name) const;
    // What the mouse was last given for each button (the profile's buttons,
    // read from the file when none are loaded yet).
    std::vector<KeyFunction> WrittenFunctions();

    CMouseProfiledata m_profile;
    std::vector<KeyListEntry> m_keyList;
    std::vector<DpiStage> m_stages;
    int m_activeStage = 0;
    MouseSystemRecord m_system{};
    MouseSettingsRecord m_lastRecord{};
    uint8_t m_activeProfile = 0;
    uint8_t m_imageMode = 0;

    KeyTransferBuffer m_deviceKeyList{};
    int m_positions = 0;
    // The last layout read succeeded: its key table is a base to write over.
    bool m_keyTableRead = false;
    size_t m_macroCapacity = 0;
    std::array<uint8_t, kButtonCount> m_buttons;
    MouseDpiLimits m_limits;
    // A layout read has given the DPI limits the settings record is built
    // with, and a profile was loaded: the state counts as read with both.
    bool m_limitsRead = false;
    bool m_profileLoaded = false;

    LightPlayback m_playback;
    std::vector<ui::Control*> m_secondOverlays;
    ui::Control* m_logo = nullptr;
    int m_logoLed = -1;
    std::vector<uint32_t> m_tickLeds;

    ScreenSize m_screen;
    // Set on the user-interface thread, read by the link query on the worker.
    std::atomic<bool> m_writePending{false};
    uint32_t m_lastDragWriteMs = 0;
    bool m_dragWritten = false;
    std::function<void(int key)> m_keyPanelHook;

    // Light thread only.
    LightPacer m_pacer{kLightPassMs};
    uint32_t m_flashSeed = 0x9E3779B9u;
};

} // namespace velkor
