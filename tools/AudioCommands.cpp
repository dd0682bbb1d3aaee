#include "tools/AudioCommands.h"
#include "tools/ExitCodes.h"

#include "headset/AudioLibrary.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

namespace velkor {
namespace {

using namespace exitcode;

// The catalogue as the tool needs it: the endpoint, whether a set takes a
// float, and what goes into the extra buffer.
struct PropertyInfo {
    std::u16string_view name;
    bool output;
    bool isFloat;
    PropertyExtra extra;
};

const std::array<PropertyInfo, 23> kCatalogue = {{
    {audio::kVolume, false, true, PropertyExtra::Channel(audio::kAllChannels)},
    {audio::kVolumeScalar, false, true, PropertyExtra::Channel(audio::kAllChannels)},
    {audio::kMute, false, false, PropertyExtra::None()},
    {audio::kAAVolume, false, true, PropertyExtra::Channel(audio::kChannelZero)},
    {audio::kAAVolumeScalar, false, true, PropertyExtra::Channel(audio::kChannelZero)},
    {audio::kAAMute, false, false, PropertyExtra::None()},
    {audio::kMaxVol, false, true, PropertyExtra::None()},
    {audio::kMinVol, false, true, PropertyExtra::None()},
    {audio::kVolStep, false, true, PropertyExtra::None()},
    {audio::kAAMaxVol, false, true, PropertyExtra::None()},
    {audio::kAAMinVol, false, true, PropertyExtra::None()},
    {audio::kAAVolStep, false, true, PropertyExtra::None()},
    {audio::kMagicVoice, false, false, PropertyExtra::None()},
    {audio::kMagicVoiceSelection, false, false, PropertyExtra::None()},
    {audio::kMicEcho, false, false, PropertyExtra::None()},
    {audio::kNoiseCancel, false, false, PropertyExtra::Empty()},
    {audio::kNoiseCalibrate, false, false, PropertyExtra::Empty()},
    {audio::kEqEnable, true, false, PropertyExtra::None()},
    {audio::kRoomEnable, true, false, PropertyExtra::None()},
    {audio::kRoomEnvironment, true, false, PropertyExtra::None()},
    {audio::kRoomSize, true, false, PropertyExtra::None()},
    {audio::kSurround, true, false, PropertyExtra::SurroundBlock()},
    {audio::kSupportFeature, false, false, PropertyExtra::None()},
}};
// "EQ_Slider1" .. "EQ_Slider10".
const PropertyInfo kBandSlider = {u"EQ_Slider", true, false, PropertyExtra::None()};

std::string Narrow(std::u16string_view text) {
    std::string narrow;
    for (const char16_t unit : text) {
        // Nothing a plugin writes reaches the terminal as a control sequence.
        narrow += unit >= 0x20 && unit < 0x7F ? char(unit) : '?';
    }
    return narrow;
}

std::u16string Widen(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

const PropertyInfo* FindProperty(const std::string& name) {
    const std::u16string wide = Widen(name);
    for (int band = 0; band < 10; ++band) {
        if (wide == audio::EqSlider(band)) {
            return &kBandSlider;
        }
    }
    for (const PropertyInfo& info : kCatalogue) {
        if (info.name == wide) {
            return &info;
        }
    }
    return nullptr;
}

void PrintEndpoint(std::FILE* out, const char* which, bool found, const OsConfEndpoint& endpoint,
                   int32_t features) {
    if (!found) {
        std::fprintf(out, "%s endpoint: none\n", which);
        return;
    }
    std::fprintf(out, "%s endpoint: type %d, state %d (words %d %d %d %d), features 0x%x\n", which,
                 int(endpoint.w[1]), int(endpoint.w[3]), int(endpoint.w[0]), int(endpoint.w[1]),
                 int(endpoint.w[2]), int(endpoint.w[3]), unsigned(features));
}

int List(AudioLibrary& library, std::FILE* out) {
    PrintEndpoint(out, "output", library.HasOutput(), library.Output(), library.OutputFeatures());
    PrintEndpoint(out, "input", library.HasInput(), library.Input(), library.InputFeatures());
    for (const AudioGroup group : kAudioGroups) {
        const AudioAvailability availability = GroupAvailability(&library, group, library.ProbeGroup(group));
        std::fprintf(out, "%s: %s\n", std::string(AudioGroupName(group)).c_str(),
                     availability.available ? "yes" : ("no, " + availability.reason).c_str());
    }
    return kOk;
}

int Get(AudioLibrary& library, const std::string& name, const PropertyInfo& info, std::FILE* out,
        std::FILE* err) {
    const OsConfEndpoint& endpoint = info.output ? library.Output() : library.Input();
    // Printed as the plugin wrote it, within the buffer.
    const std::optional<std::u16string> answer = library.GetText(endpoint, Widen(name), info.extra);
    if (!answer) {
        std::fprintf(err, "velkorctl: %s: %s\n", name.c_str(), AudioStatusText(library.LastStatus()).c_str());
        return kFailed;
    }
    std::fprintf(out, "%s: %s\n", name.c_str(), Narrow(*answer).c_str());
    return kOk;
}

int Set(AudioLibrary& library, const std::string& name, const PropertyInfo& info, const std::string& value,
        std::FILE* out, std::FILE* err) {
    const OsConfEndpoint& endpoint = info.output ? library.Output() : library.Input();
    char* end = nullptr;
    errno = 0;
    bool done = false;
    if (info.isFloat) {
        const float parsed = std::strtof(value.c_str(), &end);
        if (value.empty() || *end != 0 || errno != 0 || !std::isfinite(parsed)) {
            std::fprintf(err, "velkorctl: %s takes a number such as 0.5, not \"%s\"\n", name.c_str(),
                         value.c_str());
            return kUsage;
        }
        done = library.SetFloat(endpoint, Widen(name), parsed, info.extra);
    } else {
        const long parsed = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != 0 || errno != 0 || parsed < INT32_MIN || parsed > INT32_MAX) {
            std::fprintf(err, "velkorctl: %s takes an integer, not \"%s\"\n", name.c_str(), value.c_str());
            return kUsage;
        }
        done = library.SetInt(endpoint, Widen(name), int32_t(parsed), info.extra);
    }
    if (!done) {
        std::fprintf(err, "velkorctl: %s: %s\n", name.c_str(), AudioStatusText(library.LastStatus()).c_str());
        return kFailed;
    }
    // What the plugin now answers, so that a set that did not take shows.
    if (const std::optional<std::u16string> answer = library.GetText(endpoint, Widen(name), info.extra)) {
        std::fprintf(out, "%s: %s\n", name.c_str(), Narrow(*answer).c_str());
    } else {
        std::fprintf(out, "%s: set (reading it back: %s)\n", name.c_str(),
                     AudioStatusText(library.LastStatus()).c_str());
    }
    return kOk;
}

} // namespace

int RunAudioCommand(const std::vector<std::string>& words, const std::string& pluginPath, std::FILE* out,
                    std::FILE* err) {
    if (words.empty() || words[0] != "audio") {
        return kNotThisCommand;
    }
    const bool list = words.size() == 2 && words[1] == "list";
    const bool get = words.size() == 3 && words[1] == "get";
    const bool set = words.size() == 4 && words[1] == "set";
    if (!list && !get && !set) {
        std::fprintf(err, "velkorctl: wrong arguments for audio\n");
        PrintAudioCommandUsage(err);
        return kUsage;
    }
    const PropertyInfo* info = list ? nullptr : FindProperty(words[2]);
    if (!list && info == nullptr) {
        std::fprintf(err, "velkorctl: unknown audio property \"%s\"\n", words[2].c_str());
        return kUsage;
    }
    std::string error;
    std::unique_ptr<AudioLibrary> library = AudioLibrary::Load(pluginPath, &error);
    if (library == nullptr) {
        std::fprintf(err, "velkorctl: no audio plugin: %s\n", error.c_str());
        return kFailed;
    }
    const AudioStartup startup = library->Start();
    for (const std::string& notice : startup.notices) {
        std::fprintf(err, "velkorctl: the plugin says: %s\n", notice.c_str());
    }
    if (!startup.outputFound) {
        std::fprintf(err, "velkorctl: the audio plugin finds no headset sound card\n");
        return kFailed;
    }
    if (list) {
        std::fprintf(out, "plugin: %s\n", pluginPath.c_str());
        return List(*library, out);
    }
    return get ? Get(*library, words[2], *info, out, err)
               : Set(*library, words[2], *info, words[3], out, err);
}

void PrintAudioCommandUsage(std::FILE* out) {
    std::fputs("  audio list                the headset's audio endpoints, feature words and which\n"
               "                            features work (or why not)\n"
               "  audio get NAME            one audio property, e.g. VolumeScalarControl, EQ_Slider6\n"
               "  audio set NAME VALUE      set one (levels 0.0..1.0, the rest integers)\n",
               out);
}

} // namespace velkor
