#pragma once
// The headset's sound card and its ALSA mixer: microphone (capture volume
// and switch of "Mic") and monitoring (playback volume and switch of
// "Sidetone", else of "Mic": the USB side-tone).
//
// The card is found afresh for every call, so a replugged headset (new card
// number) keeps working. A mixer object is opened for one call and closed
// with it. Not thread-safe; the plugin serialises its calls.
#include <alsa/asoundlib.h>

#include <cstdint>
#include <optional>
#include <string>

namespace velkor::linuxaudio {

// The plugin's status codes (0 = success).
enum Status : int32_t {
    kOk = 0,
    kUnknownProperty = 1,
    kNoSuchControl = 2,
    kPipeWireUnreachable = 3,
    kPitchShifterMissing = 4,
    kCardGone = 5,
};

inline constexpr uint16_t kHeadsetVendor = 0x0c76;
inline constexpr uint16_t kHeadsetProduct = 0x1630;

// The ALSA control device of the headset: `named` (VELKOR_HEADSET_ALSA) when
// not empty, otherwise "hw:N" of the "sound" card whose USB parent is the
// headset. Nothing when there is none.
std::optional<std::string> FindHeadsetCard(const std::string& named);

enum class MixerGroup { Microphone, Monitoring };

// A raw level with its range.
struct RawLevel {
    long value = 0;
    long min = 0;
    long max = 0;
};

// The decibel range of a group's volume and one raw step in decibels.
struct DbRange {
    double min = 0;
    double max = 0;
    double step = 0;
};

class CardMixer {
public:
    CardMixer() = default;
    ~CardMixer();
    CardMixer(const CardMixer&) = delete;
    CardMixer& operator=(const CardMixer&) = delete;

    // kOk, or kCardGone when the control device does not open.
    int32_t Open(const std::string& device);

    // Each returns kOk, or kNoSuchControl when the card lacks the control.
    int32_t GetLevel(MixerGroup group, RawLevel& level);
    int32_t SetLevel(MixerGroup group, long raw);
    int32_t GetMuted(MixerGroup group, bool& muted);
    int32_t SetMuted(MixerGroup group, bool muted);
    int32_t GetDbRange(MixerGroup group, DbRange& range);
    int32_t GetDb(MixerGroup group, double& db);
    int32_t SetDb(MixerGroup group, double db);

private:
    // The element with the group's volume (or switch), and whether it is
    // its capture side; null when the card has none.
    snd_mixer_elem_t* Find(MixerGroup group, bool wantSwitch, bool& capture) const;

    snd_mixer_t* m_mixer = nullptr;
};

} // namespace velkor::linuxaudio
