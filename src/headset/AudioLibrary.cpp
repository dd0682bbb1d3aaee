// The audio plugin boundary: start-up, endpoint choice, feature words and
// property calls.
#include "headset/AudioLibrary.h"

#include "platform/SharedLibrary.h"
#include "platform/Trace.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#ifndef VELKOR_PLUGIN_DIR
#define VELKOR_PLUGIN_DIR "/usr/local/lib/velkor"
#endif
#ifndef VELKOR_PLUGIN_LIBDIR
#define VELKOR_PLUGIN_LIBDIR "lib"
#endif
#ifndef VELKOR_PLUGIN_ARCH
#define VELKOR_PLUGIN_ARCH "x86_64"
#endif

namespace velkor {

namespace audio {

std::u16string EqSlider(int band) {
    if (band < 0 || band > 9) {
        return {};
    }
    std::u16string name = u"EQ_Slider";
    if (band == 9) {
        name += u"10";
    } else {
        name += char16_t(u'1' + band);
    }
    return name;
}

} // namespace audio

namespace {

// The ASCII prefix a number can come from; any other unit ends it.
std::string NumberPrefix(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(std::min<size_t>(text.size(), 64));
    for (const char16_t unit : text) {
        if (unit == 0 || unit > 0x7F) {
            break;
        }
        narrow += char(unit);
    }
    return narrow;
}

std::vector<std::u16string_view> SplitItems(std::u16string_view text) {
    std::vector<std::u16string_view> items;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(u',', start);
        items.push_back(text.substr(start, comma == std::u16string_view::npos ? comma : comma - start));
        if (comma == std::u16string_view::npos) {
            return items;
        }
        start = comma + 1;
    }
}

} // namespace

std::string AudioPluginPath(const std::string& programFolder, bool simulated) {
    const char* file = simulated ? "libosconf-sim.so" : "libosconf.so";
    const std::filesystem::path folder(programFolder);
    // Beside the program in the build tree; installed, the library folder
    // next to the program's (a package installs under another prefix than
    // the one the program was built for).
    for (const std::filesystem::path& candidate :
         {folder / "SDK" / VELKOR_PLUGIN_ARCH / file, folder.parent_path() / VELKOR_PLUGIN_LIBDIR / "velkor" / file}) {
        std::error_code error;
        if (!programFolder.empty() && std::filesystem::exists(candidate, error)) {
            return candidate.string();
        }
    }
    return (std::filesystem::path(VELKOR_PLUGIN_DIR) / file).string();
}

std::string AudioStatusText(int32_t status) {
    static constexpr std::array<std::string_view, 5> kMeanings = {
        "unknown property", "no such control", "PipeWire unreachable", "pitch shifter missing", "card gone"};
    std::string text = "status " + std::to_string(status);
    if (status >= 1 && size_t(status) <= kMeanings.size()) {
        text += " (" + std::string(kMeanings[size_t(status - 1)]) + ")";
    }
    return text;
}

std::string_view AudioGroupName(AudioGroup group) {
    switch (group) {
    case AudioGroup::Microphone:
        return "microphone";
    case AudioGroup::Monitoring:
        return "monitoring";
    case AudioGroup::Equaliser:
        return "equaliser";
    case AudioGroup::VoiceChanger:
        return "voice changer";
    }
    return "";
}

AudioAvailability GroupAvailability(const AudioLibrary* library, AudioGroup group, int32_t lastStatus) {
    if (library == nullptr || !library->Loaded()) {
        return {false, "no plugin"};
    }
    if (!library->HasOutput()) {
        return {false, "no sound card"};
    }
    if (group == AudioGroup::VoiceChanger && !library->VoiceChangerAvailable()) {
        // A plugin may still say why (no pitch shifter, no PipeWire).
        return {false, "no voice changer in the plugin" +
                           (lastStatus > 0 ? ": " + AudioStatusText(lastStatus) : std::string())};
    }
    if (lastStatus == 0) {
        return {true, ""};
    }
    return {false, lastStatus < 0 ? "not asked yet" : AudioStatusText(lastStatus)};
}

std::u16string_view AnswerText(const char16_t* buffer, size_t units) {
    size_t length = 0;
    while (length < units && buffer[length] != 0) {
        ++length;
    }
    return {buffer, length};
}

std::optional<int32_t> ParseAnswerInt(std::u16string_view text) {
    const std::string narrow = NumberPrefix(text);
    const char* begin = narrow.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return int32_t(value);
}

std::optional<double> ParseAnswerFloat(std::u16string_view text) {
    const std::string narrow = NumberPrefix(text);
    const char* begin = narrow.c_str();
    // Only decimal numbers: no "inf", "nan" or hexadecimal forms.
    const char* p = begin;
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    if (*p == '+' || *p == '-') {
        ++p;
    }
    if (!(std::isdigit(uint8_t(*p)) || (*p == '.' && std::isdigit(uint8_t(p[1]))))) {
        return std::nullopt;
    }
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        return 0.0; // "0x..." reads as the 0 before the letter
    }
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

AudioLibrary::AudioLibrary(const OsConfTable& table, std::shared_ptr<SharedLibrary> keep)
    : m_table(table.Complete() ? table : OsConfTable{}), m_library(std::move(keep)) {}

AudioLibrary::~AudioLibrary() = default;

std::unique_ptr<AudioLibrary> AudioLibrary::Load(const std::string& path, std::string* error) {
    std::shared_ptr<SharedLibrary> library = SharedLibrary::Open(path, error);
    if (library == nullptr) {
        return nullptr;
    }
    OsConfTable table;
    table.confLibInit = reinterpret_cast<OsConfLibInitFn>(library->Symbol("ConfLibInit"));
    table.createDeviceList = reinterpret_cast<OsConfCreateDeviceListFn>(library->Symbol("CreateDeviceList"));
    table.getDeviceCount = reinterpret_cast<OsConfGetDeviceCountFn>(library->Symbol("GetDeviceCount"));
    table.getDeviceById = reinterpret_cast<OsConfGetDeviceByIdFn>(library->Symbol("GetDeviceById"));
    table.propertyControl = reinterpret_cast<OsConfPropertyControlFn>(library->Symbol("PropertyControl"));
    if (!table.Complete()) {
        // Calling through a missing entry point would crash: no audio instead.
        if (error != nullptr) {
            *error = path + " lacks an entry point of the audio boundary";
        }
        return nullptr;
    }
    return std::make_unique<AudioLibrary>(table, std::move(library));
}

AudioStartup AudioLibrary::Start() {
    AudioStartup startup;
    if (!Loaded()) {
        return startup;
    }
    if (!m_initCalled) {
        m_initCalled = true;
        if (m_table.confLibInit() != 0) {
            startup.initFailed = true;
            startup.notices.emplace_back(audio::kInitFailedText);
        }
    }
    m_table.createDeviceList();
    m_outputFound = m_inputFound = false;
    m_output = m_input = OsConfEndpoint{};
    m_outputFeatures = m_inputFeatures = 0;
    if (!ChooseEndpoints()) {
        Trace("audio plugin: no usable output endpoint");
        return startup;
    }
    startup.outputFound = true;
    startup.inputFound = m_inputFound;
    m_inputFeatures = ReadFeatures(m_input, startup);
    m_outputFeatures = ReadFeatures(m_output, startup);
    TraceF("audio plugin: output type %d, input %s, features %#x / %#x", int(m_output.w[1]),
           m_inputFound ? "found" : "missing", unsigned(m_inputFeatures), unsigned(m_outputFeatures));
    return startup;
}

bool AudioLibrary::ChooseEndpoints() {
    int32_t count = 0;
    if (m_table.getDeviceCount(OSCONF_FLOW_OUTPUT, &count) != 0 || count <= 0) {
        return false;
    }
    for (const int32_t type : kOutputEndpointTypes) {
        for (int32_t i = 0; i < count && !m_outputFound; ++i) {
            OsConfEndpoint endpoint{};
            if (m_table.getDeviceById(OSCONF_FLOW_OUTPUT, i, &endpoint) == 0 && endpoint.w[1] == type &&
                endpoint.w[3] == 1) {
                m_output = endpoint;
                m_outputFound = true;
            }
        }
        if (m_outputFound) {
            break;
        }
    }
    if (!m_outputFound) {
        return false;
    }
    count = 0;
    if (m_table.getDeviceCount(OSCONF_FLOW_INPUT, &count) != 0) {
        count = 0;
    }
    for (int32_t i = 0; i < count && !m_inputFound; ++i) {
        OsConfEndpoint endpoint{};
        if (m_table.getDeviceById(OSCONF_FLOW_INPUT, i, &endpoint) == 0 &&
            endpoint.w[1] == kInputEndpointType) {
            m_input = endpoint;
            m_inputFound = true;
        }
    }
    return true;
}

int32_t AudioLibrary::ReadFeatures(const OsConfEndpoint& endpoint, AudioStartup& startup) {
    std::memset(m_value.data(), 0, m_value.size());
    const int32_t status = Call(endpoint, audio::kSupportFeature, OSCONF_GET, PropertyExtra::None());
    if (status != 0) {
        return 0;
    }
    const std::u16string_view text =
        AnswerText(reinterpret_cast<const char16_t*>(m_value.data()), m_value.size() / sizeof(char16_t));
    const std::vector<std::u16string_view> items = SplitItems(text);
    if (items.size() < 7) {
        startup.notices.emplace_back(audio::kFeatureFailedText);
        return 0;
    }
    return ParseAnswerInt(items[0]).value_or(0);
}

int32_t AudioLibrary::Call(const OsConfEndpoint& endpoint, std::u16string_view name, int32_t operation,
                           const PropertyExtra& extra) {
    m_lastStatus = -1;
    if (!Loaded()) {
        return -1;
    }
    const std::u16string terminated(name);
    std::memset(m_extra.data(), 0, m_extra.size());
    for (size_t i = 0; i < extra.count && i < extra.words.size(); ++i) {
        std::memcpy(m_extra.data() + i * 4, &extra.words[i], 4);
    }
    void* value = m_value.data();
    void* extraBuffer = m_extra.data();
    m_lastStatus = m_table.propertyControl(endpoint, terminated.c_str(), &value,
                                           extra.passed ? &extraBuffer : nullptr, operation);
    return m_lastStatus;
}

std::u16string_view AudioLibrary::ValueText() const {
    return AnswerText(reinterpret_cast<const char16_t*>(m_value.data()),
                      OSCONF_BUFFER_SIZE / sizeof(char16_t));
}

std::optional<int32_t> AudioLibrary::GetInt(const OsConfEndpoint& endpoint, std::u16string_view name,
                                            const PropertyExtra& extra) {
    std::memset(m_value.data(), 0, m_value.size());
    if (Call(endpoint, name, OSCONF_GET, extra) != 0) {
        return std::nullopt;
    }
    return ParseAnswerInt(ValueText());
}

std::optional<double> AudioLibrary::GetFloat(const OsConfEndpoint& endpoint, std::u16string_view name,
                                             const PropertyExtra& extra) {
    std::memset(m_value.data(), 0, m_value.size());
    if (Call(endpoint, name, OSCONF_GET, extra) != 0) {
        return std::nullopt;
    }
    return ParseAnswerFloat(ValueText());
}

std::optional<std::u16string> AudioLibrary::GetText(const OsConfEndpoint& endpoint, std::u16string_view name,
                                                    const PropertyExtra& extra) {
    std::memset(m_value.data(), 0, m_value.size());
    if (Call(endpoint, name, OSCONF_GET, extra) != 0) {
        return std::nullopt;
    }
    return std::u16string(ValueText());
}

bool AudioLibrary::SetInt(const OsConfEndpoint& endpoint, std::u16string_view name, int32_t value,
                          const PropertyExtra& extra) {
    std::memset(m_value.data(), 0, m_value.size());
    std::memcpy(m_value.data(), &value, sizeof(value));
    return Call(endpoint, name, OSCONF_SET, extra) == 0;
}

bool AudioLibrary::SetFloat(const OsConfEndpoint& endpoint, std::u16string_view name, float value,
                            const PropertyExtra& extra) {
    std::memset(m_value.data(), 0, m_value.size());
    std::memcpy(m_value.data(), &value, sizeof(value));
    return Call(endpoint, name, OSCONF_SET, extra) == 0;
}

int32_t AudioLibrary::ProbeGroup(AudioGroup group) {
    bool answered = false;
    switch (group) {
    case AudioGroup::Microphone:
        answered =
            GetFloat(m_input, audio::kVolumeScalar, PropertyExtra::Channel(audio::kAllChannels)).has_value();
        break;
    case AudioGroup::Monitoring:
        answered = GetFloat(m_input, audio::kAAMaxVol).has_value();
        break;
    case AudioGroup::Equaliser:
        answered = GetInt(m_output, audio::kEqEnable).has_value();
        break;
    case AudioGroup::VoiceChanger:
        answered = GetInt(m_input, audio::kMagicVoice).has_value();
        break;
    }
    // A status 0 whose answer does not parse still means the group fails.
    return answered ? 0 : std::max(m_lastStatus, 1);
}

} // namespace velkor
