// The headset: construction, page, profile, LED frames and audio start-up.
#include "headset/TolvanicHS6533Device.h"

#include "platform/Trace.h"
#include "ui/Prompts.h"

#include <algorithm>

namespace velkor {

namespace {

constexpr std::array<std::array<int32_t, kEqBandCount>, 12> kEqPresets = {{
    {7, 11, 2, -3, -1, 4, 9, 12, 9, 5},
    {7, 11, 6, -3, -11, -1, 6, 13, 6, 13},
    {10, 4, 0, -3, -4, -3, -2, -1, 0, 0},
    {2, 1, -2, -3, -5, -7, 0, 4, 9, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {7, 14, -13, -6, -1, 8, 13, 7, 2, 6},
    {14, 10, 4, 0, -4, -3, -1, 1, 2, 3},
    {2, 1, -2, -3, -5, -1, 7, 11, 15, 13},
    {8, 2, -4, -8, 1, 3, 8, 11, 14, 16},
    {-3, 4, 10, 0, -11, 3, 9, 13, 6, 0},
    {18, 14, 8, 2, -3, -6, -1, 2, 5, 6},
    {2, 1, -2, -4, -8, 4, 12, 16, 18, 15},
}};

} // namespace

std::span<const int32_t> EqPreset(int type) {
    if (type < 1 || type > 12) {
        return {};
    }
    return kEqPresets[size_t(type - 1)];
}

CTolvanicHS6533Device::CTolvanicHS6533Device(const DeviceServices& services, AudioPluginLoader loader)
    : CPadLightingDevice(services, {kKindTag, kLightContainer, leds::HeadsetEffects(), "headset"},
                         m_headsetProfile),
      m_loader(std::move(loader)), m_ledSender([this](const HeadsetLedReport& report) {
          return Driver().CommandTransport().WriteWiredOutput(report.data(), report.size(), 100);
      }) {}

CTolvanicHS6533Device::~CTolvanicHS6533Device() {
    m_ledSender.Stop();
}

// ---- Page and profile ----

void CTolvanicHS6533Device::InitPage() {
    BuildPage();
    if (!m_audioStarted) {
        m_audioStarted = true;
        StartAudio();
    }
}

void CTolvanicHS6533Device::ReadAttached(std::function<void()> done) {
    {
        std::lock_guard lock(m_ledMutex);
        m_lastLedFrame.reset();
    }
    CPadLightingDevice::ReadAttached(std::move(done));
}

bool CTolvanicHS6533Device::LoadDeviceProfile() {
    if (!CPadLightingDevice::LoadDeviceProfile()) {
        return false;
    }
    ReadProfileAudio();
    // What the panel now shows is what plays.
    SendShownEq();
    return true;
}

void CTolvanicHS6533Device::ReadProfileAudio() {
    m_settings = m_headsetProfile.ReadHeadsetSystem();
    m_customNames = m_headsetProfile.ReadCustomEqNames();
    if (m_settings.customEqSelect < 0 || size_t(m_settings.customEqSelect) >= m_customNames.size()) {
        // An index past the presets selects none.
        m_settings.customEqSelect = -1;
    }
    if (m_settings.eqType == CHs6533Profiledata::kCustomEqType) {
        ShowBands(m_headsetProfile.ReadCustomEqValues(m_settings.customEqSelect));
    } else {
        ShowBands(m_headsetProfile.ReadEqValues(m_settings.eqType));
    }
}

void CTolvanicHS6533Device::RestoreDefaults() {
    CPadLightingDevice::RestoreDefaults();
    // The defaults' equaliser is what the panel shows, so it is what plays.
    ReadProfileAudio();
    SendShownEq();
    RefreshView();
}

void CTolvanicHS6533Device::RefreshView() {
    CPadLightingDevice::RefreshView();
    m_view.voiceEnabled = m_settings.magicEnable != 0;
    m_view.voiceOptionsEnabled = m_view.voiceEnabled;
    m_view.voice = m_settings.magicType;
    m_view.micOption = m_settings.micInSelect != 0;
    m_view.micSlider = m_settings.micInValue;
    m_view.monitorOption = m_settings.micMonitorSelect != 0;
    m_view.monitorSlider = m_settings.micMonitorValue;
    m_view.eqOption = m_settings.eqType;
    m_view.customList = m_customNames;
    m_view.customSelected = m_settings.customEqSelect;
    m_view.customEnabled = m_settings.eqType == CHs6533Profiledata::kCustomEqType;
    for (size_t i = 0; i < m_bands.size() && i < m_view.bandSliders.size(); ++i) {
        m_view.bandSliders[i] = m_bands[i];
    }
    if (m_viewShown) {
        m_viewShown();
    }
}

// ---- LED frames ----

void CTolvanicHS6533Device::OutputLightFrame() {
    if (!State().LightControlFlag()) {
        return; // another program drives the lights
    }
    CTolvanicUSBDevice::OutputLightFrame();
    if (TickDrivesDevice()) {
        SubmitLedFrame(Services().clock.NowMs());
    }
}

bool CTolvanicHS6533Device::TickDrivesDevice() const {
    return Driver().SynchronisedLighting();
}

void CTolvanicHS6533Device::FrameRendered(uint32_t nowMs) {
    if (State().LightControlFlag()) {
        SubmitLedFrame(nowMs);
    }
}

void CTolvanicHS6533Device::DirectFrame() {
    if (State().LightControlFlag()) {
        SubmitLedFrame(Services().clock.NowMs());
    }
}

void CTolvanicHS6533Device::SubmitLedFrame(uint32_t nowMs) {
    std::lock_guard lock(m_ledMutex);
    State().Leds().With(
        [this](const LedFrame& frame) { m_ledCopy.assign(frame.leds.begin(), frame.leds.end()); });
    const HeadsetLedFrame frame = BuildHeadsetLedFrame(m_ledCopy);
    if (m_lastLedFrame == frame &&
        (!m_ledSender.LastFrameFailed() || nowMs - m_lastLedSubmitMs < kLedRetryMs)) {
        return; // the headset has it, or had it refused less than a second ago
    }
    m_lastLedFrame = frame;
    m_lastLedSubmitMs = nowMs;
    m_ledSender.Submit(frame);
}

// ---- Audio start-up ----

void CTolvanicHS6533Device::StartAudio() {
    if (m_audio == nullptr && m_loader) {
        m_audio = m_loader();
    }
    if (m_audio == nullptr) {
        Trace("headset: no audio plugin, the audio features are off");
        return;
    }
    const AudioStartup startup = m_audio->Start();
    for (const std::string& notice : startup.notices) {
        if (m_prompts != nullptr) {
            m_prompts->ShowNotice(notice, notice, false); // at attach: never a box that waits
        } else {
            TraceF("headset: %s", notice.c_str());
        }
    }
    if (!startup.outputFound) {
        return;
    }
    WriteAudioDefaults();
    ReadAudioState();
}

void CTolvanicHS6533Device::ReadKindState() {
    if (m_audio != nullptr && !m_audio->HasOutput()) {
        // The headset's sound card may have come after the program started.
        StartAudio();
        return;
    }
    ReadAudioState();
}

void CTolvanicHS6533Device::DefaultInt(const OsConfEndpoint& endpoint, std::u16string_view name,
                                       const PropertyExtra& getExtra, const PropertyExtra& setExtra) {
    if (!m_audio->GetInt(endpoint, name, getExtra)) {
        m_audio->SetInt(endpoint, name, 0, setExtra);
    }
}

void CTolvanicHS6533Device::DefaultFloat(const OsConfEndpoint& endpoint, std::u16string_view name,
                                         const PropertyExtra& extra) {
    if (!m_audio->GetFloat(endpoint, name, extra)) {
        m_audio->SetFloat(endpoint, name, 0.0f, extra);
    }
}

void CTolvanicHS6533Device::WriteAudioDefaults() {
    if (!AudioReady()) {
        return;
    }
    const OsConfEndpoint out = m_audio->Output();
    const OsConfEndpoint in = m_audio->Input();
    const PropertyExtra none = PropertyExtra::None();
    DefaultInt(out, audio::kSurround, PropertyExtra::SurroundBlock(), PropertyExtra::SurroundBlock());
    DefaultInt(in, audio::kNoiseCancel, PropertyExtra::Empty(), none);
    DefaultFloat(in, audio::kVolume, PropertyExtra::Channel(audio::kAllChannels));
    DefaultInt(out, audio::kEqEnable, none, none);
    for (int band = 0; band < int(kEqBandCount); ++band) {
        DefaultInt(out, audio::EqSlider(band), none, none);
    }
    DefaultInt(out, audio::kRoomEnable, none, none);
    DefaultInt(out, audio::kRoomEnvironment, none, none);
    DefaultInt(out, audio::kRoomSize, none, none);
    DefaultInt(in, audio::kMute, none, none);
    DefaultFloat(in, audio::kVolumeScalar, PropertyExtra::Channel(audio::kAllChannels));
    DefaultFloat(in, audio::kAAVolume, PropertyExtra::Channel(audio::kChannelZero));
    DefaultInt(in, audio::kAAMute, none, none);
    DefaultFloat(in, audio::kAAVolumeScalar, PropertyExtra::Channel(audio::kChannelZero));
    DefaultInt(in, audio::kMagicVoice, none, none);
    DefaultInt(in, audio::kMagicVoiceSelection, none, none);
}

} // namespace velkor
