#pragma once
// CTolvanicHS6533Device: the family's USB headset (HS6533 audio chip).
//
// Two things at once:
//   - a lit pad-like device (PadLightingDevice.h, shared with the mouse pad):
//     light record, settings image, light thread with the headset's wave as
//     effect 0; unlike the pad its frames leave the host as twelve LED output
//     reports, written by a sender thread, never the user-interface thread;
//   - an audio device: microphone and monitoring level and mute, a ten-band
//     equaliser with twelve presets and up to twenty custom ones, a voice
//     changer; all through the audio plugin (AudioLibrary.h), their state in
//     the profile's "SystemSetStages".
//
// The panels show HeadsetView: the operations read the sliders and options
// from it and write back what the headset plays.
//
// Threads: everything on the user-interface thread, except the light thread
// and the LED sender.
#include "devices/PadLightingDevice.h"
#include "headset/AudioLibrary.h"
#include "headset/HeadsetLedFrame.h"
#include "profiles/Hs6533Profiledata.h"

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

namespace ui {
class UserPrompts;
}

// What the headset's two panels show.
struct HeadsetView {
    bool micOption = false;     // microphone on (unmuted)
    int micSlider = 0;          // 0..100
    bool monitorOption = false; // monitoring on
    int monitorSlider = 0;
    int eqOption = 0; // 0..13
    bool customEnabled = false;
    std::array<int, kEqBandCount> bandSliders{};
    std::vector<std::string> customList;
    int customSelected = -1;
    std::string nameField;
    bool voiceEnabled = false;
    bool voiceOptionsEnabled = false;
    int voice = 0; // 1..4, 0 none
};

// Band gains of equaliser presets 1..12; empty outside.
std::span<const int32_t> EqPreset(int type);

// Loads the plugin the headset uses; null when there is none.
using AudioPluginLoader = std::function<std::unique_ptr<AudioLibrary>()>;

class CTolvanicHS6533Device final : public CPadLightingDevice {
public:
    static constexpr std::string_view kClassName = "TolvanicHS6533Device";
    static constexpr std::string_view kLightContainer = "hs6533_device_key_light";
    static constexpr DeviceClass kKindTag = DeviceClass::Headset;
    // An unchanged LED frame is sent again only when its last sending
    // failed, and then at most this often.
    static constexpr uint32_t kLedRetryMs = 1000;

    CTolvanicHS6533Device(const DeviceServices& services, AudioPluginLoader loader);
    ~CTolvanicHS6533Device() override;

    std::string_view ClassName() const override { return kClassName; }
    // The two start-up messages of the plugin go here (none without).
    void SetPrompts(ui::UserPrompts* prompts) { m_prompts = prompts; }

    // ---- Device ----

    // The pad's page, then StartAudio once.
    void InitPage() override;
    bool LoadDeviceProfile() override;
    void RestoreDefaults() override;
    void RefreshView() override;
    // Only with the light-control flag set: paints the overlays as the base
    // does; while synchronised lighting drives the LEDs (the light thread then
    // rests) it also hands the frame to the LED sender. Never waits for a write.
    void OutputLightFrame() override;

    // ---- Audio ----

    // Plugin start-up, then the defaults and the read-back when it found an
    // output endpoint. Run again by ReadDevice while it found none.
    void StartAudio();
    void WriteAudioDefaults();
    void ReadAudioState();

    void SelectEqPreset(int type);
    void SetEqBand(int band);
    void ApplyCustomEq();
    // 1 saved, 0 the name exists, -1 refused.
    int SaveCustomEq();
    void DeleteCustomEq();
    // False when the headset refused: what is shown is put back to what it has.
    bool SetMicLevel();
    bool ToggleMic();
    bool SetMonitorLevel();
    bool ToggleMonitor();
    void SetVoiceChangerEnabled();
    void SelectVoice(int voice);

    // ---- State ----

    HeadsetView& View() { return m_view; }
    // Called at the end of every RefreshView: the panels show the view.
    void SetViewShown(std::function<void()> shown) { m_viewShown = std::move(shown); }
    const HeadsetSystemRecord& Settings() const { return m_settings; }
    const std::vector<int32_t>& BandValues() const { return m_bands; }
    const std::vector<std::string>& CustomNames() const { return m_customNames; }
    bool MicMuted() const { return m_micMuted != 0; }
    bool MonitorMuted() const { return m_monitorMuted != 0; }
    AudioAvailability Availability(AudioGroup group) const;
    // Null without a plugin.
    AudioLibrary* Audio() const { return m_audio.get(); }
    CHs6533Profiledata& HeadsetProfile() { return m_headsetProfile; }
    const HeadsetLedSender& LedSender() const { return m_ledSender; }

protected:
    bool FramesLeaveHost() const override { return true; }
    // The light thread rests while synchronised lighting drives the LEDs:
    // the tick then carries the frames.
    bool TickDrivesDevice() const override;
    void FrameRendered(uint32_t nowMs) override;
    bool OffersDirect() const override { return true; }
    void DirectFrame() override;
    void StopKindThreads() override { m_ledSender.Stop(); }
    void ReadKindState() override;
    // Attach: the headset may have lost its LEDs, so the next frame goes
    // whether or not it changed; then as the pad.
    void ReadAttached(std::function<void()> done) override;

private:
    bool AudioReady() const { return m_audio != nullptr && m_audio->HasOutput(); }
    // "Default": the get, and only when it fails the set of 0.
    void DefaultInt(const OsConfEndpoint& endpoint, std::u16string_view name, const PropertyExtra& getExtra,
                    const PropertyExtra& setExtra);
    void DefaultFloat(const OsConfEndpoint& endpoint, std::u16string_view name, const PropertyExtra& extra);
    // The band values in memory and on the sliders, always ten.
    void ShowBands(std::vector<int32_t> bands);
    // What the panel shows, sent: "Enable_EQ_GFX" 1 and the ten bands (nothing for "EqType" 0).
    void SendShownEq();
    void SendBands();
    void SaveSettings();
    void RecordStatus(AudioGroup group, int32_t status);
    void ReadProfileAudio();

    CHs6533Profiledata m_headsetProfile;
    AudioPluginLoader m_loader;
    std::unique_ptr<AudioLibrary> m_audio;
    bool m_audioStarted = false;
    ui::UserPrompts* m_prompts = nullptr;
    HeadsetSystemRecord m_settings{};
    int32_t m_monitorMuted = 0;
    int32_t m_micMuted = 0;
    std::vector<int32_t> m_bands;
    std::vector<std::string> m_customNames;
    HeadsetView m_view;
    std::function<void()> m_viewShown;
    std::array<int32_t, 4> m_groupStatus{-1, -1, -1, -1}; // last status per group, -1 never asked

    // The frames go to the headset from the light thread after each render
    // (from the tick while synchronised): only a frame that changed, or one
    // whose last sending failed (at most once a second), since the headset
    // keeps what it was sent. Guarded by m_ledMutex; written by the sender.
    void SubmitLedFrame(uint32_t nowMs);
    std::mutex m_ledMutex;
    std::vector<uint32_t> m_ledCopy;
    std::optional<HeadsetLedFrame> m_lastLedFrame;
    uint32_t m_lastLedSubmitMs = 0;
    HeadsetLedSender m_ledSender;
};

} // namespace velkor
