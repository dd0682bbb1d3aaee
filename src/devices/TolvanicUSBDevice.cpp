#include "devices/TolvanicUSBDevice.h"

#include "devices/DeviceListItem.h"
#include "devices/LightTables.h"
#include "platform/Trace.h"
#include "profiles/BasicProfiledata.h"
#include "ui/Dispatcher.h"

namespace velkor {

namespace {

constexpr std::string_view kTracePageNotification = "测试成功   、n";
constexpr std::string_view kTraceResyncRequest = "接收到自动添加设备的同步信息要求";
constexpr std::string_view kTraceLightThreadExit = "MS灯光线程设定退出";
constexpr std::string_view kTraceEventThreadExit = "MS设备同步线程设定退出";
constexpr uint16_t kEventResync = 0x0401;

} // namespace

LightInfoRecord LightInfoFromWords(const LightInfoWords& words) {
    uint8_t bytes[16] = {};
    for (size_t w = 0; w < words.size(); ++w) {
        for (size_t b = 0; b < 4; ++b) {
            bytes[w * 4 + b] = uint8_t(words[w] >> (8 * b));
        }
    }
    LightInfoRecord record;
    record.selectItem = bytes[0];
    record.light = bytes[1];
    record.speed = bytes[2];
    record.fx = bytes[3];
    record.multiColor = bytes[4];
    record.red = bytes[5];
    record.green = bytes[6];
    record.blue = bytes[7];
    record.reserved[0] = bytes[8];
    record.reserved[1] = bytes[9];
    record.reserved[2] = bytes[10];
    record.ledMode = bytes[11];
    record.customGroup = bytes[12];
    record.oldLedMode = bytes[13];
    return record;
}

LightInfoWords LightInfoToWords(const LightInfoRecord& r) {
    const uint8_t bytes[16] = {
        r.selectItem,  r.light,       r.speed,       r.fx,      r.multiColor,  r.red,        r.green, r.blue,
        r.reserved[0], r.reserved[1], r.reserved[2], r.ledMode, r.customGroup, r.oldLedMode, 0,       0};
    LightInfoWords words{};
    for (size_t w = 0; w < words.size(); ++w) {
        for (size_t b = 0; b < 4; ++b) {
            words[w] |= uint32_t(bytes[w * 4 + b]) << (8 * b);
        }
    }
    return words;
}

int ReadPowerOf(CTolvanicUSBDevice& device) {
    PowerSource* power = Capability<PowerSource>(device);
    return power != nullptr ? power->ReadPower() : kResultNoReply;
}

bool LinkUpOf(CTolvanicUSBDevice& device) {
    PowerSource* power = Capability<PowerSource>(device);
    return power == nullptr || power->IsLinkUp();
}

void DeviceDeleter::operator()(CTolvanicUSBDevice* device) const {
    if (device != nullptr) {
        device->Shutdown();
        delete device;
    }
}

CTolvanicUSBDevice::CTolvanicUSBDevice(const DeviceServices& services, DeviceClass kindTag)
    : m_services(services), m_command(services.backend), m_events(services.backend),
      m_paths(services.folders), m_kindTag(kindTag) {}

CTolvanicUSBDevice::~CTolvanicUSBDevice() {
    // The workers stop anything still running themselves (and trace it); by
    // now that is too late for a kind's members, which is why DevicePtr's
    // deleter calls Shutdown() first.
    if (m_listItem != nullptr) {
        m_listItem->ForgetDevice(*this);
    }
}

void CTolvanicUSBDevice::Shutdown() {
    StopKindThreads();
    m_transfers.Shutdown();
    m_workers.Shutdown();
}

bool CTolvanicUSBDevice::RunTransfer(TransferJob job) {
    return m_transfers.Post([this, job = std::move(job)](const StopEvent& stop) {
        std::function<void()> then = job(stop);
        if (then && !stop.IsSet()) {
            PostToUi(std::move(then));
        }
    });
}

bool CTolvanicUSBDevice::WriteRecord(uint32_t key, TransferWorker::Write write,
                                     std::function<void(int)> done) {
    std::shared_ptr<WriteTally> tally = m_tally;
    if (tally) {
        tally->Expect();
    }
    // Runs on the worker (or in Shutdown), while the device is still whole.
    auto finish = [this, tally, done = std::move(done)](int result) {
        if (done) {
            PostToUi([done, result] { done(result); }); // before the tally's answer
        }
        if (tally) {
            tally->Finish(result);
        }
    };
    if (!m_transfers.PostLatest(key, std::move(write), std::move(finish))) {
        if (tally) {
            tally->Finish(kResultNoReply);
        }
        return false;
    }
    return true;
}

// ---- Page ----

void CTolvanicUSBDevice::InitPage() {
    if (PageLayoutPath().empty()) {
        // A device without a page has nothing to show.
        SetKeyCount(0);
        SetLightCount(0);
        m_page.Clear();
        return;
    }
    m_page.Collect();
}

void CTolvanicUSBDevice::SelectFunctionPage(int type) {
    const DeviceClass kind = m_kindTag;
    m_page.SelectFunctionPage(type, kind == DeviceClass::Keyboard || kind == DeviceClass::Mouse);
    PreviewChanged();
}

// ---- Preview cadence ----

void CTolvanicUSBDevice::SetPreviewSeen(bool seen) {
    if (m_previewSeen.exchange(seen) != seen) {
        PreviewChanged();
    }
}

void CTolvanicUSBDevice::SetPictureFlag(bool on) {
    if (m_pictureFlag.exchange(on) != on) {
        PreviewChanged();
    }
}

bool CTolvanicUSBDevice::PreviewVisible() const {
    return m_previewSeen && m_pictureFlag && LightsOnPage();
}

bool CTolvanicUSBDevice::TickWanted() const {
    return m_lightControl && (PreviewVisible() || TickDrivesDevice());
}

bool CTolvanicUSBDevice::FramesWanted() const {
    return m_lightControl && (PreviewVisible() || FramesLeaveHost());
}

bool CTolvanicUSBDevice::PicturePaintDue() {
    if (!PreviewVisible()) {
        return false;
    }
    const uint32_t now = m_services.clock.NowMs();
    if (m_paintedOnce && int32_t(now - m_nextPaintMs) < 0) {
        return false;
    }
    // The next paint is due a period after this one was due, so that ticks
    // that do not fall on the period still give 30 a second, never more;
    // after a pause the count starts over.
    const bool onTime = m_paintedOnce && now - m_nextPaintMs < kPicturePaintPeriodMs;
    m_nextPaintMs = (onTime ? m_nextPaintMs : now) + kPicturePaintPeriodMs;
    m_paintedOnce = true;
    return true;
}

void CTolvanicUSBDevice::SetSynchronisedLighting(bool on) {
    if (m_command.SyncLighting() != on) {
        m_command.SetSyncLighting(on);
        PreviewChanged();
    }
}

void CTolvanicUSBDevice::PreviewChanged() {
    m_workers.WakeLight();
    auto resume = [this] {
        if (m_listItem != nullptr && TickWanted()) {
            m_listItem->ResumeLightFrames();
        }
    };
    if (m_services.dispatcher.IsUiThread()) {
        resume();
    } else {
        PostToUi(resume);
    }
}

void CTolvanicUSBDevice::Notify(const ui::Notification& notification) {
    if (!m_page.Owns(notification)) {
        return;
    }
    Trace(kTracePageNotification);
    OnPageNotify(notification);
}

// ---- Lighting ----

void CTolvanicUSBDevice::EffectBreathing() {
    m_leds.With([](LedFrame& frame) { leds::Breathing(frame); });
}

void CTolvanicUSBDevice::EffectBreathingFixed() {
    m_leds.With([](LedFrame& frame) { leds::BreathingFixed(frame); });
}

void CTolvanicUSBDevice::EffectStatic() {
    m_leds.With([](LedFrame& frame) { leds::Static(frame); });
}

void CTolvanicUSBDevice::EffectSpectrum() {
    m_leds.With([](LedFrame& frame) { leds::Spectrum(frame); });
}

void CTolvanicUSBDevice::EffectBlink() {
    const uint32_t now = m_services.clock.NowMs();
    m_leds.With([now](LedFrame& frame) { leds::Blink(frame, now); });
}

void CTolvanicUSBDevice::EffectBlinkFixed() {
    const uint32_t now = m_services.clock.NowMs();
    m_leds.With([now](LedFrame& frame) { leds::BlinkFixed(frame, now); });
}

void CTolvanicUSBDevice::EffectOff() {
    m_leds.With([](LedFrame& frame) { leds::Off(frame); });
}

void CTolvanicUSBDevice::OutputLightFrame() {
    // Copy first: the light thread may be mid-frame, and the buttons are
    // painted without holding its lock.
    m_leds.With([this](const LedFrame& frame) { m_outputLeds.assign(frame.leds.begin(), frame.leds.end()); });
    m_frame.resize(m_outputLeds.size() * 3);
    for (size_t n = 0; n < m_outputLeds.size(); ++n) {
        const uint32_t led = m_outputLeds[n];
        const uint8_t level = LedLevel(led);
        m_frame[3 * n] = ScaleChannel(LedRed(led), level);
        m_frame[3 * n + 1] = ScaleChannel(LedGreen(led), level);
        m_frame[3 * n + 2] = ScaleChannel(LedBlue(led), level);
    }
    if (PicturePaintDue()) {
        m_page.PaintLights(m_outputLeds);
    }
}

void CTolvanicUSBDevice::SetLedColour(int index, uint32_t packed) {
    m_leds.With([&](LedFrame& frame) { frame.SetLed(index, packed); });
}

uint32_t CTolvanicUSBDevice::GetLedColour(int index) const {
    return m_leds.With([&](const LedFrame& frame) { return frame.Led(index); });
}

void CTolvanicUSBDevice::StepKeyLevel(int key, int mode) {
    m_leds.With([&](LedFrame& frame) { leds::StepKeyLevel(frame, key, mode); });
}

void CTolvanicUSBDevice::LightRingKeys() {
    m_leds.With([](LedFrame& frame) { leds::LightRingKeys(frame); });
}

void CTolvanicUSBDevice::RotateLevelRing(int direction) {
    m_leds.With([&](LedFrame& frame) { leds::RotateLevelRing(frame, direction); });
}

void CTolvanicUSBDevice::ClearKeyLevels() {
    m_leds.With([](LedFrame& frame) { leds::ClearKeyLevels(frame); });
}

void CTolvanicUSBDevice::SetLightInfo(const LightInfoWords& words) {
    StoreLightInfo(words);
    if (m_profileData != nullptr) {
        m_profileData->WriteLightInfo(LightInfoFromWords(words));
    }
}

void CTolvanicUSBDevice::StoreLightInfo(const LightInfoWords& words) {
    const LightInfoRecord record = LightInfoFromWords(words);
    const bool effectChanged = m_leds.With([&](LedFrame& frame) {
        const bool changed = frame.light.selectItem != record.selectItem;
        frame.light = record;
        return changed;
    });
    if (effectChanged) {
        PreviewChanged(); // an effect may stream its frames, or start a renderer
    }
}

void CTolvanicUSBDevice::SetModelCode(uint32_t code) {
    m_modelCode = code;
    if (m_profileData != nullptr) {
        m_profileData->SetDeviceIndex(0);
    }
}

LightInfoRecord CTolvanicUSBDevice::LightRecord() const {
    return m_leds.With([](const LedFrame& frame) { return frame.light; });
}

void CTolvanicUSBDevice::SetAudioLightValues(const AudioLightValues& values) {
    m_audioLightValues = values;
    if (m_lightPanel != nullptr) {
        m_lightPanel->ShowAudioLightValues(values);
    }
}

AudioLightValues CTolvanicUSBDevice::GetAudioLightValues() {
    AudioLightValues values{};
    if (m_lightPanel != nullptr && m_lightPanel->ReadAudioLightValues(values)) {
        m_audioLightValues = values;
    }
    return m_audioLightValues;
}

int CTolvanicUSBDevice::SetLightControl(bool on) {
    if (m_lightControl.exchange(on) != on) {
        PreviewChanged();
    }
    if (on && m_kindTag == DeviceClass::Keyboard) {
        return m_command.TakeLightingControl();
    }
    return kResultOk;
}

// ---- Device and panels ----

void CTolvanicUSBDevice::ReloadPanels() {
    m_paths.ReloadNameLists(KindTag(), GetModelCode());
}

// ---- Set-up ----

bool CTolvanicUSBDevice::SetKeyCount(int count) {
    if (!m_page.SetKeyCount(count)) {
        return false;
    }
    m_keyCount = count;
    return true;
}

bool CTolvanicUSBDevice::SetLightCount(int count) {
    if (!m_page.SetLightCount(count)) {
        return false;
    }
    m_leds.With([count](LedFrame& frame) { frame.Resize(size_t(count)); });
    m_lightCount = count;
    // Sized once here so that every frame is built without allocating.
    m_outputLeds.assign(size_t(count), 0);
    m_frame.assign(size_t(count) * 3, 0);
    return true;
}

void CTolvanicUSBDevice::SetBatteryFlag(bool on) {
    m_batteryFlag = on;
    if (!on) {
        m_trayFlag = false;
    }
    if (m_powerPanel != nullptr) {
        m_powerPanel->ShowBatteryArea(on);
    }
}

void CTolvanicUSBDevice::SetPowerPanel(PowerPanelLink* panel) {
    m_powerPanel = panel;
    // The battery flag is set before the panel in the creation order; without
    // this the panel would never hear of it.
    if (m_powerPanel != nullptr) {
        m_powerPanel->ShowBatteryArea(m_batteryFlag);
    }
}

void CTolvanicUSBDevice::SetIdentity(const SupportedDevice& row) {
    m_identity = row;
    m_kindTag = ClassOfKind(row.kind);
    m_role = row.role;
}

void CTolvanicUSBDevice::SetTrayFlag(bool on) {
    m_trayFlag = on && m_batteryFlag;
}

// ---- Main window ----

void CTolvanicUSBDevice::NotifyMainWindow(uint32_t message, int64_t wParam, int64_t lParam) {
    ui::Dispatcher& dispatcher = m_services.dispatcher;
    if (dispatcher.IsUiThread()) {
        if (m_mainWindow != nullptr) {
            m_mainWindow->DeviceMessage(message, wParam, lParam);
        }
        return;
    }
    // From a device thread: never wait for the user-interface thread, which
    // may itself be waiting for this thread to stop.
    PostToUi([this, message, wParam, lParam] {
        if (m_mainWindow != nullptr) {
            m_mainWindow->DeviceMessage(message, wParam, lParam);
        }
    });
}

void CTolvanicUSBDevice::PostToUi(std::function<void()> work) {
    std::weak_ptr<int> alive = m_alive;
    m_services.dispatcher.Post([alive, work = std::move(work)] {
        if (!alive.expired()) {
            work();
        }
    });
}

void CTolvanicUSBDevice::RequestResync() {
    PostToUi([this] {
        if (m_listItem != nullptr) {
            m_listItem->StartResyncTimer(ResyncDelayMs());
        }
    });
}

// ---- Threads ----

std::string_view CTolvanicUSBDevice::LightThreadExitTrace() const {
    return kTraceLightThreadExit;
}

std::string_view CTolvanicUSBDevice::EventThreadExitTrace() const {
    return kTraceEventThreadExit;
}

bool CTolvanicUSBDevice::StartLightThread() {
    return m_workers.StartLight(
        {[this](const StopEvent& stop) { return RunLightPass(stop); }, LightThreadExitTrace(),
         [this] { return FramesWanted(); }});
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
    return m_workers.StartEvents(channel, EventWork());
}

bool CTolvanicUSBDevice::OpenEventChannel(const std::string& path, ChannelType channel) {
    return m_workers.OpenEventChannel(channel, path, EventWork());
}

} // namespace velkor
