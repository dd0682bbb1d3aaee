#include "devices/DeviceParts.h"

#include "devices/LightTables.h"
#include "devices/TolvanicUSBDevice.h"
#include "macros/MacroPlan.h"
#include "ui/Control.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace velkor {

namespace {

bool PlaysMacro(const KeyFunction& function) {
    return function.category == KeyCategory::Macro || function.category == KeyCategory::MacroRepeat;
}

} // namespace

void SetupDeviceProfilePaths(CBasicProfiledata& profile, const CTolvanicUSBDevice& device) {
    profile.SetDefaultPath(device.Paths().DefaultProfilePath());
    const std::string folder = device.Paths().UserDataFolder();
    if (folder.empty()) {
        return;
    }
    if (!device.State().ProfileIdentifier().empty()) {
        profile.SetProfilePath(folder + device.State().ProfileIdentifier() + ".Json");
    }
    profile.SetConfigPath(folder + device.Paths().LightSettingsName() + ".config");
}

void LightPlayback::Reload(CBasicProfiledata& profile) {
    std::vector<LightListEntry> list = profile.ReadLightList();
    m_list.With([&](ListState& held) {
        held.renderer.Reset(list);
        held.entries = std::move(list);
    });
    profile.LoadConfig(profile.GetConfigPath());
    std::vector<LedEffectStep> steps = profile.ReadLedEffectList();
    m_steps.With([&](EffectStepPlayer::Steps& held) {
        held.steps = std::move(steps);
        held.current = 0;
        held.restart = true;
    });
}

void LightPlayback::PlaySteps(LedFrame& frame, uint32_t nowMs) {
    m_player.Pass(
        frame, [this](auto&& work) { m_steps.With(work); }, nowMs);
}

void LightPlayback::PlayList(LedFrame& frame, uint32_t nowMs) {
    m_list.With([&](ListState& held) { held.renderer.Pass(frame, held.entries, nowMs); });
}

bool LightPlayback::ListActive() const {
    return m_list.With([](const ListState& held) { return LightListRenderer::HasEntries(held.entries); });
}

uint32_t LightPacer::Advance(uint32_t nowMs) {
    if (!m_started) {
        m_started = true;
        m_last = nowMs;
        return 0;
    }
    const uint32_t ticks = uint32_t(nowMs - m_last) / m_tickMs;
    m_last += ticks * m_tickMs;
    m_sinceFrame = std::min<uint32_t>(m_sinceFrame + ticks, 255);
    return ticks;
}

bool LightPacer::FrameDue(uint32_t threshold) {
    if (m_sinceFrame < threshold) {
        return false;
    }
    m_sinceFrame = 0;
    return true;
}

uint32_t LightPacer::MsToNextTick(uint32_t nowMs) const {
    const uint32_t since = uint32_t(nowMs - m_last);
    return since >= m_tickMs ? 0 : m_tickMs - since;
}

uint32_t LightPacer::MsToFrameDue(uint32_t threshold, uint32_t nowMs) const {
    const uint32_t ticksLeft = threshold > m_sinceFrame ? threshold - m_sinceFrame : 1;
    return MsToNextTick(nowMs) + (ticksLeft - 1) * m_tickMs;
}

int ReadWirelessPower(CTolvanicUSBDevice& device) {
    DeviceTransport& transport = device.Driver().CommandTransport();
    if (!transport.IsOpen() || device.State().TrayFlag() || !transport.QueryLink()) {
        return kResultNoReply;
    }
    return ReadAndShowPower(device);
}

int ReadAndShowPower(CTolvanicUSBDevice& device) {
    DeviceTransport& transport = device.Driver().CommandTransport();
    if (!transport.IsOpen()) {
        return kResultNoReply;
    }
    uint8_t status[6] = {};
    const int result = transport.ReadPowerStatus(status, sizeof(status), 0);
    if (result != kResultOk) {
        return result;
    }
    status[3] = transport.OnReceiver() ? 1 : 0;
    device.State().SetBatteryPercent(std::min<int>(status[0], 100));
    std::array<uint8_t, sizeof(status)> shown{};
    std::copy(std::begin(status), std::end(status), shown.begin());
    auto show = [&device, shown] {
        if (PowerPanelLink* panel = device.Presenter().PowerPanel()) {
            panel->ShowPowerStatus(shown.data(), shown.size());
        }
        device.Presenter().NotifyMainWindow(kMessagePowerStatus, shown[4], 0);
    };
    if (device.Driver().OnUiThread()) {
        show();
    } else {
        device.Driver().PostToUi(std::move(show));
    }
    return result;
}

std::vector<KeyFunction> LastSentKeyFunctions(CTolvanicUSBDevice& device, ProfileIo& io,
                                              CBasicProfiledata& profile,
                                              const std::vector<KeyListEntry>& keyList) {
    std::vector<KeyListEntry> keys = keyList;
    if (keys.empty()) {
        io.SetupProfilePaths();
        profile.LoadAuxDocument(profile.GetProfilePath());
        keys = profile.ReadAuxKeyList();
    }
    return SentKeyFunctions(keys, device.Paths().NameLists().macroNames.size());
}

bool StoreKeyListEntry(CTolvanicUSBDevice& device, CBasicProfiledata& profile,
                       std::vector<KeyListEntry>& keyList, int key, const KeyListEntry& entry) {
    if (key < 0 || size_t(key) >= keyList.size()) {
        return false;
    }
    keyList[size_t(key)] = entry;
    profile.WriteKeyList(keyList);
    if (ui::Control* keys = device.Presenter().KeyPanel()) {
        keys->Invalidate();
    }
    return true;
}

bool WirelessLinkUp(CTolvanicUSBDevice& device) {
    DeviceTransport& transport = device.Driver().CommandTransport();
    return transport.IsOpen() && transport.OnReceiver() && transport.QueryLink();
}

bool PruneMacroAssignments(std::vector<KeyListEntry>& keys, size_t macroCount) {
    bool changed = false;
    for (KeyListEntry& entry : keys) {
        if (PlaysMacro(entry.current) && entry.current.paramA >= macroCount) {
            entry.current = entry.defaultFunction;
            changed = true;
        }
    }
    return changed;
}

} // namespace velkor
