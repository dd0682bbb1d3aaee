#pragma once
// CPadLightingDevice: what the mouse pad and the headset share, a lit device
// with no keys, macros or DPI whose effects the host renders. On top of the
// device base it keeps
//   - the profile document (the kind's, handed in);
//   - the settings image, its view of the device's 21-byte settings record
//     (the mouse pad's layout, PadSettings.h):
//     the lighting fields from the profile, the active profile number, the
//     direction and bytes 9..20 from the pad;
//   - the light list and custom effect steps its light thread plays;
//   - the information block read at attach (stored, not interpreted).
// The pad's record is read after each event it reports (0x401) and, so that
// no write ever sends the pad back bytes it never reported, before the first
// write after each attach; a write whose read fails is not sent.
//
// Threads: everything on the user-interface thread except the event thread
// (which only starts the list item's resync timer) and the light thread.
#include "devices/DeviceParts.h"
#include "devices/KindRenderers.h"
#include "devices/LightTables.h"
#include "devices/PadSettings.h"
#include "devices/TolvanicUSBDevice.h"
#include "profiles/BasicProfiledata.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velkor {

// What a kind gives the shared part.
struct PadKindFacts {
    DeviceClass kindTag;
    // The page's container of LED overlays.
    std::string_view lightContainer;
    // The kind's effects by mode position (KindRenderers.h).
    std::span<const leds::EffectRenderer> effects;
    // How trace lines name the kind ("mouse pad"); a string literal.
    std::string_view traceName;
};

class CPadLightingDevice : public CTolvanicUSBDevice, public ProfileIo, public PowerSource {
public:
    // `profile` is the kind's member: only its address is kept here.
    CPadLightingDevice(const DeviceServices& services, const PadKindFacts& facts, CBasicProfiledata& profile);
    ~CPadLightingDevice() override;

    // ---- Page ----

    void InitPage() override { BuildPage(); }
    // Collects the key buttons and LED overlays of the kind's container
    // (the page's first selection panel when it has none of that name), by
    // name and by "light_" user data. Without a page: no keys, no LEDs.
    void BuildPage();

    // ---- Device ----

    // Attach (ReadDevice): with the transport open BeginSession,
    // ReadDeviceInfo, EndSession on the transfer worker; then, here,
    // LoadDeviceProfile, ReadKindState, RefreshView, light thread. The record
    // a write sends is built from the profile: the state counts as read once
    // it was loaded. The next write reads the pad's record first.
    // After event 0x401 (timer 1002): the reads of ReadSettings on the
    // transfer worker; when they read the pad, the image takes them over and
    // the main window hears 3328 with the active profile (user-interface thread).
    void ReloadAfterEvent() override;
    // Clears synchronised lighting, then reads the active profile number and
    // its record into the settings image. The profile, the light record and
    // the lighting panel stay as they are: what was read reaches the pad
    // again with the next write. False (image unchanged) when the transport
    // is closed or a read fails or is refused.
    bool ReadSettings(int* activeProfile = nullptr);
    // The panels' name lists, then the light record in the lighting panel.
    void RefreshView() override;

    // ---- Lighting ----

    // The profile's "LightInfo" into the light record and the settings image;
    // the light list and the custom effect steps reloaded; the light thread
    // woken, so that a new speed shows at once. The effect is not restarted.
    void ApplyLightState() override;
    LightInfoWords GetLightInfo() const { return LightInfoToWords(State().LightRecord()); }

    // ---- Roles ----

    void SetupProfilePaths() override { SetupDeviceProfilePaths(m_profile, *this); }
    std::string GetDeviceProfilePath() const override { return m_profile.GetProfilePath(); }
    bool LoadDeviceProfile() override;
    bool SaveDeviceProfile() override;
    // The default profile, applied, saved and shown (nothing is sent).
    void RestoreDefaults() override;
    // Writes the 21-byte record of slot 0 (other slots are refused, result 0;
    // the last three arguments are not used). Before the first write after an
    // attach the pad's own bytes are read; when that fails nothing is
    // written. The transport's result code (0 when closed).
    int SendSettings(int slot, int value, int flag, ScreenSize screen) override;

    // Reads the power status with no link check (the pad has no receiver).
    int ReadPower() override { return ReadAndShowPower(*this); }
    bool IsLinkUp() override { return true; }

    // ---- State ----

    const PadSettingsImage& SettingsImage() const { return m_image; }
    // The pad's own bytes have been read since the last attach.
    bool ImageFromPad() const { return m_imageFromPad; }
    const std::array<uint8_t, kDeviceInfoSize>& InfoBlock() const { return m_info; }
    CBasicProfiledata& Profile() { return m_profile; }
    const PadKindFacts& KindFacts() const { return m_facts; }
    LightPlayback& Playback() { return m_playback; }

protected:
    void ReadAttached(std::function<void()> done) override;
    // Between loading the profile and refreshing the page at attach: what the
    // kind reads besides the profile. Nothing here.
    virtual void ReadKindState() {}
    // One light-thread pass per tick of two passes: the selected effect once
    // its threshold is reached, custom effects on every tick, then the list.
    // Returns the time until its next frame is due (no pass in between).
    uint32_t RunLightPass(const StopEvent& stop) override;
    // The light thread has rendered a tick (the LED buffer is up to date).
    // Nothing here; a kind whose frames leave the host sends them.
    virtual void FrameRendered(uint32_t nowMs) { (void)nowMs; }

    ui::Control* PageControl(std::string_view name) const;

private:
    using PadRecordRead = ActiveRecordRead<PadSettingsRecord::kSize>;
    // The exchanges only (safe on the transfer worker).
    PadRecordRead FetchRecord();
    // What FetchRecord read as an image; nullopt (traced) when the transport
    // was closed or a read failed.
    std::optional<PadSettingsImage> DecodeRecord(const PadRecordRead& read) const;
    // The active profile's record as the pad holds it, read now.
    std::optional<PadSettingsImage> ReadFromPad();
    // Stores a read image; false (nothing changes) without one.
    bool TakeImage(const std::optional<PadSettingsImage>& read);
    const char* TraceName() const { return m_facts.traceName.data(); }

    const PadKindFacts m_facts;
    CBasicProfiledata& m_profile;
    PadSettingsImage m_image{};
    bool m_imageFromPad = false;
    std::array<uint8_t, kDeviceInfoSize> m_info{};
    LightPlayback m_playback;
    uint8_t m_effect = 0xFF; // the effect last applied, to restart on a change

    // Light thread only.
    LightPacer m_pacer{2 * kLightPassMs};
};

} // namespace velkor
