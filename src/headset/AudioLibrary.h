#pragma once
// The headset's audio boundary: one loaded audio plugin (OsConfAbi.h), the
// endpoints chosen from it, their feature words, and typed property calls
// through two exchange buffers that the object owns.
//
// Owned by one headset device and called on the user-interface thread only;
// the buffers are used by one call at a time. Every failure is a return
// value: a missing plugin, entry point or endpoint makes every call fail,
// never crash. Answers are parsed within the buffer, whether or not the
// plugin ended them.
#include "platform/audio/OsConfAbi.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

class SharedLibrary;

// The property catalogue.
namespace audio {
inline constexpr std::u16string_view kSupportFeature = u"GetSupportFeature";
inline constexpr std::u16string_view kVolume = u"VolumeControl";
inline constexpr std::u16string_view kVolumeScalar = u"VolumeScalarControl";
inline constexpr std::u16string_view kMute = u"MuteControl";
inline constexpr std::u16string_view kAAVolume = u"AAVolumeControl";
inline constexpr std::u16string_view kAAVolumeScalar = u"AAVolumeScalarControl";
inline constexpr std::u16string_view kAAMute = u"AAMuteControl";
inline constexpr std::u16string_view kMaxVol = u"GetMaxVol";
inline constexpr std::u16string_view kMinVol = u"GetMinVol";
inline constexpr std::u16string_view kVolStep = u"GetVolStep";
inline constexpr std::u16string_view kAAMaxVol = u"GetAAMaxVol";
inline constexpr std::u16string_view kAAMinVol = u"GetAAMinVol";
inline constexpr std::u16string_view kAAVolStep = u"GetAAVolStep";
inline constexpr std::u16string_view kMagicVoice = u"Enable_MAGICVOICE";
inline constexpr std::u16string_view kMagicVoiceSelection = u"MagicVoice_Selection";
inline constexpr std::u16string_view kMicEcho = u"Enable_MICECHO";
inline constexpr std::u16string_view kNoiseCancel = u"Enable_ENC_LFX";
inline constexpr std::u16string_view kNoiseCalibrate = u"ENC_SELFCALIB";
inline constexpr std::u16string_view kEqEnable = u"Enable_EQ_GFX";
inline constexpr std::u16string_view kRoomEnable = u"Enable_RFX_GFX";
inline constexpr std::u16string_view kRoomEnvironment = u"RFX_ENVIRONMENT";
inline constexpr std::u16string_view kRoomSize = u"RFX_ROOMSIZE";
inline constexpr std::u16string_view kSurround = u"VirtualSurroundEffectControl";
// "EQ_Slider1" .. "EQ_Slider10" for bands 0..9; empty outside.
std::u16string EqSlider(int band);

// Channel words in the extra buffer.
inline constexpr int32_t kAllChannels = -1;
inline constexpr int32_t kChannelZero = 0;
// Bit of the input endpoint's feature word: the voice changer is available.
inline constexpr int32_t kVoiceChangerFeature = 0x20000;

// The two start-up messages.
inline constexpr std::string_view kInitFailedText = "ConfLibInit called failed!";
inline constexpr std::string_view kFeatureFailedText = "UpdateAPOAvailable failed!";
} // namespace audio

// What goes into the extra buffer: nothing (a null pointer is passed), the
// zero-filled buffer, or up to three 32-bit words.
struct PropertyExtra {
    bool passed = false;
    std::array<int32_t, 3> words{};
    size_t count = 0;

    static PropertyExtra None() { return {}; }
    static PropertyExtra Empty() { return {true, {}, 0}; }
    static PropertyExtra Channel(int32_t channel) { return {true, {channel, 0, 0}, 1}; }
    // The surround block {4, -1, 0}.
    static PropertyExtra SurroundBlock() { return {true, {4, -1, 0}, 3}; }
};

// The endpoint types the output passes look for, in order; w3 = 1 each time.
inline constexpr std::array<int32_t, 4> kOutputEndpointTypes = {1, 12, 7, 4};
inline constexpr int32_t kInputEndpointType = 2;

// Integer and floating-point answers as the plugin wrote them: leading blanks,
// a sign, digits (a decimal point and exponent for floats); parsing stops at
// the first other character, at a terminator or at the buffer's end. Nothing
// when no digit comes first, the number does not fit, or a float is no
// finite number.
std::optional<int32_t> ParseAnswerInt(std::u16string_view text);
std::optional<double> ParseAnswerFloat(std::u16string_view text);
// The text of a buffer of `units` UTF-16 units: up to its first zero unit or its end.
std::u16string_view AnswerText(const char16_t* buffer, size_t units);

// Where the audio plugin lives: `SDK/<arch>/` beside the program when it is
// there, else the installed plugin folder. `simulated`: libosconf-sim.so.
std::string AudioPluginPath(const std::string& programFolder, bool simulated);

// What a plugin's status means, e.g. "status 3 (PipeWire unreachable)".
std::string AudioStatusText(int32_t status);

// The groups of audio features, and whether one works and why not.
enum class AudioGroup { Microphone, Monitoring, Equaliser, VoiceChanger };
inline constexpr std::array<AudioGroup, 4> kAudioGroups = {AudioGroup::Microphone, AudioGroup::Monitoring,
                                                           AudioGroup::Equaliser, AudioGroup::VoiceChanger};
std::string_view AudioGroupName(AudioGroup group);
struct AudioAvailability {
    bool available = false;
    std::string reason; // "no plugin", "no sound card", "no voice changer in the plugin", AudioStatusText
};

struct AudioStartup {
    bool initFailed = false;  // ConfLibInit answered non-zero (start-up went on)
    bool outputFound = false; // an output endpoint matched a pass
    bool inputFound = false;
    // The messages the user sees, in order.
    std::vector<std::string> notices;
};

class AudioLibrary {
public:
    // No plugin: every call fails.
    AudioLibrary() = default;
    // `table` must be complete; `keep` holds the library its functions live in.
    AudioLibrary(const OsConfTable& table, std::shared_ptr<SharedLibrary> keep);
    ~AudioLibrary();
    AudioLibrary(const AudioLibrary&) = delete;
    AudioLibrary& operator=(const AudioLibrary&) = delete;

    // Loads the plugin at `path` with its five entry points. Null (reason in
    // `error`) when the file does not load or an entry point is missing.
    static std::unique_ptr<AudioLibrary> Load(const std::string& path, std::string* error = nullptr);

    bool Loaded() const { return m_table.Complete(); }

    // ConfLibInit (once per object), CreateDeviceList, the endpoint passes,
    // then the feature words of the input and the output endpoint. Without
    // any usable output endpoint it ends after the device count, and may be
    // run again later (the endpoints are chosen afresh).
    AudioStartup Start();

    bool HasOutput() const { return m_outputFound; }
    bool HasInput() const { return m_inputFound; }
    const OsConfEndpoint& Output() const { return m_output; }
    const OsConfEndpoint& Input() const { return m_input; }
    // Item 0 of each endpoint's feature answer (0 when it was short or failed).
    int32_t OutputFeatures() const { return m_outputFeatures; }
    int32_t InputFeatures() const { return m_inputFeatures; }
    bool VoiceChangerAvailable() const { return (m_inputFeatures & audio::kVoiceChangerFeature) != 0; }

    // ---- Property calls (both buffers zeroed before each) ----
    // Status 0 and an answer that parses; nothing otherwise.
    std::optional<int32_t> GetInt(const OsConfEndpoint& endpoint, std::u16string_view name,
                                  const PropertyExtra& extra = {});
    std::optional<double> GetFloat(const OsConfEndpoint& endpoint, std::u16string_view name,
                                   const PropertyExtra& extra = {});
    // The answer as the plugin wrote it (within the buffer), for status 0.
    std::optional<std::u16string> GetText(const OsConfEndpoint& endpoint, std::u16string_view name,
                                          const PropertyExtra& extra = {});
    // True when the plugin answered status 0.
    bool SetInt(const OsConfEndpoint& endpoint, std::u16string_view name, int32_t value,
                const PropertyExtra& extra = {});
    bool SetFloat(const OsConfEndpoint& endpoint, std::u16string_view name, float value,
                  const PropertyExtra& extra = {});
    // The raw status of one call (-1 without a plugin or for an over-long name).
    int32_t Call(const OsConfEndpoint& endpoint, std::u16string_view name, int32_t operation,
                 const PropertyExtra& extra);
    // The status of the last call (-1 when none could be made).
    int32_t LastStatus() const { return m_lastStatus; }
    // The value buffer as text after the last call.
    std::u16string_view ValueText() const;

    // Asks the property that tells whether `group` works (the same the
    // headset reads back); its status, 0 when it answered.
    int32_t ProbeGroup(AudioGroup group);

private:
    // Output passes then the input pass; false when no output endpoint is usable.
    bool ChooseEndpoints();
    int32_t ReadFeatures(const OsConfEndpoint& endpoint, AudioStartup& startup);

    OsConfTable m_table{};
    std::shared_ptr<SharedLibrary> m_library;
    bool m_initCalled = false;
    OsConfEndpoint m_output{};
    OsConfEndpoint m_input{};
    bool m_outputFound = false;
    bool m_inputFound = false;
    int32_t m_outputFeatures = 0;
    int32_t m_inputFeatures = 0;
    int32_t m_lastStatus = -1;
    // The feature answer needs 2048 bytes; other calls use the first 1024.
    alignas(8) std::array<uint8_t, 2 * OSCONF_BUFFER_SIZE> m_value{};
    alignas(8) std::array<uint8_t, OSCONF_BUFFER_SIZE> m_extra{};
};

// Whether `group` works with `library` (null: no plugin), given the status
// of the group's last call (-1: not asked yet; for a voice changer the
// feature word lacks, a status tells why).
AudioAvailability GroupAvailability(const AudioLibrary* library, AudioGroup group, int32_t lastStatus);

} // namespace velkor
