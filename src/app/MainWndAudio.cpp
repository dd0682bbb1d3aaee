#include "app/MainWndAudio.h"

#include "lighting/CLightControlUI.h"
#include "platform/Trace.h"
#include "profiles/DeviceDataFiles.h"
#include "profiles/ProfileFolders.h"

#include <cstring>
#include <vector>

namespace velkor {

MainWndAudio::MainWndAudio(Setup setup)
    : m_setup(std::move(setup)), m_styles(DefaultDataFolder(m_setup.programFolder) + kAudioStyleFileName,
                                          UserBaseFolder(m_setup.dataHome) + kAudioStyleFileName),
      m_router(m_setup.panels, m_setup.selectedDevice, m_forwarder, [this] { OpenMusicSettings(); }) {}

void MainWndAudio::LoadStyles() {
    m_styles.Load();
    SendStyleColour();
}

void MainWndAudio::ResetStyles() {
    m_styles.Reset();
}

void MainWndAudio::SendStyleColour() {
    const std::array<int32_t, 3> colour = SelectedStyleColour(m_styles.Record());
    m_tool->SendStyleColour(colour[0], colour[1], colour[2]);
}

void MainWndAudio::OpenMusicSettings() {
    if (m_music != nullptr) {
        return;
    }
    MusicWnd window(m_setup.toolkit);
    std::string error;
    if (!window.Create(&m_setup.window, &error)) {
        TraceF("the music settings cannot open: %s", error.c_str());
        return;
    }
    window.Prepare(m_styles.Record(), m_setup.dpi ? m_setup.dpi() : ui::kDefaultDpi);
    m_music = &window;
    const int result = window.Run();
    m_music = nullptr;
    if (result != MusicWnd::kResultOk) {
        return;
    }
    m_styles.Save(window.Record());
    SendStyleColour();
}

void MainWndAudio::CloseMusicSettings() {
    if (m_music != nullptr) {
        m_music->Close(MusicWnd::kResultClosed);
    }
}

void MainWndAudio::ShowToolStatus(std::string_view key, std::optional<int> number,
                                  const ui::TextProvider* texts) {
    std::string text(key);
    if (number) {
        text = ui::TextOrKey(texts, key);
        if (const size_t at = text.find("%d"); at != std::string::npos) {
            text.replace(at, 2, std::to_string(*number));
        }
    }
    for (CLightControlUI* panel : m_setup.panels.All()) {
        if (ui::Control* line = panel->Panel().FindChild("audio_status_text")) {
            line->SetResourceText(!number && !text.empty());
            line->SetText(text);
        }
    }
}

void MainWndAudio::ShowFrame(std::span<const uint8_t> bytes) {
    std::vector<int32_t> samples(std::min<size_t>(bytes.size() / 4, CAudioRecordUI::kSamples));
    std::memcpy(samples.data(), bytes.data(), samples.size() * 4);
    const uint32_t now = m_setup.clock.NowMs();
    for (CLightControlUI* panel : m_setup.panels.All()) {
        if (CAudioRecordUI* waveform = panel->Waveform()) {
            waveform->Feed(samples, now);
        }
    }
}

} // namespace velkor
