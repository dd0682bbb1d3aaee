#include "devices/TolvanicUSBDevice.h"

#include "devices/DeviceListItem.h"
#include "platform/Trace.h"
#include "profiles/BasicProfiledata.h"

#include <algorithm>
#include <utility>

namespace velkor {

namespace {

constexpr std::string_view kTracePageNotification = "测试成功   、n";
constexpr std::string_view kTraceResyncRequest = "接收到自动添加设备的同步信息要求";
constexpr std::string_view kTraceLightThreadExit = "MS灯光线程设定退出";
constexpr std::string_view kTraceEventThreadExit = "MS设备同步线程设定退出";
constexpr uint16_t kEventResync = 0x0401;

} // namespace

int ReadPowerOf(CTolvanicUSBDevice& device) {
    PowerSource* power = Capability<PowerSource>(device);
    return power != nullptr ? power->ReadPower() : kResultNoReply;
}

bool LinkUpOf(CTolvanicUSBDevice& device) {
    PowerSource* power = Capability<PowerSource>(device);
    return power == nullptr || power->IsLinkUp();
}

bool ReadPowerInTurn(CTolvanicUSBDevice& device) {
    return device.Driver().RunTransfer([&device](const StopEvent&) -> std::function<void()> {
        ReadPowerOf(device);
        return {};
    });
}

void DeviceDeleter::operator()(CTolvanicUSBDevice* device) const {
    if (device != nullptr) {
        device->Shutdown();
        delete device;
    }
}

CTolvanicUSBDevice::CTolvanicUSBDevice(const DeviceServices& services, DeviceClass kindTag)
    : m_services(services), m_ui(services.dispatcher), m_state(services.clock, kindTag),
      m_paths(services.folders), m_presenter(m_state, services.clock, m_ui),
      m_driver(services.backend, m_ui) {
    m_state.Observe([this](StateChange change) { OnStateChange(change); });
    m_presenter.SetKindHooks({[this] { return LightsOnPage(); }, [this] { return FramesLeaveHost(); },
                              [this] { return TickDrivesDevice(); }, [this] { PreviewChanged(); }});
}

CTolvanicUSBDevice::~CTolvanicUSBDevice() {
    // The workers stop anything still running themselves (and trace it); by
    // now that is too late for a kind's members, which is why DevicePtr's
    // deleter calls Shutdown() first.
    if (DeviceListItem* item = m_presenter.ListItem()) {
        item->ForgetDevice(*this);
    }
}

void CTolvanicUSBDevice::Shutdown() {
    StopKindThreads();
    m_driver.Shutdown();
}

void CTolvanicUSBDevice::OnStateChange(StateChange change) {
    if (change == StateChange::Battery) {
        m_presenter.ShowBatteryArea(m_state.BatteryFlag());
        return;
    }
    PreviewChanged();
}

void CTolvanicUSBDevice::PreviewChanged() {
    m_driver.WakeLight();
    m_presenter.ResumeTicks();
}

// ---- Page ----

void CTolvanicUSBDevice::InitPage() {
    if (m_presenter.PageLayoutPath().empty()) {
        // A device without a page has nothing to show.
        SetKeyCount(0);
        SetLightCount(0);
        m_presenter.Binding().Clear();
        return;
    }
    m_presenter.Binding().Collect();
}

void CTolvanicUSBDevice::SelectFunctionPage(int type) {
    const DeviceClass kind = m_state.KindTag();
    m_presenter.Binding().SelectFunctionPage(type,
                                             kind == DeviceClass::Keyboard || kind == DeviceClass::Mouse);
    PreviewChanged();
}

void CTolvanicUSBDevice::Notify(const ui::Notification& notification) {
    if (!m_presenter.Binding().Owns(notification)) {
        return;
    }
    Trace(kTracePageNotification);
    OnPageNotify(notification);
}

bool CTolvanicUSBDevice::SetKeyCount(int count) {
    if (!m_presenter.Binding().SetKeyCount(count)) {
        return false;
    }
    m_state.SetKeyCount(count);
    return true;
}

bool CTolvanicUSBDevice::SetLightCount(int count) {
    if (!m_presenter.Binding().SetLightCount(count)) {
        return false;
    }
    m_state.SetLightCount(count);
    return true;
}

// ---- Lighting ----

void CTolvanicUSBDevice::EffectBreathing() {
    m_state.Leds().With([](LedFrame& frame) { leds::Breathing(frame); });
}

void CTolvanicUSBDevice::EffectStatic() {
    m_state.Leds().With([](LedFrame& frame) { leds::Static(frame); });
}

void CTolvanicUSBDevice::OutputLightFrame() {
    m_presenter.PaintLightsWhenDue(m_state.BuildFrame());
}

void CTolvanicUSBDevice::SetLightInfo(const LightInfoWords& words) {
    // A lighting change ends another program's colours (the commit's
    // ApplyLightState then restarts the effect).
    if (m_state.Leds().With([](LedFrame& frame) { return std::exchange(frame.direct, false); })) {
        DirectChanged(false);
    }
    m_state.StoreLightInfo(words);
    if (m_profileData != nullptr) {
        m_profileData->WriteLightInfo(LightInfoFromWords(words));
    }
}

void CTolvanicUSBDevice::ReadDevice(std::function<void()> done) {
    ReadAttached(std::move(done));
}

void CTolvanicUSBDevice::ReadAttached(std::function<void()> done) {
    m_state.SetSettingsRead(true);
    if (done) {
        m_driver.ShowInTurn(std::move(done));
    }
}

bool CTolvanicUSBDevice::ShowTemporaryLight(const LightInfoWords& words) {
    if (m_profileData == nullptr) {
        return false;
    }
    m_profileData->ShowTemporaryLight(LightInfoFromWords(words));
    return true;
}

bool CTolvanicUSBDevice::EndTemporaryLight() {
    return m_profileData != nullptr && m_profileData->EndTemporaryLight();
}

void CTolvanicUSBDevice::SetAudioLightValues(const AudioLightValues& values) {
    m_state.SetAudioLightValues(values);
    if (LightPanelLink* panel = m_presenter.LightPanel()) {
        panel->ShowAudioLightValues(values);
    }
}

AudioLightValues CTolvanicUSBDevice::GetAudioLightValues() {
    AudioLightValues values{};
    LightPanelLink* panel = m_presenter.LightPanel();
    if (panel != nullptr && panel->ReadAudioLightValues(values)) {
        m_state.SetAudioLightValues(values);
    }
    return m_state.AudioLights();
}

int CTolvanicUSBDevice::SetLightControl(bool on) {
    m_state.SetLightControlFlag(on);
    if (on && m_state.KindTag() == DeviceClass::Keyboard) {
        return m_driver.CommandTransport().TakeLightingControl();
    }
    return kResultOk;
}

void CTolvanicUSBDevice::SetSynchronisedLighting(bool on) {
    if (m_driver.SetSynchronisedLighting(on)) {
        PreviewChanged();
    }
}

// ---- Direct ----

bool CTolvanicUSBDevice::ShowDirect(std::span<const uint32_t> leds) {
    if (!OffersDirect()) {
        return false;
    }
    const bool began = m_state.Leds().With([&](LedFrame& frame) {
        const size_t count = std::min(leds.size(), frame.leds.size());
        std::copy_n(leds.begin(), count, frame.leds.begin());
        return !std::exchange(frame.direct, true);
    });
    if (began) {
        DirectChanged(true);
        PreviewChanged();
    }
    DirectFrame();
    return true;
}

void CTolvanicUSBDevice::EndDirect() {
    const bool ended = m_state.Leds().With([](LedFrame& frame) { return std::exchange(frame.direct, false); });
    if (ended) {
        DirectChanged(false);
        ApplyLightState();
        PreviewChanged();
    }
}

bool CTolvanicUSBDevice::DirectActive() const {
    return m_state.Leds().With([](const LedFrame& frame) { return frame.direct; });
}

// ---- Device and panels ----

void CTolvanicUSBDevice::ReloadPanels() {
    m_paths.ReloadNameLists(m_state.KindTag(), m_state.GetModelCode());
}

void CTolvanicUSBDevice::SetModelCode(uint32_t code) {
    m_state.SetModelCode(code);
    if (m_profileData != nullptr) {
        m_profileData->SetDeviceIndex(0);
    }
}

// ---- Threads ----

std::string_view CTolvanicUSBDevice::LightThreadExitTrace() const {
    return kTraceLightThreadExit;
}

std::string_view CTolvanicUSBDevice::EventThreadExitTrace() const {
    return kTraceEventThreadExit;
}

bool CTolvanicUSBDevice::StartLightThread() {
    return m_driver.StartLightThread({[this](const StopEvent& stop) { return RunLightPass(stop); },
                                      LightThreadExitTrace(), [this] { return m_presenter.FramesWanted(); }});
}

DeviceWorkers::EventWork CTolvanicUSBDevice::EventWork() {
    auto handler = [this](uint16_t code, ChannelType channel) {
        if (code == kEventResync) {
            Trace(kTraceResyncRequest);
            RequestResync();
        } else {
            OnDeviceEvent(code, channel);
        }
    };
    return {handler, EventThreadExitTrace(), EventThreadStopWaitMs()};
}

bool CTolvanicUSBDevice::StartEventThread(ChannelType channel) {
    return m_driver.StartEventThread(channel, EventWork());
}

bool CTolvanicUSBDevice::OpenEventChannel(const std::string& path, ChannelType channel) {
    return m_driver.OpenEventChannel(path, channel, EventWork());
}

} // namespace velkor
