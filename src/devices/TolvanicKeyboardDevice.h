#pragma once
// CTolvanicKeyboardDevice: an attached keyboard of the family.
//
// On top of the device base it keeps:
//   - the key layout: where each of the 170 on-screen keys sits on the
//     keyboard (key position, light slot), read at attach and after a
//     language change picks another on-screen layout page;
//   - the 28-byte settings record in the keyboard's parameter memory
//     (lighting, report rate, Win-lock, W-key and 6-key flags, wheel mode),
//     read back at attach and after every event the keyboard reports, written
//     after every change;
//   - the per-key colour groups of the custom-colour effect (19), in the
//     profile and in the keyboard's colour tables;
//   - the live colour stream of the host-driven effects (29, 30), sent by a
//     stream thread that runs while one of them is selected;
//   - the wireless power status;
//   - the profile document with its key list and keyboard options.
//
// Threads: everything runs on the user-interface thread except the event
// threads (which only post their work to it), the light thread, the stream
// thread and the transfer worker, which writes the settings record and the
// colour tables that are encoded here first.
#include "devices/DeviceParts.h"
#include "devices/KeyboardEffects.h"
#include "devices/KeyboardLayout.h"
#include "devices/KeyboardLiveStream.h"
#include "devices/KeyboardSettings.h"
#include "devices/LightTables.h"
#include "devices/MacroKeyWriter.h"
#include "devices/TolvanicUSBDevice.h"
#include "profiles/KeyboardProfiledata.h"

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace velkor {

namespace ui {
class TextProvider;
}

// The keyboard's on/off options.
enum class KeyboardFlag { WinLock, WKey, SixKey };

class CTolvanicKeyboardDevice final : public CTolvanicUSBDevice,
                                      public ProfileIo,
                                      public MacroKeyWriter,
                                      public PowerSource,
                                      public KeyEntryStore,
                                      public AudioLighting,
                                      public KeyboardLightingLink {
public:
    static constexpr std::string_view kClassName = "TolvanicKeyboardDevice";
    static constexpr std::string_view kLayoutTab = "keyboard_device_key_layout";
    static constexpr std::string_view kLayoutPagePrefix = "keyboard_device_key_light_";
    static constexpr int kCustomColourEffect = 19;
    // Host-driven effects: the program renders them and streams the frames.
    static constexpr int kAudioEffect = 29;
    static constexpr int kBandColourEffect = 30;
    // The drops start from colour position 0 on every key.
    static constexpr int kDropsEffect = 24;
    // The audio style whose ripples start from beats, from the middle key.
    static constexpr uint8_t kBeatStyle = 2;
    static constexpr int kBeatKey = 51;

    explicit CTolvanicKeyboardDevice(const DeviceServices& services);
    ~CTolvanicKeyboardDevice() override;

    std::string_view ClassName() const override { return kClassName; }

    // ---- Page ----

    // Joins the page's notifications, then BuildPage.
    void InitPage() override;
    // Collects the key buttons of layout page 0 and gives every key its caption.
    void BuildPage();
    // The base's switch, then key 110 (Fn, which cannot be reassigned) is
    // enabled on the lighting page (1) and disabled on the key page (2).
    void SelectFunctionPage(int type) override;
    // The language index given by the main window (at creation and on a change).
    void SetLayoutVariant(int languageIndex) { m_layoutVariant = languageIndex; }
    // The board has regional layout pages (from its model description).
    void SetRegionalLayouts(bool on) { m_regionalLayouts = on; }
    int LayoutVariant() const { return m_layoutVariant; }
    // The on-screen layout page shown (0..4).
    int LayoutPage() const { return m_layoutPage; }

    // ---- Device ----

    // Attach (ReadDevice): the layout and settings reads on the transfer
    // worker; then, here, the layout taken, LoadDeviceProfile, the settings
    // taken, RefreshView, light thread. The state counts as read once the
    // keyboard's record was: no settings record is written before.
    // After event 0x401/0x402 (timer 1002): the profile first when the
    // keyboard switched it, then ReadSettings on the transfer worker and
    // (on the user-interface thread) its result taken over and RefreshView.
    void ReloadAfterEvent() override;
    // Reads the key list and light map and rebuilds the key maps; picks the
    // layout page for the layout variant. A read that fails keeps the
    // previous list and maps (the next ReadDevice tries again). False when
    // the layout was not read.
    bool ReadLayout();
    // Reads the active profile number and its record and takes the keyboard's
    // settings over into the light record, the options and the profile file.
    // False (nothing changed) when the transport is closed or a read fails.
    bool ReadSettings(int* activeProfile = nullptr);
    // A profile change the keyboard reported (0x10xy, 0x11xy); other codes
    // and a closed transport are ignored. User-interface thread.
    void HandleDeviceEvent(uint16_t code);
    void RefreshView() override;

    // ---- Lighting ----

    void ApplyLightState() override;
    // The keyboard's own column breathing and static/ring rainbow (effects 5 and 6).
    void EffectBreathing() override;
    void EffectStatic() override;
    // A key at device key position `position` pressed (kind 1) or released
    // (2): the reactive effects (7, 8, 9, 25) light around it. A position no
    // key maps to, or another kind, changes nothing. User-interface thread.
    void KeyEvent(int position, int kind);
    // The same by key number 0..169, the seam for any source of key presses.
    // Any thread (it takes the LED lock).
    void DispatchKeyEvent(int key, int kind);
    // Fixes the seed of the effects' random source (tests, benchmarks).
    void SeedEffectRandom(uint64_t seed);
    // Paints the key picture from the LED buffer while it can be seen on the
    // lighting page (PicturePaintDue); nothing otherwise. The frames of
    // effects 29 and 30 go to the keyboard from the stream thread.
    void OutputLightFrame() override;
    bool LiveStreamRunning() const { return m_stream.Running(); }
    KeyboardLiveStream::Stats LiveStreamStats() const { return m_stream.Statistics(); }
    LightInfoWords GetLightInfo() const { return LightInfoToWords(State().LightRecord()); }
    void SetAudioLightValues(const AudioLightValues& values) override;
    AudioLightValues GetAudioLightValues() override { return m_audioValues; }

    // Custom colour groups (effect 19). Colour-table transfers for a group
    // outside 0..63 are refused (traced); transfers never sleep. The uploads
    // build the table here and queue its write on the transfer worker (1:
    // queued; the device's result goes to the write's waiters).
    bool ReadCustomGroupFromDevice();
    int UploadCustomGroup();
    int UploadProfileGroup();
    void SetCustomGroup(int group);
    void LoadCustomGroup();
    void ReloadCustomGroup();
    void FillCustomColour(bool lit);
    // In effect 19: key `key` takes the current colour, the group is stored
    // and uploaded. Otherwise nothing.
    void PaintCustomKey(int key);

    // ---- Options ----

    // The option's state into the options, the profile and the keyboard
    // (one settings write). Returns SendSettings' result.
    int SetOptionFlag(KeyboardFlag flag, bool on);
    // Report-rate option n (outside 0..3 counts as 0); written to the keyboard.
    int SelectPollingRate(int n);
    // Repeat delay option n (outside 0..3 counts as 0) and the repeat rate:
    // stored and shown, nothing is sent.
    void SelectRepeatDelay(int n);
    void SetRepeatRate(int value);
    void SelectEntry(int index) override;

    // ---- Roles ----

    void SetupProfilePaths() override;
    std::string GetDeviceProfilePath() const override { return m_profile.GetProfilePath(); }
    bool LoadDeviceProfile() override;
    bool SaveDeviceProfile() override;
    void RestoreDefaults() override;
    int SendSettings(int slot, int value, int flag, ScreenSize screen) override;

    int WriteProfileKeys(int bank) override;
    void PruneKeyFunctions() override;
    // Keys 0..169 with their key positions (255: not on this keyboard).
    MacroWriteRequest PrepareMacroWrite(MacroWriteMode mode, int bank) override;

    int ReadPower() override;
    bool IsLinkUp() override;

    // The 25 levels of an audio frame (more are ignored) for effect 29's next
    // frame; in the beat style they go to the beat detector instead, while
    // the keyboard shows effect 29. Wakes the light thread, which draws that
    // frame at once. User-interface thread.
    void FeedAudioLevels(std::span<const int32_t> levels) override;
    int32_t BeatAccumulator() const { return m_beat.Accumulator(); }
    void SetAudioBands(std::span<const int32_t> values) override;

    void SelectCustomGroup(int group) override { SetCustomGroup(group); }
    void ReloadCustomColours() override { ReloadCustomGroup(); }
    void SetPerKeyBrush(bool lit) override { FillCustomColour(lit); }

    // ---- State (tests, panels) ----

    const KeyboardKeyMaps& KeyMaps() const { return m_maps; }
    int KeyPositions() const { return m_positions; }
    const KeyboardSettingsImage& SettingsImage() const { return m_image; }
    const KeyboardSettingsRecord& LastRecord() const { return m_lastRecord; }
    const KeyboardSystemRecord& SystemRecord() const { return m_system; }
    const std::vector<KeyListEntry>& KeyList() const override { return m_keyList; }
    bool StoreKeyEntry(int key, const KeyListEntry& entry) override;
    std::array<int32_t, 6> AudioBands() const;
    CKeyboardProfiledata& Profile() { return m_profile; }
    bool ProfileSwitchPending() const { return m_profileSwitchPending; }

    // Re-reads the profile bar's list and selects the device's profile in it
    // (after the keyboard switched its profile).
    void SetProfileListReloader(std::function<void()> reload);
    // Language texts for the labels the keyboard composes (may be null).
    void SetTextProvider(const ui::TextProvider* texts) { m_texts = texts; }
    // Shows the key assignment panel loaded with a key's entry; SelectEntry calls it.
    void SetKeyPanelHook(std::function<void(int key)> hook) { m_keyPanelHook = std::move(hook); }

protected:
    // One light-thread pass per tick: custom effects (0, 20, above 30) play
    // their steps, then the per-key list draws over them. The keyboard's own
    // effect renderers join here.
    uint32_t RunLightPass(const StopEvent& stop) override;
    // The keys show their lights on the lighting tab only.
    bool LightsOnPage() const override;
    // Effects 29 and 30 stream their frames to the keyboard.
    bool FramesLeaveHost() const override;
    bool OffersDirect() const override { return true; }
    void DirectChanged(bool on) override;
    void OnDeviceEvent(uint16_t code, ChannelType channel) override;
    void StopKindThreads() override { m_stream.Shutdown(); }
    std::string_view LightThreadExitTrace() const override;
    std::string_view EventThreadExitTrace() const override;
    uint32_t EventThreadStopWaitMs() const override { return 500; }
    int ResyncDelayMs() const override { return 50; }
    DeviceTransport& MacroTransport() override { return Driver().CommandTransport(); }
    void TakeKeyTable(const KeyTableImage& table) override { m_deviceKeyList = table; }

    void ReadAttached(std::function<void()> done) override;

private:
    using KeyboardRecordRead = ActiveRecordRead<KeyboardSettingsRecord::kSize>;
    // What the exchanges of ReadLayout read (`asked`: the transport was open).
    struct LayoutRead {
        bool asked = false;
        bool complete = false;
        std::array<uint8_t, kDeviceInfoSize> info{};
        KeyTransferBuffer keyList{};
        KeyTransferBuffer lightMap{};
    };
    struct AttachRead {
        LayoutRead layout;
        KeyboardRecordRead settings;
    };
    // The exchanges of ReadLayout only (safe on the transfer worker).
    LayoutRead FetchLayout();
    // Takes what FetchLayout read over; false when the layout was not read.
    bool ApplyLayout(const LayoutRead& read);
    // The exchanges of ReadSettings only (safe on the transfer worker).
    KeyboardRecordRead FetchSettings();
    // Takes what FetchSettings read over; false (nothing changed) for a failed read.
    bool ApplySettings(const KeyboardRecordRead& read, int* activeProfile);

    // Queues the write of colour table `group` (`frame`, the key positions' bytes).
    int QueueColourTable(const KeyTransferBuffer& frame, int group);
    // Where an effect's start step takes effect 19's group from.
    enum class GroupSource { Device, Profile };
    // Clears the working state of the keyboard's effects, under the LED lock.
    void ResetEffectState();
    // ResetEffectState, then the effect's start step, under the LED lock;
    // effect 19 first takes its colour group from the device or from the
    // profile (outside the lock: that may transfer).
    void RestartEffect(int effect, GroupSource source);
    // The stream thread runs while effect 29 or 30 is selected.
    void UpdateLiveStream();
    // The audio record into the light thread's state (under the LED lock).
    void ShareAudioRecord();
    // Frame start of effect 29: the fed bands and beat ripples. LED lock held.
    void TakeAudioDelivery();
    // Every light button shows its LED of the last copy (lit), or unlit.
    void PaintKeys(bool lit);
    void SelectLayoutPage(int page);
    void SetKeyCaptions(ui::Control& container);
    bool GroupTransferAllowed(int group) const;
    std::vector<uint32_t> LedsCopy() const;
    void StoreGroupColours(int group);
    void LoadGroupColours(int group);
    void ShowOptions();
    void ShowRepeatDelay(int n);
    ui::Control* PageControl(std::string_view name) const;
    // What the keyboard was last given for each key (the profile's key list,
    // read from the file when none is loaded yet), by key number.
    std::vector<KeyFunction> WrittenFunctions();
    void ReloadProfileList();

    CKeyboardProfiledata m_profile;
    std::vector<KeyListEntry> m_keyList;
    KeyboardSystemRecord m_system{};
    KeyboardSettingsImage m_image{};
    KeyboardSettingsRecord m_lastRecord{};
    AudioLightValues m_audioValues{};

    KeyTransferBuffer m_deviceKeyList{};
    KeyTransferBuffer m_deviceLightMap{};
    int m_positions = 0;
    // The last layout read succeeded: its key table is a base to write over.
    bool m_keyTableRead = false;
    size_t m_macroCapacity = 0;
    KeyboardKeyMaps m_maps;
    int m_layoutVariant = 0;
    bool m_regionalLayouts = false;
    int m_layoutPage = 0;

    LightPlayback m_playback;

    std::function<void(int key)> m_keyPanelHook;
    std::function<void()> m_reloadProfileList;
    const ui::TextProvider* m_texts = nullptr;
    std::array<std::atomic<int32_t>, 6> m_bands{};
    // Effect 29's levels on their way to the light thread.
    AudioInbox m_audioInbox;
    BeatDetector m_beat; // user-interface thread
    std::atomic<bool> m_profileSwitchPending{false};

    // Built by OutputLightFrame without allocating.
    std::vector<uint32_t> m_tickLeds;
    bool m_keysLit = false; // the keys show the LEDs (else they show unlit)

    // The effects' working state: guarded by the LED lock, touched only
    // inside Leds().With().
    KeyboardEffectState m_fx;

    // Light thread only.
    LightPacer m_pacer{kLightPassMs};
    AudioFrameGate m_audioGate;

    SteadyStreamClock m_streamClock;
    // Last: its thread goes before anything it uses.
    KeyboardLiveStream m_stream{Driver().CommandTransport(), State().Leds(),
                                [this] { return State().LightControlFlag(); }, m_streamClock};
};

} // namespace velkor
