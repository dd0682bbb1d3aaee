#pragma once
// The Linux audio plugin (libosconf.so): the boundary of OsConfAbi.h served
// by the headset's sound card and the PipeWire session.
//
//   - endpoints: one output (type 1, state 1 while the card is present) and
//     one input (type 2) while the card exists;
//   - microphone and monitoring levels and mutes on the card's ALSA mixer,
//     linear over the raw range;
//   - equaliser and voice changer as PipeWire filter chains
//     (PipeWireEffects.h); their state survives restarts (AudioStateFile.h)
//     and returns at ConfLibInit;
//   - surround, room effect and noise cancelling: not offered, get 0, only
//     0 can be set.
// Statuses: HeadsetCard.h. Answers are zero-terminated UTF-16 within 1024
// bytes. Calls are serialised by the plugin; none waits longer than the
// PipeWire time limit. Each entry point hands in the environment it read, so
// a variable changed between calls takes effect at the next one.
#include "platform/Environment.h"
#include "platform/audio/AudioStateFile.h"
#include "platform/audio/HeadsetCard.h"
#include "platform/audio/OsConfAbi.h"
#include "platform/audio/PipeWireEffects.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::linuxaudio {

// What the plugin takes from the process environment.
struct PluginProcess {
    std::string headsetCard; // VELKOR_HEADSET_ALSA: the card's ALSA device, instead of looking for it
    std::string ladspaPath;  // LADSPA_PATH: where the pitch shifter is looked for
    std::string statePath;   // the state file (XDG_STATE_HOME, HOME)

    static PluginProcess From(const Environment& environment);
    // The variables From reads, for Environment::FromProcess.
    static Environment Read();
};

class LinuxAudioPlugin {
public:
    LinuxAudioPlugin() = default;

    int32_t ConfLibInit(const PluginProcess& process);
    int32_t CreateDeviceList(const PluginProcess& process);
    int32_t GetDeviceCount(int32_t flow, int32_t* count);
    int32_t GetDeviceById(int32_t flow, int32_t index, OsConfEndpoint* endpoint);
    int32_t PropertyControl(const PluginProcess& process, OsConfEndpoint endpoint, const char16_t* name,
                            void** value, void** extra, int32_t operation);

private:
    struct Call; // one property call: its operation, value buffer and answer

    int32_t Level(Call& call, MixerGroup group, LevelMemory& memory);
    int32_t Decibels(Call& call, MixerGroup group);
    int32_t Mute(Call& call, MixerGroup group);
    int32_t Range(Call& call, MixerGroup group, std::string_view which);
    int32_t Equaliser(Call& call);
    int32_t Band(Call& call, int band);
    int32_t VoiceChanger(Call& call);
    int32_t Voice(Call& call);
    int32_t Features(Call& call, bool input);
    // Surround, room effect, noise cancelling, echo: get 0, only 0 can be set.
    static int32_t Absent(Call& call);

    // The equaliser and voice changer the state asks for, loaded when they
    // are not (the daemon restarted, the headset's node came late).
    void Reconcile();
    PipeWireEffects& Effects();
    void Save();
    // The pitch shifter's file; empty when it is not installed.
    std::string PitchShifter() const;
    // The card's mixer for one call: kCardGone when the headset is not there.
    int32_t OpenCard(CardMixer& mixer) const;

    std::mutex m_mutex;
    PluginProcess m_process; // of the call under way
    bool m_cardPresent = false;
    AudioState m_state;
    std::unique_ptr<PipeWireEffects> m_effects;
};

} // namespace velkor::linuxaudio
