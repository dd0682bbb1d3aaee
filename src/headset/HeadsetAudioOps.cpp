// The headset's audio operations: read-back, equaliser, microphone,
// monitoring and voice changer.
#include "headset/TolvanicHS6533Device.h"

#include "platform/Trace.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace velkor {

namespace {

// A level of 0.0..1.0 as a percent: truncated (0.555 is 55), but a float
// that stands for 0.29 still reads 29, and nothing leaves 0..100.
int32_t LevelPercent(double level) {
    const double percent = std::floor(level * 100.0 + 1e-4);
    return int32_t(std::clamp(percent, 0.0, 100.0));
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y));
           });
}

} // namespace

void CTolvanicHS6533Device::RecordStatus(AudioGroup group, int32_t status) {
    m_groupStatus[size_t(group)] = status;
}

AudioAvailability CTolvanicHS6533Device::Availability(AudioGroup group) const {
    return GroupAvailability(m_audio.get(), group, m_groupStatus[size_t(group)]);
}

// ---- Read-back ----

void CTolvanicHS6533Device::ReadAudioState() {
    if (!AudioReady()) {
        return;
    }
    const OsConfEndpoint in = m_audio->Input();
    const PropertyExtra none = PropertyExtra::None();
    if (const auto muted = m_audio->GetInt(in, audio::kMute)) {
        m_micMuted = *muted;
        m_settings.micInSelect = *muted == 0 ? 1 : 0;
    } else {
        m_micMuted = m_settings.micInSelect == 0 ? 1 : 0; // a toggle starts from what is shown
    }
    const auto mic = m_audio->GetFloat(in, audio::kVolumeScalar, PropertyExtra::Channel(audio::kAllChannels));
    RecordStatus(AudioGroup::Microphone, mic ? 0 : std::max(m_audio->LastStatus(), 1));
    if (mic) {
        m_settings.micInValue = LevelPercent(*mic);
    }
    const bool monitoring = m_audio->GetFloat(in, audio::kAAMaxVol).has_value();
    RecordStatus(AudioGroup::Monitoring, monitoring ? 0 : std::max(m_audio->LastStatus(), 1));
    if (monitoring) {
        if (const auto muted = m_audio->GetInt(in, audio::kAAMute)) {
            m_monitorMuted = *muted;
            m_settings.micMonitorSelect = *muted == 0 ? 1 : 0;
        } else {
            m_monitorMuted = m_settings.micMonitorSelect == 0 ? 1 : 0;
        }
        if (const auto level =
                m_audio->GetFloat(in, audio::kAAVolumeScalar, PropertyExtra::Channel(audio::kChannelZero))) {
            m_settings.micMonitorValue = LevelPercent(*level);
        }
    }
    if (m_audio->VoiceChangerAvailable()) {
        const auto enabled = m_audio->GetInt(in, audio::kMagicVoice);
        RecordStatus(AudioGroup::VoiceChanger, enabled ? 0 : std::max(m_audio->LastStatus(), 1));
        if (enabled) {
            m_settings.magicEnable = *enabled != 0 ? 1 : 0;
        }
    }
    if (const auto voice = m_audio->GetInt(in, audio::kMagicVoiceSelection);
        voice && *voice >= 0 && *voice <= 3) {
        m_settings.magicType = *voice + 1;
    }
    // Not part of the read-back: only whether the equaliser answers at all.
    const bool eq = m_audio->GetInt(m_audio->Output(), audio::kEqEnable, none).has_value();
    RecordStatus(AudioGroup::Equaliser, eq ? 0 : std::max(m_audio->LastStatus(), 1));
}

// ---- Equaliser ----

void CTolvanicHS6533Device::ShowBands(std::vector<int32_t> bands) {
    bands.resize(kEqBandCount, 0);
    m_bands = std::move(bands);
    for (size_t i = 0; i < kEqBandCount; ++i) {
        m_view.bandSliders[i] = m_bands[i];
    }
}

void CTolvanicHS6533Device::SendBands() {
    if (m_audio == nullptr) {
        return;
    }
    const OsConfEndpoint out = m_audio->Output();
    m_audio->SetInt(out, audio::kEqEnable, 1);
    for (size_t i = 0; i < kEqBandCount && i < m_bands.size(); ++i) {
        m_audio->SetInt(out, audio::EqSlider(int(i)), m_bands[i]);
    }
}

void CTolvanicHS6533Device::SendShownEq() {
    if (m_settings.eqType == 0 || !AudioReady()) {
        return;
    }
    SendBands();
}

void CTolvanicHS6533Device::SaveSettings() {
    m_headsetProfile.WriteHeadsetSystem(m_settings);
    SaveDeviceProfile();
}

void CTolvanicHS6533Device::SelectEqPreset(int type) {
    if (type == CHs6533Profiledata::kCustomEqType) {
        m_settings.eqType = type;
        m_view.eqOption = type;
        m_view.customEnabled = true;
        ApplyCustomEq();
        SaveSettings();
        return;
    }
    const std::span<const int32_t> preset = EqPreset(type);
    if (preset.empty()) {
        return;
    }
    ShowBands({preset.begin(), preset.end()});
    SendBands();
    m_settings.eqType = type;
    m_view.eqOption = type;
    m_view.customEnabled = false;
    m_headsetProfile.WriteHeadsetSystem(m_settings);
    EqBands values{};
    std::copy_n(m_bands.begin(), kEqBandCount, values.begin());
    m_headsetProfile.WriteEqValues(type, values);
    SaveDeviceProfile();
}

void CTolvanicHS6533Device::SetEqBand(int band) {
    if (band < 0 || band >= int(kEqBandCount)) {
        return;
    }
    if (m_settings.eqType != CHs6533Profiledata::kCustomEqType) {
        m_settings.eqType = CHs6533Profiledata::kCustomEqType;
        m_view.eqOption = CHs6533Profiledata::kCustomEqType;
        m_view.customSelected = -1;
        m_view.nameField.clear();
        m_view.customEnabled = true;
    }
    if (m_audio != nullptr) {
        m_audio->SetInt(m_audio->Output(), audio::EqSlider(band), m_view.bandSliders[size_t(band)]);
    }
}

void CTolvanicHS6533Device::ApplyCustomEq() {
    const int k = m_view.customSelected;
    if (k < 0 || size_t(k) >= m_customNames.size()) {
        return;
    }
    ShowBands(m_headsetProfile.ReadCustomEqValues(k));
    SendBands();
    m_settings.customEqSelect = k;
    SaveSettings();
}

int CTolvanicHS6533Device::SaveCustomEq() {
    std::vector<int32_t> sliders(m_view.bandSliders.begin(), m_view.bandSliders.end());
    EqBands values{};
    std::copy(m_view.bandSliders.begin(), m_view.bandSliders.end(), values.begin());
    if (m_view.nameField.empty()) {
        const int k = m_view.customSelected;
        if (k < 0 || size_t(k) >= m_customNames.size()) {
            return -1;
        }
        m_bands = sliders;
        m_settings.customEqSelect = k;
        m_headsetProfile.WriteHeadsetSystem(m_settings);
        m_headsetProfile.WriteCustomEqValues(k, values);
        SaveDeviceProfile();
        return 1;
    }
    if (m_view.customList.size() > 19) {
        return -1;
    }
    for (const std::string& name : m_view.customList) {
        if (SameNameIgnoringCase(name, m_view.nameField)) {
            return 0;
        }
    }
    m_view.customList.push_back(m_view.nameField);
    m_customNames.push_back(m_view.nameField);
    m_bands = sliders;
    const int index = int(m_customNames.size()) - 1;
    m_settings.customEqSelect = index;
    m_view.customSelected = index;
    m_view.nameField.clear();
    m_headsetProfile.WriteHeadsetSystem(m_settings);
    m_headsetProfile.WriteCustomEqValues(index, values);
    m_headsetProfile.WriteCustomEqNames(m_customNames);
    SaveDeviceProfile();
    return 1;
}

void CTolvanicHS6533Device::DeleteCustomEq() {
    const int k = m_view.customSelected;
    if (k < 0 || size_t(k) >= m_view.customList.size()) {
        return;
    }
    m_view.customList.erase(m_view.customList.begin() + k);
    // The value rows are addressed by index: the deleted one goes with its name.
    m_headsetProfile.RemoveCustomEqValues(k);
    if (m_view.customList.empty()) {
        m_view.eqOption = 1;
        m_view.customSelected = -1;
        m_settings.eqType = 1;
        m_headsetProfile.WriteHeadsetSystem(m_settings);
        ShowBands(m_headsetProfile.ReadEqValues(1));
        m_view.customEnabled = false;
        m_customNames.clear();
        m_headsetProfile.WriteCustomEqNames(m_customNames);
    } else {
        m_customNames = m_view.customList;
        m_settings.customEqSelect = 0;
        m_view.customSelected = 0;
        m_view.nameField.clear();
        m_headsetProfile.WriteHeadsetSystem(m_settings);
        ShowBands(m_headsetProfile.ReadCustomEqValues(0));
        m_headsetProfile.WriteCustomEqNames(m_customNames);
    }
    // The gains now shown are what plays.
    SendShownEq();
    SaveDeviceProfile();
}

// ---- Microphone and monitoring ----

bool CTolvanicHS6533Device::SetMicLevel() {
    const int v = std::clamp(m_view.micSlider, 0, 100);
    if (m_audio == nullptr || !m_audio->SetFloat(m_audio->Input(), audio::kVolumeScalar, float(v) / 100.0f,
                                                 PropertyExtra::Channel(audio::kAllChannels))) {
        m_view.micSlider = m_settings.micInValue; // the slider shows what the headset has
        return false;
    }
    m_settings.micInValue = v;
    SaveSettings();
    return true;
}

bool CTolvanicHS6533Device::ToggleMic() {
    const int32_t muted = m_micMuted != 0 ? 0 : 1;
    if (m_audio == nullptr || !m_audio->SetInt(m_audio->Input(), audio::kMute, muted)) {
        // The headset did not change: neither does what is shown.
        m_view.micOption = m_micMuted == 0;
        return false;
    }
    m_micMuted = muted;
    m_view.micOption = muted == 0;
    m_settings.micInSelect = muted == 0 ? 1 : 0;
    SaveSettings();
    return true;
}

bool CTolvanicHS6533Device::SetMonitorLevel() {
    const int v = std::clamp(m_view.monitorSlider, 0, 100);
    if (m_audio == nullptr || !m_audio->SetFloat(m_audio->Input(), audio::kAAVolumeScalar, float(v) / 100.0f,
                                                 PropertyExtra::Channel(audio::kChannelZero))) {
        m_view.monitorSlider = m_settings.micMonitorValue;
        return false;
    }
    m_settings.micMonitorValue = v;
    SaveSettings();
    return true;
}

bool CTolvanicHS6533Device::ToggleMonitor() {
    const int32_t muted = m_monitorMuted != 0 ? 0 : 1;
    if (m_audio == nullptr || !m_audio->SetInt(m_audio->Input(), audio::kAAMute, muted)) {
        m_view.monitorOption = m_monitorMuted == 0;
        return false;
    }
    m_monitorMuted = muted;
    m_view.monitorOption = muted == 0;
    m_settings.micMonitorSelect = muted == 0 ? 1 : 0;
    SaveSettings();
    return true;
}

// ---- Voice changer ----

void CTolvanicHS6533Device::SetVoiceChangerEnabled() {
    const int32_t e = m_view.voiceEnabled ? 1 : 0;
    m_view.voiceOptionsEnabled = e != 0;
    if (m_audio != nullptr) {
        m_audio->SetInt(m_audio->Input(), audio::kMagicVoice, e);
        if (e != 0) {
            m_audio->SetInt(m_audio->Input(), audio::kMicEcho, 0);
        }
    }
    m_settings.magicEnable = e;
    SaveSettings();
}

void CTolvanicHS6533Device::SelectVoice(int voice) {
    if (voice < 1 || voice > 4) {
        return;
    }
    if (m_audio != nullptr) {
        m_audio->SetInt(m_audio->Input(), audio::kMagicVoiceSelection, voice - 1);
    }
    m_settings.magicType = voice;
    m_view.voice = voice;
    SaveSettings();
}

} // namespace velkor
