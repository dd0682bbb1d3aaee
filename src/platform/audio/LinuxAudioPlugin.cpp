// The Linux audio plugin: property dispatch and the five entry points.
#include "platform/audio/LinuxAudioPlugin.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

namespace velkor::linuxaudio {

namespace {

constexpr size_t kMaxNameUnits = 64;
constexpr int32_t kOutputType = 1;
constexpr int32_t kInputType = 2;

// The name as ASCII; nothing when it is unterminated within the limit or not ASCII.
std::optional<std::string> NarrowName(const char16_t* name) {
    std::string narrow;
    for (size_t i = 0; name != nullptr && i < kMaxNameUnits; ++i) {
        if (name[i] == 0) {
            return narrow;
        }
        if (name[i] > 0x7E) {
            return std::nullopt;
        }
        narrow += char(name[i]);
    }
    return std::nullopt;
}

std::string FloatText(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.6g", value);
    return text;
}

} // namespace

struct LinuxAudioPlugin::Call {
    bool set = false;
    uint8_t* buffer = nullptr;

    int32_t Int() const {
        int32_t value = 0;
        std::memcpy(&value, buffer, sizeof(value));
        return value;
    }
    float Float() const {
        float value = 0;
        std::memcpy(&value, buffer, sizeof(value));
        return value;
    }
    // The answer as zero-terminated UTF-16 within the buffer.
    int32_t Answer(const std::string& text) {
        const size_t units = std::min<size_t>(text.size(), OSCONF_BUFFER_SIZE / 2 - 1);
        for (size_t i = 0; i < units; ++i) {
            const char16_t unit = char16_t(uint8_t(text[i]));
            std::memcpy(buffer + 2 * i, &unit, 2);
        }
        std::memset(buffer + 2 * units, 0, 2);
        return kOk;
    }
};

PipeWireEffects& LinuxAudioPlugin::Effects() {
    if (m_effects == nullptr) {
        m_effects = std::make_unique<PipeWireEffects>();
    }
    return *m_effects;
}

PluginProcess PluginProcess::From(const Environment& environment) {
    return PluginProcess{environment.Get("VELKOR_HEADSET_ALSA"), environment.Get("LADSPA_PATH"),
                         AudioStatePath(environment)};
}

Environment PluginProcess::Read() {
    return Environment::FromProcess({"VELKOR_HEADSET_ALSA", "LADSPA_PATH", "XDG_STATE_HOME", "HOME"});
}

void LinuxAudioPlugin::Save() {
    WriteAudioState(m_process.statePath, m_state);
}

std::string LinuxAudioPlugin::PitchShifter() const {
    return PitchShifterPath(m_process.ladspaPath);
}

int32_t LinuxAudioPlugin::OpenCard(CardMixer& mixer) const {
    const std::optional<std::string> device = FindHeadsetCard(m_process.headsetCard);
    return device ? mixer.Open(*device) : kCardGone;
}

void LinuxAudioPlugin::Reconcile() {
    PipeWireEffects& effects = Effects();
    if (m_state.eqEnabled && !effects.EqualiserLoaded()) {
        effects.SetEqualiser(true, m_state.bands);
    }
    if (m_state.voiceEnabled && !effects.VoiceChangerLoaded()) {
        if (const std::string pitchShifter = PitchShifter(); !pitchShifter.empty()) {
            effects.SetVoiceChanger(true, m_state.voice, pitchShifter);
        }
    }
}

int32_t LinuxAudioPlugin::ConfLibInit(const PluginProcess& process) {
    std::lock_guard lock(m_mutex);
    m_process = process;
    Effects().BeginCall();
    m_state = ReadAudioState(m_process.statePath);
    m_cardPresent = FindHeadsetCard(m_process.headsetCard).has_value();
    if (m_cardPresent && (m_state.eqEnabled || m_state.voiceEnabled) && Effects().Reachable() == kOk) {
        Reconcile(); // as a driver keeps them: back as they were
    }
    return kOk;
}

int32_t LinuxAudioPlugin::CreateDeviceList(const PluginProcess& process) {
    std::lock_guard lock(m_mutex);
    m_process = process;
    m_cardPresent = FindHeadsetCard(m_process.headsetCard).has_value();
    return kOk;
}

int32_t LinuxAudioPlugin::GetDeviceCount(int32_t flow, int32_t* count) {
    std::lock_guard lock(m_mutex);
    if (count == nullptr || (flow != OSCONF_FLOW_OUTPUT && flow != OSCONF_FLOW_INPUT)) {
        return kUnknownProperty;
    }
    *count = m_cardPresent ? 1 : 0;
    return kOk;
}

int32_t LinuxAudioPlugin::GetDeviceById(int32_t flow, int32_t index, OsConfEndpoint* endpoint) {
    std::lock_guard lock(m_mutex);
    if (endpoint == nullptr || (flow != OSCONF_FLOW_OUTPUT && flow != OSCONF_FLOW_INPUT)) {
        return kUnknownProperty;
    }
    if (!m_cardPresent || index != 0) {
        return kCardGone;
    }
    *endpoint = OsConfEndpoint{{0, flow == OSCONF_FLOW_OUTPUT ? kOutputType : kInputType, flow, 1}};
    return kOk;
}

int32_t LinuxAudioPlugin::PropertyControl(const PluginProcess& process, OsConfEndpoint endpoint,
                                          const char16_t* name, void** value,
                                          void** /*extra: every control moves all channels*/,
                                          int32_t operation) {
    std::lock_guard lock(m_mutex);
    m_process = process;
    Effects().BeginCall(); // however many waits the call makes, none outlasts the call's time
    const std::optional<std::string> property = NarrowName(name);
    if (!property || value == nullptr || *value == nullptr ||
        (operation != OSCONF_GET && operation != OSCONF_SET)) {
        return kUnknownProperty;
    }
    const bool output = endpoint.w[1] == kOutputType && endpoint.w[2] == OSCONF_FLOW_OUTPUT;
    const bool input = endpoint.w[1] == kInputType && endpoint.w[2] == OSCONF_FLOW_INPUT;
    if (!output && !input) {
        return kCardGone; // not an endpoint of ours
    }
    Call call{operation == OSCONF_SET, static_cast<uint8_t*>(*value)};
    const std::string& p = *property;
    if (p == "GetSupportFeature") {
        return call.set ? kUnknownProperty : Features(call, input);
    }
    if (p == "Enable_ENC_LFX" || p == "ENC_SELFCALIB" || p == "Enable_RFX_GFX" || p == "RFX_ENVIRONMENT" ||
        p == "RFX_ROOMSIZE" || p == "VirtualSurroundEffectControl" || p == "Enable_MICECHO") {
        return Absent(call);
    }
    if (p == "Enable_EQ_GFX") {
        return Equaliser(call);
    }
    if (p.starts_with("EQ_Slider")) {
        const std::string number = p.substr(9);
        for (int band = 1; band <= kBandCount; ++band) {
            if (number == std::to_string(band)) {
                return Band(call, band - 1);
            }
        }
        return kUnknownProperty;
    }
    if (p == "Enable_MAGICVOICE") {
        return VoiceChanger(call);
    }
    if (p == "MagicVoice_Selection") {
        return Voice(call);
    }
    // The rest are the card's microphone and side-tone.
    const bool monitoring = p.starts_with("AA") || p.starts_with("GetAA");
    const MixerGroup group = monitoring ? MixerGroup::Monitoring : MixerGroup::Microphone;
    LevelMemory& memory = monitoring ? m_state.monitor : m_state.mic;
    if (p == "VolumeScalarControl" || p == "AAVolumeScalarControl") {
        return Level(call, group, memory);
    }
    if (p == "VolumeControl" || p == "AAVolumeControl") {
        return Decibels(call, group);
    }
    if (p == "MuteControl" || p == "AAMuteControl") {
        return Mute(call, group);
    }
    for (const std::string_view which : {"MaxVol", "MinVol", "VolStep"}) {
        if (p == "Get" + std::string(which) || p == "GetAA" + std::string(which)) {
            return call.set ? kUnknownProperty : Range(call, group, which);
        }
    }
    return kUnknownProperty;
}

// ---- Card ----

int32_t LinuxAudioPlugin::Level(Call& call, MixerGroup group, LevelMemory& memory) {
    CardMixer mixer;
    RawLevel level;
    int32_t status = OpenCard(mixer);
    if (status == kOk) {
        status = mixer.GetLevel(group, level);
    }
    if (status != kOk) {
        return status;
    }
    const double span = double(level.max - level.min);
    if (!call.set) {
        // The level set, while the card still holds what it became.
        const bool remembered = memory.known && memory.raw == level.value;
        return call.Answer(FloatText(remembered ? memory.scalar : (level.value - level.min) / span));
    }
    const float wanted = call.Float();
    if (!std::isfinite(wanted)) {
        return kNoSuchControl;
    }
    const double scalar = std::clamp(double(wanted), 0.0, 1.0);
    const long raw = level.min + std::lround(scalar * span);
    status = mixer.SetLevel(group, raw);
    if (status == kOk) {
        memory = LevelMemory{true, raw, scalar};
        Save();
    }
    return status;
}

int32_t LinuxAudioPlugin::Decibels(Call& call, MixerGroup group) {
    CardMixer mixer;
    if (const int32_t status = OpenCard(mixer); status != kOk) {
        return status;
    }
    if (call.set) {
        return mixer.SetDb(group, double(call.Float()));
    }
    double db = 0;
    const int32_t status = mixer.GetDb(group, db);
    return status == kOk ? call.Answer(FloatText(db)) : status;
}

int32_t LinuxAudioPlugin::Mute(Call& call, MixerGroup group) {
    CardMixer mixer;
    if (const int32_t status = OpenCard(mixer); status != kOk) {
        return status;
    }
    if (call.set) {
        return mixer.SetMuted(group, call.Int() != 0);
    }
    bool muted = false;
    const int32_t status = mixer.GetMuted(group, muted);
    return status == kOk ? call.Answer(muted ? "1" : "0") : status;
}

int32_t LinuxAudioPlugin::Range(Call& call, MixerGroup group, std::string_view which) {
    CardMixer mixer;
    DbRange range;
    int32_t status = OpenCard(mixer);
    if (status == kOk) {
        status = mixer.GetDbRange(group, range);
    }
    if (status != kOk) {
        return status;
    }
    return call.Answer(FloatText(which == "MaxVol" ? range.max : which == "MinVol" ? range.min : range.step));
}

// ---- PipeWire ----

int32_t LinuxAudioPlugin::Equaliser(Call& call) {
    if (const int32_t status = Effects().Reachable(); status != kOk) {
        return status;
    }
    if (!call.set) {
        Reconcile();
        return call.Answer(Effects().EqualiserLoaded() ? "1" : "0");
    }
    const int32_t on = call.Int();
    if (on != 0 && on != 1) {
        return kNoSuchControl;
    }
    const int32_t status = Effects().SetEqualiser(on == 1, m_state.bands);
    if (status == kOk) {
        m_state.eqEnabled = on == 1;
        Save();
    }
    return status;
}

int32_t LinuxAudioPlugin::Band(Call& call, int band) {
    if (const int32_t status = Effects().Reachable(); status != kOk) {
        return status;
    }
    if (!call.set) {
        return call.Answer(std::to_string(m_state.bands[size_t(band)]));
    }
    const int32_t units = call.Int();
    if (units < kBandMin || units > kBandMax) {
        return kNoSuchControl;
    }
    m_state.bands[size_t(band)] = units;
    Save();
    return Effects().SetBands(m_state.bands);
}

int32_t LinuxAudioPlugin::VoiceChanger(Call& call) {
    const std::string pitchShifter = PitchShifter();
    if (pitchShifter.empty()) {
        return kPitchShifterMissing;
    }
    if (const int32_t status = Effects().Reachable(); status != kOk) {
        return status;
    }
    if (!call.set) {
        Reconcile();
        return call.Answer(Effects().VoiceChangerLoaded() ? "1" : "0");
    }
    const int32_t on = call.Int();
    if (on != 0 && on != 1) {
        return kNoSuchControl;
    }
    const int32_t status = Effects().SetVoiceChanger(on == 1, m_state.voice, pitchShifter);
    if (status == kOk) {
        m_state.voiceEnabled = on == 1;
        Save();
    }
    return status;
}

int32_t LinuxAudioPlugin::Voice(Call& call) {
    if (!call.set) {
        return call.Answer(std::to_string(m_state.voice));
    }
    const int32_t voice = call.Int();
    if (voice < 0 || voice > 3) {
        return kNoSuchControl;
    }
    m_state.voice = voice;
    Save();
    return Effects().SetVoice(voice);
}

int32_t LinuxAudioPlugin::Features(Call& call, bool input) {
    int32_t word = 0;
    if (input && !PitchShifter().empty() && Effects().Reachable() == kOk) {
        word |= 0x20000; // the voice changer
    }
    // Seven items; only the first means something to the program.
    return call.Answer(std::to_string(word) + ",0,0,0,0,0,0");
}

int32_t LinuxAudioPlugin::Absent(Call& call) {
    if (!call.set) {
        return call.Answer("0");
    }
    return call.Int() == 0 ? kOk : kNoSuchControl;
}

} // namespace velkor::linuxaudio

namespace {

// The boundary has no context argument: one plugin per loaded copy.
velkor::linuxaudio::LinuxAudioPlugin& Plugin() {
    static velkor::linuxaudio::LinuxAudioPlugin plugin;
    return plugin;
}

} // namespace

extern "C" {

// The entry points read the environment, each for its own call.
int32_t ConfLibInit(void) {
    using velkor::linuxaudio::PluginProcess;
    return Plugin().ConfLibInit(PluginProcess::From(PluginProcess::Read()));
}

int32_t CreateDeviceList(void) {
    using velkor::linuxaudio::PluginProcess;
    return Plugin().CreateDeviceList(PluginProcess::From(PluginProcess::Read()));
}

int32_t GetDeviceCount(int32_t flow, int32_t* count) {
    return Plugin().GetDeviceCount(flow, count);
}

int32_t GetDeviceById(int32_t flow, int32_t index, OsConfEndpoint* endpoint) {
    return Plugin().GetDeviceById(flow, index, endpoint);
}

int32_t PropertyControl(OsConfEndpoint endpoint, const char16_t* name, void** value, void** extra,
                        int32_t operation) {
    using velkor::linuxaudio::PluginProcess;
    return Plugin().PropertyControl(PluginProcess::From(PluginProcess::Read()), endpoint, name, value, extra,
                                    operation);
}

} // extern "C"
