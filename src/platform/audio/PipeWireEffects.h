#pragma once
// The headset's equaliser and voice changer as PipeWire filter-chain nodes,
// run inside the plugin's own PipeWire context:
//   - equaliser: a sink "Headset equaliser" (ten peaking filters, headroom by
//     a mixer gain) whose output goes to the headset's sink; the default sink
//     while the headset's was, given back when it goes;
//   - voice changer: a source "Headset microphone (voice changer)" fed by the
//     headset's source through the rubberband LADSPA pitch shifter; the
//     default source while on.
// The headset's nodes are those whose `device.vendor.id` and
// `device.product.id` (on the node or its device) are the headset's; they
// are looked up at every call, so a replugged headset or a node that comes
// late is found.
//
// The waits of one plugin call (BeginCall) end within the time limit
// (kCallTimeoutMs) all together; every call returns with a status of
// HeadsetCard.h. Called from one thread at a time; PipeWire's own work runs
// on a loop thread of the object's.
#include "platform/audio/AudioStateFile.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace velkor::linuxaudio {

inline constexpr int kCallTimeoutMs = 400;

// Voices 0..3 in semitones.
inline constexpr std::array<int, 4> kVoiceSemitones = {5, 9, -5, -10};

// The rubberband LADSPA plugin's file in the folders of `ladspaPath`
// (LADSPA_PATH; empty: the usual folders); empty when it is not installed.
std::string PitchShifterPath(const std::string& ladspaPath);

class PipeWireEffects {
public:
    PipeWireEffects();
    // Unloads the chains and gives the defaults back.
    ~PipeWireEffects();
    PipeWireEffects(const PipeWireEffects&) = delete;
    PipeWireEffects& operator=(const PipeWireEffects&) = delete;

    // Starts the time of one plugin call: every wait until the next
    // BeginCall ends within kCallTimeoutMs of now, all of them together.
    void BeginCall();

    // kOk when a PipeWire daemon answers, connecting (again) when needed;
    // kPipeWireUnreachable otherwise.
    int32_t Reachable();

    // Loads (on) or unloads (off) the equaliser with these band units
    // (0.5 dB each). kNoSuchControl when the headset has no sink.
    int32_t SetEqualiser(bool on, const std::array<int32_t, kBandCount>& bands);
    // The gains of a loaded equaliser, live; kOk and nothing done when none is loaded.
    int32_t SetBands(const std::array<int32_t, kBandCount>& bands);
    bool EqualiserLoaded() const;

    // Loads or unloads the voice changer with voice 0..3 through the pitch
    // shifter at `pitchShifter` (PitchShifterPath). kPitchShifterMissing
    // without it, kNoSuchControl without a headset source.
    int32_t SetVoiceChanger(bool on, int32_t voice, const std::string& pitchShifter);
    int32_t SetVoice(int32_t voice);
    bool VoiceChangerLoaded() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace velkor::linuxaudio
