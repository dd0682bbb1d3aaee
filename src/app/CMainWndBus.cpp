// The main window's side of the bus: the messages of other programs, the
// lighting ownership shared with them, and the audio capture tool (its
// frames and bands for the keyboards, and its supervision).
#include "app/CMainWnd.h"

#include "devices/TolvanicKeyboardDevice.h"
#include "platform/Trace.h"

namespace velkor {

void CMainWnd::HandleBusMessage(const BusMessage& message) {
    if (!m_window || m_shutDown) {
        return;
    }
    if (message.kind == BusMessageKind::Announce) {
        TraceF("软件标示 %d，%xd%xd", static_cast<int>(message.kind), static_cast<unsigned>(message.wParam),
               static_cast<unsigned>(message.lParam));
        BringWindowToFront();
        return;
    }
    if (!m_awake) {
        return; // asleep: nothing drives the devices
    }
    if (message.kind == BusMessageKind::CopyData) {
        OnCopyData(message);
        return;
    }
    if (message.kind == BusMessageKind::LightingControlRequest) {
        OnLightingControlRequest(message);
        return;
    }
    const bool gameEvent =
        message.kind == BusMessageKind::GameStart || message.kind == BusMessageKind::GameEnd ||
        message.kind == BusMessageKind::GameKill || message.kind == BusMessageKind::GameDeath;
    if (gameEvent && m_lighting) {
        m_lighting->OnGameEvent(message.wParam, message.lParam);
        return;
    }
    if (message.kind == BusMessageKind::InstallerReport) {
        if (m_settingsOpen && m_services.installerReport) {
            m_services.installerReport(message.wParam, message.lParam);
        }
        return;
    }
    if (message.kind == BusMessageKind::AudioToolLink) {
        m_audioTool.OnLinkRequest();
        return;
    }
    if (message.kind == BusMessageKind::AudioToolStatus) {
        if (!m_audioTool.OnStatus(message.wParam, message.lParam)) {
            TraceF("audio tool status (%d, %d) ignored", message.wParam, message.lParam);
        }
        return;
    }
    TraceF("message %s from %s not handled", BusMessageInfoOf(message.kind).member, message.sender.c_str());
}

void CMainWnd::ShowAudioToolStatus() {
    if (!m_audio) {
        return;
    }
    const AudioToolLink::Status status = m_audioTool.LastStatus();
    const AudioToolStarter* starter = m_services.audioToolStarter;
    std::string_view key = "audio_tool_absent";
    std::optional<int> number;
    if (status.present) {
        switch (status.state) {
        case int32_t(AudioToolState::Capturing):
            key = "audio_tool_capturing";
            number = status.detail;
            break;
        case int32_t(AudioToolState::WaitingForServer):
            key = "audio_tool_waiting";
            break;
        case int32_t(AudioToolState::NoSuchSource):
            key = "audio_tool_no_source";
            break;
        default:
            key = ""; // started, nothing said yet
        }
    } else if (starter != nullptr && !starter->Running()) {
        if (starter->GivenUp()) {
            key = "audio_tool_given_up";
        } else if (starter->LastExit().value_or(0) != 0) {
            key = "audio_tool_stopped";
            number = starter->LastExit();
        }
    }
    m_audio->ShowToolStatus(key, number, m_services.texts);
}

void CMainWnd::SuperviseAudioTool() {
    AudioToolStarter& starter = *m_services.audioToolStarter;
    starter.Poll();
    if (KeyboardShowsAudio()) {
        m_ticksWithoutAudio = 0;
        if (!m_audioTool.Present()) {
            starter.Start();
        }
    } else if (starter.Running() && ++m_ticksWithoutAudio == kAudioToolIdleTicks) {
        m_audioTool.TellToEnd();
        starter.Stop();
    }
    ShowAudioToolStatus();
}

bool CMainWnd::KeyboardShowsAudio() const {
    for (CTolvanicUSBDevice* device : DevicesOf(DeviceClass::Keyboard)) {
        const int effect = device->State().LightRecord().selectItem;
        if (device->Driver().CommandTransport().IsOpen() &&
            (effect == CTolvanicKeyboardDevice::kAudioEffect ||
             effect == CTolvanicKeyboardDevice::kBandColourEffect)) {
            return true;
        }
    }
    return false;
}

std::vector<AudioLighting*> CMainWnd::FedKeyboards() const {
    std::vector<AudioLighting*> fed;
    // Every keyboard that is attached, not only the first object: the one
    // created at start-up may stand for a model that is not plugged in.
    for (CTolvanicUSBDevice* device : DevicesOf(DeviceClass::Keyboard)) {
        AudioLighting* keyboard = Capability<AudioLighting>(*device);
        if (keyboard != nullptr && device->Driver().CommandTransport().IsOpen()) {
            fed.push_back(keyboard);
        }
    }
    return fed;
}

void CMainWnd::OnCopyData(const BusMessage& message) {
    if (message.data.empty()) {
        return;
    }
    if (message.copyDataId == kCopyDataAudioFrame) {
        if (m_audio) {
            m_audio->ShowFrame(message.data);
        }
        AudioFrameLevels::Levels levels;
        if (m_audioLevels.Feed(message.data, levels)) {
            for (AudioLighting* keyboard : FedKeyboards()) {
                keyboard->FeedAudioLevels(levels);
            }
        }
    } else if (message.copyDataId == kCopyDataAudioBands) {
        const std::span<const int32_t> bands = m_audioBands.Store(message.data);
        for (AudioLighting* keyboard : FedKeyboards()) {
            keyboard->SetAudioBands(bands);
        }
    }
}

void CMainWnd::OnLightingControlRequest(const BusMessage& message) {
    if (message.wParam != 1 || (message.lParam != 0 && message.lParam != 1)) {
        TraceF("lighting request (%d, %d) ignored", message.wParam, message.lParam);
        return;
    }
    m_lightControl = message.lParam == 1;
    ShowLightControlState();
    SetEveryLightControl(m_lightControl);
}

void CMainWnd::ToggleLightControl() {
    if (!m_window || m_shutDown) {
        return;
    }
    m_lightControl = !m_lightControl;
    if (m_services.broadcast &&
        !m_services.broadcast(MakeBusMessage(BusMessageKind::LightingControl, 1, m_lightControl ? 1 : 0))) {
        Trace("lighting ownership not announced");
    }
    ShowLightControlState();
    SetEveryLightControl(m_lightControl);
}

void CMainWnd::ShowLightControlState() {
    if (ui::Control* label = m_window->FindControl(kLightStatusLabel)) {
        label->SetText(m_lightControl ? kLightControlOn : kLightControlOff);
    }
}

void CMainWnd::SetEveryLightControl(bool on) {
    // The headset's lighting is not shared with other programs.
    for (DeviceClass kind : {DeviceClass::Keyboard, DeviceClass::Mouse, DeviceClass::MousePad}) {
        for (CTolvanicUSBDevice* device : DevicesOf(kind)) {
            device->SetLightControl(on);
        }
    }
}

} // namespace velkor
